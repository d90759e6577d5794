// The tables of the transmission lines and cables and of the ENI line
// ends. Created with the other storage arrays (engine/storage.cpp) from the
// line part of the dimension block. Families: modal lines (TLM_*, shared by
// constant-parameter and "FRE-DEP" lines), all lines (TLINE_REC, TLGMAT,
// TLCUR, TLNAME), phase-domain lines (PH_*), "MFDTD" lines (TLD_*) and the
// ENI line ends (ENI_*).
#pragma once

#include <complex>
#include <cstdint>

#include "platform/fixed_text.h"
#include "platform/fortran_array.h"
#include "platform/logical.h"

// The line counters that restart at 0 with every run, beside the five
// counts of lines/lines.h.
struct LineRunCounters {
    int32_t NTLINES = 0;        // rows filled by the line set-up
    int32_t NTLSHORT = 0;       // modes still to be found too short
    Logical TLSHORTSTOP = LFALSE;
    int32_t TL_BUFTOTAL = 0;    // travelling-wave buffer slots handed out
    int32_t TL_MODEOFS = 0;     // running modal conductor offset
    int32_t TL_YCPOLES = 0;     // characteristic-admittance poles of the modal lines
    int32_t TL_PPOLES = 0;      // propagation poles of the modal lines
    int32_t TL_TRANSOFS = 0;    // running transformation offset
    int32_t TL_PHCOND = 0;      // running phase-domain conductor offset
    int32_t TL_PHRY = 0, TL_PHH0 = 0, TL_PHRH = 0, TL_PHSH = 0, TL_PHWB = 0;  // its running lists
    int32_t TL_MFDCOND = 0;     // running "MFDTD" conductor offset
    int32_t TL_ENISRV_RUN = 0;  // ENI server lines numbered so far
    int32_t TL_ENICLI_RUN = 0;  // ENI client lines numbered so far
    int32_t TL_SECTIONS = 0;    // "TLINES:" sections read
    int32_t TL_GSECTIONS = 0;   // "GLOBAL_TLINES:" sections read
};

struct LineTables {
    LineRunCounters counters;

    // Modal lines: per mode (NUMMODES).
    FArray1<double> TLM_FRAC, TLM_YLOSS, TLM_IH1, TLM_IH2, TLM_S1, TLM_S2, TLM_V1, TLM_V2, TLM_PROPK;
    FArray2<double> TLM_HCOEF, TLM_KCOEF;              // (NUMMODES, 2)
    FArray1<double> TLM_BUFW1, TLM_BUFW2, TLM_BUFE1, TLM_BUFE2;  // (TRAVWAVES)
    FArray1<double> TI;                                // (TRANSFORMS)
    FArray1<double> TLM_TPOLE1, TLM_TPOLE2, TLM_TPOLE3, TLM_TPOLE4, TLM_TPOLE5, TLM_TPOLE6,
        TLM_TPOLE7;                                    // transformation-function poles (TRANSPOLES)
    FArray2<double> TLM_WORK1, TLM_WORK2;              // (MAXMODES, MAXMODES)
    FArray1<double> TLM_PWORK1, TLM_PWORK2, TLM_PWORK3;  // pole work (MAXPOLES)
    FArray1<std::complex<double>> TLM_PC, TLM_PB1, TLM_PB2, TLM_PS1, TLM_PS2;        // (ATTPOLES)
    FArray1<std::complex<double>> TLM_YC_COEF, TLM_YC_EXP, TLM_SR1, TLM_SR2;         // (SURGEPOLES)
    FArray1<double> TLM_FILTER;                        // (TLINES)
    FArray2<double> TLM_LOSSF;                         // (2, TLINES)
    FArray1<int32_t> TLM_NPTRANS;                      // (TRANSFORMS)
    FArray1<int32_t> TLM_DELAY, TLM_BUFPOS, TLM_NPPROP, TLM_NPSURGE, TLM_NODE1, TLM_NODE2;  // (NUMMODES)
    FArray1<int32_t> TLM_SS1, TLM_SS2, TLM_NCOND, TLM_KIND;           // (TLINES)
    FArray1<Logical> TLM_INFLENGTH;                    // (TLINES)
    FArray1<Text200> TLM_INPUT_NAME;                   // (TLINES)

    // All lines. C = the largest conductor count of any kind.
    FArray2<int32_t> TLINE_REC;                        // (TLINES-TOTAL, 13), slots in lines/line_record.h
    FArray3<double> TLGMAT;                            // (C, C, TLINES-TOTAL)
    FArray3<double> TLCUR;                             // line-end values (C, 2, TLINES-TOTAL)

