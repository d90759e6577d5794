// 1-based arrays of one to four dimensions, first index fastest.
//
// Every access is checked. An index outside the extents never touches
// memory outside the array: it lands on a spare element and is counted, so
// that the engine's own pointer checks can still report the overrun later.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <utility>
#include <vector>

// Counts the arrays made, freed or given another extent so far: views
// that hold an array's storage are good while it stays the same.
inline int64_t& farray_layouts() {
    static int64_t made = 0;
    return made;
}

// Counts every out-of-range access of any array since the last reset.
int64_t array_overrun_count();
void reset_array_overrun_count();
void note_array_overrun();

template <class T, int Rank>
class FArray {
    static_assert(Rank >= 1 && Rank <= 4, "ranks 1 to 4");

public:
    using value_type = T;

    FArray() = default;
    // Copies and moves give arrays new storage: they count as made.
    FArray(const FArray& o) : v_(o.v_), ext_(o.ext_), lim_(o.lim_), allocated_(o.allocated_) { ++farray_layouts(); }
    FArray(FArray&& o) noexcept
        : v_(std::move(o.v_)), ext_(o.ext_), lim_(o.lim_), allocated_(o.allocated_) {
        ++farray_layouts();
    }
    FArray& operator=(const FArray& o) {
        v_ = o.v_;
        ext_ = o.ext_;
        lim_ = o.lim_;
        allocated_ = o.allocated_;
        ++farray_layouts();
        return *this;
    }
    FArray& operator=(FArray&& o) noexcept {
        v_ = std::move(o.v_);
        ext_ = o.ext_;
        lim_ = o.lim_;
        allocated_ = o.allocated_;
        ++farray_layouts();
        return *this;
    }

    // Creates the array with the given extents (each >= 0), values T{}.
    template <class... E>
    void allocate(E... extents) {
        static_assert(sizeof...(E) == Rank, "one extent per dimension");
        ext_ = {static_cast<int64_t>(extents)...};
        int64_t n = 1;
        for (int d = 0; d < Rank; ++d) {
            lim_[d] = ext_[d] > 0 ? static_cast<uint64_t>(ext_[d]) : 0;
            n *= static_cast<int64_t>(lim_[d]);
        }
        v_.assign(static_cast<size_t>(n), T{});
        allocated_ = true;
        ++farray_layouts();
    }

    void free() {
        ++farray_layouts();
        std::vector<T>().swap(v_);
        ext_ = {};
        lim_ = {};
        allocated_ = false;
    }

    // A one-dimensional array checked to its first n elements, at most
    // those it holds: the others stay held, for a later call to take back.
    void set_extent(int64_t n)
        requires(Rank == 1)
    {
        ext_[0] = std::clamp<int64_t>(n, 0, size());
        lim_[0] = static_cast<uint64_t>(ext_[0]);
        ++farray_layouts();
    }

    bool allocated() const { return allocated_; }
    int64_t extent(int dim) const { return (dim >= 1 && dim <= Rank) ? ext_[dim - 1] : 0; }
    // The extent of dimension dim (1 to Rank), a negative one as 0: a
    // subscript less one in unsigned arithmetic is below it when in range.
    uint64_t limit(int dim) const { return lim_[dim - 1]; }
    int64_t size() const { return static_cast<int64_t>(v_.size()); }  // the elements held

    void fill(const T& value) { std::fill(v_.begin(), v_.end(), value); }

    // Whole-array storage for routines that walk it linearly.
    T* data() { return v_.data(); }
    const T* data() const { return v_.data(); }

    template <class... I>
    bool in_range(I... idx) const {
        static_assert(sizeof...(I) == Rank, "one index per dimension");
        const std::array<int64_t, Rank> ix = {static_cast<int64_t>(idx)...};
        // One unsigned test per index, as in operator().
        for (int d = 0; d < Rank; ++d)
            if (static_cast<uint64_t>(ix[d]) - 1 >= lim_[d]) return false;
        return true;
    }

    // 0-based position in the linear storage of indices in_range() takes,
    // where arrays of one shape hold one element's words.
    template <class... I>
    int64_t offset(I... idx) const {
        static_assert(sizeof...(I) == Rank, "one index per dimension");
        const std::array<int64_t, Rank> ix = {static_cast<int64_t>(idx)...};
        uint64_t pos = 0, stride = 1;
        for (int d = 0; d < Rank; ++d) {
            pos += (static_cast<uint64_t>(ix[d]) - 1) * stride;
            stride *= lim_[d];
        }
        return static_cast<int64_t>(pos);
    }

    template <class... I>
    T& operator()(I... idx) {
        static_assert(sizeof...(I) == Rank, "one index per dimension");
        const std::array<int64_t, Rank> ix = {static_cast<int64_t>(idx)...};
        // One unsigned test per index: below 1 wraps past every extent.
        uint64_t pos = 0, stride = 1;
        for (int d = 0; d < Rank; ++d) {
            const uint64_t i = static_cast<uint64_t>(ix[d]) - 1;
            if (i >= lim_[d]) [[unlikely]]
                return spare();
            pos += i * stride;
            stride *= lim_[d];
        }
        return v_.data()[pos];
    }
    template <class... I>
    const T& operator()(I... idx) const {
        return const_cast<FArray*>(this)->operator()(idx...);
    }

    // 1-based position in the linear storage, for callers that index an
    // array as a flat list.
    T& flat(int64_t pos) { return (pos >= 1 && pos <= size()) ? v_[pos - 1] : spare(); }
    const T& flat(int64_t pos) const { return const_cast<FArray*>(this)->flat(pos); }

private:
    T& spare() {
        note_array_overrun();
        spare_ = T{};
        return spare_;
    }

    std::vector<T> v_;
    std::array<int64_t, Rank> ext_{};
    std::array<uint64_t, Rank> lim_{};  // the extents, negative ones as 0
    bool allocated_ = false;
    T spare_{};
};

template <class T> using FArray1 = FArray<T, 1>;
template <class T> using FArray2 = FArray<T, 2>;
template <class T> using FArray3 = FArray<T, 3>;
template <class T> using FArray4 = FArray<T, 4>;
