// Shared pieces of the transformer tests: a case map written into a
// scratch folder (subsystem 1 with nodes 1 to 6, subsystem 2 with nodes
// 7 and 8 of the page) and read in-process or run by the program.
#pragma once

#include <string>
#include <vector>

#include "engine/solution_arrays.h"
#include "models/xfmr_tables.h"
#include "network/tests/solution_circuit.h"

inline std::string xfmr_map(const std::string& sections, const std::string& extra_dims = "") {
    return "DIMENSIONS:\n NODES = 6\n SUBSYS = 2\n BRANCHES = 6\n NNODES = 20\n WINDINGS = 6\n TRAFOS = 4\n" +
           extra_dims +
           "PARAMETERS:\n TIME_STEP = 50.0E-6\n PRINT_STEP = 50.0E-6\n FINISH_TIME = 1.0E-3\n"
           "SUBSYSDIM:\n 2 6 6\nMAP: 'page.map'\n 0 8  1 2 3 4 5 6 1 2\n 2 2  1 1 1 1 1 1 2 2\n 0 0\n" +
           sections + "ENDCASE\n";
}

class XfmrTest : public SolutionTest {
protected:
    void SetUp() override {
        SolutionTest::SetUp();
        use_scratch();
        write_file("page.map", "ENDPAGE\n");
    }
    // Reads a case whose map holds the given sections.
    void read_sections(const std::string& sections, const std::string& extra_dims = "") {
        write_file("case.map", xfmr_map(sections, extra_dims));
        read_map("case.map");
    }
    // The console dialogue of a standalone run of case.map.
    ProgramResult run_sections(const std::string& sections) {
        write_file("case.map", xfmr_map(sections));
        return run_program({bare_program(), "-startup:alone"}, "0\n0\ncase.map\n1\n0\n0\n", scratch_->path, 30000);
    }
    static double G(int32_t i, int32_t j, int32_t k = 1) { return XFMR_TABLES.XF_GEQ(i, j, k); }
};
