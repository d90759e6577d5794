// The permanent-magnet machine that reads its own data: a Norton source
// at each terminal node.
#include <string_view>

#include "engine/abort.h"
#include "engine/model_helpers.h"
#include "engine/pointer_block.h"
#include "engine/run_state.h"
#include "engine/storage.h"
#include "models/branch_changes.h"
#include "models/machines/machine_data_lines.h"
#include "models/machines/machine_list.h"
#include "models/machines/pm_dq_model.h"
#include "models/machines/pm_machine.h"
#include "network/network_tables.h"
#include "controls/sync/sync_blocks.h"
#include "platform/text_units.h"

namespace {

// Record positions of STORF(NSTORF + pos - 1).
enum Pos { VBASE = 1, IRATED, OMEGA, XD_ = 5, RA = 12, EMF = 15, INVD, INVQ, THETA, COND = 27, RECORD = 30 };

[[noreturn]] void unrealistic(std::string_view text) {
    write_list(UNIT_CONSOLE_OUT, {text});
    ABORT_RUN(PM_NAME, 0);
}

void set_up(int32_t ss, const int32_t* nodes, const int32_t* snubbers, int32_t at) {
    double V = 0, I = 0, w = 0, x[7] = {}, r[3] = {}, E = 0, Rint = 0, Rsnb = 0, Nsnb = 0;
    READ_MACHINE_LINE(PM_NAME, 1, {&V, &I, &w});
    READ_MACHINE_LINE(PM_NAME, 2, {&x[0], &x[1], &x[2], &x[3], &x[4], &x[5], &x[6]});
    READ_MACHINE_LINE(PM_NAME, 3, {&r[0], &r[1], &r[2]});
    READ_MACHINE_LINE(PM_NAME, 4, {&E});
    READ_MACHINE_LINE(PM_NAME, 5, {&Rint});
    READ_MACHINE_LINE(PM_NAME, 6, {&Rsnb, &Nsnb});
    FArray1<double>& f = STORAGE.STORF;
    const auto put = [&](int32_t pos, double v) { f(at + pos - 1) = v; };
    put(VBASE, V * 0.577350269189626);
    put(IRATED, I);
    put(OMEGA, w);
    for (int32_t k = 0; k < 7; ++k) put(XD_ + k, x[k]);
    for (int32_t k = 0; k < 3; ++k) put(RA + k, r[k]);
    put(EMF, E);
    // Every one of these divides below.
    if (!(V > 0.0) || !(I > 0.0) || !(w > 0.0)) unrealistic("Unrealistic rated voltage, current or frequency");
    const double detD = x[0] * x[4] - x[2] * x[2], detQ = x[1] * x[5] - x[3] * x[3];
    if (!(detD > 1e-10)) unrealistic("Unrealistic D axis data");
    put(INVD, 1.0 / detD);
    if (!(detQ > 1e-10)) unrealistic("Unrealistic Q axis data");
    put(INVQ, 1.0 / detQ);
    if (!(x[6] > 0.0)) unrealistic("Unrealistic zero sequence reactance");
    if (!(Rint > 0.0)) unrealistic("Unrealistic interface resistance");
    for (int32_t pos = THETA; pos < COND; ++pos) put(pos, 0.0);
    put(COND, 1.0 / Rint);
    NetworkTables& N = NET;
    for (int32_t k = 0; k < 3; ++k)
        if (nodes[k] != 0) N.NORMARK(nodes[k], ss) = LTRUE;
    const double R = V * 0.577350269189626 * Rsnb / I, C = Nsnb * RUN_CLOCK.DELT * 1e6 / R;
    for (int32_t k = 0; k < 3; ++k) BRCHANGE(ss, snubbers[k], R, C);
    for (int32_t k = 0; k < 3; ++k)
        if (nodes[k] != 0) MACHINE_LIST_ENTRY(PM_NAME, BRCHANGE_MACHINE_PAIR, ss, nodes[k], 0, V * x[0] / (I * w));
}

}  // namespace

void PM_MACHINE(int32_t SS, const int32_t* NODES, int32_t BR1, int32_t BR2, int32_t BR3, double SPEED, double& TE) {
    CHKSS(PM_NAME, SS);
    for (int32_t k = 0; k < 3; ++k)
        if (NODES[k] != 0) CHKNODE(PM_NAME, NODES[k], SS);
    const int32_t at = POINTER_BLOCK.NSTORF;
    POINTER_BLOCK.NSTORF += RECORD;
    const int32_t snubbers[3] = {BR1, BR2, BR3};
    if (is_true(RUN_FLAGS.FIRST_STEP_DATA)) set_up(SS, NODES, snubbers, at);

    const FArray1<double>& f = STORAGE.STORF;
    const auto get = [&](int32_t pos) { return f(at + pos - 1); };
    const double vbase = get(VBASE), irated = get(IRATED), w = get(OMEGA), g = get(COND);
    const PmAxisData p{get(5), get(6), get(7), get(8), get(9), get(10), get(11), get(12), get(13), get(14)};
    NetworkTables& N = NET;
    double v[3];
    for (int32_t k = 0; k < 3; ++k) v[k] = NODES[k] != 0 ? N.VNODE(NODES[k], SS) / vbase : 0.0;

    WindingMatrix a{}, as{}, b{};
    PM_MATRICES(p, get(INVD), get(INVQ), a, as, b);
    const double h = 0.5 * w * RUN_CLOCK.DELT;
    for (size_t k = 0; k < a.size(); ++k) {
        a[k] = h * (a[k] + SPEED * as[k]);
        b[k] *= 2.0 * h;
    }
    const double th = PM_DQ_STEP(at + THETA - 1, v, w, SPEED, get(EMF), a, b);
    const int32_t x = at + THETA - 1 + 4;
    double ia = 0.0, ib = 0.0, ic = 0.0, iq = f(x + 1), id = f(x), i0 = f(x + 2);
    ABC_DQ0(ia, ib, ic, iq, id, i0, th, -1);
    const double i[3] = {ia, ib, ic};
    for (int32_t k = 0; k < 3; ++k) {
        if (NODES[k] == 0) continue;
        N.CNOR(NODES[k], SS) += g * vbase * v[k] - irated * i[k];
        N.GNOR(NODES[k], SS) += g;
    }
    TE = PM_TORQUE(at + THETA - 1, get(EMF), p.Xd, p.Xq, p.Xmd, p.Xmq);
}
