// The data-file form keeps constants and state in one block of STOR. With
// e = NEXC at the call and b = e + 2:
//   e+1, e+2      the bus voltages' phase shifter
//   b+1 .. b+55   as the per-step routine's block: pulses (1-6, 31-36),
//                 valve event (7), valve resistances (8-13, 38-43), winding
//                 currents (14-19, 44-46), snubber voltages (20-22, 47-49),
//                 reactor currents (23-25, 50-52), bank voltages (26-28,
//                 53-54), firing loop (29-30)
//   b+56 .. b+64  Lt, Rs, Cs, Ron, Roff, Cst, C0, Rd (farads), Cst*Rd
//   b+65 .. b+242 the per-step routine's slots 56-233, nine further on:
//                 stage voltages, group voltages, last differences and
//                 currents, capacitances, counts, stage command and
//                 switching, bank and reactor coefficients
//   b+243.. b+306 the inverse winding inductances, row by row
//   b+307.. b+312 the reactor matrix B, row by row
//   b+313.. b+344 the bank-voltage matrix F, row by row
//   b+345.. b+352 the star winding's reduced phase c row
//   b+353.. b+372 not used
//   b+373, b+374, b+375  interface conductance, stage count, rated current
//   e+378 .. e+383 the three phases' saturation
//   e+384 .. e+389 the internal R-C branches: Gd, 2 Gd/21, 19/21 and the
//                 three phases' history currents
#include <cmath>
#include <functional>
#include <string>

#include "controls/elementary/store_blocks.h"
#include "engine/abort.h"
#include "engine/model_helpers.h"
#include "engine/pointer_block.h"
#include "engine/run_state.h"
#include "engine/storage.h"
#include "models/branch_changes.h"
#include "models/data_line.h"
#include "models/svc/svc.h"
#include "models/svc/svc_checks.h"
#include "models/svc/svc_matrices.h"
#include "models/svc/svc_services.h"
#include "models/svc/svc_substeps.h"
#include "network/network_tables.h"
#include "platform/list_read.h"
#include "platform/text_units.h"

namespace {

const Text12 kName("SVC_DATAFILE");
constexpr int32_t kShift = 9;
constexpr int32_t kConstants = 56, kGamma = 243, kB = 307, kF = 313, kRow = 345;

[[noreturn]] void missing(int32_t k) {
    USERMSG(CURRENT_IDS.id1, CURRENT_IDS.id2, 2, 1,
            "Data line " + std::to_string(k) + " of SVC_DATAFILE is missing or unreadable");
    ABORT_RUN(kName, 1);
}

// Reads data line k free-format through read.
void data_line(int32_t k, const std::function<void(ListRead&)>& read) {
    if (!READ_DATA_ITEMS(read)) missing(k);
}

void banner(std::initializer_list<const char*> lines) {
    for (const char* line : lines) write_list(UNIT_CONSOLE_OUT, {line});
}

// Reads the data lines, checks them and writes the block's constants;
// returns the stages in service at the start.
int32_t set_up(const SvcBlock& B, int32_t ss, const int32_t (&nodes)[3], double S, double V1, double f,
               double Xair, double G0, double tau, double k) {
    double L[9][9]{};
    for (int32_t i = 0; i < 9; ++i)
        data_line(i + 1, [&](ListRead& in) {
            for (double& x : L[i]) in.real(x);
        });
    for (int i = 0; i < 9; ++i)
        for (int j = i + 1; j < 9; ++j) L[i][j] = L[j][i];

    BranchChangeList& list = BRCHANGE_LIST;
    const int32_t row = BRCHANGE_APPEND(kName);
    list.icol(1, row) = BRCHANGE_COMPENSATOR;
    for (int i = 0; i < 3; ++i) list.icol(2 + i, row) = nodes[i];
    list.icol(8, row) = ss;
    list.rcol(1, row) = 2.0 * L[0][0] * (1.0 - L[3][0] / std::sqrt(L[3][3] * L[0][0])) / k;
    if (G0 >= 1e-10) list.rcol(2, row) = 1.0 / (k * G0);

    double Lt = 0.0, Rs = 0.0, Cs = 0.0, Ron = 0.0, Roff = 0.0, Cst = 0.0, Rd = 0.0, C0 = 0.0;
    int32_t NCAP = 0, NC0 = 0;
    data_line(10, [&](ListRead& in) { in.real(Lt).real(Rs).real(Cs).real(Ron).real(Roff); });
    data_line(11, [&](ListRead& in) { in.real(Cst).real(Rd).integer(NCAP).integer(NC0).real(C0); });
    Cs *= 1e-6;
    if (NCAP > 10) {
        NCAP = 10;
        banner({"***************************************************",
                "* WARNING   WARNING   WARNING   WARNING   WARNING *",
                "* ------------------------------------------------*",
                "* The maximum number of capacitor stages entered  *",
                "* in the eleventh line of SVC data in DATAFILE    *",
                "* cannot be greater then 10. Thus, NCAP=10 is set.*",
                "***************************************************"});
    }
    if (NC0 > NCAP) {
        NC0 = NCAP;
        banner({"***************************************************",
                "* WARNING   WARNING   WARNING   WARNING   WARNING *",
                "* ------------------------------------------------*",
                "* The initial number of capacitor stages entered  *",
                "* in the eleventh line of SVC data in DATAFILE    *",
                "* can not be greater then the number of capacitor *",
                "* stages NCAP, thus NC0=NCAP is set.              *",
                "***************************************************"});
    }
    if (C0 > 0.0 && C0 <= 0.05 * Cst) C0 = 0.05 * Cst;
    Cst *= 1e-6;
    C0 *= 1e-6;

    SvcChecks checks;
    checks.refuse(!svc_positive({S, V1, f}), SVC_BAD_RATINGS);
    // The stage capacitance comes from the file, so a bank of no stages
    // (reactors only) is sound here; a negative count is not.
    checks.refuse(NCAP < 0 || NC0 < 0, SVC_BAD_STAGES);
    checks.refuse(!svc_positive({Ron, Cs, Rd, Roff, Lt, Cst, C0}), SVC_BAD_VALVES);
    checks.refuse(!svc_positive({Xair, tau}), SVC_BAD_SATURATION);
    checks.stop_if_failed(kName);

    SvcCircuit c;
    if (!svc_matrices(L, Lt, c)) svc_leakage_unrealisable(kName);
    const double head[9] = {Lt, Rs, Cs, Ron, Roff, Cst, C0, Rd, Cst * Rd};
    for (int i = 0; i < 9; ++i) B.raw(kConstants + i) = head[i];
    for (int i = 0; i < 8; ++i)
        for (int j = 0; j < 8; ++j) B.raw(kGamma + 8 * i + j) = c.G[i][j];
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 2; ++j) B.raw(kB + 2 * i + j) = c.B[i][j];
    for (int i = 0; i < 8; ++i)
        for (int j = 0; j < 4; ++j) B.raw(kF + 4 * i + j) = c.F[i][j];
    for (int i = 0; i < 8; ++i) B.raw(kRow + i) = c.r[i];
    for (int32_t n : nodes) NET.NORMARK(n, ss) = LTRUE;
    B.raw(373) = 0.5 * (RUN_CLOCK.DELT / (0.1 * (((0.5 * V1 * V1) / 3.14) / f) / S));
    B.raw(374) = NCAP;
    B.raw(375) = 1.732 * S / V1;
    return NC0;
}

