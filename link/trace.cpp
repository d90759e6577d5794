#include "link/trace.h"

#include <algorithm>

#include "engine/run_state.h"
#include "engine/storage.h"
#include "link/exchange.h"
#include "link/flat_layer.h"
#include "link/wire_codes.h"
#include "network/network_tables.h"

TraceKeys TRACE_KEYS;

namespace {

// The most doubles one frame can carry; a longer query is cut to it.
constexpr int32_t MAX_VALUES = (Exchange::MAX_FRAME - 64) / 8;

template <class T>
T value_at(const FArray1<T>& a, int64_t i) {
    return a.in_range(i) ? a(i) : T{};
}

template <class T>
T value_at(const FArray2<T>& a, int64_t i, int64_t j) {
    return a.in_range(i, j) ? a(i, j) : T{};
}

double trace_time() {
    const RunClock& c = RUN_CLOCK;
    const int32_t steps = is_true(RUN_SETUP.relabel_time) ? c.NSTEP - c.START_STEP : c.NSTEP;
    return c.DELT * steps;
}

}  // namespace

void SEND_KEY_VALUES(int32_t key, int32_t count) {
    if (count < 1) return;
    const int32_t kind = get_bits(key, 24, 7);
    const int64_t index = get_bits(key, 0, 24);
    const int64_t first = get_bits(key, 0, 16), second = get_bits(key, 16, 8);
    const StorageArrays& s = STORAGE;
    for (int64_t k = 0; k < count; ++k) {
        switch (kind) {
        case TRACE_TIME:
            fe_send_real(0, trace_time());
            break;
        case TRACE_STOL:
            fe_send_int(0, (value_at(s.STOL, index + k) & 1) != 0 ? 1 : 0);
            break;
        case TRACE_STOI:
            fe_send_int(0, value_at(s.STOI, index + k));
            break;
        case TRACE_NONE:
            break;
        case TRACE_STOF:
        case TRACE_STOF2:
            fe_send_real(0, value_at(s.STOF, index + k));
            break;
        case TRACE_PGB:
            fe_send_real(0, value_at(s.PGB, index + k));
            break;
        case TRACE_VAR:
            fe_send_real(0, value_at(s.VAR, index + k));
            break;
        case TRACE_CON:
            fe_send_real(0, value_at(s.CON, index + k));
            break;
        case TRACE_VNODE:
            fe_send_real(0, value_at(NET.VNODE, first + k, second + k));
            break;
        case TRACE_CBR:
            fe_send_real(0, value_at(NET.CBR, first + k, second + k));
            break;
        case TRACE_CBR_NEG:
            fe_send_real(0, -value_at(NET.CBR, first + k, second + k));
            break;
        default:  // no quantity of that kind
            fe_send_real(0, 0.0);
            break;
        }
    }
}

void TRACE_LIST(int32_t operation, int32_t key) {
    TraceKeys& t = TRACE_KEYS;
    switch (operation) {
    case TRACE_SEND:
        fe_send_int(0, FE_MSG_TRACE);
        for (int32_t i = 0; i < t.count; ++i) SEND_KEY_VALUES(t.keys[static_cast<size_t>(i)], 1);
        fe_flush(0);
        break;
    case TRACE_ADD:
        if (t.count >= TRACE_CAPACITY) return;  // refused without an answer
        t.keys[static_cast<size_t>(t.count)] = key;
        t.count += 1;
        fe_send_int(0, FE_MSG_TRACE_ADDED);
        fe_send_int(0, key);
        fe_flush(0);
        break;
    case TRACE_REMOVE: {
        if (t.count < 1) return;
        const auto begin = t.keys.begin(), end = t.keys.begin() + t.count;
        const auto at = std::find(begin, end, key);
        if (at != end) {
            std::copy(at + 1, end, at);
            t.count -= 1;
            t.keys[static_cast<size_t>(t.count)] = 0;
        }
        fe_send_int(0, FE_MSG_TRACE_REMOVED);
        fe_send_int(0, key);
        fe_flush(0);
        break;
    }
    default:
        break;
    }
}

void QUERY_VALUES() {
    int32_t key = 0, count = 0;
    fe_recv_int(0, key);
    fe_recv_int(0, count);
    count = std::min(count, MAX_VALUES);
    fe_send_int(0, FE_MSG_VALUES);
    fe_send_int(0, key);
    fe_send_int(0, count);
    SEND_KEY_VALUES(key, count);
    fe_flush(0);
}

void CLEAR_TRACE() { TRACE_KEYS = {}; }

void SEND_TRACE() { TRACE_LIST(TRACE_SEND, 0); }
