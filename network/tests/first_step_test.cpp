// The first step of a run read from a map file, with every combination of
// interpolation and chatter removal: a circuit from rest reaches its
// solution at step 0 (sources on from the start, the trapezoidal rule from
// rest), the same with chatter removal on as off.
#include <algorithm>

#include "network/tests/solution_circuit.h"

namespace {

struct Options {
    const char* name;
    bool interpolate, remove_chatter;
};

void PrintTo(const Options& o, std::ostream* os) { *os << o.name; }

class FirstStep : public SolutionTest, public testing::WithParamInterface<Options> {
protected:
    // One subsystem of n nodes whose branches are the given lines, read
    // from a map file with the options of the test.
    void read_circuit(int32_t n, const std::string& branches) {
        use_scratch();
        const auto yes = [](bool on) { return on ? "YES" : "NO"; };
        std::string nodes;
        for (int32_t k = 1; k <= n; ++k) nodes += " " + std::to_string(k);
        const int32_t count = static_cast<int32_t>(std::count(branches.begin(), branches.end(), '\n'));
        write_file(scratch_->path + "/circuit.map",
                   "DIMENSIONS:\n NODES = " + std::to_string(n) + "\n SUBSYS = 1\n BRANCHES = " +
                       std::to_string(count) + "\n NNODES = " + std::to_string(n + 4) +
                       "\n NPAGES = 1\n SUBSYSPAGE = 1\nPARAMETERS:\n TIME_STEP = 50.0E-6\n PRINT_STEP = 1.0E-3\n"
                       " FINISH_TIME = 1.0\n INTERPOLATE = " + yes(GetParam().interpolate) +
                       "\n REMOVE_CHATTER = " + yes(GetParam().remove_chatter) + "\nSUBSYSDIM:\n 1 " +
                       std::to_string(n) + "\nMAP: 'page.map'\n 1 " + std::to_string(n) + nodes +
                       "\n 0 0\nENDCASE\n");
        write_file(scratch_->path + "/page.map", "BRANCHES:\n" + branches + "ENDPAGE\n");
        read_map("circuit.map");
        start();
    }
};

// 100 V behind 1 ohm into 4, 5 and 10 ohms.
TEST_P(FirstStep, AResistiveChainHasItsVoltagesAtStepZero) {
    read_circuit(3, " 0 1 RE 1.0 100.0\n 1 2 R 4.0\n 2 3 R 5.0\n 3 0 R 10.0\n");
    for (int32_t n = 0; n < 2; ++n) {
        ASSERT_TRUE(step());
        EXPECT_DOUBLE_EQ(V(1), 95.0) << n;
        EXPECT_DOUBLE_EQ(V(2), 75.0) << n;
        EXPECT_DOUBLE_EQ(V(3), 50.0) << n;
        for (int32_t b = 1; b <= 4; ++b) EXPECT_DOUBLE_EQ(I(b), 5.0) << n << " " << b;
    }
}

// 100 V behind 2 ohm onto 5 mH: with z = 2 + 2L/dt, i0 = E/z and
// i1 = (E + 2 i0 (2L/dt))/z, the coil's history after step 0 being 2 i0.
TEST_P(FirstStep, ACoilFromRestTakesTheTrapezoidalSteps) {
    read_circuit(1, " 0 1 RE 2.0 100.0\n 1 0 L 5.0E-3\n");
    const double xl = 2.0 * 5.0e-3 / 50.0e-6, z = 2.0 + xl;
    const double i0 = 100.0 / z, i1 = (100.0 + 2.0 * i0 * xl) / z;
    ASSERT_TRUE(step());
    EXPECT_DOUBLE_EQ(I(2), i0);
    EXPECT_DOUBLE_EQ(V(1), 100.0 - 2.0 * i0);
    ASSERT_TRUE(step());
    EXPECT_DOUBLE_EQ(I(2), i1);
    EXPECT_DOUBLE_EQ(V(1), 100.0 - 2.0 * i1);
}

INSTANTIATE_TEST_SUITE_P(Options, FirstStep,
                         testing::Values(Options{"Defaults", true, true}, Options{"NoChatterRemoval", true, false},
                                         Options{"NoInterpolation", false, true}, Options{"Neither", false, false}),
                         [](const testing::TestParamInfo<Options>& p) { return std::string(p.param.name); });

}  // namespace
