// Limited and sampled first-order blocks: exact responses over held
// stretches, resets, limits and their slots.
#include "controls/linear/linear_blocks.h"

#include <cmath>
#include <functional>
#include <limits>
#include <vector>

#include "controls/tests/slot_discipline.h"

namespace {

using ::testing::ValuesIn;

// One block call with its input and flags; the rest of its data is fixed
// by the test.
using Block = std::function<double(double X, int32_t reset, int32_t enable)>;

std::vector<DisciplineRow> linear_rows() {
    std::vector<DisciplineRow> rows;
    // Called every step, or after three held calls.
    const std::vector<SlotState> limited{{"everyStep", std::vector<double>(6, 0.25), {}, {}, {0, 1}},
                                         {"afterHeld", std::vector<double>(6, 0.25), {}, {}, {3, 1}}};
    std::vector<SlotState> sampled{{"everyStep", {}, {0.25, 0.25, 1e-3, 0.5, 0.5, 0, 1, 0, 0.25}},
                                   {"afterHeld", {}, {0.25, 0.25, 1e-3, 0.5, 0.5, 3, 1, 0, 0.25}}};
    const auto counts = [](int32_t storf) { return SlotCounts{.storf = storf, .stori = 2}; };
    add_flag_rows(rows, "LAG_LIMITED", counts(5), 3, {{"everyStep", std::vector<double>(5, 0.25), {}, {}, {0, 1}}},
                  [](const FlagSet& f, size_t) { LAG_LIMITED(f[0], f[1], f[2], 2.0, 1e-3, 1.0, 0.5, -1.0, 1.0); });
    add_flag_rows(rows, "WASHOUT_LIMITED", counts(5), 3, {{"afterHeld", std::vector<double>(5, 0.25), {}, {}, {3, 1}}},
                  [](const FlagSet& f, size_t) { WASHOUT_LIMITED(f[0], f[1], f[2], -2.0, 1e-3, 1.0, 0.5, -1.0, 1.0); });
    add_flag_rows(rows, "LEAD_LAG_LIMITED", counts(6), 3, limited, [](const FlagSet& f, size_t) {
        LEAD_LAG_LIMITED(f[0], f[1], f[2], 2e-3, 1e-3, 2.0, 1.0, 0.5, -1.0, 1.0);
    });
    const SlotCounts eight{.stor = 8};
    add_flag_rows(rows, "PI_SAMPLED", {.stor = 9}, 2, sampled,
                  [](const FlagSet& f, size_t) { PI_SAMPLED(2.0, 1e-3, -1.0, 1.0, 0.5, 1.0, f[0], f[1]); });
    for (SlotState& st : sampled) st.S.pop_back();
    add_flag_rows(rows, "LAG_SAMPLED", eight, 2, sampled,
                  [](const FlagSet& f, size_t) { LAG_SAMPLED(2.0, 1e-3, 1.0, 0.5, f[0], f[1]); });
    add_flag_rows(rows, "DIFF_LAG_SAMPLED", eight, 2, sampled,
                  [](const FlagSet& f, size_t) { DIFF_LAG_SAMPLED(2.0, 0.0, 1.0, 0.5, f[0], f[1]); });
    add_flag_rows(rows, "LEAD_LAG_SAMPLED", eight, 2, sampled,
                  [](const FlagSet& f, size_t) { LEAD_LAG_SAMPLED(2e-3, 1e-3, 0.0, 1.0, 0.5, f[0], f[1]); });
    add_flag_rows(rows, "INTEGRATOR_SAMPLED", eight, 2, sampled,
                  [](const FlagSet& f, size_t) { INTEGRATOR_SAMPLED(0.5, -1.0, 1.0, 1e-3, 1.0, f[0], f[1]); });
    return rows;
}

INSTANTIATE_TEST_SUITE_P(Linear, SlotDiscipline, ValuesIn(linear_rows()), discipline_row_name);

class LinearBlocks : public RunBlockTest {
protected:
    // Step 0 with X 0, then steps 1.. with X 1, enabled where `enabled`
    // says; the output after `steps` steps.
    static double run(const Block& block, int steps, const std::function<bool(int)>& enabled = {}) {
        double y = 0.0;
        for (int n = 0; n <= steps; ++n) {
            begin_step(n);
            y = block(n == 0 ? 0.0 : 1.0, 0, !enabled || enabled(n) ? 1 : 0);
        }
        return y;
    }
};

struct ExactCase {
    const char* name;
    Block block;
    int steps;
    double expected;
    std::function<bool(int)> enabled = {};
};
void PrintTo(const ExactCase& c, std::ostream* os) { *os << c.name; }

class ExactResponse : public LinearBlocks, public ::testing::WithParamInterface<ExactCase> {};

TEST_P(ExactResponse, AfterTheGivenSteps) {
    const ExactCase& c = GetParam();
    EXPECT_NEAR(run(c.block, c.steps, c.enabled), c.expected, 1e-12 * std::max(1.0, std::fabs(c.expected)));
}

Block lag(double G, double T) {
    return [=](double X, int32_t r, int32_t e) { return LAG_LIMITED(r, e, 0, G, T, X, 0.0, 0.0, 0.0); };
}
Block lag_sampled(double G, double T) {
    return [=](double X, int32_t r, int32_t e) { return LAG_SAMPLED(G, T, X, 0.0, r, e); };
}
bool every_fifth(int n) { return n % 5 == 0; }
bool after_nine_held(int n) { return n == 0 || n == 10; }
bool after_four_held(int n) { return n == 0 || n == 5; }

INSTANTIATE_TEST_SUITE_P(
    Values, ExactResponse,
    ValuesIn(std::vector<ExactCase>{
        {"LagOneCall", lag(1.0, 0.2), 1, 2.4996875260e-4},
        {"LagOneTimeConstant", lag(1.0, 0.2), 4000, 0.6321205588285577},
        {"LagEnabledEveryFifthStep", lag(1.0, 0.2), 4000, 0.6321205588285577, every_fifth},
        {"LagHeldFourThenEnabled", lag(1.0, 0.01), 5, 0.0246900879716674, after_four_held},
        {"WashoutOneCall",
         [](double X, int32_t r, int32_t e) { return WASHOUT_LIMITED(r, e, 0, 1.0, 0.01, X, 0.0, 0.0, 0.0); }, 1,
         0.9950124791926823},
        {"WashoutOneTimeConstant",
         [](double X, int32_t r, int32_t e) { return WASHOUT_LIMITED(r, e, 0, 1.0, 0.01, X, 0.0, 0.0, 0.0); }, 200,
         std::exp(-1.0)},
        {"LeadLagOneCall",
         [](double X, int32_t r, int32_t e) { return LEAD_LAG_LIMITED(r, e, 0, 0.02, 0.01, 1.0, X, 0.0, 0.0, 0.0); }, 1,
         1.9950124791926823},
        {"LeadLagOneTimeConstant",
         [](double X, int32_t r, int32_t e) { return LEAD_LAG_LIMITED(r, e, 0, 0.02, 0.01, 1.0, X, 0.0, 0.0, 0.0); },
         200, 1.0 + std::exp(-1.0)},
        {"LagLowerLimitFromTheFirstStep",
         [](double X, int32_t r, int32_t e) { return LAG_LIMITED(r, e, 1, 1.0, 0.01, 0.0 * X, 0.0, 0.1, 1e8); }, 3,
         0.1},
        {"SampledLagOneTimeConstant", lag_sampled(2.0, 1e-3), 20, 1.2642411176571153},
        {"SampledLagHeldNine", lag_sampled(2.0, 1e-3), 10, 0.7869386805747332, after_nine_held},
        {"SampledDerivativeOfAStep",
         [](double X, int32_t r, int32_t e) { return DIFF_LAG_SAMPLED(1.0, 0.0, X, 0.0, r, e); }, 1, 7357.588823428847},
        {"SampledIntegratorCrossedLimits",
         [](double X, int32_t r, int32_t e) { return INTEGRATOR_SAMPLED(0.0, 5.0, 1.0, 1e-3, X, r, e); }, 3, 5.0},
        {"SampledIntegratorRamp",
         [](double X, int32_t r, int32_t e) { return INTEGRATOR_SAMPLED(0.0, -9.0, 9.0, 1e-3, X, r, e); }, 4,
         0.025 + 3 * 0.05},
    }),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(LinearBlocks, LagReachesItsExactValueAtEveryFifthStepWhenEnabledOnlyThen) {
    for (int n = 0; n <= 4000; ++n) {
        begin_step(n);
        const double y = LAG_LIMITED(0, n % 5 == 0, 0, 1.0, 0.2, n == 0 ? 0.0 : 1.0, 0.0, 0.0, 0.0);
        const int last_enabled = n - n % 5;
        ASSERT_NEAR(y, 1.0 - std::exp(-last_enabled / 4000.0), 1e-12) << n;
    }
}

// A held-call count restored at the largest integer stays there: the lag
// has settled on its input, not overflowed into an infinite decay.
TEST_F(LinearBlocks, HeldCountAtTheLargestIntegerSettlesTheLag) {
    begin_step(0);
    LAG_LIMITED(0, 1, 0, 2.0, 0.2, 0.0, 0.0, 0.0, 0.0);
    STORAGE.STORI(start_slots().stori) = std::numeric_limits<int32_t>::max();
    begin_step(1);
    EXPECT_EQ(LAG_LIMITED(0, 1, 0, 2.0, 0.2, 1.0, 0.0, 0.0, 0.0), 2.0);
}

TEST_F(LinearBlocks, ResetSetsTheOutputThenTheLagMovesOnFromIt) {
    begin_step(0);
    EXPECT_EQ(LAG_LIMITED(1, 1, 0, 2.0, 0.2, 0.0, 0.7, 0.0, 0.0), 0.7);
    begin_step(1);
    EXPECT_NEAR(LAG_LIMITED(0, 1, 0, 2.0, 0.2, 1.0, 0.7, 0.0, 0.0), 0.7003249593783851, 1e-15);
}

TEST_F(LinearBlocks, NegativeGainKeepsItsLimitsInOrder) {
    for (const auto& [x, expected] : {std::pair{0.25, -0.5}, std::pair{1.0, -1.0}, std::pair{-3.0, 1.0}}) {
        clear_block_stores();
        begin_step(1);
        EXPECT_EQ(LAG_LIMITED(0, 1, 1, -2.0, 0.0, x, 0.0, -1.0, 1.0), expected) << x;
        EXPECT_EQ(LEAD_LAG_LIMITED(0, 1, 1, 0.0, 0.0, -2.0, x, 0.0, -1.0, 1.0), expected) << x;
    }
}

TEST_F(LinearBlocks, HeldFromTheStartTheLagsSitInSteadyStateAndTheWashoutAtZero) {
    const auto held = [](const Block& block, double expected) {
        clear_block_stores();
        for (int n = 0; n < 3; ++n) {
            begin_step(n);
            EXPECT_EQ(block(0.75, 0, 0), expected) << n;
        }
    };
    held([](double X, int32_t r, int32_t e) { return LAG_LIMITED(r, e, 1, 2.0, 0.01, X, 0.0, -1.0, 1.0); }, 1.0);
    held([](double X, int32_t r, int32_t e) { return WASHOUT_LIMITED(r, e, 0, 2.0, 0.01, X, 0.0, -1.0, 1.0); }, 0.0);
    const Block lead_lag = [](double X, int32_t r, int32_t e) {
        return LEAD_LAG_LIMITED(r, e, 0, 0.02, 0.01, 2.0, X, 0.0, -1.0, 1.0);
    };
    held(lead_lag, 1.5);
    // The hold path never wrote the input: the first enabled call, four
    // steps on, sees a step from 0.
    begin_step(3);
    const double f = std::exp(-0.02);
    EXPECT_NEAR(lead_lag(0.75, 0, 1), 2.0 * (0.75 * f + 0.75 * (1 - f) + 0.75 * 2.0 * f), 1e-12);
}

TEST_F(LinearBlocks, SampledResetWhileHeldTakesY0AtOnceAndTheNextEnabledCallStartsThere) {
    std::vector<double> y;
    for (int n = 0; n < 4; ++n) {
        begin_step(n);
        y.push_back(LAG_SAMPLED(1.0, 1e-3, 1.0, 0.4, n == 1 ? 1 : 0, n == 3 ? 1 : 0));
    }
    EXPECT_EQ(y[0], 0.0);
    EXPECT_EQ(y[1], 0.4);
    EXPECT_EQ(y[2], 0.4);
    EXPECT_NEAR(y[3], 0.4 * std::exp(-0.2) + 1.0 - std::exp(-0.2), 1e-15);  // n = 4
}

TEST_F(LinearBlocks, SampledPiHoldsBothPartsAndAResetSetsItsOutput) {
    begin_step(0);
    EXPECT_EQ(PI_SAMPLED(2.0, 1e-3, -5.0, 5.0, 0.3, 0.1, 1, 1), 0.3);
    EXPECT_EQ(STORAGE.STOR(kStartSlots.stor + 8), 0.2);
    begin_step(1);
    const double y = PI_SAMPLED(2.0, 1e-3, -5.0, 5.0, 0.3, 0.1, 0, 1);
    EXPECT_DOUBLE_EQ(y, 0.3 + 0.1 * kDelt / 1e-3);
    begin_step(2);
    EXPECT_EQ(PI_SAMPLED(2.0, 1e-3, -5.0, 5.0, 0.3, 4.0, 0, 0), y);
    EXPECT_EQ(POINTER_BLOCK.NEXC, kStartSlots.stor - 1 + 9);
}

}  // namespace
