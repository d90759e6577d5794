#include "models/svc/svc_matrices.h"

#include <cstdint>

#include "network/dense_matrix.h"

void svc_windings(double LP, double LD, double LY, double MPD, double MPY, double MYD, double (&L)[9][9]) {
    for (auto& row : L)
        for (double& x : row) x = 0.0;
    for (int i = 0; i < 3; ++i) {
        L[i][i] = LP;
        L[i + 3][i + 3] = LD;
        L[i + 6][i + 6] = LY;
        L[i][i + 3] = L[i + 3][i] = MPD;
        L[i][i + 6] = L[i + 6][i] = MPY;
        L[i + 3][i + 6] = L[i + 6][i + 3] = MYD;
    }
}

bool svc_matrices(const double (&L)[9][9], double Lt, SvcCircuit& c) {
    // The reduced matrix, by columns for the matrix routines.
    double Lr[64], G[64], W[64], E[32]{}, F[32];
    int32_t lp[8], mp[8];
    for (int a = 0; a < 8; ++a) {
        for (int b = 0; b < 8; ++b) {
            double x = L[a][b];
            if (b >= 6) x -= L[a][8];
            if (a >= 6) x -= L[8][b];
            if (a >= 6 && b >= 6) x += L[8][8];
            Lr[a + 8 * b] = x;
        }
        c.r[a] = a < 6 ? L[8][a] : L[8][a] - L[8][8];
    }
    if (MATINV(Lr, G, 8, 64, W, lp, mp) != 0) return false;
    // Bank voltages u1, u2 across the delta phases a and b; u3, u4 between
    // the star terminals b-a and c-b.
    auto e = [&E](int row, int col) -> double& { return E[(row - 1) + 8 * (col - 1)]; };
    e(4, 1) = 1.0;
    e(6, 1) = -1.0;
    e(5, 2) = 1.0;
    e(6, 2) = -1.0;
    e(7, 3) = -1.0;
    e(7, 4) = -1.0;
    e(8, 4) = -1.0;
    MATMULS(G, E, 8, 8, 4, F, 1.0);
    for (int i = 0; i < 8; ++i) {
        for (int j = 0; j < 8; ++j) c.G[i][j] = G[i + 8 * j];
        for (int j = 0; j < 4; ++j) c.F[i][j] = F[i + 8 * j];
    }
    const double y = 1.0 / Lt;
    c.B[0][0] = y;
    c.B[0][1] = 0.0;
    c.B[1][0] = 0.0;
    c.B[1][1] = y;
    c.B[2][0] = -y;
    c.B[2][1] = -y;
    return true;
}
