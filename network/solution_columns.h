// Unchecked 1-based views of one column of the node and branch tables, for
// the per-step loops of the network solution. The solution checks its
// subsystem's counts and node numbers against the table extents before it
// takes them (network/solve_network.cpp), so the loops need no check of
// their own.
#pragma once

#include <cstdint>

#include "platform/fortran_array.h"

template <class T>
struct Col {
    T* p = nullptr;
    T& operator[](int64_t k) const { return p[k - 1]; }
};

// Column ss of a (node or branch, subsystem) table.
template <class T>
Col<T> column(FArray2<T>& a, int32_t ss) {
    if (ss < 1 || ss > a.extent(2) || a.extent(1) <= 0) {
        note_array_overrun();
        return {};
    }
    return {a.data() + a.extent(1) * (ss - 1)};
}

// A whole vector.
template <class T>
Col<T> column(FArray1<T>& a) {
    return {a.data()};
}

