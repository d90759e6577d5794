// The front end's run-time commands against a connected engine in this
// process, each answer checked byte for byte.
#include <cmath>
#include <limits>

#include "controls/meter_tables.h"
#include "engine/storage.h"
#include "link/panel.h"
#include "link/run_commands.h"
#include "link/tests/link_test_support.h"
#include "link/trace.h"
#include "network/dimensions.h"
#include "network/network_tables.h"

namespace {

using namespace link_test;

constexpr int kWait = 5000;

class Commands : public LinkedEngine {
protected:
    void SetUp() override {
        LinkedEngine::SetUp();
        RUN_CLOCK.DELT = RUN_CLOCK.RUN_DELT = 50e-6;
        RUN_CLOCK.PRINT_STEP = 250e-6;
    }
    // The result of a poll from a grant, and the grant after it.
    static std::pair<int32_t, int32_t> PollFrom(int32_t granted) {
        int32_t result = -1;
        POLL_MESSAGES(granted, result);
        return {result, granted};
    }
    // With a step in hand a poll takes what waits and returns.
    static int32_t PollOnce() { return PollFrom(1).first; }
    void SendTogether(std::initializer_list<WireWriter> frames) {
        std::string bytes;
        for (const WireWriter& w : frames) bytes += w.Frame();
        ASSERT_TRUE(fe().SendRaw(bytes));
    }
    WireWriter Rec(int32_t code) { return fe().Frame().Int(code); }
};

// ---------------------------------------------------------------- pacing

TEST_F(Commands, GrantsZeroStepsAndUnknownCodes) {
    // Zero steps are answered with the time and the wait goes on; unknown codes are reported.
    RUN_CLOCK.NSTEP = 7;
    RUN_CLOCK.TIME = 7 * 50e-6;
    fe().SendInts({FE_CMD_STEPS, 0});
    fe().SendInts({42, 1, 2});
    fe().SendInts({FE_CMD_STEPS, 3});
    std::pair<int32_t, int32_t> polled;
    EXPECT_EQ(capture([&] { polled = PollFrom(0); }).out, " Unimplemented message #          42\n");
    EXPECT_EQ(polled, std::pair(0, 3));
    EXPECT_EQ(Next(FE_MSG_TIME, "id"), "7 0.00035");
    EXPECT_TRUE(fe().Quiet());

    // After a grant every waiting command is taken, then the poll returns.
    SendTogether({Rec(FE_CMD_STEPS).Int(2), Rec(FE_CMD_TRACE_ADD).Int(trace_key(TRACE_TIME, 0)),
                  Rec(FE_CMD_STEPS).Int(5)});
    EXPECT_EQ(PollFrom(0), std::pair(0, 7));
    EXPECT_EQ(TRACE_KEYS.count, 1);
    EXPECT_EQ(PollFrom(7), std::pair(0, 7));  // with steps in hand nothing is waited for
}

TEST_F(Commands, LastRunStopRunAndOutputNow) {
    RUN_SEQ.IRUN = 2;
    RUN_SEQ.NRUNS = 5;
    RUN_CLOCK.NSTEP = 10;
    RUN_CLOCK.LAST_STEP = 100;
    fe().SendInts({FE_CMD_LAST_RUN});
    fe().SendInts({FE_CMD_OUTPUT_NOW});
    fe().SendInts({FE_CMD_STOP_RUN});
    EXPECT_EQ(PollOnce(), 0);
    EXPECT_EQ(std::tuple(is_true(RUN_SEQ.LAST_RUN), RUN_SEQ.NRUNS, is_true(RUN_FLAGS.OUTPUT_STEP)),
              std::tuple(true, 2, true));
    EXPECT_EQ(RUN_CLOCK.LAST_STEP, 11);  // the run ends at the next step ...
    EXPECT_EQ(NextUserRecord(), "0 0 1 1 Run ending on user request.");
    RUN_CLOCK.LAST_STEP = 100;
    RUN_SETUP.eni_role = 1;  // ... unless the set-up said to ignore it
    fe().SendInts({FE_CMD_STOP_RUN});
    EXPECT_EQ(PollOnce(), 0);
    EXPECT_EQ(RUN_CLOCK.LAST_STEP, 100);
}

// ------------------------------------------------------------ trace list

TEST_F(Commands, TraceListKeepsTheOrderAndAnswers) {
    for (int32_t k : {101, 202, 303, 202}) fe().SendInts({FE_CMD_TRACE_ADD, k});
    for (int32_t k : {202, 999}) fe().SendInts({FE_CMD_TRACE_REMOVE, k});
    EXPECT_EQ(PollOnce(), 0);
    // Duplicates are kept and removed one at a time.
    EXPECT_EQ(std::vector<int32_t>(TRACE_KEYS.keys.begin(), TRACE_KEYS.keys.begin() + TRACE_KEYS.count),
              std::vector<int32_t>({101, 303, 202}));
    for (int32_t k : {101, 202, 303, 202}) EXPECT_EQ(Next(FE_MSG_TRACE_ADDED, "i"), std::to_string(k));
    for (int32_t k : {202, 999}) EXPECT_EQ(Next(FE_MSG_TRACE_REMOVED, "i"), std::to_string(k));
    // A full list of 2048 refuses without answer.
    for (int32_t k = 3; k < 2048; ++k) {
        TRACE_LIST(TRACE_ADD, k);
        ASSERT_TRUE(fe().Expect(FE_MSG_TRACE_ADDED, kWait));
    }
    TRACE_LIST(TRACE_ADD, 5000);
    EXPECT_EQ(TRACE_KEYS.count, 2048);
    EXPECT_EQ(TRACE_KEYS.keys[2047], 2047);
    ExpectNothingSent();
    // Removing from an empty list sends nothing.
    CLEAR_TRACE();
    TRACE_LIST(TRACE_REMOVE, 5);
    EXPECT_EQ(TRACE_KEYS.count, 0);
    ExpectNothingSent();
}

void make_storage() {
    StorageArrays& s = STORAGE;
    for (auto* a : {&s.STOF, &s.PGB, &s.VAR, &s.CON}) a->allocate(4);
    s.STOL.allocate(4);
    s.STOI.allocate(4);
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
    for (int ss = 1; ss <= 3; ++ss) {
        for (int n = 1; n <= 20; ++n) NET.VNODE(n, ss) = 1000.0 * ss + n;
        for (int b = 1; b <= 10; ++b) NET.CBR(b, ss) = 0.5 * b + 10.0 * ss;
    }
}

TEST_F(Commands, TraceRecordTypesEachValueByItsKind) {
    SEND_TRACE();
    EXPECT_EQ(Next(FE_MSG_TRACE, ""), "");  // a trace of nothing is the code alone
    make_storage();
    TRACE_KEYS.count = 3;
    TRACE_KEYS.keys = {trace_key(TRACE_STOL, 1), trace_key(TRACE_NONE, 3), trace_key(TRACE_PGB, 2)};
    SEND_TRACE();
    EXPECT_EQ(Next(FE_MSG_TRACE, "id"), "1 102");  // an int32 and a double
}

// One query: the items of the answer after key and count.
std::string query(FakeFrontEnd& fe, int32_t key, int32_t count, std::string_view sig) {
    fe.SendInts({FE_CMD_QUERY, key, count});
    int32_t granted = 1, result = -1;
    POLL_MESSAGES(granted, result);
    auto f = fe.Expect(FE_MSG_VALUES, kWait);
    if (!f) return "<no answer>";
    EXPECT_EQ(f->Int(), key);
    EXPECT_EQ(f->Int(), count);
    return f->Items(sig);
}

TEST_F(Commands, QueriesOfEveryKind) {
    make_storage();
    const struct { int32_t key, count; const char* sig; const char* values; } cases[] = {
        {trace_key(TRACE_STOL, 1), 3, "iii", "1 0 1"},
        {trace_key(TRACE_STOI, 2), 2, "ii", "20 30"},
        {trace_key(TRACE_STOF, 3), 2, "dd", "4.5 6"},
        {trace_key(TRACE_VAR, 1), 1, "d", "-1"},
        {trace_key(TRACE_CON, 2), 1, "d", "0.5"},
        {(9 << 24) | (2 << 16) | 12, 2, "dd", "2012 3013"},  // node voltages: both indexes advance
        {trace_key(TRACE_CBR, 4, 1), 2, "dd", "12 22.5"},
        {trace_key(TRACE_CBR_NEG, 4, 1), 1, "d", "-12"},
        {trace_key(12, 1), 2, "dd", "0 0"},    // no quantity: a double all the same
        {trace_key(TRACE_PGB, 1), 0, "", ""},  // nothing for a count below one
        // Indexes outside their tables send zero.
        {trace_key(TRACE_PGB, 3), 3, "ddd", "103 104 0"},
        {trace_key(TRACE_STOI, 0), 2, "ii", "0 10"},
        {trace_key(TRACE_VNODE, 20, 3), 2, "dd", "3020 0"},
        {trace_key(TRACE_VNODE, 0xFFFF, 0xFF), 1, "d", "0"},
    };
    for (const auto& c : cases) EXPECT_EQ(query(fe(), c.key, c.count, c.sig), c.values) << c.key;
    EXPECT_EQ(array_overrun_count(), 0);

    // Time is counted from the snapshot when relabelled.
    RUN_CLOCK.DELT = 0.25;
    RUN_CLOCK.NSTEP = 10;
    RUN_CLOCK.START_STEP = 4;
    EXPECT_EQ(query(fe(), trace_key(TRACE_TIME, 0), 2, "dd"), "2.5 2.5");
    RUN_SETUP.relabel_time = LTRUE;
    EXPECT_EQ(query(fe(), trace_key(TRACE_TIME, 0), 1, "d"), "1.5");
}

TEST_F(Commands, AQueryBeyondOneFrameIsCutToWhatAFrameHolds) {
    make_storage();
    fe().SendInts({FE_CMD_QUERY, trace_key(TRACE_PGB, 1), std::numeric_limits<int32_t>::max()});
    std::optional<WireFrame> answer;
    fe().Run([&](FakeFrontEnd& f) { answer = f.ReadFrame(30000); });  // read while it is sent
    PollOnce();
    ASSERT_TRUE(fe().Join(30000));
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->Int(), FE_MSG_VALUES);
    EXPECT_EQ(answer->Int(), trace_key(TRACE_PGB, 1));
    const int32_t count = answer->Int();
    EXPECT_GT(count, 1000000);
    EXPECT_EQ(answer->Left(), static_cast<size_t>(count) * 8);
    EXPECT_LE(answer->Length(), 16 * 1024 * 1024);
    EXPECT_EQ(answer->Double(), 101.0);
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
    // A command that ends the run: the abort frame of its routine, the value
    // still unread, and the error, abort and end-of-run records.
    void ExpectStopped(const std::string& routine, const std::string& text) {
        const Captured c = capture([] { PollOnce(); });
        EXPECT_EQ(c.status, 2000);
        EXPECT_TRUE(contains(c.out, abort_frame(routine))) << c.out;
        EXPECT_EQ(fe_bytes_left(0), 8);
        EXPECT_EQ(NextUserRecord(), "0 0 2 1 " + text);
        EXPECT_EQ(Next(FE_MSG_ABORT, ""), "");
        EXPECT_EQ(Next(FE_MSG_END_OF_RUN, "ii"), "0 0");
    }
};

