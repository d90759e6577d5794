// Switches: the switching instant of a pending switch within a pass, by
// state code, and how the search groups the instants of several switches;
// the processing at one switching instant (the plain and the
// power-electronic switch, the arrester and the segmented inductance,
// records that do not fit their arrays, the bound on the instants of one
// step); closing, opening and setting up a switch; and switches operated
// inside a step during whole runs by the stand-in case's models.
#include <cmath>
#include <functional>
#include <tuple>
#include <vector>

#include "engine/storage.h"
#include "network/branch_plan.h"
#include "network/interpolation.h"
#include "network/switch_processing.h"
#include "network/switch_state.h"
#include "network/switching_instant.h"
#include "network/tests/solution_circuit.h"

namespace {

class SwitchingInstant : public SolutionTest {
protected:
    void SetUp() override {
        SolutionTest::SetUp();
        tables(3, 6, 50e-6);
        STORAGE.STOR.allocate(64);
        STORAGE.RTCI.allocate(16);
        STORAGE.RTCF.allocate(32);
        sw_ = branch({1, 2, 1.0}, true);
        NET.SWPEND(sw_) = LTRUE;
    }

    // Start and end of the span: branch current from cbr to the end of the
    // pass, branch voltage from vstart to vend.
    double current_instant(int32_t code, double level, double start, double end) {
        NET.IORV(sw_, 1) = code;
        NET.SWVAL(sw_, 1) = level;
        NET.CBR(sw_, 1) = start;
        NET.VSOL(1) = end;  // GEQ = 1, no history: the end current is the voltage
        NET.VSOL(2) = 0.0;
        return SWITCH_INSTANT(1, sw_, 0.0, false, false);
    }
    double voltage_instant(int32_t code, double level, double start, double end) {
        NET.IORV(sw_, 1) = code;
        NET.SWVAL(sw_, 1) = level;
        NET.VNODE(1, 1) = 0.0;
        NET.VNODE(2, 1) = -start;
        NET.VSOL(1) = end;
        NET.VSOL(2) = 0.0;
        return SWITCH_INSTANT(1, sw_, 0.0, false, false);
    }

