#include "models/machines/machine_data_lines.h"

#include <string>

#include "engine/abort.h"
#include "models/data_line.h"
#include "network/input_state.h"
#include "platform/text_units.h"

namespace {

[[noreturn]] void missing(const Text12& name, int32_t k) {
    write_list(UNIT_CONSOLE_OUT,
               {"Data line " + std::to_string(k) + " of " + name.trimmed() + " is missing or unreadable"});
    ABORT_RUN(name, 1);
}

}  // namespace

void READ_MACHINE_LINE(const Text12& name, int32_t k, std::initializer_list<double*> values) {
    if (!unit_is_open(INPUT.INPUT_UNIT)) missing(name, k);
    if (!READ_DATA_ITEMS([&](ListRead& in) {
            for (double* v : values) in.real(*v);
        }))
        missing(name, k);
}
