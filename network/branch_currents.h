// The history step of the branches and the results of a pass: node
// voltages, branch currents, inductor and capacitor voltages; and the
// close of a subsystem's step.
#pragma once

#include <cstdint>

void BRCURR(int32_t ss);
void INCALCVI(int32_t ss, double reached, double fraction, bool closing, bool partial, bool opening, bool resolving);
void FINISHUP(int32_t ss);
