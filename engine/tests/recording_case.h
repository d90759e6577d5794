// A stand-in case for the engine's tests: it records every call of the
// top module's four routines and runs the hooks a test installs.
#pragma once

#include <functional>
#include <string>
#include <vector>

struct CaseCall {
    std::string routine;  // "DSD", "DSO", "DSD_BEGIN", "DSO_BEGIN"
    int nstep = 0;
    double time = 0.0;
    bool first_step_data = false, first_step_run = false, final_step = false;
    int ninst = 0, nstorf = 0, ncxmap = 0, nexc = 0;  // pointer values at entry
};

struct RecordingCase {
    std::vector<CaseCall> calls;
    std::function<void()> on_dsd, on_dso, on_dsd_begin, on_dso_begin;
    void reset() { *this = RecordingCase{}; }
    int count(const std::string& routine) const;
};

extern RecordingCase RECORDING_CASE;
