#include "models/sources/voltage_sources.h"

#include <cmath>
#include <string>

#include "engine/abort.h"
#include "engine/model_helpers.h"
#include "engine/pointer_block.h"
#include "engine/run_state.h"
#include "engine/storage.h"
#include "network/network_tables.h"

namespace {

constexpr double kTwoPi = 6.283185307179586;
constexpr double kThird = 2.094395102393195;

bool first_step() { return is_true(RUN_FLAGS.FIRST_STEP_DATA); }

[[noreturn]] void record_error(int32_t p, const std::string& what) {
    USERMSG(0, 0, 2, 2, "The voltage source record at STORI(" + std::to_string(p) + ")");
    USERMSG(0, 0, 2, -1, what);
    ABORT_RUN("VSRC_EVAL", 0);
}

void within(int32_t p, const char* array, int64_t first, int64_t last, int64_t size) {
    if (first >= 1 && last <= size) return;
    record_error(p, "refers to " + std::string(array) + " positions " + std::to_string(first) + " to " +
                        std::to_string(last) + " outside its " + std::to_string(size) + " entries.");
}

// The record at p evaluated at the end of the step; the angle advances to
// instant t, the previous step's time plus one step (which can differ in
// the last bit from TIME).
void evaluate(int32_t p, double t) {
    StorageArrays& S = STORAGE;
    NetworkTables& N = NET;
    within(p, "STORI", p, int64_t{p} + 5, S.STORI.size());
    const int32_t l = S.STORI(p + 1), f = S.STORI(p + 2), ss = S.STORI(p + 4), br = S.STORI(p + 5);
    within(p, "STORL", l, l, S.STORL.size());
    within(p, "STORF", int64_t{f} + 1, int64_t{f} + 7, S.STORF.size());
    if (!N.EBR.in_range(br, ss))
        record_error(p, "names branch " + std::to_string(br) + " of subsystem " + std::to_string(ss) +
                            ", which does not exist.");
    FArray1<double>& F = S.STORF;
    const double time = RUN_CLOCK.TIME;
    double m = F(f + 3);
    if (time < F(f + 1)) m = F(f + 3) * time * F(f + 2);
    if (!is_true(S.STORL(l))) {
        N.EBR(br, ss) = m;
        return;
    }
    double theta = 0.0;
    if (!first_step()) {
        theta = F(f + 7) + F(f + 4) * (t - F(f + 6));
        F(f + 6) = t;
    }
    if (theta > kTwoPi)
        theta -= kTwoPi;
    else if (theta < 0.0)
        theta += kTwoPi;
    F(f + 7) = theta;
    N.EBR(br, ss) = m * std::sin(theta + F(f + 5));
}

void phase_call(const Text12& name, int32_t ss, int32_t br, double ramp, Logical ac, double magnitude, double omega,
                double phase) {
    StorageArrays& S = STORAGE;
    PointerBlock& P = POINTER_BLOCK;
    const int32_t p = P.NSTORI, l = P.NSTORL, f = P.NSTORF;
    if (first_step()) {
        CHK_SOURCE_BRANCH(name, br, ss);
        P.saved_stori = p;
        NET.THISBR(br, ss) = p;
        const int32_t header[] = {is_true(ac) ? VSRC_AC_KIND : 0, l, f, P.NSTORC, ss, br};
        for (int k = 0; k < 6; ++k) S.STORI(p + k) = header[k];
        S.STORF(f + 1) = ramp;
        S.STORF(f + 2) = RUN_CLOCK.DELT < ramp ? 1.0 / ramp : 0.0;
        S.STORF(f + 6) = 0.0;
        S.STORL(l) = ac;
    }
    P.NSTORL = l + 1;
    S.STORF(f + 3) = magnitude;
    S.STORF(f + 4) = omega;
    S.STORF(f + 5) = phase;
    P.NSTORF = f + 8;
    P.saved_stori = p;
    P.NSTORI = p + 6;
    evaluate(p, RUN_CLOCK.PREV_TIME + RUN_CLOCK.DELT);
}

}  // namespace

void CHK_SOURCE_BRANCH(const Text12& name, int32_t br, int32_t ss) {
    CHKBRANCH(name, br, ss);
    if (is_true(NET.SOURCE(br, ss))) return;
    USERMSG(CURRENT_IDS.id1, CURRENT_IDS.id2, 2, 2,
            "Branch " + std::to_string(br) + " of subsystem " + std::to_string(ss) +
                " has no series source (letter E):");
    USERMSG(CURRENT_IDS.id1, CURRENT_IDS.id2, 2, -1, "the network solution would never see its source voltage.");
    ABORT_RUN(name, 0);
}

void VSRC1P(int32_t ss, int32_t br, double ramp, Logical ac, double magnitude, double omega, double phase) {
    phase_call("1PVSRC", ss, br, ramp, ac, magnitude, omega, phase);
}

void VSRC3P(int32_t ss, int32_t a, int32_t b, int32_t c, double ramp, Logical ac, double magnitude, double omega,
            double phase) {
    const Text12 name("3PVSRC");
    if (first_step())
        for (int32_t br : {a, b, c}) CHKBRANCH(name, br, ss);
    phase_call(name, ss, a, ramp, ac, magnitude, omega, phase);
    phase_call(name, ss, b, ramp, ac, magnitude, omega, phase - kThird);
    phase_call(name, ss, c, ramp, ac, magnitude, omega, phase + kThird);
}

void VSRC_EVAL() { evaluate(NET.SRC_POS, NET.TIME_SOL + RUN_CLOCK.DELT); }
