// Timed breakers and the breaker logic, stepped by hand (binary times, so
// that every instant compares exactly).
#include <gtest/gtest.h>

#include <array>

#include "engine/pointer_block.h"
#include "models/breakers/breaker_logic.h"
#include "models/tests/rectifier_circuit.h"
#include "platform/tests/support/capture.h"

namespace {

constexpr double kDt = 1.0 / 1024;

class BreakerLogic : public testing::Test {
public:
    void SetUp() override { rectifier::Circuit::tables(1, 1); }
    void TearDown() override { reset_all_engine_state(); }
    static void at_step(int n) {
        RUN_CLOCK.TIME = n * kDt;
        RUN_FLAGS.FIRST_STEP_DATA = as_logical(n == 0);
        PointerBlock& P = POINTER_BLOCK;
        P.NEXC = 0;
        P.NSTORI = P.NSTORF = 1;
    }
};

TEST_F(BreakerLogic, TimedBreakerAndFault) {
    const double t1 = 0.125, t2 = 0.25;
    for (int n = 0; n <= 1024; ++n) {
        at_step(n);
        const double T = RUN_CLOCK.TIME, Tp = std::fmod(T, t2);
        int32_t once = -1, periodic = -1, fault = -1, reversed = -1;
        TBREAK(t1, t2, 0, once);
        TBREAK(t1, t2, 1, periodic);
        TFAULT(t1, t2, 0, fault);
        TBREAK(t2, t1, 0, reversed);
        ASSERT_EQ(POINTER_BLOCK.NEXC, 4);
        ASSERT_EQ(once, t1 <= T && T < t2) << T;
        ASSERT_EQ(periodic, Tp >= t1) << T;
        ASSERT_EQ(fault, !(t1 <= T && T < t2)) << T;
        ASSERT_EQ(reversed, T < t1 || T >= t2) << T;
    }
}

TEST_F(BreakerLogic, EqualTimesStop) {
    at_step(0);
    int32_t s = 5;
    TFAULT(0.1, 0.1, 0, s);  // accepted on the first step of a run from data
    EXPECT_EQ(s, 0);
    EXPECT_EQ(POINTER_BLOCK.NEXC, 0);
    at_step(1);
    const Captured fault = capture([&] { TFAULT(0.1, 0.1, 0, s); });
    EXPECT_TRUE(fault.aborted);
    EXPECT_NE(fault.out.find(" ERROR: Fault duration is zero\n"), std::string::npos) << fault.out;
    SetUp();
    at_step(0);
    const Captured brk = capture([&] { TBREAK(0.1, 0.1, 1, s); });
    EXPECT_TRUE(brk.aborted);
    EXPECT_NE(brk.out.find(" ERROR: Breaker on/off times are the same\n"), std::string::npos) << brk.out;
    EXPECT_NE(brk.out.find("TBREAK"), std::string::npos);
}

// Close from the start, open at step 100: each output's step of rising,
// and the released outputs after the close until a current zero.
struct Outputs {
    std::array<int, 6> rise{};        // first step of each trip output after the fall (-1: never)
    std::array<int, 3> released_until{};  // last step each pole was released while closed
};

Outputs three_poles(int32_t close, int32_t option, const std::array<double, 3>& phase) {
    Outputs r;
    r.rise.fill(-1);
    r.released_until.fill(-1);
    for (int n = 0; n <= 300; ++n) {
        BreakerLogic::at_step(n);
        const int32_t c = n < 10 ? 0 : n < 100 ? close : 0;
        std::array<double, 3> i{};
        for (int k = 0; k < 3; ++k) i[k] = std::sin(2 * M_PI * 50 * RUN_CLOCK.TIME + phase[k]);
        std::array<int32_t, 6> o{};
        if (option < 0)
            BRK3_LOGIC(c, 0.0, kDt, 2 * kDt, 3 * kDt, 4 * kDt, 5 * kDt, i[0], i[1], i[2], o[0], o[1], o[2], o[3],
                       o[4], o[5]);
        else
            BRK3_LOGIC_T(c, option, 0.0, kDt, 2 * kDt, 3 * kDt, 4 * kDt, 5 * kDt, 8 * kDt, i[0], i[1], i[2], o[0],
                         o[1], o[2], o[3], o[4], o[5]);
        EXPECT_EQ(POINTER_BLOCK.NSTORI, 5);
        EXPECT_EQ(POINTER_BLOCK.NSTORF, 5);
        for (int k = 0; k < 6; ++k)
            if (n >= 100 && o[k] == 1 && r.rise[k] < 0) r.rise[k] = n;
        if (c != 0)
            for (int k = 0; k < 3; ++k) {
                EXPECT_EQ(o[k], 0);
                if (o[3 + k] == 1) r.released_until[k] = n;
            }
    }
    return r;
}

TEST_F(BreakerLogic, ThreePolesAlikeForAnyCloseCommand) {
    const std::array<double, 3> phase{0.3, 0.3 - 2 * M_PI / 3, 0.3 + 2 * M_PI / 3};
    const Outputs one = three_poles(1, -1, phase);
    for (int k = 0; k < 6; ++k) EXPECT_EQ(one.rise[k], 100 + k) << k;
    // Current zeros after step 10 (t = 9.77 ms): 50 Hz with phase 0.3 rad.
    for (int k = 0; k < 3; ++k) {
        double t = (std::ceil((2 * M_PI * 50 * 10 * kDt + phase[k]) / M_PI) * M_PI - phase[k]) / (2 * M_PI * 50);
        EXPECT_EQ(one.released_until[k], static_cast<int>(std::ceil(t / kDt)) - 1) << k;
    }
    for (int32_t c : {-1, 2}) {
        const Outputs other = three_poles(c, -1, phase);
        EXPECT_EQ(other.rise, one.rise) << c;
        EXPECT_EQ(other.released_until, one.released_until) << c;
    }
    const Outputs timed = three_poles(-1, 1, phase);
    EXPECT_EQ(timed.rise, one.rise);
    EXPECT_EQ(timed.released_until, (std::array<int, 3>{17, 17, 17}));
}

TEST_F(BreakerLogic, SinglePoleAndAZeroCurrent) {
    int32_t trip = -1, released = -1;
    for (int n = 0; n <= 40; ++n) {
        at_step(n);
        const int32_t c = n >= 5 && n < 30 ? 1 : 0;
        // Through exactly 0.0 no current zero is passed; the change of
        // sign at 25 passes one.
        const double i = n < 12 ? 1.0 : n < 20 ? 0.0 : n < 25 ? -1.0 : 1.0;
        BRK1_LOGIC(c, 0.0, 4 * kDt, i, trip, released);
        if (c != 0) {
            ASSERT_EQ(trip, 0) << n;
            ASSERT_EQ(released, n < 25 ? 1 : 0) << n;
        } else if (n >= 30) {
            ASSERT_EQ(trip, 1) << n;
            ASSERT_EQ(released, n >= 34 ? 1 : 0) << n;
        }
    }
    EXPECT_EQ(POINTER_BLOCK.NSTORI, 3);
}

}  // namespace
