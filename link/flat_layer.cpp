#include "link/flat_layer.h"

#include <locale.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

Exchange* FRONT_END = nullptr;

namespace {

Exchange* link_for(int32_t handle) { return handle == 0 ? FRONT_END : nullptr; }

struct EniEntry {
    int32_t port;
    std::unique_ptr<Exchange> link;
};

// Entries are added once per line and kept until the process ends.
std::vector<EniEntry>& client_table() {
    static std::vector<EniEntry> table;
    return table;
}
std::vector<EniEntry>& server_table() {
    static std::vector<EniEntry> table;
    return table;
}

template <class F>
void for_port(std::vector<EniEntry>& table, int32_t connection, int32_t port, F f) {
    if (connection != 0) return;
    for (EniEntry& e : table)
        if (e.port == port && e.link) f(*e.link);
}

// The process locale may be switched by the user; the wire and the
// console always carry numbers with a '.'.
template <class T>
std::string format_in_c_locale(const char* format, T value) {
    static const locale_t c_locale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    const locale_t old = c_locale ? uselocale(c_locale) : static_cast<locale_t>(nullptr);
    char small[128];
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
    int n = std::snprintf(small, sizeof small, format, value);
    std::string out;
    if (n >= 0 && static_cast<size_t>(n) < sizeof small) {
        out.assign(small, static_cast<size_t>(n));
    } else if (n >= 0) {
        out.resize(static_cast<size_t>(n) + 1);
        std::snprintf(out.data(), out.size(), format, value);
        out.resize(static_cast<size_t>(n));
    }
#pragma GCC diagnostic pop
    if (old) uselocale(old);
    return out;
}

}  // namespace

std::string format_c_value(const char* format, double value) { return format_in_c_locale(format, value); }
std::string format_c_value(const char* format, int32_t value) {
    return format_in_c_locale(format, static_cast<int>(value));
}
std::string format_c_value(const char* format, const char* text) {
    return format_in_c_locale(format, text ? text : "");
}

void cstr_to_fstr(char* field, const char* cstr, int32_t n) {
    if (n < 1 || field == nullptr) return;
    int32_t i = 0;
    if (cstr != nullptr)
        for (; i < n && cstr[i] != '\0'; ++i) field[i] = cstr[i];
    for (; i < n; ++i) field[i] = ' ';
}

std::string fstr_to_cstr(const char* field, int32_t n) {
    if (field == nullptr) return {};
    if (n < 1) return std::string(field);
    const size_t len = strnlen(field, static_cast<size_t>(n));
    std::string out(field, len);
    if (len == static_cast<size_t>(n)) out.resize(len_trim(out));
    return out;
}

int32_t get_int_arg(const void* value, int32_t size) {
    if (size == 2) {
        int16_t v;
        std::memcpy(&v, value, sizeof v);
        return v;
    }
    int32_t v;
    std::memcpy(&v, value, sizeof v);
    return v;
}

void set_int_arg(void* dest, int32_t size, int32_t value) {
    if (size == 2) {
        const auto v = static_cast<int16_t>(value);
        std::memcpy(dest, &v, sizeof v);
        return;
    }
    std::memcpy(dest, &value, sizeof value);
}

double get_real_arg(const void* value, int32_t size) {
    if (size == 4) {
        float v;
        std::memcpy(&v, value, sizeof v);
        return v;
    }
    double v;
    std::memcpy(&v, value, sizeof v);
    return v;
}

void set_real_arg(void* dest, int32_t size, double value) {
    if (size == 4) {
        const auto v = static_cast<float>(value);
        std::memcpy(dest, &v, sizeof v);
        return;
    }
    std::memcpy(dest, &value, sizeof value);
}

int32_t get_bits(int32_t value, int32_t position, int32_t length) {
    const uint32_t mask = (uint32_t{1} << (static_cast<uint32_t>(length) & 31u)) - 1u;
    const uint32_t shifted = static_cast<uint32_t>(value >> (static_cast<uint32_t>(position) & 31u));
    return static_cast<int32_t>(shifted & mask);
}

void fe_send_int(int32_t handle, int32_t value) {
    if (Exchange* x = link_for(handle)) x->PutInt(value);
}

void fe_send_real(int32_t handle, double value) {
    if (Exchange* x = link_for(handle)) x->PutDouble(value);
}

void fe_send_real_text(int32_t handle, double value) {
    if (Exchange* x = link_for(handle)) x->PutString(format_c_value("%.4g", value));
}

void fe_send_str(int32_t handle, std::string_view text) {
    if (Exchange* x = link_for(handle)) x->PutString(text);
}

void fe_flush(int32_t handle) {
    if (Exchange* x = link_for(handle)) x->Send();
}

Logical fe_poll(int32_t handle, Logical wait) {
    Exchange* x = link_for(handle);
    return as_logical(x != nullptr && x->Receive(is_true(wait)));
}

void fe_recv_int(int32_t handle, int32_t& value) {
    Exchange* x = link_for(handle);
    value = x ? x->GetInt() : 0;
}

void fe_recv_real(int32_t handle, double& value) {
    Exchange* x = link_for(handle);
    value = x ? x->GetDouble() : 0.0;
}

void fe_recv_str(int32_t handle, int32_t length, char* field) {
    Exchange* x = link_for(handle);
    const std::string text = x ? x->GetString() : std::string();
    cstr_to_fstr(field, text.c_str(), length);
}

