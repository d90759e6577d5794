#include "models/machines/pm_dq_model.h"

#include <cmath>

#include "engine/abort.h"
#include "engine/run_state.h"
#include "engine/storage.h"
#include "network/dense_matrix.h"
#include "controls/sync/sync_blocks.h"

namespace {

constexpr double kTwoPi = 6.283185307179586;

double wrapped(double a) {
    if (a > kTwoPi) a -= kTwoPi;
    if (a < 0.0) a += kTwoPi;
    return a;
}

}  // namespace

void PM_MATRICES(const PmAxisData& p, double invD, double invQ, WindingMatrix& Afix, WindingMatrix& Aspeed,
                 WindingMatrix& B) {
    Afix.fill(0.0);
    Aspeed.fill(0.0);
    B.fill(0.0);
    WindingMatrix& a = Afix;
    WindingMatrix& s = Aspeed;
    wm(a, 1, 1) = -p.Ra * p.XD * invD;
    wm(s, 1, 2) = p.Xq * p.XD * invD;
    wm(a, 1, 4) = p.RD * p.Xmd * invD;
    wm(s, 1, 5) = p.Xmq * p.XD * invD;
    wm(s, 2, 1) = -p.Xd * p.XQ * invQ;
    wm(a, 2, 2) = -p.Ra * p.XQ * invQ;
    wm(s, 2, 4) = -p.XQ * p.Xmd * invQ;
    wm(a, 2, 5) = p.RQ * p.Xmq * invQ;
    wm(a, 3, 3) = -p.Ra / p.X0;
    wm(a, 4, 1) = p.Ra * p.Xmd * invD;
    wm(s, 4, 2) = -p.Xmd * p.Xq * invD;
    wm(a, 4, 4) = -p.RD * p.Xd * invD;
    wm(s, 4, 5) = -p.Xmd * p.Xmq * invD;
    wm(s, 5, 1) = p.Xmq * p.Xd * invQ;
    wm(a, 5, 2) = p.Ra * p.Xmq * invQ;
    wm(s, 5, 4) = p.Xmq * p.Xmd * invQ;
    wm(a, 5, 5) = -p.RQ * p.Xq * invQ;
    wm(B, 1, 1) = p.XD * invD;
    wm(B, 1, 4) = -p.Xmd * invD;
    wm(B, 2, 2) = p.XQ * invQ;
    wm(B, 2, 5) = -p.Xmq * invQ;
    wm(B, 3, 3) = 1.0 / p.X0;
    wm(B, 4, 1) = -p.Xmd * invD;
    wm(B, 4, 4) = p.Xd * invD;
    wm(B, 5, 2) = -p.Xmq * invQ;
    wm(B, 5, 5) = p.Xq * invQ;
}

double PM_DQ_STEP(int32_t base, double* v, double w, double s, double E, const WindingMatrix& Ap,
                  const WindingMatrix& Bp) {
    FArray1<double>& f = STORAGE.STORF;
    const double dt = RUN_CLOCK.DELT;
    // Advance the voltages by the step's rotation (the factor 1/sqrt(3)
    // turns the difference of the other two phases into a quadrature).
    const double k = w * s * dt * 0.577350269189626;
    double va = v[0] + k * (v[2] - v[1]), vb = v[1] + k * (v[0] - v[2]), vc = v[2] + k * (v[1] - v[0]);
    v[0] = va;
    v[1] = vb;
    v[2] = vc;
    const double theta = wrapped(f(base) + w * s * dt);
    f(base) = theta;
    const double th = wrapped(theta - 1.5707963267948966);
    double P = 0.0, Q = 0.0, Z = 0.0;
    ABC_DQ0(va, vb, vc, P, Q, Z, th, 1);
    const double u[3] = {Q, P - s * E, Z};
    double ubar[5] = {0.0, 0.0, 0.0, 0.0, 0.0};
    for (int32_t i = 0; i < 3; ++i) {
        ubar[i] = 0.5 * (f(base + 1 + i) + u[i]);
        f(base + 1 + i) = u[i];
    }
    WindingMatrix minus = Ap, plus = Ap, K{}, P1{}, P2{}, work{};
    for (double& e : minus) e = -e;
    for (int32_t i = 1; i <= 5; ++i) {
        wm(minus, i, i) += 1.0;
        wm(plus, i, i) += 1.0;
    }
    int32_t L[5], M[5];
    if (MATINV(minus.data(), K.data(), 5, 5, work.data(), L, M) != 0) {
        USERMSG(CURRENT_IDS.id1, CURRENT_IDS.id2, 2, 1, "Unable to find the inverse of the matrix");
        ABORT_RUN(PM_NAME, 0);
    }
    MATMULS(K.data(), plus.data(), 5, 5, 5, P1.data(), 1.0);
    MATMULS(K.data(), Bp.data(), 5, 5, 5, P2.data(), 1.0);
    double x[5];
    for (int32_t i = 0; i < 5; ++i) x[i] = f(base + 4 + i);
    for (int32_t i = 1; i <= 5; ++i) {
        double sum = 0.0;
        for (int32_t j = 1; j <= 5; ++j) sum += wm(P1, i, j) * x[j - 1] + wm(P2, i, j) * ubar[j - 1];
        f(base + 3 + i) = sum;
    }
    return th;
}

double PM_TORQUE(int32_t base, double E, double Xd, double Xq, double Xmd, double Xmq) {
    const FArray1<double>& f = STORAGE.STORF;
    const double id = f(base + 4), iq = f(base + 5), iD = f(base + 7), iQ = f(base + 8);
    return 0.5 * ((E + Xmd * iD + Xd * id) * iq - (Xmq * iQ + Xq * iq) * id);
}
