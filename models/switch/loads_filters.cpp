#include "models/switch/loads_filters.h"

#include <cmath>

#include "engine/abort.h"
#include "engine/run_state.h"
#include "models/switch/branch_rlc.h"

namespace {

constexpr double kTwoPi = 6.283185307179586;
constexpr double kTiny = 1e-20;

enum class Element { R, L, C };

// valid: the rating is realistic; a value that is not finite is not.
void set_load(Element kind, int32_t ss, const int32_t (&branches)[3], bool valid, double value, const char* warning) {
    if (valid && !std::isfinite(value)) valid = false;
    if (!valid) {
        USERWARN(CURRENT_IDS.id1, CURRENT_IDS.id2, 1, warning);
        value = 1.0;
    }
    const int32_t present = valid ? 1 : 0;
    for (int32_t b : branches) {
        switch (kind) {
            case Element::R: BRANCH_RLC(b, ss, present, 0, 0, value, 0.0, 0.0); break;
            case Element::L: BRANCH_RLC(b, ss, 0, present, 0, 0.0, value, 0.0); break;
            case Element::C: BRANCH_RLC(b, ss, 0, 0, present, 0.0, 0.0, value); break;
        }
    }
}

void check_filter(bool realistic, const char* what, const Text12& name) {
    if (realistic) return;
    USERMSG(CURRENT_IDS.id1, CURRENT_IDS.id2, 2, 1, std::string("Unrealistic specifications in ") + what);
    ABORT_RUN(name, 0);
}

// The common checks of the three filters; last is f_t or h with its limit.
void check_filter_ratings(double quality, double qc, double V, double f1, bool last_ok, const char* what,
                         const Text12& name) {
    check_filter(quality >= 1e-5 && std::fabs(qc) >= 1e-4 && V >= 0.01 && f1 >= 0.01 && last_ok, what, name);
}

// The tuned and band-pass filters' L and C (microfarads); returns w_t.
double tuned_lc(double f1, double ft, double qc, double V, double& L, double& C) {
    const double w1 = kTwoPi * f1, wt = kTwoPi * ft;
    const double cf = std::fabs(qc) / (w1 * V * V);
    L = 1.0 / (wt * wt * cf);
    C = cf * 1e6;
    return wt;
}

}  // namespace

void LOAD_R(int32_t ss, int32_t b1, int32_t b2, int32_t b3, int32_t delta, double P, double V) {
    const bool valid = P > kTiny;
    double R = valid ? V * V / std::fabs(P) : 0.0;
    if (delta != 0) R = 3.0 * R;
    set_load(Element::R, ss, {b1, b2, b3}, valid, R, "Resistive load disabled due to unrealistic data");
}

void LOAD_L(int32_t ss, int32_t b1, int32_t b2, int32_t b3, int32_t delta, double Q, double V, double f) {
    const bool valid = std::fabs(Q) > kTiny && f > kTiny;
    double L = valid ? V * V / (kTwoPi * f * std::fabs(Q)) : 0.0;
    if (delta != 0) L = 3.0 * L;
    set_load(Element::L, ss, {b1, b2, b3}, valid, L, "Reactive load disabled due to unrealistic load or frequency");
}

void LOAD_C(int32_t ss, int32_t b1, int32_t b2, int32_t b3, int32_t delta, double Q, double V, double f) {
    const bool valid = V > kTiny && f > kTiny;
    double C = valid ? 1e6 * std::fabs(Q) / (kTwoPi * f * V * V) : 0.0;
    if (delta != 0) C = 0.333333333333333 * C;
    set_load(Element::C, ss, {b1, b2, b3}, valid, C,
             "Capacitive load disabled due to unrealistic voltage or frequency");
}

void TUNED_FILTER(double quality, double f1, double ft, double qc, double V, double& R, double& L, double& C) {
    check_filter_ratings(quality, qc, V, f1, ft >= 0.01, "Tuned Filter", "TUNED_FILTER");
    const double wt = tuned_lc(f1, ft, qc, V, L, C);
    R = wt * L / quality;
}

void BPASS_FILTER(double quality, double f1, double ft, double qc, double V, double& R, double& L, double& C) {
    check_filter_ratings(quality, qc, V, f1, ft >= 0.01, "Band Pass Filter", "BPASS_FILTER");
    const double wt = tuned_lc(f1, ft, qc, V, L, C);
    R = quality * wt * L;
}

void CTYPE_FILTER(double quality, double f1, double h, double qc, double V, double& R, double& L, double& C2,
                  double& C1) {
    check_filter_ratings(quality, qc, V, f1, h >= 1.01, "C-Type Filter", "CTYPE_FILTER");
    const double w1 = kTwoPi * f1;
    const double X = V * V / std::fabs(qc);
    C1 = 1e6 / (X * w1);
    L = X / (w1 * (h * h - 1.0));
    C2 = (h * h - 1.0) * C1;
    R = X * quality / h;
}
