// Test support: what engine code writes on standard output and whether it
// stopped the run; the abort frame; helpers for console text.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "engine/engine_stop.h"
#include "platform/text_units.h"

struct Captured {
    std::string out;
    bool aborted = false;  // the call stopped the run ...
    int32_t status = 0;    // ... with this status
    std::string err;       // when asked for
};

// Runs f with standard output (and, when asked, standard error) captured;
// a stopped run is noted, not thrown.
inline Captured capture(const std::function<void()>& f, bool with_stderr = false) {
    Captured c;
    console_flush();
    std::fflush(stdout);
    testing::internal::CaptureStdout();
    if (with_stderr) testing::internal::CaptureStderr();
    try {
        f();
    } catch (const EngineStop& stop) {
        c.aborted = true;
        c.status = stop.status;
    }
    console_flush();
    std::fflush(stdout);
    if (with_stderr) c.err = testing::internal::GetCapturedStderr();
    c.out = testing::internal::GetCapturedStdout();
    return c;
}

// The frame that ABORT_RUN prints for a routine in mode 0.
inline std::string abort_frame(const std::string& routine) {
    std::string name = routine;
    name.resize(12, ' ');
    return " =========================================================\n"
           " ERROR: Abnormal termination of ZARIK by " + name + "\n"
           " =========================================================\n"
           " \n";
}

inline size_t count_of(const std::string& text, const std::string& piece) {
    size_t n = 0;
    for (size_t at = text.find(piece); at != std::string::npos; at = text.find(piece, at + 1)) ++n;
    return n;
}

inline bool contains(const std::string& text, const std::string& piece) {
    return text.find(piece) != std::string::npos;
}

inline bool ends_with(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

// The lines of a text, each without its line end.
inline std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> out;
    for (size_t at = 0; at < text.size();) {
        const size_t nl = text.find('\n', at);
        out.push_back(text.substr(at, nl == std::string::npos ? std::string::npos : nl - at));
        if (nl == std::string::npos) break;
        at = nl + 1;
    }
    return out;
}

// A snapshot's labelled blocks `first` and `second` (each its label line and
// the lines up to the next label), `first` the earlier, exchanged whole.
inline std::string swapped_blocks(const std::string& text, const std::string& first, const std::string& second) {
    const auto block = [&text](const std::string& label) {
        const size_t at = text.find("\n" + label + "\n") + 1;
        return std::pair{at, text.find("\n !", at) + 1};
    };
    const auto [a, a_end] = block(first);
    const auto [b, b_end] = block(second);
    return text.substr(0, a) + text.substr(b, b_end - b) + text.substr(a_end, b - a_end) + text.substr(a, a_end - a) +
           text.substr(b_end);
}
