#include "engine/memory_budget.h"

#include <unistd.h>

#include <algorithm>

#include "engine/abort.h"

ByteCount array_bytes(uint64_t elem_size, std::initializer_list<int64_t> extents) {
    ByteCount bytes = elem_size;
    for (int64_t e : extents) bytes *= static_cast<ByteCount>(std::max<int64_t>(e, 0));
    return bytes;
}

uint64_t physical_memory_bytes() {
    const long pages = sysconf(_SC_PHYS_PAGES);
    const long page_size = sysconf(_SC_PAGESIZE);
    // A system that cannot tell gets the most a 64-bit process can address.
    if (pages <= 0 || page_size <= 0) return uint64_t{1} << 47;
    return static_cast<uint64_t>(pages) * static_cast<uint64_t>(page_size);
}

bool fits_in_memory(ByteCount bytes) { return bytes <= physical_memory_bytes(); }

void REFUSE_ALLOCATION(const Text12& routine) {
    USERMSG(0, 0, 2, 2, "Memory requirement too high, Errors in allocation. ");
    USERMSG(0, 0, 2, -1, "Try optimize memory allocation in Project Settings or use 64-bit build of library.");
    ABORT_RUN(routine, 0);
}
