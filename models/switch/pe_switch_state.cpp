// The device logic shared by every form of the power-electronic switch.
#include "models/switch/pe_switch_state.h"

#include <cmath>
#include <string>

#include "controls/branch_voltage.h"
#include "engine/abort.h"
#include "engine/pointer_block.h"
#include "engine/storage.h"
#include "models/switch/pe_switch.h"
#include "network/switch_records.h"
#include "network/switch_state.h"
#include "platform/text_units.h"

namespace pe_switch {

namespace {

void warn_pair(const char* what, int32_t b, int32_t s) {
    USERWARN(CURRENT_IDS.id1, CURRENT_IDS.id2, 2, std::string(what) + " break down of PESwitch in ");
    USERWARN(CURRENT_IDS.id1, CURRENT_IDS.id2, -1,
             "branch " + std::to_string(b) + " of subsystem " + std::to_string(s));
}

}  // namespace

void no_record(int32_t p) {
    USERMSG(0, 0, 2, 1, "No power-electronic switch record fits at STORI(" + std::to_string(p) + ").");
    ABORT_RUN("PESWITCH_STATE", 0);
}

void record_outside(int32_t p, int32_t s, int32_t b) {
    switch_record_error(s, b, "has a power-electronic switch record at STORI(" + std::to_string(p) +
                                  ") that points outside the storage.",
                        "PESWITCH_STATE");
}

void reverse_breakdown(int32_t s, int32_t b, double* E, double time, double delt) {
    BRANCH_ON(s, b, 6, 0.0);
    E[kLatched] = 1.0;
    warn_pair("Reverse", b, s);
    E[kTurnOn] = time - delt;
}

void safety_off(int32_t s, int32_t b, double* E, int32_t device, bool interp, double time, double delt) {
    BRANCH_OFF(s, b, 6, 0.0);
    if (interp) {
        E[kTurnOff] = time - delt;
        PESWITCH_SAFEOFF(E[kReports], device - 10, b, s);
    } else {
        E[kTurnOff] = time;
    }
}

void forward_breakdown(int32_t s, int32_t b, double* E, const Logical* L) {
    BRANCH_ON(s, b, 6, 0.0);
    warn_pair("Forward", b, s);
    if (!is_true(L[1])) {
        warn_pair("Permanent", b, s);
        E[kLatched] = 1.0;
    }
}

void decide_checked(const int32_t* h, double* E, const double* F, Logical* L, double instant, Logical event_flag) {
    const int32_t s = h[4], b = h[5];
    const double V = BRANCH_VOLTAGE(s, b);
    decide(BranchWordsChecked{b, s}, h, E, F, L, V, instant, event_flag);
}

}  // namespace pe_switch

void PESWITCH_STATE(double instant, Logical event_flag) {
    pe_switch::state_at(POINTER_BLOCK.saved_stori, instant, event_flag);
}

void PESWITCH_SAFEOFF(double& count, int32_t code, int32_t br, int32_t ss) {
    if (!(count < 2.0)) return;
    count += 1.0;
    Text12 label;
    PESWITCH_LABEL(code, label);
    const bool multiple = std::lround(count) != 1;
    write_formatted(UNIT_CONSOLE_OUT,
                    multiple ? R"f((A12, "Safety off: SS# ", I2, "   Br# ", I4, " (Multiple)"))f"
                             : R"((A12, "Safety off: SS# ", I2, "   Br# ", I4))",
                    {label, ss, br});
    const int32_t id1 = CURRENT_IDS.id1, id2 = CURRENT_IDS.id2;
    USERMSG(id1, id2, 0, 2, label.trimmed() + " Safety turn off in branch " + std::to_string(br));
    USERMSG(id1, id2, 0, -1, " of subsystem " + std::to_string(ss) + (multiple ? " [Multiple]" : ""));
}
