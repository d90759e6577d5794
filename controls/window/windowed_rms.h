// The moving-window RMS: the sampler's, the sample store's and the window
// mean's bodies, inline for the meters that run them on every step.
#pragma once

#include <cmath>
#include <cstdint>

#include "controls/block_slots.h"
#include "controls/elementary/block_support.h"
#include "engine/model_helpers.h"
#include "engine/run_state.h"
#include "engine/storage.h"
#include "network/network_tables.h"
#include "platform/logical.h"

namespace window_detail {

// The window's data, checked on the first step.
void check_window(int32_t N, double F);

// The sampler on its step length, next instant, sample index and count.
[[gnu::always_inline]] inline void sampler_on(double& h, double& next, int32_t& index, int32_t& n, int32_t N, double F,
                                              double& FRAC, int32_t& NS, int32_t& IDX) {
    const double DELT = RUN_CLOCK.DELT;
    if (first_step_data()) {
        check_window(N, F);
        if (N * F * DELT < 1.0) {
            h = 1.0 / (N * F);
            n = N;
        } else {
            h = DELT;
            n = nint(1.0 / (DELT * F));
        }
    }
    NS = n;
    // Within a ten-thousandth of a step counts as due, so that the sum of
    // the intervals does not lose a sample to rounding.
    if (!time_due(next)) {
        FRAC = 0.0;
        IDX = 0;
        return;
    }
    FRAC = (RUN_CLOCK.TIME - next) / DELT;
    next += h;
    index = index >= n ? 1 : index + 1;
    IDX = index;
}

[[gnu::always_inline]] inline void sampler_n(int32_t N, double F, double& FRAC, int32_t& NS, int32_t& IDX) {
    const BlockSlots s = take_slots({.storf = 2, .stori = 2});
    sampler_on(s.F(0), s.F(1), s.I(0), s.I(1), N, F, FRAC, NS, IDX);
}

[[gnu::always_inline]] inline void store_on(double& previous, double& held, int32_t IDX, double FRAC, double X,
                                            double& Y) {
    if (IDX != 0) held = X + (previous - X) * FRAC;
    Y = held;
    previous = X;
}

[[gnu::always_inline]] inline void sample_store(int32_t IDX, double FRAC, double X, double& Y) {
    const BlockSlots s = take_slots({.storf = 2});
    store_on(s.F(0), s.F(1), IDX, FRAC, X, Y);
}

// The mean in W(0), the samples in W(1) to W(NS).
template <class Window>
[[gnu::always_inline]] inline void mean_on(const Window& W, int32_t IDX, int32_t NS, double Y, double INIT,
                                           double& MEAN) {
    double& mean = W(0);
    if (first_step_data())
        for (int32_t k = 0; k <= NS; ++k) W(k) = INIT;
    if (IDX != 0) {
        // Running sum: the new sample in, the one it replaces out.
        const double sum = mean * NS - W(IDX) + Y;
        W(IDX) = Y;
        mean = sum / NS;
    }
    MEAN = mean;
}

[[gnu::always_inline]] inline void window_mean(int32_t IDX, int32_t NS, double Y, double INIT, double& MEAN) {
    // The window's length comes from the store: one that no store could
    // hold, or an index outside it, stops the run rather than moving the
    // pointer by it.
    if (NS < 1 || NS >= STORAGE.STORF.size())
        block_data_error("WINDOW_MEAN", "The window needs more samples than its store can hold");
    if (IDX < 0 || IDX > NS) block_data_error("WINDOW_MEAN", "Sample index lies outside the window");
    const BlockSlots s = take_slots({.storf = NS + 1});
    // The window reached directly when it lies inside STORF.
    if (int64_t{s.storf} + NS <= STORAGE.STORF.size() && s.storf >= 1)
        return mean_on([w = STORAGE.STORF.data() + (s.storf - 1)](int32_t k) -> double& { return w[k]; }, IDX, NS, Y,
                       INIT, MEAN);
    mean_on([&s](int32_t k) -> double& { return s.F(k); }, IDX, NS, Y, INIT, MEAN);
}

// The windowed mean of this step's sample, squared after interpolation
// or taken as given (already a square): the three blocks' bodies inline,
// so that their results stay in registers.
[[gnu::always_inline]] inline void windowed_rms(int32_t N, double F, double X, bool square, double SCALE, double INIT, double& OUT) {
    double frac, y, mean;
    int32_t ns, idx;
    // The sampler's and the sample store's slots reached directly when
    // they lie inside their stores.
    const PointerBlock& p = POINTER_BLOCK;
    const int32_t f0 = p.NSTORF, i0 = p.NSTORI;
    if (f0 >= 1 && int64_t{f0} + 3 <= STORAGE.STORF.size() && i0 >= 1 && int64_t{i0} + 1 <= STORAGE.STORI.size()) {
        take_slots({.storf = 4, .stori = 2});
        double* const at = STORAGE.STORF.data() + (f0 - 1);
        int32_t* const in = STORAGE.STORI.data() + (i0 - 1);
        sampler_on(at[0], at[1], in[0], in[1], N, F, frac, ns, idx);
        store_on(at[2], at[3], idx, frac, X, y);
    } else {
        sampler_n(N, F, frac, ns, idx);
        sample_store(idx, frac, X, y);
    }
    window_mean(idx, ns, square ? y * y : y, INIT * INIT, mean);
    OUT = mean > 0.0 ? std::sqrt(mean) * SCALE : 0.0;
}

}  // namespace window_detail

// RMS_NODE_V's body: the line-to-line voltages of three nodes, each read
// once where all lie inside the node voltages, else as NODEVDIFF reads them.
[[gnu::always_inline]] inline void rms_node_v(int32_t N, int32_t SS, int32_t NA, int32_t NB, int32_t NC, double F,
                                              double SCALE, double INIT, double& OUT) {
    const FArray2<double>& V = NET.VNODE;
    double ab, bc, ca;
    if (V.in_range(NA, SS) && V.in_range(NB, SS) && V.in_range(NC, SS)) {
        const double va = NODEV(SS, NA), vb = NODEV(SS, NB), vc = NODEV(SS, NC);
        ab = va - vb;
        bc = vb - vc;
        ca = vc - va;
    } else {
        ab = NODEVDIFF(SS, NA, NB);
        bc = NODEVDIFF(SS, NB, NC);
        ca = NODEVDIFF(SS, NC, NA);
    }
    window_detail::windowed_rms(N, F, 0.333333333333333 * (ab * ab + bc * bc + ca * ca), false, SCALE, INIT, OUT);
}
