// The front end's run-time commands and the records the run sends it.
#pragma once

#include <array>
#include <cstdint>

#include "platform/logical.h"

inline constexpr int32_t BUTTON_QUEUE_SIZE = 100;

// What the dispatcher keeps for the whole process: the push-button
// changes waiting to be undone, the step of the next progress record and
// the wall-clock mark of WALLCLOCK_CHECK.
struct RunCommandState {
    int32_t button_count = 0;
    std::array<int32_t, BUTTON_QUEUE_SIZE> button_index{};
    std::array<double, BUTTON_QUEUE_SIZE> button_saved{};  // CX before the press
    int32_t progress_mark = 0;
    double wallclock_saved = 0.0;
};

extern RunCommandState RUN_COMMANDS;

// Reads and carries out the waiting commands; waits for them while no
// steps are granted. result: 0, 1 after a stop, 2 after the end-of-run
// answer, which is left in the frame. A front end that has gone ends the
// run with FrontEndLost.
void POLL_MESSAGES(int32_t& granted_steps, int32_t& result);

// Control values: a bad index ends the run before the value is read.
void SET_VAR(int32_t index);
void SET_BUTTON(int32_t index);
void RELEASE_BUTTONS();
// Empties the queue of pending push-button changes at the start of a run.
void clear_pending_buttons();
void GET_TXARRAY();

void SET_PRINT_STEP(double print_step);
void SEND_TIME();
void SEND_PROGRESS(int32_t mode);
void SEND_METERS();
void SEND_END_OF_RUN();

// Wall-clock pacing test; nothing in the engine calls it.
Logical WALLCLOCK_CHECK(double interval);

// The trace list (link/trace.cpp).
void CLEAR_TRACE();
void SEND_TRACE();
