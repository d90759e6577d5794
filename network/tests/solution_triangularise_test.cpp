// Factorisation from the start node: the same factors as a full one,
// solutions of random sparse systems, fill-in and the list size, and the
// checks with their messages.
#include <random>

#include "network/interpolation.h"
#include "network/tests/solution_circuit.h"
#include "network/triangularise.h"

namespace {

using SolutionTriang = SolutionTest;

const std::string kStars = " " + std::string(52, '*') + "\n";

std::string advice() {
    std::string s = " ***WARN*** Check Non-Standard Messages\n";
    for (const char* line : {"Look for:", " - Isolated nodes or branches in the circuit.",
                             " - Nodes connected to nothing but open switches.",
                             " - A transformer sub-circuit which is ungrounded.",
                             " - Non-ideal transformers where the magnetizing currents",
                             "   for each winding are different.",
                             " - Ideal (R=0) switches or ammeters near the terminals",
                             "   of non-ideal transformers.", "Try:",
                             " - Grounding a transformer sub-circuit (either by a",
                             "   direct ground connection or by elements to ground).",
                             " - Changing transformers to ideal type.",
                             " - Looking through the code generation messages for",
                             "   warnings of suspicious isolated nodes: they point",
                             "   to isolated branches."})
        s += std::string(" ") + line + "\n";
    return s + kStars;
}

// A random connected network of n nodes: a chain plus extra couplings,
// every node with a conductance to ground, so the matrix is diagonally
// dominant.
void random_network(SolutionTest& t, int32_t n, unsigned seed, std::vector<Element>& out) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> g(0.5, 5.0);
    std::uniform_int_distribution<int32_t> node(1, n);
    for (int32_t k = 1; k < n; ++k) out.push_back({k, k + 1, 1.0 / g(rng)});
    for (int32_t e = 0; e < n; ++e) {
        const int32_t a = node(rng), b = node(rng);
        if (a != b) out.push_back({a, b, 1.0 / g(rng)});
    }
    for (int32_t k = 1; k <= n; ++k) out.push_back({k, 0, 1.0 / g(rng)});
    (void)t;
}

