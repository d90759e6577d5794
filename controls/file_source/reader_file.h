// The data file of a file-reading block: its name, its own unit, its
// records, and the block's stops. A block's file is opened through the
// input-unit stack, so that a file that cannot be opened is reported as
// every data file is, and then moved to a unit of its own: the stack is
// left as it was for the case's own data files and for the next run.
#pragma once

#include <cstdint>
#include <string_view>

#include "platform/fixed_text.h"
#include "platform/text_units.h"

// "../" + name unless absolute is not 0; stops the run under block with
// "Name of the file is too long" past 69 characters with the prefix or 72
// without. The file is the first token of that 72-character field.
Text72 reader_file_name(std::string_view name, int32_t absolute, const Text12& block);
// Opens file for reading on a free unit of its own and returns the unit.
int32_t open_reader_file(const Text72& file);
// The block's error through USERMSG, then the end of the run.
[[noreturn]] void reader_stop(const Text12& block, std::string_view text);
// The same with the file's name after the text.
[[noreturn]] void reader_stop(const Text12& block, std::string_view text, const Text72& file);
// One record of n numbers read free-format (it may go on over lines), each
// finite or the record is an Error; with n = 0 one line is passed over.
ReadStatus read_record(int32_t unit, int32_t n, double* values);
// Passes over n lines; false at the end of the file or on an error.
bool skip_lines(int32_t unit, int32_t n);
