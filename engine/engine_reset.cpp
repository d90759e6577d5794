#include "engine/engine_reset.h"

#include "controls/meter_tables.h"
#include "controls/random_numbers.h"
#include "engine/frontend_setup.h"
#include "engine/pointer_checks.h"
#include "engine/run_state.h"
#include "engine/solution_arrays.h"
#include "engine/storage.h"
#include "lines/line_tables.h"
#include "lines/lines.h"
#include "link/eni.h"
#include "link/run_commands.h"
#include "link/trace.h"
#include "models/branch_changes.h"
#include "models/setup_guard.h"
#include "models/sources/battery.h"
#include "models/xfmr_tables.h"
#include "network/dimensions.h"
#include "network/input_state.h"
#include "network/map_sections.h"
#include "network/network_tables.h"
#include "network/node_numbering.h"
#include "network/branch_plan.h"
#include "network/parameters.h"
#include "network/triangularise.h"
#include "platform/fortran_array.h"
#include "platform/text_units.h"
#include "snapshot/run_output.h"
#include "snapshot/snapshot.h"

void reset_all_engine_state() {
    close_all_units();
    reset_run_state();
    STORAGE = {};
    POINTER_CHECKS = {};
    ONLINE_SETUP = {};
    XFMR_TABLES = {};
    LINE_TABLES = {};
    METER_TABLES = {};
    RANDOM_STATE = {};
    INPUT = {};
    DIMBLOCK = {};
    PARAMS = {};
    NET = {};
    MAP_PAGE = {};
    MAP_READ = {};
    SOLUTION_ARRAYS = {};
    TRIANG_FACTORS = {};
    BRANCH_PLANS = {};
    // Every column too: a run keeps what an earlier one left there, a new
    // process starts from zeros.
    BRCHANGE_LIST.count = 0;
    for (auto& column : BRCHANGE_LIST.ints) column.fill(0);
    for (auto& column : BRCHANGE_LIST.reals) column.fill(0.0);
    SETUP_GUARD = {};
    LINE_COUNTS = {};
    RUN_OUTPUT = {};
    SNAPSHOT_COUNTERS = {};
    TRACE_KEYS = {};
    RUN_COMMANDS = {};
    ENI_WAITS = {};
    BATTERY_WARNINGS = {};
    reset_array_overrun_count();
}
