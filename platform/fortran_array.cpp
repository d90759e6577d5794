#include "platform/fortran_array.h"

namespace {
int64_t overruns = 0;
}

int64_t array_overrun_count() { return overruns; }
void reset_array_overrun_count() { overruns = 0; }
void note_array_overrun() { ++overruns; }
