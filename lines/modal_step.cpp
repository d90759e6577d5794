#include "lines/modal_step.h"

#include <complex>
#include <string>
#include <vector>

#include "engine/abort.h"
#include "lines/line_record.h"
#include "lines/line_tables.h"
#include "lines/lines.h"
#include "network/network_tables.h"

namespace {

using cplx = std::complex<double>;

// Running offsets over the modal lines; never stored.
struct ModalCursor {
    int32_t c0 = 0;  // conductors and modes
    int32_t t0 = 0;  // transformation values
    int32_t b0 = 0;  // travelling-wave buffer slots
    int32_t jp = 0;  // propagation poles
    int32_t js = 0;  // surge poles
    int32_t server = 0;
};

// The per-mode tables from mode c0 + 1 on, indexed from 0 (mode k at
// [k - 1]); the buffers from slot b0 + 1 on.
struct Modes {
    double *frac, *yloss, *ih1, *ih2, *s1, *s2, *h1, *h2, *k1, *k2, *propk, *v1, *v2;
    const int32_t *delay, *npprop, *npsurge, *node1, *node2;
    int32_t* bufpos;
    double *bufw1, *bufw2, *bufe1, *bufe2;
};

Modes modes_at(LineTables& L, int32_t c0) {
    const int64_t nm = L.TLM_HCOEF.extent(1);
    return {L.TLM_FRAC.data() + c0,     L.TLM_YLOSS.data() + c0,      L.TLM_IH1.data() + c0,
            L.TLM_IH2.data() + c0,      L.TLM_S1.data() + c0,         L.TLM_S2.data() + c0,
            L.TLM_HCOEF.data() + c0,    L.TLM_HCOEF.data() + nm + c0, L.TLM_KCOEF.data() + c0,
            L.TLM_KCOEF.data() + nm + c0, L.TLM_PROPK.data() + c0,    L.TLM_V1.data() + c0,
            L.TLM_V2.data() + c0,       L.TLM_DELAY.data() + c0,      L.TLM_NPPROP.data() + c0,
            L.TLM_NPSURGE.data() + c0,  L.TLM_NODE1.data() + c0,      L.TLM_NODE2.data() + c0,
            L.TLM_BUFPOS.data() + c0,   L.TLM_BUFW1.data(),           L.TLM_BUFW2.data(),
            L.TLM_BUFE1.data(),         L.TLM_BUFE2.data()};
}

// Work vectors of one line (end voltages, mode voltages), grown to the
// widest line met and kept.
struct ModalWork {
    std::vector<double> u1, u2, e1, e2;
};

ModalWork& work(int32_t n) {
    static ModalWork w;
    if (w.u1.size() < static_cast<size_t>(n))
        for (auto* v : {&w.u1, &w.u2, &w.e1, &w.e2}) v->resize(static_cast<size_t>(n));
    return w;
}

[[noreturn]] void bad_tables(int32_t row) {
    const std::string name = LINE_TABLES.TLNAME.in_range(row) ? LINE_TABLES.TLNAME(row).trimmed() : "";
    USERMSG(0, 0, 2, 1, "The line tables do not hold the data of line " + name + ".");
    ABORT_RUN("TLSTEP", 0);
}

bool in(int64_t first, int64_t last, int64_t size) { return first >= 1 && last <= size && first <= last + 1; }

// Whether every table slot the line's step reaches lies in its table, so
// that the step itself can go without checks.
bool line_fits(LineTables& L, const NetworkTables& N, int32_t row, int32_t l, const ModalCursor& cur) {
    if (!in(l, l, L.TLM_NCOND.size())) return false;
    const int32_t n = L.TLM_NCOND(l), c0 = cur.c0;
    if (n < 1 || !in(c0 + 1, int64_t{c0} + n, L.TLM_DELAY.size()) ||
        !in(int64_t{cur.t0} + 1, int64_t{cur.t0} + int64_t{n} * n, L.TI.size()) ||
        !in(row, row, L.TLCUR.extent(3)) || n > L.TLCUR.extent(1))
        return false;
    const int64_t nodes = N.VNODE.extent(1), subsystems = N.VNODE.extent(2);
    if (!in(L.TLM_SS1(l), L.TLM_SS1(l), subsystems) || !in(L.TLM_SS2(l), L.TLM_SS2(l), subsystems)) return false;
    const bool server = L.TLINE_REC(row, tlrec::ROLE) == tlrec::ROLE_SERVER;
    if (server && (!in(cur.server, cur.server, L.ENI_SRV_V.extent(2)) || n > L.ENI_SRV_V.extent(1))) return false;
    const Modes M = modes_at(L, c0);
    int64_t b = cur.b0, jp = cur.jp, js = cur.js;
    for (int32_t i = 0; i < n; ++i) {
        const int32_t d = M.delay[i];
        if (!in(M.node1[i], M.node1[i], nodes) || !in(M.node2[i], M.node2[i], nodes) || d < 1 || M.bufpos[i] < 1 ||
            M.bufpos[i] > d || M.npprop[i] < 0 || M.npsurge[i] < 0)
            return false;
        b += d;
        jp += M.npprop[i];
        js += M.npsurge[i];
    }
    return b <= L.TLM_BUFW1.size() && b <= L.TLM_BUFE1.size() && jp <= L.TLM_PC.size() && js <= L.TLM_SR1.size();
}

void fredep_mode(LineTables& L, const Modes& M, int32_t k, int32_t r, int32_t p, bool inflength, double e1,
                 double e2, ModalCursor& cur) {
    const int32_t i = k - 1;
    const double f = M.frac[i];
    // Slot x of the mode's buffers at [x - 1].
    double* be1 = M.bufe1 + cur.b0;
    double* be2 = M.bufe2 + cur.b0;
    double* bw1 = M.bufw1 + cur.b0;
    double* bw2 = M.bufw2 + cur.b0;
    --r;
    --p;
    const double a1 = be1[r], a2 = be2[r];
    be1[r] = e1;
    be2[r] = e2;
    double y1 = 0.0, y2 = 0.0;
    if (inflength) {
        cur.jp += M.npprop[i];
    } else {
        const double x1 = 2.0 * (f * (a1 - be1[p]) + be1[p]) - (f * (M.h1[i] - bw1[p]) + bw1[p]);
        const double x2 = 2.0 * (f * (a2 - be2[p]) + be2[p]) - (f * (M.k1[i] - bw2[p]) + bw2[p]);
        y1 = M.propk[i] * x1;
        y2 = M.propk[i] * x2;
        cplx* ps1 = L.TLM_PS1.data() + cur.jp;
        cplx* ps2 = L.TLM_PS2.data() + cur.jp;
        const cplx* pc = L.TLM_PC.data() + cur.jp;
        const cplx* pb1 = L.TLM_PB1.data() + cur.jp;
        const cplx* pb2 = L.TLM_PB2.data() + cur.jp;
        for (int32_t q = 0; q < M.npprop[i]; ++q) {
            ps1[q] = pc[q] * ps1[q] + pb1[q] * M.k2[i] + pb2[q] * x2;
            ps2[q] = pc[q] * ps2[q] + pb1[q] * M.h2[i] + pb2[q] * x1;
            y2 += ps1[q].real();
            y1 += ps2[q].real();
        }
        cur.jp += M.npprop[i];
        M.h1[i] = bw1[p];
        M.k1[i] = bw2[p];
        bw1[p] = y2;
        bw2[p] = y1;
        M.h2[i] = x1;
        M.k2[i] = x2;
    }
    const double g = M.yloss[i], h1 = M.ih1[i], h2 = M.ih2[i];
    cplx* sr1 = L.TLM_SR1.data() + cur.js;
    cplx* sr2 = L.TLM_SR2.data() + cur.js;
    const cplx* coef = L.TLM_YC_COEF.data() + cur.js;
    const cplx* ex = L.TLM_YC_EXP.data() + cur.js;
    for (int32_t q = 0; q < M.npsurge[i]; ++q) {
        const cplx u = (sr1[q] - (h1 - g * e1)) * coef[q];
        const cplx v = (sr2[q] - (h2 - g * e2)) * coef[q];
        sr1[q] = u * ex[q];
        sr2[q] = v * ex[q];
        y2 += (sr1[q] * coef[q]).real();
        y1 += (sr2[q] * coef[q]).real();
    }
    cur.js += M.npsurge[i];
    M.ih1[i] = g * y2;
    M.ih2[i] = g * y1;
}

void bergeron_mode(const Modes& M, int32_t k, int32_t r, int32_t p, double e1, double e2, double filter, double c,
                   int32_t b0) {
    const int32_t i = k - 1;
    const double f = M.frac[i], h1 = M.h1[i], h2 = M.h2[i], k1 = M.k1[i], k2 = M.k2[i];
    const double a = 2.0 * h1 - 1.0, g = M.yloss[i];
    double* bw1 = M.bufw1 + b0;  // slot x at [x - 1]
    double* bw2 = M.bufw2 + b0;
    --r;
    --p;
    const double d2 = bw2[r], d1 = bw1[r];
    bw2[r] = g * e2 * (1.0 + a) - M.ih2[i] * a;
    bw1[r] = g * (1.0 + a) * e1 - M.ih1[i] * a;
    double w2 = bw2[p] + f * (d2 - bw2[p]);
    double w1 = bw1[p] + f * (d1 - bw1[p]);
    double& s1 = M.s1[i];
    double& s2 = M.s2[i];
    s1 += (w2 - s1) * filter;
    s2 += (w1 - s2) * filter;
    w2 -= s1;
    w1 -= s2;
    double& ih2 = M.ih2[i];
    double& ih1 = M.ih1[i];
    ih2 += c * ((k2 * w2 + k1 * w1 + h2 * s1 + h1 * s2) - ih2);
    ih1 += c * ((k2 * w1 + k1 * w2 + h2 * s2 + h1 * s1) - ih1);
}

}  // namespace

