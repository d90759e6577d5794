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

// A restored run goes on as the run that wrote its snapshot: its records
// and its snapshot at 2 s are the straight run's, the transformer's state
// among them. The step before 0.1 s leaves a start node that the next
// step's models lower, so there the straight run re-solves.
struct Restore {
    const char* label;
    const char* finish;
    const char* snap_at;
    const char* run_on;
    size_t records;  // the restored run's, in each value file
    const char* parameters;  // in place of the print step's line
};
void PrintTo(const Restore& c, std::ostream* os) { *os << c.label; }

class CaseRestore : public testing::TestWithParam<Restore> {};

TEST_P(CaseRestore, EndsInTheStraightRunsRecordsAndSnapshot) {
    const Restore& c = GetParam();
    const CaseFolder f;
    f.edit("station.map", " PRINT_STEP = 1.0E-3\n", c.parameters);
    f.edit("station.map", " FINISH_TIME = 2.0\n", std::string(" FINISH_TIME = ") + c.finish + "\n");
    const auto zarik = [&f](const std::string& answers) {
        return run_program({zarik_program(), "-startup:alone"}, answers, f.path());
    };
    ProgramResult r = zarik(std::string("0\n1\n") + c.finish + "\nfull\nstation.map\n1\n1\nstation\n0\n");
    ASSERT_EQ(r.exit_code, 0) << r.out;
    r = zarik(std::string("0\n1\n") + c.snap_at + "\nhalf\nstation.map\n1\n0\n0\n");
    ASSERT_EQ(r.exit_code, 0) << r.out;
    r = zarik(std::string("1\n1\n") + c.run_on + "\nrest\n0\n1\n1\nrest\n0\nhalf.snp\n" + c.run_on + "\n");
    ASSERT_EQ(r.exit_code, 0) << r.out;
    for (int k = 1; k <= 11; ++k) {
        const std::vector<std::string> straight = records(out_file(f, "station", k));
        const std::vector<std::string> rest = records(out_file(f, "rest", k));
        ASSERT_EQ(rest.size(), c.records) << k;
        for (size_t n = 1; n <= rest.size(); ++n)
            ASSERT_EQ(rest[rest.size() - n], straight[straight.size() - n]) << k << " record " << n << " from the end";
    }
    const std::string straight = from_parameters(read_text(f.file("full.snp")));
    ASSERT_NE(straight.find(" SNAP_IIISNP    ="), std::string::npos);
    ASSERT_NE(straight.find("!*** TRANSFORMER DATA"), std::string::npos);
    const std::string restored = from_parameters(read_text(f.file("rest.snp")));
    if (restored != straight) {
        std::ofstream(f.file("a")) << straight;
        std::ofstream(f.file("b")) << restored;
        ADD_FAILURE() << run_program({"/usr/bin/diff", f.file("a"), f.file("b")}, "", f.path()).out;
    }
}

constexpr const char* kEveryStep = " PRINT_STEP = 50.0E-6\n";
constexpr const char* kEveryStepNoChatter = " PRINT_STEP = 50.0E-6\n DETECT_CHATTER = NO\n REMOVE_CHATTER = NO\n";

INSTANTIATE_TEST_SUITE_P(
    Case, CaseRestore,
    testing::Values(Restore{"At1sAsShipped", "2.0", "1.0", "1.0", 1000, " PRINT_STEP = 1.0E-3\n"},
                    Restore{"At0_09995s", "0.2", "0.09995", "0.10005", 2001, kEveryStep},
                    Restore{"At0_09995sWithoutChatterRemoval", "0.2", "0.09995", "0.10005", 2001, kEveryStepNoChatter},
                    Restore{"At0_5s", "0.6", "0.5", "0.1", 2000, kEveryStep},
                    Restore{"At0_5sWithoutChatterRemoval", "0.6", "0.5", "0.1", 2000, kEveryStepNoChatter}),
    [](const auto& info) { return std::string(info.param.label); });

// A run of several runs restored from the snapshot, with fewer channels in
// the map than the snapshot holds, writes a snapshot that restores and goes
// on as the run from the first snapshot straight through.
TEST(CaseSnapshot, LaterRunsSnapshotSaysWhatItsBlocksHold) {
    const CaseFolder f;
    const auto zarik = [&f](const std::string& answers) {
        return run_program({zarik_program(), "-startup:alone"}, answers, f.path());
    };
    ASSERT_EQ(zarik("0\n1\n1.0\nhalf\nstation.map\n1\n0\n0\n").exit_code, 0);
    f.edit("station.map", " PGBS = 106", " PGBS = 100");
    ProgramResult r = zarik("1\n1\n0\nend\n0\n2\n1\nr2\n0\nhalf.snp\n0.5\n0.5\n0.5\n");
    ASSERT_EQ(r.exit_code, 0) << r.out;
    const std::string end = read_text(f.file("end.snp"));
    EXPECT_TRUE(contains(end, "\n PGBS                  =     100 ")) << end.substr(0, 2000);
    EXPECT_TRUE(contains(end, "\n !PGB:         100\n"));
    r = zarik("1\n1\n0\nagain\n0\n1\n0\n0\nend.snp\n0.5\n");
    ASSERT_EQ(r.exit_code, 0) << r.out;
    ASSERT_EQ(zarik("1\n1\n0\nstraight\n0\n1\n0\n0\nhalf.snp\n1.0\n").exit_code, 0);
    const std::string straight = from_parameters(read_text(f.file("straight.snp")));
    EXPECT_TRUE(contains(straight, " SNAP_TIME      =  2.0000000000000000"));
    EXPECT_TRUE(from_parameters(read_text(f.file("again.snp"))) == straight);
}

