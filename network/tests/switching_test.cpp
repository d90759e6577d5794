// Switches: the switching instant by state code, the processing at one
// instant with its counts, bounds and record checks, switch set-up, and
// switches operated inside whole runs against analytic responses.
#include <cmath>
#include <functional>
#include <tuple>
#include <vector>

#include "engine/storage.h"
#include "network/pending_switches.h"
#include "network/switch_processing.h"
#include "network/switch_state.h"
#include "network/interpolation.h"
#include "network/switching_instant.h"
#include "network/tests/solution_circuit.h"

namespace {

// Open, state code, threshold, conductance and EMF of a switched branch.
std::tuple<bool, int32_t, double, double, double> state(int32_t b) {
    return {is_true(NET.OPENBR(b, 1)), NET.IORV(b, 1), NET.SWVAL(b, 1), NET.GEQ(b, 1), NET.EBR(b, 1)};
}

class SwitchProcessing : public SolutionTest {
protected:
    void SetUp() override {
        SolutionTest::SetUp();
        tables(4, 8, 50e-6);
        StorageArrays& S = STORAGE;
        S.STOR.allocate(64);
        S.STORI.allocate(32);
        S.STORF.allocate(16);
        S.RTCI.allocate(16);
        S.RTCF.allocate(32);
        NET.TIME_SOL = 0.0123;
        RUN_CLOCK.NSTEP = 7;
        RUN_SEQ.IRUN = 1;
        NET.SSINTERP(1) = LTRUE;
    }

    // An open switched branch, pending in this step, not yet due.
    int32_t open_switch(int32_t from, int32_t to) {
        const int32_t b = branch({from, to, 1.0}, true);
        NetworkTables& N = NET;
        N.GON(b, 1) = 100.0;
        N.GOFF(b, 1) = N.GEQ(b, 1) = N.GEQD(b, 1) = 1e-6;
        N.OPENBR(b, 1) = N.SWPEND(b) = LTRUE;
        N.IORV(b, 1) = 2;
        N.SWCOUNT(b) = 10;
        return b;
    }

    // The instant of switch b (GEQ 1, no history) for a branch current and
    // branch voltage both going from start to end.
    static double instant(int32_t b, int32_t code, double level, double start, double end) {
        NET.GEQ(b, 1) = 1.0;
        NET.IORV(b, 1) = code;
        NET.SWVAL(b, 1) = level;
        NET.CBR(b, 1) = start;
        NET.VNODE(NET.IEF(b, 1), 1) = start;
        NET.VSOL(NET.IEF(b, 1)) = end;
        return SWITCH_INSTANT(1, b, 0.0, false, false);
    }

    // A power-electronic switch record at STORI(p): device code, thresholds
    // at STORF(f + 1, f + 2), times at STOR(s + 10, s + 11). Words outside
    // their arrays are not written.
    void pe_record(int32_t b, int32_t p, int32_t code, int32_t f = 2, int32_t s = 40) {
        StorageArrays& S = STORAGE;
        const auto put = [](auto& array, int64_t i, auto value) {
            if (i >= 1 && i <= array.size()) array(i) = value;
        };
        NET.THISBR(b, 1) = p;
        put(S.STORI, p, code);
        put(S.STORI, p + 2, f);
        put(S.STORI, p + 7, s);
        put(S.STORF, f + 1, 0.7);
        put(S.STORF, f + 2, 0.2);
    }

    // An arrester of four segments at STOR(21 ..): conductances 1 to 4,
    // EMFs 10 to 40, breakpoints 0, 100, 200, 300 and 1e9; branch voltage v.
    void arrester(int32_t b, double segment, double v) {
        StorageArrays& S = STORAGE;
        for (int32_t k = 0; k < 4; ++k) {
            S.STOR(21 + k) = k + 1.0;
            S.STOR(25 + k) = 10.0 * (k + 1);
            S.STOR(29 + k) = 100.0 * k;
        }
        S.STOR(33) = 1e9;
        NET.GOFF(b, 1) = 20.0;
        NET.EOFF(b, 1) = 4.0;
        NET.IORV(b, 1) = 5;
        NET.SWVAL(b, 1) = segment;
        NET.SWCOUNT(b) = 0;
        NET.VNODE(NET.IEF(b, 1), 1) = v;
    }

