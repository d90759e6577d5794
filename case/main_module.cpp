// Module Main: the station's 33 kV source behind its transformer, breaker,
// fault and meters, the start-up logic of the converter, and the five
// sub-modules under it.
#include <cmath>
#include <cstring>

#include "case/module_frame.h"
#include "case/modules.h"
#include "controls/measurement/three_phase_power_body.h"
#include "controls/switching/comparator_body.h"
#include "controls/switching/timer_body.h"
#include "controls/window/windowed_rms.h"
#include "engine/model_helpers.h"
#include "engine/pointer_block.h"
#include "engine/run_state.h"
#include "link/panel.h"
#include "models/breakers/breaker.h"
#include "models/breakers/fault3.h"
#include "models/sources/voltage_sources.h"
#include "models/switch/branch_rlc.h"
#include "models/transformers/transformers.h"
#include "models/xfmr_tables.h"
#include "network/network_tables.h"

namespace {

constexpr ModuleCounts kMain{.nodes = 27,
                         .subsystems = 3,
                         .branches = {27, 1, 0},
                         .stoi = 7,
                         .stof = 61,
                         .channels = 12,
                         .controls = 22,
                         .xfmrs = 1};

constexpr double kVllBase = 33.0, kFreq = 60.0, kSqrt2 = 1.414213562373095, kSqrt3 = 1.732050807568877;
constexpr int32_t kBreakerId = 1877753221, kFaultId = 2104699080, kXfmrId = 1712046192;
constexpr int32_t kMeter1Id = 1981579466, kMeter2Id = 1983564093;

void panel_int(int32_t inst, int32_t id, int32_t v, const char* name) {
    PANEL_INT(inst, id, v, name, static_cast<int32_t>(std::strlen(name)));
}

void panel_text(int32_t inst, int32_t id, double v, const char* name) {
    if (is_true(RUN_FLAGS.OUTPUT_STEP)) PANEL_TEXT(inst, id, v, name, static_cast<int32_t>(std::strlen(name)));
}

// Every step, or on the first step of a run only: the meters' hidden items.
void hide_items(int32_t inst, int32_t id) {
    if (!is_true(RUN_FLAGS.FIRST_STEP_RUN)) return;
    panel_int(inst, id, 1, "hide1");
    panel_int(inst, id, 1, "hide2");
}

}  // namespace

