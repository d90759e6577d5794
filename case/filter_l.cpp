// The converter's filter: an inductance, a damping resistance and two
// capacitances per phase, given or derived from the coupling inductance
// and a resonance frequency, set on the network every step.
#include <cmath>

#include "case/module_frame.h"
#include "case/modules.h"
#include "engine/model_helpers.h"
#include "network/varbranch.h"

namespace {

constexpr ModuleCounts kFilter{.nodes = 11, .subsystems = 1, .branches = {15, 0, 0}, .stoi = 1, .stof = 22};

constexpr double kTwoPi = 6.283185307179586;

}  // namespace

void Filter_L_DSD(CI FiltSel, CR L2Given, CR CbGiven, CR CaGiven, CR RdGiven, CR Fres, CR LConv) {
    ModuleFrame f("Filter_L_DSD", "Filter_L.dta", Pass::DSD, kFilter);
    f.check_stof<7, 8, 9, 10>();

    const double Wres = Fres * kTwoPi;
    const double L2Calc = 5.0 * LConv;
    const double WW = Wres * Wres, LWW = LConv * WW;
    const double Cres = GUARDED_DIV(1.0, LWW);
    const double CresUf = 1.0e6 * Cres;
    const double CaCalc = 0.5 * CresUf;
    const double RdRatio = GUARDED_DIV(L2Calc, CaCalc);
    const double RdRoot = RdRatio > 0.0 || std::isnan(RdRatio) ? std::sqrt(RdRatio) : 0.0;
    const double RdCalc = 1000.0 * RdRoot;

    const double L2 = FiltSel == f.next_rtci() ? L2Given : L2Calc;
    const double Rd = FiltSel == f.next_rtci() ? RdGiven : RdCalc;
    const double Ca = FiltSel == f.next_rtci() ? CaGiven : CaCalc;
    const double Cb = FiltSel == f.next_rtci() ? CbGiven : CresUf;

    const int32_t ss = f.ss();
    SETIDS(f.instance(), 433510340);
    for (int32_t k = 7; k <= 9; ++k) VARBRANCH_SET(2, ss, f.branch(k), 0, Ca, 0.0);
    SETIDS(f.instance(), 1906888087);
    for (int32_t k = 10; k <= 12; ++k) VARBRANCH_SET(2, ss, f.branch(k), 0, Cb, 0.0);
    SETIDS(f.instance(), 469503165);
    for (int32_t k = 4; k <= 6; ++k) VARBRANCH_SET(0, ss, f.branch(k), 0, Rd, 0.0);
    SETIDS(f.instance(), 22967771);
    for (int32_t k = 1; k <= 3; ++k) VARBRANCH_SET(1, ss, f.branch(k), 0, L2, 0.0);

    f.put_stof<1, 22>(L2Given, CbGiven, CaGiven, RdGiven, Fres, LConv, Cb, L2, Ca, Rd, RdRoot, RdRatio, L2Calc,
                      CaCalc, RdCalc, CresUf, Cres, 1.0, LWW, WW, Wres, kTwoPi);
    f.stoi(1) = FiltSel;
    f.leave();
}

void Filter_L_DSO() {
    ModuleFrame f("Filter_L_DSO", "Filter_L.dta", Pass::DSO, kFilter);
    f.stof(18) = 1.0;
    f.stof(22) = kTwoPi;
    f.leave();
}

void Filter_L_DSD_BEGIN(CR, CR, CR, CR) {
    ModuleFrame f("Filter_L_DSD_BEGIN", "", Pass::DSD_BEGIN, kFilter);
    for (int32_t k = 0; k < 4; ++k) f.put_rtci(0);
    const int32_t ss = f.ss();
    for (int32_t k = 7; k <= 12; ++k) VARBRANCH_INIT(2, ss, f.branch(k), 0);
    for (int32_t k = 4; k <= 6; ++k) VARBRANCH_INIT(0, ss, f.branch(k), 0);
    for (int32_t k = 1; k <= 3; ++k) VARBRANCH_INIT(1, ss, f.branch(k), 0);
}

void Filter_L_DSO_BEGIN(CR, CR, CR, CR) { ModuleFrame("Filter_L_DSO_BEGIN", "", Pass::DSO_BEGIN, kFilter); }
