// The console text plot and the progress line of a standalone run.
#include "snapshot/run_output.h"

void RUN_PROGRESS(Logical /*connected*/) {}
void SCREEN_PLOT() {}
