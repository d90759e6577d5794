// A line between two subsystems run by the whole program: standalone to its
// end, and connected to scripted front ends that watch the node voltages,
// once with both ends in one map and once split over an ENI server map and
// an ENI client map run by two processes at the same time.
#include <cstring>
#include <fstream>
#include <future>
#include <optional>

#include "link/tests/link_test_support.h"
#include "link/trace.h"
#include "link/wire_codes.h"

namespace {

using namespace link_test;

constexpr int kWait = 20000;
constexpr int32_t kSteps = 200;  // the run's 10 ms at 50 us

// 100 V behind 100 ohms at one end, 1,200 ohms at the other; a lossless
// Bergeron line of 400 ohms and ten steps between them.
const char* const kLineFile = " 1 0 0 0 50.0 50.0 1.0 1e-9 1e-9\n 0 0 0.5 400.0 0.0 0.0 1.0\n";
const char* const kSourceBranch = " 0 1 RE 100.0 100.0\n";

// The network's options: its defaults, or neither interpolation nor
// chatter removal (the lattice's own steps).
struct Options {
    std::string name, parameters;
};
void PrintTo(const Options& o, std::ostream* os) { *os << o.name; }
const Options kPlain{"Plain", " INTERPOLATE = NO\n REMOVE_CHATTER = NO\n"};

struct Case {
    std::string parameters;
    int32_t role = 0;  // 0 both ends, 1 the server's source end, 2 the client's load end
};

void write_case(const TempDir& dir, const Case& c) {
    const bool both = c.role == 0;
    const std::string n = both ? "2" : "1";
    std::ofstream(dir.file("case.map"))
        << "DIMENSIONS:\n NODES = 1\n SUBSYS = " << n << "\n BRANCHES = 2\n NNODES = 8\n NPAGES = 1\n SUBSYSPAGE = "
        << n << "\nPARAMETERS:\n TIME_STEP = 50.0E-6\n PRINT_STEP = 50.0E-6\n FINISH_TIME = 10.0E-3\n"
        << c.parameters << "SUBSYSDIM:\n" << (both ? " 2 1 1" : " 1 1") << "\nSUBS:\n" << (both ? " 2 1 2" : " 1 1")
        // Both ends: page node 1 in subsystem 1, page node 2 in subsystem 2.
        << "\nMAP: 'page.map'\n" << (both ? " 0 2  1 1\n 2 2  1 2\n" : " 1 1  1\n") << " 0 0\nENDCASE\n";
    std::ofstream page(dir.file("page.map"));
    page << "BRANCHES:\n" << (c.role == 2 ? "" : kSourceBranch) << (both ? " 2 0 R 1200.0\n" : "")
         << (c.role == 2 ? " 1 0 R 1200.0\n" : "") << "TLINES:\nHOLVA Line Constants\n 1 " << c.role
         << "\n 1 1 1 0 1 0\n" << (both ? " 2 2 1 0 1 0\n" : "")
         << "TLINE-INPUT-DATA  tie.tli\nTLINE-OUTPUT-DATA tie.tlo\nENDPAGE\n";
    if (c.role != 2) std::ofstream(dir.file("tie.tlo")) << kLineFile;
}

uint64_t bits(double v) {
    uint64_t u = 0;
    std::memcpy(&u, &v, sizeof u);
    return u;
}
double value(uint64_t u) {
    double v = 0.0;
    std::memcpy(&v, &u, sizeof v);
    return v;
}

// One traced record: the step of the time record before it and the values as bits.
struct Traced {
    int32_t step = -1;
    std::vector<uint64_t> values;
    bool operator==(const Traced&) const = default;
};
void PrintTo(const Traced& t, std::ostream* os) {
    *os << "step " << t.step << ":";
    for (uint64_t u : t.values) *os << " " << value(u);
}

// What a watching front end saw.
struct Watched {
    ServedRun run;
    std::vector<Traced> records;
    bool ended = false;   // the end of the run came
    bool closed = false;  // and the closing exchange
};

// The whole program on case.map in dir, watched at the node voltages
// (node, subsystem); an ENI end first gets its line's port.
Watched watch(const TempDir& dir, const std::vector<std::pair<int32_t, int32_t>>& nodes,
              std::optional<WireWriter> ports = std::nullopt) {
    Watched w;
    FakeFrontEnd fe;
    if (fe.Port() <= 0) return w;
    w.run = run_served(
        fe,
        [&](FakeFrontEnd& f) {
            if (!f.Accept(kWait) || !f.Send(f.Frame().Int(FE_SETUP_DATAFILE).Str("case.map")) ||
                !f.SendInts({FE_SETUP_NO_OUTPUT}) || !f.SendInts({FE_SETUP_END}))
                return;
            if (ports) f.Send(*ports);
            for (const auto& [node, ss] : nodes) f.SendInts({FE_CMD_TRACE_ADD, trace_key(TRACE_VNODE, node, ss)});
            f.SendInts({FE_CMD_STEPS, 10 * kSteps});
            int32_t step = -1;
            while (auto r = f.ReadFrame(kWait)) {
                const int32_t code = r->Int();
                if (code == FE_MSG_TIME) step = r->Int();
                if (code == FE_MSG_TRACE) {
                    w.records.push_back({step, {}});
                    for (size_t k = 0; k < nodes.size(); ++k) w.records.back().values.push_back(bits(r->Double()));
                }
                if (code == FE_MSG_END_OF_RUN) {
                    w.ended = true;
                    f.SendInts({FE_CMD_END_ANSWER, 0});
                }
                if (code == FE_SHUTDOWN) {
                    w.closed = f.SendInts({FE_SHUTDOWN}) && f.WaitForClose(kWait);
                    return;
                }
            }
        },
        dir.path, kWait);
    return w;
}

void expect_clean_end(const Watched& w, const std::string& what) {
    SCOPED_TRACE(what);
    EXPECT_FALSE(w.run.result.timed_out);
    EXPECT_TRUE(w.run.script_ended);
    EXPECT_TRUE(w.ended);
    EXPECT_TRUE(w.closed);
    EXPECT_EQ(w.run.result.exit_code, 0) << w.run.result.out;
    ASSERT_GT(w.records.size(), size_t{kSteps});
    EXPECT_EQ(w.records[kSteps].step, kSteps);
}

class LineProgram : public testing::TestWithParam<Options> {};

// Start from data, no snapshot, the map, one run, no output file, no plot;
// then what the map's lines ask.
ProgramResult standalone(const TempDir& dir, const std::string& more = "") {
    return run_program({bare_program(), "-v4", "-startup:alone"}, "0\n0\ncase.map\n1\n0\n0\n" + more, dir.path, kWait);
}

void expect_run_to_end(const ProgramResult& r) {
    ASSERT_FALSE(r.timed_out);
    EXPECT_EQ(r.exit_code, 0) << r.out;
    EXPECT_FALSE(contains(r.out, "ERROR")) << r.out;
    EXPECT_TRUE(contains(r.out, " => This run is 100% complete.\n")) << r.out;
    EXPECT_TRUE(ends_with(r.out, status_line(bare_program(), 0))) << r.out;
    EXPECT_EQ(r.err, "");
}

TEST_P(LineProgram, BothEndsInTwoSubsystemsRunStandaloneToTheEnd) {
    const TempDir dir;
    ASSERT_TRUE(dir.ok());
    write_case(dir, {GetParam().parameters, 0});
    const ProgramResult r = standalone(dir);
    expect_run_to_end(r);
    EXPECT_EQ(count_of(r.out, "\nNumber of Matrix Switchings in SS#"), 2u);
}

TEST_P(LineProgram, EniEndsRunStandaloneToTheEndOnThePortsAnswered) {
    const TempDir server_dir, client_dir;
    ASSERT_TRUE(server_dir.ok() && client_dir.ok());
    write_case(server_dir, {GetParam().parameters, 1});
    write_case(client_dir, {GetParam().parameters, 2});
    const int free = free_loopback_port();
    ASSERT_GT(free, 0);
    const std::string port = std::to_string(free) + "\n";
    auto server = std::async(std::launch::async, [&] { return standalone(server_dir, port); });
    const ProgramResult client = standalone(client_dir, port);
    const ProgramResult srv = server.get();
    expect_run_to_end(srv);
    expect_run_to_end(client);
    EXPECT_TRUE(contains(srv.out, " Enter port number for ENI server tie\n")) << srv.out;
    EXPECT_TRUE(contains(client.out, " Enter port number for ENI client tie\n")) << client.out;
}

TEST_P(LineProgram, EniEndsInTwoProcessesGiveTheVoltagesOfOneProcess) {
    const TempDir whole, server_dir, client_dir;
    ASSERT_TRUE(whole.ok() && server_dir.ok() && client_dir.ok());
    write_case(whole, {GetParam().parameters, 0});
    write_case(server_dir, {GetParam().parameters, 1});
    write_case(client_dir, {GetParam().parameters, 2});

    const Watched one = watch(whole, {{1, 1}, {1, 2}});
    expect_clean_end(one, "one process");
    if (GetParam().name == kPlain.name) {
        // The lattice: reflections of -0.6 at the source end and 0.5 at the load end.
        const std::vector<double> end1{80, 96, 91.2, 92.64}, end2{120, 84, 94.8, 91.56};
        for (size_t k = 0; k < 80 && k < one.records.size(); ++k) {
            ASSERT_NEAR(value(one.records[k].values[0]), end1[k / 20], 1e-12) << "end 1, step " << k;
            const double load_end = k < 10 ? 0.0 : end2[(k - 10) / 20];
            ASSERT_NEAR(value(one.records[k].values[1]), load_end, 1e-12) << "end 2, step " << k;
        }
    }

    const int port = free_loopback_port();
    ASSERT_GT(port, 0);
    auto server = std::async(std::launch::async, [&] {
        return watch(server_dir, {{1, 1}}, WireWriter().Int(FE_CMD_ENI_PORTS).Int(1).Str("localhost").Int(port));
    });
    const Watched client =
        watch(client_dir, {{1, 1}}, WireWriter().Int(FE_CMD_ENI_PORTS).Int(1).Str("127.0.0.1").Int(port));
    const Watched srv = server.get();
    expect_clean_end(srv, "server");
    expect_clean_end(client, "client");

    // Record by record, the server's node and the client's node are the two
    // subsystems' nodes of the one process, bit for bit.
    ASSERT_EQ(srv.records.size(), client.records.size());
    std::vector<Traced> joined;
    for (size_t k = 0; k < srv.records.size(); ++k) {
        ASSERT_EQ(srv.records[k].step, client.records[k].step) << k;
        joined.push_back(srv.records[k]);
        joined.back().values.push_back(client.records[k].values.at(0));
    }
    EXPECT_EQ(joined, one.records);
}

INSTANTIATE_TEST_SUITE_P(Network, LineProgram,
                         testing::Values(Options{"Defaults", ""}, kPlain),
                         [](const testing::TestParamInfo<Options>& i) { return i.param.name; });

}  // namespace
