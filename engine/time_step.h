// One time step in its fixed order of calls, and the pointer resets
// before each of its two passes.
#pragma once

#include <cstdint>

void TIMESTEP();
void RESETPTRS();
void RESETPTRS_OUT();
void SSINIT();
void GET_STORPOS(int32_t& a, int32_t& b, int32_t& c, int32_t& d);
void ADV_STORPTRS(int32_t nc, int32_t nf, int32_t ni, int32_t nl);
