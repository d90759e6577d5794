// The per-step records of the ENI lines: the client's end voltages (72) and
// the server's answer with the far end's history currents (73), each with
// the control-signal values of its end.
#include <algorithm>
#include <string>
#include <vector>

#include "engine/run_state.h"
#include "lines/line_record.h"
#include "lines/line_tables.h"
#include "lines/lines.h"
#include "link/eni.h"
#include "link/flat_layer.h"
#include "network/network_tables.h"

namespace {

constexpr int32_t RECORD_VOLTAGES = 72;
constexpr int32_t RECORD_CURRENTS = 73;

// One side's table of links: a server's lines or a client's.
struct Side {
    bool server;
    const char* routine;

    void put_int(int32_t v, int32_t port) const {
        server ? eni_server_send_int(0, v, port) : eni_client_send_int(0, v, port);
    }
    void put_real(double v, int32_t port) const {
        server ? eni_server_send_real(0, v, port) : eni_client_send_real(0, v, port);
    }
    void flush(int32_t port) const { server ? eni_server_flush(0, port) : eni_client_flush(0, port); }
    bool poll(int32_t port) const {
        return is_true(server ? eni_server_poll(0, LFALSE, port) : eni_client_poll(0, LFALSE, port));
    }
    bool closed(int32_t port) const {
        return is_true(server ? eni_server_closed(0, port) : eni_client_closed(0, port));
    }
    int32_t get_int(int32_t port) const {
        int32_t v = 0;
        server ? eni_server_recv_int(0, v, port) : eni_client_recv_int(0, v, port);
        return v;
    }
    double get_real(int32_t port) const {
        double v = 0.0;
        server ? eni_server_recv_real(0, v, port) : eni_client_recv_real(0, v, port);
        return v;
    }
    int32_t left(int32_t port) const {
        return server ? eni_server_bytes_left(0, port) : eni_client_bytes_left(0, port);
    }
    int32_t role() const { return server ? tlrec::ROLE_SERVER : tlrec::ROLE_CLIENT; }
    int32_t count() const { return server ? LINE_COUNTS.NENISRV : LINE_COUNTS.NENICLI; }
    int32_t port(int32_t k) const { return server ? LINE_TABLES.ENI_SRV_PORT(k) : LINE_TABLES.ENI_CLI_PORT(k); }
    Logical& done(int32_t k) const { return server ? LINE_TABLES.ENI_SRV_DONE(k) : LINE_TABLES.ENI_CLI_DONE(k); }
};

// The end's values of this step, then the control signals the row sends.
template <class Value>
void send_record(const Side& side, int32_t code, int32_t row, int32_t port, Value value) {
    LineTables& L = LINE_TABLES;
    side.put_int(code, port);
    side.put_real(RUN_CLOCK.TIME, port);
    for (int32_t j = 1; j <= L.TLINE_REC(row, tlrec::NCOND); ++j) side.put_real(value(j), port);
    const int32_t start = L.TLINE_REC(row, tlrec::SEND1), c = L.TLINE_REC(row, tlrec::SEND1 + 1);
    side.put_int(std::max(c, 0), port);
    for (int32_t i = 1; i <= c; ++i) side.put_real(L.TLCS_SEND(start + i - 1), port);
    side.flush(port);
}

[[noreturn]] void stop_frame(const Side& side, int32_t code, int32_t row, int32_t body) {
    eni_stop(side.routine, "ENI line " + eni_line_name(row) + ": a record " + std::to_string(code) + " of " +
                               std::to_string(body) + " bytes does not match the line.");
}

// The rest of a record behind its code: the time (not compared), the n
// values handed to take, the count and the control signals the row
// receives; values beyond the row's run are read and dropped. A frame of
// another length than its count says ends the run.
template <class Take>
void read_record(const Side& side, int32_t code, int32_t row, int32_t port, Take take) {
    LineTables& L = LINE_TABLES;
    const int32_t n = L.TLINE_REC(row, tlrec::NCOND), body = 4 + side.left(port);
    if (side.left(port) < 8 + 8 * n + 4) stop_frame(side, code, row, body);
    side.get_real(port);
    for (int32_t j = 1; j <= n; ++j) take(j, side.get_real(port));
    const int32_t c = side.get_int(port);
    if (c < 0 || side.left(port) != 8 * static_cast<int64_t>(c)) stop_frame(side, code, row, body);
    const int32_t start = L.TLINE_REC(row, tlrec::RECV1), run = L.TLINE_REC(row, tlrec::RECV1 + 1);
    for (int32_t i = 1; i <= c; ++i) {
        const double v = side.get_real(port);
        if (i <= run) L.TLCS_RECV(start + i - 1) = v;
    }
}

// The ports still waited for, kept between steps so that a step allocates nothing.
std::vector<int32_t>& waiting_ports() {
    static std::vector<int32_t> ports;
    return ports;
}

// Passes over the side's lines until every one has delivered its record of
// code; between passes that took nothing it waits on their sockets.
template <class Take>
void take_all(const Side& side, int32_t code, Take take) {
    const LineTables& L = LINE_TABLES;
    const int32_t total = side.count(), rows = tlines_total();
    for (int32_t k = 1; k <= total; ++k) side.done(k) = LFALSE;
    std::vector<int32_t>& ports = waiting_ports();
    int32_t taken = 0;
    while (taken < total) {
        bool got = false;
        ports.clear();
        int32_t k = 0;
        for (int32_t row = 1; row <= rows && k < total; ++row) {
            if (L.TLINE_REC(row, tlrec::ROLE) != side.role()) continue;
            ++k;
            if (is_true(side.done(k))) continue;
            const int32_t port = side.port(k);
            if (side.poll(port)) {
                got = true;
                if (side.get_int(port) != code) continue;  // dropped
                read_record(side, code, row, port, [&](int32_t j, double v) { take(k, row, j, v); });
                side.done(k) = LTRUE;
                ++taken;
            } else if (side.closed(port)) {
                eni_stop_closed(side.routine, row);
            } else {
                ports.push_back(port);
            }
        }
        if (k < total) eni_stop(side.routine, "The ENI line tables do not match the number of ENI lines of the case.");
        if (!got && taken < total)
            eni_wait_readable(as_logical(side.server), ports.data(), static_cast<int32_t>(ports.size()),
                              ENI_STEP_WAIT.socket_wait_ms);
    }
}

}  // namespace