// A snapshot that is not what its writer wrote is refused before the run,
// with the last line read.
struct Damage {
    const char* label;
    std::string (*spoil)(const std::string& good);
    const char* message;
    const char* routine;
    const char* last_line;
};
void PrintTo(const Damage& d, std::ostream* os) { *os << d.label; }

class CaseSnapshotDamage : public testing::TestWithParam<Damage> {};

TEST_P(CaseSnapshotDamage, IsRefusedBeforeTheRun) {
    const Damage& d = GetParam();
    const CaseFolder f;
    ProgramResult r = run_program({zarik_program(), "-startup:alone"},
                                  "0\n1\n1.0\nhalf\nstation.map\n1\n1\nstation\n0\n", f.path());
    ASSERT_EQ(r.exit_code, 0) << r.out;
    std::ofstream(f.file("bad.snp")) << d.spoil(read_text(f.file("half.snp")));
    r = run_program({zarik_program(), "-startup:alone"}, "1\n0\n0\n1\n1\nrest\n0\nbad.snp\n0.5\n", f.path());
    EXPECT_EQ(r.exit_code, 208);
    const std::string expected = std::string(" ***ERROR** ") + d.message +
                                 "\n =========================================================\n"
                                 " Following is the last read data line:\n " +
                                 pad_text(d.last_line, 72) + "\n Data file name: bad.snp  ";
    const size_t at = r.out.rfind(" ***ERROR** ");
    EXPECT_EQ(r.out.substr(at == std::string::npos ? 0 : at, expected.size()), expected) << r.out;
    EXPECT_TRUE(contains(r.out, " ERROR: Abnormal termination of ZARIK by " + pad_text(d.routine, 12)));
    EXPECT_FALSE(std::filesystem::exists(f.file("rest_01.out")));
}

// The control values, the fifth block of the node map, after the empty TX
// and TXRX blocks (the last lines read before them).
std::string with_control_value(const std::string& good, const std::string& from, const std::string& to) {
    std::string s = good;
    const size_t cx = s.find("\n\n\n", s.find("\n ! MAP \n")) + 3;
    return s.replace(s.find(from, cx), from.size(), to);
}

const char* const kSnapFile = "ZARIK: Error while reading snap file";
const char* const kMapInfo = "Error while reading map info from line:";

INSTANTIATE_TEST_SUITE_P(
    CaseSnapshot, CaseSnapshotDamage,
    testing::Values(
        Damage{"BranchEndBlocksSwapped", [](const std::string& g) { return swapped_blocks(g, " !IEF", " !IET"); },
               kSnapFile, "READSNP", " !IET"},
        Damage{"StorageCountOfAnother",
               [](const std::string& g) {
                   std::string s = g;
                   return s.replace(s.find(" !STOI:          70"), 19, " !STOI:          71");
               },
               "Error while reading data from line:", "READSTORS", " !STOI:          71"},
        Damage{"TimeStepOfAnotherRun",
               [](const std::string& g) {
                   std::string s = g;
                   const std::string step = " TIME_STEP      = 0.50000000000000002E-004";
                   return s.replace(s.find(step), step.size(), " TIME_STEP      = 0.10000000000000000E-003");
               },
               kSnapFile, "READSNP", " END:"},
        Damage{"PowerOrderNotANumber",
               [](const std::string& g) { return with_control_value(g, "0.10000000000000001", "NaN"); }, kMapInfo,
               "READMAP", ""},
        Damage{"ControlValueInfinite",
               [](const std::string& g) { return with_control_value(g, " 0.0000000000000000", " -Infinity"); },
               kMapInfo, "READMAP", ""}),
    [](const auto& info) { return std::string(info.param.label); });

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
    // The run from data ends at its snapshot.
    f.edit("station.map", " FINISH_TIME = 2.0\n", " FINISH_TIME = 0.1\n");
    GetParam().arrange(f);
    ProgramResult r = run_program({zarik_program(), "-startup:alone"}, "0\n1\n0.1\nhalf\nstation.map\n1\n1\nstation\n0\n",
                                  f.path());
    ASSERT_EQ(r.exit_code, 0) << r.out;
    f.edit(GetParam().parameters_file, " PRINT_STEP = 1.0E-3", " PRINT_STEP = 2.0E-3");
    r = run_program({zarik_program(), "-startup:alone"}, "1\n0\n0\n1\n1\nrest\n0\nhalf.snp\n0.1\n", f.path());
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
