// Brings every shared table and counter of the engine back to its start
// state, as at process start (used by tests between cases).
#pragma once

void reset_all_engine_state();
