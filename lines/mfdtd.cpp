// The finite-difference time-domain line ("MFDTD"): its numeric block,
// segments and update matrices, and its leapfrog step with the pole
// convolutions of the series impedance.
#include "lines/mfdtd.h"

#include <cmath>
#include <complex>
#include <functional>
#include <type_traits>
#include <string>
#include <vector>

#include "engine/abort.h"
#include "engine/messages.h"
#include "engine/run_state.h"
#include "lines/line_record.h"
#include "lines/line_tables.h"
#include "lines/lines.h"
#include "lines/modal_setup.h"
#include "network/dimensions.h"
#include "network/line_reader.h"
#include "network/network_tables.h"
#include "platform/list_read.h"

namespace {

using cplx = std::complex<double>;

void console(FValues v) { write_list(UNIT_CONSOLE_OUT, v); }

// One item on a record of its own.
template <class T>
T item(LineEntry& e) {
    T v{};
    ListRead in(INPUT.INPUT_UNIT, Reals::Finite);
    if constexpr (std::is_same_v<T, int32_t>)
        in.integer(v);
    else if constexpr (std::is_same_v<T, double>)
        in.real(v);
    else
        in.complex(v);
    if (in.status() == ReadStatus::End) DSLINT_END_OF_FILE(e);
    if (in.status() == ReadStatus::Error) DSLINT_READ_ERROR(e);
    return v;
}

// A symmetric matrix given as its upper triangle, row by row.
template <class T>
void triangle(LineEntry& e, int32_t n, const std::function<T&(int32_t, int32_t)>& at) {
    for (int32_t i = 1; i <= n; ++i)
        for (int32_t j = i; j <= n; ++j) {
            at(i, j) = item<T>(e);
            at(j, i) = at(i, j);
        }
}

[[noreturn]] void stop_lines(const std::string& name, std::initializer_list<const char*> lines) {
    write_formatted(UNIT_CONSOLE_OUT, "(1X,A,A20)", {"ERROR: MFDTD line: ", name});
    for (const char* s : lines) console({s});
    ABORT_RUN("DSLINT", 0);
}

void segments(LineEntry& e, int32_t k, double v, double length) {
    LineTables& L = LINE_TABLES;
    const std::string name(L.TLD_INPUT_NAME(k).sub(1, 20));
    const double dz = v * RUN_CLOCK.DELT;
    if (!(dz > 0.0) || !std::isfinite(dz))
        stop_lines(name, {"Value entered for maximum velocity is less than", "or equal to 0.0.  Please choose a positive",
                          "value (typically around 2.99E+08 m/s)."});
    if (!(length > 0.0) || !std::isfinite(length)) stop_lines(name, {"Line length must be greater than 0.0!"});
    const double x = length / dz;
    if (!(x < 2147483646.0)) DSLINT_DATA_ERROR(e, "More segments than 32 bits hold");
    const int32_t ns = static_cast<int32_t>(x);
    if (ns < 1)
        stop_lines(name, {"Number of spacial segments is less than 1.", "Selected ZARIK time step is not sufficiently",
                          "small for specified line length.  Please", "reduce ZARIK time step."});
    if (int64_t{ns} + 1 > L.TLD_V.extent(2)) DSLINT_DATA_ERROR(e, "More segments than the line tables hold");
    L.TLD_NSEG(k) = ns;
    L.TLD_DZ(k) = length / ns;
    write_formatted(UNIT_CONSOLE_OUT, "(1X,A,A20)", {"MFDTD line: ", name});
    if (ns == 1) {
        console({"Number of spacial segments is 1.  This line may"});
        console({"be replaced with a Coupled PI-Section"});
        console({"equivalent."});
        USERWARN(0, 0, 1, "Check Non-standard Messages for Tline/Cable Warnings");
        return;
    }
    write_formatted(UNIT_CONSOLE_OUT, "(1X,A,I6)", {"Number of spacial segments = ", ns});
    write_formatted(UNIT_CONSOLE_OUT, "(1X,A,G18.6)", {"Spacial segment length (dx) = ", L.TLD_DZ(k)});
}

}  // namespace

