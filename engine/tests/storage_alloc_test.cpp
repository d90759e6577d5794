// Creating the storage: available sizes from the requirements, the shapes
// of the tables, the online tables, the output-channel lists and freeing.
#include <climits>
#include <complex>
#include <cstdlib>

#include "engine/tests/storage_test_support.h"
#include "network/network_tables.h"

namespace {

using StorageAlloc = StorageTest;

TEST_F(StorageAlloc, AvailableSizesFromTheRequirements) {
    allocate({{ND_UMEC, 3}});
    for (int k = 1; k <= NDIMS; ++k) {
        if (k == ND_UMEC || k == ND_PGBS || k == 50 || (k >= 65 && k <= 68)) continue;
        EXPECT_EQ(DIMBLOCK.AVAIL[k], 1) << k;  // a requirement of 0 still gets one entry
    }
    EXPECT_EQ(DIMBLOCK.AVAIL[ND_UMEC], 10);
    EXPECT_EQ(DIMBLOCK.AVAIL[ND_PGBS], 10);
    // The online tables' sizes are not this rule's.
    EXPECT_EQ(DIMBLOCK.AVAIL[50], 0);
    EXPECT_EQ(DIMBLOCK.AVAIL[66], 0);
    EXPECT_TRUE(STORAGE.created);

    reset_storage_engine();
    allocate({{ND_UMEC, 12}, {ND_STOR, 10500}, {ND_NODES, 7}});
    EXPECT_EQ(DIMBLOCK.AVAIL[ND_UMEC], 12);
    EXPECT_EQ(DIMBLOCK.AVAIL[ND_STOR], 10500);
    EXPECT_EQ(STORAGE.STOR.size(), 10500);
}

TEST_F(StorageAlloc, OutputChannelsKeepTenSparePlaces) {
    const std::pair<int32_t, int32_t> cases[] = {{0, 10}, {9, 10}, {10, 20}, {19, 20}, {20, 30}, {25, 30}};
    for (const auto& [pgbs, avail] : cases) {
        reset_storage_engine();
        allocate({{ND_PGBS, pgbs}});
        EXPECT_EQ(DIMBLOCK.AVAIL[ND_PGBS], avail) << pgbs;
        EXPECT_EQ(STORAGE.PGB.size(), avail);
        EXPECT_EQ(STORAGE.MPGBS.size(), avail);
        EXPECT_EQ(STORAGE.PGBNAME.size(), avail);
    }
}

TEST_F(StorageAlloc, ShapesOfTheTables) {
    allocate({{ND_NODES, 4},
              {ND_SUBSYS, 3},
              {ND_BRANCHES, 5},
              {ND_WINDINGS, 3},
              {ND_TRAFOS, 2},
              {ND_NPAGES, 6},
              {ND_SPARSITY, 7},
              {ND_MAXMODES, 2},
              {ND_MAXMODES_PH, 3},
              {ND_TLINES_TOTAL, 2},
              {ND_ENI_SERVERS, 2},
              {ND_ENI_CLIENTS, 3},
              {ND_STORC, 9},
              {ND_RTCI, 8}});
    const NetworkTables& n = NET;
    EXPECT_EQ(n.VNODE.extent(1), 4);
    EXPECT_EQ(n.VNODE.extent(2), 3);
    EXPECT_EQ(n.IEF.extent(1), 5);
    EXPECT_EQ(n.IEF.extent(2), 3);
    EXPECT_EQ(n.LOWCOL.extent(1), 7);
    EXPECT_EQ(n.UPEND.extent(1), 4);
    EXPECT_EQ(n.NBUSES.size(), 3);
    EXPECT_EQ(n.BRCHG.size(), 5);
    EXPECT_EQ(n.IDNODES.extent(2), 2);
    EXPECT_EQ(n.CINJ.size(), 4);
    EXPECT_EQ(n.CBRT.size(), 5);
    EXPECT_EQ(STORAGE.TXFR.extent(1), 6);
    EXPECT_EQ(STORAGE.TXFR.extent(2), 4);
    EXPECT_EQ(STORAGE.STORC.size(), 9);
    EXPECT_EQ(STORAGE.RTCI.size(), 8);
    const XfmrTables& x = XFMR_TABLES;
    EXPECT_EQ(x.XF_RES.size(), 3 * 3 * 2);
    EXPECT_EQ(x.XF_BFLUX.extent(1), 23);
    EXPECT_EQ(x.XF_BHX.extent(1), 10);
    EXPECT_EQ(x.XF_ROW.size(), 6);
    EXPECT_EQ(x.XF_RLIN.extent(1), 6);
    EXPECT_EQ(x.XF_RLIN.extent(2), 3);
    EXPECT_EQ(x.XF_NSS.size(), 3);
    const LineTables& l = LINE_TABLES;
    EXPECT_EQ(l.TLINE_REC.extent(1), 2);
    EXPECT_EQ(l.TLINE_REC.extent(2), 13);
    // Line ends of any kind fit the widest conductor count.
    EXPECT_EQ(l.TLCUR.extent(1), 3);
    EXPECT_EQ(l.TLCUR.extent(2), 2);
    EXPECT_EQ(l.TLGMAT.extent(2), 3);
    EXPECT_EQ(l.ENI_HOST.size(), 5);
    EXPECT_EQ(l.ENI_CLI_NODES.extent(2), 3);
    EXPECT_EQ(l.TLD_PSI.size(), 1);
    // Only this one is given values when created.
    ASSERT_EQ(n.SWPEND.size(), 5);
    for (int64_t b = 1; b <= 5; ++b) EXPECT_EQ(n.SWPEND(b), LFALSE);
}

TEST_F(StorageAlloc, DeliveredValuesOnlyInASnapshotStart) {
    RUN_SEQ.START_MODE = "DATA";
    allocate({});
    EXPECT_FALSE(STORAGE.DX_ARRAY.allocated());
    FREE_STORAGE();
    RUN_SEQ.START_MODE = "SNAP";
    allocate({});
    EXPECT_EQ(STORAGE.DX_ARRAY.size(), 1);
}

TEST_F(StorageAlloc, SizesBeyondMemoryFailCleanly) {
    DIMBLOCK.REQ[ND_NODES] = INT32_MAX;
    DIMBLOCK.REQ[ND_SUBSYS] = INT32_MAX;
    int32_t status = 0;
    ALLOC_STORAGE(status);
    EXPECT_EQ(status, 1);
    EXPECT_FALSE(STORAGE.created);
    EXPECT_FALSE(NET.CNOR.allocated());
    EXPECT_FALSE(STORAGE.STOR.allocated());

    reset_storage_engine();
    DIMBLOCK.REQ[ND_PGBS] = INT32_MAX;  // its spare places do not fit 32 bits
    ALLOC_STORAGE(status);
    EXPECT_EQ(status, 1);
    EXPECT_FALSE(STORAGE.created);
}

TEST_F(StorageAlloc, FailedAllocationStopsTheDimensionReader) {
    char here[PATH_MAX];
    ASSERT_NE(getcwd(here, sizeof here), nullptr);
    char dir[] = "/tmp/zarik-storage-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    ASSERT_EQ(chdir(dir), 0);
    ASSERT_TRUE(unit_open(80, "big.map", UnitMode::Write));
    unit_write_line(80, "DIMENSIONS:\n NODES = 60000\n SUBSYS = 2000000000\nPARAMETERS:");
    unit_close(80);
    RUN_SEQ.START_MODE = "SNAP";
    INPUT.MAP_FILE_NAME = "big.map";
    INPUT.DATA_FILE_NAME = "big.map";
    const StorageCaptured c = capture_run([] {
        OPENFILE();
        RDDIM();
    });
    EXPECT_TRUE(c.aborted);
    EXPECT_EQ(c.out.rfind(" Problems in dynamic allocation from data file\n", 0), 0u) << c.out;
    EXPECT_NE(c.out.find("ERROR: Abnormal termination of ZARIK by RDDIM"), std::string::npos);
    close_all_units();
    EXPECT_EQ(chdir(here), 0);
    unlink((std::string(dir) + "/big.map").c_str());
    rmdir(dir);
}

TEST_F(StorageAlloc, OnlineTablesFromTheirCounts) {
    ALLOC_ONLINE(0, 0, 0, 0, 0);
    const MeterTables& m = METER_TABLES;
    EXPECT_EQ(m.METER_VAL.size(), 1);
    EXPECT_EQ(m.METER3_LIST_B.size(), 1 * 3 * 1 * 2);
    EXPECT_EQ(DIMBLOCK.AVAIL[50], 1);
    EXPECT_EQ(DIMBLOCK.REQ[50], 0);

    ALLOC_ONLINE(2, 3, 4, 5, 6);
    EXPECT_EQ(m.counts, (std::array<int32_t, 5>{2, 3, 4, 5, 6}));
    EXPECT_EQ(DIMBLOCK.REQ[50], 2);
    EXPECT_EQ(DIMBLOCK.REQ[65], 3);
    EXPECT_EQ(DIMBLOCK.REQ[68], 6);
    EXPECT_EQ(DIMBLOCK.AVAIL[67], 5);
    EXPECT_EQ(m.METER_DEF.extent(1), 2);
    EXPECT_EQ(m.METER_DEF.extent(2), 2);
    EXPECT_EQ(m.METER_NODES.extent(2), 3);
    EXPECT_EQ(m.METER3_REF.size(), 3);
    EXPECT_EQ(m.METER3_LIST_A.extent(3), 4);
    EXPECT_EQ(m.METER3_LIST_B.extent(3), 5);
    EXPECT_EQ(m.METER3_LIST_C.extent(3), 6);
    EXPECT_EQ(m.METER3_LIST_C.extent(4), 2);
    EXPECT_EQ(m.METER3_VAL.extent(2), 3);

    FREE_ONLINE();
    EXPECT_FALSE(m.METER_VAL.allocated());
    FREE_ONLINE();
    EXPECT_FALSE(m.METER3_VAL.allocated());
}

TEST_F(StorageAlloc, ChannelListGrowsKeepingItsContents) {
    allocate({{ND_PGBS, 5}});
    STORAGE.PGBNAME(3) = "Vout";
    STORAGE.PGB(3) = 1.5;
    STORAGE.MPGBS(2) = 7;
    REALLOC_PGBLIST(30);
    EXPECT_EQ(STORAGE.PGB.size(), 30);
    EXPECT_EQ(STORAGE.PGBNAME.size(), 30);
    EXPECT_EQ(STORAGE.MPGBS.size(), 30);
    EXPECT_EQ(STORAGE.PGBNAME(3).trimmed(), "Vout");
    EXPECT_EQ(STORAGE.PGBNAME(25).trimmed(), "PGB");
    EXPECT_DOUBLE_EQ(STORAGE.PGB(3), 1.5);
    EXPECT_EQ(STORAGE.MPGBS(2), 7);
    EXPECT_EQ(DIMBLOCK.AVAIL[ND_PGBS], 30);
    // A smaller count re-creates only the values.
    REALLOC_PGBLIST(-4);
    EXPECT_EQ(STORAGE.PGB.size(), 0);
    EXPECT_TRUE(STORAGE.PGB.allocated());
    EXPECT_EQ(STORAGE.PGBNAME.size(), 30);
    EXPECT_EQ(DIMBLOCK.AVAIL[ND_PGBS], 30);
}

TEST_F(StorageAlloc, FreeingTwiceIsHarmless) {
    allocate({{ND_NODES, 3}, {ND_SUBSYS, 1}});
    ALLOC_ONLINE(1, 1, 1, 1, 1);
    FREE_STORAGE();
    FREE_ONLINE();
    EXPECT_FALSE(STORAGE.created);
    EXPECT_FALSE(STORAGE.STOR.allocated());
    EXPECT_FALSE(NET.VNODE.allocated());
    EXPECT_FALSE(XFMR_TABLES.XF_RAMP.allocated());
    EXPECT_FALSE(LINE_TABLES.TLD_PSI.allocated());
    EXPECT_FALSE(STORAGE.RTCC.allocated());
    FREE_STORAGE();
    FREE_ONLINE();
    EXPECT_FALSE(STORAGE.created);
    // The storage can be had again afterwards.
    allocate({{ND_NODES, 2}});
    EXPECT_EQ(NET.VNODE.extent(1), 2);
}

}  // namespace
