// The line section reader: the entries of "TLINES:" and "GLOBAL_TLINES:",
// their header records, the checks on conductors, subsystems and nodes,
// the ENI client ends, and the hand-over to the kinds' numeric blocks.
#include "lines/line_section.h"

#include <algorithm>
#include <string>

#include "engine/abort.h"
#include "engine/messages.h"
#include "engine/run_state.h"
#include "engine/storage.h"
#include "lines/line_record.h"
#include "lines/line_tables.h"
#include "lines/lines.h"
#include "lines/modal_setup.h"
#include "network/dimensions.h"
#include "network/line_reader.h"
#include "network/map_sections.h"
#include "network/network_tables.h"
#include "network/node_numbering.h"
#include "platform/list_read.h"

namespace {

const char* const kDslint = "DSLINT";

void console(FValues values) { write_list(UNIT_CONSOLE_OUT, values); }

[[noreturn]] void stop(FValues lines) {
    console(lines);
    ABORT_RUN(kDslint, 1);
}

bool in_line_section() { return INPUT.SECTION_KEY == "TLINES:" || INPUT.SECTION_KEY == "GLOBAL_TLINES:"; }

bool starts_with_any(std::string_view record, size_t n, std::initializer_list<std::string_view> forms) {
    if (record.size() < n) return false;
    for (std::string_view f : forms)
        if (record.substr(0, n) == f) return true;
    return false;
}

// One record whole, the first 200 characters kept.
void read_text(LineEntry& e, Text200& into) {
    std::string rec;
    const ReadStatus st = unit_read_line(INPUT.INPUT_UNIT, rec);
    if (st == ReadStatus::End) DSLINT_END_OF_FILE(e);
    if (st == ReadStatus::Error) DSLINT_READ_ERROR(e);
    into.assign(rec);
    INPUT.DATA_LINE.assign(rec);
}

void check_read(const LineEntry& e, const ListRead& in) {
    if (in.status() == ReadStatus::End) DSLINT_END_OF_FILE(e);
    if (in.status() == ReadStatus::Error) DSLINT_READ_ERROR(e);
}

// An end record: the subsystem, the conductors' nodes, the four
// control-signal integers. A conductor count out of range reads no nodes;
// the count's own check ends the run before they are used.
void read_end(LineEntry& e, int32_t& ss, std::vector<int32_t>& nodes, int32_t (&csc)[4], int32_t count) {
    ListRead in(INPUT.INPUT_UNIT);
    in.integer(ss);
    nodes.assign(static_cast<size_t>(count), 0);
    for (int32_t& k : nodes) in.integer(k);
    for (int32_t& c : csc) in.integer(c);
    check_read(e, in);
}

void read_header(LineEntry& e) {
    RDCMNT();
    e.saved[0] = INPUT.DATA_LINE;
    {
        ListRead in(INPUT.INPUT_UNIT);
        in.integer(e.n).integer(e.role);
        check_read(e, in);
    }
    const int32_t count = e.n >= 0 && e.n <= DIMBLOCK.AVAIL[ND_MAXMODES] ? e.n : 0;
    RDCMNT();
    e.saved[1] = INPUT.DATA_LINE;
    read_end(e, e.s1, e.node1, e.csc1, count);
    if (e.role == tlrec::ROLE_LOCAL) {
        RDCMNT();
        e.saved[2] = INPUT.DATA_LINE;
        read_end(e, e.s2, e.node2, e.csc2, count);
    } else {
        // An ENI end has one end record: the far end is the same one.
        e.saved[2] = e.saved[1];
        e.s2 = e.s1;
        e.node2 = e.node1;
        e.csc2[0] = e.csc2[2] = 1;
        e.csc2[1] = e.csc2[3] = 0;
    }

    RDCMNT();
    Text200 rec;
    read_text(e, rec);
    if (rec.sub(1, 16) == "TLINE-INPUT-DATA") e.input_name.assign(rec.sub(19, 200));

    RDCMNT();
    read_text(e, e.record);
    if (e.record.sub(1, 17) == "TLINE-OUTPUT-DATA") {
        e.output_name.assign(e.record.sub(19, 200));
        if (e.role != tlrec::ROLE_CLIENT) {
            INPUT.DATA_FILE_NAME.assign(e.output_name.sub(1, 72));
            OPENFILE1(1);
            e.file_open = true;
            RDCMNT();
            read_text(e, e.record);
        }
    } else if (e.role == tlrec::ROLE_CLIENT) {
        DSLINT_READ_ERROR(e);  // a client end names its partner's file, nothing else
    }

    const std::string_view name = e.output_name.sub(1, 182);
    const size_t dot = name.find('.');
    const size_t p = dot == std::string_view::npos ? 183 : dot + 1;
    std::string shown(1, '\'');
    shown.append(name.substr(0, p - 1)).push_back('\'');
    e.display_name.assign(shown);
    e.display_length = static_cast<int32_t>(p + 1);
}

// Message n after the entry's name, about the line made current.
void line_message(const LineEntry& e, const Text72& line, int32_t n, int32_t k1, int32_t k2 = 0, int32_t k3 = 0) {
    INPUT.DATA_LINE = line;
    DSLINT_SHOW_NAME(e);
    OUTMSG(n, k1, k2, k3, 0.0, 0.0, CURLINE());
}

[[noreturn]] void invalid_nodes(const LineEntry& e) {
    DSLINT_SHOW_NAME(e);
    for (const char* s : {"DSLINT: ERROR!", "Invalid Node Numbers at terminations of a", "Transmission Line or Cable!",
                          "If you want a line or cable connection to", "be grounded, use a small resistance (do not",
                          "connect a line/cable directly to ground)!"})
        console({s});
    OUTMSG(39, LINE_COUNTS.NTLMODAL + 1, 0, 0, 0.0, 0.0, CURLINE());
    ABORT_RUN(kDslint, 1);  // message 39 ends the run
}

int32_t node_count(int32_t ss) { return NET.NBUSES.in_range(ss) ? NET.NBUSES(ss) : 0; }

void check_header(LineEntry& e, int32_t client) {
    LineTables& L = LINE_TABLES;
    const int32_t lines_so_far = LINE_COUNTS.NTLMODAL;
    if (e.n < 0 || e.n > DIMBLOCK.AVAIL[ND_MAXMODES])
        line_message(e, e.saved[0], 31, DIMBLOCK.AVAIL[ND_MAXMODES], lines_so_far);

    DSLINTSSN(e.subsys_offset, e.s1, e.s2);
    if (e.s1 < 0 || e.s1 > DIMBLOCK.NSUBSYS) line_message(e, e.saved[1], 32, lines_so_far + 1);
    if (client > 0) L.ENI_CLI_SS(client) = e.s1;
    if (e.s2 < 0 || e.s2 > DIMBLOCK.NSUBSYS) line_message(e, e.saved[2], 33, lines_so_far + 1);

    for (int32_t k = 1; k <= e.n; ++k) {
        int32_t& a = e.node1[static_cast<size_t>(k - 1)];
        int32_t& b = e.node2[static_cast<size_t>(k - 1)];
        int32_t g1 = 0, g2 = 0;
        ZARIK_NODE(e.node_offset, a, g1);
        if (g1 > node_count(e.s1)) line_message(e, CURLINE(), 38, g1, e.s1, node_count(e.s1));
        if (client > 0) L.ENI_CLI_NODES(k, client) = g1;
        ZARIK_NODE(e.node_offset, b, g2);
        if (g2 > node_count(e.s2)) line_message(e, CURLINE(), 38, g2, e.s2, node_count(e.s2));
        if (g1 <= 0 || g2 <= 0) invalid_nodes(e);
        a = g1;
        b = g2;
    }
}

// Every run of control signals the step moves must lie in its array.
void check_signal_runs(const LineEntry& e) {
    if (signal_runs_fit(e.role, e.csc1, e.csc2)) return;
    DSLINT_SHOW_NAME(e);
    stop({"ERROR: DSLINT: Control signal transfer outside the dimensions CSCS =", LINE_TABLES.TLCS_SEND.size(),
          " and CSCR =", LINE_TABLES.TLCS_RECV.size()});
}

// The port of an ENI end, asked on the console of a standalone run.
void ask_port(const LineEntry& e, int32_t host_slot, int32_t& port) {
    LineTables& L = LINE_TABLES;
    L.ENI_HOST(host_slot).blank();
    L.ENI_HOST(host_slot) = "localhost";
    const char* who = e.role == tlrec::ROLE_SERVER ? "Enter port number for ENI server " : "Enter port number for ENI client ";
    console({who, e.line_name()});
    ListRead in(UNIT_CONSOLE_IN);
    in.integer(port);
    if (!in.ok()) stop({"ERROR: DSLINT: No port number for ENI line ", e.line_name()});
}

// The next ENI number of the role, within the dimensioning pass's count.
int32_t next_eni_number(int32_t& running, int32_t limit, int64_t room, const char* what) {
    ++running;
    if (running > limit || running > room) stop({"ERROR: DSLINT: More ENI ", what, " lines than the dimension allows"});
    return running;
}

void register_client(LineEntry& e, int32_t client) {
    LineTables& L = LINE_TABLES;
    const int32_t row = L.counters.NTLINES + 1;
    if (row > L.TLINE_REC.extent(1) || row > L.TLNAME.size())
        stop({"ERROR: DSLINT: More line entries than the dimension TLINES-TOTAL =", L.TLINE_REC.extent(1)});
    L.counters.NTLINES = row;
    const int32_t slots[tlrec::SLOTS] = {tlrec::KIND_CLIENT, 0,          0,          e.role,     e.n,
                                         e.csc1[0],          e.csc1[1],  e.csc1[2],  e.csc1[3],  e.csc2[0],
                                         e.csc2[1],          e.csc2[2],  e.csc2[3]};
    for (int s = 1; s <= tlrec::SLOTS; ++s) L.TLINE_REC(row, s) = slots[s - 1];
    L.TLNAME(row).assign(e.line_name());
    if (!is_true(RUN_SEQ.CONNECTED)) ask_port(e, LINE_COUNTS.NENISRV + client, L.ENI_CLI_PORT(client));
}

void read_entry(LineEntry& e) {
    LineTables& L = LINE_TABLES;
    read_text(e, e.record);
    e.header = e.record.sub(1, 20) == "HOLVA Line Constants";
    int32_t server = 0, client = 0;
    if (e.header) {
        read_header(e);
        if (e.role < tlrec::ROLE_LOCAL || e.role > tlrec::ROLE_CLIENT) DSLINT_READ_ERROR(e);
        if (e.role == tlrec::ROLE_SERVER)
            server = next_eni_number(L.counters.TL_ENISRV_RUN, LINE_COUNTS.NENISRV,
                                     std::min(L.ENI_SRV_PORT.size(), L.ENI_HOST.size()), "server");
        if (e.role == tlrec::ROLE_CLIENT)
            client = next_eni_number(L.counters.TL_ENICLI_RUN, LINE_COUNTS.NENICLI,
                                     std::min(L.ENI_CLI_PORT.size(), L.ENI_HOST.size() - LINE_COUNTS.NENISRV),
                                     "client");
        e.csc1[0] += e.csc_send_offset;
        e.csc1[2] += e.csc_recv_offset;
        if (e.role == tlrec::ROLE_LOCAL) {
            e.csc2[0] += e.csc_send_offset;
            e.csc2[2] += e.csc_recv_offset;
        }
        check_header(e, client);
        check_signal_runs(e);
    }
    if (e.role == tlrec::ROLE_CLIENT) {
        register_client(e, client);
        return;
    }
    e.kind = TL_MODEL_KIND(e.record.view());
    // These models take their conductor count and end nodes from the header.
    if (!e.header && (e.kind == tlrec::KIND_FREPHASE || e.kind == tlrec::KIND_MFDTD)) {
        console({"ERROR: DSLINT: FRE-PHASE and MFDTD lines need their HOLVA Line Constants entry header"});
        DSLINT_READ_ERROR(e);
    }
    // An MFDTD step injects at both ends: the far end must be in this process.
    if (e.kind == tlrec::KIND_MFDTD && e.role == tlrec::ROLE_SERVER)
        DSLINT_DATA_ERROR(e, "An MFDTD line cannot be an ENI server end");
    if (e.role == tlrec::ROLE_LOCAL && (e.csc1[1] != e.csc2[3] || e.csc1[3] != e.csc2[1]))
        USERWARN(0, 0, 1, "Control Signal Transfer Dimension mismatch in line/cable " + e.line_name());
    if (server > 0 && !is_true(RUN_SEQ.CONNECTED)) ask_port(e, server, L.ENI_SRV_PORT(server));
    DSLINT_MODEL(e);
}

}  // namespace

