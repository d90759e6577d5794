#include "models/branch_changes.h"

BranchChangeList BRCHANGE_LIST;

void clear_branch_changes() { BRCHANGE_LIST.count = 0; }
