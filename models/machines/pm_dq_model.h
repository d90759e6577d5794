// The dq0 model that every permanent-magnet machine form steps: state
// (id, iq, i0, iD, iQ), the matrices A and B, the trapezoidal step.
#pragma once

#include <cstdint>

#include "models/machines/machine_helpers.h"
#include "platform/fixed_text.h"

inline const Text12 PM_NAME = "PM_MACHINE";

struct PmAxisData {
    double Xd, Xq, Xmd, Xmq, XD, XQ, X0, Ra, RD, RQ;
};

// A without the speed factor (kind 1: the speed entries, kind 0 the rest)
// and B, both 5 x 5; detD and detQ already checked.
void PM_MATRICES(const PmAxisData& p, double invD, double invQ, WindingMatrix& Afix, WindingMatrix& Aspeed,
                 WindingMatrix& B);
// Whether entry (i, j) of A carries the speed.
inline bool pm_speed_entry(int32_t i, int32_t j) { return (i + j) % 3 == 0 && !(i == 3 && j == 3); }

// One step of the record at STORF(base): angle, three previous inputs,
// five currents. v are the per-unit phase voltages, replaced by their
// prediction over the step; Ap and Bp the scaled
// matrices of this step. Returns the transformation angle of the step;
// the new currents stand in the record.
double PM_DQ_STEP(int32_t base, double* v, double w, double s, double E, const WindingMatrix& Ap,
                  const WindingMatrix& Bp);
// Electrical torque from the currents at STORF(base + 4 ..).
double PM_TORQUE(int32_t base, double E, double Xd, double Xq, double Xmd, double Xmq);
