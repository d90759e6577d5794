#include "network/series_results.h"

#include <vector>

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

using Walk = bool (*)(const PassColumns&, const uint8_t*, int64_t, double);

template <int Flags>
bool walk_plain(const PassColumns& c, const uint8_t* lanes, int64_t nb, double fraction) {
    return plain::all_branches<Lane1, Flags, BK_INDUCTOR | BK_CAPACITOR>(c, lanes, nb, fraction);
}

#pragma GCC push_options
#pragma GCC target("avx2")
template <int Flags, uint8_t Kinds>
bool walk_avx2(const PassColumns& c, const uint8_t* lanes, int64_t nb, double fraction) {
    return wide::all_branches<Lane4, Flags, Kinds>(c, lanes, nb, fraction);
}
#pragma GCC pop_options

template <int Flags>
Walk walk_for(uint8_t kinds, bool vector) {
    if (!vector) return &walk_plain<Flags>;
    if (kinds == 0) return &walk_avx2<Flags, 0>;
    if (kinds == BK_CAPACITOR) return &walk_avx2<Flags, BK_CAPACITOR>;
    if (kinds == BK_INDUCTOR) return &walk_avx2<Flags, BK_INDUCTOR>;
    return &walk_avx2<Flags, BK_INDUCTOR | BK_CAPACITOR>;
}

}  // namespace

bool SERIES_RESULTS(const BranchPlan& plan, int64_t nb, const PassColumns& cols, int flags, double fraction) {
    // A pass that re-solves or opens a step leaves nothing for its close.
    if (flags & (PF_RESOLVING | PF_OPENING)) flags &= ~PF_CLOSING;
    const bool vector = vector_forms_in_use();
    Walk walk = nullptr;
    switch (flags) {
#define ZARIK_PASS_CASE(k)                             \
    case k:                                            \
        walk = walk_for<k>(plan.series_kinds, vector); \
        break;
        ZARIK_PASS_CASE(0) ZARIK_PASS_CASE(1) ZARIK_PASS_CASE(2) ZARIK_PASS_CASE(3)
        ZARIK_PASS_CASE(4) ZARIK_PASS_CASE(5) ZARIK_PASS_CASE(6) ZARIK_PASS_CASE(7)
        ZARIK_PASS_CASE(8) ZARIK_PASS_CASE(9) ZARIK_PASS_CASE(10) ZARIK_PASS_CASE(11)
        ZARIK_PASS_CASE(12) ZARIK_PASS_CASE(13) ZARIK_PASS_CASE(14) ZARIK_PASS_CASE(15)
        ZARIK_PASS_CASE(PF_CLOSING) ZARIK_PASS_CASE(PF_CLOSING | PF_PARTIAL)
        ZARIK_PASS_CASE(PF_CLOSING | PF_DETECT) ZARIK_PASS_CASE(PF_CLOSING | PF_DETECT | PF_PARTIAL)
#undef ZARIK_PASS_CASE
    }
    static std::vector<double> voltages;
    if (voltages.size() < static_cast<size_t>(nb)) voltages.resize(static_cast<size_t>(nb));
    PassColumns c = cols;
    c.voltages = voltages.data();
    return walk(c, plan.lane.data() + 1, nb, fraction);
}
