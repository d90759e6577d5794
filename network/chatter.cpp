#include "network/chatter.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "engine/run_state.h"
#include "network/network_tables.h"
#include "network/solution_columns.h"
#include "network/solution_loops.h"
#include "platform/text_units.h"

bool CHATTER_PRINTING(int32_t mode) {
    return (mode == 1 || mode == 2) && (is_true(RUN_SEQ.CONNECTED) || is_true(RUN_SETUP.screen_plot));
}

void CHATTER_FOUND(int32_t ss, bool nodes, bool printing) {
    NetworkTables& N = NET;
    const int32_t count = nodes ? N.NBUSES(ss) : N.NBRANCHES(ss);
    const Col<int32_t> counter = nodes ? column(N.CHATCNTV, ss) : column(N.CHATCNTI, ss);
    const Col<Logical> unreported = nodes ? column(N.CHATMSGV, ss) : column(N.CHATMSGI, ss);
    int32_t* const c_end = counter.p + count;
    for (int32_t* c = counter.p; c != c_end; ++c) {
        if (!CHATTER_AT(*c)) continue;
        N.SSCHATTER(ss) = LTRUE;
        *c = 0;
        std::fill(c + 1, c_end, 0);
        const int32_t k = static_cast<int32_t>(c - counter.p) + 1;
        if (!printing || !is_true(unreported[k])) return;
        unreported[k] = LFALSE;
        if (nodes)
            write_formatted(UNIT_CONSOLE_OUT, R"(("Voltage chatter:        SS# ", I2, " Node# ", I4))", {ss, k});
        else
            write_formatted(UNIT_CONSOLE_OUT, R"(("Current chatter:        SS# ", I2, "   Br# ", I4))", {ss, k});
        return;
    }
}

void CHATTER_CHK(int32_t ss, int32_t mode) {
    if (mode == 3) return;
    NetworkTables& N = NET;
    const bool nodes = mode == 1;
    const int32_t count = nodes ? N.NBUSES(ss) : N.NBRANCHES(ss);
    if (count <= 0) return;
    const Col<double> old_v = nodes ? column(N.VNODE, ss) : column(N.CBR, ss);
    const Col<double> new_v = nodes ? column(N.VSOL) : column(N.CBRT);
    const Col<int32_t> counter = nodes ? column(N.CHATCNTV, ss) : column(N.CHATCNTI, ss);
    const double level = N.SSCHATLEV(ss);
    // Counters past the first chatter found start again from 0.
    int32_t* const c_end = counter.p + count;
    if (is_true(N.SSCHATTER(ss))) {
        std::fill(counter.p, c_end, 0);
        return;
    }
    if (count_chatter(count, old_v.p, new_v.p, counter.p, level)) CHATTER_FOUND(ss, nodes, CHATTER_PRINTING(mode));
}

void SSFLAGS_SET(int32_t ss, int32_t interpolate, int32_t remove_chatter) {
    NET.SSINTERP(ss) = as_logical(interpolate == 1);
    NET.SSRMCHAT(ss) = as_logical(remove_chatter == 1);
}
