// The record layouts of snapshot files, written and read.
#include "snapshot/snap_stream.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "engine/abort.h"
#include "network/input_state.h"
#include "network/line_reader.h"
#include "platform/fortran_format.h"
#include "platform/text_units.h"
#include "snapshot/snapshot.h"

namespace {
// A formatted or list-directed record without its line end.
std::string bare(std::string record) {
    while (!record.empty() && record.back() == '\n') record.pop_back();
    return record;
}
}  // namespace

std::string snap_g_field(double v) { return edit("G24.17E3", v); }
std::string snap_e_field(double v) { return edit("E24.17E3", v); }

void SnapStream::routine(const char* name, const char* write_failed) {
    name_ = name;
    write_failed_ = write_failed;
}

void SnapStream::routine(const char* name, const char* end_text, const char* error_text) {
    name_ = name;
    end_text_ = end_text;
    error_text_ = error_text;
}

void SnapStream::fail(bool end_of_file) {
    read_.reset();
    if (writing()) {
        USERMSG(0, 0, 2, 1, write_failed_);
        CLOSEFILE();
        if (!SNAPSHOT_COUNTERS.temp_path.empty()) std::remove(SNAPSHOT_COUNTERS.temp_path.c_str());
        ABORT_RUN(name_, 0);
    }
    USERMSG(0, 0, 2, 1, end_of_file ? end_text_ : error_text_);
    CLOSEFILE();
    ABORT_RUN(name_, 1);
}

void SnapStream::fail_with(const char* text) {
    write_failed_ = text;
    error_text_ = text;
    fail(false);
}

bool SnapStream::opens_with(std::string_view line, std::string_view text) {
    return trim_both(line).substr(0, trim_both(text).size()) == trim_both(text);
}

bool SnapStream::labelled(std::string_view line, std::string_view text, int32_t* number) {
    if (!opens_with(line, text)) return false;
    const std::string_view tail = trim_both(trim_both(line).substr(trim_both(text).size()));
    if (number == nullptr) return tail.empty();
    // One integer: a sign and digits, as any writer puts a count.
    const size_t digits = tail.find_first_not_of("+-") == 1 ? 1 : 0;
    if (tail.size() <= digits || tail.find_first_not_of("0123456789", digits) != std::string_view::npos) return false;
    ListRead r(tail);
    r.integer(*number);
    return r.ok();
}

bool SnapStream::label_count(std::string_view text, int32_t& n, int32_t most) {
    if (writing()) {
        if (n > 0) label(text, n);
        return n > 0;
    }
    // The label is a comment: its count stands after the label text.
    const std::string line = take_line();
    if (!opens_with(line, text)) {
        unit_backspace(unit_);
        n = 0;
        return false;
    }
    if (!labelled(line, text, &n)) fail(false);
    check(n, 1, most);
    return true;
}

void SnapStream::subsystem_heading(int32_t number) {
    constexpr const char* kHeading = "!*** SUBSYSTEM: ";
    // Three digits: a number beyond them is written as asterisks.
    const std::string heading = bare(format_fortran("(A,I3)", {kHeading, number}));
    if (writing()) {
        write_record("");
        write_record(heading);
        return;
    }
    take_blank_line();
    const std::string line = take_line();
    int32_t read = 0;
    const bool numbered = labelled(line, kHeading, &read) && read == number;
    if (!numbered && trim_both(line) != trim_both(heading)) fail(false);
}

void SnapStream::check(int32_t value, int32_t lo, int32_t hi) {
    if (value < lo || value > hi) fail(false);
}

void SnapStream::write_record(std::string_view record) {
    if (!unit_write_line(unit_, record)) fail(false);
}

std::string SnapStream::take_line() {
    std::string line;
    const ReadStatus st = unit_read_line(unit_, line);
    if (st != ReadStatus::Ok) fail(st == ReadStatus::End);
    INPUT.DATA_LINE.assign(line);
    return line;
}

void SnapStream::fail_at(const std::string& line) {
    INPUT.DATA_LINE.assign(line);
    fail(false);
}

void SnapStream::take_blank_line() {
    if (!trim_both(take_line()).empty()) fail(false);
}

void SnapStream::label(std::string_view text) {
    if (writing())
        write_record(bare(format_list({text})));
    else if (!labelled(take_line(), text, nullptr))
        fail(false);
}

void SnapStream::label(std::string_view text, int32_t count) {
    if (writing()) {
        write_record(bare(format_list({text, count})));
        return;
    }
    int32_t read = 0;
    if (!labelled(take_line(), text, &read) || read != count) fail(false);
}

