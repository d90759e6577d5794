#include <cmath>

#include "models/svc/svc_services.h"
#include "platform/logical.h"

SvcWork SVC_WORK;

double svc_group_voltage(int32_t g) {
    const SvcWork& w = SVC_WORK;
    if (g <= 3) return w.vg[g - 1];
    const int32_t next = g == 6 ? 4 : g + 1;
    return w.vg[next - 1] - w.vg[g - 1];
}

void SVC_DERIV(const SvcState& x, SvcState& dx) {
    const SvcWork& w = SVC_WORK;
    const SvcCircuit& c = w.c;
    double s[8];
    for (int i = 0; i < 8; ++i) {
        const double* g = c.G[i];
        const double* f = c.F[i];
        s[i] = g[0] * w.v[0] + g[1] * w.v[1] + g[2] * w.v[2] + f[0] * x.u[0] + f[1] * x.u[1] + f[2] * x.u[2] +
               f[3] * x.u[3];
    }
    for (int i = 0; i < 3; ++i) {
        dx.iP[i] = s[i];
        dx.iD[i] = s[i + 3];
    }
    dx.iY[0] = s[6];
    dx.iY[1] = s[7];
    dx.iY[2] = -(s[6] + s[7]);

    for (int k = 0; k < 6; ++k) {
        const int row = k % 3;
        const double* u = k < 3 ? &x.u[0] : &x.u[2];
        const double drive = c.B[row][0] * u[0] + c.B[row][1] * u[1];
        dx.iL[k] = drive + w.kI[k] * x.iL[k] + w.kV[k] * x.vs[k];
        dx.vs[k] = w.kC[k] * x.iL[k] + w.kR[k] * x.vs[k];
    }

    const double* a = w.a;  // a[0] is a1
    const double j1 = x.iL[0] + x.iD[0], j2 = x.iL[1] + x.iD[1], j3 = x.iL[2] + x.iD[2];
    dx.u[0] = a[8] * x.u[1] + a[6] * x.u[0] + a[4] * j3 + a[2] * j2 + a[0] * j1;
    dx.u[1] = a[9] * x.u[1] + a[7] * x.u[0] + a[5] * j3 + a[3] * j2 + a[1] * j1;
    const double* b = w.b;  // b[0] is b1
    dx.u[2] = b[12] * x.u[3] + b[10] * x.u[2] + b[8] * x.iL[5] + b[6] * x.iL[4] + b[4] * x.iL[3] + b[2] * x.iY[1] +
              b[0] * x.iY[0];
    dx.u[3] = b[13] * x.u[3] + b[11] * x.u[2] + b[9] * x.iL[5] + b[7] * x.iL[4] + b[5] * x.iL[3] + b[1] * x.iY[0] +
              b[3] * x.iY[1];
}

namespace {

// Shares the charges q of one bank's three groups out so that the group
// voltages again add up to zero around the bank; returns the voltages of
// its first two groups.
void redistribute(const double* C, const double* q, double& w1, double& w2) {
    const double ceq = 1.0 / (1.0 / C[0] + 1.0 / C[1] + 1.0 / C[2]);
    const double Q1 = (q[0] * (1.0 / C[2] + 1.0 / C[1]) - q[1] / C[1] - q[2] / C[2]) * ceq;
    const double Q2 = (q[1] * (1.0 / C[0] + 1.0 / C[2]) - q[2] / C[2] - q[0] / C[0]) * ceq;
    w1 = Q1 / C[0];
    w2 = Q2 / C[1];
}

}  // namespace

int32_t SVC_CAPSTAGE(int32_t g, int32_t target, double Cst, double C0, int32_t d) {
    SvcWork& w = SVC_WORK;
    const int32_t i = g - 1;
    const double u = svc_group_voltage(g);
    const int32_t n = nint(w.count[i]);
    if (n < 0 || n > SVC_MAX_STAGES) return 0;  // a count no group can hold
    double delta = 0.0;
    if (n < w.c.NCAP) {
        delta = u - w.vst[i][n];
        if (d == 0) {
            w.dlast[i] = delta;
            return 0;
        }
    }
    // Only a group short of the target moves, and only towards it.
    if (d == 0 || n == target || (d > 0 && n > target) || (d < 0 && n < target)) return 0;
    if (d > 0) {
        if (w.dlast[i] * delta >= 0.0) {
            w.dlast[i] = delta;
            return 0;
        }
    } else if (w.ilast[i] * w.inow[i] > 0.0) {
        return 0;
    }

    double q[6];
    for (int32_t k = 0; k < 6; ++k) q[k] = w.cap[k] * svc_group_voltage(k + 1);
    if (d > 0) {
        q[i] += w.vst[i][n] * Cst;
    } else {
        q[i] -= (n == 1 ? Cst - C0 : Cst) * u;
    }
    const int32_t m = n + d;
    // An emptied group keeps only its base capacitance, however small a
    // stage is.
    w.cap[i] = m == 0 ? C0 : m * Cst;

    const int32_t first = g <= 3 ? 0 : 3;
    double w1 = 0.0, w2 = 0.0;
    redistribute(&w.cap[first], &q[first], w1, w2);
    if (first == 0) {
        w.vg[0] = w1;
        w.vg[1] = w2;
        w.vg[2] = -w1 - w2;
    } else {
        // Node 6 stays; nodes 5 and 4 follow from the new group voltages.
        w.vg[4] = w.vg[5] - w2;
        w.vg[3] = w.vg[4] - w1;
    }
    if (d < 0) w.vst[i][n - 1] = u;
    w.count[i] = m;
    return 1;
}
