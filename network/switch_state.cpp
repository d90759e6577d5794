#include "network/switch_state.h"

#include <cmath>
#include <string>

#include "engine/abort.h"
#include "engine/model_helpers.h"
#include "network/network_tables.h"
#include "platform/fortran_format.h"

namespace {

void take_state(int32_t s, int32_t b, double g, double e, int32_t code, double value) {
    NetworkTables& N = NET;
    N.GEQ(b, s) = g;
    N.EBR(b, s) = e;
    N.EBRD(b, s) = e;
    N.SOURCE(b, s) = as_logical(std::fabs(e) > 1e-20);
    N.IORV(b, s) = code;
    N.SWVAL(b, s) = value;
}

[[noreturn]] void switch_error(int32_t s, int32_t b, const std::string& second, const Text12& name) {
    USERMSG(0, 0, 2, 2, "OFF resistance of switch in branch " + std::to_string(b) + " of subsystem ");
    USERMSG(0, 0, 2, -1, std::to_string(s) + second);
    ABORT_RUN(name, 0);
}

}  // namespace

void BRANCH_ON(int32_t s, int32_t b, int32_t code, double value) {
    NetworkTables& N = NET;
    N.OPENBR(b, s) = LFALSE;
    take_state(s, b, N.GON(b, s), N.EON(b, s), code, value);
    // A closed state without conductance is solved as an ideal branch; the
    // subsystem must know that it holds one.
    if (N.GON(b, s) == 0.0) {
        N.IDEALBR(b, s) = LTRUE;
        N.IDEALSS(s) = LTRUE;
    }
    SS_MINREQ(s, N.IEF(b, s), N.IET(b, s));
}

void BRANCH_OFF(int32_t s, int32_t b, int32_t code, double value) {
    NetworkTables& N = NET;
    N.OPENBR(b, s) = LTRUE;
    take_state(s, b, N.GOFF(b, s), N.EOFF(b, s), code, value);
    N.IDEALBR(b, s) = LFALSE;
    SS_MINREQ(s, N.IEF(b, s), N.IET(b, s));
}

void SS_MINREQ(int32_t s, int32_t a, int32_t b) {
    int32_t m = a;
    if (a != 0 && b != 0 && b < a) m = b;
    if (a == 0) m = b;
    NET.MXINV(s) = std::min(NET.MXINV(s), m);
}

void CHK_SWITCH_R(int32_t s, int32_t br, double ron, double roff, double von, double voff, const Text12& name) {
    CHKBRANCH(name, br, s);  // a negative branch ends the run here
    const int32_t b = br;
    CHKSWITCH(name, b, s);
    NetworkTables& N = NET;
    if (roff <= ron) switch_error(s, b, " must be larger than the ON resistance.", name);
    const double threshold = 1.0 / N.GIDEAL(s);
    if (roff < threshold) {
        const std::string number = edit("G23.14", threshold);
        switch_error(s, b, " must be larger than the ideal branch threshold " + std::string(trim_right(number)),
                     name);
    }
    N.GOFF(b, s) = 1.0 / roff;
    N.EON(b, s) = -von;
    N.EOFF(b, s) = -voff;
    N.SWVAL(b, s) = 0.0;
    N.TSWITCH(b, s) = 1.5;
    N.IDEALBR(b, s) = LFALSE;
    BRANCH_OFF(s, b, 6, 0.0);
    if (std::fabs(ron) >= threshold) {
        N.GON(b, s) = 1.0 / ron;
    } else {
        N.GON(b, s) = 0.0;
        N.IDEALSS(s) = LTRUE;
    }
    // The branch stays open: its model sets the first state itself.
}
