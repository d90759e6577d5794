#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "controls/block_slots.h"
#include "controls/elementary/logic_blocks.h"
#include "controls/elementary/store_blocks.h"
#include "controls/measurement/power_meters.h"
#include "engine/model_helpers.h"
#include "engine/run_state.h"
#include "network/network_tables.h"

double MAG_3PH(double A, double B, double C) { return std::sqrt(0.333333333333333 * (A * A + B * B + C * C)); }

double PF_ANGLE_3PH(double VA, double VB, double VC, double IA, double IB, double IC, double& VM, double& IM) {
    VM = MAG_3PH(VA, VB, VC);
    IM = MAG_3PH(IA, IB, IC);
    if (VM <= 1e-4 || IM <= 1e-4) return 0.0;
    constexpr double k = 0.577350269189626;
    const double vqa = k * (VC - VB), vqb = k * (VA - VC), vqc = k * (VB - VA);
    const double iqa = k * (IC - IB), iqb = k * (IA - IC), iqc = k * (IB - IA);
    const double Y = (VA * iqa + VB * iqb + VC * iqc) - (IA * vqa + IB * vqb + IC * vqc);
    const double X = VA * IA + VB * IB + VC * IC + vqa * iqa + vqb * iqb + vqc * iqc;
    return std::atan2(Y, X);
}

double RMS_LAG(double X, double T) {
    double& last = take_slots({.stor = 3}).S(0);
    const double DELT = RUN_CLOCK.DELT;
    const double r = DELT / std::max(DELT, T), c = 1.0 + r;
    // The positive root of c*y^2 - last*y - r*X^2 = 0.
    const double y = (last + std::sqrt(last * last + 4.0 * c * r * X * X)) / (2.0 * c);
    last = y;
    return y;
}

void PQVI1PH(int32_t SS, int32_t NODE, int32_t BR, double T) {
    const int32_t br = std::abs(BR);
    if (first_step_data()) CHKBRANCH("PQVI1PH", br, SS);
    const double V = NODEV(SS, NODE);
    const double I = BR < 0 ? -NET.CBR(br, SS) : NET.CBR(br, SS);
    const double VR = RMS_LAG(V, T), IR = RMS_LAG(I, T);
    double phi;
    XOR_ZC(V, I, phi);
    const double angle = SMOOTH_LAG(3.141592653589793, T, phi);
    const double P = SMOOTH_LAG(1.0, T, V * I);
    const BlockSlots s = take_slots({.storf = 2});
    s.F(0) = P;
    s.F(1) = std::sin(angle) * VR * IR;
}

double BRANCH_CURRENT(int32_t SS, int32_t BR) { return NET.CBR(BR, SS); }