class SolutionTriangNet : public SolutionTest {
protected:
    // The network's tables with the diagonal completed, ready for the
    // first factorisation after the first step.
    void build(int32_t n, const std::vector<Element>& net, int32_t spare = 2) {
        tables(n, static_cast<int32_t>(net.size()) + spare, 1e-6, n * n + 1);
        for (const Element& e : net) branch(e);
        SSINIT();
        NET.MXINV(1) = 1;
        NET.NTRIANG(1) = 0;
        RUN_CLOCK.NSTEP = 1;
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

TEST_F(SolutionTriangNet, FromRowKGivesTheFactorsOfAFullFactorisation) {
    const int32_t n = 30;
    std::vector<Element> net;
    random_network(*this, n, 7, net);
    for (int32_t k : {1, 2, 11, 29, 30}) {
        build(n, net);
        ITRIANG(1);
        // A change in the rows from k on: the coupling of k and k + 1 and
        // the ground conductance of node k.
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

TEST_F(SolutionTriangNet, RandomSparseSystemsSolve) {
    for (unsigned seed = 1; seed <= 20; ++seed) {
        const int32_t n = 5 + static_cast<int32_t>(seed) * 7;
        std::vector<Element> net;
        random_network(*this, n, seed, net);
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

TEST_F(SolutionTriangNet, FillInAndTheListSize) {
    // A star: node 1 joined to every other node. Eliminating node 1 first
    // fills every pair, so rows 2..n get full upper lists.
    const int32_t n = 6;
    std::vector<Element> net;
    for (int32_t k = 2; k <= n; ++k) net.push_back({1, k, 1.0});
    for (int32_t k = 1; k <= n; ++k) net.push_back({k, 0, 2.0});
    build(n, net);
    ITRIANG(1);
    const SsView<int8_t> fill = SSDESC_IB(1);
    for (int32_t r = 2; r <= n; ++r)
        for (int32_t c = 2; c <= n; ++c) EXPECT_NE(fill(r, c), 0) << r << ' ' << c;
    // Upper entries: row 1 has 5, row k has n - k, 15 in all; as many lower.
    EXPECT_EQ(NET.UPEND(n, 1), 15);
    EXPECT_EQ(NET.LOWEND(n, 1), 15);
    EXPECT_EQ(NET.UPSTART(n, 1), 16);  // the last row has none
    EXPECT_EQ(DIMBLOCK.REQ[ND_SPARSITY], n * n + 1);  // its own requirement was larger

    // Exactly ND19 - 1 entries pass and raise the requirement to ND19.
    build(n, net);
    DIMBLOCK.AVAIL[ND_SPARSITY] = 16;
    DIMBLOCK.REQ[ND_SPARSITY] = 1;
    ITRIANG(1);
    EXPECT_EQ(DIMBLOCK.REQ[ND_SPARSITY], 16);

    // One more aborts.
    build(n, net);
    DIMBLOCK.AVAIL[ND_SPARSITY] = 15;
    DIMBLOCK.REQ[ND_SPARSITY] = 1;
    const Captured c = capture([] { ITRIANG(1); });
    EXPECT_TRUE(c.aborted);
    EXPECT_EQ(c.out, " ***ERROR** Sparsity dimension ND19 = 15\n"
                     " ***ERROR**  exceeded. It should be greater than 16\n" +
                         abort_frame("ITRIANG"));
}

TEST_F(SolutionTriangNet, UngroundedSubsystemOnTheFirstStep) {
    build(2, {{1, 2, 4.0}});
    RUN_CLOCK.NSTEP = 0;
    const Captured c = capture([] { ITRIANG(1); });
    EXPECT_TRUE(c.aborted);
    EXPECT_EQ(c.out, " ***ERROR** Ungrounded subsystem 1\n"
                     " ***ERROR** . It may be due an open switch in the ground path.\n" +
                         abort_frame("ITRIANG"));
    // Later steps do not check it (the pivot check finds it instead).
    build(2, {{1, 2, 4.0}, {1, 0, 1.0}});
    RUN_CLOCK.NSTEP = 0;
    EXPECT_FALSE(capture([] { ITRIANG(1); }).aborted);
}

TEST_F(SolutionTriangNet, SingularPivotReportsTheNode) {
    // Node 3 has no branch at all.
    build(3, {{1, 2, 1.0}, {1, 0, 1.0}});
    const Captured c = capture([] { ITRIANG(1); });
    EXPECT_TRUE(c.aborted);
    EXPECT_EQ(c.out, " ***ERROR** Singularity (a zero diagonal) encountered\n"
                     " ***ERROR**  during the triangularization of the circuit\n"
                     " ***ERROR**  conductance matrix. This occured at node \n"
                     " ***ERROR** 3 in subsystem 1\n"
                     " ***ERROR** . The simulation cannot be completed due to \n"
                     " ***ERROR** numerically ill-conditioned matrices.\n" +
                         kStars + advice() + abort_frame("ITRIANG"));
}

TEST_F(SolutionTriangNet, PivotLimit) {
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

TEST_F(SolutionTriangNet, NearlyCancelledPivotIsListedOnTheLastStep) {
    // Two nodes held together by 1e15 S, each with 1 S to ground: the
    // second pivot loses more than 14 digits.
    build(2, {{1, 2, 1e-15}, {1, 0, 1.0}, {2, 0, 1.0}});
    Captured c = capture([] { ITRIANG(1); });
    EXPECT_FALSE(c.aborted);
    EXPECT_EQ(c.out, "");
    EXPECT_TRUE(is_true(NET.SMALLDIAG(2, 1)));
    EXPECT_FALSE(is_true(NET.SMALLDIAG(1, 1)));
    RUN_FLAGS.FINAL_STEP = LTRUE;
    c = capture([] { ITRIANG(1); });  // nothing to factorise: only the listing
    EXPECT_FALSE(c.aborted);
    EXPECT_EQ(c.out, " ***ERROR** A very small diagonal was encountered \n"
                     " ***ERROR** during the triangularization of the circuit \n"
                     " ***ERROR** conductance matrix. The simulation results can be \n"
                     " ***ERROR** incorrect due to numerically ill-conditioned matrices.\n" +
                         kStars + " A very small diagonal was encountered\n"
                                  " For subsystem            1 , this occurred at nodes:\n"
                                  "           2\n" +
                         advice());
}

TEST_F(SolutionTriangNet, StartNodeBelowOneIsWarnedAndTakenAsOne) {
    build(2, {{1, 2, 1.0}, {1, 0, 1.0}});
    ITRIANG(1);
    NET.MXINV(1) = 0;
    const Captured c = capture([] { ITRIANG(1); });
    EXPECT_FALSE(c.aborted);
    EXPECT_EQ(c.out, " ***WARN*** Possible error in a user model, check Non-standard messages\n"
                     " WARNING: Zero or negative MXINV by a user model\n"
                     " Model is used in subsystem:           1\n"
                     " Correct this problem to increase simulation speed!\n");
    EXPECT_EQ(NET.MXINV(1), 3);
    EXPECT_EQ(NET.NTRIANG(1), 2);
}

TEST_F(SolutionTriangNet, UpToDateMatrixIsLeftAlone) {
    build(2, {{1, 2, 1.0}, {1, 0, 1.0}});
    ITRIANG(1);
    const std::vector<double> before = factors(2);
    SSDESC_RA(1)(1, 1) += 5.0;  // not announced through MXINV
    ITRIANG(1);
    EXPECT_EQ(factors(2), before);
    EXPECT_EQ(NET.NTRIANG(1), 1);
}

TEST_F(SolutionTriangNet, SwitchesEnterTheRowsFromTheStartNode) {
    // Chain 1-2-...-7 to ground at 1; a switch from 5 to ground and one
    // between 2 and 7, entered with the start node at 3.
    std::vector<Element> net;
    for (int32_t k = 1; k < 7; ++k) net.push_back({k, k + 1, 1.0});
    net.push_back({1, 0, 1.0});
    build(7, net);
    const int32_t s1 = branch({5, 0, 0.5}, true), s2 = branch({2, 7, 0.25}, true);
    NET.GEQ(s1, 1) = 2.0;
    NET.GEQ(s2, 1) = 4.0;
    ITRIANG(1);
    const std::vector<double> full = factors(7);
    // The same with the switches' conductances entered through a second
    // factorisation from node 2 gives the same factors.
    NET.GEQ(s1, 1) = 0.0;
    NET.GEQ(s2, 1) = 0.0;
    build(7, net);
    branch({5, 0, 0.5}, true);
    branch({2, 7, 0.25}, true);
    NET.GEQ(s1, 1) = NET.GEQ(s2, 1) = 0.0;
    ITRIANG(1);
    NET.GEQ(s1, 1) = 2.0;
    NET.GEQ(s2, 1) = 4.0;
    NET.MXINV(1) = 2;
    ITRIANG(1);
    EXPECT_EQ(factors(7), full);
    // Entered from node 3 only row 7 takes the 2-7 switch: row 2 keeps the
    // factors without it, so the result differs.
    build(7, net);
    branch({5, 0, 0.5}, true);
    branch({2, 7, 0.25}, true);
    NET.GEQ(s1, 1) = NET.GEQ(s2, 1) = 0.0;
    ITRIANG(1);
    const std::vector<double> none = factors(7);
    NET.GEQ(s1, 1) = 2.0;
    NET.GEQ(s2, 1) = 4.0;
    NET.MXINV(1) = 3;
    ITRIANG(1);
    const std::vector<double> from3 = factors(7);
    EXPECT_NE(from3, full);
    // Rows 1 and 2 keep the factors without the switches.
    EXPECT_EQ(std::vector<double>(from3.begin(), from3.begin() + 14), std::vector<double>(none.begin(), none.begin() + 14));
}

TEST_F(SolutionTriangNet, MissingMatricesAreAnError) {
    tables(2, 1, 1e-6);
    // The matrices of a larger subsystem than "SUBSYSDIM:" announced.
    PARAMS.USE_SUBSYSDIM = LTRUE;
    SOLUTION_ARRAYS.SSDIM(1) = 1;
    int32_t status = 0;
    ALLOCATION(1, status);
    NET.MXINV(1) = 1;
    const Captured c = capture([] { ITRIANG(1); });
    EXPECT_TRUE(c.aborted);
    EXPECT_EQ(c.out, " ***ERROR** Solution matrices of subsystem 1 are missing or too small.\n"
                     " ***ERROR** Check the SUBSYSDIM: section of the map file.\n" +
                         abort_frame("ITRIANG"));
}

}  // namespace
