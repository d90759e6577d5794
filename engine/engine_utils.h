// Small date, text and number utilities of the engine.
#pragma once

#include <cstdint>
#include <ctime>
#include <string_view>

#include "engine/run_state.h"
#include "platform/fixed_text.h"
#include "platform/logical.h"

// The build moment of the program as a calendar time.
std::time_t BUILD_DATE();
// Parses a compiler date ("Mmm dd yyyy") and time ("hh:mm:ss").
std::time_t build_date_from(const char* date_text, const char* time_text);
// "Build# yyyymmdd", blank-padded to the field.
template <size_t N>
void BUILD_STRING(FText<N>& text);
std::string build_string_text();

void DATE_TIME6(int32_t& year, int32_t& month, int32_t& day, int32_t& hour, int32_t& minute, int32_t& second);
void date_time6(TimeBlock& block);
void ZERO4(int32_t& a, int32_t& b, int32_t& c, int32_t& d);

// Length without trailing blanks, 0 for a length below 1.
int32_t TRIMLEN(std::string_view text, int32_t length);
// True (-1) when any of the first 72 characters is not a blank.
Logical NONBLANK72(std::string_view text);
// x cut to about eight significant digits.
double ROUND_SIG(double x);

template <size_t N>
void BUILD_STRING(FText<N>& text) {
    text.assign(build_string_text());
}
