// The bridge module alone at its place in the case's network (no other
// module runs, so its blocks and model records start at the front):
// enable rounding, the DC injection and its clamp, the EMF ramp.
#include "case/modules.h"
#include "case/tests/case_support.h"
#include "network/network_tables.h"

namespace {

// Global numbers on the case's map: branches 69-89, sources 87 (phase 1)
// to 85 (phase 3), DC injection 75; 95 module nodes and 9 module
// subsystems come before it.
constexpr int32_t kBranchBase = 68, kInjection = 75, kPhase1Source = 87;

void place(bool dynamic) {
    PointerBlock& p = POINTER_BLOCK;
    p.NINST = 18;
    p.NNODE = 95;
    p.NSUBS = 9;
    STORAGE.NBRCH(1) = kBranchBase;
    p.NTXFR = dynamic ? 17 : p.NTXFR;
    p.NPGB = 96;
}

class BridgeAlone : public CaseTest {
protected:
    void SetUp() override {
        CaseTest::SetUp();
        RUN_FLAGS.FIRST_STEP_DATA = LTRUE;
        const Captured c = capture([] {
            RESETPTRS();
            place(true);
            POINTER_BLOCK.NSTOI = POINTER_BLOCK.NSTOF = 0;
            ConvBridge_Avg_6_DSD_BEGIN(0.0005);
            RESETPTRS_OUT();
            place(false);
            ConvBridge_Avg_6_DSO_BEGIN(0.0005);
        });
        ASSERT_FALSE(c.aborted) << c.out;
    }
    // Step n with the previous output pass's DC balance current and DC
    // voltage set.
    static Captured step_with(int32_t n, double enable, double idc_bal, double vdc_meas = 0.0) {
        RUN_FLAGS.FIRST_STEP_DATA = as_logical(n == 0);
        RUN_FLAGS.FIRST_STEP_RUN = as_logical(n == 0);
        RUN_CLOCK.TIME = n * RUN_CLOCK.DELT;
        STORAGE.STOF(15) = idc_bal;
        STORAGE.STOF(16) = vdc_meas;
        return capture([enable] {
            RESETPTRS();
            place(true);
            POINTER_BLOCK.NSTOI = POINTER_BLOCK.NSTOF = 0;
            const double vref[6] = {0.8, -0.4, -0.4, enable, 67.0, 60.0};
            ConvBridge_Avg_6_DSD(vref, 0.0005, 1.25);
            RESETPTRS_OUT();
            place(false);
            POINTER_BLOCK.NTXFR = 17;
            ConvBridge_Avg_6_DSO();
        });
    }
};

struct EnableCase {
    const char* name;
    double enable;
    int32_t rounded;
};
void PrintTo(const EnableCase& c, std::ostream* os) { *os << c.name; }


class BridgeEnable : public BridgeAlone, public testing::WithParamInterface<EnableCase> {};

// The injection is minus the balance current times the rounded enable.
TEST_P(BridgeEnable, RoundsHalfAwayAndScalesTheInjection) {
    const EnableCase& e = GetParam();
    ASSERT_FALSE(step_with(0, e.enable, 0.0).aborted);
    const Captured c = step_with(1, e.enable, 3.0);
    ASSERT_FALSE(c.aborted) << c.out;
    EXPECT_EQ(STORAGE.STOI(1), e.rounded);
    EXPECT_EQ(STORAGE.STOI(2), e.rounded == 0 ? 1 : 0);
    EXPECT_EQ(NET.CCBR(kInjection, 1), -3.0 * e.rounded);
}

INSTANTIATE_TEST_SUITE_P(Case, BridgeEnable,
                         testing::Values(EnableCase{"PointFour", 0.4, 0}, EnableCase{"Half", 0.5, 1},
                                         EnableCase{"MinusHalf", -0.5, -1}, EnableCase{"Two", 2.0, 2}),
                         [](const auto& i) { return std::string(i.param.name); });

TEST_F(BridgeAlone, InjectionClampedAtTenToTheTen) {
    ASSERT_FALSE(step_with(0, 1.0, 1e100).aborted);
    EXPECT_EQ(NET.CCBR(kInjection, 1), -1e10);
    EXPECT_EQ(NET.CCBRD(kInjection, 1), -1e10);
    ASSERT_FALSE(step_with(1, -1.0, 1e100).aborted);
    EXPECT_EQ(NET.CCBR(kInjection, 1), 1e10);
}

// The DC voltage of the previous output pass, and the one the EMF takes
// after the first step: the measured link, and 0 for a negative one.
struct EmfCase {
    const char* name;
    double measured, taken;
};
void PrintTo(const EmfCase& c, std::ostream* os) { *os << c.name; }

class BridgeEmf : public BridgeAlone, public testing::WithParamInterface<EmfCase> {};

// Phase 1's EMF is 0.8 x the DC voltage / 2, ramped over 0.05 s.
TEST_P(BridgeEmf, RampsOverFiftyMillisecondsAtTheLinkVoltage) {
    const EmfCase& e = GetParam();
    const int32_t ramp_steps = static_cast<int32_t>(0.05 / RUN_CLOCK.DELT + 0.5);
    for (int32_t n = 0; n <= ramp_steps + 2; ++n) {
        ASSERT_FALSE(step_with(n, 1.0, 0.0, e.measured).aborted) << n;
        const double t = RUN_CLOCK.TIME, full = 0.4 * e.taken;
        const double want = t < 0.05 ? full * t / 0.05 : full;
        EXPECT_NEAR(NET.EBR(kPhase1Source, 1), want, 1e-12) << n;
        // Nothing is measured before the first step: it takes the DC input.
        if (n == 0) {
            EXPECT_NEAR(STORAGE.STOF(30), 0.8 * 1.25, 1e-12);
        }
    }
    EXPECT_EQ(STORAGE.STOF(8), 1.25);
    EXPECT_NEAR(STORAGE.STOF(30), 0.8 * e.taken, 1e-12);
    for (int32_t k = 0; k < 3; ++k) EXPECT_EQ(STORAGE.PGB(97 + k), STORAGE.PGB(k == 0 ? 100 : 103 + k));
}

INSTANTIATE_TEST_SUITE_P(Case, BridgeEmf,
                         testing::Values(EmfCase{"NoLinkMeasured", 0.0, 0.0}, EmfCase{"MeasuredLink", 0.4, 0.4},
                                         EmfCase{"CollapsedLink", 0.04, 0.04},
                                         EmfCase{"NegativeLink", -0.3, 0.0}),
                         [](const auto& i) { return std::string(i.param.name); });

}  // namespace
