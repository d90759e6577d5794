// The "TRANSFORMERS:" section read in-process: the companion matrices of
// every winding form, the placeholders, a repeat, a magnetic core, and the
// case's transformer whose model call changes nothing.
#include <cmath>
#include <string>

#include "models/transformers/transformers.h"
#include "models/tests/xfmr_test_support.h"

namespace {

constexpr double kDt = 50e-6;

// The 2 x 2 inverse.
struct M2 {
    double a, b, d;  // [[a, b], [b, d]]
    M2 inv() const {
        const double det = a * d - b * b;
        return {d / det, -b / det, a / det};
    }
};

void expect_close(double got, double want, double rel, const char* what) {
    EXPECT_NEAR(got, want, rel * std::fabs(want)) << what;
}

TEST_F(XfmrTest, RLWithoutResistanceIsHalfTheStepOverL) {
    read_sections("TRANSFORMERS:\n 2 0 0 /\n 1 0  0.0 0.1 /\n 2 0  0.0 0.09 0.0 0.1 /\n");
    const M2 g = M2{0.1, 0.09, 0.1}.inv();
    expect_close(G(1, 1), kDt / 2 * g.a, 1e-12, "G11");
    expect_close(G(1, 2), kDt / 2 * g.b, 1e-12, "G12");
    expect_close(G(2, 2), kDt / 2 * g.d, 1e-12, "G22");
    const XfmrTables& X = XFMR_TABLES;
    EXPECT_EQ(X.XF_HIST(1, 1, 1), 1.0);
    EXPECT_EQ(X.XF_HIST(1, 2, 1), 0.0);
    EXPECT_EQ(X.XF_HIST(2, 2, 1), 1.0);
    EXPECT_EQ(X.XF_COUNT, 1);
    EXPECT_EQ(X.XF_NSS(1), 1);
    EXPECT_EQ(X.XF_SUBSYS(1), 1);
    // Both windings to ground: the mutual term joins the two nodes.
    const SsView<double> y = SSDESC_RA(1);
    EXPECT_DOUBLE_EQ(y(1, 1), G(1, 1) + G(1, 2));
    EXPECT_DOUBLE_EQ(y(1, 2), -G(1, 2));
    EXPECT_EQ(SSDESC_IA(1)(1, 2), -1);
}

TEST_F(XfmrTest, RGammaWithTheInverseOfLEqualsRL) {
    const M2 gamma = M2{0.1, 0.09, 0.1}.inv();
    char rg[200];
    std::snprintf(rg, sizeof rg, " -2 -1 0\n 3 0  1.0 %.17g /\n 4 0  0.2 %.17g 2.0 %.17g /\n", gamma.a, gamma.b,
                  gamma.d);
    read_sections("TRANSFORMERS:\n 2 0 0\n 1 0  1.0 0.1 /\n 2 0  0.2 0.09 2.0 0.1 /\n" + std::string(rg));
    const XfmrTables& X = XFMR_TABLES;
    EXPECT_EQ(X.XF_SUBSYS(2), -1);
    for (int32_t i = 1; i <= 2; ++i)
        for (int32_t j = 1; j <= 2; ++j) {
            expect_close(G(i, j, 2), G(i, j, 1), 1e-12, "G");
            EXPECT_NEAR(X.XF_HIST(i, j, 2), X.XF_HIST(i, j, 1), 1e-12) << i << j;
        }
    EXPECT_NE(X.XF_HIST(1, 1, 1), 1.0);
}

TEST_F(XfmrTest, PlaceholdersAndARepeat) {
    read_sections("TRANSFORMERS:\n 2 0 1\n 1 0\n 2 0\n -2 -1 1\n 3 0\n 4 0\n -2 0 1\n 5 0\n 6 0\n"
                  " 888 /\n 2 0\n 1 0\n");
    EXPECT_NEAR(G(1, 1), -1.24982181041e-4, 1e-15);
    EXPECT_NEAR(G(1, 2), 1.25017818959e-4, 1e-15);
    for (int32_t k : {2, 3}) {
        EXPECT_DOUBLE_EQ(G(1, 1, k), kDt);
        EXPECT_DOUBLE_EQ(G(1, 2, k), -kDt / 2);
        EXPECT_DOUBLE_EQ(G(2, 2, k), kDt);
    }
    // The repeat of transformer 3 takes its subsystem and its matrices, at its own nodes.
    const XfmrTables& X = XFMR_TABLES;
    EXPECT_EQ(X.XF_COUNT, 4);
    EXPECT_EQ(X.XF_NSS(1), 4);
    EXPECT_EQ(X.XF_SUBSYS(4), -1);
    EXPECT_EQ(X.XF_NODE1(1, 4), 2);
    EXPECT_EQ(X.XF_NODE1(2, 4), 1);
    for (int32_t i = 1; i <= 2; ++i)
        for (int32_t j = 1; j <= 2; ++j) {
            EXPECT_EQ(G(i, j, 4), G(i, j, 3));
            EXPECT_EQ(X.XF_HIST(i, j, 4), X.XF_HIST(i, j, 3));
            EXPECT_EQ(X.XF_LTERM(i, j, 4), X.XF_LTERM(i, j, 3));
        }
}

TEST_F(XfmrTest, RepeatOfAnRLTransformerInvertsAgain) {
    read_sections("TRANSFORMERS:\n 2 0 0\n 1 0  1.0 0.1 /\n 2 0  0.2 0.09 2.0 0.1 /\n 888 /\n 3 0\n 4 5\n");
    const XfmrTables& X = XFMR_TABLES;
    for (int32_t i = 1; i <= 2; ++i)
        for (int32_t j = 1; j <= 2; ++j) {
            EXPECT_EQ(G(i, j, 2), G(i, j, 1));
            EXPECT_EQ(X.XF_HIST(i, j, 2), X.XF_HIST(i, j, 1));
            EXPECT_EQ(X.XF_RES(i, j, 2), X.XF_RES(i, j, 1));
        }
    // Winding 2 of the repeat between nodes 4 and 5: its own conductance
    // joins them and touches no diagonal.
    const SsView<double> y = SSDESC_RA(1);
    EXPECT_DOUBLE_EQ(y(4, 5), G(2, 2, 2));
    EXPECT_EQ(SSDESC_IA(1)(4, 5), -1);
}

const std::string kCoreType3 =
    "TRANSFORMERS:\n 2 1 0\n 1 0  10.0 2e-5\n 2 0  1.0 2e-5\n 1 1 1 1 0 0 0\n 3e-3 0\n 0 0 /\n 0 5 3\n";

TEST_F(XfmrTest, CoreTypeThreeGivesItsInductances) {
    read_sections(kCoreType3);
    const XfmrTables& X = XFMR_TABLES;
    EXPECT_EQ(X.XF_KIND(1), 1);
    EXPECT_EQ(X.XF_SUBSYS(1), -1);
    const M2 l = M2{G(1, 1), G(1, 2), G(2, 2)}.inv();
    expect_close(kDt / 2 * l.a, 0.101104242228455, 1e-12, "L11");
    expect_close(kDt / 2 * l.b, 0.00991174872615673, 1e-12, "L12");
    expect_close(kDt / 2 * l.d, 0.00101104242228455, 1e-12, "L22");
}

TEST_F(XfmrTest, RepeatOfAMagneticTransformerCarriesItsCore) {
    read_sections(kCoreType3 + " 888 /\n 3 0\n 4 0\n");
    const XfmrTables& X = XFMR_TABLES;
    EXPECT_EQ(X.XF_KIND(2), 1);
    EXPECT_EQ(X.XF_NBR(2), 5);
    EXPECT_EQ(X.XF_CORETYPE(2), 3);
    EXPECT_EQ(X.XF_WDGC1(1, 2), 10.0);
    EXPECT_EQ(X.XF_CORE8(2), 3e-3);
    // A later model call builds the same core.
    for (int32_t i = 1; i <= 2; ++i)
        for (int32_t j = 1; j <= 2; ++j) EXPECT_EQ(G(i, j, 2), G(i, j, 1));
}

// The case's transformer as its map declares it; its model call adds nothing.
std::string case_entry() {
    std::string s = "TRANSFORMERS:\n 6 1 0\n";
    for (int32_t w = 1; w <= 6; ++w)
        s += " " + std::to_string(w) + " 0 " + (w % 2 ? "19.052558883257657" : "0.69") + " 3.978873577297388E-05\n";
    s += " 1.0 1.0 1.0 4.0 1.0 1.0 3.978873577297388E-05\n 4.774648292756865 0\n";
    s += " 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0\n 0 15 0\n";
    return s;
}

void call_case_model() {
    XfmrTables& X = XFMR_TABLES;
    const double x[] = {0, 0.1774, 0.487637, 0.980856, 2.0, 3.09543, 6.52348, 20.357, 60.215, 124.388};
    const double y[] = {0, 0.324129, 0.61284, 0.825118, 1.0, 1.08024, 1.17334, 1.26115, 1.36094, 1.49469};
    for (int32_t p = 1; p <= 10; ++p) {
        X.XF_UMCORE(8 + p) = x[p - 1];
        X.XF_UMCORE(18 + p) = y[p - 1];
    }
    int32_t k = 1, type = 0;
    double s = 1.0, f = 60.0, xl = 0.01, v1 = 33.0 * 0.577350269189626, v2 = 0.69, im = 1.0, lr = 2.0, a = 1.0,
           lr2 = 2.0, a2 = 1.0;
    UMEC_TF_3P2W(k, type, s, f, xl, v1, v2, im, lr, a, lr2, a2);
}

class CaseTransformer : public XfmrTest, public testing::WithParamInterface<int32_t> {};

TEST_P(CaseTransformer, ModelCallMatchesTheSection) {
    read_sections(case_entry());
    // The map's curve is empty: saturation on is the model's curve.
    XFMR_TABLES.XF_SATON(1) = GetParam();
    const SsView<double> y = SSDESC_RA(1);
    std::vector<double> before;
    for (int32_t i = 1; i <= 6; ++i)
        for (int32_t j = 1; j <= 6; ++j) before.push_back(y(i, j));
    RUN_FLAGS.FIRST_STEP_DATA = LTRUE;
    const Captured c = capture(call_case_model);
    ASSERT_FALSE(c.aborted) << c.out;
    const XfmrTables& X = XFMR_TABLES;
    EXPECT_DOUBLE_EQ(X.XF_UMCORE(8), 4.774648292756865);
    const bool on = GetParam() == 1;
    if (on) {
        EXPECT_DOUBLE_EQ(X.XF_CORE8(1), 8.723799190997688);
    }
    const double want[2][3] = {{34.6192548, -955.873062, 26395.273}, {34.6187324, -955.880274, 26394.8748}};
    const double gamma[3] = {G(1, 1) * 2 / kDt, G(1, 2) * 2 / kDt, G(2, 2) * 2 / kDt};
    for (int32_t i = 0; i < 3; ++i) EXPECT_NEAR(gamma[i], want[on][i], 5e-7 * std::fabs(want[on][i])) << i;
    if (on) return;  // the map's slope is not the curve's
    size_t at = 0;
    for (int32_t i = 1; i <= 6; ++i)
        for (int32_t j = 1; j <= 6; ++j) EXPECT_EQ(y(i, j), before[at++]) << i << "," << j;
}

INSTANTIATE_TEST_SUITE_P(Saturation, CaseTransformer, testing::Values(0, 1),
                         [](const testing::TestParamInfo<int32_t>& p) { return p.param ? "On" : "Off"; });

}  // namespace
