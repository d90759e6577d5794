// A scripted front end (or ENI partner) on raw sockets, not on Exchange, so
// that it checks the engine's bytes instead of agreeing with them, in either
// byte order. Every wait is bounded: a broken engine makes a call fail, never hang.
#pragma once

#include <algorithm>
#include <atomic>
#include <charconv>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <future>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <thread>

#include <unistd.h>

#include "platform/socket_layer.h"

namespace fake_fe {

inline constexpr int DEFAULT_TIMEOUT_MS = 10000;

// The bytes of a frame, built in one byte order.
class WireWriter {
public:
    explicit WireWriter(bool swapped = false) : swapped_(swapped) {}
    WireWriter& Int(int32_t v) { return Put(&v, sizeof v); }
    WireWriter& Double(double v) { return Put(&v, sizeof v); }
    WireWriter& Str(std::string_view s) { return Raw(s).Raw(std::string_view("", 1)); }  // with its NUL
    WireWriter& Raw(std::string_view bytes) {
        body_.append(bytes);
        return *this;
    }
    const std::string& Body() const { return body_; }
    // The body behind its length word, which counts itself.
    std::string Frame() const {
        std::string out;
        const auto total = static_cast<int32_t>(body_.size() + 4);
        put(out, &total, sizeof total, swapped_);
        return out + body_;
    }

private:
    static void put(std::string& out, const void* p, size_t n, bool reverse) {
        const auto* b = static_cast<const char*>(p);
        for (size_t i = 0; i < n; ++i) out += b[reverse ? n - 1 - i : i];
    }
    WireWriter& Put(const void* p, size_t n) {
        put(body_, p, n, swapped_);
        return *this;
    }
    bool swapped_;
    std::string body_;
};

// A frame read from the engine: its exact bytes (length word included), and
// its items in order; a read past the end gives 0 or "".
class WireFrame {
public:
    WireFrame() = default;
    WireFrame(std::string raw, bool swapped) : raw_(std::move(raw)), swapped_(swapped), pos_(4) {}
    const std::string& Raw() const { return raw_; }
    int32_t Length() const {
        int32_t v = 0;
        if (raw_.size() >= 4) take(&v, 0, 4);
        return v;
    }
    int32_t Int() {
        int32_t v = 0;
        next(&v, sizeof v);
        return v;
    }
    double Double() {
        double v = 0.0;
        next(&v, sizeof v);
        return v;
    }
    std::string Str() {
        const size_t nul = raw_.find('\0', pos_);
        const size_t end = nul == std::string::npos ? raw_.size() : nul;
        std::string s = nul == std::string::npos ? "" : raw_.substr(pos_, end - pos_);  // none without its NUL
        pos_ = std::min(end + 1, raw_.size());
        return s;
    }
    // The next items by a signature (i integer, d double, s text), spaced,
    // with " +N" when N bytes are left after them: "3 2.5 name".
    std::string Items(std::string_view sig) {
        std::string out;
        for (char c : sig) {
            if (!out.empty()) out += ' ';
            if (c == 'i') {
                out += std::to_string(Int());
            } else if (c == 'd') {
                char buf[400];  // the shortest digits that read back the same
                out.append(buf, std::to_chars(buf, buf + sizeof buf, Double(), std::chars_format::fixed).ptr);
            } else {
                out += Str();
            }
        }
        if (!AtEnd()) out += " +" + std::to_string(Left());
        return out;
    }
    size_t Left() const { return raw_.size() - pos_; }
    bool AtEnd() const { return pos_ == raw_.size(); }

private:
    void take(void* dest, size_t at, size_t n) const {
        auto* d = static_cast<char*>(dest);
        for (size_t i = 0; i < n; ++i) d[i] = raw_[at + (swapped_ ? n - 1 - i : i)];
    }
    void next(void* dest, size_t n) {
        if (Left() >= n) take(dest, pos_, n);
        pos_ = Left() >= n ? pos_ + n : raw_.size();
    }
    std::string raw_;
    bool swapped_ = false;
    size_t pos_ = 0;
};

inline int ms_left(std::chrono::steady_clock::time_point until) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - std::chrono::steady_clock::now());
    return static_cast<int>(std::max<int64_t>(left.count(), 0));
}
inline std::chrono::steady_clock::time_point after_ms(int ms) {
    return std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
}

// A loopback port on which nothing listens now, new to this process. It
// comes from below the range the system hands out to bind(0) and to
// outgoing connections, so that a fake front end or a connecting program
// of a test running beside this one cannot take it before the listener it
// is meant for; each process starts at its own place in that span.
inline int free_loopback_port() {
    static int next = -1;
    int low = 32768, high = 60999;
    if (std::FILE* f = std::fopen("/proc/sys/net/ipv4/ip_local_port_range", "r")) {
        if (std::fscanf(f, "%d %d", &low, &high) != 2) low = 32768;
        std::fclose(f);
    }
    constexpr int first = 10000;
    const int span = low - first;
    for (int tries = 0; tries < 200; ++tries) {
        int want = 0;  // the system's choice where no span lies below its range
        if (span >= 1000) {
            if (next < 0) next = static_cast<int>((static_cast<long>(getpid()) * 7919) % span);
            want = first + next;
            next = (next + 1) % span;
        }
        const SocketHandle s = sock_create_tcp();
        const int port = s != NO_SOCKET && sock_bind(s, want, true) ? sock_local_port(s) : -1;
        sock_close(s);
        if (port > 0) return port;
    }
    return -1;
}

