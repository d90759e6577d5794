// Output-channel files, the text plot and the progress line are not
// written yet; the run loop's calls land here.
#include "snapshot/run_output.h"

RunOutputState RUN_OUTPUT;

void OUTPUTFILE(int32_t /*mode*/) {}
void RUN_PROGRESS(int32_t /*connect_flag*/) {}
void SCREEN_PLOT() {}
