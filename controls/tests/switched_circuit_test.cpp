// Blocks that operate a switch of a real circuit at the instant inside the
// step that they report: the 100 V R-L circuit switched by a timed state
// code at TIME - result.time, against the same circuit switched at the
// analytic instants.
#include <algorithm>
#include <cmath>
#include <functional>
#include <optional>
#include <vector>

#include "controls/interpolating/interpolating_blocks.h"
#include "controls/switching/switching_blocks.h"
#include "engine/storage.h"
#include "network/switch_state.h"
#include "network/tests/solution_circuit.h"

namespace {

constexpr double kDt = 50e-6, kFinal = 100.0 / (1.0 + 1e-3 + 1.0);
constexpr int32_t kSteps = 40;

// One step of the top module: the block chain's output pair.
using Chain = std::function<INTERP_PAIR(int32_t flag)>;

INTERP_PAIR comparator(int32_t flag) {
    INTERP_PAIR r;
    COMPARATOR_IP(flag, 0, 10.37 * kDt, RUN_CLOCK.TIME, 0.0, 0.0, 1.0, r);
    return r;
}

INTERP_PAIR hysteresis(int32_t flag) {
    INTERP_PAIR r;
    HYSTERESIS_IP(0, flag, RUN_CLOCK.TIME / kDt, 10.37, 5.0, r);
    return r;
}

INTERP_PAIR integrated(int32_t flag) {
    const INTERP_PAIR on = comparator(flag);
    const double y = INTEGRATOR_IP(flag, 0, 0, 0.0, 1e-3, 0.0, -1e6, 1e6, {}, on);
    INTERP_PAIR r;
    COMPARATOR_IP(flag, 0, y, 0.1, 1.0, 0.0, 0.0, r);
    return r;
}

INTERP_PAIR delayed(int32_t flag) {
    INTERP_PAIR r;
    ON_DELAY_IP(flag, 2.25 * kDt, comparator(flag), r);
    return r;
}

INTERP_PAIR pulse(int32_t flag) {
    INTERP_PAIR r;
    MONOSTABLE_IP(flag, 3.5 * kDt, comparator(flag), r);
    return r;
}

struct SwitchedCase {
    const char* name;
    Chain chain;
    int32_t flag;
    std::vector<double> instants;  // in steps
};

void PrintTo(const SwitchedCase& c, std::ostream* os) { *os << c.name; }

class BlocksSwitchACircuit : public SolutionTest, public ::testing::WithParamInterface<SwitchedCase> {
protected:
    // The circuit run for kSteps steps; each step `operate` may give the
    // instant at which the switch changes state in it. The load current
    // of every step.
    std::vector<double> run(const std::function<std::optional<double>()>& operate) {
        read_map("switching_rl.map");
        for (auto* a : {&STORAGE.STORF, &STORAGE.STOR}) a->allocate(64);
        STORAGE.STORI.allocate(64);
        HOOKED_CASE.on_dsd = [&operate] {
            if (RUN_CLOCK.NSTEP == 0) CHK_SWITCH_R(1, 2, 1e-3, HUGE_VAL, 0.0, 0.0, "TEST_SWITCH");
            if (const std::optional<double> at = operate()) {
                NET.IORV(2, 1) = 8;
                NET.SWVAL(2, 1) = *at;
            }
        };
        start();
        std::vector<double> current;
        for (int32_t n = 0; n <= kSteps; ++n) {
            EXPECT_TRUE(step()) << n;
            current.push_back(I(3));
        }
        EXPECT_EQ(array_overrun_count(), 0);
        return current;
    }
};

TEST_P(BlocksSwitchACircuit, AtTheReportedInstant) {
    const SwitchedCase& c = GetParam();
    std::vector<double> reported;
    double last = 0.0;
    const std::vector<double> by_blocks = run([&]() -> std::optional<double> {
        const INTERP_PAIR r = c.chain(c.flag);
        const bool changed = RUN_CLOCK.NSTEP > 0 && r.value != last;
        last = r.value;
        if (!changed) return std::nullopt;
        reported.push_back((RUN_CLOCK.TIME - r.time) / kDt);
        return RUN_CLOCK.TIME - r.time;
    });
    ASSERT_EQ(reported.size(), c.instants.size());
    for (size_t k = 0; k < reported.size(); ++k) EXPECT_NEAR(reported[k], c.instants[k], 1e-12) << k;

    size_t next = 0;
    const std::vector<double> analytic = run([&]() -> std::optional<double> {
        if (next >= c.instants.size() || c.instants[next] > RUN_CLOCK.NSTEP) return std::nullopt;
        return c.instants[next++] * kDt;
    });
    double worst = 0.0;
    for (size_t n = 0; n < analytic.size(); ++n) worst = std::max(worst, std::fabs(by_blocks[n] - analytic[n]));
    EXPECT_LT(worst, 1e-11 * kFinal);
    EXPECT_GT(*std::max_element(analytic.begin(), analytic.end()), 0.01 * kFinal);  // the switch closed
}

INSTANTIATE_TEST_SUITE_P(Blocks, BlocksSwitchACircuit,
                         ::testing::ValuesIn(std::vector<SwitchedCase>{
                             {"Comparator", comparator, 1, {10.37}},
                             {"HysteresisOnARamp", hysteresis, 1, {10.37}},
                             {"IntegratorThroughAComparator", integrated, 1, {12.37}},
                             {"OnDelay", delayed, 1, {12.62}},
                             {"Monostable", pulse, 1, {10.37, 13.87}},
                             {"ComparatorAtStepEnd", comparator, 0, {11}},
                             {"HysteresisAtStepEnd", hysteresis, 0, {11}},
                             {"IntegratorAtStepEnd", integrated, 0, {13}},
                             {"OnDelayAtStepEnd", delayed, 0, {14}},
                             {"MonostableAtStepEnd", pulse, 0, {11, 15}},
                         }),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
