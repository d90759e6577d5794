// Magnetic-circuit transformer models: ratings, core ratios and the
// per-unit B-H curve turned into the core data of the common set-up.
#include <initializer_list>

#include "engine/abort.h"
#include "engine/run_state.h"
#include "models/transformers/companion_matrices.h"
#include "models/transformers/transformers.h"
#include "models/xfmr_tables.h"

namespace {

constexpr double kSmall = 1e-32;

struct Ratings {
    double s, f, im;
    std::initializer_list<double> volts, ratios;
};

// The rating checks; each failure is reported, then the run ends once
// (at the first failure with warn_and_stop).
void check_ratings(const Text12& name, const Ratings& r, bool warn_and_stop) {
    bool failed = false;
    const auto fail = [&](const char* text) {
        failed = true;
        if (warn_and_stop) {
            USERWARN(CURRENT_IDS.id1, CURRENT_IDS.id2, 1, text);
            ABORT_RUN(name, 0);
        }
        USERMSG(CURRENT_IDS.id1, CURRENT_IDS.id2, 2, 1, text);
    };
    const auto any_small = [](std::initializer_list<double> v) {
        for (const double x : v)
            if (x < kSmall) return true;
        return false;
    };
    if (r.s < kSmall) fail("Unrealistic Transformer MVA Rating.");
    if (any_small(r.volts)) fail("Unrealistic Transformer Voltage Rating.");
    if (any_small(r.ratios)) fail("Unrealistic Ratio of Area or Length.");
    // The core constants divide by both.
    if (r.f < kSmall) fail("Unrealistic Transformer Frequency.");
    if (r.im < kSmall) fail("Unrealistic Transformer Magnetizing Current.");
    if (failed) ABORT_RUN(name, 0);
}

double omega_of(double f) { return 6.283185307179586 * f; }

// The core constants, windings and curve of the single-phase units, then
// the common set-up.
void single_phase(int32_t k, double s, double f, double x_pu, std::initializer_list<double> volts,
                  std::initializer_list<double> leakage, double im, double a, double c4) {
    XfmrTables& X = XFMR_TABLES;
    const double w = omega_of(f), v1 = *volts.begin(), i = s / v1, kk = 1414.2135623730949 / w;
    FArray1<double>& u = X.XF_UMCORE;
    u(3) = a;
    u(4) = c4;
    u(8) = (c4 / a + 2.0) / (v1 * w * im * 0.01 * i);
    for (int32_t p = 1; p <= 10; ++p) {
        u(8 + p) = u(8 + p) * v1 * 1.414213562373095 * 10.0 * i / (2.0 + c4);
        u(18 + p) = u(18 + p) * kk;
    }
    const double g = x_pu * (v1 / i) / (v1 * v1 * 2.0 * w);
    // One leakage term for every winding unless each has its own.
    int32_t row = 1;
    for (const double v : volts) {
        X.XF_UMWDG(row, 1) = v;
        X.XF_UMWDG(row++, 2) = g;
    }
    row = 1;
    for (const double l : leakage) X.XF_UMWDG(row++, 2) = l;
    u(1) = u(2) = 1.0;
    u(5) = u(6) = u(7) = 0.0;
    int32_t form = 3;
    TRANSFORMER(k, form);
}

}  // namespace

void UMEC_TF_3P2W(int32_t& k, int32_t& core_type, double& s, double& f, double& x, double& v1, double& v2,
                  double& im, double& lr, double& a, double& lr2, double& a2) {
    const Text12 name = "UMEC_TF_3P2W";
    xfmr_check_model(name, k, 6, true);
    check_ratings(name, {s, f, im, {v1, v2}, {lr, a, lr2, a2}}, false);
    XfmrTables& X = XFMR_TABLES;
    FArray1<double>& u = X.XF_UMCORE;
    const double w = omega_of(f), i = s * 0.333333333333333 / v1, kk = 1414.2135623730949 / w;
    u(4) = 2.0 * lr;
    u(3) = a;
    u(5) = u(6) = 1.0;
    double t = 1.0;
    if (core_type == 2) {
        u(5) = a / a2;
        u(6) = 2.0 * lr / lr2;
        t = 0.5;
    }
    const double q = 1.0 / (v1 * w * i), d = 2.0 + (u(4) / u(3)) * t;
    u(8) = d * q / (0.01 * im);
    for (int32_t p = 1; p <= 10; ++p) {
        double& xp = u(8 + p);
        double& yp = u(18 + p);
        double e = d;
        if (xp > 1e-20) e = 100.0 * d * q / xp;
        xp = yp * kk / e;
        if (yp > 1e-20) xp = xp / yp;
        yp = yp * kk;
    }
    u(7) = x * (v1 / i) / (v1 * v1 * 2.0 * w);
    for (int32_t r = 1; r <= 6; ++r) {
        X.XF_UMWDG(r, 1) = r % 2 == 1 ? v1 : v2;
        X.XF_UMWDG(r, 2) = u(7);
    }
    u(1) = u(2) = 1.0;
    int32_t form = 3;
    TRANSFORMER(k, form);
}

void UMEC_TF_2WDG(int32_t& k, double& s, double& f, double& x, double& v1, double& v2, double& im, double& a,
                  double& lr) {
    const Text12 name = "UMEC_TF_2WDG";
    xfmr_check_model(name, k, 2, true);
    check_ratings(name, {s, f, im, {v1, v2}, {a, lr}}, false);
    single_phase(k, s, f, x, {v1, v2}, {}, im, a, 2.0 * lr);
}

void UMEC_TF_3WDG(int32_t& k, double& s, double& f, double& x, double& v1, double& v2, double& v3, double& im,
                  double& a, double& lr) {
    const Text12 name = "UMEC_TF_3WDG";
    xfmr_check_model(name, k, 3, true);
    check_ratings(name, {s, f, im, {v1, v2, v3}, {a, lr}}, true);
    single_phase(k, s, f, x, {v1, v2, v3}, {}, im, a, lr);
}

void UMEC_TF_3WDG_2(int32_t& k, double& s, double& f, double& x12, double& x13, double& x23, double& v1, double& v2,
                    double& v3, double& im, double& a, double& lr) {
    const Text12 name = "UMEC_TF_3WDG";
    xfmr_check_model(name, k, 3, true);
    check_ratings(name, {s, f, im, {v1, v2, v3}, {a, lr}}, false);
    const double sw = s * omega_of(f);
    const double x1 = 0.5 * (x12 + x13 - x23), x2 = 0.5 * (x23 + x12 - x13), x3 = 0.5 * (x23 - x12 + x13);
    single_phase(k, s, f, 0.0, {v1, v2, v3}, {x1 / sw, x2 / sw, x3 / sw}, im, a, lr);
}

void UMEC_TF_4WDG(int32_t& k, double& s, double& f, double& x, double& v1, double& v2, double& v3, double& v4,
                  double& im, double& a, double& lr) {
    const Text12 name = "UMEC_TF_4WDG";
    xfmr_check_model(name, k, 4, true);
    check_ratings(name, {s, f, im, {v1, v2, v3, v4}, {a, lr}}, false);
    single_phase(k, s, f, x, {v1, v2, v3, v4}, {}, im, a, 2.0 * lr);
}
