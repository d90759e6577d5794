// Test support: a transient of ngspice sampled at every engine step of
// 50 us (its own steps of 1 us, linearised).
#pragma once

#include <sstream>
#include <string>
#include <vector>

#include "platform/tests/support/ngspice.h"

inline bool have_ngspice() { return std::system("command -v ngspice >/dev/null 2>&1") == 0; }

// The named vectors of the netlist body at t = 0, 50 us, ... up to stop;
// one row per sample, without the time.
inline std::vector<std::vector<double>> ngspice_samples(const std::string& body, const std::string& vectors,
                                                        double stop) {
    std::ostringstream s;
    s << "* circuit\n" << body;
    s << ".tran 1u " << stop << " 0 1u\n.control\nset wr_singlescale\nset wr_vecnames\nrun\nlinearize\n";
    s << "wrdata out.txt " << vectors << "\n.endc\n.end\n";
    const auto rows = ngspice_rows_of(s.str());
    std::vector<std::vector<double>> samples;
    for (size_t k = 0; k < rows.size(); k += 50) samples.emplace_back(rows[k].begin() + 1, rows[k].end());
    return samples;
}
