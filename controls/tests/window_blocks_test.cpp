// Windowed and synchronous RMS, peak and phase detectors on analytic
// signals, their data errors and their slots.
#include "controls/window/window_blocks.h"

#include <cmath>
#include <string>
#include <vector>

#include "controls/tests/elementary_support.h"
#include "controls/tests/network_fixture.h"
#include "engine/model_helpers.h"

namespace {

using ::testing::ValuesIn;

constexpr double kPi = 3.141592653589793;

std::vector<DisciplineRow> window_rows() {
    std::vector<DisciplineRow> rows;
    static double out;
    static int32_t ns, idx;
    // 8 samples per 50 Hz period at 50 us: the window of 8 fits the store.
    const SlotCounts windowed{.storf = 2 + 2 + 9, .stori = 2};
    const auto net = [](const BlockSlots&) { small_network({{1, 2}}); };
    // A sampler and window part-way through a period, and at a sample.
    const std::vector<SlotState> states{{"between", {5e-4 / 8, 1.0}, {}, {}, {3, 8}},
                                        {"atSample", {5e-4 / 8, 0.0}, {}, {}, {8, 8}}};
    add_flag_rows(rows, "SAMPLER_N", {.storf = 2, .stori = 2}, 0, states,
                  [](const FlagSet&, size_t) { SAMPLER_N(8, 2500.0, out, ns, idx); });
    add_flag_rows(rows, "RMS_WINDOW", windowed, 0, states,
                  [](const FlagSet&, size_t) { RMS_WINDOW(8, 2500.0, 0.5, 1.0, 0.1, out); });
    add_flag_rows(rows, "RMS_3PH_WINDOW", windowed, 0, states,
                  [](const FlagSet&, size_t) { RMS_3PH_WINDOW(8, 0.5, 0.1, 0.2, 2500.0, 1.0, 0.1, out); });
    rows.push_back({"RMS_NODE_V", windowed, [] { RMS_NODE_V(8, 1, 1, 2, 0, 2500.0, 1.0, 0.0, out); },
                    [net, states](const BlockSlots& s) {
                        net(s);
                        states[1].place(s);
                    }});
    rows.push_back({"SAMPLE_STORE_idle", {.storf = 2}, [] { SAMPLE_STORE(0, 0.0, 1.0, out); }});
    rows.push_back({"SAMPLE_STORE_sample", {.storf = 2}, [] { SAMPLE_STORE(3, 0.5, 1.0, out); }});
    rows.push_back({"WINDOW_MEAN", {.storf = 9}, [] { WINDOW_MEAN(8, 8, 1.0, 0.0, out); }});
    rows.push_back({"RMS_SYNC", {.stor = 10}, [] { RMS_SYNC(1.0, 0.01, 50.0, 0.0); }});
    rows.push_back({"CRMS11", {.stor = 11}, [] { CRMS11(1, 1, 0.01, 50.0, 0.0); }, net});
    rows.push_back({"CRMS_NODES", {.stor = 10}, [] { CRMS_NODES(1, 2, 1, 0.01, 50.0, 0.0); }, net});
    rows.push_back({"RMS_SYNC_V", {.stor = 10}, [] { RMS_SYNC_V(1, 0, 0, 0.01, 50.0, 0.0); }, net});
    rows.push_back({"PEAK_DETECT", {.stor = 4}, [] { PEAK_DETECT(0.5, 1.0); }});
    rows.push_back({"PHASE_DIFF_ZC", {.stor = 10}, [] { PHASE_DIFF_ZC(0.1, 30.0, 314.0, 1.0); }});
    for (int32_t mode : flag_values()) {
        rows.push_back({"PHASE_ANGLE_3PH_f" + flag_name(mode), {.storf = 11, .stori = 4},
                        [mode] { PHASE_ANGLE_3PH(1.0, mode, 1.0, -0.5, -0.5, 0.01, 50.0, out); }});
        rows.push_back({"PHASE_ANGLE_1PH_f" + flag_name(mode), {.storf = 13, .stori = 4},
                        [mode] { PHASE_ANGLE_1PH(0.0, mode, 1.0, 0.01, 50.0, out); }});
    }
    return rows;
}

INSTANTIATE_TEST_SUITE_P(Window, SlotDiscipline, ValuesIn(window_rows()), discipline_row_name);

class Windows : public RunBlockTest {
protected:
    void SetUp() override {
        RunBlockTest::SetUp();
        STORAGE.STORF.allocate(1000);
        STORAGE.STORF.fill(0.0);
    }
    static void step_of(double delt) { RUN_CLOCK.DELT = delt; }
};

TEST_F(Windows, NodeVoltageWindowFillsSampleBySampleThenHoldsTheLineVoltage) {
    small_network({});
    const double a = 3.0, w = 2.0 * kPi * 60.0;
    for (int n = 0; n <= 600; ++n) {
        begin_step(n);
        for (int k = 0; k < 3; ++k) NET.VNODE(k + 1, 1) = phase_of(a, w * n * kDelt, k);
        double out, phases;
        RMS_NODE_V(256, 1, 1, 2, 3, 60.0, 1.0, 0.0, out);
        RMS_3PH_WINDOW(256, NET.VNODE(1, 1), NET.VNODE(2, 1), NET.VNODE(3, 1), 60.0, 2.0, 0.0, phases);
        const double samples = std::min(256.0, std::floor(n * kDelt * 15360.0 + 1e-6) + 1.0);
        ASSERT_NEAR(out, std::sqrt(samples / 256.0) * a * std::sqrt(1.5), 1e-12 * a) << n;
        if (n >= 333) {
            ASSERT_NEAR(out, a * std::sqrt(1.5), 1e-12 * a) << n;
            ASSERT_NEAR(phases, 2.0 * a / std::sqrt(2.0), 1e-12 * a) << n;
        }
    }
}

// A grounded node is read as NODEVDIFF reads it: the window is the same,
// to the bit, as that of the three differences given.
TEST_F(Windows, NodeVoltageWindowWithAGroundedNodeAsOfItsDifferences) {
    small_network({});
    const double w = 2.0 * kPi * 60.0;
    for (int32_t third : {0, 3}) {
        clear_block_stores();
        for (int n = 0; n <= 300; ++n) {
            begin_step(n);
            for (int k = 0; k < 3; ++k) NET.VNODE(k + 1, 1) = phase_of(2.0, w * n * kDelt, k);
            const double va = NET.VNODE(1, 1), vb = NET.VNODE(2, 1), vc = NODEV(1, third);
            double out, given;
            RMS_NODE_V(256, 1, 1, 2, third, 60.0, 1.5, 0.2, out);
            RMS_3PH_WINDOW(256, va - vb, vb - vc, vc - va, 60.0, 1.5, 0.2, given);
            ASSERT_EQ(out, given) << third << " " << n;
        }
    }
}

// RMS_WINDOW of sin(2*pi*50*t) at step `last` of a new run.
double sine_window(double delt, int last) {
    clear_block_stores();
    RUN_CLOCK.DELT = delt;
    double out = 0.0;
    for (int n = 0; n <= last; ++n) {
        begin_step(n);
        RMS_WINDOW(256, 50.0, std::sin(2.0 * kPi * 50.0 * n * delt), 1.0, 0.0, out);
    }
    return out;
}

TEST_F(Windows, SineWindowSampledEveryStepOrInterpolated) {
    EXPECT_NEAR(sine_window(100e-6, 200), 1.0 / std::sqrt(2.0), 1e-12);
    EXPECT_NEAR(sine_window(100e-6, 777), 1.0 / std::sqrt(2.0), 1e-12);
    EXPECT_NEAR(sine_window(50e-6, 800), 0.70709229883, 1e-10);
    EXPECT_NEAR(sine_window(50e-6, 1234), 0.70709229883, 1e-10);
}

// With a sampling interval of one step, the sum of the intervals drifts a
// rounding off the step's time either way: a sample is still taken in
// every step, at its end.
TEST_F(Windows, SamplerAtTheStepSamplesInEveryStep) {
    step_of(100e-6);
    int missed = 0;
    double worst = 0.0;
    for (int n = 0; n <= 20000; ++n) {
        begin_step(n);
        double frac;
        int32_t ns, idx;
        SAMPLER_N(256, 50.0, frac, ns, idx);
        ASSERT_EQ(ns, 200);
        missed += idx == 0;
        worst = std::max(worst, std::fabs(frac));
    }
    EXPECT_EQ(missed, 0);
    EXPECT_LT(worst, 1e-6);
}

TEST_F(Windows, SynchronousRmsIsZeroForATwelfthOfAPeriodThenSettles) {
    const auto run = [](double t_in) {
        std::vector<double> y;
        for (int n = 0; n <= 12000; ++n) {
            begin_step(n);
            y.push_back(RMS_SYNC(2.0 * std::sin(2.0 * kPi * 50.0 * n * kDelt), 0.02, 50.0, t_in));
        }
        return y;
    };
    const std::vector<double> y = run(0.0);
    for (int n = 0; n * kDelt < 0.02 / 12.0; ++n) EXPECT_EQ(y[static_cast<size_t>(n)], 0.0) << n;
    for (size_t n = 10000; n < y.size(); ++n) ASSERT_NEAR(y[n], std::sqrt(2.0), 0.01 * std::sqrt(2.0)) << n;
    // A lagged input moves the crossings and the estimate with them.
    clear_block_stores();
    const double off = run(1e-3).back() / std::sqrt(2.0) - 1.0;
    EXPECT_GT(std::fabs(off), 0.02);
    EXPECT_LT(std::fabs(off), 0.04);
}

TEST_F(Windows, SynchronousRmsOfABranchAndOfNodesWithGround) {
    small_network({{1, 0}});
    std::vector<double> y;
    for (int n = 0; n <= 12000; ++n) {
        begin_step(n);
        const double v = 5.0 * std::sin(2.0 * kPi * 50.0 * n * kDelt);
        NET.VNODE(1, 1) = v;
        NET.CBR(1, 1) = v;
        y.push_back(RMS_SYNC_V(1, 0, 1, 0.02, 50.0, 0.0));
        y.push_back(CRMS11(1, 1, 0.02, 50.0, 0.0));
    }
    EXPECT_NEAR(y[y.size() - 2], 5.0 / std::sqrt(2.0), 0.05);
    EXPECT_NEAR(y.back(), 5.0 / std::sqrt(2.0), 0.05);
    EXPECT_EQ(STORAGE.STOR(start_slots().stor + 20), NET.CBR(1, 1));
}

TEST_F(Windows, PeakDetectorHoldsOffAndReportsEachPeak) {
    std::vector<double> y;
    for (int n = 0; n <= 2000; ++n) {
        begin_step(n);
        y.push_back(PEAK_DETECT(n == 0 ? 0.95 : 2.0 * std::sin(2.0 * kPi * 50.0 * n * kDelt), 1.0));
    }
    // Held at Y0 until 5 ms, then the first peak at 5 ms (sample 100).
    for (int n = 0; n < 100; ++n) EXPECT_EQ(y[static_cast<size_t>(n)], 1.0) << n;
    EXPECT_NEAR(y.back(), 2.0, 1e-3);
}

TEST_F(Windows, PhaseDifferenceOfTwoMinima) {
    const double W = 2.0 * kPi * 50.0, shift = 0.3;
    double out = 0.0;
    for (int n = 0; n <= 4000; ++n) {
        begin_step(n);
        out = PHASE_DIFF_ZC(std::sin(W * n * kDelt - shift), 0.0, W, 1.0);
    }
    EXPECT_NEAR(out, -shift, W * kDelt);
}

TEST_F(Windows, PhaseAnglesOfABalancedSetAndOfOneSignal) {
    const double w = 2.0 * kPi * 50.0, psi = 0.4;
    double three = 0.0, one = 0.0;
    for (int n = 0; n <= 6000; ++n) {
        begin_step(n);
        const double t = n * kDelt;
        PHASE_ANGLE_3PH(1.0, 0, std::cos(w * t + psi), std::cos(w * t + psi - 2 * kPi / 3),
                        std::cos(w * t + psi - 4 * kPi / 3), 0.01, 50.0, three);
        PHASE_ANGLE_1PH(0.0, 0, 2.0 * std::cos(w * t + psi), 0.01, 50.0, one);
        if (n < 1000) {
            ASSERT_NEAR(three, psi * 57.29577951308232, 1e-9) << n;
        }
    }
    EXPECT_NEAR(one, psi, 1e-5);
}

struct DataError {
    const char* name;
    std::function<void()> call;
    const char* text;
    const char* routine;
};

void PrintTo(const DataError& e, std::ostream* os) { *os << e.name; }

class WindowDataErrors : public Windows, public ::testing::WithParamInterface<DataError> {};

TEST_P(WindowDataErrors, StopTheRunOnTheFirstStepOfADataStart) {
    const DataError& e = GetParam();
    begin_step(0);
    const Captured c = stopped(e.call);
    EXPECT_TRUE(c.aborted);
    EXPECT_EQ(c.out, data_error_text(e.text, e.routine));
}

INSTANTIATE_TEST_SUITE_P(
    Errors, WindowDataErrors,
    ValuesIn(std::vector<DataError>{
        {"NoSamples", [] { double o; RMS_WINDOW(0, 50.0, 1.0, 1.0, 0.0, o); }, "Samples per period must be at least 1",
         "SAMPLER_N"},
        {"NoFrequency", [] { double o; RMS_WINDOW(16, 0.0, 1.0, 1.0, 0.0, o); },
         "Frequency of the sampled window must be positive", "SAMPLER_N"},
        {"StepTooLong", [] { double o; RMS_WINDOW(16, 1e5, 1.0, 1.0, 0.0, o); },
         "Time step is too large for the frequency of the sampled window", "SAMPLER_N"},
        {"IndexOutsideTheWindow", [] { double o; WINDOW_MEAN(9, 8, 1.0, 0.0, o); }, "Sample index lies outside the window",
         "WINDOW_MEAN"},
        {"WindowLargerThanTheStore", [] { double o; WINDOW_MEAN(0, 5000, 1.0, 0.0, o); },
         "The window needs more samples than its store can hold", "WINDOW_MEAN"},
        {"PhaseWithoutFrequency", [] { double o; PHASE_ANGLE_1PH(0.0, 0, 1.0, 0.01, -50.0, o); },
         "Frequency must be positive", "PHASE_ANGLE_"},
    }),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
