// The converter's control: a phase-locked loop, the measured quantities in
// the rotating frame and filtered, the DC voltage or power loop and the
// reactive power and AC voltage loops giving the current references, the
// current limit, the current loops with cross-coupling, and the phase
// references with their third-harmonic term.
#include <cmath>

#include "case/module_frame.h"
#include "case/modules.h"
#include "case/pi_antiwindup.h"
#include "controls/limit_value.h"
#include "controls/linear/limited_body.h"
#include "controls/second_order/second_order_body.h"
#include "controls/sync/park_body.h"
#include "controls/sync/sync_blocks.h"
#include "engine/abort.h"
#include "engine/model_helpers.h"

namespace {

constexpr ModuleCounts kCtrl{.stoi = 17, .stof = 165, .channels = 37, .controls = 1};

constexpr double kTwoPi = 6.283185307179586, kSqrt2 = 1.414213562373095, kSqrt3 = 1.732050807568877;
constexpr int32_t kPllId = 496925301, kQRefLimitId = 740066637;

double root_or_zero(double x) { return x > 0.0 ? std::sqrt(x) : 0.0; }

double angle_of(double x, double y) {
    return std::fabs(x) > 1e-20 || std::fabs(y) > 1e-20 ? std::atan2(y, x) : 0.0;
}

}  // namespace

