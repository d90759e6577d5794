// The top of the case and its first, empty sub-module of Main.
#include "case/station.h"

#include "case/module_frame.h"
#include "case/modules.h"

void Station_DSD() {
    ModuleFrame f("Station_DSD", "Station.dta", Pass::DSD, {});
    Main_DSD();
    f.leave();
}

void Station_DSO() {
    ModuleFrame f("Station_DSO", "Station.dta", Pass::DSO, {});
    Main_DSO();
    f.leave();
}

void Station_DSD_BEGIN() {
    ModuleFrame f("Station_DSD_BEGIN", "", Pass::DSD_BEGIN, {});
    Main_DSD_BEGIN();
    CHKMAPFILL();  // every module has claimed its entries now
}

void Station_DSO_BEGIN() {
    ModuleFrame f("Station_DSO_BEGIN", "", Pass::DSO_BEGIN, {});
    Main_DSO_BEGIN();
}

void Graphs_and_Controls_DSD() { ModuleFrame("Graphs_and_Controls_DSD", "Graphs_and_Controls.dta", Pass::DSD, {}).leave(); }

void Graphs_and_Controls_DSO() { ModuleFrame("Graphs_and_Controls_DSO", "Graphs_and_Controls.dta", Pass::DSO, {}).leave(); }

void Graphs_and_Controls_DSD_BEGIN() { ModuleFrame("Graphs_and_Controls_DSD_BEGIN", "", Pass::DSD_BEGIN, {}); }

void Graphs_and_Controls_DSO_BEGIN() { ModuleFrame("Graphs_and_Controls_DSO_BEGIN", "", Pass::DSO_BEGIN, {}); }
