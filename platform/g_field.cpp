#include "platform/g_field.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstring>
#include <string>

#include "platform/fortran_format.h"

namespace {

constexpr int kDigits = 14;
constexpr int kPad = 4;  // blanks after the fixed form

// The shared formatter's range tests, built the same way so that both pick
// the same form to the last bit: the fixed form with k - 1 digits before
// the point when |x| < kBelow[k].
struct Thresholds {
    std::array<double, kDigits + 2> below{};
    double r = 1.0 - 0.5 / 1e14;
    Thresholds() {
        for (int mid = 0; mid <= kDigits + 1; ++mid) {
            double p = 1.0;
            for (int i = 0; i < (mid >= 1 ? mid - 1 : 1); ++i) p *= 10;
            below[static_cast<size_t>(mid)] = (mid >= 1 ? p : 1.0 / p) * r;
        }
    }
};

const Thresholds& thresholds() {
    static const Thresholds t;
    return t;
}

// Copies body right-aligned into a field of width w.
void right_align(const char* body, size_t n, char* field, size_t w) {
    std::memset(field, ' ', w - n);
    std::memcpy(field + (w - n), body, n);
}

void general(double x, char* field) {
    const std::string s = edit("G23.14", x);
    std::memcpy(field, s.data(), G23_WIDTH);
}

}  // namespace

void put_g23_14(double x, char* field) {
    if (!std::isfinite(x)) return general(x, field);
    const Thresholds& t = thresholds();
    const double m = std::fabs(x);
    char body[48];
    size_t n = 0;
    if (std::signbit(x)) body[n++] = '-';

    if (m > 0.0 && (m < t.below[0] || 0.5 >= 1e14 - m)) {
        // 0.ddddddddddddddE+xx from d.ddddddddddddde+xx
        char sci[32];
        const auto r = std::to_chars(sci, sci + sizeof sci, m, std::chars_format::scientific, kDigits - 1);
        const char* e = static_cast<const char*>(std::memchr(sci, 'e', static_cast<size_t>(r.ptr - sci)));
        int exp = 0;
        std::from_chars(e + 2, r.ptr, exp);
        exp = (e[1] == '-' ? -exp : exp) + 1;
        if (exp > 99 || exp < -99) return general(x, field);
        body[n++] = '0';
        body[n++] = '.';
        body[n++] = sci[0];
        std::memcpy(body + n, sci + 2, kDigits - 1);
        n += kDigits - 1;
        body[n++] = 'E';
        body[n++] = exp < 0 ? '-' : '+';
        const int a = exp < 0 ? -exp : exp;
        body[n++] = static_cast<char>('0' + a / 10);
        body[n++] = static_cast<char>('0' + a % 10);
        return right_align(body, n, field, G23_WIDTH);
    }

    int mid = 0;
    while (mid <= kDigits && !(m < t.below[static_cast<size_t>(mid)])) ++mid;
    const int decimals = m == 0.0 ? kDigits - 1 : kDigits + 1 - mid;
    const auto r = std::to_chars(body + n, body + sizeof body, m, std::chars_format::fixed, decimals);
    n = static_cast<size_t>(r.ptr - body);
    if (decimals == 0) body[n++] = '.';
    right_align(body, n, field, G23_WIDTH - kPad);
    std::memset(field + G23_WIDTH - kPad, ' ', kPad);
}
