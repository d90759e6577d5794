// Six-phase angles, the interpolating sample-and-hold, single raise and
// lower steps with their lock-out, and the phase between crossings.
#include <cmath>
#include <numbers>
#include <vector>

#include "controls/stepping/stepping_blocks.h"
#include "controls/tests/elementary_support.h"

namespace {

using ::testing::ValuesIn;
constexpr double kPi = std::numbers::pi;

std::vector<DisciplineRow> stepping_rows() {
    std::vector<DisciplineRow> rows;
    add_flag_rows(rows, "SAMPLE_HOLD_INTERP", {.stor = 5}, 2,
                  {{"idle", {}, {0.0, 0.0, 0.0, 0.0, 0.0}}, {"due", {}, {0.0, 0.5, 0.5, 1e-6, 1e6}}},
                  [](const FlagSet& f, size_t) { SAMPLE_HOLD_INTERP(1.0, 1e6, f[0], 1e-5, f[1]); });
    const std::vector<SlotState> lock{{"free", {}, {}, {}, {0}}, {"locked", {}, {}, {}, {1}}};
    add_flag_rows(rows, "UPDOWN_STEP", {.stor = 3, .stori = 1}, 2, lock,
                  [](const FlagSet& f, size_t) { UPDOWN_STEP(f[0], f[1], 3, 1, 1e-3); });
    add_flag_rows(rows, "UPDOWN_STEP_RTC", {.stor = 3, .stori = 1, .rtci = 1}, 2,
                  {{"free", {}, {}, {}, {0}, {3}}, {"locked", {}, {}, {}, {1}, {3}}}, [](const FlagSet& f, size_t) {
                      int32_t out;
                      UPDOWN_STEP_RTC(f[0], f[1], 1, out, 1e-3);
                  });
    rows.push_back({"UPDOWN_STEP_SETUP", {.rtci = 1}, [] { UPDOWN_STEP_SETUP(4); }});
    add_flag_rows(rows, "PHASE_DIFF_CROSSINGS", {.stor = 2, .storf = 2, .stori = 4}, 1,
                  {{"idle", {0.0, 0.0}, {1.0, -1.0}, {}, {0, 0, 0, 0}},
                   {"running", {0.0, 10.0}, {1.0, -1.0}, {}, {1, 1, 0, 1}}},
                  [](const FlagSet& f, size_t) {
                      double out = 0.0;
                      int32_t n;
                      PHASE_DIFF_CROSSINGS(-1.0, 1.0, out, f[0], 50.0, n);
                  });
    return rows;
}

INSTANTIATE_TEST_SUITE_P(Stepping, SlotDiscipline, ValuesIn(stepping_rows()), discipline_row_name);

TEST(SixPhaseAngles, DegreesAndRadians) {
    std::vector<double> A{kPi / 6, 0, 0, 0, 0, 0};
    SIX_PHASE_ANGLES(1, A.data());
    const std::vector<double> degrees{30, 330, 270, 210, 150, 90};
    for (int i = 0; i < 6; ++i) EXPECT_NEAR(A[i], degrees[i], 1e-12) << i;
    std::vector<double> R(6, 0.0);
    SIX_PHASE_ANGLES(0, R.data());
    const double third = 1.047197551196598;
    const std::vector<double> radians{0, 6.283185307179586 - third, 6.283185307179586 - 2 * third,
                                      6.283185307179586 - 3 * third, 6.283185307179586 - 4 * third,
                                      6.283185307179586 - 5 * third};
    for (int i = 0; i < 6; ++i) EXPECT_NEAR(R[i], radians[i], 1e-15) << i;
}

// X = step number; the held values on the own clock and on a trigger.
TEST(SampleHold, ClockAndTrigger) {
    reset_block_stores();
    const auto run = [](double F, int32_t mode, const std::function<double(int)>& X,
                        const std::function<std::pair<int32_t, double>(int)>& trig = {}) {
        return outputs(6, [&](int step) {
            const auto [t, T] = trig ? trig(step) : std::pair<int32_t, double>{0, 0.0};
            return SAMPLE_HOLD_INTERP(X(step), F, t, T, mode);
        });
    };
    const auto ramp = [](int step) { return 1.0 * step; };
    EXPECT_EQ(run(1e6, 0, ramp), (std::vector<double>{1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(run(1e-11, 0, ramp), (std::vector<double>{1, 1, 1, 1, 1, 1}));
    // Period 1.75 steps from 0: the instant of step 3's sample lies a
    // quarter of a step before its end, between inputs 0 and 1.
    const std::vector<double> q = run(1.0 / (1.75 * kDelt), 0, [](int step) { return step >= 3 ? 1.0 : 0.0; });
    EXPECT_NEAR(q[2], 0.75, 1e-9);
    const std::vector<double> t = run(0.0, 1, ramp, [](int step) {
        const std::vector<std::pair<int32_t, double>> trig{{0, 0}, {1, kDelt}, {1, -1.0}, {0, 0}, {1, 0.25 * kDelt}, {2, 0}};
        return trig[step - 1];
    });
    EXPECT_EQ(t, (std::vector<double>{1, 2, 3, 3, 4.75, 6}));  // seeded, then triggered but at step 4
}

class UpDown : public BlockTest {
protected:
    void SetUp() override {
        BlockTest::SetUp();
        RUN_CLOCK.DELT = 1.0 / 128;
    }
};

TEST_F(UpDown, RequestsAgainstTheLimits) {
    struct Case { int32_t A, B, D, expected; };
    for (const Case c : {Case{1, 0, 4, 0}, Case{0, 1, 0, 0}, Case{1, 1, 2, -1}, Case{1, 0, 2, 1}, Case{0, 1, 4, -1}}) {
        clear_block_stores();
        begin_step(3);
        EXPECT_EQ(UPDOWN_STEP(c.A, c.B, 4, c.D, 0.05), c.expected) << c.A << c.B << c.D;
    }
}

// A raise request from step 3 on: a step, then nothing up to and
// including the step whose end reaches the lock-out end, then a step.
TEST_F(UpDown, LockOutAfterEachStep) {
    int32_t D = 0;
    const std::vector<double> r = outputs(16, [&](int step) {
        const int32_t out = UPDOWN_STEP(step >= 4 ? 1 : 0, 0, 10, D, 5.0 / 128);
        D += out;
        return 1.0 * out;
    });
    EXPECT_EQ(r, (std::vector<double>{0, 0, 0, 1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 1}));
}

// On from the first step of a run: no lock-out until the trigger has
// been 0 for a step; the count stops at its limit. The run part reads the
// limit that its set-up wrote.
TEST_F(UpDown, RequestFromTheFirstStepWithSetUp) {
    int32_t D = 0;
    const ModuleRun r = run_module(
        8, [] { UPDOWN_STEP_SETUP(3); },
        [&](int) {
            int32_t out = 7;
            UPDOWN_STEP_RTC(1, 0, D, out, 5.0 / 128);
            D += out;
            return 1.0 * out;
        });
    EXPECT_EQ(r.out, (std::vector<double>{1, 1, 1, 0, 0, 0, 0, 0}));
    EXPECT_EQ(D, 3);
}

struct PhaseCase {
    const char* name;
    double x1_fall_ms;  // first falling crossing of X1 (then every 20 ms)
    int arm_step;       // -1: never armed
    double expected;
};
void PrintTo(const PhaseCase& c, std::ostream* os) { *os << c.name; }
class PhaseDiff : public BlockTest, public ::testing::WithParamInterface<PhaseCase> {};

// X2 rises at 10 ms and every 20 ms after.
TEST_P(PhaseDiff, MeasuresOnceWhenArmed) {
    const PhaseCase& c = GetParam();
    const double w = 2 * kPi * 50;
    double out = 0.0;
    int news = 0;
    outputs(1000, [&](int step) {
        const double t = RUN_CLOCK.TIME + 0.5 * kDelt;
        int32_t n = 0;
        PHASE_DIFF_CROSSINGS(std::cos(w * (t - c.x1_fall_ms * 1e-3 + 5e-3)), -std::sin(w * t), out,
                             step - 1 == c.arm_step ? 1 : 0, 50.0, n);
        news += n;
        return out;
    });
    EXPECT_EQ(news, c.arm_step < 0 ? 0 : 1);
    EXPECT_NEAR(out, c.expected, 1e-9);
}

INSTANTIATE_TEST_SUITE_P(Crossings, PhaseDiff,
                         ValuesIn(std::vector<PhaseCase>{{"X2Later", 5.0, 0, 90.0},
                                                         {"X2Earlier", 15.0, 0, -90.0},
                                                         {"NotArmed", 5.0, -1, 0.0}}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
