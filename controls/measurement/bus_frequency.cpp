#include "controls/measurement/bus_frequency.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "controls/block_slots.h"
#include "controls/elementary/store_blocks.h"
#include "controls/measurement/power_meters.h"
#include "engine/abort.h"
#include "engine/messages.h"
#include "engine/model_helpers.h"
#include "engine/run_state.h"

namespace {

constexpr double kTwoPi = 6.283185307179586;
constexpr double kSixth = 1.047197551196598;  // pi/3: one event to the next
constexpr double kSqrt3 = 1.732050807568877;

// The six zero-crossing flags in the order of a positive-sequence cycle.
std::array<int32_t, 6> crossing_flags(double Va, double Vb, double Vc) {
    return {Va > 0.0, Vc <= 0.0, Vb > 0.0, Va <= 0.0, Vc > 0.0, Vb <= 0.0};
}

// The phase (0 a, 1 b, 2 c) that crosses at event e (1..6).
int phase_of_event(int32_t e) { return (e == 1 || e == 4) ? 0 : (e == 2 || e == 5) ? 2 : 1; }

// Message 263 when the phases do not sum to near zero.
void report_unbalance(double Va, double Vb, double Vc, double VR) {
    const double u = std::abs((Va + Vb + Vc) / VR);
    if (u > 0.05) OUTMSG(263, 0, 0, 0, VR, u, BLANK72());
}

double spread(double Va, double Vb, double Vc) { return std::max({Va, Vb, Vc}) - std::min({Va, Vb, Vc}); }

// Whether an interval dt is within -0.9 .. 1.9 of the expected one.
bool plausible(double dt, double ws) {
    const double expected = kSixth / ws;
    const double r = (dt - expected) / expected;
    return r >= -0.9 && r <= 1.9;
}

double sum6(const BlockSlots& s, int32_t first, bool stor) {
    double sum = 0.0;
    for (int32_t k = first; k < first + 6; ++k) sum += stor ? s.S(k) : s.F(k);
    return sum;
}

}  // namespace

void FWAV22_SETUP(double VR, double F, double T) {
    const BlockSlots s = take_slots({.rtcf = 7});
    const double w0 = kTwoPi * F;
    if (std::abs(T) < 0.001 || std::abs(w0) <= 1e-6 || std::abs(VR) <= 1e-6) {
        USERMSG(CURRENT_IDS.id1, CURRENT_IDS.id2, 2, 1,
                "Exteremely small values in Time constant, voltage or Frequency");
        ABORT_RUN("FWAV22      ", 0);
    }
    const double h = std::max(RUN_CLOCK.DELT, 0.001);
    const double values[7] = {VR, w0, T, h, h / T, h * w0, 1.0 / VR};
    for (int k = 0; k < 7; ++k) s.RF(k) = values[k];
}

void FWAV22(const double V[3], double& FOUT, double& DW, double& VPU) {
    const BlockSlots s = take_slots({.storf = 15, .stori = 7, .rtcf = 7});
    const double VR = s.RF(0), w0 = s.RF(1), T = s.RF(2), hT = s.RF(4), hw0 = s.RF(5);
    const double Va = V[0], Vb = V[1], Vc = V[2];
    const std::array<int32_t, 6> f = crossing_flags(Va, Vb, Vc);
    if (first_step_data()) {
        for (int k = 0; k < 6; ++k) {
            s.I(1 + k) = f[static_cast<size_t>(k)];
            s.F(5 + k) = kSixth / w0;
        }
        s.I(0) = 2;
        s.F(0) = -1.042 / w0;
        s.F(1) = 0.1;
        s.F(2) = s.F(3) = s.F(4) = w0;
        s.F(11) = MAG_3PH(Va, Vb, Vc) * kSqrt3;
    }
    std::array<int32_t, 6> before{};
    for (int k = 0; k < 6; ++k) {
        before[static_cast<size_t>(k)] = s.I(1 + k);
        s.I(1 + k) = f[static_cast<size_t>(k)];
    }
    const double prev[3] = {s.F(12), s.F(13), s.F(14)};
    s.F(12) = Va, s.F(13) = Vb, s.F(14) = Vc;

    int32_t e = s.I(0);
    if (e >= 1 && e <= 6 && f[static_cast<size_t>(e - 1)] == 1 && before[static_cast<size_t>(e - 1)] == 0) {
        const int p = phase_of_event(e);
        const double step = V[p] - prev[p];
        const double frac = std::abs(step) <= 1e-20 ? 0.5 : V[p] / step;
        const double t = RUN_CLOCK.TIME - frac * RUN_CLOCK.DELT;
        const double dt = t - s.F(0);
        s.F(0) = t;
        e = e == 6 ? 1 : e + 1;
        if (plausible(dt, s.F(2))) {
            s.F(4 + e) = dt;
            s.F(2) = kTwoPi / sum6(s, 5, false);
        }
        s.I(0) = e;
    }

    if (s.F(1) <= RUN_CLOCK.TIME) {
        s.F(1) = RUN_CLOCK.TIME + 0.001;
        report_unbalance(Va, Vb, Vc, VR);
        const double d = 0.7404804896930607 * spread(Va, Vb, Vc);
        s.F(11) += (d - s.F(11)) * 0.25 * hw0;
        if (VR <= 100.0 * std::min(s.F(11), d)) {
            s.F(3) += hT * (s.F(2) - s.F(3));
            s.F(4) += (s.F(2) - s.F(4)) * hw0 * 0.333333333333333;
        } else {
            for (int k = 5; k <= 10; ++k) s.F(k) = kSixth / s.F(4);
        }
    }
    FOUT = s.F(4);
    DW = T * (s.F(3) - w0);
    VPU = s.F(11) * s.RF(6);
}

