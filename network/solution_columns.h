// Unchecked 1-based views of one column of the node and branch tables, for
// the per-step loops of the network solution. The solution checks its
// subsystem's counts and node numbers against the table extents before it
// takes them (network/solve_network.cpp), so the loops need no check of
// their own.
#pragma once

#include <cstdint>
#include <cstring>

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

// dst := src over n entries, bit for bit; blocks that already hold the
// same bits are only read, so an array that rarely changes costs no
// writes.
template <class T>
inline void copy_changed(const T* src, T* dst, int64_t n) {
    static_assert(sizeof(T) == sizeof(uint64_t));
    constexpr int64_t kBlock = 8;
    int64_t k = 0;
    for (; k + kBlock <= n; k += kBlock) {
        uint64_t diff = 0;
        for (int64_t j = 0; j < kBlock; ++j) {
            uint64_t a, b;
            std::memcpy(&a, src + k + j, sizeof a);
            std::memcpy(&b, dst + k + j, sizeof b);
            diff |= a ^ b;
        }
        if (diff != 0) std::memcpy(dst + k, src + k, kBlock * sizeof(T));
    }
    if (k < n) std::memcpy(dst + k, src + k, static_cast<size_t>(n - k) * sizeof(T));
}
