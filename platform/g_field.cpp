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
    constexpr Thresholds() {
        for (int mid = 0; mid <= kDigits + 1; ++mid) {
            double p = 1.0;
            for (int i = 0; i < (mid >= 1 ? mid - 1 : 1); ++i) p *= 10;
            below[static_cast<size_t>(mid)] = (mid >= 1 ? p : 1.0 / p) * r;
        }
    }
};

// Worked out by the compiler, whose double arithmetic rounds as the
// processor's does: no guard to test per value.
constexpr Thresholds kThresholds{};

// The body is built at kBodyAt of a blank buffer, with room for a field
// before it and the blanks after the fixed form behind it.
constexpr size_t kBodyAt = 24, kBuffer = 64;

// The field holding the body of n characters right-aligned in its first w
// characters, blanks around it: one copy of a whole field.
void right_align(const char* body, size_t n, char* field, size_t w) {
    std::memcpy(field, body + n - w, G23_WIDTH);
}

void general(double x, char* field) {
    const std::string s = edit("G23.14", x);
    std::memcpy(field, s.data(), G23_WIDTH);
}

// floor(x log10 2) as floor(x * 0.30102999566398120) gives it, for every
// binary exponent x of a double (|x| below 1200), in integers.
constexpr int floor_log10_2(int x) { return (x * 78913) >> 18; }

using u128 = unsigned __int128;

constexpr uint64_t pow5(int n) { return n == 0 ? 1 : 5 * pow5(n - 1); }
constexpr int kMaxPow5 = 27;  // the largest power of 5 below 2^63

// m x 10^s rounded to the nearest integer, worked out exactly in integers
// from m = M 2^E: false when the value lies exactly halfway (left to the
// library's rounding), for m not normal, or beyond what 128 bits hold here.
[[gnu::always_inline]] inline bool scaled(double m, int s, uint64_t& q) {
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
        if (down < 64) {
            // The usual case: the rest and the half lie in the low word.
            // The two words shifted apart, the shift being below 64.
            const uint64_t lo = static_cast<uint64_t>(n), hi = static_cast<uint64_t>(n >> 64);
            const uint64_t w = (lo >> down) | ((hi << 1) << (63 - down));
            const uint64_t r = lo & ((uint64_t{1} << down) - 1), h2 = uint64_t{1} << down;
            if ((hi >> down) != 0 || w >> 63 != 0 || 2 * r == h2) return false;
            q = w + (2 * r > h2 ? 1 : 0);
            return true;
        }
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

// The eight decimal digits of v < 10^8 at out, most significant first,
// worked out side by side in the lanes of one word: two halves of four
// digits, four pairs, eight digits (the quotients by 100 and 10 are exact
// multiply-and-shift forms over the lanes' ranges).
inline void put_eight(uint32_t v, char* out) {
    const uint64_t halves = v / 10000 | uint64_t{v % 10000} << 32;
    const uint64_t hundreds = (halves * 5243) >> 19 & 0x0000007F0000007FULL;
    const uint64_t pairs = hundreds | (halves - hundreds * 100) << 16;
    const uint64_t tens = (pairs * 103) >> 10 & 0x000F000F000F000FULL;
    const uint64_t digits = tens | (pairs - tens * 10) << 8;
    uint64_t text = digits + 0x3030303030303030ULL;
    // The first digit is in the lowest byte.
    if constexpr (std::endian::native == std::endian::big) text = __builtin_bswap64(text);
    std::memcpy(out, &text, 8);
}

// The last `count` (at most 24) decimal digits of v, most significant
// first: written eight at a time from the right, the last of them just
// before `end`; the first of them returned.
const char* digits_of(uint64_t v, int count, char* end) {
    // Nine to sixteen digits, the usual count: the two groups of eight
    // with one division.
    if (count > 8 && count <= 16 && v < 10000000000000000ULL) {
        const uint64_t above = v / 100000000;
        put_eight(static_cast<uint32_t>(v - above * 100000000), end - 8);
        put_eight(static_cast<uint32_t>(above), end - 16);
        return end - count;
    }
    int at = 0;
    do {
        const uint64_t above = v / 100000000;
        put_eight(static_cast<uint32_t>(v - above * 100000000), end - at - 8);
        v = above;
        at += 8;
    } while (at < count);
    return end - count;
}

// The same digits at out.
void put_digits(uint64_t v, int count, char* out) {
    char buffer[24];
    std::memcpy(out, digits_of(v, count, buffer + 24), static_cast<size_t>(count));
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
    // The binary exponent frexp gives a normal m; for any other m scaled()
    // declines whatever the estimate.
    const int e2 = static_cast<int>(std::bit_cast<uint64_t>(m) >> 52) - 1022;
    // log10(m) lies within one of this.
    int e10 = floor_log10_2(e2 - 1);
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
    // The digits end at 24 of a buffer long enough that both parts are
    // copied as 16 characters each, blanks after the last digit.
    char buffer[40];
    std::memset(buffer + 24, ' ', 16);
    const char* d = digits_of(q, n, buffer + 24);
    std::memcpy(out, d, 16);
    if (decimals == 0) return static_cast<size_t>(n);
    out[whole] = '.';
    std::memcpy(out + whole + 1, d + whole, 16);
    return static_cast<size_t>(n + 1);
}

}  // namespace

void put_g23_14(double x, char* field) {
    if (!std::isfinite(x)) return general(x, field);
    const Thresholds& t = kThresholds;
    const double m = std::fabs(x);
    char buffer[kBuffer];
    std::memset(buffer, ' ', kBuffer);
    char* const body = buffer + kBodyAt;
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
    const int a = floor_log10_2(e2 - 1);
    int mid = std::clamp(a + 2, 0, kDigits + 1);
    while (mid <= kDigits && !(m < t.below[static_cast<size_t>(mid)])) ++mid;
    const int decimals = m == 0.0 ? kDigits - 1 : kDigits + 1 - mid;
    if (const size_t k = fixed(m, decimals, mid - 1, body + n)) {
        n += k;
    } else {
        const auto r = std::to_chars(body + n, buffer + kBuffer, m, std::chars_format::fixed, decimals);
        n = static_cast<size_t>(r.ptr - body);
    }
    if (decimals == 0) body[n++] = '.';
    right_align(body, n, field, G23_WIDTH - kPad);
}
