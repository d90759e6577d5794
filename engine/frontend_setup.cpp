#include "engine/frontend_setup.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <string>
#include <vector>

#include "controls/meter_tables.h"
#include "engine/abort.h"
#include "engine/engine_stop.h"
#include "engine/message_catalog.h"
#include "engine/run_state.h"
#include "engine/storage.h"
#include "link/flat_layer.h"
#include "link/wire_codes.h"
#include "network/dimensions.h"
#include "network/input_state.h"
#include "platform/text_units.h"
#include "snapshot/snapshot.h"

OnlineSetup ONLINE_SETUP;

namespace {

constexpr int32_t FE = 0;  // the front end's handle
constexpr double NEVER = 1.0e12;

int32_t recv_int() {
    int32_t v = 0;
    fe_recv_int(FE, v);
    return v;
}

double recv_real() {
    double v = 0.0;
    fe_recv_real(FE, v);
    return v;
}

Text34 recv_name() {
    Text34 name;
    fe_recv_str(FE, name);
    return name;
}

// Whether the frame still holds count items of size bytes each.
bool frame_holds(int64_t count, int64_t size) { return count <= fe_bytes_left(FE) / size; }

void drop_record(int32_t code, const std::string& why) {
    USERWARN(0, 0, 1, "Set-up record " + std::to_string(code) + " ignored: " + why);
}

// A front end that has gone can send no more records: the engine ends as
// when it goes during a run.
[[noreturn]] void link_lost() {
    write_list(UNIT_CONSOLE_OUT, {fe_link_lost_text(FE, "before the end of the run set-up")});
    throw FrontEndLost();
}

void set_defaults() {
    RunSetup& s = RUN_SETUP;
    RUN_SEQ.START_MODE = "DATA";
    s.start_file = "datafile";
    s.relabel_time = LFALSE;
    RUN_CLOCK.FINTIM = 0.5;

    DIMBLOCK.NPGBS = 10;
    s.output_files = LFALSE;
    s.output_file = "out";

    RUN_CLOCK.SNAP_TIME = 1.0e6;
    s.snap_interval = 1.0e6;
    s.snap_planned = LFALSE;
    s.screen_plot = LFALSE;
    s.snap_file = "snap.snp";
    s.snap_request_file = "runtime.snp";
    s.snap_incremental = LFALSE;
    s.snap_time_from_step = LFALSE;
    s.snap_interval_from_step = LFALSE;

    RUN_SEQ.MULTI_RUN = LFALSE;
    RUN_SEQ.OPEN_ENDED = LFALSE;
    RUN_SEQ.NRUNS = 1;
    s.multirun_file = "mrun";

    s.eni_role = 0;
    s.flag_a = LFALSE;
    s.flag_b = 0;
}

void setup_snapshot() {
    RunSetup& s = RUN_SETUP;
    RunClock& c = RUN_CLOCK;
    const Text34 name = recv_name();
    const double x = recv_real();
    const int32_t mode = recv_int();
    if (!std::isfinite(x)) {
        drop_record(FE_SETUP_SNAPSHOT, "the snapshot time is not a number.");
        return;
    }
    s.snap_file = name;
    s.snap_time_from_step = LFALSE;
    s.snap_interval_from_step = LFALSE;
    if (x < 0.0) {
        c.SNAP_TIME = c.FINTIM + NEVER;
    } else if (x == 0.0) {
        // One time step; before the case is read it is not known yet.
        c.SNAP_TIME = c.DELT > 0.0 ? c.DELT : 0.0;
        s.snap_time_from_step = as_logical(!(c.DELT > 0.0));
    } else {
        c.SNAP_TIME = x;
    }
    s.snap_planned = LTRUE;
    if (mode >= 1) {
        s.snap_interval = c.SNAP_TIME;
        s.snap_interval_from_step = s.snap_time_from_step;
        s.snap_incremental = as_logical(mode == 2);
    } else {
        s.snap_interval = c.FINTIM + NEVER;
        s.snap_incremental = LFALSE;
    }
}

void setup_multirun() {
    const int32_t count = recv_int();
    RUN_SETUP.multirun_file = recv_name();
    if (count >= 2) {
        RUN_SEQ.MULTI_RUN = LTRUE;
        RUN_SEQ.NRUNS = count;
    } else if (count <= 0) {
        RUN_SEQ.NRUNS = 2;
        RUN_SEQ.MULTI_RUN = LTRUE;
        RUN_SEQ.OPEN_ENDED = LTRUE;
    }
}

void apply_record(int32_t code) {
    RunSetup& s = RUN_SETUP;
    switch (code) {
    case FE_SETUP_DATAFILE:
        s.start_file = recv_name();
        RUN_SEQ.START_MODE = "DATA";
        s.relabel_time = LFALSE;
        s.map_file_for_snap = s.start_file;
        break;
    case FE_SETUP_SNAPSTART:
        s.start_file = recv_name();
        s.relabel_time = as_logical(recv_int() == 1);
        RUN_CLOCK.FINTIM = recv_real();
        RUN_SEQ.START_MODE = "SNAP";
        break;
    case FE_SETUP_NO_OUTPUT:
        s.output_files = LFALSE;
        break;
    case FE_SETUP_OUTPUT:
        s.output_file = recv_name();
        s.output_files = LTRUE;
        break;
    case FE_SETUP_NO_SNAPSHOT:
        RUN_CLOCK.SNAP_TIME = 1.0e6;
        s.snap_interval = 1.0e6;
        s.snap_planned = LFALSE;
        s.snap_incremental = LFALSE;
        s.snap_time_from_step = LFALSE;
        s.snap_interval_from_step = LFALSE;
        break;
    case FE_SETUP_SNAPSHOT:
        setup_snapshot();
        break;
    case FE_SETUP_MULTIRUN:
        setup_multirun();
        break;
    case FE_SETUP_TABLE_SIZES:
        SETUP_TABLE_SIZES();
        break;
    case FE_SETUP_TABLE_ROW:
        SETUP_TABLE_ROW();
        break;
    case FE_SETUP_TABLE_MAP:
        SETUP_TABLE_MAP();
        break;
    case FE_SETUP_ARRAY:
        SETUP_ARRAY();
        break;
    case FE_SETUP_ENI_ROLE:
        s.eni_role = recv_int();
        break;
    case FE_SETUP_FLAGS:
        s.flag_a = as_logical(recv_int() != 0);
        s.flag_b = recv_int();
        break;
    default:  // the end record, and codes the set-up does not know
        break;
    }
}

void check_start_file() {
    if (RUN_SEQ.START_MODE == "DATA") {
        // The map reader reports a missing file itself; this is a notice.
        const int unit = INPUT.INPUT_UNIT;
        if (unit_open(unit, RUN_SETUP.start_file.trimmed(), UnitMode::Read)) {
            unit_close(unit);
            return;
        }
        emit_message(MSG_WARNINGS, 3, {RUN_SETUP.start_file});
        return;
    }
    Logical accepted = LFALSE;
    double snap_time = 0.0;
    SNAP_OK(accepted, snap_time);
    if (is_true(accepted)) {
        fe_send_int(FE, FE_MSG_SNAPSTART);
        fe_send_real(FE, snap_time);
        fe_flush(FE);
    } else {
        emit_message(MSG_WARNINGS, 3, {RUN_SETUP.start_file});
    }
}

// One list of a three-phase meter: its entries, each of width integers.
struct MeterList {
    std::vector<int32_t> items;
    int32_t count = 0;
};

// Reads a count and that many entries of width integers; false when the
// frame cannot hold them.
bool read_list(MeterList& list, int32_t width) {
    const int32_t count = recv_int();
    if (!frame_holds(std::max(count, 0), int64_t{4} * width)) return false;
    list.count = std::max(count, 0);
    list.items.resize(static_cast<size_t>(list.count) * static_cast<size_t>(width));
    for (int32_t& v : list.items) v = recv_int();
    return true;
}

}  // namespace

