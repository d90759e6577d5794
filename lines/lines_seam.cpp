// The kinds' numeric blocks. A kind not read by this build stops the run.
#include "engine/abort.h"
#include "lines/line_record.h"
#include "lines/line_section.h"
#include "lines/frephase.h"
#include "lines/lines.h"
#include "lines/modal_setup.h"
#include "network/line_reader.h"
#include "platform/text_units.h"

void DSLINT_MODEL(LineEntry& e) {
    if (e.kind == tlrec::KIND_BERGERON || e.kind == tlrec::KIND_FREDEP) {
        DSLINT_MODAL(e);
        return;
    }
    if (e.kind == tlrec::KIND_FREPHASE) {
        DSLINT_PHASE(e);
        return;
    }
    write_list(UNIT_CONSOLE_OUT,
               {"Reading the " + INPUT.SECTION_KEY.trimmed() + " section is not supported by this build of ZARIK."});
    ABORT_RUN("DSLINT", 1);
}
