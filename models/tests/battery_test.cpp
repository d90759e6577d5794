// Batteries: the fitted constants, the EMF over the state of charge, the
// charge integrated through a load, the rating reports and the table form.
#include <gtest/gtest.h>

#include "engine/pointer_block.h"
#include "models/sources/battery.h"
#include "models/tests/rectifier_circuit.h"
#include "platform/tests/support/capture.h"

namespace {

using rectifier::Circuit;

struct Ratings {
    double vnom = 0.5, vfull = 1.15, vexp = 1.03, q = 0.0167, qnom = 0.95, qexp = 0.4, soc = 90, r = 0.001,
           ipct = 20;
};

class Battery : public testing::Test {
protected:
    void TearDown() override { reset_all_engine_state(); }
    // Battery branch 1 (ground to node 1) into a load of R ohm.
    static Circuit circuit(const Ratings& x, double load = 2.5) {
        Circuit c;
        Circuit::tables(1, 2);
        Circuit::branch(0, 1, 1.0);
        Circuit::branch(1, 0, load);
        c.setup = [x] { BATTERY(1, 1, x.vnom, x.vfull, x.vexp, x.q, x.qnom, x.qexp, x.soc, x.r, x.ipct); };
        c.models = [] { BATTERY_DYN(1, 1); };
        return c;
    }
    static double first_emf(const Ratings& x) {
        Circuit c = circuit(x);
        c.begin();
        c.step();
        return NET.EBR(1, 1);
    }
};

TEST_F(Battery, FittedConstants) {
    Circuit c = circuit({});
    c.begin();
    const double expected[] = {0.0167, 0.9, 0.06, 7.5, 0.000792014946347764, 0.516292014946348};
    for (int k = 0; k < 6; ++k) EXPECT_NEAR(STORAGE.RTCF(1 + k), expected[k], 1e-15) << k;
    EXPECT_NEAR(NET.BRANCH_R(1, 1), 0.149700598802395, 1e-15);
    EXPECT_EQ(POINTER_BLOCK.NRTCF, 7);
}

TEST_F(Battery, EmfOverTheStateOfCharge) {
    Ratings x;
    EXPECT_NEAR(first_emf(x), 0.543753991503755, 1e-15);
    EXPECT_TRUE(is_true(NET.SOURCE(1, 1)));
    x.soc = 100;
    EXPECT_NEAR(first_emf(x), 0.5755, 1e-15);
    x.soc = 5;
    EXPECT_NEAR(first_emf(x), 0.5005, 1e-15);
}

// The charge follows the trapezoidal integral of the branch current.
TEST_F(Battery, DischargeThroughALoad) {
    Circuit c = circuit({});
    double charge = 0.0167 * 0.9, last = 0.0;
    const Captured out = capture([&] {
        c.begin();
        for (int n = 0; n <= 20000; ++n) {
            if (n >= 1) charge -= (last + NET.CBR(1, 1)) * 0.5 * rectifier::kStep / 3600.0;
            last = NET.CBR(1, 1);
            c.step();
        }
    });
    ASSERT_FALSE(out.aborted) << out.out;
    EXPECT_NEAR(STORAGE.STORF(3), 0.896588956502, 1e-12);
    EXPECT_NEAR(STORAGE.STORF(3), charge / 0.0167, 1e-12);
}

// The charge is kept as integrated, not as its state of charge times the
// capacity (which differs from it in the last bit here).
TEST_F(Battery, ChargeKeptAsIntegrated) {
    Circuit c = circuit({});
    c.begin();
    c.step();
    STORAGE.STORF(1) = 1.0;
    STORAGE.STORF(2) = 0.0046;
    NET.CBR(1, 1) = 1.0;
    RESETPTRS();
    BATTERY_DYN(1, 1);
    const double charge = 0.0046 - 2.0 * rectifier::kStep * 0.000138888888888889;
    ASSERT_NE(0.0167 * (charge / 0.0167), charge);
    EXPECT_EQ(STORAGE.STORF(2), charge);
    EXPECT_EQ(STORAGE.STORF(3), charge / 0.0167);
}

struct BadRating {
    const char* name;
    void (*spoil)(Ratings&);
    const char* message;
};
void PrintTo(const BadRating& c, std::ostream* os) { *os << c.name; }

class BatteryRatings : public Battery, public testing::WithParamInterface<BadRating> {};

TEST_P(BatteryRatings, ReportedAndStopped) {
    Ratings x;
    GetParam().spoil(x);
    Circuit c = circuit(x);
    const Captured out = capture([&] { c.begin(); });
    EXPECT_TRUE(out.aborted);
    EXPECT_NE(out.out.find(GetParam().message), std::string::npos) << out.out;
    EXPECT_NE(out.out.find("BATTERY"), std::string::npos) << out.out;
}

INSTANTIATE_TEST_SUITE_P(
    All, BatteryRatings,
    testing::Values(
        BadRating{"ExpAboveFull", [](Ratings& x) { x.vexp = 1.2; },
                  "Fully charged voltage should be higher than the voltage at exponential point"},
        BadRating{"ExpAtNominal", [](Ratings& x) { x.vexp = 1.0; },
                  "Nominal voltage should be less than the voltage at exponential point"},
        BadRating{"NominalVoltage", [](Ratings& x) { x.vnom = 0.0; }, "Unrealistic nominal voltage"},
        BadRating{"NominalCapacity", [](Ratings& x) { x.qnom = 1.0; },
                  "Rated capacity should be higher than nominal capacity"},
        BadRating{"ExpCapacity", [](Ratings& x) { x.qexp = 0.95; },
                  "Nominal capacity should be higher than the capacity at exponential point"},
        BadRating{"ExpCapacityZero", [](Ratings& x) { x.qexp = 0.0; }, "Unrealistic Capacity at exponential point"},
        BadRating{"RatedCapacity", [](Ratings& x) { x.q = 0.0; }, "Unrealistic Rated Capacity"},
        BadRating{"Current", [](Ratings& x) { x.ipct = 0.0; }, "Unrealistic nominal discharge current"}),
    [](const testing::TestParamInfo<BadRating>& p) { return std::string(p.param.name); });

// Near empty, the polarisation term holds its 1 % value and says so once
// per fall below 1 %.
TEST_F(Battery, StateOfChargeFloor) {
    Ratings x;
    x.soc = 2;
    Circuit c = circuit(x);
    const Captured out = capture([&] {
        c.begin();
        c.step();
        const double K = STORAGE.RTCF(5), E0 = STORAGE.RTCF(6), A = 0.06;
        for (double soc : {0.5, -0.2, 0.5, 2.0, 0.0}) {
            STORAGE.STORF(1) = 0.0;
            STORAGE.STORF(2) = 0.0167 * soc * 0.01;
            NET.CBR(1, 1) = 0.0;
            RESETPTRS();
            BATTERY_DYN(1, 1);
            const double held = E0 + A * std::exp(-7.5 * (1.0 - soc * 0.01)) - K / std::max(soc * 0.01, 0.01);
            EXPECT_NEAR(NET.EBR(1, 1), held, 1e-14) << soc;
            EXPECT_NEAR(STORAGE.STORF(3), soc * 0.01, 1e-15) << soc;
        }
    });
    EXPECT_FALSE(out.aborted) << out.out;
    const std::string warning = "Battery state of charge below 1 %: its polarisation voltage is held at the 1 % value.";
    size_t n = 0;
    for (size_t at = out.out.find(warning); at != std::string::npos; at = out.out.find(warning, at + 1)) ++n;
    EXPECT_EQ(n, 2u) << out.out;
}

// Voltage curve 100 .. 10 % at 1.2 .. 0.3 per unit, resistance points
// 1.0 .. 0.1: the segments, the end above the first point and the slope to
// the origin below the last.
TEST_F(Battery, TableOnItsSegmentsAndEnds) {
    double soc[10], volts[10], ohms[10];
    for (int k = 0; k < 10; ++k) {
        soc[k] = 100.0 - 10.0 * k;
        volts[k] = 1.2 - 0.1 * k;
        ohms[k] = 1.0 - 0.1 * k;
    }
    struct Case {
        double soc, emf, ohm;
    };
    // V_nom 2, I_pct 50, Q 4: resistance scale 2 x 100 / 200 = 1.
    for (const Case& k : {Case{120, 2.4 + 0.4, 1.0}, Case{95, 2.4 - 0.1, 0.95}, Case{55, 1.5, 0.55},
                          Case{10, 0.6, 0.1}, Case{5, 0.3, 0.1}, Case{-5, 0.0, 0.1}}) {
        Circuit c;
        Circuit::tables(1, 2);
        Circuit::branch(0, 1, 1.0, true);
        Circuit::branch(1, 0, 2.5);
        c.setup = [&] { BATTERY_TABLE(1, 1, 2.0, 50.0, 4.0, k.soc, soc, volts, soc, ohms); };
        c.models = [] { BATTERY_TABLE_DYN(1, 1); };
        const Captured out = capture([&] {
            c.begin();
            RESETPTRS();
            RUN_CLOCK.TIME = 0.0;
            c.models();
        });
        ASSERT_FALSE(out.aborted) << out.out;
        EXPECT_NEAR(NET.EBR(1, 1), k.emf, 1e-12) << k.soc;
        EXPECT_NEAR(NET.BRANCH_R(1, 1), k.ohm, 1e-12) << k.soc;
        EXPECT_NEAR(NET.GEQ(1, 1), 1.0 / k.ohm, 1e-9) << k.soc;
    }
}

TEST_F(Battery, TableChecks) {
    double soc[10], volts[10], ohms[10];
    for (int k = 0; k < 10; ++k) {
        soc[k] = 100.0 - 10.0 * k;
        volts[k] = 1.0;  // equal voltages are accepted
        ohms[k] = -1.0;
    }
    soc[3] = soc[2];
    soc[9] = 0.0;  // a last point of 0 is accepted
    Circuit::tables(1, 1);
    Circuit::branch(0, 1, 1.0);
    const Captured out = capture([&] { BATTERY_TABLE(1, 1, 0.0, 50.0, 4.0, 50, soc, volts, soc, ohms); });
    EXPECT_TRUE(out.aborted);
    for (const char* m : {"State of Chrage points should be entered in decreasing order",
                          "Battery resistance could not be negative.", "Unrealistic nominal voltage"})
        EXPECT_NE(out.out.find(m), std::string::npos) << m << out.out;
    for (const char* m : {"Voltage points in discharge", "should be positive", "Rated Capacity"})
        EXPECT_EQ(out.out.find(m), std::string::npos) << m << out.out;
}

}  // namespace
