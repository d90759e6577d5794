// Module Filter_L called on its own place in the case's tree, after a
// first step of the whole case: the given and the derived filter.
#include "case/modules.h"
#include "case/tests/case_support.h"
#include "network/network_tables.h"

namespace {

// Global branches of the filter: L2 51-53, Rd 54-56, Ca 57-59, Cb 60-62.
struct FilterCase {
    const char* name;
    int32_t sel;
    double lconv;
    double l2, rd, ca_uf, cb_uf;
};
void PrintTo(const FilterCase& c, std::ostream* os) { *os << c.name; }


class FilterValues : public CaseTest, public testing::WithParamInterface<FilterCase> {
protected:
    // The pointers as the tree leaves them on the filter's entry; the
    // branch setter's two words per call and the four selectors from
    // untouched parts of STORF and RTCI.
    static Captured call_filter(int32_t sel, double lconv) {
        return capture([&] {
            RESETPTRS();
            PointerBlock& p = POINTER_BLOCK;
            p.NTXFR = 15;
            p.NINST = 16;
            p.NSUBS = 7;
            STORAGE.NBRCH(1) = 50;
            p.NSTOI = STORAGE.TXFR(16, 2);
            p.NSTOF = STORAGE.TXFR(16, 3);
            p.NSTORF = 1;
            p.NRTCI = STORAGE.RTCI.extent(1) - 3;
            Filter_L_DSD(sel, 6.75e-05, 1400.0, 157.0, 4.8, 1080.0, lconv);
        });
    }
};

TEST_P(FilterValues, OnItsBranches) {
    const FilterCase& c = GetParam();
    ASSERT_FALSE(begin_passes().aborted);
    ASSERT_FALSE(step(0).aborted);
    const Captured r = call_filter(c.sel, c.lconv);
    ASSERT_FALSE(r.aborted) << r.out;
    const double dt = RUN_CLOCK.DELT;
    const int32_t stof = STORAGE.TXFR(16, 3);
    const double want[] = {c.cb_uf, c.l2, c.ca_uf, c.rd};
    for (int32_t j = 0; j < 4; ++j) EXPECT_NEAR(STORAGE.STOF(stof + 7 + j), want[j], 1e-12 * want[j]) << j;
    for (int32_t k = 0; k < 3; ++k) {
        EXPECT_NEAR(NET.BRANCH_L(51 + k, 1), c.l2, 1e-12 * c.l2);
        EXPECT_NEAR(NET.GEQ(51 + k, 1), dt / (2.0 * c.l2), 1e-9 * dt / c.l2);
        EXPECT_NEAR(NET.BRANCH_R(54 + k, 1), c.rd, 1e-12 * c.rd);
        EXPECT_NEAR(NET.GEQ(54 + k, 1), 1.0 / c.rd, 1e-9 / c.rd);
        EXPECT_NEAR(NET.BRANCH_C(57 + k, 1), 1e-6 * c.ca_uf, 1e-18 * c.ca_uf);
        EXPECT_NEAR(NET.GEQ(57 + k, 1), 2e-6 * c.ca_uf / dt, 1e-9 * c.ca_uf / dt);
        EXPECT_NEAR(NET.BRANCH_C(60 + k, 1), 1e-6 * c.cb_uf, 1e-18 * c.cb_uf);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Case, FilterValues,
    testing::Values(FilterCase{"Derived", 1, 1.80413496204884e-4, 9.02067481024421e-4, 3.87144101315871,
                               60.1857579136245, 120.371515827249},
                    FilterCase{"Given", 0, 1.80413496204884e-4, 6.75e-05, 4.8, 157.0, 1400.0}),
    [](const auto& i) { return std::string(i.param.name); });

// No coupling inductance: the guarded division gives a huge capacitance,
// and the zero L2 and Rd go to the branch setter as values it handles.
TEST_F(FilterValues, ZeroCouplingInductance) {
    ASSERT_FALSE(begin_passes().aborted);
    ASSERT_FALSE(step(0).aborted);
    const Captured r = call_filter(1, 0.0);
    ASSERT_FALSE(r.aborted) << r.out;
    const int32_t stof = STORAGE.TXFR(16, 3);
    EXPECT_EQ(STORAGE.STOF(stof + 17), 1e100);
    EXPECT_EQ(STORAGE.STOF(stof + 16), 1e106);
    EXPECT_EQ(STORAGE.STOF(stof + 12), 0.0);
    EXPECT_EQ(STORAGE.STOF(stof + 10), 0.0);
    EXPECT_EQ(STORAGE.STOF(stof + 8), 0.0);
}

}  // namespace
