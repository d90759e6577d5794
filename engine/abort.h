// Abnormal end of a run, and the notices, warnings and errors that
// components report.
#pragma once

#include <cstdint>
#include <string_view>

#include "platform/fixed_text.h"

// Prints the abort frame and ends the run; never returns. Modes: 0 no
// context, 1 the last data line and the data file, 2 the last data line
// and the map or snapshot file, 3 both file names.
[[noreturn]] void ABORT_RUN(const Text12& name, int32_t mode);

// Levels: 0 notice, 1 warning, 2 error. Flag n > 0 starts a message of n
// lines, 0 continues it, a negative flag ends it.
void USERMSG(int32_t id1, int32_t id2, int32_t level, int32_t flag, std::string_view text);
void USERWARN(int32_t id1, int32_t id2, int32_t flag, std::string_view text);
