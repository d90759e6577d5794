#include "engine/storage.h"

#include <algorithm>
#include <limits>
#include <new>
#include <stdexcept>

#include "controls/meter_tables.h"
#include "engine/abort.h"
#include "engine/memory_budget.h"
#include "engine/run_state.h"
#include "engine/solution_arrays.h"
#include "lines/line_tables.h"
#include "lines/lines.h"
#include "link/exchange.h"
#include "models/xfmr_tables.h"
#include "network/dimensions.h"
#include "network/input_state.h"
#include "network/network_tables.h"
#include "network/parameters.h"
#include "snapshot/run_output.h"

StorageArrays STORAGE;

namespace {

constexpr int64_t kInt32Max = std::numeric_limits<int32_t>::max();

// An array beyond the machine's memory fails like an allocation that finds
// no memory, before any allocator sees it.
template <class T, int R, class... E>
void create(FArray<T, R>& a, E... extents) {
    if (!fits_in_memory(array_bytes(sizeof(T), {static_cast<int64_t>(extents)...}))) throw std::bad_alloc();
    a.allocate(extents...);
}

enum class PassMode { Measure, Create, Free };

// One pass over the thirteen groups, in their order: adding up their
// bytes, creating them or freeing them.
struct GroupPass {
    PassMode mode;
    mutable ByteCount bytes = 0;
    bool creating() const { return mode == PassMode::Create; }
    template <class T, int R, class... E>
    void operator()(FArray<T, R>& a, E... extents) const {
        if (mode == PassMode::Measure)
            bytes += array_bytes(sizeof(T), {static_cast<int64_t>(extents)...});
        else if (mode == PassMode::Create)
            create(a, extents...);
        else if (a.allocated())
            a.free();
    }
};

int64_t av(int k) { return DIMBLOCK.AVAIL[k]; }

void group1_lines(const GroupPass& z) {
    LineTables& L = LINE_TABLES;
    const int64_t NM = av(ND_NUMMODES), TW = av(ND_TRAVWAVES), TF = av(ND_TRANSFORMS), TP = av(ND_TRANSPOLES);
    const int64_t MM = av(ND_MAXMODES), MP = av(ND_MAXPOLES), AP = av(ND_ATTPOLES), SP = av(ND_SURGEPOLES);
    const int64_t TL = av(ND_TLINES), TT = av(ND_TLINES_TOTAL);
    const int64_t TLP = av(ND_TLINES_PH), NMP = av(ND_NUMMODES_PH), MMP = av(ND_MAXMODES_PH);
    const int64_t TWP = av(ND_TRAVWAVES_PH), PRP = av(ND_PROP_PH), HSP = av(ND_HSERC_PH), YCP = av(ND_YCSERC_PH);
    const int64_t XHP = av(ND_XHK_PH), MPP = av(ND_MAXPOLES_PH);
    const int64_t TLD = av(ND_TLINES_MFDTD), NMD = av(ND_NUMMODES_MFDTD), MMD = av(ND_MAXMODES_MFDTD);
    const int64_t MPD = av(ND_MAXPOLES_MFDTD), MID = av(ND_MAXINC_MFDTD);
    const int64_t ES = av(ND_ENI_SERVERS), EC = av(ND_ENI_CLIENTS);
    // Conductors of a line of any kind.
    const int64_t C = std::max({MM, MMP, MMD});

    // Constant-parameter and modal frequency-dependent lines.
    for (auto* a : {&L.TLM_FRAC, &L.TLM_YLOSS, &L.TLM_IH1, &L.TLM_IH2, &L.TLM_S1, &L.TLM_S2, &L.TLM_V1,
                    &L.TLM_V2, &L.TLM_PROPK})
        z(*a, NM);
    z(L.TLM_HCOEF, NM, 2);
    z(L.TLM_KCOEF, NM, 2);
    for (auto* a : {&L.TLM_BUFW1, &L.TLM_BUFW2, &L.TLM_BUFE1, &L.TLM_BUFE2}) z(*a, TW);
    z(L.TI, TF);
    for (auto* a : {&L.TLM_TPOLE1, &L.TLM_TPOLE2, &L.TLM_TPOLE3, &L.TLM_TPOLE4, &L.TLM_TPOLE5, &L.TLM_TPOLE6,
                    &L.TLM_TPOLE7})
        z(*a, TP);
    z(L.TLM_WORK1, MM, MM);
    z(L.TLM_WORK2, MM, MM);
    for (auto* a : {&L.TLM_PWORK1, &L.TLM_PWORK2, &L.TLM_PWORK3}) z(*a, MP);
    for (auto* a : {&L.TLM_PC, &L.TLM_PB1, &L.TLM_PB2, &L.TLM_PS1, &L.TLM_PS2}) z(*a, AP);
    for (auto* a : {&L.TLM_YC_COEF, &L.TLM_YC_EXP, &L.TLM_SR1, &L.TLM_SR2}) z(*a, SP);
    z(L.TLM_FILTER, TL);
    z(L.TLM_LOSSF, 2, TL);
    z(L.TLM_NPTRANS, TF);
    for (auto* a : {&L.TLM_DELAY, &L.TLM_BUFPOS, &L.TLM_NPPROP, &L.TLM_NPSURGE, &L.TLM_NODE1, &L.TLM_NODE2})
        z(*a, NM);
    for (auto* a : {&L.TLM_SS1, &L.TLM_SS2, &L.TLM_NCOND, &L.TLM_KIND}) z(*a, TL);
    z(L.TLM_INFLENGTH, TL);
    z(L.TLM_INPUT_NAME, TL);

    // All lines.
    z(L.TLINE_REC, TT, 13);
    z(L.TLGMAT, C, C, TT);

    // Phase-domain lines.
    z(L.PH_RIDX, TLP, MMP);
    for (auto* a : {&L.PH_NCOND, &L.PH_SS1, &L.PH_SS2, &L.PH_NMODES, &L.PH_WIDX, &L.PH_BUFLEN}) z(*a, TLP);
    z(L.PH_FRAC, TLP, MMP);
    for (auto* a : {&L.PH_HS1, &L.PH_HS2, &L.PH_CI1, &L.PH_CI2}) z(*a, MMP, TLP);
    for (auto* a : {&L.PH_G, &L.PH_XO1, &L.PH_XO2}) z(*a, MMP, MMP, TLP);
    z(L.PH_WB1, TWP);
    z(L.PH_WB2, TWP);
    z(L.PH_H0, PRP);
    z(L.PH_RH, HSP);
    z(L.PH_RY, YCP);
    z(L.PH_SH1, XHP);
    z(L.PH_SH2, XHP);
    for (auto* a : {&L.PH_ALPHA, &L.PH_SY1, &L.PH_SY2, &L.PH_A, &L.PH_B, &L.PH_C}) z(*a, MPP, MMP, TLP);
    for (auto* a : {&L.PH_NYPOLE, &L.PH_DELAY, &L.PH_NHPOLE}) z(*a, MMP, TLP);
    z(L.PH_NODE1, NMP);
    z(L.PH_NODE2, NMP);
    z(L.PH_INFLENGTH, TLP);
    z(L.PH_NAME, TLP);

    // "MFDTD" lines.
    for (auto* a : {&L.TLD_SS1, &L.TLD_SS2, &L.TLD_NCOND, &L.TLD_NPOLE, &L.TLD_NSEG}) z(*a, TLD);
    z(L.TLD_INFLENGTH, TLD);
    z(L.TLD_INPUT_NAME, TLD);
    z(L.TLD_NODE1, NMD);
    z(L.TLD_NODE2, NMD);
    z(L.TLD_POLE, MPD, TLD);
    z(L.TLD_RES, MMD, MMD, MPD, TLD);
    z(L.TLD_CD, MPD, TLD);
    z(L.TLD_CS, MPD, TLD);
    for (auto* a : {&L.TLD_G2, &L.TLD_G3, &L.TLD_IMAT, &L.TLD_IHIST, &L.TLD_VMAT, &L.TLD_VHIST, &L.TLD_EMAT,
                    &L.TLD_EHIST})
        z(*a, MMD, MMD, TLD);
    z(L.TLD_DZ, TLD);

    // Phase-domain work arrays.
    z(L.PHW_POLE1, MP);
    z(L.PHW_POLE2, MP);
    for (auto* a : {&L.PHW_C1, &L.PHW_C2, &L.PHW_C3, &L.PHW_C4}) z(*a, MMP, MPP);
    z(L.PHW_C5, MMP, MMP, MPP);
    z(L.PHW_G, MMP, MMP);
    z(L.PHW_V, MMP);
    z(L.PHW_I1, MMP);
    z(L.PHW_I2, MMP);

    // "MFDTD" work arrays.
    for (auto* a : {&L.TLD_WR, &L.TLD_WL, &L.TLD_WG, &L.TLD_WC, &L.TLD_WA}) z(*a, MMD, MMD);
    z(L.TLD_WCPLX, MMD, MMD);

    // Line names and ENI line ends.
    z(L.TLNAME, TT);
    z(L.ENI_SRV_PORT, ES);
    z(L.ENI_SRV_DONE, ES);
    z(L.ENI_SRV_V, C, ES);
    z(L.ENI_CLI_SS, EC);
    z(L.ENI_CLI_NODES, C, EC);
    z(L.ENI_CLI_PORT, EC);
    z(L.ENI_CLI_DONE, EC);
    z(L.ENI_HOST, ES + EC);

    // Phase-domain history.
    z(L.PH_HISTA, MMP, MMP, TLP);
    z(L.PH_HISTB, MMP, MMP, TLP);
    z(L.PH_HVEC1, MMP);
    z(L.PH_HVEC2, MMP);
    z(L.PH_RPIDX, MMP, TLP);

    // "MFDTD" state.
    for (auto* a : {&L.TLD_V, &L.TLD_I0, &L.TLD_I1, &L.TLD_I2, &L.TLD_I3}) z(*a, MMD, MID, TLD);
    for (auto* a : {&L.TLD_WHIST, &L.TLD_WVEC1, &L.TLD_WVEC2, &L.TLD_WVEC3, &L.TLD_WVEC4, &L.TLD_WVEC5,
                    &L.TLD_WVEC6, &L.TLD_WVEC7, &L.TLD_WVEC8, &L.TLD_WVEC9, &L.TLD_WVEC10})
        z(*a, MMD);
    z(L.TLD_E1, MMD, TLD);
    z(L.TLD_E2, MMD, TLD);
    z(L.TLD_WPSI, MMD, MPD);
    z(L.TLD_PSI, MMD, MID, MPD, TLD);
    z(L.TLD_WVNEW, MMD, MID);
}

void group1(const GroupPass& z) {
    NetworkTables& N = NET;
    StorageArrays& S = STORAGE;
    XfmrTables& X = XFMR_TABLES;
    const int64_t NO = av(ND_NODES), SS = av(ND_SUBSYS), W = av(ND_WINDINGS), T = av(ND_TRAFOS);
    const int64_t C = std::max({av(ND_MAXMODES), av(ND_MAXMODES_PH), av(ND_MAXMODES_MFDTD)});

    for (auto* a : {&N.CNOR, &N.VNODE, &N.CHIST, &N.CHISTD, &N.TLINJ, &N.GNOR}) z(*a, NO, SS);
    z(N.CINJ, NO);
    z(X.XF_CUR, W, T);
    z(X.XF_CURTOT, W, T);
    z(N.NBUSES, SS);
    z(N.IDEALSS, SS);
    z(N.NORMARK, NO, SS);
    z(N.VGIVEN, NO, SS);
    z(LINE_TABLES.TLCUR, C, 2, av(ND_TLINES_TOTAL));
    z(S.STOR, av(ND_STOR));
    z(S.VAR, av(ND_VARS));
    z(S.CON, av(ND_CONS));
    z(S.PGB, av(ND_PGBS));
    z(S.MPGBS, av(ND_PGBS));
    z(S.PGBNAME, av(ND_PGBS));
    z(X.XF_RES, W, W, T);
    z(X.XF_LTERM, W, W, T);
    z(X.XF_HNEW, W, T);
    z(X.XF_HOLD, W, T);
    z(X.XF_ROW, 2 * W);
    z(X.XF_NODE1, W, T);
    z(X.XF_NODE2, W, T);
    z(X.XF_NWDG, T);
    z(X.XF_NSS, SS);
    z(X.SS_XFSEGCHG, SS);
    z(X.XF_KIND, T);
    z(X.XF_GEQ, W, W, T);
    z(X.XF_HIST, W, W, T);
    z(X.XF_SUBSYS, T);
    group1_lines(z);
    z(N.MXINV, SS);
}

void group2(const GroupPass& z) {
    NetworkTables& N = NET;
    const int64_t NO = av(ND_NODES), SS = av(ND_SUBSYS), SP = av(ND_SPARSITY);
    z(N.LOWCOL, SP, SS);
    z(N.LOWSTART, NO, SS);
    z(N.LOWEND, NO, SS);
    z(N.UPCOL, SP, SS);
    z(N.UPSTART, NO, SS);
    z(N.UPEND, NO, SS);
}

void group3(const GroupPass& z) {
    NetworkTables& N = NET;
    const int64_t NO = av(ND_NODES), SS = av(ND_SUBSYS), B = av(ND_BRANCHES);
    z(N.IORV, B, SS);
    z(N.SW_SSWORD, SS);
    z(N.TSWITCH, B, SS);
    z(N.SW_VALUE2, B, SS);
    z(N.NBRANCHES, SS);
    z(N.NBRANCHES_SOL, SS);
    z(N.NNORTON, SS);
    z(N.NTRIANG, SS);
    z(N.NORBUS, NO, SS);
    z(N.SMALLDIAG, NO, SS);
    z(N.SSCHATLEV, SS);
    for (auto* a : {&N.CNORD, &N.GNORD, &N.TLINJ_OLD}) z(*a, NO, SS);
    z(N.NORCHG, NO);
    z(N.SSMETHOD, SS);
    for (auto* a : {&N.SSINTERP, &N.SSEXTRAP, &N.SSRMCHAT, &N.SSDETCHAT}) z(*a, SS);
}

void group4(const GroupPass& z) {
    NetworkTables& N = NET;
    const int64_t NO = av(ND_NODES), SS = av(ND_SUBSYS), B = av(ND_BRANCHES);
    z(N.CHATCNTV, NO, SS);
    z(N.CHATCNTI, B, SS);
    z(N.CHATMSGV, NO, SS);
    z(N.CHATMSGI, B, SS);
}

void group5(const GroupPass& z) {
    NetworkTables& N = NET;
    const int64_t NO = av(ND_NODES), SS = av(ND_SUBSYS), B = av(ND_BRANCHES);
    z(N.GM_DIAG0, NO, SS);
    z(N.GIDEAL, SS);
    z(N.IDNODES, B, 2);
    z(N.IDLIST, B, SS);
    z(N.NIDEALA, SS);
    z(N.NIDEAL, SS);
    z(N.SCT_BRANCH, B);
    z(N.SCT_SOURCE, B);
    z(N.SCT_NODES, B, 2);
}

void group6(const GroupPass& z) {
    z(NET.VSOL, av(ND_NODES));
    z(NET.CBRT, av(ND_BRANCHES));
}

void group7(const GroupPass& z) {
    XfmrTables& X = XFMR_TABLES;
    const int64_t W = av(ND_WINDINGS), T = av(ND_TRAFOS);
    for (auto* a : {&X.XF_CORE1, &X.XF_CORE2, &X.XF_CORE3, &X.XF_CORE4, &X.XF_CORE5, &X.XF_CORE6}) z(*a, T);
    z(X.XF_WDGC1, W, T);
    z(X.XF_CORE7, T);
    z(X.XF_WDGC2, W, T);
    z(X.XF_CORE8, T);
    z(X.XF_IMAG, W, T);
    z(X.XF_IMAGOLD, W, T);
    z(X.XF_BFLUX, 23, T);
    z(X.XF_BFLUXOLD, 23, T);
    z(X.XF_BHX, 10, T);
    z(X.XF_BHY, 10, T);
    z(X.XF_VW, W, T);
    z(X.XF_VWOLD, W, T);
    for (auto* a : {&X.XF_SATON, &X.XF_COREOPT, &X.XF_NBR, &X.XF_CORETYPE}) z(*a, T);
    z(X.XF_SEGST, 23, T);
    z(X.XF_RAMPON, T);
    z(X.XF_RAMP, T);
}

void group8(const GroupPass& z) {
    NetworkTables& N = NET;
    const int64_t SS = av(ND_SUBSYS), B = av(ND_BRANCHES);
    for (auto* a : {&N.CBR, &N.CCBR, &N.CCBRD, &N.EBR, &N.EBRD, &N.EON, &N.EOFF, &N.SWVAL, &N.GEQ, &N.GON, &N.GOFF,
                    &N.GEQD})
        z(*a, B, SS);
    z(N.FLIPIDLBR, B, SS);
    z(N.BRCHG, B);
    for (auto* a : {&N.RLG, &N.RCG, &N.RCL, &N.RSC, &N.RSL, &N.CCL, &N.CCLD, &N.CCC, &N.CCCD, &N.G2L, &N.G2C,
                    &N.V12L, &N.V20L})
        z(*a, B, SS);
    z(N.NSWITCH, SS);
    for (auto* a : {&N.SWLIST, &N.IET, &N.IEF, &N.THISBR}) z(*a, B, SS);
    for (auto* a : {&N.RESISTOR, &N.INDUCTOR, &N.CAPACITR, &N.SOURCE, &N.SWITCH, &N.IDEALBR, &N.OPENBR,
                    &N.DEFRDBR})
        z(*a, B, SS);
    for (auto* a : {&N.BRANCH_R, &N.BRANCH_L, &N.BRANCH_C}) z(*a, B, SS);
}

void group9(const GroupPass& z) {
    StorageArrays& S = STORAGE;
    z(S.NBRCH, av(ND_SUBSYS));
    z(S.NODE, av(ND_NNODES));
    z(S.SUBS, av(ND_SUBSYSPAGE));
    z(S.NODE_SUBSYS, av(ND_NNODES));
    z(S.TXFR, av(ND_NPAGES), 4);
    z(S.STOL, av(ND_STOL));
    z(S.STOI, av(ND_STOI));
    z(S.STOF, av(ND_STOF));
    z(S.STOC, av(ND_STOC));
    z(S.CX, av(ND_CX));
    z(S.CXMAP, av(ND_CXMAP));
    // In a data start the set-up record that delivers it creates it.
    if (z.mode == PassMode::Free || RUN_SEQ.START_MODE == "SNAP") z(S.DX_ARRAY, av(ND_DX));
    z(LINE_TABLES.TLCS_SEND, av(ND_CSCS));
    z(LINE_TABLES.TLCS_RECV, av(ND_CSCR));
}

void group10(const GroupPass& z) {
    StorageArrays& S = STORAGE;
    z(S.STORL, av(ND_STORL));
    z(S.STORI, av(ND_STORI));
    z(S.STORF, av(ND_STORF));
    z(S.STORC, av(ND_STORC));
    z(S.STXFRL, av(ND_STXFRL));
    z(S.STXFRI, av(ND_STXFRI));
    z(S.STXFRF, av(ND_STXFRF));
    z(S.STXFRC, av(ND_STXFRC));
}

void group11(const GroupPass& z) {
    NetworkTables& N = NET;
    XfmrTables& X = XFMR_TABLES;
    const int64_t NO = av(ND_NODES), B = av(ND_BRANCHES), W = av(ND_WINDINGS);
    z(X.XF_WR, W, W);
    z(X.XF_VARWORK, av(ND_VARS));
    z(N.CINJW, NO);
    z(N.BRANCH_WORK, B);
    z(N.NODE_WORK, NO);
    z(N.SWCOUNT, B);
    z(N.SSCHATTER, av(ND_SUBSYS));
    z(N.SWPEND, B);
    if (z.creating()) N.SWPEND.fill(LFALSE);
    z(X.XF_WV, W);
    z(X.XF_WI, W);
    for (auto* a : {&X.XF_WZ, &X.XF_WG, &X.XF_WT1, &X.XF_WT2}) z(*a, W, W);
    z(X.XF_NODEWORK, NO);
    z(N.IDLNODE, NO);
}

void group12(const GroupPass& z) {
    z(STORAGE.TX, av(ND_TX));
    z(STORAGE.TXRX, av(ND_TXRX));
}

void group13(const GroupPass& z) {
    StorageArrays& S = STORAGE;
    const int64_t W = av(ND_WINDINGS);
    z(S.RTCL, av(ND_RTCL));
    z(S.RTCI, av(ND_RTCI));
    z(S.RTCF, av(ND_RTCF));
    z(S.RTCC, av(ND_RTCC));
    z(XFMR_TABLES.XF_RLIN, 2 * W, W);
    z(XFMR_TABLES.XF_UMWDG, W, 2);
    z(XFMR_TABLES.XF_UMCORE, 28);
}

using Group = void (*)(const GroupPass&);
constexpr Group kGroups[] = {group1, group2, group3,  group4,  group5,  group6, group7,
                             group8, group9, group10, group11, group12, group13};

void all_groups(const GroupPass& z) {
    for (const Group g : kGroups) g(z);
}

ByteCount bytes_of(const Group g) {
    const GroupPass measure{PassMode::Measure};
    g(measure);
    return measure.bytes;
}

// Creates the groups in order, each held first against the memory left;
// false, with nothing left created, when one cannot be had. A refusal by
// the case's bound or the memory left names what was asked on a line of
// its own, ahead of the caller's message.
bool create_groups() {
    // The whole first, within the case's bound: a case that cannot be held
    // gets nothing created.
    Shortfall short_of = case_shortfall(0, storage_bytes());
    bool failed = false;
    try {
        for (const Group g : kGroups) {
            if (!short_of) short_of = memory_shortfall(bytes_of(g));
            if (short_of) break;
            g(GroupPass{PassMode::Create});
        }
    } catch (const std::bad_alloc&) {
        failed = true;
    } catch (const std::length_error&) {
        failed = true;
    }
    const bool created = !short_of && !failed;
    if (!created) all_groups(GroupPass{PassMode::Free});
    if (short_of) say_shortfall(short_of, 1);
    return created;
}

bool online_index(int k) { return k == ND_METERS || (k >= ND_METERS3 && k <= ND_METERS3 + 3); }

// The available size of every index from its requirement; false when one
// does not fit a 32-bit word.
bool derive_available_sizes() {
    DimensionBlock& d = DIMBLOCK;
    for (int k = 1; k <= NDIMS; ++k) {
        if (online_index(k)) continue;
        const int64_t req = d.REQ[k];
        int64_t avail = std::max<int64_t>(req, 1);
        if (k == ND_UMEC) avail = std::max<int64_t>(req, 10);
        if (k == ND_PGBS) avail = (avail / 10) * 10 + 10;
        if (avail > kInt32Max) return false;
        d.AVAIL[k] = static_cast<int32_t>(avail);
    }
    return true;
}

// One frame carries each meter list whole: the values of the single meters
// (8 bytes each) and of the three-phase meters (24), and one phase's list
// of a three-phase meter (4 bytes an entry, 8 a pair). A count beyond what
// a frame can hold cannot come from a sound front end.
bool one_frame_holds(int64_t count, int64_t entry_bytes) {
    return count <= (Exchange::MAX_FRAME - 8) / entry_bytes;
}

template <class T>
void resize_keeping(FArray1<T>& a, int64_t n, const T& fresh) {
    FArray1<T> old = std::move(a);
    a = FArray1<T>();
    create(a, n);
    a.fill(fresh);
    const int64_t keep = std::min(n, old.size());
    for (int64_t i = 1; i <= keep; ++i) a(i) = old(i);
}

const Text200& blank_channel_name() {
    static const Text200 name("PGB");
    return name;
}

}  // namespace

