// Snapshot file names, incremental recycling and the end-of-run listing.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "engine/engine_reset.h"
#include "engine/run_state.h"
#include "network/input_state.h"
#include "network/line_reader.h"
#include "platform/tests/support/capture.h"
#include "platform/tests/support/run_program.h"
#include "platform/tests/support/unit_ops.h"
#include "snapshot/snapshot.h"

namespace {

class SnapshotNames : public testing::Test {
protected:
    void SetUp() override { reset_all_engine_state(); }
    void TearDown() override { reset_all_engine_state(); }
    // Opens the next output snapshot; the name of the file it will become.
    std::string next(Captured* shown = nullptr) {
        const ScopedChdir here(dir_.path);
        Captured c = capture([] {
            SNAPFILE(3);
            CLOSEFILE();
        });
        if (shown) *shown = c;
        return SNAPSHOT_COUNTERS.target_path;
    }
    std::string listing() {
        return capture([] { SNAPFILE(0); }).out;
    }
    TempDir dir_;
};

struct NameCase {
    const char* label;
    const char* given;
    const char* file;
};
void PrintTo(const NameCase& c, std::ostream* os) { *os << c.label; }

class PlainNames : public SnapshotNames, public testing::WithParamInterface<NameCase> {};

TEST_P(PlainNames, BaseAndSuffixOnly) {
    std::filesystem::create_directories(std::filesystem::path(dir_.file(GetParam().file)).parent_path());
    RUN_SETUP.snap_file = GetParam().given;
    EXPECT_EQ(next(), GetParam().file);
    EXPECT_EQ(SNAPSHOT_COUNTERS.planned_taken, 1);
}

INSTANTIATE_TEST_SUITE_P(
    Snapshot, PlainNames,
    testing::Values(NameCase{"Default", "snap.snp", "snap.snp"}, NameCase{"NoSuffix", "snap", "snap.snp"},
                    NameCase{"LongSuffixDropped", "case.snapshot", "case.snp"},
                    NameCase{"BlankEndsBase", "my model", "my.snp"},
                    NameCase{"ThirtyFourLetters", "abcdefghijklmnopqrstuvwxyzABCDEFGH",
                             "abcdefghijklmnopqrstuvwxyzAB.snp"},
                    NameCase{"FolderWithDots", "./sub.d/half.x", "./sub.d/half.snp"},
                    // The folder alone fills the 28 characters; the file keeps
                    // the 34 of its working name.
                    NameCase{"LongFolder", "abcdefghijklmnopqrstuvwxyz./half", "abcdefghijklmnopqrstuvwxyz./half.s"}),
    [](const auto& info) { return std::string(info.param.label); });

TEST_F(SnapshotNames, IncrementalNamesRecycleAfterTen) {
    RUN_SETUP.snap_incremental = LTRUE;
    Captured shown;
    for (int k = 1; k <= 10; ++k) EXPECT_EQ(next(), "snap_" + std::string(k < 10 ? "0" : "") + std::to_string(k) + ".snp");
    EXPECT_EQ(next(&shown), "snap_01.snp");
    EXPECT_EQ(shown.out,
              " Maximum # of incremental snapshot files reached.\n Snapshot file names will be recycled.\n");
    EXPECT_EQ(next(&shown), "snap_02.snp");
    EXPECT_EQ(shown.out, "");
    std::string expected;
    for (int k : {3, 4, 5, 6, 7, 8, 9, 10, 1, 2})
        expected += "\n           Snapshot: snap_" + std::string(k < 10 ? "0" : "") + std::to_string(k) + ".snp         \n";
    EXPECT_EQ(listing(), expected);
}

TEST_F(SnapshotNames, TwentyEightLetterBaseKeepsItsNumber) {
    RUN_SETUP.snap_incremental = LTRUE;
    RUN_SETUP.snap_file = "abcdefghijklmnopqrstuvwxyzABCDEFGH";
    EXPECT_EQ(next(), "abcdefghijklmnopqrstuvwxyzAB_01.sn");
}

TEST_F(SnapshotNames, RequestedSnapshotsHaveTheirOwnNameAndListing) {
    EXPECT_EQ(listing(), "");
    SNAPSHOT_COUNTERS.on_request = LTRUE;
    EXPECT_EQ(next(), "runtime.snp");
    SNAPSHOT_COUNTERS.on_request = LFALSE;
    EXPECT_EQ(SNAPSHOT_COUNTERS.request_taken, 1);
    EXPECT_EQ(SNAPSHOT_COUNTERS.planned_taken, 0);
    EXPECT_EQ(listing(), "\n    Manual snapshot: runtime.snp         \n");
    RUN_SETUP.snap_incremental = LTRUE;
    EXPECT_EQ(listing(), "\n Manual snapshot(s): Taken\n");
}

// The file is written beside its name and renamed when whole; a failed
// open names the file asked for.
TEST_F(SnapshotNames, AFileThatCannotBeOpenedIsNamedAsGiven) {
    RUN_SETUP.snap_file = "nowhere/case.snp";
    Captured c;
    EXPECT_EQ(next(&c), "nowhere/case.snp");
    EXPECT_TRUE(c.aborted);
    EXPECT_EQ(c.out, " ***WARN*** ZARIK: Error while opening file: nowhere/case.snp\n" + abort_frame("OPENFILE1"));
    EXPECT_EQ(SNAPSHOT_COUNTERS.temp_path, "nowhere/case.snp.partial");
}

TEST_F(SnapshotNames, InputSnapNameGetsItsSuffix) {
    const ScopedChdir here(dir_.path);
    for (const char* f : {"input_snap.snp", "other.snp", "input_snapshot"}) write_file(dir_.file(f), "x\n");
    for (const auto& [given, opened] : {std::pair{"input_snap", "input_snap.snp"}, std::pair{"other.snp", "other.snp"},
                                        std::pair{"input_snapshot", "input_snapshot"}}) {
        RUN_SETUP.start_file = given;
        const Captured c = capture([] {
            SNAPFILE(1);
            CLOSEFILE();
        });
        EXPECT_FALSE(c.aborted) << c.out;
        EXPECT_EQ(SNAPSHOT_COUNTERS.target_path, opened);
    }
}

}  // namespace
