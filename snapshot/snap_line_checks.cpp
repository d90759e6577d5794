#include "snapshot/snap_line_checks.h"

#include <algorithm>
#include <vector>

#include "lines/line_record.h"
#include "lines/line_tables.h"
#include "lines/lines.h"
#include "network/dimensions.h"
#include "snapshot/snap_checks.h"

namespace {

bool subsystem(int32_t ss) { return ss >= 1 && ss <= DIMBLOCK.NSUBSYS; }

// The most conductors a line record's tables hold.
int64_t record_width() { return std::min(LINE_TABLES.TLGMAT.extent(1), LINE_TABLES.TLCUR.extent(1)); }

// Conductors j = 1..n of a line whose end nodes stand at offset + j: each
// end's nodes in its subsystem, coupled there by the line's conductance.
bool ends_fit(const FArray1<int32_t>& node1, const FArray1<int32_t>& node2, int64_t offset, int32_t n, int32_t ss1,
              int32_t ss2) {
    std::vector<int32_t> end1, end2;
    for (int32_t j = 1; j <= n; ++j) {
        end1.push_back(node1(offset + j));
        end2.push_back(node2(offset + j));
        if (!node_of(end1.back(), ss1, false) || !node_of(end2.back(), ss2, false)) return false;
    }
    return coupled(ss1, end1) && coupled(ss2, end2);
}

// The families of the line records: modal, phase-domain and MFDTD lines.
enum Family { kModal, kPhase, kMfdtd };

Family family_of(int32_t kind) {
    return kind == tlrec::KIND_FREPHASE ? kPhase : kind == tlrec::KIND_MFDTD ? kMfdtd : kModal;
}

int32_t conductors(Family f, int32_t line) {
    const LineTables& L = LINE_TABLES;
    return f == kModal ? L.TLM_NCOND(line) : f == kPhase ? L.PH_NCOND(line) : L.TLD_NCOND(line);
}

}  // namespace

void check_modal_lines(SnapStream& s, int32_t nl) {
    const LineTables& L = LINE_TABLES;
    for (int32_t l = 1; l <= nl; ++l) {
        const int32_t kind = L.TLM_KIND(l);
        s.require(subsystem(L.TLM_SS1(l)) && subsystem(L.TLM_SS2(l)) && L.TLM_NCOND(l) >= 1 &&
                  L.TLM_NCOND(l) <= record_width() && (kind == tlrec::KIND_BERGERON || kind == tlrec::KIND_FREDEP));
    }
}

void check_modal_modes(SnapStream& s, int32_t nl, const std::array<int32_t, 6>& d) {
    const LineTables& L = LINE_TABLES;
    int64_t modes = 0, transforms = 0, slots = 0, propagation = 0, surge = 0;
    for (int32_t l = 1; l <= nl; ++l) {
        const int32_t n = L.TLM_NCOND(l);
        transforms += int64_t{n} * n;
        s.require(modes + n <= d[5] && transforms <= d[1] && ends_fit(L.TLM_NODE1, L.TLM_NODE2, modes, n,
                                                                       L.TLM_SS1(l), L.TLM_SS2(l)));
        for (int64_t i = modes + 1; i <= modes + n; ++i) {
            const int32_t delay = L.TLM_DELAY(i), at = L.TLM_BUFPOS(i);
            s.require(delay >= 1 && at >= 1 && at <= delay && L.TLM_NPPROP(i) >= 0 && L.TLM_NPSURGE(i) >= 0);
            slots += delay;
            propagation += L.TLM_NPPROP(i);
            surge += L.TLM_NPSURGE(i);
        }
        modes += n;
    }
    s.require(slots <= d[0] && propagation <= d[4] && surge <= d[3]);
}

void check_phase_lines(SnapStream& s, int32_t np) {
    const LineTables& L = LINE_TABLES;
    const int64_t most_conductors = std::min({record_width(), L.PH_G.extent(1), L.PH_HS1.extent(1)});
    const int64_t most_groups = std::min({L.PH_DELAY.extent(1), L.PH_RIDX.extent(2), L.PH_XO1.extent(2)});
    for (int32_t p = 1; p <= np; ++p) {
        const int32_t nc = L.PH_NCOND(p), ng = L.PH_NMODES(p), len = L.PH_BUFLEN(p), w = L.PH_WIDX(p);
        s.require(subsystem(L.PH_SS1(p)) && subsystem(L.PH_SS2(p)) && nc >= 1 && nc <= most_conductors && ng >= 0 &&
                  ng <= most_groups && len >= 0 && (ng > 0 || len == 0) && w >= 0 && w <= int64_t{len} + 1);
    }
}

void check_phase_nodes(SnapStream& s, int32_t np, int32_t npx) {
    const LineTables& L = LINE_TABLES;
    int64_t offset = 0;
    for (int32_t p = 1; p <= np; ++p) {
        const int32_t nc = L.PH_NCOND(p);
        s.require(offset + nc <= npx && ends_fit(L.PH_NODE1, L.PH_NODE2, offset, nc, L.PH_SS1(p), L.PH_SS2(p)));
        offset += nc;
    }
}

void check_phase_groups(SnapStream& s, int32_t p) {
    const LineTables& L = LINE_TABLES;
    const int32_t len = L.PH_BUFLEN(p), w = L.PH_WIDX(p);
    int32_t longest = 0;
    for (int32_t g = 1; g <= L.PH_NMODES(p); ++g) {
        const int32_t delay = L.PH_DELAY(g, p);
        s.require(delay >= 1 && delay <= len);
        // Each step reads its delay behind the slot it writes, around the
        // buffer; before the first step every group reads slot 2.
        int64_t read = int64_t{w} - delay + 1;
        if (read < 1) read += int64_t{len} + 1;
        s.require(L.PH_RIDX(p, g) == (w == 0 ? 2 : read));
        longest = std::max(longest, delay);
    }
    s.require(longest == len);
}

