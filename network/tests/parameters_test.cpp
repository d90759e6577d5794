// The "PARAMETERS:" section: the run clock with its print-step rounding,
// the title, the per-subsystem options and their presets, the warnings and
// stops, and the block WRITEPARM writes. Expected blocks were written by
// gfortran from the same formats.
#include <string>

#include "engine/run_state.h"
#include "engine/storage.h"
#include "network/dimensions.h"
#include "network/network_tables.h"
#include "network/parameters.h"
#include "network/tests/reader_test_support.h"
#include "snapshot/snapshot.h"

namespace {

const std::string kClock = " TIME_STEP = 1.0\n PRINT_STEP = 1.0\n FINISH_TIME = 1.0\n";

class Params : public ReaderTest {
protected:
    void start(const char* mode, int32_t run) {
        RUN_SEQ.START_MODE = mode;
        RUN_SEQ.IRUN = run;
        RUN_SEQ.FIRST_RUN = LTRUE;
        RUN_CLOCK.DELT = RUN_CLOCK.PRINT_STEP = RUN_CLOCK.FINTIM = -1.0;
    }
    // The head of the map-file reader on one file.
    Captured read_head(const std::string& file) {
        return capture([&] {
            INPUT.INPUT_UNIT = INPUT_UNIT_NONE;
            open_map(file);
            RDDIM();
            CLEAR_STORAGE();
            RDPARM();
        });
    }
    // A case with two subsystems and the given parameter lines.
    Captured read_parameters(const std::string& lines, const char* mode = "DATA", int32_t run = 1) {
        if (scratch_.empty()) use_scratch();
        write_file("p.map", "DIMENSIONS:\n SUBSYS = 2\nPARAMETERS:\n" + lines + "BRANCHES:\nENDCASE\n");
        start(mode, run);
        return read_head("p.map");
    }
    static std::string frame(const std::string& routine, const std::string& line, const std::string& file) {
        std::string name = routine;
        name.resize(12, ' ');
        return " =========================================================\n"
               " Following is the last read data line:\n"
               " " + pad_text(line, 72) + "\n"
               " Data file name: " + pad_text(file, 34) + "...\n"
               " ERROR: Abnormal termination of ZARIK by " + name + "\n"
               " =========================================================\n"
               " \n";
    }
};

TEST_F(Params, PrintStepRoundsToWholeTimeSteps) {
    struct Case {
        const char* given;
        double expected;
        bool warned;
    } cases[] = {{"120.0E-6", 100e-6, false}, {"125.0E-6", 150e-6, false}, {"10.0E-6", 50e-6, true}};
    for (const Case& k : cases) {
        reset_engine();
        const Captured c = read_parameters(std::string(" TIME_STEP = 50.0E-6\n PRINT_STEP = ") + k.given +
                                           "\n FINISH_TIME = 1.0\n");
        EXPECT_FALSE(c.aborted) << c.out;
        EXPECT_DOUBLE_EQ(RUN_CLOCK.PRINT_STEP, k.expected) << k.given;
        EXPECT_DOUBLE_EQ(RUN_CLOCK.DELT, 50e-6);
        EXPECT_EQ(c.out, k.warned ? " ***WARN*** Print-step should be at least time-step\n" : "") << k.given;
    }
}

TEST_F(Params, TitleQuotedPlainOrBlank) {
    read_parameters(kClock + " TITLE = 'Two words'\n");
    EXPECT_EQ(PARAMS.title.trimmed(), "Two words");
    reset_engine();
    read_parameters(kClock + " TITLE = Two words\n");
    EXPECT_EQ(PARAMS.title.trimmed(), "Two");
    reset_engine();
    read_parameters(kClock + " TITLE =\n");
    EXPECT_EQ(PARAMS.title.trimmed(), "***Blank_Title***");
}

TEST_F(Params, PresetsHoldWithoutTheirKeys) {
    read_parameters(" TIME_STEP = 1.0\n");
    for (int s = 1; s <= 2; ++s) {
        EXPECT_EQ(NET.SSINTERP(s), LTRUE);
        EXPECT_EQ(NET.SSEXTRAP(s), LTRUE);
        EXPECT_EQ(NET.SSRMCHAT(s), LTRUE);
        EXPECT_EQ(NET.SSDETCHAT(s), LTRUE);
        EXPECT_DOUBLE_EQ(NET.SSCHATLEV(s), 0.001);
        EXPECT_DOUBLE_EQ(NET.GIDEAL(s), 1.0e8);
        EXPECT_EQ(NET.SSMETHOD(s), 0);
    }
    // Without a print step or a finish time both become the time step.
    EXPECT_DOUBLE_EQ(RUN_CLOCK.PRINT_STEP, 1.0);
    EXPECT_DOUBLE_EQ(RUN_CLOCK.FINTIM, 1.0);
}

TEST_F(Params, ShortCircuitAndChatterLevel) {
    read_parameters(kClock + " SHORT_CIRCUIT = 0.0\n CHATTER_LEVEL = -1\n");
    EXPECT_DOUBLE_EQ(NET.GIDEAL(1), 1.0e8);
    EXPECT_DOUBLE_EQ(NET.SSCHATLEV(2), 0.001);
    reset_engine();
    read_parameters(kClock + " SHORT_CIRCUIT = 0.01\n CHATTER_LEVEL = 0.05\n");
    EXPECT_DOUBLE_EQ(NET.GIDEAL(1), 100.0);
    EXPECT_DOUBLE_EQ(NET.GIDEAL(2), 100.0);
    EXPECT_DOUBLE_EQ(NET.SSCHATLEV(1), 0.05);
}

TEST_F(Params, OptionWordsAreMatchedExactly) {
    Captured c = read_parameters(kClock + " INTERPOLATE = no\n");
    EXPECT_EQ(c.out, " Unknown option for INTERPOLATE: " + pad_text("no", 72) + "\n");
    EXPECT_EQ(NET.SSINTERP(1), LTRUE);
    reset_engine();
    c = read_parameters(
        kClock + " INTERPOLATE = NO\n REMOVE_CHATTER = 'NO'\n DETECT_CHATTER = NO\n"
        " EXTRAPOLATE = NO\n USE_SUBSYSDIM = YES\n PRINT_DIMENSIONS = YES\n");
    EXPECT_EQ(c.out,
              " Disabling network interpolation.\n"
              " Disabling chatter removal.\n"
              " Disabling chatter detection.\n"
              " Disabling source extrapolation.\n");
    for (int s = 1; s <= 2; ++s) {
        EXPECT_EQ(NET.SSINTERP(s), LFALSE);
        EXPECT_EQ(NET.SSRMCHAT(s), LFALSE);
        EXPECT_EQ(NET.SSDETCHAT(s), LFALSE);
        EXPECT_EQ(NET.SSEXTRAP(s), LFALSE);
    }
    EXPECT_EQ(PARAMS.USE_SUBSYSDIM, LTRUE);
    EXPECT_EQ(PARAMS.PRINT_DIMENSIONS, LTRUE);
}

TEST_F(Params, NoticesOnlyInTheFirstRun) {
    use_scratch();
    write_file("p.map", "DIMENSIONS:\n SUBSYS = 1\nPARAMETERS:\n" + kClock +
                            " INTERPOLATE = NO\n DETECT_CHATTER = NO\n SOLUTION = TRAPEZOIDAL\nEND:\n");
    start("SNAP", 2);
    RUN_SEQ.FIRST_RUN = LFALSE;
    const Captured c = read_head("p.map");
    EXPECT_EQ(c.out, "");
    EXPECT_EQ(NET.SSINTERP(1), LFALSE);
    EXPECT_EQ(NET.SSDETCHAT(1), LFALSE);
}

TEST_F(Params, SolutionMethod) {
    Captured c = read_parameters(kClock + " SOLUTION = TRAPEZOIDAL\n");
    EXPECT_EQ(c.out, " Solution Method: Trapezoidal Integration\n");
    reset_engine();
    c = read_parameters(kClock + " SOLUTION = 'ROOTMATCHING_1'\n");
    EXPECT_EQ(c.out,
              " ***WARN*** Unrecognized Solution Method, Defaulting to Trapezoidal\n"
              " ################## WARNING ##################\n"
              " Unrecognized Solution Method: ROOTMATCHING_1                \n"
              " Defaulting to trapezoidal integration method.\n"
              " #############################################\n");
    EXPECT_EQ(NET.SSMETHOD(2), 0);
}

TEST_F(Params, UnknownKeyIsWarnedAndReadingGoesOn) {
    const Captured c = read_parameters(kClock + " TIMESTEP = 2.0\n FINISH_TIME = 3.0\n");
    EXPECT_FALSE(c.aborted);
    EXPECT_EQ(c.out,
              " ***WARN*** RDPARM: Unresolved parameter in Map/Snap file\n"
              " WARNING: RDPARM: Unresolved parameter: " + pad_text("TIMESTEP", 72) + "\n"
              " in data file: " + pad_text("p.map", 34) + "\n"
              " ... continuing reading data\n");
    EXPECT_DOUBLE_EQ(RUN_CLOCK.FINTIM, 3.0);
}

TEST_F(Params, FinishTimeBelowThePrintStepIsRaised) {
    const Captured c = read_parameters(" TIME_STEP = 50.0E-6\n PRINT_STEP = 100.0E-6\n FINISH_TIME = 50.0E-6\n");
    EXPECT_FALSE(c.aborted);
    EXPECT_EQ(c.out,
              " ***WARN*** Finish time has been adjusted to PrintTime\n"
              " WARNING: Finish time has been adjusted to    1.0000000000000000E-004\n");
    EXPECT_DOUBLE_EQ(RUN_CLOCK.FINTIM, 100e-6);
}

TEST_F(Params, StopsOnBadValues) {
    struct Case {
        const char* lines;
        const char* message;
        const char* line;
    } cases[] = {
        {" FINISH_TIME = 1.0\n", " WARNING: Using default time step of 50 usec.\n", "BRANCHES:"},
        {" TIME_STEP = -1.0\n", " ERROR: Undefined, Zero or Negative time-step\n", " TIME_STEP = -1.0"},
        {" TIME_STEP = 1.0\n FINISH_TIME = 0\n", " ERROR: Undefined, Zero or Negative finish time\n",
         " FINISH_TIME = 0"},
        {" TIME_STEP = 1.0\n SNAP_TIME = -2\n", " ERROR!: Negative snap time\n", " SNAP_TIME = -2"},
        {" TIME_STEP = 1.0\n SNAP_IIISNP = -2\n", " ERROR: Negative snap time\n", " SNAP_IIISNP = -2"},
        {" TIME_STEP = 1.0\n FINISH_TIME = soon\n", " Error while reading data from line:\n",
         " FINISH_TIME = soon"},
    };
    for (const Case& k : cases) {
        reset_engine();
        const Captured c = read_parameters(k.lines, "SNAP");
        EXPECT_TRUE(c.aborted) << k.lines;
        EXPECT_EQ(c.out, k.message + frame("RDPARM", k.line, "p.map")) << k.lines;
    }
}

TEST_F(Params, NegativeStartTimeIsOnlyWarned) {
    const Captured c = read_parameters(kClock + " START_TIME = -1.0\n");
    EXPECT_FALSE(c.aborted);
    EXPECT_EQ(c.out, " ***WARN*** WARNING!: Negative start time\n");
}

TEST_F(Params, SectionMustBeParameters) {
    use_scratch();
    write_file("p.map", "DIMENSIONS:\n NODES = 1\nBRANCHES:\n");
    start("SNAP", 1);
    const Captured c = read_head("p.map");
    EXPECT_TRUE(c.aborted);
    EXPECT_EQ(c.out,
              " Expecting section PARAMETERS: in map/snap file.\n"
              " Instead found section: " + pad_text("BRANCHES:", 72) + "\n"
              " =========================================================\n"
              " Following is the last read data line:\n"
              " " + pad_text("BRANCHES:", 72) + "\n"
              " Map/snap file name: " + pad_text("p.map", 34) + "\n"
              " ERROR: Abnormal termination of ZARIK by RDPARM      \n"
              " =========================================================\n"
              " \n");
}

TEST_F(Params, EchoDataShowsLaterLines) {
    read_parameters(kClock + " ECHO_DATA = YES\n");
    EXPECT_EQ(INPUT.echo, LTRUE);
    const Captured c = capture([] { RDCMNT(); });
    EXPECT_EQ(c.out, " " + pad_text("ENDCASE", 72) + "\n");
}

TEST_F(Params, PrintParametersEchoesTheBlock) {
    start("DATA", 1);
    const Captured c = read_head("params_case.map");
    EXPECT_FALSE(c.aborted);
    const std::string expected =
        " Disabling network interpolation.\n"
        "\n"
        " PARAMETERS:\n"
        "  TITLE          = 'Test case                                         '\n"
        " VERSION        =   4.600000000000000     \n"
        " TIME_STEP      =  0.5000000000000000E-004\n"
        " PRINT_STEP     =  0.1000000000000000E-003\n"
        " SNAP_TIME      =   0.000000000000000     \n"
        "  SNAP_IIISNP    =            0\n"
        " SCREEN_PMAX    =   2.500000000000000     \n"
        " SCREEN_PMIN    =  -2.000000000000000     \n"
        " CHATTER_LEVEL  =  0.1000000000000000E-002\n"
        " SHORT_CIRCUIT  =  0.1000000000000000E-001\n"
        "  SOLUTION       = 'TRAPEZOIDAL'\n"
        "  DETECT_CHATTER = 'YES'\n"
        "  REMOVE_CHATTER = 'YES'\n"
        "  INTERPOLATE    = 'NO'\n"
        "  EXTRAPOLATE    = 'YES'\n"
        "  USE_SUBSYSDIM   = 'NO'\n"
        " END:\n"
        "\n";
    EXPECT_EQ(c.out, expected);
}

TEST_F(Params, WrittenBlockReadsBack) {
    use_scratch();
    start("SNAP", 1);
    write_file("head.snp", "DIMENSIONS:\n SUBSYS = 1\nPARAMETERS:\n TIME_STEP = 1.0\nEND:\n");
    read_head("head.snp");
    CLOSEFILE();
    // A run in progress.
    PARAMS.title = "Round trip";
    RUN_CLOCK.DELT = 20e-6;
    RUN_CLOCK.PRINT_STEP = 60e-6;
    RUN_CLOCK.TIME = 0.125;
    RUN_CLOCK.NSTEP = 6250;
    PARAMS.SCREEN_PMAX = 3.0;
    PARAMS.SCREEN_PMIN = -1.5;
    NET.SSCHATLEV(1) = 0.02;
    NET.GIDEAL(1) = 1000.0;
    NET.SSRMCHAT(1) = LFALSE;
    NET.SSEXTRAP(1) = LFALSE;
    PARAMS.USE_SUBSYSDIM = LTRUE;
    SNAPSHOT_COUNTERS.on_request = LTRUE;
    ASSERT_TRUE(unit_open(70, "snap.snp", UnitMode::Write));
    WRITEDIM(70);
    WRITEPARM(70);
    unit_close(70);

    reset_engine();
    start("SNAP", 1);
    const Captured c = read_head("snap.snp");
    EXPECT_FALSE(c.aborted) << c.out;
    EXPECT_EQ(INPUT.SECTION_KEY.trimmed(), "END:");
    EXPECT_EQ(PARAMS.title.trimmed(), "Round trip");
    EXPECT_DOUBLE_EQ(RUN_CLOCK.DELT, 20e-6);
    EXPECT_DOUBLE_EQ(RUN_CLOCK.PRINT_STEP, 60e-6);
    EXPECT_DOUBLE_EQ(RUN_CLOCK.TIME, 0.125);
    EXPECT_EQ(PARAMS.SNAP_IIISNP, 6249);  // taken on request: one step less
    EXPECT_DOUBLE_EQ(PARAMS.SCREEN_PMAX, 3.0);
    EXPECT_DOUBLE_EQ(PARAMS.SCREEN_PMIN, -1.5);
    EXPECT_DOUBLE_EQ(NET.SSCHATLEV(1), 0.02);
    EXPECT_DOUBLE_EQ(NET.GIDEAL(1), 1000.0);
    EXPECT_EQ(NET.SSRMCHAT(1), LFALSE);
    EXPECT_EQ(NET.SSEXTRAP(1), LFALSE);
    EXPECT_EQ(NET.SSINTERP(1), LTRUE);
    EXPECT_EQ(PARAMS.USE_SUBSYSDIM, LTRUE);
}

}  // namespace
