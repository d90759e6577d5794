#include "network/switch_processing.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>

#include "controls/branch_voltage.h"
#include "engine/abort.h"
#include "engine/model_helpers.h"
#include "engine/run_state.h"
#include "engine/storage.h"
#include "network/branch_plan.h"
#include "network/network_tables.h"
#include "network/pending_switches.h"
#include "network/solution_hooks.h"
#include "network/switch_records.h"
#include "network/switch_state.h"
#include "platform/fixed_text.h"
#include "platform/fortran_format.h"

namespace {

const char* const kRoutine = "SWITCHBR";

std::string number(int64_t i) { return std::to_string(i); }

std::string segment_text(double x) {
    if (std::isnan(x)) return "NaN";
    if (!(std::fabs(x) < 1e15)) return x < 0.0 ? "-Infinity" : "Infinity";
    return number(std::llround(x));
}

std::string time_text() { return std::string(trim_right(edit("G23.16", NET.TIME_SOL))); }

void pe_limit_message(int32_t ss, int32_t br) {
    USERMSG(0, 0, 0, 2, "Power Electronic Switch in branch " + INT2TXT(br).trimmed() + " of subsystem ");
    USERMSG(0, 0, 0, -1, INT2TXT(ss).trimmed() + " reached maximum number of switching in one time step.");
}

void arrester_message(int32_t ss, int32_t br, const char* what) {
    USERMSG(0, 0, 0, 3, "Arrester in branch " + INT2TXT(br).trimmed() + " of subsystem ");
    USERMSG(0, 0, 0, 0, INT2TXT(ss).trimmed() + what);
    USERMSG(0, 0, 0, -1, "at time " + time_text());
}

void plain_switch(int32_t ss, int32_t br) {
    if (is_true(NET.OPENBR(br, ss)))
        BRANCH_ON(ss, br, 6, 0.0);
    else
        BRANCH_OFF(ss, br, 6, 0.0);
}

void pe_switch(int32_t ss, int32_t br, int32_t device) {
    NetworkTables& N = NET;
    StorageArrays& S = STORAGE;
    const PeSwitchRecord r = pe_switch_record(ss, br, kRoutine);
    int32_t& count = N.SWCOUNT(br);
    if (count > INT32_MIN) count -= 1;
    if (count <= 0) {
        N.SWPEND(br) = LFALSE;
        PENDING_SWITCHES.ss = 0;
        pe_limit_message(ss, br);
    }
    if (is_true(N.OPENBR(br, ss))) {
        S.STOR(r.s + 10) = N.TIME_SOL;
        BRANCH_ON(ss, br, -13, S.STORF(r.f + 1));
    } else {
        S.STOR(r.s + 11) = N.TIME_SOL;
        BRANCH_OFF(ss, br, device == 10 ? 3 : 6, S.STORF(r.f + 2));
    }
}

int64_t magnitude(int32_t count) { return std::llabs(int64_t{count}); }

void arrester_step(int32_t ss, int32_t br) {
    NetworkTables& N = NET;
    const ArresterTable a = arrester_table(ss, br, kRoutine);
    const int32_t j = nint(N.EON(br, ss));
    const double next = N.SWVAL(br, ss) + j;
    // The characteristic has segments 0 .. n - 1 and no more.
    if (!(std::fabs(next) <= a.n - 1 + 0.5))
        switch_record_error(ss, br,
                            "asks for arrester segment " + segment_text(next) + " outside its table of " +
                                number(a.n) + " segments.",
                            kRoutine);
    const double v = BRANCH_VOLTAGE(ss, br);
    int32_t& count = N.SWCOUNT(br);
    count_alternation(count, j > 0);
    if (magnitude(count) >= 10) {
        N.SWPEND(br) = LFALSE;
        PENDING_SWITCHES.ss = 0;
        arrester_message(ss, br, " reached maximum number of switching in one time step ");
    } else if (magnitude(count) == 5) {
        arrester_message(ss, br, " had excessive switching in one time step ");
    }
    const int32_t s = nint(std::fabs(next));
    N.GON(br, ss) = a.conductance(s);
    N.EON(br, ss) = v < 0.0 ? a.emf(s) : -a.emf(s);
    BRANCH_ON(ss, br, 5, next);
}

void inductance_step(int32_t ss, int32_t br, double span) {
    NetworkTables& N = NET;
    const SegmentedInductance r = segmented_inductance(ss, br, kRoutine);
    const int64_t s = int64_t{r.segment()} + r.step();
    if (std::llabs(s) > r.m - 1)
        switch_record_error(ss, br,
                            "asks for inductance segment " + number(s) + " outside its table of " + number(r.m) +
                                " segments.",
                            kRoutine);
    int32_t& count = N.SWCOUNT(br);
    count_alternation(count, r.step() > 0);
    if (magnitude(count) == 10) {
        N.SWPEND(br) = LFALSE;
        PENDING_SWITCHES.ss = 0;
    }
    if (s == 0) {
        N.GEQ(br, ss) = 0.0;
    } else {
        const double partner = r.partner > 0 ? N.GEQ(r.partner, ss) : 0.0;
        N.GEQ(br, ss) = 0.5 * RUN_CLOCK.DELT / r.T(r.m + 1 + static_cast<int32_t>(std::llabs(s))) - partner;
    }
    r.segment() = static_cast<int32_t>(s);
    STORAGE.RTCF(r.t + 3 * r.m + 1) = RUN_CLOCK.NSTEP + span;
    SS_MINREQ(ss, N.IEF(br, ss), N.IET(br, ss));
}

// Every call is one switching instant of the subsystem's step; a step that
// takes more than its limit has met a chain of switchings that the
// per-branch limits do not end.
void count_instant(int32_t ss) {
    NetworkTables& N = NET;
    if (N.SW_RUN != RUN_SEQ.IRUN || N.SW_STEP != RUN_CLOCK.NSTEP || N.SW_SUBSYS != ss) {
        N.SW_RUN = RUN_SEQ.IRUN;
        N.SW_STEP = RUN_CLOCK.NSTEP;
        N.SW_SUBSYS = ss;
        N.SW_INSTANTS = 0;
    }
    N.SW_INSTANTS += 1;
    if (N.SW_INSTANTS <= switching_instant_limit(ss)) return;
    USERMSG(0, 0, 2, 2,
            "Switching in subsystem " + INT2TXT(ss).trimmed() + " does not settle within one time step:");
    USERMSG(0, 0, 2, -1, "stopped after " + number(N.SW_INSTANTS - 1) + " switching instants at time " + time_text());
    ABORT_RUN(kRoutine, 0);
}

}  // namespace

