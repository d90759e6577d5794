#include "network/branch_plan.h"

#include <algorithm>

#include "engine/storage.h"
#include "network/branch_lanes.h"
#include "network/network_tables.h"
#include "platform/logical.h"

BranchPlans BRANCH_PLANS;

namespace {

BranchPlan& plan_of(int32_t ss) {
    std::vector<BranchPlan>& all = BRANCH_PLANS.ss;
    if (all.size() < static_cast<size_t>(ss)) all.resize(static_cast<size_t>(ss));
    return all[static_cast<size_t>(ss) - 1];
}

// A kind from a branch's flags, each read by at(table).
template <class At>
uint8_t kind_from(At at) {
    const NetworkTables& N = NET;
    uint8_t k = 0;
    if (is_true(at(N.SOURCE))) k |= BK_SOURCE;
    if (is_true(at(N.IDEALBR))) k |= BK_IDEAL;
    if (is_true(at(N.DEFRDBR))) k |= BK_INJECTED;
    if (is_true(at(N.INDUCTOR))) k |= BK_INDUCTOR;
    if (is_true(at(N.CAPACITR))) k |= BK_CAPACITOR;
    if (at(N.IORV) == 5) k |= BK_ARRESTER;
    const int32_t rec = at(N.THISBR);
    if (rec >= 1 && rec <= STORAGE.STORI.size() && STORAGE.STORI.data()[rec - 1] == 101) k |= BK_VSOURCE;
    return k;
}

// The kind of branch b: its flags read at its position in the branch
// tables, which share one shape, when it lies inside them; else through
// the tables' own checks, which report it.
uint8_t kind_of(int32_t ss, int32_t b) {
    const NetworkTables& N = NET;
    if (!N.SOURCE.in_range(b, ss)) return kind_from([&](const auto& table) { return table(b, ss); });
    const int64_t at = N.SOURCE.offset(b, ss);
    return kind_from([at](const auto& table) { return table.data()[at]; });
}

uint8_t lc_of(uint8_t k) { return k & (BK_INDUCTOR | BK_CAPACITOR); }
bool in_history(uint8_t k) { return !(k & BK_INJECTED) && lc_of(k); }
bool in_injecting(uint8_t k) { return (k & (BK_INJECTED | BK_SOURCE)) != 0; }
bool in_series(uint8_t k) { return !(k & (BK_SOURCE | BK_IDEAL | BK_INJECTED | BK_ARRESTER)); }
bool in_sourced(uint8_t k) { return (k & BK_SOURCE) && !(k & (BK_IDEAL | BK_INJECTED | BK_ARRESTER)); }
PlannedBranch sourced_entry(const PlannedBranch& e, uint8_t k) {
    PlannedBranch s = e;
    s.kind = static_cast<uint8_t>(e.kind | (k & BK_VSOURCE));
    return s;
}

int32_t branch_of(int32_t e) { return e; }
int32_t branch_of(const PlannedBranch& e) { return e.b; }

// Where branch b is, or would go, in a list in branch order.
template <class E>
typename std::vector<E>::iterator position(std::vector<E>& list, int32_t b) {
    return std::lower_bound(list.begin(), list.end(), b,
                            [](const E& e, int32_t x) { return branch_of(e) < x; });
}

template <class E>
void take_out(std::vector<E>& list, int32_t b) {
    const auto at = position(list, b);
    if (at != list.end() && branch_of(*at) == b) list.erase(at);
}

template <class E>
void put_in(std::vector<E>& list, const E& e, int32_t b) {
    list.insert(position(list, b), e);
}

void cut_history(BranchPlan& p) {
    p.history_runs.clear();
    const int32_t count = static_cast<int32_t>(p.history.size());
    for (int32_t k = 0; k < count; ++k) {
        const PlannedBranch& e = p.history[static_cast<size_t>(k)];
        const uint8_t ends = history_ends(e.from, e.to);
        HistoryRun* last = p.history_runs.empty() ? nullptr : &p.history_runs.back();
        if (last && last->kinds == e.kind && last->ends == ends)
            last->end = k + 1;
        else
            p.history_runs.push_back({k, k + 1, e.kind, ends});
    }
}

}  // namespace

uint8_t lane_of(uint8_t k) {
    const auto bit = [](bool on, int at) { return static_cast<uint8_t>(on ? 1 << at : 0); };
    const bool series = in_series(k), sourced = in_sourced(k);
    return bit(series, LB_SERIES) | bit(series && (k & BK_INDUCTOR), LB_SERIES_L) |
           bit(series && (k & BK_CAPACITOR), LB_SERIES_C) | bit(k & BK_VSOURCE, LB_VSOURCE) |
           bit(sourced, LB_SOURCED) | bit((series || sourced) && (k & BK_INDUCTOR), LB_WALKED_L) |
           bit((series || sourced) && (k & BK_CAPACITOR), LB_WALKED_C);
}

