// The core's branch fluxes for the case's output, and the ramps that
// switch a transformer's saturation on or off over half a cycle.
#include <algorithm>
#include <cmath>

#include "engine/abort.h"
#include "engine/pointer_block.h"
#include "engine/run_state.h"
#include "engine/storage.h"
#include "models/transformers/companion_matrices.h"
#include "models/transformers/transformers.h"
#include "models/xfmr_tables.h"
#include "platform/logical.h"
#include "platform/text_units.h"

namespace {

// The factor of a ramp that started at start and ends at end, rising for
// state 1 and falling otherwise; and its switch.
void set_ramp(int32_t k, int32_t state, double start, double end, double rate) {
    XfmrTables& X = XFMR_TABLES;
    const double t = RUN_CLOCK.TIME;
    if (state == 1)
        X.XF_RAMP(k) = end <= t ? 1.0 : rate * (t - start);
    else
        X.XF_RAMP(k) = end <= t ? 0.0 : 1.0 - rate * (t - start);
    X.XF_RAMPON(k) = X.XF_RAMP(k) >= 1e-10 ? 1 : 0;
}

const Text12 kOut("XFMR_OUT");

}  // namespace

void XFMR_OUT(int32_t& k) {
    xfmr_check_number(kOut, k);
    PointerBlock& pb = POINTER_BLOCK;
    StorageArrays& s = STORAGE;
    FArray2<double>& flux = XFMR_TABLES.XF_BFLUX;
    // The 19 words reserved are all a core may fill here.
    const int32_t n = std::min(XFMR_TABLES.XF_NBR(k), 19);
    const int32_t e = pb.NEXC;
    if (n > 0 && e >= 0 && int64_t{e} + n <= s.STOR.size() && n <= flux.extent(1) && k <= flux.extent(2)) {
        std::copy_n(flux.data() + flux.extent(1) * (k - 1), n, s.STOR.data() + e);
    } else {
        for (int32_t i = 1; i <= n; ++i) s.STOR(e + i) = flux(i, k);
    }
    pb.NEXC += 19;
}

void XFMR_RAMP(int32_t& state, int32_t& k, double& f) {
    xfmr_check_number("XFMR_RAMP", k);
    PointerBlock& pb = POINTER_BLOCK;
    StorageArrays& s = STORAGE;
    const int32_t e = pb.NEXC;
    const double t = RUN_CLOCK.TIME;
    const bool first = is_true(RUN_FLAGS.FIRST_STEP_DATA);
    if (first) s.STOR(e + 1) = s.STOR(e + 5) = 0.0;
    if (nint(s.STOR(e + 1)) != state) {
        s.STOR(e + 2) = t;
        s.STOR(e + 3) = s.STOR(e + 5) + t;
    }
    if (first) {
        if (f >= 0.01) {
            s.STOR(e + 4) = 2.0 * f;
            s.STOR(e + 5) = 0.5 / f;
        } else {
            write_list(UNIT_CONSOLE_OUT, {"Warning: Trafo ", k, " frequency is 0 or negative"});
            s.STOR(e + 4) = 100.0;
            s.STOR(e + 5) = 0.01;
        }
    }
    s.STOR(e + 1) = state;
    set_ramp(k, state, s.STOR(e + 2), s.STOR(e + 3), s.STOR(e + 4));
    pb.NEXC += 5;
}

void XFMR_RAMPSET(double& f) {
    PointerBlock& pb = POINTER_BLOCK;
    StorageArrays& s = STORAGE;
    if (f >= 0.01) {
        s.RTCF(pb.NRTCF) = f * 2.0;
        s.RTCF(pb.NRTCF + 1) = 0.5 / f;
    } else {
        USERWARN(CURRENT_IDS.id1, CURRENT_IDS.id2, 1, "Frequency is 0 or negative, assuming 60Hz");
        s.RTCF(pb.NRTCF) = 120.0;
        s.RTCF(pb.NRTCF + 1) = 0.008333333333333333;
    }
    pb.NRTCF += 2;
}

void XFMR_RAMPRUN(int32_t& state, int32_t& k) {
    xfmr_check_number("XFMR_RAMPRUN", k);
    PointerBlock& pb = POINTER_BLOCK;
    StorageArrays& s = STORAGE;
    const double t = RUN_CLOCK.TIME;
    if (state != s.STORI(pb.NSTORI)) {
        s.STORF(pb.NSTORF) = t;
        s.STORF(pb.NSTORF + 1) = t + s.RTCF(pb.NRTCF + 1);
    }
    s.STORI(pb.NSTORI) = state;
    set_ramp(k, state, s.STORF(pb.NSTORF), s.STORF(pb.NSTORF + 1), s.RTCF(pb.NRTCF));
    pb.NRTCF += 2;
    pb.NSTORI += 1;
    pb.NSTORF += 2;
}
