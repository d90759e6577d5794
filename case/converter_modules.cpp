// The battery converter and the grid converter with its control, filter,
// chopper and bridge. Their bodies are still to come: each claims its full
// share of the pointers and calls its sub-modules in tree order, so that
// the whole tree runs.
#include "case/module_frame.h"
#include "case/modules.h"
#include "case/pi_antiwindup.h"

namespace {

// nodes, subsystems, branches per subsystem, STOI, STOF, channels, controls
const ModuleCounts kDcDc{8, 1, {9, 0, 0}, 10, 34, 19, 8};
const ModuleCounts kVsc{17, 2, {2, 9, 0}, 6, 86, 23, 0};
const ModuleCounts kCtrl{2, 0, {}, 17, 165, 37, 1};
const ModuleCounts kChopper{5, 1, {3, 0, 0}, 1, 4, 1, 0};
const ModuleCounts kBridge{16, 1, {21, 0, 0}, 2, 48, 10, 0};

// A regulator at rest: no error, its limits in order.
void idle_pi(void (*pi)(const double&, double&, const int32_t&, const int32_t&, const double&, const double&,
                        const double&, const double&, const double&),
             int32_t reset, double Kp, double Ti) {
    double out = 0.0;
    pi(0.0, out, 0, reset, Kp, Ti, 1.0, 1.0, -1.0);
}

}  // namespace

void DC_DC_Bi_DSD(CR, CI DcEnable, CR, CR) {
    ModuleFrame f("DC_DC_Bi_DSD", "DC_DC_Bi.dta", Pass::DSD, kDcDc);
    const int32_t reset = DcEnable == 0 ? 1 : 0;
    idle_pi(PI_AntiWindUp_12_DSD, reset, 0.0, 1.0);
    idle_pi(PI_AntiWindUp_15_DSD, reset, 0.0, 1.0);
    f.leave();
}

void DC_DC_Bi_DSO() {
    ModuleFrame f("DC_DC_Bi_DSO", "DC_DC_Bi.dta", Pass::DSO, kDcDc);
    PI_AntiWindUp_12_DSO();
    PI_AntiWindUp_15_DSO();
    f.leave();
}

void DC_DC_Bi_DSD_BEGIN() {
    ModuleFrame f("DC_DC_Bi_DSD_BEGIN", "", Pass::DSD_BEGIN, kDcDc);
    PI_AntiWindUp_12_DSD_BEGIN();
    PI_AntiWindUp_15_DSD_BEGIN();
}

void DC_DC_Bi_DSO_BEGIN() {
    ModuleFrame f("DC_DC_Bi_DSO_BEGIN", "", Pass::DSO_BEGIN, kDcDc);
    PI_AntiWindUp_12_DSO_BEGIN();
    PI_AntiWindUp_15_DSO_BEGIN();
}

