// The little the links need of TCP sockets: IPv4 stream sockets, blocking,
// with waits that are either zero or bounded. Errors come back as results;
// sock_last_error() gives the code of the last failed call.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

using SocketHandle = int;
constexpr SocketHandle NO_SOCKET = -1;

// A new IPv4 TCP socket, or NO_SOCKET.
SocketHandle sock_create_tcp();
void sock_close(SocketHandle s);
// Ends both directions at once; a wait on the socket, here or at the
// peer, then sees the link closed. Safe while another thread waits on it.
void sock_shutdown(SocketHandle s);

// Small frames go out at once instead of waiting to be joined.
bool sock_set_nodelay(SocketHandle s);
// Binds to every local address (or only the loopback one) at the port;
// 0 lets the system choose. A port left in TIME_WAIT by an earlier
// process may be bound again.
bool sock_bind(SocketHandle s, int port, bool loopback_only = false);
// The local port of a bound socket, -1 on failure.
int sock_local_port(SocketHandle s);
int sock_listen(SocketHandle s, int backlog);
// Takes one pending peer; NO_SOCKET on failure.
SocketHandle sock_accept(SocketHandle listener);

// The IPv4 address (network order) of a dotted address or a host name.
bool sock_resolve_ipv4(const char* host, uint32_t& address);
// The IPv4 address (network order) written in the host text, without any
// name look-up; false when the text is no address.
bool sock_parse_ipv4(const char* host, uint32_t& address);
bool sock_connect_ipv4(SocketHandle s, uint32_t address, int port);

enum class SockWait { Ready, Timeout, Error };
// Waits at most timeout_ms (0: just looks) until the socket can be read
// without blocking: data, a pending peer, or the peer's closing.
SockWait sock_wait_readable(SocketHandle s, int timeout_ms);

// Waits at most timeout_ms until one of the n sockets can be read without
// blocking; sockets that are NO_SOCKET are passed over.
SockWait sock_wait_any_readable(const SocketHandle* s, size_t n, int timeout_ms);

// Sends every byte, never raising SIGPIPE; false when the link failed.
bool sock_send_all(SocketHandle s, const void* bytes, size_t n);
// One receive of at most n bytes: the count, 0 when the peer closed,
// -1 on failure. Interrupted calls are repeated.
long sock_recv(SocketHandle s, void* bytes, size_t n);
// Bytes waiting to be read, -1 on failure.
int sock_bytes_waiting(SocketHandle s);

int sock_last_error();
std::string sock_error_text(int code);
// Whether the code says the peer reset or closed the link.
bool sock_error_is_closure(int code);
bool sock_error_is_timeout(int code);
bool sock_error_is_refused(int code);
