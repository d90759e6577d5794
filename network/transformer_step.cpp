#include "network/transformer_step.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "engine/abort.h"
#include "models/xfmr_tables.h"
#include "network/network_tables.h"
#include "network/solution_columns.h"
#include "network/solution_loops.h"
#include "network/subsystem_columns.h"
#include "network/winding_sums.h"
#include "platform/text_units.h"

namespace {

// Form code of a transformer whose magnetic circuit saturates.
constexpr int32_t kSaturable = 1;

}  // namespace

void DSMDYN(int32_t ss) {
    NetworkTables& N = NET;
    const SubsystemColumns& C = subsystem_columns(ss);
    const Col<double> hist = C.chist, histd = C.chistd, vnode = C.vnode;
    const int32_t n = N.NBUSES(ss);
    restart_history(n, hist.p, histd.p);

    XfmrTables& X = XFMR_TABLES;
    const int32_t mine = X.XF_NSS.in_range(ss) ? X.XF_NSS(ss) : 0;
    const int32_t total = X.XF_COUNT;
    const int64_t w = X.XF_CUR.extent(1);
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
        // The section reader checked the winding count and nodes: the
        // planes are walked directly.
        const int64_t at = w * (t - 1);
        // Voltages and currents as the span left them, before the
        // saturation update moves anything.
        {
            const int32_t* n1 = X.XF_NODE1.data() + at;
            const int32_t* n2 = X.XF_NODE2.data() + at;
            const double* cur = X.XF_CUR.data() + at;
            double* wv = X.XF_WV.data();
            double* wi = X.XF_WI.data();
            for (int32_t j = 0; j < n; ++j) {
                wv[j] = (n1[j] == 0 ? 0.0 : vnode[n1[j]]) - (n2[j] == 0 ? 0.0 : vnode[n2[j]]);
                wi[j] = cur[j];
            }
        }
        if (X.XF_KIND(t) == kSaturable) XFMR_SATDYN(ss, t);
        const double* g = X.XF_GEQ.data() + w * at;
        const double* hm = X.XF_HIST.data() + w * at;
        const double* wv = X.XF_WV.data();
        const double* wi = X.XF_WI.data();
        const int32_t* n1 = X.XF_NODE1.data() + at;
        const int32_t* n2 = X.XF_NODE2.data() + at;
        const double* imag = X.XF_IMAG.data() + at;
        double* hnew = X.XF_HNEW.data() + at;
        double* hold = X.XF_HOLD.data() + at;
        static std::vector<double> kept_sums;
        if (kept_sums.size() < static_cast<size_t>(w)) kept_sums.resize(static_cast<size_t>(w));
        double* const sums = kept_sums.data();
        winding_sums(n, w, g, wv, hm, wi, sums);
        for (int32_t j = 0; j < n; ++j) {
            const double h = sums[j];
            hold[j] = hnew[j];
            hnew[j] = h;
            const int32_t a = n1[j], b = n2[j];
            if (a != 0) hist[a] = imag[j] + hist[a] + h;
            if (b != 0) hist[b] = hist[b] - h - imag[j];
        }
    }
}
