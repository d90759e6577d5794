#include "network/parameters.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "engine/abort.h"
#include "engine/run_state.h"
#include "network/dimensions.h"
#include "network/input_state.h"
#include "network/line_reader.h"
#include "network/network_tables.h"
#include "platform/list_read.h"
#include "snapshot/snapshot.h"

namespace {

const Text12 kRdParm = "RDPARM";

void console(FValues values) { write_list(UNIT_CONSOLE_OUT, values); }

[[noreturn]] void stop_with(const char* text) {
    console({text});
    ABORT_RUN(kRdParm, 1);
}

void warn(const char* text) { USERWARN(0, 0, 1, text); }

// Reads a number from the value text; false when the text holds none, so
// that the setting stays as it was. NaN and the infinities are no setting.
bool read_real(const Text72& key, const Text72& value, double& x) {
    if (value.is_blank()) return false;
    double v = x;
    ListRead in(value.view());
    in.real(v);
    if (in.status() == ReadStatus::Error) stop_with("Error while reading data from line:");
    if (in.status() == ReadStatus::End) return false;
    if (!std::isfinite(v)) {
        console({"ERROR: " + key.trimmed() + " is not a finite number"});
        ABORT_RUN(kRdParm, 1);
    }
    x = v;
    return true;
}

bool read_int(const Text72& value, int32_t& n) {
    if (value.is_blank()) return false;
    int32_t v = n;
    ListRead in(value.view());
    in.integer(v);
    if (in.status() == ReadStatus::Error) stop_with("Error while reading data from line:");
    if (in.status() == ReadStatus::End) return false;
    n = v;
    return true;
}

template <class F>
void for_each_subsystem(F&& f) {
    for (int32_t s = 1; s <= DIMBLOCK.NSUBSYS; ++s) f(s);
}

void unknown_option(const char* key, const Text72& word) {
    console({std::string("Unknown option for ") + key + ": ", word});
}

// "NO" clears a per-subsystem flag with its notice, "YES" changes nothing.
void option_no_clears(const char* key, const Text72& word, FArray1<Logical>& flag, const char* notice,
                      bool show_notice) {
    if (word == "NO") {
        for_each_subsystem([&](int32_t s) { flag(s) = LFALSE; });
        if (show_notice) console({notice});
    } else if (!(word == "YES")) {
        unknown_option(key, word);
    }
}

// "YES" sets a flag, "NO" changes nothing.
void option_yes_sets(const char* key, const Text72& word, Logical& flag) {
    if (word == "YES")
        flag = LTRUE;
    else if (!(word == "NO"))
        unknown_option(key, word);
}

void solution_method(const Text72& word) {
    for_each_subsystem([](int32_t s) { NET.SSMETHOD(s) = 0; });
    if (!is_true(RUN_SEQ.FIRST_RUN)) return;
    if (word == "TRAPEZOIDAL") {
        console({"Solution Method: Trapezoidal Integration"});
        return;
    }
    warn("Unrecognized Solution Method, Defaulting to Trapezoidal");
    console({"################## WARNING ##################"});
    console({"Unrecognized Solution Method: ", word.sub(1, 30)});
    console({"Defaulting to trapezoidal integration method."});
    console({"#############################################"});
}

void apply_parameter(const Text72& key, const Text72& value) {
    RunClock& c = RUN_CLOCK;
    const Text72 word = FIRST_TOKEN(value);
    const bool first_run_flag = is_true(RUN_SEQ.FIRST_RUN);
    const bool first_run = RUN_SEQ.IRUN <= 1;
    double x = 0.0;

    if (key == "TITLE") {
        if (value.is_blank()) {
            PARAMS.title = "***Blank_Title***";
        } else {
            Text72 title;
            ListRead(value.view()).text(title);
            PARAMS.title = title;
        }
    } else if (key == "VERSION") {
        read_real(key, value, x);
    } else if (key == "TIME_STEP") {
        if (read_real(key, value, c.DELT) && !(c.DELT > 0.0)) stop_with("ERROR: Undefined, Zero or Negative time-step");
    } else if (key == "PRINT_STEP") {
        if (read_real(key, value, x)) {
            if (x < c.DELT) warn("Print-step should be at least time-step");
            c.PRINT_STEP = WHOLE_PRINT_STEP(x, c.DELT);
        }
    } else if (key == "FINISH_TIME") {
        if (read_real(key, value, c.FINTIM) && !(c.FINTIM > 0.0))
            stop_with("ERROR: Undefined, Zero or Negative finish time");
    } else if (key == "START_TIME") {
        if (read_real(key, value, x) && x < 0.0) warn("WARNING!: Negative start time");
    } else if (key == "SNAP_TIME") {
        if (read_real(key, value, c.TIME) && c.TIME < 0.0) stop_with("ERROR!: Negative snap time");
    } else if (key == "SNAP_IIISNP") {
        if (read_int(value, PARAMS.SNAP_IIISNP) && PARAMS.SNAP_IIISNP < 0) stop_with("ERROR: Negative snap time");
    } else if (key == "SCREEN_PMAX") {
        read_real(key, value, PARAMS.SCREEN_PMAX);
    } else if (key == "SCREEN_PMIN") {
        read_real(key, value, PARAMS.SCREEN_PMIN);
    } else if (key == "SOLUTION") {
        solution_method(word);
    } else if (key == "CHATTER_LEVEL") {
        if (read_real(key, value, x)) {
            const double level = x > 0.0 ? x : 0.001;
            for_each_subsystem([&](int32_t s) { NET.SSCHATLEV(s) = level; });
        }
    } else if (key == "SHORT_CIRCUIT") {
        if (read_real(key, value, x) && x > 1e-8) for_each_subsystem([&](int32_t s) { NET.GIDEAL(s) = 1.0 / x; });
    } else if (key == "INTERPOLATE") {
        option_no_clears("INTERPOLATE", word, NET.SSINTERP, "Disabling network interpolation.", first_run_flag);
    } else if (key == "REMOVE_CHATTER") {
        option_no_clears("REMOVE_CHATTER", word, NET.SSRMCHAT, "Disabling chatter removal.", first_run_flag);
    } else if (key == "DETECT_CHATTER") {
        option_no_clears("DETECT_CHATTER", word, NET.SSDETCHAT, "Disabling chatter detection.", first_run);
    } else if (key == "EXTRAPOLATE") {
        option_no_clears("EXTRAPOLATE", word, NET.SSEXTRAP, "Disabling source extrapolation.", first_run);
    } else if (key == "PRINT_DIMENSIONS") {
        option_yes_sets("PRINT_DIMENSIONS", word, PARAMS.PRINT_DIMENSIONS);
    } else if (key == "USE_SUBSYSDIM") {
        option_yes_sets("USE_SUBSYSDIM", word, PARAMS.USE_SUBSYSDIM);
    } else if (key == "PRINT_PARAMETERS") {
        option_yes_sets("PRINT_PARAMETERS", word, PARAMS.PRINT_PARAMETERS);
    } else if (key == "ECHO_DATA") {
        option_yes_sets("ECHO_DATA", word, INPUT.echo);
    } else {
        warn("RDPARM: Unresolved parameter in Map/Snap file");
        console({"WARNING: RDPARM: Unresolved parameter: ", key});
        console({"in data file: ", INPUT.DATA_FILE_NAME.sub(1, 34)});
        console({"... continuing reading data"});
    }
}

void finish_section() {
    RunClock& c = RUN_CLOCK;
    if (is_true(PARAMS.PRINT_PARAMETERS)) WRITEPARM(CONSOLE_UNITS.out);
    // Everything after this needs a positive time step.
    if (!(c.DELT > 0.0)) stop_with("WARNING: Using default time step of 50 usec.");
    if (c.PRINT_STEP < c.DELT) {
        c.PRINT_STEP = c.DELT;
        warn("Print time has been adjusted to DELT");
        console({"WARNING: Print time has been adjusted to ", c.DELT});
    }
    if (c.PRINT_STEP > c.FINTIM) {
        c.FINTIM = c.PRINT_STEP;
        warn("Finish time has been adjusted to PrintTime");
        console({"WARNING: Finish time has been adjusted to ", c.PRINT_STEP});
    }
}

// A key text of the block: a blank, the key padded to `width`, "= ".
std::string key_text(const char* key, size_t width = 15) { return " " + pad_text(key, width) + "= "; }

// Files get every digit a restart needs; the console echo keeps 16.
void write_real(int32_t unit, const char* key, double value) {
    const bool console = unit == UNIT_CONSOLE_OUT || unit == CONSOLE_UNITS.out;
    write_formatted(unit, console ? "(A,G24.16E3)" : "(A,G24.17E3)", {key_text(key), value});
}

// The title between apostrophes, each of its apostrophes doubled, at most
// 50 characters without splitting a doubled pair.
std::string quoted_title() {
    std::string t;
    for (const char ch : PARAMS.title.sub(1, 50)) {
        const size_t need = ch == '\'' ? 2 : 1;
        if (t.size() + need > 50) break;
        t.append(need, ch);
    }
    t.resize(50, ' ');
    return t;
}

const char* yes_no(Logical flag) { return is_true(flag) ? "'YES'" : "'NO'"; }

}  // namespace

