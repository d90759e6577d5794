#include "engine/dialog.h"

#include <string>

#include "engine/messages.h"
#include "engine/run_state.h"
#include "network/dimensions.h"
#include "network/input_state.h"
#include "platform/list_read.h"
#include "platform/text_units.h"
#include "snapshot/name_base.h"
#include "snapshot/snapshot.h"

namespace {

constexpr int32_t kMaxRuns = 10000;

void set_defaults() {
    RUN_SEQ.START_MODE = "DATA";
    RUN_SETUP.start_file = "datafile";
    RUN_CLOCK.FINTIM = 0.5;
    DIMBLOCK.NPGBS = 10;
    RUN_SETUP.relabel_time = LFALSE;
    RUN_SETUP.output_files = LFALSE;
    RUN_SETUP.screen_plot = LFALSE;
    RUN_SETUP.snap_planned = LFALSE;
    RUN_SETUP.snap_at_end = LFALSE;
    RUN_SETUP.snap_incremental = LFALSE;
    RUN_SETUP.output_file = "out";
    RUN_SETUP.snap_file = "snap";
    RUN_CLOCK.SNAP_TIME = 1.0e6;
    RUN_SETUP.snap_interval = 1.0e6;
    RUN_SEQ.MULTI_RUN = LFALSE;
    RUN_SEQ.OPEN_ENDED = LFALSE;
    RUN_SEQ.NRUNS = 1;
    RUN_SETUP.multirun_file = "mrun";
    RUN_SETUP.eni_role = 0;
    RUN_SETUP.flag_a = LFALSE;
    RUN_SETUP.flag_b = 0;
}

// One answer is one free-format read of one value. At the end of the input
// the variable keeps what it held; only a read error is reported, so that
// the caller asks again.
template <class T, class Read>
bool read_answer(T& v, Read read) {
    T value = v;
    ListRead in(UNIT_CONSOLE_IN);
    read(in, value);
    if (in.status() == ReadStatus::Error) return false;
    v = value;
    return true;
}

bool read_int(int32_t& v) { return read_answer(v, [](ListRead& in, int32_t& x) { in.integer(x); }); }
bool read_real(double& v) { return read_answer(v, [](ListRead& in, double& x) { in.real(x); }); }
// A name longer than its field would be cut into another, perhaps existing,
// file's name: it is a read error, measured as list input takes it.
bool read_name(Text34& v) {
    std::string typed = v.str();
    if (!read_answer(typed, [](ListRead& in, std::string& x) { in.text(x); })) return false;
    if (len_trim(typed) > Text34::size()) {
        write_list(UNIT_CONSOLE_OUT, {"File names hold at most 34 characters."});
        return false;
    }
    v.assign(typed);
    return true;
}

// An output or snapshot name whose file part is empty up to its cut would
// write files named only by their suffix, hidden ones among them.
bool read_base_name(Text34& v) {
    Text34 typed = v;
    if (!read_name(typed)) return false;
    if (!has_base(typed.view())) {
        write_list(UNIT_CONSOLE_OUT, {"File names need a name before their first \".\" or blank."});
        return false;
    }
    v = typed;
    return true;
}

void prompt(int32_t n, int32_t answer, double x1 = 0.0) { OUTMSG(n, answer, answer, answer, x1, 0.0, INPUT.DATA_LINE); }

// An invalid answer: counted, and the third one starts the dialogue again.
// Returns true when the dialogue must restart.
bool invalid_answer() {
    RETRY_COUNT();
    if (RUN_SETUP.invalid_answers != 3) return false;
    prompt(108, 0);
    return true;
}

bool map_file_opens() {
    const int unit = INPUT.INPUT_UNIT;
    if (!unit_open(unit, RUN_SETUP.start_file.trimmed(), UnitMode::Read)) return false;
    unit_close(unit);
    return true;
}

// The questions in order; false when an invalid answer restarts them.
bool ask_questions() {
    int32_t answer = 0;

    answer = 0;
    prompt(301, answer);
    if (!read_int(answer)) {
        invalid_answer();
        return false;
    }
    RUN_SEQ.START_MODE = answer == 1 ? "SNAP" : "DATA";

    for (;;) {
        answer = 0;
        prompt(302, answer);
        if (read_int(answer)) break;
        if (invalid_answer()) return false;
    }
    if (answer != 0) {
        const int32_t snap_kind = answer;
        for (;;) {
            RUN_SETUP.snap_planned = LTRUE;
            prompt(303, answer);
            if (!read_real(RUN_SETUP.snap_interval)) {
                if (invalid_answer()) return false;
                continue;
            }
            // The end of the run is known only once the case is read.
            RUN_SETUP.snap_at_end = as_logical(!(RUN_SETUP.snap_interval > 0.0));
            if (is_true(RUN_SETUP.snap_at_end)) {
                write_list(UNIT_CONSOLE_OUT, {"Warning: Invalid snap time."});
                write_list(UNIT_CONSOLE_OUT, {"Snap will be taken at the end of the run"});
                RUN_CLOCK.SNAP_TIME = RUN_CLOCK.FINTIM;
            } else {
                RUN_CLOCK.SNAP_TIME = RUN_SETUP.snap_interval;
            }
            if (snap_kind == -1)
                RUN_SETUP.snap_incremental = LFALSE;
            else if (snap_kind == -2)
                RUN_SETUP.snap_incremental = LTRUE;
            else
                RUN_SETUP.snap_interval = 1.0e6;

            prompt(304, answer);
            if (read_base_name(RUN_SETUP.snap_file)) break;
            if (invalid_answer()) return false;
        }
    }

    if (RUN_SEQ.START_MODE == "DATA") {
        for (;;) {
            RUN_SETUP.relabel_time = LFALSE;
            prompt(305, answer);
            write_list(UNIT_CONSOLE_OUT, {"(case_name.map)"});
            if (!read_name(RUN_SETUP.start_file)) {
                if (invalid_answer()) return false;
                continue;
            }
            std::string line = INPUT.DATA_LINE.str();
            line.replace(0, Text34::size(), RUN_SETUP.start_file.view());
            INPUT.DATA_LINE.assign(line);
            FIX_MAPNAME();
            if (map_file_opens()) break;
            // A missing file is an invalid answer with a report of its own.
            RUN_SETUP.invalid_answers += 1;
            prompt(103, answer);
            if (RUN_SETUP.invalid_answers == 3) {
                prompt(108, answer);
                return false;
            }
            if (RUN_SETUP.invalid_answers > 3) prompt(402, answer);
        }
        RUN_SETUP.map_file_for_snap = RUN_SETUP.start_file;
    } else {
        for (;;) {
            answer = 0;
            prompt(306, answer);
            if (read_int(answer) && (answer == 0 || answer == 1)) break;
            if (invalid_answer()) return false;
        }
        RUN_SETUP.relabel_time = as_logical(answer == 1);
    }

    for (;;) {
        RUN_SEQ.NRUNS = 1;
        prompt(310, RUN_SEQ.NRUNS);
        if (read_int(RUN_SEQ.NRUNS) && RUN_SEQ.NRUNS >= 1 && RUN_SEQ.NRUNS <= kMaxRuns) break;
        if (invalid_answer()) return false;
    }
    if (RUN_SEQ.NRUNS >= 2) RUN_SEQ.MULTI_RUN = LTRUE;

    for (;;) {
        answer = 1;
        prompt(307, answer);
        if (read_int(answer)) {
            if (answer == 0) {
                RUN_SETUP.output_files = LFALSE;
                break;
            }
            if (answer == 1) {
                RUN_SETUP.output_files = LTRUE;
                prompt(308, answer);
                if (read_base_name(RUN_SETUP.output_file)) break;
            }
        }
        if (invalid_answer()) return false;
    }

    for (;;) {
        if (RUN_SEQ.NRUNS > 1) prompt(316, answer);
        answer = 1;
        prompt(309, answer);
        if (read_int(answer) && (answer == 0 || answer == 1)) break;
        if (invalid_answer()) return false;
    }
    RUN_SETUP.screen_plot = as_logical(answer == 1);

    if (RUN_SEQ.START_MODE == "SNAP") {
        for (;;) {
            prompt(317, answer);
            if (read_name(RUN_SETUP.start_file) && RUN_SETUP.start_file[0] != ' ') break;
            if (invalid_answer()) return false;
        }
        // A snapshot that is refused ends the run inside the check.
        Logical accepted = LFALSE;
        double snap_time = 0.0;
        SNAP_OK(accepted, snap_time);
        for (;;) {
            prompt(318, answer, snap_time);
            write_list(UNIT_CONSOLE_OUT, {"How long do you want to run the case?"});
            if (read_real(RUN_CLOCK.FINTIM) && RUN_CLOCK.FINTIM >= RUN_CLOCK.DELT) break;
            if (invalid_answer()) return false;
        }
    }
    return true;
}

}  // namespace

