#include "platform/fortran_format.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <vector>

namespace {

// Guards against formats that would write without end or without bound.
constexpr long kMaxNumber = 99999;
constexpr size_t kMaxOutput = size_t{1} << 24;

[[noreturn]] void fail(const std::string& what) { throw FormatError(what); }

// ---------------------------------------------------------------------------
// Number fields. Digits come from std::to_chars, which rounds the exact binary
// value (ties to even), as the C library does for gfortran, and ignores the
// locale.

std::string stars(int w) { return std::string(static_cast<size_t>(w), '*'); }

std::string right_justify(const std::string& s, int w) {
    if (static_cast<int>(s.size()) > w) return stars(w);
    return std::string(static_cast<size_t>(w) - s.size(), ' ') + s;
}

std::string chars(double v, std::chars_format fmt, int precision) {
    std::string buf(static_cast<size_t>(precision) + 340, '\0');
    const auto r = std::to_chars(buf.data(), buf.data() + buf.size(), v, fmt, precision);
    buf.resize(static_cast<size_t>(r.ptr - buf.data()));
    return buf;
}

// |v| rounded to n significant digits: the digits and the exponent of the
// first one (v = d.ddd x 10^exp). Zero gives n zeros and exponent 0.
void sig_digits(double av, int n, std::string& digits, int& exp) {
    const std::string s = chars(av, std::chars_format::scientific, n - 1);
    const size_t e = s.find('e');
    digits.clear();
    for (size_t i = 0; i < e; ++i)
        if (s[i] != '.') digits += s[i];
    exp = std::stoi(s.substr(e + 1));
}

// Adds one unit in the last place of a digit string; true on a carry out.
bool increment(std::string& d) {
    for (size_t i = d.size(); i-- > 0;) {
        if (d[i] != '9') {
            ++d[i];
            return false;
        }
        d[i] = '0';
    }
    d.insert(d.begin(), '1');
    return true;
}

// |v| rounded to a whole multiple of 10^m (m > 0), as the digits of that
// whole number. Only a strongly negative scale factor needs this.
std::string round_to_power(double av, int m) {
    std::string d;
    int exp = 0;
    sig_digits(av, 800, d, exp);  // exact: a double has at most 767 digits
    if (av == 0.0) return "0";
    const int keep = exp + 1 - m;
    if (keep < 0) return "0";
    std::string head = d.substr(0, static_cast<size_t>(keep));
    const std::string rest = d.substr(static_cast<size_t>(keep));
    bool up = rest[0] > '5';
    if (rest[0] == '5') {
        const bool exact_half = rest.find_first_not_of('0', 1) == std::string::npos;
        up = !exact_half || (!head.empty() && (head.back() - '0') % 2 == 1);
    }
    if (up) increment(head);
    if (head.empty()) return "0";
    return head + std::string(static_cast<size_t>(m), '0');
}

// Inf and NaN as gfortran writes them in a field of width w (w 0: no padding).
std::string inf_nan(double v, int w) {
    const bool nan = std::isnan(v);
    const bool neg = !nan && std::signbit(v);
    if (w == 0) return nan ? "NaN" : (neg ? "-Inf" : "Inf");
    if (w < 3 || (neg && w == 3)) return stars(w);
    std::string s;
    if (nan)
        s = "NaN";
    else if (w > (neg ? 8 : 7))
        s = neg ? "-Infinity" : "Infinity";
    else
        s = neg ? "-Inf" : "Inf";
    return right_justify(s, w);
}

// Fw.d under scale factor k (the value times 10^k). w 0: no leading blanks.
std::string fixed_field(double v, int w, int d, int k) {
    const bool neg = std::signbit(v);
    const double av = std::fabs(v);
    const int q = d + k;
    std::string ip, fp;
    if (q >= 0) {
        const std::string s = chars(av, std::chars_format::fixed, q);
        const size_t dot = s.find('.');
        ip = s.substr(0, dot);
        if (dot != std::string::npos) fp = s.substr(dot + 1);
    } else {
        ip = round_to_power(av, -q);
    }
    // Move the decimal point k places to the right.
    std::string all = ip + fp;
    long point = static_cast<long>(ip.size()) + k;
    if (point < 0) {
        all.insert(0, static_cast<size_t>(-point), '0');
        point = 0;
    }
    ip = all.substr(0, static_cast<size_t>(point));
    fp = all.substr(static_cast<size_t>(point));
    fp.resize(static_cast<size_t>(d), '0');
    const size_t nz = ip.find_first_not_of('0');
    ip = nz == std::string::npos ? "" : ip.substr(nz);

    std::string body = (neg ? "-" : "") + ip;
    const size_t need = body.size() + 1 + fp.size();
    // The zero before the point goes only where it fits, unless it is the
    // only digit.
    if (ip.empty() && (d == 0 || w == 0 || static_cast<int>(need) < w)) body += '0';
    body += '.';
    body += fp;
    if (w == 0) return body;
    if (w == 1) return stars(w);
    return right_justify(body, w);
}

// Ew.d[Ee] (or ESw.d[Ee] when sci) under scale factor k; e < 0: no Ee.
// w 0: no leading blanks.
std::string exp_field(double v, int w, int d, int e, int k, bool sci) {
    const bool neg = std::signbit(v);
    const double av = std::fabs(v);
    if (sci) k = 1;
    int nsig;
    if (k <= 0) {
        if (d + k <= 0) fail("scale factor out of range for an E edit descriptor");
        nsig = d + k;
    } else {
        if (k >= d + 2) fail("scale factor out of range for an E edit descriptor");
        nsig = d + 1;
    }
    std::string digits;
    int exp = 0;
    sig_digits(av, nsig, digits, exp);
    int shown = av == 0.0 ? 0 : exp + 1 - k;

    std::string mant;
    bool optional_zero = false;
    if (k <= 0) {
        mant = "." + std::string(static_cast<size_t>(-k), '0') + digits;
        optional_zero = true;
    } else {
        mant = digits.substr(0, static_cast<size_t>(k)) + "." + digits.substr(static_cast<size_t>(k));
    }

    std::string ef;
    const int mag = shown < 0 ? -shown : shown;
    const int ndig = mag >= 100 ? 3 : (mag >= 10 ? 2 : 1);
    const std::string sign = shown < 0 ? "-" : "+";
    if (e < 0) {
        if (mag > 999) return stars(w);
        const std::string num = std::to_string(mag);
        if (mag > 99)
            ef = sign + num;
        else
            ef = "E" + sign + std::string(static_cast<size_t>(2 - ndig), '0') + num;
    } else {
        if (ndig > e) return stars(w);
        ef = "E" + sign + std::string(static_cast<size_t>(e - ndig), '0') + std::to_string(mag);
    }

    std::string body = (neg ? "-" : "") + mant + ef;
    if (optional_zero && (w == 0 || static_cast<int>(body.size()) < w)) body.insert(neg ? 1 : 0, "0");
    if (w == 0) return body;
    if (w == 1) return stars(w);
    return right_justify(body, w);
}

// 10^d built as gfortran builds it, so that the G range tests agree with it
// to the last bit.
double power_of_ten(int d) {
    double r = 1.0;
    for (int i = 0; i < (d >= 0 ? d : -d); ++i) r *= 10;
    return d >= 0 ? r : 1.0 / r;
}

// Gw.d[Ee]: the F form with d significant digits followed by blanks when the
// rounded value lies in [0.1, 10^d), else the E form. comp_d and no_blanks
// serve list-directed output.
std::string general_field(double v, int w, int d, int e, int k, int comp_d = 0, bool no_blanks = false) {
    const double m = std::fabs(v);
    const double exp_d = power_of_ten(d);
    const double r_sc = 1.0 - 0.5 / exp_d;
    if ((m > 0.0 && (m < 0.1 * r_sc || 0.5 >= exp_d - m)) || d == 0)
        return exp_field(v, no_blanks ? 0 : w, d - comp_d, e, k, false);
    // mid - 1 is the number of digits before the decimal point.
    int mid = 0;
    while (mid <= d && !(m < power_of_ten(mid - 1) * r_sc)) ++mid;
    int npad = e <= 0 ? 4 : e + 2;
    if (npad >= w) npad = w - 1;
    if (no_blanks) return fixed_field(v, 0, m == 0.0 ? d - 1 : d + 1 - mid, 0);
    const std::string f = fixed_field(v, w - npad, m == 0.0 ? d - 1 : d + 1 - mid, 0);
    if (f[0] == '*') return stars(w);
    return f + std::string(static_cast<size_t>(npad), ' ');
}

std::string int_field(int64_t v, int w, int m) {
    const uint64_t mag = v < 0 ? 0 - static_cast<uint64_t>(v) : static_cast<uint64_t>(v);
    std::string digits = (mag == 0 && m == 0) ? "" : std::to_string(mag);
    if (static_cast<int>(digits.size()) < m) digits.insert(0, static_cast<size_t>(m) - digits.size(), '0');
    if (v < 0) digits.insert(0, "-");
    return right_justify(digits, w);
}

// ---------------------------------------------------------------------------
// Format parsing.

struct Desc {
    char kind = 'I';  // I F E S(=ES) G A L
    int w = -1, d = -1, e = -1;
};

enum class Op { Literal, Data, Skip, Tab, TabLeft, Slash, Colon, Scale, Group };

struct Node {
    Op op = Op::Literal;
    int count = 1;  // repeat count, or the n of nX, Tn, TLn, TRn, kP
    std::string text;
    Desc desc;
    std::vector<Node> kids;
};

std::string describe(const Desc& d) {
    std::string s = d.kind == 'S' ? "ES" : std::string(1, d.kind);
    if (d.w >= 0) s += std::to_string(d.w);
    if (d.d >= 0) s += "." + std::to_string(d.d);
    if (d.e >= 0) s += "E" + std::to_string(d.e);
    return s;
}

bool has_data(const std::vector<Node>& list, size_t from = 0) {
    for (size_t i = from; i < list.size(); ++i) {
        if (list[i].op == Op::Data) return true;
        if (list[i].op == Op::Group && has_data(list[i].kids)) return true;
    }
    return false;
}

class Parser {
public:
    explicit Parser(std::string_view s) : s_(s) {}

