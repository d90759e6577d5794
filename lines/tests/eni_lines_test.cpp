// The ENI records of every step, byte for byte against a stand-in partner,
// and a line whose two ends run in two engine processes against the same
// line with both ends in one.
#include <cstdio>
#include <cstring>
#include <sstream>
#include <thread>

#include "engine/solution_arrays.h"
#include "engine/time_step.h"
#include "lines/tests/line_test_support.h"
#include "link/eni.h"
#include "link/flat_layer.h"
#include "link/tests/fake_front_end.h"
#include "network/parameters.h"
#include "platform/tests/support/capture.h"
#include "platform/tests/support/child_process.h"

namespace {

using namespace line_test;
using fake_fe::FakeFrontEnd;
using fake_fe::WireWriter;

// Tables for two ENI rows of two conductors and one subsystem of three nodes.
void eni_tables(int32_t servers, int32_t clients) {
    ASSERT_TRUE(allocate({{ND_NODES, 3}, {ND_SUBSYS, 2}, {ND_MAXMODES, 2}, {ND_TLINES, 2}, {ND_TLINES_TOTAL, 2},
                          {ND_NUMMODES, 2}, {ND_TRAVWAVES, 80}, {ND_TRANSFORMS, 4}, {ND_CSCS, 4}, {ND_CSCR, 4},
                          {ND_ENI_SERVERS, 2}, {ND_ENI_CLIENTS, 2}}));
    LINE_COUNTS.NENISRV = servers;
    LINE_COUNTS.NENICLI = clients;
}

// An ENI row of two conductors: sends TLCS_SEND(2), receives into TLCS_RECV(3..4).
void eni_row(int32_t row, int32_t role, const char* name) {
    LineTables& L = LINE_TABLES;
    const int32_t slots[tlrec::SLOTS] = {role == tlrec::ROLE_CLIENT ? tlrec::KIND_CLIENT : tlrec::KIND_MFDTD,
                                         0, 0, role, 2, 2, 1, 3, 2, 1, 0, 1, 0};
    for (int s = 1; s <= tlrec::SLOTS; ++s) L.TLINE_REC(row, s) = slots[s - 1];
    L.TLNAME(row).assign(name);
}

// The engine as client of the stand-in's line, its key read.
bool client_link(FakeFrontEnd& partner, int32_t k) {
    LineTables& L = LINE_TABLES;
    L.ENI_CLI_PORT(k) = partner.Port();
    if (!is_true(eni_client_open("127.0.0.1", partner.Port())) || !partner.Accept()) return false;
    for (int i = 0; i < 1000 && !is_true(eni_client_keyed(0, partner.Port())); ++i) {
        eni_client_poll(0, LFALSE, partner.Port());
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return is_true(eni_client_keyed(0, partner.Port()));
}

// The engine as server of the line, the stand-in connected to it.
bool server_link(FakeFrontEnd& partner, int32_t k) {
    int32_t port = 0;
    if (!is_true(eni_server_open(port))) return false;
    eni_server_listen(1, port, 0);
    LINE_TABLES.ENI_SRV_PORT(k) = port;
    if (!partner.Connect(port)) return false;
    std::string key;
    return is_true(eni_server_accept(port, 0)) && partner.ReadKey(key);
}

class EniRecords : public testing::Test {
protected:
    void TearDown() override { reset_all_engine_state(); }
};

TEST_F(EniRecords, ClientSendsItsVoltagesAndTakesTheCurrents) {
    eni_tables(0, 1);
    eni_row(1, tlrec::ROLE_CLIENT, "tie");
    LineTables& L = LINE_TABLES;
    L.ENI_CLI_SS(1) = 1;
    L.ENI_CLI_NODES(1, 1) = 3;
    L.ENI_CLI_NODES(2, 1) = 1;
    NET.VNODE(1, 1) = 10.5;
    NET.VNODE(3, 1) = -2.25;
    L.TLCS_SEND(2) = 7.0;
    RUN_CLOCK.TIME = 0.25;
    FakeFrontEnd partner;
    ASSERT_TRUE(client_link(partner, 1));

    ENI_CLI2SRV();
    const auto r72 = partner.ReadFrame();
    ASSERT_TRUE(r72);
    EXPECT_EQ(r72->Length() - 4, 40);
    EXPECT_EQ(r72->Raw(), WireWriter().Int(72).Double(0.25).Double(-2.25).Double(10.5).Int(1).Double(7.0).Frame());

    // A record of another code is dropped; of three values sent, the run takes two.
    partner.Send(WireWriter().Int(99).Double(1.0));
    partner.Send(WireWriter().Int(73).Double(0.0).Double(0.5).Double(-1.5).Int(3).Double(1).Double(2).Double(3));
    NET.TLINJ.fill(0.0);
    ENI_SRV2CLI();
    EXPECT_EQ(std::vector<double>({NET.TLINJ(3, 1), NET.TLINJ(1, 1), L.TLCUR(1, 1, 1), L.TLCUR(2, 1, 1)}),
              std::vector<double>({-0.5, 1.5, 0.5, -1.5}));
    EXPECT_EQ(std::vector<double>({L.TLCS_RECV(2), L.TLCS_RECV(3), L.TLCS_RECV(4)}), std::vector<double>({0, 1, 2}));
    EXPECT_EQ(array_overrun_count(), 0);
}

TEST_F(EniRecords, ServerTakesLinesInAnyOrderAndAnswersEach) {
    eni_tables(2, 0);
    eni_row(1, tlrec::ROLE_SERVER, "first");
    eni_row(2, tlrec::ROLE_SERVER, "second");
    LineTables& L = LINE_TABLES;
    FakeFrontEnd a, b;
    ASSERT_TRUE(server_link(a, 1));
    ASSERT_TRUE(server_link(b, 2));
    // The second line's record comes first, the first one's a moment later.
    b.Send(WireWriter().Int(72).Double(0.0).Double(3.0).Double(4.0).Int(0));
    a.Run([](FakeFrontEnd& f) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        f.Send(WireWriter().Int(72).Double(0.0).Double(1.0).Double(2.0).Int(1).Double(9.0));
        f.ReadFrame();
    });
    ENI_CLI2SRV();
    EXPECT_EQ(std::vector<double>({L.ENI_SRV_V(1, 1), L.ENI_SRV_V(2, 1), L.ENI_SRV_V(1, 2), L.ENI_SRV_V(2, 2)}),
              std::vector<double>({1, 2, 3, 4}));
    EXPECT_EQ(L.TLCS_RECV(3), 9.0);

    L.TLCUR(1, 2, 2) = -0.125;
    L.TLCUR(2, 2, 2) = 0.375;
    L.TLCS_SEND(2) = 5.0;
    RUN_CLOCK.TIME = 1.0;
    ENI_SRV2CLI();
    EXPECT_EQ(b.ReadFrame()->Raw(),
              WireWriter().Int(73).Double(1.0).Double(-0.125).Double(0.375).Int(1).Double(5.0).Frame());
    EXPECT_TRUE(a.Join());
}

struct BadFrame {
    std::string name;
    WireWriter record;  // what the partner answers
    std::string shown;
};
void PrintTo(const BadFrame& b, std::ostream* os) { *os << b.name; }

class EniBadAnswer : public EniRecords, public testing::WithParamInterface<BadFrame> {};

TEST_P(EniBadAnswer, EndsTheRunNamingTheLine) {
    eni_tables(0, 1);
    eni_row(1, tlrec::ROLE_CLIENT, "tie");
    LINE_TABLES.ENI_CLI_SS(1) = 1;
    LINE_TABLES.ENI_CLI_NODES(1, 1) = LINE_TABLES.ENI_CLI_NODES(2, 1) = 1;
    FakeFrontEnd partner;
    ASSERT_TRUE(client_link(partner, 1));
    const BadFrame& b = GetParam();
    partner.Run([&b](FakeFrontEnd& f) {
        f.ReadFrame();
        if (b.record.Body().empty()) return;  // hangs up
        f.Send(b.record);
    });
    const Captured c = capture([] { TLSTEP(); }, true);
    EXPECT_TRUE(c.aborted);
    EXPECT_TRUE(contains(c.out, b.shown + "\n" + abort_frame("ENI_SRV2CLI"))) << c.out;
    EXPECT_TRUE(partner.Join());
    EXPECT_EQ(array_overrun_count(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Frames, EniBadAnswer,
    testing::Values(
        BadFrame{"ShortOfItsValues", WireWriter().Int(73).Double(0.0).Double(1.0),
                 " ***ERROR** ENI line tie: a record 73 of 20 bytes does not match the line."},
        BadFrame{"LongerThanItsCount", WireWriter().Int(73).Double(0.0).Double(1.0).Double(2.0).Int(0).Double(3.0),
                 " ***ERROR** ENI line tie: a record 73 of 40 bytes does not match the line."},
        BadFrame{"PartnerGone", WireWriter(), " ***ERROR** The partner process of ENI line tie closed the connection."}),
    [](const testing::TestParamInfo<BadFrame>& i) { return i.param.name; });

// ------------------------------------------- two engine processes

constexpr int kSteps = 200;

// The lossless line of the lattice test, 100 V behind 100 ohms at end 1,
// 1,200 ohms at end 2, each end in a subsystem of its own (one node each).
void matrices(int32_t subsystems) {
    PARAMS.USE_SUBSYSDIM = LFALSE;
    int32_t status = -1;
    ALLOC_SSLIST(subsystems, status);
    for (int32_t s = 1; s <= subsystems; ++s) SOLUTION_ARRAYS.SSDIM(s) = 1;
    ALLOCATION(subsystems, status);
    for (int32_t s = 1; s <= subsystems; ++s) NET.NBUSES(s) = 1;
}

void start_run() {
    RUN_SEQ.FIRST_RUN = RUN_FLAGS.FIRST_STEP_RUN = RUN_FLAGS.FIRST_STEP_DATA = LTRUE;
    RUN_CLOCK.NSTEP = 0;
    RUN_CLOCK.DELT = 50e-6;
    RUN_CLOCK.FINTIM = kSteps * 50e-6;
}

// Node voltage of a node that has the line's conductance g and the line's injection.
double end1(double g, double inj) { return (100.0 / 100.0 + inj) / (1.0 / 100.0 + g); }
double end2(double g, double inj) { return inj / (1.0 / 1200.0 + g); }

std::string bits(double v) {
    uint64_t u = 0;
    std::memcpy(&u, &v, sizeof u);
    char s[24];
    std::snprintf(s, sizeof s, "%016llx", static_cast<unsigned long long>(u));
    return s;
}

// One line per step: the voltages of the line's ends, then the end-2 current.
std::string reference_run() {
    eni_tables(0, 0);
    Lossless l;
    l.ss2 = 2;
    l.node2 = 1;
    DIMBLOCK.NSUBSYS = 2;
    fill_lossless(l, 1);
    std::string out;
    for (int k = 0; k < kSteps; ++k) {
        RUN_CLOCK.TIME = k * 50e-6;
        TLSTEP();
        NET.VNODE(1, 1) = end1(1.0 / 400, NET.TLINJ(1, 1));
        NET.VNODE(1, 2) = end2(1.0 / 400, NET.TLINJ(1, 2));
        TLPOST();
        out += bits(NET.VNODE(1, 1)) + " " + bits(NET.VNODE(1, 2)) + " " + bits(LINE_TABLES.TLCUR(1, 2, 1)) + "\n";
    }
    return out;
}

TEST_F(EniRecords, TwoProcessesRunTheLineAsOneDoes) {
    const std::string reference = reference_run();
    reset_all_engine_state();

    const int32_t port = fake_fe::free_loopback_port();
    ASSERT_GT(port, 0);
    // The client holds the load end: its node takes what the line's matrix adds to it.
    const Child client = spawn([port] {
        eni_tables(0, 1);
        DIMBLOCK.NSUBSYS = 1;
        matrices(1);
        eni_row(1, tlrec::ROLE_CLIENT, "tie");
        LineTables& L = LINE_TABLES;
        L.TLINE_REC(1, tlrec::NCOND) = 1;
        L.ENI_HOST(1) = "127.0.0.1";
        L.ENI_CLI_PORT(1) = port;
        L.ENI_CLI_SS(1) = 1;
        L.ENI_CLI_NODES(1, 1) = 1;
        start_run();
        ENI_INIT();
        const double g = SSDESC_RA(1)(1, 1);
        for (int k = 0; k < kSteps; ++k) {
            RUN_CLOCK.TIME = k * 50e-6;
            TLSTEP();
            NET.VNODE(1, 1) = end2(g, NET.TLINJ(1, 1));
            TLPOST();
            std::printf("%s %s\n", bits(NET.VNODE(1, 1)).c_str(), bits(L.TLCUR(1, 1, 1)).c_str());
            RUN_FLAGS.FIRST_STEP_DATA = LFALSE;
        }
        return 0;
    });
    ASSERT_GT(client.pid, 0);

    // This process serves the line and holds the source end.
    eni_tables(1, 0);
    DIMBLOCK.NSUBSYS = 1;
    Lossless l;
    l.role = tlrec::ROLE_SERVER;
    fill_lossless(l, 1);
    LINE_TABLES.ENI_SRV_PORT(1) = port;
    LINE_TABLES.TLNAME(1) = "tie";
    start_run();
    std::string server_out;
    const Captured c = capture([&] {
        ENI_INIT();
        for (int k = 0; k < kSteps; ++k) {
            RUN_CLOCK.TIME = k * 50e-6;
            TLSTEP();
            NET.VNODE(1, 1) = end1(1.0 / 400, NET.TLINJ(1, 1));
            TLPOST();
            server_out += bits(NET.VNODE(1, 1)) + "\n";
            RUN_FLAGS.FIRST_STEP_DATA = LFALSE;
        }
    });
    const auto [out, code] = finish(client);
    EXPECT_FALSE(c.aborted) << c.out;
    ASSERT_EQ(code, 0) << out;

    // Step by step: the server's end 1, the client's end 2 and its current against one process.
    std::string joined;
    std::istringstream srv(server_out), cli(out);
    for (std::string a, b; std::getline(srv, a);) {
        // The client's reports of connect retries are no step lines.
        while (std::getline(cli, b) && (b.size() != 33 || b.find_first_not_of("0123456789abcdef ") != std::string::npos)) {
        }
        joined += a + " " + b + "\n";
    }
    EXPECT_EQ(joined, reference);
}

}  // namespace
