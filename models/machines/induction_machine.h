// The induction machine with up to five windings per axis: the form that
// reads its own data and joins the network at Norton buses, and the form
// on run-time constants that drives network branches.
#pragma once

#include <cstdint>

// Stator nodes a, b, c, neutral NN, rotor nodes (0: not connected);
// N = NROT + 2 windings per axis. MODE 0: the speed follows the torque
// balance; otherwise it is SPEED_IN.
void INDUCMC(int32_t SS, int32_t NA, int32_t NB, int32_t NC, int32_t NN, int32_t NRA, int32_t NRB, int32_t NRC,
             double SPEED_IN, int32_t MODE, double TM, int32_t NROT);
// Secant-to-initial slope ratio of the magnetising (SEL 1) or leakage
// curve of the record at NEXC at current XIN.
void INDUCMC_SATCHK(double XIN, double& FACTOR, int32_t SEL);

// Set-up: curves as x and y vectors of ten, leakage first.
void INDUCMC_VCHK(int32_t NROT, double SBASE, double VLL, double WB, double J, double D, double RATIO, double RDAMP,
                  double KDAMP, const double* R, const double* X, const double* XL, const double* YL,
                  const double* XM, const double* YM);
// Stator branches and their damping branches are required; rotor ones
// may be 0.
void INDUCMC2(int32_t SS, int32_t SBA, int32_t SBB, int32_t SBC, int32_t SDA, int32_t SDB, int32_t SDC, int32_t RBA,
              int32_t RBB, int32_t RBC, int32_t RDA, int32_t RDB, int32_t RDC, double SPEED_IN, int32_t MODE,
              double TM);
// The same ratio from the ten pairs at RTCF(NRTCF + OFF).
void INDUCMC_SATCHK2(double XIN, double& FACTOR, int32_t OFF);
