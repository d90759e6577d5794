// Tables of model data between brackets: pairs and matrix rows, comments
// and split rows inside, surplus lines, and every way a block can be
// wrong.
#include <array>
#include <vector>

#include "network/bracketed_tables.h"
#include "network/tests/map_test_support.h"

namespace {

class BracketedTables : public ReaderTest {
protected:
    // Writes the data file and opens it as the current input file.
    void data(const std::string& text) {
        use_scratch();
        write_file("model.dta", text);
        open_map("model.dta");
    }
    // The key and the data line that come after the block.
    std::string next_after() {
        RDCMNT();
        Text72 line;
        if (READ_DATA_LINE(line) != ReadStatus::Ok) return "<none>";
        return line.trimmed();
    }
};

TEST_F(BracketedTables, PairsWithCommentsSplitPairAndSurplus) {
    data("{\n"
         " 1.0 10.0\n"
         "! a comment line\n"
         "C another comment\n"
         "\n"
         " 2.5, -3.5E2\n"
         " 4.0\n"
         "   40.0\n"
         " 9.0 90.0\n"
         " 8.0 80.0\n"
         "}\n"
         " 77 78\n");
    std::array<double, 3> x{}, y{};
    const Captured c = capture([&] { READXY(3, x, y); });
    ASSERT_FALSE(c.aborted) << c.out;
    EXPECT_EQ(c.out, "");
    EXPECT_EQ(x, (std::array<double, 3>{1.0, 2.5, 4.0}));
    EXPECT_EQ(y, (std::array<double, 3>{10.0, -350.0, 40.0}));
    EXPECT_TRUE(INPUT.SECTION_KEY == "}");
    EXPECT_EQ(next_after(), " 77 78");
}

TEST_F(BracketedTables, NoPairsStillNeedBothBrackets) {
    data("{\n 1 2\n}\n 5\n");
    std::array<double, 1> x{-1.0}, y{-1.0};
    const Captured c = capture([&] { READXY(0, x, y); });
    ASSERT_FALSE(c.aborted) << c.out;
    EXPECT_EQ(x[0], -1.0);
    EXPECT_TRUE(INPUT.SECTION_KEY == "}");
    EXPECT_EQ(next_after(), " 5");
}

TEST_F(BracketedTables, FewerPairsThanExpected) {
    data("{\n 1 2\n 3 4\n}\n");
    std::array<double, 4> x{}, y{};
    const Captured c = capture([&] { READXY(4, x, y); });
    EXPECT_TRUE(c.aborted);
    EXPECT_EQ(c.out, " Unexpected end of data encountered by READXY\n"
                     " Expecting            4  pairs but found only            2\n" +
                         abort_frame_of("READXY", 1, "}", "model.dta"));
}

TEST_F(BracketedTables, MissingBrackets) {
    data(" 1 2\n}\n");
    std::array<double, 1> x{}, y{};
    Captured c = capture([&] { READXY(1, x, y); });
    EXPECT_TRUE(c.aborted);
    EXPECT_EQ(c.out, " Model data is missing begin bracket, {\n" + abort_frame_of("READXY", 1, " 1 2", "model.dta"));

    reset_engine();
    data("{\n 1 2\n 3 4\nEND:\n");
    c = capture([&] { READXY(1, x, y); });
    EXPECT_TRUE(c.aborted);
    EXPECT_EQ(c.out, " Model data is missing end bracket, }\n" + abort_frame_of("READXY", 1, "END:", "model.dta"));
}

TEST_F(BracketedTables, BadNumberAndEndOfFile) {
    data("{\n 1 x2\n}\n");
    std::array<double, 1> x{}, y{};
    Captured c = capture([&] { READXY(1, x, y); });
    EXPECT_TRUE(c.aborted);
    EXPECT_EQ(c.out, " Error while reading data\n" + abort_frame_of("READXY", 1, " 1 x2", "model.dta"));

    reset_engine();
    data("{\n 1\n");
    c = capture([&] { READXY(1, x, y); });
    EXPECT_TRUE(c.aborted);
    EXPECT_EQ(c.out, " Unexpected End_Of_File\n" + abort_frame_of("READXY", 1, " 1", "model.dta"));
}

TEST_F(BracketedTables, TableTooSmallForTheCount) {
    data("{\n 1 2\n 3 4\n}\n");
    std::array<double, 1> x{}, y{};
    const Captured c = capture([&] { READXY(2, x, y); });
    EXPECT_TRUE(c.aborted);
    EXPECT_NE(c.out.find("Model data table has room for"), std::string::npos) << c.out;
}

TEST_F(BracketedTables, MatrixRowsWithSplitRowAndSurplus) {
    data("{\n"
         " 1 2 3\n"
         "! comment\n"
         " 4 5\n"
         " 6\n"
         " 7 8 9\n"
         "}\n"
         " after\n");
    std::vector<double> a(300, -1.0);
    const Captured c = capture([&] { READMATX(2, 3, a); });
    ASSERT_FALSE(c.aborted) << c.out;
    // Element (i, j) at i + 100 (j - 1).
    EXPECT_EQ(a[0], 1.0);
    EXPECT_EQ(a[100], 2.0);
    EXPECT_EQ(a[200], 3.0);
    EXPECT_EQ(a[1], 4.0);
    EXPECT_EQ(a[101], 5.0);
    EXPECT_EQ(a[201], 6.0);
    EXPECT_EQ(a[2], -1.0);
    EXPECT_EQ(a[99], -1.0);
    EXPECT_TRUE(INPUT.SECTION_KEY == "}");
    EXPECT_EQ(next_after(), " after");
}

TEST_F(BracketedTables, MatrixRowCounts) {
    data("{\n 1 2\n}\n");
    std::vector<double> a(300);
    Captured c = capture([&] { READMATX(3, 2, a); });
    EXPECT_TRUE(c.aborted);
    EXPECT_EQ(c.out, " Unexpected end of data encountered by READMATX\n"
                     " Expecting            3  rows but found only            1\n" +
                         abort_frame_of("READMATX", 1, "}", "model.dta"));

    reset_engine();
    data("{\n}\n");
    std::vector<double> big(100 * 101);
    c = capture([&] { READMATX(101, 1, big); });
    EXPECT_TRUE(c.aborted);
    EXPECT_EQ(c.out, " Too many rows in model data matrix:         101 >         100\n" +
                         abort_frame_of("READMATX", 1, "", "model.dta"));
}

}  // namespace