void DATA() {
    set_defaults();
    int32_t code = 0;
    do {
        if (!is_true(fe_poll(FE, LTRUE))) link_lost();
        fe_recv_int(FE, code);
        apply_record(code);
    } while (code != FE_SETUP_END);
    check_start_file();
}

void SETUP_TABLE_SIZES() {
    std::array<int32_t, 5> n{};
    for (int32_t& v : n) v = recv_int();
    ALLOC_ONLINE(n[0], n[1], n[2], n[3], n[4]);
    MeterTables& m = METER_TABLES;
    m.METER_VAL.fill(0.0);
    m.METER_DEF.fill(0);
    m.METER_NODES.fill(0);
    m.METER3_REF.fill(0);
    m.METER3_LIST_A.fill(0);
    m.METER3_LIST_B.fill(0);
    m.METER3_LIST_C.fill(0);
    m.METER3_VAL.fill(0.0);
    // Fresh tables take their meters from the first row again.
    ONLINE_SETUP = {};
}

void SETUP_TABLE_ROW() {
    MeterTables& m = METER_TABLES;
    const int32_t subsystem = recv_int();
    const int32_t n = recv_int();
    if (!m.METER_DEF.allocated() || !m.METER_NODES.allocated()) {
        drop_record(FE_SETUP_TABLE_ROW, "it came before the meter table sizes (record 17).");
        return;
    }
    if (!frame_holds(std::max(n, 0), 4)) {
        drop_record(FE_SETUP_TABLE_ROW, "it holds fewer than its " + std::to_string(n) + " node numbers.");
        return;
    }
    const int64_t row = int64_t{ONLINE_SETUP.row_count} + 1;
    const bool fits = row <= m.METER_DEF.extent(1);
    std::array<int32_t, 3> slot{};
    if (fits)
        for (int k = 0; k < 3; ++k) slot[k] = m.METER_NODES(row, k + 1);
    for (int32_t k = 1; k <= n; ++k) slot[(k - 1) % 3] = recv_int();
    if (!fits) return;  // beyond the single meters of record 17
    ONLINE_SETUP.row_count = static_cast<int32_t>(row);
    m.METER_DEF(row, 1) = subsystem;
    m.METER_DEF(row, 2) = n;
    for (int k = 0; k < 3; ++k) m.METER_NODES(row, k + 1) = slot[k];
}

