#include "network/dimensions.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>
#include <string_view>

#include "engine/abort.h"
#include "engine/memory_budget.h"
#include "engine/run_state.h"
#include "engine/solution_arrays.h"
#include "engine/storage.h"
#include "lines/lines.h"
#include "network/input_state.h"
#include "network/line_reader.h"
#include "network/matrix_plan.h"
#include "platform/list_read.h"

namespace {

const Text12 kRdDim = "RDDIM";

struct Keyword {
    int index;
    const char* name;
    int32_t data_margin;  // added in a "DATA" start
    bool kept;            // line sizes kept over later runs
};

// Every keyword of the section, in the order WRITEDIM writes them.
constexpr Keyword kKeywords[] = {
    {ND_NODES, "NODES", 0, false},           {ND_SUBSYS, "SUBSYS", 0, false},
    {ND_WINDINGS, "WINDINGS", 0, false},     {ND_TRAFOS, "TRAFOS", 0, false},
    {ND_SUBSYSPAGE, "SUBSYSPAGE", 0, false}, {ND_UMEC, "UMEC", 0, false},
    {ND_BRANCHES, "BRANCHES", 0, false},     {ND_SPARSITY, "SPARSITY", 0, false},
    {ND_STOR, "STOR", 10000, false},         {ND_VARS, "VARS", 0, false},
    {ND_CONS, "CONS", 0, false},             {ND_PGBS, "PGBS", 0, false},
    {ND_CX, "CX", 0, false},                 {ND_CXMAP, "CXMAP", 0, false},
    {ND_NNODES, "NNODES", 0, false},         {ND_NPAGES, "NPAGES", 0, false},
    {ND_STOL, "STOL", 0, false},             {ND_STOI, "STOI", 0, false},
    {ND_STOF, "STOF", 0, false},             {ND_STOC, "STOC", 0, false},
    {ND_STORL, "STORL", 1000, false},        {ND_STORI, "STORI", 1000, false},
    {ND_STORF, "STORF", 1000, false},        {ND_STORC, "STORC", 1000, false},
    {ND_TX, "TX", 0, false},                 {ND_TXRX, "TXRX", 0, false},
    {ND_RTCL, "RTCL", 1000, false},          {ND_RTCI, "RTCI", 1000, false},
    {ND_RTCF, "RTCF", 1000, false},          {ND_RTCC, "RTCC", 1000, false},
    {ND_STXFRL, "STXFRL", 100, false},       {ND_STXFRI, "STXFRI", 100, false},
    {ND_STXFRF, "STXFRF", 100, false},       {ND_STXFRC, "STXFRC", 100, false},
    {ND_MAXMODES, "MAXMODES", 0, true},      {ND_TLINES, "TLINES", 0, true},
    {ND_MAXPOLES, "MAXPOLES", 0, true},      {ND_TRAVWAVES, "TRAVWAVES", 0, true},
    {ND_TRANSFORMS, "TRANSFORMS", 0, true},  {ND_TRANSPOLES, "TRANSPOLES", 0, true},
    {ND_ATTPOLES, "ATTPOLES", 0, true},      {ND_SURGEPOLES, "SURGEPOLES", 0, true},
    {ND_NUMMODES, "NUMMODES", 0, true},      {ND_TLINES_PH, "TLINES-PH", 0, true},
    {ND_NUMMODES_PH, "NUMMODES-PH", 0, true}, {ND_MAXMODES_PH, "MAXMODES-PH", 0, true},
    {ND_TRAVWAVES_PH, "TRAVWAVES-PH", 0, true}, {ND_PROP_PH, "PROP-PH", 0, true},
    {ND_HSERC_PH, "HSERC-PH", 0, true},      {ND_YCSERC_PH, "YCSERC-PH", 0, true},
    {ND_XHK_PH, "XHK-PH", 0, true},          {ND_MAXPOLES_PH, "MAXPOLES-PH", 0, true},
    {ND_TLINES_MFDTD, "TLINES-MFDTD", 0, true}, {ND_NUMMODES_MFDTD, "NUMMODES-MFDTD", 0, false},
    {ND_MAXMODES_MFDTD, "MAXMODES-MFDTD", 0, true}, {ND_MAXPOLES_MFDTD, "MAXPOLES-MFDTD", 0, false},
    {ND_MAXINC_MFDTD, "MAXINC-MFDTD", 0, false}, {ND_TLINES_TOTAL, "TLINES-TOTAL", 0, true},
    {ND_ENI_SERVERS, "ENI-SERVERS", 0, true}, {ND_ENI_CLIENTS, "ENI-CLIENTS", 0, true},
    {ND_CSCS, "CSCS", 0, false},             {ND_CSCR, "CSCR", 0, false},
};

// Where each group of WRITEDIM begins in kKeywords.
struct Group {
    size_t first;
    const char* title;
};
constexpr Group kGroups[] = {
    {0, "! ELECTRICAL SYSTEM DIMENSIONS"},
    {8, "! CONTROL/SIGNALS DIMENSIONS"},
    {34, "! BERGERON AND MODAL FRE-DEP TLINE DIMENSIONS"},
    {43, "! PHASE DOMAIN FRE-DEP TLINE DIMENSIONS"},
    {52, "! MFDTD TLINE DIMENSIONS"},
    {58, "! ENI TLINE DIMENSIONS"},
};
constexpr size_t kKeywordCount = sizeof(kKeywords) / sizeof(kKeywords[0]);
static_assert(kKeywordCount == 62, "every keyword once");

// The matrices the case will ask for, found before its storage is created.
MatrixPlan matrices;

const Keyword* find_keyword(const Text72& name) {
    for (const Keyword& k : kKeywords)
        if (name == k.name) return &k;
    return nullptr;
}

// The limits NDCHECK compares, in its order, with their message lines.
struct Limit {
    int index;
    const char* line1;
    const char* line2;  // a second line, or nullptr
};
constexpr Limit kLimits[] = {
    {1, "ERROR: Insufficient # of nodes (ND1):", nullptr},
    {2, "ERROR: Insufficient # of subsystems (ND2):", nullptr},
    {3, "ERROR: Insufficient # of transformer windings (ND3):", nullptr},
    {4, "ERROR: Insufficient # of transformers (ND4):", nullptr},
    {5, "ERROR: Insufficient # of tline modes (ND5):", nullptr},
    {6, "ERROR: Insufficient # of tlines (ND6):", nullptr},
    {7, "ERROR: Insufficient # of Page Subsystems (ND7):", nullptr},
    {8, "ERROR: Insufficient # of tline poles (ND8):", nullptr},
    {10, "ERROR: Insufficient STOR array size (ND10):", nullptr},
    {11, "ERROR: Insufficient VAR array size (ND11):", nullptr},
    {12, "ERROR: Insufficient CON array size (ND12):", nullptr},
    {13, "ERROR: Insufficient PGB array size (ND13):", nullptr},
    {15, "ERROR: Insufficient # of branches (ND15):", nullptr},
    {16, "ERROR: Insufficient CX array size (ND16):", nullptr},
    {17, "ERROR: Insufficient CXMAP array size (ND17):", nullptr},
    {21, "ERROR: Insufficient # of NNODES (ND21):", nullptr},
    {22, "ERROR: Insufficient # of NPAGES (ND22):", nullptr},
    {23, "ERROR: Insufficient STOL array size (ND23):", nullptr},
    {24, "ERROR: Insufficient STOI array size (ND24):", nullptr},
    {25, "ERROR: Insufficient STOF array size (ND25):", nullptr},
    {26, "ERROR: Insufficient STOC array size (ND26):", nullptr},
    {27, "ERROR: Insufficient STORL array size (ND27):", nullptr},
    {28, "ERROR: Insufficient STORI array size (ND28):", nullptr},
    {29, "ERROR: Insufficient STORF array size (ND29):", nullptr},
    {30, "ERROR: Insufficient STORC array size (ND30):", nullptr},
    {31, "ERROR: Insufficient travelling wave buffers(ND31):", nullptr},
    {32, "ERROR: Insufficient tline transform terms (ND32):", nullptr},
    {33, "ERROR: Insufficient tline transform poles (ND33):", nullptr},
    {34, "ERROR: Insufficient tline attenuation poles(ND34):", nullptr},
    {35, "ERROR: Insufficient tline surge imp. poles(ND35):", nullptr},
    {36, "ERROR: Insufficient tline modal mode space(ND36):", nullptr},
    {37, "ERROR: Insufficient wireless transmitters(ND37):", nullptr},
    {38, "ERROR: Insufficient wireless", "       transmitters and receivers (ND38):"},
    {41, "ERROR: Insufficient # of phase tlines (ND41):", nullptr},
    {42, "ERROR: Insufficient tline phase mode space(ND42):", nullptr},
    {43, "ERROR: Insufficient tline phase mode space(ND43):", nullptr},
    {44, "ERROR: Insufficient travelling wave buffers(ND44):", nullptr},
    {45, "ERROR: Insufficient propagation terms (ND45):", nullptr},
    {46, "ERROR: Insufficient HSERC terms (ND46):", nullptr},
    {47, "ERROR: Insufficient YCSERC terms (ND47):", nullptr},
    {48, "ERROR: Insufficient XHK terms (ND48):", nullptr},
    {49, "ERROR: Insufficient # OF POLE/ZEROES (ND49):", nullptr},
    {53, "ERROR: Insufficient # of MFDTD tlines (ND53):", nullptr},
    {54, "ERROR: Insufficient tline MFDTD mode space(ND54):", nullptr},
    {55, "ERROR: Insufficient tline MFDTD mode space(ND55):", nullptr},
    {56, "ERROR: Insufficient # OF POLE/ZEROES (ND56):", nullptr},
    {57, "ERROR: Insufficient MFDTD increment space (ND57):", nullptr},
    {61, "ERROR: Insufficient RTCL array size (ND61):", nullptr},
    {62, "ERROR: Insufficient RTCI array size (ND62):", nullptr},
    {63, "ERROR: Insufficient RTCF array size (ND63):", nullptr},
    {64, "ERROR: Insufficient RTCC array size (ND64):", nullptr},
    {51, "ERROR: Insufficient STXFRL array size (ND51):", nullptr},
    {52, "ERROR: Insufficient STXFRI array size (ND52):", nullptr},
    {59, "ERROR: Insufficient STXFRF array size (ND59):", nullptr},
    {60, "ERROR: Insufficient STXFRC array size (ND60):", nullptr},
};

[[noreturn]] void end_of_map() {
    write_list(UNIT_CONSOLE_OUT, {"End_Of_File reached while reading map file"});
    ABORT_RUN(kRdDim, 2);
}

[[noreturn]] void bad_map_line() {
    write_list(UNIT_CONSOLE_OUT, {"Error while reading map file", INPUT.MAP_FILE_NAME});
    ABORT_RUN(kRdDim, 2);
}

// Reads the waiting data line; a file that ends or fails stops the run.
Text72 waiting_line() {
    Text72 line;
    const ReadStatus st = READ_DATA_LINE(line);
    if (st == ReadStatus::End) end_of_map();
    if (st == ReadStatus::Error) bad_map_line();
    return line;
}

bool is_data_start() { return RUN_SEQ.START_MODE == "DATA"; }

// Stores one keyword line's value, with its margin and what it implies;
// every size is worked out in 64 bits and must fit its 32-bit word.
void store_dimension(const Keyword& k, int32_t value, bool later_run) {
    if (later_run && k.kept) return;  // the first run's pre-scan decides these
    const int64_t v = int64_t{value} + (is_data_start() ? k.data_margin : 0);
    constexpr int64_t kMax = std::numeric_limits<int32_t>::max();
    if (v > kMax) bad_map_line();
    DIMBLOCK.REQ[k.index] = static_cast<int32_t>(v);
    if (k.index == ND_NODES) {
        const int64_t sparsity = (v * v - v) / 2 + 1;
        if (sparsity > kMax) bad_map_line();
        DIMBLOCK.REQ[ND_SPARSITY] = static_cast<int32_t>(sparsity);
    }
}

// A snapshot's NODES line holds the largest subsystem its run used and
// the room its arrays had, which the subsystem sizes may fill: the restore
// makes the same room, and its first step records the nodes used again.
int32_t room_for_nodes(ListRead& in, int32_t used, const Text72& name) {
    int32_t room = used;
    in.integer(room);
    if (in.status() == ReadStatus::Error) bad_map_line();
    if (room < 0) {
        say_negative_dimension(room, name);
        ABORT_RUN(kRdDim, 2);
    }
    DIMBLOCK.SNAP_NODES_USED = used;
    return std::max(room, used);
}

void read_section_lines(bool later_run) {
    RDCMNT();
    while (INPUT.SECTION_KEY == "DIMENSIONS:") {
        const Text72 line = waiting_line();
        const Text72 name = FIRST_TOKEN(line);
        const Text72 value_text = GETVALUE(line);
        if (value_text.is_blank()) {
            write_list(UNIT_CONSOLE_OUT, {"Empty dimension for ", name});
            ABORT_RUN(kRdDim, 2);
        }
        int32_t value = 0;
        ListRead in(value_text.view());
        in.integer(value);
        if (in.status() == ReadStatus::End) end_of_map();
        if (in.status() == ReadStatus::Error) bad_map_line();
        if (value < 0) {
            say_negative_dimension(value, name);
            ABORT_RUN(kRdDim, 2);
        }
        const Keyword* k = find_keyword(name);
        if (k && k->index == ND_NODES && !is_data_start()) value = room_for_nodes(in, value, name);
        if (k) {
            store_dimension(*k, value, later_run);
        } else if (!(name == "HARM_N")) {
            USERWARN(0, 0, 1, "Unknown Dimension in map/snap file");
            write_list(UNIT_CONSOLE_OUT, {"WARNING: Unknown dimension: ", name});
            write_list(UNIT_CONSOLE_OUT, {"or in-line data in map file: ", INPUT.MAP_FILE_NAME});
            write_list(UNIT_CONSOLE_OUT, {"Continuing reading map file"});
        }
        RDCMNT();
    }
}

void warn_winding_inconsistency() {
    USERWARN(0, 0, 4, "Detected inconsistency between the number of transformers");
    USERWARN(0, 0, 0, " and the maximum number of windings per transformer. ");
    USERWARN(0, 0, 0, "The likely cause is an incorrect usage of the script directives");
    USERWARN(0, 0, -1, " #TRANSFORMERS and #WINDINGS in custom models.");
}

// Skips the data lines of the current section; returns with the next key.
void skip_section_lines() {
    const Text72 key = INPUT.SECTION_KEY;
    RDCMNT();
    while (INPUT.SECTION_KEY == key) {
        waiting_line();
        RDCMNT();
    }
}

void prescan_parameters() {
    RDCMNT();
    while (INPUT.SECTION_KEY == "PARAMETERS:") {
        const Text72 line = waiting_line();
        plan_layout(matrices, line);
        if (FIRST_TOKEN(line) == "TIME_STEP") {
            ListRead in(GETVALUE(line).view());
            in.real(RUN_CLOCK.DELT);
            if (in.status() == ReadStatus::End) end_of_map();
            if (in.status() == ReadStatus::Error) bad_map_line();
            if (!std::isfinite(RUN_CLOCK.DELT)) {
                write_list(UNIT_CONSOLE_OUT, {"ERROR: TIME_STEP is not a finite number"});
                ABORT_RUN(kRdDim, 1);
            }
            if (!(RUN_CLOCK.DELT > 0.0)) {
                write_list(UNIT_CONSOLE_OUT, {"ERROR: Undefined, Zero or Negative time-step"});
                ABORT_RUN(kRdDim, 1);
            }
        }
        RDCMNT();
    }
}

// The first record of a "SUBSYSDIM:" section, whole, for the sizes of the
// matrices; the section's reader checks it when its turn comes.
void prescan_subsystem_sizes() {
    RDCMNT();
    if (!(INPUT.SECTION_KEY == "SUBSYSDIM:")) return;
    std::string record;
    const ReadStatus st = unit_read_line(INPUT.INPUT_UNIT, record);
    if (st == ReadStatus::End) end_of_map();
    if (st == ReadStatus::Error) bad_map_line();
    ListRead in{std::string_view(record)};
    plan_sizes(matrices, in);
    RDCMNT();
    while (INPUT.SECTION_KEY == "SUBSYSDIM:") {
        waiting_line();
        RDCMNT();
    }
}

// Walks the whole map file, its pages and includes, for the line sizes,
// the time step and the matrices, and leaves the map file positioned at
// "PARAMETERS:".
void prescan_map_file() {
    for (;;) {
        const Text72 key = INPUT.SECTION_KEY;
        if (key == "MAP:") {
            OPENFILE();
            RDCMNT();
        } else if (key == "TLINES:" || key == "GLOBAL_TLINES:") {
            RDTLINES();
        } else if (key == "ENDFILE:") {
            CLOSEFILE();
            INPUT.SECTION_KEY.blank();
            RDCMNT();
        } else if (key == "PARAMETERS:") {
            prescan_parameters();
        } else if (key == "SUBSYSDIM:") {
            prescan_subsystem_sizes();
        } else if (key == "ENDCASE:") {
            // Back to the top of the map file, whatever was left open.
            while (INPUT.INPUT_UNIT > INPUT_UNIT_NONE) CLOSEFILE();
            INPUT.DATA_FILE_NAME.assign(INPUT.MAP_FILE_NAME.view());
            OPENFILE();
            RDCMNT();
            while (!(INPUT.SECTION_KEY == "PARAMETERS:")) skip_section_lines();
            return;
        } else {
            skip_section_lines();
        }
    }
}

// The least a snapshot holds for each unit of the counts it writes records
// by. The arrays written whole take a character a value (the channels
// twice: values and names). The others take a line end for each record the
// reader takes, and a character before it when the record holds values: a
// subsystem's two heading lines, seven head records and the fourteen labels
// and blocks of an empty one (16 + 14); a transformer's fourteen records of
// fixed length and eleven of its winding count (14 * 2 + 11); a line
// record's 13 integers, conductance rows and name (2 + 2 + 1); a complex
// value, a record of its own (2). Capacities are no counts of records and
// stay with the memory check.
//
// The writer writes the network's sections only for a case with a
// subsystem, and a kind of line's only when the case has lines of it.
enum class SnapSection { Head, Network, Modal, Phase, Mfdtd };
struct PerUnit {
    int index;
    int64_t chars;
    SnapSection section = SnapSection::Head;
};
constexpr PerUnit kWrittenPerUnit[] = {
    {ND_STOL, 1},   {ND_STOI, 1},   {ND_STOF, 1},       {ND_STOC, 1},   {ND_STOR, 1},    {ND_STORL, 1},
    {ND_STORI, 1},  {ND_STORF, 1},  {ND_STORC, 1},      {ND_RTCL, 1},   {ND_RTCI, 1},    {ND_RTCF, 1},
    {ND_RTCC, 1},   {ND_STXFRL, 1}, {ND_STXFRI, 1},     {ND_STXFRF, 1}, {ND_STXFRC, 1},  {ND_PGBS, 2},
    {ND_NNODES, 1}, {ND_SUBSYSPAGE, 1}, {ND_TX, 1},     {ND_TXRX, 1},   {ND_CX, 1},      {ND_CXMAP, 1},
    {ND_SUBSYS, 30},
    {ND_TRAFOS, 39, SnapSection::Network}, {ND_TLINES_TOTAL, 5, SnapSection::Network},
    {ND_CSCS, 1, SnapSection::Network}, {ND_CSCR, 1, SnapSection::Network},
    // Names, four integer blocks, flags, the filter and two loss blocks.
    {ND_TLINES, 9, SnapSection::Network},
    // Four buffers, one term, seven pole blocks; five and four complex
    // blocks; seven integer and thirteen real blocks a mode.
    {ND_TRAVWAVES, 4, SnapSection::Modal}, {ND_TRANSFORMS, 1, SnapSection::Modal},
    {ND_TRANSPOLES, 7, SnapSection::Modal}, {ND_ATTPOLES, 10, SnapSection::Modal},
    {ND_SURGEPOLES, 8, SnapSection::Modal}, {ND_NUMMODES, 20, SnapSection::Modal},
    // Two node blocks; complex terms (two kinds of XHK); delays; two buffers.
    {ND_NUMMODES_PH, 2, SnapSection::Phase}, {ND_HSERC_PH, 2, SnapSection::Phase},
    {ND_YCSERC_PH, 2, SnapSection::Phase}, {ND_XHK_PH, 4, SnapSection::Phase},
    {ND_PROP_PH, 1, SnapSection::Phase}, {ND_TRAVWAVES_PH, 2, SnapSection::Phase},
    // A node pair a conductor; for one line at least: a row of each of
    // eight matrices a conductor, two pole blocks and the complex poles,
    // and five state records an increment.
    {ND_NUMMODES_MFDTD, 2, SnapSection::Mfdtd}, {ND_MAXMODES_MFDTD, 8, SnapSection::Mfdtd},
    {ND_MAXPOLES_MFDTD, 4, SnapSection::Mfdtd}, {ND_MAXINC_MFDTD, 10, SnapSection::Mfdtd},
};

bool written(SnapSection section) {
    const auto& req = DIMBLOCK.REQ;
    if (section == SnapSection::Head) return true;
    if (req[ND_SUBSYS] <= 0) return false;
    switch (section) {
        case SnapSection::Modal: return req[ND_TLINES] > 0;
        case SnapSection::Phase: return req[ND_TLINES_PH] > 0;
        case SnapSection::Mfdtd: return req[ND_TLINES_MFDTD] > 0;
        default: return true;
    }
}

const char* keyword_name(int index) {
    const Keyword* k = std::find_if(std::begin(kKeywords), std::end(kKeywords),
                                    [index](const Keyword& w) { return w.index == index; });
    return k->name;
}

// Counts beyond the length of the snapshot's file are not its own, and are
// refused before anything is created.
void check_against_snapshot_length() {
    const int64_t length = unit_file_size(INPUT.INPUT_UNIT);
    if (length < 0) return;
    int64_t chars = 0;
    const PerUnit* largest = &kWrittenPerUnit[0];
    const auto share = [](const PerUnit& u) { return written(u.section) ? DIMBLOCK.REQ[u.index] * u.chars : 0; };
    for (const PerUnit& u : kWrittenPerUnit) {
        chars += share(u);
        if (share(u) > share(*largest)) largest = &u;
    }
    if (chars <= length) return;
    const int index = largest->index;
    write_list(UNIT_CONSOLE_OUT, {"ERROR: The snapshot file is too short for its dimension " +
                                      std::string(keyword_name(index)) + " = " + std::to_string(DIMBLOCK.REQ[index])});
    ABORT_RUN(kRdDim, 1);
}

[[noreturn]] void storage_refused() {
    write_list(UNIT_CONSOLE_OUT, {"Problems in dynamic allocation from data file"});
    ABORT_RUN(kRdDim, 1);
}

// Every dimension within its bound: as written (without the margin of a
// data start), and as the pass over the lines worked it out.
void refuse_beyond_bound() {
    for (const Keyword& k : kKeywords) {
        const int64_t value = DIMBLOCK.REQ[k.index] - (is_data_start() ? k.data_margin : 0);
        const int32_t bound = dimension_bound(k.index);
        if (value <= bound) continue;
        say_beyond_bound(k.name, value, bound);
        storage_refused();
    }
}

// The storage and the matrices that "SUBSYSDIM:" will ask for, held
// together before either is created: storage that cannot be had alone is
// refused when it is created, the two together here as the matrices'.
void hold_storage_and_matrices() {
    ByteCount storage = 0;
    if (!planned_storage_bytes(storage)) storage_refused();
    if (!fits_case(0, storage)) return;
    if (const Shortfall short_of = case_shortfall(0, storage + planned_bytes(matrices)))
        REFUSE_ALLOCATION("ALLOCATION", short_of);
}

void copy_derived_values() {
    DIMBLOCK.NSUBSYS = DIMBLOCK.REQ[ND_SUBSYS];
    DIMBLOCK.NPGBS = DIMBLOCK.REQ[ND_PGBS];
    for (int k = 1; k <= 7; ++k) DIMBLOCK.SNAP_AVAIL[k] = DIMBLOCK.AVAIL[k];
}

}  // namespace

