#include "network/branches.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <string>

#include "controls/branch_voltage.h"
#include "engine/abort.h"
#include "engine/run_state.h"
#include "engine/solution_arrays.h"
#include "network/companion.h"
#include "network/dimensions.h"
#include "network/input_state.h"
#include "network/line_reader.h"
#include "network/map_sections.h"
#include "network/network_tables.h"
#include "network/node_numbering.h"
#include "platform/list_read.h"
#include "platform/text_units.h"

namespace {

const Text12 kRdBrs = "RDBRS";
const Text12 kBrParm = "BRPARM";

void console(FValues values) { write_list(UNIT_CONSOLE_OUT, values); }

[[noreturn]] void stop(const Text12& name, FValues lines) {
    console(lines);
    ABORT_RUN(name, 1);
}

[[noreturn]] void unreadable() { stop(kRdBrs, {"Error while reading branch data"}); }

const std::string kRule(47, '-');

// Every entry of branch (br, ss) that the reader writes, cleared.
void clear_branch(int32_t br, int32_t ss) {
    NetworkTables& N = NET;
    for (auto* a : {&N.CBR, &N.CCBR, &N.CCBRD, &N.EBR, &N.EBRD, &N.EON, &N.EOFF, &N.SWVAL, &N.GEQ, &N.GEQD,
                    &N.GON, &N.GOFF, &N.RLG, &N.RCG, &N.RCL, &N.RSC, &N.RSL, &N.CCL, &N.CCLD, &N.CCC, &N.CCCD,
                    &N.G2L, &N.G2C, &N.V12L, &N.V20L, &N.TSWITCH, &N.BRANCH_R, &N.BRANCH_L, &N.BRANCH_C})
        (*a)(br, ss) = 0.0;
    N.BRCHG(br) = LFALSE;
    for (auto* a : {&N.SWLIST, &N.IEF, &N.IET, &N.THISBR, &N.IORV}) (*a)(br, ss) = 0;
    for (auto* a : {&N.RESISTOR, &N.INDUCTOR, &N.CAPACITR, &N.SOURCE, &N.SWITCH, &N.IDEALBR, &N.OPENBR,
                    &N.DEFRDBR, &N.FLIPIDLBR})
        (*a)(br, ss) = LFALSE;
}

// Takes the third blank-separated word of the record out of it.
FText<10> take_type_word(Text255& record) {
    FText<10> word;
    size_t start = 0;
    int words = 0;
    char previous = ' ';
    for (size_t k = 0; k < record.size(); ++k) {
        if (record[k] != ' ' && previous == ' ' && ++words == 3) {
            start = k + 1;
            break;
        }
        previous = record[k];
    }
    // A line of fewer than three words has no type word.
    if (start == 0) stop(kBrParm, {"Error while reading branch data"});
    for (size_t k = start - 1, n = 0; k < record.size() && n < 10 && record[k] != ' '; ++k, ++n) {
        word[n] = record[k];
        record[k] = ' ';
    }
    return word;
}

bool finite_all(std::initializer_list<double> values) {
    for (double x : values)
        if (!std::isfinite(x)) return false;
    return true;
}

void precision_box(int32_t br, int32_t ss, double r, double l, double c) {
    const NetworkTables& N = NET;
    console({kRule});
    if (is_true(N.RESISTOR(br, ss))) {
        console({"Resistor in Branch ", br, " in SS ", ss});
        console({"is extremely small: ", r});
    }
    if (is_true(N.INDUCTOR(br, ss))) {
        console({"Inductance in Branch ", br, " in SS ", ss});
        console({"is extremely small: ", l});
    }
    if (is_true(N.CAPACITR(br, ss))) {
        console({"Capacitor in Branch ", br, " in SS ", ss});
        console({"is extremely large: ", c});
    }
    console({"Very small R or L or very large C values"});
    console({"can result in numerical instability due to"});
    console({"computer precision."});
    console({"We suggest converting this to an ideal branch!"});
    console({kRule});
}

void conversion_box(int32_t br, int32_t ss) {
    console({kRule});
    console({"Branch ", br, " in SS ", ss});
    console({"has been converted to an ideal branch"});
    console({"because RLC values are out of range!"});
    console({kRule});
}

// The history current h of a branch, as the node injections see it: into
// the from-node's entry, out of the to-node's.
void inject_history(int32_t f, int32_t t, int32_t ss, double h) {
    for (auto* a : {&NET.CHIST, &NET.CHISTD}) {
        if (f != 0) (*a)(f, ss) += h;
        if (t != 0) (*a)(t, ss) -= h;
    }
}

// One branch line: the record is waiting on the current unit.
void read_branch(int32_t node_offset) {
    NetworkTables& N = NET;
    std::string line;
    const ReadStatus st = unit_read_line(INPUT.INPUT_UNIT, line);
    if (st == ReadStatus::End) stop(kRdBrs, {"Unexpected End_Of_File"});
    if (st == ReadStatus::Error) unreadable();
    Text255 record(std::string_view{line});

    int32_t a = 0, b = 0;
    {
        ListRead in(record.view());
        in.integer(a).integer(b);
        if (!in.ok()) unreadable();
    }
    int32_t f = 0, t = 0;
    ZARIK_NODE(node_offset, a, f);
    ZARIK_NODE(node_offset, b, t);
    if (f == t) stop(kRdBrs, {"Branch is shorted."});

    const int32_t s1 = a != 0 ? SSNUM(node_offset, a) : 0;
    const int32_t s2 = b != 0 ? SSNUM(node_offset, b) : 0;
    if (s1 == 0 && s2 == 0) stop(kRdBrs, {"SS for the Branch Nodes are not defined."});
    if (s1 != 0 && s2 != 0 && s1 != s2) stop(kRdBrs, {"Branch Nodes are in different SS:", s1, ":", s2});
    const int32_t ss = std::max(s1, s2);

    // Entries made before the subsystem sizes are known would be lost
    // when the matrices are set up.
    if (!MAP_READ.subsys_sizes_read) stop(kRdBrs, {"The SUBSYSDIM: section must come before the BRANCHES: section"});
    const SsView<double> gm = SSDESC_RA(ss);
    const SsView<int8_t> gmpat = SSDESC_IA(ss);

    N.NBRANCHES(ss) += 1;
    const int32_t br = N.NBRANCHES(ss);
    const int32_t nd15 = DIMBLOCK.AVAIL[ND_BRANCHES];
    if (br > nd15) stop(kRdBrs, {"Too many branches:", br, ">", nd15});

    int32_t n1 = 0, n2 = 0;
    double r = 0.0, l = 0.0, c = 0.0, e = 0.0, i = 0.0, v = 0.0;
    BRPARM(record, ss, br, n1, n2, r, l, c, e, i, v);

    N.IEF(br, ss) = f;
    N.IET(br, ss) = t;
    const bool grounded = f == 0 || t == 0;
    if (!grounded) gmpat(f, t) = gmpat(t, f) = -1;

    const double delt = RUN_CLOCK.DELT;
    double xl = 0.0, xc = 0.0;
    if (is_true(N.INDUCTOR(br, ss))) {
        xl = (l + l) / delt;
        if (std::fabs(xl) > 1e-20) N.G2L(br, ss) = 1.0 / xl;
    }
    if (is_true(N.CAPACITR(br, ss))) {
        if (c == 0.0) {
            console({"Capacitor in Branch ", br, " in SS ", ss});
            stop(kRdBrs, {"has a zero capacitance."});
        }
        xc = delt * 500000.0 / c;
        if (std::fabs(xc) > 1e-20) N.G2C(br, ss) = 1.0 / xc;
    }

    double rr = r;
    if (is_true(N.RESISTOR(br, ss)) && std::fabs(r) <= 1.0 / N.GIDEAL(ss)) {
        rr = 0.0;
        drop_small_resistance(br, ss);
    }

    const double z = (rr + xl) + xc;
    const double g = std::fabs(z) > 1e-20 ? 1.0 / z : 0.0;
    // Values that overflow would leave NaN in the matrix.
    if (!finite_all({r, l, c, e, i, v, xl, xc, z, g})) {
        console({"Branch ", br, " in SS ", ss});
        stop(kRdBrs, {"has R, L, C, E or i values out of range."});
    }
    const bool is_switch = is_true(N.SWITCH(br, ss));
    const bool ideal_source = z == 0.0 && is_true(N.SOURCE(br, ss));
    if (std::fabs(z) <= 1e-10 && !is_switch && !ideal_source && !is_true(N.IDEALBR(br, ss)))
        precision_box(br, ss, r, l, c);
    if (std::fabs(z) <= 1e-20 && !is_switch && !is_true(N.IDEALBR(br, ss))) {
        N.IDEALBR(br, ss) = LTRUE;
        N.IDEALSS(ss) = LTRUE;
        if (!ideal_source) conversion_box(br, ss);
    }

    if (is_switch) {
        N.NSWITCH(ss) += 1;
        N.SWLIST(N.NSWITCH(ss), ss) = br;
    }
    N.TSWITCH(br, ss) = 1.5;
    N.THISBR(br, ss) = 0;
    N.IORV(br, ss) = 0;
    N.FLIPIDLBR(br, ss) = LFALSE;
    N.BRCHG(br) = LFALSE;
    N.CBR(br, ss) = i;
    N.EBR(br, ss) = N.EON(br, ss) = N.EOFF(br, ss) = N.EBRD(br, ss) = e;
    if (is_true(N.IDEALBR(br, ss))) return;  // the rest stays 0.0, and nothing goes into GM

    set_companion(br, ss, g, rr, xl, xc);
    const double vb = BRANCH_VOLTAGE(ss, br);
    N.V12L(br, ss) = N.CCC(br, ss) * N.RCL(br, ss) + (N.RLG(br, ss) * vb - N.CCL(br, ss) * N.RSC(br, ss));
    N.V20L(br, ss) = (N.CCL(br, ss) * N.RCL(br, ss) + N.RCG(br, ss) * vb) - N.CCC(br, ss) * N.RSL(br, ss);

    // The initial current flows on through the inductor from the first
    // solution, which may come before the first history step.
    if (i != 0.0 && is_true(N.INDUCTOR(br, ss)) && !is_true(N.CAPACITR(br, ss)) && !is_true(N.DEFRDBR(br, ss))) {
        N.CCL(br, ss) = N.CCLD(br, ss) = i;
        N.V12L(br, ss) = 0.0;
        const double h = N.RLG(br, ss) * i;
        N.CCBR(br, ss) = N.CCBRD(br, ss) = h;
        inject_history(f, t, ss, h);
    }

    if (is_switch) return;
    if (grounded) {
        const int32_t k = f != 0 ? f : t;
        gm(k, k) += g;
    } else {
        // Both entries: a line end read earlier may have made them differ.
        gm(t, f) += g;
        gm(f, t) += g;
    }
}

}  // namespace