void Ctrl_DSD(const double (&VABC)[3], CI CtrlOn, double (&GS_VREF)[3], CR Vdc, const double (&IABC)[3], CR Qd,
              CR VacMeas, CR Pd, CI DAxisSel, CI AuxSel, CI LimPriority, CR AuxDefault, CR VdcRef, CR PRef, CR QRef,
              CR Sbase, CR Fbase, CR Vbase, CR VdcBase, CR LConv, CI NotchOn, CR Imax, CR K3rd, CR KpPi2a,
              CR TiPi2a, CR KpPll, CR KiPll, CR KpPi14, CR TiPi14, CR AuxA, CR AuxB, CR KpPi13, CR TiPi13,
              CR QRefLim, CR KpPi12, CR TiPi12, CR KpPi11, CR TiPi11, CR KpPi2b, CR TiPi2b) {
    ModuleFrame f("Ctrl_DSD", "Ctrl.dta", Pass::DSD, kCtrl);
    const double IqLimPrev = f.stof(125), IqLoPrev = f.stof(126);

    double ia = IABC[0], ib = IABC[1], ic = IABC[2];
    const double F3 = Fbase * 3.0, F6 = Fbase * 6.0, F10 = Fbase * 10.0;
    const double Zeta4 = f.cx(1);
    double va = VABC[0], vb = VABC[1], vc = VABC[2];
    const double W0 = kTwoPi * Fbase, WL = LConv * W0;
    const double Zbase = GUARDED_DIV(Vbase * Vbase, Sbase);
    const double VdcPu = GUARDED_DIV(Vdc, VdcBase), QdPu = GUARDED_DIV(Qd, Sbase);
    const double VbasePk = 0.816497 * Vbase;
    const double VdcRefPu = GUARDED_DIV(VdcRef, VdcBase), PdPu = GUARDED_DIV(Pd, Sbase);
    const double QRefPu = GUARDED_DIV(QRef, Sbase), PRefPu = GUARDED_DIV(PRef, Sbase);
    const double Imax2 = Imax * Imax;
    const double PErr = PRefPu - PdPu;

    const int32_t reset = CtrlOn == 0 ? 1 : 0;
    const double QLo = -1.0 * QRefLim;
    const double PI12Err = CtrlOn == f.next_rtci() ? PErr : 0.0;
    const double VdcLag = lag_limited(0, 1, 1, 1.0, 0.02, Vdc, 0.0, 0.1, 1.0e8);
    const double HalfVdc = 0.5 * VdcLag;
    const double AuxSel1 = AuxSel == f.next_rtci() ? AuxA : AuxDefault;
    const double AuxSel2 = AuxSel == f.next_rtci() ? AuxB : AuxDefault;

    f.put_pgb<1, 11>(VdcRefPu, QRefPu, PRefPu, PdPu, VdcPu, QdPu, va, vb, vc, VacMeas, AuxDefault);

    SETIDS(f.instance(), kPllId);
    double Theta = 0.0, err_deg = 0.0, freq = 0.0;
    PLL_3PH_TRACK(va, vb, vc, KpPll, KiPll, 1.57079632679, 0.05, 1.6, 0.001, Theta, err_deg, freq);

    double Id = 0.0, Iq = 0.0, I0 = 0.0, Vd = 0.0, Vq = 0.0, V0 = 0.0;
    abc_dq0(ia, ib, ic, Id, Iq, I0, Theta, 1);
    const double Vbase3 = kSqrt3 * Vbase;
    const double XPu = GUARDED_DIV(WL, Zbase);
    abc_dq0(va, vb, vc, Vd, Vq, V0, Theta, 1);

    const double VqPu = GUARDED_DIV(Vq, VbasePk);
    const double Vq4 = second_order_var(4, 1.0, 0.9, kTwoPi * F10, VqPu);
    const double VqN = second_order_var(5, 1.0, 0.9, kTwoPi * F3, Vq4);
    const double VqFilt = NotchOn == f.next_rtci() ? Vq4 : VqN;

    const double VdcRefRamp = lag_limited(reset, 1, 0, 1.0, 0.2, VdcRefPu, VdcPu, -10.0, 10.0);

    double QRefC = QRef;
    Logical& warned = f.next_storl();
    if (QRefLim < QLo || std::isnan(QRefLim) || std::isnan(QLo)) {
        if (!is_true(warned)) {
            USERWARN(f.instance(), kQRefLimitId, 1, "Lower limit is more than the upper limit, limits not enforced.");
            warned = LTRUE;
        }
    } else {
        QRefC = LIMIT_VALUE(QLo, QRefLim, QRef);
    }

    const double Ibase = GUARDED_DIV(Sbase, Vbase3);
    const double IbasePk = Ibase * kSqrt2;
    const double IqPu = GUARDED_DIV(Iq, IbasePk);
    const double IqFilt = second_order_var(4, 1.0, 0.9, kTwoPi * F6, IqPu);

    const double VdPu = GUARDED_DIV(Vd, VbasePk);
    const double Vd4 = second_order_var(4, 1.0, Zeta4, kTwoPi * F10, VdPu);
    const double VdN = second_order_var(5, 1.0, 0.9, kTwoPi * F3, Vd4);
    const double VdFilt = NotchOn == f.next_rtci() ? Vd4 : VdN;

    const double PI11Err = VdcRefRamp - VdcPu;
    const double CrossQ = XPu * IqFilt;
    const double QErrRaw = QdPu - QRefC;
    const double PI13Err = QErrRaw * CtrlOn;
    double Out13 = 0.0;
    PI_AntiWindUp_13_DSD(PI13Err, Out13, 0, reset, KpPi13, TiPi13, 1.0, 1.1, 0.9);

    const double IdPu = GUARDED_DIV(Id, IbasePk);
    const double IdFilt = second_order_var(4, 1.0, 0.9, kTwoPi * F6, IdPu);
    const double CrossD = XPu * IdFilt;

    const double PI14In = VacMeas - Out13;
    const double PI14Err = PI14In * CtrlOn;
    double IqRef = 0.0;
    PI_AntiWindUp_14_DSD(PI14Err, IqRef, 0, reset, KpPi14, TiPi14, 1.0, IqLimPrev, IqLoPrev);

    const double IqRef2 = IqRef * IqRef, Rem = Imax2 - IqRef2;
    const double RootQ = root_or_zero(Rem);
    const double IdLim = LimPriority == f.next_rtci() ? RootQ : Imax;
    const double IdLo = -(1.0 * IdLim);
    double Out12 = 0.0, Out11 = 0.0;
    PI_AntiWindUp_12_DSD(PI12Err, Out12, 0, reset, KpPi12, TiPi12, 1.0, IdLim, IdLo);
    PI_AntiWindUp_11_DSD(PI11Err, Out11, 0, reset, KpPi11, TiPi11, 1.0, IdLim, IdLo);
    const double IdRef = DAxisSel == f.next_rtci() ? Out11 : Out12;

    const double IdRef2 = IdRef * IdRef, Rem2 = Imax2 - IdRef2;
    const double RootD = root_or_zero(Rem2);
    const double IqLim = LimPriority == f.next_rtci() ? RootD : Imax;

    const double IqErr = IqRef - IqFilt, IdErr = IdRef - IdFilt;
    double PiD = 0.0, PiQ = 0.0;
    PI_AntiWindUp_2_DSD(IdErr, PiD, 0, reset, KpPi2a, TiPi2a, 1.0, 1.0, -1.0);
    PI_AntiWindUp_2_DSD(IqErr, PiQ, 0, reset, KpPi2b, TiPi2b, 1.0, 1.0, -1.0);

    const double VdRef = (-CrossQ - PiD) + VdFilt;
    const double VqRef = (CrossD - PiQ) + VqFilt;
    const double VrefMag = std::sqrt(VqRef * VqRef + VdRef * VdRef);
    const double Delta = angle_of(VdRef, VqRef);

    const double VrefPk = VrefMag * VbasePk;
    const double ModIndex = GUARDED_DIV(VrefPk, HalfVdc);
    const double ModIndexLim = LIMIT_VALUE(0.0, 1.15, ModIndex);
    f.next_storl();

    const double Diff = Theta - Delta;
    double Angle3 = std::atan2(std::sin(3.0 * Diff), std::cos(3.0 * Diff));
    if (Angle3 <= 0.0) Angle3 += kTwoPi;

    double Md = std::cos(Delta) * ModIndexLim, Mq = std::sin(Delta) * ModIndexLim, Mz = 0.0;
    double Ma = 0.0, Mb = 0.0, Mc = 0.0;
    abc_dq0(Ma, Mb, Mc, Md, Mq, Mz, Theta, -1);

    const double Hd = K3rd * VdRef, Hq = VqRef * K3rd;
    const double HMag = std::sqrt(Hd * Hd + Hq * Hq);
    const double HAng = angle_of(Hd, Hq);
    const double Inj3 = HMag * std::cos(Angle3);
    const double out[3] = {Ma - Inj3, Mb - Inj3, Mc - Inj3};
    const double before[3] = {Ma, Mb, Mc};

    f.put_pgb<12, 37>(Angle3, Inj3, out[0], out[1], out[2], Ma, Mb, Mc, VqRef, Out13, IqRef, ModIndex, VdRef, IdRef,
                      Out12, VdcPu, VdcRefRamp, Out11, VqFilt, VqN, Vq4, VdFilt, VdN, Vd4, IqFilt, IdFilt);

    // The input arrays are read before the first store, which may reach them.
    const double v3[3] = {VABC[0], VABC[1], VABC[2]}, i3[3] = {IABC[0], IABC[1], IABC[2]};
    const double cos3 = std::cos(Angle3);
    f.put_stof<1, 3>(v3[0], v3[1], v3[2]);
    f.stof(7) = Vdc;
    f.put_stof<8, 41>(i3[0], i3[1], i3[2], Qd, VacMeas, Pd, AuxDefault, VdcRef, PRef, QRef, Sbase, Fbase, Vbase,
                      VdcBase, LConv, Imax, K3rd, KpPi2a, TiPi2a, KpPll, KiPll, KpPi14, TiPi14, AuxA, AuxB, KpPi13,
                      TiPi13, QRefLim, KpPi12, TiPi12, KpPi11, TiPi11, KpPi2b, TiPi2b);
    f.put_stof<42, 53>(IdErr, PiD, IqErr, PiQ, PI14Err, IqRef, PI13Err, Out13, PI12Err, Out12, PI11Err, Out11);
    f.put_stof<54, 56>(v3[0], v3[1], v3[2]);
    f.put_stof<57, 94>(Vd, Vq, V0, QRefPu, i3[0], i3[1], i3[2], Id, Iq, I0, WL, W0, kTwoPi, XPu * IqFilt,
                       XPu * IdFilt, IdFilt, IqFilt, Zbase, Vbase * Vbase, Ibase, kSqrt2, kSqrt3, Vbase3, VbasePk,
                       VqPu, IqPu, IdPu, IbasePk, VdPu, XPu, VdcLag, Md, Mq, 0.0, VrefMag, ModIndexLim, VrefPk,
                       VbasePk);
    f.put_stof<95, 103>(out[0], out[1], out[2], out[0], out[1], out[2], before[0], before[1], before[2]);
    f.put_stof<104, 150>(2.0 * Fbase, Vq4, VqN, VqFilt, Vd4, VdN, VdFilt, F3, F6, F10, HalfVdc, ModIndex, AuxSel1,
                         AuxSel2, RootQ, IdLim, IdLo, Rem, Imax2, IqRef2, RootD, IqLim, -IqLim, Rem2, Imax2, IdRef2,
                         Zeta4, PRefPu, PdPu, PErr, 0.0, IdRef, VdcRefRamp, -IbasePk, VdcPu, VdcRefRamp, VdcPu,
                         VdcRefPu, Delta, Theta, Diff, Angle3, Hq, VqRef, Hd, VdRef, 3.0 * Diff);
    f.put_stof<151, 165>(out[0], out[1], out[2], Inj3, HAng, HMag, cos3, before[0], before[1], before[2], PI14In,
                         QErrRaw, QLo, QRefC, QdPu);

    f.put_stoi<1, 17>(CtrlOn, DAxisSel, AuxSel, LimPriority, NotchOn, 0, reset, 0, reset, 0, reset, 0, reset, 0, reset,
                      reset, reset);
    for (int32_t k = 0; k < 3; ++k) GS_VREF[k] = out[k];
    f.leave();
}

