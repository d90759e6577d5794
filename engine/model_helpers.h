// Small routines that component models, control blocks and case modules
// call: number checks that stop the run under the caller's name, node and
// branch accessors with node 0 as ground, the setter of the speaking
// component, and number and text conversions.
#pragma once

#include <complex>
#include <cstdint>

#include "engine/run_state.h"
#include "network/network_tables.h"
#include "platform/fixed_text.h"
#include "platform/logical.h"

// Checks: each returns, or prints why and ends the run under name.
void CHKSS(const Text12& name, int32_t ss);
void CHKNODE(const Text12& name, int32_t node, int32_t ss);
void CHKBRANCH(const Text12& name, int32_t branch, int32_t ss);
void CHKSWITCH(const Text12& name, int32_t branch, int32_t ss);
// A model routine that no longer exists.
[[noreturn]] void DISCONTINUED(const Text12& name);

// Solution vector of the subsystem being solved, and node voltages; inline,
// as models call them many times a step.
inline double VECVAL(int32_t n) { return n == 0 ? 0.0 : NET.VSOL(n); }
inline double VECDIFF(int32_t a, int32_t b) { return VECVAL(a) - VECVAL(b); }
// A node inside the table is read at once; the ground and a node outside
// it only then tested.
inline double NODEV(int32_t ss, int32_t n) {
    const FArray2<double>& v = NET.VNODE;
    if (v.in_range(n, ss)) [[likely]]
        return v.data()[v.offset(n, ss)];
    return n == 0 ? 0.0 : NET.VNODE(n, ss);
}
inline double NODEVDIFF(int32_t ss, int32_t a, int32_t b) { return NODEV(ss, a) - NODEV(ss, b); }
// Current of a branch at the end of the present pass of the solution.
double BRVALUE(int32_t ss, int32_t branch, double reached, bool opening, bool resolving);
// Current of the branch from node nb to node na (older models); na = nb
// means the branch from nb to ground.
double CDC(int32_t na, int32_t nb, int32_t ss);

// The component now speaking, when both numbers are above 0.
inline void SETIDS(int32_t id1, int32_t id2) {
    if (id1 > 0 && id2 > 0) CURRENT_IDS = {id1, id2};
}

int32_t LBIT(int32_t v);
Logical ILOGICAL(int32_t i);
Logical RLOGICAL(double x);
// v widened to 32 bits; with flag true a negative v loses its sign bit.
int32_t STRIP_SIGN16(int16_t v, Logical flag);
void REAL2CMPLX(std::complex<double>& c, double x);

// Polar and rectangular forms, angles in degrees.
double POL_RE(double a, double b);
double POL_IM(double a, double b);
double RECT_MAG(double x, double y);
double RECT_ANG(double x, double y);

// i as text moved to the left; with leading zeros up to width.
Text72 INT2TXT(int32_t i);
Text72 INT2TXTZ(int32_t width, int32_t i);
Text72 BLANK72();
