#include "network/switching_instant.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "engine/model_helpers.h"
#include "engine/run_state.h"
#include "engine/storage.h"
#include "network/interpolation.h"
#include "network/network_tables.h"
#include "network/pass_values.h"
#include "network/pending_switches.h"
#include "network/solution_columns.h"
#include "network/solution_hooks.h"
#include "network/subsystem_columns.h"
#include "network/switch_records.h"

namespace {

const char* const kRoutine = "INTERPOL";
constexpr double kNone = 1.5;

// The columns one pass's search reads, taken once: the branch value at
// the end of the pass is BRVALUE's, which reads the pass's history and
// EMF as a partial pass does.
struct Pass {
    int32_t ss;
    double reached;
    bool opening, resolving;
    PassValues values;
    Col<int32_t> from, to, record, code;
    Col<Logical> source, ideal;
    Col<double> geq, cbr, vnode, vsol, level;
    bool ideal_subsystem;

    Pass(int32_t ss_, double reached_, bool opening_, bool resolving_)
        : Pass(subsystem_columns(ss_), ss_, reached_, opening_, resolving_) {}
    Pass(const SubsystemColumns& c, int32_t ss_, double reached_, bool opening_, bool resolving_)
        : ss(ss_),
          reached(reached_),
          opening(opening_),
          resolving(resolving_),
          values(c, ss_, resolving_, true, opening_, reached_),
          from(c.ief),
          to(c.iet),
          record(c.thisbr),
          code(c.iorv),
          source(c.source),
          ideal(c.idealbr),
          geq(c.geq),
          cbr(c.cbr),
          vnode(c.vnode),
          vsol(c.vsol),
          level(c.swval),
          ideal_subsystem(is_true(NET.IDEALSS(ss_))) {}

    double node_now(int32_t k) const { return k == 0 ? 0.0 : vnode[k]; }
    double node_end(int32_t k) const { return k == 0 ? 0.0 : vsol[k]; }
    // BRANCH_VOLTAGE and VECDIFF of the branch's nodes.
    double start_voltage(int32_t b) const { return node_now(from[b]) - node_now(to[b]); }
    double end_voltage(int32_t b) const { return node_end(from[b]) - node_end(to[b]); }

    // BRVALUE: what the branch carries at the end of the pass.
    double end_value(int32_t b) const {
        const int32_t k = record[b];
        NET.SRC_POS = k;
        const bool vsource = k >= 1 && k <= STORAGE.STORI.size() && STORAGE.STORI(k) == 101;
        const double e = is_true(source[b]) ? values.emf(b, vsource, false) : 0.0;
        return (e + end_voltage(b)) * geq[b] + values.history(b);
    }

