#include "network/line_reader.h"

#include <map>
#include <string>

#include "engine/abort.h"
#include "engine/run_state.h"
#include "platform/list_read.h"

namespace {

// Files nest at most 20 deep above the map file.
constexpr int32_t INPUT_UNIT_LIMIT = INPUT_UNIT_NONE + 1 + 20;

bool skipped_lead(char c) { return c == ' ' || c == '\'' || c == '"' || c == '#'; }
bool token_end(char c) { return c == ' ' || c == '=' || c == '\'' || c == '"'; }

// The token that starts the scan at column `from` (1-based); `last` gets the
// column of its last character (from - 1 when it is empty).
Text72 token_from(const Text72& line, size_t from, size_t& last) {
    Text72 token;
    if (from > 72) {
        last = 72;
        return token;
    }
    size_t start = from;
    while (start < 72 && skipped_lead(line[start - 1])) ++start;
    size_t end = start;
    while (end <= 72 && !token_end(line[end - 1])) ++end;
    last = end - 1;
    token.assign(line.view().substr(start - 1, end - start));
    return token;
}

// A record cut or padded to 72 columns.
Text72 as_line(const std::string& record) { return Text72(std::string_view(record)); }

// The file open on each unit of the stack, so that a message about the
// file being read names it after a file above it has closed.
std::map<int32_t, Text72> file_on_unit;

void open_failed_warning(const char* what) {
    // A full stack, not the file, made the open fail.
    const std::string msg =
        INPUT.INPUT_UNIT > INPUT_UNIT_LIMIT
            ? "ZARIK: Files nested more than " + std::to_string(INPUT_UNIT_LIMIT - INPUT_UNIT_NONE - 1) +
                  " deep; cannot open: "
            : std::string(what);
    USERWARN(CURRENT_IDS.id1, CURRENT_IDS.id2, 1, msg + INPUT.DATA_FILE_NAME.trimmed());
}

// Opens the next unit on DATA_FILE_NAME, or on path when one is given;
// false when the stack is full or the open fails.
bool open_next(UnitMode mode, bool must_be_new, std::string_view path = {}) {
    INPUT.INPUT_UNIT += 1;
    if (INPUT.INPUT_UNIT > INPUT_UNIT_LIMIT) return false;
    const std::string name = path.empty() ? INPUT.DATA_FILE_NAME.trimmed() : std::string(path);
    if (name.empty()) return false;
    const bool opened = must_be_new ? unit_open_new(INPUT.INPUT_UNIT, name) : unit_open(INPUT.INPUT_UNIT, name, mode);
    if (opened) file_on_unit[INPUT.INPUT_UNIT] = INPUT.DATA_FILE_NAME;
    return opened;
}

void line_constants_advice() {
    const std::string_view name = INPUT.DATA_FILE_NAME.view();
    // The last '.' that has three characters after it within the field.
    size_t dot = std::string_view::npos;
    for (size_t i = name.size() >= 4 ? name.size() - 4 : 0;; --i) {
        if (name[i] == '.') {
            dot = i;
            break;
        }
        if (i == 0) break;
    }
    if (dot == std::string_view::npos) return;
    const std::string_view ext = name.substr(dot, 4);
    if (ext != ".tlo" && ext != ".clo") return;
    const int out = UNIT_CONSOLE_OUT;
    write_list(out, {"ZARIK: Line/Cable Constants has not been"});
    write_list(out, {"       solved for Line/Cable:", name.substr(0, dot)});
    write_list(out, {"From HOLVA:"});
    write_list(out, {"  - Edit the Transmission Line or Cable."});
    write_list(out, {"  - Edit the sub-page."});
    write_list(out, {"  - Confirm Line Model Selection and Data."});
    write_list(out, {"  - Use the right button menu:"});
    write_list(out, {"     - Create Input File"});
    write_list(out, {"     - Solve Constants"});
    write_list(out, {"     - Check for and Correct Errors."});
}

// The keys of a map file's sections, and the lines that end a page, a
// file or the case, as the map-file reader knows them.
bool is_section_key(const Text72& token) {
    static constexpr const char* kKeys[] = {
        "DIMENSIONS:", "PARAMETERS:", "MAP:",     "SUBSYSDIM:", "SUBS:",    "RADIOLINKS:", "VOLTAGES:",
        "BRANCHES:",   "TRANSFORMERS:", "TLINES:", "GLOBAL_TLINES:", "DATADSD:", "DATADSO:", "IGNORE:",
        "STOL:",       "STOI:",       "STOF:",    "STOC:",      "CX:",      "CXMAP:",      "MPGBS:",
        "PGBList:",    "ENDPAGE",     "ENDPAGE:", "ENDCASE",    "ENDCASE:"};
    for (const char* k : kKeys)
        if (token == k) return true;
    return token.sub(1, 7) == "ENDFILE";
}

}  // namespace

