// Factorisation from the start node: the same factors as a full one,
// solutions of random sparse systems, fill-in and the list size, and the
// checks with their messages.
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

// A random connected network of n nodes: a chain plus extra couplings,
// every node with a conductance to ground, so the matrix is diagonally
// dominant.
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
    const std::vector<Element> net = random_network(n, 7);
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
    EXPECT_EQ((std::vector<int32_t>{NET.UPEND(n, 1), NET.LOWEND(n, 1), NET.UPSTART(n, 1)}),
              (std::vector<int32_t>{15, 15, 16}));  // the last row has none
    EXPECT_EQ(DIMBLOCK.REQ[ND_SPARSITY], n * n + 1);  // its own requirement was larger

    // Exactly ND19 - 1 entries pass and raise the requirement to ND19; one
    // more aborts.
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
            EXPECT_EQ(DIMBLOCK.REQ[ND_SPARSITY], 16);
        }
    }
}

// An ungrounded subsystem on the first step (later steps leave it to the
// pivot check); a node without any branch; a pivot below 1e-20.
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

TEST_F(SolutionTriangNet, NearlyCancelledPivotIsListedOnTheLastStep) {
    // Two nodes held together by 1e15 S, each with 1 S to ground: the
    // second pivot loses more than 14 digits.
    build(2, {{1, 2, 1e-15}, {1, 0, 1.0}, {2, 0, 1.0}});
    EXPECT_EQ(capture([] { ITRIANG(1); }).out, "");
    EXPECT_EQ(std::make_pair(NET.SMALLDIAG(1, 1), NET.SMALLDIAG(2, 1)), std::make_pair(LFALSE, LTRUE));
    RUN_FLAGS.FINAL_STEP = LTRUE;
    // Nothing to factorise: only the listing.
    EXPECT_EQ(capture([] { ITRIANG(1); }).out, " ***ERROR** A very small diagonal was encountered \n"
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
    EXPECT_EQ(capture([] { ITRIANG(1); }).out,
              " ***WARN*** Possible error in a user model, check Non-standard messages\n"
              " WARNING: Zero or negative MXINV by a user model\n Model is used in subsystem:           1\n"
              " Correct this problem to increase simulation speed!\n");
    EXPECT_EQ(std::make_pair(NET.MXINV(1), NET.NTRIANG(1)), std::make_pair(3, 2));
    // An up-to-date matrix is left alone, whatever changed unannounced.
    const std::vector<double> before = factors(2);
    SSDESC_RA(1)(1, 1) += 5.0;
    ITRIANG(1);
    EXPECT_EQ(factors(2), before);
    EXPECT_EQ(NET.NTRIANG(1), 2);
}

// Chain 1-2-...-7 to ground at 1; a switch from 5 to ground and one
// between 2 and 7. Their conductances entered through a second
// factorisation from node 2 give the factors of entering them at once;
// from node 3 only row 7 takes the 2-7 switch, and rows 1 and 2 keep the
// factors without the switches.
TEST_F(SolutionTriangNet, SwitchesEnterTheRowsFromTheStartNode) {
    std::vector<Element> net;
    for (int32_t k = 1; k < 7; ++k) net.push_back({k, k + 1, 1.0});
    net.push_back({1, 0, 1.0});
    std::vector<double> without;
    const auto factorised = [&](int32_t from) {
        build(7, net);
        const int32_t s1 = branch({5, 0, 0.5}, true), s2 = branch({2, 7, 0.25}, true);
        if (from > 0) {
            NET.GEQ(s1, 1) = NET.GEQ(s2, 1) = 0.0;
            ITRIANG(1);
            without = factors(7);
            NET.MXINV(1) = from;
        }
        NET.GEQ(s1, 1) = 2.0;
        NET.GEQ(s2, 1) = 4.0;
        ITRIANG(1);
        return factors(7);
    };
    const std::vector<double> full = factorised(0);
    EXPECT_EQ(factorised(2), full);
    const std::vector<double> from3 = factorised(3);
    EXPECT_NE(from3, full);
    EXPECT_EQ(std::vector<double>(from3.begin(), from3.begin() + 14),
              std::vector<double>(without.begin(), without.begin() + 14));
}

TEST_F(SolutionTriangNet, MissingMatricesAreAnError) {
    tables(2, 1, 1e-6);
    // The matrices of a larger subsystem than "SUBSYSDIM:" announced.
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
