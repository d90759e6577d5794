// Free-format reads. The oracle's case file holds gfortran's own results
// for the same reads (platform/tests/oracle/list_read_cases.txt); the
// cases here are the places where the reader deliberately does otherwise,
// and the reader's own interface.
#include "platform/list_read.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <complex>
#include <string>
#include <string_view>

#include "platform/tests/support/decimal_comma.h"
#include "platform/tests/support/run_program.h"
#include "platform/tests/support/unit_ops.h"

namespace {

// Where the reader does not copy gfortran 12, with what it does.
// clang-format off
const OracleCase kChoices[] = {
    // It splits at ';' even with a decimal point; later releases and the standard do not.
    {"semicolon", "T", "ii", "1;2", "Error -7 -7"},
    // It stores 0 for "." and the parts of a complex value read so far.
    {"failed item", "T", "r", ".", "Error -7.0E+000"},
    {"failed item", "T", "z", "(1,2)x", "Error (-7.0E+000,-7.0E+000)"},
    {"failed item", "T", "z", "(1,2", "End (-7.0E+000,-7.0E+000)"},
    // It gives End for '' at the very end of an internal record, although it gives Ok for 'ab' there.
    {"empty quotes", "T", "a", "''", "Ok [            ]"},
    // It passes over a '/' that begins a continuation record when a value follows directly, and reads 5.
    {"slash", "U", "ii", "1\n/5\nx\n", "Ok 1 -7"},
    // It drops the separator that ends a logical word such as "TRUE" and goes on to the next record.
    {"logical word", "T", "ll", "TRUE/ 5", "Ok T 99"},
    // It gives up on a word of more than 63 characters after T or F.
    {"logical word", "T", "l", "Txxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx F", "Ok T"},
    // It reports some bad fields as End when the file ends right after them without a line end.
    {"end of file", "U", "l", "5", "Error 99"},
    // After a bad field it sometimes skips one more record, and sometimes none.
    {"bad field", "U", "z;L;l;i;a;i", "4\nnext\n0\n43\n'9\n'0F\n2050\n",
     "Error (-7.0E+000,-7.0E+000) | Ok [next] | Error 99 | Ok 43 | Error [zz          ] | Ok 2050"},
    // A read past the end-of-file record is an error there; it needs two BACKSPACEs after it.
    {"after end", "U", "iii;i;B;ii", "1 2\n3 4\n", "Ok 1 2 3 | End -7 | B | Ok 3 4"},
    // The reader's own rules: items after an end or an error are skipped, and each read on a unit
    // starts at a new record.
    {"skipped", "T", "iir", "5 abc 6 7", "Error 5 -7 -7.0E+000"},
    {"records", "U", "i;ii;a;L", "1 2 3\n4 5\n'a b' x\n6\n", "Ok 1 | Ok 4 5 | Ok [a b         ] | Ok [6]"},
};
// clang-format on

constexpr int kUnit = 50;

// As the oracle writes it: the fewest digits that read back the same, in
// Fortran's ES form with a three-digit exponent.
std::string real_text(double x) {
    if (std::isnan(x)) return "NaN";
    if (std::isinf(x)) return x > 0 ? "Inf" : "-Inf";
    char buf[64];
    std::to_chars_result r{};
    for (int d = 1; d <= 17; ++d) {
        r = std::to_chars(buf, buf + sizeof buf, x, std::chars_format::scientific, d);
        double back = 0.0;
        std::from_chars(buf, r.ptr, back);
        if (back == x) break;
    }
    const std::string s(buf, r.ptr);
    const size_t e = s.find('e');
    std::string exp = s.substr(e + 2);
    while (exp.size() < 3) exp.insert(0, "0");
    return s.substr(0, e) + "E" + s[e + 1] + exp;
}

// One read statement with the items of a signature (i r z l a, or 0 for no
// item), each preset as in the oracle; returns the status and the values.
std::string read_items(ListRead& rd, std::string_view sig) {
    struct Item {
        int32_t i = -7;
        double r = -7.0;
        std::complex<double> z{-7.0, -7.0};
        Logical l = 99;
        FText<12> a{"zz"};
    };
    std::vector<Item> items(sig == "0" ? 0 : sig.size());
    for (size_t k = 0; k < items.size(); ++k) {
        switch (sig[k]) {
            case 'i': rd.integer(items[k].i); break;
            case 'r': rd.real(items[k].r); break;
            case 'z': rd.complex(items[k].z); break;
            case 'l': rd.logical(items[k].l); break;
            case 'a': rd.text(items[k].a); break;
            default: ADD_FAILURE() << "bad signature " << sig; return "";
        }
    }
    std::string out = status_text(rd.status());
    for (size_t k = 0; k < items.size(); ++k) {
        const Item& v = items[k];
        out += ' ';
        switch (sig[k]) {
            case 'i': out += std::to_string(v.i); break;
            case 'r': out += real_text(v.r); break;
            case 'z': out += "(" + real_text(v.z.real()) + "," + real_text(v.z.imag()) + ")"; break;
            case 'l': out += v.l == LTRUE ? "T" : v.l == LFALSE ? "F" : std::to_string(v.l); break;
            default: out += "[" + v.a.str() + "]"; break;
        }
    }
    return out;
}

std::string run_case(const OracleCase& c, const TempDir& dir) {
    if (c.kind == "T") {
        return run_ops(c.ops, [&](std::string_view op) {
            ListRead rd{std::string_view(c.input)};
            return read_items(rd, op);
        });
    }
    EXPECT_TRUE(unit_open(kUnit, write_file(dir.file("case.txt"), c.input), UnitMode::Read));
    const std::string out = run_ops(c.ops, [](std::string_view op) {
        std::string line = unit_op(kUnit, op);
        if (!line.empty()) return line;
        ListRead rd(kUnit);
        return read_items(rd, op);
    });
    unit_close(kUnit);
    return out;
}

void expect_rows(const std::vector<OracleCase>& cases) {
    const TempDir dir;
    for (const OracleCase& c : cases)
        EXPECT_EQ(run_case(c, dir), c.expected) << c.group << ": ops " << c.ops << " on " << c.kind << " \""
                                                << c.input << "\"";
}

}  // namespace