void RETRY_COUNT() {
    RUN_SETUP.invalid_answers += 1;
    const int32_t n = RUN_SETUP.invalid_answers;
    OUTMSG(101, n, n, n, 0.0, 0.0, INPUT.DATA_LINE);
    OUTMSG(RUN_SETUP.invalid_answers > 3 ? 402 : 102, n, n, n, 0.0, 0.0, INPUT.DATA_LINE);
}

void FIX_MAPNAME() {
    Text34& name = RUN_SETUP.start_file;
    for (size_t k = 1; k <= 31; ++k) {
        const std::string_view ext = name.sub(k, k + 3);
        if (ext != ".dat" && ext != ".dta") continue;
        write_list(UNIT_CONSOLE_OUT, {"Warning: ", name.sub(1, k + 3), " has been interpreted as"});
        name[k - 1] = '.';
        name[k] = 'm';
        name[k + 1] = 'a';
        name[k + 2] = 'p';
        write_list(UNIT_CONSOLE_OUT, {"     >>> ", name.sub(1, k + 3), " <<<"});
        return;
    }
}

void SETTLE_DIALOG_SNAPSHOT() {
    RunClock& c = RUN_CLOCK;
    if (!is_true(RUN_SETUP.snap_planned)) return;
    const int64_t first = run_first_step();
    const double last_time = static_cast<double>(first + c.RUN_STEPS) * c.DELT;
    if (is_true(RUN_SETUP.snap_at_end)) c.SNAP_TIME = last_time;
    if (c.SNAP_TIME - last_time < kSnapWindow * c.DELT) return;
    write_list(UNIT_CONSOLE_OUT, {"Warning: Snap time", c.SNAP_TIME, "lies beyond the finish time", c.FINTIM});
    write_list(UNIT_CONSOLE_OUT, {"No snap will be taken"});
}

void DIALOG() {
    // Every restart sets the defaults again; the count of invalid answers
    // runs on, so the dialogue ends by an answer or by the fourth fault.
    for (;;) {
        set_defaults();
        if (ask_questions()) return;
    }
}
