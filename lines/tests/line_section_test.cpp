// The line section reader on small sections: client ends, subsystem
// mapping, display names, the words, and every check with its message.
#include <cmath>
#include <fstream>
#include <string>

#include "engine/solution_arrays.h"
#include "engine/storage.h"
#include "lines/line_section.h"
#include "lines/tests/line_test_support.h"
#include "network/line_reader.h"
#include "network/map_sections.h"
#include "platform/tests/support/capture.h"
#include "platform/tests/support/run_program.h"

namespace {

using namespace line_test;

// Two header records, an end record and the data records of a client end.
std::string client_entry(const std::string& end1, const std::string& file = "far.tlo") {
    return "HOLVA Line Constants\n 2 2\n" + end1 + "\nTLINE-INPUT-DATA  in.tli\nTLINE-OUTPUT-DATA " + file + "\n";
}
std::string local_entry(const std::string& end1, const std::string& end2, const std::string& file = "abcdef.clo") {
    return "HOLVA Line Constants\n 2 0\n" + end1 + "\n" + end2 + "\nTLINE-INPUT-DATA  in.tli\nTLINE-OUTPUT-DATA " +
           file + "\n";
}

const std::string kName = " Line/Cable Name: 'abcdef'\n";

class LineSection : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(allocate({{ND_NODES, 4}, {ND_SUBSYS, 2}, {ND_MAXMODES, 3}, {ND_TLINES, 2}, {ND_TLINES_TOTAL, 3},
                              {ND_NUMMODES, 3}, {ND_CSCS, 6}, {ND_CSCR, 6}, {ND_ENI_SERVERS, 1},
                              {ND_ENI_CLIENTS, 2}, {ND_SUBSYSPAGE, 2}}));
        LINE_COUNTS.NENISRV = 1;
        LINE_COUNTS.NENICLI = 2;
        NET.NBUSES(1) = 3;
        NET.NBUSES(2) = 3;
        STORAGE.SUBS(1) = 2;
        STORAGE.SUBS(2) = 1;
        MAP_READ.subsys_sizes_read = true;
        RUN_SEQ.CONNECTED = LFALSE;
        ASSERT_TRUE(dir.ok());
    }
    void TearDown() override {
        while (INPUT.INPUT_UNIT > INPUT_UNIT_NONE) CLOSEFILE();
        console_input_from_stdin();
        reset_all_engine_state();
    }

    // Reads a section of the text (key first) with the offsets; the console answers ports.
    Captured Read(const std::string& section, int32_t csc1 = 0, int32_t csc2 = 0, const std::string& ports = "") {
        // A section that ends in "<EOF>" is the end of its file.
        const bool cut = section.size() >= 5 && section.compare(section.size() - 5, 5, "<EOF>") == 0;
        std::ofstream(dir.file("lines.dat")) << (cut ? section.substr(0, section.size() - 5) : section + "ENDCASE\n");
        const ScopedChdir here(dir.path);
        console_input_from_text(ports);
        INPUT.DATA_FILE_NAME = "lines.dat";
        return capture([&] {
            OPENFILE();
            RDCMNT();
            int32_t node = 0, subsys = 0;
            DSLINT(node, subsys, csc1, csc2);
        });
    }
    static std::vector<int32_t> Row(int32_t row) {
        std::vector<int32_t> r;
        for (int s = 1; s <= tlrec::SLOTS; ++s) r.push_back(LINE_TABLES.TLINE_REC(row, s));
        return r;
    }

    TempDir dir;
};