void load_constants(const SvcBlock& B, SvcCircuit& c) {
    double* head[8] = {&c.Lt, &c.Rs, &c.Cs, &c.Ron, &c.Roff, &c.Cst, &c.C0, &c.Rd};
    for (int i = 0; i < 8; ++i) *head[i] = B.raw(kConstants + i);
    for (int i = 0; i < 8; ++i)
        for (int j = 0; j < 8; ++j) c.G[i][j] = B.raw(kGamma + 8 * i + j);
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 2; ++j) c.B[i][j] = B.raw(kB + 2 * i + j);
    for (int i = 0; i < 8; ++i)
        for (int j = 0; j < 4; ++j) c.F[i][j] = B.raw(kF + 4 * i + j);
    for (int i = 0; i < 8; ++i) c.r[i] = B.raw(kRow + i);
    c.gi = B.raw(373);
    c.NCAP = nint(B.raw(374));
    c.Ir = B.raw(375);
}

}  // namespace

void SVC_DATAFILE(int32_t ss, int32_t na, int32_t nb, int32_t nc, double alpha, int32_t& command, int32_t enable,
                  int32_t& switching, int32_t& stages, int32_t mode, double Kp, double Ki, int32_t N, int32_t M,
                  double S, double V1, double f, double Xair, double knee, double G0, double tau, double k) {
    const int32_t nodes[3] = {na, nb, nc};
    for (int32_t n : nodes) CHKNODE(kName, n, ss);
    PointerBlock& ptr = POINTER_BLOCK;
    const int32_t e = ptr.NEXC;
    FArray1<double>& st = STORAGE.STOR;
    const bool first = is_true(RUN_FLAGS.FIRST_STEP_DATA);
    if (first) {
        const double Gd = 20.0 / ((1.0 + 20.0) * (V1 * V1 / S) * 7.0);
        st(e + 384) = Gd;
        st(e + 385) = Gd * 2.0 / (1.0 + 20.0);
        st(e + 386) = (20.0 - 1.0) / (1.0 + 20.0);
    }
    SvcWork& w = SVC_WORK;
    double v[3];
    for (int i = 0; i < 3; ++i) v[i] = NODEV(ss, nodes[i]);
    PHASE_SHIFT_3PH(v[0], v[1], v[2], w.v[0], w.v[1], w.v[2], f);

    const SvcBlock blk{ptr.NEXC, kShift};
    SvcCommand cmd{alpha, &command, enable, &switching, &stages, mode, 0};
    if (first) cmd.NC0 = set_up(blk, ss, nodes, S, V1, f, Xair, G0, tau, k);
    SvcCircuit& c = w.c;
    load_constants(blk, c);
    c.k = k;
    c.G0 = G0;
    c.Kp = Kp;
    c.Ki = Ki;
    c.knee = knee;
    c.tau = tau;
    c.Xair = Xair;
    c.V1 = V1;
    c.f = f;
    c.N = N;
    c.M = M;
    svc_substeps(blk, cmd);

    ptr.NEXC = blk.b + 375;
    double isat[3];
    svc_saturation(isat);
    NetworkTables& net = NET;
    const double Gd = st(e + 384);
    for (int i = 0; i < 3; ++i) {
        double& h = st(e + 387 + i);
        h = st(e + 386) * h - st(e + 385) * w.v[i];
        const double feed = c.gi * w.v[i];
        net.GNOR(nodes[i], ss) += k * (G0 + c.gi) + Gd;
        net.CNOR(nodes[i], ss) += (enable < 1 ? k * feed : k * (feed - blk(14 + i) + isat[i])) - h;
    }
    ptr.NEXC += 6;
}
