// Seam: the transformer saturation update, until the transformer models
// are built. No transformer can be read before then.
#include "network/transformer_step.h"

void XFMR_SATDYN(int32_t, int32_t) {}
