// Set-up of the modal lines (constant-parameter and "FRE-DEP"): their
// numeric blocks turned into the modal tables, the travel-time checks,
// and the conductance every kind adds to the network.
#include "lines/modal_setup.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <string>
#include <vector>

#include "engine/abort.h"
#include "engine/messages.h"
#include "engine/run_state.h"
#include "lines/line_conductance.h"
#include "lines/line_record.h"
#include "lines/line_tables.h"
#include "lines/lines.h"
#include "network/dimensions.h"
#include "network/line_reader.h"
#include "network/network_tables.h"
#include "network/node_numbering.h"
#include "platform/fortran_format.h"
#include "platform/list_read.h"

namespace {

using cplx = std::complex<double>;
const char* const kDslint = "DSLINT";
constexpr double kFoldLimit = 1.0e15;  // poles this fast are constants

[[noreturn]] void stop(const LineEntry& e, const std::string& text) { DSLINT_DATA_ERROR(e, text); }

void check(const LineEntry& e, const ListRead& in) {
    if (in.status() == ReadStatus::End) DSLINT_END_OF_FILE(e);
    if (in.status() == ReadStatus::Error) DSLINT_READ_ERROR(e);
}

// A value in a 23-character real field, left-adjusted and trimmed.
std::string micro(double t) {
    const std::string f = edit("G23.15", t);
    const size_t first = f.find_first_not_of(' ');
    return first == std::string::npos ? "" : std::string(trim_right(f.substr(first)));
}

// Message n about the line record: the line's name first for a header entry.
[[noreturn]] void record_message(const LineEntry& e, int32_t n, int32_t k1, int32_t k2 = 0) {
    if (e.header)
        write_list(UNIT_CONSOLE_OUT, {"Line Name: ", e.display_name.sub(1, static_cast<size_t>(e.display_length))});
    OUTMSG(n, k1, k2, 0, 0.0, 0.0, CURLINE());
    ABORT_RUN(kDslint, 1);
}

// The offset of the next mode, and the line number, as registered.
struct Registered {
    int32_t m = 0, row = 0, o = 0, t0 = 0;
};

Registered register_modal(LineEntry& e) {
    LineTables& L = LINE_TABLES;
    LineRunCounters& c = L.counters;
    Registered r;
    r.m = LINE_COUNTS.NTLMODAL + 1;
    if (r.m > DIMBLOCK.AVAIL[ND_TLINES] || r.m > L.TLM_NCOND.size()) {
        OUTMSG(30, DIMBLOCK.AVAIL[ND_TLINES], 0, 0, 0.0, 0.0, CURLINE());
        ABORT_RUN(kDslint, 1);
    }
    LINE_COUNTS.NTLMODAL = r.m;
    r.row = DSLINT_NEW_ROW(e);
    r.o = c.TL_MODEOFS;
    r.t0 = c.TL_TRANSOFS;
    L.TLM_KIND(r.m) = e.kind;
    L.TLM_INFLENGTH(r.m) = LFALSE;
    L.TLM_INPUT_NAME(r.m) = e.input_name;
    L.TLM_FILTER(r.m) = 1.0;
    // Only the constant-parameter line record sets these, and the step reads
    // no element its line did not set.
    L.TLM_LOSSF(1, r.m) = L.TLM_LOSSF(2, r.m) = 0.0;
    return r;
}

// The line's tables for n conductors: registration data that needs n.
void place_line(LineEntry& e, const Registered& r) {
    LineTables& L = LINE_TABLES;
    const int64_t n = e.n;
    if (int64_t{r.o} + n > L.TLM_DELAY.size() || int64_t{r.t0} + n * n > L.TI.size())
        stop(e, "More modes than the dimensions NUMMODES and TRANSFORMS allow");
    if (n > L.TLGMAT.extent(1) || n > L.TLCUR.extent(1)) stop(e, "More conductors than the line tables hold");
    L.TLM_SS1(r.m) = e.s1;
    L.TLM_SS2(r.m) = e.s2;
    L.TLM_NCOND(r.m) = e.n;
    L.TLINE_REC(r.row, tlrec::FAMILY) = r.m;
    L.TLINE_REC(r.row, tlrec::OFFSET) = r.o;
    L.TLINE_REC(r.row, tlrec::NCOND) = e.n;
    if (e.header)
        for (int32_t k = 1; k <= e.n; ++k) {
            L.TLM_NODE1(r.o + k) = e.node1[static_cast<size_t>(k - 1)];
            L.TLM_NODE2(r.o + k) = e.node2[static_cast<size_t>(k - 1)];
        }
}

// A legacy line record: N, the end subsystems, and their checks.
void legacy_line(LineEntry& e, int32_t n, int32_t s1, int32_t s2) {
    e.n = n;
    if (n < 0 || n > DIMBLOCK.AVAIL[ND_MAXMODES]) record_message(e, 31, DIMBLOCK.AVAIL[ND_MAXMODES], LINE_COUNTS.NTLMODAL);
    DSLINTSSN(e.subsys_offset, s1, s2);
    if (s1 < 1 || s1 > DIMBLOCK.NSUBSYS) record_message(e, 32, LINE_COUNTS.NTLMODAL);
    if (s2 < 1 || s2 > DIMBLOCK.NSUBSYS) record_message(e, 33, LINE_COUNTS.NTLMODAL);
    e.s1 = s1;
    e.s2 = s2;
    e.node1.assign(static_cast<size_t>(n), 0);
    e.node2.assign(static_cast<size_t>(n), 0);
}

// A legacy mode record's node pair, made network nodes.
void legacy_nodes(LineEntry& e, int32_t i, int32_t a, int32_t b) {
    const int32_t ss[2] = {e.s1, e.s2};
    int32_t g[2] = {0, 0};
    const int32_t in[2] = {a, b};
    for (int end = 0; end < 2; ++end) {
        ZARIK_NODE(e.node_offset, in[end], g[end]);
        const int32_t count = NET.NBUSES.in_range(ss[end]) ? NET.NBUSES(ss[end]) : 0;
        if (g[end] > count) {
            OUTMSG(38, g[end], ss[end], count, 0.0, 0.0, CURLINE());
            ABORT_RUN(kDslint, 1);
        }
    }
    if (g[0] <= 0 || g[1] <= 0) {
        for (const char* s : {"DSLINT: ERROR!", "Invalid Node Numbers at terminations of a", "Transmission Line or Cable!",
                              "If you want a line or cable connection to", "be grounded, use a small resistance (do",
                              "not connect a line/cable directly", "to ground)!"})
            write_list(UNIT_CONSOLE_OUT, {s});
        OUTMSG(39, LINE_COUNTS.NTLMODAL, 0, 0, 0.0, 0.0, CURLINE());
        ABORT_RUN(kDslint, 1);
    }
    LINE_TABLES.TLM_NODE1(i) = g[0];
    LINE_TABLES.TLM_NODE2(i) = g[1];
}

// The travel time tau (ms) of mode i: delay, fraction, buffer slots.
void travel_time(LineEntry& e, const Registered& r, int32_t i, double tau, bool interpolate) {
    LineTables& L = LINE_TABLES;
    LineRunCounters& c = L.counters;
    double x = tau * 0.001 / RUN_CLOCK.DELT;
    if (!std::isfinite(x) || std::fabs(x) > 2147483646.0) stop(e, "Travel time not finite or too long: " + micro(tau));
    if (x < 1.0) {
        TL_SHORT_TRAVEL(e, x);
        x = 1.0;
    }
    if (is_true(L.TLM_INFLENGTH(r.m))) x = 1.0;
    if (interpolate) {
        L.TLM_DELAY(i) = int_trunc(x);
        L.TLM_FRAC(i) = x - L.TLM_DELAY(i);
    } else {
        L.TLM_DELAY(i) = nint(x);
        L.TLM_FRAC(i) = 0.0;
    }
    const int64_t total = int64_t{c.TL_BUFTOTAL} + L.TLM_DELAY(i);
    if (total > DIMBLOCK.AVAIL[ND_TRAVWAVES] || total > L.TLM_BUFW1.size()) {
        if (e.header) DSLINT_SHOW_NAME(e);
        OUTMSG(36, static_cast<int32_t>(std::min<int64_t>(total, INT32_MAX)), r.m, DIMBLOCK.AVAIL[ND_TRAVWAVES], 0.0,
               0.0, CURLINE());
        ABORT_RUN(kDslint, 1);
    }
    for (int64_t s = c.TL_BUFTOTAL + 1; s <= total; ++s)
        L.TLM_BUFW1(s) = L.TLM_BUFW2(s) = L.TLM_BUFE1(s) = L.TLM_BUFE2(s) = 0.0;
    c.TL_BUFTOTAL = static_cast<int32_t>(total);
    L.TLM_IH1(i) = L.TLM_IH2(i) = L.TLM_S1(i) = L.TLM_S2(i) = L.TLM_V1(i) = L.TLM_V2(i) = 0.0;
    L.TLM_BUFPOS(i) = 1;
    L.TLM_PROPK(i) = 0.0;
    L.TLM_NPPROP(i) = L.TLM_NPSURGE(i) = 0;
    L.TLM_HCOEF(i, 1) = L.TLM_HCOEF(i, 2) = L.TLM_KCOEF(i, 1) = L.TLM_KCOEF(i, 2) = 0.0;
}

// The mode's N transformation values, group i; whether they are all but zero.
bool no_transformation(const Registered& r, int32_t k, int32_t n) {
    double sum = 0.0;
    for (int32_t j = 1; j <= n; ++j) sum += std::fabs(LINE_TABLES.TI(r.t0 + (k - 1) * n + j));
    return sum < 1.0e-6;
}

void default_transformation(const Registered& r, int32_t n) {
    FArray1<double>& ti = LINE_TABLES.TI;
    const auto at = [&](int32_t k, int32_t j) -> double& { return ti(r.t0 + (k - 1) * n + j); };
    for (int32_t k = 1; k <= n; ++k) {
        at(k, 1) = 1.0;
        for (int32_t j = 2; j <= n; ++j) at(k, j) = j <= k ? -1.0 / (n - j + 1) : (j == k + 1 ? 1.0 : 0.0);
    }
    for (int32_t j = 1; j <= n; ++j) {
        double s = 0.0;
        for (int32_t k = 1; k <= n; ++k) s += at(k, j) * at(k, j);
        const double root = std::sqrt(s);
        if (root > 1.0e-30)
            for (int32_t k = 1; k <= n; ++k) at(k, j) *= 1.0 / root;
    }
}

void smoothing(const Registered& r, double f1, double f2, double t1, double t2, int32_t n) {
    LineTables& L = LINE_TABLES;
    const double dt = RUN_CLOCK.DELT;
    if (f2 > f1) {
        const double f1p = f1 <= 0.0 ? 1.0 : f1;
        const double fm = std::pow(10.0, (std::log10(f1p) + std::log10(f2)) / 2.0);
        L.TLM_FILTER(r.m) = 1.0 - std::exp(-2.0 * M_PI * fm * dt);
    }
    L.TLM_LOSSF(1, r.m) = t1 > 1.0e-10 ? 1.0 - std::exp(-1000.0 * dt / t1) : 1.0 - std::exp(-1000.0 * dt);
    if (n > 1) L.TLM_LOSSF(2, r.m) = t2 > 1.0e-10 ? 1.0 - std::exp(-1000.0 * dt / t2) : 1.0;
}

void bergeron_block(LineEntry& e) {
    LineTables& L = LINE_TABLES;
    const Registered r = register_modal(e);
    unit_backspace(INPUT.INPUT_UNIT);
    int32_t n = 0, s1 = 0, s2 = 0, skip = 0;
    double f1 = 0.0, f2 = -1.0, length = 0.0, t1 = 0.0, t2 = 0.0;
    {
        ListRead in(INPUT.INPUT_UNIT, Reals::Finite);
        if (e.header)
            in.integer(n).integer(skip).integer(skip).integer(skip);
        else
            in.integer(n).integer(skip).integer(s1).integer(s2);
        in.real(f1).real(f2).real(length).real(t1).real(t2);
        check(e, in);
    }
    if (f2 < -0.5) DSLINT_READ_ERROR(e);
    if (e.header && n != e.n) DSLINT_CONDUCTOR_MISMATCH(e);
    if (!e.header) legacy_line(e, n, s1, s2);
    if (f2 < f1) record_message(e, 34, LINE_COUNTS.NTLMODAL);
    place_line(e, r);
    bool interpolate = true;
    DSLINT_OPTIONS(e, interpolate, L.TLM_INFLENGTH(r.m));
    smoothing(r, f1, f2, t1, t2, e.n);

    bool any_missing = false;
    for (int32_t k = 1; k <= e.n; ++k) {
        const int32_t i = r.o + k;
        const int32_t base = r.t0 + (k - 1) * e.n;
        for (int32_t j = 1; j <= e.n; ++j) L.TI(base + j) = 0.0;
        RDCMNT();
        int32_t a = 0, b = 0;
        double tau = 0.0, z = 0.0, rr = 0.0, gg = 0.0;
        {
            ListRead in(INPUT.INPUT_UNIT, Reals::Finite);
            in.integer(a).integer(b).real(tau).real(z).real(rr).real(gg);
            for (int32_t j = 1; j <= e.n; ++j) in.real(L.TI(base + j));
            check(e, in);
        }
        if (!e.header) legacy_nodes(e, i, a, b);
        const double zr = z + rr * length / 4.0, zg = z + gg * length / 4.0;
        if (!(z > 0.0) || !std::isfinite(z) || !(zr > 0.0) || !std::isfinite(zr) || !(zg != 0.0) ||
            !std::isfinite(zg))
            stop(e, "Surge impedance " + micro(z) + " of a mode is not above 0.0 with its losses");
        travel_time(e, r, i, tau, interpolate);
        L.TLM_YLOSS(i) = 1.0 / zr;
        const double h = (z - rr * length / 4.0) / zr, g = (z - gg * length / 4.0) / zg;
        L.TLM_HCOEF(i, 1) = (1.0 + h) / 2.0;
        L.TLM_HCOEF(i, 2) = (1.0 - h) / 2.0;
        L.TLM_KCOEF(i, 1) = (1.0 + g) / 2.0;
        L.TLM_KCOEF(i, 2) = (1.0 - g) / 2.0;
        if (no_transformation(r, k, e.n)) any_missing = true;
        for (int32_t j = 1; j <= e.n; ++j) L.TLM_NPTRANS(base + j) = 0;
    }
    if (any_missing) default_transformation(r, e.n);
    L.counters.TL_MODEOFS = r.o + e.n;
    L.counters.TL_TRANSOFS = r.t0 + e.n * e.n;
}

// One fitted function: residues and poles of its kept poles, its constant.
struct Fitted {
    std::vector<cplx> pole, residue;
    double constant = 0.0;
};

// Message 276: more poles than the dimension; the first ones are used.
void too_many_poles(const LineEntry& e) {
    if (e.header)
        write_list(UNIT_CONSOLE_OUT, {"Line/Cable Name :", e.display_name.sub(1, static_cast<size_t>(e.display_length))});
    OUTMSG(276, DIMBLOCK.AVAIL[ND_MAXPOLES], 0, 0, 0.0, 0.0, CURLINE());
}

// Reads one fitted function. Every record of it is read, so that the file
// stays in step when only the first MAXPOLES poles are kept.
Fitted read_fitted(LineEntry& e, bool first) {
    Fitted f;
    const int32_t limit = std::max(DIMBLOCK.AVAIL[ND_MAXPOLES], 0);
    RDCMNT();
    if (e.header) {
        int32_t np = 0;
        double x = 0.0;
        {
            ListRead in(INPUT.INPUT_UNIT, Reals::Finite);
            in.integer(np).real(f.constant).real(x);
            check(e, in);
        }
        np = std::max(np, 0);
        if (np > limit) too_many_poles(e);
        const int32_t used = std::min(np, limit);
        std::vector<cplx> p(static_cast<size_t>(used)), r(static_cast<size_t>(used));
        for (auto* v : {&p, &r})
            for (int64_t g = 0; g < np; g += 6) {
                const int64_t cnt = std::min<int64_t>(6, np - g);
                for (int part = 0; part < 2; ++part) {
                    RDCMNT();
                    ListRead in(INPUT.INPUT_UNIT, Reals::Finite);
                    for (int64_t q = 0; q < cnt; ++q) {
                        double val = 0.0;
                        in.real(val);
                        if (g + q >= used) continue;
                        cplx& c = (*v)[static_cast<size_t>(g + q)];
                        c = part == 0 ? cplx(val, c.imag()) : cplx(c.real(), val);
                    }
                    check(e, in);
                }
            }
        for (int32_t q = 0; q < used; ++q) {
            if (std::abs(p[static_cast<size_t>(q)]) >= kFoldLimit) {
                f.constant += (r[static_cast<size_t>(q)] / p[static_cast<size_t>(q)]).real();
                continue;
            }
            f.pole.push_back(p[static_cast<size_t>(q)]);
            f.residue.push_back(r[static_cast<size_t>(q)]);
        }
        return f;
    }
    int32_t nz = 0, np = 0;
    double gain = 0.0;
    {
        ListRead in(INPUT.INPUT_UNIT, Reals::Finite);
        in.integer(nz).integer(np).real(gain);
        check(e, in);
    }
    nz = std::max(nz, 0);
    np = std::max(np, 0);
    if (np > limit) too_many_poles(e);
    // No more zeros than poles outlive the cut, so the zeros past the
    // limit are read and dropped like the poles.
    std::vector<double> z, p;
    for (auto [v, count] : {std::pair{&z, nz}, std::pair{&p, np}}) {
        if (count == 0) continue;
        RDCMNT();
        ListRead in(INPUT.INPUT_UNIT, Reals::Finite);
        for (int32_t q = 0; q < count && in.ok(); ++q) {
            double x = 0.0;
            in.real(x);
            if (q < limit) v->push_back(x);
        }
        check(e, in);
    }
    f.pole.clear();
    PARTFRAC_CUT(z, p, first);
    std::vector<double> res(p.size());
    PARTFRAC(z, p, res, gain, f.constant, 1);
    for (size_t j = 0; j < p.size(); ++j) {
        f.pole.emplace_back(p[j], 0.0);
        f.residue.emplace_back(res[j], 0.0);
    }
    return f;
}

void pole_room(const LineEntry& e, int64_t used, int64_t size, const char* what) {
    if (used > size) stop(e, std::string("More poles than the dimension ") + what + " allows");
}

void fredep_block(LineEntry& e) {
    LineTables& L = LINE_TABLES;
    LineRunCounters& c = L.counters;
    const Registered r = register_modal(e);
    unit_backspace(INPUT.INPUT_UNIT);
    int32_t n = 0, s1 = 0, s2 = 0, skip = 0;
    {
        std::string word;
        ListRead in(INPUT.INPUT_UNIT);
        in.text(word).integer(n).integer(skip);
        if (e.header)
            in.integer(skip).integer(skip);
        else
            in.integer(s1).integer(s2);
        check(e, in);
    }
    if (e.header && n != e.n) DSLINT_CONDUCTOR_MISMATCH(e);
    if (!e.header) legacy_line(e, n, s1, s2);
    place_line(e, r);
    bool interpolate = true;
    DSLINT_OPTIONS(e, interpolate, L.TLM_INFLENGTH(r.m));
    const double dt = RUN_CLOCK.DELT;
    for (int32_t k = 1; k <= e.n; ++k) {
        const int32_t i = r.o + k;
        const int32_t base = r.t0 + (k - 1) * e.n;
        RDCMNT();
        int32_t a = 0, b = 0;
        double tau = 0.0;
        {
            ListRead in(INPUT.INPUT_UNIT, Reals::Finite);
            in.integer(a).integer(b).real(tau);
            check(e, in);
        }
        if (!e.header) legacy_nodes(e, i, a, b);
        travel_time(e, r, i, tau, interpolate);
        for (int32_t fn = 1; fn <= 2 + e.n; ++fn) {
            const Fitted f = read_fitted(e, fn == 1);
            const int32_t np = static_cast<int32_t>(f.pole.size());
            if (fn == 1) {
                if (!std::isfinite(f.constant))
                    stop(e, "The characteristic admittance of a mode has a constant term that is not a finite number");
                L.TLM_YLOSS(i) = f.constant;
                L.TLM_NPSURGE(i) = np;
                pole_room(e, int64_t{c.TL_YCPOLES} + np, L.TLM_YC_COEF.size(), "SURGEPOLES");
                for (int32_t q = 0; q < np; ++q) {
                    const cplx p = f.pole[static_cast<size_t>(q)], rr = f.residue[static_cast<size_t>(q)];
                    const cplx ex = std::exp(-p * dt);
                    const int32_t at = ++c.TL_YCPOLES;
                    L.TLM_YC_COEF(at) = rr * (1.0 - ex) / p;
                    L.TLM_YC_EXP(at) = ex;
                    L.TLM_SR1(at) = L.TLM_SR2(at) = 0.0;
                }
            } else if (fn == 2) {
                L.TLM_PROPK(i) = f.constant;
                L.TLM_NPPROP(i) = np;
                pole_room(e, int64_t{c.TL_PPOLES} + np, L.TLM_PC.size(), "ATTPOLES");
                for (int32_t q = 0; q < np; ++q) {
                    const cplx p = f.pole[static_cast<size_t>(q)], rr = f.residue[static_cast<size_t>(q)];
                    const cplx a = p * dt, ex = std::exp(-a);
                    const int32_t at = ++c.TL_PPOLES;
                    L.TLM_PC(at) = ex;
                    L.TLM_PB2(at) = rr * (1.0 - (1.0 - ex) / a) / p;
                    L.TLM_PB1(at) = rr * ((1.0 - ex) / a - ex) / p;
                    L.TLM_PS1(at) = L.TLM_PS2(at) = 0.0;
                }
            } else {
                L.TI(base + fn - 2) = f.constant;
                L.TLM_NPTRANS(base + fn - 2) = np;
            }
        }
    }
    c.TL_MODEOFS = r.o + e.n;
    c.TL_TRANSOFS = r.t0 + e.n * e.n;
}

// G = T D T' of a modal line into its rows of TLGMAT.
void modal_conductance(int32_t row) {
    LineTables& L = LINE_TABLES;
    const int32_t m = L.TLINE_REC(row, tlrec::FAMILY), o = L.TLINE_REC(row, tlrec::OFFSET);
    const int32_t n = L.TLM_NCOND(m), t0 = L.counters.TL_TRANSOFS - n * n;
    const auto t = [&](int32_t i, int32_t k) { return L.TI(t0 + (i - 1) * n + k); };
    for (int32_t i = 1; i <= n; ++i)
        for (int32_t j = 1; j <= n; ++j) {
            double s = 0.0;
            for (int32_t k = 1; k <= n; ++k) s += t(i, k) * L.TLM_YLOSS(o + k) * t(j, k);
            L.TLGMAT(i, j, row) = s;
        }
}

}  // namespace

