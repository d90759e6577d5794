#include "controls/filters/polynomials.h"

#include <algorithm>
#include <array>

namespace {

using ComplexPoly = std::array<Complex, kPolySize>;

// p := p * (c0 + c1 s + c2 s²), terms above s^10 dropped.
void multiply(ComplexPoly& p, Complex c0, Complex c1, Complex c2) {
    ComplexPoly r{};
    for (int32_t i = 0; i < kPolySize; ++i) {
        if (p[i] == 0.0) continue;
        r[i] += p[i] * c0;
        if (i + 1 < kPolySize) r[i + 1] += p[i] * c1;
        if (i + 2 < kPolySize) r[i + 2] += p[i] * c2;
    }
    p = r;
}

void real_parts(const ComplexPoly& p, double* result) {
    for (int32_t i = 0; i < kPolySize; ++i) result[i] = p[i].real();
}

}  // namespace

void POLY_ROOTS(const Complex* roots, int32_t n, double* result) {
    ComplexPoly p{};
    p[0] = 1.0;
    for (int32_t k = 0; k < n; ++k) multiply(p, -roots[k], 1.0, 0.0);
    real_parts(p, result);
}

void POLY_QUAD_PROD(const Complex* A, const Complex* B, const Complex* C, int32_t n, double* result) {
    ComplexPoly p{};
    p[0] = 1.0;
    for (int32_t k = 0; k < n; ++k) multiply(p, C[k], B[k], A[k]);
    real_parts(p, result);
}

void poly_fscale(int32_t N, double wc, int32_t mode, double* a, double* b) {
    if (mode != 1 && mode != 2) return;
    N = std::clamp(N, 0, kPolySize - 1);
    double power = 1.0;
    for (int32_t i = 0; i <= N; ++i) {
        if (mode == 1) {
            a[i] /= power;
            b[i] /= power;
        } else {
            a[i] *= power;
            b[i] *= power;
        }
        power *= wc;
    }
    if (mode == 2) {
        std::reverse(a, a + N + 1);
        std::reverse(b, b + N + 1);
    }
}

void POLY_FSCALE(const int32_t& N, const double& wc, const int32_t& mode, double* a, double* b) {
    poly_fscale(N, wc, mode, a, b);
}