TEST_F(LineSection, ClientEndsAreRowsOfTheirOwnAndAskTheirPorts) {
    const Captured c = Read("GLOBAL_TLINES:\n" + client_entry(" 2  3 1  1 1 2 1") + "C a comment\n! another\n" +
                                client_entry(" 1  2 2  3 0 4 1", "other side.tlo"),
                            2, 1, "4001\n4002\n");
    EXPECT_FALSE(c.aborted) << c.out;
    EXPECT_EQ(c.out, " Enter port number for ENI client far\n Enter port number for ENI client other side\n");
    const LineTables& L = LINE_TABLES;
    EXPECT_EQ(L.counters.NTLINES, 2);
    EXPECT_EQ(Row(1), std::vector<int32_t>({-1, 0, 0, 2, 2, 3, 1, 3, 1, 1, 0, 1, 0}));
    EXPECT_EQ(Row(2), std::vector<int32_t>({-1, 0, 0, 2, 2, 5, 0, 5, 1, 1, 0, 1, 0}));
    EXPECT_EQ(L.TLNAME(2).trimmed(), "other side");
    EXPECT_EQ(std::vector<int32_t>({L.ENI_CLI_SS(1), L.ENI_CLI_NODES(1, 1), L.ENI_CLI_NODES(2, 1), L.ENI_CLI_SS(2),
                                    L.ENI_CLI_NODES(1, 2), L.ENI_CLI_NODES(2, 2)}),
              std::vector<int32_t>({2, 3, 1, 1, 2, 2}));
    // Client hosts come after the servers'.
    EXPECT_EQ(std::vector<std::string>({L.ENI_HOST(2).trimmed(), L.ENI_HOST(3).trimmed()}),
              std::vector<std::string>({"localhost", "localhost"}));
    EXPECT_EQ(std::vector<int32_t>({L.ENI_CLI_PORT(1), L.ENI_CLI_PORT(2)}), std::vector<int32_t>({4001, 4002}));
    EXPECT_EQ(array_overrun_count(), 0);
}

TEST_F(LineSection, PageSectionsMapSubsystemsGlobalOnesDoNot) {
    RUN_SEQ.CONNECTED = LTRUE;  // no prompt
    EXPECT_FALSE(Read("TLINES:\n" + client_entry(" 1  3 1  1 0 1 0")).aborted);
    EXPECT_EQ(LINE_TABLES.ENI_CLI_SS(1), 2);
    SetUp();
    RUN_SEQ.CONNECTED = LTRUE;
    EXPECT_FALSE(Read("GLOBAL_TLINES:\n" + client_entry(" 1  3 1  1 0 1 0")).aborted);
    EXPECT_EQ(LINE_TABLES.ENI_CLI_SS(1), 1);
}

TEST_F(LineSection, ModelEntriesReadTheirNumericBlock) {
    std::ofstream(dir.file("abcdef.clo")) << "C the line-constants file\nMFDTD  1  0\n";
    const std::string kMismatch = " The number of electrical connections\n";
    // A header entry reads its file; the mismatched control signals only warn.
    Captured c = Read("TLINES:\n" + local_entry(" 1  1 2  1 1 1 0", " 1  3 1  1 0 1 0"));
    EXPECT_TRUE(c.aborted);
    EXPECT_TRUE(contains(c.out, "Control Signal Transfer Dimension mismatch in line/cable abcdef")) << c.out;
    EXPECT_TRUE(contains(c.out, kMismatch)) << c.out;
    EXPECT_EQ(INPUT.DATA_LINE.trimmed(), "MFDTD  1  0");
    // An MFDTD line is refused as a server end before its port is asked.
    SetUp();
    c = Read("GLOBAL_TLINES:\nHOLVA Line Constants\n 2 1\n 1  1 2  1 0 1 0\nTLINE-INPUT-DATA x\n"
             "TLINE-OUTPUT-DATA abcdef.clo\n", 0, 0, "4005\n");
    EXPECT_TRUE(c.aborted);
    EXPECT_FALSE(contains(c.out, "Enter port number")) << c.out;
    EXPECT_TRUE(contains(c.out, kName + " ERROR: DSLINT: An MFDTD line cannot be an ENI server end\n")) << c.out;
    // A legacy entry is its model record, without a conductor count.
    SetUp();
    c = Read("TLINES:\nMFDTD  1  0\n");
    EXPECT_TRUE(c.aborted);
    EXPECT_TRUE(contains(c.out, "INVALID DATA LINE")) << c.out;
    EXPECT_FALSE(contains(c.out, "mismatch"));
    EXPECT_TRUE(contains(c.out, " ERROR: DSLINT: FRE-PHASE and MFDTD lines need their HOLVA Line Constants entry header\n"))
        << c.out;
}

struct Bad {
    std::string name, section;
    std::vector<std::string> shown;  // in this order
    std::string routine = "OUTMSG";
};
void PrintTo(const Bad& b, std::ostream* os) { *os << b.name; }

class LineSectionChecks : public LineSection, public testing::WithParamInterface<Bad> {};