void VSCandCtrl_DSD(CI, CR Sbase, CR LfGiven, CR Vbase, CR Fbase, CR, CR Imax, CR, CI DAxisSel, CI AuxSel,
                    CI LimPriority, CI CtrlOn, CR KpPll, CR KpPi12, CR AuxDefault, CR PRef, CR, CR KpPi14,
                    CR TiPi14, CR AuxA, CR AuxB, CR KiPll, CR TiPi12, CR KpPi13, CR VdcRef, CR QRef, CR KpPi2a,
                    CR TiPi2a, CR TiPi13, CR QRefLim, CR KpPi2b, CR TiPi2b, CR KpPi11, CR TiPi11, CI FiltSel,
                    CR Fres, CR CbGiven, CR RdGiven, CR L2Given, CR CaGiven, CR ChopIn2, CR ChopIn3, CR ChopIn4) {
    ModuleFrame f("VSCandCtrl_DSD", "VSCandCtrl.dta", Pass::DSD, kVsc);
    f.pass_constants(2, 0);
    const double zero3[3] = {0.0, 0.0, 0.0};
    double vref[3] = {0.0, 0.0, 0.0};
    const double VdcBase = 1.0;
    Ctrl_DSD(zero3, CtrlOn, vref, 0.0, zero3, 0.0, 0.0, 0.0, DAxisSel, AuxSel, LimPriority, AuxDefault, VdcRef, PRef,
             QRef, Sbase, Fbase, Vbase, VdcBase, LfGiven, 1, Imax, 0.15, KpPi2a, TiPi2a, KpPll, KiPll, KpPi14, TiPi14,
             AuxA, AuxB, KpPi13, TiPi13, QRefLim, KpPi12, TiPi12, KpPi11, TiPi11, KpPi2b, TiPi2b);
    Filter_L_DSD(FiltSel, L2Given, CbGiven, CaGiven, RdGiven, Fres, LfGiven);
    Chopper_DSD(0.0, ChopIn2, ChopIn3, ChopIn4);
    const double REF_GR[6] = {vref[0], vref[1], vref[2], static_cast<double>(CtrlOn), 0.0, Fbase};
    ConvBridge_Avg_6_DSD(REF_GR, 0.0005, VdcBase);
    f.leave();
}

void VSCandCtrl_DSO() {
    ModuleFrame f("VSCandCtrl_DSO", "VSCandCtrl.dta", Pass::DSO, kVsc);
    f.pass_constants(0, 10);
    Ctrl_DSO();
    Filter_L_DSO();
    Chopper_DSO();
    ConvBridge_Avg_6_DSO();
    f.leave();
}

void VSCandCtrl_DSD_BEGIN(CI, CR Sbase, CR LfGiven, CR Vbase, CR Fbase, CR, CR, CR, CR, CI, CR, CR CbGiven,
                          CR RdGiven, CR L2Given, CR CaGiven) {
    ModuleFrame f("VSCandCtrl_DSD_BEGIN", "", Pass::DSD_BEGIN, kVsc);
    f.pass_constants(2, 0);
    Ctrl_DSD_BEGIN(Sbase, Fbase, Vbase, LfGiven);
    Filter_L_DSD_BEGIN(L2Given, CbGiven, CaGiven, RdGiven);
    Chopper_DSD_BEGIN();
    ConvBridge_Avg_6_DSD_BEGIN(0.0005);
}

void VSCandCtrl_DSO_BEGIN(CI, CR, CR, CR, CR, CR, CR, CR, CR, CI, CR, CR CbGiven, CR RdGiven, CR L2Given,
                          CR CaGiven) {
    ModuleFrame f("VSCandCtrl_DSO_BEGIN", "", Pass::DSO_BEGIN, kVsc);
    f.pass_constants(0, 10);
    Ctrl_DSO_BEGIN();
    Filter_L_DSO_BEGIN(L2Given, CbGiven, CaGiven, RdGiven);
    Chopper_DSO_BEGIN();
    ConvBridge_Avg_6_DSO_BEGIN(0.0005);
}

void Ctrl_DSD(const double (&)[3], CI CtrlOn, double (&GS_VREF)[3], CR, const double (&)[3], CR, CR, CR, CI, CI, CI,
              CR, CR, CR, CR, CR, CR, CR, CR, CR, CI, CR, CR, CR KpPi2a, CR TiPi2a, CR, CR, CR KpPi14, CR TiPi14, CR,
              CR, CR KpPi13, CR TiPi13, CR, CR KpPi12, CR TiPi12, CR KpPi11, CR TiPi11, CR KpPi2b, CR TiPi2b) {
    ModuleFrame f("Ctrl_DSD", "Ctrl.dta", Pass::DSD, kCtrl);
    f.pass_constants(8, 0);
    const int32_t reset = CtrlOn == 0 ? 1 : 0;
    idle_pi(PI_AntiWindUp_13_DSD, reset, KpPi13, TiPi13);
    idle_pi(PI_AntiWindUp_14_DSD, reset, KpPi14, TiPi14);
    idle_pi(PI_AntiWindUp_12_DSD, reset, KpPi12, TiPi12);
    idle_pi(PI_AntiWindUp_11_DSD, reset, KpPi11, TiPi11);
    idle_pi(PI_AntiWindUp_2_DSD, reset, KpPi2a, TiPi2a);
    idle_pi(PI_AntiWindUp_2_DSD, reset, KpPi2b, TiPi2b);
    for (double& v : GS_VREF) v = 0.0;
    f.leave();
}

