// The static var compensator's work area: the copy of one compensator's
// constants and state that the per-step routine and its services work on.
// It is shared by every compensator and carries nothing from one call to
// the next; between steps everything lives in the compensator's slots.
#pragma once

#include <cstdint>

constexpr double SVC_TWO_PI = 6.283185307179586;
constexpr int32_t SVC_MAX_STAGES = 10;

// The compensator's circuit constants, matrices stored row by row.
struct SvcCircuit {
    double Lt = 0.0, Rs = 0.0, Cs = 0.0, Ron = 0.0, Roff = 0.0, Cst = 0.0, C0 = 0.0, Rd = 0.0;
    double G[8][8]{};  // inverse of the reduced winding inductances
    double B[3][2]{};  // bank voltages to reactor-branch voltages over Lt
    double F[8][4]{};  // G times the bank-voltage connection
    double r[8]{};     // the star winding's phase c row, reduced
    double Ir = 0.0, k = 0.0, G0 = 0.0, gi = 0.0, Kp = 0.0, Ki = 0.0;
    double knee = 0.0, tau = 0.0, Xair = 0.0, V1 = 0.0, f = 0.0;
    int32_t NCAP = 0, N = 0, M = 0;
};

// The integrated quantities. Reactor branches 1-3 belong to the delta
// secondary's group, 4-6 to the star secondary's; the star phase c current
// is always -(a + b).
struct SvcState {
    double iP[3]{}, iD[3]{}, iY[3]{};
    double vs[6]{};  // snubber capacitor voltages
    double iL[6]{};  // reactor currents
    double u[4]{};   // bank voltages u1..u4
};

struct SvcWork {
    SvcCircuit c;
    double v[3]{};  // bus voltages advanced to the end of the step
    // Reactor-branch coefficients: k/Cs, -k/(R Cs), -k Rs/Lt, -k/Lt.
    double kC[6]{}, kR[6]{}, kI[6]{}, kV[6]{};
    double a[10]{}, b[14]{};  // bank coefficients
    // Capacitor groups 1-6: groups 1-3 across the delta bank's branches,
    // 4-6 between the star bank's nodes 4-5, 5-6 and 6-4. vg holds the
    // first bank's group voltages and the star bank's node voltages.
    double vg[6]{}, cap[6]{}, inow[6]{}, ilast[6]{}, dlast[6]{}, count[6]{};
    double vst[6][SVC_MAX_STAGES]{};  // stored voltage of each stage
};

extern SvcWork SVC_WORK;

// Voltage across capacitor group g (1..6) from the work area.
double svc_group_voltage(int32_t g);
