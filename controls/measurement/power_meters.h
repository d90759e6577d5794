// Measurements of the network's present solution for the controls:
// three-phase P and Q through groups of branches, a rectifier estimate of
// the line voltage, instantaneous magnitudes, the power-factor angle,
// single-phase P and Q, an RMS lag and a branch's current. Smoothed results
// run through SMOOTH_LAG on STOR.
#pragma once

#include <cstdint>

// P and Q through BR1..BR3 and, unless one of BR4..BR6 is 0, BR4..BR6
// added; 12 STOR, 1 STORI. ONE is set to 1.
void PQ3PH_METER(int32_t SS, int32_t BR1, int32_t BR2, int32_t BR3, int32_t BR4, int32_t BR5, int32_t BR6,
                 int32_t& ONE, double T, double& P, double& Q);
// Power through three branches measured at their from-nodes, or at their
// to-nodes when exactly one of BR1 < 0 and FLAG != 0 holds; BR1 < 0 also
// negates. 3 STOR: the lag's two, then the raw power.
double P3PH3(int32_t SS, int32_t BR1, int32_t BR2, int32_t BR3, double T, int32_t FLAG);
double Q3PH3(int32_t SS, int32_t BR1, int32_t BR2, int32_t BR3, double T, int32_t FLAG);
// P3PH3 then Q3PH3 on the same branches, their slots in that order; the
// six phase values are read once.
void PQ3PH3(int32_t SS, int32_t BR1, int32_t BR2, int32_t BR3, double T, int32_t FLAG, double& P, double& Q);
// Older forms with the currents found from node pairs (M1..M3 all 0: the
// branches to ground); 2 STOR.
double P3PH2(int32_t SS, int32_t N1, int32_t N2, int32_t N3, int32_t M1, int32_t M2, int32_t M3, double T);
double Q3PH2(int32_t SS, int32_t N1, int32_t N2, int32_t N3, int32_t M1, int32_t M2, int32_t M3, double T);
// 0.7407 times the smoothed spread of three node voltages; 2 STOR.
double RMS_3PH_RECT(int32_t SS, int32_t N1, int32_t N2, int32_t N3, double T);
// sqrt((A^2 + B^2 + C^2)/3).
double MAG_3PH(double A, double B, double C);
// Angle of the voltage set ahead of the current set; 0 when either
// magnitude is at most 1e-4. VM and IM always written.
double PF_ANGLE_3PH(double VA, double VB, double VC, double IA, double IB, double IC, double& VM, double& IM);
// P and Q at a node and branch, left in STORF at the block's two slots;
// 13 STOR, 2 STORF.
void PQVI1PH(int32_t SS, int32_t NODE, int32_t BR, double T);
// Implicit RMS lag; 3 STOR.
double RMS_LAG(double X, double T);
double BRANCH_CURRENT(int32_t SS, int32_t BR);
