// Transmission lines and cables, as the network solution meets them.
#pragma once

#include <cstdint>

struct LineCounts {
    int32_t NTLMODAL = 0, NTLPHASE = 0, NTLMFDTD = 0;
    int32_t NENISRV = 0, NENICLI = 0;
    double TRAVEL_MIN = 1e99;
};

extern LineCounts LINE_COUNTS;

// The dimensioning pass over one "TLINES:" or "GLOBAL_TLINES:" section
// (its key in SECTION_KEY); returns with the next key.
void RDTLINES();
void TLSTEP();
void TLPOST();
