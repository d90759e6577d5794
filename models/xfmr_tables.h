// The transformer tables, shared by the transformer reader, the
// transformer models and the network solution. Created with the other
// storage arrays (engine/storage.cpp); W = "WINDINGS", T = "TRAFOS",
// S = "SUBSYS" (each an available size, at least 1).
#pragma once

#include <cstdint>

#include "platform/fortran_array.h"

struct XfmrTables {
    int32_t XF_COUNT = 0;                     // transformers entered in this run
    // Per-transformer network tables.
    FArray1<int32_t> XF_KIND;                 // data form code (T)
    FArray1<int32_t> XF_NSS;                  // transformers per subsystem (S)
    FArray1<int32_t> XF_NWDG;                 // winding count (T)
    FArray2<int32_t> XF_NODE1, XF_NODE2;      // winding nodes (W, T), 0 = ground
    FArray1<int32_t> XF_SUBSYS;               // subsystem, by magnitude (T)
    FArray3<double> XF_RES, XF_LTERM;         // (W, W, T)
    FArray3<double> XF_GEQ, XF_HIST;          // (W, W, T)
    FArray2<double> XF_HNEW, XF_HOLD;         // history current and its previous value (W, T)
    FArray2<double> XF_CUR;                   // winding current (W, T)
    FArray2<double> XF_CURTOT;                // winding plus magnetising current, for the meters (W, T)
    FArray1<double> XF_ROW;                   // one winding record's value pairs (2W)

    // Magnetic-circuit and saturation tables.
    FArray1<double> XF_CORE1, XF_CORE2, XF_CORE3, XF_CORE4, XF_CORE5, XF_CORE6, XF_CORE7, XF_CORE8;
    FArray1<int32_t> XF_SATON, XF_COREOPT, XF_NBR, XF_CORETYPE, XF_RAMPON;  // (T)
    FArray2<double> XF_BHX, XF_BHY;           // B-H curve (10, T)
    FArray2<double> XF_WDGC1, XF_WDGC2;       // (W, T)
    FArray2<double> XF_BFLUX, XF_BFLUXOLD;    // (23, T)
    FArray2<int32_t> XF_SEGST;                // (23, T)
    FArray2<double> XF_IMAG, XF_IMAGOLD;      // (W, T)
    FArray2<double> XF_VW, XF_VWOLD;          // (W, T)
    FArray1<double> XF_RAMP;                  // (T)
    FArray1<int32_t> SS_XFSEGCHG;             // a core branch changed segment this step (S), -1 true

    // Input arrays of the common transformer set-up.
    FArray2<double> XF_RLIN;                  // (2W, W)
    FArray2<double> XF_UMWDG;                 // (W, 2)
    FArray1<double> XF_UMCORE;                // c1..c8, curve X(1..10), Y(1..10) (28)

    // Work arrays, meaning nothing between calls.
    FArray2<double> XF_WR, XF_WZ, XF_WG, XF_WT1, XF_WT2;  // (W, W)
    FArray1<double> XF_WV, XF_WI;             // (W)
    FArray1<double> XF_VARWORK;               // reader and model work (VARS)
    FArray1<int32_t> XF_NODEWORK;             // (NODES)
};

extern XfmrTables XFMR_TABLES;
