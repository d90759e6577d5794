#include "models/svc/svc_substeps.h"

#include <algorithm>

#include "engine/run_state.h"
#include "models/svc/svc_services.h"
#include "platform/logical.h"

namespace {

// Slots of the six reactor branches' forward valves and pulses; the
// reverse valve of each sits three slots on.
int32_t valve_slot(int k) { return k < 3 ? 8 + k : 35 + k; }
int32_t pulse_slot(int k) { return k < 3 ? 1 + k : 28 + k; }
int32_t stage_slot(int g, int j) { return 56 + 10 * g + j; }  // 0-based group and stage

void load_state(const SvcBlock& B, SvcState& x) {
    for (int i = 0; i < 3; ++i) {
        x.iP[i] = B(14 + i);
        x.iD[i] = B(17 + i);
        x.vs[i] = B(20 + i);
        x.iL[i] = B(23 + i);
        x.iY[i] = B(44 + i);
        x.vs[i + 3] = B(47 + i);
        x.iL[i + 3] = B(50 + i);
    }
    x.u[0] = B(26);
    x.u[1] = B(27);
    x.u[2] = B(53);
    x.u[3] = B(54);
}

void save_state(const SvcBlock& B, const SvcState& x) {
    for (int i = 0; i < 3; ++i) {
        B(14 + i) = x.iP[i];
        B(17 + i) = x.iD[i];
        B(20 + i) = x.vs[i];
        B(23 + i) = x.iL[i];
        B(44 + i) = x.iY[i];
        B(47 + i) = x.vs[i + 3];
        B(50 + i) = x.iL[i + 3];
    }
    B(26) = x.u[0];
    B(27) = x.u[1];
    B(28) = -x.u[0] - x.u[1];
    B(53) = x.u[2];
    B(54) = x.u[3];
}

void save_bank_voltages(const SvcBlock& B, const SvcState& x) {
    B(26) = x.u[0];
    B(27) = x.u[1];
    B(28) = -x.u[0] - x.u[1];
    B(53) = x.u[2];
    B(54) = x.u[3];
    for (int g = 0; g < 6; ++g) B(116 + g) = SVC_WORK.vg[g];
}

// Group voltages of the state: the delta bank's three, and the star
// bank's node voltages from the star winding's phase c row.
void group_voltages(const SvcState& x, const SvcState& dx) {
    SvcWork& w = SVC_WORK;
    w.vg[0] = x.u[0];
    w.vg[1] = x.u[1];
    w.vg[2] = -x.u[0] - x.u[1];
    const double* r = w.c.r;
    const double v6 = r[0] * dx.iP[0] + r[1] * dx.iP[1] + r[2] * dx.iP[2] + r[3] * dx.iD[0] + r[4] * dx.iD[1] +
                      r[5] * dx.iD[2] + r[6] * dx.iY[0] + r[7] * dx.iY[1];
    w.vg[5] = v6;
    w.vg[4] = v6 - x.u[3];
    w.vg[3] = v6 - x.u[2] - x.u[3];
}

// Current through each branch's valve pair: reactor minus snubber current.
void valve_currents(const SvcState& x, const SvcState& dx, double (&iv)[6]) {
    for (int k = 0; k < 6; ++k) iv[k] = x.iL[k] - SVC_WORK.c.Cs * dx.vs[k];
}

void reactor_coefficients(const SvcBlock& B) {
    SvcWork& w = SVC_WORK;
    const SvcCircuit& c = w.c;
    for (int k = 0; k < 6; ++k) {
        const double R = std::min(B(valve_slot(k)), B(valve_slot(k) + 3));
        const double kappa = 1.0 / (1.0 + c.Rs / R);
        w.kC[k] = kappa / c.Cs;
        w.kR[k] = -kappa / (R * c.Cs);
        w.kI[k] = -kappa * c.Rs / c.Lt;
        w.kV[k] = -kappa / c.Lt;
        B(198 + k) = w.kC[k];
        B(204 + k) = w.kR[k];
        B(216 + k) = w.kI[k];
        B(222 + k) = w.kV[k];
    }
}

void bank_coefficients(const SvcBlock& B) {
    SvcWork& w = SVC_WORK;
    const double* C = w.cap;
    const double Rd = w.c.Rd;
    const double C1 = C[0], C2 = C[1], C3 = C[2], C4 = C[3], C5 = C[4], C6 = C[5];
    const double D1 = 1.0 / (C1 * C3 + C3 * C2 + C2 * C1), D2 = 1.0 / (C4 * C6 + C5 * C4 + C5 * C6);
    double* a = w.a;
    a[0] = -(C3 + C2) * D1;
    a[1] = C3 * D1;
    a[2] = C3 * D1;
    a[3] = -(C1 + C3) * D1;
    a[4] = C2 * D1;
    a[5] = C1 * D1;
    a[6] = -((C3 + 2.0 * C2) / Rd) * D1;
    a[7] = ((C3 - C1) / Rd) * D1;
    a[8] = ((C3 - C2) / Rd) * D1;
    a[9] = -((C3 + 2.0 * C1) / Rd) * D1;
    double* b = w.b;
    b[0] = C5 * D2;
    b[1] = C4 * D2;
    b[2] = -C6 * D2;
    b[3] = (C4 + C6) * D2;
    b[4] = -(C5 + C6) * D2;
    b[5] = b[6] = C6 * D2;
    b[7] = -(C4 + C6) * D2;
    b[8] = C5 * D2;
    b[9] = C4 * D2;
    b[10] = -((C6 + 2.0 * C5) / Rd) * D2;
    b[11] = ((C6 - C4) / Rd) * D2;
    b[12] = ((C6 - C5) / Rd) * D2;
    b[13] = -((C6 + 2.0 * C4) / Rd) * D2;
    for (int g = 0; g < 6; ++g) B(134 + g) = C[g];
    for (int i = 0; i < 10; ++i) B(148 + i) = a[i];
    for (int i = 0; i < 8; ++i) B(158 + i) = b[i];
    for (int i = 8; i < 14; ++i) B(220 + i) = b[i];
}

void load_work(const SvcBlock& B) {
    SvcWork& w = SVC_WORK;
    for (int k = 0; k < 6; ++k) {
        w.kC[k] = B(198 + k);
        w.kR[k] = B(204 + k);
        w.kI[k] = B(216 + k);
        w.kV[k] = B(222 + k);
    }
    for (int i = 0; i < 10; ++i) w.a[i] = B(148 + i);
    for (int i = 0; i < 8; ++i) w.b[i] = B(158 + i);
    for (int i = 8; i < 14; ++i) w.b[i] = B(220 + i);
    for (int g = 0; g < 6; ++g) {
        w.dlast[g] = B(122 + g);
        w.ilast[g] = B(128 + g);
        w.cap[g] = B(134 + g);
        w.count[g] = B(140 + g);
        for (int j = 0; j < SVC_MAX_STAGES; ++j) w.vst[g][j] = B(stage_slot(g, j));
    }
}

void first_step(const SvcBlock& B, SvcCommand& cmd) {
    const SvcCircuit& c = SVC_WORK.c;
    for (int g = 0; g < 6; ++g) {
        for (int j = 0; j < SVC_MAX_STAGES; ++j) B(stage_slot(g, j)) = 0.0;
        B(140 + g) = cmd.NC0;
        B(134 + g) = cmd.NC0 == 0 ? c.C0 : cmd.NC0 * c.Cst;
    }
    for (int k = 0; k < 6; ++k) B(valve_slot(k)) = B(valve_slot(k) + 3) = c.Roff;
    *cmd.stages = cmd.NC0;
    B(146) = cmd.NC0;
}

// x := x0 + len * dx, the star phase c current following the other two.
void advance(const SvcState& x0, double len, const SvcState& dx, SvcState& x) {
    for (int i = 0; i < 3; ++i) {
        x.iP[i] = x0.iP[i] + len * dx.iP[i];
        x.iD[i] = x0.iD[i] + len * dx.iD[i];
    }
    x.iY[0] = x0.iY[0] + len * dx.iY[0];
    x.iY[1] = x0.iY[1] + len * dx.iY[1];
    x.iY[2] = -(x.iY[0] + x.iY[1]);
    for (int k = 0; k < 6; ++k) {
        x.vs[k] = x0.vs[k] + len * dx.vs[k];
        x.iL[k] = x0.iL[k] + len * dx.iL[k];
    }
    for (int i = 0; i < 4; ++i) x.u[i] = x0.u[i] + len * dx.u[i];
}

enum class Pace { Normal, Finer, Remainder };

}  // namespace

