// Numbered text units. The oracle's case file holds gfortran's own results
// for the same record reads, BACKSPACEs and REWINDs
// (platform/tests/oracle/text_units_cases.txt); the cases here are where
// the units deliberately do otherwise, and the units' own interface.
#include "platform/text_units.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>

#include "platform/tests/support/capture.h"
#include "platform/tests/support/run_program.h"
#include "platform/tests/support/unit_ops.h"

namespace {

// clang-format off
// Where the units do not copy gfortran 12, with what it does.
const OracleCase kChoices[] = {
    // It needs a second BACKSPACE: the first steps back over the end-of-file record.
    {"backspace after end", "U", "L;L;L;B;L;L;B;B;L", "a\nb\n", "Ok [a] | Ok [b] | End | B | Ok [b] | End | B | B | Ok [a]"},
    // A read past the end-of-file record is an error there.
    {"reads after end", "U", "L;L;L;L", "a", "Ok [a] | End | End | End"},
    // A lone CR ends a record there as well.
    {"lone carriage return", "U", "L;L;L", "a\rb\n\r\n", "Ok [a\rb] | Ok [] | End"},
};
// clang-format on

constexpr int kUnit = 50;

class TextUnits : public ::testing::Test {
protected:
    ~TextUnits() override {
        close_all_units();
        console_input_from_stdin();
    }
    std::string path(const std::string& name) const { return dir_.file(name); }
    std::string write(const std::string& name, std::string_view content) const {
        return write_file(path(name), content);
    }
    std::string content(const std::string& name) const { return read_file(path(name)); }
    TempDir dir_;
};

std::string read_text(int unit) { return unit_op(unit, "L"); }

}  // namespace

TEST_F(TextUnits, RecordsBackspaceAndRewindAsGfortranOrByChoice) {
    std::vector<OracleCase> cases = oracle_cases("text_units_cases.txt");
    cases.insert(cases.end(), std::begin(kChoices), std::end(kChoices));
    for (const OracleCase& c : cases) {
        ASSERT_TRUE(unit_open(kUnit, write("case.txt", c.input), UnitMode::Read));
        EXPECT_EQ(run_ops(c.ops, [](std::string_view op) { return unit_op(kUnit, op); }), c.expected)
            << c.group << ": ops " << c.ops << " on \"" << c.input << "\"";
        unit_close(kUnit);
    }
    // Opening reads nothing: each record is read when it is asked for.
    ASSERT_TRUE(unit_open(kUnit, write("f.txt", "a\nb\n"), UnitMode::Read));
    write("f.txt", "changed\n");
    EXPECT_EQ(run_ops("L;L;L", [](std::string_view op) { return unit_op(kUnit, op); }), "Ok [changed] | End | End");
}

TEST_F(TextUnits, OpeningFailures) {
    EXPECT_FALSE(unit_open(kUnit, path("missing.txt"), UnitMode::Read));
    EXPECT_FALSE(unit_is_open(kUnit));
    EXPECT_FALSE(unit_open(kUnit, path("no/such/dir/out.txt"), UnitMode::Write));
    EXPECT_FALSE(unit_open(kUnit, path(""), UnitMode::Read));  // a directory
    // A unit in use keeps its file.
    ASSERT_TRUE(unit_open(kUnit, write("f.txt", "x\n"), UnitMode::Read));
    EXPECT_FALSE(unit_open_new(kUnit, path("new.txt")));
    EXPECT_FALSE(std::filesystem::exists(path("new.txt")));
    EXPECT_EQ(read_text(kUnit), "Ok [x]");
    // A new file must not exist yet.
    EXPECT_FALSE(unit_open_new(kUnit + 1, path("f.txt")));
    EXPECT_EQ(content("f.txt"), "x\n");
    // The console units are always connected.
    EXPECT_FALSE(unit_open(UNIT_CONSOLE_OUT, path("out.txt"), UnitMode::Write));
    unit_close(UNIT_CONSOLE_OUT);
    close_all_units();
    EXPECT_TRUE(unit_is_open(UNIT_CONSOLE_OUT));
}

// Closed units, writing on an input unit, reading or positioning an output
// one, and a unit never opened: nothing happens, nothing is created.
TEST_F(TextUnits, WrongUseDoesNothing) {
    ASSERT_TRUE(unit_open(kUnit, write("in.txt", "a\nb\n"), UnitMode::Read));
    ASSERT_TRUE(unit_open(kUnit + 1, path("out.txt"), UnitMode::Write));
    unit_write_line(kUnit, "not written");
    EXPECT_EQ(read_text(kUnit + 1), "Error");
    unit_backspace(kUnit + 1);
    unit_rewind(kUnit + 1);
    EXPECT_EQ(read_text(kUnit), "Ok [a]");
    close_all_units();
    unit_close(kUnit);
    EXPECT_EQ(read_text(kUnit), "Error");
    EXPECT_EQ(content("in.txt"), "a\nb\n");
    EXPECT_EQ(content("out.txt"), "");
    const auto here = std::filesystem::current_path();
    const Captured c = capture([] {
        unit_write_line(77, "lost");
        unit_write_raw(77, "lost");
        unit_backspace(77);
    });
    EXPECT_EQ(c.out, "");
    EXPECT_FALSE(std::filesystem::exists(here / "fort.77"));
}

