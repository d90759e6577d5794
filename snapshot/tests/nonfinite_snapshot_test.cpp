// Numbers that are not finite in a snapshot: in its head, its network,
// transformer and line sections they are unreadable records, and the run
// stops before its first step; the storage arrays take back what the
// writer wrote. The files in nonfinite/ are snapshots at 10 ms of
// nonfinite/case.map, each with one value changed (print.snp names
// print.map, whose print step is NaN).
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/tests/support/capture.h"
#include "platform/tests/support/run_program.h"
#include "platform/tests/support/unit_ops.h"

namespace {

// The test data in a folder of the test's own.
struct DoorFolder {
    DoorFolder() {
        for (const auto& e : std::filesystem::directory_iterator(std::string(ZARIK_SOURCE_DIR) + "/snapshot/tests/nonfinite"))
            std::filesystem::copy_file(e.path(), dir.file(e.path().filename().string()));
    }
    // A run of 10 ms more from the given snapshot, with a snapshot at its end.
    ProgramResult restore(const std::string& snapshot) const {
        return run_program({bare_program(), "-startup:alone"},
                           "1\n1\n0.01\nrestored\n0\n1\n0\n0\n" + snapshot + "\n0.01\n", dir.path);
    }
    TempDir dir;
};

struct BadValue {
    const char* file;
    const char* routine;
    const char* message;
    const char* last_line;
    const char* data_file = nullptr;  // the file named in the frame, when not the snapshot
};

void PrintTo(const BadValue& b, std::ostream* os) { *os << b.file; }

std::string frame(const BadValue& b) {
    return " =========================================================\n"
           " Following is the last read data line:\n " +
           pad_text(b.last_line, 72) + "\n Data file name: " + pad_text(b.data_file ? b.data_file : b.file, 34) +
           "...\n"
           " ERROR: Abnormal termination of ZARIK by " +
           pad_text(b.routine, 12) + "\n =========================================================\n \n";
}

class NonFiniteSnapshot : public testing::TestWithParam<BadValue> {};

TEST_P(NonFiniteSnapshot, StopsBeforeTheRun) {
    const BadValue& b = GetParam();
    const DoorFolder f;
    const ProgramResult r = f.restore(b.file);
    EXPECT_EQ(r.exit_code, 208);  // status 2000, low 8 bits
    const std::string expected = std::string(b.message) + "\n" + frame(b);
    const size_t at = r.out.rfind(b.message);
    EXPECT_EQ(at == std::string::npos ? std::string() : r.out.substr(at), expected) << r.out;
    EXPECT_FALSE(std::filesystem::exists(f.dir.file("restored.snp")));
}

const char* const kHead = " ZARIK: Error while reading snap file:";
const char* const kBody = " ***ERROR** ZARIK: Error while reading snap file";

INSTANTIATE_TEST_SUITE_P(
    Doors, NonFiniteSnapshot,
    testing::Values(
        BadValue{"time.snp", "SNAP_OK", kHead, "   4.600000000000000                    NaN   0.5000000000000000E-04"},
        BadValue{"step.snp", "SNAP_OK", kHead,
                 "   4.600000000000000       0.1000000000000000E-01                Infinit"},
        BadValue{"v12l.snp", "READSNP", kBody, " !V12L"},
        BadValue{"gm.snp", "READSNP", kBody, " !*** Node conductances [GM]"},
        BadValue{"xfmr.snp", "READSNP", kBody, " !*** TRANSFORMER DATA"},
        BadValue{"line.snp", "READSNP", kBody, " !*** Travelling wave buffers:"},
        // A form code of 1 (magnetic circuit) on a transformer the reader
        // gave a positive subsystem: no transformer is both.
        BadValue{"kind.snp", "READSNP", kBody, " !*** TRANSFORMER DATA"},
        // The map file the snapshot names is read for its print step.
        BadValue{"print.snp", "UPDATE_MAP", " ***ERROR** Error while reading data from line:", " PRINT_STEP = NaN",
                 "print.map"}),
    [](const auto& info) {
        const std::string n = info.param.file;
        return n.substr(0, n.find('.'));
    });

// A NaN among the output channels is restored and written again.
TEST(NonFiniteSnapshotStorage, IsTakenBack) {
    const DoorFolder f;
    const ProgramResult r = f.restore("pgb.snp");
    ASSERT_EQ(r.exit_code, 0) << r.out;
    const std::string written = read_file(f.dir.file("restored.snp"));
    EXPECT_NE(written.find(" !PGB:           2\n 0.0000000000000000                           NaN \n"),
              std::string::npos)
        << written;
}

}  // namespace
