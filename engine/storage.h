// The engine-wide storage arrays of the models, the case modules, the
// output channels and the control values, created once per program from
// the dimension block. The network, transformer, line and meter tables
// that are created with them live beside their users:
// NET (network/network_tables.h), XFMR_TABLES (models/xfmr_tables.h),
// LINE_TABLES (lines/line_tables.h), METER_TABLES (controls/meter_tables.h).
#pragma once

#include <complex>
#include <cstdint>

#include "engine/memory_budget.h"
#include "platform/fixed_text.h"
#include "platform/fortran_array.h"
#include "platform/logical.h"

struct StorageArrays {
    bool created = false;  // the thirteen groups exist

    // Model storage.
    FArray1<double> STOR;
    FArray1<Logical> STORL;
    FArray1<int32_t> STORI;
    FArray1<double> STORF;
    FArray1<std::complex<double>> STORC;
    // Run-time constants.
    FArray1<Logical> RTCL;
    FArray1<int32_t> RTCI;
    FArray1<double> RTCF;
    FArray1<std::complex<double>> RTCC;
    // Transfer storage.
    FArray1<Logical> STXFRL;
    FArray1<int32_t> STXFRI;
    FArray1<double> STXFRF;
    FArray1<std::complex<double>> STXFRC;
    // Module storage.
    FArray1<Logical> STOL;
    FArray1<int32_t> STOI;
    FArray1<double> STOF;
    FArray1<std::complex<double>> STOC;
    FArray1<double> VAR;
    FArray1<double> CON;
    // Output channels.
    FArray1<double> PGB;
    FArray1<int32_t> MPGBS;       // multiple-run channel list
    FArray1<Text200> PGBNAME;
    // Module tables.
    FArray1<int32_t> NBRCH;       // branch pointer per subsystem
    FArray1<int32_t> NODE;        // page node map (NNODES)
    FArray1<int32_t> NODE_SUBSYS; // page node-to-subsystem list (NNODES)
    FArray1<int32_t> SUBS;        // local subsystem numbers (SUBSYSPAGE)
    FArray2<int32_t> TXFR;        // module table (NPAGES, 4)
    // Control values.
    FArray1<double> CX;
    FArray1<int32_t> CXMAP;
    FArray1<double> DX_ARRAY;     // values delivered at set-up
    FArray1<double> TX;           // values returned at the end of a run
    FArray1<int32_t> TXRX;        // radio-link table
};

extern StorageArrays STORAGE;

// Derives the available sizes and creates the thirteen groups. status is 0,
// or 1 when memory cannot be had for them or they pass the case's bound.
void ALLOC_STORAGE(int32_t& status);
// Derives the available sizes as ALLOC_STORAGE does and gives the bytes of
// the groups they make; false when a size does not fit 32 bits.
bool planned_storage_bytes(ByteCount& bytes);
// The bytes of the groups at the present available sizes.
ByteCount storage_bytes();
// Records the five online-table counts and creates the meter tables.
void ALLOC_ONLINE(int32_t n1, int32_t n2, int32_t n3, int32_t n4, int32_t n5);
// Re-creates the output-channel values with n entries; the name list and
// the multiple-run list grow with them when n is beyond their size.
void REALLOC_PGBLIST(int32_t n);
void CLEAR_STORAGE();
void FREE_STORAGE();
void FREE_ONLINE();
