// Numbered text units. The table holds gfortran's own results for the same
// record reads, BACKSPACEs and REWINDs (platform/tests/oracle/).
#include "platform/text_units.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <string_view>

namespace {

struct OracleCase {
    const char* group;
    const char* kind;
    const char* ops;
    const char* input;
    const char* expected;
};

// clang-format off
const OracleCase kOracle[] = {
// BEGIN ORACLE ROWS
    {"records", "U", "L;L;L", "a\nb\n",
     "Ok [a] | Ok [b] | End"},
    {"records", "U", "L;L;L", "a\nb",
     "Ok [a] | Ok [b] | End"},
    {"records", "U", "L;L", "\n",
     "Ok [] | End"},
    {"records", "U", "L;L;L;L", "\n\n\n",
     "Ok [] | Ok [] | Ok [] | End"},
    {"records", "U", "L;L;L", "  a  \n\tb\t\n",
     "Ok [  a  ] | Ok [\tb\t] | End"},
    {"records", "U", "L;L;L;L", "a\r\nb\r\nc",
     "Ok [a] | Ok [b] | Ok [c] | End"},
    {"records", "U", "L;L;L", "a\nb\r",
     "Ok [a] | Ok [b] | End"},
    {"records", "U", "L;L;L", "a\r\n\r\nb",
     "Ok [a] | Ok [] | Ok [b]"},
    {"records", "U", "L", "'x' \"y\"",
     "Ok ['x' \"y\"]"},
    {"backspace and rewind", "U", "L;B;L;L", "a\nb\nc\n",
     "Ok [a] | B | Ok [a] | Ok [b]"},
    {"backspace and rewind", "U", "L;L;B;B;L;L", "a\nb\nc\n",
     "Ok [a] | Ok [b] | B | B | Ok [a] | Ok [b]"},
    {"backspace and rewind", "U", "B;L", "a\nb\n",
     "B | Ok [a]"},
    {"backspace and rewind", "U", "L;B;B;L", "a\nb\n",
     "Ok [a] | B | B | Ok [a]"},
    {"backspace and rewind", "U", "L;L;W;L;L", "a\nb\n",
     "Ok [a] | Ok [b] | W | Ok [a] | Ok [b]"},
    {"backspace and rewind", "U", "W;L", "a\n",
     "W | Ok [a]"},
// END ORACLE ROWS
};
// clang-format on

constexpr int kUnit = 50;

class TextUnits : public ::testing::Test {
protected:
    TextUnits()
        : dir_(std::filesystem::temp_directory_path() /
               ("zarik_text_units_test_" + std::to_string(::getpid()))) {
        std::filesystem::create_directories(dir_);
    }
    ~TextUnits() override {
        close_all_units();
        console_input_from_stdin();
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }
    std::string path(std::string_view name) const { return (dir_ / name).string(); }
    std::string write(std::string_view name, std::string_view content) const {
        std::ofstream(path(name), std::ios::binary) << content;
        return path(name);
    }
    std::string content(std::string_view name) const {
        std::ifstream in(path(name), std::ios::binary);
        std::ostringstream s;
        s << in.rdbuf();
        return s.str();
    }

private:
    std::filesystem::path dir_;
};

const char* status_text(ReadStatus s) {
    switch (s) {
        case ReadStatus::Ok: return "Ok";
        case ReadStatus::End: return "End";
        case ReadStatus::Error: return "Error";
    }
    return "?";
}

std::string read_text(int unit) {
    std::string line;
    const ReadStatus st = unit_read_line(unit, line);
    return st == ReadStatus::Ok ? "Ok [" + line + "]" : status_text(st);
}

std::string run_ops(std::string_view ops) {
    std::string out;
    for (;;) {
        const size_t k = ops.find(';');
        const std::string_view op = ops.substr(0, k);
        if (!out.empty()) out += " | ";
        if (op == "B") {
            unit_backspace(kUnit);
            out += "B";
        } else if (op == "W") {
            unit_rewind(kUnit);
            out += "W";
        } else {
            out += read_text(kUnit);
        }
        if (k == std::string_view::npos) break;
        ops.remove_prefix(k + 1);
    }
    return out;
}

// Everything the call writes on standard output, read back from a file
// that stands in for it; `during` runs before standard output is flushed.
std::string capture_stdout(const std::function<void()>& call, const std::function<void(int fd)>& during = {}) {
    std::fflush(stdout);
    const int saved = ::dup(1);
    std::FILE* tmp = std::tmpfile();
    ::dup2(::fileno(tmp), 1);
    call();
    if (during) during(::fileno(tmp));
    std::fflush(stdout);
    ::dup2(saved, 1);
    ::close(saved);
    std::rewind(tmp);
    std::string out;
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, tmp)) > 0) out.append(buf, n);
    std::fclose(tmp);
    return out;
}

}  // namespace