    // Due at the instant span of the step, and processed.
    Captured operate(int32_t b, double span = 0.4) {
        NET.TSWITCH(b, 1) = span;
        return capture([span] { SWITCHBR(1, span); });
    }
};

// (code, level, start, end, instant; 1.5: none): reaching a level from above is no crossing.
TEST_F(SwitchProcessing, InstantByStateCode) {
    const int32_t b = open_switch(1, 0);
    for (const auto& [code, level, start, end, want] : std::vector<std::tuple<int32_t, double, double, double, double>>{
             {2, 0.0, 3.0, -1.0, 0.75},     {2, 3.0, 4.0, 3.0, 1.5},    {13, 0.0, -1.0, 3.0, 0.25},
             {13, 0.0, 0.5, 3.0, 0.0},      {-13, 1.0, 3.0, -1.0, 0.5}, {13, 0.0, -1.0, 0.5e-10, 1.5},
             {6, 0.0, 3.0, -1.0, 1.5},      {10, 1.0, 3.0, -1.0, 0.5},  {3, 0.7, 0.8, 1.7, 0.0},
             {-3, -0.7, 0.3, -1.7, 0.5},    {4, -2.0, 1.0, -3.0, 0.5},  {4, 2.0, 1.0, -1.5, 1.5}})
        EXPECT_DOUBLE_EQ(instant(b, code, level, start, end), want) << code << " " << start << " " << end;
    arrester(b, 1.0, 0.0);
    NET.EON(b, 1) = 7.0;
    EXPECT_DOUBLE_EQ(instant(b, 5, 1.0, 150.0, -50.0), 0.25);  // down two segments: the first boundary
    EXPECT_EQ(NET.EON(b, 1), -1.0);
    NET.SWVAL(b, 1) = -4.0;
    EXPECT_STOPS(SWITCH_INSTANT(1, b, 0.0, false, false),
                 " ***ERROR** Switched branch 1 of subsystem 1\n"
                 " ***ERROR** is at an arrester segment outside its table of 4 segments.\n" +
                     abort_frame("INTERPOL"));
}

// Due within the span operate; NaN or not pending is never due.
TEST_F(SwitchProcessing, SwitchesDueAtOrBeforeTheSpanOperate) {
    NetworkTables& N = NET;
    const int32_t a = open_switch(3, 2), b = open_switch(1, 0), c = open_switch(2, 4), d = open_switch(4, 0);
    N.TSWITCH(a, 1) = 0.3;
    N.TSWITCH(b, 1) = 0.30001;
    N.TSWITCH(c, 1) = std::nan("");
    N.TSWITCH(d, 1) = 0.1;
    N.SWPEND(d) = LFALSE;
    N.MXINV(1) = 5;
    SWITCHBR(1, 0.3);
    EXPECT_EQ(state(a), std::make_tuple(false, 6, 0.0, 100.0, 0.0));
    EXPECT_EQ(N.MXINV(1), 2);
    for (int32_t x : {b, c, d}) EXPECT_EQ(state(x), std::make_tuple(true, 2, 0.0, 1e-6, 0.0)) << x;
    SWITCHBR(1, 0.3);
    EXPECT_EQ(state(a), std::make_tuple(true, 6, 0.0, 1e-6, 0.0));
}

// Closing gives -13; opening 3 to a diode (10), 6 to the others; 9 is a plain switch.
TEST_F(SwitchProcessing, PowerElectronicSwitchCodesThresholdsAndTimes) {
    NetworkTables& N = NET;
    const int32_t b = open_switch(1, 2);
    for (int32_t code : {10, 11, 9}) {
        const bool pe = code >= 10;
        pe_record(b, 5, code);
        N.OPENBR(b, 1) = LTRUE;
        N.SWCOUNT(b) = 10;
        N.TIME_SOL = 0.25;
        operate(b);
        EXPECT_EQ(state(b), std::make_tuple(false, pe ? -13 : 6, pe ? 0.7 : 0.0, 100.0, 0.0)) << code;
        if (!pe) continue;
        N.TIME_SOL = 0.5;
        operate(b);
        EXPECT_EQ(state(b), std::make_tuple(true, code == 10 ? 3 : 6, 0.2, 1e-6, 0.0)) << code;
        EXPECT_EQ(std::make_tuple(STORAGE.STOR(50), STORAGE.STOR(51), N.SWCOUNT(b)), std::make_tuple(0.25, 0.5, 8));
    }
}

// The tenth switching in a step is the last, and leaves a thyristor open.
TEST_F(SwitchProcessing, PowerElectronicSwitchSwitchesTenTimesInAStep) {
    NetworkTables& N = NET;
    const int32_t b = open_switch(1, 2);
    pe_record(b, 5, 11);
    std::string out;
    for (int32_t k = 1; k <= 11; ++k) {
        out += operate(b).out;
        EXPECT_EQ(N.SWCOUNT(b), std::max(10 - k, 0)) << k;
        EXPECT_EQ(is_true(N.SWPEND(b)), k < 10) << k;
    }
    EXPECT_EQ(std::make_tuple(N.TSWITCH(b, 1), is_true(N.OPENBR(b, 1)), N.IORV(b, 1)), std::make_tuple(1.5, true, 6));
    EXPECT_EQ(out, " ***INFO*** Power Electronic Switch in branch 1 of subsystem \n"
                   " ***INFO*** 1 reached maximum number of switching in one time step.\n");
}

// The switches pending at the start of a step are all the processing need
// visit while none leaves them: a switch that reaches its limit sends it
// back to the whole list, which sets the instant the limit left behind.
TEST_F(SwitchProcessing, PendingSwitchesAloneGiveWhatTheWholeListGives) {
    NetworkTables& N = NET;
    const int32_t a = open_switch(1, 2), b = open_switch(2, 3), c = open_switch(3, 0), d = open_switch(1, 4);
    pe_record(b, 5, 11);
    N.SWPEND(c) = LFALSE;  // not pending this step: no instant
    const auto run = [&](bool listed) {
        SetUp();
        NET.NBRANCHES(1) = 0;
        NET.NSWITCH(1) = 0;
        for (const auto& [f, t] : {std::pair{1, 2}, {2, 3}, {3, 0}, {1, 4}}) open_switch(f, t);
        pe_record(b, 5, 11);
        N.SWPEND(c) = LFALSE;
        N.SWCOUNT(b) = 2;
        std::vector<std::tuple<bool, int32_t, double, double, double, double, int32_t, bool>> out;
        std::string messages;
        for (int32_t k = 0; k < 4; ++k) {
            if (listed && k == 0) PENDING_SWITCHES = {1, {a, b, d}};
            N.TSWITCH(a, 1) = 0.3;
            N.TSWITCH(b, 1) = 0.2;
            N.TSWITCH(d, 1) = 0.9;
            messages += capture([] { SWITCHBR(1, 0.5); }).out;
            for (const int32_t x : {a, b, c, d})
                out.push_back(std::tuple_cat(state(x), std::make_tuple(N.TSWITCH(x, 1), N.SWCOUNT(x),
                                                                       is_true(N.SWPEND(x)))));
            // The next pass's instants: every branch's current crosses its
            // level, a switch that left the pending ones none.
            for (const int32_t x : {a, b, c, d}) {
                N.CBR(x, 1) = N.SWVAL(x, 1) - 1.0;
                N.GEQ(x, 1) = 1.0;
            }
            for (int32_t n = 1; n <= 4; ++n) N.VSOL(n) = 2.0 * n;
            double span = 0.0, next = 0.0;
            INTERPOL(1, 0.0, span, next, false, false);
            for (const int32_t x : {a, b, c, d})
                out.push_back(std::tuple_cat(state(x), std::make_tuple(N.TSWITCH(x, 1), N.SWCOUNT(x),
                                                                       is_true(N.SWPEND(x)))));
            out.push_back({false, 0, span, next, 0.0, 0.0, 0, false});
        }
        PENDING_SWITCHES.ss = 0;
        return std::make_pair(out, messages);
    };
    const auto whole = run(false), listed = run(true);
    EXPECT_EQ(listed.first, whole.first);
    EXPECT_EQ(listed.second, whole.second);
    EXPECT_FALSE(whole.second.empty());
}

// Reversals count -1, 2, -3, 4, -5 (a warning), on to 10 (the limit, frozen).
TEST_F(SwitchProcessing, ArresterCountsItsReversals) {
    NetworkTables& N = NET;
    const int32_t b = open_switch(3, 0);
    arrester(b, 2.0, 150.0);
    const std::string head = " ***INFO*** Arrester in branch 1 of subsystem \n";
    const std::string at = " ***INFO*** at time  0.1230000000000000E-01\n";  // G23.16, as gfortran writes it
    const std::vector<int32_t> counts{-1, 2, -3, 4, -5, 6, -7, 8, -9, 10};
    for (size_t k = 0; k < counts.size(); ++k) {
        const bool up = k % 2 == 1;
        const int32_t segment = up ? 2 : 1;
        N.EON(b, 1) = up ? 1.0 : -1.0;
        const Captured c = operate(b);
        EXPECT_EQ(N.SWCOUNT(b), counts[k]) << k;
        EXPECT_EQ(state(b), std::make_tuple(false, 5, 1.0 * segment, segment + 1.0, -10.0 * (segment + 1))) << k;
        const char* what = k == 4 ? "had excessive" : k == 9 ? "reached maximum number of" : nullptr;
        EXPECT_EQ(c.out, what ? head + " ***INFO*** 1 " + what + " switching in one time step \n" + at : "") << k;
        EXPECT_EQ(is_true(N.SWPEND(b)), k < 9);
    }
    EXPECT_EQ(operate(b).out, "");
    EXPECT_EQ(std::make_pair(N.SWVAL(b, 1), N.TSWITCH(b, 1)), std::make_pair(2.0, 1.5));
}

// Record at RTCI(3), table at RTCF(5 ..), partner of 0.01 S: steps its segment, not its state.
TEST_F(SwitchProcessing, SegmentedInductanceSteps) {
    NetworkTables& N = NET;
    StorageArrays& S = STORAGE;
    const int32_t partner = branch({4, 0, 100.0});
    const int32_t b = open_switch(4, 3);
    N.OPENBR(b, 1) = LFALSE;
    N.IORV(b, 1) = -15;
    N.SWVAL(b, 1) = 0.125;
    N.SWCOUNT(b) = 0;
    N.THISBR(b, 1) = -3;
    N.GEQ(partner, 1) = 0.01;
    for (const auto& [k, v] : {std::pair{3, 5}, {4, 3}, {5, 1}, {6, 1}, {7, partner}}) S.RTCI(k) = v;
    S.RTCF(5 + 3 + 1 + 1) = 1e-3;
    S.RTCF(5 + 3 + 1 + 2) = 2e-3;
    N.MXINV(1) = 5;
    EXPECT_EQ(operate(b, 0.25).out, "");
    EXPECT_DOUBLE_EQ(N.GEQ(b, 1), 0.5 * 50e-6 / 2e-3 - 0.01);  // the partner's conductance left out
    EXPECT_EQ(std::make_tuple(S.RTCI(5), S.RTCF(5 + 3 * 3 + 1), N.MXINV(1), N.SWCOUNT(b), N.IORV(b, 1)),
              std::make_tuple(2, 7.25, 3, 0, -15));
    S.RTCI(6) = -1;
    operate(b);
    operate(b);
    EXPECT_EQ(std::make_tuple(S.RTCI(5), N.GEQ(b, 1), N.SWCOUNT(b)), std::make_tuple(0, 0.0, 0));
    std::string out;
    for (int32_t k = 0; k < 10; ++k) {
        S.RTCI(6) = k % 2 == 0 ? -1 : 1;
        out += operate(b).out;
    }
    EXPECT_EQ(std::make_tuple(N.SWCOUNT(b), is_true(N.SWPEND(b)), out), std::make_tuple(10, false, std::string()));
}

// A step that would switch without end is stopped; the next step counts afresh.
TEST_F(SwitchProcessing, EndlessSwitchingInAStepIsStopped) {
    for (bool next_step : {false, true}) {
        SetUp();
        NET.TSWITCH(open_switch(1, 2), 1) = 0.5;
        const int64_t limit = switching_instant_limit(1);
        EXPECT_EQ(limit, 11000);
        for (int64_t k = 0; k < limit; ++k) SWITCHBR(1, 0.5);
        NET.TIME_SOL = 1.5;
        RUN_CLOCK.NSTEP += next_step;
        const Captured c = capture([] { SWITCHBR(1, 0.5); });
        EXPECT_EQ(c.aborted, !next_step);
        EXPECT_EQ(c.out, next_step ? ""
                                   : " ***ERROR** Switching in subsystem 1 does not settle within one time step:\n"
                                     " ***ERROR** stopped after 11000 switching instants at time"
                                     "   1.500000000000000\n" +
                                         abort_frame("SWITCHBR"));
    }
}

// Positions from a model or a snapshot that do not fit are refused before use.
TEST_F(SwitchProcessing, RecordsThatDoNotFitTheirArraysStopTheRun) {
    using Table = FArray2<double> NetworkTables::*;
    const auto arrester_with = [this](double segment, double up, Table table, double value) {
        return [=, this](int32_t b) {
            arrester(b, segment, 1.0);
            NET.EON(b, 1) = up;
            if (table) (NET.*table)(b, 1) = value;
        };
    };
    const auto inductance_at = [](int32_t record, std::vector<std::pair<int32_t, int32_t>> words) {
        return [=](int32_t b) {
            NET.IORV(b, 1) = 15;
            NET.THISBR(b, 1) = record;
            for (const auto& [k, v] : words) STORAGE.RTCI(k) = v;
        };
    };
    const struct {
        std::function<void(int32_t)> set;
        std::string line;
    } cases[] = {
        {[this](int32_t b) { pe_record(b, 26, 11); }, "refers to STORI(33) outside its 32 entries."},
        {[this](int32_t b) { pe_record(b, 5, 11, -2); }, "refers to STORF(-1) outside its 16 entries."},
        {[this](int32_t b) { pe_record(b, 5, 11, 2, 60); }, "refers to STOR(71) outside its 64 entries."},
        {arrester_with(1.0, 0.0, &NetworkTables::GOFF, 55.0), "refers to STOR(68) outside its 64 entries."},
        {arrester_with(1.0, 0.0, &NetworkTables::EOFF, 0.0), "has an arrester table of 0 segments."},
        {arrester_with(1.0, 0.0, &NetworkTables::GOFF, std::nan("")),
         "holds no position in STOR for its arrester table."},
        {arrester_with(3.0, 1.0, nullptr, 0.0), "asks for arrester segment 4 outside its table of 4 segments."},
        {inductance_at(-15, {}), "refers to RTCI(19) outside its 16 entries."},
        {inductance_at(-1, {{1, 20}, {2, 4}}), "refers to RTCF(33) outside its 32 entries."},
        {inductance_at(-1, {{1, 1}, {2, 3}, {5, 99}}), "names partner branch 99, not a branch of its subsystem."},
        {inductance_at(-1, {{1, 1}, {2, 3}, {3, -2}, {4, -1}}),
         "asks for inductance segment -3 outside its table of 3 segments."},
    };
    for (const auto& k : cases) {
        SetUp();
        const int32_t b = open_switch(2, 3);
        k.set(b);
        NET.TSWITCH(b, 1) = 0.4;
        EXPECT_STOPS(SWITCHBR(1, 0.4), " ***ERROR** Switched branch 1 of subsystem 1\n ***ERROR** " + k.line + "\n" +
                                           abort_frame("SWITCHBR"));
        EXPECT_EQ(array_overrun_count(), 0) << k.line;
    }
}

// An EMF below 1e-20 is no source; an ideal closed state marks the subsystem.
TEST_F(SwitchProcessing, ClosingAndOpeningCopyTheirState) {
    NetworkTables& N = NET;
    const int32_t b = open_switch(3, 2);
    N.EON(b, 1) = 1e-21;
    N.EOFF(b, 1) = 2e-20;
    N.MXINV(1) = 7;
    BRANCH_ON(1, b, 3, 0.25);
    EXPECT_EQ(state(b), std::make_tuple(false, 3, 0.25, 100.0, 1e-21));
    EXPECT_EQ(std::make_tuple(N.SOURCE(b, 1), N.IDEALBR(b, 1), N.MXINV(1)), std::make_tuple(LFALSE, LFALSE, 2));
    BRANCH_OFF(1, b, -13, 0.5);
    EXPECT_EQ(state(b), std::make_tuple(true, -13, 0.5, 1e-6, 2e-20));
    EXPECT_TRUE(is_true(N.SOURCE(b, 1)));
    N.GON(b, 1) = 0.0;
    BRANCH_ON(1, b, 6, 0.0);
    EXPECT_TRUE(is_true(N.IDEALBR(b, 1)) && is_true(N.IDEALSS(1)));
}

// The set-up leaves the switch open; bad ON and OFF resistances stop the run.
TEST_F(SwitchProcessing, SwitchSetUp) {
    branch({1, 0, 1.0});
    branch({4, 3, 1.0}, true);
    NET.GIDEAL(1) = 1e8;
    CHK_SWITCH_R(1, 2, 0.01, 1e6, 1.5, 0.0, "BREAKER");
    EXPECT_EQ(state(2), std::make_tuple(true, 6, 0.0, 1e-6, -0.0));
    EXPECT_EQ(std::make_tuple(NET.EON(2, 1), NET.TSWITCH(2, 1), NET.GON(2, 1)), std::make_tuple(-1.5, 1.5, 100.0));
    CHK_SWITCH_R(1, 2, 1e-9, 1e6, 0.0, 0.0, "BREAKER");
    EXPECT_EQ(std::make_pair(NET.GON(2, 1), NET.IDEALSS(1)), std::make_pair(0.0, LTRUE));
    const std::string head =
        " ***ERROR** OFF resistance of switch in branch 2 of subsystem \n ***ERROR** 1 must be larger";
    EXPECT_STOPS(CHK_SWITCH_R(1, 2, 5.0, 5.0, 0.0, 0.0, "BREAKER"),
                 head + " than the ON resistance.\n" + abort_frame("BREAKER"));
    SetUp();
    branch({1, 0, 1.0});
    branch({4, 3, 1.0}, true);
    NET.GIDEAL(1) = 1e8;
    EXPECT_STOPS(CHK_SWITCH_R(1, 2, 1e-10, 1e-9, 0.0, 0.0, "BREAKER"),
                 head + " than the ideal branch threshold    0.10000000000000E-07\n" + abort_frame("BREAKER"));
    SetUp();
    branch({1, 0, 1.0});
    branch({4, 3, 1.0}, true);
    EXPECT_STOPS(CHK_SWITCH_R(1, -2, 0.01, 1e6, 1.5, 0.0, "BREAKER"),
                 "Negative Branch #   -2 in SS  1\n" + abort_frame("BREAKER"));
}

class SwitchingRun : public SolutionTest {
protected:
    // Branch 2 of the fixtures becomes a switch of 1 mohm closed and none
    // open; with pe, owned by a thyristor whose record keeps its times.
    static void set_up_switch(bool pe, double closed_threshold) {
        CHK_SWITCH_R(1, 2, 1e-3, HUGE_VAL, 0.0, 0.0, "TEST_SWITCH");
        if (!pe) return;
        StorageArrays& S = STORAGE;
        NET.THISBR(2, 1) = 1;
        S.STORI(1) = 11;
        S.STORI(3) = S.STORI(8) = 0;
        S.STORF(1) = closed_threshold;
        S.STORF(2) = 0.0;
        S.STOR(10) = S.STOR(11) = -1.0;
    }
    // switching_rl.map with the switch closing at ts (code 8).
    void timed_run(bool pe, double ts) {
        read_map("switching_rl.map");
        HOOKED_CASE.on_dsd = [pe, ts] {
            if (RUN_CLOCK.NSTEP != 0) return;
            set_up_switch(pe, -1e30);
            NET.IORV(2, 1) = 8;
            NET.SWVAL(2, 1) = ts;
        };
        start();
    }
};

constexpr double kE = 100.0, kR = 1.0 + 1e-3 + 1.0, kL = 5e-3, kDt = 50e-6;

// Closed at 10.37 steps: i0 = (E/R) a/(1 + a) there, then the rule's steps; the exact response.
TEST_F(SwitchingRun, TimedSwitchEnergisesAnRLLoadAtItsInstant) {
    const double ts = 10.37 * kDt;
    const double a = kDt * kR / (2.0 * kL), rho = (1.0 - a) / (1.0 + a), final = kE / kR;
    const double i0 = final * a / (1.0 + a), i1 = rho * i0 + (1.0 - rho) * final;
    const double i11 = i0 + (1.0 - 0.37) * (i1 - i0);  // step 11: 0.63 of the way from i0 to i1
    const double tau = kL / kR;
    for (bool pe : {false, true}) {
        timed_run(pe, ts);
        double worst_scheme = 0.0, worst_exact = 0.0, worst_late = 0.0;
        for (int32_t n = 0; n <= 200; ++n) {
            ASSERT_TRUE(step()) << n;
            const double i = I(3), t = n * kDt;
            if (n <= 10) {
                ASSERT_EQ(i, 0.0) << n;
                continue;
            }
            ASSERT_FALSE(is_true(NET.OPENBR(2, 1)));
            EXPECT_EQ(NET.IORV(2, 1), pe ? -13 : 6);
            const double scheme = final - std::pow(rho, n - 11) * (final - i11);
            worst_scheme = std::max(worst_scheme, std::fabs(i - scheme));
            // The rule's error: its first value a E/R dying away, and the interpolation's.
            const double err = std::fabs(i - final * (1.0 - std::exp(-(t - ts) / tau)));
            const double bound = (a * std::exp(-(t - ts) / tau) + std::pow(kDt / tau, 2)) * final;
            worst_exact = std::max(worst_exact, err / bound);
            if (t - ts >= 3.0 * tau) worst_late = std::max(worst_late, err);
            ASSERT_LT(kcl_error(), 1e-9) << n;
        }
        EXPECT_LT(worst_scheme, 1e-11 * final) << pe;
        EXPECT_LT(worst_exact, 1.0) << pe;
        EXPECT_LT(worst_late, 1e-3 * final) << pe;
        if (pe) {
            EXPECT_NEAR(STORAGE.STOR(10), ts, 1e-12 * kDt);  // the solution instant of the closing
        }
        EXPECT_EQ(array_overrun_count(), 0);
    }
}

// A switching time on or next to a step boundary is never lost to rounding.
TEST_F(SwitchingRun, SwitchingTimeOnAStepBoundaryIsNotLost) {
    for (int32_t k = 11; k <= 40; ++k) {
        for (double ts : {k * kDt, std::nextafter(k * kDt, 0.0), std::nextafter(k * kDt, 1.0), 0.01 * k / 200.0}) {
            timed_run(true, ts);
            const int32_t last = static_cast<int32_t>(std::ceil(ts / kDt)) + 1;
            for (int32_t n = 0; n <= last; ++n) ASSERT_TRUE(step());
            EXPECT_FALSE(is_true(NET.OPENBR(2, 1))) << k << " " << ts;
            EXPECT_GE(STORAGE.STOR(10), ts - 1e-12 * kDt) << k;
            EXPECT_LE(STORAGE.STOR(10), ts + 1.0001e-4 * kDt) << k;
        }
    }
}

// 50 Hz into R-L, armed (-13) in steady state: opens at the warped phasor's current zero.
TEST_F(SwitchingRun, SwitchOpensAtTheCurrentZero) {
    const double Em = 100.0, w = 2.0 * M_PI * 50.0, R = 1.0 + 1e-3 + 5.0, L = 20e-3;
    const double X = (2.0 * L / kDt) * std::tan(w * kDt / 2.0), phi = std::atan2(X, R);
    for (bool pe : {false, true}) {
        read_map("switching_ac_rl.map");
        bool armed = false;
        HOOKED_CASE.on_dsd = [&] {
            const double t = RUN_CLOCK.TIME;
            NET.EBR(1, 1) = Em * std::sin(w * t);
            if (RUN_CLOCK.NSTEP == 0) {
                set_up_switch(pe, 0.0);
                BRANCH_ON(1, 2, 6, 0.0);
            }
            if (!armed && t >= 0.08 && NET.CBR(2, 1) > 0.0) {
                armed = true;
                NET.IORV(2, 1) = -13;
                NET.SWVAL(2, 1) = 0.0;
            }
        };
        start();
        int32_t opened = -1;
        for (int32_t n = 0; n <= 2000 && opened < 0; ++n) {
            ASSERT_TRUE(step());
            if (is_true(NET.OPENBR(2, 1))) opened = n;
        }
        ASSERT_TRUE(armed && opened > 0);
        // Opened in the step holding the sinusoid's zero, w t - phi a whole number of half turns.
        const double t_end = opened * kDt;
        const double zero = (std::floor((w * t_end - phi) / M_PI) * M_PI + phi) / w;
        EXPECT_GT(zero, t_end - kDt);
        EXPECT_LE(zero, t_end);
        if (pe) {
            EXPECT_NEAR(STORAGE.STOR(11), zero, 1e-3 * kDt);
        }
        for (int32_t n = 0; n < 20; ++n) {
            ASSERT_TRUE(step());
            EXPECT_EQ(I(2), 0.0);
        }
        EXPECT_EQ(array_overrun_count(), 0);
    }
}

}  // namespace
