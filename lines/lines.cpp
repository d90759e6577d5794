#include "lines/lines.h"

#include <algorithm>

#include "engine/run_state.h"
#include "lines/frephase.h"
#include "lines/line_record.h"
#include "lines/line_tables.h"
#include "lines/mfdtd.h"
#include "lines/modal_step.h"
#include "network/dimensions.h"
#include "network/network_tables.h"

LineCounts LINE_COUNTS;

int32_t tlines_total() {
    return static_cast<int32_t>(
        std::clamp<int64_t>(DIMBLOCK.REQ[ND_TLINES_TOTAL], 0, LINE_TABLES.TLINE_REC.extent(1)));
}

bool signal_runs_fit(int32_t role, const int32_t (&end1)[4], const int32_t (&end2)[4]) {
    const int64_t cscs = LINE_TABLES.TLCS_SEND.size(), cscr = LINE_TABLES.TLCS_RECV.size();
    const auto fits = [](int32_t start, int32_t count, int64_t size) {
        return count == 0 || (count > 0 && start >= 1 && int64_t{start} + count - 1 <= size);
    };
    if (role == tlrec::ROLE_LOCAL)
        return fits(end1[2], end1[3], cscr) && fits(end2[0], end1[3], cscs) && fits(end2[2], end2[3], cscr) &&
               fits(end1[0], end2[3], cscs);
    return fits(end1[0], end1[1], cscs) && fits(end1[2], end1[3], cscr);
}

void TLSTEP() {
    ENI_CLI2SRV();
    TLEXCH_LOCAL();
    NET.TLINJ.fill(0.0);
    if (LINE_COUNTS.NTLMODAL > 0) TLSTEP_MODAL();
    if (LINE_COUNTS.NTLPHASE > 0) TLSTEP_PHASE();
    if (LINE_COUNTS.NTLMFDTD > 0) TLSTEP_MFDTD();
    ENI_SRV2CLI();
    // A run from data interpolates nothing across its first step.
    if (is_true(RUN_FLAGS.FIRST_STEP_DATA) && NET.TLINJ_OLD.size() == NET.TLINJ.size())
        std::copy(NET.TLINJ.data(), NET.TLINJ.data() + NET.TLINJ.size(), NET.TLINJ_OLD.data());
}

void TLEXCH_LOCAL() {
    LineTables& L = LINE_TABLES;
    const int32_t rows = tlines_total();
    for (int32_t row = 1; row <= rows; ++row) {
        if (L.TLINE_REC(row, tlrec::ROLE) != tlrec::ROLE_LOCAL) continue;
        const auto copy = [&](int recv_slot, int send_slot) {
            const int32_t to = L.TLINE_REC(row, recv_slot), from = L.TLINE_REC(row, send_slot);
            for (int32_t i = 1; i <= L.TLINE_REC(row, recv_slot + 1); ++i)
                L.TLCS_RECV(to + i - 1) = L.TLCS_SEND(from + i - 1);
        };
        copy(tlrec::RECV1, tlrec::SEND2);
        copy(tlrec::RECV2, tlrec::SEND1);
    }
}

