#include "link/run_commands.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <ctime>
#include <string>

#include "controls/meter_tables.h"
#include "engine/abort.h"
#include "engine/bookends.h"
#include "engine/engine_stop.h"
#include "engine/run_state.h"
#include "engine/storage.h"
#include "link/eni.h"
#include "link/flat_layer.h"
#include "link/trace.h"
#include "link/wire_codes.h"
#include "network/dimensions.h"
#include "platform/text_units.h"
#include "snapshot/snapshot.h"

RunCommandState RUN_COMMANDS;

namespace {

int32_t recv_int() {
    int32_t v = 0;
    fe_recv_int(0, v);
    return v;
}

double recv_real() {
    double v = 0.0;
    fe_recv_real(0, v);
    return v;
}

bool valid_cx_index(int32_t index) { return index >= 1 && index <= STORAGE.CX.size(); }

int32_t clamp_to_int32(int64_t v) { return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX)); }

// The stop: one more step runs as the final one.
void stop_result(int32_t& granted_steps, int32_t& result) {
    result = 1;
    granted_steps = std::max(granted_steps, 2);
}

// Time of day as the number hhmmss.sss.
double clock_number() {
    const auto now = std::chrono::system_clock::now();
    const std::time_t t = std::chrono::system_clock::to_time_t(now);
    std::tm local{};
    localtime_r(&t, &local);
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
    return local.tm_hour * 10000.0 + local.tm_min * 100.0 + local.tm_sec + static_cast<double>(ms) / 1000.0;
}

}  // namespace

void POLL_MESSAGES(int32_t& granted_steps, int32_t& result) {
    SNAPSHOT_COUNTERS.on_request = LFALSE;
    result = 0;
    for (;;) {
        const bool wait = granted_steps < 1;
        if (!is_true(fe_poll(0, as_logical(wait)))) {
            // A front end that has gone can grant nothing more, and the
            // run cannot be finished for it: a failure, not an end.
            if (is_true(fe_closed(0))) {
                write_list(UNIT_CONSOLE_OUT,
                           {fe_link_lost_text(0, "at step " + std::to_string(RUN_CLOCK.NSTEP))});
                throw FrontEndLost();
            }
            if (wait) stop_result(granted_steps, result);
            return;
        }
        const int32_t code = recv_int();
        switch (code) {
        case FE_CMD_STOP:
            stop_result(granted_steps, result);
            return;
        case FE_CMD_END_ANSWER:
            result = 2;
            return;
        case FE_CMD_STEPS: {
            int32_t n = recv_int();
            if (n < 1) {
                SEND_TIME();
                n = 0;
            }
            granted_steps = clamp_to_int32(int64_t{granted_steps} + n);
            break;
        }
        case FE_CMD_PRINT_STEP:
            SET_PRINT_STEP(recv_real());
            break;
        case FE_CMD_SET_VAR:
            SET_VAR(recv_int());
            break;
        case FE_CMD_BUTTON:
            SET_BUTTON(recv_int());
            break;
        case FE_CMD_TRACE_ADD:
            TRACE_LIST(TRACE_ADD, recv_int());
            break;
        case FE_CMD_TRACE_REMOVE:
            TRACE_LIST(TRACE_REMOVE, recv_int());
            break;
        case FE_CMD_QUERY:
            QUERY_VALUES();
            break;
        case FE_CMD_SNAPSHOT:
            if (RUN_SETUP.flag_b == 1) {
                SNAPSHOT_COUNTERS.on_request = LTRUE;
                WRITESNP();
                SNAPSHOT_COUNTERS.on_request = LFALSE;
            }
            break;
        case FE_CMD_METERS:
            SEND_METERS();
            break;
        case FE_CMD_TXARRAY:
            GET_TXARRAY();
            break;
        case FE_CMD_LAST_RUN:
            RUN_SEQ.LAST_RUN = LTRUE;
            RUN_SEQ.NRUNS = RUN_SEQ.IRUN;
            break;
        case FE_CMD_ENI_PORTS:
            REC_ENI_PORT();
            break;
        case FE_CMD_PAUSE:
            SEND_TIME();
            granted_steps = 0;
            break;
        case FE_CMD_STOP_RUN:
            if (RUN_SETUP.eni_role != 1) USER_STOP(0);
            break;
        case FE_CMD_OUTPUT_NOW:
            RUN_FLAGS.OUTPUT_STEP = LTRUE;
            break;
        default:
            write_list(UNIT_CONSOLE_OUT, {"Unimplemented message #", code});
            break;
        }
    }
}

namespace {

// A value that is not a finite number reaches no control: it is dropped
// with a warning, and the frame goes on as for any other value.
bool finite_value(double value, const char* command, int32_t index) {
    if (std::isfinite(value)) return true;
    USERWARN(0, 0, 1,
             std::string(command) + " value for index " + std::to_string(index) + " ignored: it is not a finite number.");
    return false;
}

}  // namespace

void SET_VAR(int32_t index) {
    if (!valid_cx_index(index)) {
        USERMSG(0, 0, 2, 1, "Invalid address of Slider/Switch/Dial");
        ABORT_RUN("SET_VAR", 0);
    }
    const double value = recv_real();
    if (finite_value(value, "SET_VAR", index)) STORAGE.CX(index) = value;
    fe_send_int(0, FE_MSG_VAR_SET);
    fe_send_int(0, index);
    fe_flush(0);
}

