// The switch processing at one switching instant: which switches are due,
// the plain switch, the power-electronic switch with its record, codes and
// limit, the arrester's segment steps and alternation count, the
// segmented inductance, records that do not fit their arrays, and the
// bound on the switching instants of one step.
#include <functional>

#include "engine/storage.h"
#include "network/branch_plan.h"
#include "network/switch_processing.h"
#include "network/tests/solution_circuit.h"

namespace {

// The times of these tests, as the messages write them (G23.16, checked
// against gfortran's output).
constexpr double kTime = 0.0123;
const std::string kTimeText = " 0.1230000000000000E-01";

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
        NET.TIME_SOL = kTime;
        RUN_CLOCK.NSTEP = 7;
        RUN_SEQ.IRUN = 1;
        NET.SSINTERP(1) = LTRUE;
    }

    // An open switched branch, pending in this step, not yet due.
    int32_t open_switch(int32_t from, int32_t to, double gon = 100.0, double goff = 1e-6) {
        const int32_t b = branch({from, to, 1.0}, true);
        NetworkTables& N = NET;
        N.GON(b, 1) = gon;
        N.GOFF(b, 1) = N.GEQ(b, 1) = N.GEQD(b, 1) = goff;
        N.EON(b, 1) = N.EOFF(b, 1) = N.EBR(b, 1) = N.EBRD(b, 1) = 0.0;
        N.SOURCE(b, 1) = LFALSE;
        N.OPENBR(b, 1) = LTRUE;
        N.IORV(b, 1) = 2;
        N.SWPEND(b) = LTRUE;
        N.SWCOUNT(b) = 10;
        return b;
    }

    // A power-electronic switch record at STORI(p) for branch b: device
    // code, thresholds at STORF(f + 1), STORF(f + 2), times at STOR(s + 10),
    // STOR(s + 11).
    // Words that fall outside their arrays are not written.
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
        NetworkTables& N = NET;
        for (int32_t k = 0; k < 4; ++k) {
            S.STOR(21 + k) = k + 1.0;
            S.STOR(25 + k) = 10.0 * (k + 1);
            S.STOR(29 + k) = 100.0 * k;
        }
        S.STOR(33) = 1e9;
        N.GOFF(b, 1) = 20.0;
        N.EOFF(b, 1) = 4.0;
        N.IORV(b, 1) = 5;
        N.SWVAL(b, 1) = segment;
        N.SWCOUNT(b) = 0;
        N.VNODE(N.IEF(b, 1), 1) = v;
    }

    // Due at the instant 0.4 of the step, and processed.
    Captured operate(int32_t b, double span = 0.4) {
        NET.TSWITCH(b, 1) = span;
        return capture([span] { SWITCHBR(1, span); });
    }
};

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
    EXPECT_FALSE(is_true(N.OPENBR(a, 1)));
    EXPECT_EQ(N.GEQ(a, 1), 100.0);
    EXPECT_EQ(N.IORV(a, 1), 6);
    EXPECT_EQ(N.SWVAL(a, 1), 0.0);
    EXPECT_EQ(N.TSWITCH(a, 1), 0.3);
    EXPECT_EQ(N.MXINV(1), 2);
    for (int32_t x : {b, c, d}) {
        EXPECT_TRUE(is_true(N.OPENBR(x, 1))) << x;
        EXPECT_EQ(N.TSWITCH(x, 1), 1.5) << x;
        EXPECT_EQ(N.IORV(x, 1), 2) << x;
    }
    // Due again, the plain switch opens, with code 6 again.
    SWITCHBR(1, 0.3);
    EXPECT_TRUE(is_true(N.OPENBR(a, 1)));
    EXPECT_EQ(N.GEQ(a, 1), 1e-6);
    EXPECT_EQ(N.IORV(a, 1), 6);
    EXPECT_EQ(N.SWCOUNT(a), 10);
}

