// The front end's run-time commands against a connected engine in this
// process: pacing, the trace list and its values, control values and push
// buttons, the TX array, the print step, time, progress, meters, the
// end-of-run record and the panel records, each checked byte for byte.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "controls/meter_tables.h"
#include "engine/engine_reset.h"
#include "engine/engine_stop.h"
#include "engine/run_state.h"
#include "engine/storage.h"
#include "link/flat_layer.h"
#include "link/panel.h"
#include "link/run_commands.h"
#include "link/tests/fake_front_end.h"
#include "link/tests/link_test_support.h"
#include "link/trace.h"
#include "link/wire_codes.h"
#include "network/dimensions.h"
#include "network/network_tables.h"
#include "platform/text_units.h"
#include "snapshot/snapshot.h"

namespace {

using fake_fe::FakeFrontEnd;
using fake_fe::WireFrame;

constexpr int kWait = 5000;

class Commands : public testing::Test {
protected:
    void SetUp() override { Link(false); }
    void TearDown() override {
        set_front_end(nullptr);
        link_.reset();
        reset_all_engine_state();
    }
    void Link(bool swapped) {
        set_front_end(nullptr);
        link_.reset();
        reset_all_engine_state();
        link_ = std::make_unique<link_test::Linked>(swapped);
        ASSERT_TRUE(link_->connected);
        set_front_end(&link_->ex);
        RUN_SEQ.CONNECTED = LTRUE;
        RUN_CLOCK.DELT = RUN_CLOCK.RUN_DELT = 50e-6;
        RUN_CLOCK.PRINT_STEP = 250e-6;
    }
    FakeFrontEnd& fe() { return link_->fe; }

    // A poll that must come back (the frames it needs are already sent).
    int32_t Poll(int32_t& granted) {
        int32_t result = -1;
        POLL_MESSAGES(granted, result);
        return result;
    }

