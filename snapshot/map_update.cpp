// A restored run takes its print settings and output channels from the
// case's map file when that file is still there.
#include <algorithm>
#include <cmath>
#include <iterator>
#include <string>

#include "engine/abort.h"
#include "engine/memory_budget.h"
#include "engine/run_state.h"
#include "engine/storage.h"
#include "network/dimensions.h"
#include "network/input_state.h"
#include "network/line_reader.h"
#include "network/parameters.h"
#include "platform/list_read.h"
#include "platform/text_units.h"
#include "snapshot/run_output.h"
#include "snapshot/snapshot.h"

namespace {

[[noreturn]] void stop(const char* text, int32_t mode = 1) {
    USERMSG(0, 0, 2, 1, text);
    ABORT_RUN("UPDATE_MAP", mode);
}

Text72 next_line() {
    Text72 line;
    const ReadStatus st = READ_DATA_LINE(line);
    if (st == ReadStatus::End) stop("Unexpected End_Of_File");
    if (st == ReadStatus::Error) stop("Error while reading data from line:");
    return line;
}

// A "MAP:" line makes its page the current file name, by which the data
// start opens it; the update reads on in the file it has open, and its
// messages name that one.
void name_the_open_file() { INPUT.DATA_FILE_NAME = CURRENT_FILE_NAME(); }

void read_key() {
    RDCMNT();
    name_the_open_file();
}

void skip_section() {
    NEXTKEY();
    name_the_open_file();
}

// The channel array size for n channels: the next multiple of ten above.
int64_t channel_room(int64_t n) { return 10 * (std::max<int64_t>(n, 1) / 10) + 10; }

// The map's channel count: not below zero, and within the bound that every
// dimension keeps.
void check_channel_count(const Text72& name, int32_t n) {
    if (n < 0) {
        say_negative_dimension(n, name);
        ABORT_RUN("UPDATE_MAP", 1);
    }
    if (n > dimension_bound(ND_PGBS)) {
        say_beyond_bound("PGBS", n, dimension_bound(ND_PGBS));
        REFUSE_ALLOCATION("UPDATE_MAP");
    }
}

void compare_or_take_dimension(const Text72& name, int32_t n, int32_t& channels) {
    static constexpr std::pair<const char*, int> kCompared[] = {
        {"NODES", ND_NODES}, {"SUBSYS", ND_SUBSYS}, {"BRANCHES", ND_BRANCHES}, {"NNODES", ND_NNODES},
        {"STOL", ND_STOL},   {"STOI", ND_STOI},     {"STOF", ND_STOF},         {"STOC", ND_STOC}};
    for (const auto& [key, index] : kCompared) {
        if (!(name == key)) continue;
        if (n == DIMBLOCK.REQ[index]) return;
        // The map that declared the room the snapshot's run had, or one
        // that declares just the nodes that run used.
        if (index == ND_NODES && n == DIMBLOCK.SNAP_NODES_USED) return;
        USERMSG(0, 0, 2, 3, "Snapshot file is incompatible. ");
        USERMSG(0, 0, 2, 0, "This may be due to modifications done to the project or the definition");
        USERMSG(0, 0, 2, -1, " of a component in the project after the Snapshot file created.");
        ABORT_RUN("UPDATE_MAP", 0);
    }
    if (!(name == "PGBS")) return;
    check_channel_count(name, n);
    channels = n;
    if (RUN_SEQ.IRUN > 1 || n == DIMBLOCK.NPGBS) return;
    // Both counts fit in every later run, which reads the snapshot's
    // channel values again before it takes the map's count.
    const int32_t room = static_cast<int32_t>(channel_room(std::max(n, DIMBLOCK.NPGBS)));
    DIMBLOCK.NPGBS = DIMBLOCK.REQ[ND_PGBS] = n;
    StorageArrays& S = STORAGE;
    REALLOC_PGBLIST(room);
    S.PGBNAME.allocate(room);
    for (int32_t i = 1; i <= n; ++i) {
        S.PGB(i) = 0.0;
        S.PGBNAME(i) = "PGB";
    }
}

// One "MPGBS:" record: the count, then that many channel numbers.
void read_mpgbs_record() {
    StorageArrays& S = STORAGE;
    ListRead r(INPUT.INPUT_UNIT);
    int32_t& m = RUN_OUTPUT.mpgbs_count;
    r.integer(m);
    if (r.ok() && (m < 0 || m > S.MPGBS.extent(1))) stop("Error while reading data from line:");
    for (int32_t i = 1; i <= m && r.ok(); ++i) r.integer(S.MPGBS(i));
    if (!r.ok()) stop(r.status() == ReadStatus::End ? "Unexpected End_Of_File" : "Error while reading data from line:");
}

// The sections whose lines the data start reads with a reader of its own
// (for "MAP:" without opening the page file); it passes over the others
// with NEXTKEY, which ignores INCLUDE lines.
bool read_by_the_data_start(const Text72& key) {
    static constexpr const char* kRead[] = {"MAP:",      "SUBSYSDIM:",    "SUBS:",   "RADIOLINKS:",    "VOLTAGES:",
                                            "BRANCHES:", "TRANSFORMERS:", "TLINES:", "GLOBAL_TLINES:", "STOL:",
                                            "STOI:",     "STOF:",         "STOC:",   "CX:",            "CXMAP:"};
    return std::any_of(std::begin(kRead), std::end(kRead), [&key](const char* k) { return key == k; });
}

}  // namespace

