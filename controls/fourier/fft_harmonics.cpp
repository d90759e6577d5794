#include <array>
#include <cmath>
#include <complex>
#include <numbers>

#include "controls/elementary/block_support.h"
#include "controls/fourier/online_fft.h"

namespace {

constexpr int32_t kMaxRing = 512;
using Complex = std::complex<double>;

// e^(-j 2π k / 512), k = 0..255; a ring of M takes every (512/M)-th.
const std::array<Complex, kMaxRing / 2>& twiddles() {
    static const std::array<Complex, kMaxRing / 2> w = [] {
        std::array<Complex, kMaxRing / 2> t{};
        for (int32_t k = 0; k < kMaxRing / 2; ++k) t[k] = std::polar(1.0, -2.0 * std::numbers::pi * k / kMaxRing);
        return t;
    }();
    return w;
}

// In-place decimation-in-time transform in natural frequency order.
void transform(std::array<Complex, kMaxRing>& b, int32_t M) {
    for (int32_t i = 1, j = 0; i < M; ++i) {
        int32_t bit = M >> 1;
        for (; j & bit; bit >>= 1) j ^= bit;
        j ^= bit;
        if (i < j) std::swap(b[i], b[j]);
    }
    const auto& w = twiddles();
    for (int32_t len = 2; len <= M; len <<= 1) {
        const int32_t half = len / 2, stride = kMaxRing / len;
        for (int32_t start = 0; start < M; start += len) {
            for (int32_t k = 0; k < half; ++k) {
                const Complex t = w[k * stride] * b[start + k + half];
                b[start + k + half] = b[start + k] - t;
                b[start + k] += t;
            }
        }
    }
}

}  // namespace

bool valid_harmonic_count(int32_t N) {
    for (int32_t n : {7, 15, 31, 63, 127, 255})
        if (N == n) return true;
    return false;
}

void bad_harmonic_count() { block_data_error("ON_LINE_FFT", "Number of harmonics must be 7, 15, 31, 63, 127 or 255"); }

void FFT_HARMONICS(const double* ring, int32_t M, double* magnitudes, double* phases, double& dc) {
    if (!valid_harmonic_count(M / 2 - 1) || M % 2 != 0) bad_harmonic_count();
    std::array<Complex, kMaxRing> b;
    for (int32_t n = 0; n < M; ++n) b[n] = ring[n];
    transform(b, M);
    const int32_t N = M / 2 - 1;
    for (int32_t h = 1; h <= N; ++h) {
        const Complex mirror = b[M - h];
        magnitudes[h - 1] = std::abs(std::conj(b[h]) + mirror) / M;
        phases[h - 1] = std::abs(mirror) < 1e-20 ? 0.0 : std::atan2(-mirror.imag(), mirror.real());
    }
    dc = std::abs(b[0]) < 1e-20 ? 0.0 : std::copysign(std::abs(b[0] + std::conj(b[M / 2])) / M, b[0].real());
}
