// The branch reader: the tables of every type word, the companion values
// of the trapezoidal rule, what enters GM and GMPAT, the switch list, the
// conversion to ideal branches with its console boxes, subsystems of a
// page in the new form, and the initial state of a branch given a current.
#include <string>
#include <tuple>
#include <type_traits>
#include <vector>

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

// Entries of branch b of subsystem 1 in several tables.
template <class T>
void expect_entries(int32_t b, std::initializer_list<std::pair<FArray2<T>*, T>> entries) {
    int k = 0;
    for (const auto& [table, value] : entries) {
        if constexpr (std::is_same_v<T, double>)
            EXPECT_DOUBLE_EQ((*table)(b, 1), value) << "branch " << b << ", entry " << k++;
        else
            EXPECT_EQ((*table)(b, 1), value) << "branch " << b << ", entry " << k++;
    }
}

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
    const double g1 = 1.0 / 400.5;
    expect_entries<Logical>(1, {{&N.RESISTOR, LTRUE}, {&N.INDUCTOR, LTRUE}, {&N.CAPACITR, LFALSE}});
    expect_entries<double>(1, {{&N.BRANCH_R, 0.5}, {&N.BRANCH_L, 0.01}, {&N.G2L, 0.0025}, {&N.GEQ, g1},
                               {&N.GEQD, g1}, {&N.GON, g1}, {&N.GOFF, g1}, {&N.RLG, 400.0 / 400.5},
                               {&N.RSC, 0.5 * 400.0 / 400.5}, {&N.RCG, 0.0}, {&N.RSL, 0.0}, {&N.TSWITCH, 1.5}});
    expect_entries<int32_t>(1, {{&N.IEF, 1}, {&N.IET, 2}});
    // 2: C of 10 microfarads to ground: X_C = 50e-6 x 500000 / 10 = 2.5.
    expect_entries<double>(2, {{&N.BRANCH_C, 1e-5}, {&N.G2C, 0.4}, {&N.GEQ, 0.4}, {&N.RCG, 1.0}});
    expect_entries<int32_t>(2, {{&N.IET, 0}});
    // 3: R-L-E takes E from the third value.
    expect_entries<double>(3, {{&N.EBR, 100.0}, {&N.EON, 100.0}, {&N.EOFF, 100.0}, {&N.EBRD, 100.0},
                               {&N.BRANCH_L, 0.1}});
    expect_entries<Logical>(3, {{&N.SOURCE, LTRUE}});
    // 4: E, R, i in the order of the letters.
    expect_entries<double>(4, {{&N.EBR, 5.0}, {&N.BRANCH_R, 2.0}, {&N.CBR, 0.3}, {&N.GEQ, 0.5}});
    // 5 and 13: switched branches, listed in reading order, never ideal.
    EXPECT_EQ(N.NSWITCH(1), 2);
    EXPECT_EQ(N.SWLIST(1, 1), 5);
    EXPECT_EQ(N.SWLIST(2, 1), 13);
    expect_entries<Logical>(5, {{&N.SWITCH, LTRUE}, {&N.IDEALBR, LFALSE}, {&N.OPENBR, LFALSE}});
    expect_entries<double>(5, {{&N.GEQ, 0.0}});
    expect_entries<Logical>(13, {{&N.DEFRDBR, LTRUE}, {&N.SWITCH, LTRUE}});
    // 6: A clears R but keeps its value.
    expect_entries<Logical>(6, {{&N.RESISTOR, LFALSE}, {&N.IDEALBR, LTRUE}});
    expect_entries<double>(6, {{&N.BRANCH_R, 0.1}});
    EXPECT_EQ(N.IDEALSS(1), LTRUE);
    // 7: a resistance below 1e-8 ohm becomes ideal; 8: with L it keeps L.
    expect_entries<Logical>(7, {{&N.IDEALBR, LTRUE}});
    expect_entries<double>(7, {{&N.GEQ, 0.0}, {&N.BRANCH_R, 1e-9}});
    expect_entries<Logical>(8, {{&N.IDEALBR, LFALSE}, {&N.RESISTOR, LFALSE}, {&N.INDUCTOR, LTRUE}});
    expect_entries<double>(8, {{&N.GEQ, 1.0 / 400.0}});
    // 9: a source alone is ideal without a box; 10: a current alone too,
    // with its boxes.
    expect_entries<Logical>(9, {{&N.IDEALBR, LTRUE}});
    expect_entries<double>(9, {{&N.EBR, 10.0}});
    expect_entries<Logical>(10, {{&N.IDEALBR, LTRUE}});
    expect_entries<double>(10, {{&N.CBR, 0.5}});
    // 11: ten letters take ten values; the eleventh value is not read.
    expect_entries<double>(11, {{&N.BRANCH_R, 10.0}, {&N.GEQ, 0.1}});
    // 12: R L C E i v; with a capacitor the histories start at zero.
    const double xl = 40.0, xc = 0.25, g = 1.0 / 41.25;
    expect_entries<double>(12, {{&N.GEQ, g}, {&N.BRANCH_C, 1e-4}, {&N.RCL, g * xl * xc}, {&N.RSC, (1.0 + xc) * g * xl},
                                {&N.RSL, (1.0 + xl) * xc * g}, {&N.EBR, 5.0}, {&N.CBR, 0.25}, {&N.CCL, 0.0},
                                {&N.CCBR, 0.0}});
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
    // The same in matrices of the subsystem's own size.
    ASSERT_FALSE(read_map("br_gm_own.map").aborted);
    EXPECT_EQ(PARAMS.USE_SUBSYSDIM, LTRUE);
    ASSERT_EQ(SSDESC_RA(1).n1, 3);
    ASSERT_EQ(SSDESC_RA(1).n2, 3);
    EXPECT_DOUBLE_EQ(SSDESC_RA(1)(1, 2), g12);
    EXPECT_DOUBLE_EQ(SSDESC_RA(1)(3, 3), 0.4);
    EXPECT_EQ(std::make_pair(SSDESC_IA(1)(2, 3), SSDESC_IA(1)(1, 3)), std::make_pair(int8_t{-1}, int8_t{-1}));
    EXPECT_EQ(N.NBUSES(1), 3);
}

