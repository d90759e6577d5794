// The induction machine that reads its own data: a Norton source at each
// terminal node, with R-C damping branches to the neutral or ground kept
// as companion histories of its own.
#include <array>
#include <cmath>

#include "engine/abort.h"
#include "engine/model_helpers.h"
#include "engine/pointer_block.h"
#include "engine/run_state.h"
#include "engine/solution_arrays.h"
#include "engine/storage.h"
#include "models/branch_changes.h"
#include "models/machines/induction_core.h"
#include "models/machines/induction_machine.h"
#include "models/machines/machine_data_lines.h"
#include "models/machines/machine_list.h"
#include "models/setup_guard.h"
#include "network/network_tables.h"
#include "platform/text_units.h"

namespace {

constexpr int32_t kRecord = 140, kHistory = 11;
// Record words.
enum Word { R1 = 1, X1 = 6, SBASE = 18, VLL, WB, J = 82, D, GS = 85, CURVE_M, CURVE_L = 110, RATIO = 131, GR = 134, GN };

double& word(int32_t k) { return STORAGE.STOR(POINTER_BLOCK.NEXC + k); }


void read_data() {
    const Text12& name = INDUCMC_NAME;
    std::initializer_list<double*> r = {&word(1), &word(2), &word(3), &word(4), &word(5)};
    READ_MACHINE_LINE(name, 1, r);
    READ_MACHINE_LINE(name, 2, {&word(6), &word(7), &word(8), &word(9), &word(10), &word(11), &word(12), &word(13),
                                &word(14), &word(15), &word(16), &word(17)});
    READ_MACHINE_LINE(name, 3, {&word(SBASE), &word(VLL), &word(WB)});
    READ_MACHINE_LINE(name, 4, {&word(J), &word(D), &word(RATIO)});
    for (int32_t line = 5; line <= 6; ++line) {
        const int32_t first = line == 5 ? CURVE_M : CURVE_L;
        double* p[20];
        for (int32_t k = 0; k < 20; ++k) p[k] = &word(first + k);
        READ_MACHINE_LINE(name, line,
                          {p[0], p[1], p[2], p[3], p[4], p[5], p[6], p[7], p[8], p[9], p[10], p[11], p[12], p[13],
                           p[14], p[15], p[16], p[17], p[18], p[19]});
    }
}

void list_entry(int32_t kind, int32_t ss, int32_t node, double value) {
    MACHINE_LIST_ENTRY(INDUCMC_NAME, kind, ss, node, 0, value);
}

void set_up(int32_t ss, const int32_t* stator, int32_t nn, const int32_t* rotor, int32_t mode, double speed,
            int32_t nrot) {
    read_data();
    INDUCTION_CHECK_RATINGS(nrot, word(SBASE), word(VLL), word(WB), &word(X1), true);
    const int32_t n = nrot + 2;
    const double wb = word(WB), vb = word(VLL) * 0.577350269189626;
    const double zb = 3.0 * vb * vb / word(SBASE), zr = zb / (word(RATIO) * word(RATIO));
    WindingMatrix m{}, gamma{};
    INDUCMC_LMAT(&word(X1), wb, m, n);
    INDUCMC_INV(m, gamma, n);
    INDUCMC_MSAV(gamma, INDUCMC_LAYOUT.gamma_off, 1, n);
    for (int32_t k = 21; k <= 55; ++k) word(k) = 0.0;
    for (int32_t k : {81, 84, 106, 107, 108, 109, 130, 132, 133, 135}) word(k) = 0.0;
    if (mode == 1) word(43) = speed;

    double inv = 1.0 / word(X1);
    for (int32_t i = 2; i <= n; ++i) inv += 1.0 / (wb * wm(m, i, i) - word(X1));
    const double xpp = word(X1 + 1) + 1.0 / inv;
    word(GS) = wb * RUN_CLOCK.DELT / (2.0 * zb * xpp);
    word(GR) = RUN_CLOCK.DELT * wb / (2.0 * zr * word(X1 + 2));
    word(GN) = 1.0 / zb;

    // Damping branches: 20 ZB in series with a capacitor whose companion
    // resistance is ZB (ZR on the rotor).
    FArray1<double>& f = STORAGE.STORF;
    const int32_t h = POINTER_BLOCK.NSTORF;
    const double g0 = (0.05 * 20.0) / ((1.0 + 20.0) * zb), gr0 = (0.05 * 20.0) / ((1.0 + 20.0) * zr);
    const double values[11] = {g0, 2.0 * g0 / 21.0, 19.0 / 21.0, 0.0, 0.0, 0.0, gr0, 2.0 * gr0 / 21.0, 0.0, 0.0, 0.0};
    for (int32_t k = 0; k < kHistory; ++k) f(h + k) = values[k];

    for (int32_t k = 0; k < 3; ++k)
        if (stator[k] != 0) list_entry(BRCHANGE_MACHINE_PAIR, ss, stator[k], zb * xpp / wb);
    for (int32_t k = 0; k < 3; ++k)
        if (rotor[k] != 0) list_entry(BRCHANGE_MACHINE_PAIR, ss, rotor[k], zb * word(X1 + 2) / wb);
    if (nn != 0) list_entry(BRCHANGE_MACHINE_NODE, ss, nn, 1.0 / word(GN));

    NetworkTables& N = NET;
    for (int32_t k = 0; k < 3; ++k) {
        if (stator[k] != 0) N.NORMARK(stator[k], ss) = LTRUE;
        if (rotor[k] != 0) N.NORMARK(rotor[k], ss) = LTRUE;
    }
    if (nn != 0) N.NORMARK(nn, ss) = LTRUE;

    CHK_SETUP_PHASE(INDUCMC_NAME);
    const SsView<double> gm = SSDESC_RA(ss);
    const SsView<int8_t> pat = SSDESC_IA(ss);
    for (int32_t k = 0; k < 3; ++k) {
        const int32_t a = stator[k];
        if (a == 0) continue;
        if (nn != 0) {
            gm(a, nn) += g0;
            gm(nn, a) += g0;
            pat(a, nn) = pat(nn, a) = -1;
        } else {
            gm(a, a) += g0;
            pat(a, a) = -1;
        }
    }
    for (int32_t k = 0; k < 3; ++k) {
        const int32_t a = rotor[k];
        if (a == 0) continue;
        gm(a, a) += gr0;
        pat(a, a) = -1;
    }
}

void reject_curve() {
    for (const char* line : {"ERROR in saturation data", "First point need to be 0,0 and Second point",
                             "should be in the unsaturated region", "Points should be entered in ascending order."})
        write_list(UNIT_CONSOLE_OUT, {line});
    ABORT_RUN(INDUCMC_NAME, 0);
}

}  // namespace