std::string LineEntry::line_name() const {
    return std::string(trim_right(display_name.sub(2, static_cast<size_t>(std::max(display_length - 1, 0)))));
}

int32_t TL_MODEL_KIND(std::string_view record) {
    if (starts_with_any(record, 7, {"FRE-DEP", "Fre-Dep", "fre-dep"})) return tlrec::KIND_FREDEP;
    if (starts_with_any(record, 9, {"FRE-PHASE", "Fre-Phase", "fre-phase"})) return tlrec::KIND_FREPHASE;
    if (starts_with_any(record, 5, {"MFDTD", "mfdtd"})) return tlrec::KIND_MFDTD;
    return tlrec::KIND_BERGERON;
}

LineOption TL_OPTION_WORD(std::string_view record) {
    if (starts_with_any(record, 5, {"NOINT", "noint", "NoInt", "Noint"})) return LineOption::NoInt;
    if (starts_with_any(record, 9, {"INFLENGTH", "inflength", "InfLength", "Inflength"})) return LineOption::InfLength;
    return LineOption::None;
}

void DSLINT_SHOW_NAME(const LineEntry& e) {
    console({"Line/Cable Name: ", e.display_name.sub(1, static_cast<size_t>(e.display_length))});
}

void DSLINT_READ_ERROR(const LineEntry& e) {
    const Text72 line = CURLINE();
    if (e.header) DSLINT_SHOW_NAME(e);
    OUTMSG(37, 0, 0, 0, 0.0, 0.0, line);
    ABORT_RUN(kDslint, 1);
}

