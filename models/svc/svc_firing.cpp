#include <cmath>

#include "controls/limit_value.h"
#include "engine/pointer_block.h"
#include "engine/run_state.h"
#include "engine/storage.h"
#include "models/svc/svc_services.h"

namespace {

double& slot(int32_t k) { return STORAGE.STOR(POINTER_BLOCK.NEXC + k); }

// One addition or subtraction of 2 pi.
double wrap(double x) {
    if (x < 0.0) return x + SVC_TWO_PI;
    if (x >= SVC_TWO_PI) return x - SVC_TWO_PI;
    return x;
}

// Pulses of one six-valve group whose valve 1 stands at angle t.
void group_pulses(double t, double alpha, int32_t enable, int32_t first_slot) {
    constexpr double third = 2.094395102393195, half = 3.141592653589793;
    double phi[6];
    phi[0] = wrap(t);
    phi[1] = wrap(t - third);
    phi[2] = wrap(t + third);
    for (int k = 0; k < 3; ++k) phi[k + 3] = wrap(phi[k] - half);
    for (int k = 0; k < 6; ++k) {
        const bool on = enable >= 1 && alpha < phi[k] && phi[k] < half;
        slot(first_slot + k) = on ? 1.0 : 0.0;
    }
}

}  // namespace

void SVC_PLL(double va, double vb, double vc, double& sin_t, double& cos_t, double Kp, double Ki, double Vm,
             double f0, double& theta) {
    const double dt = RUN_CLOCK.DELT;
    theta = slot(29);
    sin_t = std::sin(theta);
    cos_t = std::cos(theta);
    const double valpha = 0.816496580927726 * (va - 0.5 * (vb + vc));
    const double vbeta = 0.707106781186548 * (vb - vc);
    const double e = (valpha * cos_t + vbeta * sin_t) / Vm;
    slot(30) += dt * e;
    const double w0 = SVC_TWO_PI * f0;
    const double w = LIMIT_VALUE(0.8 * w0, 1.2 * w0, Kp * e + Ki * slot(30) + w0);
    theta += dt * w;
    if (theta >= SVC_TWO_PI) theta -= SVC_TWO_PI;
    slot(29) = theta;
}

void SVC_FIRING(double alpha, double Kp, double Ki, int32_t enable, double va, double vb, double vc) {
    double s = 0.0, c = 0.0, theta = 0.0;
    // The loop runs on a fixed 60 Hz centre and scale; its integral takes
    // up the offset of another frequency.
    SVC_PLL(va, vb, vc, s, c, Kp, Ki, 100.0, 60.0, theta);
    group_pulses(theta, alpha, enable, 1);
    group_pulses(theta - 2.6179938779914953, alpha, enable, 31);
}

void SVC_VALVE(double x, double p, double& R, double Ron, double Roff, int32_t& result) {
    if (std::fabs(R - Ron) <= 1e-6) {
        if (x < 0.0) {
            R = Roff;
            result = -1;
        } else {
            result = 0;
        }
    } else if (std::fabs(R - Roff) <= 1e-6) {
        if (p > 0.5 && x > 0.0) {
            R = Ron;
            result = 1;
        } else {
            result = 0;
        }
    }
}

double SVC_SATUR(double v, double Xair, double knee, double V1, double Ir, double f, double tau, double& psi) {
    const double u = 1.225 * (v / V1) * SVC_TWO_PI * f - slot(2) / tau;
    psi = slot(2) + RUN_CLOCK.DELT * 0.5 * (slot(1) + u);
    const double slope = 1.0 / Xair - 1.0 / 1000.0;
    double i = 0.0;
    if (psi > knee) {
        i = -(psi - knee) * slope;
    } else if (psi < -knee) {
        i = -(knee + psi) * slope;
    }
    slot(1) = u;
    slot(2) = psi;
    POINTER_BLOCK.NEXC += 2;
    return Ir * i;
}
