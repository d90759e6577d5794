#include "controls/elementary/block_support.h"
#include "controls/window/window_blocks.h"
#include "controls/window/windowed_rms.h"
#include "engine/run_state.h"
#include "platform/logical.h"

using namespace window_detail;

namespace {

constexpr const char* kSampler = "SAMPLER_N";

}  // namespace

void window_detail::check_window(int32_t N, double F) {
    if (N < 1) block_data_error(kSampler, "Samples per period must be at least 1");
    if (F <= 0.0) block_data_error(kSampler, "Frequency of the sampled window must be positive");
    if (nint(1.0 / (RUN_CLOCK.DELT * F)) < 1)
        block_data_error(kSampler, "Time step is too large for the frequency of the sampled window");
}

void SAMPLER_N(int32_t N, double F, double& FRAC, int32_t& NS, int32_t& IDX) { sampler_n(N, F, FRAC, NS, IDX); }

void SAMPLE_STORE(int32_t IDX, double FRAC, double X, double& Y) { sample_store(IDX, FRAC, X, Y); }

void WINDOW_MEAN(int32_t IDX, int32_t NS, double Y, double INIT, double& MEAN) {
    window_mean(IDX, NS, Y, INIT, MEAN);
}

void RMS_NODE_V(int32_t N, int32_t SS, int32_t NA, int32_t NB, int32_t NC, double F, double SCALE, double INIT,
                double& OUT) {
    rms_node_v(N, SS, NA, NB, NC, F, SCALE, INIT, OUT);
}

void RMS_WINDOW(int32_t N, double F, double X, double SCALE, double INIT, double& OUT) {
    windowed_rms(N, F, X, true, SCALE, INIT, OUT);
}

void RMS_3PH_WINDOW(int32_t N, double XA, double XB, double XC, double F, double SCALE, double INIT, double& OUT) {
    windowed_rms(N, F, 0.333333333333333 * (XA * XA + XB * XB + XC * XC), false, SCALE, INIT, OUT);
}
