// The station's battery on its own branch, with its terminal voltage,
// current, power and state of charge measured.
#include "case/module_frame.h"
#include "case/modules.h"
#include "engine/model_helpers.h"
#include "engine/pointer_block.h"
#include "models/sources/battery.h"

namespace {

constexpr ModuleCounts kBattery{.nodes = 5, .subsystems = 1, .branches = {2, 0, 0}, .stof = 5, .channels = 4};

constexpr int32_t kBatteryId = 1822777648;

}  // namespace

void Battery_DSD(double& BattSoc) {
    ModuleFrame f("Battery_DSD", "Battery.dta", Pass::DSD, kBattery);
    SETIDS(f.instance(), kBatteryId);
    const int32_t p = POINTER_BLOCK.NSTORF;
    BATTERY_DYN(f.ss(), f.branch(2));
    BattSoc = 100.0 * f.at("STORF", STORAGE.STORF, p + 2);
    f.pgb(4) = BattSoc;
    f.stof(5) = BattSoc;
    f.leave();
}

void Battery_DSO() {
    ModuleFrame f("Battery_DSO", "Battery.dta", Pass::DSO, kBattery);
    const double BattI = f.cbr(1);
    const double BattV = NODEVDIFF(f.ss(), f.node(5), f.node(4));
    f.pgb(1) = 1000.0 * BattV;
    const double BattP = BattV * BattI;
    f.pgb(2) = 1000.0 * BattI;
    f.pgb(3) = BattP;
    f.stof(2) = BattP;
    f.stof(3) = BattV;
    f.stof(4) = BattI;
    f.leave();
}

void Battery_DSD_BEGIN() {
    ModuleFrame f("Battery_DSD_BEGIN", "", Pass::DSD_BEGIN, kBattery);
    SETIDS(f.instance(), kBatteryId);
    BATTERY(f.ss(), f.branch(2), 0.5, 1.15, 1.03, 0.0167, 0.95, 0.4, 90.0, 0.001, 20.0);
}

void Battery_DSO_BEGIN() { ModuleFrame("Battery_DSO_BEGIN", "", Pass::DSO_BEGIN, kBattery); }
