// What the transformer component models share on their way to the common
// set-up: the place of a winding pair in a leakage vector, the layout of
// the winding matrices in XF_RLIN and the stop on leakages that give no
// inverse.
#pragma once

#include <cstdint>

#include "platform/fixed_text.h"
#include "platform/fortran_array.h"

// 0-based place of the pair (i, j), i < j, in a leakage vector.
inline int32_t xfmr_pair(int32_t i, int32_t j) { return (j - 1) * (j - 2) / 2 + i - 1; }

// Windings 1..n into XF_RLIN: r(i) on column i's own resistance row, 0 on
// the others above it, m(j, i) for j <= i on the even rows.
void xfmr_write_rlin(int32_t n, const FArray2<double>& m, const FArray1<double>& r);

// "Unrealisable Transformer Leakage Values", then the run ends under name.
[[noreturn]] void xfmr_unrealisable(const Text12& name);
