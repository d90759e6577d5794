// The engine's main program: set-up, the loop over runs, the summary.
#pragma once

#include <cstdint>

void ENGINE_MAIN(bool v4, bool connect, const char* host, int32_t port);
