#include "network/solution_checks.h"

#include <string>

#include "engine/abort.h"
#include "network/network_tables.h"
#include "network/solution_columns.h"

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
    if (!counts_fit(ss)) solution_tables_error(ss);
}

void solution_tables_error(int32_t ss) {
    USERMSG(0, 0, 2, 2, "Network tables of subsystem " + std::to_string(ss) + " do not fit their dimensions.");
    USERMSG(0, 0, 2, -1, "Check the DIMENSIONS: section of the map file.");
    ABORT_RUN("SOLVE_NETWORK", 0);
}
