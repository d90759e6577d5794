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
    ListRead in(INPUT.INPUT_UNIT);
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
    if (!e.header) DSLINT_READ_ERROR(e);  // no conductor count, no ends
    // Its step injects at both ends: the far end must be here.
    if (e.role == tlrec::ROLE_SERVER) DSLINT_DATA_ERROR(e, "An MFDTD line cannot be an ENI server end");
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

    for (;;) {
        RDCMNT();
        std::string rec;
        const ReadStatus st = unit_read_line(INPUT.INPUT_UNIT, rec);
        if (st == ReadStatus::End) DSLINT_END_OF_FILE(e);
        if (st == ReadStatus::Error) DSLINT_READ_ERROR(e);
        const LineOption o = TL_OPTION_WORD(rec);
        if (o == LineOption::None) break;
        if (o == LineOption::InfLength) L.TLD_INFLENGTH(k) = LTRUE;
    }
    unit_backspace(INPUT.INPUT_UNIT);
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

void MFDSTEP(int32_t& np, int32_t& n, const double* x1, const double* x2, const double* x3, double& dt, int32_t& k) {
    LineTables& L = LINE_TABLES;
    for (int32_t p = 1; p <= np; ++p) {
        const cplx ex = std::exp(L.TLD_POLE(p, k) * dt);
        const double cd = L.TLD_CD(p, k), cs = L.TLD_CS(p, k);
        for (int32_t i = 1; i <= n; ++i) {
            const double u = cd * (x2[i - 1] - x3[i - 1]) + cs * (2.0 * x2[i - 1] - x1[i - 1] - x3[i - 1]);
            L.TLD_WPSI(i, p) = ex * L.TLD_WPSI(i, p) + u;
        }
    }
    for (int32_t i = 1; i <= n; ++i) {
        cplx h = 0.0;
        for (int32_t p = 1; p <= np; ++p) {
            cplx s = 0.0;
            for (int32_t j = 1; j <= n; ++j) s += L.TLD_RES(i, j, p, k) * L.TLD_WPSI(j, p);
            h += s * (1.0 / L.TLD_POLE(p, k));
        }
        L.TLD_WHIST(i) = h.real();
    }
}

