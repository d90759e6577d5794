// Whole standalone runs of the stand-in case: a run restored from a
// snapshot goes on exactly as the run that wrote it, and a bad snapshot
// stops the run before anything is written.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <regex>
#include <sstream>
#include <vector>
#include <string>

#include "platform/fortran_format.h"
#include "platform/tests/support/capture.h"
#include "platform/tests/support/run_program.h"
#include "platform/tests/support/unit_ops.h"

namespace {

const char* const kPage =
    "BRANCHES:\n"
    "   0    1   RE    0.01  100.0\n"
    "   1    2   RL    1.0  0.05\n"
    "   2    0   C     100.0\n"
    "   2    3   S\n"
    "   3    0   R     5.0\n"
    "ENDPAGE\n";

// An R-L-C circuit with a switch in subsystem 1 and an empty subsystem 2.
void write_case(const TempDir& dir, const std::string& options) {
    write_file(dir.file("case.map"),
               "DIMENSIONS:\n NODES = 3\n SUBSYS = 2\n BRANCHES = 5\n NNODES = 8\n NPAGES = 2\n SUBSYSPAGE = 2\n"
               "PARAMETERS:\n TITLE = 'Bob''s R-L-C case'\n TIME_STEP = 50.0E-6\n PRINT_STEP = 1.0E-3\n"
               " FINISH_TIME = 0.02\n" + options +
               "SUBSYSDIM:\n 2 3 0\nMAP: 'page1.map'\n 1 3  1 2 3\n 0 0\nMAP: 'page2.map'\n 2 0\n 0 0\nENDCASE\n");
    write_file(dir.file("page1.map"), kPage);
    write_file(dir.file("page2.map"), "ENDPAGE\n");
}

void write_empty_case(const TempDir& dir, const std::string& map = "case.map") {
    write_file(dir.file(map),
               "DIMENSIONS:\n NODES = 0\n SUBSYS = 0\n PGBS = 2\nPARAMETERS:\n TITLE = 'No network'\n"
               " TIME_STEP = 50.0E-6\n PRINT_STEP = 1.0E-3\n FINISH_TIME = 0.02\n"
               "PGBList:\nfirst channel, with a comma\n\nENDCASE\n");
}

// A DC source feeding a two-winding transformer with a resistive load.
void write_transformer_case(const TempDir& dir) {
    write_file(dir.file("case.map"),
               "DIMENSIONS:\n NODES = 2\n SUBSYS = 1\n BRANCHES = 2\n WINDINGS = 2\n TRAFOS = 1\n NNODES = 4\n"
               " NPAGES = 1\n SUBSYSPAGE = 1\nPARAMETERS:\n TITLE = 'Transformer'\n TIME_STEP = 50.0E-6\n"
               " PRINT_STEP = 1.0E-3\n FINISH_TIME = 0.02\nSUBSYSDIM:\n 1 2\nMAP: 'page1.map'\n 1 2  1 2\n 0 0\n"
               "ENDCASE\n");
    write_file(dir.file("page1.map"), "BRANCHES:\n 0 1 RE 1.0 100.0\n 2 0 R 10.0\nTRANSFORMERS:\n 2 0 0\n"
                                      " 1 0  0.5 0.1 /\n 2 0  0.0 0.09 2.0 0.1 /\nENDPAGE\n");
}

// 100 V behind 100 ohms, one line of the given constants file, 1,200 ohms.
void write_line_case(const TempDir& dir, const std::string& constants) {
    write_file(dir.file("case.map"),
               "DIMENSIONS:\n NODES = 2\n SUBSYS = 1\n BRANCHES = 2\n NNODES = 4\n NPAGES = 1\n SUBSYSPAGE = 1\n"
               "PARAMETERS:\n TITLE = 'Line'\n TIME_STEP = 50.0E-6\n PRINT_STEP = 1.0E-3\n FINISH_TIME = 0.02\n"
               "SUBSYSDIM:\n 1 2\nSUBS:\n 1 1\nMAP: 'page1.map'\n 1 2  1 2\n 0 0\nENDCASE\n");
    write_file(dir.file("page1.map"), "BRANCHES:\n 0 1 RE 100.0 100.0\n 2 0 R 1200.0\nTLINES:\n"
                                      "HOLVA Line Constants\n 1 0\n 1 1 1 0 1 0\n 1 2 1 0 1 0\n"
                                      "TLINE-INPUT-DATA  line.tli\nTLINE-OUTPUT-DATA line.tlo\nENDPAGE\n");
    write_file(dir.file("line.tlo"), constants);
}

// A lossy 0.5 ms line of 400 ohms; the same with a delay group of one
// pole in phase quantities; 150 km at 3e8 m/s in ten segments with one pole.
const char* const kBergeron = " 1 0 0 0 50.0 50.0 1.0 1e-9 1e-9\n 0 0 0.52 400.0 10.0 0.0 1.0\n";
const char* const kFrePhase = "FRE-PHASE\nYc\nfitted\n 1\npoles\n 1\n-2000\n 0\n5\n 0\n0.0025\nH\nfitted\n 1\n"
                              "delays\n0.00052\npoles\n 1\n-2000\n 0\nresidues\n2000\n 0\n";
const char* const kMfdtd = "MFDTD  1  1\nNOINT\n 3e8\n 150000\n 0.00013333333333333334\n 1.3333333333333334e-06\n"
                           " 0\n 8.3333333333333335e-12\n 1\n (-2000, 0)\n (1, 0)\n";

// Three subsystems of ladders (5, 5 and 100 nodes): 1.7 V behind 0.37 ohm
// into node 1, 97.3 ohm to ground at each node, 1.3 mH between neighbours.
void write_ladders_case(const TempDir& dir) {
    std::ostringstream map;
    map << "DIMENSIONS:\n NODES = 100\n SUBSYS = 3\n BRANCHES = 201\n NNODES = 116\n NPAGES = 3\n SUBSYSPAGE = 3\n"
           "PARAMETERS:\n TITLE = 'Ladders'\n TIME_STEP = 50.0E-6\n PRINT_STEP = 50.0E-6\n FINISH_TIME = 0.02\n"
           " DETECT_CHATTER = NO\n REMOVE_CHATTER = NO\nSUBSYSDIM:\n 3 5 5 100\n";
    const int sizes[] = {5, 5, 100};
    for (int ss = 1; ss <= 3; ++ss) {
        const int n = sizes[ss - 1];
        const std::string page = "p" + std::to_string(ss) + ".map";
        std::ostringstream branches;
        branches << "BRANCHES:\n 0 1 RE 0.37 1.7\n";
        map << "MAP: '" << page << "'\n " << ss << " " << n;
        for (int k = 1; k <= n; ++k) {
            map << " " << k;
            branches << " " << k << " 0 R 97.3\n";
            if (k < n) branches << " " << k << " " << k + 1 << " L 1.3E-3\n";
        }
        map << "\n 0 0\n";
        write_file(dir.file(page), branches.str() + "ENDPAGE\n");
    }
    write_file(dir.file("case.map"), map.str() + "ENDCASE\n");
}

ProgramResult from_data(const TempDir& dir, const std::string& snap_at, const std::string& snap_name) {
    return run_program({bare_program(), "-startup:alone"}, "0\n1\n" + snap_at + "\n" + snap_name + "\ncase.map\n1\n0\n0\n",
                       dir.path);
}

// The restored run's own snapshot falls at its end unless asked earlier.
ProgramResult from_snapshot(const TempDir& dir, const std::string& input, const std::string& run_for,
                            const std::string& snap_name = "restored", const std::string& snap_after = "",
                            const std::string& snap_kind = "1") {
    const std::string snap_at = snap_after.empty() ? run_for : snap_after;
    return run_program({bare_program(), "-startup:alone"},
                       "1\n" + snap_kind + "\n" + snap_at + "\n" + snap_name + "\n0\n1\n0\n0\n" + input + "\n" +
                           run_for + "\n",
                       dir.path);
}

enum class Network { RlcSwitch, None, Transformer, Line, Ladders };

void write_network(const TempDir& dir, Network network, const std::string& options, const std::string& constants) {
    switch (network) {
        case Network::RlcSwitch:
            write_case(dir, options);
            break;
        case Network::None:
            write_empty_case(dir);
            break;
        case Network::Transformer:
            write_transformer_case(dir);
            break;
        case Network::Line:
            write_line_case(dir, constants);
            break;
        case Network::Ladders:
            write_ladders_case(dir);
            break;
    }
}

struct RestartCase {
    const char* label;
    const char* options;
    Network network;
    const char* constants = "";
    // The snapshot's time, and the time from it to 20 ms.
    const char* snap_at = "0.01";
    const char* run_on = "0.01";
    // The restored run's snapshot, after the restored time (empty: at its end).
    const char* snap_after = "";
    // The dialogue's snapshot answer, and the snapshots it writes.
    const char* snap_kind = "1";
    size_t snapshots = 1;
};
void PrintTo(const RestartCase& c, std::ostream* os) { *os << c.label; }

class Restart : public testing::TestWithParam<RestartCase> {};

TEST_P(Restart, GoesOnBitForBit) {
    TempDir dir;
    write_network(dir, GetParam().network, GetParam().options, GetParam().constants);
    // Straight through to 20 ms; to 10 ms; from there on to 20 ms.
    ASSERT_EQ(from_data(dir, "0.02", "straight").exit_code, 0);
    ASSERT_EQ(from_data(dir, GetParam().snap_at, "half").exit_code, 0);
    const ProgramResult r =
        from_snapshot(dir, "half.snp", GetParam().run_on, "restored", GetParam().snap_after, GetParam().snap_kind);
    ASSERT_EQ(r.exit_code, 0) << r.out;
    EXPECT_EQ(count_of(r.out, "Snapshot: Time:"), GetParam().snapshots) << r.out;
    if (GetParam().snapshots > 10) {
        EXPECT_TRUE(contains(r.out, " " + std::to_string(GetParam().snapshots) + " SNAP FILES WILL BE WRITTEN")) << r.out;
    }
    EXPECT_NE(r.out.find("Reading data for snap file: half.snp"), std::string::npos);
    EXPECT_NE(r.out.find("Snapshot: Time:  0.20000000E-01  File: restored.snp"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find(" => This run is 100% complete.\n"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("101%"), std::string::npos);
    const std::string straight = read_file(dir.file("straight.snp"));
    EXPECT_NE(straight.find(" SNAP_IIISNP    =          400"), std::string::npos);
    EXPECT_TRUE(read_file(dir.file("restored.snp")) == straight);
}

INSTANTIATE_TEST_SUITE_P(
    Snapshot, Restart,
    testing::Values(RestartCase{"AllSolutionOptions", "", Network::RlcSwitch},
                    RestartCase{"NoOptions",
                                " INTERPOLATE = NO\n EXTRAPOLATE = NO\n REMOVE_CHATTER = NO\n DETECT_CHATTER = NO\n",
                                Network::RlcSwitch},
                    RestartCase{"NoInterpolation", " INTERPOLATE = NO\n", Network::RlcSwitch},
                    RestartCase{"NoChatterRemoval", " REMOVE_CHATTER = NO\n", Network::RlcSwitch},
                    RestartCase{"NoSubsystem", "", Network::None},
                    RestartCase{"Transformer", "", Network::Transformer},
                    RestartCase{"BergeronLine", "", Network::Line, kBergeron},
                    RestartCase{"FrePhaseLine", "", Network::Line, kFrePhase},
                    RestartCase{"MfdtdLine", "", Network::Line, kMfdtd},
                    // A restored run re-solves no step that its snapshot holds.
                    RestartCase{"LaddersFromStep20", "", Network::Ladders, "", "0.001", "0.019"},
                    // Under half a step after the restored step: taken at the first step.
                    RestartCase{"SnapshotWithinHalfAStep", "", Network::RlcSwitch, "", "0.01995", "0.00005", "2.4E-5"},
                    // An interval under a step: one at every step, the last at 20 ms.
                    RestartCase{"IntervalUnderAStep", "", Network::RlcSwitch, "", "0.01", "0.01", "2.4E-5", "-1", 200}),
    [](const auto& info) { return std::string(info.param.label); });

// A one-conductor line's second loss coefficient is never set: the
// snapshot carries its cleared value.
TEST(LineSnapshot, OneConductorLineCarriesOneLossCoefficient) {
    TempDir dir;
    write_line_case(dir, kBergeron);
    ASSERT_EQ(from_data(dir, "0.001", "line").exit_code, 0);
    const std::string snap = read_file(dir.file("line.snp"));
    const std::string label = " !*** Additional bergeron data:\n";
    const std::string values = " 1.0000000000000000      \n 1.0000000000000000      \n 0.0000000000000000      \n";
    const size_t at = snap.find(label);
    ASSERT_NE(at, std::string::npos);
    EXPECT_EQ(snap.substr(at + label.size(), values.size()), values);
}

// Step 0 leaves a chatter half step pending, which the file does not
// carry: without chatter removal the run goes on exactly.
TEST(RestartFromStepZero, GoesOnAtStepOne) {
    TempDir dir;
    write_case(dir, " REMOVE_CHATTER = NO\n");
    ASSERT_EQ(from_data(dir, "0.001", "straight").exit_code, 0);
    ASSERT_EQ(from_data(dir, "0.00002", "start").exit_code, 0);
    EXPECT_NE(read_file(dir.file("start.snp")).find(" SNAP_IIISNP    =            0"), std::string::npos);
    ProgramResult r = from_snapshot(dir, "start.snp", "0.001");
    ASSERT_EQ(r.exit_code, 0);
    EXPECT_FALSE(contains(r.out, "No snap will be taken")) << r.out;
    EXPECT_TRUE(read_file(dir.file("restored.snp")) == read_file(dir.file("straight.snp")));
    // A snapshot at the end of the run is taken at its last step.
    std::filesystem::remove(dir.file("restored.snp"));
    r = run_program({bare_program(), "-startup:alone"}, "1\n1\n0\nrestored\n0\n1\n0\n0\nstart.snp\n0.001\n", dir.path);
    ASSERT_EQ(r.exit_code, 0);
    EXPECT_TRUE(read_file(dir.file("restored.snp")) == read_file(dir.file("straight.snp")));
}

// The standard output's last lines, from the one that begins with `from`.
std::string tail_from(const std::string& out, const std::string& from) {
    const size_t at = out.rfind(from);
    return at == std::string::npos ? out : out.substr(at);
}

std::string abort_frame(const std::string& last_line, const char* routine) {
    return " =========================================================\n"
           " Following is the last read data line:\n " +
           pad_text(last_line, 72) + "\n Data file name: bad.snp                           ...\n"
           " ERROR: Abnormal termination of ZARIK by " + pad_text(routine, 12) + "\n"
           " =========================================================\n";
}

struct BadFile {
    const char* label;
    std::string (*spoil)(const std::string& good);
    const char* message;
    const char* last_line;
    Network network = Network::RlcSwitch;
    const char* constants = "";
    const char* routine = "READSNP";
};
void PrintTo(const BadFile& c, std::ostream* os) { *os << c.label; }

std::string cut_after(const std::string& good, const std::string& line, int keep) {
    size_t at = good.find("\n" + line + "\n") + 1;
    for (int k = 0; k < keep; ++k) at = good.find('\n', at) + 1;
    return good.substr(0, at);
}

std::string replaced(const std::string& good, const std::string& from, const std::string& to) {
    std::string s = good;
    s.replace(s.find(from), from.size(), to);
    return s;
}

// Integer `index` (from 1) of the line `below` lines under `label` set to `value`.
std::string with_integer(const std::string& good, const std::string& label, int below, int index,
                         const std::string& value) {
    size_t at = good.find("\n" + label + "\n") + 1;
    for (int k = 0; k < below; ++k) at = good.find('\n', at) + 1;
    const size_t end = good.find('\n', at);
    std::istringstream in(good.substr(at, end - at));
    std::string line, item;
    for (int k = 1; in >> item; ++k) line += " " + (k == index ? value : item);
    return good.substr(0, at) + line + good.substr(end);
}

// The file with one branch change, of the eight integer columns given, in
// place of none.
std::string with_branch_change(const std::string& good, const std::string& columns) {
    std::string entry = " 1\n !*** HARMONIC SOLUTION DATA\n";
    std::istringstream in(columns);
    for (std::string v; in >> v;) entry += " " + v + "\n";
    return replaced(good, "          0 \n!===", entry + " 0.0\n 0.0\n 0.0\n 0.0\n 0.0\n!===");
}

const char* const kEnd = "ZARIK: Unexpected end of file while reading snapfile";
const char* const kBad = "ZARIK: Error while reading snap file";

class BadSnapshot : public testing::TestWithParam<BadFile> {};

TEST_P(BadSnapshot, StopsBeforeWritingAnything) {
    TempDir dir;
    write_network(dir, GetParam().network, "", GetParam().constants);
    ASSERT_EQ(from_data(dir, "0.01", "half").exit_code, 0);
    write_file(dir.file("bad.snp"), GetParam().spoil(read_file(dir.file("half.snp"))));
    const ProgramResult r = from_snapshot(dir, "bad.snp", "0.01");
    EXPECT_EQ(r.exit_code, 208);
    EXPECT_EQ(tail_from(r.out, " ***ERROR** "), std::string(" ***ERROR** ") + GetParam().message + "\n" +
                                                      abort_frame(GetParam().last_line, GetParam().routine) + " \n");
    EXPECT_FALSE(std::filesystem::exists(dir.file("restored.snp")));
}

INSTANTIATE_TEST_SUITE_P(
    Snapshot, BadSnapshot,
    testing::Values(
        BadFile{"CutInsideABlock", [](const std::string& g) { return cut_after(g, " !*** General node data", 2); },
                kEnd, " !*** General node data"},
        BadFile{"CutAfterALabel", [](const std::string& g) { return cut_after(g, " !CBR", 1); }, kEnd, " !CBR"},
        BadFile{"GarbageNumber",
                [](const std::string& g) { return replaced(g, " 4.0004997501249377", "4.0x04997501249377"); }, kBad,
                " !*** Node conductances [GM]"},
        BadFile{"MoreBusesThanNodes",
                [](const std::string& g) { return replaced(g, "           3  / Busses", "         500  / Busses"); },
                kBad, "           4  / Start Node for Triang."},
        BadFile{"SwitchBeyondTheBranches",
                [](const std::string& g) {
                    return replaced(g, " !*** SWITCHING BRANCH DATA\n           4", " !*** SWITCHING BRANCH DATA\n 9");
                },
                kBad, " !*** SWITCHING BRANCH DATA"},
        BadFile{"PhaseLinesTheCaseHasNot",
                [](const std::string& g) { return replaced(g, "]\n          0 \n", "]\n          1 \n"); }, kBad,
                " !*** Node conductances [GM]"},
        BadFile{"MfdtdLinesTheCaseHasNot",
                [](const std::string& g) {
                    return replaced(g, "]\n          0 \n          0 \n", "]\n          0 \n          3 \n");
                },
                kBad, " !*** Node conductances [GM]"},
        BadFile{"NoEndLine", [](const std::string& g) { return replaced(g, " ! End of Snap-shot\n", ""); }, kEnd,
                " !*** Node conductances [GM]"},
        // Blocks that are not where, or not what, their writer put there.
        BadFile{"BranchEndBlocksSwapped", [](const std::string& g) { return swapped_blocks(g, " !IEF", " !IET"); },
                kBad, " !IET"},
        BadFile{"BranchBlockWrittenTwice",
                [](const std::string& g) { return replaced(g, " !RESISTOR\n", " !IORV\n 0 0 0 0 0\n !RESISTOR\n"); },
                kBad, " !IORV"},
        BadFile{"LabelOfAnotherBlock", [](const std::string& g) { return replaced(g, " !CCBR\n", " !CCBRD\n"); }, kBad,
                " !CCBRD"},
        BadFile{"SubsystemOfAnotherNumber",
                [](const std::string& g) { return replaced(g, "!*** SUBSYSTEM:   1", "!*** SUBSYSTEM:   2"); }, kBad,
                "!*** SUBSYSTEM:   2"},
        BadFile{"HeadRecordOfAnotherCount",
                [](const std::string& g) { return replaced(g, "  / Busses", "  / Branches"); }, kBad,
                "           3  / Branches"},
        BadFile{"ChannelListCountNotItsBlocks",
                [](const std::string& g) { return replaced(g, " ! MPGBS:            0", " ! MPGBS:            1"); },
                "Error while reading map info from line:", " ! MPGBS:            1", Network::RlcSwitch, "",
                "READMAP"},
        BadFile{"NodeMapEndsWithAValue",
                [](const std::string& g) { return replaced(g, " ! PGBNAME:            0\n\n", " ! PGBNAME:            0\n 0\n"); },
                "Error while reading map info from line:", " 0", Network::RlcSwitch, "", "READMAP"},
        BadFile{"CommentBeforeTheMapKey",
                [](const std::string& g) { return replaced(g, " MAP_UPDATE:\n", " ! moved\n MAP_UPDATE:\n"); },
                "Unexpected End_Of_File", " ! moved", Network::RlcSwitch, "", "UPDATE_MAP"},
        BadFile{"LineOfAnotherNumber",
                [](const std::string& g) {
                    return replaced(g, " !*** Data for Line:            1", " !*** Data for Line:            2");
                },
                kBad, " !*** Data for Line:            2", Network::Line, kFrePhase},
        // A time and a step that are not the head's, or a time that is not
        // its step count's.
        BadFile{"StepOfAnotherRun",
                [](const std::string& g) {
                    return replaced(g, " TIME_STEP      = 0.50000000000000002E-004", " TIME_STEP      = 0.10000000000000000E-003");
                },
                kBad, " END:"},
        BadFile{"TimeOfAnotherStepCount",
                [](const std::string& g) { return replaced(g, " SNAP_IIISNP    =          200", " SNAP_IIISNP    =          201"); },
                kBad, " END:"},
        BadFile{"HeadOfAnotherTime",
                [](const std::string& g) { return replaced(g, "   0.1000000000000000E-01", "   0.1100000000000000E-01"); },
                kBad, " END:"},
        // Values inside their ranges that no data start gives.
        BadFile{"NodeNumberBeyondTheNodes", [](const std::string& g) { return with_integer(g, " ! MAP ", 1, 5, "4"); },
                "Error while reading map info from line:", " ! MAP ", Network::RlcSwitch, "", "READMAP"},
        // Page 1's local subsystem 3 of 2; one radio link, to transmitter 2 of
        // 1, read after the transmitters' empty block.
        BadFile{"LocalSubsystemBeyondItsCount",
                [](const std::string& g) { return with_integer(g, " ! MAP ", 2, 1, "3"); },
                "Error while reading map info from line:", " ! MAP ", Network::RlcSwitch, "", "READMAP"},
        BadFile{"RadioLinkBeyondTheTransmitters",
                [](const std::string& g) {
                    return replaced(replaced(g, " TXRX                  =       0", " TXRX                  =       1"),
                                    " 0 \n\n\n\n\n ! MPGBS:", " 0 \n\n 2\n\n\n ! MPGBS:");
                },
                "Error while reading map info from line:", "", Network::RlcSwitch, "", "READMAP"},
        BadFile{"SparsityListsOutOfOrder",
                [](const std::string& g) { return with_integer(g, " !*** Sparsity information", 1, 2, "2"); }, kBad,
                " !*** Sparsity information"},
        // Row 1's upper list names its own column.
        BadFile{"UpperSparsityListOnItsRow",
                [](const std::string& g) { return with_integer(g, " !*** Sparsity information", 4, 1, "1"); }, kBad,
                " !*** Sparsity information"},
        BadFile{"BranchEndBeyondItsSubsystem", [](const std::string& g) { return with_integer(g, " !IEF", 1, 5, "4"); },
                kBad, " !IEF"},
        BadFile{"BranchWithBothEndsOnOneNode",
                [](const std::string& g) { return with_integer(g, " !IEF", 1, 4, "3"); }, kBad, " !IET"},
        BadFile{"BranchBetweenUncoupledNodes",
                [](const std::string& g) { return with_integer(g, " !IET", 1, 5, "1"); }, kBad, " !IET"},
        BadFile{"RecordPositionBeyondStori",
                [](const std::string& g) { return with_integer(g, " !THISBR", 1, 5, "99"); }, kBad, " !THISBR"},
        BadFile{"SwitchFlagWithoutItsListEntry",
                [](const std::string& g) { return replaced(g, " !SWITCH\n F F F T F", " !SWITCH\n F F F T T"); },
                kBad, " !SWITCH"},
        BadFile{"SwitchListNamesNoSwitch",
                [](const std::string& g) { return with_integer(g, " !*** SWITCHING BRANCH DATA", 1, 1, "5"); }, kBad,
                " !*** SWITCHING BRANCH DATA"},
        BadFile{"BranchChangeOfNoKind", [](const std::string& g) { return with_branch_change(g, "7 1 0 0 0 0 0 1"); },
                kBad, " !*** HARMONIC SOLUTION DATA"},
        // A machine's node in subsystem 3 of 2; branch 6 of subsystem 1's five
        // taken over by a model.
        BadFile{"BranchChangeInNoSubsystem",
                [](const std::string& g) { return with_branch_change(g, "0 1 0 0 0 0 0 3"); }, kBad,
                " !*** HARMONIC SOLUTION DATA"},
        BadFile{"RetypedBranchBeyondItsSubsystem",
                [](const std::string& g) { return with_branch_change(g, "9 6 0 0 0 0 0 1"); }, kBad,
                " !*** HARMONIC SOLUTION DATA"},
        BadFile{"TransformerWithoutWindings",
                [](const std::string& g) { return with_integer(g, " !*** TRANSFORMER DATA", 1, 1, "0"); }, kBad,
                " !*** TRANSFORMER DATA", Network::Transformer},
        // Its winding nodes, which no subsystem 0 has, would refuse the whole
        // file too: cut after the head, it is refused, not found short.
        BadFile{"TransformerInNoSubsystem",
                [](const std::string& g) {
                    return cut_after(with_integer(g, " !*** TRANSFORMER DATA", 1, 2, "0"), " !*** TRANSFORMER DATA", 2);
                },
                kBad, " !*** TRANSFORMER DATA", Network::Transformer},
        BadFile{"TransformerWindingBeyondItsSubsystem",
                [](const std::string& g) { return with_integer(g, " !*** TRANSFORMER DATA", 2, 2, "3"); }, kBad,
                " !*** TRANSFORMER DATA", Network::Transformer},
        BadFile{"TransformerWindingOnOneNode",
                [](const std::string& g) { return with_integer(g, " !*** TRANSFORMER DATA", 3, 2, "2"); }, kBad,
                " !*** TRANSFORMER DATA", Network::Transformer},
        BadFile{"TransformersOfTheSubsystemMiscounted",
                [](const std::string& g) { return replaced(g, " 1  / Transformers", " 0  / Transformers"); }, kBad,
                " !*** TRANSFORMER DATA", Network::Transformer},
        BadFile{"LineRecordOfAClientOnALocalLine",
                [](const std::string& g) { return with_integer(g, " !*** Additional bergeron data:", 6, 1, "-1"); },
                kBad, " !*** Additional bergeron data:", Network::Line, kBergeron},
        BadFile{"LineRecordSignalsBeyondCscr",
                [](const std::string& g) {
                    return with_integer(g, " !*** Additional bergeron data:", 6, 9, "2147483647");
                },
                kBad, " !*** Additional bergeron data:", Network::Line, kBergeron},
        BadFile{"LineRecordOffsetBeyondItsNodes",
                [](const std::string& g) {
                    return replaced(g, "          2           1           0           0",
                                    "          2           1           1           0");
                },
                kBad, " !*** Sparse Stored Parameters", Network::Line, kFrePhase},
        // The line's first end in subsystem 2 of 1.
        BadFile{"ModalLineInNoSubsystem",
                [](const std::string& g) { return with_integer(g, " !*** Basic info:", 2, 1, "2"); }, kBad,
                " line.tli", Network::Line, kBergeron},
        BadFile{"ModalBufferPositionBeyondItsDelay",
                [](const std::string& g) { return with_integer(g, " !*** Modes:", 2, 1, "11"); }, kBad,
                " !*** Modes:", Network::Line, kBergeron},
        BadFile{"PhaseReadPositionOffItsDelay",
                [](const std::string& g) { return with_integer(g, " !*** NG Parameters", 2, 1, "4"); }, kBad,
                " !*** NG Parameters", Network::Line, kFrePhase},
        // The write position 12 of a buffer of 11; the far end at node 3 of 2;
        // room for 10 of the 11 travelling-wave values.
        BadFile{"PhaseWritePositionBeyondItsBuffer",
                [](const std::string& g) { return with_integer(g, " !*** Basic Information:", 6, 1, "12"); }, kBad,
                " line.tli", Network::Line, kFrePhase},
        BadFile{"PhaseLineEndBeyondItsSubsystem",
                [](const std::string& g) { return with_integer(g, " !*** Basic Information:", 11, 1, "3"); }, kBad,
                " line.tli", Network::Line, kFrePhase},
        BadFile{"PhaseTravellingWavesBeyondTheirList",
                [](const std::string& g) { return with_integer(g, " !*** Sparse Stored Parameters", 1, 5, "10"); },
                kBad, " !*** Sparse Stored Parameters", Network::Line, kFrePhase},
        BadFile{"MfdtdNodeBeyondItsSubsystem",
                [](const std::string& g) { return with_integer(g, " !Node Numbers (All MFDTD Lines):", 1, 2, "3"); },
                kBad, " !Node Numbers (All MFDTD Lines):", Network::Line, kMfdtd},
        BadFile{"MfdtdLineWithoutSegments",
                [](const std::string& g) {
                    return with_integer(g, " !*** Static Data for Line:           1", 2, 1, "0");
                },
                kBad, " !*** Static Data for Line:           1", Network::Line, kMfdtd}),
    [](const auto& info) { return std::string(info.param.label); });

TEST(BadSnapshotVersion, IsRefusedBeforeTheRun) {
    TempDir dir;
    write_case(dir, "");
    ASSERT_EQ(from_data(dir, "0.01", "half").exit_code, 0);
    write_file(dir.file("bad.snp"), replaced(read_file(dir.file("half.snp")), "   4.6000", "   4.5000"));
    const ProgramResult r = from_snapshot(dir, "bad.snp", "0.01");
    EXPECT_EQ(r.exit_code, 208);
    EXPECT_EQ(tail_from(r.out, "\n **** INCOMPATIBLE"),
              "\n **** INCOMPATIBLE SNAP-SHOT FILE bad.snp    ! ****\n"
              "      THIS SNAPSHOT WAS WRITTEN WITH A DIFFERENT VERSION OF ZARIK!\n"
              "      PLEASE TAKE A NEW SNAP-SHOT WITH THIS VERSION\n" +
                  abort_frame("   4.500000000000000       0.1000000000000000E-01   0.5000000000000000E-", "SNAP_OK") +
                  " \n");
    EXPECT_FALSE(std::filesystem::exists(dir.file("restored.snp")));
}

// A time step so long that the finish time overflows ends the restored
// run before its first step, not after 2^31 of them.
TEST(SnapshotTimeStep, BeyondTheLargestDoubleIsRefused) {
    TempDir dir;
    write_case(dir, "");
    ASSERT_EQ(from_data(dir, "0.002", "step40").exit_code, 0);
    std::string snap = read_file(dir.file("step40.snp"));
    ASSERT_NE(snap.find(" SNAP_IIISNP    =           40"), std::string::npos);
    // One step of that length, where the head and the parameters agree.
    snap = replaced(snap, " SNAP_IIISNP    =           40", " SNAP_IIISNP    =            1");
    for (const char* time : {"0.2000000000000000E-02", "0.20000000000000000E-002"}) snap = replaced(snap, time, "1.0E308");
    snap = replaced(snap, "0.5000000000000000E-04", "1.0E308");
    write_file(dir.file("long.snp"), replaced(snap, "0.50000000000000002E-004", "1.0E308"));
    // The dialogue takes no finish time shorter than the time step.
    const ProgramResult r =
        run_program({bare_program(), "-startup:alone"}, "1\n0\n0\n1\n0\n0\nlong.snp\n1.0E308\n", dir.path, 20000);
    ASSERT_FALSE(r.timed_out);
    EXPECT_EQ(r.exit_code, 208);
    EXPECT_EQ(tail_from(r.out, " ***ERROR** Duration"),
              " ***ERROR** Duration of run is too long for the selected time step. \n"
              " ***ERROR** Increase the solution time step or reduce the duration of run. \n"
              " =========================================================\n"
              " ERROR: Abnormal termination of ZARIK by INITCOM     \n"
              " =========================================================\n \n");
}

// Capacities are sizes, not records the file holds: a snapshot whose
// sparsity capacity over its two subsystems is beyond its length restores.
TEST(SnapshotCapacity, BeyondTheFileLengthRestores) {
    TempDir dir;
    write_case(dir, "");
    ASSERT_EQ(from_data(dir, "0.01", "half").exit_code, 0);
    const std::string half = read_file(dir.file("half.snp"));
    ASSERT_LT(half.size(), 2u * 100000);
    write_file(dir.file("wide.snp"),
               replaced(half, " SPARSITY              =       4", " SPARSITY              =  100000"));
    const ProgramResult r = from_snapshot(dir, "wide.snp", "0.01");
    EXPECT_EQ(r.exit_code, 0) << r.out;
    EXPECT_NE(r.out.find(" => This run is 100% complete.\n"), std::string::npos) << r.out;
}

// The node voltages of subsystem 1 in a snapshot.
std::vector<double> node_voltages(const std::string& file) {
    const std::string line = lines_of(file.substr(file.find(" !*** General node data\n") + 24))[0];
    std::vector<double> v;
    std::istringstream in(line);
    for (std::string field; in >> field;) v.push_back(std::strtod(field.c_str(), nullptr));
    return v;
}

// With chatter removal on, the first factorisation of a data start asks
// for no half step, so nothing is pending at step 0 that the file does not
// carry: a restart from step 0 goes on exactly as the straight run.
TEST(RestartFromStepZero, WithChatterRemovalOnIsExact) {
    TempDir dir;
    write_case(dir, "");
    ASSERT_EQ(from_data(dir, "0.001", "straight").exit_code, 0);
    ASSERT_EQ(from_data(dir, "0.00002", "start").exit_code, 0);
    ASSERT_EQ(from_snapshot(dir, "start.snp", "0.001").exit_code, 0);
    const std::vector<double> a = node_voltages(read_file(dir.file("straight.snp")));
    const std::vector<double> b = node_voltages(read_file(dir.file("restored.snp")));
    ASSERT_EQ(a.size(), 3u);
    EXPECT_EQ(a, b);
}

// Every real of a file rewritten with 16 significant digits.
std::string with_16_digits(const std::string& file) {
    static const std::regex real(R"([-+]?[0-9]*\.[0-9]+(E[-+][0-9]+)?)");
    std::string out;
    std::sregex_iterator it(file.begin(), file.end(), real), end;
    size_t from = 0;
    for (; it != end; ++it) {
        out += file.substr(from, static_cast<size_t>(it->position()) - from);
        out += edit("G24.16E3", std::strtod(it->str().c_str(), nullptr));
        from = static_cast<size_t>(it->position() + it->length());
    }
    return out + file.substr(from);
}

TEST(SixteenDigitSnapshot, Restores) {
    TempDir dir;
    write_case(dir, "");
    ASSERT_EQ(from_data(dir, "0.01", "half").exit_code, 0);
    const std::string old = with_16_digits(read_file(dir.file("half.snp")));
    ASSERT_EQ(old.find("0.50000000000000002E-004"), std::string::npos);
    ASSERT_NE(old.find("0.5000000000000000E-004"), std::string::npos);
    write_file(dir.file("old.snp"), old);
    const ProgramResult r = from_snapshot(dir, "old.snp", "0.01");
    EXPECT_EQ(r.exit_code, 0) << r.out;
    EXPECT_NE(read_file(dir.file("restored.snp")).find(" SNAP_IIISNP    =          400"), std::string::npos);
}

// A full disk: the snapshot stops with its writer's text and leaves the
// previous file as it was, without a temporary file beside it.
TEST(SnapshotWriteFailure, KeepsThePreviousFile) {
    TempDir dir;
    write_case(dir, "");
    ASSERT_EQ(from_data(dir, "0.01", "half").exit_code, 0);
    const std::string previous = read_file(dir.file("half.snp"));
    const ProgramResult r =
        run_program({"/bin/sh", "-c", "ulimit -f 8 && trap '' XFSZ && exec \"$0\" -startup:alone", bare_program()},
                    "0\n1\n0.01\nhalf\ncase.map\n1\n0\n0\n", dir.path);
    EXPECT_EQ(r.exit_code, 208);
    EXPECT_EQ(tail_from(r.out, " ***ERROR** "), " ***ERROR** Error occurred while writing parameters to file\n"
                                                " =========================================================\n"
                                                " ERROR: Abnormal termination of ZARIK by WRITEPARM   \n"
                                                " =========================================================\n \n");
    EXPECT_TRUE(read_file(dir.file("half.snp")) == previous);
    EXPECT_FALSE(std::filesystem::exists(dir.file("half.snp.partial")));
}

// Names with folders, quoted as the dialogue needs them: the files land in
// the folder, and the restore reads the map file the snapshot names.
TEST(FolderNames, HoldTheFilesAndTheRestoreFindsTheMap) {
    TempDir dir;
    std::filesystem::create_directory(dir.file("sub"));
    write_empty_case(dir, "sub/case.map");
    ProgramResult r = run_program({bare_program(), "-startup:alone"},
                                  "0\n1\n0.01\n'./sub/half'\n'sub/case.map'\n1\n1\n'./sub/out'\n0\n", dir.path);
    ASSERT_EQ(r.exit_code, 0) << r.out;
    for (const char* f : {"sub/half.snp", "sub/out.inf", "sub/out_01.out"})
        EXPECT_TRUE(std::filesystem::exists(dir.file(f))) << f;
    for (const char* f : {".snp", ".inf", "_01.out"}) EXPECT_FALSE(std::filesystem::exists(dir.file(f))) << f;

    const std::string map = read_file(dir.file("sub/case.map"));
    write_file(dir.file("sub/case.map"), replaced(map, "PRINT_STEP = 1.0E-3", "PRINT_STEP = 2.5E-3"));
    r = run_program({bare_program(), "-startup:alone"}, "1\n0\n0\n1\n1\n'sub/rest'\n0\n'sub/half.snp'\n0.01\n",
                    dir.path);
    ASSERT_EQ(r.exit_code, 0) << r.out;
    EXPECT_FALSE(contains(r.out, "Specified Mapfile not found")) << r.out;
    std::vector<std::string> times;
    for (const std::string& line : lines_of(read_file(dir.file("sub/rest_01.out")))) times.push_back(line.substr(0, 23));
    EXPECT_EQ(times, (std::vector<std::string>{pad_text("No network", 23), "   0.12500000000000E-01",
                                               "   0.15000000000000E-01", "   0.17500000000000E-01",
                                               "   0.20000000000000E-01"}));
}

// An incremental snapshot of a 28-character base is named by its 34
// characters: the console line shows the file written, and a restore takes
// that name as typed.
TEST(IncrementalNames, TheFileIsTheNameShown) {
    TempDir dir;
    write_empty_case(dir);
    const std::string given = "abcdefghijklmnopqrstuvwxyz1234567", file = "abcdefghijklmnopqrstuvwxyz12_01.sn";
    ProgramResult r = run_program({bare_program(), "-startup:alone"},
                                  "0\n-2\n0.01\n" + given + "\ncase.map\n1\n0\n0\n", dir.path);
    ASSERT_EQ(r.exit_code, 0) << r.out;
    EXPECT_TRUE(contains(r.out, "  File: " + file + "\n")) << r.out;
    EXPECT_TRUE(std::filesystem::exists(dir.file(file)));
    EXPECT_FALSE(std::filesystem::exists(dir.file(file + "p")));
    r = run_program({bare_program(), "-startup:alone"}, "1\n0\n0\n1\n0\n0\n" + file + "\n0.01\n", dir.path);
    EXPECT_EQ(r.exit_code, 0) << r.out;
    EXPECT_TRUE(contains(r.out, " => This run is 100% complete.\n")) << r.out;
}

}  // namespace

// Every fixture map that runs: a snapshot taken mid-run restores with the
// same map and goes on as the run that wrote it, also where the map
// declares more than the run uses (subsystems above their highest node,
// storage sections).
struct FixtureMap {
    const char* folder;  // under the source tree
    const char* map;
    const char* half = "0.0005";  // of its finish time
};
void PrintTo(const FixtureMap& m, std::ostream* os) { *os << m.map; }

class FixtureMapRestore : public testing::TestWithParam<FixtureMap> {};

TEST_P(FixtureMapRestore, GoesOnAsTheRunThatWroteIt) {
    const FixtureMap& m = GetParam();
    TempDir dir;
    for (const auto& e : std::filesystem::directory_iterator(std::string(ZARIK_SOURCE_DIR) + "/" + m.folder))
        if (e.is_regular_file()) std::filesystem::copy_file(e.path(), dir.file(e.path().filename().string()));
    const auto bare = [&dir](const std::string& answers) {
        return run_program({bare_program(), "-startup:alone"}, answers, dir.path);
    };
    ProgramResult r = bare("0\n1\n0\nstraight\n" + std::string(m.map) + "\n1\n0\n0\n");
    ASSERT_EQ(r.exit_code, 0) << r.out;
    r = bare("0\n1\n" + std::string(m.half) + "\nhalf\n" + m.map + "\n1\n0\n0\n");
    ASSERT_EQ(r.exit_code, 0) << r.out;
    r = bare("1\n1\n0\nrestored\n0\n1\n0\n0\nhalf.snp\n" + std::string(m.half) + "\n");
    ASSERT_EQ(r.exit_code, 0) << r.out;
    // The dimensions say what the arrays had room for, the rest the state.
    const auto state = [&dir](const char* file) {
        const std::string text = read_file(dir.file(file));
        return text.substr(std::min(text.find("\n PARAMETERS:\n"), text.size()));
    };
    ASSERT_TRUE(contains(state("straight.snp"), " PARAMETERS:"));
    EXPECT_TRUE(state("restored.snp") == state("straight.snp"));
}

constexpr const char* kNetworkFixtures = "network/tests/fixtures";

INSTANTIATE_TEST_SUITE_P(
    Snapshot, FixtureMapRestore,
    testing::Values(FixtureMap{kNetworkFixtures, "br_gm.map"}, FixtureMap{kNetworkFixtures, "br_gm_own.map"},
                    FixtureMap{kNetworkFixtures, "br_ss2.map"}, FixtureMap{kNetworkFixtures, "gm_block_branches.map"},
                    FixtureMap{kNetworkFixtures, "ok_head.map"}, FixtureMap{kNetworkFixtures, "ok_order_a.map"},
                    FixtureMap{kNetworkFixtures, "ok_order_b.map"}, FixtureMap{kNetworkFixtures, "ok_pgblist.map"},
                    FixtureMap{kNetworkFixtures, "ok_pgblist_none.map"}, FixtureMap{kNetworkFixtures, "ok_stray.map"},
                    FixtureMap{kNetworkFixtures, "params_case.map", "0.005"},
                    FixtureMap{kNetworkFixtures, "pgblist_comments.map"},
                    FixtureMap{kNetworkFixtures, "solution_chatter.map", "0.005"},
                    FixtureMap{kNetworkFixtures, "solution_coil_initial.map", "0.005"},
                    FixtureMap{kNetworkFixtures, "solution_dc_step.map", "0.005"},
                    FixtureMap{kNetworkFixtures, "solution_lc_tank.map", "0.005"},
                    FixtureMap{kNetworkFixtures, "solution_rc_initial.map", "0.005"},
                    FixtureMap{kNetworkFixtures, "solution_rl_initial.map", "0.005"},
                    FixtureMap{kNetworkFixtures, "solution_rl_initial_no_volts.map", "0.005"},
                    FixtureMap{kNetworkFixtures, "solution_rlc_initial.map", "0.005"},
                    FixtureMap{kNetworkFixtures, "switching_ac_rl.map", "0.1"},
                    FixtureMap{kNetworkFixtures, "switching_rl.map", "0.005"},
                    FixtureMap{kNetworkFixtures, "varbranch_rl.map", "0.02"},
                    FixtureMap{"engine/tests/fixtures", "storage_case.map", "0.000075"}),
    [](const auto& info) {
        std::string name = info.param.map;
        name = name.substr(0, name.find('.'));
        name.erase(std::remove(name.begin(), name.end(), '_'), name.end());
        return name;
    });
