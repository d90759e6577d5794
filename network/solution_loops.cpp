#include "network/solution_loops.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "network/chatter.h"

namespace {

// 0 plain, 1 AVX2, 2 AVX-512 (with its byte, word and double-word parts).
int processor_width() {
    __builtin_cpu_init();
    if (!__builtin_cpu_supports("avx2")) return 0;
    const bool avx512 = __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
                        __builtin_cpu_supports("avx512vl") && __builtin_cpu_supports("avx512dq");
    return avx512 ? 2 : 1;
}


inline __attribute__((always_inline)) void copy_changed_body(const double* __restrict src, double* __restrict dst,
                                                             int64_t n) {
    constexpr int64_t kBlock = 8;
    int64_t k = 0;
    for (; k + kBlock <= n; k += kBlock) {
        uint64_t diff = 0;
        for (int64_t j = 0; j < kBlock; ++j) {
            uint64_t a, b;
            std::memcpy(&a, src + k + j, sizeof a);
            std::memcpy(&b, dst + k + j, sizeof b);
            diff |= a ^ b;
        }
        if (diff != 0) std::memcpy(dst + k, src + k, kBlock * sizeof(double));
    }
    if (k < n) std::memcpy(dst + k, src + k, static_cast<size_t>(n - k) * sizeof(double));
}

void copy_changed_plain(const double* src, double* dst, int64_t n) { copy_changed_body(src, dst, n); }
__attribute__((target("avx2"))) void copy_changed_avx2(const double* src, double* dst, int64_t n) {
    copy_changed_body(src, dst, n);
}

// CHATTER_NEXT, in selects the vectors can take.
inline __attribute__((always_inline)) int32_t next_counter(int32_t c, double x, double y, double level) {
    const double mid = 0.5 * (x + y);
    const bool big = std::fabs(y - mid) > level, up = mid <= y;
    const int32_t s = up ? 1 : -1;
    const bool reversal = big & (up ? c < 0 : c >= 0);
    return reversal ? s - c : s;
}

inline __attribute__((always_inline)) int32_t at_chatter(int32_t c) {
    return (c >= CHATTER_REVERSALS) | (c <= -CHATTER_REVERSALS);
}

template <bool Partial>
inline __attribute__((always_inline)) bool branches_body(int64_t n, const double* __restrict cbrt,
                                                         double* __restrict cbr, int32_t* __restrict counter,
                                                         const uint8_t* __restrict kind, uint8_t skip,
                                                         double fraction, double level) {
    int32_t found = 0;
    for (int64_t k = 0; k < n; ++k) {
        const double before = cbr[k], now = cbrt[k];
        const int32_t next = next_counter(counter[k], before, now, level);
        counter[k] = next;
        found |= at_chatter(next);
        const double taken = Partial ? before + fraction * (now - before) : now;
        cbr[k] = (kind[k] & skip) ? before : taken;
    }
    return found != 0;
}

bool branches_plain(int64_t n, const double* cbrt, double* cbr, int32_t* counter, const uint8_t* kind, uint8_t skip,
                    bool partial, double fraction, double level) {
    return partial ? branches_body<true>(n, cbrt, cbr, counter, kind, skip, fraction, level)
                   : branches_body<false>(n, cbrt, cbr, counter, kind, skip, fraction, level);
}
__attribute__((target("avx2"))) bool branches_avx2(int64_t n, const double* cbrt, double* cbr, int32_t* counter,
                                                   const uint8_t* kind, uint8_t skip, bool partial,
                                                   double fraction, double level) {
    return partial ? branches_body<true>(n, cbrt, cbr, counter, kind, skip, fraction, level)
                   : branches_body<false>(n, cbrt, cbr, counter, kind, skip, fraction, level);
}

inline __attribute__((always_inline)) bool counted_body(int64_t n, const double* __restrict v,
                                                        double* __restrict vnode, double* __restrict x,
                                                        int32_t* __restrict counter, double level) {
    int32_t found = 0;
    for (int64_t k = 0; k < n; ++k) {
        const int32_t next = next_counter(counter[k], vnode[k], v[k], level);
        counter[k] = next;
        found |= at_chatter(next);
        vnode[k] = v[k];
        x[k] = v[k];
    }
    return found != 0;
}

bool counted_plain(int64_t n, const double* v, double* vnode, double* x, int32_t* counter, double level) {
    return counted_body(n, v, vnode, x, counter, level);
}
__attribute__((target("avx2"))) bool counted_avx2(int64_t n, const double* v, double* vnode, double* x,
                                                  int32_t* counter, double level) {
    return counted_body(n, v, vnode, x, counter, level);
}

inline __attribute__((always_inline)) bool chatter_body(int64_t n, const double* __restrict x,
                                                        const double* __restrict y, int32_t* __restrict counter,
                                                        double level) {
    int32_t found = 0;
    for (int64_t k = 0; k < n; ++k) {
        const int32_t next = next_counter(counter[k], x[k], y[k], level);
        counter[k] = next;
        found |= at_chatter(next);
    }
    return found != 0;
}

bool chatter_plain(int64_t n, const double* x, const double* y, int32_t* counter, double level) {
    return chatter_body(n, x, y, counter, level);
}
__attribute__((target("avx2"))) bool chatter_avx2(int64_t n, const double* x, const double* y, int32_t* counter,
                                                  double level) {
    return chatter_body(n, x, y, counter, level);
}

template <int Mode>
inline __attribute__((always_inline)) void rhs_body(int64_t n, const double* __restrict tl,
                                                    const double* __restrict tld, const double* __restrict hist,
                                                    double* __restrict cinj, double reached) {
    for (int64_t k = 0; k < n; ++k) {
        if (Mode == 0) cinj[k] = tld[k] - hist[k];
        if (Mode == 1) cinj[k] = (tld[k] + reached * (tl[k] - tld[k])) - hist[k];
        if (Mode == 2) cinj[k] = (tl[k] + reached * (tl[k] - tld[k])) - hist[k];
    }
}

void rhs_plain(int64_t n, const double* tl, const double* tld, const double* hist, double* cinj, double reached,
               int mode) {
    if (mode == 0) rhs_body<0>(n, tl, tld, hist, cinj, reached);
    if (mode == 1) rhs_body<1>(n, tl, tld, hist, cinj, reached);
    if (mode == 2) rhs_body<2>(n, tl, tld, hist, cinj, reached);
}
__attribute__((target("avx2"))) void rhs_avx2(int64_t n, const double* tl, const double* tld, const double* hist,
                                              double* cinj, double reached, int mode) {
    if (mode == 0) rhs_body<0>(n, tl, tld, hist, cinj, reached);
    if (mode == 1) rhs_body<1>(n, tl, tld, hist, cinj, reached);
    if (mode == 2) rhs_body<2>(n, tl, tld, hist, cinj, reached);
}

inline __attribute__((always_inline)) void move_body(int64_t n, const double* __restrict v,
                                                     double* __restrict vnode, double* __restrict x,
                                                     double fraction) {
    for (int64_t k = 0; k < n; ++k) {
        x[k] = v[k];
        vnode[k] = vnode[k] + fraction * (v[k] - vnode[k]);
    }
}

void move_plain(int64_t n, const double* v, double* vnode, double* x, double fraction) {
    move_body(n, v, vnode, x, fraction);
}
__attribute__((target("avx2"))) void move_avx2(int64_t n, const double* v, double* vnode, double* x,
                                               double fraction) {
    move_body(n, v, vnode, x, fraction);
}

inline __attribute__((always_inline)) void draw_back_body(int64_t n, double* __restrict values,
                                                          const double* __restrict before, double fraction) {
    for (int64_t k = 0; k < n; ++k) values[k] = before[k] + fraction * (values[k] - before[k]);
}

void draw_back_plain(int64_t n, double* values, const double* before, double fraction) {
    draw_back_body(n, values, before, fraction);
}
__attribute__((target("avx2"))) void draw_back_avx2(int64_t n, double* values, const double* before,
                                                    double fraction) {
    draw_back_body(n, values, before, fraction);
}

inline __attribute__((always_inline)) void restart_body(int64_t n, double* __restrict hist,
                                                        double* __restrict histd) {
    for (int64_t k = 0; k < n; ++k) {
        histd[k] = hist[k];
        hist[k] = 0.0;
    }
}

void restart_plain(int64_t n, double* hist, double* histd) { restart_body(n, hist, histd); }
__attribute__((target("avx2"))) void restart_avx2(int64_t n, double* hist, double* histd) {
    restart_body(n, hist, histd);
}

}  // namespace