void Main_DSD() {
    ModuleFrame f("Main_DSD", "Main.dta", Pass::DSD, kMain);
    const double VBessPu = f.stof(14);
    Graphs_and_Controls_DSD();

    INTERP_PAIR pair;
    comparator_ip(0, 0, 0.1, RUN_CLOCK.TIME, 0.0, 0.0, 1.0, pair);
    const double cmp = pair.value;
    const int32_t CtrlOn = nint(cmp);
    pair = INTERP_PAIR{static_cast<double>(CtrlOn), 0.0};
    INTERP_PAIR delayed;
    on_delay_ip(0, 0.3, pair, delayed);
    const int32_t DcEnable = nint(delayed.value);

    const double BrkCmd = f.cx(1);
    const int32_t AuxSel = 0, DAxisSel = 0;
    const int32_t shown = POINTER_BLOCK.NSTORI;
    POINTER_BLOCK.NSTORI += 3;
    const int32_t ss1 = f.ss(1);
    const double chop = f.at("RTCF", STORAGE.RTCF, POINTER_BLOCK.NRTCF);
    const int32_t BrkClosed = nint(1.0 - BrkCmd);
    for (int32_t j = 4; j <= 6; ++j) BREAKER(ss1, f.branch(j), 0.0001, 1.0e6, chop, 0, BrkClosed);
    POINTER_BLOCK.NRTCF += 1;
    static const char* const kBOpen[] = {"BOpen1", "BOpen2", "BOpen3"};
    for (int32_t i = 1; i <= 3; ++i)
        SHOW_ON_CHANGE(f, shown + i - 1, kBreakerId, f.open(3 + i) ? 2 : 0, kBOpen[i - 1]);

    const int32_t LimPriority = 1;
    const double LoadCtl1 = f.cx(2), PowerOrder = f.cx(3), LoadCtl2 = f.cx(4);
    double BattSoc = 0.0;
    Battery_DSD(BattSoc);
    DC_DC_Bi_DSD(BattSoc, DcEnable, 0.35, PowerOrder);

    // Slots 5 to 22 are read below, each written by the block read first.
    double slot[23];
    f.cx_block<5, 22>(slot);
    const double VsrcPu = slot[8], FaultCmd = slot[6];
    const double VsrcKV = VsrcPu * kVllBase;
    const double VsrcPhKV = VsrcKV / kSqrt3;
    const double VsrcPeak = VsrcPhKV * kSqrt2;

    const int32_t FaultInt = nint(FaultCmd);
    INTERP_PAIR pulse;
    monostable_ip(0, 0.2, INTERP_PAIR{static_cast<double>(FaultInt), 0.0}, pulse);
    const int32_t FaultOn = nint(pulse.value);
    FAULT3(ss1, f.branch(10), f.branch(11), f.branch(12), f.branch(13), f.branch(14), f.branch(15), 0, FaultOn, 7,
           1.0);
    bool all_open = true;
    for (int32_t j = 10; j <= 15; ++j) all_open = all_open && f.open(j);
    const int32_t fault_kept = POINTER_BLOCK.NSTORI;
    POINTER_BLOCK.NSTORI += 1;
    // Kept: whether all six are open; shown: whether the fault is on.
    int32_t& kept = f.at("STORI", STORAGE.STORI, fault_kept);
    const int32_t open_bit = all_open ? 1 : 0;
    if (is_true(RUN_FLAGS.FIRST_STEP_RUN) || open_bit != kept) {
        panel_int(f.instance(), kFaultId, 1 - open_bit, "AG1");
        kept = open_bit;
    }

    POINTER_BLOCK.NRTCF += 3;
    const double ramp = f.next_rtcf();
    VSRC3P(ss1, f.branch(19), f.branch(20), f.branch(21), ramp, LTRUE, VsrcPeak, 376.99111843077515, 0.0);

    VSCandCtrl_DSD(1, 0.35, 0.00631, 0.69, kFreq, 30000.0, 1.0, 67.0, DAxisSel, AuxSel, LimPriority, CtrlOn, slot[10],
                   slot[21], 1.0, 0.0, VBessPu, slot[13], slot[16], 1.1, 0.9, slot[12], slot[22], slot[17], slot[5],
                   slot[7], slot[14], slot[18], slot[20], 0.5, slot[15], slot[19], slot[9], slot[11], 1, 1080.0,
                   1400.0, 4.8, 6.75e-05, 157.0, 1.7, 1.5, 1.24);
    Load_DSD(kVllBase, kFreq, LoadCtl1, LoadCtl2);

    f.pgb(2) = BattSoc;
    f.stof(3) = BattSoc;
    f.stof(4) = LoadCtl1;
    f.stof(5) = LoadCtl2;
    f.stof(8) = PowerOrder;
    f.stof(16) = BrkCmd;
    f.stof(17) = RUN_CLOCK.TIME;
    f.stof(18) = cmp;
    f.stof(19) = slot[7];
    f.stof(20) = slot[5];
    f.stof(21) = f.stof(22) = 0.0;
    f.put_stof<23, 36>(slot[21], slot[22], slot[20], slot[17], slot[9], slot[11], slot[15], slot[19], slot[18],
                       slot[14], slot[10], slot[12], slot[16], slot[13]);
    f.stof(37) = kVllBase;
    f.stof(38) = VsrcKV;
    f.stof(39) = VsrcPu;
    f.stof(40) = VsrcPeak;
    f.stof(41) = VsrcPhKV;
    f.stof(42) = kSqrt2;
    f.stof(43) = kSqrt3;
    f.stof(44) = FaultCmd;
    f.stof(45) = kFreq;
    f.stoi(1) = CtrlOn;
    f.stoi(2) = DcEnable;
    f.stoi(3) = FaultInt;
    f.stoi(4) = FaultOn;
    f.stoi(5) = AuxSel;
    f.stoi(6) = DAxisSel;
    f.stoi(7) = LimPriority;
    f.leave();
}