// Separators, nulls, r*c repeats, '/', quoted texts, real forms, logicals,
// complex values, reads over records, end of file and bad fields.
TEST(ListReadAsGfortran, EveryRecordedCase) {
    const std::vector<OracleCase> cases = oracle_cases("list_read_cases.txt");
    for (const char* group : {"separators", "null values", "repeats", "slash", "texts", "integers", "reals",
                              "logicals", "complex", "mixed", "text end", "records", "quoted over records",
                              "complex over records", "end and error"})
        EXPECT_TRUE(std::any_of(cases.begin(), cases.end(), [&](const OracleCase& c) { return c.group == group; }))
            << group;
    expect_rows(cases);
}

TEST(ListReadChoices, WhereTheReaderDoesOtherwise) {
    expect_rows(std::vector<OracleCase>(std::begin(kChoices), std::end(kChoices)));
}

// A string is not padded; a fixed text is cut or padded; a null leaves
// the item as it was.
TEST(ListRead, TextIntoStringOrFixedText) {
    std::string s = "old", t = "old", u = "old";
    EXPECT_TRUE(ListRead("'ab '  cd ,, x").text(s).text(t).text(u).ok());
    EXPECT_EQ(s + "|" + t + "|" + u, "ab |cd|old");
    FText<4> a("zzzz"), b("zzzz"), c("zzzz");
    EXPECT_TRUE(ListRead("abcdefg 'x' , ,").text(a).text(b).text(c).ok());
    EXPECT_EQ(a.str() + b.str() + c.str(), "abcdx   zzzz");
}

// A read of finite reals takes a NaN, an infinity or a number beyond the
// range of a double as a bad field: the item keeps its value.
TEST(ListRead, FiniteRealsOnly) {
    for (const char* field : {"NaN", "-Inf", "1e999", "2*NaN(q)", "(1,Inf)"}) {
        double x = -7.0;
        std::complex<double> z{-7.0, -7.0};
        const auto read = [&](ListRead&& in) { return (field[0] == '(' ? in.complex(z) : in.real(x)).status(); };
        EXPECT_EQ(read(ListRead(field, Reals::Finite)), ReadStatus::Error) << field;
        EXPECT_EQ(std::make_pair(x, z), std::make_pair(-7.0, std::complex<double>(-7.0, -7.0))) << field;
        EXPECT_EQ(read(ListRead(field)), ReadStatus::Ok) << field;
    }
    double x = 0.0;
    std::complex<double> z;
    EXPECT_TRUE(ListRead("1.5D300 (-2,1e-320)", Reals::Finite).real(x).complex(z).ok());
    EXPECT_EQ(std::make_pair(x, z), std::make_pair(1.5e300, std::complex<double>(-2.0, 1e-320)));
}

