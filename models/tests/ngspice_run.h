// Test support: a transient of ngspice sampled at every engine step of
// 50 us (its own steps of 1 us, linearised).
#pragma once

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/tests/support/run_program.h"
#include "platform/tests/support/unit_ops.h"

// The named vectors of the netlist body at t = 0, 50 us, ... up to stop;
// one row per sample.
inline std::vector<std::vector<double>> ngspice_samples(const std::string& body, const std::string& vectors,
                                                        double stop) {
    const TempDir dir;
    const std::string out = dir.file("out.txt");
    std::ostringstream s;
    s << "* circuit\n" << body;
    s << ".tran 1u " << stop << " 0 1u\n.control\nset wr_singlescale\nset wr_vecnames\nrun\nlinearize\n";
    s << "wrdata " << out << " " << vectors << "\n.endc\n.end\n";
    write_file(dir.file("case.cir"), s.str());
    const int status = std::system(("cd '" + dir.path + "' && ngspice -b case.cir > log.txt 2>&1").c_str());
    EXPECT_TRUE(WIFEXITED(status)) << status;
    std::vector<std::vector<double>> rows;
    std::ifstream in(out);
    std::string line;
    std::getline(in, line);
    for (int64_t row = 0; std::getline(in, line); ++row) {
        if (row % 50 != 0) continue;
        std::istringstream ls(line);
        std::vector<double> v;
        double t = 0, x = 0;
        ls >> t;
        while (ls >> x) v.push_back(x);
        rows.push_back(v);
    }
    return rows;
}

inline bool have_ngspice() { return std::system("command -v ngspice >/dev/null 2>&1") == 0; }