void PARTFRAC_CUT(std::vector<double>& z, std::vector<double>& p, bool first_function) {
    const auto keep = [](std::vector<double>& v) {
        size_t k = 0;
        while (k < v.size() && std::fabs(v[k]) < kFoldLimit) ++k;
        v.resize(k);
    };
    keep(z);
    keep(p);
    const size_t most = first_function ? p.size() : (p.empty() ? 0 : p.size() - 1);
    if (z.size() > most) z.resize(most);
}

void PARTFRAC(const std::vector<double>& z, const std::vector<double>& p, std::vector<double>& r, double& k,
              double& d, int32_t form) {
    const size_t nz = z.size(), np = p.size();
    if (form == 1)
        for (size_t i = 0; i < np; ++i) {
            k *= p[i];
            if (i < nz) k /= z[i];
        }
    r.assign(np, 0.0);
    for (size_t j = 0; j < np; ++j) {
        double num = k, den = 1.0;
        for (size_t i = 0; i < nz; ++i) num *= z[i] - p[j];
        for (size_t i = 0; i < np; ++i)
            if (i != j) den *= p[i] - p[j];
        if (den == 0.0) {
            write_list(UNIT_CONSOLE_OUT, {"ERROR: PARTFRAC: Two equal poles in a fitted function"});
            ABORT_RUN("PARTFRAC", 1);
        }
        r[j] = num / den;
    }
    if (nz < np) {
        d = 0.0;
        return;
    }
    d = k;
    for (size_t i = 0; i < nz; ++i) d *= i < np ? z[i] / p[i] : z[i];
    for (size_t j = 0; j < np; ++j) d -= r[j] / p[j];
}

