// The numbered engine messages: exact texts of every kind of ending, the
// fall-backs for numbers without a text, and the dimension report. The
// expected texts of the first table were written by gfortran from the same
// formats and arguments (the blocks many of them share are spelled once).
#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "engine/engine_reset.h"
#include "engine/message_table.h"
#include "engine/messages.h"
#include "network/dimensions.h"
#include "platform/fortran_format.h"
#include "platform/tests/support/capture.h"

namespace {

Captured write_message(int32_t n, int32_t k1, int32_t k2, int32_t k3, double x1, double x2, const Text72& txt) {
    return capture([&] { OUTMSG(n, k1, k2, k3, x1, x2, txt); });
}
Captured write_message(int32_t n) { return write_message(n, 1, 2, 3, 4.0, 5.0, Text72("TEXT")); }

class Messages : public testing::Test {
protected:
    void SetUp() override {
        reset_all_engine_state();
        auto& nd = DIMBLOCK.AVAIL;
        nd[1] = 30, nd[2] = 2, nd[3] = 3, nd[4] = 5, nd[5] = 3, nd[6] = 4, nd[8] = 20;
        nd[10] = 123456, nd[13] = 10, nd[27] = 7, nd[28] = 1234567, nd[29] = 999, nd[30] = 1;
    }
    void TearDown() override { reset_all_engine_state(); }
};

const std::string kLine = "C  1  2  3  0.5 /";
const std::string kHead = "\n **** ERROR IN READING OF DATA FILE!  ****\n";
const std::string kOffending =
    "\n **** THE OFFENDING LINE IN THE DATA FILE IS: ****\n" + kLine + std::string(72 - kLine.size(), ' ') + "\n\n\n";
const std::string kTerminating = "\n **** EXECUTION TERMINATING  ****\n\n";
const std::string kContinuing = "\n **** EXECUTION CONTINUING ****\n\n";
const std::string kExceeded = "\n **** DIMENSIONING EXCEEDED! ****\n\n\n";
const std::string kMac100 = "\n **** WARNING ****\n CHECK MAC100 SYNC MACHINE DATA FOR SUBSYSTEM ";
const std::string kAskStart = "\n IS CASE STARTING FROM DATA INPUT OR SNAPSHOT? \n ENTER 0 FOR DATA,  1 FOR SNAPSHOT:\n";
const std::string kDimensions =
    "\n **** ZARIK IS CURRENTLY DIMENSIONED AS FOLLOWS: ****\n"
    "\n VARIABLE   CURRENT         DIMENSIONED                     \n"
    "   NAME      VALUE           QUANTITY                       \n"
    "                                                              \n"
    "    ND1       30    # of Nodes Per Subsystem                \n"
    "    ND2        2    # of Subsystems                         \n"
    "    ND3        3    # of Windings Per Transformer           \n"
    "    ND4        5    # of Transformers                       \n"
    "    ND5        3    # of Phases or Modes Per T-line         \n"
    "    ND6        4    # of T-lines and Cables                 \n"
    "    ND8       20    # of Pole/Zeroes for tline Curve Fit    \n"
    "\n    ND10  123456    # of Stor Locations (STOR)              \n"
    "    ND13      10    # of PGB Output Channels                \n"
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
    {20, 0, 0, 0, 0.0, 0.0, "results_of_the_long_run.out", true,
        kHead + "\n **** PROBLEM WRITING TO OUTPUT FILE : results_of_the_ ! ****\n" + kTerminating},
    {22, 17, 2, 15, 0.0, 0.0, kLine, true, kHead + "\n **** YOU HAVE REFERENCED NODE   17 ON THIS DATA CARD.  ****\n"
        "      THE FIRST CARD FOR SUBSYSTEM   2 SAYS YOU HAVE ONLY   15 NODES!\n" + kOffending + kTerminating},
    {35, 0, 0, 0, 0.0, 0.0, kLine, true, kHead + kOffending + kTerminating},
    {40, 0, 0, 0, 0.0, 0.0, kLine, false, kHead + kContinuing},
    {0, 0, 0, 0, 0.0, 0.0, kLine, true,
        kHead + "\n **** MAXIMUM OF 200 SEQUENTIAL COMMENT LINES ARE ALLOWED :( ****\n" + kOffending + kTerminating},
    {103, 0, 0, 0, 0.0, 0.0, "datafile", false, "\n **** INPUT FILE datafile   DOES NOT EXIST! ****\n\n"},
    {104, 250, 0, 0, 0.0, 0.0, kLine, false,
        "\n **** YOU HAVE ASKED FOR MORE THAN THE DIMENSIONED NUMBER OF OUTPUT CHANNELS ( 250)! ****\n"
        "      ONLY THE MAXIMUM WILL BE PROVIDED!\n"
        " **** PLEASE ENSURE THAT NO PGB NUMBER GREATER THAN  250 IS REFERENCED! ****\n" + kContinuing},
    {110, 0, 0, 0, 0.0, 0.0, kLine, false, kContinuing},
    {108, 0, 0, 0, 0.0, 0.0, kLine, false, "\n **** THIS IS YOUR LAST CHANCE! ****\n\n"},
    {203, 2, 1234567890, 0, 0.0, 0.0, kLine, false, "\nNumber of Matrix Switchings in SS#   2 is: ********\n"},
    {205, 12, 0, 0, 0.5, 0.0, kLine, false, "      VAR(  12) IS = 0.50000000    \n"},
    {205, 12, 0, 0, 1000000000.0, 0.0, kLine, false, "      VAR(  12) IS = 0.10000000E+10\n"},
    {207, 3, 0, 0, -2.75, 0.0, "MAXIMUM", false,
        "      THE MAXIMUM PGB # SO FAR = -2.7500000    .\n      THIS WAS GENERATED DURING RUN #    3\n\n\n"},
    {218, 0, 0, 0, 0.00125, 0.0, "*      +      |", false,
        "   0.001250*      +      |                                      \n"},
    {220, 0, 0, 0, -1.5, 250.0, kLine, false,
        "\n           -1.50                                             250.    \n"},
    {231, 0, 0, 0, 4.6, 0.0, kLine, false, "\n\n\n\n--------------------------------------------------------\n"
        "    ZARIK(tm)  Version 4.60\n--------------------------------------------------------\n"},
    {232, 2024, 3, 7, 0.0, 0.0, kLine, false, "\n ZARIK AC & DC Simulation run on 2024-03-07\n"},
    // The subsystem is the nearest integer of x1; halves go away from zero.
    {249, 10, 11, 12, 2.5, 0.0, kLine, false, kMac100 + "  3 CONNECTED TO BUSSES:   10  11  12\n"},
    {249, 10, 11, 12, -2.5, 0.0, kLine, false, kMac100 + " -3 CONNECTED TO BUSSES:   10  11  12\n"},
    {250, 7, 0, 0, 0.0, 0.0, kLine, false,
        "\n ****    7 MULTIPLE RUNS ARE COMPLETED ****\n **** NOW TO GENERATE OUTPUT FOR THE OPTIMUM RUN ****\n\n"},
    {251, 0, 0, 0, 0.0, 0.0, kLine, false, " PARAMETER XA EXCEEDS RANGE 0.05<XA<0.35\n" + kContinuing},
    {263, 0, 0, 0, 138.0, 0.0125, kLine, false, " FWAV22 MEASURING 138.00KV BUS DETECTS0.013 PU UNBALANCE\n"},
    {276, 12, 0, 0, 0.0, 0.0, kLine, false, " ****** WARNING! TOO MANY POLE/ZEROES FOR THE\n"
        "FREQUENCY DEPENDENT LINE MODEL HAVE BEEN ENTERED!\nONLY  12 POINTS WILL BE USED!\n"},
    {301, 0, 0, 0, 0.0, 0.0, kLine, false, kAskStart},
    {314, 20, 0, 0, 0.0, 0.0, kLine, false,
        "\n ENTER OUTPUT PGB COLUMN NUMBER ( 1 -   20 ) TO BE MAXIMIZED OR MINIMIZED:\n"},
    {318, 0, 0, 0, 0.0123, 0.0, kLine, false,
        "\n THIS CASE WILL START AT T =  0.123000E-01 SECONDS\n ENTER NEW FINISH TIME:\n"},
    {402, 4, 4, 4, 0.0, 0.0, kLine, true, "\n **** SORRY, MAXIMUM OF FOUR ATTEMPTS ALLOWED ****\n\n" + kTerminating},
    {403, 0, 0, 0, 0.0, 0.0, "DSLINT", true, "\n\n *************************************************\n"
        " ** DISCREPANCY FOUND BETWEEN ARRAY DIMENSIONING\n PARAMETERS IN ZARIK MAINLINE AND SUBROUTINE DSLINT!\n"
        "\n PROBABLE CAUSE : MAINLINE AND DSLINT WERE COMPILED\n WITH DIFFERENT VERSIONS OF ZRK.E!\n"
        " *************************************************\n" + kTerminating},
    {404, 5000, 4000, 0, 0.0, 0.0, kLine, true,
        "\n **** YOU HAVE USED  5000 LOCATIONS IN YOUR STOR ARRAY, BUT ONLY  4000 ARE DIMENSIONED! ****\n" +
        kDimensions + kTerminating},
    {406, 12, 0, 34, 0.0, 0.0, kLine, true,
        "\n **** 12BY 12MATRIX GREATER THAN   0 BY   0\n      CHECK DISTRIBUTED LINE INPUT DATA\n" + kTerminating},
    {412, 4, 5, 6, 2.5, 0.0, kLine, true, kMac100 + "  3 CONNECTED TO BUSSES:   4   5   6\n"
        " PARAMETER X1 MUST BE LESS THEN XD,XD1, AND XD11 !\n" + kTerminating},
    {416, 0, 0, 0, 0.000123, 0.0, kLine, true, " VOLT BASE TOO LOW AT .12300000E-03 KV\n" + kTerminating},
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
        EXPECT_EQ(w.out, c.expected + (c.terminates ? abort_frame("OUTMSG") : std::string()));
    }
}

