// The case run as the run loop runs it, without the console capture of the
// tests: shared by the case tests and the case benchmark.
#pragma once

#include <functional>

#include "case/station.h"
#include "engine/pointer_checks.h"
#include "engine/run_state.h"
#include "engine/time_step.h"

// The begin passes of a first run from data.
inline void case_begin_passes() {
    RUN_FLAGS.FIRST_STEP_RUN = RUN_FLAGS.FIRST_STEP_DATA = LTRUE;
    RESETPTRS();
    Station_DSD_BEGIN();
    RESETPTRS_OUT();
    Station_DSO_BEGIN();
    CHKNRTC();
}

// Steps 0 to last; each(n), if given, after step n.
inline void case_steps(int32_t last, const std::function<void(int32_t)>& each = {}) {
    RunClock& c = RUN_CLOCK;
    RunFlags& f = RUN_FLAGS;
    for (c.NSTEP = 0; c.NSTEP <= last; ++c.NSTEP) {
        c.TIME = c.NSTEP * c.DELT;
        c.PREV_TIME = (c.NSTEP - 1) * c.DELT;
        TIMESTEP();
        f.FIRST_STEP_RUN = f.FIRST_STEP_DATA = LFALSE;
        if (each) each(c.NSTEP);
    }
}
