// The battery's bidirectional DC-DC converter: a triangular carrier
// against two current regulators, one for the boost side that discharges
// the battery and one for the buck side that charges it, with an interlock
// on the direction, the enable and the state of charge.
#include "case/module_frame.h"
#include "case/modules.h"
#include "case/pi_antiwindup.h"
#include "controls/elementary/setup_run_blocks.h"
#include "controls/linear/limited_body.h"
#include "controls/switching/pwm_body.h"
#include "controls/switching/switching_blocks.h"
#include "engine/model_helpers.h"
#include "models/switch/pe_switch.h"

namespace {

constexpr ModuleCounts kDcDc{.nodes = 8, .subsystems = 1, .branches = {9, 0, 0}, .stoi = 10, .stof = 34, .channels = 19,
                         .controls = 8};

constexpr double kCarrierFreq = 3600.0;

// Discharging only above 100 %, charging only below 5 %.
int32_t soc_ok(double BattSoc, double DirSel) {
    if (BattSoc < 5.0) return DirSel != 0.0 ? 1 : 0;
    if (BattSoc > 100.0) return DirSel == 0.0 ? 1 : 0;
    return 1;
}

}  // namespace

void DC_DC_Bi_DSD(CR BattSoc, CI DcEnable, CR VdcNom, CR PowerOrder) {
    ModuleFrame f("DC_DC_Bi_DSD", "DC_DC_Bi.dta", Pass::DSD, kDcDc);
    const int32_t ss = f.ss(), inst = f.instance();
    const double P5Filt = f.stof(31);
    INTERP_PAIR GBOOST{f.stof(26), f.stof(27)}, GBUCK{f.stof(28), f.stof(29)};

    const double ConvOn = f.cx(1), DirSel = f.cx(2);
    const int32_t DirMode = nint(DirSel);
    const int32_t BoostSel = DirMode == 0 ? 1 : 0;
    const double BoostDutyMax = f.cx(3);
    f.pgb(1) = BoostDutyMax;
    const double BoostKp = f.cx(4), BoostTi = f.cx(5);
    const double IOrder = GUARDED_DIV(PowerOrder, VdcNom);
    const int32_t PiHold = 0;
    double Carrier = 0.0;
    TRIANGLE_WAVE(kCarrierFreq, Carrier);
    f.pgb(2) = 1000.0 * PowerOrder;
    const double BuckDutyMax = f.cx(6);
    f.pgb(3) = BuckDutyMax;
    f.pgb(4) = DirMode;
    const double BuckKp = f.cx(7), BuckTi = f.cx(8);
    const double IOrderNeg = -IOrder;
    f.pgb(11) = 1000.0 * IOrder;

    const double OnProduct = ConvOn * DcEnable;
    const int32_t ConvEnable = nint(OnProduct);
    const int32_t SocOk = soc_ok(BattSoc, DirSel);
    const int32_t BoostOn = ConvEnable != 0 && SocOk != 0 && BoostSel != 0 ? 1 : 0;
    const double IMeas = GUARDED_DIV(P5Filt, VdcNom);
    const int32_t BoostReset = BoostOn != 0 ? 0 : 1;
    const double ErrBoost = IOrder - IMeas;
    double DutyBoost = 0.0;
    PI_AntiWindUp_12_DSD(ErrBoost, DutyBoost, PiHold, BoostReset, BoostKp, BoostTi, 1.0, BoostDutyMax, 0.0);
    pwm_compare_ip(BoostOn, 1e6, -1e6, DutyBoost, Carrier, Carrier, DutyBoost, GBOOST);

    const double ErrBuckRaw = IOrderNeg - IMeas;
    const double ErrBuck = -1.0 * ErrBuckRaw;
    const int32_t BuckOn = ConvEnable != 0 && SocOk != 0 && DirMode != 0 ? 1 : 0;
    const int32_t BuckReset = 1 - BuckOn;
    double DutyBuck = 0.0;
    PI_AntiWindUp_15_DSD(ErrBuck, DutyBuck, PiHold, BuckReset, BuckKp, BuckTi, 1.0, BuckDutyMax, 0.0);
    pwm_compare_ip(BuckOn, 1e6, -1e6, DutyBuck, Carrier, Carrier, DutyBuck, GBUCK);

    f.put_pgb<12, 19>(GBUCK.value, GBUCK.time, DutyBuck, GBOOST.value, GBOOST.time, static_cast<double>(BoostOn),
                      static_cast<double>(BuckOn), DutyBoost);

    SETIDS(inst, 240750133);
    PESWITCH(ss, f.branch(3), nint(GBOOST.value), GBOOST.time);
    SETIDS(inst, 1169071734);
    PESWITCH(ss, f.branch(1), nint(GBUCK.value), GBUCK.time);
    SETIDS(inst, 1771126779);
    PESWITCH(ss, f.branch(4), 1, 0.0);
    SETIDS(inst, 317398612);
    PESWITCH(ss, f.branch(6), 1, 0.0);

    f.put_stof<1, 7>(BattSoc, VdcNom, PowerOrder, ErrBoost, DutyBoost, ErrBuck, DutyBuck);
    f.stof(9) = kCarrierFreq;
    f.stof(10) = Carrier;
    f.stof(11) = BoostKp;
    f.stof(12) = BoostTi;
    f.stof(13) = BoostDutyMax;
    f.stof(17) = BuckKp;
    f.stof(18) = BuckTi;
    f.stof(19) = BuckDutyMax;
    f.stof(20) = IOrderNeg;
    f.stof(21) = ErrBuckRaw;
    f.stof(22) = DirSel;
    f.stof(23) = ConvOn;
    f.stof(24) = OnProduct;
    f.stof(26) = GBOOST.value;
    f.stof(27) = GBOOST.time;
    f.stof(28) = GBUCK.value;
    f.stof(29) = GBUCK.time;
    f.stof(30) = IMeas;
    f.stof(34) = IOrder;
    f.put_stoi<1, 10>(DcEnable, BoostReset, PiHold, BuckReset, BoostSel, SocOk, ConvEnable, DirMode, BoostOn, BuckOn);
    f.leave();
}

