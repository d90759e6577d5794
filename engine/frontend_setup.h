// The run set-up of an engine started by the front end: the settings'
// defaults, the set-up records up to the end record, and the check of the
// start file.
#pragma once

#include <cstdint>

// Where the next meter records of the set-up are stored. Kept for the
// whole process; a table-size record starts them again with its tables.
struct OnlineSetup {
    int32_t row_count = 0;      // single-meter rows stored so far
    int32_t meter3_number = 1;  // position of the next three-phase meter
};

extern OnlineSetup ONLINE_SETUP;

// Once per process, before the first run, with the front end connected.
// A link that ends before the end record stops the run (ABORT_RUN "DATA").
void DATA();

// The records with tables, each called with the frame positioned behind
// its code. A record the tables cannot take is dropped with a warning.
void SETUP_TABLE_SIZES();
void SETUP_TABLE_ROW();
void SETUP_TABLE_MAP();
void SETUP_ARRAY();

// Gives a set-up snapshot "at one time step" its time (and interval) once
// the run's time step DELT is known; nothing to do otherwise. Called when
// the run is initialised, after the time step is saved.
void SETTLE_SETUP_SNAPSHOT();
