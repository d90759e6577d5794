#include "models/machines/induction_core.h"

#include <algorithm>
#include <cmath>
#include <string_view>

#include "engine/abort.h"
#include "engine/pointer_block.h"
#include "engine/run_state.h"
#include "engine/storage.h"
#include "platform/text_units.h"

namespace {

constexpr double kTwoPi = 6.283185307179586;

void error(std::string_view text) { USERMSG(CURRENT_IDS.id1, CURRENT_IDS.id2, 2, 1, text); }

[[noreturn]] void integration_error(bool data_file_form) {
    if (data_file_form) {
        write_list(UNIT_CONSOLE_OUT, {"Integration Error:"});
        write_list(UNIT_CONSOLE_OUT, {"The values of winding parameters are: ", "  R - too large, L - too small."});
    } else {
        error("Integration Error");
    }
    ABORT_RUN(INDUCMC_NAME, 0);
}

}  // namespace

void INDUCTION_CHECK_RATINGS(int32_t NROT, double SBASE, double VLL, double WB, const double* X,
                             bool data_file_form) {
    bool failed = false;
    const auto check = [&](bool bad, std::string_view text) {
        if (!bad) return;
        error(text);
        failed = true;
    };
    check(NROT < 0 || NROT > MACHINE_MAX_WINDINGS - 2, "Unrealistic number of rotor windings");
    // Zero divides, and a negative rating flips the base current.
    check(data_file_form ? !(VLL > 0.0) : !(VLL >= 0.001), "Unrealistic rated voltage");
    check(!(SBASE > 0.0), "Unrealistic rated power");
    check(!(WB > 0.0), "Unrealistic base frequency");
    check(!(X[0] > 0.0) || !(X[1] > 0.0) || !(X[2] > 0.0), "Unrealistic reactance data");
    if (failed) ABORT_RUN(INDUCMC_NAME, 0);
}

InductionMachineData INDUCTION_DATA(const double* R, const double* X, double WB, double J, double D, int32_t N,
                                    bool data_file_form) {
    InductionMachineData d;
    std::copy(R, R + 5, d.R.begin());
    std::copy(X, X + 12, d.X.begin());
    d.WB = WB;
    d.J = J;
    d.D = D;
    d.N = N;
    d.data_file_form = data_file_form;
    return d;
}

void INDUCTION_CHECK_WINDINGS(int32_t NROT) {
    const double sound[3] = {1.0, 1.0, 1.0};
    INDUCTION_CHECK_RATINGS(NROT, 1.0, 1.0, 1.0, sound, false);
}

double INDUCTION_SAT_FACTOR(const std::array<double, 20>& xy, double XIN, const std::function<void()>& reject) {
    int32_t n = 0;
    while (n < 10 && !(xy[2 * n] < -1e-20)) ++n;
    const auto x = [&](int32_t k) { return xy[2 * (k - 1)]; };
    const auto y = [&](int32_t k) { return xy[2 * (k - 1) + 1]; };
    if (is_true(RUN_FLAGS.FIRST_STEP_DATA)) {
        bool bad = n < 1 || std::fabs(x(1)) > 1e-20 || std::fabs(y(1)) > 1e-20;
        for (int32_t k = 2; k <= n && !bad; ++k) bad = x(k) - x(k - 1) < 1e-20 || y(k) - y(k - 1) < 1e-20;
        if (bad) reject();
    }
    if (n < 3 || !(XIN > x(2))) return 1.0;
    const auto slope = [&](int32_t k) { return (y(k + 1) - y(k)) / (x(k + 1) - x(k)); };
    int32_t k = 2;
    while (k < n - 1 && XIN > x(k + 1)) ++k;
    return (y(k) + slope(k) * (XIN - x(k))) / (XIN * slope(1));
}

