#include <algorithm>
#include <cmath>

#include "controls/block_slots.h"
#include "controls/interpolating/integrator_body.h"
#include "controls/interpolating/interpolating_blocks.h"
#include "controls/limit_value.h"
#include "engine/run_state.h"

double INTEGRATOR_IP(int32_t flag, int32_t reset_mode, int32_t reset_enable, double initial, double T,
                     double reset_value, double lower, double upper, INTERP_PAIR reset, INTERP_PAIR X) {
    return integrator_ip(flag, reset_mode, reset_enable, initial, T, reset_value, lower, upper, reset, X);
}

double PI_IP(int32_t flag, double Kp, double T, double lower, double upper, double initial, INTERP_PAIR X) {
    const double integral = INTEGRATOR_IP(flag, 0, 0, initial, T, 0.0, lower, upper, {0.0, 0.0}, X);
    return limit_value(lower, upper, integral + Kp * X.value);
}
