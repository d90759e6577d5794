// Fitted functions turned into residues and a constant term.
#include <gtest/gtest.h>

#include <vector>

#include "engine/engine_reset.h"
#include "lines/modal_setup.h"
#include "platform/tests/support/capture.h"

namespace {

TEST(Partfrac, ResiduesKeepTheFunction) {
    // (1 + s/2) / ((1 + s)(1 + s/3)) = 1.5 (s + 2) / ((s + 1)(s + 3)).
    std::vector<double> r;
    double k = 1.0, d = -1.0;
    PARTFRAC({2.0}, {1.0, 3.0}, r, k, d, 1);
    EXPECT_DOUBLE_EQ(k, 1.5);
    EXPECT_EQ(r, std::vector<double>({0.75, 0.75}));
    EXPECT_EQ(d, 0.0);
    // As many zeros as poles: the constant keeps the value at s = 0.
    k = 2.0;
    PARTFRAC({4.0}, {1.0}, r, k, d, 1);
    EXPECT_DOUBLE_EQ(r[0], 0.5 * (4.0 - 1.0));
    EXPECT_DOUBLE_EQ(d + r[0] / 1.0, 2.0);
}

TEST(Partfrac, FastZerosAndPolesAreCut) {
    std::vector<double> z{5.0, 2e15, 7.0}, p{1e16, 3.0};
    PARTFRAC_CUT(z, p, false);
    EXPECT_TRUE(z.empty());  // no poles left, so no zeros
    EXPECT_TRUE(p.empty());
    z = {5.0, 6.0};
    p = {1.0, 2.0, 1e15};
    PARTFRAC_CUT(z, p, true);
    EXPECT_EQ(z, std::vector<double>({5.0, 6.0}));
    EXPECT_EQ(p, std::vector<double>({1.0, 2.0}));
}

TEST(Partfrac, EqualPolesStopTheRun) {
    reset_all_engine_state();
    std::vector<double> r;
    double k = 1.0, d = 0.0;
    const Captured c = capture([&] { PARTFRAC({}, {2.0, 2.0}, r, k, d, 1); });
    EXPECT_TRUE(c.aborted);
    EXPECT_TRUE(contains(c.out, "Two equal poles")) << c.out;
}

}  // namespace
