// The ten-breakpoint table: set-up into the run-time constants, lookup
// linear and stepped, held ends and the set-up's refusals.
#include "controls/tables/xy_table.h"

#include <array>
#include <string>
#include <vector>

#include "controls/tests/elementary_support.h"

namespace {

using ::testing::ValuesIn;

// Breakpoints 0, 1, 2; column 1: 10, 20, 40; column 2: 1, 2, 3.
std::array<double, 110> example_table() {
    std::array<double, 110> t{};
    const double x[] = {0, 1, 2}, y1[] = {10, 20, 40}, y2[] = {1, 2, 3};
    for (int i = 0; i < 3; ++i) {
        t[static_cast<size_t>(i)] = x[i];
        t[static_cast<size_t>(10 + i)] = y1[i];
        t[static_cast<size_t>(20 + i)] = y2[i];
    }
    return t;
}

std::vector<DisciplineRow> table_rows() {
    static const std::array<double, 110> t = example_table();
    std::vector<DisciplineRow> rows;
    rows.push_back({"XY_TABLE_T", {.rtcf = 110}, [] { XY_TABLE_T(3, 2, t.data()); }});
    for (int32_t stepped : {0, 1})
        rows.push_back({"XY_TABLE_LOOKUP_stepped" + std::to_string(stepped), {.rtcf = 110}, [stepped] {
                            std::array<double, 10> out{};
                            XY_TABLE_LOOKUP(3, 2, stepped, 1.5, out.data());
                        }});
    return rows;
}

INSTANTIATE_TEST_SUITE_P(XyTable, SlotDiscipline, ValuesIn(table_rows()), discipline_row_name);

struct LookupCase {
    std::string name;
    double x;
    int32_t stepped;
    double y1;
};
void PrintTo(const LookupCase& c, std::ostream* os) { *os << c.name; }

class XyTableLookup : public RunBlockTest, public ::testing::WithParamInterface<LookupCase> {};

TEST_P(XyTableLookup, OutputsOfTheExampleTable) {
    const std::array<double, 110> t = example_table();
    RESETPTRS();
    XY_TABLE_T(3, 2, t.data());
    RESETPTRS();
    std::array<double, 10> out;
    out.fill(-1.0);
    XY_TABLE_LOOKUP(3, 2, GetParam().stepped, GetParam().x, out.data());
    EXPECT_EQ(out[0], GetParam().y1);
    for (size_t c = 2; c < 10; ++c) EXPECT_EQ(out[c], 0.0);
}

INSTANTIATE_TEST_SUITE_P(Example, XyTableLookup,
                         ValuesIn(std::vector<LookupCase>{{"linearThreeHalves", 1.5, 0, 30},
                                                          {"steppedThreeHalves", 1.5, 1, 40},
                                                          {"linearFiveQuarters", 1.25, 0, 25},
                                                          {"steppedFiveQuarters", 1.25, 1, 20},
                                                          {"belowTheTable", -5, 0, 10},
                                                          {"aboveTheTable", 7, 1, 40},
                                                          {"atAnInnerBreakpointLinear", 1, 0, 20},
                                                          {"atAnInnerBreakpointStepped", 1, 1, 20},
                                                          {"halfWayTakesTheUpper", 0.5, 1, 20}}),
                         [](const auto& info) { return info.param.name; });

TEST_F(RunBlockTest, XyTableSizesOutsideTheBlockAndFallingBreakpointsStopTheSetUp) {
    std::array<double, 110> t = example_table();
    for (const auto& [n, m] : std::vector<std::pair<int32_t, int32_t>>{{0, 1}, {11, 1}, {3, 11}}) {
        const Captured c = stopped([&] { XY_TABLE_T(n, m, t.data()); });
        EXPECT_EQ(c.out, data_error_text("Table size out of range", "XY_TABLE_T"));
    }
    t[1] = 0.0;
    const Captured c = stopped([&] { XY_TABLE_T(3, 1, t.data()); });
    EXPECT_EQ(c.out, data_error_text("Data in the table should be in ascending order", "XY_TABLE_T"));
}

// No output columns: the breakpoints are copied and checked, and every
// output is 0.0.
TEST_F(RunBlockTest, XyTableWithANegativeColumnCountGivesZeros) {
    std::array<double, 110> t = example_table();
    const BlockSlots s{};  // where the pointers reset to
    RESETPTRS();
    s.RF(10) = 7.0;
    XY_TABLE_T(3, -1, t.data());
    EXPECT_EQ(s.RF(2), 2.0);
    EXPECT_EQ(s.RF(10), 7.0);
    RESETPTRS();
    std::array<double, 10> out;
    out.fill(-1.0);
    XY_TABLE_LOOKUP(3, -1, 0, 1.5, out.data());
    for (double o : out) EXPECT_EQ(o, 0.0);
    t[1] = 0.0;
    RESETPTRS();
    const Captured c = stopped([&] { XY_TABLE_T(3, -1, t.data()); });
    EXPECT_EQ(c.out, data_error_text("Data in the table should be in ascending order", "XY_TABLE_T"));
}

TEST_F(RunBlockTest, XyTableLookupWithSizesPastTheBlockStaysInsideIt) {
    std::array<double, 12> out;
    out.fill(-1.0);
    XY_TABLE_LOOKUP(40, 40, 0, 1e9, out.data());
    EXPECT_EQ(out[10], -1.0);
    EXPECT_EQ(POINTER_BLOCK.NRTCF, kStartSlots.rtcf + 110);
}

}  // namespace
