#include "lines/pi_section.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "engine/abort.h"
#include "engine/run_state.h"
#include "platform/fixed_text.h"

namespace {

constexpr double kThird = 0.333333333333333;
constexpr double kTwoPi = 6.283185307179586;
const Text12 kName = "PI_SECTION  ";

void error(const char* text) { USERMSG(CURRENT_IDS.id1, CURRENT_IDS.id2, 2, 1, text); }

// Stops the run when any check reported.
void end_if(bool failed) {
    if (failed) ABORT_RUN(kName, 0);
}

void check(bool& failed, bool bad, const char* text) {
    if (!bad) return;
    error(text);
    failed = true;
}

struct Rlc {
    double r = 0.0, l = 0.0, c = 0.0;
};

Rlc per_length(int32_t mode, double a, double b, double c, double zb, double w, double length, bool positive) {
    switch (mode) {
        case 0: return {a * zb, b * zb / w, 1.0 / (c * zb * w)};
        case 1: return {a, b / w, 1.0e-6 / (c * w)};
        case 2: return {a, c * b / (1000.0 * length), (b / c) / (1000.0 * length)};
        case 3: return {a * zb, b * zb / w, positive ? std::max(c / (zb * w), 0.0) : c / (zb * w)};
        default: return {};
    }
}

// The checks of one sequence's data.
void check_sequence(int32_t mode, double b, double c, bool positive) {
    bool failed = false;
    const std::string seq = positive ? "Positive" : "Zero";
    const std::string tb = seq + (mode == 2 ? " Sequence Travel Time too small" : " Sequence Inductance too small");
    check(failed, b < 1.0e-32, tb.c_str());
    const std::string tc =
        seq + (mode == 2 ? " Sequence Surge Impedance too small" : " Sequence Capacitive Reactance too small");
    if (mode != 3) check(failed, c < 1.0e-32, tc.c_str());
    end_if(failed);
}

void check_base(int32_t mode, double f, double length, double v, double mva) {
    bool failed = false;
    check(failed, f < 1.0e-6, "Frequency too small");
    check(failed, length < 1.0e-6, "Length too small");
    end_if(failed);
    if (mode == 0 || mode == 3) {
        check(failed, v < 1.0e-6, "Voltage too small");
        check(failed, mva < 1.0e-6, "MVA too small");
        end_if(failed);
    }
}

}  // namespace

void PI_SECTION(int32_t& mode, int32_t& self_form, int32_t& zero_form, double& v, double& mva, double& f,
                double& length, double& a1, double& b1, double& c1, double& a0, double& b0, double& c0, double& rs,
                double& ls, double& cm, double& rm, double& lm, double& cg, int32_t& mutual_rl, int32_t& no_lm,
                int32_t& has_cg, int32_t& has_cm) {
    check_base(mode, f, length, v, mva);
    const double zb = (mode == 0 || mode == 3) ? v * v / mva : 0.0, w = kTwoPi * f, l = length;
    check_sequence(mode, b1, c1, true);
    const Rlc p = per_length(mode, a1, b1, c1, zb, w, l, true);
    Rlc z;
    if (zero_form == 0) {
        check_sequence(mode, b0, c0, false);
        z = per_length(mode, a0, b0, c0, zb, w, l, false);
    } else {
        bool failed = false;
        check(failed, b0 < 1.0e-32 || c0 < 1.0e-32, "Unrealistic Zero Sequence Estimation Parameters");
        end_if(failed);
        z = {a0 * p.r, b0 * c0 * p.l, (b0 / c0) * p.c};
    }
    rm = l * (z.r - p.r) * kThird;
    lm = l * kThird * (z.l - p.l);
    cg = l * 500000.0 * z.c;
    cm = -(500000.0 * l * kThird * (z.c - p.c));
    if (rm < 0.0) USERWARN(CURRENT_IDS.id1, CURRENT_IDS.id2, 1, "Resistance[0] less than Resistance[+]");
    if (self_form == 0) {
        rs = l * p.r;
        ls = l * p.l;
    } else {
        rs = l * kThird * (z.r + 2.0 * p.r);
        ls = (2.0 * p.l + z.l) * l * kThird;
    }
    if (!(std::fabs(rm) > 1.0e-20)) rm = 0.0;
    if (!(std::fabs(lm) > 1.0e-20)) lm = 0.0;
    if (std::fabs(lm) > 1.0e-20) {
        mutual_rl = 1;
    } else {
        mutual_rl = std::fabs(rm) > 1.0e-20 ? 1 : 0;
        no_lm = 0;
    }
    has_cg = std::fabs(cg) > 1.0e-20 ? 1 : 0;
    has_cm = std::fabs(cm) > 1.0e-20 ? 1 : 0;
}

void PI_SECTION2(int32_t& mode, int32_t& estimate, double& d3, double& d4, double& d5, double& d6, double& d7,
                 double& d8, double& d9, double& d10, double& d11, double& d12, double& r, double& l, double& c,
                 int32_t& has_c) {
    if (estimate == 0) {
        // Only what a mode divides by or cannot do without is checked.
        bool failed = false;
        if (mode >= 0 && mode <= 2) check(failed, d6 < 1.0e-6, "Frequency too small");
        if (mode == 3) check(failed, d3 < 1.0e-6, "Length too small");
        end_if(failed);
        if (mode == 0 || mode == 1) {
            check(failed, d4 < 1.0e-6, "Voltage too small");
            check(failed, d5 < 1.0e-6, "MVA too small");
            end_if(failed);
        }
        if (mode == 1 || mode == 2) check(failed, d9 < 1.0e-32, "Zero Sequence Capacitive Reactance too small");
        if (mode == 3) check(failed, d9 < 1.0e-32, "Zero Sequence Surge Impedance too small");
        end_if(failed);
        const double w = kTwoPi * d6, len = d3;
        const double zb = mode == 0 || mode == 1 ? d4 * d4 / d5 : 0.0;
        switch (mode) {
            case 0: r = d7 * zb, l = d8 * zb / w, c = d9 / (w * zb); break;
            case 1: r = d7 * zb, l = d8 * zb / w, c = 1.0 / (w * zb * d9); break;
            case 2: r = d7, l = d8 / w, c = 1.0e-6 / (w * d9); break;
            case 3: r = d7, l = d9 * d8 / (1000.0 * len), c = d8 / (len * 1000.0 * d9); break;
            default: break;
        }
        r = len * r * kThird;
        l = len * l * kThird;
        c = 500000.0 * len * c * kThird;
    } else {
        if (d7 < 1.0e-20 || d8 < 1.0e-20 || d9 < 1.0e-20) {
            USERWARN(CURRENT_IDS.id1, CURRENT_IDS.id2, 1, "Unrealistic 0 Sequence Estimation Parameters");
            ABORT_RUN(kName, 0);
        }
        r = d7 * kThird * (d4 + 2.0 * d10);
        l = d9 * (d5 + 2.0 * d11) * kThird * d8;
        c = d8 * d12 * kThird / d9;
    }
    has_c = c >= 1.0e-20 ? 1 : 0;
}
