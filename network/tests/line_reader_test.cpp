// The line reader: keys and data lines, comments, includes on the unit
// stack, pages, skipping and finding sections, opening files, and the
// token helpers; and tables of model data between brackets: pairs and
// matrix rows, comments and split rows inside, surplus lines, and every
// way a block can be wrong.
#include <array>
#include <functional>
#include <string>
#include <vector>

#include "network/bracketed_tables.h"
#include "network/tests/map_test_support.h"
#include "platform/list_read.h"

namespace {

// Walks a file with RDCMNT until "ENDCASE:", noting every key and every
// data line (read whole) with the unit it came from.
std::vector<std::string> walk() {
    std::vector<std::string> seen;
    Text72 last_key = INPUT.SECTION_KEY;
    for (int guard = 0; guard < 100; ++guard) {
        RDCMNT();
        if (!(INPUT.SECTION_KEY == last_key)) {
            last_key = INPUT.SECTION_KEY;
            seen.push_back("key " + INPUT.SECTION_KEY.trimmed() + " @" + std::to_string(INPUT.INPUT_UNIT));
            if (INPUT.SECTION_KEY == "ENDCASE:") break;
            continue;
        }
        Text72 line;
        EXPECT_EQ(READ_DATA_LINE(line), ReadStatus::Ok);
        seen.push_back("data " + line.trimmed() + " @" + std::to_string(INPUT.INPUT_UNIT));
    }
    return seen;
}

using LineReader = ReaderTest;

// Comments are passed over; includes nest on units 51 and 52 and each
// ENDPAGE steps back one, reading on after the INCLUDE line; a data line
// after ENDPAGE leaves the ENDPAGE key; CRLF reads as LF.
TEST_F(LineReader, KeyAndDataSequences) {
    const std::pair<const char*, std::vector<std::string>> cases[] = {
        {"keys.map",
         {"key DIMENSIONS: @50", "data  NODES = 10 @50", "key CX: @50", "key DIMENSIONS: @50", "key TLINES: @50",
          "data #  NAME = value @50", "key { @50", "key } @50", "key ENDFILE: @50", "key ENDCASE: @50"}},
        {"main_incl.map",
         {"key DIMENSIONS: @50", "key INCLUDE: @51", "key INC1: @51", "data  11 @51", "key INCLUDE: @52",
          "key INC2: @52", "data  22 @52", "key BACK_IN_INC1: @51", "key AFTER_INCLUDE: @50", "data  1 2 3 @50",
          "key ENDCASE: @50"}},
        {"endpage_data.map",
         {"key PAGE: @50", "key INCLUDE: @51", "key TAIL: @51", "data  5 @51", "key ENDPAGE: @50", "data  7 8 9 @50",
          "key LAST: @50", "key ENDCASE: @50"}},
        {"crlf.map",
         {"key DIMENSIONS: @50", "data  NODES = 12 @50", "key INCLUDE: @51", "key INCLUDED: @51", "data  4 5 @51",
          "key DONE: @50", "key ENDCASE: @50"}},
    };
    for (const auto& [file, expected] : cases) {
        reset_all_engine_state();
        open_map(file);
        EXPECT_EQ(INPUT.INPUT_UNIT, 50);
        EXPECT_EQ(walk(), expected) << file;
        EXPECT_FALSE(unit_is_open(51)) << file;
        // The last line read is kept whole, without its line end.
        EXPECT_EQ(INPUT.DATA_LINE.trimmed(), "ENDCASE") << file;
    }
}

TEST_F(LineReader, DataLineIsPutBackForTheCallersOwnRead) {
    open_map("keys.map");
    RDCMNT();
    ASSERT_EQ(INPUT.SECTION_KEY.trimmed(), "DIMENSIONS:");
    RDCMNT();
    EXPECT_EQ(INPUT.SECTION_KEY.trimmed(), "DIMENSIONS:");  // unchanged: a data line waits
    EXPECT_EQ(INPUT.DATA_LINE.trimmed(), " NODES = 10");
    Text72 line;
    ASSERT_EQ(READ_DATA_LINE(line), ReadStatus::Ok);
    EXPECT_EQ(FIRST_TOKEN(line).trimmed(), "NODES");
    EXPECT_EQ(TEXTINT(GETVALUE(line).view()), 10);
}

TEST_F(LineReader, IncludeAndMapLinesNameTheirFiles) {
    open_map("main_incl.map");
    RDCMNT();
    RDCMNT();
    EXPECT_EQ(INPUT.SECTION_KEY.trimmed(), "INCLUDE:");
    EXPECT_EQ(INPUT.DATA_FILE_NAME.trimmed(), "inc1.map");
    EXPECT_TRUE(unit_is_open(51));
    reset_all_engine_state();
    open_map("map_line.map");
    RDCMNT();
    EXPECT_EQ(INPUT.SECTION_KEY.trimmed(), "MAP:");
    EXPECT_EQ(INPUT.DATA_FILE_NAME.trimmed(), "page1.map");
}

TEST_F(LineReader, NextkeyPassesOverAnInclude) {
    open_map("skip.map");
    RDCMNT();
    ASSERT_EQ(INPUT.SECTION_KEY.trimmed(), "SKIPPED:");
    NEXTKEY();
    EXPECT_EQ(INPUT.SECTION_KEY.trimmed(), "NEXT:");
    EXPECT_EQ(INPUT.INPUT_UNIT, 50);  // the named file was never opened
    NEXTKEY();
    EXPECT_EQ(INPUT.SECTION_KEY.trimmed(), "ENDCASE:");
}

TEST_F(LineReader, GotosectionFindsTheSectionOrStops) {
    INPUT.DATA_FILE_NAME = "module.dta";
    OPENFILE();
    INPUT.SECTION_KEY = "DATADSO:";
    GOTOSECTION();
    EXPECT_EQ(INPUT.SECTION_KEY.trimmed(), "DATADSO:");
    double x = 0.0;
    ListRead in(INPUT.INPUT_UNIT);
    in.real(x);
    EXPECT_TRUE(in.ok());
    EXPECT_DOUBLE_EQ(x, 3.5);
    CLOSEFILE();
    EXPECT_EQ(INPUT.INPUT_UNIT, 49);
    CLOSEFILE();  // nothing left to close
    EXPECT_EQ(INPUT.INPUT_UNIT, 49);

    // A missing section: the page closes and nothing is left to read below it.
    reset_all_engine_state();
    INPUT.DATA_FILE_NAME = "module.dta";
    OPENFILE();
    INPUT.SECTION_KEY = "DATAXYZ:";
    const Captured c = capture([] { GOTOSECTION(); });
    EXPECT_TRUE(c.aborted);
    EXPECT_TRUE(contains(c.out, " Error Reading Unit#           49\n")) << c.out;
    EXPECT_TRUE(ends_with(c.out, abort_frame_of("RDCMNT", 1, "ENDPAGE", "module.dta"))) << c.out;
}

TEST_F(LineReader, EndOfFileWithoutEndpageStops) {
    open_map("no_endpage.map");
    const Captured c = capture([] { walk(); });
    EXPECT_TRUE(c.aborted);
    EXPECT_TRUE(contains(c.out, " End_Of_File while reading data file " + pad_text("no_endpage.map", 72) + "\n"))
        << c.out;
    EXPECT_TRUE(contains(c.out, "ERROR: Abnormal termination of ZARIK by RDCMNT")) << c.out;
}

TEST_F(LineReader, IncludesNestAtMostTwentyDeep) {
    open_map("self.map");
    int deepest = 0;
    const auto deeper = [&] {
        for (int i = 0; i < 30; ++i, deepest = INPUT.INPUT_UNIT) RDCMNT();
    };
    EXPECT_STOPS(deeper(),
                 " ***WARN*** ZARIK: Error while opening file for read: self.map\n" + abort_frame("OPENFILE"));
    EXPECT_EQ(deepest, 70);
}

// A missing line-constants file (".tlo") gets the advice how to make it.
TEST_F(LineReader, FilesThatCannotBeOpenedStop) {
    use_scratch();
    INPUT.DATA_FILE_NAME = "fresh.out";
    OPENFILE1(2);
    EXPECT_EQ(INPUT.INPUT_UNIT, 50);
    unit_write_line(50, "x");
    CLOSEFILE();
    const std::string warn = " ***WARN*** ZARIK: Error while opening file";
    const struct {
        const char* name;
        std::function<void()> open;
        std::string expected;
    } cases[] = {
        {"nowhere.map", OPENFILE, warn + " for read: nowhere.map\n" + abort_frame("OPENFILE")},
        {"cable7.tlo", [] { OPENFILE1(1); },
         warn + " for read: cable7.tlo\n ZARIK: Line/Cable Constants has not been\n"
                "        solved for Line/Cable:cable7\n From HOLVA:\n   - Edit the Transmission Line or Cable.\n"
                "   - Edit the sub-page.\n   - Confirm Line Model Selection and Data.\n"
                "   - Use the right button menu:\n      - Create Input File\n      - Solve Constants\n"
                "      - Check for and Correct Errors.\n" +
             abort_frame("OPENFILE1")},
        {"other.dat", [] { OPENFILE1(1); }, warn + " for read: other.dat\n" + abort_frame("OPENFILE1")},
        // Mode 2 wants a new file.
        {"fresh.out", [] { OPENFILE1(2); }, warn + " for write: fresh.out\n" + abort_frame("OPENFILE1")},
        {"no/such/folder/x.out", [] { OPENFILE1(3); }, warn + ": no/such/folder/x.out\n" + abort_frame("OPENFILE1")},
    };
    for (const auto& k : cases) {
        INPUT = {};
        INPUT.DATA_FILE_NAME = k.name;
        EXPECT_STOPS(k.open(), k.expected);
    }
}

TEST_F(LineReader, SkipcmntStopsAtTheFirstOtherLine) {
    ASSERT_TRUE(unit_open(60, "skipcmnt.tlo", UnitMode::Read));
    SKIPCMNT(60);
    EXPECT_EQ(unit_op(60, "L"), "Ok [ HOLVA Line Constants]");
    const Captured c = capture([] { SKIPCMNT(60); });
    EXPECT_FALSE(c.aborted);
    EXPECT_EQ(c.out, " SKIPCMNT: Unexpected End_Of_File\n");
    unit_close(60);
    EXPECT_EQ(capture([] { SKIPCMNT(61); }).out, " SKIPCMNT: Error while reading data\n");
}

TEST(LineTokens, TokensOfALine) {
    using Of = std::function<Text72(const Text72&)>;
    const Of first = FIRST_TOKEN, second = SECOND_TOKEN, value = GETVALUE, incl = INCL_FNAME;
    const std::string long_word(80, 'A'), at_72 = std::string(71, ' ') + "=";
    const struct {
        const Of& of;
        std::string line, expected;
    } cases[] = {
        {first, "   'DIMENSIONS:' rest", "DIMENSIONS:"}, {first, "NAME = value", "NAME"}, {first, "NAME=value", "NAME"},
        {first, "TLINES: 4", "TLINES:"}, {first, "#\"x\"y", "x"}, {first, "", ""}, {first, "  ##  ''  ", ""},
        {first, long_word, std::string(72, 'A')},  // a token that reaches column 72 ends there
        {second, "MAP: 'page1.map' 3", "page1.map"}, {second, "A=B", "B"}, {second, "ONLY", ""},
        {second, long_word, ""},
        {value, "TIME_STEP = 50.0 ", " 50.0"}, {value, "NO EQUAL SIGN", ""}, {value, at_72, ""},
        {value, "A = B = C", " B = C"},
        {incl, "INCLUDE 'a b.map'", "a b.map"}, {incl, "INCLUDE \"q.map\"", "q.map"},
        {incl, "  INCLUDE plain.map tail", "plain.map"},
        {incl, "include E x.map", "x.map"},  // the name follows the first upper-case E
    };
    for (const auto& k : cases) EXPECT_EQ(k.of(Text72(k.line)).trimmed(), k.expected) << k.line;
    for (const char* key : {"BRANCHES:", "A:B", "{", "}x"}) EXPECT_EQ(ISKEYLINE(Text72(key)), LTRUE) << key;
    for (const char* other : {"NAME", "x{"}) EXPECT_EQ(ISKEYLINE(Text72(other)), LFALSE) << other;
    EXPECT_EQ(TEXTINT(" 42 7"), 42);
    EXPECT_EQ(TEXTINT("-3,"), -3);
    EXPECT_EQ(TEXTINT("   "), 0);
}

TEST(LineTokens, QuotedFileNames) {
    Text72 name("old");
    for (const auto& [line, expected] : std::vector<std::pair<const char*, const char*>>{
             {"FILE = 'cable.tlo' rest", "cable.tlo"}, {"X \"mixed' y", "mixed"}, {"X '' y", ""}}) {
        GET_FNAME(Text72(line), name);
        EXPECT_EQ(name.trimmed(), expected) << line;
    }
    // Without a quoted name: a numbered message, the name kept.
    name = "kept";
    for (const auto& [line, number] :
         std::vector<std::pair<const char*, const char*>>{{"NO QUOTES", "01"}, {"OPEN 'ONLY", "02"}}) {
        const Captured c = capture([&] { GET_FNAME(Text72(line), name); });
        EXPECT_EQ(c.out, std::string(" GET_FNAME ") + number + ": Cannot extract filename from " +
                             pad_text(line, 72) + "\n");
        EXPECT_EQ(name.trimmed(), "kept");
    }
}

class BracketedTables : public ReaderTest {
protected:
    // Writes the data file and opens it as the current input file.
    void data(const std::string& text) {
        reset_all_engine_state();
        if (!scratch_) use_scratch();
        write_file("model.dta", text);
        open_map("model.dta");
    }
    // The data line after the block: the block ended on its bracket.
    static std::string next_after() {
        EXPECT_TRUE(INPUT.SECTION_KEY == "}");
        RDCMNT();
        Text72 line;
        return READ_DATA_LINE(line) == ReadStatus::Ok ? line.trimmed() : "<none>";
    }
};

// Comments and blank lines inside, a pair split over two lines, surplus
// pairs; no pairs still need both brackets.
TEST_F(BracketedTables, PairsWithCommentsSplitPairAndSurplus) {
    data("{\n 1.0 10.0\n! a comment line\nC another comment\n\n 2.5, -3.5E2\n 4.0\n   40.0\n 9.0 90.0\n"
         " 8.0 80.0\n}\n 77 78\n");
    std::array<double, 3> x{}, y{};
    EXPECT_EQ(capture([&] { READXY(3, x, y); }).out, "");
    EXPECT_EQ(x, (std::array<double, 3>{1.0, 2.5, 4.0}));
    EXPECT_EQ(y, (std::array<double, 3>{10.0, -350.0, 40.0}));
    EXPECT_EQ(next_after(), " 77 78");
    data("{\n 1 2\n}\n 5\n");
    EXPECT_EQ(capture([&] { READXY(0, x, y); }).out, "");
    EXPECT_EQ(x[0], 1.0);
    EXPECT_EQ(next_after(), " 5");
}

// Each stops the run on the data file, after the line named.
TEST_F(BracketedTables, PairsThatCannotBeRead) {
    const struct {
        const char* text;
        int32_t count;
        std::string message;
        const char* last_line;
    } cases[] = {
        {"{\n 1 2\n 3 4\n}\n", 4,
         " Unexpected end of data encountered by READXY\n"
         " Expecting            4  pairs but found only            2\n",
         "}"},
        {" 1 2\n}\n", 1, " Model data is missing begin bracket, {\n", " 1 2"},
        {"{\n 1 2\n 3 4\nEND:\n", 1, " Model data is missing end bracket, }\n", "END:"},
        {"{\n 1 x2\n}\n", 1, " Error while reading data\n", " 1 x2"},
        {"{\n 1\n", 1, " Unexpected End_Of_File\n", " 1"},
    };
    for (const auto& k : cases) {
        data(k.text);
        std::array<double, 4> x{}, y{};
        EXPECT_STOPS(READXY(k.count, x, y), k.message + abort_frame_of("READXY", 1, k.last_line, "model.dta"));
    }
    // A table too small for the count.
    data("{\n 1 2\n 3 4\n}\n");
    std::array<double, 1> x{}, y{};
    const Captured c = capture([&] { READXY(2, x, y); });
    EXPECT_TRUE(c.aborted);
    EXPECT_TRUE(contains(c.out, "Model data table has room for")) << c.out;
}

// Element (i, j) at i + 100 (j - 1); a row split over two lines.
TEST_F(BracketedTables, MatrixRowsWithSplitRowAndSurplus) {
    data("{\n 1 2 3\n! comment\n 4 5\n 6\n 7 8 9\n}\n after\n");
    std::vector<double> a(300, -1.0);
    EXPECT_EQ(capture([&] { READMATX(2, 3, a); }).out, "");
    for (const auto& [at, value] : std::vector<std::pair<size_t, double>>{
             {0, 1.0}, {100, 2.0}, {200, 3.0}, {1, 4.0}, {101, 5.0}, {201, 6.0}, {2, -1.0}, {99, -1.0}})
        EXPECT_EQ(a[at], value) << at;
    EXPECT_EQ(next_after(), " after");
}

TEST_F(BracketedTables, MatrixRowCounts) {
    data("{\n 1 2\n}\n");
    std::vector<double> a(100 * 101);
    EXPECT_STOPS(READMATX(3, 2, a), " Unexpected end of data encountered by READMATX\n"
                                    " Expecting            3  rows but found only            1\n" +
                                        abort_frame_of("READMATX", 1, "}", "model.dta"));
    data("{\n}\n");
    EXPECT_STOPS(READMATX(101, 1, a), " Too many rows in model data matrix:         101 >         100\n" +
                                          abort_frame_of("READMATX", 1, "", "model.dta"));
}

}  // namespace
