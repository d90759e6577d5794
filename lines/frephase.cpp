// The frequency-dependent line in phase quantities ("FRE-PHASE"): its
// numeric block turned into recursive-convolution coefficients, delays and
// wave buffers, and its per-step update.
#include "lines/frephase.h"

#include <algorithm>
#include <cmath>
#include <complex>
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
constexpr double kFoldLimit = 1.0e15;

// The block's records, read one after the other with no comment skipping.
struct Block {
    LineEntry& e;
    void text() {
        std::string rec;
        const ReadStatus st = unit_read_line(INPUT.INPUT_UNIT, rec);
        if (st == ReadStatus::End) DSLINT_END_OF_FILE(e);
        if (st == ReadStatus::Error) DSLINT_READ_ERROR(e);
        INPUT.DATA_LINE.assign(rec);
    }
    int32_t integer() {
        int32_t v = 0;
        ListRead in(INPUT.INPUT_UNIT);
        in.integer(v);
        done(in);
        return v;
    }
    double real() {
        double v = 0.0;
        ListRead in(INPUT.INPUT_UNIT, Reals::Finite);
        in.real(v);
        done(in);
        return v;
    }
    cplx complex() {
        const double re = real();
        return {re, real()};
    }
    void done(const ListRead& in) {
        if (in.status() == ReadStatus::End) DSLINT_END_OF_FILE(e);
        if (in.status() == ReadStatus::Error) DSLINT_READ_ERROR(e);
    }
    // A count that sizes tables, within the given room.
    int32_t count(int64_t room, const char* what) {
        const int32_t n = integer();
        if (n < 0 || n > room) DSLINT_DATA_ERROR(e, std::string("The ") + what + " count is outside the line tables");
        return n;
    }
};

cplx lam(cplx q, double h) { return (1.0 - (1.0 - std::exp(-q * h)) / (q * h)) / q; }
cplx mu(cplx q, double h) {
    const cplx e = std::exp(-q * h);
    return ((1.0 - e) / (q * h) - e) / q;
}

// Room in a running list from `from` for `count` more values.
void room(const LineEntry& e, int64_t from, int64_t count, int64_t size, const char* what) {
    if (from + count > size) DSLINT_DATA_ERROR(e, std::string("More ") + what + " than the line tables hold");
}