    // Phase-domain ("FRE-PHASE") lines; M = MAXMODES-PH, P = MAXPOLES-PH, T = TLINES-PH.
    FArray2<int32_t> PH_RIDX;                          // read index per mode (T, M)
    FArray1<int32_t> PH_NCOND, PH_SS1, PH_SS2, PH_NMODES, PH_WIDX, PH_BUFLEN;  // (T)
    FArray2<double> PH_FRAC;                           // (T, M)
    FArray2<double> PH_HS1, PH_HS2, PH_CI1, PH_CI2;    // (M, T)
    FArray3<double> PH_G, PH_XO1, PH_XO2;              // (M, M, T)
    FArray1<double> PH_WB1, PH_WB2;                    // (TRAVWAVES-PH)
    FArray1<double> PH_H0;                             // (PROP-PH)
    FArray1<std::complex<double>> PH_RH;                               // (HSERC-PH)
    FArray1<std::complex<double>> PH_RY;                               // (YCSERC-PH)
    FArray1<std::complex<double>> PH_SH1, PH_SH2;                      // (XHK-PH)
    FArray3<std::complex<double>> PH_ALPHA, PH_SY1, PH_SY2, PH_A, PH_B, PH_C;  // (P, M, T)
    FArray2<int32_t> PH_NYPOLE, PH_DELAY, PH_NHPOLE;   // (M, T)
    FArray1<int32_t> PH_NODE1, PH_NODE2;               // (NUMMODES-PH)
    FArray1<Logical> PH_INFLENGTH;                     // (T)
    FArray1<Text200> PH_NAME;                          // (T)

    // "MFDTD" lines; M = MAXMODES-MFDTD, P = MAXPOLES-MFDTD, S = MAXINC-MFDTD, T = TLINES-MFDTD.
    FArray1<int32_t> TLD_SS1, TLD_SS2, TLD_NCOND, TLD_NPOLE, TLD_NSEG;  // (T)
    FArray1<Logical> TLD_INFLENGTH;                    // (T)
    FArray1<Text200> TLD_INPUT_NAME;                   // (T)
    FArray1<int32_t> TLD_NODE1, TLD_NODE2;             // (NUMMODES-MFDTD)
    FArray2<std::complex<double>> TLD_POLE;                            // (P, T)
    FArray4<std::complex<double>> TLD_RES;                             // (M, M, P, T)
    FArray2<double> TLD_CD, TLD_CS;                    // (P, T)
    FArray3<double> TLD_G2, TLD_G3, TLD_IMAT, TLD_IHIST, TLD_VMAT, TLD_VHIST, TLD_EMAT, TLD_EHIST;  // (M, M, T)
    FArray1<double> TLD_DZ;                            // (T)

    // Phase-domain work arrays.
    FArray1<std::complex<double>> PHW_POLE1, PHW_POLE2;                // (MAXPOLES)
    FArray2<std::complex<double>> PHW_C1, PHW_C2, PHW_C3, PHW_C4;      // (M, P)
    FArray3<std::complex<double>> PHW_C5;                              // (M, M, P)
    FArray2<double> PHW_G;                             // (M, M)
    FArray1<double> PHW_V;                             // (M)
    FArray1<int32_t> PHW_I1, PHW_I2;                   // (M)

    // "MFDTD" work arrays (M, M).
    FArray2<double> TLD_WR, TLD_WL, TLD_WG, TLD_WC, TLD_WA;
    FArray2<std::complex<double>> TLD_WCPLX;

    // Line names and ENI line ends.
    FArray1<Text200> TLNAME;                           // (TLINES-TOTAL)
    FArray1<int32_t> ENI_SRV_PORT;                     // (ENI-SERVERS)
    FArray1<Logical> ENI_SRV_DONE;
    FArray2<double> ENI_SRV_V;                         // (C, ENI-SERVERS)
    FArray1<int32_t> ENI_CLI_SS;                       // (ENI-CLIENTS)
    FArray2<int32_t> ENI_CLI_NODES;                    // (C, ENI-CLIENTS)
    FArray1<int32_t> ENI_CLI_PORT;
    FArray1<Logical> ENI_CLI_DONE;
    FArray1<Text72> ENI_HOST;                          // (ENI-SERVERS + ENI-CLIENTS)

    // Phase-domain history.
    FArray3<double> PH_HISTA, PH_HISTB;                // (M, M, T)
    FArray1<double> PH_HVEC1, PH_HVEC2;                // (M)
    FArray2<int32_t> PH_RPIDX;                         // previous read index per mode (M, T)

    // "MFDTD" state.
    FArray3<double> TLD_V, TLD_I0, TLD_I1, TLD_I2, TLD_I3;  // (M, S, T)
    FArray1<double> TLD_WHIST, TLD_WVEC1, TLD_WVEC2, TLD_WVEC3, TLD_WVEC4, TLD_WVEC5, TLD_WVEC6,
        TLD_WVEC7, TLD_WVEC8, TLD_WVEC9, TLD_WVEC10;   // (M)
    FArray2<double> TLD_E1, TLD_E2;                    // (M, T)
    FArray2<std::complex<double>> TLD_WPSI;                            // (M, P)
    FArray4<std::complex<double>> TLD_PSI;                             // (M, S, P, T)
    FArray2<double> TLD_WVNEW;                         // (M, S)

    // Control-signal values carried along the lines: what line ends send
    // and what they receive.
    FArray1<double> TLCS_SEND;                         // (CSCS)
    FArray1<double> TLCS_RECV;                         // (CSCR)
};

extern LineTables LINE_TABLES;
