// The per-step saturation of a magnetic-circuit transformer: the core's
// fluxes integrated from the winding voltages, each saturable branch's
// operating point on the B-H curve, and the extra winding currents that
// turn the linear companion model's currents into the saturated core's.
#include <emmintrin.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <utility>

#include "engine/model_helpers.h"
#include "engine/run_state.h"
#include "models/transformers/magnetic_circuit.h"
#include "models/transformers/transformers.h"
#include "models/xfmr_tables.h"
#include "network/network_tables.h"
#include "network/transformer_step.h"

namespace {

// The segment of the curve, from point lo to point lo + 1, that holds the
// magnitude v of column c; first: the segment from the origin to point 1.
// A point from the third on that is not positive ends the curve.
struct Segment {
    int32_t lo;
    bool first;
};

Segment find_segment(const double* c, double v) {
    if (v < c[0] || !(c[1] > 0.0)) return {1, true};
    for (int32_t p = 2; p <= 10; ++p) {
        if (p >= 3 && !(c[p - 1] > 0.0)) return {p - 2, false};
        if (c[p - 1] > v) return {p - 1, false};
    }
    return {9, false};
}

// What the look-ups read of transformer k's core: its saturation switch,
// the unsaturated slope and the curve, abscissae x and ordinates y, points
// 1 to 10 at [0] to [9].
struct Core {
    bool saturable;
    double slope;
    const double* x;
    const double* y;
};

[[gnu::always_inline]] inline Core core_of(int32_t k) {
    XfmrTables& X = XFMR_TABLES;
    Core c{X.XF_SATON(k) == 1, X.XF_CORE8(k), nullptr, nullptr};
    if (c.saturable) {
        c.x = &X.XF_BHX(1, k);
        c.y = &X.XF_BHY(1, k);
    }
    return c;
}

// One look-up of branch value v (flux, or MMF with mmf_given) into the
// other, on the curve searched by flux density or field strength; the
// segment flag and the branch permeance.
void look_up(const Core& c, double v, double& out, int32_t& seg, double a, double l, double& p, bool mmf_given) {
    if (!c.saturable) {
        seg = 0;
        p = a * c.slope / l;
        out = mmf_given ? v * p : v / p;
        return;
    }
    // Searched column s and the other column o.
    const double* s = mmf_given ? c.x : c.y;
    const double* o = mmf_given ? c.y : c.x;
    const double density = mmf_given ? v / l : v / a, mag = std::fabs(density);
    const Segment g = find_segment(s, mag);
    double slope, r;
    if (g.first) {
        slope = c.y[0] / c.x[0];
        r = mmf_given ? mag * slope : mag / slope;
        seg = 0;
    } else {
        const int32_t i = g.lo - 1;
        slope = (c.y[i + 1] - c.y[i]) / (c.x[i + 1] - c.x[i]);
        r = mmf_given ? o[i] + (mag - s[i]) * slope : o[i] + (mag - s[i]) / slope;
        seg = 1;
    }
    out = mmf_given ? r * a : r * l;
    if (density < 0.0) out = -out;
    const double f = mmf_given ? v : out, phi = mmf_given ? out : v;
    p = f != 0.0 ? phi / f : slope * a / l;
}

// Transformer k's column of a (rows, transformers) table, or null when the
// table has no room for rows 1 to n there.
template <class T>
T* column_of(FArray2<T>& a, int32_t k, int32_t n) {
    return k >= 1 && k <= a.extent(2) && n <= a.extent(1) ? a.data() + a.extent(1) * (k - 1) : nullptr;
}

// The transformer's columns, each with room for its windings or branches.
struct Columns {
    const int32_t *node1, *node2;
    const double *wdgc1, *wdgc2, *cur;
    double *imag, *imag_old, *vw_kept, *vw_old, *flux, *flux_old;
    int32_t* segst;
};

// Transformer k's columns for nw windings, or null when a table has no room
// for them. They are taken again only when an array was made or freed
// since, or for another transformer or winding count.
const Columns* columns_of(int32_t k, int32_t nw) {
    struct Kept {
        int64_t layouts = -1;
        int32_t k = 0, nw = 0;
        bool fit = false;
        Columns c;
    };
    static Kept kept[8];
    Kept& e = kept[static_cast<uint32_t>(k) % 8];
    if (e.layouts != farray_layouts() || e.k != k || e.nw != nw) [[unlikely]] {
        XfmrTables& X = XFMR_TABLES;
        e.c = {column_of(X.XF_NODE1, k, nw),   column_of(X.XF_NODE2, k, nw),         column_of(X.XF_WDGC1, k, nw),
               column_of(X.XF_WDGC2, k, nw),   column_of(X.XF_CUR, k, nw),           column_of(X.XF_IMAG, k, nw),
               column_of(X.XF_IMAGOLD, k, nw), column_of(X.XF_VW, k, nw),            column_of(X.XF_VWOLD, k, nw),
               column_of(X.XF_BFLUX, k, XFMR_MAXBR), column_of(X.XF_BFLUXOLD, k, XFMR_MAXBR),
               column_of(X.XF_SEGST, k, XFMR_MAXBR)};
        const Columns& c = e.c;
        e.fit = c.node1 && c.node2 && c.wdgc1 && c.wdgc2 && c.cur && c.imag && c.imag_old && c.vw_kept && c.vw_old &&
                c.flux && c.flux_old && c.segst;
        e.layouts = farray_layouts();
        e.k = k;
        e.nw = nw;
    }
    return e.fit ? &e.c : nullptr;
}

// The node voltages of subsystem ss as NODEV reads them: its column taken
// once, a node outside it through the table's checks.
struct NodeVoltages {
    int32_t ss;
    const double* column;
    uint64_t nodes;
    explicit NodeVoltages(int32_t s) : ss(s), column(nullptr), nodes(0) {
        const FArray2<double>& v = NET.VNODE;
        if (static_cast<uint64_t>(int64_t{s} - 1) < v.limit(2)) {
            nodes = v.limit(1);
            column = v.data() + (s - 1) * nodes;
        }
    }
    double voltage(int32_t n) const {
        if (static_cast<uint64_t>(int64_t{n} - 1) < nodes) return column[n - 1];
        return NODEV(ss, n);
    }
};

// Whether a branch is on its saturated segment, and whether one moved by
// one segment from the stored flags, four branches at a time; the stored
// flags take the new ones as they are read.
struct SegmentScan {
    bool saturated, moved;
};

SegmentScan scan_segments(const int32_t* seg, int32_t* stored, int32_t nb) {
    const __m128i one = _mm_set1_epi32(1), minus_one = _mm_set1_epi32(-1);
    __m128i on = _mm_setzero_si128(), step = _mm_setzero_si128();
    int32_t b = 0;
    for (; b + 4 <= nb; b += 4) {
        const __m128i s = _mm_loadu_si128(reinterpret_cast<const __m128i*>(seg + b));
        const __m128i d = _mm_sub_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(stored + b)), s);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(stored + b), s);
        on = _mm_or_si128(on, _mm_cmpeq_epi32(s, one));
        step = _mm_or_si128(step, _mm_or_si128(_mm_cmpeq_epi32(d, one), _mm_cmpeq_epi32(d, minus_one)));
    }
    SegmentScan r{_mm_movemask_epi8(on) != 0, _mm_movemask_epi8(step) != 0};
    for (; b < nb; ++b) {
        r.saturated |= seg[b] == 1;
        r.moved |= std::abs(stored[b] - seg[b]) == 1;
        stored[b] = seg[b];
    }
    return r;
}

