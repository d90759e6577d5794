// A pass's branch results, which the solution forms in loops of their own
// for each class of branch, are to the bit those of the one rule for a
// branch (its EMF and history current as INTVAL2 and INTVAL1 give them,
// its current and part voltages at the pass's fraction), for every kind of
// branch and every kind of pass, and after the close of the step; and so
// are the branches' injections into the right-hand side.
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "network/branch_currents.h"
#include "network/branch_plan.h"
#include "network/interpolation.h"
#include "network/tests/solution_circuit.h"

namespace {

constexpr int32_t kNodes = 6, kBranches = 48, kRecord = 5;

uint64_t bits(double x) {
    uint64_t u;
    std::memcpy(&u, &x, sizeof u);
    return u;
}

// Every column a pass writes or reads, for branches 1 .. kBranches.
struct Columns {
    std::vector<std::vector<double>> v;
    static std::vector<FArray2<double>*> all() {
        NetworkTables& N = NET;
        return {&N.CBR, &N.CCBR, &N.CCBRD, &N.CCL, &N.CCLD, &N.CCC, &N.CCCD, &N.V12L, &N.V20L,
                &N.EBR, &N.EBRD, &N.GEQ,   &N.RLG, &N.RCG,  &N.RCL, &N.RSC,  &N.RSL};
    }
    static const char* name(size_t k) {
        static const char* const names[] = {"CBR", "CCBR", "CCBRD", "CCL", "CCLD", "CCC", "CCCD", "V12L", "V20L",
                                            "EBR", "EBRD", "GEQ",   "RLG", "RCG",  "RCL", "RSC",  "RSL"};
        return names[k];
    }
    static Columns taken() {
        Columns c;
        for (FArray2<double>* a : all()) {
            std::vector<double> col;
            for (int32_t b = 1; b <= kBranches; ++b) col.push_back((*a)(b, 1));
            c.v.push_back(col);
        }
        std::vector<double> t;
        for (int32_t b = 1; b <= kBranches; ++b) t.push_back(NET.CBRT(b));
        c.v.push_back(t);
        return c;
    }
    void put() const {
        const auto a = all();
        for (size_t k = 0; k < a.size(); ++k)
            for (int32_t b = 1; b <= kBranches; ++b) (*a[k])(b, 1) = v[k][static_cast<size_t>(b - 1)];
        for (int32_t b = 1; b <= kBranches; ++b) NET.CBRT(b) = v.back()[static_cast<size_t>(b - 1)];
    }
};

class PassResults : public SolutionTest {
protected:
    void SetUp() override {
        SolutionTest::SetUp();
        allocate({{ND_NODES, kNodes}, {ND_SUBSYS, 1}, {ND_BRANCHES, kBranches}, {ND_SPARSITY, 40}, {ND_STORI, 10},
                  {ND_STORL, 2}, {ND_STORF, 8}});
        matrices(1, kNodes);
        RUN_CLOCK.DELT = 50e-6;
        NET.NBUSES(1) = kNodes;
        // A voltage source's record: a DC source of 2.5 on branch 13.
        StorageArrays& S = STORAGE;
        const int32_t words[] = {101, 1, 0, 0, 1, 13};
        for (int32_t k = 0; k < 6; ++k) S.STORI(kRecord + k) = words[k];
        S.STORF(3) = 2.5;
        std::mt19937 random(11);
        std::uniform_real_distribution<double> value(-1.0, 1.0);
        NetworkTables& N = NET;
        // Branch k: R always; L, C, an EMF, a voltage-source record and an
        // injected current by the bits of k.
        for (int32_t k = 0; k < kBranches; ++k) {
            const int32_t from = static_cast<int32_t>(random() % (kNodes + 1));
            const int32_t to = static_cast<int32_t>(random() % (kNodes + 1));
            const int32_t b = branch({from, to, 1.0, (k & 1) ? 1e-3 : 0.0, (k & 2) ? 1e-6 : 0.0, (k & 4) ? 1.0 : 0.0});
            if ((k & 4) && (k & 8)) N.THISBR(b, 1) = kRecord;
            if (k >= 40) N.DEFRDBR(b, 1) = LTRUE;
            for (FArray2<double>* a : Columns::all()) (*a)(b, 1) = value(random);
            N.BRCHG(b) = as_logical(random() % 2 == 0);
            N.CBRT(b) = value(random);
        }
        for (int32_t n = 1; n <= kNodes; ++n) N.VSOL(n) = value(random);
        BUILD_BRANCH_PLAN(1);
    }

    // The injections of the branches with a source or an injected current.
    static std::vector<double> injections(double reached, bool partial, bool opening, bool resolving) {
        NetworkTables& N = NET;
        std::vector<double> cinj(kNodes + 1, 0.0);
        for (int32_t b = 1; b <= kBranches; ++b) {
            if (!is_true(N.DEFRDBR(b, 1)) && !is_true(N.SOURCE(b, 1))) continue;
            double v = 0.0;
            if (is_true(N.DEFRDBR(b, 1))) v = INTVAL1(b, 1, resolving, partial, opening, reached);
            if (is_true(N.SOURCE(b, 1)))
                v = v + N.GEQ(b, 1) * INTVAL2(b, 1, resolving, voltage_source_branch(b, 1), partial, true, opening,
                                              reached);
            const int32_t i = N.IET(b, 1), j = N.IEF(b, 1);
            if (i != 0) cinj[static_cast<size_t>(i)] += v;
            if (j != 0) cinj[static_cast<size_t>(j)] -= v;
        }
        return cinj;
    }

