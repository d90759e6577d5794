#include "network/solution_checks.h"

#include <cstring>
#include <string>

#include "engine/abort.h"
#include "engine/run_state.h"
#include "network/network_tables.h"
#include "network/solution_columns.h"
#include "network/solution_loops.h"
#include "platform/fixed_text.h"
#include "platform/fortran_format.h"

namespace {

bool counts_fit(int32_t ss) {
    NetworkTables& N = NET;
    if (ss < 1 || ss > N.NBUSES.size() || ss > N.NBRANCHES.size() || ss > N.NNORTON.size() ||
        ss > N.NSWITCH.size() || ss > N.VNODE.extent(2) || ss > N.CBR.extent(2))
        return false;
    const int64_t n = N.NBUSES(ss), nb = N.NBRANCHES(ss), nn = N.NNORTON(ss), ns = N.NSWITCH(ss);
    if (n < 0 || nb < 0 || nn < 0 || ns < 0) return false;
    // Node tables, node vectors, branch tables and branch vectors.
    for (int64_t e : {N.VNODE.extent(1), N.CHIST.extent(1), N.CINJ.size(), N.CINJW.size(), N.VSOL.size(),
                      N.NORCHG.size(), N.NORBUS.extent(1)})
        if (n > e) return false;
    for (int64_t e : {N.CBR.extent(1), N.BRCHG.size(), N.CBRT.size(), N.SWPEND.size(), N.SWCOUNT.size(),
                      N.SWLIST.extent(1)})
        if (nb > e) return false;
    return nn <= n && ns <= nb;
}

bool fits(int32_t ss) {
    if (!counts_fit(ss)) return false;
    NetworkTables& N = NET;
    const int64_t n = N.NBUSES(ss), nb = N.NBRANCHES(ss), nn = N.NNORTON(ss), ns = N.NSWITCH(ss);
    const Col<int32_t> nor = column(N.NORBUS, ss), sw = column(N.SWLIST, ss);
    for (int64_t k = 1; k <= nn; ++k)
        if (nor[k] < 1 || nor[k] > n) return false;
    for (int64_t k = 1; k <= ns; ++k)
        if (sw[k] < 1 || sw[k] > nb) return false;
    const Col<int32_t> from = column(N.IEF, ss), to = column(N.IET, ss);
    for (int64_t b = 1; b <= nb; ++b)
        if (static_cast<uint32_t>(from[b]) > static_cast<uint64_t>(n) ||
            static_cast<uint32_t>(to[b]) > static_cast<uint64_t>(n))
            return false;
    return true;
}

}  // namespace

void CHECK_SOLUTION_TABLES(int32_t ss) {
    if (!fits(ss)) solution_tables_error(ss);
}

void check_solution_counts(int32_t ss) {
    // The extents change only with the arrays' layouts: counts that fitted
    // them fit again while both stay.
    static struct {
        int64_t layouts = -1;
        int32_t ss = 0, n = 0, nb = 0, nn = 0, ns = 0;
    } fitted;
    NetworkTables& N = NET;
    if (fitted.layouts == farray_layouts() && fitted.ss == ss && fitted.n == N.NBUSES(ss) &&
        fitted.nb == N.NBRANCHES(ss) && fitted.nn == N.NNORTON(ss) && fitted.ns == N.NSWITCH(ss))
        return;
    if (!counts_fit(ss)) solution_tables_error(ss);
    fitted = {farray_layouts(), ss, N.NBUSES(ss), N.NBRANCHES(ss), N.NNORTON(ss), N.NSWITCH(ss)};
}

void solution_tables_error(int32_t ss) {
    USERMSG(0, 0, 2, 2, "Network tables of subsystem " + std::to_string(ss) + " do not fit their dimensions.");
    USERMSG(0, 0, 2, -1, "Check the DIMENSIONS: section of the map file.");
    ABORT_RUN("SOLVE_NETWORK", 0);
}

namespace {

// A value times zero is zero unless the value is NaN or an infinity, and a
// NaN stays in any sum: Width values at a time into two sums that do not
// wait on each other.
using Pair = double __attribute__((vector_size(16)));
using Quad = double __attribute__((vector_size(32)));

template <class Lanes, int Width = sizeof(Lanes) / sizeof(double)>
inline __attribute__((always_inline)) bool copy_finite_body(const double* __restrict v, int32_t n,
                                                            double* __restrict x) {
    Lanes a = {}, b = {};
    int32_t k = 0;
    for (; k + 2 * Width <= n; k += 2 * Width) {
        Lanes p, q;
        std::memcpy(&p, v + k, sizeof p);
        std::memcpy(&q, v + k + Width, sizeof q);
        std::memcpy(x + k, &p, sizeof p);
        std::memcpy(x + k + Width, &q, sizeof q);
        a += p * 0.0;
        b += q * 0.0;
    }
    double c = 0.0;
    for (; k < n; ++k) {
        x[k] = v[k];
        c += v[k] * 0.0;
    }
    const Lanes s = a + b;
    double t = 0.0;
    for (int j = 0; j < Width; ++j) t += s[j];
    return t + c == 0.0;
}

__attribute__((target("avx2"))) bool copy_finite_avx2(const double* __restrict v, int32_t n, double* __restrict x) {
    return copy_finite_body<Quad>(v, n, x);
}

}  // namespace

bool copy_finite(const double* __restrict v, int32_t n, double* __restrict x) {
    return vector_forms_in_use() ? copy_finite_avx2(v, n, x) : copy_finite_body<Pair>(v, n, x);
}

void solution_not_finite(int32_t ss) {
    std::string time(trim_right(edit("G23.16", RUN_CLOCK.TIME)));
    time.erase(0, time.find_first_not_of(' '));
    USERMSG(0, 0, 2, 2, "In subsystem " + std::to_string(ss) + " the solution is no longer finite:");
    USERMSG(0, 0, 2, -1, "stopped in step " + std::to_string(RUN_CLOCK.NSTEP) + " at time " + time);
    ABORT_RUN("INCALCVI", 0);
}
