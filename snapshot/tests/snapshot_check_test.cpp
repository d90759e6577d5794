// The check of an input snapshot before a run, and the map-file update of
// a restored run.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "engine/engine_reset.h"
#include "engine/run_state.h"
#include "engine/storage.h"
#include "network/dimensions.h"
#include "network/input_state.h"
#include "network/line_reader.h"
#include "network/parameters.h"
#include "platform/tests/support/capture.h"
#include "platform/tests/support/run_program.h"
#include "platform/tests/support/unit_ops.h"
#include "snapshot/run_output.h"
#include "snapshot/snapshot.h"

namespace {

class SnapshotCheck : public testing::Test {
protected:
    void SetUp() override { reset_all_engine_state(); }
    void TearDown() override { reset_all_engine_state(); }
    Captured check(const std::string& first_record, const char* name = "in.snp") {
        write_file(dir_.file(name), "! ZARIK SNAP-SHOT - Version, Time, Delt\n" + first_record + "\n");
        RUN_SETUP.start_file = name;
        const ScopedChdir here(dir_.path);
        return capture([this] { SNAP_OK(accepted_, time_); });
    }
    Logical accepted_ = LFALSE;
    double time_ = -1.0;
    TempDir dir_;
};

TEST_F(SnapshotCheck, AcceptsThisVersionAndShiftsThePlannedSnapshot) {
    RUN_SETUP.snap_planned = LTRUE;
    RUN_CLOCK.SNAP_TIME = 0.2;
    const Captured c = check("   4.600000000000000        1.000000000000000       0.5000000000000000E-04");
    EXPECT_FALSE(c.aborted) << c.out;
    EXPECT_TRUE(is_true(accepted_));
    EXPECT_EQ(time_, 1.0);
    EXPECT_EQ(RUN_CLOCK.DELT, 5e-5);
    EXPECT_DOUBLE_EQ(RUN_CLOCK.SNAP_TIME, 1.2);
    EXPECT_EQ(INPUT.INPUT_UNIT, INPUT_UNIT_NONE);
}

TEST_F(SnapshotCheck, WithoutPlannedSnapshotsTheTimeStays) {
    RUN_CLOCK.SNAP_TIME = 0.2;
    EXPECT_FALSE(check(" 4.6000005 1.0 5e-5").aborted);
    EXPECT_EQ(RUN_CLOCK.SNAP_TIME, 0.2);
}

struct Refusal {
    const char* label;
    const char* record;
    std::string shown;
};
void PrintTo(const Refusal& c, std::ostream* os) { *os << c.label; }

class SnapshotRefused : public SnapshotCheck, public testing::WithParamInterface<Refusal> {};

TEST_P(SnapshotRefused, EndsTheRun) {
    const Captured c = check(GetParam().record, "a_long_snapshot.snp");
    EXPECT_TRUE(c.aborted);
    EXPECT_EQ(c.out.substr(0, c.out.find(" ====")), GetParam().shown);
    EXPECT_NE(c.out.find("ERROR: Abnormal termination of ZARIK by SNAP_OK"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(
    Snapshot, SnapshotRefused,
    testing::Values(Refusal{"OtherVersion", " 4.5 1.0 5e-5",
                            "\n **** INCOMPATIBLE SNAP-SHOT FILE a_long_sna ! ****\n"
                            "      THIS SNAPSHOT WAS WRITTEN WITH A DIFFERENT VERSION OF ZARIK!\n"
                            "      PLEASE TAKE A NEW SNAP-SHOT WITH THIS VERSION\n"},
                    Refusal{"VersionThree", " 3.2 1.0 5e-5",
                            " ERROR: ZARIK: Incompatible snap-shot file\n Seems like a HOLVA V3 snap-shot file\n"},
                    Refusal{"VersionTwo", " ****** 1.0", 
                            " ERROR: ZARIK: Incompatible snap-shot file\n Seems like a HOLVA V2 snap-shot file\n"},
                    Refusal{"VersionFive", " 5.0 1.0 5e-5", " ERROR: ZARIK: Incompatible snap-shot file\n"},
                    Refusal{"Unreadable", " 4.6 x 5e-5", " ZARIK: Error while reading snap file:\n"}),
    [](const auto& info) { return std::string(info.param.label); });

// The map-file update reads the "MAP_UPDATE:" pair of a snapshot that is
// open as the current input.
class MapUpdate : public testing::Test {
protected:
    void SetUp() override {
        reset_all_engine_state();
        DIMBLOCK.REQ[ND_NODES] = 3;
        DIMBLOCK.REQ[ND_PGBS] = 15;
        int32_t status = 0;
        ALLOC_STORAGE(status);
        ASSERT_EQ(status, 0);
        DIMBLOCK.NPGBS = 15;
        for (int32_t k = 1; k <= 15; ++k) {
            STORAGE.PGB(k) = k;
            STORAGE.PGBNAME(k).assign("snapshot " + std::to_string(k));
        }
        RUN_CLOCK.DELT = 5e-5;
        RUN_CLOCK.PRINT_STEP = 1e-3;
    }
    void TearDown() override { reset_all_engine_state(); }
    Captured update(const std::string& map, const std::string& snapshot = " MAP_UPDATE:\n case.map\n next record\n") {
        if (!map.empty()) write_file(dir_.file("case.map"), map);
        write_file(dir_.file("s.snp"), snapshot);
        const ScopedChdir here(dir_.path);
        INPUT.DATA_FILE_NAME = "s.snp";
        OPENFILE();
        const int32_t unit = INPUT.INPUT_UNIT;
        Captured c = capture([] { UPDATE_MAP(); });
        if (!c.aborted) {
            EXPECT_EQ(INPUT.INPUT_UNIT, unit);
            std::string line;
            unit_read_line(unit, line);
            EXPECT_EQ(line, " next record");
            CLOSEFILE();
        }
        return c;
    }
    TempDir dir_;
};

std::string map_with(const std::string& dims, const std::string& params, const std::string& rest) {
    return "DIMENSIONS:\n NODES = 3\n" + dims + "PARAMETERS:\n TIME_STEP = 5e-5\n" + params + rest + "ENDCASE\n";
}

TEST_F(MapUpdate, MissingMapKeepsTheSnapshotsSettings) {
    const Captured c = update("");
    EXPECT_EQ(c.out, " ***WARN*** Specified Mapfile not found: case.map\n ***WARN*** . Continuing with original parameters.\n");
    EXPECT_EQ(DIMBLOCK.NPGBS, 15);
    EXPECT_EQ(STORAGE.PGB(15), 15.0);
}

TEST_F(MapUpdate, NameIsTheWholeRecord) {
    std::filesystem::create_directory(dir_.file("sub.d"));
    write_file(dir_.file("sub.d/case.map"), map_with(" PGBS = 0\n", " PRINT_STEP = 2e-3\n", ""));
    const Captured c = update("", " MAP_UPDATE:\n sub.d/case.map  \n next record\n");
    EXPECT_EQ(c.out, "");
    EXPECT_EQ(INPUT.MAP_FILE_NAME, "sub.d/case.map");
    EXPECT_EQ(RUN_CLOCK.PRINT_STEP, 2e-3);
    // The snapshot ends after the key: the name is missing.
    const Captured end = update("", " MAP_UPDATE:\n");
    EXPECT_TRUE(end.aborted);
    EXPECT_EQ(end.out.substr(0, 35), " ***ERROR** Unexpected End_Of_File\n");
}

TEST_F(MapUpdate, AnotherNodeCountEndsTheRestore) {
    const Captured c = update(map_with(" NODES = 4\n", "", ""));
    EXPECT_TRUE(c.aborted);
    EXPECT_EQ(c.out.substr(0, c.out.find(" ====")),
              " ***ERROR** Snapshot file is incompatible. \n"
              " ***ERROR** This may be due to modifications done to the project or the definition\n"
              " ***ERROR**  of a component in the project after the Snapshot file created.\n");
}

// A snapshot whose run used 3 of the 5 nodes its map declared: the map
// may give either, and nothing between.
TEST_F(MapUpdate, EitherNodeColumnOfTheSnapshotRestores) {
    DIMBLOCK.REQ[ND_NODES] = 5;
    DIMBLOCK.SNAP_NODES_USED = 3;
    EXPECT_FALSE(update(map_with("", "", "")).aborted);
    EXPECT_FALSE(update(map_with(" NODES = 5\n", "", "")).aborted);
    EXPECT_TRUE(update(map_with(" NODES = 4\n", "", "")).aborted);
}

TEST_F(MapUpdate, MoreChannelsInTheFirstRunComeFromTheMap) {
    std::string names;
    for (int k = 1; k <= 25; ++k) names += "channel " + std::to_string(k) + "\n";
    const Captured c = update(map_with(" PGBS = 25\n", " PRINT_STEP = 1e-7\n PRINT_DIMENSIONS = YES\n",
                                       "MPGBS:\n 2 5 7\nOTHER:\n 1 2 3\nPGBList:\n" + names));
    EXPECT_FALSE(c.aborted) << c.out;
    EXPECT_EQ(DIMBLOCK.NPGBS, 25);
    EXPECT_EQ(STORAGE.PGB.size(), 30);
    EXPECT_EQ(STORAGE.PGBNAME.size(), 30);
    EXPECT_EQ(STORAGE.PGB(15), 0.0);
    EXPECT_EQ(STORAGE.PGBNAME(25), "channel 25");
    EXPECT_EQ(RUN_OUTPUT.mpgbs_count, 2);
    EXPECT_EQ(STORAGE.MPGBS(2), 7);
    EXPECT_EQ(RUN_CLOCK.PRINT_STEP, 5e-5);
    EXPECT_TRUE(is_true(PARAMS.PRINT_DIMENSIONS));
}

TEST_F(MapUpdate, FewerChannelsKeepRoomForTheSnapshotsValues) {
    const Captured c = update(map_with(" PGBS = 5\n", "", "PGBList:\na\nb\nc\nd\ne\n"));
    EXPECT_FALSE(c.aborted) << c.out;
    EXPECT_EQ(DIMBLOCK.NPGBS, 5);
    EXPECT_EQ(STORAGE.PGB.size(), 20);
    EXPECT_EQ(STORAGE.PGBNAME(5), "e");
    // The case writes within the room of 5 channels; the next run reads
    // the snapshot's 15 again.
    EXPECT_EQ(STORAGE.PGB.extent(1), 10);
    CLEAR_STORAGE();
    EXPECT_EQ(STORAGE.PGB.extent(1), 20);
}

TEST_F(MapUpdate, NoChannelsClosesAfterTheParameters) {
    const Captured c = update(map_with(" PGBS = 0\n", " PRINT_STEP =\n PRINT_DIMENSIONS = NO\n", "MPGBS:\n x\n"));
    EXPECT_FALSE(c.aborted) << c.out;
    EXPECT_EQ(DIMBLOCK.NPGBS, 0);
    EXPECT_EQ(RUN_CLOCK.PRINT_STEP, 1e-3);
    EXPECT_FALSE(is_true(PARAMS.PRINT_DIMENSIONS));
}

// Where the sections stand, "part.inc" being the included file; each map
// has PRINT_STEP = 2e-3, and the second channel is named "b" unless the
// list is where the data start does not read it.
struct Layout {
    const char* label;
    std::string map;
    const char* part;
    const char* second = "b";
};
void PrintTo(const Layout& c, std::ostream* os) { *os << c.label; }

class MapUpdateLayout : public MapUpdate, public testing::WithParamInterface<Layout> {};

TEST_P(MapUpdateLayout, TakesTheSettingsAndLeavesTheSnapshotNext) {
    write_file(dir_.file("part.inc"), GetParam().part);
    const Captured c = update(GetParam().map);
    ASSERT_FALSE(c.aborted) << c.out;
    EXPECT_EQ(RUN_CLOCK.PRINT_STEP, 2e-3);
    EXPECT_EQ(STORAGE.PGBNAME(2), GetParam().second);
}

const std::string kTwoNames = "PGBList:\na\nb\n";
const char* const kStep = " PRINT_STEP = 2e-3\n";

INSTANTIATE_TEST_SUITE_P(
    Snapshot, MapUpdateLayout,
    testing::Values(
        Layout{"SectionsAgainAfterAnother",
               map_with(" PGBS = 2\n", kStep,
                        "SUBSYSDIM:\n 1 3\nPARAMETERS:\n PRINT_STEP = 7e-3\nDIMENSIONS:\n NODES = 9\n" + kTwoNames),
               ""},
        Layout{"ParametersInAnIncludedFile",
               "DIMENSIONS:\n NODES = 3\n PGBS = 2\nINCLUDE 'part.inc'\nSUBSYSDIM:\n 1 3\n" + kTwoNames + "ENDCASE\n",
               "PARAMETERS:\n PRINT_STEP = 2e-3\nENDPAGE\n"},
        Layout{"ChannelsInAnIncludedFile", map_with(" PGBS = 2\n", kStep, "CX:\n 1 0.5\nINCLUDE 'part.inc'\n"),
               "MPGBS:\n 1 2\nPGBList:\na\nb\nENDPAGE\n"},
        Layout{"IncludesOfMissingFilesInSkippedSections",
               map_with(" PGBS = 2\n", kStep,
                        "IGNORE:\n 1\nINCLUDE 'missing.inc'\nOTHER:\nINCLUDE 'missing.inc'\n"
                        "MAP: 'missing_page.map'\n 1 3  1 2 3\n 0 0\n" + kTwoNames),
               ""},
        Layout{"NoChannelList", map_with(" PGBS = 15\n", kStep, ""), "", "snapshot 2"},
        Layout{"ChannelListInAPage", map_with(" PGBS = 15\n", kStep, "MAP: 'part.inc'\n 1 3  1 2 3\n 0 0\n"),
               "PGBList:\na\nb\nENDPAGE\n", "snapshot 2"},
        Layout{"ChannelListAfterTheCaseEnd", map_with(" PGBS = 15\n", kStep, "") + kTwoNames, "", "snapshot 2"}),
    [](const auto& info) { return std::string(info.param.label); });

// Channel names are sought up to "ENDCASE" only; with another count the
// snapshot's names no longer fit and the channels are all "PGB".
TEST_F(MapUpdate, MissingChannelNamesAreSoughtToTheCaseEnd) {
    const Captured c = update(map_with(" PGBS = 2\n", "", "MAP: 'page.map'\n 1 3  1 2 3\n 0 0\n"));
    ASSERT_FALSE(c.aborted) << c.out;
    EXPECT_EQ(DIMBLOCK.NPGBS, 2);
    EXPECT_EQ(STORAGE.PGBNAME(2), "PGB");
}

// Stops after a page's "MAP:" line name the map file, which is the one read.
struct UpdateStop {
    const char* label;
    std::string after_page;
    std::string shown;
    const char* channels = "3";
};
void PrintTo(const UpdateStop& c, std::ostream* os) { *os << c.label; }

class MapUpdateStop : public MapUpdate, public testing::WithParamInterface<UpdateStop> {};

TEST_P(MapUpdateStop, NamesTheMapFile) {
    const Captured c = update("DIMENSIONS:\n NODES = 3\n PGBS = " + std::string(GetParam().channels) +
                              "\nMAP: 'page.map'\n 1 3  1 2 3\n 0 0\n" + GetParam().after_page);
    EXPECT_TRUE(c.aborted);
    EXPECT_NE(c.out.find(GetParam().shown), std::string::npos) << c.out;
}

INSTANTIATE_TEST_SUITE_P(
    Snapshot, MapUpdateStop,
    testing::Values(UpdateStop{"ListCutShort", "PGBList:\na\nb\n",
                               " Data file name: " + pad_text("case.map", 34) + "...\n"},
                    UpdateStop{"OverLongLine", "MPGBS:\n" + std::string(UNIT_RECORD_MAX + 1, '1') + "\n",
                               " Likely file names are: " + pad_text("case.map", 72) + "case.map "},
                    // The count: the data start's refusal of a negative one, the
                    // bound of a count that a snapshot holds; a key among the labels.
                    UpdateStop{"NegativeChannelCount", "PGBList:\na\n",
                               " Negative dimesion           -1  for " + pad_text("PGBS", 72) + "\n", "-1"},
                    UpdateStop{"ChannelCountBeyondItsBound", "PGBList:\na\n",
                               " ERROR: Dimension PGBS = 1048577 is beyond its bound of 1048576\n"
                               " ***ERROR** Memory requirement too high, Errors in allocation. \n",
                               "1048577"},
                    UpdateStop{"KeyAmongTheLabels", "PGBList:\na\nb\nENDCASE\n",
                               " ***ERROR** Unexpected End_Of_File\n =========================================================\n"
                               " Following is the last read data line:\n ENDCASE"}),
    [](const auto& info) { return std::string(info.param.label); });

}  // namespace