// Exactly n bytes from a socket, or false when they do not come in time.
inline bool read_exact(SocketHandle s, size_t n, std::string& out, int timeout_ms) {
    out.clear();
    const auto until = after_ms(timeout_ms);
    while (out.size() < n) {
        const int left = ms_left(until);
        if (left <= 0 || sock_wait_readable(s, left) != SockWait::Ready) return false;
        char buf[4096];
        const long r = sock_recv(s, buf, std::min(sizeof buf, n - out.size()));
        if (r <= 0) return false;
        out.append(buf, static_cast<size_t>(r));
    }
    return true;
}

class FakeFrontEnd {
public:
    // swapped: act as a machine of the other byte order.
    explicit FakeFrontEnd(bool swapped = false) : swapped_(swapped) {
        listener_ = sock_create_tcp();
        if (listener_ != NO_SOCKET && sock_bind(listener_, 0, true) && sock_listen(listener_, 4) == 0)
            port_ = sock_local_port(listener_);
    }
    ~FakeFrontEnd() {
        Hangup();
        sock_shutdown(listener_);  // wakes a script still waiting to accept
        if (script_.joinable()) script_.join();
        sock_close(peer_);
        sock_close(listener_);
    }
    FakeFrontEnd(const FakeFrontEnd&) = delete;
    FakeFrontEnd& operator=(const FakeFrontEnd&) = delete;

    int Port() const { return port_; }  // -1 when listening failed
    WireWriter Frame() const { return WireWriter(swapped_); }

    // Takes the engine's connection and, unless told not to, sends the key.
    bool Accept(int timeout_ms = DEFAULT_TIMEOUT_MS, bool send_key = true) {
        if (port_ <= 0 || sock_wait_readable(listener_, timeout_ms) != SockWait::Ready) return false;
        peer_ = sock_accept(listener_);
        if (peer_ == NO_SOCKET) return false;
        sock_set_nodelay(peer_);
        return !send_key || SendKey();
    }
    // As the client end of an ENI line: keeps trying until the server listens.
    bool Connect(int port, int timeout_ms = DEFAULT_TIMEOUT_MS) {
        const auto until = after_ms(timeout_ms);
        uint32_t address = 0;
        if (!sock_resolve_ipv4("127.0.0.1", address)) return false;
        while (ms_left(until) > 0) {
            const SocketHandle s = sock_create_tcp();
            if (s == NO_SOCKET) return false;
            if (sock_connect_ipv4(s, address, port)) {
                peer_ = s;
                sock_set_nodelay(s);
                return true;
            }
            sock_close(s);
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return false;
    }
    bool ReadKey(std::string& key) { return read_exact(peer_, 12, key, DEFAULT_TIMEOUT_MS); }
    // Other values than these test the engine's refusal of a foreign order.
    bool SendKey(int32_t key_int = 0x12345678, double key_double = 3.14159265359) {
        return SendRaw(Frame().Int(key_int).Double(key_double).Body());
    }
    bool SendRaw(std::string_view bytes) { return peer_ != NO_SOCKET && sock_send_all(peer_, bytes.data(), bytes.size()); }
    bool Send(const WireWriter& frame) { return SendRaw(frame.Frame()); }
    bool SendInts(std::initializer_list<int32_t> items) {  // code first
        WireWriter w = Frame();
        for (int32_t v : items) w.Int(v);
        return Send(w);
    }

    // The next whole frame, or nothing when none comes in time or its length is not sane.
    std::optional<WireFrame> ReadFrame(int timeout_ms = DEFAULT_TIMEOUT_MS) {
        std::string head, body;
        if (!read_exact(peer_, 4, head, timeout_ms)) return std::nullopt;
        const int32_t total = WireFrame(head, swapped_).Length();
        if (total < 8 || total > 16 * 1024 * 1024) return std::nullopt;
        if (!read_exact(peer_, static_cast<size_t>(total) - 4, body, timeout_ms)) return std::nullopt;
        return WireFrame(head + body, swapped_);
    }
    // The next frame, which must open with code.
    std::optional<WireFrame> Expect(int32_t code, int timeout_ms = DEFAULT_TIMEOUT_MS) {
        auto f = ReadFrame(timeout_ms);
        if (!f || f->Int() != code) return std::nullopt;
        return f;
    }

    // Whether the engine closed its end (anything still unread is dropped).
    bool WaitForClose(int timeout_ms = DEFAULT_TIMEOUT_MS) {
        const auto until = after_ms(timeout_ms);
        for (;;) {
            const int left = ms_left(until);
            if (left <= 0 || sock_wait_readable(peer_, left) != SockWait::Ready) return false;
            char buf[4096];
            if (sock_recv(peer_, buf, sizeof buf) <= 0) return true;
        }
    }
    // Whether the engine has sent nothing that is still unread.
    bool Quiet() { return sock_wait_readable(peer_, 0) == SockWait::Timeout; }
    void Hangup() { sock_shutdown(peer_); }

    // Runs the script on a thread of its own, so that the engine can run in
    // this one; the front end hangs up when the script ends.
    void Run(std::function<void(FakeFrontEnd&)> script) {
        std::promise<void> done;
        finished_ = done.get_future();
        script_ = std::thread([this, script = std::move(script), done = std::move(done)]() mutable {
            script(*this);
            Hangup();
            done.set_value();
        });
    }
    // Whether the script ended in time; it is then joined.
    bool Join(int timeout_ms = DEFAULT_TIMEOUT_MS) {
        if (!script_.joinable()) return true;
        if (finished_.wait_for(std::chrono::milliseconds(timeout_ms)) != std::future_status::ready) return false;
        script_.join();
        return true;
    }

private:
    bool swapped_;
    SocketHandle listener_ = NO_SOCKET;
    std::atomic<SocketHandle> peer_{NO_SOCKET};
    int port_ = -1;
    std::thread script_;
    std::future<void> finished_;
};

}  // namespace fake_fe
