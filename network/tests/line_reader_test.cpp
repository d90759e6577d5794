// The line reader: keys, data lines, includes and pages, sections, opening
// files, the token helpers; and model data tables between brackets.
#include <array>
#include <functional>
#include <string>
#include <tuple>
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

// Includes nest on units 51 and 52 and ENDPAGE steps back one, reading on
// after the INCLUDE line; CRLF reads as LF.
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
        EXPECT_EQ(walk(), expected) << file;
        EXPECT_FALSE(unit_is_open(51)) << file;
        EXPECT_EQ(INPUT.DATA_LINE.trimmed(), "ENDCASE") << file;  // without its line end
    }
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
    for (const char* section : {"DATADSO:", "DATAXYZ:"}) {
        reset_all_engine_state();
        INPUT.DATA_FILE_NAME = "module.dta";
        OPENFILE();
        INPUT.SECTION_KEY = section;
        const Captured c = capture([] { GOTOSECTION(); });
        EXPECT_EQ(c.aborted, std::string(section) == "DATAXYZ:");
        if (c.aborted) {
            // The page closes and nothing is left to read below it.
            EXPECT_TRUE(contains(c.out, " Error Reading Unit#           49\n")) << c.out;
            EXPECT_TRUE(ends_with(c.out, abort_frame_of("RDCMNT", 1, "ENDPAGE", "module.dta"))) << c.out;
            continue;
        }
        double x = 0.0;
        EXPECT_TRUE(ListRead(INPUT.INPUT_UNIT).real(x).ok());
        EXPECT_DOUBLE_EQ(x, 3.5);
        CLOSEFILE();
        CLOSEFILE();  // nothing left to close
        EXPECT_EQ(INPUT.INPUT_UNIT, 49);
    }
}

// A file that includes itself stops at the depth limit, never overflows.
TEST_F(LineReader, IncludesNestAtMostTwentyDeep) {
    open_map("self.map");
    int deepest = 0;
    const auto deeper = [&] {
        for (int i = 0; i < 30; ++i, deepest = INPUT.INPUT_UNIT) RDCMNT();
    };
    EXPECT_STOPS(deeper(),
                 " ***WARN*** ZARIK: Files nested more than 20 deep; cannot open: self.map\n" + abort_frame("OPENFILE"));
    EXPECT_EQ(deepest, 70);
}

