// Branch resistances, inductances and capacitances that models change
// during a run. Value types: 0 resistance (ohm), 1 inductance (henry),
// 2 capacitance (microfarad), 3 and 4 inductance and capacitance whose
// change is corrected by the current of a second, current-injection
// branch; any other type is a resistance. The matrix takes a changed
// conductance only of a switched branch (letter S or D in the map file).
#pragma once

#include <cstdint>

// Warns, once per set-up, that branch b of subsystem s is not switched
// (letter S or D), so that a model's change of it never reaches the matrix.
void WARN_UNSWITCHED(int32_t s, int32_t b);
// Set-up of branch b of subsystem s (and of correction branch c for the
// types above 2), in the set-up pass of a run started from data.
void VARBRANCH_INIT(int32_t type, int32_t s, int32_t b, int32_t c);
// The branch's value and source EMF of this step; two words of STORF at
// NSTORF.
void VARBRANCH_SET(int32_t type, int32_t s, int32_t b, int32_t c, double value, double emf);
// All three values of a series R-L-C branch (C in microfarads); a flag 0
// leaves its value out. Six words of STORF at NSTORF.
void VARBR_RLC(int32_t b, int32_t s, int32_t has_r, int32_t has_l, int32_t has_c, double R, double L, double C);
// The older form: types 0, 1, 2 as above; the correcting current goes to
// the Norton injections of the branch's nodes. current gets the branch
// current plus this step's correction. Ten words of STOR after NEXC.
void VARBRANCH_NB(int32_t b, int32_t s, int32_t type, double& current, double value, double emf);
