// A connected start of the whole program against a scripted front end:
// the set-up, what the engine sends up to the closing exchange, a front
// end that hangs up at any point, a front end that is not there; and the
// component messages as front-end records.
#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "engine/abort.h"
#include "engine/engine_stop.h"
#include "engine/run_state.h"
#include "engine/tests/linked_engine.h"
#include "link/wire_codes.h"

namespace {

using fake_fe::FakeFrontEnd;
using fake_fe::WireFrame;
using linked_engine::bare_program;
using linked_engine::lines_of;
using linked_engine::run_served;

// Only folders this test made are removed.
void remove_folder(const std::string& folder) {
    if (folder.rfind("/tmp/zarik-test-", 0) != 0) return;
    std::error_code ec;
    std::filesystem::remove_all(folder, ec);
}

// Everything the engine sent, up to and with its -999.
struct Transcript {
    std::vector<WireFrame> frames;
    bool accepted = false;
    bool saw_shutdown = false;
};

// Reads frames until the engine's -999 or the end of the link.
void read_to_shutdown(FakeFrontEnd& f, Transcript& t) {
    while (auto frame = f.ReadFrame(10000)) {
        t.frames.push_back(*frame);
        if (WireFrame(*frame).Int() == FE_SHUTDOWN) {
            t.saw_shutdown = true;
            return;
        }
    }
}

void send_setup(FakeFrontEnd& f) {
    f.SendInts({FE_SETUP_TABLE_SIZES, 1, 1, 1, 1, 1});
    f.SendInts({FE_SETUP_TABLE_ROW, 1, 3, 4, 5, 6});
    f.Send(f.Frame().Int(FE_SETUP_SNAPSHOT).Str("plan.snp").Double(0.02).Int(2));
    f.Send(f.Frame().Int(FE_SETUP_ARRAY).Int(2).Double(1.0).Double(2.0));
    f.SendInts({FE_SETUP_FLAGS, 0, 1});
    f.SendInts({FE_SETUP_END});
}

class ConnectedStart : public testing::TestWithParam<bool> {
protected:
    void SetUp() override {
        dir_ = make_temp_dir();
        ASSERT_NE(dir_, "/tmp");
    }
    void TearDown() override { remove_folder(dir_); }
    std::string dir_;
};

TEST_P(ConnectedStart, SetUpThenTheAbortOfTheMissingMapFile) {
    FakeFrontEnd fe(GetParam());
    ASSERT_GT(fe.Port(), 0);
    Transcript t;
    bool closed_after = false;
    const auto run = run_served(
        fe,
        [&](FakeFrontEnd& f) {
            if (!(t.accepted = f.Accept())) return;
            send_setup(f);
            read_to_shutdown(f, t);
            if (t.saw_shutdown && f.SendInts({FE_SHUTDOWN})) closed_after = f.WaitForClose(10000);
        },
        dir_);
    ASSERT_FALSE(run.result.timed_out);
    ASSERT_TRUE(run.script_ended);
    ASSERT_TRUE(t.accepted);

    // The banner's three forwarded catalogue messages, the warning that
    // the map file cannot be opened, the abort, the end of run without
    // values, and the closing -999: nothing else.
    ASSERT_EQ(t.frames.size(), 7u);
    WireFrame version = t.frames[0];
    EXPECT_EQ(version.Int(), FE_MSG_CATALOG);
    EXPECT_EQ(version.Int(), 1);
    EXPECT_EQ(version.Int(), 2);
    EXPECT_EQ(version.Double(), 4.6);
    EXPECT_TRUE(version.AtEnd());

    WireFrame date = t.frames[1];
    EXPECT_EQ(date.Length(), 28);
    EXPECT_EQ(date.Int(), FE_MSG_CATALOG);
    EXPECT_EQ(date.Int(), 5);
    EXPECT_EQ(date.Int(), 83);
    const int32_t month = date.Int(), day = date.Int(), year = date.Int();
    EXPECT_TRUE(month >= 1 && month <= 12) << month;
    EXPECT_TRUE(day >= 1 && day <= 31) << day;
    EXPECT_GE(year, 2024);
    EXPECT_TRUE(date.AtEnd());

    WireFrame time = t.frames[2];
    EXPECT_EQ(time.Length(), 28);
    EXPECT_EQ(time.Int(), FE_MSG_CATALOG);
    EXPECT_EQ(time.Int(), 5);
    EXPECT_EQ(time.Int(), 84);
    const int32_t hour = time.Int(), minute = time.Int(), second = time.Int();
    EXPECT_TRUE(hour >= 0 && hour <= 23) << hour;
    EXPECT_TRUE(minute >= 0 && minute <= 59) << minute;
    EXPECT_TRUE(second >= 0 && second <= 60) << second;
    EXPECT_TRUE(time.AtEnd());

    WireFrame warning = t.frames[3];
    EXPECT_EQ(warning.Int(), FE_MSG_USER);
    EXPECT_EQ(warning.Int(), 0);
    EXPECT_EQ(warning.Int(), 0);
    EXPECT_EQ(warning.Int(), 1);
    EXPECT_EQ(warning.Int(), 1);
    EXPECT_EQ(warning.Str(), "ZARIK: Error while opening file for read: datafile");
    EXPECT_TRUE(warning.AtEnd());

    WireFrame abort = t.frames[4];
    EXPECT_EQ(abort.Length(), 8);
    EXPECT_EQ(abort.Int(), FE_MSG_ABORT);

    WireFrame end = t.frames[5];
    EXPECT_EQ(end.Length(), 16);
    EXPECT_EQ(end.Int(), FE_MSG_END_OF_RUN);
    EXPECT_EQ(end.Int(), 0);
    EXPECT_EQ(end.Int(), 0);

    WireFrame shutdown = t.frames[6];
    EXPECT_EQ(shutdown.Length(), 8);
    EXPECT_EQ(shutdown.Int(), FE_SHUTDOWN);
    EXPECT_TRUE(closed_after);

    const std::string rule(57, '=');
    const std::vector<std::string> lines = lines_of(run.result.out);
    ASSERT_EQ(lines.size(), 9u) << run.result.out;
    EXPECT_EQ(lines[0], "Current locale = C");
    EXPECT_EQ(lines[1], " ****");
    EXPECT_EQ(lines[2].rfind(" * ZARIK for HOLVA 4.6: Build# ", 0), 0u) << lines[2];
    EXPECT_EQ(lines[3], " ****");
    EXPECT_EQ(lines[4], " " + rule);
    EXPECT_EQ(lines[5], " ERROR: Abnormal termination of ZARIK by OPENFILE    ");
    EXPECT_EQ(lines[6], " " + rule);
    EXPECT_EQ(lines[7], " ");
    EXPECT_EQ(lines[8], bare_program() + " exiting.  Status code = 2000");
    EXPECT_EQ(run.result.out.back(), '\n');
    EXPECT_EQ(run.result.err, "");
    EXPECT_EQ(run.result.exit_code, 208);
}

INSTANTIATE_TEST_SUITE_P(ByteOrders, ConnectedStart, testing::Values(false, true),
                         [](const testing::TestParamInfo<bool>& p) { return p.param ? "Swapped" : "Native"; });

class FrontEndHangsUp : public testing::Test {
protected:
    void SetUp() override {
        dir_ = make_temp_dir();
        ASSERT_NE(dir_, "/tmp");
    }
    void TearDown() override { remove_folder(dir_); }

