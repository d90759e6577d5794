// The conventional transformers and the matrix builder: the matrices they
// hand to the common set-up, checked against hand-worked values, and the
// texts and order of their refusals.
#include <cmath>
#include <limits>
#include <vector>

#include "engine/pointer_block.h"
#include "engine/storage.h"
#include "models/tests/xfmr_model_support.h"

namespace {

using Models = ModelTest;

void expect_rel(double got, double want, double rel) { EXPECT_NEAR(got, want, rel * std::fabs(want)); }

void tf2(int32_t ideal, double s, double v1, double v2, double pcu = 0.01, double im = 1.0) {
    int32_t k = 1;
    double f = 50.0, x = 0.1;
    TF_2WDG(k, ideal, s, f, x, pcu, v1, v2, im);
}

void tf3(int32_t ideal, double x12 = 0.1, double x13 = 0.3, double x23 = 0.15) {
    int32_t k = 1;
    double s = 100.0, f = 50.0, pcu = 0.0, v1 = 230.0, v2 = 66.0, v3 = 11.0, im = 1.0;
    TF_3WDG(k, ideal, s, f, x12, x13, x23, pcu, v1, v2, v3, im);
}

TEST_F(Models, TwoWindingsIdealAndWithMagnetisingBranch) {
    declare({2});
    tf2(1, 100.0, 100.0, 10.0);
    expect_rel(M(1, 1), 31.4159265, 1e-8);
    expect_rel(M(2, 2), 3141.59265, 1e-8);
    expect_rel(M(1, 2), -314.159265, 1e-8);
    for (const int32_t ideal : {0, -1}) {
        tf2(ideal, 100.0, 100.0, 10.0);
        expect_rel(M(1, 1), 31.8309886, 1e-8);
        expect_rel(M(2, 2), 0.318309886, 1e-8);
        expect_rel(M(1, 2), 3.18150731, 1e-8);
        expect_rel(R(1), 0.5, 1e-12);
        expect_rel(R(2), 0.005, 1e-12);
    }
    tf2(0, 100.0, 100.0, 10.0, -1.0);
    EXPECT_EQ(R(1), 0.0);
    EXPECT_EQ(R(2), 0.0);
}

TEST_F(Models, MatrixBuilderOfThreeWindingsEqualsTheStar) {
    declare({3});
    const double x[3] = {0.1, 0.3, 0.15}, v[3] = {230.0, 66.0, 11.0};
    FArray2<double> g;
    g.allocate(4, 4);
    g(4, 4) = 9.0;
    ASSERT_EQ(XFMR_MATRIX(3, 50.0, 100.0, x, v, g), 0);
    const double want[3][3] = {{6.19694, -25.1946, 21.5954}, {0, 150.513, -376.284}, {0, 0, 1806.16}};
    tf3(1);
    for (int32_t i = 1; i <= 3; ++i) {
        double gv = 0.0;
        for (int32_t j = 1; j <= 3; ++j) {
            if (j >= i) expect_rel(g(i, j), want[i - 1][j - 1], 1e-5);
            expect_rel(M(i, j), g(i, j), 1e-12);
            gv += g(i, j) * v[j - 1];
        }
        EXPECT_NEAR(gv, 0.0, 1e-12 * 6.19694 * 230.0);
        EXPECT_EQ(g(i, 4), 0.0);
        EXPECT_EQ(g(4, i), 0.0);
    }
    EXPECT_EQ(g(4, 4), 0.0);
}

TEST_F(Models, MatrixBuilderOfTwoWindingsAndOfOne) {
    declare({2});
    const double x[1] = {0.1}, v[2] = {100.0, 10.0};
    FArray2<double> g;
    g.allocate(2, 2);
    XFMR_MATRIX(2, 50.0, 100.0, x, v, g);
    tf2(1, 100.0, 100.0, 10.0);
    for (int32_t i = 1; i <= 2; ++i)
        for (int32_t j = 1; j <= 2; ++j) expect_rel(g(i, j), M(i, j), 1e-12);
    g(1, 1) = 5.0;
    EXPECT_EQ(XFMR_MATRIX(1, 50.0, 100.0, x, v, g), 0);
    EXPECT_EQ(g(1, 1), 0.0);
}

// Four windings: the ideal four-winding member and the N-winding model.
TEST_F(Models, FourWindingsIdealFromEveryModel) {
    declare({4});
    int32_t k = 1, n = 4, ideal = 1;
    double s = 100.0, f = 60.0, x12 = 0.1, x13 = 0.2, x14 = 0.25, x23 = 0.15, x24 = 0.2, x34 = 0.1, pcu = 0.0;
    double v1 = 230.0, v2 = 115.0, v3 = 13.8, v4 = 4.16, im = 1.0;
    TF_4WDG_2(k, ideal, s, f, x12, x13, x14, x23, x24, x34, pcu, v1, v2, v3, v4, im);
    std::vector<double> first;
    for (int32_t i = 1; i <= 4; ++i)
        for (int32_t j = 1; j <= 4; ++j) first.push_back(M(i, j));
    expect_rel(M(1, 1), 7.45041736, 1e-8);
    expect_rel(M(2, 3), -97.1793569, 1e-8);
    expect_rel(M(4, 4), 22774.5399, 1e-8);
    const double x[6] = {0.1, 0.2, 0.15, 0.25, 0.2, 0.1}, v[4] = {230.0, 115.0, 13.8, 4.16}, p[4] = {};
    TF_NWDG(k, n, s, f, x, p, v);
    for (int32_t i = 1; i <= 4; ++i)
        for (int32_t j = 1; j <= 4; ++j) expect_rel(M(i, j), first[static_cast<size_t>(4 * i + j - 5)], 1e-12);
    // Per-unit resistances of each winding in ohms.
    double r1 = 0.01, r2 = 0.0, r3 = -1.0, r4 = 0.02;
    TF_4WDG_3(k, ideal, s, f, x12, x13, x14, x23, x24, x34, r1, r2, r3, r4, v1, v2, v3, v4, im);
    expect_rel(R(1), 0.01 * 230.0 * 230.0 / 100.0, 1e-12);
    EXPECT_EQ(R(2), 0.0);
    EXPECT_EQ(R(3), 0.0);
    expect_rel(R(4), 0.02 * 4.16 * 4.16 / 100.0, 1e-12);
    expect_rel(M(4, 4), 22774.5399, 1e-8);
}

TEST_F(Models, ThreeWindingsWithMagnetisingBranchAndLossesPerPair) {
    declare({3});
    tf3(0);
    const double want[6] = {168.385930, 13.8655786, 0.385154962, 48.2952810, 8.04116026, 2.30919658};
    const double got[6] = {M(1, 1), M(2, 2), M(3, 3), M(1, 2), M(1, 3), M(2, 3)};
    for (int32_t e = 0; e < 6; ++e) expect_rel(got[e], want[e], 1e-8);
    int32_t k = 1, ideal = 0;
    double s = 100.0, f = 50.0, x12 = 0.1, x13 = 0.3, x23 = 0.15, p = 0.01, v1 = 230.0, v2 = 66.0, v3 = 11.0,
           im = 1.0;
    TF_3WDG_CU(k, ideal, s, f, x12, x13, x23, p, p, p, v1, v2, v3, im);
    expect_rel(R(1), 2.645, 1e-12);
    expect_rel(R(2), 0.2178, 1e-12);
    expect_rel(R(3), 0.00605, 1e-12);
    double p12 = 0.3, p13 = 0.1, p23 = 0.1;
    EXPECT_STOPS(TF_3WDG_CU(k, ideal, s, f, x12, x13, x23, p12, p13, p23, v1, v2, v3, im),
                 error_line("Unrealitic Copper losses, maximum loss between any two windings cannot be more than "
                            "the half of the sum of total losses.") +
                     abort_frame_of("TF_3WDG", 0));
}

void auto2(int32_t ideal, double vhv, double vlv = 115.0) {
    int32_t k = 1;
    double s = 100.0, f = 50.0, x = 0.1, pcu = 0.0, im = 1.0;
    AUTO_TF_2WDG(k, ideal, s, f, x, pcu, vhv, vlv, im);
}

TEST_F(Models, AutoTransformerOfTwoWindings) {
    declare({2});
    const int32_t at = POINTER_BLOCK.NRTCF;
    auto2(1, 230.0);
    for (const double g : {M(1, 1), M(2, 2), -M(1, 2)}) expect_rel(g, 5.93873848, 1e-8);
    // Series winding from HV to LV, common winding shorted: 52.9 ohms.
    expect_rel(2.0 * M_PI * 50.0 / M(1, 1), 52.9, 1e-12);
    EXPECT_EQ(POINTER_BLOCK.NRTCF, at + 2);
    EXPECT_DOUBLE_EQ(STORAGE.RTCF(at), 2.3);
    expect_rel(STORAGE.RTCF(at + 1), 1.36590985, 1e-8);
    auto2(0, 230.0);
    expect_rel(M(1, 1), 42.0964824, 1e-8);
    expect_rel(M(2, 2), 42.0964824, 1e-8);
    expect_rel(M(1, 2), 42.0122895, 1e-8);
    // The ratio limits themselves pass.
    auto2(0, 1.02 * 115.0);
    auto2(0, 51.0 * 115.0);
    EXPECT_STOPS(auto2(0, std::nextafter(1.02 * 115.0, 0.0)),
                 error_line("Voltage rating at HV side is too small") + abort_frame_of("AUTO_TF_2WDG", 0));
    declare({2});
    EXPECT_STOPS(auto2(0, std::nextafter(51.0 * 115.0, 1e9)),
                 error_line("Voltage rating at LV side is too small") + abort_frame_of("AUTO_TF_2WDG", 0));
}

// Everything referred to the tertiary; the eighth argument is never read.
TEST_F(Models, AutoTransformerOfThreeWindingsIsTheStarOfItsWindings) {
    declare({3});
    int32_t k = 1, ideal = 1;
    double s = 100.0, f = 50.0, xhl = 0.1, xht = 0.35, xlt = 0.2, unread = std::numeric_limits<double>::quiet_NaN();
    double vhv = 230.0, vlv = 115.0, vt = 11.0, im = 1.0;
    AUTO_TF_3WDG(k, ideal, s, f, xhl, xht, xlt, unread, vhv, vlv, vt, im);
    std::vector<double> g;
    for (int32_t i = 1; i <= 3; ++i)
        for (int32_t j = 1; j <= 3; ++j) g.push_back(M(i, j));
    EXPECT_EQ(R(1) + R(2) + R(3), 0.0);
    // The same windings as a plain three-winding transformer.
    const double xsc = 0.1 * 4.0, xst = (230.0 * 0.35 + 115.0 * 230.0 * 0.1 / 115.0 - 0.2 * 115.0) / 115.0;
    double x12 = xst, x13 = 0.2, x23 = xsc, pcu = 0.0, v1 = 11.0, v2 = 115.0, v3 = 115.0;
    TF_3WDG(k, ideal, s, f, x12, x13, x23, pcu, v1, v2, v3, im);
    for (int32_t i = 1; i <= 3; ++i)
        for (int32_t j = 1; j <= 3; ++j) expect_rel(M(i, j), g[static_cast<size_t>(3 * i + j - 4)], 1e-12);
}

// Leakages of 0.125, 0.5, 0.125: a star whose determinant is exactly 0.
TEST_F(Models, SingularLeakagesStopTheRun) {
    declare({3});
    EXPECT_STOPS(tf3(1, 0.125, 0.5, 0.125),
                 error_line("Unrealisable Transformer Leakage Values") + abort_frame_of("TF_3WDG", 0));
    declare({3});
    int32_t k = 1, n = 3;
    double s = 100.0, f = 50.0;
    const double x[3] = {0.125, 0.5, 0.125}, v[3] = {230.0, 66.0, 11.0}, p[3] = {};
    EXPECT_STOPS(TF_NWDG(k, n, s, f, x, p, v),
                 error_line("Unrealisable Transformer Leakage Values") + abort_frame_of("TF_NWDG", 0));
}

TEST_F(Models, RatingFaultsInTheirOrder) {
    declare({2, 4, 3});
    EXPECT_STOPS(tf2(0, 0.0, 0.0, 10.0),
                 error_line("Unrealistic Transformer MVA Rating.") +
                     error_line("Unrealistic Transformer Voltage Rating.") + abort_frame_of("TF_2WDG", 0));
    declare({2, 4, 3});
    EXPECT_STOPS(tf2(0, 100.0, 100.0, 10.0, 0.0, 0.0),
                 error_line("Unrealistic Transformer Magnetizing Current.") + abort_frame_of("TF_2WDG", 0));
    declare({2, 4, 3});
    int32_t k = 2;
    double s = 0.0, f = 0.0, x = 0.0, pcu = 0.0, v = 0.0, im = 0.0;
    EXPECT_STOPS(TF_4WDG(k, s, f, x, x, x, x, x, x, pcu, v, v, v, v, im),
                 " ***WARN*** Unrealistic Transformer MVA Rating.\n" + abort_frame_of("TF_4WDG", 0));
    int32_t n = 3;
    s = 100.0;
    const double xs[3] = {0.1, 0.1, 0.1}, vs[3] = {0.0, 66.0, 0.0}, p[3] = {};
    k = 3;
    declare({2, 4, 3});
    EXPECT_STOPS(TF_NWDG(k, n, s, f, xs, p, vs),
                 error_line("Unrealistic Transformer Voltage Rating.") +
                     error_line("Unrealistic Transformer Frequency.") + abort_frame_of("TF_NWDG", 0));
    // The model's windings must be the declared ones.
    k = 1;
    declare({2, 4, 3});
    EXPECT_STOPS(TF_NWDG(k, n, s, f, xs, p, vs),
                 error_line("Transformer number 1 has 2 windings in the TRANSFORMERS: section, the model needs 3.") +
                     abort_frame_of("TF_NWDG", 0));
}

}  // namespace
