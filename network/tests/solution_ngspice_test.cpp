// Circuits against ngspice (trapezoidal rule, the time step as its largest):
// voltages and currents within 1e-3 of their peaks. ngspice ramps its
// sources over its first step from rest, so engine step n is its (n + 1) dt.
// A switch (code 8) against ngspice's switch driven by a pulse at the same
// instant: compared before it and from three time constants after.
#include <sys/wait.h>

#include <cstdlib>
#include <functional>
#include <fstream>
#include <sstream>

#include "network/switch_state.h"
#include "network/tests/solution_circuit.h"

namespace {

constexpr double kRon = 1e-3, kRoff = 1e12;

struct Case {
    std::string name;
    int32_t nodes = 0;
    std::vector<Element> elements;
    int32_t source = 1;   // the branch of the source ...
    double amplitude = 0.0, hz = 0.0;  // ... and its EMF; 0 Hz: DC
    double dt = 50e-6;
    int32_t steps = 400;
    int32_t sw = 0;  // the switched branch, if any ...
    double ts = 0.0, tau = 0.0;  // ... its closing time and the time constant after it
};

// One line per element: an ammeter source from the from-node (carrying the
// branch's EMF), then R, L and C in series, or the switch, to the to-node.
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
        if (b == c.source && c.hz > 0.0)
            s << "SIN(0 " << -c.amplitude << " " << c.hz << " " << c.dt << ")\n";
        else if (b == c.source)
            s << "PWL(0 0 " << c.dt << " " << -c.amplitude << ")\n";
        else
            s << "DC 0\n";
        if (b == c.sw) {
            const double on = c.ts + c.dt;
            s << "S" << tag << " " << at << " " << node(e.to) << " ctrl 0 swmod\n"
              << "Vc ctrl 0 PWL(0 0 " << on << " 0 " << on + 1e-6 * c.dt << " 1)\n"
              << ".model swmod sw vt=0.5 vh=0 ron=" << kRon << " roff=" << kRoff << "\n";
            continue;
        }
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

// Rows of time and values, without the header line, of the netlist that
// writes to the given file.
std::vector<std::vector<double>> ngspice_rows(const std::function<std::string(const std::string&)>& netlist_to) {
    const TempDir dir;
    const std::string out = dir.file("out.txt");
    write_file(dir.file("case.cir"), netlist_to(out));
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

class SolutionNgspice : public SolutionTest {
protected:
    void compare(const Case& c) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(std::system("command -v ngspice >/dev/null 2>&1"), 0)
            << "ngspice is needed for these tests (apt-get install ngspice)";
        const auto rows = ngspice_rows([&](const std::string& out) { return netlist(c, out); });
        ASSERT_GE(rows.size(), static_cast<size_t>(c.steps) + 1);
        const int32_t nb = static_cast<int32_t>(c.elements.size());

        tables(c.nodes, nb, c.dt);
        for (size_t k = 0; k < c.elements.size(); ++k) branch(c.elements[k], static_cast<int32_t>(k) + 1 == c.sw);
        if (c.sw) {
            CHK_SWITCH_R(1, c.sw, kRon, kRoff, 0.0, 0.0, "S1");
            NET.IORV(c.sw, 1) = 8;
            NET.SWVAL(c.sw, 1) = c.ts;
        }
        options(true, false);
        start();
        // Peaks of the voltages and of the currents, from ngspice.
        double vpeak = 0.0, ipeak = 0.0;
        for (const auto& r : rows) {
            for (int32_t k = 1; k <= c.nodes; ++k) vpeak = std::max(vpeak, std::fabs(r[k]));
            for (int32_t b = 1; b <= nb; ++b) ipeak = std::max(ipeak, std::fabs(r[c.nodes + b]));
        }
        double worst_v = 0.0, worst_i = 0.0;
        for (int32_t n = 0; n < c.steps; ++n) {
            const double t = n * c.dt;
            if (c.hz > 0.0) NET.EBR(c.source, 1) = c.amplitude * std::sin(2.0 * M_PI * c.hz * t);
            ASSERT_TRUE(step());
            const auto& r = rows[static_cast<size_t>(n) + 1];
            ASSERT_NEAR(r[0], (n + 1) * c.dt, 1e-3 * c.dt);
            if (c.sw && t >= c.ts && t < c.ts + 3.0 * c.tau) continue;
            for (int32_t k = 1; k <= c.nodes; ++k) worst_v = std::max(worst_v, std::fabs(V(k) - r[k]));
            for (int32_t b = 1; b <= nb; ++b) worst_i = std::max(worst_i, std::fabs(I(b) - r[c.nodes + b]));
        }
        if (c.sw) {
            EXPECT_FALSE(is_true(NET.OPENBR(c.sw, 1)));
        }
        EXPECT_LT(worst_v, 1e-3 * vpeak);
        EXPECT_LT(worst_i, 1e-3 * ipeak);
        RecordProperty(c.name + "_errors", std::to_string(worst_v / vpeak) + " " + std::to_string(worst_i / ipeak));
    }
};

TEST_F(SolutionNgspice, DcStepsThroughRLAndRC) {
    compare({"rl", 1, {{0, 1, 2.0, 0, 0, 100.0}, {1, 0, 0, 5e-3}}, 1, 100.0});
    compare({"rc", 1, {{0, 1, 50.0, 0, 0, 10.0}, {1, 0, 0, 0, 20e-6}}, 1, 10.0});
}

TEST_F(SolutionNgspice, SinusoidIntoRLCNetworks) {
    compare({"rlc", 2, {{0, 1, 1.0, 0, 0, 100.0}, {1, 2, 0, 1e-3}, {2, 0, 10.0}, {2, 0, 0, 0, 100e-6}}, 1, 100.0,
             50.0, 20e-6, 2000});
    // A branch of R, L and C together; a source with its own L; an R-C ladder.
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
             1, 50.0, 200.0, 20e-6, 1500});
}

