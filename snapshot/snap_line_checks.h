// What a data start guarantees of the line tables that a snapshot
// restores: each family's lines, the line records that name them and the
// ENI line ends. Each check runs as soon as its block is read; a value
// outside stops the reading routine as an unreadable one does.
#pragma once

#include <array>
#include <cstdint>

#include "snapshot/snap_stream.h"

// The modal lines' subsystems, conductors and kinds.
void check_modal_lines(SnapStream& s, int32_t nl);
// Their modes, one after another from each line's first: nodes, delays,
// buffer positions and pole counts, within the six totals d.
void check_modal_modes(SnapStream& s, int32_t nl, const std::array<int32_t, 6>& d);
// The phase-domain lines' subsystems, conductors, delay groups, buffer
// lengths and write positions.
void check_phase_lines(SnapStream& s, int32_t np);
// Their end nodes, npx in all, one line's after another's.
void check_phase_nodes(SnapStream& s, int32_t np, int32_t npx);
// Line p's group delays (the longest its buffer length) and the read
// positions that go with them and its write position.
void check_phase_groups(SnapStream& s, int32_t p);
// What all lines' steps take of the five sparse lists, within their counts.
void check_phase_totals(SnapStream& s, int32_t np, const std::array<int32_t, 5>& counts);
// The MFDTD lines' subsystems, conductors and end nodes, cn in all.
void check_mfdtd_lines(SnapStream& s, int32_t nm, int32_t cn);
// MFDTD line l's poles and segments.
void check_mfdtd_line(SnapStream& s, int32_t l);
// The line records of rows 1..rows: kind and ENI role, the family's line in
// order, its conductors and node-list offset, the control-signal runs.
void check_line_records(SnapStream& s, int32_t rows);
// The ENI server and client counts, against the records' roles.
void check_eni_counts(SnapStream& s, int32_t rows);
// ENI client c's subsystem and its n end nodes.
void check_eni_client(SnapStream& s, int32_t c, int32_t n);
