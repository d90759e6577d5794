// The numbered engine messages: exact texts of every kind of ending and the
// dimension report, written by gfortran from the same formats and arguments
// (shared blocks spelled once); the fall-backs for numbers without a text.
#include <algorithm>
#include <set>

#include "engine/message_table.h"
#include "engine/messages.h"
#include "engine/tests/engine_test_support.h"
#include "platform/fortran_format.h"

namespace {

Captured write_message(int32_t n, int32_t k1, int32_t k2, int32_t k3, double x1, double x2, const Text72& txt) {
    return capture([&] { OUTMSG(n, k1, k2, k3, x1, x2, txt); });
}
Captured write_message(int32_t n) { return write_message(n, 1, 2, 3, 4.0, 5.0, Text72("TEXT")); }

class Messages : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        auto& nd = DIMBLOCK.AVAIL;
        nd[1] = 1000, nd[2] = 2, nd[3] = 3, nd[4] = 5, nd[5] = 3, nd[6] = 4, nd[8] = 20;
        nd[10] = 123456, nd[13] = 12345, nd[27] = 7, nd[28] = 1234567, nd[29] = 999, nd[30] = 1;
    }
};

const std::string kLine = "C  1  2  3  0.5 /";
const std::string kHead = "\n **** ERROR IN READING OF DATA FILE!  ****\n";
const std::string kOffending =
    "\n **** THE OFFENDING LINE IN THE DATA FILE IS: ****\n" + kLine + std::string(72 - kLine.size(), ' ') + "\n\n\n";
const std::string kTerminating = "\n **** EXECUTION TERMINATING  ****\n\n";
const std::string kContinuing = "\n **** EXECUTION CONTINUING ****\n\n";
const std::string kExceeded = "\n **** DIMENSIONING EXCEEDED! ****\n\n\n";
const std::string kDimensions =
    "\n **** ZARIK IS CURRENTLY DIMENSIONED AS FOLLOWS: ****\n"
    "\n VARIABLE   CURRENT         DIMENSIONED                     \n"
    "   NAME      VALUE           QUANTITY                       \n"
    "                                                              \n"
    "    ND1     1000    # of Nodes Per Subsystem                \n"
    "    ND2        2    # of Subsystems                         \n"
    "    ND3        3    # of Windings Per Transformer           \n"
    "    ND4        5    # of Transformers                       \n"
    "    ND5        3    # of Phases or Modes Per T-line         \n"
    "    ND6        4    # of T-lines and Cables                 \n"
    "    ND8       20    # of Pole/Zeroes for tline Curve Fit    \n"
    "\n    ND10  123456    # of Stor Locations (STOR)              \n"
    "    ND13    ****    # of PGB Output Channels                \n"
    "    ND27       7    # of Logical Stor Locations (STORL)     \n"
    "    ND28  ******    # of Integer Stor Locations (STORI)     \n"
    "    ND29     999    # of Real    Stor Locations (STORF)     \n"
    "    ND30       1    # of Complex Stor Locations (STORC)     \n"
    "\n IF ANY OF THESE DIMENSIONS HAVE BEEN EXCEEDED, THEN\n"
    " YOU MAY HAVE SOME CUSTOM MODELS WITH IMPROPER HOLVA SCRIPT\n"
    " DIRECTIVES.\n";

struct OracleCase {
    int32_t n, k1, k2, k3;
    double x1, x2;
    std::string txt;
    bool terminates;
    std::string expected;
};

// clang-format off
const OracleCase kOracle[] = {
    {2, 0, 0, 0, 0.0, 0.0, kLine, true, kHead + "\n **** INVALID DATA LINE ****\n"
        "     ( DID YOU REMEMBER THE TERMINATING '/' AT THE END OF ALL DATA LINES? )\n"
        "     ( DID YOU PLACE A 'C' OR 'c' AT THE BEGINNING OF COMMENT CARDS? )\n"
        "     ( DID YOU PLACE AN 'O' WHERE A '0' SHOULD HAVE BEEN? )\n" + kOffending + kTerminating},
    {7, 12345, 3, 0, 0.0, 0.0, kLine, true, kHead + "\n **** YOU HAVE OVER **** NODES IN SUBSYSTEM   3! ****\n"
        + kExceeded + kDimensions + kOffending + kTerminating},
    {40, 0, 0, 0, 0.0, 0.0, kLine, false, kHead + kContinuing},
    {0, 0, 0, 0, 0.0, 0.0, kLine, true,
        kHead + "\n **** MAXIMUM OF 200 SEQUENTIAL COMMENT LINES ARE ALLOWED :( ****\n" + kOffending + kTerminating},
    {104, 250, 0, 0, 0.0, 0.0, kLine, false,
        "\n **** YOU HAVE ASKED FOR MORE THAN THE DIMENSIONED NUMBER OF OUTPUT CHANNELS ( 250)! ****\n"
        "      ONLY THE MAXIMUM WILL BE PROVIDED!\n"
        " **** PLEASE ENSURE THAT NO PGB NUMBER GREATER THAN  250 IS REFERENCED! ****\n" + kContinuing},
    {205, 12, 0, 0, 1000000000.0, 0.0, kLine, false, "      VAR(  12) IS = 0.10000000E+10\n"},
    // The subsystem is the nearest integer of x1; halves go away from zero.
    {249, 10, 11, 12, -2.5, 0.0, kLine, false,
        "\n **** WARNING ****\n CHECK MAC100 SYNC MACHINE DATA FOR SUBSYSTEM  -3 CONNECTED TO BUSSES:   10  11  12\n"},
    {251, 0, 0, 0, 0.0, 0.0, kLine, false, " PARAMETER XA EXCEEDS RANGE 0.05<XA<0.35\n" + kContinuing},
    // A real too wide for its field.
    {274, 0, 0, 0, 123456.0, 0.0, kLine, false, " *** ARC RE-ESTABLISHED AT ************ KV. (SARC20) *** \n"},
    {301, 0, 0, 0, 0.0, 0.0, kLine, false,
        "\n IS CASE STARTING FROM DATA INPUT OR SNAPSHOT? \n ENTER 0 FOR DATA,  1 FOR SNAPSHOT:\n"},
    {404, 5000, 4000, 0, 0.0, 0.0, kLine, true,
        "\n **** YOU HAVE USED  5000 LOCATIONS IN YOUR STOR ARRAY, BUT ONLY  4000 ARE DIMENSIONED! ****\n" +
        kDimensions + kTerminating},
    {471, 1, 2, 3, 0.0, 0.0, kLine, true, " CHECK FOR AN ERROR IN VZNO   SURGE ARRESTER IN SUBSYSTEM   1\n"
        " POSITIONED BETWEEN NODES :  2 AND   3\n" + kTerminating},
    {464, 0, 0, 0, 0.0, 0.0, kLine, true, kExceeded + kDimensions + kOffending + kTerminating},
};
// clang-format on

