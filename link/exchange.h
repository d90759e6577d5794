// One TCP link of the engine: to the front end or to a partner engine over
// an ENI line. It carries frames of int32, double and NUL-ended texts, each
// frame led by an int32 length that counts itself. The accepting side sends
// a 12-byte key first; the connecting side reads its byte order from it and
// reverses every scalar of the link when it differs from its own.
//
// Transport faults never end the process: they are reported on standard
// error ("Exchange Error: ...") and the operation returns normally. A link
// that the peer closed, or that broke the framing, is remembered as closed:
// every later Receive returns false at once, so no wait on it can last. A
// frame that has begun to arrive must be complete within FRAME_STALL_MS;
// waiting for a frame that has not begun has no limit.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/socket_layer.h"

// A growable byte buffer: the frame being built, or the frame being read.
struct ExchangeBuffer {
    ExchangeBuffer();

    // Makes room for need more bytes behind length; grows to the exact
    // need plus 16 and never shrinks.
    void Reserve(int32_t need);
    // Adds n bytes at length, reversed when asked.
    void Append(const void* bytes, int32_t n, bool reverse);
    // Takes n bytes at length (the read position), reversed when asked.
    // Fewer than n bytes before end: false, dest zeroed, position at end.
    bool Extract(void* dest, int32_t n, bool reverse);

    std::vector<unsigned char> data;
    int32_t capacity = 0;
    int32_t increment = 512;
    int32_t length = 0;  // bytes built so far, or the read position
    int32_t end = 0;     // where the readable bytes stop
};

class Exchange {
public:
    // Frames outside these lengths cannot come from a sound peer.
    static constexpr int32_t MIN_FRAME = 8;
    static constexpr int32_t MAX_FRAME = 16 * 1024 * 1024;
    static constexpr int32_t KEY_INT = 0x12345678;
    static constexpr double KEY_DOUBLE = 3.14159265359;
    static constexpr int32_t KEY_BYTES = 12;
    static constexpr int FRAME_STALL_MS = 60000;

    Exchange();
    ~Exchange();
    Exchange(const Exchange&) = delete;
    Exchange& operator=(const Exchange&) = delete;

    // Acceptor: a socket bound to every local address at the port (0: the
    // system's choice). The bound port; -1 on failure; 0 when it reads back 0.
    int Bind(int port);
    int Listen(int backlog);
    // One attempt: waits 10 to 999 ms for a peer; on success the peer's
    // socket replaces the listening one and the key goes out.
    bool Accept();

    // Connector: "localhost" (any case) or a dotted address; any other
    // name fails without a look-up.
    bool Connect(const char* host, int port);

    void Reset(bool initiator);
    void SendKey();
    void ExpectKey();

    void PutInt(int32_t value);
    void PutDouble(double value);
    // The text up to its first NUL, then a NUL.
    void PutString(const char* text);
    void PutString(std::string_view text);
    void Send();

    // True when a whole frame has arrived; its items are then taken in
    // order, wire code first. Without wait, only what is already waiting
    // is read; the rest of a frame is picked up by later calls.
    bool Receive(bool wait);
    // Items of the frame received last. A read past the frame's end gives
    // 0, 0.0 or an empty text and is reported.
    int32_t GetInt();
    double GetDouble();
    // Copies the text into dest (size bytes, NUL included), cut to fit.
    char* GetString(char* dest, size_t size);
    std::string GetString();
    // Bytes of the received frame not yet taken; check before reading
    // counted items.
    int32_t BytesLeft() const;

    void CheckKey();
    // Zero-timeout test: data or the peer's closing is waiting.
    bool IsReadable();
    int BytesAvailable();

    // The link has ended (closed by the peer, broken, refused key) or was
    // never made: no frame can arrive any more.
    bool Closed() const { return !connected_ || closed_; }
    // Why the link ended (the text reported for it); empty while it lasts.
    const std::string& EndReason() const { return end_reason_; }
    static const char* const CLOSURE_TEXT;
    bool Swapped() const { return swap_; }
    bool Keyed() const { return keyed_; }
    // The socket a wait for the next frame watches.
    SocketHandle Socket() const { return socket_; }
    int32_t SendLength() const { return send_.length; }
    int32_t ReceiveCapacity() const { return recv_.capacity; }

    static void ReportError(const char* text);

private:
    enum class Unit { Key, Length, Body };

    void CloseSocket();
    void ReadPastEnd();
    // Reports the end of the link once, however often it shows.
    void EndLink(const char* text);
    void SendFailed();
    bool FrameBegun() const { return unit_ == Unit::Body || received_ > 0; }
    // Time left for the frame that has begun, in ms (0 when it is over).
    int StallMsLeft() const;
    bool SendRaw(const void* bytes, size_t n);

    SocketHandle socket_ = NO_SOCKET;
    ExchangeBuffer send_;
    ExchangeBuffer recv_;      // the frame delivered last
    ExchangeBuffer incoming_;  // the unit being assembled
    bool swap_ = false;
    bool keyed_ = false;
    int32_t received_ = 0;
    int32_t expected_ = 0;
    Unit unit_ = Unit::Key;
    bool connected_ = false;
    bool closed_ = false;
    bool send_failed_ = false;
    bool end_reported_ = false;
    bool past_end_reported_ = false;
    std::string end_reason_;
    std::chrono::steady_clock::time_point frame_start_{};
};
