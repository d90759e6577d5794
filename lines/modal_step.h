// The per-step update of the modal lines (constant-parameter and
// "FRE-DEP"), inside TLSTEP.
#pragma once

// History currents of every modal line into TLINJ and TLCUR, in row order.
void TLSTEP_MODAL();
