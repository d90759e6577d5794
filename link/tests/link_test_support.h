// Tests over the front-end link: an Exchange joined to a fake front end, an
// engine in this process connected to one, and the whole program served by one.
#pragma once

#include <gtest/gtest.h>

#include <bit>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>

#include "engine/engine_reset.h"
#include "engine/run_state.h"
#include "link/exchange.h"
#include "link/flat_layer.h"
#include "link/tests/fake_front_end.h"
#include "link/wire_codes.h"
#include "platform/tests/support/capture.h"
#include "platform/tests/support/run_program.h"

namespace link_test {

using fake_fe::FakeFrontEnd;
using fake_fe::free_loopback_port;
using fake_fe::WireFrame;
using fake_fe::WireWriter;

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

inline bool little_endian() { return std::endian::native == std::endian::little; }

// The engine's end connected to a fake front end that has sent its key.
struct Linked {
    explicit Linked(bool swapped = false, bool send_key = true) : fe(swapped) {
        connected = fe.Port() > 0 && ex.Connect("127.0.0.1", fe.Port()) &&
                    fe.Accept(fake_fe::DEFAULT_TIMEOUT_MS, send_key);
    }
    FakeFrontEnd fe;
    Exchange ex;
    bool connected = false;
};

// A component message record after its code: "id1 id2 level lines text|text",
// with " +N" when N bytes follow its lines.
inline std::string user_record(std::optional<WireFrame> f) {
    if (!f) return "<no record>";
    std::string out;
    for (int k = 0; k < 3; ++k) out += std::to_string(f->Int()) + " ";
    const int32_t lines = f->Int();
    out += std::to_string(lines) + " ";
    for (int32_t k = 0; k < lines; ++k) out += (k ? "|" : "") + f->Str();
    if (!f->AtEnd()) out += " +" + std::to_string(f->Left());
    return out;
}

// A connected engine in this process, its state fresh before and after; the
// fake front end has this machine's byte order (after Link(true), the other).
class LinkedEngine : public testing::Test {
protected:
    void SetUp() override { Link(false); }
    void TearDown() override { Unlink(); }
    void Link(bool swapped) {
        Unlink();
        link_ = std::make_unique<Linked>(swapped);
        ASSERT_TRUE(link_->connected);
        set_front_end(&link_->ex);
        RUN_SEQ.CONNECTED = LTRUE;
    }
    void Unlink() {
        set_front_end(nullptr);
        link_.reset();
        reset_all_engine_state();
    }
    FakeFrontEnd& fe() { return link_->fe; }
    std::string NextUserRecord(int timeout_ms = 5000) { return user_record(fe().Expect(FE_MSG_USER, timeout_ms)); }
    // The items of the next record, which must open with code.
    std::string Next(int32_t code, std::string_view sig, int timeout_ms = 5000) {
        auto f = fe().Expect(code, timeout_ms);
        return f ? f->Items(sig) : "<no record " + std::to_string(code) + ">";
    }
    // Nothing came before a marker sent now.
    void ExpectNothingSent() {
        fe_send_int(0, 99);
        fe_flush(0);
        EXPECT_TRUE(fe().Expect(99, 5000));
    }

    std::unique_ptr<Linked> link_;
};

// The whole program connected to a fake front end that runs script on its
// own thread; every wait on either side is bounded.
struct ServedRun {
    ProgramResult result;
    bool script_ended = false;
};
inline ServedRun run_served(FakeFrontEnd& fe, std::function<void(FakeFrontEnd&)> script, const std::string& workdir,
                            int timeout_ms = 10000) {
    ServedRun run;
    fe.Run(std::move(script));
    run.result = run_program({bare_program(), "-v4", "127.0.0.1", std::to_string(fe.Port())}, "", workdir, timeout_ms);
    run.script_ended = fe.Join(timeout_ms);
    return run;
}

}  // namespace link_test
