// Shared pieces of the map-file tests: a first run of a data start that
// reads a fixture map through READDATA, and the abort frame it ends with.
#pragma once

#include <string>
#include <vector>

#include "engine/run_state.h"
#include "network/map_reader.h"
#include "network/tests/reader_test_support.h"
#include "platform/fixed_text.h"
#include "platform/fortran_array.h"

// The frame ABORT_RUN prints: mode 1 names the data file, mode 2 the map
// file, both after the last data line.
inline std::string abort_frame_of(const std::string& routine, int mode, const std::string& data_line = "",
                                  const std::string& file = "") {
    const std::string rule = " " + std::string(57, '=') + "\n";
    std::string s = rule;
    if (mode == 1 || mode == 2) s += " Following is the last read data line:\n " + pad_text(data_line, 72) + "\n";
    if (mode == 1) s += " Data file name: " + pad_text(file, 34) + "...\n";
    if (mode == 2) s += " Map/snap file name: " + pad_text(file, 34) + "\n";
    return s + " ERROR: Abnormal termination of ZARIK by " + pad_text(routine, 12) + "\n" + rule + " \n";
}

// A captured call stopped the run after printing exactly the given text.
inline void expect_stopped(const Captured& c, const std::string& text) {
    EXPECT_TRUE(c.aborted) << c.out;
    EXPECT_EQ(c.out, text);
}

// A first run started from data, in the fixture folder.
class MapTest : public ReaderTest {
protected:
    void SetUp() override {
        ReaderTest::SetUp();
        RUN_SEQ.START_MODE = "DATA";
        RUN_SEQ.IRUN = RUN_SEQ.NRUNS = 1;
        RUN_SEQ.FIRST_RUN = LTRUE;
    }
    // No index from a map file may have gone past its array.
    void TearDown() override {
        EXPECT_EQ(array_overrun_count(), 0);
        ReaderTest::TearDown();
    }
    // Reads the map file as the run's data file.
    Captured read_map(const std::string& name) {
        RUN_SETUP.start_file.assign(name);
        INPUT.INPUT_UNIT = INPUT_UNIT_NONE;
        return capture([] { READDATA(); });
    }
};
