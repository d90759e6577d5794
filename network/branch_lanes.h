// Lanes for the loops that walk whole branch columns: one branch (Lane1)
// or four neighbouring branches in AVX2 registers (Lane4). A loop body
// written once over a lane type does the same operations on every element
// either way, so its results are the same to the bit. A lane is chosen
// with a mask rather than a branch; Lane4 reads a mask's sign bits.
#pragma once

#include <immintrin.h>

#include <cstdint>

// Bits of a branch's lane byte (BranchPlan::lane).
enum LaneBit : uint8_t {
    LB_SERIES = 7,     // a series branch (network/series_results.h)
    LB_SERIES_L = 6,   // a series branch with an inductor
    LB_SERIES_C = 5,   // a series branch with a capacitor
    LB_VSOURCE = 4,    // a branch with a voltage-source record
    LB_SOURCED = 3,    // a series branch with a source EMF
    LB_WALKED_L = 2,   // a series or sourced branch with an inductor
    LB_WALKED_C = 1,   // a series or sourced branch with a capacitor
};

struct Lane1 {
    static constexpr int64_t width = 1;
    using D = double;
    using M = bool;

    static D load(const double* p) { return *p; }
    static void store(double* p, D v) { *p = v; }
    // v where m holds, old (what p holds) elsewhere.
    static void store_where(double* p, M m, D v, D old) { *p = m ? v : old; }
    static void store_where(double* p, M m, D v) {
        if (m) *p = v;
    }
    static D gather(const double* x, const int32_t* at) { return x[*at]; }
    static D gather(const double* x, const int32_t* at, int64_t) { return x[*at]; }
    static D splat(double v) { return v; }
    template <int Bit>
    static M flag(const uint8_t* lane) {
        return ((*lane >> Bit) & 1) != 0;
    }
    static M logicals(const int32_t* p) { return (*p & 1) != 0; }
    static M none() { return false; }
    static D pick(M m, D a, D b) { return m ? a : b; }
    static M both(M a, M b) { return a && b; }
    static M but(M a, M b) { return a && !b; }
    static M either(M a, M b) { return a || b; }
    static M differ(M a, M b) { return a != b; }
    static M less(D a, D b) { return a < b; }
    static M less_equal(D a, D b) { return a <= b; }
    static M greater(D a, D b) { return a > b; }
    static D magnitude(D v) { return __builtin_fabs(v); }
    static D load_count(const int32_t* p) { return *p; }
    static void store_count(int32_t* p, D c) { *p = static_cast<int32_t>(c); }
    static bool any(M m) { return m; }
};

#pragma GCC push_options
#pragma GCC target("avx2")

struct Lane4 {
    static constexpr int64_t width = 4;
    using D = __m256d;
    using M = __m256d;

    static D load(const double* p) { return _mm256_loadu_pd(p); }
    static void store(double* p, D v) { _mm256_storeu_pd(p, v); }
    static void store_where(double* p, M m, D v, D old) { _mm256_storeu_pd(p, _mm256_blendv_pd(old, v, m)); }
    static void store_where(double* p, M m, D v) { store_where(p, m, v, load(p)); }
    static D gather(const double* x, const int32_t* at) {
        const __m128i index = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
        const __m256d every = _mm256_castsi256_pd(_mm256_set1_epi64x(-1));
        return _mm256_mask_i32gather_pd(_mm256_setzero_pd(), x, index, every, 8);
    }
    static D gather(const double* x, const int32_t* at, int64_t) { return gather(x, at); }
    static D splat(double v) { return _mm256_set1_pd(v); }
    template <int Bit>
    static M flag(const uint8_t* lane) {
        int32_t four;
        __builtin_memcpy(&four, lane, sizeof four);
        const __m128i bytes = _mm_cvtsi32_si128(four);
        // Bit 7 is the sign bit of a byte widened with its sign.
        if (Bit == 7) return _mm256_castsi256_pd(_mm256_cvtepi8_epi64(bytes));
        return _mm256_castsi256_pd(_mm256_slli_epi64(_mm256_cvtepu8_epi64(bytes), 63 - Bit));
    }
    static M logicals(const int32_t* p) {
        const __m128i v = _mm_slli_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)), 31);
        return _mm256_castsi256_pd(_mm256_cvtepi32_epi64(v));
    }
    static M none() { return _mm256_setzero_pd(); }
    static D pick(M m, D a, D b) { return _mm256_blendv_pd(b, a, m); }
    static M both(M a, M b) { return _mm256_and_pd(a, b); }
    static M but(M a, M b) { return _mm256_andnot_pd(b, a); }
    static M either(M a, M b) { return _mm256_or_pd(a, b); }
    static M differ(M a, M b) { return _mm256_xor_pd(a, b); }
    static M less(D a, D b) { return _mm256_cmp_pd(a, b, _CMP_LT_OQ); }
    static M less_equal(D a, D b) { return _mm256_cmp_pd(a, b, _CMP_LE_OQ); }
    static M greater(D a, D b) { return _mm256_cmp_pd(a, b, _CMP_GT_OQ); }
    static D magnitude(D v) { return _mm256_andnot_pd(_mm256_set1_pd(-0.0), v); }
    static D load_count(const int32_t* p) {
        return _mm256_cvtepi32_pd(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
    }
    static void store_count(int32_t* p, D c) {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(p), _mm256_cvttpd_epi32(c));
    }
    static bool any(M m) { return _mm256_movemask_pd(m) != 0; }
};

