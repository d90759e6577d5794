// What every case module routine does on entry and exit: its row of the
// module table, its storage blocks, instance number, nodes, subsystems,
// branches, channels, control slots and transformers claimed at the shared
// pointers, and on the first step of a data start its data file opened at
// the pass's section. Every array the module code touches is reached
// through checked accessors that stop the run on a bad subscript.
#pragma once

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>

#include "engine/pointer_block.h"
#include "engine/run_state.h"
#include "engine/storage.h"
#include "link/panel.h"
#include "network/network_tables.h"
#include "platform/fixed_text.h"
#include "platform/logical.h"

enum class Pass { DSD, DSO, DSD_BEGIN, DSO_BEGIN };

// A module's share of the pointers, the same in every pass.
struct ModuleCounts {
    int32_t nodes = 2;
    int32_t subsystems = 0;
    std::array<int32_t, 3> branches{};  // per local subsystem
    int32_t stoi = 0;
    int32_t stof = 0;
    int32_t channels = 0;
    int32_t controls = 0;
    int32_t xfmrs = 0;
};

// Reports "ERROR: Array <name> subscript <pos> = <value> outside <lo> to
// <hi>" and ends the run under the routine's name.
[[noreturn]] void CASE_BOUNDS_STOP(std::string_view routine, std::string_view array, int position, int64_t value,
                                   int64_t upper);

// After the case's dynamic-begin pass of a data start: the entries of
// NODE, SUBS and CXMAP its modules claimed are the entries the map
// filled, or the run stops before its first output. A page missing or
// extra would otherwise hand every later module another's entries.
void CHKMAPFILL();

// a / b, with |b| below 1e-100 taken as +1e-100 (b >= 0, -0.0 too) or
// -1e-100 (b < 0): a huge result of the sign the division would give.
inline double GUARDED_DIV(double a, double b) {
    if (std::fabs(b) < 1e-100) return b >= 0.0 ? a * 1e100 : a * -1e100;
    return a / b;
}

// Element idx... of array a, checked first; once checked, the element is
// reached straight in the array's storage.
template <class T, int R, class... I>
[[gnu::always_inline]] inline T& case_at(std::string_view routine, std::string_view name, FArray<T, R>& a,
                                         I... idx) {
    const std::array<int64_t, R> ix = {static_cast<int64_t>(idx)...};
    int64_t pos = 0, stride = 1;
    for (int d = 0; d < R; ++d) {
        const uint64_t limit = a.limit(d + 1);
        // One unsigned test: a subscript below 1 wraps past every extent.
        if (static_cast<uint64_t>(ix[d] - 1) >= limit) [[unlikely]]
            CASE_BOUNDS_STOP(routine, name, d + 1, ix[d], a.extent(d + 1));
        pos += (ix[d] - 1) * stride;
        stride *= static_cast<int64_t>(limit);
    }
    return a.data()[pos];
}

class ModuleFrame {
public:
    // Enters routine `routine` of a module whose data file is `data_file`.
    // Inline, so that each routine keeps only what its own pass and counts
    // need of it.
    [[gnu::always_inline]] ModuleFrame(std::string_view routine, std::string_view data_file, Pass pass,
                                       const ModuleCounts& c)
        : name_(routine) {
        PointerBlock& p = POINTER_BLOCK;
        const bool stepping = pass == Pass::DSD || pass == Pass::DSO;
        if (pass == Pass::DSD) {
            p.NTXFR += 1;
            stol_base_ = p.NSTOL;
            stoi_base_ = p.NSTOI;
            stof_base_ = p.NSTOF;
            stoc_base_ = p.NSTOC;
            write_txfr_row();
            p.NSTOI += c.stoi;
            p.NSTOF += c.stof;
        } else if (pass == Pass::DSO) {
            p.NTXFR += 1;
            read_txfr_row();
        }
        instance_ = p.NINST;
        p.NINST += 1;
        node_base_ = p.NNODE;
        p.NNODE += c.nodes;
        if (stepping) {
            pgb_base_ = p.NPGB;
            p.NPGB += c.channels;
        }
        if (pass == Pass::DSD || pass == Pass::DSD_BEGIN) {
            cx_base_ = p.NCXMAP;
            p.NCXMAP += c.controls;
        }
        p.NXFMR += c.xfmrs;
        xfmr_ = p.NXFMR;
        subs_base_ = p.NSUBS;
        p.NSUBS += c.subsystems;
        if (c.subsystems > 0) take_subsystems(c);
        if (stepping && is_true(RUN_FLAGS.FIRST_STEP_DATA) && !data_file.empty())
            file_open_ = open_module_file(data_file, pass == Pass::DSD);
        stof_at_ = block_in(STORAGE.STOF, stof_base_, c.stof);
        stoi_at_ = block_in(STORAGE.STOI, stoi_base_, c.stoi);
        pgb_at_ = block_in(STORAGE.PGB, pgb_base_, c.channels);
        stof_n_ = c.stof;
        stoi_n_ = c.stoi;
        pgb_n_ = c.channels;
    }
    // Closes the data file opened on entry; call after the sub-modules.
    void leave() {
        if (file_open_) file_open_ = close_module_file();
    }

