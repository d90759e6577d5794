// The empty stand-in case: a top module with no sub-modules, which keeps
// only the pointer discipline of a module instance.
#include "case/station.h"

#include "engine/pointer_block.h"

void Station_DSD() {
    POINTER_BLOCK.NINST += 1;
    POINTER_BLOCK.NTXFR += 1;
}

void Station_DSO() {
    POINTER_BLOCK.NINST += 1;
    POINTER_BLOCK.NTXFR += 1;
}

void Station_DSD_BEGIN() { POINTER_BLOCK.NINST += 1; }

void Station_DSO_BEGIN() { POINTER_BLOCK.NINST += 1; }
