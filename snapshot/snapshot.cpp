// Writing a snapshot, checking one before a run and restoring a run from it.
#include "snapshot/snapshot.h"

#include <cmath>
#include <cstdio>
#include <string>

#include "engine/abort.h"
#include "engine/messages.h"
#include "engine/pointer_block.h"
#include "engine/run_state.h"
#include "engine/solution_arrays.h"
#include "engine/storage.h"
#include "lines/lines.h"
#include "models/xfmr_tables.h"
#include "network/dimensions.h"
#include "network/input_state.h"
#include "network/line_reader.h"
#include "network/map_sections.h"
#include "network/parameters.h"
#include "platform/fortran_format.h"
#include "platform/list_read.h"
#include "platform/text_units.h"
#include "snapshot/run_output.h"
#include "snapshot/snap_sections.h"
#include "snapshot/snap_stream.h"

namespace {

constexpr const char* kEndLine = " ! End of Snap-shot";

std::string record_of(const std::string& formatted) {
    return formatted.empty() || formatted.back() != '\n' ? formatted : formatted.substr(0, formatted.size() - 1);
}

std::string separator() { return "!" + std::string(55, '='); }

void WRITELINE(int32_t unit) {
    if (unit_write_line(unit, separator())) return;
    write_list(UNIT_CONSOLE_OUT, {"Error occurred while writing to UNIT=", unit});
    CLOSEFILE();
    std::remove(SNAPSHOT_COUNTERS.temp_path.c_str());
    ABORT_RUN("WRITELINE", 0);
}

// Everything written so far reached the file, or the routine's text ends
// the snapshot.
void written(SnapStream& s, const char* routine, const char* text) {
    s.routine(routine, text);
    if (!unit_flush(s.unit())) s.fail(false);
}

void WRITESSYSDIM(SnapStream& s) {
    s.routine("WRITESSYSDIM", "Error occurred while writing subsystem parameters to file");
    s.write_record("");
    s.label("SUBSYSDIM:");
    int32_t n = std::max(DIMBLOCK.AVAIL[ND_SUBSYS], 1);
    s.counted_ints(n, n, [](int32_t i) -> int32_t& { return SOLUTION_ARRAYS.SSDIM(i); });
    s.write_record("");
}

void set_storage_pointers(int32_t extra) {
    PointerBlock& p = POINTER_BLOCK;
    const auto& d = DIMBLOCK.REQ;
    p.NSTOL = d[ND_STOL];
    p.NSTOI = d[ND_STOI];
    p.NSTOF = d[ND_STOF];
    p.NSTOC = d[ND_STOC];
    p.NEXC = d[ND_STOR];
    // The model-side pointers stand one beyond their arrays' dimensions
    // when read back.
    const std::pair<int32_t*, int> model_side[] = {
        {&p.NSTORL, ND_STORL}, {&p.NSTORI, ND_STORI}, {&p.NSTORF, ND_STORF}, {&p.NSTORC, ND_STORC},
        {&p.NRTCL, ND_RTCL},   {&p.NRTCI, ND_RTCI},   {&p.NRTCF, ND_RTCF},   {&p.NRTCC, ND_RTCC},
        {&p.NSTXFRL, ND_STXFRL}, {&p.NSTXFRI, ND_STXFRI}, {&p.NSTXFRF, ND_STXFRF}, {&p.NSTXFRC, ND_STXFRC}};
    for (const auto& [pointer, k] : model_side) *pointer = d[k] + extra;
}

void set_map_pointers() {
    POINTER_BLOCK.NNODE = DIMBLOCK.REQ[ND_NNODES];
    POINTER_BLOCK.NSUBS = DIMBLOCK.REQ[ND_SUBSYSPAGE];
    POINTER_BLOCK.NCXMAP = DIMBLOCK.REQ[ND_CX];
}

void WRITESTORS(SnapStream& s) {
    s.routine("WRITESTORS", "Error occurred while writing STORs to file");
    s.write_record("");
    set_storage_pointers(0);
    walk_storage(s);
}

void WRITEMAP(SnapStream& s) {
    s.routine("WRITEMAP", "Error occurred while writing Node Map to file");
    set_map_pointers();
    walk_node_map(s);
}

// READSNP's own refusal: the snapshot is closed before the run ends.
[[noreturn]] void refuse_snapshot(const char* text) {
    USERMSG(0, 0, 2, 1, text);
    CLOSEFILE();
    ABORT_RUN("READSNP", 1);
}

// The head's value as its writer puts it: 16 significant digits.
bool head_holds(double value, double head) {
    double written = 0.0;
    ListRead r(edit("G24.16", value));
    r.real(written);
    return r.ok() && written == head;
}

// The snapshot's time and step are the head's, and its time is its step
// count's; a thousandth of a step leaves room for a writer that sums its
// steps.
bool time_agrees(double head_time, double head_step) {
    const RunClock& c = RUN_CLOCK;
    if (!head_holds(c.TIME, head_time) || !head_holds(c.DELT, head_step)) return false;
    return std::fabs(c.TIME - static_cast<double>(PARAMS.SNAP_IIISNP) * c.DELT) <= 1.0e-3 * c.DELT;
}

void READSTORS(SnapStream& s) {
    s.routine("READSTORS", "Unexpected End_Of_File", "Error while reading data from line:");
    set_storage_pointers(1);
    POINTER_BLOCK.NTXFR = DIMBLOCK.REQ[ND_NPAGES];
    walk_storage(s);
}

void READMAP(SnapStream& s) {
    s.routine("READMAP", "Unexpected End_Of_File", "Error while reading map info from line:");
    set_map_pointers();
    // No map file is read: the lists come back whole, to their dimensions.
    MAP_READ.node_filled = DIMBLOCK.REQ[ND_NNODES];
    MAP_READ.subs_filled = DIMBLOCK.REQ[ND_SUBSYSPAGE];
    MAP_READ.cxmap_filled = DIMBLOCK.REQ[ND_CXMAP];
    walk_node_map(s);
}

// An interval under a step would leave the next time behind the next
// step's window, where no step reaches it: it then falls to the next step.
void next_planned_snapshot(RunClock& c) {
    c.SNAP_TIME += RUN_SETUP.snap_interval;
    const double next = c.TIME + c.DELT;
    if (c.SNAP_TIME - next <= -kSnapWindow * c.DELT) c.SNAP_TIME = next;
}

}  // namespace

