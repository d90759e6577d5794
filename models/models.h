// What the engine calls of the component models.
#pragma once

#include <cstdint>

// Reads one "TRANSFORMERS:" section with the node offset of its page;
// returns with the next key.
void DSMINT(int32_t& node_offset);
