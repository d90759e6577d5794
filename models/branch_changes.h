// The list of branch changes recorded by models during a run, carried by
// the snapshot.
#pragma once

#include <array>
#include <cstdint>

#include "platform/fixed_text.h"

constexpr int32_t BRCHANGE_MAX = 10000;

struct BranchChangeList {
    int32_t count = 0;
    std::array<int32_t, BRCHANGE_MAX> kind{};
    std::array<int32_t, BRCHANGE_MAX> branch{};
    std::array<int32_t, BRCHANGE_MAX> zero{};
    std::array<int32_t, BRCHANGE_MAX> subsystem{};
};

extern BranchChangeList BRCHANGE_LIST;

void clear_branch_changes();

// Every writer appends through here: raises the count and returns the new
// row (1 to BRCHANGE_MAX; its columns are at row - 1). A full list stops
// the run under the caller's name instead of writing past its end.
int32_t BRCHANGE_APPEND(const Text12& caller);
