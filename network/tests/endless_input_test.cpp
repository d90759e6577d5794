// Inputs without an end: a device that gives no line end, named where a
// map, an included file or a snapshot is read, or given as the console
// input. Each ends at its first record with the record cap's message and
// the abort status, under an address-space limit far below what reading
// it whole would take; the time limit only guards against a hang.
#include <string>

#include "network/tests/map_test_support.h"
#include "platform/tests/support/run_program.h"

namespace {

// Under the sanitizers the address space cannot be limited.
#if defined(__SANITIZE_ADDRESS__)
const std::string kLimit;
#else
const std::string kLimit = "ulimit -v 1048576 && ";
#endif

ProgramResult run_limited(const std::string& answers, const std::string& redirect = "") {
    return run_program({"/bin/sh", "-c", kLimit + "exec " + bare_program() + " -startup:alone" + redirect}, answers,
                       fixture_dir(), 20000);
}

const std::string kCapped = " ERROR: Line 1 of /dev/zero is longer than 1048576 characters\n";

// The cap's message, then RDCMNT's read error on the unit and its frame.
std::string read_error_stop(int unit, const std::string& map, const std::string& data_line) {
    return kCapped + " Error Reading Unit#           " + std::to_string(unit) + "\n" +
           " Likely file names are: " + pad_text("/dev/zero", 72) + pad_text(map, 34) + "\n" +
           abort_frame_of("RDCMNT", 1, data_line, "/dev/zero");
}

std::string from_cap(const ProgramResult& r) {
    const size_t at = r.out.find(kCapped);
    return at == std::string::npos ? r.out : r.out.substr(at);
}

TEST(EndlessMapInput, IncludedDeviceStopsAtItsFirstRecord) {
    const ProgramResult r = run_limited("0\n0\ninclude_zero.map\n1\n0\n0\n");
    ASSERT_FALSE(r.timed_out);
    EXPECT_EQ(from_cap(r), read_error_stop(51, "include_zero.map", "INCLUDE '/dev/zero'"));
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.exit_code, 208);
}

// The dialogue sees that the name opens without reading it; the map
// reader then stops at the first record.
TEST(EndlessDialogueInput, DeviceAsTheMapFile) {
    const ProgramResult r = run_limited("0\n0\n'/dev/zero'\n1\n0\n0\n");
    ASSERT_FALSE(r.timed_out);
    EXPECT_EQ(from_cap(r), read_error_stop(50, "/dev/zero", "/dev/zero"));
    EXPECT_EQ(r.exit_code, 208);
}

TEST(EndlessDialogueInput, DeviceAsTheSnapshot) {
    const ProgramResult r = run_limited("1\n0\n0\n1\n0\n0\n'/dev/zero'\n");
    ASSERT_FALSE(r.timed_out);
    EXPECT_EQ(from_cap(r), read_error_stop(50, "", ""));
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
