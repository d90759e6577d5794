// Module VSCandCtrl in the case's tree: the converter's constants from its
// ratings, on its branches and passed down to the filter.
#include "case/tests/case_support.h"
#include "network/network_tables.h"

namespace {

class VscModule : public CaseTest {
protected:
    static int32_t stof(int32_t row) { return STORAGE.TXFR(row, 3); }
};

TEST_F(VscModule, ConstantsFromTheRatings) {
    ASSERT_FALSE(begin_passes().aborted);
    ASSERT_FALSE(step(0).aborted);
    const int32_t v = stof(8);
    struct Slot {
        int32_t slot;
        double value;
    };
    for (const Slot s : {Slot{80, 1.36028571428571}, Slot{64, 3.60826992409768e-3}, Slot{84, 1.80413496204884e-4},
                         Slot{85, 9750.09278200717}, Slot{68, 1.25196142408918}})
        EXPECT_NEAR(STORAGE.STOF(v + s.slot), s.value, 1e-14 * s.value) << s.slot;
    for (int32_t b = 45; b <= 47; ++b) EXPECT_DOUBLE_EQ(NET.BRANCH_L(b, 1), STORAGE.STOF(v + 84)) << b;
    EXPECT_DOUBLE_EQ(NET.BRANCH_C(40, 1), 1e-6 * STORAGE.STOF(v + 85));
    const int32_t filter = stof(16);
    const double cb_l2_ca_rd[] = {120.371515827249, 9.02067481024421e-4, 60.1857579136245, 3.87144101315871};
    for (int32_t j = 0; j < 4; ++j)
        EXPECT_NEAR(STORAGE.STOF(filter + 7 + j), cb_l2_ca_rd[j], 1e-13 * cb_l2_ca_rd[j]) << j;
}

// Channels 36-58: 10-12 = 18-20 and 13-15 = 21-23; 13-15 show the
// previous output pass's currents, zero in the first step.
TEST_F(VscModule, ChannelCopies) {
    ASSERT_FALSE(begin_passes().aborted);
    ASSERT_FALSE(step(0).aborted);
    for (int32_t k = 0; k < 3; ++k) EXPECT_EQ(STORAGE.PGB(35 + 13 + k), 0.0);
    NET.CBR(45, 1) = 0.25;
    for (int32_t n = 1; n < 3; ++n) {
        ASSERT_FALSE(step(n).aborted);
        for (int32_t k = 0; k < 3; ++k) {
            EXPECT_EQ(STORAGE.PGB(35 + 10 + k), STORAGE.PGB(35 + 18 + k));
            EXPECT_EQ(STORAGE.PGB(35 + 13 + k), STORAGE.PGB(35 + 21 + k));
        }
    }
    EXPECT_EQ(STORAGE.PGB(35 + 13), 0.25);
}

}  // namespace