void UPDATE_MAP() {
    // The key stands right after the node map, as its writer puts it: a
    // comment or any other line in its place is no snapshot of this map.
    {
        std::string record;
        const ReadStatus st = unit_read_line(INPUT.INPUT_UNIT, record);
        if (st == ReadStatus::Error) stop("Error while reading data from line:");
        if (st == ReadStatus::Ok) INPUT.DATA_LINE.assign(record);
        if (st == ReadStatus::End || trim_both(record) != "MAP_UPDATE:") stop("Unexpected End_Of_File");
        INPUT.SECTION_KEY = "MAP_UPDATE:";
    }
    // The name whole after the writer's leading blank: a list read would
    // end a path at its first '/'.
    INPUT.MAP_FILE_NAME.assign(next_line().sub(2, 35));
    const Text72 snapshot_name = INPUT.DATA_FILE_NAME;
    const int32_t snapshot_unit = INPUT.INPUT_UNIT;
    INPUT.DATA_FILE_NAME.assign(INPUT.MAP_FILE_NAME.view());
    if (!OPENFILE_IF_FOUND()) {
        INPUT.DATA_FILE_NAME = snapshot_name;
        USERMSG(0, 0, 1, 2, "Specified Mapfile not found: " + INPUT.MAP_FILE_NAME.trimmed());
        USERMSG(0, 0, 1, -1, ". Continuing with original parameters.");
        return;
    }
    int32_t channels = DIMBLOCK.NPGBS;
    INPUT.SECTION_KEY = "DIMENSIONS:";
    GOTOSECTION();
    name_the_open_file();
    read_key();
    while (INPUT.SECTION_KEY == "DIMENSIONS:") {
        const Text72 line = next_line();
        int32_t n = 0;
        ListRead r(GETVALUE(line).view());
        r.integer(n);
        if (!r.ok()) stop("Error while reading data from line:");
        compare_or_take_dimension(FIRST_TOKEN(line), n, channels);
        read_key();
    }
    // An INCLUDE line after the dimensions: its file's first key is next.
    if (INPUT.SECTION_KEY == "INCLUDE:") skip_section();
    if (INPUT.SECTION_KEY == "PARAMETERS:") {
        read_key();
        while (INPUT.SECTION_KEY == "PARAMETERS:") {
            const Text72 line = next_line();
            const Text72 key = FIRST_TOKEN(line), value = GETVALUE(line);
            if (key == "PRINT_STEP" && !value.is_blank()) {
                ListRead r(value.view());
                r.real(RUN_CLOCK.PRINT_STEP);
                if (!r.ok() || !std::isfinite(RUN_CLOCK.PRINT_STEP)) stop("Error while reading data from line:");
                // As a run from data takes it, so that the snapshots of the
                // restored run give the print step of the run it continues.
                RUN_CLOCK.PRINT_STEP = WHOLE_PRINT_STEP(RUN_CLOCK.PRINT_STEP, RUN_CLOCK.DELT);
            } else if (key == "PRINT_DIMENSIONS" && FIRST_TOKEN(value) == "YES") {
                PARAMS.PRINT_DIMENSIONS = LTRUE;
            }
            read_key();
        }
    }
    // The count the snapshots of this run write their channels by, in the
    // later runs too, which keep the arrays of the first.
    DIMBLOCK.NPGBS = DIMBLOCK.REQ[ND_PGBS] = std::min(channels, static_cast<int32_t>(STORAGE.PGBNAME.extent(1)));
    // The case writes its channels within the room a data start of this
    // map gives them, or stops as that start does; the room beyond is kept.
    STORAGE.PGB.set_extent(channel_room(DIMBLOCK.NPGBS));
    // Each section reader leaves the next key current: it is looked at
    // before any further line is read, so that no section is passed over.
    // Every pass takes at least one line.
    // The data start reads no further than "ENDCASE": without a list there
    // the channels keep the names the snapshot holds.
    while (DIMBLOCK.NPGBS > 0 && !(INPUT.SECTION_KEY == "ENDCASE:")) {
        if (INPUT.SECTION_KEY == "PGBList:") {
            for (int32_t i = 1; i <= DIMBLOCK.NPGBS; ++i) {
                std::string line;
                const ReadStatus st = READ_CHANNEL_LABEL(line);
                if (st == ReadStatus::End) stop("Unexpected End_Of_File");
                if (st == ReadStatus::Error) stop("Error while reading data from line:");
                STORAGE.PGBNAME(i).assign(line);
            }
            // A further block names them again, and a later "MPGBS:" counts
            // again, as in the run from data that the restored run continues.
            read_key();
        } else if (INPUT.SECTION_KEY == "MPGBS:" || read_by_the_data_start(INPUT.SECTION_KEY)) {
            // Its lines one by one, as the data start's reader takes them:
            // comments are passed over and an INCLUDE line is followed.
            const Text72 key = INPUT.SECTION_KEY;
            read_key();
            if (!(INPUT.SECTION_KEY == key)) continue;
            if (key == "MPGBS:") {
                read_mpgbs_record();
            } else {
                next_line();
            }
        } else {
            skip_section();
        }
    }
    // The map file and any file it included: the snapshot is read next.
    while (INPUT.INPUT_UNIT > snapshot_unit) CLOSEFILE();
    INPUT.DATA_FILE_NAME = snapshot_name;
}
