#include "engine/pointer_checks.h"

#include <algorithm>
#include <string>

#include "engine/abort.h"
#include "engine/pointer_block.h"
#include "engine/run_state.h"
#include "engine/storage.h"
#include "models/xfmr_tables.h"
#include "network/dimensions.h"
#include "network/network_tables.h"
#include "platform/text_units.h"

PointerCheckRefs POINTER_CHECKS;

namespace {

constexpr int out = UNIT_CONSOLE_OUT;

// One pointer line: the label from column 1, the reference value in
// columns 14-21 and the current value in columns 28-35.
void pointer_line(const char* label, int32_t reference, int32_t current) {
    std::string line = label;
    line.resize(13, ' ');
    line += edit("I8", reference);
    line.resize(27, ' ');
    line += edit("I8", current);
    unit_write_line(out, line);
}

void report_head(const char* increments) {
    write_list(out, {std::string(51, '*')});
    write_list(out, {"ERROR: Storage Pointers have become Corrupt!"});
    write_list(out, {"This usually occurs when user-written subroutines"});
    write_list(out, {increments});
    write_list(out, {"when using IF/ELSE/ENDIF logic."});
    write_list(out, {"It also occurs when using invalid snapshot files!"});
    write_list(out, {" "});
    write_list(out, {"User Pointer values:"});
    write_formatted(out, "(A,G18.6,A)", {" Values At:    TIME=0     ", RUN_CLOCK.TIME, " Sec."});
}

[[noreturn]] void report_tail(const char* name) {
    write_list(out, {"Check user-written models to ensure these pointers"});
    write_list(out, {"are incremented by the same amount each time step."});
    write_list(out, {});
    ABORT_RUN(name, 0);
}

// Pointers stand at the next free element, so one less is the count used.
int32_t used(int32_t pointer) { return static_cast<int32_t>(int64_t{pointer} - 1); }

std::array<int32_t, 4> rtc_pointers() {
    const PointerBlock& p = POINTER_BLOCK;
    return {p.NRTCL, p.NRTCI, p.NRTCF, p.NRTCC};
}

std::array<int32_t, 13> model_pointers() {
    const PointerBlock& p = POINTER_BLOCK;
    return {p.NEXC, p.NSTORC, p.NSTORF, p.NSTORI, p.NSTORL, p.NSTOL, p.NSTOI,
            p.NSTOF, p.NSTOC, p.NVAR, p.NNODE, p.NSUBS, p.NTXFR};
}

std::array<int32_t, 4> transfer_pointers() {
    const PointerBlock& p = POINTER_BLOCK;
    return {p.NSTXFRL, p.NSTXFRI, p.NSTXFRF, p.NSTXFRC};
}

// A used size beyond an array's extent: the two lines of the report.
bool exceeded(const char* array, int64_t used, int64_t extent) {
    if (used <= extent) return false;
    write_list(out, {std::string("ZARIK: ") + array + " array dimension exceeded"});
    write_list(out, {"Required Dimension:", static_cast<int32_t>(used)});
    return true;
}

}  // namespace

namespace {

// The first call of a step takes the pointers as they stand; a later call
// that finds them moved reports every pointer, then and now, and stops.
// A heading line stands before the pointer at index `heading_at`.
template <size_t N>
void check_pointers(std::array<int32_t, N>& ref, bool& set, const std::array<int32_t, N>& now, const char* what,
                    const char* const (&labels)[N], const char* routine, size_t heading_at = N) {
    if (!set) {
        ref = now;
        set = true;
        return;
    }
    if (ref == now) return;
    report_head(what);
    for (size_t i = 0; i < N; ++i) {
        if (i == heading_at) write_list(out, {"HOLVA Pointer values:"});
        pointer_line(labels[i], ref[i], now[i]);
    }
    report_tail(routine);
}

}  // namespace

void CHKNRTC() {
    PointerCheckRefs& r = POINTER_CHECKS;
    static const char* const labels[] = {"  NRTCL  = ", "  NRTCI  = ", "  NRTCF  = ", "  NRTCC  = "};
    check_pointers(r.nrtc, r.nrtc_set, rtc_pointers(), "incorrectly increment NRTCx pointers", labels, "CHKNRTC");
}

// A snapshot holds the module counts its map declared, not the entries its
// run used of them: NSTOL, NSTOI, NSTOF, NSTOC, NNODE, NSUBS and NTXFR.
constexpr size_t kModuleCounts[] = {5, 6, 7, 8, 10, 11, 12};

void CHKNEXC_RESTORED() {
    PointerCheckRefs& r = POINTER_CHECKS;
    const std::array<int32_t, 13> now = model_pointers();
    // An earlier run's step that stayed within these counts stays within them.
    if (r.nexc_set)
        for (const size_t i : kModuleCounts)
            if (r.nexc[i] <= now[i]) r.nexc[i] = now[i];
    CHKNEXC();
    r.nexc_restored = true;
}