void DC_DC_Bi_DSO() {
    ModuleFrame f("DC_DC_Bi_DSO", "DC_DC_Bi.dta", Pass::DSO, kDcDc);
    const int32_t ss = f.ss();
    const double IBr2 = f.cbr(2);
    const double V34 = NODEVDIFF(ss, f.node(3), f.node(4));
    const double IBr5 = f.cbr(5);
    const double V64 = NODEVDIFF(ss, f.node(6), f.node(4));
    const double P2 = V34 * IBr2;
    const double P2Filt = lag_limited(0, 1, 0, 1.0, 0.005, P2, 0.0, -10.0, 10.0);
    const double P5 = IBr5 * V64;
    const double P5Filt = lag_limited(0, 1, 0, 1.0, 0.01, P5, 0.0, -10.0, 10.0);
    f.put_pgb<5, 10>(1000.0 * P2Filt, 1000.0 * P5Filt, V34, V64, IBr2, IBr5);
    PI_AntiWindUp_12_DSO();
    PI_AntiWindUp_15_DSO();
    f.stoi(3) = 0;
    f.stof(8) = IBr5;
    f.stof(9) = kCarrierFreq;
    f.stof(14) = P2;
    f.stof(15) = V34;
    f.stof(16) = IBr2;
    f.stof(25) = P2Filt;
    f.stof(31) = P5Filt;
    f.stof(32) = P5;
    f.stof(33) = V64;
    f.leave();
}

void DC_DC_Bi_DSD_BEGIN() {
    ModuleFrame f("DC_DC_Bi_DSD_BEGIN", "", Pass::DSD_BEGIN, kDcDc);
    SETIDS(f.instance(), 1743548043);
    SAWTOOTH(1.01, 0.0);
    PI_AntiWindUp_12_DSD_BEGIN();
    PI_AntiWindUp_15_DSD_BEGIN();
    PESWITCH_INIT(3, 0, 0.0001, 1e6, 17.0, 17.0, 0.0019, 0.0);
    PESWITCH_INIT(3, 0, 0.0001, 1e6, 17.0, 17.0, 0.0019, 0.0);
    PESWITCH_INIT(0, 0, 0.0001, 1e6, 12.0, 12.0, 0.0012, 0.0);
    PESWITCH_INIT(0, 0, 0.0001, 1e6, 17.0, 17.0, 0.0019, 0.0);
}

void DC_DC_Bi_DSO_BEGIN() {
    ModuleFrame f("DC_DC_Bi_DSO_BEGIN", "", Pass::DSO_BEGIN, kDcDc);
    PI_AntiWindUp_12_DSO_BEGIN();
    PI_AntiWindUp_15_DSO_BEGIN();
}
