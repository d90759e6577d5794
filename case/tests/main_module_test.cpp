// Module Main on the case's map, its passes driven by hand: the start-up
// enables and the breaker command.
#include "case/tests/case_support.h"
#include "network/network_tables.h"

namespace {

class MainModule : public CaseTest {
protected:
    // Steps from..to - 1, stopping at the first abort.
    static bool run(int32_t from, int32_t to) {
        for (int32_t n = from; n < to; ++n)
            if (step(n).aborted) return false;
        return true;
    }
};

TEST_F(MainModule, EnablesControlAt100msAndTheDcDcConverter300msLater) {
    ASSERT_FALSE(begin_passes().aborted);
    const int32_t at_100ms = static_cast<int32_t>(0.1 / RUN_CLOCK.DELT + 0.5);
    const int32_t at_400ms = static_cast<int32_t>(0.4 / RUN_CLOCK.DELT + 0.5);
    ASSERT_TRUE(run(0, at_100ms));
    EXPECT_EQ(STORAGE.STOI(1), 0);
    ASSERT_TRUE(run(at_100ms, at_100ms + 1));
    EXPECT_EQ(STORAGE.STOI(1), 1);
    EXPECT_EQ(STORAGE.STOI(2), 0);
    ASSERT_TRUE(run(at_100ms + 1, at_400ms - 1));
    EXPECT_EQ(STORAGE.STOI(2), 0);
    ASSERT_TRUE(run(at_400ms - 1, at_400ms + 1));
    EXPECT_EQ(STORAGE.STOI(2), 1);
    EXPECT_EQ(STORAGE.PGB(5), STORAGE.PGB(6));
}

struct BreakerCase {
    const char* name;
    double command;
    bool opens;
};
void PrintTo(const BreakerCase& c, std::ostream* os) { *os << c.name; }


class MainBreaker : public MainModule, public testing::WithParamInterface<BreakerCase> {};

// The command is NINT(1 - BrkCmd): 0.5 rounds half away from zero to 1.
TEST_P(MainBreaker, FollowsTheRoundedCommand) {
    STORAGE.CX(1) = GetParam().command;
    ASSERT_FALSE(begin_passes().aborted);
    ASSERT_TRUE(run(0, 3));
    for (int32_t br = 4; br <= 6; ++br) EXPECT_EQ(is_true(NET.OPENBR(br, 1)), GetParam().opens) << br;
}

INSTANTIATE_TEST_SUITE_P(Case, MainBreaker,
                         testing::Values(BreakerCase{"Zero", 0.0, false}, BreakerCase{"Half", 0.5, false},
                                         BreakerCase{"One", 1.0, true}),
                         [](const auto& i) { return std::string(i.param.name); });

}  // namespace
