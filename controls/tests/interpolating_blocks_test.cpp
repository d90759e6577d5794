// The interpolating integrator and PI, the generators, impulses and
// flip-flops.
#include "controls/interpolating/interpolating_blocks.h"

#include <cmath>
#include <vector>

#include "controls/tests/slot_discipline.h"
#include "engine/run_state.h"

namespace {

using ::testing::ValuesIn;

INTERP_PAIR OUT;

std::vector<DisciplineRow> interpolating_rows() {
    std::vector<DisciplineRow> rows;
    const double dt = kDelt;
    add_flag_rows(rows, "INTEGRATOR_IP", {.storf = 3}, 3, {{"reset", {0.0, 0.0, 1e-3}}, {"running", {0.0, 0.0, 1e-3}}},
                  [dt](const FlagSet& f, size_t i) {
                      INTEGRATOR_IP(f[0], f[1], f[2], 0.5, 1e-3, 0.25, -1.0, 1.0, {i == 0 ? 1.0 : 0.0, 0.4 * dt},
                                    {2.0, 0.3 * dt});
                  });
    add_flag_rows(rows, "PI_IP", {.storf = 3}, 1, {{"running"}}, [dt](const FlagSet& f, size_t) {
        PI_IP(f[0], 2.0, 1e-3, -1.0, 1.0, 0.0, {0.5, 0.1 * dt});
    });
    // Types 1, 2 and another, with the frequency as last used or changed.
    std::vector<SlotState> waves;
    for (const char* type : {"triangle", "square", "other"})
        for (double used : {50.0, 60.0})
            waves.push_back({std::string(type) + (used == 50.0 ? "_same" : "_changed"),
                             {0.3e-3, 0.02, 0.01, 100.0, 100.0, used},
                             {},
                             {}});
    const auto type_of = [](size_t i) { return i < 2 ? 1 : i < 4 ? 2 : 5; };
    add_flag_rows(rows, "SIGNAL_GENERATOR", {.storf = 6, .storl = 1}, 1, waves, [=](const FlagSet& f, size_t i) {
        SIGNAL_GENERATOR(type_of(i), f[0], 30.0, 50.0, 50.0, 1.0, -1.0, OUT);
    });
    for (SlotState& w : waves) w.RF = {30.0, 50.0, 1.0, -1.0};
    add_flag_rows(rows, "E_XSGEN_RUN", {.storf = 6, .storl = 1, .rtcf = 4}, 0, waves,
                  [=](const FlagSet&, size_t i) { E_XSGEN_RUN(type_of(i), 50.0, OUT); });
    add_flag_rows(rows, "E_XSGEN", {.rtcf = 4}, 0, {{"valid"}},
                  [](const FlagSet&, size_t) { E_XSGEN(2, -90.0, 99.5, 1.0, -1.0); });
    rows.back().check = [](const BlockSlots& s, bool) {
        EXPECT_DOUBLE_EQ(s.RF(0), 270.0);
        EXPECT_EQ(s.RF(1), 99.5);
    };
    add_flag_rows(rows, "IMPULSE", {.rtcf = 4}, 1, {{"valid"}},
                  [](const FlagSet& f, size_t) { IMPULSE(f[0], 0.0, 2.0, 100.0); });
    add_flag_rows(rows, "IMPULSE_RUN", {.stori = 1, .rtcf = 4}, 0,
                  {{"due", {}, {}, {2.0, 0.0, 0.0, 0.01}, {0}}, {"waiting", {}, {}, {2.0, 1.0, 0.0, 0.01}, {0}}},
                  [](const FlagSet&, size_t) { IMPULSE_RUN(OUT); });
    add_flag_rows(rows, "FLIPFLOP_IP_SETUP", {.rtci = 4}, 3, {{"set"}},
                  [](const FlagSet& f, size_t) { FLIPFLOP_IP_SETUP(f[0], f[1], f[2], 1); });
    // Edge modes 0 to 3 by type 0 to 4, with a rising clock and J falling.
    std::vector<SlotState> modes;
    for (int32_t edge = 0; edge <= 3; ++edge)
        for (int32_t type = 0; type <= 4; ++type)
            modes.push_back({"edge" + std::to_string(edge) + "_type" + std::to_string(type), {}, {}, {}, {1, 0, 1, 1}});
    add_flag_rows(rows, "FLIPFLOP_DIRECT", {.stori = 4}, 1, modes, [dt](const FlagSet& f, size_t i) {
        FLIPFLOP_DIRECT(0, static_cast<int32_t>(i / 5), static_cast<int32_t>(i % 5), f[0], {0.0, 0.7 * dt}, {1.0, 0.0},
                        {1.0, 0.5 * dt}, OUT);
    });
    for (size_t i = 0; i < modes.size(); ++i)
        modes[i].RI = {static_cast<int32_t>(i / 5), static_cast<int32_t>(i % 5), 1, 0};
    add_flag_rows(rows, "FLIPFLOP_IP", {.stori = 4, .rtci = 4}, 0, modes, [dt](const FlagSet&, size_t) {
        FLIPFLOP_IP({0.0, 0.2 * dt}, {1.0, 0.0}, {1.0, 0.5 * dt}, OUT);
    });
    for (int32_t n : {0, 1, 4})
        add_flag_rows(rows, "SHIFT_REGISTER_IP_N" + std::to_string(n), {.stori = 4 * n}, 2,
                      {{"clocked", {}, {}, {}, std::vector<int32_t>(4 * n, 0)}}, [n, dt](const FlagSet& f, size_t) {
                          SHIFT_REGISTER_IP(n, f[0], f[1], 5, {1.0, 0.5 * dt}, {1.0, 0.0}, OUT);
                      });
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

// 1 kHz, 20 steps a period, started half a step in: the edges of the
// square wave lie half a step before the end of their steps.
TEST_F(InterpolatingBlocks, SquareWaveOfHalfDutyIsHighForTheFirstHalf) {
    const auto r = over_steps(0, 39, [](int) {
        SIGNAL_GENERATOR(2, 1, 9.0, 1000.0, 50.0, 3.0, -1.0, OUT);
        return OUT;
    });
    for (int n = 0; n < 40; ++n) {
        EXPECT_EQ(r[n].value, n % 20 < 10 ? 3.0 : -1.0) << n;
        EXPECT_NEAR(r[n].time, n % 10 == 0 && n > 0 ? 0.5 * kDelt : 0.0, 1e-9 * kDelt) << n;
    }
}

// A quarter period in at the top, then down 0.2 a step; -270 degrees is 90.
TEST_F(InterpolatingBlocks, TriangleStartsAtItsPhaseAndANegativePhaseWrapsIntoTheTurn) {
    for (double phase : {90.0, -270.0}) {
        clear_block_stores();
        const auto r = over_steps(0, 24, [phase](int) {
            SIGNAL_GENERATOR(1, 0, phase, 1000.0, 50.0, 1.0, -1.0, OUT);
            return OUT;
        });
        for (int n = 0; n < 25; ++n) {
            const double t = std::fmod(n + 5.0, 20.0);
            EXPECT_NEAR(r[n].value, t > 10.0 ? 1.0 - 0.2 * (t - 10.0) : -1.0 + 0.2 * t, 1e-12) << n;
        }
    }
}

TEST_F(InterpolatingBlocks, FrequencyWarningsComeOnceWithTheirTexts) {
    const auto three_steps = [](double f) {
        clear_block_stores();
        return capture([f] {
                   over_steps(0, 2, [f](int) {
                       SIGNAL_GENERATOR(1, 0, 0.0, f, 50.0, 1.0, 0.0, OUT);
                       return OUT;
                   });
               })
            .out;
    };
    EXPECT_EQ(three_steps(0.0), " ***WARN*** SIGNAL GENERATOR - Frequency is too small, 1.0E-6 is assumed.\n");
    EXPECT_EQ(STORAGE.STORF(kStartSlots.storf + 1), 1e6);
    EXPECT_EQ(three_steps(-50.0), " ***WARN*** SIGNAL GENERATOR - Frequency is negative, absolute value is assumed.\n");
    EXPECT_EQ(STORAGE.STORF(kStartSlots.storf + 1), 0.02);
    const Captured run = capture([] {
        over_steps(0, 1, [](int n) {
            E_XSGEN_RUN(1, n * -50.0, OUT);
            return OUT;
        });
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
void PrintTo(const SetupFault& c, std::ostream* os) { *os << c.name; }

class SetupFaults : public InterpolatingBlocks, public ::testing::WithParamInterface<SetupFault> {};

TEST_P(SetupFaults, StopTheRunWithTheirMessages) {
    const Captured c = capture(GetParam().call);
    EXPECT_TRUE(c.aborted);
    EXPECT_EQ(c.out, GetParam().out);
}

INSTANTIATE_TEST_SUITE_P(Messages, SetupFaults,
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
    begin_step(0);
    IMPULSE(1, 0.0, 3.0, 1.0 / (4.0 * kDelt));
    const auto r = over_steps(0, 12, [](int) {
        IMPULSE_RUN(OUT);
        return OUT;
    });
    for (int n = 0; n <= 12; ++n) EXPECT_EQ(r[n].value, n % 4 == 0 ? 3.0 / kDelt : 0.0) << n;
}

// ---- flip-flops ---------------------------------------------------------------

TEST_F(InterpolatingBlocks, JKToggleOnEachEdgeAndJFallingAfterTheEdgeToggledOnce) {
    begin_step(0);
    FLIPFLOP_IP_SETUP(1, 0, 1, 0);
    const auto r = over_steps(0, 6, [](int n) {
        FLIPFLOP_IP({1.0, 0.0}, {1.0, 0.0}, {n % 2 * 1.0, 0.25 * kDelt}, OUT);
        return OUT;
    });
    EXPECT_EQ(values_of(r), (std::vector<double>{0, 1, 1, 0, 0, 1, 1}));
    EXPECT_EQ(times_of(r), (std::vector<double>{0, 0.25, 0, 0.25, 0, 0.25, 0}));
    // J drops after the clock's instant within the step of the edge.
    begin_step(7);
    FLIPFLOP_IP({0.0, 0.1 * kDelt}, {1.0, 0.0}, {1.0, 0.4 * kDelt}, OUT);
    EXPECT_EQ(OUT.value, 0.0);
    EXPECT_EQ(OUT.time, 0.4 * kDelt);
    // J rising before the clock's instant counts with its new value.
    clear_block_stores();
    const auto d = over_steps(0, 1, [](int n) {
        FLIPFLOP_DIRECT(0, 1, 0, 1, {n * 1.0, 0.8 * kDelt}, {0.0, 0.0}, {n * 1.0, 0.3 * kDelt}, OUT);
        return OUT;
    });
    EXPECT_EQ(d[1].value, 1.0);
    EXPECT_EQ(d[1].time, 0.3 * kDelt);
}

// Three stages from 0b001: the 1 reaches the last stage after two edges.
TEST_F(InterpolatingBlocks, ShiftRegisterMovesABitOneStagePerEdge) {
    const auto r = over_steps(0, 7, [](int n) {
        SHIFT_REGISTER_IP(3, 1, 0, 1, {n % 2 * 1.0, 0.0}, {0.0, 0.0}, OUT);
        return OUT;
    });
    EXPECT_EQ(values_of(r), (std::vector<double>{0, 0, 0, 1, 1, 0, 0, 0}));
}

}  // namespace
