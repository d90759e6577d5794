// The passes of one subsystem's step: the right-hand side, the
// substitution and the search for switching instants, and the history
// currents and source EMFs as the present pass sees them.
#pragma once

#include <cstdint>

// History current of branch b of subsystem ss as the present pass sees it.
double INTVAL1(int32_t b, int32_t ss, bool resolving, bool partial, bool opening, double reached);
// Source EMF of branch b; evaluate lets a non-resolving pass re-evaluate a
// voltage source at the solution instant.
double INTVAL2(int32_t b, int32_t ss, bool resolving, bool vsource, bool partial, bool evaluate, bool opening,
               double reached);
// Fraction of the way from start to end at which level is crossed, in [0, 1].
double CROSSFRAC(double start, double end, double level);
void CROSSADJ(double& fraction, double step, double a1, double b1, double a2, double b2, double level);

// Branch b's source belongs to a voltage-source record.
bool voltage_source_branch(int32_t b, int32_t ss);

void INTERPA(int32_t ss, double reached, bool partial, bool resolving, bool opening);
void INTERPB(int32_t ss, double reached, bool partial, bool resolving, bool opening);
void INTERPOL(int32_t ss, double reached, double& span, double& next, bool opening, bool resolving);
