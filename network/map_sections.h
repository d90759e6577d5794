// The small sections of the map file: subsystem sizes and local
// subsystems, radio links, initial node voltages, initial module storage,
// control values and their slots, the multiple-run channel list and the
// output-channel names. Each reader starts with RDCMNT, reads the data
// lines of its section and returns with the next key in SECTION_KEY.
#pragma once

#include <cstdint>

// What the map-file reader has met so far in this run.
struct MapReadState {
    bool subsys_sizes_read = false;  // a "SUBSYSDIM:" section set up the matrices
    // Entries of NODE, SUBS and CXMAP the map filled: NODE to the end of
    // its last page; SUBS and CXMAP to the highest entry written, since
    // each of their sections fills from entry 1 again. The case holds its
    // claims to these; a restored run counts its lists as full.
    int32_t node_filled = 0, subs_filled = 0, cxmap_filled = 0;
};

extern MapReadState MAP_READ;

// "SUBSYSDIM:"; a snapshot reads on after it by position, not by key.
void READSSDIM(bool then_next_key = true);
void SETSUBS();                     // "SUBS:"
void SET_RADIO();                   // "RADIOLINKS:"
void RDVOLTS(int32_t node_offset);  // "VOLTAGES:"
void RDSTOX();                      // "STOL:", "STOI:", "STOF:", "STOC:"
void RDCXMAPPING();                 // "CX:" and "CXMAP:"
void RDMPGB();                      // "MPGBS:"
void RDPGBLIST();                   // "PGBList:"
