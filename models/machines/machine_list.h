// Connection entries that the machines append to the branch-change list.
#pragma once

#include <cstdint>

#include "platform/fixed_text.h"

// Appends an entry of the given kind with its two items, subsystem and
// first real; returns its row for further reals.
int32_t MACHINE_LIST_ENTRY(const Text12& caller, int32_t kind, int32_t ss, int32_t item1, int32_t item2,
                           double real1);
