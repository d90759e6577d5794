#include "engine/engine_utils.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

// 10^n by repeated squaring, as an integer power is computed.
double ipow10(int n) {
    double base = 10.0, r = 1.0;
    unsigned e = static_cast<unsigned>(n < 0 ? -n : n);
    while (e != 0) {
        if (e & 1u) r *= base;
        base *= base;
        e >>= 1;
    }
    return n < 0 ? 1.0 / r : r;
}

}  // namespace

std::time_t build_date_from(const char* date_text, const char* time_text) {
    static const char* const months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    char word[8] = {0};
    int day = 1, year = 1970, hour = 0, minute = 0, second = 0;
    std::sscanf(date_text, "%7s %d %d", word, &day, &year);
    std::sscanf(time_text, "%d:%d:%d", &hour, &minute, &second);
    int month = 0;
    bool known = false;
    for (int m = 0; m < 12; ++m) {
        if (std::strcmp(word, months[m]) == 0) {
            month = m;
            known = true;
            break;
        }
    }
    if (!known) std::fprintf(stderr, "WARNING: wrong time stamp '%s' in code!\n", date_text);
    std::tm tm{};
    tm.tm_year = year - 1900;
    tm.tm_mon = month;
    tm.tm_mday = day;
    tm.tm_hour = hour;
    tm.tm_min = minute;
    tm.tm_sec = second;
    tm.tm_isdst = -1;
    return std::mktime(&tm);
}

std::time_t BUILD_DATE() { return build_date_from(__DATE__, __TIME__); }

std::string build_string_text() {
    const std::time_t t = BUILD_DATE();
    std::tm tm{};
    localtime_r(&t, &tm);
    char buf[40];
    std::snprintf(buf, sizeof buf, "Build# %4d%02d%02d", tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday);
    return buf;
}

void DATE_TIME6(int32_t& year, int32_t& month, int32_t& day, int32_t& hour, int32_t& minute, int32_t& second) {
    const std::time_t t = std::time(nullptr);
    std::tm tm{};
    localtime_r(&t, &tm);
    year = tm.tm_year + 1900;
    month = tm.tm_mon + 1;
    day = tm.tm_mday;
    hour = tm.tm_hour;
    minute = tm.tm_min;
    second = tm.tm_sec;
}

void date_time6(TimeBlock& b) { DATE_TIME6(b.year, b.month, b.day, b.hour, b.minute, b.second); }

void ZERO4(int32_t& a, int32_t& b, int32_t& c, int32_t& d) { a = b = c = d = 0; }

int32_t TRIMLEN(std::string_view text, int32_t length) {
    if (length < 1) return 0;
    const size_t n = std::min(text.size(), static_cast<size_t>(length));
    return static_cast<int32_t>(len_trim(text.substr(0, n)));
}

Logical NONBLANK72(std::string_view text) {
    const std::string_view head = text.substr(0, std::min<size_t>(72, text.size()));
    return as_logical(head.find_first_not_of(' ') != std::string_view::npos);
}

double ROUND_SIG(double x) {
    const double s = (x >= 0.0) ? 1.0 : -1.0;
    const double a = std::fabs(x);
    if (!(a >= 1e-30)) return a * s;
    const int n = nint(std::log10(a));
    const double p = ipow10(n - 7);
    return static_cast<double>(std::llround(a / p)) * p * s;
}