TEST_F(TextUnits, RecordsBackspaceAndRewindAsGfortran) {
    int rows = 0;
    for (const OracleCase& c : kOracle) {
        ++rows;
        ASSERT_TRUE(unit_open(kUnit, write("case.txt", c.input), UnitMode::Read));
        EXPECT_EQ(run_ops(c.ops), c.expected) << c.group << ": ops " << c.ops << " on \"" << c.input << "\"";
        unit_close(kUnit);
    }
    EXPECT_GT(rows, 0);
}

TEST_F(TextUnits, BackspaceAfterEndGivesTheLastRecordAgain) {
    // gfortran needs a second BACKSPACE here: the first steps back over
    // the end-of-file record.
    ASSERT_TRUE(unit_open(kUnit, write("f.txt", "a\nb\n"), UnitMode::Read));
    EXPECT_EQ(run_ops("L;L;L;B;L;L;B;B;L"), "Ok [a] | Ok [b] | End | B | Ok [b] | End | B | B | Ok [a]");
}

TEST_F(TextUnits, ReadsAfterEndStayAtEnd) {
    // gfortran: a read past the end-of-file record is an error.
    ASSERT_TRUE(unit_open(kUnit, write("f.txt", "a"), UnitMode::Read));
    EXPECT_EQ(run_ops("L;L;L;L"), "Ok [a] | End | End | End");
}

TEST_F(TextUnits, LoneCarriageReturnInsideARecordIsKept) {
    // gfortran ends a record at a lone CR as well.
    ASSERT_TRUE(unit_open(kUnit, write("f.txt", "a\rb\n\r\n"), UnitMode::Read));
    EXPECT_EQ(run_ops("L;L;L"), "Ok [a\rb] | Ok [] | End");
}

TEST_F(TextUnits, InputIsReadWholeOnOpening) {
    ASSERT_TRUE(unit_open(kUnit, write("f.txt", "a\nb\n"), UnitMode::Read));
    write("f.txt", "changed\n");
    EXPECT_EQ(run_ops("L;L;L"), "Ok [a] | Ok [b] | End");
}

TEST_F(TextUnits, OpeningFailures) {
    EXPECT_FALSE(unit_open(kUnit, path("missing.txt"), UnitMode::Read));
    EXPECT_FALSE(unit_is_open(kUnit));
    EXPECT_FALSE(unit_open(kUnit, path("no/such/dir/out.txt"), UnitMode::Write));
    EXPECT_FALSE(unit_open(kUnit, path(""), UnitMode::Read));  // a directory

    ASSERT_TRUE(unit_open(kUnit, write("f.txt", "x\n"), UnitMode::Read));
    EXPECT_TRUE(unit_is_open(kUnit));
    EXPECT_FALSE(unit_open(kUnit, write("g.txt", "y\n"), UnitMode::Read));
    EXPECT_FALSE(unit_open_new(kUnit, path("new.txt")));
    EXPECT_FALSE(std::filesystem::exists(path("new.txt")));
    EXPECT_EQ(read_text(kUnit), "Ok [x]");  // the first file is still there

    EXPECT_FALSE(unit_open_new(kUnit + 1, path("g.txt")));  // exists
    EXPECT_EQ(content("g.txt"), "y\n");
    EXPECT_TRUE(unit_open_new(kUnit + 1, path("new.txt")));
}

