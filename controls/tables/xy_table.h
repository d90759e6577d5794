// A table of up to ten breakpoints mapping one input to up to ten outputs,
// kept in 110 run-time constants: x(1..10), then ten columns of y.
#pragma once

#include <cstdint>

// table: 10 rows by 11 columns, column by column: x, then y_1 .. y_m.
void XY_TABLE_T(int32_t n, int32_t m, const double* table);
// out(1..10): linear (stepped = 0) or nearer-breakpoint choice, the end
// values held outside the table.
void XY_TABLE_LOOKUP(int32_t n, int32_t m, int32_t stepped, double x, double* out);
