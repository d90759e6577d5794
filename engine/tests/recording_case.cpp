#include "case/station.h"
#include "engine/pointer_block.h"
#include "engine/tests/engine_test_support.h"

RecordingCase RECORDING_CASE;

int RecordingCase::count(const std::string& routine) const {
    int n = 0;
    for (const auto& c : calls) n += c.routine == routine;
    return n;
}

namespace {

void record(const char* routine, const std::function<void()>& hook) {
    const PointerBlock& p = POINTER_BLOCK;
    RECORDING_CASE.calls.push_back({routine, RUN_CLOCK.NSTEP, RUN_CLOCK.TIME, is_true(RUN_FLAGS.FIRST_STEP_DATA),
                                    is_true(RUN_FLAGS.FIRST_STEP_RUN), is_true(RUN_FLAGS.FINAL_STEP), p.NINST, p.NSTORF,
                                    p.NCXMAP, p.NEXC});
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
