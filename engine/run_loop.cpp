#include "engine/run_loop.h"

#include "case/station.h"
#include "engine/bookends.h"
#include "engine/pointer_checks.h"
#include "engine/run_state.h"
#include "engine/time_step.h"
#include "link/eni.h"
#include "link/flat_layer.h"
#include "link/run_commands.h"
#include "models/branch_changes.h"
#include "models/setup_guard.h"
#include "network/dimensions.h"
#include "network/parameters.h"
#include "snapshot/run_output.h"
#include "snapshot/snapshot.h"

void STEPCHECK(double print_step, PrintCounter& pc, Logical& data_waiting, Logical& print_now) {
    if (std::fabs(print_step - pc.saved_print_step) > 0.0) {
        pc.STEPS_PER_PRINT = nint(print_step / RUN_CLOCK.DELT);
        pc.saved_print_step = print_step;
    }
    if (pc.counter + 1 < pc.STEPS_PER_PRINT) {
        ++pc.counter;
        print_now = LFALSE;
        data_waiting = LFALSE;
    } else {
        pc.counter = 0;
        print_now = LTRUE;
        data_waiting = as_logical(is_true(RUN_SEQ.CONNECTED) && fe_pending(0));
    }
}

namespace {

// Run start on the front-end link: record 2 with the computer name, the
// ENI line names, and record 20 with the print step.
void announce_run(int32_t print_points) {
    FText<16> raw;
    get_host_name(raw);
    fe_send_int(0, 2);
    fe_send_int(0, DIMBLOCK.NPGBS);
    fe_send_int(0, print_points);
    fe_send_int(0, RUN_SEQ.NRUNS);
    fe_send_int(0, RUN_SEQ.IRUN);
    fe_send_str(0, raw.trimmed().substr(0, 15));
    fe_flush(0);
    ENI_SEND_LINES();
    if (is_true(RUN_SEQ.FIRST_RUN)) CLEAR_TRACE();
    fe_send_int(0, 20);
    fe_send_real(0, RUN_CLOCK.PRINT_STEP * 1000000.0);
    fe_flush(0);
}

// A restored run never runs its snapshot's own step: a time that falls to
// that step is taken at the first step, as a run from data takes one at its
// first.
bool within_snapshot_window(bool restored_first_step) {
    const double d = RUN_CLOCK.SNAP_TIME - RUN_CLOCK.TIME;
    const double w = kSnapWindow * RUN_CLOCK.DELT;
    const double before = restored_first_step ? w + RUN_CLOCK.DELT : w;
    return -before < d && d < w;
}

}  // namespace

