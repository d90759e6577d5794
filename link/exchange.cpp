#include "link/exchange.h"

#include <algorithm>
#include <chrono>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>
#include <strings.h>
#include <utility>

namespace {

constexpr int32_t INITIAL_CAPACITY = 4096;

const char* const TEXT_ERROR = "Unexpected error at transport mechanism.";
const char* const TEXT_CLOSURE = "Unexpected closure of transport mechanism.";
const char* const TEXT_STALLED = "Frame not completed within 60 seconds.";
const char* const TEXT_BAD_LENGTH = "Bad frame length received.";
const char* const TEXT_PAST_END = "Read past the end of the received frame.";
const char* const TEXT_TOO_LONG = "Frame too long to send.";

void copy_bytes(void* dest, const void* src, int32_t n, bool reverse) {
    if (n <= 0) return;
    if (!reverse) {
        std::memcpy(dest, src, static_cast<size_t>(n));
        return;
    }
    const auto* s = static_cast<const unsigned char*>(src);
    auto* d = static_cast<unsigned char*>(dest);
    for (int32_t i = 0; i < n; ++i) d[i] = s[n - 1 - i];
}

// The accept wait is drawn from a generator of its own, so that the
// engine's random-value blocks keep their sequences.
int accept_wait_ms() {
    static std::minstd_rand gen(static_cast<std::minstd_rand::result_type>(
        std::chrono::system_clock::now().time_since_epoch().count()));
    return static_cast<int>(gen() % 990) + 10;
}

}  // namespace

ExchangeBuffer::ExchangeBuffer() : data(INITIAL_CAPACITY), capacity(INITIAL_CAPACITY) {}

void ExchangeBuffer::Reserve(int32_t need) {
    const int64_t want = static_cast<int64_t>(length) + need;
    if (want <= capacity) return;
    capacity = static_cast<int32_t>(want + 16);
    data.resize(static_cast<size_t>(capacity));
}

void ExchangeBuffer::Append(const void* bytes, int32_t n, bool reverse) {
    if (n <= 0) return;
    Reserve(n);
    copy_bytes(data.data() + length, bytes, n, reverse);
    length += n;
}

bool ExchangeBuffer::Extract(void* dest, int32_t n, bool reverse) {
    if (n <= 0) return true;
    if (length < 0 || end - length < n) {
        std::memset(dest, 0, static_cast<size_t>(n));
        length = std::max(length, end);
        return false;
    }
    copy_bytes(dest, data.data() + length, n, reverse);
    length += n;
    return true;
}

const char* const Exchange::CLOSURE_TEXT = TEXT_CLOSURE;

Exchange::Exchange() { send_.length = 4; }

Exchange::~Exchange() { CloseSocket(); }

void Exchange::ReportError(const char* text) {
    std::fprintf(stderr, "Exchange Error: %s", text);
    std::fflush(stderr);
}

void Exchange::CloseSocket() {
    sock_close(socket_);
    socket_ = NO_SOCKET;
    connected_ = false;
}

void Exchange::EndLink(const char* text) {
    closed_ = true;
    if (!end_reported_) {
        ReportError(text);
        end_reason_ = text;
    }
    end_reported_ = true;
}

void Exchange::SendFailed() {
    send_failed_ = true;
    const int code = sock_last_error();
    const char* text = sock_error_is_closure(code) ? TEXT_CLOSURE : TEXT_ERROR;
    if (!end_reported_) {
        ReportError(text);
        end_reason_ = text;
    }
    end_reported_ = true;
}

int Exchange::StallMsLeft() const {
    const auto spent = std::chrono::steady_clock::now() - frame_start_;
    const auto left = std::chrono::milliseconds(FRAME_STALL_MS) -
                      std::chrono::duration_cast<std::chrono::milliseconds>(spent);
    return static_cast<int>(std::max<int64_t>(left.count(), 0));
}

bool Exchange::SendRaw(const void* bytes, size_t n) {
    if (send_failed_) return false;
    if (!sock_send_all(socket_, bytes, n)) {
        SendFailed();
        return false;
    }
    return true;
}

int Exchange::Bind(int port) {
    CloseSocket();
    const SocketHandle s = sock_create_tcp();
    if (s == NO_SOCKET) return -1;
    if (!sock_bind(s, port)) {
        sock_close(s);
        return -1;
    }
    const int bound = sock_local_port(s);
    if (bound < 0) {
        sock_close(s);
        return -1;
    }
    if (bound == 0) {
        sock_close(s);
        std::perror("ExchangeBind");
        return 0;
    }
    socket_ = s;
    return bound;
}

int Exchange::Listen(int backlog) {
    if (socket_ == NO_SOCKET) return -1;
    return sock_listen(socket_, backlog);
}

