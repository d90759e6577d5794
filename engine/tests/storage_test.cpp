// The storage: sizes from the requirements, the shapes of the tables, the
// online tables, the output-channel lists and freeing; and clearing it at
// the start of every run, with VAR carried from one run to the next.
#include <climits>
#include <complex>
#include <fstream>

#include "engine/tests/engine_test_support.h"
#include "lines/lines.h"
#include "network/network_tables.h"
#include "snapshot/run_output.h"

namespace {

using StorageAlloc = EngineTest;

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

    reset_engine();
    allocate({{ND_UMEC, 12}, {ND_STOR, 10500}, {ND_NODES, 7}});
    EXPECT_EQ(DIMBLOCK.AVAIL[ND_UMEC], 12);
    EXPECT_EQ(DIMBLOCK.AVAIL[ND_STOR], 10500);
    EXPECT_EQ(STORAGE.STOR.size(), 10500);
}

TEST_F(StorageAlloc, OutputChannelsKeepTenSparePlaces) {
    for (const auto& [pgbs, avail] : {std::pair{0, 10}, {9, 10}, {10, 20}, {19, 20}, {20, 30}, {25, 30}}) {
        reset_engine();
        allocate({{ND_PGBS, pgbs}});
        EXPECT_EQ(std::vector<int64_t>({DIMBLOCK.AVAIL[ND_PGBS], STORAGE.PGB.size(), STORAGE.MPGBS.size(),
                                        STORAGE.PGBNAME.size()}),
                  std::vector<int64_t>(4, avail))
            << pgbs;
    }
}

TEST_F(StorageAlloc, ShapesOfTheTablesAndTheOnlineTables) {
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

    // The online tables come from their own counts; none still gives one entry.
    const MeterTables& m = METER_TABLES;
    ALLOC_ONLINE(0, 0, 0, 0, 0);
    EXPECT_EQ(std::vector<int64_t>({m.METER_VAL.size(), m.METER3_LIST_B.size(), DIMBLOCK.AVAIL[ND_METERS],
                                    DIMBLOCK.REQ[ND_METERS]}),
              std::vector<int64_t>({1, 1 * 3 * 1 * 2, 1, 0}));
    ALLOC_ONLINE(2, 3, 4, 5, 6);
    EXPECT_EQ(m.counts, (std::array<int32_t, 5>{2, 3, 4, 5, 6}));
    EXPECT_EQ(std::vector<int32_t>({DIMBLOCK.REQ[ND_METERS], DIMBLOCK.REQ[65], DIMBLOCK.REQ[68], DIMBLOCK.AVAIL[67]}),
              std::vector<int32_t>({2, 3, 6, 5}));
    const std::pair<int64_t, int64_t> online[] = {
        {m.METER_DEF.extent(1), 2}, {m.METER_DEF.extent(2), 2}, {m.METER_NODES.extent(2), 3},
        {m.METER3_REF.size(), 3}, {m.METER3_LIST_A.extent(3), 4}, {m.METER3_LIST_B.extent(3), 5},
        {m.METER3_LIST_C.extent(3), 6}, {m.METER3_LIST_C.extent(4), 2}, {m.METER3_VAL.extent(2), 3}};
    for (size_t k = 0; k < std::size(online); ++k) EXPECT_EQ(online[k].first, online[k].second) << "online " << k;
}

