// Shared pieces of the case tests: a copy of the case's data folder as the
// working directory, its map read as a first run from data, and the passes
// of one step driven by hand.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "case/station.h"
#include "case/tests/case_copy.h"
#include "case/tests/case_steps.h"
#include "engine/engine_reset.h"
#include "engine/pointer_block.h"
#include "engine/pointer_checks.h"
#include "engine/run_state.h"
#include "engine/storage.h"
#include "engine/time_step.h"
#include "network/input_state.h"
#include "network/map_reader.h"
#include "platform/tests/support/capture.h"
#include "platform/tests/support/run_program.h"

inline std::string case_data_dir() { return std::string(ZARIK_SOURCE_DIR) + "/case/data"; }

inline std::string read_text(const std::string& path) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// The case's data in a folder of the test's own: its own files only, so
// that a test that expects no output file holds whatever runs left in
// case/data.
class CaseFolder {
public:
    CaseFolder() { EXPECT_TRUE(copy_case(case_data_dir(), dir_.path)) << dir_.path; }
    std::string path() const { return dir_.path; }
    std::string file(const std::string& name) const { return dir_.file(name); }
    // Replaces the first occurrence of `from` in a file of the folder.
    void edit(const std::string& name, const std::string& from, const std::string& to) const {
        std::string t = read_text(file(name));
        const size_t at = t.find(from);
        ASSERT_NE(at, std::string::npos) << from;
        std::ofstream(file(name)) << t.replace(at, from.size(), to);
    }
    ProgramResult run() const {
        return run_program({zarik_program(), "-startup:alone"}, read_text(file("answers.txt")), path());
    }

private:
    TempDir dir_;
};

// rows[n][c]: channel c (1-based, 0 the time) of printed step n, from the
// eleven output files `base`_01.out ... side by side.
using Rows = std::vector<std::vector<double>>;

inline Rows read_channels(const CaseFolder& f, const std::string& base = "station") {
    Rows rows;
    for (int32_t k = 1; k <= 11; ++k) {
        char name[64];
        std::snprintf(name, sizeof name, "%s_%02d.out", base.c_str(), k);
        std::istringstream in(read_text(f.file(name)));
        std::string line;
        std::getline(in, line);
        size_t n = 0;
        while (std::getline(in, line)) {
            std::istringstream l(line);
            std::vector<double> v;
            double x = 0.0;
            while (l >> x) v.push_back(x);
            if (v.empty()) continue;
            if (k == 1) rows.push_back({v[0]});
            if (n < rows.size()) rows[n].insert(rows[n].end(), v.begin() + 1, v.end());
            ++n;
        }
    }
    return rows;
}

// The map read in process, in the folder's copy.
class CaseTest : public testing::Test {
protected:
    void SetUp() override {
        reset_all_engine_state();
        reset_array_overrun_count();
        in_.emplace(folder_.path());
        RUN_SEQ.START_MODE = "DATA";
        RUN_SEQ.IRUN = RUN_SEQ.NRUNS = 1;
        RUN_SEQ.FIRST_RUN = LTRUE;
        RUN_SETUP.start_file.assign("station.map");
        INPUT.INPUT_UNIT = INPUT_UNIT_NONE;
        const Captured c = capture([] { READDATA(); });
        ASSERT_FALSE(c.aborted) << c.out;
    }
    void TearDown() override {
        EXPECT_EQ(array_overrun_count(), 0);
        in_.reset();
        reset_all_engine_state();
    }
    // Both begin passes of a data start.
    static Captured begin_passes() {
        RUN_FLAGS.FIRST_STEP_DATA = LTRUE;
        return capture([] {
            RESETPTRS();
            Station_DSD_BEGIN();
            RESETPTRS_OUT();
            Station_DSO_BEGIN();
        });
    }
    // The dynamic pass, then the output pass, of step n (without the
    // network solution between them).
    static Captured step(int32_t n) {
        RUN_FLAGS.FIRST_STEP_DATA = as_logical(n == 0);
        RUN_CLOCK.TIME = n * RUN_CLOCK.DELT;
        return capture([] {
            RESETPTRS();
            Station_DSD();
            RESETPTRS_OUT();
            Station_DSO();
        });
    }

    // Steps 0 to last as the run loop takes them, after the begin passes;
    // each(n) after step n.
    static Captured run_steps(int32_t last, const std::function<void(int32_t)>& each) {
        return capture([&] {
            case_begin_passes();
            case_steps(last, each);
        });
    }

    CaseFolder folder_;
    std::optional<ScopedChdir> in_;
};