// 100 V behind 1 ohm onto 1 ohm and 5 mH; 10 V behind 100 ohm onto 25 uF.
TEST_F(SolutionNgspice, SwitchClosesOntoAnRLLoadOrACapacitor) {
    const double dt = 50e-6;
    compare({"switch_rl", 2, {{0, 1, 1.0, 0, 0, 100.0}, {1, 2, 1.0}, {2, 0, 1.0, 5e-3}}, 1, 100.0, 0.0, dt, 400, 2,
             100.37 * dt, 5e-3 / (2.0 + kRon)});
    compare({"switch_rc", 2, {{0, 1, 100.0, 0, 0, 10.0}, {1, 2, 1.0}, {2, 0, 0, 0, 25e-6}}, 1, 10.0, 0.0, dt, 300, 2,
             60.62 * dt, (100.0 + kRon) * 25e-6});
}

// The tank of 0.1 H, 70.3619 uF and 1 kohm rung from 100 V and 1 A in the
// coil, with ngspice started from the same state one step earlier.
TEST_F(SolutionNgspice, TankRingsFromItsInitialState) {
    ASSERT_EQ(std::system("command -v ngspice >/dev/null 2>&1"), 0);
    const int steps = 1000;
    const auto rows = ngspice_rows([&](const std::string& out) {
        return "* tank\nC1 n1 0 70.3619e-6 ic=100\nR1 n1 0 1000\nV2 n1 x 0\nL2 x 0 0.1 ic=1.0\n"
               ".ic v(n1)=100 v(x)=100\n.options method=trap\n.tran 50e-6 " +
               std::to_string((steps + 1) * 50e-6) +
               " 0 50e-6 uic\n.control\nset wr_singlescale\nset wr_vecnames\nrun\nlinearize\nwrdata " + out +
               " v(n1) i(v2)\n.endc\n.end\n";
    });
    ASSERT_GE(rows.size(), static_cast<size_t>(steps) + 1);
    read_map("solution_lc_tank.map");
    start();
    double worst_v = 0.0, worst_i = 0.0;
    for (int n = 0; n < steps; ++n) {
        ASSERT_TRUE(step());
        const auto& r = rows[static_cast<size_t>(n) + 1];
        worst_v = std::max(worst_v, std::fabs(V(1) - r[1]));
        worst_i = std::max(worst_i, std::fabs(I(1) - r[2]));
    }
    EXPECT_LT(worst_v, 1e-3 * 107.0);
    EXPECT_LT(worst_i, 1e-3 * 2.8);
    RecordProperty("tank_errors", std::to_string(worst_v / 107.0) + " " + std::to_string(worst_i / 2.8));
}

}  // namespace
