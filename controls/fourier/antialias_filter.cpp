#include <array>
#include <cmath>
#include <complex>
#include <numbers>

#include "controls/elementary/block_support.h"
#include "controls/fourier/online_fft.h"
#include "engine/run_state.h"
#include "network/dense_matrix.h"

namespace {

constexpr int32_t kOrder = 6;
constexpr int32_t kTable = 255;
constexpr double kPi = std::numbers::pi;

// Slots of the low-pass: Φ by columns, Γ, the state, the last input.
constexpr int32_t kPhi = 0, kGam = 36, kState = 42, kLastInput = 48;

struct CorrectionTables {
    std::array<double, kTable + 1> gain{}, phase{};
};

// Gain and phase lag of 1/B(s) at ω = i/216; the lag as the sum of the
// pole factors' angles, each within ±π/2, so it runs on past π unbroken.
const CorrectionTables& correction_tables() {
    static const CorrectionTables t = [] {
        CorrectionTables c;
        for (int32_t i = 1; i <= kTable; ++i) {
            const double w = i / 216.0;
            c.gain[i] = std::sqrt(1.0 + std::pow(w, 12));
            for (int32_t k = 1; k <= kOrder; ++k) {
                const std::complex<double> p = std::polar(1.0, ((k - 0.5) / kOrder + 0.5) * kPi);
                c.phase[i] += std::atan2(w - p.imag(), -p.real());
            }
        }
        return c;
    }();
    return t;
}

void design(const BlockSlots& s, double omega, const double* a) {
    const double h = RUN_CLOCK.DELT;
    std::array<double, kOrder * kOrder> M1{}, M2{}, inv{}, work{};
    std::array<int32_t, kOrder> L{}, M{};
    const auto at = [](std::array<double, kOrder * kOrder>& m, int32_t i, int32_t j) -> double& {
        return m[j * kOrder + i];
    };
    for (int32_t i = 0; i < kOrder; ++i) {
        for (int32_t j = 0; j < kOrder; ++j) {
            double A = 0.0;
            if (i == kOrder - 1)
                A = -a[j] / a[kOrder];
            else if (j == i + 1)
                A = 1.0;
            const double unit = i == j ? 1.0 : 0.0;
            at(M1, i, j) = unit - 0.5 * h * omega * A;
            at(M2, i, j) = unit + 0.5 * h * omega * A;
        }
    }
    if (MATINV(M1.data(), inv.data(), kOrder, kOrder * kOrder, work.data(), L.data(), M.data()) != 0)
        block_data_error("ON_LINE_FFT", "The anti-aliasing filter cannot be designed for this time step.");
    for (int32_t i = 0; i < kOrder; ++i) {
        for (int32_t j = 0; j < kOrder; ++j) {
            double sum = 0.0;
            for (int32_t k = 0; k < kOrder; ++k) sum += at(inv, i, k) * at(M2, k, j);
            s.S(kPhi + j * kOrder + i) = sum;
        }
        s.S(kGam + i) = at(inv, i, kOrder - 1);
    }
}

}  // namespace

double antialias_filter(const BlockSlots& s, double X, double fc, const double* a, bool redesign) {
    const double omega = 2.0 * kPi * fc;
    if (first_step_data() || redesign) design(s, omega, a);
    const double drive = 0.5 * RUN_CLOCK.DELT * (X + s.S(kLastInput)) * omega / a[kOrder];
    std::array<double, kOrder> x{};
    for (int32_t i = 0; i < kOrder; ++i) {
        double sum = s.S(kGam + i) * drive;
        for (int32_t j = 0; j < kOrder; ++j) sum += s.S(kPhi + j * kOrder + i) * s.S(kState + j);
        x[i] = sum;
    }
    for (int32_t i = 0; i < kOrder; ++i) s.S(kState + i) = x[i];
    s.S(kLastInput) = X;
    return x[0];
}

double FFT_ANTIALIAS_FILTER(const double& X, const double& fc, const double* a, const int32_t& redesign) {
    return antialias_filter(take_slots({.stor = 49}), X, fc, a, redesign == 1);
}

void filter_correction(int32_t N, double* magnitudes, double* phases) {
    const CorrectionTables& t = correction_tables();
    const int32_t step = 256 / (N + 1);
    for (int32_t h = 1; h <= N; ++h) {
        const int32_t i = h * step;
        if (i < 1 || i > kTable) continue;
        magnitudes[h - 1] *= t.gain[i];
        phases[h - 1] += t.phase[i];
        if (phases[h - 1] > kPi) phases[h - 1] -= 2.0 * kPi;
    }
}

void FFT_FILTER_CORRECTION(const int32_t& N, double* magnitudes, double* phases) {
    filter_correction(N, magnitudes, phases);
}
