// The induction machine forms against a stiff bus.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "models/machines/induction_machine.h"
#include "models/tests/machine_bus.h"

namespace {

const std::string kNoSaturation = "0 0 1 1 -1 -1 -1 -1 -1 -1 -1 -1 -1 -1 -1 -1 -1 -1 -1 -1\n";

std::string induction_data(const std::string& r = "0.01 0.012 0 0 0", const std::string& x = "3.0 0.1 0.1",
                           const std::string& ratings = "3 3 376.99111843077515", const std::string& shaft = "1 0 1") {
    return r + "\n" + x + " 0 0 0 0 0 0 0 0 0\n" + ratings + "\n" + shaft + "\n" + kNoSaturation + kNoSaturation;
}

std::string error(const std::string& text) { return " ***ERROR** " + text + "[           1 :           2 ]\n"; }

class Induction : public MachineBus {
protected:
    void SetUp() override {
        MachineBus::SetUp();
        peak = 3.0 * std::sqrt(2.0 / 3.0);
        model = [this] { INDUCMC(1, 1, 2, 3, 0, 0, 0, 0, speed, mode, tm, nrot); };
    }
    double speed = 0.99, tm = 0.0;
    int32_t mode = 1, nrot = 0;
};

struct SlipCase {
    const char* name;
    double speed;
    std::string r, x;
    int32_t nrot;
    double te;
};
void PrintTo(const SlipCase& c, std::ostream* os) { *os << c.name; }

class InductionSlip : public Induction, public testing::WithParamInterface<SlipCase> {};

// The torque of the equivalent circuit at a fixed slip.
TEST_P(InductionSlip, TorqueOfTheEquivalentCircuit) {
    data_file(induction_data(GetParam().r, GetParam().x));
    speed = GetParam().speed;
    nrot = GetParam().nrot;
    begin();
    ASSERT_TRUE(run(8.0));
    EXPECT_NEAR(STORAGE.STOR(81), GetParam().te, 1e-4 * std::fabs(GetParam().te));
    EXPECT_EQ(POINTER_BLOCK.NEXC, 140);
}

INSTANTIATE_TEST_SUITE_P(
    Bus, InductionSlip,
    testing::Values(SlipCase{"Slip1", 0.99, "0.01 0.012 0 0 0", "3.0 0.1 0.1", 0, 0.74856499},
                    SlipCase{"Slip2", 0.98, "0.01 0.012 0 0 0", "3.0 0.1 0.1", 0, 1.37031596},
                    SlipCase{"Generating", 1.01, "0.01 0.012 0 0 0", "3.0 0.1 0.1", 0, -0.77167082},
                    SlipCase{"DoubleCage", 0.99, "0.01 0.05 0.008 0 0", "3.0 0.1 0.15 0.05 0 0 0.02", 1,
                             1.2583322}),
    [](const auto& info) { return std::string(info.param.name); });


TEST_F(Induction, SetUpValuesAndConnection) {
    data_file(induction_data());
    begin();
    run_step();
    const double gs = 0.01596547086250552, gr = 0.031415926535897906;
    EXPECT_NEAR(STORAGE.STOR(85), gs, 1e-16);
    EXPECT_NEAR(STORAGE.STOR(134), gr, 1e-16);
    EXPECT_NEAR(STORAGE.STOR(135), 1.0 / 3.0, 1e-15);
    const double want[3] = {1.0 / 63.0, 0.001511715797430082, 19.0 / 21.0};
    for (int32_t k = 0; k < 3; ++k) EXPECT_NEAR(STORAGE.STORF(1 + k), want[k], 1e-16);
    ASSERT_EQ(BRCHANGE_LIST.count, 3);
    EXPECT_NEAR(BRCHANGE_LIST.reals[0][0], 3.0 * 0.19677419354838677 / kW, 1e-15);
    EXPECT_EQ(std::make_tuple(BRCHANGE_LIST.ints[0][2], BRCHANGE_LIST.ints[1][2], NET.NORMARK(3, 1)),
              std::make_tuple(1, 3, LTRUE));
    EXPECT_EQ(NET.GNOR(1, 1), gs);
    EXPECT_EQ(std::make_tuple(POINTER_BLOCK.NEXC, POINTER_BLOCK.NSTORF), std::make_tuple(140, 12));
}

// Left free with the load at the settled torque, the machine keeps its speed.
TEST_F(Induction, FreeAtTheSettledTorqueKeepsItsSpeed) {
    data_file(induction_data());
    begin();
    ASSERT_TRUE(run(8.0));
    mode = 0;
    tm = STORAGE.STOR(81);
    for (int32_t k = 0; k < 20000; ++k) {
        ASSERT_TRUE(run_step());
        ASSERT_NEAR(STORAGE.STOR(43), 0.99, 1e-5) << k;
    }
}

TEST_F(Induction, FreeWithoutInertiaStops) {
    data_file(induction_data("0.01 0.012 0 0 0", "3.0 0.1 0.1", "3 3 376.99111843077515", "0 0 1"));
    mode = 0;
    begin();
    EXPECT_STOPS(run_step(), error("Unrealistic inertia") + abort_frame("INDUCMC"));
}

TEST_F(Induction, SaturationFactor) {
    POINTER_BLOCK.NEXC = 0;
    const double xy[8] = {0, 0, 1, 1, 2, 1.5, 3, 1.8};
    for (int32_t k = 0; k < 20; ++k) STORAGE.STOR(86 + k) = k < 8 ? xy[k] : -1.0;
    const std::vector<std::pair<double, double>> want = {{0.5, 1.0}, {1.5, 0.8333333333333334}, {2.5, 0.66},
                                                         {4.0, 0.525}};
    for (const auto& [x, f] : want) {
        double factor = 0.0;
        INDUCMC_SATCHK(x, factor, 1);
        EXPECT_NEAR(factor, f, 1e-15) << x;
    }
}

// The second form's voltage floor is not this form's: any positive
// rating sets up.
TEST_F(Induction, ASmallRatedVoltageSetsUp) {
    data_file(induction_data("0.01 0.012 0 0 0", "3.0 0.1 0.1", "3 0.0005 376.99111843077515"));
    begin();
    const Captured c = capture([this] { run_step(); });
    EXPECT_FALSE(c.aborted) << c.out;
    EXPECT_NEAR(STORAGE.STOR(135), 3.0 / (0.0005 * 0.0005), 1e-3);
}

struct InductionFault {
    const char* name;
    std::string data;
    int32_t nrot;
    std::string out;
};
void PrintTo(const InductionFault& c, std::ostream* os) { *os << c.name; }

class InductionDataFault : public Induction, public testing::WithParamInterface<InductionFault> {};

TEST_P(InductionDataFault, Stops) {
    data_file(GetParam().data);
    nrot = GetParam().nrot;
    begin();
    const Captured c = capture([this] {
        for (int32_t k = 0; k < 3; ++k) run_step();
    });
    EXPECT_TRUE(c.aborted);
    EXPECT_EQ(c.out, GetParam().out + abort_frame("INDUCMC"));
}

INSTANTIATE_TEST_SUITE_P(
    Data, InductionDataFault,
    testing::Values(
        InductionFault{"Ratings", induction_data("0.01 0.012 0 0 0", "3.0 0 0.1", "0 -1 0"), 4,
                       error("Unrealistic number of rotor windings") + error("Unrealistic rated voltage") +
                           error("Unrealistic rated power") + error("Unrealistic base frequency") +
                           error("Unrealistic reactance data")},
        InductionFault{"Curve",
                       "0.01 0.012 0 0 0\n3 0.1 0.1 0 0 0 0 0 0 0 0 0\n3 3 377\n1 0 1\n0 0 1 1 1 2 -1 -1 -1 -1 -1 -1 "
                       "-1 -1 -1 -1 -1 -1 -1 -1\n" + kNoSaturation,
                       0,
                       " ERROR in saturation data\n First point need to be 0,0 and Second point\n should be in the "
                       "unsaturated region\n Points should be entered in ascending order.\n"},
        InductionFault{"Integration", induction_data("0.01 1e30 0 0 0"), 0,
                       " Integration Error:\n The values of winding parameters are:   R - too large, L - too small.\n"}),
    [](const auto& info) { return std::string(info.param.name); });

class Induction2 : public MachineBus {
protected:
    void SetUp() override {
        MachineBus::SetUp();
        peak = 3.0 * std::sqrt(2.0 / 3.0);
        for (int32_t k = 0; k < 6; ++k) switched(k % 3 + 1, 0);
        model = [this] { INDUCMC2(1, 4, 5, 6, 7, 8, 9, 0, 0, 0, rd[0], rd[1], rd[2], 0.99, 1, 0.0); };
    }
    static void vchk(double vll) {
        const double r[5] = {0.01, 0.012}, x[12] = {3.0, 0.1, 0.1};
        const double cx[10] = {0, 1, -1, -1, -1, -1, -1, -1, -1, -1}, cy[10] = {0, 1, -1, -1, -1, -1, -1, -1, -1, -1};
        INDUCMC_VCHK(0, 3, vll, kW, 1, 0, 1, 20, 10, r, x, cx, cy, cx, cy);
    }
    int32_t rd[3] = {0, 0, 0};
};

TEST_F(Induction2, SameTorqueThroughItsBranches) {
    setup = [] { vchk(3.0); };
    begin();
    ASSERT_TRUE(run(8.0));
    EXPECT_NEAR(STORAGE.STOR(61), 0.74856499, 0.74856499e-4);
    EXPECT_EQ(std::make_tuple(POINTER_BLOCK.NEXC, POINTER_BLOCK.NRTCF, POINTER_BLOCK.NRTCI), std::make_tuple(77, 68, 2));
}

TEST_F(Induction2, BranchesAndListWithoutRotor) {
    setup = [] { vchk(3.0); };
    begin();
    run_step();
    std::vector<int32_t> kinds;
    for (int32_t r = 0; r < BRCHANGE_LIST.count; ++r) kinds.push_back(BRCHANGE_LIST.ints[0][r]);
    EXPECT_EQ(kinds, (std::vector<int32_t>{9, 12, 9, 12, 9, 12, 9, 9, 9}));
    EXPECT_NEAR(BRCHANGE_LIST.reals[0][1], 0.03, 1e-15);
    EXPECT_NEAR(BRCHANGE_LIST.reals[1][1], 1.5658792788073562e-3, 1e-17);
    EXPECT_EQ(BRCHANGE_LIST.reals[2][1], -1.0);
    EXPECT_EQ(std::make_tuple(NET.DEFRDBR(4, 1), NET.GEQ(4, 1)), std::make_tuple(LTRUE, STORAGE.RTCF(23)));
    EXPECT_NEAR(NET.BRANCH_R(7, 1), 60.0, 1e-12);  // 20 ZB
}

// A rotor damping branch without its rotor branch gets no conductance.
TEST_F(Induction2, RotorDampingWithoutRotorBranch) {
    const int32_t extra = switched(1, 0);
    rd[0] = extra;
    setup = [] { vchk(3.0); };
    begin();
    run_step();
    EXPECT_EQ(std::make_tuple(NET.DEFRDBR(extra, 1), NET.GEQ(extra, 1)), std::make_tuple(LTRUE, 0.0));
}

TEST_F(Induction2, RatedVoltageLimit) {
    EXPECT_STOPS(vchk(0.0005), error("Unrealistic rated voltage") + abort_frame("INDUCMC"));
    RESETPTRS();
    EXPECT_FALSE(capture([] { vchk(0.001); }).aborted);
}

}  // namespace
