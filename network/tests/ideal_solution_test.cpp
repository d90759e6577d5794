// Ideal branches in running circuits: each gives the node voltages and
// currents of a 1e-6 ohm branch in its place (between two nodes, either
// way round, with an EMF, to ground as an ideal source, in a chain, two in
// parallel, a switch whose closed state is ideal); a source shorted by
// ideal branches, a loop of three and two loops stop the run with their
// messages.
#include <functional>

#include "network/ideal_branches.h"
#include "network/switch_state.h"
#include "network/tests/hooked_case.h"
#include "network/tests/ideal_circuit.h"

namespace {

constexpr double kDt = 50e-6, kEm = 100.0, kW = 2.0 * M_PI * 50.0;
constexpr double kTiny = 1e-6;

// Node voltages and branch currents of every step.
struct Trace {
    std::vector<std::vector<double>> v, i;
    double vpeak = 0.0, ipeak = 0.0;
};

class IdealSolution : public SolutionTest {
protected:
    void TearDown() override {
        HOOKED_CASE.reset();
        SolutionTest::TearDown();
    }

    // A circuit of n nodes and nb branches built by build (true: the ideal
    // branches, false: 1e-6 ohm in their place), run for steps steps with
    // a 50 Hz source EMF on branch 1.
    Trace run(int32_t n, int32_t nb, const std::function<void(bool)>& build, bool ideal, bool interpolate,
              int32_t steps = 600) {
        return run_with(n, nb, build, ideal, interpolate, nullptr, steps);
    }
    // The same with each step's model: before step s, each(s).
    Trace run_with(int32_t n, int32_t nb, const std::function<void(bool)>& build, bool ideal, bool interpolate,
                   const std::function<void(int32_t)>& each, int32_t steps = 600) {
        tables(n, nb, kDt);
        build(ideal);
        options(interpolate, false);
        start();
        Trace t;
        for (int32_t s = 0; s < steps; ++s) {
            NET.EBR(1, 1) = kEm * std::sin(kW * s * kDt);
            if (each) each(s);
            const Captured c = capture([&] { EXPECT_TRUE(step()) << s; });
            if (HasFailure()) {
                ADD_FAILURE() << c.out;
                return t;
            }
            std::vector<double> v, i;
            for (int32_t k = 1; k <= n; ++k) v.push_back(V(k));
            for (int32_t b = 1; b <= NET.NBRANCHES(1); ++b) i.push_back(I(b));
            for (double x : v) t.vpeak = std::max(t.vpeak, std::fabs(x));
            for (double x : i) t.ipeak = std::max(t.ipeak, std::fabs(x));
            t.v.push_back(v);
            t.i.push_back(i);
            // Against the circuit's current scale (1 ohm behind the source);
            // 1e6 S next to the circuit's own conductances costs some digits.
            EXPECT_LT(kcl_error() * largest_, (ideal ? 1e-10 : 1e-8) * kEm) << s;
        }
        EXPECT_EQ(array_overrun_count(), 0);
        return t;
    }

    // The ideal circuit against the tiny-resistor one: node voltages and the
    // currents of the branches listed (all when empty) within tol of their
    // peaks.
    void compare(int32_t n, int32_t nb, const std::function<void(bool)>& build, double tol = 2e-6,
                 std::vector<size_t> currents = {}, const std::function<void(int32_t)>& each = nullptr) {
        for (bool interpolate : {false, true}) {
            const Trace ideal = run_with(n, nb, build, true, interpolate, each);
            const Trace tiny = run_with(n, nb, build, false, interpolate, each);
            ASSERT_EQ(ideal.v.size(), tiny.v.size());
            if (currents.empty())
                for (size_t b = 0; b < tiny.i.front().size(); ++b) currents.push_back(b);
            double dv = 0.0, di = 0.0;
            for (size_t s = 0; s < ideal.v.size(); ++s) {
                for (size_t k = 0; k < ideal.v[s].size(); ++k)
                    dv = std::max(dv, std::fabs(ideal.v[s][k] - tiny.v[s][k]));
                for (size_t b : currents) di = std::max(di, std::fabs(ideal.i[s][b] - tiny.i[s][b]));
            }
            EXPECT_LT(dv, tol * tiny.vpeak) << interpolate;
            EXPECT_LT(di, tol * tiny.ipeak) << interpolate;
            EXPECT_GT(tiny.ipeak, 1.0);
        }
    }

