// Lines read from a map file and its line-constants files, run through
// the network solution: the lattice staircase of a lossless line, travel
// times between steps, losses, three untransposed phases and the
// frequency-dependent modal line.
#include <cmath>
#include <complex>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "engine/bookends.h"
#include "engine/run_state.h"
#include "engine/solution_arrays.h"
#include "engine/time_step.h"
#include "lines/mfdtd.h"
#include "lines/modal_setup.h"
#include "lines/tests/line_test_support.h"
#include "models/switch/branch_rlc.h"
#include "network/line_reader.h"
#include "network/map_reader.h"
#include "network/tests/data_start.h"
#include "platform/tests/support/capture.h"
#include "platform/tests/support/ngspice.h"
#include "platform/tests/support/run_program.h"

namespace {

constexpr double kDt = 50e-6;

class LineMap : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.ok()); }
    void TearDown() override {
        while (INPUT.INPUT_UNIT > INPUT_UNIT_NONE) CLOSEFILE();
        reset_all_engine_state();
    }
    void File(const std::string& name, const std::string& text) { std::ofstream(dir.file(name)) << text; }

    // A case of one subsystem of `nodes` nodes: the page's branches and line section.
    Captured Read(int nodes, const std::string& page) {
        std::string list;
        for (int k = 1; k <= nodes; ++k) list += " " + std::to_string(k);
        File("page.map", page + "ENDPAGE\n");
        File("case.map", "DIMENSIONS:\n NODES = " + std::to_string(nodes) + "\n SUBSYS = 1\n BRANCHES = 8\n"
                         " NNODES = 12\n NPAGES = 1\n SUBSYSPAGE = 1\nPARAMETERS:\n TIME_STEP = 50.0E-6\n"
                         " PRINT_STEP = 50.0E-6\n FINISH_TIME = 1.0\nSUBSYSDIM:\n 1 " + std::to_string(nodes) +
                         "\nSUBS:\n 1 1\nMAP: 'page.map'\n 1 " + std::to_string(nodes) + list + "\n 0 0\nENDCASE\n");
        const ScopedChdir here(dir.path);
        start_from_data("case.map");
        return capture([] {
            READDATA();
            INITCOM();
        });
    }
    // Node voltages of subsystem 1 after each of `steps` steps.
    std::vector<std::vector<double>> Run(int32_t steps) {
        for (int32_t s = 1; s <= DIMBLOCK.NSUBSYS; ++s) {
            NET.MXINV(s) = 1;
            NET.NTRIANG(s) = 0;
            NET.SSINTERP(s) = NET.SSRMCHAT(s) = LFALSE;
        }
        RUN_CLOCK.NSTEP = 0;
        RUN_FLAGS.FIRST_STEP_DATA = RUN_FLAGS.FIRST_STEP_RUN = LTRUE;
        RUN_FLAGS.FINAL_STEP = LFALSE;
        std::vector<std::vector<double>> v;
        current.clear();
        const Captured c = capture([&] {
            for (int32_t n = 0; n < steps; ++n) {
                RUN_CLOCK.TIME = RUN_CLOCK.NSTEP * RUN_CLOCK.DELT;
                RUN_CLOCK.PREV_TIME = (RUN_CLOCK.NSTEP - 1) * RUN_CLOCK.DELT;
                TIMESTEP();
                ++RUN_CLOCK.NSTEP;
                RUN_FLAGS.FIRST_STEP_DATA = RUN_FLAGS.FIRST_STEP_RUN = LFALSE;
                std::vector<double> row;
                for (int64_t k = 1; k <= NET.VNODE.extent(1); ++k) row.push_back(NET.VNODE(k, 1));
                v.push_back(row);
                current.push_back(LINE_TABLES.TLCUR(1, 1, 1));
            }
        });
        EXPECT_FALSE(c.aborted) << c.out;
        return v;
    }
    TempDir dir;
    std::vector<double> current;  // into the first line at end 1, per step
};

// The lattice of a lossless 10-step line between 100 V behind 100 ohms and 1,200 ohms.
void ExpectStaircase(const std::vector<std::vector<double>>& v, double tol) {
    const std::vector<double> end1{80, 96, 91.2, 92.64}, end2{120, 84, 94.8, 91.56};
    for (size_t k = 0; k < v.size(); ++k) {
        ASSERT_NEAR(v[k][0], end1[k / 20], tol) << "end 1, step " << k;
        ASSERT_NEAR(v[k][1], k < 10 ? 0.0 : end2[(k - 10) / 20], tol) << "end 2, step " << k;
    }
}

// A header entry of n conductors from nodes a.. to nodes b.. of the page.
std::string entry(const std::vector<int>& a, const std::vector<int>& b, const std::string& file) {
    std::string e1 = " 1", e2 = " 1";
    for (int x : a) e1 += " " + std::to_string(x);
    for (int x : b) e2 += " " + std::to_string(x);
    return "HOLVA Line Constants\n " + std::to_string(a.size()) + " 0\n" + e1 + " 1 0 1 0\n" + e2 +
           " 1 0 1 0\nTLINE-INPUT-DATA  line.tli\nTLINE-OUTPUT-DATA " + file + "\n";
}

// 100 V behind 100 ohms at node 1, the load at node 2, one line between.
std::string one_line(double rload, const std::string& file = "line.tlo") {
    return "BRANCHES:\n 0 1 RE 100.0 100.0\n 2 0 R " + std::to_string(rload) + "\nTLINES:\n" + entry({1}, {2}, file);
}

std::string bergeron(const std::string& tau, double z = 400.0, double r = 0.0, const std::string& options = "") {
    return " 1 0 0 0 50.0 50.0 1.0 1e-9 1e-9\n" + options + " 0 0 " + tau + " " + std::to_string(z) + " " +
           std::to_string(r) + " 0.0 1.0\n";
}

struct Stair {
    std::string name, file;
};
void PrintTo(const Stair& s, std::ostream* os) { *os << s.name; }

class Staircase : public LineMap, public testing::WithParamInterface<Stair> {};

