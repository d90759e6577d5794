// Logic and switching blocks: their slots, their edges and the instants
// they report inside the step.
#include <cmath>
#include <vector>

#include "controls/switching/switching_blocks.h"
#include "controls/tests/slot_discipline.h"
#include "engine/run_state.h"

namespace {

using ::testing::ValuesIn;

// The instant of a reported change, in steps from the run's start.
double instant_in_steps(const INTERP_PAIR& r) { return (RUN_CLOCK.TIME - r.time) / kDelt; }

// ---- slot discipline -------------------------------------------------------

std::vector<DisciplineRow> switching_rows() {
    std::vector<DisciplineRow> rows;
    const auto tag = [](const char* what, int32_t v) { return std::string(what) + flag_name(v); };
    for (int32_t mode : {0, 1, 2, 7}) {
        for (int32_t n : {0, 2, 9}) {
            for (bool change : {false, true}) {
                rows.push_back({"LOGIC_GATE_IP_mode" + std::to_string(mode) + "_N" + std::to_string(n) +
                                    (change ? "_changed" : "_same"),
                                {.stori = 10},
                                [mode, n, change] {
                                    double in[18] = {};
                                    for (int i = 0; i < 9; ++i) in[i] = change ? 1.0 : 0.0, in[9 + i] = 0.2 * kDelt;
                                    INTERP_PAIR r;
                                    LOGIC_GATE_IP(mode, n, in, r);
                                },
                                [](const BlockSlots& s) {
                                    for (int k = 0; k < 10; ++k) s.I(k) = 0;
                                },
                                [n, change](const BlockSlots& s, bool) {
                                    for (int k = 1; k <= 9; ++k) EXPECT_EQ(s.I(k), k <= n && change ? 1 : 0);
                                }});
            }
        }
    }
    for (int32_t flag : flag_values()) {
        for (int32_t mode : flag_values()) {
            for (double prev : {-1.0, 1.0}) {
                rows.push_back({tag("COMPARATOR_IP_flag", flag) + tag("_mode", mode) + (prev < 0 ? "_crossing" : "_none"),
                                {.storf = 1},
                                [flag, mode] {
                                    INTERP_PAIR r;
                                    COMPARATOR_IP(flag, mode, 3.0, 2.0, 1.0, 0.5, 0.0, r);
                                },
                                [prev](const BlockSlots& s) { s.F(0) = prev; },
                                [](const BlockSlots& s, bool) { EXPECT_EQ(s.F(0), 1.0); }});
            }
        }
        for (int32_t area : flag_values()) {
            for (double next : {0.0, 1.0}) {
                rows.push_back({tag("IMPULSE_TRAIN_IP_area", area) + tag("_flag", flag) + (next == 0 ? "_due" : "_waiting"),
                                {.storf = 2, .stori = 1},
                                [area, flag] {
                                    INTERP_PAIR r;
                                    IMPULSE_TRAIN_IP(area, flag, 0.0, 2.0, 1e-3, r);
                                },
                                [next](const BlockSlots& s) {
                                    s.F(0) = 2.0;
                                    s.F(1) = next;
                                    s.I(0) = 0;
                                }});
            }
        }
        for (int32_t state : {0, 1, 2, 5}) {
            for (double in : {0.0, 1.0}) {
                rows.push_back({tag("ON_DELAY_IP_flag", flag) + "_state" + std::to_string(state) + (in != 0 ? "_on" : "_off"),
                                {.storf = 1, .stori = 1},
                                [flag, in] {
                                    INTERP_PAIR out;
                                    ON_DELAY_IP(flag, 2.0 * kDelt, {in, 0.3 * kDelt}, out);
                                },
                                [state](const BlockSlots& s) {
                                    s.I(0) = state;
                                    s.F(0) = 0.0;
                                }});
            }
        }
        for (double prev : {-1.0, 1.0}) {
            for (double end : {0.0, 1.0}) {
                rows.push_back({tag("MONOSTABLE_IP_flag", flag) + (prev < 0 ? "_edge" : "_none") +
                                    (end == 0 ? "_ending" : "_running"),
                                {.storf = 4},
                                [flag] {
                                    INTERP_PAIR out;
                                    MONOSTABLE_IP(flag, 0.1 * kDelt, {1.0, 0.5 * kDelt}, out);
                                },
                                [prev, end](const BlockSlots& s) {
                                    s.F(0) = 1.0;
                                    s.F(1) = end;
                                    s.F(3) = prev;
                                },
                                [](const BlockSlots& s, bool) { EXPECT_EQ(s.F(3), 0.5); }});
            }
        }
        for (int32_t low : flag_values()) {
            for (double x : {-2.0, 0.0, 2.0}) {
                for (bool swapped : {false, true}) {
                    rows.push_back({tag("HYSTERESIS_IP_low", low) + tag("_flag", flag) + "_x" +
                                        (x < 0 ? "below" : x > 0 ? "above" : "inside") + (swapped ? "_swapped" : ""),
                                    {.storf = 2, .stori = 1},
                                    [low, flag, x, swapped] {
                                        INTERP_PAIR r;
                                        HYSTERESIS_IP(low, flag, x, swapped ? -1.0 : 1.0, swapped ? 1.0 : -1.0, r);
                                    },
                                    [](const BlockSlots& s) {
                                        s.I(0) = 0;
                                        s.F(0) = s.F(1) = 0.5;
                                    }});
                }
            }
        }
        for (bool peak : {false, true}) {
            // A carrier rising to its top inside the step, or steadily.
            const double last = peak ? 0.95 : 0.5, before = peak ? 0.9 : 0.45, now = peak ? 0.95 : 0.55;
            rows.push_back({tag("PWM_PULSE_IP_enable", flag) + (peak ? "_peak" : "_ramp"),
                            {.storf = 6},
                            [flag, now] {
                                INTERP_PAIR r;
                                PWM_PULSE_IP(flag, 2.0 * kDelt, 1.0, 0.0, now, 0.52, r);
                            },
                            [last, before](const BlockSlots& s) {
                                s.F(0) = s.F(1) = 0.0;
                                s.F(2) = 0.52;
                                s.F(3) = last;
                                s.F(4) = before;
                                s.F(5) = last - 0.52;
                            }});
            rows.push_back({tag("PWM_COMPARE_IP_enable", flag) + (peak ? "_peak" : "_ramp"),
                            {.storf = 9},
                            [flag, now] {
                                INTERP_PAIR r;
                                PWM_COMPARE_IP(flag, 1.0, 0.0, now, 0.52, 0.52, now, r);
                            },
                            [last, before](const BlockSlots& s) {
                                s.F(0) = 0.0;
                                s.F(1) = 0.52, s.F(2) = last, s.F(3) = before, s.F(4) = last - 0.52;
                                s.F(5) = -0.52, s.F(6) = -last, s.F(7) = -before, s.F(8) = 0.52 - last;
                            },
                            [now](const BlockSlots& s, bool) {
                                EXPECT_EQ(s.F(2), now);
                                EXPECT_EQ(s.F(6), -now);
                            }});
        }
    }
    for (int32_t initial : flag_values()) {
        for (int32_t state : {0, 1, 2, 3, 9}) {
            for (double in : {0.0, 1.0}) {
                rows.push_back({tag("ON_OFF_DELAY_IP_initial", initial) + "_state" + std::to_string(state) +
                                    (in != 0 ? "_on" : "_off"),
                                {.storf = 2, .stori = 1},
                                [initial, in] {
                                    INTERP_PAIR out;
                                    ON_OFF_DELAY_IP(initial, 1.5 * kDelt, 0.2 * kDelt, {in, 0.3 * kDelt}, out);
                                },
                                [state](const BlockSlots& s) {
                                    s.I(0) = state;
                                    s.F(0) = 0.5 * kDelt;
                                    s.F(1) = 0.0;
                                }});
            }
        }
    }
    for (bool peak : {false, true}) {
        rows.push_back({std::string("PWM_CROSS_") + (peak ? "peak" : "ramp"),
                        {.storf = 4},
                        [] {
                            INTERP_PAIR r;
                            PWM_CROSS(0.95, 0.97, 1.0, 0.0, r);
                        },
                        [peak](const BlockSlots& s) {
                            s.F(0) = 0.97;
                            s.F(1) = peak ? 0.98 : 0.5;
                            s.F(2) = peak ? 0.93 : 0.6;
                            s.F(3) = s.F(1) - 0.97;
                        },
                        [peak](const BlockSlots& s, bool) {
                            EXPECT_EQ(s.F(0), 0.97);
                            EXPECT_EQ(s.F(1), 0.95);
                            EXPECT_EQ(s.F(2), peak ? 0.98 : 0.5);
                            EXPECT_DOUBLE_EQ(s.F(3), 0.95 - 0.97);
                        }});
    }
    return rows;
}

INSTANTIATE_TEST_SUITE_P(Switching, SlotDiscipline, ValuesIn(switching_rows()), discipline_row_name);

// ---- behaviour -------------------------------------------------------------

using SwitchingBlocks = RunBlockTest;

TEST_F(SwitchingBlocks, ComparatorEdgeModeReportsTheCrossingOnceAtItsInstant) {
    INTERP_PAIR r;
    begin_step(0);
    COMPARATOR_IP(1, 1, -1.0, 0.0, 5.0, 2.0, -5.0, r);
    EXPECT_EQ(r.value, 2.0);
    begin_step(1);
    COMPARATOR_IP(1, 1, 1.0, 0.0, 5.0, 2.0, -5.0, r);
    EXPECT_EQ(r.value, 5.0);
    EXPECT_DOUBLE_EQ(r.time, 0.5 * kDelt);
    begin_step(2);
    COMPARATOR_IP(1, 1, 2.0, 0.0, 5.0, 2.0, -5.0, r);
    EXPECT_EQ(r.value, 2.0);
    EXPECT_EQ(r.time, 0.0);
    begin_step(3);
    COMPARATOR_IP(0, 1, -2.0, 0.0, 5.0, 2.0, -5.0, r);
    EXPECT_EQ(r.value, -5.0);
    EXPECT_EQ(r.time, 0.0);
}

TEST_F(SwitchingBlocks, OnDelayOfZeroFollowsAtOnceAndADropBeforeTheEndGivesNothing) {
    INTERP_PAIR out;
    begin_step(5);
    ON_DELAY_IP(1, 0.0, {1.0, 0.4 * kDelt}, out);
    EXPECT_EQ(out.value, 1.0);
    EXPECT_DOUBLE_EQ(out.time, 0.4 * kDelt);
    clear_block_stores();
    for (int n = 5; n <= 9; ++n) {
        begin_step(n);
        ON_DELAY_IP(1, 3.0 * kDelt, {n < 7 ? 1.0 : 0.0, 0.0}, out);
        EXPECT_EQ(out.value, 0.0) << n;
    }
    EXPECT_EQ(STORAGE.STORI(kStartSlots.stori), 0);
}

TEST_F(SwitchingBlocks, MonostableShorterThanTheStepRestEndsInTheSameStep) {
    INTERP_PAIR out;
    begin_step(0);
    MONOSTABLE_IP(1, 0.2 * kDelt, {0.0, 0.0}, out);
    begin_step(1);
    MONOSTABLE_IP(1, 0.2 * kDelt, {1.0, 0.7 * kDelt}, out);
    EXPECT_EQ(out.value, 0.0);
    EXPECT_NEAR(out.time, 0.5 * kDelt, 1e-12 * kDelt);
}

TEST_F(SwitchingBlocks, HysteresisHoldsInsideItsBandAndWithSwappedLevelsComparesOnTheLower) {
    INTERP_PAIR r;
    const double xs[] = {0.0, 2.0, 0.5, -0.5, -2.0, 0.5};
    const double band[] = {0, 1, 1, 1, 0, 0};
    for (int n = 0; n < 6; ++n) {
        begin_step(n);
        HYSTERESIS_IP(0, 1, xs[n], 1.0, -1.0, r);
        EXPECT_EQ(r.value, band[n]) << n;
    }
    clear_block_stores();
    const double swapped[] = {1, 0, 1, 1, 1, 1};
    for (int n = 0; n < 6; ++n) {
        begin_step(n);
        HYSTERESIS_IP(1, 1, xs[n], -1.0, 0.75, r);
        EXPECT_EQ(r.value, swapped[n]) << n;
    }
}

TEST_F(SwitchingBlocks, LogicGateTimesFollowTheDecidingInput) {
    double in[18] = {};
    INTERP_PAIR r;
    begin_step(0);
    in[0] = 1.0;
    LOGIC_GATE_IP(0, 2, in, r);
    EXPECT_EQ(r.value, 0.0);
    begin_step(1);
    in[1] = 1.0;
    in[10] = 0.3 * kDelt;
    LOGIC_GATE_IP(0, 2, in, r);
    EXPECT_EQ(r.value, 1.0);
    EXPECT_EQ(r.time, 0.3 * kDelt);
    // Exclusive or: both inputs change in one step.
    clear_block_stores();
    begin_step(1);
    LOGIC_GATE_IP(2, 2, in, r);
    EXPECT_EQ(r.value, 0.0);
    EXPECT_EQ(r.time, 0.0);
}

TEST_F(SwitchingBlocks, LogicGateWithMoreThanNineInputsStopsTheRun) {
    double in[18] = {};
    INTERP_PAIR r;
    const Captured c = capture([&] { LOGIC_GATE_IP(0, 10, in, r); });
    EXPECT_TRUE(c.aborted);
    EXPECT_EQ(c.out, " ***ERROR** LOGIC GATE - No more than 9 inputs are allowed.\n" + abort_frame("LOGIC_GATE_I"));
}

// Period of three steps: every impulse comes in the step its time falls
// on, also where rounding puts that time a hair after the step's end.
TEST_F(SwitchingBlocks, ImpulseTrainFiresInTheStepOfEachImpulse) {
    INTERP_PAIR r;
    int fired = 0, misplaced = 0;
    for (int n = 0; n < 6000; ++n) {
        begin_step(n);
        IMPULSE_TRAIN_IP(1, 1, 0.0, 2.0, 3.0 * kDelt, r);
        if (r.value == 0.0) continue;
        EXPECT_EQ(r.value, 2.0 / kDelt);
        if (n != 3 * fired) ++misplaced;
        ++fired;
    }
    EXPECT_EQ(fired, 2000);
    EXPECT_EQ(misplaced, 0);
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
    double start;                 // output after the first step
    std::vector<double> edges;    // instants in steps, alternating from start
};

class PwmCompare : public SwitchingBlocks, public ::testing::WithParamInterface<PwmCase> {};

TEST_P(PwmCompare, EdgesAtTheTriangleCrossings) {
    const PwmCase& c = GetParam();
    INTERP_PAIR r;
    std::vector<double> edges;
    double out = -1.0;
    for (int n = 0; n <= 70; ++n) {
        begin_step(n);
        const double tri = triangle(n);
        PWM_COMPARE_IP(1, 1.0, 0.0, tri, c.reference, c.reference, tri, r);
        if (n == 0) {
            EXPECT_EQ(r.value, c.start);
        } else if (r.value != out) {
            edges.push_back(instant_in_steps(r));
        } else {
            EXPECT_EQ(r.time, 0.0) << n;
        }
        out = r.value;
    }
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
    INTERP_PAIR r;
    for (int n = 0; n <= 30; ++n) {
        begin_step(n);
        PWM_COMPARE_IP(0, 1.0, 0.0, triangle(n), 0.35, 0.35, triangle(n), r);
        EXPECT_EQ(r.value, 0.0);
        EXPECT_EQ(r.time, 0.0);
    }
    EXPECT_EQ(STORAGE.STORF(kStartSlots.storf + 2), triangle(30));
    EXPECT_EQ(STORAGE.STORF(kStartSlots.storf + 6), -triangle(30));
}

TEST_F(SwitchingBlocks, PulseOfFixedWidthFromEachRisingCrossing) {
    INTERP_PAIR r;
    std::vector<std::pair<int, double>> changes;
    double out = 0.0;
    for (int n = 0; n <= 45; ++n) {
        begin_step(n);
        PWM_PULSE_IP(1, 4.0 * kDelt, 1.0, 0.0, triangle(n), 0.35, r);
        if (r.value != out) changes.push_back({n, r.value == 1.0 ? instant_in_steps(r) : 0.0});
        out = r.value;
    }
    ASSERT_EQ(changes.size(), 2u);
    EXPECT_EQ(changes[0].first, 39);
    EXPECT_NEAR(changes[0].second, 38.541666666667, 1e-9);
    EXPECT_EQ(changes[1].first, 44);  // width measured from the step of the edge
}

}  // namespace
