// Page-local node numbers of the map file's pages turned into subsystem
// numbers and subsystem node numbers, with their checks. The page tables
// are those of the last "MAP:" section read: NODE, NODE_SUBSYS (STORAGE)
// and MAP_PAGE below.
#pragma once

#include <cstdint>

#include "platform/fixed_text.h"

struct MapPage {
    // Offsets of the page being read, passed to its section readers.
    int32_t node_offset = 0;     // index in NODE just before the page's first node
    int32_t subsys_offset = 0;   // NSUBS before the page
    int32_t csc_begin1 = 0;      // first CSC begin index
    int32_t csc_begin2 = 0;      // second CSC begin index
    int32_t page_nodes = 0;      // node count of the page; local nodes above it are errors
    FText<3> map_mode;           // "OLD" one subsystem per page, "NEW" one per node, blank before any page
};

extern MapPage MAP_PAGE;

// Subsystem node number of local node k on the page at offset p.
int32_t NODENUM(int32_t p, int32_t k);
// Subsystem of local node k on the page at offset p, checked.
int32_t SSNUM(int32_t p, int32_t k);
// Returns only when s is a subsystem of the case.
void CHECKSSN(int32_t s);
// Subsystem node number of local node k into g, checked against the node
// limit; raises NBUSES of the node's subsystem.
void ZARIK_NODE(int32_t p, int32_t k, int32_t& g);
