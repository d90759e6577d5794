// Frequency, voltage and unbalance of a three-phase bus from its zero
// crossings and envelope, and the filtered peak-voltage meter.
#include "controls/measurement/bus_frequency.h"

#include <cmath>
#include <string>
#include <vector>

#include "controls/tests/elementary_support.h"
#include "controls/tests/network_fixture.h"

namespace {

using ::testing::ValuesIn;

constexpr double kTwoPi = 6.283185307179586;
// Line RMS 10 V: phase peak 10*sqrt(2/3).
const double kPeak = 10.0 * std::sqrt(2.0 / 3.0);

std::vector<DisciplineRow> bus_rows() {
    std::vector<DisciplineRow> rows;
    const SlotState rated{"rated", {}, {}, {10.0, kTwoPi * 60.0, 0.05, 0.001, 0.02, 0.377, 0.1}};
    rows.push_back({"FWAV22", {.storf = 15, .stori = 7, .rtcf = 7},
                    [] {
                        const double v[3] = {1.0, -2.0, 1.0};
                        double f, dw, vpu;
                        FWAV22(v, f, dw, vpu);
                    },
                    [rated](const BlockSlots& s) { rated.place(s); }});
    rows.push_back({"FWAV22_SETUP", {.rtcf = 7}, [] { FWAV22_SETUP(10.0, 60.0, 0.05); }});
    rows.push_back({"FWAV22_STOR", {.stor = 22}, [] {
                        double a, b, c, d;
                        FWAV22_STOR(1.0, -2.0, 1.0, 10.0, 377.0, 0.05, a, b, c, d);
                    }});
    for (double sel : {1.0, 2.0}) {
        rows.push_back({sel < 1.75 ? "PEAK_VOLT_3PH_filtered" : "PEAK_VOLT_3PH_unfiltered", {.stor = 35},
                        [sel] {
                            double out;
                            PEAK_VOLT_3PH(1, 2, 0, 1, sel, 10.0, 377.0, out);
                        },
                        [](const BlockSlots&) { small_network({{1, 2}}); }});
    }
    return rows;
}

INSTANTIATE_TEST_SUITE_P(BusFrequency, SlotDiscipline, ValuesIn(bus_rows()), discipline_row_name);

struct Meter {
    double fout = 0.0, dw = 0.0, vpu = 0.0;
};

class Fwav22 : public RunBlockTest {
protected:
    // A balanced set whose phase advances at f(t) Hz, plus offset on every
    // phase; the meter's outputs step by step.
    std::vector<Meter> run(double seconds, const std::function<double(double)>& freq, double offset = 0.0) {
        RUN_CLOCK.DELT = 50e-6;
        std::vector<Meter> out;
        double angle = 0.0;
        console = run_module(
                      static_cast<int>(std::lround(seconds / 50e-6)) + 1, [] { FWAV22_SETUP(10.0, 60.0, 0.05); },
                      [&](int) {
                          const double v[3] = {phase_of(kPeak, angle, 0) + offset,
                                               phase_of(kPeak, angle, 1) + offset,
                                               phase_of(kPeak, angle, 2) + offset};
                          Meter m;
                          FWAV22(v, m.fout, m.dw, m.vpu);
                          out.push_back(m);
                          angle += kTwoPi * freq(RUN_CLOCK.TIME) * 50e-6;
                          return 0.0;
                      })
                      .console;
        return out;
    }
    Captured console;
};

TEST_F(Fwav22, ABalancedSetAtRatedFrequencyGivesRatedFrequencyAndOnePerUnit) {
    const std::vector<Meter> m = run(0.5, [](double) { return 60.0; });
    EXPECT_NEAR(m.back().fout / (kTwoPi * 60.0), 1.0, 1e-7);
    EXPECT_LT(std::abs(m.back().dw), 1e-6);
    EXPECT_NEAR(m.back().vpu, 1.0, 0.01);
    EXPECT_EQ(console.out, "");
}

TEST_F(Fwav22, APhaseContinuousStepTo61HertzIsFollowedWithin50Milliseconds) {
    const std::vector<Meter> m = run(0.35, [](double t) { return t < 0.3 ? 60.0 : 61.0; });
    EXPECT_NEAR(m.back().fout / kTwoPi, 61.0, 0.01);
}

TEST_F(Fwav22, AnOffsetOnAllPhasesIsReportedEachMillisecondFromTheFirstEvaluation) {
    run(0.1045, [](double) { return 60.0; }, 0.5);
    const std::string line = " FWAV22 MEASURING  10.00KV BUS DETECTS0.150 PU UNBALANCE\n";
    std::string expected;
    for (int k = 0; k < 5; ++k) expected += line;
    EXPECT_EQ(console.out, expected);
}

TEST(Fwav22Setup, TooSmallAConstantStopsTheRun) {
    for (const auto& [vr, f, t] : std::vector<std::array<double, 3>>{{10.0, 60.0, 0.0005}, {0.0, 60.0, 0.05},
                                                                     {10.0, 0.0, 0.05}}) {
        reset_block_stores();
        const Captured c = stopped([&] { FWAV22_SETUP(vr, f, t); });
        EXPECT_TRUE(c.aborted);
        EXPECT_EQ(c.out, data_error_text("Exteremely small values in Time constant, voltage or Frequency", "FWAV22"));
    }
}

TEST(Fwav22Stor, AZeroConstantEndsTheRunWithItsMessage) {
    reset_block_stores();
    set_first_step(true);
    const Captured c = stopped([] {
        double a, b, d, e;
        FWAV22_STOR(1.0, -2.0, 1.0, 10.0, 0.0, 0.05, a, b, d, e);
    });
    set_first_step(false);
    EXPECT_TRUE(c.aborted);
    EXPECT_EQ(c.out, "\n **** YOU HAVE EITHER TS, WO OR VR EQUAL ZERO ****\n      IN ARGUMENT OF FWAV22 SUBROUTINE\n"
                     "\n **** EXECUTION TERMINATING  ****\n\n" + abort_frame("OUTMSG"));
}

TEST_F(Fwav22, TheOlderFormFollowsARatedSetWithinAStep) {
    RUN_CLOCK.DELT = 50e-6;
    double fhz = 0.0, w = 0.0, dw = 0.0, vout = 0.0;
    double angle = 0.0;
    const ModuleRun r = run_module(10001, nullptr, [&](int) {
        FWAV22_STOR(phase_of(kPeak, angle, 0), phase_of(kPeak, angle, 1), phase_of(kPeak, angle, 2), 10.0,
                    kTwoPi * 60.0, 0.05, fhz, w, dw, vout);
        angle += kTwoPi * 60.0 * 50e-6;
        return 0.0;
    });
    // Intervals measured to the step after the crossing: within a step's worth.
    EXPECT_NEAR(fhz, 60.0, 60.0 * 50e-6 / (1.0 / 360.0));
    EXPECT_NEAR(w, kTwoPi * fhz, 1e-9);
    EXPECT_NEAR(vout, 10.0, 0.1);
    EXPECT_EQ(r.console.out, "");
}

TEST(PeakVolt3ph, AZeroBaseStopsTheRun) {
    reset_block_stores();
    small_network({{1, 2}});
    double out = 0.0;
    const Captured c = stopped([&] { PEAK_VOLT_3PH(1, 2, 0, 1, 2.0, 0.0, 377.0, out); });
    EXPECT_TRUE(c.aborted);
    EXPECT_EQ(c.out, data_error_text("Base voltage must not be zero", "PEAK_VOLT_3P"));
}

TEST_F(Fwav22, PeakVoltageOfAConstantBalancedSetSettlesOnItsPerUnitPeak) {
    small_network({{1, 2}});
    // Phase voltages 1, -0.5 and ground: phase a's 1 is the largest, over
    // a phase base of 0.57735; the low-pass gain is 0.7153.
    NET.VNODE(1, 1) = 1.0;
    NET.VNODE(2, 1) = -0.5;
    RUN_CLOCK.DELT = 50e-6;
    double out = 0.0;
    outputs(40001, [&](int) {
        PEAK_VOLT_3PH(1, 2, 0, 1, 2.0, 1.0, 377.0, out);
        return out;
    });
    EXPECT_NEAR(out, 0.7153 / 0.57735, 1e-6);
}

}  // namespace
