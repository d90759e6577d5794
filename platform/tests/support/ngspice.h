// Test support: runs ngspice in batch mode on a netlist in a scratch
// folder and reads the rows its wrdata command wrote (time, then values).
#pragma once

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "platform/tests/support/run_program.h"
#include "platform/tests/support/unit_ops.h"

// netlist(out) is the whole netlist, writing its data to the file out.
inline std::vector<std::vector<double>> ngspice_rows(const std::function<std::string(const std::string&)>& netlist) {
    const TempDir dir;
    const std::string out = dir.file("out.txt");
    write_file(dir.file("case.cir"), netlist(out));
    // ngspice's batch mode ends with status 1 when it has no plot to show.
    const int status = std::system(("cd '" + dir.path + "' && ngspice -b case.cir > log.txt 2>&1").c_str());
    EXPECT_TRUE(WIFEXITED(status)) << status;
    std::vector<std::vector<double>> rows;
    std::ifstream in(out);
    std::string line;
    std::getline(in, line);
    while (std::getline(in, line)) {
        std::istringstream ls(line);
        std::vector<double> row;
        for (double v; ls >> v;) row.push_back(v);
        if (!row.empty()) rows.push_back(row);
    }
    return rows;
}

inline bool have_ngspice() { return std::system("command -v ngspice >/dev/null 2>&1") == 0; }
