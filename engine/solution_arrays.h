// The subsystem solution matrices GM, GMTRI, GMPAT and GMFILL, in one
// global set or one set per subsystem, each seen through the same
// two-dimensional view of one subsystem.
#pragma once

#include <cstdint>

#include "platform/fortran_array.h"

// A 1-based (row, column) view of one subsystem's matrix, first index
// fastest. Access outside the extents lands on a spare element.
template <class T>
struct SsView {
    T* data = nullptr;
    int64_t n1 = 0, n2 = 0;

    bool empty() const { return data == nullptr || n1 <= 0 || n2 <= 0; }
    T& operator()(int64_t i, int64_t j) const {
        if (i < 1 || i > n1 || j < 1 || j > n2 || data == nullptr) {
            note_array_overrun();
            static thread_local T spare;
            spare = T{};
            return spare;
        }
        return data[(i - 1) + n1 * (j - 1)];
    }
};

SsView<double> SSDESC_RA(int32_t ss);   // GM
SsView<double> SSDESC_RB(int32_t ss);   // GMTRI
SsView<int8_t> SSDESC_IA(int32_t ss);   // GMPAT
SsView<int8_t> SSDESC_IB(int32_t ss);   // GMFILL

void ALLOC_SSLIST(int32_t n, int32_t& status);
void ALLOCATION(int32_t nss, int32_t& status);
void DEALLOCATION(int32_t& status);
void DEALLOCATE_ALL(int32_t& status);
