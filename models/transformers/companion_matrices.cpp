#include "models/transformers/companion_matrices.h"

#include <cmath>
#include <string>

#include "engine/abort.h"
#include "engine/run_state.h"
#include "engine/solution_arrays.h"
#include "models/xfmr_tables.h"

bool xfmr_invert(FArray2<double>& a, int32_t n, double tiny) {
    for (int32_t j = 1; j <= n; ++j) {
        const double p = a(j, j);
        if (std::fabs(p) < tiny) return false;
        const double d = -1.0 / p;
        a(j, j) = d;
        for (int32_t c = 1; c <= n; ++c) {
            if (c == j) continue;
            const double f = a(j, c);
            for (int32_t r = 1; r <= n; ++r)
                if (r != j) a(r, c) += a(r, j) * f * d;
        }
        for (int32_t i = 1; i <= n; ++i)
            if (i != j) {
                a(j, i) = a(j, i) * -d;
                a(i, j) = a(i, j) * -d;
            }
    }
    for (int32_t c = 1; c <= n; ++c)
        for (int32_t r = 1; r <= n; ++r) a(r, c) = -a(r, c);
    return true;
}

bool xfmr_gamma_conductance(int32_t n, double tiny) {
    XfmrTables& X = XFMR_TABLES;
    for (int32_t j = 1; j <= n; ++j)
        for (int32_t i = 1; i <= n; ++i) {
            double s = 0.0;
            for (int32_t m = 1; m <= n; ++m) s += X.XF_WR(i, m) * X.XF_WZ(m, j);
            X.XF_WT2(i, j) = s;
            X.XF_WT1(i, j) = s + (i == j ? 1.0 : 0.0);
        }
    if (!xfmr_invert(X.XF_WT1, n, tiny)) return false;
    for (int32_t j = 1; j <= n; ++j)
        for (int32_t i = 1; i <= n; ++i) {
            double s = 0.0;
            for (int32_t m = 1; m <= n; ++m) s += X.XF_WT1(i, m) * X.XF_WT2(m, j);
            X.XF_WG(i, j) = s;
        }
    for (int32_t j = 1; j <= n; ++j)
        for (int32_t i = 1; i <= n; ++i) X.XF_WT2(i, j) = (i == j ? 1.0 : 0.0) - X.XF_WG(i, j);
    for (int32_t j = 1; j <= n; ++j)
        for (int32_t i = 1; i <= n; ++i) {
            double s = 0.0;
            for (int32_t m = 1; m <= n; ++m) s += X.XF_WZ(i, m) * X.XF_WT2(m, j);
            X.XF_WG(i, j) = s;
        }
    return true;
}

void xfmr_core_conductance(int32_t k, int32_t n) {
    XfmrTables& X = XFMR_TABLES;
    const double delt = RUN_CLOCK.DELT;
    for (int32_t j = 1; j <= n; ++j)
        for (int32_t i = 1; i <= n; ++i) {
            X.XF_WG(i, j) = 0.5 * X.XF_WZ(i, j) * delt;
            X.XF_WR(i, j) = 0.0;
            X.XF_LTERM(i, j, k) = X.XF_WG(i, j);
            X.XF_RES(i, j, k) = 0.0;
        }
}

void xfmr_store_companion(int32_t k) {
    XfmrTables& X = XFMR_TABLES;
    const int32_t n = X.XF_NWDG(k);
    for (int32_t j = 1; j <= n; ++j)
        for (int32_t i = 1; i <= n; ++i) {
            double s = 0.0;
            for (int32_t m = 1; m <= n; ++m) s += X.XF_WG(i, m) * X.XF_WR(m, j);
            X.XF_HIST(i, j, k) = -2.0 * s + (i == j ? 1.0 : 0.0);
        }
    for (int32_t j = 1; j <= n; ++j)
        for (int32_t i = 1; i <= n; ++i) X.XF_GEQ(i, j, k) = X.XF_WG(i, j);
}

