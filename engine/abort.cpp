#include "engine/abort.h"

#include <string>

#include "engine/engine_stop.h"
#include "engine/message_catalog.h"
#include "engine/run_state.h"
#include "engine/solution_arrays.h"
#include "engine/storage.h"
#include "link/flat_layer.h"
#include "network/input_state.h"
#include "platform/text_units.h"

namespace {

const std::string kFrame(57, '=');

void print_abort_frame(const Text12& name, int32_t mode) {
    const int out = UNIT_CONSOLE_OUT;
    write_list(out, {kFrame});
    if (mode == 1 || mode == 2) {
        write_list(out, {"Following is the last read data line:"});
        write_list(out, {INPUT.DATA_LINE});
    }
    if (mode == 1 || mode == 3)
        write_list(out, {"Data file name: ", INPUT.DATA_FILE_NAME.sub(1, 34), "..."});
    if (mode == 2 || mode == 3) write_list(out, {"Map/snap file name: ", INPUT.MAP_FILE_NAME});
    write_list(out, {"ERROR: Abnormal termination of ZARIK by ", name});
    write_list(out, {kFrame});
    unit_write_line(out, " ");
}

const char* level_label(int32_t level) {
    switch (level) {
        case 1: return "***WARN*** ";
        case 2: return "***ERROR** ";
        default: return "***INFO*** ";
    }
}

}  // namespace

void ABORT_RUN(const Text12& name, int32_t mode) {
    print_abort_frame(name, mode);
    if (is_true(RUN_SEQ.CONNECTED)) {
        fe_send_int(0, 10);
        fe_flush(0);
        fe_send_int(0, 0);
        fe_send_int(0, 0);
        fe_send_int(0, 0);
        fe_flush(0);
        emit_message_text(2, "RUN ABORTED", {});
        throw FatalCatalogMessage(0);  // emit_message does not return; this keeps the promise
    }
    FREE_STORAGE();
    FREE_ONLINE();
    int32_t status = 0;
    DEALLOCATE_ALL(status);
    throw StandaloneAbort();
}

void USERMSG(int32_t id1, int32_t id2, int32_t level, int32_t flag, std::string_view text) {
    if (is_true(RUN_SEQ.CONNECTED)) {
        if (flag > 0) {
            fe_send_int(0, 14);
            fe_send_int(0, id1);
            fe_send_int(0, id2);
            fe_send_int(0, level);
            fe_send_int(0, flag);
        }
        fe_send_str(0, text);
        if (flag == 1 || flag < 0) fe_flush(0);
        return;
    }
    if (flag > 0 && id1 > 0)
        write_list(UNIT_CONSOLE_OUT, {level_label(level), text, "[", id1, ":", id2, "]"});
    else
        write_list(UNIT_CONSOLE_OUT, {level_label(level), text});
}

void USERWARN(int32_t id1, int32_t id2, int32_t flag, std::string_view text) { USERMSG(id1, id2, 1, flag, text); }