void read_block(LineEntry& e, int32_t p, int32_t row) {
    LineTables& L = LINE_TABLES;
    LineRunCounters& c = L.counters;
    const double dt = RUN_CLOCK.DELT;
    bool interpolate = true;
    DSLINT_OPTIONS(e, interpolate, L.PH_INFLENGTH(p));
    Block b{e};
    b.text();
    b.text();
    const int32_t nc = b.integer();
    if (nc != e.n) DSLINT_CONDUCTOR_MISMATCH(e);
    const int64_t width = std::min({L.PH_G.extent(1), L.PH_HS1.extent(1), L.PH_ALPHA.extent(2), L.TLGMAT.extent(1),
                                    L.TLCUR.extent(1), L.PH_XO1.extent(1)});
    if (nc < 1 || nc > width) DSLINT_DATA_ERROR(e, "The conductor count is outside the line tables");
    room(e, c.TL_PHCOND, nc, L.PH_NODE1.size(), "conductors");
    b.text();

    // Characteristic admittance, column by column; the retained poles packed.
    const int64_t max_poles = L.PH_ALPHA.extent(1);
    std::vector<std::vector<cplx>> res(static_cast<size_t>(nc));  // column i: rows j per retained pole
    std::vector<double> d(static_cast<size_t>(nc * nc), 0.0);      // D(j, i) at (i - 1) nc + j - 1
    std::vector<std::vector<cplx>> yq(static_cast<size_t>(nc));    // column i: its retained poles
    for (int32_t i = 1; i <= nc; ++i) {
        const int32_t n = b.count(1000000, "pole");
        int32_t kept = 0;
        for (int32_t k = 1; k <= n; ++k) {
            const cplx q = -b.complex();
            std::vector<cplx> r(static_cast<size_t>(nc));
            for (cplx& x : r) x = b.complex();
            if (std::abs(q) >= kFoldLimit) {
                for (int32_t j = 1; j <= nc; ++j) d[(i - 1) * nc + j - 1] += (r[j - 1] / q).real();
                continue;
            }
            if (++kept > max_poles) DSLINT_DATA_ERROR(e, "More admittance poles than the line tables hold");
            yq[i - 1].push_back(q);
            for (cplx& x : r) res[i - 1].push_back(x);
        }
        L.PH_NYPOLE(i, p) = kept;
    }
    for (int32_t i = 1; i <= nc; ++i)
        for (int32_t j = 1; j <= nc; ++j) d[(i - 1) * nc + j - 1] += b.real();

    for (int32_t i = 1; i <= nc; ++i) {
        const int32_t n = L.PH_NYPOLE(i, p);
        room(e, c.TL_PHRY, int64_t{n} * nc, L.PH_RY.size(), "admittance residues");
        for (int32_t j = 1; j <= nc; ++j) L.PH_G(j, i, p) = d[(i - 1) * nc + j - 1];
        for (int32_t k = 1; k <= n; ++k) {
            const cplx q = yq[i - 1][k - 1];
            const cplx a = std::exp(-q * dt), l = lam(q, dt);
            L.PH_ALPHA(k, i, p) = a;
            L.PH_SY1(k, i, p) = L.PH_SY2(k, i, p) = 0.0;
            for (int32_t j = 1; j <= nc; ++j) {
                const cplx r = res[i - 1][(k - 1) * nc + j - 1];
                L.PH_G(j, i, p) += (r * l).real();
            }
        }
        // Residues in the order the step takes them: row j, then pole k.
        for (int32_t j = 1; j <= nc; ++j)
            for (int32_t k = 1; k <= n; ++k) {
                const cplx q = yq[i - 1][k - 1];
                const cplx r = res[i - 1][(k - 1) * nc + j - 1];
                L.PH_RY(++c.TL_PHRY) = r * (L.PH_ALPHA(k, i, p) * lam(q, dt) + mu(q, dt));
            }
    }

    // Propagation: delay groups.
    b.text();
    b.text();
    const int32_t nm = b.count(std::min(L.PH_DELAY.extent(1), L.PH_FRAC.extent(2)), "delay group");
    L.PH_NMODES(p) = nm;
    b.text();
    std::vector<double> tau(static_cast<size_t>(nm));
    for (double& t : tau) t = b.real();
    b.text();
    std::vector<std::vector<cplx>> hp(static_cast<size_t>(nm));
    for (auto& poles : hp) {
        const int32_t n = b.count(1000000, "pole");
        for (int32_t k = 0; k < n; ++k) poles.push_back(-b.complex());
    }
    b.text();
    for (int32_t m = 1; m <= nm; ++m) {
        // Delay.
        double x = tau[m - 1] / dt;
        if (!std::isfinite(x) || std::fabs(x) > 2147483646.0) DSLINT_DATA_ERROR(e, "A delay is not finite or too long");
        if (x < 1.0) {
            TL_SHORT_TRAVEL(e, x);
            x = 1.0;
        }
        if (is_true(L.PH_INFLENGTH(p))) x = 1.0;
        int32_t K = interpolate ? int_trunc(x) : nint(x);
        double f = interpolate ? x - K : 0.0;
        if (K <= 0) {
            K = 1;
            f = 0.0;
        }
        L.PH_DELAY(m, p) = K;
        L.PH_FRAC(p, m) = f;

        const std::vector<cplx>& poles = hp[m - 1];
        int32_t kept = 0;
        for (const cplx& q : poles)
            if (std::abs(q) < kFoldLimit) ++kept;
        if (kept > max_poles) DSLINT_DATA_ERROR(e, "More propagation poles than the line tables hold");
        L.PH_NHPOLE(m, p) = kept;
        room(e, c.TL_PHH0, int64_t{nc} * nc, L.PH_H0.size(), "propagation constants");
        room(e, c.TL_PHRH, int64_t{nc} * nc * kept, L.PH_RH.size(), "propagation residues");
        room(e, c.TL_PHSH, int64_t{nc} * kept, L.PH_SH1.size(), "propagation states");
        const bool split = f > 0.01 && f < 0.99;
        const double h1 = f * dt, h2 = (1.0 - f) * dt;
        int32_t k = 0;
        for (const cplx& q : poles) {
            if (std::abs(q) >= kFoldLimit) continue;
            ++k;
            if (split) {
                const cplx e1 = std::exp(-q * h1), e2 = std::exp(-q * h2);
                L.PH_A(k, m, p) = e1 * e2;
                L.PH_B(k, m, p) = mu(q, h2) + e2 * lam(q, h1);
                L.PH_C(k, m, p) = e2 * mu(q, h1) + e1 * e2 * lam(q, h2);
            } else {
                const cplx a = std::exp(-q * dt);
                L.PH_A(k, m, p) = a;
                L.PH_B(k, m, p) = 0.0;
                L.PH_C(k, m, p) = a * lam(q, dt) + mu(q, dt);
            }
        }
        for (int32_t i = 1; i <= nc; ++i)
            for (int32_t j = 1; j <= nc; ++j) {
                double& h0 = L.PH_H0(++c.TL_PHH0);
                h0 = 0.0;
                k = 0;
                for (const cplx& q : poles) {
                    const cplx r = b.complex();
                    if (std::abs(q) >= kFoldLimit) {
                        h0 += (r / q).real();
                        continue;
                    }
                    ++k;
                    L.PH_RH(++c.TL_PHRH) = r;
                    h0 += (r * lam(q, split ? h2 : dt)).real();
                }
            }
        for (int32_t s = 1; s <= nc * kept; ++s) L.PH_SH1(c.TL_PHSH + s) = L.PH_SH2(c.TL_PHSH + s) = 0.0;
        c.TL_PHSH += nc * kept;
        for (int32_t i = 1; i <= nc; ++i) L.PH_XO1(i, m, p) = L.PH_XO2(i, m, p) = 0.0;
    }

    // Wave buffers and indexes.
    int32_t longest = 0;
    for (int32_t m = 1; m <= nm; ++m) longest = std::max(longest, L.PH_DELAY(m, p));
    L.PH_BUFLEN(p) = longest;
    L.PH_WIDX(p) = 0;
    for (int32_t m = 1; m <= nm; ++m) {
        L.PH_RIDX(p, m) = 2;
        L.PH_RPIDX(m, p) = 2;
    }
    const int64_t slots = int64_t{nc} * (longest + 1);
    room(e, c.TL_PHWB, slots, std::min(L.PH_WB1.size(), L.PH_WB2.size()), "wave buffer slots");
    for (int64_t s = 1; s <= slots; ++s) L.PH_WB1(c.TL_PHWB + s) = L.PH_WB2(c.TL_PHWB + s) = 0.0;
    c.TL_PHWB += static_cast<int32_t>(slots);
    for (int32_t i = 1; i <= nc; ++i) {
        L.PH_HS1(i, p) = L.PH_HS2(i, p) = L.PH_CI1(i, p) = L.PH_CI2(i, p) = 0.0;
        for (int32_t j = 1; j <= nc; ++j) L.TLGMAT(i, j, row) = L.PH_G(i, j, p);
    }
}

}  // namespace

