// The file source that starts at a given time and the XY table read from a
// file: their examples, their set-up checks and their stops.
#include <array>
#include <string>
#include <vector>

#include "controls/file_source/file_sources.h"
#include "controls/tests/file_reader_support.h"

namespace {

using Rows = std::vector<std::vector<double>>;
constexpr double kH = 1.0 / 1024.0;

class FileReadDelayed : public FileBlockTest {
protected:
    std::vector<double> read(int32_t prestart, double start, int32_t ncol = 2) {
        std::vector<double> out(static_cast<size_t>(ncol), -1.0);
        FILEREAD_DELAYED("d.txt", 1, ncol, 0, 0, prestart, 0.0, start, out.data());
        return out;
    }
};

TEST_F(FileReadDelayed, PlaybackStartsAtTheStartTimeWithRecordOneOrZerosBefore) {
    write("d.txt", "t v\n0 5\n0.001953125 6\n0.00390625 7\n");
    const double start = 20 * kH;
    for (int32_t prestart : {1, 0}) {
        SCOPED_TRACE(prestart);
        seen.clear();
        clear_block_stores();
        const Captured c = steps(0, 22, [&] { return read(prestart, start); });
        EXPECT_FALSE(c.aborted) << c.out;
        const std::vector<double> before = prestart != 0 ? std::vector<double>{0, 5} : std::vector<double>{0, 0};
        for (int k = 0; k < 20; ++k) EXPECT_EQ(seen[static_cast<size_t>(k)], before) << k;
        EXPECT_EQ(seen[20], (std::vector<double>{0, 5}));
        EXPECT_EQ(seen[21], (std::vector<double>{kH, 5.5}));
        EXPECT_EQ(seen[22], (std::vector<double>{2 * kH, 6}));
    }
}

TEST_F(FileReadDelayed, AStartAtTimeZeroPlaysAsTheUndelayedSource) {
    write("d.txt", "t v\n0 1\n0.001953125 2\n0.00390625 3\n");
    steps(0, 3, [&] { return read(1, 1e-5 * kH); });
    EXPECT_EQ(seen, (Rows{{0, 1}, {kH, 1.5}, {2 * kH, 2}, {3 * kH, 2.5}}));
}

TEST_F(FileReadDelayed, ATimeColumnThatStepsBackIsReadOn) {
    write("d.txt", "t v\n0 5\n0.001953125 6\n0.0009765625 7\n0.00390625 8\n");
    const Captured c = steps(0, 5, [&] { return read(1, 2 * kH); });
    EXPECT_FALSE(c.aborted) << c.out;
    ASSERT_EQ(seen.size(), 6u);
    EXPECT_EQ(seen[3], (std::vector<double>{kH, 5.5}));
    const Rows want{{2 * kH, 22.0 / 3.0}, {3 * kH, 23.0 / 3.0}};
    for (size_t k = 0; k < 2; ++k)
        for (size_t i = 0; i < 2; ++i) EXPECT_NEAR(seen[4 + k][i], want[k][i], 1e-14) << k << " " << i;
}

TEST_F(FileReadDelayed, AFirstLineShortOfColumnsStopsTheRun) {
    for (const std::string text : {"h\n1 2\n3\n4 5 6\n", "h\n1 2\n"}) {
        SCOPED_TRACE(text);
        fresh_stores();
        write("d.txt", text);
        const Captured c = steps(0, 0, [&] { return read(1, 0.0, 3); });
        EXPECT_EQ(c.out, stop_text("Number of columns in the file is less than the specified value: d.txt",
                                   "FILEREAD"));
    }
    fresh_stores();
    write("d.txt", "h\n");
    const Captured c = steps(0, 0, [&] { return read(1, 0.0, 3); });
    EXPECT_EQ(c.out, stop_text("Error reading data from the file: d.txt", "FILEREAD"));
}

class XyTableFile : public FileBlockTest {
protected:
    std::array<double, 10> look(double x, int32_t stepped = 0, int32_t n = 1, const std::string& name = "t.txt") {
        std::array<double, 10> out;
        out.fill(-1.0);
        XYTABLE(name, 1, n, stepped, x, out.data());
        return out;
    }
    // One call per step with the inputs given; output 1 of each.
    std::vector<double> run(const std::vector<double>& xs, int32_t stepped = 0) {
        const Captured c = steps(0, static_cast<int>(xs.size()) - 1, [&] {
            const auto out = look(xs[static_cast<size_t>(RUN_CLOCK.NSTEP)], stepped);
            return std::vector<double>(out.begin(), out.end());
        });
        EXPECT_FALSE(c.aborted) << c.out;
        std::vector<double> y;
        for (const auto& s : seen) y.push_back(s[0]);
        return y;
    }
};

const std::string kTable = "! x and y\n\n/ three records\n0 10\n1, 20\n2 40\n";

TEST_F(XyTableFile, TheExampleLinearAndStepped) {
    write("t.txt", kTable);
    EXPECT_EQ(run({1.5, 1.5, 1.25, -5, 7, 2, 0.5}), (std::vector<double>{30, 30, 25, 10, 40, 40, 15}));
    seen.clear();
    EXPECT_EQ(run({1.5, 1.5, 1.25, 0.5}, 1), (std::vector<double>{40, 40, 20, 20}));
}

TEST_F(XyTableFile, AFallingInputRewindsTheFile) {
    write("t.txt", kTable);
    EXPECT_EQ(run({0.0, 1.5, 0.5}), (std::vector<double>{10, 30, 15}));
}

TEST_F(XyTableFile, OutputsPastTheColumnsAreZero) {
    write("t2.txt", "0 1 2\n1 3 4\n");
    const Captured c = steps(0, 2, [&] {
        const auto out = look(0.5, 0, 2, "t2.txt");
        return std::vector<double>(out.begin(), out.end());
    });
    EXPECT_FALSE(c.aborted) << c.out;
    EXPECT_EQ(seen.back(), (std::vector<double>{2, 3, 0, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(INPUT.INPUT_UNIT, INPUT_UNIT_NONE);
}

TEST_F(XyTableFile, ASnapshotStartCountsTheRecordsAgain) {
    write("t.txt", kTable);
    STORAGE.STORI(kStartSlots.stori + 2) = 99;
    STORAGE.STORI(kStartSlots.stori + 1) = 50;
    const Captured c = steps(5, 6, [&] {
        const auto out = look(1.5);
        return std::vector<double>(out.begin(), out.end());
    }, true);
    EXPECT_FALSE(c.aborted) << c.out;
    EXPECT_EQ(STORAGE.STORI(kStartSlots.stori + 2), 3);
    EXPECT_EQ(seen.back()[0], 30.0);
}

struct TableStop {
    std::string name, text, message;
    int32_t n = 1;
};
void PrintTo(const TableStop& c, std::ostream* os) { *os << c.name; }

class XyTableFileStops : public XyTableFile, public ::testing::WithParamInterface<TableStop> {};

TEST_P(XyTableFileStops, AtTheFirstStep) {
    write("t.txt", GetParam().text);
    const Captured c = steps(0, 0, [&] {
        look(0.5, 0, GetParam().n);
        return std::vector<double>{};
    });
    EXPECT_EQ(c.out, stop_text(GetParam().message, "XYTABLE"));
}

INSTANTIATE_TEST_SUITE_P(
    Files, XyTableFileStops,
    ::testing::Values(TableStop{"equalX", "0 1\n1 2\n1 3\n", "Data in the file should be in ascending order: t.txt"},
                      TableStop{"oneRecord", "! c\n0 1\n", "Not enough data in the file: t.txt"},
                      TableStop{"onlyComments", "! a\n/ b\n\n", "Not enough data in the file: t.txt"},
                      TableStop{"unreadable", "0 1\nx 2\n", "Error reading data from the file: t.txt"},
                      TableStop{"notANumberX", "0 1\nNaN 2\n1 3\n", "Error reading data from the file: t.txt"},
                      TableStop{"infiniteY", "0 1\n1 Inf\n", "Error reading data from the file: t.txt"},
                      TableStop{"shortRecord", "0 1\n1\n", "Error reading data from the file: t.txt", 1},
                      TableStop{"elevenColumns", "0 1\n1 2\n", "Number of columns must be between 0 and 10", 11}),
    [](const auto& info) { return info.param.name; });

}  // namespace