    // The rule for one branch that is neither ideal nor an arrester.
    static void one_branch(int32_t b, double reached, double fraction, bool detect, bool partial, bool opening,
                           bool resolving) {
        NetworkTables& N = NET;
        const auto v = [](int32_t k) { return k == 0 ? 0.0 : NET.VSOL(k); };
        double e = 0.0;
        if (is_true(N.SOURCE(b, 1))) {
            const bool vs = voltage_source_branch(b, 1);
            if (vs && is_true(N.SSEXTRAP(1)) && !opening && !resolving)
                N.EBRD(b, 1) = partial ? N.EBRD(b, 1) + fraction * (N.EBR(b, 1) - N.EBRD(b, 1)) : N.EBR(b, 1);
            e = INTVAL2(b, 1, resolving, vs, partial, false, opening, reached);
        }
        const double vb = v(N.IEF(b, 1)) - v(N.IET(b, 1)) + e;
        const double i = N.GEQ(b, 1) * vb + INTVAL1(b, 1, resolving, partial, opening, reached);
        if (detect)
            N.CBRT(b) = i;
        else
            N.CBR(b, 1) = partial ? N.CBR(b, 1) + fraction * (i - N.CBR(b, 1)) : i;
        if (is_true(N.DEFRDBR(b, 1))) return;
        if (!resolving) N.CCBR(b, 1) = N.CCBRD(b, 1) + fraction * (N.CCBR(b, 1) - N.CCBRD(b, 1));
        // Both part voltages from the histories of the span just solved.
        const double l = N.CCL(b, 1), c = N.CCC(b, 1);
        if (is_true(N.INDUCTOR(b, 1))) {
            const double vl = c * N.RCL(b, 1) + N.RLG(b, 1) * vb - l * N.RSC(b, 1);
            N.V12L(b, 1) = partial ? N.V12L(b, 1) + fraction * (vl - N.V12L(b, 1)) : vl;
            if (!resolving) N.CCL(b, 1) = N.CCLD(b, 1) + fraction * (l - N.CCLD(b, 1));
        }
        if (is_true(N.CAPACITR(b, 1))) {
            const double vc = l * N.RCL(b, 1) + N.RCG(b, 1) * vb - c * N.RSL(b, 1);
            N.V20L(b, 1) = partial ? N.V20L(b, 1) + fraction * (vc - N.V20L(b, 1)) : vc;
            if (!resolving) N.CCC(b, 1) = N.CCCD(b, 1) + fraction * (c - N.CCCD(b, 1));
        }
    }
};

TEST_F(PassResults, EveryClassFollowsTheRuleForOneBranch) {
    const Columns start = Columns::taken();
    for (int mode = 0; mode < 64; ++mode) {
        const bool partial = mode & 1, resolving = mode & 2, opening = mode & 4, closing = mode & 8;
        const bool detecting = mode & 16, extrapolate = mode & 32;
        const double reached = 0.3125, fraction = partial ? 0.4375 : 1.0;
        NET.SSDETCHAT(1) = as_logical(detecting);
        NET.SSEXTRAP(1) = as_logical(extrapolate);
        NET.SSCHATTER(1) = LFALSE;
        start.put();
        INCALCVI(1, reached, fraction, closing, partial, opening, resolving);
        if (closing) FINISHUP(1);
        const Columns solved = Columns::taken();
        start.put();
        for (int32_t b = 1; b <= kBranches; ++b)
            one_branch(b, reached, fraction, closing && detecting, partial, opening, resolving);
        // The close of the step: present values become the previous ones.
        for (int32_t b = 1; closing && b <= kBranches; ++b) {
            NetworkTables& N = NET;
            if (!(voltage_source_branch(b, 1) && extrapolate)) N.EBRD(b, 1) = N.EBR(b, 1);
            N.CCBRD(b, 1) = N.CCBR(b, 1);
        }
        const Columns rule = Columns::taken();
        // Detecting, the counters then move CBR on from CBRT.
        for (size_t k = 0; k < rule.v.size(); ++k) {
            if (k == 0 && closing && detecting) continue;
            for (int32_t b = 1; b <= kBranches; ++b) {
                const size_t i = static_cast<size_t>(b - 1);
                EXPECT_EQ(bits(solved.v[k][i]), bits(rule.v[k][i]))
                    << (k < Columns::all().size() ? Columns::name(k) : "CBRT") << " of branch " << b << ", mode "
                    << mode;
            }
        }
        if (HasFailure()) return;
    }
}

TEST_F(PassResults, InjectionsFollowTheRuleForOneBranch) {
    const Columns start = Columns::taken();
    for (int mode = 0; mode < 16; ++mode) {
        const bool partial = mode & 1, resolving = mode & 2, opening = mode & 4, extrapolate = mode & 8;
        const double reached = 0.3125;
        NET.SSEXTRAP(1) = as_logical(extrapolate);
        NET.TIME_SOL = 1e-3;
        start.put();
        INTERPA(1, reached, partial, resolving, opening);
        std::vector<double> solved;
        for (int32_t k = 0; k <= kNodes; ++k) solved.push_back(k == 0 ? 0.0 : NET.CINJ(k));
        const Columns after = Columns::taken();
        start.put();
        const std::vector<double> rule = injections(reached, partial, opening, resolving);
        for (int32_t k = 1; k <= kNodes; ++k)
            EXPECT_EQ(bits(solved[static_cast<size_t>(k)]), bits(rule[static_cast<size_t>(k)]))
                << "node " << k << ", mode " << mode;
        // A voltage source evaluated again leaves the same EMF.
        EXPECT_EQ(bits(after.v[9][12]), bits(NET.EBR(13, 1))) << "mode " << mode;
        if (HasFailure()) return;
    }
}

}  // namespace
