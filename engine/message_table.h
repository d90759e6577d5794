// The table of numbered engine messages: per number a format in Fortran
// notation, the arguments that fill its fields, and how the message ends.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

enum class MessageEnding {
    Return,          // back to the caller
    Continue,        // the continuing trailer, then back
    Terminate,       // the terminating trailer, then the run ends
    Line,            // the offending data line, then as Terminate
    Dimensions,      // the dimension report, then as Line
    TableTerminate,  // the dimension table, then as Terminate
};

// Argument codes, one per field in order: a, b, c are K1, K2, K3; x, y are
// X1, X2; n is the nearest integer to X1; t is the text, s its first three
// characters.
struct MessageRow {
    int32_t first;
    int32_t last;
    std::string_view format;  // empty: the message has no text of its own
    std::string_view args;
    MessageEnding ending;
};

std::span<const MessageRow> message_table();

// The number whose text message n writes (numbers without a text of their
// own fall back to the first message of their range).
int32_t message_select(int32_t n);

// The row of a number that has one, else nullptr.
const MessageRow* message_row(int32_t n);

// The five formats of the dimension table, filled by ND1, ND2 | ND3, ND4 |
// ND5, ND6, ND8 | ND10, ND13 | ND27, ND28, ND29, ND30.
std::span<const std::string_view> dimension_table_formats();
