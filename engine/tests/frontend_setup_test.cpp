// The front end's set-up records as DATA applies them: each record's
// settings, the meter tables and the value array, the records dropped with
// a warning, and a set-up without a front end.
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
        {"the end record alone", {}, kDefaults},  // a missing start file is not answered
        {"an existing map file", {Rec(FE_SETUP_DATAFILE).Str(map)}, with(kDefaults, {{"start", map}, {"map", map}})},
        {"open-ended runs", {Rec(FE_SETUP_MULTIRUN).Int(0).Str("runs0")},
         with(kDefaults, {{"runs", "2"}, {"multi", "T"}, {"open", "T:runs0"}})},
        {"a snapshot below 0 is never reached; mode 0 repeats never", {snapshot("plan.snp", -1.0, 0)},
         with(kDefaults, {{"snap", "T:plan.snp@" + never + "/" + never}})},
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
        int32_t mode;
        std::vector<std::array<double, 3>> settles;  // time step, then snapshot time and interval
    } cases[] = {
        // Without a time step nothing is settled; settled once, later runs
        // with another step keep it.
        {1, {{0.0, 0.0, 0.0}, {5.0e-5, 5.0e-5, 5.0e-5}, {1.0e-3, 5.0e-5, 5.0e-5}}},
        {0, {{0.0, 0.0, never}, {2.0e-4, 2.0e-4, never}}},  // only the time waits
    };
    for (const auto& c : cases) {
        RUN_CLOCK.DELT = 0.0;
        Send(Rec(FE_SETUP_SNAPSHOT).Str("step.snp").Double(0.0).Int(c.mode));
        Apply();
        for (const auto& [delt, time, interval] : c.settles) {
            RUN_CLOCK.DELT = delt;
            SETTLE_SETUP_SNAPSHOT();
            EXPECT_EQ(RUN_CLOCK.SNAP_TIME, time) << c.mode << " " << delt;
            EXPECT_EQ(RUN_SETUP.snap_interval, interval) << c.mode << " " << delt;
        }
    }
}

TEST_F(FrontEndSetup, MeterTablesAndTheValueArray) {
    SendInts({FE_SETUP_TABLE_SIZES, 2, 1, 2, 1, 1});
    SendInts({FE_SETUP_TABLE_ROW, 7, 5, 1, 2, 3, 4, 5});  // each slot keeps its last number
    SendInts({FE_SETUP_TABLE_ROW, 2, 1, 9});
    SendInts({FE_SETUP_TABLE_ROW, 3, 2, 8, 8});  // beyond the two rows: dropped without notice
    // Row 5 lies beyond the two single meters: three phases are read;
    // 103 is beyond capacity 2, the second pair of phase 1 beyond capacity 1.
    SendInts({FE_SETUP_TABLE_MAP, 5,
              /*p1*/ 3, 101, 102, 103, 1, 111, 112, 2, 121, 122, 123, 124,
              /*p2*/ 1, 201, 0, 0,
              /*p3*/ 2, 301, 302, 1, 311, 312, 1, 321, 322});
    Send(Rec(FE_SETUP_ARRAY).Int(3).Double(0.5).Double(1.0e-3).Double(-7.0));
    Apply();
    const MeterTables& m = METER_TABLES;
    EXPECT_EQ(m.counts, (std::array<int32_t, 5>{2, 1, 2, 1, 1}));
    EXPECT_EQ(std::vector<int32_t>({DIMBLOCK.AVAIL[ND_METERS], m.METER_DEF(1, 1), m.METER_DEF(1, 2),
                                    m.METER_NODES(1, 1), m.METER_NODES(1, 2), m.METER_NODES(1, 3)}),
              std::vector<int32_t>({2, 7, 5, 4, 5, 3}));
    EXPECT_EQ(std::vector<int32_t>({m.METER3_REF(1), m.METER3_LIST_A(1, 1, 1), m.METER3_LIST_A(1, 1, 2),
                                    m.METER3_LIST_B(1, 1, 1, 1), m.METER3_LIST_B(1, 1, 1, 2),
                                    m.METER3_LIST_C(1, 1, 1, 1), m.METER3_LIST_C(1, 1, 1, 2), m.METER3_LIST_A(1, 2, 1),
                                    m.METER3_LIST_A(1, 2, 2), m.METER3_LIST_C(1, 3, 1, 2)}),
              std::vector<int32_t>({5, 101, 102, 111, 112, 121, 122, 201, 0, 322}));
    const FArray1<double>& dx = STORAGE.DX_ARRAY;
    ASSERT_EQ(dx.size(), 3);
    EXPECT_EQ(std::vector<double>({dx(1), dx(2), dx(3)}), std::vector<double>({0.5, 1.0e-3, -7.0}));
    EXPECT_EQ(ONLINE_SETUP.row_count, 2);
    EXPECT_TRUE(fe().Quiet());
    EXPECT_EQ(array_overrun_count(), 0);
    // A count below zero gives an empty array.
    SendInts({FE_SETUP_ARRAY, -4});
    Apply();
    EXPECT_TRUE(dx.allocated() && dx.size() == 0 && DIMBLOCK.REQ[ND_DX] == 0);
}