TEST_F(TextUnits, ConsoleUnitsAreAlwaysConnected) {
    EXPECT_TRUE(unit_is_open(UNIT_CONSOLE_IN));
    EXPECT_TRUE(unit_is_open(UNIT_CONSOLE_OUT));
    EXPECT_FALSE(unit_open(UNIT_CONSOLE_IN, write("f.txt", "x\n"), UnitMode::Read));
    EXPECT_FALSE(unit_open(UNIT_CONSOLE_OUT, path("out.txt"), UnitMode::Write));
    unit_close(UNIT_CONSOLE_OUT);
    close_all_units();
    EXPECT_TRUE(unit_is_open(UNIT_CONSOLE_OUT));
}

TEST_F(TextUnits, CloseAndReopen) {
    ASSERT_TRUE(unit_open(kUnit, write("f.txt", "a\n"), UnitMode::Read));
    unit_close(kUnit);
    EXPECT_FALSE(unit_is_open(kUnit));
    EXPECT_EQ(read_text(kUnit), "Error");
    ASSERT_TRUE(unit_open(kUnit, write("g.txt", "b\n"), UnitMode::Read));
    EXPECT_EQ(read_text(kUnit), "Ok [b]");
    unit_close(kUnit);
    unit_close(kUnit);  // closing a closed unit does nothing
}

TEST_F(TextUnits, WriteCreatesOrEmptiesAndAppendAdds) {
    write("out.txt", "old contents\n");
    ASSERT_TRUE(unit_open(kUnit, path("out.txt"), UnitMode::Write));
    unit_write_line(kUnit, "first");
    unit_write_raw(kUnit, "raw ");
    unit_write_raw(kUnit, "");
    unit_write_line(kUnit, "");
    unit_close(kUnit);
    EXPECT_EQ(content("out.txt"), "first\nraw \n");

    ASSERT_TRUE(unit_open(kUnit, path("out.txt"), UnitMode::Append));
    unit_write_line(kUnit, "more");
    unit_close(kUnit);
    EXPECT_EQ(content("out.txt"), "first\nraw \nmore\n");

    ASSERT_TRUE(unit_open(kUnit, path("fresh.txt"), UnitMode::Append));
    unit_write_line(kUnit, "x");
    close_all_units();
    EXPECT_EQ(content("fresh.txt"), "x\n");
}

TEST_F(TextUnits, UnitsKeepApart) {
    ASSERT_TRUE(unit_open(50, write("in.txt", "a\nb\n"), UnitMode::Read));
    ASSERT_TRUE(unit_open(51, write("in2.txt", "c\n"), UnitMode::Read));
    ASSERT_TRUE(unit_open(60, path("o1.txt"), UnitMode::Write));
    ASSERT_TRUE(unit_open_new(61, path("o2.txt")));
    EXPECT_EQ(read_text(50), "Ok [a]");
    EXPECT_EQ(read_text(51), "Ok [c]");
    unit_write_line(60, "one");
    unit_write_line(61, "two");
    EXPECT_EQ(read_text(50), "Ok [b]");
    EXPECT_EQ(read_text(51), "End");
    close_all_units();
    EXPECT_FALSE(unit_is_open(50));
    EXPECT_FALSE(unit_is_open(61));
    EXPECT_EQ(content("o1.txt"), "one\n");
    EXPECT_EQ(content("o2.txt"), "two\n");
}

