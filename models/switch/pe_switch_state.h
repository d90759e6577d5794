// The device logic of the power-electronic switch, inline: PESWITCH_STATE
// runs it for the record at the saved STORI position, and the switch's own
// step runs it where it has just written the record's gate.
#pragma once

#include <cmath>
#include <cstdint>

#include "engine/abort.h"
#include "engine/model_helpers.h"
#include "engine/pointer_block.h"
#include "engine/run_state.h"
#include "engine/storage.h"
#include "network/branch_words.h"
#include "network/dimensions.h"
#include "network/network_tables.h"
#include "network/switch_state.h"
#include "platform/logical.h"

namespace pe_switch {

// Words of the switch's STOR record (offsets from its NEXC position).
enum : int {
    kReports = 1, kHold = 6, kVf = 7, kTurnOn = 10, kTurnOff = 11, kGateSeen = 20, kForward = 21, kVprev = 22,
    kHoldOff = 23, kLatched = 24, kDelay = 25
};
// STORF offsets.
enum : int { kVbf = 3, kText = 4, kVbrNeg = 6 };

// The reports and the rare actions, out of line.
[[noreturn, gnu::cold]] void no_record(int32_t p);
[[noreturn, gnu::cold]] void record_outside(int32_t p, int32_t s, int32_t b);
[[gnu::cold, gnu::noinline]] void reverse_breakdown(int32_t s, int32_t b, double* E, double time, double delt);
[[gnu::cold, gnu::noinline]] void safety_off(int32_t s, int32_t b, double* E, int32_t device, bool interp,
                                             double time, double delt);
[[gnu::cold, gnu::noinline]] void forward_breakdown(int32_t s, int32_t b, double* E, const Logical* L);
// The decision for a branch outside the branch tables, through their checks.
[[gnu::noinline]] void decide_checked(const int32_t* h, double* E, const double* F, Logical* L, double instant,
                                      Logical event_flag);

// The record's positions come from a set-up step or a snapshot.
inline void check_record(int32_t p, int32_t l, int32_t q, int32_t e, int32_t s, int32_t b) {
    const StorageArrays& S = STORAGE;
    const bool ok = l >= 1 && int64_t{l} + 1 <= S.STORL.size() && q >= 1 && int64_t{q} + 6 <= S.STORF.size() &&
                    e >= 0 && int64_t{e} + 25 <= S.STOR.size() && s >= 1 && s <= DIMBLOCK.NSUBSYS && b >= 1 &&
                    b <= NET.NBRANCHES(s);
    if (!ok) [[unlikely]]
        record_outside(p, s, b);
}

// The decision for the switch of record h (h[k] = STORI(p + k)) with its
// STOR, STORF and STORL words, over the branch's words T.
template <class Words>
[[gnu::always_inline]] inline void decide(const Words& T, const int32_t* h, double* E, const double* F, Logical* L,
                                          double V, double instant, Logical event_flag) {
    const int32_t s = h[4], b = h[5], g = h[6];
    NetworkTables& N = NET;
    const double time = RUN_CLOCK.TIME, delt = RUN_CLOCK.DELT;
    const double I = T.cbr();
    const double f = T.tswitch();
    T.tswitch() = 1.5;
    const double vf = E[kVf], hold = E[kHold];

    if (V > vf && E[kVprev] <= vf) {
        const double dv = V - E[kVprev];
        const double x = std::fabs(dv) > 1e-20 ? (vf - E[kVprev]) / dv : 0.0;
        E[kForward] = time - delt * (2.0 - x);
        if (E[kTurnOff] <= E[kForward]) E[kHoldOff] = E[kForward] - E[kTurnOff];
    }
    const double since_off = 1e6 * (time - E[kTurnOff]);
    const bool interp = is_true(N.SSINTERP(s));
    const bool at_instant = interp && is_true(event_flag);

    const auto request = [&](int32_t kind, double value) __attribute__((always_inline)) {
        T.code() = kind;
        T.swval() = value;
    };

    if (is_true(T.open())) {
        if (f <= 1.0) E[kTurnOff] = time - delt * (2.0 - f);
        T.code() = 6;
        if (g == 1) {
            if (V > vf) {
                if (at_instant) {
                    request(8, instant);
                } else {
                    BRANCH_ON(s, b, -13, hold);
                    E[kTurnOn] = time;
                }
            } else if (V < F[kVbrNeg]) {
                reverse_breakdown(s, b, E, time, delt);
            } else if (interp) {
                request(3, vf);
            }
        } else if (V > F[kVbf]) {
            forward_breakdown(s, b, E, L);
        } else if (V > vf) {
            if (since_off < F[kText] && is_true(L[0])) {
                BRANCH_ON(s, b, -13, hold);
                E[kTurnOn] = time - delt;
            }
        } else if (V < F[kVbrNeg]) {
            reverse_breakdown(s, b, E, time, delt);
        }
    } else {
        L[0] = LTRUE;
        if (f <= 1.0) {
            E[kTurnOn] = time - delt * (2.0 - f);
            if (h[0] == 10) E[kForward] = E[kTurnOn];
        }
        T.code() = 6;
        if (g == -1) {
            if (I >= hold) {
                if (at_instant) {
                    request(8, instant);
                } else {
                    BRANCH_OFF(s, b, 6, 0.0);
                    E[kTurnOff] = time;
                }
            } else {
                safety_off(s, b, E, h[0], interp, time, delt);
            }
        } else if (I < hold) {
            safety_off(s, b, E, h[0], interp, time, delt);
            if (g == 1) request(3, vf);
        } else if (interp) {
            request(-13, hold);
        }
    }

    E[kVprev] = V;
    if (E[kTurnOff] <= E[kForward]) E[kHoldOff] = E[kForward] - E[kTurnOff];
    if (E[kForward] <= E[kTurnOn]) E[kDelay] = E[kTurnOn] - E[kForward];
}

// The device logic of the switch whose record stands at STORI(p).
[[gnu::always_inline]] inline void state_at(int32_t p, double instant, Logical event_flag) {
    StorageArrays& S = STORAGE;
    PointerBlock& P = POINTER_BLOCK;
    if (p < 1 || int64_t{p} + 7 > S.STORI.size()) [[unlikely]]
        no_record(p);
    const int32_t* h = S.STORI.data() + (p - 1);  // h[k] = STORI(p + k)
    const int32_t l = h[1], q = h[2], s = h[4], b = h[5], g = h[6], e = h[7];
    check_record(p, l, q, e, s, b);
    P.NSTORI = p + 8;
    P.NEXC = e + 25;
    P.NSTORL = l + 2;
    P.NSTORF = q + 7;

    double* E = S.STOR.data() + (e - 1);  // E[k] = STOR(e + k)
    const double* F = S.STORF.data() + (q - 1);
    Logical* L = S.STORL.data() + (l - 1);
    if (E[kLatched] > 0.5) return;
    if (g != -1) E[kGateSeen] = 1.0;

    NetworkTables& N = NET;
    if (N.CBR.in_range(b, s)) [[likely]] {
        // The branch's nodes at its position in the branch tables.
        const int64_t at = N.CBR.offset(b, s);
        const int32_t from = N.IEF.data()[at], to = N.IET.data()[at];
        const double V = NODEV(s, from) - NODEV(s, to);
        decide(BranchWordsAt{at}, h, E, F, L, V, instant, event_flag);
    } else {
        decide_checked(h, E, F, L, instant, event_flag);
    }
}

}  // namespace pe_switch
