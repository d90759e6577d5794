#include "models/sources/source_data.h"

#include <cmath>

#include "engine/abort.h"
#include "engine/model_helpers.h"
#include "engine/pointer_block.h"
#include "engine/run_state.h"
#include "engine/storage.h"

namespace {

constexpr double kTwoPi = 6.283185307179586;
constexpr double kDegree = 0.017453292519943;

[[noreturn]] void stop(const Text12& name, const char* text) {
    USERMSG(CURRENT_IDS.id1, CURRENT_IDS.id2, 2, 1, text);
    ABORT_RUN(name, 0);
}

struct Polar {
    double mag, ang;  // angle in degrees
};

Polar sum(Polar a, Polar b) {
    const double re = POL_RE(a.mag, a.ang) + POL_RE(b.mag, b.ang);
    const double im = POL_IM(a.mag, a.ang) + POL_IM(b.mag, b.ang);
    return {RECT_MAG(re, im), RECT_ANG(re, im)};
}

Polar rect(double re, double im) { return {RECT_MAG(re, im), RECT_ANG(re, im)}; }

Polar impedance(const Text12& name, int32_t type, double omega, double R, double L, double third) {
    const auto capacitive = [&] {
        if (omega <= kTwoPi * 1e-20) stop(name, "Frequency too small");
        return 1e6 / (third * omega);
    };
    switch (type) {
        case 1:
            return {R, 0.0};
        case 2:
            if (third > 1e-10 && L > 1e-10)
                return sum({R, 0.0}, {1.0 / RECT_MAG(1.0 / third, 1.0 / (omega * L)), RECT_ANG(omega * L, third)});
            return {R, 0.0};
        case 3:
            return rect(R, omega * L - (third > 1e-10 ? capacitive() : 0.0));
        case 4:
            return {omega * L, 90.0};
        case 5:
            return third > 1e-10 ? Polar{capacitive(), -90.0} : Polar{0.0, 0.0};
        default:
            return {0.0, 0.0};
    }
}

}  // namespace

void SOURCE3R(int32_t format, int32_t parallel, double z1, double a1, double z2, double a2, double frequency,
              double& R, double& L, double& Rp, double& Lp) {
    const Text12 name("SOURCE3R    ");
    const double omega = kTwoPi * frequency;
    if (format == 1 ? z1 <= 1e-20 : (z1 <= 1e-20 && a1 <= 1e-20)) stop(name, "Positive sequence impedance too small");
    if (frequency <= 1e-20) stop(name, "Frequency too small");
    Rp = Lp = 0.0;
    if (format == 1) {
        R = a1 <= 0.0 ? z1 : a1 >= 90.0 ? 0.0 : z1 * std::cos(a1 * kDegree);
        L = a1 <= 0.0 ? 0.0 : a1 >= 90.0 ? z1 / omega : z1 * std::sin(a1 * kDegree) / omega;
        if (parallel != 1) return;
        Rp = a2 <= 0.0 ? z2 : a2 >= 90.0 ? 0.0 : z2 / std::cos(a2 * kDegree);
        Lp = a2 <= 0.0 ? 0.0 : a2 >= 90.0 ? z2 / omega : z2 / std::sin(a2 * kDegree) / omega;
        return;
    }
    R = z1;
    L = a1 / omega;
    if (parallel != 1) return;
    Rp = z2 > 1e-10 ? z2 + a2 * a2 / z2 : 1e10;
    Lp = a2 > 1e-10 ? (z2 * z2 + a2 * a2) / (omega * a2) : 1e10;
}

void RX_TO_PARALLEL(double R, double X, double& Rp, double& Xp) {
    const double s = R * R + X * X;
    if (s <= 1e-6) {
        Rp = Xp = 0.0;
        return;
    }
    Rp = std::fabs(R) <= 1e-6 ? 1e6 : s / R;
    Xp = std::fabs(X) <= 1e-6 ? 1e6 : s / X;
}

void RX_TO_SERIES(double Rp, double Xp, double& R, double& X) {
    const double k = Rp > 1e-6 && Xp > 1e-6 ? Rp * Xp / (Rp * Rp + Xp * Xp) : 0.0;
    R = Xp * k;
    X = Rp * k;
}

void AC_SOURCE(int32_t type, double vll, double frequency, double phase, double R, double L, double third, double P,
               double Q, double vscale, double pscale, double last) {
    const Text12 name("AC_SOURCE   ");
    const double V = vll * vscale * 0.577350269189626;
    const double P1 = P * pscale * 0.333333333333333, Q1 = Q * pscale * 0.333333333333333;
    const double omega = kTwoPi * frequency;
    if (V < 0.0) USERWARN(CURRENT_IDS.id1, CURRENT_IDS.id2, 1, "Negative manitude specified for an AC source");
    // The current is the conjugate power over the voltage.
    if (V == 0.0) stop(name, "Zero voltage specified for an AC source");
    const Polar z = impedance(name, type, omega, R, L, third);
    const Polar drop{RECT_MAG(P1, Q1) * z.mag / V, z.ang + phase - RECT_ANG(P1, Q1)};
    const Polar e = sum({V, phase}, drop);
    PointerBlock& Pb = POINTER_BLOCK;
    FArray1<double>& C = STORAGE.RTCF;
    C(Pb.NRTCF) = 1.414213562373095 * e.mag;
    C(Pb.NRTCF + 1) = omega;
    C(Pb.NRTCF + 2) = e.ang * kDegree;
    C(Pb.NRTCF + 3) = last;
    Pb.NRTCF += 4;
}
