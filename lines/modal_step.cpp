#include "lines/modal_step.h"

#include <complex>

#include "lines/line_record.h"
#include "lines/line_tables.h"
#include "lines/lines.h"
#include "network/network_tables.h"

namespace {

// Running offsets over the modal lines; never stored.
struct ModalCursor {
    int32_t c0 = 0;  // conductors and modes
    int32_t t0 = 0;  // transformation values
    int32_t b0 = 0;  // travelling-wave buffer slots
    int32_t jp = 0;  // propagation poles
    int32_t js = 0;  // surge poles
    int32_t server = 0;
};

// Small per-line work vectors; a line has at most MAXMODES conductors.
struct ModalWork {
    FArray1<double> e1, e2;
};

ModalWork& work(int64_t n) {
    static ModalWork w;
    if (w.e1.size() < n) {
        w.e1.allocate(n);
        w.e2.allocate(n);
    }
    return w;
}

void fredep_mode(LineTables& L, int32_t m, int32_t r, int32_t p, bool inflength, double e1, double e2,
                 ModalCursor& cur) {
    const double f = L.TLM_FRAC(m);
    const double a1 = L.TLM_BUFE1(cur.b0 + r), a2 = L.TLM_BUFE2(cur.b0 + r);
    L.TLM_BUFE1(cur.b0 + r) = e1;
    L.TLM_BUFE2(cur.b0 + r) = e2;
    double y1 = 0.0, y2 = 0.0;
    if (inflength) {
        cur.jp += L.TLM_NPPROP(m);
    } else {
        const int32_t pp = cur.b0 + p;
        const double x1 = 2.0 * (f * (a1 - L.TLM_BUFE1(pp)) + L.TLM_BUFE1(pp)) -
                          (f * (L.TLM_HCOEF(m, 1) - L.TLM_BUFW1(pp)) + L.TLM_BUFW1(pp));
        const double x2 = 2.0 * (f * (a2 - L.TLM_BUFE2(pp)) + L.TLM_BUFE2(pp)) -
                          (f * (L.TLM_KCOEF(m, 1) - L.TLM_BUFW2(pp)) + L.TLM_BUFW2(pp));
        y1 = L.TLM_PROPK(m) * x1;
        y2 = L.TLM_PROPK(m) * x2;
        for (int32_t q = 1; q <= L.TLM_NPPROP(m); ++q) {
            const int32_t j = ++cur.jp;
            L.TLM_PS1(j) = L.TLM_PC(j) * L.TLM_PS1(j) + L.TLM_PB1(j) * L.TLM_KCOEF(m, 2) + L.TLM_PB2(j) * x2;
            L.TLM_PS2(j) = L.TLM_PC(j) * L.TLM_PS2(j) + L.TLM_PB1(j) * L.TLM_HCOEF(m, 2) + L.TLM_PB2(j) * x1;
            y2 += L.TLM_PS1(j).real();
            y1 += L.TLM_PS2(j).real();
        }
        L.TLM_HCOEF(m, 1) = L.TLM_BUFW1(pp);
        L.TLM_KCOEF(m, 1) = L.TLM_BUFW2(pp);
        L.TLM_BUFW1(pp) = y2;
        L.TLM_BUFW2(pp) = y1;
        L.TLM_HCOEF(m, 2) = x1;
        L.TLM_KCOEF(m, 2) = x2;
    }
    const double g = L.TLM_YLOSS(m), h1 = L.TLM_IH1(m), h2 = L.TLM_IH2(m);
    for (int32_t s = 1; s <= L.TLM_NPSURGE(m); ++s) {
        const int32_t q = ++cur.js;
        const std::complex<double> u = (L.TLM_SR1(q) - (h1 - g * e1)) * L.TLM_YC_COEF(q);
        const std::complex<double> v = (L.TLM_SR2(q) - (h2 - g * e2)) * L.TLM_YC_COEF(q);
        L.TLM_SR1(q) = u * L.TLM_YC_EXP(q);
        L.TLM_SR2(q) = v * L.TLM_YC_EXP(q);
        y2 += (L.TLM_SR1(q) * L.TLM_YC_COEF(q)).real();
        y1 += (L.TLM_SR2(q) * L.TLM_YC_COEF(q)).real();
    }
    L.TLM_IH1(m) = g * y2;
    L.TLM_IH2(m) = g * y1;
}

void bergeron_mode(LineTables& L, int32_t l, int32_t k, int32_t m, int32_t r, int32_t p, double e1, double e2,
                   int32_t b0) {
    const double f = L.TLM_FRAC(m);
    const double h1 = L.TLM_HCOEF(m, 1), h2 = L.TLM_HCOEF(m, 2), k1 = L.TLM_KCOEF(m, 1), k2 = L.TLM_KCOEF(m, 2);
    const double a = 2.0 * h1 - 1.0, g = L.TLM_YLOSS(m);
    double& wr2 = L.TLM_BUFW2(b0 + r);
    double& wr1 = L.TLM_BUFW1(b0 + r);
    const double d2 = wr2, d1 = wr1;
    wr2 = g * e2 * (1.0 + a) - L.TLM_IH2(m) * a;
    wr1 = g * (1.0 + a) * e1 - L.TLM_IH1(m) * a;
    const double wp2 = L.TLM_BUFW2(b0 + p), wp1 = L.TLM_BUFW1(b0 + p);
    double w2 = wp2 + f * (d2 - wp2);
    double w1 = wp1 + f * (d1 - wp1);
    double& s1 = L.TLM_S1(m);
    double& s2 = L.TLM_S2(m);
    const double filter = L.TLM_FILTER(l);
    s1 += (w2 - s1) * filter;
    s2 += (w1 - s2) * filter;
    w2 -= s1;
    w1 -= s2;
    const double c = L.TLM_LOSSF(k == 1 ? 1 : 2, l);
    double& ih2 = L.TLM_IH2(m);
    double& ih1 = L.TLM_IH1(m);
    ih2 += c * ((k2 * w2 + k1 * w1 + h2 * s1 + h1 * s2) - ih2);
    ih1 += c * ((k2 * w1 + k1 * w2 + h2 * s2 + h1 * s1) - ih1);
}

}  // namespace

