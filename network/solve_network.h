// The network solution of one time step.
#pragma once

void SOLVE_NETWORK();
