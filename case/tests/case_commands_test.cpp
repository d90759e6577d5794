// The whole case stepped in this process with control values changed
// before or during the run: the battery's direction, a DC voltage order
// that makes the chopper act, and the power balance at the station.
#include "case/tests/case_support.h"

namespace {

class CaseStepped : public CaseTest {
protected:
    static double ch(int32_t j) { return STORAGE.PGB(j); }
};

// Meter 2 (Main's STOF 60) carries the load's and the converter's power.
TEST_F(CaseStepped, StationPowerIsLoadPlusConverter) {
    int32_t checked = 0;
    const Captured c = run_steps(32000, [&](int32_t n) {
        if (n < 30000 || n % 100 != 0) return;
        EXPECT_NEAR(STORAGE.STOF(60), ch(12) + ch(5), 0.002) << n;
        ++checked;
    });
    ASSERT_FALSE(c.aborted) << c.out;
    EXPECT_EQ(checked, 21);
}

// DirSel 1: the buck side charges the battery.
TEST_F(CaseStepped, ChargingTurnsThePowerAndTheChargeAround) {
    STORAGE.CX(24) = 1.0;
    double soc_at_1s = 0.0;
    const Captured c = run_steps(30000, [&](int32_t n) {
        if (n == 20000) soc_at_1s = ch(16);
    });
    ASSERT_FALSE(c.aborted) << c.out;
    EXPECT_LT(ch(22), -50.0);
    EXPECT_EQ(ch(34), 1.0);
    EXPECT_GT(ch(16), soc_at_1s);
}

// A DC voltage order above the chopper's 1.7 kV: its gate follows the
// hysteresis of the DC voltage the previous step measured.
TEST_F(CaseStepped, ChopperFollowsTheDcVoltage) {
    STORAGE.CX(5) = 1.8;
    double vdc_prev = 0.0, gate_prev = 0.0;
    int32_t on_steps = 0;
    const Captured c = run_steps(30000, [&](int32_t) {
        const double gate = ch(96);
        if (vdc_prev >= 1.7) {
            EXPECT_EQ(gate, 1.0);
        } else if (vdc_prev <= 1.5) {
            EXPECT_EQ(gate, 0.0);
        } else {
            EXPECT_EQ(gate, gate_prev);
        }
        on_steps += gate == 1.0;
        vdc_prev = ch(51);
        gate_prev = gate;
    });
    ASSERT_FALSE(c.aborted) << c.out;
    EXPECT_GT(on_steps, 0);
}

}  // namespace