void Main_DSO() {
    ModuleFrame f("Main_DSO", "Main.dta", Pass::DSO, kMain);
    const int32_t ss1 = f.ss(1), inst = f.instance();
    Graphs_and_Controls_DSO();

    int32_t one = 0;
    double p = 0.0, q = 0.0;
    pq3ph_meter(ss1, f.branch(4), f.branch(5), f.branch(6), 0, 0, 0, one, 0.02, p, q);
    const double IBr2 = f.cbr(1, 2);

    Battery_DSO();
    const double VdcSS2 = NODEVDIFF(f.ss(2), f.node(12), f.node(10));
    DC_DC_Bi_DSO();

    const MeterConstants a = READ_METER_CONSTANTS(f);
    double I_BESS[3], V_BESS[3];
    for (int32_t i = 1; i <= 3; ++i) {
        I_BESS[i - 1] = f.cbr(6 + i);
        V_BESS[i - 1] = NODEVDIFF(ss1, f.node(12 + i), 0);
    }
    double pb = 0.0, qb = 0.0;
    pq3ph3(ss1, f.branch(7), f.branch(8), f.branch(9), a.tau, 0, pb, qb);
    const double PBess = a.gain * pb, QBess = a.gain * qb;
    panel_text(inst, kMeter1Id, PBess, "Pd");
    panel_text(inst, kMeter1Id, QBess, "Qd");
    const double VBessPu = a.scale * rms_3ph_rect(ss1, f.node(13), f.node(14), f.node(15), a.tau);
    panel_text(inst, kMeter1Id, VBessPu, "Vd");
    hide_items(inst, kMeter1Id);

    const MeterConstants b = READ_METER_CONSTANTS(f);
    double V_PCC[3];
    for (int32_t i = 1; i <= 3; ++i) V_PCC[i - 1] = NODEVDIFF(ss1, f.node(2 + i), 0);
    double pp = 0.0, qp = 0.0;
    pq3ph3(ss1, f.branch(16), f.branch(17), f.branch(18), b.tau, 0, pp, qp);
    const double PPcc = b.gain * pp, QPcc = b.gain * qp;
    panel_text(inst, kMeter2Id, PPcc, "Pd");
    panel_text(inst, kMeter2Id, QPcc, "Qd");
    double rms = 0.0;
    rms_node_v(256, ss1, f.node(3), f.node(4), f.node(5), b.freq, 1.0, 0.0, rms);
    const double VPccPu = b.scale * rms;
    panel_text(inst, kMeter2Id, VPccPu, "Vd");
    hide_items(inst, kMeter2Id);

    int32_t k = f.xfmr();
    XFMR_OUT(k);
    (void)f.next_rtcf();

    VSCandCtrl_DSO();
    Load_DSO();
    f.pgb(1) = VPccPu;

    const MeterConstants c = READ_METER_CONSTANTS(f);
    double IL[3], VL[3];
    for (int32_t i = 1; i <= 3; ++i) {
        IL[i - 1] = f.cbr(i);
        VL[i - 1] = NODEVDIFF(ss1, f.node(15 + i), 0);
    }
    double pl = 0.0, ql = 0.0;
    pq3ph3(ss1, f.branch(1), f.branch(2), f.branch(3), c.tau, 0, pl, ql);
    const double PL = c.gain * pl, QL = c.gain * ql;
    double unused = 0.0;
    rms_node_v(256, ss1, f.node(16), f.node(17), f.node(18), c.freq, 1.0, 0.0, unused);

    f.put_pgb<3, 12>(VBessPu, QBess, PBess, PBess, I_BESS[0], I_BESS[1], I_BESS[2], VdcSS2, QL, PL);
    f.stof(6) = PL;
    f.stof(7) = QL;
    f.stof(9) = QBess;
    f.stof(10) = PBess;
    for (int32_t i = 1; i <= 3; ++i) {
        f.stof(10 + i) = I_BESS[i - 1];
        f.stof(46 + i) = IL[i - 1];
        f.stof(49 + i) = VL[i - 1];
        f.stof(52 + i) = V_BESS[i - 1];
        f.stof(56 + i) = V_PCC[i - 1];
    }
    f.stof(14) = VBessPu;
    f.stof(15) = VdcSS2;
    f.stof(21) = f.stof(22) = 0.0;
    f.stof(37) = kVllBase;
    f.stof(42) = kSqrt2;
    f.stof(43) = kSqrt3;
    f.stof(45) = kFreq;
    f.stof(46) = VPccPu;
    f.stof(56) = IBr2;
    f.stof(60) = PPcc;
    f.stof(61) = QPcc;
    f.stoi(5) = 0;
    f.stoi(6) = 0;
    f.stoi(7) = 1;
    f.leave();
}