TEST_F(SwitchProcessing, WithoutInterpolationNothingIsDue) {
    const int32_t a = open_switch(1, 2), b = open_switch(3, 0);
    for (int32_t x : {a, b}) {
        NET.SWPEND(x) = LFALSE;
        NET.TSWITCH(x, 1) = 0.2;
    }
    SWITCHBR(1, 0.5);
    for (int32_t x : {a, b}) {
        EXPECT_EQ(NET.TSWITCH(x, 1), 1.5);
        EXPECT_TRUE(is_true(NET.OPENBR(x, 1)));
    }
}

// Closing gives -13 and the closed state's threshold; opening gives 3 to a
// diode and 6 to the other devices, with the open state's threshold; the
// record keeps the instant of each. Codes outside 10 to 19 are plain.
TEST_F(SwitchProcessing, PowerElectronicSwitchCodesThresholdsAndTimes) {
    NetworkTables& N = NET;
    StorageArrays& S = STORAGE;
    const int32_t b = open_switch(1, 2);
    for (int32_t code : {10, 11, 12, 13, 14, 15, 19}) {
        pe_record(b, 5, code);
        N.OPENBR(b, 1) = LTRUE;
        N.SWCOUNT(b) = 10;
        N.TIME_SOL = 0.25;
        operate(b);
        EXPECT_FALSE(is_true(N.OPENBR(b, 1)));
        EXPECT_EQ(N.IORV(b, 1), -13);
        EXPECT_EQ(N.SWVAL(b, 1), 0.7);
        EXPECT_EQ(S.STOR(50), 0.25);
        N.TIME_SOL = 0.5;
        operate(b);
        EXPECT_TRUE(is_true(N.OPENBR(b, 1)));
        EXPECT_EQ(N.IORV(b, 1), code == 10 ? 3 : 6) << code;
        EXPECT_EQ(N.SWVAL(b, 1), 0.2);
        EXPECT_EQ(S.STOR(51), 0.5);
        EXPECT_EQ(N.SWCOUNT(b), 8);
    }
    for (int32_t code : {9, 20, 101}) {
        pe_record(b, 5, code);
        N.OPENBR(b, 1) = LTRUE;
        operate(b);
        EXPECT_FALSE(is_true(N.OPENBR(b, 1)));
        EXPECT_EQ(N.IORV(b, 1), 6) << code;
        EXPECT_EQ(N.SWVAL(b, 1), 0.0) << code;
    }
}

TEST_F(SwitchProcessing, PowerElectronicSwitchSwitchesTenTimesInAStep) {
    NetworkTables& N = NET;
    const int32_t b = open_switch(1, 2);
    pe_record(b, 5, 11);
    std::string out;
    int32_t switchings = 0;
    for (int32_t k = 1; k <= 11; ++k) {
        const bool was_open = is_true(N.OPENBR(b, 1));
        out += operate(b).out;
        if (is_true(N.OPENBR(b, 1)) != was_open) ++switchings;
        EXPECT_EQ(N.SWCOUNT(b), std::max(10 - k, 0)) << k;
        EXPECT_EQ(is_true(N.SWPEND(b)), k < 10) << k;
    }
    EXPECT_EQ(switchings, 10);
    EXPECT_EQ(N.TSWITCH(b, 1), 1.5);
    // Ten switchings from open leave it open, with a thyristor's code.
    EXPECT_TRUE(is_true(N.OPENBR(b, 1)));
    EXPECT_EQ(N.IORV(b, 1), 6);
    EXPECT_EQ(out, " ***INFO*** Power Electronic Switch in branch 1 of subsystem \n"
                   " ***INFO*** 1 reached maximum number of switching in one time step.\n");
}

