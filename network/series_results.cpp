#include "network/series_results.h"

#include "network/branch_lanes.h"
#include "network/solution_loops.h"

namespace {

constexpr uint8_t kNotSeries = BK_SOURCE | BK_IDEAL | BK_INJECTED | BK_ARRESTER;

// CHATTER_NEXT and CHATTER_AT in masks and integer arithmetic, so that a
// lane of four takes them as one branch does.
template <class L>
inline __attribute__((always_inline)) typename L::M next_counter(typename L::M c, typename L::D x, typename L::D y,
                                                                 typename L::D level) {
    using M = typename L::M;
    const typename L::D mid = L::splat(0.5) * (x + y);
    const M big = L::greater(L::magnitude(y - mid), level), up = L::less_equal(mid, y);
    const M negative = c >> 63;
    const M reversal = big & ~(up ^ negative);
    const M s = ~up | 1;
    return s - (c & reversal);
}

template <class L>
inline __attribute__((always_inline)) typename L::M at_chatter(typename L::M c) {
    return ~((c - 6) >> 63) | ((c + 5) >> 63);
}

// Branches k to k + width - 1 (0-based). Kinds holds the L and C bits the
// series branches may have: a loop without them reads none of their columns.
template <class L, int Flags, uint8_t Kinds>
inline __attribute__((always_inline)) typename L::M branch_results(const PassColumns& c, const uint8_t* kinds,
                                                                   int64_t k, typename L::D f,
                                                                   typename L::D level) {
    using D = typename L::D;
    using M = typename L::M;
    constexpr bool partial = Flags & PF_PARTIAL, resolving = Flags & PF_RESOLVING, opening = Flags & PF_OPENING;
    constexpr bool detect = Flags & PF_DETECT, closing = Flags & PF_CLOSING;
    const uint8_t* kind = kinds + k;
    const M series = ~L::kinds(kind, kNotSeries);
    const D vb = L::gather(c.x, c.from.p + k) - L::gather(c.x, c.to.p + k);
    const D held = L::load(c.ccbr.p + k), before = L::load(c.ccbrd.p + k);
    const D h = opening ? L::pick(L::logicals(c.changed.p + k), held, before) : held;
    const D g = L::load(c.geq.p + k);
    const D i = g * vb + h;
    const D was = L::load(c.cbr.p + k);
    L::store(c.cbr.p + k, L::pick(series, partial ? was + f * (i - was) : i, was));
    M found = M{};
    if (detect) {
        L::store(c.cbrt.p + k, L::pick(series, i, L::load(c.cbrt.p + k)));
        const M count = L::widen(L::load_int(c.counter.p + k));
        const M next = next_counter<L>(count, was, i, level);
        L::store_int(c.counter.p + k, L::narrow(L::pick_int(series, next, count)));
        found = series & at_chatter<L>(next);
    }
    if (!resolving) {
        const D now = before + f * (held - before);
        L::store(c.ccbr.p + k, L::pick(series, now, held));
        if (closing) L::store(c.ccbrd.p + k, L::pick(series, now, before));
    }
    if (Kinds != 0) {
        // Both part voltages come from the histories of the span just
        // solved, before they are drawn back to the pass's end.
        const D l_hist = L::load(c.ccl.p + k), c_hist = L::load(c.ccc.p + k), rcl = L::load(c.rcl.p + k);
        if (Kinds & BK_INDUCTOR) {
            const M has = series & L::kinds(kind, BK_INDUCTOR);
            const D vl = c_hist * rcl + L::load(c.rlg.p + k) * vb - l_hist * L::load(c.rsc.p + k);
            const D v = L::load(c.v12.p + k);
            L::store(c.v12.p + k, L::pick(has, partial ? v + f * (vl - v) : vl, v));
            if (!resolving) {
                const D l_before = L::load(c.ccld.p + k);
                L::store(c.ccl.p + k, L::pick(has, l_before + f * (l_hist - l_before), l_hist));
            }
        }
        if (Kinds & BK_CAPACITOR) {
            const M has = series & L::kinds(kind, BK_CAPACITOR);
            const D vc = l_hist * rcl + L::load(c.rcg.p + k) * vb - c_hist * L::load(c.rsl.p + k);
            const D v = L::load(c.v20.p + k);
            L::store(c.v20.p + k, L::pick(has, partial ? v + f * (vc - v) : vc, v));
            if (!resolving) {
                const D c_before = L::load(c.cccd.p + k);
                L::store(c.ccc.p + k, L::pick(has, c_before + f * (c_hist - c_before), c_hist));
            }
        }
    }
    if (closing) {
        // No other branch of the pass reads GEQD, nor a series branch's EBRD.
        // An extrapolated voltage source keeps its EBRD.
        L::store(c.geqd.p + k, g);
        const M copied = c.extrapolate ? series & ~L::kinds(kind, BK_VSOURCE) : series;
        L::store(c.ebrd.p + k, L::pick(copied, L::load(c.ebr.p + k), L::load(c.ebrd.p + k)));
    }
    return found;
}

template <class L, int Flags, uint8_t Kinds>
inline __attribute__((always_inline)) bool all_branches(const PassColumns& c, const uint8_t* kinds, int64_t nb,
                                                        double fraction) {
    const typename L::D f = L::splat(fraction), level = L::splat(c.level);
    typename L::M found = typename L::M{};
    int64_t k = 0;
    for (; k + L::width <= nb; k += L::width) found |= branch_results<L, Flags, Kinds>(c, kinds, k, f, level);
    Lane1::M rest = 0;
    for (; k < nb; ++k) rest |= branch_results<Lane1, Flags, Kinds>(c, kinds, k, fraction, c.level);
    return L::any(found) || rest != 0;
}

using Walk = bool (*)(const PassColumns&, const uint8_t*, int64_t, double);

template <int Flags, uint8_t Kinds>
bool walk_plain(const PassColumns& c, const uint8_t* kinds, int64_t nb, double fraction) {
    return all_branches<Lane4, Flags, Kinds>(c, kinds, nb, fraction);
}
template <int Flags, uint8_t Kinds>
__attribute__((target("avx2"))) bool walk_avx2(const PassColumns& c, const uint8_t* kinds, int64_t nb,
                                               double fraction) {
    return all_branches<Lane4, Flags, Kinds>(c, kinds, nb, fraction);
}

template <int Flags>
Walk walk_for(uint8_t kinds, bool vector) {
    constexpr uint8_t LC = BK_INDUCTOR | BK_CAPACITOR;
    if (!vector) return &walk_plain<Flags, LC>;
    if (kinds == 0) return &walk_avx2<Flags, 0>;
    if (kinds == BK_CAPACITOR) return &walk_avx2<Flags, BK_CAPACITOR>;
    if (kinds == BK_INDUCTOR) return &walk_avx2<Flags, BK_INDUCTOR>;
    return &walk_avx2<Flags, LC>;
}

}  // namespace

