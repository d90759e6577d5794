// The PI regulator with anti-windup on storage of its own: its integral,
// reset, hold, back-calculation and the warning for crossed limits.
#include <cstdio>

#include "case/pi_antiwindup.h"
#include "case/tests/case_support.h"

namespace {

constexpr double kDt = 50e-6;

struct PiIn {
    double e = 0.0;
    int32_t hold = 0, reset = 0;
    double kp = 1.0, ti = 0.01, kaw = 1.0, upper = 100.0, lower = -100.0;
};

class PiTest : public testing::Test {
protected:
    void SetUp() override {
        reset_all_engine_state();
        StorageArrays& S = STORAGE;
        S.TXFR.allocate(2, 4);
        S.STOF.allocate(36);
        S.STOI.allocate(6);
        S.RTCI.allocate(2);
        S.RTCF.allocate(2);
        S.STORL.allocate(2);
        S.STORF.allocate(6);
        RUN_CLOCK.DELT = kDt;
        RUN_FLAGS.FIRST_STEP_DATA = LTRUE;
        RESETPTRS();
        for (int32_t i = 0; i < instances_; ++i) PI_AntiWindUp_2_DSD_BEGIN();
    }
    void TearDown() override { reset_all_engine_state(); }

    // One step of every instance with the same inputs; the first's output.
    double step(const PiIn& in) {
        double out[2] = {0.0, 0.0};
        console_ += capture([&] {
                        RESETPTRS();
                        for (int32_t i = 0; i < instances_; ++i)
                            PI_AntiWindUp_2_DSD(in.e, out[i], in.hold, in.reset, in.kp, in.ti, in.kaw, in.upper,
                                                in.lower);
                        RESETPTRS_OUT();
                        for (int32_t i = 0; i < instances_; ++i) PI_AntiWindUp_2_DSO();
                    }).out;
        RUN_FLAGS.FIRST_STEP_DATA = LFALSE;
        return out[0];
    }
    static double stof(int32_t j) { return STORAGE.STOF(j); }

    int32_t instances_ = 2;
    std::string console_;
    const ScopedChdir in_data_{case_data_dir()};
};

TEST_F(PiTest, ConstantErrorIntegratesAtItsRate) {
    const PiIn in{.e = 0.3, .kp = 2.0, .ti = 0.01};
    for (int32_t n = 0; n <= 40; ++n) {
        const double want = in.kp * in.e + n * kDt * in.e / in.ti;
        EXPECT_NEAR(step(in), want, 1e-12 * want) << n;
    }
    EXPECT_EQ(stof(18), 0.0);
}

TEST_F(PiTest, ResetGivesZeroClampedToTheLimits) {
    step({.e = 0.5});
    EXPECT_EQ(step({.e = 0.5, .reset = 1, .upper = 1.0, .lower = 0.2}), 0.2);
    EXPECT_EQ(stof(11), 0.0);  // no proportional part
}

TEST_F(PiTest, HoldMovesTheIntegralOnceMore) {
    const PiIn run{.e = 0.4, .ti = 0.02};
    for (int32_t n = 0; n < 5; ++n) step(run);
    const double before = stof(10);
    PiIn held = run;
    held.hold = 1;
    step(held);
    EXPECT_DOUBLE_EQ(stof(10), before + kDt / 2 * run.e / run.ti);
    const double after = stof(10);
    step(held);
    EXPECT_EQ(stof(10), after);
    held.hold = 2;  // only 1 holds
    step(held);
    EXPECT_GT(stof(10), after);
}

TEST_F(PiTest, SaturationFeedsTheLimitDifferenceBack) {
    const PiIn in{.e = 1.0, .kp = 10.0, .upper = 1.0, .lower = -1.0};
    EXPECT_EQ(step(in), 1.0);
    EXPECT_EQ(stof(14), 1.0 - 10.0);
    step(in);
    EXPECT_EQ(stof(13), in.e + in.kaw * (in.upper - 10.0));
    EXPECT_EQ(stof(16), -9.0);
}

TEST_F(PiTest, CrossedLimitsWarnOncePerInstance) {
    const PiIn crossed{.e = 0.5, .kp = 3.0, .upper = 0.0, .lower = 1.0};
    for (int32_t n = 0; n < 4; ++n) {
        const double out = step(crossed);
        EXPECT_EQ(out, stof(8));   // unlimited
        EXPECT_EQ(stof(14), 0.0);  // no limit difference
        EXPECT_EQ(stof(10), 1.0);  // the integrator's own clamp, lower last
        step({.e = 0.5});          // in order again between
    }
    const std::string text = "Lower limit is more than the upper limit, limits not enforced.";
    size_t count = 0;
    for (size_t at = console_.find(text); at != std::string::npos; at = console_.find(text, at + 1)) ++count;
    EXPECT_EQ(count, 2u) << console_;
    for (int32_t inst : {1, 2}) {
        char ids[40];
        std::snprintf(ids, sizeof ids, "[%12d :%12d ]", inst, 511142169);
        EXPECT_NE(console_.find(text + ids), std::string::npos) << console_;
    }
}

TEST_F(PiTest, InstancesKeepSeparateBlocks) {
    step({.e = 0.5});
    EXPECT_EQ(STORAGE.TXFR(1, 3), 0);
    EXPECT_EQ(STORAGE.TXFR(2, 3), 18);
    EXPECT_EQ(STORAGE.TXFR(2, 2), 3);
    EXPECT_EQ(POINTER_BLOCK.NSTORL, 3);
}

}  // namespace