    int32_t sw_ = 0;
};

// (code, level, start, end, instant); 1.5: no switching in the pass.
using Crossings = std::vector<std::tuple<int32_t, double, double, double, double>>;

// Leaving the level counts, reaching it from above does not; 13: rising
// past the level, at once when it already was past; -13: falling past it.
TEST_F(SwitchingInstant, CurrentCrossingsAndThresholds) {
    Crossings cases{{2, 0.0, 3.0, -1.0, 0.75},  {-2, 0.0, -1.0, 3.0, 0.25},      {2, 5.0, 3.0, -1.0, 1.5},
                    {2, 3.0, 3.0, 4.0, 0.0},    {2, 3.0, 4.0, 3.0, 1.5},         {13, 0.0, -1.0, 3.0, 0.25},
                    {13, 0.0, 0.5, 3.0, 0.0},   {13, 0.0, -1.0, 0.5e-10, 1.5},   {-13, 1.0, 3.0, -1.0, 0.5},
                    {-13, 1.0, 0.5, -1.0, 0.0}, {-13, 1.0, 3.0, 1.0 - 0.5e-10, 1.5}};
    // Codes without a switching condition.
    for (int32_t code : {0, 6, -6, 1, 7, 12, 14, 16}) cases.push_back({code, 0.0, 3.0, -1.0, 1.5});
    for (const auto& [code, level, start, end, instant] : cases)
        EXPECT_DOUBLE_EQ(current_instant(code, level, start, end), instant) << code << " " << start << " " << end;
}

// 4: the magnitude rising past the level's magnitude.
TEST_F(SwitchingInstant, VoltageCrossingsAndThresholds) {
    const Crossings cases{{10, 1.0, 3.0, -1.0, 0.5},  {-10, 1.0, -1.0, 3.0, 0.5},  {10, 4.0, 3.0, -1.0, 1.5},
                          {3, 0.7, -0.3, 1.7, 0.5},   {3, 0.7, 0.8, 1.7, 0.0},     {3, 0.7, -0.3, 0.7, 1.5},
                          {-3, -0.7, 0.3, -1.7, 0.5}, {-3, -0.7, -0.8, -1.7, 0.0}, {4, -2.0, 1.0, -3.0, 0.5},
                          {4, 2.0, -2.5, 3.0, 0.0},   {4, 2.0, 1.0, -1.5, 1.5}};
    for (const auto& [code, level, start, end, instant] : cases)
        EXPECT_DOUBLE_EQ(voltage_instant(code, level, start, end), instant) << code << " " << start << " " << end;
}

// A time within the step counted from the instant reached; only in a pass
// that is not a re-solution.
TEST_F(SwitchingInstant, SwitchingTimes) {
    const double dt = 50e-6;
    NET.TIME_SOL = 20 * dt + 0.3 * dt;
    RUN_CLOCK.TIME = 21 * dt;
    const auto at = [&](double t, bool resolving = false) {
        NET.IORV(sw_, 1) = 8;
        NET.SWVAL(sw_, 1) = t;
        return SWITCH_INSTANT(1, sw_, 0.3, false, resolving);
    };
    EXPECT_NEAR(at(20.7 * dt), 0.4, 1e-12);
    EXPECT_DOUBLE_EQ(at(20.7 * dt, true), 1.5);
    EXPECT_NEAR(at(21 * dt), 0.7, 1e-12);
    EXPECT_DOUBLE_EQ(at(std::nextafter(21 * dt, 1.0)), 1.5);  // the next step's
    EXPECT_DOUBLE_EQ(at(20 * dt), 1.5);                        // long past
    EXPECT_DOUBLE_EQ(at(NET.TIME_SOL), 0.0);                   // left over from the step boundary
    NET.IORV(sw_, 1) = -8;
    EXPECT_NEAR(SWITCH_INSTANT(1, sw_, 0.3, false, false), 0.0, 1e-12);
}

// The earliest instant sets the pass's span; instants within 1e-4 of it
// are taken with it; none is at the start of a span.
TEST_F(SwitchingInstant, InstantsOfSeveralSwitches) {
    const double dt = 50e-6;
    const int32_t other = branch({2, 3, 1.0}, true), third = branch({3, 0, 1.0}, true);
    NET.SWPEND(other) = NET.SWPEND(third) = LTRUE;
    NET.TIME_SOL = 0.0;
    RUN_CLOCK.TIME = dt;
    const auto search = [&](double a, double b, double c, double& span, double& next) {
        int32_t k = 0;
        for (int32_t s : {sw_, other, third}) {
            NET.IORV(s, 1) = 8;
            NET.SWVAL(s, 1) = std::vector<double>{a, b, c}[k++] * dt;
        }
        INTERPOL(1, 0.0, span, next, false, false);
    };
    // (instants of the three, span, last instant taken, the first two's
    // instants); 1.5: none.
    for (const auto& [a, b, c, want_span, want_next, first, second] :
         std::vector<std::tuple<double, double, double, double, double, double, double>>{
             {0.30, 0.30005, 0.9, 0.30, 0.30005, 0.30, 0.30005}, {0.30, 0.3002, 0.9, 0.30, 0.30, 0.30, 0.3002},
             {0.0, 2.0, 2.0, 1e-4, 1e-4, 1e-4, 1.5}, {1.0, 2.0, 3.0, 1.0, 1.0, 1.0, 1.5},
             {2.0, 2.0, 2.0, 1.5, 1.5, 1.5, 1.5}}) {
        double span = 0.0, next = 0.0;
        search(a, b, c, span, next);
        EXPECT_NEAR(span, want_span, 1e-12) << a << " " << b;
        EXPECT_NEAR(next, want_next, 1e-12) << a << " " << b;
        EXPECT_NEAR(NET.TSWITCH(sw_, 1), first, 1e-12) << a << " " << b;
        EXPECT_NEAR(NET.TSWITCH(other, 1), second, 1e-12) << a << " " << b;
    }
}

// Four segments with breakpoints 0, 100, 200, 300 and 1e9 at STOR(29 ..).
class ArresterInstant : public SwitchingInstant {
protected:
    void SetUp() override {
        SwitchingInstant::SetUp();
        for (int32_t k = 0; k < 4; ++k) STORAGE.STOR(29 + k) = 100.0 * k;
        STORAGE.STOR(33) = 1e9;
        NET.GOFF(sw_, 1) = 20.0;
        NET.EOFF(sw_, 1) = 4.0;
    }
    double at(double segment, double start, double end) {
        NET.SWVAL(sw_, 1) = segment;
        NET.EON(sw_, 1) = 7.0;
        return voltage_instant(5, segment, start, end);
    }
    double direction() const { return NET.EON(sw_, 1); }
};

// (segment, start, end, instant, direction of the step)
using Steps = std::vector<std::tuple<double, double, double, double, double>>;

// Down across the segment's lower end; the last segment; negative segments
// (-1 lies between -200 and -100); segment 0 lies between -100 and 100,
// and from it the sign of the new one. Values within 1e-10 of the present
// segment's boundaries belong to it: ending on a boundary, or starting
// just below it.
TEST_F(ArresterInstant, NextSegmentAndItsBoundary) {
    for (const auto& [segment, start, end, instant, step] : Steps{
             {1, 150.0, 250.0, 0.5, 1.0},     {1, 150.0, 120.0, 1.5, 0.0},
             {1, 150.0, 50.0, 0.5, -1.0},     {1, 150.0, -50.0, 0.25, -1.0},
             {1, 150.0, 5000.0, (150.0 - 200.0) / (150.0 - 5000.0), 1.0},
             {-1, -150.0, -250.0, 0.5, -1.0}, {-1, -150.0, -50.0, 0.5, 1.0},
             {0, 50.0, -150.0, 0.75, -1.0},   {0, -50.0, 150.0, 0.75, 1.0},
             {1, 150.0, 200.0 + 0.5e-10, 1.5, 0.0}, {2, 200.0 - 0.5e-10, 150.0, 0.0, -1.0}}) {
        EXPECT_DOUBLE_EQ(at(segment, start, end), instant) << segment << " " << start << " " << end;
        EXPECT_EQ(direction(), step) << segment << " " << start << " " << end;
    }
    EXPECT_DOUBLE_EQ(at(0, 50.0, -80.0), 1.5);
    EXPECT_NEAR(at(1, 150.0, 200.0 + 2e-10), 1.0, 1e-11);
    EXPECT_EQ(direction(), 1.0);
    EXPECT_DOUBLE_EQ(at(2, 200.0 - 2e-10, 150.0), 1.5);
}

TEST_F(ArresterInstant, PresentSegmentOutsideTheTableStopsTheRun) {
    NET.SWVAL(sw_, 1) = -4.0;
    NET.IORV(sw_, 1) = -5;
    EXPECT_STOPS(SWITCH_INSTANT(1, sw_, 0.0, false, false),
                 " ***ERROR** Switched branch 1 of subsystem 1\n"
                 " ***ERROR** is at an arrester segment outside its table of 4 segments.\n" +
                     abort_frame("INTERPOL"));
}

// A record at RTCI(1): table at RTCF(1 ..) with T = 0, 10, 20, 30, three
// segments, partner branch 2; the branch and its partner carry their
// histories only (no conductance), so the end current is their sum.
class InductanceInstant : public SwitchingInstant {
protected:
    void SetUp() override {
        SwitchingInstant::SetUp();
        partner_ = branch({3, 0, 1.0});
        StorageArrays& S = STORAGE;
        NET.THISBR(sw_, 1) = -1;
        NET.IORV(sw_, 1) = 15;
        NET.GEQ(sw_, 1) = NET.GEQ(partner_, 1) = 0.0;
        S.RTCI(1) = 1;
        S.RTCI(2) = 3;
        S.RTCI(5) = partner_;
        for (int32_t k = 0; k <= 3; ++k) S.RTCF(1 + k) = 10.0 * k;
        S.RTCF(1 + 10) = -5.0;  // last change long ago
        RUN_CLOCK.NSTEP = 4;
    }
    double at(int32_t segment, double start, double end, int32_t stored = 0) {
        STORAGE.RTCI(3) = segment;
        STORAGE.RTCI(4) = stored;
        NET.CBR(sw_, 1) = start - 1.0;
        NET.CBR(partner_, 1) = 1.0;
        NET.CCBR(sw_, 1) = end + 2.0;
        NET.CCBR(partner_, 1) = -2.0;
        return SWITCH_INSTANT(1, sw_, 0.5, false, false);
    }
    int32_t requested() const { return STORAGE.RTCI(4); }
    int32_t partner_ = 0;
};

// Within 0.01 T(1) of a boundary is no step; beyond the table it is
// still the last segment; segment 0 reaches from -T(1) to T(1).
TEST_F(InductanceInstant, NextSegmentAndItsBoundary) {
    for (const auto& [segment, start, end, instant, step] : Steps{
             {1, 15.0, 25.0, 0.5, 1},   {1, 15.0, 5.0, 0.5, -1},   {1, 15.0, 19.0, 1.5, 0},
             {1, 15.0, 20.05, 1.5, 0},  {-1, -15.0, -25.0, 0.5, -1}, {-1, -15.0, -5.0, 0.5, 1},
             {0, 5.0, -15.0, 0.75, -1}}) {
        EXPECT_DOUBLE_EQ(at(static_cast<int32_t>(segment), start, end), instant) << segment << " " << end;
        EXPECT_EQ(requested(), step) << segment << " " << end;
    }
    EXPECT_DOUBLE_EQ(at(2, 25.0, 1000.0), 1.5);
}

// Right after a change, a step back at the very start of the span is the
// change's own echo and is dropped; later, or the same way, it is not.
TEST_F(InductanceInstant, EchoOfAChangeIsDropped) {
    STORAGE.RTCF(11) = 4.5;  // changed at this very instant
    EXPECT_DOUBLE_EQ(at(1, 10.0001, 5.0, 1), 1.5);
    EXPECT_EQ(requested(), 0);
    EXPECT_NEAR(at(1, 10.0001, 5.0, -1), 0.0001 / 5.0001, 1e-15);
    EXPECT_EQ(requested(), -1);
    EXPECT_NEAR(at(1, 10.1, 5.0, 1), 0.1 / 5.1, 1e-15);  // not at the start of the span
    STORAGE.RTCF(11) = 4.49;
    EXPECT_NEAR(at(1, 10.0001, 5.0, 1), 0.0001 / 5.0001, 1e-15);
}

// A switch whose closed state is ideal: its end current comes from the
// balance at its nodes, 10 V into 1 + 4 ohm giving 2 A.
TEST_F(SwitchingInstant, IdealBranchCurrentFromTheBalance) {
    tables(2, 3, 50e-6);
    branch({0, 1, 1.0, 0, 0, 10.0});
    const int32_t b = ideal_branch(1, 2);
    branch({2, 0, 4.0});
    NET.SWLIST(++NET.NSWITCH(1), 1) = b;
    NET.SWITCH(b, 1) = LTRUE;
    options(false, false);
    start();
    ASSERT_TRUE(step());
    ASSERT_DOUBLE_EQ(I(b), 2.0);
    NET.IORV(b, 1) = 2;
    NET.SWVAL(b, 1) = 2.5;
    NET.CBR(b, 1) = 3.0;
    EXPECT_DOUBLE_EQ(SWITCH_INSTANT(1, b, 0.0, false, true), 0.5);
    EXPECT_EQ(NET.CBR(b, 1), 3.0);
}

// The times of these tests, as the messages write them (G23.16, checked
// against gfortran's output).
constexpr double kTime = 0.0123;
const std::string kTimeText = " 0.1230000000000000E-01";

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
        N.OPENBR(b, 1) = N.SWPEND(b) = LTRUE;
        N.IORV(b, 1) = 2;
        N.SWCOUNT(b) = 10;
        return b;
    }

    // A power-electronic switch record at STORI(p) for branch b: device
    // code, thresholds at STORF(f + 1), STORF(f + 2), times at STOR(s + 10),
    // STOR(s + 11). Words that fall outside their arrays are not written.
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

