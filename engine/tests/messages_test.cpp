// The numbered engine messages: exact texts of every kind of ending, the
// fall-backs for numbers without a text, and the dimension report. The
// expected texts of the first table were written by gfortran from the same
// formats and arguments.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "engine/abort.h"
#include "engine/engine_reset.h"
#include "engine/engine_stop.h"
#include "engine/message_table.h"
#include "engine/messages.h"
#include "network/dimensions.h"
#include "network/input_state.h"
#include "platform/fortran_format.h"
#include "platform/text_units.h"

namespace {

const std::string kAbortFrame =
    " =========================================================\n"
    " ERROR: Abnormal termination of ZARIK by OUTMSG      \n"
    " =========================================================\n"
    " \n";

struct Written {
    std::string out;
    bool aborted = false;
};

Written write_message(int32_t n, int32_t k1, int32_t k2, int32_t k3, double x1, double x2, const Text72& txt) {
    Written w;
    console_flush();
    testing::internal::CaptureStdout();
    try {
        OUTMSG(n, k1, k2, k3, x1, x2, txt);
    } catch (const StandaloneAbort&) {
        w.aborted = true;
    }
    console_flush();
    std::fflush(stdout);
    w.out = testing::internal::GetCapturedStdout();
    return w;
}

Written write_message(int32_t n) { return write_message(n, 1, 2, 3, 4.0, 5.0, Text72("TEXT")); }

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

struct OracleCase {
    const char* name;
    int32_t n, k1, k2, k3;
    double x1, x2;
    const char* txt;
    bool terminates;
    const char* expected;
};

// clang-format off
const OracleCase kOracle[] = {
    {"d2", 2, 0, 0, 0, 0.0, 0.0, "C  1  2  3  0.5 /", true,
     R"o(
 **** ERROR IN READING OF DATA FILE!  ****

 **** INVALID DATA LINE ****
     ( DID YOU REMEMBER THE TERMINATING '/' AT THE END OF ALL DATA LINES? )
     ( DID YOU PLACE A 'C' OR 'c' AT THE BEGINNING OF COMMENT CARDS? )
     ( DID YOU PLACE AN 'O' WHERE A '0' SHOULD HAVE BEEN? )

 **** THE OFFENDING LINE IN THE DATA FILE IS: ****
C  1  2  3  0.5 /                                                       



 **** EXECUTION TERMINATING  ****

)o"},
    {"d7", 7, 12345, 3, 0, 0.0, 0.0, "C  1  2  3  0.5 /", true,
     R"o(
 **** ERROR IN READING OF DATA FILE!  ****

 **** YOU HAVE OVER **** NODES IN SUBSYSTEM   3! ****

 **** DIMENSIONING EXCEEDED! ****



 **** ZARIK IS CURRENTLY DIMENSIONED AS FOLLOWS: ****

 VARIABLE   CURRENT         DIMENSIONED                     
   NAME      VALUE           QUANTITY                       
                                                              
    ND1       30    # of Nodes Per Subsystem                
    ND2        2    # of Subsystems                         
    ND3        3    # of Windings Per Transformer           
    ND4        5    # of Transformers                       
    ND5        3    # of Phases or Modes Per T-line         
    ND6        4    # of T-lines and Cables                 
    ND8       20    # of Pole/Zeroes for tline Curve Fit    

    ND10  123456    # of Stor Locations (STOR)              
    ND13      10    # of PGB Output Channels                
    ND27       7    # of Logical Stor Locations (STORL)     
    ND28  ******    # of Integer Stor Locations (STORI)     
    ND29     999    # of Real    Stor Locations (STORF)     
    ND30       1    # of Complex Stor Locations (STORC)     

 IF ANY OF THESE DIMENSIONS HAVE BEEN EXCEEDED, THEN
 YOU MAY HAVE SOME CUSTOM MODELS WITH IMPROPER HOLVA SCRIPT
 DIRECTIVES.

 **** THE OFFENDING LINE IN THE DATA FILE IS: ****
C  1  2  3  0.5 /                                                       



 **** EXECUTION TERMINATING  ****

)o"},
    {"d20", 20, 0, 0, 0, 0.0, 0.0, "results_of_the_long_run.out", true,
     R"o(
 **** ERROR IN READING OF DATA FILE!  ****

 **** PROBLEM WRITING TO OUTPUT FILE : results_of_the_ ! ****

 **** EXECUTION TERMINATING  ****

)o"},
    {"d22", 22, 17, 2, 15, 0.0, 0.0, "C  1  2  3  0.5 /", true,
     R"o(
 **** ERROR IN READING OF DATA FILE!  ****

 **** YOU HAVE REFERENCED NODE   17 ON THIS DATA CARD.  ****
      THE FIRST CARD FOR SUBSYSTEM   2 SAYS YOU HAVE ONLY   15 NODES!

 **** THE OFFENDING LINE IN THE DATA FILE IS: ****
C  1  2  3  0.5 /                                                       



 **** EXECUTION TERMINATING  ****

)o"},
    {"d35", 35, 0, 0, 0, 0.0, 0.0, "C  1  2  3  0.5 /", true,
     R"o(
 **** ERROR IN READING OF DATA FILE!  ****

 **** THE OFFENDING LINE IN THE DATA FILE IS: ****
C  1  2  3  0.5 /                                                       



 **** EXECUTION TERMINATING  ****

)o"},
    {"d40", 40, 0, 0, 0, 0.0, 0.0, "C  1  2  3  0.5 /", false,
     R"o(
 **** ERROR IN READING OF DATA FILE!  ****

 **** EXECUTION CONTINUING ****

)o"},
    {"f0", 0, 0, 0, 0, 0.0, 0.0, "C  1  2  3  0.5 /", true,
     R"o(
 **** ERROR IN READING OF DATA FILE!  ****

 **** MAXIMUM OF 200 SEQUENTIAL COMMENT LINES ARE ALLOWED :( ****

 **** THE OFFENDING LINE IN THE DATA FILE IS: ****
C  1  2  3  0.5 /                                                       



 **** EXECUTION TERMINATING  ****

)o"},
    {"f41", 41, 0, 0, 0, 0.0, 0.0, "C  1  2  3  0.5 /", true,
     R"o(
 **** ERROR IN READING OF DATA FILE!  ****

 **** MAXIMUM OF 200 SEQUENTIAL COMMENT LINES ARE ALLOWED :( ****

 **** THE OFFENDING LINE IN THE DATA FILE IS: ****
C  1  2  3  0.5 /                                                       



 **** EXECUTION TERMINATING  ****

)o"},
    {"f100", 100, 0, 0, 0, 0.0, 0.0, "C  1  2  3  0.5 /", true,
     R"o(
 **** ERROR IN READING OF DATA FILE!  ****

 **** MAXIMUM OF 200 SEQUENTIAL COMMENT LINES ARE ALLOWED :( ****

 **** THE OFFENDING LINE IN THE DATA FILE IS: ****
C  1  2  3  0.5 /                                                       



 **** EXECUTION TERMINATING  ****

)o"},
    {"w103", 103, 0, 0, 0, 0.0, 0.0, "datafile", false,
     R"o(
 **** INPUT FILE datafile   DOES NOT EXIST! ****

)o"},
    {"w104", 104, 250, 0, 0, 0.0, 0.0, "C  1  2  3  0.5 /", false,
     R"o(
 **** YOU HAVE ASKED FOR MORE THAN THE DIMENSIONED NUMBER OF OUTPUT CHANNELS ( 250)! ****
      ONLY THE MAXIMUM WILL BE PROVIDED!
 **** PLEASE ENSURE THAT NO PGB NUMBER GREATER THAN  250 IS REFERENCED! ****

 **** EXECUTION CONTINUING ****

)o"},
    {"w110", 110, 0, 0, 0, 0.0, 0.0, "C  1  2  3  0.5 /", false,
     R"o(
 **** EXECUTION CONTINUING ****

)o"},
    {"w108", 108, 0, 0, 0, 0.0, 0.0, "C  1  2  3  0.5 /", false,
     R"o(
 **** THIS IS YOUR LAST CHANCE! ****

)o"},
    {"i203", 203, 2, 1234567890, 0, 0.0, 0.0, "C  1  2  3  0.5 /", false,
     R"o(
Number of Matrix Switchings in SS#   2 is: ********
)o"},
    {"i205a", 205, 12, 0, 0, 0.5, 0.0, "C  1  2  3  0.5 /", false,
     R"o(      VAR(  12) IS = 0.50000000    
)o"},
    {"i205b", 205, 12, 0, 0, 1000000000.0, 0.0, "C  1  2  3  0.5 /", false,
     R"o(      VAR(  12) IS = 0.10000000E+10
)o"},
    {"i207", 207, 3, 0, 0, -2.75, 0.0, "MAXIMUM", false,
     R"o(      THE MAXIMUM PGB # SO FAR = -2.7500000    .
      THIS WAS GENERATED DURING RUN #    3


)o"},
    {"i218", 218, 0, 0, 0, 0.00125, 0.0, "*      +      |", false,
     R"o(   0.001250*      +      |                                      
)o"},
    {"i220", 220, 0, 0, 0, -1.5, 250.0, "C  1  2  3  0.5 /", false,
     R"o(
           -1.50                                             250.    
)o"},
    {"i231", 231, 0, 0, 0, 4.6, 0.0, "C  1  2  3  0.5 /", false,
     R"o(



--------------------------------------------------------
    ZARIK(tm)  Version 4.60
--------------------------------------------------------
)o"},
    {"i232", 232, 2024, 3, 7, 0.0, 0.0, "C  1  2  3  0.5 /", false,
     R"o(
 ZARIK AC & DC Simulation run on 2024-03-07
)o"},
    {"i249a", 249, 10, 11, 12, 2.5, 0.0, "C  1  2  3  0.5 /", false,
     R"o(
 **** WARNING ****
 CHECK MAC100 SYNC MACHINE DATA FOR SUBSYSTEM   3 CONNECTED TO BUSSES:   10  11  12
)o"},
    {"i249b", 249, 10, 11, 12, -2.5, 0.0, "C  1  2  3  0.5 /", false,
     R"o(
 **** WARNING ****
 CHECK MAC100 SYNC MACHINE DATA FOR SUBSYSTEM  -3 CONNECTED TO BUSSES:   10  11  12
)o"},
    {"f250", 250, 7, 0, 0, 0.0, 0.0, "C  1  2  3  0.5 /", false,
     R"o(
 ****    7 MULTIPLE RUNS ARE COMPLETED ****
 **** NOW TO GENERATE OUTPUT FOR THE OPTIMUM RUN ****

)o"},
    {"m251", 251, 0, 0, 0, 0.0, 0.0, "C  1  2  3  0.5 /", false,
     R"o( PARAMETER XA EXCEEDS RANGE 0.05<XA<0.35

 **** EXECUTION CONTINUING ****

)o"},
    {"m263", 263, 0, 0, 0, 138.0, 0.0125, "C  1  2  3  0.5 /", false,
     R"o( FWAV22 MEASURING 138.00KV BUS DETECTS0.013 PU UNBALANCE
)o"},
    {"m276", 276, 12, 0, 0, 0.0, 0.0, "C  1  2  3  0.5 /", false,
     R"o( ****** WARNING! TOO MANY POLE/ZEROES FOR THE
FREQUENCY DEPENDENT LINE MODEL HAVE BEEN ENTERED!
ONLY  12 POINTS WILL BE USED!
)o"},
    {"f280", 280, 0, 0, 0, 0.0, 0.0, "C  1  2  3  0.5 /", false,
     R"o(
 IS CASE STARTING FROM DATA INPUT OR SNAPSHOT? 
 ENTER 0 FOR DATA,  1 FOR SNAPSHOT:
)o"},
    {"p301", 301, 0, 0, 0, 0.0, 0.0, "C  1  2  3  0.5 /", false,
     R"o(
 IS CASE STARTING FROM DATA INPUT OR SNAPSHOT? 
 ENTER 0 FOR DATA,  1 FOR SNAPSHOT:
)o"},
    {"p314", 314, 20, 0, 0, 0.0, 0.0, "C  1  2  3  0.5 /", false,
     R"o(
 ENTER OUTPUT PGB COLUMN NUMBER ( 1 -   20 ) TO BE MAXIMIZED OR MINIMIZED:
)o"},
    {"p318", 318, 0, 0, 0, 0.0123, 0.0, "C  1  2  3  0.5 /", false,
     R"o(
 THIS CASE WILL START AT T =  0.123000E-01 SECONDS
 ENTER NEW FINISH TIME:
)o"},
    {"e402", 402, 4, 4, 4, 0.0, 0.0, "C  1  2  3  0.5 /", true,
     R"o(
 **** SORRY, MAXIMUM OF FOUR ATTEMPTS ALLOWED ****


 **** EXECUTION TERMINATING  ****

)o"},
    {"e403", 403, 0, 0, 0, 0.0, 0.0, "DSLINT", true,
     R"o(

 *************************************************
 ** DISCREPANCY FOUND BETWEEN ARRAY DIMENSIONING
 PARAMETERS IN ZARIK MAINLINE AND SUBROUTINE DSLINT!

 PROBABLE CAUSE : MAINLINE AND DSLINT WERE COMPILED
 WITH DIFFERENT VERSIONS OF ZRK.E!
 *************************************************

 **** EXECUTION TERMINATING  ****

)o"},
    {"e404", 404, 5000, 4000, 0, 0.0, 0.0, "C  1  2  3  0.5 /", true,
     R"o(
 **** YOU HAVE USED  5000 LOCATIONS IN YOUR STOR ARRAY, BUT ONLY  4000 ARE DIMENSIONED! ****

 **** ZARIK IS CURRENTLY DIMENSIONED AS FOLLOWS: ****

 VARIABLE   CURRENT         DIMENSIONED                     
   NAME      VALUE           QUANTITY                       
                                                              
    ND1       30    # of Nodes Per Subsystem                
    ND2        2    # of Subsystems                         
    ND3        3    # of Windings Per Transformer           
    ND4        5    # of Transformers                       
    ND5        3    # of Phases or Modes Per T-line         
    ND6        4    # of T-lines and Cables                 
    ND8       20    # of Pole/Zeroes for tline Curve Fit    

    ND10  123456    # of Stor Locations (STOR)              
    ND13      10    # of PGB Output Channels                
    ND27       7    # of Logical Stor Locations (STORL)     
    ND28  ******    # of Integer Stor Locations (STORI)     
    ND29     999    # of Real    Stor Locations (STORF)     
    ND30       1    # of Complex Stor Locations (STORC)     

 IF ANY OF THESE DIMENSIONS HAVE BEEN EXCEEDED, THEN
 YOU MAY HAVE SOME CUSTOM MODELS WITH IMPROPER HOLVA SCRIPT
 DIRECTIVES.

 **** EXECUTION TERMINATING  ****

)o"},
    {"e406", 406, 12, 0, 34, 0.0, 0.0, "C  1  2  3  0.5 /", true,
     R"o(
 **** 12BY 12MATRIX GREATER THAN   0 BY   0
      CHECK DISTRIBUTED LINE INPUT DATA

 **** EXECUTION TERMINATING  ****

)o"},
    {"e412", 412, 4, 5, 6, 2.5, 0.0, "C  1  2  3  0.5 /", true,
     R"o(
 **** WARNING ****
 CHECK MAC100 SYNC MACHINE DATA FOR SUBSYSTEM   3 CONNECTED TO BUSSES:   4   5   6
 PARAMETER X1 MUST BE LESS THEN XD,XD1, AND XD11 !

 **** EXECUTION TERMINATING  ****

)o"},
    {"e416", 416, 0, 0, 0, 0.000123, 0.0, "C  1  2  3  0.5 /", true,
     R"o( VOLT BASE TOO LOW AT .12300000E-03 KV

 **** EXECUTION TERMINATING  ****

)o"},
    {"f471", 471, 1, 2, 3, 0.0, 0.0, "C  1  2  3  0.5 /", true,
     R"o( CHECK FOR AN ERROR IN VZNO   SURGE ARRESTER IN SUBSYSTEM   1
 POSITIONED BETWEEN NODES :  2 AND   3

 **** EXECUTION TERMINATING  ****

)o"},
    {"e464", 464, 0, 0, 0, 0.0, 0.0, "C  1  2  3  0.5 /", true,
     R"o(
 **** DIMENSIONING EXCEEDED! ****



 **** ZARIK IS CURRENTLY DIMENSIONED AS FOLLOWS: ****

 VARIABLE   CURRENT         DIMENSIONED                     
   NAME      VALUE           QUANTITY                       
                                                              
    ND1       30    # of Nodes Per Subsystem                
    ND2        2    # of Subsystems                         
    ND3        3    # of Windings Per Transformer           
    ND4        5    # of Transformers                       
    ND5        3    # of Phases or Modes Per T-line         
    ND6        4    # of T-lines and Cables                 
    ND8       20    # of Pole/Zeroes for tline Curve Fit    

    ND10  123456    # of Stor Locations (STOR)              
    ND13      10    # of PGB Output Channels                
    ND27       7    # of Logical Stor Locations (STORL)     
    ND28  ******    # of Integer Stor Locations (STORI)     
    ND29     999    # of Real    Stor Locations (STORF)     
    ND30       1    # of Complex Stor Locations (STORC)     

 IF ANY OF THESE DIMENSIONS HAVE BEEN EXCEEDED, THEN
 YOU MAY HAVE SOME CUSTOM MODELS WITH IMPROPER HOLVA SCRIPT
 DIRECTIVES.

 **** THE OFFENDING LINE IN THE DATA FILE IS: ****
C  1  2  3  0.5 /                                                       



 **** EXECUTION TERMINATING  ****

)o"},
};
// clang-format on

TEST_F(Messages, TextsMatchTheFormattedOutputOfTheReferenceCompiler) {
    for (const OracleCase& c : kOracle) {
        SCOPED_TRACE(c.name);
        const Written w = write_message(c.n, c.k1, c.k2, c.k3, c.x1, c.x2, Text72(c.txt));
        EXPECT_EQ(w.aborted, c.terminates);
        EXPECT_EQ(w.out, std::string(c.expected) + (c.terminates ? kAbortFrame : std::string()));
    }
}

TEST_F(Messages, EndingsWriteTheirTrailers) {
    // Return: the text alone.
    EXPECT_EQ(write_message(102).out, "\n **** PLEASE TRY AGAIN ****\n");
    // Continue: the text, then the continuing trailer, and back.
    const Written c = write_message(252);
    EXPECT_FALSE(c.aborted);
    EXPECT_EQ(c.out, " PARAMETER XMD EXCEEDS RANGE 0.50<XMD<2.0\n\n **** EXECUTION CONTINUING ****\n\n");
    // Terminate: the trailer, then the abort frame naming the messages.
    const Written t = write_message(418);
    EXPECT_TRUE(t.aborted);
    EXPECT_EQ(t.out, " INERTIA MUST BE GREATER THAN 0.0\n\n **** EXECUTION TERMINATING  ****\n\n" + kAbortFrame);
    testing::internal::CaptureStdout();
    EXPECT_THROW(OUTMSG(437, 4, 0, 0, 0.0, 0.0, Text72()), StandaloneAbort);
    console_flush();
    EXPECT_NE(testing::internal::GetCapturedStdout().find(" SUBSYSTEM   4 NEEDS TO BE GROUNDED!"), std::string::npos);
}

TEST_F(Messages, OffendingLineIsTheWholeTextArgument) {
    const Text72 line("R 1 2 0.5 /");
    const Written w = write_message(12, 0, 0, 0, 0.0, 0.0, line);
    EXPECT_TRUE(w.aborted);
    const std::string block = "\n **** THE OFFENDING LINE IN THE DATA FILE IS: ****\n" + line.str() + "\n\n\n";
    EXPECT_NE(w.out.find(block), std::string::npos) << w.out;
    EXPECT_EQ(w.out.find("DIMENSIONING"), std::string::npos);
}

TEST_F(Messages, DimensionReportShowsTheCurrentExtents) {
    DIMBLOCK.AVAIL[1] = 1000;
    DIMBLOCK.AVAIL[13] = 12345;  // too wide for its I4 field
    const Written w = write_message(9, 1001, 1, 0, 0.0, 0.0, Text72("line"));
    EXPECT_TRUE(w.aborted);
    EXPECT_NE(w.out.find("\n **** YOU HAVE OVER 1001 +VE BRANCHES IN SUBSYSTEM   1! ****\n"), std::string::npos);
    EXPECT_NE(w.out.find("\n **** DIMENSIONING EXCEEDED! ****\n\n\n\n **** ZARIK IS CURRENTLY"), std::string::npos);
    EXPECT_NE(w.out.find("\n    ND1     1000    # of Nodes Per Subsystem                \n"), std::string::npos);
    EXPECT_NE(w.out.find("\n    ND13    ****    # of PGB Output Channels                \n"), std::string::npos);
    EXPECT_NE(w.out.find("\n    ND28  ******    # of Integer Stor Locations (STORI)     \n"), std::string::npos);
    // The report comes before the offending line.
    EXPECT_LT(w.out.find(" DIRECTIVES.\n"), w.out.find("OFFENDING LINE"));

    // Message 404 shows the table without the "exceeded" heading and no line.
    const Written t = write_message(404, 9000, 8000, 0, 0.0, 0.0, Text72("line"));
    EXPECT_TRUE(t.aborted);
    EXPECT_NE(t.out.find(" **** YOU HAVE USED  9000 LOCATIONS IN YOUR STOR ARRAY, BUT ONLY  8000 ARE DIMENSIONED! ****\n"
                         "\n **** ZARIK IS CURRENTLY DIMENSIONED AS FOLLOWS: ****\n"),
              std::string::npos);
    EXPECT_EQ(t.out.find("DIMENSIONING EXCEEDED"), std::string::npos);
    EXPECT_EQ(t.out.find("OFFENDING"), std::string::npos);
}

TEST_F(Messages, NumbersWithoutATextFallBackOnTheirRange) {
    const std::string one = write_message(1).out;
    EXPECT_EQ(write_message(0).out, one);
    EXPECT_EQ(write_message(-7).out, one);
    EXPECT_EQ(write_message(41).out, one);
    EXPECT_EQ(write_message(100).out, one);
    EXPECT_EQ(write_message(150).out, write_message(101).out);
    EXPECT_EQ(write_message(250).out, write_message(201).out);
    EXPECT_EQ(write_message(277).out, write_message(301).out);
    EXPECT_EQ(write_message(280).out, write_message(301).out);
    EXPECT_EQ(write_message(290).out, write_message(251).out);
    EXPECT_EQ(write_message(399).out, write_message(301).out);
    EXPECT_EQ(write_message(450).out, write_message(401).out);
    EXPECT_EQ(write_message(471).out, write_message(451).out);
    EXPECT_EQ(write_message(2147483647).out, write_message(451).out);
    // Only data-file numbers carry the header.
    EXPECT_EQ(one.rfind("\n **** ERROR IN READING OF DATA FILE!  ****\n", 0), 0u);
    EXPECT_EQ(write_message(101).out.find("DATA FILE"), std::string::npos);
}

TEST_F(Messages, SharedTextsAndMessagesWithoutTextOfTheirOwn) {
    EXPECT_EQ(write_message(2).out, write_message(3).out);
    for (int32_t n = 209; n <= 214; ++n) EXPECT_EQ(write_message(n).out, write_message(208).out);
    const Written a = write_message(401), b = write_message(402);
    EXPECT_TRUE(a.aborted && b.aborted);
    EXPECT_EQ(a.out, b.out);
    EXPECT_NE(a.out.find(" **** SORRY, MAXIMUM OF FOUR ATTEMPTS ALLOWED ****"), std::string::npos);

    EXPECT_EQ(write_message(110).out, "\n **** EXECUTION CONTINUING ****\n\n");
    const Written d = write_message(467, 0, 0, 0, 0.0, 0.0, Text72("x"));
    EXPECT_TRUE(d.aborted);
    EXPECT_EQ(d.out.rfind("\n **** DIMENSIONING EXCEEDED! ****\n", 0), 0u);
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

TEST_F(Messages, RealArgumentsAndTheNearestInteger) {
    // Halves go away from zero.
    EXPECT_NE(write_message(413, 1, 2, 3, 2.5, 0.0, Text72()).out.find("SUBSYSTEM   3 CONNECTED TO BUSSES:   1   2   3\n"),
              std::string::npos);
    EXPECT_NE(write_message(414, 1, 2, 3, -2.5, 0.0, Text72()).out.find("SUBSYSTEM  -3 CONNECTED"), std::string::npos);
    EXPECT_EQ(write_message(263, 0, 0, 0, 138.0, 0.0125, Text72()).out,
              " FWAV22 MEASURING 138.00KV BUS DETECTS0.013 PU UNBALANCE\n");
    EXPECT_EQ(write_message(274, 0, 0, 0, 123456.0, 0.0, Text72()).out,
              " *** ARC RE-ESTABLISHED AT ************ KV. (SARC20) *** \n");
}

TEST(CurrentLine, IsACopyOfTheLastDataLine) {
    reset_all_engine_state();
    INPUT.DATA_LINE = "BRANCHES:";
    const Text72 copy = CURLINE();
    INPUT.DATA_LINE = "changed";
    EXPECT_EQ(copy.str(), pad_text("BRANCHES:", 72));
    reset_all_engine_state();
}

}  // namespace
