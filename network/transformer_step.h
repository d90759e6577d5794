// The transformer history step of a subsystem. DSMDYN itself is declared
// with the other routines the solution calls (network/solution_hooks.h):
// it moves the node history injections to their previous values, then
// forms every winding's history current for the next span and injects it.
#pragma once

#include <cstdint>

#include "network/solution_hooks.h"

// The per-step saturation update of saturable transformer t of subsystem
// ss, which writes its magnetising currents (a transformer model routine).
void XFMR_SATDYN(int32_t ss, int32_t t);