// Small clears and copies, sixteen bytes a store, written out in line: as
// loops the compiler would make them calls or eight-byte stores.
template <size_t... I>
[[gnu::always_inline]] inline void clear_pairs(void* a, std::index_sequence<I...>) {
    const __m128i z = _mm_setzero_si128();
    (_mm_storeu_si128(static_cast<__m128i*>(a) + I, z), ...);
}

template <size_t... I>
[[gnu::always_inline]] inline void copy_pairs(const double* from, double* to, std::index_sequence<I...>) {
    (_mm_storeu_pd(to + 2 * I, _mm_loadu_pd(from + 2 * I)), ...);
}

template <size_t N>
[[gnu::always_inline]] inline void clear(std::array<double, N>& a) {
    clear_pairs(a.data(), std::make_index_sequence<N / 2>());
    if constexpr (N % 2 != 0) a[N - 1] = 0.0;
}

[[gnu::always_inline]] inline void clear_doubles(double* a, int32_t n) {
    int32_t i = 0;
    for (; i + 2 <= n; i += 2) _mm_storeu_pd(a + i, _mm_setzero_pd());
    if (i < n) a[i] = 0.0;
}

// The first n of up to XFMR_MAXBR values.
[[gnu::always_inline]] inline void copy_doubles(const double* from, double* to, int32_t n) {
    int32_t i = 0;
    for (; i + 2 <= n; i += 2) _mm_storeu_pd(to + i, _mm_loadu_pd(from + i));
    if (i < n) to[i] = from[i];
}

}  // namespace

