// Coupled R-L branches entered as transformers.
#include "models/tests/xfmr_model_support.h"

namespace {

using Coupled = ModelTest;

TEST_F(Coupled, UncoupledBranchesHaveTheirOwnConductance) {
    declare({3});
    int32_t k = 1, form = 2;
    double rs = 2.0, xs = 0.01, rm = 0.0, xm = 0.0;
    MUT3PH(k, form, rs, xs, rm, xm);
    for (int32_t i = 1; i <= 3; ++i)
        for (int32_t j = 1; j <= 3; ++j)
            EXPECT_NEAR(G(i, j), i == j ? 1.0 / (2.0 + 2.0 * 0.01 / 50e-6) : 0.0, 1e-15);
}

TEST_F(Coupled, SixBranchesWithoutCouplingAreTwoGroupsOfThree) {
    declare({6, 3, 3});
    int32_t k = 1, form = 2;
    double r1s = 1.0, x1s = 0.1, r1m = 0.1, x1m = 0.05, r2s = 2.0, x2s = 0.2, r2m = 0.3, x2m = 0.08, z = 0.0;
    MUT6PH(k, form, r1s, x1s, r1m, x1m, r2s, x2s, r2m, x2m, z, z);
    k = 2;
    MUT3PH(k, form, r1s, x1s, r1m, x1m);
    k = 3;
    MUT3PH(k, form, r2s, x2s, r2m, x2m);
    for (int32_t i = 1; i <= 6; ++i)
        for (int32_t j = 1; j <= 6; ++j) {
            const bool same = (i <= 3) == (j <= 3);
            const int32_t g = i <= 3 ? 2 : 3, a = (i - 1) % 3 + 1, b = (j - 1) % 3 + 1;
            EXPECT_NEAR(G(i, j), same ? G(a, b, g) : 0.0, 1e-12 * G(1, 1, 2)) << i << "," << j;
        }
}

}  // namespace
