// The 1,000-node R-C ladder read from its map and run through the whole
// time step, to the last bit: every step's node voltages, branch currents
// and chatter state, and every 100th step the values a step leaves for the
// next one (histories, EMFs, conductances and their previous values), go
// into one SHA-256 digest, compared with the one kept in
// network/tests/data.
#include "network/solution_loops.h"
#include "network/tests/ladder_map.h"
#include "network/tests/solution_circuit.h"
#include "platform/tests/support/sha256.h"

namespace {

void add_column(Sha256& s, FArray2<double>& a, int32_t count) {
    for (int32_t k = 1; k <= count; ++k) s.add_value(a(k, 1));
}

void add_step(Sha256& s, bool whole) {
    NetworkTables& N = NET;
    const int32_t n = N.NBUSES(1), nb = N.NBRANCHES(1);
    add_column(s, N.VNODE, n);
    add_column(s, N.CBR, nb);
    for (int32_t k = 1; k <= n; ++k) s.add_value(N.CHATCNTV(k, 1));
    for (int32_t b = 1; b <= nb; ++b) s.add_value(N.CHATCNTI(b, 1));
    s.add_value(N.SSCHATTER(1));
    if (!whole) return;
    for (FArray2<double>* a : {&N.CHIST, &N.CHISTD, &N.TLINJ, &N.TLINJ_OLD, &N.GNOR, &N.GNORD, &N.CNOR, &N.CNORD})
        add_column(s, *a, n);
    for (FArray2<double>* a : {&N.CCBR, &N.CCBRD, &N.EBR, &N.EBRD, &N.GEQ, &N.GEQD, &N.CCL, &N.CCLD, &N.CCC, &N.CCCD,
                               &N.V12L, &N.V20L})
        add_column(s, *a, nb);
    s.add_value(N.MXINV(1));
    s.add_value(N.NTRIANG(1));
}

// The ladder's 1,500 steps against the kept digest.
class LadderDigestRun : public SolutionTest {
protected:
    void run_ladder_against_kept_digest() {
        use_scratch();
        write_ladder(scratch_->path, 1000, true);
        read_map("ladder.map");
        start();
        Sha256 digest;
        const int32_t steps = 1500;
        for (int32_t n = 0; n < steps; ++n) {
            ASSERT_TRUE(step()) << n;
            add_step(digest, n % 100 == 0 || n == steps - 1);
        }
        const auto want = read_digests(std::string(ZARIK_SOURCE_DIR) + "/network/tests/data/rc_ladder_1000.sha256");
        ASSERT_EQ(want.count("rc_ladder_1000"), 1u);
        EXPECT_EQ(digest.hex(), want.at("rc_ladder_1000"));
    }
};

// Both forms of the column loops give the kept digest.
class LadderDigest : public LadderDigestRun, public testing::WithParamInterface<bool> {
protected:
    void SetUp() override {
        LadderDigestRun::SetUp();
        use_vector_forms(GetParam());
    }
    void TearDown() override {
        use_vector_forms(true);
        LadderDigestRun::TearDown();
    }
};

TEST_P(LadderDigest, RcLadderOf1000NodesIsTheKeptOne) { run_ladder_against_kept_digest(); }

INSTANTIATE_TEST_SUITE_P(Forms, LadderDigest, testing::Bool(),
                         [](const testing::TestParamInfo<bool>& p) { return p.param ? "Vector" : "Plain"; });

// The vector form narrower than the widest the processor has gives it too.
class LadderDigestNarrower : public LadderDigestRun {
protected:
    void SetUp() override {
        LadderDigestRun::SetUp();
        use_vector_forms(true);
        const int widest = vector_width_in_use();
        if (widest < 2) GTEST_SKIP() << "the processor has no form wider than the narrowest vector one";
        use_vector_width(1);
    }
    void TearDown() override {
        use_vector_forms(true);
        LadderDigestRun::TearDown();
    }
};

TEST_F(LadderDigestNarrower, RcLadderOf1000NodesIsTheKeptOne) { run_ladder_against_kept_digest(); }

}  // namespace