void SnapStream::empty_line() {
    if (writing())
        write_record("");
    else
        take_blank_line();
}

namespace {
// The text that follows the value of a scalar record, from its '/'.
bool ends_with_text(std::string_view line, std::string_view text) {
    const size_t slash = line.find('/');
    return slash != std::string_view::npos && trim_both(line.substr(slash)) == trim_both(text);
}
}  // namespace

void SnapStream::scalar(int32_t& v, std::string_view text) {
    if (writing()) {
        write_record(bare(text.empty() ? format_list({v}) : format_list({v, text})));
        return;
    }
    if (text.empty()) {
        ListRead r(unit_);
        r.integer(v);
        if (!r.ok()) fail(r.status() == ReadStatus::End);
        return;
    }
    const std::string line = take_line();
    ListRead r(line);
    r.integer(v);
    if (!r.ok() || !ends_with_text(line, text)) fail(false);
}

void SnapStream::flag(Logical& v, std::string_view text) {
    if (writing()) {
        write_record(bare(format_list({FValue::logical(v), text})));
        return;
    }
    const std::string line = take_line();
    ListRead r(line);
    r.logical(v);
    if (!r.ok() || !ends_with_text(line, text)) fail(false);
}

void SnapStream::begin_block(int32_t n) {
    line_.clear();
    if (!writing() && n > 0) read_ = std::make_unique<ListRead>(unit_);
}

void SnapStream::end_line() {
    write_record(line_);
    line_.clear();
}

void SnapStream::end_block(int32_t n) {
    if (writing()) {
        end_line();
        return;
    }
    if (n <= 0) {
        take_blank_line();
        return;
    }
    const ReadStatus st = read_->status();
    read_.reset();
    if (st != ReadStatus::Ok) fail(st == ReadStatus::End);
}

void SnapStream::take_real(double& v) {
    read_->real(v);
    if (finite_ && read_->ok() && !std::isfinite(v)) fail(false);
}

void SnapStream::Item::real(double& v) {
    if (s_.writing())
        (s_.line_ += snap_g_field(v)) += ' ';
    else
        s_.take_real(v);
}

void SnapStream::Item::e_real(double& v) {
    if (s_.writing())
        (s_.line_ += snap_e_field(v)) += ' ';
    else
        s_.take_real(v);
}

void SnapStream::Item::integer(int32_t& v) {
    if (s_.writing())
        (s_.line_ += bare(format_fortran("(I11)", {v}))) += ' ';
    else
        s_.read_->integer(v);
}

void SnapStream::Item::logical(Logical& v) {
    if (s_.writing())
        s_.line_ += is_true(v) ? " T" : " F";
    else
        s_.read_->logical(v);
}

void SnapStream::Item::complex(std::complex<double>& v) {
    if (s_.writing())
        ((((s_.line_ += " (") += snap_g_field(v.real())) += ',') += snap_g_field(v.imag())) += ')';
    else {
        s_.read_->complex(v);
        if (s_.finite_ && s_.read_->ok() && !(std::isfinite(v.real()) && std::isfinite(v.imag()))) s_.fail(false);
    }
}

void SnapStream::name(Text200& text) {
    if (writing()) {
        write_record(" " + text.str());
        return;
    }
    const std::string line = take_line();
    text.assign(line.size() > 1 ? std::string_view(line).substr(1) : std::string_view());
}

void SnapStream::channel_name(Text200& text) {
    if (writing()) {
        write_record(text.trimmed());
        return;
    }
    text.assign(take_line());
}

void SnapStream::bits(int32_t n, int8_t* row, int64_t stride) {
    constexpr int32_t kPerLine = 255;
    for (int32_t from = 0; from < n; from += kPerLine) {
        const int32_t count = std::min(kPerLine, n - from);
        if (writing()) {
            std::string digits(static_cast<size_t>(count), '0');
            for (int32_t j = 0; j < count; ++j)
                if (row[(from + j) * stride] != 0) digits[static_cast<size_t>(j)] = '1';
            write_record(digits);
            continue;
        }
        const std::string line = take_line();
        if (line.size() < static_cast<size_t>(count)) fail(false);
        for (int32_t j = 0; j < count; ++j) {
            const char c = line[static_cast<size_t>(j)];
            if (c != '0' && c != '1') fail(false);
            row[(from + j) * stride] = static_cast<int8_t>(c == '1' ? -1 : 0);
        }
        for (size_t j = static_cast<size_t>(count); j < line.size(); ++j)
            if (line[j] != ' ') fail(false);
    }
}
