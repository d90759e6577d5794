// Batteries: a branch with a series source and resistance whose EMF
// follows the state of charge, integrated from the branch current of the
// previous solution (a positive current discharges). Each pair is a set-up
// call of the begin pass and a call of every step.
#pragma once

#include <cstdint>
#include <vector>

// Ratings after the branch: V_nom, V_full and V_exp (per unit of V_nom),
// Q (current unit x hours), Q_nom and Q_exp (per unit of Q), initial state
// of charge (percent), r (per unit of V_nom at the nominal current) and
// the nominal discharge current (percent of Q per hour).
void BATTERY(int32_t ss, int32_t br, double vnom, double vfull, double vexp, double q, double qnom, double qexp,
             double soc0, double r, double ipct);
void BATTERY_DYN(int32_t ss, int32_t br);

// Ten-point curves of voltage and resistance over the state of charge
// (percent, decreasing).
void BATTERY_TABLE(int32_t ss, int32_t br, double vnom, double ipct, double q, double soc0, const double soc_v[10],
                   const double volts[10], const double soc_r[10], const double ohms[10]);
void BATTERY_TABLE_DYN(int32_t ss, int32_t br);

// The batteries (by their STORF position) whose state of charge is below
// 1 % and that have said so.
struct BatteryWarnings {
    std::vector<int32_t> low;
};
extern BatteryWarnings BATTERY_WARNINGS;
