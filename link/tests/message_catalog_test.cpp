// The catalogue messages: the table, the placeholders as printed, the fatal
// data errors, and the few keys forwarded to a front end.
#include "engine/message_catalog.h"
#include "link/tests/link_test_support.h"

using namespace link_test;

namespace {

// What a message prints on the console.
std::string printed(int32_t group, int32_t number, MsgArgs args = {}) {
    return capture([&] { emit_message(group, number, args); }).out;
}
std::string printed_text(int32_t group, std::string_view text, MsgArgs args = {}) {
    return capture([&] { emit_message_text(group, text, args); }).out;
}

const std::string ERR1 = "*** Error in reading of data file! ***\n";
const std::string ERR2 = "*** Invalid data line ***\n";
const std::string ERR3 =
    "    (Did you remember the terminating '/' at the end of all data lines?)\n"
    "    (Did you place a 'C' or 'c' at the beginning of comment cards?)\n"
    "    (Did you place an 'O' where a '0' should have been?)\n";

}  // namespace

TEST(MessageCatalog, GroupsSizesAndTexts) {
    const MSG_CATALOG& cat = message_catalog();
    EXPECT_EQ(cat.Groups(), 6);
    std::vector<int32_t> counts;
    for (int32_t g : {MSG_GENERAL, MSG_DATA_ERRS, MSG_WARNINGS, MSG_MULTIRUN, MSG_RUNINFO, MSG_CSMF})
        counts.push_back(cat.Count(g));
    EXPECT_EQ(counts, std::vector<int32_t>({4, 72, 16, 9, 87, 7}));
    for (const auto& [g, n] : {std::pair{0, 1}, {7, 1}, {1, 0}, {1, 5}, {6, -1}}) EXPECT_EQ(cat.Get(g, n), nullptr);
    ASSERT_NE(cat.Get(2, 6), nullptr);
    EXPECT_STREQ(cat.Get(2, 6), "");
    EXPECT_STREQ(cat.Get(5, 79), "");
    EXPECT_STREQ(cat.Get(1, 2), "  ZARIK(tm)  Version [R%.2f]\n");
    EXPECT_STREQ(cat.Get(2, 72), "*** Problem writing to output file: '[S34]'! ***\n");
    EXPECT_STREQ(cat.Get(5, 20), "***  This run is [I%3d]% completed ***\n");
    EXPECT_STREQ(cat.Get(5, 86), "     Total CPU Time: [I%02d]:[I%02d]:[I%02d].[I%03d]\n\n");
    EXPECT_STREQ(cat.Get(6, 7),
                 "*** You have a mistake in the SGEN11 arguments! ***\n"
                 "    SGEN11 is therefore inoperative for this case ***\n");
    EXPECT_STREQ(cat.Get(3, 16), "*** Finish time is before start time\n    Please re-enter the finish time.\n");
}

TEST(MessagePrinting, CatalogueTemplatesAndTextArguments) {
    set_front_end(nullptr);
    EXPECT_EQ(printed(1, 2, {4.6}), "  ZARIK(tm)  Version 4.60\n");
    EXPECT_EQ(printed(1, 3, {7, 5, 2024}), "\n ZARIK AC & DC Simulation run on 07-05-2024\n");
    EXPECT_EQ(printed(4, 1, {3}), "\n*** Multiple run #3 starting ****\n\n");
    EXPECT_EQ(printed(5, 20, {5}), "***  This run is   5% completed ***\n");
    EXPECT_EQ(printed(4, 3, {2, 0.125}), "      VAR(2) is = 0.125\n");
    EXPECT_EQ(printed(5, 31, {1.5, -2.0}),
              "\n           +1.50                                            -2.00     \n");
    EXPECT_EQ(printed(5, 86, {0, 1, 2, 3}), "     Total CPU Time: 00:01:02.003\n\n");
    EXPECT_EQ(printed(1, 1), "----------------------------------------------------\n");

    EXPECT_EQ(printed(3, 3, {Text34("case.map")}),
              "*** Input file 'case.map' cannot be read! ***\n    (File may not exist, or read access denied.)\n");
    EXPECT_EQ(printed(2, 4, {Text72("   x")}), "*** The offending line in the data file is: ***\n-->    x\n");
    EXPECT_EQ(printed(5, 80, {Text34("ABCDEFGHIJKLMNOPQRSTUVWXYZ01234567")}),
              "\n\n         Input file: ABCDEFGHIJKLMNOPQRSTUVWXYZ01234567\n");
    // Fewer characters than the size: taken as they are, blanks and all; a NUL ends the text.
    EXPECT_EQ(printed(5, 81, {"ab  "}), "           Snapshot: ab  \n");
    EXPECT_EQ(printed(5, 81, {std::string_view("ab\0cd", 5)}), "           Snapshot: ab\n");
    EXPECT_EQ(printed(4, 5, {"MAXIMUM", 1.5, 2}),
              "      The MAXimum PGB # so far = 1.5.\n      This was generated during run #2\n\n\n");
    EXPECT_EQ(printed_text(5, "[S]", {std::string(300, 'x')}), std::string(255, 'x'));  // no size: cut at 255
    // Outside the catalogue: nothing.
    for (const auto& [g, n] : {std::pair{7, 1}, {1, 99}, {5, 0}, {2, 6}, {2, -1}}) EXPECT_EQ(printed(g, n), "");
}

