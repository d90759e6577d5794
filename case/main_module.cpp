// Module Main: the station's circuit and the five sub-modules under it.
// Its own components are still to come; it claims its full share so that
// every module after it finds its place.
#include "case/module_frame.h"
#include "case/modules.h"

namespace {

const ModuleCounts kMain{.nodes = 27,
                         .subsystems = 3,
                         .branches = {27, 1, 0},
                         .stoi = 7,
                         .stof = 61,
                         .channels = 12,
                         .controls = 22,
                         .xfmrs = 1};

const double kVllBase = 33.0, kFreq = 60.0;

}  // namespace

void Main_DSD() {
    ModuleFrame f("Main_DSD", "Main.dta", Pass::DSD, kMain);
    f.pass_constants(0, 5);
    double slot[23] = {};
    for (int32_t k = 1; k <= 22; ++k) slot[k] = f.cx(k);
    const int32_t CtrlOn = 0, DcEnable = 0;
    const double VBessPu = f.stof(14);
    double BattSoc = 0.0;
    Graphs_and_Controls_DSD();
    Battery_DSD(BattSoc);
    DC_DC_Bi_DSD(BattSoc, DcEnable, 0.35, slot[3]);
    VSCandCtrl_DSD(1, 0.35, 0.00631, 0.69, kFreq, 30000.0, 1.0, 67.0, 0, 0, 1, CtrlOn, slot[10], slot[21], 1.0, 0.0,
                   VBessPu, slot[13], slot[16], 1.1, 0.9, slot[12], slot[22], slot[17], slot[5], slot[7], slot[14],
                   slot[18], slot[20], 0.5, slot[15], slot[19], slot[9], slot[11], 1, 1080.0, 1400.0, 4.8, 6.75e-05,
                   157.0, 1.7, 1.5, 1.24);
    Load_DSD(kVllBase, kFreq, slot[2], slot[4]);
    f.leave();
}

void Main_DSO() {
    ModuleFrame f("Main_DSO", "Main.dta", Pass::DSO, kMain);
    f.pass_constants(0, 16);
    Graphs_and_Controls_DSO();
    Battery_DSO();
    DC_DC_Bi_DSO();
    VSCandCtrl_DSO();
    Load_DSO();
    f.leave();
}

void Main_DSD_BEGIN() {
    ModuleFrame f("Main_DSD_BEGIN", "", Pass::DSD_BEGIN, kMain);
    f.pass_constants(0, 5);
    Graphs_and_Controls_DSD_BEGIN();
    Battery_DSD_BEGIN();
    DC_DC_Bi_DSD_BEGIN();
    VSCandCtrl_DSD_BEGIN(1, 0.35, 0.00631, 0.69, kFreq, 30000.0, 1.0, 67.0, 0.5, 1, 1080.0, 1400.0, 4.8, 6.75e-05,
                         157.0);
    Load_DSD_BEGIN(kVllBase, kFreq);
}

void Main_DSO_BEGIN() {
    ModuleFrame f("Main_DSO_BEGIN", "", Pass::DSO_BEGIN, kMain);
    f.pass_constants(0, 16);
    Graphs_and_Controls_DSO_BEGIN();
    Battery_DSO_BEGIN();
    DC_DC_Bi_DSO_BEGIN();
    VSCandCtrl_DSO_BEGIN(1, 0.35, 0.00631, 0.69, kFreq, 30000.0, 1.0, 67.0, 0.5, 1, 1080.0, 1400.0, 4.8, 6.75e-05,
                         157.0);
    Load_DSO_BEGIN(kVllBase, kFreq);
}
