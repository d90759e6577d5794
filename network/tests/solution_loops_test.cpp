// The column loops give the same bits in their plain and vector forms: a
// copy that leaves equal blocks alone, and the node voltages taken with
// their chatter counters, against the element-by-element rule.
#include "network/solution_loops.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "network/chatter.h"

namespace {

uint64_t bits(double x) {
    uint64_t b;
    std::memcpy(&b, &x, sizeof b);
    return b;
}

class SolutionLoops : public testing::TestWithParam<bool> {
protected:
    void SetUp() override { use_vector_forms(GetParam()); }
    void TearDown() override { use_vector_forms(true); }
};

// Every length around the block size, with the differences a value
// comparison would miss: signed zeros and NaN payloads.
TEST_P(SolutionLoops, CopyChangedCopiesEveryBit) {
    const double nan1 = std::numeric_limits<double>::quiet_NaN(), nan2 = -nan1;
    const double values[] = {0.0, -0.0, 1.0, nan1, nan2, 1e-300, -2.5};
    for (int64_t n = 0; n <= 27; ++n)
        for (int64_t at = 0; at < n; ++at) {
            std::vector<double> src(static_cast<size_t>(n)), dst(static_cast<size_t>(n));
            for (int64_t k = 0; k < n; ++k) src[k] = dst[k] = values[k % 7];
            src[at] = values[(at + 1 + n) % 7];
            dst.push_back(42.0);  // beyond the copy
            copy_changed(src.data(), dst.data(), n);
            for (int64_t k = 0; k < n; ++k) ASSERT_EQ(bits(dst[k]), bits(src[k])) << n << " " << at << " " << k;
            ASSERT_EQ(dst[n], 42.0);
        }
}

// Every counter from -7 to 7 with every pair of a value before and after
// among signs, steps and special values.
struct CounterCases {
    std::vector<double> before, after;
    std::vector<int32_t> counters;
    CounterCases() {
        const double inf = std::numeric_limits<double>::infinity(), nan = std::numeric_limits<double>::quiet_NaN();
        const double values[] = {0.0, -0.0, 0.5, 1.0, -1.0, 1.5, inf, -inf, nan};
        for (int32_t c = -7; c <= 7; ++c)
            for (double x : values)
                for (double y : values) {
                    counters.push_back(c);
                    before.push_back(x);
                    after.push_back(y);
                }
    }
};

TEST_P(SolutionLoops, CountedNodesFollowTheCounterRule) {
    const CounterCases cases;
    const std::vector<double>& before = cases.before;
    const std::vector<double>& after = cases.after;
    const std::vector<int32_t>& counters = cases.counters;
    for (const double level : {0.0, 0.25, 0.5}) {
        std::vector<double> vnode = before, x(after.size(), -1.0);
        std::vector<int32_t> counter = counters;
        const bool found = take_counted_nodes(static_cast<int64_t>(after.size()), after.data(), vnode.data(), x.data(),
                                              counter.data(), level);
        bool any = false;
        for (size_t k = 0; k < after.size(); ++k) {
            const int32_t want = CHATTER_NEXT(counters[k], before[k], after[k], level);
            ASSERT_EQ(counter[k], want) << k << " level " << level;
            any |= CHATTER_AT(want);
            ASSERT_EQ(bits(vnode[k]), bits(after[k]));
            ASSERT_EQ(bits(x[k]), bits(after[k]));
        }
        EXPECT_EQ(found, any);
    }
    // No counter at six: nothing found.
    double v = 1.0, node = 0.0, x = 0.0;
    int32_t c = 1;
    EXPECT_FALSE(take_counted_nodes(1, &v, &node, &x, &c, 0.1));
    EXPECT_EQ(c, 1);
}

// The counters alone, over every sign, step and special value, and
// lengths that end inside a block.
TEST_P(SolutionLoops, ChatterCountersFollowTheCounterRule) {
    const CounterCases cases;
    const std::vector<double>& before = cases.before;
    const std::vector<double>& after = cases.after;
    const std::vector<int32_t>& counters = cases.counters;
    for (const double level : {0.0, 0.25, 0.5})
        for (const size_t n : {counters.size(), counters.size() - 3, size_t{5}}) {
            std::vector<int32_t> counter = counters;
            counter.push_back(99);  // beyond the count
            const bool found = count_chatter(static_cast<int64_t>(n), before.data(), after.data(), counter.data(), level);
            bool any = false;
            for (size_t k = 0; k < n; ++k) {
                const int32_t want = CHATTER_NEXT(counters[k], before[k], after[k], level);
                ASSERT_EQ(counter[k], want) << k << " level " << level;
                any |= CHATTER_AT(want);
            }
            for (size_t k = n; k < counters.size(); ++k) ASSERT_EQ(counter[k], counters[k]);
            EXPECT_EQ(counter.back(), 99);
            EXPECT_EQ(found, any) << n;
        }
}

// A detecting pass's currents taken: every counter moves, ideal branches
// keep their current, the others take the new one whole or at the fraction.
TEST_P(SolutionLoops, CountedBranchesTakeTheirCurrents) {
    const double values[] = {0.0, -0.0, 0.5, 1.0, -1.0, 3.0, std::numeric_limits<double>::quiet_NaN()};
    std::vector<double> before, now;
    std::vector<int32_t> counters;
    std::vector<uint8_t> kinds;
    for (int32_t c = -6; c <= 6; ++c)
        for (double x : values)
            for (double y : values) {
                counters.push_back(c);
                before.push_back(x);
                now.push_back(y);
                kinds.push_back(static_cast<uint8_t>(counters.size() % 3 == 0 ? 2 : counters.size() % 5));
            }
    for (const bool partial : {false, true}) {
        std::vector<double> cbr = before;
        std::vector<int32_t> counter = counters;
        const double fraction = 0.375, level = 0.25;
        const bool found = take_counted_branches(static_cast<int64_t>(now.size()), now.data(), cbr.data(),
                                                 counter.data(), kinds.data(), 2, partial, fraction, level);
        bool any = false;
        for (size_t k = 0; k < now.size(); ++k) {
            const int32_t want = CHATTER_NEXT(counters[k], before[k], now[k], level);
            ASSERT_EQ(counter[k], want) << k;
            any |= CHATTER_AT(want);
            const double taken = partial ? before[k] + fraction * (now[k] - before[k]) : now[k];
            ASSERT_EQ(bits(cbr[k]), bits((kinds[k] & 2) ? before[k] : taken)) << k << " partial " << partial;
        }
        EXPECT_EQ(found, any);
    }
}

// The node part of the right-hand side of each kind of pass, and the
// history injections started again.
TEST_P(SolutionLoops, RightHandSideAndHistoryRestart) {
    const int64_t n = 13;
    std::vector<double> tl(n), tld(n), hist(n);
    for (int64_t k = 0; k < n; ++k) {
        tl[k] = std::sin(1.0 + k);
        tld[k] = k % 4 == 0 ? -0.0 : std::cos(2.0 * k);
        hist[k] = k % 3 == 0 ? 0.0 : 1.0 / (k + 0.5);
    }
    const double reached = 0.3125;
    for (const auto& [resolving, opening] : {std::pair{false, false}, {true, false}, {false, true}, {true, true}}) {
        std::vector<double> cinj(n + 1, 7.0);
        rhs_nodes(n, tl.data(), tld.data(), hist.data(), cinj.data(), reached, resolving, opening);
        for (int64_t k = 0; k < n; ++k) {
            const double t = opening     ? tld[k]
                             : resolving ? tld[k] + reached * (tl[k] - tld[k])
                                         : tl[k] + reached * (tl[k] - tld[k]);
            ASSERT_EQ(bits(cinj[k]), bits(t - hist[k])) << k << " " << resolving << opening;
        }
        EXPECT_EQ(cinj[n], 7.0);
    }
    // A partial pass: the nodes move towards the solution, the histories
    // are drawn back towards their values at the start of the span.
    std::vector<double> vnode(n + 1, 3.0), x(n + 1, 4.0), moved = hist, start = tld;
    for (int64_t k = 0; k < n; ++k) vnode[k] = tld[k];
    move_nodes(n, tl.data(), vnode.data(), x.data(), reached);
    draw_back(n, moved.data(), start.data(), reached);
    for (int64_t k = 0; k < n; ++k) {
        ASSERT_EQ(bits(x[k]), bits(tl[k]));
        ASSERT_EQ(bits(vnode[k]), bits(tld[k] + reached * (tl[k] - tld[k])));
        ASSERT_EQ(bits(moved[k]), bits(start[k] + reached * (hist[k] - start[k])));
    }
    EXPECT_EQ(std::make_pair(vnode[n], x[n]), std::make_pair(3.0, 4.0));

    std::vector<double> histd(n + 1, 5.0), before = hist;
    restart_history(n, hist.data(), histd.data());
    for (int64_t k = 0; k < n; ++k) {
        ASSERT_EQ(bits(histd[k]), bits(before[k]));
        ASSERT_EQ(bits(hist[k]), bits(0.0));
    }
    EXPECT_EQ(histd[n], 5.0);
}

INSTANTIATE_TEST_SUITE_P(Forms, SolutionLoops, testing::Bool(),
                         [](const testing::TestParamInfo<bool>& p) { return p.param ? "Vector" : "Plain"; });

}  // namespace
