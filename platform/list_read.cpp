#include "platform/list_read.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <system_error>

namespace {

// Kind of a repeated value; None is a repeated null.
enum class Kind { None, Int, Real, Complex, Logical, Text };

// gfortran's limit on a repeat count.
constexpr int64_t kMaxRepeat = 200000000;

bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
bool is_separator(char c) { return is_blank(c) || c == ',' || c == '/'; }
bool is_digit(char c) { return c >= '0' && c <= '9'; }
char lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }
bool is_alnum(char c) { return is_digit(c) || (lower(c) >= 'a' && lower(c) <= 'z'); }

bool equal_nocase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (lower(a[i]) != lower(b[i])) return false;
    return true;
}

bool parse_int(std::string_view t, int32_t& v) {
    size_t i = 0;
    bool neg = false;
    if (i < t.size() && (t[i] == '+' || t[i] == '-')) neg = t[i++] == '-';
    if (i == t.size()) return false;
    int64_t n = 0;
    for (; i < t.size(); ++i) {
        if (!is_digit(t[i])) return false;
        n = n * 10 + (t[i] - '0');
        if (n > 2147483648LL) return false;
    }
    if (neg) n = -n;
    if (n > std::numeric_limits<int32_t>::max()) return false;
    v = static_cast<int32_t>(n);
    return true;
}

// For a value that does not fit a double: true when it is too large (it
// becomes infinite), false when too small (it becomes zero), as strtod.
bool too_large(std::string_view mantissa, std::string_view exponent) {
    const size_t point = std::min(mantissa.find('.'), mantissa.size());
    int64_t magnitude = 0;
    for (size_t k = 0; k < mantissa.size(); ++k) {
        if (mantissa[k] == '.' || mantissa[k] == '0') continue;
        magnitude = k < point ? static_cast<int64_t>(point - k) - 1 : -static_cast<int64_t>(k - point);
        break;
    }
    int64_t e = 0;
    size_t i = 0;
    const bool neg = !exponent.empty() && exponent[0] == '-';
    if (!exponent.empty() && (exponent[0] == '+' || exponent[0] == '-')) ++i;
    for (; i < exponent.size(); ++i) e = std::min<int64_t>(e * 10 + (exponent[i] - '0'), 1000000);
    return magnitude + (neg ? -e : e) > 0;
}

// Fortran real forms: 1  1.  .5  1.5e3  1.5D-3  1.5q3  1.5+3  Inf
// Infinity  NaN  NaN(chars), with an optional sign.
bool parse_real(std::string_view t, double& v) {
    size_t i = 0;
    bool neg = false;
    if (i < t.size() && (t[i] == '+' || t[i] == '-')) neg = t[i++] == '-';
    const std::string_view r = t.substr(i);
    if (equal_nocase(r, "inf") || equal_nocase(r, "infinity")) {
        v = neg ? -std::numeric_limits<double>::infinity() : std::numeric_limits<double>::infinity();
        return true;
    }
    if (r.size() >= 3 && equal_nocase(r.substr(0, 3), "nan")) {
        const std::string_view tail = r.substr(3);
        if (!tail.empty()) {
            if (tail.size() < 2 || tail.front() != '(' || tail.back() != ')') return false;
            for (char c : tail.substr(1, tail.size() - 2))
                if (!is_alnum(c) && c != '_') return false;
        }
        v = std::numeric_limits<double>::quiet_NaN();
        return true;
    }
    std::string num;
    size_t j = 0;
    int digits = 0;
    while (j < r.size() && is_digit(r[j])) num += r[j++], ++digits;
    if (j < r.size() && r[j] == '.') {
        num += r[j++];
        while (j < r.size() && is_digit(r[j])) num += r[j++], ++digits;
    }
    if (digits == 0) return false;
    const size_t mantissa_len = num.size();
    if (j < r.size()) {
        const char c = lower(r[j]);
        if (c == 'e' || c == 'd' || c == 'q')
            ++j;
        else if (c != '+' && c != '-')
            return false;
        num += 'e';
        if (j < r.size() && (r[j] == '+' || r[j] == '-')) num += r[j++];
        const size_t first = j;
        while (j < r.size() && is_digit(r[j])) num += r[j++];
        if (j == first || j != r.size()) return false;
    }
    double x = 0.0;
    const auto res = std::from_chars(num.data(), num.data() + num.size(), x);
    if (res.ec == std::errc::result_out_of_range) {
        const std::string_view all(num);
        const std::string_view exponent = mantissa_len < all.size() ? all.substr(mantissa_len + 1) : "";
        x = too_large(all.substr(0, mantissa_len), exponent) ? std::numeric_limits<double>::infinity() : 0.0;
    } else if (res.ec != std::errc() || res.ptr != num.data() + num.size()) {
        return false;
    }
    v = neg ? -x : x;
    return true;
}

