#include "network/node_numbering.h"

#include <algorithm>
#include <cstdint>

#include "engine/abort.h"
#include "engine/solution_arrays.h"
#include "engine/storage.h"
#include "network/dimensions.h"
#include "network/input_state.h"
#include "network/network_tables.h"
#include "network/parameters.h"
#include "platform/text_units.h"

MapPage MAP_PAGE;

namespace {

void console(FValues values) { write_list(UNIT_CONSOLE_OUT, values); }

// A local node beyond its page's node list would read another page's
// words: it is a data error.
void check_page_node(const Text12& name, int32_t k) {
    if (k <= MAP_PAGE.page_nodes) return;
    console({"Invalid node number: ", k});
    ABORT_RUN(name, 1);
}

// The highest node a subsystem can hold: its own size from "SUBSYSDIM:"
// when the matrices are made per subsystem.
int32_t subsystem_node_limit(int32_t s) {
    if (!is_true(PARAMS.USE_SUBSYSDIM)) return INT32_MAX;
    return SOLUTION_ARRAYS.SSDIM(s);
}

}  // namespace

int32_t NODENUM(int32_t p, int32_t k) {
    const Text12 name = "NODENUM";
    if (k < 0) {
        console({"Negative node number encountered"});
        ABORT_RUN(name, 1);
    }
    if (p == 0) return k;
    check_page_node(name, k);
    return STORAGE.NODE(int64_t{p} + k);
}

int32_t SSNUM(int32_t p, int32_t k) {
    if (INPUT.MAP_FILE_NAME.is_blank()) {
        DIMBLOCK.NSUBSYS = 1;
        return 1;
    }
    int32_t s = 0;
    if (MAP_PAGE.map_mode == "OLD") {
        s = STORAGE.NODE(p - 1);
    } else if (MAP_PAGE.map_mode == "NEW" && k >= 1) {
        check_page_node("SSNUM", k);
        s = STORAGE.NODE_SUBSYS(k);
    }
    CHECKSSN(s);
    return s;
}

void CHECKSSN(int32_t s) {
    const Text12 name = "CHECKSSN";
    if (s > DIMBLOCK.NSUBSYS) {
        console({"Subsystem # ", s, " is > max. subsystems to be used"});
        console({"Check for missmatches in mapfile and datafiles"});
        ABORT_RUN(name, 1);
    }
    if (s == 0) {
        console({"Zero subsystem # encountered"});
        console({"Check for missmatch between map file and datafile"});
        ABORT_RUN(name, 1);
    }
    if (s < 0) {
        console({"Negative subsystem # encountered"});
        ABORT_RUN(name, 1);
    }
}

void ZARIK_NODE(int32_t p, int32_t k, int32_t& g) {
    const Text12 name = "ZARIK_NODE";
    g = NODENUM(p, k);
    const int32_t nd1 = DIMBLOCK.AVAIL[ND_NODES];
    if (g > nd1) {
        console({"Branch node ", k, "=>", g, "is > ", nd1});
        ABORT_RUN(name, 1);
    }
    if (p < 1 || k < 1) return;
    const int32_t s = SSNUM(p, k);
    // With matrices of each subsystem's own size, a node beyond that size
    // has no row.
    const int32_t own = subsystem_node_limit(s);
    if (g > own) {
        console({"Branch node ", k, "=>", g, "is > ", own});
        ABORT_RUN(name, 1);
    }
    NET.NBUSES(s) = std::max(NET.NBUSES(s), g);
}
