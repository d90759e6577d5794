// The conventional transformers and auto-transformers: one body, the
// members differing only in the data of their row below.
#include <algorithm>
#include <cmath>
#include <initializer_list>

#include "engine/abort.h"
#include "engine/pointer_block.h"
#include "engine/run_state.h"
#include "engine/storage.h"
#include "models/transformers/companion_matrices.h"
#include "models/transformers/transformers.h"
#include "models/transformers/winding_data.h"

namespace {

constexpr double kSmall = 1e-32;

enum class Windings { AsGiven, Auto2, Auto3 };          // model windings from the terminals
enum class Losses { Share, PerPair, PerWinding, None };  // per-unit winding resistances
enum class Ideal { Closed, Star, Matrix };               // the leakage-only Gamma

struct Member {
    Text12 name;  // also the name the run ends under
    int32_t n;
    Windings windings;
    Losses losses;
    double share;          // of the total copper loss on each winding
    Ideal ideal;
    bool stop_at_first;    // warn and stop at the first failed check
};

const Member kTf2{"TF_2WDG     ", 2, Windings::AsGiven, Losses::Share, 0.5, Ideal::Closed, false};
const Member kAuto2{"AUTO_TF_2WDG", 2, Windings::Auto2, Losses::Share, 0.5, Ideal::Closed, false};
const Member kTf3{"TF_3WDG     ", 3, Windings::AsGiven, Losses::Share, 0.333333333333333, Ideal::Star, false};
const Member kTf3Cu{"TF_3WDG     ", 3, Windings::AsGiven, Losses::PerPair, 0.0, Ideal::Star, false};
const Member kAuto3{"AUTO_TF_3WDG", 3, Windings::Auto3, Losses::None, 0.0, Ideal::Star, false};
const Member kTf4{"TF_4WDG     ", 4, Windings::AsGiven, Losses::Share, 0.25, Ideal::Matrix, true};
const Member kTf4b{"TF_4WDG     ", 4, Windings::AsGiven, Losses::Share, 0.25, Ideal::Matrix, false};
const Member kTf4c{"TF_4WDG     ", 4, Windings::AsGiven, Losses::PerWinding, 0.0, Ideal::Matrix, false};

// One call's arguments. Leakages of AsGiven members in the pair order;
// of the auto-transformers X_HL (, X_HT, X_LT). Volts of the
// auto-transformers: V_HV, V_LV (, V_T).
struct Call {
    int32_t k, ideal;
    double s, f, im;
    std::initializer_list<double> volts, leaks;
    std::initializer_list<double> losses;  // Pcu; P12, P13, P23; or r1..r4
};

bool any_small(std::initializer_list<double> v) {
    return std::any_of(v.begin(), v.end(), [](double x) { return x < kSmall; });
}

void check_ratings(const Member& m, const Call& c) {
    bool failed = false;
    const auto fail = [&](const char* text) {
        failed = true;
        if (m.stop_at_first) {
            USERWARN(CURRENT_IDS.id1, CURRENT_IDS.id2, 1, text);
            ABORT_RUN(m.name, 0);
        }
        USERMSG(CURRENT_IDS.id1, CURRENT_IDS.id2, 2, 1, text);
    };
    if (m.windings != Windings::AsGiven) {
        const double hv = c.volts.begin()[0], lv = c.volts.begin()[1];
        if (hv < 1.02 * lv) fail("Voltage rating at HV side is too small");
        if (hv > 51.0 * lv) fail("Voltage rating at LV side is too small");
    }
    if (c.s < kSmall) fail("Unrealistic Transformer MVA Rating.");
    if (any_small(c.volts)) fail("Unrealistic Transformer Voltage Rating.");
    if (any_small(c.leaks)) fail("Unrealistic Transformer Leakage Value.");
    if (m.losses == Losses::PerPair) {
        const double* p = c.losses.begin();
        if (std::max({p[0], p[1], p[2]}) > 0.5 * (p[0] + p[1] + p[2]))
            fail("Unrealitic Copper losses, maximum loss between any two windings cannot be more than the half of "
                 "the sum of total losses.");
    }
    // Both divide the matrix entries.
    if (c.f < kSmall) fail("Unrealistic Transformer Frequency.");
    if (c.ideal != 1 && c.im < kSmall) fail("Unrealistic Transformer Magnetizing Current.");
    if (failed) ABORT_RUN(m.name, 0);
}

// Voltages and pair leakages of the model's own windings.
void model_windings(const Member& m, const Call& c, double* v, double* x) {
    const double* t = c.volts.begin();
    const double* l = c.leaks.begin();
    if (m.windings == Windings::AsGiven) {
        std::copy(c.volts.begin(), c.volts.end(), v);
        std::copy(c.leaks.begin(), c.leaks.end(), x);
        return;
    }
    // Series winding Vs = V_HV - V_LV, common winding V_LV.
    const double hv = t[0], lv = t[1], vs = hv - lv, xsc = l[0] * hv * hv / (vs * vs);
    if (m.windings == Windings::Auto2) {
        v[0] = vs;
        v[1] = lv;
        x[0] = xsc;
        return;
    }
    // Tertiary, series, common.
    v[0] = t[2];
    v[1] = vs;
    v[2] = lv;
    x[xfmr_pair(1, 2)] = (hv * l[1] + lv * hv * l[0] / vs - l[2] * lv) / vs;
    x[xfmr_pair(1, 3)] = l[2];
    x[xfmr_pair(2, 3)] = xsc;
}

// Per-unit resistances of the windings (times their base impedance).
void per_unit_resistances(const Member& m, const Call& c, double* r) {
    const double* p = c.losses.begin();
    switch (m.losses) {
        case Losses::Share:
            if (p[0] > 0.0)
                for (int32_t i = 0; i < m.n; ++i) r[i] = m.share * p[0];
            break;
        case Losses::PerPair: {
            const double sum = p[0] + p[1] + p[2];
            if (p[0] > 0.0 || p[1] > 0.0) r[0] = 0.5 * (sum - 2.0 * p[2]);
            if (p[0] > 0.0 || p[2] > 0.0) r[1] = 0.5 * (sum - 2.0 * p[1]);
            if (p[1] > 0.0 || p[2] > 0.0) r[2] = 0.5 * (sum - 2.0 * p[0]);
            break;
        }
        case Losses::PerWinding:
            for (int32_t i = 0; i < m.n; ++i) r[i] = std::max(p[i], 0.0);
            break;
        case Losses::None:
            break;
    }
}

void setup(const Member& m, const Call& c) {
    int32_t k = c.k;
    xfmr_check_model(m.name, k, m.n, false);
    check_ratings(m, c);
    double v[4] = {}, x[6] = {}, rpu[4] = {};
    model_windings(m, c, v, x);
    per_unit_resistances(m, c, rpu);
    const int32_t n = m.n;
    const double w = 6.283185307179586 * c.f, s = c.s;
    double cur[4], zb[4];
    FArray1<double> r;
    r.allocate(n);
    for (int32_t i = 0; i < n; ++i) {
        cur[i] = s / v[i];
        zb[i] = v[i] / cur[i];
        r(i + 1) = rpu[i] * zb[i];
    }
    FArray2<double> g;
    g.allocate(n, n);
    int32_t form = c.ideal == 1 ? 1 : 2;
    if (form == 2) {
        for (int32_t i = 1; i <= n; ++i) g(i, i) = v[i - 1] / (w * (0.01 * c.im) * cur[i - 1]);
        for (int32_t j = 2; j <= n; ++j)
            for (int32_t i = 1; i < j; ++i)
                g(i, j) = std::sqrt(g(i, i) * g(j, j)) *
                          (1.0 - x[xfmr_pair(i, j)] * zb[i - 1] / (2.0 * w * g(i, i)));
    } else if (m.ideal == Ideal::Closed) {
        const double a = v[0] / v[1];
        g(1, 1) = w / (x[0] * zb[0]);
        g(2, 2) = a * a * g(1, 1);
        g(1, 2) = -a * g(1, 1);
    } else if (m.ideal == Ideal::Star) {
        // Star equivalent referred to winding 1.
        const double a2 = v[0] / v[1], a3 = v[0] / v[2], x12 = x[0], x13 = x[1], x23 = x[2];
        const double l1 = 0.5 * (x12 + x13 - x23) * zb[0] / w, l2 = 0.5 * (x12 + x23 - x13) * zb[0] / w,
                     l3 = 0.5 * (x13 + x23 - x12) * zb[0] / w;
        const double d = l1 * l3 + l2 * l3 + l1 * l2;
        if (d == 0.0) xfmr_unrealisable(m.name);
        g(1, 1) = (l2 + l3) / d;
        g(2, 2) = a2 * a2 * (l1 + l3) / d;
        g(3, 3) = a3 * a3 * (l1 + l2) / d;
        g(1, 2) = -a2 * l3 / d;
        g(1, 3) = -a3 * l2 / d;
        g(2, 3) = -a2 * a3 * l1 / d;
    } else if (XFMR_MATRIX(n, c.f, s, x, v, g) != 0) {
        xfmr_unrealisable(m.name);
    }
    xfmr_write_rlin(n, g, r);
    TRANSFORMER(k, form);
}

}  // namespace

