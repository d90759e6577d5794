// The line entries of the "TLINES:" and "GLOBAL_TLINES:" sections: what
// the section reader has taken from an entry when the kind's numeric block
// reads on, and the words that pick the model and the options.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/fixed_text.h"

struct LineEntry {
    bool header = false;        // began with "HOLVA Line Constants"
    bool file_open = false;     // its line-constants file is the current unit
    int32_t n = 0;              // conductors
    int32_t role = 0;           // 0 both ends here, 1 ENI server, 2 ENI client
    int32_t s1 = 0, s2 = 0;     // end subsystems, the case's numbers
    std::vector<int32_t> node1, node2;  // end nodes, network numbers once checked
    // Per end: start sent, count sent, start received, count received;
    // starts with the page's offsets added.
    int32_t csc1[4] = {1, 0, 1, 0}, csc2[4] = {1, 0, 1, 0};
    int32_t kind = 0;           // model kind of the model record
    Text200 record;             // the current record: the model record
    Text200 input_name, output_name, display_name;
    int32_t display_length = 0;
    Text72 saved[3];            // data lines of the integer, end-1 and end-2 records
    int32_t node_offset = 0, subsys_offset = 0, csc_send_offset = 0, csc_recv_offset = 0;

    // The per-line name: the display name without its quotes.
    std::string line_name() const;
};

// The model kind the first characters of a record name (0: none of the words).
int32_t TL_MODEL_KIND(std::string_view record);

enum class LineOption { None, NoInt, InfLength };
// The option word a record begins with.
LineOption TL_OPTION_WORD(std::string_view record);

// Ends the run through the read-error exit: the current line, the line's
// name for a header entry, message 37.
[[noreturn]] void DSLINT_READ_ERROR(const LineEntry& e);
// Ends the run through the end-of-file exit, message 4.
[[noreturn]] void DSLINT_END_OF_FILE(const LineEntry& e);
// The conductor count of a line-constants file differs from the entry's:
// the explanation, then the read-error exit.
[[noreturn]] void DSLINT_CONDUCTOR_MISMATCH(const LineEntry& e);
// "Line/Cable Name: " and the display name on the console.
void DSLINT_SHOW_NAME(const LineEntry& e);

// The kind's numeric block of a model entry (the model record current,
// stepped back when the block reads it again), its registration, the
// closing of its file and its conductance.
void DSLINT_MODEL(LineEntry& e);
