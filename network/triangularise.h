// Factorisation of a subsystem's conductance matrix from its start node
// MXINV on, over the sparsity lists.
#pragma once

#include <cstdint>
#include <vector>

// The factors of one subsystem, packed in the order of its sparsity lists
// (position p of LOWCOL or UPCOL holds the factor of that entry) so that
// the substitution reads them in sequence. GMTRI holds the same values.
struct SubsystemFactors {
    int32_t n = 0;                 // node count the lists were built for; 0: none
    std::vector<double> low, up;   // by list position (1-based)
    std::vector<double> diag;      // reciprocal pivots, by node (1-based)
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