void drop_small_resistance(int32_t br, int32_t ss) {
    NetworkTables& N = NET;
    const bool reactive = is_true(N.INDUCTOR(br, ss)) || is_true(N.CAPACITR(br, ss));
    console({kRule});
    console({"Branch ", br, " in SS ", ss});
    if (reactive) console({"Resistive portion"});
    console({"has been converted to an ideal branch because"});
    console({"R value is less than the user defined limit!"});
    console({kRule});
    if (reactive) {
        N.RESISTOR(br, ss) = LFALSE;
    } else {
        N.IDEALBR(br, ss) = LTRUE;
        N.IDEALSS(ss) = LTRUE;
    }
}

void RDBRS(int32_t node_offset) {
    RDCMNT();
    if (!(INPUT.SECTION_KEY == "BRANCHES:")) return;
    RDCMNT();
    while (INPUT.SECTION_KEY == "BRANCHES:") {
        read_branch(node_offset);
        RDCMNT();
    }
}

void BRPARM(Text255& record, int32_t ss, int32_t br, int32_t& node1, int32_t& node2, double& r, double& l,
            double& c, double& e, double& i, double& v) {
    NetworkTables& N = NET;
    clear_branch(br, ss);
    r = l = c = e = i = v = 0.0;

    const FText<10> type = take_type_word(record);
    std::array<double, 10> slot{};
    size_t values = 0;
    {
        ListRead in(record.view());
        in.integer(node1).integer(node2);
        for (double& x : slot) {
            in.real(x);
            if (!in.ok()) break;
            ++values;
        }
        // Fewer values than slots is fine; a field that is no number is not.
        if (in.status() == ReadStatus::Error) stop(kBrParm, {"Error while reading branch data"});
    }

    size_t k = 0;
    // A letter whose value is missing is as wrong as a value that is no number.
    const auto next_value = [&]() {
        if (k >= values) stop(kBrParm, {"Error while reading branch data"});
        return slot[k++];
    };
    for (size_t n = 0; n < type.size(); ++n) {
        const char letter = type[n];
        switch (letter) {
            case 'R':
                N.RESISTOR(br, ss) = LTRUE;
                r = N.BRANCH_R(br, ss) = next_value();
                break;
            case 'L':
                N.INDUCTOR(br, ss) = LTRUE;
                l = N.BRANCH_L(br, ss) = next_value();
                break;
            case 'C':
                N.CAPACITR(br, ss) = LTRUE;
                c = next_value();
                N.BRANCH_C(br, ss) = c * 1e-6;
                break;
            case 'E':
                N.SOURCE(br, ss) = LTRUE;
                e = next_value();
                break;
            case 'i':
                i = next_value();
                break;
            case 'v':
                v = next_value();
                break;
            case 'S':
                N.SWITCH(br, ss) = LTRUE;
                break;
            case 'D':
                N.DEFRDBR(br, ss) = LTRUE;
                N.SWITCH(br, ss) = LTRUE;
                break;
            case 'A':
                N.IDEALBR(br, ss) = LTRUE;
                N.IDEALSS(ss) = LTRUE;
                for (auto* a : {&N.RESISTOR, &N.INDUCTOR, &N.CAPACITR, &N.SOURCE, &N.SWITCH}) (*a)(br, ss) = LFALSE;
                return;
            case ' ':
                return;
            default:
                stop(kBrParm, {"Error: Unknown branch type: ", std::string(1, letter)});
        }
    }
}
