// Ideal branches entered into the solution tests' tables as the branch
// reader enters them: a branch of letter A (no EMF), or a branch of letter
// E alone (an ideal source), with no conductance and nothing in GM.
#pragma once

#include "network/tests/solution_circuit.h"

inline int32_t ideal_branch(int32_t from, int32_t to, double E = 0.0) {
    NetworkTables& N = NET;
    const int32_t ss = 1, b = ++N.NBRANCHES(ss);
    N.IEF(b, ss) = from;
    N.IET(b, ss) = to;
    N.IDEALBR(b, ss) = LTRUE;
    N.IDEALSS(ss) = LTRUE;
    N.SOURCE(b, ss) = as_logical(E != 0.0);
    N.EBR(b, ss) = N.EBRD(b, ss) = N.EON(b, ss) = N.EOFF(b, ss) = E;
    N.TSWITCH(b, ss) = 1.5;
    if (from != 0 && to != 0) {
        const SsView<int8_t> pat = SSDESC_IA(ss);
        pat(from, to) = pat(to, from) = -1;
    }
    return b;
}
