// Clearing the storage at the start of every run: the start values it
// gives, what it leaves alone, and VAR carried from one run to the next.
#include <complex>

#include "engine/tests/storage_test_support.h"
#include "lines/lines.h"
#include "network/network_tables.h"
#include "snapshot/run_output.h"

namespace {

class StorageClear : public StorageTest {
protected:
    void SetUp() override {
        StorageTest::SetUp();
        allocate({{ND_NODES, 3},
                  {ND_SUBSYS, 2},
                  {ND_BRANCHES, 4},
                  {ND_WINDINGS, 2},
                  {ND_TRAFOS, 2},
                  {ND_STOR, 5},
                  {ND_STORF, 5},
                  {ND_STORC, 2},
                  {ND_VARS, 3},
                  {ND_CONS, 2},
                  {ND_PGBS, 4},
                  {ND_TLINES_TOTAL, 2},
                  {ND_TLINES_PH, 1},
                  {ND_NUMMODES_PH, 2},
                  {ND_TLINES_MFDTD, 1}});
        scribble();
    }
    // What a previous run leaves behind.
    void scribble() {
        NetworkTables& n = NET;
        for (auto* a : {&n.VNODE, &n.CNOR, &n.GNOR, &n.CHIST, &n.TLINJ, &n.GM_DIAG0, &n.CBR, &n.CCBR, &n.GEQ,
                        &n.BRANCH_R})
            a->fill(9.0);
        n.IEF.fill(3);
        n.NORBUS.fill(2);
        n.NBUSES.fill(3);
        n.NBRANCHES.fill(4);
        n.NSWITCH.fill(1);
        n.MXINV.fill(2);
        n.IDEALSS.fill(LTRUE);
        n.NORMARK.fill(LTRUE);
        n.SSINTERP.fill(LFALSE);
        n.SSDETCHAT.fill(LFALSE);
        n.SSCHATLEV.fill(0.5);
        n.GIDEAL.fill(10.0);
        n.SSMETHOD.fill(1);
        n.SWPEND.fill(LTRUE);
        StorageArrays& s = STORAGE;
        for (auto* a : {&s.STOR, &s.STORF, &s.VAR, &s.CON, &s.PGB, &s.CX, &s.TX, &s.RTCF}) a->fill(7.0);
        s.STORC.fill({1.0, 2.0});
        s.STORL.fill(LTRUE);
        s.NODE.fill(5);
        s.MPGBS.fill(6);
        s.PGBNAME.fill(Text200("Vout"));
        XFMR_TABLES.XF_CUR.fill(4.0);
        XFMR_TABLES.XF_KIND.fill(1);
        XFMR_TABLES.XF_BFLUX.fill(4.0);
        XFMR_TABLES.XF_NWDG.fill(2);
        XFMR_TABLES.XF_GEQ.fill(4.0);
        LineTables& l = LINE_TABLES;
        l.TLINE_REC.fill(8);
        l.TLGMAT.fill(8.0);
        l.PH_G.fill(8.0);
        l.PH_NODE1.fill(8);
        l.PH_NAME.fill(Text200("phase line"));
        l.TLD_V.fill(8.0);
        l.TLD_INPUT_NAME.fill(Text200("mfdtd line"));
        l.TLNAME.fill(Text200("a line"));
        l.counters.NTLINES = 3;
        LINE_COUNTS.NTLMODAL = 2;
        LINE_COUNTS.NENICLI = 1;
        RUN_OUTPUT.mpgbs_count = 4;
        PARAMS.PRINT_DIMENSIONS = PARAMS.PRINT_PARAMETERS = LTRUE;
        INPUT.echo = LTRUE;
    }
};

TEST_F(StorageClear, StartValuesOfARun) {
    RUN_SEQ.IRUN = 1;
    CLEAR_STORAGE();
    const NetworkTables& n = NET;
    for (int s = 1; s <= 2; ++s) {
        EXPECT_EQ(n.NBUSES(s), 0);
        EXPECT_EQ(n.NBRANCHES(s), 0);
        EXPECT_EQ(n.NSWITCH(s), 0);
        EXPECT_EQ(n.IDEALSS(s), LFALSE);
        EXPECT_EQ(n.SSINTERP(s), LTRUE);
        EXPECT_EQ(n.SSEXTRAP(s), LTRUE);
        EXPECT_EQ(n.SSRMCHAT(s), LTRUE);
        EXPECT_EQ(n.SSDETCHAT(s), LTRUE);
        EXPECT_DOUBLE_EQ(n.SSCHATLEV(s), 0.001);
        EXPECT_DOUBLE_EQ(n.GIDEAL(s), 1.0e8);
        EXPECT_EQ(n.SSMETHOD(s), 0);
        EXPECT_EQ(XFMR_TABLES.XF_NSS(s), 0);
        for (int k = 1; k <= 3; ++k) {
            EXPECT_EQ(n.VNODE(k, s), 0.0);
            EXPECT_EQ(n.GM_DIAG0(k, s), 0.0);
            EXPECT_EQ(n.NORMARK(k, s), LFALSE);
        }
        for (int b = 1; b <= 4; ++b) EXPECT_EQ(n.CBR(b, s), 0.0);
    }
    const StorageArrays& st = STORAGE;
    for (int64_t i = 1; i <= 5; ++i) {
        EXPECT_EQ(st.STOR(i), 0.0);
        EXPECT_EQ(st.STORF(i), 0.0);
    }
    EXPECT_EQ(st.STORC(2), std::complex<double>(0.0, 0.0));
    EXPECT_EQ(st.STORL(1), LFALSE);
    EXPECT_EQ(st.NODE(1), 0);
    EXPECT_EQ(st.CX(1), 0.0);
    EXPECT_EQ(st.TX(1), 0.0);
    EXPECT_EQ(st.RTCF(1), 0.0);
    for (int64_t i = 1; i <= st.PGBNAME.size(); ++i) {
        EXPECT_EQ(st.PGB(i), 0.0);
        EXPECT_EQ(st.PGBNAME(i).str(), "PGB" + std::string(197, ' '));
    }
    EXPECT_EQ(XFMR_TABLES.XF_CUR(1, 1), 0.0);
    EXPECT_EQ(XFMR_TABLES.XF_KIND(2), 0);
    EXPECT_EQ(XFMR_TABLES.XF_BFLUX(23, 2), 0.0);
    EXPECT_EQ(LINE_TABLES.TLINE_REC(2, 13), 0);
    EXPECT_EQ(LINE_TABLES.TLGMAT(1, 1, 1), 0.0);
    EXPECT_EQ(LINE_TABLES.PH_G(1, 1, 1), 0.0);
    EXPECT_EQ(LINE_TABLES.TLD_V(1, 1, 1), 0.0);
    EXPECT_EQ(LINE_TABLES.counters.NTLINES, 0);
    EXPECT_EQ(LINE_COUNTS.NTLMODAL, 0);
    EXPECT_EQ(LINE_COUNTS.NENICLI, 0);
    EXPECT_EQ(RUN_OUTPUT.mpgbs_count, 0);
    EXPECT_EQ(PARAMS.PRINT_DIMENSIONS, LFALSE);
    EXPECT_EQ(PARAMS.PRINT_PARAMETERS, LFALSE);
    EXPECT_EQ(INPUT.echo, LFALSE);
}

TEST_F(StorageClear, TablesItLeavesAlone) {
    CLEAR_STORAGE();
    const NetworkTables& n = NET;
    // Branch tables other than the currents keep the last run's values.
    EXPECT_EQ(n.IEF(4, 2), 3);
    EXPECT_EQ(n.GEQ(1, 1), 9.0);
    EXPECT_EQ(n.BRANCH_R(2, 2), 9.0);
    EXPECT_EQ(n.NORBUS(1, 1), 2);
    EXPECT_EQ(n.MXINV(2), 2);
    EXPECT_EQ(n.SWPEND(1), LTRUE);
    EXPECT_EQ(STORAGE.CON(2), 7.0);
    EXPECT_EQ(STORAGE.MPGBS(1), 6);
    EXPECT_EQ(XFMR_TABLES.XF_NWDG(1), 2);
    EXPECT_EQ(XFMR_TABLES.XF_GEQ(2, 2, 2), 4.0);
    EXPECT_EQ(LINE_TABLES.PH_NODE1(2), 8);
    EXPECT_EQ(LINE_TABLES.PH_NAME(1).trimmed(), "phase line");
    EXPECT_EQ(LINE_TABLES.TLD_INPUT_NAME(1).trimmed(), "mfdtd line");
    EXPECT_EQ(LINE_TABLES.TLNAME(2).trimmed(), "a line");
}

TEST_F(StorageClear, VarCarriesOverIntoALaterRun) {
    RUN_SEQ.IRUN = 2;
    CLEAR_STORAGE();
    for (int64_t i = 1; i <= 3; ++i) EXPECT_EQ(STORAGE.VAR(i), 7.0);
    EXPECT_EQ(STORAGE.STOR(1), 0.0);
    EXPECT_EQ(STORAGE.STORF(5), 0.0);
    EXPECT_EQ(STORAGE.PGB(1), 0.0);
    RUN_SEQ.IRUN = 1;
    CLEAR_STORAGE();
    EXPECT_EQ(STORAGE.VAR(1), 0.0);
}

TEST_F(StorageClear, ClearingWithoutStorageDoesNothingHarmful) {
    FREE_STORAGE();
    CLEAR_STORAGE();
    EXPECT_FALSE(STORAGE.STOR.allocated());
    EXPECT_EQ(array_overrun_count(), 0);
}

TEST_F(StorageClear, SecondRunOfACaseSeesTheFirstRunsVar) {
    reset_storage_engine();
    read_case_head("storage_case.map", 1);
    ASSERT_TRUE(STORAGE.created);
    EXPECT_EQ(STORAGE.STOR.size(), 10020);
    EXPECT_EQ(STORAGE.STORF.size(), 1006);
    STORAGE.VAR(2) = 4.5;
    STORAGE.STORF(3) = 1.0;
    NET.IEF(1, 1) = 2;
    read_case_head("storage_case.map", 2);
    EXPECT_EQ(STORAGE.VAR(2), 4.5);
    EXPECT_EQ(STORAGE.STORF(3), 0.0);
    EXPECT_EQ(NET.IEF(1, 1), 2);
    EXPECT_EQ(STORAGE.STOR.size(), 10020);  // the first run's storage is reused
}

}  // namespace