    std::unique_ptr<link_test::Linked> link_;
};

std::string console_of(const std::function<void()>& f) {
    console_flush();
    std::fflush(stdout);
    testing::internal::CaptureStdout();
    f();
    console_flush();
    std::fflush(stdout);
    return testing::internal::GetCapturedStdout();
}

// ---------------------------------------------------------------- pacing

TEST_F(Commands, ZeroStepsIsAnsweredWithTheTimeAndTheWaitGoesOn) {
    RUN_CLOCK.NSTEP = 7;
    RUN_CLOCK.TIME = 7 * 50e-6;
    fe().SendInts({FE_CMD_STEPS, 0});
    fe().SendInts({FE_CMD_STEPS, 3});
    int32_t granted = 0;
    EXPECT_EQ(Poll(granted), 0);
    EXPECT_EQ(granted, 3);
    auto time = fe().Expect(FE_MSG_TIME, kWait);
    ASSERT_TRUE(time);
    EXPECT_EQ(time->Length(), 20);
    EXPECT_EQ(time->Int(), 7);
    EXPECT_EQ(time->Double(), 7 * 50e-6);
    EXPECT_TRUE(time->AtEnd());
    EXPECT_TRUE(fe().Quiet());
}

TEST_F(Commands, AfterAGrantEveryWaitingCommandIsTakenThenThePollReturns) {
    // Sent in one piece, so that all three are waiting together.
    std::string bytes = fe().Frame().Int(FE_CMD_STEPS).Int(2).Frame();
    bytes += fe().Frame().Int(FE_CMD_TRACE_ADD).Int(trace_key(TRACE_TIME, 0)).Frame();
    bytes += fe().Frame().Int(FE_CMD_STEPS).Int(5).Frame();
    ASSERT_TRUE(fe().SendRaw(bytes));
    int32_t granted = 0;
    EXPECT_EQ(Poll(granted), 0);
    EXPECT_EQ(granted, 7);
    EXPECT_EQ(TRACE_KEYS.count, 1);
    ASSERT_TRUE(fe().Expect(FE_MSG_TRACE_ADDED, kWait));

    // With steps in hand nothing is waited for.
    EXPECT_EQ(Poll(granted), 0);
    EXPECT_EQ(granted, 7);
}

TEST_F(Commands, StopLeavesTwoStepsOrMore) {
    fe().SendInts({FE_CMD_STOP});
    int32_t granted = 0;
    EXPECT_EQ(Poll(granted), 1);
    EXPECT_EQ(granted, 2);

    fe().SendInts({FE_CMD_STOP});
    granted = 9;
    EXPECT_EQ(Poll(granted), 1);
    EXPECT_EQ(granted, 9);
}

TEST_F(Commands, EndAnswerLeavesTheAnswerInTheFrame) {
    fe().SendInts({FE_CMD_END_ANSWER, 1});
    fe().SendInts({FE_CMD_STEPS, 4});
    int32_t granted = 0;
    EXPECT_EQ(Poll(granted), 2);
    EXPECT_EQ(granted, 0);
    int32_t answer = 0;
    fe_recv_int(0, answer);
    EXPECT_EQ(answer, 1);
    // The grant behind it waits for the next poll.
    EXPECT_EQ(Poll(granted), 0);
    EXPECT_EQ(granted, 4);
}

TEST_F(Commands, PauseWithdrawsTheStepsAndWaitsAgain) {
    RUN_CLOCK.NSTEP = 12;
    RUN_CLOCK.TIME = 12 * 50e-6;
    std::string bytes = fe().Frame().Int(FE_CMD_STEPS).Int(5).Frame();
    bytes += fe().Frame().Int(FE_CMD_PAUSE).Frame();
    bytes += fe().Frame().Int(FE_CMD_STEPS).Int(1).Frame();
    ASSERT_TRUE(fe().SendRaw(bytes));
    int32_t granted = 0;
    EXPECT_EQ(Poll(granted), 0);
    EXPECT_EQ(granted, 1);
    auto time = fe().Expect(FE_MSG_TIME, kWait);
    ASSERT_TRUE(time);
    EXPECT_EQ(time->Int(), 12);
}

TEST_F(Commands, AFrontEndThatHasGoneEndsTheWaitAsAStop) {
    fe().Hangup();
    int32_t granted = 0;
    testing::internal::CaptureStderr();
    EXPECT_EQ(Poll(granted), 1);
    EXPECT_EQ(granted, 2);
    // Every later poll, waiting or not, says the same at once.
    EXPECT_EQ(Poll(granted), 1);
    granted = 0;
    EXPECT_EQ(Poll(granted), 1);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(err, "Exchange Error: Unexpected closure of transport mechanism.");
}

TEST_F(Commands, CommandsBeforeTheHangupAreStillCarriedOut) {
    fe().SendInts({FE_CMD_TRACE_ADD, 77});
    fe().Hangup();
    int32_t granted = 0;
    testing::internal::CaptureStderr();
    EXPECT_EQ(Poll(granted), 1);
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(TRACE_KEYS.count, 1);
    EXPECT_EQ(TRACE_KEYS.keys[0], 77);
}

TEST_F(Commands, UnknownCodesAreReportedAndTheCommandsGoOn) {
    fe().SendInts({42, 1, 2});
    fe().SendInts({-7});
    fe().SendInts({FE_CMD_STEPS, 1});
    int32_t granted = 0;
    int32_t result = -1;
    const std::string out = console_of([&] { result = Poll(granted); });
    EXPECT_EQ(result, 0);
    EXPECT_EQ(granted, 1);
    EXPECT_EQ(out,
              " Unimplemented message #          42\n"
              " Unimplemented message #          -7\n");
}

TEST_F(Commands, LastRunStopRunAndOutputNow) {
    RUN_SEQ.IRUN = 2;
    RUN_SEQ.NRUNS = 5;
    RUN_CLOCK.NSTEP = 10;
    RUN_CLOCK.LAST_STEP = 100;
    fe().SendInts({FE_CMD_LAST_RUN});
    fe().SendInts({FE_CMD_OUTPUT_NOW});
    fe().SendInts({FE_CMD_STEPS, 1});
    int32_t granted = 0;
    EXPECT_EQ(Poll(granted), 0);
    EXPECT_TRUE(is_true(RUN_SEQ.LAST_RUN));
    EXPECT_EQ(RUN_SEQ.NRUNS, 2);
    EXPECT_TRUE(is_true(RUN_FLAGS.OUTPUT_STEP));

    // The stop-run command ends the run at the next step ...
    fe().SendInts({FE_CMD_STOP_RUN});
    EXPECT_EQ(Poll(granted), 0);
    EXPECT_EQ(RUN_CLOCK.LAST_STEP, 11);
    auto warn = fe().Expect(FE_MSG_USER, kWait);
    ASSERT_TRUE(warn);
    EXPECT_EQ(warn->Int(), 0);
    EXPECT_EQ(warn->Int(), 0);
    EXPECT_EQ(warn->Int(), 1);
    EXPECT_EQ(warn->Int(), 1);
    EXPECT_EQ(warn->Str(), "Run ending on user request.");

    // ... unless the set-up said to ignore it.
    RUN_CLOCK.LAST_STEP = 100;
    RUN_SETUP.eni_role = 1;
    fe().SendInts({FE_CMD_STOP_RUN});
    EXPECT_EQ(Poll(granted), 0);
    EXPECT_EQ(RUN_CLOCK.LAST_STEP, 100);
}

TEST_F(Commands, SnapshotOnRequestOnlyWhenAllowed) {
    fe().SendInts({FE_CMD_SNAPSHOT});
    int32_t granted = 1;
    EXPECT_EQ(Poll(granted), 0);
    EXPECT_FALSE(is_true(SNAPSHOT_COUNTERS.on_request));
    RUN_SETUP.flag_b = 1;
    fe().SendInts({FE_CMD_SNAPSHOT});
    EXPECT_EQ(Poll(granted), 0);
    EXPECT_FALSE(is_true(SNAPSHOT_COUNTERS.on_request));  // only while the snapshot is written
    EXPECT_TRUE(fe().Quiet());
}

// ------------------------------------------------------------ trace list

TEST_F(Commands, AddAndRemoveKeepTheOrderAndAnswer) {
    int32_t granted = 1;
    for (int32_t k : {101, 202, 303}) fe().SendInts({FE_CMD_TRACE_ADD, k});
    fe().SendInts({FE_CMD_TRACE_REMOVE, 202});
    fe().SendInts({FE_CMD_TRACE_REMOVE, 999});
    EXPECT_EQ(Poll(granted), 0);
    ASSERT_EQ(TRACE_KEYS.count, 2);
    EXPECT_EQ(TRACE_KEYS.keys[0], 101);
    EXPECT_EQ(TRACE_KEYS.keys[1], 303);
    for (int32_t k : {101, 202, 303}) {
        auto f = fe().Expect(FE_MSG_TRACE_ADDED, kWait);
        ASSERT_TRUE(f);
        EXPECT_EQ(f->Length(), 12);
        EXPECT_EQ(f->Int(), k);
    }
    for (int32_t k : {202, 999}) {
        auto f = fe().Expect(FE_MSG_TRACE_REMOVED, kWait);
        ASSERT_TRUE(f);
        EXPECT_EQ(f->Int(), k);
    }
}

TEST_F(Commands, DuplicatesAreKeptAndRemovedOneAtATime) {
    TRACE_LIST(TRACE_ADD, 5);
    TRACE_LIST(TRACE_ADD, 6);
    TRACE_LIST(TRACE_ADD, 5);
    TRACE_LIST(TRACE_REMOVE, 5);
    ASSERT_EQ(TRACE_KEYS.count, 2);
    EXPECT_EQ(TRACE_KEYS.keys[0], 6);
    EXPECT_EQ(TRACE_KEYS.keys[1], 5);
}

TEST_F(Commands, RemovingFromAnEmptyListSendsNothing) {
    TRACE_LIST(TRACE_REMOVE, 5);
    EXPECT_EQ(TRACE_KEYS.count, 0);
    fe_send_int(0, 99);
    fe_flush(0);
    ASSERT_TRUE(fe().Expect(99, kWait));  // nothing came before it
}

TEST_F(Commands, AFullListRefusesWithoutAnswer) {
    for (int32_t k = 0; k < TRACE_CAPACITY; ++k) TRACE_KEYS.keys[static_cast<size_t>(k)] = k;
    TRACE_KEYS.count = TRACE_CAPACITY;
    TRACE_LIST(TRACE_ADD, 5000);
    EXPECT_EQ(TRACE_KEYS.count, TRACE_CAPACITY);
    EXPECT_EQ(TRACE_KEYS.keys[TRACE_CAPACITY - 1], TRACE_CAPACITY - 1);
    fe_send_int(0, 99);
    fe_flush(0);
    ASSERT_TRUE(fe().Expect(99, kWait));

    CLEAR_TRACE();
    EXPECT_EQ(TRACE_KEYS.count, 0);
    EXPECT_EQ(TRACE_KEYS.keys[0], 0);
    EXPECT_EQ(TRACE_KEYS.keys[TRACE_CAPACITY - 1], 0);
}

void make_storage() {
    StorageArrays& s = STORAGE;
    s.STOL.allocate(4);
    s.STOI.allocate(4);
    s.STOF.allocate(4);
    s.PGB.allocate(4);
    s.VAR.allocate(4);
    s.CON.allocate(4);
    for (int i = 1; i <= 4; ++i) {
        s.STOL(i) = i % 2 == 1 ? LTRUE : 2;  // bit 0 decides
        s.STOI(i) = 10 * i;
        s.STOF(i) = 1.5 * i;
        s.PGB(i) = 100.0 + i;
        s.VAR(i) = -1.0 * i;
        s.CON(i) = 0.25 * i;
    }
    NET.VNODE.allocate(20, 3);
    NET.CBR.allocate(10, 3);
    for (int n = 1; n <= 20; ++n)
        for (int ss = 1; ss <= 3; ++ss) NET.VNODE(n, ss) = 1000.0 * ss + n;
    for (int b = 1; b <= 10; ++b)
        for (int ss = 1; ss <= 3; ++ss) NET.CBR(b, ss) = 0.5 * b + 10.0 * ss;
}

TEST_F(Commands, TraceRecordTypesEachValueByItsKind) {
    make_storage();
    TRACE_LIST(TRACE_ADD, trace_key(TRACE_STOL, 1));
    TRACE_LIST(TRACE_ADD, trace_key(TRACE_NONE, 3));
    TRACE_LIST(TRACE_ADD, trace_key(TRACE_PGB, 2));
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(fe().Expect(FE_MSG_TRACE_ADDED, kWait));
    SEND_TRACE();
    auto f = fe().Expect(FE_MSG_TRACE, kWait);
    ASSERT_TRUE(f);
    EXPECT_EQ(f->Length(), 8 + 12);  // an int32 and a double
    EXPECT_EQ(f->Int(), 1);
    EXPECT_EQ(f->Double(), 102.0);
    EXPECT_TRUE(f->AtEnd());
}

TEST_F(Commands, ATraceOfNothingIsTheCodeAlone) {
    SEND_TRACE();
    auto empty = fe().Expect(FE_MSG_TRACE, kWait);
    ASSERT_TRUE(empty);
    EXPECT_EQ(empty->Length(), 8);
    TRACE_KEYS.count = 2;
    TRACE_KEYS.keys[0] = TRACE_KEYS.keys[1] = trace_key(TRACE_NONE, 1);
    SEND_TRACE();
    auto none = fe().Expect(FE_MSG_TRACE, kWait);
    ASSERT_TRUE(none);
    EXPECT_EQ(none->Length(), 8);
}

TEST_F(Commands, KeyLayout) {
    EXPECT_EQ(trace_key(TRACE_VNODE, 12, 2), 9 * (1 << 24) + 2 * (1 << 16) + 12);
    EXPECT_EQ(trace_key(TRACE_PGB, 0xABCDEF), 6 * (1 << 24) + 0xABCDEF);
}

// One query: the frame's values after key and count.
WireFrame query(FakeFrontEnd& fe, int32_t key, int32_t count) {
    fe.SendInts({FE_CMD_QUERY, key, count});
    int32_t granted = 1, result = -1;
    POLL_MESSAGES(granted, result);
    auto f = fe.Expect(FE_MSG_VALUES, kWait);
    if (!f) return WireFrame();
    EXPECT_EQ(f->Int(), key);
    EXPECT_EQ(f->Int(), count);
    return *f;
}

TEST_F(Commands, QueriesOfEveryKind) {
    make_storage();
    WireFrame stol = query(fe(), trace_key(TRACE_STOL, 1), 3);
    EXPECT_EQ(stol.Length(), 16 + 12);
    EXPECT_EQ(stol.Int(), 1);
    EXPECT_EQ(stol.Int(), 0);
    EXPECT_EQ(stol.Int(), 1);

    WireFrame stoi = query(fe(), trace_key(TRACE_STOI, 2), 2);
    EXPECT_EQ(stoi.Int(), 20);
    EXPECT_EQ(stoi.Int(), 30);
    EXPECT_TRUE(stoi.AtEnd());

    for (int32_t kind : {TRACE_STOF, TRACE_STOF2}) {
        WireFrame stof = query(fe(), trace_key(kind, 3), 2);
        EXPECT_EQ(stof.Double(), 4.5);
        EXPECT_EQ(stof.Double(), 6.0);
        EXPECT_TRUE(stof.AtEnd());
    }
    WireFrame pgb = query(fe(), trace_key(TRACE_PGB, 4), 1);
    EXPECT_EQ(pgb.Double(), 104.0);
    WireFrame var = query(fe(), trace_key(TRACE_VAR, 1), 1);
    EXPECT_EQ(var.Double(), -1.0);
    WireFrame con = query(fe(), trace_key(TRACE_CON, 2), 1);
    EXPECT_EQ(con.Double(), 0.5);

    WireFrame none = query(fe(), trace_key(TRACE_NONE, 2), 5);
    EXPECT_EQ(none.Length(), 16);

    // Two indexes advance together: (12, 2), (13, 3).
    WireFrame v = query(fe(), trace_key(TRACE_VNODE, 12, 2), 2);
    EXPECT_EQ(v.Double(), 2012.0);
    EXPECT_EQ(v.Double(), 3013.0);
    EXPECT_TRUE(v.AtEnd());
    WireFrame i = query(fe(), trace_key(TRACE_CBR, 4, 1), 2);
    EXPECT_EQ(i.Double(), 12.0);
    EXPECT_EQ(i.Double(), 22.5);
    WireFrame minus = query(fe(), trace_key(TRACE_CBR_NEG, 4, 1), 1);
    EXPECT_EQ(minus.Double(), -12.0);

    // No quantity: a double all the same.
    WireFrame other = query(fe(), trace_key(12, 1), 2);
    EXPECT_EQ(other.Length(), 16 + 16);
    EXPECT_EQ(other.Double(), 0.0);
    EXPECT_EQ(other.Double(), 0.0);

    // Nothing for a count below one.
    WireFrame zero = query(fe(), trace_key(TRACE_PGB, 1), 0);
    EXPECT_EQ(zero.Length(), 16);
}

TEST_F(Commands, IndexesOutsideTheirTablesSendZero) {
    make_storage();
    WireFrame pgb = query(fe(), trace_key(TRACE_PGB, 3), 3);
    EXPECT_EQ(pgb.Double(), 103.0);
    EXPECT_EQ(pgb.Double(), 104.0);
    EXPECT_EQ(pgb.Double(), 0.0);
    WireFrame stoi = query(fe(), trace_key(TRACE_STOI, 0), 2);
    EXPECT_EQ(stoi.Int(), 0);
    EXPECT_EQ(stoi.Int(), 10);
    WireFrame v = query(fe(), trace_key(TRACE_VNODE, 20, 3), 2);
    EXPECT_EQ(v.Double(), 3020.0);
    EXPECT_EQ(v.Double(), 0.0);
    WireFrame far = query(fe(), trace_key(TRACE_VNODE, 0xFFFF, 0xFF), 1);
    EXPECT_EQ(far.Double(), 0.0);
    EXPECT_EQ(array_overrun_count(), 0);
}

TEST_F(Commands, TimeIsCountedFromTheSnapshotWhenRelabelled) {
    RUN_CLOCK.DELT = 0.25;
    RUN_CLOCK.NSTEP = 10;
    RUN_CLOCK.START_STEP = 4;
    WireFrame plain = query(fe(), trace_key(TRACE_TIME, 0), 2);
    EXPECT_EQ(plain.Double(), 2.5);
    EXPECT_EQ(plain.Double(), 2.5);
    RUN_SETUP.relabel_time = LTRUE;
    WireFrame relabelled = query(fe(), trace_key(TRACE_TIME, 0), 1);
    EXPECT_EQ(relabelled.Double(), 1.5);
}

TEST_F(Commands, AQueryBeyondOneFrameIsCutToWhatAFrameHolds) {
    make_storage();
    fe().SendInts({FE_CMD_QUERY, trace_key(TRACE_PGB, 1), std::numeric_limits<int32_t>::max()});
    // The answer is read while it is sent.
    std::optional<WireFrame> answer;
    fe().Run([&](FakeFrontEnd& f) { answer = f.ReadFrame(30000); });
    int32_t granted = 1, result = -1;
    POLL_MESSAGES(granted, result);
    ASSERT_TRUE(fe().Join(30000));
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->Int(), FE_MSG_VALUES);
    EXPECT_EQ(answer->Int(), trace_key(TRACE_PGB, 1));
    const int32_t count = answer->Int();
    EXPECT_GT(count, 1000000);
    EXPECT_EQ(answer->Left(), static_cast<size_t>(count) * 8);
    EXPECT_LE(answer->Length(), 16 * 1024 * 1024);
    EXPECT_EQ(answer->Double(), 101.0);
    EXPECT_EQ(answer->Double(), 102.0);
}