void DSLINT_PHASE(LineEntry& e) {
    LineTables& L = LINE_TABLES;
    const int32_t p = LINE_COUNTS.NTLPHASE + 1;
    if (p > DIMBLOCK.AVAIL[ND_TLINES_PH] || p > L.PH_NCOND.size()) {
        OUTMSG(30, DIMBLOCK.AVAIL[ND_TLINES_PH], 0, 0, 0.0, 0.0, CURLINE());
        ABORT_RUN("DSLINT", 1);
    }
    LINE_COUNTS.NTLPHASE = p;
    const int32_t row = DSLINT_NEW_ROW(e);
    L.PH_SS1(p) = e.s1;
    L.PH_SS2(p) = e.s2;
    L.PH_NCOND(p) = e.n;
    L.PH_INFLENGTH(p) = LFALSE;
    L.PH_NAME(p) = e.input_name;
    L.TLINE_REC(row, tlrec::FAMILY) = p;
    L.TLINE_REC(row, tlrec::OFFSET) = L.counters.TL_PHCOND;
    read_block(e, p, row);
    for (int32_t k = 1; k <= e.n; ++k) {
        L.PH_NODE1(L.counters.TL_PHCOND + k) = e.node1[static_cast<size_t>(k - 1)];
        L.PH_NODE2(L.counters.TL_PHCOND + k) = e.node2[static_cast<size_t>(k - 1)];
    }
    L.counters.TL_PHCOND += e.n;
    if (e.file_open) CLOSEFILE();
    DSLINT_CONDUCTANCE(e, row);
}

