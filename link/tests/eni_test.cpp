// The ENI connections of a run: line names and ports from the front end, the
// start on either end of a line against a stand-in partner, then two engine
// ends in two processes.
#include <set>
#include <sstream>

#include "engine/solution_arrays.h"
#include "engine/time_step.h"
#include "lines/line_tables.h"
#include "lines/lines.h"
#include "link/eni.h"
#include "link/run_commands.h"
#include "link/tests/link_test_support.h"
#include "network/dimensions.h"
#include "network/network_tables.h"
#include "network/parameters.h"
#include "platform/tests/support/child_process.h"

namespace {

using namespace link_test;

struct LineRow {
    int32_t role = 0;  // 0 local, 1 server, 2 client
    int32_t conductors = 1;
    std::string name;
};

// Line tables for the lines, room conductors each; the ENI counts from the roles.
void make_lines(const std::vector<LineRow>& lines, int32_t room = 4) {
    LineTables& L = LINE_TABLES;
    const int32_t total = static_cast<int32_t>(lines.size());
    int32_t servers = 0, clients = 0;
    for (const LineRow& l : lines) {
        servers += l.role == 1;
        clients += l.role == 2;
    }
    const int32_t es = std::max(servers, 1), ec = std::max(clients, 1), nt = std::max(total, 1);
    L.TLINE_REC.allocate(nt, 13);
    L.TLGMAT.allocate(room, room, nt);
    L.TLNAME.allocate(nt);
    L.ENI_SRV_PORT.allocate(es);
    L.ENI_SRV_DONE.allocate(es);
    L.ENI_CLI_SS.allocate(ec);
    L.ENI_CLI_NODES.allocate(room, ec);
    L.ENI_CLI_PORT.allocate(ec);
    L.ENI_CLI_DONE.allocate(ec);
    L.ENI_HOST.allocate(es + ec);
    for (int32_t k = 1; k <= total; ++k) {
        const LineRow& l = lines[static_cast<size_t>(k - 1)];
        L.TLINE_REC(k, 1) = l.role == 2 ? -1 : 0;
        L.TLINE_REC(k, 4) = l.role;
        L.TLINE_REC(k, 5) = l.conductors;
        L.TLNAME(k).assign(l.name);
    }
    LINE_COUNTS.NENISRV = servers;
    LINE_COUNTS.NENICLI = clients;
}

// One subsystem of the given node count with its matrices in the global layout.
bool make_subsystem(int32_t nodes) {
    DIMBLOCK.AVAIL[ND_NODES] = nodes;
    DIMBLOCK.AVAIL[ND_SUBSYS] = 1;
    DIMBLOCK.NSUBSYS = 1;
    PARAMS.USE_SUBSYSDIM = LFALSE;
    int32_t status = -1;
    ALLOC_SSLIST(1, status);
    if (status != 0) return false;
    SOLUTION_ARRAYS.SSDIM(1) = nodes;
    ALLOCATION(1, status);
    NET.NBUSES.allocate(1);
    NET.NBUSES(1) = nodes;
    NET.GM_DIAG0.allocate(nodes, 1);
    return status == 0;
}

// A loopback port free now and new to this process (earlier links stay in the layer's tables).
int fresh_port() {
    static std::set<int> used;
    for (int tries = 0; tries < 100; ++tries) {
        const int port = free_loopback_port();
        if (port > 0 && used.insert(port).second) return port;
    }
    return -1;
}

constexpr int kWait = 10000;

const std::string kMismatch =
    " ***ERROR** Projects linked with ENI lines have different\n"
    " ***ERROR**  startup times, time steps or finish times.\n";
const std::string kCannot = " ***ERROR** ENI Connections cannot be established.\n";

// ------------------------------------------------ front-end records

class EniFrontEnd : public LinkedEngine {
protected:
    void SetUp() override {
        LinkedEngine::SetUp();
        RUN_SEQ.FIRST_RUN = LTRUE;
    }
    static int32_t Poll() {
        int32_t granted = 0, result = -1;
        POLL_MESSAGES(granted, result);
        return granted;
    }
};

TEST_F(EniFrontEnd, LineNamesServersFirstThenClients) {
    ENI_SEND_LINES();
    EXPECT_EQ(Next(FE_MSG_ENI_LINES, "ii"), "0 0");
    make_lines({{2, 1, "far end  "}, {1, 3, "line A"}, {0, 3, "local"}, {1, 2, "line B"}});
    ENI_SEND_LINES();
    EXPECT_EQ(Next(FE_MSG_ENI_LINES, "iisss"), "2 1 line A line B far end");  // names trimmed
}

TEST_F(EniFrontEnd, PortsAreTakenAndMustAllCome) {
    make_lines({{1, 3, "s1"}, {2, 3, "c1"}, {1, 3, "s2"}});
    fe().Send(fe().Frame().Int(FE_CMD_ENI_PORTS).Int(3).Str("server-host").Int(4001).Str("other").Int(4002)
                  .Str("partner.example").Int(4003));
    fe().SendInts({FE_CMD_STEPS, 1});
    Poll();
    const LineTables& L = LINE_TABLES;
    // A server listens on its own machine.
    EXPECT_EQ(std::vector<std::string>({L.ENI_HOST(1).trimmed(), L.ENI_HOST(2).trimmed(), L.ENI_HOST(3).trimmed()}),
              std::vector<std::string>({"localhost", "localhost", "partner.example"}));
    EXPECT_EQ(std::vector<int32_t>({L.ENI_SRV_PORT(1), L.ENI_SRV_PORT(2), L.ENI_CLI_PORT(1)}),
              std::vector<int32_t>({4001, 4002, 4003}));
    // A wrong total ends the run.
    fe().Send(fe().Frame().Int(FE_CMD_ENI_PORTS).Int(2).Str("h").Int(1));
    const Captured c = capture([] { Poll(); });
    EXPECT_EQ(c.status, 2000);
    EXPECT_TRUE(contains(c.out, abort_frame("REC_ENI_PORT"))) << c.out;
    EXPECT_EQ(NextUserRecord(), "0 0 2 1 Total number received does not match the total number of ENI lines");
}

// ------------------------------------------- one engine end, one stand-in

class EniStart : public testing::Test {
protected:
    void SetUp() override {
        reset_all_engine_state();
        RUN_SEQ.FIRST_RUN = RUN_FLAGS.FIRST_STEP_RUN = RUN_FLAGS.FIRST_STEP_DATA = LTRUE;
        RUN_CLOCK.NSTEP = 0;
        RUN_CLOCK.DELT = 0.5;
        RUN_CLOCK.FINTIM = 2.0;
        ENI_WAITS.accept_passes = 20;
    }
    void TearDown() override { reset_all_engine_state(); }
    static Captured Init(bool with_stderr = false) { return capture([] { ENI_INIT(); }, with_stderr); }

