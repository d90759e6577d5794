// The grid converter with its control: its coupling inductances and DC
// capacitance sized from the ratings, the measurements at its terminals,
// and the control, filter, chopper and bridge under it.
#include <cmath>

#include "case/module_frame.h"
#include "case/modules.h"
#include "controls/measurement/three_phase_power_body.h"
#include "controls/window/windowed_rms.h"
#include "engine/model_helpers.h"
#include "engine/run_state.h"
#include "link/panel.h"
#include "network/varbranch.h"

namespace {

constexpr ModuleCounts kVsc{.nodes = 17, .subsystems = 2, .branches = {2, 9, 0}, .stoi = 6, .stof = 86, .channels = 23};

constexpr double kTwoPi = 6.283185307179586, kSqrt2 = 1.414213562373095, kInvSqrt3 = 0.577350269189626;
constexpr int32_t kMeterId = 159494619, kMeter2Id = 322643086;

// Measured P, Q and RMS voltage of one meter group with its panel items.
struct Meter {
    double p, q, v;
};

[[gnu::always_inline]] inline Meter measure(const ModuleFrame& f, int32_t id, int32_t first_branch,
                                             const int32_t (&nodes)[3]) {
    const MeterConstants c = READ_METER_CONSTANTS(f);
    const int32_t ss = f.ss(2), inst = f.instance();
    const bool show = is_true(RUN_FLAGS.OUTPUT_STEP);
    const int32_t b1 = f.branch(first_branch, 2), b2 = f.branch(first_branch + 1, 2), b3 = f.branch(first_branch + 2, 2);
    Meter m{};
    double p = 0.0, q = 0.0;
    pq3ph3(ss, b1, b2, b3, c.tau, 0, p, q);
    m.p = c.gain * p;
    if (show) PANEL_TEXT(inst, id, m.p, "Pd", 2);
    m.q = c.gain * q;
    if (show) PANEL_TEXT(inst, id, m.q, "Qd", 2);
    double rms = 0.0;
    rms_node_v(256, ss, nodes[0], nodes[1], nodes[2], c.freq, 1.0, 0.0, rms);
    m.v = c.scale * rms;
    if (show) PANEL_TEXT(inst, id, m.v, "Vd", 2);
    if (is_true(RUN_FLAGS.FIRST_STEP_RUN)) {
        PANEL_INT(inst, id, 1, "hide1", 5);
        PANEL_INT(inst, id, 1, "hide2", 5);
    }
    return m;
}

}  // namespace

