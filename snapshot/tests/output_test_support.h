// Shared pieces of the run-output tests: a clean engine with n output
// channels in a scratch folder, the files read back, the gfortran oracle's
// records, and the files as numpy and gnuplot read them.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "engine/engine_reset.h"
#include "engine/run_state.h"
#include "engine/storage.h"
#include "network/dimensions.h"
#include "network/parameters.h"
#include "platform/tests/support/capture.h"
#include "platform/tests/support/run_program.h"
#include "platform/tests/support/unit_ops.h"
#include "snapshot/run_output.h"

// The oracle's cases: name -> the records of its WRITE, each ended by '\n'.
inline std::map<std::string, std::string> oracle_records() {
    std::map<std::string, std::string> cases;
    std::string name;
    for (const std::string& line :
         lines_of(read_file(std::string(ZARIK_SOURCE_DIR) + "/snapshot/tests/oracle/output_records.txt"))) {
        if (line.rfind("@@ ", 0) == 0)
            name = line.substr(3);
        else if (!name.empty())
            cases[name] += line + "\n";
    }
    return cases;
}

class OutputTest : public testing::Test {
protected:
    void SetUp() override {
        reset_all_engine_state();
        ASSERT_TRUE(dir_.ok());
    }
    void TearDown() override { reset_all_engine_state(); }

    // One run of a standalone case with n named channels, writing "out".
    static void channels(int32_t n) {
        DIMBLOCK.REQ[ND_PGBS] = n;
        int32_t status = -1;
        ALLOC_STORAGE(status);
        ASSERT_EQ(status, 0);
        DIMBLOCK.NPGBS = n;
        for (int32_t k = 1; k <= n; ++k) STORAGE.PGBNAME(k) = Text200("Channel " + std::to_string(k));
        RUN_SETUP.output_files = LTRUE;
        RUN_SETUP.output_file = "out";
        PARAMS.title = "Output channel test";
        RUN_SEQ.NRUNS = RUN_SEQ.IRUN = 1;
        RUN_SEQ.LAST_RUN = LTRUE;
        RUN_CLOCK.DELT = 50e-6;
    }
    // OUTPUTFILE in the scratch folder, its console text captured.
    Captured output(int32_t mode) const {
        const ScopedChdir here(dir_.path);
        return capture([mode] { OUTPUTFILE(mode); });
    }
    Captured record_at(int32_t step) const {
        RUN_CLOCK.NSTEP = step;
        return output(3);
    }
    std::string read(const std::string& name) const { return read_file(dir_.file(name)); }
    bool exists(const std::string& name) const { return std::filesystem::exists(dir_.file(name)); }

    TempDir dir_;
};

// A command's standard output, or a failure that says what is missing.
inline std::string tool_output(const std::vector<std::string>& argv, const std::string& what_is_needed) {
    if (access(argv[0].c_str(), X_OK) != 0) {
        ADD_FAILURE() << argv[0] << " is missing: install " << what_is_needed;
        return "";
    }
    const ProgramResult r = run_program(argv);
    if (r.exit_code != 0) ADD_FAILURE() << argv[0] << " failed (install " << what_is_needed << "?):\n" << r.err;
    return r.out;
}

// numpy's reading of a value file's records against the numbers of its
// text: "equal (records, columns)", then per column "records 0 min max"
// as gnuplot_reading gives them.
inline std::string numpy_reading(const std::string& file) {
    const std::string script =
        "import sys\n"
        "try:\n"
        "    import numpy\n"
        "except ImportError:\n"
        "    sys.exit('numpy is missing: install python3-numpy')\n"
        "a = numpy.loadtxt(sys.argv[1], skiprows=1, ndmin=2)\n"
        "b = numpy.array([[float(f) for f in l.split()] for l in open(sys.argv[1]).read().splitlines()[1:]])\n"
        "print('equal' if a.shape == b.shape and numpy.array_equal(a, b) else 'differ', a.shape)\n"
        "for c in a.T:\n"
        "    print('%d 0 %.17g %.17g' % (len(c), c.min(), c.max()))\n";
    return tool_output({"/usr/bin/python3", "-c", script, file}, "python3-numpy");
}

// gnuplot's statistics of every column: "records invalid min max" lines.
inline std::string gnuplot_reading(const std::string& file, int columns) {
    const std::string script = "set print '-'; do for [c=1:" + std::to_string(columns) + "] { stats '" + file +
                               "' using c nooutput; print sprintf('%d %d %.17g %.17g', STATS_records, "
                               "STATS_invalid, STATS_min, STATS_max) }";
    return tool_output({"/usr/bin/gnuplot", "-e", script}, "gnuplot-nox");
}
