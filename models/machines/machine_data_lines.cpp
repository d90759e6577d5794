#include "models/machines/machine_data_lines.h"

#include <string>

#include "engine/abort.h"
#include "network/input_state.h"
#include "network/line_reader.h"
#include "platform/list_read.h"
#include "platform/text_units.h"

namespace {

[[noreturn]] void missing(const Text12& name, int32_t k) {
    write_list(UNIT_CONSOLE_OUT,
               {"Data line " + std::to_string(k) + " of " + name.trimmed() + " is missing or unreadable"});
    ABORT_RUN(name, 1);
}

bool skipped(const std::string& record) {
    const size_t at = record.find_first_not_of(" \t");
    if (at == std::string::npos) return true;
    return record[0] == 'C' || record[0] == 'c' || record[at] == '!' || record[at] == '/';
}

// Whether a significant record is still ahead on the unit; the unit is
// left where it was.
bool line_ahead(int32_t unit) {
    int32_t read = 0;
    bool found = false;
    for (;;) {
        std::string record;
        if (unit_read_line(unit, record) != ReadStatus::Ok) break;
        ++read;
        if (!skipped(record)) {
            found = true;
            break;
        }
    }
    for (int32_t k = 0; k < read; ++k) unit_backspace(unit);
    return found;
}

}  // namespace

void READ_MACHINE_LINE(const Text12& name, int32_t k, std::initializer_list<double*> values) {
    const int32_t unit = INPUT.INPUT_UNIT;
    if (!unit_is_open(unit) || !line_ahead(unit)) missing(name, k);
    const Text72 key = INPUT.SECTION_KEY;
    const Text72 waiting = "MACHINE DATA LINE";
    INPUT.SECTION_KEY = waiting;
    RDCMNT();
    if (!(INPUT.SECTION_KEY == waiting)) missing(name, k);
    INPUT.SECTION_KEY = key;
    ListRead in(INPUT.INPUT_UNIT);
    for (double* v : values) in.real(*v);
    if (!in.ok()) missing(name, k);
}
