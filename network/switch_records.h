// The records of the components that own switched branches, as the switch
// processing and the switching-instant search read them: the
// power-electronic switch record, an arrester's characteristic and a
// segmented inductance's record. Their positions come from models or a
// snapshot, so each is checked against its storage array first; a bad one
// stops the run under the caller's name.
#pragma once

#include <cstdint>
#include <string>

// The device code of the record that THISBR names when it is positive
// (10 to 19 for a power-electronic switch), else 0.
int32_t switch_device_code(int32_t ss, int32_t br, const char* routine);

// A power-electronic switch's positions: its thresholds at STORF(f + 1)
// (closed state) and STORF(f + 2) (open state), its times of the last
// closing and opening at STOR(s + 10) and STOR(s + 11).
struct PeSwitchRecord {
    int32_t f = 0, s = 0;
};
PeSwitchRecord pe_switch_record(int32_t ss, int32_t br, const char* routine);

// An arrester's characteristic of n straight segments in STOR after
// position base: slope conductances, EMF magnitudes, then the n + 1
// ascending magnitude breakpoints.
struct ArresterTable {
    int32_t base = 0, n = 0;
    double conductance(int32_t segment) const;
    double emf(int32_t segment) const;
    double breakpoint(int32_t i) const;  // i = 1 .. n + 1
};
ArresterTable arrester_table(int32_t ss, int32_t br, const char* routine);

// A segmented inductance's record in RTCI at q: its table T(0) ... in RTCF
// from position t (breakpoints T(0 .. m), inductances T(m + 1 + |s|), the
// time of the last change T(3m + 1)), its m segments, present segment,
// requested step and partner branch (0: none).
struct SegmentedInductance {
    int32_t q = 0, t = 0, m = 0, partner = 0;
    double T(int32_t i) const;
    int32_t& segment() const;
    int32_t& step() const;
};
SegmentedInductance segmented_inductance(int32_t ss, int32_t br, const char* routine);

// Stops the run: switched branch br of subsystem ss, and what is wrong.
[[noreturn]] void switch_record_error(int32_t ss, int32_t br, const std::string& what, const char* routine);