TEST_F(TextUnits, WriteCreatesOrEmptiesAndAppendAdds) {
    write("out.txt", "old contents\n");
    ASSERT_TRUE(unit_open(kUnit, path("out.txt"), UnitMode::Write));
    unit_write_line(kUnit, "first");
    unit_write_raw(kUnit, "raw ");
    unit_write_line(kUnit, "");
    write_formatted(kUnit, "(I4,F8.3)", {int32_t{5}, 1.5});
    write_list(kUnit, {int32_t{7}, "abc"});
    unit_close(kUnit);
    ASSERT_TRUE(unit_open(kUnit, path("out.txt"), UnitMode::Append));
    ASSERT_TRUE(unit_open(kUnit + 1, path("fresh.txt"), UnitMode::Append));
    unit_write_line(kUnit, "more");
    unit_write_line(kUnit + 1, "x");
    close_all_units();
    EXPECT_EQ(content("out.txt"), "first\nraw \n   5   1.500\n           7 abc\nmore\n");
    EXPECT_EQ(content("fresh.txt"), "x\n");
}

// A failed write is reported by the write, flush or close that meets it
// and by every write after it; a renumbered unit keeps its file.
TEST_F(TextUnits, WriteFailuresReachTheCaller) {
    ASSERT_TRUE(unit_open(kUnit, "/dev/full", UnitMode::Write));
    EXPECT_TRUE(unit_write_line(kUnit, "held in the buffer"));
    EXPECT_FALSE(unit_flush(kUnit));
    EXPECT_FALSE(unit_write_raw(kUnit, "x"));
    EXPECT_FALSE(unit_close(kUnit));
    ASSERT_TRUE(unit_open(kUnit, "/dev/full", UnitMode::Write));
    EXPECT_TRUE(unit_write_line(kUnit, "held"));
    EXPECT_FALSE(unit_close(kUnit));
    EXPECT_FALSE(unit_write_line(kUnit, "not open"));
    EXPECT_TRUE(unit_close(kUnit));

    ASSERT_TRUE(unit_open(kUnit, path("out.txt"), UnitMode::Write));
    ASSERT_TRUE(unit_open(kUnit + 1, write("in.txt", "a\n"), UnitMode::Read));
    EXPECT_FALSE(unit_renumber(kUnit, kUnit + 1));
    EXPECT_FALSE(unit_renumber(kUnit, UNIT_CONSOLE_OUT));
    EXPECT_TRUE(unit_renumber(kUnit, 1000));
    EXPECT_FALSE(unit_write_line(kUnit, "lost"));
    EXPECT_TRUE(unit_write_line(1000, "kept"));
    EXPECT_TRUE(unit_close(1000));
    EXPECT_EQ(content("out.txt"), "kept\n");
}

// One buffered standard output carries every kind of write in order.
TEST_F(TextUnits, ConsoleOutputKeepsOrderWithStdio) {
    const Captured c = capture([] {
        unit_write_line(UNIT_CONSOLE_OUT, "one");
        std::printf("two\n");
        unit_write_raw(UNIT_CONSOLE_OUT, "three ");
        write_formatted(UNIT_CONSOLE_OUT, "(I2)", {int32_t{4}});
        std::fputs("five\n", stdout);
    });
    EXPECT_EQ(c.out, "one\ntwo\nthree  4\nfive\n");
}

TEST_F(TextUnits, ConsoleReadFlushesOutputFirst) {
    console_input_from_text("answer\n");
    std::string line;
    off_t size_at_read = -1;
    capture([&] {
        unit_write_raw(UNIT_CONSOLE_OUT, "prompt? ");
        EXPECT_EQ(unit_read_line(UNIT_CONSOLE_IN, line), ReadStatus::Ok);
        struct stat st {};
        ::fstat(STDOUT_FILENO, &st);  // the capture's file
        size_at_read = st.st_size;
    });
    EXPECT_EQ(line, "answer");
    EXPECT_EQ(size_at_read, 8);
}