namespace {

// Complex products without the library's infinity handling: the states are finite.
inline cplx mul(cplx a, cplx b) {
    return {a.real() * b.real() - a.imag() * b.imag(), a.real() * b.imag() + a.imag() * b.real()};
}
inline double re_mul(cplx a, cplx b) { return a.real() * b.real() - a.imag() * b.imag(); }

struct PhaseCursor {
    int64_t ry = 0, h0 = 0, rh = 0, sh = 0, wb = 0;
    int32_t server = 0;
};

bool in(int64_t first, int64_t last, int64_t size) { return first >= 1 && last <= size && first <= last + 1; }

// Whether every slot the line's step reaches lies in its table.
bool phase_fits(const LineTables& L, const NetworkTables& N, int32_t row, int32_t p, const PhaseCursor& c) {
    if (!in(p, p, L.PH_NCOND.size())) return false;
    const int32_t nc = L.PH_NCOND(p), nm = L.PH_NMODES(p), len = L.PH_BUFLEN(p), ofs = L.TLINE_REC(row, tlrec::OFFSET);
    const int64_t M = L.PH_G.extent(1), P = L.PH_A.extent(1);
    // A line without delay groups has no buffer length: its one slot cycles.
    if (nc < 1 || nc > M || nc > L.PH_HS1.extent(1) || nc > L.TLCUR.extent(1) || !in(row, row, L.TLCUR.extent(3)) ||
        nm < 0 || nm > L.PH_DELAY.extent(1) || nm > L.PH_FRAC.extent(2) || nm > L.PH_XO1.extent(2) || len < 0 ||
        !in(int64_t{ofs} + 1, int64_t{ofs} + nc, L.PH_NODE1.size()))
        return false;
    const int64_t nodes = N.VNODE.extent(1), subsystems = N.VNODE.extent(2);
    const bool server = L.TLINE_REC(row, tlrec::ROLE) == tlrec::ROLE_SERVER;
    if (!in(L.PH_SS1(p), L.PH_SS1(p), subsystems) || !in(L.PH_SS2(p), L.PH_SS2(p), subsystems)) return false;
    if (server && (!in(c.server, c.server, L.ENI_SRV_V.extent(2)) || nc > L.ENI_SRV_V.extent(1))) return false;
    for (int32_t j = 1; j <= nc; ++j)
        if (!in(L.PH_NODE1(ofs + j), L.PH_NODE1(ofs + j), nodes) || !in(L.PH_NODE2(ofs + j), L.PH_NODE2(ofs + j), nodes))
            return false;
    int64_t ry = c.ry, h0 = c.h0, rh = c.rh, sh = c.sh;
    for (int32_t i = 1; i <= nc; ++i) {
        const int32_t n = L.PH_NYPOLE(i, p);
        if (n < 0 || n > P) return false;
        ry += int64_t{n} * nc;
    }
    for (int32_t m = 1; m <= nm; ++m) {
        const int32_t np = L.PH_NHPOLE(m, p), K = L.PH_DELAY(m, p);
        if (np < 0 || np > P || K < 1 || K > len) return false;
        h0 += int64_t{nc} * nc;
        rh += int64_t{nc} * nc * np;
        sh += int64_t{nc} * np;
    }
    const int32_t W = L.PH_WIDX(p);
    return ry <= L.PH_RY.size() && h0 <= L.PH_H0.size() && rh <= L.PH_RH.size() && sh <= L.PH_SH1.size() &&
           sh <= L.PH_SH2.size() && c.wb + int64_t{nc} * (len + 1) <= std::min(L.PH_WB1.size(), L.PH_WB2.size()) &&
           W >= 0 && W <= len + 1;
}

[[noreturn]] void bad_tables(int32_t row) {
    const std::string name = LINE_TABLES.TLNAME.in_range(row) ? LINE_TABLES.TLNAME(row).trimmed() : "";
    USERMSG(0, 0, 2, 1, "The line tables do not hold the data of line " + name + ".");
    ABORT_RUN("TLSTEP", 0);
}

}  // namespace

