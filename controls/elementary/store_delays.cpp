// Sampled delays on STOR: the next sampling time (or the time left to it),
// the STOR position of the oldest sample, then the ring of samples. The
// position is absolute, as snapshots carry it.
#include <algorithm>

#include "controls/block_slots.h"
#include "controls/elementary/block_support.h"
#include "controls/elementary/store_blocks.h"
#include "engine/run_state.h"

namespace {

// A delay's slots: +1 its timer, +2 the STOR position of the oldest
// sample, then a ring of n + extra samples, seeded on the first step.
struct StorRing {
    double& timer;
    double& oldest_at;
    int32_t first, last;
    int32_t oldest;  // checked position of the oldest sample
    double h;        // sampling interval
};

StorRing take_ring(int32_t n, int32_t extra, double T, double X, std::string_view name) {
    if (n < 1)
        block_data_error(name, "The delay needs at least one sample: check the delay time and the sample limit.");
    check_ring_room(n, STORAGE.STOR.size(), name);
    const BlockSlots s = take_slots({.stor = 2 + n + extra});
    StorRing r{s.S(0), s.S(1), s.stor + 2, s.stor + 1 + n + extra, 0, T / n};
    if (first_step_data()) {
        r.timer = r.h;
        r.oldest_at = r.first;
        for (int32_t k = r.first; k <= r.last; ++k) STORAGE.STOR(k) = X;
    }
    r.oldest = ring_position(r.oldest_at, r.first, r.last, name);
    return r;
}

int32_t after(const StorRing& r, int32_t i) { return i == r.last ? r.first : i + 1; }

}  // namespace

double DELAY_STOR(double T, int32_t Nmax, double X) {
    StorRing r = take_ring(std::min(nint(T / RUN_CLOCK.DELT), Nmax), 0, T, X, "DELAY_STOR");
    const double out = STORAGE.STOR(r.oldest);
    if (time_due(r.timer)) {
        r.timer += r.h;
        STORAGE.STOR(r.oldest) = X;
        r.oldest_at = after(r, r.oldest);
    }
    return out;
}

double DELAY_STOR_INTERP(double T, int32_t Nmax, double X) {
    // Cut, not rounded: a sampling interval below a step would outrun the input.
    StorRing r = take_ring(std::min(int_trunc(2.0e-15 + T / RUN_CLOCK.DELT), Nmax), 1, T, X, "DELAY_STOR_INTERP");
    const int32_t i = r.oldest, j = after(r, i);
    double d = r.timer;
    const double out = ((r.h - d) * STORAGE.STOR(j) + d * STORAGE.STOR(i)) / r.h;
    if (time_left_due(d)) {
        d += r.h;
        STORAGE.STOR(i) = X;
        r.oldest_at = j;
    }
    r.timer = d - RUN_CLOCK.DELT;
    return out;
}
