// The engine state of a first run from data, before the map is read: shared
// by tests and benchmarks that read a case from their own folder.
#pragma once

#include "engine/engine_reset.h"
#include "engine/run_state.h"
#include "network/input_state.h"

// A first run of one, from the given map file, not connected.
inline void start_from_data(const char* map_file) {
    reset_all_engine_state();
    RUN_SEQ.START_MODE = "DATA";
    RUN_SEQ.IRUN = RUN_SEQ.NRUNS = 1;
    RUN_SEQ.FIRST_RUN = LTRUE;
    RUN_SEQ.CONNECTED = LFALSE;
    RUN_SETUP.start_file.assign(map_file);
    INPUT.INPUT_UNIT = INPUT_UNIT_NONE;
}
