// The sections of a snapshot file after its head.
#include "snapshot/snap_sections.h"

#include <algorithm>
#include <array>
#include <climits>
#include <initializer_list>
#include <tuple>

#include "engine/solution_arrays.h"
#include "engine/storage.h"
#include "lines/line_record.h"
#include "lines/line_tables.h"
#include "lines/lines.h"
#include "models/branch_changes.h"
#include "models/xfmr_tables.h"
#include "network/dimensions.h"
#include "network/network_tables.h"
#include "engine/abort.h"
#include "platform/list_read.h"
#include "platform/text_units.h"
#include "snapshot/run_output.h"
#include "snapshot/snap_access.h"
#include "snapshot/snap_checks.h"
#include "snapshot/snap_line_checks.h"
#include "snapshot/snap_lines.h"

using snap::all;
using snap::at_least_1;
using snap::column;
using snap::fits;
using snap::req;

namespace {

template <class A, class Walk> void stored(SnapStream& s, const char* label, A& a, int32_t n, Walk walk) {
    if (n <= 0) return;
    if (!s.writing()) fits(s, n, a);
    s.label(label, n);
    walk(n, all(a));
}

}  // namespace

void walk_storage(SnapStream& s) {
    StorageArrays& A = STORAGE;
    const auto R = [&s](int32_t n, auto at) { s.reals(n, at); };
    const auto I = [&s](int32_t n, auto at) { s.ints(n, at); };
    const auto L = [&s](int32_t n, auto at) { s.logicals(n, at); };
    const auto C = [&s](int32_t n, auto at) { s.complexes(n, at); };
    stored(s, "!STOL:", A.STOL, req(ND_STOL), L);
    stored(s, "!STOI:", A.STOI, req(ND_STOI), I);
    stored(s, "!STOF:", A.STOF, req(ND_STOF), R);
    stored(s, "!STOC:", A.STOC, req(ND_STOC), C);
    // The values delivered at set-up have no dimension line: their count
    // stands on the label alone.
    int32_t ndx = req(ND_DX);
    if (s.writing()) {
        stored(s, "!DX_ARRAY:", A.DX_ARRAY, ndx, R);
    } else if (s.label_count("!DX_ARRAY:", ndx, DIMENSION_BOUND)) {
        A.DX_ARRAY.allocate(ndx);
        DIMBLOCK.REQ[ND_DX] = DIMBLOCK.AVAIL[ND_DX] = ndx;
        s.reals(ndx, all(A.DX_ARRAY));
    }
    stored(s, "!STOR:", A.STOR, req(ND_STOR), R);
    stored(s, "!STORL:", A.STORL, req(ND_STORL), L);
    stored(s, "!STORI:", A.STORI, req(ND_STORI), I);
    stored(s, "!STORF:", A.STORF, req(ND_STORF), R);
    stored(s, "!STORC:", A.STORC, req(ND_STORC), C);
    stored(s, "!RTCL:", A.RTCL, req(ND_RTCL), L);
    stored(s, "!RTCI:", A.RTCI, req(ND_RTCI), I);
    stored(s, "!RTCF:", A.RTCF, req(ND_RTCF), R);
    stored(s, "!RTCC:", A.RTCC, req(ND_RTCC), C);
    stored(s, "!STXFRL:", A.STXFRL, req(ND_STXFRL), L);
    stored(s, "!STXFRI:", A.STXFRI, req(ND_STXFRI), I);
    stored(s, "!STXFRF:", A.STXFRF, req(ND_STXFRF), R);
    stored(s, "!STXFRC:", A.STXFRC, req(ND_STXFRC), C);
    stored(s, "!PGB:", A.PGB, DIMBLOCK.NPGBS, R);
}

