#include "platform/text_units.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <deque>
#include <limits>
#include <map>
#include <vector>

namespace {

// An input file is read a record at a time as the reads ask for them. Only
// the starts of the last records read are kept, so that the memory does not
// grow with the file: BACKSPACE beyond them looks back in the file for the
// line end before, REWIND seeks to the start.
struct Unit {
    bool input = false;
    std::string path;
    std::FILE* in = nullptr;
    size_t next = 0;             // records before the position
    std::deque<int64_t> starts;  // starts of the records up to the next one, which is last
    // The record that could not be read: so is every later one.
    size_t failed_at = std::numeric_limits<size_t>::max();
    std::FILE* out = nullptr;
};

// Enough for the look-aheads over a few comment lines; a deeper
// BACKSPACE reads the file backwards for more.
constexpr size_t kKeptStarts = 256;
constexpr size_t kLookBackBlock = 4096;

std::map<int, Unit>& units() {
    static std::map<int, Unit> u;
    return u;
}

Unit* find_unit(int unit) {
    auto it = units().find(unit);
    return it == units().end() ? nullptr : &it->second;
}

bool is_console(int unit) { return unit == UNIT_CONSOLE_IN || unit == UNIT_CONSOLE_OUT; }

void close_streams(Unit& u) {
    if (u.in) std::fclose(u.in);
    if (u.out) std::fclose(u.out);
    u.in = u.out = nullptr;
}

ReadStatus too_long(const std::string& where, size_t number) {
    write_list(UNIT_CONSOLE_OUT, {"ERROR: Line " + std::to_string(number) + " of " + where + " is longer than " +
                                      std::to_string(UNIT_RECORD_MAX) + " characters"});
    return ReadStatus::Error;
}

// The next record of a stream, up to its LF; one CR before the LF (or at
// the very end) is dropped, and a last line without its LF is still a
// record. A record beyond the cap is reported on the console, naming
// where it stands, and read as an error: an endless input (a device, a
// file without line ends) must not fill the memory. taken counts the bytes
// read.
ReadStatus read_record(std::FILE* f, std::string& line, const std::string& where, size_t number,
                       int64_t& taken) {
    line.clear();
    taken = 0;
    for (int c; (c = getc_unlocked(f)) != EOF;) {
        ++taken;
        if (c == '\n') break;
        // One character beyond the cap is room for a CR before the LF.
        if (line.size() > UNIT_RECORD_MAX) return too_long(where, number);
        line.push_back(static_cast<char>(c));
    }
    if (std::ferror(f)) {
        std::clearerr(f);
        return ReadStatus::Error;
    }
    if (taken == 0) return ReadStatus::End;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.size() > UNIT_RECORD_MAX) return too_long(where, number);
    return ReadStatus::Ok;
}

// Splits text into records at LF, as read_record does.
std::vector<std::string> split_records(std::string_view text) {
    std::vector<std::string> records;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        const size_t stop = end == std::string_view::npos ? text.size() : end;
        std::string_view rec = text.substr(start, stop - start);
        if (!rec.empty() && rec.back() == '\r') rec.remove_suffix(1);
        records.emplace_back(rec);
        if (end == std::string_view::npos) break;
        start = end + 1;
    }
    return records;
}

// Console input: standard input read line by line, or a test's text; the
// last record is kept so that one BACKSPACE can give it back.
struct ConsoleIn {
    bool from_text = false;
    std::vector<std::string> records;
    size_t next = 0;
    size_t lines_read = 0;
    std::string last;
    bool have_last = false;
    bool pushed_back = false;
};

ConsoleIn& console_in() {
    static ConsoleIn c;
    return c;
}

ReadStatus console_read(std::string& line) {
    ConsoleIn& c = console_in();
    if (c.pushed_back) {
        c.pushed_back = false;
        line = c.last;
        return ReadStatus::Ok;
    }
    console_flush();
    ReadStatus st;
    if (c.from_text) {
        st = c.next < c.records.size() ? ReadStatus::Ok : ReadStatus::End;
        if (st == ReadStatus::Ok) line = c.records[c.next++];
    } else {
        int64_t taken = 0;
        st = read_record(stdin, line, "standard input", ++c.lines_read, taken);
    }
    if (st == ReadStatus::Ok) {
        c.last = line;
        c.have_last = true;
    }
    return st;
}

// Opens a regular file for reading. Anything else is refused, and before
// it is opened: a FIFO without a writer would wait for one, and a device
// or a pipe may never end or cannot be read back. The open does not wait
// either, should the name have changed in between.
std::FILE* open_regular_file(const std::string& path) {
    struct stat st {};
    if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return nullptr;
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return nullptr;
    std::FILE* f = fstat(fd, &st) == 0 && S_ISREG(st.st_mode) ? fdopen(fd, "rb") : nullptr;
    if (!f) close(fd);
    return f;
}

void seek_to(Unit& u, int64_t offset) {
    if (fseeko(u.in, offset, SEEK_SET) != 0) u.failed_at = u.next;
}

