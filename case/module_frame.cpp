#include "case/module_frame.h"

#include <cmath>
#include <string>

#include "engine/abort.h"
#include "engine/pointer_block.h"
#include "engine/run_state.h"
#include "link/panel.h"
#include "network/input_state.h"
#include "network/line_reader.h"
#include "network/network_tables.h"
#include "platform/text_units.h"

void CASE_BOUNDS_STOP(std::string_view routine, std::string_view array, int position, int64_t value, int64_t upper) {
    std::string line = "ERROR: Array ";
    line += array;
    line += " subscript " + std::to_string(position) + " = " + std::to_string(value) + " outside 1 to " +
            std::to_string(upper);
    unit_write_line(UNIT_CONSOLE_OUT, line);
    ABORT_RUN(Text12(routine), 0);
}

void ModuleFrame::write_txfr_checked() {
    PointerBlock& p = POINTER_BLOCK;
    StorageArrays& S = STORAGE;
    at("TXFR", S.TXFR, p.NTXFR, 1) = p.NSTOL;
    at("TXFR", S.TXFR, p.NTXFR, 2) = p.NSTOI;
    at("TXFR", S.TXFR, p.NTXFR, 3) = p.NSTOF;
    at("TXFR", S.TXFR, p.NTXFR, 4) = p.NSTOC;
}

void ModuleFrame::read_txfr_checked() {
    PointerBlock& p = POINTER_BLOCK;
    StorageArrays& S = STORAGE;
    stol_base_ = at("TXFR", S.TXFR, p.NTXFR, 1);
    stoi_base_ = at("TXFR", S.TXFR, p.NTXFR, 2);
    stof_base_ = at("TXFR", S.TXFR, p.NTXFR, 3);
    stoc_base_ = at("TXFR", S.TXFR, p.NTXFR, 4);
}

void ModuleFrame::open_data_file(std::string_view file, bool dynamic) {
    INPUT.DATA_FILE_NAME = Text72(file);
    OPENFILE();
    INPUT.SECTION_KEY = dynamic ? "DATADSD:" : "DATADSO:";
    GOTOSECTION();
    file_open_ = true;
}

void ModuleFrame::close_data_file() {
    CLOSEFILE();
    file_open_ = false;
}

void ModuleFrame::put_rtci(int32_t v) const { at("RTCI", STORAGE.RTCI, POINTER_BLOCK.NRTCI++) = v; }

void ModuleFrame::put_rtcf(double v) const { at("RTCF", STORAGE.RTCF, POINTER_BLOCK.NRTCF++) = v; }

void ModuleFrame::pass_constants(int32_t n, int32_t m) const {
    for (int32_t k = 0; k < n; ++k) begin_ ? put_rtci(0) : (void)next_rtci();
    for (int32_t k = 0; k < m; ++k) begin_ ? put_rtcf(0.0) : (void)next_rtcf();
}

void PUT_METER_CONSTANTS(const ModuleFrame& f, double scale, double freq) {
    f.put_rtcf(1.0);
    f.put_rtcf(scale);
    f.put_rtcf(0.02);
    f.put_rtcf(freq);
    f.put_rtcf(0.0);
}

MeterConstants READ_METER_CONSTANTS(const ModuleFrame& f) {
    MeterConstants m{};
    m.gain = f.next_rtcf();
    m.scale = f.next_rtcf();
    m.tau = f.next_rtcf();
    m.freq = f.next_rtcf();
    (void)f.next_rtcf();
    return m;
}

double INVERSE_OR_ONE(double v) { return std::fabs(v) <= 1e-20 ? 1.0 : 1.0 / std::fabs(v); }

void SHOW_ON_CHANGE(const ModuleFrame& f, int32_t pos, int32_t id, int32_t value, const char* name) {
    int32_t& kept = f.at("STORI", STORAGE.STORI, pos);
    if (is_true(RUN_FLAGS.FIRST_STEP_RUN) || value != kept)
        PANEL_INT(f.instance(), id, value, name, static_cast<int32_t>(std::string_view(name).size()));
    kept = value;
}
