// The per-step line update on hand-filled tables: a lossless line between
// 100 V behind 100 ohms and a load, against the lattice diagram.
#include <cmath>
#include <string>
#include <vector>

#include "lines/tests/line_test_support.h"

namespace {

using namespace line_test;

struct Staircase {
    std::string name;
    Lossless line;
    double rload;
    // Levels of end 1 (from step 0, each 2 delays long) and of end 2 (from
    // step delay on, each 2 delays long); end 2 is 0 before.
    std::vector<double> end1, end2;
};

void PrintTo(const Staircase& s, std::ostream* os) { *os << s.name; }

class LosslessLine : public testing::TestWithParam<Staircase> {
protected:
    void SetUp() override { ASSERT_TRUE(allocate(two_node_case())); }
    void TearDown() override { reset_all_engine_state(); }
};

TEST_P(LosslessLine, FollowsTheLattice) {
    const Staircase& s = GetParam();
    fill_lossless(s.line, 1);
    const Circuit c{100.0, 100.0, s.rload};
    const double g = 1.0 / s.line.z;
    const int32_t d = s.line.delay;
    const int32_t steps = static_cast<int32_t>(2 * d * s.end1.size());
    for (int32_t k = 0; k < steps; ++k) {
        step(c, g, g);
        const double v1 = NET.VNODE(1, 1), v2 = NET.VNODE(2, 1);
        const double want1 = s.end1[static_cast<size_t>(k / (2 * d))];
        const double want2 = k < d ? 0.0 : s.end2[std::min(static_cast<size_t>((k - d) / (2 * d)), s.end2.size() - 1)];
        ASSERT_NEAR(v1, want1, 1e-12) << "end 1, step " << k;
        ASSERT_NEAR(v2, want2, 1e-12) << "end 2, step " << k;
        // The end currents flow from each node into the line.
        ASSERT_NEAR(LINE_TABLES.TLCUR(1, 1, 1), (100.0 - v1) / 100.0, 1e-12) << k;
        ASSERT_NEAR(LINE_TABLES.TLCUR(1, 2, 1), -v2 / s.rload, 1e-12) << k;
    }
}

TEST_P(LosslessLine, SettlesAtTheDivider) {
    const Staircase& s = GetParam();
    fill_lossless(s.line, 1);
    const double g = 1.0 / s.line.z;
    for (int k = 0; k < 200 * s.line.delay; ++k) step({100.0, 100.0, s.rload}, g, g);
    const double settled = 100.0 * s.rload / (100.0 + s.rload);
    EXPECT_NEAR(NET.VNODE(1, 1), settled, 1e-9);
    EXPECT_NEAR(NET.VNODE(2, 1), settled, 1e-9);
}

const std::vector<double> kEnd1{80, 96, 91.2, 92.64};
const std::vector<double> kEnd2{120, 84, 94.8, 91.56};

Lossless with_kind(int32_t kind, int32_t delay = 10) {
    Lossless l;
    l.kind = kind;
    l.delay = delay;
    return l;
}

INSTANTIATE_TEST_SUITE_P(
    Lines, LosslessLine,
    testing::Values(Staircase{"Bergeron", with_kind(tlrec::KIND_BERGERON), 1200.0, kEnd1, kEnd2},
                    Staircase{"FreDepWithoutPoles", with_kind(tlrec::KIND_FREDEP), 1200.0, kEnd1, kEnd2},
                    Staircase{"BergeronDelayOneStep", with_kind(tlrec::KIND_BERGERON, 1), 1200.0, kEnd1, kEnd2},
                    Staircase{"FreDepDelayOneStep", with_kind(tlrec::KIND_FREDEP, 1), 1200.0, kEnd1, kEnd2},
                    Staircase{"MatchedLoad", with_kind(tlrec::KIND_BERGERON), 400.0, {80, 80, 80}, {80}},
                    Staircase{"FreDepMatchedLoad", with_kind(tlrec::KIND_FREDEP), 400.0, {80, 80, 80}, {80}}),
    [](const testing::TestParamInfo<Staircase>& i) { return i.param.name; });

class LineStep : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(allocate(two_node_case())); }
    void TearDown() override { reset_all_engine_state(); }
};

