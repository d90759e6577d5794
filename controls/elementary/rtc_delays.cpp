// Sampled delays on the run-time constants. STORF: the timer (the next
// sampling time, or with interpolation the time left to it), then the ring
// of samples; STORI: the STORF position of the oldest sample, and for the
// second form the count of samples taken.
#include <algorithm>

#include "controls/block_slots.h"
#include "controls/elementary/block_support.h"
#include "controls/elementary/setup_run_blocks.h"
#include "engine/model_helpers.h"
#include "engine/run_state.h"

namespace {

struct DelayConstants {
    double h = 0.0;  // sampling interval
    int32_t n = 0;   // samples
    bool interpolate = false;
};

// n cut (with a bias against rounding) or rounded, at most Nmax; a
// negative n would move NSTORF back.
DelayConstants setup_constants(int32_t interpolate, double cut_bias, int32_t Nmax, double T, std::string_view name) {
    DelayConstants c;
    c.interpolate = is_true(ILOGICAL(interpolate));
    const double steps = T / RUN_CLOCK.DELT;
    c.n = std::min(c.interpolate ? int_trunc(cut_bias + steps) : nint(steps), Nmax);
    if (c.n < 0) block_data_error(name, "The delay time and the sample limit must not be negative.");
    check_ring_room(c.n, STORAGE.STORF.size(), name);
    c.h = c.n > 0 ? T / c.n : 0.0;
    return c;
}

// h, n and the flag; the second form adds its initial value and mode.
void store_setup(const DelayConstants& c, bool second_form, double initial_value, int32_t initial_mode) {
    const int32_t extra = second_form ? 1 : 0;
    const BlockSlots s = take_slots({.rtcf = 1 + extra, .rtci = 1 + extra, .rtcl = 1});
    s.RF(0) = c.h;
    s.RI(0) = c.n;
    s.RL(0) = as_logical(c.interpolate);
    if (!second_form) return;
    s.RF(1) = initial_value;
    s.RI(1) = initial_mode;
}

int32_t ring_length(const DelayConstants& c) { return (c.interpolate || c.n == 0) ? c.n + 1 : c.n; }

// The delay's STORF positions: the timer, then the ring.
struct DelayRing {
    int32_t timer = 0, first = 0, last = 0;
    explicit DelayRing(const BlockSlots& s, const DelayConstants& c)
        : timer(s.storf), first(s.storf + 1), last(s.storf + ring_length(c)) {}
    void start(int32_t& oldest, double h, double value) const {
        STORAGE.STORF(timer) = h;
        oldest = first;
        for (int32_t k = first; k <= last; ++k) STORAGE.STORF(k) = value;
    }
};

struct DelayStep {
    double output = 0.0;
    bool sampled = false;
};

// One step of either form; sample_time is the next sampling time of the
// form without interpolation.
DelayStep run_delay(const DelayConstants& c, const DelayRing& r, int32_t& oldest, double sample_time, double X,
                    std::string_view name) {
    FArray1<double>& F = STORAGE.STORF;
    const int32_t i = ring_position(oldest, r.first, r.last, name);
    const int32_t next = i == r.last ? r.first : i + 1;
    double& timer = F(r.timer);
    const bool passes = c.h < 0.5 * RUN_CLOCK.DELT;
    DelayStep s;
    if (c.interpolate) {
        const double t = timer;
        s.sampled = time_left_due(t);
        s.output = passes ? X : (F(i) * t + F(next) * (c.h - t)) / c.h;
    } else {
        s.sampled = time_due(sample_time);
        s.output = passes ? X : F(i);
    }
    if (s.sampled) {
        timer += c.h;
        F(i) = X;
        oldest = next;
    }
    if (c.interpolate) timer -= RUN_CLOCK.DELT;
    return s;
}

// The counts of a run call: the ring follows the constants it reads.
SlotCounts run_counts(const DelayConstants& c, int32_t rtcf, int32_t rtci) {
    return {.storf = 1 + ring_length(c), .stori = rtci, .rtcf = rtcf, .rtci = rtci, .rtcl = 1};
}

// The constants a run call reads; a negative count (constants of another
// case) would move NSTORF back.
DelayConstants constants_at(const BlockSlots& at, std::string_view name) {
    const DelayConstants c{at.RF(0), at.RI(0), is_true(at.RL(0))};
    if (c.n < 0) block_data_error(name, "The stored sample count of the delay is negative.");
    check_ring_room(c.n, STORAGE.STORF.size(), name);
    return c;
}

}  // namespace

void DELAY_SETUP(int32_t interpolate, int32_t Nmax, double T) {
    store_setup(setup_constants(interpolate, 0.0, Nmax, T, "DELAY_SETUP"), false, 0.0, 0);
}

void DELAY_RUN(double X, double& output) {
    const DelayConstants c = constants_at(next_slots(), "DELAY_RUN");
    const BlockSlots s = take_slots(run_counts(c, 1, 1));
    const DelayRing r(s, c);
    int32_t& oldest = s.I(0);
    if (first_step_data()) r.start(oldest, c.h, X);
    output = run_delay(c, r, oldest, s.F(0), X, "DELAY_RUN").output;
}

void DELAY_SETUP_B(int32_t interpolate, int32_t Nmax, int32_t initial_mode, double T, double initial_value) {
    store_setup(setup_constants(interpolate, 2.0e-15, Nmax, T, "DELAY_SETUP_B"), true, initial_value, initial_mode);
}

void DELAY_RUN_B(double X, double& output) {
    const DelayConstants c = constants_at(next_slots(), "DELAY_RUN_B");
    const BlockSlots s = take_slots(run_counts(c, 2, 2));
    const DelayRing r(s, c);
    int32_t& oldest = s.I(0);
    int32_t& samples = s.I(1);
    if (first_step_data()) {
        r.start(oldest, c.h, s.RI(1) == 0 ? X : s.RF(1));
        samples = 1;
    }
    const DelayStep step = run_delay(c, r, oldest, samples * c.h, X, "DELAY_RUN_B");
    if (step.sampled) samples += 1;
    output = step.output;
}
