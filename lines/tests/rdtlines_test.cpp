// The dimensioning pass over small line sections: the words it writes and
// raises, the short travel times, the clients and the warnings.
#include <fstream>
#include <string>

#include "engine/run_state.h"
#include "lines/tests/line_test_support.h"
#include "network/line_reader.h"
#include "platform/tests/support/capture.h"
#include "platform/tests/support/run_program.h"

namespace {

class Rdtlines : public testing::Test {
protected:
    void SetUp() override {
        reset_all_engine_state();
        RUN_CLOCK.DELT = 50e-6;
        ASSERT_TRUE(dir.ok());
    }
    void TearDown() override {
        while (INPUT.INPUT_UNIT > INPUT_UNIT_NONE) CLOSEFILE();
        reset_all_engine_state();
    }
    // Runs the pass over each key's section of the text in turn.
    Captured Pass(const std::string& text) {
        std::ofstream(dir.file("map.dat")) << text << "ENDCASE\n";
        const ScopedChdir here(dir.path);
        INPUT.DATA_FILE_NAME = "map.dat";
        return capture([&] {
            OPENFILE();
            RDCMNT();
            while (INPUT.SECTION_KEY == "TLINES:" || INPUT.SECTION_KEY == "GLOBAL_TLINES:") RDTLINES();
        });
    }
    void File(const std::string& name, const std::string& text) { std::ofstream(dir.file(name)) << text; }
    static int32_t W(int k) { return DIMBLOCK.REQ[k]; }
    TempDir dir;
};

std::string header(int n, int role, const std::string& file) {
    std::string s = "HOLVA Line Constants\n " + std::to_string(n) + " " + std::to_string(role) + "\n 1 1 2 3 1 0 1 0\n";
    if (role == 0) s += " 1 4 5 6 1 0 1 0\n";
    return s + "TLINE-INPUT-DATA  a.tli\nTLINE-OUTPUT-DATA " + file + "\n";
}

std::string bergeron3(const std::string& t1, const std::string& options = "") {
    return " 3 0 0 0 50.0 50.0 100.0 1e-9 1e-9\n" + options + "C modes\n 0 0 " + t1 +
           " 400 0 0 1 1 1\n 0 0 2.0 300 0 0 1 -1 0\n 0 0 2.0 300 0 0 1 0 -1\n";
}

TEST_F(Rdtlines, ModalLineWordsAndRounding) {
    File("a.tlo", bergeron3("0.5"));
    File("b.tlo", bergeron3("0.53", "NOINT\n"));
    File("c.tlo", bergeron3("0.53"));
    DIMBLOCK.REQ[ND_TRAVWAVES] = 7;  // replaced, not raised
    const Captured c = Pass("TLINES:\n" + header(3, 0, "a.tlo") + "GLOBAL_TLINES:\n" + header(3, 0, "b.tlo") +
                            header(3, 0, "c.tlo"));
    ASSERT_FALSE(c.aborted) << c.out;
    EXPECT_EQ(std::vector<int32_t>({W(ND_TRAVWAVES), W(ND_TRANSFORMS), W(ND_NUMMODES), W(ND_TLINES),
                                    W(ND_MAXMODES), W(ND_TLINES_TOTAL)}),
              std::vector<int32_t>({90 + 91 + 90, 27, 9, 3, 3, 3}));
    EXPECT_EQ(LINE_COUNTS.NTLSHORT, 0);
}

TEST_F(Rdtlines, ShortTravelTimesClientsAndInfiniteLines) {
    File("a.tlo", bergeron3("0.045"));                   // 0.9 steps
    File("b.tlo", bergeron3("0.035", "InfLength\n"));    // 0.7 steps
    const Captured c = Pass("TLINES:\n" + header(3, 0, "a.tlo") + header(2, 2, "far.tlo") + "GLOBAL_TLINES:\n" +
                            header(3, 1, "b.tlo"));
    ASSERT_FALSE(c.aborted) << c.out;
    EXPECT_EQ(LINE_COUNTS.NTLSHORT, 2);
    EXPECT_TRUE(is_true(LINE_COUNTS.TLSHORTSTOP));
    EXPECT_EQ(std::vector<int32_t>({W(ND_TRAVWAVES), W(ND_ENI_CLIENTS), W(ND_ENI_SERVERS), W(ND_TLINES_TOTAL),
                                    W(ND_NUMMODES)}),
              std::vector<int32_t>({1 + 40 + 40 + 3, 1, 1, 3, 6}));
}

TEST_F(Rdtlines, WarningsForLongTravelTimes) {
    File("a.tlo", " 1 0 0 0 50.0 50.0 100.0 1e-9 1e-9\n 0 0 1000.0 400 0 0 1\n");
    File("b.tlo", " 1 0 0 0 50.0 50.0 100.0 1e-9 1e-9\n 0 0 999999.0 400 0 0 1\n");
    const Captured c = Pass("TLINES:\n" + header(1, 0, "a.tlo") + header(1, 0, "b.tlo"));
    ASSERT_FALSE(c.aborted) << c.out;
    EXPECT_TRUE(contains(c.out, "Very large travel time observed in a.tlo")) << c.out;
    EXPECT_TRUE(contains(c.out, "Very large travelling wave buffer requested by b.tlo")) << c.out;
    EXPECT_FALSE(contains(c.out, "buffer requested by a.tlo"));
    EXPECT_EQ(W(ND_TRAVWAVES), 20000 + 19999980);
}

TEST_F(Rdtlines, EmptySectionWritesNothing) {
    DIMBLOCK.REQ[ND_TLINES] = 5;
    const Captured c = Pass("TLINES:\nGLOBAL_TLINES:\nPARAMETERS:\n");
    EXPECT_FALSE(c.aborted) << c.out;
    EXPECT_EQ(W(ND_TLINES), 5);
    EXPECT_EQ(INPUT.SECTION_KEY.trimmed(), "PARAMETERS:");
}

TEST_F(Rdtlines, FrequencyDependentPhaseAndFiniteDifferenceWords) {
    // FRE-DEP: two modes, poles 2 (surge), 3 (attenuation), 1 per transformation function.
    std::string fd = "FRE-DEP 2 0 0 0\n";
    for (int k = 0; k < 2; ++k) {
        fd += " 0 0 0.5\n 2 1.0 0\n 1 2\n 1 2\n 0 0\n 0 0\n 3 1 0\n 1 2 3\n 1 2 3\n 0 0 0\n 0 0 0\n";
        for (int j = 0; j < 2; ++j) fd += " 1 1 0\n 1\n 1\n 0\n 0\n";
    }
    File("fd.tlo", fd);
    // FRE-PHASE: c = 2, Yc poles 1 and 2, two delay groups of 1 and 3 poles.
    std::string ph = "FRE-PHASE\nNOINT\ntext\ntext\n 2\ntext\n 1\n";
    ph += std::string("p\np\nr\nr\nr\nr\n") + " 2\n" + "p\np\nr\nr\nr\nr\np\np\nr\nr\nr\nr\n";
    ph += "g\ng\ng\ng\nt\nt\n 2\nt\n 0.00053\n 0.001\nt\n 1\np\np\n 3\np\np\np\np\np\np\nt\n";
    for (int i = 0; i < 2 * 4 * (1 + 3); ++i) ph += "h\n";
    File("ph.tlo", ph);
    File("md.tlo", "MFDTD 3  2\nINFLENGTH\n 3e8\n 150000\n");
    DIMBLOCK.REQ[ND_NUMMODES_PH] = 1;
    DIMBLOCK.REQ[ND_MAXINC_MFDTD] = 4;
    const Captured c =
        Pass("TLINES:\n" + header(2, 0, "fd.tlo") + header(2, 0, "ph.tlo") + header(3, 0, "md.tlo"));
    ASSERT_FALSE(c.aborted) << c.out;
    EXPECT_EQ(std::vector<int32_t>({W(ND_MAXPOLES), W(ND_SURGEPOLES), W(ND_ATTPOLES), W(ND_TRAVWAVES),
                                    W(ND_TRANSFORMS), W(ND_NUMMODES)}),
              std::vector<int32_t>({3, 4, 6, 20, 4, 2}));
    EXPECT_EQ(std::vector<int32_t>({W(ND_TLINES_PH), W(ND_NUMMODES_PH), W(ND_MAXMODES_PH), W(ND_TRAVWAVES_PH),
                                    W(ND_PROP_PH), W(ND_HSERC_PH), W(ND_YCSERC_PH), W(ND_XHK_PH),
                                    W(ND_MAXPOLES_PH)}),
              std::vector<int32_t>({1, 3, 2, 2 * 20 + 2, 8, 16, 6, 8, 3}));
    EXPECT_EQ(std::vector<int32_t>({W(ND_TLINES_MFDTD), W(ND_NUMMODES_MFDTD), W(ND_MAXMODES_MFDTD),
                                    W(ND_MAXPOLES_MFDTD), W(ND_MAXINC_MFDTD), W(ND_TLINES_TOTAL), W(ND_MAXMODES)}),
              std::vector<int32_t>({1, 3, 3, 2, 11, 3, 3}));
}

// MAXMODES-MFDTD is the largest conductor count over both sections,
// whatever the dimension block held; MAXPOLES-MFDTD is raised in place.
TEST_F(Rdtlines, LargestMfdtdConductorCountReplacesItsWord) {
    File("three.tlo", "MFDTD 3  1\n 3e8\n 15000\n");
    File("two.tlo", "MFDTD 2  2\n 3e8\n 15000\n");
    DIMBLOCK.REQ[ND_MAXMODES_MFDTD] = 7;
    DIMBLOCK.REQ[ND_MAXPOLES_MFDTD] = 4;
    Captured c = Pass("TLINES:\n" + header(3, 0, "three.tlo") + "GLOBAL_TLINES:\n" + header(2, 0, "two.tlo"));
    ASSERT_FALSE(c.aborted) << c.out;
    EXPECT_EQ(std::vector<int32_t>({W(ND_MAXMODES_MFDTD), W(ND_MAXPOLES_MFDTD), W(ND_NUMMODES_MFDTD)}),
              std::vector<int32_t>({3, 4, 5}));
    SetUp();
    DIMBLOCK.REQ[ND_MAXMODES_MFDTD] = 7;
    c = Pass("TLINES:\n" + header(2, 0, "two.tlo"));
    ASSERT_FALSE(c.aborted) << c.out;
    EXPECT_EQ(W(ND_MAXMODES_MFDTD), 2);
}

TEST_F(Rdtlines, BadRecordsStopTheRun) {
    File("a.tlo", " 1 0 0 0 50.0 50.0 100.0 1e-9 1e-9\n 0 0 abc 400 0 0 1\n");
    Captured c = Pass("TLINES:\n" + header(1, 0, "a.tlo"));
    EXPECT_TRUE(c.aborted);
    EXPECT_TRUE(contains(c.out, "TLine Name:a.tlo")) << c.out;
    EXPECT_TRUE(contains(c.out, "INVALID DATA LINE")) << c.out;
    SetUp();
    File("a.tlo", " 1 0 0 0 50.0 50.0 100.0 1e-9 1e-9\n 0 0 1e300 400 0 0 1\n");
    c = Pass("TLINES:\n" + header(1, 0, "a.tlo"));
    EXPECT_TRUE(c.aborted);
    EXPECT_TRUE(contains(c.out, "Travel time is not finite or too long in a.tlo")) << c.out;
    // A negative conductor count shows its own record.
    SetUp();
    c = Pass("TLINES:\n" + header(-1, 0, "a.tlo"));
    EXPECT_TRUE(c.aborted);
    EXPECT_TRUE(contains(c.out, " PHASES ON LINE #    0! ****\n")) << c.out;
    EXPECT_TRUE(contains(c.out, " **** THE OFFENDING LINE IN THE DATA FILE IS: ****\n -1 0 ")) << c.out;
}

}  // namespace
