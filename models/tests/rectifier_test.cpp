// Diode and thyristor rectifiers against their closed forms; the full-form
// switches run with the voltage-source models driving them.
#include <gtest/gtest.h>

#include <algorithm>

#include "models/tests/rectifier_circuit.h"
#include "platform/tests/support/capture.h"

namespace {

using rectifier::Circuit;
using rectifier::emf;
using rectifier::kPeak;
using rectifier::kStep;

const double kOn = 10.0 / (10.01 + rectifier::kRon), kOff = 10.0 / (10.01 + rectifier::kRoff);

struct Samples {
    double mean = 0.0, low = 1e300, high = -1e300, worst = 0.0;
    int count = 0;
    void add(double v) {
        mean += v;
        low = std::min(low, v);
        high = std::max(high, v);
        ++count;
    }
};

class Rectifier : public testing::Test {
protected:
    void TearDown() override { reset_all_engine_state(); }
    // Steps to 0.2 s; the load samples of 0.02 < t <= 0.2 s, with the worst
    // difference from expected(t) from the second step on.
    static Samples run(Circuit& c, const std::function<double(double)>& load,
                       const std::function<double(double)>& expected) {
        Samples s;
        const Captured out = capture([&] {
            c.begin();
            for (int n = 0; n <= 4000; ++n) {
                c.step();
                const double t = n * kStep;
                if (n > 400) s.add(load(t));
                if (n >= 1) s.worst = std::max(s.worst, std::fabs(load(t) - expected(t)));
            }
        });
        EXPECT_FALSE(out.aborted) << out.out;
        s.mean /= s.count;
        return s;
    }
    static double V(int32_t k) { return NET.VNODE(k, 1); }
    static bool closed(int32_t b) { return !is_true(NET.OPENBR(b, 1)); }
};

// The load sees the divider of the conducting or blocking diode.
TEST_F(Rectifier, HalfWaveDiode) {
    for (bool full_form : {false, true}) {
        Circuit c = rectifier::half_wave();
        c.full_form = full_form;
        if (full_form) rectifier::drive_by_vsrc(c);
        const Samples s = run(c, [](double) { return V(2); },
                              [](double t) { return emf(t) * (closed(2) ? kOn : kOff); });
        EXPECT_EQ(s.count, 3600);
        EXPECT_LT(s.worst, 1e-6 * kPeak) << full_form;
        EXPECT_NEAR(s.mean, 31.796629, 5e-7) << full_form;
    }
}

// Six diodes: the rails carry k (max - min) of the EMFs.
TEST_F(Rectifier, SixDiodeBridge) {
    for (bool full_form : {false, true}) {
        Circuit c = rectifier::bridge();
        c.full_form = full_form;
        if (full_form) rectifier::drive_by_vsrc(c);
        const double k = 10.0 / 10.021;
        const Samples s = run(c, [](double) { return V(4) - V(5); },
                              [k](double t) {
                                  const double e[] = {emf(t), emf(t, 2.0 * M_PI / 3.0), emf(t, 4.0 * M_PI / 3.0)};
                                  return k * (*std::max_element(e, e + 3) - *std::min_element(e, e + 3));
                              });
        EXPECT_LT(s.worst, 1e-3 * kPeak) << full_form;
        EXPECT_NEAR(s.mean, 165.05207, 3e-4) << full_form;
        // A source that the solution evaluates again inside the step gives
        // the sample after a commutation from the pass's interpolation
        // between its ends, a little below the sinusoid.
        EXPECT_NEAR(s.high - s.low, 23.078, full_form ? 2.5e-3 : 3e-4) << full_form;
    }
}

// Gate pulses of 1 ms from 60 degrees, with the time value of the change.
TEST_F(Rectifier, ThyristorFiresAtTheGateInstant) {
    Circuit c = rectifier::half_wave(1);
    const double period = 1.0 / rectifier::kHz, fire = period / 6.0, width = 1e-3;
    // Start of the pulse that covers t, or of the last one.
    auto pulse_start = [=](double t) { return fire + std::floor((t - fire) / period) * period; };
    c.switches[0].gate = [=](double t) { return t - pulse_start(t) < width && t >= fire ? 1 : 0; };
    c.switches[0].tvalue = [=](double t) {
        const double p = pulse_start(t);
        for (double edge : {p, p + width})
            if (edge > t - kStep && edge <= t) return t - edge;
        return 0.0;
    };
    std::vector<double> turn_on;
    const int32_t e = 0;  // the switch's STOR record starts after NEXC 0
    const Samples s = run(c,
                          [&](double t) {
                              const double on = STORAGE.STOR(e + 10);
                              if (turn_on.empty() || turn_on.back() != on) turn_on.push_back(on);
                              (void)t;
                              return V(2);
                          },
                          [](double t) { return emf(t) * (closed(2) ? kOn : kOff); });
    EXPECT_LT(s.worst, 1e-4 * kPeak);
    EXPECT_NEAR(s.mean, 23.88374, 5e-6);
    ASSERT_GE(turn_on.size(), 10u);
    for (size_t k = 1; k < turn_on.size(); ++k) EXPECT_NEAR(turn_on[k], fire + (k - 1) * period, 1e-12) << k;
}

}  // namespace