TEST(ListRead, UnitsThatCannotBeRead) {
    close_all_units();
    int32_t a = -7;
    EXPECT_EQ(ListRead(kUnit).integer(a).status(), ReadStatus::Error);  // not open
    EXPECT_EQ(a, -7);
    const TempDir dir;
    ASSERT_TRUE(unit_open(kUnit, dir.file("out.txt"), UnitMode::Write));
    EXPECT_EQ(ListRead(kUnit).integer(a).status(), ReadStatus::Error);  // an output unit
    close_all_units();
}

TEST(ListRead, ConsoleInputContinuesAndStepsBack) {
    console_input_from_text("1\n\n2 3\n4\n");
    int32_t a = 0, b = 0, c = 0;
    EXPECT_TRUE(ListRead(UNIT_CONSOLE_IN).integer(a).integer(b).ok());
    EXPECT_EQ(std::vector<int32_t>({a, b}), std::vector<int32_t>({1, 2}));
    unit_backspace(UNIT_CONSOLE_IN);
    EXPECT_TRUE(ListRead(UNIT_CONSOLE_IN).integer(a).integer(b).integer(c).ok());
    EXPECT_EQ(std::vector<int32_t>({a, b, c}), std::vector<int32_t>({2, 3, 4}));
    EXPECT_EQ(ListRead(UNIT_CONSOLE_IN).integer(a).status(), ReadStatus::End);
    console_input_from_stdin();
}

// No fixed-size record buffer.
TEST(ListRead, ReadsLongRecords) {
    std::string rec;
    for (int k = 1; k <= 5000; ++k) rec += std::to_string(k) + (k % 3 ? " " : ",\t");
    ListRead r(rec);
    int32_t v = 0;
    int64_t sum = 0;
    for (int k = 1; k <= 5000; ++k) sum += (r.integer(v), v);
    EXPECT_TRUE(r.ok());
    EXPECT_EQ(sum, 5000 * 5001 / 2);
}

TEST(ListRead, ArbitraryBytesNeverBreakTheReader) {
    // Deterministic junk of the characters that matter to the reader.
    const std::string_view alphabet = "0123456789+-.eEdDtTfF*,/ \t'\"()\r\nxINnaq";
    uint32_t seed = 12345;
    auto next = [&seed] { return seed = seed * 1664525u + 1013904223u; };
    const TempDir dir;
    for (int round = 0; round < 2000; ++round) {
        std::string junk;
        const int len = static_cast<int>(next() % 40);
        for (int k = 0; k < len; ++k) junk += alphabet[(next() >> 8) % alphabet.size()];
        int32_t i = 0;
        double x = 0.0;
        std::complex<double> z;
        Logical l = 0;
        std::string s;
        if (round % 2 == 0) {
            ListRead(junk).integer(i).real(x).complex(z).logical(l).text(s).integer(i);
        } else {
            ASSERT_TRUE(unit_open(kUnit, write_file(dir.file("junk.txt"), junk), UnitMode::Read));
            ListRead(kUnit).text(s).complex(z).real(x).logical(l).integer(i).real(x);
            unit_close(kUnit);
        }
    }
}

TEST(ListRead, ReadsTheSameWhateverTheLocale) {
    double x = 0.0, y = 0.0, w = 0.0;
    std::complex<double> z;
    bool ok = false;
    {
        const DecimalCommaLocale comma;
        if (!comma.selected()) GTEST_SKIP() << "no locale with a decimal comma here";
        ASSERT_TRUE(comma.effective()) << "the locale did not take effect";
        ok = ListRead("1.5 2,5 (0.25,1e-3)").real(x).real(y).real(w).complex(z).ok();
    }
    EXPECT_TRUE(ok);
    EXPECT_EQ(std::vector<double>({x, y, w}), std::vector<double>({1.5, 2.0, 5.0}));
    EXPECT_EQ(z, std::complex<double>(0.25, 1e-3));
}
