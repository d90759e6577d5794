// The clamp, the zero-crossing detectors and the slot hand-out that every
// block relies on.
#include <cmath>
#include <limits>

#include "controls/limit_value.h"
#include "controls/tests/slot_discipline.h"
#include "controls/zero_cross.h"
#include "engine/pointer_block.h"
#include "engine/run_state.h"

namespace {

struct ClampCase {
    const char* name;
    double lower, upper, x, expected;
};
void PrintTo(const ClampCase& c, std::ostream* os) { *os << c.name; }

class LimitValue : public ::testing::TestWithParam<ClampCase> {};

TEST_P(LimitValue, ClampsWithUpperWinningWhenBoundsCross) {
    const ClampCase& c = GetParam();
    EXPECT_EQ(LIMIT_VALUE(c.lower, c.upper, c.x), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, LimitValue,
                         ::testing::Values(ClampCase{"CrossedAbove", 2, 1, 5, 1},
                                           ClampCase{"CrossedBetween", 2, 1, 1.5, 1},
                                           ClampCase{"CrossedBelow", 2, 1, 0.5, 2}, ClampCase{"Inside", 0, 1, 0.5, 0.5},
                                           ClampCase{"Above", 0, 1, 3, 1}, ClampCase{"Below", 0, 1, -3, 0}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(LimitValueNaN, PassesThrough) {
    EXPECT_TRUE(std::isnan(LIMIT_VALUE(0.0, 1.0, std::numeric_limits<double>::quiet_NaN())));
}

struct CrossCase {
    const char* name;
    double prev, x, delt, value, time;
};
void PrintTo(const CrossCase& c, std::ostream* os) { *os << c.name; }

class ZeroCross : public ::testing::TestWithParam<CrossCase> {
protected:
    void SetUp() override { reset_block_stores(); }
};

TEST_P(ZeroCross, ReportsDirectionAndInstantOnBothStores) {
    const CrossCase& c = GetParam();
    RUN_CLOCK.DELT = c.delt;
    STORAGE.STOR(kStartSlots.stor) = c.prev;
    STORAGE.STORF(kStartSlots.storf) = c.prev;
    INTERP_PAIR a{9, 9}, b{9, 9};
    ZERO_CROSS(c.x, a);
    ZERO_CROSS_F(c.x, b);
    EXPECT_EQ(a.value, c.value);
    EXPECT_DOUBLE_EQ(a.time, c.time);
    EXPECT_EQ(b.value, a.value);
    EXPECT_EQ(b.time, a.time);
    EXPECT_EQ(STORAGE.STOR(kStartSlots.stor), c.x);
    EXPECT_EQ(STORAGE.STORF(kStartSlots.storf), c.x);
}

INSTANTIATE_TEST_SUITE_P(Cases, ZeroCross,
                         ::testing::Values(CrossCase{"RisingHalfway", -1, 1, 1e-6, 1, 0.5e-6},
                                           CrossCase{"RisingToZero", -1, 0, 1e-6, 1, 0},
                                           CrossCase{"LeavingZero", 0, 1, 1e-6, 0, 0},
                                           CrossCase{"FallingQuarter", 3, -1, 1e-6, -1, 0.25e-6},
                                           CrossCase{"FallingTinyStep", 1e-31, -1e-31, 1e-6, -1, 0.5e-6},
                                           CrossCase{"NoSignChange", 2, 1, 1e-6, 0, 0}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(BlockTest, FirstStepReportsNothingAndTheNextMeasuresFromIt) {
    STORAGE.STORF(kStartSlots.storf) = -5.0;
    set_first_step(true);
    INTERP_PAIR r{7, 7};
    ZERO_CROSS_F(2.0, r);
    EXPECT_EQ(r.value, 0.0);
    EXPECT_EQ(r.time, 0.0);
    set_first_step(false);
    POINTER_BLOCK.NSTORF = kStartSlots.storf;
    ZERO_CROSS_F(-2.0, r);
    EXPECT_EQ(r.value, -1.0);
    EXPECT_DOUBLE_EQ(r.time, 0.5 * kDelt);
}

TEST_F(BlockTest, SlotsPastTheStoreEndAreCountedNotWritten) {
    POINTER_BLOCK.NSTORF = kStoreSize;
    const BlockSlots s = take_slots({.storf = 2});
    s.F(0) = 1.0;
    s.F(1) = 2.0;
    EXPECT_EQ(POINTER_BLOCK.NSTORF, kStoreSize + 2);
    EXPECT_EQ(STORAGE.STORF(kStoreSize), 1.0);
    EXPECT_EQ(array_overrun_count(), 1);
}

TEST_F(BlockTest, BlockCalledOnEvenStepsOnlyStopsTheRun) {
    INTERP_PAIR r;
    const Captured steady = run_checked_passes(4, [&](int) { ZERO_CROSS_F(1.0, r); });
    EXPECT_FALSE(steady.aborted) << steady.out;
    reset_block_stores();
    const Captured c = run_checked_passes(4, [&](int step) {
        ZERO_CROSS_F(1.0, r);
        if (step % 2 == 0) ZERO_CROSS(1.0, r);
    });
    EXPECT_TRUE(c.aborted);
    EXPECT_TRUE(contains(c.out, "ERROR: Storage Pointers have become Corrupt!")) << c.out;
}

std::vector<DisciplineRow> detector_rows() {
    std::vector<DisciplineRow> rows;
    for (const double prev : {-1.0, 0.0, 1.0}) {
        const std::string tag = prev < 0 ? "FromBelow" : prev > 0 ? "FromAbove" : "FromZero";
        rows.push_back({"ZERO_CROSS_" + tag,
                        {.stor = 1},
                        [] {
                            INTERP_PAIR r;
                            ZERO_CROSS(0.5, r);
                        },
                        [prev](const BlockSlots& s) { s.S(0) = prev; },
                        [](const BlockSlots& s, bool) { EXPECT_EQ(s.S(0), 0.5); }});
        rows.push_back({"ZERO_CROSS_F_" + tag,
                        {.storf = 1},
                        [] {
                            INTERP_PAIR r;
                            ZERO_CROSS_F(0.5, r);
                        },
                        [prev](const BlockSlots& s) { s.F(0) = prev; },
                        [](const BlockSlots& s, bool) { EXPECT_EQ(s.F(0), 0.5); }});
    }
    return rows;
}

INSTANTIATE_TEST_SUITE_P(Detectors, SlotDiscipline, ::testing::ValuesIn(detector_rows()), discipline_row_name);

}  // namespace
