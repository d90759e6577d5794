// A stiff three-phase bus for the machine tests: each phase node held by
// an EMF behind a small resistance, a switched branch from each node to
// ground for the model to take over, and the steps of a run in which the
// model is called from the dynamic pass, at a step of 50 us or another.
#pragma once

#include <cmath>
#include <fstream>
#include <functional>
#include <string>

#include "engine/pointer_block.h"
#include "engine/pointer_checks.h"
#include "engine/time_step.h"
#include "models/branch_changes.h"
#include "network/tests/solution_circuit.h"

class MachineBus : public SolutionTest {
protected:
    static constexpr double kDt = 50e-6, kW = 376.99111843077515;

    // Nodes 1-3 the bus phases; branches 1-3 the sources, then `extra`
    // switched branches from node (k mod 3) + 1 to ground.
    void SetUp() override {
        SolutionTest::SetUp();
        allocate({{ND_NODES, 6}, {ND_SUBSYS, 1}, {ND_BRANCHES, 20}, {ND_SPARSITY, 60}, {ND_STOR, 400},
                  {ND_STORF, 200}, {ND_RTCF, 200}, {ND_RTCI, 10}, {ND_STORI, 10}, {ND_STORL, 10}, {ND_RTCL, 10}});
        matrices(1, 6);
        RUN_CLOCK.DELT = kDt;
        NET.NBUSES(1) = 3;
        for (int32_t k = 1; k <= 3; ++k) NET.SOURCE(branch({0, k, 1e-4}), 1) = LTRUE;
        CURRENT_IDS = {1, 2};
    }
    int32_t switched(int32_t from, int32_t to) { return branch({from, to, 1.0}, true); }

    // A time step other than kDt, set before begin().
    void set_step(double dt) {
        dt_ = dt;
        RUN_CLOCK.DELT = dt;
    }
    double dt_ = kDt;

    // Writes the model's data lines and opens them as the current file.
    void data_file(const std::string& text) {
        use_scratch();
        std::ofstream("machine.dat") << text;
        open_map("machine.dat");
    }

    // Peak phase voltage, angle of phase a at TIME (a cosine), speed of
    // the bus in per unit of kW.
    double peak = 0.0, angle = 0.0, bus_speed = 1.0;
    std::function<void()> model;

    double bus(int32_t k, double t) const {
        return peak * std::cos(bus_speed * kW * t + angle - (k - 1) * 2.0943951023931953);
    }
    void begin() {
        start();
        RESETPTRS();
        if (setup) setup();
        RESETPTRS_OUT();
    }
    std::function<void()> setup;
    // One step; the dynamic pass sets the EMFs for the step's end.
    bool run_step() {
        NetworkTables& N = NET;
        const double t = RUN_CLOCK.NSTEP * dt_;
        for (int32_t k = 1; k <= N.NBUSES(1); ++k) N.GNOR(k, 1) = N.CNOR(k, 1) = 0.0;
        for (int32_t k = 1; k <= 3; ++k) N.EBR(k, 1) = N.EBRD(k, 1) = N.EON(k, 1) = N.EOFF(k, 1) = bus(k, t);
        RESETPTRS();
        if (model) model();
        RESETPTRS_OUT();
        return step();
    }
    bool run(double seconds) {
        const int32_t n = static_cast<int32_t>(std::lround(seconds / dt_));
        for (int32_t k = 0; k < n; ++k)
            if (!run_step()) return false;
        return true;
    }
};
