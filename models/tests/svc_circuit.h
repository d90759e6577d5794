// A compensator's surroundings for its tests and benchmark: one subsystem
// of three bus nodes, interface branches 1-3 from ground to the bus phases
// and three further branches 4-6, and storage for a few compensators.
#pragma once

#include <cmath>
#include <cstdlib>

#include "engine/engine_reset.h"
#include "engine/pointer_block.h"
#include "engine/run_state.h"
#include "engine/solution_arrays.h"
#include "engine/storage.h"
#include "engine/time_step.h"
#include "network/dimensions.h"
#include "models/svc/svc.h"
#include "network/network_tables.h"
#include "network/tests/one_subsystem.h"

namespace svc_test {

constexpr double kStep = 50e-6;

inline void tables() {
    allocate_one_subsystem(3, 6, {{ND_SPARSITY, 22}, {ND_STOR, 2000}, {ND_RTCI, 40}, {ND_RTCF, 600}});
    RUN_CLOCK.DELT = kStep;
    NetworkTables& N = NET;
    N.NBUSES(1) = 3;
    N.NBRANCHES(1) = 6;
    for (int32_t b = 1; b <= 6; ++b) {
        N.IEF(b, 1) = 0;
        N.IET(b, 1) = b <= 3 ? b : b - 3;
        // The map marks the interface branches D and the R-C branches S.
        (b <= 3 ? N.DEFRDBR : N.SWITCH)(b, 1) = LTRUE;
    }
    RUN_FLAGS.FIRST_STEP_DATA = LTRUE;
    RESETPTRS();
}

// Bus phase voltages of amplitude V (kV) at frequency f, phase a at angle
// w t + phi.
inline void bus(double V, double f, double t, double phi = 0.0) {
    for (int32_t k = 0; k < 3; ++k)
        NET.VNODE(k + 1, 1) = V * std::sin(2.0 * M_PI * f * t + phi - k * 2.0 * M_PI / 3.0);
}

// The example compensator's set-up data; fields are the set-up call's
// arguments after the six branches.
struct Ratings {
    double S = 100, V1 = 230, V2 = 10, mag_p = 1, mag_y = 1, mag_d = 1, f = 60, xPY = 0.15, xPD = 0.15, xYD = 0.30;
    double QL = 100, QC = 100, Q0 = 10, Rs = 1000, Cs = 0.1, Ron = 0.01, Roff = 1e6, Rd = 1e4;
    int32_t NCAP = 4, NC0 = 2;
    double Kp = 50, Ki = 2000;
    int32_t N = 10, M = 10;
    double Xair = 0.3, knee = 1.2, G0 = 0, tau = 0.05, k = 1;
};

inline void set_up(Ratings& r) {
    SVC(1, 1, 2, 3, 4, 5, 6, r.S, r.V1, r.V2, r.mag_p, r.mag_y, r.mag_d, r.f, r.xPY, r.xPD, r.xYD, r.QL, r.QC, r.Q0,
        r.Rs, r.Cs, r.Ron, r.Roff, r.Rd, r.NCAP, r.NC0, r.Kp, r.Ki, r.N, r.M, r.Xair, r.knee, r.G0, r.tau, r.k);
}

// One compensator on a stiff bus of amplitude V (kV, phase) and frequency
// f, stepped as the run loop steps a case at the time step dt; the bus
// stands where the last solution left it (the previous step's instant).
struct StiffBus {
    double V = 230.0 * std::sqrt(2.0 / 3.0), f = 60.0;
    double alpha = M_PI;
    int32_t command = 0, enable = 1, switching = 0, stages = 0, mode = 0;
    int32_t step = 0;
    double dt = kStep;

    void begin(Ratings& r) {
        tables();
        RUN_CLOCK.DELT = dt;
        set_up(r);
    }
    double time() const { return step * dt; }
    void run_step() {
        RESETPTRS();
        bus(V, f, (step - 1) * dt);
        SVC_RUN(1, 1, 2, 3, alpha, command, enable, switching, stages, mode);
        RUN_FLAGS.FIRST_STEP_DATA = LFALSE;
        ++step;
    }
    // The compensator's slot k of its block (after the phase shifter's two).
    static double slot(int32_t k) { return STORAGE.STOR(2 + k); }
};

// Fundamental phasor over whole cycles: add x(t) at every step, read the
// complex amplitude.
struct Fundamental {
    double w;
    double re = 0.0, im = 0.0;
    int32_t n = 0;
    void add(double t, double x) {
        re += x * std::cos(w * t);
        im -= x * std::sin(w * t);
        ++n;
    }
    double real() const { return 2.0 * re / n; }
    double imag() const { return 2.0 * im / n; }
};

// Reactive power (MVAr) of three phases from their voltage and current
// phasors.
inline double reactive(const Fundamental (&v)[3], const Fundamental (&i)[3]) {
    double q = 0.0;
    for (int k = 0; k < 3; ++k) q += 0.5 * (v[k].imag() * i[k].real() - v[k].real() * i[k].imag());
    return q;
}

}  // namespace svc_test
