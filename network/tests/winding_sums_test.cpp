// A transformer's winding sums two windings at a time against the sums of
// one winding, term by term left to right, to the bit: every winding count
// from one to seven, a plane wider than the windings, signed zeros.
#include "network/winding_sums.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

namespace {

uint64_t bits(double x) {
    uint64_t b;
    std::memcpy(&b, &x, sizeof b);
    return b;
}

TEST(WindingSums, TwoAtATimeGiveTheSumsOfOneWinding) {
    std::mt19937 random(5);
    std::uniform_real_distribution<double> value(-3.0, 3.0);
    const auto pick = [&]() { return random() % 6 == 0 ? (random() % 2 ? 0.0 : -0.0) : value(random); };
    const int64_t w = 8;
    for (int32_t n = 1; n <= 7; ++n)
        for (int round = 0; round < 20; ++round) {
            std::vector<double> g(w * w), h(w * w), x(w), y(w), start(w);
            for (auto* v : {&g, &h, &x, &y, &start})
                for (double& e : *v) e = pick();
            std::vector<double> sums(w, 7.0), pairs(w, 7.0);
            winding_sums(n, w, g.data(), x.data(), start.data(), sums.data());
            winding_sums(n, w, g.data(), x.data(), h.data(), y.data(), pairs.data());
            for (int32_t j = 0; j < n; ++j) {
                double s = start[j], t = 0.0;
                for (int32_t k = 0; k < n; ++k) {
                    s = s + g[j + w * k] * x[k];
                    t = t + g[j + w * k] * x[k];
                    t = t + h[j + w * k] * y[k];
                }
                EXPECT_EQ(bits(sums[j]), bits(s)) << "n " << n << " winding " << j;
                EXPECT_EQ(bits(pairs[j]), bits(t)) << "n " << n << " winding " << j;
            }
            for (int32_t j = n; j < w; ++j) {
                EXPECT_EQ(sums[j], 7.0) << "nothing written beyond the windings";
                EXPECT_EQ(pairs[j], 7.0);
            }
        }
}

}  // namespace