// Finds the starts of up to kKeptStarts records before the first start
// kept, nearest first, reading the file backwards from there: a record
// starts after the line end before it, or at the start of the file.
// False when the file cannot be read there.
bool look_back(Unit& u) {
    size_t wanted = std::min(kKeptStarts, u.next - (u.starts.size() - 1));
    // The record before ends at first - 1: its LF, or its last character
    // at the end of a file without a last LF.
    int64_t end = u.starts.front() - 1;
    std::vector<char> block(kLookBackBlock);
    const int fd = fileno(u.in);
    while (wanted > 0) {
        const int64_t from = std::max<int64_t>(0, end - static_cast<int64_t>(block.size()));
        const size_t size = static_cast<size_t>(end - from);
        if (size > 0 && pread(fd, block.data(), size, from) != static_cast<ssize_t>(size)) return false;
        for (size_t i = size; i-- > 0 && wanted > 0;) {
            if (block[i] != '\n') continue;
            u.starts.push_front(from + static_cast<int64_t>(i) + 1);
            --wanted;
        }
        if (from == 0 && wanted > 0) {
            u.starts.push_front(0);
            break;
        }
        end = from;
    }
    return u.starts.size() > 1;
}

std::FILE* output_stream(int unit) {
    if (unit == UNIT_CONSOLE_OUT) return stdout;
    Unit* u = find_unit(unit);
    return u && !u->input ? u->out : nullptr;
}

}  // namespace

bool unit_open(int unit, const std::string& path, UnitMode mode) {
    if (is_console(unit) || find_unit(unit)) return false;
    Unit u;
    if (mode == UnitMode::Read) {
        u.in = open_regular_file(path);
        if (!u.in) return false;
        u.input = true;
        u.path = path;
        u.starts.push_back(0);
    } else {
        u.out = std::fopen(path.c_str(), mode == UnitMode::Write ? "w" : "a");
        if (!u.out) return false;
    }
    units().emplace(unit, std::move(u));
    return true;
}

bool unit_open_new(int unit, const std::string& path) {
    if (is_console(unit) || find_unit(unit)) return false;
    Unit u;
    u.out = std::fopen(path.c_str(), "wx");
    if (!u.out) return false;
    units().emplace(unit, std::move(u));
    return true;
}

bool unit_close(int unit) {
    auto it = units().find(unit);
    if (it == units().end()) return true;
    bool ok = true;
    if (it->second.out) {
        ok = !std::ferror(it->second.out);
        ok = std::fclose(it->second.out) == 0 && ok;
        it->second.out = nullptr;
    }
    close_streams(it->second);
    units().erase(it);
    return ok;
}

bool unit_renumber(int from, int to) {
    if (is_console(from) || is_console(to) || find_unit(to)) return false;
    auto it = units().find(from);
    if (it == units().end()) return false;
    Unit u = std::move(it->second);
    units().erase(it);
    units().emplace(to, std::move(u));
    return true;
}

bool unit_is_open(int unit) { return is_console(unit) || find_unit(unit) != nullptr; }

void close_all_units() {
    for (auto& [number, u] : units()) close_streams(u);
    units().clear();
    console_flush();
}

ReadStatus unit_read_line(int unit, std::string& line) {
    if (unit == UNIT_CONSOLE_IN) return console_read(line);
    Unit* u = find_unit(unit);
    if (!u || !u->input) return ReadStatus::Error;
    if (u->next >= u->failed_at) return ReadStatus::Error;
    int64_t taken = 0;
    const ReadStatus st = read_record(u->in, line, u->path, u->next + 1, taken);
    if (st == ReadStatus::Error) u->failed_at = u->next;
    if (st != ReadStatus::Ok) return st;
    ++u->next;
    u->starts.push_back(u->starts.back() + taken);
    if (u->starts.size() > kKeptStarts) u->starts.pop_front();
    return ReadStatus::Ok;
}

void unit_backspace(int unit) {
    if (unit == UNIT_CONSOLE_IN) {
        ConsoleIn& c = console_in();
        if (c.have_last) c.pushed_back = true;
        return;
    }
    Unit* u = find_unit(unit);
    if (!u || !u->input || u->next == 0) return;
    if (u->starts.size() == 1 && !look_back(*u)) {
        // The file no longer holds what was read: nothing more can be.
        u->failed_at = 0;
        return;
    }
    u->starts.pop_back();
    --u->next;
    seek_to(*u, u->starts.back());
}

int64_t unit_file_size(int unit) {
    const Unit* u = find_unit(unit);
    struct stat st {};
    if (!u || !u->in || fstat(fileno(u->in), &st) != 0 || !S_ISREG(st.st_mode)) return -1;
    return static_cast<int64_t>(st.st_size);
}

void unit_rewind(int unit) {
    Unit* u = find_unit(unit);
    if (!u || !u->input) return;
    u->next = 0;
    u->starts.assign(1, 0);
    seek_to(*u, 0);
}

bool unit_write_raw(int unit, std::string_view text) {
    std::FILE* f = output_stream(unit);
    if (!f) return false;
    if (!text.empty()) std::fwrite(text.data(), 1, text.size(), f);
    return !std::ferror(f);
}

bool unit_write_line(int unit, std::string_view record) {
    std::FILE* f = output_stream(unit);
    if (!f) return false;
    if (!record.empty()) std::fwrite(record.data(), 1, record.size(), f);
    std::fputc('\n', f);
    return !std::ferror(f);
}

bool unit_flush(int unit) {
    std::FILE* f = output_stream(unit);
    if (!f) return false;
    return std::fflush(f) == 0 && !std::ferror(f);
}

void write_formatted(int unit, std::string_view format, FValues values) {
    unit_write_raw(unit, format_fortran(format, values));
}

void write_list(int unit, FValues values) { unit_write_raw(unit, format_list(values)); }

void console_flush() { std::fflush(stdout); }

void console_input_from_text(std::string_view text) {
    ConsoleIn& c = console_in();
    c = ConsoleIn{};
    c.from_text = true;
    c.records = split_records(text);
}

void console_input_from_stdin() { console_in() = ConsoleIn{}; }