TEST_P(LineSectionChecks, StopWithTheirMessage) {
    std::ofstream(dir.file("abcdef.clo")) << " 1 1 0 0 50.0 60.0 1.0 1.0 1.0\n";
    const Bad& b = GetParam();
    const Captured c = Read(b.section, 0, 0, "4001\n4002\n4003\n");
    EXPECT_TRUE(c.aborted);
    size_t at = 0;
    for (const std::string& piece : b.shown) {
        at = c.out.find(piece, at);
        ASSERT_NE(at, std::string::npos) << piece << "\nin\n" << c.out;
    }
    EXPECT_TRUE(contains(c.out, "by " + b.routine)) << c.out;
    EXPECT_EQ(array_overrun_count(), 0);
}

const std::string kOffending = " **** THE OFFENDING LINE IN THE DATA FILE IS: ****\n";

INSTANTIATE_TEST_SUITE_P(
    Entries, LineSectionChecks,
    testing::Values(
        Bad{"TooManyConductors",
            "TLINES:\nHOLVA Line Constants\n 9 0\n 1 1 2 3 1 0 1 0\n 1 1 0 1 0\nTLINE-INPUT-DATA x\n"
            "TLINE-OUTPUT-DATA abcdef.clo\n",
            {kName, " **** THERE ARE MORE THAN    3 PHASES ON LINE #    0! ****\n", kOffending, " 9 0 "}},
        Bad{"SubsystemOfEnd1", "GLOBAL_TLINES:\n" + local_entry(" 5  1 2  1 0 1 0", " 1  3 1  1 0 1 0"),
            {kName, " **** INVALID SUBSYSTEM NUMBER ON SENDING END OF LINE #    1! ****\n", kOffending, " 5  1 2 "}},
        Bad{"SubsystemOfEnd2", "GLOBAL_TLINES:\n" + local_entry(" 1  1 2  1 0 1 0", " 3  3 1  1 0 1 0"),
            {kName, " **** INVALID SUBSYSTEM NUMBER ON RECEIVING END OF LINE #    1! ****\n", kOffending, " 3  3 1 "}},
        Bad{"ZeroSubsystem", "TLINES:\n" + local_entry(" 0  1 2  1 0 1 0", " 1  3 1  1 0 1 0"),
            {" ERROR: DSLINT: Zero subsystem number in TLine data\n"}, "DSLINTSSN"},
        Bad{"NodeBeyondItsSubsystem", "GLOBAL_TLINES:\n" + local_entry(" 2  1 4  1 0 1 0", " 1  3 1  1 0 1 0"),
            {kName, " **** YOU HAVE REFERENCED NODE    4 IN YOUR TRANSMISSION LINE DATA! ****\n"
                    "      THE FIRST CARD FOR SUBSYSTEM   2 SAYS YOU HAVE ONLY    3 NODES!\n"}},
        Bad{"GroundedEnd", "GLOBAL_TLINES:\n" + local_entry(" 1  1 0  1 0 1 0", " 1  3 1  1 0 1 0"),
            {kName + " DSLINT: ERROR!\n Invalid Node Numbers at terminations of a\n Transmission Line or Cable!\n"
                     " If you want a line or cable connection to\n be grounded, use a small resistance (do not\n"
                     " connect a line/cable directly to ground)!\n",
             " **** INVALID NODE NUMBERS FOR LINE #    1! ****\n"}},
        Bad{"UnreadableCount", "TLINES:\nHOLVA Line Constants\n 2 x\n",
            {" Line/Cable Name: \n", " **** INVALID DATA LINE ****\n", kOffending, " 2 x"}},
        Bad{"EndOfFileInAnEntry", "GLOBAL_TLINES:\nHOLVA Line Constants\n 2 0\n 1  1 2  1 0\n<EOF>",
            {" Line/Cable Name: \n", " **** END OF FILE REACHED! **** "}},
        Bad{"ClientWithoutItsFileName",
            "GLOBAL_TLINES:\nHOLVA Line Constants\n 2 2\n 1  1 2  1 0 1 0\nTLINE-INPUT-DATA x\nFRE-DEP\n",
            {" **** INVALID DATA LINE ****\n", kOffending, "FRE-DEP"}},
        Bad{"MissingLineConstantsFile",
            "GLOBAL_TLINES:\n" + local_entry(" 1  1 2  1 0 1 0", " 1  3 1  1 0 1 0", "gone.tlo"),
            {" ZARIK: Line/Cable Constants has not been\n        solved for Line/Cable:gone\n"}, "OPENFILE1"},
        Bad{"SignalsBeyondTheirArray", "GLOBAL_TLINES:\n" + client_entry(" 1  1 2  5 3 1 0"),
            {" Line/Cable Name: 'far'\n ERROR: DSLINT: Control signal transfer outside the dimensions CSCS ="},
            "DSLINT"},
        // Numbers that are not finite in a legacy entry's records in the section itself.
        Bad{"NotANumberInALineRecord", "GLOBAL_TLINES:\n 1 0 1 1 50.0 60.0 1.0 1.0 NaN\n 1 2 0.5 400 0 0 1\n",
            {" **** INVALID DATA LINE ****\n", kOffending, " 1 0 1 1 50.0 60.0 1.0 1.0 NaN "}},
        Bad{"InfiniteInAModeRecord", "GLOBAL_TLINES:\n 1 0 1 1 50.0 60.0 1.0 1.0 1.0\n 1 2 0.5 400 0 0 Inf\n",
            {" **** INVALID DATA LINE ****\n", kOffending, " 1 2 0.5 400 0 0 Inf "}},
        Bad{"MoreClientsThanCounted",
            "GLOBAL_TLINES:\n" + client_entry(" 1  1 2  1 0 1 0") + client_entry(" 1  1 2  1 0 1 0") +
                client_entry(" 1  1 2  1 0 1 0"),
            {" ERROR: DSLINT: More ENI client lines than the dimension allows\n"}, "DSLINT"}),
    [](const testing::TestParamInfo<Bad>& i) { return i.param.name; });

