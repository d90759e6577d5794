// The codes that open every frame on the front-end link and on the ENI
// links. The front end and partner engines are built against the same
// numbers: never renumber one.
#pragma once

#include <cstdint>

// Set-up records, front end to engine, until FE_SETUP_END.
inline constexpr int32_t FE_SETUP_ARRAY = 9;
inline constexpr int32_t FE_SETUP_DATAFILE = 10;
inline constexpr int32_t FE_SETUP_SNAPSTART = 11;
inline constexpr int32_t FE_SETUP_NO_OUTPUT = 12;
inline constexpr int32_t FE_SETUP_OUTPUT = 13;
inline constexpr int32_t FE_SETUP_NO_SNAPSHOT = 14;
inline constexpr int32_t FE_SETUP_SNAPSHOT = 15;
inline constexpr int32_t FE_SETUP_MULTIRUN = 16;
inline constexpr int32_t FE_SETUP_TABLE_SIZES = 17;
inline constexpr int32_t FE_SETUP_TABLE_ROW = 18;
inline constexpr int32_t FE_SETUP_END = 19;
inline constexpr int32_t FE_SETUP_TABLE_MAP = 20;
inline constexpr int32_t FE_SETUP_ENI_ROLE = 24;
inline constexpr int32_t FE_SETUP_FLAGS = 26;
// The meter code's names for the voltmeter row and the power-meter map.
inline constexpr int32_t FE_SETUP_ROW = FE_SETUP_TABLE_ROW;
inline constexpr int32_t FE_SETUP_MAP = FE_SETUP_TABLE_MAP;

// Run-time commands, front end to engine.
inline constexpr int32_t FE_CMD_STOP = 0;
inline constexpr int32_t FE_CMD_STEPS = 1;
inline constexpr int32_t FE_CMD_TRACE_ADD = 2;
inline constexpr int32_t FE_CMD_TRACE_REMOVE = 3;
inline constexpr int32_t FE_CMD_SET_VAR = 4;
inline constexpr int32_t FE_CMD_PRINT_STEP = 5;
inline constexpr int32_t FE_CMD_QUERY = 6;
inline constexpr int32_t FE_CMD_BUTTON = 7;
inline constexpr int32_t FE_CMD_METERS = 8;
inline constexpr int32_t FE_CMD_SNAPSHOT = 15;
inline constexpr int32_t FE_CMD_TXARRAY = 21;
inline constexpr int32_t FE_CMD_END_ANSWER = 22;
inline constexpr int32_t FE_CMD_LAST_RUN = 23;
inline constexpr int32_t FE_CMD_ENI_PORTS = 25;
inline constexpr int32_t FE_CMD_PAUSE = 28;
inline constexpr int32_t FE_CMD_STOP_RUN = 29;
inline constexpr int32_t FE_CMD_OUTPUT_NOW = 31;

// Engine records, engine to front end.
inline constexpr int32_t FE_MSG_END_OF_RUN = 0;
inline constexpr int32_t FE_MSG_TRACE = 1;
inline constexpr int32_t FE_MSG_RUNSTART = 2;
inline constexpr int32_t FE_MSG_PROGRESS = 3;
inline constexpr int32_t FE_MSG_TIME = 4;
inline constexpr int32_t FE_MSG_CATALOG = 5;
inline constexpr int32_t FE_MSG_VALUES = 6;
inline constexpr int32_t FE_MSG_TRACE_ADDED = 7;
inline constexpr int32_t FE_MSG_TRACE_REMOVED = 8;
inline constexpr int32_t FE_MSG_VAR_SET = 9;
inline constexpr int32_t FE_MSG_ABORT = 10;
inline constexpr int32_t FE_MSG_PANEL_REAL = 11;
inline constexpr int32_t FE_MSG_PANEL_INT = 12;
inline constexpr int32_t FE_MSG_PANEL_TEXT = 13;
inline constexpr int32_t FE_MSG_USER = 14;
inline constexpr int32_t FE_MSG_METERS = 15;
inline constexpr int32_t FE_MSG_METERS3 = 16;
inline constexpr int32_t FE_MSG_SNAPSTART = 17;
inline constexpr int32_t FE_MSG_ENI_LINES = 19;
inline constexpr int32_t FE_MSG_PRINT_STEP = 20;

// Closing exchange, both ways.
inline constexpr int32_t FE_SHUTDOWN = -999;

// ENI line records between two engine processes.
inline constexpr int32_t ENI_CONDUCTANCE = 71;  // server to client
inline constexpr int32_t ENI_CLIENT_STEP = 72;  // client to server
inline constexpr int32_t ENI_SERVER_STEP = 73;  // server to client
inline constexpr int32_t ENI_HANDSHAKE = 74;    // client to server
