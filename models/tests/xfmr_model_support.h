// Transformers declared straight into the tables for the component-model
// tests: transformer k's windings on their own nodes to ground, all in
// subsystem 1; the winding matrices the models hand over read back from
// XF_RLIN.
#pragma once

#include <initializer_list>
#include <string>

#include "models/setup_guard.h"
#include "models/tests/xfmr_test_support.h"
#include "models/transformers/transformers.h"
#include "network/tests/map_test_support.h"

class ModelTest : public XfmrTest {
protected:
    // One transformer for each winding count given (again after a stop,
    // which frees the storage).
    void declare(std::initializer_list<int32_t> windings) {
        allocate({{ND_NODES, 20}, {ND_SUBSYS, 1}, {ND_BRANCHES, 1}, {ND_WINDINGS, 6}, {ND_TRAFOS, 4}, {ND_RTCF, 4}});
        matrices(1, 20);
        NET.NBUSES(1) = 20;
        RUN_CLOCK.DELT = 50e-6;
        RUN_FLAGS.FIRST_STEP_DATA = LTRUE;
        XfmrTables& X = XFMR_TABLES;
        int32_t k = 0, node = 0;
        for (const int32_t n : windings) {
            ++k;
            X.XF_NWDG(k) = n;
            X.XF_SUBSYS(k) = 1;
            for (int32_t w = 1; w <= n; ++w) X.XF_NODE1(w, k) = ++node;
        }
        X.XF_COUNT = k;
        X.XF_NSS(1) = k;
    }
    // The matrix entry (j, i) and resistance of winding i handed over last.
    static double M(int32_t j, int32_t i) {
        return j <= i ? XFMR_TABLES.XF_RLIN(2 * j, i) : XFMR_TABLES.XF_RLIN(2 * i, j);
    }
    static double R(int32_t i) { return XFMR_TABLES.XF_RLIN(2 * i - 1, i); }
};

inline std::string error_line(const std::string& t) { return " ***ERROR** " + t + "\n"; }