void Ctrl_DSO() {
    ModuleFrame f("Ctrl_DSO", "Ctrl.dta", Pass::DSO, kCtrl);
    PI_AntiWindUp_13_DSO();
    PI_AntiWindUp_14_DSO();
    PI_AntiWindUp_12_DSO();
    PI_AntiWindUp_11_DSO();
    PI_AntiWindUp_2_DSO();
    PI_AntiWindUp_2_DSO();
    f.stoi(6) = 0;
    f.stoi(8) = 0;
    f.stoi(10) = 0;
    f.stoi(12) = 0;
    f.stoi(14) = 0;
    f.stof(69) = kTwoPi;
    f.stof(77) = kSqrt2;
    f.stof(78) = kSqrt3;
    f.stof(90) = 0.0;
    f.stof(134) = 0.0;
    f.leave();
}

void Ctrl_DSD_BEGIN(CR, CR Fbase, CR Vbase, CR) {
    ModuleFrame f("Ctrl_DSD_BEGIN", "", Pass::DSD_BEGIN, kCtrl);
    for (const int32_t v : {1, 0, 0}) f.put_rtci(v);
    PLL_3PH_TRACK_SETUP(Vbase, Fbase);
    for (const int32_t v : {0, 0}) f.put_rtci(v);
    PI_AntiWindUp_13_DSD_BEGIN();
    PI_AntiWindUp_14_DSD_BEGIN();
    f.put_rtci(0);
    PI_AntiWindUp_12_DSD_BEGIN();
    PI_AntiWindUp_11_DSD_BEGIN();
    for (const int32_t v : {0, 1}) f.put_rtci(v);
    PI_AntiWindUp_2_DSD_BEGIN();
    PI_AntiWindUp_2_DSD_BEGIN();
}

void Ctrl_DSO_BEGIN(CR, CR, CR, CR) {
    ModuleFrame f("Ctrl_DSO_BEGIN", "", Pass::DSO_BEGIN, kCtrl);
    PI_AntiWindUp_13_DSO_BEGIN();
    PI_AntiWindUp_14_DSO_BEGIN();
    PI_AntiWindUp_12_DSO_BEGIN();
    PI_AntiWindUp_11_DSO_BEGIN();
    PI_AntiWindUp_2_DSO_BEGIN();
    PI_AntiWindUp_2_DSO_BEGIN();
}