void ENI_CLI2SRV() {
    LineTables& L = LINE_TABLES;
    const Side client{false, "ENI_CLI2SRV"}, server{true, "ENI_CLI2SRV"};
    if (LINE_COUNTS.NENICLI > 0) {
        const int32_t rows = tlines_total();
        int32_t k = 0;
        for (int32_t row = 1; row <= rows && k < LINE_COUNTS.NENICLI; ++row) {
            if (L.TLINE_REC(row, tlrec::ROLE) != tlrec::ROLE_CLIENT) continue;
            ++k;
            const int32_t ss = L.ENI_CLI_SS(k);
            send_record(client, RECORD_VOLTAGES, row, L.ENI_CLI_PORT(k),
                        [&](int32_t j) { return NET.VNODE(L.ENI_CLI_NODES(j, k), ss); });
        }
    }
    if (LINE_COUNTS.NENISRV > 0)
        take_all(server, RECORD_VOLTAGES, [&](int32_t k, int32_t, int32_t j, double v) { L.ENI_SRV_V(j, k) = v; });
}

void ENI_SRV2CLI() {
    LineTables& L = LINE_TABLES;
    const Side client{false, "ENI_SRV2CLI"}, server{true, "ENI_SRV2CLI"};
    const int32_t rows = tlines_total();
    if (LINE_COUNTS.NENISRV > 0 && rows > 0) {
        int32_t k = 0;
        for (int32_t row = 1; row <= rows && k < LINE_COUNTS.NENISRV; ++row) {
            if (L.TLINE_REC(row, tlrec::ROLE) != tlrec::ROLE_SERVER) continue;
            ++k;
            send_record(server, RECORD_CURRENTS, row, L.ENI_SRV_PORT(k), [&](int32_t j) { return L.TLCUR(j, 2, row); });
        }
    }
    // The received current is the far end's history current; the client's
    // TLCUR starts from it, and TLPOST adds the conductance part.
    if (LINE_COUNTS.NENICLI > 0)
        take_all(client, RECORD_CURRENTS, [&](int32_t k, int32_t row, int32_t j, double v) {
            NET.TLINJ(L.ENI_CLI_NODES(j, k), L.ENI_CLI_SS(k)) -= v;
            L.TLCUR(j, 1, row) = v;
        });
}
