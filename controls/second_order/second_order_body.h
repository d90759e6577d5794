// The body of the second-order filters, inline for the converter's control,
// which runs six of them on every step with a constant numerator type.
#pragma once

#include <algorithm>
#include <bit>
#include <cstdint>

#include "controls/block_slots.h"
#include "engine/run_state.h"

namespace second_order_detail {

// N(s) = d*s^2 + b*s + c.
struct Numerator {
    double d = 0.0, b = 0.0, c = 0.0;
};

// An unknown type is reported on every call and passes nothing on.
void report_type(int32_t type, const char* should_be);

[[gnu::always_inline]] inline Numerator numerator(int32_t type, double w, double c, const char* should_be) {
    switch (type) {
        case 1: return {0.0, 0.0, c};
        case 2: return {0.0, w, 0.0};
        case 3: return {1.0, 0.0, 0.0};
        case 4: return {0.0, w, c};
        case 5: return {1.0, 0.0, c};
        case 6: return {1.0, w, 0.0};
        case 7: return {0.0, -w, c};
        case 8: return {-1.0, 0.0, c};
        case 9: return {-1.0, w, 0.0};
        default: report_type(type, should_be); return {};
    }
}

inline constexpr const char* kShouldBe = "SHOULD BE BETWEEN 1 AND 9";

struct Realisation {
    double A[4];
    double beta1, beta2;
};

inline Realisation realise(double a0, double a1, const Numerator& n) {
    const double beta1 = n.b - a1 * n.d;
    const double beta2 = n.c - a1 * beta1 - a0 * n.d;
    return {{0.0, 1.0, -a0, -a1}, beta1, beta2};
}

// The matrices of the last inversions, by slot position (a few slots share
// an entry; 0 keeps none): an inversion of the same A at the same step
// length, whose results the slots still hold, writes nothing new and is
// left out. An entry kept by the companion form, whose first row of A is
// always (0, 1), is tagged with the complement of its position, so that
// the companion form need not compare that row.
struct Inversion {
    int32_t at = 0;
    uint64_t in[5] = {};
    double out[8] = {};
};
inline Inversion kept_inversions[64];

inline uint64_t bits(double x) { return std::bit_cast<uint64_t>(x); }

// Slot k of the block at S(k).
template <bool Companion, class Slots>
[[gnu::always_inline]] inline void step_body(const Slots& S, int32_t at, double* state, const double* x0,
                                             const double* A, const double* bx, int32_t mode) {
    const double h2 = 0.5 * RUN_CLOCK.DELT;
    const bool first = first_step_data();
    if (mode > 0 || first) {
        Inversion& kept = kept_inversions[static_cast<uint32_t>(at) % 64];
        const uint64_t in[5] = {bits(A[0]), bits(A[1]), bits(A[2]), bits(A[3]), bits(h2)};
        const int32_t tag = Companion ? ~at : at;
        // Every word compared without a branch: the slots nearly always match.
        uint64_t differ = first || at == 0 || kept.at != tag;
#pragma GCC unroll 5
        for (int k = Companion ? 2 : 0; k < 5; ++k) differ |= in[k] ^ kept.in[k];
#pragma GCC unroll 8
        for (int k = 0; k < 8; ++k) differ |= bits(S(k)) ^ bits(kept.out[k]);
        if (differ != 0) {
            const double m11 = 1.0 - h2 * A[0], m12 = -h2 * A[1], m21 = -h2 * A[2], m22 = 1.0 - h2 * A[3];
            const double det = m11 * m22 - m12 * m21;
            const double inv[4] = {m22 / det, -m12 / det, -m21 / det, m11 / det};
            for (int k = 0; k < 4; ++k) S(4 + k) = inv[k];
            S(0) = h2 * (inv[0] * A[0] + inv[1] * A[2]);
            S(1) = h2 * (inv[0] * A[1] + inv[1] * A[3]);
            S(2) = h2 * (inv[2] * A[0] + inv[3] * A[2]);
            S(3) = h2 * (inv[2] * A[1] + inv[3] * A[3]);
            kept.at = tag;
            std::copy(in, in + 5, kept.in);
            for (int k = 0; k < 8; ++k) kept.out[k] = S(k);
        }
    }
    double x1 = S(8), x2 = S(9);
    if (mode == -1 || mode == 2 || first) {
        x1 = x0[0];
        x2 = x0[1];
    }
    const double v1 = x1 + h2 * (bx[0] + S(10)), v2 = x2 + h2 * (bx[1] + S(11));
    state[0] = S(4) * v1 + S(5) * v2 + S(0) * x1 + S(1) * x2;
    state[1] = S(6) * v1 + S(7) * v2 + S(2) * x1 + S(3) * x2;
    S(8) = state[0];
    S(9) = state[1];
    S(10) = bx[0];
    S(11) = bx[1];
}

// Companion: A's first row is (0, 1).
template <bool Companion = false>
[[gnu::always_inline]] inline void second_order_step(double* state, const double* x0, const double* A,
                                                     const double* bx, int32_t mode) {
    const BlockSlots s = take_slots({.stor = 12});
    FArray1<double>& stor = STORAGE.STOR;
    // Slots inside STOR are reached directly; others through the checks.
    if (s.stor >= 1 && int64_t{s.stor} + 11 <= stor.size()) {
        double* at = stor.data() + (s.stor - 1);
        step_body<Companion>([at](int32_t k) -> double& { return at[k]; }, s.stor, state, x0, A, bx, mode);
    } else {
        step_body<Companion>([&s](int32_t k) -> double& { return s.S(k); }, 0, state, x0, A, bx, mode);
    }
}

[[gnu::always_inline]] inline double run_body(const Realisation& r, double G, double d, double X, int32_t mode) {
    static constexpr double zero[2] = {0.0, 0.0};
    const double bx[2] = {r.beta1 * X, r.beta2 * X};
    double x[2];
    second_order_step<true>(x, zero, r.A, bx, mode);
    return G * (x[0] + d * X);
}

}  // namespace second_order_detail

// SECOND_ORDER_VAR's body.
[[gnu::always_inline]] inline double second_order_var(int32_t ITYPE, double G, double zeta, double w, double X) {
    using namespace second_order_detail;
    const double a0 = w * w, a1 = w * zeta * 2.0;
    const Numerator n = numerator(ITYPE, w, a0, kShouldBe);
    return run_body(realise(a0, a1, n), G, n.d, X, 1);
}
