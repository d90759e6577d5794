// Closing and opening switched branches, and the set-up of a switched
// branch by its model.
#pragma once

#include <cstdint>

#include "platform/fixed_text.h"

void BRANCH_ON(int32_t s, int32_t b, int32_t code, double value);
void BRANCH_OFF(int32_t s, int32_t b, int32_t code, double value);
// Lowers the start node for triangularisation of subsystem s to the
// first of the branch's two nodes that is not ground.
void SS_MINREQ(int32_t s, int32_t a, int32_t b);
void CHK_SWITCH_R(int32_t s, int32_t br, double ron, double roff, double von, double voff, const Text12& name);
