#include "engine/message_catalog.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "engine/engine_stop.h"
#include "link/flat_layer.h"
#include "link/wire_codes.h"

namespace {

// Numbers not in use hold "" so that the numbering stays fixed.
const char* const general_group[] = {
    "general",
    /* 1 */ "----------------------------------------------------\n",
    /* 2 */ "  ZARIK(tm)  Version [R%.2f]\n",
    /* 3 */ "\n ZARIK AC & DC Simulation run on [I%02d]-[I%02d]-[I%04d]\n",
    /* 4 */ " The current time is  [I%02d]:[I%02d]:[I%02d]\n\n\n",
    nullptr,
};

const char* const data_errs_group[] = {
    "data_errs",
    /* 1 */ "*** Error in reading of data file! ***\n",
    /* 2 */ "*** Invalid data line ***\n",
    /* 3 */ "    (Did you remember the terminating '/' at the end of all data lines?)\n    (Did you place a 'C' or 'c' at the beginning of comment cards?)\n    (Did you place an 'O' where a '0' should have been?)\n",
    /* 4 */ "*** The offending line in the data file is: ***\n--> [S72]\n",
    /* 5 */ "\n*** Problem in reading offending data line from input file! ***\n\n",
    /* 6 */ "",
    /* 7 */ "",
    /* 8 */ "",
    /* 9 */ "",
    /* 10 */ "*** You have more than [I] subsystems! ***\n",
    /* 11 */ "*** You have over [I] nodes in subsystem [I]! ***\n",
    /* 12 */ "*** You have over [I] +'ve branches in subsystem [I]! ***\n",
    /* 13 */ "*** You have over [I] -'ve branches in subsystem [I]! ***\n",
    /* 14 */ "*** You have over [I] thevinin sources in subsystem [I]! ***\n",
    /* 15 */ "*** You have over [I] phases in transformer in subsystem [I] ! ***\n",
    /* 16 */ "*** You have over [I] sets of mutually coupled branches! ***\n",
    /* 17 */ "*** You have over [I] distributed transmission lines! ***\n",
    /* 18 */ "*** There are more than [I] phases on line #[I]! ***\n",
    /* 19 */ "*** [I] time-steps are required for line #[I]! ***\n    Only [I] have been dimensioned!\n",
    /* 20 */ "",
    /* 21 */ "",
    /* 22 */ "",
    /* 23 */ "",
    /* 24 */ "",
    /* 25 */ "",
    /* 26 */ "",
    /* 27 */ "",
    /* 28 */ "",
    /* 29 */ "",
    /* 30 */ "",
    /* 31 */ "",
    /* 32 */ "    Check mutual data in subsystem #[I].\n",
    /* 33 */ "    Check distributed transmission line data.\n",
    /* 34 */ "",
    /* 35 */ "",
    /* 36 */ "",
    /* 37 */ "",
    /* 38 */ "",
    /* 39 */ "",
    /* 40 */ "*** Maximum of 200 sequential comment lines are allowed ****\n",
    /* 41 */ "",
    /* 42 */ "",
    /* 43 */ "*** The initial node volts in subsystem [I] are not entered as real numbers! ***\n",
    /* 44 */ "*** You have more than one parallel branch between positive nodes! ***\n",
    /* 45 */ "*** You have RLC parameters in series between +'ve nodes! ***\n",
    /* 46 */ "*** All R, L and C values are 0.0 for this branch! ***\n",
    /* 47 */ "*** You have RLC parameters in a thevinin source branch! ***\n",
    /* 48 */ "*** You have entered invalid screen plot limits! ***\n",
    /* 49 */ "*** The resistance in a thevinin source is not entered as a real number. ***\n    (Note: Thevinin source data should be in the form:  IFR R L C ES EC /)\n",
    /* 50 */ "*** An improper print-step has been entered! ***\n    (PRINT must be > DELT)\n    (Did you remember to enter a title?)\n",
    /* 51 */ "*** An improper finish time has been entered! ***\n    (FINTIM must be > DELT)\n",
    /* 52 */ "",
    /* 53 */ "*** An improper time-step has been entered! ***\n    (DELT must be > 0.0)\n",
    /* 54 */ "*** You have referenced node [I] on this data card. ***\n    The first card for subsystem [I] says you have only [I] nodes!\n",
    /* 55 */ "*** You have more than one parallel thevinin source at the same node! ***\n",
    /* 56 */ "*** Invalid number of transformer windings in subsystem #[I]! ***\n",
    /* 57 */ "*** Transformer winding node numbers exceed the number of nodes in subsystem #[I]! ***\n",
    /* 58 */ "*** Winding node numbers are negative or are both 0 in transformer in subsystem #[I]! ***\n",
    /* 59 */ "*** Invalid subsystem number on sending end of line #[I]! ***\n",
    /* 60 */ "*** Invalid subsystem number on receiving end of line #[I]! ***\n",
    /* 61 */ "*** The frequency points for line #[I] are not correct! ***\n",
    /* 62 */ "",
    /* 63 */ "*** You have referenced node #[I] in your transmission line data! ***\n    The first card for subsystem #[I] says you have only [I] nodes!\n",
    /* 64 */ "*** Invalid node numbers for line #[I]! ***\n",
    /* 65 */ "",
    /* 66 */ "",
    /* 67 */ "",
    /* 68 */ "",
    /* 69 */ "",
    /* 70 */ "*** End of file reached! ***\n",
    /* 71 */ "*** Cannot read the first line (Title)! ***\n",
    /* 72 */ "*** Problem writing to output file: '[S34]'! ***\n",
    nullptr,
};

const char* const warnings_group[] = {
    "warnings",
    /* 1 */ "*** Non-valid response ***\n",
    /* 2 */ "*** Please try again ***\n",
    /* 3 */ "*** Input file '[S34]' cannot be read! ***\n    (File may not exist, or read access denied.)\n",
    /* 4 */ "*** You have asked for more than the dimensioned number of output channels [I]! ***\n    Only the maximum will be provided.\n    Please ensure that no PGB number greater than [I] is referenced!\n",
    /* 5 */ "*** Unable to read snap-shot file '[S10]'! ***\n    (Does this file exist?)\n    Please re-enter snap-file name:\n",
    /* 6 */ "*** This is your last chance! ***\n",
    /* 7 */ "",
    /* 8 */ "",
    /* 9 */ "",
    /* 10 */ "*** The last line in the data file should be VARs! ***\n    They have been assumed to be 0.0!\n",
    /* 11 */ "*** Check travel time data on line #[I], mode [I]! ***\n    The travel time is less than one time-step for this mode!\n    It has been changed to one time-step.\n",
    /* 12 */ "",
    /* 13 */ "",
    /* 14 */ "",
    /* 15 */ "*** Problem with snap-shot file '[S10]'! ***\n    This snapshot was written with a different version of ZARIK!\n    Please re-enter snap-file name:\n",
    /* 16 */ "*** Finish time is before start time\n    Please re-enter the finish time.\n",
    nullptr,
};

const char* const multirun_group[] = {
    "multirun",
    /* 1 */ "\n*** Multiple run #[I] starting ****\n\n",
    /* 2 */ "\n*** Run #[I] completed out of [I] total ***\n\n",
    /* 3 */ "      VAR([I]) is = [R]\n",
    /* 4 */ "      PGB([I]) was = [R] for this run\n",
    /* 5 */ "      The [S3]imum PGB # so far = [R].\n      This was generated during run #[I]\n\n\n",
    /* 6 */ "\n*** [I] multiple runs are completed. ***\n    Now to generate output for the optimal run.\n\n",
    /* 7 */ "Multiple run output: m-[S34]\n",
    /* 8 */ "*** WARNING!  --- [I] output points will be generated during the last multiple run! ****\n                More than 2000 points is considered excessive!\n",
    /* 9 */ "*** WARNING!  --- [I] Snap files will be written to different files during the last multiple run! ***\n                More than 10 is considered excessive !\n",
    nullptr,
};

const char* const runinfo_group[] = {
    "runinfo",
    /* 1 */ "***  Note: Time is measured in microseconds ***\n",
    /* 2 */ "",
    /* 3 */ "",
    /* 4 */ "",
    /* 5 */ "",
    /* 6 */ "",
    /* 7 */ "",
    /* 8 */ "",
    /* 9 */ "",
    /* 10 */ "*** WARNING!  --- [I] output points will be generated! ***\n                More than 2000 points is considered excessive!\n",
    /* 11 */ "*** WARNING!  --- [I] snap files will be written to different files! ***\n                More than 10 is considered excessive!\n",
    /* 12 */ "",
    /* 13 */ "",
    /* 14 */ "",
    /* 15 */ "",
    /* 16 */ "",
    /* 17 */ "",
    /* 18 */ "",
    /* 19 */ "",
    /* 20 */ "***  This run is [I%3d]% completed ***\n",
    /* 21 */ "*** Snapshot written in file: [S32] ***\n",
    /* 22 */ "*** Matrix triangularized [I]th time in subsystem: [I] (at node #[I]!) ***\n",
    /* 23 */ "",
    /* 24 */ "",
    /* 25 */ "",
    /* 26 */ "",
    /* 27 */ "",
    /* 28 */ "",
    /* 29 */ "",
    /* 30 */ "[S72]\n",
    /* 31 */ "\n           [R%#+-10.3g]                                       [R%#+-10.3g]\n",
    /* 32 */ "           [S53]\n",
    /* 33 */ "[R%11.6f][S53]\n",
    /* 34 */ "",
    /* 35 */ "",
    /* 36 */ "",
    /* 37 */ "",
    /* 38 */ "",
    /* 39 */ "",
    /* 40 */ "*** Chatter detected in voltage at node [I] in SS [I]! ***\n",
    /* 41 */ "*** Chatter detected in current from node [I] to ground in SS [I]! ***\n",
    /* 42 */ "*** Chatter detected in current from node [I] to node [I] in SS [I]! ***\n",
    /* 43 */ "*** Chatter detected in current from node [I] to node [I] in SS [I] ***\n      (-'ve branch #[I])\n",
    /* 44 */ "",
    /* 45 */ "",
    /* 46 */ "",
    /* 47 */ "",
    /* 48 */ "",
    /* 49 */ "",
    /* 50 */ "",
    /* 51 */ "",
    /* 52 */ "",
    /* 53 */ "",
    /* 54 */ "",
    /* 55 */ "",
    /* 56 */ "",
    /* 57 */ "",
    /* 58 */ "",
    /* 59 */ "",
    /* 60 */ "",
    /* 61 */ "",
    /* 62 */ "",
    /* 63 */ "",
    /* 64 */ "",
    /* 65 */ "",
    /* 66 */ "",
    /* 67 */ "",
    /* 68 */ "",
    /* 69 */ "",
    /* 70 */ "\n*** Subsystem [I] matrix was triangularized [I] times ***\n",
    /* 71 */ "",
    /* 72 */ "",
    /* 73 */ "",
    /* 74 */ "",
    /* 75 */ "",
    /* 76 */ "",
    /* 77 */ "",
    /* 78 */ "",
    /* 79 */ "",
    /* 80 */ "\n\n         Input file: [S34]\n",
    /* 81 */ "           Snapshot: [S34]\n",
    /* 82 */ "     Output file [I%2d]: [S34]\n",
    /* 83 */ "\n         Start Date: [I%02d]-[I%02d]-[I%04d]\n",
    /* 84 */ "         Start Time: [I%02d]:[I%02d]:[I%02d]\n",
    /* 85 */ "          Stop Time: [I%02d]:[I%02d]:[I%02d]\n",
    /* 86 */ "     Total CPU Time: [I%02d]:[I%02d]:[I%02d].[I%03d]\n\n",
    /* 87 */ "       Elapsed Time: [I%02d]:[I%02d]:[I%02d]\n\n",
    nullptr,
};

const char* const csmf_group[] = {
    "csmf",
    /* 1 */ "*** Sin wave signal of FREQ = [R] & amplitude [R] ***\n",
    /* 2 */ "*** Square wave signal of FREQ = [R] & amplitude [R] ***\n",
    /* 3 */ "*** [I] harmonic function generator based on F = [R] ***\n",
    /* 4 */ "    and starting at F = [R] hertz.\n",
    /* 5 */ "*** Each harmonic has an amplitude of [R] ***\n",
    /* 6 */ "    [I] periods of [R] secs start at TIME = [R]\n",
    /* 7 */ "*** You have a mistake in the SGEN11 arguments! ***\n    SGEN11 is therefore inoperative for this case ***\n",
    nullptr,
};

const char* const catalog_name[] = {"zarik", nullptr};

const char* const* const catalog_table[] = {
    catalog_name, general_group, data_errs_group, warnings_group, multirun_group, runinfo_group, csmf_group, nullptr,
};

constexpr size_t MAX_ARGS = 10;
constexpr size_t MAX_CODE = 31;
constexpr size_t MAX_TEXT_ARG = 255;
// Keeps a stray width or precision from filling the console.
constexpr int MAX_FIELD = 255;

// One placeholder: "[", an optional argument number, then the
// format code up to "]": a type letter, a size and a print format.
struct Placeholder {
    int argno = 0;           // 1 to 9, 0 when none
    std::string_view code;   // without the argument number
    char type = '\0';
    int size = 0;
    std::string_view format;
};

Placeholder parse_placeholder(std::string_view body) {
    Placeholder p;
    if (!body.empty() && body[0] >= '1' && body[0] <= '9') {
        p.argno = body[0] - '0';
        body.remove_prefix(1);
    }
    p.code = body;
    if (body.empty()) return p;
    p.type = body[0];
    size_t k = 1;
    while (k < body.size() && body[k] >= '0' && body[k] <= '9') {
        if (p.size < 100000) p.size = p.size * 10 + (body[k] - '0');
        ++k;
    }
    p.format = body.substr(k);
    return p;
}

// Whether the format holds exactly one conversion, and one that suits the
// type letter; anything else would make printf read the wrong type.
bool format_suits(std::string_view f, char type) {
    std::string_view allowed;
    switch (type) {
    case 'I': allowed = "diuoxX"; break;
    case 'R': allowed = "fFeEgGaA"; break;
    case 'S': allowed = "s"; break;
    default: return false;
    }
    int conversions = 0;
    for (size_t k = 0; k < f.size(); ++k) {
        if (f[k] != '%') continue;
        ++k;
        if (k < f.size() && f[k] == '%') continue;
        while (k < f.size() && std::string_view("-+ #0").find(f[k]) != std::string_view::npos) ++k;
        for (int pass = 0; pass < 2; ++pass) {
            if (pass == 1) {
                if (k >= f.size() || f[k] != '.') break;
                ++k;
            }
            int n = 0;
            while (k < f.size() && f[k] >= '0' && f[k] <= '9') {
                n = n * 10 + (f[k] - '0');
                if (n > MAX_FIELD) return false;
                ++k;
            }
        }
        if (k >= f.size() || allowed.find(f[k]) == std::string_view::npos) return false;
        ++conversions;
    }
    return conversions == 1;
}

// The text an S placeholder shows: with a size, that many characters (up
// to a NUL) without their trailing blanks; without one, up to a NUL.
std::string text_value(std::string_view text, int size) {
    const size_t nul = text.find('\0');
    if (nul != std::string_view::npos) text = text.substr(0, nul);
    if (size >= 1) {
        const bool all_taken = text.size() >= static_cast<size_t>(size);
        text = text.substr(0, static_cast<size_t>(size));
        if (all_taken) text = trim_right(text);
    }
    return std::string(text.substr(0, MAX_TEXT_ARG));
}

bool is_int(const MsgArg& a) { return a.kind == MsgArg::Kind::Int32 || a.kind == MsgArg::Kind::Int16; }
bool is_real(const MsgArg& a) { return a.kind == MsgArg::Kind::Real64 || a.kind == MsgArg::Kind::Real32; }

int32_t int_value(const MsgArg& a, int size) { return size == 2 ? static_cast<int16_t>(a.i) : a.i; }
double real_value(const MsgArg& a, int size) { return size == 4 ? static_cast<double>(static_cast<float>(a.r)) : a.r; }

std::string quoted(const char* frame, std::string_view code) {
    const std::string s(code.substr(0, MAX_CODE));
    return format_c_value(frame, s.c_str());
}

// Placeholders that take an argument: every "[" not doubled.
size_t msg_collect_args(std::string_view t) {
    size_t n = 0;
    for (size_t k = 0; k < t.size(); ++k) {
        if (t[k] != '[') continue;
        if (k + 1 < t.size() && t[k + 1] == '[')
            ++k;
        else
            ++n;
    }
    return n;
}

std::string msg_format_arg(const Placeholder& p, const MsgArg& a) {
    if (p.code.size() > MAX_CODE) return quoted("<Format code not support '%s'>", p.code);
    std::string fmt(p.format);
    switch (p.type) {
    case 'I':
        if (fmt.empty()) fmt = "%d";
        break;
    case 'R':
        if (fmt.empty()) fmt = "%g";
        break;
    case 'S':
        if (fmt.empty()) fmt = "%s";
        break;
    default:
        return quoted("<Format code not support '%s'>", p.code);
    }
    if (!format_suits(fmt, p.type)) return quoted("<Format code not support '%s'>", p.code);
    if (p.type == 'I') {
        if (!is_int(a)) return quoted("<Invalid arg for '%s'>", p.code);
        return format_c_value(fmt.c_str(), int_value(a, p.size));
    }
    if (p.type == 'R') {
        if (!is_real(a)) return quoted("<Invalid arg for '%s'>", p.code);
        return format_c_value(fmt.c_str(), real_value(a, p.size));
    }
    if (a.kind != MsgArg::Kind::Text) return quoted("<Invalid arg for '%s'>", p.code);
    const std::string text = text_value(a.text, p.size);
    return fmt == "%s" ? text : format_c_value(fmt.c_str(), text.c_str());
}

std::string msg_expand(std::string_view t, const MsgArg* args, size_t collected) {
    std::string out;
    size_t index = 0;
    for (size_t k = 0; k < t.size(); ++k) {
        if (t[k] != '[') {
            out += t[k];
            continue;
        }
        if (k + 1 < t.size() && t[k + 1] == '[') {
            out += '[';
            ++k;
            continue;
        }
        const size_t close = t.find(']', k + 1);
        if (close == std::string_view::npos) break;
        const Placeholder p = parse_placeholder(t.substr(k + 1, close - k - 1));
        k = close;
        if (p.argno > 0) index = static_cast<size_t>(p.argno - 1);
        if (index >= collected) {
            out += quoted("<Invalid arg for '%s'>", p.code);
            continue;
        }
        out += msg_format_arg(p, args[index]);
        ++index;
    }
    return out;
}

void msg_print(std::string_view t, const MsgArg* args, size_t collected) {
    const std::string text = msg_expand(t, args, collected);
    std::fwrite(text.data(), 1, text.size(), stdout);
}

bool forwarded(int64_t key) {
    return key == 1002 || (key >= 5040 && key <= 5043) || key == 5070 || (key >= 5080 && key <= 5086);
}

// Record 5: group, number, then each placeholder's value in template
// order under its own type letter.
void msg_send(Exchange& link, int32_t group, int32_t number, std::string_view t, const MsgArg* args,
                 size_t collected) {
    link.PutInt(FE_MSG_CATALOG);
    link.PutInt(group);
    link.PutInt(number);
    size_t n = 0;
    for (size_t k = 0; k < t.size() && n < collected; ++k) {
        if (t[k] != '[') continue;
        if (k + 1 < t.size() && t[k + 1] == '[') {
            ++k;
            continue;
        }
        const size_t close = t.find(']', k + 1);
        if (close == std::string_view::npos) break;
        const Placeholder p = parse_placeholder(t.substr(k + 1, close - k - 1));
        k = close;
        const MsgArg& a = args[n++];
        switch (p.type) {
        case 'I': link.PutInt(is_int(a) ? int_value(a, p.size) : 0); break;
        case 'R': link.PutDouble(is_real(a) ? real_value(a, p.size) : 0.0); break;
        case 'S': link.PutString(a.kind == MsgArg::Kind::Text ? text_value(a.text, p.size) : std::string()); break;
        default: break;
        }
    }
    link.Send();
}

void msg_output(int32_t group, int32_t number, const char* templ, MsgArgs args) {
    if (templ == nullptr) return;
    const std::string_view t(templ);
    const size_t collected = std::min({msg_collect_args(t), args.size(), MAX_ARGS});
    if (Exchange* link = front_end()) {
        if (forwarded(int64_t{group} * 1000 + number)) msg_send(*link, group, number, t, args.begin(), collected);
        return;
    }
    msg_print(t, args.begin(), collected);
}

void msg_dispatch(int32_t group, int32_t number, const char* templ, MsgArgs args) {
    const bool fatal = group == MSG_DATA_ERRS && (number == 0 || number >= 10);
    if (!fatal) {
        msg_output(group, number, templ, args);
        return;
    }
    const MSG_CATALOG& cat = message_catalog();
    const bool data_line = number >= 30 && number <= 39;
    msg_output(MSG_DATA_ERRS, 1, cat.Get(MSG_DATA_ERRS, 1), {});
    if (data_line) msg_output(MSG_DATA_ERRS, 2, cat.Get(MSG_DATA_ERRS, 2), {});
    msg_output(group, number, templ, args);
    if (data_line) msg_output(MSG_DATA_ERRS, 3, cat.Get(MSG_DATA_ERRS, 3), {});
    std::fflush(stdout);
    throw FatalCatalogMessage(number);
}

}  // namespace

