// The coupled pi section from sequence data.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/engine_reset.h"
#include "lines/pi_section.h"
#include "platform/tests/support/capture.h"

namespace {

struct Section {
    double rs, ls, cm, rm, lm, cg;
    int32_t flags[4];
};

Section run(int32_t mode, double f, double a1, double b1, double c1, double a0, double b0, double c0,
            int32_t self_form = 0) {
    Section s{};
    int32_t zero_form = 0;
    double v = 100.0, mva = 100.0, length = 10.0;
    s.flags[1] = 7;
    PI_SECTION(mode, self_form, zero_form, v, mva, f, length, a1, b1, c1, a0, b0, c0, s.rs, s.ls, s.cm, s.rm, s.lm,
               s.cg, s.flags[0], s.flags[1], s.flags[2], s.flags[3]);
    return s;
}

TEST(PiSection, TheExample) {
    reset_all_engine_state();
    const Section s = run(1, 50.0, 0.03, 0.3, 0.25, 0.3, 1.0, 0.4);
    EXPECT_DOUBLE_EQ(s.rs, 0.3);
    EXPECT_NEAR(s.ls, 0.0095492966, 1e-10);
    EXPECT_DOUBLE_EQ(s.rm, 0.8999999999999991);
    EXPECT_NEAR(s.lm, 0.0074272307, 1e-10);
    EXPECT_NEAR(s.cg, 0.0397887358, 1e-10);
    EXPECT_NEAR(s.cm, 0.0079577472, 1e-10);
    EXPECT_EQ(std::vector<int32_t>(s.flags, s.flags + 4), std::vector<int32_t>({1, 7, 1, 1}));
}

TEST(PiSection, EqualSequencesHaveNoMutualTerms) {
    reset_all_engine_state();
    const Section s = run(1, 50.0, 0.03, 0.3, 0.25, 0.03, 0.3, 0.25);
    EXPECT_EQ(std::vector<double>({s.rm, s.lm, s.cm}), std::vector<double>({0.0, 0.0, 0.0}));
    EXPECT_EQ(std::vector<int32_t>(s.flags, s.flags + 4), std::vector<int32_t>({0, 0, 1, 0}));
}

TEST(PiSection, WarningsAndStops) {
    reset_all_engine_state();
    Captured c = capture([] { run(1, 50.0, 0.3, 0.3, 0.25, 0.03, 1.0, 0.4); });
    EXPECT_FALSE(c.aborted);
    EXPECT_TRUE(contains(c.out, "Resistance[0] less than Resistance[+]")) << c.out;
    c = capture([] { run(1, 0.0, 0.03, 0.3, 0.25, 0.3, 1.0, 0.4); });
    EXPECT_TRUE(c.aborted);
    EXPECT_TRUE(contains(c.out, "Frequency too small")) << c.out;
    c = capture([] { run(2, 50.0, 0.03, 0.0, 0.0, 0.3, 1.0, 0.4); });
    EXPECT_TRUE(contains(c.out, "Positive Sequence Travel Time too small")) << c.out;
    EXPECT_TRUE(contains(c.out, "Positive Sequence Surge Impedance too small")) << c.out;
    // The zero-sequence part alone checks what it divides by.
    c = capture([] {
        int32_t mode = 1, est = 0, flag = 0;
        double d3 = 10, d4 = 100, d5 = 100, d6 = 50, d7 = 0.3, d8 = 1.0, d9 = 0.0, d10 = 0, d11 = 0, d12 = 0, r = 0,
               l = 0, cc = 0;
        PI_SECTION2(mode, est, d3, d4, d5, d6, d7, d8, d9, d10, d11, d12, r, l, cc, flag);
    });
    EXPECT_TRUE(c.aborted);
    EXPECT_TRUE(contains(c.out, "Zero Sequence Capacitive Reactance too small")) << c.out;
}

TEST(PiSection, ZeroSequenceThird) {
    reset_all_engine_state();
    int32_t mode = 2, est = 0, flag = 0;
    double d3 = 10, d4 = 0, d5 = 0, d6 = 50, d7 = 0.3, d8 = 1.0, d9 = 0.4, d10 = 0, d11 = 0, d12 = 0, r = 0, l = 0,
           c = 0;
    PI_SECTION2(mode, est, d3, d4, d5, d6, d7, d8, d9, d10, d11, d12, r, l, c, flag);
    EXPECT_NEAR(r, 1.0, 1e-14);
    EXPECT_NEAR(c, 0.0397887358 / 3.0, 1e-10);
    EXPECT_EQ(flag, 1);
}

}  // namespace

