// The front end's set-up records as DATA applies them: each record's
// settings, the meter tables and the value array, the records dropped with
// a warning, and a link that ends during set-up.
#include <array>
#include <fstream>
#include <limits>

#include "controls/meter_tables.h"
#include "engine/frontend_setup.h"
#include "engine/tests/engine_test_support.h"
#include "link/tests/link_test_support.h"
#include "link/wire_codes.h"
#include "network/dimensions.h"
#include "network/input_state.h"

namespace {

using namespace link_test;

class FrontEndSetup : public LinkedEngine {
protected:
    void Send(const WireWriter& w) { ASSERT_TRUE(fe().Send(w)); }
    void SendInts(std::initializer_list<int32_t> items) { ASSERT_TRUE(fe().SendInts(items)); }
    WireWriter Rec(int32_t code) { return fe().Frame().Int(code); }
    // The end record, then the set-up.
    void Apply() {
        SendInts({FE_SETUP_END});
        DATA();
    }
    // The next warning: one line, no component.
    std::string NextWarning() {
        const std::string r = NextUserRecord();
        return r.rfind("0 0 1 1 ", 0) == 0 ? r.substr(8) : "<not a warning> " + r;
    }
};

// The settings of the end record alone.
const std::string kDefaults =
    "mode=DATA start=datafile map= relabel=F out=F:out plot=F snap=F:snap.snp@1e+06/1e+06 inc=F runs=1 multi=F "
    "open=F:mrun fin=0.5 pgbs=10 role=0 flags=F/0 bad=0";

TEST_F(FrontEndSetup, EndRecordAloneGivesTheDefaults) {
    // Settings left over from elsewhere must not survive the set-up.
    RUN_SEQ.START_MODE = "SNAP";
    RUN_SETUP.start_file = "old";
    RUN_CLOCK.FINTIM = 9.0;
    RUN_SETUP.output_files = RUN_SETUP.snap_planned = RUN_SEQ.MULTI_RUN = RUN_SEQ.OPEN_ENDED = LTRUE;
    RUN_SETUP.relabel_time = RUN_SETUP.screen_plot = RUN_SETUP.snap_incremental = RUN_SETUP.flag_a = LTRUE;
    RUN_SETUP.flag_b = 1;
    RUN_SETUP.eni_role = 2;
    RUN_SEQ.NRUNS = 7;
    DIMBLOCK.NPGBS = 3;
    Apply();
    EXPECT_EQ(run_settings(), kDefaults);
    EXPECT_EQ(RUN_SETUP.snap_request_file.trimmed(), "runtime.snp");
    // A data start whose file is missing is not answered: the warning is
    // not one the front end gets.
    EXPECT_TRUE(fe().Quiet());
}

TEST_F(FrontEndSetup, RecordsAndTheSettingsTheyGive) {
    const TempDir dir;
    const std::string map = dir.file("case.map");  // a start file that is there
    std::ofstream(map) << "DIMENSIONS:\n";
    ASSERT_LE(map.size(), 34u);
    const std::string never = "1000000000000.5";  // the finish time and 1e12
    const auto snapshot = [this](const char* name, double time, int32_t mode) {
        return Rec(FE_SETUP_SNAPSHOT).Str(name).Double(time).Int(mode);
    };
    const struct {
        const char* what;
        std::vector<WireWriter> records;
        std::string settings;
    } cases[] = {
        {"an existing map file", {Rec(FE_SETUP_DATAFILE).Str(map)}, with(kDefaults, {{"start", map}, {"map", map}})},
        {"open-ended runs", {Rec(FE_SETUP_MULTIRUN).Int(0).Str("runs0")},
         with(kDefaults, {{"runs", "2"}, {"multi", "T"}, {"open", "T:runs0"}})},
        {"one run", {Rec(FE_SETUP_MULTIRUN).Int(1).Str("runs1")}, with(kDefaults, {{"open", "F:runs1"}})},
        {"five runs", {Rec(FE_SETUP_MULTIRUN).Int(5).Str("runs5")},
         with(kDefaults, {{"runs", "5"}, {"multi", "T"}, {"open", "F:runs5"}})},
        {"a snapshot below 0 is never reached; mode 0 repeats never", {snapshot("plan.snp", -1.0, 0)},
         with(kDefaults, {{"snap", "T:plan.snp@" + never + "/" + never}})},
        {"every 0.1 s with incremental names", {snapshot("plan.snp", 0.1, 2)},
         with(kDefaults, {{"snap", "T:plan.snp@0.1/0.1"}, {"inc", "T"}})},
        {"mode 1 repeats under one name", {snapshot("plan.snp", 0.25, 1)},
         with(kDefaults, {{"snap", "T:plan.snp@0.25/0.25"}})},
        {"a later record 14 takes the plan back", {snapshot("plan.snp", 0.25, 2), Rec(FE_SETUP_NO_SNAPSHOT)},
         with(kDefaults, {{"snap", "F:plan.snp@1e+06/1e+06"}})},
        {"a snapshot start, then the data file",
         {Rec(FE_SETUP_SNAPSTART).Str("start.snp").Int(1).Double(3.5), Rec(FE_SETUP_DATAFILE).Str("case.map")},
         with(kDefaults, {{"start", "case.map"}, {"map", "case.map"}, {"fin", "3.5"}})},
        {"a snapshot below 0 after a snapshot start: that start's finish time",
         {Rec(FE_SETUP_SNAPSTART).Str("start.snp").Int(1).Double(2.0), snapshot("late.snp", -5.0, 0),
          Rec(FE_SETUP_DATAFILE).Str("case.map")},
         with(kDefaults, {{"start", "case.map"}, {"map", "case.map"}, {"fin", "2"},
                          {"snap", "T:late.snp@1000000000002/1000000000002"}})},
        {"output file, role and flags; unknown codes are skipped",
         {Rec(FE_SETUP_OUTPUT).Str("results"), Rec(25).Int(1).Int(2).Int(3), Rec(99), Rec(-999),
          Rec(FE_SETUP_ENI_ROLE).Int(2), Rec(FE_SETUP_FLAGS).Int(7).Int(1)},
         with(kDefaults, {{"out", "T:results"}, {"role", "2"}, {"flags", "T/1"}})},
        {"an output name cut to its field, then no output",
         {Rec(FE_SETUP_OUTPUT).Str(std::string(50, 'n')), Rec(FE_SETUP_NO_OUTPUT), Rec(FE_SETUP_FLAGS).Int(0).Int(0)},
         with(kDefaults, {{"out", "F:" + std::string(34, 'n')}})},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        RUN_SETUP.map_file_for_snap = "";  // not one of the set-up's defaults
        for (const WireWriter& r : c.records) Send(r);
        Apply();
        EXPECT_EQ(run_settings(), c.settings);
        // A start file is opened to check it, and closed again.
        EXPECT_EQ(INPUT.INPUT_UNIT, INPUT_UNIT_NONE);
        EXPECT_FALSE(unit_is_open(INPUT_UNIT_NONE));
    }
    EXPECT_TRUE(fe().Quiet());
}

TEST_F(FrontEndSetup, SnapshotAtOneTimeStepWaitsForTheTimeStep) {
    const double never = 0.5 + 1.0e12;
    const struct {
        const char* what;
        double delt_at_setup;
        int32_t mode;
        bool taken_back;
        std::vector<std::array<double, 3>> settles;  // time step, then snapshot time and interval
    } cases[] = {
        // Without a time step nothing is settled; settled once, later runs
        // with another step keep it.
        {"mode 1", 0.0, 1, false, {{0.0, 0.0, 0.0}, {5.0e-5, 5.0e-5, 5.0e-5}, {1.0e-3, 5.0e-5, 5.0e-5}}},
        // Only the time waits; the interval never repeats.
        {"mode 0", 0.0, 0, false, {{0.0, 0.0, never}, {2.0e-4, 2.0e-4, never}}},
        {"time step already known", 1.0e-4, 1, false, {{3.0e-4, 1.0e-4, 1.0e-4}}},  // taken at once
        {"plan taken back", 0.0, 1, true, {{1.0e-4, 1.0e6, 1.0e6}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        RUN_CLOCK.DELT = c.delt_at_setup;
        Send(Rec(FE_SETUP_SNAPSHOT).Str("step.snp").Double(0.0).Int(c.mode));
        if (c.taken_back) SendInts({FE_SETUP_NO_SNAPSHOT});
        Apply();
        EXPECT_EQ(RUN_SETUP.snap_planned, as_logical(!c.taken_back));
        for (const auto& [delt, time, interval] : c.settles) {
            RUN_CLOCK.DELT = delt;
            SETTLE_SETUP_SNAPSHOT();
            EXPECT_EQ(RUN_CLOCK.SNAP_TIME, time) << delt;
            EXPECT_EQ(RUN_SETUP.snap_interval, interval) << delt;
        }
    }
}

TEST_F(FrontEndSetup, UnusableSnapshotStartStopsTheRun) {
    // Relabelling only with 1; the front end hears of the abort, never of
    // an accepted snapshot.
    for (const auto& [relabel, name] : {std::pair{2, "b.snp"}, {1, "none.snp"}}) {
        Send(Rec(FE_SETUP_SNAPSTART).Str(name).Int(relabel).Double(1.5));
        SendInts({FE_SETUP_END});
        EXPECT_EQ(capture([] { DATA(); }).status, 2000);
        EXPECT_EQ(run_settings(), with(kDefaults, {{"mode", "SNAP"}, {"start", name},
                                                   {"relabel", relabel == 1 ? "T" : "F"}, {"fin", "1.5"}}));
        auto abort = fe().Expect(FE_MSG_ABORT, 5000);
        ASSERT_TRUE(abort);
        EXPECT_TRUE(abort->AtEnd());
        auto end = fe().Expect(FE_MSG_END_OF_RUN, 5000);
        ASSERT_TRUE(end);
        EXPECT_EQ(end->Items("ii"), "0 0");
    }
}

TEST_F(FrontEndSetup, MeterTablesAndSingleMeterRows) {
    SendInts({FE_SETUP_TABLE_SIZES, 1, 1, 1, 1, 1});
    SendInts({FE_SETUP_TABLE_ROW, 4, 1, 44});
    SendInts({FE_SETUP_TABLE_MAP, 1, 1, 9, 0, 0});
    // A second sizes record starts afresh.
    SendInts({FE_SETUP_TABLE_SIZES, 2, 3, 4, 5, 6});
    SendInts({FE_SETUP_TABLE_ROW, 7, 5, 1, 2, 3, 4, 5});  // each slot keeps its last number
    SendInts({FE_SETUP_TABLE_ROW, 2, 1, 9});
    SendInts({FE_SETUP_TABLE_ROW, 3, 2, 8, 8});  // beyond the two rows: dropped without notice
    Apply();
    const MeterTables& m = METER_TABLES;
    EXPECT_EQ(m.counts, (std::array<int32_t, 5>{2, 3, 4, 5, 6}));
    EXPECT_EQ(m.METER3_LIST_C.extent(3), 6);
    EXPECT_EQ(DIMBLOCK.REQ[ND_METERS], 2);
    EXPECT_EQ(DIMBLOCK.AVAIL[ND_METERS], 2);
    EXPECT_EQ(std::vector<int32_t>({m.METER_DEF(1, 1), m.METER_DEF(1, 2), m.METER_NODES(1, 1), m.METER_NODES(1, 2),
                                    m.METER_NODES(1, 3)}),
              std::vector<int32_t>({7, 5, 4, 5, 3}));
    EXPECT_EQ(std::vector<int32_t>({m.METER_DEF(2, 1), m.METER_DEF(2, 2), m.METER_NODES(2, 1), m.METER_NODES(2, 2),
                                    m.METER_NODES(2, 3)}),
              std::vector<int32_t>({2, 1, 9, 0, 0}));
    EXPECT_EQ(m.METER3_REF(1), 0);
    EXPECT_EQ(ONLINE_SETUP.row_count, 2);
    EXPECT_EQ(ONLINE_SETUP.meter3_number, 1);
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
    SendInts({FE_SETUP_TABLE_MAP, 1, /*p1*/ 1, 41, 1, 42, 43, 0, /*p2*/ 0, 0, 1, 51, 52});
    Apply();
    const MeterTables& m = METER_TABLES;
    // 103 is beyond capacity 2, the second pair of phase 1 beyond capacity 1.
    EXPECT_EQ(std::vector<int32_t>({m.METER3_REF(1), m.METER3_LIST_A(1, 1, 1), m.METER3_LIST_A(1, 1, 2),
                                    m.METER3_LIST_B(1, 1, 1, 1), m.METER3_LIST_B(1, 1, 1, 2),
                                    m.METER3_LIST_C(1, 1, 1, 1), m.METER3_LIST_C(1, 1, 1, 2), m.METER3_LIST_A(1, 2, 1),
                                    m.METER3_LIST_A(1, 2, 2), m.METER3_LIST_A(1, 3, 1), m.METER3_LIST_A(1, 3, 2),
                                    m.METER3_LIST_B(1, 3, 1, 1), m.METER3_LIST_B(1, 3, 1, 2),
                                    m.METER3_LIST_C(1, 3, 1, 1), m.METER3_LIST_C(1, 3, 1, 2)}),
              std::vector<int32_t>({5, 101, 102, 111, 112, 121, 122, 201, 0, 301, 302, 311, 312, 321, 322}));
    EXPECT_EQ(std::vector<int32_t>({m.METER3_REF(2), m.METER3_LIST_A(2, 1, 1), m.METER3_LIST_B(2, 1, 1, 1),
                                    m.METER3_LIST_B(2, 1, 1, 2), m.METER3_LIST_C(2, 2, 1, 1),
                                    m.METER3_LIST_C(2, 2, 1, 2), m.METER3_LIST_A(2, 3, 1)}),
              std::vector<int32_t>({1, 41, 42, 43, 51, 52, 0}));
    EXPECT_EQ(ONLINE_SETUP.meter3_number, 3);
    EXPECT_TRUE(fe().Quiet());
    EXPECT_EQ(array_overrun_count(), 0);
}

TEST_F(FrontEndSetup, ValueArray) {
    Send(Rec(FE_SETUP_ARRAY).Int(3).Double(0.5).Double(1.0e-3).Double(-7.0));
    Apply();
    FArray1<double>& dx = STORAGE.DX_ARRAY;
    ASSERT_EQ(dx.size(), 3);
    EXPECT_EQ(std::vector<double>({dx(1), dx(2), dx(3)}), std::vector<double>({0.5, 1.0e-3, -7.0}));
    EXPECT_EQ(DIMBLOCK.REQ[ND_DX], 3);
    // A second array replaces the first; an empty one is allowed.
    Send(Rec(FE_SETUP_ARRAY).Int(1).Double(9.0));
    Apply();
    ASSERT_EQ(dx.size(), 1);
    EXPECT_EQ(dx(1), 9.0);
    for (int32_t n : {0, -4}) {
        SendInts({FE_SETUP_ARRAY, n});
        Apply();
        EXPECT_TRUE(dx.allocated());
        EXPECT_EQ(dx.size(), 0);
        EXPECT_EQ(DIMBLOCK.REQ[ND_DX], 0);
    }
    EXPECT_TRUE(fe().Quiet());
}

TEST_F(FrontEndSetup, RecordsTheTablesCannotTakeAreDroppedWithAWarning) {
    SendInts({FE_SETUP_TABLE_ROW, 1, 1, 5});
    SendInts({FE_SETUP_TABLE_MAP, 1, 0, 0, 0});
    SendInts({FE_SETUP_TABLE_SIZES, 2, 1, 1, 1, 1});
    SendInts({FE_SETUP_TABLE_ROW, 1, 5, 1, 2, 3, 4, 5});
    SendInts({FE_SETUP_TABLE_ROW, 1, 4, 1, 2});  // announces 4, holds 2
    SendInts({FE_SETUP_TABLE_MAP, 0});           // no row 0
    SendInts({FE_SETUP_TABLE_MAP, -3});
    SendInts({FE_SETUP_TABLE_MAP, 1});           // row 1 has 5 nodes
    SendInts({FE_SETUP_TABLE_MAP, 7, 2, 1});     // a list of 2 holding 1
    SendInts({FE_SETUP_TABLE_MAP, 7, 0, 0, 0, 0, 0, 0, 0, 0, 0});
    SendInts({FE_SETUP_TABLE_MAP, 7, 0, 0, 0, 0, 0, 0, 0, 0, 0});  // meter 2 of 1
    Send(Rec(FE_SETUP_ARRAY).Int(5).Double(1.0).Double(2.0));
    SendInts({FE_SETUP_ARRAY, 2000000000});
    Send(Rec(FE_SETUP_SNAPSHOT).Str("nan.snp").Double(std::numeric_limits<double>::quiet_NaN()).Int(1));
    Apply();
    const std::string before = "it came before the meter table sizes (record 17).";
    for (const std::string& w :
         {"Set-up record 18 ignored: " + before, "Set-up record 20 ignored: " + before,
          std::string("Set-up record 18 ignored: it holds fewer than its 4 node numbers."),
          std::string("Set-up record 20 ignored: single-meter row 0 does not exist."),
          std::string("Set-up record 20 ignored: single-meter row -3 does not exist."),
          std::string("Set-up record 20 ignored: single-meter row 1 has 5 nodes, more than three phases."),
          std::string("Set-up record 20 ignored: it holds fewer list entries than it announces."),
          std::string("Set-up record 20 ignored: there is no room for three-phase meter 2 (record 17 gave 1)."),
          std::string("Set-up record 9 ignored: it holds fewer than its 5 values."),
          std::string("Set-up record 9 ignored: it holds fewer than its 2000000000 values."),
          std::string("Set-up record 15 ignored: the snapshot time is not a number.")})
        EXPECT_EQ(NextWarning(), w);
    EXPECT_TRUE(fe().Quiet());
    EXPECT_EQ(ONLINE_SETUP.row_count, 1);
    EXPECT_EQ(METER_TABLES.METER_DEF(2, 2), 0);
    EXPECT_EQ(ONLINE_SETUP.meter3_number, 2);
    EXPECT_EQ(METER_TABLES.METER3_REF(1), 7);
    EXPECT_FALSE(STORAGE.DX_ARRAY.allocated());
    EXPECT_EQ(RUN_SETUP.snap_planned, LFALSE);
    EXPECT_EQ(RUN_SETUP.snap_file.trimmed(), "snap.snp");
    EXPECT_EQ(array_overrun_count(), 0);
}

TEST_F(FrontEndSetup, StandaloneWarningsGoToTheConsole) {
    RUN_SEQ.CONNECTED = LFALSE;
    SendInts({FE_SETUP_TABLE_ROW, 1, 1, 5});
    SendInts({FE_SETUP_END});
    EXPECT_EQ(capture([] { DATA(); }).out,
              " ***WARN*** Set-up record 18 ignored: it came before the meter table sizes (record 17).\n");
}

// Its texts are checked on the whole program (FrontEndHangsUp).
TEST_F(FrontEndSetup, LinkEndingBeforeTheEndRecordStopsTheRun) {
    Send(Rec(FE_SETUP_MULTIRUN).Int(3).Str("m"));
    fe().Hangup();
    const Captured c = capture([] { DATA(); }, true);
    EXPECT_EQ(c.status, 2000);
    EXPECT_TRUE(ends_with(c.out, abort_frame("DATA"))) << c.out;
    EXPECT_EQ(RUN_SEQ.NRUNS, 3);  // what came before the end was applied
    // No front end at all stops the run the same way.
    set_front_end(nullptr);
    const Captured d = capture([] { DATA(); });
    EXPECT_EQ(d.status, 2000);
    EXPECT_TRUE(contains(d.out, abort_frame("DATA"))) << d.out;
}

}  // namespace
