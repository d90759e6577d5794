// The averaged six-pulse bridge: a controlled voltage source per phase,
// a DC current source that balances the AC power, breakers that block it,
// six diodes that conduct by themselves, and its terminal measurements.
#include "case/module_frame.h"
#include "case/modules.h"
#include "controls/elementary/setup_run_blocks.h"
#include "controls/limit_value.h"
#include "controls/linear/limited_body.h"
#include "controls/measurement/three_phase_power_body.h"
#include "engine/model_helpers.h"
#include "engine/pointer_block.h"
#include "engine/run_state.h"
#include "link/panel.h"
#include "models/breakers/breaker.h"
#include "models/sources/current_sources.h"
#include "models/sources/voltage_sources.h"
#include "models/switch/branch_rlc.h"
#include "models/switch/pe_switch.h"
#include "network/network_tables.h"

namespace {

constexpr ModuleCounts kBridge{.nodes = 16, .subsystems = 1, .branches = {21, 0, 0}, .stoi = 2, .stof = 48,
                           .channels = 10};

constexpr int32_t kBreakerId = 39817226, kMeterId = 27419401;

}  // namespace

void ConvBridge_Avg_6_DSD(const double (&VREF)[6], CR Rs, CR VdcIn) {
    ModuleFrame f("ConvBridge_Avg_6_DSD", "ConvBridge_Avg_6.dta", Pass::DSD, kBridge);
    const int32_t ss = f.ss(), inst = f.instance();
    const double VdcHalf = f.stof(9), IdcBal = f.stof(15);

    double RT_11[3], RT_12[3], RT_13[3];
    for (int32_t k = 0; k < 3; ++k) RT_12[k] = VREF[k];
    const int32_t EnableN = nint(VREF[3]);
    const int32_t Blocked = EnableN == 0 ? 1 : 0;
    const int32_t BrkClose = 1 - Blocked;
    // An averaged bridge's AC voltage follows its DC link: the control sized
    // the references for the link it measured, not for the rated one. A
    // collapsed link gives no EMF; only the first step, with nothing measured
    // yet, takes the rated link.
    const double VdcPrev = f.stof(16);
    const double VdcScale = is_true(RUN_FLAGS.FIRST_STEP_DATA) ? VdcIn : (VdcPrev > 0.0 ? VdcPrev : 0.0);
    for (int32_t k = 0; k < 3; ++k) {
        RT_11[k] = RT_12[k] * VdcScale;
        RT_13[k] = RT_11[k] * 0.5;
    }

    PointerBlock& p = POINTER_BLOCK;
    const int32_t q = p.NSTORI;
    p.NSTORI += 3;
    const double chop = f.at("RTCF", STORAGE.RTCF, p.NRTCF);
    for (int32_t k = 1; k <= 3; ++k) BREAKER(ss, f.branch(13 + k), 0.005, 1.0e6, chop, 0, BrkClose);
    p.NRTCF += 1;
    static const char* const kNames[] = {"BOpen1", "BOpen2", "BOpen3"};
    for (int32_t k = 1; k <= 3; ++k) SHOW_ON_CHANGE(f, q + k - 1, kBreakerId, f.open(13 + k) ? 2 : 0, kNames[k - 1]);

    for (int32_t k = 1; k <= 3; ++k) {
        const double phase = f.next_rtcf(), ramp = f.next_rtcf();
        VSRC1P(ss, f.branch(20 - k), ramp, LFALSE, RT_13[k - 1], 0.0, phase);
    }

    const double IdcRaw = -(IdcBal * EnableN);
    const double IdcInj = LIMIT_VALUE(-1e10, 1e10, IdcRaw);
    p.NSTORL += 1;
    f.at("CCBR", NET.CCBR, f.branch(7), ss) = IdcInj;
    if (is_true(RUN_FLAGS.FIRST_STEP_DATA)) f.at("CCBRD", NET.CCBRD, f.branch(7), ss) = IdcInj;

    struct Diode {
        int32_t branch, id;
    };
    for (const Diode d : {Diode{9, 807604268}, Diode{11, 962836873}, Diode{12, 1530669429}, Diode{10, 468583223},
                          Diode{8, 220272797}, Diode{13, 2084199771}}) {
        SETIDS(inst, d.id);
        PESWITCH(ss, f.branch(d.branch), 1, 0.0);
    }

    f.put_stof(1, VREF);
    f.stof(7) = Rs;
    f.stof(8) = VdcIn;
    f.stof(11) = VREF[3];
    f.stof(12) = IdcRaw;
    f.stof(13) = IdcInj;
    f.stof(14) = IdcBal * EnableN;
    for (int32_t k = 0; k < 3; ++k) {
        f.stof(27 + k) = RT_13[2 - k];
        f.stof(30 + k) = RT_11[k];
        f.stof(33 + k) = RT_12[k];
        f.stof(36 + k) = RT_13[k];
        f.stof(45 + k) = VdcHalf * RT_13[2 - k];
    }
    f.stoi(1) = EnableN;
    f.stoi(2) = Blocked;
    f.leave();
}

