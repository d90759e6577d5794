// The equations both induction-machine forms step: the shaft, the angle,
// the frame voltages, the Heun flux step, saturation and torque.
#pragma once

#include <array>
#include <cstdint>
#include <functional>

#include "models/machines/machine_helpers.h"

// Word positions of a form's record in STOR from NEXC; fluxes, currents,
// speed, angle and derivatives follow each other from `flux`.
struct InductionLayout {
    int32_t flux, gamma_off, te, dsdt, fm, vdq0, fl, ab, tm, scopy;
};
constexpr InductionLayout INDUCMC_LAYOUT = {21, 55, 81, 84, 106, 107, 130, 132, 136, 137};
constexpr InductionLayout INDUCMC2_LAYOUT = {1, 35, 61, 62, 63, 64, 67, 68, 70, 71};

struct InductionMachineData {
    std::array<double, 5> R{};
    std::array<double, 12> X{};
    double WB = 0.0, J = 0.0, D = 0.0;
    int32_t N = 2;
    bool data_file_form = true;  // how a failed integration is reported
};

// R: five resistances, X: twelve reactances.
InductionMachineData INDUCTION_DATA(const double* R, const double* X, double WB, double J, double D, int32_t N,
                                    bool data_file_form);

// What a step leaves for the network interface.
struct InductionStepResult {
    double i_abc[3] = {};  // stator phase currents, per unit
    double iz = 0.0;
    double id2 = 0.0, iq2 = 0.0;  // rotor winding 2
    double ramp = 1.0;
};

// Ratio of a curve's secant slope at XIN to its first slope; ten pairs
// (x, y), a negative x ending the curve. On the first step of a data
// start a curve that does not start at (0, 0) and rise stops the run
// through reject.
double INDUCTION_SAT_FACTOR(const std::array<double, 20>& xy, double XIN, const std::function<void()>& reject);

// v: per-unit stator phase voltages; u: per-unit rotor phase voltages.
// sat(IM, IS, FM, FL) gives the two factors.
InductionStepResult INDUCTION_STEP(const InductionLayout& L, InductionMachineData d, const double* v,
                                   const double* u, int32_t MODE, double SPEED_IN, double TM,
                                   const std::function<void(double, double, double&, double&)>& sat);

// Reports every unrealistic rating as an error and then stops the run;
// returns when all are sound. The data-file form refuses VLL <= 0 only,
// the second form VLL below 0.001.
void INDUCTION_CHECK_RATINGS(int32_t NROT, double SBASE, double VLL, double WB, const double* X,
                             bool data_file_form);
// The winding count alone, on steps after the set-up.
void INDUCTION_CHECK_WINDINGS(int32_t NROT);
