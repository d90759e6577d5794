#include "controls/block_slots.h"

#include "engine/run_state.h"

bool first_step_data() { return is_true(RUN_FLAGS.FIRST_STEP_DATA); }
