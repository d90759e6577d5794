// The checked 1-based arrays: first index fastest, and every subscript
// outside its extent lands on the spare element and is counted, whatever
// its sign or size.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <numeric>

#include "platform/fortran_array.h"

namespace {

class FortranArray : public testing::Test {
protected:
    void SetUp() override { reset_array_overrun_count(); }
    void TearDown() override { reset_array_overrun_count(); }
};

TEST_F(FortranArray, FirstIndexFastest) {
    FArray<int32_t, 3> a;
    a.allocate(2, 3, 4);
    std::iota(a.data(), a.data() + a.size(), 0);
    EXPECT_EQ(a(1, 1, 1), 0);
    EXPECT_EQ(a(2, 1, 1), 1);
    EXPECT_EQ(a(1, 2, 1), 2);
    EXPECT_EQ(a(1, 1, 2), 6);
    EXPECT_EQ(a(2, 3, 4), 23);
    EXPECT_EQ(a.flat(24), 23);
    // The offset of every subscript is where the checked access lands.
    for (int32_t k = 1; k <= 4; ++k)
        for (int32_t j = 1; j <= 3; ++j)
            for (int32_t i = 1; i <= 2; ++i) EXPECT_EQ(a.data() + a.offset(i, j, k), &a(i, j, k));
    EXPECT_EQ(array_overrun_count(), 0);
}

TEST_F(FortranArray, SubscriptsOutsideLandOnTheSpare) {
    FArray2<double> a;
    a.allocate(3, 2);
    a.fill(7.0);
    const int64_t huge = std::numeric_limits<int64_t>::max(), lowest = std::numeric_limits<int64_t>::min();
    const int64_t bad[][2] = {{0, 1}, {4, 1}, {1, 0}, {1, 3}, {-1, 1}, {huge, 1}, {lowest, 1}, {1, lowest}};
    for (const auto& ix : bad) {
        double& x = a(ix[0], ix[1]);
        EXPECT_EQ(x, 0.0) << ix[0] << ", " << ix[1];
        x = 5.0;  // a write there touches no element
    }
    EXPECT_EQ(array_overrun_count(), 8);
    for (int64_t k = 1; k <= 6; ++k) EXPECT_EQ(a.flat(k), 7.0);
    EXPECT_EQ(a.flat(0), 0.0);
    EXPECT_EQ(a.flat(7), 0.0);
    EXPECT_EQ(array_overrun_count(), 10);
}

TEST_F(FortranArray, NegativeOrFreedExtentsHoldNothing) {
    FArray2<int32_t> a;
    a.allocate(-3, 2);
    EXPECT_EQ(a.extent(1), -3);
    EXPECT_EQ(a.size(), 0);
    EXPECT_EQ(a(1, 1), 0);
    EXPECT_FALSE(a.in_range(1, 1));
    FArray1<int32_t> b;
    b.allocate(4);
    b(4) = 9;
    b.free();
    EXPECT_EQ(b(1), 0);
    FArray1<int32_t> never;
    EXPECT_EQ(never(1), 0);
    EXPECT_EQ(array_overrun_count(), 3);
}

}  // namespace
