// The switches of a subsystem that may still switch in the step being
// solved, in switch-list order, gathered once at the start of the step.
// Every other listed switch holds no switching instant (1.5) through the
// step, so the passes and the switch processing need visit only these.
// The list is good while its subsystem's step is being solved and no
// switch has left it; else the routines go through the whole switch list.
#pragma once

#include <cstdint>
#include <vector>

struct PendingSwitches {
    int32_t ss = 0;             // the subsystem whose step is being solved (0: none)
    std::vector<int32_t> list;  // its pending switches
};

extern PendingSwitches PENDING_SWITCHES;

// The pending switches of subsystem ss, or null when they must be found.
inline const std::vector<int32_t>* pending_switches(int32_t ss) {
    return PENDING_SWITCHES.ss == ss && ss != 0 ? &PENDING_SWITCHES.list : nullptr;
}
