// The shared pointers into the storage arrays. Every module routine,
// model and block takes its storage at these pointers and advances them by
// the same counts in every step.
#pragma once

#include <cstdint>

struct PointerBlock {
    // Module side.
    int32_t NSTOL = 0, NSTOI = 0, NSTOF = 0, NSTOC = 0;
    int32_t NVAR = 0;
    int32_t NPGB = 0;
    int32_t NNODE = 0;
    int32_t NMAIN = 0;  // advanced by the case module Main; nothing reads it
    int32_t NSUBS = 0;
    int32_t NTXFR = 0;
    int32_t NCXMAP = 0;
    int32_t NXFMR = 0;  // transformers taken by the case modules
    int32_t NINST = 1;
    // Model side.
    int32_t saved_stori = 1;  // saved STORI position
    int32_t NSTORL = 1, NSTORI = 1, NSTORF = 1, NSTORC = 1;
    int32_t NEXC = 0;
    int32_t NRTCL = 1, NRTCI = 1, NRTCF = 1, NRTCC = 1;
    int32_t NSTXFRL = 1, NSTXFRI = 1, NSTXFRF = 1, NSTXFRC = 1;
};

extern PointerBlock POINTER_BLOCK;
