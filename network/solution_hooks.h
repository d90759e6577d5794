// Routines of the switching, ideal-branch, transformer and source code that
// the network solution calls.
#pragma once

#include <cstdint>

// Operates the switches due at or before span (fraction of the step).
void SWITCHBR(int32_t ss, double span);
// Switching instant of pending switch br within the present pass, as a
// fraction of the pass's span; 1.5 when it does not switch. Writes EON of
// an arrester (its direction).
double SWITCH_INSTANT(int32_t ss, int32_t br, double reached, bool opening, bool resolving);

// Ideal branches.
void IDLSTART(int32_t ss);
void IDLSRC(int32_t ss);
void SCTEST(int32_t ss);
void IDLCUR(int32_t ss, double fraction, int32_t branch, double& current, bool closing, bool resolving);

// Transformer history step (moves CHIST to CHISTD first) and chatter detection.
void DSMDYN(int32_t ss);
void CHATTER_CHK(int32_t ss, int32_t mode);
// Winding currents at the pass's fraction, and their roll-over at the end
// of the step, of the transformers of the subsystem.
void XFMR_CURRENTS(int32_t ss, double fraction, bool partial, bool opening, bool resolving);
void XFMR_ROLLOVER(int32_t ss);

// Re-evaluates the voltage source whose record position is NET.SRC_POS at
// NET.TIME_SOL into its branch's EBR.
void VSRC_EVAL();