    // The engine must end by itself, with the abort of the run or the
    // closing exchange cut short, never waiting for ever.
    void ExpectEnded(const linked_engine::ServedRun& run, const std::string& stopped_by) {
        ASSERT_FALSE(run.result.timed_out);
        EXPECT_TRUE(run.script_ended);
        EXPECT_EQ(run.result.exit_code, 208);
        EXPECT_NE(run.result.out.find(" ERROR: Abnormal termination of ZARIK by " + stopped_by), std::string::npos)
            << run.result.out;
        const std::string last = bare_program() + " exiting.  Status code = 2000\n";
        ASSERT_GE(run.result.out.size(), last.size());
        EXPECT_EQ(run.result.out.substr(run.result.out.size() - last.size()), last);
    }
    std::string dir_;
};

TEST_F(FrontEndHangsUp, DuringSetUp) {
    FakeFrontEnd fe;
    const auto run = run_served(
        fe,
        [](FakeFrontEnd& f) {
            if (!f.Accept()) return;
            f.SendInts({FE_SETUP_TABLE_SIZES, 1, 1, 1, 1, 1});
            f.Send(f.Frame().Int(FE_SETUP_MULTIRUN).Int(3).Str("m"));
        },  // hangs up here, before record 19
        dir_, 10000);
    ExpectEnded(run, "DATA");
    EXPECT_NE(run.result.out.find(" The front end closed the connection before the end of the run set-up.\n"),
              std::string::npos);
    EXPECT_EQ(run.result.err, "Exchange Error: Unexpected closure of transport mechanism.");
}

TEST_F(FrontEndHangsUp, InTheMiddleOfARecord) {
    FakeFrontEnd fe;
    const auto run = run_served(
        fe,
        [](FakeFrontEnd& f) {
            if (!f.Accept()) return;
            const std::string frame = f.Frame().Int(FE_SETUP_OUTPUT).Str("out-file").Frame();
            f.SendRaw(frame.substr(0, 7));
        },
        dir_, 10000);
    ExpectEnded(run, "DATA");
}

TEST_F(FrontEndHangsUp, BeforeItsKey) {
    FakeFrontEnd fe;
    const auto run = run_served(
        fe, [](FakeFrontEnd& f) { f.Accept(fake_fe::DEFAULT_TIMEOUT_MS, false); }, dir_, 10000);
    ExpectEnded(run, "DATA");
}

TEST_F(FrontEndHangsUp, InsteadOfAnsweringTheClosingExchange) {
    FakeFrontEnd fe;
    Transcript t;
    const auto run = run_served(
        fe,
        [&](FakeFrontEnd& f) {
            if (!(t.accepted = f.Accept())) return;
            f.SendInts({FE_SETUP_END});
            read_to_shutdown(f, t);
        },  // hangs up without its -999
        dir_, 10000);
    ExpectEnded(run, "OPENFILE");
    EXPECT_TRUE(t.saw_shutdown);
}

TEST(NoFrontEnd, ConnectionRefused) {
    const std::string program = std::string(ZARIK_BINARY_DIR) + "/zarik";
    const ProgramResult r = run_program({program, "-v4", "localhost", "1"}, "", "", 10000);
    ASSERT_FALSE(r.timed_out);
    const std::vector<std::string> err = lines_of(r.err);
    ASSERT_EQ(err.size(), 2u) << r.err;
    EXPECT_EQ(err[0].rfind(program + ": ", 0), 0u) << err[0];
    EXPECT_EQ(err[1], "Failed to connect to localhost:1");
    EXPECT_EQ(r.err.back(), '\n');
    const std::string last = program + " exiting.  Status code = 1\n";
    ASSERT_GE(r.out.size(), last.size());
    EXPECT_EQ(r.out.substr(r.out.size() - last.size()), last);
    EXPECT_EQ(r.exit_code, 1);
}

// Component messages on a connected engine, in this process.
class ComponentMessages : public linked_engine::LinkedEngine {};

TEST_F(ComponentMessages, SeveralLinesAreOneRecord) {
    USERMSG(12, 34, 2, 3, "first line");
    USERMSG(99, 99, 0, 0, "second line  ");
    EXPECT_TRUE(fe().Quiet());  // the record waits for its last line
    USERMSG(99, 99, 0, -1, "third");
    auto f = fe().Expect(FE_MSG_USER, 5000);
    ASSERT_TRUE(f);
    EXPECT_EQ(f->Int(), 12);
    EXPECT_EQ(f->Int(), 34);
    EXPECT_EQ(f->Int(), 2);
    EXPECT_EQ(f->Int(), 3);
    EXPECT_EQ(f->Str(), "first line");
    EXPECT_EQ(f->Str(), "second line  ");  // trailing blanks kept
    EXPECT_EQ(f->Str(), "third");
    EXPECT_TRUE(f->AtEnd());
    EXPECT_TRUE(fe().Quiet());
}

TEST_F(ComponentMessages, OneLineGoesAtOnce) {
    USERWARN(5, 6, 1, "only line");
    auto f = fe().Expect(FE_MSG_USER, 5000);
    ASSERT_TRUE(f);
    EXPECT_EQ(f->Length(), 4 + 5 * 4 + 10);
    EXPECT_EQ(f->Int(), 5);
    EXPECT_EQ(f->Int(), 6);
    EXPECT_EQ(f->Int(), 1);
    EXPECT_EQ(f->Int(), 1);
    EXPECT_EQ(f->Str(), "only line");
    EXPECT_TRUE(f->AtEnd());

    USERMSG(0, 0, 0, 1, "");
    auto empty = fe().Expect(FE_MSG_USER, 5000);
    ASSERT_TRUE(empty);
    EXPECT_EQ(empty->Length(), 4 + 5 * 4 + 1);
}

TEST_F(ComponentMessages, AbortSendsAbortAndEndOfRun) {
    int32_t status = 0;
    linked_engine::console_of([&] {
        try {
            ABORT_RUN("TESTER", 0);
        } catch (const FatalCatalogMessage& stop) {
            status = stop.status;
        }
    });
    EXPECT_EQ(status, 2000);
    auto abort = fe().ReadFrame(5000);
    ASSERT_TRUE(abort);
    EXPECT_EQ(abort->Length(), 8);
    EXPECT_EQ(abort->Int(), FE_MSG_ABORT);
    auto end = fe().ReadFrame(5000);
    ASSERT_TRUE(end);
    EXPECT_EQ(end->Length(), 16);
    EXPECT_EQ(end->Int(), 0);
    EXPECT_EQ(end->Int(), 0);
    EXPECT_EQ(end->Int(), 0);
    EXPECT_TRUE(fe().Quiet());
}

}  // namespace