// ------------------------------------------------- control values, TX

class ControlCommands : public Commands {
protected:
    void SetUp() override {
        Commands::SetUp();
        STORAGE.CX.allocate(4);
        STORAGE.TX.allocate(3);
        for (int i = 1; i <= 4; ++i) STORAGE.CX(i) = 10.0 * i;
    }
    // The console and the frames of a command that ends the run.
    std::string Aborted(const std::function<void()>& f) {
        bool stopped = false;
        const std::string out = console_of([&] {
            try {
                f();
            } catch (const FatalCatalogMessage&) {
                stopped = true;
            }
        });
        EXPECT_TRUE(stopped);
        return out;
    }
    void ExpectErrorRecord(const std::string& text) {
        auto msg = fe().Expect(FE_MSG_USER, kWait);
        ASSERT_TRUE(msg);
        EXPECT_EQ(msg->Int(), 0);
        EXPECT_EQ(msg->Int(), 0);
        EXPECT_EQ(msg->Int(), 2);
        EXPECT_EQ(msg->Int(), 1);
        EXPECT_EQ(msg->Str(), text);
        EXPECT_TRUE(msg->AtEnd());
        ASSERT_TRUE(fe().Expect(FE_MSG_ABORT, kWait));
        auto end = fe().Expect(FE_MSG_END_OF_RUN, kWait);
        ASSERT_TRUE(end);
        EXPECT_EQ(end->Length(), 16);
    }
};

