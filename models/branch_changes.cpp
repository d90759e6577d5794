#include "models/branch_changes.h"

#include <string>

#include "engine/abort.h"
#include "engine/run_state.h"

BranchChangeList BRCHANGE_LIST;

void clear_branch_changes() { BRCHANGE_LIST.count = 0; }

int32_t BRCHANGE_APPEND(const Text12& caller) {
    BranchChangeList& list = BRCHANGE_LIST;
    if (list.count < 0) list.count = 0;  // a count below 0 holds no rows
    if (list.count >= BRCHANGE_MAX) {
        USERMSG(CURRENT_IDS.id1, CURRENT_IDS.id2, 2, 2,
                "The list of branch changes is full: it holds " + std::to_string(BRCHANGE_MAX) + " entries.");
        USERMSG(CURRENT_IDS.id1, CURRENT_IDS.id2, 2, -1, "Fewer branches can be changed by models in one case.");
        ABORT_RUN(caller, 0);
    }
    return ++list.count;
}
