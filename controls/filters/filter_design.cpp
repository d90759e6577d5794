#include "controls/filters/filter_design.h"

#include <array>
#include <cmath>
#include <numbers>
#include <string>

#include "controls/block_slots.h"
#include "controls/elementary/block_support.h"
#include "controls/filters/polynomials.h"
#include "controls/filters/transfer_function.h"
#include "engine/abort.h"
#include "engine/run_state.h"

namespace {

constexpr double kPi = std::numbers::pi;
constexpr const char* kDesigner = "CHLPFN";

void check_design(int32_t N, double ripple, double w, double Q, int32_t characteristic, int32_t type) {
    if (N < 1 || N > 10) block_data_error(kDesigner, "Filter order must be between 1 and 10");
    if (characteristic < 1 || characteristic > 2 || type < 1 || type > 4)
        block_data_error(kDesigner, "Unknown filter characteristic or type");
    if (!(w > 0.0)) block_data_error(kDesigner, "Filter frequency must be positive");
    if (type >= 3 && !(Q > 0.0)) block_data_error(kDesigner, "Quality factor must be positive");
    // Above 10 log10(2) dB the half-power point lies inside the ripple band.
    if (characteristic == 2 && !(ripple > 0.0 && ripple <= 10.0 * std::log10(2.0)))
        block_data_error(kDesigner, "Chebyshev ripple must lie above 0 and at most 3.0103 dB");
    if (type >= 3 && N % 2 != 0) {
        USERMSG(CURRENT_IDS.id1, CURRENT_IDS.id2, 2, 1, "Bandpass or Bandstop filer order must ");
        USERMSG(CURRENT_IDS.id1, CURRENT_IDS.id2, 2, 1, "be an even number, Change order from " + std::to_string(N));
        ABORT_RUN(Text12(kDesigner), 0);
    }
}

}  // namespace

void FILN15(const double& FL, const double& FU, double& F0, double& Q) {
    F0 = std::sqrt(FL * FU);
    if (FL >= FU) block_data_error("FILN15", "Upper Frequency must be greater than Lower Frequency");
    Q = F0 / (FU - FL);
}

void CHLPFN(const int32_t& N, const double& ripple, const double& w, const double& Q, const int32_t& characteristic,
            const int32_t& type, double* den, double* num) {
    check_design(N, ripple, w, Q, characteristic, type);
    const int32_t n = type < 3 ? N : N / 2;
    double g = 1.0, fc = 1.0, sh = 1.0, ch = 1.0;
    if (characteristic == 2) {
        const double e = 1.0 / std::sqrt(std::pow(10.0, 0.1 * ripple) - 1.0);
        if (n % 2 == 0) g = std::pow(10.0, -0.05 * ripple);
        const double v = std::pow(std::sqrt(e * e + 1.0) + e, 1.0 / n);
        sh = (v - 1.0 / v) * 0.5;
        ch = 0.5 * (1.0 / v + v);
        fc = std::cosh(std::log(std::sqrt(e * e - 1.0) + e) / n);
        if (type == 1) fc = 1.0 / fc;
    }
    std::array<Complex, 10> p{};
    Complex product = 1.0;  // of the -p(k): the prototype's gain at zero frequency
    for (int32_t k = 1; k <= n; ++k) {
        const double theta = ((k - 0.5) / n + 0.5) * kPi;
        p[k - 1] = Complex(sh * std::cos(theta), ch * std::sin(theta));
        product *= -p[k - 1];
    }
    for (int32_t i = 0; i < kPolySize; ++i) den[i] = num[i] = 0.0;
    std::array<Complex, 10> A{}, B{}, C{};
    switch (type) {
        case 1:
        case 2:
            POLY_ROOTS(p.data(), n, den);
            num[0] = g * den[0];
            poly_fscale(n, w * fc, type, den, num);
            break;
        case 3:
            for (int32_t k = 0; k < n; ++k) {
                A[k] = fc * Q / w;
                B[k] = -p[k];
                C[k] = fc * Q * w;
            }
            POLY_QUAD_PROD(A.data(), B.data(), C.data(), n, den);
            num[n] = g * product.real();
            break;
        default:
            for (int32_t k = 0; k < n; ++k) {
                A[k] = -p[k];
                B[k] = fc * w / Q;
                C[k] = -w * w * p[k];
            }
            POLY_QUAD_PROD(A.data(), B.data(), C.data(), n, den);
            for (int32_t k = 0; k < n; ++k) {
                A[k] = 1.0;
                B[k] = 0.0;
                C[k] = w * w;
            }
            POLY_QUAD_PROD(A.data(), B.data(), C.data(), n, num);
            for (int32_t i = 0; i <= N; ++i) num[i] *= g * product.real();
    }
}

void FILTER_RUN(const int32_t& N, const double& F, const double& Q, const double& ripple, const int32_t& characteristic,
                const int32_t& type, const int32_t& mode, const double& x, double& y) {
    const BlockSlots s = take_slots({.stor = 25});
    // S(0..2) the last F, ripple and Q; S(3..13) the denominator, S(14..24)
    // the numerator.
    bool redesign = is_true(RUN_FLAGS.FIRST_STEP_RUN);
    const double given[3] = {F, ripple, Q};
    for (int32_t k = 0; k < 3; ++k) {
        if (first_step_data()) {
            s.S(k) = given[k];
        } else if (std::fabs(given[k] - s.S(k)) > 1e-6) {
            s.S(k) = given[k];
            redesign = true;
        }
    }
    std::array<double, kPolySize> den{}, num{};
    const std::array<double, 10> init{};
    if (redesign) {
        CHLPFN(N, ripple, 2.0 * kPi * F, Q, characteristic, type, den.data(), num.data());
        for (int32_t i = 0; i < kPolySize; ++i) {
            s.S(3 + i) = den[i];
            s.S(14 + i) = num[i];
        }
    } else {
        for (int32_t i = 0; i < kPolySize; ++i) {
            den[i] = s.S(3 + i);
            num[i] = s.S(14 + i);
        }
    }
    const int32_t design_flag = redesign ? 1 : 0;
    TFDN10(N, num.data(), den.data(), init.data(), mode, design_flag, x, y);
}

void FREQ_TRACK(const int32_t& mode, const int32_t& unit, const double& theta, const double& f0, double& f) {
    const BlockSlots s = take_slots({.stor = 2});
    double& freq = s.S(0);
    double& last_angle = s.S(1);
    if (first_step_data()) freq = f0;
    if (mode == 1) {
        if (2.0 / freq <= RUN_CLOCK.TIME) {
            double d = theta - last_angle;
            const bool radians = unit == 0 || unit == 2;
            const double half = radians ? kPi : 180.0;
            const double k = radians ? 1.0 / (2.0 * kPi) : 1.0 / 360.0;
            if (d > half)
                d -= 2.0 * half;
            else if (d < -half)
                d += 2.0 * half;
            freq = (1.0 + k * d) * freq;
        }
        last_angle = theta;
    }
    f = freq;
}
