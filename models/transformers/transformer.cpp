#include <cmath>

#include "engine/abort.h"
#include "engine/run_state.h"
#include "models/setup_guard.h"
#include "models/transformers/companion_matrices.h"
#include "models/transformers/magnetic_circuit.h"
#include "models/transformers/transformers.h"
#include "models/xfmr_tables.h"

namespace {

const Text12 kName = "TRANSFORMER ";

[[noreturn]] void unrealisable(const char* text) {
    USERMSG(CURRENT_IDS.id1, CURRENT_IDS.id2, 2, 1, text);
    ABORT_RUN(kName, 0);
}

void unpack_windings(int32_t k, int32_t form, int32_t n) {
    XfmrTables& X = XFMR_TABLES;
    const double delt = RUN_CLOCK.DELT;
    for (int32_t i = 1; i <= n; ++i)
        for (int32_t j = 1; j <= i; ++j) {
            const double r = X.XF_RLIN(2 * j - 1, i), second = X.XF_RLIN(2 * j, i);
            X.XF_WR(j, i) = X.XF_WR(i, j) = r;
            double g;
            if (form == 1) {
                g = second * delt * 0.5;
                X.XF_LTERM(j, i, k) = g;
            } else {
                X.XF_LTERM(j, i, k) = second * 2.0 / delt;
                g = X.XF_LTERM(j, i, k) + r;
            }
            X.XF_WG(j, i) = X.XF_WG(i, j) = g;
            X.XF_LTERM(i, j, k) = X.XF_LTERM(j, i, k);
            X.XF_RES(j, i, k) = X.XF_RES(i, j, k) = r;
        }
}

void magnetic_core(int32_t k, int32_t n) {
    XfmrTables& X = XFMR_TABLES;
    for (int32_t w = 1; w <= n; ++w) {
        X.XF_WDGC1(w, k) = X.XF_UMWDG(w, 1);
        X.XF_WDGC2(w, k) = X.XF_UMWDG(w, 2);
    }
    FArray1<double>* core[] = {&X.XF_CORE1, &X.XF_CORE2, &X.XF_CORE3, &X.XF_CORE4,
                               &X.XF_CORE5, &X.XF_CORE6, &X.XF_CORE7, &X.XF_CORE8};
    for (int32_t c = 0; c < 8; ++c) (*core[c])(k) = X.XF_UMCORE(c + 1);
    for (int32_t p = 1; p <= 10; ++p) {
        X.XF_BHX(p, k) = X.XF_UMCORE(8 + p);
        X.XF_BHY(p, k) = X.XF_UMCORE(18 + p);
    }
    if (X.XF_SATON(k) == 1) {
        const CurveCheck c = xfmr_check_curve(k);
        const CurrentIds& ids = CURRENT_IDS;
        if (c == CurveCheck::NoData) USERWARN(ids.id1, ids.id2, 1, "BH curve has no data, Saturation disabled");
        if (c == CurveCheck::PointsDropped)
            USERWARN(ids.id1, ids.id2, 1, "BH curve has unrealistic data points, Some points were ignored");
    }
    // A pivot passed over leaves a Gamma that is not the core's.
    if (XFMR_SATSET(k, X.XF_WZ) != 0) unrealisable("Unrealisable Transformer Leakage Values");
    xfmr_core_conductance(k, n);
}

}  // namespace

void TRANSFORMER(int32_t& k, int32_t& form) {
    xfmr_check_number(kName, k);
    if (form < 1 || form > 3) {
        USERMSG(CURRENT_IDS.id1, CURRENT_IDS.id2, 2, 1, "Unexpected transformer type");
        ABORT_RUN(kName, 0);
    }
    // The node conductances take a change only before they are summed.
    CHK_SETUP_PHASE(kName);
    XfmrTables& X = XFMR_TABLES;
    const int32_t n = X.XF_NWDG(k);
    const int32_t w = static_cast<int32_t>(X.XF_WG.extent(1));
    for (int32_t j = 1; j <= w; ++j)
        for (int32_t i = 1; i <= w; ++i) {
            X.XF_WG(i, j) = X.XF_WR(i, j) = 0.0;
            X.XF_LTERM(i, j, k) = X.XF_RES(i, j, k) = 0.0;
        }
    if (form == 3)
        magnetic_core(k, n);
    else
        unpack_windings(k, form, n);
    if (form == 1) {
        // A = (DELT/2) Gamma moves to XF_WZ, where the conductance is formed from.
        for (int32_t j = 1; j <= n; ++j)
            for (int32_t i = 1; i <= n; ++i) X.XF_WZ(i, j) = X.XF_WG(i, j);
        if (!xfmr_gamma_conductance(n, 1e-32)) unrealisable("Unrealisable Transformer Leakage or Copper loss Values");
    }
    if (form == 2 && !xfmr_invert(X.XF_WG, n, 1e-32)) unrealisable("Unrealisable Transformer Leakage Values");

    for (int32_t j = 1; j <= n; ++j)
        for (int32_t i = 1; i <= n; ++i) X.XF_WT1(i, j) = X.XF_WG(i, j) - X.XF_GEQ(i, j, k);
    xfmr_stamp(std::abs(X.XF_SUBSYS(k)), k, X.XF_WT1, false);
    xfmr_store_companion(k);
}
