// A transformer's winding sums, two windings at a time in the two lanes of
// a vector: each winding's sum takes its terms in the same order as when
// summed alone, so every result is the same to the bit.
#pragma once

#include <emmintrin.h>

#include <cstdint>

// out[j] = start[j] + g(j,0) x[0] + g(j,1) x[1] + ... for j < n, added left
// to right, with g(j, k) = g[j + w k].
inline void winding_sums(int32_t n, int64_t w, const double* g, const double* x, const double* start, double* out) {
    int32_t j = 0;
    for (; j + 2 <= n; j += 2) {
        __m128d s = _mm_loadu_pd(start + j);
        for (int32_t k = 0; k < n; ++k)
            s = _mm_add_pd(s, _mm_mul_pd(_mm_loadu_pd(g + j + w * k), _mm_set1_pd(x[k])));
        _mm_storeu_pd(out + j, s);
    }
    for (; j < n; ++j) {
        double s = start[j];
        for (int32_t k = 0; k < n; ++k) s += g[j + w * k] * x[k];
        out[j] = s;
    }
}

// out[j] = 0 + g(j,0) x[0] + h(j,0) y[0] + g(j,1) x[1] + h(j,1) y[1] + ...,
// added left to right.
inline void winding_sums(int32_t n, int64_t w, const double* g, const double* x, const double* h, const double* y,
                         double* out) {
    int32_t j = 0;
    for (; j + 2 <= n; j += 2) {
        __m128d s = _mm_setzero_pd();
        for (int32_t k = 0; k < n; ++k) {
            s = _mm_add_pd(s, _mm_mul_pd(_mm_loadu_pd(g + j + w * k), _mm_set1_pd(x[k])));
            s = _mm_add_pd(s, _mm_mul_pd(_mm_loadu_pd(h + j + w * k), _mm_set1_pd(y[k])));
        }
        _mm_storeu_pd(out + j, s);
    }
    for (; j < n; ++j) {
        double s = 0.0;
        for (int32_t k = 0; k < n; ++k) s = s + g[j + w * k] * x[k] + h[j + w * k] * y[k];
        out[j] = s;
    }
}