void WRITESNP() {
    RunClock& c = RUN_CLOCK;
    // Before the first step of a run from data the state is not complete.
    if (is_true(SNAPSHOT_COUNTERS.on_request) && is_true(RUN_FLAGS.FIRST_STEP_DATA)) {
        if (!is_true(SNAPSHOT_COUNTERS.early_request_warned))
            USERMSG(0, 0, 1, 1, "Snapshot request before the first step is ignored");
        SNAPSHOT_COUNTERS.early_request_warned = LTRUE;
        return;
    }
    SNAPFILE(3);
    const int32_t unit = INPUT.INPUT_UNIT;
    SnapStream s(SnapStream::Dir::Write, unit);
    s.routine("WRITESNP", "Error occurred while writing snap file");
    s.write_record("! ZARIK SNAP-SHOT - Version, Time, Delt");
    s.write_record(record_of(format_fortran("(3(G24.16,1X))", {ZARIK_VERSION, c.TIME, c.DELT})));
    s.write_record(std::string("! ") += PARAMS.title.sub(1, 60));
    WRITELINE(unit);
    WRITEDIM(unit);
    written(s, "WRITESNP", "Error occurred while writing snap file");
    WRITEPARM(unit);
    written(s, "WRITEPARM", "Error occurred while writing parameters to file");
    WRITESSYSDIM(s);
    WRITESTORS(s);
    WRITEMAP(s);
    s.routine("WRITESNP", "Error occurred while writing snap file");
    s.label("MAP_UPDATE:");
    s.write_record(record_of(format_list({INPUT.MAP_FILE_NAME})));
    if (DIMBLOCK.NSUBSYS > 0) {
        walk_network(s);
        walk_lines_and_changes(s);
    }
    WRITELINE(unit);
    s.write_record(kEndLine);
    if (!is_true(SNAPSHOT_COUNTERS.on_request)) next_planned_snapshot(c);
    written(s, "WRITESNP", "Error occurred while writing snap file");
    CLOSEFILE();
    if (std::rename(SNAPSHOT_COUNTERS.temp_path.c_str(), SNAPSHOT_COUNTERS.target_path.c_str()) != 0) {
        std::remove(SNAPSHOT_COUNTERS.temp_path.c_str());
        USERMSG(0, 0, 2, 1, "Error occurred while writing snap file");
        ABORT_RUN("WRITESNP", 0);
    }
    write_formatted(CONSOLE_UNITS.out, "(A,G15.8,A,A34)",
                    {"Snapshot: Time: ", c.TIME, "  File: ", Text34(SNAPSHOT_COUNTERS.target_path)});
}

