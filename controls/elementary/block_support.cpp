#include "controls/elementary/block_support.h"

#include "controls/block_slots.h"
#include "engine/abort.h"
#include "engine/run_state.h"
#include "platform/fixed_text.h"
#include "platform/logical.h"

bool time_due(double when) { return when <= RUN_CLOCK.TIME + 1.0e-4 * RUN_CLOCK.DELT; }

bool time_left_due(double left) { return left <= 1.0e-4 * RUN_CLOCK.DELT; }

void block_data_error(std::string_view name, std::string_view text) {
    USERMSG(CURRENT_IDS.id1, CURRENT_IDS.id2, 2, 1, text);
    ABORT_RUN(Text12(name), 0);
}

void check_ring_room(int32_t n, int64_t room, std::string_view name) {
    if (n > room) block_data_error(name, "The delay needs more samples than its store can hold.");
}

int32_t ring_position(double stored, int32_t first, int32_t last, std::string_view name) {
    const int32_t i = nint(stored);
    if (i < first || i > last) block_data_error(name, "The stored position of the delay buffer lies outside the buffer.");
    return i;
}

double limit_rate(double last, double X, double up, double down) {
    const double d = X - last;
    if (d >= 0.0) return d > up ? last + up : X;
    return -d > down ? last - down : X;
}

void store_constants(std::initializer_list<double> values) {
    const BlockSlots s = take_slots({.rtcf = static_cast<int32_t>(values.size())});
    int32_t k = 0;
    for (double v : values) s.RF(k++) = v;
}
