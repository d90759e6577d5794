#include "link/eni.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <string>
#include <thread>
#include <vector>

#include "engine/abort.h"
#include "engine/run_state.h"
#include "engine/solution_arrays.h"
#include "lines/line_conductance.h"
#include "lines/line_tables.h"
#include "lines/lines.h"
#include "link/flat_layer.h"
#include "link/wire_codes.h"
#include "network/network_tables.h"

EniWaits ENI_WAITS;

namespace {

// Slots of a line record.
constexpr int ROLE_SLOT = 4;
constexpr int CONDUCTORS_SLOT = 5;
constexpr int32_t ROLE_SERVER = 1;
constexpr int32_t ROLE_CLIENT = 2;

const char* const NO_CONNECTION = "ENI Connections cannot be established.";

int32_t server_count() { return std::max(LINE_COUNTS.NENISRV, 0); }
int32_t client_count() { return std::max(LINE_COUNTS.NENICLI, 0); }

// The rows of the line records with the role, in line order.
std::vector<int32_t> rows_with_role(int32_t role) {
    const FArray2<int32_t>& rec = LINE_TABLES.TLINE_REC;
    std::vector<int32_t> rows;
    for (int32_t k = 1; k <= rec.extent(1); ++k)
        if (rec(k, ROLE_SLOT) == role) rows.push_back(k);
    return rows;
}


int32_t conductors(int32_t row) { return LINE_TABLES.TLINE_REC(row, CONDUCTORS_SLOT); }

std::string line_name(int32_t row) { return eni_line_name(row); }

[[noreturn]] void stop(const char* routine, const std::string& first, const std::string& last = {}) {
    eni_stop(routine, first, last);
}

[[noreturn]] void stop_tables() {
    stop("ENI_INIT", "The ENI line tables do not match the number of ENI lines of the case.");
}

[[noreturn]] void stop_closed(int32_t row) { eni_stop_closed("ENI_INIT", row); }

void pause_ms(int32_t ms) {
    if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

struct EniRows {
    std::vector<int32_t> servers, clients;
};

// The rows of the ENI lines, each of them with room for its conductors and
// its ports, or the run ends here instead of writing past a table.
EniRows checked_rows() {
    const LineTables& L = LINE_TABLES;
    EniRows r{rows_with_role(ROLE_SERVER), rows_with_role(ROLE_CLIENT)};
    const int64_t nsrv = server_count(), ncli = client_count();
    if (static_cast<int64_t>(r.servers.size()) != nsrv || static_cast<int64_t>(r.clients.size()) != ncli)
        stop_tables();
    if (nsrv > L.ENI_SRV_PORT.size() || nsrv > L.ENI_SRV_DONE.size() || ncli > L.ENI_CLI_PORT.size() ||
        ncli > L.ENI_CLI_DONE.size() || ncli > L.ENI_CLI_SS.size() || nsrv + ncli > L.ENI_HOST.size())
        stop_tables();
    const int64_t room = L.TLGMAT.extent(1);
    for (int32_t row : r.servers)
        if (conductors(row) < 1 || conductors(row) > room) stop_tables();
    for (int32_t row : r.clients)
        if (conductors(row) < 1 || conductors(row) > room || conductors(row) > L.ENI_CLI_NODES.extent(1))
            stop_tables();
    return r;
}

void connect_all(const EniRows& rows) {
    LineTables& L = LINE_TABLES;
    const int32_t nsrv = server_count(), ncli = client_count();
    int32_t attempts = 0, servers_in = 0, clients_in = 0, passes = 0;
    bool opened = false;
    for (;;) {
        if (servers_in < nsrv) {
            if (passes >= ENI_WAITS.accept_passes) {
                int32_t s = 1;
                while (is_true(L.ENI_SRV_DONE(s))) ++s;
                stop("ENI_SERVER", NO_CONNECTION,
                     " No partner process connected to ENI line " + line_name(rows.servers[static_cast<size_t>(s - 1)]) +
                         " on port " + std::to_string(L.ENI_SRV_PORT(s)) + ".");
            }
            ++passes;
            for (int32_t s = 1; s <= nsrv; ++s) {
                if (is_true(L.ENI_SRV_DONE(s))) continue;
                int32_t& port = L.ENI_SRV_PORT(s);
                if (!opened) {
                    const int32_t asked = port;
                    if (!is_true(eni_server_open(port)))
                        stop("ENI_SERVER", NO_CONNECTION,
                             " Port " + std::to_string(asked) + " of ENI line " +
                                 line_name(rows.servers[static_cast<size_t>(s - 1)]) + " cannot be opened.");
                    eni_server_listen(1, port, 0);
                }
                L.ENI_SRV_DONE(s) = eni_server_accept(port, 0);
                if (is_true(L.ENI_SRV_DONE(s))) ++servers_in;
            }
            opened = true;
        }
        ++attempts;
        for (int32_t c = 1; c <= ncli; ++c) {
            if (is_true(L.ENI_CLI_DONE(c))) continue;
            const std::string host = L.ENI_HOST(nsrv + c).trimmed();
            L.ENI_CLI_DONE(c) = eni_client_open(host.c_str(), L.ENI_CLI_PORT(c));
            if (is_true(L.ENI_CLI_DONE(c))) ++clients_in;
        }
        if (servers_in < nsrv) continue;
        if (clients_in >= ncli) return;
        if (attempts >= ncli + 1000) stop("ENI_CLIENT", NO_CONNECTION);
        // A refused connection comes back at once; without a pause a
        // server that starts a moment later would never be reached.
        pause_ms(ENI_WAITS.client_pause_ms);
    }
}

void send_conductances(const EniRows& rows) {
    const LineTables& L = LINE_TABLES;
    for (size_t s = 0; s < rows.servers.size(); ++s) {
        const int32_t row = rows.servers[s], port = L.ENI_SRV_PORT(static_cast<int32_t>(s + 1));
        const int32_t n = conductors(row);
        eni_server_send_int(0, ENI_CONDUCTANCE, port);
        eni_server_send_int(0, n, port);
        for (int32_t i = 1; i <= n; ++i)
            for (int32_t j = i; j <= n; ++j) eni_server_send_real(0, L.TLGMAT(i, j, row), port);
        eni_server_flush(0, port);
    }
}

// Reads the rest of a record 71 into the client line's matrix.
void take_conductances(int32_t row, int32_t port) {
    LineTables& L = LINE_TABLES;
    const int32_t n = conductors(row);
    int32_t sent = 0;
    eni_client_recv_int(0, sent, port);
    if (sent != n)
        stop("ENI_INIT",
             "ENI line " + line_name(row) + ": the partner process sent a matrix of " + std::to_string(sent) +
                 " conductors",
             " for a line of " + std::to_string(n) + " conductors.");
    for (int32_t i = 1; i <= n; ++i) {
        for (int32_t j = i; j <= n; ++j) {
            double g = 0.0;
            eni_client_recv_real(0, g, port);
            L.TLGMAT(i, j, row) = g;
            if (j > i) L.TLGMAT(j, i, row) = g;
        }
    }
}

void receive_conductances(const EniRows& rows) {
    LineTables& L = LINE_TABLES;
    const int32_t ncli = client_count();
    for (int32_t c = 1; c <= ncli; ++c) L.ENI_CLI_DONE(c) = LFALSE;
    int32_t left = ncli;
    while (left > 0) {
        bool got = false;
        for (int32_t c = 1; c <= ncli; ++c) {
            if (is_true(L.ENI_CLI_DONE(c))) continue;
            const int32_t row = rows.clients[static_cast<size_t>(c - 1)], port = L.ENI_CLI_PORT(c);
            if (is_true(eni_client_poll(0, LFALSE, port))) {
                got = true;
                int32_t code = 0;
                eni_client_recv_int(0, code, port);
                if (code != ENI_CONDUCTANCE) continue;  // dropped; the line goes on waiting
                take_conductances(row, port);
                L.ENI_CLI_DONE(c) = LTRUE;
                --left;
            } else if (is_true(eni_client_closed(0, port))) {
                stop_closed(row);
            }
        }
        if (!got && left > 0) pause_ms(ENI_WAITS.poll_pause_ms);
    }
}

// Adds every client line's matrix into its subsystem's conductance matrix.
void stamp_conductances(const EniRows& rows) {
    const LineTables& L = LINE_TABLES;
    for (size_t k = 0; k < rows.clients.size(); ++k) {
        const int32_t c = static_cast<int32_t>(k + 1), row = rows.clients[k];
        const int32_t ss = L.ENI_CLI_SS(c), n = conductors(row);
        const int64_t nodes = std::min<int64_t>(NET.NBUSES.in_range(ss) ? NET.NBUSES(ss) : 0, SSDESC_RA(ss).n1);
        std::vector<int32_t> a(static_cast<size_t>(n) + 1, 0);
        for (int32_t i = 1; i <= n; ++i) {
            a[static_cast<size_t>(i)] = L.ENI_CLI_NODES(i, c);
            if (a[static_cast<size_t>(i)] < 0 || a[static_cast<size_t>(i)] > nodes)
                stop("ENI_INIT", "ENI line " + line_name(row) + " ends at node " +
                                     std::to_string(a[static_cast<size_t>(i)]) + ", which subsystem " +
                                     std::to_string(ss) + " does not have.");
        }
        STAMP_LINE_END(ss, row, n, a.data() + 1);
    }
}

// The client learns the link's byte order from the server's key before it
// puts its first number.
void wait_for_key(int32_t row, int32_t port) {
    while (!is_true(eni_client_keyed(0, port))) {
        if (is_true(eni_client_poll(0, LFALSE, port))) continue;  // an early frame is dropped
        if (is_true(eni_client_closed(0, port))) stop_closed(row);
        pause_ms(ENI_WAITS.poll_pause_ms);
    }
}

void send_handshakes(const EniRows& rows) {
    const LineTables& L = LINE_TABLES;
    const RunClock& clock = RUN_CLOCK;
    for (size_t k = 0; k < rows.clients.size(); ++k) {
        const int32_t port = L.ENI_CLI_PORT(static_cast<int32_t>(k + 1));
        wait_for_key(rows.clients[k], port);
        eni_client_send_int(0, ENI_HANDSHAKE, port);
        eni_client_send_int(0, 1, port);
        eni_client_send_int(0, clock.NSTEP, port);
        eni_client_send_real(0, clock.DELT, port);
        eni_client_send_real(0, clock.FINTIM, port);
        eni_client_flush(0, port);
    }
}

void check_handshake(int32_t port) {
    const RunClock& clock = RUN_CLOCK;
    int32_t flag = 0;
    eni_server_recv_int(0, flag, port);
    if (flag != 1) return;
    int32_t step = 0;
    double delt = 0.0, fintim = 0.0;
    eni_server_recv_int(0, step, port);
    eni_server_recv_real(0, delt, port);
    eni_server_recv_real(0, fintim, port);
    const double tolerance = clock.DELT * 1.0e-20;
    if (step != clock.NSTEP || !(std::fabs(delt - clock.DELT) <= tolerance) ||
        !(std::fabs(fintim - clock.FINTIM) <= tolerance))
        stop("ENI_INIT", "Projects linked with ENI lines have different",
             " startup times, time steps or finish times.");
}

void check_handshakes(const EniRows& rows) {
    LineTables& L = LINE_TABLES;
    const int32_t nsrv = server_count();
    for (int32_t s = 1; s <= nsrv; ++s) L.ENI_SRV_DONE(s) = LFALSE;
    int32_t left = nsrv;
    while (left > 0) {
        bool got = false;
        for (int32_t s = 1; s <= nsrv; ++s) {
            if (is_true(L.ENI_SRV_DONE(s))) continue;
            const int32_t port = L.ENI_SRV_PORT(s);
            if (is_true(eni_server_poll(0, LFALSE, port))) {
                got = true;
                int32_t code = 0;
                eni_server_recv_int(0, code, port);
                if (code != ENI_HANDSHAKE) continue;
                check_handshake(port);
                L.ENI_SRV_DONE(s) = LTRUE;
                --left;
            } else if (is_true(eni_server_closed(0, port))) {
                stop_closed(rows.servers[static_cast<size_t>(s - 1)]);
            }
        }
        if (!got && left > 0) pause_ms(ENI_WAITS.poll_pause_ms);
    }
}

}  // namespace

EniStepWait ENI_STEP_WAIT;

std::string eni_line_name(int32_t row) {
    return LINE_TABLES.TLNAME.in_range(row) ? LINE_TABLES.TLNAME(row).trimmed() : "";
}

void eni_stop(const char* routine, const std::string& first, const std::string& last) {
    if (last.empty()) {
        USERMSG(0, 0, 2, 1, first);
    } else {
        USERMSG(0, 0, 2, 2, first);
        USERMSG(0, 0, 2, -1, last);
    }
    ABORT_RUN(routine, 0);
}

void eni_stop_closed(const char* routine, int32_t row) {
    eni_stop(routine, "The partner process of ENI line " + eni_line_name(row) + " closed the connection.");
}

void ENI_SEND_LINES() {
    fe_send_int(0, FE_MSG_ENI_LINES);
    fe_send_int(0, LINE_COUNTS.NENISRV);
    fe_send_int(0, LINE_COUNTS.NENICLI);
    for (int32_t role : {ROLE_SERVER, ROLE_CLIENT})
        for (int32_t row : rows_with_role(role)) fe_send_str(0, line_name(row));
    fe_flush(0);
}

void REC_ENI_PORT() {
    LineTables& L = LINE_TABLES;
    for (int64_t k = 1; k <= L.ENI_HOST.size(); ++k) L.ENI_HOST(k).blank();
    int32_t total = 0;
    fe_recv_int(0, total);
    const int32_t nsrv = server_count(), ncli = client_count();
    if (total != LINE_COUNTS.NENISRV + LINE_COUNTS.NENICLI) {
        USERMSG(0, 0, 2, 1, "Total number received does not match the total number of ENI lines");
        ABORT_RUN("REC_ENI_PORT", 0);
    }
    if (nsrv > L.ENI_SRV_PORT.size() || ncli > L.ENI_CLI_PORT.size() || nsrv + ncli > L.ENI_HOST.size()) {
        USERMSG(0, 0, 2, 1, "The ENI line tables do not match the number of ENI lines of the case.");
        ABORT_RUN("REC_ENI_PORT", 0);
    }
    const bool keep = is_true(RUN_SEQ.FIRST_RUN);
    Text72 host;
    int32_t port = 0;
    for (int32_t s = 1; s <= nsrv; ++s) {
        // A server always listens on its own machine.
        fe_recv_str(0, host);
        fe_recv_int(0, port);
        if (!keep) continue;
        L.ENI_HOST(s) = "localhost";
        L.ENI_SRV_PORT(s) = port;
    }
    for (int32_t c = 1; c <= ncli; ++c) {
        fe_recv_str(0, host);
        fe_recv_int(0, port);
        if (!keep) continue;
        L.ENI_HOST(nsrv + c) = host;
        L.ENI_CLI_PORT(c) = port;
    }
}

void ENI_INIT() {
    if (server_count() == 0 && client_count() == 0) return;
    const EniRows rows = checked_rows();
    LineTables& L = LINE_TABLES;
    for (int32_t s = 1; s <= server_count(); ++s) L.ENI_SRV_DONE(s) = LFALSE;
    for (int32_t c = 1; c <= client_count(); ++c) L.ENI_CLI_DONE(c) = LFALSE;

    if (is_true(RUN_SEQ.FIRST_RUN)) connect_all(rows);

    if (is_true(RUN_FLAGS.FIRST_STEP_DATA)) {
        send_conductances(rows);
        if (client_count() >= 1) receive_conductances(rows);
        stamp_conductances(rows);
    }

    send_handshakes(rows);
    check_handshakes(rows);
}
