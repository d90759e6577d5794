// Transformers in a running network against ngspice (coupled inductors,
// trapezoidal rule, the time step as its largest): node voltages and
// winding currents within 1e-3 of their peaks. ngspice ramps its sources
// over its first step from rest, so engine step n is its (n + 1) dt.

#include <cmath>
#include <cstdlib>
#include <sstream>

#include "models/tests/xfmr_test_support.h"
#include "network/switch_state.h"
#include "platform/tests/support/ngspice.h"

namespace {

constexpr double kDt = 50e-6;

struct Circuit {
    const char* name;
    std::string sections;  // the engine's map sections
    std::string netlist;   // ngspice's elements: nodes n1 ..., winding ammeters VW1 ...
    int32_t nodes, windings, steps;
    int32_t sw = 0;     // a switch branch that opens at ts; compared again
    double ts = 0.0;    // six time constants after
    double tau = 0.0;
};

std::vector<std::vector<double>> ngspice(const Circuit& c) {
    std::ostringstream s;
    s.precision(17);
    s << "* " << c.name << "\n" << c.netlist << ".options method=trap\n";
    s << ".tran " << kDt << " " << (c.steps + 1) * kDt << " 0 " << kDt << "\n";
    s << ".control\nset wr_singlescale\nset wr_vecnames\nrun\nlinearize\nwrdata out.txt";
    for (int32_t k = 1; k <= c.nodes; ++k) s << " v(n" << k << ")";
    for (int32_t w = 1; w <= c.windings; ++w) s << " i(vw" << w << ")";
    s << "\n.endc\n.end\n";
    return ngspice_rows_of(s.str());
}

class TransformerNgspice : public XfmrTest {
protected:
    void compare(const Circuit& c) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(std::system("command -v ngspice >/dev/null 2>&1"), 0) << "ngspice is needed for these tests";
        const auto rows = ngspice(c);
        ASSERT_GE(rows.size(), static_cast<size_t>(c.steps) + 1);
        read_sections(c.sections, " SPARSITY = 60\n");
        start();
        options(true, false);
        if (c.sw) {
            CHK_SWITCH_R(1, c.sw, 1e-3, 1e12, 0.0, 0.0, "S1");
            BRANCH_ON(1, c.sw, 8, c.ts);
            NET.SWVAL(c.sw, 1) = c.ts;
        }
        double vpeak = 0.0, ipeak = 0.0;
        for (const auto& r : rows) {
            for (int32_t k = 1; k <= c.nodes; ++k) vpeak = std::max(vpeak, std::fabs(r[k]));
            for (int32_t w = 1; w <= c.windings; ++w) ipeak = std::max(ipeak, std::fabs(r[c.nodes + w]));
        }
        double worst_v = 0.0, worst_i = 0.0;
        for (int32_t n = 0; n < c.steps; ++n) {
            ASSERT_TRUE(step());
            check_step();
            const auto& r = rows[static_cast<size_t>(n) + 1];
            if (c.sw && n * kDt >= c.ts && n * kDt < c.ts + 6.0 * c.tau) continue;
            for (int32_t k = 1; k <= c.nodes; ++k) worst_v = std::max(worst_v, std::fabs(V(k) - r[k]));
            for (int32_t w = 1; w <= c.windings; ++w)
                worst_i = std::max(worst_i, std::fabs(XFMR_TABLES.XF_CURTOT(w, 1) - r[c.nodes + w]));
        }
        if (c.sw) {
            EXPECT_TRUE(is_true(NET.OPENBR(c.sw, 1)));
        }
        EXPECT_LT(worst_v, 1e-3 * vpeak);
        EXPECT_LT(worst_i, 1e-3 * ipeak);
    }
    std::function<void()> check_step = [] {};
};