TEST_F(ControlCommands, TxPairsAndTheEndOfRunRecord) {
    fe().Send(Rec(FE_CMD_TXARRAY).Int(3).Double(3.5).Int(1).Double(-1.0).Int(0).Int(2).Double(9.0));
    EXPECT_EQ(PollOnce(), 0);
    // TX pairs until an element below one.
    EXPECT_EQ(std::vector<double>({STORAGE.TX(1), STORAGE.TX(2), STORAGE.TX(3)}), std::vector<double>({-1.0, 0.0, 3.5}));
    // A frame cut short ends like an element of 0.
    fe().Send(Rec(FE_CMD_TXARRAY).Int(2).Double(7.0));
    int32_t result = -1;
    EXPECT_EQ(capture([&] { result = PollOnce(); }, true).err, "Exchange Error: Read past the end of the received frame.");
    EXPECT_EQ(result, 0);
    EXPECT_EQ(STORAGE.TX(2), 7.0);

    // The end-of-run record carries the TX values (without any: see ExpectStopped).
    DIMBLOCK.REQ[ND_TX] = 3;
    RUN_SEQ.LAST_RUN = LFALSE;
    SEND_END_OF_RUN();
    EXPECT_EQ(Next(FE_MSG_END_OF_RUN, "iiddd"), "1 3 -1 7 3.5");
}

