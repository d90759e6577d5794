// The engine's formatted output: Fortran-style edit descriptors and
// list-directed records, written the same way whatever the process locale.
#pragma once

#include <complex>
#include <cstdint>
#include <initializer_list>
#include <stdexcept>
#include <string>
#include <string_view>

#include "platform/fixed_text.h"
#include "platform/logical.h"

// One item of an output list.
struct FValue {
    enum class Kind { Int, Real, Complex, Text, Logical };
    Kind kind = Kind::Int;
    int64_t i = 0;
    double re = 0.0, im = 0.0;
    std::string_view text;

    FValue(int32_t v) : kind(Kind::Int), i(v) {}           // NOLINT
    FValue(int64_t v) : kind(Kind::Int), i(v) {}           // NOLINT
    FValue(double v) : kind(Kind::Real), re(v) {}          // NOLINT
    FValue(std::complex<double> v) : kind(Kind::Complex), re(v.real()), im(v.imag()) {}  // NOLINT
    FValue(std::string_view s) : kind(Kind::Text), text(s) {}  // NOLINT
    FValue(const char* s) : kind(Kind::Text), text(s) {}   // NOLINT
    FValue(const std::string& s) : kind(Kind::Text), text(s) {}  // NOLINT
    template <size_t N>
    FValue(const FText<N>& s) : kind(Kind::Text), text(s.view()) {}  // NOLINT
    static FValue logical(Logical v) {
        FValue f(int32_t{0});
        f.kind = Kind::Logical;
        f.i = v;
        return f;
    }
};

using FValues = std::initializer_list<FValue>;

// A format that cannot be interpreted, or an item that does not suit its
// edit descriptor: a fault of the calling code.
struct FormatError : std::logic_error {
    using std::logic_error::logic_error;
};

// Writes values under a format in Fortran notation, for example
//   (/, " **** YOU HAVE OVER ", I4, " NODES ****")  or  ('x =',F8.3,2X,A)
// Quoted pieces may use either quote, a doubled quote inside stands for one.
// Returns the records written, each ended by '\n'.
//
// Edit descriptors: Iw, Iw.m, Fw.d, Ew.d[Ee], ESw.d[Ee], Gw.d[Ee] (reals
// only), Aw, A, Lw, nX, Tn, TLn, TRn, [n]/, :, kP, quoted pieces, repeat
// counts and nested groups k(...); letters in either case, blanks ignored.
// Fields come out as gfortran writes them: asterisks when a value does not
// fit, ties rounded to even on the exact binary value, "Inf"/"Infinity"/
// "NaN". Output stops at a data descriptor (or ':') once the items are used
// up; items left at the end of the format start a new record and go on from
// the last top-level group. A complex item fills two real descriptors.
// Positioning without writing does not lengthen a record.
// Throws FormatError for a bad format or an item that does not suit its
// descriptor (an integer under F, E or G, a real under I, ...).
std::string format_fortran(std::string_view format, FValues values);

// One list-directed output record as gfortran writes `print *` for the
// default kinds, ended by '\n' (never split into several lines). The record
// begins with a blank; every item but the first is preceded by one blank
// separator, except a text that follows a text. Texts stand at full length.
// Fields: integer right-justified in 11 columns (20 when the value needs more
// than 32 bits); logical "T" or "F"; real in 25 columns as 1PG25.17E3 (fixed
// form with 17 significant digits and 5 trailing blanks for 0.1 <= |x| < 1e17
// and for zero, else d.dddddddddddddddddE+xxx); complex "(re,im)", both
// parts in the real's form without blanks (18 digits in the exponent form),
// right-justified in 53 columns. No items: an empty record.
std::string format_list(FValues values);

// A single data edit descriptor applied to one value, e.g.
// edit("G23.14", 1.5); no record end. A complex value gives its two fields
// one after the other.
std::string edit(std::string_view descriptor, const FValue& value);
