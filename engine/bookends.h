// The run's bookends: the start banner, the end-of-simulation summary,
// the per-run initialisation and the user's stop.
#pragma once

#include <cstdint>

#include "engine/run_state.h"

void START_BANNER(TimeBlock& start, bool connected);
void RUN_SUMMARY(bool v4, const TimeBlock& start);
void INITCOM();
// Snapshots a repeating interval writes in this run.
int32_t planned_snapshot_count();
void USER_STOP(int32_t mode);
void END_RUN_EARLY(int32_t mode);
[[noreturn]] void ZARIK_STOP();

// Hours, minutes and seconds from start to stop, within one day.
struct ElapsedTime {
    int32_t hours = 0, minutes = 0, seconds = 0;
};
ElapsedTime elapsed_time(const TimeBlock& start, const TimeBlock& stop);