TEST_F(TextUnits, WrongDirectionDoesNothing) {
    ASSERT_TRUE(unit_open(kUnit, write("in.txt", "a\nb\n"), UnitMode::Read));
    ASSERT_TRUE(unit_open(kUnit + 1, path("out.txt"), UnitMode::Write));
    unit_write_line(kUnit, "not written");
    EXPECT_EQ(read_text(kUnit + 1), "Error");
    unit_backspace(kUnit + 1);
    unit_rewind(kUnit + 1);
    EXPECT_EQ(read_text(kUnit), "Ok [a]");
    close_all_units();
    EXPECT_EQ(content("in.txt"), "a\nb\n");
    EXPECT_EQ(content("out.txt"), "");
}

TEST_F(TextUnits, UnitNotOpenWritesNothingAnywhere) {
    const auto before = std::filesystem::current_path();
    const std::string out = capture_stdout([] {
        unit_write_line(77, "lost");
        unit_write_raw(77, "lost");
        unit_backspace(77);
        unit_rewind(77);
    });
    EXPECT_EQ(out, "");
    EXPECT_FALSE(std::filesystem::exists(before / "fort.77"));
    EXPECT_EQ(read_text(77), "Error");
}

TEST_F(TextUnits, FormattedAndListWritesGoOntoTheUnit) {
    ASSERT_TRUE(unit_open(kUnit, path("out.txt"), UnitMode::Write));
    write_formatted(kUnit, "(I4,F8.3)", {int32_t{5}, 1.5});
    write_list(kUnit, {int32_t{7}, "abc"});
    unit_close(kUnit);
    EXPECT_EQ(content("out.txt"), format_fortran("(I4,F8.3)", {int32_t{5}, 1.5}) + format_list({int32_t{7}, "abc"}));
}

TEST_F(TextUnits, ConsoleOutputKeepsOrderWithStdio) {
    const std::string out = capture_stdout([] {
        unit_write_line(UNIT_CONSOLE_OUT, "one");
        std::printf("two\n");
        unit_write_raw(UNIT_CONSOLE_OUT, "three ");
        write_formatted(UNIT_CONSOLE_OUT, "(I2)", {int32_t{4}});
        std::fputs("five\n", stdout);
    });
    EXPECT_EQ(out, "one\ntwo\nthree " + format_fortran("(I2)", {int32_t{4}}) + "five\n");
}

TEST_F(TextUnits, ConsoleReadFlushesOutputFirst) {
    console_input_from_text("answer\n");
    std::string line;
    off_t size_at_read = -1;
    capture_stdout([] { unit_write_raw(UNIT_CONSOLE_OUT, "prompt? "); },
                   [&](int fd) {
                       EXPECT_EQ(unit_read_line(UNIT_CONSOLE_IN, line), ReadStatus::Ok);
                       struct stat st {};
                       ::fstat(fd, &st);
                       size_at_read = st.st_size;
                   });
    EXPECT_EQ(line, "answer");
    EXPECT_EQ(size_at_read, 8);
}

TEST_F(TextUnits, ConsoleInputFromText) {
    console_input_from_text("one\r\n\ntwo");
    EXPECT_EQ(read_text(UNIT_CONSOLE_IN), "Ok [one]");
    unit_backspace(UNIT_CONSOLE_IN);
    unit_backspace(UNIT_CONSOLE_IN);  // only the last record can be given back
    EXPECT_EQ(read_text(UNIT_CONSOLE_IN), "Ok [one]");
    EXPECT_EQ(read_text(UNIT_CONSOLE_IN), "Ok []");
    EXPECT_EQ(read_text(UNIT_CONSOLE_IN), "Ok [two]");
    EXPECT_EQ(read_text(UNIT_CONSOLE_IN), "End");
    unit_backspace(UNIT_CONSOLE_IN);
    EXPECT_EQ(read_text(UNIT_CONSOLE_IN), "Ok [two]");
    EXPECT_EQ(read_text(UNIT_CONSOLE_IN), "End");

    console_input_from_text("fresh\n");
    unit_backspace(UNIT_CONSOLE_IN);  // nothing read yet: nothing to give back
    EXPECT_EQ(read_text(UNIT_CONSOLE_IN), "Ok [fresh]");
}
