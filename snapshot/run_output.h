// Output-channel files, the console text plot and the progress line.
#pragma once

#include <cstdint>

#include "platform/logical.h"

// The value files sit on their own unit numbers, above any the input unit
// stack reaches, so that they never count against its nesting limit: file
// k is unit OUTPUT_UNIT_BASE + k.
constexpr int32_t OUTPUT_UNITS_FROM = 1000;
constexpr int32_t OUTPUT_FILES_MAX = 999;

struct RunOutputState {
    int32_t OUTPUT_UNIT_BASE = 0;   // 0 until the run has opened its output files
    int32_t mpgbs_count = 0;        // entries of the multiple-run channel list
    int32_t snapshot_channels = 0;  // output channels recorded in the input snapshot
    // The console reports keep these for the life of the process.
    Logical plot_heading_pending = LTRUE;
    int32_t progress_run = 0;   // run whose progress mark is set up
    int64_t progress_mark = 0;  // steps after the run's start at which the next line is due
};

extern RunOutputState RUN_OUTPUT;

// 1 opens the files, 3 writes one record, 2 closes them, 0 lists them.
void OUTPUTFILE(int32_t mode);
void RUN_PROGRESS(Logical connected);
void SCREEN_PLOT();
