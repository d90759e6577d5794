// Three-phase and single-phase measurements on a network whose voltages
// and currents the tests write.
#include "controls/measurement/power_meters.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <numeric>
#include <string>
#include <vector>

#include "controls/tests/elementary_support.h"
#include "controls/tests/network_fixture.h"

namespace {

using ::testing::ValuesIn;

constexpr double kPi = 3.141592653589793;
constexpr double kW = 2.0 * kPi * 60.0;

// Branches 1-3 from nodes 1-3 to 4-6; branches 4-6 from ground to 7-9.
void meter_network() { small_network({{1, 4}, {2, 5}, {3, 6}, {0, 7}, {0, 8}, {0, 9}}); }

// Balanced voltages of peak V at `nodes` and currents of peak I lagging
// them by phi in `branches`, at angle wt.
void balanced(int32_t first_node, int32_t first_branch, double V, double I, double phi, double wt) {
    for (int k = 0; k < 3; ++k) {
        NET.VNODE(first_node + k, 1) = phase_of(V, wt, k);
        NET.CBR(first_branch + k, 1) = phase_of(I, wt - phi, k);
    }
}

std::vector<DisciplineRow> power_rows() {
    std::vector<DisciplineRow> rows;
    const auto net = [](const BlockSlots&) {
        meter_network();
        balanced(1, 1, 2.0, 1.0, 0.3, 0.4);
    };
    const auto row = [&](std::string name, SlotCounts counts, std::function<void()> call) {
        rows.push_back({std::move(name), counts, std::move(call), net});
    };
    int32_t one;
    double p, q;
    row("PQ3PH_METER_oneGroup", {.stor = 12, .stori = 1}, [&] { PQ3PH_METER(1, 1, 2, 3, 0, 5, 6, one, 0.01, p, q); });
    row("PQ3PH_METER_twoGroups", {.stor = 12, .stori = 1}, [&] { PQ3PH_METER(1, -4, 5, 6, 1, 2, 3, one, 0.01, p, q); });
    for (int32_t flag : flag_values()) {
        row("P3PH3_f" + flag_name(flag), {.stor = 3}, [flag] { P3PH3(1, 1, 2, 3, 0.01, flag); });
        row("Q3PH3_f" + flag_name(flag), {.stor = 3}, [flag] { Q3PH3(1, -1, 2, 3, 0.01, flag); });
        row("PQ3PH3_f" + flag_name(flag), {.stor = 6}, [flag, &p, &q] { PQ3PH3(1, -1, 2, 3, 0.01, flag, p, q); });
    }
    row("P3PH2_toGround", {.stor = 2}, [] { P3PH2(1, 7, 8, 9, 0, 0, 0, 0.01); });
    row("Q3PH2_betweenNodes", {.stor = 2}, [] { Q3PH2(1, 1, 2, 3, 4, 5, 6, 0.01); });
    row("RMS_3PH_RECT", {.stor = 2}, [] { RMS_3PH_RECT(1, 1, 2, 0, 0.01); });
    row("PQVI1PH", {.stor = 13, .storf = 2}, [] { PQVI1PH(1, 1, -1, 0.01); });
    row("RMS_LAG", {.stor = 3}, [] { RMS_LAG(1.0, 0.01); });
    return rows;
}

INSTANTIATE_TEST_SUITE_P(Power, SlotDiscipline, ValuesIn(power_rows()), discipline_row_name);

class PowerMeters : public RunBlockTest {
protected:
    void SetUp() override {
        RunBlockTest::SetUp();
        meter_network();
    }
};

void expect_relative(double got, double want, const std::string& what) {
    EXPECT_NEAR(got, want, 1e-12 * std::fabs(want)) << what;
}

TEST_F(PowerMeters, BalancedPowerIsConstantAtEveryStepAndTheSmoothedValueEqualsIt) {
    const double V = 3.0, I = 2.0, phi = 0.4;
    for (int n = 0; n < 200; ++n) {
        begin_step(n);
        balanced(1, 1, V, I, phi, kW * n * kDelt + 0.1);
        const double P = P3PH3(1, 1, 2, 3, 0.05, 0), Q = Q3PH3(1, 1, 2, 3, 0.05, 0);
        const BlockSlots s = start_slots();
        expect_relative(s.S(2), 1.5 * V * I * std::cos(phi), "raw P, step " + std::to_string(n));
        expect_relative(s.S(5), 1.5 * V * I * std::sin(phi), "raw Q, step " + std::to_string(n));
        expect_relative(P, 1.5 * V * I * std::cos(phi), "P, step " + std::to_string(n));
        expect_relative(Q, 1.5 * V * I * std::sin(phi), "Q, step " + std::to_string(n));
    }
}

// The pair reads the phases once and gives, to the bit, what the two
// blocks give in turn: results and slots, in either direction, measured at
// either end, and with a branch outside the tables.
TEST_F(PowerMeters, PairIsPowerThenReactivePowerInTurn) {
    for (const int32_t first : {1, -1, 4, 9})
        for (const int32_t flag : flag_values()) {
            const auto run = [&](bool pair) {
                clear_block_stores();
                std::vector<double> out;
                for (int n = 0; n < 5; ++n) {
                    begin_step(n);
                    balanced(1, 1, 3.0, 2.0, 0.4, kW * n * kDelt + 0.1);
                    balanced(7, 4, 1.5, 0.5, -0.2, kW * n * kDelt + 0.3);
                    double p = 0.0, q = 0.0;
                    const Captured c = capture([&] {
                        if (pair) {
                            PQ3PH3(1, first, 5, 3, 0.02, flag, p, q);
                        } else {
                            p = P3PH3(1, first, 5, 3, 0.02, flag);
                            q = Q3PH3(1, first, 5, 3, 0.02, flag);
                        }
                    });
                    if (c.aborted) out.push_back(-1.0);
                    out.insert(out.end(), {p, q});
                    const BlockSlots s = start_slots();
                    for (int32_t k = 0; k < 6; ++k) out.push_back(s.S(k));
                }
                // The pair reads a branch outside the tables once, not twice.
                out.push_back(array_overrun_count() > 0 ? 1.0 : 0.0);
                return out;
            };
            const std::vector<double> two = run(false), pair = run(true);
            ASSERT_EQ(pair.size(), two.size());
            for (size_t k = 0; k < two.size(); ++k)
                EXPECT_EQ(std::bit_cast<uint64_t>(pair[k]), std::bit_cast<uint64_t>(two[k]))
                    << "entry " << k << ", first branch " << first << ", flag " << flag;
        }
}

TEST_F(PowerMeters, MeterOnGroundedFromNodesMeasuresAtTheToNodesInEitherDirection) {
    const double V = 3.0, I = 2.0, phi = 0.4, P = 1.5 * V * I * std::cos(phi), Q = 1.5 * V * I * std::sin(phi);
    for (int32_t sign : {1, -1}) {
        clear_block_stores();
        begin_step(0);
        balanced(7, 4, V, I, phi, 0.7);
        int32_t one = 0;
        double p, q;
        PQ3PH_METER(1, sign * 4, 5, 6, 0, 0, 0, one, 0.05, p, q);
        EXPECT_EQ(one, 1);
        EXPECT_EQ(STORAGE.STORI(start_slots().stori), 1);
        expect_relative(p, sign * P, "P");
        expect_relative(q, sign * Q, "Q");
    }
}

TEST_F(PowerMeters, NodePairFormsUseTheirOwnCurrentDirectionAndFiveDigitConstant) {
    const double V = 3.0, I = 2.0, phi = 0.4, P = 1.5 * V * I * std::cos(phi), Q = 1.5 * V * I * std::sin(phi);
    begin_step(0);
    balanced(7, 4, V, I, phi, 0.7);
    balanced(1, 1, V, I, phi, 0.7);
    expect_relative(P3PH2(1, 7, 8, 9, 0, 0, 0, 0.05), P, "to ground");
    expect_relative(Q3PH2(1, 7, 8, 9, 0, 0, 0, 0.05), Q * 0.57735 / 0.577350269189626, "to ground");
    // The current from M to N: against branches 1-3.
    expect_relative(P3PH2(1, 1, 2, 3, 4, 5, 6, 0.05), -P, "between nodes");
}

TEST_F(PowerMeters, RectifierEstimateOfABalancedSine) {
    const double a = 2.0;
    std::vector<double> y;
    for (int n = 0; n <= 20000; ++n) {
        begin_step(n);
        balanced(1, 1, a, 0.0, 0.0, kW * n * kDelt);
        y.push_back(RMS_3PH_RECT(1, 1, 2, 3, 0.02));
    }
    EXPECT_NEAR(y[0], 0.7407 * std::sqrt(3.0) * a, 1e-12);
    EXPECT_NEAR(y[0], 1.28293 * a, 1e-5 * a);
    const std::vector<double> last(y.begin() + 18000, y.end());
    const double mean = std::accumulate(last.begin(), last.end(), 0.0) / static_cast<double>(last.size());
    EXPECT_NEAR(mean, 1.225108 * a, 1e-6 * a);
    const auto [lo, hi] = std::minmax_element(last.begin(), last.end());
    EXPECT_LT(*hi - mean, 1.6e-3 * a);
    EXPECT_LT(mean - *lo, 1.6e-3 * a);
    // A cosine set starts at the narrowest spread, and ground is 0.
    clear_block_stores();
    begin_step(0);
    balanced(1, 1, a, 0.0, 0.0, kPi / 2.0);
    EXPECT_NEAR(RMS_3PH_RECT(1, 1, 2, 3, 0.02), 0.7407 * 1.5 * a, 1e-12);
    begin_step(0);
    NET.VNODE(1, 1) = 1.0;
    NET.VNODE(2, 1) = 3.0;
    EXPECT_NEAR(RMS_3PH_RECT(1, 1, 2, 0, 0.02), 0.7407 * 3.0, 1e-15);
}

TEST_F(PowerMeters, PowerFactorAngleOfAVoltageLeadingItsCurrent) {
    double VM, IM;
    for (double phi : {-2.5, -0.3, 0.0, 0.7, 3.0}) {
        const double wt = 0.9;
        const double angle =
            PF_ANGLE_3PH(phase_of(2.0, wt, 0), phase_of(2.0, wt, 1), phase_of(2.0, wt, 2), phase_of(0.5, wt - phi, 0),
                         phase_of(0.5, wt - phi, 1), phase_of(0.5, wt - phi, 2), VM, IM);
        EXPECT_NEAR(angle, phi, 1e-12) << phi;
        EXPECT_NEAR(VM, 2.0 / std::sqrt(2.0), 1e-12);
        EXPECT_NEAR(IM, 0.5 / std::sqrt(2.0), 1e-12);
    }
    EXPECT_EQ(PF_ANGLE_3PH(1.0, -0.5, -0.5, 1e-4, 1e-4, 1e-4, VM, IM), 0.0);
    EXPECT_NEAR(IM, 1e-4, 1e-18);
    EXPECT_NEAR(VM, std::sqrt(0.5), 1e-12);
}

TEST_F(PowerMeters, SinglePhasePowerOfAVoltageAndCurrentInPhase) {
    const double V = 10.0, I = 2.0;
    for (int n = 0; n <= 20000; ++n) {
        begin_step(n);
        NET.VNODE(1, 1) = V * std::sin(kW * n * kDelt);
        NET.CBR(1, 1) = -I * std::sin(kW * n * kDelt);
        PQVI1PH(1, 1, -1, 0.05);
    }
    const BlockSlots s = start_slots();
    EXPECT_NEAR(s.F(0), V * I / 2.0, 0.02 * V * I);
    EXPECT_NEAR(s.F(1), 0.0, 0.02 * V * I);
    EXPECT_EQ(BRANCH_CURRENT(1, 1), NET.CBR(1, 1));
}

TEST_F(PowerMeters, BadBranchOrGroundedNodeStopsTheRunOnTheFirstStep) {
    begin_step(0);
    Captured c = stopped([] { P3PH3(1, 1, 0, 3, 0.05, 0); });
    EXPECT_TRUE(c.aborted);
    EXPECT_EQ(c.out, " Zero Branch Number\n" + abort_frame("P3PH3"));
    meter_network();
    c = stopped([] { PQVI1PH(1, 1, 7, 0.05); });
    EXPECT_EQ(c.out, "Current Branch# (    7 ) > max Br#    6 in SS  1\n" + abort_frame("PQVI1PH"));
    for (bool reactive : {false, true}) {
        meter_network();
        c = stopped([&] { reactive ? Q3PH2(1, 1, 0, 3, 4, 5, 6, 0.05) : P3PH2(1, 1, 0, 3, 4, 5, 6, 0.05); });
        const std::string which = reactive ? "Q3PH2" : "P3PH2";
        const std::string what = reactive ? "REACTIVE" : "REAL";
        EXPECT_EQ(c.out, "\n *************************************************\n ************ ERROR IN FUNCTION " + which +
                             "! ***********\n   YOU CANNOT MONITOR THE " + what +
                             " POWER AT GROUND\n BECAUSE THE VOLTAGE IS 0.0!\n PLEASE CORRECT DATA AND DSDYN FILES.\n"
                             " *************************************************\n\n **** EXECUTION TERMINATING  "
                             "****\n\n" +
                             abort_frame("OUTMSG"));
    }
}

}  // namespace
