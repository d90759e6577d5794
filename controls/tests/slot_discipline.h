// Shared set-up of the control-block tests: small stores filled with
// sentinels, pointers placed away from the stores' starts, and the
// table-driven check that a call moves every pointer by exactly its
// block's counts and writes nothing outside its slots.
//
// A block family adds its rows with
//   INSTANTIATE_TEST_SUITE_P(Family, SlotDiscipline,
//                            ::testing::ValuesIn(family_rows()), discipline_row_name);
// Each row runs once with FIRST_STEP_DATA on and once with it off.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "controls/block_slots.h"
#include "controls/interp_pair.h"
#include "platform/tests/support/capture.h"

inline constexpr double kSentinelF = -8.125e300;
inline constexpr int32_t kSentinelI = 0x5A5A5A5A;
inline constexpr int32_t kStoreSize = 128;
// Where the pointers stand before the call under test.
inline constexpr BlockSlots kStartSlots{17, 21, 13, 9, 11, 7, 5};
inline constexpr double kDelt = 50e-6;

// Fresh stores and pointers, the clock at step 100 of a 50 µs run.
void reset_block_stores();
void set_first_step(bool on);
// Every store cleared to 0, as a run from data starts.
void clear_block_stores();
// Step n of a run whose blocks all start at the test pointers: the clock at
// n steps, FIRST_STEP_DATA on step 0 only, the pointers back at the start.
void begin_step(int n);
// The slots a call starting at the test pointers is given.
inline BlockSlots start_slots() { return kStartSlots; }

struct DisciplineRow {
    std::string name;  // letters, digits and '_' only
    SlotCounts counts;
    std::function<void()> call;
    // Optional: state placed in the slots before the call (the stores hold
    // sentinels otherwise), and what the slots must hold after it.
    std::function<void(const BlockSlots&)> prepare = {};
    std::function<void(const BlockSlots&, bool first_step)> check = {};
};

inline void PrintTo(const DisciplineRow& row, std::ostream* os) { *os << row.name; }

inline std::string discipline_row_name(const ::testing::TestParamInfo<DisciplineRow>& info) { return info.param.name; }

// The values tried for every INTEGER flag and mode: off, on, other.
inline const std::vector<int32_t>& flag_values() {
    static const std::vector<int32_t> v{0, 1, 2};
    return v;
}
inline std::string flag_name(int32_t v) { return v == 0 ? "0" : v == 1 ? "1" : "other"; }

class BlockTest : public ::testing::Test {
protected:
    void SetUp() override { reset_block_stores(); }
};

// The stores cleared as at the start of a run from data.
class RunBlockTest : public BlockTest {
protected:
    void SetUp() override {
        BlockTest::SetUp();
        clear_block_stores();
    }
};

class SlotDiscipline : public ::testing::TestWithParam<DisciplineRow> {
protected:
    void SetUp() override { reset_block_stores(); }
};

// The results of a block called on steps first..last as begin_step sets them.
inline std::vector<INTERP_PAIR> over_steps(int first, int last, const std::function<INTERP_PAIR(int n)>& call) {
    std::vector<INTERP_PAIR> out;
    for (int n = first; n <= last; ++n) {
        begin_step(n);
        out.push_back(call(n));
    }
    return out;
}
inline std::vector<double> values_of(const std::vector<INTERP_PAIR>& v) {
    std::vector<double> out;
    for (const INTERP_PAIR& p : v) out.push_back(p.value);
    return out;
}
// Times in steps.
inline std::vector<double> times_of(const std::vector<INTERP_PAIR>& v) {
    std::vector<double> out;
    for (const INTERP_PAIR& p : v) out.push_back(std::round(p.time / kDelt * 1e9) / 1e9);
    return out;
}

// A state placed in a block's slots (offsets from 0 in each store) before
// a discipline call, and its name.
struct SlotState {
    std::string name;
    std::vector<double> F = {}, S = {}, RF = {};
    std::vector<int32_t> I = {}, RI = {};
    void place(const BlockSlots& s) const;
};

using FlagSet = std::vector<int32_t>;
// Adds a row for every combination of n_flags INTEGER arguments from
// flag_values() in every state; call(flags, state index) calls the block.
void add_flag_rows(std::vector<DisciplineRow>& rows, const std::string& block, SlotCounts counts, int n_flags,
                   const std::vector<SlotState>& states, const std::function<void(const FlagSet&, size_t)>& call);

// Runs `steps` dynamic passes of a module as the run loop does: pointers
// reset before each, FIRST_STEP_DATA on the first, the pointer checks after
// each. Returns what was printed and whether the run was stopped.
Captured run_checked_passes(int steps, const std::function<void(int step)>& module);

// Runs the row once with the given first-step flag and reports every
// pointer that moved wrongly and every write outside the slots.
void expect_discipline(const DisciplineRow& row, bool first_step);
