// Shared pieces of the engine's tests: the recording stand-in case, a clean
// engine per test, storage from requirements set directly, the head of a
// fixture case, and the run set-up in one line.
#pragma once

#include <charconv>
#include <functional>
#include <string>
#include <vector>

#include "controls/meter_tables.h"
#include "engine/engine_reset.h"
#include "engine/pointer_checks.h"
#include "engine/run_state.h"
#include "engine/storage.h"
#include "lines/line_tables.h"
#include "network/dimensions.h"
#include "network/input_state.h"
#include "network/line_reader.h"
#include "network/parameters.h"
#include "platform/tests/support/capture.h"
#include "platform/tests/support/run_program.h"

// One call of the top module's routines, with the pointers at entry.
struct CaseCall {
    std::string routine;  // "DSD", "DSO", "DSD_BEGIN", "DSO_BEGIN"
    int nstep = 0;
    double time = 0.0;
    bool first_step_data = false, first_step_run = false, final_step = false;
    int ninst = 0, nstorf = 0, ncxmap = 0, nexc = 0;
};

struct RecordingCase {
    std::vector<CaseCall> calls;
    std::function<void()> on_dsd, on_dso, on_dsd_begin, on_dso_begin;
    void reset() { *this = RecordingCase{}; }
    int count(const std::string& routine) const;
};

extern RecordingCase RECORDING_CASE;

inline void reset_engine() {
    reset_all_engine_state();
    RECORDING_CASE.reset();
}

class EngineTest : public testing::Test {
protected:
    void SetUp() override { reset_engine(); }
    void TearDown() override { reset_engine(); }

    static void allocate(std::initializer_list<std::pair<int, int32_t>> req) {
        for (const auto& [k, v] : req) DIMBLOCK.REQ[k] = v;
        DIMBLOCK.NSUBSYS = DIMBLOCK.REQ[ND_SUBSYS];
        int32_t status = -1;
        ALLOC_STORAGE(status);
        ASSERT_EQ(status, 0);
    }

    // Reads the head of a fixture case as a run started from data does,
    // and leaves no file open.
    static void read_case_head(const std::string& file, int32_t run = 1) {
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

// The whole run set-up in one line; logicals as T/F (any other value
// shows as its number) and reals in their shortest exact form.
inline std::string run_settings() {
    const auto l = [](Logical v) { return v == LTRUE ? std::string("T") : v == LFALSE ? "F" : std::to_string(v); };
    const auto r = [](double v) {
        char buf[32];
        return std::string(buf, std::to_chars(buf, buf + sizeof buf, v).ptr);
    };
    const RunSetup& s = RUN_SETUP;
    return "mode=" + RUN_SEQ.START_MODE.str() + " start=" + s.start_file.trimmed() +
           " map=" + s.map_file_for_snap.trimmed() + " relabel=" + l(s.relabel_time) +
           " out=" + l(s.output_files) + ":" + s.output_file.trimmed() +
           " plot=" + l(s.screen_plot) + " snap=" + l(s.snap_planned) + ":" + s.snap_file.trimmed() + "@" +
           r(RUN_CLOCK.SNAP_TIME) + "/" + r(s.snap_interval) + " inc=" + l(s.snap_incremental) +
           " runs=" + std::to_string(RUN_SEQ.NRUNS) + " multi=" + l(RUN_SEQ.MULTI_RUN) + " open=" +
           l(RUN_SEQ.OPEN_ENDED) + ":" + s.multirun_file.trimmed() + " fin=" + r(RUN_CLOCK.FINTIM) +
           " pgbs=" + std::to_string(DIMBLOCK.NPGBS) + " role=" + std::to_string(s.eni_role) + " flags=" +
           l(s.flag_a) + "/" + std::to_string(s.flag_b) + " bad=" + std::to_string(s.invalid_answers);
}

// A settings line with some of its items given other values.
inline std::string with(std::string line, std::initializer_list<std::pair<std::string, std::string>> changes) {
    for (const auto& [key, value] : changes) {
        const size_t at = (" " + line).find(" " + key + "=");
        if (at == std::string::npos) return "no item " + key;
        const size_t from = at + key.size() + 1;
        line.replace(from, line.find(' ', from) - from, value);
    }
    return line;
}