void SET_BUTTON(int32_t index) {
    if (!valid_cx_index(index)) {
        USERMSG(0, 0, 2, 1, "Invalid address of Push Button");
        ABORT_RUN("SET_BUTTON", 0);
    }
    const double value = recv_real();
    if (!finite_value(value, "SET_BUTTON", index)) return;
    RunCommandState& q = RUN_COMMANDS;
    if (q.button_count >= BUTTON_QUEUE_SIZE) return;  // a full queue drops the press
    const auto at = static_cast<size_t>(q.button_count);
    q.button_index[at] = index;
    q.button_saved[at] = STORAGE.CX(index);
    q.button_count += 1;
    STORAGE.CX(index) = value;
}

void RELEASE_BUTTONS() {
    RunCommandState& q = RUN_COMMANDS;
    // Last press first, so that a control pressed twice gets back the value
    // it had before its first press.
    for (int32_t k = q.button_count - 1; k >= 0; --k) {
        const auto at = static_cast<size_t>(k);
        STORAGE.CX(q.button_index[at]) = q.button_saved[at];
    }
    q.button_count = 0;
}

void clear_pending_buttons() { RUN_COMMANDS.button_count = 0; }

void GET_TXARRAY() {
    int32_t k = recv_int();
    while (k > 0) {
        if (k > STORAGE.TX.size()) {
            USERMSG(0, 0, 2, 1, "Invalid element of TX array");
            ABORT_RUN("GET_TXARRAY", 0);
        }
        const double value = recv_real();
        if (finite_value(value, "GET_TXARRAY", k)) STORAGE.TX(k) = value;
        k = recv_int();
    }
}

void SET_PRINT_STEP(double print_step) {
    RunClock& c = RUN_CLOCK;
    if (!std::isfinite(print_step) || !(c.DELT > 0.0)) return;
    // nint saturates, so a ratio beyond the 32-bit range stays the largest;
    // zero and negative steps are one time step.
    const int32_t steps = std::max(nint(print_step / c.DELT), 1);
    if (steps == nint(c.PRINT_STEP / c.DELT)) return;
    c.PRINT_STEP = steps * c.DELT;
    if (is_true(RUN_SEQ.CONNECTED)) {
        fe_send_int(0, FE_MSG_PRINT_STEP);
        fe_send_real(0, c.PRINT_STEP * 1000000.0);
        fe_flush(0);
    }
}

void SEND_TIME() {
    fe_send_int(0, FE_MSG_TIME);
    fe_send_int(0, RUN_CLOCK.NSTEP);
    fe_send_real(0, RUN_CLOCK.TIME);
    fe_flush(0);
}

void SEND_PROGRESS(int32_t mode) {
    const RunClock& c = RUN_CLOCK;
    RunCommandState& s = RUN_COMMANDS;
    const int64_t steps = run_progress_steps();
    const int64_t p = nint(0.01 * static_cast<double>(steps));
    if (mode == 0) SEND_TIME();
    const bool first = is_true(RUN_FLAGS.FIRST_STEP_RUN);
    if (first) s.progress_mark = clamp_to_int32(int64_t{c.START_STEP} + p);
    if (c.NSTEP >= s.progress_mark || first) {
        // A run of one step is all done at its first.
        const int32_t percent =
            steps == 0 ? 100 : nint(100.0 * (static_cast<double>(c.NSTEP) - c.START_STEP) / static_cast<double>(steps));
        fe_send_int(0, FE_MSG_PROGRESS);
        fe_send_int(0, percent);
        fe_flush(0);
        s.progress_mark = clamp_to_int32(int64_t{s.progress_mark} + p);
    }
}

void SEND_METERS() {
    const MeterTables& m = METER_TABLES;
    const int64_t singles = std::min<int64_t>(m.counts[0], m.METER_VAL.size());
    const int64_t triples = std::min<int64_t>(m.counts[1], m.METER3_VAL.extent(1));
    if (singles >= 1) {
        fe_send_int(0, FE_MSG_METERS);
        for (int64_t i = 1; i <= singles; ++i) fe_send_real(0, m.METER_VAL(i));
        fe_flush(0);
    }
    if (triples >= 1) {
        fe_send_int(0, FE_MSG_METERS3);
        for (int64_t i = 1; i <= triples; ++i)
            for (int64_t k = 1; k <= 3; ++k) fe_send_real(0, m.METER3_VAL(i, k));
        fe_flush(0);
    }
}

void SEND_END_OF_RUN() {
    const int32_t n = static_cast<int32_t>(std::clamp<int64_t>(DIMBLOCK.REQ[ND_TX], 0, STORAGE.TX.size()));
    fe_send_int(0, FE_MSG_END_OF_RUN);
    fe_send_int(0, is_true(RUN_SEQ.LAST_RUN) ? 0 : 1);
    fe_send_int(0, n);
    for (int32_t k = 1; k <= n; ++k) fe_send_real(0, STORAGE.TX(k));
    fe_flush(0);
}

Logical WALLCLOCK_CHECK(double interval) {
    const RunClock& c = RUN_CLOCK;
    RunCommandState& s = RUN_COMMANDS;
    const int32_t n = c.NSTEP - c.START_STEP;
    const int32_t d = c.RUN_STEPS >= 11 ? c.RUN_STEPS / 5 : 1;
    const double t = clock_number();
    if (is_true(RUN_FLAGS.FIRST_STEP_RUN)) s.wallclock_saved = t;
    bool due = false;
    if (interval < t - s.wallclock_saved || t < s.wallclock_saved || n % d == 0) {
        s.wallclock_saved = t;
        due = true;
    }
    if (is_true(RUN_FLAGS.FINAL_STEP)) due = true;
    return as_logical(due);
}
