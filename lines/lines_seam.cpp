// Seam: the line readers. Until lines are read, a line section adds
// nothing to the dimension block, and a line entry with a model stops the
// run.
#include "engine/abort.h"
#include "lines/line_section.h"
#include "lines/lines.h"
#include "network/line_reader.h"
#include "platform/text_units.h"

void RDTLINES() { NEXTKEY(); }

void DSLINT_MODEL(LineEntry& /*e*/) {
    write_list(UNIT_CONSOLE_OUT,
               {"Reading the " + INPUT.SECTION_KEY.trimmed() + " section is not supported by this build of ZARIK."});
    ABORT_RUN("DSLINT", 1);
}
