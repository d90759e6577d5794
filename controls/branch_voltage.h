// The voltage across a branch from the node voltages of its subsystem.
#pragma once
#include <cstdint>

// VNODE of the from-node minus VNODE of the to-node; ground counts as 0.
double BRANCH_VOLTAGE(int32_t ss, int32_t br);
