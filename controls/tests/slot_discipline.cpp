#include "controls/tests/slot_discipline.h"

#include <cstring>

#include "engine/engine_reset.h"
#include "engine/pointer_block.h"
#include "engine/pointer_checks.h"
#include "engine/run_state.h"
#include "engine/storage.h"
#include "engine/time_step.h"
#include "platform/fortran_array.h"

namespace {

template <class T>
void fresh(FArray1<T>& a, T sentinel) {
    a.allocate(kStoreSize);
    a.fill(sentinel);
}

void place_pointers(const BlockSlots& s) {
    PointerBlock& p = POINTER_BLOCK;
    p.NEXC = s.stor - 1;
    p.NSTORF = s.storf;
    p.NSTORI = s.stori;
    p.NSTORL = s.storl;
    p.NRTCF = s.rtcf;
    p.NRTCI = s.rtci;
    p.NRTCL = s.rtcl;
}

bool same_bits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// Every element outside [first, first + count) still holds the sentinel.
template <class T>
void expect_untouched(const char* store, const FArray1<T>& a, int32_t first, int32_t count, T sentinel) {
    for (int32_t k = 1; k <= a.size(); ++k) {
        if (k >= first && k < first + count) continue;
        bool same;
        if constexpr (std::is_same_v<T, double>)
            same = same_bits(a(k), sentinel);
        else
            same = a(k) == sentinel;
        EXPECT_TRUE(same) << store << "(" << k << ") written outside the slots " << first << ".." << first + count - 1;
    }
}

}  // namespace

void reset_block_stores() {
    reset_all_engine_state();
    StorageArrays& S = STORAGE;
    fresh(S.STOR, kSentinelF);
    fresh(S.STORF, kSentinelF);
    fresh(S.STORI, kSentinelI);
    fresh(S.STORL, kSentinelI);
    fresh(S.RTCF, kSentinelF);
    fresh(S.RTCI, kSentinelI);
    fresh(S.RTCL, kSentinelI);
    place_pointers(kStartSlots);
    RUN_CLOCK.DELT = kDelt;
    RUN_CLOCK.NSTEP = 100;
    RUN_CLOCK.TIME = 100 * kDelt;
    set_first_step(false);
    reset_array_overrun_count();
}

void set_first_step(bool on) { RUN_FLAGS.FIRST_STEP_DATA = as_logical(on); }

void clear_block_stores() {
    StorageArrays& S = STORAGE;
    S.STOR.fill(0.0);
    S.STORF.fill(0.0);
    S.STORI.fill(0);
    S.STORL.fill(0);
    S.RTCF.fill(0.0);
    S.RTCI.fill(0);
    S.RTCL.fill(0);
}

void begin_step(int n) {
    place_pointers(kStartSlots);
    RUN_CLOCK.NSTEP = n;
    RUN_CLOCK.TIME = n * RUN_CLOCK.DELT;
    set_first_step(n == 0);
}

void expect_discipline(const DisciplineRow& row, bool first_step) {
    SCOPED_TRACE(row.name + (first_step ? " on the first step" : " on a later step"));
    reset_block_stores();
    set_first_step(first_step);
    const BlockSlots s = kStartSlots;
    if (row.prepare) row.prepare(s);
    row.call();
    const SlotCounts& n = row.counts;
    const PointerBlock& p = POINTER_BLOCK;
    EXPECT_EQ(p.NEXC, s.stor - 1 + n.stor) << "NEXC";
    EXPECT_EQ(p.NSTORF, s.storf + n.storf) << "NSTORF";
    EXPECT_EQ(p.NSTORI, s.stori + n.stori) << "NSTORI";
    EXPECT_EQ(p.NSTORL, s.storl + n.storl) << "NSTORL";
    EXPECT_EQ(p.NRTCF, s.rtcf + n.rtcf) << "NRTCF";
    EXPECT_EQ(p.NRTCI, s.rtci + n.rtci) << "NRTCI";
    EXPECT_EQ(p.NRTCL, s.rtcl + n.rtcl) << "NRTCL";
    const StorageArrays& S = STORAGE;
    expect_untouched("STOR", S.STOR, s.stor, n.stor, kSentinelF);
    expect_untouched("STORF", S.STORF, s.storf, n.storf, kSentinelF);
    expect_untouched("STORI", S.STORI, s.stori, n.stori, kSentinelI);
    expect_untouched("STORL", S.STORL, s.storl, n.storl, kSentinelI);
    expect_untouched("RTCF", S.RTCF, s.rtcf, n.rtcf, kSentinelF);
    expect_untouched("RTCI", S.RTCI, s.rtci, n.rtci, kSentinelI);
    expect_untouched("RTCL", S.RTCL, s.rtcl, n.rtcl, kSentinelI);
    EXPECT_EQ(array_overrun_count(), 0) << "a store was indexed outside its extent";
    if (row.check) row.check(s, first_step);
}

void SlotState::place(const BlockSlots& s) const {
    for (size_t k = 0; k < F.size(); ++k) s.F(static_cast<int32_t>(k)) = F[k];
    for (size_t k = 0; k < S.size(); ++k) s.S(static_cast<int32_t>(k)) = S[k];
    for (size_t k = 0; k < RF.size(); ++k) s.RF(static_cast<int32_t>(k)) = RF[k];
    for (size_t k = 0; k < I.size(); ++k) s.I(static_cast<int32_t>(k)) = I[k];
    for (size_t k = 0; k < RI.size(); ++k) s.RI(static_cast<int32_t>(k)) = RI[k];
}

void add_flag_rows(std::vector<DisciplineRow>& rows, const std::string& block, SlotCounts counts, int n_flags,
                   const std::vector<SlotState>& states, const std::function<void(const FlagSet&, size_t)>& call) {
    const std::vector<int32_t>& values = flag_values();
    size_t combos = 1;
    for (int k = 0; k < n_flags; ++k) combos *= values.size();
    for (size_t c = 0; c < combos; ++c) {
        FlagSet flags;
        std::string name = block;
        for (size_t rest = c, k = 0; k < static_cast<size_t>(n_flags); ++k, rest /= values.size()) {
            flags.push_back(values[rest % values.size()]);
            name += "_f" + flag_name(flags.back());
        }
        for (size_t i = 0; i < states.size(); ++i) {
            const SlotState state = states[i];
            rows.push_back({name + "_" + state.name, counts, [call, flags, i] { call(flags, i); },
                            [state](const BlockSlots& s) { state.place(s); }});
        }
    }
}

Captured run_checked_passes(int steps, const std::function<void(int step)>& module) {
    return capture([&] {
        for (int step = 1; step <= steps; ++step) {
            RUN_CLOCK.NSTEP = step;
            RUN_CLOCK.TIME = step * RUN_CLOCK.DELT;
            set_first_step(step == 1);
            RESETPTRS();
            module(step);
            CHKNEXC();
            CHKNRTC();
        }
    });
}

TEST_P(SlotDiscipline, AdvancesByItsCountsAndWritesOnlyItsSlots) {
    expect_discipline(GetParam(), true);
    expect_discipline(GetParam(), false);
}
