#include <algorithm>
#include <cmath>
#include <string>

#include "controls/block_slots.h"
#include "controls/file_source/file_sources.h"
#include "controls/file_source/reader_file.h"
#include "engine/run_state.h"
#include "network/input_state.h"
#include "network/line_reader.h"
#include "platform/list_read.h"

namespace {

const Text12 kBlock("XYTABLE     ");
constexpr int32_t kMaxOutputs = 10;

struct TableFile {
    BlockSlots s;
    Text72 file;
    int32_t n;

    Logical& reopen() const { return s.L(0); }
    int32_t& unit() const { return s.I(0); }
    int32_t& upper() const { return s.I(1); }  // record number of U
    int32_t& records() const { return s.I(2); }
    double* U() const { return &s.F(0); }
    double* L() const { return &s.F(n + 1); }

    [[noreturn]] void stop(const char* text) const { reader_stop(kBlock, text, file); }

    // Passes over the leading comment and blank lines and steps back onto
    // the first data line.
    void skip_leading() const {
        for (;;) {
            std::string record;
            const ReadStatus st = unit_read_line(unit(), record);
            if (st == ReadStatus::End) stop("Not enough data in the file: ");
            if (st == ReadStatus::Error) stop("Error reading data from the file: ");
            const Text72 line{std::string_view(record)};
            INPUT.DATA_LINE = line;
            const char c = FIRST_TOKEN(line)[0];
            if (c != '!' && c != '/' && c != ' ') break;
        }
        unit_backspace(unit());
    }
    void from_the_start() const {
        unit_rewind(unit());
        skip_leading();
    }
    // The records must rise in x; their number goes into the slots.
    void count_records() const {
        double before = 0.0, x = 0.0;
        ReadStatus st = ListRead(unit(), Reals::Finite).real(before).status();
        if (st == ReadStatus::End) stop("Not enough data in the file: ");
        if (st == ReadStatus::Error) stop("Error reading data from the file: ");
        int32_t count = 1;
        while ((st = ListRead(unit(), Reals::Finite).real(x).status()) != ReadStatus::End) {
            if (st == ReadStatus::Error) stop("Error reading data from the file: ");
            ++count;
            if (x <= before) stop("Data in the file should be in ascending order: ");
            before = x;
        }
        if (count < 2) stop("Not enough data in the file: ");
        records() = count;
        from_the_start();
    }
    // The next record into U: x and the n values on one line.
    void read_upper() const {
        std::string record;
        do {
            if (unit_read_line(unit(), record) != ReadStatus::Ok) stop("Error reading data from the file: ");
        } while (record.find_first_not_of(" \t,") == std::string::npos);
        ListRead r(record, Reals::Finite);
        for (int32_t i = 0; i <= n; ++i) r.real(U()[i]);
        if (!r.ok()) stop("Error reading data from the file: ");
    }
    void first_record() const {
        read_upper();
        upper() = 1;
        std::copy_n(U(), n + 1, L());
    }
};

// The weight of U against L for x, walking the file to the records around it.
double bracket(const TableFile& t, double x, int32_t stepped) {
    for (;;) {
        if (x > t.U()[0]) {
            if (t.upper() >= t.records()) return 1.0;
            std::copy_n(t.U(), t.n + 1, t.L());
            t.read_upper();
            t.upper() += 1;
        } else if (t.upper() == 1) {
            return 1.0;
        } else if (x >= t.L()[0]) {
            const double f = (x - t.L()[0]) / (t.U()[0] - t.L()[0]);
            return stepped != 0 ? std::round(f) : f;
        } else {
            t.from_the_start();
            t.first_record();
        }
    }
}

}  // namespace

void XYTABLE(std::string_view name, int32_t absolute, int32_t n, int32_t stepped, double x, double* out) {
    const int32_t kept = std::clamp(n, 0, kMaxOutputs);
    const BlockSlots s = take_slots({.storf = 2 * kept + 2, .stori = 3, .storl = 1});
    const Text72 file = reader_file_name(name, absolute, kBlock);
    if (n != kept) reader_stop(kBlock, "Number of columns must be between 0 and 10");
    const TableFile t{s, file, n};
    const bool first_run = is_true(RUN_FLAGS.FIRST_STEP_RUN);
    const bool first_data = is_true(RUN_FLAGS.FIRST_STEP_DATA);
    if (first_run || is_true(t.reopen())) {
        t.unit() = open_reader_file(file);
        t.skip_leading();
        if (first_run) t.count_records();
        t.reopen() = as_logical(first_run && first_data);
        t.first_record();
    }
    const double f = bracket(t, x, stepped);
    std::fill_n(out, kMaxOutputs, 0.0);
    for (int32_t c = 1; c <= n; ++c) out[c - 1] = t.U()[c] * f + t.L()[c] * (1.0 - f);
    // Closed again on the first step of a start from data: the case's own
    // data files are read meanwhile.
    if (first_run && first_data) {
        unit_close(t.unit());
        t.upper() = 1;
    } else if (is_true(RUN_FLAGS.FINAL_STEP)) {
        unit_close(t.unit());
    }
}
