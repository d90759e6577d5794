// The case's results to the last bit: the README's run (its output files)
// and a snapshot taken half way through the run, against the SHA-256
// digests kept in case/tests/data (written by sha256sum; a change of any
// result bit changes them), and the number of matrix switchings printed.
#include "case/tests/case_support.h"
#include "platform/tests/support/sha256.h"

namespace {

std::string kept(const std::string& name) { return std::string(ZARIK_SOURCE_DIR) + "/case/tests/data/" + name; }

// The digests and this count moved when the bridge's EMF came to follow its measured DC link
// down to zero, rather than take the rated link below 0.1 kV.
const char* const kSwitchings = "\nNumber of Matrix Switchings in SS#   1 is:    22704\n";

void expect_kept_digests(const CaseFolder& f, const std::string& list) {
    const auto want = read_digests(kept(list));
    ASSERT_FALSE(want.empty()) << list;
    for (const auto& [name, digest] : want) EXPECT_EQ(sha256_of_file(f.file(name)), digest) << name;
}

TEST(CaseDigest, ReadmeRunWritesTheKeptOutputFiles) {
    const CaseFolder f;
    const ProgramResult r = f.run();
    ASSERT_EQ(r.exit_code, 0) << r.out;
    EXPECT_NE(r.out.find(kSwitchings), std::string::npos) << r.out;
    expect_kept_digests(f, "readme_run.sha256");
}

TEST(CaseDigest, SnapshotHalfWayIsTheKeptOne) {
    const CaseFolder f;
    const ProgramResult r =
        run_program({zarik_program(), "-startup:alone"}, "0\n1\n1.0\nhalf\nstation.map\n1\n0\n0\n", f.path());
    ASSERT_EQ(r.exit_code, 0) << r.out;
    EXPECT_NE(r.out.find(kSwitchings), std::string::npos) << r.out;
    expect_kept_digests(f, "snapshot_1s.sha256");
}

}  // namespace
