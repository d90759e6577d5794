// The parameter lines that the older machine forms read from their
// module's data file on the first step of a run from data.
#pragma once

#include <cstdint>
#include <initializer_list>

#include "platform/fixed_text.h"

// Reads data line k of the model name into the given values; a missing
// line (a key line comes first) or an unreadable one stops the run, and so
// does the end of the file, through RDCMNT.
void READ_MACHINE_LINE(const Text12& name, int32_t k, std::initializer_list<double*> values);
