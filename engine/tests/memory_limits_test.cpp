// Each allocation group is held, before it is created, against the memory
// left to the process: what the machine has available and what the
// address-space limit leaves; the storage and the subsystem matrices
// together against the case's bound as well. A snapshot's sizes are held
// against the length of its file first, then against their bounds. Every
// refusal comes before the arrays are created, so the program stays small
// while it refuses; one by the case's bound or the memory left first names
// what the arrays need and what held them.
#include <cmath>
#include <cstdlib>
#include <fstream>

#include "engine/memory_budget.h"
#include "network/tests/map_test_support.h"
#include "platform/tests/support/unit_ops.h"

namespace {

// Under the sanitizers the address space cannot be limited.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kLimited = false;
#else
constexpr bool kLimited = true;
#endif

// The program stayed small: under the sanitizers its shadow memory does
// not let it.
void expect_small(const ProgramResult& r) {
    if (kLimited) {
        EXPECT_LT(r.peak_rss_kb, 50 * 1024);
    }
}

// The whole program on a one-subsystem map with the given dimension and
// other section lines, its address space limited to limit_kb when given.
ProgramResult run_case(const std::string& dimensions, long limit_kb = 0, const std::string& sections = "") {
    const TempDir dir;
    std::ofstream(dir.file("big.map")) << "DIMENSIONS:\n SUBSYS = 1\n NPAGES = 1\n SUBSYSPAGE = 1\n"
                                       << dimensions << "PARAMETERS:\n"
                                       << " TIME_STEP = 50.0E-6\n FINISH_TIME = 1.0E-3\n"
                                       << sections << "ENDCASE\n";
    const std::string limit = limit_kb > 0 ? "ulimit -v " + std::to_string(limit_kb) + " && " : "";
    return run_program({"/bin/sh", "-c", limit + "exec " + bare_program() + " -startup:alone"},
                       "0\n0\nbig.map\n1\n0\n0\n", dir.path, 30000);
}

const std::string kStorageRefused = " Problems in dynamic allocation from data file\n" +
                                    abort_frame_of("RDDIM", 1, "PARAMETERS:", "big.map");

const std::string kMatricesRefused = " ***ERROR** Memory requirement too high, Errors in allocation. \n"
                                     " ***ERROR** Try optimize memory allocation in Project Settings or use 64-bit "
                                     "build of library.\n" +
                                     abort_frame("ALLOCATION");

const uint64_t kBoundMiB = CASE_BYTES_BOUND >> 20;
const std::string kBeyondBound = " ***ERROR** The case's arrays need ";
const std::string kBeyondMemory = " ***ERROR** The case's new arrays need ";

std::string from(const ProgramResult& r, const std::string& text) {
    const size_t at = r.out.find(text.substr(0, text.find('\n')));
    return at == std::string::npos ? r.out : r.out.substr(at);
}

// The number after `prefix` in the output, and after the `nth` number
// that follows it; 0 when there is none.
uint64_t number_after(const std::string& out, const std::string& prefix, int nth = 0) {
    size_t at = out.find(prefix);
    if (at == std::string::npos) return 0;
    at += prefix.size();
    for (int k = 0; k < nth; ++k) at = out.find_first_of("0123456789", out.find_first_not_of("0123456789", at));
    return std::strtoull(out.c_str() + at, nullptr, 10);
}

std::string beyond_bound(uint64_t need_mib) {
    return kBeyondBound + std::to_string(need_mib) + " MiB, beyond a case's bound of " + std::to_string(kBoundMiB) +
           " MiB.\n";
}

std::string beyond_memory(uint64_t need_mib, uint64_t left_mib) {
    return kBeyondMemory + std::to_string(need_mib) + " MiB, beyond the " + std::to_string(left_mib) +
           " MiB of memory left.\n";
}

// 2.8 GB of doubles and 2.8 GB of integers under a 4 GB limit.
TEST(MemoryLimits, TwoStorageArraysBeyondTheAddressSpaceLimit) {
    if (!kLimited) GTEST_SKIP() << "no address-space limit under the sanitizers";
    const ProgramResult r = run_case(" STOF = 350000000\n STOI = 700000000\n", 4L * 1024 * 1024);
    ASSERT_FALSE(r.timed_out) << r.out;
    EXPECT_EQ(from(r, kStorageRefused), kStorageRefused);
    EXPECT_EQ(r.exit_code, 208);
    expect_small(r);
}

// The solution matrices of a 10,000-node subsystem take 1,717 MiB, beyond
// the memory that a 1 GiB limit leaves: the line names both.
TEST(MemoryLimits, SolutionMatricesBeyondTheAddressSpaceLimit) {
    if (!kLimited) GTEST_SKIP() << "no address-space limit under the sanitizers";
    const ProgramResult r = run_case(" NODES = 10000\n SPARSITY = 100\n", 1024L * 1024, "SUBSYSDIM:\n 1 10000\n");
    ASSERT_FALSE(r.timed_out) << r.out;
    const uint64_t need = number_after(r.out, kBeyondMemory), left = number_after(r.out, kBeyondMemory, 1);
    EXPECT_GE(need, 1717u) << r.out;
    EXPECT_LE(need, 1717u + 16) << r.out;
    EXPECT_GT(left, 0u) << r.out;
    EXPECT_LT(left, 1024u) << r.out;
    const std::string refused = beyond_memory(need, left) + kMatricesRefused;
    EXPECT_EQ(from(r, refused), refused);
    EXPECT_EQ(r.exit_code, 208);
    expect_small(r);
}

// A case whose arrays go beyond the case's bound, on any machine, is
// refused before any of them is created, after a line that names what they
// need: beyond the bound by at most `over` MiB. The sizes follow the bound.
struct BeyondBound {
    const char* label;
    std::string dimensions;
    std::string sections;
    std::string refusal;
    uint64_t over;
};
void PrintTo(const BeyondBound& c, std::ostream* os) { *os << c.label; }

// The most nodes whose matrices (18 bytes a cell) fit the bound.
int64_t nodes_within_bound() {
    int64_t n = static_cast<int64_t>(std::sqrt(static_cast<double>(CASE_BYTES_BOUND / 18)));
    while (18 * n * n > static_cast<int64_t>(CASE_BYTES_BOUND)) --n;
    while (18 * (n + 1) * (n + 1) <= static_cast<int64_t>(CASE_BYTES_BOUND)) ++n;
    return n;
}

void expect_beyond_bound(const BeyondBound& c) {
    const ProgramResult r = run_case(c.dimensions, 0, c.sections);
    ASSERT_FALSE(r.timed_out) << r.out;
    const uint64_t need = number_after(r.out, kBeyondBound);
    EXPECT_GT(need, kBoundMiB) << r.out;
    EXPECT_LE(need, kBoundMiB + c.over) << r.out;
    const std::string refused = beyond_bound(need) + c.refusal;
    EXPECT_EQ(from(r, refused), refused);
    EXPECT_EQ(r.exit_code, 208);
    expect_small(r);
}

// Matrices for the most nodes the bound holds, and VARS's 256 MiB (the
// values and the transformers' work list) beside them: each fits the
// bound, the two together do not, and neither is created.
TEST(MemoryLimits, StorageAndMatricesBeyondTheCaseBound) {
    const std::string n = std::to_string(nodes_within_bound());
    expect_beyond_bound({"", " NODES = " + n + "\n SPARSITY = 100\n VARS = 16777216\n", "SUBSYSDIM:\n 1 " + n + "\n",
                         kMatricesRefused, 256 + 16});
}

class CaseBeyondItsBound : public testing::TestWithParam<BeyondBound> {};

TEST_P(CaseBeyondItsBound, IsRefusedBeforeAnythingIsCreated) { expect_beyond_bound(GetParam()); }

INSTANTIATE_TEST_SUITE_P(
    Sizes, CaseBeyondItsBound,
    testing::Values(
        // The storage alone: the sparsity lists take two 4-byte entries a
        // place, the bound's worth with the other arrays beside them.
        BeyondBound{"Storage", " NODES = 2\n SPARSITY = " + std::to_string(CASE_BYTES_BOUND / 8) + "\n", "",
                    kStorageRefused, 1},
        // The scan before the storage takes USE_SUBSYSDIM from every
        // "PARAMETERS:" section, the reader from the first only: the small
        // per-subsystem set was held, the matrices are the whole set of one
        // node more than the bound holds.
        BeyondBound{"MatricesOfTheLayoutTheReaderTakes",
                    " NODES = " + std::to_string(nodes_within_bound() + 1) + "\n SPARSITY = 100\n",
                    "SUBSYSDIM:\n 1 100\nPARAMETERS:\n USE_SUBSYSDIM = YES\n", kMatricesRefused, 16}),
    [](const testing::TestParamInfo<BeyondBound>& p) { return std::string(p.param.label); });

// The same nodes in one set per subsystem, where the subsystem has 100:
// its matrices are small, and the case runs.
TEST(MemoryLimits, SmallSubsystemsOfALargeNodeCountRun) {
    const ProgramResult r = run_case(" NODES = 20000\n SPARSITY = 100\n", 0,
                                     " USE_SUBSYSDIM = YES\nSUBSYSDIM:\n 1 100\n");
    ASSERT_FALSE(r.timed_out) << r.out;
    EXPECT_EQ(r.exit_code, 0) << r.out;
    expect_small(r);
}

// A NODES line without SPARSITY sizes the sparsity lists for a full
// matrix: 6,000 nodes ask for 18 million entries, which the memory bound,
// not the dimension bound, holds.
TEST(MemoryLimits, SparsityOfANodeCountWithoutItsLineIsHeldByTheMemory) {
    const ProgramResult r = run_case(" NODES = 6000\n", 0, " USE_SUBSYSDIM = YES\nSUBSYSDIM:\n 1 100\n");
    ASSERT_FALSE(r.timed_out) << r.out;
    EXPECT_EQ(r.exit_code, 0) << r.out;
}

TEST(MemoryLimits, TheCaseBoundHoldsWhateverTheMemoryLeft) {
    EXPECT_TRUE(fits_case(0, 1 << 20));
    EXPECT_FALSE(fits_case(0, ByteCount{CASE_BYTES_BOUND} + 1));
    EXPECT_FALSE(fits_case(CASE_BYTES_BOUND - 10, 20));
    // The held bytes count against the bound, not against the memory left.
    const Shortfall s = case_shortfall(CASE_BYTES_BOUND - 10, 20);
    EXPECT_TRUE(s.by == Shortfall::By::CaseBound && s.need == ByteCount{CASE_BYTES_BOUND} + 10 &&
                s.limit == CASE_BYTES_BOUND);
    EXPECT_FALSE(case_shortfall(CASE_BYTES_BOUND - 10, 10));
    const Shortfall m = memory_shortfall(ByteCount{1} << 100);
    EXPECT_TRUE(m.by == Shortfall::By::MemoryLeft && m.need == ByteCount{1} << 100 && m.limit < uint64_t{1} << 62);
}

// What is needed rounds up, what holds it down, so that a refusal never
// names a need within its limit; a hostile size's MiB pass 64 bits.
TEST(MemoryLimits, TheShortfallsLineInMiB) {
    const auto line = [](Shortfall s) { return capture([&] { say_shortfall(s, 1); }).out; };
    const uint64_t mib = uint64_t{1} << 20;
    EXPECT_EQ(line({Shortfall::By::CaseBound, ByteCount{CASE_BYTES_BOUND} + 1, CASE_BYTES_BOUND}),
              beyond_bound(kBoundMiB + 1));
    EXPECT_EQ(line({Shortfall::By::MemoryLeft, 3 * mib + 1, 3 * mib - 1}), beyond_memory(4, 2));
    EXPECT_EQ(line({Shortfall::By::MemoryLeft, ByteCount{1} << 100, 5 * mib}),
              beyond_memory(0, 5).replace(kBeyondMemory.size(), 1, "1208925819614629174706176"));
}

// The node map of the largest count would take 17.2 GB: beyond its bound,
// it is refused on any machine without a limit, before anything is created.
TEST(MemoryLimits, NodeMapOfTheLargestCountWithoutALimit) {
    const ProgramResult r = run_case(" NNODES = 2147483647\n");
    ASSERT_FALSE(r.timed_out) << r.out;
    EXPECT_EQ(from(r, kStorageRefused), kStorageRefused);
    EXPECT_EQ(r.exit_code, 208);
    expect_small(r);
}

// A small example snapshot whose dimension line names a count far beyond
// what its 7.8 kB hold, restored under a memory cap: a length check that
// let it through would end on the memory check's message, not take the
// machine.
struct Oversized {
    const char* snapshot;
    const char* dimension;
    // A row without a fixture of its own: the STXFRF fixture with STXFRF
    // back to 0 and the line `was` raised to `raised`.
    const char* was = nullptr;
    const char* raised = nullptr;
    // A count that its file could hold but the bound of its dimension does not.
    bool beyond_bound = false;
};
void PrintTo(const Oversized& c, std::ostream* os) { *os << c.snapshot; }

class SnapshotBeyondItsLength : public testing::TestWithParam<Oversized> {};

TEST_P(SnapshotBeyondItsLength, IsRefusedBeforeAnythingIsCreated) {
    const Oversized& c = GetParam();
    const TempDir dir;
    std::string folder = std::string(ZARIK_SOURCE_DIR) + "/engine/tests/fixtures";
    if (c.raised) {
        std::string text = read_file(folder + "/snap_stxfrf_huge.snp");
        const auto raise = [&text](const std::string& from, const std::string& to) {
            const size_t at = text.find(from);
            ASSERT_NE(at, std::string::npos) << from;
            text.replace(at, from.size(), to);
        };
        raise(" STXFRF                = 1000000000 1000000000", " STXFRF                =       0               1");
        raise(c.was, c.raised);
        write_file(dir.file(c.snapshot), text);
        folder = dir.path;
    }
    const ProgramResult r =
        run_program({"/bin/sh", "-c", memory_cap(1024) + "exec " + bare_program() + " -startup:alone"},
                    "1\n0\n0\n1\n0\n0\n" + std::string(c.snapshot) + "\n0.02\n", folder, 30000);
    ASSERT_FALSE(r.timed_out) << r.out;
    const std::string refusal = c.beyond_bound ? " ERROR: Dimension " + std::string(c.dimension) +
                                                     "\n Problems in dynamic allocation from data file"
                                               : " ERROR: The snapshot file is too short for its dimension " +
                                                     std::string(c.dimension);
    const std::string refused = refusal + "\n" + abort_frame_of("RDDIM", 1, " PARAMETERS:", c.snapshot);
    EXPECT_EQ(from(r, refused), refused);
    EXPECT_EQ(r.exit_code, 208);
    expect_small(r);
}

INSTANTIATE_TEST_SUITE_P(Dimensions, SnapshotBeyondItsLength,
                         testing::Values(Oversized{"snap_stxfrf_huge.snp", "STXFRF = 1000000000"},
                                         Oversized{"snap_nnodes_huge.snp", "NNODES = 2147483647"},
                                         Oversized{"snap_subsys_huge.snp", "SUBSYS = 10000000",
                                                   " SUBSYS                =       1               1",
                                                   " SUBSYS                = 10000000        10000000"},
                                         Oversized{"snap_trafos_huge.snp", "TRAFOS = 10000000",
                                                   " TRAFOS                =       0               1",
                                                   " TRAFOS                = 10000000        10000000"},
                                         Oversized{"snap_cscs_huge.snp", "CSCS = 1000000",
                                                   " CSCS                  =       0               1",
                                                   " CSCS                  = 1000000         1000000"},
                                         Oversized{"snap_cons_huge.snp",
                                                   "CONS = 16777217 is beyond its bound of 16777216",
                                                   " CONS                  =       0               1",
                                                   " CONS                  = 16777217        16777217", true}),
                         [](const testing::TestParamInfo<Oversized>& p) {
                             const std::string n = p.param.snapshot;
                             return n.substr(5, n.find('_', 5) - 5);
                         });

}  // namespace