void Main_DSD_BEGIN() {
    ModuleFrame f("Main_DSD_BEGIN", "", Pass::DSD_BEGIN, kMain);
    Graphs_and_Controls_DSD_BEGIN();
    SETIDS(f.instance(), kBreakerId);
    f.put_rtcf(0.0);
    Battery_DSD_BEGIN();
    DC_DC_Bi_DSD_BEGIN();
    FAULT3_INIT(1.0e6, 0.0);
    const int32_t ss1 = f.ss(1);
    for (int32_t j = 19; j <= 21; ++j) BRANCH_RLC(f.branch(j), ss1, 1, 0, 0, 0.0001, 0.0, 0.0);
    for (int32_t j = 22; j <= 24; ++j) BRANCH_RLC(f.branch(j), ss1, 1, 0, 0, 500.0, 0.0, 0.0);
    for (int32_t j = 25; j <= 27; ++j) BRANCH_RLC(f.branch(j), ss1, 0, 1, 0, 0.0, 0.006, 0.0);
    for (int32_t j = 0; j < 3; ++j) f.put_rtcf(0.0);
    f.put_rtcf(0.02);

    static const double kCurrent[] = {0.0, 0.1774, 0.487637, 0.980856, 2.0, 3.09543, 6.52348, 20.357, 60.215, 124.388};
    static const double kFlux[] = {0.0, 0.324129, 0.61284, 0.825118, 1.0, 1.08024, 1.17334, 1.26115, 1.36094, 1.49469};
    FArray1<double>& curve = XFMR_TABLES.XF_UMCORE;
    for (int32_t p = 1; p <= 10; ++p) {
        f.at("XF_UMCORE", curve, 8 + p) = kCurrent[p - 1];
        f.at("XF_UMCORE", curve, 18 + p) = kFlux[p - 1];
    }
    SETIDS(f.instance(), kXfmrId);
    int32_t k = f.xfmr(), core = 0;
    double s = 1.0, hz = kFreq, x = 0.01, v1 = kVllBase * 0.57735026918962595, v2 = 0.69, im = 1.0, lr = 2.0,
           ar = 1.0, lr2 = 2.0, a2 = 1.0;
    UMEC_TF_3P2W(k, core, s, hz, x, v1, v2, im, lr, ar, lr2, a2);

    VSCandCtrl_DSD_BEGIN(1, 0.35, 0.00631, 0.69, kFreq, 30000.0, 1.0, 67.0, 0.5, 1, 1080.0, 1400.0, 4.8, 6.75e-05,
                         157.0);
    Load_DSD_BEGIN(kVllBase, kFreq);
}

void Main_DSO_BEGIN() {
    ModuleFrame f("Main_DSO_BEGIN", "", Pass::DSO_BEGIN, kMain);
    Graphs_and_Controls_DSO_BEGIN();
    Battery_DSO_BEGIN();
    DC_DC_Bi_DSO_BEGIN();
    PUT_METER_CONSTANTS(f, 1.4492753623188408, 0.0);
    PUT_METER_CONSTANTS(f, INVERSE_OR_ONE(kVllBase), kFreq);
    f.put_rtcf(0.26657297628950216);
    VSCandCtrl_DSO_BEGIN(1, 0.35, 0.00631, 0.69, kFreq, 30000.0, 1.0, 67.0, 0.5, 1, 1080.0, 1400.0, 4.8, 6.75e-05,
                         157.0);
    Load_DSO_BEGIN(kVllBase, kFreq);
    PUT_METER_CONSTANTS(f, INVERSE_OR_ONE(kVllBase), kFreq);
}
