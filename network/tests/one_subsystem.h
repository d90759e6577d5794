// Storage for a case of one subsystem, as the map reader leaves it before
// the branches are entered: shared by tests and benchmarks that build their
// circuits by hand.
#pragma once

#include <cstdlib>
#include <initializer_list>
#include <utility>

#include "engine/engine_reset.h"
#include "engine/solution_arrays.h"
#include "engine/storage.h"
#include "network/dimensions.h"

// One subsystem of n nodes and nb branches, with the given further
// requirements (dimension, size); the others 0.
inline void allocate_one_subsystem(int32_t n, int32_t nb, std::initializer_list<std::pair<int, int32_t>> more) {
    reset_all_engine_state();
    DIMBLOCK.REQ[ND_NODES] = n;
    DIMBLOCK.REQ[ND_SUBSYS] = 1;
    DIMBLOCK.REQ[ND_BRANCHES] = nb;
    for (const auto& [k, v] : more) DIMBLOCK.REQ[k] = v;
    DIMBLOCK.NSUBSYS = 1;
    int32_t status = 0;
    ALLOC_STORAGE(status);
    ALLOC_SSLIST(1, status);
    SOLUTION_ARRAYS.SSDIM(1) = n;
    ALLOCATION(1, status);
    if (status != 0) std::abort();
    CLEAR_STORAGE();
}