void TF_2WDG(int32_t& k, int32_t& ideal, double& s, double& f, double& x12, double& pcu, double& v1, double& v2,
             double& im) {
    setup(kTf2, {k, ideal, s, f, im, {v1, v2}, {x12}, {pcu}});
}

void AUTO_TF_2WDG(int32_t& k, int32_t& ideal, double& s, double& f, double& xhl, double& pcu, double& vhv,
                  double& vlv, double& im) {
    setup(kAuto2, {k, ideal, s, f, im, {vhv, vlv}, {xhl}, {pcu}});
    PointerBlock& pb = POINTER_BLOCK;
    STORAGE.RTCF(pb.NRTCF) = vhv / s;
    STORAGE.RTCF(pb.NRTCF + 1) = 6.283185307179586 * f / vhv;
    pb.NRTCF += 2;
}

void TF_3WDG(int32_t& k, int32_t& ideal, double& s, double& f, double& x12, double& x13, double& x23, double& pcu,
             double& v1, double& v2, double& v3, double& im) {
    setup(kTf3, {k, ideal, s, f, im, {v1, v2, v3}, {x12, x13, x23}, {pcu}});
}

void TF_3WDG_CU(int32_t& k, int32_t& ideal, double& s, double& f, double& x12, double& x13, double& x23,
                double& p12, double& p13, double& p23, double& v1, double& v2, double& v3, double& im) {
    setup(kTf3Cu, {k, ideal, s, f, im, {v1, v2, v3}, {x12, x13, x23}, {p12, p13, p23}});
}

