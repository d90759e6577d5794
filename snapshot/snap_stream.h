// One pass over a snapshot file, writing or reading. Every section is one
// routine over a SnapStream, so that the writer and the reader walk the
// same arrays with the same counts and cannot drift apart.
#pragma once

#include <complex>
#include <cstdint>
#include <string>
#include <memory>
#include <string_view>

#include "platform/fixed_text.h"
#include "platform/list_read.h"
#include "platform/logical.h"

class SnapStream {
public:
    enum class Dir { Write, Read };
    SnapStream(Dir dir, int unit) : dir_(dir), unit_(unit) {}
    bool writing() const { return dir_ == Dir::Write; }
    int unit() const { return unit_; }

    // The routine that answers for the records that follow, with its texts.
    void routine(const char* name, const char* write_failed);
    void routine(const char* name, const char* end_text, const char* error_text);

    // A list-directed label line, and a label with a count beside it. The
    // reader requires the line the writer writes there: the text, blanks
    // at either end aside, and the count it expects; a moved, missing or
    // doubled block is refused rather than read as its neighbour.
    void label(std::string_view text);
    void label(std::string_view text, int32_t count);
    void empty_line();
    // A label with a count the reader needs: n is read from it (at most
    // most); true when a block follows. The only label that may be absent.
    bool label_count(std::string_view text, int32_t& n, int32_t most);
    // The empty line and "!*** SUBSYSTEM: " with the number.
    void subsystem_heading(int32_t number);
    // One list-directed scalar record: " value text"; the reader holds the
    // text after the value to the writer's.
    void scalar(int32_t& v, std::string_view text = {});
    void flag(Logical& v, std::string_view text);

    // Data blocks of n values in the record layouts, element i at at(i).
    template <class F> void reals(int32_t n, F at) { block(n, 8, [&](int32_t i, Item& it) { it.real(at(i)); }); }
    template <class F> void e_reals(int32_t n, F at) { block(n, 20, [&](int32_t i, Item& it) { it.e_real(at(i)); }); }
    template <class F> void ints(int32_t n, F at) { block(n, 15, [&](int32_t i, Item& it) { it.integer(at(i)); }); }
    template <class F> void logicals(int32_t n, F at) { block(n, 80, [&](int32_t i, Item& it) { it.logical(at(i)); }); }
    // Complex values, one record each.
    template <class F> void complexes(int32_t n, F at) {
        for (int32_t i = 1; i <= n; ++i) block(1, 1, [&](int32_t, Item& it) { it.complex(at(i)); });
    }
    // Logical flags as one list-directed record.
    template <class F> void logical_list(int32_t n, F at) {
        block(n, 0, [&](int32_t i, Item& it) { it.logical(at(i)); });
    }
    // A label with a count, then that count again and that many values in
    // one block: the label's count must be the block's.
    template <class F> void labelled_counted_ints(std::string_view text, int32_t& count, int32_t most, F at) {
        if (writing()) {
            label(text, count);
            counted_ints(count, most, at);
            return;
        }
        const std::string line = take_line();
        int32_t said = 0;
        if (!labelled(line, text, &said)) fail(false);
        counted_ints(count, most, at);
        if (count != said) fail_at(line);
    }
    // A count of at most `most` and that many values in one block.
    template <class F> void counted_ints(int32_t& count, int32_t most, F at) {
        if (writing()) {
            ints(count + 1, [&](int32_t i) -> int32_t& { return i == 1 ? count : at(i - 1); });
            return;
        }
        ListRead r(unit_);
        r.integer(count);
        if (r.ok()) check(count, 0, most);
        for (int32_t i = 1; i <= count && r.ok(); ++i) r.integer(at(i));
        if (!r.ok()) fail(r.status() == ReadStatus::End);
    }
    // A value, a count of at most `most` and that many values in one block.
    template <class F> void counted_pair(int32_t& first, int32_t& count, int32_t most, F at) {
        if (writing()) {
            ints(count + 2, [&](int32_t i) -> int32_t& { return i == 1 ? first : i == 2 ? count : at(i - 2); });
            return;
        }
        ListRead r(unit_);
        r.integer(first).integer(count);
        if (r.ok()) check(count, 0, most);
        for (int32_t i = 1; i <= count && r.ok(); ++i) r.integer(at(i));
        if (!r.ok()) fail(r.status() == ReadStatus::End);
    }
    // A name record: the text whole, from column 2.
    void name(Text200& text);
    // A channel name: the text without trailing blanks, from column 1.
    void channel_name(Text200& text);
    // A row of sparsity bits.
    void bits(int32_t n, int8_t* flags_of_row, int64_t stride);

    // From here on the reader takes only finite reals (or again any): NaN
    // or an infinity stops the run as an unreadable record does.
    void finite_reals(bool only_finite = true) { finite_ = only_finite; }

    // A count read from the file must lie in [lo, hi]: else the run stops
    // as for an unreadable record.
    void check(int32_t value, int32_t lo, int32_t hi);
    // What the file holds must keep what a data start guarantees of it:
    // else the run stops as for an unreadable record.
    void require(bool holds) {
        if (!holds) fail(false);
    }
    [[noreturn]] void fail(bool end_of_file);
    // The run stops with `line`, read before, as the last line read.
    [[noreturn]] void fail_at(const std::string& line);
    [[noreturn]] void fail_with(const char* text);
    void write_record(std::string_view record);

    // One value of a data block.
    class Item {
    public:
        explicit Item(SnapStream& s) : s_(s) {}
        void real(double& v);
        void e_real(double& v);
        void integer(int32_t& v);
        void logical(Logical& v);
        void complex(std::complex<double>& v);

    private:
        SnapStream& s_;
    };

private:
    friend class Item;
    template <class G> void block(int32_t n, int32_t per_line, G each) {
        begin_block(n);
        Item item(*this);
        for (int32_t i = 1; i <= n; ++i) {
            each(i, item);
            if (writing()) {
                if (per_line > 0 && i % per_line == 0 && i < n) end_line();
            } else if (!read_->ok()) {
                break;  // the file holds no more: the block fails here
            }
        }
        end_block(n);
    }
    void begin_block(int32_t n);
    void end_block(int32_t n);
    void end_line();
    std::string take_line();
    // An empty line the reader steps over: blanks at most.
    void take_blank_line();
    // Whether `line` begins with the label `text`, blanks at either end aside.
    static bool opens_with(std::string_view line, std::string_view text);
    // Whether `line` is the label `text` with, when `number` is given, one
    // integer after it, which is read into *number.
    static bool labelled(std::string_view line, std::string_view text, int32_t* number);
    void take_real(double& v);

    Dir dir_;
    int unit_;
    std::string line_;       // writer: the record being built
    std::unique_ptr<ListRead> read_;  // reader: the read statement of the block
    const char* name_ = "";
    const char* write_failed_ = "";
    const char* end_text_ = "";
    const char* error_text_ = "";
    bool finite_ = false;
};

// The writer's fields: 24 characters with 17 significant digits.
std::string snap_g_field(double v);
std::string snap_e_field(double v);
