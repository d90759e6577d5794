// The catalogue messages: the table, the placeholders as printed, the fatal
// data errors, and the few keys forwarded to a front end.
#include "engine/message_catalog.h"
#include "link/tests/link_test_support.h"

using namespace link_test;

namespace {

std::string printed(int32_t group, int32_t number, MsgArgs args = {}) {
    return capture([&] { emit_message(group, number, args); }).out;
}
std::string printed_text(int32_t group, std::string_view text, MsgArgs args = {}) {
    return capture([&] { emit_message_text(group, text, args); }).out;
}

const std::string ERR1 = "*** Error in reading of data file! ***\n";

}  // namespace

TEST(MessageCatalog, GroupsSizesAndTexts) {
    const MSG_CATALOG& cat = message_catalog();
    EXPECT_EQ(cat.Groups(), 6);
    std::vector<int32_t> counts;
    for (int32_t g : {MSG_GENERAL, MSG_DATA_ERRS, MSG_WARNINGS, MSG_MULTIRUN, MSG_RUNINFO, MSG_CSMF})
        counts.push_back(cat.Count(g));
    EXPECT_EQ(counts, std::vector<int32_t>({4, 72, 16, 9, 87, 7}));
    for (const auto& [g, n] : {std::pair{0, 1}, {7, 1}, {1, 0}, {1, 5}, {6, -1}}) EXPECT_EQ(cat.Get(g, n), nullptr);
    EXPECT_STREQ(cat.Get(2, 6), "");
    EXPECT_STREQ(cat.Get(6, 7),
                 "*** You have a mistake in the SGEN11 arguments! ***\n"
                 "    SGEN11 is therefore inoperative for this case ***\n");
}

TEST(MessagePrinting, CatalogueTemplatesAndTextArguments) {
    set_front_end(nullptr);
    EXPECT_EQ(printed(1, 2, {4.6}), "  ZARIK(tm)  Version 4.60\n");
    EXPECT_EQ(printed(4, 1, {3}), "\n*** Multiple run #3 starting ****\n\n");
    EXPECT_EQ(printed(5, 20, {5}), "***  This run is   5% completed ***\n");
    EXPECT_EQ(printed(5, 86, {0, 1, 2, 3}), "     Total CPU Time: 00:01:02.003\n\n");
    EXPECT_EQ(printed(5, 80, {Text34("ABCDEFGHIJKLMNOPQRSTUVWXYZ01234567")}),
              "\n\n         Input file: ABCDEFGHIJKLMNOPQRSTUVWXYZ01234567\n");
    // Fewer characters than the size: taken as they are, blanks and all; a NUL ends the text.
    EXPECT_EQ(printed(5, 81, {std::string_view("ab  \0cd", 7)}), "           Snapshot: ab  \n");
    EXPECT_EQ(printed_text(5, "[S]", {std::string(300, 'x')}), std::string(255, 'x'));  // no size: cut at 255
    for (const auto& [g, n] : {std::pair{7, 1}, {1, 99}, {2, -1}}) EXPECT_EQ(printed(g, n), "");
}

TEST(MessagePrinting, PlaceholdersBracketsNumbersAndFormats) {
    set_front_end(nullptr);
    EXPECT_EQ(printed_text(5, "a [[I] b [I]", {7}), "a [I] b 7");
    EXPECT_EQ(printed_text(5, "[[[I]]", {8}), "[8]");
    EXPECT_EQ(printed_text(5, "ab [I cd", {1}), "ab ");
    EXPECT_EQ(printed_text(5, "[2I] [1I] [I]", {1, 2, 3}), "2 1 2");
    EXPECT_EQ(printed_text(5, "x [3I] y\n", {1}), "x <Invalid arg for 'I'> y\n");
    EXPECT_EQ(printed_text(5, "[I] [I%02d]", {4}), "4 <Invalid arg for 'I%02d'>");
    EXPECT_EQ(printed_text(5, "[I] [R]", {1.5, 2}), "<Invalid arg for 'I'> <Invalid arg for 'R'>");  // wrong kinds
    EXPECT_EQ(printed_text(5, "[I2]", {70000}), "4464");
    EXPECT_EQ(printed_text(5, "[R4%.10f]", {0.1}), "0.1000000015");
    EXPECT_EQ(printed_text(5, "[I%d%%]", {5}), "5%");

    EXPECT_EQ(printed_text(5, "[X5] [I]", {1, 2}), "<Format code not support 'X5'> 2");
    // A C conversion that does not suit the type letter is never applied.
    const std::pair<std::string, MsgArg> unfit[] = {{"I%s", 5}, {"R%d", 1.5}, {"I%*d", 5}, {"I%n", 5}, {"I%999d", 5}};
    for (const auto& [format, arg] : unfit)
        EXPECT_EQ(printed_text(5, "[" + format + "]", {arg}), "<Format code not support '" + format + "'>");
}

TEST(MessageFatal, DataErrorsTenAndAboveAndNumberZeroStop) {
    set_front_end(nullptr);
    EXPECT_EQ(printed(2, 1), ERR1);
    const struct { std::function<void()> emit; int32_t status; std::string out; } cases[] = {
        {[] { emit_message(2, 10, {4}); }, 2010, ERR1 + "*** You have more than 4 subsystems! ***\n"},
        // Data-line messages carry the advice.
        {[] { emit_message(2, 32, {3}); }, 2032,
         ERR1 + "*** Invalid data line ***\n    Check mutual data in subsystem #3.\n" +
             "    (Did you remember the terminating '/' at the end of all data lines?)\n"
             "    (Did you place a 'C' or 'c' at the beginning of comment cards?)\n"
             "    (Did you place an 'O' where a '0' should have been?)\n"},
        {[] { emit_message_text(2, "RUN ABORTED"); }, 2000, ERR1 + "RUN ABORTED"},
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
        EXPECT_EQ(printed(5, 84, {10, 20, 30}), "");
        emit_message(1, 2, {4.6});
        emit_message(5, 82, {3, Text34("run.out")});
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
    }
}

TEST_F(MessageForwarding, OnlyTheChosenKeysAreSentAndFatalOnesNot) {
    const Captured f = capture([] { emit_message(2, 32, {3}); });
    EXPECT_EQ(f.status, 2032);
    EXPECT_EQ(f.out, "");
    testing::internal::CaptureStdout();
    emit_message(5, 87, {1, 2, 3});    // elapsed time: dropped
    emit_message(1, 3, {1, 2, 2000});  // dropped
    emit_message(3, 3, {Text34("x.map")});
    emit_message(5, 40, {7, 1});
    emit_message(5, 86, {0, 0, 1, 500});
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    for (int32_t number : {40, 86}) {
        auto m = fe().ReadFrame();
        ASSERT_TRUE(m);
        EXPECT_EQ(std::vector<int32_t>({m->Int(), m->Int(), m->Int()}), std::vector<int32_t>({5, 5, number}));
    }
    EXPECT_TRUE(fe().Quiet());
}
