#include "models/machines/sync_machine_support.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <functional>

#include "controls/block_slots.h"
#include "controls/elementary/logic_blocks.h"
#include "engine/abort.h"
#include "engine/messages.h"
#include "engine/run_state.h"

namespace {

double& pos(int32_t n) { return STORAGE.STOR(POINTER_BLOCK.NEXC + n); }

struct ClassData {
    double p24, p27, p28, p29, p4, p5, p6, p58, p59;
    std::array<double, 10> x1, y1;
};

const ClassData kClassA = {0.015, 0.091, 6.319, 0.1418, 0.0539, 0.0507, 0.0095, 373.3, 0.0062,
                           {0.0, 0.078, 0.111, 0.128, 0.159, 0.177, 0.195, 0.222, 0.255, 0.287},
                           {0.0, 0.5, 0.7, 0.8, 0.938, 1.0, 1.05, 1.1, 1.125, 1.197}};
const ClassData kClassB = {0.066, 0.046, 3.86, 0.122, 0.105, 0.298, 0.018, 200.0, 0.008,
                           {0.0, 0.151, 0.215, 0.248, 0.307, 0.342, 0.377, 0.429, 0.493, 0.555},
                           {1.0, 1.0, 0.984, 0.975, 0.919, 0.88, 0.838, 0.77, 0.684, 0.646}};
const ClassData kClassC = {0.0767, 0.0799, 1.917, 0.171, 0.424, 0.071, 0.311, 136.0, 0.01,
                           {0.0, 0.099, 0.148, 0.194, 0.246, 0.301, 0.358, 0.424, 0.894, 1.219},
                           {1.0, 1.0, 0.98, 0.978, 0.965, 0.941, 0.923, 0.886, 0.561, 0.428}};

// Value and secant slope of a curve whose x of point j (1..10) is at(j)
// and y at(j) + 1 further on, compared with XV from point 2 to `last`.
void curve_value(const std::function<double(int32_t, int32_t)>& at, int32_t last, double XV, double& YV, double& SV) {
    const auto x = [&](int32_t j) { return at(j, 0); };
    const auto y = [&](int32_t j) { return at(j, 1); };
    int32_t hi = std::min(last + 1, 10);  // at or beyond the compared points
    for (int32_t j = 2; j <= last; ++j) {
        if (x(j) < 0.0) {
            hi = j - 1;
            break;
        }
        if (XV < x(j)) {
            const double dx = x(j) - x(j - 1);
            YV = y(j - 1) + (y(j) - y(j - 1)) * (XV - x(j - 1)) / dx;
            SV = (x(j) * y(j) - x(j - 1) * y(j - 1)) / dx;
            return;
        }
    }
    if (hi == 1) {  // a curve of one point: its value
        YV = y(1);
        SV = 0.0;
        return;
    }
    const double x1 = x(hi - 1), y1 = y(hi - 1), x2 = x(hi), y2 = y(hi);
    YV = y1 * std::exp(std::log(y2 / y1) * (XV - x1) / (x2 - x1));
    SV = (x2 * y2 - x1 * y1) / (x2 - x1);
}

// Limits shared by the two order-limit characteristics.
struct OrderLevels {
    double u, hi, vu, vl, lo, h;
};

OrderLevels order_levels(double U, double HI, double V1, double LO, double V0) {
    OrderLevels o{};
    o.u = std::max(std::fabs(U), 0.001);
    o.hi = std::fabs(HI);
    o.vu = std::clamp(std::fabs(V1), 0.01, 1.0);
    o.vl = std::fabs(V0);
    if (o.vl > o.vu) o.vl = 0.9 * o.vu;
    o.vl = std::max(o.vl, 0.009);
    o.lo = std::min(std::fabs(LO), o.hi);
    o.h = 1.0 - o.vu < 0.1 ? 0.5 * (1.0 - o.vu) : 0.1;
    return o;
}

}  // namespace

