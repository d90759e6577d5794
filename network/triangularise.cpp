#include "network/triangularise.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <functional>
#include <queue>
#include <string>

#include "engine/abort.h"
#include "engine/run_state.h"
#include "engine/solution_arrays.h"
#include "network/branch_plan.h"
#include "network/dimensions.h"
#include "network/network_tables.h"
#include "network/solution_checks.h"
#include "network/solution_columns.h"
#include "network/solution_hooks.h"
#include "platform/text_units.h"

TriangFactors TRIANG_FACTORS;

namespace {

const std::string kStars(52, '*');

bool flag_set(int8_t v) { return (v & 1) != 0; }

using Matrices = SsViews;

Matrices subsystem_matrices(int32_t ss, int32_t n) {
    const Matrices m = SSDESC_ALL(ss);
    const int64_t least = std::min({m.gm.n1, m.gm.n2, m.tri.n1, m.tri.n2, m.pat.n1, m.pat.n2, m.fill.n1, m.fill.n2});
    if (least < n || m.gm.empty() || m.tri.empty() || m.pat.empty() || m.fill.empty()) {
        USERMSG(0, 0, 2, 2, "Solution matrices of subsystem " + std::to_string(ss) + " are missing or too small.");
        USERMSG(0, 0, 2, -1, "Check the SUBSYSDIM: section of the map file.");
        ABORT_RUN("ITRIANG", 0);
    }
    return m;
}

// The sparsity lists of a subsystem.
struct Lists {
    Col<int32_t> lowcol, upcol, lows, lowe, ups, upe;
};

Lists lists_of(int32_t ss) {
    NetworkTables& N = NET;
    return {column(N.LOWCOL, ss),  column(N.UPCOL, ss), column(N.LOWSTART, ss),
            column(N.LOWEND, ss), column(N.UPSTART, ss), column(N.UPEND, ss)};
}

void assemble_rows(const Matrices& m, const Lists& l, const Col<double>& gnor, int32_t s, int32_t n,
                   SubsystemFactors& f);
void add_packed_switches(int32_t ss, int32_t s, int32_t n, SubsystemFactors& f);

void warn_start_node(int32_t ss) {
    USERWARN(0, 0, 1, "Possible error in a user model, check Non-standard messages");
    write_list(UNIT_CONSOLE_OUT, {"WARNING: Zero or negative MXINV by a user model"});
    write_list(UNIT_CONSOLE_OUT, {"Model is used in subsystem:", ss});
    write_list(UNIT_CONSOLE_OUT, {"Correct this problem to increase simulation speed!"});
}

// Rows s..n from GM, GNOR and GMPAT, over every column: the first
// factorisation of a run, ideal-branch subsystems and the first step.
void assemble_dense(const Matrices& m, int32_t ss, int32_t s, int32_t n) {
    for (int32_t c = 1; c <= n; ++c) {
        const int8_t* pat = m.pat.col(c);
        int8_t* fill = m.fill.col(c);
        const double* gm = m.gm.col(c);
        double* tri = m.tri.col(c);
        for (int32_t r = s; r <= n; ++r) {
            fill[r] = pat[r];
            tri[r] = -gm[r];
        }
    }
    const Col<double> gnor = column(NET.GNOR, ss);
    for (int32_t r = s; r <= n; ++r) m.tri(r, r) = gnor[r] + m.gm(r, r);
}

// The same over the entries of the sparsity lists, which hold every entry
// the elimination and the substitution read.
void assemble_listed(const Matrices& m, int32_t ss, int32_t s, int32_t n) {
    NetworkTables& N = NET;
    const Col<int32_t> lowcol = column(N.LOWCOL, ss), upcol = column(N.UPCOL, ss);
    const Col<int32_t> lows = column(N.LOWSTART, ss), lowe = column(N.LOWEND, ss);
    const Col<int32_t> ups = column(N.UPSTART, ss), upe = column(N.UPEND, ss);
    const Col<double> gnor = column(N.GNOR, ss);
    const auto entry = [&](int32_t r, int32_t c) {
        m.fill.col(c)[r] = m.pat.col(c)[r];
        m.tri.col(c)[r] = -m.gm.col(c)[r];
    };
    for (int32_t r = s; r <= n; ++r) {
        for (int32_t p = lows[r]; p <= lowe[r]; ++p) entry(r, lowcol[p]);
        for (int32_t p = ups[r]; p <= upe[r]; ++p) entry(r, upcol[p]);
        m.fill(r, r) = m.pat(r, r);
        m.tri(r, r) = gnor[r] + m.gm(r, r);
    }
}

void add_switches(const Matrices& m, int32_t ss, int32_t s) {
    NetworkTables& N = NET;
    const Col<int32_t> list = column(N.SWLIST, ss), to = column(N.IET, ss), from = column(N.IEF, ss);
    const Col<double> geq = column(N.GEQ, ss);
    const int32_t ns = N.NSWITCH(ss);
    for (int32_t k = 1; k <= ns; ++k) {
        const int32_t b = list[k];
        int32_t i = to[b], j = from[b];
        if (i < s && j < s) continue;
        if (i == 0) i = j;
        if (j == 0) j = i;
        const double g = geq[b];
        if (i == j) {
            m.tri(i, i) += g;
            continue;
        }
        if (j >= s) {
            m.tri(j, j) += g;
            m.tri(j, i) -= g;
        }
        if (i >= s) {
            m.tri(i, i) += g;
            m.tri(i, j) -= g;
        }
    }
}

void check_grounded(const Matrices& m, int32_t ss, int32_t n) {
    double sum = 0.0;
    for (int32_t c = 1; c <= n; ++c) {
        const double* tri = m.tri.col(c);
        for (int32_t r = 1; r <= n; ++r) sum += tri[r];
    }
    if (std::fabs(sum) > 1e-8) return;
    USERMSG(0, 0, 2, 2, "Ungrounded subsystem " + std::to_string(ss));
    USERMSG(0, 0, 2, -1, ". It may be due an open switch in the ground path.");
    ABORT_RUN("ITRIANG", 0);
}

// The sparsity lists of all rows from GMFILL, with the fill-in of the
// elimination marked in GMFILL; the packed factors are sized to them.
void build_lists(const Matrices& m, int32_t ss, int32_t n, SubsystemFactors& f) {
    NetworkTables& N = NET;
    const int32_t nd19 = DIMBLOCK.AVAIL[ND_SPARSITY];
    const Col<int32_t> lowcol = column(N.LOWCOL, ss), upcol = column(N.UPCOL, ss);
    const Col<int32_t> lows = column(N.LOWSTART, ss), lowe = column(N.LOWEND, ss);
    const Col<int32_t> ups = column(N.UPSTART, ss), upe = column(N.UPEND, ss);
    const int64_t listmax = N.LOWCOL.extent(1);

    // Off-diagonal entries of every row, read column by column.
    std::vector<std::vector<int32_t>> rows(static_cast<size_t>(n) + 1);
    for (int32_t c = 1; c <= n; ++c) {
        const int8_t* fill = m.fill.col(c);
        for (int32_t r = 1; r <= n; ++r)
            if (r != c && flag_set(fill[r])) rows[r].push_back(c);
    }

    // Each row's entries with the fill-in from the rows above it; the
    // upper lists are kept whole here even past the list size.
    std::vector<int32_t> up_first(static_cast<size_t>(n) + 2, 0), up_all;
    std::vector<char> in_row(static_cast<size_t>(n) + 1, 0);
    std::priority_queue<int32_t, std::vector<int32_t>, std::greater<int32_t>> pending;
    std::vector<int32_t> lower, upper;
    int64_t nup = 0, nlow = 0;
    for (int32_t r = 1; r <= n; ++r) {
        lower.clear();
        upper.clear();
        for (int32_t c : rows[r]) {
            in_row[c] = 1;
            if (c < r)
                pending.push(c);
            else
                upper.push_back(c);
        }
        while (!pending.empty()) {
            const int32_t i = pending.top();
            pending.pop();
            lower.push_back(i);
            for (int32_t q = up_first[i]; q < up_first[i + 1]; ++q) {
                const int32_t c = up_all[q];
                if (c == r || in_row[c]) {
                    if (c == r) m.fill(r, r) = -1;
                    continue;
                }
                in_row[c] = 1;
                m.fill(r, c) = -1;
                if (c < r)
                    pending.push(c);
                else
                    upper.push_back(c);
            }
        }
        std::sort(upper.begin(), upper.end());
        up_first[r] = static_cast<int32_t>(up_all.size());
        up_all.insert(up_all.end(), upper.begin(), upper.end());
        up_first[r + 1] = static_cast<int32_t>(up_all.size());
        for (int32_t c : rows[r]) in_row[c] = 0;
        for (int32_t c : lower) in_row[c] = 0;
        for (int32_t c : upper) in_row[c] = 0;

        ups[r] = nd19;
        for (size_t k = 0; k < upper.size(); ++k) {
            ++nup;
            if (nup <= nd19 && nup <= listmax) upcol[nup] = upper[k];
            if (k == 0) ups[r] = static_cast<int32_t>(std::min<int64_t>(nup, INT32_MAX));
        }
        upe[r] = static_cast<int32_t>(std::min<int64_t>(nup, INT32_MAX));
        if (upper.empty()) ups[r] = static_cast<int32_t>(std::min<int64_t>(nup + 1, INT32_MAX));
        lows[r] = nd19;
        for (size_t k = 0; k < lower.size(); ++k) {
            ++nlow;
            if (nlow <= nd19 && nlow <= listmax) lowcol[nlow] = lower[k];
            if (k == 0) lows[r] = static_cast<int32_t>(std::min<int64_t>(nlow, INT32_MAX));
        }
        lowe[r] = static_cast<int32_t>(std::min<int64_t>(nlow, INT32_MAX));
        if (lower.empty()) lows[r] = static_cast<int32_t>(std::min<int64_t>(nlow + 1, INT32_MAX));
    }

    const int64_t need = std::max(nup, nlow) + 1;
    int32_t& req = DIMBLOCK.REQ[ND_SPARSITY];
    if (req < need) req = static_cast<int32_t>(std::min<int64_t>(need, INT32_MAX));
    if (nd19 < req || listmax < std::max(nup, nlow)) {
        f.n = 0;
        USERMSG(0, 0, 2, 6, "Sparsity dimension ND19 = " + std::to_string(nd19));
        USERMSG(0, 0, 2, 6, " exceeded. It should be greater than " + std::to_string(req));
        ABORT_RUN("ITRIANG", 0);
    }
    f.n = n;
    f.low.assign(static_cast<size_t>(nlow) + 1, 0.0);
    f.up.assign(static_cast<size_t>(nup) + 1, 0.0);
    f.diag.assign(static_cast<size_t>(n) + 1, 0.0);
}

// Where each switch's conductance enters the packed factors, found in the
// sparsity lists; the switches' entries stay in list order within a row.
void plan_switches(int32_t ss, int32_t n, SubsystemFactors& f) {
    NetworkTables& N = NET;
    const Col<int32_t> lowcol = column(N.LOWCOL, ss), upcol = column(N.UPCOL, ss);
    const Col<int32_t> lows = column(N.LOWSTART, ss), lowe = column(N.LOWEND, ss);
    const Col<int32_t> ups = column(N.UPSTART, ss), upe = column(N.UPEND, ss);
    const Col<int32_t> list = column(N.SWLIST, ss), to = column(N.IET, ss), from = column(N.IEF, ss);
    const int32_t ns = N.NSWITCH(ss);
    f.switch_entries.clear();
    f.switches = -1;
    // Position of entry (r, c) of the packed rows: 0 the diagonal, -p the
    // lower list, p the upper list; INT32_MIN outside the lists.
    const auto where = [&](int32_t r, int32_t c) {
        if (c == r) return 0;
        if (c < r) {
            for (int32_t p = lows[r]; p <= lowe[r]; ++p)
                if (lowcol[p] == c) return -p;
        } else {
            for (int32_t p = ups[r]; p <= upe[r]; ++p)
                if (upcol[p] == c) return p;
        }
        return INT32_MIN;
    };
    std::vector<SwitchEntry> entries;
    for (int32_t k = 1; k <= ns; ++k) {
        const int32_t b = list[k];
        int32_t i = to[b], j = from[b];
        if (i == 0) i = j;
        if (j == 0) j = i;
        if (i < 1 || i > n || j < 1 || j > n) {
            if (i == 0) continue;
            return;
        }
        if (i == j) {
            entries.push_back({i, b, 0});
            continue;
        }
        entries.push_back({j, b, 0});
        entries.push_back({j, b, where(j, i)});
        entries.push_back({i, b, 0});
        entries.push_back({i, b, where(i, j)});
    }
    for (const SwitchEntry& e : entries)
        if (e.where == INT32_MIN) return;
    std::stable_sort(entries.begin(), entries.end(),
                     [](const SwitchEntry& a, const SwitchEntry& b) { return a.row < b.row; });
    f.switch_rows.assign(static_cast<size_t>(n) + 2, 0);
    size_t e = 0;
    for (int32_t r = 1; r <= n + 1; ++r) {
        while (e < entries.size() && entries[e].row < r) ++e;
        f.switch_rows[static_cast<size_t>(r)] = static_cast<int32_t>(e);
    }
    f.switch_entries = std::move(entries);
    f.switches = ns;
}

// Rows s..n assembled straight into the packed factors, with the
// switches' conductances, each entry taking the same operations in the
// same order as in GMTRI; the pattern rows restored from GMPAT.
void assemble_packed(const Matrices& m, const Lists& l, int32_t ss, int32_t s, int32_t n, SubsystemFactors& f) {
    NetworkTables& N = NET;
    const Col<int32_t> lowcol = l.lowcol, upcol = l.upcol, lows = l.lows, lowe = l.lowe, ups = l.ups, upe = l.upe;
    const Col<double> gnor = column(N.GNOR, ss);
    const int64_t n1 = m.gm.n1;
    const double* gm = m.gm.data - 1 - n1;  // gm[r + n1 c] = GM(r, c)
    const int8_t* pat = m.pat.data - 1 - m.pat.n1;
    int8_t* fill = m.fill.data - 1 - m.fill.n1;
    const int64_t p1 = m.pat.n1, f1 = m.fill.n1;
    if (p1 == n1 && f1 == n1) {
        // One position for the entry in all three matrices.
        for (int32_t r = s; r <= n; ++r) {
            for (int32_t p = lows[r]; p <= lowe[r]; ++p) {
                const int64_t at = r + n1 * lowcol[p];
                fill[at] = pat[at];
                f.low[static_cast<size_t>(p)] = -gm[at];
            }
            for (int32_t p = ups[r]; p <= upe[r]; ++p) {
                const int64_t at = r + n1 * upcol[p];
                fill[at] = pat[at];
                f.up[static_cast<size_t>(p)] = -gm[at];
            }
            const int64_t at = r + n1 * r;
            fill[at] = pat[at];
            f.diag[static_cast<size_t>(r)] = gnor[r] + gm[at];
        }
    } else {
        assemble_rows(m, l, gnor, s, n, f);
    }
    add_packed_switches(ss, s, n, f);
}

// The same with the matrices' own column lengths.
void assemble_rows(const Matrices& m, const Lists& l, const Col<double>& gnor, int32_t s, int32_t n,
                   SubsystemFactors& f) {
    const Col<int32_t> lowcol = l.lowcol, upcol = l.upcol, lows = l.lows, lowe = l.lowe, ups = l.ups, upe = l.upe;
    const int64_t n1 = m.gm.n1;
    const double* gm = m.gm.data - 1 - n1;  // gm[r + n1 c] = GM(r, c)
    const int8_t* pat = m.pat.data - 1 - m.pat.n1;
    int8_t* fill = m.fill.data - 1 - m.fill.n1;
    const int64_t p1 = m.pat.n1, f1 = m.fill.n1;
    for (int32_t r = s; r <= n; ++r) {
        for (int32_t p = lows[r]; p <= lowe[r]; ++p) {
            const int32_t c = lowcol[p];
            fill[r + f1 * c] = pat[r + p1 * c];
            f.low[static_cast<size_t>(p)] = -gm[r + n1 * c];
        }
        for (int32_t p = ups[r]; p <= upe[r]; ++p) {
            const int32_t c = upcol[p];
            fill[r + f1 * c] = pat[r + p1 * c];
            f.up[static_cast<size_t>(p)] = -gm[r + n1 * c];
        }
        fill[r + f1 * r] = pat[r + p1 * r];
        f.diag[static_cast<size_t>(r)] = gnor[r] + gm[r + n1 * r];
    }
}

// The switches' conductances of rows s..n, in the order of their entries.
void add_packed_switches(int32_t ss, int32_t s, int32_t n, SubsystemFactors& f) {
    const Col<double> geq = column(NET.GEQ, ss);
    const auto last = f.switch_entries.begin() + f.switch_rows[static_cast<size_t>(n) + 1];
    for (auto e = f.switch_entries.begin() + f.switch_rows[static_cast<size_t>(s)]; e != last; ++e) {
        const double g = geq[e->b];
        if (e->where == 0)
            f.diag[static_cast<size_t>(e->row)] += g;
        else if (e->where < 0)
            f.low[static_cast<size_t>(-e->where)] -= g;
        else
            f.up[static_cast<size_t>(e->where)] -= g;
    }
}

// Rows first..n of GMTRI into the packed factors, and back.
void gather(const Matrices& m, int32_t ss, int32_t first, int32_t n, SubsystemFactors& f) {
    NetworkTables& N = NET;
    const Col<int32_t> lowcol = column(N.LOWCOL, ss), upcol = column(N.UPCOL, ss);
    const Col<int32_t> lows = column(N.LOWSTART, ss), lowe = column(N.LOWEND, ss);
    const Col<int32_t> ups = column(N.UPSTART, ss), upe = column(N.UPEND, ss);
    for (int32_t r = first; r <= n; ++r) {
        for (int32_t p = lows[r]; p <= lowe[r]; ++p) f.low[p] = m.tri.col(lowcol[p])[r];
        f.diag[r] = m.tri.col(r)[r];
        for (int32_t p = ups[r]; p <= upe[r]; ++p) f.up[p] = m.tri.col(upcol[p])[r];
    }
}

void scatter_back(const Matrices& m, const Lists& l, int32_t first, int32_t n, const SubsystemFactors& f) {
    const Col<int32_t> lowcol = l.lowcol, upcol = l.upcol, lows = l.lows, lowe = l.lowe, ups = l.ups, upe = l.upe;
    for (int32_t r = first; r <= n; ++r) {
        for (int32_t p = lows[r]; p <= lowe[r]; ++p) m.tri.col(lowcol[p])[r] = f.low[p];
        m.tri.col(r)[r] = f.diag[r];
        for (int32_t p = ups[r]; p <= upe[r]; ++p) m.tri.col(upcol[p])[r] = f.up[p];
    }
}

// Elimination of rows s..n: each row is reduced by the rows of its lower
// list, its pivot checked and inverted and its upper entries scaled.
void eliminate(const Lists& l, int32_t ss, int32_t s, int32_t n, SubsystemFactors& f) {
    NetworkTables& N = NET;
    const Col<int32_t> lowcol = l.lowcol, upcol = l.upcol, lows = l.lows, lowe = l.lowe, ups = l.ups, upe = l.upe;
    const Col<Logical> small = column(N.SMALLDIAG, ss);
    static std::vector<double> work;
    if (work.size() < static_cast<size_t>(n) + 1) work.resize(static_cast<size_t>(n) + 1);
    double* w = work.data();
    for (int32_t r = s; r <= n; ++r) {
        if (lows[r] <= lowe[r]) {
            for (int32_t p = lows[r]; p <= lowe[r]; ++p) w[lowcol[p]] = f.low[p];
            w[r] = f.diag[r];
            for (int32_t p = ups[r]; p <= upe[r]; ++p) w[upcol[p]] = f.up[p];
            for (int32_t p = lows[r]; p <= lowe[r]; ++p) {
                const int32_t c = lowcol[p];
                const double mult = w[c];
                // Row c's upper list names each column once: the diagonal
                // entry r takes at most one update here, tested after it.
                const double old = w[r];
                for (int32_t q = ups[c]; q <= upe[c]; ++q) {
                    const int32_t j = upcol[q];
                    w[j] = w[j] - mult * f.up[q];
                }
                if (std::fabs(w[r]) < 1e-14 * std::fabs(old)) small[r] = LTRUE;
            }
            for (int32_t p = lows[r]; p <= lowe[r]; ++p) f.low[p] = w[lowcol[p]];
            f.diag[r] = w[r];
            for (int32_t p = ups[r]; p <= upe[r]; ++p) f.up[p] = w[upcol[p]];
        }
        if (std::fabs(f.diag[r]) < 1e-20 || std::isnan(f.diag[r])) {
            f.n = 0;
            TRIANG_REPORT(r, ss);
            ABORT_RUN("ITRIANG", 0);
        }
        const double inv = 1.0 / f.diag[r];
        f.diag[r] = inv;
        for (int32_t p = ups[r]; p <= upe[r]; ++p) f.up[p] *= inv;
    }
}

SubsystemFactors& factors_of(int32_t ss) {
    std::vector<SubsystemFactors>& all = TRIANG_FACTORS.ss;
    if (all.size() < static_cast<size_t>(ss)) all.resize(static_cast<size_t>(ss));
    return all[static_cast<size_t>(ss) - 1];
}

// The list tables must hold every row and the packed lists every position.
void check_list_tables(int32_t ss, int32_t n) {
    NetworkTables& N = NET;
    bool ok = ss <= N.LOWCOL.extent(2) && ss <= N.UPCOL.extent(2) && ss <= N.LOWSTART.extent(2) &&
              ss <= N.SMALLDIAG.extent(2) && ss <= N.GNOR.extent(2);
    for (int64_t e : {N.LOWSTART.extent(1), N.LOWEND.extent(1), N.UPSTART.extent(1), N.UPEND.extent(1),
                      N.SMALLDIAG.extent(1), N.GNOR.extent(1)})
        ok = ok && n <= e;
    if (!ok) solution_tables_error(ss);
}

}  // namespace

