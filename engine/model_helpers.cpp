#include "engine/model_helpers.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "engine/abort.h"
#include "engine/run_state.h"
#include "network/dimensions.h"
#include "network/interpolation.h"
#include "network/network_tables.h"
#include "platform/text_units.h"

namespace {

constexpr int kOut = UNIT_CONSOLE_OUT;

}  // namespace

void CHKSS(const Text12& name, int32_t ss) {
    const int32_t nss = DIMBLOCK.NSUBSYS;
    if (ss < 0) {
        write_formatted(kOut, R"(("Negative Subsystem Number:", I3))", {ss});
    } else if (ss == 0) {
        write_list(kOut, {"Zero Subsystem Number"});
    } else if (ss > nss) {
        write_formatted(kOut, R"(("Current SS# (", I3, " ) is greater than max SS# ", I3))", {ss, nss});
    } else {
        return;
    }
    ABORT_RUN(name, 0);
}

void CHKNODE(const Text12& name, int32_t node, int32_t ss) {
    CHKSS(name, ss);
    const int32_t n = NET.NBUSES(ss);
    if (node < 0) {
        write_formatted(kOut, R"(("Negative Node Number:", I5))", {node});
    } else if (node == 0) {
        write_list(kOut, {"Zero Node Number"});
    } else if (node > n) {
        write_formatted(kOut, R"(("Current Node# (", I5, " ) > max Node#", I5, " in SS", I3))", {node, n, ss});
    } else {
        return;
    }
    ABORT_RUN(name, 0);
}

void CHKBRANCH(const Text12& name, int32_t branch, int32_t ss) {
    CHKSS(name, ss);
    const int32_t nb = NET.NBRANCHES(ss);
    if (branch == 0) {
        write_list(kOut, {"Zero Branch Number"});
    } else if (branch > nb) {
        write_formatted(kOut, R"(("Current Branch# (", I5, " ) > max Br#", I5, " in SS", I3))", {branch, nb, ss});
    } else if (branch < 0) {
        write_formatted(kOut, R"(("Negative Branch #", I5, " in SS", I3))", {branch, ss});
    } else {
        return;
    }
    ABORT_RUN(name, 0);
}

void CHKSWITCH(const Text12& name, int32_t branch, int32_t ss) {
    CHKSS(name, ss);
    // A number outside the tables names no switch and no nodes.
    const bool known = NET.SWITCH.in_range(branch, ss);
    if (known && is_true(NET.SWITCH(branch, ss))) return;
    const int32_t from = known ? NET.IEF(branch, ss) : 0, to = known ? NET.IET(branch, ss) : 0;
    write_formatted(kOut, R"(("Branch#", I5, " does not have a switch attribute."))", {branch});
    write_formatted(kOut, R"(("FROM and TO Nodes: ", I5, 1X, I5))", {from, to});
    ABORT_RUN(name, 0);
}

void DISCONTINUED(const Text12& name) {
    write_list(kOut, {name, " has been discontinued and cannot be supported"});
    write_list(kOut, {"See Migrating to ZARIK 3.1 section in on-line help"});
    ABORT_RUN(name, 0);
}


double BRVALUE(int32_t ss, int32_t branch, double reached, bool opening, bool resolving) {
    NetworkTables& N = NET;
    const bool vsource = voltage_source_branch(branch, ss);
    const double e = is_true(N.SOURCE(branch, ss))
                         ? INTVAL2(branch, ss, resolving, vsource, true, false, opening, reached)
                         : 0.0;
    const double v = VECDIFF(N.IEF(branch, ss), N.IET(branch, ss));
    return (e + v) * N.GEQ(branch, ss) + INTVAL1(branch, ss, resolving, true, opening, reached);
}

double CDC(int32_t na, int32_t nb, int32_t ss) {
    const Text12 name("CDC");
    CHKSS(name, ss);
    if (na == nb) na = 0;
    NetworkTables& N = NET;
    const int32_t count = N.NBRANCHES(ss);
    if (is_true(RUN_FLAGS.FIRST_STEP_DATA)) {
        int32_t parallel = 0;
        for (int32_t i = 1; i <= count; ++i) {
            const int32_t f = N.IEF(i, ss), t = N.IET(i, ss);
            if ((t == na && f == nb) || (f == na && t == nb)) ++parallel;
        }
        if (parallel > 1) {
            write_list(kOut, {"Inappropriate use of obsolete function CDC"});
            write_list(kOut, {"to measure current across parallel branches"});
            write_list(kOut, {"between nodes: ", na, nb});
            write_list(kOut, {"Use CBR array to measure current through a branch"});
            write_list(kOut, {"See ZARIK Help on Writing Your Own Model"});
        }
    }
    for (int32_t i = 1; i <= count; ++i) {
        const int32_t f = N.IEF(i, ss), t = N.IET(i, ss);
        if (t == na && f == nb) return N.CBR(i, ss);
        if (f == na && t == nb) return -N.CBR(i, ss);
    }
    write_list(kOut, {"No branch between nodes", na, nb});
    ABORT_RUN(name, 0);
}

int32_t LBIT(int32_t v) { return is_true(v) ? 1 : 0; }
Logical ILOGICAL(int32_t i) { return as_logical(i != 0); }
Logical RLOGICAL(double x) { return as_logical(nint(x) != 0); }

int32_t STRIP_SIGN16(int16_t v, Logical flag) {
    if (is_true(flag) && v < 0) return static_cast<int32_t>(v) & 0x7FFF;
    return v;
}

void REAL2CMPLX(std::complex<double>& c, double x) { c = {x, 0.0}; }

double POL_RE(double a, double b) { return a * std::cos(b * 0.017453292519943); }
double POL_IM(double a, double b) { return a * std::sin(b * 0.017453292519943); }
double RECT_MAG(double x, double y) { return std::sqrt(x * x + y * y); }
double RECT_ANG(double x, double y) {
    if (std::fabs(x) > 1e-20 || std::fabs(y) > 1e-20) return std::atan2(y, x) * 57.29577951308232;
    return 0.0;
}

Text72 INT2TXT(int32_t i) { return Text72(std::to_string(i)); }

Text72 INT2TXTZ(int32_t width, int32_t i) {
    const Text72 text = INT2TXT(i);
    const int32_t len = static_cast<int32_t>(text.len_trim());
    if (len >= width) return text;
    // Nothing past the 72 columns is kept, so no more zeros are formed.
    const int32_t zeros = std::min(width - len, 72);
    return Text72(std::string(static_cast<size_t>(zeros), '0') + text.trimmed());
}

Text72 BLANK72() { return Text72(); }
