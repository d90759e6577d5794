// Test support for the reads on numbered units: the files they read, ops
// on a unit spelled as the gfortran oracle spells them (L reads a record,
// B backspaces, W rewinds; ops are separated by ';'), and the oracle's
// case files with its results (platform/tests/oracle/read_oracle.md).
#pragma once

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "platform/text_units.h"

inline const char* status_text(ReadStatus s) {
    switch (s) {
        case ReadStatus::Ok: return "Ok";
        case ReadStatus::End: return "End";
        case ReadStatus::Error: return "Error";
    }
    return "?";
}

// One record op on a unit and its outcome: "Ok [text]", "End", "B", "W";
// an empty string for an op that is none of these.
inline std::string unit_op(int unit, std::string_view op) {
    if (op == "B") {
        unit_backspace(unit);
        return "B";
    }
    if (op == "W") {
        unit_rewind(unit);
        return "W";
    }
    if (op != "L") return "";
    std::string line;
    const ReadStatus st = unit_read_line(unit, line);
    return st == ReadStatus::Ok ? "Ok [" + line + "]" : status_text(st);
}

// Each op in turn, the outcomes joined by " | ".
inline std::string run_ops(std::string_view ops, const std::function<std::string(std::string_view)>& one) {
    std::string out;
    for (;;) {
        const size_t k = ops.find(';');
        if (!out.empty()) out += " | ";
        out += one(ops.substr(0, k));
        if (k == std::string_view::npos) return out;
        ops.remove_prefix(k + 1);
    }
}

inline std::string write_file(const std::string& path, std::string_view content) {
    std::ofstream(path, std::ios::binary) << content;
    return path;
}
inline std::string read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// One case: "K OPS |INPUT| => RESULT" under the last "## group" line.
struct OracleCase {
    std::string group, kind, ops, input, expected;
};

// The cases of a case file of platform/tests/oracle/.
inline std::vector<OracleCase> oracle_cases(const std::string& file) {
    // The text of a C-escaped piece (\n \r \t \" \\).
    const auto unescape = [](std::string_view s) {
        std::string out;
        for (size_t i = 0; i < s.size(); ++i) {
            const char c = s[i] == '\\' && i + 1 < s.size() ? s[++i] : '\0';
            out += c == '\0' ? s[i] : c == 'n' ? '\n' : c == 'r' ? '\r' : c == 't' ? '\t' : c;
        }
        return out;
    };
    std::vector<OracleCase> out;
    std::ifstream in(std::string(ZARIK_SOURCE_DIR) + "/platform/tests/oracle/" + file);
    std::string group, line;
    while (std::getline(in, line)) {
        if (line.rfind("## ", 0) == 0) group = line.substr(3);
        if (line.empty() || line[0] == '#') continue;
        const size_t bar = line.find('|'), arrow = line.find("| => ");
        if (bar == std::string::npos || arrow == std::string::npos || arrow <= bar) {
            ADD_FAILURE() << file << ": no case in \"" << line << "\"";
            continue;
        }
        std::string ops = line.substr(1, bar - 1);
        ops.erase(0, ops.find_first_not_of(' '));
        ops.erase(ops.find_last_not_of(' ') + 1);
        out.push_back({group, line.substr(0, 1), ops, unescape(line.substr(bar + 1, arrow - bar - 1)),
                       unescape(line.substr(arrow + 5))});
    }
    EXPECT_FALSE(out.empty()) << file;
    return out;
}
