#include "models/sources/current_sources.h"

#include <cmath>

#include "engine/model_helpers.h"
#include "engine/pointer_block.h"
#include "engine/run_state.h"
#include "engine/storage.h"
#include "models/branch_changes.h"
#include "network/network_tables.h"
#include "network/switch_state.h"
#include "network/varbranch.h"

namespace {

constexpr double kTwoPi = 6.283185307179586;

bool first_step() { return is_true(RUN_FLAGS.FIRST_STEP_DATA); }

void make_injection(const Text12& name, int32_t br, int32_t ss) {
    CHKBRANCH(name, br, ss);
    NET.DEFRDBR(br, ss) = LTRUE;
    NET.GEQ(br, ss) = 0.0;
    WARN_UNSWITCHED(ss, br);
    BRCHANGE_RETYPED(name, ss, br);
}

}  // namespace

void ISRC_BRANCH(int32_t br, int32_t ss) { make_injection("ISRC_BRANCH", br, ss); }

void ISRC_AC_INIT(int32_t type, double magnitude, double frequency, double phase, double ramp) {
    PointerBlock& P = POINTER_BLOCK;
    FArray1<double>& C = STORAGE.RTCF;
    const int32_t r = P.NRTCF;
    C(r) = magnitude;
    const bool ramped = ramp > 1e-20;
    C(r + 1) = ramped ? ramp : 0.0;
    C(r + 2) = ramped ? magnitude / ramp : magnitude;
    C(r + 3) = type == 1 ? kTwoPi * frequency : 0.0;
    C(r + 4) = type == 1 ? 0.017453292519943 * phase : 1.570796326794896;
    STORAGE.RTCI(P.NRTCI) = type;
    P.NRTCI += 1;
    P.NRTCF = r + 5;
}

void ISRC_AC(int32_t br, int32_t ss) {
    PointerBlock& P = POINTER_BLOCK;
    const FArray1<double>& C = STORAGE.RTCF;
    FArray1<double>& F = STORAGE.STORF;
    const int32_t r = P.NRTCF, f = P.NSTORF;
    const int32_t type = STORAGE.RTCI(P.NRTCI);
    const double delt = RUN_CLOCK.DELT, time = RUN_CLOCK.TIME, omega = C(r + 3);
    double previous = F(f);
    if (first_step()) {
        make_injection("ISRC_AC", br, ss);
        previous = C(r + 4) - omega * delt;
    }
    const double magnitude = time >= C(r + 1) ? C(r) : C(r + 2) * time;
    double value = magnitude;
    if (type == 1) {
        double theta = previous + omega * delt;
        if (theta > kTwoPi) theta -= kTwoPi;
        F(f) = theta;
        value = magnitude * std::sin(theta);
    }
    NET.CCBR(br, ss) = value;
    if (first_step()) NET.CCBRD(br, ss) = value;
    P.NRTCI += 1;
    P.NRTCF = r + 5;
    P.NSTORF = f + 1;
}

void ISRC_NORTON(int32_t br, int32_t ss, double conductance, double current) {
    NetworkTables& N = NET;
    if (first_step()) {
        CHKBRANCH("ISRC_NORTON", br, ss);
        WARN_UNSWITCHED(ss, br);
    }
    N.CCBR(br, ss) = current;
    if (std::fabs(conductance - N.GEQ(br, ss)) > 1e-32) {
        N.GEQ(br, ss) = conductance;
        SS_MINREQ(ss, N.IEF(br, ss), N.IET(br, ss));
    }
}
