// Shared pieces of the link tests: an engine-side Exchange joined to a
// fake front end, and bounded waits.
#pragma once

#include <gtest/gtest.h>

#include <bit>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>

#include "link/exchange.h"
#include "link/flat_layer.h"
#include "link/tests/fake_front_end.h"

namespace link_test {

// Hex bytes, spaced, for readable comparisons: "78 56 34 12".
inline std::string hex(std::string_view bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (unsigned char c : bytes) {
        if (!out.empty()) out += ' ';
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

// Waits (at most a few seconds) until the link has something to read.
inline bool wait_readable(Exchange& x) {
    for (int i = 0; i < 5000; ++i) {
        if (x.IsReadable()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return false;
}

// The engine's end connected to a fake front end that has sent its key.
struct Linked {
    explicit Linked(bool swapped = false, bool send_key = true) : fe(swapped) {
        connected = fe.Port() > 0 && ex.Connect("127.0.0.1", fe.Port()) && fe.Accept(fake_fe::DEFAULT_TIMEOUT_MS, send_key);
    }
    fake_fe::FakeFrontEnd fe;
    Exchange ex;
    bool connected = false;
};

// Makes an Exchange the front end for the length of a test.
struct FrontEndGuard {
    explicit FrontEndGuard(Exchange* x) { set_front_end(x); }
    ~FrontEndGuard() { set_front_end(nullptr); }
};

inline bool little_endian() { return std::endian::native == std::endian::little; }

inline void start_stdout_capture() {
    std::fflush(stdout);
    testing::internal::CaptureStdout();
}

}  // namespace link_test
