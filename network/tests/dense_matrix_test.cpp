// The dense matrix routines of the models: the scaled product against
// hand values, the inverses against the identity on random well-
// conditioned matrices, the determinant with its sign, and the singular
// case.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "network/dense_matrix.h"

namespace {

using Matrix = std::vector<double>;  // by columns, n rows

double& el(Matrix& a, int n, int i, int j) { return a[(i - 1) + n * (j - 1)]; }

// A matrix with every entry in [-1, 1] and a diagonal that outweighs its
// row, so that its condition stays small.
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

TEST(DenseMatrix, ScaledProductByHand) {
    // A = [1 2 3; 4 5 6], B = [7 8; 9 10; 11 12]: A B = [58 64; 139 154].
    const Matrix A = {1, 4, 2, 5, 3, 6}, B = {7, 9, 11, 8, 10, 12};
    Matrix C(4, -99.0);
    MATMULS(A.data(), B.data(), 2, 3, 2, C.data(), 0.5);
    EXPECT_EQ(C, (Matrix{29.0, 69.5, 32.0, 77.0}));
    MATMULS(A.data(), B.data(), 2, 3, 2, C.data(), -1.0);
    EXPECT_EQ(C, (Matrix{-58.0, -139.0, -64.0, -154.0}));
    MATMULS(A.data(), B.data(), 2, 3, 2, C.data(), 0.0);
    for (double c : C) EXPECT_EQ(c, 0.0);
}

TEST(DenseMatrix, ProductEdgeSizes) {
    const Matrix A = {1, 2}, B = {3, 4};
    Matrix C(4, -7.0);
    MATMULS(A.data(), B.data(), 2, 0, 2, C.data(), 1.0);  // no inner terms
    EXPECT_EQ(C, (Matrix{0.0, 0.0, 0.0, 0.0}));
    C.assign(4, -7.0);
    MATMULS(A.data(), B.data(), 0, 1, 2, C.data(), 1.0);
    MATMULS(A.data(), B.data(), 2, 1, 0, C.data(), 1.0);
    EXPECT_EQ(C, (Matrix{-7.0, -7.0, -7.0, -7.0}));
}

TEST(DenseMatrix, SwapMatrixIsItsOwnInverse) {
    Matrix a = {0, 1, 1, 0};
    std::vector<int32_t> L(2), M(2);
    double det = 0.0;
    GJINV(a.data(), 4, 2, det, L.data(), M.data());
    EXPECT_EQ(a, (Matrix{0, 1, 1, 0}));
    EXPECT_EQ(det, -1.0);
    EXPECT_EQ(L[0], 2);
    EXPECT_EQ(M[0], 1);
}

TEST(DenseMatrix, IdentityKeepsItsPivots) {
    const int n = 4;
    Matrix a(n * n, 0.0);
    for (int i = 1; i <= n; ++i) el(a, n, i, i) = 1.0;
    const Matrix id = a;
    std::vector<int32_t> L(n), M(n);
    double det = 0.0;
    GJINV(a.data(), n * n, n, det, L.data(), M.data());
    EXPECT_EQ(a, id);
    EXPECT_EQ(det, 1.0);
    for (int k = 1; k <= n; ++k) {
        EXPECT_EQ(L[k - 1], k);
        EXPECT_EQ(M[k - 1], k);
    }
}

TEST(DenseMatrix, DeterminantCarriesItsSign) {
    // Rows (2 -1 0), (1 3 2), (0 1 4): det = 2(12-2) + 1(4-0) = 24.
    Matrix a = {2, 1, 0, -1, 3, 1, 0, 2, 4};
    std::vector<int32_t> L(3), M(3);
    double det = 0.0;
    GJINV(a.data(), 9, 3, det, L.data(), M.data());
    EXPECT_NEAR(det, 24.0, 1e-12);
    // Two rows swapped: the sign turns.
    Matrix b = {1, 2, 0, 3, -1, 1, 2, 0, 4};
    GJINV(b.data(), 9, 3, det, L.data(), M.data());
    EXPECT_NEAR(det, -24.0, 1e-12);
}

TEST(DenseMatrix, ZeroRowGivesZeroDeterminant) {
    Matrix a = {1, 0, 2, 3, 0, 1, 5, 0, 7};  // row 2 is zero
    std::vector<int32_t> L(3), M(3);
    double det = 7.0;
    GJINV(a.data(), 9, 3, det, L.data(), M.data());
    EXPECT_EQ(det, 0.0);
}

TEST(DenseMatrix, EmptyMatrix) {
    double det = 0.0;
    GJINV(nullptr, 0, 0, det, nullptr, nullptr);
    EXPECT_EQ(det, 1.0);
    EXPECT_EQ(MATINV(nullptr, nullptr, 0, 0, nullptr, nullptr, nullptr), 0);
}

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

// The inverse of a non-symmetric matrix is not mixed up with that of its
// transpose.
TEST(DenseMatrix, NonSymmetricInverse) {
    // Rows (1 2), (3 4): inverse rows (-2 1), (1.5 -0.5).
    const Matrix a = {1, 3, 2, 4};
    Matrix W(4), B(4);
    std::vector<int32_t> L(2), M(2);
    ASSERT_EQ(MATINV(a.data(), B.data(), 2, 4, W.data(), L.data(), M.data()), 0);
    EXPECT_NEAR(B[0], -2.0, 1e-15);
    EXPECT_NEAR(B[1], 1.5, 1e-15);
    EXPECT_NEAR(B[2], 1.0, 1e-15);
    EXPECT_NEAR(B[3], -0.5, 1e-15);
}

TEST(DenseMatrix, SingularMatrixIsReported) {
    // Row 2 is half of row 1: the elimination ends on an exactly zero pivot.
    const Matrix a = {2, 1, 1, 4, 2, 1, 8, 4, 1};
    Matrix W(9), B(9, 42.0);
    std::vector<int32_t> L(3), M(3);
    EXPECT_EQ(MATINV(a.data(), B.data(), 3, 9, W.data(), L.data(), M.data()), 1);
    for (double b : B) EXPECT_EQ(b, 42.0) << "a singular matrix hands back nothing";
    const Matrix zero(4, 0.0);
    Matrix B2(4, 3.0), W2(4);
    EXPECT_EQ(MATINV(zero.data(), B2.data(), 2, 4, W2.data(), L.data(), M.data()), 1);
    EXPECT_EQ(B2, Matrix(4, 3.0));
}

}  // namespace
