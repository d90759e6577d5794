#include "engine/solution_arrays.h"

#include <algorithm>
#include <new>
#include <stdexcept>

#include "engine/abort.h"
#include "engine/memory_budget.h"
#include "engine/storage.h"
#include "network/dimensions.h"
#include "network/parameters.h"
#include "platform/logical.h"
#include "platform/text_units.h"

SolutionArrays SOLUTION_ARRAYS;

namespace {

template <class T>
void create(SsMatrix<T>& m, int64_t n1, int64_t n2, int64_t n3) {
    n1 = std::max<int64_t>(n1, 0);
    n2 = std::max<int64_t>(n2, 0);
    n3 = std::max<int64_t>(n3, 0);
    if (!fits_in_memory(array_bytes(sizeof(T), {n1, n2, n3}))) throw std::bad_alloc();
    m.v.assign(static_cast<size_t>(n1 * n2 * n3), T{});
    m.n1 = n1;
    m.n2 = n2;
    m.n3 = n3;
    m.allocated = true;
}

// Status of freeing: 0, or 1 for an array that was never created.
template <class T>
int32_t release(SsMatrix<T>& m) {
    if (!m.allocated) return 1;
    std::vector<T>().swap(m.v);
    m.allocated = false;
    return 0;
}

template <class T>
SsView<T> slice(SsMatrix<T>& m, int64_t ss) {
    if (!m.allocated || m.v.empty()) return {};
    return {m.v.data() + (ss - 1) * m.n1 * m.n2, m.n1, m.n2};
}

template <class T>
SsView<T> whole(SsMatrix<T>& m) {
    if (!m.allocated || m.v.empty()) return {m.v.data(), 0, 0};
    return {m.v.data(), m.n1, m.n2};
}

bool per_subsystem() { return is_true(PARAMS.USE_SUBSYSDIM); }

int32_t subsystem_size(int32_t ss) {
    const FArray1<int32_t>& sizes = SOLUTION_ARRAYS.SSDIM;
    return ss >= 1 && ss <= sizes.size() ? std::max(sizes(ss), 0) : 0;
}

// Subsystem numbers the present layout can answer for.
int64_t subsystem_limit() {
    const SolutionArrays& a = SOLUTION_ARRAYS;
    if (per_subsystem()) {
        if (a.records_allocated) return static_cast<int64_t>(a.records.size());
    } else if (a.GM.allocated) {
        return a.GM.n3;
    }
    return DIMBLOCK.AVAIL[ND_SUBSYS];
}

// The subsystem-number check that every accessor starts with.
void check_subsystem(const char* name, int32_t ss) {
    const int64_t limit = subsystem_limit();
    if (ss >= 1 && ss <= limit) return;
    const int out = UNIT_CONSOLE_OUT;
    if (ss < 0)
        write_formatted(out, R"(("Negative Subsystem Number:", I3))", {ss});
    else if (ss == 0)
        write_list(out, {"Zero Subsystem Number"});
    else
        write_formatted(out, R"(("Current SS# (", I3, " ) is greater than max SS# ", I3))",
                        {ss, static_cast<int32_t>(limit)});
    ABORT_RUN(name, 0);
}

void init_global() {
    SolutionArrays& a = SOLUTION_ARRAYS;
    std::fill(a.GMTRI.v.begin(), a.GMTRI.v.end(), 0.0);
    std::fill(a.GM.v.begin(), a.GM.v.end(), 0.0);
    std::fill(a.GMPAT.v.begin(), a.GMPAT.v.end(), int8_t{0});
    for (int64_t ss = 1; ss <= a.GMPAT.n3; ++ss) {
        const SsView<int8_t> p = slice(a.GMPAT, ss);
        for (int64_t i = 1; i <= p.n1; ++i) p(i, i) = -1;
    }
    std::fill(a.GMFILL.v.begin(), a.GMFILL.v.end(), int8_t{0});
}

void create_global() {
    SolutionArrays& a = SOLUTION_ARRAYS;
    const int64_t n = DIMBLOCK.AVAIL[ND_NODES], nss = DIMBLOCK.AVAIL[ND_SUBSYS];
    create(a.GMTRI, n, n, nss);
    create(a.GM, n, n, nss);
    create(a.GMPAT, n, n, nss);
    create(a.GMFILL, n, n, nss);
}

// Bytes of one element of each of the four matrices.
constexpr uint64_t kSetElementBytes = 2 * sizeof(double) + 2 * sizeof(int8_t);

// Bytes of the four matrices of one n x n x count set.
ByteCount set_bytes(int64_t n, int64_t count) { return array_bytes(kSetElementBytes, {n, n, count}); }

// Bytes of the global layout's set at the available sizes.
ByteCount global_set_bytes() { return set_bytes(DIMBLOCK.AVAIL[ND_NODES], DIMBLOCK.AVAIL[ND_SUBSYS]); }

// Bytes that this call of ALLOCATION would create.
ByteCount bytes_to_create(int32_t nss) {
    const SolutionArrays& a = SOLUTION_ARRAYS;
    if (!per_subsystem()) return a.GM.allocated ? 0 : global_set_bytes();
    ByteCount bytes = 0;
    for (int32_t ss = 1; ss <= nss; ++ss) {
        const int32_t n = subsystem_size(ss);
        if (!a.records_allocated)
            bytes += set_bytes(n, 1);
        else if (ss <= static_cast<int64_t>(a.records.size()) && n > a.records[ss - 1].GM.n1)
            bytes += set_bytes(n, 1);
    }
    return bytes;
}

void create_record(SsRecord& r, int64_t n) {
    create(r.GMTRI, n, n, 1);
    create(r.GM, n, n, 1);
    create(r.GMPAT, n, n, 1);
    create(r.GMFILL, n, n, 1);
}

void init_record(SsRecord& r, int32_t n) {
    std::fill(r.GMTRI.v.begin(), r.GMTRI.v.end(), 0.0);
    std::fill(r.GM.v.begin(), r.GM.v.end(), 0.0);
    std::fill(r.GMPAT.v.begin(), r.GMPAT.v.end(), int8_t{0});
    const SsView<int8_t> p = whole(r.GMPAT);
    for (int64_t i = 1; i <= std::min<int64_t>(n, p.n1); ++i) p(i, i) = -1;
    std::fill(r.GMFILL.v.begin(), r.GMFILL.v.end(), int8_t{0});
}

// One matrix of a checked subsystem, in either layout.
template <class T>
SsView<T> view_of(int32_t ss, SsMatrix<T> SsRecord::*own, SsMatrix<T> SolutionArrays::*global) {
    SolutionArrays& a = SOLUTION_ARRAYS;
    if (per_subsystem()) return a.records_allocated ? whole(a.records[ss - 1].*own) : SsView<T>{};
    return slice(a.*global, ss);
}

// One accessor for the four matrices.
template <class T>
SsView<T> describe(const char* name, int32_t ss, SsMatrix<T> SsRecord::*own, SsMatrix<T> SolutionArrays::*global) {
    check_subsystem(name, ss);
    return view_of(ss, own, global);
}

}  // namespace