namespace {

// The zero-sequence part checks only what its mode divides by or cannot do
// without: frequency (modes 0-2), voltage and MVA (0-1), the zero-sequence
// value (1-3), length (3).
struct ZeroCase {
    std::string name;
    int32_t mode;
    double len, kv, mva, f, d9;
    std::string stop;            // the message; empty: the values below
    double r = 0.0, l = 0.0, c = 0.0;
};
void PrintTo(const ZeroCase& z, std::ostream* os) { *os << z.name; }

class PiSectionZero : public testing::TestWithParam<ZeroCase> {};

TEST_P(PiSectionZero, ChecksWhatItsModeNeeds) {
    reset_all_engine_state();
    const ZeroCase& z = GetParam();
    double r = 3.0, l = 3.0, c = 3.0;
    const Captured out = capture([&] {
        int32_t mode = z.mode, est = 0, flag = -1;
        double d3 = z.len, d4 = z.kv, d5 = z.mva, d6 = z.f, d7 = 0.3, d8 = 1.0, d9 = z.d9, d10 = 0, d11 = 0, d12 = 0;
        PI_SECTION2(mode, est, d3, d4, d5, d6, d7, d8, d9, d10, d11, d12, r, l, c, flag);
    });
    if (!z.stop.empty()) {
        EXPECT_TRUE(out.aborted);
        EXPECT_EQ(out.out.substr(0, z.stop.size() + 12), " ***ERROR** " + z.stop) << out.out;
        EXPECT_TRUE(contains(out.out, "Abnormal termination of ZARIK by PI_SECTION")) << out.out;
        return;
    }
    EXPECT_FALSE(out.aborted) << out.out;
    EXPECT_EQ(out.out, "");
    EXPECT_NEAR(r, z.r, 1e-15);
    EXPECT_NEAR(l, z.l, 1e-15);
    EXPECT_NEAR(c, z.c, 1e-15);
}

constexpr double kThird = 0.333333333333333, kTwoPi = 6.283185307179586;

INSTANTIATE_TEST_SUITE_P(
    Modes, PiSectionZero,
    testing::Values(
        // Run on: a length of 0 in modes 0-2 makes no section, a frequency of 0 in mode 3 is not used.
        ZeroCase{"Mode0WithoutLength", 0, 0.0, 100, 100, 50, 0.4, ""},
        ZeroCase{"Mode3WithoutFrequency", 3, 10.0, 0, 0, 0.0, 400.0, "", 10.0 * 0.3 * kThird,
                 10.0 * (400.0 / 10000.0) * kThird, 500000.0 * 10.0 * (1.0 / 4.0e6) * kThird},
        ZeroCase{"Mode2WithoutVoltageOrMva", 2, 10.0, 0, 0, 50, 0.4, "", 10.0 * 0.3 * kThird,
                 10.0 / (kTwoPi * 50.0) * kThird, 500000.0 * 10.0 * 1.0e-6 / (kTwoPi * 50.0 * 0.4) * kThird},
        ZeroCase{"Mode0WithoutZeroSequenceValue", 0, 0.0, 100, 100, 50, 0.0, ""},
        // Another mode leaves the caller's values, scaled.
        ZeroCase{"OtherModeChecksNothing", 4, 1.0, 0, 0, 0.0, 0.0, "", 3.0 * kThird, 3.0 * kThird,
                 500000.0 * 3.0 * kThird},
        // Stop.
        ZeroCase{"Mode1Frequency", 1, 10.0, 100, 100, 0.0, 0.4, "Frequency too small"},
        ZeroCase{"Mode2Frequency", 2, 10.0, 0, 0, 0.0, 0.4, "Frequency too small"},
        ZeroCase{"Mode3Length", 3, 0.0, 0, 0, 50, 400.0, "Length too small"},
        ZeroCase{"Mode0Voltage", 0, 10.0, 0.0, 100, 50, 0.4, "Voltage too small"},
        ZeroCase{"Mode1Mva", 1, 10.0, 100, 0.0, 50, 0.4, "MVA too small"},
        ZeroCase{"Mode2ZeroSequence", 2, 10.0, 0, 0, 50, 0.0, "Zero Sequence Capacitive Reactance too small"},
        ZeroCase{"Mode3ZeroSequence", 3, 10.0, 0, 0, 50, 0.0, "Zero Sequence Surge Impedance too small"}),
    [](const testing::TestParamInfo<ZeroCase>& i) { return i.param.name; });

}  // namespace