TEST_P(Staircase, FollowsTheLattice) {
    File("line.tlo", GetParam().file);
    const Captured c = Read(2, one_line(1200.0));
    ASSERT_FALSE(c.aborted) << c.out;
    ExpectStaircase(Run(80), 1e-12);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, Staircase,
    testing::Values(Stair{"Bergeron", bergeron("0.5")},
                    Stair{"FreDep", "FRE-DEP 1 0 0 0\n 0 0 0.5\n 0 0.0025 0\n 0 1.0 0\n 0 1.0 0\n"},
                    // A pole of 1e15 is the constant 1; the other pole has no residue.
                    Stair{"FreDepFastPole", "FRE-DEP 1 0 0 0\n 0 0 0.5\n 0 0.0025 0\n 2 0.0 0\n 1e15 2000\n 0 0\n"
                                            " 1e15 0\n 0 0\n 0 1.0 0\n"}),
    [](const testing::TestParamInfo<Stair>& i) { return i.param.name; });

TEST_F(LineMap, TravelTimesBetweenSteps) {
    File("line.tlo", bergeron("0.525"));
    ASSERT_FALSE(Read(2, one_line(1200.0)).aborted);
    auto v = Run(12);
    EXPECT_NEAR(v[10][1], 60.0, 1e-12);
    EXPECT_NEAR(v[11][1], 120.0, 1e-12);
    File("line.tlo", bergeron("0.53", 400.0, 0.0, "NOINT\n"));
    ASSERT_FALSE(Read(2, one_line(1200.0)).aborted);
    EXPECT_EQ(LINE_TABLES.TLM_DELAY(1), 11);
    v = Run(12);
    EXPECT_EQ(v[10][1], 0.0);
    EXPECT_NEAR(v[11][1], 120.0, 1e-12);
    // 0.6 ms: 11.999999999999998 steps.
    File("line.tlo", bergeron("0.6"));
    ASSERT_FALSE(Read(2, one_line(1200.0)).aborted);
    EXPECT_EQ(LINE_TABLES.TLM_DELAY(1), 11);
    EXPECT_NEAR(LINE_TABLES.TLM_FRAC(1), 1.0, 1e-12);
}

TEST_F(LineMap, LossyLineFrontAndSteadyState) {
    File("line.tlo", bergeron("0.5", 400.0, 40.0));
    const Captured c = Read(2, "BRANCHES:\n 0 1 RE 410.0 100.0\n 2 0 R 410.0\nTLINES:\n" + entry({1}, {2}, "line.tlo"));
    ASSERT_FALSE(c.aborted) << c.out;
    const auto v = Run(3000);
    EXPECT_EQ(v[9][1], 0.0);
    EXPECT_NEAR(v[10][1], 47.5907198, 1e-7);
    EXPECT_NEAR(v[10][1], 50.0 * (400.0 / 410.0) * (400.0 / 410.0), 1e-12);
    EXPECT_NEAR(v.back()[0], 52.3255814, 1e-7);
    EXPECT_NEAR(v.back()[0], 4500.0 / 86.0, 1e-12);
    EXPECT_NEAR(v.back()[1], 4100.0 / 86.0, 1e-12);
}

TEST_F(LineMap, ThreeUntransposedPhases) {
    File("line.tlo", " 3 0 0 0 50.0 50.0 1.0 1e-9 1e-9\n 0 0 0.7 600 0 0 0 0 0\n 0 0 0.5 300 0 0 0 0 0\n"
                     " 0 0 0.55 320 0 0 0 0 0\n");
    const Captured c = Read(6, "BRANCHES:\n 1 0 R 100.0\n 0 2 RE 100.0 100.0\n 3 0 R 100.0\n 4 0 R 1000.0\n"
                               " 5 0 R 1000.0\n 6 0 R 1000.0\nTLINES:\n" + entry({1, 2, 3}, {4, 5, 6}, "line.tlo"));
    ASSERT_FALSE(c.aborted) << c.out;
    const double s3 = 1.0 / std::sqrt(3.0), s6 = 1.0 / std::sqrt(1.5), s2 = 1.0 / std::sqrt(2.0);
    const std::vector<double> t{s3, s6, 0.0, s3, -s6 / 2, s2, s3, -s6 / 2, -s2};
    for (int k = 0; k < 9; ++k) EXPECT_NEAR(LINE_TABLES.TI(k + 1), t[static_cast<size_t>(k)], 1e-15) << k;
    const auto v = Run(30);
    std::vector<int> changes;
    for (int k = 1; k < 30; ++k)
        if (v[k][3] != v[k - 1][3] || v[k][4] != v[k - 1][4] || v[k][5] != v[k - 1][5]) changes.push_back(k);
    EXPECT_EQ(changes, std::vector<int>({10, 11, 14}));
    EXPECT_NEAR(v[10][4], 19.2307692, 1e-7);
    EXPECT_NEAR(v[11][4], 76.9508270, 1e-7);
    EXPECT_NEAR(v[14][4], 112.6651127, 1e-7);
}

}  // namespace

