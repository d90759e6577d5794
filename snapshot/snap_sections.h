// The sections of a snapshot file after its head, each walked the same
// way by the writer and the reader.
#pragma once

#include "snapshot/snap_stream.h"

// The nineteen storage arrays (pointers are the caller's).
void walk_storage(SnapStream& s);
// The node map, the multiple-run channel list and the channel names.
void walk_node_map(SnapStream& s);
// Every subsystem's network state, then the transformer tables.
void walk_network(SnapStream& s);
// Line records, ENI ends, line history values and the branch changes.
void walk_lines_and_changes(SnapStream& s);
// A standalone restored run asks the port of every ENI line end, in line
// order; the hosts are this machine.
void ask_eni_ports();
