// Transmission lines and cables, as the network solution meets them.
#pragma once

#include <cstdint>

#include "platform/logical.h"

struct LineCounts {
    // Lines of each family, counted again by the set-up; the ENI counts are
    // the dimensioning pass's.
    int32_t NTLMODAL = 0, NTLPHASE = 0, NTLMFDTD = 0;
    int32_t NENISRV = 0, NENICLI = 0;
    double TRAVEL_MIN = 1e99;
    // Travel times shorter than a step as the dimensioning pass found them:
    // how many, and whether one is below 0.8 of a step. Each run's set-up
    // counts down from these.
    int32_t NTLSHORT = 0;
    Logical TLSHORTSTOP = LFALSE;

    // "TLINES:" and "GLOBAL_TLINES:" sections read in this run (set to 0
    // by the map-file reader before its sections).
    int32_t tline_sections = 0;
    int32_t global_tline_sections = 0;
};

extern LineCounts LINE_COUNTS;

// The dimensioning pass over one "TLINES:" or "GLOBAL_TLINES:" section
// (its key in SECTION_KEY); returns with the next key.
void RDTLINES();
// Reads one "TLINES:" section with the offsets of its page, or one
// "GLOBAL_TLINES:" section with four zeros; returns with the next key.
void DSLINT(int32_t& node_offset, int32_t& subsys_offset, int32_t& csc_begin1, int32_t& csc_begin2);
// The end subsystems of an entry: page-local numbers under "TLINES:"
// become the case's, absolute ones under "GLOBAL_TLINES:" stay.
void DSLINTSSN(int32_t& subsys_offset, int32_t& s1, int32_t& s2);

// First in every step with lines: the ENI exchange, the control-signal
// copy and the history currents TLINJ of every line end.
void TLSTEP();
// Control-signal runs of the lines with both ends in this process.
void TLEXCH_LOCAL();
// Last in every step: the line-end currents TLCUR.
void TLPOST();
// ENI lines: clients send their end voltages, servers wait for them.
void ENI_CLI2SRV();
// ENI lines: servers answer with the far end's history currents, clients
// wait for them and inject them.
void ENI_SRV2CLI();
