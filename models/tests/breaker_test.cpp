// The breaker's rules on one switched branch, its variants, and a breaker
// opening an R-L load at its current zero against ngspice.
#include <gtest/gtest.h>

#include "engine/pointer_block.h"
#include "models/breakers/breaker.h"
#include "models/tests/ngspice_run.h"
#include "models/tests/rectifier_circuit.h"
#include "platform/tests/support/capture.h"

namespace {

using rectifier::Circuit;

class Breaker : public testing::Test {
protected:
    void SetUp() override {
        Circuit::tables(2, 2);
        Circuit::branch(1, 2, 1e6, true);
        Circuit::branch(2, 0, 1.0);
        RUN_FLAGS.FIRST_STEP_DATA = RUN_FLAGS.FIRST_STEP_RUN = LTRUE;
        BREAKER(1, 1, 0.5, 1e6, 0.0, 0, 0);
        RUN_FLAGS.FIRST_STEP_DATA = RUN_FLAGS.FIRST_STEP_RUN = LFALSE;
    }
    void TearDown() override { reset_all_engine_state(); }
    static void state(bool open, int32_t kind, double current) {
        NET.OPENBR(1, 1) = as_logical(open);
        NET.IORV(1, 1) = kind;
        NET.CBR(1, 1) = current;
    }
    static bool open() { return is_true(NET.OPENBR(1, 1)); }
};

struct Rule {
    const char* name;
    bool open;
    int32_t kind;
    double current, chop;
    int32_t at_once, close;
    bool safety;
    // After the call.
    bool opened;
    int32_t kind_after;
    double level;
};
void PrintTo(const Rule& c, std::ostream* os) { *os << c.name; }

class BreakerRules : public Breaker, public testing::WithParamInterface<Rule> {};

TEST_P(BreakerRules, OneCall) {
    const Rule& r = GetParam();
    state(r.open, r.kind, r.current);
    NET.SWVAL(1, 1) = 99.0;
    if (r.safety)
        BREAKER_SAFETY(1, 1, 0.5, 1e6, r.at_once, r.close);
    else
        BREAKER(1, 1, 0.5, 1e6, r.chop, r.at_once, r.close);
    EXPECT_EQ(open(), r.opened);
    EXPECT_EQ(NET.IORV(1, 1), r.kind_after);
    EXPECT_EQ(NET.SWVAL(1, 1), r.level);
    EXPECT_EQ(NET.BRANCH_R(1, 1), r.opened ? 1e6 : 0.5);
    EXPECT_EQ(NET.TSWITCH(1, 1), 1.5);
}

INSTANTIATE_TEST_SUITE_P(
    All, BreakerRules,
    testing::Values(Rule{"OpenClosesOnOne", true, 6, 0.0, 0.0, 0, 1, false, false, 6, 0.0},
                    Rule{"OpenStaysOnTwo", true, 6, 0.0, 0.0, 0, 2, false, true, 6, 99.0},
                    Rule{"ArmedNegativeReachedOpensDespiteClose", false, 13, -0.5, 1.0, 0, 1, false, true, 6, 1.0},
                    Rule{"ArmedNegativeCancelledByClose", false, 13, -2.0, 1.0, 0, 1, false, false, 6, 99.0},
                    Rule{"ArmedPositiveReached", false, -13, 1.0, 1.0, 0, 0, false, true, 6, 1.0},
                    Rule{"CloseTwoKeepsClosed", false, 6, 5.0, 0.0, 0, 2, false, false, 6, 99.0},
                    Rule{"OpenAtOnce", false, 6, 5.0, 0.0, 1, 0, false, true, 6, 0.0},
                    Rule{"ArmsPositive", false, 6, 5.0, 1.0, 0, 0, false, false, -13, 1.0},
                    Rule{"ArmsNegative", false, 6, -5.0, 1.0, 0, 0, false, false, 13, -1.0},
                    Rule{"WithinChopOpens", false, 6, 0.5, -1.0, 0, 0, false, true, 6, 1.0},
                    Rule{"ZeroCurrentZeroChopOpens", false, 6, 0.0, 0.0, 0, 0, false, true, 6, 0.0},
                    Rule{"SafetyZeroCurrentStays", false, 6, 0.0, 0.0, 0, 0, true, false, 6, 99.0},
                    Rule{"SafetyArmsWithoutLevel", false, 6, 5.0, 0.0, 0, 0, true, false, -13, 99.0},
                    Rule{"SafetyOpensAtZero", false, 13, 0.0, 0.0, 0, 0, true, true, 6, 0.0},
                    Rule{"ArmedPositiveNotReachedStaysArmed", false, -13, 2.0, 1.0, 0, 0, false, false, -13, 1.0},
                    Rule{"SafetyArmsNegativeWithoutLevel", false, 6, -5.0, 0.0, 0, 0, true, false, 13, 99.0}),
    [](const testing::TestParamInfo<Rule>& p) { return std::string(p.param.name); });

TEST_F(Breaker, NoOnResistanceGivesTheSmallest) {
    state(true, 6, 0.0);
    BREAKER(1, 1, 0.0, 1e6, 0.0, 0, 1);
    EXPECT_EQ(NET.BRANCH_R(1, 1), 1e-12);
}

TEST_F(Breaker, NegativeBranchStopsOnTheFirstStep) {
    state(true, 6, 0.0);
    const Captured later = capture([] { BREAKER(1, -1, 0.5, 1e6, 0.0, 0, 1); });
    EXPECT_FALSE(later.aborted) << later.out;
    EXPECT_FALSE(open());
    RUN_FLAGS.FIRST_STEP_DATA = LTRUE;
    const Captured out = capture([] { BREAKER(1, -1, 0.5, 1e6, 0.0, 0, 1); });
    EXPECT_TRUE(out.aborted);
    EXPECT_NE(out.out.find("Negative Branch #   -1 in SS  1"), std::string::npos) << out.out;
}

TEST_F(Breaker, SnapshotStartRefreshesTheOtherState) {
    RUN_FLAGS.FIRST_STEP_RUN = LTRUE;
    state(true, 6, 0.0);
    BREAKER(1, 1, 2.0, 1e5, 0.0, 0, 0);
    EXPECT_EQ(NET.GON(1, 1), 0.5);
    state(false, 6, 0.0);
    BREAKER(1, 1, 2.0, 1e5, 0.0, 0, 2);
    EXPECT_EQ(NET.GOFF(1, 1), 1e-5);
    const Captured warned = capture([] { BREAKER(1, 1, 2.0, 1.0, 0.0, 0, 2); });
    EXPECT_NE(warned.out.find("OFF resistance of switch must be larger than ON resistance, Proceeding with "
                              "original values."),
              std::string::npos)
        << warned.out;
    const Captured six = capture([] {
        STORAGE.RTCF(POINTER_BLOCK.NRTCF) = 0.0;
        BREAKER6(1, 1, 2.0, 1.0, 0, 2);
    });
    EXPECT_NE(six.out.find(" OFF resistance of switch must be larger than ON res.\n Proceeding with original values."),
              std::string::npos)
        << six.out;
    EXPECT_EQ(NET.GOFF(1, 1), 1e-5);
}

TEST_F(Breaker, SixTakesTheStoredChop) {
    POINTER_BLOCK.NRTCF = 1;
    BREAKER1(0.5, 1e6, -2.0);
    EXPECT_EQ(STORAGE.RTCF(1), 2.0);
    POINTER_BLOCK.NRTCF = 1;
    state(false, 6, 1.5);
    BREAKER6(1, 1, 0.5, 1e6, 0, 0);
    EXPECT_TRUE(open());
    EXPECT_EQ(POINTER_BLOCK.NRTCF, 2);
}

TEST_F(Breaker, SetUpChecksStop) {
    const Captured one = capture([] { BREAKER1(1.0, 1.0, 0.0); });
    EXPECT_TRUE(one.aborted);
    EXPECT_NE(one.out.find("Open resistance must be greater than closed resistance"), std::string::npos);
    EXPECT_NE(one.out.find("BREAKER1"), std::string::npos);
    EXPECT_FALSE(capture([] { PREINS_CHECK(1.0, 100.0, 50.0, "MYBRK"); }).aborted);
    const Captured pre = capture([] { PREINS_CHECK(1.0, 100.0, 100.0, "MYBRK"); });
    EXPECT_TRUE(pre.aborted);
    EXPECT_NE(pre.out.find("Pre-insertion resistance must be between ON and OFF resistances"), std::string::npos);
    EXPECT_NE(pre.out.find("MYBRK"), std::string::npos);
}

TEST_F(Breaker, SafetyNoticeWhenInterpolating) {
    state(false, -13, 0.0);
    const Captured out = capture([] { BREAKER_SAFETY(1, 1, 0.5, 1e6, 0, 0); });
    EXPECT_EQ(out.out, " BREAKER:Safety turnoff at nodes:           1           2 ss:           1\n");
}

// 100 sin(2 pi 50 t) behind 0.01 ohm, the breaker, 5 ohm + 20 mH; closed
// until 52.3 ms.
TEST(BreakerCircuit, OpensAtTheCurrentZero) {
    ASSERT_TRUE(have_ngspice());
    const auto ref = ngspice_samples(
        "V1 s 0 SIN(0 100 50)\nR1 s n1 0.01\nVM n1 n2 0\nRL n2 n3 5\nLL n3 0 20m\n", "i(vm)", 0.06);
    Circuit c;
    Circuit::tables(2, 3);
    const int32_t src = Circuit::branch(0, 1, 0.01);
    NET.SOURCE(src, 1) = LTRUE;
    const int32_t brk = Circuit::branch(1, 2, 1e6, true);
    const int32_t load = Circuit::branch(2, 0, 5.0);
    BRANCH_RLC(load, 1, 1, 1, 0, 5.0, 0.02, 0.0);
    const double off = 52.3e-3;
    c.models = [&] {
        const double t = RUN_CLOCK.TIME;
        NET.EBR(src, 1) = rectifier::emf(t);
        BREAKER(1, brk, 0.0, 1e6, 0.0, 0, t < off - 1e-9 ? 1 : 0);
    };
    const double peak = 100.0 / std::hypot(5.01, 2 * M_PI * 50 * 0.02);
    double worst = 0.0, leak = 0.0, reversed = 0.0, opened_at = -1.0, zero = 0.0;
    double last[2] = {0.0, 0.0};
    const Captured out = capture([&] {
        c.begin();
        for (size_t n = 0; n < ref.size(); ++n) {
            c.step();
            const double t = n * rectifier::kStep, i = NET.CBR(brk, 1);
            if (t < off) worst = std::max(worst, std::fabs(i - ref[n][0]));
            if (opened_at < 0 && is_true(NET.OPENBR(brk, 1))) {
                opened_at = t;
                zero = t - rectifier::kStep + last[1] * rectifier::kStep / (last[0] - last[1]);
            }
            if (opened_at >= 0) leak = std::max(leak, std::fabs(i));
            if (t > 0.04 && ref[n][0] > 0) reversed = std::max(reversed, -i);
            last[0] = last[1];
            last[1] = i;
        }
    });
    ASSERT_FALSE(out.aborted) << out.out;
    EXPECT_LT(worst, 1e-3 * peak);
    const double expected = 52.85739e-3;
    EXPECT_GT(expected, opened_at - rectifier::kStep);
    EXPECT_LE(expected, opened_at);
    EXPECT_NEAR(zero, expected, 0.02 * rectifier::kStep);
    EXPECT_LE(reversed, 1.1e-4);
    EXPECT_LE(leak, 1.1e-4);
}

}  // namespace
