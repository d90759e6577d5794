// The DC chopper: a resistor set by the parent, switched in by an IGBT
// whose gate follows a two-level hysteresis on the DC voltage, and a diode.
#include "case/module_frame.h"
#include "case/modules.h"
#include "controls/switching/switching_blocks.h"
#include "engine/model_helpers.h"
#include "models/switch/pe_switch.h"
#include "network/varbranch.h"

namespace {

constexpr ModuleCounts kChopper{.nodes = 5, .subsystems = 1, .branches = {3, 0, 0}, .stoi = 1, .stof = 4, .channels = 1};

}  // namespace

void Chopper_DSD(CR ChopIn, CR ChopOnLevel, CR ChopOffLevel, CR ChopR) {
    ModuleFrame f("Chopper_DSD", "Chopper.dta", Pass::DSD, kChopper);
    const int32_t ss = f.ss(), inst = f.instance();
    SETIDS(inst, 1423616589);
    VARBRANCH_SET(0, ss, f.branch(1), 0, ChopR, 0.0);
    INTERP_PAIR gate;
    HYSTERESIS_IP(0, 0, ChopIn, ChopOnLevel, ChopOffLevel, gate);
    const int32_t ChopGate = nint(gate.value);
    f.pgb(1) = ChopGate;
    SETIDS(inst, 164626707);
    PESWITCH(ss, f.branch(2), ChopGate, 0.0);
    SETIDS(inst, 911024776);
    PESWITCH(ss, f.branch(3), 1, 0.0);
    f.stof(1) = ChopIn;
    f.stof(2) = ChopOnLevel;
    f.stof(3) = ChopOffLevel;
    f.stof(4) = ChopR;
    f.stoi(1) = ChopGate;
    f.leave();
}

void Chopper_DSO() { ModuleFrame("Chopper_DSO", "Chopper.dta", Pass::DSO, kChopper).leave(); }

void Chopper_DSD_BEGIN() {
    ModuleFrame f("Chopper_DSD_BEGIN", "", Pass::DSD_BEGIN, kChopper);
    VARBRANCH_INIT(0, f.ss(), f.branch(1), 0);
    PESWITCH_INIT(3, 0, 0.01, 1.0e6, 1.0e5, 1.0e5, 0.0, 0.0);
    PESWITCH_INIT(0, 0, 0.01, 1.0e6, 1.0e5, 1.0e5, 0.0, 0.0);
}

void Chopper_DSO_BEGIN() { ModuleFrame("Chopper_DSO_BEGIN", "", Pass::DSO_BEGIN, kChopper); }
