// Shared pieces of the data-file reader tests: a fresh engine with the
// fixture folder as the working directory, and a scratch folder.
#pragma once

#include <optional>
#include <string>

#include "engine/engine_reset.h"
#include "engine/run_state.h"
#include "network/input_state.h"
#include "network/line_reader.h"
#include "platform/tests/support/capture.h"
#include "platform/tests/support/run_program.h"
#include "platform/tests/support/unit_ops.h"

// A call that stops the run after printing exactly the given text.
#define EXPECT_STOPS(call, text)                         \
    do {                                                 \
        const Captured stop_ = capture([&] { call; });   \
        EXPECT_TRUE(stop_.aborted) << stop_.out;         \
        EXPECT_EQ(stop_.out, text);                      \
    } while (0)

inline std::string fixture_dir() { return std::string(ZARIK_SOURCE_DIR) + "/network/tests/fixtures"; }

class ReaderTest : public testing::Test {
protected:
    void SetUp() override {
        reset_all_engine_state();
        ASSERT_TRUE(fixtures_.ok);
    }
    void TearDown() override { reset_all_engine_state(); }

    // Opens a data file as the map file (unit 50).
    void open_map(const std::string& name) {
        INPUT.MAP_FILE_NAME.assign(name);
        INPUT.DATA_FILE_NAME.assign(name);
        OPENFILE();
    }
    // A folder of this test's own as the working directory.
    void use_scratch() {
        in_scratch_.reset();
        scratch_.emplace();
        ASSERT_TRUE(scratch_->ok());
        in_scratch_.emplace(scratch_->path);
    }
    // The given run of a start of the given mode, clock not yet read.
    static void start(const char* mode, int32_t run = 1) {
        RUN_SEQ.START_MODE = mode;
        RUN_SEQ.IRUN = run;
        RUN_SEQ.FIRST_RUN = LTRUE;
        RUN_CLOCK.DELT = RUN_CLOCK.PRINT_STEP = RUN_CLOCK.FINTIM = -1.0;
    }

    const ScopedChdir fixtures_{fixture_dir()};
    std::optional<TempDir> scratch_;
    std::optional<ScopedChdir> in_scratch_;
};
