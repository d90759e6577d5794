// Snapshot files in one process: the number fields, and a file with every
// section filled written, read back and written again.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "engine/engine_reset.h"
#include "engine/run_state.h"
#include "engine/solution_arrays.h"
#include "engine/storage.h"
#include "lines/line_record.h"
#include "lines/line_tables.h"
#include "lines/lines.h"
#include "models/branch_changes.h"
#include "models/xfmr_tables.h"
#include "network/dimensions.h"
#include "network/input_state.h"
#include "network/map_sections.h"
#include "network/network_tables.h"
#include "network/parameters.h"
#include "platform/list_read.h"
#include "platform/tests/support/capture.h"
#include "platform/tests/support/run_program.h"
#include "platform/tests/support/unit_ops.h"
#include "snapshot/run_output.h"
#include "snapshot/snap_stream.h"
#include "snapshot/snapshot.h"

namespace {

TEST(SnapshotFields, AreGfortransSeventeenDigitFields) {
    EXPECT_EQ(snap_g_field(4.6), " 4.5999999999999996     ");
    EXPECT_EQ(snap_e_field(-1.5), "-.15000000000000000E+001");
    EXPECT_EQ(snap_g_field(-0.3), "-.29999999999999999     ");
    EXPECT_EQ(snap_g_field(0.5e-4), "0.50000000000000002E-004");
    EXPECT_EQ(snap_g_field(0.0), " 0.0000000000000000     ");
}

// Every finite double comes back exactly from its field; 16 digits would
// lose about every second one.
TEST(SnapshotFields, RoundTripEveryDouble) {
    std::mt19937_64 bits(20261207);
    int lost = 0, lost_with_16 = 0;
    for (int k = 0; k < 200000; ++k) {
        double x = 0.0;
        do {
            const uint64_t b = bits();
            std::memcpy(&x, &b, sizeof x);
        } while (!std::isfinite(x));
        for (const bool g : {true, false}) {
            double back = 0.0;
            ListRead(g ? snap_g_field(x) : snap_e_field(x)).real(back);
            if (back != x) ++lost;
        }
        double back16 = 0.0;
        ListRead(edit("G24.16E3", x)).real(back16);
        if (back16 != x) ++lost_with_16;
    }
    EXPECT_EQ(lost, 0);
    EXPECT_GT(lost_with_16, 200000 * 40 / 100);
}

// The lines before the blocks, read back as written and refused when they
// differ; a subsystem beyond three digits is headed by the writer's
// asterisks.
TEST(SnapshotLabels, AreReadBackAsWrittenAndHeldToIt) {
    constexpr int kUnit = 61;
    const auto walk = [](SnapStream& s, int32_t& n, Logical& f) {
        s.routine("WALK", "end", "bad");
        s.label("!*** Branch data");
        s.label("!STOI:", 70);
        s.empty_line();
        s.subsystem_heading(7);
        s.subsystem_heading(1000);
        s.scalar(n, " / Busses");
        s.flag(f, " / Ideal Subsystem?");
    };
    const TempDir dir;
    const std::string path = dir.file("labels.snp");
    int32_t n = 57;
    Logical f = LTRUE;
    ASSERT_TRUE(unit_open(kUnit, path, UnitMode::Write));
    SnapStream writer(SnapStream::Dir::Write, kUnit);
    walk(writer, n, f);
    ASSERT_TRUE(unit_close(kUnit));
    const std::string written = read_file(path);
    EXPECT_EQ(written, " !*** Branch data\n !STOI:          70\n\n\n!*** SUBSYSTEM:   7\n\n!*** SUBSYSTEM: ***\n"
                       "          57  / Busses\n T  / Ideal Subsystem?\n");
    const auto read = [&](const std::string& text) {
        write_file(path, text);
        EXPECT_TRUE(unit_open(kUnit, path, UnitMode::Read));
        n = 0;
        f = LFALSE;
        const Captured c = capture([&] {
            SnapStream reader(SnapStream::Dir::Read, kUnit);
            walk(reader, n, f);
        });
        unit_close(kUnit);
        return c.aborted ? c.out.substr(0, c.out.find('\n')) : std::string("read");
    };
    EXPECT_EQ(read(written), "read");
    EXPECT_EQ(n, 57);
    EXPECT_TRUE(is_true(f));
    // Blanks and the spacing of a number are free.
    EXPECT_EQ(read(" !*** Branch data  \n!STOI: 70\n   \n\n  !*** SUBSYSTEM: 7\n\n!*** SUBSYSTEM: ***\n"
                   "57 / Busses\n T / Ideal Subsystem?\n"),
              "read");
    const std::pair<const char*, const char*> damaged[] = {
        {" !*** Branch data", " !*** Branch"},     {" !STOI:          70", " !STOI:          71"},
        {" !STOI:          70", " !STOL:          70"}, {" !STOI:          70", " !STOI:          70 1"},
        {"\n\n\n", "\n x\n\n"},                    {"SUBSYSTEM:   7", "SUBSYSTEM:   8"},
        {"/ Busses", "/ Branches"},                   {"/ Ideal", "/ Real"}};
    for (const auto& [from, to] : damaged) {
        std::string text = written;
        EXPECT_EQ(read(text.replace(text.find(from), std::strlen(from), to)), " ***ERROR** bad") << to;
    }
}

// Values of every magnitude and sign.
class Values {
public:
    double next() {
        const double m = std::uniform_real_distribution<double>(-1.0, 1.0)(gen_);
        const int e = std::uniform_int_distribution<int>(-40, 40)(gen_);
        return std::ldexp(m, e);
    }
    int32_t small(int32_t hi) { return std::uniform_int_distribution<int32_t>(0, hi)(gen_); }

private:
    std::mt19937_64 gen_{7};
};

template <class A> void fill_reals(A& a, Values& v) {
    for (int64_t i = 0; i < a.size(); ++i) a.data()[i] = v.next();
}
template <class A> void fill_complex(A& a, Values& v) {
    for (int64_t i = 0; i < a.size(); ++i) a.data()[i] = {v.next(), v.next()};
}
template <class A> void fill_ints(A& a, Values& v) {
    for (int64_t i = 0; i < a.size(); ++i) a.data()[i] = v.small(9);
}

// Every saved table of the line models, with groups and conductors of
// several pole counts.
void fill_line_models(Values& v) {
    LineTables& L = LINE_TABLES;
    for (auto* a : {&L.TLM_FRAC, &L.TLM_YLOSS, &L.TLM_IH1, &L.TLM_IH2, &L.TLM_S1, &L.TLM_S2, &L.TLM_V1, &L.TLM_V2,
                    &L.TLM_PROPK, &L.TLM_BUFW1, &L.TLM_BUFW2, &L.TLM_BUFE1, &L.TLM_BUFE2, &L.TI, &L.TLM_TPOLE1,
                    &L.TLM_TPOLE7, &L.TLM_FILTER})
        fill_reals(*a, v);
    for (auto* a : {&L.TLM_HCOEF, &L.TLM_KCOEF, &L.TLM_LOSSF}) fill_reals(*a, v);
    for (auto* a : {&L.TLM_PC, &L.TLM_PS2, &L.TLM_YC_COEF, &L.TLM_SR2}) fill_complex(*a, v);
    // A Bergeron line of two conductors and a FRE-DEP line of one, in
    // subsystem 1: their modes' nodes, delays, buffer positions and poles.
    const int32_t conductors[] = {2, 1}, kinds[] = {0, 1};
    for (int32_t l = 1; l <= 2; ++l) {
        L.TLM_SS1(l) = L.TLM_SS2(l) = 1;
        L.TLM_NCOND(l) = conductors[l - 1];
        L.TLM_KIND(l) = kinds[l - 1];
    }
    const int32_t delay[] = {2, 2, 1}, at[] = {1, 2, 1}, node1[] = {1, 2, 3}, node2[] = {2, 3, 3}, surge[] = {1, 0, 1};
    for (int32_t m = 1; m <= 3; ++m) {
        L.TLM_DELAY(m) = delay[m - 1];
        L.TLM_BUFPOS(m) = at[m - 1];
        L.TLM_NODE1(m) = node1[m - 1];
        L.TLM_NODE2(m) = node2[m - 1];
        L.TLM_NPPROP(m) = 1;
        L.TLM_NPSURGE(m) = surge[m - 1];
    }
    L.TLM_INFLENGTH(2) = LTRUE;
    L.TLM_INPUT_NAME(1) = "Bob's line";
    L.TLM_INPUT_NAME(2) = "";

    LINE_COUNTS.NTLPHASE = 1;
    L.PH_NAME(1) = "phase, line / a";
    // Two conductors and two delay groups, the longest of three steps,
    // each read its delay behind slot 2 of four.
    L.PH_SS1(1) = L.PH_SS2(1) = 1;
    L.PH_NMODES(1) = 2;
    L.PH_NCOND(1) = 2;
    L.PH_BUFLEN(1) = 3;
    L.PH_WIDX(1) = 2;
    for (int32_t k = 1; k <= 2; ++k) {
        L.PH_DELAY(k, 1) = k + 1;
        L.PH_RIDX(1, k) = k == 1 ? 1 : 4;
        L.PH_NODE1(k) = k;
        L.PH_NODE2(k) = 3;
    }
    L.PH_NHPOLE(1, 1) = 1;
    L.PH_NHPOLE(2, 1) = 2;
    L.PH_NYPOLE(1, 1) = 2;
    L.PH_INFLENGTH(1) = LTRUE;
    for (auto* a : {&L.PH_FRAC, &L.PH_HS1, &L.PH_CI2}) fill_reals(*a, v);
    for (auto* a : {&L.PH_G, &L.PH_XO1, &L.PH_XO2}) fill_reals(*a, v);
    for (auto* a : {&L.PH_WB1, &L.PH_WB2, &L.PH_H0}) fill_reals(*a, v);
    for (auto* a : {&L.PH_RH, &L.PH_RY, &L.PH_SH1, &L.PH_SH2}) fill_complex(*a, v);
    for (auto* a : {&L.PH_ALPHA, &L.PH_SY2, &L.PH_A, &L.PH_C}) fill_complex(*a, v);

    LINE_COUNTS.NTLMFDTD = 1;
    L.TLD_INPUT_NAME(1) = "mfdtd";
    // Two conductors, two poles and two segments.
    L.TLD_SS1(1) = L.TLD_SS2(1) = 1;
    L.TLD_NCOND(1) = L.TLD_NPOLE(1) = L.TLD_NSEG(1) = 2;
    for (int32_t k = 1; k <= 2; ++k) {
        L.TLD_NODE1(k) = k;
        L.TLD_NODE2(k) = k + 1;
    }
    fill_reals(L.TLD_DZ, v);
    for (auto* a : {&L.TLD_CD, &L.TLD_CS, &L.TLD_E1, &L.TLD_E2}) fill_reals(*a, v);
    for (auto* a : {&L.TLD_G2, &L.TLD_G3, &L.TLD_IMAT, &L.TLD_IHIST, &L.TLD_VMAT, &L.TLD_VHIST, &L.TLD_EMAT,
                    &L.TLD_EHIST, &L.TLD_V, &L.TLD_I0, &L.TLD_I1, &L.TLD_I2, &L.TLD_I3})
        fill_reals(*a, v);
    fill_complex(L.TLD_POLE, v);
    fill_complex(L.TLD_RES, v);
    fill_complex(L.TLD_PSI, v);
}

// The line records of build_state: a local Bergeron line, a FRE-DEP ENI
// server, two clients, a local phase-domain line and a local MFDTD line,
// with control signals: the local line's ends pass one value, the server
// and a client send one.
const int32_t kLineRecords[6][tlrec::SLOTS] = {{0, 1, 0, 0, 2, 1, 0, 1, 1, 2, 1, 1, 0},
                                               {1, 2, 2, 1, 1, 1, 1, 1, 0, 1, 0, 1, 0},
                                               {-1, 0, 0, 2, 2, 2, 1, 1, 1, 1, 0, 1, 0},
                                               {-1, 0, 0, 2, 1, 1, 0, 1, 0, 1, 0, 1, 0},
                                               {2, 1, 0, 0, 2, 1, 0, 1, 0, 1, 0, 1, 0},
                                               {3, 1, 0, 0, 2, 1, 0, 1, 0, 1, 0, 1, 0}};

// A case of two subsystems (the second of 0 buses), Norton buses, a
// switch, a transformer, six line records with ENI ends, three branch
// changes, and names with blanks, commas, slashes and apostrophes.
void build_state() {
    auto& R = DIMBLOCK.REQ;
    const std::pair<int, int32_t> dims[] = {
        {ND_NODES, 3},    {ND_SUBSYS, 2},  {ND_BRANCHES, 4},     {ND_WINDINGS, 2},  {ND_TRAFOS, 1},
        {ND_SPARSITY, 6}, {ND_NNODES, 5},  {ND_NPAGES, 1},       {ND_SUBSYSPAGE, 2}, {ND_STOL, 3},
        {ND_STOI, 16},    {ND_STOF, 9},    {ND_STOC, 2},         {ND_STOR, 4},       {ND_STORL, 81},
        {ND_STORI, 2},    {ND_STORF, 3},   {ND_STORC, 1},        {ND_RTCL, 1},       {ND_RTCI, 1},
        {ND_RTCF, 2},     {ND_RTCC, 1},    {ND_STXFRL, 1},       {ND_STXFRI, 1},     {ND_STXFRF, 1},
        {ND_STXFRC, 1},   {ND_PGBS, 3},    {ND_CX, 2},           {ND_CXMAP, 2},      {ND_TX, 1},
        {ND_TXRX, 2},     {ND_TLINES_TOTAL, 6}, {ND_MAXMODES, 2}, {ND_ENI_CLIENTS, 2}, {ND_CSCS, 2},
        {ND_CSCR, 1},     {ND_DX, 2},      {ND_ENI_SERVERS, 1},
        // Two modal lines, a phase-domain line and an "MFDTD" line.
        {ND_TLINES, 2},   {ND_NUMMODES, 3}, {ND_TRAVWAVES, 5},   {ND_TRANSFORMS, 5}, {ND_TRANSPOLES, 2},
        {ND_SURGEPOLES, 2}, {ND_ATTPOLES, 3}, {ND_TLINES_PH, 1}, {ND_NUMMODES_PH, 2}, {ND_MAXMODES_PH, 2},
        {ND_TRAVWAVES_PH, 8}, {ND_PROP_PH, 8}, {ND_HSERC_PH, 12}, {ND_YCSERC_PH, 4},  {ND_XHK_PH, 6},
        {ND_MAXPOLES_PH, 2}, {ND_TLINES_MFDTD, 1}, {ND_NUMMODES_MFDTD, 2}, {ND_MAXMODES_MFDTD, 2},
        {ND_MAXPOLES_MFDTD, 2}, {ND_MAXINC_MFDTD, 3}};
    for (const auto& [k, n] : dims) R[k] = n;
    int32_t status = 0;
    ALLOC_STORAGE(status);
    ASSERT_EQ(status, 0);
    ALLOC_SSLIST(DIMBLOCK.AVAIL[ND_SUBSYS], status);
    SOLUTION_ARRAYS.SSDIM(1) = 3;
    SOLUTION_ARRAYS.SSDIM(2) = 0;
    ALLOCATION(2, status);
    ASSERT_EQ(status, 0);
    DIMBLOCK.NSUBSYS = 2;
    DIMBLOCK.NPGBS = 3;

    Values v;
    StorageArrays& S = STORAGE;
    for (auto* a : {&S.STOF, &S.STOR, &S.STORF, &S.RTCF, &S.STXFRF, &S.PGB, &S.CX, &S.TX, &S.DX_ARRAY}) fill_reals(*a, v);
    for (auto* a : {&S.STOI, &S.STORI, &S.RTCI, &S.STXFRI, &S.CXMAP})
        for (int64_t i = 1; i <= a->size(); ++i) (*a)(i) = v.small(99) - 50;
    // Node and subsystem numbers, local subsystems and radio links.
    for (const auto& [a, hi] : {std::pair{&S.NODE, 3}, {&S.SUBS, 2}, {&S.TXRX, 1}})
        for (int64_t i = 1; i <= a->size(); ++i) (*a)(i) = v.small(hi);
    for (auto* a : {&S.STOL, &S.STORL, &S.RTCL, &S.STXFRL})
        for (int64_t i = 1; i <= a->size(); ++i) (*a)(i) = as_logical(v.small(1) == 1);
    for (auto* a : {&S.STOC, &S.STORC, &S.RTCC, &S.STXFRC})
        for (int64_t i = 1; i <= a->size(); ++i) (*a)(i) = {v.next(), v.next()};
    RUN_OUTPUT.mpgbs_count = 2;
    S.MPGBS(1) = 3;
    S.MPGBS(2) = 1;
    S.PGBNAME(1) = "Ia, 'phase' b/c";
    S.PGBNAME(2) = "";
    S.PGBNAME(3) = "! Channel, not a comment";

    NetworkTables& N = NET;
    N.NBUSES(1) = 3;
    N.NNORTON(1) = 1;
    N.NORBUS(1, 1) = 2;
    N.NBRANCHES(1) = 4;
    N.NSWITCH(1) = 1;
    N.SWLIST(1, 1) = 3;
    N.SWITCH(3, 1) = LTRUE;
    N.MXINV(1) = 4;
    N.MXINV(2) = 1;
    N.IDEALSS(1) = LFALSE;
    for (auto* a : {&N.VNODE, &N.CNOR, &N.GNOR, &N.CHIST, &N.TLINJ, &N.CHISTD, &N.CNORD, &N.GNORD, &N.CBR, &N.CCBR,
                    &N.GEQ, &N.BRANCH_L, &N.TSWITCH, &N.EON, &N.GOFF, &N.SWVAL})
        fill_reals(*a, v);
    // Nodes 1 to 3 in a chain: each row's neighbours below and above it.
    const int32_t lows[] = {1, 1, 2}, lowe[] = {0, 1, 2}, ups[] = {1, 2, 3}, upe[] = {1, 2, 2};
    for (int32_t i = 1; i <= 3; ++i) {
        N.LOWSTART(i, 1) = lows[i - 1];
        N.LOWEND(i, 1) = lowe[i - 1];
        N.UPSTART(i, 1) = ups[i - 1];
        N.UPEND(i, 1) = upe[i - 1];
        N.IEF(i, 1) = i - 1;
        N.IET(i, 1) = i;
    }
    for (int32_t p = 1; p <= 2; ++p) {
        N.LOWCOL(p, 1) = p;
        N.UPCOL(p, 1) = p + 1;
    }
    N.IEF(4, 1) = 3;
    const SsView<double> gm = SSDESC_RA(1);
    const SsView<int8_t> pat = SSDESC_IA(1);
    for (int32_t i = 1; i <= 3; ++i)
        for (int32_t j = 1; j <= 3; ++j)
            if (std::abs(i - j) <= 1) {
                pat(i, j) = -1;
                gm(i, j) = v.next();
            }

    XfmrTables& X = XFMR_TABLES;
    X.XF_COUNT = 1;
    X.XF_NSS(1) = 1;
    X.XF_NWDG(1) = 2;
    X.XF_SUBSYS(1) = 1;
    X.XF_NODE1(1, 1) = 1;
    X.XF_NODE1(2, 1) = 2;
    for (auto* a : {&X.XF_RES, &X.XF_HIST}) fill_reals(*a, v);
    for (auto* a : {&X.XF_HNEW, &X.XF_CUR, &X.XF_VWOLD, &X.XF_BFLUX, &X.XF_BHY, &X.XF_WDGC2}) fill_reals(*a, v);
    X.XF_CORE5(1) = v.next();
    X.XF_SEGST(23, 1) = 1;
    X.XF_KIND(1) = 2;

    LineTables& T = LINE_TABLES;
    const char* names[] = {"feeder one", "near end", "far end", "other, side", "phase", "mfdtd"};
    for (int32_t r = 1; r <= 6; ++r) {
        for (int k = 1; k <= tlrec::SLOTS; ++k) T.TLINE_REC(r, k) = kLineRecords[r - 1][k - 1];
        T.TLNAME(r) = names[r - 1];
    }
    fill_reals(T.TLGMAT, v);
    fill_line_models(v);
    fill_reals(T.TLCS_SEND, v);
    fill_reals(T.TLCS_RECV, v);
    LINE_COUNTS.NENISRV = 1;
    LINE_COUNTS.NENICLI = 2;
    T.ENI_CLI_SS(1) = 1;
    T.ENI_CLI_NODES(1, 1) = 2;
    T.ENI_CLI_NODES(2, 1) = 3;
    T.ENI_CLI_SS(2) = 1;
    T.ENI_CLI_NODES(1, 2) = 1;

    BranchChangeList& B = BRCHANGE_LIST;
    B.count = 3;
    // A branch taken over by a model, a machine's branch and a compensator.
    const int32_t kinds[] = {9, 12, 6};
    for (int32_t r = 1; r <= 3; ++r) {
        for (int c = 2; c <= 7; ++c) B.icol(c, r) = 10 * c + r;
        B.icol(1, r) = kinds[r - 1];
        B.icol(8, r) = 1;
        for (int c = 1; c <= 5; ++c) B.rcol(c, r) = v.next();
    }
    B.icol(2, 1) = 4;

    RunClock& c = RUN_CLOCK;
    c.DELT = 5e-5;
    c.PRINT_STEP = 1e-3;
    c.FINTIM = 0.02;
    c.NSTEP = 200;
    c.TIME = 0.01;
    for (auto* a : {&N.SSINTERP, &N.SSEXTRAP, &N.SSRMCHAT, &N.SSDETCHAT}) a->fill(LTRUE);
    N.SSCHATLEV.fill(1e-3);
    N.GIDEAL.fill(1e8);
    PARAMS.title = "Bob's case, with 'quotes'";
    INPUT.MAP_FILE_NAME = "gone.map";
}

// The file without the allocation column of "DIMENSIONS:".
std::string without_available(const std::string& file) {
    std::string out;
    for (const std::string& line : lines_of(file)) out += line.substr(0, line.find('\t')) + "\n";
    return out;
}

// READSNP's refusal as the console shows it, up to the file's name.
std::string refusal_of(const Captured& c) {
    const std::string stop = c.out.substr(std::min(c.out.size(), c.out.find(" ***ERROR** ")));
    return stop.substr(0, stop.find(" Data file name:"));
}
std::string refusal_at(const std::string& last_line) {
    return " ***ERROR** ZARIK: Error while reading snap file\n"
           " =========================================================\n"
           " Following is the last read data line:\n " +
           pad_text(last_line, 72) + "\n";
}

class SnapshotFile : public testing::Test {
protected:
    void SetUp() override { reset_all_engine_state(); }
    void TearDown() override {
        console_input_from_stdin();
        reset_all_engine_state();
    }
    Captured write(const char* name) {
        const ScopedChdir here(dir_.path);
        RUN_SETUP.snap_file = name;
        return capture([] { WRITESNP(); });
    }
    // READSNP of the file, the ENI ports answered on the console.
    Captured read_back(const char* name) {
        reset_all_engine_state();
        RUN_SEQ.START_MODE = "SNAP";
        RUN_SETUP.start_file = name;
        RUN_CLOCK.FINTIM = 0.02;
        console_input_from_text("5001\n5002\n5003\n");
        const ScopedChdir here(dir_.path);
        return capture([] { READSNP(); });
    }
    // READSNP of one.snp with its only `from` replaced by `to`.
    Captured read_back_changed(const std::string& from, const std::string& to) {
        std::string file = read_file(dir_.file("one.snp"));
        const size_t at = file.find(from);
        EXPECT_NE(at, std::string::npos);
        EXPECT_EQ(file.find(from, at + 1), std::string::npos);
        if (at != std::string::npos) file.replace(at, from.size(), to);
        write_file(dir_.file("other.snp"), file);
        return read_back("other.snp");
    }
    TempDir dir_;
};

TEST_F(SnapshotFile, WrittenReadAndWrittenAgainIsTheSame) {
    build_state();
    ASSERT_FALSE(write("one").aborted);
    const std::string first = read_file(dir_.file("one.snp"));
    for (const char* label : {"!*** Fre-dep data for surge impedance:", "!*** Additional bergeron data:",
                              "!*** Data for Line:            1", "!*** MODEPH Parameters", "!*** Sparse Stored Parameters",
                              "!Node Numbers (All MFDTD Lines):", "!History Psi:"})
        EXPECT_NE(first.find(label), std::string::npos) << label;

    reset_all_engine_state();
    RUN_SEQ.START_MODE = "SNAP";
    RUN_SETUP.start_file = "one.snp";
    RUN_CLOCK.FINTIM = 0.02;
    console_input_from_text("5001\n5002\n5003\n");
    Captured read;
    {
        const ScopedChdir here(dir_.path);
        read = capture([] { READSNP(); });
    }
    ASSERT_FALSE(read.aborted) << read.out;
    // No map file is read: the case finds its lists filled to their dimensions.
    EXPECT_EQ((std::vector<int32_t>{MAP_READ.node_filled, MAP_READ.subs_filled, MAP_READ.cxmap_filled}),
              (std::vector<int32_t>{5, 2, 2}));
    EXPECT_EQ(read.out,
              " Reading data for snap file: one.snp                           \n"
              " ***WARN*** Specified Mapfile not found: gone.map\n"
              " ***WARN*** . Continuing with original parameters.\n"
              " Enter port number for ENI server near end\n"
              " Enter port number for ENI client far end\n"
              " Enter port number for ENI client other, side\n");
    EXPECT_EQ(LINE_TABLES.ENI_SRV_PORT(1), 5001);
    EXPECT_EQ(LINE_TABLES.ENI_CLI_PORT(1), 5002);
    EXPECT_EQ(LINE_TABLES.ENI_CLI_PORT(2), 5003);
    for (int32_t k = 1; k <= 3; ++k) EXPECT_EQ(LINE_TABLES.ENI_HOST(k), "localhost");
    EXPECT_EQ(RUN_CLOCK.START_STEP, 200);
    EXPECT_EQ(PARAMS.title, "Bob's case, with 'quotes'");
    EXPECT_EQ(STORAGE.PGBNAME(1), "Ia, 'phase' b/c");
    EXPECT_EQ(STORAGE.PGBNAME(3), "! Channel, not a comment");
    EXPECT_EQ(LINE_TABLES.TLNAME(1), "feeder one");
    EXPECT_EQ(LINE_TABLES.TLM_INPUT_NAME(1), "Bob's line");
    EXPECT_EQ(LINE_TABLES.PH_NAME(1), "phase, line / a");
    EXPECT_EQ(LINE_COUNTS.NTLPHASE, 1);
    EXPECT_EQ(LINE_COUNTS.NTLMFDTD, 1);
    RUN_CLOCK.NSTEP = RUN_CLOCK.START_STEP;
    ASSERT_FALSE(write("two").aborted);
    const std::string second = read_file(dir_.file("two.snp"));
    write_file(dir_.file("a"), without_available(first));
    write_file(dir_.file("b"), without_available(second));
    EXPECT_TRUE(without_available(second) == without_available(first))
        << run_program({"/usr/bin/diff", dir_.file("a"), dir_.file("b")}, "", dir_.path).out;
}

// The file is written beside its name and takes the name when whole.
TEST_F(SnapshotFile, IsWrittenBesideItsNameAndRenamedWhenWhole) {
    build_state();
    write_file(dir_.file("one.snp"), "an older snapshot\n");
    const Captured c = write("one");
    ASSERT_FALSE(c.aborted) << c.out;
    EXPECT_TRUE(ends_with(c.out, "  File: one.snp                           \n")) << c.out;
    EXPECT_TRUE(ends_with(read_file(dir_.file("one.snp")), " ! End of Snap-shot\n"));
    EXPECT_FALSE(std::filesystem::exists(dir_.file("one.snp.partial")));
}

// The modal lines' modes carry seven integer blocks: the seventh is
// written as zeros and its values are read over, whatever they are; a file
// with six of them does not read.
TEST_F(SnapshotFile, ModalLinesCarryASeventhIntegerBlockOfZeros) {
    build_state();
    ASSERT_FALSE(write("one").aborted);
    const std::string first = read_file(dir_.file("one.snp"));
    std::vector<std::string> lines = lines_of(first);
    const auto modes = std::find(lines.begin(), lines.end(), " !*** Modes:");
    ASSERT_NE(modes, lines.end());
    const size_t seventh = static_cast<size_t>(modes - lines.begin()) + 7;
    EXPECT_EQ(lines[seventh], "          0           0           0 ");
    EXPECT_NE(lines[seventh + 1].find('.'), std::string::npos) << "the reals follow";

    const auto file_of = [](const std::vector<std::string>& l) {
        std::string f;
        for (const std::string& line : l) f += line + "\n";
        return f;
    };
    lines[seventh] = "          7          -8           9 ";
    write_file(dir_.file("other.snp"), file_of(lines));
    const Captured other = read_back("other.snp");
    ASSERT_FALSE(other.aborted) << other.out;
    RUN_CLOCK.NSTEP = RUN_CLOCK.START_STEP;
    ASSERT_FALSE(write("two").aborted);
    EXPECT_TRUE(without_available(read_file(dir_.file("two.snp"))) == without_available(first));

    lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(seventh));
    write_file(dir_.file("six.snp"), file_of(lines));
    const Captured six = read_back("six.snp");
    EXPECT_TRUE(six.aborted);
    EXPECT_EQ(refusal_of(six), refusal_at(" !*** Modes:")) << six.out;
    EXPECT_TRUE(contains(six.out, "ERROR: Abnormal termination of ZARIK by READSNP")) << six.out;
}