namespace {

double g_ramp(double t, double a, double dt) {
    if (t < -dt) return 0.0;
    if (t <= 0.0) return ((t + dt) - (1.0 - std::exp(-a * (t + dt))) / a) / dt;
    return 1.0 - std::exp(-a * t) * (1.0 - std::exp(-a * dt)) / (a * dt);
}

TEST_F(LineMap, FreDepOnePolePropagation) {
    File("line.tlo", "FRE-DEP 1 0 0 0\n 0 0 0.5\n 0 0.0025 0\n 1 0.0 0\n 2000\n 0\n 2000\n 0\n 0 1.0 0\n");
    const Captured c = Read(2, "BRANCHES:\n 0 1 RE 400.0 100.0\n 2 0 R 400.0\nTLINES:\n" + entry({1}, {2}, "line.tlo"));
    ASSERT_FALSE(c.aborted) << c.out;
    const auto v = Run(60);
    for (int n = 0; n < 60; ++n) ASSERT_NEAR(v[n][1], 50.0 * g_ramp(n * kDt - 0.5e-3, 2000.0, kDt), 1e-12) << n;
}

// A characteristic admittance of 0 leaves the line open: no history current.
TEST_F(LineMap, FreDepModeWithoutConstantTerm) {
    File("line.tlo", "FRE-DEP 1 0 0 0\n 0 0 0.5\n 0 0.0 0\n 0 1.0 0\n 0 1.0 0\n");
    const Captured c = Read(2, one_line(1200.0));
    ASSERT_FALSE(c.aborted) << c.out;
    const auto v = Run(30);
    EXPECT_NEAR(v.back()[0], 100.0, 1e-12);
    EXPECT_EQ(v.back()[1], 0.0);
    EXPECT_EQ(current, std::vector<double>(30, 0.0));
    EXPECT_EQ(std::make_tuple(LINE_TABLES.TLM_IH1(1), LINE_TABLES.TLM_IH2(1)), std::make_tuple(0.0, 0.0));
}

TEST_F(LineMap, ShortTravelTimesWarnThenContinueOrStop) {
    const std::string map = "BRANCHES:\n 0 1 RE 400.0 100.0\n 2 0 R 400.0\n 3 0 R 400.0\nTLINES:\n";
    File("a.tlo", bergeron("0.045"));
    File("b.tlo", bergeron("0.035"));
    Captured c = Read(3, map + entry({1}, {2}, "a.tlo"));
    ASSERT_FALSE(c.aborted) << c.out;
    EXPECT_TRUE(contains(c.out, "Time step is too large for the tline/cable 'a'. ")) << c.out;
    EXPECT_TRUE(contains(c.out, "Reduce the time step to 45.0000000000000 [us] or less, or Use pi section models."));
    EXPECT_TRUE(contains(c.out, "For better accuracy, make time step less than"));
    EXPECT_TRUE(contains(c.out, " 1/10th of the shortest travel time which is 45.0000000000000 [us]."));
    EXPECT_TRUE(contains(c.out, " Continuing with travel time(s) adjusted to one time step.")) << c.out;
    EXPECT_EQ(LINE_TABLES.TLM_DELAY(1), 1);
    EXPECT_EQ(LINE_TABLES.TLM_FRAC(1), 0.0);
    c = Read(3, map + entry({1}, {2}, "b.tlo") + entry({1}, {3}, "a.tlo"));
    EXPECT_TRUE(c.aborted);
    EXPECT_TRUE(contains(c.out, "tline/cable 'b'")) << c.out;
    EXPECT_TRUE(contains(c.out, "tline/cable 'a'")) << c.out;
    EXPECT_TRUE(contains(c.out, "shortest travel time which is 35.0000000000000 [us].")) << c.out;
    EXPECT_TRUE(contains(c.out, " Aborting due to time step being too large.")) << c.out;
    EXPECT_FALSE(contains(c.out, "Continuing"));
}

// A legacy "FRE-DEP" entry whose first function has more zeros than any
// function has poles (the dimensioning pass sizes MAXPOLES by poles only):
// the zeros beyond the poles are cut and the line is lossless.
TEST_F(LineMap, FreDepLegacyZerosBeyondThePoleCount) {
    const Captured c = Read(2, "BRANCHES:\n 0 1 RE 100.0 100.0\n 2 0 R 1200.0\nTLINES:\nFRE-DEP 1 0 1 1\n 1 2 0.5\n"
                               " 2 0 0.0025\n 100 200\n 0 0 1.0\n 0 0 1.0\n");
    ASSERT_FALSE(c.aborted) << c.out;
    EXPECT_EQ(DIMBLOCK.AVAIL[ND_MAXPOLES], 1);
    ExpectStaircase(Run(80), 1e-12);
}

std::string frephase(double tau, double ph, double rh, const std::string& options = "", double py = 0.0,
                     double ry = 0.0, double d = 0.0025);

struct BadLine {
    std::string name, file, page;
    std::vector<std::string> shown;
};
void PrintTo(const BadLine& b, std::ostream* os) { *os << b.name; }
class BadLines : public LineMap, public testing::WithParamInterface<BadLine> {};

TEST_P(BadLines, StopWithTheirMessage) {
    File("line.tlo", GetParam().file);
    const Captured c = Read(3, "BRANCHES:\n 0 1 RE 400.0 100.0\n 2 0 R 400.0\nTLINES:\n" + GetParam().page);
    EXPECT_TRUE(c.aborted);
    for (const std::string& s : GetParam().shown) EXPECT_TRUE(contains(c.out, s)) << s << "\n" << c.out;
}

const std::string kMismatch = "The number of electrical connections";
const std::string kOffending = " **** THE OFFENDING LINE IN THE DATA FILE IS: ****\n";
const std::string kTwoModes = " 0 0 0.5\n 0 0.0025 0\n 0 1 0\n 0 1 0\n 0 0 0\n 0 0 0.5\n 0 0.0025 0\n 0 1 0\n 0 0 0\n 0 1 0\n";
INSTANTIATE_TEST_SUITE_P(
    Lines, BadLines,
    testing::Values(
        BadLine{"MismatchBergeron", bergeron("0.5") + " 0 0 0.5 400 0 0 1\n", entry({1, 3}, {2, 3}, "line.tlo"),
                {kMismatch, "INVALID DATA LINE"}},
        BadLine{"MismatchFreDep", "FRE-DEP 1 0 0 0\n" + kTwoModes, entry({1, 3}, {2, 3}, "line.tlo"),
                {kMismatch, "INVALID DATA"}},
        BadLine{"ZeroSurgeImpedance", bergeron("0.5", 0.0), entry({1}, {2}, "line.tlo"), {"is not above 0.0"}},
        BadLine{"EqualPoles", " ", "FRE-DEP 1 0 1 1\nNOINT\n 1 2 0.5\n 0 2 1.0\n 5 5\n 0 0 1.0\n 0 0 1.0\n",
                {"Two equal poles"}},
        BadLine{"MismatchFrePhase", frephase(0.5e-3, -2000.0, 2000.0), entry({1, 3}, {2, 3}, "line.tlo"),
                {kMismatch, "INVALID DATA LINE"}},
        BadLine{"MfdtdSingular", "MFDTD  1  0\n 3e8\n 150000\n 0\n 0\n 0\n 8.3e-12\n 0\n",
                entry({1}, {2}, "line.tlo"), {"Singular matrix encountered in MFDTD"}},
        BadLine{"MismatchMfdtd", "MFDTD  1  0\n 3e8\n 150000\n", entry({1, 3}, {2, 3}, "line.tlo"),
                {kMismatch, "INVALID DATA LINE"}},
        BadLine{"FrePhaseWithoutHeader", " ", frephase(0.5e-3, -2000.0, 2000.0), {"INVALID DATA LINE"}},
        BadLine{"FrePhaseWithoutHeaderIsTold", " ", frephase(0.5e-3, -2000.0, 2000.0),
                {" ERROR: DSLINT: FRE-PHASE and MFDTD lines need their HOLVA Line Constants entry header\n"
                 "\n **** ERROR IN READING OF DATA FILE!  ****\n\n **** INVALID DATA LINE ****\n",
                 " **** THE OFFENDING LINE IN THE DATA FILE IS: ****\nFRE-PHASE"}},
        // A number that is not finite is a bad record of each kind's file. The
        // current line shown is FRE-PHASE's last text record and MFDTD's velocity.
        BadLine{"NotANumberBergeron", " 1 0 0 0 50.0 50.0 1.0 NaN 1e-9\n 0 0 0.5 400 0 0 1\n",
                entry({1}, {2}, "line.tlo"),
                {"INVALID DATA LINE", kOffending + " 1 0 0 0 50.0 50.0 1.0 NaN 1e-9"}},
        BadLine{"InfiniteBergeron", " 1 0 0 0 50.0 50.0 1.0 1e-9 1e-9\n 0 0 0.5 400 0 0 -Inf\n",
                entry({1}, {2}, "line.tlo"),
                {"INVALID DATA LINE", kOffending + " 0 0 0.5 400 0 0 -Inf"}},
        BadLine{"NotANumberFreDep", "FRE-DEP 1 0 0 0\n 0 0 0.5\n 0 0.0025 0\n 1 0.0 0\n NaN\n 0\n 2000\n 0\n 0 1.0 0\n",
                entry({1}, {2}, "line.tlo"), {"INVALID DATA LINE", kOffending + " NaN"}},
        BadLine{"InfiniteFreDep", "FRE-DEP 1 0 0 0\n 0 0 0.5\n 0 0.0025 0\n 0 Inf 0\n 0 1.0 0\n",
                entry({1}, {2}, "line.tlo"), {"INVALID DATA LINE", kOffending + " 0 Inf 0"}},
        BadLine{"NotANumberFrePhase", frephase(0.5e-3, -2000.0, std::nan("")), entry({1}, {2}, "line.tlo"),
                {"INVALID DATA LINE", kOffending + "residues"}},
        BadLine{"InfiniteFrePhase", frephase(0.5e-3, -2000.0, 2000.0, "", 0.0, 0.0, HUGE_VAL),
                entry({1}, {2}, "line.tlo"), {"INVALID DATA LINE", kOffending + "poles"}},
        BadLine{"NotANumberMfdtd",
                "MFDTD  1  1\n 3e8\n 150000\n 1.3e-4\n 1.3e-6\n 0\n 8.3e-12\n 1\n (NaN, 0)\n (1, 0)\n",
                entry({1}, {2}, "line.tlo"), {"INVALID DATA LINE", kOffending + " 3e8"}},
        BadLine{"InfiniteMfdtd", "MFDTD  1  0\n 3e8\n 150000\n 1.3e-4\n 1e999\n 0\n 8.3e-12\n 0\n",
                entry({1}, {2}, "line.tlo"), {"INVALID DATA LINE", kOffending + " 3e8"}}),
    [](const testing::TestParamInfo<BadLine>& i) { return i.param.name; });

}  // namespace