void CHKNEXC() {
    PointerCheckRefs& r = POINTER_CHECKS;
    // The restored run's first step takes up to the counts restored, and
    // what it took is the reference from then on.
    if (r.nexc_restored) {
        const std::array<int32_t, 13> now = model_pointers();
        for (const size_t i : kModuleCounts)
            if (now[i] <= r.nexc[i]) r.nexc[i] = now[i];
        r.nexc_restored = false;
    }
    static const char* const labels[] = {"  NEXC    = ", "  NSTORC  = ", "  NSTORF  = ", "  NSTORI  = ",
                                         "  NSTORL  = ", "  NSTOL   = ", "  NSTOI   = ", "  NSTOF   = ",
                                         "  NSTOC   = ", "  NVAR    = ", "  NNODE   = ", "  NSUBS   = ",
                                         "  NTXFR   = "};
    check_pointers(r.nexc, r.nexc_set, model_pointers(), "incorrectly increment NEXCx or NSTORx pointers", labels,
                   "CHKNEXC", 5);
}

void CHKTXFRS() {
    PointerCheckRefs& r = POINTER_CHECKS;
    static const char* const labels[] = {"  NSTXFRL  = ", "  NSTXFRI  = ", "  NSTXFRF  = ", "  NSTXFRC  = "};
    check_pointers(r.txfr, r.txfr_set, transfer_pointers(), "incorrectly increment NSTXFRx pointers", labels,
                   "CHKTXFRS");
}

void CHKSTOR() {
    const PointerBlock& p = POINTER_BLOCK;
    const StorageArrays& s = STORAGE;
    DimensionBlock& d = DIMBLOCK;

    // The sizes this case really uses.
    int32_t most_nodes = 0;
    for (int32_t ss = 1; ss <= d.NSUBSYS && ss <= NET.NBUSES.size(); ++ss)
        most_nodes = std::max(most_nodes, NET.NBUSES(ss));
    int32_t most_windings = 0;
    const int32_t transformers = XFMR_TABLES.XF_COUNT;
    for (int32_t k = 1; k <= transformers && k <= XFMR_TABLES.XF_NWDG.size(); ++k)
        most_windings = std::max(most_windings, XFMR_TABLES.XF_NWDG(k));
    d.REQ[ND_NODES] = most_nodes;
    d.REQ[ND_SUBSYS] = d.NSUBSYS;
    d.REQ[ND_WINDINGS] = most_windings;
    d.REQ[ND_TRAFOS] = transformers;
    d.REQ[ND_STOR] = p.NEXC;
    d.REQ[ND_STORL] = used(p.NSTORL);
    d.REQ[ND_STORI] = used(p.NSTORI);
    d.REQ[ND_STORF] = used(p.NSTORF);
    d.REQ[ND_STORC] = used(p.NSTORC);
    d.REQ[ND_RTCL] = used(p.NRTCL);
    d.REQ[ND_RTCI] = used(p.NRTCI);
    d.REQ[ND_RTCF] = used(p.NRTCF);
    d.REQ[ND_RTCC] = used(p.NRTCC);
    d.REQ[ND_STXFRL] = used(p.NSTXFRL);
    d.REQ[ND_STXFRI] = used(p.NSTXFRI);
    d.REQ[ND_STXFRF] = used(p.NSTXFRF);
    d.REQ[ND_STXFRC] = used(p.NSTXFRC);

    bool over = false;
    over |= exceeded("STOR", p.NEXC, s.STOR.size());
    over |= exceeded("STORL", int64_t{p.NSTORL} - 1, s.STORL.size());
    over |= exceeded("STORI", int64_t{p.NSTORI} - 1, s.STORI.size());
    over |= exceeded("STORF", int64_t{p.NSTORF} - 1, s.STORF.size());
    over |= exceeded("STORC", int64_t{p.NSTORC} - 1, s.STORC.size());
    over |= exceeded("RTCL", int64_t{p.NRTCL} - 1, s.RTCL.size());
    over |= exceeded("RTCI", int64_t{p.NRTCI} - 1, s.RTCI.size());
    over |= exceeded("RTCF", int64_t{p.NRTCF} - 1, s.RTCF.size());
    over |= exceeded("RTCC", int64_t{p.NRTCC} - 1, s.RTCC.size());
    over |= exceeded("STXFRL", int64_t{p.NSTXFRL} - 1, s.STXFRL.size());
    over |= exceeded("STXFRI", int64_t{p.NSTXFRI} - 1, s.STXFRI.size());
    over |= exceeded("STXFRF", int64_t{p.NSTXFRF} - 1, s.STXFRF.size());
    over |= exceeded("STXFRC", int64_t{p.NSTXFRC} - 1, s.STXFRC.size());
    if (!over) return;
    write_list(out, {"The storage is set by HOLVA by adding up"});
    write_list(out, {"the storage requirements as specified by"});
    write_list(out, {"the #STORAGE: syntax in each component."});
    ABORT_RUN("CHKSTOR", 0);
}
