// The permanent-magnet synchronous machine: the form that reads its own
// data lines and joins the network at Norton buses, and the two forms on
// run-time constants that join it through injected-current branches.
#pragma once

#include <cstdint>

// Terminal nodes a, b, c (0: not connected); BR1..BR3 become snubbers.
void PM_MACHINE(int32_t SS, const int32_t* NODES, int32_t BR1, int32_t BR2, int32_t BR3, double SPEED, double& TE);

// Set-up of the speed-input form (Rint in ohm) and of the inertia form
// (Rint per unit, damping D, inertia constant H in seconds).
void PM_SPEED_CHK(double V, double S, double F, double Xd, double Xq, double XD, double XQ, double Xl, double Ra,
                  double RD, double RQ, double E, double Rint, double Rsnb, double Nsnb);
void PM_MACHINE_CHK(double V, double S, double F, double Xd, double Xq, double XD, double XQ, double Xl, double Ra,
                    double RD, double RQ, double E, double Rint, double Rsnb, double Nsnb, double D, double H);
// BR1..BR3 the phase branches, BR4..BR6 the snubbers.
void PM_SPEED_NET(int32_t SS, int32_t BR1, int32_t BR2, int32_t BR3, int32_t BR4, int32_t BR5, int32_t BR6,
                  double SPEED, double& TE);
// MODE 0: the speed follows the swing equation; otherwise it is SPEED.
void PM_MACHINE_NET(int32_t SS, int32_t BR1, int32_t BR2, int32_t BR3, int32_t BR4, int32_t BR5, int32_t BR6,
                    int32_t MODE, double SPEED, double TM);

// Takes off a branch's injected current what its parallel conductance
// carries at the present branch voltage.
void CCBR_CORRECT(int32_t SS, int32_t BR);
