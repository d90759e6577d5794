// Test support: runs a circuit through ngspice in batch mode in a scratch
// folder and reads back the rows its "wrdata out.txt ..." line wrote.
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

// Rows of time and values, without the header line.
inline std::vector<std::vector<double>> ngspice_rows_of(const std::string& circuit) {
    const TempDir dir;
    write_file(dir.file("case.cir"), circuit);
    // ngspice's batch mode ends with status 1 when it has no plot to show.
    const int status = std::system(("cd '" + dir.path + "' && ngspice -b case.cir > log.txt 2>&1").c_str());
    EXPECT_TRUE(WIFEXITED(status)) << status;
    std::vector<std::vector<double>> rows;
    std::ifstream in(dir.file("out.txt"));
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
