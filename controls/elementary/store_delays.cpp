// Sampled delays on STOR: the next sampling time (or the time left to it),
// the STOR position of the oldest sample, then the ring of samples. The
// position is absolute, as snapshots carry it.
#include <algorithm>

#include "controls/block_slots.h"
#include "controls/elementary/block_support.h"
#include "controls/elementary/store_blocks.h"
#include "engine/run_state.h"

namespace {

void check_samples(int32_t n, std::string_view name) {
    if (n < 1)
        block_data_error(name, "The delay needs at least one sample: check the delay time and the sample limit.");
}

// The STOR positions of a ring.
struct StorRing {
    int32_t first, last;
    void fill(double X) const {
        for (int32_t k = first; k <= last; ++k) STORAGE.STOR(k) = X;
    }
};

}  // namespace

double DELAY_STOR(double T, int32_t Nmax, double X) {
    const int32_t n = std::min(nint(T / RUN_CLOCK.DELT), Nmax);
    check_samples(n, "DELAY_STOR");
    const BlockSlots s = take_slots({.stor = 2 + n});
    const StorRing ring{s.stor + 2, s.stor + 1 + n};
    const double h = T / n;
    double& next = s.S(0);
    double& oldest = s.S(1);
    if (first_step_data()) {
        next = h;
        oldest = ring.first;
        ring.fill(X);
    }
    const int32_t i = ring_position(oldest, ring.first, ring.last, "DELAY_STOR");
    const double out = STORAGE.STOR(i);
    if (time_due(next)) {
        next += h;
        STORAGE.STOR(i) = X;
        oldest = i == ring.last ? ring.first : i + 1;
    }
    return out;
}

double DELAY_STOR_INTERP(double T, int32_t Nmax, double X) {
    // Cut, not rounded: a sampling interval below a step would outrun the input.
    const int32_t n = std::min(int_trunc(2.0e-15 + T / RUN_CLOCK.DELT), Nmax);
    check_samples(n, "DELAY_STOR_INTERP");
    const BlockSlots s = take_slots({.stor = 3 + n});
    const StorRing ring{s.stor + 2, s.stor + 2 + n};
    const double h = T / n;
    double& left = s.S(0);
    double& oldest = s.S(1);
    if (first_step_data()) {
        left = h;
        oldest = ring.first;
        ring.fill(X);
    }
    double d = left;
    const int32_t i = ring_position(oldest, ring.first, ring.last, "DELAY_STOR_INTERP");
    const int32_t j = i == ring.last ? ring.first : i + 1;
    const double out = ((h - d) * STORAGE.STOR(j) + d * STORAGE.STOR(i)) / h;
    if (time_left_due(d)) {
        d += h;
        STORAGE.STOR(i) = X;
        oldest = j;
    }
    left = d - RUN_CLOCK.DELT;
    return out;
}
