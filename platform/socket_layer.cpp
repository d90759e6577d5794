#include "platform/socket_layer.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

namespace {

// Kept apart from errno so that printing a report cannot change it.
thread_local int last_error = 0;

bool failed() {
    last_error = errno;
    return false;
}

sockaddr_in ipv4_address(uint32_t address, int port) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = address;
    a.sin_port = htons(static_cast<uint16_t>(port));
    return a;
}

bool valid_port(int port, bool zero_allowed) {
    return port <= 65535 && (port > 0 || (zero_allowed && port == 0));
}

}  // namespace

SocketHandle sock_create_tcp() {
    const int s = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP);
    if (s < 0) failed();
    return s < 0 ? NO_SOCKET : s;
}

void sock_close(SocketHandle s) {
    if (s != NO_SOCKET) ::close(s);
}

void sock_shutdown(SocketHandle s) {
    if (s != NO_SOCKET) ::shutdown(s, SHUT_RDWR);
}

bool sock_set_nodelay(SocketHandle s) {
    const int on = 1;
    return ::setsockopt(s, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on) == 0 || failed();
}

bool sock_bind(SocketHandle s, int port, bool loopback_only) {
    if (!valid_port(port, true)) {
        last_error = EINVAL;
        return false;
    }
    const int on = 1;
    ::setsockopt(s, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    const sockaddr_in a = ipv4_address(htonl(loopback_only ? INADDR_LOOPBACK : INADDR_ANY), port);
    return ::bind(s, reinterpret_cast<const sockaddr*>(&a), sizeof a) == 0 || failed();
}

int sock_local_port(SocketHandle s) {
    sockaddr_in a{};
    socklen_t len = sizeof a;
    if (::getsockname(s, reinterpret_cast<sockaddr*>(&a), &len) != 0) {
        failed();
        return -1;
    }
    return ntohs(a.sin_port);
}

int sock_listen(SocketHandle s, int backlog) {
    const int r = ::listen(s, backlog);
    if (r != 0) failed();
    return r;
}

SocketHandle sock_accept(SocketHandle listener) {
    for (;;) {
        const int s = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (s >= 0) return s;
        if (errno != EINTR) {
            failed();
            return NO_SOCKET;
        }
    }
}

bool sock_resolve_ipv4(const char* host, uint32_t& address) {
    if (host == nullptr || *host == '\0') {
        last_error = EINVAL;
        return false;
    }
    in_addr a{};
    if (::inet_pton(AF_INET, host, &a) == 1) {
        address = a.s_addr;
        return true;
    }
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (::getaddrinfo(host, nullptr, &hints, &found) != 0 || found == nullptr) {
        last_error = EHOSTUNREACH;
        return false;
    }
    address = reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr.s_addr;
    ::freeaddrinfo(found);
    return true;
}

bool sock_parse_ipv4(const char* host, uint32_t& address) {
    in_addr a{};
    if (host == nullptr || ::inet_aton(host, &a) == 0) {
        last_error = EINVAL;
        return false;
    }
    address = a.s_addr;
    return true;
}

bool sock_connect_ipv4(SocketHandle s, uint32_t address, int port) {
    if (!valid_port(port, false)) {
        last_error = EINVAL;
        return false;
    }
    const sockaddr_in a = ipv4_address(address, port);
    if (::connect(s, reinterpret_cast<const sockaddr*>(&a), sizeof a) == 0) return true;
    if (errno != EINTR) return failed();
    // An interrupted connect goes on in the background; wait for its end.
    pollfd p{s, POLLOUT, 0};
    while (::poll(&p, 1, -1) < 0) {
        if (errno != EINTR) return failed();
    }
    int err = 0;
    socklen_t len = sizeof err;
    if (::getsockopt(s, SOL_SOCKET, SO_ERROR, &err, &len) != 0) return failed();
    if (err != 0) {
        last_error = err;
        return false;
    }
    return true;
}

SockWait sock_wait_readable(SocketHandle s, int timeout_ms) {
    if (s == NO_SOCKET) {
        last_error = EBADF;
        return SockWait::Error;
    }
    pollfd p{s, POLLIN, 0};
    for (;;) {
        const int r = ::poll(&p, 1, timeout_ms < 0 ? 0 : timeout_ms);
        if (r > 0) {
            if (p.revents & POLLNVAL) {
                last_error = EBADF;
                return SockWait::Error;
            }
            return SockWait::Ready;  // data, a closed peer or an error: a read tells which
        }
        if (r == 0) return SockWait::Timeout;
        if (errno != EINTR) {
            failed();
            return SockWait::Error;
        }
    }
}

SockWait sock_wait_any_readable(const SocketHandle* s, size_t n, int timeout_ms) {
    std::vector<pollfd> p;
    p.reserve(n);
    for (size_t k = 0; k < n; ++k)
        if (s[k] != NO_SOCKET) p.push_back({s[k], POLLIN, 0});
    for (;;) {
        const int r = ::poll(p.data(), p.size(), timeout_ms < 0 ? 0 : timeout_ms);
        if (r > 0) return SockWait::Ready;
        if (r == 0) return SockWait::Timeout;
        if (errno != EINTR) {
            failed();
            return SockWait::Error;
        }
    }
}

bool sock_send_all(SocketHandle s, const void* bytes, size_t n) {
    const char* p = static_cast<const char*>(bytes);
    while (n > 0) {
        const ssize_t r = ::send(s, p, n, MSG_NOSIGNAL);
        if (r < 0) {
            if (errno == EINTR) continue;
            return failed();
        }
        p += r;
        n -= static_cast<size_t>(r);
    }
    return true;
}

long sock_recv(SocketHandle s, void* bytes, size_t n) {
    for (;;) {
        const ssize_t r = ::recv(s, bytes, n, 0);
        if (r >= 0) return static_cast<long>(r);
        if (errno != EINTR) {
            failed();
            return -1;
        }
    }
}

int sock_bytes_waiting(SocketHandle s) {
    int n = 0;
    if (::ioctl(s, FIONREAD, &n) != 0) {
        failed();
        return -1;
    }
    return n;
}

int sock_last_error() { return last_error; }

std::string sock_error_text(int code) {
    char buf[256];
    // The GNU variant returns its text, which may or may not be buf.
    const char* t = ::strerror_r(code, buf, sizeof buf);
    return t ? std::string(t) : std::string();
}

bool sock_error_is_closure(int code) {
    return code == EPIPE || code == ECONNRESET || code == ECONNABORTED || code == ENOTCONN;
}
bool sock_error_is_timeout(int code) { return code == ETIMEDOUT; }
bool sock_error_is_refused(int code) { return code == ECONNREFUSED; }
