// The transformer part of a pass's results and of the close of a
// subsystem's step: winding currents at the pass's fraction, the history
// and magnetic-circuit values interpolated to a switching instant, and
// the total winding currents that the meters read.
#include <cstdlib>

#include "models/xfmr_tables.h"
#include "network/network_tables.h"
#include "network/solution_columns.h"
#include "network/solution_hooks.h"

namespace {

// Moves the present value x towards from by fraction: old + f (x - old).
inline void toward(double& x, double old, double fraction) { x = old + fraction * (x - old); }

}  // namespace

void XFMR_CURRENTS(int32_t ss, double fraction, bool partial, bool opening, bool resolving) {
    XfmrTables& X = XFMR_TABLES;
    const Col<double> v = column(NET.VSOL);
    const int32_t total = X.XF_COUNT;
    for (int32_t t = 1; t <= total; ++t) {
        if (std::abs(X.XF_SUBSYS(t)) != ss) continue;
        const int32_t n = X.XF_NWDG(t);
        for (int32_t j = 1; j <= n; ++j) {
            double i = opening ? X.XF_HOLD(j, t) : X.XF_HNEW(j, t);
            for (int32_t k = 1; k <= n; ++k) {
                const int32_t a = X.XF_NODE1(k, t), b = X.XF_NODE2(k, t);
                i += X.XF_GEQ(j, k, t) * ((a != 0 ? v[a] : 0.0) - (b != 0 ? v[b] : 0.0));
            }
            double& cur = X.XF_CUR(j, t);
            cur = partial ? cur + fraction * (i - cur) : i;
        }
        if (resolving) continue;
        for (int32_t j = 1; j <= n; ++j) toward(X.XF_HNEW(j, t), X.XF_HOLD(j, t), fraction);
        if (X.XF_KIND(t) != 1) continue;
        for (int32_t j = 1; j <= n; ++j) {
            toward(X.XF_IMAG(j, t), X.XF_IMAGOLD(j, t), fraction);
            toward(X.XF_VW(j, t), X.XF_VWOLD(j, t), fraction);
            X.XF_VWOLD(j, t) = X.XF_VW(j, t);
        }
        for (int32_t b = 1; b <= 23; ++b) toward(X.XF_BFLUX(b, t), X.XF_BFLUXOLD(b, t), fraction);
    }
}

void XFMR_ROLLOVER(int32_t ss) {
    XfmrTables& X = XFMR_TABLES;
    const int32_t total = X.XF_COUNT;
    for (int32_t t = 1; t <= total; ++t) {
        if (std::abs(X.XF_SUBSYS(t)) != ss) continue;
        for (int32_t j = 1; j <= X.XF_NWDG(t); ++j) {
            X.XF_HOLD(j, t) = X.XF_HNEW(j, t);
            X.XF_CURTOT(j, t) = X.XF_CUR(j, t) + X.XF_IMAG(j, t);
        }
    }
}