    std::vector<Node> parse_format() {
        if (peek() != '(') error("a format must begin with '('");
        ++i_;
        std::vector<Node> list = parse_list(true);
        if (peek() != '\0') error("text after the closing ')'");
        return list;
    }

    Desc parse_single() {
        if (peek() == '\0') error("expected one data edit descriptor");
        Node n = parse_item();
        if (n.op != Op::Data || n.count != 1 || peek() != '\0')
            error("expected one data edit descriptor");
        return n.desc;
    }

private:
    std::string_view s_;
    size_t i_ = 0;

    [[noreturn]] void error(const std::string& what) const {
        fail("bad format \"" + std::string(s_) + "\": " + what + " (at column " + std::to_string(i_ + 1) + ")");
    }

    // Blanks outside quoted pieces do not count.
    char peek() {
        while (i_ < s_.size() && s_[i_] == ' ') ++i_;
        if (i_ >= s_.size()) return '\0';
        const char c = s_[i_];
        return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
    }
    char next() {
        const char c = peek();
        if (c != '\0') ++i_;
        return c;
    }
    bool is_digit() { const char c = peek(); return c >= '0' && c <= '9'; }

    int number() {
        if (!is_digit()) error("a number is missing");
        long v = 0;
        while (is_digit()) {
            v = v * 10 + (next() - '0');
            if (v > kMaxNumber) error("number too large");
        }
        return static_cast<int>(v);
    }

