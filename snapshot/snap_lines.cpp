// The line-model sections of a snapshot: modal lines, phase-domain lines
// and "MFDTD" lines, each the full state its step goes on from.
#include "snapshot/snap_lines.h"

#include <algorithm>
#include <array>

#include "lines/line_tables.h"
#include "lines/lines.h"
#include "snapshot/snap_access.h"
#include "snapshot/snap_line_checks.h"

using snap::all;
using snap::at_least_1;
using snap::column;
using snap::count_record;
using snap::fits;
using snap::req;

namespace {

using cplx = std::complex<double>;

// The per-line flags as one list-directed record.
template <class A> void flags(SnapStream& s, A& a, int32_t n) { s.logical_list(n, all(a)); }

void walk_modal(SnapStream& s) {
    LineTables& L = LINE_TABLES;
    const int32_t nl = req(ND_TLINES);
    if (!s.writing()) fits(s, nl, L.TLM_NCOND);
    s.label("!*** TRANSMISSION LINE DATA");
    s.label("!*** Dimensions:");
    std::array<int32_t, 6> d{req(ND_TRAVWAVES), req(ND_TRANSFORMS), req(ND_TRANSPOLES),
                             req(ND_SURGEPOLES), req(ND_ATTPOLES), req(ND_NUMMODES)};
    s.ints(6, [&d](int32_t i) -> int32_t& { return d[i - 1]; });
    if (!s.writing()) {
        fits(s, d[0], L.TLM_BUFW1);
        fits(s, d[1], L.TI);
        fits(s, d[2], L.TLM_TPOLE1);
        fits(s, d[3], L.TLM_YC_COEF);
        fits(s, d[4], L.TLM_PC);
        fits(s, d[5], L.TLM_DELAY);
    }
    s.label("!*** Basic info:");
    for (int32_t l = 1; l <= nl; ++l) s.name(L.TLM_INPUT_NAME(l));
    for (auto* a : {&L.TLM_SS1, &L.TLM_SS2, &L.TLM_NCOND, &L.TLM_KIND}) s.ints(nl, all(*a));
    if (!s.writing()) check_modal_lines(s, nl);
    flags(s, L.TLM_INFLENGTH, nl);
    if (d[5] > 0) {
        s.label("!*** Modes:");
        for (auto* a : {&L.TLM_DELAY, &L.TLM_BUFPOS, &L.TLM_NPPROP, &L.TLM_NPSURGE, &L.TLM_NODE1, &L.TLM_NODE2})
            s.ints(d[5], all(*a));
        // A seventh per-mode block that these lines do not use: written as
        // zeros, read over whatever another writer put there.
        int32_t unused = 0;
        s.ints(d[5], [&unused](int32_t) -> int32_t& { return unused = 0; });
        for (auto* a : {&L.TLM_FRAC, &L.TLM_YLOSS, &L.TLM_IH1, &L.TLM_IH2, &L.TLM_S1, &L.TLM_S2, &L.TLM_V1,
                        &L.TLM_V2, &L.TLM_PROPK})
            s.reals(d[5], all(*a));
        for (auto* a : {&L.TLM_HCOEF, &L.TLM_KCOEF})
            for (int32_t c = 1; c <= 2; ++c) s.reals(d[5], column(*a, c));
    }
    if (!s.writing()) check_modal_modes(s, nl, d);
    if (d[0] > 0) {
        s.label("!*** Travelling wave buffers:");
        for (auto* a : {&L.TLM_BUFW1, &L.TLM_BUFW2, &L.TLM_BUFE1, &L.TLM_BUFE2}) s.reals(d[0], all(*a));
    }
    if (d[1] > 0) {
        s.label("!*** Constant transformation terms (TI):");
        s.reals(d[1], all(L.TI));
    }
    if (d[2] > 0) {
        s.label("!*** Recur. conv. data for transforms:");
        for (auto* a : {&L.TLM_TPOLE1, &L.TLM_TPOLE2, &L.TLM_TPOLE3, &L.TLM_TPOLE4, &L.TLM_TPOLE5, &L.TLM_TPOLE6,
                        &L.TLM_TPOLE7})
            s.reals(d[2], all(*a));
    }
    if (d[4] > 0) {
        s.label("!*** Recur. conv. data for prop. func.:");
        for (auto* a : {&L.TLM_PC, &L.TLM_PB1, &L.TLM_PB2, &L.TLM_PS1, &L.TLM_PS2}) s.complexes(d[4], all(*a));
    }
    if (d[3] > 0) {
        s.label("!*** Fre-dep data for surge impedance:");
        for (auto* a : {&L.TLM_YC_COEF, &L.TLM_YC_EXP, &L.TLM_SR1, &L.TLM_SR2}) s.complexes(d[3], all(*a));
    }
    s.label("!*** Additional bergeron data:");
    s.reals(nl, all(L.TLM_FILTER));
    for (int32_t r = 1; r <= 2; ++r) s.reals(nl, [&](int32_t l) -> double& { return L.TLM_LOSSF(r, l); });
}

// Line p's groups (delays) and conductors, checked against the tables.
void walk_phase_line(SnapStream& s, int32_t p) {
    LineTables& L = LINE_TABLES;
    const int32_t ng = L.PH_NMODES(p), m = L.PH_NCOND(p);
    s.label("!*** Data for Line: ", p);
    if (ng > 0) {
        s.label("!*** NG Parameters");
        s.ints(ng, column(L.PH_DELAY, p));
        s.ints(ng, [&](int32_t g) -> int32_t& { return L.PH_RIDX(p, g); });
        s.ints(ng, column(L.PH_NHPOLE, p));
        s.reals(ng, [&](int32_t g) -> double& { return L.PH_FRAC(p, g); });
        if (!s.writing()) check_phase_groups(s, p);
    }
    if (m > 0) {
        s.label("!*** MODEPH Parameters");
        s.ints(m, column(L.PH_NYPOLE, p));
        for (auto* a : {&L.PH_HS1, &L.PH_HS2, &L.PH_CI1, &L.PH_CI2}) s.reals(m, column(*a, p));
        s.reals(m * m, [&](int32_t i) -> double& { return L.PH_G((i - 1) % m + 1, (i - 1) / m + 1, p); });
    }
    const int32_t most = static_cast<int32_t>(L.PH_A.extent(1));
    for (int32_t g = 1; g <= ng; ++g) {
        const int32_t c = L.PH_NHPOLE(g, p);
        if (!s.writing()) s.check(c, 0, most);
        if (c > 0)
            for (auto* a : {&L.PH_A, &L.PH_B, &L.PH_C})
                s.complexes(c, [&](int32_t k) -> cplx& { return (*a)(k, g, p); });
        if (m > 0)
            for (auto* a : {&L.PH_XO1, &L.PH_XO2}) s.reals(m, [&](int32_t i) -> double& { return (*a)(i, g, p); });
    }
    for (int32_t k = 1; k <= m; ++k) {
        const int32_t c = L.PH_NYPOLE(k, p);
        if (!s.writing()) s.check(c, 0, most);
        if (c > 0)
            for (auto* a : {&L.PH_ALPHA, &L.PH_SY1, &L.PH_SY2})
                s.complexes(c, [&](int32_t j) -> cplx& { return (*a)(j, k, p); });
    }
}

void walk_phase(SnapStream& s, int32_t np) {
    LineTables& L = LINE_TABLES;
    s.label("!*** PHASE DOMAIN TRANSMISSION LINE DATA");
    s.label("!*** Basic Information:");
    for (int32_t p = 1; p <= np; ++p) s.name(L.PH_NAME(p));
    int32_t npx = req(ND_NUMMODES_PH);
    count_record(s, npx);
    if (!s.writing()) fits(s, npx, L.PH_NODE1);
    for (auto* a : {&L.PH_SS1, &L.PH_SS2, &L.PH_NCOND, &L.PH_WIDX, &L.PH_NMODES, &L.PH_BUFLEN}) s.ints(np, all(*a));
    if (!s.writing()) check_phase_lines(s, np);
    flags(s, L.PH_INFLENGTH, np);
    if (npx > 0)
        for (auto* a : {&L.PH_NODE1, &L.PH_NODE2}) s.ints(npx, all(*a));
    if (!s.writing()) check_phase_nodes(s, np, npx);
    for (int32_t p = 1; p <= np; ++p) walk_phase_line(s, p);

    s.label("!*** Sparse Stored Parameters");
    std::array<int32_t, 5> n{req(ND_HSERC_PH), req(ND_YCSERC_PH), req(ND_XHK_PH), req(ND_PROP_PH),
                             req(ND_TRAVWAVES_PH)};
    s.ints(5, [&n](int32_t i) -> int32_t& { return n[i - 1]; });
    if (!s.writing()) {
        fits(s, n[0], L.PH_RH);
        fits(s, n[1], L.PH_RY);
        fits(s, n[2], L.PH_SH1);
        fits(s, n[3], L.PH_H0);
        fits(s, n[4], L.PH_WB1);
        check_phase_totals(s, np, n);
    }
    if (n[0] > 0) s.complexes(n[0], all(L.PH_RH));
    if (n[1] > 0) s.complexes(n[1], all(L.PH_RY));
    if (n[2] > 0)
        for (auto* a : {&L.PH_SH1, &L.PH_SH2}) s.complexes(n[2], all(*a));
    if (n[3] > 0) s.reals(n[3], all(L.PH_H0));
    if (n[4] > 0)
        for (auto* a : {&L.PH_WB1, &L.PH_WB2}) s.reals(n[4], all(*a));
}

// A K-by-K matrix of line l, row by row.
void matrix_rows(SnapStream& s, const char* label, FArray3<double>& a, int32_t K, int32_t l) {
    s.label(label);
    for (int32_t k = 1; k <= K; ++k) s.e_reals(K, [&](int32_t j) -> double& { return a(k, j, l); });
}

// Column j = 1..H of a (K, H) slice of line l.
void segment_columns(SnapStream& s, const char* label, FArray3<double>& a, int32_t K, int32_t H, int32_t l) {
    s.label(label);
    for (int32_t j = 1; j <= H; ++j) s.e_reals(K, [&](int32_t i) -> double& { return a(i, j, l); });
}

void walk_mfdtd(SnapStream& s, int32_t nm) {
    LineTables& L = LINE_TABLES;
    const int32_t cn = at_least_1(ND_NUMMODES_MFDTD), K = at_least_1(ND_MAXMODES_MFDTD);
    const int32_t P = at_least_1(ND_MAXPOLES_MFDTD), H = at_least_1(ND_MAXINC_MFDTD);
    if (!s.writing()) {
        fits(s, cn, L.TLD_NODE1);
        fits(s, K, L.TLD_G2);
        fits(s, K, L.TLD_G2, 2);
        fits(s, P, L.TLD_POLE);
        fits(s, H, L.TLD_V, 2);
        fits(s, K, L.TLD_RES, 2);
        fits(s, P, L.TLD_RES, 3);
        fits(s, K, L.TLD_PSI);
        fits(s, H, L.TLD_PSI, 2);
        fits(s, P, L.TLD_PSI, 3);
    }
    s.label("!*** MFDTD TRANSMISSION LINE DATA");
    s.label("!*** Basic Data:");
    for (int32_t l = 1; l <= nm; ++l) s.name(L.TLD_INPUT_NAME(l));
    int32_t nmx = req(ND_NUMMODES_MFDTD);
    count_record(s, nmx);
    for (auto* a : {&L.TLD_SS1, &L.TLD_SS2, &L.TLD_NCOND}) s.ints(nm, all(*a));
    s.label("!Node Numbers (All MFDTD Lines):");
    for (int32_t j = 1; j <= cn; ++j)
        s.ints(2, [&](int32_t i) -> int32_t& { return i == 1 ? L.TLD_NODE1(j) : L.TLD_NODE2(j); });
    if (!s.writing()) check_mfdtd_lines(s, nm, cn);
    flags(s, L.TLD_INFLENGTH, nm);
    for (int32_t l = 1; l <= nm; ++l) {
        s.label("!*** Static Data for Line:", l);
        count_record(s, L.TLD_NPOLE(l));
        count_record(s, L.TLD_NSEG(l));
        if (!s.writing()) check_mfdtd_line(s, l);
        s.e_reals(1, [&](int32_t) -> double& { return L.TLD_DZ(l); });
        const std::array<std::pair<const char*, FArray3<double>*>, 8> matrices{{{"!Zeta1:", &L.TLD_G2},
                                                                               {"!Xhi1:", &L.TLD_G3},
                                                                               {"!Zp^-1:", &L.TLD_IMAT},
                                                                               {"!Zm:", &L.TLD_IHIST},
                                                                               {"!Yp:", &L.TLD_VMAT},
                                                                               {"!Yp^-1:", &L.TLD_VHIST},
                                                                               {"!Ym:", &L.TLD_EMAT},
                                                                               {"!Yh:", &L.TLD_EHIST}}};
        for (const auto& [label, a] : matrices) matrix_rows(s, label, *a, K, l);
        s.label("!Zeta2:");
        s.e_reals(P, column(L.TLD_CD, l));
        s.label("!Xhi2:");
        s.e_reals(P, column(L.TLD_CS, l));
        s.label("!Alpha:");
        s.complexes(P, column(L.TLD_POLE, l));
        s.label("!Ai:");
        for (int32_t i = 1; i <= K; ++i)
            for (int32_t j = 1; j <= K; ++j) s.complexes(P, [&](int32_t p) -> cplx& { return L.TLD_RES(i, j, p, l); });

        s.label("!*** Dynamic Data for Line:", l);
        s.label("!ISH:");
        s.e_reals(K, column(L.TLD_E1, l));
        s.label("!ILH:");
        s.e_reals(K, column(L.TLD_E2, l));
        const std::array<std::pair<const char*, FArray3<double>*>, 5> states{{{"!History Voltage Array:", &L.TLD_V},
                                                                             {"!History Current 1 Array:", &L.TLD_I1},
                                                                             {"!History Current 2 Array:", &L.TLD_I2},
                                                                             {"!History Current 3 Array:", &L.TLD_I3},
                                                                             {"!Current Array:", &L.TLD_I0}}};
        for (const auto& [label, a] : states) segment_columns(s, label, *a, K, H, l);
        s.label("!History Psi:");
        for (int32_t h = 1; h <= H; ++h)
            for (int32_t p = 1; p <= P; ++p) s.complexes(K, [&](int32_t k) -> cplx& { return L.TLD_PSI(k, h, p, l); });
    }
}

}  // namespace

void walk_line_models(SnapStream& s) {
    LineTables& L = LINE_TABLES;
    LineCounts& C = LINE_COUNTS;
    if (req(ND_TLINES) > 0) walk_modal(s);
    count_record(s, C.NTLPHASE);
    // No more lines than the dimensions claim and the tables hold.
    if (!s.writing()) s.check(C.NTLPHASE, 0, std::min<int32_t>(req(ND_TLINES_PH), L.PH_NCOND.size()));
    if (C.NTLPHASE > 0) walk_phase(s, C.NTLPHASE);
    count_record(s, C.NTLMFDTD);
    if (!s.writing()) s.check(C.NTLMFDTD, 0, std::min<int32_t>(req(ND_TLINES_MFDTD), L.TLD_NCOND.size()));
    if (C.NTLMFDTD > 0) walk_mfdtd(s, C.NTLMFDTD);
}
