// The switches' step set-up: the vector form against the plain one, word
// for word, and the plain one against the values written out by hand.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "network/solution_loops.h"
#include "network/switch_set_up.h"

namespace {

struct Columns {
    std::vector<int32_t> list, code, count;
    std::vector<Logical> pending, brchg;
    std::vector<double> instant, geq, geqd;
    std::vector<int32_t> due;

    SwitchSetUp view() {
        return {{list.data()},   {code.data()}, {count.data()}, {pending.data()},
                {instant.data()}, {geq.data()},  {geqd.data()},  {brchg.data()}};
    }
};

// ns switches among 3 ns branches, in a shuffled order, with every kind
// that matters and conductances that move, stay, or are not numbers.
Columns make(int32_t ns, uint32_t seed) {
    std::mt19937 rng(seed);
    const int32_t nb = 3 * ns + 1;
    Columns c;
    c.code.assign(nb, 0);
    c.count.assign(nb, -7);
    c.pending.assign(nb, 3);
    c.brchg.assign(nb, 3);
    c.instant.assign(nb, 0.25);
    c.geq.assign(nb, 0.0);
    c.geqd.assign(nb, 0.0);
    c.due.assign(ns, -9);
    std::vector<int32_t> all(nb);
    for (int32_t b = 0; b < nb; ++b) all[b] = b + 1;
    std::shuffle(all.begin(), all.end(), rng);
    c.list.assign(all.begin(), all.begin() + ns);
    const int32_t kinds[] = {0, 6, -6, 5, -5, 15, -15, 1, -13, 8, 3, 40, -40, 2};
    const double nan = std::numeric_limits<double>::quiet_NaN();
    for (const int32_t b : c.list) {
        c.code[b - 1] = kinds[rng() % std::size(kinds)];
        const double g = std::ldexp(static_cast<double>(rng() % 1000) + 1.0, static_cast<int>(rng() % 40) - 20);
        const double moves[] = {0.0, g * 1e-11, g * 2e-10, -g * 1e-10, g, nan};
        c.geqd[b - 1] = rng() % 7 == 0 ? (rng() % 2 ? 0.0 : nan) : g;
        c.geq[b - 1] = c.geqd[b - 1] + moves[rng() % std::size(moves)];
    }
    return c;
}

struct Result {
    bool any;
    int64_t listed;
    Columns c;
};

Result run(Columns c, int32_t ns, bool interpolate, bool vectors) {
    use_vector_forms(vectors);
    int32_t* due = c.due.data();
    const bool any = set_up_switches(c.view(), ns, interpolate, due);
    use_vector_forms(true);
    return {any, due - c.due.data(), c};
}

void expect_same_bits(const std::vector<double>& a, const std::vector<double>& b) {
    ASSERT_EQ(a.size(), b.size());
    EXPECT_EQ(std::memcmp(a.data(), b.data(), a.size() * sizeof(double)), 0);
}

TEST(SwitchSetUp, VectorFormWritesWhatThePlainFormWrites) {
    if (!(use_vector_forms(true), vector_forms_in_use())) GTEST_SKIP() << "no AVX2";
    for (const int32_t ns : {0, 1, 3, 4, 5, 8, 51, 103})
        for (const bool interpolate : {false, true})
            for (uint32_t seed = 1; seed <= 4; ++seed) {
                SCOPED_TRACE(testing::Message() << "ns " << ns << " interpolate " << interpolate << " seed " << seed);
                const Columns c = make(ns, seed);
                const Result plain = run(c, ns, interpolate, false), vec = run(c, ns, interpolate, true);
                EXPECT_EQ(plain.any, vec.any);
                ASSERT_EQ(plain.listed, vec.listed);
                EXPECT_EQ(std::vector<int32_t>(plain.c.due.begin(), plain.c.due.begin() + plain.listed),
                          std::vector<int32_t>(vec.c.due.begin(), vec.c.due.begin() + vec.listed));
                EXPECT_EQ(plain.c.count, vec.c.count);
                EXPECT_EQ(plain.c.pending, vec.c.pending);
                EXPECT_EQ(plain.c.brchg, vec.c.brchg);
                expect_same_bits(plain.c.instant, vec.c.instant);
            }
}

TEST(SwitchSetUp, KindsAndChangesByHand) {
    // Switches 5, 1, 4, 2, 6 (branch 3 is none) with codes 0, 6, 5, -15, 8.
    for (const bool vectors : {false, true}) {
        SCOPED_TRACE(vectors ? "vector" : "plain");
        Columns c;
        c.list = {5, 1, 4, 2, 6};
        c.code = {6, -15, 77, 5, 0, 8};
        c.count.assign(6, -1);
        c.pending.assign(6, 3);
        c.brchg.assign(6, 3);
        c.instant.assign(6, 0.0);
        c.geqd = {1.0, 2.0, 9.0, 0.0, 4.0, 1e6};
        c.geq = {1.0 + 1e-11, 2.0 + 1e-9, 9.5, 0.0, 3.0, 1e6};
        c.due.assign(5, 0);
        const Result r = run(c, 5, true, vectors);
        EXPECT_TRUE(r.any);
        EXPECT_EQ(std::vector<int32_t>(r.c.due.begin(), r.c.due.begin() + r.listed), (std::vector<int32_t>{4, 2, 6}));
        EXPECT_EQ(r.c.count, (std::vector<int32_t>{10, 0, -1, 0, 10, 10}));
        EXPECT_EQ(r.c.pending, (std::vector<Logical>{LFALSE, LTRUE, 3, LTRUE, LFALSE, LTRUE}));
        EXPECT_EQ(r.c.brchg, (std::vector<Logical>{LFALSE, LTRUE, 3, LFALSE, LTRUE, LFALSE}));
        EXPECT_EQ(r.c.instant, (std::vector<double>{1.5, 1.5, 0.0, 1.5, 1.5, 1.5}));
        const Result quiet = run(c, 5, false, vectors);
        EXPECT_EQ(quiet.listed, 0);
        EXPECT_EQ(quiet.c.pending, (std::vector<Logical>{LFALSE, LFALSE, 3, LFALSE, LFALSE, LFALSE}));
    }
}

}  // namespace
