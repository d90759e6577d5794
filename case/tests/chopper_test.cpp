// Module Chopper alone at its place in the case's tree: the gate's
// hysteresis on its input, exactly at the levels and with equal levels.
#include <vector>

#include "case/modules.h"
#include "case/tests/case_support.h"

namespace {

void place(bool dynamic) {
    PointerBlock& p = POINTER_BLOCK;
    p.NINST = 17;
    p.NNODE = 90;
    p.NSUBS = 8;
    STORAGE.NBRCH(1) = 65;
    p.NPGB = 95;
    if (dynamic) {
        p.NTXFR = 16;
        p.NSTOI = p.NSTOF = 0;
    }
}

struct GateCase {
    const char* name;
    double on, off;
    std::vector<double> input;
    std::vector<double> gate;
};
void PrintTo(const GateCase& c, std::ostream* os) { *os << c.name; }


class ChopperGate : public CaseTest, public testing::WithParamInterface<GateCase> {};

TEST_P(ChopperGate, FollowsItsInput) {
    const GateCase& g = GetParam();
    RUN_FLAGS.FIRST_STEP_DATA = LTRUE;
    ASSERT_FALSE(capture([] {
                     RESETPTRS();
                     place(true);
                     Chopper_DSD_BEGIN();
                 }).aborted);
    for (size_t n = 0; n < g.input.size(); ++n) {
        RUN_FLAGS.FIRST_STEP_DATA = as_logical(n == 0);
        RUN_CLOCK.TIME = static_cast<double>(n) * RUN_CLOCK.DELT;
        const Captured c = capture([&] {
            RESETPTRS();
            place(true);
            Chopper_DSD(g.input[n], g.on, g.off, 1.24);
        });
        ASSERT_FALSE(c.aborted) << c.out;
        EXPECT_EQ(STORAGE.PGB(96), g.gate[n]) << "step " << n;
        EXPECT_EQ(STORAGE.STOI(1), static_cast<int32_t>(g.gate[n]));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Case, ChopperGate,
    testing::Values(GateCase{"AtTheLevels", 1.7, 1.5, {1.4, 1.7, 1.6, 1.5, 1.6, 1.7}, {0, 1, 1, 0, 0, 1}},
                    GateCase{"EqualLevels", 1.6, 1.6, {1.59, 1.6, 1.59, 1.61, 1.6}, {0, 1, 0, 1, 1}}),
    [](const auto& i) { return std::string(i.param.name); });

}  // namespace
