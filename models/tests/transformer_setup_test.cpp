// The common set-up and the models in-process: the stamp of random
// transformers against the nodal matrix they must give, a repeated call
// that changes nothing, and the texts of every refusal.
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "models/setup_guard.h"
#include "models/transformers/transformers.h"
#include "models/tests/xfmr_test_support.h"
#include "network/tests/map_test_support.h"

namespace {

class Setup : public XfmrTest {
protected:
    // One transformer of n windings in subsystem 1 of six nodes.
    void tables(int32_t n) {
        allocate({{ND_NODES, 6}, {ND_SUBSYS, 1}, {ND_BRANCHES, 1}, {ND_WINDINGS, 4}, {ND_TRAFOS, 2}});
        matrices(1, 6);
        NET.NBUSES(1) = 6;
        RUN_CLOCK.DELT = 50e-6;
        RUN_FLAGS.FIRST_STEP_DATA = LTRUE;
        XfmrTables& X = XFMR_TABLES;
        X.XF_COUNT = 1;
        X.XF_NWDG(1) = n;
        X.XF_SUBSYS(1) = 1;
        X.XF_NSS(1) = 1;
    }
    static std::vector<double> gm() {
        std::vector<double> v;
        const SsView<double> y = SSDESC_RA(1);
        for (int32_t j = 1; j <= 6; ++j)
            for (int32_t i = 1; i <= 6; ++i) v.push_back(y(i, j));
        return v;
    }
};

TEST_F(Setup, RandomWindingsGiveTheNodalMatrixOfTheirConductances) {
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    for (int trial = 0; trial < 40; ++trial) {
        const int32_t n = 2 + trial % 3;
        tables(n);
        XfmrTables& X = XFMR_TABLES;
        // Nodes: some to ground, some floating, some shared between windings.
        for (int32_t w = 1; w <= n; ++w) {
            int32_t a = 0, b = 0;
            while (a == b) {
                a = static_cast<int32_t>(rng() % 7);
                b = static_cast<int32_t>(rng() % 7);
            }
            X.XF_NODE1(w, 1) = a;
            X.XF_NODE2(w, 1) = b;
        }
        // L = B B^T + I (henries), R on the diagonal and a little beside it.
        double b[4][4];
        for (auto& row : b)
            for (double& x : row) x = u(rng);
        for (int32_t i = 1; i <= n; ++i)
            for (int32_t j = 1; j <= i; ++j) {
                double l = i == j ? 1.0 : 0.0;
                for (int32_t m = 0; m < n; ++m) l += b[i - 1][m] * b[j - 1][m];
                X.XF_RLIN(2 * j - 1, i) = i == j ? 0.5 + 0.5 * u(rng) + 0.6 : 0.05 * u(rng);
                X.XF_RLIN(2 * j, i) = 0.01 * l;
            }
        int32_t k = 1, form = 2;
        TRANSFORMER(k, form);
        // The same data again change nothing.
        const std::vector<double> once = gm();
        TRANSFORMER(k, form);
        EXPECT_EQ(gm(), once);

        SSINIT();
        const SsView<double> y = SSDESC_RA(1);
        double scale = 0.0;
        for (int32_t i = 1; i <= n; ++i)
            for (int32_t j = 1; j <= n; ++j) scale = std::max(scale, std::fabs(X.XF_GEQ(i, j, 1)));
        for (int32_t p = 1; p <= 6; ++p)
            for (int32_t q = 1; q <= 6; ++q) {
                // (A^T G A)(p, q), A(w, node) = +1 at the first node, -1 at the second.
                double want = 0.0;
                for (int32_t w = 1; w <= n; ++w)
                    for (int32_t m = 1; m <= n; ++m) {
                        const double aw = (X.XF_NODE1(w, 1) == p) - (X.XF_NODE2(w, 1) == p);
                        const double am = (X.XF_NODE1(m, 1) == q) - (X.XF_NODE2(m, 1) == q);
                        want += aw * X.XF_GEQ(w, m, 1) * am;
                    }
                const double got = p == q ? y(p, p) : -y(p, q);
                EXPECT_NEAR(got, want, 1e-12 * scale) << "trial " << trial << " (" << p << "," << q << ")";
            }
        // After the sums the network takes no further change.
        const Captured c = capture([&] { TRANSFORMER(k, form); });
        EXPECT_TRUE(c.aborted);
        EXPECT_EQ(c.out,
                  " ***ERROR** TRANSFORMER changes the network's conductances and can only be called before the "
                  "first\n ***ERROR** network solution of a run (in the begin pass or the first dynamic pass).\n" +
                      abort_frame_of("TRANSFORMER", 0));
    }
}

struct Refusal {
    const char* name;
    std::function<void()> call;
    std::vector<std::string> lines;
    const char* routine;
};
void PrintTo(const Refusal& c, std::ostream* os) { *os << c.name; }

void umec_2wdg(double s, double f, double v1, double im, double a) {
    int32_t k = 1;
    double x = 0.1, v2 = 1.0, lr = 1.0;
    UMEC_TF_2WDG(k, s, f, x, v1, v2, im, a, lr);
}

std::string err(const std::string& t) { return " ***ERROR** " + t; }

const std::vector<Refusal>& refusals() {
    static const std::vector<Refusal> r = {
        {"unknown_number", [] { int32_t k = 3, f = 2; TRANSFORMER(k, f); },
         {err("Transformer number 3 is not in the TRANSFORMERS: section.")}, "TRANSFORMER"},
        {"unknown_form", [] { int32_t k = 1, f = 4; TRANSFORMER(k, f); }, {err("Unexpected transformer type")},
         "TRANSFORMER"},
        {"singular_l", [] { int32_t k = 1, f = 2; TRANSFORMER(k, f); },
         {err("Unrealisable Transformer Leakage Values")}, "TRANSFORMER"},
        {"singular_rg", [] {
             XFMR_TABLES.XF_RLIN(1, 1) = -1.0;
             XFMR_TABLES.XF_RLIN(2, 1) = 1.0 / (0.5 * 50e-6);
             int32_t k = 1, f = 1;
             TRANSFORMER(k, f);
         },
         {err("Unrealisable Transformer Leakage or Copper loss Values")}, "TRANSFORMER"},
        {"model_windings", [] { umec_2wdg(1, 60, 10, 1, 1); },
         {err("Transformer number 1 has 3 windings in the TRANSFORMERS: section, the model needs 2.")},
         "UMEC_TF_2WDG"},
        {"output_number", [] { int32_t k = 0; XFMR_OUT(k); },
         {err("Transformer number 0 is not in the TRANSFORMERS: section.")}, "XFMR_OUT"},
    };
    return r;
}

class Refused : public Setup, public testing::WithParamInterface<Refusal> {};

TEST_P(Refused, StopsWithItsText) {
    const Refusal& r = GetParam();
    tables(3);
    XfmrTables& X = XFMR_TABLES;
    for (int32_t w = 1; w <= 3; ++w) X.XF_NODE1(w, 1) = w;
    std::string want;
    for (const std::string& l : r.lines) want += l + "\n";
    EXPECT_STOPS(r.call(), want + abort_frame_of(r.routine, 0));
}

INSTANTIATE_TEST_SUITE_P(Transformers, Refused, testing::ValuesIn(refusals()),
                         [](const testing::TestParamInfo<Refusal>& p) { return std::string(p.param.name); });

// The magnetic-circuit models' rating checks, on a declared two-winding core.
class Ratings : public XfmrTest {
protected:
    void SetUp() override {
        XfmrTest::SetUp();
        read_sections("TRANSFORMERS:\n 2 1 0\n 1 0 10 2e-5\n 2 0 1 2e-5\n 1 1 1 1 0 0 0\n 3e-3 0\n 0 0 /\n 0 5 3\n"
                      " 3 0 1\n 1 0\n 2 0\n 3 0\n"
                      " 3 1 0\n 4 0 1 2e-5\n 5 0 1 2e-5\n 6 0 1 2e-5\n 1 1 1 1 0 0 0\n 3e-3 0\n 0 0 /\n 0 7 4\n");
        RUN_FLAGS.FIRST_STEP_DATA = LTRUE;
    }
};

// The core of transformer 1 handed over again with a leakage permeance
// that cancels limb and yoke at magnetic node 1: a pivot of 0, refused
// rather than passed over.
TEST_F(Ratings, CoreWithAZeroPivotIsRefused) {
    XfmrTables& X = XFMR_TABLES;
    const double windings[2][2] = {{10.0, -0.5}, {1.0, 2e-5}};
    for (int32_t w = 1; w <= 2; ++w)
        for (int32_t c = 1; c <= 2; ++c) X.XF_UMWDG(w, c) = windings[w - 1][c - 1];
    const double core[8] = {1, 1, 1, 1, 0, 0, 0, 0.25};
    for (int32_t c = 1; c <= 28; ++c) X.XF_UMCORE(c) = c <= 8 ? core[c - 1] : 0.0;
    int32_t k = 1, form = 3;
    EXPECT_STOPS(TRANSFORMER(k, form), err("Unrealisable Transformer Leakage Values") + "\n" +
                                           abort_frame_of("TRANSFORMER", 0));
}

TEST_F(Ratings, EveryFailedCheckIsReportedBeforeTheStop) {
    EXPECT_STOPS(umec_2wdg(0.0, 0.0, 0.0, 0.0, 0.0),
                 err("Unrealistic Transformer MVA Rating.") + "\n" + err("Unrealistic Transformer Voltage Rating.") +
                     "\n" + err("Unrealistic Ratio of Area or Length.") + "\n" +
                     err("Unrealistic Transformer Frequency.") + "\n" +
                     err("Unrealistic Transformer Magnetizing Current.") + "\n" + abort_frame_of("UMEC_TF_2WDG", 0));
}

TEST_F(Ratings, ThreeWindingModelWarnsAndStopsAtTheFirst) {
    int32_t k = 3;
    double s = 0.0, f = 60.0, x = 0.1, v = 0.0, im = 1.0, a = 1.0, lr = 1.0;
    EXPECT_STOPS(UMEC_TF_3WDG(k, s, f, x, v, v, v, im, a, lr),
                 " ***WARN*** Unrealistic Transformer MVA Rating.\n" + abort_frame_of("UMEC_TF_3WDG", 0));
}

TEST_F(Ratings, ModelsNeedTheMagneticForm) {
    int32_t k = 2;
    double s = 1.0, f = 60.0, x = 0.1, v = 1.0, im = 1.0, a = 1.0, lr = 1.0;
    EXPECT_STOPS(UMEC_TF_3WDG(k, s, f, x, v, v, v, im, a, lr),
                 err("Transformer number 2 is not of the magnetic-circuit form in the TRANSFORMERS: section.") +
                     "\n" + abort_frame_of("UMEC_TF_3WDG", 0));
}

}  // namespace

