// Phase-locked loops on analytic three-phase sets, the Park
// transformation, the table and the crossing-driven pulse blocks.
#include "controls/sync/sync_blocks.h"

#include <bit>
#include <cmath>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "controls/tests/elementary_support.h"

namespace {

using ::testing::ValuesIn;

constexpr double kPi = 3.141592653589793;
constexpr double kTwoPi = 2.0 * kPi;
constexpr double kOffset = 1.57079632679;

// Phase A m*sin(angle), B and C lagging and leading it by 120 degrees.
struct ThreePhase {
    double a, b, c;
};
ThreePhase set_at(double m, double angle) {
    return {m * std::sin(angle), m * std::sin(angle - kTwoPi / 3.0), m * std::sin(angle + kTwoPi / 3.0)};
}

std::vector<DisciplineRow> sync_rows() {
    std::vector<DisciplineRow> rows;
    static double out1, out2, out3;
    const ThreePhase v = set_at(1.0, 0.3);
    rows.push_back({"PLL_3PH_ASIN", {.stor = 3}, [v] { PLL_3PH_ASIN(v.a, v.b, v.c, 10, 100, 1, 60, out1, out2, out3); }});
    rows.push_back({"PLL_3PH_ATAN_A", {.stor = 3}, [v] {
                        PLL_3PH_ATAN_A(v.a, v.b, v.c, 10, 100, 1, 60, 0.1, 1.0, out1, out2, out3);
                    }});
    rows.push_back({"PLL_3PH_ATAN_B", {.stor = 3}, [v] {
                        PLL_3PH_ATAN_B(v.a, v.b, v.c, 10, 100, 0, 60, 0.1, 0.0, out1, out2, out3);
                    }});
    rows.push_back({"PLL_3PH_TRACK_SETUP", {.rtcf = 2}, [] { PLL_3PH_TRACK_SETUP(0.0, 60.0); }});
    for (double upper : {1.0, 1.6})
        rows.push_back({std::string("PLL_3PH_TRACK_") + (upper > 1.0 ? "good" : "badBounds"), {.storf = 2, .rtcf = 2},
                        [v, upper] {
                            capture([&] { PLL_3PH_TRACK(v.a, v.b, v.c, 10, 100, 0.1, 1.0, upper, upper - 1.0, out1, out2, out3); });
                        }});
    for (int32_t trig : flag_values())
        rows.push_back({"PULSE_TIMER_f" + flag_name(trig), {.stor = 2}, [trig] { PULSE_TIMER(trig, 1e-3); }});
    for (int32_t in : flag_values())
        rows.push_back({"ZC_PULSE_f" + flag_name(in), {.stor = 3}, [in] { ZC_PULSE(in, 1e-3); }});
    rows.push_back({"ZC_SIX_CHANNEL", {.stor = 12, .storf = 6, .stori = 6}, [] {
                        const double X[6] = {1, -1, 2, -2, 0, 3}, G[6] = {1, 2, 3, 4, 5, 6};
                        ZC_SIX_CHANNEL(X, G, 0.5, 0.01, out1, out2, out3);
                    }});
    return rows;
}

INSTANTIATE_TEST_SUITE_P(Sync, SlotDiscipline, ValuesIn(sync_rows()), discipline_row_name);

struct Track {
    std::vector<double> theta, err, f;
};

// The tracking loop on a unit set whose frequency steps from 60 to f2 at
// t_step, keeping its phase continuous.
Track run_track(int steps, double f2, double t_step, double& phase_out) {
    Track r;
    double phase = 0.0;
    ModuleRun run = run_module(steps, [] { PLL_3PH_TRACK_SETUP(1.0, 60.0); }, [&](int step) {
        const double t = (step - 1) * kDelt;
        if (step > 1) phase += kTwoPi * (t - kDelt >= t_step - 1e-12 ? f2 : 60.0) * kDelt;
        const ThreePhase v = set_at(1.0, phase);
        double theta, err, f;
        PLL_3PH_TRACK(v.a, v.b, v.c, 177.7, 15791.0, kOffset, 0.05, 1.6, 0.001, theta, err, f);
        r.theta.push_back(theta);
        r.err.push_back(err / 57.29577951308232);
        r.f.push_back(f);
        return theta;
    });
    EXPECT_EQ(run.console.out, "");
    phase_out = phase;
    return r;
}

double wrapped(double a) { return std::remainder(a, kTwoPi); }

TEST_F(BlockTest, TrackingLoopLocksOnSixtyHertz) {
    double phase;
    const Track r = run_track(4001, 60.0, 1.0, phase);
    EXPECT_NEAR(r.theta[0], 2.0 * kPi - kOffset, 1e-15);
    EXPECT_NEAR(r.theta[0], 1.5 * kPi, 1e-11);
    EXPECT_LT(std::fabs(wrapped(r.theta.back() - (phase - kOffset))), 1e-6);
    EXPECT_NEAR(r.f.back(), 60.0, 1e-6);
}

TEST_F(BlockTest, TrackingLoopFollowsAFrequencyStep) {
    double phase;
    const Track r = run_track(12001, 61.0, 0.3, phase);
    const size_t at_step = 6000;
    double peak = 0.0;
    size_t last_outside = at_step;
    for (size_t k = at_step; k < r.f.size(); ++k) {
        peak = std::max(peak, std::fabs(r.err[k]));
        if (std::fabs(r.f[k] - 61.0) > 0.01) last_outside = k;
    }
    EXPECT_NEAR(peak, 0.0228, 0.02 * 0.0228);
    EXPECT_LE((last_outside + 1 - at_step) * kDelt, 0.045);
    EXPECT_NEAR(r.f.back(), 61.0, 1e-6);
}

TEST_F(BlockTest, TrackingBoundsOutsideTheirRangesAreWarnedEveryStepAndReplaced) {
    // With UPPER 1.2 the loop saturates at 72 Hz on a 100 Hz input.
    ModuleRun run = run_module(3, [] { PLL_3PH_TRACK_SETUP(1.0, 60.0); }, [](int step) {
        const ThreePhase v = set_at(1.0, 1.0 + kTwoPi * 100.0 * (step - 1) * kDelt);
        double theta, err, f;
        PLL_3PH_TRACK(v.a, v.b, v.c, 1e6, 0.0, 0.0, -1.0, 1.0, 0.0, theta, err, f);
        return f;
    });
    const std::string warn = " ***WARN*** Upper tracking boundary must be greater than 1.0\n"
                             " ***WARN*** Lower tracking boundary must be positive, but smaller than 1.0\n";
    EXPECT_EQ(run.console.out, warn + warn + warn);
    for (double f : run.out) EXPECT_TRUE(std::fabs(f - 72.0) < 1e-9 || std::fabs(f - 48.0) < 1e-9) << f;
}

struct LoopCase {
    const char* name;
    double lower, upper;  // frequency limits over F0
    std::function<double(const ThreePhase&, double vbase, double& theta)> call;  // returns F
    // The product detector slips cycles far below its floor instead of
    // resting on it.
    bool rests_on_floor = true;
};

void PrintTo(const LoopCase& c, std::ostream* os) { *os << c.name; }

class OtherLoops : public BlockTest, public ::testing::WithParamInterface<LoopCase> {};

TEST_P(OtherLoops, LockOnSixtyHertzAndSaturateAtTheirLimits) {
    const LoopCase& c = GetParam();
    for (double f_in : {60.0, 200.0, 5.0}) {
        if (f_in < 60.0 && !c.rests_on_floor) continue;
        double theta = 0.0;
        const std::vector<double> f = outputs(8001, [&](int step) {
            return c.call(set_at(1.0, kTwoPi * f_in * (step - 1) * kDelt), 1.0, theta);
        });
        const double want = f_in == 60.0 ? 60.0 : f_in > 60.0 ? 60.0 * c.upper : 60.0 * c.lower;
        EXPECT_NEAR(f.back(), want, 1e-6) << f_in;
    }
    // No base: 1 is used.
    double theta = 0.0;
    const std::vector<double> f = outputs(2, [&](int) { return c.call(set_at(1.0, 0.3), 0.0, theta); });
    EXPECT_TRUE(std::isfinite(f.back()) && std::isfinite(theta));
    // A negative base keeps its sign.
    outputs(1, [&](int) { return c.call(set_at(1.0, 0.3), -2.0, theta); });
    EXPECT_EQ(BlockSlots{}.S(2), -0.5);  // the module's pointers start at 1
}

TEST_F(BlockTest, TrackingSetUpTakesOneForABaseNotAboveTheGuard) {
    run_module(0, [] { PLL_3PH_TRACK_SETUP(-2.0, 60.0); }, [](int) { return 0.0; });
    EXPECT_EQ(BlockSlots{}.RF(0), 1.0);
    EXPECT_EQ(BlockSlots{}.RF(1), kTwoPi * 60.0);
}

INSTANTIATE_TEST_SUITE_P(
    Loops, OtherLoops,
    ValuesIn(std::vector<LoopCase>{
        {"AtanA", 0.5, 1.5,
         [](const ThreePhase& v, double base, double& theta) {
             double err, f;
             PLL_3PH_ATAN_A(v.a, v.b, v.c, 177.7, 15791.0, base, 60.0, 0.0, 0.0, theta, err, f);
             return f;
         }},
        {"AtanB", 0.8, 1.2,
         [](const ThreePhase& v, double base, double& theta) {
             double err, f;
             PLL_3PH_ATAN_B(v.a, v.b, v.c, 177.7, 15791.0, base, 60.0, 0.0, 0.0, theta, err, f);
             return f;
         }},
        {"Asin", 0.8, 1.2,
         [](const ThreePhase& v, double base, double& theta) {
             double err, f;
             PLL_3PH_ASIN(v.a, v.b, v.c, 177.7, 15791.0, base, 60.0, f, theta, err);
             return f;
         },
         false},
    }),
    [](const auto& info) { return std::string(info.param.name); });

TEST(AbcDq0, BackAndForthGivesTheInputsAndABalancedSetIsConstant) {
    std::mt19937 gen(7);
    std::uniform_real_distribution<double> u(-5.0, 5.0);
    for (int k = 0; k < 50; ++k) {
        const double a = u(gen), b = u(gen), c = u(gen), th = u(gen);
        double A = a, B = b, C = c, D, Q, Z;
        ABC_DQ0(A, B, C, D, Q, Z, th, 0);
        A = B = C = 99.0;
        ABC_DQ0(A, B, C, D, Q, Z, th, -1);
        EXPECT_NEAR(A, a, 1e-12);
        EXPECT_NEAR(B, b, 1e-12);
        EXPECT_NEAR(C, c, 1e-12);
    }
    const double m = 1.7, phi = 0.6;
    for (double th : {0.0, 1.0, 4.0}) {
        double A = m * std::cos(th + phi), B = m * std::cos(th + phi - kTwoPi / 3.0),
               C = m * std::cos(th + phi - 2.0 * kTwoPi / 3.0), D, Q, Z;
        ABC_DQ0(A, B, C, D, Q, Z, th, 0);
        EXPECT_NEAR(D, m * std::cos(phi), 1e-12);
        EXPECT_NEAR(Q, -m * std::sin(phi), 1e-12);
        EXPECT_NEAR(Z, 0.0, 1e-12);
    }
    // Back into the very variables it reads.
    double v[3] = {1.0, 2.0, 3.0};
    ABC_DQ0(v[0], v[1], v[2], v[0], v[1], v[2], 0.0, -1);
    EXPECT_NEAR(v[0], 3.0 + 1.0, 1e-12);
}

// Angles repeated, of either zero and not numbers: every call gives the
// bits of the transformation worked out afresh.
TEST(AbcDq0, RepeatedAnglesGiveTheBitsOfAFreshTransformation) {
    const double nan = std::nan("");
    const double angles[] = {0.3, 0.3, -0.0, -0.0, 0.0, -0.0, nan, nan, 2.5, 0.3, 2.5, 2.5};
    const auto bits = [](double x) { return std::bit_cast<uint64_t>(x); };
    int call = 0;
    for (const double th : angles)
        for (const int32_t dir : {0, -1}) {
            ++call;
            const double ca = std::cos(th), cb = std::cos(th - 2.094395102393195), cc = 0.0 - ca - cb;
            const double sa = std::sin(th), sb = std::sin(th - 2.094395102393195), sc = 0.0 - sa - sb;
            double A = -1.5, B = 0.0, C = 2.25, D = -0.0, Q = 0.75, Z = 1.0;
            double want[3];
            if (dir >= 0) {
                want[0] = 0.666666666666667 * (A * ca + B * cb + C * cc);
                want[1] = 0.666666666666667 * (A * sa + B * sb + C * sc);
                want[2] = 0.333333333333333 * (A + B + C);
            } else {
                want[0] = Z + Q * sa + D * ca;
                want[1] = Z + Q * sb + D * cb;
                want[2] = Z + D * cc + Q * sc;
            }
            ABC_DQ0(A, B, C, D, Q, Z, th, dir);
            const double got[3] = {dir >= 0 ? D : A, dir >= 0 ? Q : B, dir >= 0 ? Z : C};
            for (int k = 0; k < 3; ++k) EXPECT_EQ(bits(got[k]), bits(want[k])) << "call " << call << ", value " << k;
        }
}

TEST(TableInterp, InsideOutsideFlatAndDegenerateTables) {
    const double XT[4] = {0.0, 1.0, 1.0, 3.0}, YT[4] = {0.0, 2.0, 5.0, 9.0};
    EXPECT_DOUBLE_EQ(TABLE_INTERP(4, XT, YT, 0.5), 1.0);
    EXPECT_DOUBLE_EQ(TABLE_INTERP(4, XT, YT, -1.0), -2.0);
    EXPECT_DOUBLE_EQ(TABLE_INTERP(4, XT, YT, 2.0), 7.0);
    EXPECT_DOUBLE_EQ(TABLE_INTERP(4, XT, YT, 5.0), 13.0);
    EXPECT_DOUBLE_EQ(TABLE_INTERP(3, XT, YT, 1.5), 5.0);  // past a segment of no width
    EXPECT_DOUBLE_EQ(TABLE_INTERP(1, XT + 3, YT + 3, -4.0), 9.0);
    const Captured c = stopped([&] { TABLE_INTERP(0, XT, YT, 1.0); });
    EXPECT_TRUE(c.aborted);
    EXPECT_EQ(c.out, data_error_text("Table needs at least one point", "TABLE_INTERP"));
}

TEST_F(BlockTest, PulsesLastTheirDurationAndRestartOnRisingInputsOnly) {
    const double dur = 3.0 * kDelt;
    EXPECT_EQ(outputs(4, [&](int step) { return 1.0 * PULSE_TIMER(step == 2 ? 1 : 0, dur); }),
              (std::vector<double>{0, 1, 1, 1}));
    EXPECT_EQ(outputs(8, [&](int step) { return 1.0 * PULSE_TIMER(step == 2 ? 1 : 0, dur); }).back(), 0.0);
    EXPECT_EQ(outputs(2, [&](int) { return 1.0 * PULSE_TIMER(1, 0.0); }), (std::vector<double>{0, 0}));
    // IN 0 then held at 1: one pulse.
    EXPECT_EQ(outputs(8, [&](int step) { return 1.0 * ZC_PULSE(step >= 2 ? 1 : 0, dur); }),
              (std::vector<double>{0, 1, 1, 1, 0, 0, 0, 0}));
    // Toggling faster than the pulse keeps it on.
    EXPECT_EQ(outputs(8, [&](int step) { return 1.0 * ZC_PULSE(step % 2, dur); }),
              (std::vector<double>{0, 0, 1, 1, 1, 1, 1, 1}));
}

TEST_F(BlockTest, SixChannelStateFollowsTheLatestCrossingOnTheNextStep) {
    const double G[6] = {1, 2, 3, 4, 5, 6};
    double sum = 0.0, mean = 0.0, least = 0.0;
    std::vector<double> sums;
    outputs(6, [&](int step) {
        double X[6] = {-1, -1, -1, -1, -1, -1};
        if (step >= 2) X[0] = 1;  // channel 1 rises on step 2
        if (step >= 4) X[2] = 1;  // channel 3 on step 4
        ZC_SIX_CHANNEL(X, G, 0.0, 0.5, sum, mean, least);
        sums.push_back(sum);
        return sum;
    });
    EXPECT_EQ(sums, (std::vector<double>{0, 0, 180, 180, 540, 540}));
    EXPECT_DOUBLE_EQ(mean, 0.333333333333333 * 0.5 * 21 * 180);
    EXPECT_EQ(least, 180.0);
    // The six detectors' histories come first in STOR, then six own slots.
    EXPECT_EQ(STORAGE.STOR(1), 1.0);
    EXPECT_EQ(STORAGE.STOR(2), -1.0);
    EXPECT_EQ(POINTER_BLOCK.NEXC, 12);
}

}  // namespace
