#include "network/varbranch.h"

#include <cmath>
#include <string>

#include "controls/branch_voltage.h"
#include "engine/abort.h"
#include "engine/model_helpers.h"
#include "engine/pointer_block.h"
#include "engine/run_state.h"
#include "engine/storage.h"
#include "models/branch_changes.h"
#include "network/companion.h"
#include "network/network_tables.h"
#include "network/switch_state.h"

namespace {

constexpr double kTiny = 1e-20;

enum class Quantity { Resistance, Inductance, Capacitance };

Quantity quantity_of(int32_t type) {
    if (type == 1 || type == 3) return Quantity::Inductance;
    if (type == 2 || type == 4) return Quantity::Capacitance;
    return Quantity::Resistance;
}

bool first_step() { return is_true(RUN_FLAGS.FIRST_STEP_DATA); }


// The branch becomes a plain resistor, coil or capacitor.
void set_kind(int32_t s, int32_t b, bool r, bool l, bool c) {
    NetworkTables& N = NET;
    N.RESISTOR(b, s) = as_logical(r);
    N.INDUCTOR(b, s) = as_logical(l);
    N.CAPACITR(b, s) = as_logical(c);
    N.RCG(b, s) = c ? 1.0 : 0.0;
    N.RLG(b, s) = l ? 1.0 : 0.0;
}

// A value too small to divide by: a resistive branch of 1e-20 ohm.
double tiny_branch(int32_t s, int32_t b) {
    set_kind(s, b, true, false, false);
    NET.BRANCH_R(b, s) = kTiny;
    return 1.0 / kTiny;
}

// The conductance the branch takes: 0.0 for a resistance below the
// ideal-branch threshold, which makes the branch ideal.
double ideal_test(int32_t type, int32_t s, int32_t b, double value, double g) {
    NetworkTables& N = NET;
    if (type == 0 && std::fabs(value) < 1.0 / N.GIDEAL(s)) {
        N.IDEALBR(b, s) = LTRUE;
        N.IDEALSS(s) = LTRUE;
        N.BRANCH_R(b, s) = kTiny;
        return 0.0;
    }
    N.IDEALBR(b, s) = LFALSE;
    return g;
}

void new_conductance(int32_t s, int32_t b, double g) {
    NetworkTables& N = NET;
    N.GEQ(b, s) = g;
    if (first_step()) N.GEQD(b, s) = g;
    SS_MINREQ(s, N.IEF(b, s), N.IET(b, s));
}

}  // namespace

// The matrix takes the conductance of a branch that is not switched only
// from the map file; say so once, when the change is set up.
void WARN_UNSWITCHED(int32_t s, int32_t b) {
    if (is_true(NET.SWITCH(b, s))) return;
    const int32_t id1 = CURRENT_IDS.id1, id2 = CURRENT_IDS.id2;
    USERMSG(id1, id2, 1, 2,
            "Branch " + std::to_string(b) + " of subsystem " + std::to_string(s) +
                " is not a switched branch (letter S):");
    USERMSG(id1, id2, 1, -1, "changes of its value cannot reach the network solution.");
}

void VARBRANCH_INIT(int32_t type, int32_t s, int32_t b, int32_t c) {
    const Text12 name("VARBRANCH_INIT");
    CHKBRANCH(name, b, s);
    if (type > 2) CHKBRANCH(name, c, s);
    NetworkTables& N = NET;
    N.SOURCE(b, s) = LTRUE;
    N.RESISTOR(b, s) = LFALSE;
    N.INDUCTOR(b, s) = LFALSE;
    N.CAPACITR(b, s) = LFALSE;
    WARN_UNSWITCHED(s, b);
    if (type <= 2) return;
    N.DEFRDBR(c, s) = LTRUE;
    for (FArray2<double>* a : {&N.GEQ, &N.GEQD, &N.GON, &N.GOFF, &N.RLG, &N.RCG, &N.RCL, &N.RSC, &N.RSL})
        (*a)(c, s) = 0.0;
    WARN_UNSWITCHED(s, c);
    BRCHANGE_RETYPED(name, s, c);
}