void count_alternation(int32_t& count, bool up) {
    const int64_t c = count;
    int64_t next;
    if (up)
        next = c < 0 ? 1 - c : 0;
    else
        next = c < 0 ? 0 : -c - 1;
    count = static_cast<int32_t>(std::clamp<int64_t>(next, -INT32_MAX, INT32_MAX));
}

int64_t switching_instant_limit(int32_t ss) {
    // Passes of at least 1e-4 of a step give at most 10,000 instants; each
    // switch may add its own switchings to that.
    return 10000 + 1000 * int64_t{std::max(NET.NSWITCH(ss), 0)};
}

namespace {

// The switching of switch br if it is due at or before span.
void operate(int32_t ss, int32_t br, double span) {
    NetworkTables& N = NET;
    if (!(N.TSWITCH(br, ss) <= span) || !is_true(N.SWPEND(br))) {
        N.TSWITCH(br, ss) = 1.5;
        return;
    }
    const int64_t kind = std::llabs(int64_t{N.IORV(br, ss)});
    if (kind == 5) {
        arrester_step(ss, br);
    } else if (kind == 15) {
        inductance_step(ss, br, span);
    } else {
        const int32_t device = switch_device_code(ss, br, kRoutine);
        if (device >= 10 && device <= 19)
            pe_switch(ss, br, device);
        else
            plain_switch(ss, br);
    }
    // A switch that gained or lost its EMF, or became ideal, changes
    // what the passes do with it.
    REPLAN_BRANCH(ss, br);
}

}  // namespace

void SWITCHBR(int32_t ss, double span) {
    NetworkTables& N = NET;
    const int32_t ns = N.NSWITCH(ss);
    if (ns <= 0) return;
    count_instant(ss);
    // The switches not pending hold 1.5 already.
    if (const std::vector<int32_t>* due = pending_switches(ss)) {
        for (const int32_t br : *due) operate(ss, br, span);
        return;
    }
    for (int32_t i = 1; i <= ns; ++i) operate(ss, N.SWLIST(i, ss), span);
}
