#include "controls/meters.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "controls/meter_tables.h"
#include "engine/abort.h"
#include "engine/run_state.h"
#include "lines/line_record.h"
#include "lines/line_tables.h"
#include "models/xfmr_tables.h"
#include "network/dimensions.h"
#include "network/network_tables.h"

namespace {

// Smoothing of the step: a = exp(-50 h) (20 ms), d = min(50 h, 1).
struct Smoothing {
    double a, d;
};

// The positive root of (1 + d) y'^2 - y y' - (m/4) d x^2 = 0.
double rms_update(double y, double x, double m, double d) {
    return 0.5 * (y + std::sqrt(y * y + m * (1.0 + d) * d * x * x)) / (1.0 + d);
}

bool subsystem_ok(int32_t ss) {
    const NetworkTables& N = NET;
    return ss >= 1 && ss <= DIMBLOCK.NSUBSYS && ss <= N.VNODE.extent(2) && ss <= N.NBUSES.size();
}

// A node's voltage; node <= 0 is ground. A node or subsystem the network
// does not have reads 0.0 and marks the meter bad.
double node_voltage(int32_t ss, int32_t n, bool& bad) {
    if (n <= 0) return 0.0;
    const NetworkTables& N = NET;
    if (!subsystem_ok(ss) || n > N.NBUSES(ss) || n > N.VNODE.extent(1)) {
        bad = true;
        return 0.0;
    }
    return N.VNODE(n, ss);
}

double branch_current(int32_t ss, int32_t b, int32_t node, bool& bad) {
    const NetworkTables& N = NET;
    if (!subsystem_ok(ss) || b < 1 || b > N.NBRANCHES(ss) || !N.CBR.in_range(b, ss) || !N.IEF.in_range(b, ss) ||
        !N.IET.in_range(b, ss)) {
        bad = true;
        return 0.0;
    }
    if (N.IEF(b, ss) == node) return N.CBR(b, ss);
    if (N.IET(b, ss) == node) return -N.CBR(b, ss);
    return 0.0;
}

// Winding w of transformer t: its total current, with the sign of the
// side the node is on.
double winding_current(int32_t t, int32_t w, int32_t node, bool& bad) {
    const XfmrTables& X = XFMR_TABLES;
    if (t < 1 || t > X.XF_COUNT || !X.XF_NWDG.in_range(t) || w < 1 || w > X.XF_NWDG(t) ||
        !X.XF_NODE1.in_range(w, t) || !X.XF_NODE2.in_range(w, t) || !X.XF_CURTOT.in_range(w, t)) {
        bad = true;
        return 0.0;
    }
    if (X.XF_NODE1(w, t) == node) return X.XF_CURTOT(w, t);
    if (X.XF_NODE2(w, t) == node) return -X.XF_CURTOT(w, t);
    return 0.0;
}

// Conductor c of line row L: the current at the end that is (ss, node).
double line_current(int32_t L, int32_t c, int32_t ss, int32_t node, bool& bad) {
    const LineTables& T = LINE_TABLES;
    bad = true;
    if (L < 1 || L > tlines_total() || c < 1) return 0.0;
    const int32_t kind = T.TLINE_REC(L, tlrec::KIND), f = T.TLINE_REC(L, tlrec::FAMILY);
    const int32_t j = T.TLINE_REC(L, tlrec::OFFSET) + c;
    const FArray1<int32_t> *ss1, *ss2, *ncond, *node1, *node2;
    switch (kind) {
    case tlrec::KIND_BERGERON:
    case tlrec::KIND_FREDEP:
        ss1 = &T.TLM_SS1, ss2 = &T.TLM_SS2, ncond = &T.TLM_NCOND, node1 = &T.TLM_NODE1, node2 = &T.TLM_NODE2;
        break;
    case tlrec::KIND_FREPHASE:
        ss1 = &T.PH_SS1, ss2 = &T.PH_SS2, ncond = &T.PH_NCOND, node1 = &T.PH_NODE1, node2 = &T.PH_NODE2;
        break;
    case tlrec::KIND_MFDTD:
        ss1 = &T.TLD_SS1, ss2 = &T.TLD_SS2, ncond = &T.TLD_NCOND, node1 = &T.TLD_NODE1, node2 = &T.TLD_NODE2;
        break;
    default:
        return 0.0;
    }
    if (!ss1->in_range(f) || !ss2->in_range(f) || !ncond->in_range(f) || c > (*ncond)(f) || !node1->in_range(j) ||
        !node2->in_range(j) || !T.TLCUR.in_range(c, 2, L))
        return 0.0;
    bad = false;
    if ((*ss1)(f) == ss && (*node1)(j) == node) return T.TLCUR(c, 1, L);
    if ((*ss2)(f) == ss && (*node2)(j) == node) return T.TLCUR(c, 2, L);
    return 0.0;
}

// The current into phase k's node from the meter's three lists.
double phase_current(int32_t j, int32_t k, int32_t ss, int32_t node, bool& bad) {
    const MeterTables& m = METER_TABLES;
    double I = 0.0;
    for (int64_t e = 1; e <= m.METER3_LIST_A.extent(3); ++e) {
        const int32_t b = m.METER3_LIST_A(j, k, e);
        if (b != 0) I += branch_current(ss, b, node, bad);
    }
    for (int64_t e = 1; e <= m.METER3_LIST_B.extent(3); ++e) {
        const int32_t t = m.METER3_LIST_B(j, k, e, 1), w = m.METER3_LIST_B(j, k, e, 2);
        if (t != 0 && w != 0) I += winding_current(t, w, node, bad);
    }
    for (int64_t e = 1; e <= m.METER3_LIST_C.extent(3); ++e) {
        const int32_t L = m.METER3_LIST_C(j, k, e, 1), c = m.METER3_LIST_C(j, k, e, 2);
        if (L == 0 || c == 0) continue;
        bool line_bad = false;
        I += line_current(L, c, ss, node, line_bad);
        bad = bad || line_bad;
    }
    return I;
}

void update_voltmeter(int64_t r, const Smoothing& s, bool& bad) {
    MeterTables& m = METER_TABLES;
    const int32_t ss = m.METER_DEF(r, 1), kind = m.METER_DEF(r, 2);
    double v[3];
    for (int k = 0; k < 3; ++k) v[k] = k < kind ? node_voltage(ss, m.METER_NODES(r, k + 1), bad) : 0.0;
    double& val = m.METER_VAL(r);
    switch (kind) {
    case 1:
        val = rms_update(val, v[0], 4.0, s.d);
        break;
    case 2:
        val = rms_update(val, std::abs(v[0]) + std::abs(v[1]), 1.0, s.d);
        break;
    case 3: {
        const double hi = std::max({-1e20, v[0], v[1], v[2]}), lo = std::min({1e20, v[0], v[1], v[2]});
        val = s.a * val + (1.0 - s.a) * 0.7404804896930618 * (hi - lo);
        break;
    }
    default:
        val = 0.0;
    }
}

void update_power_meter(int64_t j, const Smoothing& s, bool& bad) {
    MeterTables& m = METER_TABLES;
    const int32_t r = m.METER3_REF(j);
    if (r < 1 || r > m.METER_DEF.extent(1)) return;
    const int32_t ss = m.METER_DEF(r, 1), kind = m.METER_DEF(r, 2);
    const auto out = [&](int k) -> double& { return m.METER3_VAL(j, k); };
    if (kind == 3) {
        int32_t n[3];
        double v[3], I[3];
        for (int k = 0; k < 3; ++k) {
            n[k] = m.METER_NODES(r, k + 1);
            v[k] = node_voltage(ss, n[k], bad);
            I[k] = phase_current(static_cast<int32_t>(j), k + 1, ss, n[k], bad);
        }
        double P = 0.0, Q = 0.0, hi = -1e20, lo = 1e20;
        for (int k = 0; k < 3; ++k) {
            if (n[k] != 0) P += v[k] * I[k];
            Q += 0.577350269189626 * I[k] * (v[(k + 1) % 3] - v[(k + 2) % 3]);
            hi = std::max(hi, I[k]);
            lo = std::min(lo, I[k]);
        }
        out(1) = s.a * out(1) + (1.0 - s.a) * 0.42751661005395525 * (hi - lo);
        out(2) = s.a * out(2) + (1.0 - s.a) * P;
        out(3) = s.a * out(3) + (1.0 - s.a) * Q;
    } else if (kind == 1) {
        const int32_t n = m.METER_NODES(r, 1);
        const double I = phase_current(static_cast<int32_t>(j), 1, ss, n, bad);
        const double P = n == 0 ? 0.0 : node_voltage(ss, n, bad) * I;
        out(1) = rms_update(out(1), I, 4.0, s.d);
        out(2) = s.a * out(2) + (1.0 - s.a) * P;
        const double S = m.METER_VAL(r) * out(1);
        // Either direction of flow: the apparent power bounds |P|.
        if (std::abs(out(2)) < S) out(3) = std::sqrt(S * S - out(2) * out(2));
    } else {
        for (int k = 1; k <= 3; ++k) out(k) = 0.0;
    }
}

}  // namespace

