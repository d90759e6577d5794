// Inputs without an end or of great length. A device named where a map, a
// page, an included file or a snapshot is read is refused at open; given as
// the console input, it ends at its first record with the record cap's
// message and the abort status, under an address-space limit far below
// what reading it whole would take. A long page is read in memory that does
// not grow with it. The time limits only guard against a hang.
#include <fstream>
#include <string>

#include "network/tests/map_test_support.h"
#include "platform/tests/support/run_program.h"

namespace {

// Under the sanitizers the address space cannot be limited, nor the
// resident size compared.
#if defined(__SANITIZE_ADDRESS__)
const std::string kLimit;
constexpr bool kSanitized = true;
#else
const std::string kLimit = "ulimit -v 1048576 && ";
constexpr bool kSanitized = false;
#endif

ProgramResult run_limited(const std::string& answers, const std::string& redirect = "",
                          const std::string& dir = fixture_dir(), int timeout_ms = 20000) {
    return run_program({"/bin/sh", "-c", kLimit + "exec " + bare_program() + " -startup:alone" + redirect}, answers,
                       dir, timeout_ms);
}

std::string refused(const std::string& device, const std::string& routine) {
    return " ***WARN*** ZARIK: Error while opening file for read: " + device + "\n" + abort_frame(routine);
}

std::string from(const ProgramResult& r, const std::string& text) {
    const size_t at = r.out.find(text.substr(0, text.find('\n')));
    return at == std::string::npos ? r.out : r.out.substr(at);
}

// The switched R-L example in dir, its page file renamed or led by a
// number of comment lines.
void switched_rl_in(const TempDir& dir, const std::string& page, int comment_lines = 0) {
    const std::string example = std::string(ZARIK_SOURCE_DIR) + "/examples/switched_rl/";
    std::string map = read_file(example + "switched_rl.map");
    map.replace(map.find("'page1.map'") + 1, 9, page);
    write_file(dir.file("switched_rl.map"), map);
    std::ofstream out(dir.file("page1.map"), std::ios::binary);
    for (int k = 0; k < comment_lines; ++k) out << "! comment\n";
    out << read_file(example + "page1.map");
}

TEST(EndlessMapInput, IncludedDeviceIsRefusedAtOpen) {
    const ProgramResult r = run_limited("0\n0\ninclude_zero.map\n1\n0\n0\n");
    ASSERT_FALSE(r.timed_out);
    EXPECT_EQ(from(r, refused("/dev/zero", "OPENFILE")), refused("/dev/zero", "OPENFILE"));
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.exit_code, 208);
}

TEST(EndlessMapInput, DeviceAsAPageIsRefusedAtOpen) {
    const TempDir dir;
    switched_rl_in(dir, "/dev/urandom");
    const ProgramResult r = run_limited("0\n0\nswitched_rl.map\n1\n0\n0\n", "", dir.path);
    ASSERT_FALSE(r.timed_out);
    EXPECT_EQ(from(r, refused("/dev/urandom", "OPENFILE")), refused("/dev/urandom", "OPENFILE"));
    EXPECT_EQ(r.exit_code, 208);
}

// Five million comment lines (50 MB) ahead of the page's own lines: the run
// ends normally, its resident size far below the file's.
TEST(LongMapInput, PageOfFiveMillionCommentLines) {
    const TempDir dir;
    switched_rl_in(dir, "page1.map", 5000000);
    const ProgramResult r = run_limited("0\n0\nswitched_rl.map\n1\n0\n0\n", "", dir.path, 300000);
    ASSERT_FALSE(r.timed_out);
    EXPECT_TRUE(contains(r.out, " => This run is 100% complete.\n")) << r.out;
    EXPECT_EQ(r.exit_code, 0);
    if (!kSanitized) {
        EXPECT_LT(r.peak_rss_kb, 50000 / 5);
    }
}

// The dialogue takes the name for one that does not open.
TEST(EndlessDialogueInput, DeviceAsTheMapFile) {
    const ProgramResult r = run_limited("0\n0\n'/dev/zero'\n1\n0\n0\n");
    ASSERT_FALSE(r.timed_out);
    EXPECT_TRUE(contains(r.out, " **** INPUT FILE /dev/zero  DOES NOT EXIST! ****\n")) << r.out;
    EXPECT_EQ(r.exit_code, 208);
}

TEST(EndlessDialogueInput, DeviceAsTheSnapshot) {
    const ProgramResult r = run_limited("1\n0\n0\n1\n0\n0\n'/dev/zero'\n");
    ASSERT_FALSE(r.timed_out);
    EXPECT_EQ(from(r, refused("/dev/zero", "OPENFILE1")), refused("/dev/zero", "OPENFILE1"));
    EXPECT_EQ(r.exit_code, 208);
}

// Every answer read from the device is one over-long line: four of them
// are four invalid answers, and the fourth ends the run.
TEST(EndlessDialogueInput, DeviceAsTheConsoleInput) {
    const ProgramResult r = run_limited("", " < /dev/zero");
    ASSERT_FALSE(r.timed_out);
    for (int line = 1; line <= 4; ++line)
        EXPECT_TRUE(contains(r.out, " ERROR: Line " + std::to_string(line) +
                                        " of standard input is longer than 1048576 characters\n"))
            << line;
    EXPECT_TRUE(ends_with(r.out, " **** SORRY, MAXIMUM OF FOUR ATTEMPTS ALLOWED ****\n\n\n"
                                 " **** EXECUTION TERMINATING  ****\n\n" +
                                     abort_frame_of("OUTMSG", 0)))
        << r.out;
    EXPECT_EQ(r.exit_code, 208);
}

}  // namespace
