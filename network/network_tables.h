// The node, branch and subsystem tables of the network solution. They are
// created with the other storage arrays (engine/storage.cpp), once per
// program, and indexed (node or branch, subsystem) unless said otherwise.
#pragma once

#include <cstdint>

#include "platform/fortran_array.h"
#include "platform/logical.h"

struct NetworkTables {
    // Node data, NODES x SUBSYS.
    FArray2<double> CNOR, GNOR;      // Norton injection and conductance to ground
    FArray2<double> CNORD, GNORD;    // their values at the end of the previous step
    FArray2<double> VNODE;           // node voltages
    FArray2<double> CHIST, CHISTD;   // history-current injections, now and at step start
    FArray2<double> TLINJ, TLINJ_OLD;  // line-end injections, now and at the previous step
    FArray2<Logical> NORMARK;        // node carries Norton data
    FArray2<Logical> VGIVEN;         // node was given an initial voltage
    FArray2<int32_t> NORBUS;         // Norton buses, ascending (index, subsystem)
    FArray2<Logical> SMALLDIAG;      // pivot lost more than 14 digits
    FArray2<double> GM_DIAG0;        // diagonals of GM before the first step
    FArray1<double> CINJ;            // right-hand side of the present pass (NODES)
    FArray1<double> CINJW;           // its working copy (NODES)
    FArray1<double> VSOL;            // solution of the present pass (NODES)
    FArray1<Logical> NORCHG;         // Norton conductance changed this step (NODES)
    FArray1<double> NODE_WORK;       // node work vector of the solution (NODES)

    // Per subsystem.
    FArray1<int32_t> NBUSES;         // node count
    FArray1<int32_t> NBRANCHES;      // branch count
    FArray1<int32_t> NBRANCHES_SOL;  // branch-count word of the solution passes
    FArray1<int32_t> NNORTON;        // number of Norton buses
    FArray1<int32_t> NSWITCH;        // number of switched branches
    FArray1<int32_t> MXINV;          // start node for triangularisation
    FArray1<int32_t> NTRIANG;        // triangularisations in this run
    FArray1<int32_t> SW_SSWORD;      // per-subsystem word of the switching code
    FArray1<Logical> IDEALSS;        // subsystem has ideal branches
    FArray1<Logical> SSINTERP, SSEXTRAP, SSRMCHAT, SSDETCHAT;  // solution options
    FArray1<Logical> SSCHATTER;      // a chatter-removal half step is due
    FArray1<double> SSCHATLEV;       // chatter level
    FArray1<int32_t> SSMETHOD;       // solution method word, 0 = trapezoidal
    FArray1<double> GIDEAL;          // ideal-branch threshold as a conductance
    FArray1<int32_t> NIDEALA, NIDEAL;  // ideal-branch list counts

    // Triangularisation sparsity lists.
    FArray2<int32_t> LOWCOL, UPCOL;                      // SPARSITY x SUBSYS
    FArray2<int32_t> LOWSTART, LOWEND, UPSTART, UPEND;   // NODES x SUBSYS

    // Chatter counters and report flags.
    FArray2<int32_t> CHATCNTV, CHATCNTI;   // NODES x SUBSYS, BRANCHES x SUBSYS
    FArray2<Logical> CHATMSGV, CHATMSGI;

    // Branch tables, BRANCHES x SUBSYS.
    FArray2<double> CBR, CCBR, CCBRD, EBR, EBRD, EON, EOFF, SWVAL, GEQ, GON, GOFF, GEQD;
    FArray2<Logical> FLIPIDLBR;
    FArray2<double> RLG, RCG, RCL, RSC, RSL, CCL, CCLD, CCC, CCCD, G2L, G2C, V12L, V20L;
    FArray2<int32_t> SWLIST, IET, IEF, THISBR;
    FArray2<Logical> RESISTOR, INDUCTOR, CAPACITR, SOURCE, SWITCH, IDEALBR, OPENBR, DEFRDBR;
    FArray2<double> BRANCH_R, BRANCH_L, BRANCH_C;
    FArray2<int32_t> IORV;           // switch state code
    FArray2<double> TSWITCH;         // next switching instant, 1.5 = none
    FArray2<double> SW_VALUE2;       // second double table of the switching code
    FArray1<Logical> BRCHG;          // conductance changed since the last step (BRANCHES)

    // Ideal-branch tables.
    FArray2<int32_t> IDLIST;         // ideal-branch list (BRANCHES x SUBSYS)
    FArray2<int32_t> IDNODES;        // node pair per list entry (BRANCHES x 2)
    FArray1<int32_t> SCT_BRANCH;     // short-circuit test work lists (BRANCHES)
    FArray1<Logical> SCT_SOURCE;
    FArray2<int32_t> SCT_NODES;      // (BRANCHES x 2)
    FArray1<Logical> IDLNODE;        // row holds an ideal-branch constraint (NODES)

    // Work over the branches of the subsystem being solved (BRANCHES).
    FArray1<double> CBRT;            // branch currents of the present pass
    FArray1<double> BRANCH_WORK;     // branch work vector of the solution
    FArray1<int32_t> SWCOUNT;        // switchings in this step
    FArray1<Logical> SWPEND;         // may still switch in this step

    // The solution's own words (network/solve_network.cpp).
    double TIME_SOL = 0.0;           // solution instant of the present pass
    int32_t SRC_POS = 0;             // record position of the source VSRC_EVAL evaluates

    // The switch processing's count of the switching instants of one
    // subsystem step (network/switch_processing.cpp), and the step
    // (run, step counter, subsystem) it belongs to.
    int64_t SW_INSTANTS = 0;
    int32_t SW_RUN = 0, SW_STEP = 0, SW_SUBSYS = 0;
};

extern NetworkTables NET;