    // A client line of three conductors at nodes 2, 4 and 5 of a subsystem of five.
    static void ClientLine(FakeFrontEnd& server, int conductors = 3) {
        make_lines({{0, 2, "local"}, {2, conductors, "to the far side"}});
        ASSERT_TRUE(make_subsystem(5));
        LineTables& L = LINE_TABLES;
        L.ENI_HOST(1) = "localhost";
        L.ENI_CLI_PORT(1) = server.Port();
        L.ENI_CLI_SS(1) = 1;
        const int32_t nodes[] = {2, 4, 5, 1};
        for (int i = 1; i <= conductors; ++i) L.ENI_CLI_NODES(i, 1) = nodes[i - 1];
    }
    // The client's start against a stand-in server that accepts it (sending
    // its key unless told not to) and runs script.
    static Captured ClientStart(FakeFrontEnd& server, std::function<void(FakeFrontEnd&)> script, bool key = true) {
        server.Run([script = std::move(script), key](FakeFrontEnd& f) {
            if (f.Accept(kWait, key)) script(f);
        });
        const Captured c = Init(true);
        EXPECT_TRUE(server.Join(kWait));
        return c;
    }
    // A record the client does not wait for, then the upper triangle of the line by rows.
    static void SendMatrix(FakeFrontEnd& f, int32_t n, const std::vector<double>& upper) {
        f.SendInts({ENI_SERVER_STEP, 5});
        WireWriter w = f.Frame();
        w.Int(ENI_CONDUCTANCE).Int(n);
        for (double g : upper) w.Double(g);
        f.Send(w);
    }
    // A server line of three conductors on a fresh port.
    static int ServerLine() {
        make_lines({{1, 3, "from here"}});
        const int port = fresh_port();
        LINE_TABLES.ENI_SRV_PORT(1) = port;
        double g = 1.0;
        for (int i = 1; i <= 3; ++i)
            for (int j = 1; j <= 3; ++j) LINE_TABLES.TLGMAT(i, j, 1) = g++;
        return port;
    }
    // The server's start against a stand-in client that reads the key and then does what it is told.
    static Captured ServerStart(int port, const std::function<void(FakeFrontEnd&, const std::string&)>& then) {
        FakeFrontEnd client;
        std::thread peer([&] {
            std::string key;
            if (client.Connect(port) && client.ReadKey(key)) then(client, key);
        });
        const Captured c = Init(true);
        peer.join();
        return c;
    }
};

TEST_F(EniStart, ClientTakesTheMatrixStampsItAndSendsTheCheck) {
    FakeFrontEnd server;
    ASSERT_GT(server.Port(), 0);
    ClientLine(server);
    const SsView<double> gm = SSDESC_RA(1);
    gm(2, 2) = 10.0;
    gm(1, 1) = 7.0;
    gm(4, 2) = gm(2, 4) = 0.25;
    std::optional<WireFrame> check;
    const Captured c = ClientStart(server, [&](FakeFrontEnd& f) {
        SendMatrix(f, 3, {3.0, -1.0, -0.5, 4.0, -2.0, 5.0});
        check = f.ReadFrame(kWait);
    });
    EXPECT_FALSE(c.aborted) << c.out;

    // Couplings off the diagonal, row sums on it, patterns both ways.
    EXPECT_EQ(std::vector<double>({gm(4, 2), gm(2, 4), gm(5, 2), gm(2, 5), gm(5, 4), gm(4, 5)}),
              std::vector<double>({1.25, 1.25, 0.5, 0.5, 2.0, 2.0}));
    EXPECT_EQ(std::vector<double>({gm(2, 2), gm(4, 4), gm(5, 5), gm(1, 1), gm(3, 3)}),
              std::vector<double>({11.5, 1.0, 2.5, 7.0, 0.0}));
    const SsView<int8_t> pat = SSDESC_IA(1);
    EXPECT_EQ(std::vector<int>({pat(2, 5), pat(5, 2), pat(4, 5), pat(1, 2), pat(3, 4)}),
              std::vector<int>({-1, -1, -1, 0, 0}));
    // Once the first step adds the column sums, a diagonal is the line's self
    // conductance plus what was there.
    SSINIT();
    EXPECT_EQ(gm(4, 4), 4.0 + 0.25);
    EXPECT_EQ(array_overrun_count(), 0);
    // The check record: 32 bytes.
    ASSERT_TRUE(check);
    EXPECT_EQ(check->Length(), 32);
    EXPECT_EQ(check->Raw(), server.Frame().Int(74).Int(1).Int(0).Double(0.5).Double(2.0).Frame());
}

TEST_F(EniStart, ConductorsOnOneNodeOrGroundedAddOnlyToDiagonals) {
    for (const auto& [node, diagonal] : {std::pair{2, 5.0}, {0, 2.0}}) {
        SetUp();
        FakeFrontEnd server;
        ClientLine(server, 2);
        LINE_TABLES.ENI_CLI_NODES(2, 1) = node;
        EXPECT_FALSE(ClientStart(server, [](FakeFrontEnd& f) {
                         SendMatrix(f, 2, {3.0, -1.0, 4.0});
                         f.ReadFrame(kWait);
                     }).aborted);
        const SsView<double> gm = SSDESC_RA(1);
        EXPECT_EQ(gm(2, 2), diagonal);
        double off = 0.0;
        for (int i = 1; i <= 5; ++i)
            for (int j = 1; j <= 5; ++j) off += i != j ? std::abs(gm(i, j)) : 0.0;
        EXPECT_EQ(off, 0.0);
        EXPECT_EQ(array_overrun_count(), 0);
    }
}

TEST_F(EniStart, ClientFailuresEndTheRun) {
    // A server gone before its key is met at a snapshot start.
    const struct { const char* what; int conductors; int32_t node2, n; std::vector<double> upper; bool data_start;
                   std::string shown; } cases[] = {
        {"end node outside the subsystem", 2, 6, 2, {3.0, -1.0, 4.0}, true,
         " ***ERROR** ENI line to the far side ends at node 6, which subsystem 1 does not have.\n"},
        {"matrix of another size", 3, 4, 4, std::vector<double>(10, 1.0), true,
         " ***ERROR** ENI line to the far side: the partner process sent a matrix of 4 conductors\n"
         " ***ERROR**  for a line of 3 conductors.\n" + abort_frame("ENI_INIT")},
        {"server gone before its matrix", 3, 4, 0, {}, true,
         " ***ERROR** The partner process of ENI line to the far side closed the connection.\n"},
        {"server gone before its key", 3, 4, 0, {}, false, "closed the connection."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        SetUp();
        RUN_FLAGS.FIRST_STEP_DATA = as_logical(c.data_start);
        FakeFrontEnd server;
        ClientLine(server, c.conductors);
        LINE_TABLES.ENI_CLI_NODES(2, 1) = c.node2;
        const Captured r = ClientStart(server, [&](FakeFrontEnd& f) {
            if (!c.upper.empty()) SendMatrix(f, c.n, c.upper);
        }, c.data_start);
        EXPECT_TRUE(r.aborted);
        EXPECT_TRUE(contains(r.out, c.shown)) << r.out;
        EXPECT_EQ(array_overrun_count(), 0);
    }

    // A server never reached ends after the last client pass.
    SetUp();
    FakeFrontEnd server;
    ClientLine(server);
    LINE_TABLES.ENI_CLI_PORT(1) = fresh_port();  // nobody listens there
    ENI_WAITS.client_pause_ms = 0;
    const Captured c = Init();
    EXPECT_TRUE(c.aborted);
    EXPECT_EQ(count_of(c.out, "connect function failed"), 1001u);
    EXPECT_TRUE(contains(c.out, kCannot + abort_frame("ENI_CLIENT")));
}

TEST_F(EniStart, ServerSendsTheUpperTriangleAndJudgesTheCheck) {
    std::string key;
    std::optional<WireFrame> matrix;
    const Captured c = ServerStart(ServerLine(), [&](FakeFrontEnd& client, const std::string& k) {
        key = k;
        matrix = client.ReadFrame();
        client.Send(WireWriter().Int(99).Int(1));  // dropped
        client.Send(WireWriter().Int(ENI_HANDSHAKE).Int(1).Int(0).Double(0.5).Double(2.0));
    });
    EXPECT_FALSE(c.aborted) << c.out;
    EXPECT_EQ(key, WireWriter().Int(0x12345678).Double(3.14159265359).Body());
    ASSERT_TRUE(matrix);
    EXPECT_EQ(matrix->Length(), 60);
    EXPECT_EQ(matrix->Raw(),
              WireWriter().Int(71).Int(3).Double(1).Double(2).Double(3).Double(5).Double(6).Double(9).Frame());
    EXPECT_TRUE(is_true(LINE_TABLES.ENI_SRV_DONE(1)));

    const struct { int32_t flag, step; double delt, fintim; bool ends; } checks[] = {
        {0, 99, 1.0, 1.0, false},  // a check without its flag is taken as it is
        {1, 1, 0.5, 2.0, true},    // another step
        {1, 0, 0.5 + 1e-12, 2.0, true},
        {1, 0, 0.5, 2.0 - 1e-15, true},
    };
    for (const auto& k : checks) {
        SCOPED_TRACE(std::to_string(k.step) + " " + std::to_string(k.delt) + " " + std::to_string(k.fintim));
        SetUp();
        RUN_FLAGS.FIRST_STEP_DATA = LFALSE;  // no matrix to send
        const WireWriter record = WireWriter().Int(74).Int(k.flag).Int(k.step).Double(k.delt).Double(k.fintim);
        const Captured r =
            ServerStart(ServerLine(), [&](FakeFrontEnd& client, const std::string&) { client.Send(record); });
        EXPECT_EQ(r.aborted, k.ends);
        EXPECT_EQ(r.out, k.ends ? kMismatch + abort_frame("ENI_INIT") : "");
    }
}

TEST_F(EniStart, ServerFailuresEndTheRun) {
    // A port that cannot be bound.
    int port = ServerLine();
    const SocketHandle taken = sock_create_tcp();
    ASSERT_TRUE(sock_bind(taken, port));
    ASSERT_EQ(sock_listen(taken, 1), 0);
    Captured c = Init();
    sock_close(taken);
    EXPECT_TRUE(c.aborted);
    EXPECT_TRUE(contains(c.out, kCannot + " ***ERROR**  Port " + std::to_string(port) +
                                    " of ENI line from here cannot be opened.\n" + abort_frame("ENI_SERVER")))
        << c.out;

    // A client that never comes.
    SetUp();
    port = ServerLine();
    ENI_WAITS.accept_passes = 2;
    c = Init();
    EXPECT_TRUE(c.aborted);
    EXPECT_TRUE(contains(c.out, kCannot + " ***ERROR**  No partner process connected to ENI line from here on port " +
                                    std::to_string(port) + ".\n"))
        << c.out;

    // A client that goes away before its check.
    SetUp();
    c = ServerStart(ServerLine(), [](FakeFrontEnd& client, const std::string&) { client.Hangup(); });
    EXPECT_TRUE(c.aborted);
    EXPECT_TRUE(contains(c.out, " ***ERROR** The partner process of ENI line from here closed the connection.\n"))
        << c.out;
}

TEST_F(EniStart, NoLinesNoLinkAndTablesThatDoNotMatchTheCountsEndTheRun) {
    Captured c = Init();
    EXPECT_FALSE(c.aborted);
    EXPECT_EQ(c.out, "");

    make_lines({{1, 3, "s"}});
    LINE_COUNTS.NENISRV = 2;
    c = Init();
    EXPECT_TRUE(c.aborted);
    EXPECT_TRUE(contains(c.out, "The ENI line tables do not match the number of ENI lines of the case."));

    reset_all_engine_state();
    make_lines({{2, 5, "c"}});  // more conductors than the tables hold
    EXPECT_TRUE(Init().aborted);
    EXPECT_EQ(array_overrun_count(), 0);
}

// ------------------------------------------- two engine ends, two processes

// One engine's end of a two-conductor line between two processes.
void server_end(int port) {
    make_lines({{1, 2, "tie"}});
    LINE_TABLES.ENI_SRV_PORT(1) = port;
    LINE_TABLES.TLGMAT(1, 1, 1) = 6.0;
    LINE_TABLES.TLGMAT(1, 2, 1) = LINE_TABLES.TLGMAT(2, 1, 1) = -2.0;
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

using EniProcesses = EniStart;

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
    const Captured c = Init();
    const auto [out, code] = finish(client);
    EXPECT_FALSE(c.aborted) << c.out;
    EXPECT_EQ(c.out, "");
    EXPECT_EQ(code, 0) << out;
    // The client may try before the server listens; its retry reports are not part of the matrix.
    std::string matrix;
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);)
        if (line.rfind("connect function failed", 0) != 0 && line.rfind("Exchange::Connect:", 0) != 0)
            matrix += line + "\n";
    EXPECT_EQ(matrix, "6 0 2\n0 0 0\n2 0 4\n");  // conductor 1 at node 3, conductor 2 at node 1
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
    const Captured c = Init();
    EXPECT_FALSE(c.aborted) << c.out;
    EXPECT_EQ(SSDESC_RA(1)(1, 1), 6.0);  // the matrix came before the check

    // The server's end goes away, and this end sees it at once.
    const auto [out, code] = finish(server);
    EXPECT_EQ(code, 80);
    EXPECT_TRUE(contains(out, kMismatch + abort_frame("ENI_INIT"))) << out;
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