bool Exchange::Accept() {
    if (socket_ == NO_SOCKET || connected_) return false;
    const SockWait w = sock_wait_readable(socket_, accept_wait_ms());
    if (w == SockWait::Error) {
        std::printf("Socket Select Error\n");
        return false;
    }
    if (w == SockWait::Timeout) return false;
    const SocketHandle peer = sock_accept(socket_);
    if (peer == NO_SOCKET) return false;
    sock_close(socket_);
    socket_ = peer;
    sock_set_nodelay(socket_);
    connected_ = true;
    Reset(true);
    return true;
}

bool Exchange::Connect(const char* host, int port) {
    uint32_t address = 0;
    // Only "localhost" is looked up; any other host must be an address.
    const bool local = host != nullptr && strcasecmp(host, "localhost") == 0;
    if (local ? !sock_resolve_ipv4("localhost", address) : !sock_parse_ipv4(host, address)) {
        std::fprintf(stderr, "Exchange::Connect: Cannot resolve address '%s'\n", host ? host : "");
        errno = sock_last_error();
        return false;
    }
    const SocketHandle s = sock_create_tcp();
    if (s == NO_SOCKET) {
        const int code = sock_last_error();
        std::printf("socket function failed with error: %ld\n", static_cast<long>(code));
        errno = code;  // the caller reports the system's text for it
        return false;
    }
    sock_set_nodelay(s);
    if (!sock_connect_ipv4(s, address, port)) {
        const int code = sock_last_error();
        std::printf("connect function failed with error: %ld\n", static_cast<long>(code));
        if (sock_error_is_timeout(code))
            std::printf("Exchange::Connect:Connection Timed Out: %ld\n", static_cast<long>(code));
        if (sock_error_is_refused(code))
            std::printf("Exchange::Connect:Connection Refused: %ld\n", static_cast<long>(code));
        sock_close(s);
        errno = code;
        return false;
    }
    CloseSocket();
    socket_ = s;
    connected_ = true;
    Reset(false);
    return true;
}

void Exchange::Reset(bool initiator) {
    send_.length = 4;
    closed_ = false;
    send_failed_ = false;
    end_reported_ = false;
    end_reason_.clear();
    recv_.length = 0;
    recv_.end = 0;
    if (initiator)
        SendKey();
    else
        ExpectKey();
}

void Exchange::SendKey() {
    swap_ = false;
    keyed_ = true;
    received_ = 0;
    expected_ = 4;
    unit_ = Unit::Length;
    const int32_t key_int = KEY_INT;
    const double key_double = KEY_DOUBLE;
    if (SendRaw(&key_int, sizeof key_int)) SendRaw(&key_double, sizeof key_double);
}

void Exchange::ExpectKey() {
    swap_ = false;
    keyed_ = false;
    received_ = 0;
    expected_ = KEY_BYTES;
    unit_ = Unit::Key;
}

void Exchange::PutInt(int32_t value) {
    if (send_.length <= MAX_FRAME) send_.Append(&value, sizeof value, swap_);
}

void Exchange::PutDouble(double value) {
    if (send_.length <= MAX_FRAME) send_.Append(&value, sizeof value, swap_);
}

void Exchange::PutString(const char* text) {
    PutString(text ? std::string_view(text) : std::string_view());
}

void Exchange::PutString(std::string_view text) {
    if (send_.length > MAX_FRAME) return;
    const size_t nul = text.find('\0');
    if (nul != std::string_view::npos) text = text.substr(0, nul);
    // A frame the peer would refuse is stopped in Send.
    const size_t room = static_cast<size_t>(MAX_FRAME) + 1;
    if (text.size() > room) text = text.substr(0, room);
    send_.Append(text.data(), static_cast<int32_t>(text.size()), false);
    const char nul_byte = '\0';
    send_.Append(&nul_byte, 1, false);
}

void Exchange::Send() {
    const int32_t total = send_.length;
    send_.length = 0;
    send_.Append(&total, sizeof total, swap_);
    send_.length = 4;
    if (total > MAX_FRAME) {
        ReportError(TEXT_TOO_LONG);
        return;
    }
    SendRaw(send_.data.data(), static_cast<size_t>(total));
}

