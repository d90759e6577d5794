// The line reader: keys and data lines, comments, includes on the unit
// stack, pages, skipping sections, finding sections and the token helpers.
#include <string>
#include <vector>

#include "network/tests/reader_test_support.h"
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

TEST_F(LineReader, KeysDataLinesAndComments) {
    open_map("keys.map");
    EXPECT_EQ(INPUT.INPUT_UNIT, 50);
    const std::vector<std::string> expected = {
        "key DIMENSIONS: @50", "data  NODES = 10 @50", "key CX: @50",  "key DIMENSIONS: @50",
        "key TLINES: @50",     "data #  NAME = value @50", "key { @50", "key } @50",
        "key ENDFILE: @50",    "key ENDCASE: @50"};
    EXPECT_EQ(walk(), expected);
    // The last line read is kept whole.
    EXPECT_EQ(INPUT.DATA_LINE.trimmed(), "ENDCASE");
}

TEST_F(LineReader, DataLineIsPutBackForTheCallersOwnRead) {
    open_map("keys.map");
    RDCMNT();
    ASSERT_EQ(INPUT.SECTION_KEY.trimmed(), "DIMENSIONS:");
    RDCMNT();
    EXPECT_EQ(INPUT.SECTION_KEY.trimmed(), "DIMENSIONS:");  // unchanged: a data line waits
    EXPECT_EQ(INPUT.DATA_LINE.trimmed(), " NODES = 10");
    // The waiting line reads again from its start.
    Text72 line;
    ASSERT_EQ(READ_DATA_LINE(line), ReadStatus::Ok);
    EXPECT_EQ(FIRST_TOKEN(line).trimmed(), "NODES");
    EXPECT_EQ(TEXTINT(GETVALUE(line).view()), 10);
}

TEST_F(LineReader, TwoIncludeLevelsUseUnits51And52) {
    open_map("main_incl.map");
    const std::vector<std::string> expected = {
        "key DIMENSIONS: @50",   "key INCLUDE: @51",      "key INC1: @51", "data  11 @51",
        "key INCLUDE: @52",      "key INC2: @52",         "data  22 @52",
        // Each ENDPAGE steps back by one; reading resumes after the INCLUDE line.
        "key BACK_IN_INC1: @51", "key AFTER_INCLUDE: @50", "data  1 2 3 @50", "key ENDCASE: @50"};
    EXPECT_EQ(walk(), expected);
}

TEST_F(LineReader, IncludeNamesTheFileToOpen) {
    open_map("main_incl.map");
    RDCMNT();
    RDCMNT();
    EXPECT_EQ(INPUT.SECTION_KEY.trimmed(), "INCLUDE:");
    EXPECT_EQ(INPUT.DATA_FILE_NAME.trimmed(), "inc1.map");
    EXPECT_TRUE(unit_is_open(51));
}

TEST_F(LineReader, DataAfterEndpageLeavesTheEndpageKey) {
    open_map("endpage_data.map");
    const std::vector<std::string> expected = {"key PAGE: @50",    "key INCLUDE: @51", "key TAIL: @51",
                                               "data  5 @51",      "key ENDPAGE: @50", "data  7 8 9 @50",
                                               "key LAST: @50",    "key ENDCASE: @50"};
    EXPECT_EQ(walk(), expected);
    EXPECT_FALSE(unit_is_open(51));
}