TEST_F(LineSection, ASectionBeforeTheSubsystemSizesIsADataError) {
    MAP_READ.subsys_sizes_read = false;
    const Captured c = Read("TLINES:\n" + client_entry(" 1  1 2  1 0 1 0"));
    EXPECT_TRUE(c.aborted);
    EXPECT_TRUE(contains(c.out, " The SUBSYSDIM: section must come before the TLINES: section\n")) << c.out;
    // An empty section is no error.
    EXPECT_FALSE(Read("TLINES:\n").aborted);
}

TEST_F(LineSection, DisplayNamesEndAtTheFirstDot) {
    LineEntry e;
    const std::string long_name(190, 'x');
    for (const auto& [file, shown, length] :
         {std::tuple{std::string("abcdef.clo"), std::string("'abcdef'"), 8},
          {"a.b.tlo", "'a'", 3},
          {long_name, "'" + long_name.substr(0, 182) + "'", 184}}) {
        SetUp();
        RUN_SEQ.CONNECTED = LTRUE;
        EXPECT_FALSE(Read("GLOBAL_TLINES:\n" + client_entry(" 1  1 2  1 0 1 0", file)).aborted);
        EXPECT_EQ(LINE_TABLES.TLNAME(1).trimmed(), shown.substr(1, shown.size() - 2));
        EXPECT_EQ(static_cast<int>(LINE_TABLES.TLNAME(1).trimmed().size()) + 2, length);
    }
}

TEST_F(LineSection, AConductorCountMismatchExplainsAndTakesTheReadErrorExit) {
    LineEntry e;
    e.header = true;
    e.display_name = "'abcdef'";
    e.display_length = 8;
    INPUT.DATA_LINE = " 3 0 0 0 50.0 60.0 1.0 1.0 1.0";
    const Captured c = capture([&] { DSLINT_CONDUCTOR_MISMATCH(e); });
    EXPECT_TRUE(c.aborted);
    const std::string stars = " " + std::string(35, '*') + "\n";
    const std::string head = stars + " ERROR: DSLINT Transmission Line Data\n The number of electrical connections\n"
                                     " specified in the HOLVA Circuit Data File\n";
    EXPECT_EQ(c.out.substr(0, head.size()), head);
    EXPECT_TRUE(contains(c.out, "   circuit is also eliminated.\n" + kName + stars + kName +
                                    "\n **** ERROR IN READING OF DATA FILE!  ****\n\n **** INVALID DATA LINE ****\n"))
        << c.out;
    EXPECT_TRUE(contains(c.out, " 3 0 0 0 50.0 60.0 1.0 1.0 1.0")) << c.out;
}

