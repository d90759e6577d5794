// Free-format (list-directed) input, as every reader of the engine uses it:
// blanks, tabs and commas separate values; null values leave the variable
// as it was; r*c repeats; '/' ends the read; quoted texts; Fortran reals
// (1.0D-3, .5, 5.); logicals; "(re, im)" complex values. A read that runs
// short of values continues on the next record of a unit; a read from a
// text leaves the missing values as they were.
//
// It reads as gfortran does, except where gfortran 12 strays from the
// language: ';' is no separator, a '/' always ends the read, and an item
// whose field is bad keeps its value. A quoted text left open at the end
// of the data takes what was read. After an Error the unit stands at the
// record after the bad field's record.
#pragma once

#include <complex>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/fixed_text.h"
#include "platform/logical.h"
#include "platform/text_units.h"

// The reals a read statement takes: all the language reads, or only finite
// ones; for a data file's reader a NaN, an infinity or a number beyond the
// range of a double is then a field that does not fit its item (Error).
enum class Reals { Any, Finite };

class ListRead {
public:
    // One read statement on a unit: it starts at the unit's next record and,
    // when done, leaves the unit at the record after the last one it used.
    explicit ListRead(int unit, Reals reals = Reals::Any);
    // One read statement on a text (an internal record).
    explicit ListRead(std::string_view text, Reals reals = Reals::Any);
    ~ListRead();
    ListRead(const ListRead&) = delete;
    ListRead& operator=(const ListRead&) = delete;

    ListRead& integer(int32_t& v);
    ListRead& real(double& v);
    ListRead& complex(std::complex<double>& v);
    ListRead& logical(Logical& v);
    ListRead& text(std::string& v);
    template <size_t N>
    ListRead& text(FText<N>& v) {
        std::string s = v.str();
        text(s);
        v.assign(s);
        return *this;
    }

    // Ok, End (end of file, or of a text that ran out of records before a
    // value that was needed), or Error (a field that does not fit its
    // item). After the first End or Error the remaining items are skipped.
    ReadStatus status() const { return status_; }
    bool ok() const { return status_ == ReadStatus::Ok; }

private:
    struct Impl;
    Impl* impl_;
    ReadStatus status_ = ReadStatus::Ok;
};
