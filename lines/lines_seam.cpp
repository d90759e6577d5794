// Seam: the line readers. Until lines are read, a line section adds
// nothing to the dimension block, and one that holds data stops the run.
#include "engine/abort.h"
#include "lines/lines.h"
#include "network/line_reader.h"
#include "platform/text_units.h"

void RDTLINES() { NEXTKEY(); }

void DSLINT(int32_t& /*node_offset*/, int32_t& /*subsys_offset*/, int32_t& /*csc_begin1*/, int32_t& /*csc_begin2*/) {
    const Text72 key = INPUT.SECTION_KEY;
    if (key == "GLOBAL_TLINES:")
        LINE_COUNTS.global_tline_sections += 1;
    else
        LINE_COUNTS.tline_sections += 1;
    RDCMNT();
    if (!(INPUT.SECTION_KEY == key)) return;
    write_list(UNIT_CONSOLE_OUT,
               {"Reading the " + key.trimmed() + " section is not supported by this build of ZARIK."});
    ABORT_RUN("DSLINT", 1);
}
