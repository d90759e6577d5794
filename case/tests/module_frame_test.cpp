// The framework's guarded division and its checked array access.
#include <cmath>
#include <limits>

#include "case/module_frame.h"
#include "case/tests/case_support.h"

namespace {

struct Division {
    const char* name;
    double a, b, want;
};
void PrintTo(const Division& c, std::ostream* os) { *os << c.name; }


class GuardedDivision : public testing::TestWithParam<Division> {};

TEST_P(GuardedDivision, Gives) {
    const Division& d = GetParam();
    const double q = GUARDED_DIV(d.a, d.b);
    if (std::isnan(d.want)) {
        EXPECT_TRUE(std::isnan(q));
    } else {
        EXPECT_EQ(q, d.want);
    }
}

INSTANTIATE_TEST_SUITE_P(Case, GuardedDivision,
                         testing::Values(Division{"Ordinary", 6.0, 3.0, 2.0}, Division{"ByZero", 2.0, 0.0, 2.0 * 1e100},
                                         Division{"ByNegativeZero", 2.0, -0.0, 2.0 * 1e100},
                                         Division{"ByTinyNegative", 2.0, -1e-101, -2.0 * 1e100},
                                         Division{"ByTinyPositive", -3.0, 1e-101, -3.0 * 1e100},
                                         Division{"ByNotANumber", 1.0, std::numeric_limits<double>::quiet_NaN(),
                                                  std::numeric_limits<double>::quiet_NaN()}),
                         [](const testing::TestParamInfo<Division>& p) { return std::string(p.param.name); });

TEST(CaseAt, StopsOnTheSubscriptOutOfRange) {
    reset_all_engine_state();
    FArray2<int32_t> table;
    table.allocate(18, 4);
    const Captured c = capture([&] { case_at("PI_AntiWindUp_2_DSD", "TXFR", table, 19, 1); });
    EXPECT_TRUE(c.aborted);
    EXPECT_EQ(c.out.find("ERROR: Array TXFR subscript 1 = 19 outside 1 to 18\n"), 0u) << c.out;
    EXPECT_NE(c.out.find("ERROR: Abnormal termination of ZARIK by PI_AntiWindU\n"), std::string::npos) << c.out;
    const Captured second = capture([&] { case_at("Load_DSD", "TXFR", table, 1, 0); });
    EXPECT_EQ(second.out.find("ERROR: Array TXFR subscript 2 = 0 outside 1 to 4\n"), 0u) << second.out;
    reset_all_engine_state();
}

}  // namespace