TEST_F(ControlCommands, ABadIndexEndsTheRunBeforeItsValueIsRead) {
    fe().Send(Rec(FE_CMD_SET_VAR).Int(5).Double(1.0));
    ExpectStopped("SET_VAR", "Invalid address of Slider/Switch/Dial");
    fe().Send(Rec(FE_CMD_BUTTON).Int(0).Double(1.0));
    ExpectStopped("SET_BUTTON", "Invalid address of Push Button");
    EXPECT_EQ(RUN_COMMANDS.button_count, 0);
    fe().Send(Rec(FE_CMD_TXARRAY).Int(1).Double(5.0).Int(4).Double(6.0));
    ExpectStopped("GET_TXARRAY", "Invalid element of TX array");
    EXPECT_EQ(STORAGE.TX(1), 5.0);
}

TEST_F(ControlCommands, ButtonsPressedTwiceComeBackOnceAndAFullQueueDropsPresses) {
    fe().Send(Rec(FE_CMD_BUTTON).Int(2).Double(1.0));
    fe().Send(Rec(FE_CMD_BUTTON).Int(2).Double(2.0));
    EXPECT_EQ(PollOnce(), 0);
    EXPECT_EQ(STORAGE.CX(2), 2.0);
    for (int k = 0; k < 2; ++k) {
        RELEASE_BUTTONS();
        EXPECT_EQ(STORAGE.CX(2), 20.0);
    }
    EXPECT_TRUE(fe().Quiet());  // presses are not answered

    // A full queue drops further presses.
    for (int k = 0; k < BUTTON_QUEUE_SIZE; ++k) RUN_COMMANDS.button_index[static_cast<size_t>(k)] = 1;
    RUN_COMMANDS.button_count = BUTTON_QUEUE_SIZE;
    fe().Send(Rec(FE_CMD_BUTTON).Int(3).Double(99.0));
    EXPECT_EQ(PollOnce(), 0);
    EXPECT_EQ(STORAGE.CX(3), 30.0);
    EXPECT_EQ(RUN_COMMANDS.button_count, BUTTON_QUEUE_SIZE);
}

