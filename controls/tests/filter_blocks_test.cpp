// Transfer functions and designed filters: the discrete model of a lag,
// frequency responses of the designed polynomials, the steady state of a
// designed filter against its bilinear-transform response, the data
// errors and the slots.
#include <cmath>
#include <complex>
#include <numbers>
#include <string>
#include <vector>

#include "controls/filters/filter_design.h"
#include "controls/filters/polynomials.h"
#include "controls/filters/transfer_function.h"
#include "controls/tests/elementary_support.h"

namespace {

using ::testing::ValuesIn;
using Poly = std::vector<double>;
constexpr double kPi = std::numbers::pi;

Poly poly(std::initializer_list<double> c) {
    Poly p(kPolySize, 0.0);
    std::copy(c.begin(), c.end(), p.begin());
    return p;
}

std::complex<double> value_at(const Poly& p, std::complex<double> s) {
    std::complex<double> v = 0.0;
    for (int i = kPolySize - 1; i >= 0; --i) v = v * s + p[i];
    return v;
}

struct Design {
    Poly den = Poly(kPolySize), num = Poly(kPolySize);
    std::complex<double> H(double omega) const {
        const std::complex<double> s(0.0, omega);
        return value_at(num, s) / value_at(den, s);
    }
};

Design design(int32_t N, double ripple, double w, double Q, int32_t characteristic, int32_t type) {
    Design d;
    CHLPFN(N, ripple, w, Q, characteristic, type, d.den.data(), d.num.data());
    return d;
}

std::string errors(const std::vector<std::string>& lines, const std::string& routine) {
    std::string out;
    for (const std::string& l : lines) out += " ***ERROR** " + l + "\n";
    return out + abort_frame(routine);
}

std::vector<DisciplineRow> filter_rows() {
    std::vector<DisciplineRow> rows;
    const auto states = [](size_t storf, size_t stor) {
        return std::vector<SlotState>{{"zero", std::vector<double>(storf, 0.0), std::vector<double>(stor, 0.0)},
                                      {"running", std::vector<double>(storf, 0.5), std::vector<double>(stor, 0.25)}};
    };
    add_flag_rows(rows, "TFDN10", {.storf = 10}, 2, states(10, 0), [](const FlagSet& f, size_t) {
        Poly num = poly({1.0, 1e-3}), den = poly({1.0, 2e-3, 1e-6}), init(10, 0.1);
        double y;
        TFDN10(2, num.data(), den.data(), init.data(), f[0], f[1], 1.0, y);
    });
    add_flag_rows(rows, "TFDN_SCALED", {.stor = 56, .storf = 10}, 1, states(10, 56), [](const FlagSet& f, size_t) {
        const Poly num = poly({1.0}), den = poly({1.0, 1.4, 1.0}), init(10, 0.0);
        double y;
        TFDN_SCALED(2, num.data(), den.data(), init.data(), f[0], 300.0, 1.0, y);
    });
    add_flag_rows(rows, "FILTER_RUN", {.stor = 25, .storf = 10}, 2, states(10, 25), [](const FlagSet& f, size_t) {
        double y;
        FILTER_RUN(2, 50.0, 2.0, 1.0, 1 + (f[0] == 1), 1 + (f[0] == 2), f[1], 1.0, y);
    });
    add_flag_rows(rows, "FREQ_TRACK", {.stor = 2}, 2, states(0, 2), [](const FlagSet& f, size_t) {
        double y;
        FREQ_TRACK(f[0], f[1], 1.0, 50.0, y);
    });
    return rows;
}

INSTANTIATE_TEST_SUITE_P(Filters, SlotDiscipline, ValuesIn(filter_rows()), discipline_row_name);

class TransferFunction : public RunBlockTest {};

TEST_F(TransferFunction, LagModelAndFirstOutputOfAStep) {
    Poly num = poly({1.0}), den = poly({1.0, 0.01}), init(10, 0.0);
    double y = 0.0;
    set_first_step(true);
    TFDN10(1, num.data(), den.data(), init.data(), 1, 1, 1.0, y);
    const BlockSlots s = start_slots();
    EXPECT_DOUBLE_EQ(s.F(0), 0.9950124688279303);
    EXPECT_DOUBLE_EQ(s.F(1), 0.004987531172069826);
    EXPECT_EQ(s.F(3), 0.0);  // no direct term
    EXPECT_DOUBLE_EQ(y, 0.004987531172069826 / 2);
    // Reversed and normalised in place: s + 100 over the numerator 100.
    EXPECT_EQ(den[0], 1.0);
    EXPECT_DOUBLE_EQ(den[1], 100.0);
    EXPECT_DOUBLE_EQ(num[1], 100.0);
}

// A numerator of the denominator's order gives the direct term; the
// scaled front at w runs 1/(1 + s/w) as the block runs 1/(1 + s/w) itself.
TEST_F(TransferFunction, DirectTermAndScaledFront) {
    const Poly init(10, 0.0), one = poly({1.0}), lag = poly({1.0, 1.0});
    Poly num = poly({1.0, 0.02}), den = poly({1.0, 0.01});
    double y = 0.0, z = 0.0;
    TFDN10(1, num.data(), den.data(), init.data(), 0, 1, 1.0, y);
    EXPECT_DOUBLE_EQ(y, 2.0 - 0.004987531172069826);
    for (int n = 0; n < 50; ++n) {
        begin_step(n);
        RUN_FLAGS.FIRST_STEP_RUN = as_logical(n == 0);
        num = poly({1.0});
        den = poly({1.0, 0.01});
        TFDN10(1, num.data(), den.data(), init.data(), 1, n == 0, 1.0, y);
        TFDN_SCALED(1, one.data(), lag.data(), init.data(), 1, 100.0, 1.0, z);
        EXPECT_NEAR(z, y, 1e-15) << n;
    }
}

struct StopCase {
    std::string name;
    std::function<void()> call;
    std::string text;
};
void PrintTo(const StopCase& c, std::ostream* os) { *os << c.name; }
class Stops : public RunBlockTest, public ::testing::WithParamInterface<StopCase> {};

TEST_P(Stops, MessagesThenAbort) {
    const Captured c = stopped(GetParam().call);
    EXPECT_TRUE(c.aborted);
    EXPECT_EQ(c.out, GetParam().text);
}

void tfdn(int32_t N, Poly num, Poly den, int32_t design = 1) {
    const Poly init(10, 0.0);
    double y;
    TFDN10(N, num.data(), den.data(), init.data(), 0, design, 1.0, y);
}
void chlpfn(int32_t N, double ripple, double w, double Q, int32_t characteristic, int32_t type) {
    design(N, ripple, w, Q, characteristic, type);
}

INSTANTIATE_TEST_SUITE_P(
    Filters, Stops,
    ValuesIn(std::vector<StopCase>{
        {"OrderAboveTenOnALaterStep", [] { tfdn(11, poly({1.0}), poly({1.0, 1.0}), 0); },
         errors({"Transfer Function TFDN10 array overflow: Order of ", "denominator cannot be greater than 10",
                 ". Try factoring the transfer function ", "and use two or more cascaded blocks."},
                "TFDN10")},
        {"OrderZero", [] { tfdn(0, poly({1.0}), poly({1.0})); },
         errors({"Order of transfer function must be at least 1"}, "TFDN10")},
        {"LeadingDenominatorZero", [] { tfdn(2, poly({1.0}), poly({1.0, 1.0})); },
         errors({"Ill conditioned coefficient matrix in ", "non-linear transfer function block. Denominator ",
                 "should be of higher order than the order of Numerator."},
                "TFDN10")},
        {"SingularStepMatrix",
         [] {
             RUN_CLOCK.DELT = 1.0 / 1024;  // 1 + (h/2) a(1) is exactly 0
             tfdn(1, poly({1.0}), poly({-2048.0, 1.0}));
         },
         errors({"Singular matrix in transfer function block TFDN10"}, "TFDN10")},
        {"ScaledAtZeroFrequency",
         [] {
             const Poly p = poly({1.0, 1.0}), init(10, 0.0);
             double y;
             TFDN_SCALED(1, p.data(), p.data(), init.data(), 0, 0.0, 1.0, y);
         },
         errors({"Frequency must not be zero"}, "TFDN10")},
        {"BandLimitsCrossed", [] { double f, q; FILN15(60.0, 40.0, f, q); },
         errors({"Upper Frequency must be greater than Lower Frequency"}, "FILN15")},
        {"OddBandOrder", [] { chlpfn(5, 1.0, 100.0, 2.0, 1, 3); },
         errors({"Bandpass or Bandstop filer order must ", "be an even number, Change order from 5"}, "CHLPFN")},
        {"OrderEleven", [] { chlpfn(11, 1.0, 100.0, 2.0, 1, 1); },
         errors({"Filter order must be between 1 and 10"}, "CHLPFN")},
        {"CharacteristicThree", [] { chlpfn(2, 1.0, 100.0, 2.0, 3, 1); },
         errors({"Unknown filter characteristic or type"}, "CHLPFN")},
        {"TypeFive", [] { chlpfn(2, 1.0, 100.0, 2.0, 1, 5); }, errors({"Unknown filter characteristic or type"}, "CHLPFN")},
        {"FrequencyZero", [] { chlpfn(2, 1.0, 0.0, 2.0, 1, 1); },
         errors({"Filter frequency must be positive"}, "CHLPFN")},
        {"BandWithoutQ", [] { chlpfn(2, 1.0, 100.0, 0.0, 1, 4); },
         errors({"Quality factor must be positive"}, "CHLPFN")},
        {"RippleTooLarge", [] { chlpfn(2, 3.02, 100.0, 2.0, 2, 1); },
         errors({"Chebyshev ripple must lie above 0 and at most 3.0103 dB"}, "CHLPFN")},
        {"RippleZero", [] { chlpfn(2, 0.0, 100.0, 2.0, 2, 2); },
         errors({"Chebyshev ripple must lie above 0 and at most 3.0103 dB"}, "CHLPFN")},
    }),
    [](const auto& info) { return info.param.name; });

TEST(FilterDesign, ButterworthSecondOrderLowPass) {
    const Design d = design(2, 0.0, 100.0, 0.0, 1, 1);
    EXPECT_EQ(d.num, poly({1.0}));
    EXPECT_DOUBLE_EQ(d.den[0], 1.0);
    EXPECT_DOUBLE_EQ(d.den[1], std::sqrt(2.0) / 100.0);
    EXPECT_DOUBLE_EQ(d.den[2], 1e-4);
    for (int i = 3; i < kPolySize; ++i) EXPECT_EQ(d.den[i], 0.0);
}

TEST(FilterDesign, ButterworthMagnitudesOfEveryOrder) {
    const double w = 1000.0;
    for (int32_t N = 1; N <= 10; ++N) {
        for (int32_t type : {1, 2}) {
            const Design d = design(N, 0.0, w, 0.0, 1, type);
            for (double r : {0.5, 1.0, 2.0}) {
                const double expected = 1.0 / (1.0 + std::pow(r, type == 1 ? 2 * N : -2 * N));
                EXPECT_NEAR(std::norm(d.H(r * w)), expected, 1e-12) << N << " " << type << " " << r;
            }
        }
    }
}

TEST(FilterDesign, ChebyshevOneDecibel) {
    for (int32_t N = 1; N <= 10; ++N) {
        const Design d = design(N, 1.0, 1000.0, 0.0, 2, 1);
        EXPECT_NEAR(std::abs(d.H(1000.0)), std::sqrt(0.5), 1e-12) << N;
        EXPECT_NEAR(std::abs(d.H(0.0)), N % 2 == 0 ? 0.8912509381337456 : 1.0, 1e-12) << N;
    }
    const Design d = design(2, 1.0, 1000.0, 0.0, 2, 1);
    EXPECT_NEAR(d.den[0], 1.1025103280538482, 1e-15);
    EXPECT_NEAR(d.den[1], 1.3366299895103309e-3, 1e-18);
    EXPECT_NEAR(d.den[2], 1.4826133641801357e-6, 1e-21);
    EXPECT_NEAR(d.num[0], 0.9826133641801358, 1e-15);
}

// Half power at the band edges w (sqrt(1 + 1/4Q²) ± 1/2Q); the gain g
// (10^(-r/20) for an even number of second-order factors of a Chebyshev
// design, else 1) at the centre of a band-pass and at zero frequency of a
// band-stop, which blocks its centre.
TEST(FilterDesign, BandFiltersOfBothCharacteristics) {
    const double w = 500.0, Q = 2.0;
    const double root = std::sqrt(1.0 + 1.0 / (4 * Q * Q));
    for (int32_t characteristic : {1, 2}) {
        for (int32_t N : {2, 4, 6}) {
            const double g = characteristic == 2 && (N / 2) % 2 == 0 ? std::pow(10.0, -0.05) : 1.0;
            const Design bp = design(N, 1.0, w, Q, characteristic, 3);
            const Design bs = design(N, 1.0, w, Q, characteristic, 4);
            SCOPED_TRACE(std::to_string(characteristic) + " " + std::to_string(N));
            for (double edge : {root - 0.5 / Q, root + 0.5 / Q}) {
                EXPECT_NEAR(std::abs(bp.H(edge * w)), std::sqrt(0.5), 1e-12);
                EXPECT_NEAR(std::abs(bs.H(edge * w)), std::sqrt(0.5), 1e-12);
            }
            EXPECT_NEAR(bp.H(w).real(), g, 1e-12);
            EXPECT_NEAR(bp.H(w).imag(), 0.0, 1e-12);
            EXPECT_NEAR(bs.H(0.0).real(), g, 1e-12);
            EXPECT_NEAR(std::abs(bs.H(w)), 0.0, 1e-12);
        }
    }
}

// Input mode 1 makes the block the bilinear transform of the filter, so
// a sine of angular frequency ω settles to the response at
// (2/h) tan(ωh/2).
TEST_F(TransferFunction, DesignedFilterInSinusoidalSteadyState) {
    struct Case { int32_t N, characteristic, type; double F, Q; };
    for (const Case c : {Case{4, 1, 1, 100.0, 0.0}, Case{3, 2, 2, 30.0, 0.0}, Case{4, 2, 3, 60.0, 2.0}}) {
        const double h = kDelt, omega = 2 * kPi * 50.0;
        const Design d = design(c.N, 1.0, 2 * kPi * c.F, c.Q, c.characteristic, c.type);
        const std::complex<double> H = d.H(2.0 / h * std::tan(omega * h / 2));
        const std::vector<double> y = outputs(20000, [&](int step) {
            RUN_FLAGS.FIRST_STEP_RUN = as_logical(step == 1);
            double out;
            FILTER_RUN(c.N, c.F, c.Q, 1.0, c.characteristic, c.type, 1, std::sin(omega * RUN_CLOCK.TIME), out);
            return out;
        });
        for (int k = 19600; k < 20000; ++k) {
            const double t = k * h;
            EXPECT_NEAR(y[k], std::abs(H) * std::sin(omega * t + std::arg(H)), 1e-9) << c.type << " " << k;
        }
    }
}

TEST(FilterDesign, BandLimits) {
    double F0, Q;
    FILN15(40.0, 90.0, F0, Q);
    EXPECT_DOUBLE_EQ(F0, 60.0);
    EXPECT_DOUBLE_EQ(Q, 1.2);
}

// Each step scales the frequency by 1 + (the angle's advance, wrapped to
// half a turn, in turns), from two periods of f0 on; mode 0 holds it and
// keeps no angle.
TEST_F(TransferFunction, FrequencyTracker) {
    struct Step { int32_t mode, unit; double theta, f; };
    const std::vector<Step> steps{{1, 0, 0.0, 50.0},        {1, 0, kPi / 2, 62.5},  {1, 2, 0.0, 46.875},
                                  {0, 0, 1.0, 46.875},      {1, 1, 90.0, 58.59375}, {1, 1, 450.0, 58.59375}};
    double f = 0.0;
    begin_step(0);
    FREQ_TRACK(1, 0, 1.0, 50.0, f);
    begin_step(1);
    FREQ_TRACK(1, 0, 0.0, 50.0, f);
    EXPECT_EQ(f, 50.0);  // before two periods only the angle is kept
    for (size_t k = 0; k < steps.size(); ++k) {
        begin_step(1000 + static_cast<int>(k));
        FREQ_TRACK(steps[k].mode, steps[k].unit, steps[k].theta, 50.0, f);
        EXPECT_DOUBLE_EQ(f, steps[k].f) << k;
    }
    EXPECT_EQ(start_slots().S(1), 450.0);
}

}  // namespace
