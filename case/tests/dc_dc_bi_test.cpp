// Module DC_DC_Bi alone at its place in the case's tree: the interlock of
// direction, enable and state of charge.
#include "case/modules.h"
#include "case/tests/case_support.h"

namespace {

void place(bool dynamic) {
    PointerBlock& p = POINTER_BLOCK;
    p.NINST = 5;
    p.NNODE = 36;
    p.NSUBS = 4;
    STORAGE.NBRCH(1) = 30;
    p.NCXMAP = 22;
    if (dynamic) {
        p.NTXFR = 4;
        p.NPGB = 16;
        p.NSTOI = p.NSTOF = 0;
    }
}

struct Interlock {
    const char* name;
    double soc;
    double conv_on;
    int32_t dc_enable;
    double dir_sel;
    int32_t dir_mode, soc_ok, boost_on, buck_on;
};
void PrintTo(const Interlock& c, std::ostream* os) { *os << c.name; }


class DcDcInterlock : public CaseTest, public testing::WithParamInterface<Interlock> {};

// STOI: 2 boost reset, 4 buck reset, 6 SocOk, 7 ConvEnable, 8 DirMode,
// 9 BoostOn, 10 BuckOn; channels 17-35 from 17.
TEST_P(DcDcInterlock, LetsAtMostOneSideRun) {
    const Interlock& c = GetParam();
    STORAGE.CX(23) = c.conv_on;
    STORAGE.CX(24) = c.dir_sel;
    RUN_FLAGS.FIRST_STEP_DATA = LTRUE;
    ASSERT_FALSE(capture([] {
                     RESETPTRS();
                     place(true);
                     DC_DC_Bi_DSD_BEGIN();
                 }).aborted);
    for (int32_t n = 0; n < 3; ++n) {
        RUN_FLAGS.FIRST_STEP_DATA = as_logical(n == 0);
        RUN_CLOCK.TIME = n * RUN_CLOCK.DELT;
        const Captured r = capture([&] {
            RESETPTRS();
            place(true);
            DC_DC_Bi_DSD(c.soc, c.dc_enable, 0.35, 0.1);
        });
        ASSERT_FALSE(r.aborted) << r.out;
    }
    EXPECT_EQ(STORAGE.STOI(8), c.dir_mode);
    EXPECT_EQ(STORAGE.STOI(6), c.soc_ok);
    EXPECT_EQ(STORAGE.STOI(9), c.boost_on);
    EXPECT_EQ(STORAGE.STOI(10), c.buck_on);
    EXPECT_EQ(STORAGE.STOI(2), 1 - c.boost_on);
    EXPECT_EQ(STORAGE.STOI(4), 1 - c.buck_on);
    EXPECT_EQ(STORAGE.PGB(16 + 17), c.boost_on);
    EXPECT_EQ(STORAGE.PGB(16 + 18), c.buck_on);
    EXPECT_DOUBLE_EQ(STORAGE.PGB(16 + 11), 1000.0 * 0.1 / 0.35);
    // A side that is off fires nothing.
    EXPECT_EQ(STORAGE.PGB(16 + 15), c.boost_on == 0 ? 0.0 : STORAGE.PGB(16 + 15));
    EXPECT_EQ(STORAGE.PGB(16 + 12), c.buck_on == 0 ? 0.0 : STORAGE.PGB(16 + 12));
}

INSTANTIATE_TEST_SUITE_P(
    Case, DcDcInterlock,
    testing::Values(Interlock{"FivePercentDischarges", 5.0, 1.0, 1, 0.0, 0, 1, 1, 0},
                    Interlock{"FullCharges", 100.0, 1.0, 1, 1.0, 1, 1, 0, 1},
                    Interlock{"LowBlocksDischarge", 3.0, 1.0, 1, 0.0, 0, 0, 0, 0},
                    Interlock{"LowCharges", 3.0, 1.0, 1, 1.0, 1, 1, 0, 1},
                    Interlock{"OverfullDischarges", 101.0, 1.0, 1, 0.0, 0, 1, 1, 0},
                    Interlock{"OverfullBlocksCharge", 101.0, 1.0, 1, 1.0, 1, 0, 0, 0},
                    Interlock{"LowUnroundedDirectionRunsBoost", 3.0, 1.0, 1, 0.3, 0, 1, 1, 0},
                    Interlock{"HalfRoundsToBuck", 50.0, 1.0, 1, 0.5, 1, 1, 0, 1},
                    Interlock{"MinusHalfRoundsToBuck", 50.0, 1.0, 1, -0.5, -1, 1, 0, 1},
                    Interlock{"NotEnabled", 50.0, 1.0, 0, 0.0, 0, 1, 0, 0}),
    [](const auto& i) { return std::string(i.param.name); });

}  // namespace