namespace {

// A one-conductor "FRE-PHASE" file: Yc = d + ry/(s - py) (no pole when ry
// is 0), one delay group tau (s) with H = rh/(s - ph).
std::string frephase(double tau, double ph, double rh, const std::string& options, double py, double ry, double d) {
    std::ostringstream s;
    s.precision(17);
    s << "FRE-PHASE\n" << options << "Yc\nfitted\n 1\npoles\n";
    if (ry != 0.0)
        s << " 1\n" << py << "\n 0\n" << ry << "\n 0\n";
    else
        s << " 0\n";
    s << d << "\nH\nfitted\n 1\ndelays\n" << tau << "\npoles\n 1\n" << ph << "\n 0\nresidues\n" << rh << "\n 0\n";
    return s.str();
}

// Two conductors whose conductance is not symmetric, G = [[0.010, 0.004],
// [-0.002, 0.020]], no poles: with no history in the first step each end
// is (diag(1/R) + G) V = E/R, solved by hand. End 1: 100 V behind 100 ohms
// and -30 V behind 50 ohms; end 2: 20 V behind 200 ohms and 300 ohms.
const char* const kUnsymmetric = "FRE-PHASE\nYc\nfitted\n 2\npoles\n 0\n 0\n 0.010\n -0.002\n 0.004\n 0.020\n"
                                 "H\nfitted\n 1\ndelays\n 0.5e-3\npoles\n 0\nresidues\n";

TEST_F(LineMap, FrePhaseUnsymmetricConductanceAtBothEnds) {
    File("line.tlo", kUnsymmetric);
    const Captured c = Read(4, "BRANCHES:\n 0 1 RE 100.0 100.0\n 0 2 RE 50.0 -30.0\n 0 3 RE 200.0 20.0\n"
                               " 4 0 R 300.0\nTLINES:\n" + entry({1, 2}, {3, 4}, "line.tlo"));
    ASSERT_FALSE(c.aborted) << c.out;
    ASSERT_EQ(LINE_TABLES.TLGMAT(2, 1, 1), -0.002);
    const std::vector<double> v{5300.0 / 101, -1250.0 / 101, 3500.0 / 537, 100.0 / 179};
    const std::vector<double> i1{48.0 / 101, -178.0 / 505}, i2{181.0 / 2685, -1.0 / 537};
    const auto v_run = Run(1);
    for (size_t k = 0; k < 4; ++k) EXPECT_NEAR(v_run[0][k], v[k], 1e-12 * std::fabs(v[k])) << "node " << k + 1;
    for (int32_t j = 1; j <= 2; ++j) {
        EXPECT_NEAR(LINE_TABLES.TLCUR(j, 1, 1), i1[j - 1], 1e-12 * std::fabs(i1[j - 1])) << j;
        EXPECT_NEAR(LINE_TABLES.TLCUR(j, 2, 1), i2[j - 1], 1e-12 * std::fabs(i2[j - 1])) << j;
        // The current into the line is the one its source branch delivers.
        EXPECT_NEAR(NET.CBR(j, 1), i1[j - 1], 1e-12 * std::fabs(i1[j - 1])) << j;
    }
    EXPECT_NEAR(NET.CBR(3, 1), i2[0], 1e-12 * i2[0]);
    EXPECT_NEAR(NET.CBR(4, 1), -i2[1], 1e-12 * -i2[1]);
}

// The same ends with the source of node 1 moved behind an ideal branch
// from node 1 to node 5: its current is the balance of row 1.
TEST_F(LineMap, IdealBranchAtAnUnsymmetricLineEnd) {
    File("line.tlo", kUnsymmetric);
    const Captured c = Read(5, "BRANCHES:\n 0 5 RE 100.0 100.0\n 1 5 A\n 0 2 RE 50.0 -30.0\n 0 3 RE 200.0 20.0\n"
                               " 4 0 R 300.0\nTLINES:\n" + entry({1, 2}, {3, 4}, "line.tlo"));
    ASSERT_FALSE(c.aborted) << c.out;
    const auto v = Run(1);
    EXPECT_NEAR(v[0][0], 5300.0 / 101, 1e-12 * 5300.0 / 101);
    EXPECT_NEAR(NET.CBR(2, 1), -48.0 / 101, 1e-12 * 48.0 / 101);
}

// A branch read after the line's section adds to both entries of the pair
// the line end left unequal, and so does a change of it at run time.
TEST_F(LineMap, BranchAfterAnUnsymmetricLineEnd) {
    File("line.tlo", kUnsymmetric);
    const Captured c = Read(4, "TLINES:\n" + entry({1, 2}, {3, 4}, "line.tlo") +
                                   "BRANCHES:\n 0 1 RE 100.0 100.0\n 0 2 RE 50.0 -30.0\n 0 3 RE 200.0 20.0\n"
                                   " 4 0 R 300.0\n 1 2 R 1000.0\n");
    ASSERT_FALSE(c.aborted) << c.out;
    const auto gm = [](int32_t a, int32_t b) { return SSDESC_RA(1)(a, b); };
    EXPECT_NEAR(gm(1, 2), -0.003, 1e-15);
    EXPECT_NEAR(gm(2, 1), 0.003, 1e-15);
    BRANCH_RLC(5, 1, 1, 0, 0, 500.0, 0.0, 0.0);
    EXPECT_NEAR(gm(1, 2), -0.002, 1e-15);
    EXPECT_NEAR(gm(2, 1), 0.004, 1e-15);
    Run(1);
    EXPECT_NEAR(gm(1, 1), 0.022, 1e-15);
    EXPECT_NEAR(gm(2, 2), 0.042, 1e-15);
}

// Without delay groups the line is its admittance alone: 1/400 at each
// end, 100 V behind 100 ohms at end 1, 20 V behind 200 ohms at end 2.
TEST_F(LineMap, FrePhaseWithoutDelayGroups) {
    File("line.tlo", "FRE-PHASE\nYc\nfitted\n 1\npoles\n 0\n 0.0025\nH\nfitted\n 0\ndelays\npoles\nresidues\n");
    const Captured c = Read(2, "BRANCHES:\n 0 1 RE 100.0 100.0\n 0 2 RE 200.0 20.0\nTLINES:\n" +
                                   entry({1}, {2}, "line.tlo"));
    ASSERT_FALSE(c.aborted) << c.out;
    ASSERT_EQ(Run(3).size(), 3u);
    EXPECT_NEAR(LINE_TABLES.TLCUR(1, 1, 1), 0.2, 1e-15);
    EXPECT_NEAR(LINE_TABLES.TLCUR(1, 2, 1), 1.0 / 30, 1e-15);
}

TEST_F(LineMap, FrePhaseStaircase) {
    File("line.tlo", frephase(0.5e-3, -1e15, 1e15));
    const Captured c = Read(2, one_line(1200.0));
    ASSERT_FALSE(c.aborted) << c.out;
    ExpectStaircase(Run(80), 1e-12);
}

// Poles of 1e15 and more between the others are constants: 1/400 of Yc, all of H.
TEST_F(LineMap, FrePhaseFastPolesAreConstants) {
    File("line.tlo", "FRE-PHASE\nYc\nfitted\n 1\npoles\n 2\n-3000\n 0\n 0\n 0\n-1e15\n 0\n 2.5e12\n 0\n 0.0\n"
                     "H\nfitted\n 1\ndelays\n 0.5e-3\npoles\n 2\n-1e15\n 0\n-2000\n 0\nresidues\n 1e15\n 0\n 0\n 0\n");
    const Captured c = Read(2, one_line(1200.0));
    ASSERT_FALSE(c.aborted) << c.out;
    EXPECT_EQ(std::vector<int32_t>({LINE_TABLES.PH_NYPOLE(1, 1), LINE_TABLES.PH_NHPOLE(1, 1)}),
              std::vector<int32_t>({1, 1}));
    ExpectStaircase(Run(80), 1e-12);
}

class FrePhaseDelay : public LineMap, public testing::WithParamInterface<double> {};

TEST_P(FrePhaseDelay, OnePoleAtFractionalDelays) {
    const double steps = GetParam();
    File("line.tlo", frephase(steps * kDt, -2000.0, 2000.0));
    const Captured c = Read(2, "BRANCHES:\n 0 1 RE 400.0 100.0\n 2 0 R 400.0\nTLINES:\n" + entry({1}, {2}, "line.tlo"));
    ASSERT_FALSE(c.aborted) << c.out;
    const auto v = Run(80);
    for (int n = 0; n < 80; ++n)
        ASSERT_NEAR(v[n][1], 50.0 * g_ramp(n * kDt - steps * kDt, 2000.0, kDt), 1e-12) << n;
}

INSTANTIATE_TEST_SUITE_P(Lines, FrePhaseDelay, testing::Values(10.0, 10.5, 10.6),
                         [](const testing::TestParamInfo<double>& i) {
                             return "Steps" + std::to_string(static_cast<int>(i.param * 10));
                         });

TEST_F(LineMap, FrePhaseInfiniteLineHoldsOnlyTheAdmittance) {
    File("line.tlo", frephase(0.5e-3, -1e15, 1e15, "INFLENGTH\n", -2000.0, 5.0));
    const Captured c = Read(2, "BRANCHES:\n 0 1 RE 1.0E-6 100.0\n 2 0 R 400.0\nTLINES:\n" + entry({1}, {2}, "line.tlo"));
    ASSERT_FALSE(c.aborted) << c.out;
    Run(40);
    for (int n = 0; n < 40; ++n)
        ASSERT_NEAR(current[n], 100.0 * (1.0 / 400.0 + 0.0025 * g_ramp(n * kDt, 2000.0, kDt)), 1e-6) << n;
}

}  // namespace