void DSLINT_OPTIONS(LineEntry& e, bool& interpolate, Logical& inflength) {
    for (;;) {
        RDCMNT();
        std::string rec;
        const ReadStatus st = unit_read_line(INPUT.INPUT_UNIT, rec);
        if (st == ReadStatus::End) DSLINT_END_OF_FILE(e);
        if (st == ReadStatus::Error) DSLINT_READ_ERROR(e);
        const LineOption o = TL_OPTION_WORD(rec);
        if (o == LineOption::None) break;
        INPUT.DATA_LINE.assign(rec);
        if (o == LineOption::NoInt) interpolate = false;
        if (o == LineOption::InfLength) inflength = LTRUE;
    }
    unit_backspace(INPUT.INPUT_UNIT);
}

void DSLINT_DATA_ERROR(const LineEntry& e, const std::string& text) {
    if (e.header) DSLINT_SHOW_NAME(e);
    write_list(UNIT_CONSOLE_OUT, {"ERROR: DSLINT: " + text});
    ABORT_RUN(kDslint, 1);
}

void TL_SHORT_TRAVEL(const LineEntry& e, double x) {
    LineRunCounters& c = LINE_TABLES.counters;
    const double t = x * RUN_CLOCK.DELT * 1.0e6;
    LINE_COUNTS.TRAVEL_MIN = std::min(LINE_COUNTS.TRAVEL_MIN, t);
    c.NTLSHORT -= 1;
    const std::string shown(e.display_name.sub(1, static_cast<size_t>(e.display_length)));
    USERWARN(0, 0, 2, "Time step is too large for the tline/cable " + shown + ". ");
    USERWARN(0, 0, -1, "Reduce the time step to " + micro(t) + " [us] or less, or Use pi section models.");
    if (c.NTLSHORT != 0) return;
    const bool halt = is_true(c.TLSHORTSTOP);
    const int32_t level = halt ? 2 : 1;
    USERMSG(0, 0, level, 3, "For better accuracy, make time step less than");
    USERMSG(0, 0, level, 0, " 1/10th of the shortest travel time which is " + micro(LINE_COUNTS.TRAVEL_MIN) + " [us].");
    if (halt) {
        USERMSG(0, 0, level, -1, " Aborting due to time step being too large.");
        ABORT_RUN(kDslint, 0);
    }
    USERMSG(0, 0, level, -1, " Continuing with travel time(s) adjusted to one time step.");
}

