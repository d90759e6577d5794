#include "network/switching_instant.h"

#include <cmath>
#include <cstdlib>
#include <string>

#include "controls/branch_voltage.h"
#include "engine/model_helpers.h"
#include "engine/run_state.h"
#include "network/interpolation.h"
#include "network/network_tables.h"
#include "network/solution_hooks.h"
#include "network/switch_records.h"

namespace {

const char* const kRoutine = "INTERPOL";
constexpr double kNone = 1.5;

double end_voltage(int32_t ss, int32_t b) { return VECDIFF(NET.IEF(b, ss), NET.IET(b, ss)); }

// The current at the end of the pass; the nodal solution gives none for an
// ideal branch, whose current comes from the balance at its nodes.
double end_current(int32_t ss, int32_t b, double reached, bool opening, bool resolving) {
    if (is_true(NET.IDEALBR(b, ss)) && is_true(NET.IDEALSS(ss))) {
        double current = 0.0;
        IDLCUR(ss, 1.0, b, current, false, resolving);
        return current;
    }
    return BRVALUE(ss, b, reached, opening, resolving);
}

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

double arrester_instant(int32_t ss, int32_t b) {
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
    const double vs = BRANCH_VOLTAGE(ss, b), ve = end_voltage(ss, b);
    const int32_t from = on_boundary(vs) ? s : segment(vs);
    const int32_t to = segment(ve);
    int32_t direction = 0;
    if (!on_boundary(ve) && to != from) direction = to > from ? 1 : -1;
    N.EON(b, ss) = direction;
    if (direction == 0) return kNone;
    return CROSSFRAC(vs, ve, direction > 0 ? upper : lower);
}

double inductance_instant(int32_t ss, int32_t b, double reached, bool opening, bool resolving) {
    NetworkTables& N = NET;
    const SegmentedInductance r = segmented_inductance(ss, b, kRoutine);
    const int32_t n = r.m, s = r.segment();
    if (std::llabs(int64_t{s}) > n - 1)
        switch_record_error(ss, b,
                            "is at inductance segment " + std::to_string(s) + " outside its table of " +
                                std::to_string(n) + " segments.",
                            kRoutine);
    double is = N.CBR(b, ss), ie = BRVALUE(ss, b, reached, opening, resolving);
    if (r.partner > 0) {
        is += N.CBR(r.partner, ss);
        ie += BRVALUE(ss, r.partner, reached, opening, resolving);
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

}  // namespace

double SWITCH_INSTANT(int32_t ss, int32_t b, double reached, bool opening, bool resolving) {
    const NetworkTables& N = NET;
    const int32_t code = N.IORV(b, ss);
    const double level = N.SWVAL(b, ss);
    switch (code) {
        case 2:
        case -2:
            return crossing(N.CBR(b, ss), end_current(ss, b, reached, opening, resolving), level);
        case 13:
            return rising_past(N.CBR(b, ss), end_current(ss, b, reached, opening, resolving), level);
        case -13:
            return falling_past(N.CBR(b, ss), end_current(ss, b, reached, opening, resolving), level);
        case 10:
        case -10:
            return crossing(BRANCH_VOLTAGE(ss, b), end_voltage(ss, b), level);
        case 3:
            return rising_past(BRANCH_VOLTAGE(ss, b), end_voltage(ss, b), level);
        case -3:
            return falling_past(BRANCH_VOLTAGE(ss, b), end_voltage(ss, b), level);
        case 4:
            return rising_past(std::fabs(BRANCH_VOLTAGE(ss, b)), std::fabs(end_voltage(ss, b)), std::fabs(level));
        case 8:
        case -8: {
            // A time on the step boundary that the step before closed on
            // without operating is still due at the start of this one.
            const double dt = RUN_CLOCK.DELT;
            if (resolving || !(level > N.TIME_SOL - 1e-9 * dt && level <= RUN_CLOCK.TIME)) return kNone;
            return (level - N.TIME_SOL) / dt;
        }
        case 5:
        case -5:
            return arrester_instant(ss, b);
        case 15:
        case -15:
            return inductance_instant(ss, b, reached, opening, resolving);
        default:
            return kNone;
    }
}