void INDUCMC_SATCHK(double XIN, double& FACTOR, int32_t SEL) {
    const int32_t first = SEL == 1 ? CURVE_M : CURVE_L;
    std::array<double, 20> xy;
    for (int32_t k = 0; k < 20; ++k) xy[k] = word(first + k);
    FACTOR = INDUCTION_SAT_FACTOR(xy, XIN, reject_curve);
}

void INDUCMC(int32_t SS, int32_t NA, int32_t NB, int32_t NC, int32_t NN, int32_t NRA, int32_t NRB, int32_t NRC,
             double SPEED_IN, int32_t MODE, double TM, int32_t NROT) {
    const int32_t stator[3] = {NA, NB, NC}, rotor[3] = {NRA, NRB, NRC};
    CHKSS(INDUCMC_NAME, SS);
    for (int32_t node : {NA, NB, NC, NN, NRA, NRB, NRC})
        if (node != 0) CHKNODE(INDUCMC_NAME, node, SS);
    if (is_true(RUN_FLAGS.FIRST_STEP_DATA))
        set_up(SS, stator, NN, rotor, MODE, SPEED_IN, NROT);
    else
        INDUCTION_CHECK_WINDINGS(NROT);

    NetworkTables& N = NET;
    const auto V = [&](int32_t node) { return node != 0 ? N.VNODE(node, SS) : 0.0; };
    const double vb = word(VLL) * 0.577350269189626, ib = word(SBASE) / (3.0 * vb), ratio = word(RATIO);
    const double v[3] = {(V(NA) - V(NN)) / vb, (V(NB) - V(NN)) / vb, (V(NC) - V(NN)) / vb};
    const double u[3] = {V(NRA) * ratio / vb, V(NRB) * ratio / vb, V(NRC) * ratio / vb};
    const InductionStepResult r =
        INDUCTION_STEP(INDUCMC_LAYOUT,
                       INDUCTION_DATA(&word(R1), &word(X1), word(WB), word(J), word(D), NROT + 2, true), v, u, MODE, SPEED_IN, TM, [](double im, double is,
                                                                                        double& fm, double& fl) {
            INDUCMC_SATCHK(im, fm, 1);
            INDUCMC_SATCHK(is, fl, 0);
        });

    const double gs = word(GS), gr = word(GR), gn = word(GN);
    FArray1<double>& f = STORAGE.STORF;
    const int32_t h = POINTER_BLOCK.NSTORF;
    const double g1 = f(h + 1), kh = f(h + 2), gr1 = f(h + 7);
    for (int32_t k = 0; k < 3; ++k) {
        if (stator[k] != 0) N.GNOR(stator[k], SS) += gs;
        if (rotor[k] != 0) N.GNOR(rotor[k], SS) += gr;
    }
    if (NN != 0) N.GNOR(NN, SS) += gn;
    for (int32_t k = 0; k < 3; ++k) {
        if (stator[k] != 0) f(h + 3 + k) = kh * f(h + 3 + k) - (V(stator[k]) - V(NN)) * g1;
        if (rotor[k] != 0) f(h + 8 + k) = kh * f(h + 8 + k) - V(rotor[k]) * gr1;
    }
    const double ibr = r.ramp * ib;
    for (int32_t k = 0; k < 3; ++k)
        if (stator[k] != 0) N.CNOR(stator[k], SS) += gs * V(stator[k]) - r.i_abc[k] * ibr - f(h + 3 + k);
    if (NN != 0) N.CNOR(NN, SS) += f(h + 3) + f(h + 4) + f(h + 5) + gn * V(NN) + 3.0 * r.iz * ibr;
    // Rotor phase currents from winding 2.
    const double scale = ratio * ib;
    const double ir[3] = {r.id2 * scale, 0.5 * (-r.id2 - 1.732050807568877 * r.iq2) * scale,
                          0.5 * (-r.id2 + 1.732050807568877 * r.iq2) * scale};
    double c[3];
    for (int32_t k = 0; k < 3; ++k) c[k] = rotor[k] != 0 ? gr * V(rotor[k]) - ir[k] - f(h + 8 + k) : 0.0;
    const double mean = (c[0] + c[1] + c[2]) / 3.0;
    for (int32_t k = 0; k < 3; ++k)
        if (rotor[k] != 0) N.CNOR(rotor[k], SS) += c[k] - mean;
    POINTER_BLOCK.NSTORF += kHistory;
    POINTER_BLOCK.NEXC += kRecord;
}
