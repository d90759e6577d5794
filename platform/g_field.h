// The G23.14 field of the output-channel files, written straight into a
// buffer: the same characters as edit("G23.14", x) of the shared formatter,
// without a format parsed or a string built per value.
#pragma once

constexpr int G23_WIDTH = 23;

// Writes exactly G23_WIDTH characters at field.
void put_g23_14(double x, char* field);
