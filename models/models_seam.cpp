// Seam: the transformer reader. Until transformers are read, a
// "TRANSFORMERS:" section that holds data stops the run.
#include "engine/abort.h"
#include "models/models.h"
#include "network/line_reader.h"
#include "platform/text_units.h"

void DSMINT(int32_t& /*node_offset*/) {
    RDCMNT();
    if (!(INPUT.SECTION_KEY == "TRANSFORMERS:")) return;
    write_list(UNIT_CONSOLE_OUT, {"Reading the TRANSFORMERS: section is not supported by this build of ZARIK."});
    ABORT_RUN("DSMINT", 1);
}
