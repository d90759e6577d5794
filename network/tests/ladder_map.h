// The 1,000-node ladders of the trace tests as a map file and its page.
#pragma once

#include <sstream>
#include <string>

#include "platform/tests/support/unit_ops.h"

// A ladder of n nodes at a 1 us step: a 1 V source behind 1 ohm into node
// 1; R-C: 1 uF to ground at each node, 1 ohm between neighbours and 100
// ohm at the end; R-L: 100 ohm to ground, 1 ohm and 1 mH between neighbours.
inline void write_ladder(const std::string& dir, int32_t n, bool rc) {
    std::ostringstream map, page;
    map << "DIMENSIONS:\n NODES = " << n << "\n SUBSYS = 1\n BRANCHES = " << 2 * n + 1 << "\n NNODES = " << n + 4
        << "\n NPAGES = 1\n SUBSYSPAGE = 1\n SPARSITY = " << 2 * n + 10
        << "\nPARAMETERS:\n TIME_STEP = 1.0E-6\n PRINT_STEP = 1.0E-3\n FINISH_TIME = 1.0\nSUBSYSDIM:\n 1 " << n
        << "\nMAP: 'page.map'\n 1 " << n;
    for (int32_t k = 1; k <= n; ++k) map << " " << k;
    map << "\n 0 0\nENDCASE\n";
    page << "BRANCHES:\n 0 1 RE 1.0 1.0\n";
    for (int32_t k = 1; k <= n; ++k) {
        if (rc) {
            page << " " << k << " 0 C 1.0\n";
            page << " " << k << " " << (k < n ? k + 1 : 0) << " R " << (k < n ? "1.0" : "100.0") << "\n";
        } else {
            page << " " << k << " 0 R 100.0\n";
            if (k < n) page << " " << k << " " << k + 1 << " RL 1.0 1.0E-3\n";
        }
    }
    page << "ENDPAGE\n";
    write_file(dir + "/ladder.map", map.str());
    write_file(dir + "/page.map", page.str());
}