void SNAP_OK(Logical& accepted, double& snap_time) {
    RunClock& c = RUN_CLOCK;
    accepted = LFALSE;
    SNAPFILE(1);
    RDCMNT();
    const Text72 token = FIRST_TOKEN(INPUT.DATA_LINE);
    if (token[0] != '4') {
        write_list(UNIT_CONSOLE_OUT, {"ERROR: ZARIK: Incompatible snap-shot file"});
        if (token == "******") write_list(UNIT_CONSOLE_OUT, {"Seems like a HOLVA V2 snap-shot file"});
        if (token[0] == '3') write_list(UNIT_CONSOLE_OUT, {"Seems like a HOLVA V3 snap-shot file"});
        ABORT_RUN("SNAP_OK", 1);
    }
    double version = 0.0;
    ListRead r(INPUT.INPUT_UNIT);
    r.real(version).real(c.TIME).real(c.DELT);
    if (!r.ok() || !std::isfinite(c.TIME) || !std::isfinite(c.DELT)) {
        write_list(UNIT_CONSOLE_OUT,
                   {r.status() == ReadStatus::End ? "ZARIK: Unexpected End_Of_File" : "ZARIK: Error while reading snap file:"});
        CLOSEFILE();
        ABORT_RUN("SNAP_OK", 1);
    }
    snap_time = c.TIME;
    if (std::fabs(version - ZARIK_VERSION) <= 1.0e-6) {
        accepted = LTRUE;
        if (is_true(RUN_SETUP.snap_planned)) c.SNAP_TIME += snap_time;
        CLOSEFILE();
        return;
    }
    CLOSEFILE();
    OUTMSG(107, 0, 0, 0, 0.0, 0.0, Text72(RUN_SETUP.start_file.sub(1, 10)));
    ABORT_RUN("SNAP_OK", 1);
}

void READSNP() {
    write_list(UNIT_CONSOLE_OUT, {"Reading data for snap file: ", RUN_SETUP.start_file});
    SNAPFILE(1);
    RDCMNT();
    double head_time = 0.0, head_step = 0.0;
    {
        double version = 0.0;
        ListRead r(INPUT.INPUT_UNIT);
        r.real(version).real(head_time).real(head_step);
        if (!r.ok())
            refuse_snapshot(r.status() == ReadStatus::End ? "ZARIK: Unexpected end of file while reading snapfile"
                                                          : "ZARIK: Error while reading snap file");
    }
    RDDIM();
    CLEAR_STORAGE();
    RDPARM();
    if (!time_agrees(head_time, head_step)) refuse_snapshot("ZARIK: Error while reading snap file");
    XFMR_TABLES.XF_COUNT = DIMBLOCK.REQ[ND_TRAFOS];
    LINE_COUNTS.NTLMODAL = DIMBLOCK.REQ[ND_TLINES];
    READSSDIM(false);
    int32_t status = 0;
    ALLOCATION(DIMBLOCK.NSUBSYS, status);
    if (status != 0) refuse_snapshot("ZARIK: Error while reading snap file");

    SnapStream s(SnapStream::Dir::Read, INPUT.INPUT_UNIT);
    s.routine("READSNP", "ZARIK: Unexpected end of file while reading snapfile", "ZARIK: Error while reading snap file");
    s.empty_line();  // closes "SUBSYSDIM:"
    s.empty_line();  // opens the storage arrays
    READSTORS(s);
    READMAP(s);
    RUN_OUTPUT.snapshot_channels = DIMBLOCK.NPGBS;
    UPDATE_MAP();
    s.routine("READSNP", "ZARIK: Unexpected end of file while reading snapfile", "ZARIK: Error while reading snap file");
    // The storage took back whatever the writer wrote; the network, the
    // transformers and the lines hold numbers only.
    s.finite_reals();
    if (DIMBLOCK.NSUBSYS > 0) {
        walk_network(s);
        walk_lines_and_changes(s);
    }
    // The file ends with the separator and the end line, or it was cut.
    for (const std::string& expected : {separator(), std::string(kEndLine)}) {
        std::string line;
        const ReadStatus st = unit_read_line(INPUT.INPUT_UNIT, line);
        if (st != ReadStatus::Ok || line != expected) s.fail(st == ReadStatus::End);
    }
    CLOSEFILE();
    if (!is_true(RUN_SEQ.CONNECTED) && DIMBLOCK.NSUBSYS > 0) ask_eni_ports();
    RUN_CLOCK.START_STEP = PARAMS.SNAP_IIISNP;
}
