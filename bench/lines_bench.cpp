// Time of the per-step line update: TLSTEP and TLPOST over 10, 100 and
// 1,000 three-phase constant-parameter lines in one subsystem, as the cost
// of so many nodes of the network step (the 1,000-node R-C ladder of the
// same run); one "FRE-PHASE" line (3 conductors, 8 admittance poles per
// column, one delay group of 8 poles) and one "MFDTD" line (3 conductors,
// 2 poles, per segment of 10), read from their files, likewise; and an
// ENI client's step against a partner that answers at once, as a ratio to
// a bare loopback ping-pong of the same frames.
#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "bench/ladder.h"
#include "engine/bookends.h"
#include "lines/line_record.h"
#include "lines/line_tables.h"
#include "lines/lines.h"
#include "network/line_reader.h"
#include "network/map_reader.h"
#include "network/tests/data_start.h"
#include "link/flat_layer.h"
#include "platform/socket_layer.h"

namespace {

using Clock = std::chrono::steady_clock;

double seconds_since(Clock::time_point t0) { return std::chrono::duration<double>(Clock::now() - t0).count(); }

// Seconds per node of one step of the 1,000-node R-C ladder.
double node_step_cost() {
    static double cost = [] {
        constexpr int32_t n = 1000, steps = 3000;
        bench::rc_ladder(n);
        bench::first_step();
        const Clock::time_point t0 = Clock::now();
        for (int k = 0; k < steps; ++k) {
            SOLVE_NETWORK();
            ++RUN_CLOCK.NSTEP;
        }
        const double c = seconds_since(t0) / (steps * double{n});
        reset_all_engine_state();
        return c;
    }();
    return cost;
}

// Storage for lines of 3 conductors with both ends in subsystem 1.
void line_storage(int32_t lines, int32_t servers, int32_t clients) {
    reset_all_engine_state();
    const std::pair<int, int32_t> req[] = {
        {ND_NODES, std::max(6 * lines, 3)}, {ND_SUBSYS, 1},          {ND_MAXMODES, 3},
        {ND_TLINES, std::max(lines, 1)},    {ND_TLINES_TOTAL, std::max(lines, 1)},
        {ND_NUMMODES, 3 * std::max(lines, 1)}, {ND_TRAVWAVES, 3 * 40 * std::max(lines, 1)},
        {ND_TRANSFORMS, 9 * std::max(lines, 1)}, {ND_ENI_SERVERS, servers}, {ND_ENI_CLIENTS, clients}};
    for (const auto& [k, v] : req) DIMBLOCK.REQ[k] = v;
    DIMBLOCK.NSUBSYS = 1;
    int32_t status = 0;
    ALLOC_STORAGE(status);
    if (status != 0) std::abort();
}

// Three-phase lossy lines, delays of 10 to 40 steps, end 1 at nodes
// 6l-5..6l-3 and end 2 at 6l-2..6l.
void bergeron_lines(int32_t lines) {
    line_storage(lines, 0, 0);
    LineTables& L = LINE_TABLES;
    const double t[9] = {0.577, 0.577, 0.577, 0.707, 0.0, -0.707, 0.408, -0.816, 0.408};
    for (int32_t l = 1; l <= lines; ++l) {
        const int32_t c0 = 3 * (l - 1);
        L.TLINE_REC(l, tlrec::KIND) = tlrec::KIND_BERGERON;
        L.TLINE_REC(l, tlrec::FAMILY) = l;
        L.TLINE_REC(l, tlrec::OFFSET) = c0;
        L.TLINE_REC(l, tlrec::NCOND) = 3;
        L.TLM_NCOND(l) = 3;
        L.TLM_SS1(l) = L.TLM_SS2(l) = 1;
        L.TLM_FILTER(l) = 0.9;
        L.TLM_LOSSF(1, l) = L.TLM_LOSSF(2, l) = 1.0;
        for (int32_t k = 1; k <= 3; ++k) {
            const int32_t m = c0 + k;
            L.TLM_NODE1(m) = 6 * l - 6 + k;
            L.TLM_NODE2(m) = 6 * l - 3 + k;
            L.TLM_DELAY(m) = 10 + (l * 7 + k * 11) % 31;
            L.TLM_BUFPOS(m) = 1;
            L.TLM_FRAC(m) = 0.25;
            L.TLM_YLOSS(m) = 1.0 / (300.0 + 50.0 * k);
            L.TLM_HCOEF(m, 1) = L.TLM_KCOEF(m, 1) = 0.99;
            L.TLM_HCOEF(m, 2) = L.TLM_KCOEF(m, 2) = 0.01;
            for (int32_t j = 1; j <= 3; ++j) {
                L.TI(9 * (l - 1) + 3 * (j - 1) + k) = t[3 * (k - 1) + j - 1];
                L.TLGMAT(k, j, l) = k == j ? 3e-3 : -1e-4;
            }
        }
    }
    LINE_COUNTS.NTLMODAL = lines;
    for (int32_t k = 1; k <= 6 * lines; ++k) NET.VNODE(k, 1) = 100.0 * std::sin(0.1 * k);
}

void line_step(benchmark::State& state) {
    const int32_t lines = static_cast<int32_t>(state.range(0));
    const double node = node_step_cost();
    bergeron_lines(lines);
    const Clock::time_point t0 = Clock::now();
    for (auto _ : state) {
        TLSTEP();
        TLPOST();
        benchmark::DoNotOptimize(NET.TLINJ(1, 1));
    }
    const double per_line = seconds_since(t0) / (static_cast<double>(state.iterations()) * lines);
    state.counters["per_line_step"] = per_line;
    state.counters["network_nodes_per_line"] = per_line / node;
    reset_all_engine_state();
}

// ------------------------------------------------------------ ENI client

constexpr int32_t kConductors = 3;
// Records 72 and 73 of a three-conductor line without control signals.
constexpr size_t kFrame = 4 + 4 + 8 + 8 * kConductors + 4;

bool read_exact(SocketHandle s, char* buf, size_t n) {
    for (size_t got = 0; got < n;) {
        const long r = sock_recv(s, buf + got, n - got);
        if (r <= 0) return false;
        got += static_cast<size_t>(r);
    }
    return true;
}

std::string frame(int32_t code) {
    std::string f(kFrame, '\0');
    const int32_t length = static_cast<int32_t>(kFrame), count = 0;
    std::memcpy(f.data(), &length, 4);
    std::memcpy(f.data() + 4, &code, 4);
    for (int32_t j = 0; j <= kConductors; ++j) {
        const double v = 0.5 * j;
        std::memcpy(f.data() + 8 + 8 * j, &v, 8);
    }
    std::memcpy(f.data() + kFrame - 4, &count, 4);
    return f;
}

// A listener on a loopback port; the partner thread takes one peer, sends
// the link's key when asked and answers every frame with `answer`.
struct Partner {
    SocketHandle listener = sock_create_tcp();
    int port = -1;
    std::atomic<bool> stop{false};
    std::thread thread;