// Down, up, down, up, down counts -1, 2, -3, 4, -5 and warns at the fifth;
// five more reversals reach 10, report the limit and freeze the arrester.
TEST_F(SwitchProcessing, ArresterCountsItsReversals) {
    NetworkTables& N = NET;
    const int32_t b = open_switch(3, 0);
    arrester(b, 2.0, 150.0);
    const std::string head = " ***INFO*** Arrester in branch 1 of subsystem \n";
    const std::string at = " ***INFO*** at time " + kTimeText + "\n";
    const std::vector<int32_t> counts{-1, 2, -3, 4, -5, 6, -7, 8, -9, 10};
    for (size_t k = 0; k < counts.size(); ++k) {
        const bool up = k % 2 == 1;
        N.EON(b, 1) = up ? 1.0 : -1.0;
        const Captured c = operate(b);
        EXPECT_EQ(N.SWCOUNT(b), counts[k]) << k;
        const int32_t segment = up ? 2 : 1;
        EXPECT_EQ(N.SWVAL(b, 1), segment);
        EXPECT_EQ(N.IORV(b, 1), 5);
        EXPECT_FALSE(is_true(N.OPENBR(b, 1)));
        EXPECT_EQ(N.GEQ(b, 1), segment + 1.0);
        EXPECT_EQ(N.EBR(b, 1), -10.0 * (segment + 1));  // against the positive branch voltage
        if (k == 4)
            EXPECT_EQ(c.out, head + " ***INFO*** 1 had excessive switching in one time step \n" + at);
        else if (k == 9)
            EXPECT_EQ(c.out, head + " ***INFO*** 1 reached maximum number of switching in one time step \n" + at);
        else
            EXPECT_EQ(c.out, "") << k;
        EXPECT_EQ(is_true(N.SWPEND(b)), k < 9);
    }
    EXPECT_EQ(operate(b).out, "");
    EXPECT_EQ(N.SWVAL(b, 1), 2.0);
    EXPECT_EQ(N.TSWITCH(b, 1), 1.5);
}

TEST_F(SwitchProcessing, ArresterSteppingUpFromZeroNeverCounts) {
    NetworkTables& N = NET;
    const int32_t b = open_switch(3, 0);
    arrester(b, 0.0, -250.0);
    for (int32_t k = 1; k <= 3; ++k) {
        N.EON(b, 1) = 1.0;
        EXPECT_EQ(operate(b).out, "");
        EXPECT_EQ(N.SWCOUNT(b), 0);
        EXPECT_EQ(N.SWVAL(b, 1), k);
        // A negative branch voltage gives a positive EMF.
        EXPECT_EQ(N.EBR(b, 1), 10.0 * (k + 1));
    }
    // From 0 a step down counts -1 and goes to segment -1.
    arrester(b, 0.0, 0.0);
    N.EON(b, 1) = -1.0;
    operate(b);
    EXPECT_EQ(N.SWCOUNT(b), -1);
    EXPECT_EQ(N.SWVAL(b, 1), -1.0);
    EXPECT_EQ(N.GEQ(b, 1), 2.0);
    EXPECT_EQ(N.EBR(b, 1), -20.0);  // a zero branch voltage counts as positive
    N.EON(b, 1) = -1.0;
    operate(b);
    EXPECT_EQ(N.SWVAL(b, 1), -2.0);
    EXPECT_EQ(N.GEQ(b, 1), 3.0);
}

TEST(SwitchAlternation, CountGrowsWithReversalsAndRestartsOnRepeats) {
    int32_t c = 0;
    count_alternation(c, true);
    EXPECT_EQ(c, 0);
    count_alternation(c, false);
    EXPECT_EQ(c, -1);
    count_alternation(c, false);
    EXPECT_EQ(c, 0);
    count_alternation(c, false);
    EXPECT_EQ(c, -1);
    count_alternation(c, true);
    EXPECT_EQ(c, 2);
    count_alternation(c, true);
    EXPECT_EQ(c, 0);
}

