// Fixed-length texts padded with blanks, as the data files, the snapshot
// and the front end carry them. Comparison ignores trailing blanks.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstring>
#include <string>
#include <string_view>

// Length without trailing blanks.
inline size_t len_trim(std::string_view s) {
    size_t n = s.size();
    while (n > 0 && s[n - 1] == ' ') --n;
    return n;
}
inline std::string_view trim_right(std::string_view s) { return s.substr(0, len_trim(s)); }
// Without blanks at either end.
inline std::string_view trim_both(std::string_view s) {
    s = trim_right(s);
    while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
    return s;
}

// Equal when both agree after trailing blanks are removed.
inline bool text_equal(std::string_view a, std::string_view b) { return trim_right(a) == trim_right(b); }

// s cut or padded with blanks to exactly n characters.
inline std::string pad_text(std::string_view s, size_t n) {
    std::string r(s.substr(0, std::min(s.size(), n)));
    r.resize(n, ' ');
    return r;
}

template <size_t N>
class FText {
public:
    FText() { c_.fill(' '); }
    FText(std::string_view s) { assign(s); }  // NOLINT: texts convert freely
    FText(const char* s) { assign(s ? std::string_view(s) : std::string_view()); }

    // Copies s, cut to N characters or padded with blanks.
    void assign(std::string_view s) {
        const size_t n = std::min(s.size(), N);
        std::memcpy(c_.data(), s.data(), n);
        std::fill(c_.begin() + n, c_.end(), ' ');
    }
    // Copies a NUL-terminated text of at most max_len bytes.
    void assign_cstr(const char* s, size_t max_len) {
        size_t n = 0;
        while (n < max_len && s[n] != '\0') ++n;
        assign(std::string_view(s, n));
    }
    void blank() { c_.fill(' '); }

    static constexpr size_t size() { return N; }
    std::string_view view() const { return std::string_view(c_.data(), N); }
    std::string str() const { return std::string(c_.data(), N); }
    std::string trimmed() const { return std::string(trim_right(view())); }
    size_t len_trim() const { return ::len_trim(view()); }
    bool is_blank() const { return len_trim() == 0; }

    // 0-based character access.
    char& operator[](size_t i) { return c_[i]; }
    char operator[](size_t i) const { return c_[i]; }
    char* data() { return c_.data(); }
    const char* data() const { return c_.data(); }

    // Characters from..to, 1-based and inclusive, as a view.
    std::string_view sub(size_t from, size_t to) const {
        if (from < 1) from = 1;
        if (to > N) to = N;
        return from > to ? std::string_view() : view().substr(from - 1, to - from + 1);
    }

    operator std::string_view() const { return view(); }  // NOLINT

    template <size_t M>
    bool operator==(const FText<M>& o) const { return text_equal(view(), o.view()); }
    bool operator==(std::string_view s) const { return text_equal(view(), s); }
    bool operator==(const char* s) const { return text_equal(view(), s); }

private:
    std::array<char, N> c_;
};

using Text12 = FText<12>;
using Text34 = FText<34>;
using Text40 = FText<40>;
using Text72 = FText<72>;
using Text200 = FText<200>;