void MFDSET1(int32_t& np, int32_t& n, int32_t& k) {
    LineTables& L = LINE_TABLES;
    for (int32_t i = 1; i <= n; ++i)
        for (int32_t j = 1; j <= n; ++j) {
            cplx s = 0.0;
            for (int32_t p = 1; p <= np; ++p) s += L.TLD_RES(i, j, p, k) * (1.0 / L.TLD_POLE(p, k));
            L.TLD_WA(i, j) = s.real();
        }
}

namespace {
// Re(sum over the poles of RES(i, j, p) w(p)) into table(i, j, k).
void pole_sum(int32_t np, int32_t n, int32_t k, FArray3<double>& table, const std::function<cplx(cplx, cplx)>& w,
              double dt) {
    LineTables& L = LINE_TABLES;
    for (int32_t i = 1; i <= n; ++i)
        for (int32_t j = 1; j <= n; ++j) {
            cplx s = 0.0;
            for (int32_t p = 1; p <= np; ++p) {
                const cplx a = L.TLD_POLE(p, k), z = a * dt;
                s += L.TLD_RES(i, j, p, k) * w(a, z);
            }
            table(i, j, k) = s.real();
        }
}
}  // namespace

void MFDSET2(int32_t& np, int32_t& n, double& dt, int32_t& k) {
    pole_sum(np, n, k, LINE_TABLES.TLD_G2,
             [](cplx a, cplx z) { return (1.0 + (1.0 - std::exp(z)) / z) / (z * a); }, dt);
}

void MFDSET3(int32_t& np, int32_t& n, double& dt, int32_t& k) {
    pole_sum(np, n, k, LINE_TABLES.TLD_G3, [](cplx a, cplx z) { return (std::exp(z) - 1.0) / (z * a); }, dt);
}

void MFDSET4(int32_t& np, double& dt, int32_t& k) {
    LineTables& L = LINE_TABLES;
    for (int32_t p = 1; p <= np; ++p) {
        const cplx z = L.TLD_POLE(p, k) * dt, e = std::exp(z);
        L.TLD_CS(p, k) = (e * (1.0 + (1.0 - e) / z) / z).real();
    }
}

void MFDSET5(int32_t& np, double& dt, int32_t& k) {
    LineTables& L = LINE_TABLES;
    for (int32_t p = 1; p <= np; ++p) {
        const cplx z = L.TLD_POLE(p, k) * dt;
        L.TLD_CD(p, k) = ((std::exp(2.0 * z) - std::exp(z)) / z).real();
    }
}

void MMAT_INV(FArray3<double>& m, int32_t n, int32_t k) {
    std::vector<double> a(static_cast<size_t>(n * n));
    const auto at = [&](int32_t i, int32_t j) -> double& { return a[static_cast<size_t>((j - 1) * n + i - 1)]; };
    for (int32_t i = 1; i <= n; ++i)
        for (int32_t j = 1; j <= n; ++j) at(i, j) = m(i, j, k);
    std::vector<int32_t> mark(static_cast<size_t>(n + 1), 0), rows(static_cast<size_t>(n + 1)),
        cols(static_cast<size_t>(n + 1));
    const auto singular = [] {
        USERMSG(0, 0, 2, 1, "Singular matrix encountered in MFDTD");
        ABORT_RUN("MMAT_INV", 0);
    };
    for (int32_t pass = 1; pass <= n; ++pass) {
        double big = 0.0;
        int32_t ir = 0, ic = 0;
        for (int32_t i = 1; i <= n; ++i) {
            if (mark[i] == 1) continue;
            for (int32_t j = 1; j <= n; ++j) {
                if (mark[j] > 1) singular();
                if (mark[j] == 0 && std::fabs(at(i, j)) >= big) {
                    big = std::fabs(at(i, j));
                    ir = i;
                    ic = j;
                }
            }
        }
        if (ic == 0) singular();
        ++mark[ic];
        if (ir != ic)
            for (int32_t j = 1; j <= n; ++j) std::swap(at(ir, j), at(ic, j));
        rows[pass] = ir;
        cols[pass] = ic;
        if (at(ic, ic) == 0.0) singular();
        const double inv = 1.0 / at(ic, ic);
        at(ic, ic) = 1.0;
        for (int32_t j = 1; j <= n; ++j) at(ic, j) *= inv;
        for (int32_t i = 1; i <= n; ++i) {
            if (i == ic) continue;
            const double f = at(i, ic);
            at(i, ic) = 0.0;
            for (int32_t j = 1; j <= n; ++j) at(i, j) -= at(ic, j) * f;
        }
    }
    for (int32_t pass = n; pass >= 1; --pass)
        if (rows[pass] != cols[pass])
            for (int32_t i = 1; i <= n; ++i) std::swap(at(i, rows[pass]), at(i, cols[pass]));
    for (int32_t i = 1; i <= n; ++i)
        for (int32_t j = 1; j <= n; ++j) m(i, j, k) = at(i, j);
}