    // The current at the end of the pass; the nodal solution gives none for
    // an ideal branch, whose current comes from the balance at its nodes.
    double end_current(int32_t b) const {
        if (is_true(ideal[b]) && ideal_subsystem) {
            double current = 0.0;
            IDLCUR(ss, 1.0, b, current, false, resolving);
            return current;
        }
        return end_value(b);
    }
};

// Level crossed in either direction between start and end.
double crossing(double start, double end, double level) {
    if ((start <= level && level < end) || (level <= start && end < level)) return CROSSFRAC(start, end, level);
    return kNone;
}

// End beyond level by more than a hair: at once when start already was.
double rising_past(double start, double end, double level) {
    if (!(end > level + 1e-10)) return kNone;
    return start > level + 1e-10 ? 0.0 : CROSSFRAC(start, end, level);
}

double falling_past(double start, double end, double level) {
    if (!(end < level - 1e-10)) return kNone;
    return start < level - 1e-10 ? 0.0 : CROSSFRAC(start, end, level);
}

int32_t signed_segment(int32_t k, double value) { return value < 0.0 ? -k : k; }

[[gnu::noinline]] double arrester_instant(const Pass& pass, int32_t b) {
    const int32_t ss = pass.ss;
    NetworkTables& N = NET;
    const ArresterTable a = arrester_table(ss, b, kRoutine);
    const double present = N.SWVAL(b, ss);
    if (!(std::fabs(present) <= a.n - 1 + 0.5))
        switch_record_error(ss, b,
                            "is at an arrester segment outside its table of " + std::to_string(a.n) + " segments.",
                            kRoutine);
    const int32_t s = nint(present);
    const auto segment = [&](double v) {
        const double m = std::fabs(v);
        for (int32_t i = 1; i <= a.n; ++i)
            if (a.breakpoint(i) <= m && m < a.breakpoint(i + 1)) return signed_segment(i - 1, v);
        return signed_segment(a.n - 1, v);
    };
    // The present segment's boundaries, lower and upper in signed value.
    double lower, upper;
    if (s == 0) {
        upper = a.breakpoint(2);
        lower = -upper;
    } else if (s > 0) {
        lower = a.breakpoint(s + 1);
        upper = a.breakpoint(s + 2);
    } else {
        upper = -a.breakpoint(-s + 1);
        lower = -a.breakpoint(-s + 2);
    }
    const auto on_boundary = [&](double v) {
        return std::fabs(v - lower) <= 1e-10 || std::fabs(v - upper) <= 1e-10;
    };
    const double vs = pass.start_voltage(b), ve = pass.end_voltage(b);
    const int32_t from = on_boundary(vs) ? s : segment(vs);
    const int32_t to = segment(ve);
    int32_t direction = 0;
    if (!on_boundary(ve) && to != from) direction = to > from ? 1 : -1;
    N.EON(b, ss) = direction;
    if (direction == 0) return kNone;
    return CROSSFRAC(vs, ve, direction > 0 ? upper : lower);
}

[[gnu::noinline]] double inductance_instant(const Pass& pass, int32_t b) {
    const int32_t ss = pass.ss;
    const double reached = pass.reached;
    NetworkTables& N = NET;
    const SegmentedInductance r = segmented_inductance(ss, b, kRoutine);
    const int32_t n = r.m, s = r.segment();
    if (std::llabs(int64_t{s}) > n - 1)
        switch_record_error(ss, b,
                            "is at inductance segment " + std::to_string(s) + " outside its table of " +
                                std::to_string(n) + " segments.",
                            kRoutine);
    double is = N.CBR(b, ss), ie = pass.end_value(b);
    if (r.partner > 0) {
        is += N.CBR(r.partner, ss);
        ie += BRVALUE(ss, r.partner, pass.reached, pass.opening, pass.resolving);
    }
    const auto segment = [&](double v) {
        const double m = std::fabs(v);
        for (int32_t i = 0; i <= n - 1; ++i)
            if (r.T(i) <= m && m < r.T(i + 1)) return signed_segment(i, v);
        return signed_segment(n - 1, v);
    };
    // Segment 0 lies on both sides of zero, as the arrester's does; the
    // last segment has no upper end worth the name.
    const int32_t k = std::abs(s);
    double low = r.T(k), high = k == n - 1 ? 1e6 * r.T(k) : r.T(k + 1);
    if (k == 0) low = -high;
    double lower = low, upper = high;
    if (s < 0) {
        lower = -high;
        upper = -low;
    }
    const double tolerance = 0.01 * std::fabs(r.T(1));
    const bool on_boundary = std::fabs(ie - lower) <= tolerance || std::fabs(ie - upper) <= tolerance;
    const int32_t to = segment(ie);
    int32_t direction = 0;
    double c = kNone;
    if (!on_boundary && to != s) {
        direction = to < s ? -1 : 1;
        if (int64_t{s} * direction == n - 1) direction = 0;
    }
    if (direction != 0) {
        c = CROSSFRAC(is, ie, direction > 0 ? upper : lower);
        // A reversal right after a change is the change's own echo.
        const double since = RUN_CLOCK.NSTEP + reached - r.T(3 * n + 1);
        if (c < 0.001 && since < 0.001 && direction == -r.step()) {
            direction = 0;
            c = kNone;
        }
    }
    r.step() = direction;
    return c;
}

// Inlined into the search's loop; the long cases stay out of line.
[[gnu::always_inline]] inline double switch_instant(const Pass& pass, int32_t b) {
    const NetworkTables& N = NET;
    const double level = pass.level[b];
    switch (pass.code[b]) {
        case 2:
        case -2:
            return crossing(pass.cbr[b], pass.end_current(b), level);
        case 13:
            return rising_past(pass.cbr[b], pass.end_current(b), level);
        case -13:
            return falling_past(pass.cbr[b], pass.end_current(b), level);
        case 10:
        case -10:
            return crossing(pass.start_voltage(b), pass.end_voltage(b), level);
        case 3:
            return rising_past(pass.start_voltage(b), pass.end_voltage(b), level);
        case -3:
            return falling_past(pass.start_voltage(b), pass.end_voltage(b), level);
        case 4:
            return rising_past(std::fabs(pass.start_voltage(b)), std::fabs(pass.end_voltage(b)), std::fabs(level));
        case 8:
        case -8: {
            // A time on the step boundary that the step before closed on
            // without operating is still due at the start of this one.
            const double dt = RUN_CLOCK.DELT;
            if (pass.resolving || !(level > N.TIME_SOL - 1e-9 * dt && level <= RUN_CLOCK.TIME)) return kNone;
            return (level - N.TIME_SOL) / dt;
        }
        case 5:
        case -5:
            return arrester_instant(pass, b);
        case 15:
        case -15:
            return inductance_instant(pass, b);
        default:
            return kNone;
    }
}

}  // namespace

double SWITCH_INSTANT(int32_t ss, int32_t b, double reached, bool opening, bool resolving) {
    return switch_instant(Pass(ss, reached, opening, resolving), b);
}

void INTERPOL(int32_t ss, double reached, double& span, double& next, bool opening, bool resolving) {
    NetworkTables& N = NET;
    const SubsystemColumns& C = subsystem_columns(ss);
    const Col<int32_t> list = C.swlist;
    const Col<Logical> pending = C.swpend;
    const Col<double> instant = C.tswitch;
    const int32_t ns = N.NSWITCH(ss);
    // The pending switches, in list order; most of a step's switches are not.
    static std::vector<int32_t> found;
    const std::vector<int32_t>* known = pending_switches(ss);
    if (!known) {
        found.clear();
        for (int32_t k = 1; k <= ns; ++k)
            if (is_true(pending[list[k]])) found.push_back(list[k]);
    }
    const std::vector<int32_t>& due = known ? *known : found;
    double earliest = 1.5;
    if (!due.empty()) {
        const Pass pass(C, ss, reached, opening, resolving);
        for (const int32_t b : due) {
            instant[b] = 1.5;
            double c = switch_instant(pass, b);
            c = std::max(c, 1e-4);
            instant[b] = c;
            earliest = std::min(earliest, c);
        }
    }
    next = earliest;
    for (const int32_t b : due)
        if (instant[b] < earliest + 1e-4) next = std::max(next, instant[b]);
    span = earliest;
    if (next > 1.0) next = 1.5;
}
