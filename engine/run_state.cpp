#include "engine/run_state.h"

#include "engine/pointer_block.h"

RunClock RUN_CLOCK;
RunFlags RUN_FLAGS;
RunSequence RUN_SEQ;
RunSetup RUN_SETUP;
ConsoleUnitNumbers CONSOLE_UNITS;
CurrentIds CURRENT_IDS;
TimeBlock START_TIME_BLOCK;
PointerBlock POINTER_BLOCK;

void reset_run_state() {
    RUN_CLOCK = {};
    RUN_FLAGS = {};
    RUN_SEQ = {};
    RUN_SETUP = {};
    CONSOLE_UNITS = {};
    CURRENT_IDS = {};
    START_TIME_BLOCK = {};
    POINTER_BLOCK = {};
}
