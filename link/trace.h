// The quantities the front end watches: a list of packed trace keys whose
// values go out at print steps, and the one-off queries.
#pragma once

#include <array>
#include <cstdint>

inline constexpr int32_t TRACE_CAPACITY = 2048;

// Kept in the order added, duplicates allowed; emptied at the start of the
// first run only, so the list carries over from run to run.
struct TraceKeys {
    int32_t count = 0;
    std::array<int32_t, TRACE_CAPACITY> keys{};
};

extern TraceKeys TRACE_KEYS;

// Operations on the list.
inline constexpr int32_t TRACE_SEND = 0;
inline constexpr int32_t TRACE_ADD = 2;
inline constexpr int32_t TRACE_REMOVE = 3;

// The kind of quantity a key names (bits 24 to 30).
inline constexpr int32_t TRACE_TIME = 0;
inline constexpr int32_t TRACE_STOL = 1;
inline constexpr int32_t TRACE_STOI = 2;
inline constexpr int32_t TRACE_STOF = 3;
inline constexpr int32_t TRACE_NONE = 4;
inline constexpr int32_t TRACE_STOF2 = 5;
inline constexpr int32_t TRACE_PGB = 6;
inline constexpr int32_t TRACE_VAR = 7;
inline constexpr int32_t TRACE_CON = 8;
inline constexpr int32_t TRACE_VNODE = 9;
inline constexpr int32_t TRACE_CBR = 10;
inline constexpr int32_t TRACE_CBR_NEG = 11;

// A key of kinds 0 to 8 with one index, and of kinds 9 to 11 with a first
// index (16 bits) and a second one (8 bits).
constexpr int32_t trace_key(int32_t kind, int32_t index) {
    return static_cast<int32_t>((static_cast<uint32_t>(kind & 0x7F) << 24) | (static_cast<uint32_t>(index) & 0xFFFFFFu));
}
constexpr int32_t trace_key(int32_t kind, int32_t first, int32_t second) {
    return static_cast<int32_t>((static_cast<uint32_t>(kind & 0x7F) << 24) | ((static_cast<uint32_t>(second) & 0xFFu) << 16) |
                                (static_cast<uint32_t>(first) & 0xFFFFu));
}

void TRACE_LIST(int32_t operation, int32_t key);
// Puts count values of the key's quantity into the frame being built:
// int32 for kinds 1 and 2, nothing for kind 4, a double otherwise. Each
// further value is at every index one higher; an index outside its table
// puts 0 (0.0).
void SEND_KEY_VALUES(int32_t key, int32_t count);
// Reads key and count from the current frame and answers with the values.
void QUERY_VALUES();
void CLEAR_TRACE();
void SEND_TRACE();
