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
const ModuleCounts kCtrl{2, 0, {}, 17, 165, 37, 1};
const ModuleCounts kChopper{5, 1, {3, 0, 0}, 1, 4, 1, 0};

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

void Ctrl_DSO_BEGIN(CR, CR, CR, CR) {
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
