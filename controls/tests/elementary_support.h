// Running blocks step by step as the engine does: a begin pass for the
// set-up routines, then steps with TIME = (step - 1) * DELT, the pointers
// reset before each pass, FIRST_STEP_DATA on the first step and the
// pointer checks after each.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "controls/tests/slot_discipline.h"
#include "engine/pointer_checks.h"
#include "engine/run_state.h"
#include "engine/time_step.h"

struct ModuleRun {
    Captured console;
    std::vector<double> out;  // what the step routine returned, step by step
};

inline ModuleRun run_module(int steps, const std::function<void()>& begin,
                            const std::function<double(int step)>& step) {
    ModuleRun r;
    // Cleared stores and fresh pointer references, as at the start of a run.
    clear_block_stores();
    POINTER_CHECKS = {};
    r.console = capture([&] {
        RESETPTRS();
        if (begin) begin();
        const int32_t after_begin = POINTER_BLOCK.NRTCF + POINTER_BLOCK.NRTCI + POINTER_BLOCK.NRTCL;
        for (int k = 1; k <= steps; ++k) {
            RUN_CLOCK.NSTEP = k - 1;
            RUN_CLOCK.TIME = (k - 1) * RUN_CLOCK.DELT;
            set_first_step(k == 1);
            RESETPTRS();
            r.out.push_back(step(k));
            CHKNEXC();
            CHKNRTC();
            // The run parts read as many constants as the set-ups wrote.
            EXPECT_EQ(POINTER_BLOCK.NRTCF + POINTER_BLOCK.NRTCI + POINTER_BLOCK.NRTCL, after_begin);
        }
    });
    return r;
}

// One block's outputs over the steps, without a begin pass.
inline std::vector<double> outputs(int steps, const std::function<double(int step)>& step) {
    ModuleRun r = run_module(steps, nullptr, step);
    EXPECT_FALSE(r.console.aborted) << r.console.out;
    return r.out;
}

// The console text and abort of a call that should stop the run.
inline Captured stopped(const std::function<void()>& f) { return capture(f); }

// The USERMSG error line and the abort frame of a block's data error.
inline std::string data_error_text(const std::string& text, const std::string& routine) {
    return " ***ERROR** " + text + "\n" + abort_frame(routine);
}
