// Factorisation from the start node: the same factors as a full one,
// solutions of random sparse systems, the list size, and the checks with
// their messages.
#include <bit>
#include <cstdint>
#include <random>

#include "network/interpolation.h"
#include "network/tests/solution_circuit.h"
#include "network/triangularise.h"

namespace {

const std::string kStars = " " + std::string(52, '*') + "\n";

std::string advice() {
    return " ***WARN*** Check Non-Standard Messages\n Look for:\n  - Isolated nodes or branches in the circuit.\n"
           "  - Nodes connected to nothing but open switches.\n  - A transformer sub-circuit which is ungrounded.\n"
           "  - Non-ideal transformers where the magnetizing currents\n    for each winding are different.\n"
           "  - Ideal (R=0) switches or ammeters near the terminals\n    of non-ideal transformers.\n Try:\n"
           "  - Grounding a transformer sub-circuit (either by a\n"
           "    direct ground connection or by elements to ground).\n  - Changing transformers to ideal type.\n"
           "  - Looking through the code generation messages for\n"
           "    warnings of suspicious isolated nodes: they point\n    to isolated branches.\n" +
           kStars;
}

// A chain plus random couplings, every node grounded: diagonally dominant.
std::vector<Element> random_network(int32_t n, unsigned seed) {
    std::vector<Element> out;
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> g(0.5, 5.0);
    std::uniform_int_distribution<int32_t> node(1, n);
    for (int32_t k = 1; k < n; ++k) out.push_back({k, k + 1, 1.0 / g(rng)});
    for (int32_t e = 0; e < n; ++e) {
        const int32_t a = node(rng), b = node(rng);
        if (a != b) out.push_back({a, b, 1.0 / g(rng)});
    }
    for (int32_t k = 1; k <= n; ++k) out.push_back({k, 0, 1.0 / g(rng)});
    return out;
}

class SolutionTriangNet : public SolutionTest {
protected:
    // The network's tables with the diagonal completed, as after the first step.
    // Switches follow the network's branches.
    void build(int32_t n, const std::vector<Element>& net, const std::vector<Element>& switches = {}) {
        tables(n, static_cast<int32_t>(net.size() + switches.size()) + 2, 1e-6, n * n + 1);
        for (const Element& e : net) branch(e);
        for (const Element& e : switches) branch(e, true);
        SSINIT();
        NET.MXINV(1) = 1;
        NET.NTRIANG(1) = 0;
        RUN_CLOCK.NSTEP = 1;
    }
    // A switch's new conductance, refactorised from its lower node.
    void flip(int32_t b, double g) {
        NET.GEQ(b, 1) = g;
        for (const int32_t k : {NET.IEF(b, 1), NET.IET(b, 1)})
            if (k != 0) NET.MXINV(1) = std::min(NET.MXINV(1), k);
    }
    // GMTRI by rows.
    std::vector<double> factors(int32_t n) {
        std::vector<double> f;
        const SsView<double> tri = SSDESC_RB(1);
        for (int32_t r = 1; r <= n; ++r)
            for (int32_t c = 1; c <= n; ++c) f.push_back(tri(r, c));
        return f;
    }
};

// A change in the rows from k on (the coupling of k and k + 1, k's ground) refactorised from k.
TEST_F(SolutionTriangNet, FromRowKGivesTheFactorsOfAFullFactorisation) {
    const int32_t n = 30;
    const std::vector<Element> net = random_network(n, 7);
    for (int32_t k : {1, 2, 11, 29, 30}) {
        build(n, net);
        ITRIANG(1);
        auto change = [&] {
            const SsView<double> gm = SSDESC_RA(1);
            if (k < n) {
                gm(k, k + 1) += 0.25;
                gm(k + 1, k) += 0.25;
                gm(k, k) += 0.25;
                gm(k + 1, k + 1) += 0.25;
            }
            NET.GNOR(k, 1) += 0.5;
        };
        change();
        NET.MXINV(1) = k;
        ITRIANG(1);
        const std::vector<double> partial = factors(n);
        EXPECT_EQ(NET.MXINV(1), n + 1);
        EXPECT_EQ(NET.NTRIANG(1), 2);

        build(n, net);
        change();
        ITRIANG(1);
        EXPECT_EQ(factors(n), partial) << "from row " << k;
    }
}

// Switches between random nodes and to ground change their conductances;
// the refactorisation from the lowest of their nodes gives the factors,
// packed and in GMTRI, and the fill pattern of a full factorisation, and
// those of the refactorisation through GMTRI.
TEST_F(SolutionTriangNet, SwitchesRefactorisedFromTheirRowGiveTheFullFactors) {
    const int32_t n = 24;
    std::vector<Element> net = random_network(n, 3);
    std::mt19937 rng(5);
    std::uniform_int_distribution<int32_t> node(0, n);
    std::vector<Element> switches;
    for (int32_t k = 0; k < 12; ++k) {
        const int32_t a = node(rng), b = node(rng);
        if (a != b || a != 0) switches.push_back({a, b == a ? 0 : b, 2.0});
    }
    const auto make = [&] {
        build(n, net, switches);
        ITRIANG(1);
    };
    const int32_t first = static_cast<int32_t>(net.size()) + 1;
    const auto flip_switch = [&](int32_t s, double g) { flip(first + s, g); };
    const auto state = [&] {
        const SubsystemFactors& f = TRIANG_FACTORS.ss[0];
        std::vector<double> v = factors(n);
        v.insert(v.end(), f.low.begin(), f.low.end());
        v.insert(v.end(), f.up.begin(), f.up.end());
        v.insert(v.end(), f.diag.begin(), f.diag.end());
        const SsView<int8_t> fill = SSDESC_IB(1);
        for (int32_t r = 1; r <= n; ++r)
            for (int32_t c = 1; c <= n; ++c) v.push_back(fill(r, c));
        return v;
    };
    for (int32_t s = 0; s < static_cast<int32_t>(switches.size()); ++s) {
        make();
        flip_switch(s, 1e-3);
        flip_switch((s + 5) % static_cast<int32_t>(switches.size()), 7.5);
        ITRIANG(1);
        const std::vector<double> packed = state();

        make();
        TRIANG_FACTORS.ss[0].switches = -1;  // through GMTRI
        flip_switch(s, 1e-3);
        flip_switch((s + 5) % static_cast<int32_t>(switches.size()), 7.5);
        ITRIANG(1);
        EXPECT_EQ(state(), packed) << "switch " << s;

        make();
        flip_switch(s, 1e-3);
        flip_switch((s + 5) % static_cast<int32_t>(switches.size()), 7.5);
        NET.MXINV(1) = 1;
        NET.NTRIANG(1) = 0;
        ITRIANG(1);
        EXPECT_EQ(factors(n), std::vector<double>(packed.begin(), packed.begin() + n * n)) << "switch " << s;
    }
}

// Switches going back and forth between states seen before: each
// refactorisation leaves, to the bit, the factors, GMTRI, the fill pattern
// and the small-pivot flags that an elimination through GMTRI leaves.
TEST_F(SolutionTriangNet, SwitchingBackToATopologySeenBeforeGivesTheSameFactors) {
    const int32_t n = 16;
    const std::vector<Element> net = random_network(n, 11);
    const std::vector<Element> switches = {{3, 9, 2.0}, {12, 0, 0.5}, {14, 15, 1.0}, {7, 16, 4.0}};
    const int32_t first = static_cast<int32_t>(net.size()) + 1;
    const auto run = [&](bool through_gmtri) {
        build(n, net, switches);
        ITRIANG(1);
        std::mt19937 rng(21);
        std::vector<double> out;
        for (int32_t k = 0; k < 60; ++k) {
            const int32_t sw = static_cast<int32_t>(rng() % switches.size());
            flip(first + sw, rng() % 2 == 0 ? 1e-6 : 1e3);
            if (through_gmtri) TRIANG_FACTORS.ss[0].switches = -1;
            ITRIANG(1);
            const SubsystemFactors& f = TRIANG_FACTORS.ss[0];
            const std::vector<double> tri = factors(n);
            out.insert(out.end(), tri.begin(), tri.end());
            out.insert(out.end(), f.low.begin(), f.low.end());
            out.insert(out.end(), f.up.begin(), f.up.end());
            out.insert(out.end(), f.diag.begin(), f.diag.end());
            const SsView<int8_t> fill = SSDESC_IB(1);
            for (int32_t r = 1; r <= n; ++r) {
                out.push_back(NET.SMALLDIAG(r, 1));
                for (int32_t c = 1; c <= n; ++c) out.push_back(fill(r, c));
            }
        }
        EXPECT_EQ(NET.NTRIANG(1), 61);
        return out;
    };
    const std::vector<double> fresh = run(true), reused = run(false);
    ASSERT_EQ(reused.size(), fresh.size());
    for (size_t k = 0; k < fresh.size(); ++k)
        ASSERT_EQ(std::bit_cast<uint64_t>(reused[k]), std::bit_cast<uint64_t>(fresh[k])) << k;
}

// Residuals of random diagonally dominant sparse systems below 1e-12.
TEST_F(SolutionTriangNet, RandomSparseSystemsSolve) {
    for (unsigned seed = 1; seed <= 20; ++seed) {
        const int32_t n = 5 + static_cast<int32_t>(seed) * 7;
        const std::vector<Element> net = random_network(n, seed);
        build(n, net);
        ITRIANG(1);
        std::mt19937 rng(seed * 31);
        std::uniform_real_distribution<double> u(-10.0, 10.0);
        std::vector<double> b(static_cast<size_t>(n) + 1);
        for (int32_t k = 1; k <= n; ++k) NET.CINJ(k) = b[static_cast<size_t>(k)] = u(rng);
        INTERPB(1, 0.0, false, false, false);
        const SsView<double> gm = SSDESC_RA(1);
        double worst = 0.0, scale = 0.0;
        for (int32_t r = 1; r <= n; ++r) {
            double s = (gm(r, r) + NET.GNOR(r, 1)) * NET.VSOL(r);
            for (int32_t c = 1; c <= n; ++c)
                if (c != r) s -= gm(r, c) * NET.VSOL(c);
            worst = std::max(worst, std::fabs(s - b[static_cast<size_t>(r)]));
            scale = std::max(scale, std::fabs(b[static_cast<size_t>(r)]));
        }
        EXPECT_LT(worst / scale, 1e-12) << "seed " << seed;
    }
}

// A star from node 1 fills the other rows: 15 entries fit ND19 = 16 and raise the requirement; 15 stop.
TEST_F(SolutionTriangNet, FillInAndTheListSize) {
    const int32_t n = 6;
    std::vector<Element> net;
    for (int32_t k = 2; k <= n; ++k) net.push_back({1, k, 1.0});
    for (int32_t k = 1; k <= n; ++k) net.push_back({k, 0, 2.0});
    for (int32_t available : {16, 15}) {
        build(n, net);
        DIMBLOCK.AVAIL[ND_SPARSITY] = available;
        DIMBLOCK.REQ[ND_SPARSITY] = 1;
        const Captured c = capture([] { ITRIANG(1); });
        EXPECT_EQ(c.aborted, available == 15);
        EXPECT_EQ(c.out, available == 16 ? ""
                                         : " ***ERROR** Sparsity dimension ND19 = 15\n"
                                           " ***ERROR**  exceeded. It should be greater than 16\n" +
                                               abort_frame("ITRIANG"));
        if (available == 16) {
            EXPECT_EQ((std::vector<int32_t>{DIMBLOCK.REQ[ND_SPARSITY], NET.UPEND(n, 1), NET.LOWEND(n, 1)}),
                      (std::vector<int32_t>{16, 15, 15}));
        }
    }
}

// An ungrounded subsystem on the first step; a node without any branch; a pivot below 1e-20.
TEST_F(SolutionTriangNet, SingularMatricesStopTheRun) {
    build(2, {{1, 2, 4.0}});
    RUN_CLOCK.NSTEP = 0;
    EXPECT_STOPS(ITRIANG(1), " ***ERROR** Ungrounded subsystem 1\n"
                             " ***ERROR** . It may be due an open switch in the ground path.\n" +
                                 abort_frame("ITRIANG"));
    build(2, {{1, 2, 4.0}, {1, 0, 1.0}});
    RUN_CLOCK.NSTEP = 0;
    EXPECT_FALSE(capture([] { ITRIANG(1); }).aborted);

    build(3, {{1, 2, 1.0}, {1, 0, 1.0}});
    EXPECT_STOPS(ITRIANG(1), " ***ERROR** Singularity (a zero diagonal) encountered\n"
                             " ***ERROR**  during the triangularization of the circuit\n"
                             " ***ERROR**  conductance matrix. This occured at node \n ***ERROR** 3 in subsystem 1\n"
                             " ***ERROR** . The simulation cannot be completed due to \n"
                             " ***ERROR** numerically ill-conditioned matrices.\n" +
                                 kStars + advice() + abort_frame("ITRIANG"));
    for (double pivot : {1e-20, 0.99e-20}) {
        build(1, {});
        SSDESC_RA(1)(1, 1) = pivot;
        const Captured c = capture([] { ITRIANG(1); });
        EXPECT_EQ(c.aborted, pivot < 1e-20) << c.out;
        if (!c.aborted) {
            EXPECT_EQ(SSDESC_RB(1)(1, 1), 1.0 / pivot);
        }
    }
}

// Two nodes tied by 1e15 S, each 1 S to ground: the second pivot loses 14 digits; listed at the end.
TEST_F(SolutionTriangNet, NearlyCancelledPivotIsListedOnTheLastStep) {
    build(2, {{1, 2, 1e-15}, {1, 0, 1.0}, {2, 0, 1.0}});
    EXPECT_EQ(capture([] { ITRIANG(1); }).out, "");
    EXPECT_EQ(std::make_pair(NET.SMALLDIAG(1, 1), NET.SMALLDIAG(2, 1)), std::make_pair(LFALSE, LTRUE));
    RUN_FLAGS.FINAL_STEP = LTRUE;
    EXPECT_EQ(capture([] { ITRIANG(1); }).out, " ***ERROR** A very small diagonal was encountered \n"
                     " ***ERROR** during the triangularization of the circuit \n"
                     " ***ERROR** conductance matrix. The simulation results can be \n"
                     " ***ERROR** incorrect due to numerically ill-conditioned matrices.\n" +
                         kStars + " A very small diagonal was encountered\n"
                                  " For subsystem            1 , this occurred at nodes:\n"
                                  "           2\n" +
                         advice());
}

// A start node below 1 from a user model is warned and taken as 1.
TEST_F(SolutionTriangNet, StartNodeBelowOneIsWarnedAndTakenAsOne) {
    build(2, {{1, 2, 1.0}, {1, 0, 1.0}});
    ITRIANG(1);
    NET.MXINV(1) = 0;
    EXPECT_EQ(capture([] { ITRIANG(1); }).out,
              " ***WARN*** Possible error in a user model, check Non-standard messages\n"
              " WARNING: Zero or negative MXINV by a user model\n Model is used in subsystem:           1\n"
              " Correct this problem to increase simulation speed!\n");
    EXPECT_EQ(std::make_pair(NET.MXINV(1), NET.NTRIANG(1)), std::make_pair(3, 2));
}

// A subsystem larger than "SUBSYSDIM:" announced has no matrices of its size.
TEST_F(SolutionTriangNet, MissingMatricesAreAnError) {
    tables(2, 1, 1e-6);
    PARAMS.USE_SUBSYSDIM = LTRUE;
    SOLUTION_ARRAYS.SSDIM(1) = 1;
    int32_t status = 0;
    ALLOCATION(1, status);
    NET.MXINV(1) = 1;
    EXPECT_STOPS(ITRIANG(1), " ***ERROR** Solution matrices of subsystem 1 are missing or too small.\n"
                             " ***ERROR** Check the SUBSYSDIM: section of the map file.\n" +
                                 abort_frame("ITRIANG"));
}

}  // namespace