    std::vector<Node> parse_list(bool top) {
        std::vector<Node> list;
        if (peek() == ')') {
            if (!top) error("empty group");
            ++i_;
            return list;
        }
        for (;;) {
            list.push_back(parse_item());
            const Op op = list.back().op;
            const char c = peek();
            if (c == ')') {
                ++i_;
                return list;
            }
            if (c == ',') {
                ++i_;
                if (peek() == ')') error("an item is missing after ','");
                continue;
            }
            // Commas may be left out only around '/' and ':' and after kP.
            if (c == '/' || c == ':' || op == Op::Slash || op == Op::Colon || op == Op::Scale) {
                if (c == '\0') error("missing ')'");
                continue;
            }
            error(c == '\0' ? "missing ')'" : "expected ',' or ')'");
        }
    }

    Node parse_item() {
        Node n;
        char c = peek();
        if (c == '\0') error("missing ')'");
        if (c == '\'' || c == '"') {
            n.op = Op::Literal;
            n.text = quoted();
            return n;
        }
        if (c == '/') {
            ++i_;
            n.op = Op::Slash;
            return n;
        }
        if (c == ':') {
            ++i_;
            n.op = Op::Colon;
            return n;
        }
        if (c == '+' || c == '-') {
            ++i_;
            const int k = number();
            if (next() != 'P') error("a signed number must be a scale factor kP");
            n.op = Op::Scale;
            n.count = c == '-' ? -k : k;
            return n;
        }
        bool counted = false;
        if (is_digit()) {
            n.count = number();
            counted = true;
            c = peek();
            if (c == 'P') {
                ++i_;
                n.op = Op::Scale;
                return n;
            }
            if (c == 'X') {
                ++i_;
                n.op = Op::Skip;
                if (n.count == 0) error("0X");
                return n;
            }
            if (c == '/') {
                ++i_;
                n.op = Op::Slash;
                if (n.count == 0) error("0/");
                return n;
            }
            if (n.count == 0) error("a repeat count must be positive");
        }
        if (c == '(') {
            ++i_;
            n.op = Op::Group;
            n.kids = parse_list(false);
            return n;
        }
        ++i_;
        switch (c) {
            case 'T': {
                n.op = Op::Tab;
                if (peek() == 'L') {
                    ++i_;
                    n.op = Op::TabLeft;
                } else if (peek() == 'R') {
                    ++i_;
                    n.op = Op::Skip;
                }
                if (counted) error("T, TL and TR take no repeat count");
                n.count = number();
                if (n.count == 0) error("T, TL and TR need a positive count");
                return n;
            }
            case 'X': error("X needs a count, as in 1X");
            case 'P': error("P needs a scale factor, as in 1P");
            case 'I': case 'F': case 'E': case 'G': case 'A': case 'L':
                break;
            case '\'': case '"': error("a quoted piece takes no repeat count");
            default: error(std::string("unknown edit descriptor '") + c + "'");
        }
        n.op = Op::Data;
        n.desc.kind = c;
        if (c == 'E' && peek() == 'S') {
            ++i_;
            n.desc.kind = 'S';
        }
        const char k = n.desc.kind;
        if (k == 'A' && !is_digit()) return n;
        n.desc.w = number();
        if (n.desc.w == 0) error("a field width must be positive");
        if (k == 'A' || k == 'L') return n;
        if (k == 'I') {
            if (peek() == '.') {
                ++i_;
                n.desc.d = number();
                if (n.desc.d > n.desc.w) error("Iw.m needs m <= w");
            }
            return n;
        }
        if (next() != '.') error(std::string(describe(n.desc)) + " needs .d");
        n.desc.d = number();
        if (k != 'F' && peek() == 'E') {
            ++i_;
            n.desc.e = number();
            if (n.desc.e == 0) error("an exponent width must be positive");
        }
        return n;
    }