bool parse_finite_real(std::string_view t, double& v) {
    double x = 0.0;
    if (!parse_real(t, x) || !std::isfinite(x)) return false;
    v = x;
    return true;
}

// .TRUE., T, true, .t ...: an optional point, then T or F; the rest of the
// field is not looked at.
bool parse_logical(std::string_view t, Logical& v) {
    const size_t i = (!t.empty() && t[0] == '.') ? 1 : 0;
    if (i >= t.size()) return false;
    const char c = lower(t[i]);
    if (c != 't' && c != 'f') return false;
    v = c == 't' ? LTRUE : LFALSE;
    return true;
}

}  // namespace

struct ListRead::Impl {
    bool (*take_real)(std::string_view, double&) = parse_real;  // parse_finite_real for Reals::Finite
    bool from_unit = false;
    int unit = 0;
    std::string rec;
    size_t pos = 0;
    bool at_eof = false;
    bool stopped = false;   // a '/' ended the statement
    bool sep_comma = true;  // the separator since the last value holds a comma
    bool started = false;   // the first item has found its value or null
    int64_t pending = 1;    // repeat count of the value being parsed

    int64_t repeat_left = 0;
    Kind repeat_kind = Kind::None;
    int32_t rep_i = 0;
    double rep_r = 0.0;
    std::complex<double> rep_z;
    Logical rep_l = LFALSE;
    std::string rep_s;

    enum class Step { Skip, Stored, Parse };

    ReadStatus next_record() {
        if (!from_unit || at_eof) return ReadStatus::End;
        std::string line;
        const ReadStatus st = unit_read_line(unit, line);
        if (st == ReadStatus::Ok) {
            rec = std::move(line);
            pos = 0;
        } else {
            at_eof = true;
        }
        return st;
    }

    bool at_eor() const { return pos >= rec.size(); }
    char cur() const { return rec[pos]; }

    void skip_blanks() {
        while (!at_eor() && is_blank(cur())) ++pos;
    }

    // Skips blanks and record ends; false (st set) when the data run out.
    bool skip_to_data(ReadStatus& st) {
        for (;;) {
            skip_blanks();
            if (!at_eor()) return true;
            st = next_record();
            if (st != ReadStatus::Ok) return false;
        }
    }

    std::string_view token(bool stop_at_paren = false) {
        const size_t start = pos;
        while (!at_eor() && !is_separator(cur()) && !(stop_at_paren && cur() == ')')) ++pos;
        return std::string_view(rec).substr(start, pos - start);
    }

    void eat_separator() {
        skip_blanks();
        sep_comma = !at_eor() && cur() == ',';
        if (sep_comma) ++pos;
    }

    // A value that closes itself (quote, parenthesis) must be followed by
    // a separator.
    bool separator_follows() const { return at_eor() || is_separator(cur()); }

    void end_value(Kind k) {
        if (pending > 1) {
            repeat_left = pending - 1;
            repeat_kind = k;
        }
        eat_separator();
    }

    // Finds what the next item gets: nothing (null value, '/', end, error),
    // the repeated value, or a value to parse at pos.
    Step begin(Kind k, ReadStatus& st) {
        if (stopped) return Step::Skip;
        if (repeat_left > 0) {
            --repeat_left;
            if (repeat_kind == Kind::None) return Step::Skip;
            if (repeat_kind != k) {
                st = ReadStatus::Error;
                return Step::Skip;
            }
            return Step::Stored;
        }
        for (;;) {
            skip_blanks();
            if (at_eor()) {
                st = next_record();
                if (st != ReadStatus::Ok) return Step::Skip;
                // As gfortran: a comma after the first record of the
                // statement but before its first item is no null value.
                if (!started) sep_comma = false;
                continue;
            }
            started = true;
            if (cur() == '/') {
                stopped = true;
                return Step::Skip;
            }
            if (cur() != ',') break;
            ++pos;
            // A comma after a value ended by the record end belongs to that
            // separator; any other comma closes a null value.
            if (sep_comma) return Step::Skip;
            sep_comma = true;
        }
        pending = 1;
        size_t j = pos;
        while (j < rec.size() && is_digit(rec[j])) ++j;
        if (j > pos && j < rec.size() && rec[j] == '*') {
            int64_t n = 0;
            for (size_t i = pos; i < j; ++i) {
                n = n * 10 + (rec[i] - '0');
                if (n > kMaxRepeat) {
                    st = ReadStatus::Error;
                    return Step::Skip;
                }
            }
            if (n == 0) {
                st = ReadStatus::Error;
                return Step::Skip;
            }
            pos = j + 1;
            if (separator_follows()) {
                repeat_left = n - 1;
                repeat_kind = Kind::None;
                eat_separator();
                return Step::Skip;
            }
            pending = n;
        }
        return Step::Parse;
    }