namespace {

// A one-conductor "MFDTD" file of 150 km at 3e8 m/s (10 segments at 50 us),
// surge impedance 400 ohms, with the given R, G and poles "(re, im)\n(res)\n".
std::string mfdtd(double r = 0.0, double g = 0.0, int np = 0, const std::string& poles = "",
                  double length = 150000.0) {
    std::ostringstream s;
    s.precision(17);
    s << "MFDTD  1  " << np << "\nNOINT\n 3e8\n " << length << "\n " << r << "\n " << 400.0 / 3e8 << "\n " << g
      << "\n " << 1.0 / (400.0 * 3e8) << "\n " << np << "\n" << poles;
    return s.str();
}

TEST_F(LineMap, MfdtdStaircase) {
    File("line.tlo", mfdtd());
    const Captured c = Read(2, one_line(1200.0));
    ASSERT_FALSE(c.aborted) << c.out;
    EXPECT_TRUE(contains(c.out, " MFDTD line: line.tli            \n Number of spacial segments =     10\n"
                                " Spacial segment length (dx) =        15000.0    \n"))
        << c.out;
    ExpectStaircase(Run(80), 1e-9);
}

TEST_F(LineMap, MfdtdDirectCurrentDividers) {
    // R only: 40 ohms in series.
    File("line.tlo", mfdtd(40.0 / 150000.0));
    ASSERT_FALSE(Read(2, one_line(1200.0)).aborted);
    auto v = Run(6000);
    EXPECT_NEAR(v.back()[1], 100.0 * 1200.0 / 1340.0, 1e-6);
    // R and G: the ladder of 10 cells, G dz inside, G dz / 2 at the ends.
    const double R = 40.0 / 10, G = 1e-3 / 10;
    File("line.tlo", mfdtd(40.0 / 150000.0, 1e-3 / 150000.0));
    ASSERT_FALSE(Read(2, one_line(1200.0)).aborted);
    v = Run(6000);
    // Back from the load: the conductance seen, and the voltage ratio per cell.
    double y = 1.0 / 1200.0 + G / 2, ratio = 1.0;
    for (int cell = 0; cell < 10; ++cell) {
        const double z = 1.0 / y + R;  // through the cell's resistance
        ratio *= (1.0 / y) / z;
        y = 1.0 / z + (cell == 9 ? G / 2 : G);
    }
    const double v1 = 100.0 * (1.0 / y) / (100.0 + 1.0 / y);
    EXPECT_NEAR(v.back()[0], v1, 1e-6);
    EXPECT_NEAR(v.back()[1], v1 * ratio, 1e-6);
}

TEST_F(LineMap, MfdtdPoleTables) {
    File("line.tlo", mfdtd(20.0 / 150000.0, 0.0, 1, " (-2000, 0)\n (1, 0)\n"));
    ASSERT_FALSE(Read(2, one_line(1200.0)).aborted);
    const LineTables& L = LINE_TABLES;
    EXPECT_NEAR(L.TLD_WA(1, 1), -5e-4, 1e-18);
    EXPECT_NEAR(L.TLD_G2(1, 1, 1), 2.418709e-4, 1e-10);
    EXPECT_NEAR(L.TLD_G3(1, 1, 1), -4.758129e-4, 1e-10);
    EXPECT_NEAR(L.TLD_CS(1, 1), -0.4377077, 1e-7);
    EXPECT_NEAR(L.TLD_CD(1, 1), 0.8610666, 1e-7);
}

TEST_F(LineMap, MfdtdPoleAddsItsResistance) {
    std::ostringstream poles;
    poles.precision(17);
    poles << " (-2000, 0)\n (" << 2000.0 / 150000.0 << ", 0)\n";
    File("line.tlo", mfdtd(20.0 / 150000.0, 0.0, 1, poles.str()));
    ASSERT_FALSE(Read(2, one_line(1200.0)).aborted);
    const auto v = Run(40000);
    const double want = 100.0 * 1200.0 / 1321.0;
    EXPECT_NEAR(v[3999][1] / want, 1.0, 1e-4);
    EXPECT_NEAR(v.back()[1] / want, 1.0, 1e-4);
}

struct Segments {
    std::string name;
    double length;
    std::vector<std::string> shown;
    bool stops;
};
void PrintTo(const Segments& s, std::ostream* os) { *os << s.name; }
class MfdtdSegments : public LineMap, public testing::WithParamInterface<Segments> {};

TEST_P(MfdtdSegments, AreReported) {
    const Segments& s = GetParam();
    File("line.tlo", mfdtd(0.0, 0.0, 0, "", s.length));
    const Captured c = Read(2, one_line(1200.0));
    EXPECT_EQ(c.aborted, s.stops);
    for (const std::string& x : s.shown) EXPECT_TRUE(contains(c.out, x)) << x << "\n" << c.out;
}

// 15 km per step at 50 us.
INSTANTIATE_TEST_SUITE_P(
    Lines, MfdtdSegments,
    testing::Values(Segments{"Two", 32500.0, {"Number of spacial segments =      2", "    16250.0    "}, false},
                    Segments{"One", 29950.0, {"Number of spacial segments is 1.  This line may",
                                              "be replaced with a Coupled PI-Section", "equivalent.",
                                              "Check Non-standard Messages for Tline/Cable Warnings"}, false},
                    Segments{"None", 14950.0, {" ERROR: MFDTD line: line.tli", "Number of spacial segments is less than 1.",
                                               "reduce ZARIK time step."}, true},
                    Segments{"NoLength", 0.0, {"Line length must be greater than 0.0!"}, true}),
    [](const testing::TestParamInfo<Segments>& i) { return i.param.name; });

}  // namespace

