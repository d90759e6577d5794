#include "models/transformers/magnetic_circuit.h"

#include <cmath>

#include "engine/run_state.h"
#include "models/xfmr_tables.h"

namespace {

struct Incidence {
    int8_t node, branch, sign;
};

// The limb and leakage branches shared by core types 0 to 2.
#define ZARIK_THREE_PAIRS                                                                                         \
    {1, 1, 1}, {2, 1, -1}, {2, 2, 1}, {3, 3, 1}, {4, 3, -1}, {4, 4, 1}, {5, 5, 1}, {6, 5, -1}, {6, 6, 1},          \
        {1, 7, -1}, {2, 7, 1}, {2, 8, -1}, {3, 9, -1}, {4, 9, 1}, {4, 10, -1}, {5, 11, -1}, {6, 11, 1}, {6, 12, -1}

constexpr Incidence kType0[] = {ZARIK_THREE_PAIRS, {1, 13, -1}, {3, 14, -1}, {5, 15, -1}};
constexpr Incidence kType1[] = {ZARIK_THREE_PAIRS, {1, 13, -1}, {3, 13, 1}, {3, 14, 1}, {5, 14, -1},
                                {1, 15, -1},       {3, 16, -1}, {5, 17, -1}};
constexpr Incidence kType2[] = {ZARIK_THREE_PAIRS, {1, 13, -1}, {3, 13, 1}, {3, 14, 1}, {5, 14, -1}, {1, 15, -1},
                                {3, 16, -1},       {5, 17, -1}, {1, 18, -1}, {5, 19, -1}};
#undef ZARIK_THREE_PAIRS
constexpr Incidence kType3[] = {{1, 1, 1}, {2, 1, -1}, {2, 2, 1}, {1, 3, -1}, {2, 3, 1}, {2, 4, -1}, {1, 5, -1}};
constexpr Incidence kType4[] = {{1, 1, 1}, {2, 1, -1}, {2, 2, 1},  {3, 2, -1}, {3, 3, 1}, {1, 4, -1},
                                {2, 4, 1}, {2, 5, -1}, {3, 5, 1},  {3, 6, -1}, {1, 7, -1}};
constexpr Incidence kType5[] = {{1, 1, 1}, {2, 1, -1}, {2, 2, 1}, {3, 2, -1}, {3, 3, 1},  {4, 3, -1}, {4, 4, 1},
                                {1, 5, -1}, {2, 5, 1}, {2, 6, -1}, {3, 6, 1}, {3, 7, -1}, {4, 7, 1},  {4, 8, -1},
                                {1, 9, -1}};

struct CoreType {
    const Incidence* entries;
    int32_t count, nodes, branches;
};

template <size_t N>
constexpr CoreType core(const Incidence (&e)[N], int32_t nodes, int32_t branches) {
    return {e, static_cast<int32_t>(N), nodes, branches};
}

constexpr CoreType kCores[] = {core(kType0, 6, 15), core(kType1, 6, 17), core(kType2, 6, 19),
                               core(kType3, 2, 5),  core(kType4, 3, 7),  core(kType5, 4, 9)};

const CoreType* core_of(int32_t type) { return type >= 0 && type <= 5 ? &kCores[type] : nullptr; }

}  // namespace

int32_t xfmr_core_branches(int32_t core_type) {
    const CoreType* c = core_of(core_type);
    return c ? c->branches : 0;
}

int32_t xfmr_core_nodes(int32_t core_type) {
    const CoreType* c = core_of(core_type);
    return c ? c->nodes : 0;
}

void XFMR_MATMUL(int32_t n, int32_t k, int32_t m, const XfmrMatrix& a, const XfmrMatrix& b, XfmrMatrix& c) {
    if (n < 1 || m < 1) return;
    for (int32_t j = 1; j <= m; ++j)
        for (int32_t i = 1; i <= n; ++i) {
            double s = 0.0;
            for (int32_t l = 1; l <= k; ++l)
                s += a[(i - 1) + XFMR_MAXBR * (l - 1)] * b[(l - 1) + XFMR_MAXBR * (j - 1)];
            c[(i - 1) + XFMR_MAXBR * (j - 1)] = s;
        }
}

int32_t XFMR_MATINV(XfmrMatrix& a, int32_t n) {
    if (n < 1) return 0;
    if (n == 1) {
        at(a, 1, 1) = 1.0 / at(a, 1, 1);
        return 0;
    }
    constexpr double kTiny = 1e-20;
    int32_t flag = 0;
    for (int32_t k = 1; k <= n; ++k) {
        if (std::fabs(at(a, k, k)) < kTiny) {
            flag = -1;
            continue;
        }
        const double p = 1.0 / at(a, k, k);
        at(a, k, k) = p;
        for (int32_t i = 1; i <= n; ++i) {
            if (i == k) continue;
            at(a, i, k) = at(a, i, k) * p;
            const double f = at(a, i, k);
            if (std::fabs(f) < kTiny) continue;
            for (int32_t j = 1; j <= n; ++j)
                if (j != k) at(a, i, j) -= at(a, k, j) * f;
        }
        if (k < n)
            for (int32_t j = 1; j <= n; ++j)
                if (j != k) at(a, k, j) = -at(a, k, j) * p;
    }
    for (int32_t j = 1; j < n; ++j) at(a, n, j) = -at(a, n, n) * at(a, n, j);
    return flag;
}

