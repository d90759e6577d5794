// The list of branch changes recorded by models during a run, carried by
// the snapshot.
#pragma once

#include <array>
#include <cstdint>

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