void DSLINT_MFDTD(LineEntry& e) {
    LineTables& L = LINE_TABLES;
    const int32_t k = LINE_COUNTS.NTLMFDTD + 1;
    if (k > DIMBLOCK.AVAIL[ND_TLINES_MFDTD] || k > L.TLD_NCOND.size()) {
        if (e.header) console({"Line Name: ", e.display_name.sub(1, static_cast<size_t>(e.display_length))});
        OUTMSG(30, DIMBLOCK.AVAIL[ND_TLINES_MFDTD], 0, 0, 0.0, 0.0, CURLINE());
        ABORT_RUN("DSLINT", 1);
    }
    int32_t c = 0;
    {
        ListRead in(e.record.sub(7, 8));
        in.integer(c);
        if (in.status() == ReadStatus::Error) DSLINT_READ_ERROR(e);
    }
    if (c != e.n) DSLINT_CONDUCTOR_MISMATCH(e);
    const int32_t n = e.n;
    if (n < 1 || n > L.TLD_G2.extent(1) || n > L.TLGMAT.extent(1) || n > L.TLCUR.extent(1) ||
        int64_t{L.counters.TL_MFDCOND} + n > L.TLD_NODE1.size())
        DSLINT_DATA_ERROR(e, "More conductors than the MFDTD line tables hold");
    LINE_COUNTS.NTLMFDTD = k;
    const int32_t row = DSLINT_NEW_ROW(e);
    L.TLINE_REC(row, tlrec::FAMILY) = k;
    L.TLINE_REC(row, tlrec::OFFSET) = L.counters.TL_MFDCOND;
    L.TLD_SS1(k) = e.s1;
    L.TLD_SS2(k) = e.s2;
    L.TLD_NCOND(k) = n;
    L.TLD_INFLENGTH(k) = LFALSE;
    L.TLD_INPUT_NAME(k) = e.input_name;
    for (int32_t i = 1; i <= n; ++i) {
        L.TLD_NODE1(L.counters.TL_MFDCOND + i) = e.node1[static_cast<size_t>(i - 1)];
        L.TLD_NODE2(L.counters.TL_MFDCOND + i) = e.node2[static_cast<size_t>(i - 1)];
    }
    L.counters.TL_MFDCOND += n;

    bool interpolate = true;  // whole-step delays mean nothing here
    DSLINT_OPTIONS(e, interpolate, L.TLD_INFLENGTH(k));
    RDCMNT();
    const double v = item<double>(e), length = item<double>(e);
    for (FArray2<double>* w : {&L.TLD_WR, &L.TLD_WL, &L.TLD_WG, &L.TLD_WC})
        triangle<double>(e, n, [w](int32_t i, int32_t j) -> double& { return (*w)(i, j); });
    int32_t np = item<int32_t>(e);
    if (np < 0 || np > L.TLD_POLE.extent(1)) DSLINT_DATA_ERROR(e, "More poles than the MFDTD line tables hold");
    L.TLD_NPOLE(k) = np;
    for (int32_t p = 1; p <= np; ++p) {
        L.TLD_POLE(p, k) = item<cplx>(e);
        triangle<cplx>(e, n, [&](int32_t i, int32_t j) -> cplx& { return L.TLD_RES(i, j, p, k); });
    }
    segments(e, k, v, length);

    double dt = RUN_CLOCK.DELT;
    int32_t nn = n, kk = k;
    MFDSET1(np, nn, kk);
    MFDSET2(np, nn, dt, kk);
    MFDSET3(np, nn, dt, kk);
    MFDSET4(np, dt, kk);
    MFDSET5(np, dt, kk);
    const double dz = L.TLD_DZ(k);
    for (int32_t i = 1; i <= n; ++i)
        for (int32_t j = 1; j <= n; ++j) {
            const double r = L.TLD_WR(i, j), l = L.TLD_WL(i, j) / dt, g = L.TLD_WG(i, j), cc = L.TLD_WC(i, j) / dt;
            const double a = L.TLD_WA(i, j), g2 = L.TLD_G2(i, j, k), g3 = L.TLD_G3(i, j, k);
            L.TLD_IMAT(i, j, k) = dz * (r / 2 + l - a / 2 - g2);
            L.TLD_IHIST(i, j, k) = dz * (a / 2 + l - r / 2 - 2 * g2 - g3);
            L.TLD_VMAT(i, j, k) = dz * (g / 2 + cc);
            L.TLD_VHIST(i, j, k) = dz * (cc - g / 2);
            // The end cells are half cells.
            L.TLD_EMAT(i, j, k) = dz * (g / 2 + cc);
            L.TLD_EHIST(i, j, k) = dz * (g / 2 - cc);
            L.TLGMAT(i, j, row) = dz * (g / 2 + cc);
        }
    MMAT_INV(L.TLD_IMAT, n, k);
    MMAT_INV(L.TLD_VMAT, n, k);
    if (e.file_open) CLOSEFILE();
    DSLINT_CONDUCTANCE(e, row);
}