namespace {

// Whether the nonzero ones of count node numbers lie within eight of their
// least.
bool within_window(const int32_t* nodes, int count) {
    int32_t least = 0, most = 0;
    for (int k = 0; k < count; ++k) {
        const int32_t m = nodes[k];
        if (m == 0) continue;
        if (least == 0 || m < least) least = m;
        most = std::max(most, m);
    }
    return least >= 0 && most - least < 8;
}

bool node_windows(int32_t ss, int32_t nb) {
    const NetworkTables& N = NET;
    int32_t groups = 0, fitting = 0;
    for (int32_t b = 1; b + 7 <= nb; b += 8) {
        int32_t from[8], to[8];
        for (int k = 0; k < 8; ++k) {
            from[k] = N.IEF(b + k, ss);
            to[k] = N.IET(b + k, ss);
        }
        ++groups;
        if (within_window(from, 8) && within_window(to, 8)) ++fitting;
    }
    return groups > 0 && 4 * fitting >= 3 * groups;
}

}  // namespace

void BUILD_BRANCH_PLAN(int32_t ss) {
    NetworkTables& N = NET;
    BranchPlan& p = plan_of(ss);
    const int32_t nb = N.NBRANCHES(ss);
    p.nb = nb;
    p.kind.assign(static_cast<size_t>(nb) + 1, 0);
    p.lane.assign(static_cast<size_t>(nb) + 5, 0);
    p.history.clear();
    p.injecting.clear();
    for (auto& list : p.series) list.clear();
    for (auto& list : p.sourced) list.clear();
    p.walked_sourced.clear();
    p.series_kinds = 0;
    p.other.clear();
    p.vsources.clear();
    p.windows = node_windows(ss, nb);
    for (int32_t b = 1; b <= nb; ++b) {
        const uint8_t k = kind_of(ss, b);
        p.kind[static_cast<size_t>(b)] = k;
        p.lane[static_cast<size_t>(b)] = lane_of(k);
        if (k & BK_VSOURCE) p.vsources.push_back(b);
        const PlannedBranch e{b, N.IEF(b, ss), N.IET(b, ss), lc_of(k)};
        if (in_history(k)) p.history.push_back(e);
        if (in_injecting(k)) p.injecting.push_back(b);
        if (in_series(k)) {
            p.series[static_cast<size_t>(series_class(k))].push_back(e);
            p.series_kinds |= lc_of(k);
        } else if (in_sourced(k)) {
            p.sourced[static_cast<size_t>(series_class(k))].push_back(sourced_entry(e, k));
            p.walked_sourced.push_back(b);
            p.series_kinds |= lc_of(k);
        } else {
            p.other.push_back(b);
        }
    }
    cut_history(p);
    for (size_t form = 0; form < p.by_lane.size(); ++form) {
        const int64_t w = form == 0 ? 1 : form == 1 ? 4 : 8;
        int64_t holding = 0, last = -1;
        for (const int32_t b : p.walked_sourced) {
            const int64_t lane = (b - 1) / w;
            holding += lane != last;
            last = lane;
        }
        p.by_lane[form] = 4 * holding >= nb / w + 1;
    }
}

void REPLAN_BRANCH(int32_t ss, int32_t b) {
    BranchPlan& p = plan_of(ss);
    if (p.nb != NET.NBRANCHES(ss) || b < 1 || b > p.nb) {
        BUILD_BRANCH_PLAN(ss);
        return;
    }
    const uint8_t was = p.kind[static_cast<size_t>(b)], k = kind_of(ss, b);
    if (was == k) return;
    p.kind[static_cast<size_t>(b)] = k;
    p.lane[static_cast<size_t>(b)] = lane_of(k);
    if (was & BK_VSOURCE) take_out(p.vsources, b);
    if (k & BK_VSOURCE) put_in(p.vsources, b, b);
    const PlannedBranch e{b, NET.IEF(b, ss), NET.IET(b, ss), lc_of(k)};
    if (in_history(was)) take_out(p.history, b);
    if (in_history(k)) put_in(p.history, e, b);
    if (in_history(was) || in_history(k)) cut_history(p);
    if (in_injecting(was)) take_out(p.injecting, b);
    if (in_injecting(k)) put_in(p.injecting, b, b);
    if (in_series(was)) {
        take_out(p.series[static_cast<size_t>(series_class(was))], b);
    } else if (in_sourced(was)) {
        take_out(p.sourced[static_cast<size_t>(series_class(was))], b);
        take_out(p.walked_sourced, b);
    } else {
        take_out(p.other, b);
    }
    if (in_series(k)) {
        put_in(p.series[static_cast<size_t>(series_class(k))], e, b);
        p.series_kinds |= lc_of(k);
    } else if (in_sourced(k)) {
        put_in(p.sourced[static_cast<size_t>(series_class(k))], sourced_entry(e, k), b);
        put_in(p.walked_sourced, b, b);
        p.series_kinds |= lc_of(k);
    } else {
        put_in(p.other, b, b);
    }
}

const BranchPlan& form_branch_plan(int32_t ss) {
    BranchPlan& p = plan_of(ss);
    if (p.nb != NET.NBRANCHES(ss)) BUILD_BRANCH_PLAN(ss);
    return p;
}