void walk_node_map(SnapStream& s) {
    StorageArrays& A = STORAGE;
    s.label("! MAP ");
    // A block of integers, each read from lo to hi.
    const auto block = [&s](auto& a, int32_t n, int32_t lo = INT32_MIN, int32_t hi = INT32_MAX) {
        if (!s.writing()) fits(s, n, a);
        s.ints(n, all(a));
        if (!s.writing()) snap::within(s, a, n, lo, hi);
    };
    // The values sent at the end of a run and the control values: no run
    // leaves one that is not a number.
    const auto rblock = [&s](auto& a, int32_t n) {
        if (!s.writing()) fits(s, n, a);
        s.finite_reals(true);
        s.reals(n, all(a));
        s.finite_reals(false);
    };
    // NODE holds each page's subsystem beside its node numbers; the local
    // subsystems are numbered within their count, the radio links within TX.
    block(A.NODE, req(ND_NNODES), 0, std::max(DIMBLOCK.AVAIL[ND_NODES], DIMBLOCK.NSUBSYS));
    block(A.SUBS, req(ND_SUBSYSPAGE), 0, req(ND_SUBSYSPAGE));
    rblock(A.TX, req(ND_TX));
    block(A.TXRX, req(ND_TXRX), 0, DIMBLOCK.AVAIL[ND_TX]);
    rblock(A.CX, req(ND_CX));
    block(A.CXMAP, req(ND_CXMAP));
    // The channel list: its count, then the count again and the entries.
    int32_t& m = RUN_OUTPUT.mpgbs_count;
    s.labelled_counted_ints("! MPGBS: ", m, static_cast<int32_t>(A.MPGBS.extent(1)), all(A.MPGBS));
    const int32_t n = DIMBLOCK.NPGBS;
    s.label("! PGBNAME: ", n);
    if (!s.writing()) fits(s, n, A.PGBNAME);
    for (int32_t k = 1; k <= n; ++k) s.channel_name(A.PGBNAME(k));
    s.empty_line();
}