TEST(LineWords, OnlyTheListedFormsMatch) {
    const std::pair<const char*, int32_t> models[] = {
        {"FRE-DEP 2 0 1 1", 1}, {"Fre-Dep", 1}, {"fre-dep", 1}, {"FRE-dep", 0}, {"fRE-DEP", 0},
        {"FRE-PHASE", 2},       {"Fre-Phase", 2}, {"fre-phase", 2}, {"Fre-phase", 0}, {"MFDTD", 3},
        {"mfdtd", 3},           {"Mfdtd", 0},   {" 1 1 1 1", 0}};
    for (const auto& [record, kind] : models) EXPECT_EQ(TL_MODEL_KIND(record), kind) << record;
    const std::pair<const char*, LineOption> options[] = {
        {"NOINT", LineOption::NoInt},          {"noint", LineOption::NoInt},
        {"NoInt", LineOption::NoInt},          {"Noint", LineOption::NoInt},
        {"NOINT and more", LineOption::NoInt}, {"nOINT", LineOption::None},
        {"INFLENGTH", LineOption::InfLength},  {"InfLength", LineOption::InfLength},
        {"Inflength", LineOption::InfLength},  {"inflength", LineOption::InfLength},
        {"INFlength", LineOption::None},       {"NOIN", LineOption::None}};
    for (const auto& [record, option] : options) EXPECT_EQ(TL_OPTION_WORD(record), option) << record;
}

}  // namespace

namespace {

struct Limit {
    std::string name, file;
    int entries;
    std::vector<std::string> shown;
};
void PrintTo(const Limit& l, std::ostream* os) { *os << l.name; }

class LineLimits : public LineSection, public testing::WithParamInterface<Limit> {};

TEST_P(LineLimits, StopTheRun) {
    ASSERT_TRUE(allocate({{ND_NODES, 4}, {ND_SUBSYS, 1}, {ND_MAXMODES, 1}, {ND_TLINES, 1}, {ND_TLINES_TOTAL, 3},
                          {ND_NUMMODES, 3}, {ND_TRAVWAVES, 15}, {ND_TRANSFORMS, 3}, {ND_MAXPOLES, 1},
                          {ND_SURGEPOLES, 2}, {ND_ATTPOLES, 2}}));
    NET.NBUSES(1) = 3;
    MAP_READ.subsys_sizes_read = true;
    RUN_CLOCK.DELT = 50e-6;
    std::ofstream(dir.file("l.tlo")) << GetParam().file;
    std::string section = "GLOBAL_TLINES:\n";
    for (int k = 0; k < GetParam().entries; ++k)
        section += "HOLVA Line Constants\n 1 0\n 1 1 1 0 1 0\n 1 2 1 0 1 0\nTLINE-INPUT-DATA  in\nTLINE-OUTPUT-DATA l.tlo\n";
    const Captured c = Read(section);
    EXPECT_TRUE(c.aborted);
    for (const std::string& s : GetParam().shown) EXPECT_TRUE(contains(c.out, s)) << s << "\n" << c.out;
}

INSTANTIATE_TEST_SUITE_P(
    Lines, LineLimits,
    testing::Values(Limit{"MoreLinesThanTlines", " 1 0 0 0 50 50 1 1e-9 1e-9\n 0 0 0.5 400 0 0 1\n", 2,
                          {"YOU HAVE OVER    1 DISTRIBUTED TRANSMISSION LINES"}},
                    Limit{"MoreBufferThanTravwaves", " 1 0 0 0 50 50 1 1e-9 1e-9\n 0 0 1.0 400 0 0 1\n", 1,
                          {"Line/Cable Name: 'l'", "   20 TIME STEPS ARE REQUIRED FOR LINE   1",
                           "ONLY   15 HAVE BEEN DIMENSIONED"}}),
    [](const testing::TestParamInfo<Limit>& i) { return i.param.name; });

}  // namespace