// Settled before main, as the program starts; nothing asks for it earlier.
int solution_loops_width = processor_width();

void rhs_nodes(int64_t n, const double* tl, const double* tld, const double* hist, double* cinj, double reached,
               bool resolving, bool opening) {
    const int mode = opening ? 0 : resolving ? 1 : 2;
    if (vector_forms_in_use())
        rhs_avx2(n, tl, tld, hist, cinj, reached, mode);
    else
        rhs_plain(n, tl, tld, hist, cinj, reached, mode);
}

void move_nodes(int64_t n, const double* v, double* vnode, double* x, double fraction) {
    if (vector_forms_in_use())
        move_avx2(n, v, vnode, x, fraction);
    else
        move_plain(n, v, vnode, x, fraction);
}

void draw_back(int64_t n, double* values, const double* before, double fraction) {
    if (vector_forms_in_use())
        draw_back_avx2(n, values, before, fraction);
    else
        draw_back_plain(n, values, before, fraction);
}

void restart_history(int64_t n, double* hist, double* histd) {
    if (vector_forms_in_use())
        restart_avx2(n, hist, histd);
    else
        restart_plain(n, hist, histd);
}

void copy_changed(const double* src, double* dst, int64_t n) {
    if (vector_forms_in_use())
        copy_changed_avx2(src, dst, n);
    else
        copy_changed_plain(src, dst, n);
}

bool take_counted_nodes(int64_t n, const double* v, double* vnode, double* x, int32_t* counter, double level) {
    return vector_forms_in_use() ? counted_avx2(n, v, vnode, x, counter, level) : counted_plain(n, v, vnode, x, counter, level);
}

bool count_chatter(int64_t n, const double* x, const double* y, int32_t* counter, double level) {
    return vector_forms_in_use() ? chatter_avx2(n, x, y, counter, level) : chatter_plain(n, x, y, counter, level);
}

bool take_counted_branches(int64_t n, const double* cbrt, double* cbr, int32_t* counter, const uint8_t* kind,
                           uint8_t skip, bool partial, double fraction, double level) {
    return vector_forms_in_use() ? branches_avx2(n, cbrt, cbr, counter, kind, skip, partial, fraction, level)
                   : branches_plain(n, cbrt, cbr, counter, kind, skip, partial, fraction, level);
}

void use_vector_forms(bool on) { solution_loops_width = on ? processor_width() : 0; }

void use_vector_width(int w) { solution_loops_width = std::min(std::max(w, 0), processor_width()); }

