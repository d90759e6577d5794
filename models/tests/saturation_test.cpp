// A saturating single-phase core in a running network: the winding
// ampere-turns against the MMF of the branch fluxes on the curve, and the
// magnetising current at rated voltage; the saturation enable ramps.
#include <cmath>

#include "engine/pointer_block.h"
#include "models/transformers/transformers.h"
#include "models/tests/xfmr_test_support.h"
#include "network/tests/hooked_case.h"

namespace {

constexpr double kDt = 50e-6, kHz = 60.0;

// The case's per-unit curve: magnetising current in percent against flux.
void write_curve() {
    const double x[] = {0, 0.1774, 0.487637, 0.980856, 2.0, 3.09543, 6.52348, 20.357, 60.215, 124.388};
    const double y[] = {0, 0.324129, 0.61284, 0.825118, 1.0, 1.08024, 1.17334, 1.26115, 1.36094, 1.49469};
    for (int32_t p = 1; p <= 10; ++p) {
        XFMR_TABLES.XF_UMCORE(8 + p) = x[p - 1];
        XFMR_TABLES.XF_UMCORE(18 + p) = y[p - 1];
    }
}

// MMF of a branch of area 1 and length l carrying flux phi, on the
// transformer's curve (linear interpolation, the last segment extended).
double mmf(double phi, double l) {
    const XfmrTables& X = XFMR_TABLES;
    const double b = std::fabs(phi);
    double h;
    if (b < X.XF_BHY(1, 1)) {
        h = b * X.XF_BHX(1, 1) / X.XF_BHY(1, 1);
    } else {
        int32_t p = 2;
        while (p < 10 && X.XF_BHY(p + 1, 1) > 0.0 && X.XF_BHY(p, 1) <= b) ++p;
        const double x0 = X.XF_BHX(p - 1, 1), y0 = X.XF_BHY(p - 1, 1), x1 = X.XF_BHX(p, 1), y1 = X.XF_BHY(p, 1);
        h = x0 + (b - y0) * (x1 - x0) / (y1 - y0);
    }
    return std::copysign(h * l, phi);
}

class Saturation : public XfmrTest {
protected:
    // A 1 MVA, 10/1 kV core behind 1e-4 ohm, its secondary on 10 ohms, at
    // pu times rated voltage.
    void run(double pu) {
        read_sections("BRANCHES:\n 0 1 RE 1e-4 1e-9\n 2 0 R 10.0\n"
                      "TRANSFORMERS:\n 2 1 0\n 1 0 10 1e-3\n 2 0 1 1e-3\n 1 1 1 1 0 0 0\n 1.0 1\n 1 1 /\n 0 5 3\n",
                      " SPARSITY = 40\n STOR = 10\n");
        start();
        options(true, false);
        write_curve();
        int32_t k = 1;
        double s = 1.0, f = kHz, x = 0.1, v1 = 10.0, v2 = 1.0, im = 1.0, a = 1.0, lr = 1.0;
        UMEC_TF_2WDG(k, s, f, x, v1, v2, im, a, lr);
        HOOKED_CASE.on_dsd = [] {
            int32_t state = 1, t = 1;
            double hz = kHz;
            XFMR_RAMP(state, t, hz);
        };
        const double vp = pu * 10.0 * std::sqrt(2.0), w = 2.0 * M_PI * kHz;
        const int32_t cycle = static_cast<int32_t>(std::lround(1.0 / (kHz * kDt)));
        double previous_mmf = 0.0;
        for (int32_t n = 0; n < 4 * cycle; ++n) {
            NET.EBR(1, 1) = vp * std::cos(w * (n * kDt + kDt / 2));
            ASSERT_TRUE(step());
            const XfmrTables& X = XFMR_TABLES;
            // The fluxes of the step before, as this step's update stored them.
            const double core = mmf(X.XF_BFLUX(1, 1), 1.0) + mmf(X.XF_BFLUX(2, 1), 1.0) + mmf(X.XF_BFLUX(5, 1), 2.0);
            if (n > 3 * cycle) {
                turns_.push_back(previous_mmf);
                core_.push_back(core);
            }
            previous_mmf = 1000.0 * (10.0 * X.XF_CURTOT(1, 1) + 1.0 * X.XF_CURTOT(2, 1));
        }
    }
    std::vector<double> turns_, core_;
};

TEST_F(Saturation, AmpereTurnsFollowTheCurve) {
    run(1.1);
    double peak = 0.0, peak_core = 0.0;
    for (size_t i = 0; i < core_.size(); ++i) {
        if (std::fabs(core_[i]) > std::fabs(peak_core)) {
            peak_core = core_[i];
            peak = turns_[i];
        }
    }
    EXPECT_NEAR(peak, peak_core, 0.005 * std::fabs(peak_core));
    for (size_t i = 0; i < core_.size(); ++i) EXPECT_NEAR(turns_[i], core_[i], 0.07 * std::fabs(peak_core)) << i;
    EXPECT_EQ(XFMR_TABLES.XF_RAMPON(1), 1);
}

TEST_F(Saturation, MagnetisingCurrentAtRatedVoltage) {
    run(1.0);
    double peak = 0.0;
    for (const double t : turns_) peak = std::max(peak, std::fabs(t));
    // (N1 i1 + N2 i2) / N1 against the rated current's peak, sqrt(2) 100 A.
    const double percent = peak / 1000.0 / 10.0 / (std::sqrt(2.0) * 0.1) * 100.0;
    EXPECT_GT(percent, 1.98);
    EXPECT_LT(percent, 2.02);
}

}  // namespace