void RUNLOOP(Logical& abort_flag, bool connect_flag) {
    RunClock& c = RUN_CLOCK;
    RunFlags& f = RUN_FLAGS;
    const bool connected = is_true(RUN_SEQ.CONNECTED);
    const bool data_start = RUN_SEQ.START_MODE == "DATA";

    PrintCounter pc;
    pc.STEPS_PER_PRINT = nint(c.PRINT_STEP / c.DELT);
    pc.saved_print_step = c.PRINT_STEP;
    f.FINAL_STEP = LFALSE;
    abort_flag = LFALSE;
    int32_t poll_result = 0;
    f.FIRST_STEP_RUN = LTRUE;
    SETUP_GUARD = {};
    if (data_start) {
        f.FIRST_STEP_DATA = LTRUE;
        pc.counter = pc.STEPS_PER_PRINT - 1;
    } else {
        f.FIRST_STEP_DATA = LFALSE;
        pc.counter = 0;
    }
    // A restored run goes on after the snapshot's step, also after step 0.
    c.NSTEP = run_first_step();
    c.LAST_STEP = static_cast<int32_t>(std::min<int64_t>(int64_t{c.NSTEP} + c.RUN_STEPS, INT32_MAX));
    const int32_t print_points = pc.STEPS_PER_PRINT > 0 ? c.RUN_STEPS / pc.STEPS_PER_PRINT : 0;

    int32_t GRANTED_STEPS = 0;
    if (connected) announce_run(print_points);
    if (!data_start) {
        CHKNEXC_RESTORED();
        CHKNRTC();
    }

    while (c.NSTEP <= c.LAST_STEP) {
        Logical data_waiting = LFALSE, print_now = LFALSE;
        STEPCHECK(c.PRINT_STEP, pc, data_waiting, print_now);
        f.OUTPUT_STEP = LFALSE;

        if (connected) {
            RELEASE_BUTTONS();
            if (is_true(f.FIRST_STEP_RUN) || is_true(data_waiting) || GRANTED_STEPS <= 0) {
                POLL_MESSAGES(GRANTED_STEPS, poll_result);
                if (poll_result == 1) {
                    abort_flag = LTRUE;
                    USER_STOP(1);
                }
            }
            if (is_true(f.FIRST_STEP_RUN) && !is_true(f.FIRST_STEP_DATA) &&
                DIMBLOCK.NPGBS == RUN_OUTPUT.snapshot_channels && !is_true(RUN_SETUP.flag_a)) {
                c.NSTEP -= 1;
                SEND_TRACE();
                c.NSTEP += 1;
            }
            if (is_true(f.FIRST_STEP_RUN) || is_true(f.FINAL_STEP)) f.OUTPUT_STEP = LTRUE;
            if (is_true(RUN_SETUP.flag_a)) f.OUTPUT_STEP = LFALSE;
        }

        if (is_true(f.FIRST_STEP_DATA)) {
            RESETPTRS();
            clear_branch_changes();
            Station_DSD_BEGIN();
            RESETPTRS_OUT();
            Station_DSO_BEGIN();
            CHKNRTC();
        }

        c.DELT = c.RUN_DELT;
        c.TIME = static_cast<double>(c.NSTEP) * c.DELT;
        c.PREV_TIME = static_cast<double>(c.NSTEP - 1) * c.DELT;

        TIMESTEP();

        if (is_true(PARAMS.PRINT_DIMENSIONS) && is_true(f.FIRST_STEP_RUN)) WRITEDIM(CONSOLE_UNITS.out);

        if (connected) {
            if (is_true(RUN_SETUP.flag_a)) {
                SEND_PROGRESS(is_true(f.FIRST_STEP_RUN) ? 0 : 1);
            } else if (is_true(print_now) || is_true(f.FIRST_STEP_RUN)) {
                SEND_PROGRESS(0);
                SEND_TRACE();
            }
        }
        if (is_true(print_now)) RUN_PROGRESS(connect_flag ? 1 : 0);
        if (is_true(RUN_SEQ.LAST_RUN) && is_true(RUN_SETUP.snap_planned) &&
            within_snapshot_window(!data_start && is_true(f.FIRST_STEP_RUN)))
            WRITESNP();
        if (is_true(RUN_SEQ.LAST_RUN) && is_true(print_now) && is_true(RUN_SETUP.screen_plot) && !connected)
            SCREEN_PLOT();
        if (is_true(RUN_SETUP.output_files) && is_true(print_now) && RUN_OUTPUT.OUTPUT_UNIT_BASE != 0) OUTPUTFILE(3);

        if (c.NSTEP == INT32_MAX) break;  // the last representable step
        c.NSTEP += 1;
        GRANTED_STEPS = std::max(GRANTED_STEPS - 1, 0);
        f.FIRST_STEP_DATA = LFALSE;
        f.FIRST_STEP_RUN = LFALSE;
        if (c.NSTEP == c.LAST_STEP) f.FINAL_STEP = LTRUE;
    }

    if (connected) {
        SEND_METERS();
        SEND_TRACE();
        SEND_END_OF_RUN();
        do {
            GRANTED_STEPS = 0;
            POLL_MESSAGES(GRANTED_STEPS, poll_result);
        } while (poll_result == 0);
        if (poll_result == 1) {
            abort_flag = LTRUE;
            USER_STOP(1);
        } else if (poll_result == 2) {
            int32_t more = 0;
            fe_recv_int(0, more);
            if (is_true(RUN_SEQ.OPEN_ENDED) && more == 1) RUN_SEQ.NRUNS += 1;
        }
    }
    if (is_true(RUN_SETUP.output_files) && RUN_OUTPUT.OUTPUT_UNIT_BASE != 0) OUTPUTFILE(2);
}