namespace {

// A new value, or the first step: the branch takes it.
[[gnu::noinline]] void varbranch_change(int32_t type, int32_t s, int32_t b, int32_t c, double value, double emf) {
    NetworkTables& N = NET;
    FArray1<double>& stored = STORAGE.STORF;
    const int32_t P = POINTER_BLOCK.NSTORF;
    const double dt = RUN_CLOCK.DELT;
    const Quantity q = quantity_of(type);
    double I = type == 3 ? stored(P + 1) : 0.0;
    if (first_step() || std::fabs(stored(P) - value) > kTiny) {
        double g;
        if (std::fabs(value) <= kTiny) {
            g = tiny_branch(s, b);
            const int32_t id1 = CURRENT_IDS.id1, id2 = CURRENT_IDS.id2;
            if (q == Quantity::Inductance) USERMSG(id1, id2, 1, 2, "Inductance value is too small. ");
            if (q == Quantity::Capacitance) USERMSG(id1, id2, 1, 2, "Capacitance value is too small. ");
            if (type != 0) USERMSG(id1, id2, 1, -1, "Considering the branch as a small resistive branch.");
        } else {
            switch (q) {
                case Quantity::Resistance:
                    g = 1.0 / value;
                    N.BRANCH_R(b, s) = value;
                    N.RESISTOR(b, s) = LTRUE;
                    N.RCG(b, s) = 0.0;
                    N.RLG(b, s) = 0.0;
                    break;
                case Quantity::Inductance:
                    g = dt * 0.5 / value;
                    N.G2L(b, s) = g;
                    N.BRANCH_L(b, s) = value;
                    N.INDUCTOR(b, s) = LTRUE;
                    N.RLG(b, s) = 1.0;
                    N.RCG(b, s) = 0.0;
                    break;
                case Quantity::Capacitance:
                    g = value * 2e-6 / dt;
                    N.G2C(b, s) = g;
                    N.BRANCH_C(b, s) = value * 1e-6;
                    N.CAPACITR(b, s) = LTRUE;
                    N.RCG(b, s) = 1.0;
                    N.RLG(b, s) = 0.0;
                    break;
            }
            if (!first_step()) {
                const double last = stored(P);
                if (type == 4) I = (value - last) * 1e-6 * BRANCH_VOLTAGE(s, b) / dt;
                if (type == 3) I = N.CBR(b, s) * (last / value - 1.0) + last * I / value;
            }
        }
        new_conductance(s, b, ideal_test(type, s, b, value, g));
        stored(P) = value;
    }
    N.EBR(b, s) = emf;
    if (type > 2) N.CCBR(c, s) = I;
    stored(P + 1) = I;
    POINTER_BLOCK.NSTORF = P + 2;
}

}  // namespace

namespace {

// A value as before: only the EMF and the kept current, through the
// tables' checks.
[[gnu::noinline]] void varbranch_keep(int32_t type, int32_t s, int32_t b, int32_t c, double* kept, double emf) {
    NetworkTables& N = NET;
    const double I = type == 3 ? kept[1] : 0.0;
    N.EBR(b, s) = emf;
    if (type > 2) N.CCBR(c, s) = I;
    kept[1] = I;
    POINTER_BLOCK.NSTORF += 2;
}

}  // namespace

void VARBRANCH_SET(int32_t type, int32_t s, int32_t b, int32_t c, double value, double emf) {
    NetworkTables& N = NET;
    FArray1<double>& stored = STORAGE.STORF;
    const int32_t P = POINTER_BLOCK.NSTORF;
    if (first_step() || P < 1 || int64_t{P} + 1 > stored.size()) return varbranch_change(type, s, b, c, value, emf);
    double* kept = stored.data() + (P - 1);
    if (std::fabs(kept[0] - value) > kTiny) return varbranch_change(type, s, b, c, value, emf);
    // A value as before, on most steps: only the EMF and the kept current,
    // reached directly where they lie inside their tables.
    if (!N.EBR.in_range(b, s) || (type > 2 && !N.CCBR.in_range(c, s))) [[unlikely]]
        return varbranch_keep(type, s, b, c, kept, emf);
    const double I = type == 3 ? kept[1] : 0.0;
    N.EBR.data()[N.EBR.offset(b, s)] = emf;
    if (type > 2) N.CCBR.data()[N.CCBR.offset(c, s)] = I;
    kept[1] = I;
    POINTER_BLOCK.NSTORF = P + 2;
}

