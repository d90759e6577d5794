// Sizes beyond the memory left to the program are refused before anything
// is created, with the dimension reader's message for the storage arrays.
// The program runs under an address-space limit far below them.
#include <array>
#include <fstream>

#include "engine/abort.h"
#include "link/tests/link_test_support.h"
#include "network/tests/map_test_support.h"

namespace {

using namespace link_test;

// Under the sanitizers the address space cannot be limited.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kLimited = false;
#else
constexpr bool kLimited = true;
#endif

// The whole program in dir, its address space limited to 1 GiB.
ProgramResult run_limited(const std::string& args, const std::string& input, const std::string& dir) {
    const std::string limit = kLimited ? "ulimit -v 1048576 && " : "";
    return run_program({"/bin/sh", "-c", limit + "exec " + bare_program() + " " + args}, input, dir, 30000);
}

// A one-subsystem case with the given dimension lines.
ProgramResult run_case(const std::string& dimensions) {
    const TempDir dir;
    std::ofstream(dir.file("big.map")) << "DIMENSIONS:\n SUBSYS = 1\n NPAGES = 1\n SUBSYSPAGE = 1\n"
                                       << dimensions << "PARAMETERS:\n"
                                       << " TIME_STEP = 50.0E-6\n FINISH_TIME = 1.0E-3\n"
                                       << "ENDCASE\n";
    return run_limited("-startup:alone", "0\n0\nbig.map\n1\n0\n0\n", dir.path);
}

const std::string kRefused =
    " ***ERROR** Memory requirement too high, Errors in allocation. \n"
    " ***ERROR** Try optimize memory allocation in Project Settings or use 64-bit build of library.\n";

const std::string kNotCreated = " Problems in dynamic allocation from data file\n";

TEST(SizeBeyondMemory, IsRefusedBeforeAnythingIsCreated) {
    const ProgramResult r = run_case(" NODES = 2\n BRANCHES = 2000000000\n");
    ASSERT_FALSE(r.timed_out) << r.out;
    const size_t at = r.out.find(kNotCreated);
    EXPECT_EQ(at == std::string::npos ? r.out : r.out.substr(at),
              kNotCreated + abort_frame_of("RDDIM", 1, "PARAMETERS:", "big.map"));
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.exit_code, 208);
}

// A size the machine could hold but the limit cannot is refused as well,
// with the same message.
TEST(SizeBeyondTheLimitOnly, IsRefusedWithTheDimensionReadersMessage) {
    if (!kLimited) GTEST_SKIP() << "no address-space limit under the sanitizers";
    const ProgramResult r = run_case(" NODES = 2\n NNODES = 200000000\n");
    ASSERT_FALSE(r.timed_out) << r.out;
    EXPECT_FALSE(contains(r.out, kRefused));
    EXPECT_TRUE(contains(r.out, " Problems in dynamic allocation from data file\n")) << r.out;
    EXPECT_EQ(r.exit_code, 208);
}

// The refusal record that a front end gets for one frame of table sizes,
// and the run's end after it.
struct OnlineRefusal {
    std::string record;
    bool saw_shutdown = false;
    ProgramResult run;
};

OnlineRefusal refuse_table_sizes(std::array<int32_t, 5> n) {
    const TempDir dir;
    FakeFrontEnd fe;
    OnlineRefusal out;
    if (fe.Port() <= 0) return out;
    fe.Run([&](FakeFrontEnd& f) {
        if (!f.Accept()) return;
        f.SendInts({FE_SETUP_TABLE_SIZES, n[0], n[1], n[2], n[3], n[4]});
        while (auto got = f.ReadFrame()) {
            const int32_t code = got->Int();
            if (code == FE_MSG_USER && out.record.empty()) out.record = user_record(got);
            if (code == FE_SHUTDOWN) {
                out.saw_shutdown = true;
                f.SendInts({FE_SHUTDOWN});
                break;
            }
        }
    });
    out.run = run_limited("-v4 127.0.0.1 " + std::to_string(fe.Port()), "", dir.path);
    EXPECT_TRUE(fe.Join());
    return out;
}

const std::string kMemoryLines =
    "Memory requirement too high, Errors in allocation. |"
    "Try optimize memory allocation in Project Settings or use 64-bit build of library.";

// One 28-byte frame asking for meter tables of 2^31 - 1 entries.
TEST(MeterTablesBeyondOneFrame, AreRefusedAndTheRunAborts) {
    const OnlineRefusal o = refuse_table_sizes({2147483647, 1, 1, 1, 1});
    const ProgramResult& r = o.run;
    ASSERT_FALSE(r.timed_out) << r.out;
    EXPECT_EQ(o.record, "0 0 2 2 " + kMemoryLines);
    EXPECT_TRUE(o.saw_shutdown);
    EXPECT_TRUE(ends_with(r.out, abort_frame("ALLOC_ONLINE") + status_line(bare_program(), 2000))) << r.out;
    EXPECT_EQ(r.exit_code, 208);
}

// Lists that each fit a frame but together ask for 32 TiB: the record's
// first line names them and the memory left, the two usual lines follow.
TEST(MeterTablesBeyondTheMemoryLeft, AreNamedInTheRefusal) {
    const OnlineRefusal o = refuse_table_sizes({1, 699050, 4194302, 1, 1});
    const ProgramResult& r = o.run;
    ASSERT_FALSE(r.timed_out) << r.out;
    const std::string head = "0 0 2 3 The case's new arrays need 33554435 MiB, beyond the ";
    EXPECT_EQ(o.record.substr(0, head.size()), head);
    const size_t tail = o.record.find(" MiB of memory left.|");
    ASSERT_NE(tail, std::string::npos) << o.record;
    EXPECT_EQ(o.record.substr(tail), " MiB of memory left.|" + kMemoryLines);
    EXPECT_TRUE(o.saw_shutdown);
    EXPECT_TRUE(ends_with(r.out, abort_frame("ALLOC_ONLINE") + status_line(bare_program(), 2000))) << r.out;
    EXPECT_EQ(r.exit_code, 208);
}

}  // namespace
