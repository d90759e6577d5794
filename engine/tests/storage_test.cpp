// The storage: available sizes from the requirements, the shapes of the
// tables, the online tables, the output-channel lists and freeing; and
// clearing it at the start of every run: the start values it gives, what
// it leaves alone, and VAR carried from one run to the next.
#include <climits>
#include <complex>

#include "engine/tests/storage_test_support.h"
#include "lines/lines.h"
#include "network/network_tables.h"
#include "snapshot/run_output.h"

namespace {

using StorageAlloc = StorageTest;

TEST_F(StorageAlloc, AvailableSizesFromTheRequirements) {
    allocate({{ND_UMEC, 3}});
    for (int k = 1; k <= NDIMS; ++k) {
        if (k == ND_UMEC || k == ND_PGBS || k == ND_METERS || (k >= 65 && k <= 68)) continue;
        EXPECT_EQ(DIMBLOCK.AVAIL[k], 1) << k;  // a requirement of 0 still gets one entry
    }
    EXPECT_EQ(DIMBLOCK.AVAIL[ND_UMEC], 10);
    // The online tables' sizes are not this rule's.
    EXPECT_EQ(DIMBLOCK.AVAIL[ND_METERS], 0);
    EXPECT_EQ(DIMBLOCK.AVAIL[66], 0);
    EXPECT_TRUE(STORAGE.created);

    reset_storage_engine();
    allocate({{ND_UMEC, 12}, {ND_STOR, 10500}, {ND_NODES, 7}});
    EXPECT_EQ(DIMBLOCK.AVAIL[ND_UMEC], 12);
    EXPECT_EQ(DIMBLOCK.AVAIL[ND_STOR], 10500);
    EXPECT_EQ(STORAGE.STOR.size(), 10500);
}

TEST_F(StorageAlloc, OutputChannelsKeepTenSparePlaces) {
    for (const auto& [pgbs, avail] : {std::pair{0, 10}, {9, 10}, {10, 20}, {19, 20}, {20, 30}, {25, 30}}) {
        reset_storage_engine();
        allocate({{ND_PGBS, pgbs}});
        EXPECT_EQ(DIMBLOCK.AVAIL[ND_PGBS], avail) << pgbs;
        EXPECT_EQ(STORAGE.PGB.size(), avail);
        EXPECT_EQ(STORAGE.MPGBS.size(), avail);
        EXPECT_EQ(STORAGE.PGBNAME.size(), avail);
    }
}

TEST_F(StorageAlloc, ShapesOfTheTables) {
    allocate({{ND_NODES, 4}, {ND_SUBSYS, 3}, {ND_BRANCHES, 5}, {ND_WINDINGS, 3}, {ND_TRAFOS, 2}, {ND_NPAGES, 6},
              {ND_SPARSITY, 7}, {ND_MAXMODES, 2}, {ND_MAXMODES_PH, 3}, {ND_TLINES_TOTAL, 2}, {ND_ENI_SERVERS, 2},
              {ND_ENI_CLIENTS, 3}, {ND_STORC, 9}, {ND_RTCI, 8}});
    const NetworkTables& n = NET;
    const XfmrTables& x = XFMR_TABLES;
    const LineTables& l = LINE_TABLES;
    // Line ends of any kind fit the widest conductor count (TLCUR, TLGMAT).
    const std::pair<int64_t, int64_t> shapes[] = {
        {n.VNODE.extent(1), 4}, {n.VNODE.extent(2), 3}, {n.IEF.extent(1), 5}, {n.IEF.extent(2), 3},
        {n.LOWCOL.extent(1), 7}, {n.UPEND.extent(1), 4}, {n.NBUSES.size(), 3}, {n.BRCHG.size(), 5},
        {n.IDNODES.extent(2), 2}, {n.CINJ.size(), 4}, {n.CBRT.size(), 5}, {STORAGE.TXFR.extent(1), 6},
        {STORAGE.TXFR.extent(2), 4}, {STORAGE.STORC.size(), 9}, {STORAGE.RTCI.size(), 8}, {x.XF_RES.size(), 18},
        {x.XF_BFLUX.extent(1), 23}, {x.XF_BHX.extent(1), 10}, {x.XF_ROW.size(), 6}, {x.XF_RLIN.extent(1), 6},
        {x.XF_RLIN.extent(2), 3}, {x.XF_NSS.size(), 3}, {l.TLINE_REC.extent(1), 2}, {l.TLINE_REC.extent(2), 13},
        {l.TLCUR.extent(1), 3}, {l.TLCUR.extent(2), 2}, {l.TLGMAT.extent(2), 3}, {l.ENI_HOST.size(), 5},
        {l.ENI_CLI_NODES.extent(2), 3}, {l.TLD_PSI.size(), 1}};
    for (size_t k = 0; k < std::size(shapes); ++k) EXPECT_EQ(shapes[k].first, shapes[k].second) << "entry " << k;
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
    DIMBLOCK.REQ[ND_NODES] = DIMBLOCK.REQ[ND_SUBSYS] = INT32_MAX;
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

    // Read from a map file, the failure stops the dimension reader.
    reset_storage_engine();
    const TempDir dir;
    const ScopedChdir here(dir.path);
    ASSERT_TRUE(dir.ok() && here.ok);
    ASSERT_TRUE(unit_open(80, "big.map", UnitMode::Write));
    unit_write_line(80, "DIMENSIONS:\n NODES = 60000\n SUBSYS = 2000000000\nPARAMETERS:");
    unit_close(80);
    RUN_SEQ.START_MODE = "SNAP";
    INPUT.MAP_FILE_NAME = "big.map";
    INPUT.DATA_FILE_NAME = "big.map";
    const Captured c = capture([] {
        OPENFILE();
        RDDIM();
    });
    EXPECT_TRUE(c.aborted);
    EXPECT_EQ(c.out.rfind(" Problems in dynamic allocation from data file\n", 0), 0u) << c.out;
    EXPECT_TRUE(contains(c.out, "ERROR: Abnormal termination of ZARIK by RDDIM"));
}

TEST_F(StorageAlloc, OnlineTablesFromTheirCounts) {
    ALLOC_ONLINE(0, 0, 0, 0, 0);
    const MeterTables& m = METER_TABLES;
    EXPECT_EQ(m.METER_VAL.size(), 1);
    EXPECT_EQ(m.METER3_LIST_B.size(), 1 * 3 * 1 * 2);
    EXPECT_EQ(DIMBLOCK.AVAIL[ND_METERS], 1);
    EXPECT_EQ(DIMBLOCK.REQ[ND_METERS], 0);

    ALLOC_ONLINE(2, 3, 4, 5, 6);
    EXPECT_EQ(m.counts, (std::array<int32_t, 5>{2, 3, 4, 5, 6}));
    EXPECT_EQ(DIMBLOCK.REQ[ND_METERS], 2);
    EXPECT_EQ(DIMBLOCK.REQ[65], 3);
    EXPECT_EQ(DIMBLOCK.REQ[68], 6);
    EXPECT_EQ(DIMBLOCK.AVAIL[67], 5);
    const std::pair<int64_t, int64_t> shapes[] = {
        {m.METER_DEF.extent(1), 2}, {m.METER_DEF.extent(2), 2}, {m.METER_NODES.extent(2), 3},
        {m.METER3_REF.size(), 3}, {m.METER3_LIST_A.extent(3), 4}, {m.METER3_LIST_B.extent(3), 5},
        {m.METER3_LIST_C.extent(3), 6}, {m.METER3_LIST_C.extent(4), 2}, {m.METER3_VAL.extent(2), 3}};
    for (size_t k = 0; k < std::size(shapes); ++k) EXPECT_EQ(shapes[k].first, shapes[k].second) << "entry " << k;
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
    for (int k = 0; k < 2; ++k) {
        FREE_STORAGE();
        FREE_ONLINE();
        EXPECT_FALSE(STORAGE.created);
        EXPECT_FALSE(STORAGE.STOR.allocated());
        EXPECT_FALSE(NET.VNODE.allocated());
        EXPECT_FALSE(XFMR_TABLES.XF_RAMP.allocated());
        EXPECT_FALSE(LINE_TABLES.TLD_PSI.allocated());
        EXPECT_FALSE(STORAGE.RTCC.allocated());
    }
    // The storage can be had again afterwards.
    allocate({{ND_NODES, 2}});
    EXPECT_EQ(NET.VNODE.extent(1), 2);
}


class StorageClear : public StorageTest {
protected:
    void SetUp() override {
        StorageTest::SetUp();
        allocate({{ND_NODES, 3}, {ND_SUBSYS, 2}, {ND_BRANCHES, 4}, {ND_WINDINGS, 2}, {ND_TRAFOS, 2}, {ND_STOR, 5},
                  {ND_STORF, 5}, {ND_STORC, 2}, {ND_VARS, 3}, {ND_CONS, 2}, {ND_PGBS, 4}, {ND_TLINES_TOTAL, 2},
                  {ND_TLINES_PH, 1}, {ND_NUMMODES_PH, 2}, {ND_TLINES_MFDTD, 1}});
        // What a previous run leaves behind.
        const auto fill = [](auto v, auto&... a) { (a.fill(v), ...); };
        NetworkTables& n = NET;
        StorageArrays& s = STORAGE;
        XfmrTables& x = XFMR_TABLES;
        LineTables& l = LINE_TABLES;
        fill(9.0, n.VNODE, n.CNOR, n.GNOR, n.CHIST, n.TLINJ, n.GM_DIAG0, n.CBR, n.CCBR, n.GEQ, n.BRANCH_R,
             n.SSCHATLEV, n.GIDEAL);
        fill(2, n.IEF, n.NORBUS, n.NBUSES, n.NBRANCHES, n.NSWITCH, n.MXINV, n.SSMETHOD, x.XF_KIND, x.XF_NWDG);
        fill(LTRUE, n.IDEALSS, n.NORMARK, n.SWPEND, s.STORL);
        fill(LFALSE, n.SSINTERP, n.SSDETCHAT);
        fill(7.0, s.STOR, s.STORF, s.VAR, s.CON, s.PGB, s.CX, s.TX, s.RTCF);
        fill(4.0, x.XF_CUR, x.XF_BFLUX, x.XF_GEQ);
        fill(8.0, l.TLGMAT, l.PH_G, l.TLD_V);
        fill(8, l.TLINE_REC, l.PH_NODE1);
        s.STORC.fill({1.0, 2.0});
        s.NODE.fill(5);
        s.MPGBS.fill(6);
        s.PGBNAME.fill(Text200("Vout"));
        l.PH_NAME.fill(Text200("phase line"));
        l.TLD_INPUT_NAME.fill(Text200("mfdtd line"));
        l.TLNAME.fill(Text200("a line"));
        l.counters.NTLINES = 3;
        LINE_COUNTS.NTLMODAL = 2;
        LINE_COUNTS.NENICLI = 1;
        RUN_OUTPUT.mpgbs_count = 4;
        PARAMS.PRINT_DIMENSIONS = PARAMS.PRINT_PARAMETERS = INPUT.echo = LTRUE;
    }
};

TEST_F(StorageClear, StartValuesOfARun) {
    RUN_SEQ.IRUN = 1;
    CLEAR_STORAGE();
    const NetworkTables& n = NET;
    for (int s = 1; s <= 2; ++s) {
        SCOPED_TRACE(s);
        EXPECT_EQ(n.NBUSES(s) + n.NBRANCHES(s) + n.NSWITCH(s) + n.SSMETHOD(s) + XFMR_TABLES.XF_NSS(s), 0);
        EXPECT_EQ(n.IDEALSS(s), LFALSE);
        for (const auto* flag : {&n.SSINTERP, &n.SSEXTRAP, &n.SSRMCHAT, &n.SSDETCHAT}) EXPECT_EQ((*flag)(s), LTRUE);
        EXPECT_DOUBLE_EQ(n.SSCHATLEV(s), 0.001);
        EXPECT_DOUBLE_EQ(n.GIDEAL(s), 1.0e8);
        for (int k = 1; k <= 3; ++k) {
            EXPECT_EQ(n.VNODE(k, s), 0.0);
            EXPECT_EQ(n.GM_DIAG0(k, s), 0.0);
            EXPECT_EQ(n.NORMARK(k, s), LFALSE);
        }
        for (int b = 1; b <= 4; ++b) EXPECT_EQ(n.CBR(b, s), 0.0);
    }
    const StorageArrays& st = STORAGE;
    for (int64_t i = 1; i <= 5; ++i) EXPECT_EQ(st.STOR(i) + st.STORF(i), 0.0);
    EXPECT_EQ(st.STORC(2), std::complex<double>(0.0, 0.0));
    EXPECT_EQ(st.STORL(1), LFALSE);
    EXPECT_EQ(st.NODE(1), 0);
    for (double v : {st.CX(1), st.TX(1), st.RTCF(1), XFMR_TABLES.XF_CUR(1, 1), XFMR_TABLES.XF_BFLUX(23, 2),
                     LINE_TABLES.TLGMAT(1, 1, 1), LINE_TABLES.PH_G(1, 1, 1), LINE_TABLES.TLD_V(1, 1, 1)})
        EXPECT_EQ(v, 0.0);
    for (int64_t i = 1; i <= st.PGBNAME.size(); ++i) {
        EXPECT_EQ(st.PGB(i), 0.0);
        EXPECT_EQ(st.PGBNAME(i).str(), "PGB" + std::string(197, ' '));
    }
    for (int32_t v : {XFMR_TABLES.XF_KIND(2), LINE_TABLES.TLINE_REC(2, 13), LINE_TABLES.counters.NTLINES,
                      LINE_COUNTS.NTLMODAL, LINE_COUNTS.NENICLI, RUN_OUTPUT.mpgbs_count})
        EXPECT_EQ(v, 0);
    EXPECT_EQ(PARAMS.PRINT_DIMENSIONS, LFALSE);
    EXPECT_EQ(PARAMS.PRINT_PARAMETERS, LFALSE);
    EXPECT_EQ(INPUT.echo, LFALSE);
}

TEST_F(StorageClear, TablesItLeavesAlone) {
    CLEAR_STORAGE();
    const NetworkTables& n = NET;
    // Branch tables other than the currents keep the last run's values.
    EXPECT_EQ(std::vector<double>({n.GEQ(1, 1), n.BRANCH_R(2, 2), STORAGE.CON(2), XFMR_TABLES.XF_GEQ(2, 2, 2)}),
              std::vector<double>({9.0, 9.0, 7.0, 4.0}));
    EXPECT_EQ(std::vector<int32_t>({n.IEF(4, 2), n.NORBUS(1, 1), n.MXINV(2), n.SWPEND(1), STORAGE.MPGBS(1),
                                    XFMR_TABLES.XF_NWDG(1), LINE_TABLES.PH_NODE1(2)}),
              std::vector<int32_t>({2, 2, 2, LTRUE, 6, 2, 8}));
    EXPECT_EQ(LINE_TABLES.PH_NAME(1).trimmed(), "phase line");
    EXPECT_EQ(LINE_TABLES.TLD_INPUT_NAME(1).trimmed(), "mfdtd line");
    EXPECT_EQ(LINE_TABLES.TLNAME(2).trimmed(), "a line");
}

TEST_F(StorageClear, VarCarriesOverIntoALaterRunOnly) {
    RUN_SEQ.IRUN = 1;
    CLEAR_STORAGE();
    EXPECT_EQ(STORAGE.VAR(1), 0.0);
    FREE_STORAGE();
    CLEAR_STORAGE();  // without storage: nothing to do, nothing overrun
    EXPECT_FALSE(STORAGE.STOR.allocated());
    EXPECT_EQ(array_overrun_count(), 0);

    // A case read twice: the second run reuses the first run's storage.
    reset_storage_engine();
    read_case_head("storage_case.map", 1);
    ASSERT_TRUE(STORAGE.created);
    EXPECT_EQ(STORAGE.STOR.size(), 10020);
    EXPECT_EQ(STORAGE.STORF.size(), 1006);
    STORAGE.VAR(2) = 4.5;
    STORAGE.STORF(3) = 1.0;
    STORAGE.PGB(1) = 1.0;
    NET.IEF(1, 1) = 2;
    read_case_head("storage_case.map", 2);
    EXPECT_EQ(STORAGE.VAR(2), 4.5);
    EXPECT_EQ(STORAGE.STORF(3), 0.0);
    EXPECT_EQ(STORAGE.PGB(1), 0.0);
    EXPECT_EQ(NET.IEF(1, 1), 2);
    EXPECT_EQ(STORAGE.STOR.size(), 10020);
}

}  // namespace
