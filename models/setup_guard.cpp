#include "models/setup_guard.h"

#include <string>

#include "engine/abort.h"
#include "engine/run_state.h"

SetupGuard SETUP_GUARD;

void CHK_SETUP_PHASE(const Text12& caller) {
    if (!SETUP_GUARD.diagonals_summed) return;
    const std::string name = caller.trimmed();
    USERMSG(CURRENT_IDS.id1, CURRENT_IDS.id2, 2, 2,
            name + " changes the network's conductances and can only be called before the first");
    USERMSG(CURRENT_IDS.id1, CURRENT_IDS.id2, 2, -1,
            "network solution of a run (in the begin pass or the first dynamic pass).");
    ABORT_RUN(caller, 0);
}
