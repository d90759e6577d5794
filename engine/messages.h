// The numbered engine messages, written on the console output unit.
#pragma once

#include <cstdint>

#include "platform/fixed_text.h"

// Writes message n with its arguments; returns unless the message ends
// the run.
void OUTMSG(int32_t n, int32_t k1, int32_t k2, int32_t k3, double x1, double x2, const Text72& txt);

// The current data line, as callers that report a data error pass it.
Text72 CURLINE();
