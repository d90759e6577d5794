#include "case/module_frame.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "engine/abort.h"
#include "engine/pointer_block.h"
#include "engine/run_state.h"
#include "link/panel.h"
#include "network/input_state.h"
#include "network/line_reader.h"
#include "network/map_sections.h"
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

void CHKMAPFILL() {
    const PointerBlock& p = POINTER_BLOCK;
    const MapReadState& m = MAP_READ;
    struct List {
        const char* label;
        int32_t claimed, filled;
    };
    const List lists[] = {{"  NODE    = ", p.NNODE, m.node_filled},
                          {"  SUBS    = ", p.NSUBS, m.subs_filled},
                          {"  CXMAP   = ", p.NCXMAP, m.cxmap_filled}};
    if (std::all_of(std::begin(lists), std::end(lists), [](const List& l) { return l.claimed == l.filled; })) return;
    // Laid out as the pointer checks lay out theirs.
    const int out = UNIT_CONSOLE_OUT;
    write_list(out, {std::string(51, '*')});
    write_list(out, {"ERROR: Map file does not match the compiled case!"});
    write_list(out, {"List entries claimed by the case and filled by the map:"});
    for (const List& l : lists)
        if (l.claimed != l.filled) write_formatted(out, "(A,T14,I8,T28,I8)", {l.label, l.claimed, l.filled});
    write_list(out, {"Each module of the case needs its page in the map file,"});
    write_list(out, {"in the case's order, and its SUBS: and CXMAP: entries."});
    write_list(out, {});
    ABORT_RUN("CHKMAPFILL", 0);
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

