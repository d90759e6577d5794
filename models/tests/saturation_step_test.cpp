// The per-step core update of the case's six-winding transformer on its
// own: an unsaturated core still integrates its fluxes and keeps its
// segment flags for the output and the snapshot; a saturated core without
// its enable ramp moves its segments but injects nothing.
#include <gtest/gtest.h>

#include <cmath>

#include "engine/engine_reset.h"
#include "engine/pointer_block.h"
#include "engine/run_state.h"
#include "engine/storage.h"
#include "models/tests/case_core.h"
#include "models/transformers/transformers.h"
#include "models/xfmr_tables.h"
#include "network/network_tables.h"
#include "network/tests/one_subsystem.h"
#include "network/transformer_step.h"

namespace {

constexpr double kDt = 50e-6;

class CoreUpdate : public testing::Test {
protected:
    void SetUp() override {
        allocate_one_subsystem(6, 1, {{ND_SPARSITY, 22}, {ND_WINDINGS, 6}, {ND_TRAFOS, 1}, {ND_STOR, 20}});
        NET.NBUSES(1) = 6;
        RUN_CLOCK.DELT = kDt;
        enter_case_core(false);
    }
    void TearDown() override { reset_all_engine_state(); }

    // Winding w's voltage held at v(w) for the next updates.
    static void hold(const double (&v)[6]) {
        for (int32_t w = 1; w <= 6; ++w) NET.VNODE(w, 1) = v[w - 1];
    }
    // The limb flux at point p of the curve.
    static double curve_flux(int32_t p) { return XFMR_TABLES.XF_BHY(p, 1) * XFMR_TABLES.XF_CORE1(1); }
    static bool any_current() {
        for (int32_t w = 1; w <= 6; ++w)
            if (XFMR_TABLES.XF_IMAG(w, 1) != 0.0) return true;
        return false;
    }
};

TEST_F(CoreUpdate, UnsaturatedCoreIntegratesItsWindingsOnTheFirstSegment) {
    XfmrTables& X = XFMR_TABLES;
    X.XF_SATON(1) = 0;
    const double v[6] = {10.0, 0.4, -5.0, -0.2, -5.0, -0.2};
    hold(v);
    const double limb = X.XF_CORE1(1) * X.XF_CORE8(1) / X.XF_CORE2(1);  // permeance
    for (int32_t n = 1; n <= 4; ++n) {
        XFMR_SATDYN(1, 1);
        for (int32_t w = 1; w <= 6; ++w) {
            // The trapezoidal integral of a voltage held since the start,
            // whose previous value was 0 in the first update.
            const double turns = X.XF_WDGC1(w, 1), phi = v[w - 1] * 1000.0 * kDt / turns * (n - 0.5);
            EXPECT_NEAR(X.XF_BFLUX(w, 1), phi, 1e-12 * std::fabs(phi)) << n << " limb " << w;
            // No winding current: the leakage carries the limb's MMF back.
            const double leak = -X.XF_WDGC2(w, 1) * phi / limb;
            EXPECT_NEAR(X.XF_BFLUX(6 + w, 1), leak, 1e-12 * std::fabs(leak)) << n << " leakage " << w;
            EXPECT_EQ(X.XF_VW(w, 1), v[w - 1]);
        }
        for (int32_t y = 0; y < 3; ++y)
            EXPECT_EQ(X.XF_BFLUX(13 + y, 1), X.XF_BFLUX(1 + 2 * y, 1) - X.XF_BFLUX(7 + 2 * y, 1)) << "yoke " << y;
        for (int32_t b = 1; b <= 23; ++b) EXPECT_EQ(X.XF_SEGST(b, 1), 0) << b;
        EXPECT_FALSE(any_current());
        EXPECT_EQ(X.SS_XFSEGCHG(1), 0);
    }
    // The output copies the fluxes that the update kept.
    POINTER_BLOCK.NEXC = 0;
    int32_t k = 1;
    XFMR_OUT(k);
    for (int32_t b = 1; b <= 15; ++b) EXPECT_EQ(STORAGE.STOR(b), X.XF_BFLUX(b, 1)) << b;

    // A yoke restored beyond its first segment comes back to it: a change.
    const double before = X.XF_BFLUX(13, 1);
    X.XF_SEGST(13, 1) = 1;
    XFMR_SATDYN(1, 1);
    EXPECT_EQ(X.XF_SEGST(13, 1), 0);
    EXPECT_EQ(X.SS_XFSEGCHG(1), -1);
    EXPECT_EQ(X.XF_BFLUXOLD(13, 1), before);
    EXPECT_FALSE(any_current());
}

TEST_F(CoreUpdate, SaturatedCoreWithoutItsRampMovesSegmentsButInjectsNothing) {
    XfmrTables& X = XFMR_TABLES;
    X.XF_SATON(1) = 1;
    X.XF_RAMP(1) = 1.0;
    X.XF_RAMPON(1) = 0;
    // The curve starts at the origin: any flux lies beyond its first point.
    // Limb 1 is driven into the bend of the curve in about ten updates.
    const double bend = curve_flux(4);
    hold({bend * X.XF_WDGC1(1, 1) / (1000.0 * kDt * 10.0), 0.0, 0.0, 0.0, 0.0, 0.0});
    XFMR_SATDYN(1, 1);
    EXPECT_EQ(X.XF_SEGST(1, 1), 1);
    EXPECT_EQ(X.SS_XFSEGCHG(1), -1);
    int32_t n = 1;
    for (; X.XF_BFLUX(1, 1) < bend && n < 20; ++n) {
        EXPECT_FALSE(any_current()) << n;
        XFMR_SATDYN(1, 1);
    }
    EXPECT_EQ(n, 11);
    EXPECT_FALSE(any_current());
    // Enabled, the same saturated core injects its extra currents.
    X.XF_RAMPON(1) = 1;
    XFMR_SATDYN(1, 1);
    EXPECT_TRUE(any_current());
}

TEST_F(CoreUpdate, TablesMadeAnewAreTheOnesUpdated) {
    const double v[6] = {10.0, 0.4, -5.0, -0.2, -5.0, -0.2};
    XFMR_TABLES.XF_SATON(1) = 0;
    hold(v);
    XFMR_SATDYN(1, 1);
    const double first = XFMR_TABLES.XF_BFLUX(1, 1);
    ASSERT_NE(first, 0.0);
    // The whole engine made again: the update writes into the new tables,
    // not into the storage of the old ones.
    TearDown();
    SetUp();
    XFMR_TABLES.XF_SATON(1) = 0;
    hold(v);
    XFMR_SATDYN(1, 1);
    EXPECT_EQ(XFMR_TABLES.XF_BFLUX(1, 1), first);
    for (int32_t w = 1; w <= 6; ++w) EXPECT_EQ(XFMR_TABLES.XF_VW(w, 1), v[w - 1]) << w;
    // A transformer whose windings no longer fit its columns is left alone.
    XFMR_TABLES.XF_NODE1.allocate(5, 1);
    XFMR_SATDYN(1, 1);
    EXPECT_EQ(XFMR_TABLES.XF_BFLUXOLD(1, 1), 0.0);
    EXPECT_EQ(XFMR_TABLES.XF_BFLUX(1, 1), first);
}

}  // namespace
