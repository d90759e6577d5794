#include "models/switch/pe_switch.h"

#include <cmath>
#include <utility>

#include "engine/model_helpers.h"
#include "engine/pointer_block.h"
#include "engine/run_state.h"
#include "engine/storage.h"
#include "models/switch/pe_switch_state.h"
#include "network/network_tables.h"
#include "network/switch_state.h"

namespace {

struct Ratings {
    double ron, roff, vbf, vbr, vf, text;
    Logical recovers;
    bool keeps_recovers;  // the form has no recovers flag: the word stays as it is
};

// The record's first word: codes outside 0 to 9 would leave the range by
// which the network knows a power-electronic switch.
int32_t header_code(int32_t code) { return code >= 0 && code <= 9 ? code + 10 : 19; }

void set_up(int32_t s, int32_t b, int32_t g, double t, int32_t code, const Ratings& r) {
    StorageArrays& S = STORAGE;
    const PointerBlock& P = POINTER_BLOCK;
    const int32_t p = P.NSTORI, l = P.NSTORL, q = P.NSTORF, e = P.NEXC;
    const double time = RUN_CLOCK.TIME, delt = RUN_CLOCK.DELT;
    CHK_SWITCH_R(s, b, r.ron, r.roff, (r.roff - r.ron) * r.vf / r.roff, 0.0, "PESWITCH    ");
    NET.THISBR(b, s) = p;
    S.STORI(p) = header_code(code);
    S.STORI(p + 1) = l;
    S.STORI(p + 2) = q;
    S.STORI(p + 4) = s;
    S.STORI(p + 5) = b;
    S.STORI(p + 6) = g;
    S.STORI(p + 7) = e;
    S.STORL(l) = LFALSE;
    if (!r.keeps_recovers) S.STORL(l + 1) = r.recovers;
    const double hold = r.vf / r.roff;
    const double words[] = {time, hold, r.vf, std::fabs(r.vbf), r.text, t, -std::fabs(r.vbr)};
    for (int k = 0; k < 7; ++k) S.STORF(q + k) = words[k];
    // Reports, last gate events, holding level, V_f, last turn-on and
    // turn-off, conduction, and the timing words; the others are not the
    // switch's to write.
    const std::pair<int, double> state[] = {{1, 0.0},  {4, -2.0 * delt}, {6, hold},   {7, r.vf},   {10, 0.0},
                                            {11, 0.0}, {14, 0.0},       {15, -2.0 * delt}, {20, 0.0}, {21, 0.0},
                                            {22, 0.0}, {23, 0.0},       {24, 0.0},  {25, 0.0}};
    for (const auto& [k, v] : state) S.STOR(e + k) = v;
    NET.BRANCH_R(b, s) = r.roff;
}

// The words of the switch's records: STORI(p + k), STORF(q + k) and
// STOR(e + k). RecordAt reaches them directly, for records whose words
// the step uses lie inside the storage; RecordChecked goes through the
// storage's checks, which report the others.
struct RecordAt {
    static constexpr bool kInline = true;  // the device logic runs inline
    int32_t p, q, e;
    int32_t& stori(int32_t k) const { return STORAGE.STORI.data()[p - 1 + k]; }
    double& storf(int32_t k) const { return STORAGE.STORF.data()[q - 1 + k]; }
    double& stor(int32_t k) const { return STORAGE.STOR.data()[e - 1 + k]; }
};

struct RecordChecked {
    static constexpr bool kInline = false;
    int32_t p, q, e;
    int32_t& stori(int32_t k) const { return STORAGE.STORI(p + k); }
    double& storf(int32_t k) const { return STORAGE.STORF(q + k); }
    double& stor(int32_t k) const { return STORAGE.STOR(e + k); }
};

template <class Record>
[[gnu::always_inline]] inline void step_records(const Record& R, int32_t s, int32_t b, int32_t g, double t, int32_t code, double ron) {
    PointerBlock& P = POINTER_BLOCK;
    if (g == 2) {
        g = -1;
    } else if (code == 0) {
        g = 1;
        t = 0.0;
    } else if (code >= 2 && g != 1) {
        g = -1;
    }

    const double time = RUN_CLOCK.TIME, delt = RUN_CLOCK.DELT;
    double instant = 0.0;
    Logical event = LTRUE;
    const double on = R.stor(4), off = R.stor(15);
    if (t > 0.0 && t <= delt) {
        instant = time - t;
        if (g == 1) R.stor(4) = instant;
        if (g == -1) R.stor(15) = instant;
    } else if (time - delt < on && on < time) {
        instant = on;
        g = 1;
    } else if (time - delt < off && off < time) {
        instant = off;
        g = -1;
    } else {
        event = LFALSE;
    }

    R.stori(6) = g;
    P.saved_stori = R.p;
    R.storf(5) = t;
    if constexpr (Record::kInline)
        pe_switch::state_at(R.p, instant, event);
    else
        PESWITCH_STATE(instant, event);

    const NetworkTables& N = NET;
    double geq, gopen, gon;
    if (N.GEQ.in_range(b, s)) {
        const int64_t k = N.GEQ.offset(b, s);  // the branch in every branch table
        geq = N.GEQ.data()[k];
        gopen = N.GOFF.data()[k];
        gon = N.GON.data()[k];
    } else {
        CHKBRANCH("PESWITCH    ", b, s);
        const int64_t k = int64_t{s - 1} * N.GEQ.extent(1) + b;
        geq = N.GEQ.flat(k);
        gopen = N.GOFF.flat(k);
        gon = N.GON.flat(k);
    }
    // An ideal closed switch carries no conductance at all.
    const bool closed_ideal = geq < 0.5 * gopen, closed = geq > 0.5 * (gopen + gon);
    R.stor(14) = (1.0 / N.GIDEAL(s) > std::fabs(ron) ? closed_ideal : closed) ? 1.0 : 0.0;
}

// Records outside the storage, through its checks, out of the common path.
[[gnu::noinline]] void step_checked(int32_t p, int32_t q, int32_t e, int32_t s, int32_t b, int32_t g, double t,
                                    int32_t code, double ron) {
    step_records(RecordChecked{p, q, e}, s, b, g, t, code, ron);
}

// The step of every form, inlined into each; setup is given on the first
// step of a run from data.
[[gnu::always_inline]] inline void switch_step(int32_t s, int32_t b, int32_t g, double t, int32_t code, double ron,
                                               const Ratings* setup) {
    StorageArrays& S = STORAGE;
    const PointerBlock& P = POINTER_BLOCK;
    const int32_t p = P.NSTORI, q = P.NSTORF, e = P.NEXC;
    if (setup) set_up(s, b, g, t, code, *setup);
    // The words this step reads and writes: STORI(p + 6), STORF(q + 5) and
    // STOR(e + 4) to STOR(e + 15); the device logic reads STORI(p) to
    // STORI(p + 7).
    if (p >= 1 && int64_t{p} + 7 <= S.STORI.size() && int64_t{q} + 5 >= 1 &&
        int64_t{q} + 5 <= S.STORF.size() && int64_t{e} + 4 >= 1 && int64_t{e} + 15 <= S.STOR.size())
        step_records(RecordAt{p, q, e}, s, b, g, t, code, ron);
    else
        step_checked(p, q, e, s, b, g, t, code, ron);
}

bool first_step() { return is_true(RUN_FLAGS.FIRST_STEP_DATA); }

}  // namespace

