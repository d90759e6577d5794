// The compiled case through the program: the whole run, and the runs that
// its data files and its map's sizes stop.
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
    const char* lines;
    const char* routine;
};
void PrintTo(const Broken& c, std::ostream* os) { *os << c.name; }


class CaseRunStops : public testing::TestWithParam<Broken> {};

TEST_P(CaseRunStops, WithItsMessage) {
    const Broken& b = GetParam();
    const CaseFolder f;
    if (std::string(b.from).empty()) {
        std::filesystem::remove(f.file(b.file));
    } else {
        f.edit(b.file, b.from, b.to);
    }
    const ProgramResult r = f.run();
    EXPECT_EQ(r.exit_code, 208);
    EXPECT_NE(r.out.find(b.lines), std::string::npos) << r.out;
    EXPECT_NE(r.out.find(abort_by(b.routine)), std::string::npos) << r.out;
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
               "ERROR: Array TXFR subscript 1 = 19 outside 1 to 18\n", "Load_DSD"}),
    [](const testing::TestParamInfo<Broken>& p) { return std::string(p.param.name); });

}  // namespace
