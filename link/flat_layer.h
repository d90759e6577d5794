// The plain calls through which the engine's routines reach the links:
// handle 0 is the front end, ENI links are found by their port. Texts go
// out as NUL-ended copies of the engine's blank-padded fields and come back
// into such fields. Every call is harmless when its link does not exist.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "link/exchange.h"
#include "platform/fixed_text.h"
#include "platform/host_name.h"
#include "platform/logical.h"

// The connection to the front end, owned by the start-up; null when the
// engine runs standalone.
extern Exchange* FRONT_END;
inline Exchange* front_end() { return FRONT_END; }
inline void set_front_end(Exchange* link) { FRONT_END = link; }

// Text conversions between C texts and blank-padded fields of n characters.
// The C text up to its NUL, cut to n, the rest of the field blanks; n < 1
// writes nothing.
void cstr_to_fstr(char* field, const char* cstr, int32_t n);
template <size_t N>
void cstr_to_fstr(FText<N>& field, const char* cstr) {
    cstr_to_fstr(field.data(), cstr, static_cast<int32_t>(N));
}
// At most n characters, stopping at a NUL; trailing blanks go when no NUL
// ended the copy. n < 1: the field up to its NUL, blanks kept.
std::string fstr_to_cstr(const char* field, int32_t n);
inline std::string fstr_to_cstr(std::string_view field) {
    return fstr_to_cstr(field.data(), field.empty() ? 0 : static_cast<int32_t>(field.size()));
}

// Scalars of a given size: 2 for int16 and 4 for float, any other size
// int32 or double.
int32_t get_int_arg(const void* value, int32_t size);
void set_int_arg(void* dest, int32_t size, int32_t value);
double get_real_arg(const void* value, int32_t size);
void set_real_arg(void* dest, int32_t size, double value);

// The field of length bits at position (both taken mod 32) of value.
int32_t get_bits(int32_t value, int32_t position, int32_t length);

// Front-end link.
void fe_send_int(int32_t handle, int32_t value);
void fe_send_real(int32_t handle, double value);
// The value as "%.4g" text.
void fe_send_real_text(int32_t handle, double value);
// The text up to its first NUL, then a NUL.
void fe_send_str(int32_t handle, std::string_view text);
void fe_flush(int32_t handle);
Logical fe_poll(int32_t handle, Logical wait);
void fe_recv_int(int32_t handle, int32_t& value);
void fe_recv_real(int32_t handle, double& value);
// The next text into a field of length characters, cut or padded.
void fe_recv_str(int32_t handle, int32_t length, char* field);
template <size_t N>
void fe_recv_str(int32_t handle, FText<N>& field) {
    fe_recv_str(handle, static_cast<int32_t>(N), field.data());
}
Logical fe_pending(int32_t handle);
// No frame can come any more: the link has ended or there is none.
Logical fe_closed(int32_t handle);
// Bytes of the current frame not yet read.
int32_t fe_bytes_left(int32_t handle);
// The sentence for a link that has ended, with when it was found ("at step
// 12"): the front end's closing, or the fault that broke the link.
std::string fe_link_lost_text(int32_t handle, std::string_view when);

// ENI links, one table for the lines this process connects to and one for
// those it serves. Every entry with the port gets the operation in the
// order opened; a result is that of the last one. Only connection 0 exists.
Logical eni_client_open(const char* host, int32_t port);
void eni_client_send_int(int32_t connection, int32_t value, int32_t port);
void eni_client_send_real(int32_t connection, double value, int32_t port);
void eni_client_flush(int32_t connection, int32_t port);
Logical eni_client_poll(int32_t connection, Logical wait, int32_t port);
void eni_client_recv_int(int32_t connection, int32_t& value, int32_t port);
void eni_client_recv_real(int32_t connection, double& value, int32_t port);
Logical eni_client_closed(int32_t connection, int32_t port);
// Bytes of the frame received last not yet read.
int32_t eni_client_bytes_left(int32_t connection, int32_t port);
// Whether the server's byte-order key has been read (by a poll), so that
// numbers put now go out in the link's order.
Logical eni_client_keyed(int32_t connection, int32_t port);

// Port 0 lets the system choose, and the chosen port is written back.
// False when the bind failed (the entry then has no socket).
Logical eni_server_open(int32_t& port);
void eni_server_listen(int32_t backlog, int32_t port, int32_t connection);
Logical eni_server_accept(int32_t port, int32_t connection);
void eni_server_send_int(int32_t connection, int32_t value, int32_t port);
void eni_server_send_real(int32_t connection, double value, int32_t port);
void eni_server_flush(int32_t connection, int32_t port);
Logical eni_server_poll(int32_t connection, Logical wait, int32_t port);
void eni_server_recv_int(int32_t connection, int32_t& value, int32_t port);
void eni_server_recv_real(int32_t connection, double& value, int32_t port);
Logical eni_server_closed(int32_t connection, int32_t port);
int32_t eni_server_bytes_left(int32_t connection, int32_t port);

// Waits at most timeout_ms until a link of one of the count ports (in the
// server table, or else the client table) has bytes or its end to read.
void eni_wait_readable(Logical server, const int32_t* ports, int32_t count, int32_t timeout_ms);

// One value under a C print format that converts exactly it (the caller
// checks that), written the same way whatever the process locale.
std::string format_c_value(const char* format, double value);
std::string format_c_value(const char* format, int32_t value);
std::string format_c_value(const char* format, const char* text);