void UPDATE_METERS() {
    MeterTables& m = METER_TABLES;
    if (!m.METER_VAL.allocated() || !m.METER_DEF.allocated() || !m.METER_NODES.allocated()) return;
    const double h = RUN_CLOCK.DELT;
    const Smoothing s{std::exp(-50.0 * h), std::min(50.0 * h, 1.0)};
    const bool first = is_true(RUN_FLAGS.FIRST_STEP_RUN);
    const int64_t rows = std::min(m.METER_VAL.size(), m.METER_DEF.extent(1));
    for (int64_t r = 1; r <= rows; ++r) {
        bool bad = false;
        update_voltmeter(r, s, bad);
        if (bad && first)
            USERWARN(0, 0, 1,
                     "Meter " + std::to_string(r) + " names a subsystem or node that does not exist: it reads 0.0 V.");
    }
    if (!m.METER3_REF.allocated() || !m.METER3_VAL.allocated()) return;
    const int64_t meters = std::min(m.METER3_REF.size(), m.METER3_VAL.extent(1));
    for (int64_t j = 1; j <= meters; ++j) {
        bool bad = false;
        update_power_meter(j, s, bad);
        if (bad && first)
            USERWARN(0, 0, 1,
                     "Power meter " + std::to_string(j) +
                         " names a subsystem, node, branch, winding or line conductor that does not exist: "
                         "it adds no current there.");
    }
}
