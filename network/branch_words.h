// One branch's words in the branch tables, which all share one shape.
// BranchWordsAt reaches them at the branch's position, for a branch known
// to lie inside the tables; BranchWordsChecked goes through the tables'
// checks, which report a branch outside them.
#pragma once

#include <cstdint>

#include "network/network_tables.h"
#include "platform/logical.h"

struct BranchWordsAt {
    int64_t at;  // the tables' offset(b, ss)
    [[gnu::always_inline]] int32_t& code() const { return NET.IORV.data()[at]; }
    [[gnu::always_inline]] double& cbr() const { return NET.CBR.data()[at]; }
    [[gnu::always_inline]] double& tswitch() const { return NET.TSWITCH.data()[at]; }
    [[gnu::always_inline]] Logical& open() const { return NET.OPENBR.data()[at]; }
    [[gnu::always_inline]] double& swval() const { return NET.SWVAL.data()[at]; }
    [[gnu::always_inline]] double& resistance() const { return NET.BRANCH_R.data()[at]; }
};

struct BranchWordsChecked {
    int32_t b, s;
    int32_t& code() const { return NET.IORV(b, s); }
    double& cbr() const { return NET.CBR(b, s); }
    double& tswitch() const { return NET.TSWITCH(b, s); }
    Logical& open() const { return NET.OPENBR(b, s); }
    double& swval() const { return NET.SWVAL(b, s); }
    double& resistance() const { return NET.BRANCH_R(b, s); }
};
