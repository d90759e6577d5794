// Pulse, latch, crossing-direction, equivalence, flip-flop and signed
// exclusive-or logic over the zero-crossing detector.
#include <algorithm>

#include "controls/elementary/logic_blocks.h"
#include "controls/block_slots.h"
#include "controls/zero_cross.h"
#include "engine/run_state.h"
#include "engine/storage.h"
#include "platform/logical.h"
#include "platform/text_units.h"

namespace {

// The notice of an obsolete routine, as free-format lines on the console.
void obsolete(const char* routine, const char* instead) {
    write_list(UNIT_CONSOLE_OUT, {std::string("Obsolete Function: ") + routine});
    write_list(UNIT_CONSOLE_OUT, {std::string("  Use Subroutine ") + instead + " instead."});
}

// A crossing seen inside the step is dated at least a little before its end.
double crossing_time(double t) { return std::max(t, 1.0e-5 * RUN_CLOCK.DELT); }

}  // namespace

void ZARIK_SONON(double X, double REF, double T, int32_t enable, INTERP_PAIR& OUT) {
    const BlockSlots s = take_slots({.storf = 2});
    double& level = s.F(0);
    double& end = s.F(1);
    INTERP_PAIR d;
    ZERO_CROSS(X - REF, d);
    const int32_t dir = nint(d.value);
    double t = dir == 1 ? crossing_time(d.time) : d.time;
    if (enable == 0 || dir < 0 || first_step_data()) {
        t = 0.0;
    } else if (dir == 1) {
        level = 1.0;
        end = RUN_CLOCK.TIME + T + 1.0e-6 * RUN_CLOCK.DELT;
    }
    if (end < RUN_CLOCK.TIME) level = 0.0;
    OUT.value = level;
    OUT.time = t;
}

double SONON3(double X, double T, int32_t enable, double& TOUT) {
    INTERP_PAIR out;
    ZARIK_SONON(X, 0.0, T, enable, out);
    TOUT = out.time;
    obsolete("SONON3", "ZARIK_SONON");
    return out.value;
}

void ZARIK_BINON(double X1, double REF1, double X2, double REF2, int32_t enable, INTERP_PAIR& OUT) {
    double& level = take_slots({.storf = 1}).F(0);
    INTERP_PAIR on, off;
    ZERO_CROSS(X1 - REF1, on);
    ZERO_CROSS(X2 - REF2, off);
    double t = 0.0;
    if (enable == 0) {
        level = 0.0;
    } else if (nint(off.value) == 1) {
        level = 0.0;
        t = crossing_time(off.time);
    } else if (nint(on.value) == 1) {
        level = 1.0;
        t = crossing_time(on.time);
    }
    OUT.value = level;
    OUT.time = t;
}

double BINON3(double X1, double X2, int32_t enable, double& TOUT) {
    INTERP_PAIR out;
    ZARIK_BINON(X1, 0.0, X2, 0.0, enable, out);
    TOUT = out.time;
    obsolete("BINON3", "ZARIK_BINON");
    return out.value;
}

int32_t ZERO_CROSS_DIR(double X) {
    INTERP_PAIR d;
    ZERO_CROSS(X, d);
    return nint(d.value);
}

int32_t IZCD1(double X, double& TOUT) {
    INTERP_PAIR d;
    ZERO_CROSS(X, d);
    TOUT = d.time;
    obsolete("IZCD1", "ZARIK_ZCD");
    return nint(d.value);
}

int32_t LOGIC_EQV(int32_t A, int32_t B) { return ((A == 0 && B == 0) || (A >= 1 && B >= 1)) ? 1 : 0; }

// A stored state from a damaged store must not overflow the complement.
static int32_t complement(int32_t q) { return static_cast<int32_t>(1 - int64_t{q}); }

void SR_FLIPFLOP(int32_t S, int32_t R, int32_t PRE, int32_t CLR, int32_t CLK, int32_t& Q, int32_t& QN) {
    double& stored = take_slots({.stor = 1}).S(0);
    const int32_t before = nint(stored);
    Q = before;
    QN = complement(Q);
    INTERP_PAIR clock;
    ZERO_CROSS(CLK - 0.5, clock);
    if (nint(clock.value) >= 1) {
        if (S >= 1 && R < 1) Q = 1;
        else if (S < 1 && R >= 1) Q = 0;
    }
    if (PRE >= 1 && CLR < 1) Q = 1;
    else if (CLR >= 1 && PRE < 1) Q = 0;
    // Both asynchronous inputs set: the state of the step before stands.
    if (int64_t{PRE} * CLR >= 1) Q = before;
    QN = complement(Q);
    stored = Q;
}

void XOR_ZC(double A, double B, double& OUT) {
    double& sign = take_slots({.stor = 1}).S(0);
    const int32_t a = A > 0.0 ? 1 : 0, b = B > 0.0 ? 1 : 0;
    const int32_t x = std::min((1 - b) * a + (1 - a) * b, 1);
    INTERP_PAIR da, dx;
    ZERO_CROSS(a - 0.5, da);
    ZERO_CROSS(x - 0.5, dx);
    if (nint(dx.value) > 0) sign = nint(da.value) != 0 ? 1.0 : -1.0;
    OUT = x * sign;
}
