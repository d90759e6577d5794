// The state the data-file readers share: the stack of input units, the
// current section key, the last line read and the file names.
#pragma once

#include <cstdint>

#include "platform/fixed_text.h"
#include "platform/logical.h"

constexpr int32_t INPUT_UNIT_NONE = 49;  // no file open; the map file is 50

struct InputState {
    int32_t INPUT_UNIT = INPUT_UNIT_NONE;
    Text72 SECTION_KEY;
    Text72 DATA_LINE;
    Text72 DATA_FILE_NAME;
    Text34 MAP_FILE_NAME;
    Logical echo = LFALSE;  // "ECHO_DATA": every line read is written out
};

extern InputState INPUT;
