// The series and sourced branches' results in every width of the loop (one
// branch, four, eight) against the rule for one branch, to the bit: every kind of
// branch mixed, every flag of a pass, values with signed zeros and NaN,
// counts that leave the wide loops a remainder, node numbers that the
// widest loop reads as windows of neighbouring nodes and ones it gathers.
#include "network/series_results.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "network/branch_lanes.h"
#include "network/chatter.h"
#include "network/pass_values.h"
#include "network/solution_loops.h"

namespace {

uint64_t bits(double x) {
    uint64_t b;
    std::memcpy(&b, &x, sizeof b);
    return b;
}

// The columns of nb branches and the solution of n nodes.
struct Columns {
    int64_t nb = 0;
    std::vector<double> x;
    std::vector<Logical> changed;
    std::vector<int32_t> from, to, counter;
    std::vector<std::vector<double>> d;  // the double columns, in the order of names below
    enum { GEQ, CBR, CBRT, CCBR, CCBRD, CCL, CCLD, CCC, CCCD, V12, V20, RCL, RLG, RSC, RCG, RSL, GEQD, EBR, EBRD, COUNT };

    PassColumns view(double level, bool extrapolate, int64_t readable = 0, double reached = 0.0) {
        const auto c = [this](int k) { return Col<double>{d[static_cast<size_t>(k)].data()}; };
        return {x.data(), {changed.data()}, {from.data()}, {to.data()}, {counter.data()},
                c(GEQ),   c(CBR),   c(CBRT),  c(CCBR), c(CCBRD), c(CCL),  c(CCLD), c(CCC),  c(CCCD), c(V12),
                c(V20),   c(RCL),   c(RLG),   c(RSC),  c(RCG),   c(RSL),  c(GEQD), c(EBR),  c(EBRD),
                level,    extrapolate, readable, reached};
    }
};

// What the pass makes of branch k (0-based) of a series or sourced kind,
// as one branch is taken: a sourced branch's EMF as the pass sees it, the
// current, the part voltages and histories drawn to the fraction, the
// counter when detecting, the step's close copy of the EMF (that of the
// conductance is every branch's).
void one_branch(Columns& c, int k, uint8_t kind, int flags, double fraction, double level, bool extrapolate,
                double reached, bool& found) {
    const bool partial = flags & PF_PARTIAL, resolving = flags & PF_RESOLVING, opening = flags & PF_OPENING;
    const bool detect = flags & PF_DETECT, closing = (flags & PF_CLOSING) && !resolving && !opening;
    auto& d = c.d;
    const auto at = [&](int col) -> double& { return d[static_cast<size_t>(col)][static_cast<size_t>(k)]; };
    double vb = c.x[static_cast<size_t>(c.from[k])] - c.x[static_cast<size_t>(c.to[k])];
    if (kind & BK_SOURCE) {
        const double now = at(Columns::EBR);
        double emf;
        if (!opening && extrapolate && (kind & BK_VSOURCE)) {
            if (resolving) {
                emf = at(Columns::EBRD);
            } else {
                at(Columns::EBRD) = partial ? at(Columns::EBRD) + fraction * (now - at(Columns::EBRD)) : now;
                emf = now;
            }
        } else {
            emf = value_at_pass(now, at(Columns::EBRD), opening && is_true(c.changed[k]), reached, opening, resolving,
                                partial);
        }
        vb = vb + emf;
    }
    const double held = at(Columns::CCBR), before = at(Columns::CCBRD);
    const double h = opening ? (is_true(c.changed[k]) ? held : before) : held;
    const double i = at(Columns::GEQ) * vb + h;
    if (detect) {
        at(Columns::CBRT) = i;
        const double was = at(Columns::CBR);
        const int32_t next = CHATTER_NEXT(c.counter[k], was, i, level);
        c.counter[k] = next;
        found |= CHATTER_AT(next);
        at(Columns::CBR) = partial ? was + fraction * (i - was) : i;
    } else {
        at(Columns::CBR) = partial ? at(Columns::CBR) + fraction * (i - at(Columns::CBR)) : i;
    }
    if (!resolving) {
        const double now = before + fraction * (held - before);
        at(Columns::CCBR) = now;
        if (closing) at(Columns::CCBRD) = now;
    }
    const double l_hist = at(Columns::CCL), c_hist = at(Columns::CCC), rcl = at(Columns::RCL);
    if (kind & BK_INDUCTOR) {
        const double vl = c_hist * rcl + at(Columns::RLG) * vb - l_hist * at(Columns::RSC);
        at(Columns::V12) = partial ? at(Columns::V12) + fraction * (vl - at(Columns::V12)) : vl;
        if (!resolving) at(Columns::CCL) = at(Columns::CCLD) + fraction * (l_hist - at(Columns::CCLD));
    }
    if (kind & BK_CAPACITOR) {
        const double vc = l_hist * rcl + at(Columns::RCG) * vb - c_hist * at(Columns::RSL);
        at(Columns::V20) = partial ? at(Columns::V20) + fraction * (vc - at(Columns::V20)) : vc;
        if (!resolving) at(Columns::CCC) = at(Columns::CCCD) + fraction * (c_hist - at(Columns::CCCD));
    }
    if (closing && !(extrapolate && (kind & BK_VSOURCE))) at(Columns::EBRD) = at(Columns::EBR);
}

class SeriesResults : public testing::TestWithParam<int> {
protected:
    void SetUp() override {
        use_vector_width(GetParam());
        if (vector_width_in_use() != GetParam()) GTEST_SKIP() << "the processor lacks this width";
    }
    void TearDown() override { use_vector_forms(true); }
};

TEST_P(SeriesResults, EveryWidthFollowsTheRuleForOneBranch) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double special[] = {0.0, -0.0, 1.0, -1.0, 0.5, 3.0, nan};
    const uint8_t kinds[] = {0,          BK_INDUCTOR, BK_CAPACITOR, BK_INDUCTOR | BK_CAPACITOR,
                             BK_SOURCE,  BK_IDEAL,    BK_INJECTED,  BK_ARRESTER | BK_CAPACITOR,
                             BK_VSOURCE, BK_VSOURCE | BK_CAPACITOR};
    std::mt19937 random(11);
    std::uniform_real_distribution<double> value(-2.0, 2.0);
    const auto pick = [&]() { return random() % 5 == 0 ? special[random() % 7] : value(random); };
    const int flag_sets[] = {0,  PF_PARTIAL, PF_RESOLVING, PF_RESOLVING | PF_PARTIAL, PF_OPENING | PF_RESOLVING,
                             PF_CLOSING, PF_CLOSING | PF_PARTIAL, PF_CLOSING | PF_DETECT,
                             PF_CLOSING | PF_DETECT | PF_PARTIAL, PF_DETECT | PF_RESOLVING};
    for (int round = 0; round < 180; ++round) {
        // From round 40 on, the solution has eight entries to spare and the
        // walk may read neighbouring nodes as windows: a quarter of the
        // rounds have ladder-like nodes that fit them, the rest mostly not.
        // From round 80 on, one branch in eight at most has an inductor or
        // a capacitor, so that most lanes of a walk that reads them have none.
        // From round 120 on, half the branches carry a source EMF, a third
        // of those of a voltage source, and the pass starts part way.
        const bool spare = round >= 40, ladder = round % 4 == 3, sparse = round >= 80 && round < 120;
        const bool sourced = round >= 120;
        const int n = ladder ? 40 : 6 + static_cast<int>(random() % 20);
        const int64_t nb = 1 + static_cast<int64_t>(random() % 27);
        Columns c;
        c.nb = nb;
        c.x.resize(static_cast<size_t>(n) + (spare ? 9 : 1));
        c.x[0] = 0.0;
        for (size_t k = 1; k < c.x.size(); ++k) c.x[k] = pick();
        c.d.assign(Columns::COUNT, std::vector<double>(static_cast<size_t>(nb)));
        for (auto& col : c.d)
            for (double& v : col) v = pick();
        BranchPlan plan;
        plan.nb = static_cast<int32_t>(nb);
        plan.kind.assign(static_cast<size_t>(nb) + 1, 0);
        plan.lane.assign(static_cast<size_t>(nb) + 5, 0);
        // The walk tests every lane for sourced branches in half the rounds
        // and takes their lanes again after the series branches in the rest.
        plan.by_lane.fill(round % 4 < 2);
        // Some rounds have only one class, so that every narrowed loop runs.
        const int only = static_cast<int>(random() % 6);
        for (int64_t k = 0; k < nb; ++k) {
            uint8_t kind = kinds[random() % 10];
            if (only < 4) kind = static_cast<uint8_t>(only << 3);
            if (sparse && k % 8 != 5) kind &= static_cast<uint8_t>(~(BK_INDUCTOR | BK_CAPACITOR));
            // Every third of those rounds has few, so that the walk takes
            // their lanes after the series branches rather than testing each.
            if (sourced && random() % (round % 3 == 0 ? 12 : 2) == 0)
                kind |= static_cast<uint8_t>(BK_SOURCE | (random() % 3 == 0 ? BK_VSOURCE : 0));
            plan.kind[static_cast<size_t>(k) + 1] = kind;
            plan.lane[static_cast<size_t>(k) + 1] = lane_of(kind);
            if (lane_of(kind) & (1 << LB_SERIES | 1 << LB_SOURCED))
                plan.series_kinds |= kind & (BK_INDUCTOR | BK_CAPACITOR);
            if (lane_of(kind) & (1 << LB_SOURCED)) plan.walked_sourced.push_back(static_cast<int32_t>(k) + 1);
            if (ladder) {
                const int32_t node = std::min<int32_t>(n, 1 + static_cast<int32_t>(k / 2));
                c.from.push_back(node);
                c.to.push_back(k % 2 == 0 ? 0 : std::min<int32_t>(n, node + 1));
            } else {
                c.from.push_back(static_cast<int32_t>(random() % (n + 1)));
                c.to.push_back(static_cast<int32_t>(random() % (n + 1)));
            }
            c.counter.push_back(static_cast<int32_t>(random() % 15) - 7);
            c.changed.push_back(random() % 2 ? LTRUE : LFALSE);
        }
        const int flags = flag_sets[round % 10];
        const double fraction = round % 3 == 0 ? 1.0 : value(random), level = 0.25 * (round % 4);
        const bool extrapolate = round % 2 == 1;
        const double reached = sourced ? value(random) : 0.0;

        Columns want = c;
        bool want_found = false;
        const bool closing = (flags & PF_CLOSING) && !(flags & (PF_RESOLVING | PF_OPENING));
        for (int64_t k = 0; k < nb; ++k) {
            const uint8_t kind = plan.kind[static_cast<size_t>(k) + 1];
            if (closing) want.d[Columns::GEQD][static_cast<size_t>(k)] = want.d[Columns::GEQ][static_cast<size_t>(k)];
            if (!(lane_of(kind) & (1 << LB_SERIES | 1 << LB_SOURCED))) continue;
            one_branch(want, static_cast<int>(k), kind, flags, fraction, level, extrapolate, reached, want_found);
        }
        const int64_t readable = spare ? static_cast<int64_t>(c.x.size()) : 0;
        const bool found = SERIES_RESULTS(plan, nb, c.view(level, extrapolate, readable, reached), flags, fraction);

        for (int col = 0; col < Columns::COUNT; ++col)
            for (int64_t k = 0; k < nb; ++k)
                ASSERT_EQ(bits(c.d[static_cast<size_t>(col)][static_cast<size_t>(k)]),
                          bits(want.d[static_cast<size_t>(col)][static_cast<size_t>(k)]))
                    << "round " << round << " column " << col << " branch " << k << " kind "
                    << int(plan.kind[static_cast<size_t>(k) + 1]) << " flags " << flags;
        EXPECT_EQ(c.counter, want.counter) << "round " << round;
        if (flags & PF_DETECT) {
            EXPECT_EQ(found, want_found) << "round " << round;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Widths, SeriesResults, testing::Values(0, 1, 2), [](const testing::TestParamInfo<int>& p) {
    return std::string(p.param == 0 ? "OneBranch" : p.param == 1 ? "FourBranches" : "EightBranches");
});

}  // namespace
