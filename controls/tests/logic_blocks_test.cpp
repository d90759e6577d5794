// Crossing logic, timers, the sampled delay, the clamped lag, the
// distortion figure and the obsolete wrappers' notices.
#include <cmath>

#include "controls/elementary/logic_blocks.h"
#include "controls/tests/elementary_support.h"

namespace {

class LogicBlocks : public BlockTest {};

// X from -0.7 to 0.3 in the step: the crossing 30 % of a step before its end.
TEST_F(LogicBlocks, PulseStartsAtTheCrossingAndEndsAfterItsLength) {
    std::vector<INTERP_PAIR> out;
    outputs(6, [&](int k) {
        INTERP_PAIR p;
        ZARIK_SONON(k <= 2 ? -0.7 : 0.3, 0.0, 2.5 * kDelt, 1, p);
        out.push_back(p);
        return 0.0;
    });
    const std::vector<std::pair<double, double>> want{{0, 0}, {0, 0}, {1, 0.3 * kDelt}, {1, 0}, {1, 0}, {0, 0}};
    for (size_t k = 0; k < want.size(); ++k) {
        EXPECT_EQ(out[k].value, want[k].first) << k;
        EXPECT_NEAR(out[k].time, want[k].second, 1e-18) << k;
    }
}

TEST_F(LogicBlocks, LatchResetWinsOverSetInTheSameStep) {
    std::vector<INTERP_PAIR> out;
    outputs(4, [&](int k) {
        INTERP_PAIR p;
        ZARIK_BINON(k == 1 ? -1.0 : 1.0, 0.0, k <= 2 ? -1.0 : 3.0, 0.0, 1, p);
        out.push_back(p);
        return 0.0;
    });
    EXPECT_EQ(out[1].value, 1.0);
    EXPECT_DOUBLE_EQ(out[1].time, 0.5 * kDelt);
    EXPECT_EQ(out[2].value, 0.0);
    EXPECT_DOUBLE_EQ(out[2].time, 0.75 * kDelt);
    EXPECT_EQ(out[3].time, 0.0);
}

TEST_F(LogicBlocks, ObsoleteWrappersPrintTheirNoticeAtEveryCall) {
    double t = -1.0;
    const ModuleRun r = run_module(2, nullptr, [&](int k) {
        const double x = k == 1 ? -1.0 : 1.0;
        return SONON3(x, 1.0, 1, t) + BINON3(x, -1.0, 1, t) + IZCD1(x, t);
    });
    const std::string notices = " Obsolete Function: SONON3\n   Use Subroutine ZARIK_SONON instead.\n"
                                " Obsolete Function: BINON3\n   Use Subroutine ZARIK_BINON instead.\n"
                                " Obsolete Function: IZCD1\n   Use Subroutine ZARIK_ZCD instead.\n";
    EXPECT_EQ(r.console.out, notices + notices);
    EXPECT_EQ(r.out, (std::vector<double>{0.0, 3.0}));
    EXPECT_DOUBLE_EQ(t, 0.5 * kDelt);
}

TEST_F(LogicBlocks, EquivalenceAndCrossingDirection) {
    for (const auto& [a, b, want] : std::vector<std::tuple<int, int, int>>{
             {2, 5, 1}, {0, 3, 0}, {-1, -1, 0}, {0, 0, 1}, {1, 0, 0}})
        EXPECT_EQ(LOGIC_EQV(a, b), want) << a << " " << b;
    const std::vector<double> d = outputs(4, [](int k) { return ZERO_CROSS_DIR(k % 2 ? 1.0 : -1.0); });
    EXPECT_EQ(d, (std::vector<double>{0, -1, 1, -1}));
}

// Clock rising on steps 3 and 6; S on steps 2-4, R on 5-7; PRE on 9.
TEST_F(LogicBlocks, FlipFlopTakesItsInputsOnRisingClockEdges) {
    const std::vector<double> q = outputs(10, [](int k) {
        int32_t Q, QN;
        SR_FLIPFLOP(k >= 2 && k <= 4, k >= 5 && k <= 7, k == 9, 0, k == 3 || k == 6, Q, QN);
        EXPECT_EQ(QN, 1 - Q);
        return double(Q);
    });
    EXPECT_EQ(q, (std::vector<double>{0, 0, 1, 1, 1, 0, 0, 0, 1, 1}));
    const std::vector<double> held = outputs(4, [](int k) {
        int32_t Q, QN;
        SR_FLIPFLOP(1, 0, 1, 1, k % 2, Q, QN);
        return double(Q);
    });
    EXPECT_EQ(held, (std::vector<double>{0, 0, 0, 0}));
}

TEST_F(LogicBlocks, TimersExpireOnTheirStep) {
    // IN from the first step; one step off at step 5 reloads.
    EXPECT_EQ(outputs(8, [](int k) { return double(ON_DELAY_TIMER(k != 5, 3 * kDelt)); }),
              (std::vector<double>{0, 0, 1, 1, 0, 0, 0, 1}));
    // ON seen on step 2, OFF on step 6: OUT from step 5 to step 7.
    EXPECT_EQ(outputs(10, [](int k) {
                  int32_t out = -1;
                  DUAL_TIMER(k == 2, k == 6, 3 * kDelt, 2 * kDelt, 0, out);
                  return double(out);
              }),
              (std::vector<double>{0, 0, 0, 0, 1, 1, 1, 0, 0, 0}));
}

// The call on which the relay's output changes; 0 when it does not.
int changes_on(int32_t A, int32_t B, double T1, double T2, int32_t init) {
    const std::vector<double> y = outputs(60, [=](int) { return double(PICKUP_DROPOUT(A, B, T1, T2, init)); });
    for (size_t k = 1; k < y.size(); ++k)
        if (y[k] != y[0]) return int(k) + 1;
    return 0;
}

TEST_F(LogicBlocks, RelayPicksUpAndDropsOutAfterItsTimes) {
    EXPECT_EQ(changes_on(1, 0, 1.6e-3, 1.0, 0), 32);
    EXPECT_EQ(changes_on(1, 0, 1e-3, 1.0, 0), 20);
    EXPECT_EQ(changes_on(0, 1, 1.0, 1.6e-3, 1), 7);
    EXPECT_EQ(changes_on(1, 1, 1e-3, 1e-3, 0), 0);
}

TEST_F(LogicBlocks, SampledDelayAndClampedLag) {
    EXPECT_EQ(outputs(6, [](int k) { return DELAY_SAMPLED(2 * kDelt, 1, k - 1.0); }),
              (std::vector<double>{0, 0, 0, 0, 0, 2}));
    // 20,000 steps of 3 samples over 6 steps: a sample every 2 steps.
    const std::vector<double> y = outputs(20000, [](int k) { return DELAY_SAMPLED(6 * kDelt, 3, k - 1.0); });
    int irregular = 0;
    for (size_t k = 8; k < y.size(); ++k) irregular += y[k] != 2.0 * std::floor((k - 7.0) / 2.0);
    EXPECT_EQ(irregular, 0);
    const std::vector<double> lag = outputs(2, [](int) { return LAG_CLAMPED(1.0, 1e-3, -5.0, 5.0); });
    EXPECT_DOUBLE_EQ(lag[0], 0.024390243902439025);
    EXPECT_DOUBLE_EQ(lag[1], 0.07198096371207614);
    EXPECT_EQ(outputs(1, [](int) { return LAG_CLAMPED(1.0, 1e-3, 0.5, 0.2); })[0], 0.5);
}

TEST_F(LogicBlocks, SignedExclusiveOrFollowsTheLeadingInput) {
    // A rises on step 3 (pulse +1), falls on 5; B rises on 7 (pulse -1).
    const std::vector<double> y = outputs(9, [](int k) {
        double out;
        XOR_ZC(k >= 3 && k < 5 ? 1.0 : 0.0, k >= 7 ? 1.0 : 0.0, out);
        return out;
    });
    EXPECT_EQ(y, (std::vector<double>{0, 0, 1, 1, 0, 0, -1, -1, -1}));
}

TEST_F(LogicBlocks, DistortionIsTheRatioOfTheHigherHarmonics) {
    const double h[3] = {2.0, 0.6, 0.8};
    double out[3] = {9, 9, 9};
    EXPECT_DOUBLE_EQ(THD_CALC(3, 1, h, out), 50.0);
    EXPECT_DOUBLE_EQ(out[1], 30.0);
    EXPECT_DOUBLE_EQ(THD_CALC(1, 0, h, out), 0.0);
    EXPECT_EQ(out[0], 1.0);
    out[0] = 9;
    EXPECT_EQ(THD_CALC(0, 0, h, out), 0.0);
    EXPECT_EQ(out[0], 9.0);
}

TEST_F(LogicBlocks, DataErrorsStopTheRun) {
    const Captured n = capture([] { DELAY_SAMPLED(1e-3, 0, 1.0); });
    EXPECT_EQ(n.out, data_error_text("The number of samples of the delay must be at least 1.", "DELAY_SAMPLED"));
    for (const auto& [t1, t2] : {std::pair{0.0, 1e-3}, {1e-3, -1e-3}}) {
        set_first_step(true);
        const Captured c = capture([t1, t2] { PICKUP_DROPOUT(1, 0, t1, t2, 0); });
        EXPECT_EQ(c.out, data_error_text("The pick-up and drop-out times must be greater than zero.", "PICKUP_DROPO"));
    }
}

// Every INTEGER argument at off, on and other, from cleared and from used slots.
std::vector<DisciplineRow> logic_rows() {
    std::vector<DisciplineRow> rows;
    const auto quiet = [](std::function<void()> f) { return [f] { capture(f); }; };
    add_flag_rows(rows, "ZARIK_SONON", {.stor = 1, .storf = 2}, 1, {{"cleared"}, {"running", {1.0, 9.0}, {-1.0}}}, [](const FlagSet& f, size_t) {
        INTERP_PAIR p;
        ZARIK_SONON(1.0, 0.0, 1e-3, f[0], p);
    });
    add_flag_rows(rows, "ZARIK_BINON", {.stor = 2, .storf = 1}, 1, {{"cleared"}, {"set", {1.0}, {-1.0, -1.0}}}, [](const FlagSet& f, size_t) {
        INTERP_PAIR p;
        ZARIK_BINON(1.0, 0.0, 1.0, 0.0, f[0], p);
    });
    add_flag_rows(rows, "SR_FLIPFLOP", {.stor = 2}, 5, {{"cleared"}, {"set", {}, {1.0, -0.5}}}, [](const FlagSet& f, size_t) {
        int32_t q, qn;
        SR_FLIPFLOP(f[0], f[1], f[2], f[3], f[4], q, qn);
    });
    add_flag_rows(rows, "ON_DELAY_TIMER", {.stor = 1}, 1, {{"cleared"}, {"timing", {}, {1e-4}}}, [](const FlagSet& f, size_t) { ON_DELAY_TIMER(f[0], 1e-3); });
    std::vector<SlotState> dual;
    for (const int32_t state : {0, 1, 2, 3, 7}) dual.push_back({"state" + std::to_string(state), {1e-4}, {}, {}, {state}});
    add_flag_rows(rows, "DUAL_TIMER", {.storf = 1, .stori = 1}, 3, dual, [](const FlagSet& f, size_t) {
        int32_t out;
        DUAL_TIMER(f[0], f[1], 1e-3, 1e-3, f[2], out);
    });
    add_flag_rows(rows, "PICKUP_DROPOUT", {.stor = 3}, 3, {{"cleared"}, {"picked_up", {}, {1e4, 1e4, 10.0}}},
                  [](const FlagSet& f, size_t) { PICKUP_DROPOUT(f[0], f[1], 1e-3, 1e-3, f[2]); });
    add_flag_rows(rows, "LOGIC_EQV", {}, 2, {{"none"}}, [](const FlagSet& f, size_t) { LOGIC_EQV(f[0], f[1]); });
    add_flag_rows(rows, "THD_CALC", {}, 2, {{"none"}}, [](const FlagSet& f, size_t) {
        const double h[2] = {1.0, 0.1};
        double out[2];
        THD_CALC(f[0], f[1], h, out);
    });
    double t = 0.0, y = 0.0;
    rows.insert(rows.end(), {
        {"SONON3", {.stor = 1, .storf = 2}, quiet([t]() mutable { SONON3(1.0, 1.0, 1, t); })},
        {"BINON3", {.stor = 2, .storf = 1}, quiet([t]() mutable { BINON3(1.0, 1.0, 1, t); })},
        {"ZERO_CROSS_DIR", {.stor = 1}, [] { ZERO_CROSS_DIR(1.0); }},
        {"IZCD1", {.stor = 1}, quiet([t]() mutable { IZCD1(1.0, t); })},
        {"DELAY_SAMPLED", {.stor = 6}, [] { DELAY_SAMPLED(1e-3, 4, 1.0); }},
        {"LAG_CLAMPED", {.stor = 2}, [] { LAG_CLAMPED(1.0, 1e-3, 0.0, 2.0); }},
        {"XOR_ZC", {.stor = 3}, [y]() mutable { XOR_ZC(1.0, 0.0, y); }},
    });
    return rows;
}

INSTANTIATE_TEST_SUITE_P(LogicBlocks, SlotDiscipline, ::testing::ValuesIn(logic_rows()), discipline_row_name);

}  // namespace