// An ENI client end whose nodes are not in its subsystem (subsystem 2 has
// none) is refused before the ports are asked.
TEST_F(SnapshotFile, EniClientEndOutsideItsSubsystemIsRefused) {
    build_state();
    ASSERT_FALSE(write("one").aborted);
    const Captured other = read_back_changed("          1           2           2           3 \n",
                                             "          2           2           2           3 \n");
    EXPECT_TRUE(other.aborted);
    EXPECT_TRUE(contains(other.out, " ***ERROR** ZARIK: Error while reading snap file\n")) << other.out;
    // The last line read is the last line record's name.
    EXPECT_TRUE(contains(other.out, "line:\n  mfdtd ")) << other.out;
    EXPECT_FALSE(contains(other.out, "Enter port number")) << other.out;
}

// Line record `row` of build_state with slot `slot` set to `value`: a
// record no data start writes, refused before the ports are asked.
struct RecordEdit {
    const char* label;
    int row;
    int slot;
    int32_t value;
};
void PrintTo(const RecordEdit& e, std::ostream* os) { *os << e.label; }

// A line record as the writer puts it.
std::string record_line(const int32_t (&slots)[tlrec::SLOTS]) {
    std::string line;
    for (const int32_t v : slots) line += edit("I11", v) + " ";
    return line + "\n";
}

