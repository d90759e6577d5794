// The compiled case through the program: the whole run, and the runs that
// its data files and its map's sizes stop.
#include <utility>
#include <vector>

#include "case/tests/case_support.h"

namespace {

std::string abort_by(const std::string& routine) {
    std::string name = routine;
    name.resize(12, ' ');
    return " ERROR: Abnormal termination of ZARIK by " + name + "\n";
}

TEST(CaseRun, RunsToTheEnd) {
    const CaseFolder f;
    const ProgramResult r = f.run();
    EXPECT_EQ(r.exit_code, 0) << r.out;
    EXPECT_NE(r.out.find(" => This run is 100% complete."), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("ERROR"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("WARN"), std::string::npos) << r.out;
}

// The storage used after the first step, as the dimensions print shows it.
TEST(CaseRun, UsesItsStorage) {
    const CaseFolder f;
    f.edit("station.map", " PRINT_STEP = 1.0E-3\n", " PRINT_STEP = 1.0E-3\n PRINT_DIMENSIONS = YES\n");
    const ProgramResult r = f.run();
    ASSERT_EQ(r.exit_code, 0) << r.out;
    const std::pair<const char*, int> used[] = {{"STOR", 450}, {"STORL", 45}, {"STORI", 162}, {"STORF", 1311},
                                                {"STORC", 0},  {"RTCL", 12},  {"RTCI", 36},   {"RTCF", 135}};
    for (const auto& [name, n] : used) {
        std::string key = " " + std::string(name);
        key.resize(23, ' ');
        const size_t at = r.out.find("\n" + key + "=");
        ASSERT_NE(at, std::string::npos) << name << r.out;
        EXPECT_EQ(std::stoi(r.out.substr(at + key.size() + 2)), n) << name;
    }
}

struct Broken {
    const char* name;
    const char* file;
    const char* from;
    const char* to;
    std::string lines;
    const char* routine;
    std::vector<std::pair<const char*, const char*>> more_edits = {};  // in the same file
    bool before_output = false;  // no output file written
    bool restored = false;  // edited after a snapshot at 1 s, which the run restores
};
void PrintTo(const Broken& c, std::ostream* os) { *os << c.name; }

// The end of the banner, the map check's report with its rows of list
// entries claimed and filled, and the frame's first rule: nothing between.
std::string map_check_report(const std::string& rows) {
    return " ****\n " + std::string(51, '*') +
           "\n ERROR: Map file does not match the compiled case!\n"
           " List entries claimed by the case and filled by the map:\n" +
           rows +
           " Each module of the case needs its page in the map file,\n"
           " in the case's order, and its SUBS: and CXMAP: entries.\n\n " +
           std::string(57, '=') + "\n";
}

const char* kCtrlPage = "! Page 9: Ctrl\nMAP: 'p09_Ctrl.map'\n 1 0\n 0 0\n";
const char* kLastPage = " 1 6 16 17 18 22 23 24\n 0 0\n";


class CaseRunStops : public testing::TestWithParam<Broken> {};

TEST_P(CaseRunStops, WithItsMessage) {
    const Broken& b = GetParam();
    const CaseFolder f;
    const auto zarik = [&f](const char* answers) {
        return run_program({zarik_program(), "-startup:alone"}, answers, f.path());
    };
    if (b.restored) {
        ASSERT_EQ(zarik("0\n1\n1.0\nhalf\nstation.map\n1\n0\n0\n").exit_code, 0);
    }
    if (std::string(b.from).empty()) {
        std::filesystem::remove(f.file(b.file));
    } else {
        f.edit(b.file, b.from, b.to);
    }
    for (const auto& [from, to] : b.more_edits) f.edit(b.file, from, to);
    // The restored run asks for output files and a snapshot at its end.
    const ProgramResult r = b.restored ? zarik("1\n1\n0.5\nrest\n0\n1\n1\nstation\n0\nhalf.snp\n0.5\n") : f.run();
    EXPECT_EQ(r.exit_code, 208);
    EXPECT_NE(r.out.find(b.lines), std::string::npos) << r.out;
    EXPECT_NE(r.out.find(abort_by(b.routine)), std::string::npos) << r.out;
    if (b.before_output) {
        EXPECT_FALSE(std::filesystem::exists(f.file("station.inf")));
        EXPECT_FALSE(std::filesystem::exists(f.file("station_01.out")));
        EXPECT_FALSE(std::filesystem::exists(f.file("rest.snp")));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Case, CaseRunStops,
    testing::Values(
        Broken{"MissingLoadData", "Load.dta", "", "",
               " ***WARN*** ZARIK: Error while opening file for read: Load.dta[",
               "OPENFILE"},
        Broken{"CtrlDataWithoutOutputSection", "Ctrl.dta", "DATADSO:\n 0\n", "",
               "\n ERROR: Could not find section: DATADSO:  ", "GOTOSECTION"},
        Broken{"StofOneShort", "station.map", " STOF = 595", " STOF = 594",
               "ERROR: Array STOF subscript 1 = 595 outside 1 to 594\n", "Load_DSD"},
        Broken{"TxfrOneShort", "station.map", " NPAGES = 19", " NPAGES = 18",
               "ERROR: Array TXFR subscript 1 = 19 outside 1 to 18\n", "Load_DSD"},
        // Fewer channels than the case writes stop a restore as they stop a data start.
        Broken{"FewerChannelsInARestore", "station.map", " PGBS = 106", " PGBS = 1",
               "ERROR: Array PGB subscript 1 = 16 outside 1 to 10\n", "Battery_DSD", {}, true, true},
        // Without page 9 every module after page 8 would take its nodes two places on.
        Broken{"MapWithoutCtrlPage", "station.map", kCtrlPage, "",
               map_check_report("  NODE    =       119           117\n"), "CHKMAPFILL", {}, true},
        Broken{"MapWithAnExtraPage", "station.map", " NNODES = 119", " NNODES = 121",
               map_check_report("  NODE    =       119           121\n"), "CHKMAPFILL",
               {{kLastPage, " 1 6 16 17 18 22 23 24\n 0 0\nMAP: 'p03_Graphs_and_Controls.map'\n 1 0\n 0 0\n"}},
               true},
        // One more SUBS: and CXMAP: entry each, with room for them.
        Broken{"MapWithExtraSubsAndCxmapEntries", "station.map", " SUBSYSPAGE = 11", " SUBSYSPAGE = 12",
               map_check_report("  SUBS    =        11            12\n  CXMAP   =        31            32\n"),
               "CHKMAPFILL",
               {{" CXMAP = 31", " CXMAP = 32"},
                {"\n 11 1 1 1 1 1 1 1 1 1 1 1\n", "\n 12 1 1 1 1 1 1 1 1 1 1 1 1\n"},
                {"\n 31 1 2 3 ", "\n 32 1 2 3 "},
                {" 29 30 31\n", " 29 30 31 31\n"}},
               true}),
    [](const testing::TestParamInfo<Broken>& p) { return std::string(p.param.name); });

}  // namespace