void TLSTEP_MODAL() {
    LineTables& L = LINE_TABLES;
    NetworkTables& N = NET;
    const int32_t rows = tlines_total();
    ModalCursor cur;
    int32_t l = 0;
    for (int32_t row = 1; row <= rows; ++row) {
        const int32_t kind = L.TLINE_REC(row, tlrec::KIND), role = L.TLINE_REC(row, tlrec::ROLE);
        if (role == tlrec::ROLE_SERVER) ++cur.server;
        if (kind != tlrec::KIND_BERGERON && kind != tlrec::KIND_FREDEP) continue;
        if (L.TLINE_REC(row, tlrec::FAMILY) == 0) continue;  // a row no entry filled
        l = L.TLINE_REC(row, tlrec::FAMILY);
        const int32_t n = L.TLM_NCOND(l), ss1 = L.TLM_SS1(l), ss2 = L.TLM_SS2(l);
        const bool fredep = L.TLM_KIND(l) == tlrec::KIND_FREDEP, inflength = is_true(L.TLM_INFLENGTH(l));
        ModalWork& w = work(n);
        const int32_t c0 = cur.c0, t0 = cur.t0;

        // Mode voltages of both ends.
        for (int32_t k = 1; k <= n; ++k) {
            double e1 = 0.0, e2 = 0.0;
            for (int32_t j = 1; j <= n; ++j) {
                const double t = L.TI(t0 + (j - 1) * n + k);
                e1 += t * N.VNODE(L.TLM_NODE1(c0 + j), ss1);
                e2 += t * (role == tlrec::ROLE_SERVER ? L.ENI_SRV_V(j, cur.server)
                                                      : N.VNODE(L.TLM_NODE2(c0 + j), ss2));
            }
            w.e1(k) = e1;
            w.e2(k) = e2;
        }

        for (int32_t k = 1; k <= n; ++k) {
            const int32_t m = c0 + k, delay = L.TLM_DELAY(m);
            int32_t r = L.TLM_BUFPOS(m) - 1;
            if (r < 1) r = delay;
            const int32_t p = L.TLM_BUFPOS(m);
            if (fredep) {
                fredep_mode(L, m, r, p, inflength, w.e1(k), w.e2(k), cur);
            } else if (!inflength) {
                bergeron_mode(L, l, k, m, r, p, w.e1(k), w.e2(k), cur.b0);
            } else {
                L.TLM_IH1(m) = 0.0;
                L.TLM_IH2(m) = 0.0;
            }
            int32_t& pos = L.TLM_BUFPOS(m);
            pos = pos + 1 > delay ? 1 : pos + 1;
            cur.b0 += delay;
        }

        // Phase-domain injections and end currents.
        for (int32_t c = 1; c <= n; ++c) {
            double i1 = 0.0, i2 = 0.0;
            for (int32_t k = 1; k <= n; ++k) {
                const double t = L.TI(t0 + (c - 1) * n + k);
                i1 += t * L.TLM_IH1(c0 + k);
                i2 += t * L.TLM_IH2(c0 + k);
            }
            N.TLINJ(L.TLM_NODE1(c0 + c), ss1) += i1;
            if (role == tlrec::ROLE_LOCAL) N.TLINJ(L.TLM_NODE2(c0 + c), ss2) += i2;
            L.TLCUR(c, 1, row) = -i1;
            L.TLCUR(c, 2, row) = -i2;
        }

        if (fredep) {
            for (int32_t k = 1; k <= n; ++k) {
                const int32_t m = c0 + k;
                L.TLM_S2(m) = L.TLM_IH1(m);
                L.TLM_S1(m) = L.TLM_IH2(m);
                L.TLM_V1(m) = N.VNODE(L.TLM_NODE1(m), ss1);
                L.TLM_V2(m) = role == tlrec::ROLE_SERVER ? L.ENI_SRV_V(k, cur.server) : N.VNODE(L.TLM_NODE2(m), ss2);
            }
        }
        cur.c0 += n;
        cur.t0 += n * n;
    }
}
