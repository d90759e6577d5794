#include "network/dense_matrix.h"

#include <cmath>

namespace {

// 1-based element (i, j) of a matrix with leading dimension ld.
inline double& at(double* a, int32_t ld, int32_t i, int32_t j) {
    return a[(i - 1) + static_cast<int64_t>(ld) * (j - 1)];
}
inline double at(const double* a, int32_t ld, int32_t i, int32_t j) {
    return a[(i - 1) + static_cast<int64_t>(ld) * (j - 1)];
}

}  // namespace

void MATMULS(const double* A, const double* B, int32_t n, int32_t m, int32_t p, double* C, double s) {
    for (int32_t i = 1; i <= n; ++i) {
        for (int32_t j = 1; j <= p; ++j) {
            double& c = at(C, n, i, j);
            c = 0.0;
            for (int32_t k = 1; k <= m; ++k) c = c + s * at(B, m, k, j) * at(A, n, i, k);
        }
    }
}

int32_t MATINV(const double* A, double* B, int32_t n, int32_t nn, double* W, int32_t* L, int32_t* M) {
    if (n < 1) return 0;
    // W takes A row after row and B is read back the same way: the two
    // transpositions cancel around the inversion.
    int64_t k = 0;
    for (int32_t i = 1; i <= n; ++i)
        for (int32_t j = 1; j <= n; ++j) W[k++] = at(A, n, i, j);
    double det = 0.0;
    GJINV(W, nn, n, det, L, M);
    if (det == 0.0) return 1;
    k = 0;
    for (int32_t i = 1; i <= n; ++i)
        for (int32_t j = 1; j <= n; ++j) at(B, n, i, j) = W[k++];
    return 0;
}

void GJINV(double* A, int32_t /*nn*/, int32_t n, double& det, int32_t* L, int32_t* M) {
    det = 1.0;
    if (n < 1) return;
    auto a = [A, n](int32_t i, int32_t j) -> double& { return at(A, n, i, j); };
    for (int32_t k = 1; k <= n; ++k) {
        double big = a(k, k);
        L[k - 1] = k;
        M[k - 1] = k;
        for (int32_t j = k; j <= n; ++j) {
            for (int32_t i = k; i <= n; ++i) {
                if (std::fabs(a(i, j)) > std::fabs(big)) {
                    big = a(i, j);
                    L[k - 1] = i;
                    M[k - 1] = j;
                }
            }
        }
        const int32_t row = L[k - 1], col = M[k - 1];
        if (row > k) {
            for (int32_t j = 1; j <= n; ++j) {
                const double hold = -a(k, j);
                a(k, j) = a(row, j);
                a(row, j) = hold;
            }
        }
        if (col > k) {
            for (int32_t i = 1; i <= n; ++i) {
                const double hold = -a(i, k);
                a(i, k) = a(i, col);
                a(i, col) = hold;
            }
        }
        if (big == 0.0) {
            det = 0.0;
            return;
        }
        for (int32_t i = 1; i <= n; ++i)
            if (i != k) a(i, k) = a(i, k) / (-big);
        for (int32_t i = 1; i <= n; ++i) {
            if (i == k) continue;
            for (int32_t j = 1; j <= n; ++j)
                if (j != k) a(i, j) = a(i, k) * a(k, j) + a(i, j);
        }
        for (int32_t j = 1; j <= n; ++j)
            if (j != k) a(k, j) = a(k, j) / big;
        det = det * big;
        a(k, k) = 1.0 / big;
    }
    for (int32_t k = n - 1; k >= 1; --k) {
        const int32_t row = L[k - 1], col = M[k - 1];
        if (row > k) {
            for (int32_t i = 1; i <= n; ++i) {
                const double hold = a(i, k);
                a(i, k) = -a(i, row);
                a(i, row) = hold;
            }
        }
        if (col > k) {
            for (int32_t j = 1; j <= n; ++j) {
                const double hold = a(k, j);
                a(k, j) = -a(col, j);
                a(col, j) = hold;
            }
        }
    }
}