void VSCandCtrl_DSD(CI ParamSel, CR Sbase, CR LfGiven, CR Vbase, CR Fbase, CR CdcGiven, CR Imax, CR BridgeIn5,
                    CI DAxisSel, CI AuxSel, CI LimPriority, CI CtrlOn, CR KpPll, CR KpPi12, CR AuxDefault, CR PRef,
                    CR OuterSet, CR KpPi14, CR TiPi14, CR AuxA, CR AuxB, CR KiPll, CR TiPi12, CR KpPi13, CR VdcRef,
                    CR QRef, CR KpPi2a, CR TiPi2a, CR TiPi13, CR QRefLim, CR KpPi2b, CR TiPi2b, CR KpPi11,
                    CR TiPi11, CI FiltSel, CR Fres, CR CbGiven, CR RdGiven, CR L2Given, CR CaGiven, CR ChopIn2,
                    CR ChopIn3, CR ChopIn4) {
    ModuleFrame f("VSCandCtrl_DSD", "VSCandCtrl.dta", Pass::DSD, kVsc);
    const double Vdc = f.stof(47), Pd = f.stof(56), Qd = f.stof(86);
    const double I_GS[3] = {f.stof(50), f.stof(51), f.stof(52)};
    const double V_GS[3] = {f.stof(53), f.stof(54), f.stof(55)};

    const double Zbase = GUARDED_DIV(Vbase * Vbase, Sbase);
    const double Wbase = Fbase * kTwoPi;
    const double Lbase = GUARDED_DIV(Zbase, Wbase);
    const double VphPk = Vbase * kSqrt2 * kInvSqrt3;
    const double VdcBase = GUARDED_DIV(2.0 * VphPk, 0.9);
    const double Cbase = GUARDED_DIV(1.0, Zbase * Wbase);

    const double LConv = ParamSel == f.next_rtci() ? LfGiven : 0.05 * Lbase;
    SETIDS(f.instance(), 749551634);
    for (int32_t k = 4; k <= 6; ++k) VARBRANCH_SET(1, f.ss(2), f.branch(k, 2), 0, LConv, 0.0);

    double RT_1[3] = {f.stof(38), f.stof(39), f.stof(40)};
    Ctrl_DSD(V_GS, CtrlOn, RT_1, Vdc, I_GS, Qd, OuterSet, Pd, DAxisSel, AuxSel, LimPriority, AuxDefault, VdcRef, PRef,
             QRef, Sbase, Fbase, Vbase, VdcBase, LConv, FiltSel, Imax, 0.15, KpPi2a, TiPi2a, KpPll, KiPll, KpPi14,
             TiPi14, AuxA, AuxB, KpPi13, TiPi13, QRefLim, KpPi12, TiPi12, KpPi11, TiPi11, KpPi2b, TiPi2b);
    const double REF_GR[6] = {RT_1[0], RT_1[1], RT_1[2], static_cast<double>(CtrlOn), BridgeIn5, Fbase};

    const double Cdc = ParamSel == f.next_rtci() ? CdcGiven : 5.0 * Cbase * 1e6;
    Filter_L_DSD(FiltSel, L2Given, CbGiven, CaGiven, RdGiven, Fres, LConv);
    Chopper_DSD(Vdc, ChopIn2, ChopIn3, ChopIn4);
    ConvBridge_Avg_6_DSD(REF_GR, 0.0005, VdcBase);
    SETIDS(f.instance(), 2082818362);
    VARBRANCH_SET(2, f.ss(1), f.branch(1, 1), 0, Cdc, 0.0);

    f.pgb(8) = AuxDefault;
    f.pgb(9) = VdcRef;
    for (int32_t k = 0; k < 3; ++k) f.pgb(13 + k) = f.pgb(21 + k) = I_GS[k];

    const double args[] = {Sbase,  LfGiven, Vbase,  Fbase,   CdcGiven, Imax,   BridgeIn5, KpPll,   KpPi12,
                           AuxDefault, PRef, OuterSet, KpPi14, TiPi14, AuxA,     AuxB,   KiPll,     TiPi12,  KpPi13,
                           VdcRef, QRef,    KpPi2a, TiPi2a,  TiPi13,   QRefLim, KpPi2b,    TiPi2b,  KpPi11,
                           TiPi11, Fres,    CbGiven, RdGiven, L2Given, CaGiven, ChopIn2,   ChopIn3, ChopIn4};
    f.put_stof(1, args);
    for (int32_t k = 0; k < 3; ++k) f.stof(38 + k) = f.stof(57 + k) = RT_1[k];
    for (int32_t k = 0; k < 6; ++k) f.stof(41 + k) = REF_GR[k];
    f.stof(60) = CtrlOn;
    const double tail[] = {Lbase, Vbase * Vbase, kTwoPi, f.stof(67), VdcBase, 2.0 * VphPk, 0.9, kSqrt2,
                           Vbase * kSqrt2, VphPk, kInvSqrt3, 2.0, 1.0, Cbase, Zbase * Wbase, 5.0 * Cbase, Zbase,
                           Wbase, 5.0 * Cbase * 1e6, 0.05 * Lbase, LConv, Cdc};
    f.put_stof(64, tail);
    const int32_t ints[] = {ParamSel, DAxisSel, AuxSel, LimPriority, CtrlOn, FiltSel};
    f.put_stoi(1, ints);
    f.leave();
}

