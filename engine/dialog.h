// The console set-up of a standalone run.
#pragma once

void DIALOG();

// Counts one invalid console answer; the fourth ends the run.
void RETRY_COUNT();

// A map-file name typed with the data file's extension (".dat" or ".dta")
// gets ".map" in its place, with a warning.
void FIX_MAPNAME();

// Once the run's steps are counted: a snapshot the dialogue planned at the
// end of the run gets the time of its last step, and one that no step
// reaches is told on the console.
void SETTLE_DIALOG_SNAPSHOT();
