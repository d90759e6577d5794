// The blocked converter against ngspice: for the first 0.1 s the bridge
// breakers are open and the DC-DC converter is off, so the station is a
// passive network of sources, R, L, C, diodes and open switches. Its
// netlist, written after step 0, run by ngspice (trapezoidal, 5 us steps)
// with the EMFs the engine gave its sources, matches the DC link and the
// converter-side LV bus. Engine step n is ngspice's (n + 1) dt.
#include <cmath>
#include <sstream>

#include "case/tests/case_netlist.h"
#include "case/tests/case_support.h"
#include "platform/tests/support/ngspice.h"

namespace {

constexpr int32_t kBlockedSteps = 2000;  // 0.1 s of 50 us
constexpr double kVllPeak = 0.9758;      // kV, the LV bus line-to-line peak
// Global branch numbers of the diodes: DC-DC converter, chopper, bridge.
const std::vector<NetlistDiode> kDiodes = {{34, 0.0001, 1e6}, {36, 0.0001, 1e6}, {68, 0.01, 1e6},
                                           {76, 0.0005, 1e6}, {77, 0.0005, 1e6}, {78, 0.0005, 1e6},
                                           {79, 0.0005, 1e6}, {80, 0.0005, 1e6}, {81, 0.0005, 1e6}};
// Subsystem nodes: DC- 54, DC+ 57, SABC 31-33.
const char* const kProbes = "v(n57) v(n54) v(n31) v(n32) v(n33)";

class BlockedConverter : public CaseTest {};

TEST_F(BlockedConverter, MatchesNgspice) {
    ASSERT_EQ(std::system("command -v ngspice >/dev/null 2>&1"), 0) << "ngspice is needed for this test";
    const int32_t branches = NET.NBRANCHES(1);
    std::vector<std::vector<double>> emf(static_cast<size_t>(branches));
    std::vector<std::vector<double>> engine;  // ch 51, 45-47 per step
    std::string netlist_after_step0;
    const Captured c = run_steps(kBlockedSteps - 1, [&](int32_t n) {
        for (int32_t b = 1; b <= branches; ++b) emf[static_cast<size_t>(b - 1)].push_back(NET.EBR(b, 1));
        engine.push_back({STORAGE.PGB(51), STORAGE.PGB(45), STORAGE.PGB(46), STORAGE.PGB(47)});
        if (n == 0) {
            // Blocked: the bridge breakers and the DC-DC switches open.
            for (const int32_t b : {31, 33, 67, 82, 83, 84}) EXPECT_TRUE(is_true(NET.OPENBR(b, 1))) << b;
        }
        ASSERT_EQ(STORAGE.PGB(33), 0.0) << n;
        ASSERT_EQ(STORAGE.PGB(34), 0.0) << n;
    });
    ASSERT_FALSE(c.aborted) << c.out;
    // The model's magnetising current: 1 % of the rated 1/3 MVA per phase.
    const double core = XFMR_TABLES.XF_UMCORE(8) / (2.0 + XFMR_TABLES.XF_UMCORE(4) / XFMR_TABLES.XF_UMCORE(3));
    EXPECT_NEAR(19.052558883257657 * 19.052558883257657 * core * 2.0 * M_PI * 60.0,
                19.052558883257657 / (0.01 * (1.0 / 3.0) / 19.052558883257657), 1e-6);
    const std::string netlist = case_netlist(1, kDiodes, emf, RUN_CLOCK.DELT);

    std::ostringstream s;
    s << "* the station, converter blocked\n" << netlist << ".options method=trap\n";
    s << ".tran 5e-6 " << (kBlockedSteps + 1) * RUN_CLOCK.DELT << " 0 5e-6\n";
    s << ".control\nset wr_singlescale\nset wr_vecnames\nrun\nlinearize\nwrdata out.txt " << kProbes
      << "\n.endc\n.end\n";
    const auto rows = ngspice_rows_of(s.str());
    ASSERT_GE(rows.size(), static_cast<size_t>(10 * kBlockedSteps)) << netlist;
    double worst = 0.0, peak_dc = 0.0;
    int32_t at = 0;
    // From step 3: with chatter removal on, the first solutions may be
    // averaged with the initial state.
    for (int32_t n = 3; n < kBlockedSteps; ++n) {
        const auto& r = rows[static_cast<size_t>(10 * (n + 1))];
        ASSERT_NEAR(r[0], (n + 1) * RUN_CLOCK.DELT, 1e-9);
        const double want[] = {r[1] - r[2], r[3], r[4], r[5]};
        const auto& got = engine[static_cast<size_t>(n)];
        peak_dc = std::max(peak_dc, got[0]);
        for (size_t k = 0; k < 4; ++k)
            if (std::fabs(got[k] - want[k]) > worst) {
                worst = std::fabs(got[k] - want[k]);
                at = n;
            }
    }
    EXPECT_LT(worst, 0.02 * kVllPeak) << "step " << at;
    // The diodes charge the DC link to about the line-to-line peak.
    EXPECT_GT(peak_dc, 0.9 * kVllPeak);
}

}  // namespace
