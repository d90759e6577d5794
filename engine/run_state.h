// The engine's shared run state: the run clock, the run flags, the run
// sequence, the run settings of the set-up, the console units and the
// component that is speaking. One definition of each, in run_state.cpp.
#pragma once

#include <cstdint>

#include "platform/fixed_text.h"
#include "platform/logical.h"

constexpr double ZARIK_VERSION = 4.6;

// A planned snapshot is taken at the step within this many steps of its time.
constexpr double kSnapWindow = 0.5001;

// Models and case modules only read the clock.
struct RunClock {
    double TIME = 0.0;
    double DELT = 0.0;       // time step the models use, copied every step
    double RUN_DELT = 0.0;   // time step of the run, saved by INITCOM
    double PREV_TIME = 0.0;
    double PRINT_STEP = 0.0;
    double FINTIM = 0.0;
    double SNAP_TIME = 0.0;
    int32_t NSTEP = 0;
    int32_t START_STEP = 0;  // step count of the snapshot a run starts from
    int32_t RUN_STEPS = 0;   // steps of the run after the first
    int32_t LAST_STEP = 0;
};

struct RunFlags {
    Logical FIRST_STEP_DATA = LFALSE;
    Logical FIRST_STEP_RUN = LFALSE;
    Logical FINAL_STEP = LFALSE;
    Logical OUTPUT_STEP = LFALSE;
    Logical IN_STEP = LFALSE;
};

struct RunSequence {
    int32_t NRUNS = 1;
    int32_t IRUN = 1;
    Logical FIRST_RUN = LFALSE;
    Logical LAST_RUN = LFALSE;
    Logical MULTI_RUN = LFALSE;
    Logical OPEN_ENDED = LFALSE;
    Logical CONNECTED = LFALSE;
    FText<4> START_MODE = "DATA";
    FText<32> build_text;
};

// What the set-up (front-end records or console dialogue) decides for the
// whole simulation.
struct RunSetup {
    Text34 start_file = "datafile";        // map file or input snapshot
    Text34 map_file_for_snap;              // named on the snapshot's MAP_UPDATE: line
    Logical relabel_time = LFALSE;         // count times from the snapshot's step
    Logical output_files = LFALSE;
    Text34 output_file = "out";
    Logical snap_planned = LFALSE;
    Text34 snap_file = "snap.snp";
    Text34 snap_request_file = "runtime.snp";
    double snap_interval = 1.0e6;
    Logical snap_incremental = LFALSE;
    // A set-up snapshot "at one time step" (record 15 with time 0) waits
    // for the run's time step: the time, and with a repeating mode the
    // interval, are settled by SETTLE_SETUP_SNAPSHOT.
    Logical snap_time_from_step = LFALSE;
    Logical snap_interval_from_step = LFALSE;
    // The dialogue's snapshot "at the end of the run" waits for the run's
    // last step, settled by SETTLE_DIALOG_SNAPSHOT.
    Logical snap_at_end = LFALSE;
    Logical screen_plot = LFALSE;
    Text34 multirun_file = "mrun";
    int32_t eni_role = 0;                  // 2: an ENI slave
    Logical flag_a = LFALSE;               // progress every step, no panel records
    int32_t flag_b = 0;                    // 1: snapshots on request allowed
    int32_t invalid_answers = 0;           // console dialogue
};

struct ConsoleUnitNumbers {
    int32_t in = 5;
    int32_t out = 6;
};

// The component that is speaking: (module-instance number, component id).
struct CurrentIds {
    int32_t id1 = 0;
    int32_t id2 = 0;
};

// Date and time blocks of the banner and the run summary.
struct TimeBlock {
    int32_t year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};

extern RunClock RUN_CLOCK;
extern RunFlags RUN_FLAGS;
extern RunSequence RUN_SEQ;
extern RunSetup RUN_SETUP;
extern ConsoleUnitNumbers CONSOLE_UNITS;
extern CurrentIds CURRENT_IDS;
extern TimeBlock START_TIME_BLOCK;

// Brings the run state above back to its start values (tests).
void reset_run_state();

// The first step of a run: 0 from data, the snapshot's step + 1 when
// restored.
inline int32_t run_first_step() {
    return RUN_CLOCK.START_STEP > 0 || RUN_SEQ.START_MODE != "DATA" ? RUN_CLOCK.START_STEP + 1 : 0;
}

// Progress counts the steps after the snapshot's (from data, after step 0):
// a restored run takes one step more than its step count, and its last
// step must show 100 %, not 101 %.
inline int64_t run_progress_steps() {
    return int64_t{RUN_CLOCK.RUN_STEPS} + run_first_step() - RUN_CLOCK.START_STEP;
}
