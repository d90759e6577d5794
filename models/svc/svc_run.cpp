#include "controls/branch_voltage.h"
#include "controls/elementary/store_blocks.h"
#include "engine/model_helpers.h"
#include "engine/pointer_block.h"
#include "engine/storage.h"
#include "models/svc/svc.h"
#include "models/svc/svc_services.h"
#include "models/svc/svc_substeps.h"
#include "network/network_tables.h"

namespace {

// The set-up record at the present run-time-constant pointers.
void read_record(SvcCircuit& c, int32_t& NC0) {
    const int32_t p = POINTER_BLOCK.NRTCF, q = POINTER_BLOCK.NRTCI;
    const FArray1<double>& R = STORAGE.RTCF;
    const FArray1<int32_t>& I = STORAGE.RTCI;
    c.NCAP = I(q);
    NC0 = I(q + 1);
    c.N = I(q + 2);
    c.M = I(q + 3);
    double* head[8] = {&c.Lt, &c.Rs, &c.Cs, &c.Ron, &c.Roff, &c.Cst, &c.C0, &c.Rd};
    for (int i = 0; i < 8; ++i) *head[i] = R(p + i);
    for (int i = 0; i < 8; ++i)
        for (int j = 0; j < 8; ++j) c.G[i][j] = R(p + 8 + 8 * i + j);
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 2; ++j) c.B[i][j] = R(p + 72 + 2 * i + j);
    for (int i = 0; i < 8; ++i)
        for (int j = 0; j < 4; ++j) c.F[i][j] = R(p + 78 + 4 * i + j);
    for (int i = 0; i < 8; ++i) c.r[i] = R(p + 112 + i);
    double* tail[11] = {&c.Ir, &c.k, &c.G0, &c.gi, &c.Kp, &c.Ki, &c.knee, &c.tau, &c.Xair, &c.V1, &c.f};
    for (int i = 0; i < 11; ++i) *tail[i] = R(p + 120 + i);
}

}  // namespace

void SVC_RUN(int32_t ss, int32_t ia, int32_t ib, int32_t ic, double alpha, int32_t& command, int32_t enable,
             int32_t& switching, int32_t& stages, int32_t mode) {
    const Text12 name("SVC_RUN");
    const int32_t iface[3] = {ia, ib, ic};
    for (int32_t b : iface) CHKBRANCH(name, b, ss);
    SvcWork& w = SVC_WORK;
    SvcCommand cmd{alpha, &command, enable, &switching, &stages, mode, 0};
    read_record(w.c, cmd.NC0);
    const SvcCircuit& c = w.c;

    double v[3];
    for (int k = 0; k < 3; ++k) v[k] = -BRANCH_VOLTAGE(ss, iface[k]);
    PHASE_SHIFT_3PH(v[0], v[1], v[2], w.v[0], w.v[1], w.v[2], c.f);

    PointerBlock& ptr = POINTER_BLOCK;
    const SvcBlock blk{ptr.NEXC, 0};
    svc_substeps(blk, cmd);
    ptr.NEXC = blk.b + 233;
    double isat[3];
    svc_saturation(isat);

    NetworkTables& net = NET;
    for (int k = 0; k < 3; ++k) {
        const double feed = c.gi * w.v[k];
        net.CCBR(iface[k], ss) = enable < 1 ? c.k * feed : c.k * (feed - blk(14 + k) + isat[k]);
    }
    ptr.NRTCI += 4;
    ptr.NRTCF += 131;
}
