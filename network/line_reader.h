// The line reader of every data file (map file, included and page files,
// snapshots, module data files, line-constants files) and the stack of
// input units it reads from.
//
// Section readers follow one contract: call RDCMNT; while SECTION_KEY is
// still their own key a data line is waiting (read it with ListRead on
// INPUT.INPUT_UNIT, or whole with READ_DATA_LINE); when the key has changed
// they return and leave the new key to their caller.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "network/input_state.h"
#include "platform/fixed_text.h"
#include "platform/logical.h"
#include "platform/text_units.h"

// The next significant line of the current file: a key line is consumed
// and becomes SECTION_KEY; a data line is put back.
void RDCMNT();
// Opens DATA_FILE_NAME for reading on the next unit.
void OPENFILE();
// As OPENFILE, but a file that cannot be opened only gives false and
// leaves the stack as it was.
bool OPENFILE_IF_FOUND();
// Opens DATA_FILE_NAME on the next unit: 1 read, 2 write a new file,
// otherwise write. With a path, that file is opened in its place and the
// messages still name DATA_FILE_NAME.
void OPENFILE1(int32_t mode, std::string_view path = {});
// Closes the current unit and steps back to the one below it.
void CLOSEFILE();
// The name of the file open on the current unit; DATA_FILE_NAME when
// the unit was not opened by name.
Text72 CURRENT_FILE_NAME();
// Skips the rest of the current section.
void NEXTKEY();
// Positions the current file after the section named in SECTION_KEY.
void GOTOSECTION();
// Skips lines of a unit that start with '!' or are blank.
void SKIPCMNT(int32_t unit);

Text72 FIRST_TOKEN(const Text72& line);
Text72 SECOND_TOKEN(const Text72& line);
// The columns after the first '=' of the line.
Text72 GETVALUE(const Text72& line);
Logical ISKEYLINE(const Text72& token);
// The file name of an "INCLUDE" line.
Text72 INCL_FNAME(const Text72& line);
// The text between the first quote of the line and the next one.
void GET_FNAME(const Text72& line, Text72& name);
// One integer read list-directed from a text.
int32_t TEXTINT(std::string_view text);

// Reads the waiting line of the current unit whole (format A72) into line
// and DATA_LINE.
ReadStatus READ_DATA_LINE(Text72& line);
// The next output-channel label of the current unit, whole: a line whose
// first non-blank character is '!' is a comment and is passed over; a line
// that opens a map file's section, or ends a page or the case, gives End,
// as the end of the file does; every other line, blank or not, is a label.
ReadStatus READ_CHANNEL_LABEL(std::string& record);
