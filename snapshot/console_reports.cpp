// The console text plot and the progress line of a standalone run.
#include <algorithm>
#include <cmath>
#include <string>

#include "engine/messages.h"
#include "engine/run_state.h"
#include "engine/storage.h"
#include "network/dimensions.h"
#include "network/parameters.h"
#include "platform/fortran_format.h"
#include "platform/text_units.h"
#include "snapshot/run_output.h"

namespace {

constexpr int kColumns = 51;
constexpr std::string_view kMarkers = "1234567890";

// The column of a value between the plot's limits; a position that is no
// number (a NaN value, or the lower limit when both limits are equal)
// goes to the first column.
int plot_column(double value, double scale) {
    double x = (value - PARAMS.SCREEN_PMIN) * scale;
    if (std::isnan(x)) return 1;
    x = std::clamp(x, -60.0, 60.0);
    return std::clamp(static_cast<int>(x + 0.5) + 1, 1, kColumns);
}

// The time in 11 characters: six decimals while they fit, else as many as
// fit, else the exponent form; never asterisks.
std::string time_field(double t) {
    for (int d = 6; d >= 0; --d) {
        const std::string f = edit("F11." + std::to_string(d), t);
        if (f[0] != '*') return f;
    }
    return edit("E11.4", t);
}

}  // namespace

void SCREEN_PLOT() {
    const double pmin = PARAMS.SCREEN_PMIN, pmax = PARAMS.SCREEN_PMAX;
    const bool microseconds = RUN_CLOCK.DELT < 1e-6;
    Text72 text;
    if (is_true(RUN_OUTPUT.plot_heading_pending)) {
        RUN_OUTPUT.plot_heading_pending = LFALSE;
        OUTMSG(215, 0, 0, 0, 0.0, 0.0, PARAMS.title);
        if (microseconds) OUTMSG(216, 0, 0, 0, 0.0, 0.0, text);
        OUTMSG(220, 0, 0, 0, pmin, pmax, text);
        std::string ruler(kColumns + 2, '-');
        ruler.front() = ruler.back() = 'I';
        text.assign(ruler);
        OUTMSG(217, 0, 0, 0, 0.0, 0.0, text);
    }

    std::string line(kColumns + 2, ' ');
    line.front() = line.back() = 'I';
    const double scale = 50.0 / (pmax - pmin);
    const int32_t n = std::min(DIMBLOCK.NPGBS, static_cast<int32_t>(kMarkers.size()));
    for (int32_t k = 1; k <= n; ++k) line[static_cast<size_t>(plot_column(STORAGE.PGB(k), scale))] = kMarkers[k - 1];
    text.assign(line);

    const double t = microseconds ? RUN_CLOCK.TIME * 1e6 : RUN_CLOCK.TIME;
    const std::string field = time_field(t);
    if (field == edit("F11.6", t))
        OUTMSG(218, 0, 0, 0, t, 0.0, text);
    else
        write_formatted(UNIT_CONSOLE_OUT, "(A11, A53)", {field, text});
}

void RUN_PROGRESS(Logical connected) {
    if (is_true(connected)) return;
    RunOutputState& s = RUN_OUTPUT;
    const RunClock& c = RUN_CLOCK;
    const int64_t steps = run_progress_steps();
    const int32_t tenth = nint(0.1 * static_cast<double>(steps));
    if (RUN_SEQ.IRUN != s.progress_run) {
        s.progress_mark = tenth;
        s.progress_run = RUN_SEQ.IRUN;
    }
    const int64_t done = int64_t{c.NSTEP} - c.START_STEP;
    if (done < s.progress_mark) return;
    // A run of no steps beyond its first is complete at once.
    const int32_t percent = steps > 0 ? nint(100.0 * static_cast<double>(done) / static_cast<double>(steps)) : 100;
    OUTMSG(219, percent, 0, 0, 0.0, 0.0, Text72());
    s.progress_mark += tenth;
}
