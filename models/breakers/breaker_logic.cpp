#include "models/breakers/breaker_logic.h"

#include <climits>

#include "engine/abort.h"
#include "engine/pointer_block.h"
#include "engine/run_state.h"
#include "engine/storage.h"
#include "platform/text_units.h"

namespace {

[[noreturn]] void stop(const char* line, const char* name) {
    write_list(UNIT_CONSOLE_OUT, {line});
    ABORT_RUN(name, 0);
}

void timed(double t1, double t2, int32_t mode, int32_t& state) {
    PointerBlock& P = POINTER_BLOCK;
    P.NEXC += 1;
    const double T = RUN_CLOCK.TIME;
    if (t1 == t2) {
        state = 0;
        stop("ERROR: Breaker on/off times are the same", "TBREAK");
    }
    if (mode != 1) {
        state = t1 < t2 ? (t1 <= T && T < t2) : (T < t2 || T >= t1);
        return;
    }
    double& base = STORAGE.STOR(P.NEXC);
    state = 0;
    if (t1 < t2) {
        if (T >= t1 + base) state = 1;
        if (T >= t2 + base) {
            state = 0;
            base += t2;
        }
    } else {
        if (T < t2 + base) state = 1;
        if (T >= t1 + base) {
            state = 1;
            base += t1;
        }
    }
}

// One body for the four forms: poles 1 or 3, delays and outputs two per
// pole (trips first, then the released outputs).
void logic(int poles, int32_t c, bool by_time, const double* delay, double release, const double* current,
           int32_t* const* out) {
    StorageArrays& S = STORAGE;
    PointerBlock& P = POINTER_BLOCK;
    const int32_t i = P.NSTORI, f = P.NSTORF;
    const bool first = is_true(RUN_FLAGS.FIRST_STEP_DATA);
    const double time = RUN_CLOCK.TIME;
    if (first) {
        S.STORI(i) = c;
        S.STORF(f) = -1e10;
    }
    const int32_t p = S.STORI(i);
    double& t0 = S.STORF(f);
    if (c != 0) {
        const auto raise = [&](int k) {
            int32_t& count = S.STORI(i + 1 + k);
            if (count < INT32_MAX) count += 1;
        };
        for (int k = 0; k < poles; ++k) *out[k] = 0;
        if (p == 0) {
            for (int k = 0; k < poles; ++k) S.STORI(i + 1 + k) = 0;
            if (by_time) t0 = time;
        }
        if (by_time) {
            if (t0 + release <= time)
                for (int k = 0; k < poles; ++k) raise(k);
        } else if (p != 0) {
            for (int k = 0; k < poles; ++k)
                if (current[k] * S.STORF(f + 1 + k) < 0.0) raise(k);
        }
        if (first)
            for (int k = 0; k < poles; ++k) S.STORI(i + 1 + k) = 1;
        for (int k = 0; k < poles; ++k) {
            S.STORF(f + 1 + k) = current[k];
            *out[poles + k] = S.STORI(i + 1 + k) == 0 ? 1 : 0;
        }
    } else {
        // Any non-zero command before is a close command that has fallen.
        if (p != 0) t0 = time;
        for (int k = 0; k < 2 * poles; ++k) *out[k] = t0 + delay[k] <= time ? 1 : 0;
    }
    S.STORI(i) = c;
    P.NSTORI = i + 1 + poles;
    P.NSTORF = f + 1 + poles;
}

}  // namespace

void TBREAK(double t1, double t2, int32_t mode, int32_t& state) { timed(t1, t2, mode, state); }

void TFAULT(double t1, double t2, int32_t mode, int32_t& state) {
    if (t1 != t2) {
        timed(t1, t2, mode, state);
        state = 1 - state;
        return;
    }
    state = 0;
    if (!is_true(RUN_FLAGS.FIRST_STEP_DATA)) stop("ERROR: Fault duration is zero", "TFAULT");
}

void BRK1_LOGIC(int32_t command, double d1, double d2, double current, int32_t& trip, int32_t& released) {
    BRK1_LOGIC_T(command, 0, d1, d2, 0.0, current, trip, released);
}

void BRK1_LOGIC_T(int32_t command, int32_t option, double d1, double d2, double release, double current,
                  int32_t& trip, int32_t& released) {
    const double delay[] = {d1, d2};
    int32_t* const out[] = {&trip, &released};
    logic(1, command, option != 0, delay, release, &current, out);
}

void BRK3_LOGIC(int32_t command, double d1, double d2, double d3, double d4, double d5, double d6, double ia,
                double ib, double ic, int32_t& o1, int32_t& o2, int32_t& o3, int32_t& o4, int32_t& o5, int32_t& o6) {
    BRK3_LOGIC_T(command, 0, d1, d2, d3, d4, d5, d6, 0.0, ia, ib, ic, o1, o2, o3, o4, o5, o6);
}

void BRK3_LOGIC_T(int32_t command, int32_t option, double d1, double d2, double d3, double d4, double d5, double d6,
                  double release, double ia, double ib, double ic, int32_t& o1, int32_t& o2, int32_t& o3,
                  int32_t& o4, int32_t& o5, int32_t& o6) {
    const double delay[] = {d1, d2, d3, d4, d5, d6}, current[] = {ia, ib, ic};
    int32_t* const out[] = {&o1, &o2, &o3, &o4, &o5, &o6};
    logic(3, command, option != 0, delay, release, current, out);
}