MSG_CATALOG::MSG_CATALOG(MsgTable table) : table_(table) {
    if (table_ == nullptr) return;
    while (table_[groups_ + 1] != nullptr) ++groups_;
    counts_.assign(static_cast<size_t>(groups_) + 1, 0);
    for (int32_t g = 1; g <= groups_; ++g) {
        int32_t n = 0;
        while (table_[g][n + 1] != nullptr) ++n;
        counts_[static_cast<size_t>(g)] = n;
    }
}

int32_t MSG_CATALOG::Count(int32_t group) const {
    return group >= 1 && group <= groups_ ? counts_[static_cast<size_t>(group)] : 0;
}

const char* MSG_CATALOG::Get(int32_t group, int32_t number) const {
    if (group < 1 || group > groups_ || number < 1 || number > counts_[static_cast<size_t>(group)]) return nullptr;
    return table_[group][number];
}

const MSG_CATALOG& message_catalog() {
    static const MSG_CATALOG catalog(catalog_table);
    return catalog;
}

void emit_message(int32_t group, int32_t number, MsgArgs args) {
    msg_dispatch(group, number, number == 0 ? nullptr : message_catalog().Get(group, number), args);
}

void emit_message_text(int32_t group, std::string_view text, MsgArgs args) {
    const std::string templ(text.substr(0, text.find('\0')));
    msg_dispatch(group, 0, templ.c_str(), args);
}

std::string expand_message(std::string_view templ, MsgArgs args) {
    const size_t collected = std::min({msg_collect_args(templ), args.size(), MAX_ARGS});
    return msg_expand(templ, args.begin(), collected);
}
