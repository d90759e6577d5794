#include "models/machines/machine_list.h"

#include "models/branch_changes.h"

int32_t MACHINE_LIST_ENTRY(const Text12& caller, int32_t kind, int32_t ss, int32_t item1, int32_t item2,
                           double real1) {
    const int32_t row = BRCHANGE_APPEND(caller);
    BranchChangeList& l = BRCHANGE_LIST;
    l.icol(1, row) = kind;
    l.icol(2, row) = item1;
    l.icol(3, row) = item2;
    l.icol(8, row) = ss;
    l.rcol(1, row) = real1;
    return row;
}
