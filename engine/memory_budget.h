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
bool fits_in_memory(ByteCount bytes);

// The most that the arrays sized by one case's files may take together:
// storage, subsystem matrices and channel lists, whatever the machine has.
constexpr uint64_t CASE_BYTES_BOUND = uint64_t{768} << 20;
// Whether `more` bytes can be had beside the `held` ones of the case: they
// fit the memory left, and the two together the case's bound.
bool fits_case(ByteCount held, ByteCount more);

// The failed-allocation message, then the abort of the routine.
[[noreturn]] void REFUSE_ALLOCATION(const Text12& routine);
