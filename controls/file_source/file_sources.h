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
// FILEREAD whose record 1 belongs to start_time (when above 1e-4*DELT);
// before it the output is 0.0 (prestart 0) or record 1. The first
// record's line must hold ncol numbers. Slots as FILEREAD.
void FILEREAD_DELAYED(std::string_view name, int32_t absolute, int32_t ncol, int32_t interval_mode, int32_t eof_mode,
                      int32_t prestart, double frequency, double start_time, double* out);
// A table of x, y1 .. yn records read from a file (leading lines whose
// first token starts with "!" or "/", or that are blank, passed over),
// breakpoints ascending, any number of them; only the two records around
// x are held. out(1..10); stepped 0 linear. 1 STORL, 3 STORI, 2n + 2 STORF.
void XYTABLE(std::string_view name, int32_t absolute, int32_t n, int32_t stepped, double x, double* out);
