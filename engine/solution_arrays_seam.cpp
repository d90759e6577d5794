// Seam: the subsystem solution matrices.
#include "engine/solution_arrays.h"

SsView<double> SSDESC_RA(int32_t) { return {}; }
SsView<double> SSDESC_RB(int32_t) { return {}; }
SsView<int8_t> SSDESC_IA(int32_t) { return {}; }
SsView<int8_t> SSDESC_IB(int32_t) { return {}; }
void ALLOC_SSLIST(int32_t, int32_t& status) { status = 0; }
void ALLOCATION(int32_t, int32_t& status) { status = 0; }
void DEALLOCATION(int32_t& status) { status = 0; }
void DEALLOCATE_ALL(int32_t& status) { status = 0; }
