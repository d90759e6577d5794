// A connected start of the whole program against a scripted front end:
// the set-up, what the engine sends up to the closing exchange, a front
// end that hangs up at any point; and the component messages as
// front-end records.
#include <array>

#include "engine/abort.h"
#include "link/tests/link_test_support.h"
#include "link/wire_codes.h"

namespace {

using namespace link_test;

// Everything the engine sent, up to and with its -999.
struct Transcript {
    std::vector<WireFrame> frames;
    bool accepted = false;
    bool saw_shutdown = false;
};

void read_to_shutdown(FakeFrontEnd& f, Transcript& t) {
    while (auto frame = f.ReadFrame(10000)) {
        t.frames.push_back(*frame);
        if (WireFrame(*frame).Int() == FE_SHUTDOWN) {
            t.saw_shutdown = true;
            return;
        }
    }
}

class ConnectedStart : public testing::TestWithParam<bool> {};

TEST_P(ConnectedStart, SetUpThenTheAbortOfTheMissingMapFile) {
    const TempDir dir;
    FakeFrontEnd fe(GetParam());
    ASSERT_GT(fe.Port(), 0);
    Transcript t;
    bool closed_after = false;
    const auto run = run_served(
        fe,
        [&](FakeFrontEnd& f) {
            if (!(t.accepted = f.Accept())) return;
            f.SendInts({FE_SETUP_TABLE_SIZES, 1, 1, 1, 1, 1});
            f.SendInts({FE_SETUP_TABLE_ROW, 1, 3, 4, 5, 6});
            f.Send(f.Frame().Int(FE_SETUP_SNAPSHOT).Str("plan.snp").Double(0.02).Int(2));
            f.Send(f.Frame().Int(FE_SETUP_ARRAY).Int(2).Double(1.0).Double(2.0));
            f.SendInts({FE_SETUP_FLAGS, 0, 1});
            f.SendInts({FE_SETUP_END});
            read_to_shutdown(f, t);
            if (t.saw_shutdown && f.SendInts({FE_SHUTDOWN})) closed_after = f.WaitForClose(10000);
        },
        dir.path);
    ASSERT_FALSE(run.result.timed_out);
    ASSERT_TRUE(run.script_ended);
    ASSERT_TRUE(t.accepted);

    // The banner's three forwarded catalogue messages, the warning that
    // the map file cannot be opened, the abort, the end of run without
    // values, and the closing -999: nothing else.
    ASSERT_EQ(t.frames.size(), 7u);
    EXPECT_EQ(t.frames[0].Items("iiid"), "5 1 2 4.6");
    // The date and the time of the run.
    for (const auto& [frame, key, low, high] : {std::tuple{1, 83, std::array{1, 1, 2024}, std::array{12, 31, 9999}},
                                                 {2, 84, std::array{0, 0, 0}, std::array{23, 59, 60}}}) {
        WireFrame f = t.frames[static_cast<size_t>(frame)];
        EXPECT_EQ(f.Items("iii"), "5 5 " + std::to_string(key) + " +12");
        for (size_t k = 0; k < 3; ++k) {
            const int32_t v = f.Int();
            EXPECT_TRUE(v >= low[k] && v <= high[k]) << key << ": " << v;
        }
    }
    WireFrame warning = t.frames[3];
    EXPECT_EQ(warning.Int(), FE_MSG_USER);
    EXPECT_EQ(user_record(warning), "0 0 1 1 ZARIK: Error while opening file for read: datafile");
    // The abort and the end of the run, byte for byte in the front end's order.
    const bool big = GetParam() == little_endian();
    EXPECT_EQ(hex(t.frames[4].Raw()), big ? "00 00 00 08 00 00 00 0a" : "08 00 00 00 0a 00 00 00");
    EXPECT_EQ(t.frames[5].Length(), 16);
    EXPECT_EQ(t.frames[5].Items("iii"), "0 0 0");
    EXPECT_EQ(t.frames[6].Items("i"), "-999");
    EXPECT_TRUE(closed_after);

    const std::vector<std::string> lines = lines_of(run.result.out);
    ASSERT_GE(lines.size(), 3u) << run.result.out;
    EXPECT_EQ(lines[2].rfind(" * ZARIK for HOLVA 4.6: Build# ", 0), 0u) << lines[2];
    EXPECT_EQ(run.result.out, "Current locale = C\n ****\n" + lines[2] + "\n ****\n" + abort_frame("OPENFILE") +
                                  status_line(bare_program(), 2000));
    EXPECT_EQ(run.result.err, "");
    EXPECT_EQ(run.result.exit_code, 208);
}

INSTANTIATE_TEST_SUITE_P(ByteOrders, ConnectedStart, testing::Values(false, true),
                         [](const testing::TestParamInfo<bool>& p) { return p.param ? "Swapped" : "Native"; });

// The engine must end by itself, with the abort of the run or the closing
// exchange cut short, never waiting for ever.
TEST(FrontEndHangsUp, TheProgramEndsByItself) {
    Transcript t;
    const struct {
        const char* when;
        std::function<void(FakeFrontEnd&)> script;
        const char* stopped_by;  // the routine whose abort frame follows the line shown, if any
        const char* shown;
        const char* err;
        int status;
    } cases[] = {
        {"during the set-up",
         [](FakeFrontEnd& f) {
             if (!f.Accept()) return;
             f.SendInts({FE_SETUP_TABLE_SIZES, 1, 1, 1, 1, 1});
             f.Send(f.Frame().Int(FE_SETUP_MULTIRUN).Int(3).Str("m"));
         },
         nullptr, " The front end closed the connection before the end of the run set-up.\n",
         "Exchange Error: Unexpected closure of transport mechanism.", 1},
        {"in the middle of a record",
         [](FakeFrontEnd& f) {
             if (f.Accept()) f.SendRaw(f.Frame().Int(FE_SETUP_OUTPUT).Str("out-file").Frame().substr(0, 7));
         },
         nullptr, " The front end closed the connection before the end of the run set-up.\n", nullptr, 1},
        {"instead of answering the closing exchange",
         [&t](FakeFrontEnd& f) {
             if (!(t.accepted = f.Accept())) return;
             f.SendInts({FE_SETUP_END});
             read_to_shutdown(f, t);
         },
         "OPENFILE", "", nullptr, 2000},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.when);
        const TempDir dir;
        FakeFrontEnd fe;
        const ServedRun run = run_served(fe, c.script, dir.path, 10000);
        ASSERT_FALSE(run.result.timed_out);
        EXPECT_TRUE(run.script_ended);
        EXPECT_EQ(run.result.exit_code, exit_code_for_status(c.status));
        const std::string frame = c.stopped_by ? abort_frame(c.stopped_by) : "";
        EXPECT_TRUE(contains(run.result.out, c.shown + frame)) << run.result.out;
        EXPECT_TRUE(ends_with(run.result.out, status_line(bare_program(), c.status)));
        if (c.err) {
            EXPECT_EQ(run.result.err, c.err);
        }
    }
    EXPECT_TRUE(t.saw_shutdown);
}

// Component messages on a connected engine, in this process.
using ComponentMessages = LinkedEngine;

TEST_F(ComponentMessages, SeveralLinesAreOneRecordSentWithItsLastLine) {
    USERMSG(12, 34, 2, 3, "first line");
    USERMSG(99, 99, 0, 0, "second line  ");
    EXPECT_TRUE(fe().Quiet());
    USERMSG(99, 99, 0, -1, "third");
    EXPECT_EQ(NextUserRecord(), "12 34 2 3 first line|second line  |third");  // trailing blanks kept
    USERWARN(5, 6, 1, "only line");
    EXPECT_EQ(NextUserRecord(), "5 6 1 1 only line");
}

}  // namespace
