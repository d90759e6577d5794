// Whether the storage a case asks for can be had, told before any of it is
// created: a requirement beyond the memory left to the process is refused
// at once instead of being allocated and zero-filled until the system, or
// the process's address-space limit, gives out.
#pragma once

#include <cstdint>
#include <initializer_list>

#include "platform/fixed_text.h"

// Bytes added up without overflow: extents up to 2^31 in four dimensions.
using ByteCount = unsigned __int128;

// Bytes of an array of elements of elem_size with the given extents (a
// negative extent counts as 0).
ByteCount array_bytes(uint64_t elem_size, std::initializer_list<int64_t> extents);

// The memory left to the process: what the machine has available, and
// what its address-space limit leaves beside what the process already
// holds, whichever is less.
uint64_t memory_left_bytes();

// The most that the arrays sized by one case's files may take together:
// storage, subsystem matrices and channel lists, whatever the machine has.
// It holds a 10,000-node subsystem (1,717 MiB of matrices) beside the
// storage of a real case.
constexpr uint64_t CASE_BYTES_BOUND = uint64_t{4096} << 20;

// Why arrays cannot be had: the bytes they need, and the case's bound or
// the memory left that these go beyond.
struct Shortfall {
    enum class By { Nothing, CaseBound, MemoryLeft };
    By by = By::Nothing;
    ByteCount need = 0;
    uint64_t limit = 0;
    explicit operator bool() const { return by != By::Nothing; }
};

// `bytes` held against the memory left.
Shortfall memory_shortfall(ByteCount bytes);
bool fits_in_memory(ByteCount bytes);
// `more` bytes beside the `held` ones of the case: the two together held
// against the case's bound, then `more` against the memory left.
Shortfall case_shortfall(ByteCount held, ByteCount more);
bool fits_case(ByteCount held, ByteCount more);

// The line that names a shortfall in MiB, as the first line of a message
// of `flag` lines (1: a message of its own).
void say_shortfall(const Shortfall& s, int32_t flag);

// The failed-allocation message, then the abort of the routine; a
// shortfall is named on a line before it.
[[noreturn]] void REFUSE_ALLOCATION(const Text12& routine);
[[noreturn]] void REFUSE_ALLOCATION(const Text12& routine, const Shortfall& s);
