// What the start of a run from data shows, against the exact solutions:
// a source on from the start (examples/rl_start: 100 V behind 1 ohm and
// 10 mH into 5 ohm), run through the bare program and read from its
// snapshot at 2 ms, shows at time t the exact current of time t + dt/2; a
// tank rung from its initial state shows at t the exact state of t + dt.
// The start is one matrix switching in the end-of-run count.
#include <cmath>
#include <filesystem>
#include <fstream>

#include "network/tests/solution_circuit.h"

namespace {

// The branch currents of a snapshot's first subsystem ("!CBR" line).
std::vector<double> snapshot_currents(const std::string& path) {
    std::ifstream in(path);
    std::vector<double> out;
    for (std::string line; std::getline(in, line);) {
        if (line.find("!CBR") == std::string::npos) continue;
        std::getline(in, line);
        std::istringstream l(line);
        for (double x; l >> x;) out.push_back(x);
        break;
    }
    return out;
}

struct RlRun {
    double current = 0.0;
    std::string out;
};

// The R-L circuit of examples/rl_start at step dt, with its snapshot at
// 2 ms.
RlRun run_rl(double dt) {
    TempDir dir;
    const std::string example = std::string(ZARIK_SOURCE_DIR) + "/examples/rl_start/";
    for (const char* name : {"rl_start.map", "page1.map", "answers.txt"})
        std::filesystem::copy_file(example + name, dir.file(name));
    std::string map = read_file(dir.file("rl_start.map"));
    const std::string from = " TIME_STEP = 50.0E-6\n";
    EXPECT_NE(map.find(from), std::string::npos);
    std::ostringstream to;
    to << " TIME_STEP = " << dt << "\n";
    map.replace(map.find(from), from.size(), to.str());
    write_file(dir.file("rl_start.map"), map);
    const ProgramResult r =
        run_program({bare_program(), "-startup:alone"}, read_file(dir.file("answers.txt")), dir.path);
    EXPECT_EQ(r.exit_code, 0) << r.out;
    const std::vector<double> i = snapshot_currents(dir.file("rl.snp"));
    EXPECT_EQ(i.size(), 3u);
    return {i.empty() ? 0.0 : i[0], r.out};
}

double rl_exact(double t) {
    const double tau = 10e-3 / 6.0;
    return 100.0 / 6.0 * (1.0 - std::exp(-t / tau));
}

TEST(StartAccuracy, SourceOnFromTheStartShowsHalfAStepLater) {
    const struct {
        double dt, low, high;
    } steps[] = {{50e-6, 0.0063, 0.0065}, {25e-6, 0.0031, 0.0033}};
    for (const auto& s : steps) {
        SCOPED_TRACE(s.dt);
        const RlRun r = run_rl(s.dt);
        const double exact = rl_exact(2e-3), later = rl_exact(2e-3 + s.dt / 2.0);
        const double ahead = r.current / exact - 1.0, from_later = r.current / later - 1.0;
        EXPECT_GT(ahead, s.low);
        EXPECT_LT(ahead, s.high);
        EXPECT_LT(std::fabs(from_later), 0.02 * ahead);
        // The first step's factorisation is the run's only one.
        EXPECT_NE(r.out.find("\nNumber of Matrix Switchings in SS#   1 is:        1\n"), std::string::npos) << r.out;
        std::ostringstream figures;
        figures << ahead << " " << from_later;
        RecordProperty("rl_" + std::to_string(static_cast<int>(s.dt * 1e6)) + "us", figures.str());
    }
}

// 0.1 H || 70.3619 uF || 1 kohm from 100 V and 1 A in the coil: the exact
// state (coil current, voltage) at time t.
void tank_exact(double t, double& il, double& v) {
    const double L = 0.1, C = 70.3619e-6, R = 1000.0;
    // d/dt (il, v) = M (il, v), M = [[0, 1/L], [-1/C, -1/(RC)]].
    const double m11 = 0.0, m12 = 1.0 / L, m21 = -1.0 / C, m22 = -1.0 / (R * C);
    const double s = 0.5 * (m11 + m22), w = std::sqrt(m11 * m22 - m12 * m21 - s * s);
    const double e = std::exp(s * t), c = std::cos(w * t), k = std::sin(w * t) / w;
    const double il0 = 1.0, v0 = 100.0;
    il = e * (c * il0 + k * ((m11 - s) * il0 + m12 * v0));
    v = e * (c * v0 + k * (m21 * il0 + (m22 - s) * v0));
}

class TankStart : public SolutionTest {};

TEST_F(TankStart, LeadsTheExactSolutionByOneStep) {
    for (double dt : {50e-6, 25e-6, 10e-6}) {
        SCOPED_TRACE(dt);
        use_scratch();
        std::ifstream in(fixture_dir() + "/solution_lc_tank.map");
        std::stringstream text;
        text << in.rdbuf();
        std::string map = text.str();
        const std::string from = " TIME_STEP = 50.0E-6\n PRINT_STEP = 50.0E-6\n";
        ASSERT_NE(map.find(from), std::string::npos);
        std::ostringstream to;
        to << " TIME_STEP = " << dt << "\n PRINT_STEP = " << dt << "\n";
        map.replace(map.find(from), from.size(), to.str());
        write_file(scratch_->path + "/tank.map", map);
        std::ofstream(scratch_->path + "/empty_page.map") << "ENDPAGE\n";
        read_map("tank.map");
        start();
        // Over 10 ms, about 60 % of a 60 Hz cycle: peaks of 2.8 A and 107 V.
        double at_t = 0.0, at_next = 0.0;
        const int32_t steps = static_cast<int32_t>(std::lround(10e-3 / dt));
        for (int32_t n = 0; n < steps; ++n) {
            ASSERT_TRUE(step());
            double il = 0.0, v = 0.0, il1 = 0.0, v1 = 0.0;
            tank_exact(n * dt, il, v);
            tank_exact((n + 1) * dt, il1, v1);
            at_t = std::max({at_t, std::fabs(I(1) - il) / 2.8, std::fabs(V(1) - v) / 107.0});
            at_next = std::max({at_next, std::fabs(I(1) - il1) / 2.8, std::fabs(V(1) - v1) / 107.0});
        }
        // One step of the tank's 377 rad/s: about w dt of its peaks.
        EXPECT_GT(at_t, 0.7 * 377.0 * dt);
        EXPECT_LT(at_next, 0.02 * at_t);
        std::ostringstream figures;
        figures << at_t << " " << at_next;
        RecordProperty("tank_" + std::to_string(static_cast<int>(dt * 1e6)) + "us", figures.str());
    }
}

}  // namespace
