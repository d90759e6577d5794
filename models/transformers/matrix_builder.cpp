#include <vector>

#include "engine/abort.h"
#include "engine/run_state.h"
#include "models/transformers/transformers.h"
#include "models/transformers/winding_data.h"
#include "models/xfmr_tables.h"
#include "network/dense_matrix.h"

int32_t XFMR_MATRIX(int32_t n, double f, double s, const double* x, const double* v, FArray2<double>& g) {
    const int32_t m = n - 1;
    for (int64_t p = 1; p <= g.size(); ++p) g.flat(p) = 0.0;
    // Winding n is the reference: the leakages of the others to it and
    // between each other, reduced to an m x m matrix (by columns).
    std::vector<double> a(static_cast<size_t>(m > 0 ? m * m : 0)), b(a.size()), w(a.size());
    std::vector<int32_t> l(static_cast<size_t>(m > 0 ? m : 0)), c(l.size());
    const auto at = [m](int32_t i, int32_t j) { return static_cast<size_t>((j - 1) * m + i - 1); };
    for (int32_t i = 1; i <= m; ++i) {
        const double xin = x[xfmr_pair(i, n)];
        a[at(i, i)] = xin;
        for (int32_t j = 1; j < i; ++j)
            a[at(i, j)] = a[at(j, i)] = 0.5 * (x[xfmr_pair(j, n)] + xin - x[xfmr_pair(j, i)]);
    }
    if (m > 0 && MATINV(a.data(), b.data(), m, m * m, w.data(), l.data(), c.data()) != 0) return 1;
    for (int32_t j = 1; j <= m; ++j)
        for (int32_t i = 1; i <= m; ++i) g(i, j) = b[at(i, j)];
    // Every row and column of the per-unit admittance adds up to zero.
    if (n >= 1) g(n, n) = 0.0;
    for (int32_t j = 1; j <= m; ++j) {
        double sum = 0.0;
        for (int32_t k = 1; k <= m; ++k) sum += b[at(k, j)];
        g(n, j) = g(j, n) = -sum;
        g(n, n) -= g(n, j);
    }
    std::vector<double> inv(static_cast<size_t>(n > 0 ? n : 0));
    for (int32_t i = 1; i <= n; ++i) inv[static_cast<size_t>(i - 1)] = 1.0 / v[i - 1];
    for (int32_t i = 1; i <= n; ++i)
        for (int32_t j = 1; j <= i; ++j) {
            g(i, j) = 6.283185307179586 * f * s * g(i, j) * inv[static_cast<size_t>(i - 1)] *
                      inv[static_cast<size_t>(j - 1)];
            g(j, i) = g(i, j);
        }
    return 0;
}

void xfmr_write_rlin(int32_t n, const FArray2<double>& m, const FArray1<double>& r) {
    FArray2<double>& rl = XFMR_TABLES.XF_RLIN;
    for (int32_t i = 1; i <= n; ++i)
        for (int32_t j = 1; j <= i; ++j) {
            rl(2 * j - 1, i) = j == i ? r(i) : 0.0;
            rl(2 * j, i) = m(j, i);
        }
}

void xfmr_unrealisable(const Text12& name) {
    USERMSG(CURRENT_IDS.id1, CURRENT_IDS.id2, 2, 1, "Unrealisable Transformer Leakage Values");
    ABORT_RUN(name, 0);
}
