#include "controls/filters/transfer_function.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <string>

#include "controls/block_slots.h"
#include "controls/elementary/block_support.h"
#include "controls/filters/polynomials.h"
#include "engine/abort.h"
#include "engine/run_state.h"
#include "network/dense_matrix.h"

namespace {

constexpr int32_t kMaxOrder = 10;
constexpr const char* kName = "TFDN10";

using Square = std::array<double, kMaxOrder * kMaxOrder>;

// Element (i, j), 1-based, of a matrix stored by columns with leading
// dimension kMaxOrder.
double& at(Square& m, int32_t i, int32_t j) { return m[(j - 1) * kMaxOrder + (i - 1)]; }

void say(const std::string& text) { USERMSG(CURRENT_IDS.id1, CURRENT_IDS.id2, 2, 1, text); }

// Checked at every call: a later call with a larger order would reach past
// the work arrays and the block's slots.
void check_order(int32_t N) {
    if (N > kMaxOrder) {
        say("Transfer Function TFDN10 array overflow: Order of ");
        say("denominator cannot be greater than " + std::to_string(kMaxOrder));
        say(". Try factoring the transfer function ");
        say("and use two or more cascaded blocks.");
        ABORT_RUN(Text12(kName), 0);
    }
    if (N < 1) block_data_error(kName, "Order of transfer function must be at least 1");
}

// The discrete model of num/den at the time step, stored at the slots.
void design(const BlockSlots& s, int32_t N, double* num, double* den, const double* init) {
    if (first_step_data())
        for (int32_t j = 0; j < N; ++j) s.F(N * N + N + j) = init[j];
    std::reverse(num, num + N + 1);
    std::reverse(den, den + N + 1);
    if (std::fabs(den[0]) < 1e-20) {
        say("Ill conditioned coefficient matrix in ");
        say("non-linear transfer function block. Denominator ");
        say("should be of higher order than the order of Numerator.");
        ABORT_RUN(Text12(kName), 0);
    }
    const double k = 1.0 / den[0];
    for (int32_t m = 0; m <= N; ++m) num[m] *= k;
    for (int32_t m = 1; m <= N; ++m) den[m] *= k;
    den[0] = 1.0;
    const double* a = den;
    const double* b = num;

    const double h = 0.5 * RUN_CLOCK.DELT;
    Square M1{}, M2{}, inv{};
    for (int32_t k1 = 1; k1 <= N; ++k1) at(M1, k1, k1) = at(M2, k1, k1) = 1.0;
    for (int32_t k1 = 1; k1 < N; ++k1) {
        at(M1, k1 + 1, k1) = h;
        at(M2, k1 + 1, k1) = -h;
    }
    for (int32_t i = 1; i <= N; ++i) {
        at(M1, i, N) = -h * a[N + 1 - i];
        at(M2, i, N) = h * a[N + 1 - i];
    }
    at(M1, N, N) += 1.0;
    at(M2, N, N) += 1.0;
    if (MAT_INVERT_LD(M2.data(), kMaxOrder, N, inv.data()) == 0.0)
        block_data_error(kName, "Singular matrix in transfer function block TFDN10");

    // Markov coefficients: c[0] the direct term, c[1..N] the input vector.
    std::array<double, kMaxOrder + 1> c{};
    c[0] = b[0];
    for (int32_t i = 1; i <= N; ++i) {
        c[i] = b[i];
        for (int32_t m = 1; m <= i; ++m) c[i] -= a[m] * c[i - m];
    }
    for (int32_t r = 1; r <= N; ++r) {
        for (int32_t col = 1; col <= N; ++col) {
            double sum = 0.0;
            for (int32_t k1 = 1; k1 <= N; ++k1) sum += at(M1, r, k1) * at(inv, k1, col);
            s.F((r - 1) * N + (col - 1)) = sum;
        }
    }
    for (int32_t col = 1; col <= N; ++col) {
        double sum = 0.0;
        for (int32_t k1 = 1; k1 <= N; ++k1) sum += c[k1] * at(inv, k1, col);
        s.F(N * N + col - 1) = RUN_CLOCK.DELT * sum;
    }
    s.F(N * N + 2 * N) = c[0];
}

}  // namespace

double MAT_INVERT_LD(const double* matrix, int32_t L, int32_t n, double* result) {
    if (n < 1 || n > L || n > kMaxOrder) return 0.0;
    Square w{};
    std::array<int32_t, kMaxOrder> rows{}, cols{};
    for (int32_t j = 0; j < n; ++j)
        for (int32_t i = 0; i < n; ++i) w[j * n + i] = matrix[j * L + i];
    double det = 0.0;
    GJINV(w.data(), n * n, n, det, rows.data(), cols.data());
    if (det == 0.0) return 0.0;
    for (int32_t j = 0; j < n; ++j)
        for (int32_t i = 0; i < n; ++i) result[j * L + i] = w[j * n + i];
    return det;
}

void TFDN10(const int32_t& N, double* num, double* den, const double* init, const int32_t& mode,
            const int32_t& design_flag, const double& u, double& y) {
    check_order(N);
    const BlockSlots s = take_slots({.storf = N * N + 2 * N + 2});
    if (design_flag == 1) design(s, N, num, den, init);
    const int32_t gam = N * N, state = gam + N, direct = state + N, last_input = direct + 1;
    double ue = 0.0;
    if (mode == 0) {
        ue = u;
    } else if (mode == 1) {
        ue = 0.5 * (s.F(last_input) + u);
        s.F(last_input) = u;
    }
    std::array<double, kMaxOrder> x{};
    for (int32_t j = 0; j < N; ++j) {
        double sum = s.F(gam + j) * ue;
        for (int32_t i = 0; i < N; ++i) sum += s.F(state + i) * s.F(i * N + j);
        x[j] = sum;
    }
    y = x[0] + s.F(direct) * u;
    for (int32_t j = 0; j < N; ++j) s.F(state + j) = x[j];
}

void TFDN_SCALED(const int32_t& N, const double* num, const double* den, const double* init, const int32_t& mode,
                 const double& w, const double& u, double& y) {
    check_order(N);
    if (std::fabs(w) < 1e-20) block_data_error(kName, "Frequency must not be zero");
    const BlockSlots s = take_slots({.stor = 56});
    // S(0..10) the last numerator, S(11..21) the last denominator, S(22) the
    // last frequency; S(23..33) and S(35..45) the scaled polynomials.
    bool changed = false;
    const auto keep = [&](double& slot, double value) {
        if (first_step_data()) {
            slot = value;
        } else if (std::fabs(value - slot) > 1e-6) {
            slot = value;
            changed = true;
        }
    };
    for (int32_t i = 0; i <= N; ++i) {
        keep(s.S(i), num[i]);
        keep(s.S(11 + i), den[i]);
    }
    keep(s.S(22), w);
    std::array<double, kPolySize> b{}, a{};
    int32_t design_flag = 0;
    if (changed || is_true(RUN_FLAGS.FIRST_STEP_RUN)) {
        std::copy(num, num + kPolySize, b.begin());
        std::copy(den, den + kPolySize, a.begin());
        poly_fscale(N, w, 1, b.data(), a.data());
        for (int32_t i = 0; i < kPolySize; ++i) {
            s.S(23 + i) = b[i];
            s.S(35 + i) = a[i];
        }
        design_flag = 1;
    } else {
        for (int32_t i = 0; i < kPolySize; ++i) {
            b[i] = s.S(23 + i);
            a[i] = s.S(35 + i);
        }
    }
    TFDN10(N, b.data(), a.data(), init, mode, design_flag, u, y);
}