    bool parse_complex(std::complex<double>& z, ReadStatus& st) {
        if (cur() != '(') {
            st = ReadStatus::Error;
            return false;
        }
        ++pos;
        double part[2] = {0.0, 0.0};
        for (int k = 0; k < 2; ++k) {
            if (!skip_to_data(st)) return false;
            if (!take_real(token(true), part[k])) {
                st = ReadStatus::Error;
                return false;
            }
            if (!skip_to_data(st)) return false;
            if (cur() != (k == 0 ? ',' : ')')) {
                st = ReadStatus::Error;
                return false;
            }
            ++pos;
        }
        if (!separator_follows()) {
            st = ReadStatus::Error;
            return false;
        }
        z = {part[0], part[1]};
        return true;
    }

    // A quoted text; on a unit it may go on over record ends (which add
    // nothing to it). The end of the data closes it, as gfortran does.
    bool parse_quoted(std::string& s, ReadStatus& st) {
        const char q = cur();
        ++pos;
        for (;;) {
            if (at_eor()) {
                const ReadStatus r = next_record();
                if (r == ReadStatus::End) return true;
                if (r != ReadStatus::Ok) {
                    st = r;
                    return false;
                }
                continue;
            }
            const char c = rec[pos++];
            if (c != q) {
                s += c;
            } else if (!at_eor() && cur() == q) {
                s += q;
                ++pos;
            } else if (separator_follows()) {
                return true;
            } else {
                st = ReadStatus::Error;
                return false;
            }
        }
    }
};

ListRead::ListRead(int unit, Reals reals) : impl_(new Impl) {
    if (reals == Reals::Finite) impl_->take_real = parse_finite_real;
    impl_->from_unit = true;
    impl_->unit = unit;
    status_ = impl_->next_record();
}

ListRead::ListRead(std::string_view text, Reals reals) : impl_(new Impl) {
    if (reals == Reals::Finite) impl_->take_real = parse_finite_real;
    impl_->rec.assign(text);
}

ListRead::~ListRead() { delete impl_; }

namespace {

// One value of a plain kind: a repeat already read, or the next token.
template <class Impl, class T>
void read_scalar(Impl& impl, ReadStatus& status, Kind kind, T& rep, T& v, bool (*parse)(std::string_view, T&)) {
    if (status != ReadStatus::Ok) return;
    switch (impl.begin(kind, status)) {
        case Impl::Step::Skip: break;
        case Impl::Step::Stored: v = rep; break;
        case Impl::Step::Parse:
            if (!parse(impl.token(), rep)) {
                status = ReadStatus::Error;
                break;
            }
            v = rep;
            impl.end_value(kind);
            break;
    }
}

}  // namespace

ListRead& ListRead::integer(int32_t& v) {
    read_scalar(*impl_, status_, Kind::Int, impl_->rep_i, v, parse_int);
    return *this;
}

ListRead& ListRead::real(double& v) {
    read_scalar(*impl_, status_, Kind::Real, impl_->rep_r, v, impl_->take_real);
    return *this;
}

ListRead& ListRead::complex(std::complex<double>& v) {
    if (status_ != ReadStatus::Ok) return *this;
    switch (impl_->begin(Kind::Complex, status_)) {
        case Impl::Step::Skip: break;
        case Impl::Step::Stored: v = impl_->rep_z; break;
        case Impl::Step::Parse:
            if (!impl_->parse_complex(impl_->rep_z, status_)) break;
            v = impl_->rep_z;
            impl_->end_value(Kind::Complex);
            break;
    }
    return *this;
}

ListRead& ListRead::logical(Logical& v) {
    read_scalar(*impl_, status_, Kind::Logical, impl_->rep_l, v, parse_logical);
    return *this;
}

ListRead& ListRead::text(std::string& v) {
    if (status_ != ReadStatus::Ok) return *this;
    switch (impl_->begin(Kind::Text, status_)) {
        case Impl::Step::Skip: break;
        case Impl::Step::Stored: v = impl_->rep_s; break;
        case Impl::Step::Parse: {
            std::string s;
            const char c = impl_->cur();
            if (c == '\'' || c == '"') {
                if (!impl_->parse_quoted(s, status_)) break;
            } else {
                s = impl_->token();
            }
            v = s;
            impl_->rep_s = std::move(s);
            impl_->end_value(Kind::Text);
            break;
        }
    }
    return *this;
}
