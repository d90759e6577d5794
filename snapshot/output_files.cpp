// The output-channel files: one ".inf" line per written channel and value
// files of ten channels each, one record per print step.
#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "engine/abort.h"
#include "engine/messages.h"
#include "engine/run_state.h"
#include "engine/storage.h"
#include "network/dimensions.h"
#include "network/input_state.h"
#include "network/line_reader.h"
#include "network/parameters.h"
#include "platform/g_field.h"
#include "platform/text_units.h"
#include "snapshot/name_base.h"
#include "snapshot/run_output.h"

RunOutputState RUN_OUTPUT;

namespace {

const Text12 kRoutine = "OUTPUTFILE";
constexpr int32_t kPerFile = 10;
constexpr double kLargest = 9.9999999999999e+98;

// The channel list of this run: all channels in the last run, else the
// multiple-run list.
int32_t channels_written() { return is_true(RUN_SEQ.LAST_RUN) ? DIMBLOCK.NPGBS : RUN_OUTPUT.mpgbs_count; }

int32_t file_count(int32_t n) { return std::min((n - 1) / kPerFile + 1, OUTPUT_FILES_MAX); }

// The base name and the run suffix: the output name up to its first blank
// or '.' after its folder, at most 33 characters.
std::string name_stem() {
    std::string stem = name_base(RUN_SETUP.output_file.view(), 33);
    if (RUN_SEQ.NRUNS > 1 && RUN_OUTPUT.mpgbs_count > 0) {
        char run[16];
        std::snprintf(run, sizeof run, "_r%05d", RUN_SEQ.IRUN);
        stem += run;
    }
    return stem;
}

Text72 value_file_name(const std::string& stem, int32_t k) {
    char tail[16];
    std::snprintf(tail, sizeof tail, k <= 99 ? "_%02d.out" : "_%03d.out", k);
    return Text72(stem + tail);
}

// Every channel as the files carry it, kept so in PGB for the traced
// values and snapshots that follow: tiny magnitudes as zero, the rest
// within the two-digit exponent range. A NaN fails every test but the last.
void clamp_channels() {
    FArray1<double>& pgb = STORAGE.PGB;
    const int64_t n = std::min<int64_t>(DIMBLOCK.NPGBS, pgb.size());
    double* v = pgb.data();
    for (int64_t i = 0; i < n; ++i) {
        if (std::fabs(v[i]) <= 1e-99)
            v[i] = 0.0;
        else if (v[i] >= kLargest)
            v[i] = kLargest;
        else if (!(v[i] > -kLargest))
            v[i] = -kLargest;
    }
}

// Message 20 ends the run.
void write_failed(const Text72& file) { OUTMSG(20, 0, 0, 0, 0.0, 0.0, file); }

[[noreturn]] void record_failed() {
    USERMSG(0, 0, 2, 1, "Error occurred while writing output file");
    ABORT_RUN(kRoutine, 0);
}

// Every channel the list names must exist before anything is opened.
void check_channel_list(int32_t n) {
    if (is_true(RUN_SEQ.LAST_RUN)) return;
    for (int32_t i = 1; i <= n; ++i) {
        const int32_t c = STORAGE.MPGBS(i);
        if (c >= 1 && c <= DIMBLOCK.NPGBS) continue;
        USERMSG(0, 0, 2, 2, "MPGBS entry " + std::to_string(i) + " names output channel " + std::to_string(c) + ",");
        USERMSG(0, 0, 2, -1, "but the case has channels 1 to " + std::to_string(DIMBLOCK.NPGBS) + " only.");
        ABORT_RUN(kRoutine, 0);
    }
}

std::string description(int32_t i) {
    const Text200& own = STORAGE.PGBNAME(i);
    if (is_true(RUN_SEQ.LAST_RUN)) return own.trimmed();
    std::string line(own.sub(1, 15));
    line += STORAGE.PGBNAME(STORAGE.MPGBS(i)).sub(16, 200);
    return std::string(trim_right(line));
}

void write_description_file(const std::string& stem, int32_t n) {
    const Text72 name(stem + ".inf");
    INPUT.DATA_FILE_NAME = name;
    OPENFILE1(0);
    for (int32_t i = 1; i <= n; ++i)
        if (!unit_write_line(INPUT.INPUT_UNIT, description(i))) write_failed(name);
    if (!unit_close(INPUT.INPUT_UNIT)) write_failed(name);
    CLOSEFILE();
}

// Each file is opened on the input stack, where opening reports its own
// failure, and then moved to its own unit.
void open_value_files(const std::string& stem, int32_t nf) {
    const int32_t base = RUN_OUTPUT.OUTPUT_UNIT_BASE;
    for (int32_t k = 1; k <= nf; ++k) {
        const Text72 name = value_file_name(stem, k);
        INPUT.DATA_FILE_NAME = name;
        OPENFILE1(0);
        unit_close(base + k);  // left over from a run that ended without closing its files
        unit_renumber(INPUT.INPUT_UNIT, base + k);
        CLOSEFILE();
        if (!unit_write_line(base + k, PARAMS.title.view()) || !unit_flush(base + k)) write_failed(name);
    }
}

// Each written channel's field of the record before, with its value's bits:
// a value that has not changed since (a state, a setting, a held level) is
// copied rather than formatted again.
struct KeptField {
    uint64_t bits;
    char text[G23_WIDTH];
};
std::vector<KeptField> kept_fields;

// The kept fields of channels 1 to n, a new one holding 0.
KeptField* kept_for(int32_t n) {
    if (static_cast<size_t>(n) > kept_fields.size()) {
        KeptField zero{std::bit_cast<uint64_t>(0.0), {}};
        put_g23_14(0.0, zero.text);
        kept_fields.resize(static_cast<size_t>(n), zero);
    }
    return kept_fields.data();
}

void put_channel(KeptField& k, double v, char* at) {
    const uint64_t bits = std::bit_cast<uint64_t>(v);
    if (bits != k.bits) {
        put_g23_14(v, k.text);
        k.bits = bits;
    }
    std::memcpy(at, k.text, G23_WIDTH);
}

void write_records(int32_t n, int32_t nf) {
    const RunClock& c = RUN_CLOCK;
    const int64_t step = is_true(RUN_SETUP.relabel_time) ? int64_t{c.NSTEP} - c.START_STEP : c.NSTEP;
    const double time = c.DELT * static_cast<double>(step);
    // Every file's record starts with the same time field.
    char time_field[G23_WIDTH];
    put_g23_14(time, time_field);
    KeptField* const kept = kept_for(n);
    const bool all = is_true(RUN_SEQ.LAST_RUN);
    std::string record;
    for (int32_t k = 1; k <= nf; ++k) {
        const int32_t first = (k - 1) * kPerFile + 1, last = k == nf ? n : k * kPerFile;
        // The last file of a long list goes on in lines of ten values.
        const int32_t count = last - first + 1;
        record.resize(static_cast<size_t>(G23_WIDTH + count * (G23_WIDTH + 1) + (count - 1) / kPerFile));
        char* at = record.data();
        std::memcpy(at, time_field, G23_WIDTH);
        at += G23_WIDTH;
        for (int32_t i = first, in_line = 0; i <= last; ++i, ++in_line) {
            if (in_line == kPerFile) {
                *at++ = '\n';
                in_line = 0;
            }
            *at++ = ' ';
            put_channel(kept[i - 1], STORAGE.PGB(all ? i : STORAGE.MPGBS(i)), at);
            at += G23_WIDTH;
        }
        if (!unit_write_line(RUN_OUTPUT.OUTPUT_UNIT_BASE + k, record)) record_failed();
    }
}

}  // namespace

