// Test support: the engine in this process connected to a fake front end,
// with the engine's state fresh before and after each test; and the whole
// program run against a fake front end that serves it on its own thread.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "controls/meter_tables.h"
#include "engine/engine_reset.h"
#include "engine/frontend_setup.h"
#include "engine/run_state.h"
#include "link/flat_layer.h"
#include "link/tests/fake_front_end.h"
#include "link/tests/link_test_support.h"
#include "platform/tests/support/run_program.h"
#include "platform/text_units.h"

namespace linked_engine {

inline void reset_engine() {
    reset_all_engine_state();
    METER_TABLES = {};
    ONLINE_SETUP = {};
}

// A connected engine: the front-end link of the flat layer is an Exchange
// joined to a fake front end (of this machine's byte order, or the other).
class LinkedEngine : public testing::Test {
protected:
    void SetUp() override { Link(false); }
    void TearDown() override {
        set_front_end(nullptr);
        link_.reset();
        reset_engine();
    }
    void Link(bool swapped) {
        set_front_end(nullptr);
        link_.reset();
        reset_engine();
        link_ = std::make_unique<link_test::Linked>(swapped);
        ASSERT_TRUE(link_->connected);
        set_front_end(&link_->ex);
        RUN_SEQ.CONNECTED = LTRUE;
    }
    fake_fe::FakeFrontEnd& fe() { return link_->fe; }

    std::unique_ptr<link_test::Linked> link_;
};

// Console output of a piece of engine code.
template <class F>
std::string console_of(F f) {
    console_flush();
    std::fflush(stdout);
    testing::internal::CaptureStdout();
    f();
    console_flush();
    std::fflush(stdout);
    return testing::internal::GetCapturedStdout();
}

inline const std::string& bare_program() {
    static const std::string path = std::string(ZARIK_BINARY_DIR) + "/zarik-bare";
    return path;
}

// The lines of a text, each without its line end.
inline std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> out;
    size_t at = 0;
    while (at < text.size()) {
        const size_t nl = text.find('\n', at);
        if (nl == std::string::npos) {
            out.push_back(text.substr(at));
            break;
        }
        out.push_back(text.substr(at, nl - at));
        at = nl + 1;
    }
    return out;
}

// The program connected to a fake front end that runs script on its own
// thread; every wait on either side is bounded.
struct ServedRun {
    ProgramResult result;
    bool script_ended = false;
};

inline ServedRun run_served(fake_fe::FakeFrontEnd& fe, std::function<void(fake_fe::FakeFrontEnd&)> script,
                            const std::string& workdir, int timeout_ms = 10000) {
    ServedRun run;
    fe.Run(std::move(script));
    run.result = run_program({bare_program(), "-v4", "127.0.0.1", std::to_string(fe.Port())}, "", workdir,
                             timeout_ms);
    run.script_ended = fe.Join(timeout_ms);
    return run;
}

}  // namespace linked_engine
