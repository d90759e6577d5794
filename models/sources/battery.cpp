#include "models/sources/battery.h"

#include <algorithm>
#include <cmath>
#include <string_view>

#include "engine/abort.h"
#include "engine/model_helpers.h"
#include "engine/pointer_block.h"
#include "engine/run_state.h"
#include "engine/storage.h"
#include "models/switch/branch_rlc.h"
#include "network/network_tables.h"
#include "network/switch_state.h"
#include "network/varbranch.h"

BatteryWarnings BATTERY_WARNINGS;

namespace {

const Text12 kName("BATTERY     ");
// Half of one second in hours: the trapezoidal charge of one step.
constexpr double kHalfHour = 0.000138888888888889;
constexpr double kSmallest = 1e-19;
// Below this state of charge the polarisation term is held.
constexpr double kSocFloor = 0.01;

bool first_step() { return is_true(RUN_FLAGS.FIRST_STEP_DATA); }

void report(bool& failed, std::string_view text) {
    USERMSG(CURRENT_IDS.id1, CURRENT_IDS.id2, 2, 1, text);
    failed = true;
}

// The charge of this step from the stored charge and the currents of the
// last two steps (the initial one on the first step of a data start).
double charge_now(int32_t f, double q, double soc0, double i) {
    FArray1<double>& F = STORAGE.STORF;
    if (first_step()) return q * soc0;
    return F(f + 1) - (F(f) + i) * RUN_CLOCK.DELT * kHalfHour;
}

// The same as a state of charge.
double state_of_charge(int32_t f, double q, double soc0, double i) {
    if (first_step()) return soc0;
    return charge_now(f, q, soc0, i) / q;
}

// Says once, until the state of charge has risen again, that the
// polarisation voltage is held.
void watch_floor(int32_t f, double soc) {
    std::vector<int32_t>& low = BATTERY_WARNINGS.low;
    auto it = std::find(low.begin(), low.end(), f);
    if (it != low.end() && (soc >= kSocFloor || is_true(RUN_FLAGS.FIRST_STEP_RUN))) {
        low.erase(it);
        it = low.end();
    }
    if (soc >= kSocFloor || it != low.end()) return;
    USERWARN(CURRENT_IDS.id1, CURRENT_IDS.id2, 1,
             "Battery state of charge below 1 %: its polarisation voltage is held at the 1 % value.");
    low.push_back(f);
}

// Table positions of the table battery's constants from r.
struct Curves {
    int32_t r;
    double S1(int k) const { return STORAGE.RTCF(r + 1 + k); }
    double V(int k) const { return STORAGE.RTCF(r + 11 + k); }
    double S2(int k) const { return STORAGE.RTCF(r + 21 + k); }
    double R(int k) const { return STORAGE.RTCF(r + 31 + k); }
    double M1(int k) const { return STORAGE.RTCF(r + 41 + k); }
    double M2(int k) const { return STORAGE.RTCF(r + 51 + k); }
};

double voltage_of(const Curves& c, double soc) {
    if (soc >= c.S1(2)) return c.V(1) + (soc - c.S1(1)) * c.M1(1);
    for (int k = 2; k <= 9; ++k)
        if (c.S1(k + 1) <= soc && soc < c.S1(k)) return c.V(k) + (soc - c.S1(k)) * c.M1(k);
    return std::max(c.V(10) + (soc - c.S1(10)) * c.M1(10), 0.0);
}

double resistance_of(const Curves& c, double soc) {
    if (soc >= c.S2(1)) return c.R(1);
    for (int k = 1; k <= 9; ++k)
        if (c.S2(k + 1) <= soc && soc < c.S2(k)) return c.R(k) + (soc - c.S2(k)) * c.M2(k);
    return c.R(10);
}

// Slopes between neighbouring points; the last one runs to the origin.
void slopes(int32_t at, int32_t x, int32_t y) {
    FArray1<double>& R = STORAGE.RTCF;
    for (int k = 1; k <= 9; ++k) R(at + k - 1) = (R(y + k) - R(y + k - 1)) / (R(x + k) - R(x + k - 1));
    R(at + 9) = R(x + 9) > 1e-38 ? R(y + 9) / R(x + 9) : R(at + 8);
}

}  // namespace

void BATTERY(int32_t ss, int32_t br, double vnom, double vfull, double vexp, double q, double qnom, double qexp,
             double soc0, double r, double ipct) {
    bool failed = false;
    if (vexp >= vfull) report(failed, "Fully charged voltage should be higher than the voltage at exponential point");
    if (vexp <= 1.0) report(failed, "Nominal voltage should be less than the voltage at exponential point");
    if (vnom < kSmallest) report(failed, "Unrealistic nominal voltage");
    if (qnom >= 1.0) report(failed, "Rated capacity should be higher than nominal capacity");
    if (qnom <= qexp) report(failed, "Nominal capacity should be higher than the capacity at exponential point");
    if (qexp < kSmallest) report(failed, "Unrealistic Capacity at exponential point");
    if (q < kSmallest) report(failed, "Unrealistic Rated Capacity");
    if (ipct < kSmallest) report(failed, "Unrealistic nominal discharge current");
    if (failed) ABORT_RUN(kName, 0);

    const double B = 3.0 / qexp;
    const double A = vnom * (vfull - vexp);
    const double K = (vfull * vnom - vnom + (std::exp(-B * qnom) - 1.0) * A) * (1.0 - qnom) / qnom;
    const double E0 = vfull * vnom + vnom * r - A + K;
    const double R = vnom * r / (0.01 * ipct * q);
    const int32_t at = POINTER_BLOCK.NRTCF;
    const double constants[] = {q, 0.01 * soc0, A, B, K, E0};
    for (int k = 0; k < 6; ++k) STORAGE.RTCF(at + k) = constants[k];
    BRANCH_RLC(br, ss, 1, 0, 0, R, 0.0, 0.0);
    POINTER_BLOCK.NRTCF = at + 6;
}