TEST_F(SwitchProcessing, SwitchesDueAtOrBeforeTheSpanOperate) {
    NetworkTables& N = NET;
    const int32_t a = open_switch(3, 2), b = open_switch(1, 0), c = open_switch(2, 4), d = open_switch(4, 0);
    N.TSWITCH(a, 1) = 0.3;
    N.TSWITCH(b, 1) = 0.30001;
    N.TSWITCH(c, 1) = std::nan("");
    N.TSWITCH(d, 1) = 0.1;
    N.SWPEND(d) = LFALSE;  // not pending in this step: never due
    N.MXINV(1) = 5;
    SWITCHBR(1, 0.3);
    EXPECT_EQ(state(a), std::make_tuple(false, 6, 0.0, 100.0, 0.0));
    EXPECT_EQ(N.TSWITCH(a, 1), 0.3);
    EXPECT_EQ(N.MXINV(1), 2);
    for (int32_t x : {b, c, d}) {
        EXPECT_EQ(state(x), std::make_tuple(true, 2, 0.0, 1e-6, 0.0)) << x;
        EXPECT_EQ(N.TSWITCH(x, 1), 1.5) << x;
    }
    // Due again, the plain switch opens, with code 6 again.
    SWITCHBR(1, 0.3);
    EXPECT_EQ(state(a), std::make_tuple(true, 6, 0.0, 1e-6, 0.0));
    EXPECT_EQ(N.SWCOUNT(a), 10);
}

