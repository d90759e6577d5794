// The frequency-dependent line in phase quantities ("FRE-PHASE").
#pragma once

#include "lines/line_section.h"

// Its numeric block, registration and conductance.
void DSLINT_PHASE(LineEntry& e);
// Its lines' history currents into TLINJ and TLCUR, in row order.
void TLSTEP_PHASE();
