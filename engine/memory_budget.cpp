#include "engine/memory_budget.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>

#include "engine/abort.h"

namespace {

uint64_t page_bytes() {
    const long size = sysconf(_SC_PAGESIZE);
    return size > 0 ? static_cast<uint64_t>(size) : 4096;
}

// What the machine can give without swapping: the kernel's estimate of
// available memory (free memory and the caches it can drop), else the
// free pages, else the whole memory.
uint64_t machine_available_bytes() {
    if (std::FILE* f = std::fopen("/proc/meminfo", "r")) {
        char line[256];
        unsigned long long kb = 0;
        bool found = false;
        while (!found && std::fgets(line, sizeof line, f))
            found = std::sscanf(line, "MemAvailable: %llu kB", &kb) == 1;
        std::fclose(f);
        if (found) return static_cast<uint64_t>(kb) * 1024;
    }
    long pages = sysconf(_SC_AVPHYS_PAGES);
    if (pages <= 0) pages = sysconf(_SC_PHYS_PAGES);
    // A system that cannot tell gets the most a 64-bit process can address.
    if (pages <= 0) return uint64_t{1} << 47;
    return static_cast<uint64_t>(pages) * page_bytes();
}

// The process's address space in use now.
uint64_t address_space_held() {
    unsigned long long pages = 0;
    if (std::FILE* f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%llu", &pages) != 1) pages = 0;
        std::fclose(f);
    }
    return static_cast<uint64_t>(pages) * page_bytes();
}

}  // namespace

ByteCount array_bytes(uint64_t elem_size, std::initializer_list<int64_t> extents) {
    ByteCount bytes = elem_size;
    for (int64_t e : extents) bytes *= static_cast<ByteCount>(std::max<int64_t>(e, 0));
    return bytes;
}

uint64_t memory_left_bytes() {
    uint64_t left = machine_available_bytes();
    rlimit limit{};
    if (getrlimit(RLIMIT_AS, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY) {
        const uint64_t cap = limit.rlim_cur, held = address_space_held();
        left = std::min(left, cap > held ? cap - held : 0);
    }
    return left;
}

bool fits_in_memory(ByteCount bytes) { return bytes <= memory_left_bytes(); }

bool fits_case(ByteCount held, ByteCount more) { return held + more <= CASE_BYTES_BOUND && fits_in_memory(more); }

void REFUSE_ALLOCATION(const Text12& routine) {
    USERMSG(0, 0, 2, 2, "Memory requirement too high, Errors in allocation. ");
    USERMSG(0, 0, 2, -1, "Try optimize memory allocation in Project Settings or use 64-bit build of library.");
    ABORT_RUN(routine, 0);
}
