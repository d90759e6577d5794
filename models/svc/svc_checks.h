// The data checks that both compensator forms share: each failed check is
// one error line, and the run stops once after all of them.
#pragma once

#include <initializer_list>

#include "platform/fixed_text.h"

constexpr const char* SVC_BAD_RATINGS = "Unrealistic SVC ratings";
constexpr const char* SVC_BAD_STAGES = "Unrealistic number of capacitor stages";
constexpr const char* SVC_BAD_VALVES = "Unrealistic SVC valve, snubber or capacitor data";
constexpr const char* SVC_BAD_SATURATION = "Unrealistic SVC saturation data";

struct SvcChecks {
    bool failed = false;
    void refuse(bool bad, const char* text);
    void stop_if_failed(const Text12& name) const;
};

// Every value above 0 (a value that is not a number is not).
bool svc_positive(std::initializer_list<double> values);
// The reduced winding inductances cannot be inverted: stops the run.
[[noreturn]] void svc_leakage_unrealisable(const Text12& name);
