#include "controls/file_source/reader_file.h"

#include <string>

#include "engine/abort.h"
#include "engine/run_state.h"
#include "network/input_state.h"
#include "network/line_reader.h"
#include "platform/list_read.h"

namespace {

// Units of the blocks' files: above the input-unit stack, below the run's
// output files.
constexpr int32_t kFirstReaderUnit = 200;
constexpr int32_t kLastReaderUnit = 999;

}  // namespace

Text72 reader_file_name(std::string_view name, int32_t absolute, const Text12& block) {
    const size_t end = name.find_last_not_of(' ');
    const std::string_view trimmed = end == std::string_view::npos ? std::string_view() : name.substr(0, end + 1);
    const std::string prefix = absolute == 0 ? "../" : "";
    if (trimmed.size() + prefix.size() > 72) reader_stop(block, "Name of the file is too long");
    return FIRST_TOKEN(Text72(prefix + std::string(trimmed)));
}

int32_t open_reader_file(const Text72& file) {
    INPUT.DATA_FILE_NAME = file;
    OPENFILE();
    int32_t unit = kFirstReaderUnit;
    while (unit <= kLastReaderUnit && unit_is_open(unit)) ++unit;
    if (unit > kLastReaderUnit || !unit_renumber(INPUT.INPUT_UNIT, unit)) {
        CLOSEFILE();
        reader_stop("OPENFILE    ", "Too many data files open at once: ", file);
    }
    CLOSEFILE();
    return unit;
}

void reader_stop(const Text12& block, std::string_view text) {
    USERMSG(CURRENT_IDS.id1, CURRENT_IDS.id2, 2, 1, text);
    ABORT_RUN(block, 0);
}

void reader_stop(const Text12& block, std::string_view text, const Text72& file) {
    reader_stop(block, std::string(text) + file.trimmed());
}

ReadStatus read_record(int32_t unit, int32_t n, double* values) {
    if (n <= 0) {
        std::string line;
        return unit_read_line(unit, line);
    }
    ListRead r(unit, Reals::Finite);
    for (int32_t i = 0; i < n; ++i) r.real(values[i]);
    return r.status();
}

bool skip_lines(int32_t unit, int32_t n) {
    std::string line;
    for (int32_t i = 0; i < n; ++i)
        if (unit_read_line(unit, line) != ReadStatus::Ok) return false;
    return true;
}
