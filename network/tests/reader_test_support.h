// Shared pieces of the data-file reader tests: a clean engine state, the
// fixture folder as the working directory, and console capture around a
// call that may stop the run.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include "engine/engine_reset.h"
#include "engine/engine_stop.h"
#include "controls/meter_tables.h"
#include "engine/pointer_checks.h"
#include "lines/line_tables.h"
#include "models/xfmr_tables.h"
#include "network/input_state.h"
#include "network/line_reader.h"
#include "platform/text_units.h"

struct Captured {
    std::string out;
    bool aborted = false;
};

// Runs f with standard output captured; a stopped run is noted, not thrown.
inline Captured capture(const std::function<void()>& f) {
    Captured c;
    console_flush();
    testing::internal::CaptureStdout();
    try {
        f();
    } catch (const StandaloneAbort&) {
        c.aborted = true;
    }
    console_flush();
    c.out = testing::internal::GetCapturedStdout();
    return c;
}

inline std::string fixture_dir() { return std::string(ZARIK_SOURCE_DIR) + "/network/tests/fixtures"; }

// The abort frame that ABORT_RUN prints for a routine in mode 0.
inline std::string abort_frame(const std::string& routine) {
    std::string name = routine;
    name.resize(12, ' ');
    return " =========================================================\n"
           " ERROR: Abnormal termination of ZARIK by " + name + "\n"
           " =========================================================\n"
           " \n";
}

// The engine state, including the tables beside the storage arrays.
inline void reset_engine() {
    reset_all_engine_state();
    XFMR_TABLES = {};
    LINE_TABLES = {};
    METER_TABLES = {};
    POINTER_CHECKS = {};
}

// Every test starts from a fresh engine in a folder of its own choosing.
class ReaderTest : public testing::Test {
protected:
    void SetUp() override {
        reset_engine();
        char here[PATH_MAX];
        ASSERT_NE(getcwd(here, sizeof here), nullptr);
        home_ = here;
        ASSERT_EQ(chdir(fixture_dir().c_str()), 0);
    }
    void TearDown() override {
        reset_engine();
        EXPECT_EQ(chdir(home_.c_str()), 0);
        if (scratch_.rfind("/tmp/zarik-reader-", 0) == 0) std::filesystem::remove_all(scratch_);
    }

    // Opens a data file as the map file (unit 50).
    void open_map(const std::string& name) {
        INPUT.MAP_FILE_NAME.assign(name);
        INPUT.DATA_FILE_NAME.assign(name);
        OPENFILE();
    }

    // A folder of this test's own for files it writes; becomes the
    // working directory.
    void use_scratch() {
        char tmpl[] = "/tmp/zarik-reader-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        scratch_ = tmpl;
        ASSERT_EQ(chdir(scratch_.c_str()), 0);
    }
    void write_file(const std::string& name, const std::string& text) { std::ofstream(name) << text; }

    std::string home_;
    std::string scratch_;
};
