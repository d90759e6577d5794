#include "lines/line_conductance.h"

#include "engine/solution_arrays.h"
#include "lines/line_tables.h"

void STAMP_LINE_END(int32_t ss, int32_t row, int32_t n, const int32_t* nodes) {
    const FArray3<double>& g = LINE_TABLES.TLGMAT;
    const SsView<double> gm = SSDESC_RA(ss);
    const SsView<int8_t> pat = SSDESC_IA(ss);
    for (int32_t i = 1; i <= n; ++i) {
        const int32_t ai = nodes[i - 1];
        if (ai == 0) continue;
        // The first step's initialisation adds the column's couplings to the
        // diagonal: the column sum leaves G(i, i) there also when G is not
        // symmetric.
        double sum = 0.0;
        for (int32_t j = 1; j <= n; ++j) sum += g(j, i, row);
        for (int32_t j = 1; j <= n; ++j) {
            const int32_t aj = nodes[j - 1];
            if (aj == ai || aj == 0) continue;
            gm(aj, ai) -= g(j, i, row);
            pat(ai, aj) = -1;
            pat(aj, ai) = -1;
        }
        gm(ai, ai) += sum;
    }
}
