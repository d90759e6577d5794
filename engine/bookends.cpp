#include "engine/bookends.h"

#include <algorithm>
#include <cmath>

#include "engine/abort.h"
#include "engine/dialog.h"
#include "engine/engine_utils.h"
#include "engine/frontend_setup.h"
#include "engine/message_catalog.h"
#include "engine/messages.h"
#include "link/run_commands.h"
#include "network/dimensions.h"
#include "network/input_state.h"
#include "network/network_tables.h"
#include "platform/text_units.h"
#include "snapshot/run_output.h"
#include "snapshot/snapshot.h"

void START_BANNER(TimeBlock& start, bool connected) {
    CONSOLE_UNITS.in = 5;
    CONSOLE_UNITS.out = 6;
    date_time6(start);
    if (!connected) {
        const Text72 none;
        OUTMSG(231, 0, 0, 0, ZARIK_VERSION, 0.0, none);
        OUTMSG(232, start.year, start.month, start.day, 0.0, 0.0, none);
        OUTMSG(233, start.hour, start.minute, start.second, 0.0, 0.0, none);
    } else {
        emit_message(1, 2, {MsgArg(ZARIK_VERSION)});
        emit_message(5, 83, {MsgArg(start.month), MsgArg(start.day), MsgArg(start.year)});
        emit_message(5, 84, {MsgArg(start.hour), MsgArg(start.minute), MsgArg(start.second)});
    }
}

ElapsedTime elapsed_time(const TimeBlock& start, const TimeBlock& stop) {
    ElapsedTime e;
    e.seconds = stop.second - start.second;
    e.minutes = stop.minute - start.minute;
    e.hours = stop.hour - start.hour;
    if (e.seconds < 0) {
        e.seconds += 60;
        e.minutes -= 1;
    }
    if (e.minutes < 0) {
        e.minutes += 60;
        e.hours -= 1;
    }
    if (e.hours < 0) e.hours += 24;
    return e;
}

void RUN_SUMMARY(bool v4, const TimeBlock& start) {
    INPUT.DATA_LINE.blank();
    int32_t cpu[4];
    ZERO4(cpu[0], cpu[1], cpu[2], cpu[3]);
    TimeBlock stop;
    date_time6(stop);
    const ElapsedTime elapsed = elapsed_time(start, stop);

    INPUT.DATA_LINE.assign(RUN_SETUP.start_file.view());
    OUTMSG(234, 0, 0, 0, 0.0, 0.0, INPUT.DATA_LINE);

    if (is_true(RUN_SETUP.output_files)) {
        RUN_SEQ.LAST_RUN = LFALSE;
        const int32_t last = std::min(RUN_SEQ.IRUN, RUN_SEQ.NRUNS);
        for (int32_t k = 1; k <= last; ++k) {
            if (k == RUN_SEQ.NRUNS) RUN_SEQ.LAST_RUN = LTRUE;
            if (is_true(RUN_SEQ.LAST_RUN) || RUN_OUTPUT.mpgbs_count > 0) {
                RUN_SEQ.IRUN = k;
                OUTPUTFILE(0);
            }
        }
        RUN_SEQ.IRUN = last > 0 ? last + 1 : 1;
    }
    SNAPFILE(0);
    if (RUN_SEQ.NRUNS > 1) {
        INPUT.DATA_LINE.assign(RUN_SETUP.multirun_file.view());
        OUTMSG(237, 0, 0, 0, 0.0, 0.0, INPUT.DATA_LINE);
    }
    if (v4) {
        emit_message(5, 85, {MsgArg(stop.hour), MsgArg(stop.minute), MsgArg(stop.second)});
        emit_message(5, 87, {MsgArg(elapsed.hours), MsgArg(elapsed.minutes), MsgArg(elapsed.seconds)});
        emit_message(5, 86, {MsgArg(cpu[0]), MsgArg(cpu[1]), MsgArg(cpu[2]), MsgArg(cpu[3])});
    } else {
        INPUT.DATA_LINE.blank();
        OUTMSG(238, start.year, start.month, start.day, 0.0, 0.0, INPUT.DATA_LINE);
        OUTMSG(239, start.hour, start.minute, start.second, 0.0, 0.0, INPUT.DATA_LINE);
        OUTMSG(240, stop.hour, stop.minute, stop.second, 0.0, 0.0, INPUT.DATA_LINE);
    }
}

namespace {

[[noreturn]] void duration_error() {
    USERMSG(0, 0, 2, 2, "Duration of run is too long for the selected time step. ");
    USERMSG(0, 0, 2, -1, "Increase the solution time step or reduce the duration of run. ");
    ABORT_RUN("INITCOM", 0);
}

[[noreturn]] void short_run_error() {
    USERMSG(0, 0, 2, 2, "Duration of run is shorter than half the selected time step. ");
    USERMSG(0, 0, 2, -1, "Increase the duration of run or reduce the solution time step. ");
    ABORT_RUN("INITCOM", 0);
}

[[noreturn]] void time_step_error() {
    write_list(UNIT_CONSOLE_OUT, {"ERROR: Undefined, Zero or Negative time-step"});
    ABORT_RUN("INITCOM", 0);
}

// Whether a time counts more steps than a step number holds.
bool beyond_step_count(double time, double delt) { return !(std::round(time / delt) <= 2147483647.0); }

}  // namespace

