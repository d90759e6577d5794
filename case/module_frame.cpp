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

void ModuleFrame::write_txfr_checked(std::string_view routine, int32_t l, int32_t i, int32_t f, int32_t c) {
    FArray2<int32_t>& t = STORAGE.TXFR;
    const int32_t row = POINTER_BLOCK.NTXFR;
    case_at(routine, "TXFR", t, row, 1) = l;
    case_at(routine, "TXFR", t, row, 2) = i;
    case_at(routine, "TXFR", t, row, 3) = f;
    case_at(routine, "TXFR", t, row, 4) = c;
}

std::array<int32_t, 4> ModuleFrame::read_txfr_checked(std::string_view routine) {
    FArray2<int32_t>& t = STORAGE.TXFR;
    const int32_t row = POINTER_BLOCK.NTXFR;
    std::array<int32_t, 4> r{};
    for (int32_t c = 1; c <= 4; ++c) r[static_cast<size_t>(c - 1)] = case_at(routine, "TXFR", t, row, c);
    return r;
}

bool ModuleFrame::open_module_file(std::string_view file, bool dynamic) {
    INPUT.DATA_FILE_NAME = Text72(file);
    OPENFILE();
    INPUT.SECTION_KEY = dynamic ? "DATADSD:" : "DATADSO:";
    GOTOSECTION();
    return true;
}

bool ModuleFrame::close_module_file() {
    CLOSEFILE();
    return false;
}

void ModuleFrame::put_rtci(int32_t v) const { at("RTCI", STORAGE.RTCI, POINTER_BLOCK.NRTCI++) = v; }

void ModuleFrame::put_rtcf(double v) const { at("RTCF", STORAGE.RTCF, POINTER_BLOCK.NRTCF++) = v; }


void PUT_METER_CONSTANTS(const ModuleFrame& f, double scale, double freq) {
    f.put_rtcf(1.0);
    f.put_rtcf(scale);
    f.put_rtcf(0.02);
    f.put_rtcf(freq);
    f.put_rtcf(0.0);
}

double INVERSE_OR_ONE(double v) { return std::fabs(v) <= 1e-20 ? 1.0 : 1.0 / std::fabs(v); }