    Text12 name() const { return Text12(name_); }
    int32_t instance() const { return instance_; }
    int32_t xfmr() const { return xfmr_; }  // the module's transformer number

    // Global number of local node j, subsystem of local subsystem k and
    // branch number of local branch j of local subsystem k.
    int32_t node(int32_t j) const { return at("NODE", STORAGE.NODE, node_base_ + j); }
    int32_t ss(int32_t k = 1) const { return ss_[static_cast<size_t>(k - 1)]; }
    int32_t branch(int32_t j, int32_t k = 1) const { return br_base_[static_cast<size_t>(k - 1)] + j; }

    // The module's own slots are reached directly when its block lies
    // inside the array; any other subscript goes through the checks.
    [[gnu::always_inline]] double& stof(int32_t j) const {
        if (stof_at_ && j >= 1 && j <= stof_n_) return stof_at_[j];
        return at("STOF", STORAGE.STOF, stof_base_ + j);
    }
    [[gnu::always_inline]] int32_t& stoi(int32_t j) const {
        if (stoi_at_ && j >= 1 && j <= stoi_n_) return stoi_at_[j];
        return at("STOI", STORAGE.STOI, stoi_base_ + j);
    }
    [[gnu::always_inline]] double& pgb(int32_t j) const {
        if (pgb_at_ && j >= 1 && j <= pgb_n_) return pgb_at_[j];
        return at("PGB", STORAGE.PGB, pgb_base_ + j);
    }
    // Slots J... of STOF checked as reading them would check them; each
    // subscript a constant, so a block inside the array costs one test.
    template <int32_t... J>
    [[gnu::always_inline]] void check_stof() const {
        ((void)stof(J), ...);
    }
    double cx(int32_t k) const {  // control slot k
        return at("CX", STORAGE.CX, at("CXMAP", STORAGE.CXMAP, cx_base_ + k));
    }
    // Control slots First to Last into v[First] to v[Last]: the map's
    // block checked once where it lies inside CXMAP, each slot as cx checks it.
    template <int32_t First, int32_t Last, size_t N>
    [[gnu::always_inline]] void cx_block(double (&v)[N]) const {
        static_assert(First >= 1 && First <= Last && Last < static_cast<int32_t>(N));
        const FArray1<int32_t>& map = STORAGE.CXMAP;
        if (cx_base_ + First >= 1 && int64_t{cx_base_} + Last <= map.extent(1)) {
            const int32_t* m = map.data() + (cx_base_ - 1);
            for (int32_t k = First; k <= Last; ++k) v[k] = at("CX", STORAGE.CX, m[k]);
            return;
        }
        for (int32_t k = First; k <= Last; ++k) v[k] = cx(k);
    }
    double cbr(int32_t j, int32_t k = 1) const { return at("CBR", NET.CBR, branch(j, k), ss(k)); }
    bool open(int32_t j, int32_t k = 1) const {  // OPENBR of local branch j
        return is_true(at("OPENBR", NET.OPENBR, branch(j, k), ss(k)));
    }

