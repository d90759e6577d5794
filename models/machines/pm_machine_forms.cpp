// The permanent-magnet machine forms on run-time constants: a set-up call
// in the begin pass, a per-step call that drives three injected-current
// branches with parallel interface conductances.
#include <string>
#include <utility>
#include <vector>

#include "controls/branch_voltage.h"
#include "engine/abort.h"
#include "engine/model_helpers.h"
#include "engine/pointer_block.h"
#include "engine/run_state.h"
#include "engine/solution_arrays.h"
#include "engine/storage.h"
#include "models/branch_changes.h"
#include "models/machines/machine_list.h"
#include "models/machines/pm_dq_model.h"
#include "models/machines/pm_machine.h"
#include "models/setup_guard.h"
#include "network/network_tables.h"

namespace {

constexpr int32_t kSpeedConstants = 37, kInertiaConstants = 39;
constexpr int32_t kSpeedRecord = 10, kInertiaRecord = 13;

// The non-zero entries of A, then of B, in the order of the constants.
constexpr std::pair<int32_t, int32_t> kAEntries[17] = {{1, 1}, {1, 2}, {1, 4}, {1, 5}, {2, 1}, {2, 2},
                                                       {2, 4}, {2, 5}, {3, 3}, {4, 1}, {4, 2}, {4, 4},
                                                       {4, 5}, {5, 1}, {5, 2}, {5, 4}, {5, 5}};
constexpr std::pair<int32_t, int32_t> kBEntries[9] = {{1, 1}, {1, 4}, {2, 2}, {2, 5}, {3, 3},
                                                      {4, 1}, {4, 4}, {5, 2}, {5, 5}};

struct PmRatings {
    double V, S, F, Xd, Xq, XD, XQ, Xl, Ra, RD, RQ, E, Rint, Rsnb, Nsnb;
};

// Reports one failed check: the speed-input form warns and stops at once,
// the inertia form reports as an error and stops after the group.
struct CheckReport {
    bool stop_at_once;
    bool failed = false;
    void fail(std::string_view text) {
        const CurrentIds& c = CURRENT_IDS;
        if (stop_at_once) {
            USERWARN(c.id1, c.id2, 1, text);
            ABORT_RUN(PM_NAME, 0);
        }
        USERMSG(c.id1, c.id2, 2, 1, text);
        failed = true;
    }
    void end_group() {
        if (failed) ABORT_RUN(PM_NAME, 0);
    }
};

// Checks the ratings and writes positions 1-37 from NRTCF; the inertia
// form (rint_checked) takes Rint per unit.
void write_constants(const PmRatings& r, CheckReport& report, bool rint_checked) {
    if (!(r.V > 0.0) || !(r.S > 0.0) || !(r.F > 0.0)) report.fail("Unrealistic rated voltage, power or frequency");
    if (!(r.Xl > 0.0)) report.fail("Unrealistic leakage reactance");
    if (!(r.Rsnb > 0.0)) report.fail("Unrealistic snubber resistance");
    if (rint_checked && !(r.Rint > 0.0)) report.fail("Unrealistic interface resistance");
    report.end_group();

    const double vbase = r.V * 0.577350269189626, ibase = r.S / (r.V * 1.732050807568877);
    const double w = 6.283185307179586 * r.F, xmd = r.Xd - r.Xl, xmq = r.Xq - r.Xl;
    if (!(xmd > 0.0)) report.fail("Xd must be greater than leakage reactance");
    if (!(xmq > 0.0)) report.fail("Xq must be greater than leakage reactance");
    report.end_group();
    const double detD = r.XD * r.Xd - xmd * xmd, detQ = r.XQ * r.Xq - xmq * xmq;
    if (!(detD > 1e-10)) report.fail("Unrealistic D axis data");
    if (!(detQ > 1e-10)) report.fail("Unrealistic Q axis data");
    report.end_group();

    const double rint = rint_checked ? r.V * r.V * r.Rint / r.S : r.Rint;
    const double rsnb = vbase * r.Rsnb / ibase;
    const double dt = RUN_CLOCK.DELT;
    const std::vector<double> head = {1.0 / vbase, ibase, w,   r.Xd, r.Xq, xmd, xmq, 1.414213562373095 * r.E,
                                      rint,        rsnb,  1e6 * dt * r.Nsnb / rsnb};
    WindingMatrix a{}, as{}, b{};
    PM_MATRICES({r.Xd, r.Xq, xmd, xmq, r.XD, r.XQ, r.Xl, r.Ra, r.RD, r.RQ}, 1.0 / detD, 1.0 / detQ, a, as, b);
    FArray1<double>& c = STORAGE.RTCF;
    int32_t p = POINTER_BLOCK.NRTCF;
    for (double v : head) c(p++) = v;
    const double h = 0.5 * dt * w;
    for (const auto& [i, j] : kAEntries) c(p++) = h * (wm(a, i, j) + wm(as, i, j));
    for (const auto& [i, j] : kBEntries) c(p++) = dt * w * wm(b, i, j);
}

// The scaled matrices of this step from the constants at NRTCF.
void step_matrices(double s, WindingMatrix& a, WindingMatrix& b) {
    const FArray1<double>& c = STORAGE.RTCF;
    int32_t p = POINTER_BLOCK.NRTCF + 11;
    a.fill(0.0);
    b.fill(0.0);
    for (const auto& [i, j] : kAEntries) wm(a, i, j) = c(p++) * (pm_speed_entry(i, j) ? s : 1.0);
    for (const auto& [i, j] : kBEntries) wm(b, i, j) = c(p++);
}

void machine_entry(int32_t ss, int32_t br, double value) {
    MACHINE_LIST_ENTRY(PM_NAME, BRCHANGE_MACHINE_PAIR, ss, NET.IEF(br, ss), NET.IET(br, ss), value);
}

// BRCOND with the change of an unswitched branch's conductance carried
// into the subsystem's conductance array: the change is not lost, so no
// warning says it is.
void cond_into_array(int32_t ss, int32_t br, double rint) {
    NetworkTables& N = NET;
    const double old = N.GEQ(br, ss);
    BRCOND_CARRIED(ss, br, rint);
    if (is_true(N.SWITCH(br, ss))) return;
    CHK_SETUP_PHASE(PM_NAME);
    const double change = 1.0 / rint - old;
    const int32_t f = N.IEF(br, ss), t = N.IET(br, ss);
    const SsView<double> gm = SSDESC_RA(ss);
    if (f != 0 && t != 0) {
        gm(f, t) += change;
        gm(t, f) += change;
    } else if (f + t != 0) {
        gm(f + t, f + t) += change;
    }
}

// The step of both forms: constants at NRTCF, record at `at`; returns the
// torque.
double machine_step(int32_t ss, const int32_t* br, double s, int32_t at) {
    const FArray1<double>& c = STORAGE.RTCF;
    const int32_t p = POINTER_BLOCK.NRTCF;
    WindingMatrix a{}, b{};
    step_matrices(s, a, b);
    double v[3];
    for (int32_t k = 0; k < 3; ++k) v[k] = c(p) * BRANCH_VOLTAGE(ss, br[k]);
    const double th = PM_DQ_STEP(at, v, c(p + 2), s, c(p + 7), a, b);
    const FArray1<double>& f = STORAGE.STORF;
    double dq0[3] = {f(at + 5), f(at + 4), f(at + 6)}, i[3];
    PARKTR(i, dq0, th, 0);
    NetworkTables& N = NET;
    for (int32_t k = 0; k < 3; ++k) {
        N.CCBR(br[k], ss) = c(p + 1) * i[k];
        CCBR_CORRECT(ss, br[k]);
    }
    return PM_TORQUE(at, c(p + 7), c(p + 3), c(p + 4), c(p + 5), c(p + 6));
}

void check_branches(int32_t ss, const int32_t* br) {
    CHKSS(PM_NAME, ss);
    for (int32_t k = 0; k < 6; ++k) CHKBRANCH(PM_NAME, br[k], ss);
}

double kind1_value() {
    const FArray1<double>& c = STORAGE.RTCF;
    const int32_t p = POINTER_BLOCK.NRTCF;
    return 1.732050807568877 * c(p + 3) / (c(p) * c(p + 1) * c(p + 2));
}

}  // namespace

