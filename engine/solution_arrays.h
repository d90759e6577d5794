// The subsystem solution matrices GM, GMTRI, GMPAT and GMFILL, in one
// global set or one set per subsystem, each seen through the same
// two-dimensional view of one subsystem.
#pragma once

#include <cstdint>
#include <vector>

#include "engine/memory_budget.h"
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
    // Column j as a 1-based pointer (element i of the column is col(j)[i]);
    // for inner loops that have checked their bounds against n1 and n2.
    T* col(int64_t j) const { return data + n1 * (j - 1) - 1; }
};

// One matrix: its elements, first index fastest, and whether it exists.
template <class T>
struct SsMatrix {
    std::vector<T> v;
    int64_t n1 = 0, n2 = 0, n3 = 0;
    bool allocated = false;
};

// One subsystem's set in the per-subsystem layout.
struct SsRecord {
    SsMatrix<double> GMTRI, GM;
    SsMatrix<int8_t> GMPAT, GMFILL;
};

struct SolutionArrays {
    // Node count of every subsystem, from the "SUBSYSDIM:" section
    // (entry ss; created by ALLOC_SSLIST with ND2 entries).
    FArray1<int32_t> SSDIM;
    // Global layout: ND1 x ND1 x ND2 each.
    SsMatrix<double> GMTRI, GM;
    SsMatrix<int8_t> GMPAT, GMFILL;
    // Per-subsystem layout.
    std::vector<SsRecord> records;
    bool records_allocated = false;
};

extern SolutionArrays SOLUTION_ARRAYS;

// Accessors: a bad subsystem number ends the run with the subsystem-number
// messages; a subsystem whose matrices were never created gives an empty
// view.
SsView<double> SSDESC_RA(int32_t ss);   // GM
SsView<double> SSDESC_RB(int32_t ss);   // GMTRI
SsView<int8_t> SSDESC_IA(int32_t ss);   // GMPAT
SsView<int8_t> SSDESC_IB(int32_t ss);   // GMFILL

// The four at once, the subsystem number checked once (a bad one ends the
// run as SSDESC_RA does).
struct SsViews {
    SsView<double> gm, tri;
    SsView<int8_t> pat, fill;
};
SsViews SSDESC_ALL(int32_t ss);

// Bytes the matrices would take at the available sizes: in the layout of
// one set per subsystem, those of the given cells (n * n for a subsystem of
// n nodes); in the global one, the node count squared for every subsystem.
ByteCount planned_matrix_bytes(bool per_subsystem_layout, ByteCount cells);
// Bytes the matrices take now.
ByteCount held_matrix_bytes();

void ALLOC_SSLIST(int32_t n, int32_t& status);
// Creates (first call) and initialises the matrices from SOLUTION_ARRAYS.SSDIM.
// In the per-subsystem layout a subsystem that a later run gives more
// nodes than its record holds gets its record created anew at that size.
void ALLOCATION(int32_t nss, int32_t& status);
void DEALLOCATION(int32_t& status);
void DEALLOCATE_ALL(int32_t& status);
