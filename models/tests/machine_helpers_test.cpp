// The frame transformation and the winding-matrix helpers of the machines.
#include <gtest/gtest.h>

#include <cmath>

#include "engine/pointer_block.h"
#include "models/machines/machine_helpers.h"
#include "network/tests/solution_circuit.h"

namespace {

const double kX[12] = {3.0, 0.1, 0.11, 0.12, 0.13, 0.14, 0.01, 0.02, 0.03, 0.04, 0.05, 0.06};

TEST(Parktr, ThereAndBackKeepsValuesAndPower) {
    for (double th : {0.0, 0.7, 2.5, -4.0}) {
        double v[3] = {1.3, -0.4, 0.25}, i[3] = {0.2, 0.9, -1.7}, vd[3], id[3], back[3];
        PARKTR(v, vd, th, 1);
        PARKTR(i, id, th, 1);
        PARKTR(back, vd, th, 0);
        for (int k = 0; k < 3; ++k) EXPECT_NEAR(back[k], v[k], 1e-12);
        EXPECT_NEAR(v[0] * i[0] + v[1] * i[1] + v[2] * i[2],
                    1.5 * (vd[0] * id[0] + vd[1] * id[1]) + 3.0 * vd[2] * id[2], 1e-12);
    }
    double abc[3] = {1.0, 2.0, 4.0}, dq0[3];
    PARKTR(abc, dq0, 0.0, 1);
    EXPECT_NEAR(dq0[0], 2.0 / 3.0 * (1.0 - 1.0 - 2.0), 1e-12);
    EXPECT_NEAR(dq0[1], (4.0 - 2.0) / std::sqrt(3.0), 1e-12);
}

TEST(InductionMatrix, FourAndFiveWindings) {
    WindingMatrix m{};
    INDUCMC_LMAT(kX, 1.0, m, 4);
    const double diag4[4] = {3.1, 3.14, 3.17, 3.19};
    for (int i = 1; i <= 4; ++i)
        for (int j = 1; j <= 4; ++j) {
            double want = i == j ? diag4[i - 1] : 3.0;
            if ((i == 2 && j == 3) || (i == 3 && j == 2)) want = 3.01;
            if ((i == 2 && j == 4) || (i == 4 && j == 2)) want = 3.02;
            if ((i == 3 && j == 4) || (i == 4 && j == 3)) want = 3.04;
            EXPECT_NEAR(wm(m, i, j), want, 1e-14) << i << "," << j;
        }
    INDUCMC_LMAT(kX, 1.0, m, 5);
    const double diag5[5] = {3.1, 3.17, 3.22, 3.25, 3.28};
    for (int i = 1; i <= 5; ++i) EXPECT_NEAR(wm(m, i, i), diag5[i - 1], 1e-14);
    WindingMatrix inv{};
    INDUCMC_INV(m, inv, 5);
    EXPECT_NEAR(wm(inv, 1, 1), 5.701516233387151, 1e-9);
    EXPECT_NEAR(wm(inv, 5, 5), 3.7792615582971183, 1e-9);
}

class MachineStorage : public SolutionTest {
protected:
    void SetUp() override {
        SolutionTest::SetUp();
        allocate({{ND_NODES, 2}, {ND_SUBSYS, 1}, {ND_BRANCHES, 2}, {ND_SPARSITY, 20}, {ND_STOR, 100}});
        RUN_CLOCK.DELT = 50e-6;
        CURRENT_IDS = {1, 2};
    }
};

TEST_F(MachineStorage, InverseNeedsARowExchangeOrStops) {
    WindingMatrix m{}, inv{};
    wm(m, 1, 2) = wm(m, 2, 1) = wm(m, 2, 2) = 1.0;
    INDUCMC_INV(m, inv, 2);
    EXPECT_EQ(std::vector<double>({wm(inv, 1, 1), wm(inv, 1, 2), wm(inv, 2, 1), wm(inv, 2, 2)}),
              std::vector<double>({-1.0, 1.0, 1.0, 0.0}));
    wm(m, 1, 1) = 1.0;
    EXPECT_STOPS(INDUCMC_INV(m, inv, 2),
                 " ***ERROR** Unable to find the inverse of the matrix[           1 :           2 ]\n" +
                     abort_frame("INDUCMC"));
}

TEST_F(MachineStorage, SaveAndRestoreLeaveThePointer) {
    WindingMatrix m{}, back{};
    INDUCMC_LMAT(kX, 2.0, m, 3);
    POINTER_BLOCK.NEXC = 10;
    INDUCMC_MSAV(m, 5, 1, 3);
    EXPECT_EQ(STORAGE.STOR(16), wm(m, 1, 1));
    EXPECT_EQ(STORAGE.STOR(17), wm(m, 1, 2));
    INDUCMC_MSAV(back, 5, 0, 3);
    EXPECT_EQ(back, m);
    EXPECT_EQ(POINTER_BLOCK.NEXC, 10);
}

TEST_F(MachineStorage, IntegrationWithoutLossesOrSourcesStands) {
    WindingMatrix m{}, g{};
    INDUCMC_LMAT(kX, 1.0, m, 3);
    INDUCMC_INV(m, g, 3);
    const double r[3] = {}, zero[3] = {}, v[3] = {};
    double pd[3] = {0.1, 0.2, 0.3}, pq[3] = {-0.1, 0.4, 0.0}, p0 = 0.5;
    INDUCMC_INTG(r, 0.1, g, pd, pq, p0, zero, zero, 0.0, 0.0, v, 1.0, 0.0, 0.0, 3);
    EXPECT_EQ(std::vector<double>({pd[0], pd[1], pd[2], pq[0], pq[1], pq[2], p0}),
              std::vector<double>({0.1, 0.2, 0.3, -0.1, 0.4, 0.0, 0.5}));
}

}  // namespace