// Closing gives -13 and the closed state's threshold; opening gives 3 to a
// diode and 6 to the other devices, with the open state's threshold; the
// record keeps the instant of each. Codes outside 10 to 19 are plain.
TEST_F(SwitchProcessing, PowerElectronicSwitchCodesThresholdsAndTimes) {
    NetworkTables& N = NET;
    const int32_t b = open_switch(1, 2);
    for (int32_t code : {10, 11, 12, 13, 14, 15, 19, 9, 20, 101}) {
        const bool pe = code >= 10 && code <= 19;
        pe_record(b, 5, code);
        N.OPENBR(b, 1) = LTRUE;
        N.SWCOUNT(b) = 10;
        N.TIME_SOL = 0.25;
        operate(b);
        EXPECT_EQ(state(b), std::make_tuple(false, pe ? -13 : 6, pe ? 0.7 : 0.0, 100.0, 0.0)) << code;
        if (!pe) continue;
        EXPECT_EQ(STORAGE.STOR(50), 0.25);
        N.TIME_SOL = 0.5;
        operate(b);
        EXPECT_EQ(state(b), std::make_tuple(true, code == 10 ? 3 : 6, 0.2, 1e-6, 0.0)) << code;
        EXPECT_EQ(STORAGE.STOR(51), 0.5);
        EXPECT_EQ(N.SWCOUNT(b), 8);
    }
}