void check_phase_totals(SnapStream& s, int32_t np, const std::array<int32_t, 5>& counts) {
    const LineTables& L = LINE_TABLES;
    int64_t rh = 0, ry = 0, sh = 0, h0 = 0, wb = 0;
    for (int32_t p = 1; p <= np; ++p) {
        const int64_t nc = L.PH_NCOND(p);
        for (int32_t i = 1; i <= nc; ++i) ry += L.PH_NYPOLE(i, p) * nc;
        for (int32_t g = 1; g <= L.PH_NMODES(p); ++g) {
            const int64_t poles = L.PH_NHPOLE(g, p);
            h0 += nc * nc;
            rh += nc * nc * poles;
            sh += nc * poles;
        }
        wb += nc * (int64_t{L.PH_BUFLEN(p)} + 1);
    }
    s.require(rh <= counts[0] && ry <= counts[1] && sh <= counts[2] && h0 <= counts[3] && wb <= counts[4]);
}

void check_mfdtd_lines(SnapStream& s, int32_t nm, int32_t cn) {
    const LineTables& L = LINE_TABLES;
    const int64_t most = std::min({record_width(), L.TLD_G2.extent(1), L.TLD_V.extent(1), L.TLD_WHIST.size()});
    int64_t offset = 0;
    for (int32_t k = 1; k <= nm; ++k) {
        const int32_t n = L.TLD_NCOND(k);
        s.require(subsystem(L.TLD_SS1(k)) && subsystem(L.TLD_SS2(k)) && n >= 1 && n <= most && offset + n <= cn &&
                  ends_fit(L.TLD_NODE1, L.TLD_NODE2, offset, n, L.TLD_SS1(k), L.TLD_SS2(k)));
        offset += n;
    }
}

void check_mfdtd_line(SnapStream& s, int32_t l) {
    const LineTables& L = LINE_TABLES;
    s.check(L.TLD_NPOLE(l), 0, static_cast<int32_t>(L.TLD_POLE.extent(1)));
    // A line of ns segments has ns + 1 boundaries.
    s.check(L.TLD_NSEG(l), 1, static_cast<int32_t>(std::min(L.TLD_V.extent(2), L.TLD_WVNEW.extent(2))) - 1);
}

void check_line_records(SnapStream& s, int32_t rows) {
    const LineTables& L = LINE_TABLES;
    const LineCounts& C = LINE_COUNTS;
    const int32_t lines[] = {C.NTLMODAL, C.NTLPHASE, C.NTLMFDTD};
    // Each family's lines come in order, their end nodes one after another.
    int32_t met[] = {0, 0, 0};
    int64_t offset[] = {0, 0, 0};
    for (int32_t r = 1; r <= rows; ++r) {
        const auto at = [&](int slot) { return L.TLINE_REC(r, slot); };
        const int32_t kind = at(tlrec::KIND), role = at(tlrec::ROLE), n = at(tlrec::NCOND);
        s.require(role >= tlrec::ROLE_LOCAL && role <= tlrec::ROLE_CLIENT && kind >= tlrec::KIND_CLIENT &&
                  kind <= tlrec::KIND_MFDTD && (kind == tlrec::KIND_CLIENT) == (role == tlrec::ROLE_CLIENT) &&
                  !(kind == tlrec::KIND_MFDTD && role == tlrec::ROLE_SERVER));
        const int32_t end1[4] = {at(tlrec::SEND1), at(tlrec::SEND1 + 1), at(tlrec::RECV1), at(tlrec::RECV1 + 1)};
        const int32_t end2[4] = {at(tlrec::SEND2), at(tlrec::SEND2 + 1), at(tlrec::RECV2), at(tlrec::RECV2 + 1)};
        s.require(signal_runs_fit(role, end1, end2));
        // An ENI end has no far end here: its second end moves nothing.
        if (role != tlrec::ROLE_LOCAL) s.require(end2[0] == 1 && end2[1] == 0 && end2[2] == 1 && end2[3] == 0);
        if (kind == tlrec::KIND_CLIENT) {
            s.require(at(tlrec::FAMILY) == 0 && at(tlrec::OFFSET) == 0 && n >= 0 && n <= record_width() &&
                      n <= L.ENI_CLI_NODES.extent(1));
            continue;
        }
        const Family f = family_of(kind);
        const int32_t line = ++met[f];
        s.require(line <= lines[f] && at(tlrec::FAMILY) == line && at(tlrec::OFFSET) == offset[f] &&
                  n == conductors(f, line) && (f != kModal || L.TLM_KIND(line) == kind));
        offset[f] += n;
    }
    for (int f = kModal; f <= kMfdtd; ++f) s.require(met[f] == lines[f]);
}

void check_eni_counts(SnapStream& s, int32_t rows) {
    int32_t servers = 0, clients = 0;
    for (int32_t r = 1; r <= rows; ++r) {
        const int32_t role = LINE_TABLES.TLINE_REC(r, tlrec::ROLE);
        if (role == tlrec::ROLE_SERVER) ++servers;
        if (role == tlrec::ROLE_CLIENT) ++clients;
    }
    s.require(servers == LINE_COUNTS.NENISRV && clients == LINE_COUNTS.NENICLI);
}

void check_eni_client(SnapStream& s, int32_t c, int32_t n) {
    const LineTables& L = LINE_TABLES;
    const int32_t ss = L.ENI_CLI_SS(c);
    s.require(subsystem(ss));
    for (int32_t j = 1; j <= n; ++j) s.require(node_of(L.ENI_CLI_NODES(j, c), ss, false));
}
