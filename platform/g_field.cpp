#include "platform/g_field.h"

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
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

// Copies body right-aligned into the first w characters of the field,
// the whole field blank around it.
void right_align(const char* body, size_t n, char* field, size_t w) {
    std::memset(field, ' ', G23_WIDTH);
    std::memcpy(field + (w - n), body, n);
}

void general(double x, char* field) {
    const std::string s = edit("G23.14", x);
    std::memcpy(field, s.data(), G23_WIDTH);
}

using u128 = unsigned __int128;

constexpr uint64_t pow5(int n) { return n == 0 ? 1 : 5 * pow5(n - 1); }
constexpr int kMaxPow5 = 27;  // the largest power of 5 below 2^63

// m x 10^s rounded to the nearest integer, worked out exactly in integers
// from m = M 2^E: false when the value lies exactly halfway (left to the
// library's rounding), for m not normal, or beyond what 128 bits hold here.
bool scaled(double m, int s, uint64_t& q) {
    static constexpr auto k5 = [] {
        std::array<uint64_t, kMaxPow5 + 1> t{};
        for (int n = 0; n <= kMaxPow5; ++n) t[static_cast<size_t>(n)] = pow5(n);
        return t;
    }();
    if (s > kMaxPow5 || s < -kMaxPow5) return false;
    const uint64_t bits = std::bit_cast<uint64_t>(m);
    const int biased = static_cast<int>(bits >> 52);  // m is positive
    if (biased == 0 || biased == 0x7ff) return false;
    const uint64_t M = (bits & ((uint64_t{1} << 52) - 1)) | (uint64_t{1} << 52);
    const int E = biased - 1075;
    // The value is n 2^shift, or n 2^shift / 5^-s.
    u128 n = M;
    if (s >= 0) n *= k5[static_cast<size_t>(s)];
    const int shift = E + s;
    if (shift > 0) {
        if (shift > 60 || (n >> (127 - shift)) != 0) return false;
        n <<= shift;
    }
    u128 whole, rest, half2;  // half2: twice the rest that is one half
    if (s >= 0) {
        const int down = shift < 0 ? -shift : 0;
        if (down > 120) return false;
        whole = n >> down;
        rest = n - (whole << down);
        half2 = u128{1} << down;
    } else {
        if (-shift > 64) return false;
        const u128 d = u128{k5[static_cast<size_t>(-s)]} << (shift < 0 ? -shift : 0);
        whole = n / d;
        rest = n - whole * d;
        half2 = d;
    }
    if (whole >> 63 != 0 || 2 * rest == half2) return false;
    q = static_cast<uint64_t>(whole) + (2 * rest > half2 ? 1 : 0);
    return true;
}

// The last `count` decimal digits of v, most significant first.
void put_digits(uint64_t v, int count, char* out) {
    static constexpr auto pairs = [] {
        std::array<char, 200> t{};
        for (int i = 0; i < 100; ++i) {
            t[static_cast<size_t>(2 * i)] = static_cast<char>('0' + i / 10);
            t[static_cast<size_t>(2 * i + 1)] = static_cast<char>('0' + i % 10);
        }
        return t;
    }();
    int k = count;
    while (k >= 2) {
        const size_t p = static_cast<size_t>(v % 100) * 2;
        v /= 100;
        out[--k] = pairs[p + 1];
        out[--k] = pairs[p];
    }
    if (k == 1) out[0] = static_cast<char>('0' + v % 10);
}

constexpr uint64_t pow10(int n) { return n == 0 ? 1 : 10 * pow10(n - 1); }

// The number of decimal digits of v, at least `least`.
int digit_count(uint64_t v, int least) {
    static constexpr auto p10 = [] {
        std::array<uint64_t, 20> t{};
        for (int n = 0; n < 20; ++n) t[static_cast<size_t>(n)] = pow10(n);
        return t;
    }();
    int n = least;
    while (n < 19 && v >= p10[static_cast<size_t>(n)]) ++n;
    return n;
}