namespace {

// A labelled list of buses or branches of subsystem ss: each entry's
// number, ascending from 1 to hi, then its values in the given arrays; the
// reader requires `flagged`, when there is one, set for each entry.
void numbered_entries(SnapStream& s, const char* label, int32_t count, FArray2<int32_t>& list, int32_t ss, int32_t hi,
                      std::initializer_list<FArray2<double>*> arrays, const FArray2<Logical>* flagged) {
    s.label(label);
    for (int32_t k = 1; k <= count; ++k) {
        int32_t b = list(k, ss);
        s.scalar(b);
        if (!s.writing()) {
            s.check(b, k == 1 ? 1 : list(k - 1, ss) + 1, hi);
            list(k, ss) = b;
            if (flagged) s.require(is_true((*flagged)(b, ss)));
        }
        s.reals(static_cast<int32_t>(arrays.size()),
                [&](int32_t i) -> double& { return (*arrays.begin()[i - 1])(b, ss); });
    }
}

void walk_subsystem(SnapStream& s, int32_t ss) {
    NetworkTables& N = NET;
    int32_t number = ss;
    s.subsystem_heading(number);
    s.scalar(N.NBUSES(ss), " / Busses");
    s.scalar(N.NNORTON(ss), " / Norton buses");
    s.scalar(N.NBRANCHES(ss), " / Branches");
    s.scalar(N.NSWITCH(ss), " / Switches");
    s.scalar(XFMR_TABLES.XF_NSS(ss), " / Transformers");
    s.flag(N.IDEALSS(ss), " / Ideal Subsystem?");
    s.scalar(N.MXINV(ss), " / Start Node for Triang.");
    const int32_t n = N.NBUSES(ss), m = N.NBRANCHES(ss);
    const SsView<double> gm = SSDESC_RA(ss);
    const SsView<int8_t> pat = SSDESC_IA(ss);
    if (!s.writing()) {
        s.check(n, 0, static_cast<int32_t>(std::min<int64_t>({N.VNODE.extent(1), gm.n1, gm.n2, pat.n1, pat.n2})));
        s.check(N.NNORTON(ss), 0, n);
        fits(s, m, N.CBR);
        s.check(N.NSWITCH(ss), 0, m);
        s.check(XFMR_TABLES.XF_NSS(ss), 0, req(ND_TRAFOS));
        s.check(N.MXINV(ss), 0, n + 1);
        N.NBRANCHES_SOL(ss) = m;
    }

    if (N.NNORTON(ss) > 0)
        numbered_entries(s, "!*** Norton buses", N.NNORTON(ss), N.NORBUS, ss, n, {&N.CNORD, &N.GNORD}, nullptr);

    s.label("!*** General node data");
    for (auto* a : {&N.VNODE, &N.CNOR, &N.GNOR, &N.CHIST, &N.TLINJ, &N.CHISTD}) s.reals(n, column(*a, ss));
    // Every step ends with the previous line injections equal to these.
    if (!s.writing())
        for (int32_t i = 1; i <= n; ++i) N.TLINJ_OLD(i, ss) = N.TLINJ(i, ss);

    s.label("!*** Sparsity information");
    // The starts and ends of each row, then the columns they list.
    const auto lists = [&](FArray2<int32_t>& start, FArray2<int32_t>& end, FArray2<int32_t>& col,
                           void (*check)(SnapStream&, int32_t, int32_t)) {
        s.ints(2 * n, [&](int32_t i) -> int32_t& { return i <= n ? start(i, ss) : end(i - n, ss); });
        const int32_t count = n > 0 ? end(n, ss) : 0;
        if (!s.writing()) fits(s, count, col);
        s.ints(std::max(count, 0), column(col, ss));
        if (!s.writing()) check(s, ss, n);
    };
    lists(N.LOWSTART, N.LOWEND, N.LOWCOL, check_lower_lists);
    lists(N.UPSTART, N.UPEND, N.UPCOL, check_upper_lists);

    s.label("!*** Sparsity matrix");
    for (int32_t i = 1; i <= n; ++i) s.bits(n, &pat(i, 1), pat.n1);
    s.label("!*** Node conductances [GM]");
    for (int32_t i = 1; i <= n; ++i)
        for (int32_t j = 1; j <= n; ++j)
            if ((pat(i, j) & 1) != 0) s.reals(1, [&](int32_t) -> double& { return gm(i, j); });

    if (m > 0) {
        s.label("!*** Branch data");
        const std::array<std::pair<const char*, FArray2<double>*>, 23> reals{{
            {"!CBR", &N.CBR}, {"!CCBR", &N.CCBR}, {"!CCBRD", &N.CCBRD}, {"!EBR", &N.EBR}, {"!EBRD", &N.EBRD},
            {"!GEQ", &N.GEQ}, {"!GEQD", &N.GEQD}, {"!RLG", &N.RLG}, {"!RCG", &N.RCG}, {"!RCL", &N.RCL},
            {"!RSC", &N.RSC}, {"!RSL", &N.RSL}, {"!CCL", &N.CCL}, {"!CCLD", &N.CCLD}, {"!CCC", &N.CCC},
            {"!CCCD", &N.CCCD}, {"!G2L", &N.G2L}, {"!G2C", &N.G2C}, {"!V12L", &N.V12L}, {"!V20L", &N.V20L},
            {"!BRANCH_R", &N.BRANCH_R}, {"!BRANCH_L", &N.BRANCH_L}, {"!BRANCH_C", &N.BRANCH_C}}};
        for (const auto& [label, a] : reals) {
            s.label(label);
            s.reals(m, column(*a, ss));
        }
        using Check = void (*)(SnapStream&, int32_t, int32_t, int32_t);
        const std::array<std::tuple<const char*, FArray2<int32_t>*, Check>, 4> ints{
            {{"!IEF", &N.IEF, check_from_nodes},
             {"!IET", &N.IET, check_to_nodes},
             {"!THISBR", &N.THISBR, check_record_positions},
             {"!IORV", &N.IORV, nullptr}}};
        for (const auto& [label, a, check] : ints) {
            s.label(label);
            s.ints(m, column(*a, ss));
            if (!s.writing() && check) check(s, ss, n, m);
        }
        const std::array<std::pair<const char*, FArray2<Logical>*>, 9> flags{
            {{"!RESISTOR", &N.RESISTOR}, {"!INDUCTOR", &N.INDUCTOR}, {"!CAPACITR", &N.CAPACITR},
             {"!SOURCE", &N.SOURCE}, {"!SWITCH", &N.SWITCH}, {"!IDEALBR", &N.IDEALBR}, {"!OPENBR", &N.OPENBR},
             {"!DEFRDBR", &N.DEFRDBR}, {"!FLIPIDLBR", &N.FLIPIDLBR}}};
        for (const auto& [label, a] : flags) {
            s.label(label);
            s.logicals(m, column(*a, ss));
            if (!s.writing() && a == &N.SWITCH) check_switch_flags(s, ss, m);
        }
    }

    if (N.NSWITCH(ss) > 0)
        numbered_entries(s, "!*** SWITCHING BRANCH DATA", N.NSWITCH(ss), N.SWLIST, ss, m,
                         {&N.TSWITCH, &N.EON, &N.EOFF, &N.GON, &N.GOFF, &N.SWVAL}, &N.SWITCH);
}

void walk_transformers(SnapStream& s) {
    XfmrTables& X = XFMR_TABLES;
    if (!s.writing()) X.XF_COUNT = req(ND_TRAFOS);
    if (X.XF_COUNT <= 0) return;
    if (!s.writing()) fits(s, X.XF_COUNT, X.XF_NWDG);
    s.label("!*** TRANSFORMER DATA");
    for (int32_t t = 1; t <= X.XF_COUNT; ++t) {
        s.ints(2, [&](int32_t i) -> int32_t& { return i == 1 ? X.XF_NWDG(t) : X.XF_SUBSYS(t); });
        if (!s.writing()) check_transformer_head(s, t);
        const int32_t w = X.XF_NWDG(t);
        for (auto* a : {&X.XF_NODE1, &X.XF_NODE2}) s.ints(w, column(*a, t));
        if (!s.writing()) check_winding_nodes(s, t);
        for (auto* a : {&X.XF_HNEW, &X.XF_HOLD, &X.XF_CUR, &X.XF_IMAG, &X.XF_IMAGOLD, &X.XF_VW, &X.XF_VWOLD})
            s.reals(w, column(*a, t));
        FArray1<double>* core[] = {&X.XF_CORE1, &X.XF_CORE2, &X.XF_CORE3, &X.XF_CORE4,
                                   &X.XF_CORE5, &X.XF_CORE6, &X.XF_CORE7, &X.XF_CORE8};
        s.reals(8, [&](int32_t i) -> double& { return (*core[i - 1])(t); });
        for (auto* a : {&X.XF_WDGC1, &X.XF_WDGC2}) s.reals(w, column(*a, t));
        for (auto* a : {&X.XF_BFLUX, &X.XF_BFLUXOLD}) {
            s.reals(8, [&](int32_t i) -> double& { return (*a)(i, t); });
            s.reals(8, [&](int32_t i) -> double& { return (*a)(8 + i, t); });
            s.reals(7, [&](int32_t i) -> double& { return (*a)(16 + i, t); });
        }
        for (auto* a : {&X.XF_BHX, &X.XF_BHY}) {
            s.reals(5, [&](int32_t i) -> double& { return (*a)(i, t); });
            s.reals(5, [&](int32_t i) -> double& { return (*a)(5 + i, t); });
        }
        // The ramp flag is set anew by every ramp call; the form code is not,
        // and stands in its place.
        FArray1<int32_t>* flags[] = {&X.XF_SATON, &X.XF_COREOPT, &X.XF_NBR, &X.XF_CORETYPE, &X.XF_KIND};
        s.ints(5, [&](int32_t i) -> int32_t& { return (*flags[i - 1])(t); });
        if (!s.writing()) check_transformer_form(s, t);
        s.ints(23, column(X.XF_SEGST, t));
        if (!s.writing()) check_segment_flags(s, t);
        for (int32_t k = 1; k <= w; ++k)
            for (auto* a : {&X.XF_RES, &X.XF_LTERM, &X.XF_GEQ, &X.XF_HIST})
                s.reals(w, [&](int32_t i) -> double& { return (*a)(i, k, t); });
    }
    if (!s.writing()) check_transformer_counts(s);
}

}  // namespace