void TLSTEP_MODAL() {
    LineTables& L = LINE_TABLES;
    NetworkTables& N = NET;
    const int32_t rows = tlines_total();
    const int64_t nodes = N.VNODE.extent(1);
    ModalCursor cur;
    for (int32_t row = 1; row <= rows; ++row) {
        const int32_t kind = L.TLINE_REC(row, tlrec::KIND), role = L.TLINE_REC(row, tlrec::ROLE);
        if (role == tlrec::ROLE_SERVER) ++cur.server;
        if (kind != tlrec::KIND_BERGERON && kind != tlrec::KIND_FREDEP) continue;
        const int32_t l = L.TLINE_REC(row, tlrec::FAMILY);
        if (l == 0) continue;  // a row no entry filled
        if (!line_fits(L, N, row, l, cur)) bad_tables(row);
        const int32_t n = L.TLM_NCOND(l), c0 = cur.c0;
        const bool fredep = L.TLM_KIND(l) == tlrec::KIND_FREDEP, inflength = is_true(L.TLM_INFLENGTH(l));
        const bool server = role == tlrec::ROLE_SERVER;
        const Modes M = modes_at(L, c0);
        const double* ti = L.TI.data() + cur.t0;  // T(k, j) at [(j - 1) n + k - 1]
        // Node a of an end at [a - 1].
        const double* v1 = N.VNODE.data() + (L.TLM_SS1(l) - 1) * nodes;
        const double* v2 = N.VNODE.data() + (L.TLM_SS2(l) - 1) * nodes;
        double* inj1 = N.TLINJ.data() + (L.TLM_SS1(l) - 1) * nodes;
        double* inj2 = N.TLINJ.data() + (L.TLM_SS2(l) - 1) * nodes;
        const double* far = server ? &L.ENI_SRV_V(1, cur.server) : nullptr;  // conductor j at [j - 1]

        ModalWork& w = work(n);
        double *u1 = w.u1.data(), *u2 = w.u2.data(), *e1 = w.e1.data(), *e2 = w.e2.data();
        for (int32_t j = 0; j < n; ++j) {
            u1[j] = v1[M.node1[j] - 1];
            u2[j] = server ? far[j] : v2[M.node2[j] - 1];
        }
        for (int32_t k = 0; k < n; ++k) {
            double a = 0.0, b = 0.0;
            for (int32_t j = 0; j < n; ++j) {
                const double t = ti[j * n + k];
                a += t * u1[j];
                b += t * u2[j];
            }
            e1[k] = a;
            e2[k] = b;
        }

        const double filter = L.TLM_FILTER(l), c1 = L.TLM_LOSSF(1, l), c2 = L.TLM_LOSSF(2, l);
        for (int32_t k = 1; k <= n; ++k) {
            const int32_t delay = M.delay[k - 1];
            int32_t& pos = M.bufpos[k - 1];
            const int32_t p = pos, r = p - 1 < 1 ? delay : p - 1;
            if (fredep) {
                fredep_mode(L, M, k, r, p, inflength, e1[k - 1], e2[k - 1], cur);
            } else if (!inflength) {
                bergeron_mode(M, k, r, p, e1[k - 1], e2[k - 1], filter, k == 1 ? c1 : c2, cur.b0);
            } else {
                M.ih1[k - 1] = 0.0;
                M.ih2[k - 1] = 0.0;
            }
            pos = pos + 1 > delay ? 1 : pos + 1;
            cur.b0 += delay;
        }

        for (int32_t c = 0; c < n; ++c) {
            double i1 = 0.0, i2 = 0.0;
            for (int32_t k = 0; k < n; ++k) {
                const double t = ti[c * n + k];
                i1 += t * M.ih1[k];
                i2 += t * M.ih2[k];
            }
            inj1[M.node1[c] - 1] += i1;
            if (role == tlrec::ROLE_LOCAL) inj2[M.node2[c] - 1] += i2;
            L.TLCUR(c + 1, 1, row) = -i1;
            L.TLCUR(c + 1, 2, row) = -i2;
        }

        if (fredep) {
            for (int32_t k = 0; k < n; ++k) {
                M.s2[k] = M.ih1[k];
                M.s1[k] = M.ih2[k];
                M.v1[k] = u1[k];
                M.v2[k] = u2[k];
            }
        }
        cur.c0 += n;
        cur.t0 += n * n;
    }
}
