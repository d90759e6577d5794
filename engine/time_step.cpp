#include "engine/time_step.h"

#include "case/station.h"
#include "controls/meters.h"
#include "engine/pointer_block.h"
#include "engine/pointer_checks.h"
#include "engine/run_state.h"
#include "engine/solution_arrays.h"
#include "engine/storage.h"
#include "link/eni.h"
#include "models/setup_guard.h"
#include "network/dimensions.h"
#include "network/network_tables.h"
#include "network/solve_network.h"
#include "snapshot/run_output.h"

namespace {

void clear_norton_injections() {
    for (int32_t s = 1; s <= DIMBLOCK.NSUBSYS; ++s) {
        for (int32_t k = 1; k <= NET.NNORTON(s); ++k) {
            const int32_t b = NET.NORBUS(k, s);
            NET.GNOR(b, s) = 0.0;
            NET.CNOR(b, s) = 0.0;
        }
    }
}

void reset_branch_pointers() {
    for (int32_t s = 1; s <= DIMBLOCK.NSUBSYS; ++s) STORAGE.NBRCH(s) = 0;
}

}  // namespace

void RESETPTRS() {
    PointerBlock& p = POINTER_BLOCK;
    p.NSTOL = p.NSTOI = p.NSTOF = p.NSTOC = p.NVAR = 0;
    p.NPGB = p.NNODE = p.NSUBS = p.NTXFR = p.NMAIN = p.NXFMR = 0;
    p.NCXMAP = 0;
    p.NINST = 1;
    p.NEXC = 0;
    p.NSTORL = p.NSTORI = p.NSTORF = p.NSTORC = p.saved_stori = 1;
    p.NRTCL = p.NRTCI = p.NRTCF = p.NRTCC = 1;
    p.NSTXFRL = p.NSTXFRI = p.NSTXFRF = p.NSTXFRC = 1;
    reset_branch_pointers();
    clear_norton_injections();
}

void RESETPTRS_OUT() {
    PointerBlock& p = POINTER_BLOCK;
    p.NPGB = p.NNODE = p.NSUBS = p.NTXFR = p.NMAIN = p.NXFMR = 0;
    p.NINST = 1;
    p.NSTXFRL = p.NSTXFRI = p.NSTXFRF = p.NSTXFRC = 1;
    reset_branch_pointers();
}

void SSINIT() {
    for (int32_t s = 1; s <= DIMBLOCK.NSUBSYS; ++s) {
        const int32_t n = NET.NBUSES(s);
        if (n <= 0) continue;
        const SsView<double> g = SSDESC_RA(s);
        // The ground conductances on the diagonal become the full column sums.
        for (int32_t i = 1; i <= n; ++i) {
            NET.GM_DIAG0(i, s) = g(i, i);
            double sum = 0.0;
            for (int32_t j = 1; j <= n; ++j) sum += g(j, i);
            g(i, i) = sum;
        }
    }
    SETUP_GUARD.diagonals_summed = true;
}

void TIMESTEP() {
    RESETPTRS();
    RUN_FLAGS.IN_STEP = LTRUE;
    Station_DSD();
    CHKTXFRS();
    RUN_SEQ.LAST_RUN = as_logical(RUN_SEQ.IRUN == RUN_SEQ.NRUNS);
    if (DIMBLOCK.NSUBSYS >= 1) {
        if (is_true(RUN_FLAGS.FIRST_STEP_RUN)) ENI_INIT();
        if (is_true(RUN_FLAGS.FIRST_STEP_DATA)) SSINIT();
        SOLVE_NETWORK();
    }
    RUN_FLAGS.IN_STEP = LTRUE;
    if (is_true(RUN_SETUP.output_files) && (is_true(RUN_SEQ.LAST_RUN) || RUN_OUTPUT.mpgbs_count > 0) &&
        RUN_OUTPUT.OUTPUT_UNIT_BASE == 0)
        OUTPUTFILE(1);
    RESETPTRS_OUT();
    Station_DSO();
    if (is_true(RUN_FLAGS.FIRST_STEP_RUN)) CHKSTOR();
    CHKNEXC();
    CHKNRTC();
    CHKTXFRS();
    if (is_true(RUN_SEQ.CONNECTED)) UPDATE_METERS();
}

void GET_STORPOS(int32_t& a, int32_t& b, int32_t& c, int32_t& d) {
    const int32_t p = POINTER_BLOCK.saved_stori;
    b = STORAGE.STORI(p + 1);
    d = STORAGE.STORI(p + 2);
    a = STORAGE.STORI(p + 3);
    POINTER_BLOCK.NSTORI = p + 4;
    c = p + 4;
}

void ADV_STORPTRS(int32_t nc, int32_t nf, int32_t ni, int32_t nl) {
    PointerBlock& p = POINTER_BLOCK;
    p.NSTORC += nc;
    p.NSTORF += nf;
    p.NSTORI += ni;
    p.saved_stori = p.NSTORI;
    p.NSTORL += nl;
}