void TLSTEP_MFDTD() {
    LineTables& L = LINE_TABLES;
    NetworkTables& N = NET;
    const int32_t rows = tlines_total();
    std::vector<double> x1, x2, i1, i2, i3, d, w;
    for (int32_t row = 1; row <= rows; ++row) {
        if (L.TLINE_REC(row, tlrec::KIND) != tlrec::KIND_MFDTD) continue;
        int32_t k = L.TLINE_REC(row, tlrec::FAMILY);
        if (!L.TLD_NCOND.in_range(k)) continue;
        const int32_t o = L.TLINE_REC(row, tlrec::OFFSET), ns = L.TLD_NSEG(k), s1 = L.TLD_SS1(k), s2 = L.TLD_SS2(k);
        int32_t n = L.TLD_NCOND(k), np = L.TLD_NPOLE(k);
        double dt = RUN_CLOCK.DELT;
        const double dz = L.TLD_DZ(k);
        const auto mv = [&](const FArray3<double>& m, int32_t i, const auto& x) {
            double s = 0.0;
            for (int32_t j = 1; j <= n; ++j) s += m(i, j, k) * x(j);
            return s;
        };
        x1.assign(static_cast<size_t>(n), 0.0);
        x2.assign(static_cast<size_t>(n), 0.0);
        for (int32_t i = 1; i <= n; ++i) {
            L.TLD_V(i, 1, k) = N.VNODE(L.TLD_NODE2(o + i), s2);
            L.TLD_V(i, ns + 1, k) = N.VNODE(L.TLD_NODE1(o + i), s1);
        }
        for (int32_t i = 1; i <= n; ++i) {
            x2[i - 1] = L.TLD_E2(i, k) + mv(L.TLD_EMAT, i, [&](int32_t j) { return L.TLD_V(j, 1, k); });
            x1[i - 1] = L.TLD_E1(i, k) + mv(L.TLD_EMAT, i, [&](int32_t j) { return L.TLD_V(j, ns + 1, k); });
        }
        i1.assign(static_cast<size_t>(n), 0.0);
        i2 = i3 = d = w = i1;
        for (int32_t m = 1; m <= ns; ++m) {
            for (int32_t i = 1; i <= n; ++i) {
                i1[i - 1] = L.TLD_I1(i, m, k);
                i2[i - 1] = L.TLD_I2(i, m, k);
                i3[i - 1] = L.TLD_I3(i, m, k);
                for (int32_t p = 1; p <= np; ++p) L.TLD_WPSI(i, p) = L.TLD_PSI(i, m, p, k);
            }
            MFDSTEP(np, n, i1.data(), i2.data(), i3.data(), dt, k);
            for (int32_t i = 1; i <= n; ++i)
                for (int32_t p = 1; p <= np; ++p) L.TLD_PSI(i, m, p, k) = L.TLD_WPSI(i, p);
            for (int32_t i = 1; i <= n; ++i) {
                d[i - 1] = L.TLD_V(i, m + 1, k) - L.TLD_V(i, m, k);
                double g = 0.0;
                for (int32_t j = 1; j <= n; ++j) g += (L.TLD_G3(i, j, k) + L.TLD_G2(i, j, k)) * i2[j - 1];
                w[i - 1] = mv(L.TLD_IHIST, i, [&](int32_t j) { return i1[j - 1]; }) - d[i - 1] + dz * g -
                           dz * L.TLD_WHIST(i);
            }
            for (int32_t i = 1; i <= n; ++i)
                L.TLD_I0(i, m, k) = mv(L.TLD_IMAT, i, [&](int32_t j) { return w[j - 1]; });
        }
        for (int32_t m = 1; m <= ns; ++m)
            for (int32_t i = 1; i <= n; ++i) {
                L.TLD_I3(i, m, k) = L.TLD_I2(i, m, k);
                L.TLD_I2(i, m, k) = L.TLD_I1(i, m, k);
                L.TLD_I1(i, m, k) = L.TLD_I0(i, m, k);
            }
        for (int32_t q = 2; q <= ns; ++q) {
            for (int32_t i = 1; i <= n; ++i)
                w[i - 1] = mv(L.TLD_VHIST, i, [&](int32_t j) { return L.TLD_V(j, q, k); }) -
                           (L.TLD_I1(i, q, k) - L.TLD_I1(i, q - 1, k));
            for (int32_t i = 1; i <= n; ++i)
                L.TLD_WVNEW(i, q) = mv(L.TLD_VMAT, i, [&](int32_t j) { return w[j - 1]; });
        }
        for (int32_t q = 2; q <= ns; ++q)
            for (int32_t i = 1; i <= n; ++i) L.TLD_V(i, q, k) = L.TLD_WVNEW(i, q);
        for (int32_t i = 1; i <= n; ++i) {
            L.TLD_E2(i, k) = mv(L.TLD_EHIST, i, [&](int32_t j) { return L.TLD_V(j, 1, k); }) +
                             2.0 * L.TLD_I0(i, 1, k) - x2[i - 1];
            L.TLD_E1(i, k) = mv(L.TLD_EHIST, i, [&](int32_t j) { return L.TLD_V(j, ns + 1, k); }) -
                             2.0 * L.TLD_I0(i, ns, k) - x1[i - 1];
        }
        for (int32_t i = 1; i <= n; ++i) {
            N.TLINJ(L.TLD_NODE2(o + i), s2) -= L.TLD_E2(i, k);
            N.TLINJ(L.TLD_NODE1(o + i), s1) -= L.TLD_E1(i, k);
            L.TLCUR(i, 1, row) = L.TLD_E1(i, k);
            L.TLCUR(i, 2, row) = L.TLD_E2(i, k);
        }
    }
}
