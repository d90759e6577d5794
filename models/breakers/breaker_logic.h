// Signal-side commands for breakers and faults: switching at given times,
// and the breaker logic that turns a breaker command into delayed trip
// signals and, after a close command, release signals that stay 1 until
// the first current zero of each pole (or a release delay).
#pragma once

#include <cstdint>

// state 1 from t1 until t2 (t1 < t2), or outside [t2, t1) (t1 > t2); mode
// 1 repeats the pattern with the period max(t1, t2).
void TBREAK(double t1, double t2, int32_t mode, int32_t& state);
// TBREAK inverted.
void TFAULT(double t1, double t2, int32_t mode, int32_t& state);
// Any non-zero command closes; on its fall to 0 the trip output rises
// after delay 1, the released output after delay 2.
void BRK1_LOGIC(int32_t command, double d1, double d2, double current, int32_t& trip, int32_t& released);
// Time option non-zero: released for the release delay after closing.
void BRK1_LOGIC_T(int32_t command, int32_t option, double d1, double d2, double release, double current,
                  int32_t& trip, int32_t& released);
// Three poles: outputs 1 to 6 after delays 1 to 6 on the fall; after the
// rise outputs 4 to 6 are the poles' released signals.
void BRK3_LOGIC(int32_t command, double d1, double d2, double d3, double d4, double d5, double d6, double ia,
                double ib, double ic, int32_t& o1, int32_t& o2, int32_t& o3, int32_t& o4, int32_t& o5, int32_t& o6);
void BRK3_LOGIC_T(int32_t command, int32_t option, double d1, double d2, double d3, double d4, double d5, double d6,
                  double release, double ia, double ib, double ic, int32_t& o1, int32_t& o2, int32_t& o3,
                  int32_t& o4, int32_t& o5, int32_t& o6);
