#include "models/branch_changes.h"

#include <string>

#include "engine/abort.h"
#include "engine/model_helpers.h"
#include "engine/run_state.h"
#include "network/network_tables.h"
#include "network/varbranch.h"

BranchChangeList BRCHANGE_LIST;

void clear_branch_changes() { BRCHANGE_LIST.count = 0; }

int32_t BRCHANGE_APPEND(const Text12& caller) {
    BranchChangeList& list = BRCHANGE_LIST;
    if (list.count < 0) list.count = 0;  // a count below 0 holds no rows
    if (list.count >= BRCHANGE_MAX) {
        USERMSG(CURRENT_IDS.id1, CURRENT_IDS.id2, 2, 2,
                "The list of branch changes is full: it holds " + std::to_string(BRCHANGE_MAX) + " entries.");
        USERMSG(CURRENT_IDS.id1, CURRENT_IDS.id2, 2, -1, "Fewer branches can be changed by models in one case.");
        ABORT_RUN(caller, 0);
    }
    return ++list.count;
}

void BRCHANGE_RETYPED(const Text12& caller, int32_t ss, int32_t br) {
    const int32_t row = BRCHANGE_APPEND(caller);
    BranchChangeList& list = BRCHANGE_LIST;
    list.icol(1, row) = BRCHANGE_RETYPED_KIND;
    list.icol(2, row) = br;
    list.icol(3, row) = 0;
    list.icol(8, row) = ss;
}

void BRCHANGE(int32_t ss, int32_t br, double R, double C) {
    if (!is_true(RUN_FLAGS.FIRST_STEP_DATA)) return;
    const Text12 name("BRCHANGE");
    CHKBRANCH(name, br, ss);
    NetworkTables& N = NET;
    if (R > 0.0) {
        const bool capacitor = C >= 1e-12;
        const double xc = capacitor ? 500000.0 * RUN_CLOCK.DELT / C : 0.0;
        const double g = 1.0 / (R + xc);
        if (capacitor) {
            N.G2C(br, ss) = 1.0 / xc;
            N.RCG(br, ss) = g * xc;
            N.RSL(br, ss) = R * xc * g;
            N.BRANCH_C(br, ss) = C * 1e-6;
        }
        N.CAPACITR(br, ss) = as_logical(capacitor);
        N.GEQ(br, ss) = N.GEQD(br, ss) = N.GON(br, ss) = N.GOFF(br, ss) = g;
        N.RESISTOR(br, ss) = LTRUE;
        N.INDUCTOR(br, ss) = LFALSE;
        N.BRANCH_R(br, ss) = R;
    } else {
        N.DEFRDBR(br, ss) = LTRUE;
        N.GEQ(br, ss) = 0.0;
    }
    WARN_UNSWITCHED(ss, br);
    BRCHANGE_RETYPED(name, ss, br);
}

namespace {

void conductance_branch(int32_t ss, int32_t br, double R, bool warn) {
    const Text12 name("BRCOND");
    CHKBRANCH(name, br, ss);
    NetworkTables& N = NET;
    N.GEQ(br, ss) = R > 0.0 ? 1.0 / R : 0.0;
    N.RESISTOR(br, ss) = LTRUE;
    N.BRANCH_R(br, ss) = 1.0;
    N.DEFRDBR(br, ss) = LTRUE;
    if (warn) WARN_UNSWITCHED(ss, br);
    BRCHANGE_RETYPED(name, ss, br);
}

}  // namespace

void BRCOND(int32_t ss, int32_t br, double R) { conductance_branch(ss, br, R, true); }

void BRCOND_CARRIED(int32_t ss, int32_t br, double R) { conductance_branch(ss, br, R, false); }
