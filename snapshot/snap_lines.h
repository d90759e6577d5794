// The modal, phase-domain and "MFDTD" line sections of a snapshot.
#pragma once

#include "snapshot/snap_stream.h"

// The modal lines (when the case has any), the phase-domain line count and
// lines, the "MFDTD" line count and lines.
void walk_line_models(SnapStream& s);
