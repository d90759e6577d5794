// The whole module tree on the case's own map, its passes driven by hand:
// the pointers every pass leaves, the module table, the data files, the
// battery's channel and the load's branches.
#include <cmath>

#include "case/tests/case_support.h"
#include "network/network_tables.h"

namespace {

struct After {
    int32_t ninst, ntxfr, nnode, nsubs, nbrch, npgb;
};

void expect_pointers(const After& a, const char* where) {
    const PointerBlock& p = POINTER_BLOCK;
    EXPECT_EQ(p.NINST, a.ninst) << where;
    EXPECT_EQ(p.NTXFR, a.ntxfr) << where;
    EXPECT_EQ(p.NNODE, a.nnode) << where;
    EXPECT_EQ(p.NSUBS, a.nsubs) << where;
    EXPECT_EQ(STORAGE.NBRCH(1), a.nbrch) << where;
    EXPECT_EQ(p.NPGB, a.npgb) << where;
    EXPECT_EQ(p.NXFMR, 1) << where;
}

TEST_F(CaseTest, EveryPassClaimsTheWholeFootprint) {
    RUN_FLAGS.FIRST_STEP_DATA = LTRUE;
    const Captured c = capture([] {
        RESETPTRS();
        Station_DSD_BEGIN();
        expect_pointers({20, 0, 119, 11, 101, 0}, "dynamic-begin");
        EXPECT_EQ(POINTER_BLOCK.NCXMAP, 31);
        RESETPTRS_OUT();
        Station_DSO_BEGIN();
        expect_pointers({20, 0, 119, 11, 101, 0}, "output-begin");
    });
    ASSERT_FALSE(c.aborted) << c.out;
    for (int32_t n = 0; n < 3; ++n) {
        RUN_FLAGS.FIRST_STEP_DATA = as_logical(n == 0);
        const Captured s = capture([] {
            RESETPTRS();
            Station_DSD();
            expect_pointers({20, 19, 119, 11, 101, 106}, "dynamic");
            EXPECT_EQ(POINTER_BLOCK.NSTOI, 70);
            EXPECT_EQ(POINTER_BLOCK.NSTOF, 595);
            EXPECT_EQ(POINTER_BLOCK.NCXMAP, 31);
            RESETPTRS_OUT();
            Station_DSO();
            expect_pointers({20, 19, 119, 11, 101, 106}, "output");
        });
        ASSERT_FALSE(s.aborted) << s.out;
        EXPECT_EQ(INPUT.INPUT_UNIT, INPUT_UNIT_NONE) << "step " << n;
    }
}

TEST_F(CaseTest, ModuleTableRowsHoldTheBlockBases) {
    ASSERT_FALSE(begin_passes().aborted);
    ASSERT_FALSE(step(0).aborted);
    std::vector<std::array<int32_t, 2>> want = {{0, 0}, {0, 0}, {7, 61}, {7, 61}, {7, 66}, {17, 100}, {20, 118},
                                                {23, 136}, {29, 222}};
    for (int32_t i = 0; i <= 5; ++i) want.push_back({46 + 3 * i, 387 + 18 * i});
    for (const auto& r : std::vector<std::array<int32_t, 2>>{{64, 495}, {65, 517}, {66, 521}, {68, 569}})
        want.push_back(r);
    ASSERT_EQ(want.size(), 19u);
    // Graphs_and_Controls' two node entries follow Station's and Main's;
    // Load's eight are the last.
    EXPECT_EQ(STORAGE.NODE(30), 1);
    EXPECT_EQ(STORAGE.NODE(31), 0);
    EXPECT_EQ(STORAGE.NODE(112), 1);
    EXPECT_EQ(STORAGE.NODE(119), 24);
    for (int32_t k = 1; k <= 19; ++k) {
        EXPECT_EQ(STORAGE.TXFR(k, 1), 0) << k;
        EXPECT_EQ(STORAGE.TXFR(k, 2), want[k - 1][0]) << k;
        EXPECT_EQ(STORAGE.TXFR(k, 3), want[k - 1][1]) << k;
        EXPECT_EQ(STORAGE.TXFR(k, 4), 0) << k;
    }
}

TEST_F(CaseTest, DataFilesAreOpenedInTheFirstStepOnly) {
    ASSERT_FALSE(begin_passes().aborted);
    ASSERT_FALSE(step(0).aborted);
    for (const char* m : {"Station", "Main", "Load", "PI_AntiWindUp_2", "Ctrl"})
        std::filesystem::remove(folder_.file(std::string(m) + ".dta"));
    const Captured later = step(1);
    EXPECT_FALSE(later.aborted) << later.out;
    EXPECT_EQ(INPUT.INPUT_UNIT, INPUT_UNIT_NONE);
}

TEST_F(CaseTest, BatteryChannelIsItsStateOfCharge) {
    ASSERT_FALSE(begin_passes().aborted);
    ASSERT_FALSE(step(0).aborted);
    EXPECT_DOUBLE_EQ(STORAGE.PGB(16), 90.0);
    // Battery and Main show the same charge.
    NET.CBR(29, 1) = 0.5;
    ASSERT_FALSE(step(1).aborted);
    EXPECT_DOUBLE_EQ(STORAGE.STOF(66), STORAGE.PGB(16));
    EXPECT_DOUBLE_EQ(STORAGE.PGB(2), STORAGE.PGB(16));
}

// Branches of the load: 90-92 R, 93-95 L, 96-98 C.
struct LoadCase {
    const char* name;
    double p, q;
    double r, l, c_uf;
};
void PrintTo(const LoadCase& c, std::ostream* os) { *os << c.name; }


class LoadOrders : public CaseTest, public testing::WithParamInterface<LoadCase> {};

TEST_P(LoadOrders, GiveItsBranchValues) {
    const LoadCase& lc = GetParam();
    STORAGE.CX(2) = lc.p;
    STORAGE.CX(4) = lc.q;
    ASSERT_FALSE(begin_passes().aborted);
    const Captured c = step(0);
    ASSERT_FALSE(c.aborted) << c.out;
    EXPECT_EQ(c.out.find("WARN"), std::string::npos) << c.out;
    for (int32_t k = 0; k < 3; ++k) {
        EXPECT_NEAR(NET.BRANCH_R(90 + k, 1), lc.r, 1e-9 * lc.r);
        EXPECT_NEAR(NET.BRANCH_L(93 + k, 1), lc.l, 1e-9 * lc.l);
        EXPECT_NEAR(NET.BRANCH_C(96 + k, 1), lc.c_uf * 1e-6, 1e-9 * lc.c_uf * 1e-6);
    }
}

INSTANTIATE_TEST_SUITE_P(Load, LoadOrders,
                         testing::Values(LoadCase{"NoReactive", 10.0, 0.0, 108.9, 1e6, 1e-18},
                                         LoadCase{"Inductive", 10.0, 5.0, 108.9, 0.5777324434, 1e-18},
                                         LoadCase{"Capacitive", 10.0, -5.0, 108.9, 1e6, 12.17898248},
                                         LoadCase{"NoRealPower", 0.0, 5.0, 1e6, 0.5777324434, 1e-18},
                                         LoadCase{"AboveTheLimit", 2000.0, 5.0, 1.089, 0.5777324434, 1e-18}),
                         [](const testing::TestParamInfo<LoadCase>& p) { return std::string(p.param.name); });

TEST_F(CaseTest, LoadChangesOnlyWhatItsOrdersChange) {
    ASSERT_FALSE(begin_passes().aborted);
    ASSERT_FALSE(step(0).aborted);
    const int32_t untouched = 1000;
    NET.MXINV(1) = untouched;
    ASSERT_FALSE(step(1).aborted);
    EXPECT_EQ(NET.MXINV(1), untouched);

    const double r = NET.BRANCH_R(90, 1), c = NET.BRANCH_C(96, 1), l = NET.BRANCH_L(93, 1);
    STORAGE.CX(4) = 0.25;
    ASSERT_FALSE(step(2).aborted);
    EXPECT_LT(NET.MXINV(1), untouched);
    for (int32_t k = 0; k < 3; ++k) {
        EXPECT_EQ(NET.BRANCH_R(90 + k, 1), r);
        EXPECT_EQ(NET.BRANCH_C(96 + k, 1), c);
        EXPECT_DOUBLE_EQ(NET.BRANCH_L(93 + k, 1), 2.0 * l);
    }
}

}  // namespace

namespace {

// Run-time constants written by the two begin passes.
TEST_F(CaseTest, BeginPassesWriteTheirConstants) {
    RUN_FLAGS.FIRST_STEP_DATA = LTRUE;
    const Captured c = capture([] {
        RESETPTRS();
        Station_DSD_BEGIN();
        EXPECT_EQ(POINTER_BLOCK.NRTCL - 1, 12);
        EXPECT_EQ(POINTER_BLOCK.NRTCI - 1, 36);
        EXPECT_EQ(POINTER_BLOCK.NRTCF - 1, 104);
        RESETPTRS_OUT();
        Station_DSO_BEGIN();
        EXPECT_EQ(POINTER_BLOCK.NRTCF - 1, 104 + 31);
    });
    ASSERT_FALSE(c.aborted) << c.out;
}

}  // namespace
