#include <gtest/gtest.h>

#include "models/setup_guard.h"
#include "network/tests/solution_circuit.h"

namespace {

class SetupGuardTest : public SolutionTest {};

// Set-up calls pass until SSINIT has summed the diagonals; then they stop.
TEST_F(SetupGuardTest, StopsOnceTheDiagonalsAreSummed) {
    tables(2, 1, 50e-6);
    EXPECT_FALSE(capture([] { CHK_SETUP_PHASE("BRANCH_RLC"); }).aborted);
    SSINIT();
    EXPECT_STOPS(CHK_SETUP_PHASE("BRANCH_RLC"),
                 " ***ERROR** BRANCH_RLC changes the network's conductances and can only be called before the first\n"
                 " ***ERROR** network solution of a run (in the begin pass or the first dynamic pass).\n" +
                     abort_frame("BRANCH_RLC"));
    reset_all_engine_state();
    EXPECT_FALSE(capture([] { CHK_SETUP_PHASE("BRANCH_RLC"); }).aborted);
}

}  // namespace