namespace {

// Engine step n against ngspice's lossless line at (n + 1) dt, its source
// ramped over the first step.
TEST_F(LineMap, BergeronAgainstNgspice) {
    ASSERT_EQ(std::system("command -v ngspice >/dev/null 2>&1"), 0) << "ngspice is needed for this test";
    File("line.tlo", bergeron("0.5"));
    ASSERT_FALSE(Read(2, one_line(1200.0)).aborted);
    const auto v = Run(120);
    const auto rows = ngspice_rows_of(
        "* lossless line\nV1 s 0 PWL(0 0 50u 100)\nR1 s a 100\nT1 a 0 b 0 Z0=400 TD=0.5m\nR2 b 0 1200\n"
        ".tran 50u 6.1m 0 50n\n.control\nset wr_singlescale\nset wr_vecnames\nrun\nlinearize\n"
        "wrdata out.txt v(a) v(b)\n.endc\n.end\n");
    ASSERT_GE(rows.size(), 121u);
    double worst = 0.0;
    for (size_t n = 0; n < 120; ++n)
        for (int end = 0; end < 2; ++end) worst = std::max(worst, std::fabs(v[n][end] - rows[n + 1][1 + end]));
    EXPECT_LT(worst, 1e-3 * 120.0);
}

}  // namespace

