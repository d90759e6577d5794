#include "models/setup_guard.h"

#include <string>

#include "engine/abort.h"
#include "engine/run_state.h"

SetupPhase SETUP_PHASE;

void CHK_SETUP_PHASE(const Text12& caller) {
    if (is_true(RUN_FLAGS.FIRST_STEP_DATA) && !is_true(SETUP_PHASE.SUMMED)) return;
    const std::string name = caller.trimmed();
    USERMSG(CURRENT_IDS.id1, CURRENT_IDS.id2, 2, 2,
            name + " changes node conductances, which is possible only before the first network solution");
    USERMSG(CURRENT_IDS.id1, CURRENT_IDS.id2, 2, -1, "of a run started from data: call it in the set-up pass.");
    ABORT_RUN(caller, 0);
}