void CCBR_CORRECT(int32_t SS, int32_t BR) {
    NetworkTables& N = NET;
    N.CCBR(BR, SS) -= BRANCH_VOLTAGE(SS, BR) * N.GEQ(BR, SS);
}

void PM_SPEED_CHK(double V, double S, double F, double Xd, double Xq, double XD, double XQ, double Xl, double Ra,
                  double RD, double RQ, double E, double Rint, double Rsnb, double Nsnb) {
    CheckReport report{true};
    write_constants({V, S, F, Xd, Xq, XD, XQ, Xl, Ra, RD, RQ, E, Rint, Rsnb, Nsnb}, report, false);
    POINTER_BLOCK.NRTCF += kSpeedConstants;
}

void PM_MACHINE_CHK(double V, double S, double F, double Xd, double Xq, double XD, double XQ, double Xl, double Ra,
                    double RD, double RQ, double E, double Rint, double Rsnb, double Nsnb, double D, double H) {
    CheckReport report{false};
    write_constants({V, S, F, Xd, Xq, XD, XQ, Xl, Ra, RD, RQ, E, Rint, Rsnb, Nsnb}, report, true);
    FArray1<double>& c = STORAGE.RTCF;
    const int32_t p = POINTER_BLOCK.NRTCF;
    if (H > 1e-38) {
        c(p + 37) = 1.0 / H;
    } else {
        c(p + 37) = 1.0;
        USERWARN(CURRENT_IDS.id1, CURRENT_IDS.id2, 1, "Unrealistic inertica value, assumed 1.0 [s]");
    }
    c(p + 38) = D;
    POINTER_BLOCK.NRTCF += kInertiaConstants;
}

