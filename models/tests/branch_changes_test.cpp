// Branches re-typed by models and the rows they leave in the list.
#include <gtest/gtest.h>

#include <vector>

#include "models/branch_changes.h"
#include "network/tests/solution_circuit.h"

namespace {

class BranchChange : public SolutionTest {
protected:
    // Branch 1 switched, branch 2 not.
    void SetUp() override {
        SolutionTest::SetUp();
        tables(2, 2, 50e-6);
        branch({1, 2, 4.0, 0.01}, true);
        branch({2, 0, 4.0});
        RUN_FLAGS.FIRST_STEP_DATA = LTRUE;
        CURRENT_IDS = {3, 4};
    }
    static std::vector<int32_t> row(int32_t r) {
        BranchChangeList& l = BRCHANGE_LIST;
        return {l.icol(1, r), l.icol(2, r), l.icol(3, r), l.icol(8, r)};
    }
    static std::vector<double> values(int32_t b) {
        const NetworkTables& N = NET;
        return {N.GEQ(b, 1), N.GEQD(b, 1), N.GON(b, 1), N.GOFF(b, 1), N.G2C(b, 1), N.RCG(b, 1), N.RSL(b, 1),
                N.BRANCH_R(b, 1), N.BRANCH_C(b, 1)};
    }
    static std::vector<Logical> kinds(int32_t b) {
        const NetworkTables& N = NET;
        return {N.RESISTOR(b, 1), N.INDUCTOR(b, 1), N.CAPACITR(b, 1), N.DEFRDBR(b, 1)};
    }
};

const Logical T = LTRUE, F = LFALSE;

TEST_F(BranchChange, ResistorAndCapacitor) {
    BRCHANGE(1, 1, 2.0, 100.0);
    const double g = 1.0 / 2.25;
    const std::vector<double> v = values(1);
    const std::vector<double> want = {g, g, g, g, 4.0, 0.111111111111111, 0.222222222222222, 2.0, 1e-4};
    for (size_t k = 0; k < v.size(); ++k) EXPECT_NEAR(v[k], want[k], 1e-15) << k;
    EXPECT_EQ(kinds(1), (std::vector<Logical>{T, F, T, F}));
    // C = 1e-12 is a capacitor, anything below is none; R <= 0 makes an injection branch.
    BRCHANGE(1, 1, 2.0, 1e-12);
    EXPECT_EQ(NET.CAPACITR(1, 1), T);
    BRCHANGE(1, 1, 2.0, 0.9e-12);
    EXPECT_EQ(std::make_tuple(NET.CAPACITR(1, 1), NET.GEQ(1, 1)), std::make_tuple(F, 0.5));
    BRCHANGE(1, 1, 0.0, 100.0);
    EXPECT_EQ(std::make_tuple(NET.DEFRDBR(1, 1), NET.GEQ(1, 1), NET.BRANCH_R(1, 1)), std::make_tuple(T, 0.0, 2.0));
    EXPECT_EQ(BRCHANGE_LIST.count, 4);
    EXPECT_EQ(row(4), (std::vector<int32_t>{9, 1, 0, 1}));
    // After the first step nothing changes and nothing is recorded.
    RUN_FLAGS.FIRST_STEP_DATA = LFALSE;
    BRCHANGE(1, 1, 5.0, 0.0);
    EXPECT_EQ(std::make_tuple(BRCHANGE_LIST.count, NET.GEQ(1, 1)), std::make_tuple(4, 0.0));
}

TEST_F(BranchChange, InjectionBranchWithConductance) {
    RUN_FLAGS.FIRST_STEP_DATA = LFALSE;
    BRCOND(1, 1, 0.0);
    EXPECT_EQ(std::make_tuple(NET.GEQ(1, 1), NET.BRANCH_R(1, 1)), std::make_tuple(0.0, 1.0));
    EXPECT_EQ(kinds(1), (std::vector<Logical>{T, T, F, T}));
    BRCOND(1, 1, 4.0);
    EXPECT_EQ(NET.GEQ(1, 1), 0.25);
    EXPECT_EQ(row(2), (std::vector<int32_t>{9, 1, 0, 1}));
}

// An unswitched branch gets the warning of the variable branches; the 10,001st entry stops.
TEST_F(BranchChange, UnswitchedBranchAndFullList) {
    const std::string warning =
        " ***WARN*** Branch 2 of subsystem 1 is not a switched branch (letter S):[           3 :           4 ]\n"
        " ***WARN*** changes of its value cannot reach the network solution.\n";
    EXPECT_EQ(capture([] { BRCHANGE(1, 2, 1.0, 0.0); }).out, warning);
    EXPECT_EQ(capture([] { BRCOND(1, 2, 1.0); }).out, warning);
    BRCHANGE_LIST.count = BRCHANGE_MAX - 1;
    BRCHANGE(1, 1, 1.0, 0.0);
    EXPECT_EQ(row(BRCHANGE_MAX), (std::vector<int32_t>{9, 1, 0, 1}));
    EXPECT_STOPS(BRCHANGE(1, 1, 1.0, 0.0), " ***ERROR** The list of branch changes is full: it holds 10000 entries."
                                          "[           3 :           4 ]\n"
                                          " ***ERROR** Fewer branches can be changed by models in one case.\n" +
                                              abort_frame("BRCHANGE"));
}

}  // namespace