bool Exchange::Receive(bool wait) {
    if (!connected_ || closed_) return false;
    if (wait && sock_wait_readable(socket_, 0) != SockWait::Ready) {
        std::fflush(stdout);
        std::fflush(stderr);
    }
    for (;;) {
        // Without wait only what is there is read; with it, the rest of a
        // frame that has begun is waited for until its time is over.
        const int limit = !wait ? 0 : FrameBegun() ? StallMsLeft() : -1;
        if (limit >= 0) {
            const SockWait w = sock_wait_readable(socket_, limit);
            if (w == SockWait::Timeout) {
                if (FrameBegun() && StallMsLeft() == 0) {
                    EndLink(TEXT_STALLED);
                    return false;
                }
                if (!wait) return false;
                continue;  // woken a little early
            }
            if (w == SockWait::Error) {
                EndLink(TEXT_ERROR);
                return false;
            }
        }
        const long n = sock_recv(socket_, incoming_.data.data() + received_,
                                 static_cast<size_t>(expected_ - received_));
        if (n < 0) {
            EndLink(sock_error_is_closure(sock_last_error()) ? TEXT_CLOSURE : TEXT_ERROR);
            return false;
        }
        if (n == 0) {
            EndLink(TEXT_CLOSURE);
            return false;
        }
        if (received_ == 0 && unit_ != Unit::Body) frame_start_ = std::chrono::steady_clock::now();
        received_ += static_cast<int32_t>(n);
        if (received_ < expected_) continue;

        switch (unit_) {
        case Unit::Key:
            CheckKey();
            if (!keyed_) {
                closed_ = true;  // nothing more can be understood on this link
                end_reported_ = true;
                return false;
            }
            received_ = 0;
            expected_ = 4;
            unit_ = Unit::Length;
            break;
        case Unit::Length: {
            int32_t total = 0;
            copy_bytes(&total, incoming_.data.data(), 4, swap_);
            if (total < MIN_FRAME || total > MAX_FRAME) {
                EndLink(TEXT_BAD_LENGTH);
                return false;
            }
            if (total > incoming_.capacity) {
                incoming_.capacity = total + 16;
                incoming_.data.resize(static_cast<size_t>(incoming_.capacity));
            }
            expected_ = total;
            unit_ = Unit::Body;
            break;
        }
        case Unit::Body:
            std::swap(recv_, incoming_);
            recv_.length = 4;
            recv_.end = expected_;
            past_end_reported_ = false;
            received_ = 0;
            expected_ = 4;
            unit_ = Unit::Length;
            return true;
        }
    }
}

void Exchange::ReadPastEnd() {
    if (!past_end_reported_) ReportError(TEXT_PAST_END);
    past_end_reported_ = true;
}

int32_t Exchange::GetInt() {
    int32_t v = 0;
    if (!recv_.Extract(&v, sizeof v, swap_)) ReadPastEnd();
    return v;
}

double Exchange::GetDouble() {
    double v = 0.0;
    if (!recv_.Extract(&v, sizeof v, swap_)) ReadPastEnd();
    return v;
}

char* Exchange::GetString(char* dest, size_t size) {
    const int32_t from = std::clamp(recv_.length, 0, recv_.end);
    const unsigned char* begin = recv_.data.data() + from;
    const unsigned char* stop = recv_.data.data() + recv_.end;
    const unsigned char* nul = std::find(begin, stop, '\0');
    const size_t n = static_cast<size_t>(nul - begin);
    if (dest != nullptr && size > 0) {
        const size_t kept = std::min(n, size - 1);
        std::memcpy(dest, begin, kept);
        dest[kept] = '\0';
    }
    if (nul == stop) {
        recv_.length = recv_.end;
        ReadPastEnd();
    } else {
        recv_.length = from + static_cast<int32_t>(n) + 1;
    }
    return dest;
}

std::string Exchange::GetString() {
    const int32_t from = std::clamp(recv_.length, 0, recv_.end);
    const char* begin = reinterpret_cast<const char*>(recv_.data.data()) + from;
    const size_t n = static_cast<size_t>(recv_.end - from);
    std::string text(begin, strnlen(begin, n));
    GetString(nullptr, 0);
    return text;
}

int32_t Exchange::BytesLeft() const { return std::max(0, recv_.end - std::max(recv_.length, 0)); }

void Exchange::CheckKey() {
    incoming_.length = 0;
    incoming_.end = KEY_BYTES;
    int32_t word = 0;
    swap_ = false;
    incoming_.Extract(&word, sizeof word, false);
    if (word == KEY_INT || word == 0x78563412) {
        swap_ = (word != KEY_INT);
        keyed_ = true;
        double value = 0.0;
        incoming_.Extract(&value, sizeof value, swap_);
        if (!(std::fabs(value - KEY_DOUBLE) <= 1e-11)) ReportError("Bad floating point format");
        return;
    }
    keyed_ = false;
    if (word == 0x56781234)
        end_reason_ = "Word reversal not supported";
    else if (word == 0x34127856)
        end_reason_ = "Word-byte reversal not supported";
    else
        end_reason_ = "Bad key value received.";
    ReportError(end_reason_.c_str());
}

bool Exchange::IsReadable() {
    const SockWait w = sock_wait_readable(socket_, 0);
    if (w == SockWait::Error) {
        std::printf("Socket Select Error\n");
        return false;
    }
    return w == SockWait::Ready;
}

int Exchange::BytesAvailable() {
    const int n = sock_bytes_waiting(socket_);
    if (n < 0) ReportError("Unable to check read buffer.");
    return n;
}