void walk_network(SnapStream& s) {
    for (int32_t ss = 1; ss <= DIMBLOCK.NSUBSYS; ++ss) walk_subsystem(s, ss);
    walk_transformers(s);
}

void walk_lines_and_changes(SnapStream& s) {
    LineTables& T = LINE_TABLES;
    walk_line_models(s);

    const int32_t nr = req(ND_TLINES_TOTAL);
    if (nr > 0) {
        const int32_t rows = std::max(nr, 1);
        const int32_t nc = at_least_1(ND_MAXMODES);
        if (!s.writing()) {
            fits(s, rows, T.TLINE_REC);
            fits(s, nc, T.TLGMAT);
            fits(s, rows, T.TLGMAT, 3);
        }
        for (int32_t r = 1; r <= rows; ++r)
            s.ints(tlrec::SLOTS, [&](int32_t i) -> int32_t& { return T.TLINE_REC(r, i); });
        if (!s.writing()) check_line_records(s, rows);
        for (int32_t r = 1; r <= rows; ++r)
            for (int32_t k = 1; k <= nc; ++k) s.reals(nc, [&](int32_t i) -> double& { return T.TLGMAT(i, k, r); });
        s.ints(2, [&](int32_t i) -> int32_t& { return i == 1 ? LINE_COUNTS.NENISRV : LINE_COUNTS.NENICLI; });
        if (!s.writing()) {
            s.check(LINE_COUNTS.NENISRV, 0, req(ND_ENI_SERVERS));
            s.check(LINE_COUNTS.NENICLI, 0, req(ND_ENI_CLIENTS));
            check_eni_counts(s, rows);
        }
        for (int32_t r = 1; r <= rows; ++r) s.name(T.TLNAME(r));
        int32_t r = 0;
        for (int32_t c = 1; c <= LINE_COUNTS.NENICLI; ++c) {
            do ++r;
            while (r <= rows && T.TLINE_REC(r, tlrec::ROLE) != tlrec::ROLE_CLIENT);
            if (r > rows) s.fail(false);
            int32_t nk = T.TLINE_REC(r, tlrec::NCOND);
            s.counted_pair(T.ENI_CLI_SS(c), nk, static_cast<int32_t>(T.ENI_CLI_NODES.extent(1)),
                           [&](int32_t i) -> int32_t& { return T.ENI_CLI_NODES(i, c); });
            if (!s.writing()) {
                s.check(nk, T.TLINE_REC(r, tlrec::NCOND), T.TLINE_REC(r, tlrec::NCOND));
                check_eni_client(s, c, nk);
            }
        }
    }
    if (req(ND_CSCS) > 0) {
        if (!s.writing()) fits(s, req(ND_CSCS), T.TLCS_SEND);
        s.reals(req(ND_CSCS), all(T.TLCS_SEND));
    }
    if (req(ND_CSCR) > 0) {
        if (!s.writing()) fits(s, req(ND_CSCR), T.TLCS_RECV);
        s.reals(req(ND_CSCR), all(T.TLCS_RECV));
    }

    BranchChangeList& B = BRCHANGE_LIST;
    s.ints(1, [&](int32_t) -> int32_t& { return B.count; });
    if (!s.writing()) s.check(B.count, 0, BRCHANGE_MAX);
    if (B.count <= 0) return;
    s.label("!*** HARMONIC SOLUTION DATA");
    for (int c = 1; c <= 8; ++c) s.ints(B.count, [&](int32_t r) -> int32_t& { return B.icol(c, r); });
    if (!s.writing()) check_branch_changes(s);
    for (int c = 1; c <= 5; ++c) s.reals(B.count, [&](int32_t r) -> double& { return B.rcol(c, r); });
}

