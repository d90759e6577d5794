// A constant multi-node element added to a subsystem's conductance matrix
// as a nodal admittance block, by case code, without branches.
#pragma once

#include <cstdint>
#include <span>

// values: the lower triangle of the symmetric N x N admittance block, row
// by row, diagonal last in each row (count = N(N+1)/2 entries); nodes: the
// subsystem node of each row, 0 for ground. Acts only on the first step of
// a run started from data, before the matrix diagonal is completed.
void ZARIK_ADD_GM(int32_t count, int32_t N, int32_t ss, std::span<const int32_t> nodes,
                  std::span<const double> values);