void BATTERY_DYN(int32_t ss, int32_t br) {
    PointerBlock& P = POINTER_BLOCK;
    FArray1<double>& C = STORAGE.RTCF;
    FArray1<double>& F = STORAGE.STORF;
    NetworkTables& N = NET;
    const int32_t r = P.NRTCF, f = P.NSTORF;
    const double q = C(r), A = C(r + 2), B = C(r + 3), K = C(r + 4), E0 = C(r + 5);
    if (first_step()) {
        CHKBRANCH(kName, br, ss);
        N.SOURCE(br, ss) = LTRUE;
    }
    const double i = N.CBR(br, ss);
    const double charge = charge_now(f, q, C(r + 1), i);
    const double soc = first_step() ? C(r + 1) : charge / q;
    watch_floor(f, soc);
    const double emf = E0 + A * std::exp(-B * (1.0 - soc)) - K / std::max(soc, kSocFloor);
    F(f) = i;
    F(f + 1) = charge;
    N.EBR(br, ss) = emf;
    F(f + 2) = soc;
    P.NRTCF = r + 6;
    P.NSTORF = f + 3;
}

void BATTERY_TABLE(int32_t ss, int32_t br, double vnom, double ipct, double q, double soc0, const double soc_v[10],
                   const double volts[10], const double soc_r[10], const double ohms[10]) {
    FArray1<double>& C = STORAGE.RTCF;
    const int32_t r = POINTER_BLOCK.NRTCF;
    const Curves c{r};
    C(r) = q;
    C(r + 1) = 0.01 * soc0;
    const double ohm_scale = vnom * 100.0 / (ipct * q);
    for (int k = 0; k < 10; ++k) {
        C(r + 2 + k) = 0.01 * soc_v[k];
        C(r + 12 + k) = volts[k] * vnom;
        C(r + 22 + k) = 0.01 * soc_r[k];
        C(r + 32 + k) = ohms[k] * ohm_scale;
    }

    bool failed = false;
    for (int k = 2; k <= 10; ++k) {
        if (!(c.S1(k) < c.S1(k - 1)) || !(c.S2(k) < c.S2(k - 1))) {
            report(failed, "State of Chrage points should be entered in decreasing order");
            break;
        }
    }
    for (int k = 1; k < 10; ++k) {
        if (volts[k] > volts[k - 1]) {
            report(failed, "Voltage points in discharge curve should not increase as State of charge decreases.");
            break;
        }
    }
    for (int k = 0; k < 10; ++k) {
        if (ohms[k] < 0.0) {
            report(failed, "Battery resistance could not be negative.");
            break;
        }
    }
    if (c.S1(10) < 0.0 || c.S2(10) < 0.0) report(failed, "State of Chrage points should be positive.");
    if (vnom < kSmallest) report(failed, "Unrealistic nominal voltage");
    if (q < kSmallest) report(failed, "Unrealistic Rated Capacity");
    if (ipct < kSmallest) report(failed, "Unrealistic nominal discharge current");
    if (failed) ABORT_RUN(kName, 0);

    slopes(r + 42, r + 2, r + 12);
    slopes(r + 52, r + 22, r + 32);
    CHKBRANCH(kName, br, ss);
    NetworkTables& N = NET;
    N.SOURCE(br, ss) = LTRUE;
    N.RESISTOR(br, ss) = LTRUE;
    N.INDUCTOR(br, ss) = LFALSE;
    N.CAPACITR(br, ss) = LFALSE;
    N.RLG(br, ss) = 0.0;
    N.RCG(br, ss) = 0.0;
    POINTER_BLOCK.NRTCF = r + 62;
}

void BATTERY_TABLE_DYN(int32_t ss, int32_t br) {
    PointerBlock& P = POINTER_BLOCK;
    FArray1<double>& F = STORAGE.STORF;
    NetworkTables& N = NET;
    const int32_t r = P.NRTCF, f = P.NSTORF;
    const Curves c{r};
    const double q = STORAGE.RTCF(r);
    P.NSTORF = f + 4;
    if (first_step()) {
        CHKBRANCH(kName, br, ss);
        WARN_UNSWITCHED(ss, br);
    }
    const double i = N.CBR(br, ss);
    const double soc = state_of_charge(f, q, STORAGE.RTCF(r + 1), i);
    const double v = voltage_of(c, soc), rb = resistance_of(c, soc);
    F(f) = i;
    F(f + 1) = q * soc;
    if (first_step() || std::fabs(F(f + 3) - rb) > 1e-20) {
        if (rb < 1.0 / N.GIDEAL(ss)) {
            N.IDEALBR(br, ss) = LTRUE;
            N.IDEALSS(ss) = LTRUE;
            N.BRANCH_R(br, ss) = 1e-20;
            N.GEQ(br, ss) = 0.0;
        } else {
            N.IDEALBR(br, ss) = LFALSE;
            N.BRANCH_R(br, ss) = rb;
            N.GEQ(br, ss) = 1.0 / rb;
        }
        SS_MINREQ(ss, N.IEF(br, ss), N.IET(br, ss));
        F(f + 3) = rb;
    }
    N.EBR(br, ss) = v;
    F(f + 2) = soc;
    P.NRTCF = r + 62;
}
