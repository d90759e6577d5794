#include "network/switch_set_up.h"

#include <cmath>
#include <cstdlib>

#include <immintrin.h>

#include "network/solution_loops.h"

namespace {

inline __attribute__((always_inline)) bool one_switch(const SwitchSetUp& c, int32_t b, bool interpolate,
                                                      int32_t*& due) {
    c.instant[b] = 1.5;
    const int32_t kind = std::abs(c.code[b]);
    const bool may = interpolate && kind != 0 && kind != 6;
    c.pending[b] = as_logical(may);
    *due = b;
    due += may ? 1 : 0;
    c.count[b] = (kind == 5 || kind == 15) ? 0 : 10;
    const double before = c.geqd[b];
    const bool changed = std::fabs(before - c.geq[b]) > 1e-10 * std::fabs(before);
    c.brchg[b] = as_logical(changed);
    return changed;
}

bool set_up_plain(const SwitchSetUp& c, int32_t ns, bool interpolate, int32_t*& next_due) {
    int32_t* due = next_due;
    bool any = false;
    for (int32_t k = 1; k <= ns; ++k) any |= one_switch(c, c.list[k], interpolate, due);
    next_due = due;
    return any;
}

// For each set of four flags, the positions of the set ones first, in
// their order: the listed switches packed to the front of four words.
struct PackOrder {
    alignas(16) int32_t at[16][4];
    constexpr PackOrder() : at{} {
        for (int m = 0; m < 16; ++m) {
            int n = 0;
            for (int j = 0; j < 4; ++j)
                if (m & (1 << j)) at[m][n++] = j;
            while (n < 4) at[m][n++] = 0;
        }
    }
};
constexpr PackOrder kPack;

// Four switches at a time: their words gathered, the kinds and the
// conductance changes decided side by side, then written switch by switch
// in the list's order.
template <bool Interpolate>
__attribute__((target("avx2"))) bool set_up_avx2(const SwitchSetUp& c, int32_t ns, int32_t*& next_due) {
    int32_t* due = next_due;
    const int* code = c.code.p - 1;
    const double* geq = c.geq.p - 1;
    const double* geqd = c.geqd.p - 1;
    const __m128i k0 = _mm_setzero_si128(), k5 = _mm_set1_epi32(5), k6 = _mm_set1_epi32(6),
                  k15 = _mm_set1_epi32(15), ten = _mm_set1_epi32(10);
    const __m256d sign = _mm256_set1_pd(-0.0), scale = _mm256_set1_pd(1e-10), zero = _mm256_setzero_pd();
    const __m256d all = _mm256_castsi256_pd(_mm256_set1_epi64x(-1));
    int any = 0;
    int32_t k = 1;
    for (; k + 3 <= ns; k += 4) {
        const int32_t* at = c.list.p + (k - 1);
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
        const __m128i kind = _mm_abs_epi32(_mm_i32gather_epi32(code, b, 4));
        const __m128i none = _mm_or_si128(_mm_cmpeq_epi32(kind, k5), _mm_cmpeq_epi32(kind, k15));
        const __m128i count = _mm_andnot_si128(none, ten);
        const __m256d before = _mm256_mask_i32gather_pd(zero, geqd, b, all, 8);
        const __m256d now = _mm256_mask_i32gather_pd(zero, geq, b, all, 8);
        const __m256d moved = _mm256_andnot_pd(sign, _mm256_sub_pd(before, now));
        const __m256d limit = _mm256_mul_pd(scale, _mm256_andnot_pd(sign, before));
        const __m256d changed = _mm256_cmp_pd(moved, limit, _CMP_GT_OQ);
        const int bits = _mm256_movemask_pd(changed);
        any |= bits;
        // -1 or 0 for each switch, as the logicals take them.
        const __m128i changed32 = _mm256_castsi256_si128(_mm256_permutevar8x32_epi32(
            _mm256_castpd_si256(changed), _mm256_setr_epi32(0, 2, 4, 6, 0, 2, 4, 6)));
        __m128i pending = k0;
        int may = 0;
        if constexpr (Interpolate) {
            pending = _mm_andnot_si128(_mm_or_si128(_mm_cmpeq_epi32(kind, k0), _mm_cmpeq_epi32(kind, k6)),
                                       _mm_set1_epi32(-1));
            may = _mm_movemask_ps(_mm_castsi128_ps(pending));
        }
        alignas(16) int32_t cw[4], pw[4], bw[4];
        _mm_store_si128(reinterpret_cast<__m128i*>(cw), count);
        _mm_store_si128(reinterpret_cast<__m128i*>(pw), pending);
        _mm_store_si128(reinterpret_cast<__m128i*>(bw), changed32);
        if constexpr (Interpolate) {
            // The pending ones packed to the front; the words past them are
            // overwritten by the next four or left past the list's end.
            const __m128i order = _mm_load_si128(reinterpret_cast<const __m128i*>(kPack.at[may]));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(due),
                             _mm_castps_si128(_mm_permutevar_ps(_mm_castsi128_ps(b), order)));
            due += __builtin_popcount(static_cast<unsigned>(may));
        }
        for (int j = 0; j < 4; ++j) {
            const int32_t s = at[j];
            c.instant[s] = 1.5;
            c.pending[s] = pw[j];
            c.count[s] = cw[j];
            c.brchg[s] = bw[j];
        }
    }
    bool changed = any != 0;
    for (; k <= ns; ++k) changed |= one_switch(c, c.list[k], Interpolate, due);
    next_due = due;
    return changed;
}

}  // namespace

bool set_up_switches(const SwitchSetUp& c, int32_t ns, bool interpolate, int32_t*& next_due) {
    if (!vector_forms_in_use()) return set_up_plain(c, ns, interpolate, next_due);
    return interpolate ? set_up_avx2<true>(c, ns, next_due) : set_up_avx2<false>(c, ns, next_due);
}
