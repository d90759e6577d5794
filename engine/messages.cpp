#include "engine/messages.h"

#include <algorithm>
#include <array>
#include <cstddef>

#include "engine/abort.h"
#include "engine/message_table.h"
#include "network/dimensions.h"
#include "network/input_state.h"
#include "platform/logical.h"
#include "platform/text_units.h"

namespace {

constexpr std::string_view kDataFileHeader = R"m((/, " **** ERROR IN READING OF DATA FILE!  ****"))m";
constexpr std::string_view kContinuing = R"m((/, " **** EXECUTION CONTINUING ****", /))m";
constexpr std::string_view kTerminating = R"m((/, " **** EXECUTION TERMINATING  ****", /))m";
constexpr std::string_view kOffendingLine = R"m((/, " **** THE OFFENDING LINE IN THE DATA FILE IS: ****", /, A, /, /))m";
constexpr std::string_view kDimensioningExceeded = R"m((/, " **** DIMENSIONING EXCEEDED! ****", /, /))m";

// An output list is an initializer_list, so a list of run-time length is
// passed by its size; no message has more than four items.
void write_items(std::string_view format, const std::array<FValue, 6>& v, size_t n) {
    const int out = UNIT_CONSOLE_OUT;
    switch (n) {
        case 0: write_formatted(out, format, {}); break;
        case 1: write_formatted(out, format, {v[0]}); break;
        case 2: write_formatted(out, format, {v[0], v[1]}); break;
        case 3: write_formatted(out, format, {v[0], v[1], v[2]}); break;
        case 4: write_formatted(out, format, {v[0], v[1], v[2], v[3]}); break;
        case 5: write_formatted(out, format, {v[0], v[1], v[2], v[3], v[4]}); break;
        default: write_formatted(out, format, {v[0], v[1], v[2], v[3], v[4], v[5]}); break;
    }
}

FValue argument(char code, int32_t k1, int32_t k2, int32_t k3, double x1, double x2, const Text72& txt) {
    switch (code) {
        case 'a': return k1;
        case 'b': return k2;
        case 'c': return k3;
        case 'x': return x1;
        case 'y': return x2;
        case 'n': return nint(x1);
        case 's': return txt.sub(1, 3);
        default: return txt.view();
    }
}

void write_dimension_table() {
    const auto& nd = DIMBLOCK.AVAIL;
    const auto f = dimension_table_formats();
    const int out = UNIT_CONSOLE_OUT;
    write_formatted(out, f[0], {nd[1], nd[2]});
    write_formatted(out, f[1], {nd[3], nd[4]});
    write_formatted(out, f[2], {nd[5], nd[6], nd[8]});
    write_formatted(out, f[3], {nd[10], nd[13]});
    write_formatted(out, f[4], {nd[27], nd[28], nd[29], nd[30]});
}

[[noreturn]] void terminate_run(const Text12& name) {
    write_formatted(UNIT_CONSOLE_OUT, kTerminating, {});
    ABORT_RUN(name, 0);
}

}  // namespace

void OUTMSG(int32_t n, int32_t k1, int32_t k2, int32_t k3, double x1, double x2, const Text72& txt) {
    const Text12 name = "OUTMSG";
    const int out = UNIT_CONSOLE_OUT;
    if (n <= 100) write_formatted(out, kDataFileHeader, {});

    const MessageRow* row = message_row(message_select(n));
    if (row == nullptr) return;  // the table covers every number message_select gives
    if (!row->format.empty()) {
        std::array<FValue, 6> items{0, 0, 0, 0, 0, 0};
        const size_t count = std::min(row->args.size(), items.size());
        for (size_t i = 0; i < count; ++i) items[i] = argument(row->args[i], k1, k2, k3, x1, x2, txt);
        write_items(row->format, items, count);
    }

    switch (row->ending) {
        case MessageEnding::Return: return;
        case MessageEnding::Continue: write_formatted(out, kContinuing, {}); return;
        case MessageEnding::Terminate: terminate_run(name);
        case MessageEnding::TableTerminate:
            write_dimension_table();
            terminate_run(name);
        case MessageEnding::Dimensions:
            write_formatted(out, kDimensioningExceeded, {});
            write_dimension_table();
            [[fallthrough]];
        case MessageEnding::Line:
            write_formatted(out, kOffendingLine, {txt});
            terminate_run(name);
    }
}

Text72 CURLINE() { return INPUT.DATA_LINE; }
