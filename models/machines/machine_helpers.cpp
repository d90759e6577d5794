#include "models/machines/machine_helpers.h"

#include <cmath>
#include <utility>

#include "engine/abort.h"
#include "engine/pointer_block.h"
#include "engine/run_state.h"
#include "engine/storage.h"

namespace {

constexpr double kThird2Pi = 2.094395102393195;

// Work areas of the inversion and the integration, overwritten by every call.
struct MachineWork {
    std::array<std::array<double, 10>, 5> aug{};
    std::array<double, 5> pd{}, pq{}, id{}, iq{}, ed{}, eq{};
};
MachineWork WORK;

}  // namespace

void PARKTR(double* ABC, double* DQ0, double THETA, int32_t MODE) {
    const double c0 = std::cos(THETA), c1 = std::cos(THETA - kThird2Pi), c2 = std::cos(THETA + kThird2Pi);
    const double s0 = std::sin(THETA), s1 = std::sin(THETA - kThird2Pi), s2 = std::sin(THETA + kThird2Pi);
    if (MODE > 0) {
        const double a = ABC[0], b = ABC[1], c = ABC[2];
        DQ0[0] = 0.666666666666667 * (a * c0 + b * c1 + c * c2);
        DQ0[1] = 0.666666666666667 * (a * s0 + b * s1 + c * s2);
        DQ0[2] = 0.333333333333333 * (a + b + c);
        return;
    }
    const double d = DQ0[0], q = DQ0[1], z = DQ0[2];
    ABC[0] = d * c0 + q * s0 + z;
    ABC[1] = d * c1 + q * s1 + z;
    ABC[2] = d * c2 + q * s2 + z;
}

void INDUCMC_LMAT(const double* X, double WB, WindingMatrix& M, int32_t N) {
    // Position of the mutual leakage of rotor windings (r, m), r < m.
    static constexpr int32_t kPair[6][6] = {{0}, {0}, {0, 0, 0, 7, 8, 9}, {0, 0, 0, 0, 10, 11}, {0, 0, 0, 0, 0, 12}};
    for (int32_t j = 1; j <= N; ++j)
        for (int32_t i = 1; i <= N; ++i) wm(M, i, j) = X[0] / WB;
    for (int32_t i = 1; i <= N; ++i) wm(M, i, i) += X[i] / WB;
    for (int32_t r = 2; r <= N; ++r)
        for (int32_t m = r + 1; m <= N; ++m) {
            const double x = X[kPair[r][m] - 1] / WB;
            wm(M, r, m) += x;
            wm(M, r, r) += x;
            wm(M, m, m) += x;
        }
    for (int32_t i = 1; i <= N; ++i)
        for (int32_t j = i + 1; j <= N; ++j) wm(M, j, i) = wm(M, i, j);
}

void INDUCMC_INV(const WindingMatrix& M, WindingMatrix& MINV, int32_t N) {
    auto& a = WORK.aug;
    const auto fail = [] {
        USERMSG(CURRENT_IDS.id1, CURRENT_IDS.id2, 2, 1, "Unable to find the inverse of the matrix");
        ABORT_RUN(INDUCMC_NAME, 0);
    };
    for (int32_t i = 0; i < N; ++i)
        for (int32_t j = 0; j < N; ++j) {
            a[i][j] = wm(M, i + 1, j + 1);
            a[i][N + j] = i == j ? 1.0 : 0.0;
        }
    for (int32_t i = 0; i < N; ++i) {
        if (std::fabs(a[i][i]) <= 1e-20) {
            if (i == N - 1) fail();
            int32_t r = i + 1;
            while (r < N && std::fabs(a[r][i]) <= 1e-20) ++r;
            if (r == N) fail();
            for (int32_t c = i; c < 2 * N; ++c) std::swap(a[i][c], a[r][c]);
        }
        const double p = 1.0 / a[i][i];
        for (int32_t c = i + 1; c < 2 * N; ++c)
            if (std::fabs(a[i][c]) > 1e-20) a[i][c] *= p;
        for (int32_t r = 0; r < N; ++r) {
            if (r == i) continue;
            for (int32_t c = i + 1; c < 2 * N; ++c) a[r][c] -= a[r][i] * a[i][c];
        }
    }
    for (int32_t i = 0; i < N; ++i)
        for (int32_t j = 0; j < N; ++j) wm(MINV, i + 1, j + 1) = a[i][N + j];
}

void INDUCMC_MSAV(WindingMatrix& M, int32_t OFF, int32_t DIR, int32_t N) {
    FArray1<double>& stor = STORAGE.STOR;
    int32_t p = POINTER_BLOCK.NEXC + OFF;
    for (int32_t i = 1; i <= N; ++i)
        for (int32_t j = 1; j <= N; ++j) {
            ++p;
            if (DIR > 0)
                stor(p) = wm(M, i, j);
            else
                wm(M, i, j) = stor(p);
        }
}

void INDUCMC_INTG(const double* R, double XLS, const WindingMatrix& GAMMA, double* PSID, double* PSIQ, double& PSI0,
                  const double* DPSID, const double* DPSIQ, double DPSI0, double SPEED, const double* VDQ0, double WB,
                  double VRD, double VRQ, int32_t N) {
    MachineWork& w = WORK;
    const double dt = RUN_CLOCK.DELT;
    for (int32_t i = 0; i < N; ++i) {
        w.pd[i] = PSID[i] + dt * DPSID[i];
        w.pq[i] = PSIQ[i] + dt * DPSIQ[i];
    }
    const double p0 = PSI0 + dt * DPSI0;
    for (int32_t i = 0; i < N; ++i) {
        double sd = 0.0, sq = 0.0;
        for (int32_t j = 0; j < N; ++j) {
            sd += wm(GAMMA, i + 1, j + 1) * w.pd[j];
            sq += wm(GAMMA, i + 1, j + 1) * w.pq[j];
        }
        w.id[i] = sd;
        w.iq[i] = sq;
    }
    const double i0 = p0 * WB / XLS;
    for (int32_t i = 0; i < N; ++i) {
        w.ed[i] = -R[i] * w.id[i];
        w.eq[i] = -R[i] * w.iq[i];
    }
    w.ed[0] += -SPEED * WB * w.pq[0] + VDQ0[0];
    w.eq[0] += SPEED * WB * w.pd[0] + VDQ0[1];
    if (N >= 2) {
        w.ed[1] += VRD;
        w.eq[1] += VRQ;
    }
    const double e0 = VDQ0[2] - R[0] * i0;
    for (int32_t i = 0; i < N; ++i) {
        PSID[i] += 0.5 * (DPSID[i] + w.ed[i]) * dt;
        PSIQ[i] += 0.5 * (DPSIQ[i] + w.eq[i]) * dt;
    }
    PSI0 += 0.5 * dt * (DPSI0 + e0);
}
