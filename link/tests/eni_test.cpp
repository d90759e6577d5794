// The ENI connections of a run: the line names for the front end, the
// ports it sends, and the start of a run on both ends of a line against a
// stand-in partner (records byte for byte, the conductance hand-over and
// its stamping, the start-of-run check, and every way a partner can fail
// to come or go away), then two real engine ends in two processes.
#include <gtest/gtest.h>

#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "engine/engine_reset.h"
#include "engine/engine_stop.h"
#include "engine/run_state.h"
#include "engine/solution_arrays.h"
#include "engine/time_step.h"
#include "lines/line_tables.h"
#include "lines/lines.h"
#include "link/eni.h"
#include "link/flat_layer.h"
#include "link/run_commands.h"
#include "link/tests/eni_peer.h"
#include "link/tests/fake_front_end.h"
#include "link/tests/link_test_support.h"
#include "link/wire_codes.h"
#include "network/network_tables.h"
#include "platform/text_units.h"

namespace {

using eni_test::FakeEniClient;
using eni_test::LineRow;
using eni_test::fresh_port;
using eni_test::make_lines;
using eni_test::make_subsystem;
using fake_fe::FakeFrontEnd;
using fake_fe::WireFrame;
using fake_fe::WireWriter;

constexpr int kWait = 10000;

struct Outcome {
    std::string out;
    bool aborted = false;
};

// Console output of f, and whether it ended the run.
Outcome run_captured(const std::function<void()>& f) {
    Outcome o;
    console_flush();
    std::fflush(stdout);
    testing::internal::CaptureStdout();
    try {
        f();
    } catch (const StandaloneAbort&) {
        o.aborted = true;
    }
    console_flush();
    std::fflush(stdout);
    o.out = testing::internal::GetCapturedStdout();
    return o;
}

std::string abort_line(const std::string& routine) {
    std::string name = routine;
    name.resize(12, ' ');
    return " ERROR: Abnormal termination of ZARIK by " + name + "\n";
}

const char* const kMismatch =
    " ***ERROR** Projects linked with ENI lines have different\n"
    " ***ERROR**  startup times, time steps or finish times.\n";

// ------------------------------------------------ front-end records

class EniFrontEnd : public testing::Test {
protected:
    void SetUp() override {
        reset_all_engine_state();
        link_ = std::make_unique<link_test::Linked>(false);
        ASSERT_TRUE(link_->connected);
        set_front_end(&link_->ex);
        RUN_SEQ.CONNECTED = LTRUE;
        RUN_SEQ.FIRST_RUN = LTRUE;
    }
    void TearDown() override {
        set_front_end(nullptr);
        link_.reset();
        reset_all_engine_state();
    }
    FakeFrontEnd& fe() { return link_->fe; }
    std::unique_ptr<link_test::Linked> link_;
};

TEST_F(EniFrontEnd, LineNamesServersFirstThenClients) {
    make_lines({{2, 1, "far end  "}, {1, 3, "line A"}, {0, 3, "local"}, {1, 2, "line B"}});
    ENI_SEND_LINES();
    auto f = fe().Expect(FE_MSG_ENI_LINES, kWait);
    ASSERT_TRUE(f);
    EXPECT_EQ(f->Length(), 16 + 7 + 7 + 8);
    EXPECT_EQ(f->Int(), 2);
    EXPECT_EQ(f->Int(), 1);
    EXPECT_EQ(f->Str(), "line A");
    EXPECT_EQ(f->Str(), "line B");
    EXPECT_EQ(f->Str(), "far end");
    EXPECT_TRUE(f->AtEnd());
}

TEST_F(EniFrontEnd, NoEniLinesIsTwoZeros) {
    ENI_SEND_LINES();
    auto f = fe().Expect(FE_MSG_ENI_LINES, kWait);
    ASSERT_TRUE(f);
    EXPECT_EQ(f->Length(), 16);
    EXPECT_EQ(f->Int(), 0);
    EXPECT_EQ(f->Int(), 0);
}

TEST_F(EniFrontEnd, PortsAreTakenInTheFirstRunOnly) {
    make_lines({{1, 3, "s1"}, {2, 3, "c1"}, {1, 3, "s2"}});
    const auto ports = [&] {
        return fe().Frame().Int(FE_CMD_ENI_PORTS).Int(3).Str("server-host").Int(4001).Str("other").Int(4002)
            .Str("partner.example").Int(4003);
    };
    fe().Send(ports());
    fe().SendInts({FE_CMD_STEPS, 1});
    int32_t granted = 0, result = -1;
    POLL_MESSAGES(granted, result);
    const LineTables& L = LINE_TABLES;
    EXPECT_EQ(L.ENI_HOST(1), "localhost");  // a server listens on its own machine
    EXPECT_EQ(L.ENI_HOST(2), "localhost");
    EXPECT_EQ(L.ENI_HOST(3), "partner.example");
    EXPECT_EQ(L.ENI_SRV_PORT(1), 4001);
    EXPECT_EQ(L.ENI_SRV_PORT(2), 4002);
    EXPECT_EQ(L.ENI_CLI_PORT(1), 4003);

    // Later runs read the record and keep nothing; the hosts are blank.
    RUN_SEQ.FIRST_RUN = LFALSE;
    fe().Send(fe().Frame().Int(FE_CMD_ENI_PORTS).Int(3).Str("a").Int(1).Str("b").Int(2).Str("c").Int(3));
    fe().SendInts({FE_CMD_STEPS, 1});
    granted = 0;
    POLL_MESSAGES(granted, result);
    EXPECT_EQ(granted, 1);
    EXPECT_TRUE(L.ENI_HOST(1).is_blank());
    EXPECT_TRUE(L.ENI_HOST(3).is_blank());
    EXPECT_EQ(L.ENI_SRV_PORT(1), 4001);
    EXPECT_EQ(L.ENI_CLI_PORT(1), 4003);
}

TEST_F(EniFrontEnd, AWrongTotalEndsTheRun) {
    make_lines({{1, 3, "s1"}});
    fe().Send(fe().Frame().Int(FE_CMD_ENI_PORTS).Int(2).Str("h").Int(1));
    int32_t granted = 0, result = -1;
    bool stopped = false;
    console_flush();
    testing::internal::CaptureStdout();
    try {
        POLL_MESSAGES(granted, result);
    } catch (const FatalCatalogMessage&) {
        stopped = true;
    }
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_TRUE(stopped);
    EXPECT_NE(out.find(abort_line("REC_ENI_PORT")), std::string::npos) << out;
    auto msg = fe().Expect(FE_MSG_USER, kWait);
    ASSERT_TRUE(msg);
    msg->Int();
    msg->Int();
    EXPECT_EQ(msg->Int(), 2);
    EXPECT_EQ(msg->Int(), 1);
    EXPECT_EQ(msg->Str(), "Total number received does not match the total number of ENI lines");
}

// ------------------------------------------- one engine end, one stand-in

class EniStart : public testing::Test {
protected:
    void SetUp() override {
        reset_all_engine_state();
        RUN_SEQ.FIRST_RUN = LTRUE;
        RUN_FLAGS.FIRST_STEP_RUN = LTRUE;
        RUN_FLAGS.FIRST_STEP_DATA = LTRUE;
        RUN_CLOCK.NSTEP = 0;
        RUN_CLOCK.DELT = 0.5;
        RUN_CLOCK.FINTIM = 2.0;
        ENI_WAITS.accept_passes = 20;
    }
    void TearDown() override { reset_all_engine_state(); }