    std::string quoted() {
        const char q = s_[i_++];
        std::string t;
        for (;;) {
            if (i_ >= s_.size()) error("unterminated quoted piece");
            const char c = s_[i_++];
            if (c == q) {
                if (i_ < s_.size() && s_[i_] == q) {
                    t += q;
                    ++i_;
                    continue;
                }
                return t;
            }
            t += c;
        }
    }
};

// ---------------------------------------------------------------------------
// Writing.

struct Item {
    FValue::Kind kind;  // a complex item becomes two Real items
    int64_t i = 0;
    double x = 0.0;
    std::string_view text;
};

std::vector<Item> flatten(FValues values) {
    std::vector<Item> items;
    for (const FValue& v : values) {
        if (v.kind == FValue::Kind::Complex) {
            items.push_back({FValue::Kind::Real, 0, v.re, {}});
            items.push_back({FValue::Kind::Real, 0, v.im, {}});
        } else {
            items.push_back({v.kind, v.i, v.re, v.text});
        }
    }
    return items;
}

const char* kind_name(FValue::Kind k) {
    switch (k) {
        case FValue::Kind::Int: return "an integer";
        case FValue::Kind::Real: return "a real";
        case FValue::Kind::Complex: return "a complex";
        case FValue::Kind::Text: return "a text";
        case FValue::Kind::Logical: return "a logical";
    }
    return "an item";
}

std::string edit_item(const Desc& d, const Item& it, int scale, size_t index) {
    FValue::Kind want;
    switch (d.kind) {
        case 'I': want = FValue::Kind::Int; break;
        case 'A': want = FValue::Kind::Text; break;
        case 'L': want = FValue::Kind::Logical; break;
        default: want = FValue::Kind::Real; break;
    }
    if (it.kind != want)
        fail("item " + std::to_string(index + 1) + " is " + kind_name(it.kind) + " and cannot be written with " +
             describe(d));
    switch (d.kind) {
        case 'I': return int_field(it.i, d.w, d.d < 0 ? 1 : d.d);
        case 'A':
            if (d.w < 0 || static_cast<size_t>(d.w) == it.text.size()) return std::string(it.text);
            if (static_cast<size_t>(d.w) < it.text.size()) return std::string(it.text.substr(0, static_cast<size_t>(d.w)));
            return std::string(static_cast<size_t>(d.w) - it.text.size(), ' ') + std::string(it.text);
        case 'L': return right_justify(is_true(static_cast<Logical>(it.i)) ? "T" : "F", d.w);
        default: break;
    }
    if (!std::isfinite(it.x)) return inf_nan(it.x, d.w);
    switch (d.kind) {
        case 'F': return fixed_field(it.x, d.w, d.d, scale);
        case 'E': return exp_field(it.x, d.w, d.d, d.e, scale, false);
        case 'S': return exp_field(it.x, d.w, d.d, d.e, scale, true);
        default: return general_field(it.x, d.w, d.d, d.e, scale);
    }
}

class Writer {
public:
    Writer(const std::vector<Node>& top, std::vector<Item> items) : top_(top), items_(std::move(items)) {}

