#include "controls/block_slots.h"
#include "controls/interpolating/interpolating_blocks.h"
#include "engine/run_state.h"

namespace {

struct FlipflopSettings {
    int32_t edge_mode, type, flag, initial_output;
};

int32_t next_q(int32_t type, int32_t q, bool j, bool k) {
    const int32_t toggled = q == 0 ? 1 : 0;
    switch (type) {
        case 0:
            return j ? (k ? toggled : 1) : (k ? 0 : q);
        case 1:
            return j ? (k ? q : 1) : (k ? 0 : q);
        case 2:
            return j && !k ? 1 : 0;
        case 3:
            return j ? (k ? 0 : toggled) : (k ? 0 : q);
        default:
            return q;
    }
}

// STORI +0 Q, +1 the last clock, +2 the last J, +3 the last K.
void flipflop(const FlipflopSettings& p, const BlockSlots& s, const INTERP_PAIR& J, const INTERP_PAIR& K,
              const INTERP_PAIR& clock, INTERP_PAIR& output) {
    int32_t& q = s.I(0);
    int32_t& last_clock = s.I(1);
    int32_t& last_j = s.I(2);
    int32_t& last_k = s.I(3);
    const int32_t c = nint(clock.value), j = nint(J.value), k = nint(K.value);
    const double jt = J.time, kt = K.time, ct = clock.time;
    if (first_step_data()) {
        q = p.initial_output;
        last_clock = c;
        last_j = j;
        last_k = k;
    }
    output.time = 0.0;
    bool trigger = false;
    if (p.edge_mode == 0) trigger = c == 0 && last_clock != 0;
    if (p.edge_mode == 1) trigger = c != 0 && last_clock == 0;
    if (p.edge_mode == 2) trigger = c != 0;
    if (trigger) {
        const int32_t before = q;
        int32_t use_j = last_j, use_k = last_k;
        // An input that changed before the clock's instant counts with
        // its new value; the table is applied once, to Q before the edge.
        if (p.flag == 1 && (j != last_j || k != last_k)) {
            if (jt <= ct && kt <= ct) {
            } else if (jt > ct && kt < ct && kt != 0.0) {
                use_j = j;
            } else if (jt < ct && kt > ct && jt != 0.0) {
                use_k = k;
            } else {
                use_j = j;
                use_k = k;
            }
        }
        q = next_q(p.type, before, use_j != 0, use_k != 0);
        if (p.flag == 1 && q != before) output.time = ct;
    }
    output.value = static_cast<double>(q);
    last_clock = c;
    last_j = j;
    last_k = k;
}

}  // namespace

void FLIPFLOP_IP_SETUP(int32_t edge_mode, int32_t type, int32_t flag, int32_t initial_output) {
    const BlockSlots s = take_slots({.rtci = 4});
    s.RI(0) = edge_mode;
    s.RI(1) = type;
    s.RI(2) = flag;
    s.RI(3) = initial_output;
}

void FLIPFLOP_IP(INTERP_PAIR J, INTERP_PAIR K, INTERP_PAIR clock, INTERP_PAIR& output) {
    const BlockSlots s = take_slots({.stori = 4, .rtci = 4});
    flipflop({s.RI(0), s.RI(1), s.RI(2), s.RI(3)}, s, J, K, clock, output);
}

void FLIPFLOP_DIRECT(int32_t initial_output, int32_t edge_mode, int32_t type, int32_t flag, INTERP_PAIR J,
                     INTERP_PAIR K, INTERP_PAIR clock, INTERP_PAIR& output) {
    const BlockSlots s = take_slots({.stori = 4});
    flipflop({edge_mode, type, flag, initial_output}, s, J, K, clock, output);
}

void SHIFT_REGISTER_IP(int32_t N, int32_t edge_mode, int32_t flag, int32_t initial_value, INTERP_PAIR clock,
                       INTERP_PAIR D, INTERP_PAIR& output) {
    const INTERP_PAIR K{0.0, 0.0};
    int32_t bits = initial_value;
    for (int32_t i = 1; i <= N; ++i) {
        int32_t initial = 0;
        if (first_step_data()) {
            initial = bits % 2;
            bits /= 2;
        }
        const INTERP_PAIR J = i == 1 ? D : output;
        FLIPFLOP_DIRECT(initial, edge_mode, 2, flag, J, K, clock, output);
    }
}
