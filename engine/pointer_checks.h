// Checks that every step ends with the storage pointers where the first
// step left them, and that no storage was used beyond its size.
#pragma once

#include <array>
#include <cstdint>

// The reference values of the three comparing checks. Each is recorded at
// its check's first call in the life of the process.
struct PointerCheckRefs {
    bool nrtc_set = false;
    std::array<int32_t, 4> nrtc{};   // NRTCL, NRTCI, NRTCF, NRTCC
    bool nexc_set = false;
    std::array<int32_t, 13> nexc{};  // NEXC, NSTORC, NSTORF, NSTORI, NSTORL, NSTOL .. NTXFR
    bool nexc_restored = false;      // the module counts are bounds until the step ends
    bool txfr_set = false;
    std::array<int32_t, 4> txfr{};   // NSTXFRL, NSTXFRI, NSTXFRF, NSTXFRC
};

extern PointerCheckRefs POINTER_CHECKS;

void CHKNRTC();
void CHKNEXC();
// CHKNEXC before the first step of a restored run.
void CHKNEXC_RESTORED();
void CHKTXFRS();
void CHKSTOR();
