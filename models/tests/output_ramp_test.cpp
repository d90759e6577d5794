// The flux output and the saturation enable ramps, step by step.
#include <cmath>

#include "engine/pointer_block.h"
#include "engine/storage.h"
#include "models/transformers/magnetic_circuit.h"
#include "models/transformers/transformers.h"
#include "models/tests/xfmr_test_support.h"

namespace {

class Ramp : public XfmrTest {
protected:
    void SetUp() override {
        XfmrTest::SetUp();
        allocate({{ND_NODES, 2}, {ND_SUBSYS, 1}, {ND_WINDINGS, 2}, {ND_TRAFOS, 1}, {ND_STOR, 40}, {ND_STORI, 4},
                  {ND_STORF, 4}, {ND_RTCF, 4}});
        XFMR_TABLES.XF_COUNT = 1;
    }
    // One step at time t: the pointers reset as every step resets them.
    void at(double t, bool first) {
        RUN_CLOCK.TIME = t;
        RUN_FLAGS.FIRST_STEP_DATA = as_logical(first);
        POINTER_BLOCK.NEXC = 0;
        POINTER_BLOCK.NSTORI = POINTER_BLOCK.NSTORF = POINTER_BLOCK.NRTCF = 1;
    }
    static double ramp() { return XFMR_TABLES.XF_RAMP(1); }
    static int32_t on() { return XFMR_TABLES.XF_RAMPON(1); }
};

TEST_F(Ramp, OneCallRampOnAtOnceThenDownOverHalfACycle) {
    int32_t k = 1, state = 1;
    double f = 50.0;
    at(0.0, true);
    XFMR_RAMP(state, k, f);
    EXPECT_EQ(ramp(), 1.0);
    EXPECT_EQ(on(), 1);
    EXPECT_EQ(POINTER_BLOCK.NEXC, 5);
    state = 0;
    const double t0 = 0.02;
    for (const auto& [t, want] : {std::pair{t0, 1.0}, {t0 + 0.004, 0.6}, {t0 + 0.0099, 0.01}, {t0 + 0.01, 0.0}}) {
        at(t, false);
        XFMR_RAMP(state, k, f);
        EXPECT_NEAR(ramp(), want, 1e-12) << t;
        EXPECT_EQ(on(), want >= 1e-10 ? 1 : 0) << t;
    }
}

TEST_F(Ramp, OneCallWarnsOfNoFrequency) {
    int32_t k = 1, state = 0;
    double f = 0.0;
    at(0.0, true);
    const Captured c = capture([&] { XFMR_RAMP(state, k, f); });
    EXPECT_EQ(c.out, " Warning: Trafo            1  frequency is 0 or negative\n");
    EXPECT_EQ(STORAGE.STOR(4), 100.0);
    EXPECT_EQ(STORAGE.STOR(5), 0.01);
}

TEST_F(Ramp, PairRampsUpFromTheFirstCall) {
    int32_t k = 1, state = 1;
    double f = 60.0;
    for (const auto& [t, want] : {std::pair{0.0, 0.0}, {0.004, 0.48}, {1.0 / 120.0, 1.0}, {0.05, 1.0}}) {
        at(t, t == 0.0);
        XFMR_RAMPSET(f);
        POINTER_BLOCK.NRTCF = 1;
        XFMR_RAMPRUN(state, k);
        EXPECT_NEAR(ramp(), want, 1e-12) << t;
        EXPECT_EQ(POINTER_BLOCK.NRTCF, 3);
        EXPECT_EQ(POINTER_BLOCK.NSTORI, 2);
        EXPECT_EQ(POINTER_BLOCK.NSTORF, 3);
    }
    EXPECT_EQ(on(), 1);
    f = -1.0;
    at(0.1, false);
    const Captured c = capture([&] { XFMR_RAMPSET(f); });
    EXPECT_EQ(c.out, " ***WARN*** Frequency is 0 or negative, assuming 60Hz\n");
    EXPECT_EQ(STORAGE.RTCF(1), 120.0);
}

TEST_F(Ramp, OutputCopiesAtMostItsNineteenWords) {
    XfmrTables& X = XFMR_TABLES;
    for (int32_t b = 1; b <= 23; ++b) X.XF_BFLUX(b, 1) = b;
    int32_t k = 1;
    for (const int32_t nbr : {0, 5, 23}) {
        STORAGE.STOR.fill(-1.0);
        X.XF_NBR(1) = nbr;
        at(0.0, false);
        POINTER_BLOCK.NEXC = 2;
        XFMR_OUT(k);
        EXPECT_EQ(POINTER_BLOCK.NEXC, 21);
        for (int32_t i = 1; i <= 21; ++i)
            EXPECT_EQ(STORAGE.STOR(2 + i), i <= std::min(nbr, 19) ? i : -1.0) << nbr << " " << i;
    }
}

TEST(MatrixRoutines, InversePassesOverAZeroPivot) {
    XfmrMatrix a{};
    at(a, 1, 1) = 4.0;
    at(a, 1, 2) = at(a, 2, 1) = 1.0;
    at(a, 2, 2) = 3.0;
    EXPECT_EQ(XFMR_MATINV(a, 2), 0);
    EXPECT_NEAR(at(a, 1, 1), 3.0 / 11.0, 1e-15);
    EXPECT_NEAR(at(a, 1, 2), -1.0 / 11.0, 1e-15);
    EXPECT_NEAR(at(a, 2, 1), -1.0 / 11.0, 1e-15);
    EXPECT_NEAR(at(a, 2, 2), 4.0 / 11.0, 1e-15);
    XfmrMatrix z{};
    at(z, 1, 2) = at(z, 2, 1) = 1.0;
    EXPECT_EQ(XFMR_MATINV(z, 2), -1);
    XfmrMatrix c{};
    c.fill(7.0);
    XFMR_MATMUL(0, 2, 2, a, a, c);
    EXPECT_EQ(c[0], 7.0);
}

}  // namespace