    // A client line of three conductors at nodes 2, 4 and 5 of a
    // subsystem of five, talking to the stand-in server.
    void ClientLine(FakeFrontEnd& server, int conductors = 3) {
        make_lines({{0, 2, "local"}, {2, conductors, "to the far side"}});
        ASSERT_TRUE(make_subsystem(5));
        LineTables& L = LINE_TABLES;
        L.ENI_HOST(1) = "localhost";
        L.ENI_CLI_PORT(1) = server.Port();
        L.ENI_CLI_SS(1) = 1;
        const int32_t nodes[] = {2, 4, 5, 1};
        for (int i = 1; i <= conductors; ++i) L.ENI_CLI_NODES(i, 1) = nodes[i - 1];
    }
    // A server line of three conductors on a fresh port.
    int ServerLine() {
        make_lines({{1, 3, "from here"}});
        const int port = fresh_port();
        LINE_TABLES.ENI_SRV_PORT(1) = port;
        double g = 1.0;
        for (int i = 1; i <= 3; ++i)
            for (int j = 1; j <= 3; ++j) LINE_TABLES.TLGMAT(i, j, 1) = g++;
        return port;
    }
};

// The upper triangle of the stand-in server's line by rows.
WireWriter conductance_record(FakeFrontEnd& f, int32_t n, const std::vector<double>& upper) {
    WireWriter w = f.Frame();
    w.Int(ENI_CONDUCTANCE).Int(n);
    for (double g : upper) w.Double(g);
    return w;
}

TEST_F(EniStart, NoEniLinesMeansNoLinkAtAll) {
    const Outcome o = run_captured([] { ENI_INIT(); });
    EXPECT_FALSE(o.aborted);
    EXPECT_EQ(o.out, "");
}

TEST_F(EniStart, ClientTakesTheMatrixStampsItAndSendsTheCheck) {
    auto server = std::make_unique<FakeFrontEnd>();
    ASSERT_GT(server->Port(), 0);
    ClientLine(*server);
    const SsView<double> gm = SSDESC_RA(1);
    gm(2, 2) = 10.0;
    gm(1, 1) = 7.0;
    gm(4, 2) = gm(2, 4) = 0.25;

    std::optional<WireFrame> check;
    server->Run([&](FakeFrontEnd& f) {
        if (!f.Accept()) return;
        f.SendInts({ENI_SERVER_STEP, 5});  // not awaited: dropped
        f.Send(conductance_record(f, 3, {3.0, -1.0, -0.5, 4.0, -2.0, 5.0}));
        check = f.ReadFrame(kWait);
    });
    const Outcome o = run_captured([] { ENI_INIT(); });
    ASSERT_TRUE(server->Join(kWait));
    EXPECT_FALSE(o.aborted) << o.out;

    // Both triangles of the line's matrix.
    const LineTables& L = LINE_TABLES;
    EXPECT_EQ(L.TLGMAT(1, 2, 2), -1.0);
    EXPECT_EQ(L.TLGMAT(2, 1, 2), -1.0);
    EXPECT_EQ(L.TLGMAT(3, 2, 2), -2.0);
    EXPECT_EQ(L.TLGMAT(3, 3, 2), 5.0);

    // Couplings off the diagonal, row sums on it, patterns both ways.
    EXPECT_EQ(gm(4, 2), 1.25);
    EXPECT_EQ(gm(2, 4), 1.25);
    EXPECT_EQ(gm(5, 2), 0.5);
    EXPECT_EQ(gm(2, 5), 0.5);
    EXPECT_EQ(gm(5, 4), 2.0);
    EXPECT_EQ(gm(4, 5), 2.0);
    EXPECT_EQ(gm(2, 2), 11.5);
    EXPECT_EQ(gm(4, 4), 1.0);
    EXPECT_EQ(gm(5, 5), 2.5);
    EXPECT_EQ(gm(1, 1), 7.0);
    EXPECT_EQ(gm(3, 3), 0.0);
    const SsView<int8_t> pat = SSDESC_IA(1);
    for (auto [i, j] : {std::pair{2, 4}, {4, 2}, {2, 5}, {5, 2}, {4, 5}, {5, 4}}) EXPECT_EQ(pat(i, j), -1) << i << j;
    EXPECT_EQ(pat(1, 2), 0);
    EXPECT_EQ(pat(3, 4), 0);

    // Once the first step adds the column sums, every diagonal is the
    // line's own self conductance plus what was there.
    SSINIT();
    EXPECT_EQ(gm(4, 4), 4.0 + 0.25);  // with the coupling that was there
    EXPECT_EQ(gm(5, 5), 5.0);
    EXPECT_EQ(array_overrun_count(), 0);

    // The check record: 32 bytes.
    ASSERT_TRUE(check);
    EXPECT_EQ(check->Raw(), server->Frame().Int(74).Int(1).Int(0).Double(0.5).Double(2.0).Frame());
    if (link_test::little_endian()) {
        EXPECT_EQ(link_test::hex(check->Raw()),
                  "20 00 00 00 4a 00 00 00 01 00 00 00 00 00 00 00 "
                  "00 00 00 00 00 00 e0 3f 00 00 00 00 00 00 00 40");
    }
}

TEST_F(EniStart, ASnapshotStartSendsOnlyTheCheckInTheServersByteOrder) {
    auto server = std::make_unique<FakeFrontEnd>(true);
    ClientLine(*server);
    RUN_FLAGS.FIRST_STEP_DATA = LFALSE;
    RUN_CLOCK.NSTEP = 401;
    std::optional<WireFrame> check;
    server->Run([&](FakeFrontEnd& f) {
        if (f.Accept()) check = f.ReadFrame(kWait);
    });
    const Outcome o = run_captured([] { ENI_INIT(); });
    ASSERT_TRUE(server->Join(kWait));
    EXPECT_FALSE(o.aborted) << o.out;
    ASSERT_TRUE(check);
    EXPECT_EQ(check->Length(), 32);
    EXPECT_EQ(check->Int(), ENI_HANDSHAKE);
    EXPECT_EQ(check->Int(), 1);
    EXPECT_EQ(check->Int(), 401);
    EXPECT_EQ(check->Double(), 0.5);
    EXPECT_EQ(check->Double(), 2.0);
    EXPECT_EQ(SSDESC_RA(1)(2, 2), 0.0);  // nothing stamped
}

TEST_F(EniStart, LaterRunsKeepTheLinkAndRepeatOnlyTheCheck) {
    auto server = std::make_unique<FakeFrontEnd>();
    ClientLine(*server);
    std::optional<WireFrame> first, second;
    server->Run([&](FakeFrontEnd& f) {
        if (!f.Accept()) return;
        f.Send(conductance_record(f, 3, {1, 0, 0, 1, 0, 1}));
        first = f.ReadFrame(kWait);
        second = f.ReadFrame(kWait);
    });
    EXPECT_FALSE(run_captured([] { ENI_INIT(); }).aborted);
    RUN_SEQ.FIRST_RUN = LFALSE;
    RUN_FLAGS.FIRST_STEP_DATA = LFALSE;
    RUN_CLOCK.NSTEP = 3;
    EXPECT_FALSE(run_captured([] { ENI_INIT(); }).aborted);
    ASSERT_TRUE(server->Join(kWait));
    ASSERT_TRUE(first);
    ASSERT_TRUE(second);
    EXPECT_EQ(second->Int(), ENI_HANDSHAKE);
    second->Int();
    EXPECT_EQ(second->Int(), 3);
}

TEST_F(EniStart, TwoConductorsOnOneNodeAddEverythingToItsDiagonal) {
    auto server = std::make_unique<FakeFrontEnd>();
    ClientLine(*server, 2);
    LINE_TABLES.ENI_CLI_NODES(2, 1) = 2;  // both at node 2
    server->Run([&](FakeFrontEnd& f) {
        if (!f.Accept()) return;
        f.Send(conductance_record(f, 2, {3.0, -1.0, 4.0}));
        f.ReadFrame(kWait);
    });
    EXPECT_FALSE(run_captured([] { ENI_INIT(); }).aborted);
    ASSERT_TRUE(server->Join(kWait));
    const SsView<double> gm = SSDESC_RA(1);
    EXPECT_EQ(gm(2, 2), 5.0);
    for (int i = 1; i <= 5; ++i)
        for (int j = 1; j <= 5; ++j)
            if (i != j) {
                EXPECT_EQ(gm(i, j), 0.0) << i << "," << j;
            }
}

TEST_F(EniStart, AGroundedConductorOnlyAddsToTheOthersDiagonal) {
    auto server = std::make_unique<FakeFrontEnd>();
    ClientLine(*server, 2);
    LINE_TABLES.ENI_CLI_NODES(2, 1) = 0;
    server->Run([&](FakeFrontEnd& f) {
        if (!f.Accept()) return;
        f.Send(conductance_record(f, 2, {3.0, -1.0, 4.0}));
        f.ReadFrame(kWait);
    });
    EXPECT_FALSE(run_captured([] { ENI_INIT(); }).aborted);
    ASSERT_TRUE(server->Join(kWait));
    EXPECT_EQ(SSDESC_RA(1)(2, 2), 2.0);
    EXPECT_EQ(array_overrun_count(), 0);
}

TEST_F(EniStart, AnEndNodeOutsideTheSubsystemEndsTheRun) {
    auto server = std::make_unique<FakeFrontEnd>();
    ClientLine(*server, 2);
    LINE_TABLES.ENI_CLI_NODES(2, 1) = 6;
    server->Run([&](FakeFrontEnd& f) {
        if (!f.Accept()) return;
        f.Send(conductance_record(f, 2, {3.0, -1.0, 4.0}));
    });
    const Outcome o = run_captured([] { ENI_INIT(); });
    ASSERT_TRUE(server->Join(kWait));
    EXPECT_TRUE(o.aborted);
    EXPECT_NE(o.out.find(" ***ERROR** ENI line to the far side ends at node 6, which subsystem 1 does not have.\n"),
              std::string::npos)
        << o.out;
    EXPECT_EQ(array_overrun_count(), 0);
}

TEST_F(EniStart, AMatrixOfAnotherSizeEndsTheRunInsteadOfOverrunning) {
    auto server = std::make_unique<FakeFrontEnd>();
    ClientLine(*server);
    server->Run([&](FakeFrontEnd& f) {
        if (!f.Accept()) return;
        f.Send(conductance_record(f, 4, std::vector<double>(10, 1.0)));
    });
    const Outcome o = run_captured([] { ENI_INIT(); });
    ASSERT_TRUE(server->Join(kWait));
    EXPECT_TRUE(o.aborted);
    EXPECT_NE(o.out.find(" ***ERROR** ENI line to the far side: the partner process sent a matrix of 4 conductors\n"
                         " ***ERROR**  for a line of 3 conductors.\n"),
              std::string::npos)
        << o.out;
    EXPECT_NE(o.out.find(abort_line("ENI_INIT")), std::string::npos);
    EXPECT_EQ(array_overrun_count(), 0);
}

TEST_F(EniStart, AServerThatGoesAwayEndsTheWaitForItsMatrix) {
    auto server = std::make_unique<FakeFrontEnd>();
    ClientLine(*server);
    server->Run([&](FakeFrontEnd& f) { f.Accept(); });  // and hangs up
    testing::internal::CaptureStderr();
    const Outcome o = run_captured([] { ENI_INIT(); });
    testing::internal::GetCapturedStderr();
    ASSERT_TRUE(server->Join(kWait));
    EXPECT_TRUE(o.aborted);
    EXPECT_NE(o.out.find(" ***ERROR** The partner process of ENI line to the far side closed the connection.\n"),
              std::string::npos)
        << o.out;
}

TEST_F(EniStart, AServerThatGoesAwayBeforeItsKeyEndsTheWait) {
    auto server = std::make_unique<FakeFrontEnd>();
    ClientLine(*server);
    RUN_FLAGS.FIRST_STEP_DATA = LFALSE;
    server->Run([&](FakeFrontEnd& f) { f.Accept(kWait, false); });
    testing::internal::CaptureStderr();
    const Outcome o = run_captured([] { ENI_INIT(); });
    testing::internal::GetCapturedStderr();
    ASSERT_TRUE(server->Join(kWait));
    EXPECT_TRUE(o.aborted);
    EXPECT_NE(o.out.find("closed the connection."), std::string::npos) << o.out;
}

TEST_F(EniStart, AServerNeverReachedEndsAfterTheLastClientPass) {
    auto server = std::make_unique<FakeFrontEnd>();
    ClientLine(*server);
    LINE_TABLES.ENI_CLI_PORT(1) = fresh_port();  // nobody listens there
    ENI_WAITS.client_pause_ms = 0;
    const Outcome o = run_captured([] { ENI_INIT(); });
    EXPECT_TRUE(o.aborted);
    size_t refused = 0;
    for (size_t at = o.out.find("connect function failed"); at != std::string::npos;
         at = o.out.find("connect function failed", at + 1))
        ++refused;
    EXPECT_EQ(refused, 1001u);
    EXPECT_NE(o.out.find(" ***ERROR** ENI Connections cannot be established.\n" +
                         std::string(" =========================================================\n") +
                         abort_line("ENI_CLIENT")),
              std::string::npos);
}

TEST_F(EniStart, ServerSendsTheUpperTriangleAndAcceptsAMatchingCheck) {
    const int port = ServerLine();
    ASSERT_GT(port, 0);
    std::string key;
    std::optional<WireFrame> matrix;
    FakeEniClient client;
    std::thread peer([&] {
        if (!client.Connect(port) || !client.ReadKey(key)) return;
        matrix = client.ReadFrame();
        client.Send(WireWriter().Int(99).Int(1));  // dropped
        client.Send(WireWriter().Int(ENI_HANDSHAKE).Int(1).Int(0).Double(0.5).Double(2.0));
    });
    const Outcome o = run_captured([] { ENI_INIT(); });
    peer.join();
    EXPECT_FALSE(o.aborted) << o.out;
    EXPECT_EQ(key, WireWriter().Int(0x12345678).Double(3.14159265359).Body());
    ASSERT_TRUE(matrix);
    EXPECT_EQ(matrix->Length(), 60);
    EXPECT_EQ(matrix->Raw(),
              WireWriter().Int(71).Int(3).Double(1).Double(2).Double(3).Double(5).Double(6).Double(9).Frame());
    EXPECT_TRUE(is_true(LINE_TABLES.ENI_SRV_DONE(1)));
}

// The server's verdict on a check record.
Outcome server_check(int port, const WireWriter& record, bool data_start = false) {
    RUN_FLAGS.FIRST_STEP_DATA = as_logical(data_start);
    FakeEniClient client;
    std::thread peer([&] {
        std::string key;
        if (!client.Connect(port) || !client.ReadKey(key)) return;
        client.Send(record);
    });
    Outcome o = run_captured([] { ENI_INIT(); });
    peer.join();
    return o;
}

TEST_F(EniStart, ACheckOneStepAheadEndsTheRunWithTwoLines) {
    const int port = ServerLine();
    const Outcome o = server_check(port, WireWriter().Int(74).Int(1).Int(1).Double(0.5).Double(2.0));
    EXPECT_TRUE(o.aborted);
    EXPECT_NE(o.out.find(std::string(kMismatch) + " =========================================================\n" +
                         abort_line("ENI_INIT")),
              std::string::npos)
        << o.out;
}

TEST_F(EniStart, AnotherTimeStepOrFinishTimeEndsTheRun) {
    for (auto [delt, fintim] : {std::pair{0.5 + 1e-12, 2.0}, {0.5, 2.0 - 1e-15}, {0.25, 2.0}}) {
        reset_all_engine_state();
        SetUp();
        const int port = ServerLine();
        const Outcome o = server_check(port, WireWriter().Int(74).Int(1).Int(0).Double(delt).Double(fintim));
        EXPECT_TRUE(o.aborted) << delt << " " << fintim;
        EXPECT_NE(o.out.find(kMismatch), std::string::npos) << o.out;
    }
}

TEST_F(EniStart, ACheckWithoutItsFlagIsTakenAsItIs) {
    const int port = ServerLine();
    const Outcome o = server_check(port, WireWriter().Int(74).Int(0).Int(99).Double(1.0).Double(1.0));
    EXPECT_FALSE(o.aborted) << o.out;
    EXPECT_EQ(o.out, "");
}

TEST_F(EniStart, APortThatCannotBeBoundEndsTheRun) {
    const int port = ServerLine();
    const SocketHandle taken = sock_create_tcp();
    ASSERT_TRUE(sock_bind(taken, port));
    ASSERT_EQ(sock_listen(taken, 1), 0);
    const Outcome o = run_captured([] { ENI_INIT(); });
    sock_close(taken);
    EXPECT_TRUE(o.aborted);
    EXPECT_NE(o.out.find(" ***ERROR** ENI Connections cannot be established.\n"
                         " ***ERROR**  Port " +
                         std::to_string(port) + " of ENI line from here cannot be opened.\n"),
              std::string::npos)
        << o.out;
    EXPECT_NE(o.out.find(abort_line("ENI_SERVER")), std::string::npos);
}

TEST_F(EniStart, AClientThatNeverComesEndsTheWait) {
    const int port = ServerLine();
    ENI_WAITS.accept_passes = 2;
    const Outcome o = run_captured([] { ENI_INIT(); });
    EXPECT_TRUE(o.aborted);
    EXPECT_NE(o.out.find(" ***ERROR** ENI Connections cannot be established.\n"
                         " ***ERROR**  No partner process connected to ENI line from here on port " +
                         std::to_string(port) + ".\n"),
              std::string::npos)
        << o.out;
}

TEST_F(EniStart, AClientThatGoesAwayBeforeItsCheckEndsTheWait) {
    const int port = ServerLine();
    FakeEniClient client;
    std::thread peer([&] {
        std::string key;
        if (client.Connect(port) && client.ReadKey(key)) client.Close();
    });
    testing::internal::CaptureStderr();
    const Outcome o = run_captured([] { ENI_INIT(); });
    testing::internal::GetCapturedStderr();
    peer.join();
    EXPECT_TRUE(o.aborted);
    EXPECT_NE(o.out.find(" ***ERROR** The partner process of ENI line from here closed the connection.\n"),
              std::string::npos)
        << o.out;
}

TEST_F(EniStart, TablesThatDoNotMatchTheCountsEndTheRun) {
    make_lines({{1, 3, "s"}});
    LINE_COUNTS.NENISRV = 2;
    Outcome o = run_captured([] { ENI_INIT(); });
    EXPECT_TRUE(o.aborted);
    EXPECT_NE(o.out.find("The ENI line tables do not match the number of ENI lines of the case."), std::string::npos);

    reset_all_engine_state();
    make_lines({{2, 5, "c"}});  // more conductors than the tables hold
    o = run_captured([] { ENI_INIT(); });
    EXPECT_TRUE(o.aborted);
    EXPECT_EQ(array_overrun_count(), 0);
}

// ------------------------------------------- two engine ends, two processes

// Runs f in a child process with its standard output into a pipe; the
// child's exit code is f's result.
struct Child {
    pid_t pid = -1;
    int out = -1;
};

Child spawn(const std::function<int()>& f) {
    std::fflush(nullptr);
    int p[2];
    if (pipe(p) != 0) return {};
    const pid_t pid = fork();
    if (pid == 0) {
        close(p[0]);
        dup2(p[1], 1);
        close(p[1]);
        int code = 90;
        try {
            code = f();
        } catch (const EngineStop&) {
            code = 80;
        }
        console_flush();
        std::fflush(nullptr);
        _exit(code);
    }
    close(p[1]);
    return {pid, p[0]};
}

// The child's output and exit code, waiting at most timeout_ms; a child
// that does not end by then is killed and gives -1.
std::pair<std::string, int> finish(const Child& c, int timeout_ms = 30000) {
    std::string text;
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - std::chrono::steady_clock::now());
        if (left.count() <= 0) break;
        pollfd pfd{c.out, POLLIN, 0};
        if (poll(&pfd, 1, static_cast<int>(left.count())) <= 0) break;
        char buf[4096];
        const ssize_t n = read(c.out, buf, sizeof buf);
        if (n <= 0) break;
        text.append(buf, static_cast<size_t>(n));
    }
    close(c.out);
    int status = 0;
    for (int i = 0; i < 100; ++i) {
        if (waitpid(c.pid, &status, WNOHANG) == c.pid) return {text, WIFEXITED(status) ? WEXITSTATUS(status) : -1};
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    kill(c.pid, SIGKILL);
    waitpid(c.pid, &status, 0);
    return {text, -1};
}