bool SERIES_RESULTS(const BranchPlan& plan, int64_t nb, const PassColumns& cols, int flags, double fraction) {
    // A closing pass neither re-solves nor opens a step; one that would
    // leaves nothing for the step's close.
    if (flags & (PF_RESOLVING | PF_OPENING)) flags &= ~PF_CLOSING;
    const bool vector = vector_forms_in_use();
    const uint8_t kinds = plan.series_kinds;
    Walk walk = nullptr;
    switch (flags) {
#define ZARIK_PASS_CASE(k)                  \
    case k:                                 \
        walk = walk_for<k>(kinds, vector);  \
        break;
        ZARIK_PASS_CASE(0) ZARIK_PASS_CASE(1) ZARIK_PASS_CASE(2) ZARIK_PASS_CASE(3)
        ZARIK_PASS_CASE(4) ZARIK_PASS_CASE(5) ZARIK_PASS_CASE(6) ZARIK_PASS_CASE(7)
        ZARIK_PASS_CASE(8) ZARIK_PASS_CASE(9) ZARIK_PASS_CASE(10) ZARIK_PASS_CASE(11)
        ZARIK_PASS_CASE(12) ZARIK_PASS_CASE(13) ZARIK_PASS_CASE(14) ZARIK_PASS_CASE(15)
        ZARIK_PASS_CASE(PF_CLOSING) ZARIK_PASS_CASE(PF_CLOSING | PF_PARTIAL)
        ZARIK_PASS_CASE(PF_CLOSING | PF_DETECT) ZARIK_PASS_CASE(PF_CLOSING | PF_DETECT | PF_PARTIAL)
#undef ZARIK_PASS_CASE
    }
    return walk(cols, plan.kind.data() + 1, nb, fraction);
}
