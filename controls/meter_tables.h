// The online meter tables of a connected run, sized by the front end's
// table-size record.
#pragma once

#include <array>
#include <cstdint>

#include "platform/fortran_array.h"

struct MeterTables {
    std::array<int32_t, 5> counts{};  // the five counts of the table-size record
    FArray1<double> METER_VAL;        // (N1)
    FArray2<int32_t> METER_DEF;       // (N1, 2): subsystem and node count
    FArray2<int32_t> METER_NODES;     // (N1, 3)
    FArray1<int32_t> METER3_REF;      // (N2)
    FArray3<int32_t> METER3_LIST_A;   // (N2, 3, N3)
    FArray4<int32_t> METER3_LIST_B;   // (N2, 3, N4, 2)
    FArray4<int32_t> METER3_LIST_C;   // (N2, 3, N5, 2)
    FArray2<double> METER3_VAL;       // (N2, 3)
};

extern MeterTables METER_TABLES;