    std::string run() {
        bool go = run_list(top_, 0);
        if (go && next_ < items_.size()) {
            // Format reversion: a new record, then again from the last
            // top-level group (with its repeat count), or from the start.
            size_t from = 0;
            for (size_t i = 0; i < top_.size(); ++i)
                if (top_[i].op == Op::Group) from = i;
            if (!has_data(top_, from))
                fail("the format has no data edit descriptor left for item " + std::to_string(next_ + 1));
            while (go && next_ < items_.size()) {
                end_record();
                go = run_list(top_, from);
            }
        }
        end_record();
        return out_;
    }

private:
    const std::vector<Node>& top_;
    std::vector<Item> items_;
    size_t next_ = 0;
    std::string out_, rec_;
    size_t pos_ = 0;
    int scale_ = 0;

    void check_size(size_t more) const {
        if (out_.size() + rec_.size() + more > kMaxOutput) fail("format output too long");
    }

    void put(const std::string& s) {
        check_size(s.size() + (pos_ > rec_.size() ? pos_ - rec_.size() : 0));
        if (pos_ > rec_.size()) rec_.resize(pos_, ' ');
        rec_.replace(pos_, std::min(s.size(), rec_.size() - pos_), s);
        pos_ += s.size();
    }

    void end_record() {
        check_size(1);
        out_ += rec_;
        out_ += '\n';
        rec_.clear();
        pos_ = 0;
    }