const SubsystemFactors* subsystem_factors(int32_t ss) {
    if (ss < 1 || static_cast<size_t>(ss) > TRIANG_FACTORS.ss.size()) return nullptr;
    const SubsystemFactors& f = TRIANG_FACTORS.ss[static_cast<size_t>(ss) - 1];
    if (f.n <= 0 || ss > NET.NBUSES.size() || f.n != NET.NBUSES(ss)) return nullptr;
    return &f;
}

void ITRIANG(int32_t ss) {
    NetworkTables& N = NET;
    const int32_t n = N.NBUSES(ss);
    const bool ideal = is_true(N.IDEALSS(ss));
    if (is_true(RUN_FLAGS.FIRST_STEP_RUN)) {
        if (ideal) N.MXINV(ss) = 1;
        for (int32_t k = 1; k <= n; ++k) N.SMALLDIAG(k, ss) = LFALSE;
    }
    if (N.MXINV(ss) <= n && n >= 1) {
        check_list_tables(ss, n);
        int32_t s = N.MXINV(ss);
        if (s < 1) {
            warn_start_node(ss);
            N.MXINV(ss) = 1;
            s = 1;
        }
        if (ideal) {
            IDLSTART(ss);
            s = std::clamp(N.MXINV(ss), 1, n);
            if (N.NTRIANG(ss) == 0 && RUN_SEQ.IRUN == 1)
                write_list(UNIT_CONSOLE_OUT, {"Subsystem", ss, " has ideal branches"});
        }
        const Matrices m = subsystem_matrices(ss, n);
        const Lists lists = lists_of(ss);
        SubsystemFactors& f = factors_of(ss);
        const bool new_lists = N.NTRIANG(ss) == 0 || ideal || f.n != n;
        if (!new_lists && RUN_CLOCK.NSTEP != 0 && f.switches == N.NSWITCH(ss)) {
            assemble_packed(m, lists, ss, s, n, f);
        } else {
            if (new_lists || RUN_CLOCK.NSTEP == 0)
                assemble_dense(m, ss, s, n);
            else
                assemble_listed(m, ss, s, n);
            add_switches(m, ss, s);
            if (ideal) IDLSRC(ss);
            if (RUN_CLOCK.NSTEP == 0) check_grounded(m, ss, n);
            if (new_lists) {
                build_lists(m, ss, n, f);
                if (!ideal) plan_switches(ss, n, f);
            }
            gather(m, ss, new_lists ? 1 : s, n, f);
        }
        eliminate(lists, ss, s, n, f);
        scatter_back(m, lists, s, n, f);
        N.SSCHATTER(ss) = LTRUE;
        N.NTRIANG(ss) += 1;
        N.MXINV(ss) = n + 1;
    }
    if (is_true(RUN_FLAGS.FINAL_STEP)) {
        for (int32_t k = 1; k <= n; ++k) {
            if (is_true(N.SMALLDIAG(k, ss))) {
                TRIANG_REPORT(0, ss);
                break;
            }
        }
    }
}

