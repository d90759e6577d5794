// The dimensioning pass over the line sections: counts lines, modes,
// buffers and poles of every entry before storage is allocated, and the
// travel times shorter than a step.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <type_traits>
#include <vector>

#include "engine/abort.h"
#include "engine/messages.h"
#include "engine/run_state.h"
#include "lines/line_section.h"
#include "lines/lines.h"
#include "network/dimensions.h"
#include "network/line_reader.h"
#include "platform/list_read.h"
#include "platform/logical.h"

namespace {

const char* const kName = "RDTLINES";

// The pass's running totals: kept between calls so that sections add up.
struct PassTotals {
    int64_t maxmodes = 0, maxpoles = 0, travwaves = 0, transforms = 0, transpoles = 0, attpoles = 0,
            surgepoles = 0, nummodes = 0;
    int64_t ph_maxmodes = 0, ph_travwaves = 0, ph_prop = 0, ph_hserc = 0, ph_ycserc = 0, ph_xhk = 0,
            ph_maxpoles = 0;
    int64_t mfd_maxmodes = 0;
};
PassTotals T;

struct Entry {
    bool header = false, file_open = false, noint = false, inflength = false;
    int64_t n = 0;
    int32_t role = 0;
    Text200 record, file_name;
    Text72 count_line;  // the integer record, shown when its count is refused
};

// Whether a data line of the section waits: a key line just read (even the
// other line section's) ends it.
bool in_line_section() {
    const bool key = INPUT.SECTION_KEY == "TLINES:" || INPUT.SECTION_KEY == "GLOBAL_TLINES:";
    return key && !(FIRST_TOKEN(INPUT.DATA_LINE) == INPUT.SECTION_KEY);
}

void show_name(const Entry& e) {
    if (e.header) write_list(UNIT_CONSOLE_OUT, {"TLine Name:", e.file_name});
}

[[noreturn]] void read_error(const Entry& e) {
    INPUT.DATA_LINE = CURLINE();
    show_name(e);
    OUTMSG(37, 0, 0, 0, 0.0, 0.0, CURLINE());
    ABORT_RUN(kName, 1);
}

[[noreturn]] void end_of_file(const Entry& e) {
    show_name(e);
    OUTMSG(4, 0, 0, 0, 0.0, 0.0, CURLINE());
    ABORT_RUN(kName, 1);
}

[[noreturn]] void data_error(const Entry& e, const std::string& what) {
    show_name(e);
    write_list(UNIT_CONSOLE_OUT, {"ERROR: RDTLINES: " + what});
    ABORT_RUN(kName, 1);
}

void check(const Entry& e, const ListRead& in) {
    if (in.status() == ReadStatus::End) end_of_file(e);
    if (in.status() == ReadStatus::Error) read_error(e);
}

// The next record whole; with skip, after the comment lines.
void text(Entry& e, bool skip = true) {
    if (skip) RDCMNT();
    std::string rec;
    const ReadStatus st = unit_read_line(INPUT.INPUT_UNIT, rec);
    if (st == ReadStatus::End) end_of_file(e);
    if (st == ReadStatus::Error) read_error(e);
    e.record.assign(rec);
    INPUT.DATA_LINE.assign(rec);
}

// One number from the next record, no comment skipping.
template <class T>
T number(Entry& e) {
    T v{};
    ListRead in(INPUT.INPUT_UNIT, Reals::Finite);
    if constexpr (std::is_same_v<T, double>)
        in.real(v);
    else
        in.integer(v);
    check(e, in);
    return v;
}
int64_t integer(Entry& e) { return number<int32_t>(e); }
double real(Entry& e) { return number<double>(e); }

std::string name_of(const Entry&) { return std::string(INPUT.DATA_FILE_NAME.trimmed()); }

void options(Entry& e) {
    for (;;) {
        text(e);
        const LineOption o = TL_OPTION_WORD(e.record.view());
        if (o == LineOption::None) break;
        (o == LineOption::NoInt ? e.noint : e.inflength) = true;
    }
    unit_backspace(INPUT.INPUT_UNIT);
}

void large_buffer_warning(const Entry& e) {
    USERWARN(0, 0, 3, "Very large travelling wave buffer requested by " + name_of(e));
    USERWARN(0, 0, 0, ". This can lead to memory allocation problems and can be ");
    USERWARN(0, 0, -1, "mitigated by increasing the time step");
}

void count_short(double r) {
    if (!(r < 1.0)) return;
    LINE_COUNTS.NTLSHORT += 1;
    if (r < 0.8) LINE_COUNTS.TLSHORTSTOP = LTRUE;
}

// The buffer length of one travel time as r steps; modal lines and delay
// groups differ in the order of the checks and in how short times are raised.
int64_t buffer_length(Entry& e, double r, bool modal) {
    if (!std::isfinite(r) || std::fabs(r) > 2147483647.0)
        data_error(e, "Travel time is not finite or too long in " + name_of(e));
    if (modal) {
        if (r > 1.0e6) large_buffer_warning(e);
        count_short(r);
        if (r < 1.0 || e.inflength) r = 1.0;
        return e.noint ? nint(r) : int_trunc(r);
    }
    count_short(r);
    if (r > 1.0e6) large_buffer_warning(e);
    int64_t n = e.noint ? nint(r) : int_trunc(r);
    if (n < 1) n = 1;
    if (e.inflength) n = 1;
    return n;
}

int64_t modal_buffer(Entry& e, double tau) {
    if (tau >= 1000.0) USERWARN(0, 0, 1, "Very large travel time observed in " + name_of(e));
    return buffer_length(e, tau * 0.001 / RUN_CLOCK.DELT, true);
}

void bergeron(Entry& e) {
    LINE_COUNTS.NTLMODAL += 1;
    unit_backspace(INPUT.INPUT_UNIT);
    {
        int32_t n = 0, k = 0;
        double x = 0.0;
        ListRead in(INPUT.INPUT_UNIT, Reals::Finite);
        in.integer(n).integer(k).integer(k).integer(k);
        for (int i = 0; i < 5; ++i) in.real(x);
        check(e, in);
        if (!e.header) e.n = n;
    }
    options(e);
    for (int64_t k = 1; k <= e.n; ++k) {
        RDCMNT();
        int32_t a = 0, b = 0;
        double tau = 0.0;
        ListRead in(INPUT.INPUT_UNIT, Reals::Finite);
        in.integer(a).integer(b).real(tau);
        check(e, in);
        T.nummodes += 1;
        T.travwaves += modal_buffer(e, tau);
        T.transforms += e.n;
    }
}

// One fitted function of a "FRE-DEP" mode: its count record, then its
// coefficient records skipped. Returns its pole count.
int64_t fitted_function(Entry& e) {
    RDCMNT();
    int32_t first = 0, second = 0;
    int64_t zeros = 0, poles = 0;
    double x = 0.0;
    {
        ListRead in(INPUT.INPUT_UNIT, Reals::Finite);
        if (e.header) {
            in.integer(first).real(x).real(x);
            poles = first;
        } else {
            in.integer(first).integer(second).real(x);
            zeros = first;
            poles = second;
        }
        check(e, in);
    }
    zeros = std::max<int64_t>(zeros, 0);
    poles = std::max<int64_t>(poles, 0);
    T.maxpoles = std::max(T.maxpoles, poles);
    const int64_t records = e.header ? 4 * ((poles + 5) / 6) : (zeros + 5) / 6 + (poles + 5) / 6;
    std::string skip;
    for (int64_t r = 0; r < records; ++r) {
        RDCMNT();
        const ReadStatus st = unit_read_line(INPUT.INPUT_UNIT, skip);
        if (st == ReadStatus::End) end_of_file(e);
        if (st == ReadStatus::Error) read_error(e);
    }
    return poles;
}

void fredep(Entry& e) {
    LINE_COUNTS.NTLMODAL += 1;
    unit_backspace(INPUT.INPUT_UNIT);
    {
        std::string word;
        int32_t n = 0, k = 0, s1 = 0, s2 = 0;
        ListRead in(INPUT.INPUT_UNIT);
        in.text(word).integer(n).integer(k).integer(s1).integer(s2);
        check(e, in);
        if (!e.header) {
            e.n = n;
            if (s1 < 0 || s2 < 0) OUTMSG(s1 < 0 ? 32 : 33, LINE_COUNTS.NTLMODAL, 0, 0, 0.0, 0.0, CURLINE());
            if (s1 < 0 || s2 < 0) ABORT_RUN(kName, 1);
        }
    }
    options(e);
    for (int64_t k = 1; k <= e.n; ++k) {
        T.nummodes += 1;
        RDCMNT();
        {
            int32_t a = 0, b = 0;
            double tau = 0.0;
            ListRead in(INPUT.INPUT_UNIT, Reals::Finite);
            in.integer(a).integer(b).real(tau);
            check(e, in);
            T.travwaves += modal_buffer(e, tau);
        }
        T.surgepoles += fitted_function(e);
        T.attpoles += fitted_function(e);
        for (int64_t j = 1; j <= e.n; ++j) fitted_function(e);
        T.transforms += e.n;
    }
}

void skip_texts(Entry& e, int64_t count) {
    for (int64_t i = 0; i < count; ++i) text(e, false);
}

// A count that sizes tables; bounded so that the products of counts stay exact.
int64_t count_of(Entry& e, int64_t v) {
    if (v < 0 || v > 1000000) data_error(e, "Count out of range in " + name_of(e));
    return v;
}

void frephase(Entry& e) {
    LINE_COUNTS.NTLPHASE += 1;
    options(e);
    skip_texts(e, 2);
    const int64_t c = count_of(e, integer(e));
    DIMBLOCK.REQ[ND_NUMMODES_PH] = static_cast<int32_t>(
        std::min<int64_t>(int64_t{DIMBLOCK.REQ[ND_NUMMODES_PH]} + c, INT32_MAX));
    T.ph_maxmodes = std::max(T.ph_maxmodes, c);
    skip_texts(e, 1);
    for (int64_t i = 1; i <= c; ++i) {
        const int64_t m = count_of(e, integer(e));
        T.ph_maxpoles = std::max(T.ph_maxpoles, m);
        T.ph_ycserc += m * c;
        skip_texts(e, m * (2 + 2 * c));
    }
    skip_texts(e, c * c);
    skip_texts(e, 2);
    const int64_t nd = count_of(e, integer(e));
    skip_texts(e, 1);
    std::vector<double> delay(static_cast<size_t>(std::min<int64_t>(nd, 1 << 20)));
    if (int64_t(delay.size()) != nd) data_error(e, "Too many delay groups in " + name_of(e));
    for (double& d : delay) {
        d = real(e);
        if (d >= 1.0) USERWARN(0, 0, 1, "Very large travel time observed in " + name_of(e));
    }
    skip_texts(e, 1);
    std::vector<int64_t> p(delay.size());
    for (int64_t& pk : p) {
        pk = count_of(e, integer(e));
        T.ph_maxpoles = std::max(T.ph_maxpoles, pk);
        skip_texts(e, 2 * pk);
        T.ph_xhk += c * pk;
    }
    skip_texts(e, 1);
    for (int64_t pk : p) {
        skip_texts(e, c * c * pk * 2);
        T.ph_hserc += c * c * pk;
    }
    int64_t longest = 0;
    for (double d : delay) {
        longest = std::max(longest, buffer_length(e, d / RUN_CLOCK.DELT, false));
        T.ph_prop += c * c;
    }
    T.ph_travwaves += c * longest + c;
}

void raise_word(int k, int64_t v) {
    DIMBLOCK.REQ[k] = static_cast<int32_t>(std::max<int64_t>(DIMBLOCK.REQ[k], std::min<int64_t>(v, INT32_MAX)));
}

void mfdtd(Entry& e) {
    LINE_COUNTS.NTLMFDTD += 1;
    int32_t c = 0, np = 0;
    {
        ListRead in(e.record.sub(7, 8));
        in.integer(c);
        ListRead in2(e.record.sub(10, 11));
        in2.integer(np);
        if (!in.ok() || !in2.ok()) read_error(e);
    }
    raise_word(ND_MAXPOLES_MFDTD, np);
    DIMBLOCK.REQ[ND_NUMMODES_MFDTD] = static_cast<int32_t>(
        std::min<int64_t>(int64_t{DIMBLOCK.REQ[ND_NUMMODES_MFDTD]} + std::max(c, 0), INT32_MAX));
    T.mfd_maxmodes = std::max<int64_t>(T.mfd_maxmodes, c);
    options(e);
    text(e);
    double v = 0.0, length = 0.0;
    {
        ListRead in(e.record.view(), Reals::Finite);
        in.real(v);
        if (!in.ok()) read_error(e);
    }
    length = real(e);
    const double x = length / (RUN_CLOCK.DELT * v);
    int64_t segments = 1;
    if (RUN_CLOCK.DELT * v > 0.0 && std::isfinite(RUN_CLOCK.DELT * v) && std::isfinite(x) && x >= 0.0 &&
        x < 2147483646.0)
        segments = static_cast<int64_t>(x) + 1;
    raise_word(ND_MAXINC_MFDTD, segments);
}

// Copies the totals into the dimension block; a word past 32 bits stops the run.
void write_totals() {
    const LineCounts& C = LINE_COUNTS;
    const std::pair<int, int64_t> words[] = {
        {ND_MAXMODES, T.maxmodes},        {ND_TLINES, C.NTLMODAL},          {ND_MAXPOLES, T.maxpoles},
        {ND_TRAVWAVES, T.travwaves},      {ND_TRANSFORMS, T.transforms},    {ND_TRANSPOLES, T.transpoles},
        {ND_ATTPOLES, T.attpoles},        {ND_SURGEPOLES, T.surgepoles},    {ND_NUMMODES, T.nummodes},
        {ND_TLINES_PH, C.NTLPHASE},       {ND_MAXMODES_PH, T.ph_maxmodes},  {ND_TRAVWAVES_PH, T.ph_travwaves},
        {ND_PROP_PH, T.ph_prop},          {ND_HSERC_PH, T.ph_hserc},        {ND_YCSERC_PH, T.ph_ycserc},
        {ND_XHK_PH, T.ph_xhk},            {ND_MAXPOLES_PH, T.ph_maxpoles},  {ND_TLINES_MFDTD, C.NTLMFDTD},
        {ND_MAXMODES_MFDTD, T.mfd_maxmodes},
        {ND_TLINES_TOTAL, int64_t{C.NTLMODAL} + C.NTLPHASE + C.NTLMFDTD + C.NENICLI},
        {ND_ENI_SERVERS, C.NENISRV},      {ND_ENI_CLIENTS, C.NENICLI}};
    for (const auto& [k, v] : words) {
        if (v > INT32_MAX) {
            write_list(UNIT_CONSOLE_OUT, {"ERROR: RDTLINES: Line dimension", k, "needs more than 2147483647"});
            ABORT_RUN(kName, 1);
        }
        DIMBLOCK.REQ[k] = static_cast<int32_t>(v);
    }
}

void read_header(Entry& e) {
    RDCMNT();
    e.count_line = INPUT.DATA_LINE;
    {
        int32_t n = 0;
        ListRead in(INPUT.INPUT_UNIT);
        in.integer(n).integer(e.role);
        check(e, in);
        e.n = n;
    }
    text(e);  // end 1
    if (e.role == 0) text(e);
    if (e.role == 1) LINE_COUNTS.NENISRV += 1;
    if (e.role == 2) LINE_COUNTS.NENICLI += 1;
    text(e);  // input data
    text(e);
    if (!(e.record.sub(1, 17) == "TLINE-OUTPUT-DATA")) read_error(e);
    e.file_name.assign(e.record.sub(19, 200));
    if (e.role == 0 || e.role == 1) {
        INPUT.DATA_FILE_NAME.assign(e.file_name.sub(1, 72));
        OPENFILE1(1);
        e.file_open = true;
        text(e);
    }
    if (e.n < 0) {
        INPUT.DATA_LINE = e.count_line;
        write_list(UNIT_CONSOLE_OUT, {"Line Name:", e.file_name});
        OUTMSG(31, DIMBLOCK.REQ[ND_MAXMODES], LINE_COUNTS.NTLMODAL, 0, 0.0, 0.0, CURLINE());
        ABORT_RUN(kName, 1);
    }
}

void read_entry() {
    Entry e;
    text(e);
    if (e.record.sub(1, 20) == "HOLVA Line Constants") {
        e.header = true;
        read_header(e);
    }
    if (e.role != 2) {
        switch (TL_MODEL_KIND(e.record.view())) {
            case 1: fredep(e); break;
            case 2: frephase(e); break;
            case 3: mfdtd(e); break;
            default: bergeron(e); break;
        }
    }
    if (e.file_open) CLOSEFILE();
    T.maxmodes = std::max(T.maxmodes, e.n);
}

}  // namespace

void RDTLINES() {
    LineCounts& C = LINE_COUNTS;
    if (C.NTLMODAL + C.NTLPHASE == 0) {
        C.NTLSHORT = 0;
        C.TLSHORTSTOP = LFALSE;
    }
    if (C.NTLMODAL + C.NTLPHASE + C.NTLMFDTD + C.NENISRV + C.NENICLI == 0) T = {};
    RDCMNT();
    if (!in_line_section()) return;
    for (;;) {
        read_entry();
        RDCMNT();
        if (!in_line_section()) break;
    }
    write_totals();
}