void xfmr_stamp(int32_t ss, int32_t k, const FArray2<double>& g, bool mark) {
    const XfmrTables& X = XFMR_TABLES;
    const SsView<double> y = SSDESC_RA(ss);
    const SsView<int8_t> flags = SSDESC_IA(ss);
    const auto add = [&](int32_t p, int32_t q, double v) {
        y(p, q) += v;
        if (mark && p != q) flags(p, q) = -1;
    };
    const int32_t n = X.XF_NWDG(k);
    for (int32_t w = 1; w <= n; ++w) {
        const int32_t a = X.XF_NODE1(w, k), b = X.XF_NODE2(w, k);
        const double own = g(w, w);
        if (a == 0)
            add(b, b, own);
        else if (b == 0)
            add(a, a, own);
        else {
            add(a, b, own);
            add(b, a, own);
        }
        for (int32_t m = 1; m <= n; ++m) {
            if (m == w) continue;
            const int32_t c = X.XF_NODE1(m, k), d = X.XF_NODE2(m, k);
            const double v = g(w, m);
            // A term at the winding's own node on that side adds nothing.
            if (a != 0) {
                if (c == 0) add(a, a, -v);
                else if (c != a) add(a, c, -v);
                if (d == 0) add(a, a, v);
                else if (d != a) add(a, d, v);
            }
            if (b != 0) {
                if (c == 0) add(b, b, v);
                else if (c != b) add(b, c, v);
                if (d == 0) add(b, b, -v);
                else if (d != b) add(b, d, -v);
            }
        }
    }
}

namespace {

// Removes point i of the first count points; the last becomes (0, 0).
void drop_point(int32_t k, int32_t i, int32_t count) {
    XfmrTables& X = XFMR_TABLES;
    for (int32_t q = i; q < count; ++q) {
        X.XF_BHX(q, k) = X.XF_BHX(q + 1, k);
        X.XF_BHY(q, k) = X.XF_BHY(q + 1, k);
    }
    X.XF_BHX(count, k) = X.XF_BHY(count, k) = 0.0;
}

}  // namespace

// A first point needs a positive ordinate too, and a slope that is not
// positive counts as unrealistic: the look-up divides by both.
CurveCheck xfmr_check_curve(int32_t k) {
    XfmrTables& X = XFMR_TABLES;
    int32_t f = 0;
    for (int32_t p = 1; p <= 10 && f == 0; ++p)
        if (X.XF_BHX(p, k) > 0.0 && X.XF_BHY(p, k) > 0.0) f = p;
    if (f == 0) {
        X.XF_SATON(k) = 0;
        return CurveCheck::NoData;
    }
    if (f > 1) {
        for (int32_t p = f; p <= 10; ++p) {
            X.XF_BHX(p - f + 1, k) = X.XF_BHX(p, k);
            X.XF_BHY(p - f + 1, k) = X.XF_BHY(p, k);
        }
        X.XF_BHX(12 - f, k) = X.XF_BHY(12 - f, k) = 0.0;
    }
    int32_t count = 11 - f;
    double s = X.XF_BHY(1, k) / X.XF_BHX(1, k);
    bool unrealistic = false;
    int32_t i = 2;
    while (i <= count) {
        const double y = X.XF_BHY(i, k), y0 = X.XF_BHY(i - 1, k);
        if (y <= 1e-20) break;
        const double dx = X.XF_BHX(i, k) - X.XF_BHX(i - 1, k);
        const double d = dx > 1e-20 ? (y - y0) / dx : s;
        if (d > 0.999999 * s || d <= 0.0) {
            drop_point(k, i, count);
            --count;
            if (d > 1.000001 * s || d <= 0.0) unrealistic = true;
        } else {
            s = d;
            ++i;
        }
    }
    X.XF_CORE8(k) = X.XF_BHY(1, k) / X.XF_BHX(1, k);
    return unrealistic ? CurveCheck::PointsDropped : CurveCheck::Kept;
}

namespace {

[[noreturn]] void refuse(const Text12& caller, const std::string& text) {
    USERMSG(CURRENT_IDS.id1, CURRENT_IDS.id2, 2, 1, text);
    ABORT_RUN(caller, 0);
}

}  // namespace

void xfmr_check_number(const Text12& caller, int32_t k) {
    if (k < 1 || k > XFMR_TABLES.XF_COUNT || k > XFMR_TABLES.XF_NWDG.size())
        refuse(caller, "Transformer number " + std::to_string(k) + " is not in the TRANSFORMERS: section.");
}

void xfmr_check_model(const Text12& caller, int32_t k, int32_t windings, bool magnetic) {
    xfmr_check_number(caller, k);
    const XfmrTables& X = XFMR_TABLES;
    if (X.XF_NWDG(k) != windings)
        refuse(caller, "Transformer number " + std::to_string(k) + " has " + std::to_string(X.XF_NWDG(k)) +
                           " windings in the TRANSFORMERS: section, the model needs " + std::to_string(windings) +
                           ".");
    if (magnetic && X.XF_KIND(k) != 1)
        refuse(caller, "Transformer number " + std::to_string(k) +
                           " is not of the magnetic-circuit form in the TRANSFORMERS: section.");
}