TEST_F(ControlCommands, SetVarStoresTheValueAndAnswers) {
    fe().Send(fe().Frame().Int(FE_CMD_SET_VAR).Int(3).Double(-2.5));
    int32_t granted = 1;
    EXPECT_EQ(Poll(granted), 0);
    EXPECT_EQ(STORAGE.CX(3), -2.5);
    auto f = fe().Expect(FE_MSG_VAR_SET, kWait);
    ASSERT_TRUE(f);
    EXPECT_EQ(f->Length(), 12);
    EXPECT_EQ(f->Int(), 3);
}

TEST_F(ControlCommands, ABadControlIndexEndsTheRunBeforeItsValueIsRead) {
    for (int32_t bad : {0, 5, -1}) {
        fe().Send(fe().Frame().Int(FE_CMD_SET_VAR).Int(bad).Double(1.0));
        int32_t granted = 1;
        const std::string out = Aborted([&] { Poll(granted); });
        EXPECT_NE(out.find(" ERROR: Abnormal termination of ZARIK by SET_VAR     \n"), std::string::npos) << out;
        EXPECT_EQ(fe_bytes_left(0), 8);  // the double is still there
        ExpectErrorRecord("Invalid address of Slider/Switch/Dial");
    }
    fe().Send(fe().Frame().Int(FE_CMD_BUTTON).Int(5).Double(1.0));
    int32_t granted = 1;
    const std::string out = Aborted([&] { Poll(granted); });
    EXPECT_NE(out.find(" ERROR: Abnormal termination of ZARIK by SET_BUTTON  \n"), std::string::npos) << out;
    EXPECT_EQ(fe_bytes_left(0), 8);
    ExpectErrorRecord("Invalid address of Push Button");
    EXPECT_EQ(RUN_COMMANDS.button_count, 0);
}