    // Run-time constants of the module's own: written in the begin passes,
    // read back in the same order; each advances its pointer.
    void put_rtci(int32_t v) const;
    void put_rtcf(double v) const;
    int32_t next_rtci() const { return at("RTCI", STORAGE.RTCI, POINTER_BLOCK.NRTCI++); }
    double next_rtcf() const { return at("RTCF", STORAGE.RTCF, POINTER_BLOCK.NRTCF++); }
    // The next N of them, the block checked once where it lies inside RTCF.
    template <int N>
    [[gnu::always_inline]] std::array<double, N> next_rtcf_block() const {
        std::array<double, N> v;
        int32_t& next = POINTER_BLOCK.NRTCF;
        const int32_t first = next;
        FArray1<double>& a = STORAGE.RTCF;
        if (first >= 1 && int64_t{first} + N - 1 <= a.extent(1)) {
            next = first + N;
            const double* from = a.data() + (first - 1);
            for (int k = 0; k < N; ++k) v[static_cast<size_t>(k)] = from[k];
            return v;
        }
        for (int k = 0; k < N; ++k) v[static_cast<size_t>(k)] = next_rtcf();
        return v;
    }
    // The next STORL word, for state kept the way the models keep theirs.
    Logical& next_storl() const { return at("STORL", STORAGE.STORL, POINTER_BLOCK.NSTORL++); }

    template <class T, int R, class... I>
    T& at(std::string_view array, FArray<T, R>& a, I... idx) const {
        return case_at(name_, array, a, idx...);
    }

    // Slots First to Last of STOF, STOI or PGB set to the values given,
    // each stored straight from where it was worked out.
    template <int32_t First, int32_t Last, class... V>
    [[gnu::always_inline]] void put_stof(V... v) const {
        static_assert(Last - First + 1 == sizeof...(V));
        put_values("STOF", STORAGE.STOF, stof_base_ + First, v...);
    }
    template <int32_t First, int32_t Last, class... V>
    [[gnu::always_inline]] void put_stoi(V... v) const {
        static_assert(Last - First + 1 == sizeof...(V));
        put_values("STOI", STORAGE.STOI, stoi_base_ + First, v...);
    }
    template <int32_t First, int32_t Last, class... V>
    [[gnu::always_inline]] void put_pgb(V... v) const {
        static_assert(Last - First + 1 == sizeof...(V));
        put_values("PGB", STORAGE.PGB, pgb_base_ + First, v...);
    }
    // The same from an array.
    template <size_t N>
    void put_stof(int32_t first, const double (&v)[N]) const { put_block("STOF", STORAGE.STOF, stof_base_ + first, v); }
    template <size_t N>
    void put_stoi(int32_t first, const int32_t (&v)[N]) const { put_block("STOI", STORAGE.STOI, stoi_base_ + first, v); }
    template <size_t N>
    void put_pgb(int32_t first, const double (&v)[N]) const { put_block("PGB", STORAGE.PGB, pgb_base_ + first, v); }

private:
    // Row NTXFR of the module table: written with the block bases, or read
    // back; a row outside the table stops the run.
    void write_txfr_row() {
        FArray2<int32_t>& t = STORAGE.TXFR;
        const int64_t rows = t.extent(1);
        const int32_t row = POINTER_BLOCK.NTXFR;
        if (row < 1 || row > rows || t.extent(2) < 4) [[unlikely]]
            return write_txfr_checked(name_, stol_base_, stoi_base_, stof_base_, stoc_base_);
        int32_t* r = t.data() + (row - 1);
        r[0] = stol_base_;
        r[rows] = stoi_base_;
        r[2 * rows] = stof_base_;
        r[3 * rows] = stoc_base_;
    }
    void read_txfr_row() {
        FArray2<int32_t>& t = STORAGE.TXFR;
        const int64_t rows = t.extent(1);
        const int32_t row = POINTER_BLOCK.NTXFR;
        std::array<int32_t, 4> r;
        if (row < 1 || row > rows || t.extent(2) < 4) [[unlikely]] {
            r = read_txfr_checked(name_);
        } else {
            const int32_t* at = t.data() + (row - 1);
            r = {at[0], at[rows], at[2 * rows], at[3 * rows]};
        }
        stol_base_ = r[0];
        stoi_base_ = r[1];
        stof_base_ = r[2];
        stoc_base_ = r[3];
    }
    // The module's subsystems and, in each, its first branch number less one.
    [[gnu::always_inline]] void take_subsystems(const ModuleCounts& c) {
        StorageArrays& S = STORAGE;
        for (int32_t k = 1; k <= c.subsystems; ++k)
            ss_[static_cast<size_t>(k - 1)] = at("SUBS", S.SUBS, subs_base_ + k);
        // Two local subsystems in one network subsystem take consecutive groups.
        for (int32_t k = 1; k <= c.subsystems; ++k) {
            int32_t& next = at("NBRCH", S.NBRCH, ss(k));
            br_base_[static_cast<size_t>(k - 1)] = next;
            next += c.branches[static_cast<size_t>(k - 1)];
        }
    }
    // Out of line, and given what they need rather than the frame, so that
    // the frame can live in registers.
    static void write_txfr_checked(std::string_view routine, int32_t l, int32_t i, int32_t f, int32_t c);
    static std::array<int32_t, 4> read_txfr_checked(std::string_view routine);
    static bool open_module_file(std::string_view file, bool dynamic);  // true
    static bool close_module_file();                                      // false

