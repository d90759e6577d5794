// Transformer models in a running network: the two-winding example with
// its magnetising branch at 50 Hz against the phasor of the trapezoidal
// rule (reactances at w' = (2/dt) tan(w dt/2)) and against ngspice, and
// coupled branches under a DC step against ngspice. Engine step n is
// ngspice's (n + 1) dt, ngspice ramping its sources over its first step.
#include <cmath>
#include <complex>
#include <cstdlib>
#include <functional>
#include <sstream>

#include "models/tests/xfmr_test_support.h"
#include "models/transformers/transformers.h"
#include "platform/tests/support/ngspice.h"

namespace {

constexpr double kDt = 50e-6, kW = 6.283185307179586 * 50.0;
constexpr int32_t kCycle = 400;  // steps of one 50 Hz period
using cd = std::complex<double>;

// The example: 100 MVA, 100/10 kV, X 0.1, Im 1 %, Pcu 0.01.
const double kL11 = 100.0 / M_PI, kL22 = kL11 / 100.0, kK = 0.9995, kL12 = kK * std::sqrt(kL11 * kL22);
const double kR1 = 0.5, kR2 = 0.005, kRsrc = 1e-6, kRshort = 1e-6;

struct Trace {
    std::vector<double> v1, v2, i1;
};

// Amplitude of the 50 Hz part of one period of samples from step `from`.
double amplitude(const std::vector<double>& x, int32_t from) {
    cd sum = 0.0;
    for (int32_t n = 0; n < kCycle; ++n)
        sum += x[static_cast<size_t>(from + n)] * std::polar(1.0, -kW * kDt * n);
    return 2.0 * std::abs(sum) / kCycle;
}

std::string pwl(const std::function<double(int32_t)>& e, int32_t steps) {
    std::ostringstream s;
    s.precision(17);
    s << "V1 s1 0 PWL(0 0";
    for (int32_t n = 0; n < steps; ++n) s << "\n+ " << (n + 1) * kDt << " " << e(n);
    s << ")\n";
    return s.str();
}

std::vector<std::vector<double>> ngspice(const std::string& elements, int32_t steps, const char* probes) {
    std::ostringstream s;
    s.precision(17);
    s << "* transformer model\n" << elements << ".options method=trap\n";
    s << ".tran " << kDt << " " << (steps + 1) * kDt << " 0 " << kDt << "\n";
    s << ".control\nset wr_singlescale\nset wr_vecnames\nrun\nlinearize\nwrdata out.txt " << probes
      << "\n.endc\n.end\n";
    return ngspice_rows_of(s.str());
}

class ModelNetwork : public XfmrTest {
protected:
    void SetUp() override {
        XfmrTest::SetUp();
        ASSERT_EQ(std::system("command -v ngspice >/dev/null 2>&1"), 0) << "ngspice is needed for these tests";
    }
    // The example fed with e(n) through kRsrc, its secondary open or shorted.
    Trace run(bool shorted, int32_t steps, const std::function<double(int32_t)>& e) {
        read_sections(std::string("BRANCHES:\n 0 1 RE 1.0E-6 1.0\n") + (shorted ? " 2 0 R 1.0E-6\n" : "") +
                          "TRANSFORMERS:\n 2 0 0\n 1 0  0.5 0.1 /\n 2 0  0.0 0.09 2.0 0.1 /\n",
                      " SPARSITY = 60\n");
        start();
        options(true, false);
        int32_t k = 1, ideal = 0;
        double s = 100.0, f = 50.0, x = 0.1, pcu = 0.01, v1 = 100.0, v2 = 10.0, im = 1.0;
        TF_2WDG(k, ideal, s, f, x, pcu, v1, v2, im);
        Trace t;
        for (int32_t n = 0; n < steps; ++n) {
            NET.EBR(1, 1) = e(n);
            if (!step()) {
                ADD_FAILURE() << "stopped at step " << n;
                break;
            }
            t.v1.push_back(V(1));
            t.v2.push_back(V(2));
            t.i1.push_back(XFMR_TABLES.XF_CURTOT(1, 1));
        }
        // ngspice throughout.
        const std::string elements =
            pwl(e, steps) + "R1 s1 n1 " + std::to_string(kRsrc) + "\nVW1 n1 w1a DC 0\nRW1 w1a w1b 0.5\n" +
            "LW1 w1b 0 " + num(kL11) + "\nLW2 n2 w2b " + num(kL22) + "\nRW2 w2b 0 0.005\nK12 LW1 LW2 0.9995\n" +
            (shorted ? "RS n2 0 1e-6\n" : "RO n2 0 1e12\n");
        const auto rows = ngspice(elements, steps, "v(n1) v(n2) i(vw1)");
        EXPECT_GE(rows.size(), static_cast<size_t>(steps) + 1);
        double vpeak = 0.0, ipeak = 0.0, worst_v = 0.0, worst_i = 0.0;
        for (size_t n = 0; n < t.v1.size() && n + 1 < rows.size(); ++n) {
            const auto& r = rows[n + 1];
            vpeak = std::max({vpeak, std::fabs(r[1]), std::fabs(r[2])});
            ipeak = std::max(ipeak, std::fabs(r[3]));
            worst_v = std::max({worst_v, std::fabs(t.v1[n] - r[1]), std::fabs(t.v2[n] - r[2])});
            worst_i = std::max(worst_i, std::fabs(t.i1[n] - r[3]));
        }
        EXPECT_LT(worst_v, 1e-3 * vpeak);
        EXPECT_LT(worst_i, 1e-3 * ipeak);
        return t;
    }
    static std::string num(double x) {
        std::ostringstream s;
        s.precision(17);
        s << x;
        return s.str();
    }
};

const double kVp = 100.0 * std::sqrt(2.0);
const double kWarped = 2.0 / kDt * std::tan(kW * kDt / 2.0);
const cd kZ11(kR1, kWarped * kL11), kZ22(kR2 + kRshort, kWarped * kL22), kZ12(0.0, kWarped * kL12);

TEST_F(ModelNetwork, OpenSecondaryEnergisedAtAVoltagePeak) {
    const Trace t = run(false, 3 * kCycle, [](int32_t n) { return kVp * std::cos(kW * (n * kDt + kDt / 2.0)); });
    const double v1 = amplitude(t.v1, 2 * kCycle), v2 = amplitude(t.v2, 2 * kCycle), i1 = amplitude(t.i1, 2 * kCycle);
    EXPECT_NEAR(v2 / v1, std::abs(kZ12 / kZ11), 1e-9);
    EXPECT_NEAR(v2 / v1, 0.0999500, 1e-7);
    // Per cent of the rated 1 kA at the rated 100 kV.
    const double im = 100.0 * (i1 / v1) * 100.0;
    EXPECT_NEAR(im, 100.0 * 100.0 / std::abs(kZ11), 1e-8);
    EXPECT_NEAR(im, 0.999979, 1e-6);
    double first = 0.0;
    for (int32_t n = 0; n < kCycle; ++n) first = std::max(first, std::fabs(t.i1[static_cast<size_t>(n)]));
    EXPECT_NEAR(first, i1, 1e-3 * i1);
}

TEST_F(ModelNetwork, OpenSecondaryEnergisedAtAVoltageZeroDoublesTheFirstPeak) {
    const Trace t = run(false, 2 * kCycle, [](int32_t n) { return kVp * std::sin(kW * (n * kDt + kDt / 2.0)); });
    const double i1 = amplitude(t.i1, kCycle);
    double first = 0.0;
    for (int32_t n = 0; n < kCycle; ++n) first = std::max(first, std::fabs(t.i1[static_cast<size_t>(n)]));
    EXPECT_NEAR(first, 2.0 * i1, 1e-2 * 2.0 * i1);
}

// Energised where the short-circuit current starts without a DC part; the
// rest of it is gone after twelve time constants of 32 ms. The short is
// 1e-6 ohm.
TEST_F(ModelNetwork, ShortedSecondary) {
    const cd zsc = kZ11 - kZ12 * kZ12 / kZ22;
    const double phi = std::arg(zsc);
    const int32_t steps = 20 * kCycle;
    const Trace t = run(true, steps, [phi](int32_t n) { return kVp * std::sin(kW * (n * kDt + kDt / 2.0) + phi); });
    const int32_t last = steps - kCycle;
    const double z = amplitude(t.v1, last) / amplitude(t.i1, last) / 100.0;
    EXPECT_NEAR(z, std::abs(zsc) / 100.0, 1e-8);
    EXPECT_NEAR(z, 0.1004757, 1e-7);
    // The 1e-6 ohm short moves it by 1e-6 of its value.
    EXPECT_NEAR(1.0 / z, 9.95266, 2e-5);
}

// Three coupled branches (no mutual resistance, as a K statement has
// none) under a DC step, branches 2 and 3 loaded.
TEST_F(ModelNetwork, CoupledBranchesUnderADcStep) {
    read_sections("BRANCHES:\n 0 1 RE 1.0 100.0\n 2 0 R 10.0\n 3 0 R 5.0\n"
                  "TRANSFORMERS:\n 3 0 0\n 1 0  0.5 0.1 /\n 2 0  0.0 0.05 1.0 0.1 /\n"
                  " 3 0  0.0 0.04 0.0 0.03 1.5 0.1 /\n",
                  " SPARSITY = 60\n");
    start();
    options(true, false);
    int32_t k = 1, form = 2;
    double rs = 0.5, xs = 0.1, rm = 0.0, xm = 0.04;
    MUT3PH(k, form, rs, xs, rm, xm);
    const int32_t steps = 600;
    const auto rows = ngspice("V1 0 s1 PWL(0 0 5e-05 -100)\nR1 s1 n1 1.0\nRL2 n2 0 10.0\nRL3 n3 0 5.0\n"
                              "VW1 n1 w1a DC 0\nRW1 w1a w1b 0.5\nLW1 w1b 0 0.1\n"
                              "VW2 n2 w2a DC 0\nRW2 w2a w2b 0.5\nLW2 w2b 0 0.1\n"
                              "VW3 n3 w3a DC 0\nRW3 w3a w3b 0.5\nLW3 w3b 0 0.1\n"
                              "K12 LW1 LW2 0.4\nK13 LW1 LW3 0.4\nK23 LW2 LW3 0.4\n",
                              steps, "v(n1) v(n2) v(n3) i(vw1) i(vw2) i(vw3)");
    ASSERT_GE(rows.size(), static_cast<size_t>(steps) + 1);
    double vpeak = 0.0, ipeak = 0.0, worst_v = 0.0, worst_i = 0.0;
    for (int32_t n = 0; n < steps; ++n) {
        ASSERT_TRUE(step());
        const auto& r = rows[static_cast<size_t>(n) + 1];
        for (int32_t w = 1; w <= 3; ++w) {
            vpeak = std::max(vpeak, std::fabs(r[static_cast<size_t>(w)]));
            ipeak = std::max(ipeak, std::fabs(r[static_cast<size_t>(w) + 3]));
            worst_v = std::max(worst_v, std::fabs(V(w) - r[static_cast<size_t>(w)]));
            worst_i = std::max(worst_i, std::fabs(XFMR_TABLES.XF_CURTOT(w, 1) - r[static_cast<size_t>(w) + 3]));
        }
    }
    EXPECT_LT(worst_v, 1e-3 * vpeak);
    EXPECT_LT(worst_i, 1e-3 * ipeak);
}

}  // namespace
