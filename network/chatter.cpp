#include "network/chatter.h"

#include <cmath>
#include <cstdlib>

#include "engine/run_state.h"
#include "network/network_tables.h"
#include "network/solution_columns.h"
#include "platform/text_units.h"

namespace {

// Six reversals in a row are chatter.
constexpr int32_t kReversals = 6;

// The counter after one more change from x to y: its sign is the
// direction, its magnitude the reversals in a row by more than level.
int32_t next_count(int32_t c, double x, double y, double level) {
    const double mid = 0.5 * (x + y);
    const double d = std::fabs(y - mid);
    if (mid <= y) return (c < 0 && d > level) ? 1 - c : 1;
    return (c >= 0 && d > level) ? -c - 1 : -1;
}

}  // namespace

void CHATTER_CHK(int32_t ss, int32_t mode) {
    if (mode == 3) return;
    NetworkTables& N = NET;
    const bool nodes = mode == 1;
    const int32_t count = nodes ? N.NBUSES(ss) : N.NBRANCHES(ss);
    if (count <= 0) return;
    const Col<double> old_v = nodes ? column(N.VNODE, ss) : column(N.CBR, ss);
    const Col<double> new_v = nodes ? column(N.VSOL) : column(N.CBRT);
    const Col<int32_t> counter = nodes ? column(N.CHATCNTV, ss) : column(N.CHATCNTI, ss);
    const Col<Logical> unreported = nodes ? column(N.CHATMSGV, ss) : column(N.CHATMSGI, ss);
    const bool printing = (mode == 1 || mode == 2) && (is_true(RUN_SEQ.CONNECTED) || is_true(RUN_SETUP.screen_plot));
    const double level = N.SSCHATLEV(ss);

    for (int32_t k = 1; k <= count; ++k) {
        if (is_true(N.SSCHATTER(ss))) {
            counter[k] = 0;
            continue;
        }
        int32_t c = next_count(counter[k], old_v[k], new_v[k], level);
        const bool found = std::abs(c) >= kReversals;
        if (found) {
            N.SSCHATTER(ss) = LTRUE;
            c = 0;
        }
        counter[k] = c;
        if (!found || !printing || !is_true(unreported[k])) continue;
        unreported[k] = LFALSE;
        if (nodes)
            write_formatted(UNIT_CONSOLE_OUT, R"(("Voltage chatter:        SS# ", I2, " Node# ", I4))", {ss, k});
        else
            write_formatted(UNIT_CONSOLE_OUT, R"(("Current chatter:        SS# ", I2, "   Br# ", I4))", {ss, k});
    }
}

void SSFLAGS_SET(int32_t ss, int32_t interpolate, int32_t remove_chatter) {
    NET.SSINTERP(ss) = as_logical(interpolate == 1);
    NET.SSRMCHAT(ss) = as_logical(remove_chatter == 1);
}
