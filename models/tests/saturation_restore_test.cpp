// A saturating core restored from a snapshot taken while a limb is beyond
// its curve's first point goes on exactly as the run that wrote it.
#include <cmath>
#include <vector>

#include "engine/bookends.h"
#include "engine/pointer_block.h"
#include "engine/pointer_checks.h"
#include "models/tests/xfmr_test_support.h"
#include "models/transformers/transformers.h"
#include "network/tests/hooked_case.h"
#include "snapshot/snapshot.h"

namespace {

constexpr double kDt = 50e-6, kHz = 60.0;

// What a step leaves of the network and the core, to the last bit.
std::vector<double> state_after_step() {
    const XfmrTables& X = XFMR_TABLES;
    std::vector<double> v;
    for (int32_t k = 1; k <= NET.NBUSES(1); ++k) v.push_back(NET.VNODE(k, 1));
    for (int32_t w = 1; w <= 2; ++w)
        for (const auto* a : {&X.XF_CURTOT, &X.XF_IMAG, &X.XF_VW, &X.XF_HNEW}) v.push_back((*a)(w, 1));
    for (int32_t b = 1; b <= 23; ++b) {
        v.push_back(X.XF_BFLUX(b, 1));
        v.push_back(X.XF_SEGST(b, 1));
    }
    return v;
}

bool limb_saturated() {
    for (int32_t b = 1; b <= 23; ++b)
        if (XFMR_TABLES.XF_SEGST(b, 1) != 0) return true;
    return false;
}

class SaturationRestore : public XfmrTest {
protected:
    // The 1 MVA, 10/1 kV core of the saturation tests at 1.1 times rated
    // voltage, its enable ramp called in every step.
    void SetUp() override {
        XfmrTest::SetUp();
        write_file("case.map",
                   "DIMENSIONS:\n NODES = 2\n SUBSYS = 1\n BRANCHES = 2\n WINDINGS = 2\n TRAFOS = 1\n NNODES = 4\n"
                   " NPAGES = 1\n SUBSYSPAGE = 1\n SPARSITY = 40\n STOR = 10\nPARAMETERS:\n TIME_STEP = 50.0E-6\n"
                   " PRINT_STEP = 1.0E-3\n FINISH_TIME = 0.1\nSUBSYSDIM:\n 1 2\nMAP: 'page.map'\n 1 2  1 2\n 0 0\n"
                   "ENDCASE\n");
        write_file("page.map", "BRANCHES:\n 0 1 RE 1e-4 1e-9\n 2 0 R 10.0\nTRANSFORMERS:\n 2 1 0\n 1 0 10 1e-3\n"
                               " 2 0 1 1e-3\n 1 1 1 1 0 0 0\n 1.0 1\n 1 1 /\n 0 5 3\nENDPAGE\n");
        read_map("case.map");
        start();
        options(true, false);
        // The case's per-unit curve: magnetising current in percent against flux.
        const double cx[] = {0, 0.1774, 0.487637, 0.980856, 2.0, 3.09543, 6.52348, 20.357, 60.215, 124.388};
        const double cy[] = {0, 0.324129, 0.61284, 0.825118, 1.0, 1.08024, 1.17334, 1.26115, 1.36094, 1.49469};
        for (int32_t p = 1; p <= 10; ++p) {
            XFMR_TABLES.XF_UMCORE(8 + p) = cx[p - 1];
            XFMR_TABLES.XF_UMCORE(18 + p) = cy[p - 1];
        }
        int32_t k = 1;
        double s = 1.0, f = kHz, x = 0.1, v1 = 10.0, v2 = 1.0, im = 1.0, a = 1.0, lr = 1.0;
        UMEC_TF_2WDG(k, s, f, x, v1, v2, im, a, lr);
        HOOKED_CASE.on_dsd = [] {
            const double vp = 1.1 * 10.0 * std::sqrt(2.0), w = 2.0 * M_PI * kHz;
            NET.EBR(1, 1) = vp * std::cos(w * (RUN_CLOCK.TIME + kDt / 2));
            int32_t state = 1, t = 1;
            double hz = kHz;
            XFMR_RAMP(state, t, hz);
        };
        // The output pass claims the node map, as a restored run expects.
        HOOKED_CASE.on_dso = [] {
            POINTER_BLOCK.NNODE += DIMBLOCK.REQ[ND_NNODES];
            POINTER_BLOCK.NSUBS += DIMBLOCK.REQ[ND_SUBSYSPAGE];
        };
        RUN_SETUP.snap_file = "core";
        RUN_CLOCK.FINTIM = 0.1;
    }
};

TEST_F(SaturationRestore, GoesOnBitForBit) {
    const int32_t cycle = static_cast<int32_t>(std::lround(1.0 / (kHz * kDt)));
    int32_t taken = -1;
    std::vector<std::vector<double>> straight;
    for (int32_t n = 0; n < 3 * cycle; ++n) {
        ASSERT_TRUE(step());
        if (taken >= 0) straight.push_back(state_after_step());
        if (taken < 0 && n > cycle && limb_saturated()) {
            --RUN_CLOCK.NSTEP;
            const Captured c = capture([] { WRITESNP(); });
            ASSERT_FALSE(c.aborted) << c.out;
            ++RUN_CLOCK.NSTEP;
            taken = n;
        }
    }
    ASSERT_GT(taken, 0) << "the core never left its first segment";
    ASSERT_EQ(XFMR_TABLES.XF_RAMPON(1), 1);

    // The snapshot restored as a run from it starts, the ramp not yet called.
    reset_all_engine_state();
    RUN_SEQ.START_MODE = "SNAP";
    RUN_SEQ.IRUN = RUN_SEQ.NRUNS = 1;
    RUN_SEQ.FIRST_RUN = LTRUE;
    RUN_SETUP.start_file = "core.snp";
    RUN_CLOCK.FINTIM = 1.0;
    INPUT.INPUT_UNIT = INPUT_UNIT_NONE;
    const Captured r = capture([] {
        READSNP();
        INITCOM();
        CHKNEXC();
        CHKNRTC();
    });
    ASSERT_FALSE(r.aborted) << r.out;
    EXPECT_EQ(XFMR_TABLES.XF_KIND(1), 1);
    RUN_CLOCK.NSTEP = RUN_CLOCK.START_STEP + 1;
    ASSERT_EQ(RUN_CLOCK.NSTEP, taken + 1);
    RUN_FLAGS.FIRST_STEP_RUN = LTRUE;
    RUN_FLAGS.FIRST_STEP_DATA = LFALSE;
    for (size_t k = 0; k < straight.size(); ++k) {
        ASSERT_TRUE(step());
        ASSERT_EQ(state_after_step(), straight[k]) << "step " << taken + 1 + static_cast<int32_t>(k);
    }
}

}  // namespace