void DSLINT_END_OF_FILE(const LineEntry& e) {
    if (e.header) DSLINT_SHOW_NAME(e);
    OUTMSG(4, 0, 0, 0, 0.0, 0.0, CURLINE());
    ABORT_RUN(kDslint, 1);
}

void DSLINT_CONDUCTOR_MISMATCH(const LineEntry& e) {
    const std::string stars(35, '*');
    console({stars});
    for (const char* s :
         {"ERROR: DSLINT Transmission Line Data", "The number of electrical connections",
          "specified in the HOLVA Circuit Data File", "does not match the number of conductors",
          "specified in the Line/Cable Constants Sub-Page!", " ", "Overhead Line Notes:",
          "- Make sure you have the correct number of", "  tower components on the Tline sub-page.",
          "- Remember ground wires are eliminated and do", "  not have electrical connections.", " ",
          "Underground Coax Cable Notes:", "- Make sure you have the correct number of",
          "  coax cable components on the Cable sub-page.", "- If the last layer in a cable is either a",
          "  sheath or an armour, this layer is eliminated", "  and does not have electrical connections.",
          "- If the last layer in a cable is either", "  insulator # 2 or 3, this layer is eliminated",
          "  only if you have selected the option entitled", "  Ground Last Metallic Layer.",
          "- If a layer is grounded, ensure the", "  corresponding connection to the electrical",
          "  circuit is also eliminated."})
        console({s});
    DSLINT_SHOW_NAME(e);
    console({stars});
    DSLINT_READ_ERROR(e);
}

