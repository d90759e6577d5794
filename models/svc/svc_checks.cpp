#include "models/svc/svc_checks.h"

#include "engine/abort.h"
#include "engine/run_state.h"

void SvcChecks::refuse(bool bad, const char* text) {
    if (!bad) return;
    USERMSG(CURRENT_IDS.id1, CURRENT_IDS.id2, 2, 1, text);
    failed = true;
}

void SvcChecks::stop_if_failed(const Text12& name) const {
    if (failed) ABORT_RUN(name, 0);
}

bool svc_positive(std::initializer_list<double> values) {
    for (double v : values)
        if (!(v > 0.0)) return false;
    return true;
}

void svc_leakage_unrealisable(const Text12& name) {
    USERMSG(CURRENT_IDS.id1, CURRENT_IDS.id2, 2, 1, "Unrealisable Transformer Leakage Values");
    ABORT_RUN(name, 0);
}