SsView<double> SSDESC_RA(int32_t ss) { return describe("SSDESC_RA", ss, &SsRecord::GM, &SolutionArrays::GM); }
SsView<double> SSDESC_RB(int32_t ss) { return describe("SSDESC_RB", ss, &SsRecord::GMTRI, &SolutionArrays::GMTRI); }
SsView<int8_t> SSDESC_IA(int32_t ss) { return describe("SSDESC_IA", ss, &SsRecord::GMPAT, &SolutionArrays::GMPAT); }
SsView<int8_t> SSDESC_IB(int32_t ss) { return describe("SSDESC_IB", ss, &SsRecord::GMFILL, &SolutionArrays::GMFILL); }

SsViews SSDESC_ALL(int32_t ss) {
    check_subsystem("SSDESC_RA", ss);
    return {view_of(ss, &SsRecord::GM, &SolutionArrays::GM), view_of(ss, &SsRecord::GMTRI, &SolutionArrays::GMTRI),
            view_of(ss, &SsRecord::GMPAT, &SolutionArrays::GMPAT),
            view_of(ss, &SsRecord::GMFILL, &SolutionArrays::GMFILL)};
}

ByteCount planned_matrix_bytes(bool per_subsystem_layout, ByteCount cells) {
    return per_subsystem_layout ? cells * kSetElementBytes : global_set_bytes();
}