Text72 FIRST_TOKEN(const Text72& line) {
    size_t last = 0;
    return token_from(line, 1, last);
}

Text72 SECOND_TOKEN(const Text72& line) {
    size_t last = 0;
    token_from(line, 1, last);
    return token_from(line, last + 2, last);
}

Text72 GETVALUE(const Text72& line) {
    const size_t eq = line.view().find('=');
    Text72 value;
    if (eq == std::string_view::npos || eq + 1 >= 72) return value;
    value.assign(line.view().substr(eq + 1));
    return value;
}

Logical ISKEYLINE(const Text72& token) {
    const std::string_view t = token.view();
    return as_logical(t.find(':') != std::string_view::npos || t[0] == '{' || t[0] == '}');
}

Text72 INCL_FNAME(const Text72& line) {
    Text72 name;
    const size_t e = line.view().find('E');
    if (e == std::string_view::npos) return name;
    ListRead(line.view().substr(e + 1)).text(name);
    return name;
}

void GET_FNAME(const Text72& line, Text72& name) {
    const std::string_view v = line.view();
    const size_t open = v.substr(0, 71).find_first_of("'\"");
    if (open == std::string_view::npos) {
        write_list(UNIT_CONSOLE_OUT, {"GET_FNAME 01: Cannot extract filename from ", line});
        return;
    }
    const size_t close = v.find_first_of("'\"", open + 1);
    if (close == std::string_view::npos) {
        write_list(UNIT_CONSOLE_OUT, {"GET_FNAME 02: Cannot extract filename from ", line});
        return;
    }
    name.assign(v.substr(open + 1, close - open - 1));
}

int32_t TEXTINT(std::string_view text) {
    int32_t value = 0;
    ListRead(text.substr(0, std::min<size_t>(text.size(), 255))).integer(value);
    return value;
}

ReadStatus READ_DATA_LINE(Text72& line) {
    std::string record;
    const ReadStatus st = unit_read_line(INPUT.INPUT_UNIT, record);
    if (st == ReadStatus::Ok) {
        line = as_line(record);
        INPUT.DATA_LINE = line;
    }
    return st;
}

ReadStatus READ_CHANNEL_LABEL(std::string& record) {
    for (;;) {
        const ReadStatus st = unit_read_line(INPUT.INPUT_UNIT, record);
        if (st != ReadStatus::Ok) return st;
        const size_t at = record.find_first_not_of(" \t");
        if (at != std::string::npos && record[at] == '!') continue;
        INPUT.DATA_LINE = as_line(record);
        // A section's key ends the labels as the end of the file would; it
        // is left to be read.
        if (!is_section_key(FIRST_TOKEN(INPUT.DATA_LINE))) return st;
        unit_backspace(INPUT.INPUT_UNIT);
        return ReadStatus::End;
    }
}

void OPENFILE() {
    if (open_next(UnitMode::Read, false)) return;
    open_failed_warning("ZARIK: Error while opening file for read: ");
    ABORT_RUN("OPENFILE", 0);
}

bool OPENFILE_IF_FOUND() {
    if (open_next(UnitMode::Read, false)) return true;
    INPUT.INPUT_UNIT -= 1;
    return false;
}

void OPENFILE1(int32_t mode, std::string_view path) {
    const UnitMode how = mode == 1 ? UnitMode::Read : UnitMode::Write;
    if (open_next(how, mode == 2, path)) return;
    if (mode == 1) {
        open_failed_warning("ZARIK: Error while opening file for read: ");
        line_constants_advice();
    } else if (mode == 2) {
        open_failed_warning("ZARIK: Error while opening file for write: ");
    } else {
        open_failed_warning("ZARIK: Error while opening file: ");
    }
    ABORT_RUN("OPENFILE1", 0);
}

void CLOSEFILE() {
    unit_close(INPUT.INPUT_UNIT);
    file_on_unit.erase(INPUT.INPUT_UNIT);
    // Never below the empty stack: a stray close leaves it empty.
    if (INPUT.INPUT_UNIT > INPUT_UNIT_NONE) INPUT.INPUT_UNIT -= 1;
}

