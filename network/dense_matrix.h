// Small dense matrices of the models: a scaled product and two inverses.
// Matrices are 1-based in the routines' own terms and stored by columns,
// the leading dimension being the row count; callers pass the first
// element.
#pragma once

#include <cstdint>

// C := s * A * B, with A n x m, B m x p and C n x p. C must not share
// storage with A or B.
void MATMULS(const double* A, const double* B, int32_t n, int32_t m, int32_t p, double* C, double s);

// B := inverse of the n x n matrix A, A unchanged; W (n*n doubles), L and
// M (n integers each) are work areas, nn is not used. Returns 0 when the
// inverse was formed, 1 when A is singular: B is then left as it was.
int32_t MATINV(const double* A, double* B, int32_t n, int32_t nn, double* W, int32_t* L, int32_t* M);

// Inverts the n x n matrix A in place by Gauss-Jordan elimination with
// full pivoting; det gets the determinant, L and M the pivot rows and
// columns; nn is not used. A singular matrix gives det = 0.0 and leaves A
// partly transformed.
void GJINV(double* A, int32_t nn, int32_t n, double& det, int32_t* L, int32_t* M);
