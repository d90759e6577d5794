// The computer's name as the front end shows it: the host name up to its
// first '.', at most 15 characters.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/fixed_text.h"

// The host name cut at its first '.', or "" when it cannot be read.
std::string computer_name();

// Writes the name's characters over the start of the field, leaving the
// rest of it as it was, and returns their count. A name that is empty or
// longer than 15 characters leaves the field untouched and gives 0.
int32_t put_host_name(FText<16>& field, std::string_view name);

// put_host_name with this computer's name.
int32_t get_host_name(FText<16>& field);