void RDPARM() {
    if (!(INPUT.SECTION_KEY == "PARAMETERS:")) {
        console({"Expecting section PARAMETERS: in map/snap file."});
        console({"Instead found section: ", INPUT.SECTION_KEY});
        ABORT_RUN(kRdParm, 2);
    }
    PARAMS.USE_SUBSYSDIM = LFALSE;
    RDCMNT();
    while (INPUT.SECTION_KEY == "PARAMETERS:") {
        Text72 line;
        const ReadStatus st = READ_DATA_LINE(line);
        if (st == ReadStatus::End) stop_with("Unexpected End_Of_File");
        if (st == ReadStatus::Error) stop_with("Error while reading data from line:");
        apply_parameter(FIRST_TOKEN(line), GETVALUE(line));
        RDCMNT();
    }
    finish_section();
}

void WRITEPARM(int32_t unit) {
    const RunClock& c = RUN_CLOCK;
    write_list(unit, {});
    write_list(unit, {"PARAMETERS:"});
    write_list(unit, {key_text("TITLE"), "'", quoted_title(), "'"});
    write_real(unit, "VERSION", ZARIK_VERSION);
    write_real(unit, "TIME_STEP", c.DELT);
    write_real(unit, "PRINT_STEP", c.PRINT_STEP);
    write_real(unit, "SNAP_TIME", c.TIME);
    const int32_t step = c.NSTEP - (is_true(SNAPSHOT_COUNTERS.on_request) ? 1 : 0);
    write_formatted(unit, "(A19,I12)", {key_text("SNAP_IIISNP"), step});
    write_real(unit, "SCREEN_PMAX", PARAMS.SCREEN_PMAX);
    write_real(unit, "SCREEN_PMIN", PARAMS.SCREEN_PMIN);
    if (DIMBLOCK.NSUBSYS >= 1) {
        write_real(unit, "CHATTER_LEVEL", NET.SSCHATLEV(1));
        const double g = NET.GIDEAL(1);
        write_real(unit, "SHORT_CIRCUIT", g > 1e-10 ? 1.0 / g : 1e-5);
        write_list(unit, {key_text("SOLUTION"), NET.SSMETHOD(1) == 0 ? "'TRAPEZOIDAL'" : "'ROOTMATCHING_1'"});
        write_list(unit, {key_text("DETECT_CHATTER"), yes_no(NET.SSDETCHAT(1))});
        write_list(unit, {key_text("REMOVE_CHATTER"), yes_no(NET.SSRMCHAT(1))});
        write_list(unit, {key_text("INTERPOLATE"), yes_no(NET.SSINTERP(1))});
        write_list(unit, {key_text("EXTRAPOLATE"), yes_no(NET.SSEXTRAP(1))});
    }
    write_list(unit, {key_text("USE_SUBSYSDIM", 16), yes_no(PARAMS.USE_SUBSYSDIM)});
    write_list(unit, {"END:"});
    write_list(unit, {});
}

double WHOLE_PRINT_STEP(double given, double delt) {
    const double n = std::max(std::round(given / delt), 1.0);
    return n <= 2147483647.0 ? n * delt : given;
}