// Ten switchings from open leave it open, with a thyristor's code.
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
    EXPECT_TRUE(is_true(N.OPENBR(b, 1)));
    EXPECT_EQ(N.IORV(b, 1), 6);
    EXPECT_EQ(out, " ***INFO*** Power Electronic Switch in branch 1 of subsystem \n"
                   " ***INFO*** 1 reached maximum number of switching in one time step.\n");
}

// Down, up, down, up, down counts -1, 2, -3, 4, -5 and warns at the fifth;
// five more reversals reach 10, report the limit and freeze the arrester.
// The EMF of a segment opposes the positive branch voltage.
TEST_F(SwitchProcessing, ArresterCountsItsReversals) {
    NetworkTables& N = NET;
    const int32_t b = open_switch(3, 0);
    arrester(b, 2.0, 150.0);
    const std::string head = " ***INFO*** Arrester in branch 1 of subsystem \n";
    const std::string at = " ***INFO*** at time " + kTimeText + "\n";
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
    EXPECT_EQ(N.SWVAL(b, 1), 2.0);
    EXPECT_EQ(N.TSWITCH(b, 1), 1.5);
}

// Up from segment 0 never counts, and a negative branch voltage gives a
// positive EMF; from 0 a step down counts -1 and goes to segment -1, where
// a zero branch voltage counts as positive.
TEST_F(SwitchProcessing, ArresterSteppingFromSegmentZero) {
    NetworkTables& N = NET;
    const int32_t b = open_switch(3, 0);
    arrester(b, 0.0, -250.0);
    for (int32_t k = 1; k <= 3; ++k) {
        N.EON(b, 1) = 1.0;
        EXPECT_EQ(operate(b).out, "");
        EXPECT_EQ(N.SWCOUNT(b), 0);
        EXPECT_EQ(state(b), std::make_tuple(false, 5, 1.0 * k, k + 1.0, 10.0 * (k + 1)));
    }
    arrester(b, 0.0, 0.0);
    N.EON(b, 1) = -1.0;
    operate(b);
    EXPECT_EQ(N.SWCOUNT(b), -1);
    EXPECT_EQ(state(b), std::make_tuple(false, 5, -1.0, 2.0, -20.0));
    N.EON(b, 1) = -1.0;
    operate(b);
    EXPECT_EQ(state(b), std::make_tuple(false, 5, -2.0, 3.0, -30.0));
}

TEST(SwitchAlternation, CountGrowsWithReversalsAndRestartsOnRepeats) {
    int32_t c = 0;
    for (const auto& [up, count] : {std::pair{true, 0}, {false, -1}, {false, 0}, {false, -1}, {true, 2}, {true, 0}}) {
        count_alternation(c, up);
        EXPECT_EQ(c, count);
    }
}