void DSLINTSSN(int32_t& subsys_offset, int32_t& s1, int32_t& s2) {
    const Text12 name = "DSLINTSSN";
    if (!(INPUT.SECTION_KEY == "TLINES:")) return;
    if (s1 > 0 && s2 > 0) {
        const FArray1<int32_t>& subs = STORAGE.SUBS;
        for (int32_t* s : {&s1, &s2}) {
            const int64_t k = int64_t{subsys_offset} + *s;
            if (!subs.in_range(k)) {
                console({"ERROR: DSLINT: Subsystem number ", *s, " is not a subsystem of the page"});
                ABORT_RUN(name, 1);
            }
            *s = subs(k);
        }
        CHECKSSN(s1);
        CHECKSSN(s2);
    } else if (s1 != 0 && s2 != 0) {
        CHECKSSN(s1);
        CHECKSSN(s2);
    } else {
        console({"ERROR: DSLINT: Zero subsystem number in TLine data"});
        ABORT_RUN(name, 1);
    }
}

void DSLINT(int32_t& node_offset, int32_t& subsys_offset, int32_t& csc_begin1, int32_t& csc_begin2) {
    const Text72 key = INPUT.SECTION_KEY;
    if (key == "GLOBAL_TLINES:")
        LINE_COUNTS.global_tline_sections += 1;
    else
        LINE_COUNTS.tline_sections += 1;
    CURRENT_IDS = {};
    // The run counts its short travel times down from the pass's count.
    if (LINE_COUNTS.tline_sections + LINE_COUNTS.global_tline_sections == 1) {
        LINE_TABLES.counters.NTLSHORT = LINE_COUNTS.NTLSHORT;
        LINE_TABLES.counters.TLSHORTSTOP = LINE_COUNTS.TLSHORTSTOP;
    }
    RDCMNT();
    while (in_line_section()) {
        // Conductances entered before the subsystem sizes are known would be
        // lost when the matrices are set up.
        if (!MAP_READ.subsys_sizes_read)
            stop({"The SUBSYSDIM: section must come before the ", key.trimmed(), " section"});
        LineEntry e;
        e.node_offset = node_offset;
        e.subsys_offset = subsys_offset;
        e.csc_send_offset = csc_begin1;
        e.csc_recv_offset = csc_begin2;
        read_entry(e);
        RDCMNT();
    }
}
