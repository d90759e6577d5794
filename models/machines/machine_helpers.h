// The rotating-frame transformation and the winding-matrix routines that
// the machine models share.
#pragma once

#include <array>
#include <cstdint>

#include "platform/fixed_text.h"

// Up to five windings per axis: winding 1 the stator, 2.. rotor circuits.
constexpr int32_t MACHINE_MAX_WINDINGS = 5;

// 5 x 5, column by column: (i, j) at (i - 1) + 5 (j - 1); only the leading
// N x N block is used.
using WindingMatrix = std::array<double, 25>;
inline double& wm(WindingMatrix& m, int32_t i, int32_t j) { return m[(i - 1) + 5 * (j - 1)]; }
inline double wm(const WindingMatrix& m, int32_t i, int32_t j) { return m[(i - 1) + 5 * (j - 1)]; }

// The name under which the induction machines stop.
inline const Text12 INDUCMC_NAME = "INDUCMC";

// MODE > 0: a, b, c to d, q, 0; otherwise back. Amplitudes are kept and
// q is the sine projection in both directions.
void PARKTR(double* ABC, double* DQ0, double THETA, int32_t MODE);

// Inductance matrix (per unit times seconds) of N windings from the
// twelve reactances: magnetising, five own leakages, six mutual leakages
// of the rotor-winding pairs (2,3), (2,4), (2,5), (3,4), (3,5), (4,5).
void INDUCMC_LMAT(const double* X, double WB, WindingMatrix& M, int32_t N);
// Gauss-Jordan inverse with row exchanges; a matrix without a usable
// pivot stops the run.
void INDUCMC_INV(const WindingMatrix& M, WindingMatrix& MINV, int32_t N);
// DIR > 0 saves the N x N block row by row to STOR(NEXC + OFF + 1 ..),
// otherwise restores it from there. NEXC does not move.
void INDUCMC_MSAV(WindingMatrix& M, int32_t OFF, int32_t DIR, int32_t N);
// One Heun step of the winding fluxes and the stator zero-sequence flux.
void INDUCMC_INTG(const double* R, double XLS, const WindingMatrix& GAMMA, double* PSID, double* PSIQ, double& PSI0,
                  const double* DPSID, const double* DPSIQ, double DPSI0, double SPEED, const double* VDQ0, double WB,
                  double VRD, double VRQ, int32_t N);
