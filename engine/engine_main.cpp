#include "engine/engine_main.h"

#include <string>

#include "engine/bookends.h"
#include "engine/dialog.h"
#include "engine/engine_utils.h"
#include "engine/frontend_setup.h"
#include "engine/messages.h"
#include "engine/run_loop.h"
#include "engine/run_state.h"
#include "engine/solution_arrays.h"
#include "engine/storage.h"
#include "lines/lines.h"
#include "models/xfmr_tables.h"
#include "network/dimensions.h"
#include "network/input_state.h"
#include "network/map_reader.h"
#include "network/network_tables.h"
#include "platform/text_units.h"
#include "snapshot/snapshot.h"

namespace {

void reset_run_inputs() {
    INPUT.INPUT_UNIT = INPUT_UNIT_NONE;
    RUN_CLOCK.START_STEP = 0;
    RUN_SETUP.invalid_answers = 0;
    XFMR_TABLES.XF_COUNT = 0;
}

void print_multirun_abort_warning() {
    const int out = UNIT_CONSOLE_OUT;
    const std::string stars(51, '*');
    write_list(out, {" "});
    write_list(out, {stars});
    write_list(out, {"WARNING: HOLVA aborted ZARIK on run", RUN_SEQ.IRUN, " of", RUN_SEQ.NRUNS});
    write_list(out, {"ZARIK did not close Multiple-run output file(s)."});
    write_list(out, {"This may cause file system error on next run."});
    write_list(out, {stars});
    write_list(out, {" "});
}

}  // namespace

void ENGINE_MAIN(bool v4, bool connect, const char* /*host*/, int32_t /*port*/) {
    BUILD_STRING(RUN_SEQ.build_text);
    INPUT.DATA_LINE.blank();
    const double x1 = 0.0, x2 = 0.0;
    LINE_COUNTS.TRAVEL_MIN = 1e99;

    RUN_SEQ.FIRST_RUN = LTRUE;
    INPUT.INPUT_UNIT = INPUT_UNIT_NONE;
    RUN_SETUP.invalid_answers = 0;
    LINE_COUNTS.NTLMODAL = LINE_COUNTS.NTLPHASE = LINE_COUNTS.NTLMFDTD = 0;
    LINE_COUNTS.NENISRV = LINE_COUNTS.NENICLI = 0;

    if (connect) {
        RUN_SEQ.CONNECTED = LTRUE;
        DATA();
        START_BANNER(START_TIME_BLOCK, true);
    } else {
        RUN_SEQ.CONNECTED = LFALSE;
        START_BANNER(START_TIME_BLOCK, false);
        DIALOG();
    }
    const int out = UNIT_CONSOLE_OUT;
    write_list(out, {"****"});
    write_list(out, {"* ZARIK for HOLVA 4.6: ", RUN_SEQ.build_text});
    write_list(out, {"****"});

    Logical abort_flag = LFALSE;
    RUN_SEQ.IRUN = 1;
    while (RUN_SEQ.IRUN <= RUN_SEQ.NRUNS) {
        reset_run_inputs();
        if (is_true(RUN_SEQ.MULTI_RUN))
            write_formatted(out, "(\"=> ZARIK Run # \", I5, \" of \", I5, \" Started...\")",
                            {RUN_SEQ.IRUN, RUN_SEQ.NRUNS});
        if (RUN_SEQ.START_MODE == "DATA")
            READDATA();
        else
            READSNP();
        INITCOM();

        if (is_true(RUN_SEQ.FIRST_RUN)) {
            if (is_true(RUN_SETUP.output_files) && DIMBLOCK.NPGBS <= 0) RUN_SETUP.output_files = LFALSE;
            const int32_t n = planned_snapshot_count();
            if (n > 10) OUTMSG(is_true(RUN_SEQ.MULTI_RUN) ? 229 : 230, n, n, n, x1, x2, INPUT.DATA_LINE);
        }

        RUNLOOP(abort_flag, connect);

        if (is_true(RUN_SEQ.MULTI_RUN) && !connect)
            write_formatted(out, "(\"=> Completed run # \", I5, \" of \", I5)", {RUN_SEQ.IRUN, RUN_SEQ.NRUNS});
        if (is_true(RUN_SEQ.LAST_RUN)) {
            for (int32_t s = 1; s <= DIMBLOCK.NSUBSYS; ++s)
                OUTMSG(203, s, NET.NTRIANG(s), 0, x1, x2, INPUT.DATA_LINE);
        }
        if (is_true(abort_flag)) break;
        RUN_SEQ.IRUN += 1;
    }

    if (is_true(abort_flag) && is_true(RUN_SEQ.MULTI_RUN)) print_multirun_abort_warning();
    RUN_SUMMARY(v4, START_TIME_BLOCK);
    FREE_STORAGE();
    FREE_ONLINE();
    int32_t status = 0;
    DEALLOCATE_ALL(status);
}
