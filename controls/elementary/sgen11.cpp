// Sine, three-level square or harmonic-sum source. Slots: +1 .. +3 phase
// increments, +4 .. +6 phases (types 1 and 2 use +1 and +2), +7 the end
// time, +8/+9 and +10/+11 the increments and phases of the harmonics below
// the lowest one.
#include <algorithm>
#include <cmath>

#include "controls/block_slots.h"
#include "controls/elementary/store_blocks.h"
#include "engine/messages.h"
#include "engine/model_helpers.h"
#include "engine/run_state.h"
#include "engine/storage.h"
#include "platform/logical.h"

namespace {

constexpr double kTwoPi = 2.0 * M_PI;
// Peak of a sum of equal harmonics relative to one of them, per harmonic.
constexpr double kSumPeak = 0.7285;

double advance(double& phase, double increment) {
    phase += increment;
    if (phase > kTwoPi) phase -= kTwoPi;
    return phase;
}

void describe_and_start(const BlockSlots& s, int32_t M, double amplitude, double f, int32_t N,
                        double Np, int32_t rise, int32_t hold, double start) {
    const Text72 none = BLANK72();
    s.S(6) = start + (rise + hold) / (f * Np);
    const double p = 0.5 * kTwoPi * f * RUN_CLOCK.DELT;
    if (M <= 2) {
        OUTMSG(M == 1 ? 242 : 243, 0, 0, 0, f, amplitude, none);
        s.S(0) = 2.0 * p;
        s.S(1) = -s.S(0);
    } else {
        OUTMSG(244, M, 0, 0, f, 0.0, none);
        if (N <= M) {
            OUTMSG(245, 0, 0, 0, f * Np, 0.0, none);
            const double each = N <= 1 ? amplitude / (kSumPeak * M) : amplitude / (kSumPeak * (1 + M - Np));
            OUTMSG(246, 0, 0, 0, each, 0.0, none);
        }
        s.S(0) = (1 + M) * p;
        s.S(1) = M * p;
        s.S(2) = p;
        for (int32_t k = 3; k <= 5; ++k) s.S(k) = -s.S(k - 3);
        if (N > 1) {
            // The harmonics 1 .. N-1 that are taken off the sum, so that
            // the N-th is the lowest one left.
            s.S(7) = (Np - 1.0) * p;
            s.S(8) = Np * p;
            s.S(9) = -s.S(7);
            s.S(10) = -s.S(8);
        }
    }
    OUTMSG(247, hold, 0, 0, 1.0 / (f * Np), start + rise / (f * Np), none);
}

}  // namespace

double SGEN11(int32_t type, double amplitude, double frequency, int32_t N, int32_t rise_cycles,
              int32_t hold_cycles, double start) {
    const BlockSlots s = take_slots({.stor = 11});
    const int32_t M = type;
    const double Np = N < 1 ? 1.0 : N;
    if (first_step_data()) {
        if (frequency > 0.0 && start >= 0.0 && M >= 1)
            describe_and_start(s, M, amplitude, frequency, N, Np, rise_cycles, hold_cycles, start);
        if (frequency <= 0.0 || start < 0.0 || M <= 0 || M < N) {
            OUTMSG(248, 0, 0, 0, 0.0, 0.0, BLANK72());
            s.S(6) = 0.0;
        }
    }
    const double t = RUN_CLOCK.TIME;
    if (t < start || t > s.S(6)) return 0.0;
    const double e =
        rise_cycles < 1 ? 1.0 : std::min(1.0, (t - start) / (rise_cycles / (frequency * Np)));
    if (M == 1 || M == 2) {
        const double v = std::sin(advance(s.S(1), s.S(0)));
        if (M == 1) return amplitude * e * v;
        const double q = (v >= 0.0 && v > 0.7071) ? 1.0 : (v < 0.0 && -v > 0.7071) ? -1.0 : 0.0;
        return amplitude * e * q;
    }
    if (M < 3) return 0.0;
    const double top = std::sin(advance(s.S(3), s.S(0))) * std::sin(advance(s.S(4), s.S(1)));
    advance(s.S(5), s.S(2));
    double below = 0.0;
    if (N > 1) below = std::sin(advance(s.S(9), s.S(7))) * std::sin(advance(s.S(10), s.S(8)));
    const double d = std::sin(s.S(5) + 1.0e-6);
    if (std::fabs(d) < 1.0e-20) return 0.0;
    if (N < 2) return amplitude * e * top / (d * kSumPeak * M);
    return amplitude * e * (top - below) / (d * kSumPeak * (1 + M - Np));
}
