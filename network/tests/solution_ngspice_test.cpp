// The same circuits in ngspice (batch mode, trapezoidal rule, the time step
// as the largest step): node voltages and branch currents agree within
// 1e-3 of their peak. The engine starts from rest one step before time 0
// with its sources on at step 0; ngspice starts from rest at 0 and ramps
// its sources over the first step, so engine step n is ngspice time
// (n + 1) dt.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <sys/wait.h>

#include "network/tests/solution_circuit.h"

namespace {

struct Source {
    int32_t branch = 0;
    double amplitude = 0.0;
    double hz = 0.0;  // 0: a DC source
};

struct Case {
    std::string name;
    int32_t nodes = 0;
    std::vector<Element> elements;
    Source source;
    double dt = 50e-6;
    int32_t steps = 400;
};

bool have_ngspice() { return std::system("command -v ngspice >/dev/null 2>&1") == 0; }

// One line per element: an ammeter source from the from-node (carrying the
// branch's EMF), then R, L and C in series to the to-node.
std::string netlist(const Case& c, const std::string& out) {
    std::ostringstream s;
    s.precision(17);
    s << "* " << c.name << "\n";
    const auto node = [](int32_t k) { return k == 0 ? std::string("0") : "n" + std::to_string(k); };
    for (size_t k = 0; k < c.elements.size(); ++k) {
        const Element& e = c.elements[k];
        const int32_t b = static_cast<int32_t>(k) + 1;
        const std::string tag = std::to_string(b);
        std::string at = "x" + tag + "a";
        s << "V" << tag << " " << node(e.from) << " " << at << " ";
        if (b == c.source.branch && c.source.hz > 0.0)
            s << "SIN(0 " << -c.source.amplitude << " " << c.source.hz << " " << c.dt << ")\n";
        else if (b == c.source.branch)
            s << "PWL(0 0 " << c.dt << " " << -c.source.amplitude << ")\n";
        else
            s << "DC 0\n";
        std::vector<std::pair<char, double>> parts;
        if (e.R != 0.0) parts.push_back({'R', e.R});
        if (e.L != 0.0) parts.push_back({'L', e.L});
        if (e.C != 0.0) parts.push_back({'C', e.C});
        for (size_t p = 0; p < parts.size(); ++p) {
            const std::string next = p + 1 == parts.size() ? node(e.to) : "x" + tag + char('b' + p);
            s << parts[p].first << tag << " " << at << " " << next << " " << parts[p].second << "\n";
            at = next;
        }
    }
    s << ".options method=trap\n";
    s << ".tran " << c.dt << " " << (c.steps + 1) * c.dt << " 0 " << c.dt << "\n";
    s << ".control\nset wr_singlescale\nset wr_vecnames\nrun\nlinearize\nwrdata " << out;
    for (int32_t k = 1; k <= c.nodes; ++k) s << " v(n" << k << ")";
    for (size_t k = 1; k <= c.elements.size(); ++k) s << " i(v" << k << ")";
    s << "\n.endc\n.end\n";
    return s.str();
}

// Rows of time and values, without the header line.
std::vector<std::vector<double>> ngspice_rows(const Case& c) {
    const std::filesystem::path dir = std::filesystem::temp_directory_path() / ("zarik-ng-" + c.name);
    std::filesystem::create_directories(dir);
    const std::string out = (dir / "out.txt").string();
    {
        std::ofstream f(dir / "case.cir");
        f << netlist(c, out);
    }
    const std::string cmd = "cd '" + dir.string() + "' && ngspice -b case.cir > log.txt 2>&1";
    // ngspice's batch mode ends with status 1 when it has no plot to show.
    const int status = std::system(cmd.c_str());
    EXPECT_TRUE(WIFEXITED(status)) << status;
    std::vector<std::vector<double>> rows;
    std::ifstream in(out);
    std::string line;
    std::getline(in, line);
    while (std::getline(in, line)) {
        std::istringstream ls(line);
        std::vector<double> row;
        double v;
        while (ls >> v) row.push_back(v);
        if (!row.empty()) rows.push_back(row);
    }
    std::filesystem::remove_all(dir);
    return rows;
}

class SolutionNgspice : public SolutionTest {
protected:
    void compare(const Case& c) {
        ASSERT_TRUE(have_ngspice()) << "ngspice is needed for these tests (apt-get install ngspice)";
        const auto rows = ngspice_rows(c);
        ASSERT_GE(rows.size(), static_cast<size_t>(c.steps) + 1) << c.name;
        const size_t nb = c.elements.size();

        tables(c.nodes, static_cast<int32_t>(nb), c.dt);
        for (const Element& e : c.elements) branch(e);
        options(true, false);
        start();
        std::vector<std::vector<double>> engine;
        for (int32_t n = 0; n < c.steps; ++n) {
            const double t = n * c.dt;
            if (c.source.hz > 0.0)
                NET.EBR(c.source.branch, 1) = c.source.amplitude * std::sin(2.0 * M_PI * c.source.hz * t);
            ASSERT_TRUE(step());
            std::vector<double> row;
            for (int32_t k = 1; k <= c.nodes; ++k) row.push_back(V(k));
            for (size_t b = 1; b <= nb; ++b) row.push_back(I(static_cast<int32_t>(b)));
            engine.push_back(row);
        }
        // Peaks of the voltages and of the currents, from ngspice.
        double vpeak = 0.0, ipeak = 0.0;
        for (const auto& r : rows) {
            for (int32_t k = 0; k < c.nodes; ++k) vpeak = std::max(vpeak, std::fabs(r[1 + k]));
            for (size_t b = 0; b < nb; ++b) ipeak = std::max(ipeak, std::fabs(r[1 + c.nodes + b]));
        }
        double worst_v = 0.0, worst_i = 0.0;
        for (int32_t n = 0; n < c.steps; ++n) {
            const auto& r = rows[static_cast<size_t>(n) + 1];
            ASSERT_NEAR(r[0], (n + 1) * c.dt, 1e-3 * c.dt);
            for (int32_t k = 0; k < c.nodes; ++k)
                worst_v = std::max(worst_v, std::fabs(engine[n][k] - r[1 + k]));
            for (size_t b = 0; b < nb; ++b)
                worst_i = std::max(worst_i, std::fabs(engine[n][c.nodes + b] - r[1 + c.nodes + b]));
        }
        EXPECT_LT(worst_v, 1e-3 * vpeak) << c.name;
        EXPECT_LT(worst_i, 1e-3 * ipeak) << c.name;
        RecordProperty(c.name + "_voltage_error", std::to_string(worst_v / vpeak));
        RecordProperty(c.name + "_current_error", std::to_string(worst_i / ipeak));
    }
};

TEST_F(SolutionNgspice, DcStepThroughRL) {
    compare({"rl", 1, {{0, 1, 2.0, 0, 0, 100.0}, {1, 0, 0, 5e-3}}, {1, 100.0, 0.0}});
}

TEST_F(SolutionNgspice, DcStepThroughRC) {
    compare({"rc", 1, {{0, 1, 50.0, 0, 0, 10.0}, {1, 0, 0, 0, 20e-6}}, {1, 10.0, 0.0}});
}

TEST_F(SolutionNgspice, SinusoidIntoRLCNetwork) {
    compare({"rlc",
             2,
             {{0, 1, 1.0, 0, 0, 100.0}, {1, 2, 0, 1e-3}, {2, 0, 10.0}, {2, 0, 0, 0, 100e-6}},
             {1, 100.0, 50.0},
             20e-6,
             2000});
}

TEST_F(SolutionNgspice, SeriesRLCBranchesAndALadder) {
    // One branch holding R, L and C together; a source branch with its own
    // inductance; and a short R-C ladder behind it.
    compare({"series",
             5,
             {{0, 1, 1.0, 0.5e-3, 0, 50.0},
              {1, 0, 2.0, 2e-3, 50e-6},
              {1, 2, 0.5},
              {2, 0, 0, 0, 10e-6},
              {2, 3, 0.5},
              {3, 0, 0, 0, 10e-6},
              {3, 4, 0.5, 0.1e-3},
              {4, 0, 0, 0, 10e-6},
              {4, 5, 0.5},
              {5, 0, 20.0, 0, 10e-6}},
             {1, 50.0, 200.0},
             20e-6,
             1500});
}

}  // namespace
