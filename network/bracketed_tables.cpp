#include "network/bracketed_tables.h"

#include <string>

#include "engine/abort.h"
#include "network/input_state.h"
#include "network/line_reader.h"
#include "platform/list_read.h"
#include "platform/text_units.h"

namespace {

[[noreturn]] void stop(const Text12& name, FValues line) {
    write_list(UNIT_CONSOLE_OUT, line);
    ABORT_RUN(name, 1);
}

// A table smaller than the count it is asked to hold is the caller's
// fault; nothing is read into it.
void check_room(const Text12& name, int64_t needed, size_t room) {
    if (needed <= static_cast<int64_t>(room)) return;
    write_list(UNIT_CONSOLE_OUT, {"Model data table has room for", static_cast<int64_t>(room),
                                  "values but", needed, "are expected"});
    ABORT_RUN(name, 1);
}

void opening_bracket(const Text12& name) {
    RDCMNT();
    if (!(INPUT.SECTION_KEY == "{")) stop(name, {"Model data is missing begin bracket, {"});
}

// False when a key line came before the next entry.
bool entry_waiting() {
    RDCMNT();
    return INPUT.SECTION_KEY == "{";
}

void read_status(const Text12& name, ReadStatus st) {
    if (st == ReadStatus::End) stop(name, {"Unexpected End_Of_File"});
    if (st == ReadStatus::Error) stop(name, {"Error while reading data"});
}

void closing_bracket(const Text12& name) {
    NEXTKEY();
    if (!(INPUT.SECTION_KEY == "}")) stop(name, {"Model data is missing end bracket, }"});
}

}  // namespace

void READXY(int32_t n, std::span<double> X, std::span<double> Y) {
    const Text12 name("READXY");
    check_room(name, n, X.size());
    check_room(name, n, Y.size());
    opening_bracket(name);
    for (int32_t i = 1; i <= n; ++i) {
        if (!entry_waiting()) {
            write_list(UNIT_CONSOLE_OUT, {"Unexpected end of data encountered by READXY"});
            stop(name, {"Expecting ", n, " pairs but found only ", i - 1});
        }
        Y[i - 1] = 0.0;
        ListRead rd(INPUT.INPUT_UNIT, Reals::Finite);
        rd.real(X[i - 1]).real(Y[i - 1]);
        read_status(name, rd.status());
    }
    closing_bracket(name);
}

void READMATX(int32_t n, int32_t m, std::span<double> A) {
    const Text12 name("READMATX");
    if (n > READMATX_ROWS) stop(name, {"Too many rows in model data matrix:", n, ">", READMATX_ROWS});
    if (n >= 1 && m >= 1) check_room(name, static_cast<int64_t>(READMATX_ROWS) * (m - 1) + n, A.size());
    opening_bracket(name);
    for (int32_t i = 1; i <= n; ++i) {
        if (!entry_waiting()) {
            write_list(UNIT_CONSOLE_OUT, {"Unexpected end of data encountered by READMATX"});
            stop(name, {"Expecting ", n, " rows but found only ", i - 1});
        }
        if (m < 1) {
            // A row of no values still takes its line.
            Text72 line;
            read_status(name, READ_DATA_LINE(line));
            continue;
        }
        for (int32_t j = 1; j <= m; ++j) A[static_cast<size_t>(i - 1 + READMATX_ROWS * (j - 1))] = 0.0;
        ListRead rd(INPUT.INPUT_UNIT, Reals::Finite);
        for (int32_t j = 1; j <= m; ++j) rd.real(A[static_cast<size_t>(i - 1 + READMATX_ROWS * (j - 1))]);
        read_status(name, rd.status());
    }
    closing_bracket(name);
}
