// Mutually coupled R-L branches entered as transformers: groups of three
// branches with equal self and equal mutual values.
#include "models/transformers/companion_matrices.h"
#include "models/transformers/transformers.h"
#include "models/xfmr_tables.h"

namespace {

struct Group {
    double rs, xs, rm, xm;  // self and mutual within the group
};

// Branches 1-3 form group a, 4-6 group b, coupled by (r12, x12).
void coupled(const Text12& name, int32_t k, int32_t form, int32_t n, const Group& a, const Group& b, double r12,
             double x12) {
    xfmr_check_model(name, k, n, false);
    FArray2<double>& rl = XFMR_TABLES.XF_RLIN;
    for (int32_t i = 1; i <= n; ++i)
        for (int32_t j = 1; j <= i; ++j) {
            const Group& g = i <= 3 ? a : b;
            const bool across = (i <= 3) != (j <= 3);
            rl(2 * j - 1, i) = across ? r12 : j == i ? g.rs : g.rm;
            rl(2 * j, i) = across ? x12 : j == i ? g.xs : g.xm;
        }
    TRANSFORMER(k, form);
}

}  // namespace

void MUT3PH(int32_t& k, int32_t& form, double& rs, double& xs, double& rm, double& xm) {
    const Group g{rs, xs, rm, xm};
    coupled("MUT3PH      ", k, form, 3, g, g, 0.0, 0.0);
}

void MUT6PH(int32_t& k, int32_t& form, double& r1s, double& x1s, double& r1m, double& x1m, double& r2s,
            double& x2s, double& r2m, double& x2m, double& r12, double& x12) {
    coupled("MUT6PH      ", k, form, 6, {r1s, x1s, r1m, x1m}, {r2s, x2s, r2m, x2m}, r12, x12);
}
