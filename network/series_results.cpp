#include "network/series_results.h"

#include <algorithm>

#include "network/branch_lanes.h"
#include "network/chatter.h"
#include "network/solution_loops.h"

namespace {

// The loop once for any processor, one branch at a time...
namespace plain {
#include "network/series_results_body.inc"
}  // namespace plain

// ...and once for AVX2, four at a time.
#pragma GCC push_options
#pragma GCC target("avx2")
namespace wide {
#include "network/series_results_body.inc"
}  // namespace wide
#pragma GCC pop_options

#pragma GCC push_options
#pragma GCC target("avx512f,avx512bw,avx512vl,avx512dq")
namespace widest {
#include "network/series_results_body.inc"
}  // namespace widest
#pragma GCC pop_options

using Walk = bool (*)(const PassColumns&, const uint8_t*, int64_t, double, bool, const int32_t*, int64_t);

template <int Flags>
bool walk_plain(const PassColumns& c, const uint8_t* lanes, int64_t nb, double fraction, bool by_lane,
              const int32_t* sourced, int64_t count) {
    return plain::all_branches<Lane1, Flags, BK_INDUCTOR | BK_CAPACITOR>(c, lanes, nb, fraction, by_lane, sourced, count);
}

#pragma GCC push_options
#pragma GCC target("avx2")
template <int Flags, uint8_t Kinds>
bool walk_avx2(const PassColumns& c, const uint8_t* lanes, int64_t nb, double fraction, bool by_lane,
              const int32_t* sourced, int64_t count) {
    return wide::all_branches<Lane4, Flags, Kinds>(c, lanes, nb, fraction, by_lane, sourced, count);
}
#pragma GCC pop_options

#pragma GCC push_options
#pragma GCC target("avx512f,avx512bw,avx512vl,avx512dq")
template <int Flags, uint8_t Kinds>
bool walk_avx512(const PassColumns& c, const uint8_t* lanes, int64_t nb, double fraction, bool by_lane,
              const int32_t* sourced, int64_t count) {
    return widest::all_branches<Lane8, Flags, Kinds>(c, lanes, nb, fraction, by_lane, sourced, count);
}
#pragma GCC pop_options

// The walk of a width for the L and C bits met among the series branches.
template <int Flags, Walk Narrow, Walk WithC, Walk WithL, Walk WithLC>
Walk by_kinds(uint8_t kinds) {
    if (kinds == 0) return Narrow;
    if (kinds == BK_CAPACITOR) return WithC;
    if (kinds == BK_INDUCTOR) return WithL;
    return WithLC;
}

template <int Flags>
Walk walk_for(uint8_t kinds, int width) {
    constexpr uint8_t L = BK_INDUCTOR, C = BK_CAPACITOR;
    if (width >= 2)
        return by_kinds<Flags, &walk_avx512<Flags, 0>, &walk_avx512<Flags, C>, &walk_avx512<Flags, L>,
                        &walk_avx512<Flags, L | C>>(kinds);
    if (width == 1)
        return by_kinds<Flags, &walk_avx2<Flags, 0>, &walk_avx2<Flags, C>, &walk_avx2<Flags, L>,
                        &walk_avx2<Flags, L | C>>(kinds);
    return &walk_plain<Flags>;
}

}  // namespace

bool SERIES_RESULTS(const BranchPlan& plan, int64_t nb, const PassColumns& cols, int flags, double fraction) {
    // A pass that re-solves or opens a step leaves nothing for its close.
    if (flags & (PF_RESOLVING | PF_OPENING)) flags &= ~PF_CLOSING;
    const int width = vector_width_in_use();
    Walk walk = nullptr;
    switch (flags) {
#define ZARIK_PASS_CASE(k)                             \
    case k:                                            \
        walk = walk_for<k>(plan.series_kinds, width);  \
        break;
        ZARIK_EACH_PASS_FLAGS(ZARIK_PASS_CASE)
#undef ZARIK_PASS_CASE
    }
    const std::vector<int32_t>& sourced = plan.walked_sourced;
    const bool by_lane = plan.by_lane[static_cast<size_t>(std::clamp(width, 0, 2))];
    return walk(cols, plan.lane.data() + 1, nb, fraction, by_lane, sourced.data(),
                static_cast<int64_t>(sourced.size()));
}
