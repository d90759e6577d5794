// A line end's conductance in its subsystem's network matrix.
#pragma once

#include <cstdint>

// Adds the n x n matrix TLGMAT(., ., row) at nodes[0..n-1] of subsystem ss:
// each conductor's column sum on its diagonal, the couplings off it, marked
// both ways in the pattern. A grounded conductor (node 0) adds nothing, and
// two conductors on one node add nothing between them. The caller checks
// the nodes against the subsystem.
void STAMP_LINE_END(int32_t ss, int32_t row, int32_t n, const int32_t* nodes);
