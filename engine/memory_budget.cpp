#include "engine/memory_budget.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <string>

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

constexpr ByteCount kMiB = ByteCount{1} << 20;

// A count of MiB in decimal: a hostile size's may pass 64 bits.
std::string mib_text(ByteCount n) {
    std::string digits;
    do {
        digits.insert(digits.begin(), static_cast<char>('0' + static_cast<int>(n % 10)));
        n /= 10;
    } while (n != 0);
    return digits;
}

// The failed-allocation lines, the first with the given flag: 2 when they
// are the message, 0 when a line before them opened it.
void say_memory_lines(int32_t flag) {
    USERMSG(0, 0, 2, flag, "Memory requirement too high, Errors in allocation. ");
    USERMSG(0, 0, 2, -1, "Try optimize memory allocation in Project Settings or use 64-bit build of library.");
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

Shortfall memory_shortfall(ByteCount bytes) {
    const uint64_t left = memory_left_bytes();
    if (bytes <= left) return {};
    return {Shortfall::By::MemoryLeft, bytes, left};
}

bool fits_in_memory(ByteCount bytes) { return !memory_shortfall(bytes); }

Shortfall case_shortfall(ByteCount held, ByteCount more) {
    if (held + more > CASE_BYTES_BOUND) return {Shortfall::By::CaseBound, held + more, CASE_BYTES_BOUND};
    return memory_shortfall(more);
}

bool fits_case(ByteCount held, ByteCount more) { return !case_shortfall(held, more); }

void say_shortfall(const Shortfall& s, int32_t flag) {
    // What is needed rounded up, what holds it rounded down: the first is
    // always the larger.
    const std::string need = mib_text((s.need + kMiB - 1) / kMiB), limit = mib_text(s.limit / kMiB);
    if (s.by == Shortfall::By::CaseBound)
        USERMSG(0, 0, 2, flag, "The case's arrays need " + need + " MiB, beyond a case's bound of " + limit + " MiB.");
    else
        USERMSG(0, 0, 2, flag,
                "The case's new arrays need " + need + " MiB, beyond the " + limit + " MiB of memory left.");
}

void REFUSE_ALLOCATION(const Text12& routine) {
    say_memory_lines(2);
    ABORT_RUN(routine, 0);
}

void REFUSE_ALLOCATION(const Text12& routine, const Shortfall& s) {
    say_shortfall(s, 3);
    say_memory_lines(0);
    ABORT_RUN(routine, 0);
}
