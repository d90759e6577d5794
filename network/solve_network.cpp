// Seam: the network solution.
#include "network/solve_network.h"

void SOLVE_NETWORK() {}
