#include "network/switch_records.h"

#include <cmath>
#include <string>

#include "engine/abort.h"
#include "engine/model_helpers.h"
#include "engine/storage.h"
#include "network/network_tables.h"

namespace {

std::string text(int64_t i) { return std::to_string(i); }

[[noreturn, gnu::noinline]] void outside(int32_t ss, int32_t br, const char* array, int64_t first, int64_t size,
                                         int64_t last, const char* routine) {
    const int64_t bad = first < 1 ? first : last;
    switch_record_error(ss, br,
                        "refers to " + std::string(array) + "(" + text(bad) + ") outside its " + text(size) +
                            " entries.",
                        routine);
}

// Positions first .. last must lie in an array of size entries; the report
// is out of line.
inline void within(int32_t ss, int32_t br, const char* array, int64_t first, int64_t last, int64_t size,
                   const char* routine) {
    if (first >= 1 && last <= size) [[likely]]
        return;
    outside(ss, br, array, first, size, last, routine);
}

// A whole number held as a double, which must be one.
int32_t whole(int32_t ss, int32_t br, double x, const char* name, const char* routine) {
    if (!std::isfinite(x) || std::fabs(x) > 2.0e9)
        switch_record_error(ss, br, "holds no position in " + std::string(name) + ".", routine);
    return nint(x);
}

}  // namespace

void switch_record_error(int32_t ss, int32_t br, const std::string& what, const char* routine) {
    USERMSG(0, 0, 2, 2, "Switched branch " + INT2TXT(br).trimmed() + " of subsystem " + INT2TXT(ss).trimmed());
    USERMSG(0, 0, 2, -1, what);
    ABORT_RUN(routine, 0);
}

int32_t switch_device_code(int32_t ss, int32_t br, const char* routine) {
    const int32_t p = NET.THISBR(br, ss);
    if (p <= 0) return 0;
    within(ss, br, "STORI", p, p, STORAGE.STORI.size(), routine);
    return STORAGE.STORI(p);
}

PeSwitchRecord pe_switch_record(int32_t ss, int32_t br, const char* routine) {
    StorageArrays& S = STORAGE;
    const int32_t p = NET.THISBR(br, ss);
    within(ss, br, "STORI", p, int64_t{p} + 7, S.STORI.size(), routine);
    PeSwitchRecord r{S.STORI(p + 2), S.STORI(p + 7)};
    within(ss, br, "STORF", int64_t{r.f} + 1, int64_t{r.f} + 2, S.STORF.size(), routine);
    within(ss, br, "STOR", int64_t{r.s} + 10, int64_t{r.s} + 11, S.STOR.size(), routine);
    return r;
}

double ArresterTable::conductance(int32_t segment) const { return STORAGE.STOR(base + segment + 1); }
double ArresterTable::emf(int32_t segment) const { return STORAGE.STOR(base + n + segment + 1); }
double ArresterTable::breakpoint(int32_t i) const { return STORAGE.STOR(base + 2 * n + i); }

ArresterTable arrester_table(int32_t ss, int32_t br, const char* routine) {
    ArresterTable a;
    a.n = whole(ss, br, NET.EOFF(br, ss), "its arrester segment count", routine);
    a.base = whole(ss, br, NET.GOFF(br, ss), "STOR for its arrester table", routine);
    if (a.n < 1) switch_record_error(ss, br, "has an arrester table of " + text(a.n) + " segments.", routine);
    within(ss, br, "STOR", int64_t{a.base} + 1, int64_t{a.base} + 3 * int64_t{a.n} + 1, STORAGE.STOR.size(),
           routine);
    return a;
}

double SegmentedInductance::T(int32_t i) const { return STORAGE.RTCF(t + i); }
int32_t& SegmentedInductance::segment() const { return STORAGE.RTCI(q + 2); }
int32_t& SegmentedInductance::step() const { return STORAGE.RTCI(q + 3); }

SegmentedInductance segmented_inductance(int32_t ss, int32_t br, const char* routine) {
    StorageArrays& S = STORAGE;
    SegmentedInductance r;
    // A negative THISBR names the record; INT32_MIN has no positive.
    const int64_t q = -int64_t{NET.THISBR(br, ss)};
    within(ss, br, "RTCI", q, q + 4, S.RTCI.size(), routine);
    r.q = static_cast<int32_t>(q);
    r.t = S.RTCI(r.q);
    r.m = S.RTCI(r.q + 1);
    r.partner = S.RTCI(r.q + 4);
    if (r.m < 1) switch_record_error(ss, br, "has an inductance table of " + text(r.m) + " segments.", routine);
    within(ss, br, "RTCF", r.t, int64_t{r.t} + 3 * int64_t{r.m} + 1, S.RTCF.size(), routine);
    if (r.partner < 0 || r.partner > NET.NBRANCHES(ss))
        switch_record_error(ss, br, "names partner branch " + text(r.partner) + ", not a branch of its subsystem.",
                            routine);
    return r;
}
