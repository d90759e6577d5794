// A front end that goes away, breaks the framing or stalls in the middle of
// a frame, through the whole program: the run ends as a failure with a line
// that says why and when, never as a finished run.
#include <filesystem>

#include "engine/engine_stop.h"
#include "link/tests/link_test_support.h"

namespace {

using namespace link_test;

constexpr int kWait = 10000;

// Whether a frame with this code came before the time ran out.
bool read_until(FakeFrontEnd& f, int32_t code) {
    while (auto frame = f.ReadFrame(kWait))
        if (frame->Int() == code) return true;
    return false;
}

// The example's run set-up, three steps granted, and the engine waiting
// before step 3: a query sent after step 0's print records is answered
// from there.
bool run_three_steps(FakeFrontEnd& f) {
    if (!f.Accept() || !f.Send(f.Frame().Int(FE_SETUP_DATAFILE).Str("switched_rl.map")) ||
        !f.SendInts({FE_SETUP_NO_OUTPUT}) || !f.SendInts({FE_SETUP_END}) || !read_until(f, FE_MSG_PRINT_STEP))
        return false;
    return f.SendInts({FE_CMD_STEPS, 3}) && read_until(f, FE_MSG_TIME) && f.SendInts({FE_CMD_QUERY, 0, 1}) &&
           read_until(f, FE_MSG_VALUES);
}

struct Lost {
    const char* name;
    std::function<void(FakeFrontEnd&)> script;
    std::string shown;  // the line before the status line
    std::string err;
    int status;
    int timeout_ms = 20000;
};
void PrintTo(const Lost& c, std::ostream* os) { *os << c.name; }

// Half a steps command, then nothing until the engine gives up the link.
void stall(FakeFrontEnd& f) {
    if (run_three_steps(f) && f.SendRaw(f.Frame().Int(FE_CMD_STEPS).Int(1).Frame().substr(0, 6)))
        f.WaitForClose(90000);
}

const std::string kStalled = "Frame not completed within 60 seconds.";

std::vector<Lost> cases() {
    return {
        {"ClosedMidRun", [](FakeFrontEnd& f) { run_three_steps(f); },
         " The front end closed the connection at step 3.\n",
         "Exchange Error: Unexpected closure of transport mechanism.", 1},
        {"BadLengthMidRun",
         [](FakeFrontEnd& f) {
             // A length word of 4: shorter than the smallest frame.
             if (run_three_steps(f) && f.SendRaw(f.Frame().Int(4).Int(FE_CMD_STEPS).Body())) f.WaitForClose();
         },
         " The link to the front end broke at step 3: Bad frame length received.\n",
         "Exchange Error: Bad frame length received.", 1},
        {"StalledMidFrame", stall, " The link to the front end broke at step 3: " + kStalled + "\n",
         "Exchange Error: " + kStalled, 1, 100000},
        {"ClosedInTheSetUp",
         [](FakeFrontEnd& f) {
             if (f.Accept()) f.Send(f.Frame().Int(FE_SETUP_DATAFILE).Str("switched_rl.map"));
         },
         " The front end closed the connection before the end of the run set-up.\n",
         "Exchange Error: Unexpected closure of transport mechanism.", 1},
        {"BadLengthInTheSetUp",
         [](FakeFrontEnd& f) {
             if (f.Accept()) f.SendRaw(f.Frame().Int(0x7fffffff).Body());
         },
         " The link to the front end broke before the end of the run set-up: Bad frame length received.\n",
         "Exchange Error: Bad frame length received.", 1},
        {"BadKeyInTheSetUp",
         [](FakeFrontEnd& f) {
             if (f.Accept(kWait, false)) f.SendKey(0x11111111);
         },
         " The link to the front end broke before the end of the run set-up: Bad key value received.\n",
         "Exchange Error: Bad key value received.", 1},
    };
}

class FrontEndLost : public testing::TestWithParam<Lost> {};

TEST_P(FrontEndLost, EndsTheRunAsAFailureSayingWhy) {
    const Lost& c = GetParam();
    const TempDir dir;
    const std::filesystem::path example = std::filesystem::path(ZARIK_SOURCE_DIR) / "examples" / "switched_rl";
    for (const char* name : {"switched_rl.map", "page1.map"})
        std::filesystem::copy_file(example / name, std::filesystem::path(dir.path) / name);
    FakeFrontEnd fe;
    ASSERT_GT(fe.Port(), 0);
    const ServedRun run = run_served(fe, c.script, dir.path, c.timeout_ms);
    ASSERT_FALSE(run.result.timed_out);
    EXPECT_TRUE(run.script_ended);
    EXPECT_TRUE(ends_with(run.result.out, c.shown + status_line(bare_program(), c.status))) << run.result.out;
    EXPECT_EQ(run.result.err, c.err);
    EXPECT_EQ(run.result.exit_code, exit_code_for_status(c.status));
}

INSTANTIATE_TEST_SUITE_P(Links, FrontEndLost, testing::ValuesIn(cases()),
                         [](const testing::TestParamInfo<Lost>& p) { return std::string(p.param.name); });

}  // namespace