TEST(MessagePrinting, PlaceholdersBracketsNumbersAndFormats) {
    set_front_end(nullptr);
    EXPECT_EQ(printed_text(5, "a [[I] b [I]", {7}), "a [I] b 7");
    EXPECT_EQ(printed_text(5, "[[[I]]", {8}), "[8]");
    EXPECT_EQ(printed_text(5, "ab [I cd", {1}), "ab ");
    EXPECT_EQ(printed_text(5, "no args here\n"), "no args here\n");
    EXPECT_EQ(printed_text(5, "[2I] [1I]", {1, 2}), "2 1");
    EXPECT_EQ(printed_text(5, "[2I] [1I] [I]", {1, 2, 3}), "2 1 2");
    EXPECT_EQ(printed_text(5, "x [3I] y\n", {1}), "x <Invalid arg for 'I'> y\n");
    EXPECT_EQ(printed_text(5, "[I] [I%02d]", {4}), "4 <Invalid arg for 'I%02d'>");
    // Only as many arguments are taken as there are placeholders.
    EXPECT_EQ(printed_text(5, "[2R%.1f]", {1, 2.25}), "<Invalid arg for 'R%.1f'>");
    EXPECT_EQ(printed_text(5, "[I] [R]", {1.5, 2}), "<Invalid arg for 'I'> <Invalid arg for 'R'>");  // wrong kinds
    EXPECT_EQ(printed_text(5, "[I2]", {70000}), "4464");
    EXPECT_EQ(printed_text(5, "[I2]", {int16_t{-3}}), "-3");
    EXPECT_EQ(printed_text(5, "[I]", {int16_t{-3}}), "-3");
    EXPECT_EQ(printed_text(5, "[R4%.10f]", {0.1}), "0.1000000015");
    EXPECT_EQ(printed_text(5, "[R%.3f]", {0.5f}), "0.500");
    EXPECT_EQ(printed_text(5, "[I%d%%]", {5}), "5%");
    EXPECT_EQ(printed_text(5, "[S%-4s]|", {"ab"}), "ab  |");

    EXPECT_EQ(printed_text(5, "[X5] [I]", {1, 2}), "<Format code not support 'X5'> 2");
    // A C conversion that does not suit the type letter is never applied.
    const std::pair<std::string, MsgArg> unfit[] = {{"I%s", 5},  {"R%d", 1.5},  {"S%d", "a"},    {"I%ld", 5},
                                                    {"I%*d", 5}, {"I%d%d", 5}, {"I%n", 5}, {"I%999d", 5}};
    for (const auto& [format, arg] : unfit)
        EXPECT_EQ(printed_text(5, "[" + format + "]", {arg}), "<Format code not support '" + format + "'>");
}