Logical fe_pending(int32_t handle) {
    Exchange* x = link_for(handle);
    return as_logical(x != nullptr && x->IsReadable());
}

Logical fe_closed(int32_t handle) {
    Exchange* x = link_for(handle);
    return as_logical(x == nullptr || x->Closed());
}

std::string fe_link_lost_text(int32_t handle, std::string_view when) {
    Exchange* x = link_for(handle);
    const std::string reason = x ? x->EndReason() : std::string();
    if (reason.empty() || reason == Exchange::CLOSURE_TEXT)
        return "The front end closed the connection " + std::string(when) + ".";
    return "The link to the front end broke " + std::string(when) + ": " + reason;
}

int32_t fe_bytes_left(int32_t handle) {
    Exchange* x = link_for(handle);
    return x ? x->BytesLeft() : 0;
}

Logical eni_client_open(const char* host, int32_t port) {
    auto link = std::make_unique<Exchange>();
    if (!link->Connect(host, port)) return LFALSE;
    client_table().push_back({port, std::move(link)});
    return LTRUE;
}

void eni_client_send_int(int32_t connection, int32_t value, int32_t port) {
    for_port(client_table(), connection, port, [&](Exchange& x) { x.PutInt(value); });
}

void eni_client_send_real(int32_t connection, double value, int32_t port) {
    for_port(client_table(), connection, port, [&](Exchange& x) { x.PutDouble(value); });
}

void eni_client_flush(int32_t connection, int32_t port) {
    for_port(client_table(), connection, port, [](Exchange& x) { x.Send(); });
}

Logical eni_client_poll(int32_t connection, Logical wait, int32_t port) {
    bool got = false;
    for_port(client_table(), connection, port, [&](Exchange& x) { got = x.Receive(is_true(wait)); });
    return as_logical(got);
}

void eni_client_recv_int(int32_t connection, int32_t& value, int32_t port) {
    for_port(client_table(), connection, port, [&](Exchange& x) { value = x.GetInt(); });
}

void eni_client_recv_real(int32_t connection, double& value, int32_t port) {
    for_port(client_table(), connection, port, [&](Exchange& x) { value = x.GetDouble(); });
}

Logical eni_client_closed(int32_t connection, int32_t port) {
    bool closed = true;
    for_port(client_table(), connection, port, [&](Exchange& x) { closed = x.Closed(); });
    return as_logical(closed);
}

Logical eni_client_keyed(int32_t connection, int32_t port) {
    bool keyed = false;
    for_port(client_table(), connection, port, [&](Exchange& x) { keyed = x.Keyed(); });
    return as_logical(keyed);
}

Logical eni_server_open(int32_t& port) {
    auto link = std::make_unique<Exchange>();
    const int bound = link->Bind(port);
    if (port == 0) port = bound;
    server_table().push_back({port, std::move(link)});
    return as_logical(bound > 0);
}

void eni_server_listen(int32_t backlog, int32_t port, int32_t connection) {
    for_port(server_table(), connection, port, [&](Exchange& x) { x.Listen(backlog); });
}

Logical eni_server_accept(int32_t port, int32_t connection) {
    bool got = false;
    for_port(server_table(), connection, port, [&](Exchange& x) { got = x.Accept(); });
    return as_logical(got);
}

void eni_server_send_int(int32_t connection, int32_t value, int32_t port) {
    for_port(server_table(), connection, port, [&](Exchange& x) { x.PutInt(value); });
}

void eni_server_send_real(int32_t connection, double value, int32_t port) {
    for_port(server_table(), connection, port, [&](Exchange& x) { x.PutDouble(value); });
}

void eni_server_flush(int32_t connection, int32_t port) {
    for_port(server_table(), connection, port, [](Exchange& x) { x.Send(); });
}

Logical eni_server_poll(int32_t connection, Logical wait, int32_t port) {
    bool got = false;
    for_port(server_table(), connection, port, [&](Exchange& x) { got = x.Receive(is_true(wait)); });
    return as_logical(got);
}

void eni_server_recv_int(int32_t connection, int32_t& value, int32_t port) {
    for_port(server_table(), connection, port, [&](Exchange& x) { value = x.GetInt(); });
}

void eni_server_recv_real(int32_t connection, double& value, int32_t port) {
    for_port(server_table(), connection, port, [&](Exchange& x) { value = x.GetDouble(); });
}

Logical eni_server_closed(int32_t connection, int32_t port) {
    bool closed = true;
    for_port(server_table(), connection, port, [&](Exchange& x) { closed = x.Closed(); });
    return as_logical(closed);
}

int32_t eni_client_bytes_left(int32_t connection, int32_t port) {
    int32_t left = 0;
    for_port(client_table(), connection, port, [&](Exchange& x) { left = x.BytesLeft(); });
    return left;
}

int32_t eni_server_bytes_left(int32_t connection, int32_t port) {
    int32_t left = 0;
    for_port(server_table(), connection, port, [&](Exchange& x) { left = x.BytesLeft(); });
    return left;
}

void eni_wait_readable(Logical server, const int32_t* ports, int32_t count, int32_t timeout_ms) {
    std::vector<SocketHandle> sockets;
    for (int32_t k = 0; k < count; ++k)
        for_port(is_true(server) ? server_table() : client_table(), 0, ports[k],
                 [&](Exchange& x) { sockets.push_back(x.Closed() ? NO_SOCKET : x.Socket()); });
    sock_wait_any_readable(sockets.data(), sockets.size(), timeout_ms);
}
