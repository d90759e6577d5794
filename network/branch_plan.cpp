#include "network/branch_plan.h"

#include "engine/storage.h"
#include "network/network_tables.h"
#include "platform/logical.h"

BranchPlans BRANCH_PLANS;

namespace {

BranchPlan& plan_of(int32_t ss) {
    std::vector<BranchPlan>& all = BRANCH_PLANS.ss;
    if (all.size() < static_cast<size_t>(ss)) all.resize(static_cast<size_t>(ss));
    return all[static_cast<size_t>(ss) - 1];
}

}  // namespace

void BUILD_BRANCH_PLAN(int32_t ss) {
    NetworkTables& N = NET;
    BranchPlan& p = plan_of(ss);
    const int32_t nb = N.NBRANCHES(ss);
    p.nb = nb;
    p.kind.assign(static_cast<size_t>(nb) + 1, 0);
    p.history.clear();
    p.injecting.clear();
    p.series.clear();
    p.series_kinds = 0;
    p.history_kinds = 0;
    p.other.clear();
    p.vsources = false;
    p.ideal = false;
    for (int32_t b = 1; b <= nb; ++b) {
        uint8_t k = 0;
        if (is_true(N.SOURCE(b, ss))) k |= BK_SOURCE;
        if (is_true(N.IDEALBR(b, ss))) k |= BK_IDEAL;
        if (is_true(N.DEFRDBR(b, ss))) k |= BK_INJECTED;
        if (is_true(N.INDUCTOR(b, ss))) k |= BK_INDUCTOR;
        if (is_true(N.CAPACITR(b, ss))) k |= BK_CAPACITOR;
        if (N.IORV(b, ss) == 5) k |= BK_ARRESTER;
        const int32_t rec = N.THISBR(b, ss);
        if (rec >= 1 && rec <= STORAGE.STORI.size() && STORAGE.STORI(rec) == 101) {
            k |= BK_VSOURCE;
            p.vsources = true;
        }
        p.kind[static_cast<size_t>(b)] = k;
        if (k & BK_IDEAL) p.ideal = true;
        const uint8_t lc = k & (BK_INDUCTOR | BK_CAPACITOR);
        const PlannedBranch e{b, N.IEF(b, ss), N.IET(b, ss), lc};
        if (!(k & BK_INJECTED) && lc) {
            p.history.push_back(e);
            p.history_kinds |= lc;
        }
        if (k & (BK_INJECTED | BK_SOURCE)) p.injecting.push_back(b);
        if (k & (BK_SOURCE | BK_IDEAL | BK_INJECTED | BK_ARRESTER)) {
            p.other.push_back(b);
        } else {
            p.series.push_back(e);
            p.series_kinds |= lc;
        }
    }
}

const BranchPlan& branch_plan(int32_t ss) {
    BranchPlan& p = plan_of(ss);
    if (p.nb != NET.NBRANCHES(ss)) BUILD_BRANCH_PLAN(ss);
    return p;
}
