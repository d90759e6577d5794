// The magnetic network of a magnetic-circuit transformer core, reduced to
// the inverse inductances of its windings, and the small matrix routines
// the reduction uses. Vectors and matrices hold up to 23 places (the most
// magnetic branches a core has); matrices are stored by columns of 23.
#pragma once

#include <array>
#include <cstdint>

constexpr int32_t XFMR_MAXBR = 23;

using XfmrVector = std::array<double, XFMR_MAXBR>;                // element i at [i - 1]
using XfmrMatrix = std::array<double, XFMR_MAXBR * XFMR_MAXBR>;   // (i, j) at [(i - 1) + 23 (j - 1)]

inline double& at(XfmrMatrix& m, int32_t i, int32_t j) { return m[(i - 1) + XFMR_MAXBR * (j - 1)]; }

// Branch count and magnetic node count of each core type (0 to 5).
int32_t xfmr_core_branches(int32_t core_type);
int32_t xfmr_core_nodes(int32_t core_type);

// C = A B for the n x k matrix A and the k x m matrix B; nothing when n or
// m is below 1.
void XFMR_MATMUL(int32_t n, int32_t k, int32_t m, const XfmrMatrix& a, const XfmrMatrix& b, XfmrMatrix& c);
// Inverts the leading n x n block of A in place, pivots on the diagonal in
// order; returns -1 when a pivot below 1e-20 was passed over, else 0.
int32_t XFMR_MATINV(XfmrMatrix& a, int32_t n);

// The reduced core of nw windings on nb branches of permeances p, turns
// turns: out = (DELT/2) Gamma of the windings, and y = 0.001 (Y N)^-1 (a +
// 500 DELT b / N) for the limb fluxes a and winding voltages b. Returns
// the flag of the inversions (-1: a pivot was passed over).
int32_t XFMR_MAGCKT(const XfmrVector& a, int32_t nw, int32_t nb, XfmrMatrix& out, XfmrVector& y, int32_t core_type,
                    const XfmrVector& p, const XfmrVector& b, const XfmrVector& turns);

// The inverse inductances Gamma (1/H) of transformer k's windings into
// w(1..n, 1..n); the flag of XFMR_MAGCKT.
template <class Matrix>
int32_t XFMR_SATSET(int32_t k, Matrix& w);

// The permeances of transformer k's core branches with an unsaturated core.
void xfmr_core_permeances(int32_t k, XfmrVector& p);
