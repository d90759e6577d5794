// The induction machine on run-time constants: its stator and rotor
// phases are injected-current branches with companion conductances, its
// damping branches R-C branches of the network.
#include <array>

#include "controls/branch_voltage.h"
#include "engine/abort.h"
#include "engine/model_helpers.h"
#include "engine/pointer_block.h"
#include "engine/run_state.h"
#include "engine/storage.h"
#include "models/branch_changes.h"
#include "models/machines/induction_core.h"
#include "models/machines/induction_machine.h"
#include "models/machines/machine_list.h"
#include "network/network_tables.h"

namespace {

constexpr int32_t kConstants = 67, kRecord = 77;
// Constant offsets from NRTCF.
enum Constant { R1 = 0, X1 = 5, SBASE = 17, INV_VB, WB, J, D, GS, CURVE_M, CURVE_L = 43, RATIO = 63, GR, RDAMP, KDAMP };

double rtc(int32_t k) { return STORAGE.RTCF(POINTER_BLOCK.NRTCF + k); }

// A branch the machine drives: kind 9, then kind 12 with its nodes.
void branch_entries(int32_t ss, int32_t br, double r1, double r2) {
    BRCHANGE_RETYPED(INDUCMC_NAME, ss, br);
    const int32_t row =
        MACHINE_LIST_ENTRY(INDUCMC_NAME, BRCHANGE_MACHINE_BRANCH, ss, NET.IEF(br, ss), NET.IET(br, ss), r1);
    BranchChangeList& l = BRCHANGE_LIST;
    l.rcol(2, row) = r2;
    l.rcol(3, row) = -1.0;
}

void set_up(int32_t ss, const int32_t* stator, const int32_t* sdamp, const int32_t* rotor, const int32_t* rdamp,
            int32_t mode, double speed, const InductionMachineData& d) {
    if (mode == 1) STORAGE.STOR(POINTER_BLOCK.NEXC + 23) = speed;
    WindingMatrix m{}, gamma{};
    INDUCMC_LMAT(d.X.data(), d.WB, m, d.N);
    INDUCMC_INV(m, gamma, d.N);
    INDUCMC_MSAV(gamma, INDUCMC2_LAYOUT.gamma_off, 1, d.N);

    const double inv_vb = rtc(INV_VB), ib = rtc(SBASE) * inv_vb * 0.333333333333333;
    const double zb = 3.0 / (rtc(SBASE) * inv_vb * inv_vb), ratio = rtc(RATIO), dt = RUN_CLOCK.DELT;
    for (int32_t k = 0; k < 3; ++k) branch_entries(ss, stator[k], 3.0 * d.R[0] / (rtc(SBASE) * inv_vb * inv_vb),
                                                   dt / (2.0 * rtc(GS)));
    for (int32_t k = 0; k < 3; ++k)
        if (rotor[k] != 0) branch_entries(ss, rotor[k], d.R[1] * zb, d.X[2] / (inv_vb * ib * d.WB));
    NetworkTables& N = NET;
    for (int32_t k = 0; k < 3; ++k) {
        N.DEFRDBR(stator[k], ss) = LTRUE;
        N.GEQ(stator[k], ss) = rtc(GS);
    }
    const double rd = rtc(RDAMP) / (inv_vb * ib), cd = dt * rtc(KDAMP) * 1000000.0 / rd;
    for (int32_t k = 0; k < 3; ++k) BRCHANGE(ss, sdamp[k], rd, cd);
    for (int32_t k = 0; k < 3; ++k) {
        if (rotor[k] == 0) continue;
        N.DEFRDBR(rotor[k], ss) = LTRUE;
        N.GEQ(rotor[k], ss) = rtc(GR);
    }
    const double rdr = rtc(RDAMP) * zb / (ratio * ratio), cdr = dt * rtc(KDAMP) * 1000000.0 / rdr;
    for (int32_t k = 0; k < 3; ++k)
        if (rdamp[k] != 0) BRCHANGE(ss, rdamp[k], rotor[k] != 0 ? rdr : -1.0, cdr);
}

}  // namespace

void INDUCMC_VCHK(int32_t NROT, double SBASE_, double VLL, double WB_, double J_, double D_, double RATIO_,
                  double RDAMP_, double KDAMP_, const double* R, const double* X, const double* XL, const double* YL,
                  const double* XM, const double* YM) {
    INDUCTION_CHECK_RATINGS(NROT, SBASE_, VLL, WB_, X, false);
    const int32_t n = NROT + 2;
    STORAGE.RTCI(POINTER_BLOCK.NRTCI) = n;
    FArray1<double>& c = STORAGE.RTCF;
    const int32_t p = POINTER_BLOCK.NRTCF;
    for (int32_t i = 0; i < 5; ++i) c(p + R1 + i) = R[i];
    for (int32_t i = 0; i < 12; ++i) c(p + X1 + i) = X[i];
    c(p + SBASE) = SBASE_;
    c(p + INV_VB) = 1.732050807568877 / VLL;
    c(p + WB) = WB_;
    c(p + J) = J_;
    c(p + D) = D_;
    // Subtransient reactance: each rotor winding with its own and mutual
    // leakages in parallel with the magnetising reactance.
    const double zb = VLL * VLL / SBASE_;
    WindingMatrix m{};
    INDUCMC_LMAT(X, WB_, m, n);
    double inv = 1.0 / X[0];
    for (int32_t i = 2; i <= n; ++i) inv += 1.0 / (WB_ * wm(m, i, i) - X[0]);
    c(p + GS) = WB_ * RUN_CLOCK.DELT / ((X[1] + 1.0 / inv) * 2.0 * zb);
    for (int32_t k = 0; k < 10; ++k) {
        c(p + CURVE_M + 2 * k) = XM[k];
        c(p + CURVE_M + 2 * k + 1) = YM[k];
        c(p + CURVE_L + 2 * k) = XL[k];
        c(p + CURVE_L + 2 * k + 1) = YL[k];
    }
    c(p + RATIO) = RATIO_;
    const double zr = zb / (RATIO_ * RATIO_);
    c(p + GR) = WB_ * RUN_CLOCK.DELT / (2.0 * zr * X[2]);
    c(p + RDAMP) = RDAMP_;
    c(p + KDAMP) = KDAMP_;
    POINTER_BLOCK.NRTCI += 1;
    POINTER_BLOCK.NRTCF += kConstants;
}

