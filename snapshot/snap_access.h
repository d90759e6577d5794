// Element accessors and count checks shared by the sections of a snapshot.
#pragma once

#include <algorithm>
#include <cstdint>

#include "network/dimensions.h"
#include "snapshot/snap_stream.h"

namespace snap {

inline int32_t req(int k) { return DIMBLOCK.REQ[k]; }
inline int32_t at_least_1(int k) { return std::max(req(k), 1); }

// Element accessors: a 1-based array, a column of a table.
template <class A> auto all(A& a) {
    return [&a](int32_t i) -> auto& { return a(i); };
}
template <class A> auto column(A& a, int32_t s) {
    return [&a, s](int32_t i) -> auto& { return a(i, s); };
}

// A count read from the file is checked against the array it fills.
template <class A> void fits(SnapStream& s, int32_t n, const A& a, int dim = 1) {
    s.check(n, 0, static_cast<int32_t>(std::min<int64_t>(a.extent(dim), INT32_MAX)));
}

// Entries 1..n of an array read from the file each lie in lo..hi.
template <class A> void within(SnapStream& s, const A& a, int64_t n, int64_t lo, int64_t hi) {
    for (int64_t i = 1; i <= n; ++i) s.require(a(i) >= lo && a(i) <= hi);
}

// One integer record of a single value.
inline void count_record(SnapStream& s, int32_t& n) {
    s.ints(1, [&n](int32_t) -> int32_t& { return n; });
}

}  // namespace snap
