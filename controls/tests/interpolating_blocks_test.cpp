// The interpolating integrator and PI, the generators, impulses and
// flip-flops.
#include <cmath>
#include <vector>

#include "controls/interpolating/interpolating_blocks.h"
#include "controls/tests/slot_discipline.h"
#include "engine/run_state.h"

namespace {

using ::testing::ValuesIn;

std::vector<DisciplineRow> interpolating_rows() {
    std::vector<DisciplineRow> rows;
    const auto tag = [](const char* what, int32_t v) { return std::string(what) + flag_name(v); };
    for (int32_t flag : flag_values()) {
        for (int32_t mode : flag_values()) {
            for (int32_t enable : flag_values()) {
                for (double reset : {0.0, 1.0}) {
                    rows.push_back({tag("INTEGRATOR_IP_flag", flag) + tag("_mode", mode) + tag("_enable", enable) +
                                        (reset != 0 ? "_reset" : "_running"),
                                    {.storf = 3},
                                    [=] {
                                        INTEGRATOR_IP(flag, mode, enable, 0.5, 1e-3, 0.25, -1.0, 1.0,
                                                      {reset, 0.4 * kDelt}, {2.0, 0.3 * kDelt});
                                    },
                                    [](const BlockSlots& s) { s.F(0) = s.F(1) = 0.0, s.F(2) = 1e-3; },
                                    [](const BlockSlots& s, bool) {
                                        EXPECT_EQ(s.F(0), 2.0);
                                        EXPECT_EQ(s.F(2), 1e-3);
                                    }});
                }
            }
        }
        rows.push_back({tag("PI_IP_flag", flag), {.storf = 3}, [flag] { PI_IP(flag, 2.0, 1e-3, -1.0, 1.0, 0.0, {0.5, 0.1 * kDelt}); }});
        for (int32_t type : {1, 2, 5}) {
            for (double used : {50.0, 60.0}) {
                const std::string what = std::string(used == 50.0 ? "_same" : "_changed") + "_type" + std::to_string(type);
                const auto prepare = [used](const BlockSlots& s) {
                    s.F(0) = 0.3e-3, s.F(1) = 0.02, s.F(2) = 0.01, s.F(3) = s.F(4) = 100.0, s.F(5) = used;
                    s.L(0) = LTRUE;
                };
                rows.push_back({tag("SIGNAL_GENERATOR_flag", flag) + what, {.storf = 6, .storl = 1},
                                [=] {
                                    INTERP_PAIR r;
                                    SIGNAL_GENERATOR(type, flag, 30.0, 50.0, 50.0, 1.0, -1.0, r);
                                },
                                prepare});
                if (flag != 0) continue;
                rows.push_back({"E_XSGEN_RUN" + what, {.storf = 6, .storl = 1, .rtcf = 4},
                                [type] {
                                    INTERP_PAIR r;
                                    E_XSGEN_RUN(type, 50.0, r);
                                },
                                [prepare](const BlockSlots& s) {
                                    prepare(s);
                                    s.RF(0) = 30.0, s.RF(1) = 50.0, s.RF(2) = 1.0, s.RF(3) = -1.0;
                                }});
            }
        }
        for (double next : {0.0, 1.0}) {
            rows.push_back({tag("IMPULSE_area", flag) + (next == 0 ? "_now" : "_later"), {.rtcf = 4},
                            [flag, next] { IMPULSE(flag, next, 2.0, 100.0); },
                            {},
                            [flag, next](const BlockSlots& s, bool) {
                                EXPECT_EQ(s.RF(0), flag == 1 ? 2.0 / kDelt : 2.0);
                                EXPECT_EQ(s.RF(1), next);
                                EXPECT_EQ(s.RF(2), next);
                                EXPECT_EQ(s.RF(3), 0.01);
                            }});
            if (flag == 0)
                rows.push_back({std::string("IMPULSE_RUN") + (next == 0 ? "_due" : "_waiting"), {.stori = 1, .rtcf = 4},
                                [] {
                                    INTERP_PAIR r;
                                    IMPULSE_RUN(r);
                                },
                                [next](const BlockSlots& s) {
                                    s.RF(0) = 2.0, s.RF(1) = next, s.RF(2) = 0.0, s.RF(3) = 0.01;
                                    s.I(0) = 0;
                                }});
        }
        for (int32_t edge : {0, 1, 2, 3}) {
            for (int32_t type : {0, 1, 2, 3, 4}) {
                const std::string what = tag("_flag", flag) + "_edge" + std::to_string(edge) + "_type" + std::to_string(type);
                const auto state = [](const BlockSlots& s) { s.I(0) = 1, s.I(1) = 0, s.I(2) = 1, s.I(3) = 1; };
                const auto check = [](const BlockSlots& s, bool) {
                    EXPECT_EQ(s.I(1), 1);
                    EXPECT_EQ(s.I(2), 0);
                    EXPECT_EQ(s.I(3), 1);
                };
                rows.push_back({"FLIPFLOP_IP" + what, {.stori = 4, .rtci = 4},
                                [] {
                                    INTERP_PAIR out;
                                    FLIPFLOP_IP({0.0, 0.2 * kDelt}, {1.0, 0.0}, {1.0, 0.5 * kDelt}, out);
                                },
                                [=](const BlockSlots& s) {
                                    state(s);
                                    s.RI(0) = edge, s.RI(1) = type, s.RI(2) = flag, s.RI(3) = 0;
                                },
                                check});
                rows.push_back({"FLIPFLOP_DIRECT" + what, {.stori = 4},
                                [=] {
                                    INTERP_PAIR out;
                                    FLIPFLOP_DIRECT(0, edge, type, flag, {0.0, 0.7 * kDelt}, {1.0, 0.0}, {1.0, 0.5 * kDelt}, out);
                                },
                                state, check});
            }
            rows.push_back({"FLIPFLOP_IP_SETUP" + tag("_flag", flag) + "_edge" + std::to_string(edge), {.rtci = 4},
                            [=] { FLIPFLOP_IP_SETUP(edge, 3, flag, 1); },
                            {},
                            [=](const BlockSlots& s, bool) {
                                EXPECT_EQ(s.RI(0), edge);
                                EXPECT_EQ(s.RI(3), 1);
                            }});
        }
        for (int32_t n : {0, 1, 4}) {
            rows.push_back({tag("SHIFT_REGISTER_IP_flag", flag) + "_N" + std::to_string(n), {.stori = 4 * n},
                            [=] {
                                INTERP_PAIR out;
                                SHIFT_REGISTER_IP(n, 1, flag, 5, {1.0, 0.5 * kDelt}, {1.0, 0.0}, out);
                            },
                            [n](const BlockSlots& s) {
                                for (int k = 0; k < 4 * n; ++k) s.I(k) = 0;
                            }});
        }
    }
    rows.push_back({"E_XSGEN", {.rtcf = 4}, [] { E_XSGEN(2, -90.0, 120.0 - 20.0 - 0.5, 1.0, -1.0); },
                    {},
                    [](const BlockSlots& s, bool) {
                        EXPECT_DOUBLE_EQ(s.RF(0), 270.0);
                        EXPECT_EQ(s.RF(1), 99.5);
                        EXPECT_EQ(s.RF(3), -1.0);
                    }});
    return rows;
}

INSTANTIATE_TEST_SUITE_P(Interpolating, SlotDiscipline, ValuesIn(interpolating_rows()), discipline_row_name);

using InterpolatingBlocks = RunBlockTest;

// ---- integrator --------------------------------------------------------------

TEST_F(InterpolatingBlocks, IntegratorStartsAtItsInitialValueThenIntegratesTrapezoidally) {
    begin_step(0);
    EXPECT_EQ(INTEGRATOR_IP(0, 0, 1, 0.5, 0.0, 0.0, -10, 10, {}, {4.0, 0.0}), 0.5);
    begin_step(1);
    // T 0 integrates X/1: (4 + 2)/2 over a step.
    EXPECT_DOUBLE_EQ(INTEGRATOR_IP(0, 0, 1, 0.5, 0.0, 0.0, -10, 10, {}, {2.0, 0.0}), 0.5 + 3.0 * kDelt);
    begin_step(2);
    EXPECT_EQ(INTEGRATOR_IP(0, 0, 1, 0.5, 0.0, -0.25, -10, 10, {1.0, 0.0}, {2.0, 0.0}), -0.25);
    begin_step(3);
    EXPECT_DOUBLE_EQ(INTEGRATOR_IP(0, 0, 1, 0.5, 0.0, -0.25, -10, 10, {0.0, 0.0}, {2.0, 0.0}), -0.25 + 2.0 * kDelt);
    begin_step(4);
    EXPECT_EQ(INTEGRATOR_IP(0, 0, 1, 0.5, 0.0, 0.0, 0.125, 0.125, {}, {2.0, 0.0}), 0.125);
    begin_step(5);
    EXPECT_EQ(INTEGRATOR_IP(0, 0, 1, 0.5, 0.0, 0.0, 0.3, 0.2, {}, {2.0, 0.0}), 0.3);
}

TEST_F(InterpolatingBlocks, IntegratorTakesAChangeAtItsInstant) {
    const double T = 1e-3;
    begin_step(0);
    INTEGRATOR_IP(1, 0, 0, 0.0, T, 0.0, -10, 10, {}, {0.0, 0.0});
    begin_step(1);
    EXPECT_DOUBLE_EQ(INTEGRATOR_IP(1, 0, 0, 0.0, T, 0.0, -10, 10, {}, {1.0, 0.63 * kDelt}), 0.63 * kDelt / T);
    begin_step(2);
    EXPECT_DOUBLE_EQ(INTEGRATOR_IP(1, 0, 0, 0.0, T, 0.0, -10, 10, {}, {1.0, 0.0}), 1.63 * kDelt / T);
}

// Reset mode 1: the reset value plus the rest of the step after the reset.
TEST_F(InterpolatingBlocks, ResetModeOneIntegratesTheRestOfTheStep) {
    const double T = 2e-3;
    struct Case {
        int32_t flag;
        double reset_time, x_time, expected;
    };
    // Old input 1, new 3; with flag 1 the change is at x_time.
    for (const Case& c : {Case{1, 0.6 * kDelt, 0.2 * kDelt, 0.5 + (0.4 * kDelt * 1 + 0.2 * kDelt * 3) / T},
                          Case{1, 0.2 * kDelt, 0.6 * kDelt, 0.5 + 0.2 * kDelt * 3 / T},
                          Case{0, 0.5 * kDelt, 0.0, 0.5 + 0.25 * kDelt * (3 + 2) / T}}) {
        clear_block_stores();
        begin_step(0);
        INTEGRATOR_IP(c.flag, 1, 1, 0.0, T, 0.5, -10, 10, {}, {1.0, 0.0});
        begin_step(1);
        EXPECT_DOUBLE_EQ(INTEGRATOR_IP(c.flag, 1, 1, 0.0, T, 0.5, -10, 10, {1.0, c.reset_time}, {3.0, c.x_time}),
                         c.expected)
            << c.flag << " " << c.reset_time;
    }
}

TEST_F(InterpolatingBlocks, PiAddsTheProportionalPartInsideTheLimits) {
    begin_step(0);
    EXPECT_EQ(PI_IP(0, 2.0, 1e-3, -1.0, 1.0, 0.1, {0.2, 0.0}), 0.1 + 0.4);
    begin_step(1);
    EXPECT_EQ(PI_IP(0, 2.0, 1e-3, -1.0, 1.0, 0.1, {0.6, 0.0}), 1.0);
    EXPECT_DOUBLE_EQ(STORAGE.STORF(kStartSlots.storf + 1), 0.1 + kDelt * 0.4 / 1e-3);
}

// ---- generators ---------------------------------------------------------------

TEST_F(InterpolatingBlocks, SquareWaveOfHalfDutyIsHighForTheFirstHalf) {
    INTERP_PAIR r;
    // 1 kHz: 20 steps a period, started half a step in: every edge lies
    // half a step before the end of its step.
    for (int n = 0; n < 40; ++n) {
        begin_step(n);
        SIGNAL_GENERATOR(2, 1, 9.0, 1000.0, 50.0, 3.0, -1.0, r);
        EXPECT_EQ(r.value, n % 20 < 10 ? 3.0 : -1.0) << n;
        const bool edge = n == 10 || n == 20 || n == 30;
        EXPECT_NEAR(r.time, edge ? 0.5 * kDelt : 0.0, 1e-9 * kDelt) << n;
    }
}

TEST_F(InterpolatingBlocks, TriangleStartsAtItsPhaseAndANegativePhaseWrapsIntoTheTurn) {
    INTERP_PAIR a, b;
    for (int n = 0; n < 25; ++n) {
        begin_step(n);
        SIGNAL_GENERATOR(1, 0, 90.0, 1000.0, 50.0, 1.0, -1.0, a);
        SIGNAL_GENERATOR(1, 0, -270.0, 1000.0, 50.0, 1.0, -1.0, b);
        // A quarter period in: at the top; then down 0.2 a step.
        const double t = std::fmod(n + 5.0, 20.0);
        const double expected = t > 10.0 ? 1.0 - 0.2 * (t - 10.0) : -1.0 + 0.2 * t;
        EXPECT_NEAR(a.value, expected, 1e-12) << n;
        EXPECT_EQ(b.value, a.value) << n;
    }
}

TEST_F(InterpolatingBlocks, FrequencyWarningsComeOnceWithTheirTexts) {
    INTERP_PAIR r;
    const Captured zero = capture([&] {
        for (int n = 0; n < 3; ++n) {
            begin_step(n);
            SIGNAL_GENERATOR(1, 0, 0.0, 0.0, 50.0, 1.0, 0.0, r);
        }
    });
    EXPECT_EQ(zero.out, " ***WARN*** SIGNAL GENERATOR - Frequency is too small, 1.0E-6 is assumed.\n");
    EXPECT_EQ(STORAGE.STORF(kStartSlots.storf + 1), 1e6);
    clear_block_stores();
    const Captured negative = capture([&] {
        for (int n = 0; n < 3; ++n) {
            begin_step(n);
            SIGNAL_GENERATOR(1, 0, 0.0, -50.0, 50.0, 1.0, 0.0, r);
        }
    });
    EXPECT_EQ(negative.out, " ***WARN*** SIGNAL GENERATOR - Frequency is negative, absolute value is assumed.\n");
    EXPECT_EQ(STORAGE.STORF(kStartSlots.storf + 1), 0.02);
    clear_block_stores();
    const Captured run = capture([&] {
        begin_step(0);
        STORAGE.RTCF(kStartSlots.rtcf + 2) = 1.0;
        E_XSGEN_RUN(1, 0.0, r);
        begin_step(1);
        E_XSGEN_RUN(1, -50.0, r);
    });
    EXPECT_EQ(run.out,
              " ***WARN*** Frequency is too small, 1.0E-6 is assumed\n"
              " ***WARN*** Frequency is negative, Absolute value is assumed\n");
}

struct SetupFault {
    const char* name;
    std::function<void()> call;
    std::string out;
};

class SetupFaults : public InterpolatingBlocks, public ::testing::WithParamInterface<SetupFault> {};

TEST_P(SetupFaults, StopTheRunWithTheirMessages) {
    const Captured c = capture(GetParam().call);
    EXPECT_TRUE(c.aborted);
    EXPECT_EQ(c.out, GetParam().out);
}

INSTANTIATE_TEST_SUITE_P(
    Messages, SetupFaults,
    ValuesIn(std::vector<SetupFault>{
        {"GeneratorRange", [] { E_XSGEN(1, 0.0, 50.0, 1.0, 1.0); },
         " ***ERROR** Maximum must be greater than Minimim\n" + abort_frame("E_XSGEN")},
        {"PulseDuty", [] { E_XSGEN(2, 0.0, 100.0, 1.0, 0.0); },
         " ***ERROR** Duty cycle cannot be 0 or 100 for a pulse\n" + abort_frame("E_XSGEN")},
        {"ImpulseFrequency", [] { IMPULSE(0, 0.0, 1.0, 0.0); },
         " ***ERROR** Frequency must be greater than zero\n" + abort_frame("IMPULSE")},
        {"ImpulseAll", [] { IMPULSE(0, -1.0, 0.0, -5.0); },
         " ***ERROR** Frequency must be greater than zero\n"
         " ***ERROR** Time of first impulse cannot be negative\n"
         " ***ERROR** Height of impulse must be greater than zero\n" +
             abort_frame("IMPULSE")},
    }),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(InterpolatingBlocks, ImpulsesFromTheFirstStepAtTheirFrequency) {
    INTERP_PAIR r;
    begin_step(0);
    IMPULSE(1, 0.0, 3.0, 1.0 / (4.0 * kDelt));
    std::vector<int> at;
    for (int n = 0; n < 13; ++n) {
        begin_step(n);
        IMPULSE_RUN(r);
        if (r.value != 0.0) {
            EXPECT_EQ(r.value, 3.0 / kDelt);
            at.push_back(n);
        }
    }
    EXPECT_EQ(at, (std::vector<int>{0, 4, 8, 12}));
}

// ---- flip-flops ---------------------------------------------------------------

TEST_F(InterpolatingBlocks, JKToggleOnEachEdgeAndJFallingAfterTheEdgeToggledOnce) {
    INTERP_PAIR out;
    begin_step(0);
    FLIPFLOP_IP_SETUP(1, 0, 1, 0);
    std::vector<double> q;
    for (int n = 0; n < 7; ++n) {
        begin_step(n);
        FLIPFLOP_IP({1.0, 0.0}, {1.0, 0.0}, {n % 2 == 1 ? 1.0 : 0.0, 0.25 * kDelt}, out);
        q.push_back(out.value);
        EXPECT_EQ(out.time, n % 2 == 1 ? 0.25 * kDelt : 0.0) << n;
    }
    EXPECT_EQ(q, (std::vector<double>{0, 1, 1, 0, 0, 1, 1}));
    // J drops after the clock's instant within the step of the edge.
    begin_step(7);
    FLIPFLOP_IP({0.0, 0.1 * kDelt}, {1.0, 0.0}, {1.0, 0.4 * kDelt}, out);
    EXPECT_EQ(out.value, 0.0);
    EXPECT_EQ(out.time, 0.4 * kDelt);
}

TEST_F(InterpolatingBlocks, InputChangedBeforeTheEdgeCountsWithItsNewValue) {
    INTERP_PAIR out;
    begin_step(0);
    FLIPFLOP_DIRECT(0, 1, 0, 1, {0.0, 0.0}, {0.0, 0.0}, {0.0, 0.0}, out);
    begin_step(1);
    FLIPFLOP_DIRECT(0, 1, 0, 1, {1.0, 0.8 * kDelt}, {0.0, 0.0}, {1.0, 0.3 * kDelt}, out);
    EXPECT_EQ(out.value, 1.0);
    EXPECT_EQ(out.time, 0.3 * kDelt);
}

TEST_F(InterpolatingBlocks, ShiftRegisterMovesABitOneStagePerEdge) {
    INTERP_PAIR out;
    // Three stages from 0b001: the 1 reaches the last stage after two edges.
    std::vector<double> last;
    for (int n = 0; n < 8; ++n) {
        begin_step(n);
        SHIFT_REGISTER_IP(3, 1, 0, 1, {n % 2 == 1 ? 1.0 : 0.0, 0.0}, {0.0, 0.0}, out);
        last.push_back(out.value);
    }
    EXPECT_EQ(last, (std::vector<double>{0, 0, 0, 1, 1, 0, 0, 0}));
    EXPECT_EQ(POINTER_BLOCK.NSTORI, kStartSlots.stori + 12);
}

}  // namespace
