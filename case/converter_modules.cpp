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
