// What the elementary blocks share: the sampling-time test, the data-error
// stop and the check of a ring position read back from the store.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string_view>

// A sampling or expiry time that has come: within a ten-thousandth of a
// step of TIME counts, so that sums of intervals do not lose a step.
bool time_due(double when);
// The same for a time left to run out.
bool time_left_due(double left);

// USERMSG level 2 with the speaking component, then ABORT_RUN under name
// (cut to 12 characters), mode 0.
[[noreturn]] void block_data_error(std::string_view name, std::string_view text);

// A ring of n samples that no store of `room` elements could hold stops
// the run under name (the slot counts would pass the 32-bit range).
void check_ring_room(int32_t n, int64_t room, std::string_view name);

// A ring position kept in a store, rounded; outside first..last (a store
// that another case wrote) it ends the run under name.
int32_t ring_position(double stored, int32_t first, int32_t last, std::string_view name);

// X, moved from last by at most up (rising) or down (falling).
double limit_rate(double last, double X, double up, double down);

// A set-up routine's double constants, written at NRTCF in order.
void store_constants(std::initializer_list<double> values);
