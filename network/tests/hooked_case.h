// The stand-in case of the network tests: the empty top module, which
// also runs whatever a test installs in its four routines.
#pragma once

#include <functional>

struct HookedCase {
    std::function<void()> on_dsd, on_dso, on_dsd_begin, on_dso_begin;
    void reset() { *this = HookedCase{}; }
};

extern HookedCase HOOKED_CASE;