namespace {

// More poles than MAXPOLES cannot come from a file the dimensioning pass
// read: here the dimension is lowered to 1.
class LinePoleLimit : public LineSection {
protected:
    Captured ReadFreDep(const std::string& file, const std::string& section) {
        EXPECT_TRUE(allocate({{ND_NODES, 4}, {ND_SUBSYS, 1}, {ND_MAXMODES, 1}, {ND_TLINES, 1}, {ND_TLINES_TOTAL, 1},
                              {ND_NUMMODES, 1}, {ND_TRAVWAVES, 15}, {ND_TRANSFORMS, 1}, {ND_MAXPOLES, 1},
                              {ND_SURGEPOLES, 1}, {ND_ATTPOLES, 1}}));
        int32_t status = -1;
        ALLOC_SSLIST(1, status);
        SOLUTION_ARRAYS.SSDIM(1) = 3;
        ALLOCATION(1, status);
        EXPECT_EQ(status, 0);
        NET.NBUSES(1) = 3;
        MAP_READ.subsys_sizes_read = true;
        RUN_CLOCK.DELT = 50e-6;
        std::ofstream(dir.file("l.tlo")) << file;
        return Read(section);
    }
};

const std::string k276 = " ****** WARNING! TOO MANY POLE/ZEROES FOR THE\n"
                         "FREQUENCY DEPENDENT LINE MODEL HAVE BEEN ENTERED!\n"
                         "ONLY   1 POINTS WILL BE USED!\n";

// Message 276 warns, the first pole is kept, and the records of the
// dropped one are passed over: the functions after it read as written.
TEST_F(LinePoleLimit, MorePolesThanMaxpolesWarnAndTheFirstAreUsed) {
    const Captured c = ReadFreDep("FRE-DEP 1 0 0 0\n 0 0 0.5\n 2 0.0025 0\n 2000 3000\n 0 0\n 4 5\n 0 0\n"
                                  " 0 1.5 0\n 0 0.75 0\n",
                                  "GLOBAL_TLINES:\nHOLVA Line Constants\n 1 0\n 1 1 1 0 1 0\n 1 2 1 0 1 0\n"
                                  "TLINE-INPUT-DATA  in\nTLINE-OUTPUT-DATA l.tlo\n");
    ASSERT_FALSE(c.aborted) << c.out;
    EXPECT_EQ(c.out, " Line/Cable Name :'l'\n" + k276);
    const LineTables& L = LINE_TABLES;
    const double e = std::exp(-2000.0 * 50e-6);
    EXPECT_EQ(L.TLM_NPSURGE(1), 1);
    EXPECT_EQ(L.TLM_YLOSS(1), 0.0025);
    EXPECT_NEAR(L.TLM_YC_COEF(1).real(), 4.0 * (1.0 - e) / 2000.0, 1e-18);
    EXPECT_EQ(L.TLM_YC_EXP(1).real(), e);
    EXPECT_EQ(std::vector<double>({L.TLM_PROPK(1), L.TI(1)}), std::vector<double>({1.5, 0.75}));
    EXPECT_EQ(L.TLGMAT(1, 1, 1), 0.75 * 0.0025 * 0.75);
    EXPECT_EQ(array_overrun_count(), 0);
}

// A legacy function: the count of its zeros is not checked (only as many
// zeros as poles are kept); one with too many poles keeps the first.
TEST_F(LinePoleLimit, LegacyZerosAreNotCountedPolesAre) {
    // Zeros 100 and 200 of a function without poles: the constant 0.0025 alone.
    Captured c = ReadFreDep("", "GLOBAL_TLINES:\nFRE-DEP 1 0 1 1\n 1 2 0.5\n 2 0 0.0025\n 100 200\n 0 0 1.0\n"
                                " 0 0 1.0\n");
    ASSERT_FALSE(c.aborted) << c.out;
    EXPECT_EQ(c.out, "");
    EXPECT_EQ(LINE_TABLES.TLM_YLOSS(1), 0.0025);
    EXPECT_EQ(LINE_TABLES.TLM_NPSURGE(1), 0);
    // Propagation 1 / ((1 + s/2000)(1 + s/3000)) with the pole 3000 dropped: 2000 / (s + 2000).
    c = ReadFreDep("", "GLOBAL_TLINES:\nFRE-DEP 1 0 1 1\n 1 2 0.5\n 0 0 0.0025\n 0 2 1.0\n 2000 3000\n"
                       " 0 0 1.0\n");
    ASSERT_FALSE(c.aborted) << c.out;
    EXPECT_EQ(c.out, k276);
    const LineTables& L = LINE_TABLES;
    const double a = 2000.0 * 50e-6, e = std::exp(-a);
    EXPECT_EQ(std::vector<double>({static_cast<double>(L.TLM_NPPROP(1)), L.TLM_PROPK(1), L.TLM_PC(1).real()}),
              std::vector<double>({1.0, 0.0, e}));
    EXPECT_NEAR(L.TLM_PB2(1).real(), 1.0 - (1.0 - e) / a, 1e-15);
    EXPECT_EQ(L.TI(1), 1.0);
    EXPECT_EQ(array_overrun_count(), 0);
}

}  // namespace