void RDDIM() {
    const bool first_run = RUN_SEQ.IRUN <= 1;
    std::array<int32_t, NDIMS + 1> saved = DIMBLOCK.REQ;
    DIMBLOCK.REQ.fill(0);
    DIMBLOCK.SNAP_NODES_USED = 0;
    if (!first_run)
        for (const Keyword& k : kKeywords)
            if (k.kept) DIMBLOCK.REQ[k.index] = saved[k.index];
    DIMBLOCK.REQ[ND_UMEC] = 5;
    DIMBLOCK.NSUBSYS = 0;
    CURRENT_IDS = {};

    matrices = {};

    RDCMNT();
    if (!(INPUT.SECTION_KEY == "DIMENSIONS:")) {
        write_list(UNIT_CONSOLE_OUT, {"First section in map/snap file must be DIMENSIONS:"});
        ABORT_RUN(kRdDim, 2);
    }
    read_section_lines(!first_run);
    if (DIMBLOCK.REQ[ND_TRAFOS] > 0 && DIMBLOCK.REQ[ND_WINDINGS] < 2) warn_winding_inconsistency();

    if (!is_data_start() && !STORAGE.created) check_against_snapshot_length();
    refuse_beyond_bound();
    if (is_data_start() && first_run) {
        prescan_map_file();
        refuse_beyond_bound();
    } else if (!STORAGE.created) {
        matrices = snapshot_matrix_plan(CURRENT_FILE_NAME().trimmed(), INPUT.INPUT_UNIT + 1);
    }

    if (!STORAGE.created) {
        hold_storage_and_matrices();
        int32_t status = 0;
        ALLOC_STORAGE(status);
        if (status == 0) ALLOC_SSLIST(DIMBLOCK.AVAIL[ND_SUBSYS], status);
        if (status != 0) storage_refused();
    }
    NDCHECK();
    copy_derived_values();
}