void SETUP_TABLE_MAP() {
    MeterTables& m = METER_TABLES;
    const int32_t ref = recv_int();
    if (!m.METER_DEF.allocated() || !m.METER3_REF.allocated()) {
        drop_record(FE_SETUP_TABLE_MAP, "it came before the meter table sizes (record 17).");
        return;
    }
    // Every record takes the next meter number, a dropped one too, so that
    // the meters after it keep the numbers the front end gave them.
    const int32_t c = ONLINE_SETUP.meter3_number;
    if (c < INT32_MAX) ONLINE_SETUP.meter3_number = c + 1;
    const int64_t singles = m.METER_DEF.extent(1);
    if (c > m.METER3_REF.extent(1)) {
        drop_record(FE_SETUP_TABLE_MAP, "there is no room for three-phase meter " + std::to_string(c) +
                                            " (record 17 gave " + std::to_string(m.counts[1]) + ").");
        return;
    }
    if (ref < 1) {
        drop_record(FE_SETUP_TABLE_MAP, "single-meter row " + std::to_string(ref) + " does not exist.");
        return;
    }
    const int32_t phases = ref <= singles ? m.METER_DEF(ref, 2) : 3;
    if (phases > 3) {
        drop_record(FE_SETUP_TABLE_MAP, "single-meter row " + std::to_string(ref) + " has " +
                                            std::to_string(phases) + " nodes, more than three phases.");
        return;
    }
    std::array<std::array<MeterList, 3>, 3> lists;  // [phase][A, B, C]
    for (int32_t p = 0; p < phases; ++p) {
        for (int32_t k = 0; k < 3; ++k) {
            if (!read_list(lists[p][k], k == 0 ? 1 : 2)) {
                drop_record(FE_SETUP_TABLE_MAP, "it holds fewer list entries than it announces.");
                return;
            }
        }
    }
    m.METER3_REF(c) = ref;
    const int64_t cap_a = m.METER3_LIST_A.extent(3), cap_b = m.METER3_LIST_B.extent(3);
    const int64_t cap_c = m.METER3_LIST_C.extent(3);
    for (int32_t p = 1; p <= phases; ++p) {
        const MeterList& a = lists[p - 1][0];
        for (int64_t j = 1; j <= std::min<int64_t>(a.count, cap_a); ++j) m.METER3_LIST_A(c, p, j) = a.items[j - 1];
        const MeterList& b = lists[p - 1][1];
        for (int64_t j = 1; j <= std::min<int64_t>(b.count, cap_b); ++j) {
            m.METER3_LIST_B(c, p, j, 1) = b.items[2 * (j - 1)];
            m.METER3_LIST_B(c, p, j, 2) = b.items[2 * (j - 1) + 1];
        }
        const MeterList& l = lists[p - 1][2];
        for (int64_t j = 1; j <= std::min<int64_t>(l.count, cap_c); ++j) {
            m.METER3_LIST_C(c, p, j, 1) = l.items[2 * (j - 1)];
            m.METER3_LIST_C(c, p, j, 2) = l.items[2 * (j - 1) + 1];
        }
    }
}

void SETUP_ARRAY() {
    const int32_t n = recv_int();
    const int32_t count = std::max(n, 0);
    if (!frame_holds(count, 8)) {
        drop_record(FE_SETUP_ARRAY, "it holds fewer than its " + std::to_string(n) + " values.");
        return;
    }
    DIMBLOCK.REQ[ND_DX] = count;
    // A second array replaces the first.
    FArray1<double>& dx = STORAGE.DX_ARRAY;
    dx.allocate(count);
    for (int32_t j = 1; j <= count; ++j) dx(j) = recv_real();
}

void SETTLE_SETUP_SNAPSHOT() {
    RunSetup& s = RUN_SETUP;
    const double delt = RUN_CLOCK.DELT;
    if (!(delt > 0.0)) return;
    if (is_true(s.snap_time_from_step)) RUN_CLOCK.SNAP_TIME += delt;
    if (is_true(s.snap_interval_from_step)) s.snap_interval = delt;
    s.snap_time_from_step = LFALSE;
    s.snap_interval_from_step = LFALSE;
}
