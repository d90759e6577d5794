// A scripted stand-in for the front end, for tests of anything that talks
// over the front-end link (or, as acceptor, over an ENI link). It listens
// on a loopback port, accepts the engine, sends the byte-order key and
// frames in its own byte order (the machine's, or the reverse of it), and
// reads the engine's frames byte for byte. It is built on raw sockets, not
// on Exchange, so that it checks the engine's bytes instead of agreeing
// with them.
//
// Every wait is bounded by a timeout: a broken engine makes a call return
// false, never hang the test. Header-only, so that the tests of any
// library can include it.
#pragma once

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <functional>
#include <future>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <thread>

#include "platform/socket_layer.h"

namespace fake_fe {

inline constexpr int DEFAULT_TIMEOUT_MS = 10000;

inline void put_bytes(std::string& out, const void* p, size_t n, bool reverse) {
    const auto* b = static_cast<const char*>(p);
    for (size_t i = 0; i < n; ++i) out += b[reverse ? n - 1 - i : i];
}

// The bytes of a frame, built in one byte order.
class WireWriter {
public:
    explicit WireWriter(bool swapped = false) : swapped_(swapped) {}
    WireWriter& Int(int32_t v) {
        put_bytes(body_, &v, sizeof v, swapped_);
        return *this;
    }
    WireWriter& Double(double v) {
        put_bytes(body_, &v, sizeof v, swapped_);
        return *this;
    }
    // The text and its NUL.
    WireWriter& Str(std::string_view s) {
        body_.append(s);
        body_ += '\0';
        return *this;
    }
    WireWriter& Raw(std::string_view bytes) {
        body_.append(bytes);
        return *this;
    }
    const std::string& Body() const { return body_; }
    // The body behind its length word, which counts itself.
    std::string Frame() const {
        std::string out;
        const auto total = static_cast<int32_t>(body_.size() + 4);
        put_bytes(out, &total, sizeof total, swapped_);
        return out + body_;
    }

private:
    bool swapped_;
    std::string body_;
};

// A frame read from the engine: its exact bytes, and its items taken in
// order. A read past the end gives 0 or "" and clears ok().
class WireFrame {
public:
    WireFrame() = default;
    WireFrame(std::string raw, bool swapped) : raw_(std::move(raw)), swapped_(swapped), pos_(4) {}
    const std::string& Raw() const { return raw_; }  // length word included
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
        if (nul == std::string::npos) {
            ok_ = false;
            pos_ = raw_.size();
            return {};
        }
        std::string s = raw_.substr(pos_, nul - pos_);
        pos_ = nul + 1;
        return s;
    }
    size_t Left() const { return raw_.size() - pos_; }
    bool AtEnd() const { return pos_ == raw_.size(); }
    bool ok() const { return ok_; }

private:
    void take(void* dest, size_t at, size_t n) const {
        auto* d = static_cast<char*>(dest);
        for (size_t i = 0; i < n; ++i) d[i] = raw_[at + (swapped_ ? n - 1 - i : i)];
    }
    void next(void* dest, size_t n) {
        if (raw_.size() - pos_ < n) {
            ok_ = false;
            pos_ = raw_.size();
            return;
        }
        take(dest, pos_, n);
        pos_ += n;
    }
    std::string raw_;
    bool swapped_ = false;
    size_t pos_ = 0;
    bool ok_ = true;
};

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

    // The listening port, -1 when listening failed.
    int Port() const { return port_; }
    bool Swapped() const { return swapped_; }
    WireWriter Frame() const { return WireWriter(swapped_); }

    // Takes the engine's connection and, unless told not to, sends the key.
    bool Accept(int timeout_ms = DEFAULT_TIMEOUT_MS, bool send_key = true) {
        if (port_ <= 0 || sock_wait_readable(listener_, timeout_ms) != SockWait::Ready) return false;
        peer_ = sock_accept(listener_);
        if (peer_ == NO_SOCKET) return false;
        sock_set_nodelay(peer_);
        return !send_key || SendKey();
    }

    // The key in this side's byte order; other values test the engine's
    // refusal of a foreign order.
    bool SendKey(int32_t key_int = 0x12345678, double key_double = 3.14159265359) {
        std::string k;
        put_bytes(k, &key_int, sizeof key_int, swapped_);
        put_bytes(k, &key_double, sizeof key_double, swapped_);
        return SendRaw(k);
    }
    bool SendRaw(std::string_view bytes) {
        return peer_ != NO_SOCKET && sock_send_all(peer_, bytes.data(), bytes.size());
    }
    bool Send(const WireWriter& frame) { return SendRaw(frame.Frame()); }
    // A frame of integers only, code first.
    bool SendInts(std::initializer_list<int32_t> items) {
        WireWriter w = Frame();
        for (int32_t v : items) w.Int(v);
        return Send(w);
    }

    // Exactly n bytes, or false when they do not come in time.
    bool ReadRaw(size_t n, std::string& out, int timeout_ms = DEFAULT_TIMEOUT_MS) {
        out.clear();
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
        while (out.size() < n) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                until - std::chrono::steady_clock::now());
            if (left.count() <= 0 || sock_wait_readable(peer_, static_cast<int>(left.count())) != SockWait::Ready)
                return false;
            char buf[4096];
            const long r = sock_recv(peer_, buf, std::min(sizeof buf, n - out.size()));
            if (r <= 0) return false;
            out.append(buf, static_cast<size_t>(r));
        }
        return true;
    }

    // The next whole frame, or nothing when none comes in time or its
    // length is not sane.
    std::optional<WireFrame> ReadFrame(int timeout_ms = DEFAULT_TIMEOUT_MS) {
        std::string head;
        if (!ReadRaw(4, head, timeout_ms)) return std::nullopt;
        const int32_t total = WireFrame(head, swapped_).Length();
        if (total < 8 || total > 16 * 1024 * 1024) return std::nullopt;
        std::string body;
        if (!ReadRaw(static_cast<size_t>(total) - 4, body, timeout_ms)) return std::nullopt;
        return WireFrame(head + body, swapped_);
    }
    // The next frame, which must open with code.
    std::optional<WireFrame> Expect(int32_t code, int timeout_ms = DEFAULT_TIMEOUT_MS) {
        auto f = ReadFrame(timeout_ms);
        if (!f || f->Int() != code) return std::nullopt;
        return f;
    }
    // Skips frames until one opens with code; timeout_ms bounds the search.
    std::optional<WireFrame> ReadUntil(int32_t code, int timeout_ms = DEFAULT_TIMEOUT_MS) {
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
        for (;;) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                until - std::chrono::steady_clock::now());
            if (left.count() <= 0) return std::nullopt;
            auto f = ReadFrame(static_cast<int>(left.count()));
            if (!f) return std::nullopt;
            WireFrame probe = *f;
            if (probe.Int() == code) {
                f->Int();
                return f;
            }
        }
    }

    // The closing exchange: reads until the engine's -999, answers -999.
    bool AnswerShutdown(int timeout_ms = DEFAULT_TIMEOUT_MS) {
        return ReadUntil(-999, timeout_ms).has_value() && SendInts({-999});
    }

    // Whether the engine closed its end (anything still unread is dropped).
    bool WaitForClose(int timeout_ms = DEFAULT_TIMEOUT_MS) {
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
        for (;;) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                until - std::chrono::steady_clock::now());
            if (left.count() <= 0 || sock_wait_readable(peer_, static_cast<int>(left.count())) != SockWait::Ready)
                return false;
            char buf[4096];
            const long r = sock_recv(peer_, buf, sizeof buf);
            if (r <= 0) return true;
        }
    }

    // Whether the engine has sent nothing that is still unread.
    bool Quiet() { return sock_wait_readable(peer_, 0) == SockWait::Timeout; }

    // Hangs up: the engine's waits on the link end.
    void Hangup() { sock_shutdown(peer_); }

    // Runs the script on a thread of its own, so that the engine can run
    // in this one; the front end hangs up when the script ends.
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
