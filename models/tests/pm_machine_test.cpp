// The permanent-magnet machine forms against a stiff bus.
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "models/machines/pm_dq_model.h"
#include "models/machines/pm_machine.h"
#include "network/dense_matrix.h"
#include "models/tests/machine_bus.h"

namespace {

std::string pm_data(const std::string& line1 = "13.8 0.2 376.99111843077515",
                    const std::string& line2 = "0.6 0.6 0.5 0.5 0.55 0.55 0.1", const std::string& line5 = "1000") {
    return "! machine\n" + line1 + "\n" + line2 + "\n0.01 0.02 0.02\nC a comment\n1.4\n" + line5 + "\n1 10\n";
}

// In a steady state without damper currents the input power is the
// shaft power and the stator loss.
TEST(PmModel, SteadyStatePowerBalance) {
    const PmAxisData p{0.6, 0.4, 0.5, 0.3, 0.55, 0.35, 0.1, 0.01, 0.02, 0.03};
    const double s = 0.8, E = 1.4, id = -0.3, iq = 0.7;
    WindingMatrix a{}, as{}, b{}, l{}, work{};
    PM_MATRICES(p, 1.0 / (p.Xd * p.XD - p.Xmd * p.Xmd), 1.0 / (p.Xq * p.XQ - p.Xmq * p.Xmq), a, as, b);
    int32_t L[5], M[5];
    ASSERT_EQ(MATINV(b.data(), l.data(), 5, 5, work.data(), L, M), 0);
    double u[5] = {};
    for (int32_t i = 1; i <= 5; ++i)
        for (int32_t k = 1; k <= 5; ++k)
            u[i - 1] -= wm(l, i, k) * ((wm(a, k, 1) + s * wm(as, k, 1)) * id + (wm(a, k, 2) + s * wm(as, k, 2)) * iq);
    EXPECT_NEAR(u[3], 0.0, 1e-12);
    EXPECT_NEAR(u[4], 0.0, 1e-12);
    const double te = 0.5 * ((E + p.Xd * id) * iq - p.Xq * iq * id);
    EXPECT_NEAR(0.5 * (u[0] * id + (u[1] + s * E) * iq), te * s + 0.5 * p.Ra * (id * id + iq * iq), 1e-9);
}

class PmMachine : public MachineBus {
protected:
    void SetUp() override {
        MachineBus::SetUp();
        for (int32_t k = 0; k < 3; ++k) switched(k + 1, 0);
        model = [this] { PM_MACHINE(1, nodes, 4, 5, 6, speed, te); };
    }
    // The steady state after `seconds`, and the peak bus current over a
    // further cycle at the machine's frequency.
    double settle(double seconds) {
        begin();
        EXPECT_TRUE(run(seconds));
        double imax = 0.0;
        for (int k = 0; k < static_cast<int>(std::lround(1.0 / (60.0 * speed * kDt))); ++k) {
            run_step();
            imax = std::max(imax, std::fabs(I(1)));
        }
        return imax;
    }
    int32_t nodes[3] = {1, 2, 3};
    double speed = 1.0, te = 0.0;
};

struct SteadyCase {
    const char* name;
    double peak, angle_deg, speed, te, current;
};
void PrintTo(const SteadyCase& c, std::ostream* os) { *os << c.name; }

class PmSteady : public PmMachine, public testing::WithParamInterface<SteadyCase> {};

TEST_P(PmSteady, TorqueAndCurrent) {
    const SteadyCase& c = GetParam();
    data_file(pm_data());
    peak = c.peak;
    angle = c.angle_deg * M_PI / 180.0;
    speed = bus_speed = c.speed;
    const double imax = settle(2.0);
    EXPECT_NEAR(te, c.te, std::fabs(c.te) * 1e-3);
    if (c.current > 0.0) {
        EXPECT_NEAR(imax, c.current, c.current * 1e-4);
    }
}

INSTANTIATE_TEST_SUITE_P(Bus, PmSteady,
                         testing::Values(SteadyCase{"Rated", 11.267653, -70.0, 1.0, 0.53372, 0.0},
                                         SteadyCase{"ShortCircuit", 0.0, 0.0, 1.0, -0.02721466, 0.46660187},
                                         SteadyCase{"HalfSpeedShortCircuit", 0.0, 0.0, 0.5, -0.054384, 0.46640762}),
                         [](const auto& info) { return std::string(info.param.name); });

// A bus equal to the machine's EMF, one step ahead: no current flows.
TEST_F(PmMachine, AtItsOwnEmfNoCurrentFlows) {
    data_file(pm_data());
    peak = 11.154407;
    angle = kW * kDt - M_PI / 2.0;
    settle(1.0);
    for (int32_t k = 0; k < 5; ++k) EXPECT_LT(std::fabs(STORAGE.STORF(22 + k)), 1e-3) << k;
    EXPECT_EQ(NET.GNOR(1, 1), 1e-3);
}

TEST_F(PmMachine, ConnectionOnTheFirstStep) {
    data_file(pm_data());
    nodes[1] = 0;
    begin();
    run_step();
    EXPECT_EQ(std::make_tuple(NET.NORMARK(1, 1), NET.NORMARK(2, 1), NET.NORMARK(3, 1)),
              std::make_tuple(LTRUE, LFALSE, LTRUE));
    const BranchChangeList& l = BRCHANGE_LIST;
    ASSERT_EQ(l.count, 5);
    EXPECT_EQ(std::make_tuple(l.ints[0][3], l.ints[1][3], l.ints[0][4], l.ints[1][4]), std::make_tuple(1, 1, 1, 3));
    EXPECT_NEAR(l.reals[0][3], 13.8 * 0.6 / (0.2 * kW), 1e-12);
    EXPECT_NEAR(NET.BRANCH_R(4, 1), 13.8 * 0.577350269189626 / 0.2, 1e-12);
    EXPECT_NEAR(NET.BRANCH_R(4, 1) * NET.BRANCH_C(4, 1), 10 * kDt, 1e-15);
    EXPECT_EQ(POINTER_BLOCK.NSTORF, 31);
}

struct DataFault {
    const char* name;
    std::string data, message;
    const char* routine = "PM_MACHINE";  // that stops the run
};
void PrintTo(const DataFault& c, std::ostream* os) { *os << c.name; }

class PmDataFault : public PmMachine, public testing::WithParamInterface<DataFault> {};

TEST_P(PmDataFault, Stops) {
    data_file(GetParam().data);
    begin();
    const Captured c = capture([this] { run_step(); });
    EXPECT_TRUE(contains(c.out, " " + GetParam().message + "\n")) << c.out;
    EXPECT_TRUE(contains(c.out, std::string("ERROR: Abnormal termination of ZARIK by ") + GetParam().routine))
        << c.out;
}

INSTANTIATE_TEST_SUITE_P(
    Data, PmDataFault,
    testing::Values(DataFault{"Frequency", pm_data("13.8 0.2 0"), "Unrealistic rated voltage, current or frequency"},
                    DataFault{"DAxis", pm_data("13.8 0.2 377", "0.5 0.6 0.5 0.5 0.5 0.55 0.1"), "Unrealistic D axis data"},
                    DataFault{"QAxis", pm_data("13.8 0.2 377", "0.6 0.5 0.5 0.5 0.55 0.5 0.1"), "Unrealistic Q axis data"},
                    DataFault{"ZeroSequence", pm_data("13.8 0.2 377", "0.6 0.6 0.5 0.5 0.55 0.55 0"), "Unrealistic zero sequence reactance"},
                    DataFault{"Interface", pm_data("13.8 0.2 377", "0.6 0.6 0.5 0.5 0.55 0.55 0.1", "-1"), "Unrealistic interface resistance"},
                    DataFault{"KeyLine", "1 2 3\n0.6 0.6 0.5 0.5 0.55 0.55 0.1\nENDCASE\n",
                              "Data line 3 of PM_MACHINE is missing or unreadable"},
                    DataFault{"EndOfFile", "1 2 3\n0.6 0.6 0.5 0.5 0.55 0.55 0.1\n! no more\n",
                              "End_Of_File while reading data file " + pad_text("machine.dat", 72), "RDCMNT"},
                    DataFault{"Unreadable", pm_data("13.8 x 377"),
                              "Data line 1 of PM_MACHINE is missing or unreadable"},
                    DataFault{"NotANumber", pm_data("13.8 NaN 377"),
                              "Data line 1 of PM_MACHINE is missing or unreadable"},
                    DataFault{"Infinite", pm_data("13.8 0.2 377", "0.6 0.6 0.5 0.5 0.55 0.55 Inf"),
                              "Data line 2 of PM_MACHINE is missing or unreadable"}),
    [](const auto& info) { return std::string(info.param.name); });


class PmForms : public MachineBus {
protected:
    void SetUp() override {
        MachineBus::SetUp();
        for (int32_t k = 0; k < 6; ++k) switched(k % 3 + 1, 0);
    }
    static void speed_form(double S, double E) {
        PM_SPEED_CHK(13.8, S, 60, 0.6, 0.6, 0.55, 0.55, 0.1, 0.01, 0.02, 0.02, E, 1000, 1, 10);
    }
    static void inertia_form(double H) {
        PM_MACHINE_CHK(13.8, 4.780460, 60, 0.6, 0.6, 0.55, 0.55, 0.1, 0.01, 0.02, 0.02, 0.98994949,
                       1000 * 4.780460 / (13.8 * 13.8), 1, 10, 0.0, H);
    }
    std::vector<int32_t> kinds() const {
        std::vector<int32_t> k;
        for (int32_t r = 1; r <= BRCHANGE_LIST.count; ++r) k.push_back(BRCHANGE_LIST.ints[0][r - 1]);
        return k;
    }
    double te = 0.0;
    int32_t mode = 1;
    double tm = 0.0;
};

TEST_F(PmForms, SpeedFormConstants) {
    speed_form(5, 1.0);
    const std::vector<std::pair<int32_t, double>> want = {
        {1, 0.1255109280847012},     {2, 0.20918488014116876},     {10, 38.088},
        {11, 13.127494223902536},    {12, -6.479534848028947e-4}, {20, -9.424777960769378e-4},
        {33, 0.18849555921538758}};
    for (const auto& [pos, v] : want) EXPECT_NEAR(STORAGE.RTCF(pos), v, std::fabs(v) * 1e-13) << pos;
    EXPECT_EQ(POINTER_BLOCK.NRTCF, 38);
    RESETPTRS();
    start();
    model = [this] { PM_SPEED_NET(1, 4, 5, 6, 7, 8, 9, 1.0, te); };
    run_step();
    EXPECT_EQ(kinds(), (std::vector<int32_t>{9, 9, 9, 9, 9, 9, 1, 1, 1}));
    EXPECT_NEAR(BRCHANGE_LIST.reals[0][6], 0.1049950748441261, 1e-13);
    EXPECT_EQ(std::make_tuple(BRCHANGE_LIST.ints[1][6], BRCHANGE_LIST.ints[2][6]), std::make_tuple(1, 0));
}

TEST_F(PmForms, InertiaFormInterfaceAndInertia) {
    const Captured c = capture([] {
        PM_MACHINE_CHK(10, 5, 60, 0.6, 0.6, 0.55, 0.55, 0.1, 0.01, 0.02, 0.02, 1.0, 0.1, 1, 10, 0.0, 0.0);
    });
    EXPECT_EQ(STORAGE.RTCF(9), 2.0);
    EXPECT_EQ(STORAGE.RTCF(38), 1.0);
    EXPECT_EQ(c.out, " ***WARN*** Unrealistic inertica value, assumed 1.0 [s][           1 :           2 ]\n");
    setup = [] { inertia_form(1.0); };
    begin();
    model = [this] { PM_MACHINE_NET(1, 4, 5, 6, 7, 8, 9, 1, 1.0, 0.0); };
    run_step();
    EXPECT_EQ(kinds(), (std::vector<int32_t>{9, 9, 9, 9, 1, 9, 1, 9, 1}));
}

// A phase branch that is not switched carries its new conductance into
// the subsystem's array itself, so no warning calls its change lost.
TEST_F(PmForms, UnswitchedPhaseBranchCorrectsTheArray) {
    const int32_t a = branch({1, 2, 4.0});
    const double before = SSDESC_RA(1)(1, 2);
    setup = [] { inertia_form(1.0); };
    begin();
    model = [a] { PM_MACHINE_NET(1, a, 5, 6, 7, 8, 9, 1, 1.0, 0.0); };
    const Captured c = capture([this] { run_step(); });
    EXPECT_FALSE(contains(c.out, "Branch " + std::to_string(a) + " of subsystem 1 is not a switched branch"))
        << c.out;
    EXPECT_NEAR(SSDESC_RA(1)(1, 2) - before, 1.0 / 1000.0 - 0.25, 1e-12);
}

// The speed-input form makes no such update: its change is lost, and said.
TEST_F(PmForms, SpeedFormWarnsOfAnUnswitchedPhaseBranch) {
    const int32_t a = branch({1, 2, 4.0});
    const double before = SSDESC_RA(1)(1, 2);
    setup = [] { speed_form(5, 1.0); };
    begin();
    model = [this, a] { PM_SPEED_NET(1, a, 5, 6, 7, 8, 9, 1.0, te); };
    const Captured c = capture([this] { run_step(); });
    EXPECT_EQ(c.out, " ***WARN*** Branch " + std::to_string(a) +
                         " of subsystem 1 is not a switched branch (letter S):[           1 :           2 ]\n"
                         " ***WARN*** changes of its value cannot reach the network solution.\n");
    EXPECT_EQ(SSDESC_RA(1)(1, 2), before);
}

// The forms on the ratings of the data-file form give its torque; the
// inertia form left free with the load at that torque keeps its speed.
TEST_F(PmForms, BothFormsGiveTheTorqueAndHoldTheSpeed) {
    peak = 11.267653;
    angle = -70.0 * M_PI / 180.0;
    setup = [] { speed_form(4.780460, 0.98994949); };
    model = [this] { PM_SPEED_NET(1, 4, 5, 6, 7, 8, 9, 1.0, te); };
    begin();
    ASSERT_TRUE(run(2.0));
    EXPECT_NEAR(te, 0.53372, 0.53372e-3);

    setup = [] { inertia_form(1.0); };
    model = [this] { PM_MACHINE_NET(1, 4, 5, 6, 7, 8, 9, mode, 1.0, tm); };
    BRCHANGE_LIST.count = 0;
    begin();
    ASSERT_TRUE(run(2.0));
    const double settled = STORAGE.STORF(13);
    EXPECT_NEAR(settled, 0.53372, 0.53372e-3);
    mode = 0;
    tm = settled;
    for (int32_t k = 0; k < 20000; ++k) {
        ASSERT_TRUE(run_step());
        ASSERT_NEAR(STORAGE.STORF(11), 1.0, 1e-6) << k;
    }
}

struct FormFault {
    const char* name;
    std::vector<double> ratings;  // V S F Xd Xq XD XQ Xl Ra RD RQ E Rint Rsnb Nsnb
    std::string speed_form, inertia_form;
};
void PrintTo(const FormFault& c, std::ostream* os) { *os << c.name; }

class PmFormFault : public PmForms, public testing::WithParamInterface<FormFault> {};

TEST_P(PmFormFault, Stops) {
    const std::vector<double>& r = GetParam().ratings;
    const std::string frame = abort_frame("PM_MACHINE");
    // An empty text: the speed-input form takes the ratings.
    const Captured c = capture([&] {
        PM_SPEED_CHK(r[0], r[1], r[2], r[3], r[4], r[5], r[6], r[7], r[8], r[9], r[10], r[11], r[12], r[13], r[14]);
    });
    EXPECT_EQ(c.out, GetParam().speed_form.empty() ? "" : GetParam().speed_form + frame);
    EXPECT_EQ(c.aborted, !GetParam().speed_form.empty());
    EXPECT_STOPS(PM_MACHINE_CHK(r[0], r[1], r[2], r[3], r[4], r[5], r[6], r[7], r[8], r[9], r[10], r[11], r[12],
                                r[13], r[14], 0.0, 1.0),
                 GetParam().inertia_form + frame);
}

std::string warn(const std::string& text) { return " ***WARN*** " + text + "[           1 :           2 ]\n"; }
std::string error(const std::string& text) { return " ***ERROR** " + text + "[           1 :           2 ]\n"; }

INSTANTIATE_TEST_SUITE_P(
    Ratings, PmFormFault,
    testing::Values(
        FormFault{"Ratings",
                  {13.8, 0, 60, 0.6, 0.6, 0.55, 0.55, 0, 0.01, 0.02, 0.02, 1, 1000, 0, 10},
                  warn("Unrealistic rated voltage, power or frequency"),
                  error("Unrealistic rated voltage, power or frequency") + error("Unrealistic leakage reactance") +
                      error("Unrealistic snubber resistance")},
        FormFault{"Interface",
                  {13.8, 5, 60, 0.6, 0.6, 0.55, 0.55, 0.1, 0.01, 0.02, 0.02, 1, 0, 1, 10},
                  "", error("Unrealistic interface resistance")},
        FormFault{"Leakage",
                  {13.8, 5, 60, 0.6, 0.6, 0.55, 0.55, 0.7, 0.01, 0.02, 0.02, 1, 1000, 1, 10},
                  warn("Xd must be greater than leakage reactance"),
                  error("Xd must be greater than leakage reactance") + error("Xq must be greater than leakage reactance")},
        FormFault{"Axes",
                  {13.8, 5, 60, 0.6, 0.6, 0.1, 0.1, 0.1, 0.01, 0.02, 0.02, 1, 1000, 1, 10},
                  warn("Unrealistic D axis data"),
                  error("Unrealistic D axis data") + error("Unrealistic Q axis data")}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
