#include "network/map_pages.h"

#include <cstdint>
#include <limits>
#include <set>
#include <vector>

#include "engine/abort.h"
#include "engine/pointer_block.h"
#include "engine/storage.h"
#include "network/dimensions.h"
#include "network/input_state.h"
#include "network/line_reader.h"
#include "network/node_numbering.h"
#include "platform/list_read.h"
#include "platform/text_units.h"

namespace {

const Text12 kName = "NODELKUP";

[[noreturn]] void stop(FValues lines) {
    write_list(UNIT_CONSOLE_OUT, lines);
    ABORT_RUN(kName, 2);
}

void read_int(ListRead& in, int32_t& v, const char* bad_record) {
    in.integer(v);
    if (in.status() == ReadStatus::End) stop({"Unexpected End_Of_File"});
    if (in.status() == ReadStatus::Error) stop({bad_record});
}

// The page's mapping lines follow its "MAP:" line; a key line instead of
// one means the mapping was cut short.
void next_mapping_line() {
    RDCMNT();
    if (!(INPUT.SECTION_KEY == "MAP:")) stop({"Unexpected end of node mapping"});
}

// The node list of the page, checked before anything is stored.
std::vector<int32_t> read_node_list(ListRead& in, int64_t p) {
    int32_t s = 0, n = 0;
    read_int(in, s, "Error reading map file");
    read_int(in, n, "Error reading map file");
    MAP_PAGE.map_mode = (s == 0 && n > 0) ? "NEW" : "OLD";
    if (s < 0 || s > DIMBLOCK.NSUBSYS) stop({"Out of range subsystem #", s});
    if (n < 0) stop({"Negative number of nodes: ", n});
    const int64_t room = STORAGE.NODE.size();
    if (p + n > room) {
        write_list(UNIT_CONSOLE_OUT, {"ERROR: Insufficient # of NNODES (ND21):"});
        write_formatted(UNIT_CONSOLE_OUT, "(A,I5,A,I5)", {" Required:", p + n, ";   Available:", room});
        ABORT_RUN(kName, 2);
    }
    std::vector<int32_t> nodes(static_cast<size_t>(n));
    for (int32_t& g : nodes) read_int(in, g, "Error reading map file");
    bool bad = false;
    for (const int32_t g : nodes) {
        if (g >= 0 && g <= DIMBLOCK.AVAIL[ND_NODES]) continue;
        write_list(UNIT_CONSOLE_OUT, {"Invalid node number: ", g});
        bad = true;
    }
    if (bad) stop({"Errors occurred in PAGES section of map file"});
    nodes.insert(nodes.begin(), s);
    return nodes;  // the subsystem first, then the nodes
}

// A page in the new form: the subsystem of each of its n nodes.
void read_subsystem_list(int32_t n, int32_t subsys_offset) {
    const char* bad_record = "Error reading Subsystem information in map file";
    next_mapping_line();
    ListRead in(INPUT.INPUT_UNIT);
    int32_t slots = 0, m = 0;
    read_int(in, slots, bad_record);
    read_int(in, m, bad_record);
    const int32_t nss = DIMBLOCK.NSUBSYS;
    if (m < 0 || m > nss) stop({"Out of range # of subsystems in map file", m});
    std::vector<int32_t> list(static_cast<size_t>(n));
    for (int32_t& s : list) read_int(in, s, bad_record);
    std::set<int32_t> distinct;
    for (const int32_t s : list) {
        if (s < 0 || s > nss) stop({"Out of range subsystem # in map file", s});
        distinct.insert(s);
    }
    if (static_cast<int64_t>(distinct.size()) != m) stop({"Incorrect subsystem count in map file", m});
    if (slots == 0) slots = m;
    const int64_t nsubs = int64_t{slots} + subsys_offset;
    if (slots < 0 || nsubs > std::numeric_limits<int32_t>::max())
        stop({"Out of range # of subsystems in map file", slots});
    for (int32_t k = 1; k <= n; ++k) STORAGE.NODE_SUBSYS(k) = list[static_cast<size_t>(k - 1)];
    POINTER_BLOCK.NSUBS = static_cast<int32_t>(nsubs);
}

void read_csc_offsets(int32_t& csc_begin1, int32_t& csc_begin2) {
    const char* bad_record = "Error reading CSC offsets in map file";
    next_mapping_line();
    ListRead in(INPUT.INPUT_UNIT);
    read_int(in, csc_begin1, bad_record);
    read_int(in, csc_begin2, bad_record);
    if (csc_begin1 < 0 || csc_begin1 > DIMBLOCK.REQ[ND_CSCS]) stop({"Out of range CSC begin index", csc_begin1});
    if (csc_begin2 < 0 || csc_begin2 > DIMBLOCK.REQ[ND_CSCR]) stop({"Out of range CSC begin index", csc_begin2});
}

}  // namespace

void NODELKUP(int32_t& node_offset, int32_t& subsys_offset, int32_t& csc_begin1, int32_t& csc_begin2) {
    PointerBlock& pb = POINTER_BLOCK;
    const int64_t p = int64_t{pb.NNODE} + 2;
    subsys_offset = pb.NSUBS;
    csc_begin1 = csc_begin2 = 0;

    next_mapping_line();
    std::vector<int32_t> page;
    {
        ListRead in(INPUT.INPUT_UNIT);
        page = read_node_list(in, p);
    }
    const int32_t n = static_cast<int32_t>(page.size()) - 1;
    // p + n fits NODE, so it fits 32 bits.
    node_offset = static_cast<int32_t>(p);
    STORAGE.NODE(p - 1) = page[0];
    STORAGE.NODE(p) = 0;
    for (int32_t k = 1; k <= n; ++k) STORAGE.NODE(p + k) = page[static_cast<size_t>(k)];
    pb.NNODE = static_cast<int32_t>(p + n);
    MAP_PAGE.page_nodes = n;

    if (MAP_PAGE.map_mode == "NEW") read_subsystem_list(n, subsys_offset);
    read_csc_offsets(csc_begin1, csc_begin2);

    MAP_PAGE.node_offset = node_offset;
    MAP_PAGE.subsys_offset = subsys_offset;
    MAP_PAGE.csc_begin1 = csc_begin1;
    MAP_PAGE.csc_begin2 = csc_begin2;
}
