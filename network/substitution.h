// Forward and back substitution with a subsystem's factors, over its
// sparsity lists. The forward rows take their right-hand side from a
// function of the row, so that a pass may form each entry just before the
// substitution needs it.
#pragma once

#include <cmath>
#include <cstdint>

#include "network/network_tables.h"
#include "network/solution_columns.h"
#include "network/triangularise.h"

// The factors, the lists and the vectors of one substitution, each with
// element k at index k.
struct Substitution {
    int32_t n;
    const int32_t *lowcol, *upcol, *lows, *lowe, *ups, *upe;
    const double *low, *up, *diag;
    double *w, *v;
};

inline Substitution substitution_of(int32_t ss, const SubsystemFactors& f) {
    NetworkTables& N = NET;
    return {N.NBUSES(ss),
            column(N.LOWCOL, ss).p - 1,
            column(N.UPCOL, ss).p - 1,
            column(N.LOWSTART, ss).p - 1,
            column(N.LOWEND, ss).p - 1,
            column(N.UPSTART, ss).p - 1,
            column(N.UPEND, ss).p - 1,
            f.low.data(),
            f.up.data(),
            f.diag.data(),
            column(N.CINJW).p - 1,
            column(N.VSOL).p - 1};
}

// Forward substitution: w from rhs(k), asked for once per row in row
// order. Each row's sum runs in list order; the entry of the row just
// found (last in a lower list) is taken from the register that holds it,
// and a row with that entry alone subtracts it in one fused step, which
// keeps the chain from row to row short. Every further product is added in
// one fused step too. std::fma rounds once on every machine, so the plain
// and the fused-instruction builds give the same results.
template <class Rhs>
inline __attribute__((always_inline)) void forward_rows(const Substitution& s, Rhs&& rhs) {
    const int32_t n = s.n;
    double* w = s.w;
    double wi = rhs(1);
    for (int32_t i = 1; i < n; ++i) {
        wi = s.diag[i] * wi;
        w[i] = wi;
        double next = rhs(i + 1);
        const int32_t first = s.lows[i + 1], last = s.lowe[i + 1];
        if (first == last && s.lowcol[last] == i) {
            next = std::fma(-s.low[last], wi, next);
        } else if (first <= last) {
            const bool tail = s.lowcol[last] == i;
            const int32_t stop = tail ? last - 1 : last;
            double sum = s.low[first] * w[s.lowcol[first]];
            for (int32_t p = first + 1; p <= stop; ++p) sum = std::fma(s.low[p], w[s.lowcol[p]], sum);
            if (tail) sum = std::fma(s.low[last], wi, sum);
            next = next - sum;
        }
        wi = next;
    }
    w[n] = s.diag[n] * wi;
}

// Back substitution: v from w; the entry of the row just found (first in
// an upper list) is taken from its register, as above.
inline __attribute__((always_inline)) void back_rows(const Substitution& s) {
    const int32_t n = s.n;
    const double* w = s.w;
    double* v = s.v;
    v[n] = w[n];
    double vi = v[n];
    for (int32_t i = n - 1; i >= 1; --i) {
        double value = w[i];
        const int32_t first = s.ups[i], last = s.upe[i];
        if (first == last && s.upcol[first] == i + 1) {
            value = std::fma(-s.up[first], vi, value);
        } else if (first <= last) {
            double sum = s.up[first] * (s.upcol[first] == i + 1 ? vi : v[s.upcol[first]]);
            for (int32_t p = first + 1; p <= last; ++p) sum = std::fma(s.up[p], v[s.upcol[p]], sum);
            value = value - sum;
        }
        v[i] = value;
        vi = value;
    }
}

// Whether the processor fuses a multiply and an add in one instruction:
// the substitutions then run in forms built for it.
inline bool fused_multiply_add() {
    static const bool fused = __builtin_cpu_supports("fma");
    return fused;
}
