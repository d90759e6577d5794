// The list of branch changes and machine connections that models record
// while a run from data is set up (begin passes and first step), carried
// by the snapshot; and the two routines that re-type a branch.
#pragma once

#include <array>
#include <cstdint>

#include "platform/fixed_text.h"

constexpr int32_t BRCHANGE_MAX = 10000;

// Entry kinds.
constexpr int32_t BRCHANGE_MACHINE_NODE = 0;   // a node with a machine value
constexpr int32_t BRCHANGE_MACHINE_PAIR = 1;   // a node pair with a machine value
constexpr int32_t BRCHANGE_COMPENSATOR = 6;    // a compensator's three nodes
constexpr int32_t BRCHANGE_RETYPED_KIND = 9;   // a branch that a model took over
constexpr int32_t BRCHANGE_MACHINE_BRANCH = 12;

// Thirteen parallel columns: eight integer (kind, three items, three that
// no model writes, subsystem) and five real. Producers write only the
// columns their kind uses; the rest keep what an earlier run left.
struct BranchChangeList {
    int32_t count = 0;
    std::array<std::array<int32_t, BRCHANGE_MAX>, 8> ints{};
    std::array<std::array<double, BRCHANGE_MAX>, 5> reals{};

    // Integer column c (1 to 8) and real column c (1 to 5, the list's
    // columns 9 to 13) of row r (1 to BRCHANGE_MAX).
    int32_t& icol(int c, int32_t r) { return ints[c - 1][r - 1]; }
    double& rcol(int c, int32_t r) { return reals[c - 1][r - 1]; }
};

extern BranchChangeList BRCHANGE_LIST;

void clear_branch_changes();

// Every writer appends through here: raises the count and returns the new
// row (1 to BRCHANGE_MAX). A full list stops the run under the caller's
// name instead of writing past its end.
int32_t BRCHANGE_APPEND(const Text12& caller);
// Appends the entry of branch br of subsystem ss taken over by a model:
// kind 9, the branch, 0, and the subsystem.
void BRCHANGE_RETYPED(const Text12& caller, int32_t ss, int32_t br);

// Re-types branch br of subsystem ss on the first step of a run from data
// as an R or R-C branch (C in microfarads, at least 1e-12), or with R not
// above 0 as a current-injection branch; does nothing at other times.
void BRCHANGE(int32_t ss, int32_t br, double R, double C);
// Makes branch br a current-injection branch with the parallel
// conductance 1/R (0.0 for R not above 0).
void BRCOND(int32_t ss, int32_t br, double R);
// BRCOND without the warning for a branch that is not switched: for a
// caller that carries the new conductance into the network array itself.
void BRCOND_CARRIED(int32_t ss, int32_t br, double R);
