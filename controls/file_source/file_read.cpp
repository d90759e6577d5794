#include <algorithm>
#include <array>
#include <cmath>

#include "controls/block_slots.h"
#include "controls/file_source/file_sources.h"
#include "controls/file_source/reader_file.h"
#include "engine/run_state.h"
#include "platform/list_read.h"

namespace {

const Text12 kBlock("FILEREAD    ");
constexpr int32_t kMaxColumns = 11;
constexpr int kEarlier = 2, kLater = 13, kSpare = 24;  // STORF offsets of the three records

// What FILEREAD_DELAYED adds: the instant of record 1 and the output
// before it.
struct Delay {
    bool on = false;
    int32_t prestart = 0;
    double start_time = 0.0;
};

struct Reader {
    BlockSlots s;
    Text72 file;
    int32_t n, interval_mode, eof_mode;

    int32_t& unit() const { return s.I(0); }
    int32_t& count() const { return s.I(1); }
    int32_t& reopen() const { return s.I(2); }
    double& dt() const { return s.F(0); }
    double& next() const { return s.F(1); }
    double* record(int at) const { return &s.F(at); }

    [[noreturn]] void read_error() const { reader_stop(kBlock, "Error reading data from the file: ", file); }
    void copy(int from, int to) const { std::copy_n(record(from), kMaxColumns, record(to)); }
    ReadStatus read(int into) const { return read_record(unit(), n, record(into)); }
    // The interval between the earlier and the later record, from column 1;
    // a time that steps back is read on.
    void interval_from_file() const {
        if (interval_mode == 0) dt() = s.F(kLater) - s.F(kEarlier);
    }
};

// The header and records 1 and 2 of a start from data; the file is closed
// again so that the case's own data files find the input units free.
void set_up_from_data(const Reader& r, double frequency, const Delay& delay) {
    if (!skip_lines(r.unit(), 1) || r.read(kEarlier) != ReadStatus::Ok || r.read(kLater) != ReadStatus::Ok)
        r.read_error();
    if (r.interval_mode == 0) {
        r.interval_from_file();
    } else {
        if (frequency <= 1.0e-6) reader_stop(kBlock, "Sampling Frequency too small");
        r.dt() = 1.0 / frequency;
    }
    const bool delayed = delay.on && delay.start_time > 1.0e-4 * RUN_CLOCK.DELT;
    r.next() = delayed ? delay.start_time + r.dt() : r.dt();
    unit_close(r.unit());
    r.reopen() = 1;
    r.count() = 2;
}

// A snapshot start finds the file where the saved run stood. False when the
// file ends at record 2 or later: the restored records serve this step.
bool set_up_from_snapshot(const Reader& r) {
    if (!skip_lines(r.unit(), 1)) r.read_error();
    std::array<double, kMaxColumns> scratch{};
    for (int32_t i = 1; i <= r.count(); ++i) {
        const ReadStatus st = read_record(r.unit(), r.n, scratch.data());
        if (st == ReadStatus::Ok) continue;
        if (i == 1 || st == ReadStatus::Error) r.read_error();
        return false;
    }
    return true;
}

enum class Caught { Interpolate, Hold };

// Reads records until the later one lies after the present time.
Caught catch_up(const Reader& r) {
    const double now = RUN_CLOCK.TIME;
    bool wrapped = false;
    double next_at_wrap = 0.0;
    while (r.next() <= now) {
        r.copy(kLater, kSpare);
        const ReadStatus st = r.read(kLater);
        if (st == ReadStatus::End) {
            r.copy(kSpare, kLater);  // a record cut short by the end leaves nothing behind
            switch (r.eof_mode) {
            case 0:
                return Caught::Hold;
            case 1:
                // A whole pass through the file must move the time on.
                if (wrapped && r.next() <= next_at_wrap)
                    reader_stop(kBlock, "Data in the file should be in ascending order: ", r.file);
                wrapped = true;
                next_at_wrap = r.next();
                unit_rewind(r.unit());
                r.copy(kLater, kEarlier);
                if (!skip_lines(r.unit(), 1) || r.read(kLater) != ReadStatus::Ok) r.read_error();
                r.next() += r.dt();
                r.count() = 1;
                continue;
            case 2:
                // A last interval of 0 gives no slope to go on with.
                return r.dt() > 0.0 ? Caught::Interpolate : Caught::Hold;
            default:
                r.read_error();
            }
        }
        if (st == ReadStatus::Error) r.read_error();
        r.count() += 1;
        r.copy(kSpare, kEarlier);
        r.interval_from_file();
        r.next() += r.dt();
    }
    return Caught::Interpolate;
}

void file_read(std::string_view name, int32_t absolute, int32_t ncol, int32_t interval_mode, int32_t eof_mode,
               double frequency, const Delay& delay, double* out) {
    const BlockSlots s = take_slots({.storf = 35, .stori = 3});
    if (ncol < 0 || ncol > kMaxColumns) reader_stop(kBlock, "Number of columns must be between 0 and 11");
    const Reader r{s, reader_file_name(name, absolute, kBlock), ncol, interval_mode, eof_mode};
    const bool first_run = is_true(RUN_FLAGS.FIRST_STEP_RUN);
    const bool first_data = is_true(RUN_FLAGS.FIRST_STEP_DATA);
    bool positioned = true;
    if (r.reopen() != 0 && !first_run) {
        r.unit() = open_reader_file(r.file);
        if (!skip_lines(r.unit(), 3)) r.read_error();
        r.count() = 2;
        r.reopen() = 0;
    }
    if (first_run) {
        r.reopen() = 0;
        r.unit() = open_reader_file(r.file);
        if (delay.on && ncol > 0) {
            // The first record's line must hold all the columns.
            std::string line;
            if (!skip_lines(r.unit(), 1) || unit_read_line(r.unit(), line) != ReadStatus::Ok) r.read_error();
            line.resize(360, ' ');
            std::array<double, kMaxColumns> scratch{};
            ListRead check(line);
            for (int32_t i = 0; i < ncol; ++i) check.real(scratch[static_cast<size_t>(i)]);
            if (!check.ok())
                reader_stop(kBlock, "Number of columns in the file is less than the specified value: ", r.file);
            unit_rewind(r.unit());
        }
        if (RUN_SEQ.START_MODE == "DATA") {
            set_up_from_data(r, frequency, delay);
        } else {
            positioned = set_up_from_snapshot(r);
        }
    }
    // The file was closed on the first step of a start from data: it is read
    // again from the next call.
    const bool closed = first_run && RUN_SEQ.START_MODE == "DATA";
    const Caught c = !positioned || closed ? Caught::Interpolate : catch_up(r);
    const double* earlier = r.record(kEarlier);
    const double* later = r.record(kLater);
    const double now = RUN_CLOCK.TIME;
    const bool delayed = delay.on && delay.start_time > 1.0e-4 * RUN_CLOCK.DELT;
    const bool forced_first = first_data && !delayed;
    if (delayed && now < delay.start_time && positioned && c == Caught::Interpolate) {
        for (int32_t i = 0; i < ncol; ++i) out[i] = delay.prestart != 0 ? earlier[i] : 0.0;
    } else if (!positioned || c == Caught::Hold || (r.dt() <= 0.0 && !forced_first)) {
        std::copy_n(later, ncol, out);
    } else {
        const double a = forced_first ? 0.0 : 1.0 - (r.next() - now) / r.dt();
        for (int32_t i = 0; i < ncol; ++i) out[i] = later[i] * a + earlier[i] * (1.0 - a);
    }
    if (is_true(RUN_FLAGS.FINAL_STEP) && !closed) unit_close(r.unit());
}

}  // namespace

void FILEREAD(std::string_view name, int32_t absolute, int32_t ncol, int32_t interval_mode, int32_t eof_mode,
              double frequency, double* out) {
    file_read(name, absolute, ncol, interval_mode, eof_mode, frequency, {}, out);
}

void FILEREAD_DELAYED(std::string_view name, int32_t absolute, int32_t ncol, int32_t interval_mode, int32_t eof_mode,
                      int32_t prestart, double frequency, double start_time, double* out) {
    file_read(name, absolute, ncol, interval_mode, eof_mode, frequency, {true, prestart, start_time}, out);
}
