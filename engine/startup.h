// Process start-up and shutdown: the command line, the connected and the
// standalone start, and the exit status.
#pragma once

#include <cstdint>

// Runs the program for its command line and returns the status
// (0, 1, or 2000 + n).
int32_t zarik_main(int argc, char** argv);

int32_t START_CONNECTED(int argc, char** argv);
int32_t START_STANDALONE();
void SET_LOCALE_ARG(int argc, char** argv);
