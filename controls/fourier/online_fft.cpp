#include "controls/fourier/online_fft.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <complex>
#include <numbers>

#include "controls/elementary/block_support.h"
#include "engine/abort.h"
#include "engine/run_state.h"
#include "platform/logical.h"

namespace {

constexpr double kPi = std::numbers::pi;
constexpr double kDegrees = 57.29577951308232;
constexpr double kRms = 0.707106781186548;
constexpr int32_t kFilterSlots = 49;

double formatted_phase(int32_t mode, double phase) {
    switch (mode) {
        case 1:
            return phase * kDegrees;
        case 2:
            phase += 0.5 * kPi;
            return phase > kPi ? phase - 2.0 * kPi : phase;
        case 3:
            phase = phase * kDegrees + 90.0;
            return phase > 180.0 ? phase - 360.0 : phase;
        default:
            return phase;
    }
}

[[noreturn]] void sampling_too_fast() {
    const int32_t id1 = CURRENT_IDS.id1, id2 = CURRENT_IDS.id2;
    USERMSG(id1, id2, 2, 3, "Sampling rate is too high for calculation time step.");
    USERMSG(id1, id2, 2, 0, " Reduce time step in Project Settings or Reduce ");
    USERMSG(id1, id2, 2, -1, "Number of Harmonics in On-Line Frequency Scanner.");
    ABORT_RUN(Text12("ON_LINE_FFT"), 0);
}

}  // namespace

void ON_LINE_FFT(const int32_t& magnitude_mode, const int32_t& phase_mode, const int32_t& N, const int32_t& filter,
                 const int32_t& /*unused*/, const double& f, const double& X, int32_t& sample_index,
                 double* magnitudes, double* phases, double& dc) {
    if (!valid_harmonic_count(N)) bad_harmonic_count();
    const int32_t M = 2 * N + 2;
    const BlockSlots all = take_slots({.stor = kFilterSlots + 2 * M + 2, .storf = 1});
    BlockSlots s = all;
    s.stor += kFilterSlots;
    // S(0) the next sample time, S(1) the counter, S(2) the last input,
    // S(3..M+2) the ring, then the delivered magnitudes, phases and DC.
    double& next = s.S(0);
    double& counter = s.S(1);
    double& last_input = s.S(2);
    const int32_t ring = 3, mag_slot = M + 3, phase_slot = M + N + 3, dc_slot = 2 * M + 1;

    double x = X;
    if (filter == 1) {
        const double fc = 0.84375 * (N + 1) * f;
        double& designed_fc = all.F(0);
        const bool redesign = std::fabs(fc - designed_fc) > 0.5;
        if (redesign) designed_fc = fc;
        x = antialias_filter(all, X, fc, kButterworth6, redesign);
    }
    if (first_step_data()) {
        next = 1.0 / (M * f);
        counter = 1.0;
    }
    const double h = RUN_CLOCK.DELT;
    if (RUN_CLOCK.TIME < next) {
        sample_index = 0;
    } else {
        const double p = last_input;
        // A counter that a store brought back out of range still lands in the ring.
        const int32_t position = ((nint(counter) % M) + M) % M;
        s.S(ring + position) = p + (x - p) * ((next - RUN_CLOCK.TIME) + h) / h;
        const double Ts = 1.0 / (M * f);
        if (Ts < h) sampling_too_fast();
        std::array<double, 512> samples;
        for (int32_t n = 0; n < M; ++n) samples[n] = s.S(ring + n);
        std::array<double, 255> raw_mag{}, raw_phase{};
        double raw_dc = 0.0;
        FFT_HARMONICS(samples.data(), M, raw_mag.data(), raw_phase.data(), raw_dc);
        if (filter == 1) filter_correction(N, raw_mag.data(), raw_phase.data());
        for (int32_t k = 0; k < N; ++k) {
            s.S(mag_slot + k) = magnitude_mode == 0 ? raw_mag[k] * kRms : raw_mag[k];
            s.S(phase_slot + k) = formatted_phase(phase_mode, raw_phase[k]);
        }
        s.S(dc_slot) = raw_dc;
        next += Ts;
        counter = position + 1;
        sample_index = position + 1;
    }
    for (int32_t k = 0; k < N; ++k) {
        magnitudes[k] = s.S(mag_slot + k);
        phases[k] = s.S(phase_slot + k);
    }
    dc = s.S(dc_slot);
    last_input = x;
}

void FFT_SEQUENCE(const int32_t& N, const int32_t& phase_mode, double* MA, double* MB, double* MC, double* PA,
                  double* PB, double* PC) {
    using C = std::complex<double>;
    const C a(-0.5, 0.8660254037844385);
    const C a2 = a * a;
    const auto phase_of = [&](C v) {
        return formatted_phase(phase_mode, std::abs(v) < 1e-20 ? 0.0 : std::atan2(v.imag(), v.real()));
    };
    for (int32_t k = 0; k < N; ++k) {
        const auto phasor = [](double m, double p) { return C(m * std::cos(p), m * std::sin(p)); };
        const C Va = phasor(MA[k], PA[k]), Vb = phasor(MB[k], PB[k]), Vc = phasor(MC[k], PC[k]);
        const C V1 = Va + a * Vb + a2 * Vc, V2 = Va + a2 * Vb + a * Vc, V0 = Va + Vb + Vc;
        MA[k] = std::abs(V1) * 0.333333333333333;
        MB[k] = std::abs(V2) * 0.333333333333333;
        MC[k] = std::abs(V0) * 0.333333333333333;
        PA[k] = phase_of(V1);
        PB[k] = phase_of(V2);
        PC[k] = phase_of(V0);
    }
}