void TRIANG_REPORT(int32_t node, int32_t ss) {
    const int out = UNIT_CONSOLE_OUT;
    if (node >= 1) {
        USERMSG(0, 0, 2, 6, "Singularity (a zero diagonal) encountered");
        USERMSG(0, 0, 2, 0, " during the triangularization of the circuit");
        USERMSG(0, 0, 2, 0, " conductance matrix. This occured at node ");
        USERMSG(0, 0, 2, 0, std::to_string(node) + " in subsystem " + std::to_string(ss));
        USERMSG(0, 0, 2, 0, ". The simulation cannot be completed due to ");
        USERMSG(0, 0, 2, -1, "numerically ill-conditioned matrices.");
        write_list(out, {kStars});
    } else {
        USERMSG(0, 0, 2, 4, "A very small diagonal was encountered ");
        USERMSG(0, 0, 2, 0, "during the triangularization of the circuit ");
        USERMSG(0, 0, 2, 0, "conductance matrix. The simulation results can be ");
        USERMSG(0, 0, 2, -1, "incorrect due to numerically ill-conditioned matrices.");
        write_list(out, {kStars});
        write_list(out, {"A very small diagonal was encountered"});
        write_list(out, {"For subsystem ", ss, ", this occurred at nodes:"});
        for (int32_t k = 1; k <= NET.NBUSES(ss); ++k)
            if (is_true(NET.SMALLDIAG(k, ss))) write_list(out, {k});
    }
    USERMSG(0, 0, 1, 1, "Check Non-Standard Messages");
    for (const char* line : {"Look for:",
                             " - Isolated nodes or branches in the circuit.",
                             " - Nodes connected to nothing but open switches.",
                             " - A transformer sub-circuit which is ungrounded.",
                             " - Non-ideal transformers where the magnetizing currents",
                             "   for each winding are different.",
                             " - Ideal (R=0) switches or ammeters near the terminals",
                             "   of non-ideal transformers.",
                             "Try:",
                             " - Grounding a transformer sub-circuit (either by a",
                             "   direct ground connection or by elements to ground).",
                             " - Changing transformers to ideal type.",
                             " - Looking through the code generation messages for",
                             "   warnings of suspicious isolated nodes: they point",
                             "   to isolated branches."})
        write_list(out, {line});
    write_list(out, {kStars});
}
