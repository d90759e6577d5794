// The rectifiers against ngspice, each diode an ngspice switch driven by
// its own voltage (on above 0 V): load voltages within 1e-3 of the peak,
// the half-wave's away from the source's zeros.
#include <gtest/gtest.h>

#include <sstream>

#include "models/tests/ngspice_run.h"
#include "models/tests/rectifier_circuit.h"
#include "platform/tests/support/capture.h"

namespace {

using rectifier::kStep;

// ngspice's load voltage at every step of 0.1 s; elements is the netlist
// between the sources and the output line.
std::vector<double> ngspice(const std::string& elements, const std::string& load) {
    std::ostringstream s;
    s << elements << ".model dsw sw vt=0 vh=0 ron=" << rectifier::kRon << " roff=" << rectifier::kRoff << "\n";
    std::vector<double> v;
    for (const auto& row : ngspice_samples(s.str(), load, 0.1)) v.push_back(row.at(0));
    return v;
}

std::string sources(int phases) {
    std::ostringstream s;
    s.precision(17);
    for (int k = 0; k < phases; ++k) {
        s << "V" << k << " s" << k << " 0 SIN(0 " << rectifier::kPeak << " " << rectifier::kHz << " 0 0 "
          << -120 * k << ")\nR" << k << " s" << k << " n" << k + 1 << " 0.01\n";
    }
    return s.str();
}

// Worst difference between the engine's and ngspice's samples, skipping
// those where skip(t) holds.
double worst(rectifier::Circuit& c, const std::vector<double>& reference, const std::function<double()>& load,
             const std::function<bool(double)>& skip) {
    double w = 0.0;
    const Captured out = capture([&] {
        c.begin();
        for (size_t n = 0; n < reference.size(); ++n) {
            c.step();
            const double t = static_cast<double>(n) * kStep;
            if (!skip(t)) w = std::max(w, std::fabs(load() - reference[n]));
        }
    });
    EXPECT_FALSE(out.aborted) << out.out;
    return w;
}

class RectifierNgspice : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(have_ngspice())
            << "ngspice is needed for these tests (apt-get install ngspice)";
    }
    void TearDown() override { reset_all_engine_state(); }
};

TEST_F(RectifierNgspice, HalfWave) {
    const auto ref = ngspice(sources(1) + "S1 n1 n2 n1 n2 dsw\nRL n2 0 10\n", "v(n2)");
    ASSERT_GE(ref.size(), 2000u);
    for (bool vsrc : {false, true}) {
        rectifier::Circuit c = rectifier::half_wave();
        if (vsrc) rectifier::drive_by_vsrc(c);
        const double w = worst(c, ref, [] { return NET.VNODE(2, 1); },
                               [](double t) { return std::fabs(rectifier::emf(t)) < 0.05 * rectifier::kPeak; });
        EXPECT_LT(w, 1e-3 * rectifier::kPeak) << vsrc;
    }
}

TEST_F(RectifierNgspice, SixDiodeBridge) {
    std::string net = sources(3);
    for (int k = 1; k <= 3; ++k)
        net += "SP" + std::to_string(k) + " n" + std::to_string(k) + " n4 n" + std::to_string(k) + " n4 dsw\n" +
               "SN" + std::to_string(k) + " n5 n" + std::to_string(k) + " n5 n" + std::to_string(k) + " dsw\n";
    net += "RL n4 n5 10\nRG n5 0 1e6\n";
    const auto ref = ngspice(net, "v(n4,n5)");
    ASSERT_GE(ref.size(), 2000u);
    for (bool vsrc : {false, true}) {
        rectifier::Circuit c = rectifier::bridge();
        if (vsrc) rectifier::drive_by_vsrc(c);
        const double w =
            worst(c, ref, [] { return NET.VNODE(4, 1) - NET.VNODE(5, 1); }, [](double t) { return t < kStep; });
        EXPECT_LT(w, 1e-3 * rectifier::kPeak) << vsrc;
    }
}

}  // namespace