int32_t planned_snapshot_count() {
    if (!is_true(RUN_SETUP.snap_planned) || !(RUN_SETUP.snap_interval > 0.0)) return 0;
    const int32_t intervals = int_trunc(RUN_CLOCK.RUN_STEPS * RUN_CLOCK.DELT / RUN_SETUP.snap_interval);
    // An interval under a step takes one at every step of the run.
    return static_cast<int32_t>(std::min<int64_t>(intervals, int64_t{RUN_CLOCK.RUN_STEPS} + 1));
}

void INITCOM() {
    RUN_OUTPUT.OUTPUT_UNIT_BASE = 0;
    clear_pending_buttons();
    RUN_SEQ.FIRST_RUN = as_logical(RUN_SEQ.IRUN == 1);
    RUN_SEQ.LAST_RUN = as_logical(RUN_SEQ.IRUN == RUN_SEQ.NRUNS);
    RUN_CLOCK.RUN_DELT = RUN_CLOCK.DELT;
    SETTLE_SETUP_SNAPSHOT();
    if (RUN_CLOCK.PRINT_STEP < RUN_CLOCK.DELT) RUN_CLOCK.PRINT_STEP = RUN_CLOCK.DELT;
    SNAPSHOT_COUNTERS = {};

    RunClock& c = RUN_CLOCK;
    if (!(c.DELT > 0.0)) time_step_error();
    // A print step no step counter can reach would print nothing after the
    // first step; the front end's step counts could not hold it either.
    if (beyond_step_count(c.PRINT_STEP, c.DELT)) duration_error();
    const double limit = c.DELT * 2147483647.0;
    const bool first = is_true(RUN_SEQ.FIRST_RUN);
    const bool from_snapshot = RUN_SEQ.START_MODE == "SNAP";
    // The finish time counts from the snapshot's time.
    if (from_snapshot && first) c.FINTIM += c.START_STEP * c.DELT;
    if (first && !(c.FINTIM <= limit)) duration_error();
    // Past the largest double the finish time and its limit are both
    // infinite and pass the test above; the steps would never end.
    if (!std::isfinite(c.FINTIM) || !std::isfinite(std::round(c.FINTIM / c.DELT) * c.DELT)) duration_error();
    const int64_t last_step = nint(c.FINTIM / c.DELT);
    const int64_t steps = from_snapshot ? last_step - c.START_STEP - 1 : last_step;
    // No steps after the first is a run of one step; fewer is no run.
    if (steps < 0) short_run_error();
    c.RUN_STEPS = static_cast<int32_t>(steps);
    if (!is_true(RUN_SEQ.CONNECTED) && is_true(RUN_SEQ.LAST_RUN)) SETTLE_DIALOG_SNAPSHOT();

    for (int32_t s = 1; s <= DIMBLOCK.NSUBSYS; ++s) {
        NET.NTRIANG(s) = 0;
        // A restored run keeps the snapshot's start node: its first step
        // re-solves only where the run it continues would have.
        if (!from_snapshot) NET.MXINV(s) = 1;
        for (int32_t j = 1; j <= NET.NBUSES(s); ++j) {
            NET.CHATCNTV(j, s) = 0;
            NET.CHATMSGV(j, s) = LTRUE;
        }
        for (int32_t j = 1; j <= NET.NBRANCHES(s); ++j) {
            NET.CHATCNTI(j, s) = 0;
            NET.CHATMSGI(j, s) = LTRUE;
        }
    }

    if (first) {
        if (is_true(RUN_SETUP.output_files) && DIMBLOCK.NPGBS <= 0) RUN_SETUP.output_files = LFALSE;
        if (planned_snapshot_count() > 10) write_list(UNIT_CONSOLE_OUT, {"Warning: Too many snapshots"});
    }
}

void USER_STOP(int32_t mode) {
    CURRENT_IDS = {};
    END_RUN_EARLY(mode);
}

void END_RUN_EARLY(int32_t mode) {
    const int32_t n = RUN_CLOCK.NSTEP + 1;
    if (n >= RUN_CLOCK.LAST_STEP) return;
    const int32_t id1 = CURRENT_IDS.id1, id2 = CURRENT_IDS.id2;
    const bool more_runs = RUN_SEQ.NRUNS != RUN_SEQ.IRUN;
    if (mode == 0) {
        RUN_CLOCK.LAST_STEP = n;
        if (more_runs) {
            USERWARN(id1, id2, 2, "Run ending on user request.");
            USERWARN(id1, id2, -1, " Continuing with next run.");
        } else {
            USERWARN(id1, id2, 1, "Run ending on user request.");
        }
    } else if (mode == 1 && RUN_SETUP.eni_role == 2) {
        RUN_CLOCK.LAST_STEP = n;
        if (more_runs) {
            USERWARN(id1, id2, 3, "Run ending on user request.");
            USERWARN(id1, id2, 0, " Continuing with next run. ");
            USERWARN(id1, id2, -1, "Slave simulations cannot finish without Master's consent.");
        } else {
            USERWARN(id1, id2, 1, "Run ending on user request.");
        }
    } else if (mode == 1) {
        RUN_CLOCK.LAST_STEP = n;
        RUN_SEQ.NRUNS = RUN_SEQ.IRUN;
        USERWARN(id1, id2, 1, "Simulation ending on user request.");
    }
}

void ZARIK_STOP() {
    const Text12 name = "ZARIK_STOP";
    USERMSG(0, 0, 2, 4, "ERROR: ZARIK is Terminated by a User-Written Routine. ");
    USERMSG(0, 0, 2, 0, "This message is generated by a call to ZARIK_STOP in your ");
    USERMSG(0, 0, 2, 0, "code. You should communicate any diagnostic messages before ");
    USERMSG(0, 0, 2, -1, "calling this routine.");
    ABORT_RUN(name, 0);
}
