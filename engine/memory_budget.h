// Whether the storage a case asks for can be had at all, told before any
// of it is created: a requirement beyond the machine's physical memory is
// refused at once instead of being allocated and zero-filled until the
// system gives out.
#pragma once

#include <cstdint>
#include <initializer_list>

#include "platform/fixed_text.h"

// Bytes added up without overflow: extents up to 2^31 in four dimensions.
using ByteCount = unsigned __int128;

// Bytes of an array of elements of elem_size with the given extents (a
// negative extent counts as 0).
ByteCount array_bytes(uint64_t elem_size, std::initializer_list<int64_t> extents);

// The machine's physical memory in bytes.
uint64_t physical_memory_bytes();
bool fits_in_memory(ByteCount bytes);

// The failed-allocation message, then the abort of the routine.
[[noreturn]] void REFUSE_ALLOCATION(const Text12& routine);
