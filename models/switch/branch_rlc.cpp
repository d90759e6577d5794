#include "models/switch/branch_rlc.h"

#include <cmath>

#include "engine/abort.h"
#include "engine/model_helpers.h"
#include "engine/run_state.h"
#include "engine/solution_arrays.h"
#include "models/setup_guard.h"
#include "network/branches.h"
#include "network/companion.h"
#include "network/network_tables.h"
#include "platform/text_units.h"

namespace {

constexpr double kTiny = 1e-20;

bool finite_all(std::initializer_list<double> values) {
    for (double x : values)
        if (!std::isfinite(x)) return false;
    return true;
}

// (entry - old) + g is exactly g when the entry held only this branch.
void correct(double& entry, double g_old, double g) { entry = (entry - g_old) + g; }

}  // namespace

void BRANCH_RLC(int32_t br, int32_t ss, int32_t has_r, int32_t has_l, int32_t has_c, double R, double L, double C) {
    const Text12 name("BRANCH_RLC");
    CHK_SETUP_PHASE(name);
    CHKBRANCH(name, br, ss);
    NetworkTables& N = NET;
    const double delt = RUN_CLOCK.DELT;
    const int32_t f = N.IEF(br, ss), t = N.IET(br, ss);
    const double g_old = N.GEQ(br, ss);

    const double l = has_l != 0 ? L : 0.0;
    const double xl = has_l != 0 ? 2.0 * l / delt : 0.0;
    const double c = has_c != 0 ? C : 0.0;
    // A present capacitance of 0 leaves the branch open, without a
    // reactance to divide by.
    const bool open_c = has_c != 0 && c == 0.0;
    const double xc = has_c != 0 && !open_c ? 500000.0 * delt / c : 0.0;
    double r = has_r != 0 ? R : 0.0;
    const double z = (r + xl) + xc;
    if (!finite_all({r, l, c, xl, xc, z})) {
        write_list(UNIT_CONSOLE_OUT, {"Branch ", br, " in SS ", ss});
        write_list(UNIT_CONSOLE_OUT, {"has R, L or C values out of range."});
        ABORT_RUN(name, 0);
    }

    N.INDUCTOR(br, ss) = as_logical(has_l != 0);
    if (has_l == 0) N.G2L(br, ss) = 0.0;
    else if (std::fabs(xl) > kTiny) N.G2L(br, ss) = 1.0 / xl;
    N.BRANCH_L(br, ss) = l;

    N.CAPACITR(br, ss) = as_logical(has_c != 0);
    if (has_c == 0 || open_c) N.G2C(br, ss) = 0.0;
    else if (std::fabs(xc) > kTiny) N.G2C(br, ss) = 1.0 / xc;
    N.BRANCH_C(br, ss) = c * 1e-6;

    N.RESISTOR(br, ss) = as_logical(has_r != 0);
    if (has_r != 0 && std::fabs(r) <= 1.0 / N.GIDEAL(ss)) {
        r = 0.0;
        drop_small_resistance(br, ss);
    }
    N.BRANCH_R(br, ss) = r;

    const double zr = (r + xl) + xc;
    double g = std::fabs(zr) > kTiny ? 1.0 / zr : 0.0;
    if (open_c || is_true(N.IDEALBR(br, ss))) g = 0.0;
    set_companion(br, ss, g, r, xl, xc);

    if (is_true(N.SWITCH(br, ss))) return;  // the switch logic owns its entry
    const SsView<double> gm = SSDESC_RA(ss);
    if (f == 0 || t == 0) {
        const int32_t k = f != 0 ? f : t;
        if (k != 0) correct(gm(k, k), g_old, g);
    } else {
        // Each entry on its own: a line end may have made the pair differ.
        correct(gm(f, t), g_old, g);
        correct(gm(t, f), g_old, g);
    }
}