TEST_F(FrontEndSetup, RecordsTheTablesCannotTakeAreDroppedWithAWarning) {
    SendInts({FE_SETUP_TABLE_ROW, 1, 1, 5});
    SendInts({FE_SETUP_TABLE_MAP, 1, 0, 0, 0});
    SendInts({FE_SETUP_TABLE_SIZES, 2, 4, 1, 1, 1});
    SendInts({FE_SETUP_TABLE_ROW, 1, 5, 1, 2, 3, 4, 5});
    SendInts({FE_SETUP_TABLE_ROW, 1, 4, 1, 2});  // announces 4, holds 2
    SendInts({FE_SETUP_TABLE_MAP, -3});          // no such row (meter 1)
    SendInts({FE_SETUP_TABLE_MAP, 1});           // row 1 has 5 nodes (meter 2)
    SendInts({FE_SETUP_TABLE_MAP, 7, 2, 1});     // a list of 2 holding 1 (meter 3)
    SendInts({FE_SETUP_TABLE_MAP, 7, 0, 0, 0, 0, 0, 0, 0, 0, 0});
    SendInts({FE_SETUP_TABLE_MAP, 7, 0, 0, 0, 0, 0, 0, 0, 0, 0});  // meter 5 of 4
    SendInts({FE_SETUP_ARRAY, 2000000000});
    Send(Rec(FE_SETUP_SNAPSHOT).Str("nan.snp").Double(std::numeric_limits<double>::quiet_NaN()).Int(1));
    Apply();
    const std::string before = "it came before the meter table sizes (record 17).";
    for (const std::string& w :
         {"Set-up record 18 ignored: " + before, "Set-up record 20 ignored: " + before,
          std::string("Set-up record 18 ignored: it holds fewer than its 4 node numbers."),
          std::string("Set-up record 20 ignored: single-meter row -3 does not exist."),
          std::string("Set-up record 20 ignored: single-meter row 1 has 5 nodes, more than three phases."),
          std::string("Set-up record 20 ignored: it holds fewer list entries than it announces."),
          std::string("Set-up record 20 ignored: there is no room for three-phase meter 5 (record 17 gave 4)."),
          std::string("Set-up record 9 ignored: it holds fewer than its 2000000000 values."),
          std::string("Set-up record 15 ignored: the snapshot time is not a number.")})
        EXPECT_EQ(NextWarning(), w);
    EXPECT_TRUE(fe().Quiet());
    EXPECT_EQ(ONLINE_SETUP.row_count, 1);
    EXPECT_EQ(METER_TABLES.METER_DEF(2, 2), 0);
    EXPECT_EQ(ONLINE_SETUP.meter3_number, 6);
    EXPECT_EQ(std::vector<int32_t>({METER_TABLES.METER3_REF(1), METER_TABLES.METER3_REF(2),
                                    METER_TABLES.METER3_REF(3), METER_TABLES.METER3_REF(4)}),
              std::vector<int32_t>({0, 0, 0, 7}));
    EXPECT_FALSE(STORAGE.DX_ARRAY.allocated());
    EXPECT_EQ(RUN_SETUP.snap_planned, LFALSE);
    EXPECT_EQ(RUN_SETUP.snap_file.trimmed(), "snap.snp");
    EXPECT_EQ(array_overrun_count(), 0);
}

// A dropped three-phase record still takes its meter number: the meter
// after it lands in its own slot, not in the dropped one's.
TEST_F(FrontEndSetup, DroppedThreePhaseRecordsKeepTheNumbersOfTheMetersAfterThem) {
    SendInts({FE_SETUP_TABLE_SIZES, 1, 3, 1, 1, 1});
    SendInts({FE_SETUP_TABLE_ROW, 4, 3, 11, 12, 13});
    // Row 1, three phases, each with one entry in list A and empty lists B and C.
    const auto meter = [this](int32_t first) {
        WireWriter w = Rec(FE_SETUP_TABLE_MAP).Int(1);
        for (int32_t p = 0; p < 3; ++p) w.Int(1).Int(first + p).Int(0).Int(0);
        return w;
    };
    Send(meter(100));
    SendInts({FE_SETUP_TABLE_MAP, 0});
    Send(meter(300));
    Apply();
    EXPECT_EQ(NextWarning(), "Set-up record 20 ignored: single-meter row 0 does not exist.");
    EXPECT_TRUE(fe().Quiet());
    const MeterTables& m = METER_TABLES;
    EXPECT_EQ(ONLINE_SETUP.meter3_number, 4);
    EXPECT_EQ(std::vector<int32_t>({m.METER3_REF(1), m.METER3_REF(2), m.METER3_REF(3)}),
              std::vector<int32_t>({1, 0, 1}));
    EXPECT_EQ(std::vector<int32_t>({m.METER3_LIST_A(1, 1, 1), m.METER3_LIST_A(1, 3, 1), m.METER3_LIST_A(2, 1, 1),
                                    m.METER3_LIST_A(3, 1, 1), m.METER3_LIST_A(3, 2, 1), m.METER3_LIST_A(3, 3, 1)}),
              std::vector<int32_t>({100, 102, 0, 300, 301, 302}));
    EXPECT_EQ(array_overrun_count(), 0);
}

TEST_F(FrontEndSetup, StandaloneWarningsGoToTheConsole) {
    RUN_SEQ.CONNECTED = LFALSE;
    SendInts({FE_SETUP_TABLE_ROW, 1, 1, 5});
    SendInts({FE_SETUP_END});
    EXPECT_EQ(capture([] { DATA(); }).out,
              " ***WARN*** Set-up record 18 ignored: it came before the meter table sizes (record 17).\n");
}

// A link that ends during set-up is checked on the whole program.
TEST_F(FrontEndSetup, NoFrontEndStopsTheRun) {
    set_front_end(nullptr);
    const Captured d = capture([] { DATA(); });
    EXPECT_EQ(d.status, 1);
    EXPECT_EQ(d.out, " The front end closed the connection before the end of the run set-up.\n");
}

}  // namespace