TEST_F(ControlCommands, TwoButtonsHoldForOneStepAndBothComeBack) {
    fe().Send(fe().Frame().Int(FE_CMD_BUTTON).Int(1).Double(1.0));
    fe().Send(fe().Frame().Int(FE_CMD_BUTTON).Int(4).Double(-4.0));
    fe().SendInts({FE_CMD_STEPS, 1});
    int32_t granted = 0;
    EXPECT_EQ(Poll(granted), 0);
    EXPECT_EQ(STORAGE.CX(1), 1.0);
    EXPECT_EQ(STORAGE.CX(4), -4.0);
    EXPECT_EQ(RUN_COMMANDS.button_count, 2);
    RELEASE_BUTTONS();
    EXPECT_EQ(STORAGE.CX(1), 10.0);
    EXPECT_EQ(STORAGE.CX(4), 40.0);
    EXPECT_EQ(RUN_COMMANDS.button_count, 0);
    RELEASE_BUTTONS();
    EXPECT_EQ(STORAGE.CX(1), 10.0);
    fe().SendInts({FE_CMD_STOP});
    EXPECT_EQ(Poll(granted), 1);
    EXPECT_TRUE(fe().Quiet());  // presses are not answered
}

TEST_F(ControlCommands, AButtonPressedTwiceGetsItsFormerValueBack) {
    fe().Send(fe().Frame().Int(FE_CMD_BUTTON).Int(2).Double(1.0));
    fe().Send(fe().Frame().Int(FE_CMD_BUTTON).Int(2).Double(2.0));
    int32_t granted = 1;
    EXPECT_EQ(Poll(granted), 0);
    EXPECT_EQ(STORAGE.CX(2), 2.0);
    RELEASE_BUTTONS();
    EXPECT_EQ(STORAGE.CX(2), 20.0);
}