TEST_F(LineReader, FilesThatCannotBeOpenedStop) {
    use_scratch();
    write_file("fresh.out", "");
    const std::string warn = " ***WARN*** ZARIK: Error while opening file";
    const struct {
        const char* name;
        std::function<void()> open;
        std::string expected;
    } cases[] = {
        {"nowhere.map", OPENFILE, warn + " for read: nowhere.map\n" + abort_frame("OPENFILE")},
        // A missing line-constants file gets the advice how to make it.
        {"cable7.tlo", [] { OPENFILE1(1); },
         warn + " for read: cable7.tlo\n ZARIK: Line/Cable Constants has not been\n"
                "        solved for Line/Cable:cable7\n From HOLVA:\n   - Edit the Transmission Line or Cable.\n"
                "   - Edit the sub-page.\n   - Confirm Line Model Selection and Data.\n"
                "   - Use the right button menu:\n      - Create Input File\n      - Solve Constants\n"
                "      - Check for and Correct Errors.\n" +
             abort_frame("OPENFILE1")},
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
    EXPECT_EQ(capture([] { SKIPCMNT(60); }).out, " SKIPCMNT: Unexpected End_Of_File\n");
    unit_close(60);
    EXPECT_EQ(capture([] { SKIPCMNT(61); }).out, " SKIPCMNT: Error while reading data\n");
}

// Quirks and the column-72 bounds; plain tokens show in every map read.
TEST(LineTokens, TokensOfALine) {
    using Of = std::function<Text72(const Text72&)>;
    const Of first = FIRST_TOKEN, second = SECOND_TOKEN, value = GETVALUE, incl = INCL_FNAME;
    const std::string long_word(80, 'A');
    const struct {
        const Of& of;
        std::string line, expected;
    } cases[] = {
        {first, "#\"x\"y", "x"}, {first, long_word, std::string(72, 'A')}, {second, long_word, ""},
        {value, "A = B = C", " B = C"}, {value, std::string(71, ' ') + "=", ""},
        {incl, "  INCLUDE plain.map tail", "plain.map"},
        {incl, "include E x.map", "x.map"},  // the name follows the first upper-case E
    };
    for (const auto& k : cases) EXPECT_EQ(k.of(Text72(k.line)).trimmed(), k.expected) << k.line;
    EXPECT_EQ(ISKEYLINE(Text72("}x")), LTRUE);
    EXPECT_EQ(ISKEYLINE(Text72("x{")), LFALSE);
    EXPECT_EQ(TEXTINT("-3,"), -3);
}

// Without a quoted name: a numbered message, the name kept.
TEST(LineTokens, QuotedFileNames) {
    Text72 name("old");
    GET_FNAME(Text72("X \"mixed' y"), name);
    for (const auto& [line, number] : {std::pair{"NO QUOTES", "01"}, {"OPEN 'ONLY", "02"}})
        EXPECT_EQ(capture([&] { GET_FNAME(Text72(line), name); }).out,
                  std::string(" GET_FNAME ") + number + ": Cannot extract filename from " + pad_text(line, 72) + "\n");
    EXPECT_EQ(name.trimmed(), "mixed");
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
    static std::string frame(const char* routine, const char* line) {
        return abort_frame_of(routine, 1, line, "model.dta");
    }
};

// Comments and blank lines inside, a pair split over two lines, surplus
// pairs passed over; then each way a block can be wrong.
TEST_F(BracketedTables, Pairs) {
    data("{\n 1.0 10.0\n! a comment line\nC another comment\n\n 2.5, -3.5E2\n 4.0\n   40.0\n 9.0 90.0\n}\n 77 78\n");
    std::array<double, 4> x{}, y{};
    EXPECT_EQ(capture([&] { READXY(3, x, y); }).out, "");
    EXPECT_EQ(x, (std::array<double, 4>{1.0, 2.5, 4.0, 0.0}));
    EXPECT_EQ(y, (std::array<double, 4>{10.0, -350.0, 40.0, 0.0}));
    EXPECT_EQ(next_after(), " 77 78");
    const std::tuple<const char*, int32_t, std::string> bad[] = {
        {"{\n 1 2\n 3 4\n}\n", 4,
         " Unexpected end of data encountered by READXY\n"
         " Expecting            4  pairs but found only            2\n" + frame("READXY", "}")},
        {" 1 2\n}\n", 1, " Model data is missing begin bracket, {\n" + frame("READXY", " 1 2")},
        {"{\n 1 2\n 3 4\nEND:\n", 1, " Model data is missing end bracket, }\n" + frame("READXY", "END:")},
        {"{\n 1 x2\n}\n", 1, " Error while reading data\n" + frame("READXY", " 1 x2")},
        {"{\n 1 NaN\n}\n", 1, " Error while reading data\n" + frame("READXY", " 1 NaN")},
        {"{\n Inf 2\n}\n", 1, " Error while reading data\n" + frame("READXY", " Inf 2")},
        {"{\n 1\n", 1, " Unexpected End_Of_File\n" + frame("READXY", " 1")},
    };
    for (const auto& [text, count, message] : bad) {
        data(text);
        EXPECT_STOPS(READXY(count, x, y), message);
    }
    // A table too small for the count is never written past.
    data("{\n 1 2\n 3 4\n}\n");
    const Captured c = capture([&] { READXY(5, x, y); });
    EXPECT_TRUE(c.aborted);
    EXPECT_TRUE(contains(c.out, "Model data table has room for")) << c.out;
}

// Element (i, j) at i + 100 (j - 1); a row split over two lines.
TEST_F(BracketedTables, MatrixRowsAndRowCounts) {
    data("{\n 1 2 3\n! comment\n 4 5\n 6\n 7 8 9\n}\n after\n");
    std::vector<double> a(100 * 101, -1.0);
    EXPECT_EQ(capture([&] { READMATX(2, 3, a); }).out, "");
    EXPECT_EQ((std::vector<double>{a[0], a[100], a[200], a[1], a[101], a[201], a[2]}),
              (std::vector<double>{1, 2, 3, 4, 5, 6, -1}));
    EXPECT_EQ(next_after(), " after");
    data("{\n 1 2\n}\n");
    EXPECT_STOPS(READMATX(3, 2, a), " Unexpected end of data encountered by READMATX\n"
                                    " Expecting            3  rows but found only            1\n" +
                                        frame("READMATX", "}"));
    data("{\n 1 -Inf 3\n}\n");
    EXPECT_STOPS(READMATX(1, 3, a), " Error while reading data\n" + frame("READMATX", " 1 -Inf 3"));
    data("{\n}\n");
    EXPECT_STOPS(READMATX(101, 1, a),
                 " Too many rows in model data matrix:         101 >         100\n" + frame("READMATX", ""));
}

}  // namespace
