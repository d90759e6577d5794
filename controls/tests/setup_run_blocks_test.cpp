// Set-up/run pairs, the rate limiter and the relation test, and the delays
// on STOR beside their twins on the run-time constants: constants as
// the set-ups store them, waveforms, delays over long runs, surges, the
// set-ups' data errors and the slot discipline.
#include <algorithm>
#include <cmath>

#include "controls/elementary/setup_run_blocks.h"
#include "controls/elementary/store_blocks.h"
#include "controls/tests/elementary_support.h"

namespace {

class SetupRun : public BlockTest {};

double ramp(int step) { return step - 1.0; }

// Every pair set up in the begin pass and run for 1,000 steps: the
// constants lie in the order of the set-ups, and each run part reads its own.
TEST_F(SetupRun, PairsReadBackTheConstantsOfTheBeginPass) {
    const ModuleRun r = run_module(
        1000,
        [] {
            SAWTOOTH(2.0, -1.0);
            COUNTER(1, 4, 1);
            RAMP(1.0, 3.0, 2.0, 6.0);
            SURGE(1.0, 2.0, 4.0, 8.0, 2.0);
            DELAY_SETUP(0, 9, 2.0 * kDelt);
            DELAY_SETUP_B(5, 9, 1, 2.6 * kDelt, 7.0);
            TXFER_FUNC(1.0, 2.0, 3.0, 6.0, 0.5, 0.25);
            SURGE_IEEE1(2, 0, 0, 0, 3.0, 1e-6);
            SURGE_FRONT_TAIL(5.0, 50.0, 4.0, 10.0, 0.0);
        },
        [](int) {
            double y[8];
            int32_t n;
            TRIANGLE_WAVE(50.0, y[0]);
            COUNTER_RUN(1, 0, 2, n);
            RAMP_RUN(2.0, y[1]);
            SURGE_RUN(5.0, y[2]);
            DELAY_RUN(1.0, y[3]);
            DELAY_RUN_B(1.0, y[4]);
            TXFER_FUNC_RUN(2.0, y[5]);
            SURGE_IEEE1_RUN(y[6]);
            SURGE_FRONT_TAIL_RUN(y[7]);
            return y[1] + y[2] + y[5];
        });
    EXPECT_EQ(r.console.out, "");
    EXPECT_EQ(r.out.back(), 4.0 + 1.5 + 4.0);
    const std::vector<double> rtcf{
        2, -1,                                  // triangle
        1, 3, 2, 6, 2,                          // ramp
        2, -0.5, -2, 4, 1, 2, 4, 8, 2,          // surge
        kDelt, 1.3 * kDelt, 7,                  // delays
        1, 2, 3, 6, 0.5, 0.25, 2,               // transfer function
        0.0866, 0.1732, 4, 3, 1e-6,             // standard surge
        0.875, 3.96, 6, 5.76, 63.824828608927746, 0.2, 10.031434269352507, 1.0314342693525052, 0};
    for (size_t k = 0; k < rtcf.size(); ++k) EXPECT_NEAR(STORAGE.RTCF(1 + k), rtcf[k], 1e-12 * std::fabs(rtcf[k])) << k;
    for (const auto& [k, v] : std::vector<std::pair<int, int32_t>>{{1, 1}, {2, 4}, {3, 1}, {4, 2}, {5, 2}, {6, 1}})
        EXPECT_EQ(STORAGE.RTCI(k), v) << k;
    for (const auto& [k, v] : std::vector<std::pair<int, Logical>>{{1, LTRUE}, {2, LTRUE}, {3, LTRUE}, {4, LFALSE}, {5, LTRUE}})
        EXPECT_EQ(STORAGE.RTCL(k), v) << k;
}

TEST_F(SetupRun, TriangleTurnsAtItsBounds) {
    const ModuleRun r = run_module(9, [] { SAWTOOTH(1.01, 0.0); }, [](int) {
        double y;
        TRIANGLE_WAVE(3600.0, y);
        return y;
    });
    const std::vector<double> want{0.505, 0.8686, 0.7878, 0.4242, 0.0606, 0.303, 0.6666, 0.9898, 0.6262};
    for (size_t k = 0; k < want.size(); ++k) EXPECT_NEAR(r.out[k], want[k], 1e-12) << k;
    EXPECT_EQ(STORAGE.STORI(1), -1);
}

TEST_F(SetupRun, CounterWrapsOrStopsAndResetsWithinItsRange) {
    const auto count = [](int32_t wrap, int32_t reset_at, int32_t reset_value) {
        return run_module(6, [wrap] { COUNTER(0, 3, wrap); }, [=](int k) {
                   int32_t n;
                   COUNTER_RUN(1, k == reset_at ? 1 : 0, reset_value, n);
                   return double(n);
               }).out;
    };
    EXPECT_EQ(count(1, 0, 2), (std::vector<double>{3, 0, 1, 2, 3, 0}));
    EXPECT_EQ(count(0, 0, 2), (std::vector<double>{3, 3, 3, 3, 3, 3}));
    EXPECT_EQ(count(0, 4, 9), (std::vector<double>{3, 3, 3, 3, 3, 3}));
    EXPECT_EQ(count(1, 3, -5), (std::vector<double>{-4, -3, 0, 1, 2, 3}));
}

TEST_F(SetupRun, PiecewiseShapesMeetTheirCorners) {
    const auto shape = [](const std::function<void()>& setup, const std::function<void(double, double&)>& run,
                          const std::vector<double>& xs) {
        std::vector<double> ys;
        for (double x : xs) {
            RESETPTRS();
            setup();
            RESETPTRS();
            double y;
            run(x, y);
            ys.push_back(y);
        }
        return ys;
    };
    EXPECT_EQ(shape([] { RAMP(1.0, 3.0, 2.0, 6.0); }, RAMP_RUN, {0.5, 1.0, 2.0, 3.0, 4.0}),
              (std::vector<double>{2, 2, 4, 6, 6}));
    EXPECT_EQ(shape([] { SURGE(1.0, 1.0, 4.0, 6.0, 2.0); }, SURGE_RUN, {1.0, 1.0 + 1e-9, 4.0, 5.0, 6.0, 7.0}),
              (std::vector<double>{0, 2, 2, 1, 0, 0}));
    EXPECT_EQ(shape([] { TXFER_FUNC(1.0, 2.0, 3.0, 6.0, 0.5, 0.25); }, TXFER_FUNC_RUN, {0.0, 1.0, 2.0, 3.0, 7.0}),
              (std::vector<double>{1.5, 2, 4, 6, 7}));
}

TEST_F(SetupRun, RampWithEqualOutputsOnlyWarns) {
    const Captured c = capture([] { RAMP(0.0, 1.0, 2.0, 2.0); });
    EXPECT_FALSE(c.aborted);
    EXPECT_EQ(c.out, " ***WARN*** Outputs at the begining and at the end of ramp are the same.\n");
}

TEST_F(SetupRun, RateLimiterAndRelationTest) {
    RUN_CLOCK.DELT = 1e-3;
    const std::vector<double> y = outputs(4, [](int k) {
        double out;
        RATE_LIMIT_F(-2.0, 1.0, k == 1 ? 0.0 : k < 4 ? 1.0 : -1.0, out);
        return out;
    });
    EXPECT_EQ(y[0], 0.0);
    EXPECT_DOUBLE_EQ(y[1], 0.002);
    EXPECT_DOUBLE_EQ(y[3], 0.003);
    for (const auto& [code, a, b, want] : std::vector<std::tuple<int32_t, double, double, int32_t>>{
             {1, 1, 2, 1}, {1, 2, 2, 0}, {2, 2, 2, 1}, {3, 3, 2, 1}, {4, 2, 2, 1}, {4, 1, 2, 0}, {5, 1, 2, 0}}) {
        int32_t r = -1;
        ON_OFF_COMPARE(code, a, b, r);
        EXPECT_EQ(r, want) << code << " " << a << " " << b;
    }
}

// The delays on STOR and on the run-time constants, three steps on the
// ramp 0, 1, 2, ..., for 100,000 steps at 50 us and at 1 us.
TEST_F(SetupRun, DelaysGiveTheInputThreeStepsEarlier) {
    for (const double dt : {50e-6, 1e-6}) {
        reset_block_stores();
        RUN_CLOCK.DELT = dt;
        std::vector<double> on_rtc;
        const ModuleRun r = run_module(100000, [dt] { DELAY_SETUP(0, 10, 3 * dt); }, [&](int k) {
            double y;
            DELAY_RUN(ramp(k), y);
            on_rtc.push_back(y);
            return DELAY_STOR(3 * dt, 10, ramp(k));
        });
        int wrong = 0;
        for (int k = 1; k <= 100000; ++k) {
            const double want = std::max(0.0, ramp(k) - 3.0);
            wrong += (r.out[k - 1] != want) + (on_rtc[k - 1] != want);
        }
        EXPECT_EQ(wrong, 0) << dt;
    }
}

// At 30 us a delay of five steps samples every 30 us plus a rounding:
// each sum of the intervals lies a hair after its step, and each delay
// still gives the input five steps earlier, with and without
// interpolation.
TEST_F(SetupRun, DelaysWhoseIntervalRoundsAboveTheStep) {
    const double dt = 30e-6, T = 5 * dt;
    ASSERT_GT(T / 5, dt);
    RUN_CLOCK.DELT = dt;
    std::vector<double> worst(6, 0.0);
    run_module(
        2000,
        [T] {
            DELAY_SETUP(0, 10, T);
            DELAY_SETUP(1, 10, T);
            DELAY_SETUP_B(0, 10, 0, T, 0.0);
            DELAY_SETUP_B(1, 10, 0, T, 0.0);
        },
        [&](int k) {
            double y[6];
            DELAY_RUN(ramp(k), y[0]);
            DELAY_RUN(ramp(k), y[1]);
            DELAY_RUN_B(ramp(k), y[2]);
            DELAY_RUN_B(ramp(k), y[3]);
            y[4] = DELAY_STOR(T, 10, ramp(k));
            y[5] = DELAY_STOR_INTERP(T, 10, ramp(k));
            for (int j = 0; j < 6; ++j) worst[j] = std::max(worst[j], std::fabs(y[j] - std::max(0.0, ramp(k) - 5.0)));
            return 0.0;
        });
    for (int j = 0; j < 6; ++j) EXPECT_LT(worst[j], 1e-9) << j;
}

TEST_F(SetupRun, SecondDelayStartsFromItsInitialValue) {
    const ModuleRun r = run_module(7, [] { DELAY_SETUP_B(0, 10, 1, 3 * kDelt, 7.0); }, [](int k) {
        double y;
        DELAY_RUN_B(ramp(k) + (k > 1), y);
        return y;
    });
    EXPECT_EQ(r.out, (std::vector<double>{7, 7, 7, 7, 1 + 1, 2 + 1, 3 + 1}));
    const ModuleRun short_one = run_module(3, [] { DELAY_SETUP_B(1, 10, 0, 0.4 * kDelt, 7.0); }, [](int k) {
        double y;
        DELAY_RUN_B(ramp(k), y);
        return y;
    });
    EXPECT_EQ(short_one.out, (std::vector<double>{0, 1, 2}));
}

// The three interpolating delays of 2.6 steps stay within 1.5 of the ramp
// 2.6 steps back.
TEST_F(SetupRun, InterpolatingDelaysStayWithTheRamp) {
    const ModuleRun r = run_module(
        4000,
        [] {
            DELAY_SETUP(1, 10, 2.6 * kDelt);
            DELAY_SETUP_B(1, 10, 0, 2.6 * kDelt, 0.0);
        },
        [](int k) {
            double a, b;
            DELAY_RUN(ramp(k), a);
            DELAY_RUN_B(ramp(k), b);
            const double c = DELAY_STOR_INTERP(2.6 * kDelt, 10, ramp(k));
            const double want = ramp(k) - 2.6;
            return k < 10 ? 0.0 : std::max({std::fabs(a - want), std::fabs(b - want), std::fabs(c - want)});
        });
    EXPECT_LT(*std::max_element(r.out.begin(), r.out.end()), 1.5);
}

// Set-up, then the run part alone at the given time (DELT 1 us).
double surge_at(const std::function<void()>& setup, const std::function<void(double&)>& run, double time) {
    RUN_CLOCK.DELT = 1e-6;
    RESETPTRS();
    setup();
    RESETPTRS();
    RUN_CLOCK.TIME = time;
    double y;
    run(y);
    return y;
}

// Shape 1 from its start, nothing in the first half step; then a 1.2/50 us
// surge from its front and half-value times, peaking at 1.
TEST_F(SetupRun, DoubleExponentialSurges) {
    const auto code1 = [] { SURGE_IEEE1(1, 0, 0, 0, 1.0, 0.0); };
    EXPECT_NEAR(surge_at(code1, SURGE_IEEE1_RUN, 1e-6), 0.9573061473648962, 1e-15);
    EXPECT_EQ(surge_at(code1, SURGE_IEEE1_RUN, 0.49e-6), 0.0);
    const auto setup = [] { SURGE_IEEE1(-2, 0, 1.2, 50.0, 1.0, 0.0); };
    EXPECT_EQ(surge_at(setup, SURGE_IEEE1_RUN, 0.0), 0.0);
    EXPECT_DOUBLE_EQ(STORAGE.RTCF(3), 1.0378943243013348);
    EXPECT_NEAR(surge_at(setup, SURGE_IEEE1_RUN, 2.2447235754e-6), 1.0, 1e-15);
    EXPECT_NEAR(surge_at(setup, SURGE_IEEE1_RUN, 50e-6), 0.5189456990, 1e-10);
}

TEST_F(SetupRun, FrontAndTailMeetWithPeakShareAndSlope) {
    const auto setup = [] { SURGE_FRONT_TAIL(5.0, 50.0, 4.0, 10.0, 0.0); };
    const auto at = [&](double us) { return surge_at(setup, SURGE_FRONT_TAIL_RUN, us * 1e-6); };
    EXPECT_NEAR(at(1), 0.8751084327, 1e-10);
    const double tn = 5.76, h = 1e-7;
    EXPECT_NEAR(at(tn - 1e-9), 9.0, 1e-7);
    EXPECT_NEAR(at(tn), 9.0, 1e-12);
    EXPECT_NEAR((at(tn) - at(tn - h)) / h, 5.0, 1e-4);
    EXPECT_NEAR((at(tn + h) - at(tn)) / h, 5.0, 1e-4);
    EXPECT_NEAR(at(10), 9.3866809304, 1e-10);
    EXPECT_NEAR(at(50), 5.0157171347, 1e-10);
    // Steepness times front time equal to the peak: a straight front.
    const auto straight = [] { SURGE_FRONT_TAIL(2.5, 50.0, 4.0, 10.0, 0.0); };
    for (const double us : {1.0, 2.0, 3.0, 3.5})
        EXPECT_NEAR(surge_at(straight, SURGE_FRONT_TAIL_RUN, us * 1e-6), 2.5 * us, 1e-9) << us;
}

TEST_F(SetupRun, FrontAndTailWithLowParametersWarnsAndGivesZero) {
    const Captured c = capture([] { SURGE_FRONT_TAIL(0.0, 50.0, 4.0, 10.0, 0.0); });
    EXPECT_EQ(c.out, " ***WARN*** Specified parameters are unrealistically low. Output is set to zero.\n");
    EXPECT_EQ(surge_at([] { capture([] { SURGE_FRONT_TAIL(5.0, 50.0, 4.0, 1e-7, 0.0); }); },
                       SURGE_FRONT_TAIL_RUN, 20e-6),
              0.0);
}

struct StopCase {
    const char* name;
    std::function<void()> call;
    std::string out;
};

void PrintTo(const StopCase& c, std::ostream* os) { *os << c.name; }

class SetupErrors : public SetupRun, public ::testing::WithParamInterface<StopCase> {};

TEST_P(SetupErrors, StopTheRunWithTheirMessages) {
    const StopCase& c = GetParam();
    const Captured r = capture(c.call);
    EXPECT_TRUE(r.aborted);
    EXPECT_EQ(r.out, c.out);
}

StopCase stop(const char* name, std::function<void()> call, const std::string& text, const std::string& routine) {
    return {name, std::move(call), data_error_text(text, routine)};
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SetupErrors,
    ::testing::Values(
        stop("Sawtooth", [] { SAWTOOTH(1.0, 1.0); }, "Maximum must be greater than minimum", "SAWTOOTH"),
        stop("Counter", [] { COUNTER(3, 3, 0); }, "Lower value must be less than upper value.", "COUNTER"),
        stop("Ramp", [] { RAMP(2.0, 2.0, 0.0, 1.0); }, "Start of ramp should be less than saturating input", "RAMP"),
        StopCase{"SurgeAllChecks", [] { SURGE(3.0, 2.0, 1.0, 0.0, 1.0); },
                 " ***ERROR** X1 Cannot be greater than X2\n ***ERROR** X2 Cannot be greater than X3\n"
                 " ***ERROR** X3 Cannot be greater than X4\n ***ERROR** X1 must be less than X4\n" +
                     abort_frame("SURGE")},
        stop("TransferFunction", [] { TXFER_FUNC(2.0, 0.0, 1.0, 0.0, 0.0, 0.0); },
             "Upper threshold cannot be less than lower threshold.", "TXFER_FUNC"),
        stop("DelayNegative", [] { DELAY_SETUP(0, -1, 3 * kDelt); },
             "The delay time and the sample limit must not be negative.", "DELAY_SETUP"),
        stop("DelayBNegative", [] { DELAY_SETUP_B(1, 5, 0, -3 * kDelt, 0.0); },
             "The delay time and the sample limit must not be negative.", "DELAY_SETUP_"),
        stop("DelayRingOfAnotherCase",
             [] {
                 RESETPTRS();
                 DELAY_SETUP(0, 5, 3 * kDelt);
                 RESETPTRS();
                 STORAGE.STORI(1) = 40;
                 double y;
                 DELAY_RUN(1.0, y);
             },
             "The stored position of the delay buffer lies outside the buffer.", "DELAY_RUN"),
        stop("IeeeEqualRates", [] { SURGE_IEEE1(-1, 0, 0.5, 0.5, 1.0, 0.0); },
             "The Alpha and Beta values should be different", "SURGE_IEEE1"),
        stop("IeeeNegativeRate", [] { SURGE_IEEE1(-1, 0, -0.5, 0.5, 1.0, 0.0); },
             "The Alpha and Beta values should be greater than zero", "SURGE_IEEE1"),
        stop("IeeeNoFront", [] { SURGE_IEEE1(-2, 0, 0.0, 50.0, 1.0, 0.0); },
             "The Wavefront time should be greater than zero", "SURGE_IEEE1"),
        stop("IeeeNoTail", [] { SURGE_IEEE1(-2, 1, 1.2, 0.0, 1.0, 0.0); },
             "The time to half value should be greater than zero", "SURGE_IEEE1"),
        stop("IeeeFrontEqualsTail", [] { SURGE_IEEE1(-2, 0, 2.74653, 0.69315, 1.0, 0.0); },
             "The Alpha and Beta values should be different", "SURGE_IEEE1"),
        stop("FrontTailNoFront", [] { SURGE_FRONT_TAIL(5.0, 50.0, 0.0, 10.0, 0.0); },
             "The front time should be greater than zero.", "SURGE_FRONT_"),
        stop("FrontTailNegativePeak", [] { SURGE_FRONT_TAIL(5.0, 50.0, 4.0, -10.0, 0.0); },
             "The peak value should not be negative.", "SURGE_FRONT_"),
        stop("FrontTailSteepFront", [] { SURGE_FRONT_TAIL(5.0, 50.0, 0.4, 10.0, 0.0); },
             "The front is too short for this steepness and peak.", "SURGE_FRONT_"),
        stop("FrontTailShortTail", [] { SURGE_FRONT_TAIL(5.0, 5.0, 4.0, 10.0, 0.0); },
             "The time to half value should be greater than the front time.", "SURGE_FRONT_"),
        // A half-value time whose tail time constant equals the front's 0.1 I/S
        // to the last bit.
        stop("FrontTailEqualTimeConstants", [] { SURGE_FRONT_TAIL(4.0, 1.2039860385419958, 1.0, 3.0, 0.0); },
             "The tail and the front time constants must differ.", "SURGE_FRONT_")),
    [](const auto& info) { return std::string(info.param.name); });

std::vector<DisciplineRow> setup_run_rows() {
    const auto delay = [](int32_t n, int32_t interpolate, double h, bool second_form = false) {
        return [=](const BlockSlots& s) {
            s.RF(0) = h;
            s.RI(0) = n;
            s.RL(0) = as_logical(interpolate != 0);
            s.I(0) = s.storf + 1;
            if (!second_form) return;
            s.RI(1) = 0;
            s.I(1) = 1;
        };
    };
    const auto constants = [](std::vector<double> v) {
        return [v](const BlockSlots& s) {
            for (size_t k = 0; k < v.size(); ++k) s.RF(k) = v[k];
        };
    };
    const auto warn = [](std::function<void()> f) { return [f] { capture(f); }; };
    double y = 0.0;
    std::vector<DisciplineRow> rows{
        {"SAWTOOTH", {.rtcf = 2}, [] { SAWTOOTH(1.0, 0.0); }},
        {"TRIANGLE_WAVE", {.storf = 1, .stori = 1, .rtcf = 2}, [y]() mutable { TRIANGLE_WAVE(50.0, y); },
         constants({1.0, 0.0})},
        {"COUNTER", {.rtci = 3}, [] { COUNTER(0, 5, 1); }},
        {"RAMP", {.rtcf = 5}, warn([] { RAMP(0.0, 1.0, 1.0, 1.0); })},
        {"RAMP_RUN", {.rtcf = 5}, [y]() mutable { RAMP_RUN(0.5, y); }, constants({0, 1, 0, 1, 1})},
        {"SURGE", {.rtcf = 9, .rtcl = 3}, [] { SURGE(0.0, 0.0, 1.0, 1.0, 1.0); }},
        {"SURGE_RUN", {.rtcf = 9, .rtcl = 3}, [y]() mutable { SURGE_RUN(0.5, y); }},
        {"DELAY_RUN", {.storf = 4, .stori = 1, .rtcf = 1, .rtci = 1, .rtcl = 1}, [y]() mutable { DELAY_RUN(1.0, y); },
         delay(3, 0, kDelt)},
        {"DELAY_RUN_interpolating", {.storf = 5, .stori = 1, .rtcf = 1, .rtci = 1, .rtcl = 1},
         [y]() mutable { DELAY_RUN(1.0, y); }, delay(3, 1, kDelt)},
        {"DELAY_RUN_no_samples", {.storf = 2, .stori = 1, .rtcf = 1, .rtci = 1, .rtcl = 1},
         [y]() mutable { DELAY_RUN(1.0, y); }, delay(0, 0, 0.0)},
        {"DELAY_RUN_B", {.storf = 4, .stori = 2, .rtcf = 2, .rtci = 2, .rtcl = 1}, [y]() mutable { DELAY_RUN_B(1.0, y); },
         delay(3, 0, kDelt, true)},
        {"DELAY_RUN_B_interpolating", {.storf = 5, .stori = 2, .rtcf = 2, .rtci = 2, .rtcl = 1},
         [y]() mutable { DELAY_RUN_B(1.0, y); }, delay(3, 1, kDelt, true)},
        {"TXFER_FUNC", {.rtcf = 7}, [] { TXFER_FUNC(0.0, 0.0, 1.0, 1.0, 0.0, 0.0); }},
        {"TXFER_FUNC_RUN", {.rtcf = 7}, [y]() mutable { TXFER_FUNC_RUN(0.5, y); }},
        {"SURGE_IEEE1", {.rtcf = 5}, [] { SURGE_IEEE1(-2, 0, 1.2, 50.0, 1.0, 0.0); }},
        {"SURGE_IEEE1_RUN", {.rtcf = 5}, [y]() mutable { SURGE_IEEE1_RUN(y); }, constants({0.01, 2, 1, 1, 0})},
        {"SURGE_FRONT_TAIL", {.rtcf = 9}, [] { SURGE_FRONT_TAIL(5.0, 50.0, 4.0, 10.0, 0.0); }},
        {"SURGE_FRONT_TAIL_low", {.rtcf = 9}, warn([] { SURGE_FRONT_TAIL(0.0, 50.0, 4.0, 10.0, 0.0); })},
        {"SURGE_FRONT_TAIL_RUN", {.rtcf = 9}, [y]() mutable { SURGE_FRONT_TAIL_RUN(y); },
         constants({1, 1, 2, 1, 10, 1, 1, 1, 0})},
        {"RATE_LIMIT_F", {.storf = 1}, [y]() mutable { RATE_LIMIT_F(1.0, 1.0, 1.0, y); }},
    };
    add_flag_rows(rows, "COUNTER_RUN", {.stori = 1, .rtci = 3}, 2, {{"at_top", {}, {}, {}, {5}, {0, 5, 1}}},
                  [](const FlagSet& f, size_t) {
                      int32_t out;
                      COUNTER_RUN(f[0], f[1], 2, out);
                  });
    add_flag_rows(rows, "DELAY_SETUP", {.rtcf = 1, .rtci = 1, .rtcl = 1}, 1, {{"none"}},
                  [](const FlagSet& f, size_t) { DELAY_SETUP(f[0], 4, 3 * kDelt); });
    add_flag_rows(rows, "DELAY_SETUP_B", {.rtcf = 2, .rtci = 2, .rtcl = 1}, 2, {{"none"}},
                  [](const FlagSet& f, size_t) { DELAY_SETUP_B(f[0], 4, f[1], 3 * kDelt, 2.0); });
    add_flag_rows(rows, "ON_OFF_COMPARE", {}, 1, {{"none"}}, [](const FlagSet& f, size_t) {
        int32_t r;
        ON_OFF_COMPARE(f[0], 1.0, 2.0, r);
    });
    return rows;
}

INSTANTIATE_TEST_SUITE_P(SetupRunBlocks, SlotDiscipline, ::testing::ValuesIn(setup_run_rows()), discipline_row_name);

}  // namespace
