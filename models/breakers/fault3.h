// The three-phase fault: six switched branches (three phase-to-ground,
// three between phases), each driven as a breaker. Types 1 to 7 are
// faults to ground (A, B, C, AB, AC, BC, ABC), 8 to 11 between phases
// (AB, AC, BC, ABC); any other type opens all six. The fault applies
// while the control input equals 1.
#pragma once

#include <cstdint>

// Begin pass: the OFF resistance and the chopping current of the branches.
void FAULT3_INIT(double roff, double chop);
// The ON resistance is at most 0.01 of the OFF resistance.
void FAULT3(int32_t ss, int32_t ab, int32_t bc, int32_t ca, int32_t a, int32_t b, int32_t c, int32_t at_once,
            int32_t control, int32_t type, double ron);
void FAULT3_DIRECT(int32_t ss, int32_t ab, int32_t bc, int32_t ca, int32_t a, int32_t b, int32_t c, int32_t at_once,
                   int32_t control, int32_t type, double chop, double ron, double roff);
void FAULT3_SAFETY(int32_t ss, int32_t ab, int32_t bc, int32_t ca, int32_t a, int32_t b, int32_t c, double ron,
                   double roff, int32_t at_once, int32_t control, int32_t type);