void VSCandCtrl_DSO() {
    ModuleFrame f("VSCandCtrl_DSO", "VSCandCtrl.dta", Pass::DSO, kVsc);
    int32_t SABC[3], NT_2[3], NT_4[3];
    for (int32_t k = 1; k <= 3; ++k) {
        SABC[k - 1] = f.node(3 + k);
        NT_2[k - 1] = f.node(10 + k);
        NT_4[k - 1] = f.node(14 + k);
    }
    const int32_t ss2 = f.ss(2);
    double V_GS[3], E_CON[3], I_GS[3];
    for (int32_t k = 0; k < 3; ++k) V_GS[k] = NODEVDIFF(ss2, SABC[k], 0);
    const Meter m1 = measure(f, kMeterId, 1, SABC);
    const double Vdc = NODEVDIFF(f.ss(1), f.node(14), f.node(3));
    const double Idc = f.cbr(2, 1);
    for (int32_t k = 0; k < 3; ++k) E_CON[k] = NODEVDIFF(ss2, NT_2[k], 0);
    const Meter m2 = measure(f, kMeter2Id, 7, NT_4);
    for (int32_t k = 0; k < 3; ++k) I_GS[k] = f.cbr(4 + k, 2);

    Ctrl_DSO();
    Filter_L_DSO();
    Chopper_DSO();
    ConvBridge_Avg_6_DSO();

    f.pgb(1) = m1.q;
    f.pgb(2) = Idc;
    f.pgb(3) = m2.q;
    f.pgb(4) = m2.p;
    for (int32_t k = 0; k < 3; ++k) {
        f.pgb(5 + k) = E_CON[k];
        f.pgb(10 + k) = f.pgb(18 + k) = V_GS[k];
        f.stof(50 + k) = I_GS[k];
        f.stof(53 + k) = V_GS[k];
        f.stof(61 + k) = E_CON[k];
    }
    f.pgb(16) = Vdc;
    f.pgb(17) = m1.p;
    f.stof(47) = Vdc;
    f.stof(48) = m2.p;
    f.stof(49) = m2.q;
    f.stof(56) = m1.p;
    f.stof(66) = kTwoPi;
    f.stof(67) = Idc;
    f.stof(70) = 0.9;
    f.stof(71) = kSqrt2;
    f.stof(74) = kInvSqrt3;
    f.stof(75) = 2.0;
    f.stof(76) = 1.0;
    f.stof(86) = m1.q;
    f.leave();
}

void VSCandCtrl_DSD_BEGIN(CI, CR Sbase, CR, CR Vbase, CR Fbase, CR, CR, CR, CR QRefLim, CI, CR, CR CbGiven,
                          CR RdGiven, CR L2Given, CR CaGiven) {
    ModuleFrame f("VSCandCtrl_DSD_BEGIN", "", Pass::DSD_BEGIN, kVsc);
    f.put_rtci(0);
    for (int32_t k = 4; k <= 6; ++k) VARBRANCH_INIT(1, f.ss(2), f.branch(k, 2), 0);
    Ctrl_DSD_BEGIN(Sbase, Fbase, Vbase, QRefLim);
    f.put_rtci(0);
    Filter_L_DSD_BEGIN(L2Given, CbGiven, CaGiven, RdGiven);
    Chopper_DSD_BEGIN();
    ConvBridge_Avg_6_DSD_BEGIN(0.0005);
    VARBRANCH_INIT(2, f.ss(1), f.branch(1, 1), 0);
}

void VSCandCtrl_DSO_BEGIN(CI, CR Sbase, CR, CR Vbase, CR Fbase, CR, CR, CR, CR QRefLim, CI, CR, CR CbGiven,
                          CR RdGiven, CR L2Given, CR CaGiven) {
    ModuleFrame f("VSCandCtrl_DSO_BEGIN", "", Pass::DSO_BEGIN, kVsc);
    PUT_METER_CONSTANTS(f, INVERSE_OR_ONE(Vbase), Fbase);
    PUT_METER_CONSTANTS(f, 1.0, Fbase);
    Ctrl_DSO_BEGIN(Sbase, Fbase, Vbase, QRefLim);
    Filter_L_DSO_BEGIN(L2Given, CbGiven, CaGiven, RdGiven);
    Chopper_DSO_BEGIN();
    ConvBridge_Avg_6_DSO_BEGIN(0.0005);
}
