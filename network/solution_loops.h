// The per-step loops of the network solution that walk whole node or
// branch columns. They are compiled for vectors (see CMakeLists.txt) and
// each also for processors with AVX2, chosen at run time; both forms do
// the same operations on every element, so their results are the same to
// the bit.
#pragma once

#include <cstdint>

// dst := src over n entries, bit for bit; blocks that already hold the
// same bits are only read, so an array that rarely changes costs no writes.
void copy_changed(const double* src, double* dst, int64_t n);

// A whole step's node voltages taken from the solution v into vnode and x
// (n entries each), each node's chatter counter moved on from its voltage
// before; whether some counter reached chatter.
bool take_counted_nodes(int64_t n, const double* v, double* vnode, double* x, int32_t* counter, double level);

// n chatter counters moved on from the values x to the values y; whether
// some counter reached chatter.
bool count_chatter(int64_t n, const double* x, const double* y, int32_t* counter, double level);

// A detecting pass's branch currents cbrt (n entries) taken: each
// branch's chatter counter moves on from its current before, in cbr; every
// branch whose kind byte has none of the skip bits then takes its current,
// at the fraction when partial. Whether some counter reached chatter.
bool take_counted_branches(int64_t n, const double* cbrt, double* cbr, int32_t* counter, const uint8_t* kind,
                           uint8_t skip, bool partial, double fraction, double level);

// The node part of a pass's right-hand side, n entries: cinj = the line
// injection at the pass's point less the history injection hist. The line
// injection is tld (opening), tld moved by reached towards tl (resolving),
// or tl moved on by reached beyond it (otherwise).
void rhs_nodes(int64_t n, const double* tl, const double* tld, const double* hist, double* cinj, double reached,
               bool resolving, bool opening);

// A partial pass's node voltages, n entries: x takes the solution v,
// vnode moves by fraction towards it.
void move_nodes(int64_t n, const double* v, double* vnode, double* x, double fraction);

// values := before + fraction (values - before) over n entries.
void draw_back(int64_t n, double* values, const double* before, double fraction);

// histd := hist and hist := 0 over n entries.
void restart_history(int64_t n, double* hist, double* histd);

// Tests may run the plain forms on any processor.
void use_vector_forms(bool on);
// The widest forms the loops over whole branch columns take: 0 plain,
// 1 AVX2, 2 AVX-512; at most what the processor has. Tests may ask for less.
void use_vector_width(int width);
extern int solution_loops_width;
inline int vector_width_in_use() { return solution_loops_width; }
// Whether the AVX2 forms run.
inline bool vector_forms_in_use() { return solution_loops_width >= 1; }