namespace {

inline cplx mul(cplx a, cplx b) {
    return {a.real() * b.real() - a.imag() * b.imag(), a.real() * b.imag() + a.imag() * b.real()};
}

// One line's pole data: pole p at [p - 1]; residue (i, j, p) at
// [((p - 1) M + j - 1) M + i - 1].
struct Poles {
    const cplx *pole, *res;
    const double *cd, *cs;
    int64_t M;
};

Poles poles_of(LineTables& L, int32_t k) {
    return {&L.TLD_POLE(1, k), &L.TLD_RES(1, 1, 1, k), &L.TLD_CD(1, k), &L.TLD_CS(1, k), L.TLD_RES.extent(1)};
}

// The states psi (conductor i, pole p at [(p - 1) pstride + i - 1]) advanced;
// h(i) at h[i - 1].
void advance(int32_t np, int32_t n, const double* x1, const double* x2, const double* x3, double dt, const Poles& P,
             cplx* psi, int64_t pstride, double* h) {
    for (int32_t p = 0; p < np; ++p) {
        const cplx ex = std::exp(P.pole[p] * dt);
        cplx* s = psi + p * pstride;
        for (int32_t i = 0; i < n; ++i) {
            const double u = P.cd[p] * (x2[i] - x3[i]) + P.cs[p] * (2.0 * x2[i] - x1[i] - x3[i]);
            s[i] = mul(ex, s[i]) + u;
        }
    }
    for (int32_t i = 0; i < n; ++i) {
        cplx sum = 0.0;
        for (int32_t p = 0; p < np; ++p) {
            cplx t = 0.0;
            const cplx* r = P.res + p * P.M * P.M + i;
            const cplx* s = psi + p * pstride;
            for (int32_t j = 0; j < n; ++j) t += mul(r[j * P.M], s[j]);
            sum += t / P.pole[p];
        }
        h[i] = sum.real();
    }
}

bool in(int64_t first, int64_t last, int64_t size) { return first >= 1 && last <= size && first <= last + 1; }

bool mfdtd_fits(const LineTables& L, const NetworkTables& N, int32_t row, int32_t k) {
    if (!in(k, k, L.TLD_NCOND.size()) || !in(row, row, L.TLCUR.extent(3))) return false;
    const int32_t n = L.TLD_NCOND(k), ns = L.TLD_NSEG(k), np = L.TLD_NPOLE(k), o = L.TLINE_REC(row, tlrec::OFFSET);
    const int64_t nodes = N.VNODE.extent(1), subsystems = N.VNODE.extent(2);
    if (n < 1 || n > L.TLD_G2.extent(1) || n > L.TLD_V.extent(1) || n > L.TLCUR.extent(1) || n > L.TLD_WHIST.size() ||
        ns < 1 || ns + 1 > L.TLD_V.extent(2) || ns + 1 > L.TLD_WVNEW.extent(2) || np < 0 ||
        np > L.TLD_POLE.extent(1) || !in(int64_t{o} + 1, int64_t{o} + n, L.TLD_NODE1.size()) ||
        !in(L.TLD_SS1(k), L.TLD_SS1(k), subsystems) || !in(L.TLD_SS2(k), L.TLD_SS2(k), subsystems))
        return false;
    for (int32_t i = 1; i <= n; ++i)
        if (!in(L.TLD_NODE1(o + i), L.TLD_NODE1(o + i), nodes) || !in(L.TLD_NODE2(o + i), L.TLD_NODE2(o + i), nodes))
            return false;
    return true;
}

}  // namespace