    // The block's range is checked as a whole; a block that leaves the
    // array is written slot by slot, so that the first bad slot is reported.
    template <class T, size_t N>
    void put_block(std::string_view array, FArray<T, 1>& a, int32_t first, const T (&v)[N]) const {
        const int32_t n = static_cast<int32_t>(N);
        if (first >= 1 && int64_t{first} + n - 1 <= a.extent(1)) {
            // Slot by slot, unrolled: each value goes straight from where
            // it was worked out into its slot, the block never built apart.
            T* const to = a.data() + (first - 1);
#pragma GCC unroll 64
            for (size_t j = 0; j < N; ++j) to[j] = v[j];
            return;
        }
        for (int32_t j = 0; j < n; ++j) at(array, a, first + j) = v[j];
    }

    // The values in slots first, first + 1, ...: the range checked once,
    // or, for a block that leaves the array, slot by slot.
    template <class T, class... V>
        requires(std::is_arithmetic_v<V> && ...)
    [[gnu::always_inline]] void put_values(std::string_view array, FArray<T, 1>& a, int32_t first, V... v) const {
        constexpr int32_t n = static_cast<int32_t>(sizeof...(V));
        if (first >= 1 && int64_t{first} + n - 1 <= a.extent(1)) {
            T* to = a.data() + (first - 1);
            ((*to++ = static_cast<T>(v)), ...);
            return;
        }
        int32_t j = first;
        ((at(array, a, j++) = static_cast<T>(v)), ...);
    }

    // Slot j of a block of n after position base at [j], when the block
    // lies inside the array; else null.
    template <class T>
    static T* block_in(FArray<T, 1>& a, int32_t base, int32_t n) {
        return base >= 0 && n > 0 && int64_t{base} + n <= a.extent(1) ? a.data() + base - 1 : nullptr;
    }

    std::string_view name_;  // the routine's name, a literal
    bool file_open_ = false;
    int32_t instance_ = 0, node_base_ = 0, subs_base_ = 0, pgb_base_ = 0, cx_base_ = 0, xfmr_ = 0;
    int32_t stol_base_ = 0, stoi_base_ = 0, stof_base_ = 0, stoc_base_ = 0;
    std::array<int32_t, 3> ss_{}, br_base_{};
    double* stof_at_ = nullptr;
    int32_t* stoi_at_ = nullptr;
    double* pgb_at_ = nullptr;
    int32_t stof_n_ = 0, stoi_n_ = 0, pgb_n_ = 0;
};

// The five output-side constants of a module's three-phase meter: power
// gain 1.0, voltage scale, time constant 0.02 s, window frequency, and a
// fifth that nothing reads.
struct MeterConstants {
    double gain, scale, tau, freq;
};
void PUT_METER_CONSTANTS(const ModuleFrame& f, double scale, double freq);
// Inline, like the helper below, so that the frame stays out of memory.
inline MeterConstants READ_METER_CONSTANTS(const ModuleFrame& f) {
    const std::array<double, 5> r = f.next_rtcf_block<5>();
    return {r[0], r[1], r[2], r[3]};
}
// 1 / |v|, or 1.0 when |v| is at most 1e-20.
double INVERSE_OR_ONE(double v);

// A panel value kept in STORI(pos): sent on the first step of a run or
// when it changed.
inline void SHOW_ON_CHANGE(const ModuleFrame& f, int32_t pos, int32_t id, int32_t value, const char* name) {
    int32_t& kept = f.at("STORI", STORAGE.STORI, pos);
    if (is_true(RUN_FLAGS.FIRST_STEP_RUN) || value != kept)
        PANEL_INT(f.instance(), id, value, name, static_cast<int32_t>(std::string_view(name).size()));
    kept = value;
}
