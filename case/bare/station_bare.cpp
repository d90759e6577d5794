// The empty stand-in case: a top module with no sub-modules, which keeps
// only the pointer discipline of a module instance. It claims the whole
// node map, so that the pointers of a restored run agree with its own.
#include "case/station.h"

#include "engine/pointer_block.h"
#include "network/dimensions.h"

namespace {
void claim_node_map() {
    PointerBlock& p = POINTER_BLOCK;
    p.NINST += 1;
    p.NNODE += DIMBLOCK.REQ[ND_NNODES];
    p.NSUBS += DIMBLOCK.REQ[ND_SUBSYSPAGE];
    p.NTXFR += DIMBLOCK.REQ[ND_NPAGES];
}
}  // namespace

void Station_DSD() { claim_node_map(); }

void Station_DSO() { claim_node_map(); }

void Station_DSD_BEGIN() { claim_node_map(); }

void Station_DSO_BEGIN() { claim_node_map(); }