void MAC100_DEFAULTS() {
    const double g = -pos(24);
    const ClassData& c = g <= 10.0 ? kClassC : g <= 500.0 ? kClassB : kClassA;
    pos(24) = c.p24;
    pos(27) = c.p27;
    pos(28) = c.p28;
    pos(29) = c.p29;
    pos(4) = c.p4;
    pos(5) = c.p5;
    pos(6) = c.p6;
    pos(58) = c.p58 / pos(60);
    pos(59) = c.p59;
    for (int32_t j = 0; j < 10; ++j) {
        pos(61 + 2 * j) = c.x1[j];
        pos(62 + 2 * j) = c.y1[j];
    }
    if (&c == &kClassA) MAC100_SAT_FACTOR();
    if (&c == &kClassC) {
        static constexpr double x[10] = {0.0, 0.781, 0.995, 1.312, 1.637, 2.094, 2.856, 3.821, 4.714, 5.287};
        static constexpr double y[10] = {1.0, 1.0, 0.951, 0.934, 0.872, 0.824, 0.759, 0.7, 0.659, 0.642};
        for (int32_t j = 0; j < 10; ++j) {
            pos(81 + 2 * j) = x[j];
            pos(82 + 2 * j) = y[j];
        }
        return;
    }
    static constexpr double xy[12] = {0.0, 0.0, 1.196, 0.286, 1.82, 0.4, 2.861, 0.564, 5.882, 0.981, -1.0, -1.0};
    for (int32_t k = 0; k < 12; ++k) pos(81 + k) = xy[k];
    MAC100_SAT_CURVE(83);
}

void MAC100_SAT_FACTOR() {
    if (pos(64) >= 0.999 && pos(64) < 1.001) return;
    const double a = pos(27), r = pos(64) / pos(63);
    pos(62) = 1.0;
    for (int32_t i = 63; i <= 79 && pos(i) >= 0.0; i += 2) pos(i + 1) = (pos(i + 1) / pos(i) - a) / (r - a);
}

void MAC100_SAT_CURVE(int32_t K) {
    if (!(pos(K - 1) > 0.999 && pos(K - 1) <= 1.001)) {
        const double s = pos(K + 1) / pos(K);
        pos(K - 1) = 1.0;
        const double f = K == 63 ? std::sqrt(2.0) * s / pos(28) : K == 83 ? s / (pos(29) + pos(27)) : 1.0;
        for (int32_t i = K; i <= K + 16 && pos(i) >= 0.0; i += 2) {
            pos(i + 1) = pos(i + 1) / (pos(i) * s);
            pos(i) *= f;
        }
    }
    for (int32_t i = K; i <= K + 16 && pos(i) >= 0.0; i += 2)
        if (pos(i) < pos(i - 2) || pos(i - 1) < pos(i + 1)) {
            OUTMSG(264, 0, 0, 0, 0.0, 0.0, Text72());
            return;
        }
}

void MAC100_MATRICES(int32_t K, int32_t MODE, int32_t) {
    const double m = pos(K + 1), b = pos(54) + m, c = pos(K + 2) + m, d = pos(K + 3) + c, e = pos(K + 4) + c;
    double C[6];
    double det;
    if (MODE == 3) {
        C[0] = d * e - c * c;
        C[1] = (c - e) * m;
        C[2] = (c - d) * m;
        C[3] = e * b - m * m;
        C[4] = m * m - c * b;
        C[5] = d * b - m * m;
        det = C[0] * b + (C[1] + C[2]) * m;
    } else {
        C[0] = d;
        C[1] = -m;
        C[3] = b;
        C[2] = C[4] = C[5] = 0.0;
        det = d * b - m * m;
    }
    for (int32_t k = 0; k < 6; ++k) pos(K + 13 + k) = C[k] / det;
}