// The products are those of the full 23-place reduction; the diagonal
// factors enter as scalings and only the blocks that reach the result
// are formed, which leaves every bit of the result as it was.
int32_t XFMR_MAGCKT(const XfmrVector& a, int32_t nw, int32_t nb, XfmrMatrix& out, XfmrVector& y, int32_t core_type,
                    const XfmrVector& p, const XfmrVector& b, const XfmrVector& turns) {
    out.fill(0.0);
    y.fill(0.0);
    if (nw < 1) return 0;
    XfmrMatrix inc{}, w1{}, w2{};
    if (const CoreType* c = core_of(core_type))
        for (int32_t e = 0; e < c->count; ++e) {
            const Incidence& x = c->entries[e];
            if (x.node <= nw && x.branch <= nb) at(inc, x.node, x.branch) = x.sign;
        }
    // The nodal permeance matrix Ainc Pd Ainc^T, inverted.
    for (int32_t j = 1; j <= nw; ++j)
        for (int32_t i = 1; i <= nw; ++i) {
            double s = 0.0;
            for (int32_t l = 1; l <= nb; ++l) s += at(inc, i, l) * (p[l - 1] * at(inc, j, l));
            at(w2, i, j) = s;
        }
    int32_t flag = XFMR_MATINV(w2, nw);
    // W1 = W2 Ainc (nw x nb), then the winding block of Ainc^T W1.
    for (int32_t l = 1; l <= nb; ++l)
        for (int32_t i = 1; i <= nw; ++i) {
            double s = 0.0;
            for (int32_t m = 1; m <= nw; ++m) s += at(w2, i, m) * at(inc, m, l);
            at(w1, i, l) = s;
        }
    XfmrMatrix yn{};
    for (int32_t c = 1; c <= nw; ++c)
        for (int32_t r = 1; r <= nw; ++r) {
            double s = 0.0;
            for (int32_t i = 1; i <= nw; ++i) s += at(inc, i, r) * at(w1, i, c);
            at(yn, r, c) = -(((p[r - 1] * s) * p[c - 1]) * turns[c - 1]);
        }
    for (int32_t r = 1; r <= nw; ++r) at(yn, r, r) += p[r - 1] * turns[r - 1];
    flag |= XFMR_MATINV(yn, nw);

    const double delt = RUN_CLOCK.DELT;
    for (int32_t j = 1; j <= nw; ++j)
        for (int32_t i = 1; i <= nw; ++i) at(out, i, j) = 0.5 * (at(yn, i, j) * (1.0 / turns[j - 1])) * delt;
    XfmrVector v{};
    for (int32_t i = 1; i <= nw; ++i) v[i - 1] = a[i - 1] + 500.0 * delt * b[i - 1] / turns[i - 1];
    for (int32_t i = 1; i <= nw; ++i) {
        double s = 0.0;
        for (int32_t j = 1; j <= nw; ++j) s += at(yn, i, j) * v[j - 1];
        y[i - 1] = 0.001 * s;
    }
    return flag;
}

void xfmr_core_permeances(int32_t k, XfmrVector& p) {
    const XfmrTables& X = XFMR_TABLES;
    p.fill(0.0);
    const int32_t nw = X.XF_NWDG(k);
    const double c8 = X.XF_CORE8(k);
    const double limb = X.XF_CORE1(k) / X.XF_CORE2(k) * c8;
    const double yoke = X.XF_CORE3(k) / X.XF_CORE4(k) * c8;
    for (int32_t w = 1; w <= nw && 2 * w <= XFMR_MAXBR; ++w) {
        p[w - 1] = limb;
        p[nw + w - 1] = X.XF_WDGC2(w, k);
    }
    switch (X.XF_CORETYPE(k)) {
        case 0: p[12] = p[13] = p[14] = yoke; break;
        case 1:
            p[12] = p[13] = yoke;
            p[14] = p[15] = p[16] = X.XF_CORE7(k);
            break;
        case 2: {
            const double side = X.XF_CORE5(k) / X.XF_CORE6(k) * c8;
            p[12] = p[13] = yoke;
            p[14] = p[16] = side;
            p[15] = p[17] = p[18] = X.XF_CORE7(k);
            break;
        }
        case 3: p[4] = yoke; break;
        case 4: p[6] = yoke; break;
        case 5: p[8] = yoke; break;
        default: break;
    }
}

template <class Matrix>
int32_t XFMR_SATSET(int32_t k, Matrix& w) {
    const XfmrTables& X = XFMR_TABLES;
    const int32_t nw = X.XF_NWDG(k);
    XfmrVector p{}, turns{}, zero{}, y{};
    XfmrMatrix out{};
    for (int32_t i = 1; i <= nw && i <= XFMR_MAXBR; ++i) turns[i - 1] = X.XF_WDGC1(i, k);
    xfmr_core_permeances(k, p);
    const int32_t flag = XFMR_MAGCKT(zero, nw, X.XF_NBR(k), out, y, X.XF_CORETYPE(k), p, zero, turns);
    const double delt = RUN_CLOCK.DELT;
    for (int32_t j = 1; j <= nw; ++j)
        for (int32_t i = 1; i <= nw; ++i) {
            at(out, i, j) = 2.0 * at(out, i, j) / delt;
            w(i, j) = at(out, i, j);
        }
    return flag;
}

template int32_t XFMR_SATSET<FArray2<double>>(int32_t, FArray2<double>&);