TEST_F(Messages, TextsMatchTheFormattedOutputOfTheReferenceCompiler) {
    for (const OracleCase& c : kOracle) {
        SCOPED_TRACE(c.n);
        const Captured w = write_message(c.n, c.k1, c.k2, c.k3, c.x1, c.x2, Text72(c.txt));
        EXPECT_EQ(w.aborted, c.terminates);
        EXPECT_EQ(w.status, c.terminates ? 2000 : 0);
        EXPECT_EQ(w.out, c.expected + (c.terminates ? abort_frame("OUTMSG") : std::string()));
    }
}

TEST_F(Messages, NumbersWithoutATextOfTheirOwnFallBackOrShareOne) {
    const std::pair<int32_t, int32_t> same[] = {
        {0, 1},     {-7, 1},    {41, 1},    {100, 1},   {150, 101}, {250, 201},
        {280, 301}, {471, 451}, {402, 401}, {209, 208}, {2147483647, 451}};
    for (const auto& [n, m] : same) {
        const Captured a = write_message(n), b = write_message(m);
        EXPECT_EQ(a.out, b.out) << n;
        EXPECT_EQ(a.aborted, b.aborted) << n;
    }
    // Only data-file numbers carry the header.
    EXPECT_EQ(write_message(1).out.rfind(kHead, 0), 0u);
    EXPECT_FALSE(contains(write_message(101).out, "DATA FILE"));
    const Captured d = write_message(467, 0, 0, 0, 0.0, 0.0, Text72("x"));
    EXPECT_TRUE(d.aborted);
    EXPECT_EQ(d.out.rfind(kExceeded, 0), 0u);
}

// Records a format writes when every field has its item: one per "/"
// outside the quoted pieces, and one more.
size_t records_of(std::string_view format) {
    size_t n = 1;
    char quote = 0;
    for (char ch : format) {
        if (quote) quote = ch == quote ? 0 : quote;
        else if (ch == '"' || ch == '\'') quote = ch;
        else n += ch == '/';
    }
    return n;
}

std::string format_row(const MessageRow& row) {
    std::vector<FValue> v;
    for (char code : row.args)
        v.push_back(code == 'x' || code == 'y' ? FValue(0.25) : code == 't' || code == 's' ? FValue("ABC") : FValue(7));
    const size_t n = v.size();
    return n == 0   ? format_fortran(row.format, {})
           : n == 1 ? format_fortran(row.format, {v[0]})
           : n == 2 ? format_fortran(row.format, {v[0], v[1]})
           : n == 3 ? format_fortran(row.format, {v[0], v[1], v[2]})
                    : format_fortran(row.format, {v[0], v[1], v[2], v[3]});
}

TEST_F(Messages, TableCoversEveryNumberAndEachFieldHasOneArgument) {
    std::set<int32_t> seen;
    for (const MessageRow& row : message_table()) {
        for (int32_t n = row.first; n <= row.last; ++n) EXPECT_TRUE(seen.insert(n).second) << n;
        if (row.format.empty()) continue;
        SCOPED_TRACE(row.first);
        ASSERT_LE(row.args.size(), 4u);
        std::string text;
        ASSERT_NO_THROW(text = format_row(row));
        // Too few items would cut the text short, too many would start the
        // format again on further records.
        EXPECT_EQ(static_cast<size_t>(std::count(text.begin(), text.end(), '\n')), records_of(row.format));
    }
    for (int32_t n = -5; n <= 500; ++n) {
        const int32_t s = message_select(n);
        EXPECT_NE(message_row(s), nullptr) << n;
        EXPECT_EQ(seen.count(s), 1u) << n;
    }
    EXPECT_EQ(seen.size(), 40u + 10u + 49u + 26u + 21u + 49u + 20u);
}

}  // namespace
