// The sampled-data file source: interpolation between the records around
// the present time, the three ends of data, snapshot starts and the stops.
#include <string>
#include <vector>

#include "controls/file_source/file_sources.h"
#include "controls/tests/file_reader_support.h"

namespace {

using Rows = std::vector<std::vector<double>>;
constexpr double kH = 1.0 / 1024.0;

// Times k/512 with values 1, 2, 3.
const std::string kThree = "time value\n0 1\n0.001953125 2\n0.00390625, 3\n";

class FileRead : public FileBlockTest {
protected:
    std::vector<double> read(const std::string& name, int32_t ncol = 2, int32_t eof = 0, int32_t mode = 0,
                             double freq = 0.0, int32_t absolute = 1) {
        std::vector<double> out(static_cast<size_t>(std::max(ncol, 0)), -1.0);
        FILEREAD(name, absolute, ncol, mode, eof, freq, out.data());
        return out;
    }
};

struct EndCase {
    std::string name;
    int32_t eof_mode;
    Rows expected;  // steps 0 to 6
};
void PrintTo(const EndCase& c, std::ostream* os) { *os << c.name; }

class FileReadEnds : public FileRead, public ::testing::WithParamInterface<EndCase> {};

TEST_P(FileReadEnds, StepsZeroToSix) {
    write("three.txt", kThree);
    const Captured c = steps(0, 6, [&] { return read("three.txt", 2, GetParam().eof_mode); });
    EXPECT_FALSE(c.aborted) << c.out;
    EXPECT_EQ(seen, GetParam().expected);
}

const Rows kStart{{0, 1}, {kH, 1.5}, {2 * kH, 2}, {3 * kH, 2.5}};
Rows with(Rows rows, const Rows& tail) {
    rows.insert(rows.end(), tail.begin(), tail.end());
    return rows;
}

INSTANTIATE_TEST_SUITE_P(
    Modes, FileReadEnds,
    ::testing::Values(EndCase{"hold", 0, with(kStart, {{4 * kH, 3}, {4 * kH, 3}, {4 * kH, 3}})},
                      EndCase{"repeat", 1, with(kStart, {{4 * kH, 3}, {2 * kH, 2}, {0, 1}})},
                      EndCase{"extrapolate", 2, with(kStart, {{4 * kH, 3}, {5 * kH, 3.5}, {6 * kH, 4}})}),
    [](const auto& info) { return info.param.name; });

TEST_F(FileRead, TheIntervalFromTheFrequencyIgnoresColumnOne) {
    write("f.txt", "h\n0 1\n5 2\n7 3\n");
    RUN_CLOCK.DELT = 0.5e-3;
    steps(0, 3, [&] { return read("f.txt", 2, 0, 1, 1000.0); });
    EXPECT_EQ(seen[1][1], 1.5);
    EXPECT_EQ(seen[2][1], 2.0);
    EXPECT_DOUBLE_EQ(seen[3][1], 2.5);
}

TEST_F(FileRead, ARunFromASnapshotGoesOnAsTheUninterruptedRun) {
    write("three.txt", kThree);
    steps(0, 12, [&] { return read("three.txt", 2, 1); });
    const Rows whole = seen;
    for (int k : {0, 1, 3, 4, 7}) {
        SCOPED_TRACE(k);
        clear_block_stores();
        seen.clear();
        steps(0, k, [&] { return read("three.txt", 2, 1); });
        // What the snapshot keeps of the block: its stores.
        const std::vector<double> f(&STORAGE.STORF(kStartSlots.storf), &STORAGE.STORF(kStartSlots.storf) + 35);
        const std::vector<int32_t> i(&STORAGE.STORI(kStartSlots.stori), &STORAGE.STORI(kStartSlots.stori) + 3);
        close_all_units();
        clear_block_stores();
        std::copy(f.begin(), f.end(), &STORAGE.STORF(kStartSlots.storf));
        std::copy(i.begin(), i.end(), &STORAGE.STORI(kStartSlots.stori));
        const Captured c = steps(k + 1, 12, [&] { return read("three.txt", 2, 1); }, true);
        EXPECT_FALSE(c.aborted) << c.out;
        EXPECT_EQ(seen, whole);
    }
}

TEST_F(FileRead, TheFileKeepsItsOwnUnitOffTheInputStack) {
    write("three.txt", kThree);
    steps(0, 3, [&] {
        EXPECT_EQ(INPUT.INPUT_UNIT, INPUT_UNIT_NONE);
        auto out = read("three.txt");
        EXPECT_EQ(INPUT.INPUT_UNIT, INPUT_UNIT_NONE);
        return out;
    });
    // A second run opens it again on the same unit.
    const Captured c = steps(0, 2, [&] { return read("three.txt"); });
    EXPECT_FALSE(c.aborted);
    EXPECT_EQ(seen.back(), (std::vector<double>{2 * kH, 2}));
}

TEST_F(FileRead, ANameOf69CharactersFitsBehindThePrefixAnd70DoNot) {
    const std::string name69 = std::string(65, 'n') + ".txt";
    std::filesystem::create_directory(dir.file("run"));
    write(name69, kThree);
    const ScopedChdir inside(dir.file("run"));
    Captured c = steps(0, 1, [&] { return read(name69, 2, 0, 0, 0.0, 0); });
    EXPECT_FALSE(c.aborted) << c.out;
    EXPECT_EQ(seen.back(), (std::vector<double>{kH, 1.5}));
    c = steps(0, 0, [&] { return read("x" + name69, 2, 0, 0, 0.0, 0); });
    EXPECT_EQ(c.out, stop_text("Name of the file is too long", "FILEREAD"));
}

struct StopCase {
    std::string name, file_text;
    int32_t ncol, eof_mode, interval_mode;
    double frequency;
    int last_step;
    std::string message;
};
void PrintTo(const StopCase& c, std::ostream* os) { *os << c.name; }

class FileReadStops : public FileRead, public ::testing::WithParamInterface<StopCase> {};

TEST_P(FileReadStops, WithItsMessage) {
    const StopCase& p = GetParam();
    write("d.txt", p.file_text);
    const Captured c =
        steps(0, p.last_step, [&] { return read("d.txt", p.ncol, p.eof_mode, p.interval_mode, p.frequency); });
    EXPECT_TRUE(c.aborted);
    EXPECT_EQ(c.out, stop_text(p.message, "FILEREAD"));
}

INSTANTIATE_TEST_SUITE_P(
    Stops, FileReadStops,
    ::testing::Values(
        StopCase{"twelveColumns", kThree, 12, 0, 0, 0.0, 0, "Number of columns must be between 0 and 11"},
        StopCase{"negativeColumns", kThree, -1, 0, 0, 0.0, 0, "Number of columns must be between 0 and 11"},
        StopCase{"oneRecord", "h\n0 1\n", 2, 1, 0, 0.0, 0, "Error reading data from the file: d.txt"},
        StopCase{"headerOnly", "h\n", 2, 0, 0, 0.0, 0, "Error reading data from the file: d.txt"},
        StopCase{"slowSampling", kThree, 2, 0, 1, 1e-6, 0, "Sampling Frequency too small"},
        // Repeating a file whose time falls back as far as it rises: no pass moves time on.
        StopCase{"fallingLater", "h\n0 1\n0.001953125 2\n0 3\n", 2, 1, 0, 0.0, 3,
                 "Data in the file should be in ascending order: d.txt"},
        StopCase{"repeatWithoutTime", "h\n0 1\n0 2\n0 3\n", 2, 1, 0, 0.0, 1,
                 "Data in the file should be in ascending order: d.txt"},
        StopCase{"unknownEnd", kThree, 2, 3, 0, 0.0, 6, "Error reading data from the file: d.txt"},
        StopCase{"badNumber", "h\n0 1\n0.001953125 2\n0.00390625 x\n", 2, 0, 0, 0.0, 4,
                 "Error reading data from the file: d.txt"},
        StopCase{"notANumber", "h\n0 1\n0.001953125 NaN\n", 2, 0, 0, 0.0, 0, "Error reading data from the file: d.txt"},
        StopCase{"infiniteTime", "h\n0 1\n0.001953125 2\nInf 3\n", 2, 0, 0, 0.0, 4,
                 "Error reading data from the file: d.txt"}),
    [](const auto& info) { return info.param.name; });

// Each interval is taken from the two records it joins, also when the
// time column steps back: the reading goes on to the record after.
TEST_F(FileRead, ATimeColumnThatStepsBackIsReadOn) {
    write("back.txt", "h\n0 1\n0.001953125 2\n0.0009765625 3\n0.00390625 4\n");
    Captured c = steps(0, 4, [&] { return read("back.txt"); });
    EXPECT_FALSE(c.aborted) << c.out;
    ASSERT_EQ(seen.size(), 5u);
    const Rows want{{0, 1}, {kH, 1.5}, {2 * kH, 10.0 / 3.0}, {3 * kH, 11.0 / 3.0}, {4 * kH, 4}};
    for (size_t k = 0; k < want.size(); ++k)
        for (size_t i = 0; i < 2; ++i) EXPECT_NEAR(seen[k][i], want[k][i], 1e-15) << k << " " << i;
    // Falling already from record 1 to record 2.
    write("d.txt", "h\n1 1\n0 2\n");
    seen.clear();
    c = steps(0, 1, [&] { return read("d.txt"); });
    EXPECT_FALSE(c.aborted) << c.out;
    EXPECT_EQ(seen, (Rows{{1, 1}, {0, 2}}));
}

TEST_F(FileRead, EqualTimesStepTheDataAndAnExtrapolationWithoutSlopeHolds) {
    write("step.txt", "h\n0 1\n0.001953125 1\n0.001953125 5\n");
    const Captured c = steps(0, 5, [&] { return read("step.txt", 2, 2); });
    EXPECT_FALSE(c.aborted) << c.out;
    EXPECT_EQ(seen[2], (std::vector<double>{2 * kH, 5}));
    EXPECT_EQ(seen[5], (std::vector<double>{2 * kH, 5}));
}

TEST_F(FileRead, NoColumnsReadsAndWritesNothing) {
    write("three.txt", kThree);
    const Captured c = steps(0, 6, [&] { return read("three.txt", 0, 1, 1, 512.0); });
    EXPECT_FALSE(c.aborted) << c.out;
    EXPECT_TRUE(seen.back().empty());
}

TEST_F(FileRead, AMissingFileIsReportedByTheOpening) {
    const Captured c = steps(0, 0, [&] { return read("none.txt"); });
    EXPECT_TRUE(c.aborted);
    EXPECT_EQ(c.out, " ***WARN*** ZARIK: Error while opening file for read: none.txt\n" + abort_frame("OPENFILE"));
}

}  // namespace