namespace {

// The case's transformer at rated voltage on its star-connected primary:
// magnetising current, short-circuit reactance and limb flux.
struct CaseRun {
    const char* name;
    bool shorted;
    int32_t saturation;
};
void PrintTo(const CaseRun& c, std::ostream* os) { *os << c.name; }

class CaseTransformerRun : public XfmrTest, public testing::WithParamInterface<CaseRun> {};

TEST_P(CaseTransformerRun, RatedVoltageValues) {
    const CaseRun& c = GetParam();
    std::string sections = "BRANCHES:\n 0 1 RE 1e-4 1e-9\n 0 3 RE 1e-4 1e-9\n 0 5 RE 1e-4 1e-9\n";
    if (c.shorted) sections += " 2 0 R 1e-6\n 4 0 R 1e-6\n 6 0 R 1e-6\n";
    sections += "TRANSFORMERS:\n 6 1 0\n";
    for (int32_t w = 1; w <= 6; ++w)
        sections += " " + std::to_string(w) + " 0 " + (w % 2 ? "19.052558883257657" : "0.69") + " 3.978873577297388E-05\n";
    sections += " 1.0 1.0 1.0 4.0 1.0 1.0 3.978873577297388E-05\n 4.774648292756865 0\n 0 0 /\n 0 15 0\n";
    read_sections(sections, " SPARSITY = 60\n");
    start();
    options(true, false);
    XFMR_TABLES.XF_SATON(1) = c.saturation;
    write_curve();
    int32_t k = 1, type = 0;
    const double v1 = 33.0 * 0.577350269189626;
    double s = 1.0, f = kHz, x = 0.01, vv1 = v1, v2 = 0.69, im = 1.0, lr = 2.0, a = 1.0, lr2 = 2.0, a2 = 1.0;
    UMEC_TF_3P2W(k, type, s, f, x, vv1, v2, im, lr, a, lr2, a2);

    const double w = 2.0 * M_PI * kHz, vp = v1 * std::sqrt(2.0);
    const int32_t cycle = static_cast<int32_t>(std::lround(1.0 / (kHz * kDt)));
    double ipeak = 0.0, flux = 0.0;
    for (int32_t n = 0; n < 3 * cycle; ++n) {
        const double t = n * kDt + kDt / 2;
        for (int32_t p = 0; p < 3; ++p) NET.EBR(p + 1, 1) = vp * std::cos(w * t - p * 2.0 * M_PI / 3.0);
        ASSERT_TRUE(step());
        if (n < 2 * cycle) continue;
        ipeak = std::max(ipeak, std::fabs(XFMR_TABLES.XF_CURTOT(1, 1)));
        flux = std::max(flux, std::fabs(XFMR_TABLES.XF_BFLUX(1, 1)));
    }
    const double rated = std::sqrt(2.0) * s / 3.0 / v1;  // peak phase current, kA
    if (c.shorted) {
        // Per unit of the phase's base impedance.
        EXPECT_NEAR(vp / ipeak / (v1 / (s / 3.0 / v1)), 0.0100, 0.00005);
    } else {
        EXPECT_NEAR(ipeak / rated * 100.0, c.saturation ? 0.547 : 1.000, 0.0005);
        EXPECT_NEAR(flux, 3.7512, 0.0001);
    }
}

INSTANTIATE_TEST_SUITE_P(Case, CaseTransformerRun,
                         testing::Values(CaseRun{"open", false, 0}, CaseRun{"open_first_slope", false, 1},
                                         CaseRun{"shorted", true, 0}),
                         [](const testing::TestParamInfo<CaseRun>& p) { return std::string(p.param.name); });

}  // namespace
