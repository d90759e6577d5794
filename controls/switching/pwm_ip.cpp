#include <algorithm>

#include "controls/block_slots.h"
#include "controls/switching/pwm_body.h"
#include "controls/switching/switching_blocks.h"
#include "controls/zero_cross.h"
#include "engine/run_state.h"

using namespace pwm_detail;

void PWM_CROSS(double carrier, double reference, double cmax, double cmin, INTERP_PAIR& result) {
    pwm_cross(carrier, reference, cmax, cmin, result);
}

void PWM_PULSE_IP(int32_t enable, double width, double cmax, double cmin, double carrier, double reference,
                  INTERP_PAIR& result) {
    const BlockSlots s = take_slots({.storf = 2});
    const double DELT = RUN_CLOCK.DELT, TIME = RUN_CLOCK.TIME;
    double& out = s.F(0);
    double& end = s.F(1);
    INTERP_PAIR z;
    pwm_cross(carrier, reference, cmax, cmin, z);
    const bool rising = nint(z.value) == 1;
    double time = 0.0;
    if (enable != 0 && !first_step_data() && rising) {
        out = 1.0;
        end = TIME + width + kPulseShare * DELT;
        time = std::max(z.time, kEdgeShare * DELT);
    }
    if (end < TIME) out = 0.0;
    result = {out, time};
}

void PWM_COMPARE_IP(int32_t enable, double cmax, double cmin, double on_carrier, double on_reference,
                    double off_reference, double off_carrier, INTERP_PAIR& result) {
    pwm_compare_ip(enable, cmax, cmin, on_carrier, on_reference, off_reference, off_carrier, result);
}
