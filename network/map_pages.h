// The "MAP:" section: one page of a hierarchical case, its node map and
// its offsets.
#pragma once

#include <cstdint>

// Reads the page's node map, its subsystem list (a page in the new form)
// and its CSC begin indices; returns the page's four offsets and leaves
// the page tables of MAP_PAGE (network/node_numbering.h) for its sections.
void NODELKUP(int32_t& node_offset, int32_t& subsys_offset, int32_t& csc_begin1, int32_t& csc_begin2);