namespace {

// The three untransposed phases against three ngspice lines, one per mode,
// joined to the phases by behavioural sources of the same transformation.
TEST_F(LineMap, ThreePhasesAgainstNgspice) {
    ASSERT_EQ(std::system("command -v ngspice >/dev/null 2>&1"), 0) << "ngspice is needed for this test";
    File("line.tlo", " 3 0 0 0 50.0 50.0 1.0 1e-9 1e-9\n 0 0 0.7 600 0 0 0 0 0\n 0 0 0.5 300 0 0 0 0 0\n"
                     " 0 0 0.55 320 0 0 0 0 0\n");
    ASSERT_FALSE(Read(6, "BRANCHES:\n 1 0 R 100.0\n 0 2 RE 100.0 100.0\n 3 0 R 100.0\n 4 0 R 1000.0\n"
                         " 5 0 R 1000.0\n 6 0 R 1000.0\nTLINES:\n" + entry({1, 2, 3}, {4, 5, 6}, "line.tlo"))
                     .aborted);
    const auto v = Run(60);
    std::ostringstream s;
    s.precision(17);
    s << "* three phases\nVs sb 0 PWL(0 0 50u 100)\nRs sb n2 100\nRa n1 0 100\nRc n3 0 100\n"
         "R4 n4 0 1000\nR5 n5 0 1000\nR6 n6 0 1000\n";
    const double tau[3] = {0.7, 0.5, 0.55}, z[3] = {600, 300, 320};
    for (int k = 1; k <= 3; ++k) {
        for (int end = 0; end < 2; ++end) {
            s << "B" << end << k << " x" << end << k << " 0 V=";
            for (int j = 1; j <= 3; ++j) s << (j > 1 ? "+" : "") << LINE_TABLES.TI(3 * (j - 1) + k) << "*v(n" << j + 3 * end << ")";
            s << "\nV" << end << k << " x" << end << k << " y" << end << k << " 0\n";
        }
        s << "T" << k << " y0" << k << " 0 y1" << k << " 0 Z0=" << z[k - 1] << " TD=" << tau[k - 1] << "m\n";
    }
    for (int end = 0; end < 2; ++end)
        for (int j = 1; j <= 3; ++j) {
            s << "BI" << end << j << " n" << j + 3 * end << " 0 I=";
            for (int k = 1; k <= 3; ++k) s << (k > 1 ? "+" : "") << LINE_TABLES.TI(3 * (j - 1) + k) << "*i(V" << end << k << ")";
            s << "\n";
        }
    s << ".tran 50u 3.1m 0 50n\n.control\nset wr_singlescale\nset wr_vecnames\nrun\nlinearize\n"
         "wrdata out.txt v(n1) v(n2) v(n3) v(n4) v(n5) v(n6)\n.endc\n.end\n";
    const auto rows = ngspice_rows_of(s.str());
    ASSERT_GE(rows.size(), 61u);
    double worst = 0.0, peak = 0.0;
    for (size_t n = 0; n < 60; ++n)
        for (int node = 0; node < 6; ++node) {
            worst = std::max(worst, std::fabs(v[n][node] - rows[n + 1][1 + node]));
            peak = std::max(peak, std::fabs(v[n][node]));
        }
    EXPECT_LT(worst, 1e-3 * peak) << worst << " of " << peak;
}

}  // namespace

