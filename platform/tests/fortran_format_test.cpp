// Formatted and list-directed output. The expected strings were printed by
// gfortran's own WRITE (platform/tests/oracle/format_oracle.f90, which says
// how to regenerate them).
#include "platform/fortran_format.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <limits>
#include <string>

#include "platform/tests/support/decimal_comma.h"

namespace {

const double kInf = std::numeric_limits<double>::infinity();
const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kMinSub = std::numeric_limits<double>::denorm_min();

template <class T>
struct FieldCase {
    const char* desc;
    T value;
    const char* field;
};

// One descriptor applied to one item, through a whole format and alone.
template <typename T>
void expect_field(const FieldCase<T>& c) {
    EXPECT_EQ(format_fortran("(" + std::string(c.desc) + ")", {c.value}), std::string(c.field) + "\n") << c.desc;
    if (std::string(c.desc).find('P') == std::string::npos) {
        EXPECT_EQ(edit(c.desc, c.value), c.field) << c.desc;
    }
}

// The required examples first; then rounding on the exact binary value,
// carries, the optional leading zero, negative zero, overflow, exponent
// widths, the scale factor, infinity and NaN.
const FieldCase<double> kEditCases[] = {
    {"G23.14", 1.5, "    1.5000000000000    "}, {"G23.14", 5e-5, "   0.50000000000000E-04"},
    {"G23.14", 0.09999999999999999, "   0.10000000000000    "}, {"G24.16E3", 4.6, "  4.600000000000000     "},
    {"G24.16E3", 1e16, " 0.1000000000000000E+017"}, {"E24.16E3", 1.5, " 0.1500000000000000E+001"},
    {"F11.6", 12345.5, "***********"}, {"G10.3", 1e5, " 0.100E+06"}, {"G10.3", 0.0, "  0.00    "},
    {"F4.2", 0.5, "0.50"}, {"F3.2", 0.5, ".50"}, {"F5.2", -0.001, "-0.00"}, {"F3.2", -0.001, "***"},
    {"F5.0", 0.4, "   0."}, {"F5.0", 2.5, "   2."}, {"F5.0", 3.5, "   4."}, {"F5.1", 0.25, "  0.2"},
    {"F5.1", 0.35, "  0.3"}, {"F5.1", 9.96, " 10.0"}, {"F4.1", 9.96, "10.0"}, {"F12.6", -1234567.8, "************"},
    {"F30.20", 0.1, "        0.10000000000000000555"}, {"F8.3", 1e-310, "   0.000"},
    {"F25.1", 1e23, "99999999999999991611392.0"}, {"E9.3", 1.5, "0.150E+01"}, {"E8.3", 1.5, ".150E+01"},
    {"E8.3", -1.5, "********"}, {"E10.3", 9.9995, " 0.100E+02"}, {"E10.2", 0.125, "  0.12E+00"},
    {"E10.3", 1e100, " 0.100+101"}, {"E10.3", 1e-100, " 0.100E-99"}, {"E10.3", 0.0, " 0.000E+00"},
    {"E10.3E1", 1e5, "  0.100E+6"}, {"E10.3E1", 1e15, "**********"}, {"E10.3", kMinSub, " 0.494-323"},
    {"G10.3", -0.0, " -0.00    "}, {"G10.3", 9.9996, "  10.0    "}, {"G10.3", 99.95, "  100.    "},
    {"G10.3", 999.6, " 0.100E+04"}, {"G10.3", 0.09996, " 0.100    "}, {"G10.3", 0.09995, " 0.999E-01"},
    {"G10.3", std::nextafter(0.09995, 1.0), " 0.100    "}, {"G14.8", 99999999.0, " 99999999.    "},
    {"G14.8", 99999999.6, "0.10000000E+09"}, {"G14.8", -0.0123456789, "-.12345679E-01"},
    {"G11.4", -1234.5, " -1234.    "}, {"G12.3E3", 1e5, "  0.100E+006"}, {"G5.3", 1.0, "*****"},
    {"G8.3", -1.0, "********"}, {"ES10.3", 1.5e5, " 1.500E+05"}, {"ES10.3", -9.9996, "-1.000E+01"},
    {"1PE10.3", 1.5, " 1.500E+00"}, {"2PE10.3", 1.5, " 15.00E-01"}, {"-1PE10.3", 1.5, " 0.015E+02"},
    {"1PF10.3", 1.5, "    15.000"}, {"-4PF10.1", 1500.0, "       0.2"}, {"1PG10.3", 1.5, "  1.50    "},
    {"F8.3", kNaN, "     NaN"}, {"F8.3", kInf, "Infinity"}, {"F8.3", -kInf, "    -Inf"}, {"F3.0", kInf, "Inf"},
    {"F3.0", -kInf, "***"}, {"F2.0", kNaN, "**"}, {"G12.3", -kInf, "   -Infinity"},
};
const FieldCase<int64_t> kIntCases[] = {
    {"I8", 12345, "   12345"}, {"I4", 12345, "****"}, {"I4", -1000, "****"}, {"I3.0", 0, "   "},
    {"I5.3", -7, " -007"}, {"I3.3", -7, "***"}, {"I20", int64_t{-9223372036854775807} - 1, "-9223372036854775808"},
};
const FieldCase<const char*> kTextCases[] = {
    {"A3", "abcdef", "abc"}, {"A8", "abc", "     abc"}, {"A", "abc  ", "abc  "},
};

TEST(FortranEdit, FieldsMatchGfortran) {
    for (const auto& c : kEditCases) expect_field(c);
    for (const auto& c : kIntCases) expect_field(c);
    for (const auto& c : kTextCases) expect_field(c);
    EXPECT_EQ(edit("L1", FValue::logical(LTRUE)), "T");
    EXPECT_EQ(edit("L3", FValue::logical(LFALSE)), "  F");
    EXPECT_EQ(edit("L2", FValue::logical(2)), " F");  // only the lowest bit counts
    // A fixed-length text keeps its trailing blanks under A.
    EXPECT_EQ(edit("A", FText<6>("ab")), "ab    ");
    // A complex value fills two fields.
    EXPECT_EQ(edit("F5.1", std::complex<double>(1.25, -2.5)), "  1.2 -2.5");
}

TEST(FortranEdit, RejectsAnythingButOneDataDescriptor) {
    for (const char* bad : {"", "3I5", "I5,I5", "(I5)", "1X", "1PE10.3", "F8", "Q5", "I5.6"})
        EXPECT_THROW(edit(bad, int32_t{1}), FormatError) << bad;
}

TEST(FortranFormat, RecordsAndReversion) {
    // Reversion restarts at the last top-level group.
    EXPECT_EQ(format_fortran(R"(("[",I4,"]"))", {1, 2, 3}), "[   1]\n[   2]\n[   3]\n");
    EXPECT_EQ(format_fortran(R"(("[",I4,"]",2("<",I2,">")))", {1, 2, 3, 4, 5, 6}), "[   1]< 2>< 3>\n< 4>< 5>\n< 6><\n");
    EXPECT_EQ(format_fortran(R"(("a",(I2,"b"),2("c",I2,"d"),"e"))", {1, 2, 3, 4, 5, 6, 7, 8}),
              "a 1bc 2dc 3de\nc 4dc 5de\nc 6dc 7de\nc 8dc\n");
    EXPECT_EQ(format_fortran("(F5.1)", {std::complex<double>(1.25, -2.5)}), "  1.2\n -2.5\n");
    // Output stops at a data descriptor without an item, or at ':'.
    EXPECT_EQ(format_fortran(R"(("a",I2,"b",I2,"c"))", {1}), "a 1b\n");
    EXPECT_EQ(format_fortran(R"(("a",I2,:,"b",I2,"c"))", {1}), "a 1\n");
    EXPECT_EQ(format_fortran(R"((2/,"x",/"y"/))", {}), "\n\nx\ny\n\n");
    EXPECT_EQ(format_fortran("()", {}), "\n");
}

TEST(FortranFormat, RepeatsPositionsScaleFactorAndNotation) {
    EXPECT_EQ(format_fortran("(3I3,2(1X,F4.1))", {1, 2, 3, 1.5, -2.5}), "  1  2  3  1.5 -2.5\n");
    // Moving right without writing does not lengthen the record.
    EXPECT_EQ(format_fortran("(A,5X)", {"x"}), "x\n");
    EXPECT_EQ(format_fortran("(A,T10,A,T3,A,TL2,A)", {"abcdef", "X", "Y", "Z"}), "aZYdef   X\n");
    EXPECT_EQ(format_fortran("(A,TL20,A,TR2,A)", {"abcdef", "Q", "R"}), "QbcRef\n");
    EXPECT_EQ(format_fortran("(1PE10.3,E10.3,0PE10.3)", {1.5, 1.5, 1.5}), " 1.500E+00 1.500E+00 0.150E+01\n");
    EXPECT_EQ(format_fortran("(E10.3,1P,E10.3)", {1.5, 1.5, 1.5, 1.5}), " 0.150E+01 1.500E+00\n 1.500E+00 1.500E+00\n");
    EXPECT_EQ(format_fortran(R"((/, " **** YOU HAVE OVER ", I4, " NODES IN SUBSYSTEM ", I3, "! ****"))", {12345, 2}),
              "\n **** YOU HAVE OVER **** NODES IN SUBSYSTEM   2! ****\n");
    EXPECT_EQ(format_fortran(R"(('it''s', 1X, "say ""hi"""))", {}), "it's say \"hi\"\n");
    EXPECT_EQ(format_fortran("(i3, 1x, f5.2, 1x, es9.2, 1x, g9.3, 1x, a2, 1x, l2)",
                             {7, 1.25, 1.5, 2.0, "xyz", FValue::logical(LTRUE)}),
              "  7  1.25  1.50E+00  2.00     xy  T\n");
    EXPECT_EQ(format_fortran("( I 3 , F 6 . 2 )", {12, 3.25}), " 12  3.25\n");
}

TEST(FortranFormat, BadFormatsAndItemsThrow) {
    for (const char* bad : {"", "I5", "(I5", "(I5))", "(I5,)", "(I5 I5)", "('abc)", "(Q5)", "(X)", "(P)", "(0I5)",
                            "(())", "(I0)", "(F8)", "(E10.3E0)", "(A0)", "(T0)", "(100000I5)", "(I5)x"})
        EXPECT_THROW(format_fortran(bad, {1}), FormatError) << bad;
    // E needs a significant digit: Ew.0 without a positive scale factor,
    // or a scale factor beyond the digits.
    const std::pair<const char*, FValue> items[] = {{"(F8.3)", 1},     {"(I5)", 1.0},       {"(A)", 1},
                                                    {"(L2)", 1},       {"(E10.0)", 1.0},    {"(5PE10.3)", 1.0},
                                                    {"('x')", 1},      {"(I3,('x'))", 1}};
    for (const auto& [format, item] : items) EXPECT_THROW(format_fortran(format, {item, item}), FormatError) << format;
    // Output without bound.
    EXPECT_THROW(format_fortran("(99999(99999('ab')))", {}), FormatError);
}

TEST(FortranFormat, NumbersIgnoreTheLocale) {
    std::string f, l;
    {
        const DecimalCommaLocale comma;
        if (!comma.selected()) GTEST_SKIP() << "no locale with a decimal comma";
        ASSERT_TRUE(comma.effective()) << "the locale did not take effect";
        f = format_fortran("(F6.2,1X,E10.3,1X,ES10.3,1X,G10.3)", {1.5, 1.5, 1.5, 1.5});
        l = format_list({1.5, std::complex<double>(0.5, 1e-5)});
    }
    EXPECT_EQ(f, "  1.50  0.150E+01  1.500E+00   1.50    \n");
    EXPECT_EQ(l, "   1.5000000000000000             (0.50000000000000000,1.00000000000000008E-005)\n");
}

TEST(FortranList, AsGfortranPrintsThem) {
    using C = std::complex<double>;
    EXPECT_EQ(format_list({"a", "b"}), " ab\n");
    EXPECT_EQ(format_list({1, 2, int32_t{-2147483647 - 1}}), "           1           2 -2147483648\n");
    EXPECT_EQ(format_list({"a", 1, "b"}), " a           1 b\n");
    EXPECT_EQ(format_list({"a", FValue::logical(LTRUE), "b", 1, FValue::logical(LFALSE)}), " a T b           1 F\n");
    EXPECT_EQ(format_list({}), "\n");
    EXPECT_EQ(format_list({""}), " \n");
    EXPECT_EQ(format_list({1.5, -1.5, 0.0, -0.0}), "   1.5000000000000000       -1.5000000000000000        0.0000000000000000       -0.0000000000000000     \n");
    EXPECT_EQ(format_list({1e-5, 1e5, 1e15, 1e16, 1e17, 0.1, 0.099}), "   1.0000000000000001E-005   100000.00000000000        1000000000000000.0        10000000000000000.        1.0000000000000000E+017  0.10000000000000001        9.9000000000000005E-002\n");
    EXPECT_EQ(format_list({1e100, 1e-100, 1e-310, std::numeric_limits<double>::max(),
                           std::numeric_limits<double>::min()}),
              "   1.0000000000000000E+100   1.0000000000000000E-100   9.9999999999999694E-311   1.7976931348623157E+308   2.2250738585072014E-308\n");
    EXPECT_EQ(format_list({kInf, -kInf, kNaN}), "                  Infinity                 -Infinity                       NaN\n");
    EXPECT_EQ(format_list({"a", C(1, -2), "b"}), " a              (1.0000000000000000,-2.0000000000000000) b\n");
    EXPECT_EQ(format_list({1, C(kInf, kNaN), C(-kInf, 0.5)}), "           1                                             (Inf,NaN)                            (-Inf,0.50000000000000000)\n");
    EXPECT_EQ(format_list({"WARNING: HOLVA aborted ZARIK on run", 2, " of", 5}), " WARNING: HOLVA aborted ZARIK on run           2  of           5\n");
}

}  // namespace