void svc_substeps(const SvcBlock& B, SvcCommand& cmd) {
    SvcWork& w = SVC_WORK;
    const SvcCircuit& c = w.c;
    const bool first = is_true(RUN_FLAGS.FIRST_STEP_DATA);
    *cmd.switching = nint(B(147));
    if (first) {
        first_step(B, cmd);
    } else {
        *cmd.stages = nint(B(146));
    }
    if (c.N < 1 || c.M < 1) return;
    const double h = 1.0 / c.N, dt = RUN_CLOCK.DELT;
    load_work(B);

    Pace pace = Pace::Normal;
    int32_t sub = 1, fine = 1;
    bool fired = false, decayed = false, accepted = false;
    SvcState x, x0, dx, xn;
    double iv[6];
    while (sub <= c.N) {
        const double len = pace == Pace::Normal ? h * dt
                           : pace == Pace::Finer ? h * dt / c.M
                                                 : (c.M - fine) * h * dt / c.M;
        load_state(B, x);
        for (int g = 0; g < 6; ++g) w.vg[g] = B(116 + g);
        SVC_DERIV(x, dx);
        w.inow[0] = w.cap[0] * dx.u[0];
        w.inow[1] = w.cap[1] * dx.u[1];
        w.inow[2] = -w.cap[2] * (dx.u[0] + dx.u[1]);
        w.inow[3] = w.cap[3] * dx.u[2];
        w.inow[4] = w.cap[4] * dx.u[3];
        w.inow[5] = -w.cap[5] * (dx.u[2] + dx.u[3]);
        valve_currents(x, dx, iv);

        if (cmd.mode == 0) {
            if (pace == Pace::Normal && !fired) {
                SVC_FIRING(cmd.alpha, c.Kp, c.Ki, cmd.enable, w.v[0], w.v[1], w.v[2]);
                fired = true;
            }
        } else if (cmd.enable < 1) {
            for (int k = 0; k < 6; ++k) B(pulse_slot(k)) = B(pulse_slot(k) + 3) = 0.0;
        }

        B(7) = 0.0;
        for (int k = 0; k < 6; ++k) {
            for (int rev = 0; rev < 2; ++rev) {
                int32_t result = 0;
                SVC_VALVE(rev ? -iv[k] : iv[k], B(pulse_slot(k) + 3 * rev), B(valve_slot(k) + 3 * rev), c.Ron,
                          c.Roff, result);
                if (result != 0) B(7) = 1.0;
            }
        }
        if (first || B(7) > 0.5) reactor_coefficients(B);

        int32_t& switching = *cmd.switching;
        int32_t& stages = *cmd.stages;
        // The command is looked at in every sub-step and consumed by the one
        // that accepts it: a switching that completes at once must not let
        // the next sub-step take the same command again.
        if (switching == 0 && !accepted) {
            int32_t s = *cmd.command > 0 ? 1 : (*cmd.command < 0 ? -1 : 0);
            if ((s == 1 && stages == c.NCAP) || (s == -1 && stages == 0)) s = 0;
            *cmd.command = s;
            if (s != 0) {
                stages += s;
                switching = s;
                accepted = true;
            }
        } else {
            *cmd.command = 0;
        }
        bool switched = false;
        for (int g = 1; g <= 6; ++g) switched |= SVC_CAPSTAGE(g, stages, c.Cst, c.C0, switching) == 1;
        if (switching != 0 &&
            std::all_of(w.count, w.count + 6, [&](double n) { return nint(n) == stages; }))
            switching = 0;
        if (switched) {
            // The shared charge is part of the state, whatever becomes of
            // this sub-step's integration.
            x.u[0] = w.vg[0];
            x.u[1] = w.vg[1];
            x.u[2] = w.vg[4] - w.vg[3];
            x.u[3] = w.vg[5] - w.vg[4];
            save_bank_voltages(B, x);
        }

        for (int g = 0; g < 6; ++g) {
            w.ilast[g] = w.inow[g];
            B(122 + g) = w.dlast[g];
            B(128 + g) = w.ilast[g];
            B(140 + g) = w.count[g];
            const int32_t n = nint(w.count[g]);
            const double vgrp = svc_group_voltage(g + 1);
            for (int j = 0; j < SVC_MAX_STAGES; ++j) {
                if (j < n) {
                    w.vst[g][j] = vgrp;
                } else if (!decayed && pace == Pace::Normal) {
                    w.vst[g][j] *= 1.0 - dt / (c.Cst * c.Rd);
                }
                B(stage_slot(g, j)) = w.vst[g][j];
            }
        }
        if (pace == Pace::Normal) decayed = true;
        B(146) = stages;
        B(147) = switching;
        if (first || switched) bank_coefficients(B);

        x0 = x;
        xn = x;
        for (int it = 0; it < 3; ++it) {
            SVC_DERIV(xn, dx);
            advance(x0, len, dx, xn);
        }

        SVC_DERIV(xn, dx);
        valve_currents(xn, dx, iv);
        bool event = false;
        for (int k = 0; k < 6 && !event; ++k) {
            for (int rev = 0; rev < 2; ++rev) {
                double R = B(valve_slot(k) + 3 * rev);
                int32_t result = 0;
                SVC_VALVE(rev ? -iv[k] : iv[k], B(pulse_slot(k) + 3 * rev), R, c.Ron, c.Roff, result);
                if (result == -1) event = true;
            }
        }
        if (pace == Pace::Remainder) {
            pace = Pace::Normal;
            ++sub;
        } else if (pace == Pace::Normal) {
            if (event && c.M > 1) {
                pace = Pace::Finer;
                fine = 1;
                continue;  // done again in finer steps from the saved state
            }
            ++sub;
        } else if (fine == c.M) {
            pace = Pace::Normal;
            ++sub;
        } else if (event) {
            pace = Pace::Remainder;
        } else {
            ++fine;
        }
        group_voltages(xn, dx);
        for (int g = 0; g < 6; ++g) B(116 + g) = w.vg[g];
        save_state(B, xn);
    }
}

void svc_saturation(double (&isat)[3]) {
    const SvcWork& w = SVC_WORK;
    const SvcCircuit& c = w.c;
    for (int k = 0; k < 3; ++k) {
        double psi = 0.0;
        isat[k] = SVC_SATUR(w.v[k], c.Xair, c.knee, c.V1, c.Ir, c.f, c.tau, psi);
    }
}