void Ctrl_DSO() {
    ModuleFrame f("Ctrl_DSO", "Ctrl.dta", Pass::DSO, kCtrl);
    PI_AntiWindUp_13_DSO();
    PI_AntiWindUp_14_DSO();
    PI_AntiWindUp_12_DSO();
    PI_AntiWindUp_11_DSO();
    PI_AntiWindUp_2_DSO();
    PI_AntiWindUp_2_DSO();
    f.leave();
}

void Ctrl_DSD_BEGIN(CR, CR, CR, CR) {
    ModuleFrame f("Ctrl_DSD_BEGIN", "", Pass::DSD_BEGIN, kCtrl);
    f.pass_constants(8, 0);
    PI_AntiWindUp_13_DSD_BEGIN();
    PI_AntiWindUp_14_DSD_BEGIN();
    PI_AntiWindUp_12_DSD_BEGIN();
    PI_AntiWindUp_11_DSD_BEGIN();
    PI_AntiWindUp_2_DSD_BEGIN();
    PI_AntiWindUp_2_DSD_BEGIN();
}

void Ctrl_DSO_BEGIN() {
    ModuleFrame f("Ctrl_DSO_BEGIN", "", Pass::DSO_BEGIN, kCtrl);
    PI_AntiWindUp_13_DSO_BEGIN();
    PI_AntiWindUp_14_DSO_BEGIN();
    PI_AntiWindUp_12_DSO_BEGIN();
    PI_AntiWindUp_11_DSO_BEGIN();
    PI_AntiWindUp_2_DSO_BEGIN();
    PI_AntiWindUp_2_DSO_BEGIN();
}

void Chopper_DSD(CR, CR, CR, CR) { ModuleFrame("Chopper_DSD", "Chopper.dta", Pass::DSD, kChopper).leave(); }

void Chopper_DSO() { ModuleFrame("Chopper_DSO", "Chopper.dta", Pass::DSO, kChopper).leave(); }

void Chopper_DSD_BEGIN() { ModuleFrame("Chopper_DSD_BEGIN", "", Pass::DSD_BEGIN, kChopper); }

void Chopper_DSO_BEGIN() { ModuleFrame("Chopper_DSO_BEGIN", "", Pass::DSO_BEGIN, kChopper); }

void ConvBridge_Avg_6_DSD(const double (&)[6], CR, CR) {
    ModuleFrame f("ConvBridge_Avg_6_DSD", "ConvBridge_Avg_6.dta", Pass::DSD, kBridge);
    f.pass_constants(0, 7);
    f.leave();
}

void ConvBridge_Avg_6_DSO() {
    ModuleFrame f("ConvBridge_Avg_6_DSO", "ConvBridge_Avg_6.dta", Pass::DSO, kBridge);
    f.pass_constants(0, 5);
    f.leave();
}

void ConvBridge_Avg_6_DSD_BEGIN(CR) {
    ModuleFrame f("ConvBridge_Avg_6_DSD_BEGIN", "", Pass::DSD_BEGIN, kBridge);
    f.pass_constants(0, 7);
}

void ConvBridge_Avg_6_DSO_BEGIN(CR) {
    ModuleFrame f("ConvBridge_Avg_6_DSO_BEGIN", "", Pass::DSO_BEGIN, kBridge);
    f.pass_constants(0, 5);
}