TEST_F(ControlCommands, AFullButtonQueueDropsFurtherPresses) {
    for (int k = 0; k < BUTTON_QUEUE_SIZE; ++k) {
        RUN_COMMANDS.button_index[static_cast<size_t>(k)] = 1;
        RUN_COMMANDS.button_saved[static_cast<size_t>(k)] = 10.0;
    }
    RUN_COMMANDS.button_count = BUTTON_QUEUE_SIZE;
    fe().Send(fe().Frame().Int(FE_CMD_BUTTON).Int(3).Double(99.0));
    int32_t granted = 1;
    EXPECT_EQ(Poll(granted), 0);
    EXPECT_EQ(STORAGE.CX(3), 30.0);
    EXPECT_EQ(RUN_COMMANDS.button_count, BUTTON_QUEUE_SIZE);
    clear_pending_buttons();
    EXPECT_EQ(RUN_COMMANDS.button_count, 0);
}

TEST_F(ControlCommands, TxPairsUntilAnElementBelowOne) {
    fe().Send(fe().Frame().Int(FE_CMD_TXARRAY).Int(3).Double(3.5).Int(1).Double(-1.0).Int(0).Int(2).Double(9.0));
    int32_t granted = 1;
    EXPECT_EQ(Poll(granted), 0);
    EXPECT_EQ(STORAGE.TX(1), -1.0);
    EXPECT_EQ(STORAGE.TX(2), 0.0);
    EXPECT_EQ(STORAGE.TX(3), 3.5);

    // A frame cut short ends like an element of 0.
    fe().Send(fe().Frame().Int(FE_CMD_TXARRAY).Int(2).Double(7.0));
    testing::internal::CaptureStderr();
    EXPECT_EQ(Poll(granted), 0);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Exchange Error: Read past the end of the received frame.");
    EXPECT_EQ(STORAGE.TX(2), 7.0);
}

TEST_F(ControlCommands, ATxElementBeyondTheArrayEndsTheRun) {
    fe().Send(fe().Frame().Int(FE_CMD_TXARRAY).Int(1).Double(5.0).Int(4).Double(6.0));
    int32_t granted = 1;
    const std::string out = Aborted([&] { Poll(granted); });
    EXPECT_NE(out.find(" ERROR: Abnormal termination of ZARIK by GET_TXARRAY \n"), std::string::npos) << out;
    EXPECT_EQ(STORAGE.TX(1), 5.0);
    EXPECT_EQ(fe_bytes_left(0), 8);
    ExpectErrorRecord("Invalid element of TX array");
}

TEST_F(ControlCommands, EndOfRunCarriesTheTxValues) {
    DIMBLOCK.REQ[ND_TX] = 3;
    for (int i = 1; i <= 3; ++i) STORAGE.TX(i) = i + 0.5;
    RUN_SEQ.LAST_RUN = LFALSE;
    SEND_END_OF_RUN();
    auto more = fe().Expect(FE_MSG_END_OF_RUN, kWait);
    ASSERT_TRUE(more);
    EXPECT_EQ(more->Length(), 16 + 24);
    EXPECT_EQ(more->Int(), 1);
    EXPECT_EQ(more->Int(), 3);
    EXPECT_EQ(more->Double(), 1.5);
    EXPECT_EQ(more->Double(), 2.5);
    EXPECT_EQ(more->Double(), 3.5);

    DIMBLOCK.REQ[ND_TX] = 0;
    RUN_SEQ.LAST_RUN = LTRUE;
    SEND_END_OF_RUN();
    auto last = fe().Expect(FE_MSG_END_OF_RUN, kWait);
    ASSERT_TRUE(last);
    EXPECT_EQ(last->Length(), 16);
    EXPECT_EQ(last->Int(), 0);
    EXPECT_EQ(last->Int(), 0);
}

// -------------------------------------------------------- print step

TEST_F(Commands, PrintStepIsRoundedToWholeStepsAndAnsweredWhenItChanges) {
    RUN_CLOCK.DELT = 0.25;  // steps and print steps exact in binary
    RUN_CLOCK.PRINT_STEP = 1.25;
    fe().Send(fe().Frame().Int(FE_CMD_PRINT_STEP).Double(5.05));
    int32_t granted = 1;
    EXPECT_EQ(Poll(granted), 0);
    EXPECT_EQ(RUN_CLOCK.PRINT_STEP, 5.0);
    auto f = fe().Expect(FE_MSG_PRINT_STEP, kWait);
    ASSERT_TRUE(f);
    EXPECT_EQ(f->Length(), 16);
    EXPECT_EQ(f->Double(), 5000000.0);

    // The same number of steps: no change, no answer.
    SET_PRINT_STEP(4.95);
    EXPECT_EQ(RUN_CLOCK.PRINT_STEP, 5.0);
    // Halves round away from zero: 2.5 steps are 3.
    SET_PRINT_STEP(0.625);
    EXPECT_EQ(RUN_CLOCK.PRINT_STEP, 0.75);
    // Below one step: one step.
    SET_PRINT_STEP(0.01);
    EXPECT_EQ(RUN_CLOCK.PRINT_STEP, 0.25);
    auto three = fe().Expect(FE_MSG_PRINT_STEP, kWait);
    ASSERT_TRUE(three);
    EXPECT_EQ(three->Double(), 750000.0);
    auto one = fe().Expect(FE_MSG_PRINT_STEP, kWait);
    ASSERT_TRUE(one);
    EXPECT_EQ(one->Double(), 250000.0);
    EXPECT_TRUE(one->AtEnd());
}

TEST_F(Commands, PrintStepsThatAreNoTimeAreIgnored) {
    for (double bad : {0.0, -1e-3, std::nan(""), std::numeric_limits<double>::infinity(),
                       -std::numeric_limits<double>::infinity()}) {
        SET_PRINT_STEP(bad);
        EXPECT_EQ(RUN_CLOCK.PRINT_STEP, 250e-6) << bad;
    }
    fe_send_int(0, 99);
    fe_flush(0);
    ASSERT_TRUE(fe().Expect(99, kWait));  // nothing was answered
}