// A record at RTCI(3): table at RTCF(5 ..), three segments, present
// segment 1, partner branch with 0.01 S; segment 2 has 2 mH.
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
    S.RTCI(3) = 5;
    S.RTCI(4) = 3;
    S.RTCI(5) = 1;
    S.RTCI(6) = 1;
    S.RTCI(7) = partner;
    S.RTCF(5 + 3 + 1 + 1) = 1e-3;
    S.RTCF(5 + 3 + 1 + 2) = 2e-3;
    N.MXINV(1) = 5;
    EXPECT_EQ(operate(b, 0.25).out, "");
    EXPECT_DOUBLE_EQ(N.GEQ(b, 1), 0.5 * 50e-6 / 2e-3 - 0.01);
    EXPECT_EQ(S.RTCI(5), 2);
    EXPECT_EQ(S.RTCF(5 + 3 * 3 + 1), 7.25);
    EXPECT_EQ(N.MXINV(1), 3);
    EXPECT_EQ(N.SWCOUNT(b), 0);
    // No state operation: the state code, threshold and open flag stay.
    EXPECT_EQ(N.IORV(b, 1), -15);
    EXPECT_EQ(N.SWVAL(b, 1), 0.125);
    EXPECT_FALSE(is_true(N.OPENBR(b, 1)));
    // Down twice to segment 0: no conductance, whatever the partner has.
    S.RTCI(6) = -1;
    operate(b);
    EXPECT_EQ(N.SWCOUNT(b), -1);
    operate(b);
    EXPECT_EQ(S.RTCI(5), 0);
    EXPECT_EQ(N.GEQ(b, 1), 0.0);
    EXPECT_EQ(N.SWCOUNT(b), 0);
    // Up and down in turn: frozen at a count of 10, without a message.
    std::string out;
    for (int32_t k = 0; k < 10; ++k) {
        S.RTCI(6) = k % 2 == 0 ? -1 : 1;
        out += operate(b).out;
        EXPECT_EQ(is_true(N.SWPEND(b)), k < 9) << k;
    }
    EXPECT_EQ(N.SWCOUNT(b), 10);
    EXPECT_EQ(out, "");
}

// A step that would switch without end is stopped at its bound; the next
// step starts its count again.
TEST_F(SwitchProcessing, EndlessSwitchingInAStepIsStopped) {
    const int32_t b = open_switch(1, 2);
    const int64_t limit = switching_instant_limit(1);
    EXPECT_EQ(limit, 11000);
    NET.TSWITCH(b, 1) = 0.5;
    for (int64_t k = 0; k < limit; ++k) SWITCHBR(1, 0.5);
    EXPECT_EQ(NET.IORV(b, 1), 6);
    NET.TIME_SOL = 1.5;
    const Captured c = capture([] { SWITCHBR(1, 0.5); });
    EXPECT_TRUE(c.aborted);
    EXPECT_EQ(c.out, " ***ERROR** Switching in subsystem 1 does not settle within one time step:\n"
                     " ***ERROR** stopped after 11000 switching instants at time   1.500000000000000\n" +
                         abort_frame("SWITCHBR"));
    SetUp();
    const int32_t again = open_switch(1, 2);
    NET.TSWITCH(again, 1) = 0.5;
    for (int64_t k = 0; k < limit; ++k) SWITCHBR(1, 0.5);
    RUN_CLOCK.NSTEP += 1;
    EXPECT_FALSE(capture([] { SWITCHBR(1, 0.5); }).aborted);
}

// A switch that gains an EMF or an ideal closed state changes what the
// passes must do with it.
TEST_F(SwitchProcessing, SwitchingThatChangesABranchKindRenewsThePlan) {
    NetworkTables& N = NET;
    const int32_t source = open_switch(1, 2), ideal = open_switch(3, 0, 0.0);
    N.EON(source, 1) = 5.0;
    BUILD_BRANCH_PLAN(1);
    EXPECT_EQ(branch_plan(1).kind[source] & (BK_SOURCE | BK_IDEAL), 0);
    N.TSWITCH(source, 1) = N.TSWITCH(ideal, 1) = 0.4;
    SWITCHBR(1, 0.4);
    EXPECT_EQ(branch_plan(1).kind[source] & (BK_SOURCE | BK_IDEAL), BK_SOURCE);
    EXPECT_EQ(branch_plan(1).kind[ideal] & (BK_SOURCE | BK_IDEAL), BK_IDEAL);
    EXPECT_TRUE(is_true(N.IDEALSS(1)));
    SWITCHBR(1, 0.4);
    EXPECT_EQ(branch_plan(1).kind[source] & (BK_SOURCE | BK_IDEAL), 0);
    EXPECT_EQ(branch_plan(1).kind[ideal] & (BK_SOURCE | BK_IDEAL), 0);
}