    // False when output stops: a data edit descriptor or ':' with no item
    // left.
    bool run_list(const std::vector<Node>& list, size_t from) {
        for (size_t i = from; i < list.size(); ++i) {
            const Node& n = list[i];
            switch (n.op) {
                case Op::Literal: put(n.text); break;
                case Op::Data:
                    for (int r = 0; r < n.count; ++r) {
                        if (next_ >= items_.size()) return false;
                        put(edit_item(n.desc, items_[next_], scale_, next_));
                        ++next_;
                    }
                    break;
                case Op::Skip: pos_ += static_cast<size_t>(n.count); break;
                case Op::Tab: pos_ = static_cast<size_t>(n.count) - 1; break;
                case Op::TabLeft: pos_ = pos_ > static_cast<size_t>(n.count) ? pos_ - static_cast<size_t>(n.count) : 0; break;
                case Op::Slash:
                    for (int r = 0; r < n.count; ++r) end_record();
                    break;
                case Op::Colon:
                    if (next_ >= items_.size()) return false;
                    break;
                case Op::Scale: scale_ = n.count; break;
                case Op::Group:
                    for (int r = 0; r < n.count; ++r)
                        if (!run_list(n.kids, 0)) return false;
                    break;
            }
        }
        return true;
    }
};

// List-directed fields, as gfortran writes the default kinds.
constexpr int kListIntWidth = 11;    // integer(4): sign and 10 digits
constexpr int kListWideIntWidth = 20;  // beyond 32 bits: integer(8)
constexpr int kListRealWidth = 25;   // real(8): 1PG25.17E3

std::string list_real(double x, bool no_blanks) {
    if (!std::isfinite(x)) return inf_nan(x, no_blanks ? 0 : kListRealWidth);
    // gfortran keeps one digit more in the exponent form inside a complex.
    return general_field(x, kListRealWidth, 17, 3, 1, no_blanks ? 0 : 1, no_blanks);
}

}  // namespace

std::string format_fortran(std::string_view format, FValues values) {
    const std::vector<Node> top = Parser(format).parse_format();
    return Writer(top, flatten(values)).run();
}

std::string edit(std::string_view descriptor, const FValue& value) {
    const Desc d = Parser(descriptor).parse_single();
    const std::vector<Item> items = flatten({value});
    std::string s;
    for (size_t i = 0; i < items.size(); ++i) s += edit_item(d, items[i], 0, i);
    return s;
}

std::string format_list(FValues values) {
    std::string s;
    bool after_text = false;
    for (const FValue& v : values) {
        const bool text = v.kind == FValue::Kind::Text;
        if (!(text && after_text)) s += ' ';  // the record's leading blank, or the separator
        after_text = text;
        switch (v.kind) {
            case FValue::Kind::Text: s += v.text; break;
            case FValue::Kind::Logical: s += is_true(static_cast<Logical>(v.i)) ? "T" : "F"; break;
            case FValue::Kind::Int: {
                const bool wide = v.i < std::numeric_limits<int32_t>::min() || v.i > std::numeric_limits<int32_t>::max();
                s += int_field(v.i, wide ? kListWideIntWidth : kListIntWidth, 1);
                break;
            }
            case FValue::Kind::Real: s += list_real(v.re, false); break;
            case FValue::Kind::Complex: {
                const std::string re = list_real(v.re, true), im = list_real(v.im, true);
                const size_t used = re.size() + im.size() + 3, width = 2 * kListRealWidth + 3;
                s.append(width > used ? width - used : 0, ' ');
                s += "(" + re + "," + im + ")";
                break;
            }
        }
    }
    s += '\n';
    return s;
}
