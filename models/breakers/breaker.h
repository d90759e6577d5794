// The circuit breaker on a switched branch: it closes on command and opens
// when the command is withdrawn, at a current zero or at once when the
// current is within the chopping level. Its whole state is the branch's.
#pragma once

#include <cstdint>

#include "platform/fixed_text.h"

// Close input 1 closes, any non-zero input keeps closed, 0 asks for
// opening; a non-zero open-at-once input opens without a current zero.
void BREAKER(int32_t ss, int32_t br, double ron, double roff, double chop, int32_t at_once, int32_t close);
// BREAKER with the chopping level that BREAKER1 stored in the begin pass.
void BREAKER6(int32_t ss, int32_t br, double ron, double roff, int32_t at_once, int32_t close);
void BREAKER1(double ron, double roff, double chop);
// Chopping level 0, no opening at a current of exactly zero, and a console
// notice when an interpolated opening fires.
void BREAKER_SAFETY(int32_t ss, int32_t br, double ron, double roff, int32_t at_once, int32_t close);
// A pre-insertion resistance must lie strictly between ON and OFF.
void PREINS_CHECK(double ron, double roff, double rpre, const Text12& name);