// A record at RTCI(3): table at RTCF(5 ..), three segments, present
// segment 1, partner branch with 0.01 S; segment 2 has 2 mH. A step of its
// segment, not of its state: the state code, threshold and open flag stay.
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
    EXPECT_EQ(S.RTCI(5), 2);
    EXPECT_EQ(S.RTCF(5 + 3 * 3 + 1), 7.25);
    EXPECT_EQ(N.MXINV(1), 3);
    EXPECT_EQ(N.SWCOUNT(b), 0);
    EXPECT_EQ(std::make_tuple(N.IORV(b, 1), N.SWVAL(b, 1), is_true(N.OPENBR(b, 1))),
              std::make_tuple(-15, 0.125, false));
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
    for (bool next_step : {false, true}) {
        SetUp();
        NET.TSWITCH(open_switch(1, 2), 1) = 0.5;
        const int64_t limit = switching_instant_limit(1);
        EXPECT_EQ(limit, 11000);
        for (int64_t k = 0; k < limit; ++k) SWITCHBR(1, 0.5);
        EXPECT_EQ(NET.IORV(1, 1), 6);
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

// A switch that gains an EMF or an ideal closed state changes what the
// passes must do with it.
TEST_F(SwitchProcessing, SwitchingThatChangesABranchKindRenewsThePlan) {
    NetworkTables& N = NET;
    const int32_t source = open_switch(1, 2), ideal = open_switch(3, 0, 0.0);
    N.EON(source, 1) = 5.0;
    BUILD_BRANCH_PLAN(1);
    const auto kinds = [&] {
        const auto& kind = branch_plan(1).kind;
        return std::make_pair(kind[source] & (BK_SOURCE | BK_IDEAL), kind[ideal] & (BK_SOURCE | BK_IDEAL));
    };
    EXPECT_EQ(kinds(), std::make_pair(0, 0));
    N.TSWITCH(source, 1) = N.TSWITCH(ideal, 1) = 0.4;
    SWITCHBR(1, 0.4);
    EXPECT_EQ(kinds(), std::make_pair(int(BK_SOURCE), int(BK_IDEAL)));
    EXPECT_TRUE(is_true(N.IDEALSS(1)));
    SWITCHBR(1, 0.4);
    EXPECT_EQ(kinds(), std::make_pair(0, 0));
}

// Positions from a model or a snapshot that do not fit their arrays stop
// the run with the branch and what is wrong, before anything is changed.
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
        {[](int32_t b) { NET.THISBR(b, 1) = 40; }, "refers to STORI(40) outside its 32 entries."},
        {[this](int32_t b) { pe_record(b, 26, 11); }, "refers to STORI(33) outside its 32 entries."},
        {[this](int32_t b) { pe_record(b, 5, 11, 15); }, "refers to STORF(17) outside its 16 entries."},
        {[this](int32_t b) { pe_record(b, 5, 11, -2); }, "refers to STORF(-1) outside its 16 entries."},
        {[this](int32_t b) { pe_record(b, 5, 11, 2, 60); }, "refers to STOR(71) outside its 64 entries."},
        {arrester_with(1.0, 0.0, &NetworkTables::GOFF, 55.0), "refers to STOR(68) outside its 64 entries."},
        {arrester_with(1.0, 0.0, &NetworkTables::EOFF, 0.0), "has an arrester table of 0 segments."},
        {arrester_with(1.0, 0.0, &NetworkTables::GOFF, std::nan("")),
         "holds no position in STOR for its arrester table."},
        {arrester_with(3.0, 1.0, nullptr, 0.0), "asks for arrester segment 4 outside its table of 4 segments."},
        {inductance_at(0, {}), "refers to RTCI(0) outside its 16 entries."},
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

// Branch 2 switched, from node 5 to node 3; the start node at 7.
class SwitchState : public SolutionTest {
protected:
    void SetUp() override {
        SolutionTest::SetUp();
        tables(6, 4, 50e-6);
        branch({1, 0, 1.0});
        branch({5, 3, 1.0}, true);
        NET.GIDEAL(1) = 1e8;
        NET.MXINV(1) = 7;
    }
};

TEST_F(SwitchState, StartNodeIsTheLowerNonGroundNode) {
    for (const auto& [before, from, to, after] : {std::tuple{4, 5, 3, 3}, {9, 0, 7, 7}, {7, 6, 0, 6}, {6, 8, 9, 6}}) {
        NET.MXINV(1) = before;
        SS_MINREQ(1, from, to);
        EXPECT_EQ(NET.MXINV(1), after) << from << "-" << to;
    }
}

// An EMF below 1e-20 is no source; an ideal closed state marks the
// subsystem.
TEST_F(SwitchState, ClosingAndOpeningCopyTheirState) {
    NetworkTables& N = NET;
    N.GON(2, 1) = 100.0;
    N.EON(2, 1) = 1e-21;
    N.GOFF(2, 1) = 1e-6;
    N.EOFF(2, 1) = 2e-20;
    BRANCH_ON(1, 2, 3, 0.25);
    EXPECT_EQ(state(2), std::make_tuple(false, 3, 0.25, 100.0, 1e-21));
    EXPECT_EQ(std::make_tuple(N.EBRD(2, 1), N.SOURCE(2, 1), N.IDEALBR(2, 1), N.MXINV(1)),
              std::make_tuple(1e-21, LFALSE, LFALSE, 3));
    BRANCH_OFF(1, 2, -13, 0.5);
    EXPECT_EQ(state(2), std::make_tuple(true, -13, 0.5, 1e-6, 2e-20));
    EXPECT_TRUE(is_true(N.SOURCE(2, 1)));
    N.GON(2, 1) = 0.0;
    BRANCH_ON(1, 2, 6, 0.0);
    EXPECT_TRUE(is_true(N.IDEALBR(2, 1)) && is_true(N.IDEALSS(1)));
    BRANCH_OFF(1, 2, 6, 0.0);
    EXPECT_FALSE(is_true(N.IDEALBR(2, 1)));
}

// The set-up leaves the branch open; an ON resistance below the ideal
// threshold gives an ideal closed state; an OFF resistance not above the
// ON one, or below the threshold, stops the run.
TEST_F(SwitchState, SwitchSetUp) {
    CHK_SWITCH_R(1, -2, 0.01, 1e6, 1.5, 0.0, "BREAKER");
    EXPECT_EQ(state(2), std::make_tuple(true, 6, 0.0, 1e-6, -0.0));
    EXPECT_FALSE(is_true(NET.SOURCE(2, 1)));
    EXPECT_EQ(std::make_tuple(NET.EON(2, 1), NET.TSWITCH(2, 1), NET.GON(2, 1)), std::make_tuple(-1.5, 1.5, 100.0));
    CHK_SWITCH_R(1, 2, 1e-9, 1e6, 0.0, 0.0, "BREAKER");
    EXPECT_EQ(NET.GON(2, 1), 0.0);
    EXPECT_TRUE(is_true(NET.IDEALSS(1)));
    const std::string head =
        " ***ERROR** OFF resistance of switch in branch 2 of subsystem \n ***ERROR** 1 must be larger";
    EXPECT_STOPS(CHK_SWITCH_R(1, 2, 5.0, 5.0, 0.0, 0.0, "BREAKER"),
                 head + " than the ON resistance.\n" + abort_frame("BREAKER"));
    SetUp();
    EXPECT_STOPS(CHK_SWITCH_R(1, 2, 1e-10, 1e-9, 0.0, 0.0, "BREAKER"),
                 head + " than the ideal branch threshold    0.10000000000000E-07\n" + abort_frame("BREAKER"));
}

class SwitchingRun : public SolutionTest {
protected:
    // Branch 2 of the fixtures becomes a switch of 1 mohm closed and no
    // conductance open; with pe, its owner is a thyristor whose record
    // (STORI from 1, STORF and STOR from 1) keeps its switching times.
    static void set_up_switch(bool pe, double closed_threshold) {
        CHK_SWITCH_R(1, 2, 1e-3, HUGE_VAL, 0.0, 0.0, "TEST_SWITCH");
        if (!pe) return;
        StorageArrays& S = STORAGE;
        NET.THISBR(2, 1) = 1;
        S.STORI(1) = 11;
        S.STORI(3) = 0;
        S.STORI(8) = 0;
        S.STORF(1) = closed_threshold;
        S.STORF(2) = 0.0;
        S.STOR(10) = S.STOR(11) = -1.0;
    }
};

constexpr double kE = 100.0, kR = 1.0 + 1e-3 + 1.0, kL = 5e-3, kDt = 50e-6;

// The switch closes at ts = 10.37 steps: the load current is 0 up to step
// 10; at ts the re-solution gives the trapezoidal rule's first value
// i0 = (E/R) a/(1 + a), the pass from ts its next one i1 = rho i0 + (1 -
// rho) E/R a step later, step 11 takes the value 0.63 of the way from i0
// to i1, and every later step is one more step of the rule.
TEST_F(SwitchingRun, TimedSwitchEnergisesAnRLLoadAtItsInstant) {
    const double ts = 10.37 * kDt;
    const double a = kDt * kR / (2.0 * kL), rho = (1.0 - a) / (1.0 + a), final = kE / kR;
    const double i0 = final * a / (1.0 + a), i1 = rho * i0 + (1.0 - rho) * final;
    const double i11 = i0 + (1.0 - 0.37) * (i1 - i0);
    const double tau = kL / kR;
    for (bool pe : {false, true}) {
        read_map("switching_rl.map");
        HOOKED_CASE.on_dsd = [pe, ts] {
            if (RUN_CLOCK.NSTEP != 0) return;
            set_up_switch(pe, -1e30);
            NET.IORV(2, 1) = 8;
            NET.SWVAL(2, 1) = ts;
        };
        start();
        double worst_scheme = 0.0, worst_exact = 0.0, worst_late = 0.0;
        for (int32_t n = 0; n <= 200; ++n) {
            ASSERT_TRUE(step()) << n;
            const double i = I(3), t = n * kDt;
            if (n <= 10) {
                ASSERT_EQ(i, 0.0) << n;
                ASSERT_TRUE(is_true(NET.OPENBR(2, 1)));
                continue;
            }
            ASSERT_FALSE(is_true(NET.OPENBR(2, 1)));
            EXPECT_EQ(NET.IORV(2, 1), pe ? -13 : 6);
            const double scheme = final - std::pow(rho, n - 11) * (final - i11);
            worst_scheme = std::max(worst_scheme, std::fabs(i - scheme));
            // The rule's error against the exact response: its first value
            // a E/R dying away with the circuit, and the interpolation
            // between two of its values, of second order in the step.
            const double exact = final * (1.0 - std::exp(-(t - ts) / tau));
            const double err = std::fabs(i - exact);
            const double bound = (a * std::exp(-(t - ts) / tau) + std::pow(kDt / tau, 2)) * final;
            worst_exact = std::max(worst_exact, err / bound);
            if (t - ts >= 3.0 * tau) worst_late = std::max(worst_late, err);
            ASSERT_LT(kcl_error(), 1e-9) << n;
        }
        EXPECT_LT(worst_scheme, 1e-11 * final) << pe;
        EXPECT_LT(worst_exact, 1.0) << pe;
        EXPECT_LT(worst_late, 1e-3 * final) << pe;
        if (pe) {
            // The thyristor's record holds the solution instant of its closing.
            EXPECT_NEAR(STORAGE.STOR(10), ts, 1e-12 * kDt);
            EXPECT_EQ(STORAGE.STOR(11), -1.0);
        }
        EXPECT_EQ(array_overrun_count(), 0);
    }
}

// A switching time on a step boundary is operated at the end of that step
// or, when the step closed on it, at the start of the next; it is never
// lost to the rounding of the times.
TEST_F(SwitchingRun, SwitchingTimeOnAStepBoundaryIsNotLost) {
    for (int32_t k = 11; k <= 40; ++k) {
        for (double ts : {k * kDt, std::nextafter(k * kDt, 0.0), std::nextafter(k * kDt, 1.0), 0.01 * k / 200.0}) {
            read_map("switching_rl.map");
            HOOKED_CASE.on_dsd = [ts] {
                if (RUN_CLOCK.NSTEP != 0) return;
                set_up_switch(true, -1e30);
                NET.IORV(2, 1) = 8;
                NET.SWVAL(2, 1) = ts;
            };
            start();
            const int32_t last = static_cast<int32_t>(std::ceil(ts / kDt)) + 1;
            for (int32_t n = 0; n <= last; ++n) ASSERT_TRUE(step());
            EXPECT_FALSE(is_true(NET.OPENBR(2, 1))) << k << " " << ts;
            EXPECT_GE(STORAGE.STOR(10), ts - 1e-12 * kDt) << k;
            EXPECT_LE(STORAGE.STOR(10), ts + 1.0001e-4 * kDt) << k;
        }
    }
}

// 100 V at 50 Hz behind 1 ohm feeds 5 ohm and 20 mH through the switch.
// After 12 time constants of steady state the switch is armed to open when
// its current falls to zero (state code -13, as a breaker arms it, or a
// thyristor with a holding current of 0). Step n's values are the
// sinusoidal steady state of the trapezoidal rule at t = n dt (the phasor
// solution with the warped reactance (2L/dt) tan(w dt/2)); the current
// zero interpolated between two of them lies within 1e-3 of a step of that
// sinusoid's zero, and the thyristor opens there.
TEST_F(SwitchingRun, SwitchOpensAtTheCurrentZero) {
    const double Em = 100.0, w = 2.0 * M_PI * 50.0, R = 1.0 + 1e-3 + 5.0, L = 20e-3;
    const double X = (2.0 * L / kDt) * std::tan(w * kDt / 2.0), phi = std::atan2(X, R);
    for (bool pe : {false, true}) {
        read_map("switching_ac_rl.map");
        bool armed = false;
        double armed_at = 0.0;
        HOOKED_CASE.on_dsd = [&] {
            const double t = RUN_CLOCK.TIME;
            NET.EBR(1, 1) = Em * std::sin(w * t);
            if (RUN_CLOCK.NSTEP == 0) {
                set_up_switch(pe, 0.0);
                BRANCH_ON(1, 2, 6, 0.0);
            }
            if (!armed && t >= 0.08 && NET.CBR(2, 1) > 0.0) {
                armed = true;
                armed_at = t;
                NET.IORV(2, 1) = -13;
                NET.SWVAL(2, 1) = 0.0;
            }
        };
        start();
        double before = 0.0;
        int32_t opened = -1;
        for (int32_t n = 0; n <= 2000 && opened < 0; ++n) {
            before = I(2);
            ASSERT_TRUE(step());
            if (is_true(NET.OPENBR(2, 1))) opened = n;
        }
        ASSERT_GT(opened, 0);
        ASSERT_TRUE(armed);
        // Opened in the step whose current went through zero.
        const double t_end = opened * kDt;
        EXPECT_GT(before, 0.0);
        EXPECT_GT(t_end, armed_at);
        // The zero of the sinusoid: w t - phi a whole number of half turns.
        const double half_turns = std::floor((w * t_end - phi) / M_PI);
        const double zero = (half_turns * M_PI + phi) / w;
        EXPECT_GT(zero, t_end - kDt);
        EXPECT_LE(zero, t_end);
        if (pe) {
            EXPECT_NEAR(STORAGE.STOR(11), zero, 1e-3 * kDt);
            RecordProperty("zero_error_steps", std::to_string((STORAGE.STOR(11) - zero) / kDt));
            EXPECT_EQ(NET.IORV(2, 1), 6);
        }
        // Open from the zero on: the switch carries nothing.
        for (int32_t n = 0; n < 20; ++n) {
            ASSERT_TRUE(step());
            EXPECT_EQ(I(2), 0.0);
        }
        EXPECT_EQ(array_overrun_count(), 0);
    }
}

}  // namespace
