// The arithmetic that the transformer section reader and the common
// transformer set-up share: the in-place inversion of a winding matrix,
// the companion model's history matrix, the stamp of a winding
// conductance matrix into a subsystem's node conductances, and the check
// of a B-H curve.
#pragma once

#include <cstdint>

#include "platform/fixed_text.h"
#include "platform/fortran_array.h"

// Inverts the leading n x n block of a in place, pivots on the diagonal in
// order without row exchange; false (a partly reduced) when a pivot's
// magnitude is below tiny.
bool xfmr_invert(FArray2<double>& a, int32_t n, double tiny);

// G = A (I - (I + R A)^-1 R A), the conductance of R in series with the
// inductances of A = (DELT/2) Gamma, into XF_WG from A = XF_WZ and R =
// XF_WR; false when a pivot of the inversion is below tiny.
bool xfmr_gamma_conductance(int32_t n, double tiny);

// The magnetic-circuit form's G = (DELT/2) Gamma from Gamma in XF_WZ, no
// resistance: into XF_WG, XF_WR and transformer k's XF_LTERM and XF_RES.
void xfmr_core_conductance(int32_t k, int32_t n);

// XF_HIST(k) = I - 2 G R and XF_GEQ(k) = G, from G = XF_WG and R = XF_WR.
void xfmr_store_companion(int32_t k);

// Adds g(1..n, 1..n), a conductance matrix over transformer k's windings,
// into the node conductances of subsystem ss; with mark, also sets the
// connection flags of the node pairs it joins.
void xfmr_stamp(int32_t ss, int32_t k, const FArray2<double>& g, bool mark);

enum class CurveCheck { Kept, NoData, PointsDropped };

// Checks and reduces transformer k's B-H curve (saturation on): the first
// usable point first, then only points whose slope falls; sets XF_CORE8
// to the first slope, or XF_SATON to 0 when no point is usable.
CurveCheck xfmr_check_curve(int32_t k);

// Stop the run under caller's name unless k is a transformer of the
// section; models also need windings windings and, magnetic, the
// magnetic-circuit form.
void xfmr_check_number(const Text12& caller, int32_t k);
void xfmr_check_model(const Text12& caller, int32_t k, int32_t windings, bool magnetic);
