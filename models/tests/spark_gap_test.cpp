// The spark gap flashing over and going out, with and without the
// solution's interpolation; the statistical breaker's checks and draws.
#include <gtest/gtest.h>

#include "engine/pointer_block.h"
#include "models/breakers/spark_gap.h"
#include "models/tests/rectifier_circuit.h"
#include "platform/tests/support/capture.h"

namespace {

using rectifier::Circuit;

class SparkGap : public testing::TestWithParam<bool> {
protected:
    void TearDown() override { reset_all_engine_state(); }
};

// 100 sin(wt - 0.1) behind 1 ohm, the gap (breakdown 50 V), 10 ohm: the
// steps after which the gap has changed state.
TEST_P(SparkGap, FlashesOverAndGoesOut) {
    const bool interpolate = GetParam();
    Circuit c;
    Circuit::tables(2, 3);
    const int32_t src = Circuit::branch(0, 1, 1.0);
    NET.SOURCE(src, 1) = LTRUE;
    const int32_t gap = Circuit::branch(1, 2, 1e6, true);
    Circuit::branch(2, 0, 10.0);
    NET.SSINTERP(1) = as_logical(interpolate);
    c.models = [&] {
        NET.EBR(src, 1) = rectifier::emf(RUN_CLOCK.TIME, 0.1);
        SPARKGAP(1, gap, 0.01, 1e6, -50.0);
    };
    std::vector<int> changes;
    double worst = 0.0;
    const Captured out = capture([&] {
        c.begin();
        bool open = true;
        for (int n = 0; n <= 250; ++n) {
            c.step();
            if (is_true(NET.OPENBR(gap, 1)) != open) {
                open = !open;
                changes.push_back(n);
            } else if (!open) {
                const double t = n * rectifier::kStep;
                worst = std::max(worst, std::fabs(NET.VNODE(2, 1) - 10.0 / 11.01 * rectifier::emf(t, 0.1)));
            }
        }
    });
    ASSERT_FALSE(out.aborted) << out.out;
    // Breakdown at 1.985 ms and 11.985 ms, the current zero at 10.318 ms;
    // without interpolation one step late, each seen at a step's start.
    const std::vector<int> expected = interpolate ? std::vector<int>{40, 207, 240} : std::vector<int>{41, 208, 241};
    EXPECT_EQ(changes, expected);
    EXPECT_LT(worst, 1e-3 * 100.0);
}

INSTANTIATE_TEST_SUITE_P(All, SparkGap, testing::Bool(),
                         [](const testing::TestParamInfo<bool>& p) {
                             return std::string(p.param ? "Interpolated" : "StepByStep");
                         });

class StatisticalBreaker : public testing::Test {
protected:
    void SetUp() override { Circuit::tables(1, 1); }
    void TearDown() override { reset_all_engine_state(); }
    // Steps of 1 ms: the command of each step; the poles after each.
    static std::vector<std::array<int32_t, 3>> run(int32_t seed, const std::function<int32_t(int)>& command) {
        std::vector<std::array<int32_t, 3>> poles;
        for (int n = 0; n <= 40; ++n) {
            PointerBlock& P = POINTER_BLOCK;
            P.NRTCF = P.NSTORI = P.NSTORF = 1;
            if (n == 0) {
                STATBRK(0.01, 0.02, 3.0);
                P.NRTCF = 1;
            }
            RUN_CLOCK.TIME = n * 1e-3;
            RUN_FLAGS.FIRST_STEP_DATA = RUN_FLAGS.FIRST_STEP_RUN = as_logical(n == 0);
            std::array<int32_t, 3> p{};
            STATBRK_DELAY(seed, command(n), p[0], p[1], p[2]);
            EXPECT_EQ(P.NRTCF, 4);
            EXPECT_EQ(P.NSTORI, 7);
            EXPECT_EQ(P.NSTORF, 4);
            poles.push_back(p);
        }
        return poles;
    }
};

TEST_F(StatisticalBreaker, PolesOpenWithinTheDelays) {
    const auto opened = run(5, [](int n) { return n < 10 ? 1 : 0; });
    const double instants[] = {STORAGE.STORF(1), STORAGE.STORF(2), STORAGE.STORF(3)};
    for (int k = 0; k < 3; ++k) {
        EXPECT_GE(instants[k], 0.010 + 0.01);
        EXPECT_LE(instants[k], 0.010 + 0.02);
        for (int n = 0; n <= 40; ++n) EXPECT_EQ(opened[n][k], n * 1e-3 < instants[k] ? 1 : 0) << n << " " << k;
    }
    EXPECT_EQ(STORAGE.STORI(6), 5);
    SetUp();
    EXPECT_EQ(run(-5, [](int n) { return n < 10 ? -1 : 0; }), opened);
    EXPECT_EQ(STORAGE.STORI(6), 5);
    SetUp();
    run(INT32_MIN, [](int) { return 1; });
    EXPECT_EQ(STORAGE.STORI(6), 1);
}

TEST_F(StatisticalBreaker, CloseCommandCancelsTheOpenings) {
    const auto poles = run(5, [](int n) { return n < 10 || n == 12 ? 1 : 0; });
    // After the close at 12 the command falls again at 13 and draws anew.
    for (int n = 0; n <= 22; ++n) EXPECT_EQ(poles[n], (std::array<int32_t, 3>{1, 1, 1})) << n;
    for (int k = 0; k < 3; ++k) EXPECT_GE(STORAGE.STORF(1 + k), 0.013 + 0.01);
}

TEST_F(StatisticalBreaker, SetUpChecks) {
    struct Case {
        double minimum, maximum, deviations;
        std::vector<const char*> reports;
    };
    for (const Case& k :
         {Case{0.02, 0.02, 3.0, {"Maximum delay should be more than the minimum delay"}},
          Case{0.0, 0.0, 3.0, {"Maximum delay should be more than the minimum delay", "Unrealistic delay times"}},
          Case{0.01, 0.02, 0.0, {"Unrealistic number of standard deviations"}}}) {
        SetUp();
        const Captured out = capture([&] { STATBRK(k.minimum, k.maximum, k.deviations); });
        EXPECT_TRUE(out.aborted);
        for (const char* m : k.reports) EXPECT_NE(out.out.find(m), std::string::npos) << m << out.out;
        EXPECT_EQ(out.out.find("Unrealistic delay times") != std::string::npos, k.reports.size() == 2);
        EXPECT_NE(out.out.find("STATBRK"), std::string::npos);
    }
}

}  // namespace
