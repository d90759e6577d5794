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