TEST_F(LineReader, CrlfFileReadsAsLf) {
    open_map("crlf.map");
    const std::vector<std::string> expected = {"key DIMENSIONS: @50", "data  NODES = 12 @50", "key INCLUDE: @51",
                                               "key INCLUDED: @51",   "data  4 5 @51",        "key DONE: @50",
                                               "key ENDCASE: @50"};
    EXPECT_EQ(walk(), expected);
    EXPECT_EQ(INPUT.SECTION_KEY.view().find('\r'), std::string_view::npos);
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

TEST_F(LineReader, GotosectionPositionsAfterTheSectionLine) {
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
}

TEST_F(LineReader, GotosectionOfAMissingSectionStops) {
    INPUT.DATA_FILE_NAME = "module.dta";
    OPENFILE();
    INPUT.SECTION_KEY = "DATAXYZ:";
    const Captured c = capture([] { GOTOSECTION(); });
    EXPECT_TRUE(c.aborted);
    // The page closes and nothing is left to read below it.
    EXPECT_NE(c.out.find(" Error Reading Unit#           49\n"), std::string::npos) << c.out;
    EXPECT_NE(c.out.find("ERROR: Abnormal termination of ZARIK by RDCMNT"), std::string::npos);
}

TEST_F(LineReader, MapLineNamesThePageFile) {
    open_map("map_line.map");
    RDCMNT();
    EXPECT_EQ(INPUT.SECTION_KEY.trimmed(), "MAP:");
    EXPECT_EQ(INPUT.DATA_FILE_NAME.trimmed(), "page1.map");
}

TEST_F(LineReader, EndOfFileWithoutEndpageStops) {
    open_map("no_endpage.map");
    const Captured c = capture([] { walk(); });
    EXPECT_TRUE(c.aborted);
    std::string name = "no_endpage.map";
    name.resize(72, ' ');
    EXPECT_NE(c.out.find(" End_Of_File while reading data file " + name + "\n"), std::string::npos) << c.out;
    EXPECT_NE(c.out.find("ERROR: Abnormal termination of ZARIK by RDCMNT"), std::string::npos);
}

TEST_F(LineReader, EchoWritesEveryLineRead) {
    open_map("main_incl.map");
    INPUT.echo = LTRUE;
    const Captured c = capture([] { RDCMNT(); });
    EXPECT_EQ(c.out, " " + pad_text("DIMENSIONS:", 72) + "\n");
}

TEST_F(LineReader, IncludesNestAtMostTwentyDeep) {
    open_map("self.map");
    int deepest = 0;
    const Captured c = capture([&] {
        for (int i = 0; i < 30; ++i) {
            RDCMNT();
            deepest = INPUT.INPUT_UNIT;
        }
    });
    EXPECT_TRUE(c.aborted);
    EXPECT_EQ(deepest, 70);
    EXPECT_EQ(c.out, " ***WARN*** ZARIK: Error while opening file for read: self.map\n" + abort_frame("OPENFILE"));
}

TEST_F(LineReader, MissingFileStopsInOpenfile) {
    INPUT.DATA_FILE_NAME = "nowhere.map";
    const Captured c = capture([] { OPENFILE(); });
    EXPECT_TRUE(c.aborted);
    EXPECT_EQ(c.out, " ***WARN*** ZARIK: Error while opening file for read: nowhere.map\n" + abort_frame("OPENFILE"));
}

TEST_F(LineReader, MissingLineConstantsFileGivesTheAdvice) {
    INPUT.DATA_FILE_NAME = "cable7.tlo";
    const Captured c = capture([] { OPENFILE1(1); });
    EXPECT_TRUE(c.aborted);
    const std::string expected =
        " ***WARN*** ZARIK: Error while opening file for read: cable7.tlo\n"
        " ZARIK: Line/Cable Constants has not been\n"
        "        solved for Line/Cable:cable7\n"
        " From HOLVA:\n"
        "   - Edit the Transmission Line or Cable.\n"
        "   - Edit the sub-page.\n"
        "   - Confirm Line Model Selection and Data.\n"
        "   - Use the right button menu:\n"
        "      - Create Input File\n"
        "      - Solve Constants\n"
        "      - Check for and Correct Errors.\n" +
        abort_frame("OPENFILE1");
    EXPECT_EQ(c.out, expected);

    INPUT = {};
    INPUT.DATA_FILE_NAME = "other.dat";
    const Captured d = capture([] { OPENFILE1(1); });
    EXPECT_EQ(d.out, " ***WARN*** ZARIK: Error while opening file for read: other.dat\n" + abort_frame("OPENFILE1"));
}

TEST_F(LineReader, Openfile1ForWritingAndItsFailures) {
    use_scratch();
    INPUT.DATA_FILE_NAME = "fresh.out";
    OPENFILE1(2);
    EXPECT_EQ(INPUT.INPUT_UNIT, 50);
    unit_write_line(50, "x");
    CLOSEFILE();
    // Mode 2 wants a new file.
    const Captured c = capture([] { OPENFILE1(2); });
    EXPECT_EQ(c.out, " ***WARN*** ZARIK: Error while opening file for write: fresh.out\n" + abort_frame("OPENFILE1"));
    INPUT = {};
    INPUT.DATA_FILE_NAME = "no/such/folder/x.out";
    const Captured d = capture([] { OPENFILE1(3); });
    EXPECT_EQ(d.out,
              " ***WARN*** ZARIK: Error while opening file: no/such/folder/x.out\n" + abort_frame("OPENFILE1"));
}

TEST_F(LineReader, ClosingTheLastFileLeavesTheStackEmpty) {
    open_map("keys.map");
    CLOSEFILE();
    EXPECT_EQ(INPUT.INPUT_UNIT, 49);
    CLOSEFILE();
    EXPECT_EQ(INPUT.INPUT_UNIT, 49);
}

TEST_F(LineReader, SkipcmntStopsAtTheFirstOtherLine) {
    ASSERT_TRUE(unit_open(60, "skipcmnt.tlo", UnitMode::Read));
    SKIPCMNT(60);
    std::string line;
    ASSERT_EQ(unit_read_line(60, line), ReadStatus::Ok);
    EXPECT_EQ(line, " HOLVA Line Constants");
    const Captured c = capture([] { SKIPCMNT(60); });
    EXPECT_FALSE(c.aborted);
    EXPECT_EQ(c.out, " SKIPCMNT: Unexpected End_Of_File\n");
    unit_close(60);
    const Captured d = capture([] { SKIPCMNT(61); });
    EXPECT_EQ(d.out, " SKIPCMNT: Error while reading data\n");
}

TEST(LineTokens, FirstAndSecondToken) {
    EXPECT_EQ(FIRST_TOKEN(Text72("   'DIMENSIONS:' rest")).trimmed(), "DIMENSIONS:");
    EXPECT_EQ(FIRST_TOKEN(Text72("NAME = value")).trimmed(), "NAME");
    EXPECT_EQ(FIRST_TOKEN(Text72("NAME=value")).trimmed(), "NAME");
    EXPECT_EQ(FIRST_TOKEN(Text72("TLINES: 4")).trimmed(), "TLINES:");
    EXPECT_EQ(FIRST_TOKEN(Text72("#\"x\"y")).trimmed(), "x");
    EXPECT_TRUE(FIRST_TOKEN(Text72("")).is_blank());
    EXPECT_TRUE(FIRST_TOKEN(Text72("  ##  ''  ")).is_blank());
    // A token that reaches column 72 ends there.
    const std::string long_word(80, 'A');
    EXPECT_EQ(FIRST_TOKEN(Text72(long_word)).trimmed(), std::string(72, 'A'));
    EXPECT_EQ(SECOND_TOKEN(Text72("MAP: 'page1.map' 3")).trimmed(), "page1.map");
    EXPECT_EQ(SECOND_TOKEN(Text72("A=B")).trimmed(), "B");
    EXPECT_TRUE(SECOND_TOKEN(Text72("ONLY")).is_blank());
    EXPECT_TRUE(SECOND_TOKEN(Text72(long_word)).is_blank());
}

TEST(LineTokens, ValueAfterTheEqualSign) {
    EXPECT_EQ(GETVALUE(Text72("TIME_STEP = 50.0 ")).trimmed(), " 50.0");
    EXPECT_TRUE(GETVALUE(Text72("NO EQUAL SIGN")).is_blank());
    std::string at_72(71, ' ');
    at_72 += '=';
    EXPECT_TRUE(GETVALUE(Text72(at_72)).is_blank());
    EXPECT_EQ(GETVALUE(Text72("A = B = C")).trimmed(), " B = C");
}

TEST(LineTokens, KeyLineTest) {
    EXPECT_EQ(ISKEYLINE(Text72("BRANCHES:")), LTRUE);
    EXPECT_EQ(ISKEYLINE(Text72("A:B")), LTRUE);
    EXPECT_EQ(ISKEYLINE(Text72("{")), LTRUE);
    EXPECT_EQ(ISKEYLINE(Text72("}x")), LTRUE);
    EXPECT_EQ(ISKEYLINE(Text72("NAME")), LFALSE);
    EXPECT_EQ(ISKEYLINE(Text72("x{")), LFALSE);
}

TEST(LineTokens, IncludeFileNames) {
    EXPECT_EQ(INCL_FNAME(Text72("INCLUDE 'a b.map'")).trimmed(), "a b.map");
    EXPECT_EQ(INCL_FNAME(Text72("INCLUDE \"q.map\"")).trimmed(), "q.map");
    EXPECT_EQ(INCL_FNAME(Text72("  INCLUDE plain.map tail")).trimmed(), "plain.map");
    // The name follows the first upper-case E.
    EXPECT_EQ(INCL_FNAME(Text72("include E x.map")).trimmed(), "x.map");
}

TEST(LineTokens, QuotedFileNames) {
    Text72 name("old");
    GET_FNAME(Text72("FILE = 'cable.tlo' rest"), name);
    EXPECT_EQ(name.trimmed(), "cable.tlo");
    GET_FNAME(Text72("X \"mixed' y"), name);
    EXPECT_EQ(name.trimmed(), "mixed");
    GET_FNAME(Text72("X '' y"), name);
    EXPECT_TRUE(name.is_blank());

    name = "kept";
    Captured c = capture([&] { GET_FNAME(Text72("NO QUOTES"), name); });
    EXPECT_EQ(c.out, " GET_FNAME 01: Cannot extract filename from " + pad_text("NO QUOTES", 72) + "\n");
    EXPECT_EQ(name.trimmed(), "kept");
    c = capture([&] { GET_FNAME(Text72("OPEN 'ONLY"), name); });
    EXPECT_EQ(c.out, " GET_FNAME 02: Cannot extract filename from " + pad_text("OPEN 'ONLY", 72) + "\n");
    EXPECT_EQ(name.trimmed(), "kept");
}

TEST(LineTokens, TextInteger) {
    EXPECT_EQ(TEXTINT(" 42 7"), 42);
    EXPECT_EQ(TEXTINT("-3,"), -3);
    EXPECT_EQ(TEXTINT("   "), 0);
}

}  // namespace