#pragma GCC pop_options

#pragma GCC push_options
#pragma GCC target("avx512f,avx512bw,avx512vl,avx512dq")

// Eight branches in AVX-512 registers; a mask is one bit per lane.
struct Lane8 {
    static constexpr int64_t width = 8;
    using D = __m512d;
    using M = __mmask8;

    static D load(const double* p) { return _mm512_loadu_pd(p); }
    static void store(double* p, D v) { _mm512_storeu_pd(p, v); }
    static void store_where(double* p, M m, D v, D) { _mm512_mask_storeu_pd(p, m, v); }
    static void store_where(double* p, M m, D v) { _mm512_mask_storeu_pd(p, m, v); }
    static D gather(const double* x, const int32_t* at) {
        const __m256i index = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at));
        return _mm512_mask_i32gather_pd(_mm512_setzero_pd(), 0xff, index, x, 8);
    }
    // The same where x has at least readable entries (none: the gather
    // alone): when the lanes'
    // nonzero indices lie within eight of their least, one load of those
    // eight and a permutation give the lanes, index 0 taking x[0]; the
    // processor's gather is slower than both.
    static D gather(const double* x, const int32_t* at, int64_t readable) {
        if (readable == 0) return gather(x, at);
        const __m256i index = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at));
        const __mmask8 set = _mm256_test_epi32_mask(index, index);
        __m256i least = _mm256_mask_blend_epi32(set, _mm256_set1_epi32(-1), index);
        least = _mm256_min_epu32(least, _mm256_permute2x128_si256(least, least, 1));
        least = _mm256_min_epu32(least, _mm256_shuffle_epi32(least, 0x4E));
        least = _mm256_min_epu32(least, _mm256_shuffle_epi32(least, 0xB1));
        const __m256i offset = _mm256_sub_epi32(index, least);
        const int64_t base = set ? static_cast<uint32_t>(_mm256_cvtsi256_si32(least)) : 0;
        const __mmask8 far = _mm256_mask_cmpgt_epu32_mask(set, offset, _mm256_set1_epi32(7));
        if (far != 0 || base + 8 > readable) [[unlikely]]
            return _mm512_mask_i32gather_pd(_mm512_setzero_pd(), 0xff, index, x, 8);
        const __m512d window = _mm512_loadu_pd(x + base);
        return _mm512_mask_permutexvar_pd(_mm512_set1_pd(x[0]), set, _mm512_maskz_cvtepu32_epi64(0xff, offset), window);
    }
    static D splat(double v) { return _mm512_set1_pd(v); }
    template <int Bit>
    static M flag(const uint8_t* lane) {
        const __m128i bytes = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(lane));
        return static_cast<M>(_mm_test_epi8_mask(bytes, _mm_set1_epi8(static_cast<char>(1 << Bit))));
    }
    static M logicals(const int32_t* p) {
        const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
        return _mm256_test_epi32_mask(v, _mm256_set1_epi32(1));
    }
    static M none() { return 0; }
    static D pick(M m, D a, D b) { return _mm512_mask_blend_pd(m, b, a); }
    static M both(M a, M b) { return a & b; }
    static M but(M a, M b) { return a & static_cast<M>(~b); }
    static M either(M a, M b) { return a | b; }
    static M differ(M a, M b) { return a ^ b; }
    static M less(D a, D b) { return _mm512_cmp_pd_mask(a, b, _CMP_LT_OQ); }
    static M less_equal(D a, D b) { return _mm512_cmp_pd_mask(a, b, _CMP_LE_OQ); }
    static M greater(D a, D b) { return _mm512_cmp_pd_mask(a, b, _CMP_GT_OQ); }
    static D magnitude(D v) { return _mm512_abs_pd(v); }
    static D load_count(const int32_t* p) {
        return _mm512_maskz_cvtepi32_pd(0xff, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)));
    }
    static void store_count(int32_t* p, D c) {
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), _mm512_maskz_cvttpd_epi32(0xff, c));
    }
    static bool any(M m) { return m != 0; }
};

#pragma GCC pop_options
