// Signal sources and tables fed from text files named by the component.
#pragma once

#include <cstdint>
#include <string_view>

// Plays back the records of a sampled-data file (a header line, then N
// numbers a record), interpolated at the present time. interval_mode 0
// takes the interval from column 1, 1 from the frequency; eof_mode 0 holds
// the last record, 1 repeats the file, 2 extrapolates. 3 STORI, 35 STORF.
void FILEREAD(std::string_view name, int32_t absolute, int32_t ncol, int32_t interval_mode, int32_t eof_mode,
              double frequency, double* out);