TEST_F(Commands, AHugePrintStepIsTheLargestWholeNumberOfSteps) {
    SET_PRINT_STEP(1e300);
    EXPECT_EQ(RUN_CLOCK.PRINT_STEP, 2147483647.0 * 50e-6);
    SET_PRINT_STEP(1e301);  // still the same number of steps
    auto f = fe().Expect(FE_MSG_PRINT_STEP, kWait);
    ASSERT_TRUE(f);
    EXPECT_EQ(f->Double(), 2147483647.0 * 50e-6 * 1000000.0);
    fe_send_int(0, 99);
    fe_flush(0);
    ASSERT_TRUE(fe().Expect(99, kWait));
}

TEST_F(Commands, StandalonePrintStepChangesWithoutARecord) {
    RUN_SEQ.CONNECTED = LFALSE;
    SET_PRINT_STEP(1e-3);
    EXPECT_EQ(RUN_CLOCK.PRINT_STEP, 20 * 50e-6);
    RUN_SEQ.CONNECTED = LTRUE;
    fe_send_int(0, 99);
    fe_flush(0);
    ASSERT_TRUE(fe().Expect(99, kWait));
}

// ------------------------------------------------------ time, progress

// The percentages of the progress records of a run, step by step.
std::vector<std::pair<int32_t, int32_t>> progress_of_run(FakeFrontEnd& fe, int32_t start, int32_t steps) {
    std::vector<std::pair<int32_t, int32_t>> sent;
    RUN_CLOCK.START_STEP = start;
    RUN_CLOCK.RUN_STEPS = steps;
    const int32_t first = start > 0 ? start + 1 : 0;
    for (int32_t n = first; n <= first + steps; ++n) {
        RUN_CLOCK.NSTEP = n;
        RUN_FLAGS.FIRST_STEP_RUN = as_logical(n == first);
        SEND_PROGRESS(1);
        fe_send_int(0, 99);  // marks the end of the step's records
        fe_flush(0);
        for (;;) {
            auto f = fe.ReadFrame(kWait);
            if (!f) return sent;
            const int32_t code = f->Int();
            if (code == 99) break;
            EXPECT_EQ(code, FE_MSG_PROGRESS);
            EXPECT_EQ(f->Length(), 12);
            sent.emplace_back(n, f->Int());
        }
    }
    return sent;
}

TEST_F(Commands, ProgressAtTheStartThenEveryHundredthOfTheRun) {
    const auto sent = progress_of_run(fe(), 0, 1000);
    ASSERT_FALSE(sent.empty());
    EXPECT_EQ(sent.front(), std::make_pair(0, 0));
    // The first report moves the mark on twice: the next comes at 2P.
    ASSERT_GE(sent.size(), 3u);
    EXPECT_EQ(sent[1], std::make_pair(20, 2));
    EXPECT_EQ(sent[2], std::make_pair(30, 3));
    EXPECT_EQ(sent.back(), std::make_pair(1000, 100));
    EXPECT_EQ(sent.size(), 100u);
}

TEST_F(Commands, ProgressOfASnapshotStartCountsFromItsStep) {
    const auto sent = progress_of_run(fe(), 400, 200);
    ASSERT_GE(sent.size(), 2u);
    EXPECT_EQ(sent[0], std::make_pair(401, 1));  // 100 x 1 / 200 rounded up
    EXPECT_EQ(sent[1], std::make_pair(404, 2));
    EXPECT_EQ(sent.back(), std::make_pair(600, 100));
}

TEST_F(Commands, ShortRunsReportEveryStep) {
    const auto sent = progress_of_run(fe(), 0, 49);
    ASSERT_EQ(sent.size(), 50u);
    EXPECT_EQ(sent[1], std::make_pair(1, 2));  // 100 / 49 rounded
    EXPECT_EQ(sent[49], std::make_pair(49, 100));
}

TEST_F(Commands, ARunOfOneStepIsAllDone) {
    const auto sent = progress_of_run(fe(), 0, 0);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0], std::make_pair(0, 100));
}

TEST_F(Commands, ProgressModeZeroSendsTheTimeFirst) {
    RUN_CLOCK.RUN_STEPS = 10;
    RUN_CLOCK.NSTEP = 0;
    RUN_CLOCK.TIME = 0.0;
    RUN_FLAGS.FIRST_STEP_RUN = LTRUE;
    SEND_PROGRESS(0);
    auto time = fe().ReadFrame(kWait);
    ASSERT_TRUE(time);
    EXPECT_EQ(link_test::hex(time->Raw().substr(0, 8)),
              link_test::little_endian() ? "14 00 00 00 04 00 00 00" : "00 00 00 14 00 00 00 04");
    ASSERT_TRUE(fe().Expect(FE_MSG_PROGRESS, kWait));
}

// --------------------------------------------------------------- meters