InductionStepResult INDUCTION_STEP(const InductionLayout& L, InductionMachineData d, const double* v,
                                   const double* u, int32_t MODE, double SPEED_IN, double TM,
                                   const std::function<void(double, double, double&, double&)>& sat) {
    FArray1<double>& stor = STORAGE.STOR;
    const int32_t base = POINTER_BLOCK.NEXC;
    const auto w = [&](int32_t k) -> double& { return stor(base + k); };
    const int32_t N = d.N, fx = L.flux;
    const double WB = d.WB, dt = RUN_CLOCK.DELT;
    // The record from `flux`: psid 0-4, psiq 5-9, psiz 10, id 11-15, iq
    // 16-20, iz 21, speed 22, angle 23, derivatives 24-34.
    double psid[5], psiq[5], id[5], iq[5];
    for (int32_t i = 0; i < 5; ++i) {
        psid[i] = w(fx + i);
        psiq[i] = w(fx + 5 + i);
        id[i] = w(fx + 11 + i);
        iq[i] = w(fx + 16 + i);
    }
    double psiz = w(fx + 10), iz = w(fx + 21);
    WindingMatrix gamma{};
    INDUCMC_MSAV(gamma, L.gamma_off, 0, N);

    // Shaft.
    const double S = w(fx + 22);
    double s_new = SPEED_IN;
    if (MODE == 0) {
        if (!(d.J > 0.0)) {
            error("Unrealistic inertia");
            ABORT_RUN(INDUCMC_NAME, 0);
        }
        const double dsdt = (w(L.te) - TM - d.D * S) / d.J;
        s_new = S + 0.5 * (w(L.dsdt) + dsdt) * dt;
        w(L.dsdt) = dsdt;
    }
    w(fx + 22) = s_new;
    double theta = w(fx + 23) + 0.5 * (S + s_new) * dt * WB;
    if (theta >= kTwoPi) theta -= kTwoPi;
    if (theta <= -kTwoPi) theta += kTwoPi;
    w(fx + 23) = theta;

    double vabc[3] = {v[0], v[1], v[2]}, vdq0[3];
    PARKTR(vabc, vdq0, theta, 1);
    for (int32_t k = 0; k < 3; ++k) w(L.vdq0 + k) = vdq0[k];
    const double mean = (u[0] + u[1] + u[2]) * 0.333333333333333;
    const double ua = u[0] - mean, ub = u[1] - mean, uc = u[2] - mean;
    const double alpha = 0.333333333333333 * (2.0 * ua - ub - uc), beta = 0.577350269189626 * (uc - ub);
    w(L.ab) = alpha;
    w(L.ab + 1) = beta;

    // Derivatives at the start of the step, with the speed before it.
    double ed[5] = {}, eq[5] = {};
    for (int32_t i = 0; i < N; ++i) {
        ed[i] = -d.R[i] * id[i];
        eq[i] = -d.R[i] * iq[i];
    }
    ed[0] += -S * WB * psiq[0] + vdq0[0];
    eq[0] += S * WB * psid[0] + vdq0[1];
    ed[1] += alpha;
    eq[1] += beta;
    const double ez = vdq0[2] - d.R[0] * iz;
    for (int32_t i = 1; i < N; ++i)
        if (!std::isfinite(ed[i]) || std::fabs(ed[i]) > 1.0e10) integration_error(d.data_file_form);

    double vend[3];
    PARKTR(vabc, vend, theta + dt * 0.5 * (s_new + S) * WB, 1);
    INDUCMC_INTG(d.R.data(), d.X[1], gamma, psid, psiq, psiz, ed, eq, ez, s_new, vend, WB, alpha, beta, N);

    // Saturation from the currents at the start of the step.
    InductionStepResult r;
    const double t_ramp = 18.84955592153876 / WB;
    r.ramp = RUN_CLOCK.TIME < t_ramp ? RUN_CLOCK.TIME / t_ramp : 1.0;
    double sd = 0.0, sq = 0.0;
    for (int32_t i = 0; i < N; ++i) {
        sd += id[i];
        sq += iq[i];
    }
    const double im = r.ramp * 0.707106781186548 * std::hypot(sd, sq);
    const double is = r.ramp * (iz + 0.707106781186548 * std::hypot(id[0], iq[0]));
    double fm = 1.0, fl = 1.0;
    sat(im, is, fm, fl);
    if (std::fabs(fm - w(L.fm)) > 1e-6 || std::fabs(fl - w(L.fl)) > 1e-6) {
        w(L.fm) = fm;
        w(L.fl) = fl;
        d.X[0] *= fm;
        d.X[1] *= fl;
        WindingMatrix m{};
        INDUCMC_LMAT(d.X.data(), WB, m, N);
        INDUCMC_INV(m, gamma, N);
        INDUCMC_MSAV(gamma, L.gamma_off, 1, N);
    }

    for (int32_t i = 0; i < N; ++i) {
        double a = 0.0, b = 0.0;
        for (int32_t j = 0; j < N; ++j) {
            a += wm(gamma, i + 1, j + 1) * psid[j];
            b += wm(gamma, i + 1, j + 1) * psiq[j];
        }
        id[i] = a;
        iq[i] = b;
    }
    iz = WB * psiz / d.X[1];
    double dq0[3] = {id[0], iq[0], iz};
    PARKTR(r.i_abc, dq0, theta, 0);
    for (int32_t i = 0; i < 5; ++i) {
        w(fx + i) = psid[i];
        w(fx + 5 + i) = psiq[i];
        w(fx + 11 + i) = id[i];
        w(fx + 16 + i) = iq[i];
        w(fx + 24 + i) = ed[i];
        w(fx + 29 + i) = eq[i];
    }
    w(fx + 10) = psiz;
    w(fx + 21) = iz;
    w(fx + 34) = ez;

    const double te = 0.5 * WB * (id[0] * psiq[0] - iq[0] * psid[0]);
    w(L.te) = te;
    w(L.tm) = MODE == 1 ? te - ((s_new - S) / dt) * d.J - d.D * s_new : TM;
    w(L.scopy) = s_new;
    r.iz = iz;
    r.id2 = id[1];
    r.iq2 = iq[1];
    return r;
}