int32_t dimension_bound(int index) {
    // Every step walks the line records, used or not.
    if (index == ND_TLINES || index == ND_TLINES_TOTAL) return DIMENSION_BOUND / 4096;
    // A capacity that nothing walks: what it asks for is held by the memory
    // bound, so that a NODES line without SPARSITY still sizes a real case.
    if (index == ND_SPARSITY) return std::numeric_limits<int32_t>::max();
    for (const PerUnit& u : kWrittenPerUnit)
        if (u.index == index) return DIMENSION_BOUND / 16;
    return DIMENSION_BOUND;
}

void say_beyond_bound(std::string_view name, int64_t value, int32_t bound) {
    write_list(UNIT_CONSOLE_OUT, {"ERROR: Dimension " + std::string(name) + " = " + std::to_string(value) +
                                      " is beyond its bound of " + std::to_string(bound)});
}

void say_negative_dimension(int32_t value, const Text72& name) {
    write_list(UNIT_CONSOLE_OUT, {"Negative dimesion ", value, " for ", name});
}

void NDCHECK() {
    bool short_of_room = false;
    for (const Limit& l : kLimits) {
        const int32_t required = DIMBLOCK.REQ[l.index];
        const int32_t available = DIMBLOCK.AVAIL[l.index];
        if (available >= required) continue;
        short_of_room = true;
        write_list(UNIT_CONSOLE_OUT, {l.line1});
        if (l.line2) write_list(UNIT_CONSOLE_OUT, {l.line2});
        write_formatted(UNIT_CONSOLE_OUT, "(A,I5,A,I5)", {" Required:", required, ";   Available:", available});
    }
    if (!short_of_room) return;
    write_list(UNIT_CONSOLE_OUT, {std::string(33, '^')});
    write_list(UNIT_CONSOLE_OUT, {"NDCHECK: Report this problem. "});
    ABORT_RUN("NDCHECK", 2);
}

void WRITEDIM(int32_t unit) {
    write_list(unit, {});
    write_list(unit, {"DIMENSIONS:", "                Used       Available"});
    size_t group = 0;
    for (size_t i = 0; i < kKeywordCount; ++i) {
        if (group < std::size(kGroups) && kGroups[group].first == i) write_list(unit, {kGroups[group++].title});
        const Keyword& k = kKeywords[i];
        // Label in columns 1-25; the used size ends in column 32, the
        // available size in column 48.
        std::string line = " " + pad_text(k.name, 22) + "= ";
        line.resize(24);
        line += edit("I8", DIMBLOCK.REQ[k.index]);
        line.append(8, ' ');
        line += edit("I8", DIMBLOCK.AVAIL[k.index]);
        unit_write_line(unit, line);
    }
    write_list(unit, {" "});
}
