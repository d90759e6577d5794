// Compensator set-up: the record it writes, the branches it marks, the
// list entries it appends, its clamps and its refusals.
#include <gtest/gtest.h>

#include <functional>

#include "models/branch_changes.h"
#include "models/svc/svc.h"
#include "models/tests/svc_circuit.h"
#include "platform/tests/support/capture.h"

namespace {

using svc_test::Ratings;

using svc_test::set_up;

class SvcSetup : public testing::Test {
protected:
    void SetUp() override { svc_test::tables(); }
    void TearDown() override { reset_all_engine_state(); }
    static double rec(int32_t k) { return STORAGE.RTCF(1 + k); }
    // Entries of the 8 x 8 inverse, the 8 x 4 product and the reduced row, 1-based.
    static double gamma(int i, int j) { return rec(8 + 8 * (i - 1) + (j - 1)); }
    static double F(int i, int j) { return rec(78 + 4 * (i - 1) + (j - 1)); }
    static double row9(int i) { return rec(111 + i); }
};

void expect_rel(double got, double want, double tol) { EXPECT_NEAR(got, want, tol * std::fabs(want)); }

TEST_F(SvcSetup, ExampleRecordAndBranches) {
    Ratings r;
    // The list's columns are not cleared between runs: a word the set-up
    // must leave alone is marked rather than assumed 0.
    constexpr double kUntouched = -123.5;
    BRCHANGE_LIST.rcol(2, 4) = kUntouched;
    const Captured c = capture([&] { set_up(r); });
    ASSERT_FALSE(c.aborted) << c.out;
    EXPECT_EQ(c.out, "");
    expect_rel(rec(0), 0.013528170162811106, 1e-12);
    expect_rel(rec(5), 9.61080574226421e-5, 1e-12);
    expect_rel(rec(6), 1.0889090249856e-5, 1e-12);
    expect_rel(rec(120), 0.7530655685082074, 1e-12);
    expect_rel(NET.GEQ(1, 1), 1.7816215426785215e-4, 1e-12);
    EXPECT_EQ(NET.GEQ(3, 1), NET.GEQ(1, 1));
    EXPECT_TRUE(is_true(NET.DEFRDBR(2, 1)));
    expect_rel(NET.BRANCH_R(4, 1), 3703.0, 1e-12);
    expect_rel(NET.BRANCH_C(6, 1), 0.13502565487442614e-6, 1e-12);
    EXPECT_EQ(rec(2), 0.1e-6);
    EXPECT_EQ(rec(130), 60.0);
    expect_rel(gamma(1, 1), 7.918912064092, 1e-9);
    expect_rel(gamma(4, 4), 838.0723967047, 1e-9);
    expect_rel(gamma(7, 8), -838.0724360189, 1e-9);
    expect_rel(F(1, 1), -63.08867353856, 1e-9);
    expect_rel(F(7, 3), -1676.144872038, 1e-9);
    expect_rel(row9(3), 6.096363780575, 1e-9);
    expect_rel(row9(7), -0.265258238486, 1e-9);
    EXPECT_EQ(rec(72), 1.0 / rec(0));
    EXPECT_EQ(rec(76), -1.0 / rec(0));
    const int32_t ints[4] = {4, 2, 10, 10};
    for (int k = 0; k < 4; ++k) EXPECT_EQ(STORAGE.RTCI(1 + k), ints[k]);
    EXPECT_EQ(POINTER_BLOCK.NRTCF, 132);
    EXPECT_EQ(POINTER_BLOCK.NRTCI, 5);
    EXPECT_EQ(POINTER_BLOCK.NEXC, 0);

    const BranchChangeList& list = BRCHANGE_LIST;
    ASSERT_EQ(list.count, 7);
    const int32_t kinds[7] = {9, 9, 9, 6, 9, 9, 9}, items[7] = {4, 5, 6, 1, 1, 2, 3};
    for (int32_t row = 1; row <= 7; ++row) {
        EXPECT_EQ(BRCHANGE_LIST.icol(1, row), kinds[row - 1]) << row;
        EXPECT_EQ(BRCHANGE_LIST.icol(2, row), items[row - 1]) << row;
        EXPECT_EQ(BRCHANGE_LIST.icol(8, row), 1) << row;
    }
    EXPECT_EQ(BRCHANGE_LIST.icol(3, 4), 2);
    EXPECT_EQ(BRCHANGE_LIST.icol(4, 4), 3);
    expect_rel(BRCHANGE_LIST.rcol(1, 4), 0.2104824122390711, 1e-12);
    EXPECT_EQ(BRCHANGE_LIST.rcol(2, 4), kUntouched);  // G0 of 0 leaves real 2 alone
}

TEST_F(SvcSetup, SmallBaseCapacitanceAndConductanceKept) {
    Ratings r;
    r.Q0 = 1.0;
    r.G0 = 0.5;
    r.k = 2.0;
    set_up(r);
    EXPECT_NEAR(rec(6), 4.8054028711321055e-6, 1e-18);
    EXPECT_EQ(rec(6), 0.05 * rec(5));
    expect_rel(NET.GEQ(2, 1), 2.0 * (0.5 + 1.7816215426785215e-4), 1e-12);
    EXPECT_EQ(BRCHANGE_LIST.rcol(2, 4), 1.0);
}

TEST_F(SvcSetup, TwelveStagesClampedToTen) {
    Ratings r;
    r.NCAP = 12;
    r.NC0 = 12;
    const Captured c = capture([&] { set_up(r); });
    EXPECT_EQ(c.out, " ***WARN*** The maximum number of capacitor stages is reset to 10\n"
                     " ***WARN*** The initial number of capacitor stages entered reset to the maximum\n");
    expect_rel(rec(5), 3.20360191408807e-5, 1e-12);
    EXPECT_EQ(r.NCAP, 10);
    EXPECT_EQ(r.NC0, 10);
    EXPECT_EQ(STORAGE.RTCI(1), 10);
    r = Ratings{};
    r.NCAP = r.NC0 = 10;
    EXPECT_EQ(capture([&] { set_up(r); }).out, "");
}

struct Refusal {
    const char* name;
    std::function<void(Ratings&)> change;
    std::vector<std::string> messages;
};

void PrintTo(const Refusal& r, std::ostream* os) { *os << r.name; }

class SvcRefusal : public SvcSetup, public testing::WithParamInterface<Refusal> {};

TEST_P(SvcRefusal, StopsWithItsMessages) {
    Ratings r;
    GetParam().change(r);
    std::string want;
    for (const std::string& m : GetParam().messages) want += " ***ERROR** " + m + "\n";
    const Captured c = capture([&] { set_up(r); });
    EXPECT_TRUE(c.aborted);
    EXPECT_EQ(c.out, want + abort_frame("SVC"));
}

const char* kRatings = "Unrealistic SVC ratings";
const char* kStages = "Unrealistic number of capacitor stages";
const char* kValve = "Unrealistic SVC valve, snubber or capacitor data";
const char* kSat = "Unrealistic SVC saturation data";

INSTANTIATE_TEST_SUITE_P(
    Checks, SvcRefusal,
    testing::Values(
        Refusal{"ZeroPower", [](Ratings& r) { r.S = 0; }, {kRatings}},
        Refusal{"NegativeBasePower", [](Ratings& r) { r.Q0 = -1; }, {kRatings}},
        Refusal{"NoMagnetising", [](Ratings& r) { r.mag_d = 0; }, {kRatings}},
        Refusal{"NoReactor", [](Ratings& r) { r.xPY = 1.0; }, {kRatings}},
        Refusal{"NotANumber", [](Ratings& r) { r.f = NAN; }, {kRatings}},
        Refusal{"NoStages", [](Ratings& r) { r.NCAP = 0; }, {kStages}},
        Refusal{"NegativeStart", [](Ratings& r) { r.NC0 = -1; }, {kStages}},
        Refusal{"ZeroOnResistance", [](Ratings& r) { r.Ron = 0; }, {kValve}},
        Refusal{"ZeroSnubber", [](Ratings& r) { r.Cs = 0; }, {kValve}},
        Refusal{"NoSaturationData", [](Ratings& r) { r.tau = 0; }, {kSat}},
        Refusal{"AllAtOnce",
                [](Ratings& r) {
                    r.QC = 0;
                    r.NCAP = 0;
                    r.Rd = -1;
                    r.Xair = 0;
                },
                {kRatings, kStages, kValve, kSat}},
        Refusal{"OnEqualsOff", [](Ratings& r) { r.Roff = r.Ron; }, {"On resistance must be less than Off resistance"}},
        Refusal{"OnAboveOff", [](Ratings& r) { r.Roff = 0.001; }, {"On resistance must be less than Off resistance"}},
        Refusal{"SingularLeakage", [](Ratings& r) { r.xPY = r.xPD = r.xYD = 0.0; },
                {"Unrealisable Transformer Leakage Values"}}),
    [](const testing::TestParamInfo<Refusal>& i) { return i.param.name; });

}  // namespace
