#include <cmath>
#include <string>

#include "engine/abort.h"
#include "engine/model_helpers.h"
#include "engine/pointer_block.h"
#include "engine/run_state.h"
#include "engine/storage.h"
#include "models/branch_changes.h"
#include "models/svc/svc.h"
#include "models/svc/svc_checks.h"
#include "models/svc/svc_matrices.h"
#include "network/network_tables.h"

namespace {

const Text12 kName("SVC");

}  // namespace

void SVC(int32_t ss, int32_t ia, int32_t ib, int32_t ic, int32_t ra, int32_t rb, int32_t rc, double S, double V1,
         double V2, double mag_p, double mag_y, double mag_d, double f, double xPY, double xPD, double xYD, double QL,
         double QC, double Q0, double Rs, double Cs, double Ron, double Roff, double Rd, int32_t& NCAP,
         int32_t& NC0, double Kp, double Ki, int32_t N, int32_t M, double Xair, double knee, double G0, double tau,
         double k) {
    const int32_t iface[3] = {ia, ib, ic};
    for (int32_t b : iface) CHKBRANCH(kName, b, ss);
    for (int32_t b : {ra, rb, rc}) CHKBRANCH(kName, b, ss);

    // Ratings that would divide by zero or give no reactor are refused
    // before anything is written.
    SvcChecks checks;
    checks.refuse(!svc_positive({S, V1, V2, f, mag_p, mag_y, mag_d, QL, QC, Q0}) || !(1.0 / QL - xPY / S > 0.0),
                  SVC_BAD_RATINGS);
    checks.refuse(NCAP < 1 || NC0 < 0, SVC_BAD_STAGES);
    checks.refuse(!svc_positive({Ron, Cs, Rd}), SVC_BAD_VALVES);
    checks.refuse(!svc_positive({Xair, tau}), SVC_BAD_SATURATION);
    checks.stop_if_failed(kName);

    const double Sph = S * 0.333333333333333, V1ph = V1 * 0.577350269189626, V2ph = V2 * 0.577350269189626;
    const double w = SVC_TWO_PI * f;
    const double Zb1 = V1ph / (Sph / V1ph), Zb2 = V2ph / (Sph / V2ph);
    const double LP = V1ph / ((Sph / V1ph) * 0.01 * mag_p * w);
    const double LY = V2ph / (0.01 * mag_y * w * (Sph / V2ph));
    const double LD = V2 / (mag_d * 0.01 * w * (Sph / V2));
    const double MPY = std::sqrt(LP * LY) * (1.0 - xPY * Zb1 / (2.0 * w * LP));
    const double MPD = std::sqrt(LP * LD) * (1.0 - xPD * Zb1 / (2.0 * w * LP));
    const double MYD = std::sqrt(LY * LD) * (1.0 - xYD * Zb2 / (2.0 * w * LY));
    SvcCircuit c;
    c.Lt = (1.0 / QL - xPY / S) * (6.0 * V2 * V2 / w);
    // One stage's share of the bank, in microfarads until scaled below.
    const double per_stage = 1.0 / (NCAP * 6e-6 * V2 * V2 * w);
    double Cst = per_stage / (1.0 / QC + xPY / S);
    double C0 = per_stage / (xPY / S + 1.0 / Q0);
    if (C0 > 0.0 && C0 <= 0.05 * Cst) C0 = 0.05 * Cst;
    Cst *= 1e-6;
    C0 *= 1e-6;

    const double Zb1p = V1 * V1 / S;
    const double Ir = 1.732050807568877 * S / V1;
    const double Rx = 7.0 * Zb1p;
    const double dt = RUN_CLOCK.DELT;
    const double Cx = dt * 1e7 / Rx;
    for (int32_t b : {ra, rb, rc}) BRCHANGE(ss, b, Rx, Cx);

    const double gi = 5.0 * dt * w / Zb1p;
    NetworkTables& net = NET;
    for (int32_t b : iface) {
        net.DEFRDBR(b, ss) = LTRUE;
        net.GEQ(b, ss) = k * (G0 + gi);
    }

    double L[9][9];
    svc_windings(LP, LD, LY, MPD, MPY, MYD, L);
    if (!svc_matrices(L, c.Lt, c)) svc_leakage_unrealisable(kName);

    PointerBlock& ptr = POINTER_BLOCK;
    const int32_t p = ptr.NRTCF, q = ptr.NRTCI;
    FArray1<double>& R = STORAGE.RTCF;
    R(p) = c.Lt;
    R(p + 1) = Rs;
    R(p + 2) = Cs * 1e-6;
    if (Roff <= Ron) {
        USERMSG(CURRENT_IDS.id1, CURRENT_IDS.id2, 2, 1, "On resistance must be less than Off resistance");
        ABORT_RUN(kName, 0);
    }
    R(p + 3) = Ron;
    R(p + 4) = Roff;
    R(p + 5) = Cst;
    R(p + 6) = C0;
    R(p + 7) = Rd;
    for (int i = 0; i < 8; ++i)
        for (int j = 0; j < 8; ++j) R(p + 8 + 8 * i + j) = c.G[i][j];
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 2; ++j) R(p + 72 + 2 * i + j) = c.B[i][j];
    for (int i = 0; i < 8; ++i)
        for (int j = 0; j < 4; ++j) R(p + 78 + 4 * i + j) = c.F[i][j];
    for (int i = 0; i < 8; ++i) R(p + 112 + i) = c.r[i];

    if (NCAP > 10) {
        NCAP = 10;
        USERWARN(CURRENT_IDS.id1, CURRENT_IDS.id2, 1, "The maximum number of capacitor stages is reset to 10");
    }
    if (NC0 > NCAP) {
        NC0 = NCAP;
        USERWARN(CURRENT_IDS.id1, CURRENT_IDS.id2, 1,
                 "The initial number of capacitor stages entered reset to the maximum");
    }
    FArray1<int32_t>& I = STORAGE.RTCI;
    I(q) = NCAP;
    I(q + 1) = NC0;
    I(q + 2) = N;
    I(q + 3) = M;
    const double tail[11] = {Ir, k, G0, gi, Kp, Ki, knee, tau, Xair, V1, f};
    for (int i = 0; i < 11; ++i) R(p + 120 + i) = tail[i];

    BranchChangeList& list = BRCHANGE_LIST;
    const int32_t row = BRCHANGE_APPEND(kName);
    list.icol(1, row) = BRCHANGE_COMPENSATOR;
    for (int i = 0; i < 3; ++i) list.icol(2 + i, row) = net.IEF(iface[i], ss) + net.IET(iface[i], ss);
    list.icol(8, row) = ss;
    list.rcol(1, row) = 2.0 * LP * (1.0 - MPD / std::sqrt(LP * LD)) / k;
    if (G0 >= 1e-10) list.rcol(2, row) = 1.0 / (k * G0);
    for (int32_t b : iface) BRCHANGE_RETYPED(kName, ss, b);
    ptr.NRTCI += 4;
    ptr.NRTCF += 131;
}