TEST_F(Messages, EndingsWriteTheirTrailers) {
    // Return: the text alone; continue: the text and its trailer, and back;
    // terminate: the trailer, then the abort frame naming the messages.
    EXPECT_EQ(write_message(102).out, "\n **** PLEASE TRY AGAIN ****\n");
    const Captured c = write_message(252);
    EXPECT_FALSE(c.aborted);
    EXPECT_EQ(c.out, " PARAMETER XMD EXCEEDS RANGE 0.50<XMD<2.0\n" + kContinuing);
    const Captured t = write_message(418);
    EXPECT_EQ(t.status, 2000);
    EXPECT_EQ(t.out, " INERTIA MUST BE GREATER THAN 0.0\n" + kTerminating + abort_frame("OUTMSG"));
    const Captured g = write_message(437, 4, 0, 0, 0.0, 0.0, Text72());
    EXPECT_TRUE(g.aborted);
    EXPECT_TRUE(contains(g.out, " SUBSYSTEM   4 NEEDS TO BE GROUNDED!"));
    // A real argument too wide for its field.
    EXPECT_EQ(write_message(274, 0, 0, 0, 123456.0, 0.0, Text72()).out,
              " *** ARC RE-ESTABLISHED AT ************ KV. (SARC20) *** \n");
}