TEST_F(LineStep, AFractionOfAStepWeighsTheOlderSample) {
    for (int32_t kind : {tlrec::KIND_BERGERON, tlrec::KIND_FREDEP}) {
        SetUp();
        Lossless l = with_kind(kind);
        l.frac = 0.6;
        fill_lossless(l, 1);
        std::vector<double> v2;
        for (int k = 0; k < 12; ++k) {
            step({}, 1.0 / 400, 1.0 / 400);
            v2.push_back(NET.VNODE(2, 1));
        }
        EXPECT_NEAR(v2[9], 0.0, 1e-12) << kind;
        EXPECT_NEAR(v2[10], 48.0, 1e-12) << kind;
        EXPECT_NEAR(v2[11], 120.0, 1e-12) << kind;
    }
}

TEST_F(LineStep, InfiniteLengthInjectsNothingButHasItsCurrents) {
    Lossless l;
    l.inflength = true;
    fill_lossless(l, 1);
    for (int k = 0; k < 25; ++k) {
        step({}, 1.0 / 400, 1.0 / 400);
        ASSERT_EQ(NET.TLINJ(1, 1), 0.0);
        ASSERT_EQ(NET.TLINJ(2, 1), 0.0);
    }
    EXPECT_NEAR(NET.VNODE(1, 1), 80.0, 1e-12);
    EXPECT_NEAR(LINE_TABLES.TLCUR(1, 1, 1), 0.2, 1e-15);
    EXPECT_EQ(LINE_TABLES.TLCUR(1, 2, 1), 0.0);
}

TEST_F(LineStep, TheFirstStepOfADataStartSetsThePreviousInjections) {
    fill_lossless(Lossless{}, 1);
    for (int k = 0; k < 10; ++k) step({}, 1.0 / 400, 1.0 / 400);
    NET.TLINJ_OLD(2, 1) = 7.0;
    TLSTEP();
    EXPECT_EQ(NET.TLINJ_OLD(2, 1), 7.0);  // the network's copy, not the line's
    RUN_FLAGS.FIRST_STEP_DATA = LTRUE;
    TLSTEP();
    EXPECT_NE(NET.TLINJ(2, 1), 0.0);
    EXPECT_EQ(NET.TLINJ_OLD(2, 1), NET.TLINJ(2, 1));
    EXPECT_EQ(NET.TLINJ_OLD(1, 1), NET.TLINJ(1, 1));
}

TEST_F(LineStep, WithoutLinesTheInjectionsStayZero) {
    NET.TLINJ.fill(3.0);
    NET.VNODE(1, 1) = 50.0;
    TLSTEP();
    TLPOST();
    for (int k = 1; k <= 3; ++k) EXPECT_EQ(NET.TLINJ(k, 1), 0.0);
    EXPECT_EQ(LINE_TABLES.TLCUR(1, 1, 1), 0.0);  // a row no entry filled is passed over
}

TEST_F(LineStep, LocalLinesCopyTheControlSignalsOfBothEnds) {
    LineTables& L = LINE_TABLES;
    fill_lossless(Lossless{}, 1);
    // End 1 sends 2 values from 1 to end 2's run at 2; end 2 sends 1 value from 4 to end 1's run at 1.
    const int32_t ends[] = {1, 2, 1, 1, 4, 1, 2, 2};
    for (int s = 0; s < 8; ++s) L.TLINE_REC(1, tlrec::SEND1 + s) = ends[s];
    // A server row moves nothing here.
    L.TLINE_REC(2, tlrec::ROLE) = tlrec::ROLE_SERVER;
    for (int s = 0; s < 8; ++s) L.TLINE_REC(2, tlrec::SEND1 + s) = 5;
    for (int i = 1; i <= 6; ++i) L.TLCS_SEND(i) = 10.0 * i;
    TLEXCH_LOCAL();
    std::vector<double> recv;
    for (int i = 1; i <= 6; ++i) recv.push_back(L.TLCS_RECV(i));
    EXPECT_EQ(recv, std::vector<double>({40, 10, 20, 0, 0, 0}));
    EXPECT_EQ(array_overrun_count(), 0);
}

}  // namespace
