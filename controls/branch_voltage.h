// The voltage across a branch from the node voltages of its subsystem.
#pragma once
#include <cstdint>

#include "network/network_tables.h"

// VNODE of the from-node minus VNODE of the to-node; ground counts as 0.
inline double BRANCH_VOLTAGE(int32_t ss, int32_t br) {
    const NetworkTables& N = NET;
    const int32_t f = N.IEF(br, ss), t = N.IET(br, ss);
    return (f == 0 ? 0.0 : N.VNODE(f, ss)) - (t == 0 ? 0.0 : N.VNODE(t, ss));
}
