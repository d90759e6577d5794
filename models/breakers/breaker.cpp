#include "models/breakers/breaker.h"

#include <cmath>

#include "engine/abort.h"
#include "engine/model_helpers.h"
#include "engine/pointer_block.h"
#include "engine/run_state.h"
#include "engine/storage.h"
#include "network/branch_words.h"
#include "network/network_tables.h"
#include "network/switch_state.h"
#include "platform/text_units.h"

namespace {

constexpr int32_t kRest = 6, kArmedPositive = -13, kArmedNegative = 13;
constexpr double kSmallestOn = 1e-12;

enum class Form { Plain, Six, Safety };

const Text12 kName("BREAKER");

// The snapshot's stored conductance of the state the branch is not in,
// from this call's resistances.
void refresh(int32_t s, int32_t b, double ron, double roff, Form form) {
    NetworkTables& N = NET;
    if (ron < roff) {
        if (is_true(N.OPENBR(b, s)))
            N.GON(b, s) = std::fabs(ron) < 1.0 / N.GIDEAL(s) ? 0.0 : 1.0 / ron;
        else
            N.GOFF(b, s) = 1.0 / roff;
        return;
    }
    if (form == Form::Plain) {
        USERWARN(CURRENT_IDS.id1, CURRENT_IDS.id2, 1,
                 "OFF resistance of switch must be larger than ON resistance, Proceeding with original values.");
    } else {
        write_list(UNIT_CONSOLE_OUT, {"OFF resistance of switch must be larger than ON res."});
        write_list(UNIT_CONSOLE_OUT, {"Proceeding with original values."});
    }
}

void safety_notice(int32_t s, int32_t b) {
    if (!is_true(NET.SSINTERP(s))) return;
    write_list(UNIT_CONSOLE_OUT,
               {"BREAKER:Safety turnoff at nodes:", NET.IEF(b, s), NET.IET(b, s), "ss:", s});
}

// A closed branch whose current is past its level is armed, to open once
// the current is back within it; false when the current is within it.
template <class Words>
[[gnu::always_inline]] inline bool arm(const Words& W, double i, double I, Form form) {
    if (i > I) {
        W.code() = kArmedPositive;
        if (form != Form::Safety) W.swval() = I;
        return true;
    }
    if (i < -I) {
        W.code() = kArmedNegative;
        if (form != Form::Safety) W.swval() = -I;
        return true;
    }
    return false;
}

template <class Words>
[[gnu::always_inline]] inline void set_resistance(const Words& W, bool open, double ron, double roff) {
    if (open)
        W.resistance() = roff;
    else
        W.resistance() = ron <= kSmallestOn ? kSmallestOn : ron;
}

// What a step does with the branch, from its state, code and current:
// the acts from On on switch it.
enum class Act { Rest, Arm, Keep, On, OffArmed, Off };

[[gnu::always_inline]] inline Act act(bool open, int32_t k, double i, double I, int32_t at_once, int32_t close,
                                      Form form) {
    if (open) return close == 1 ? Act::On : Act::Rest;
    if ((k == kArmedNegative && i >= -I) || (k == kArmedPositive && i <= I)) return Act::OffArmed;
    if (close != 0) return Act::Rest;
    if (at_once != 0) return Act::Off;
    if (i > I || i < -I) return Act::Arm;
    return form == Form::Safety ? Act::Keep : Act::Off;
}

template <class Words>
[[gnu::always_inline]] inline void decide(const Words& W, int32_t s, int32_t b, double ron, double roff, double I,
                                          int32_t at_once, int32_t close, Form form) {
    const double i = W.cbr();
    const Act a = act(is_true(W.open()), W.code(), i, I, at_once, close, form);
    W.tswitch() = 1.5;
    switch (a) {
        case Act::Rest: W.code() = kRest; break;
        case Act::Arm: arm(W, i, I, form); break;
        case Act::Keep: break;
        case Act::On:
            W.code() = kRest;
            BRANCH_ON(s, b, kRest, 0.0);
            break;
        case Act::OffArmed:
            if (form == Form::Safety) safety_notice(s, b);
            BRANCH_OFF(s, b, kRest, I);
            break;
        case Act::Off: BRANCH_OFF(s, b, kRest, I); break;
    }
    set_resistance(W, is_true(W.open()), ron, roff);
}

// The first steps' checks and refreshes, out of the common path.
[[gnu::noinline]] void first_steps(int32_t s, int32_t br, double ron, double roff, Form form) {
    const RunFlags& F = RUN_FLAGS;
    NetworkTables& N = NET;
    if (is_true(F.FIRST_STEP_DATA)) CHK_SWITCH_R(s, br, ron, roff, 0.0, 0.0, kName);
    if (!N.OPENBR.in_range(std::abs(int64_t{br}), s)) CHKBRANCH(kName, br, s);
    if (is_true(F.FIRST_STEP_RUN) && !is_true(F.FIRST_STEP_DATA) && form != Form::Safety)
        refresh(s, std::abs(br), ron, roff, form);
}

// A branch outside the tables, through their checks, out of the common path.
[[gnu::noinline]] void decide_checked(int32_t s, int32_t b, double ron, double roff, double I, int32_t at_once,
                                      int32_t close, Form form) {
    decide(BranchWordsChecked{b, s}, s, b, ron, roff, I, at_once, close, form);
}

// The step through every path, out of line: the first steps, a branch
// outside the tables, and a step that switches the branch.
template <Form form>
[[gnu::noinline]] void breaker_step_full(int32_t s, int32_t br, double ron, double roff, double level, int32_t at_once,
                                         int32_t close);

// Inlined into each form's routine, whose form it then knows: a step that
// only keeps or arms the branch, which calls nothing; the others take the
// full step.
template <Form form>
[[gnu::always_inline]] inline void breaker_step(int32_t s, int32_t br, double ron, double roff, double level,
                                                int32_t at_once, int32_t close) {
    const NetworkTables& N = NET;
    const RunFlags& F = RUN_FLAGS;
    const int64_t b = std::abs(int64_t{br});
    if (is_true(F.FIRST_STEP_DATA) || is_true(F.FIRST_STEP_RUN) || !N.OPENBR.in_range(b, s)) [[unlikely]]
        return breaker_step_full<form>(s, br, ron, roff, level, at_once, close);
    const BranchWordsAt W{N.OPENBR.offset(b, s)};
    const double i = W.cbr();
    const bool open = is_true(W.open());
    const Act a = act(open, W.code(), i, level, at_once, close, form);
    if (a >= Act::On) return breaker_step_full<form>(s, br, ron, roff, level, at_once, close);
    W.tswitch() = 1.5;
    if (a == Act::Rest)
        W.code() = kRest;
    else if (a == Act::Arm)
        arm(W, i, level, form);
    set_resistance(W, open, ron, roff);
}

template <Form form>
void breaker_step_full(int32_t s, int32_t br, double ron, double roff, double level, int32_t at_once,
                       int32_t close) {
    NetworkTables& N = NET;
    const RunFlags& F = RUN_FLAGS;
    // A negative number addresses the same branch once the first step has
    // passed; one without a positive is no branch at all.
    const bool known = N.OPENBR.in_range(std::abs(int64_t{br}), s);
    if (is_true(F.FIRST_STEP_DATA) || is_true(F.FIRST_STEP_RUN) || !known) [[unlikely]]
        first_steps(s, br, ron, roff, form);
    const int32_t b = std::abs(br);
    if (known)
        decide(BranchWordsAt{N.OPENBR.offset(b, s)}, s, b, ron, roff, level, at_once, close, form);
    else
        decide_checked(s, b, ron, roff, level, at_once, close, form);
}

}  // namespace