void MAC100_DERIV(const double* X, double* DX, const double* Y, double* DY, int32_t& O1, int32_t& O2) {
    const int32_t o1 = O1, o2 = O2;
    O1 += 13;
    O2 += 13;
    const auto p = [](int32_t n) { return pos(n); };
    const double t[6] = {p(7) - X[0] * p(24) - (Y[0] * p(54) + p(31) * (Y[0] + Y[1] + Y[2])) * p(30),
                         p(8) - X[1] * p(5),
                         -X[2] * p(6),
                         p(37) - Y[0] * p(24) + p(30) * (X[0] * p(54) + p(1) * (X[0] + X[1] + X[2])),
                         p(38) - Y[1] * p(35),
                         -Y[2] * p(36)};
    // Upper triangle (1,1) (1,2) (1,3) (2,2) (2,3) (3,3) from offset + 13.
    const auto product = [&](int32_t o, const double* v, double* out) {
        const double m11 = p(o + 13), m12 = p(o + 14), m13 = p(o + 15), m22 = p(o + 16), m23 = p(o + 17),
                     m33 = p(o + 18);
        out[0] = m11 * v[0] + m12 * v[1] + m13 * v[2];
        out[1] = m12 * v[0] + m22 * v[1] + m23 * v[2];
        out[2] = m13 * v[0] + m23 * v[1] + m33 * v[2];
    };
    product(o1, t, DX);
    product(o2, t + 3, DY);
}

void SAT_CURVE_EVAL(double XV, double& YV, double& SV, int32_t K) {
    curve_value([K](int32_t j, int32_t c) { return pos(K - 4 + 2 * j + c); }, 10, XV, YV, SV);
}

void SAT_CURVE_EVAL_RTC(double XV, double& YV, double& SV, int32_t K) {
    const int32_t base = POINTER_BLOCK.NRTCF + K - 4;
    curve_value([base](int32_t j, int32_t c) { return STORAGE.RTCF(base + 2 * j + c); }, 10, XV, YV, SV);
}

void SAT_CURVE_EVAL_TBL(double XV, double& YV, double& SV, int32_t K) {
    std::array<double, 20> table{};
    for (int32_t k = 0; k < 20; ++k) table[k] = STORAGE.RTCF(POINTER_BLOCK.NRTCF + K - 2 + k);
    curve_value([&table](int32_t j, int32_t c) { return table[2 * (j - 1) + c]; }, 9, XV, YV, SV);
}

void SAT_CURVE_NORM(double A, double* X, double* Y) {
    if (!(std::fabs(Y[1] - 1.0) > 0.001)) return;
    const double r = Y[1] / X[1];
    Y[0] = 1.0;
    for (int32_t i = 1; i < 10 && X[i] >= 0.0; ++i) Y[i] = (Y[i] / X[i] - A) / (r - A);
}

void SAT_CURVE_CHECK(double A, double* X, double* Y) {
    if (std::fabs(Y[0] - 1.0) > 0.001) {
        const double s = Y[1] / X[1];
        Y[0] = 1.0;
        for (int32_t i = 1; i < 10 && X[i] >= 0.0; ++i) {
            Y[i] = Y[i] / (X[i] * s);
            X[i] = X[i] * s / A;
        }
    }
    for (int32_t i = 1; i < 10 && X[i] >= 0.0; ++i)
        if (X[i] < X[i - 1] || Y[i - 1] < Y[i]) {
            USERWARN(CURRENT_IDS.id1, CURRENT_IDS.id2, 1, "Saturation Curve not Monotonic");
            return;
        }
}

void ORDER_LIMIT_CHAR(double X, double U, double HI, double V1, double LO, double V0, double& OUT1, double& OUT2) {
    const OrderLevels o = order_levels(U, HI, V1, LO, V0);
    const double ax = std::fabs(X);
    OUT2 = ax / (0.001 + o.u);
    const double w = o.u < o.vu ? o.u + o.h : std::max(o.vu + o.h, o.u);
    OUT1 = o.vl + o.h <= o.u ? w : o.u * (1.0 + o.h / (0.001 + o.vl));
    if (o.u <= o.vl) {
        OUT2 = std::min(OUT2, o.lo);
    } else if (o.u < o.vu) {
        const double k = (o.vu - o.vl) / (ax / (0.001 + o.vu) - o.lo + 1e-5);
        OUT2 = std::min(OUT2, (o.u - (o.vl - o.lo * k)) / (k + 0.001));
    }
    OUT2 = std::min(OUT2, o.hi);
}