    // The rest of the test circuit behind node 2: 1 mH to node 3, which has
    // 5 ohm and 50 uF to ground, and 20 ohm from node 2 to ground.
    void load() {
        branch({2, 3, 0, 1e-3});
        branch({3, 0, 5.0});
        branch({3, 0, 0, 0, 50e-6});
        branch({2, 0, 20.0});
    }
};

TEST_F(IdealSolution, IdealBranchBetweenTwoNodes) {
    compare(3, 6, [this](bool ideal) {
        branch({0, 1, 1.0, 0, 0, kEm});
        ideal ? ideal_branch(1, 2) : branch({1, 2, kTiny});
        load();
    });
}

// Entered from node 2 to node 1, with an EMF of 10 V: its list entry is
// taken to-node first.
TEST_F(IdealSolution, IdealBranchTakenBackwardsWithAnEmf) {
    compare(3, 6, [this](bool ideal) {
        branch({0, 1, 1.0, 0, 0, kEm});
        ideal ? ideal_branch(2, 1, 10.0) : branch({2, 1, kTiny, 0, 0, 10.0});
        load();
    });
}

TEST_F(IdealSolution, IdealSourceToGround) {
    compare(3, 6, [this](bool ideal) {
        ideal ? ideal_branch(0, 1, kEm) : branch({0, 1, kTiny, 0, 0, kEm});
        branch({1, 2, 1.0});
        load();
    });
}

// Three ideal branches in a chain from node 1 to node 4 (one of them
// backwards) and one from node 4 to ground through which the load returns.
TEST_F(IdealSolution, ChainOfIdealBranches) {
    compare(5, 8, [this](bool ideal) {
        branch({0, 1, 1.0, 0, 0, kEm});
        ideal ? ideal_branch(1, 5) : branch({1, 5, kTiny});
        ideal ? ideal_branch(2, 5) : branch({2, 5, kTiny});
        branch({2, 3, 0, 1e-3});
        branch({3, 4, 5.0});
        branch({3, 4, 0, 0, 50e-6});
        ideal ? ideal_branch(4, 0) : branch({4, 0, kTiny});
        branch({2, 0, 20.0});
    });
}

// Two ideal branches between nodes 1 and 2: the second closes a loop and
// has no constraint of its own; one of them carries the whole current and
// the other what the balance leaves it, which is nothing.
TEST_F(IdealSolution, TwoIdealBranchesInParallel) {
    const auto build = [this](bool ideal) {
        branch({0, 1, 1.0, 0, 0, kEm});
        ideal ? ideal_branch(1, 2) : branch({1, 2, kTiny});
        ideal ? ideal_branch(1, 2) : branch({1, 2, kTiny});
        branch({2, 3, 0, 1e-3});
        branch({3, 0, 5.0});
        branch({3, 0, 0, 0, 50e-6});
        branch({2, 0, 20.0});
    };
    // The load's currents and all node voltages as with the two resistors.
    compare(3, 7, build, 2e-6, {0, 3, 4, 5, 6});
    const Trace ideal = run(3, 7, build, true, true);
    EXPECT_EQ(NET.NIDEALA(1), 2);
    EXPECT_EQ(NET.NIDEAL(1), 2);
    EXPECT_EQ(NET.IDLIST(1, 1), 2);
    EXPECT_EQ(NET.IDLIST(2, 1), 0);
    double rest = 0.0, whole = 0.0;
    for (size_t s = 0; s < ideal.i.size(); ++s) {
        rest = std::max(rest, std::fabs(ideal.i[s][1]));
        whole = std::max(whole, std::fabs(ideal.i[s][2] - ideal.i[s][0]));
    }
    EXPECT_LT(rest, 1e-12 * ideal.ipeak);
    EXPECT_LT(whole, 1e-12 * ideal.ipeak);
}

// A switch of no closed resistance between nodes 1 and 2, closed by its
// model at 5.01 ms and opened at 20.013 ms, against a switch of 1e-6 ohm.
// Without interpolation the timed switchings wait for the step ends.
TEST_F(IdealSolution, SwitchWithAnIdealClosedState) {
    const auto build = [this](bool ideal) {
        branch({0, 1, 1.0, 0, 0, kEm});
        const int32_t sw = branch({1, 2, 1.0}, true);
        NET.GON(sw, 1) = ideal ? 0.0 : 1.0 / kTiny;
        NET.GOFF(sw, 1) = NET.GEQ(sw, 1) = NET.GEQD(sw, 1) = 1e-9;
        NET.OPENBR(sw, 1) = LTRUE;
        NET.IORV(sw, 1) = 8;
        NET.SWVAL(sw, 1) = 5.01e-3;
        load();
    };
    const auto model = [](int32_t s) {
        if (s == 300) {
            NET.IORV(2, 1) = 8;
            NET.SWVAL(2, 1) = 20.013e-3;
        }
        if (!is_true(NET.SSINTERP(1)) && (s == 101 || s == 401)) {
            is_true(NET.OPENBR(2, 1)) ? BRANCH_ON(1, 2, 6, 0.0) : BRANCH_OFF(1, 2, 6, 0.0);
        }
    };
    compare(3, 6, build, 2e-6, {}, model);
    // Closed from 5.01 ms to 20.013 ms only.
    const Trace t = run_with(3, 6, build, true, true, model);
    ASSERT_EQ(t.i.size(), 600u);
    EXPECT_LT(std::fabs(t.i[100][1]), 1e-6);
    EXPECT_GT(std::fabs(t.i[101][1]), 1e-3);
    EXPECT_GT(std::fabs(t.i[400][1]), 1e-3);
    EXPECT_LT(std::fabs(t.i[401][1]), std::fabs(t.i[400][1]));
    EXPECT_LT(std::fabs(t.i[599][1]), 1e-6);
    EXPECT_TRUE(is_true(NET.OPENBR(2, 1)));
}

TEST_F(IdealSolution, IdealSwitchMarksTheSubsystemWhenItCloses) {
    tables(3, 6, kDt);
    branch({0, 1, 1.0, 0, 0, kEm});
    const int32_t sw = branch({1, 2, 1.0}, true);
    NET.GON(sw, 1) = 0.0;
    NET.GOFF(sw, 1) = NET.GEQ(sw, 1) = NET.GEQD(sw, 1) = 1e-9;
    NET.OPENBR(sw, 1) = LTRUE;
    NET.IORV(sw, 1) = 8;
    NET.SWVAL(sw, 1) = 2.8e-4;
    load();
    options(true, false);
    start();
    for (int32_t s = 0; s < 6; ++s) ASSERT_TRUE(step());
    EXPECT_FALSE(is_true(NET.IDEALSS(1)));
    const Captured c = capture([&] { EXPECT_TRUE(step()); });
    EXPECT_TRUE(is_true(NET.IDEALSS(1)));
    EXPECT_TRUE(is_true(NET.IDEALBR(sw, 1)));
    EXPECT_EQ(NET.IORV(sw, 1), 6);
    EXPECT_EQ(NET.NIDEAL(1), 1);
    EXPECT_EQ(V(1), V(2));
    // The first factorisation of the run had no ideal branch to report.
    EXPECT_EQ(c.out, "");
}

// A voltage source (an ideal branch with an EMF) shorted by an ideal branch.
TEST_F(IdealSolution, ShortedVoltageSourceStopsTheRun) {
    for (bool backwards : {false, true}) {
        tables(2, 4, kDt);
        ideal_branch(0, 1, kEm);
        backwards ? ideal_branch(0, 1) : ideal_branch(1, 0);
        branch({1, 2, 1.0});
        branch({2, 0, 1.0});
        options(true, false);
        start();
        const Captured c = capture([&] { EXPECT_FALSE(step()); });
        EXPECT_EQ(c.out,
                  " Subsystem           1  has ideal branches\n"
                  " ***ERROR** Short circuited voltage source \n"
                  " ***ERROR** branch 1 of subsystem 1\n" +
                      abort_frame("SCTEST"));
    }
}

// The source in a loop of two ideal branches between two nodes, reported
// by its own branch number, whichever of the two comes first.
TEST_F(IdealSolution, SourceInAnIdealLoopBetweenTwoNodes) {
    for (bool source_first : {true, false}) {
        tables(2, 4, kDt);
        branch({0, 1, 1.0, 0, 0, kEm});
        if (source_first) ideal_branch(1, 2, 5.0);
        ideal_branch(2, 1);
        if (!source_first) ideal_branch(1, 2, 5.0);
        branch({2, 0, 1.0});
        options(false, false);
        start();
        const Captured c = capture([&] { EXPECT_FALSE(step()); });
        const std::string branch_number = source_first ? "2" : "3";
        EXPECT_NE(c.out.find(" ***ERROR** Short circuited voltage source \n"
                             " ***ERROR** branch " + branch_number + " of subsystem 1\n" + abort_frame("SCTEST")),
                  std::string::npos)
            << c.out;
    }
}

// Three ideal branches in a triangle: the constraints are consistent, but
// their currents cannot be told apart.
TEST_F(IdealSolution, LoopOfThreeIdealBranchesStopsTheRun) {
    tables(3, 6, kDt);
    branch({0, 1, 1.0, 0, 0, kEm});
    ideal_branch(1, 2);
    ideal_branch(2, 3);
    ideal_branch(3, 1);
    branch({3, 0, 1.0});
    options(true, false);
    start();
    const Captured c = capture([&] { EXPECT_FALSE(step()); });
    EXPECT_EQ(c.out, " Subsystem           1  has ideal branches\n"
                     " ***ERROR** Ideal loop processing is incomplete\n" +
                         abort_frame("IDLCUR"));
}

// Two separate pairs of parallel ideal branches: one loop is taken, the
// second is not.
TEST_F(IdealSolution, TwoLoopsOfIdealBranchesStopTheRun) {
    tables(4, 8, kDt);
    branch({0, 1, 1.0, 0, 0, kEm});
    ideal_branch(1, 2);
    ideal_branch(2, 1);
    branch({2, 3, 1.0});
    ideal_branch(3, 4);
    ideal_branch(3, 4);
    branch({4, 0, 1.0});
    options(true, false);
    start();
    const Captured c = capture([&] { EXPECT_FALSE(step()); });
    EXPECT_EQ(c.out, " Subsystem           1  has ideal branches\n"
                     " ***ERROR** More than 1 loops entirely \n"
                     " ***ERROR** consisting of ideal branches. \n"
                     " ***ERROR** Check branch 3 in subsystem 1.\n" +
                         abort_frame("IDLCUR"));
}

}  // namespace
