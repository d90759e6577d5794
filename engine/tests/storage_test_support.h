// Shared pieces of the storage and pointer-check tests: a clean engine,
// console capture around calls that may stop the run, and the head of a
// case read from a fixture map file.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <climits>
#include <functional>
#include <string>

#include "controls/meter_tables.h"
#include "engine/engine_reset.h"
#include "engine/engine_stop.h"
#include "engine/pointer_checks.h"
#include "engine/run_state.h"
#include "engine/storage.h"
#include "engine/tests/recording_case.h"
#include "lines/line_tables.h"
#include "models/xfmr_tables.h"
#include "network/dimensions.h"
#include "network/input_state.h"
#include "network/line_reader.h"
#include "network/parameters.h"
#include "platform/text_units.h"

struct StorageCaptured {
    std::string out;
    bool aborted = false;
};

inline StorageCaptured capture_run(const std::function<void()>& f) {
    StorageCaptured c;
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

inline void reset_storage_engine() {
    reset_all_engine_state();
    XFMR_TABLES = {};
    LINE_TABLES = {};
    METER_TABLES = {};
    POINTER_CHECKS = {};
    RECORDING_CASE.reset();
}

inline std::string storage_abort_frame(const std::string& routine) {
    std::string name = routine;
    name.resize(12, ' ');
    return " =========================================================\n"
           " ERROR: Abnormal termination of ZARIK by " + name + "\n"
           " =========================================================\n"
           " \n";
}

class StorageTest : public testing::Test {
protected:
    void SetUp() override { reset_storage_engine(); }
    void TearDown() override { reset_storage_engine(); }

    // Creates the storage from requirements set directly.
    void allocate(std::initializer_list<std::pair<int, int32_t>> req) {
        for (const auto& [k, v] : req) DIMBLOCK.REQ[k] = v;
        DIMBLOCK.NSUBSYS = DIMBLOCK.REQ[ND_SUBSYS];
        int32_t status = -1;
        ALLOC_STORAGE(status);
        ASSERT_EQ(status, 0);
    }

    // Reads the head of a fixture case as a run started from data does,
    // and leaves no file open.
    void read_case_head(const std::string& file, int32_t run = 1) {
        char here[PATH_MAX];
        ASSERT_NE(getcwd(here, sizeof here), nullptr);
        const std::string home = here;
        ASSERT_EQ(chdir((std::string(ZARIK_SOURCE_DIR) + "/engine/tests/fixtures").c_str()), 0);
        RUN_SEQ.START_MODE = "DATA";
        RUN_SEQ.IRUN = run;
        RUN_SEQ.FIRST_RUN = LTRUE;
        RUN_CLOCK.DELT = RUN_CLOCK.PRINT_STEP = RUN_CLOCK.FINTIM = -1.0;
        INPUT.INPUT_UNIT = INPUT_UNIT_NONE;
        INPUT.MAP_FILE_NAME.assign(file);
        INPUT.DATA_FILE_NAME.assign(file);
        const StorageCaptured c = capture_run([] {
            OPENFILE();
            RDDIM();
            CLEAR_STORAGE();
            RDPARM();
            while (INPUT.INPUT_UNIT > INPUT_UNIT_NONE) CLOSEFILE();
        });
        EXPECT_EQ(chdir(home.c_str()), 0);
        ASSERT_FALSE(c.aborted) << c.out;
    }
};