void ORDER_LIMIT_CHAR_S(double X, double P, double U, double A1, double A2, double A3, double HI, double V1, double LO,
                        double V0, double& OUT1, double& OUT2) {
    const BlockSlots s = take_slots({.stor = 3});
    const OrderLevels o = order_levels(U, HI, V1, LO, V0);
    const double ax = std::fabs(X), p = std::max(P, 0.01);
    const double c1 = std::cos(A1), c2 = std::cos(A2), c3 = std::cos(A3);
    const double q = std::max(c1 * c1 - (ax / (0.001 + p)) * (c2 * c2 - c3 * c3), 0.0);
    OUT1 = o.u * (std::sqrt(q) + c1) / (0.001 + std::max(c2 + c3, 0.01));
    OUT2 = ax / (OUT1 + 0.001);
    if (o.u < o.vu) OUT1 = o.vl + o.h <= o.u ? std::min(o.u + o.h, o.vu) : o.u * (1.0 + o.h / (0.001 + o.vl));
    if (o.u <= o.vl) {
        OUT2 = std::min(OUT2, o.lo);
    } else if (o.u >= o.vu) {
        s.S(0) = 0.0;
    } else {
        if (s.S(0) < 0.5) {
            const double k = (o.vu - o.vl) / (p / (0.001 + o.vu) - o.lo + 1e-5);
            s.S(1) = k;
            s.S(2) = o.vl - o.lo * k;
            s.S(0) = 1.0;
        }
        OUT2 = std::min(OUT2, (o.u - s.S(2)) / (s.S(1) + 0.001));
    }
    OUT2 = std::min(OUT2, o.hi);
}

double ALGEBRAIC_RATIO(double A1, double A2, double A3, double A4, double A5) {
    const double q = A2 * A3;
    return (A1 - q * (1.0 - q / A4)) / (1.0 - (A5 + 2.0 * q) / A4);
}

void ALGEBRAIC_RATIO_RTC(double A1, double A2, double& R, double& C2) {
    const BlockSlots s = take_slots({.rtcf = 3});
    R = ALGEBRAIC_RATIO(A1, A2, s.RF(2), s.RF(0), s.RF(1));
    C2 = s.RF(1);
}

void ZC_PHASE_ANGLE(double S1, double S2, double& ANG, int32_t TRIG, double F, int32_t& DONE) {
    const BlockSlots s = take_slots({.storf = 2, .stori = 4});
    const int32_t e1 = -ZERO_CROSS_DIR(S1), e2 = ZERO_CROSS_DIR(S2);
    DONE = 0;
    double t0 = 0.0;
    int32_t running = 0, by1 = 0, by2 = 0, armed = 0;
    if (first_step_data()) {
        ANG = 0.0;
    } else {
        t0 = s.F(0);
        ANG = s.F(1);
        running = s.I(0);
        by1 = s.I(1);
        by2 = s.I(2);
        armed = s.I(3);
    }
    if (TRIG >= 1) armed = 1;
    if (armed != 0) {
        const double t = RUN_CLOCK.TIME;
        if (running == 0 && e1 >= 0.95 && e2 <= 0.0) {
            running = by1 = 1;
            t0 = t;
        } else if (running == 0 && e1 <= 0.0 && e2 >= 0.95) {
            running = by2 = 1;
            t0 = t;
        }
        if (running != 0 && (by1 != 0 ? e2 >= 0.95 : by2 != 0 && e1 >= 0.95)) {
            ANG = (by1 != 0 ? 1.0 : -1.0) * (t - t0) * F * 360.0;
            DONE = 1;
            running = by1 = by2 = armed = 0;
        }
    }
    s.F(0) = t0;
    s.F(1) = ANG;
    s.I(0) = running;
    s.I(1) = by1;
    s.I(2) = by2;
    s.I(3) = armed;
}
