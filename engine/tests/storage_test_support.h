// Shared pieces of the storage, pointer-check and model-helper tests: a
// clean engine with the recording stand-in case, storage created from
// requirements set directly, and the head of a case read from a fixture.
#pragma once

#include "controls/meter_tables.h"
#include "engine/engine_reset.h"
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
#include "platform/tests/support/capture.h"
#include "platform/tests/support/run_program.h"

inline void reset_storage_engine() {
    reset_all_engine_state();
    RECORDING_CASE.reset();
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
        const ScopedChdir here(std::string(ZARIK_SOURCE_DIR) + "/engine/tests/fixtures");
        ASSERT_TRUE(here.ok);
        RUN_SEQ.START_MODE = "DATA";
        RUN_SEQ.IRUN = run;
        RUN_SEQ.FIRST_RUN = LTRUE;
        RUN_CLOCK.DELT = RUN_CLOCK.PRINT_STEP = RUN_CLOCK.FINTIM = -1.0;
        INPUT.INPUT_UNIT = INPUT_UNIT_NONE;
        INPUT.MAP_FILE_NAME.assign(file);
        INPUT.DATA_FILE_NAME.assign(file);
        const Captured c = capture([] {
            OPENFILE();
            RDDIM();
            CLEAR_STORAGE();
            RDPARM();
            while (INPUT.INPUT_UNIT > INPUT_UNIT_NONE) CLOSEFILE();
        });
        ASSERT_FALSE(c.aborted) << c.out;
    }
};
