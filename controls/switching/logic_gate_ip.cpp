#include <algorithm>

#include "controls/block_slots.h"
#include "controls/switching/switching_blocks.h"
#include "engine/abort.h"
#include "engine/messages.h"
#include "engine/run_state.h"

namespace {
constexpr int32_t kMostInputs = 9;
}

void LOGIC_GATE_IP(int32_t mode, int32_t N, const double* inputs, INTERP_PAIR& result) {
    const BlockSlots s = take_slots({.stori = 1 + kMostInputs});
    if (N > kMostInputs) {
        USERMSG(CURRENT_IDS.id1, CURRENT_IDS.id2, 2, 1, "LOGIC GATE - No more than 9 inputs are allowed.");
        ABORT_RUN("LOGIC_GATE_I", 0);
    }
    const double DELT = RUN_CLOCK.DELT;
    const int32_t last = s.I(0);
    result = {static_cast<double>(last), 0.0};
    int32_t level[kMostInputs];
    bool any_changed = false, any_zero = false, any_set = false;
    int32_t n_changed = 0;
    double least = DELT, most = 0.0;  // times of the changed inputs
    for (int32_t i = 0; i < N; ++i) {
        level[i] = nint(inputs[i]);
        any_zero = any_zero || level[i] == 0;
        any_set = any_set || level[i] != 0;
        if (level[i] == s.I(1 + i)) continue;
        any_changed = true;
        ++n_changed;
        least = std::min(least, inputs[kMostInputs + i]);
        most = std::max(most, inputs[kMostInputs + i]);
    }
    if (!any_changed) return;
    if (mode == 0 || mode == 1) {
        const bool is_and = mode == 0;
        result.value = is_and ? (any_zero ? 0.0 : 1.0) : (any_set ? 1.0 : 0.0);
        const int32_t now = nint(result.value);
        // A falling AND or a rising OR follows the first of the changes
        // (the most time before the end), a rising AND or a falling OR the last.
        if (now < last)
            result.time = is_and ? most : least;
        else if (now > last)
            result.time = is_and ? least : most;
    } else if (mode == 2) {
        if (n_changed % 2 == 1) {
            result.value = 1.0 - last;
            result.time = least;
        }
    }
    s.I(0) = nint(result.value);
    for (int32_t i = 0; i < N; ++i) s.I(1 + i) = level[i];
}
