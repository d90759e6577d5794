// Values that the case's modules show on the front end's panels. Nothing
// is sent standalone or when the set-up asked for no panel records.
#pragma once

#include <cstdint>

// name: the item's text field of length characters (a length below 1
// gives an empty name).
void PANEL_REAL(int32_t instance, int32_t component, double value, const char* name, int32_t length);
void PANEL_INT(int32_t instance, int32_t component, int32_t value, const char* name, int32_t length);
// The value goes as "%.4g" text.
void PANEL_TEXT(int32_t instance, int32_t component, double value, const char* name, int32_t length);
