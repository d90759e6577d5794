// A switch closing inside a step, against ngspice: a DC source behind a
// resistor energises an R-L load, or charges a capacitor, through a switch
// of 1 mohm closed, 1 Tohm open. The engine's switch closes at its
// switching time (state code 8); ngspice's switch (a voltage-controlled
// switch model) is driven by a pulse at the same instant. The engine starts
// from rest one step before time 0 and ngspice at 0 with its source ramped
// over the first step, so engine time t is ngspice time t + dt (as in the
// solution's own ngspice tests). Three time constants after the switching
// the node voltages and the load current agree within 1e-3 of their peaks;
// before it they agree as well.
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "network/switch_state.h"
#include "network/tests/solution_circuit.h"

namespace {

struct SwitchedCase {
    std::string name;
    double E = 0.0, R = 0.0;  // source and its resistance, into node 1
    double RL = 0.0, L = 0.0, C = 0.0;  // load from node 2 to ground: R-L, or C
    double tau = 0.0;  // time constant after the switching
    double ts = 0.0;   // switching time, engine time
    double dt = 50e-6;
    int32_t steps = 0;
};

constexpr double kRon = 1e-3, kRoff = 1e12;

bool have_ngspice() { return std::system("command -v ngspice >/dev/null 2>&1") == 0; }

std::string netlist(const SwitchedCase& c, const std::string& out) {
    std::ostringstream s;
    s.precision(17);
    const double on = c.ts + c.dt;
    s << "* " << c.name << "\n";
    s << "V1 src 0 PWL(0 0 " << c.dt << " " << c.E << ")\n";
    s << "R1 src n1 " << c.R << "\n";
    s << "S1 n1 n2 ctrl 0 swmod\n";
    s << "Vc ctrl 0 PWL(0 0 " << on << " 0 " << on + 1e-6 * c.dt << " 1)\n";
    s << ".model swmod sw vt=0.5 vh=0 ron=" << kRon << " roff=" << kRoff << "\n";
    if (c.L > 0.0) {
        s << "R2 n2 x " << c.RL << "\n";
        s << "L2 x m " << c.L << "\n";
    } else {
        s << "C2 n2 m " << c.C << "\n";
    }
    s << "Vam m 0 DC 0\n";
    s << ".options method=trap\n";
    s << ".tran " << c.dt << " " << (c.steps + 1) * c.dt << " 0 " << c.dt << "\n";
    s << ".control\nset wr_singlescale\nset wr_vecnames\nrun\nlinearize\nwrdata " << out
      << " v(n1) v(n2) i(vam)\n.endc\n.end\n";
    return s.str();
}

std::vector<std::vector<double>> ngspice_rows(const SwitchedCase& c) {
    const std::filesystem::path dir = std::filesystem::temp_directory_path() / ("zarik-ngsw-" + c.name);
    std::filesystem::create_directories(dir);
    const std::string out = (dir / "out.txt").string();
    {
        std::ofstream f(dir / "case.cir");
        f << netlist(c, out);
    }
    const std::string cmd = "cd '" + dir.string() + "' && ngspice -b case.cir > log.txt 2>&1";
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
        if (row.size() >= 4) rows.push_back(row);
    }
    std::filesystem::remove_all(dir);
    return rows;
}

class SwitchingNgspice : public SolutionTest {
protected:
    void compare(const SwitchedCase& c) {
        ASSERT_TRUE(have_ngspice()) << "ngspice is needed for these tests (apt-get install ngspice)";
        const auto rows = ngspice_rows(c);
        ASSERT_GE(rows.size(), static_cast<size_t>(c.steps) + 1) << c.name;

        tables(2, 3, c.dt);
        branch({0, 1, c.R, 0, 0, c.E});
        const int32_t sw = branch({1, 2, 1.0}, true);
        const int32_t load = branch({2, 0, c.RL, c.L, c.C});
        CHK_SWITCH_R(1, sw, kRon, kRoff, 0.0, 0.0, "S1");
        NET.IORV(sw, 1) = 8;
        NET.SWVAL(sw, 1) = c.ts;
        options(true, false);
        start();
        double vpeak = 0.0, ipeak = 0.0;
        for (const auto& r : rows) {
            vpeak = std::max({vpeak, std::fabs(r[1]), std::fabs(r[2])});
            ipeak = std::max(ipeak, std::fabs(r[3]));
        }
        double worst_v = 0.0, worst_i = 0.0, worst_early_v = 0.0, worst_early_i = 0.0;
        for (int32_t n = 0; n < c.steps; ++n) {
            ASSERT_TRUE(step());
            const auto& r = rows[static_cast<size_t>(n) + 1];
            ASSERT_NEAR(r[0], (n + 1) * c.dt, 1e-3 * c.dt);
            const double dv = std::max(std::fabs(V(1) - r[1]), std::fabs(V(2) - r[2]));
            const double di = std::fabs(I(load) - r[3]);
            const double t = n * c.dt;
            if (t < c.ts) {
                worst_early_v = std::max(worst_early_v, dv);
                worst_early_i = std::max(worst_early_i, di);
            } else if (t >= c.ts + 3.0 * c.tau) {
                worst_v = std::max(worst_v, dv);
                worst_i = std::max(worst_i, di);
            }
        }
        EXPECT_FALSE(is_true(NET.OPENBR(sw, 1)));
        EXPECT_LT(worst_v, 1e-3 * vpeak) << c.name;
        EXPECT_LT(worst_i, 1e-3 * ipeak) << c.name;
        EXPECT_LT(worst_early_v, 1e-3 * vpeak) << c.name;
        EXPECT_LT(worst_early_i, 1e-3 * ipeak) << c.name;
        RecordProperty(c.name + "_voltage_error", std::to_string(worst_v / vpeak));
        RecordProperty(c.name + "_current_error", std::to_string(worst_i / ipeak));
    }
};

// 100 V behind 1 ohm into 1 ohm and 5 mH: tau = L / (R + Ron + RL).
TEST_F(SwitchingNgspice, SwitchClosesOntoAnRLLoad) {
    SwitchedCase c{"rl", 100.0, 1.0, 1.0, 5e-3, 0.0, 0.0, 100.37 * 50e-6};
    c.tau = c.L / (c.R + kRon + c.RL);
    c.steps = 400;
    compare(c);
}

// 10 V behind 100 ohm charging 25 uF: tau = (R + Ron) C.
TEST_F(SwitchingNgspice, SwitchClosesOntoACapacitor) {
    SwitchedCase c{"rc", 10.0, 100.0, 0.0, 0.0, 25e-6, 0.0, 60.62 * 50e-6};
    c.tau = (c.R + kRon) * c.C;
    c.steps = 300;
    compare(c);
}

}  // namespace
