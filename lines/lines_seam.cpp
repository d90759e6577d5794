// Seam: the numeric blocks of the line models. Until a kind is read, a
// line entry with a model stops the run.
#include "engine/abort.h"
#include "lines/line_section.h"
#include "lines/lines.h"
#include "network/line_reader.h"
#include "platform/text_units.h"

void DSLINT_MODEL(LineEntry& /*e*/) {
    write_list(UNIT_CONSOLE_OUT,
               {"Reading the " + INPUT.SECTION_KEY.trimmed() + " section is not supported by this build of ZARIK."});
    ABORT_RUN("DSLINT", 1);
}
