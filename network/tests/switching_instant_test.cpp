// The switching instant of a pending switch within a pass, by state code:
// current and voltage crossings, thresholds passed, switching times, an
// arrester's and a segmented inductance's next segment; and how the search
// groups the instants of several switches.
#include "engine/storage.h"
#include "network/interpolation.h"
#include "network/switching_instant.h"
#include "network/tests/ideal_circuit.h"

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

TEST_F(SwitchingInstant, CurrentCrossingsAndThresholds) {
    EXPECT_DOUBLE_EQ(current_instant(2, 0.0, 3.0, -1.0), 0.75);
    EXPECT_DOUBLE_EQ(current_instant(-2, 0.0, -1.0, 3.0), 0.25);
    EXPECT_DOUBLE_EQ(current_instant(2, 5.0, 3.0, -1.0), 1.5);
    EXPECT_DOUBLE_EQ(current_instant(2, 3.0, 3.0, 4.0), 0.0);  // leaving the level counts
    EXPECT_DOUBLE_EQ(current_instant(2, 3.0, 4.0, 3.0), 1.5);  // reaching it from above does not
    // 13: rising past the level; at once when it already was past.
    EXPECT_DOUBLE_EQ(current_instant(13, 0.0, -1.0, 3.0), 0.25);
    EXPECT_DOUBLE_EQ(current_instant(13, 0.0, 0.5, 3.0), 0.0);
    EXPECT_DOUBLE_EQ(current_instant(13, 0.0, -1.0, 0.5e-10), 1.5);
    // -13: falling past it.
    EXPECT_DOUBLE_EQ(current_instant(-13, 1.0, 3.0, -1.0), 0.5);
    EXPECT_DOUBLE_EQ(current_instant(-13, 1.0, 0.5, -1.0), 0.0);
    EXPECT_DOUBLE_EQ(current_instant(-13, 1.0, 3.0, 1.0 - 0.5e-10), 1.5);
    // Codes without a switching condition.
    for (int32_t code : {0, 6, -6, 1, 7, 12, 14, 16})
        EXPECT_DOUBLE_EQ(current_instant(code, 0.0, 3.0, -1.0), 1.5) << code;
}

