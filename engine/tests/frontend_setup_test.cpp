// The front end's set-up records as DATA applies them: defaults, each
// record's settings, the meter tables and the value array, the records
// that are dropped with a warning, and a link that ends during set-up.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <limits>
#include <string>

#include "controls/meter_tables.h"
#include "engine/engine_stop.h"
#include "engine/frontend_setup.h"
#include "engine/run_state.h"
#include "engine/storage.h"
#include "engine/tests/linked_engine.h"
#include "link/wire_codes.h"
#include "network/dimensions.h"
#include "network/input_state.h"

namespace {

using fake_fe::WireFrame;
using fake_fe::WireWriter;
using linked_engine::console_of;

class FrontEndSetup : public linked_engine::LinkedEngine {
protected:
    void Send(const WireWriter& w) { ASSERT_TRUE(fe().Send(w)); }
    void SendInts(std::initializer_list<int32_t> items) { ASSERT_TRUE(fe().SendInts(items)); }
    WireWriter Rec(int32_t code) { return fe().Frame().Int(code); }
    void End() { SendInts({FE_SETUP_END}); }

    // The next record 14 from the engine: one warning line, no component.
    std::string NextWarning() {
        auto f = fe().Expect(FE_MSG_USER, 5000);
        if (!f) return "<no warning>";
        EXPECT_EQ(f->Int(), 0);
        EXPECT_EQ(f->Int(), 0);
        EXPECT_EQ(f->Int(), 1);  // warning level
        EXPECT_EQ(f->Int(), 1);  // one line
        const std::string text = f->Str();
        EXPECT_TRUE(f->AtEnd());
        return text;
    }
};

TEST_F(FrontEndSetup, EndRecordAloneGivesTheDefaults) {
    // Settings left over from elsewhere must not survive the set-up.
    RUN_SEQ.START_MODE = "SNAP";
    RUN_SETUP.start_file = "old";
    RUN_CLOCK.FINTIM = 9.0;
    RUN_SETUP.output_files = LTRUE;
    RUN_SETUP.snap_planned = LTRUE;
    RUN_SEQ.NRUNS = 7;
    RUN_SEQ.MULTI_RUN = LTRUE;
    RUN_SEQ.OPEN_ENDED = LTRUE;
    RUN_SETUP.flag_a = LTRUE;
    RUN_SETUP.flag_b = 1;
    RUN_SETUP.eni_role = 2;
    DIMBLOCK.NPGBS = 3;
    End();
    DATA();
    EXPECT_EQ(RUN_SEQ.START_MODE.str(), "DATA");
    EXPECT_EQ(RUN_SETUP.start_file.trimmed(), "datafile");
    EXPECT_EQ(RUN_SETUP.relabel_time, LFALSE);
    EXPECT_EQ(RUN_CLOCK.FINTIM, 0.5);
    EXPECT_EQ(DIMBLOCK.NPGBS, 10);
    EXPECT_EQ(RUN_SETUP.output_files, LFALSE);
    EXPECT_EQ(RUN_SETUP.output_file.trimmed(), "out");
    EXPECT_EQ(RUN_CLOCK.SNAP_TIME, 1.0e6);
    EXPECT_EQ(RUN_SETUP.snap_interval, 1.0e6);
    EXPECT_EQ(RUN_SETUP.snap_planned, LFALSE);
    EXPECT_EQ(RUN_SETUP.screen_plot, LFALSE);
    EXPECT_EQ(RUN_SETUP.snap_file.trimmed(), "snap.snp");
    EXPECT_EQ(RUN_SETUP.snap_request_file.trimmed(), "runtime.snp");
    EXPECT_EQ(RUN_SETUP.snap_incremental, LFALSE);
    EXPECT_EQ(RUN_SEQ.MULTI_RUN, LFALSE);
    EXPECT_EQ(RUN_SEQ.OPEN_ENDED, LFALSE);
    EXPECT_EQ(RUN_SEQ.NRUNS, 1);
    EXPECT_EQ(RUN_SETUP.multirun_file.trimmed(), "mrun");
    EXPECT_EQ(RUN_SETUP.eni_role, 0);
    EXPECT_EQ(RUN_SETUP.flag_a, LFALSE);
    EXPECT_EQ(RUN_SETUP.flag_b, 0);
    // A data start whose file is missing is not answered: the warning is
    // not one the front end gets.
    EXPECT_TRUE(fe().Quiet());
}

TEST_F(FrontEndSetup, StartFileIsOpenedAndClosedAgain) {
    const std::string dir = make_temp_dir();
    const std::string path = dir + "/case.map";
    std::ofstream(path) << "DIMENSIONS:\n";
    ASSERT_LE(path.size(), 34u);
    Send(Rec(FE_SETUP_DATAFILE).Str(path));
    End();
    DATA();
    EXPECT_EQ(RUN_SETUP.start_file.trimmed(), path);
    EXPECT_EQ(RUN_SETUP.map_file_for_snap.trimmed(), path);
    EXPECT_EQ(INPUT.INPUT_UNIT, INPUT_UNIT_NONE);
    EXPECT_FALSE(unit_is_open(INPUT_UNIT_NONE));
    EXPECT_TRUE(fe().Quiet());
    std::filesystem::remove_all(dir);
}

TEST_F(FrontEndSetup, MultipleRunRecord) {
    Send(Rec(FE_SETUP_MULTIRUN).Int(0).Str("open.mrn"));
    End();
    DATA();
    EXPECT_EQ(RUN_SEQ.NRUNS, 2);
    EXPECT_EQ(RUN_SEQ.MULTI_RUN, LTRUE);
    EXPECT_EQ(RUN_SEQ.OPEN_ENDED, LTRUE);
    EXPECT_EQ(RUN_SETUP.multirun_file.trimmed(), "open.mrn");

    Send(Rec(FE_SETUP_MULTIRUN).Int(1).Str("one.mrn"));
    End();
    DATA();
    EXPECT_EQ(RUN_SEQ.NRUNS, 1);
    EXPECT_EQ(RUN_SEQ.MULTI_RUN, LFALSE);
    EXPECT_EQ(RUN_SEQ.OPEN_ENDED, LFALSE);
    EXPECT_EQ(RUN_SETUP.multirun_file.trimmed(), "one.mrn");

    Send(Rec(FE_SETUP_MULTIRUN).Int(5).Str("five.mrn"));
    End();
    DATA();
    EXPECT_EQ(RUN_SEQ.NRUNS, 5);
    EXPECT_EQ(RUN_SEQ.MULTI_RUN, LTRUE);
    EXPECT_EQ(RUN_SEQ.OPEN_ENDED, LFALSE);
}

TEST_F(FrontEndSetup, PlannedSnapshotRecord) {
    // Time below 0: never reached; mode 0 repeats never.
    Send(Rec(FE_SETUP_SNAPSHOT).Str("never.snp").Double(-1.0).Int(0));
    End();
    DATA();
    EXPECT_EQ(RUN_SETUP.snap_planned, LTRUE);
    EXPECT_EQ(RUN_SETUP.snap_file.trimmed(), "never.snp");
    EXPECT_EQ(RUN_CLOCK.SNAP_TIME, 0.5 + 1.0e12);
    EXPECT_EQ(RUN_SETUP.snap_interval, 0.5 + 1.0e12);
    EXPECT_EQ(RUN_SETUP.snap_incremental, LFALSE);

    // Every 0.1 s with incremental names.
    Send(Rec(FE_SETUP_SNAPSHOT).Str("every.snp").Double(0.1).Int(2));
    End();
    DATA();
    EXPECT_EQ(RUN_CLOCK.SNAP_TIME, 0.1);
    EXPECT_EQ(RUN_SETUP.snap_interval, 0.1);
    EXPECT_EQ(RUN_SETUP.snap_incremental, LTRUE);

    // Mode 1 repeats under one name.
    Send(Rec(FE_SETUP_SNAPSHOT).Str("same.snp").Double(0.25).Int(1));
    End();
    DATA();
    EXPECT_EQ(RUN_CLOCK.SNAP_TIME, 0.25);
    EXPECT_EQ(RUN_SETUP.snap_interval, 0.25);
    EXPECT_EQ(RUN_SETUP.snap_incremental, LFALSE);

    // A later record 14 takes the plan back.
    Send(Rec(FE_SETUP_SNAPSHOT).Str("x.snp").Double(0.25).Int(2));
    SendInts({FE_SETUP_NO_SNAPSHOT});
    End();
    DATA();
    EXPECT_EQ(RUN_SETUP.snap_planned, LFALSE);
    EXPECT_EQ(RUN_CLOCK.SNAP_TIME, 1.0e6);
    EXPECT_EQ(RUN_SETUP.snap_interval, 1.0e6);
    EXPECT_EQ(RUN_SETUP.snap_incremental, LFALSE);
    EXPECT_TRUE(fe().Quiet());
}

TEST_F(FrontEndSetup, SnapshotRecordReadsTheFinishTimeOfAnEarlierSnapshotStart) {
    Send(Rec(FE_SETUP_SNAPSTART).Str("start.snp").Int(1).Double(2.0));
    Send(Rec(FE_SETUP_SNAPSHOT).Str("late.snp").Double(-5.0).Int(0));
    Send(Rec(FE_SETUP_DATAFILE).Str("case.map"));
    End();
    DATA();
    EXPECT_EQ(RUN_CLOCK.SNAP_TIME, 2.0 + 1.0e12);
    EXPECT_EQ(RUN_SETUP.snap_interval, 2.0 + 1.0e12);
}

TEST_F(FrontEndSetup, SnapshotAtOneTimeStepWaitsForTheTimeStep) {
    Send(Rec(FE_SETUP_SNAPSHOT).Str("step.snp").Double(0.0).Int(1));
    End();
    DATA();
    EXPECT_EQ(RUN_SETUP.snap_planned, LTRUE);
    EXPECT_EQ(RUN_CLOCK.SNAP_TIME, 0.0);
    EXPECT_EQ(RUN_SETUP.snap_interval, 0.0);
    // No time step yet: nothing is settled.
    SETTLE_SETUP_SNAPSHOT();
    EXPECT_EQ(RUN_SETUP.snap_interval, 0.0);
    RUN_CLOCK.DELT = 5.0e-5;
    SETTLE_SETUP_SNAPSHOT();
    EXPECT_EQ(RUN_CLOCK.SNAP_TIME, 5.0e-5);
    EXPECT_EQ(RUN_SETUP.snap_interval, 5.0e-5);
    // Settled once: later runs with another step keep it.
    RUN_CLOCK.DELT = 1.0e-3;
    SETTLE_SETUP_SNAPSHOT();
    EXPECT_EQ(RUN_CLOCK.SNAP_TIME, 5.0e-5);
    EXPECT_EQ(RUN_SETUP.snap_interval, 5.0e-5);
}

TEST_F(FrontEndSetup, SnapshotAtOneTimeStepOnce) {
    // Mode 0: only the time waits; the interval never repeats.
    Send(Rec(FE_SETUP_SNAPSHOT).Str("once.snp").Double(0.0).Int(0));
    End();
    DATA();
    EXPECT_EQ(RUN_SETUP.snap_interval, 0.5 + 1.0e12);
    RUN_CLOCK.DELT = 2.0e-4;
    SETTLE_SETUP_SNAPSHOT();
    EXPECT_EQ(RUN_CLOCK.SNAP_TIME, 2.0e-4);
    EXPECT_EQ(RUN_SETUP.snap_interval, 0.5 + 1.0e12);

    // A time step already known is taken at once.
    RUN_CLOCK.DELT = 1.0e-4;
    Send(Rec(FE_SETUP_SNAPSHOT).Str("known.snp").Double(0.0).Int(1));
    End();
    DATA();
    EXPECT_EQ(RUN_CLOCK.SNAP_TIME, 1.0e-4);
    EXPECT_EQ(RUN_SETUP.snap_interval, 1.0e-4);
    RUN_CLOCK.DELT = 3.0e-4;
    SETTLE_SETUP_SNAPSHOT();
    EXPECT_EQ(RUN_CLOCK.SNAP_TIME, 1.0e-4);

    // A plan taken back leaves nothing to settle.
    RUN_CLOCK.DELT = 0.0;
    Send(Rec(FE_SETUP_SNAPSHOT).Str("gone.snp").Double(0.0).Int(1));
    SendInts({FE_SETUP_NO_SNAPSHOT});
    End();
    DATA();
    RUN_CLOCK.DELT = 1.0e-4;
    SETTLE_SETUP_SNAPSHOT();
    EXPECT_EQ(RUN_CLOCK.SNAP_TIME, 1.0e6);
    EXPECT_EQ(RUN_SETUP.snap_interval, 1.0e6);
}

TEST_F(FrontEndSetup, SnapshotTimeThatIsNotANumberIsDropped) {
    Send(Rec(FE_SETUP_SNAPSHOT).Str("nan.snp").Double(std::numeric_limits<double>::quiet_NaN()).Int(1));
    End();
    DATA();
    EXPECT_EQ(NextWarning(), "Set-up record 15 ignored: the snapshot time is not a number.");
    EXPECT_EQ(RUN_SETUP.snap_planned, LFALSE);
    EXPECT_EQ(RUN_SETUP.snap_file.trimmed(), "snap.snp");
}

TEST_F(FrontEndSetup, DataFileAfterSnapshotStart) {
    Send(Rec(FE_SETUP_SNAPSTART).Str("start.snp").Int(1).Double(3.5));
    Send(Rec(FE_SETUP_DATAFILE).Str("case.map"));
    End();
    DATA();
    EXPECT_EQ(RUN_SEQ.START_MODE.str(), "DATA");
    EXPECT_EQ(RUN_SETUP.start_file.trimmed(), "case.map");
    EXPECT_EQ(RUN_SETUP.map_file_for_snap.trimmed(), "case.map");
    EXPECT_EQ(RUN_SETUP.relabel_time, LFALSE);
    EXPECT_EQ(RUN_CLOCK.FINTIM, 3.5);
}

TEST_F(FrontEndSetup, SnapshotStartThatCannotBeUsedStopsTheRun) {
    const std::string dir = make_temp_dir();
    const std::string missing = dir + "/none.snp";
    Send(Rec(FE_SETUP_SNAPSTART).Str(missing).Int(1).Double(3.5));
    End();
    int32_t status = 0;
    console_of([&] {
        try {
            DATA();
        } catch (const FatalCatalogMessage& stop) {
            status = stop.status;
        }
    });
    EXPECT_EQ(status, 2000);
    EXPECT_EQ(RUN_SEQ.START_MODE.str(), "SNAP");
    EXPECT_EQ(RUN_SETUP.relabel_time, LTRUE);
    EXPECT_EQ(RUN_CLOCK.FINTIM, 3.5);
    // The front end hears of the abort, never of an accepted snapshot.
    auto abort = fe().Expect(FE_MSG_ABORT, 5000);
    ASSERT_TRUE(abort);
    EXPECT_TRUE(abort->AtEnd());
    auto end = fe().Expect(FE_MSG_END_OF_RUN, 5000);
    ASSERT_TRUE(end);
    EXPECT_EQ(end->Int(), 0);
    EXPECT_EQ(end->Int(), 0);
    EXPECT_TRUE(end->AtEnd());
    std::filesystem::remove_all(dir);
}

TEST_F(FrontEndSetup, RelabellingOnlyWithOne) {
    Send(Rec(FE_SETUP_SNAPSTART).Str("a.snp").Int(1).Double(1.0));
    Send(Rec(FE_SETUP_SNAPSTART).Str("b.snp").Int(2).Double(1.0));
    End();
    console_of([] { EXPECT_THROW(DATA(), FatalCatalogMessage); });  // no such snapshot
    EXPECT_EQ(RUN_SETUP.start_file.trimmed(), "b.snp");
    EXPECT_EQ(RUN_SETUP.relabel_time, LFALSE);
}

TEST_F(FrontEndSetup, OutputFilesEniRoleAndFlags) {
    Send(Rec(FE_SETUP_OUTPUT).Str("results"));
    Send(Rec(FE_SETUP_ENI_ROLE).Int(2));
    Send(Rec(FE_SETUP_FLAGS).Int(7).Int(1));
    End();
    DATA();
    EXPECT_EQ(RUN_SETUP.output_files, LTRUE);
    EXPECT_EQ(RUN_SETUP.output_file.trimmed(), "results");
    EXPECT_EQ(RUN_SETUP.eni_role, 2);
    EXPECT_EQ(RUN_SETUP.flag_a, LTRUE);
    EXPECT_EQ(RUN_SETUP.flag_b, 1);

    Send(Rec(FE_SETUP_OUTPUT).Str("again"));
    SendInts({FE_SETUP_NO_OUTPUT});
    Send(Rec(FE_SETUP_FLAGS).Int(0).Int(0));
    End();
    DATA();
    EXPECT_EQ(RUN_SETUP.output_files, LFALSE);
    EXPECT_EQ(RUN_SETUP.output_file.trimmed(), "again");
    EXPECT_EQ(RUN_SETUP.flag_a, LFALSE);
}

TEST_F(FrontEndSetup, NamesAreCutToTheirField) {
    const std::string longer(50, 'n');
    Send(Rec(FE_SETUP_OUTPUT).Str(longer));
    End();
    DATA();
    EXPECT_EQ(RUN_SETUP.output_file.str(), std::string(34, 'n'));
}

TEST_F(FrontEndSetup, UnknownCodesAreSkipped) {
    SendInts({25, 1, 2, 3});
    SendInts({99});
    SendInts({-999});
    Send(Rec(FE_SETUP_ENI_ROLE).Int(1));
    End();
    DATA();
    EXPECT_EQ(RUN_SETUP.eni_role, 1);
    EXPECT_TRUE(fe().Quiet());
}

TEST_F(FrontEndSetup, RecordsFromTheOtherByteOrder) {
    Link(true);
    Send(Rec(FE_SETUP_SNAPSTART).Str("s.snp").Int(1).Double(0.75));
    Send(Rec(FE_SETUP_DATAFILE).Str("swap.map"));
    Send(Rec(FE_SETUP_MULTIRUN).Int(300).Str("m"));
    Send(Rec(FE_SETUP_ARRAY).Int(2).Double(1.5).Double(-2.25));
    End();
    DATA();
    EXPECT_EQ(RUN_CLOCK.FINTIM, 0.75);
    EXPECT_EQ(RUN_SETUP.start_file.trimmed(), "swap.map");
    EXPECT_EQ(RUN_SEQ.NRUNS, 300);
    ASSERT_EQ(STORAGE.DX_ARRAY.size(), 2);
    EXPECT_EQ(STORAGE.DX_ARRAY(1), 1.5);
    EXPECT_EQ(STORAGE.DX_ARRAY(2), -2.25);
}

TEST_F(FrontEndSetup, TableSizesCreateClearedTables) {
    SendInts({FE_SETUP_TABLE_SIZES, 3, 2, 4, 5, 6});
    End();
    DATA();
    const MeterTables& m = METER_TABLES;
    EXPECT_EQ(m.counts, (std::array<int32_t, 5>{3, 2, 4, 5, 6}));
    EXPECT_EQ(m.METER_VAL.size(), 3);
    EXPECT_EQ(m.METER_DEF.extent(1), 3);
    EXPECT_EQ(m.METER_NODES.extent(2), 3);
    EXPECT_EQ(m.METER3_REF.size(), 2);
    EXPECT_EQ(m.METER3_LIST_A.extent(3), 4);
    EXPECT_EQ(m.METER3_LIST_B.extent(3), 5);
    EXPECT_EQ(m.METER3_LIST_C.extent(3), 6);
    EXPECT_EQ(m.METER3_VAL.size(), 6);
    EXPECT_EQ(DIMBLOCK.REQ[ND_METERS], 3);
    EXPECT_EQ(DIMBLOCK.AVAIL[ND_METERS], 3);

    // Counts of 0 still give one entry in every dimension.
    SendInts({FE_SETUP_TABLE_SIZES, 0, 0, 0, 0, 0});
    End();
    DATA();
    EXPECT_EQ(m.METER_VAL.size(), 1);
    EXPECT_EQ(m.METER3_LIST_B.size(), 1 * 3 * 1 * 2);
}

TEST_F(FrontEndSetup, MeterRowKeepsTheLastNumberOfEachSlot) {
    SendInts({FE_SETUP_TABLE_SIZES, 2, 1, 1, 1, 1});
    SendInts({FE_SETUP_TABLE_ROW, 7, 5, 1, 2, 3, 4, 5});
    SendInts({FE_SETUP_TABLE_ROW, 2, 1, 9});
    SendInts({FE_SETUP_TABLE_ROW, 3, 2, 8, 8});  // beyond the two rows: dropped
    End();
    DATA();
    const MeterTables& m = METER_TABLES;
    EXPECT_EQ(m.METER_DEF(1, 1), 7);
    EXPECT_EQ(m.METER_DEF(1, 2), 5);
    EXPECT_EQ(m.METER_NODES(1, 1), 4);
    EXPECT_EQ(m.METER_NODES(1, 2), 5);
    EXPECT_EQ(m.METER_NODES(1, 3), 3);
    EXPECT_EQ(m.METER_DEF(2, 1), 2);
    EXPECT_EQ(m.METER_DEF(2, 2), 1);
    EXPECT_EQ(m.METER_NODES(2, 1), 9);
    EXPECT_EQ(m.METER_NODES(2, 2), 0);
    EXPECT_EQ(m.METER_NODES(2, 3), 0);
    EXPECT_EQ(ONLINE_SETUP.row_count, 2);
    // Rows beyond the table go without notice.
    EXPECT_TRUE(fe().Quiet());
    EXPECT_EQ(array_overrun_count(), 0);
}

TEST_F(FrontEndSetup, ThreePhaseMeterLists) {
    // Two single meters, two three-phase meters, capacities 2, 1, 1.
    SendInts({FE_SETUP_TABLE_SIZES, 1, 2, 2, 1, 1});
    SendInts({FE_SETUP_TABLE_ROW, 1, 2, 11, 12});
    // Row 5 lies beyond the one single meter: three phases are read.
    SendInts({FE_SETUP_TABLE_MAP, 5,
              /*p1*/ 3, 101, 102, 103, 1, 111, 112, 2, 121, 122, 123, 124,
              /*p2*/ 1, 201, 0, 0,
              /*p3*/ 2, 301, 302, 1, 311, 312, 1, 321, 322});
    // Row 1 has two nodes: two phases.
    SendInts({FE_SETUP_TABLE_MAP, 1,
              /*p1*/ 1, 41, 1, 42, 43, 0,
              /*p2*/ 0, 0, 1, 51, 52});
    End();
    DATA();
    const MeterTables& m = METER_TABLES;
    EXPECT_EQ(m.METER3_REF(1), 5);
    EXPECT_EQ(m.METER3_LIST_A(1, 1, 1), 101);
    EXPECT_EQ(m.METER3_LIST_A(1, 1, 2), 102);  // 103 is beyond capacity 2
    EXPECT_EQ(m.METER3_LIST_B(1, 1, 1, 1), 111);
    EXPECT_EQ(m.METER3_LIST_B(1, 1, 1, 2), 112);
    EXPECT_EQ(m.METER3_LIST_C(1, 1, 1, 1), 121);  // the second pair is beyond capacity 1
    EXPECT_EQ(m.METER3_LIST_C(1, 1, 1, 2), 122);
    EXPECT_EQ(m.METER3_LIST_A(1, 2, 1), 201);
    EXPECT_EQ(m.METER3_LIST_A(1, 2, 2), 0);
    EXPECT_EQ(m.METER3_LIST_A(1, 3, 1), 301);
    EXPECT_EQ(m.METER3_LIST_A(1, 3, 2), 302);
    EXPECT_EQ(m.METER3_LIST_B(1, 3, 1, 1), 311);
    EXPECT_EQ(m.METER3_LIST_B(1, 3, 1, 2), 312);
    EXPECT_EQ(m.METER3_LIST_C(1, 3, 1, 1), 321);
    EXPECT_EQ(m.METER3_LIST_C(1, 3, 1, 2), 322);

    EXPECT_EQ(m.METER3_REF(2), 1);
    EXPECT_EQ(m.METER3_LIST_A(2, 1, 1), 41);
    EXPECT_EQ(m.METER3_LIST_B(2, 1, 1, 1), 42);
    EXPECT_EQ(m.METER3_LIST_B(2, 1, 1, 2), 43);
    EXPECT_EQ(m.METER3_LIST_C(2, 2, 1, 1), 51);
    EXPECT_EQ(m.METER3_LIST_C(2, 2, 1, 2), 52);
    EXPECT_EQ(m.METER3_LIST_A(2, 3, 1), 0);
    EXPECT_EQ(ONLINE_SETUP.meter3_number, 3);
    EXPECT_TRUE(fe().Quiet());
    EXPECT_EQ(array_overrun_count(), 0);
}

TEST_F(FrontEndSetup, SecondTableSizesRecordStartsAfresh) {
    SendInts({FE_SETUP_TABLE_SIZES, 1, 1, 1, 1, 1});
    SendInts({FE_SETUP_TABLE_ROW, 4, 1, 44});
    SendInts({FE_SETUP_TABLE_MAP, 1, 1, 9, 0, 0});
    SendInts({FE_SETUP_TABLE_SIZES, 2, 1, 1, 1, 1});
    SendInts({FE_SETUP_TABLE_ROW, 6, 1, 66});
    End();
    DATA();
    const MeterTables& m = METER_TABLES;
    EXPECT_EQ(m.METER_DEF.extent(1), 2);
    EXPECT_EQ(m.METER_DEF(1, 1), 6);
    EXPECT_EQ(m.METER_NODES(1, 1), 66);
    EXPECT_EQ(m.METER_DEF(2, 1), 0);
    EXPECT_EQ(m.METER3_REF(1), 0);
    EXPECT_EQ(ONLINE_SETUP.row_count, 1);
    EXPECT_EQ(ONLINE_SETUP.meter3_number, 1);
}

TEST_F(FrontEndSetup, ValueArray) {
    Send(Rec(FE_SETUP_ARRAY).Int(3).Double(0.5).Double(1.0e-3).Double(-7.0));
    End();
    DATA();
    FArray1<double>& dx = STORAGE.DX_ARRAY;
    ASSERT_TRUE(dx.allocated());
    ASSERT_EQ(dx.size(), 3);
    EXPECT_EQ(dx(1), 0.5);
    EXPECT_EQ(dx(2), 1.0e-3);
    EXPECT_EQ(dx(3), -7.0);
    EXPECT_EQ(DIMBLOCK.REQ[ND_DX], 3);

    // A second array replaces the first; an empty one is allowed.
    Send(Rec(FE_SETUP_ARRAY).Int(1).Double(9.0));
    End();
    DATA();
    ASSERT_EQ(dx.size(), 1);
    EXPECT_EQ(dx(1), 9.0);
    SendInts({FE_SETUP_ARRAY, 0});
    End();
    DATA();
    EXPECT_TRUE(dx.allocated());
    EXPECT_EQ(dx.size(), 0);
    EXPECT_EQ(DIMBLOCK.REQ[ND_DX], 0);
    SendInts({FE_SETUP_ARRAY, -4});
    End();
    DATA();
    EXPECT_EQ(dx.size(), 0);
    EXPECT_EQ(DIMBLOCK.REQ[ND_DX], 0);
    EXPECT_TRUE(fe().Quiet());
}

TEST_F(FrontEndSetup, RecordsTheTablesCannotTakeAreDroppedWithAWarning) {
    SendInts({FE_SETUP_TABLE_ROW, 1, 1, 5});
    SendInts({FE_SETUP_TABLE_MAP, 1, 0, 0, 0});
    SendInts({FE_SETUP_TABLE_SIZES, 2, 1, 1, 1, 1});
    SendInts({FE_SETUP_TABLE_ROW, 1, 5, 1, 2, 3, 4, 5});
    SendInts({FE_SETUP_TABLE_ROW, 1, 4, 1, 2});      // announces 4, holds 2
    SendInts({FE_SETUP_TABLE_MAP, 0});               // no row 0
    SendInts({FE_SETUP_TABLE_MAP, -3});
    SendInts({FE_SETUP_TABLE_MAP, 1});               // row 1 has 5 nodes
    SendInts({FE_SETUP_TABLE_MAP, 7, 2, 1});         // a list of 2 holding 1
    SendInts({FE_SETUP_TABLE_MAP, 7, 0, 0, 0, 0, 0, 0, 0, 0, 0});
    SendInts({FE_SETUP_TABLE_MAP, 7, 0, 0, 0, 0, 0, 0, 0, 0, 0});  // meter 2 of 1
    Send(Rec(FE_SETUP_ARRAY).Int(5).Double(1.0).Double(2.0));
    SendInts({FE_SETUP_ARRAY, 2000000000});
    End();
    DATA();
    const std::string before = "it came before the meter table sizes (record 17).";
    EXPECT_EQ(NextWarning(), "Set-up record 18 ignored: " + before);
    EXPECT_EQ(NextWarning(), "Set-up record 20 ignored: " + before);
    EXPECT_EQ(NextWarning(), "Set-up record 18 ignored: it holds fewer than its 4 node numbers.");
    EXPECT_EQ(NextWarning(), "Set-up record 20 ignored: single-meter row 0 does not exist.");
    EXPECT_EQ(NextWarning(), "Set-up record 20 ignored: single-meter row -3 does not exist.");
    EXPECT_EQ(NextWarning(), "Set-up record 20 ignored: single-meter row 1 has 5 nodes, more than three phases.");
    EXPECT_EQ(NextWarning(), "Set-up record 20 ignored: it holds fewer list entries than it announces.");
    EXPECT_EQ(NextWarning(), "Set-up record 20 ignored: there is no room for three-phase meter 2 (record 17 gave 1).");
    EXPECT_EQ(NextWarning(), "Set-up record 9 ignored: it holds fewer than its 5 values.");
    EXPECT_EQ(NextWarning(), "Set-up record 9 ignored: it holds fewer than its 2000000000 values.");
    EXPECT_TRUE(fe().Quiet());

    const MeterTables& m = METER_TABLES;
    EXPECT_EQ(ONLINE_SETUP.row_count, 1);
    EXPECT_EQ(m.METER_DEF(2, 2), 0);
    EXPECT_EQ(ONLINE_SETUP.meter3_number, 2);
    EXPECT_EQ(m.METER3_REF(1), 7);
    EXPECT_FALSE(STORAGE.DX_ARRAY.allocated());
    EXPECT_EQ(array_overrun_count(), 0);
}

TEST_F(FrontEndSetup, StandaloneWarningsGoToTheConsole) {
    RUN_SEQ.CONNECTED = LFALSE;
    SendInts({FE_SETUP_TABLE_ROW, 1, 1, 5});
    End();
    const std::string out = console_of([] { DATA(); });
    EXPECT_EQ(out, " ***WARN*** Set-up record 18 ignored: it came before the meter table sizes (record 17).\n");
}

TEST_F(FrontEndSetup, LinkEndingBeforeTheEndRecordStopsTheRun) {
    Send(Rec(FE_SETUP_MULTIRUN).Int(3).Str("m"));
    fe().Hangup();
    int32_t status = 0;
    const std::string out = console_of([&] {
        testing::internal::CaptureStderr();
        try {
            DATA();
        } catch (const FatalCatalogMessage& stop) {
            status = stop.status;
        }
        testing::internal::GetCapturedStderr();
    });
    EXPECT_EQ(status, 2000);
    EXPECT_EQ(RUN_SEQ.NRUNS, 3);  // what came before the end was applied
    const std::string rule(57, '=');
    EXPECT_EQ(out, " The front end closed the connection before the end of the run set-up.\n"
                   " " + rule + "\n"
                   " ERROR: Abnormal termination of ZARIK by DATA        \n"
                   " " + rule + "\n"
                   " \n");
}

TEST_F(FrontEndSetup, NoFrontEndAtAllStopsTheRun) {
    set_front_end(nullptr);
    int32_t status = 0;
    const std::string out = console_of([&] {
        try {
            DATA();
        } catch (const FatalCatalogMessage& stop) {
            status = stop.status;
        }
    });
    EXPECT_EQ(status, 2000);
    EXPECT_NE(out.find("ERROR: Abnormal termination of ZARIK by DATA"), std::string::npos) << out;
}

}  // namespace