// Positions from a model or a snapshot that do not fit their arrays stop
// the run with the branch and what is wrong, before anything is changed.
TEST_F(SwitchProcessing, RecordsThatDoNotFitTheirArraysStopTheRun) {
    struct Case {
        const char* what;
        std::function<void(int32_t)> set;
        std::string line;
    };
    const std::vector<Case> cases{
        {"owner beyond STORI", [](int32_t b) { NET.THISBR(b, 1) = 40; }, "refers to STORI(40) outside its 32 entries."},
        {"record beyond STORI",
         [this](int32_t b) { pe_record(b, 26, 11); },
         "refers to STORI(33) outside its 32 entries."},
        {"thresholds beyond STORF",
         [this](int32_t b) { pe_record(b, 5, 11, 15); },
         "refers to STORF(17) outside its 16 entries."},
        {"negative threshold position",
         [this](int32_t b) { pe_record(b, 5, 11, -2); },
         "refers to STORF(-1) outside its 16 entries."},
        {"times beyond STOR",
         [this](int32_t b) { pe_record(b, 5, 11, 2, 60); },
         "refers to STOR(71) outside its 64 entries."},
        {"arrester table beyond STOR",
         [this](int32_t b) {
             arrester(b, 1.0, 1.0);
             NET.GOFF(b, 1) = 55.0;
         },
         "refers to STOR(68) outside its 64 entries."},
        {"arrester without segments",
         [this](int32_t b) {
             arrester(b, 1.0, 1.0);
             NET.EOFF(b, 1) = 0.0;
         },
         "has an arrester table of 0 segments."},
        {"arrester position not a number",
         [this](int32_t b) {
             arrester(b, 1.0, 1.0);
             NET.GOFF(b, 1) = std::nan("");
         },
         "holds no position in STOR for its arrester table."},
        {"arrester past its last segment",
         [this](int32_t b) {
             arrester(b, 3.0, 1.0);
             NET.EON(b, 1) = 1.0;
         },
         "asks for arrester segment 4 outside its table of 4 segments."},
        {"inductance without a record",
         [](int32_t b) {
             NET.IORV(b, 1) = 15;
             NET.THISBR(b, 1) = 0;
         },
         "refers to RTCI(0) outside its 16 entries."},
        {"inductance record beyond RTCI",
         [](int32_t b) {
             NET.IORV(b, 1) = 15;
             NET.THISBR(b, 1) = -15;
         },
         "refers to RTCI(19) outside its 16 entries."},
        {"inductance table beyond RTCF",
         [](int32_t b) {
             NET.IORV(b, 1) = 15;
             NET.THISBR(b, 1) = -1;
             STORAGE.RTCI(1) = 20;
             STORAGE.RTCI(2) = 4;
         },
         "refers to RTCF(33) outside its 32 entries."},
        {"inductance partner not a branch",
         [](int32_t b) {
             NET.IORV(b, 1) = 15;
             NET.THISBR(b, 1) = -1;
             STORAGE.RTCI(1) = 1;
             STORAGE.RTCI(2) = 3;
             STORAGE.RTCI(5) = 99;
         },
         "names partner branch 99, not a branch of its subsystem."},
        {"inductance past its last segment",
         [](int32_t b) {
             NET.IORV(b, 1) = 15;
             NET.THISBR(b, 1) = -1;
             STORAGE.RTCI(1) = 1;
             STORAGE.RTCI(2) = 3;
             STORAGE.RTCI(3) = -2;
             STORAGE.RTCI(4) = -1;
         },
         "asks for inductance segment -3 outside its table of 3 segments."},
    };
    for (const Case& k : cases) {
        SetUp();
        const int32_t b = open_switch(2, 3);
        k.set(b);
        const Captured c = operate(b);
        EXPECT_TRUE(c.aborted) << k.what;
        EXPECT_EQ(c.out, " ***ERROR** Switched branch 1 of subsystem 1\n ***ERROR** " + k.line + "\n" +
                             abort_frame("SWITCHBR"))
            << k.what;
        EXPECT_EQ(array_overrun_count(), 0) << k.what;
    }
}

}  // namespace