namespace {

// One segment's pole states: MFDSTEP on its edge cases, and against the
// segment update of the MFDTD section. Two conductors, four segments, two
// poles (one complex), residue matrices symmetric.
class MfdtdStep : public LineMap {
protected:
    void SetUp() override {
        LineMap::SetUp();
        File("line.tlo", "MFDTD  2  2\n 3e8\n 60000\n 1e-4\n 2e-5\n 1e-4\n 1.3333333333333e-6\n 3.3333333333333e-7\n"
                         " 1.3333333333333e-6\n 0\n 0\n 0\n 8.3333333333333e-12\n -1.6666666666667e-12\n"
                         " 8.3333333333333e-12\n 2\n (-2000, 0)\n (0.01, 0)\n (0.002, 0)\n (0.01, 0)\n"
                         " (-5000, 3000)\n (0.005, 0.001)\n (0.001, 0)\n (0.004, -0.001)\n");
        const Captured c = Read(4, "BRANCHES:\n 0 1 RE 100.0 100.0\n 0 2 RE 100.0 -50.0\n 3 0 R 1200.0\n"
                                   " 4 0 R 800.0\nTLINES:\n" + entry({1, 2}, {3, 4}, "line.tlo"));
        ASSERT_FALSE(c.aborted) << c.out;
        ASSERT_EQ(std::vector<int32_t>({LINE_TABLES.TLD_NSEG(1), LINE_TABLES.TLD_NPOLE(1)}),
                  std::vector<int32_t>({4, 2}));
    }
    // Sets the work states to psi(i, p) = (i + 2p, p - i) / 10.
    static void SetStates() {
        for (int32_t p = 1; p <= 2; ++p)
            for (int32_t i = 1; i <= 2; ++i) LINE_TABLES.TLD_WPSI(i, p) = {(i + 2.0 * p) / 10, (p - i) / 10.0};
    }
    static std::vector<double> Step(int32_t np, const std::vector<double>& x1, const std::vector<double>& x2,
                                    const std::vector<double>& x3) {
        int32_t n = 2, k = 1;
        double dt = kDt;
        MFDSTEP(np, n, x1.data(), x2.data(), x3.data(), dt, k);
        return {LINE_TABLES.TLD_WHIST(1), LINE_TABLES.TLD_WHIST(2)};
    }
    static std::complex<double> Decay(int32_t p) { return std::exp(LINE_TABLES.TLD_POLE(p, 1) * kDt); }
};

TEST_F(MfdtdStep, WithoutPolesTheStatesStayAndTheTermIsZero) {
    SetStates();
    LINE_TABLES.TLD_WHIST(1) = LINE_TABLES.TLD_WHIST(2) = 7.0;
    EXPECT_EQ(Step(0, {1.0, 2.0}, {3.0, 4.0}, {5.0, 6.0}), std::vector<double>({0.0, 0.0}));
    EXPECT_EQ(LINE_TABLES.TLD_WPSI(2, 2), std::complex<double>(0.6, 0.0));
    EXPECT_EQ(LINE_TABLES.TLD_WPSI(1, 1), std::complex<double>(0.3, 0.0));
}

TEST_F(MfdtdStep, EqualCurrentsOnlyDecayTheStates) {
    SetStates();
    Step(2, {3.0, -2.0}, {3.0, -2.0}, {3.0, -2.0});
    for (int32_t p = 1; p <= 2; ++p)
        for (int32_t i = 1; i <= 2; ++i) {
            const std::complex<double> want = Decay(p) * std::complex<double>((i + 2.0 * p) / 10, (p - i) / 10.0);
            EXPECT_NEAR(std::abs(LINE_TABLES.TLD_WPSI(i, p) - want), 0.0, 1e-15) << i << " " << p;
        }
}

// h = Re(RES1 psi1 / a1 + RES2 psi2 / a2), whichever pole comes first.
TEST_F(MfdtdStep, TwoPolesInEitherOrder) {
    LineTables& L = LINE_TABLES;
    const std::vector<double> x1{1.5, -0.5}, x2{2.0, 0.25}, x3{-1.0, 0.75};
    SetStates();
    const std::vector<double> h = Step(2, x1, x2, x3);
    std::complex<double> psi[3][3];
    for (int32_t p = 1; p <= 2; ++p)
        for (int32_t i = 1; i <= 2; ++i) {
            const double u = L.TLD_CD(p, 1) * (x2[i - 1] - x3[i - 1]) +
                             L.TLD_CS(p, 1) * (2.0 * x2[i - 1] - x1[i - 1] - x3[i - 1]);
            psi[i][p] = Decay(p) * std::complex<double>((i + 2.0 * p) / 10, (p - i) / 10.0) + u;
            EXPECT_NEAR(std::abs(L.TLD_WPSI(i, p) - psi[i][p]), 0.0, 1e-14) << i << " " << p;
        }
    for (int32_t i = 1; i <= 2; ++i) {
        std::complex<double> sum = 0.0;
        for (int32_t p = 1; p <= 2; ++p)
            sum += (L.TLD_RES(i, 1, p, 1) * psi[1][p] + L.TLD_RES(i, 2, p, 1) * psi[2][p]) / L.TLD_POLE(p, 1);
        EXPECT_NEAR(h[i - 1], sum.real(), 1e-14 * std::fabs(sum.real())) << i;
    }
    // The same poles the other way round, from the same states.
    std::swap(L.TLD_POLE(1, 1), L.TLD_POLE(2, 1));
    std::swap(L.TLD_CD(1, 1), L.TLD_CD(2, 1));
    std::swap(L.TLD_CS(1, 1), L.TLD_CS(2, 1));
    for (int32_t i = 1; i <= 2; ++i)
        for (int32_t j = 1; j <= 2; ++j) std::swap(L.TLD_RES(i, j, 1, 1), L.TLD_RES(i, j, 2, 1));
    SetStates();
    for (int32_t i = 1; i <= 2; ++i) std::swap(L.TLD_WPSI(i, 1), L.TLD_WPSI(i, 2));
    const std::vector<double> swapped = Step(2, x1, x2, x3);
    for (int32_t i = 1; i <= 2; ++i) {
        EXPECT_NEAR(swapped[i - 1], h[i - 1], 1e-15 * std::fabs(h[i - 1])) << i;
        EXPECT_NEAR(std::abs(L.TLD_WPSI(i, 1) - psi[i][2]), 0.0, 1e-14) << i;
    }
}

// After some steps, an inner segment: its states advanced by MFDSTEP are
// those the section leaves, and its new current is the update with MFDSTEP's h.
TEST_F(MfdtdStep, AdvancesASegmentAsTheSectionDoes) {
    Run(25);
    LineTables& L = LINE_TABLES;
    const int32_t m = 2, k = 1;
    std::vector<double> x1(2), x2(2), x3(2), d(2);
    for (int32_t i = 1; i <= 2; ++i) {
        x1[i - 1] = L.TLD_I1(i, m, k);
        x2[i - 1] = L.TLD_I2(i, m, k);
        x3[i - 1] = L.TLD_I3(i, m, k);
        d[i - 1] = L.TLD_V(i, m + 1, k) - L.TLD_V(i, m, k);
        for (int32_t p = 1; p <= 2; ++p) L.TLD_WPSI(i, p) = L.TLD_PSI(i, m, p, k);
    }
    ASSERT_NE(x1[0], 0.0);
    ASSERT_NE(L.TLD_WPSI(1, 2), std::complex<double>(0.0));
    const std::vector<double> h = Step(2, x1, x2, x3);
    const std::complex<double> advanced[2][2] = {{L.TLD_WPSI(1, 1), L.TLD_WPSI(1, 2)},
                                                 {L.TLD_WPSI(2, 1), L.TLD_WPSI(2, 2)}};
    TLSTEP_MFDTD();
    const double dz = L.TLD_DZ(k);
    for (int32_t i = 1; i <= 2; ++i) {
        for (int32_t p = 1; p <= 2; ++p) EXPECT_EQ(L.TLD_PSI(i, m, p, k), advanced[i - 1][p - 1]) << i << " " << p;
        std::vector<double> w(2);
        for (int32_t r = 1; r <= 2; ++r) {
            double s = -d[r - 1] - dz * h[r - 1];
            for (int32_t j = 1; j <= 2; ++j)
                s += L.TLD_IHIST(r, j, k) * x1[j - 1] + dz * (L.TLD_G3(r, j, k) + L.TLD_G2(r, j, k)) * x2[j - 1];
            w[r - 1] = s;
        }
        const double i0 = L.TLD_IMAT(i, 1, k) * w[0] + L.TLD_IMAT(i, 2, k) * w[1];
        EXPECT_NEAR(L.TLD_I1(i, m, k), i0, 1e-12 * std::fabs(i0)) << i;
        EXPECT_EQ(L.TLD_I2(i, m, k), x1[i - 1]);
    }
}

}  // namespace