void PESWITCH_INIT(int32_t code, int32_t recovers, double ron, double roff, double vbf, double vbr, double vf,
                   double text) {
    StorageArrays& S = STORAGE;
    PointerBlock& P = POINTER_BLOCK;
    S.RTCL(P.NRTCL) = ILOGICAL(recovers);
    S.RTCI(P.NRTCI) = code;
    const double r[] = {ron, roff, vbf, vbr, vf, text};
    for (int k = 0; k < 6; ++k) S.RTCF(P.NRTCF + k) = r[k];
    P.NRTCL += 1;
    P.NRTCI += 1;
    P.NRTCF += 6;
}

namespace {

// The first step of a run from data sets the switch up from its ratings,
// out of the common path.
[[gnu::noinline]] void first_switch_step(int32_t ss, int32_t br, int32_t gate, double tval, int32_t code,
                                         double ron) {
    StorageArrays& S = STORAGE;
    const PointerBlock& P = POINTER_BLOCK;
    const int32_t c = P.NRTCF;
    const Ratings r{ron, S.RTCF(c + 1), S.RTCF(c + 2), S.RTCF(c + 3), S.RTCF(c + 4), S.RTCF(c + 5), S.RTCL(P.NRTCL),
                    false};
    switch_step(ss, br, gate, tval, code, ron, &r);
}

}  // namespace

void PESWITCH(int32_t ss, int32_t br, int32_t gate, double tval) {
    StorageArrays& S = STORAGE;
    PointerBlock& P = POINTER_BLOCK;
    const int32_t code = S.RTCI(P.NRTCI);
    const double ron = S.RTCF(P.NRTCF);
    if (first_step()) [[unlikely]]
        first_switch_step(ss, br, gate, tval, code, ron);
    else
        switch_step(ss, br, gate, tval, code, ron, nullptr);
    P.NRTCL += 1;
    P.NRTCI += 1;
    P.NRTCF += 6;
}

namespace {

void full_form(int32_t ss, int32_t br, int32_t gate, double tval, int32_t& code, const Ratings& r) {
    // The header keeps the code of the set-up step.
    if (first_step()) set_up(ss, br, gate, tval, code, r);
    if (gate == 2 && code <= 0) code = 2;
    switch_step(ss, br, gate, tval, code, r.ron, nullptr);
}

}  // namespace

void PESWITCH12(int32_t ss, int32_t br, double ron, double roff, int32_t gate, double tval, int32_t& code,
                int32_t recovers, double vbf, double vbr, double vf, double text) {
    full_form(ss, br, gate, tval, code, {ron, roff, vbf, vbr, vf, text, ILOGICAL(recovers), false});
}

void PESWITCH10(int32_t ss, int32_t br, double ron, double roff, int32_t gate, double tval, int32_t& code,
                double vbd, double vf, double text) {
    full_form(ss, br, gate, tval, code, {ron, roff, vbd, vbd, vf, text, LFALSE, true});
}

void PESWITCH_LABEL(int32_t code, Text12& label) {
    static const char* const kLabels[] = {"Diode:", "Thyristor", "GTO:", "IGBT:", "MOSFET:", "Transistor:"};
    label.assign(code >= 0 && code <= 5 ? kLabels[code] : "PESwitch:");
}

void THYR25(int32_t, int32_t, int32_t, double, double, int32_t, double, double, double, double, double, double) {
    DISCONTINUED("THYR25");
}

void SWINT5(int32_t, int32_t, int32_t, double, double, int32_t, double) { DISCONTINUED("SWINT5"); }
