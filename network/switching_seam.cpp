// Seam: the switch processing, the switching-instant search, the ideal
// branches, the transformer currents and voltage-source
// evaluation, until they are built.
#include <algorithm>

#include "engine/abort.h"
#include "network/network_tables.h"
#include "network/solution_columns.h"
#include "network/solution_hooks.h"
#include "platform/text_units.h"

// Nothing is found to switch, so nothing is ever due.
void SWITCHBR(int32_t, double) {}
double SWITCH_INSTANT(int32_t, int32_t, double, bool, bool) { return 1.5; }

void IDLSTART(int32_t) {
    write_list(UNIT_CONSOLE_OUT, {"Ideal branches are not supported by this build of ZARIK."});
    ABORT_RUN("IDLSTART", 0);
}
void IDLSRC(int32_t) {}
void SCTEST(int32_t) {}
void IDLCUR(int32_t, double, int32_t, double& current, bool, bool) { current = 0.0; }

void XFMR_CURRENTS(int32_t, double, bool, bool, bool) {}
void XFMR_ROLLOVER(int32_t) {}

void VSRC_EVAL() {}
