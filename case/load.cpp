// The three-phase load that turns its real- and reactive-power orders into
// a resistance, an inductance and a capacitance per phase every step.
#include <cmath>

#include "case/module_frame.h"
#include "case/modules.h"
#include "controls/limit_value.h"
#include "controls/switching/comparator_body.h"
#include "engine/model_helpers.h"
#include "network/varbranch.h"
#include "platform/logical.h"

namespace {

constexpr ModuleCounts kLoad{.nodes = 8, .subsystems = 1, .branches = {12, 0, 0}, .stoi = 2, .stof = 26};

constexpr double kTwoPi = 6.283185307179586;

}  // namespace

void Load_DSD(CR VLLbase, CR LoadFreq, CR LoadCtl1, CR LoadCtl2) {
    ModuleFrame f("Load_DSD", "Load.dta", Pass::DSD, kLoad);
    // The saved locals the module loads on entry; it recomputes them before
    // use, but a block beyond the map's STOF stops the run here.
    f.check_stof<5, 7, 12, 15, 25, 26>();

    const double VLL2 = VLLbase * VLLbase;
    const double LoadP = LIMIT_VALUE(1e-8, 1000.0, LoadCtl1);
    f.next_storl();
    INTERP_PAIR pair;
    comparator_ip(0, 0, 0.0, LoadCtl2, 0.0, 0.0, 1.0, pair);
    const double cmp1 = pair.value;
    const int32_t QIsInd = nint(cmp1);
    const double QAbs = std::fabs(LoadCtl2);
    comparator_ip(0, 0, 0.0, LoadCtl2, 1.0, 0.0, 0.0, pair);
    const double cmp2 = pair.value;
    const int32_t QIsCap = nint(cmp2);

    const double LoadR0 = GUARDED_DIV(VLL2, LoadP);
    const double LoadR = LIMIT_VALUE(1e-8, 1.0e6, LoadR0);
    f.next_storl();
    const double QInd = QIsInd == f.next_rtci() ? LoadCtl2 : 1e-50;
    const double Omega = kTwoPi * LoadFreq;
    const double QCap = QIsCap == f.next_rtci() ? QAbs : 1e-50;

    const double LoadB = GUARDED_DIV(QCap, VLL2);
    const double LoadXL = GUARDED_DIV(VLL2, QInd);
    const double LoadC0 = GUARDED_DIV(LoadB, Omega);
    const double LoadC1 = 1.0e6 * LoadC0;
    const double LoadL0 = GUARDED_DIV(LoadXL, Omega);
    const double LoadC = LIMIT_VALUE(1e-18, 1.0e6, LoadC1);
    f.next_storl();
    const double LoadL = LIMIT_VALUE(1e-18, 1.0e6, LoadL0);
    f.next_storl();

    const int32_t ss = f.ss();
    SETIDS(f.instance(), 440741601);
    for (int32_t j = 7; j <= 9; ++j) VARBRANCH_SET(2, ss, f.branch(j), 0, LoadC, 0.0);
    SETIDS(f.instance(), 839462910);
    for (int32_t j = 4; j <= 6; ++j) VARBRANCH_SET(1, ss, f.branch(j), 0, LoadL, 0.0);
    SETIDS(f.instance(), 773767324);
    for (int32_t j = 1; j <= 3; ++j) VARBRANCH_SET(0, ss, f.branch(j), 0, LoadR, 0.0);

    f.put_stof<1, 26>(VLLbase, LoadFreq, LoadCtl1, LoadCtl2, LoadR0, LoadP, LoadR, cmp1, 1e-50, QInd, LoadXL, LoadL0,
                      Omega, kTwoPi, LoadL, cmp2, QAbs, 1e-50, QCap, LoadB, VLL2, Omega, kTwoPi, LoadC0, LoadC1,
                      LoadC);
    f.stoi(1) = QIsInd;
    f.stoi(2) = QIsCap;
    f.leave();
}

void Load_DSO() { ModuleFrame("Load_DSO", "Load.dta", Pass::DSO, kLoad).leave(); }

void Load_DSD_BEGIN(CR, CR) {
    ModuleFrame f("Load_DSD_BEGIN", "", Pass::DSD_BEGIN, kLoad);
    f.put_rtci(1);
    f.put_rtci(1);
    const int32_t ss = f.ss();
    for (const int32_t mode : {2, 1, 0})
        for (int32_t j = 1; j <= 3; ++j) VARBRANCH_INIT(mode, ss, f.branch(j + 3 * mode), 0);
}

void Load_DSO_BEGIN(CR, CR) { ModuleFrame("Load_DSO_BEGIN", "", Pass::DSO_BEGIN, kLoad); }