// -------------------------------------------------------- print step

TEST_F(Commands, PrintStepIsRoundedToWholeStepsClampedAndAnsweredWhenItChanges) {
    RUN_CLOCK.DELT = 0.25;  // steps and print steps exact in binary
    RUN_CLOCK.PRINT_STEP = 1.25;
    fe().Send(Rec(FE_CMD_PRINT_STEP).Double(5.05));
    EXPECT_EQ(PollOnce(), 0);
    EXPECT_EQ(RUN_CLOCK.PRINT_STEP, 5.0);
    EXPECT_EQ(Next(FE_MSG_PRINT_STEP, "d"), "5000000");
    // The same number of steps: no answer; halves round away from zero; below one step: one step.
    for (const auto& [asked, got] : {std::pair{4.95, 5.0}, {0.625, 0.75}, {0.01, 0.25}}) {
        SET_PRINT_STEP(asked);
        EXPECT_EQ(RUN_CLOCK.PRINT_STEP, got) << asked;
    }
    EXPECT_EQ(Next(FE_MSG_PRINT_STEP, "d"), "750000");
    EXPECT_EQ(Next(FE_MSG_PRINT_STEP, "d"), "250000");
    // Zero and negative steps are one step, as it is already; non-finite ones are ignored; a
    // huge one is the largest whole number of steps.
    for (double bad : {0.0, -1e-3, std::nan(""), std::numeric_limits<double>::infinity()}) SET_PRINT_STEP(bad);
    EXPECT_EQ(RUN_CLOCK.PRINT_STEP, 0.25);
    SET_PRINT_STEP(1e300);
    EXPECT_EQ(RUN_CLOCK.PRINT_STEP, 2147483647.0 * 0.25);
    SET_PRINT_STEP(1e301);  // still the same number of steps
    EXPECT_EQ(Next(FE_MSG_PRINT_STEP, "d"), "536870911750000");
    ExpectNothingSent();
}

