// Loads set from ratings and filter element values.
#include <gtest/gtest.h>

#include "models/switch/loads_filters.h"
#include "models/tests/rectifier_circuit.h"
#include "network/tests/reader_test_support.h"

namespace {

void expect_close(double got, double want) { EXPECT_NEAR(got, want, 1e-14 * std::fabs(want)); }

class Loads : public testing::Test {
protected:
    void SetUp() override {
        rectifier::Circuit::tables(3, 3);
        for (int32_t k = 1; k <= 3; ++k) rectifier::Circuit::branch(k, 0, 1.0);
    }
    void TearDown() override { reset_all_engine_state(); }
    // The value of each of the three branches is the same.
    static double value(const FArray2<double>& a) {
        EXPECT_EQ(a(1, 1), a(2, 1));
        EXPECT_EQ(a(1, 1), a(3, 1));
        return a(1, 1);
    }
};

TEST_F(Loads, ValuesStarAndDelta) {
    for (int32_t delta : {0, 1}) {
        LOAD_R(1, 1, 2, 3, delta, 2.0, 11.0);
        expect_close(value(NET.BRANCH_R), delta ? 181.5 : 60.5);
        LOAD_L(1, 1, 2, 3, delta, -1.5, 11.0, 50.0);
        expect_close(value(NET.BRANCH_L), delta ? 0.770309924564773 : 0.256769974854924);
        LOAD_C(1, 1, 2, 3, delta, 1.5, 11.0, 50.0);
        expect_close(value(NET.BRANCH_C) * 1e6, delta ? 13.1533010819748 : 39.4599032459245);
        EXPECT_EQ(std::make_tuple(NET.RESISTOR(1, 1), NET.INDUCTOR(1, 1), NET.CAPACITR(1, 1)),
                  std::make_tuple(LFALSE, LFALSE, LTRUE));
    }
}

// An unrealistic rating (a limit is strict; not finite counts) leaves the branches open.
TEST_F(Loads, UnrealisticRatingsDisableTheLoad) {
    CURRENT_IDS = {1, 2};
    const std::string r = " ***WARN*** Resistive load disabled due to unrealistic data[           1 :           2 ]\n";
    EXPECT_EQ(capture([] { LOAD_R(1, 1, 2, 3, 0, 1e-20, 11.0); }).out, r);
    EXPECT_EQ(std::make_tuple(NET.GEQ(1, 1), NET.RESISTOR(3, 1), SSDESC_RA(1)(2, 2)), std::make_tuple(0.0, LFALSE, 0.0));
    EXPECT_EQ(capture([] { LOAD_R(1, 1, 2, 3, 0, 2.0, INFINITY); }).out, r);
    EXPECT_EQ(capture([] { LOAD_L(1, 1, 2, 3, 0, 1.0, 11.0, 0.0); }).out,
              " ***WARN*** Reactive load disabled due to unrealistic load or frequency[           1 :           2 ]\n");
    EXPECT_EQ(capture([] { LOAD_C(1, 1, 2, 3, 0, 1.0, 0.0, 50.0); }).out,
              " ***WARN*** Capacitive load disabled due to unrealistic voltage or frequency[           1 :           2 ]\n");
    // Q = 0 is accepted: an open capacitor.
    EXPECT_EQ(capture([] { LOAD_C(1, 1, 2, 3, 0, 0.0, 11.0, 50.0); }).out, "");
    EXPECT_EQ(std::make_tuple(NET.CAPACITR(1, 1), NET.GEQ(1, 1), NET.RSL(1, 1)), std::make_tuple(LTRUE, 0.0, 0.0));
}

TEST(Filters, ElementValues) {
    double R, L, C, C1;
    TUNED_FILTER(30.0, 50.0, 250.0, 2.0, 11.0, R, L, C);
    expect_close(R, 0.403333333333333);
    expect_close(L, 0.00770309924564774);
    expect_close(C, 52.6132043278993);
    BPASS_FILTER(30.0, 50.0, 250.0, -2.0, 11.0, R, L, C);
    expect_close(R, 363.0);
    CTYPE_FILTER(30.0, 50.0, 5.0, 2.0, 11.0, R, L, C, C1);
    expect_close(R, 363.0);
    expect_close(L, 0.00802406171421639);
    expect_close(C, 1262.71690386958);
    expect_close(C1, 52.6132043278993);
    // The limits are inclusive.
    EXPECT_FALSE(capture([&] { CTYPE_FILTER(1e-5, 50.0, 1.01, 2.0, 11.0, R, L, C, C1); }).aborted);
}

TEST(Filters, UnrealisticSpecificationsStop) {
    double R = 0, L = 0, C = 0, C1 = 0;
    EXPECT_STOPS(TUNED_FILTER(30.0, 50.0, 0.001, 2.0, 11.0, R, L, C),
                 " ***ERROR** Unrealistic specifications in Tuned Filter\n" + abort_frame("TUNED_FILTER"));
    EXPECT_STOPS(BPASS_FILTER(30.0, 50.0, 250.0, 2e-5, 11.0, R, L, C),
                 " ***ERROR** Unrealistic specifications in Band Pass Filter\n" + abort_frame("BPASS_FILTER"));
    EXPECT_STOPS(CTYPE_FILTER(30.0, 50.0, 1.0, 2.0, 11.0, R, L, C, C1),
                 " ***ERROR** Unrealistic specifications in C-Type Filter\n" + abort_frame("CTYPE_FILTER"));
}

}  // namespace