// One engine's end of a two-conductor line between two processes.
void server_end(int port) {
    make_lines({{1, 2, "tie"}});
    LINE_TABLES.ENI_SRV_PORT(1) = port;
    LINE_TABLES.TLGMAT(1, 1, 1) = 6.0;
    LINE_TABLES.TLGMAT(1, 2, 1) = -2.0;
    LINE_TABLES.TLGMAT(2, 1, 1) = -2.0;
    LINE_TABLES.TLGMAT(2, 2, 1) = 8.0;
}
bool client_end(int port) {
    make_lines({{0, 1, "own"}, {2, 2, "tie"}});
    if (!make_subsystem(3)) return false;
    LINE_TABLES.ENI_HOST(1) = "127.0.0.1";
    LINE_TABLES.ENI_CLI_PORT(1) = port;
    LINE_TABLES.ENI_CLI_SS(1) = 1;
    LINE_TABLES.ENI_CLI_NODES(1, 1) = 3;
    LINE_TABLES.ENI_CLI_NODES(2, 1) = 1;
    return true;
}

class EniProcesses : public EniStart {};

TEST_F(EniProcesses, ServerAndClientExchangeTheMatrixAndAgree) {
    const int port = fresh_port();
    ASSERT_GT(port, 0);
    // The client process prints its subsystem matrix after the start.
    const Child client = spawn([port] {
        if (!client_end(port)) return 10;
        ENI_INIT();
        const SsView<double> gm = SSDESC_RA(1);
        for (int i = 1; i <= 3; ++i)
            for (int j = 1; j <= 3; ++j) std::printf("%g%c", gm(i, j), j == 3 ? '\n' : ' ');
        return is_true(LINE_TABLES.ENI_CLI_DONE(1)) ? 0 : 11;
    });
    ASSERT_GT(client.pid, 0);
    server_end(port);
    const Outcome o = run_captured([] { ENI_INIT(); });
    const auto [out, code] = finish(client);
    EXPECT_FALSE(o.aborted) << o.out;
    EXPECT_EQ(o.out, "");
    EXPECT_EQ(code, 0) << out;
    // Conductor 1 at node 3, conductor 2 at node 1.
    EXPECT_EQ(out,
              "6 0 2\n"
              "0 0 0\n"
              "2 0 4\n");
}

