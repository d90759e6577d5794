// The storage: sizes from the requirements, the output-channel lists and
// freeing; and clearing it at the start of every run, with VAR carried over.
#include <fstream>

#include "engine/tests/engine_test_support.h"
#include "network/network_tables.h"
#include "snapshot/run_output.h"

namespace {

using StorageAlloc = EngineTest;

TEST_F(StorageAlloc, AvailableSizesFromTheRequirements) {
    allocate({{ND_UMEC, 3}, {ND_NODES, 4}, {ND_SUBSYS, 3}, {ND_MAXMODES, 2}, {ND_MAXMODES_PH, 3},
              {ND_TLINES_TOTAL, 2}});
    EXPECT_EQ(DIMBLOCK.AVAIL[ND_UMEC], 10);
    EXPECT_EQ(DIMBLOCK.AVAIL[ND_STOR], 1);    // a requirement of 0 still gets one entry
    EXPECT_EQ(DIMBLOCK.AVAIL[ND_METERS], 0);  // the online tables have their own counts
    // Line ends of any kind fit the widest conductor count.
    const LineTables& l = LINE_TABLES;
    EXPECT_EQ(std::vector<int64_t>({NET.VNODE.extent(1), NET.VNODE.extent(2), l.TLCUR.extent(1), l.TLCUR.extent(3),
                                    l.TLGMAT.extent(2)}),
              std::vector<int64_t>({4, 3, 3, 2, 3}));

    for (const auto& [pgbs, avail] : {std::pair{0, 10}, {9, 10}, {10, 20}, {25, 30}}) {
        reset_engine();
        allocate({{ND_PGBS, pgbs}, {ND_UMEC, 12}});
        EXPECT_EQ(DIMBLOCK.AVAIL[ND_UMEC], 12);
        EXPECT_EQ(std::vector<int64_t>({DIMBLOCK.AVAIL[ND_PGBS], STORAGE.PGB.size(), STORAGE.MPGBS.size(),
                                        STORAGE.PGBNAME.size()}),
                  std::vector<int64_t>(4, avail))
            << pgbs;
    }
}

TEST_F(StorageAlloc, MeterTablesBoundByWhatOneFrameCarries) {
    allocate({});
    // 2097151 meter values fill one frame of 16 MiB; one more cannot come.
    for (const auto& [n1, n3, refused] :
         {std::tuple{2097151, 1, false}, {2097152, 1, true}, {1, 4194302, false}, {1, 4194303, true}}) {
        const Captured c = capture([&] { ALLOC_ONLINE(n1, 1, n3, 1, 1); });
        EXPECT_EQ(c.aborted, refused) << n1 << " " << n3;
        EXPECT_EQ(contains(c.out, "Memory requirement too high"), refused);
    }
}

TEST_F(StorageAlloc, ChannelListGrowsKeepingItsContents) {
    allocate({{ND_PGBS, 5}});
    StorageArrays& st = STORAGE;
    st.PGBNAME(3) = "Vout";
    st.PGB(3) = 1.5;
    st.MPGBS(2) = 7;
    REALLOC_PGBLIST(30);
    EXPECT_EQ(std::vector<int64_t>({st.PGB.size(), st.PGBNAME.size(), st.MPGBS.size(), DIMBLOCK.AVAIL[ND_PGBS]}),
              std::vector<int64_t>({30, 30, 30, 30}));
    EXPECT_EQ(st.PGBNAME(3).trimmed() + " " + st.PGBNAME(25).trimmed(), "Vout PGB");
    EXPECT_EQ(st.PGB(3), 1.5);
    EXPECT_EQ(st.MPGBS(2), 7);
    // A smaller count re-creates only the values.
    REALLOC_PGBLIST(-4);
    EXPECT_EQ(std::vector<int64_t>({st.PGB.size(), st.PGBNAME.size(), DIMBLOCK.AVAIL[ND_PGBS]}),
              std::vector<int64_t>({0, 30, 30}));
}

// Channel lists that would take the case beyond its bound are refused
// before they are made, whatever the machine has left.
TEST_F(StorageAlloc, ChannelListBeyondTheCaseBoundIsRefused) {
    allocate({{ND_PGBS, 5}});
    const int64_t entry = sizeof(double) + sizeof(Text200) + sizeof(int32_t);
    const int32_t count = static_cast<int32_t>(CASE_BYTES_BOUND / entry + 1);
    const ByteCount need = storage_bytes() + ByteCount{static_cast<uint64_t>(count * entry)};
    const Captured c = capture([&] { REALLOC_PGBLIST(count); });
    EXPECT_TRUE(c.aborted);
    EXPECT_EQ(c.out, " ***ERROR** The case's arrays need " +
                         std::to_string(static_cast<uint64_t>((need + (1 << 20) - 1) >> 20)) +
                         " MiB, beyond a case's bound of " + std::to_string(CASE_BYTES_BOUND >> 20) +
                         " MiB.\n"
                         " ***ERROR** Memory requirement too high, Errors in allocation. \n"
                         " ***ERROR** Try optimize memory allocation in Project Settings or use 64-bit build of "
                         "library.\n" +
                         abort_frame("REALLOC_PGBLIST"));
}

TEST_F(StorageAlloc, FreeingTwiceIsHarmless) {
    allocate({{ND_NODES, 3}, {ND_SUBSYS, 1}});
    ALLOC_ONLINE(1, 1, 1, 1, 1);
    for (int k = 0; k < 2; ++k) {
        FREE_STORAGE();
        FREE_ONLINE();
        EXPECT_FALSE(STORAGE.created || STORAGE.STOR.allocated() || NET.VNODE.allocated() ||
                     LINE_TABLES.TLD_PSI.allocated() || METER_TABLES.METER_VAL.allocated());
    }
    // The storage can be had again afterwards.
    allocate({{ND_NODES, 2}});
    EXPECT_EQ(NET.VNODE.extent(1), 2);
}

// How many elements of each array differ from v.
template <class T, class... A>
std::vector<int64_t> differing(const T& v, const A&... a) {
    return {std::count_if(a.data(), a.data() + a.size(), [&](const auto& x) { return !(x == v); })...};
}

TEST_F(StorageAlloc, ClearingGivesARunItsStartValuesAndLeavesTheRestAlone) {
    allocate({{ND_NODES, 3}, {ND_SUBSYS, 2}, {ND_BRANCHES, 4}, {ND_STOR, 5}, {ND_STORC, 2}, {ND_VARS, 3},
              {ND_CONS, 2}, {ND_PGBS, 4}});
    // What a previous run leaves behind.
    const auto fill = [](auto v, auto&... a) { (a.fill(v), ...); };
    NetworkTables& n = NET;
    StorageArrays& s = STORAGE;
    fill(9.0, n.VNODE, n.CBR, n.GEQ, n.SSCHATLEV, n.GIDEAL);
    fill(LTRUE, n.IDEALSS, n.SWPEND, s.STORL);
    fill(LFALSE, n.SSINTERP);
    fill(7.0, s.STOR, s.VAR, s.CON);
    s.STORC.fill({1.0, 2.0});
    s.MPGBS.fill(6);
    s.PGBNAME.fill(Text200("Vout"));
    RUN_OUTPUT.mpgbs_count = 4;
    RUN_SEQ.IRUN = 1;
    CLEAR_STORAGE();
    EXPECT_EQ(differing(0.0, n.VNODE, n.CBR, s.STOR, s.VAR), std::vector<int64_t>(4, 0));
    EXPECT_EQ(differing(LFALSE, n.IDEALSS, s.STORL), std::vector<int64_t>(2, 0));
    EXPECT_EQ(differing(LTRUE, n.SSINTERP), std::vector<int64_t>(1, 0));
    EXPECT_EQ(differing(std::complex<double>(), s.STORC), std::vector<int64_t>(1, 0));
    EXPECT_EQ(differing(0.001, n.SSCHATLEV), std::vector<int64_t>(1, 0));
    EXPECT_EQ(differing(1.0e8, n.GIDEAL), std::vector<int64_t>(1, 0));
    EXPECT_EQ(differing(Text200("PGB"), s.PGBNAME), std::vector<int64_t>(1, 0));
    EXPECT_EQ(RUN_OUTPUT.mpgbs_count, 0);
    // Branch tables other than the currents keep the last run's values.
    EXPECT_EQ(differing(9.0, n.GEQ), std::vector<int64_t>(1, 0));
    EXPECT_EQ(differing(7.0, s.CON), std::vector<int64_t>(1, 0));
    EXPECT_EQ(differing(LTRUE, n.SWPEND), std::vector<int64_t>(1, 0));
    EXPECT_EQ(differing(6, s.MPGBS), std::vector<int64_t>(1, 0));
}

TEST_F(StorageAlloc, VarCarriesOverIntoALaterRunOnly) {
    FREE_STORAGE();
    CLEAR_STORAGE();  // without storage: nothing to do, nothing overrun
    EXPECT_EQ(array_overrun_count(), 0);

    // A case read twice: the second run reuses the first run's storage.
    read_case_head("storage_case.map", 1);
    ASSERT_TRUE(STORAGE.created);
    EXPECT_EQ(STORAGE.STOR.size(), 10020);
    STORAGE.VAR(2) = 4.5, STORAGE.STORF(3) = 1.0, STORAGE.PGB(1) = 1.0, NET.IEF(1, 1) = 2;
    read_case_head("storage_case.map", 2);
    EXPECT_EQ(std::vector<double>({STORAGE.VAR(2), STORAGE.STORF(3), STORAGE.PGB(1), double(NET.IEF(1, 1)),
                                   double(STORAGE.STOR.size())}),
              std::vector<double>({4.5, 0.0, 0.0, 2.0, 10020.0}));
}

}  // namespace
