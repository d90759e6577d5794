// Output-channel files, the console text plot and the progress line.
#pragma once

#include <cstdint>

struct RunOutputState {
    int32_t open_files = 0;         // output files open in this run
    int32_t mpgbs_count = 0;        // entries of the multiple-run channel list
    int32_t snapshot_channels = 0;  // output channels recorded in the input snapshot
};

extern RunOutputState RUN_OUTPUT;

void OUTPUTFILE(int32_t mode);
void RUN_PROGRESS(int32_t connect_flag);
void SCREEN_PLOT();
