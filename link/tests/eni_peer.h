// Test support for the ENI links: line tables filled by hand, ports that
// no earlier test of the process used, and a stand-in for the client
// process of a line (a raw-socket connector that reads the server's key).
// Every wait is bounded.
#pragma once

#include <chrono>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "engine/solution_arrays.h"
#include "lines/line_tables.h"
#include "lines/lines.h"
#include "link/tests/fake_front_end.h"
#include "network/dimensions.h"
#include "network/network_tables.h"
#include "network/parameters.h"
#include "platform/socket_layer.h"

namespace eni_test {

struct LineRow {
    int32_t role = 0;  // 0 local, 1 server, 2 client
    int32_t conductors = 1;
    std::string name;
};

// Line tables for the lines, C conductors of room; the ENI counts from the
// roles.
inline void make_lines(const std::vector<LineRow>& lines, int32_t room = 4) {
    LineTables& L = LINE_TABLES;
    const int32_t total = static_cast<int32_t>(lines.size());
    int32_t servers = 0, clients = 0;
    for (const LineRow& l : lines) {
        servers += l.role == 1;
        clients += l.role == 2;
    }
    const int32_t es = std::max(servers, 1), ec = std::max(clients, 1);
    L.TLINE_REC.allocate(std::max(total, 1), 13);
    L.TLGMAT.allocate(room, room, std::max(total, 1));
    L.TLNAME.allocate(std::max(total, 1));
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

// One subsystem of the given node count with its matrices in the global
// layout.
inline bool make_subsystem(int32_t nodes) {
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

// A loopback port that is free now and was not handed out before in this
// process (the links of earlier tests stay in the layer's tables).
inline std::set<int>& used_ports() {
    static std::set<int> ports;
    return ports;
}
inline int fresh_port() {
    for (int tries = 0; tries < 100; ++tries) {
        const SocketHandle s = sock_create_tcp();
        if (s == NO_SOCKET) return -1;
        int port = -1;
        if (sock_bind(s, 0, true)) port = sock_local_port(s);
        sock_close(s);
        if (port > 0 && used_ports().insert(port).second) return port;
    }
    return -1;
}

// The client process of a line, as far as the start of a run goes.
class FakeEniClient {
public:
    ~FakeEniClient() { Close(); }

    // Keeps trying until the server listens, at most timeout_ms.
    bool Connect(int port, int timeout_ms = fake_fe::DEFAULT_TIMEOUT_MS) {
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
        uint32_t address = 0;
        if (!sock_resolve_ipv4("127.0.0.1", address)) return false;
        while (std::chrono::steady_clock::now() < until) {
            const SocketHandle s = sock_create_tcp();
            if (s == NO_SOCKET) return false;
            if (sock_connect_ipv4(s, address, port)) {
                socket_ = s;
                sock_set_nodelay(s);
                return true;
            }
            sock_close(s);
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return false;
    }

    // The server's 12 key bytes.
    bool ReadKey(std::string& key) { return fake_fe::read_exact(socket_, 12, key, fake_fe::DEFAULT_TIMEOUT_MS); }
    std::optional<fake_fe::WireFrame> ReadFrame(int timeout_ms = fake_fe::DEFAULT_TIMEOUT_MS) {
        return fake_fe::read_frame(socket_, false, timeout_ms);
    }
    bool Send(const fake_fe::WireWriter& w) {
        const std::string f = w.Frame();
        return socket_ != NO_SOCKET && sock_send_all(socket_, f.data(), f.size());
    }
    void Close() {
        sock_close(socket_);
        socket_ = NO_SOCKET;
    }

private:
    SocketHandle socket_ = NO_SOCKET;
};

}  // namespace eni_test
