// The ways a run ends abnormally. Each is thrown where the fault is found
// and caught only by the start-up routines, which turn it into the exit
// status; nothing inside the engine catches them.
#pragma once

#include <cstdint>
#include <stdexcept>

struct EngineStop : std::runtime_error {
    int32_t status;
    EngineStop(const char* what, int32_t st) : std::runtime_error(what), status(st) {}
};

// A standalone ABORT_RUN after its report: storage freed, status 2000.
struct StandaloneAbort : EngineStop {
    StandaloneAbort() : EngineStop("standalone abort", 2000) {}
};

// A fatal catalogue message of the data-error group: status 2000 + n.
struct FatalCatalogMessage : EngineStop {
    explicit FatalCatalogMessage(int32_t number) : EngineStop("fatal catalogue message", 2000 + number) {}
};

// The front end went away during a run: status 1, as for a connection that
// could not be made.
struct FrontEndLost : EngineStop {
    FrontEndLost() : EngineStop("front end lost", 1) {}
};

// Process exit code for a status: its low 8 bits, 255 where those are 0
// for a non-zero status.
inline int exit_code_for_status(int32_t status) {
    if (status == 0) return 0;
    const int low = status & 0xFF;
    return low == 0 ? 255 : low;
}
