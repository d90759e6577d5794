// The online meters on a resistive chain whose voltages and currents the
// tests write: 100 V behind 1 ohm into 4, 5 and 10 ohms (95, 75, 50 V; 5 A).
#include "controls/meters.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <string>

#include "controls/meter_tables.h"
#include "controls/tests/network_fixture.h"
#include "engine/run_state.h"
#include "engine/storage.h"
#include "lines/line_record.h"
#include "lines/line_tables.h"
#include "link/tests/link_test_support.h"
#include "models/xfmr_tables.h"
#include "platform/tests/support/capture.h"

namespace {

using namespace link_test;

constexpr int kSteps = 1001;
constexpr int kWait = 10000;

// 100 V behind 1 ohm into 4, 5 and 10 ohms: nodes 95, 75 and 50 V, 5 A.
void write_chain(const TempDir& dir) {
    std::ofstream(dir.file("chain.map")) << "DIMENSIONS:\n NODES = 4\n SUBSYS = 1\n BRANCHES = 4\n NNODES = 8\n"
                                            " NPAGES = 1\n SUBSYSPAGE = 1\nPARAMETERS:\n TITLE = 'Chain'\n"
                                            " TIME_STEP = 50.0E-6\n PRINT_STEP = 1.0E-3\n FINISH_TIME = 1.0\n"
                                            "SUBSYSDIM:\n 1 4\nMAP: 'page1.map'\n 1 4  1 2 3 4\n 0 0\nENDCASE\n";
    std::ofstream(dir.file("page1.map")) << "BRANCHES:\n 0 1 RE 1.0 100.0\n 1 2 R 4.0\n 2 3 R 5.0\n 3 0 R 10.0\n"
                                            "ENDPAGE\n";
}

struct Seen {
    std::vector<double> meters, meters3;
    std::vector<std::string> user;
    bool closed = false;
};

// The next frame that is not a catalogue or component message; those
// messages' texts are kept.
std::optional<WireFrame> next_record(FakeFrontEnd& f, Seen& seen, int32_t& code) {
    for (;;) {
        auto frame = f.ReadFrame(kWait);
        if (!frame) return std::nullopt;
        code = frame->Int();
        if (code == FE_MSG_USER) seen.user.push_back(user_record(frame));
        if (code != FE_MSG_CATALOG && code != FE_MSG_USER) return frame;
    }
}

void script(FakeFrontEnd& f, Seen& seen) {
    const auto ints = [&](std::initializer_list<int32_t> v) { return f.SendInts(v); };
    const auto map = [&](int32_t row, std::initializer_list<int32_t> branches) {
        WireWriter w = f.Frame().Int(FE_SETUP_TABLE_MAP).Int(row);
        // Per phase: one branch, no windings, no line conductors.
        for (int32_t b : branches) w.Int(1).Int(b).Int(0).Int(0);
        return f.Send(w);
    };
    if (!f.Accept() || !f.Send(f.Frame().Int(FE_SETUP_DATAFILE).Str("chain.map")) || !ints({FE_SETUP_NO_OUTPUT}) ||
        !ints({FE_SETUP_TABLE_SIZES, 5, 3, 1, 1, 1}) || !ints({FE_SETUP_TABLE_ROW, 1, 1, 2}) ||
        !ints({FE_SETUP_TABLE_ROW, 1, 2, 1, 3}) || !ints({FE_SETUP_TABLE_ROW, 1, 3, 1, 2, 3}) ||
        !ints({FE_SETUP_TABLE_ROW, 1, 1, 999}) || !ints({FE_SETUP_TABLE_ROW, 7, 1, 1}) || !map(3, {2, 3, 3}) ||
        !map(1, {2}) || !map(1, {500}) || !ints({FE_SETUP_END}))
        return;
    int32_t code = -1;
    for (int k = 0; k < 3; ++k)
        if (!next_record(f, seen, code)) return;
    // Steps 0 to 1000, then the meters as they stand after step 1000.
    ints({FE_CMD_STEPS, 1001});
    for (;;) {
        auto r = next_record(f, seen, code);
        if (!r) return;
        if (code == FE_MSG_TIME && r->Int() == 1000) break;
    }
    ints({FE_CMD_METERS});
    for (std::vector<double>* into : {&seen.meters, &seen.meters3}) {
        auto r = next_record(f, seen, code);
        while (r && code != FE_MSG_METERS && code != FE_MSG_METERS3) r = next_record(f, seen, code);
        if (!r) return;
        while (!r->AtEnd()) into->push_back(r->Double());
    }
    ints({FE_CMD_STOP});
    while (auto r = next_record(f, seen, code))
        if (code == FE_MSG_END_OF_RUN) break;
    ints({FE_CMD_END_ANSWER, 0});
    while (auto r = f.ReadFrame(kWait))
        if (r->Int() == FE_SHUTDOWN) break;
    seen.closed = ints({FE_SHUTDOWN}) && f.WaitForClose(kWait);
}

class OnlineMeters : public ::testing::Test {
protected:
    void SetUp() override {
        // Branch 1 from the source (node 4) to node 1, then on down the chain.
        small_network({{4, 1}, {1, 2}, {2, 3}, {3, 0}});
        chain(1.0);
        RUN_CLOCK.DELT = 50e-6;
        ALLOC_ONLINE(5, 3, 2, 1, 1);
        MeterTables& m = METER_TABLES;
        row(1, 1, 1, {2, 0, 0});
        row(2, 1, 2, {1, 3, 0});
        row(3, 1, 3, {1, 2, 3});
        row(4, 1, 1, {999, 0, 0});
        row(5, 7, 1, {1, 0, 0});
        m.METER3_REF(1) = 3;
        m.METER3_LIST_A(1, 1, 1) = 2;
        m.METER3_LIST_A(1, 2, 1) = 3;
        m.METER3_LIST_A(1, 3, 1) = 3;
        m.METER3_REF(2) = 1;
        m.METER3_LIST_A(2, 1, 1) = 2;
        m.METER3_REF(3) = 1;
        m.METER3_LIST_A(3, 1, 2) = 500;
    }
    void TearDown() override { RUN_FLAGS.FIRST_STEP_RUN = LFALSE; }
    // The chain's voltages and currents, all scaled.
    static void chain(double scale) {
        const double v[] = {95.0, 75.0, 50.0, 100.0};
        for (int n = 1; n <= 4; ++n) NET.VNODE(n, 1) = scale * v[n - 1];
        for (int b = 1; b <= 4; ++b) NET.CBR(b, 1) = scale * 5.0;
    }
    static void row(int r, int ss, int kind, std::array<int, 3> nodes) {
        MeterTables& m = METER_TABLES;
        m.METER_DEF(r, 1) = ss;
        m.METER_DEF(r, 2) = kind;
        for (int k = 1; k <= 3; ++k) m.METER_NODES(r, k) = nodes[k - 1];
    }
    // The steps, the single-phase meter's Q checked finite at each.
    static Captured run(int steps) {
        return capture([&] {
            for (int k = 0; k < steps; ++k) {
                chain(1.0);
                RUN_FLAGS.FIRST_STEP_RUN = as_logical(k == 0);
                UPDATE_METERS();
                ASSERT_TRUE(std::isfinite(METER_TABLES.METER3_VAL(2, 3))) << "step " << k;
                if (k == 0) {
                    EXPECT_EQ(METER_TABLES.METER3_VAL(2, 3), 0.0);
                }
            }
        });
    }
};

TEST_F(OnlineMeters, VoltmetersAndPowerMetersAfterAThousandAndOneSteps) {
    const Captured c = run(kSteps);
    const MeterTables& m = METER_TABLES;
    EXPECT_DOUBLE_EQ(m.METER_VAL(1), 74.74256186514424);
    EXPECT_DOUBLE_EQ(m.METER_VAL(2), 72.25114313630569);
    EXPECT_DOUBLE_EQ(m.METER_VAL(3), 30.593246210051223);
    EXPECT_NEAR(m.METER_VAL(3), 0.7404804896930618 * 45.0 * (1.0 - std::exp(-50.0 * 50e-6 * kSteps)), 1e-12);
    EXPECT_DOUBLE_EQ(m.METER3_VAL(1, 1), 3.925115318834915);
    EXPECT_DOUBLE_EQ(m.METER3_VAL(1, 2), 550.8719745424022);
    EXPECT_DOUBLE_EQ(m.METER3_VAL(1, 3), -106.01536093035823);
    EXPECT_DOUBLE_EQ(m.METER3_VAL(2, 1), 4.982837457676263);
    EXPECT_DOUBLE_EQ(m.METER3_VAL(2, 2), -344.2949840890091);
    EXPECT_DOUBLE_EQ(m.METER3_VAL(2, 3), 142.00386033309474);
    // Unknown node, subsystem and branch: zeros, one warning each.
    EXPECT_EQ(m.METER_VAL(4), 0.0);
    EXPECT_EQ(m.METER_VAL(5), 0.0);
    EXPECT_EQ(m.METER3_VAL(3, 1), 0.0);
    EXPECT_EQ(m.METER3_VAL(3, 2), 0.0);
    EXPECT_FALSE(c.aborted);
    EXPECT_EQ(c.out,
              " ***WARN*** Meter 4 names a subsystem or node that does not exist: it reads 0.0 V.\n"
              " ***WARN*** Meter 5 names a subsystem or node that does not exist: it reads 0.0 V.\n"
              " ***WARN*** Power meter 3 names a subsystem, node, branch, winding or line conductor that does not "
              "exist: it adds no current there.\n");
}

TEST_F(OnlineMeters, AWindingAddsItsTotalCurrentOnItsFirstNodeAndAWindingBeyondTheCountNothing) {
    XfmrTables& X = XFMR_TABLES;
    X.XF_COUNT = 1;
    X.XF_NWDG.allocate(1);
    X.XF_NWDG(1) = 2;
    X.XF_NODE1.allocate(3, 1);
    X.XF_NODE2.allocate(3, 1);
    X.XF_CURTOT.allocate(3, 1);
    X.XF_NODE1(1, 1) = 2;
    X.XF_NODE2(2, 1) = 2;
    X.XF_CURTOT(1, 1) = 3.0;
    X.XF_CURTOT(2, 1) = 1.0;
    X.XF_CURTOT(3, 1) = 50.0;
    MeterTables& m = METER_TABLES;
    m.METER3_LIST_A(2, 1, 1) = 0;
    m.METER3_LIST_B(2, 1, 1, 1) = 1;
    m.METER3_LIST_B(2, 1, 1, 2) = 1;
    m.METER3_LIST_A(3, 1, 2) = 0;
    m.METER3_LIST_B(3, 1, 1, 1) = 1;
    m.METER3_LIST_B(3, 1, 1, 2) = 3;
    const Captured c = run(1);
    const double d = 50.0 * 50e-6;
    EXPECT_DOUBLE_EQ(m.METER3_VAL(2, 1), 3.0 * std::sqrt(d / (1.0 + d)));
    EXPECT_EQ(m.METER3_VAL(3, 1), 0.0);
    EXPECT_NE(c.out.find("Power meter 3 names"), std::string::npos);
    // The second winding has node 2 as its second node: it subtracts.
    m.METER3_VAL(2, 1) = 0.0;
    m.METER3_LIST_B(2, 1, 1, 2) = 2;
    run(1);
    EXPECT_DOUBLE_EQ(m.METER3_VAL(2, 1), 1.0 * std::sqrt(d / (1.0 + d)));
    X = XfmrTables{};
}

TEST_F(OnlineMeters, ALineConductorAddsTheCurrentOfTheEndOnThePhaseNode) {
    LineTables& T = LINE_TABLES;
    DIMBLOCK.REQ[ND_TLINES_TOTAL] = 1;
    T.TLINE_REC.allocate(1, tlrec::SLOTS);
    T.TLINE_REC(1, tlrec::KIND) = tlrec::KIND_BERGERON;
    T.TLINE_REC(1, tlrec::FAMILY) = 1;
    for (FArray1<int32_t>* a : {&T.TLM_SS1, &T.TLM_SS2, &T.TLM_NCOND}) {
        a->allocate(1);
        (*a)(1) = 1;
    }
    T.TLM_NODE1.allocate(1);
    T.TLM_NODE2.allocate(1);
    T.TLM_NODE1(1) = 3;  // end 1 at node 3, end 2 at node 2
    T.TLM_NODE2(1) = 2;
    T.TLCUR.allocate(1, 2, 1);
    T.TLCUR(1, 1, 1) = 7.0;
    T.TLCUR(1, 2, 1) = 2.0;
    MeterTables& m = METER_TABLES;
    m.METER3_LIST_A(2, 1, 1) = 0;
    m.METER3_LIST_C(2, 1, 1, 1) = 1;
    m.METER3_LIST_C(2, 1, 1, 2) = 1;
    m.METER3_LIST_A(3, 1, 2) = 0;
    m.METER3_LIST_C(3, 1, 1, 1) = 1;
    m.METER3_LIST_C(3, 1, 1, 2) = 2;  // the line has one conductor
    const Captured c = run(1);
    EXPECT_DOUBLE_EQ(m.METER3_VAL(2, 1), 2.0 * std::sqrt(0.0025 / 1.0025));
    EXPECT_EQ(m.METER3_VAL(3, 1), 0.0);
    EXPECT_NE(c.out.find("Power meter 3 names"), std::string::npos);
    T = LineTables{};
    DIMBLOCK.REQ[ND_TLINES_TOTAL] = 0;
}

// The whole program connected to a scripted front end that declares the
// same meters. The chain has its voltages from the first step on, so the
// values are those of the meters fed the chain here.
TEST_F(OnlineMeters, TheFrontEndDeclaresTheMetersAndReadsThemAfterAConnectedRun) {
    const TempDir dir;
    ASSERT_TRUE(dir.ok());
    write_chain(dir);
    FakeFrontEnd fe;
    ASSERT_GT(fe.Port(), 0);
    Seen seen;
    const auto served = run_served(fe, [&](FakeFrontEnd& f) { script(f, seen); }, dir.path, 30000);
    ASSERT_FALSE(served.result.timed_out) << served.result.out;
    ASSERT_TRUE(served.script_ended);
    EXPECT_TRUE(seen.closed);
    EXPECT_EQ(served.result.exit_code, 0) << served.result.out;
    run(kSteps);
    const MeterTables& m = METER_TABLES;
    ASSERT_EQ(seen.meters.size(), 5u);
    for (size_t r = 0; r < 5; ++r) EXPECT_DOUBLE_EQ(seen.meters[r], m.METER_VAL(static_cast<int64_t>(r + 1))) << r;
    EXPECT_NEAR(seen.meters[2], 0.7404804896930618 * 45.0 * (1.0 - std::exp(-50.0 * 50e-6 * kSteps)), 1e-12);
    ASSERT_EQ(seen.meters3.size(), 9u);
    for (size_t k = 0; k < 9; ++k)
        EXPECT_DOUBLE_EQ(seen.meters3[k], m.METER3_VAL(static_cast<int64_t>(k / 3 + 1), static_cast<int64_t>(k % 3 + 1)))
            << k;
    // One warning for each meter that names what the network does not have.
    const auto count = [&](const std::string& text) {
        return std::count_if(seen.user.begin(), seen.user.end(),
                             [&](const std::string& u) { return u.find(text) != std::string::npos; });
    };
    EXPECT_EQ(count(" names a subsystem"), 3);
    for (const char* meter : {" Meter 4 names", " Meter 5 names", "Power meter 3 names"}) EXPECT_EQ(count(meter), 1);
}

}  // namespace