void TLSTEP_PHASE() {
    LineTables& L = LINE_TABLES;
    NetworkTables& N = NET;
    const int32_t rows = tlines_total();
    PhaseCursor cur;
    static std::vector<double> work;
    const int64_t M = L.PH_G.extent(1), nodes = N.VNODE.extent(1);
    for (int32_t row = 1; row <= rows; ++row) {
        const int32_t role = L.TLINE_REC(row, tlrec::ROLE);
        if (role == tlrec::ROLE_SERVER) ++cur.server;
        if (L.TLINE_REC(row, tlrec::KIND) != tlrec::KIND_FREPHASE) continue;
        const int32_t p = L.TLINE_REC(row, tlrec::FAMILY), ofs = L.TLINE_REC(row, tlrec::OFFSET);
        if (!phase_fits(L, N, row, p, cur)) bad_tables(row);
        const int32_t nc = L.PH_NCOND(p), nm = L.PH_NMODES(p), len = L.PH_BUFLEN(p);
        const int32_t s1 = L.PH_SS1(p), s2 = L.PH_SS2(p);
        const bool server = role == tlrec::ROLE_SERVER;
        if (work.size() < static_cast<size_t>(4 * nc)) work.resize(static_cast<size_t>(4 * nc));
        double *v1 = work.data(), *v2 = v1 + nc, *u1 = v2 + nc, *u2 = u1 + nc;
        const int32_t* node1 = &L.PH_NODE1(ofs + 1);
        const int32_t* node2 = &L.PH_NODE2(ofs + 1);
        const double* vn1 = N.VNODE.data() + (s1 - 1) * nodes;  // node a at [a - 1]
        const double* vn2 = N.VNODE.data() + (s2 - 1) * nodes;
        for (int32_t j = 0; j < nc; ++j) {
            v1[j] = vn1[node1[j] - 1];
            v2[j] = server ? L.ENI_SRV_V(j + 1, cur.server) : vn2[node2[j] - 1];
        }
        const double* g = &L.PH_G(1, 1, p);  // G(i, j) at [(j - 1) M + i - 1]
        double* hs1 = &L.PH_HS1(1, p);
        double* hs2 = &L.PH_HS2(1, p);
        double* ci1 = &L.PH_CI1(1, p);
        double* ci2 = &L.PH_CI2(1, p);
        double* wb1 = L.PH_WB1.data() + cur.wb;  // conductor i's slot s at [(i - 1)(len + 1) + s - 1]
        double* wb2 = L.PH_WB2.data() + cur.wb;
        const int64_t stride = len + 1;

        int32_t& W = L.PH_WIDX(p);
        W = W + 1 > len + 1 ? 1 : W + 1;
        for (int32_t m = 1; m <= nm; ++m) {
            L.PH_RPIDX(m, p) = L.PH_RIDX(p, m);
            int32_t r = W - L.PH_DELAY(m, p) + 1;
            if (r < 1) r += len + 1;
            L.PH_RIDX(p, m) = r;
        }
        for (int32_t i = 0; i < nc; ++i) {
            double a = 0.0, b = 0.0;
            for (int32_t j = 0; j < nc; ++j) {
                a += g[j * M + i] * v1[j];
                b += g[j * M + i] * v2[j];
            }
            u1[i] = a - hs1[i];
            u2[i] = b - hs2[i];
            hs1[i] = hs2[i] = 0.0;
        }
        for (int32_t i = 0; i < nc; ++i) {
            wb1[i * stride + W - 1] = ci1[i] + u1[i];
            wb2[i * stride + W - 1] = ci2[i] + u2[i];
            ci1[i] = ci2[i] = 0.0;
        }
        for (int32_t m = 1; m <= nm; ++m) {
            const int32_t R = L.PH_RIDX(p, m) - 1, RP = L.PH_RPIDX(m, p) - 1, np = L.PH_NHPOLE(m, p);
            if (R < 0 || R > len || RP < 0 || RP > len) bad_tables(row);
            const double f = L.PH_FRAC(p, m);
            const cplx* A = &L.PH_A(1, m, p);
            const cplx* B = &L.PH_B(1, m, p);
            const cplx* C = &L.PH_C(1, m, p);
            double* xo1 = &L.PH_XO1(1, m, p);
            double* xo2 = &L.PH_XO2(1, m, p);
            for (int32_t i = 0; i < nc; ++i) {
                const double* b1 = wb1 + i * stride;
                const double* b2 = wb2 + i * stride;
                const double x1 = b2[R] + (b2[RP] - b2[R]) * f;
                const double x2 = b1[R] + (b1[RP] - b1[R]) * f;
                cplx* sh1 = L.PH_SH1.data() + cur.sh;
                cplx* sh2 = L.PH_SH2.data() + cur.sh;
                for (int32_t k = 0; k < np; ++k) {
                    sh1[k] = mul(A[k], sh1[k]) + B[k] * b2[RP] + C[k] * xo1[i];
                    sh2[k] = mul(A[k], sh2[k]) + B[k] * b1[RP] + C[k] * xo2[i];
                }
                xo1[i] = x1;
                xo2[i] = x2;
                const double* h0 = L.PH_H0.data() + cur.h0;
                const cplx* rh = L.PH_RH.data() + cur.rh;
                for (int32_t j = 0; j < nc; ++j) {
                    double c1 = h0[j] * x1, c2 = h0[j] * x2;
                    for (int32_t k = 0; k < np; ++k) {
                        c1 += re_mul(rh[k], sh1[k]);
                        c2 += re_mul(rh[k], sh2[k]);
                    }
                    rh += np;
                    ci1[j] += c1;
                    ci2[j] += c2;
                }
                cur.h0 += nc;
                cur.rh += int64_t{nc} * np;
                cur.sh += np;
            }
        }
        if (is_true(L.PH_INFLENGTH(p)))
            for (int32_t i = 0; i < nc; ++i) ci1[i] = ci2[i] = 0.0;
        for (int32_t i = 1; i <= nc; ++i) {
            const int32_t n = L.PH_NYPOLE(i, p);
            const cplx* alpha = &L.PH_ALPHA(1, i, p);
            cplx* sy1 = &L.PH_SY1(1, i, p);
            cplx* sy2 = &L.PH_SY2(1, i, p);
            for (int32_t k = 0; k < n; ++k) {
                sy1[k] = mul(alpha[k], sy1[k]) + v1[i - 1];
                sy2[k] = mul(alpha[k], sy2[k]) + v2[i - 1];
            }
            const cplx* ry = L.PH_RY.data() + cur.ry;
            for (int32_t j = 0; j < nc; ++j) {
                double a = 0.0, b = 0.0;
                for (int32_t k = 0; k < n; ++k) {
                    a += re_mul(ry[k], sy1[k]);
                    b += re_mul(ry[k], sy2[k]);
                }
                ry += n;
                hs1[j] -= a;
                hs2[j] -= b;
            }
            cur.ry += int64_t{n} * nc;
        }
        double* inj1 = N.TLINJ.data() + (s1 - 1) * nodes;
        double* inj2 = N.TLINJ.data() + (s2 - 1) * nodes;
        for (int32_t i = 0; i < nc; ++i) {
            hs1[i] += 2.0 * ci1[i];
            hs2[i] += 2.0 * ci2[i];
            inj1[node1[i] - 1] += hs1[i];
            if (role == tlrec::ROLE_LOCAL) inj2[node2[i] - 1] += hs2[i];
            L.TLCUR(i + 1, 1, row) = -hs1[i];
            L.TLCUR(i + 1, 2, row) = -hs2[i];
        }
        cur.wb += int64_t{nc} * (len + 1);
    }
}
