// The check that a subsystem's counts, lists and node numbers fit the
// tables before the solution walks them without per-element checks.
#pragma once

#include <cstdint>

// Ends the run with an error when they do not fit.
void CHECK_SOLUTION_TABLES(int32_t ss);
// The same for the counts only (every step; the lists and node numbers
// change only where the matrix is factorised again).
void check_solution_counts(int32_t ss);
[[noreturn]] void solution_tables_error(int32_t ss);

// Copies the n values of a solution to x; false when one of them is not a
// finite number.
bool copy_finite(const double* v, int32_t n, double* x);
// Ends the run in this step: the solution of subsystem ss is not finite.
[[noreturn]] void solution_not_finite(int32_t ss);
