// Single- and three-phase voltage sources on branches with a series source
// (letter E). Each phase keeps a record in STORI whose position THISBR of
// its branch holds, so that the network solution can evaluate the source
// again inside the step.
#pragma once

#include <cstdint>

#include "platform/fixed_text.h"
#include "platform/logical.h"

// The record's first word for an AC source.
constexpr int32_t VSRC_AC_KIND = 101;

// Ramp time T (s): the magnitude rises linearly from 0 until T. The ramp
// time and the AC flag are taken on the first step of a run from data only.
void VSRC1P(int32_t ss, int32_t br, double ramp, Logical ac, double magnitude, double omega, double phase);
// Phases A, B, C at phase, phase - 2 pi / 3 and phase + 2 pi / 3.
void VSRC3P(int32_t ss, int32_t a, int32_t b, int32_t c, double ramp, Logical ac, double magnitude, double omega,
            double phase);
// The source whose record the network solution names in its SRC_POS, at
// the end of the pass it is about to solve.
void VSRC_EVAL();

// Branch br of subsystem ss must exist and carry a series source, or the
// EMF a model writes would never reach the network.
void CHK_SOURCE_BRANCH(const Text12& name, int32_t br, int32_t ss);