void BREAKER(int32_t ss, int32_t br, double ron, double roff, double chop, int32_t at_once, int32_t close) {
    breaker_step<Form::Plain>(ss, br, ron, roff, std::fabs(chop), at_once, close);
}

void BREAKER6(int32_t ss, int32_t br, double ron, double roff, int32_t at_once, int32_t close) {
    PointerBlock& P = POINTER_BLOCK;
    const double level = STORAGE.RTCF(P.NRTCF);
    P.NRTCF += 1;
    breaker_step<Form::Six>(ss, br, ron, roff, level, at_once, close);
}

void BREAKER1(double ron, double roff, double chop) {
    if (ron >= roff) {
        USERMSG(CURRENT_IDS.id1, CURRENT_IDS.id2, 2, 1, "Open resistance must be greater than closed resistance");
        ABORT_RUN("BREAKER1    ", 0);
    }
    PointerBlock& P = POINTER_BLOCK;
    STORAGE.RTCF(P.NRTCF) = std::fabs(chop);
    P.NRTCF += 1;
}

void BREAKER_SAFETY(int32_t ss, int32_t br, double ron, double roff, int32_t at_once, int32_t close) {
    breaker_step<Form::Safety>(ss, br, ron, roff, 0.0, at_once, close);
}

void PREINS_CHECK(double ron, double roff, double rpre, const Text12& name) {
    if (ron < rpre && rpre < roff) return;
    USERMSG(CURRENT_IDS.id1, CURRENT_IDS.id2, 2, 1, "Pre-insertion resistance must be between ON and OFF resistances");
    ABORT_RUN(name, 0);
}
