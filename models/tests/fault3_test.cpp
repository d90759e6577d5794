// The three-phase fault: the branches each type closes, the ON-resistance
// cap, and a ground fault at a bus against ngspice.
#include <gtest/gtest.h>

#include "engine/pointer_block.h"
#include "models/tests/fault_circuit.h"
#include "models/tests/ngspice_run.h"
#include "platform/tests/support/capture.h"

namespace {

using fault::kA;
using fault::kAB;

struct Kind {
    const char* name;
    int32_t type, control;
    double ron;
    const char* closed;  // of A B C AB BC CA, '1' closed
    double r_closed;
};
void PrintTo(const Kind& c, std::ostream* os) { *os << c.name; }

class Fault3Kinds : public testing::TestWithParam<Kind> {
protected:
    void TearDown() override { reset_all_engine_state(); }
};

TEST_P(Fault3Kinds, ClosesItsBranches) {
    const Kind& k = GetParam();
    for (int form = 0; form < 3; ++form) {
        rectifier::Circuit c = fault::circuit(k.type, k.ron, [&](int32_t) { return k.control; });
        RUN_FLAGS.FIRST_STEP_DATA = RUN_FLAGS.FIRST_STEP_RUN = LTRUE;
        POINTER_BLOCK.NRTCF = 1;
        FAULT3_INIT(1e6, 0.0);
        POINTER_BLOCK.NRTCF = 1;
        if (form == 0) FAULT3(1, kAB, kAB + 1, kAB + 2, kA, kA + 1, kA + 2, 0, k.control, k.type, k.ron);
        if (form == 1)
            FAULT3_DIRECT(1, kAB, kAB + 1, kAB + 2, kA, kA + 1, kA + 2, 0, k.control, k.type, 0.0, k.ron, 1e6);
        if (form == 2) FAULT3_SAFETY(1, kAB, kAB + 1, kAB + 2, kA, kA + 1, kA + 2, k.ron, 1e6, 0, k.control, k.type);
        EXPECT_EQ(POINTER_BLOCK.NRTCF, form == 0 ? 3 : 1);
        const int32_t order[] = {kA, kA + 1, kA + 2, kAB, kAB + 1, kAB + 2};
        for (int j = 0; j < 6; ++j) {
            const bool closed = k.closed[j] == '1';
            EXPECT_EQ(!is_true(NET.OPENBR(order[j], 1)), closed) << form << " " << j;
            if (closed) {
                EXPECT_EQ(NET.BRANCH_R(order[j], 1), form == 0 ? k.r_closed : k.ron) << form;
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(All, Fault3Kinds,
                         testing::Values(Kind{"ThreePhaseToGround", 7, 1, 1.0, "111000", 1.0},
                                         Kind{"BetweenThreePhases", 11, 1, 1.0, "000111", 1.0},
                                         Kind{"BAndCToGround", 6, 1, 1.0, "011000", 1.0},
                                         Kind{"AAndCBetween", 9, 1, 1.0, "000001", 1.0},
                                         Kind{"ControlTwoAppliesNothing", 7, 2, 1.0, "000000", 1.0},
                                         Kind{"OnCappedAtOnePercentOfOff", 11, 1, 1e5, "000111", 1e4},
                                         Kind{"TypeZero", 0, 1, 1.0, "000000", 1.0},
                                         Kind{"TypeTwelve", 12, 1, 1.0, "000000", 1.0}),
                         [](const testing::TestParamInfo<Kind>& p) { return std::string(p.param.name); });

// Type 7 applied from 30.1 ms to 130.2 ms; ngspice's fault closes at the
// start of the step whose dynamic pass closes the breakers.
TEST(Fault3Circuit, GroundFaultAtABus) {
    ASSERT_TRUE(have_ngspice());
    std::string net =
        "Vctl ctl 0 PWL(0 0 30.0499m 0 30.05m 1)\n.model fsw sw vt=0.5 vh=0.1 ron=0.01 roff=1e6\n";
    for (int k = 1; k <= 3; ++k) {
        const std::string n = std::to_string(k);
        net += "V" + n + " s" + n + " 0 SIN(0 100 50 0 0 " + std::to_string(-120 * (k - 1)) + ")\nR" + n + " s" +
               n + " n" + n + " 0.01\nRF" + n + " n" + n + " m" + n + " 0.5\nLF" + n + " m" + n + " b" + n +
               " 10m\nRL" + n + " b" + n + " 0 20\nVM" + n + " b" + n + " x" + n + " 0\nS" + n + " x" + n +
               " 0 ctl 0 fsw\n";
    }
    const auto ref = ngspice_samples(net, "i(vm1) i(vm2) i(vm3)", 0.1302);
    ASSERT_GE(ref.size(), 2600u);
    rectifier::Circuit c = fault::circuit(7, 0.01, [](int32_t n) { return n >= 602 && n < 2604 ? 1 : 0; });
    double worst = 0.0, peak = 0.0;
    bool phase_branch_closed = false;
    double opened[3] = {-1, -1, -1}, zero[3] = {0, 0, 0}, last[3][2] = {};
    const Captured out = capture([&] {
        c.begin();
        for (int n = 0; n <= 2900; ++n) {
            c.step();
            const double t = n * rectifier::kStep;
            for (int k = 0; k < 3; ++k) {
                const double i = NET.CBR(kA + k, 1);
                if (n >= 2200 && n < 2604) {
                    worst = std::max(worst, std::fabs(i - ref[n].at(k)));
                    peak = std::max(peak, std::fabs(ref[n][k]));
                }
                if (n >= 2604 && opened[k] < 0 && is_true(NET.OPENBR(kA + k, 1))) {
                    opened[k] = t;
                    zero[k] = t - rectifier::kStep + last[k][1] * rectifier::kStep / (last[k][0] - last[k][1]);
                }
                last[k][0] = last[k][1];
                last[k][1] = i;
                phase_branch_closed |= !is_true(NET.OPENBR(kAB + k, 1));
            }
        }
    });
    ASSERT_FALSE(out.aborted) << out.out;
    EXPECT_FALSE(phase_branch_closed);
    EXPECT_LT(worst, 1e-3 * peak) << peak;
    const double expected[] = {134.4644e-3, 131.1369e-3, 137.8053e-3};
    for (int k = 0; k < 3; ++k) {
        EXPECT_NEAR(zero[k], expected[k], 0.02 * rectifier::kStep) << k;
        EXPECT_GT(expected[k], opened[k] - rectifier::kStep) << k;
        EXPECT_LE(expected[k], opened[k]) << k;
    }
}

}  // namespace