    Partner(bool key, std::string answer) {
        if (listener == NO_SOCKET || !sock_bind(listener, 0, true) || sock_listen(listener, 1) != 0) std::abort();
        port = sock_local_port(listener);
        thread = std::thread([this, key, answer = std::move(answer)] {
            const SocketHandle peer = sock_accept(listener);
            sock_set_nodelay(peer);
            if (key) {
                char k[12];
                const int32_t ki = 0x12345678;
                const double kd = 3.14159265359;
                std::memcpy(k, &ki, 4);
                std::memcpy(k + 4, &kd, 8);
                sock_send_all(peer, k, sizeof k);
            }
            char buf[kFrame];
            for (;;) {
                const SockWait w = sock_wait_readable(peer, 100);
                if (w == SockWait::Timeout && !stop) continue;
                if (w != SockWait::Ready || !read_exact(peer, buf, kFrame)) break;
                sock_send_all(peer, answer.data(), answer.size());
            }
            sock_close(peer);
        });
    }
    ~Partner() {
        stop = true;
        thread.join();
        sock_close(listener);
    }
};

// Seconds per round trip of a frame over loopback, blocking reads.
double pingpong_cost() {
    static double cost = [] {
        constexpr int trips = 5000;
        const std::string f = frame(72);
        double c = 0.0;
        {
            Partner echo(false, f);
            const SocketHandle s = sock_create_tcp();
            uint32_t address = 0;
            if (!sock_resolve_ipv4("127.0.0.1", address) || !sock_connect_ipv4(s, address, echo.port)) std::abort();
            sock_set_nodelay(s);
            char buf[kFrame];
            const Clock::time_point t0 = Clock::now();
            for (int k = 0; k < trips; ++k) {
                sock_send_all(s, f.data(), f.size());
                read_exact(s, buf, kFrame);
            }
            c = seconds_since(t0) / trips;
            sock_close(s);
        }
        return c;
    }();
    return cost;
}

void eni_client_step(benchmark::State& state) {
    const double pingpong = pingpong_cost();
    line_storage(1, 0, 1);
    LineTables& L = LINE_TABLES;
    L.TLINE_REC(1, tlrec::KIND) = tlrec::KIND_CLIENT;
    L.TLINE_REC(1, tlrec::ROLE) = tlrec::ROLE_CLIENT;
    L.TLINE_REC(1, tlrec::NCOND) = kConductors;
    L.ENI_CLI_SS(1) = 1;
    for (int32_t j = 1; j <= kConductors; ++j) L.ENI_CLI_NODES(j, 1) = j;
    LINE_COUNTS.NENICLI = 1;
    {
        Partner server(true, frame(73));
        L.ENI_CLI_PORT(1) = server.port;
        if (!is_true(eni_client_open("127.0.0.1", server.port))) std::abort();
        while (!is_true(eni_client_keyed(0, server.port))) eni_client_poll(0, LFALSE, server.port);
        const Clock::time_point t0 = Clock::now();
        for (auto _ : state) {
            TLSTEP();
            benchmark::DoNotOptimize(NET.TLINJ(1, 1));
        }
        const double per_step = seconds_since(t0) / static_cast<double>(state.iterations());
        state.counters["per_step"] = per_step;
        state.counters["pingpong_ratio"] = per_step / pingpong;
        reset_all_engine_state();
    }
}

// ------------------------------------------------- phase-domain and FDTD

namespace fs = std::filesystem;

std::string frephase_file() {
    std::ostringstream s;
    s.precision(17);
    s << "FRE-PHASE\nYc\nfitted\n 3\npoles\n";
    for (int i = 1; i <= 3; ++i) {
        s << " 8\n";
        for (int k = 1; k <= 8; ++k) {
            s << -100.0 * std::pow(3.0, k) << "\n " << (k % 2 ? 0.0 : 10.0 * k) << "\n";
            for (int j = 1; j <= 3; ++j) s << (i == j ? 1e-4 : 2e-5) * k << "\n 0\n";
        }
    }
    for (int i = 1; i <= 3; ++i)
        for (int j = 1; j <= 3; ++j) s << (i == j ? 2.5e-3 : -2e-4) << "\n";
    s << "H\nfitted\n 1\ndelays\n 0.000526\npoles\n 8\n";
    for (int k = 1; k <= 8; ++k) s << -500.0 * std::pow(2.5, k) << "\n 0\n";
    s << "residues\n";
    for (int i = 1; i <= 3; ++i)
        for (int j = 1; j <= 3; ++j)
            for (int k = 1; k <= 8; ++k) s << (i == j ? 60.0 : 5.0) * k << "\n 0\n";
    return s.str();
}

std::string mfdtd_file() {
    std::ostringstream s;
    s.precision(17);
    s << "MFDTD  3  2\n 3e8\n 150000\n";
    for (const double scale : {2e-5, 1.3e-6, 1e-11, 9e-12})
        for (int i = 1; i <= 3; ++i)
            for (int j = i; j <= 3; ++j) s << (i == j ? scale : scale / 5) << "\n";
    s << " 2\n (-2000, 0)\n";
    for (int i = 1; i <= 3; ++i)
        for (int j = i; j <= 3; ++j) s << " (" << (i == j ? 1e-3 : 2e-4) << ", 0)\n";
    s << " (-20000, 0)\n";
    for (int i = 1; i <= 3; ++i)
        for (int j = i; j <= 3; ++j) s << " (" << (i == j ? 1e-2 : 2e-3) << ", 0)\n";
    return s.str();
}

// Reads a case of one three-phase line between 100-ohm sources and loads.
void read_case(const std::string& line_file) {
    const fs::path dir = fs::temp_directory_path() / "zarik_line_models_bench";
    fs::create_directories(dir);
    std::ofstream(dir / "line.tlo") << line_file;
    std::ofstream(dir / "page.map") << "BRANCHES:\n 0 1 RE 100.0 100.0\n 0 2 RE 100.0 -50.0\n 0 3 RE 100.0 -50.0\n"
                                       " 4 0 R 1000.0\n 5 0 R 1000.0\n 6 0 R 1000.0\nTLINES:\n"
                                       "HOLVA Line Constants\n 3 0\n 1 1 2 3 1 0 1 0\n 1 4 5 6 1 0 1 0\n"
                                       "TLINE-INPUT-DATA  line.tli\nTLINE-OUTPUT-DATA line.tlo\nENDPAGE\n";
    std::ofstream(dir / "case.map") << "DIMENSIONS:\n NODES = 6\n SUBSYS = 1\n BRANCHES = 8\n NNODES = 12\n"
                                       " NPAGES = 1\n SUBSYSPAGE = 1\nPARAMETERS:\n TIME_STEP = 50.0E-6\n"
                                       " PRINT_STEP = 50.0E-6\n FINISH_TIME = 1.0\nSUBSYSDIM:\n 1 6\nSUBS:\n 1 1\n"
                                       "MAP: 'page.map'\n 1 6 1 2 3 4 5 6\n 0 0\nENDCASE\n";
    const fs::path here = fs::current_path();
    fs::current_path(dir);
    start_from_data("case.map");
    READDATA();
    fs::current_path(here);
    for (int32_t k = 1; k <= 6; ++k) NET.VNODE(k, 1) = 100.0 * std::sin(0.7 * k);
}

void line_model_step(benchmark::State& state, const std::string& file, double per) {
    const double node = node_step_cost();
    read_case(file);
    const Clock::time_point t0 = Clock::now();
    for (auto _ : state) {
        TLSTEP();
        TLPOST();
        benchmark::DoNotOptimize(NET.TLINJ(1, 1));
    }
    const double per_step = seconds_since(t0) / static_cast<double>(state.iterations());
    state.counters["per_line_step"] = per_step;
    state.counters["network_nodes"] = per_step / node / per;
    reset_all_engine_state();
}

void frephase_step(benchmark::State& state) { line_model_step(state, frephase_file(), 1.0); }
// Per segment.
void mfdtd_step(benchmark::State& state) { line_model_step(state, mfdtd_file(), 10.0); }

}  // namespace

BENCHMARK(line_step)->Arg(10)->Arg(100)->Arg(1000);
BENCHMARK(frephase_step);
BENCHMARK(mfdtd_step);
BENCHMARK(eni_client_step);

BENCHMARK_MAIN();
