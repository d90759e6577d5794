// Older source models that write sinusoidal EMFs straight into EBR of
// branches with a series source, keeping their state after NEXC in STOR
// (one word) and, through EBR_ANGLE, in two words of STORF.
#pragma once

#include <cstdint>

// The angle advanced by omega since its last call (0 on the first step of
// a run from data), kept in [0, 2 pi].
double EBR_ANGLE(double omega);
// dc 0: a sinusoid; any other value: the ramped magnitude.
void EBR1P2(int32_t ss, int32_t br, double magnitude, double omega, double phase, double ramp, int32_t dc);
void EBR3P2(int32_t ss, int32_t a, int32_t b, int32_t c, double magnitude, double omega, double phase, double ramp);
// A negative branch inverts its phase; a subsystem of 0 or below connects
// the source in delta. A negative frequency runs the magnitude up over its
// first three periods.
void ESYS1(int32_t ss, int32_t a, int32_t b, int32_t c, double magnitude, double frequency, double phase);
// y1 up to x1, y2 from x2, straight between.
double LINTERP2(double x, double x1, double y1, double x2, double y2);