void PM_SPEED_NET(int32_t SS, int32_t BR1, int32_t BR2, int32_t BR3, int32_t BR4, int32_t BR5, int32_t BR6,
                  double SPEED, double& TE) {
    const int32_t br[6] = {BR1, BR2, BR3, BR4, BR5, BR6};
    check_branches(SS, br);
    const int32_t at = POINTER_BLOCK.NSTORF;
    POINTER_BLOCK.NSTORF += kSpeedRecord;
    const FArray1<double>& c = STORAGE.RTCF;
    const int32_t p = POINTER_BLOCK.NRTCF;
    if (is_true(RUN_FLAGS.FIRST_STEP_DATA)) {
        for (int32_t k = 0; k < 3; ++k) BRCOND(SS, br[k], c(p + 8));
        for (int32_t k = 3; k < 6; ++k) BRCHANGE(SS, br[k], c(p + 9), c(p + 10));
        for (int32_t k = 0; k < 3; ++k) machine_entry(SS, br[k], kind1_value());
    }
    TE = machine_step(SS, br, SPEED, at);
    POINTER_BLOCK.NRTCF += kSpeedConstants;
}

void PM_MACHINE_NET(int32_t SS, int32_t BR1, int32_t BR2, int32_t BR3, int32_t BR4, int32_t BR5, int32_t BR6,
                    int32_t MODE, double SPEED, double TM) {
    const int32_t br[6] = {BR1, BR2, BR3, BR4, BR5, BR6};
    check_branches(SS, br);
    const int32_t at = POINTER_BLOCK.NSTORF;
    POINTER_BLOCK.NSTORF += kInertiaRecord;
    const FArray1<double>& c = STORAGE.RTCF;
    FArray1<double>& f = STORAGE.STORF;
    const int32_t p = POINTER_BLOCK.NRTCF;
    if (is_true(RUN_FLAGS.FIRST_STEP_DATA)) {
        if (MODE == 1) f(at + 10) = SPEED;
        for (int32_t k = 3; k < 6; ++k) BRCHANGE(SS, br[k], c(p + 9), c(p + 10));
        for (int32_t k = 0; k < 3; ++k) {
            cond_into_array(SS, br[k], c(p + 8));
            machine_entry(SS, br[k], kind1_value());
        }
    }
    double s = SPEED;
    if (MODE == 0) {
        const double s_prev = f(at + 10);
        const double acc = c(p + 37) * ((f(at + 12) - TM) - c(p + 38) * s_prev);
        s = s_prev + 0.5 * RUN_CLOCK.DELT * (acc + f(at + 11));
        f(at + 11) = acc;
    }
    f(at + 10) = s;
    f(at + 12) = machine_step(SS, br, s, at);
    POINTER_BLOCK.NRTCF += kInertiaConstants;
}