TEST_F(StorageAlloc, SizesBeyondMemoryFailCleanly) {
    DIMBLOCK.REQ[ND_NODES] = DIMBLOCK.REQ[ND_SUBSYS] = INT32_MAX;
    int32_t status = 0;
    ALLOC_STORAGE(status);
    EXPECT_EQ(status, 1);
    EXPECT_FALSE(STORAGE.created || NET.CNOR.allocated() || STORAGE.STOR.allocated());

    reset_engine();
    DIMBLOCK.REQ[ND_PGBS] = INT32_MAX;  // its spare places do not fit 32 bits
    ALLOC_STORAGE(status);
    EXPECT_EQ(status, 1);
    EXPECT_FALSE(STORAGE.created);

    // Read from a map file, the failure stops the dimension reader.
    reset_engine();
    const TempDir dir;
    const ScopedChdir here(dir.path);
    ASSERT_TRUE(dir.ok() && here.ok);
    std::ofstream("big.map") << "DIMENSIONS:\n NODES = 60000\n SUBSYS = 2000000000\nPARAMETERS:\n";
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

TEST_F(StorageAlloc, ChannelListGrowsKeepingItsContents) {
    allocate({{ND_PGBS, 5}});
    STORAGE.PGBNAME(3) = "Vout";
    STORAGE.PGB(3) = 1.5;
    STORAGE.MPGBS(2) = 7;
    REALLOC_PGBLIST(30);
    const StorageArrays& st = STORAGE;
    EXPECT_EQ(std::vector<int64_t>({st.PGB.size(), st.PGBNAME.size(), st.MPGBS.size(), DIMBLOCK.AVAIL[ND_PGBS]}),
              std::vector<int64_t>({30, 30, 30, 30}));
    EXPECT_EQ(st.PGBNAME(3).trimmed() + " " + st.PGBNAME(25).trimmed(), "Vout PGB");
    EXPECT_DOUBLE_EQ(st.PGB(3), 1.5);
    EXPECT_EQ(st.MPGBS(2), 7);
    // A smaller count re-creates only the values.
    REALLOC_PGBLIST(-4);
    EXPECT_TRUE(st.PGB.allocated());
    EXPECT_EQ(std::vector<int64_t>({st.PGB.size(), st.PGBNAME.size(), DIMBLOCK.AVAIL[ND_PGBS]}),
              std::vector<int64_t>({0, 30, 30}));
}

TEST_F(StorageAlloc, FreeingTwiceIsHarmlessAndDeliveredValuesComeOnlyInASnapshotStart) {
    allocate({{ND_NODES, 3}, {ND_SUBSYS, 1}});
    EXPECT_FALSE(STORAGE.DX_ARRAY.allocated());
    ALLOC_ONLINE(1, 1, 1, 1, 1);
    for (int k = 0; k < 2; ++k) {
        FREE_STORAGE();
        FREE_ONLINE();
        for (bool created : {STORAGE.created, STORAGE.STOR.allocated(), NET.VNODE.allocated(),
                             XFMR_TABLES.XF_RAMP.allocated(), LINE_TABLES.TLD_PSI.allocated(),
                             STORAGE.RTCC.allocated(), METER_TABLES.METER_VAL.allocated()})
            EXPECT_FALSE(created);
    }
    // The storage can be had again afterwards.
    RUN_SEQ.START_MODE = "SNAP";
    allocate({{ND_NODES, 2}});
    EXPECT_EQ(NET.VNODE.extent(1), 2);
    EXPECT_EQ(STORAGE.DX_ARRAY.size(), 1);
}

// How many elements of each array differ from v.
template <class T, class... A>
std::vector<int64_t> differing(const T& v, const A&... a) {
    return {std::count_if(a.data(), a.data() + a.size(), [&](const auto& x) { return !(x == v); })...};
}

TEST_F(StorageAlloc, ClearingGivesARunItsStartValuesAndLeavesTheRestAlone) {
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
    l.counters.NTLINES = 3, LINE_COUNTS.NTLMODAL = 2, LINE_COUNTS.NENICLI = 1, RUN_OUTPUT.mpgbs_count = 4;
    PARAMS.PRINT_DIMENSIONS = PARAMS.PRINT_PARAMETERS = INPUT.echo = LTRUE;
    RUN_SEQ.IRUN = 1;
    CLEAR_STORAGE();
    EXPECT_EQ(differing(0.0, n.VNODE, n.CNOR, n.GNOR, n.CHIST, n.TLINJ, n.GM_DIAG0, n.CBR, n.CCBR, s.STOR, s.STORF,
                        s.VAR, s.PGB, s.CX, s.TX, s.RTCF, x.XF_CUR, x.XF_BFLUX, l.TLGMAT, l.PH_G, l.TLD_V),
              std::vector<int64_t>(20, 0));
    EXPECT_EQ(differing(0, n.NBUSES, n.NBRANCHES, n.NSWITCH, n.SSMETHOD, x.XF_NSS, x.XF_KIND, l.TLINE_REC, s.NODE),
              std::vector<int64_t>(8, 0));
    EXPECT_EQ(differing(LFALSE, n.IDEALSS, n.NORMARK, s.STORL), std::vector<int64_t>(3, 0));
    EXPECT_EQ(differing(LTRUE, n.SSINTERP, n.SSEXTRAP, n.SSRMCHAT, n.SSDETCHAT), std::vector<int64_t>(4, 0));
    EXPECT_EQ(differing(std::complex<double>(), s.STORC), std::vector<int64_t>(1, 0));
    EXPECT_EQ(differing(0.001, n.SSCHATLEV), std::vector<int64_t>(1, 0));
    EXPECT_EQ(differing(1.0e8, n.GIDEAL), std::vector<int64_t>(1, 0));
    EXPECT_EQ(differing(Text200("PGB"), s.PGBNAME), std::vector<int64_t>(1, 0));
    EXPECT_EQ(std::vector<int32_t>({l.counters.NTLINES, LINE_COUNTS.NTLMODAL, LINE_COUNTS.NENICLI,
                                    RUN_OUTPUT.mpgbs_count, PARAMS.PRINT_DIMENSIONS, PARAMS.PRINT_PARAMETERS,
                                    INPUT.echo}),
              std::vector<int32_t>(7, 0));

    // Branch tables other than the currents keep the last run's values.
    EXPECT_EQ(differing(9.0, n.GEQ, n.BRANCH_R), std::vector<int64_t>(2, 0));
    EXPECT_EQ(differing(7.0, s.CON), std::vector<int64_t>(1, 0));
    EXPECT_EQ(differing(4.0, x.XF_GEQ), std::vector<int64_t>(1, 0));
    EXPECT_EQ(differing(2, n.IEF, n.NORBUS, n.MXINV, x.XF_NWDG), std::vector<int64_t>(4, 0));
    EXPECT_EQ(differing(LTRUE, n.SWPEND), std::vector<int64_t>(1, 0));
    EXPECT_EQ(differing(6, s.MPGBS), std::vector<int64_t>(1, 0));
    EXPECT_EQ(differing(8, l.PH_NODE1), std::vector<int64_t>(1, 0));
    EXPECT_EQ(l.PH_NAME(1).trimmed() + "|" + l.TLD_INPUT_NAME(1).trimmed() + "|" + l.TLNAME(2).trimmed(),
              "phase line|mfdtd line|a line");
}

TEST_F(StorageAlloc, VarCarriesOverIntoALaterRunOnly) {
    FREE_STORAGE();
    CLEAR_STORAGE();  // without storage: nothing to do, nothing overrun
    EXPECT_FALSE(STORAGE.STOR.allocated());
    EXPECT_EQ(array_overrun_count(), 0);

    // A case read twice: the second run reuses the first run's storage.
    reset_engine();
    read_case_head("storage_case.map", 1);
    ASSERT_TRUE(STORAGE.created);
    EXPECT_EQ(STORAGE.STOR.size(), 10020);
    EXPECT_EQ(STORAGE.STORF.size(), 1006);
    STORAGE.VAR(2) = 4.5, STORAGE.STORF(3) = 1.0, STORAGE.PGB(1) = 1.0, NET.IEF(1, 1) = 2;
    read_case_head("storage_case.map", 2);
    EXPECT_EQ(std::vector<double>({STORAGE.VAR(2), STORAGE.STORF(3), STORAGE.PGB(1), double(NET.IEF(1, 1)),
                                   double(STORAGE.STOR.size())}),
              std::vector<double>({4.5, 0.0, 0.0, 2.0, 10020.0}));
}

}  // namespace
