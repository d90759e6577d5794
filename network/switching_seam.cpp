// Seam: the voltage-source evaluation, until it is built.
#include "network/solution_hooks.h"

void VSRC_EVAL() {}
