// The branch reader: the tables of every type word, the companion values
// of the trapezoidal rule, GM and GMPAT, the switch list, the conversion
// to ideal branches with its console boxes.
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
    // A small resistance (twice), and a branch of nothing but an initial
    // current: the precision warning and the conversion.
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

    // 1: R-L, 0.5 ohm and 0.01 H at 50 microseconds.
    const double g1 = 1.0 / 400.5;
    expect_entries<Logical>(1, {{&N.RESISTOR, LTRUE}, {&N.INDUCTOR, LTRUE}, {&N.CAPACITR, LFALSE}});
    expect_entries<double>(1, {{&N.G2L, 0.0025}, {&N.GEQ, g1}, {&N.GON, g1}, {&N.RLG, 400.0 / 400.5},
                               {&N.RSC, 0.5 * 400.0 / 400.5}, {&N.RCG, 0.0}, {&N.TSWITCH, 1.5}});
    expect_entries<int32_t>(1, {{&N.IEF, 1}, {&N.IET, 2}});
    // 2: C of 10 microfarads to ground: X_C = 50e-6 x 500000 / 10 = 2.5.
    expect_entries<double>(2, {{&N.BRANCH_C, 1e-5}, {&N.G2C, 0.4}, {&N.GEQ, 0.4}, {&N.RCG, 1.0}});
    // 3: R-L-E takes E from the third value; 4: E, R, i in letter order.
    expect_entries<double>(3, {{&N.EBR, 100.0}, {&N.EOFF, 100.0}, {&N.BRANCH_L, 0.1}});
    expect_entries<double>(4, {{&N.EBR, 5.0}, {&N.BRANCH_R, 2.0}, {&N.CBR, 0.3}, {&N.GEQ, 0.5}});
    // 5 and 13: switched branches, listed in reading order, never ideal.
    EXPECT_EQ(std::make_tuple(N.NSWITCH(1), N.SWLIST(1, 1), N.SWLIST(2, 1)), std::make_tuple(2, 5, 13));
    expect_entries<Logical>(5, {{&N.SWITCH, LTRUE}, {&N.IDEALBR, LFALSE}});
    expect_entries<Logical>(13, {{&N.DEFRDBR, LTRUE}, {&N.SWITCH, LTRUE}});
    // 6: A clears R but keeps its value.
    expect_entries<Logical>(6, {{&N.RESISTOR, LFALSE}, {&N.IDEALBR, LTRUE}});
    expect_entries<double>(6, {{&N.BRANCH_R, 0.1}});
    EXPECT_EQ(N.IDEALSS(1), LTRUE);
    // 7: a resistance below 1e-8 ohm becomes ideal; 8: with L it keeps L.
    expect_entries<Logical>(7, {{&N.IDEALBR, LTRUE}});
    expect_entries<Logical>(8, {{&N.IDEALBR, LFALSE}, {&N.RESISTOR, LFALSE}, {&N.INDUCTOR, LTRUE}});
    expect_entries<double>(8, {{&N.GEQ, 1.0 / 400.0}});
    // 9: a source alone is ideal without a box.
    expect_entries<Logical>(9, {{&N.IDEALBR, LTRUE}});
    // 11: ten letters take ten values; the eleventh is not read.
    expect_entries<double>(11, {{&N.BRANCH_R, 10.0}, {&N.GEQ, 0.1}});
    // 12: R L C E i v: 1 + 40 + 0.25 ohms; with a capacitor the histories
    // start at zero.
    expect_entries<double>(12, {{&N.GEQ, 1.0 / 41.25}, {&N.BRANCH_C, 1e-4}, {&N.EBR, 5.0}, {&N.CBR, 0.25},
                                {&N.CCL, 0.0}, {&N.CCBR, 0.0}});
}

// R-L 1-2 and R 2-1 couple nodes 1 and 2; C 3-0 goes to the diagonal;
// the switch 2-3 and the ideal branch 1-3 only mark the pattern.
TEST_F(Branches, OrdinaryBranchesEnterTheMatrixOnce) {
    ASSERT_FALSE(read_map("br_gm.map").aborted);
    const SsView<double> gm = SSDESC_RA(1);
    const SsView<int8_t> pat = SSDESC_IA(1);
    ASSERT_EQ(gm.n1, 4);
    const double g12 = 1.0 / 400.5 + 0.5;
    const double want[4][4] = {{0, g12, 0, 0}, {g12, 0, 0, 0}, {0, 0, 0.4, 0}, {0, 0, 0, 0}};
    const int8_t pattern[4][4] = {{-1, -1, -1, 0}, {-1, -1, -1, 0}, {-1, -1, -1, 0}, {0, 0, 0, -1}};
    for (int i = 1; i <= 4; ++i)
        for (int j = 1; j <= 4; ++j) {
            EXPECT_DOUBLE_EQ(gm(i, j), want[i - 1][j - 1]) << i << "," << j;
            EXPECT_EQ(pat(i, j), pattern[i - 1][j - 1]) << i << "," << j;
        }
    // The same in matrices of the subsystem's own size.
    ASSERT_FALSE(read_map("br_gm_own.map").aborted);
    ASSERT_EQ(std::make_pair(SSDESC_RA(1).n1, SSDESC_RA(1).n2), std::make_pair(int64_t{3}, int64_t{3}));
    EXPECT_EQ(std::make_tuple(SSDESC_RA(1)(1, 2), SSDESC_RA(1)(3, 3), SSDESC_IA(1)(2, 3)),
              std::make_tuple(g12, 0.4, int8_t{-1}));
}

TEST_F(Branches, EachSubsystemNumbersItsOwnBranches) {
    ASSERT_FALSE(read_map("br_ss2.map").aborted);
    EXPECT_EQ(std::make_pair(N.NBRANCHES(1), N.NBRANCHES(2)), std::make_pair(2, 2));
    // "0 3": ground and local node 3, subsystem 2's node 1.
    EXPECT_EQ(std::make_pair(N.IEF(1, 2), N.IET(1, 2)), std::make_pair(0, 1));
    // (subsystem, row, column, entry)
    for (const auto& [ss, i, j, g] : std::vector<std::tuple<int32_t, int32_t, int32_t, double>>{
             {1, 1, 2, 1.0}, {1, 2, 2, 0.25}, {2, 1, 1, 0.5}, {2, 2, 1, 1.0 / 403.0}, {2, 1, 2, 1.0 / 403.0}})
        EXPECT_DOUBLE_EQ(SSDESC_RA(ss)(i, j), g) << ss << ": " << i << "," << j;
}

}  // namespace