bool planned_storage_bytes(ByteCount& bytes) {
    if (!derive_available_sizes()) return false;
    bytes = storage_bytes();
    return true;
}

ByteCount storage_bytes() {
    ByteCount bytes = 0;
    for (const Group g : kGroups) bytes += bytes_of(g);
    return bytes;
}

void ALLOC_STORAGE(int32_t& status) {
    status = 0;
    if (!derive_available_sizes()) {
        status = 1;
        return;
    }
    if (!create_groups()) {
        status = 1;
        return;
    }
    STORAGE.created = true;
}

void ALLOC_ONLINE(int32_t n1, int32_t n2, int32_t n3, int32_t n4, int32_t n5) {
    const int64_t s = std::max(n1, 1), t = std::max(n2, 1);
    const int64_t ca = std::max(n3, 1), cb = std::max(n4, 1), cc = std::max(n5, 1);
    const ByteCount bytes = array_bytes(8 + 4 * 2 + 4 * 3, {s}) +
                            array_bytes(4 + 8 * 3, {t}) + array_bytes(4, {t, 3, ca}) +
                            array_bytes(4, {t, 3, cb, 2}) + array_bytes(4, {t, 3, cc, 2});
    if (!one_frame_holds(s, 8) || !one_frame_holds(t, 24) || !one_frame_holds(ca, 4) ||
        !one_frame_holds(cb, 8) || !one_frame_holds(cc, 8))
        REFUSE_ALLOCATION("ALLOC_ONLINE");
    if (const Shortfall short_of = memory_shortfall(bytes)) REFUSE_ALLOCATION("ALLOC_ONLINE", short_of);
    MeterTables& m = METER_TABLES;
    m.counts = {n1, n2, n3, n4, n5};
    DimensionBlock& d = DIMBLOCK;
    d.REQ[ND_METERS] = n1;
    d.REQ[ND_METERS3] = n2;
    d.REQ[ND_METERS3 + 1] = n3;
    d.REQ[ND_METERS3 + 2] = n4;
    d.REQ[ND_METERS3 + 3] = n5;
    d.AVAIL[ND_METERS] = std::max(n1, 1);
    for (int i = 0; i < 4; ++i) d.AVAIL[ND_METERS3 + i] = std::max(m.counts[i + 1], 1);
    // A second table-size record replaces the tables of the first.
    FREE_ONLINE();
    const int64_t a1 = d.AVAIL[ND_METERS], a2 = d.AVAIL[ND_METERS3], a3 = d.AVAIL[ND_METERS3 + 1];
    const int64_t a4 = d.AVAIL[ND_METERS3 + 2], a5 = d.AVAIL[ND_METERS3 + 3];
    try {
        create(m.METER_VAL, a1);
        create(m.METER_DEF, a1, 2);
        create(m.METER_NODES, a1, 3);
        create(m.METER3_REF, a2);
        create(m.METER3_LIST_A, a2, 3, a3);
        create(m.METER3_LIST_B, a2, 3, a4, 2);
        create(m.METER3_LIST_C, a2, 3, a5, 2);
        create(m.METER3_VAL, a2, 3);
    } catch (const std::bad_alloc&) {
        FREE_ONLINE();
        REFUSE_ALLOCATION("ALLOC_ONLINE");
    } catch (const std::length_error&) {
        FREE_ONLINE();
        REFUSE_ALLOCATION("ALLOC_ONLINE");
    }
}