ByteCount held_matrix_bytes() {
    const SolutionArrays& a = SOLUTION_ARRAYS;
    ByteCount bytes = a.GM.allocated ? set_bytes(a.GM.n1, a.GM.n3) : 0;
    if (a.records_allocated)
        for (const SsRecord& r : a.records) bytes += set_bytes(r.GM.n1, 1);
    return bytes;
}

void ALLOC_SSLIST(int32_t n, int32_t& status) {
    status = 0;
    if (const Shortfall short_of = memory_shortfall(array_bytes(sizeof(int32_t), {n}))) {
        say_shortfall(short_of, 1);
        status = 1;
        return;
    }
    try {
        SOLUTION_ARRAYS.SSDIM.allocate(std::max(n, 0));
    } catch (const std::bad_alloc&) {
        status = 1;
        return;
    } catch (const std::length_error&) {
        status = 1;
        return;
    }
    SOLUTION_ARRAYS.SSDIM.fill(0);
}

void ALLOCATION(int32_t nss, int32_t& status) {
    status = 0;
    SolutionArrays& a = SOLUTION_ARRAYS;
    if (const Shortfall short_of = case_shortfall(storage_bytes() + held_matrix_bytes(), bytes_to_create(nss)))
        REFUSE_ALLOCATION("ALLOCATION", short_of);
    try {
        if (!per_subsystem()) {
            // Fresh arrays are already all zero; only the diagonal needs it.
            if (!a.GM.allocated) create_global();
            init_global();
            return;
        }
        if (!a.records_allocated) {
            a.records.assign(static_cast<size_t>(std::max(nss, 0)), SsRecord{});
            a.records_allocated = true;
            for (int32_t ss = 1; ss <= nss; ++ss) create_record(a.records[ss - 1], subsystem_size(ss));
        }
        for (int32_t ss = 1; ss <= std::min<int64_t>(nss, static_cast<int64_t>(a.records.size())); ++ss) {
            SsRecord& r = a.records[ss - 1];
            const int32_t n = subsystem_size(ss);
            // A later run may give a subsystem more nodes than the first.
            if (n > r.GM.n1) create_record(r, n);
            init_record(r, n);
        }
    } catch (const std::bad_alloc&) {
        status = 1;
    } catch (const std::length_error&) {
        status = 1;
    }
    if (status != 0) REFUSE_ALLOCATION("ALLOCATION");
}

void DEALLOCATION(int32_t& status) {
    status = 0;
    SolutionArrays& a = SOLUTION_ARRAYS;
    if (per_subsystem()) {
        if (!a.records_allocated) return;
        for (SsRecord& r : a.records) {
            status = release(r.GMTRI);
            if (status == 0) status = release(r.GM);
            if (status == 0) status = release(r.GMPAT);
            if (status == 0) status = release(r.GMFILL);
        }
        std::vector<SsRecord>().swap(a.records);
        a.records_allocated = false;
        status = 0;
        return;
    }
    status = release(a.GMTRI);
    if (status == 0) status = release(a.GM);
    if (status == 0) status = release(a.GMPAT);
    if (status == 0) status = release(a.GMFILL);
}

void DEALLOCATE_ALL(int32_t& status) {
    FArray1<int32_t>& sizes = SOLUTION_ARRAYS.SSDIM;
    status = sizes.allocated() ? 0 : 1;
    sizes.free();
    DEALLOCATION(status);
}
