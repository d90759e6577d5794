#include "models/sources/voltage_sources.h"

#include <bit>
#include <cmath>
#include <cstdint>
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

const Text12 kSingle("1PVSRC"), kThree("3PVSRC");

[[noreturn]] void record_error(int32_t p, const std::string& what) {
    USERMSG(0, 0, 2, 2, "The voltage source record at STORI(" + std::to_string(p) + ")");
    USERMSG(0, 0, 2, -1, what);
    ABORT_RUN("VSRC_EVAL", 0);
}

[[noreturn, gnu::noinline]] void outside(int32_t p, const char* array, int64_t first, int64_t last, int64_t size) {
    record_error(p, "refers to " + std::string(array) + " positions " + std::to_string(first) + " to " +
                        std::to_string(last) + " outside its " + std::to_string(size) + " entries.");
}

[[noreturn, gnu::noinline]] void no_branch(int32_t p, int32_t br, int32_t ss) {
    record_error(p, "names branch " + std::to_string(br) + " of subsystem " + std::to_string(ss) +
                        ", which does not exist.");
}

// Checked on every evaluation; the report is out of line.
inline void within(int32_t p, const char* array, int64_t first, int64_t last, int64_t size) {
    if (first >= 1 && last <= size) [[likely]]
        return;
    outside(p, array, first, last, size);
}

// sin(x), kept per record for its last angle: a pass that evaluates a
// source again at the same instant asks for the same angle.
double sine(int32_t p, double x) {
    struct Kept {
        uint64_t x = 0;
        double s = std::sin(0.0);
    };
    static Kept kept[16];
    Kept& k = kept[static_cast<uint32_t>(p) % 16];
    const uint64_t bits = std::bit_cast<uint64_t>(x);
    if (bits != k.x) {
        k.x = bits;
        k.s = std::sin(x);
    }
    return k.s;
}

// The record at p evaluated at the end of the step; the angle advances to
// instant t, the previous step's time plus one step (which can differ in
// the last bit from TIME).
void evaluate(int32_t p, double t) {
    StorageArrays& S = STORAGE;
    NetworkTables& N = NET;
    within(p, "STORI", p, int64_t{p} + 5, S.STORI.size());
    const int32_t* h = S.STORI.data() + (p - 1);  // h[k] = STORI(p + k)
    const int32_t l = h[1], f = h[2], ss = h[4], br = h[5];
    within(p, "STORL", l, l, S.STORL.size());
    within(p, "STORF", int64_t{f} + 1, int64_t{f} + 7, S.STORF.size());
    if (!N.EBR.in_range(br, ss)) [[unlikely]]
        no_branch(p, br, ss);
    // Every word is checked above: they are reached directly.
    double* F = S.STORF.data() + (f - 1);  // F[k] = STORF(f + k)
    double& ebr = N.EBR.data()[N.EBR.offset(br, ss)];
    const double time = RUN_CLOCK.TIME;
    double m = F[3];
    if (time < F[1]) m = F[3] * time * F[2];
    if (!is_true(S.STORL.data()[l - 1])) {
        ebr = m;
        return;
    }
    double theta = 0.0;
    if (!first_step()) {
        theta = F[7] + F[4] * (t - F[6]);
        F[6] = t;
    }
    if (theta > kTwoPi)
        theta -= kTwoPi;
    else if (theta < 0.0)
        theta += kTwoPi;
    F[7] = theta;
    ebr = m * sine(p, theta + F[5]);
}

// The record set up on the first step of a run from data, out of the
// common path.
[[gnu::noinline]] void set_up(const Text12& name, int32_t ss, int32_t br, double ramp, Logical ac) {
    StorageArrays& S = STORAGE;
    PointerBlock& P = POINTER_BLOCK;
    const int32_t p = P.NSTORI, l = P.NSTORL, f = P.NSTORF;
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

void phase_call(const Text12& name, int32_t ss, int32_t br, double ramp, Logical ac, double magnitude, double omega,
                double phase) {
    StorageArrays& S = STORAGE;
    PointerBlock& P = POINTER_BLOCK;
    if (first_step()) [[unlikely]]
        set_up(name, ss, br, ramp, ac);
    const int32_t p = P.NSTORI, l = P.NSTORL, f = P.NSTORF;
    P.NSTORL = l + 1;
    if (f + 3 >= 1 && int64_t{f} + 5 <= S.STORF.size()) [[likely]] {
        double* F = S.STORF.data() + (f - 1);  // F[k] = STORF(f + k)
        F[3] = magnitude;
        F[4] = omega;
        F[5] = phase;
    } else {
        S.STORF(f + 3) = magnitude;
        S.STORF(f + 4) = omega;
        S.STORF(f + 5) = phase;
    }
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
    phase_call(kSingle, ss, br, ramp, ac, magnitude, omega, phase);
}

void VSRC3P(int32_t ss, int32_t a, int32_t b, int32_t c, double ramp, Logical ac, double magnitude, double omega,
            double phase) {
    const Text12& name = kThree;
    if (first_step())
        for (int32_t br : {a, b, c}) CHKBRANCH(name, br, ss);
    phase_call(name, ss, a, ramp, ac, magnitude, omega, phase);
    phase_call(name, ss, b, ramp, ac, magnitude, omega, phase - kThird);
    phase_call(name, ss, c, ramp, ac, magnitude, omega, phase + kThird);
}

void VSRC_EVAL() { evaluate(NET.SRC_POS, NET.TIME_SOL + RUN_CLOCK.DELT); }