namespace {

// Form 1 with the inverse of form 2's inductances gives form 2's model.
TEST_F(Setup, InverseInductanceFormEqualsTheInductanceForm) {
    tables(2);
    XfmrTables& X = XFMR_TABLES;
    X.XF_NODE1(1, 1) = 1;
    X.XF_NODE1(2, 1) = 2;
    const double l11 = 0.1, l12 = 0.09, l22 = 0.1, det = l11 * l22 - l12 * l12;
    const double r[3] = {1.0, 0.2, 2.0}, l[3] = {l11, l12, l22}, g[3] = {l22 / det, -l12 / det, l11 / det};
    const int32_t at[3][2] = {{1, 1}, {1, 2}, {2, 2}};  // (j, i), j <= i
    int32_t k = 1;
    double geq[2][2][2], hist[2][2][2];
    for (int32_t form : {2, 1}) {
        for (int32_t e = 0; e < 3; ++e) {
            X.XF_RLIN(2 * at[e][0] - 1, at[e][1]) = r[e];
            X.XF_RLIN(2 * at[e][0], at[e][1]) = form == 2 ? l[e] : g[e];
        }
        TRANSFORMER(k, form);
        for (int32_t i = 0; i < 2; ++i)
            for (int32_t j = 0; j < 2; ++j) {
                geq[form - 1][i][j] = X.XF_GEQ(i + 1, j + 1, 1);
                hist[form - 1][i][j] = X.XF_HIST(i + 1, j + 1, 1);
            }
    }
    for (int32_t i = 0; i < 2; ++i)
        for (int32_t j = 0; j < 2; ++j) {
            EXPECT_NEAR(geq[0][i][j], geq[1][i][j], 1e-12 * std::fabs(geq[1][0][0]));
            EXPECT_NEAR(hist[0][i][j], hist[1][i][j], 1e-12);
        }
}

// The two curve look-ups are each other's inverse, on and beyond the
// first segment and past the last point.
TEST_F(Setup, CurveLookUpsInvertEachOther) {
    tables(2);
    XfmrTables& X = XFMR_TABLES;
    X.XF_SATON(1) = 1;
    const double x[] = {1.0, 3.0, 10.0}, y[] = {1.0, 1.5, 1.8};
    for (int32_t p = 1; p <= 3; ++p) {
        X.XF_BHX(p, 1) = x[p - 1];
        X.XF_BHY(p, 1) = y[p - 1];
    }
    for (const double phi : {0.5, -1.2, 1.7, 2.5, 0.0}) {
        double f = 0.0, back = 0.0, p1 = 0.0, p2 = 0.0;
        int32_t s1 = -1, s2 = -1;
        XFMR_HBLOOK(1, phi, f, s1, 2.0, 3.0, p1);
        XFMR_BHLOOK(1, f, back, s2, 2.0, 3.0, p2);
        EXPECT_NEAR(back, phi, 1e-12) << phi;
        EXPECT_EQ(s1, std::fabs(phi) / 2.0 < 1.0 ? 0 : 1) << phi;
        EXPECT_EQ(s1, s2) << phi;
        EXPECT_NEAR(p1, p2, 1e-12) << phi;
    }
    // A zero flux takes the first slope times area over length.
    double f = 0.0, p = 0.0;
    int32_t s = 0;
    XFMR_HBLOOK(1, 0.0, f, s, 2.0, 3.0, p);
    EXPECT_DOUBLE_EQ(p, 2.0 / 3.0);
}

}  // namespace
