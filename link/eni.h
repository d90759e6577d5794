// Connections to other engine processes over ENI lines: the line names for
// the front end, the ports it sends, and at the first step of a run the
// links, the conductance hand-over and the check that both processes run
// the same steps.
#pragma once

#include <cstdint>
#include <string>

// How long the start of a run waits for partner processes. A partner that
// never comes ends the run with a message instead of a wait for ever.
struct EniWaits {
    int32_t accept_passes = 600;   // accept passes (10 to 999 ms each) for server lines
    int32_t client_pause_ms = 10;  // between two client passes that connected nothing
    int32_t poll_pause_ms = 1;     // between two receiving passes that got nothing
};

extern EniWaits ENI_WAITS;

// How long one wait for a partner's record watches the sockets before the
// links are looked at again. A silent partner is waited for; a closed one
// ends the run.
struct EniStepWait {
    int32_t socket_wait_ms = 200;
};
extern EniStepWait ENI_STEP_WAIT;

// The trimmed name of a line row, for messages.
std::string eni_line_name(int32_t row);
// Ends the run with one or two error lines from routine.
[[noreturn]] void eni_stop(const char* routine, const std::string& first, const std::string& last = {});
// Ends the run: the partner process of the line's row has gone.
[[noreturn]] void eni_stop_closed(const char* routine, int32_t row);

void ENI_SEND_LINES();
// On FE_CMD_ENI_PORTS, with the frame positioned behind the code.
void REC_ENI_PORT();
void ENI_INIT();