TEST_F(EniProcesses, ADifferentTimeStepStopsTheServerAndTheClientDoesNotHang) {
    const int port = fresh_port();
    ASSERT_GT(port, 0);
    // The server process, with a time step twice this one's.
    const Child server = spawn([port] {
        server_end(port);
        RUN_CLOCK.DELT = 1.0;
        ENI_INIT();
        return 0;
    });
    ASSERT_GT(server.pid, 0);
    ASSERT_TRUE(client_end(port));
    const Outcome o = run_captured([] { ENI_INIT(); });
    EXPECT_FALSE(o.aborted) << o.out;
    EXPECT_EQ(SSDESC_RA(1)(1, 1), 6.0);  // the matrix came before the check

    // The server's end goes away, and this end sees it at once.
    const auto [out, code] = finish(server);
    EXPECT_EQ(code, 80);
    EXPECT_NE(out.find(std::string(kMismatch) + " =========================================================\n" +
                       abort_line("ENI_INIT")),
              std::string::npos)
        << out;
    testing::internal::CaptureStderr();
    bool closed = false;
    for (int i = 0; i < 1000 && !closed; ++i) {
        eni_client_poll(0, LFALSE, port);
        closed = is_true(eni_client_closed(0, port));
        if (!closed) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    testing::internal::GetCapturedStderr();
    EXPECT_TRUE(closed);
}

}  // namespace
