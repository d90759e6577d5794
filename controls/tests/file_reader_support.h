// Runs of the file-reading blocks: files written into a folder of the
// test's own, and steps driven as the engine drives them, TIME = step*DELT
// from step 0.
#pragma once

#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "controls/tests/slot_discipline.h"
#include "engine/run_state.h"
#include "network/input_state.h"
#include "platform/tests/support/run_program.h"

class FileBlockTest : public ::testing::Test {
protected:
    void SetUp() override {
        fresh_stores();
        ASSERT_TRUE(dir.ok());
        RUN_CLOCK.DELT = 1.0 / 1024.0;
        RUN_SEQ.START_MODE = "DATA";
    }
    void TearDown() override { close_all_units(); }
    // Stores as a run from data finds them (also after a stop, which frees them).
    static void fresh_stores() {
        reset_block_stores();
        clear_block_stores();
    }
    void write(const std::string& name, const std::string& text) const { std::ofstream(dir.file(name)) << text; }
    // Steps first..last, the first a first step of the run (from data
    // unless snapshot), the last the run's last; what call returns per step.
    Captured steps(int first, int last, const std::function<std::vector<double>()>& call,
                   bool snapshot = false) {
        RUN_SEQ.START_MODE = snapshot ? "SNAP" : "DATA";
        return capture([&] {
            for (int n = first; n <= last; ++n) {
                begin_step(n);
                RUN_FLAGS.FIRST_STEP_RUN = as_logical(n == first);
                RUN_FLAGS.FIRST_STEP_DATA = as_logical(n == first && !snapshot);
                RUN_FLAGS.FINAL_STEP = as_logical(n == last);
                seen.push_back(call());
            }
        });
    }
    TempDir dir;
    ScopedChdir here{dir.path};
    std::vector<std::vector<double>> seen;
};

inline std::string stop_text(const std::string& text, const std::string& block) {
    return " ***ERROR** " + text + "\n" + abort_frame(block);
}
