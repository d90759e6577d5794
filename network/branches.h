// The "BRANCHES:" section: one series R-L-C-E branch per data line,
//
//     node1 node2 TYPE value value ...
//
// with page-local nodes (0 is ground) and a type word of letters that take
// their values in order: R ohms, L henries, C microfarads, E volts (the
// series source, raising node2 above node1), i amperes (initial current,
// node1 to node2), v (read and not kept); S a switched branch, D a branch
// whose current a model injects (also switched), A an ideal branch (the
// letters after it are not looked at). At most ten letters and ten values.
//
// The reader numbers the branches of each subsystem in reading order,
// fills the branch tables with the companion values of the trapezoidal
// rule, enters the conductance of every branch that is neither switched
// nor ideal into GM once, and lists the switched branches in SWLIST.
// A branch whose R, L or C a model changes during the run must therefore
// be a switched branch (letter S): the matrix takes the conductance of the
// other branches only from this section.
//
// A branch with an inductor and no capacitor that is given an initial
// current starts with that current flowing steadily: its inductor history
// is the current, the voltage across the inductor is 0, and the branch's
// history injection is in place for the first solution.
#pragma once

#include <cstdint>

#include "platform/fixed_text.h"

using Text255 = FText<255>;

// Reads one "BRANCHES:" section of the page at the given node offset.
void RDBRS(int32_t node_offset);
// Parses one branch record (its type word is blanked in place) into the
// tables of branch br of subsystem ss; returns the nodes and the values
// of the letters (C in microfarads as read, 0.0 for an absent letter).
void BRPARM(Text255& record, int32_t ss, int32_t br, int32_t& node1, int32_t& node2, double& r, double& l,
            double& c, double& e, double& i, double& v);
// Drops the resistance of branch br of subsystem ss, at or below the
// subsystem's ideal-branch limit, with its console box: a branch with an
// inductor or capacitor keeps them, any other becomes ideal.
void drop_small_resistance(int32_t br, int32_t ss);
