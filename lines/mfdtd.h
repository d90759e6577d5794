// The finite-difference time-domain line ("MFDTD").
#pragma once

#include <cstdint>

#include "lines/line_section.h"
#include "platform/fortran_array.h"

// Its registration, numeric block, update tables and conductance.
void DSLINT_MFDTD(LineEntry& e);
// Pole tables of line k: A = Re sum RES/a (work matrix TLD_WA), the pole
// sums TLD_G2 and TLD_G3, the difference weights TLD_CS and TLD_CD.
void MFDSET1(int32_t& np, int32_t& n, int32_t& k);
void MFDSET2(int32_t& np, int32_t& n, double& dt, int32_t& k);
void MFDSET3(int32_t& np, int32_t& n, double& dt, int32_t& k);
void MFDSET4(int32_t& np, double& dt, int32_t& k);
void MFDSET5(int32_t& np, double& dt, int32_t& k);
// Inverts the leading n x n block of slice k in place; a singular block
// stops the run.
void MMAT_INV(FArray3<double>& m, int32_t n, int32_t k);
// One segment's pole states (TLD_WPSI) advanced from its last three
// currents; the convolution term left in TLD_WHIST.
void MFDSTEP(int32_t& np, int32_t& n, const double* x1, const double* x2, const double* x3, double& dt, int32_t& k);
// Every MFDTD line's end history currents into TLINJ and TLCUR.
void TLSTEP_MFDTD();
