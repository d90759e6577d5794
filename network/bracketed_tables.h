// Model data given as a table of numbers between a line holding "{" and a
// line holding "}", read at the current position of the current input
// file. Both readers return with the line after the closing bracket next
// and "}" in SECTION_KEY; every fault ends the run.
#pragma once

#include <cstdint>
#include <span>

// Rows of the matrix layout that READMATX fills.
constexpr int32_t READMATX_ROWS = 100;

// n pairs (x, y) into X(1..n) and Y(1..n).
void READXY(int32_t n, std::span<double> X, std::span<double> Y);
// n rows of m values into A, stored by columns with 100 rows:
// element (i, j) at position i + 100 (j - 1); n is at most 100.
void READMATX(int32_t n, int32_t m, std::span<double> A);