void MFDSTEP(int32_t& np, int32_t& n, const double* x1, const double* x2, const double* x3, double& dt, int32_t& k) {
    LineTables& L = LINE_TABLES;
    advance(np, n, x1, x2, x3, dt, poles_of(L, k), L.TLD_WPSI.data(), L.TLD_WPSI.extent(1), L.TLD_WHIST.data());
}

void TLSTEP_MFDTD() {
    LineTables& L = LINE_TABLES;
    NetworkTables& N = NET;
    const int32_t rows = tlines_total();
    const int64_t M = L.TLD_V.extent(1), S = L.TLD_V.extent(2), nodes = N.VNODE.extent(1);
    static std::vector<double> work;
    for (int32_t row = 1; row <= rows; ++row) {
        if (L.TLINE_REC(row, tlrec::KIND) != tlrec::KIND_MFDTD) continue;
        const int32_t k = L.TLINE_REC(row, tlrec::FAMILY);
        if (!mfdtd_fits(L, N, row, k)) {
            const std::string name = L.TLNAME.in_range(row) ? L.TLNAME(row).trimmed() : "";
            USERMSG(0, 0, 2, 1, "The line tables do not hold the data of line " + name + ".");
            ABORT_RUN("TLSTEP", 0);
        }
        const int32_t o = L.TLINE_REC(row, tlrec::OFFSET), ns = L.TLD_NSEG(k), s1 = L.TLD_SS1(k), s2 = L.TLD_SS2(k);
        const int32_t n = L.TLD_NCOND(k), np = L.TLD_NPOLE(k);
        const double dt = RUN_CLOCK.DELT, dz = L.TLD_DZ(k);
        if (work.size() < static_cast<size_t>(4 * n)) work.resize(static_cast<size_t>(4 * n));
        double *x1 = work.data(), *x2 = x1 + n, *w = x2 + n, *h = w + n;
        // Matrix (i, j) at [(j - 1) M + i - 1]; boundary or segment q of conductor i at [(q - 1) M + i - 1].
        const double* emat = &L.TLD_EMAT(1, 1, k);
        const double* ehist = &L.TLD_EHIST(1, 1, k);
        const double* imat = &L.TLD_IMAT(1, 1, k);
        const double* ihist = &L.TLD_IHIST(1, 1, k);
        const double* vmat = &L.TLD_VMAT(1, 1, k);
        const double* vhist = &L.TLD_VHIST(1, 1, k);
        const double* g2 = &L.TLD_G2(1, 1, k);
        const double* g3 = &L.TLD_G3(1, 1, k);
        double* V = &L.TLD_V(1, 1, k);
        double* I0 = &L.TLD_I0(1, 1, k);
        double* I1 = &L.TLD_I1(1, 1, k);
        double* I2 = &L.TLD_I2(1, 1, k);
        double* I3 = &L.TLD_I3(1, 1, k);
        double* e1 = &L.TLD_E1(1, k);
        double* e2 = &L.TLD_E2(1, k);
        cplx* psi = &L.TLD_PSI(1, 1, 1, k);  // (i, m, p) at [((p - 1) S + m - 1) M + i - 1]
        double* vnew = L.TLD_WVNEW.data();
        const Poles P = poles_of(L, k);
        const auto mv = [n, M](const double* m, const double* x, int32_t i) {
            double s = 0.0;
            for (int32_t j = 0; j < n; ++j) s += m[j * M + i] * x[j];
            return s;
        };
        double* vend2 = V;
        double* vend1 = V + ns * M;
        const double* vn1 = N.VNODE.data() + (s1 - 1) * nodes;
        const double* vn2 = N.VNODE.data() + (s2 - 1) * nodes;
        const int32_t* node1 = &L.TLD_NODE1(o + 1);
        const int32_t* node2 = &L.TLD_NODE2(o + 1);
        for (int32_t i = 0; i < n; ++i) {
            vend2[i] = vn2[node2[i] - 1];
            vend1[i] = vn1[node1[i] - 1];
        }
        for (int32_t i = 0; i < n; ++i) {
            x2[i] = e2[i] + mv(emat, vend2, i);
            x1[i] = e1[i] + mv(emat, vend1, i);
        }
        for (int32_t m = 0; m < ns; ++m) {
            const double* i1 = I1 + m * M;
            const double* i2 = I2 + m * M;
            advance(np, n, i1, i2, I3 + m * M, dt, P, psi + m * M, S * M, h);
            const double* va = V + m * M;
            const double* vb = V + (m + 1) * M;
            for (int32_t i = 0; i < n; ++i) {
                double g = 0.0;
                for (int32_t j = 0; j < n; ++j) g += (g3[j * M + i] + g2[j * M + i]) * i2[j];
                w[i] = mv(ihist, i1, i) - (vb[i] - va[i]) + dz * g - dz * h[i];
            }
            for (int32_t i = 0; i < n; ++i) I0[m * M + i] = mv(imat, w, i);
        }
        for (int32_t m = 0; m < ns; ++m)
            for (int32_t i = 0; i < n; ++i) {
                const int64_t at = m * M + i;
                I3[at] = I2[at];
                I2[at] = I1[at];
                I1[at] = I0[at];
            }
        const int64_t ws = L.TLD_WVNEW.extent(1);
        for (int32_t q = 1; q < ns; ++q) {
            for (int32_t i = 0; i < n; ++i) w[i] = mv(vhist, V + q * M, i) - (I1[q * M + i] - I1[(q - 1) * M + i]);
            for (int32_t i = 0; i < n; ++i) vnew[q * ws + i] = mv(vmat, w, i);
        }
        for (int32_t q = 1; q < ns; ++q)
            for (int32_t i = 0; i < n; ++i) V[q * M + i] = vnew[q * ws + i];
        double* inj1 = N.TLINJ.data() + (s1 - 1) * nodes;
        double* inj2 = N.TLINJ.data() + (s2 - 1) * nodes;
        for (int32_t i = 0; i < n; ++i) {
            e2[i] = mv(ehist, vend2, i) + 2.0 * I0[i] - x2[i];
            e1[i] = mv(ehist, vend1, i) - 2.0 * I0[(ns - 1) * M + i] - x1[i];
        }
        for (int32_t i = 0; i < n; ++i) {
            inj2[node2[i] - 1] -= e2[i];
            inj1[node1[i] - 1] -= e1[i];
            L.TLCUR(i + 1, 1, row) = e1[i];
            L.TLCUR(i + 1, 2, row) = e2[i];
        }
    }
}
