// The static var compensator: a three-winding transformer whose delta and
// star secondaries each feed a thyristor-controlled reactor and a bank of
// switched capacitor stages, integrated inside the model and met by the
// network through three injection branches (or three Norton buses in the
// data-file form).
#pragma once

#include <cstdint>

// Set-up in the dynamic-begin pass: writes the compensator's record of 131
// reals and 4 integers at the run-time-constant pointers. NCAP and NC0 are
// written back when clamped.
void SVC(int32_t ss, int32_t ia, int32_t ib, int32_t ic, int32_t ra, int32_t rb, int32_t rc, double S, double V1,
         double V2, double mag_p, double mag_y, double mag_d, double f, double xPY, double xPD, double xYD, double QL,
         double QC, double Q0, double Rs, double Cs, double Ron, double Roff, double Rd, int32_t& NCAP,
         int32_t& NC0, double Kp, double Ki, int32_t N, int32_t M, double Xair, double knee, double G0, double tau,
         double k);

// Every step, where the set-up call stood in the pass order. Each sub-step
// rewrites command as -1, 0 or +1 (0 when refused); the one that accepts it
// consumes it, so every later sub-step of the call and of a switching under
// way leaves 0. switching and stages are outputs.
void SVC_RUN(int32_t ss, int32_t ia, int32_t ib, int32_t ic, double alpha, int32_t& command, int32_t enable,
             int32_t& switching, int32_t& stages, int32_t mode);

// The data-file form: reads its transformer, reactor and capacitor lines on
// the first step of a run from data and keeps everything in STOR.
void SVC_DATAFILE(int32_t ss, int32_t na, int32_t nb, int32_t nc, double alpha, int32_t& command, int32_t enable,
                  int32_t& switching, int32_t& stages, int32_t mode, double Kp, double Ki, int32_t N, int32_t M,
                  double S, double V1, double f, double Xair, double knee, double G0, double tau, double k);

// Per-unit susceptances of a compensator's leakage, reactor and one
// capacitor stage, written at the run-time-constant pointer. A set-up
// call: no library routine reads the three in the per-step pass, so the
// module that calls it in its dynamic-begin routine passes over them in
// its dynamic routine at the same place (three next_rtcf reads), or the
// pointer checks stop the run.
void SVCALLOC(int32_t N, double x, double S, double QL, double QC);