// The 14 significant digits of m > 0 and its decimal exponent e, so that m
// rounds to 0.d1...d14 x 10^e; false where the library has to decide.
bool significant(double m, char* digits, int& e) {
    constexpr uint64_t lo = 10000000000000ULL, hi = 100000000000000ULL;
    int e2 = 0;
    std::frexp(m, &e2);
    // log10(m) lies within one of this.
    int e10 = static_cast<int>(std::floor((e2 - 1) * 0.30102999566398120));
    for (int tries = 0; tries < 3; ++tries) {
        uint64_t q = 0;
        if (!scaled(m, kDigits - 1 - e10, q)) return false;
        if (q < lo) {
            --e10;
        } else if (q > hi) {
            ++e10;
        } else {
            if (q == hi) {
                q = lo;
                ++e10;
            }
            put_digits(q, kDigits, digits);
            e = e10 + 1;
            return true;
        }
    }
    return false;
}

// m rounded to `decimals` decimals in fixed form ("0.5000", "12.5", and
// "12" without decimals), with about `whole` digits before the point; the
// characters written, or 0 where the library has to decide.
size_t fixed(double m, int decimals, int whole_guess, char* out) {
    uint64_t q = 0;
    if (m == 0.0) {
        q = 0;
    } else if (!scaled(m, decimals, q)) {
        return 0;
    }
    // A zero before the point at least.
    const int n = digit_count(q, decimals + std::max(whole_guess - 1, 1));
    const int whole = n - decimals;
    put_digits(q, n, out + (decimals > 0 ? 1 : 0));
    if (decimals == 0) return static_cast<size_t>(n);
    // The whole part moves one place left to make room for the point.
    std::memmove(out, out + 1, static_cast<size_t>(whole));
    out[whole] = '.';
    return static_cast<size_t>(n + 1);
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
        // 0.ddddddddddddddE+xx
        char digits[kDigits];
        int exp = 0;
        if (!significant(m, digits, exp)) {
            // From the library's d.ddddddddddddde+xx.
            char sci[32];
            const auto r = std::to_chars(sci, sci + sizeof sci, m, std::chars_format::scientific, kDigits - 1);
            const char* e = static_cast<const char*>(std::memchr(sci, 'e', static_cast<size_t>(r.ptr - sci)));
            std::from_chars(e + 2, r.ptr, exp);
            exp = (e[1] == '-' ? -exp : exp) + 1;
            digits[0] = sci[0];
            std::memcpy(digits + 1, sci + 2, kDigits - 1);
        }
        if (exp > 99 || exp < -99) return general(x, field);
        body[n++] = '0';
        body[n++] = '.';
        std::memcpy(body + n, digits, kDigits);
        n += kDigits;
        body[n++] = 'E';
        body[n++] = exp < 0 ? '-' : '+';
        const int a = exp < 0 ? -exp : exp;
        body[n++] = static_cast<char>('0' + a / 10);
        body[n++] = static_cast<char>('0' + a % 10);
        return right_align(body, n, field, G23_WIDTH);
    }

    // m is at least 2^(e2 - 1), so at least 10^a with a from e2 below, and
    // 10^a r is below[a + 1]: the search starts at a + 2.
    const int e2 = static_cast<int>(std::bit_cast<uint64_t>(m) >> 52) - 1022;
    const int a = static_cast<int>(std::floor((e2 - 1) * 0.30102999566398120));
    int mid = std::clamp(a + 2, 0, kDigits + 1);
    while (mid <= kDigits && !(m < t.below[static_cast<size_t>(mid)])) ++mid;
    const int decimals = m == 0.0 ? kDigits - 1 : kDigits + 1 - mid;
    if (const size_t k = fixed(m, decimals, mid - 1, body + n)) {
        n += k;
    } else {
        const auto r = std::to_chars(body + n, body + sizeof body, m, std::chars_format::fixed, decimals);
        n = static_cast<size_t>(r.ptr - body);
    }
    if (decimals == 0) body[n++] = '.';
    right_align(body, n, field, G23_WIDTH - kPad);
}
