#include "engine/tests/recording_case.h"

#include "case/station.h"
#include "engine/pointer_block.h"
#include "engine/run_state.h"

RecordingCase RECORDING_CASE;

int RecordingCase::count(const std::string& routine) const {
    int n = 0;
    for (const auto& c : calls) n += c.routine == routine;
    return n;
}

namespace {

void record(const char* routine, const std::function<void()>& hook) {
    CaseCall c;
    c.routine = routine;
    c.nstep = RUN_CLOCK.NSTEP;
    c.time = RUN_CLOCK.TIME;
    c.first_step_data = is_true(RUN_FLAGS.FIRST_STEP_DATA);
    c.first_step_run = is_true(RUN_FLAGS.FIRST_STEP_RUN);
    c.final_step = is_true(RUN_FLAGS.FINAL_STEP);
    c.ninst = POINTER_BLOCK.NINST;
    c.nstorf = POINTER_BLOCK.NSTORF;
    c.ncxmap = POINTER_BLOCK.NCXMAP;
    c.nexc = POINTER_BLOCK.NEXC;
    RECORDING_CASE.calls.push_back(c);
    // An empty module's own pointer discipline.
    POINTER_BLOCK.NINST += 1;
    if (hook) hook();
}

}  // namespace

void Station_DSD() {
    record("DSD", RECORDING_CASE.on_dsd);
    POINTER_BLOCK.NTXFR += 1;
}
void Station_DSO() {
    record("DSO", RECORDING_CASE.on_dso);
    POINTER_BLOCK.NTXFR += 1;
}
void Station_DSD_BEGIN() { record("DSD_BEGIN", RECORDING_CASE.on_dsd_begin); }
void Station_DSO_BEGIN() { record("DSO_BEGIN", RECORDING_CASE.on_dso_begin); }
