// The dense matrix routines of the models: the scaled product by hand,
// the inverses against the identity on random well-conditioned matrices,
// the determinant's sign, and the singular case.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "network/dense_matrix.h"

namespace {

using Matrix = std::vector<double>;  // by columns, n rows

double& el(Matrix& a, int n, int i, int j) { return a[(i - 1) + n * (j - 1)]; }

// Entries in [-1, 1], a diagonal outweighing its row: a small condition number.
Matrix well_conditioned(int n, std::mt19937& gen) {
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    Matrix a(static_cast<size_t>(n * n));
    for (double& x : a) x = u(gen);
    for (int i = 1; i <= n; ++i) el(a, n, i, i) += (u(gen) < 0.0 ? -1.0 : 1.0) * (n + 1.0);
    return a;
}

double identity_error(const Matrix& a, const Matrix& inv, int n) {
    Matrix prod(static_cast<size_t>(n * n));
    MATMULS(a.data(), inv.data(), n, n, n, prod.data(), 1.0);
    double worst = 0.0;
    for (int i = 1; i <= n; ++i)
        for (int j = 1; j <= n; ++j) worst = std::max(worst, std::fabs(el(prod, n, i, j) - (i == j ? 1.0 : 0.0)));
    return worst;
}

// A = [1 2 3; 4 5 6], B = [7 8; 9 10; 11 12]: A B = [58 64; 139 154].
TEST(DenseMatrix, ScaledProductByHand) {
    const Matrix A = {1, 4, 2, 5, 3, 6}, B = {7, 9, 11, 8, 10, 12};
    Matrix C(4, -99.0);
    MATMULS(A.data(), B.data(), 2, 3, 2, C.data(), 0.5);
    EXPECT_EQ(C, (Matrix{29.0, 69.5, 32.0, 77.0}));
}

// Rows (2 -1 0), (1 3 2), (0 1 4): det 24; -24 with two rows swapped; 0 with a zero row.
TEST(DenseMatrix, DeterminantCarriesItsSign) {
    std::vector<int32_t> L(3), M(3);
    for (const auto& [a, want] : {std::pair{Matrix{2, 1, 0, -1, 3, 1, 0, 2, 4}, 24.0},
                                  {Matrix{1, 2, 0, 3, -1, 1, 2, 0, 4}, -24.0},
                                  {Matrix{1, 0, 2, 3, 0, 1, 5, 0, 7}, 0.0}}) {
        Matrix g = a;
        double det = 7.0;
        GJINV(g.data(), 9, 3, det, L.data(), M.data());
        EXPECT_NEAR(det, want, 1e-12);
    }
}

// A B = B A = I for random unsymmetric matrices, A unchanged; the inverse in place the same.
TEST(DenseMatrix, RandomInversesGiveTheIdentity) {
    std::mt19937 gen(20240611);
    for (int n = 1; n <= 12; ++n) {
        for (int trial = 0; trial < 5; ++trial) {
            const Matrix a = well_conditioned(n, gen);
            std::vector<int32_t> L(n), M(n);
            Matrix W(static_cast<size_t>(n * n)), B(static_cast<size_t>(n * n), 0.0);
            const Matrix before = a;
            ASSERT_EQ(MATINV(a.data(), B.data(), n, n * n, W.data(), L.data(), M.data()), 0);
            EXPECT_EQ(a, before) << "A must not change";
            EXPECT_LT(identity_error(a, B, n), 1e-12) << n;
            EXPECT_LT(identity_error(B, a, n), 1e-12) << n;

            Matrix g = a;
            double det = 0.0;
            GJINV(g.data(), n * n, n, det, L.data(), M.data());
            EXPECT_NE(det, 0.0);
            EXPECT_LT(identity_error(a, g, n), 1e-12) << n;
            for (size_t k = 0; k < g.size(); ++k) EXPECT_NEAR(g[k], B[k], 1e-13) << n;
        }
    }
}

// A row half of another, or all zeros: reported, and nothing handed back.
TEST(DenseMatrix, SingularMatrixIsReported) {
    std::vector<int32_t> L(3), M(3);
    for (const auto& [a, n] : {std::pair{Matrix{2, 1, 1, 4, 2, 1, 8, 4, 1}, 3}, {Matrix(4, 0.0), 2}}) {
        Matrix W(a.size()), B(a.size(), 42.0);
        EXPECT_EQ(MATINV(a.data(), B.data(), n, n * n, W.data(), L.data(), M.data()), 1);
        EXPECT_EQ(B, Matrix(a.size(), 42.0));
    }
}

}  // namespace
