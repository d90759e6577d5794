// The on-line Fourier scanner: its transform against a plain DFT, the
// sampling clock, the harmonics of known signals with and without the
// anti-aliasing low-pass, the phase formats, the sequence components, its
// stops and its slots.
#include <cmath>
#include <complex>
#include <numbers>
#include <random>
#include <vector>

#include "controls/fourier/online_fft.h"
#include "controls/tests/elementary_support.h"

namespace {

using ::testing::ValuesIn;
constexpr double kPi = std::numbers::pi;

std::vector<DisciplineRow> fourier_rows() {
    std::vector<DisciplineRow> rows;
    const std::vector<SlotState> states{{"zero", {0.0}, std::vector<double>(83, 0.0)},
                                        {"sampling", {100.0}, [] {
                                             std::vector<double> s(83, 0.25);
                                             s[49] = 0.0;    // sample due
                                             s[50] = 1e9;    // a counter out of range
                                             return s;
                                         }()}};
    add_flag_rows(rows, "ON_LINE_FFT", {.stor = 83, .storf = 1}, 3, states, [](const FlagSet& f, size_t) {
        int32_t index;
        double mag[7], phase[7], dc;
        ON_LINE_FFT(f[0], f[1], 7, f[2], 0, 50.0, 1.0, index, mag, phase, dc);
    });
    add_flag_rows(rows, "FFT_ANTIALIAS_FILTER", {.stor = 49}, 1, {{"zero", {}, std::vector<double>(49, 0.0)}}, [](const FlagSet& f, size_t) {
        FFT_ANTIALIAS_FILTER(1.0, 1000.0, kButterworth6, f[0]);
    });
    return rows;
}

INSTANTIATE_TEST_SUITE_P(Fourier, SlotDiscipline, ValuesIn(fourier_rows()), discipline_row_name);

TEST(FourierTransform, MatchesAPlainDftOnEveryRingSize) {
    std::mt19937 gen(7);
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    for (int32_t M : {16, 32, 64, 128, 256, 512}) {
        std::vector<double> ring(M);
        for (double& v : ring) v = u(gen) + 0.3;
        std::vector<std::complex<double>> B(M);
        for (int32_t k = 0; k < M; ++k)
            for (int32_t n = 0; n < M; ++n) B[k] += ring[n] * std::polar(1.0, -2.0 * kPi * k * n / M);
        const int32_t N = M / 2 - 1;
        std::vector<double> mag(N), phase(N);
        double dc;
        FFT_HARMONICS(ring.data(), M, mag.data(), phase.data(), dc);
        double largest = std::abs(B[0]) / M;
        for (int32_t h = 1; h <= N; ++h) largest = std::max(largest, 2 * std::abs(B[h]) / M);
        for (int32_t h = 1; h <= N; ++h) {
            const std::complex<double> expected = 2.0 * B[h] / double(M);
            EXPECT_NEAR(mag[h - 1], std::abs(expected), 1e-12 * largest) << M << " " << h;
            EXPECT_NEAR(std::abs(std::polar(mag[h - 1], phase[h - 1]) - expected), 0.0, 1e-12 * largest) << M << " " << h;
        }
        EXPECT_NEAR(dc, (B[0].real() + B[M / 2].real()) / M, 1e-12 * largest) << M;
    }
}

struct ScanStep {
    int step;
    int32_t index;
    std::vector<double> mag, phase;
    double dc;
};

// Steps 0..last of the scanner on X(t), TIME = step · h.
std::vector<ScanStep> scan(int32_t N, int32_t filter, int32_t phase_mode, double h, int last,
                           const std::function<double(double)>& X) {
    STORAGE.STOR.allocate(2 * 512 + 100);
    clear_block_stores();
    RUN_CLOCK.DELT = h;
    std::vector<ScanStep> out;
    for (int n = 0; n <= last; ++n) {
        begin_step(n);
        ScanStep s{n, 0, std::vector<double>(N), std::vector<double>(N), 0.0};
        ON_LINE_FFT(1, phase_mode, N, filter, 0, 50.0, X(RUN_CLOCK.TIME), s.index, s.mag.data(), s.phase.data(), s.dc);
        out.push_back(s);
    }
    return out;
}

class Scanner : public BlockTest {};

// One sample per 1.25 ms: at step 25k, or at 25k + 1 where the summed
// sample times land just above the step's time.
TEST_F(Scanner, SamplingClockAndKnownHarmonics) {
    const auto X = [](double t) { return 1 + 2 * std::cos(2 * kPi * 50 * t) + 0.5 * std::sin(2 * kPi * 150 * t + 0.3); };
    const std::vector<ScanStep> r = scan(7, 0, 0, 50e-6, 2000, X);
    int32_t expected_index = 2, first_late = 0, k = 1;
    for (const ScanStep& s : r) {
        if (s.index == 0) continue;
        EXPECT_EQ(s.index, expected_index) << s.step;
        expected_index = expected_index % 16 + 1;
        EXPECT_TRUE(s.step == 25 * k || s.step == 25 * k + 1) << s.step;
        if (s.step == 25 * k + 1 && first_late == 0) first_late = s.step;
        ++k;
    }
    EXPECT_GE(k, 80);
    EXPECT_EQ(first_late, 476);
    for (size_t n = 400; n < r.size(); ++n) {
        const ScanStep& s = r[n];
        EXPECT_NEAR(s.dc, 1.0, 1e-12);
        EXPECT_NEAR(s.mag[0], 2.0, 1e-12);
        EXPECT_NEAR(s.phase[0], 0.0, 1e-12);
        EXPECT_NEAR(s.mag[2], 0.5, 1e-12);
        EXPECT_NEAR(s.phase[2], 0.3 - kPi / 2, 1e-12);
        for (int h : {2, 4, 5, 6, 7}) EXPECT_LT(s.mag[h - 1], 1e-12) << h;
    }
}

// A sine rising through zero at ring position 0 in each phase format.
TEST_F(Scanner, PhaseFormats) {
    const std::vector<double> expected{-kPi / 2, -90.0, 0.0, 0.0};
    for (int32_t mode = 0; mode <= 3; ++mode) {
        const std::vector<ScanStep> r = scan(7, 0, mode, 50e-6, 800, [](double t) { return std::sin(2 * kPi * 50 * t); });
        EXPECT_NEAR(r.back().phase[0], expected[mode], 1e-9) << mode;
    }
}

// The linear interpolation between steps loses the same small part of the
// fundamental with and without the low-pass, whose gain and lag are
// taken back out.
TEST_F(Scanner, LowPassIsCorrectedOut) {
    for (int32_t filter : {0, 1}) {
        const std::vector<ScanStep> r =
            scan(31, filter, 0, 50e-6, 4000, [](double t) { return std::cos(2 * kPi * 50 * t); });
        EXPECT_NEAR(r.back().mag[0], 0.9999807, 1e-7) << filter;
        EXPECT_NEAR(r.back().phase[0], 0.0, 1e-5) << filter;
    }
}

// Harmonic 27 of 31 lies at the cut-off.
TEST(FourierCorrection, HarmonicAtTheCutOff) {
    std::vector<double> mag(31, 1.0), phase(31, 0.0);
    FFT_FILTER_CORRECTION(31, mag.data(), phase.data());
    EXPECT_DOUBLE_EQ(mag[26], std::sqrt(2.0));
    EXPECT_NEAR(phase[26], 1.5 * kPi - 2 * kPi, 1e-12);
    EXPECT_LT(mag[0], 1.0 + 1e-12);
}

TEST(FourierSequence, BalancedPositiveSet) {
    std::vector<double> MA{2.0}, MB{2.0}, MC{2.0}, PA{0.3}, PB{0.3 - 2 * kPi / 3}, PC{0.3 + 2 * kPi / 3};
    FFT_SEQUENCE(1, 1, MA.data(), MB.data(), MC.data(), PA.data(), PB.data(), PC.data());
    EXPECT_NEAR(MA[0], 2.0, 1e-12);
    EXPECT_NEAR(PA[0], 0.3 * 57.29577951308232, 1e-9);
    EXPECT_NEAR(MB[0], 0.0, 1e-12);
    EXPECT_NEAR(MC[0], 0.0, 1e-12);
}

TEST_F(Scanner, Stops) {
    int32_t index;
    double mag[255], phase[255], dc;
    const Captured bad_n = stopped([&] { ON_LINE_FFT(1, 0, 10, 0, 0, 50.0, 1.0, index, mag, phase, dc); });
    EXPECT_TRUE(bad_n.aborted);
    EXPECT_EQ(bad_n.out, data_error_text("Number of harmonics must be 7, 15, 31, 63, 127 or 255", "ON_LINE_FFT"));
    const Captured fast = stopped([] { scan(255, 0, 0, 50e-6, 100, [](double) { return 1.0; }); });
    EXPECT_TRUE(fast.aborted);
    EXPECT_EQ(fast.out, " ***ERROR** Sampling rate is too high for calculation time step.\n"
                        " ***ERROR**  Reduce time step in Project Settings or Reduce \n"
                        " ***ERROR** Number of Harmonics in On-Line Frequency Scanner.\n" +
                            abort_frame("ON_LINE_FFT"));
}

}  // namespace
