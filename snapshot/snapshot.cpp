// Snapshot files are not written or read yet: a snapshot start stops with
// a clear message, and no snapshot is ever taken.
#include "snapshot/snapshot.h"

#include "engine/abort.h"
#include "platform/text_units.h"

namespace {
[[noreturn]] void no_snapshots(const char* routine) {
    write_list(UNIT_CONSOLE_OUT, {"Snapshot files are not supported by this build of ZARIK."});
    ABORT_RUN(routine, 0);
}
}  // namespace

void SNAP_OK(Logical& accepted, double& snap_time) {
    accepted = LFALSE;
    snap_time = 0.0;
    no_snapshots("SNAP_OK");
}

void READSNP() { no_snapshots("READSNP"); }

void WRITESNP() {}