class DamagedLineRecord : public SnapshotFile, public testing::WithParamInterface<RecordEdit> {};

TEST_P(DamagedLineRecord, IsRefusedBeforeThePortsAreAsked) {
    const RecordEdit& e = GetParam();
    build_state();
    ASSERT_FALSE(write("one").aborted);
    int32_t slots[tlrec::SLOTS];
    std::copy(std::begin(kLineRecords[e.row - 1]), std::end(kLineRecords[e.row - 1]), slots);
    const std::string good = record_line(slots);
    slots[e.slot - 1] = e.value;
    const Captured other = read_back_changed(good, record_line(slots));
    EXPECT_TRUE(other.aborted);
    // The records have no label: the last line read is the MFDTD line's last.
    EXPECT_EQ(refusal_of(other), refusal_at(" !History Psi:")) << other.out;
    EXPECT_FALSE(contains(other.out, "Enter port number")) << other.out;
}

INSTANTIATE_TEST_SUITE_P(
    Snapshot, DamagedLineRecord,
    testing::Values(
        // The server's far end sends a value: an ENI end has no far end here.
        RecordEdit{"EniServerFarEndSends", 2, tlrec::SEND2 + 1, 1},
        // A client names no line of a family and has no place in one's nodes;
        // nor more conductors than a record's two.
        RecordEdit{"EniClientNamesAFamilysLine", 4, tlrec::FAMILY, 1},
        RecordEdit{"EniClientWithANodeOffset", 4, tlrec::OFFSET, 1},
        RecordEdit{"EniClientWiderThanItsRecord", 4, tlrec::NCOND, 3}),
    [](const auto& info) { return std::string(info.param.label); });

}  // namespace