void FWAV22_STOR(double VA, double VB, double VC, double VR, double WO, double TS, double& FHZ, double& W,
                 double& DW, double& VOUT) {
    const BlockSlots s = take_slots({.stor = 22});
    const std::array<int32_t, 6> f = crossing_flags(VA, VB, VC);
    if (first_step_data()) {
        if (std::abs(TS) <= 1e-6 || std::abs(WO) <= 1e-6 || std::abs(VR) <= 1e-6)
            OUTMSG(422, 0, 0, 0, 0.0, 0.0, BLANK72());
        const double h = std::max(RUN_CLOCK.DELT, 0.001);
        for (int k = 0; k < 6; ++k) {
            s.S(k) = f[static_cast<size_t>(k)];
            s.S(14 + k) = kSixth / WO;
        }
        s.S(6) = 2.1;
        s.S(7) = -1.042 / WO;
        s.S(8) = 0.1;
        s.S(9) = s.S(11) = s.S(13) = WO;
        s.S(10) = h / TS;
        s.S(12) = WO * h / 3.0;
        s.S(20) = 0.25 * WO * h;
        s.S(21) = MAG_3PH(VA, VB, VC) * kSqrt3;
    }
    const int32_t e = static_cast<int32_t>(std::lround(s.S(6)));
    if (e >= 1 && e <= 6 && f[static_cast<size_t>(e - 1)] - s.S(e - 1) >= 0.5) {
        const double dt = RUN_CLOCK.TIME - s.S(7);
        s.S(7) = RUN_CLOCK.TIME;
        s.S(6) += 1.0;
        if (s.S(6) > 6.5) s.S(6) = 1.1;
        if (plausible(dt, s.S(9))) {
            s.S(13 + e) = dt;
            s.S(9) = kTwoPi / sum6(s, 14, true);
        }
    }
    for (int k = 0; k < 6; ++k) s.S(k) = f[static_cast<size_t>(k)];

    if (s.S(8) <= RUN_CLOCK.TIME) {
        s.S(8) = RUN_CLOCK.TIME + 0.001;
        report_unbalance(VA, VB, VC, VR);
        const double d = 0.7407 * spread(VA, VB, VC);
        s.S(21) += (d - s.S(21)) * s.S(20);
        if (VR <= 1.25 * std::min(s.S(21), d)) {
            s.S(11) += s.S(10) * (s.S(9) - s.S(11));
            s.S(13) += (s.S(9) - s.S(13)) * s.S(12);
        } else {
            for (int k = 14; k <= 19; ++k) s.S(k) = kSixth / s.S(13);
        }
    }
    W = s.S(13);
    FHZ = s.S(13) * 0.159154943091895;
    DW = TS * (s.S(11) - WO);
    VOUT = s.S(21);
}

void PEAK_VOLT_3PH(int32_t N1, int32_t N2, int32_t N3, int32_t SS, double SEL, double VBASE, double W, double& OUT) {
    if (std::abs(VBASE) < 1e-20) {
        USERMSG(CURRENT_IDS.id1, CURRENT_IDS.id2, 2, 1, "Base voltage must not be zero");
        ABORT_RUN("PEAK_VOLT_3P", 0);
    }
    double v[3] = {NODEV(SS, N1), NODEV(SS, N2), NODEV(SS, N3)};
    if (SEL < 1.75) {
        for (double& x : v) x = STATE_VAR_FILTER(5, 1.0, 0.1, 628.318, x);
    } else {
        take_slots({.stor = 15});
    }
    const double k = 0.57735;
    const double m = std::max({k * std::abs(v[0] - v[1]), k * std::abs(v[1] - v[2]), k * std::abs(v[2] - v[0]),
                               std::abs(v[0]), std::abs(v[1]), std::abs(v[2])}) /
                     (k * VBASE);
    const double f1 = STATE_VAR_FILTER(5, 1.0, 0.1, W, m);
    const double f2 = STATE_VAR_FILTER(5, 1.0, 0.2, 2.0 * W, f1);
    const double f3 = STATE_VAR_FILTER(5, 1.0, 0.2, 6.0 * W, f2);
    OUT = STATE_VAR_FILTER(1, 0.7153, 0.707, 2.0 * W, f3);
}