// 100 V behind 1 ohm onto winding 1; winding 2 open (ngspice: 1e9 ohms).
TEST_F(TransformerNgspice, TwoWindingsWithAnOpenSecondary) {
    check_step = [] {
        // Open: v2 = (L21 / L11) (v1 - R1 i1) at every step.
        const double i1 = XFMR_TABLES.XF_CUR(1, 1);
        EXPECT_NEAR(NET.VNODE(2, 1), 0.09 / 0.1 * (NET.VNODE(1, 1) - 0.5 * i1), 1e-9 * 100.0);
    };
    compare({"open_secondary",
             "BRANCHES:\n 0 1 RE 1.0 100.0\nTRANSFORMERS:\n 2 0 0\n 1 0  0.5 0.1 /\n 2 0  0.0 0.09 2.0 0.1 /\n",
             "V1 0 s1 PWL(0 0 5e-05 -100)\nR1 s1 n1 1.0\n"
             "VW1 n1 w1a DC 0\nRW1 w1a w1b 0.5\nLW1 w1b 0 0.1\n"
             "VW2 n2 w2a DC 0\nRW2 w2a w2b 2.0\nLW2 w2b 0 0.1\nK12 LW1 LW2 0.9\nRO n2 0 1e9\n",
             2, 2, 400});
}

// Winding 2 floating between nodes 2 and 3, winding 3 from node 3 to
// ground, each loaded.
TEST_F(TransformerNgspice, ThreeWindingsOneFloatingTwoSharingANode) {
    compare({"three_windings",
             "BRANCHES:\n 0 1 RE 1.0 100.0\n 2 3 R 10.0\n 3 0 R 5.0\n"
             "TRANSFORMERS:\n 3 0 0\n 1 0  0.5 0.1 /\n 2 3  0.0 0.05 1.0 0.1 /\n 3 0  0.0 0.04 0.0 0.03 1.5 0.1 /\n",
             "V1 0 s1 PWL(0 0 5e-05 -100)\nR1 s1 n1 1.0\nRL2 n2 n3 10.0\nRL3 n3 0 5.0\n"
             "VW1 n1 w1a DC 0\nRW1 w1a w1b 0.5\nLW1 w1b 0 0.1\n"
             "VW2 n2 w2a DC 0\nRW2 w2a w2b 1.0\nLW2 w2b n3 0.1\n"
             "VW3 n3 w3a DC 0\nRW3 w3a w3b 1.5\nLW3 w3b 0 0.1\n"
             "K12 LW1 LW2 0.5\nK13 LW1 LW3 0.4\nK23 LW2 LW3 0.3\n",
             3, 3, 600});
}

// Part of the secondary's load switched off inside a step, the solution
// interpolating to the instant; compared before it and from six leakage
// time constants after, as the jump is sampled at different instants.
TEST_F(TransformerNgspice, SwitchOpensInsideAStep) {
    const double ts = 100.37 * kDt, on = ts + kDt;
    std::ostringstream sw;
    sw.precision(17);
    sw << "S3 n2 n3 ctrl 0 swmod\nVc ctrl 0 PWL(0 1 " << on << " 1 " << on + 1e-6 * kDt << " 0)\n"
       << ".model swmod sw vt=0.5 vh=0 ron=0.001 roff=1e12\n";
    compare({"switch_opens",
             "PARAMETERS:\n INTERPOLATE = YES\nBRANCHES:\n 0 1 RE 1.0 100.0\n 3 0 R 10.0\n 2 0 R 100.0\n 2 3 S\n"
             "TRANSFORMERS:\n 2 0 0\n 1 0  0.5 0.1 /\n 2 0  0.0 0.09 2.0 0.1 /\n",
             "V1 0 s1 PWL(0 0 5e-05 -100)\nR1 s1 n1 1.0\nRL3 n3 0 10.0\nRL2 n2 0 100.0\n" + sw.str() +
                 "VW1 n1 w1a DC 0\nRW1 w1a w1b 0.5\nLW1 w1b 0 0.1\n"
                 "VW2 n2 w2a DC 0\nRW2 w2a w2b 2.0\nLW2 w2b 0 0.1\nK12 LW1 LW2 0.9\n",
             3, 2, 400, 4, ts, 0.1 * (1.0 - 0.81) / 102.0});
}

}  // namespace