Text72 CURRENT_FILE_NAME() {
    const auto it = file_on_unit.find(INPUT.INPUT_UNIT);
    return it == file_on_unit.end() ? INPUT.DATA_FILE_NAME : it->second;
}

void RDCMNT() {
    for (;;) {
        std::string record;
        const ReadStatus st = unit_read_line(INPUT.INPUT_UNIT, record);
        if (st == ReadStatus::End) {
            INPUT.DATA_FILE_NAME = CURRENT_FILE_NAME();
            write_list(UNIT_CONSOLE_OUT, {"End_Of_File while reading data file ", INPUT.DATA_FILE_NAME});
            ABORT_RUN("RDCMNT", 1);
        }
        if (st == ReadStatus::Error) {
            write_list(UNIT_CONSOLE_OUT, {"Error Reading Unit# ", INPUT.INPUT_UNIT});
            write_list(UNIT_CONSOLE_OUT,
                       {"Likely file names are: ", INPUT.DATA_FILE_NAME, INPUT.MAP_FILE_NAME});
            ABORT_RUN("RDCMNT", 1);
        }
        const Text72 line = as_line(record);
        if (is_true(INPUT.echo)) write_list(UNIT_CONSOLE_OUT, {line});
        INPUT.DATA_LINE = line;
        const Text72 token = FIRST_TOKEN(line);

        if (token == "ENDPAGE" || token == "ENDPAGE:") {
            INPUT.SECTION_KEY = "ENDPAGE:";
            CLOSEFILE();
            continue;
        }
        if (token == "ENDCASE" || token == "ENDCASE:") {
            INPUT.SECTION_KEY = "ENDCASE:";
            return;
        }
        if (token.sub(1, 7) == "ENDFILE") {
            INPUT.SECTION_KEY = "ENDFILE:";
            return;
        }
        if (token == "INCLUDE") {
            if (INPUT.SECTION_KEY == "NEXTKEY:") continue;
            INPUT.SECTION_KEY = "INCLUDE:";
            INPUT.DATA_FILE_NAME = INCL_FNAME(line);
            OPENFILE();
            return;
        }
        if (token == "MAP:") {
            INPUT.SECTION_KEY = "MAP:";
            INPUT.DATA_FILE_NAME = SECOND_TOKEN(line);
            return;
        }
        if (is_true(ISKEYLINE(token))) {
            INPUT.SECTION_KEY = token;
            return;
        }
        if (line[0] == 'C' || line[0] == 'c') continue;
        if (token[0] == '!' || token[0] == '/' || token.is_blank()) continue;
        unit_backspace(INPUT.INPUT_UNIT);
        return;
    }
}

void NEXTKEY() {
    INPUT.SECTION_KEY = "NEXTKEY:";
    RDCMNT();
    while (INPUT.SECTION_KEY == "NEXTKEY:") {
        Text72 line;
        const ReadStatus st = READ_DATA_LINE(line);
        if (st == ReadStatus::End) {
            write_list(UNIT_CONSOLE_OUT, {"NEXTKEY: Unexpected End_Of_File"});
            return;
        }
        if (st == ReadStatus::Error) {
            write_list(UNIT_CONSOLE_OUT, {"NEXTKEY: Error while reading data"});
            return;
        }
        RDCMNT();
    }
}

void GOTOSECTION() {
    const Text72 wanted = INPUT.SECTION_KEY;
    INPUT.SECTION_KEY.blank();
    RDCMNT();
    while (!(INPUT.SECTION_KEY == "ENDPAGE:")) {
        if (INPUT.SECTION_KEY == wanted) return;
        NEXTKEY();
    }
    write_list(UNIT_CONSOLE_OUT, {"ERROR: Could not find section: ", wanted});
    ABORT_RUN("GOTOSECTION", 1);
}

void SKIPCMNT(int32_t unit) {
    for (;;) {
        std::string record;
        const ReadStatus st = unit_read_line(unit, record);
        if (st == ReadStatus::End) {
            write_list(UNIT_CONSOLE_OUT, {"SKIPCMNT: Unexpected End_Of_File"});
            return;
        }
        if (st == ReadStatus::Error) {
            write_list(UNIT_CONSOLE_OUT, {"SKIPCMNT: Error while reading data"});
            return;
        }
        const Text72 token = FIRST_TOKEN(as_line(record));
        if (token[0] == '!' || token.is_blank()) continue;
        unit_backspace(unit);
        return;
    }
}