TEST_F(Messages, OffendingLineIsTheWholeTextArgument) {
    const Text72 line("R 1 2 0.5 /");
    const Captured w = write_message(12, 0, 0, 0, 0.0, 0.0, line);
    EXPECT_TRUE(w.aborted);
    EXPECT_TRUE(contains(w.out, "\n **** THE OFFENDING LINE IN THE DATA FILE IS: ****\n" + line.str() + "\n\n\n"))
        << w.out;
    EXPECT_FALSE(contains(w.out, "DIMENSIONING"));
}

TEST_F(Messages, DimensionReportShowsTheCurrentExtents) {
    DIMBLOCK.AVAIL[1] = 1000;
    DIMBLOCK.AVAIL[13] = 12345;  // too wide for its I4 field
    const Captured w = write_message(9, 1001, 1, 0, 0.0, 0.0, Text72("line"));
    EXPECT_TRUE(w.aborted);
    for (const char* piece : {"\n **** YOU HAVE OVER 1001 +VE BRANCHES IN SUBSYSTEM   1! ****\n",
                              "\n **** DIMENSIONING EXCEEDED! ****\n\n\n\n **** ZARIK IS CURRENTLY",
                              "\n    ND1     1000    # of Nodes Per Subsystem                \n",
                              "\n    ND13    ****    # of PGB Output Channels                \n"})
        EXPECT_TRUE(contains(w.out, piece)) << piece;
    // The report comes before the offending line.
    EXPECT_LT(w.out.find(" DIRECTIVES.\n"), w.out.find("OFFENDING LINE"));
}

TEST_F(Messages, NumbersWithoutATextFallBackOnTheirRange) {
    const std::string one = write_message(1).out;
    for (int32_t n : {0, -7, 41, 100}) EXPECT_EQ(write_message(n).out, one) << n;
    const std::pair<int32_t, int32_t> same[] = {{150, 101}, {250, 201}, {277, 301}, {280, 301}, {290, 251},
                                                {399, 301}, {450, 401}, {471, 451}, {2147483647, 451}};
    for (const auto& [n, m] : same) EXPECT_EQ(write_message(n).out, write_message(m).out) << n;
    // Only data-file numbers carry the header.
    EXPECT_EQ(one.rfind(kHead, 0), 0u);
    EXPECT_FALSE(contains(write_message(101).out, "DATA FILE"));
}

TEST_F(Messages, SharedTextsAndMessagesWithoutTextOfTheirOwn) {
    EXPECT_EQ(write_message(2).out, write_message(3).out);
    for (int32_t n = 209; n <= 214; ++n) EXPECT_EQ(write_message(n).out, write_message(208).out);
    const Captured a = write_message(401), b = write_message(402);
    EXPECT_TRUE(a.aborted && b.aborted);
    EXPECT_EQ(a.out, b.out);
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
        if (quote) {
            if (ch == quote) quote = 0;
        } else if (ch == '"' || ch == '\'') {
            quote = ch;
        } else if (ch == '/') {
            ++n;
        }
    }
    return n;
}

std::string format_row(const MessageRow& row) {
    std::vector<FValue> v;
    for (char code : row.args) {
        if (code == 'x' || code == 'y') v.emplace_back(0.25);
        else if (code == 't' || code == 's') v.emplace_back("ABC");
        else v.emplace_back(int32_t{7});
    }
    switch (v.size()) {
        case 0: return format_fortran(row.format, {});
        case 1: return format_fortran(row.format, {v[0]});
        case 2: return format_fortran(row.format, {v[0], v[1]});
        case 3: return format_fortran(row.format, {v[0], v[1], v[2]});
        default: return format_fortran(row.format, {v[0], v[1], v[2], v[3]});
    }
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
