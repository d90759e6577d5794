// The slots of a row of TLINE_REC and the roles and kinds they hold.
#pragma once

#include <cstdint>

namespace tlrec {

constexpr int KIND = 1;     // model kind, below
constexpr int FAMILY = 2;   // index among the lines of the kind's family
constexpr int OFFSET = 3;   // first conductor's offset in the family's end-node lists
constexpr int ROLE = 4;     // ENI role, below
constexpr int NCOND = 5;    // conductors
constexpr int SEND1 = 6;    // end 1: start of the values sent (count in SEND1 + 1)
constexpr int RECV1 = 8;    // end 1: start of the values received (count in RECV1 + 1)
constexpr int SEND2 = 10;   // end 2: start and count sent
constexpr int RECV2 = 12;   // end 2: start and count received
constexpr int SLOTS = 13;

constexpr int32_t KIND_BERGERON = 0, KIND_FREDEP = 1, KIND_FREPHASE = 2, KIND_MFDTD = 3, KIND_CLIENT = -1;
constexpr int32_t ROLE_LOCAL = 0, ROLE_SERVER = 1, ROLE_CLIENT = 2;

}  // namespace tlrec

// Rows the line update walks: "TLINES-TOTAL", within the table's rows.
int32_t tlines_total();
// Whether every run of control signals that the step moves for a line of
// the role lies in its array: each end's start sent, count sent, start
// received and count received (a local line's ends receive what the other
// sends; an ENI end sends and receives its own).
bool signal_runs_fit(int32_t role, const int32_t (&end1)[4], const int32_t (&end2)[4]);