TEST_F(Commands, PrintStepOfZeroOrBelowIsOneTimeStep) {
    RUN_CLOCK.DELT = 0.25;
    for (double asked : {0.0, -0.0, -1e-3, -1e300}) {
        RUN_CLOCK.PRINT_STEP = 1.25;
        fe().Send(Rec(FE_CMD_PRINT_STEP).Double(asked));
        EXPECT_EQ(PollOnce(), 0);
        EXPECT_EQ(RUN_CLOCK.PRINT_STEP, 0.25) << asked;
        EXPECT_EQ(Next(FE_MSG_PRINT_STEP, "d"), "250000") << asked;
    }
    // Already one step: nothing changes and nothing is answered.
    fe().Send(Rec(FE_CMD_PRINT_STEP).Double(0.0));
    EXPECT_EQ(PollOnce(), 0);
    EXPECT_EQ(RUN_CLOCK.PRINT_STEP, 0.25);
    ExpectNothingSent();
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
    using P = std::pair<int32_t, int32_t>;
    const auto whole = progress_of_run(fe(), 0, 1000);
    ASSERT_EQ(whole.size(), 100u);
    // The first report moves the mark on twice: the next comes at 2%.
    EXPECT_EQ(std::vector<P>(whole.begin(), whole.begin() + 3), (std::vector<P>{{0, 0}, {20, 2}, {30, 3}}));
    EXPECT_EQ(whole.back(), P(1000, 100));
    // A snapshot start counts from the snapshot's step over the 201 steps
    // it takes: 0 % at its first, and its last report says 100 %.
    const auto snap = progress_of_run(fe(), 400, 200);
    ASSERT_GE(snap.size(), 2u);
    EXPECT_EQ(std::vector<P>(snap.begin(), snap.begin() + 2), (std::vector<P>{{401, 0}, {404, 2}}));
    EXPECT_EQ(snap.back(), P(600, 100));
    // Short runs report every step; a run of no steps is all done.
    EXPECT_EQ(progress_of_run(fe(), 0, 49)[1], P(1, 2));  // 100 / 49 rounded
    EXPECT_EQ(progress_of_run(fe(), 0, 0), (std::vector<P>{{0, 100}}));
}

// ------------------------------------------------------- meters, panels

TEST_F(Commands, MetersGoOnlyWhenThereAreAny) {
    SEND_METERS();
    ExpectNothingSent();
    ALLOC_ONLINE(2, 1, 1, 1, 1);
    METER_TABLES.METER_VAL(1) = 1.25;
    METER_TABLES.METER_VAL(2) = -2.0;
    for (int p = 1; p <= 3; ++p) METER_TABLES.METER3_VAL(1, p) = 2.0 + p;
    fe().SendInts({FE_CMD_METERS});
    EXPECT_EQ(PollOnce(), 0);
    EXPECT_EQ(Next(FE_MSG_METERS, "dd"), "1.25 -2");
    EXPECT_EQ(Next(FE_MSG_METERS3, "ddd"), "3 4 5");
}

TEST_F(Commands, PanelRecords) {
    const char name[] = "Vrms      ";
    PANEL_REAL(3, 17, 1.5, name, 10);
    PANEL_INT(3, 18, -4, name, 4);
    PANEL_TEXT(3, 19, 2.0 / 3.0, name, 0);
    EXPECT_EQ(Next(FE_MSG_PANEL_REAL, "iids"), "3 17 1.5 Vrms");
    EXPECT_EQ(Next(FE_MSG_PANEL_INT, "iiis"), "3 18 -4 Vrms");
    EXPECT_EQ(Next(FE_MSG_PANEL_TEXT, "iiss"), "3 19 0.6667 ");
    // None when the set-up said so, or standalone.
    RUN_SETUP.flag_a = LTRUE;
    PANEL_REAL(1, 1, 1.0, "x", 1);
    RUN_SETUP.flag_a = LFALSE;
    RUN_SEQ.CONNECTED = LFALSE;
    PANEL_INT(1, 1, 1, "x", 1);
    RUN_SEQ.CONNECTED = LTRUE;
    ExpectNothingSent();
}

}  // namespace