void REALLOC_PGBLIST(int32_t n) {
    StorageArrays& S = STORAGE;
    const int64_t count = std::max(n, 0);
    // The new lists are held beside the case's arrays, the old ones still among them.
    const bool names_grow = count > S.PGBNAME.size();
    const ByteCount more = array_bytes(sizeof(double) + (names_grow ? sizeof(Text200) + sizeof(int32_t) : 0), {count});
    if (const Shortfall short_of = case_shortfall(storage_bytes() + held_matrix_bytes(), more))
        REFUSE_ALLOCATION("REALLOC_PGBLIST", short_of);
    try {
        resize_keeping(S.PGB, count, 0.0);
        if (names_grow) {
            resize_keeping(S.PGBNAME, count, blank_channel_name());
            resize_keeping(S.MPGBS, count, int32_t{0});
        }
    } catch (const std::bad_alloc&) {
        REFUSE_ALLOCATION("REALLOC_PGBLIST");
    } catch (const std::length_error&) {
        REFUSE_ALLOCATION("REALLOC_PGBLIST");
    }
    if (count > DIMBLOCK.AVAIL[ND_PGBS]) DIMBLOCK.AVAIL[ND_PGBS] = static_cast<int32_t>(count);
}

void CLEAR_STORAGE() {
    StorageArrays& S = STORAGE;
    NetworkTables& N = NET;
    XfmrTables& X = XFMR_TABLES;
    LineTables& L = LINE_TABLES;

    // 1: reporting switches.
    RUN_OUTPUT.mpgbs_count = 0;
    PARAMS.PRINT_DIMENSIONS = LFALSE;
    PARAMS.PRINT_PARAMETERS = LFALSE;
    INPUT.echo = LFALSE;

    // 2 and 3: transformer tables.
    for (auto* a : {&X.XF_CUR, &X.XF_CURTOT, &X.XF_HNEW, &X.XF_HOLD}) a->fill(0.0);
    for (auto* a : {&X.XF_CORE1, &X.XF_CORE2, &X.XF_CORE3, &X.XF_CORE4, &X.XF_CORE5, &X.XF_CORE6, &X.XF_CORE7,
                    &X.XF_CORE8, &X.XF_RAMP})
        a->fill(0.0);
    for (auto* a : {&X.XF_WDGC1, &X.XF_WDGC2, &X.XF_IMAG, &X.XF_IMAGOLD, &X.XF_BFLUX, &X.XF_BFLUXOLD, &X.XF_BHX,
                    &X.XF_BHY, &X.XF_VW, &X.XF_VWOLD})
        a->fill(0.0);
    for (auto* a : {&X.XF_SATON, &X.XF_COREOPT, &X.XF_NBR, &X.XF_CORETYPE, &X.XF_RAMPON, &X.XF_KIND}) a->fill(0);
    X.XF_SEGST.fill(0);

    // 4: line counters and the line tables that the set-up fills again.
    // The ENI counts stay as the dimensioning pass found them: the set-up
    // numbers its ENI entries against them.
    LINE_COUNTS.NTLMODAL = LINE_COUNTS.NTLPHASE = LINE_COUNTS.NTLMFDTD = 0;
    L.counters = {};
    L.TLINE_REC.fill(0);
    L.TLGMAT.fill(0.0);
    for (auto* a : {&L.TLD_SS1, &L.TLD_SS2, &L.TLD_NCOND, &L.TLD_NPOLE, &L.TLD_NSEG, &L.TLD_NODE1, &L.TLD_NODE2})
        a->fill(0);
    L.TLD_INFLENGTH.fill(LFALSE);
    L.TLD_POLE.fill({});
    L.TLD_RES.fill({});
    for (auto* a : {&L.TLD_CD, &L.TLD_CS, &L.TLD_E1, &L.TLD_E2, &L.TLD_WR, &L.TLD_WL, &L.TLD_WG, &L.TLD_WC, &L.TLD_WA,
                    &L.TLD_WVNEW})
        a->fill(0.0);
    for (auto* a : {&L.TLD_G2, &L.TLD_G3, &L.TLD_IMAT, &L.TLD_IHIST, &L.TLD_VMAT, &L.TLD_VHIST, &L.TLD_EMAT,
                    &L.TLD_EHIST, &L.TLD_V, &L.TLD_I0, &L.TLD_I1, &L.TLD_I2, &L.TLD_I3})
        a->fill(0.0);
    for (auto* a : {&L.TLD_DZ, &L.TLD_WHIST, &L.TLD_WVEC1, &L.TLD_WVEC2, &L.TLD_WVEC3, &L.TLD_WVEC4, &L.TLD_WVEC5,
                    &L.TLD_WVEC6, &L.TLD_WVEC7, &L.TLD_WVEC8, &L.TLD_WVEC9, &L.TLD_WVEC10})
        a->fill(0.0);
    L.TLD_WPSI.fill({});
    L.TLD_PSI.fill({});
    L.PH_RIDX.fill(0);
    for (auto* a : {&L.PH_NCOND, &L.PH_SS1, &L.PH_SS2, &L.PH_NMODES, &L.PH_WIDX, &L.PH_BUFLEN}) a->fill(0);
    for (auto* a : {&L.PH_FRAC, &L.PH_HS1, &L.PH_HS2, &L.PH_CI1, &L.PH_CI2}) a->fill(0.0);
    for (auto* a : {&L.PH_G, &L.PH_XO1, &L.PH_XO2}) a->fill(0.0);
    for (auto* a : {&L.PH_WB1, &L.PH_WB2, &L.PH_H0}) a->fill(0.0);
    for (auto* a : {&L.PH_RH, &L.PH_RY, &L.PH_SH1, &L.PH_SH2}) a->fill({});
    for (auto* a : {&L.PH_ALPHA, &L.PH_SY1, &L.PH_SY2, &L.PH_A, &L.PH_B, &L.PH_C}) a->fill({});

    // 5: per-subsystem counts and options.
    for (auto* a : {&N.NBUSES, &N.NNORTON, &N.NBRANCHES, &N.NSWITCH, &X.XF_NSS, &X.SS_XFSEGCHG, &N.NIDEALA,
                    &N.NIDEAL})
        a->fill(0);
    N.IDEALSS.fill(LFALSE);
    N.SSCHATLEV.fill(0.001);
    N.SSMETHOD.fill(0);
    N.GIDEAL.fill(1.0e8);
    for (auto* a : {&N.SSINTERP, &N.SSEXTRAP, &N.SSRMCHAT, &N.SSDETCHAT}) a->fill(LTRUE);

    // 6: node data and branch currents.
    for (auto* a : {&N.VNODE, &N.CBR, &N.CCBR, &N.CCBRD, &N.CNOR, &N.CNORD, &N.GNOR, &N.GNORD, &N.TLINJ, &N.TLINJ_OLD,
                    &N.CHIST, &N.CHISTD, &N.GM_DIAG0})
        a->fill(0.0);
    N.NORMARK.fill(LFALSE);
    N.VGIVEN.fill(LFALSE);
    N.NORCHG.fill(LFALSE);

    // 7: node map and storage.
    for (auto* a : {&S.SUBS, &S.NODE, &S.STORI, &S.STOI, &S.RTCI, &S.CXMAP, &S.STXFRI}) a->fill(0);
    for (auto* a : {&S.STOR, &S.STORF, &S.STOF, &S.RTCF, &S.CX, &S.TX, &S.STXFRF, &L.TLCS_SEND, &L.TLCS_RECV})
        a->fill(0.0);
    for (auto* a : {&S.STORL, &S.STOL, &S.RTCL, &S.STXFRL}) a->fill(LFALSE);
    for (auto* a : {&S.STORC, &S.STOC, &S.RTCC, &S.STXFRC}) a->fill({});

    // 8: VAR carries over from run to run; the channels start afresh, with
    // all their room again after a restore that held them to fewer.
    if (RUN_SEQ.IRUN <= 1) S.VAR.fill(0.0);
    S.PGB.set_extent(S.PGB.size());
    S.PGB.fill(0.0);
    S.PGBNAME.fill(blank_channel_name());
}

void FREE_STORAGE() {
    all_groups(GroupPass{PassMode::Free});
    STORAGE.created = false;
}

void FREE_ONLINE() {
    MeterTables& m = METER_TABLES;
    m.METER_VAL.free();
    m.METER_DEF.free();
    m.METER_NODES.free();
    m.METER3_REF.free();
    m.METER3_LIST_A.free();
    m.METER3_LIST_B.free();
    m.METER3_LIST_C.free();
    m.METER3_VAL.free();
}