TEST(MessageFatal, DataErrorsTenAndAboveAndNumberZeroStop) {
    set_front_end(nullptr);
    EXPECT_EQ(printed(2, 5), "\n*** Problem in reading offending data line from input file! ***\n\n");
    EXPECT_EQ(printed(2, 1), ERR1);
    const struct { std::function<void()> emit; int32_t status; std::string out; } cases[] = {
        {[] { emit_message(2, 10, {4}); }, 2010, ERR1 + "*** You have more than 4 subsystems! ***\n"},
        {[] { emit_message(2, 72, {Text34("out.out")}); }, 2072,
         ERR1 + "*** Problem writing to output file: 'out.out'! ***\n"},
        // Data-line messages carry the advice; an empty number there still stops.
        {[] { emit_message(2, 32, {3}); }, 2032, ERR1 + ERR2 + "    Check mutual data in subsystem #3.\n" + ERR3},
        {[] { emit_message(2, 35); }, 2035, ERR1 + ERR2 + ERR3},
        {[] { emit_message_text(2, "RUN ABORTED"); }, 2000, ERR1 + "RUN ABORTED"},
        {[] { emit_message_text(2, "bad [2I] here", {1}); }, 2000, ERR1 + "bad <Invalid arg for 'I'> here"},
    };
    for (const auto& c : cases) {
        const Captured f = capture(c.emit);
        EXPECT_EQ(f.status, c.status);
        EXPECT_EQ(f.out, c.out);
    }
}

using MessageForwarding = LinkedEngine;

TEST_F(MessageForwarding, RunInfoVersionAndTextArgumentsInEitherByteOrder) {
    for (bool swapped : {false, true}) {
        Link(swapped);
        ASSERT_TRUE(fe().SendInts({19}));
        ASSERT_TRUE(link_->ex.Receive(true));  // takes the key
        ASSERT_EQ(link_->ex.Swapped(), swapped);
        EXPECT_EQ(printed(5, 84, {10, 20, 30}), "");
        emit_message(1, 2, {4.6});
        emit_message(5, 82, {3, Text34("run.out")});
        emit_message(5, 86, {0, 1, 2, 345});
        auto runinfo = fe().ReadFrame(), version = fe().ReadFrame();
        ASSERT_TRUE(runinfo && version);
        if (little_endian() && !swapped) {
            EXPECT_EQ(hex(runinfo->Raw()),
                      "1c 00 00 00 05 00 00 00 05 00 00 00 54 00 00 00 0a 00 00 00 14 00 00 00 1e 00 00 00");
            EXPECT_EQ(hex(version->Raw()), "18 00 00 00 05 00 00 00 01 00 00 00 02 00 00 00 66 66 66 66 66 66 12 40");
        }
        EXPECT_EQ(runinfo->Items("iiiiii"), "5 5 84 10 20 30");
        EXPECT_EQ(version->Items("iiid"), "5 1 2 4.6");
        EXPECT_EQ(fe().ReadFrame()->Items("iiiis"), "5 5 82 3 run.out");
        EXPECT_EQ(fe().ReadFrame()->Items("iiiiiii"), "5 5 86 0 1 2 345");
    }
}

TEST_F(MessageForwarding, OnlyTheChosenKeysAreSentAndFatalOnesNot) {
    const Captured f = capture([] { emit_message(2, 32, {3}); }), g = capture([] { emit_message_text(2, "X"); });
    EXPECT_EQ(f.status, 2032);
    EXPECT_EQ(g.status, 2000);
    EXPECT_EQ(f.out + g.out, "");
    testing::internal::CaptureStdout();
    emit_message(5, 87, {1, 2, 3});    // elapsed time: dropped
    emit_message(1, 3, {1, 2, 2000});  // dropped
    emit_message(3, 3, {Text34("x.map")});
    emit_message(5, 39);
    emit_message(5, 44);
    emit_message(5, 40, {7, 1});
    emit_message(5, 70, {1, 9});
    emit_message(5, 80, {Text34("a.map")});
    emit_message(5, 86, {0, 0, 1, 500});
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    for (int32_t number : {40, 70, 80, 86}) {
        auto m = fe().ReadFrame();
        ASSERT_TRUE(m);
        const int32_t code = m->Int(), group = m->Int(), n = m->Int();
        EXPECT_EQ(std::vector<int32_t>({code, group, n}), std::vector<int32_t>({5, 5, number}));
    }
    EXPECT_TRUE(fe().Quiet());
}
