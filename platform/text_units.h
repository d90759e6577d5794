// Numbered text units: the console (5 in, 6 out) and sequential text files
// opened on unit numbers. Input lines lose their line end (LF or CRLF).
// The console units are always connected: they cannot be opened or closed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/fortran_format.h"

constexpr int UNIT_CONSOLE_IN = 5;
constexpr int UNIT_CONSOLE_OUT = 6;

enum class UnitMode { Read, Write, Append };
enum class ReadStatus { Ok, End, Error };

// The longest input record, far above any valid one (list-directed records
// run long: a 1,000-node page line holds some 4,000 characters). A longer
// one is reported on the console with its file and line and read as an
// Error; so is every later record of that file.
constexpr size_t UNIT_RECORD_MAX = 1048576;

// Opens a file on a unit; false when it cannot be opened (or the unit is
// taken). Read: the file must exist and be a regular file (a device, a
// pipe or a FIFO is refused without being opened); its records are read
// one by one as they are asked for. Write: created or emptied. Append:
// created or added to.
bool unit_open(int unit, const std::string& path, UnitMode mode);
// Opens for writing only a file that does not exist yet.
bool unit_open_new(int unit, const std::string& path);
// False when output held back in a buffer could not be written (then or
// at any earlier write) and so is lost; true for a unit that is not open.
bool unit_close(int unit);
bool unit_is_open(int unit);
void close_all_units();

// The next record of an input unit, without its line end. End after the
// last record (and on every read after that); Error on a unit that is not
// open for input.
ReadStatus unit_read_line(int unit, std::string& line);
// Steps an input unit back by one record (after End: to the last record, so
// that it is read again); rewinds to its first record. The console input
// can step back over its last record only. Output units are left alone.
void unit_backspace(int unit);
void unit_rewind(int unit);
// The size in bytes of the file an input unit reads; -1 for a unit that is
// not open for input.
int64_t unit_file_size(int unit);

// Output: a whole record (a line end is added), or text as it stands.
// Writing to a unit that is not open for output writes nothing. Output is
// buffered, so a failure shows at this write, a later one, the flush or
// the close: each returns false once any write to the unit has failed,
// and false on a unit that is not open for output.
bool unit_write_line(int unit, std::string_view record);
bool unit_write_raw(int unit, std::string_view text);
bool unit_flush(int unit);
// Gives an open unit another number; false when from is not open or to is
// taken (or either is a console unit).
bool unit_renumber(int from, int to);
// Formatted and list-directed writes onto a unit.
void write_formatted(int unit, std::string_view format, FValues values);
void write_list(int unit, FValues values);

// Standard output is one buffered stream; it is flushed before every
// console read and at exit.
void console_flush();

// Tests: read the console from a text instead of standard input.
void console_input_from_text(std::string_view text);
void console_input_from_stdin();