void ConvBridge_Avg_6_DSO() {
    ModuleFrame f("ConvBridge_Avg_6_DSO", "ConvBridge_Avg_6.dta", Pass::DSO, kBridge);
    const int32_t ss = f.ss(), inst = f.instance();
    const std::array<double, 5> constants = f.next_rtcf_block<5>();
    const double gain = constants[0], tau = constants[2];

    double I_RS[3], V_RS[3];
    for (int32_t k = 1; k <= 3; ++k) {
        I_RS[k - 1] = f.cbr(3 + k);
        V_RS[k - 1] = NODEVDIFF(ss, f.node(10 + k), 0);
    }
    const double Pd = gain * p3ph3(ss, f.branch(4), f.branch(5), f.branch(6), tau, 0);
    if (is_true(RUN_FLAGS.OUTPUT_STEP)) PANEL_TEXT(inst, kMeterId, Pd, "Pd", 2);
    if (is_true(RUN_FLAGS.FIRST_STEP_RUN)) {
        PANEL_INT(inst, kMeterId, 1, "hide1", 5);
        PANEL_INT(inst, kMeterId, 1, "hide2", 5);
    }
    const double VdcMeas = NODEVDIFF(ss, f.node(4), f.node(3));
    int32_t flag = 0;
    double p = 0.0, q = 0.0;
    pq3ph_meter(ss, f.branch(14), f.branch(15), f.branch(16), 0, 0, 0, flag, 0.02, p, q);
    const double VdcFilt = lag_limited(0, 1, 0, 1.0, 0.002, VdcMeas, 0.0, -10.0, 10.0);
    const double VdcHalf = VdcFilt * 0.5;
    const double Pa = V_RS[0] * I_RS[0], Pb = V_RS[1] * I_RS[1], Pc = V_RS[2] * I_RS[2];
    const double Pac = (Pa + Pb) + Pc;
    const double IdcBal = GUARDED_DIV(Pac, VdcMeas);

    f.put_pgb<1, 10>(V_RS[0], V_RS[1], V_RS[2], V_RS[0], I_RS[0], I_RS[1], I_RS[2], V_RS[1], V_RS[2], Pac);
    f.stof(9) = VdcHalf;
    f.stof(10) = VdcFilt;
    f.stof(15) = IdcBal;
    f.stof(16) = VdcMeas;
    f.stof(17) = Pac;
    f.stof(18) = Pa;
    f.stof(19) = Pb;
    f.stof(20) = Pc;
    for (int32_t k = 0; k < 3; ++k) {
        f.stof(21 + k) = I_RS[k];
        f.stof(24 + k) = V_RS[k];
        f.stof(39 + k) = I_RS[2 - k];
        f.stof(42 + k) = V_RS[k];
    }
    f.stof(48) = Pd;
    f.leave();
}

void ConvBridge_Avg_6_DSD_BEGIN(CR Rs) {
    ModuleFrame f("ConvBridge_Avg_6_DSD_BEGIN", "", Pass::DSD_BEGIN, kBridge);
    const int32_t ss = f.ss();
    int32_t has_r = 0;
    ON_OFF_COMPARE(3, Rs, 0.0, has_r);
    for (int32_t j = 1; j <= 3; ++j) BRANCH_RLC(f.branch(j), ss, has_r, 0, 0, Rs, 0.0, 0.0);
    SETIDS(f.instance(), kBreakerId);
    f.put_rtcf(0.0);
    for (int32_t k = 0; k < 3; ++k) {
        f.put_rtcf(0.0);
        f.put_rtcf(0.05);
    }
    ISRC_BRANCH(f.branch(7), ss);
    for (int32_t k = 0; k < 6; ++k) PESWITCH_INIT(0, 0, 0.0005, 1.0e6, 1.0e5, 1.0e5, 0.0, 0.0);
}

void ConvBridge_Avg_6_DSO_BEGIN(CR) {
    ModuleFrame f("ConvBridge_Avg_6_DSO_BEGIN", "", Pass::DSO_BEGIN, kBridge);
    f.put_rtcf(1.0);
    f.put_rtcf(0.0);
    f.put_rtcf(0.02);
    f.put_rtcf(0.0);
    f.put_rtcf(0.0);
}
