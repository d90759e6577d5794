// The switch state decision, one case per rule; the breakdown and
// safety-off reports; the set-up words; the full forms and old entries.
#include <gtest/gtest.h>

#include "models/tests/rectifier_circuit.h"
#include "engine/pointer_block.h"
#include "network/switch_state.h"
#include "platform/tests/support/capture.h"

namespace {

constexpr double kTime = 1.0, kDt = rectifier::kStep, kVf = 1.0, kHold = 1e-3, kInstant = kTime - 2e-5;
const Logical T = LTRUE, F = LFALSE;

struct Row {
    const char* name;
    bool open;
    int32_t gate;
    double V, I;
    bool interp, conducted;
    // Expected branch state, request and turn-on and turn-off times
    // (-1 = unchanged from 0.5).
    bool open_after;
    int32_t kind;
    double level, t_on, t_off;
};

void PrintTo(const Row& r, std::ostream* os) { *os << r.name; }

class SwitchState : public testing::TestWithParam<Row> {
protected:
    void TearDown() override { reset_all_engine_state(); }
    // A thyristor (branch 1, from node 1 to node 2) set up on the first
    // step: R_on 0.01, R_off 1000, V_bf 50, V_br 40, V_f 1, t_ext 100 us.
    static void set_up(int32_t recovers = 1) {
        rectifier::Circuit::tables(2, 2);
        rectifier::Circuit::branch(1, 2, 1e3, true);
        rectifier::Circuit::branch(2, 0, 1.0);
        RUN_FLAGS.FIRST_STEP_DATA = LTRUE;
        RESETPTRS();
        PESWITCH_INIT(1, recovers, 0.01, 1e3, 50.0, 40.0, kVf, 100.0);
        RESETPTRS();
        PESWITCH(1, 1, 0, 0.0);
        RUN_FLAGS.FIRST_STEP_DATA = LFALSE;
        RUN_CLOCK.TIME = kTime;
        STORAGE.STOR(10) = STORAGE.STOR(11) = 0.5;
    }
    // One decision with the branch in the given state.
    static Captured decide(bool open, int32_t gate, double V, double I, bool interp, bool event = true) {
        if (open)
            BRANCH_OFF(1, 1, 6, 0.0);
        else
            BRANCH_ON(1, 1, 6, 0.0);
        NET.VNODE(1, 1) = V;
        NET.VNODE(2, 1) = 0.0;
        NET.CBR(1, 1) = I;
        NET.SSINTERP(1) = as_logical(interp);
        STORAGE.STORI(7) = gate;
        POINTER_BLOCK.saved_stori = 1;
        return capture([&] { PESWITCH_STATE(kInstant, as_logical(event)); });
    }
};

TEST_P(SwitchState, Decides) {
    const Row& r = GetParam();
    set_up();
    STORAGE.STORL(1) = as_logical(r.conducted);
    STORAGE.STOR(11) = kTime - 60e-6;  // turned off 60 us ago
    const double t_off_before = STORAGE.STOR(11);
    decide(r.open, r.gate, r.V, r.I, r.interp);
    EXPECT_EQ(is_true(NET.OPENBR(1, 1)), r.open_after);
    EXPECT_EQ(NET.IORV(1, 1), r.kind);
    EXPECT_DOUBLE_EQ(NET.SWVAL(1, 1), r.level);
    EXPECT_DOUBLE_EQ(STORAGE.STOR(10), r.t_on);
    EXPECT_DOUBLE_EQ(STORAGE.STOR(11), r.t_off < 0.0 ? t_off_before : r.t_off);
    EXPECT_EQ(std::vector<int32_t>({POINTER_BLOCK.NSTORI, POINTER_BLOCK.NSTORL, POINTER_BLOCK.NSTORF,
                                    POINTER_BLOCK.NEXC}),
              std::vector<int32_t>({9, 3, 8, 25}));
}

const double kOff = -1.0;
INSTANTIATE_TEST_SUITE_P(
    Rules, SwitchState,
    testing::Values(
        Row{"FiredForwardAtEventInstant", true, 1, 2.0, 0.0, true, false, true, 8, kInstant, 0.5, kOff},
        Row{"FiredForwardAtOnce", true, 1, 2.0, 0.0, false, false, false, -13, kHold, kTime, kOff},
        Row{"FiredAtVfArmed", true, 1, kVf, 0.0, true, false, true, 3, kVf, 0.5, kOff},
        Row{"FiredAtVfNoInterpolation", true, 1, kVf, 0.0, false, false, true, 6, 0.0, 0.5, kOff},
        Row{"FiredReverseBreakdown", true, 1, -40.5, 0.0, true, false, false, 6, 0.0, kTime - kDt, kOff},
        Row{"OpenAtRest", true, 0, 0.5, 0.0, true, false, true, 6, 0.0, 0.5, kOff},
        Row{"OpenForwardBreakdown", true, 0, 50.5, 0.0, true, false, false, 6, 0.0, 0.5, kOff},
        Row{"OpenForwardAtBreakdownLevel", true, 0, 50.0, 0.0, true, false, true, 6, 0.0, 0.5, kOff},
        Row{"RefiresWithinExtinction", true, 0, 2.0, 0.0, true, true, false, -13, kHold, kTime - kDt, kOff},
        Row{"NotRefiredWithoutConduction", true, 0, 2.0, 0.0, true, false, true, 6, 0.0, 0.5, kOff},
        Row{"TurnedOffAtEventInstant", false, -1, 0.0, kHold, true, false, false, 8, kInstant, 0.5, kOff},
        Row{"TurnedOffAtOnce", false, -1, 0.0, kHold, false, false, true, 6, 0.0, 0.5, kTime},
        Row{"TurnedOffBelowHoldSafety", false, -1, 0.0, 0.0, true, false, true, 6, 0.0, 0.5, kTime - kDt},
        Row{"TurnedOffBelowHoldPlain", false, -1, 0.0, 0.0, false, false, true, 6, 0.0, 0.5, kTime},
        Row{"ClosedAtHoldArmed", false, 1, 0.0, kHold, true, false, false, -13, kHold, 0.5, kOff},
        Row{"ClosedAtHoldNoInterpolation", false, 0, 0.0, kHold, false, false, false, 6, 0.0, 0.5, kOff},
        Row{"ClosedBelowHoldGatedRearms", false, 1, 0.0, 0.0, true, false, true, 3, kVf, 0.5, kTime - kDt},
        Row{"ClosedBelowHoldPlain", false, 0, 0.0, -1.0, false, false, true, 6, 0.0, 0.5, kTime}),
    [](const testing::TestParamInfo<Row>& info) { return std::string(info.param.name); });

const std::string kForward =
    " ***WARN*** Forward break down of PESwitch in \n ***WARN*** branch 1 of subsystem 1\n";

// A breakdown that does not recover latches; the latch ends every decision.
TEST_F(SwitchState, BreakdownsLatch) {
    set_up(1);
    EXPECT_EQ(decide(true, 0, 51.0, 0.0, true).out, kForward);
    EXPECT_EQ(STORAGE.STOR(24), 0.0);
    set_up(0);
    EXPECT_EQ(decide(true, 0, 51.0, 0.0, true).out,
              kForward + " ***WARN*** Permanent break down of PESwitch in \n ***WARN*** branch 1 of subsystem 1\n");
    EXPECT_EQ(decide(true, 1, -60.0, 5.0, true).out, "");
    EXPECT_EQ(std::make_tuple(NET.IORV(1, 1), STORAGE.STOR(24), POINTER_BLOCK.NEXC), std::make_tuple(6, 1.0, 25));
    set_up(1);
    EXPECT_EQ(decide(true, 0, -41.0, 0.0, true).out,
              " ***WARN*** Reverse break down of PESwitch in \n ***WARN*** branch 1 of subsystem 1\n");
    EXPECT_EQ(STORAGE.STOR(24), 1.0);
}

// Two reports at most, the second marked.
TEST_F(SwitchState, SafetyOffReports) {
    set_up();
    const std::string line = "Thyristor   Safety off: SS#  1   Br#    1";
    const std::string info = " ***INFO*** Thyristor Safety turn off in branch 1\n ***INFO***  of subsystem 1";
    EXPECT_EQ(decide(false, 0, 0.0, -1.0, true).out, line + "\n" + info + "\n");
    EXPECT_EQ(decide(false, 0, 0.0, -1.0, true).out, line + " (Multiple)\n" + info + " [Multiple]\n");
    EXPECT_EQ(decide(false, 0, 0.0, -1.0, true).out, "");
    EXPECT_EQ(STORAGE.STOR(1), 2.0);
}

// The record of the set-up step and the event instants of the gate.
TEST_F(SwitchState, SetUpAndGateEvents) {
    set_up();
    const StorageArrays& S = STORAGE;
    EXPECT_EQ(NET.THISBR(1, 1), 1);
    EXPECT_EQ(std::vector<int32_t>(S.STORI.data(), S.STORI.data() + 8), (std::vector<int32_t>{11, 1, 1, 0, 1, 1, 0, 0}));
    EXPECT_EQ(std::vector<double>(S.STORF.data(), S.STORF.data() + 7),
              (std::vector<double>{0.0, 1e-3, 1.0, 50.0, 100.0, 0.0, -40.0}));
    EXPECT_EQ(std::make_tuple(S.STOR(4), S.STOR(15), S.STOR(6), NET.BRANCH_R(1, 1)),
              std::make_tuple(-2 * kDt, -2 * kDt, 1e-3, 1e3));
    EXPECT_EQ(std::make_tuple(NET.GOFF(1, 1), NET.GON(1, 1), NET.EON(1, 1)), std::make_tuple(1e-3, 100.0, -(1e3 - 0.01) * 1.0 / 1e3));
    // A time value of DELT is an event at the step start.
    NET.VNODE(1, 1) = 2.0;
    NET.SSINTERP(1) = LTRUE;
    auto step = [](double time, int32_t gate, double tval) {
        RUN_CLOCK.TIME = time;
        RESETPTRS();
        PESWITCH(1, 1, gate, tval);
    };
    step(kTime, 1, kDt);
    EXPECT_EQ(std::make_tuple(NET.IORV(1, 1), NET.SWVAL(1, 1), S.STOR(4)), std::make_tuple(8, kTime - kDt, kTime - kDt));
    EXPECT_EQ(std::make_tuple(POINTER_BLOCK.NRTCL, POINTER_BLOCK.NRTCI, POINTER_BLOCK.NRTCF), std::make_tuple(2, 2, 7));
    // A stored instant inside the next step is used again; one before it is not.
    step(kTime, 1, 0.3 * kDt);
    step(kTime + 0.5 * kDt, 0, 0.0);
    EXPECT_EQ(std::make_tuple(NET.IORV(1, 1), NET.SWVAL(1, 1), S.STORI(7)), std::make_tuple(8, kTime - 0.3 * kDt, 1));
    step(kTime + kDt, 0, 0.0);
    EXPECT_EQ(std::make_tuple(NET.IORV(1, 1), S.STORI(7)), std::make_tuple(6, 0));
}

// A record whose positions point outside the storage (a damaged snapshot) stops the run.
TEST_F(SwitchState, RecordOutsideTheStorage) {
    set_up();
    STORAGE.STORI(8) = 490;
    const Captured c = decide(true, 1, 0.0, 0.0, true);
    EXPECT_TRUE(c.aborted);
    EXPECT_EQ(c.out, " ***ERROR** Switched branch 1 of subsystem 1\n"
                     " ***ERROR** has a power-electronic switch record at STORI(1) that points outside the storage.\n" +
                         abort_frame("PESWITCH_STATE"));
}

TEST_F(SwitchState, DeviceLabels) {
    const char* want[] = {"PESwitch:   ", "Diode:      ", "Thyristor   ", "GTO:        ", "IGBT:       ",
                          "MOSFET:     ", "Transistor: ", "PESwitch:   "};
    for (int32_t code = -1; code <= 6; ++code) {
        Text12 label;
        PESWITCH_LABEL(code, label);
        EXPECT_EQ(std::string(label.view()), want[code + 1]) << code;
    }
}

// Gate 2 makes the caller's diode a GTO; the one-voltage form latches.
TEST_F(SwitchState, FullForms) {
    rectifier::Circuit::tables(2, 2);
    rectifier::Circuit::branch(1, 2, 1e3, true);
    rectifier::Circuit::branch(2, 0, 1.0);
    RUN_FLAGS.FIRST_STEP_DATA = LTRUE;
    RUN_CLOCK.TIME = kTime;
    int32_t code = 0;
    RESETPTRS();
    PESWITCH12(1, 1, 0.01, 1e3, 2, 0.0, code, 1, 50.0, 40.0, kVf, 100.0);
    EXPECT_EQ(std::make_tuple(code, STORAGE.STORI(1), STORAGE.STORI(7)), std::make_tuple(2, 10, -1));
    EXPECT_EQ(std::make_tuple(POINTER_BLOCK.NRTCF, POINTER_BLOCK.NSTORI), std::make_tuple(1, 9));
    // The one-voltage form has no recovers flag: its forward breakdown latches.
    rectifier::Circuit::tables(2, 2);
    rectifier::Circuit::branch(1, 2, 1e3, true);
    rectifier::Circuit::branch(2, 0, 1.0);
    for (bool first : {true, false}) {
        RUN_FLAGS.FIRST_STEP_DATA = as_logical(first);
        NET.VNODE(1, 1) = first ? 0.0 : 60.0;
        RESETPTRS();
        const Captured c = capture([&] { PESWITCH10(1, 1, 0.01, 1e3, 0, 0.0, code, 50.0, kVf, 100.0); });
        if (!first) {
            EXPECT_EQ(c.out, kForward +
                                 " ***WARN*** Permanent break down of PESwitch in \n ***WARN*** branch 1 of subsystem 1\n");
        }
    }
    EXPECT_EQ(std::make_tuple(STORAGE.STOR(24), STORAGE.STORF(4), STORAGE.STORF(7)), std::make_tuple(1.0, 50.0, -50.0));
    // Codes outside 0 to 9 stay in the range of a power-electronic switch.
    code = 91;
    NET.VNODE(1, 1) = 0.0;
    RUN_FLAGS.FIRST_STEP_DATA = LTRUE;
    RESETPTRS();
    PESWITCH12(1, 1, 0.01, 1e3, 0, 0.0, code, 1, 50.0, 40.0, kVf, 100.0);
    EXPECT_EQ(STORAGE.STORI(1), 19);
}

TEST_F(SwitchState, DiscontinuedEntries) {
    const Captured c = capture([] { THYR25(1, 2, 3, 0.0, 0.0, 1, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0); });
    EXPECT_TRUE(c.aborted);
    EXPECT_EQ(c.out, " THYR25       has been discontinued and cannot be supported\n"
                     " See Migrating to ZARIK 3.1 section in on-line help\n" + abort_frame("THYR25"));
    EXPECT_TRUE(capture([] { SWINT5(1, 2, 3, 0.0, 0.0, 1, 0.0); }).aborted);
}

}  // namespace
