#include "models/breakers/spark_gap.h"

#include <climits>
#include <cmath>

#include "controls/branch_voltage.h"
#include "controls/random_numbers.h"
#include "engine/abort.h"
#include "engine/model_helpers.h"
#include "engine/pointer_block.h"
#include "engine/run_state.h"
#include "engine/storage.h"
#include "network/network_tables.h"
#include "network/switch_state.h"

namespace {

constexpr int32_t kRest = 6, kWaitsForBreakdown = 4, kWaitsForZero = 2;

}  // namespace

void SPARKGAP(int32_t ss, int32_t br, double ron, double roff, double breakdown) {
    const Text12 name("SPARKGAP");
    NetworkTables& N = NET;
    PointerBlock& P = POINTER_BLOCK;
    if (is_true(RUN_FLAGS.FIRST_STEP_DATA)) CHK_SWITCH_R(ss, br, ron, roff, 0.0, 0.0, name);
    if (!N.OPENBR.in_range(std::abs(int64_t{br}), ss)) CHKBRANCH(name, br, ss);
    const int32_t b = std::abs(br), f = P.NSTORF;
    const double level = std::fabs(breakdown);
    const double i = N.CBR(b, ss), before = STORAGE.STORF(f);
    const bool interpolating = is_true(N.SSINTERP(ss));
    N.TSWITCH(b, ss) = 1.5;
    N.BRANCH_R(b, ss) = roff;
    if (is_true(N.OPENBR(b, ss))) {
        if (interpolating) {
            N.IORV(b, ss) = kWaitsForBreakdown;
            N.SWVAL(b, ss) = level;
        } else if (std::fabs(BRANCH_VOLTAGE(ss, b)) > level) {
            BRANCH_ON(ss, b, kRest, 0.0);
        }
    } else if (interpolating) {
        N.IORV(b, ss) = kWaitsForZero;
        N.SWVAL(b, ss) = 0.0;
    } else if (i * before <= 0.0) {
        BRANCH_OFF(ss, b, kRest, 0.0);
    }
    STORAGE.STORF(f) = i;
    P.NSTORF = f + 1;
}

void STATBRK(double minimum, double maximum, double deviations) {
    bool failed = false;
    const auto report = [&](const char* text) {
        USERMSG(CURRENT_IDS.id1, CURRENT_IDS.id2, 2, 1, text);
        failed = true;
    };
    if (maximum <= minimum) report("Maximum delay should be more than the minimum delay");
    if (maximum <= 0.0) report("Unrealistic delay times");
    if (deviations <= 0.0) report("Unrealistic number of standard deviations");
    if (failed) ABORT_RUN("STATBRK     ", 0);
    PointerBlock& P = POINTER_BLOCK;
    FArray1<double>& C = STORAGE.RTCF;
    C(P.NRTCF) = minimum;
    C(P.NRTCF + 1) = maximum;
    C(P.NRTCF + 2) = deviations;
    P.NRTCF += 3;
}

void STATBRK_DELAY(int32_t seed, int32_t command, int32_t& a, int32_t& b, int32_t& c) {
    StorageArrays& S = STORAGE;
    PointerBlock& P = POINTER_BLOCK;
    const int32_t r = P.NRTCF, i = P.NSTORI, f = P.NSTORF;
    const double minimum = S.RTCF(r), maximum = S.RTCF(r + 1), deviations = S.RTCF(r + 2);
    P.NRTCF = r + 3;
    if (is_true(RUN_FLAGS.FIRST_STEP_DATA))
        for (int k = 0; k < 4; ++k) S.STORI(i + k) = command;
    if (is_true(RUN_FLAGS.FIRST_STEP_RUN)) {
        int32_t s = seed;
        if (s == 0) RNDSEED(s);
        // The one negative number without a magnitude starts from 1.
        if (s < 0) s = s == INT32_MIN ? 1 : -s;
        S.STORI(i + 4) = s;
        S.STORI(i + 5) = s;
    }
    int32_t pole[3] = {S.STORI(i + 1), S.STORI(i + 2), S.STORI(i + 3)};
    int32_t drawn = S.STORI(i + 4);
    const double time = RUN_CLOCK.TIME;
    if (command == 0) {
        // Any non-zero command before is a close command that has fallen.
        if (S.STORI(i) != 0) {
            for (int k = 0; k < 3; ++k) {
                double delay = 0.0;
                RNDVAL(drawn, 1, minimum, maximum, deviations, delay);
                S.STORF(f + k) = time + delay;
                pole[k] = 1;
            }
        }
        for (int k = 0; k < 3; ++k)
            if (pole[k] == 1 && S.STORF(f + k) <= time) pole[k] = 0;
    } else {
        pole[0] = pole[1] = pole[2] = 1;
    }
    S.STORI(i) = command;
    for (int k = 0; k < 3; ++k) S.STORI(i + 1 + k) = pole[k];
    S.STORI(i + 4) = drawn;
    a = pole[0];
    b = pole[1];
    c = pole[2];
    P.NSTORI = i + 6;
    P.NSTORF = f + 3;
}