void ask_eni_ports() {
    LineTables& T = LINE_TABLES;
    const int32_t rows = req(ND_TLINES_TOTAL);
    int32_t server = 0, client = 0;
    for (int32_t r = 1; r <= rows; ++r) {
        const int32_t role = T.TLINE_REC(r, tlrec::ROLE);
        if (role != tlrec::ROLE_SERVER && role != tlrec::ROLE_CLIENT) continue;
        const bool is_server = role == tlrec::ROLE_SERVER;
        const int32_t k = is_server ? ++server : ++client;
        const int32_t slot = is_server ? k : LINE_COUNTS.NENISRV + k;
        FArray1<int32_t>& ports = is_server ? T.ENI_SRV_PORT : T.ENI_CLI_PORT;
        if (!T.ENI_HOST.in_range(slot) || !ports.in_range(k)) {
            USERMSG(0, 0, 2, 1, "ZARIK: Error while reading snap file");
            ABORT_RUN("READSNP", 0);
        }
        T.ENI_HOST(slot) = "localhost";
        write_list(UNIT_CONSOLE_OUT, {is_server ? "Enter port number for ENI server " : "Enter port number for ENI client ",
                                      T.TLNAME(r).trimmed()});
        ListRead in(UNIT_CONSOLE_IN);
        in.integer(ports(k));
        if (!in.ok()) {
            USERMSG(0, 0, 2, 1, "No port number for ENI line " + T.TLNAME(r).trimmed());
            ABORT_RUN("READSNP", 0);
        }
    }
}
