// Seam: the run-time command dispatcher comes with the front-end commands.
#include "link/run_commands.h"

void POLL_MESSAGES(int32_t& granted_steps, int32_t& result) {
    granted_steps = 1;
    result = 2;
}
void CLEAR_TRACE() {}
void RELEASE_BUTTONS() {}
void clear_pending_buttons() {}
void SEND_TRACE() {}
void SEND_PROGRESS(int32_t /*mode*/) {}
void SEND_METERS() {}
void SEND_END_OF_RUN() {}