void AUTO_TF_3WDG(int32_t& k, int32_t& ideal, double& s, double& f, double& xhl, double& xht, double& xlt,
                  double& /*unused*/, double& vhv, double& vlv, double& vt, double& im) {
    setup(kAuto3, {k, ideal, s, f, im, {vhv, vlv, vt}, {xhl, xht, xlt}, {}});
}

void TF_4WDG(int32_t& k, double& s, double& f, double& x12, double& x13, double& x14, double& x23, double& x24,
             double& x34, double& pcu, double& v1, double& v2, double& v3, double& v4, double& im) {
    setup(kTf4, {k, 0, s, f, im, {v1, v2, v3, v4}, {x12, x13, x23, x14, x24, x34}, {pcu}});
}

void TF_4WDG_2(int32_t& k, int32_t& ideal, double& s, double& f, double& x12, double& x13, double& x14, double& x23,
               double& x24, double& x34, double& pcu, double& v1, double& v2, double& v3, double& v4, double& im) {
    setup(kTf4b, {k, ideal, s, f, im, {v1, v2, v3, v4}, {x12, x13, x23, x14, x24, x34}, {pcu}});
}

void TF_4WDG_3(int32_t& k, int32_t& ideal, double& s, double& f, double& x12, double& x13, double& x14, double& x23,
               double& x24, double& x34, double& r1, double& r2, double& r3, double& r4, double& v1, double& v2,
               double& v3, double& v4, double& im) {
    setup(kTf4c, {k, ideal, s, f, im, {v1, v2, v3, v4}, {x12, x13, x23, x14, x24, x34}, {r1, r2, r3, r4}});
}
