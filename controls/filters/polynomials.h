// Polynomials of the filter and transfer-function blocks: 11 coefficients
// in ascending powers of s (index 0 the constant term), order at most 10.
#pragma once

#include <complex>
#include <cstdint>

inline constexpr int32_t kPolySize = 11;
using Complex = std::complex<double>;

// Real parts of the coefficients of the product of (s - root(k)), k = 1..n.
void POLY_ROOTS(const Complex* roots, int32_t n, double* result);
// Real parts of the coefficients of the product of C(k) + B(k) s + A(k) s².
void POLY_QUAD_PROD(const Complex* A, const Complex* B, const Complex* C, int32_t n, double* result);
// Both polynomials of order N scaled in place: mode 1 s -> s/wc, mode 2
// s -> wc/s (coefficients reversed over 0..N), any other mode nothing.
void POLY_FSCALE(const int32_t& N, const double& wc, const int32_t& mode, double* a, double* b);
void poly_fscale(int32_t N, double wc, int32_t mode, double* a, double* b);
