// The transformer part of a pass's results and of the close of a
// subsystem's step: winding currents at the pass's fraction, the history
// and magnetic-circuit values interpolated to a switching instant, and
// the total winding currents that the meters read.
#include <emmintrin.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "models/xfmr_tables.h"
#include "network/network_tables.h"
#include "network/solution_columns.h"
#include "network/solution_hooks.h"
#include "network/winding_sums.h"

namespace {

// Moves the present value x towards from by fraction: old + f (x - old).
inline void toward(double& x, double old, double fraction) { x = old + fraction * (x - old); }

// The same for x[0..n), two at a time.
inline void toward(double* x, const double* old, int32_t n, double fraction) {
    const __m128d f = _mm_set1_pd(fraction);
    int32_t k = 0;
    for (; k + 2 <= n; k += 2) {
        const __m128d o = _mm_loadu_pd(old + k);
        _mm_storeu_pd(x + k, _mm_add_pd(o, _mm_mul_pd(f, _mm_sub_pd(_mm_loadu_pd(x + k), o))));
    }
    for (; k < n; ++k) toward(x[k], old[k], fraction);
}

constexpr int32_t kFluxes = 23;  // magnetic branch values of a core

// Transformer t's column of a (rows, transformers) table.
inline double* plane(FArray2<double>& a, int32_t t) { return a.data() + a.extent(1) * (t - 1); }

}  // namespace

// The tables' winding numbers and nodes were checked when the section was
// read, so the loops index the planes directly.
void XFMR_CURRENTS(int32_t ss, double fraction, bool partial, bool opening, bool resolving) {
    XfmrTables& X = XFMR_TABLES;
    const Col<double> v = column(NET.VSOL);
    const int64_t w = X.XF_CUR.extent(1);
    const int32_t total = X.XF_COUNT;
    static std::vector<double> vw;
    static std::vector<double> is;
    if (vw.size() < static_cast<size_t>(w)) vw.resize(static_cast<size_t>(w));
    if (is.size() < static_cast<size_t>(w)) is.resize(static_cast<size_t>(w));
    for (int32_t t = 1; t <= total; ++t) {
        if (std::abs(X.XF_SUBSYS(t)) != ss) continue;
        const int32_t n = X.XF_NWDG(t);
        const int64_t at = w * (t - 1);
        const int32_t* n1 = X.XF_NODE1.data() + at;
        const int32_t* n2 = X.XF_NODE2.data() + at;
        const double* g = X.XF_GEQ.data() + w * at;
        double* cur = X.XF_CUR.data() + at;
        double* hnew = X.XF_HNEW.data() + at;
        const double* hold = X.XF_HOLD.data() + at;
        for (int32_t k = 0; k < n; ++k)
            vw[k] = (n1[k] != 0 ? v[n1[k]] : 0.0) - (n2[k] != 0 ? v[n2[k]] : 0.0);
        double* const sums = is.data();
        winding_sums(n, w, g, vw.data(), opening ? hold : hnew, sums);
        for (int32_t j = 0; j < n; ++j) {
            const double i = sums[j];
            cur[j] = partial ? cur[j] + fraction * (i - cur[j]) : i;
        }
        if (resolving) continue;
        toward(hnew, hold, n, fraction);
        if (X.XF_KIND(t) != 1) continue;
        double* imag = plane(X.XF_IMAG, t);
        const double* imag_old = plane(X.XF_IMAGOLD, t);
        double* vw_kept = plane(X.XF_VW, t);
        double* vw_old = plane(X.XF_VWOLD, t);
        toward(imag, imag_old, n, fraction);
        toward(vw_kept, vw_old, n, fraction);
        std::copy_n(vw_kept, n, vw_old);
        double* flux = plane(X.XF_BFLUX, t);
        const double* flux_old = plane(X.XF_BFLUXOLD, t);
        toward(flux, flux_old, kFluxes, fraction);
    }
}

void XFMR_ROLLOVER(int32_t ss) {
    XfmrTables& X = XFMR_TABLES;
    const int64_t w = X.XF_CUR.extent(1);
    const int32_t total = X.XF_COUNT;
    for (int32_t t = 1; t <= total; ++t) {
        if (std::abs(X.XF_SUBSYS(t)) != ss) continue;
        const int64_t at = w * (t - 1);
        const double* hnew = X.XF_HNEW.data() + at;
        const double* cur = X.XF_CUR.data() + at;
        const double* imag = X.XF_IMAG.data() + at;
        double* hold = X.XF_HOLD.data() + at;
        double* total_cur = X.XF_CURTOT.data() + at;
        for (int32_t j = 0; j < X.XF_NWDG(t); ++j) {
            hold[j] = hnew[j];
            total_cur[j] = cur[j] + imag[j];
        }
    }
}
