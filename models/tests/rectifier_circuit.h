// Rectifier circuits of one subsystem driven by power-electronic switches,
// stepped as the run loop steps a case: shared by the switch tests and the
// switch benchmark. The sources' EMFs are written by the driver each step
// unless the circuit's own models (sources, breakers ...) are given.
#pragma once

#include <cmath>
#include <cstdlib>
#include <functional>
#include <vector>

#include "engine/engine_reset.h"
#include "engine/pointer_checks.h"
#include "engine/run_state.h"
#include "engine/solution_arrays.h"
#include "engine/storage.h"
#include "engine/time_step.h"
#include "models/sources/voltage_sources.h"
#include "models/switch/branch_rlc.h"
#include "models/switch/pe_switch.h"
#include "network/dimensions.h"
#include "network/network_tables.h"
#include "network/solve_network.h"
#include "network/tests/one_subsystem.h"

namespace rectifier {

constexpr double kStep = 50e-6, kPeak = 100.0, kHz = 50.0;
constexpr double kRon = 0.0005, kRoff = 1e6, kBreak = 1e5;

inline double emf(double t, double phase = 0.0) {
    return kPeak * std::sin(2.0 * M_PI * kHz * t - phase);
}

struct Circuit {
    struct Switch {
        int32_t branch, code;
        std::function<int32_t(double)> gate;   // gate at the end of a step
        std::function<double(double)> tvalue;  // its time value
    };
    std::vector<std::pair<int32_t, double>> sources;  // branch, phase
    std::vector<Switch> switches;
    bool full_form = false;  // the switches take their ratings on every call
    std::function<void()> setup, models;  // begin-pass and per-step model calls

    // Storage for one subsystem of n nodes and nb branches; 20 switches.
    static void tables(int32_t n, int32_t nb) {
        allocate_one_subsystem(n, nb, {{ND_SPARSITY, 4 * n + 10}, {ND_STOR, 500}, {ND_STORL, 40}, {ND_STORI, 160},
                                       {ND_STORF, 200}, {ND_RTCL, 20}, {ND_RTCI, 20}, {ND_RTCF, 200}});
        RUN_CLOCK.DELT = kStep;
        NET.NBUSES(1) = n;
        NET.GIDEAL(1) = 1e8;
        NET.SSINTERP(1) = LTRUE;
        NET.SSEXTRAP(1) = LTRUE;
    }
    // A branch of resistance R, or a switched one.
    static int32_t branch(int32_t from, int32_t to, double R, bool sw = false) {
        NetworkTables& N = NET;
        const int32_t b = ++N.NBRANCHES(1);
        N.IEF(b, 1) = from;
        N.IET(b, 1) = to;
        N.SWITCH(b, 1) = as_logical(sw);
        N.TSWITCH(b, 1) = 1.5;
        if (sw) N.SWLIST(++N.NSWITCH(1), 1) = b;
        if (from != 0 && to != 0) SSDESC_IA(1)(from, to) = SSDESC_IA(1)(to, from) = -1;
        BRANCH_RLC(b, 1, 1, 0, 0, R, 0.0, 0.0);
        return b;
    }
    int32_t source(int32_t node, double phase) {
        const int32_t b = branch(0, node, 0.01);
        NET.SOURCE(b, 1) = LTRUE;
        sources.push_back({b, phase});
        return b;
    }
    void diode(int32_t from, int32_t to) { switches.push_back({branch(from, to, kRoff, true), 0, {}, {}}); }

    // The begin pass of a run from data.
    void begin() {
        RUN_CLOCK.NSTEP = 0;
        RUN_FLAGS.FIRST_STEP_DATA = RUN_FLAGS.FIRST_STEP_RUN = LTRUE;
        NET.MXINV(1) = 1;
        RESETPTRS();
        if (!full_form)
            for (const Switch& s : switches) PESWITCH_INIT(s.code, 1, kRon, kRoff, kBreak, kBreak, 0.0, 0.0);
        if (setup) setup();
        RESETPTRS_OUT();
        CHKNRTC();
    }
    // The dynamic pass of the step ending at TIME: the sources' EMFs, then
    // the switch calls.
    void dynamic_pass() {
        RESETPTRS();
        const double t = RUN_CLOCK.TIME;
        if (models)
            models();
        else
            for (const auto& [b, phase] : sources) NET.EBR(b, 1) = emf(t, phase);
        switch_calls();
    }
    void switch_calls() {
        const double t = RUN_CLOCK.TIME;
        for (Switch& s : switches) {
            const int32_t g = s.gate ? s.gate(t) : 0;
            const double tv = s.tvalue ? s.tvalue(t) : 0.0;
            if (full_form)
                PESWITCH12(1, s.branch, kRon, kRoff, g, tv, s.code, 1, kBreak, kBreak, 0.0, 0.0);
            else
                PESWITCH(1, s.branch, g, tv);
        }
    }
    // One whole step.
    void step() {
        RUN_CLOCK.TIME = RUN_CLOCK.NSTEP * kStep;
        RUN_CLOCK.PREV_TIME = (RUN_CLOCK.NSTEP - 1) * kStep;
        dynamic_pass();
        if (is_true(RUN_FLAGS.FIRST_STEP_DATA)) SSINIT();
        SOLVE_NETWORK();
        RESETPTRS_OUT();
        CHKNEXC();
        CHKNRTC();
        ++RUN_CLOCK.NSTEP;
        RUN_FLAGS.FIRST_STEP_DATA = RUN_FLAGS.FIRST_STEP_RUN = LFALSE;
    }
};

// The sources' EMFs from the voltage-source models: one phase each, or
// three as one three-phase source.
inline void drive_by_vsrc(Circuit& c) {
    c.models = [&c] {
        const double w = 2.0 * M_PI * kHz;
        const auto& s = c.sources;
        if (s.size() == 3)
            VSRC3P(1, s[0].first, s[1].first, s[2].first, 0.0, LTRUE, kPeak, w, -s[0].second);
        else
            for (const auto& [b, phase] : s) VSRC1P(1, b, 0.0, LTRUE, kPeak, w, -phase);
    };
}

// 100 sin behind 0.01 ohm (node 1), a diode or thyristor to node 2, 10 ohm
// to ground.
inline Circuit half_wave(int32_t code = 0) {
    Circuit c;
    Circuit::tables(2, 3);
    c.source(1, 0.0);
    c.diode(1, 2);
    c.switches.back().code = code;
    Circuit::branch(2, 0, 10.0);
    return c;
}

// Phases on nodes 1 to 3, the positive rail 4, the negative rail 5 with
// 1 Mohm to ground, 10 ohm across the rails.
inline Circuit bridge() {
    Circuit c;
    Circuit::tables(5, 13);
    for (int32_t k = 0; k < 3; ++k) c.source(k + 1, k * 2.0 * M_PI / 3.0);
    for (int32_t k = 1; k <= 3; ++k) {
        c.diode(k, 4);
        c.diode(5, k);
    }
    Circuit::branch(4, 5, 10.0);
    Circuit::branch(5, 0, 1e6);
    return c;
}

}  // namespace rectifier
