// What a data start guarantees of the network tables, the
// transformer tables and the branch changes that a snapshot restores: each
// check runs as soon as its block is read, and a value outside stops the
// reading routine as an unreadable one does.
#pragma once

#include <cstdint>
#include <vector>

#include "snapshot/snap_stream.h"

// Whether node is one of subsystem ss's nodes, or ground where allowed.
bool node_of(int32_t node, int32_t ss, bool ground);
// Whether every two different nodes of the list (ground aside) have their
// entries in subsystem ss's sparsity pattern, as the conductance of a
// transformer or of a line end marks them.
bool coupled(int32_t ss, const std::vector<int32_t>& nodes);
// Subsystem ss's sparsity lists for its n nodes: each row's lower (upper)
// list names columns below (above) the row, ascending, and the rows' lists
// follow one another from position 1.
void check_lower_lists(SnapStream& s, int32_t ss, int32_t n);
void check_upper_lists(SnapStream& s, int32_t ss, int32_t n);
// The from-nodes of subsystem ss's m branches: ground or one of its n nodes.
void check_from_nodes(SnapStream& s, int32_t ss, int32_t n, int32_t m);
// The to-nodes likewise; no branch has both ends on one node, and one
// between two nodes has its entries in the sparsity pattern.
void check_to_nodes(SnapStream& s, int32_t ss, int32_t n, int32_t m);
// Each branch's record position: in STORI, or (negative) in RTCI.
void check_record_positions(SnapStream& s, int32_t ss, int32_t n, int32_t m);
// Subsystem ss's switch flags: as many as its switch count.
void check_switch_flags(SnapStream& s, int32_t ss, int32_t m);
// Transformer t's winding count and subsystem, then its winding nodes,
// then its form code and core, then its segment flags.
void check_transformer_head(SnapStream& s, int32_t t);
void check_winding_nodes(SnapStream& s, int32_t t);
void check_transformer_form(SnapStream& s, int32_t t);
void check_segment_flags(SnapStream& s, int32_t t);
// Every subsystem's transformer count, against the transformers read.
void check_transformer_counts(SnapStream& s);
// The branch changes' kinds, subsystems and branches.
void check_branch_changes(SnapStream& s);
