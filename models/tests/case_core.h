// The case's six-winding magnetic-circuit transformer on nodes 1 to 6 of
// subsystem 1, entered as its map declares it and set up by its model;
// the tables must already have room for it. Shared by the core-update
// tests and the transformer benchmark.
#pragma once

#include <cstdint>

#include "engine/run_state.h"
#include "models/transformers/transformers.h"
#include "models/xfmr_tables.h"

inline void enter_case_core(bool saturated) {
    XfmrTables& X = XFMR_TABLES;
    X.XF_COUNT = 1;
    X.XF_NSS(1) = 1;
    X.XF_NWDG(1) = 6;
    X.XF_KIND(1) = 1;
    X.XF_SUBSYS(1) = -1;
    X.XF_NBR(1) = 15;
    X.XF_CORETYPE(1) = 0;
    X.XF_SATON(1) = saturated ? 1 : 0;
    for (int32_t w = 1; w <= 6; ++w) X.XF_NODE1(w, 1) = w;
    const double x[] = {0, 0.1774, 0.487637, 0.980856, 2.0, 3.09543, 6.52348, 20.357, 60.215, 124.388};
    const double y[] = {0, 0.324129, 0.61284, 0.825118, 1.0, 1.08024, 1.17334, 1.26115, 1.36094, 1.49469};
    for (int32_t p = 1; p <= 10; ++p) {
        X.XF_UMCORE(8 + p) = x[p - 1];
        X.XF_UMCORE(18 + p) = y[p - 1];
    }
    RUN_FLAGS.FIRST_STEP_DATA = LTRUE;
    int32_t k = 1, type = 0;
    double s = 1.0, f = 60.0, xl = 0.01, v1 = 33.0 * 0.577350269189626, v2 = 0.69, im = 1.0, lr = 2.0, a = 1.0,
           lr2 = 2.0, a2 = 1.0;
    UMEC_TF_3P2W(k, type, s, f, xl, v1, v2, im, lr, a, lr2, a2);
    RUN_FLAGS.FIRST_STEP_DATA = LFALSE;
}
