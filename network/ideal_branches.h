// Ideal branches: zero-impedance branches, optionally with a series EMF,
// that the nodal solution takes as constraints between their two nodes.
#pragma once

#include <cstdint>

// Lowers the start node for triangularisation until no ideal branch joins
// a node below it to a node at or above it.
void IDLSTART(int32_t ss);
// During a triangularisation, before the elimination: replaces one node's
// equation of every ideal branch by the branch's constraint, merging the
// two nodes' current equations, and lists the ideal branches (IDLIST,
// NIDEALA, NIDEAL) for the right-hand side.
void IDLSRC(int32_t ss);
// Stops the run when the ideal branches form a loop that holds a voltage
// source.
void SCTEST(int32_t ss);
// The currents of the ideal branches from the current balance at their
// nodes. Branch >= 1: that branch's present current into current, nothing
// else changes; branch 0: CBR and CCBR of every ideal branch at the end of
// a pass of the given fraction.
void IDLCUR(int32_t ss, double fraction, int32_t branch, double& current, bool closing, bool resolving);
