// The branch reader: the tables of every type word, the companion values
// of the trapezoidal rule, what enters GM and GMPAT, the switch list, the
// conversion to ideal branches with its console boxes, subsystems of a
// page in the new form, and the initial state of a branch given a current.
#include <string>

#include "engine/solution_arrays.h"
#include "network/branches.h"
#include "network/network_tables.h"
#include "network/parameters.h"
#include "network/tests/map_test_support.h"

namespace {

const std::string kRule = " " + std::string(47, '-') + "\n";

std::string small_r_box(const std::string& branch, bool reactive) {
    return kRule + " Branch " + branch + "  in SS            1\n" + (reactive ? " Resistive portion\n" : "") +
           " has been converted to an ideal branch because\n"
           " R value is less than the user defined limit!\n" +
           kRule;
}

class Branches : public MapTest {
protected:
    NetworkTables& N = NET;
};

TEST_F(Branches, EveryTypeWordFillsItsTables) {
    const Captured c = read_map("br_table.map");
    ASSERT_FALSE(c.aborted) << c.out;
    // Boxes: a small resistance (twice) and a branch of nothing but an
    // initial current, which gets the precision warning and the conversion.
    EXPECT_EQ(c.out, small_r_box("           7", false) + small_r_box("           8", true) + kRule +
                         " Very small R or L or very large C values\n"
                         " can result in numerical instability due to\n"
                         " computer precision.\n"
                         " We suggest converting this to an ideal branch!\n" +
                         kRule + kRule +
                         " Branch           10  in SS            1\n"
                         " has been converted to an ideal branch\n"
                         " because RLC values are out of range!\n" +
                         kRule);
    ASSERT_EQ(N.NBRANCHES(1), 13);
    EXPECT_EQ(N.NBRANCHES(2), 0);

    // 1: R-L, 0.5 ohm and 0.01 H at 50 microseconds.
    EXPECT_EQ(N.RESISTOR(1, 1), LTRUE);
    EXPECT_EQ(N.INDUCTOR(1, 1), LTRUE);
    EXPECT_EQ(N.CAPACITR(1, 1), LFALSE);
    EXPECT_DOUBLE_EQ(N.BRANCH_R(1, 1), 0.5);
    EXPECT_DOUBLE_EQ(N.BRANCH_L(1, 1), 0.01);
    EXPECT_DOUBLE_EQ(N.G2L(1, 1), 0.0025);
    EXPECT_DOUBLE_EQ(N.GEQ(1, 1), 1.0 / 400.5);
    EXPECT_DOUBLE_EQ(N.GEQD(1, 1), 1.0 / 400.5);
    EXPECT_DOUBLE_EQ(N.GON(1, 1), 1.0 / 400.5);
    EXPECT_DOUBLE_EQ(N.GOFF(1, 1), 1.0 / 400.5);
    EXPECT_DOUBLE_EQ(N.RLG(1, 1), 400.0 / 400.5);
    EXPECT_DOUBLE_EQ(N.RSC(1, 1), 0.5 * 400.0 / 400.5);
    EXPECT_EQ(N.RCG(1, 1), 0.0);
    EXPECT_EQ(N.RSL(1, 1), 0.0);
    EXPECT_DOUBLE_EQ(N.TSWITCH(1, 1), 1.5);
    EXPECT_EQ(N.IEF(1, 1), 1);
    EXPECT_EQ(N.IET(1, 1), 2);

    // 2: C of 10 microfarads to ground.
    EXPECT_DOUBLE_EQ(N.BRANCH_C(2, 1), 1e-5);
    EXPECT_DOUBLE_EQ(N.G2C(2, 1), 0.4);  // X_C = 50e-6 x 500000 / 10 = 2.5
    EXPECT_DOUBLE_EQ(N.GEQ(2, 1), 0.4);
    EXPECT_DOUBLE_EQ(N.RCG(2, 1), 1.0);
    EXPECT_EQ(N.IET(2, 1), 0);

    // 3: R-L-E takes E from the third value.
    for (auto* a : {&N.EBR, &N.EON, &N.EOFF, &N.EBRD}) EXPECT_DOUBLE_EQ((*a)(3, 1), 100.0);
    EXPECT_EQ(N.SOURCE(3, 1), LTRUE);
    EXPECT_DOUBLE_EQ(N.BRANCH_L(3, 1), 0.1);

    // 4: E, R, i in the order of the letters.
    EXPECT_DOUBLE_EQ(N.EBR(4, 1), 5.0);
    EXPECT_DOUBLE_EQ(N.BRANCH_R(4, 1), 2.0);
    EXPECT_DOUBLE_EQ(N.CBR(4, 1), 0.3);
    EXPECT_DOUBLE_EQ(N.GEQ(4, 1), 0.5);

    // 5 and 13: switched branches, listed in reading order, never ideal.
    EXPECT_EQ(N.NSWITCH(1), 2);
    EXPECT_EQ(N.SWLIST(1, 1), 5);
    EXPECT_EQ(N.SWLIST(2, 1), 13);
    EXPECT_EQ(N.SWITCH(5, 1), LTRUE);
    EXPECT_EQ(N.IDEALBR(5, 1), LFALSE);
    EXPECT_EQ(N.GEQ(5, 1), 0.0);
    EXPECT_EQ(N.DEFRDBR(13, 1), LTRUE);
    EXPECT_EQ(N.SWITCH(13, 1), LTRUE);
    EXPECT_EQ(N.OPENBR(5, 1), LFALSE);

    // 6: A clears R but keeps its value.
    EXPECT_EQ(N.RESISTOR(6, 1), LFALSE);
    EXPECT_DOUBLE_EQ(N.BRANCH_R(6, 1), 0.1);
    EXPECT_EQ(N.IDEALBR(6, 1), LTRUE);
    EXPECT_EQ(N.IDEALSS(1), LTRUE);

    // 7: a resistance below 1e-8 ohm becomes ideal; 8: with L it keeps L.
    EXPECT_EQ(N.IDEALBR(7, 1), LTRUE);
    EXPECT_EQ(N.GEQ(7, 1), 0.0);
    EXPECT_DOUBLE_EQ(N.BRANCH_R(7, 1), 1e-9);
    EXPECT_EQ(N.IDEALBR(8, 1), LFALSE);
    EXPECT_EQ(N.RESISTOR(8, 1), LFALSE);
    EXPECT_EQ(N.INDUCTOR(8, 1), LTRUE);
    EXPECT_DOUBLE_EQ(N.GEQ(8, 1), 1.0 / 400.0);

    // 9: a source alone is ideal without a box; 10: a current alone too,
    // with its boxes.
    EXPECT_EQ(N.IDEALBR(9, 1), LTRUE);
    EXPECT_DOUBLE_EQ(N.EBR(9, 1), 10.0);
    EXPECT_EQ(N.IDEALBR(10, 1), LTRUE);
    EXPECT_DOUBLE_EQ(N.CBR(10, 1), 0.5);

    // 11: ten letters take ten values; the eleventh value is not read.
    EXPECT_DOUBLE_EQ(N.BRANCH_R(11, 1), 10.0);
    EXPECT_DOUBLE_EQ(N.GEQ(11, 1), 0.1);

    // 12: R L C E i v.
    const double xl = 40.0, xc = 0.25, g = 1.0 / 41.25;
    EXPECT_DOUBLE_EQ(N.GEQ(12, 1), g);
    EXPECT_DOUBLE_EQ(N.BRANCH_C(12, 1), 1e-4);
    EXPECT_DOUBLE_EQ(N.RCL(12, 1), g * xl * xc);
    EXPECT_DOUBLE_EQ(N.RSC(12, 1), (1.0 + xc) * g * xl);
    EXPECT_DOUBLE_EQ(N.RSL(12, 1), (1.0 + xl) * xc * g);
    EXPECT_DOUBLE_EQ(N.EBR(12, 1), 5.0);
    EXPECT_DOUBLE_EQ(N.CBR(12, 1), 0.25);
    EXPECT_EQ(N.CCL(12, 1), 0.0);  // with a capacitor the histories start at zero
    EXPECT_EQ(N.CCBR(12, 1), 0.0);
}

TEST_F(Branches, OrdinaryBranchesEnterTheMatrixOnce) {
    const Captured c = read_map("br_gm.map");
    ASSERT_FALSE(c.aborted) << c.out;
    const SsView<double> gm = SSDESC_RA(1);
    const SsView<int8_t> pat = SSDESC_IA(1);
    ASSERT_EQ(gm.n1, 4);
    // R-L 1-2 and R 2-1 couple nodes 1 and 2; C 3-0 goes to the diagonal;
    // the switch 2-3 and the ideal branch 1-3 only mark the pattern.
    const double g12 = 1.0 / 400.5 + 0.5;
    const double want[4][4] = {{0, g12, 0, 0}, {g12, 0, 0, 0}, {0, 0, 0.4, 0}, {0, 0, 0, 0}};
    const int8_t pattern[4][4] = {{-1, -1, -1, 0}, {-1, -1, -1, 0}, {-1, -1, -1, 0}, {0, 0, 0, -1}};
    for (int i = 1; i <= 4; ++i)
        for (int j = 1; j <= 4; ++j) {
            EXPECT_DOUBLE_EQ(gm(i, j), want[i - 1][j - 1]) << i << "," << j;
            EXPECT_EQ(pat(i, j), pattern[i - 1][j - 1]) << i << "," << j;
        }
    EXPECT_EQ(SSDESC_RA(2)(1, 2), 0.0);
}

TEST_F(Branches, MatricesOfTheSubsystemsOwnSize) {
    const Captured c = read_map("br_gm_own.map");
    ASSERT_FALSE(c.aborted) << c.out;
    EXPECT_EQ(PARAMS.USE_SUBSYSDIM, LTRUE);
    const SsView<double> gm = SSDESC_RA(1);
    const SsView<int8_t> pat = SSDESC_IA(1);
    ASSERT_EQ(gm.n1, 3);
    ASSERT_EQ(gm.n2, 3);
    EXPECT_DOUBLE_EQ(gm(1, 2), 1.0 / 400.5 + 0.5);
    EXPECT_DOUBLE_EQ(gm(3, 3), 0.4);
    EXPECT_EQ(pat(2, 3), -1);
    EXPECT_EQ(pat(1, 3), -1);
    EXPECT_EQ(N.NBUSES(1), 3);
}

TEST_F(Branches, EachSubsystemNumbersItsOwnBranches) {
    const Captured c = read_map("br_ss2.map");
    ASSERT_FALSE(c.aborted) << c.out;
    EXPECT_EQ(N.NBRANCHES(1), 2);
    EXPECT_EQ(N.NBRANCHES(2), 2);
    // "0 3": ground and local node 3, subsystem 2's node 1.
    EXPECT_EQ(N.IEF(1, 2), 0);
    EXPECT_EQ(N.IET(1, 2), 1);
    EXPECT_DOUBLE_EQ(N.GEQ(1, 2), 0.5);
    EXPECT_DOUBLE_EQ(N.GEQ(2, 1), 0.25);
    EXPECT_EQ(N.NBUSES(1), 2);
    EXPECT_EQ(N.NBUSES(2), 2);
    EXPECT_DOUBLE_EQ(SSDESC_RA(1)(1, 2), 1.0);
    EXPECT_DOUBLE_EQ(SSDESC_RA(1)(2, 2), 0.25);
    EXPECT_DOUBLE_EQ(SSDESC_RA(2)(1, 1), 0.5);
    EXPECT_DOUBLE_EQ(SSDESC_RA(2)(2, 1), 1.0 / 403.0);
    EXPECT_DOUBLE_EQ(SSDESC_RA(2)(1, 2), 1.0 / 403.0);
}

// A DC source of 100 V at node 1 feeds an R-L branch of 10 ohms given its
// steady current of 10 A, and a series R-L branch with 15 ohms to ground
// given its steady 4 A. The first solution, made from the matrix and the
// histories as read (before any history step), keeps both currents, and
// the first history step leaves the histories where they are.
TEST_F(Branches, AnInitialCurrentFlowsOnFromTheFirstStep) {
    const Captured c = read_map("br_initial.map");
    ASSERT_FALSE(c.aborted) << c.out;
    EXPECT_EQ(N.IDEALBR(1, 1), LTRUE);  // the source

    const double g = 1.0 / 2010.0, rlg = 2000.0 / 2010.0;
    EXPECT_DOUBLE_EQ(N.CBR(2, 1), 10.0);
    EXPECT_DOUBLE_EQ(N.CCL(2, 1), 10.0);
    EXPECT_DOUBLE_EQ(N.CCLD(2, 1), 10.0);
    EXPECT_EQ(N.V12L(2, 1), 0.0);
    EXPECT_DOUBLE_EQ(N.CCBR(2, 1), rlg * 10.0);
    EXPECT_DOUBLE_EQ(N.CCBRD(2, 1), rlg * 10.0);
    // Without a current the histories start at zero.
    EXPECT_EQ(N.CCL(3, 1), 0.0);
    EXPECT_EQ(N.CCBR(3, 1), 0.0);
    EXPECT_EQ(N.CBR(3, 1), 0.0);
    // The history injections: into the from-node, out of the to-node.
    EXPECT_DOUBLE_EQ(N.CHIST(1, 1), rlg * 10.0 + rlg * 4.0);
    EXPECT_DOUBLE_EQ(N.CHIST(2, 1), -rlg * 4.0);
    EXPECT_DOUBLE_EQ(N.CHISTD(1, 1), N.CHIST(1, 1));
    EXPECT_DOUBLE_EQ(N.CHISTD(2, 1), N.CHIST(2, 1));

    // Node 2 with node 1 held at 100 V: self conductance times V2 less the
    // coupling times V1 equals the right-hand side, minus the injections.
    const SsView<double> gm = SSDESC_RA(1);
    const double v1 = 100.0;
    const double v2 = (gm(1, 2) * v1 - N.CHIST(2, 1)) / (gm(2, 2) + gm(1, 2));
    EXPECT_NEAR(v2, 60.0, 1e-12);
    EXPECT_NEAR(N.GEQ(2, 1) * v1 + N.CCBR(2, 1), 10.0, 1e-12);
    EXPECT_NEAR(N.GEQ(4, 1) * (v1 - v2) + N.CCBR(4, 1), 4.0, 1e-12);
    EXPECT_DOUBLE_EQ(N.GEQ(2, 1), g);
    // The history step: inductor history from the inductor voltage and the
    // current; the voltage across the inductor stays 0.
    EXPECT_DOUBLE_EQ(N.G2L(2, 1) * N.V12L(2, 1) + 10.0, N.CCL(2, 1));
    const double vl = N.CCC(2, 1) * N.RCL(2, 1) + N.RLG(2, 1) * v1 - N.CCL(2, 1) * N.RSC(2, 1);
    EXPECT_NEAR(vl, 0.0, 1e-12);
}

TEST_F(Branches, OneRecordParsed) {
    ASSERT_FALSE(read_map("ok_head.map").aborted);
    Text255 record(" 2 1 RLE 1 0.1 100, 7");
    int32_t n1 = 0, n2 = 0;
    double r = -1, l = -1, c = -1, e = -1, i = -1, v = -1;
    NET.GEQ(1, 2) = 9.0;  // a value of an earlier run
    BRPARM(record, 2, 1, n1, n2, r, l, c, e, i, v);
    EXPECT_EQ(record.trimmed(), " 2 1     1 0.1 100, 7");  // the type word blanked in place
    EXPECT_EQ(n1, 2);
    EXPECT_EQ(n2, 1);
    EXPECT_EQ(r, 1.0);
    EXPECT_EQ(l, 0.1);
    EXPECT_EQ(e, 100.0);
    EXPECT_EQ(c, 0.0);
    EXPECT_EQ(i, 0.0);
    EXPECT_EQ(v, 0.0);
    EXPECT_EQ(NET.GEQ(1, 2), 0.0);
    EXPECT_EQ(NET.SOURCE(1, 2), LTRUE);
    EXPECT_EQ(NET.RESISTOR(1, 2), LTRUE);
    EXPECT_EQ(NET.INDUCTOR(1, 2), LTRUE);
    EXPECT_EQ(NET.CAPACITR(1, 2), LFALSE);
    EXPECT_DOUBLE_EQ(NET.BRANCH_L(1, 2), 0.1);
}

TEST_F(Branches, InitialVoltagesReadBeforeTheBranches) {
    const Captured c = read_map("br_volts.map");
    ASSERT_FALSE(c.aborted) << c.out;
    EXPECT_DOUBLE_EQ(N.V12L(1, 1), N.RLG(1, 1) * 10.0);
    EXPECT_EQ(N.V20L(1, 1), 0.0);
    EXPECT_DOUBLE_EQ(N.V20L(2, 1), N.RCG(2, 1) * 6.0);  // 10 V less 4 V
    EXPECT_EQ(N.V12L(2, 1), 0.0);
}

}  // namespace