namespace {

// A row's conductors, end subsystems and end-node lists, from its family.
struct RowEnds {
    int32_t n = 0, ss1 = 0, ss2 = 0, ofs = 0;  // conductor j at ofs + j
    const FArray1<int32_t>* node1 = nullptr;
    const FArray1<int32_t>* node2 = nullptr;
};

RowEnds row_ends(int32_t row) {
    const LineTables& L = LINE_TABLES;
    const int32_t kind = L.TLINE_REC(row, tlrec::KIND), f = L.TLINE_REC(row, tlrec::FAMILY);
    const int32_t ofs = L.TLINE_REC(row, tlrec::OFFSET);
    switch (kind) {
    case tlrec::KIND_BERGERON:
    case tlrec::KIND_FREDEP:
        return {L.TLM_NCOND(f), L.TLM_SS1(f), L.TLM_SS2(f), ofs, &L.TLM_NODE1, &L.TLM_NODE2};
    case tlrec::KIND_FREPHASE:
        return {L.PH_NCOND(f), L.PH_SS1(f), L.PH_SS2(f), ofs, &L.PH_NODE1, &L.PH_NODE2};
    case tlrec::KIND_MFDTD:
        return {L.TLD_NCOND(f), L.TLD_SS1(f), L.TLD_SS2(f), ofs, &L.TLD_NODE1, &L.TLD_NODE2};
    default:
        return {L.TLINE_REC(row, tlrec::NCOND), 0, 0, 0, nullptr, nullptr};
    }
}

// Whether the end's subsystem and nodes are in the voltage table.
bool end_fits(int32_t ss, const int32_t* node, int32_t n, int64_t nodes, int64_t subsystems) {
    if (ss < 1 || ss > subsystems) return false;
    for (int32_t j = 0; j < n; ++j)
        if (node[j] < 1 || node[j] > nodes) return false;
    return true;
}

// Adds G times the end voltages to one end's currents: the voltage of
// node a at v[a - 1], conductor c's current at i[c - 1].
void add_conductance(const double* g, int64_t rows, int32_t n, const double* v, const int32_t* node, double* i) {
    for (int32_t c = 0; c < n; ++c)
        for (int32_t j = 0; j < n; ++j) i[c] += v[node[j] - 1] * g[j * rows + c];
}

}  // namespace

void TLPOST() {
    LineTables& L = LINE_TABLES;
    const FArray2<double>& v = NET.VNODE;
    const int64_t nodes = v.extent(1), subsystems = v.extent(2), width = L.TLGMAT.extent(1);
    const int32_t rows = tlines_total();
    int32_t client = 0;
    for (int32_t row = 1; row <= rows; ++row) {
        const int32_t kind = L.TLINE_REC(row, tlrec::KIND), role = L.TLINE_REC(row, tlrec::ROLE);
        if (role == tlrec::ROLE_CLIENT) ++client;
        if (kind == tlrec::KIND_BERGERON && L.TLINE_REC(row, tlrec::FAMILY) == 0) continue;  // no entry filled it
        const RowEnds e = row_ends(row);
        const bool fits = e.n >= 1 && e.n <= width && e.n <= L.TLCUR.extent(1) && row <= L.TLCUR.extent(3) &&
                          row <= L.TLGMAT.extent(3);
        if (!fits) continue;
        const double* g = &L.TLGMAT(1, 1, row);
        double* i1 = &L.TLCUR(1, 1, row);
        double* i2 = &L.TLCUR(1, 2, row);
        if (role == tlrec::ROLE_CLIENT) {
            if (!L.ENI_CLI_SS.in_range(client) || e.n > L.ENI_CLI_NODES.extent(1)) continue;
            const int32_t ss = L.ENI_CLI_SS(client);
            const int32_t* node = &L.ENI_CLI_NODES(1, client);
            if (!end_fits(ss, node, e.n, nodes, subsystems)) continue;
            add_conductance(g, width, e.n, &v(1, ss), node, i1);
            continue;
        }
        if (!e.node1->in_range(int64_t{e.ofs} + 1) || !e.node1->in_range(int64_t{e.ofs} + e.n)) continue;
        const int32_t* node1 = &(*e.node1)(e.ofs + 1);
        const int32_t* node2 = &(*e.node2)(e.ofs + 1);
        if (!end_fits(e.ss1, node1, e.n, nodes, subsystems)) continue;
        add_conductance(g, width, e.n, &v(1, e.ss1), node1, i1);
        if (role != tlrec::ROLE_LOCAL || !end_fits(e.ss2, node2, e.n, nodes, subsystems)) continue;
        add_conductance(g, width, e.n, &v(1, e.ss2), node2, i2);
    }
}
