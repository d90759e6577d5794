#include "network/transformer_step.h"

#include <algorithm>
#include <cstdlib>

#include "engine/abort.h"
#include "engine/model_helpers.h"
#include "models/models.h"
#include "models/xfmr_tables.h"
#include "network/network_tables.h"
#include "network/solution_columns.h"
#include "platform/text_units.h"

namespace {

// Form code of a transformer whose magnetic circuit saturates.
constexpr int32_t kSaturable = 1;

}  // namespace

void DSMDYN(int32_t ss) {
    NetworkTables& N = NET;
    const Col<double> hist = column(N.CHIST, ss), histd = column(N.CHISTD, ss);
    const int32_t n = N.NBUSES(ss);
    std::copy(hist.p, hist.p + n, histd.p);
    std::fill(hist.p, hist.p + n, 0.0);

    XfmrTables& X = XFMR_TABLES;
    const int32_t mine = X.XF_NSS.in_range(ss) ? X.XF_NSS(ss) : 0;
    const int32_t total = XFMR_COUNT.total;
    if (mine == 0 || total <= 0) return;
    int32_t count = 0;
    for (int32_t t = 1; t <= total; ++t) {
        if (std::abs(X.XF_SUBSYS(t)) != ss) continue;
        if (++count > mine) {
            write_list(UNIT_CONSOLE_OUT, {"ERROR during solution of transformers!"});
            write_list(UNIT_CONSOLE_OUT, {"Transformer Subsystem Numbers are mis-aligned!"});
            ABORT_RUN("DSMDYN", 0);
        }
        const int32_t n = X.XF_NWDG(t);
        // Voltages and currents as the span left them, before the
        // saturation update moves anything.
        for (int32_t j = 1; j <= n; ++j) {
            X.XF_WV(j) = NODEVDIFF(ss, X.XF_NODE1(j, t), X.XF_NODE2(j, t));
            X.XF_WI(j) = X.XF_CUR(j, t);
        }
        if (X.XF_KIND(t) == kSaturable) XFMR_SATDYN(ss, t);
        for (int32_t j = 1; j <= n; ++j) {
            double h = 0.0;
            for (int32_t k = 1; k <= n; ++k) h = h + X.XF_GEQ(j, k, t) * X.XF_WV(k) + X.XF_HIST(j, k, t) * X.XF_WI(k);
            X.XF_HOLD(j, t) = X.XF_HNEW(j, t);
            X.XF_HNEW(j, t) = h;
            const int32_t a = X.XF_NODE1(j, t), b = X.XF_NODE2(j, t);
            if (a != 0) N.CHIST(a, ss) = X.XF_IMAG(j, t) + N.CHIST(a, ss) + X.XF_HNEW(j, t);
            if (b != 0) N.CHIST(b, ss) = N.CHIST(b, ss) - X.XF_HNEW(j, t) - X.XF_IMAG(j, t);
        }
    }
}
