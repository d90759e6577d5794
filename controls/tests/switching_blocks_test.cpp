// Logic and switching blocks: their slots, their edges and the instants
// they report inside the step.
#include "controls/switching/switching_blocks.h"

#include <cmath>
#include <vector>

#include "controls/tests/slot_discipline.h"
#include "engine/run_state.h"

namespace {

using ::testing::ValuesIn;

// ---- slot discipline -------------------------------------------------------

INTERP_PAIR OUT;

std::vector<DisciplineRow> switching_rows() {
    std::vector<DisciplineRow> rows;
    const double dt = kDelt;
    // Inputs all 1: N 2 with changes, N 9 unchanged, N 0.
    add_flag_rows(rows, "LOGIC_GATE_IP", {.stori = 10}, 1,
                  {{"changed", {}, {}, {}, std::vector<int32_t>(10, 0)},
                   {"same", {}, {}, {}, std::vector<int32_t>(10, 1)},
                   {"none"}},
                  [dt](const FlagSet& f, size_t i) {
                      double in[18];
                      for (int k = 0; k < 9; ++k) in[k] = 1.0, in[9 + k] = 0.2 * dt;
                      LOGIC_GATE_IP(f[0], i == 0 ? 2 : i == 1 ? 9 : 0, in, OUT);
                  });
    add_flag_rows(rows, "COMPARATOR_IP", {.storf = 1}, 2, {{"crossing", {-1.0}}, {"none", {1.0}}},
                  [](const FlagSet& f, size_t) { COMPARATOR_IP(f[0], f[1], 3.0, 2.0, 1.0, 0.5, 0.0, OUT); });
    add_flag_rows(rows, "IMPULSE_TRAIN_IP", {.storf = 2, .stori = 1}, 2,
                  {{"due", {2.0, 0.0}, {}, {}, {0}}, {"waiting", {2.0, 1.0}, {}, {}, {0}}},
                  [](const FlagSet& f, size_t) { IMPULSE_TRAIN_IP(f[0], f[1], 0.0, 2.0, 1e-3, OUT); });
    // States idle, timing, on and unknown; input on in the even ones.
    add_flag_rows(rows, "ON_DELAY_IP", {.storf = 1, .stori = 1}, 1,
                  {{"idle_on", {0.0}, {}, {}, {0}},
                   {"timing_off", {0.0}, {}, {}, {1}},
                   {"timing_on", {0.0}, {}, {}, {1}},
                   {"on_off", {0.0}, {}, {}, {2}},
                   {"other_on", {0.0}, {}, {}, {5}}},
                  [dt](const FlagSet& f, size_t i) {
                      ON_DELAY_IP(f[0], 2.0 * dt, {i % 2 == 0 ? 1.0 : 0.0, 0.3 * dt}, OUT);
                  });
    add_flag_rows(rows, "MONOSTABLE_IP", {.storf = 4}, 1,
                  {{"edge_ending", {1.0, 0.0, 0.0, -1.0}}, {"none_running", {1.0, 1.0, 0.0, 1.0}}},
                  [dt](const FlagSet& f, size_t) {
                      MONOSTABLE_IP(f[0], 0.1 * dt, {1.0, 0.5 * dt}, OUT);
                  });
    add_flag_rows(rows, "HYSTERESIS_IP", {.storf = 2, .stori = 1}, 2,
                  {{"below", {0.5, 0.5}, {}, {}, {0}},
                   {"inside", {0.5, 0.5}, {}, {}, {0}},
                   {"above", {0.5, 0.5}, {}, {}, {0}},
                   {"swapped", {0.5, 0.5}, {}, {}, {0}}},
                  [](const FlagSet& f, size_t i) {
                      const double x = i == 0 ? -2.0 : i == 1 ? 0.0 : 2.0;
                      HYSTERESIS_IP(f[0], f[1], x, i == 3 ? -1.0 : 1.0, i == 3 ? 1.0 : -1.0, OUT);
                  });
    add_flag_rows(rows, "ON_OFF_DELAY_IP", {.storf = 2, .stori = 1}, 1,
                  {{"off_on", {0.5 * dt, 0.0}, {}, {}, {0}},
                   {"timingOn", {0.5 * dt, 0.0}, {}, {}, {1}},
                   {"on_off", {0.5 * dt, 0.0}, {}, {}, {2}},
                   {"timingOff", {0.5 * dt, 0.0}, {}, {}, {3}},
                   {"other", {0.5 * dt, 0.0}, {}, {}, {9}}},
                  [dt](const FlagSet& f, size_t i) {
                      ON_OFF_DELAY_IP(f[0], 1.5 * dt, 0.2 * dt, {i < 2 || i == 4 ? 1.0 : 0.0, 0.3 * dt}, OUT);
                  });
    // A carrier rising to its top inside the step, or steadily.
    const std::vector<SlotState> carrier{{"peak", {0.97, 0.98, 0.93, 0.01}}, {"ramp", {0.97, 0.5, 0.45, -0.47}}};
    add_flag_rows(rows, "PWM_CROSS", {.storf = 4}, 0, carrier,
                  [](const FlagSet&, size_t) { PWM_CROSS(0.95, 0.97, 1.0, 0.0, OUT); });
    add_flag_rows(rows, "PWM_PULSE_IP", {.storf = 6}, 1,
                  {{"peak", {0.0, 0.0, 0.97, 0.98, 0.93, 0.01}}, {"ramp", {0.0, 0.0, 0.97, 0.5, 0.45, -0.47}}},
                  [dt](const FlagSet& f, size_t) { PWM_PULSE_IP(f[0], 2.0 * dt, 1.0, 0.0, 0.95, 0.97, OUT); });
    add_flag_rows(rows, "PWM_COMPARE_IP", {.storf = 9}, 1,
                  {{"peak", {0.0, 0.97, 0.98, 0.93, 0.01, -0.97, -0.98, -0.93, -0.01}},
                   {"ramp", {0.0, 0.97, 0.5, 0.45, -0.47, -0.97, -0.5, -0.45, 0.47}}},
                  [](const FlagSet& f, size_t) { PWM_COMPARE_IP(f[0], 1.0, 0.0, 0.95, 0.97, 0.97, 0.95, OUT); });
    // The carrier history moves on by one.
    rows.back().check = [](const BlockSlots& s, bool) {
        EXPECT_EQ(s.F(2), 0.95);
        EXPECT_EQ(s.F(3), 0.5);
    };
    return rows;
}

INSTANTIATE_TEST_SUITE_P(Switching, SlotDiscipline, ValuesIn(switching_rows()), discipline_row_name);

// ---- behaviour -------------------------------------------------------------

using SwitchingBlocks = RunBlockTest;

TEST_F(SwitchingBlocks, ComparatorEdgeModeReportsEachCrossingOnceAtItsInstant) {
    const double a[] = {-1.0, 1.0, 2.0, -2.0};
    const auto r = over_steps(0, 3, [&](int n) {
        COMPARATOR_IP(1, 1, a[n], 0.0, 5.0, 2.0, -5.0, OUT);
        return OUT;
    });
    EXPECT_EQ(values_of(r), (std::vector<double>{2, 5, 2, -5}));
    EXPECT_EQ(times_of(r), (std::vector<double>{0, 0.5, 0, 0.5}));
}

TEST_F(SwitchingBlocks, OnDelayOfZeroFollowsAtOnceAndADropBeforeTheEndGivesNothing) {
    begin_step(5);
    ON_DELAY_IP(1, 0.0, {1.0, 0.4 * kDelt}, OUT);
    EXPECT_EQ(OUT.value, 1.0);
    EXPECT_DOUBLE_EQ(OUT.time, 0.4 * kDelt);
    clear_block_stores();
    const auto r = over_steps(5, 9, [](int n) {
        ON_DELAY_IP(1, 3.0 * kDelt, {n < 7 ? 1.0 : 0.0, 0.0}, OUT);
        return OUT;
    });
    EXPECT_EQ(values_of(r), std::vector<double>(5, 0.0));
    EXPECT_EQ(STORAGE.STORI(kStartSlots.stori), 0);
}

TEST_F(SwitchingBlocks, MonostableShorterThanTheStepRestEndsInTheSameStep) {
    const auto r = over_steps(0, 1, [](int n) {
        MONOSTABLE_IP(1, 0.2 * kDelt, {n * 1.0, 0.7 * kDelt}, OUT);
        return OUT;
    });
    EXPECT_EQ(r[1].value, 0.0);
    EXPECT_NEAR(r[1].time, 0.5 * kDelt, 1e-12 * kDelt);
}

TEST_F(SwitchingBlocks, HysteresisHoldsInsideItsBandAndWithSwappedLevelsComparesOnTheLower) {
    const double xs[] = {0.0, 2.0, 0.5, -0.5, -2.0, 0.5};
    const auto band = over_steps(0, 5, [&](int n) {
        HYSTERESIS_IP(0, 1, xs[n], 1.0, -1.0, OUT);
        return OUT;
    });
    EXPECT_EQ(values_of(band), (std::vector<double>{0, 1, 1, 1, 0, 0}));
    clear_block_stores();
    const auto swapped = over_steps(0, 5, [&](int n) {
        HYSTERESIS_IP(1, 1, xs[n], -1.0, 0.75, OUT);
        return OUT;
    });
    EXPECT_EQ(values_of(swapped), (std::vector<double>{1, 0, 1, 1, 1, 1}));
}

// AND: the second input goes true 0.3 of a step before the end, the first
// already true. Exclusive or: both change in one step.
TEST_F(SwitchingBlocks, LogicGateTimesFollowTheDecidingInput) {
    double in[18] = {1.0};
    const auto r = over_steps(0, 1, [&](int n) {
        in[1] = n, in[10] = 0.3 * kDelt;
        LOGIC_GATE_IP(0, 2, in, OUT);
        return OUT;
    });
    EXPECT_EQ(values_of(r), (std::vector<double>{0, 1}));
    EXPECT_EQ(r[1].time, 0.3 * kDelt);
    clear_block_stores();
    begin_step(1);
    LOGIC_GATE_IP(2, 2, in, OUT);
    EXPECT_EQ(OUT.value, 0.0);
    EXPECT_EQ(OUT.time, 0.0);
    const Captured c = capture([&] { LOGIC_GATE_IP(0, 10, in, OUT); });
    EXPECT_TRUE(c.aborted);
    EXPECT_EQ(c.out, " ***ERROR** LOGIC GATE - No more than 9 inputs are allowed.\n" + abort_frame("LOGIC_GATE_I"));
}

// Period of three steps: every impulse comes in the step its time falls
// on, also where rounding puts that time a hair after the step's end.
TEST_F(SwitchingBlocks, ImpulseTrainFiresInTheStepOfEachImpulse) {
    const auto r = over_steps(0, 5999, [](int) {
        IMPULSE_TRAIN_IP(1, 1, 0.0, 2.0, 3.0 * kDelt, OUT);
        return OUT;
    });
    for (int n = 0; n < 6000; ++n) ASSERT_EQ(r[n].value, n % 3 == 0 ? 2.0 / kDelt : 0.0) << n;
}

// ---- carrier comparison ----------------------------------------------------

// 0..1 triangle at 480 Hz from 0.5 rising: 0.048 per 50 µs step.
double triangle(int n) {
    const double p = std::fmod(0.5 + 0.048 * n, 2.0);
    return p <= 1.0 ? p : 2.0 - p;
}

struct PwmCase {
    const char* name;
    double reference;
    double start;               // output after the first step
    std::vector<double> edges;  // instants in steps, alternating from start
};
void PrintTo(const PwmCase& c, std::ostream* os) { *os << c.name; }

class PwmCompare : public SwitchingBlocks, public ::testing::WithParamInterface<PwmCase> {};

TEST_P(PwmCompare, EdgesAtTheTriangleCrossings) {
    const PwmCase& c = GetParam();
    const auto r = over_steps(0, 70, [&](int n) {
        PWM_COMPARE_IP(1, 1.0, 0.0, triangle(n), c.reference, c.reference, triangle(n), OUT);
        return OUT;
    });
    EXPECT_EQ(r[0].value, c.start);
    std::vector<double> edges;
    for (int n = 1; n <= 70; ++n)
        if (r[n].value != r[n - 1].value) edges.push_back(n - r[n].time / kDelt);
    ASSERT_EQ(edges.size(), c.edges.size());
    for (size_t k = 0; k < edges.size(); ++k) EXPECT_NEAR(edges[k], c.edges[k], 1e-9) << k;
}

INSTANTIATE_TEST_SUITE_P(Triangle, PwmCompare,
                         ValuesIn(std::vector<PwmCase>{
                             {"Mid", 0.35, 1.0, {23.958333333333, 38.541666666667, 65.625}},
                             {"NearTop", 0.975, 0.0, {9.895833333333, 10.9375, 51.5625, 52.604166666667}},
                             {"NearBottom", 0.03, 1.0, {30.625, 31.875}},
                             {"AboveRange", 1.2, 0.0, {}},
                             {"BelowRange", -0.2, 1.0, {}},
                         }),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(SwitchingBlocks, DisabledCompareStaysOffAndKeepsTracking) {
    const auto r = over_steps(0, 30, [](int n) {
        PWM_COMPARE_IP(0, 1.0, 0.0, triangle(n), 0.35, 0.35, triangle(n), OUT);
        return OUT;
    });
    EXPECT_EQ(values_of(r), std::vector<double>(31, 0.0));
    EXPECT_EQ(times_of(r), std::vector<double>(31, 0.0));
    EXPECT_EQ(STORAGE.STORF(kStartSlots.storf + 2), triangle(30));
    EXPECT_EQ(STORAGE.STORF(kStartSlots.storf + 6), -triangle(30));
}

TEST_F(SwitchingBlocks, PulseOfFixedWidthFromEachRisingCrossing) {
    const auto r = over_steps(0, 45, [](int n) {
        PWM_PULSE_IP(1, 4.0 * kDelt, 1.0, 0.0, triangle(n), 0.35, OUT);
        return OUT;
    });
    // On at 38.54 steps; the width counts from the end of that step.
    for (int n = 0; n <= 45; ++n) EXPECT_EQ(r[n].value, n >= 39 && n < 44 ? 1.0 : 0.0) << n;
    EXPECT_NEAR(r[39].time, 0.458333333333 * kDelt, 1e-9 * kDelt);
}

// A carrier rising by 0.05 a step from 0.43 peaks at 1.0 0.4 of the way
// through step 12: against 0.99 it goes up and down through the reference
// within that step, a pulse; against 0.975 it rose through it in step 11
// and only falls back in step 12, which gives no second pulse.
TEST_F(SwitchingBlocks, PulseAroundATopPeakOnlyWhenTheCarrierRoseThroughTheReference) {
    const auto carrier = [](int n) { return n <= 11 ? 0.43 + 0.05 * n : n == 12 ? 0.97 : 0.92; };
    const auto pulses = [&](double reference) {
        clear_block_stores();
        return over_steps(0, 13, [&](int n) {
            PWM_PULSE_IP(1, 0.0, 1.0, 0.0, carrier(n), reference, OUT);
            return OUT;
        });
    };
    std::vector<double> at(14, 0.0);
    at[12] = 1.0;
    const auto up_and_down = pulses(0.99);
    EXPECT_EQ(values_of(up_and_down), at);
    EXPECT_NEAR(up_and_down[12].time, 0.4 * kDelt, 1e-9 * kDelt);
    const auto from_above = pulses(0.975);
    std::swap(at[11], at[12]);
    EXPECT_EQ(values_of(from_above), at);
    EXPECT_NEAR(from_above[11].time, 0.1 * kDelt, 1e-9 * kDelt);
}

// Rising through 0.975 and peaking within step 12, the carrier ends that
// step above the reference: the crossing the zero-crossing test found
// stands, and the fall in step 13 gives no second pulse.
TEST_F(SwitchingBlocks, PulseAtARiseJustBeforeATopPeak) {
    const auto carrier = [](int n) { return n <= 11 ? 0.41 + 0.05 * n : n == 12 ? 0.99 : 0.94; };
    const auto r = over_steps(0, 13, [&](int n) {
        PWM_PULSE_IP(1, 0.0, 1.0, 0.0, carrier(n), 0.975, OUT);
        return OUT;
    });
    std::vector<double> at(14, 0.0);
    at[12] = 1.0;
    EXPECT_EQ(values_of(r), at);
    EXPECT_NEAR(r[12].time, 0.5 * kDelt, 1e-9 * kDelt);
}

}  // namespace