void VARBR_RLC(int32_t b, int32_t s, int32_t has_r, int32_t has_l, int32_t has_c, double R, double L, double C) {
    NetworkTables& N = NET;
    FArray1<double>& stored = STORAGE.STORF;
    const int32_t P = POINTER_BLOCK.NSTORF;
    const double dt = RUN_CLOCK.DELT;
    const double T = 1.0 / N.GIDEAL(s);
    const double r = (has_r != 0 && R > 0.0) ? R : 0.0;
    const double l = (has_l != 0 && L > 0.0) ? L : 0.0;
    const double c = (has_c != 0 && C > 0.0) ? C : 0.0;
    const bool r_changed = has_r != 0 && std::fabs(r - stored(P)) > kTiny;
    const bool l_changed = has_l != 0 && std::fabs(l - stored(P + 1)) > kTiny;
    const bool c_changed = has_c != 0 && std::fabs(c - stored(P + 2)) > kTiny;
    if (first_step()) {
        N.CAPACITR(b, s) = LFALSE;
        N.INDUCTOR(b, s) = LFALSE;
        N.RESISTOR(b, s) = LFALSE;
    }
    if (r_changed || l_changed || c_changed || first_step()) {
        if (c_changed) {
            double xc = 0.0;
            if (c <= kTiny) {
                N.CAPACITR(b, s) = LFALSE;
                N.G2C(b, s) = 0.0;
            } else {
                xc = dt * 500000.0 / c;
                N.G2C(b, s) = 1.0 / xc;
                N.CAPACITR(b, s) = LTRUE;
                N.BRANCH_C(b, s) = 1e-6 * c;
            }
            stored(P + 3) = xc;
        }
        if (l_changed) {
            double xl = 0.0;
            if (l <= kTiny) {
                N.INDUCTOR(b, s) = LFALSE;
                N.G2L(b, s) = 0.0;
            } else {
                xl = (l + l) / dt;
                N.G2L(b, s) = 1.0 / xl;
                N.INDUCTOR(b, s) = LTRUE;
                N.BRANCH_L(b, s) = l;
            }
            stored(P + 4) = xl;
        }
        if (r_changed) {
            double reff = 0.0;
            if (r <= 0.0) {
                N.RESISTOR(b, s) = LFALSE;
                N.BRANCH_R(b, s) = kTiny;
            } else {
                N.RESISTOR(b, s) = LTRUE;
                N.BRANCH_R(b, s) = r;
                reff = r;
            }
            stored(P + 5) = reff;
        }
        const double xc = stored(P + 3), xl = stored(P + 4);
        double reff = stored(P + 5);
        if (is_true(N.RESISTOR(b, s)) && r < T) {
            reff = 0.0;
            const bool alone = !is_true(N.INDUCTOR(b, s)) && !is_true(N.CAPACITR(b, s));
            N.IDEALBR(b, s) = as_logical(alone);
            if (alone) N.IDEALSS(s) = LTRUE;
        } else {
            // A branch made ideal by an earlier small resistance is an
            // ordinary branch again once its resistance has grown.
            N.IDEALBR(b, s) = LFALSE;
        }
        const double z = reff + xl + xc;
        double g = std::fabs(z) > kTiny ? 1.0 / z : 0.0;
        if (is_true(N.IDEALBR(b, s))) g = 0.0;
        set_companion(b, s, g, reff, xl, xc);
        SS_MINREQ(s, N.IEF(b, s), N.IET(b, s));
    }
    stored(P) = r;
    stored(P + 1) = l;
    stored(P + 2) = c;
    POINTER_BLOCK.NSTORF = P + 6;
}

void VARBRANCH_NB(int32_t b, int32_t s, int32_t type, double& current, double value, double emf) {
    NetworkTables& N = NET;
    FArray1<double>& stored = STORAGE.STOR;
    const int32_t P = POINTER_BLOCK.NEXC;
    const int32_t f = N.IEF(b, s), t = N.IET(b, s);
    const double dt = RUN_CLOCK.DELT;
    double I = type == 1 ? stored(P + 2) : 0.0;
    if (first_step() && type != 0) {
        if (f != 0) N.NORMARK(f, s) = LTRUE;
        if (t != 0) N.NORMARK(t, s) = LTRUE;
    }
    if (first_step() || std::fabs(stored(P + 1) - value) > kTiny) {
        N.SOURCE(b, s) = LTRUE;
        double g;
        if (std::fabs(value) <= kTiny) {
            g = tiny_branch(s, b);
        } else {
            if (type == 2) {
                g = value * 2e-6 / dt;
                set_kind(s, b, false, false, true);
                N.G2C(b, s) = g;
                N.BRANCH_C(b, s) = value * 1e-6;
            } else if (type == 1) {
                g = dt * 0.5 / value;
                set_kind(s, b, false, true, false);
                N.G2L(b, s) = g;
                N.BRANCH_L(b, s) = value;
            } else {
                g = 1.0 / value;
                set_kind(s, b, true, false, false);
                N.BRANCH_R(b, s) = value;
            }
            if (!first_step()) {
                const double last = stored(P + 1);
                if (type == 2)
                    I = (value - last) * 1e-6 * BRANCH_VOLTAGE(s, b) / dt;
                else if (type == 1)
                    I = N.CBR(b, s) * (last / value - 1.0) + last * I / value;
                else
                    I = 0.0;
            }
        }
        new_conductance(s, b, ideal_test(type, s, b, value, g));
        stored(P + 1) = value;
    }
    N.EBR(b, s) = emf;
    current = N.CBR(b, s);
    if (type > 0) {
        if (f != 0) N.CNOR(f, s) = N.CNOR(f, s) - I;
        if (t != 0) N.CNOR(t, s) = N.CNOR(t, s) + I;
        current = current + I;
    }
    stored(P + 2) = I;
    POINTER_BLOCK.NEXC = P + 10;
}