void INDUCMC_SATCHK2(double XIN, double& FACTOR, int32_t OFF) {
    std::array<double, 20> xy;
    for (int32_t k = 0; k < 20; ++k) xy[k] = rtc(OFF + k);
    FACTOR = INDUCTION_SAT_FACTOR(xy, XIN, [] {
        USERMSG(CURRENT_IDS.id1, CURRENT_IDS.id2, 2, 1, "ERROR in saturation data");
        ABORT_RUN(INDUCMC_NAME, 0);
    });
}

void INDUCMC2(int32_t SS, int32_t SBA, int32_t SBB, int32_t SBC, int32_t SDA, int32_t SDB, int32_t SDC, int32_t RBA,
              int32_t RBB, int32_t RBC, int32_t RDA, int32_t RDB, int32_t RDC, double SPEED_IN, int32_t MODE,
              double TM) {
    const int32_t stator[3] = {SBA, SBB, SBC}, sdamp[3] = {SDA, SDB, SDC};
    const int32_t rotor[3] = {RBA, RBB, RBC}, rdamp[3] = {RDA, RDB, RDC};
    CHKSS(INDUCMC_NAME, SS);
    for (int32_t br : {SBA, SBB, SBC, SDA, SDB, SDC}) CHKBRANCH(INDUCMC_NAME, br, SS);
    for (int32_t br : {RBA, RBB, RBC, RDA, RDB, RDC})
        if (br != 0) CHKBRANCH(INDUCMC_NAME, br, SS);
    const int32_t n = STORAGE.RTCI(POINTER_BLOCK.NRTCI);
    INDUCTION_CHECK_WINDINGS(n - 2);

    FArray1<double>& constants = STORAGE.RTCF;
    const int32_t p = POINTER_BLOCK.NRTCF;
    const InductionMachineData d =
        INDUCTION_DATA(&constants(p + R1), &constants(p + X1), rtc(WB), rtc(J), rtc(D), n, false);
    if (is_true(RUN_FLAGS.FIRST_STEP_DATA)) set_up(SS, stator, sdamp, rotor, rdamp, MODE, SPEED_IN, d);

    const double inv_vb = rtc(INV_VB), ratio = rtc(RATIO), ib = rtc(SBASE) * inv_vb * 0.333333333333333;
    double vs[3], vr[3], v[3], u[3];
    for (int32_t k = 0; k < 3; ++k) {
        vs[k] = BRANCH_VOLTAGE(SS, stator[k]);
        vr[k] = rotor[k] > 0 ? BRANCH_VOLTAGE(SS, rotor[k]) : 0.0;
        v[k] = vs[k] * inv_vb;
        u[k] = vr[k] * inv_vb * ratio;
    }
    const InductionStepResult r = INDUCTION_STEP(INDUCMC2_LAYOUT, d, v, u, MODE, SPEED_IN, TM,
                                                 [](double im, double is, double& fm, double& fl) {
                                                     INDUCMC_SATCHK2(im, fm, CURVE_M);
                                                     INDUCMC_SATCHK2(is, fl, CURVE_L);
                                                 });
    NetworkTables& N = NET;
    const double ibr = r.ramp * ib, gs = rtc(GS), gr = rtc(GR);
    for (int32_t k = 0; k < 3; ++k) N.CCBR(stator[k], SS) = r.i_abc[k] * ibr - gs * vs[k];
    const double scale = ratio * ib;
    const double ir[3] = {r.id2 * scale, 0.5 * (-r.id2 - 1.732050807568877 * r.iq2) * scale,
                          0.5 * (-r.id2 + 1.732050807568877 * r.iq2) * scale};
    double c[3];
    for (int32_t k = 0; k < 3; ++k) c[k] = rotor[k] != 0 ? gr * vr[k] - ir[k] : 0.0;
    const double mean = 0.333333333333333 * (c[0] + c[1] + c[2]);
    for (int32_t k = 0; k < 3; ++k)
        if (rotor[k] != 0) N.CCBR(rotor[k], SS) = mean - c[k];
    POINTER_BLOCK.NRTCI += 1;
    POINTER_BLOCK.NEXC += kRecord;
    POINTER_BLOCK.NRTCF += kConstants;
}
