#include "network/tests/hooked_case.h"

#include "case/station.h"
#include "engine/pointer_block.h"

HookedCase HOOKED_CASE;

namespace {

void run(const std::function<void()>& hook) {
    if (hook) hook();
}

}  // namespace

// Without hooks, the pointer discipline of the empty stand-in case.
void Station_DSD() {
    POINTER_BLOCK.NINST += 1;
    POINTER_BLOCK.NTXFR += 1;
    run(HOOKED_CASE.on_dsd);
}

void Station_DSO() {
    POINTER_BLOCK.NINST += 1;
    POINTER_BLOCK.NTXFR += 1;
    run(HOOKED_CASE.on_dso);
}

void Station_DSD_BEGIN() {
    POINTER_BLOCK.NINST += 1;
    run(HOOKED_CASE.on_dsd_begin);
}

void Station_DSO_BEGIN() {
    POINTER_BLOCK.NINST += 1;
    run(HOOKED_CASE.on_dso_begin);
}
