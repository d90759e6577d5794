// Factorisation of a subsystem's conductance matrix from its start node
// MXINV on, over the sparsity lists.
#pragma once

#include <cstdint>
#include <vector>

// One switch's share in the assembled matrix: its conductance added to
// (where 0) or taken from (where < 0: the lower list at -where; where > 0:
// the upper list at where) an entry of the row.
struct SwitchEntry {
    int32_t row, b, where;
};

// The factors of one subsystem, packed in the order of its sparsity lists
// (position p of LOWCOL or UPCOL holds the factor of that entry) so that
// the substitution reads them in sequence. GMTRI holds the same values.
struct SubsystemFactors {
    int32_t n = 0;                 // node count the lists were built for; 0: none
    std::vector<double> low, up;   // by list position (1-based)
    std::vector<double> diag;      // reciprocal pivots, by node (1-based)
    // The switches' entries by row (each row's in switch-list order), the
    // first of each row (and n + 1) at row, for the switch count `switches`
    // (-1: none formed, or an entry outside the lists).
    std::vector<SwitchEntry> switch_entries;
    std::vector<int32_t> switch_rows;
    int32_t switches = -1;
};

struct TriangFactors {
    std::vector<SubsystemFactors> ss;  // subsystem ss at ss - 1
};

extern TriangFactors TRIANG_FACTORS;

void ITRIANG(int32_t ss);
// Reports a singular pivot at node (>= 1), or lists the nodes whose pivot
// lost more than 14 digits (node 0).
void TRIANG_REPORT(int32_t node, int32_t ss);
// The subsystem's factors, or nullptr when none were formed for its
// present node count.
const SubsystemFactors* subsystem_factors(int32_t ss);
