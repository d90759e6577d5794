// The elementary blocks on STOR: exact responses, the delays over long
// runs, the harmonic generator's notices and waveforms, data errors and the
// slot discipline.
#include <cmath>

#include "controls/elementary/store_blocks.h"
#include "controls/tests/elementary_support.h"

namespace {

// X 0 on the first step, then 1.
double unit_step(int step) { return step == 1 ? 0.0 : 1.0; }
double ramp(int step) { return step - 1.0; }

class StoreBlocks : public BlockTest {};

// X 0 on the first step, then 1: the trapezoidal form at 6 steps, the
// exact step response at 4, and no lag at all at 0.
TEST_F(StoreBlocks, SmoothLagFollowsAUnitStep) {
    const auto lag = [](double G, double T_steps) {
        return outputs(41, [=](int k) { return SMOOTH_LAG(G, T_steps * kDelt, unit_step(k)); });
    };
    const double k = 1.0 / 12, rho = (1 - k) / (1 + k);
    const std::vector<double> trap = lag(1.0, 6.0), exact = lag(1.0, 4.0), none = lag(2.0, 0.0);
    EXPECT_EQ(trap[0], 0.0);
    EXPECT_NEAR(trap[1], 1.0 / 13, 1e-16);
    EXPECT_NEAR(trap[2], 0.21893491124260356, 1e-16);
    EXPECT_NEAR(trap[10], 0.7947506032273106, 1e-15);
    EXPECT_NEAR(trap[40], 1.0 - std::pow(rho, 39) / (1 + k), 1e-15);
    for (const int n : {1, 7, 40}) EXPECT_NEAR(exact[n], 1.0 - std::exp(-n / 4.0), 1e-15) << n;
    EXPECT_EQ(none[1], 2.0);
}

TEST_F(StoreBlocks, LeadLagRespondsToAUnitStep) {
    const std::vector<double> y = outputs(21, [](int k) { return LEAD_LAG_STOR(2e-3, 1e-3, 1.0, unit_step(k)); });
    EXPECT_EQ(y[0], 0.0);
    EXPECT_DOUBLE_EQ(y[1], 2.0);
    EXPECT_DOUBLE_EQ(y[2], 1.975);
    EXPECT_DOUBLE_EQ(y[3], 1.925625);
    EXPECT_NEAR(y[20], 1.377764068958126, 1e-14);
}

// Low-pass on a unit step; band stop on a sine at its own frequency.
TEST_F(StoreBlocks, StateVariableFilterKeepsItsSevenDigitConstants) {
    const double w = 2 * M_PI * 100;
    const std::vector<double> y = outputs(101, [w](int k) { return STATE_VAR_FILTER(1, 1.0, 0.7, w, unit_step(k)); });
    EXPECT_EQ(std::make_pair(y[1], y[2]), std::make_pair(0.0, 0.0));
    EXPECT_NEAR(y[3], 4.3864912835777e-4, 1e-16);
    EXPECT_NEAR(y[10], 0.0261094888629, 1e-13);
    EXPECT_NEAR(y[100], 0.972646818066, 1e-12);
    const std::vector<double> stop =
        outputs(4000, [w](int) { return STATE_VAR_FILTER(5, 1.0, 0.7, w, std::sin(w * RUN_CLOCK.TIME)); });
    for (size_t k = 3000; k < stop.size(); ++k) ASSERT_LT(std::fabs(stop[k]), 0.05) << k;
}

TEST_F(StoreBlocks, WashoutOfAConstantIsZeroAndDerivativeStartsAtZero) {
    for (double v : outputs(10, [](int) { return WASHOUT_STOR(1e-3, 3.0); })) EXPECT_NEAR(v, 0.0, 1e-14);
    const std::vector<double> d = outputs(3, [](int k) { return DERIV_STOR(2.0, ramp(k)); });
    EXPECT_EQ(d, (std::vector<double>{0.0, 2.0 / kDelt, 2.0 / kDelt}));
}

// A jump of 1 at 1 per second and 1 ms steps comes out as a ramp; a
// negative rate counts by its magnitude.
TEST_F(StoreBlocks, RateLimitRampsAJumpAtEitherSignOfItsRates) {
    RUN_CLOCK.DELT = 1e-3;
    for (const double fall : {1.0, -1.0}) {
        const std::vector<double> y = outputs(6, [fall](int k) { return RATE_LIMIT(-1.0, fall, k < 4 ? 1.0 : 0.0); });
        EXPECT_NEAR(y[1], 1.0, 1e-15);
        EXPECT_NEAR(y[3], 0.999, 1e-12);
        EXPECT_NEAR(y[5], 0.997, 1e-12);
    }
}

TEST_F(StoreBlocks, SampleHoldTakesANewSampleEveryTenSteps) {
    RUN_CLOCK.DELT = 1e-4;
    const std::vector<double> y = outputs(25, [](int k) { return SAMPLE_HOLD(1e-3, ramp(k)); });
    EXPECT_EQ(y[9], 0.0);
    EXPECT_EQ(y[10], 10.0);
    EXPECT_EQ(y[19], 10.0);
    EXPECT_EQ(y[20], 20.0);
}

TEST_F(StoreBlocks, IntegratorAndPiStayWithinTheirLimits) {
    EXPECT_EQ(outputs(3, [](int) { return INTEGRATOR_TRAP(0.5, 2.0, 1.0, 1e-3, 1.0); }),
              (std::vector<double>{2.0, 2.0, 2.0}));
    // 1 ms, X 1: initial 0.5, then 0.5 + 0.05 per step; Kp 2 on top.
    const std::vector<double> y = outputs(3, [](int) { return PI_TRAP(2.0, 1e-3, -10.0, 2.6, 0.5, 1.0); });
    EXPECT_DOUBLE_EQ(y[0], 2.5);
    EXPECT_DOUBLE_EQ(y[1], 2.55);
    EXPECT_DOUBLE_EQ(y[2], 2.6);
}

TEST_F(StoreBlocks, TriggerPulseStartsOnTheStepItIsArmed) {
    // Trigger B >= A from step 3 to 12; pulse of 4 steps after 2 steps.
    const std::vector<double> y = outputs(16, [](int k) {
        return TRIGGER_PULSE_STOR(2 * kDelt, 4 * kDelt, 1.0, (k >= 3 && k <= 12) ? 1.0 : 0.0, -1.0, 5.0);
    });
    const std::vector<double> want{-1, -1, -1, -1, 5, 5, 5, 5, 5, 5, 5, 5, -1, -1, -1, -1};
    EXPECT_EQ(y, want);
    EXPECT_EQ(outputs(2, [](int) { return TRIGGER_PULSE_STOR(0.0, 2 * kDelt, 0.0, 0.0, 0.0, 1.0); }),
              (std::vector<double>{1.0, 1.0}));
}

TEST_F(StoreBlocks, DelaysWithoutSamplesOrWithAForeignRingStopTheRun) {
    const std::string few = "The delay needs at least one sample: check the delay time and the sample limit.";
    const std::string ring = "The stored position of the delay buffer lies outside the buffer.";
    const std::vector<std::tuple<std::function<void()>, std::string, std::string>> cases{
        {[] { DELAY_STOR(0.4 * kDelt, 5, 1.0); }, few, "DELAY_STOR"},
        {[] { DELAY_STOR(3 * kDelt, 0, 1.0); }, few, "DELAY_STOR"},
        {[] { DELAY_STOR_INTERP(0.9 * kDelt, 5, 1.0); }, few, "DELAY_STOR_I"},
        {[] { DELAY_STOR(1e9, INT32_MAX, 1.0); }, "The delay needs more samples than its store can hold.", "DELAY_STOR"},
        {[] {
             STORAGE.STOR(kStartSlots.stor + 1) = 3.0;
             DELAY_STOR(3 * kDelt, 5, 1.0);
         },
         ring, "DELAY_STOR"},
        {[] {
             STORAGE.STOR(kStartSlots.stor + 1) = kStartSlots.stor + 6.0;
             DELAY_STOR_INTERP(3 * kDelt, 5, 1.0);
         },
         ring, "DELAY_STOR_I"},
    };
    for (const auto& [call, text, routine] : cases) {
        reset_block_stores();
        const Captured r = capture(call);
        EXPECT_TRUE(r.aborted);
        EXPECT_EQ(r.out, data_error_text(text, routine));
    }
}

// Harmonic generator type 3 on 50 Hz, N 1, rise 2 and hold 3 cycles from 10 ms.
TEST_F(StoreBlocks, HarmonicGeneratorDescribesItselfOnce) {
    const ModuleRun r = run_module(3, nullptr, [](int) { return SGEN11(3, 1.0, 50.0, 1, 2, 3, 0.01); });
    EXPECT_EQ(r.console.out,
              "\n"
              " ****  3 HARMONIC FUNCTION GENERATOR BASED ON F =  50.00     ****\n"
              " AND STARTING AT F =  50.00     HERTZ.\n"
              " **** EACH HARMONIC HAS AN AMPLITUDE OF  0.4576    \n"
              "  3 PERIODS OF  0.2000E-01SECS START AT TIME = 0.5000E-01\n");
}

// 50 Hz with no rise: the harmonics 1 to 3 for 3 cycles, 2 and 3 (lowest
// harmonic 2) for 4 cycles of 100 Hz, and a sine of 2 for 2 cycles; 0 after them.
TEST_F(StoreBlocks, HarmonicGeneratorWaveforms) {
    struct Wave {
        int32_t type, N, hold;
        double amplitude, tolerance;
        std::function<double(double wt)> want;
    };
    const double sum3 = 1.0 / (0.7285 * 3), sum2 = 1.0 / (0.7285 * 2);
    for (const Wave& w : std::vector<Wave>{
             {3, 1, 3, 1.0, 1e-5, [=](double a) { return sum3 * (std::sin(a) + std::sin(2 * a) + std::sin(3 * a)); }},
             {3, 2, 4, 1.0, 1e-5, [=](double a) { return sum2 * (std::sin(2 * a) + std::sin(3 * a)); }},
             {1, 1, 2, 2.0, 1e-12, [](double a) { return 2.0 * std::sin(a); }}}) {
        const std::vector<double> y = outputs(1700, [&](int) { return SGEN11(w.type, w.amplitude, 50.0, w.N, 0, w.hold, 0.0); });
        for (int k = 2; k <= 1700; ++k) {
            const double t = (k - 1) * kDelt;
            ASSERT_NEAR(y[k - 1], t <= w.hold * 0.02 / w.N + 1e-9 ? w.want(2 * M_PI * 50 * t) : 0.0, w.tolerance)
                << "type " << w.type << " step " << k;
        }
    }
}

TEST_F(StoreBlocks, HarmonicGeneratorWithBadDataWarnsOnceAndGivesZero) {
    const ModuleRun r = run_module(5, nullptr, [](int) { return SGEN11(3, 1.0, -50.0, 1, 0, 3, 0.0); });
    EXPECT_EQ(r.console.out,
              " **** YOU HAVE A MISTAKE IN THE SGEN11 ARGUMENTS! ****\n"
              "      SGEN11 IS THEREFORE INOPERATIVE FOR THIS CASE\n"
              "\n"
              " **** EXECUTION CONTINUING ****\n"
              "\n");
    for (double v : r.out) EXPECT_EQ(v, 0.0);
}

std::vector<DisciplineRow> store_rows() {
    const auto ring_at = [](int32_t first_slot) {
        return [first_slot](const BlockSlots& s) { s.S(1) = s.stor + first_slot; };
    };
    const auto quiet = [](std::function<void()> f) { return [f] { capture(f); }; };
    std::vector<DisciplineRow> rows{
        {"DELAY_STOR", {.stor = 5}, [] { DELAY_STOR(3 * kDelt, 9, 1.0); }, ring_at(2)},
        {"DELAY_STOR_capped", {.stor = 4}, [] { DELAY_STOR(3 * kDelt, 2, 1.0); }, ring_at(3)},
        {"DELAY_STOR_INTERP", {.stor = 5}, [] { DELAY_STOR_INTERP(2.6 * kDelt, 9, 1.0); }, ring_at(4)},
        {"DERIV_STOR", {.stor = 1}, [] { DERIV_STOR(1.0, 1.0); }},
        {"WASHOUT_STOR", {.stor = 2}, [] { WASHOUT_STOR(1e-3, 1.0); }},
        {"SMOOTH_LAG", {.stor = 2}, [] { SMOOTH_LAG(1.0, 1e-4, 1.0); }},
        {"LEAD_LAG_STOR", {.stor = 2}, [] { LEAD_LAG_STOR(1e-3, 0.0, 1.0, 1.0); }},
        {"RATE_LIMIT", {.stor = 3}, [] { RATE_LIMIT(1.0, 1.0, 1.0); }},
        {"TRIGGER_PULSE_STOR", {.stor = 3}, [] { TRIGGER_PULSE_STOR(0.0, 1.0, 0.0, 1.0, 0.0, 1.0); }},
        {"SGEN11_harmonics", {.stor = 11}, quiet([] { SGEN11(4, 1.0, 50.0, 2, 1, 1, 0.0); })},
        {"PHASE_SHIFT_3PH", {.stor = 2}, [] {
             double a, b, c;
             PHASE_SHIFT_3PH(1.0, 2.0, 3.0, a, b, c, 50.0);
         }},
        {"SAMPLE_HOLD", {.stor = 2}, [] { SAMPLE_HOLD(1e-3, 1.0); }},
        {"INTEGRATOR_TRAP", {.stor = 3}, [] { INTEGRATOR_TRAP(0.0, -1.0, 1.0, 0.0, 1.0); }},
        {"PI_TRAP", {.stor = 3}, [] { PI_TRAP(1.0, 1e-3, -1.0, 1.0, 0.0, 1.0); }},
    };
    add_flag_rows(rows, "STATE_VAR_FILTER", {.stor = 5}, 1, {{"any"}},
                  [](const FlagSet& f, size_t) { STATE_VAR_FILTER(f[0], 1.0, 2.0, 600.0, 1.0); });
    add_flag_rows(rows, "SGEN11", {.stor = 11}, 2, {{"any"}}, [](const FlagSet& f, size_t) {
        capture([&f] { SGEN11(f[0], 1.0, 50.0, f[1], 1, 1, 0.0); });
    });
    return rows;
}

INSTANTIATE_TEST_SUITE_P(StoreBlocks, SlotDiscipline, ::testing::ValuesIn(store_rows()), discipline_row_name);

}  // namespace