TEST_F(Branches, EachSubsystemNumbersItsOwnBranches) {
    const Captured c = read_map("br_ss2.map");
    ASSERT_FALSE(c.aborted) << c.out;
    for (int32_t ss : {1, 2}) {
        EXPECT_EQ(N.NBRANCHES(ss), 2);
        EXPECT_EQ(N.NBUSES(ss), 2);
    }
    // "0 3": ground and local node 3, subsystem 2's node 1.
    EXPECT_EQ(std::make_pair(N.IEF(1, 2), N.IET(1, 2)), std::make_pair(0, 1));
    EXPECT_EQ(std::make_pair(N.GEQ(1, 2), N.GEQ(2, 1)), std::make_pair(0.5, 0.25));
    // (subsystem, row, column, entry)
    for (const auto& [ss, i, j, g] : std::vector<std::tuple<int32_t, int32_t, int32_t, double>>{
             {1, 1, 2, 1.0}, {1, 2, 2, 0.25}, {2, 1, 1, 0.5}, {2, 2, 1, 1.0 / 403.0}, {2, 1, 2, 1.0 / 403.0}})
        EXPECT_DOUBLE_EQ(SSDESC_RA(ss)(i, j), g) << ss << ": " << i << "," << j;
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
    expect_entries<double>(2, {{&N.CBR, 10.0}, {&N.CCL, 10.0}, {&N.CCLD, 10.0}, {&N.V12L, 0.0},
                               {&N.CCBR, rlg * 10.0}, {&N.CCBRD, rlg * 10.0}});
    // Without a current the histories start at zero.
    expect_entries<double>(3, {{&N.CCL, 0.0}, {&N.CCBR, 0.0}, {&N.CBR, 0.0}});
    // The history injections: into the from-node, out of the to-node.
    EXPECT_DOUBLE_EQ(N.CHIST(1, 1), rlg * 10.0 + rlg * 4.0);
    EXPECT_DOUBLE_EQ(N.CHIST(2, 1), -rlg * 4.0);
    EXPECT_EQ(std::make_pair(N.CHISTD(1, 1), N.CHISTD(2, 1)), std::make_pair(N.CHIST(1, 1), N.CHIST(2, 1)));
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
    EXPECT_EQ(std::make_pair(n1, n2), std::make_pair(2, 1));
    EXPECT_EQ((std::vector<double>{r, l, c, e, i, v}), (std::vector<double>{1.0, 0.1, 0.0, 100.0, 0.0, 0.0}));
    EXPECT_EQ(NET.GEQ(1, 2), 0.0);
    EXPECT_EQ((std::vector<Logical>{NET.SOURCE(1, 2), NET.RESISTOR(1, 2), NET.INDUCTOR(1, 2), NET.CAPACITR(1, 2)}),
              (std::vector<Logical>{LTRUE, LTRUE, LTRUE, LFALSE}));
    EXPECT_DOUBLE_EQ(NET.BRANCH_L(1, 2), 0.1);
}

TEST_F(Branches, InitialVoltagesReadBeforeTheBranches) {
    const Captured c = read_map("br_volts.map");
    ASSERT_FALSE(c.aborted) << c.out;
    EXPECT_DOUBLE_EQ(N.V12L(1, 1), N.RLG(1, 1) * 10.0);
    EXPECT_DOUBLE_EQ(N.V20L(2, 1), N.RCG(2, 1) * 6.0);  // 10 V less 4 V
    EXPECT_EQ(std::make_pair(N.V20L(1, 1), N.V12L(2, 1)), std::make_pair(0.0, 0.0));
}

}  // namespace