TEST_F(TextUnits, ConsoleInputFromText) {
    const auto console = [](std::string_view op) { return unit_op(UNIT_CONSOLE_IN, op); };
    // Only the last record can be given back.
    console_input_from_text("one\r\n\ntwo");
    EXPECT_EQ(run_ops("L;B;B;L;L;L;L;B;L;L", console),
              "Ok [one] | B | B | Ok [one] | Ok [] | Ok [two] | End | B | Ok [two] | End");
    // Nothing read yet: nothing to give back.
    console_input_from_text("fresh\n");
    EXPECT_EQ(run_ops("B;L", console), "B | Ok [fresh]");
}

// A record beyond the cap is an error at that record and every later one;
// the records before it stay readable, and the cap itself is a record.
TEST_F(TextUnits, RecordsLongerThanTheCapAreErrors) {
    const std::string at_cap(UNIT_RECORD_MAX, 'x');
    const std::string file = write("long.txt", "a\n" + at_cap + "\r\n" + at_cap + "yz\nb\n");
    ASSERT_TRUE(unit_open(kUnit, file, UnitMode::Read));
    std::string line;
    const Captured c = capture([&] {
        EXPECT_EQ(unit_read_line(kUnit, line), ReadStatus::Ok);
        EXPECT_EQ(unit_read_line(kUnit, line), ReadStatus::Ok);
        EXPECT_EQ(line, at_cap);
        EXPECT_EQ(unit_read_line(kUnit, line), ReadStatus::Error);
        EXPECT_EQ(unit_read_line(kUnit, line), ReadStatus::Error);
        unit_backspace(kUnit);
        EXPECT_EQ(unit_read_line(kUnit, line), ReadStatus::Ok);
        EXPECT_EQ(line, at_cap);
    });
    EXPECT_EQ(c.out, " ERROR: Line 3 of " + file + " is longer than 1048576 characters\n");
    EXPECT_EQ(unit_file_size(kUnit), static_cast<int64_t>(2 * UNIT_RECORD_MAX + 9));
}

// Only a regular file is read: a device, a FIFO and a pipe are refused,
// the FIFO without waiting for a writer that never comes.
TEST_F(TextUnits, DevicesFifosAndPipesAreRefusedAtOpen) {
    ASSERT_EQ(mkfifo(path("fifo").c_str(), 0600), 0);
    int p[2];
    ASSERT_EQ(pipe(p), 0);
    for (const std::string& name : {std::string("/dev/zero"), path("fifo"), "/proc/self/fd/" + std::to_string(p[0])})
        EXPECT_FALSE(unit_open(kUnit, name, UnitMode::Read)) << name;
    close(p[0]);
    close(p[1]);
    EXPECT_EQ(unit_file_size(UNIT_CONSOLE_IN), -1);
    EXPECT_EQ(unit_file_size(kUnit + 1), -1);
}

// Stepping back far beyond the last few records, as a look-ahead over
// comment lines does, gives back what was read: a record of thousands of
// characters, empty and CRLF records, a last record without its LF. Line
// numbers in messages still count from the start.
TEST_F(TextUnits, DeepBackspaceReadsWhatItReadBefore) {
    std::string text = std::string(5000, 'x') + "\r\n\n";
    for (int k = 1; k <= 600; ++k) text += "! comment " + std::to_string(k) + (k % 3 != 0 ? "\n" : "\r\n");
    ASSERT_TRUE(unit_open(kUnit, write("deep.txt", text + "last"), UnitMode::Read));
    ASSERT_TRUE(unit_open(kUnit + 1, write("long.txt", text + std::string(UNIT_RECORD_MAX + 1, 'y')), UnitMode::Read));
    const auto read_all = [](int unit) {
        std::vector<std::string> lines;
        for (std::string line; unit_read_line(unit, line) == ReadStatus::Ok;) lines.push_back(line);
        return lines;
    };
    const std::vector<std::string> first = read_all(kUnit);
    ASSERT_EQ(first.size(), 603U);
    EXPECT_EQ(first[2] + first[4] + first[602], "! comment 1! comment 3last");
    for (int k = 0; k <= 603; ++k) unit_backspace(kUnit);
    EXPECT_EQ(read_all(kUnit), first);
    for (int k = 0; k < 450; ++k) unit_backspace(kUnit);
    EXPECT_EQ(read_text(kUnit), "Ok [" + first[153] + "]");

    for (int k = 0; k < 602; ++k) EXPECT_EQ(read_text(kUnit + 1), "Ok [" + first[k] + "]");
    for (int k = 0; k < 602; ++k) unit_backspace(kUnit + 1);
    const Captured c = capture([&] { EXPECT_EQ(read_all(kUnit + 1).size(), 602U); });
    EXPECT_EQ(c.out, " ERROR: Line 603 of " + path("long.txt") + " is longer than 1048576 characters\n");
}