void XFMR_HBLOOK(int32_t k, double phi, double& f, int32_t& seg, double a, double l, double& p) {
    look_up(core_of(k), phi, f, seg, a, l, p, false);
}

void XFMR_BHLOOK(int32_t k, double f, double& phi, int32_t& seg, double a, double l, double& p) {
    look_up(core_of(k), f, phi, seg, a, l, p, true);
}

void XFMR_SATDYN(int32_t ss, int32_t k) {
    XfmrTables& X = XFMR_TABLES;
    if (X.XF_KIND(k) != 1) return;
    const int32_t nw = X.XF_NWDG(k), nb = X.XF_NBR(k);
    // Limbs and leakage branches of every winding must fit the core's places.
    if (nw < 1 || 2 * nw > XFMR_MAXBR || nb > XFMR_MAXBR) return;
    const Columns* c = columns_of(k, nw);
    if (!c) return;
    const int32_t *node1 = c->node1, *node2 = c->node2;
    const double *wdgc1 = c->wdgc1, *wdgc2 = c->wdgc2, *cur = c->cur;
    double *imag = c->imag, *imag_old = c->imag_old, *vw_kept = c->vw_kept, *vw_old = c->vw_old;
    double *flux = c->flux, *flux_old = c->flux_old;
    int32_t* segst = c->segst;
    const Core core = core_of(k);

    // Only the windings' places of vw, iw and turns are ever read; the
    // others start at zero, as the core's look-ups read beyond the windings.
    XfmrVector vw, iw, turns, phi, f, p, m;
    clear(phi);
    clear(f);
    clear(p);
    clear(m);
    static_assert((XFMR_MAXBR + 1) % 4 == 0 && XFMR_MAXBR % 2 == 1,
                  "seg cleared four words a store, the fluxes copied two");
    int32_t seg[XFMR_MAXBR + 1];  // one more place: cleared four at a time
    clear_pairs(seg, std::make_index_sequence<(XFMR_MAXBR + 1) / 4>());
    copy_pairs(flux, flux_old, std::make_index_sequence<XFMR_MAXBR / 2>());
    flux_old[XFMR_MAXBR - 1] = flux[XFMR_MAXBR - 1];

    const double delt = RUN_CLOCK.DELT;
    const NodeVoltages nodes(ss);
    for (int32_t i = 0; i < nw; ++i) {
        turns[i] = wdgc1[i];
        imag_old[i] = imag[i];
        vw_old[i] = vw_kept[i];
        vw[i] = nodes.voltage(node1[i]) - nodes.voltage(node2[i]);
        iw[i] = imag[i] + cur[i];
        p[nw + i] = wdgc2[i];
    }
    const double c1 = X.XF_CORE1(k), c2 = X.XF_CORE2(k);
    // The limbs share their permeance on the unsaturated curve.
    const double p_limb = c1 * core.slope / c2;
    for (int32_t i = 0; i < nw; ++i) {
        phi[i] = flux[i] + (vw_kept[i] + vw[i]) * 1000.0 * delt / (2.0 * turns[i]);
        vw_kept[i] = vw[i];
        if (core.saturable) {
            look_up(core, phi[i], f[i], seg[i], c1, c2, p[i], false);
        } else {
            p[i] = p_limb;
            f[i] = phi[i] / p_limb;
        }
        seg[nw + i] = 0;
        m[i] = 1000.0 * turns[i] * iw[i];
        phi[nw + i] = p[nw + i] * (m[i] - f[i]);
    }

    // Branches by number (1-based) below.
    const auto P = [&](int32_t b) -> double& { return p[b - 1]; };
    const auto F = [&](int32_t b) -> double& { return f[b - 1]; };
    const auto PHI = [&](int32_t b) -> double& { return phi[b - 1]; };
    const auto M = [&](int32_t b) { return m[b - 1]; };
    const double ya = X.XF_CORE3(k), yl = X.XF_CORE4(k), sa = X.XF_CORE5(k), sl = X.XF_CORE6(k);
    const double ret = X.XF_CORE7(k);
    // A look-up from flux gives only the MMF and permeance that the
    // saturated core's currents need, and on the unsaturated curve its
    // segment is the first: it is left out there.
    const auto H = [&](int32_t b, double a, double l) __attribute__((always_inline)) {
        if (core.saturable) look_up(core, PHI(b), F(b), seg[b - 1], a, l, P(b), false);
    };
    const auto B = [&](int32_t b, double a, double l) { look_up(core, F(b), PHI(b), seg[b - 1], a, l, P(b), true); };
    switch (X.XF_CORETYPE(k)) {
        case 0:
            PHI(13) = PHI(1) - PHI(7);
            PHI(14) = PHI(3) - PHI(9);
            PHI(15) = PHI(5) - PHI(11);
            H(13, ya, yl);
            H(14, ya, yl);
            H(15, ya, yl);
            break;
        case 1:
            P(15) = P(16) = P(17) = ret;
            PHI(15) = P(15) * (M(2) + M(1) - F(1) - F(2));
            PHI(16) = P(16) * (M(4) + M(3) - F(3) - F(4));
            PHI(17) = P(17) * (M(6) + M(5) - F(5) - F(6));
            PHI(13) = PHI(1) - PHI(7) - PHI(15);
            PHI(14) = PHI(5) - PHI(11) - PHI(17);
            seg[14] = seg[15] = seg[16] = 0;
            H(13, ya, yl);
            H(14, ya, yl);
            break;
        case 2:
            F(15) = M(2) + M(1) - c2 * F(1) - c2 * F(2);
            F(17) = M(5) + M(6) - c2 * F(5) - c2 * F(6);
            B(15, sa, sl);
            B(17, sa, sl);
            F(16) = M(4) + M(3) - c2 * F(3) - c2 * F(4);
            F(13) = F(15) - F(16);
            F(14) = F(17) - F(16);
            B(13, ya, yl);
            B(14, ya, yl);
            PHI(16) = PHI(14) + PHI(13) + (PHI(3) - PHI(9));
            PHI(18) = PHI(1) - PHI(7) - PHI(13) - PHI(15);
            PHI(19) = PHI(5) - PHI(11) - PHI(14) - PHI(17);
            P(16) = P(18) = P(19) = ret;
            seg[15] = seg[17] = seg[18] = 0;
            break;
        case 3:
            PHI(5) = PHI(1) - PHI(3);
            H(5, ya, yl);
            break;
        case 4:
            PHI(7) = PHI(1) - PHI(4);
            H(7, ya, yl);
            break;
        case 5:
            PHI(9) = PHI(1) - PHI(5);
            H(9, ya, yl);
            break;
        default: break;
    }

    const SegmentScan scan = scan_segments(seg, segst, nb);
    const bool saturated = scan.saturated;
    if (scan.moved) X.SS_XFSEGCHG(ss) = -1;
    if (!saturated || X.XF_RAMPON(k) != 1) {
        clear_doubles(imag, nw);
    } else {
        // The linear model's currents at the integrated and at the new voltages.
        XfmrVector c1v{}, c2v{}, vh{};
        const int64_t wd = X.XF_GEQ.extent(1);
        const double* g = X.XF_GEQ.data() + wd * wd * (k - 1);
        for (int32_t j = 0; j < nw; ++j) vh[j] = vw[j] + phi[j] * turns[j] * 2.0 / (1000.0 * delt);
        for (int32_t j = 0; j < nw; ++j)
            for (int32_t w = 0; w < nw; ++w) {
                c1v[w] += g[w + wd * j] * vh[j];
                c2v[w] += g[w + wd * j] * vw[j];
            }
        XfmrMatrix out;
        XfmrVector y;
        XFMR_MAGCKT(phi, nw, nb, out, y, X.XF_CORETYPE(k), p, vw, turns);
        for (int32_t w = 1; w <= nw; ++w) {
            double c3 = 0.0;
            for (int32_t j = 1; j <= nw; ++j) c3 += at(out, w, j) * vw[j - 1];
            imag[w - 1] = X.XF_RAMP(k) * (y[w - 1] + c3 - c2v[w - 1] - c1v[w - 1]);
        }
    }
    copy_doubles(phi.data(), flux, nb);
}
