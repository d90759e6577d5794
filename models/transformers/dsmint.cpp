// The map file's "TRANSFORMERS:" section: every transformer's windings,
// nodes and subsystem, its winding data in one of four forms or its
// magnetic circuit, and its companion model added into the network.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>

#include "engine/abort.h"
#include "engine/messages.h"
#include "engine/run_state.h"
#include "models/models.h"
#include "models/transformers/companion_matrices.h"
#include "models/transformers/magnetic_circuit.h"
#include "models/xfmr_tables.h"
#include "network/input_state.h"
#include "network/line_reader.h"
#include "network/map_sections.h"
#include "network/network_tables.h"
#include "network/node_numbering.h"
#include "platform/list_read.h"
#include "platform/text_units.h"

namespace {

const Text12 kName = "DSMINT";
const char* const kKey = "TRANSFORMERS:";

enum class Form { RL, RGamma, Gamma, Magnetic };

// What the reader carries from one entry to the next.
struct SectionState {
    int32_t node_offset = 0;
    int32_t ss = 0;  // subsystem of the winding read last
};

void console(FValues values) { write_list(UNIT_CONSOLE_OUT, values); }

[[noreturn]] void stop(FValues lines) {
    console(lines);
    ABORT_RUN(kName, 1);
}

[[noreturn]] void invalid_line(int32_t ss) {
    OUTMSG(24, ss, 0, 0, 0.0, 0.0, CURLINE());
    ABORT_RUN(kName, 1);  // the message ends the run
}

// The next record of the entry: a new key inside it is an abrupt end.
void next_record() {
    RDCMNT();
    if (!(INPUT.SECTION_KEY == kKey)) stop({" Abrupt end of data in trafo section "});
}

void check_read(const ListRead& in, int32_t ss) {
    if (in.status() == ReadStatus::End) {
        OUTMSG(4, 0, 0, 0, 0.0, 0.0, CURLINE());
        ABORT_RUN(kName, 1);
    }
    if (in.status() == ReadStatus::Error) invalid_line(ss);
}

// NaN and the infinities (also numbers beyond the range of a double) are
// no data: the record is an invalid line.
void check_finite(int32_t ss, double v) {
    if (!std::isfinite(v)) invalid_line(ss);
}

Form form_of(int32_t k) {
    const XfmrTables& X = XFMR_TABLES;
    if (X.XF_KIND(k) == 1) return Form::Magnetic;
    if (X.XF_SUBSYS(k) > 0) return Form::RL;
    return X.XF_KIND(k) == -1 ? Form::RGamma : Form::Gamma;
}

// A new transformer number, within the tables.
int32_t enter_transformer() {
    XfmrTables& X = XFMR_TABLES;
    const int32_t k = ++X.XF_COUNT;
    const int32_t room = static_cast<int32_t>(X.XF_NWDG.size());
    if (k > room) OUTMSG(27, room, 0, 0, 0.0, 0.0, CURLINE());
    return k;
}

// Local nodes a and b of a winding record and their subsystem; the
// subsystem of an earlier winding of the transformer (0: none) must match.
int32_t winding_nodes(SectionState& st, int32_t n1, int32_t n2, int32_t& a, int32_t& b, int32_t same_as) {
    ZARIK_NODE(st.node_offset, n1, a);
    ZARIK_NODE(st.node_offset, n2, b);
    const int32_t s1 = n1 != 0 ? SSNUM(st.node_offset, n1) : 0;
    const int32_t s2 = n2 != 0 ? SSNUM(st.node_offset, n2) : 0;
    if (s1 == 0 && s2 == 0) stop({"SS for the Xfmr Nodes are not defined."});
    if (s1 != 0 && s2 != 0 && s1 != s2) stop({"Xfmr Nodes are in different SS:", s1, ":", s2});
    const int32_t s = std::max(s1, s2);
    if (same_as != 0 && s != same_as) stop({"Xfmr Nodes are in different SS:", same_as, ":", s});
    st.ss = s;
    return s;
}

void place_winding(int32_t k, int32_t w, int32_t ss, int32_t a, int32_t b) {
    XfmrTables& X = XFMR_TABLES;
    const int32_t m = NET.NBUSES(ss);
    if (a > m || b > m) OUTMSG(28, ss, 0, 0, 0.0, 0.0, CURLINE());
    if (a < 0 || b < 0 || a == b || a + b == 0) OUTMSG(29, ss, 0, 0, 0.0, 0.0, CURLINE());
    X.XF_NODE1(w, k) = a;
    X.XF_NODE2(w, k) = b;
}

// Row w of the winding matrices from XF_ROW (or column w of XF_WZ).
void enter_row(int32_t k, int32_t w, Form form) {
    XfmrTables& X = XFMR_TABLES;
    const double delt = RUN_CLOCK.DELT;
    for (int32_t i = 1; i <= w; ++i) {
        const double r = form == Form::Gamma ? 0.0 : X.XF_ROW(2 * i - 1);
        X.XF_WR(w, i) = X.XF_WR(i, w) = r;
        X.XF_RES(w, i, k) = X.XF_RES(i, w, k) = r;
        if (form == Form::RL) {
            const double t = X.XF_ROW(2 * i) * 2.0 / delt;
            X.XF_WZ(w, i) = X.XF_WZ(i, w) = r + t;
            X.XF_WG(w, i) = X.XF_WG(i, w) = r + t;
            X.XF_LTERM(w, i, k) = X.XF_LTERM(i, w, k) = t;
        } else if (form == Form::RGamma) {
            X.XF_WZ(w, i) = X.XF_WZ(i, w) = X.XF_ROW(2 * i) * delt * 0.5;
        } else {
            const double g = X.XF_WZ(i, w) * delt * 0.5;
            X.XF_WG(w, i) = X.XF_WG(i, w) = g;
            X.XF_LTERM(w, i, k) = X.XF_LTERM(i, w, k) = g;
        }
    }
}

// The R-Gamma form's conductance, its inductive term the whole of A.
void r_gamma_conductance(int32_t k, int32_t n, int32_t ss) {
    XfmrTables& X = XFMR_TABLES;
    if (!xfmr_gamma_conductance(n, 1e-20)) invalid_line(ss);
    for (int32_t j = 1; j <= n; ++j)
        for (int32_t i = 1; i <= n; ++i) X.XF_LTERM(i, j, k) = X.XF_WZ(i, j);
}

// The companion model from the work matrices, added into the network.
void complete(int32_t k, Form form, bool fresh_core, int32_t ss) {
    XfmrTables& X = XFMR_TABLES;
    const int32_t n = X.XF_NWDG(k);
    if (form == Form::Magnetic && fresh_core) xfmr_core_conductance(k, n);
    if (form == Form::RL && !xfmr_invert(X.XF_WG, n, 1e-20)) invalid_line(ss);
    xfmr_store_companion(k);
    xfmr_stamp(ss, k, X.XF_WG, true);
}

[[noreturn]] void bad_core(int32_t k, FValues why) {
    console({"Invalid magnetic core data in trafo section. Trafo#", k});
    stop(why);
}

// Core data that the saturation set-up and update index or divide by.
void check_core_shape(int32_t k) {
    const XfmrTables& X = XFMR_TABLES;
    const int32_t type = X.XF_CORETYPE(k), n = X.XF_NWDG(k);
    if (type < 0 || type > 5) bad_core(k, {"Core type is not 0 to 5:", type});
    if (n != xfmr_core_nodes(type)) bad_core(k, {"Windings do not match core type", type, ":", n});
    if (X.XF_NBR(k) < xfmr_core_branches(type) || X.XF_NBR(k) > XFMR_MAXBR)
        bad_core(k, {"Magnetic branch count is out of range:", X.XF_NBR(k)});
    for (int32_t w = 1; w <= n; ++w)
        if (X.XF_WDGC1(w, k) == 0.0) bad_core(k, {"Turns of winding", w, "are 0."});
    const FArray1<double>* used[] = {&X.XF_CORE1, &X.XF_CORE2, &X.XF_CORE3, &X.XF_CORE4, &X.XF_CORE5, &X.XF_CORE6};
    const int32_t count = type == 2 ? 6 : 4;
    for (int32_t c = 0; c < count; ++c)
        if (!((*used[c])(k) > 0.0)) bad_core(k, {"Core area or length", c + 1, "is not positive:", (*used[c])(k)});
}

void read_core(int32_t k, int32_t ss) {
    XfmrTables& X = XFMR_TABLES;
    next_record();
    {
        ListRead in(INPUT.INPUT_UNIT);
        for (FArray1<double>* c : {&X.XF_CORE1, &X.XF_CORE2, &X.XF_CORE3, &X.XF_CORE4, &X.XF_CORE5, &X.XF_CORE6,
                                   &X.XF_CORE7})
            in.real((*c)(k));
        check_read(in, ss);
        for (FArray1<double>* c : {&X.XF_CORE1, &X.XF_CORE2, &X.XF_CORE3, &X.XF_CORE4, &X.XF_CORE5, &X.XF_CORE6,
                                   &X.XF_CORE7})
            check_finite(ss, (*c)(k));
    }
    next_record();
    {
        ListRead in(INPUT.INPUT_UNIT);
        in.real(X.XF_CORE8(k)).integer(X.XF_SATON(k));
        check_read(in, ss);
        check_finite(ss, X.XF_CORE8(k));
    }
    next_record();
    {
        for (int32_t p = 1; p <= 10; ++p) X.XF_BHX(p, k) = X.XF_BHY(p, k) = 0.0;
        ListRead in(INPUT.INPUT_UNIT);
        for (int32_t p = 1; p <= 10; ++p) in.real(X.XF_BHX(p, k)).real(X.XF_BHY(p, k));
        check_read(in, ss);
        for (int32_t p = 1; p <= 10; ++p) {
            check_finite(ss, X.XF_BHX(p, k));
            check_finite(ss, X.XF_BHY(p, k));
        }
    }
    next_record();
    {
        ListRead in(INPUT.INPUT_UNIT);
        in.integer(X.XF_COREOPT(k)).integer(X.XF_NBR(k)).integer(X.XF_CORETYPE(k));
        check_read(in, ss);
    }
    check_core_shape(k);
    if (X.XF_SATON(k) == 1) {
        const CurveCheck c = xfmr_check_curve(k);
        if (c == CurveCheck::NoData) {
            USERWARN(0, 0, 1, "Saturation disabled in one transformer due to lack of data");
            console({"WARNING: Transformer BH curve has no data"});
            console({"Saturation has been disabled. Trafo#", k});
        } else if (c == CurveCheck::PointsDropped) {
            USERWARN(0, 0, 1, "Some T/F B-H data points ignored due to being unrealistic");
            console({"WARNING:Transformer BH curve has unrealistic"});
            console({"data points. Trafo#", k});
            console({"Some points were ignored."});
        }
    }
    if (!(X.XF_CORE8(k) > 0.0)) bad_core(k, {"Unsaturated slope is not positive:", X.XF_CORE8(k)});
    // A pivot passed over leaves a Gamma that is not the core's.
    if (XFMR_SATSET(k, X.XF_WZ) != 0) invalid_line(ss);
}

void read_entry(SectionState& st, int32_t count, int32_t code, int32_t placeholder) {
    XfmrTables& X = XFMR_TABLES;
    Form form = Form::RL;
    if (code == 1)
        form = Form::Magnetic;
    else if (count < 0)
        form = code == -1 ? Form::RGamma : code == 0 ? Form::Gamma : (invalid_line(st.ss), Form::RL);
    const int32_t n = std::abs(count);
    if (n == 0) {
        OUTMSG(26, st.ss, 0, 0, 0.0, 0.0, CURLINE());
        ABORT_RUN(kName, 1);
    }
    const bool negative = form != Form::RL;
    const int32_t k = enter_transformer();
    for (auto* a : {&X.XF_WZ, &X.XF_WR}) a->fill(0.0);
    X.XF_ROW.fill(0.0);

    const int32_t room = static_cast<int32_t>(X.XF_NODE1.extent(1));
    int32_t first_ss = 0;
    for (int32_t w = 1; w <= n; ++w) {
        next_record();
        int32_t n1 = 0, n2 = 0;
        {
            ListRead in(INPUT.INPUT_UNIT);
            in.integer(n1).integer(n2);
            if (form == Form::Magnetic) {
                double turns = 0.0, leakage = 0.0;
                in.real(turns).real(leakage);
                check_read(in, st.ss);
                check_finite(st.ss, turns);
                check_finite(st.ss, leakage);
                if (w <= room) {
                    X.XF_WDGC1(w, k) = turns;
                    X.XF_WDGC2(w, k) = leakage;
                }
            } else if (placeholder == 0 && w <= room) {
                if (form == Form::Gamma)
                    for (int32_t i = 1; i <= w; ++i) in.real(X.XF_WZ(i, w));
                else
                    for (int32_t i = 1; i <= 2 * w; ++i) in.real(X.XF_ROW(i));
                check_read(in, st.ss);
                if (form == Form::Gamma)
                    for (int32_t i = 1; i <= w; ++i) check_finite(st.ss, X.XF_WZ(i, w));
                else
                    for (int32_t i = 1; i <= 2 * w; ++i) check_finite(st.ss, X.XF_ROW(i));
            }
            check_read(in, st.ss);
        }
        if (placeholder != 0 && form != Form::Magnetic && w <= room) {
            for (int32_t i = 1; i <= w; ++i) {
                const bool own = i == w;
                if (form == Form::RL) {
                    X.XF_ROW(2 * i - 1) = 0.0;
                    X.XF_ROW(2 * i) = own ? 350.7 : 350.8;
                } else if (form == Form::RGamma) {
                    X.XF_ROW(2 * i - 1) = 0.0;
                    X.XF_ROW(2 * i) = own ? n : -1.0;
                } else {
                    X.XF_WZ(i, w) = own ? n : -1.0;
                }
            }
        }
        int32_t a = 0, b = 0;
        const int32_t s = winding_nodes(st, n1, n2, a, b, first_ss);
        if (w == 1) {
            first_ss = s;
            if (n > room) OUTMSG(25, room, s, 0, 0.0, 0.0, CURLINE());
            X.XF_NSS(s) += 1;
            X.XF_NWDG(k) = n;
            X.XF_KIND(k) = code;
            X.XF_SUBSYS(k) = negative ? -s : s;
        }
        place_winding(k, w, s, a, b);
        if (form != Form::Magnetic) enter_row(k, w, form);
    }
    if (form == Form::RGamma) r_gamma_conductance(k, n, st.ss);
    if (form == Form::Magnetic) {
        X.XF_KIND(k) = 1;
        read_core(k, st.ss);
    }
    complete(k, form, true, st.ss);
}

// A transformer like the one before it, at its own nodes.
void read_repeat(SectionState& st) {
    XfmrTables& X = XFMR_TABLES;
    const int32_t p = X.XF_COUNT;
    if (p == 0) invalid_line(st.ss);
    const int32_t n = X.XF_NWDG(p);
    const Form form = form_of(p);
    const int32_t ss = std::abs(X.XF_SUBSYS(p));
    const int32_t k = enter_transformer();
    X.XF_NSS(ss) += 1;
    X.XF_NWDG(k) = n;
    X.XF_KIND(k) = X.XF_KIND(p);
    X.XF_SUBSYS(k) = X.XF_SUBSYS(p) < 0 ? -ss : ss;
    for (int32_t w = 1; w <= n; ++w) {
        next_record();
        int32_t n1 = 0, n2 = 0;
        {
            ListRead in(INPUT.INPUT_UNIT);
            in.integer(n1).integer(n2);
            check_read(in, st.ss);
        }
        int32_t a = 0, b = 0;
        winding_nodes(st, n1, n2, a, b, ss);
        place_winding(k, w, ss, a, b);
        for (int32_t i = 1; i <= w; ++i) {
            X.XF_LTERM(w, i, k) = X.XF_LTERM(i, w, k) = X.XF_LTERM(w, i, p);
            X.XF_RES(w, i, k) = X.XF_RES(i, w, k) = X.XF_RES(w, i, p);
            if (form == Form::RL) X.XF_WG(w, i) = X.XF_WG(i, w) = X.XF_WZ(w, i);
        }
    }
    if (form == Form::Magnetic) {
        for (int32_t w = 1; w <= n; ++w) {
            X.XF_WDGC1(w, k) = X.XF_WDGC1(w, p);
            X.XF_WDGC2(w, k) = X.XF_WDGC2(w, p);
        }
        for (FArray1<double>* c : {&X.XF_CORE1, &X.XF_CORE2, &X.XF_CORE3, &X.XF_CORE4, &X.XF_CORE5, &X.XF_CORE6,
                                   &X.XF_CORE7, &X.XF_CORE8})
            (*c)(k) = (*c)(p);
        for (FArray1<int32_t>* c : {&X.XF_NBR, &X.XF_CORETYPE, &X.XF_COREOPT, &X.XF_SATON}) (*c)(k) = (*c)(p);
        for (int32_t q = 1; q <= 10; ++q) {
            X.XF_BHX(q, k) = X.XF_BHX(q, p);
            X.XF_BHY(q, k) = X.XF_BHY(q, p);
        }
    }
    complete(k, form, false, ss);
}

}  // namespace

void DSMINT(int32_t& node_offset) {
    SectionState st;
    st.node_offset = node_offset;
    for (;;) {
        RDCMNT();
        if (!(INPUT.SECTION_KEY == kKey)) return;
        // Entries made before the subsystem sizes are known would be lost.
        if (!MAP_READ.subsys_sizes_read)
            stop({"The SUBSYSDIM: section must come before the TRANSFORMERS: section"});
        int32_t count = 0, code = 0, placeholder = 0;
        {
            ListRead in(INPUT.INPUT_UNIT);
            in.integer(count).integer(code).integer(placeholder);
            check_read(in, st.ss);
        }
        if (count == 888)
            read_repeat(st);
        else
            read_entry(st, count, code, placeholder);
    }
}