int32_t DSLINT_NEW_ROW(LineEntry& e) {
    LineTables& L = LINE_TABLES;
    const int32_t row = L.counters.NTLINES + 1;
    if (row > L.TLINE_REC.extent(1) || row > L.TLNAME.size())
        stop(e, "More line entries than the dimension TLINES-TOTAL allows");
    L.counters.NTLINES = row;
    const int32_t slots[tlrec::SLOTS] = {e.kind,     0,         0,         e.role,    e.n,       e.csc1[0], e.csc1[1],
                                         e.csc1[2],  e.csc1[3], e.csc2[0], e.csc2[1], e.csc2[2], e.csc2[3]};
    for (int s = 1; s <= tlrec::SLOTS; ++s) L.TLINE_REC(row, s) = slots[s - 1];
    L.TLNAME(row).assign(e.line_name());
    return row;
}

void DSLINT_CONDUCTANCE(const LineEntry& e, int32_t row) {
    LineTables& L = LINE_TABLES;
    if (e.n > L.TLGMAT.extent(1)) stop(e, "More conductors than the line tables hold");
    // A grounded end has no matrix to go into.
    if (e.s1 < 1 || (e.role != tlrec::ROLE_SERVER && e.s2 < 1)) stop(e, "Zero subsystem number in TLine data");
    STAMP_LINE_END(e.s1, row, e.n, e.node1.data());
    if (e.role != tlrec::ROLE_SERVER) STAMP_LINE_END(e.s2, row, e.n, e.node2.data());
}

void DSLINT_MODAL(LineEntry& e) {
    if (e.kind == tlrec::KIND_FREDEP)
        fredep_block(e);
    else
        bergeron_block(e);
    const int32_t row = LINE_TABLES.counters.NTLINES;
    if (e.file_open) CLOSEFILE();
    const int32_t o = LINE_TABLES.counters.TL_MODEOFS - e.n;
    for (int32_t k = 1; k <= e.n; ++k) {
        e.node1[static_cast<size_t>(k - 1)] = LINE_TABLES.TLM_NODE1(o + k);
        e.node2[static_cast<size_t>(k - 1)] = LINE_TABLES.TLM_NODE2(o + k);
    }
    modal_conductance(row);
    DSLINT_CONDUCTANCE(e, row);
}
