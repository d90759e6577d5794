#include "controls/tables/xy_table.h"

#include <algorithm>
#include <cmath>

#include "controls/block_slots.h"
#include "engine/abort.h"
#include "engine/run_state.h"

namespace {

constexpr int32_t kRows = 10, kColumns = 10, kSlots = 110;

[[noreturn]] void table_stop(const char* text) {
    USERMSG(CURRENT_IDS.id1, CURRENT_IDS.id2, 2, 1, text);
    ABORT_RUN("XY_TABLE_T  ", 0);
}

}  // namespace

void XY_TABLE_T(int32_t n, int32_t m, const double* table) {
    const BlockSlots s = take_slots({.rtcf = kSlots});
    if (n < 1 || n > kRows || m > kColumns) table_stop("Table size out of range");
    // A negative m copies the breakpoints alone; the lookup then gives zeros.
    for (int32_t c = 0; c <= std::max(m, 0); ++c)
        for (int32_t i = 0; i < n; ++i) s.RF(kRows * c + i) = table[kRows * c + i];
    for (int32_t i = 0; i + 1 < n; ++i)
        if (table[i + 1] <= table[i]) table_stop("Data in the table should be in ascending order");
}

void XY_TABLE_LOOKUP(int32_t n, int32_t m, int32_t stepped, double x, double* out) {
    const BlockSlots s = take_slots({.rtcf = kSlots});
    std::fill_n(out, kColumns, 0.0);
    // The set-up refused other sizes; here they are only kept inside the block.
    n = std::clamp(n, 1, kRows);
    m = std::clamp(m, 0, kColumns);
    const auto X = [&](int32_t i) { return s.RF(i - 1); };
    const auto Y = [&](int32_t c, int32_t i) { return s.RF(kRows * c + i - 1); };
    if (x <= X(1) || x >= X(n)) {
        const int32_t end = x <= X(1) ? 1 : n;
        for (int32_t c = 1; c <= m; ++c) out[c - 1] = Y(c, end);
        return;
    }
    int32_t i = 1;
    while (x > X(i + 1)) ++i;
    double f = (x - X(i)) / (X(i + 1) - X(i));
    if (stepped != 0) f = std::round(f);
    for (int32_t c = 1; c <= m; ++c) out[c - 1] = Y(c, i + 1) * f + Y(c, i) * (1.0 - f);
}