TEST_F(SwitchingInstant, VoltageCrossingsAndThresholds) {
    EXPECT_DOUBLE_EQ(voltage_instant(10, 1.0, 3.0, -1.0), 0.5);
    EXPECT_DOUBLE_EQ(voltage_instant(-10, 1.0, -1.0, 3.0), 0.5);
    EXPECT_DOUBLE_EQ(voltage_instant(10, 4.0, 3.0, -1.0), 1.5);
    EXPECT_DOUBLE_EQ(voltage_instant(3, 0.7, -0.3, 1.7), 0.5);
    EXPECT_DOUBLE_EQ(voltage_instant(3, 0.7, 0.8, 1.7), 0.0);
    EXPECT_DOUBLE_EQ(voltage_instant(3, 0.7, -0.3, 0.7), 1.5);
    EXPECT_DOUBLE_EQ(voltage_instant(-3, -0.7, 0.3, -1.7), 0.5);
    EXPECT_DOUBLE_EQ(voltage_instant(-3, -0.7, -0.8, -1.7), 0.0);
    // 4: the magnitude rising past the level's magnitude.
    EXPECT_DOUBLE_EQ(voltage_instant(4, -2.0, 1.0, -3.0), 0.5);
    EXPECT_DOUBLE_EQ(voltage_instant(4, 2.0, -2.5, 3.0), 0.0);
    EXPECT_DOUBLE_EQ(voltage_instant(4, 2.0, 1.0, -1.5), 1.5);
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
    double span = 0.0, next = 0.0;
    search(0.30, 0.30005, 0.9, span, next);
    EXPECT_NEAR(span, 0.30, 1e-12);
    EXPECT_NEAR(next, 0.30005, 1e-12);
    search(0.30, 0.3002, 0.9, span, next);
    EXPECT_NEAR(next, 0.30, 1e-12);
    EXPECT_NEAR(NET.TSWITCH(other, 1), 0.3002, 1e-12);
    search(0.0, 2.0, 2.0, span, next);
    EXPECT_EQ(span, 1e-4);
    EXPECT_EQ(NET.TSWITCH(sw_, 1), 1e-4);
    EXPECT_EQ(NET.TSWITCH(other, 1), 1.5);
    search(1.0, 2.0, 3.0, span, next);
    EXPECT_NEAR(span, 1.0, 1e-12);
    search(2.0, 2.0, 2.0, span, next);
    EXPECT_EQ(span, 1.5);
    EXPECT_EQ(next, 1.5);
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

TEST_F(ArresterInstant, NextSegmentAndItsBoundary) {
    EXPECT_DOUBLE_EQ(at(1, 150.0, 250.0), 0.5);
    EXPECT_EQ(direction(), 1.0);
    EXPECT_DOUBLE_EQ(at(1, 150.0, 120.0), 1.5);
    EXPECT_EQ(direction(), 0.0);
    EXPECT_DOUBLE_EQ(at(1, 150.0, 50.0), 0.5);
    EXPECT_EQ(direction(), -1.0);
    EXPECT_DOUBLE_EQ(at(1, 150.0, -50.0), 0.25);  // down, across the segment's lower end
    EXPECT_EQ(direction(), -1.0);
    EXPECT_DOUBLE_EQ(at(1, 150.0, 5000.0), (150.0 - 200.0) / (150.0 - 5000.0));  // the last segment
    EXPECT_EQ(direction(), 1.0);
    // Negative segments: -1 lies between -200 and -100.
    EXPECT_DOUBLE_EQ(at(-1, -150.0, -250.0), 0.5);
    EXPECT_EQ(direction(), -1.0);
    EXPECT_DOUBLE_EQ(at(-1, -150.0, -50.0), 0.5);
    EXPECT_EQ(direction(), 1.0);
    // Segment 0 lies between -100 and 100; from it the sign of the new one.
    EXPECT_DOUBLE_EQ(at(0, 50.0, -150.0), 0.75);
    EXPECT_EQ(direction(), -1.0);
    EXPECT_DOUBLE_EQ(at(0, -50.0, 150.0), 0.75);
    EXPECT_EQ(direction(), 1.0);
    EXPECT_DOUBLE_EQ(at(0, 50.0, -80.0), 1.5);
}

// Values within 1e-10 of the present segment's boundaries belong to it.
TEST_F(ArresterInstant, BoundariesBelongToThePresentSegment) {
    // Ending on a boundary: no step.
    EXPECT_DOUBLE_EQ(at(1, 150.0, 200.0 + 0.5e-10), 1.5);
    EXPECT_EQ(direction(), 0.0);
    EXPECT_NEAR(at(1, 150.0, 200.0 + 2e-10), 1.0, 1e-11);
    EXPECT_EQ(direction(), 1.0);
    // Starting just below the lower boundary of segment 2 counts as in it.
    EXPECT_DOUBLE_EQ(at(2, 200.0 - 0.5e-10, 150.0), 0.0);
    EXPECT_EQ(direction(), -1.0);
    EXPECT_DOUBLE_EQ(at(2, 200.0 - 2e-10, 150.0), 1.5);
}

TEST_F(ArresterInstant, PresentSegmentOutsideTheTableStopsTheRun) {
    NET.SWVAL(sw_, 1) = -4.0;
    NET.IORV(sw_, 1) = -5;
    const Captured c = capture([this] { SWITCH_INSTANT(1, sw_, 0.0, false, false); });
    EXPECT_TRUE(c.aborted);
    EXPECT_EQ(c.out, " ***ERROR** Switched branch 1 of subsystem 1\n"
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

TEST_F(InductanceInstant, NextSegmentAndItsBoundary) {
    EXPECT_DOUBLE_EQ(at(1, 15.0, 25.0), 0.5);
    EXPECT_EQ(requested(), 1);
    EXPECT_DOUBLE_EQ(at(1, 15.0, 5.0), 0.5);
    EXPECT_EQ(requested(), -1);
    EXPECT_DOUBLE_EQ(at(1, 15.0, 19.0), 1.5);
    EXPECT_EQ(requested(), 0);
    EXPECT_DOUBLE_EQ(at(1, 15.0, 20.05), 1.5);  // within 0.01 T(1) of a boundary
    EXPECT_EQ(requested(), 0);
    EXPECT_DOUBLE_EQ(at(2, 25.0, 1000.0), 1.5);  // beyond the table: still the last segment
    EXPECT_DOUBLE_EQ(at(-1, -15.0, -25.0), 0.5);
    EXPECT_EQ(requested(), -1);
    EXPECT_DOUBLE_EQ(at(-1, -15.0, -5.0), 0.5);
    EXPECT_EQ(requested(), 1);
    // Segment 0 reaches from -T(1) to T(1).
    EXPECT_DOUBLE_EQ(at(0, 5.0, -15.0), 0.75);
    EXPECT_EQ(requested(), -1);
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

}  // namespace