TEST_F(Commands, MetersGoOnlyWhenThereAreAny) {
    SEND_METERS();
    fe_send_int(0, 99);
    fe_flush(0);
    ASSERT_TRUE(fe().Expect(99, kWait));

    ALLOC_ONLINE(2, 1, 1, 1, 1);
    METER_TABLES.METER_VAL(1) = 1.25;
    METER_TABLES.METER_VAL(2) = -2.0;
    METER_TABLES.METER3_VAL(1, 1) = 3.0;
    METER_TABLES.METER3_VAL(1, 2) = 4.0;
    METER_TABLES.METER3_VAL(1, 3) = 5.0;
    fe().SendInts({FE_CMD_METERS});
    int32_t granted = 1;
    EXPECT_EQ(Poll(granted), 0);
    auto single = fe().Expect(FE_MSG_METERS, kWait);
    ASSERT_TRUE(single);
    EXPECT_EQ(single->Length(), 8 + 16);
    EXPECT_EQ(single->Double(), 1.25);
    EXPECT_EQ(single->Double(), -2.0);
    auto triple = fe().Expect(FE_MSG_METERS3, kWait);
    ASSERT_TRUE(triple);
    EXPECT_EQ(triple->Length(), 8 + 24);
    EXPECT_EQ(triple->Double(), 3.0);
    EXPECT_EQ(triple->Double(), 4.0);
    EXPECT_EQ(triple->Double(), 5.0);

    ALLOC_ONLINE(0, 1, 1, 1, 1);
    SEND_METERS();
    ASSERT_TRUE(fe().Expect(FE_MSG_METERS3, kWait));
}

// --------------------------------------------------------------- panels

TEST_F(Commands, PanelRecords) {
    const char name[] = "Vrms      ";
    PANEL_REAL(3, 17, 1.5, name, 10);
    PANEL_INT(3, 18, -4, name, 4);
    PANEL_TEXT(3, 19, 2.0 / 3.0, name, 0);
    auto real = fe().Expect(FE_MSG_PANEL_REAL, kWait);
    ASSERT_TRUE(real);
    EXPECT_EQ(real->Length(), 4 + 12 + 8 + 5);
    EXPECT_EQ(real->Int(), 3);
    EXPECT_EQ(real->Int(), 17);
    EXPECT_EQ(real->Double(), 1.5);
    EXPECT_EQ(real->Str(), "Vrms");
    auto integer = fe().Expect(FE_MSG_PANEL_INT, kWait);
    ASSERT_TRUE(integer);
    EXPECT_EQ(integer->Int(), 3);
    EXPECT_EQ(integer->Int(), 18);
    EXPECT_EQ(integer->Int(), -4);
    EXPECT_EQ(integer->Str(), "Vrms");
    EXPECT_TRUE(integer->AtEnd());
    auto text = fe().Expect(FE_MSG_PANEL_TEXT, kWait);
    ASSERT_TRUE(text);
    EXPECT_EQ(text->Int(), 3);
    EXPECT_EQ(text->Int(), 19);
    EXPECT_EQ(text->Str(), "0.6667");
    EXPECT_EQ(text->Str(), "");
    EXPECT_TRUE(text->AtEnd());
}

TEST_F(Commands, NoPanelRecordsWhenTheSetUpSaidSoOrStandalone) {
    RUN_SETUP.flag_a = LTRUE;
    PANEL_REAL(1, 1, 1.0, "x", 1);
    RUN_SETUP.flag_a = LFALSE;
    RUN_SEQ.CONNECTED = LFALSE;
    PANEL_INT(1, 1, 1, "x", 1);
    RUN_SEQ.CONNECTED = LTRUE;
    fe_send_int(0, 99);
    fe_flush(0);
    ASSERT_TRUE(fe().Expect(99, kWait));
}

// ---------------------------------------------------- other byte order

class SwappedCommands : public Commands {
protected:
    void SetUp() override { Link(true); }
};

TEST_F(SwappedCommands, FramesGoInTheFrontEndsOrder) {
    STORAGE.CX.allocate(2);
    fe().Send(fe().Frame().Int(FE_CMD_SET_VAR).Int(2).Double(0.125));
    fe().SendInts({FE_CMD_TRACE_ADD, 0x01020304});
    int32_t granted = 1;
    EXPECT_EQ(Poll(granted), 0);
    EXPECT_EQ(STORAGE.CX(2), 0.125);
    auto set = fe().ReadFrame(kWait);
    ASSERT_TRUE(set);
    const bool le = link_test::little_endian();
    EXPECT_EQ(link_test::hex(set->Raw()),
              le ? "00 00 00 0c 00 00 00 09 00 00 00 02" : "0c 00 00 00 09 00 00 00 02 00 00 00");
    auto added = fe().Expect(FE_MSG_TRACE_ADDED, kWait);
    ASSERT_TRUE(added);
    EXPECT_EQ(added->Int(), 0x01020304);
}

// ------------------------------------------------------------ wall clock

TEST_F(Commands, WallClockCheckAtFifthsOfTheRunAndAtItsEnd) {
    RUN_CLOCK.RUN_STEPS = 100;
    RUN_CLOCK.START_STEP = 0;
    RUN_FLAGS.FIRST_STEP_RUN = LTRUE;
    RUN_CLOCK.NSTEP = 0;
    EXPECT_TRUE(is_true(WALLCLOCK_CHECK(1e9)));  // 0 mod 20
    RUN_FLAGS.FIRST_STEP_RUN = LFALSE;
    RUN_CLOCK.NSTEP = 40;
    EXPECT_TRUE(is_true(WALLCLOCK_CHECK(1e9)));
    RUN_FLAGS.FINAL_STEP = LTRUE;
    RUN_CLOCK.NSTEP = 99;
    EXPECT_TRUE(is_true(WALLCLOCK_CHECK(1e9)));
    RUN_FLAGS.FINAL_STEP = LFALSE;
    // A negative interval is always exceeded.
    RUN_CLOCK.NSTEP = 41;
    EXPECT_TRUE(is_true(WALLCLOCK_CHECK(-1.0)));
}

}  // namespace
