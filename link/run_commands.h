// The front end's run-time commands and the records the run sends it.
#pragma once

#include <cstdint>

void POLL_MESSAGES(int32_t& granted_steps, int32_t& result);
void CLEAR_TRACE();
void RELEASE_BUTTONS();
// Empties the queue of pending push-button changes at the start of a run.
void clear_pending_buttons();
void SEND_TRACE();
void SEND_PROGRESS(int32_t mode);
void SEND_METERS();
void SEND_END_OF_RUN();
