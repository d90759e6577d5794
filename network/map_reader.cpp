// Seam: the map-file reader.
#include "network/map_reader.h"

#include "engine/abort.h"
#include "platform/text_units.h"

void READDATA() {
    write_list(UNIT_CONSOLE_OUT, {"Reading map files is not supported by this build of ZARIK."});
    ABORT_RUN("READDATA", 0);
}
