// The whole case through a snapshot: 1 s, a snapshot, a restored run of
// the second second gives the output records of 2 s straight through.
#include <algorithm>
#include <filesystem>
#include <vector>

#include "case/tests/case_support.h"

namespace {

std::vector<std::string> records(const std::string& path) {
    std::vector<std::string> out;
    std::istringstream in(read_text(path));
    std::string line;
    std::getline(in, line);
    while (std::getline(in, line))
        if (line.find_first_not_of(' ') != std::string::npos) out.push_back(line);
    return out;
}

std::string out_file(const CaseFolder& f, const std::string& base, int k) {
    char name[40];
    std::snprintf(name, sizeof name, "%s_%02d.out", base.c_str(), k);
    return f.file(name);
}

TEST(CaseSnapshot, RestoredRunGoesOnToTheLastDigit) {
    const CaseFolder f;
    ASSERT_EQ(f.run().exit_code, 0);
    ProgramResult r = run_program({zarik_program(), "-startup:alone"}, "0\n1\n1.0\nhalf\nstation.map\n1\n0\n0\n",
                                  f.path());
    ASSERT_EQ(r.exit_code, 0) << r.out;
    // A restored run opens no module data file.
    for (const auto& e : std::filesystem::directory_iterator(f.path()))
        if (e.path().extension() == ".dta") std::filesystem::remove(e.path());
    r = run_program({zarik_program(), "-startup:alone"}, "1\n1\n9.0\nrest\n0\n1\n1\nrest\n0\nhalf.snp\n1.0\n",
                    f.path());
    ASSERT_EQ(r.exit_code, 0) << r.out;
    EXPECT_EQ(r.out.find("WARN"), std::string::npos) << r.out;
    // Progress counts from the snapshot's step, so the restored run's last
    // print step is its whole.
    EXPECT_NE(r.out.find(" => This run is 100% complete.\n"), std::string::npos) << r.out;
    for (int k = 1; k <= 11; ++k) {
        const std::vector<std::string> straight = records(out_file(f, "station", k));
        const std::vector<std::string> rest = records(out_file(f, "rest", k));
        ASSERT_EQ(straight.size(), 2001u);
        ASSERT_EQ(rest.size(), 1000u) << k;
        for (size_t n = 0; n < rest.size(); ++n) ASSERT_EQ(rest[n], straight[1001 + n]) << k << " record " << n;
    }
}

// From "PARAMETERS:" on, a snapshot holds nothing of the allocation.
std::string from_parameters(const std::string& file) {
    const size_t at = file.find("\n PARAMETERS:\n");
    return at == std::string::npos ? std::string() : file.substr(at);
}

// The transformer's state survives the restore: the snapshot at 2 s of a
// run restored at 1 s is the straight run's.
TEST(CaseSnapshot, RestoredRunEndsInTheStraightRunsSnapshot) {
    const CaseFolder f;
    ProgramResult r = run_program({zarik_program(), "-startup:alone"}, "0\n1\n2.0\nfull\nstation.map\n1\n0\n0\n",
                                  f.path());
    ASSERT_EQ(r.exit_code, 0) << r.out;
    r = run_program({zarik_program(), "-startup:alone"}, "0\n1\n1.0\nhalf\nstation.map\n1\n0\n0\n", f.path());
    ASSERT_EQ(r.exit_code, 0) << r.out;
    r = run_program({zarik_program(), "-startup:alone"}, "1\n1\n1.0\nrest\n0\n1\n0\n0\nhalf.snp\n1.0\n", f.path());
    ASSERT_EQ(r.exit_code, 0) << r.out;
    const std::string straight = from_parameters(read_text(f.file("full.snp")));
    ASSERT_NE(straight.find(" SNAP_TIME      =  2.0000000000000000"), std::string::npos);
    ASSERT_NE(straight.find("!*** TRANSFORMER DATA"), std::string::npos);
    const std::string restored = from_parameters(read_text(f.file("rest.snp")));
    if (restored != straight) {
        std::ofstream(f.file("a")) << straight;
        std::ofstream(f.file("b")) << restored;
        ADD_FAILURE() << run_program({"/usr/bin/diff", f.file("a"), f.file("b")}, "", f.path()).out;
    }
}

// Replaces the lines of station.map from the one that begins with `from`
// up to the one that begins with `to` by `with`, and returns them.
std::string cut_lines(const CaseFolder& f, const std::string& from, const std::string& to,
                      const std::string& with = "") {
    std::string map = read_text(f.file("station.map"));
    const size_t a = map.find("\n" + from) + 1, b = map.find("\n" + to, a) + 1;
    const std::string cut = map.substr(a, b - a);
    std::ofstream(f.file("station.map")) << map.replace(a, b - a, with);
    return cut;
}

// Moves those lines into a file that the map includes.
void move_to_included_file(const CaseFolder& f, const std::string& from, const std::string& to,
                           const std::string& name) {
    std::ofstream(f.file(name)) << cut_lines(f, from, to, "INCLUDE '" + name + "'\n") << "ENDPAGE\n";
}

struct Layout {
    const char* label;
    void (*arrange)(const CaseFolder&);
    const char* parameters_file;
};
void PrintTo(const Layout& c, std::ostream* os) { *os << c.label; }

class CaseMapLayout : public testing::TestWithParam<Layout> {};

// The map's print step, changed after the snapshot, and its channels
// apply to the restored run.
TEST_P(CaseMapLayout, RestoresWithTheMapsPrintStepAndChannels) {
    const CaseFolder f;
    GetParam().arrange(f);
    ProgramResult r = run_program({zarik_program(), "-startup:alone"}, "0\n1\n0.1\nhalf\nstation.map\n1\n1\nstation\n0\n",
                                  f.path(), 30000);
    ASSERT_EQ(r.exit_code, 0) << r.out;
    f.edit(GetParam().parameters_file, " PRINT_STEP = 1.0E-3", " PRINT_STEP = 2.0E-3");
    r = run_program({zarik_program(), "-startup:alone"}, "1\n0\n0\n1\n1\nrest\n0\nhalf.snp\n0.1\n", f.path(), 30000);
    ASSERT_EQ(r.exit_code, 0) << "timed out: " << r.timed_out << "\n" << r.out;
    const std::string names = read_text(f.file("station.inf"));
    EXPECT_EQ(std::count(names.begin(), names.end(), '\n'), 106);
    EXPECT_EQ(read_text(f.file("rest.inf")), names);
    EXPECT_EQ(records(out_file(f, "rest", 1)).size(), 50u);
}

INSTANTIATE_TEST_SUITE_P(
    CaseSnapshot, CaseMapLayout,
    testing::Values(Layout{"ParametersAgainBeforeTheControls",
                           [](const CaseFolder& f) {
                               f.edit("station.map", "\nCXMAP:", "\nPARAMETERS:\n PRINT_STEP = 5.0E-3\nCXMAP:");
                           },
                           "station.map"},
                    Layout{"ParametersInAnIncludedFile",
                           [](const CaseFolder& f) { move_to_included_file(f, "PARAMETERS:", "SUBSYSDIM:", "params.inc"); },
                           "params.inc"},
                    Layout{"ChannelNamesInAnIncludedFile",
                           [](const CaseFolder& f) { move_to_included_file(f, "PGBList:", "ENDCASE", "channels.inc"); },
                           "station.map"},
                    // Where the data start does not read a list, nor does the
                    // restore: its channels keep the snapshot's names.
                    Layout{"NoChannelList", [](const CaseFolder& f) { cut_lines(f, "PGBList:", "ENDCASE"); },
                           "station.map"},
                    Layout{"ChannelListInAPage",
                           [](const CaseFolder& f) {
                               const std::string list = cut_lines(f, "PGBList:", "ENDCASE");
                               f.edit("p19_Load.map", "\nENDPAGE", "\n" + list + "ENDPAGE");
                           },
                           "station.map"},
                    Layout{"ChannelListAfterTheCaseEnd",
                           [](const CaseFolder& f) {
                               const std::string list = cut_lines(f, "PGBList:", "ENDCASE");
                               std::ofstream(f.file("station.map"), std::ios::app) << list;
                           },
                           "station.map"}),
    [](const auto& info) { return std::string(info.param.label); });

}  // namespace