void OUTPUTFILE(int32_t mode) {
    CURRENT_IDS = {};
    const int32_t n = channels_written();
    if (n <= 0) return;
    const int32_t nf = file_count(n);
    const int32_t base = RUN_OUTPUT.OUTPUT_UNIT_BASE;

    switch (mode) {
        case 3:
            clamp_channels();
            if (base != 0) write_records(n, nf);
            return;
        case 1: {
            if (base != 0) {
                USERMSG(0, 0, 2, 1, "Multiple attempts to open output files");
                ABORT_RUN(kRoutine, 0);
            }
            check_channel_list(n);
            const std::string stem = name_stem();
            RUN_OUTPUT.OUTPUT_UNIT_BASE = OUTPUT_UNITS_FROM;
            write_description_file(stem, n);
            open_value_files(stem, nf);
            return;
        }
        case 2:
            for (int32_t k = 1; base != 0 && k <= nf; ++k)
                if (!unit_close(base + k)) record_failed();
            return;
        case 0: {
            const std::string stem = name_stem();
            for (int32_t k = 1; k <= nf; ++k) OUTMSG(236, 0, 0, 0, 0.0, 0.0, value_file_name(stem, k));
            return;
        }
        default: USERWARN(0, 0, 1, "OUTPUTFILE:Unknown output file mode!");
    }
}
