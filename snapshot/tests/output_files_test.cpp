// The output-channel files written by OUTPUTFILE itself: names, records
// against gfortran's, the values as plotting tools read them, and every
// way a file can fail.
#include <cmath>
#include <limits>

#include "network/input_state.h"
#include "network/line_reader.h"
#include "snapshot/tests/output_test_support.h"

namespace {

// Mixed magnitudes, as the oracle computes them.
double mixed(int k) { return (k - 7.5) * std::pow(10.0, (k % 7) * 3 - 9); }

std::string first_line(const std::string& records) { return records.substr(0, records.find('\n')); }

std::string title_line() { return std::string(PARAMS.title.view()); }

TEST_F(OutputTest, TwentyFiveChannelsOneRun) {
    channels(25);
    ASSERT_EQ(output(1).out, "");
    const auto oracle = oracle_records();
    for (int step = 0; step <= 200; step += 20) {
        for (int k = 1; k <= 25; ++k) STORAGE.PGB(k) = k <= 10 ? mixed(k) : mixed(k) * (1 + step);
        ASSERT_FALSE(record_at(step).aborted);
    }
    ASSERT_EQ(output(2).out, "");

    std::string inf;
    for (int k = 1; k <= 25; ++k) inf += "Channel " + std::to_string(k) + "\n";
    EXPECT_EQ(read("out.inf"), inf);
    const std::string full = first_line(oracle.at("full"));
    for (const auto& [file, width] : {std::pair{"out_01.out", 263u}, {"out_02.out", 263u}, {"out_03.out", 143u}}) {
        SCOPED_TRACE(file);
        const std::vector<std::string> lines = lines_of(read(file));
        ASSERT_EQ(lines.size(), 12u);  // the title and 11 records
        EXPECT_EQ(lines[0], title_line());
        EXPECT_EQ(lines[0].size(), 72u);
        for (int r = 0; r <= 10; ++r) {
            EXPECT_EQ(lines[1 + r].size(), width);
            EXPECT_EQ(lines[1 + r].substr(0, 23), first_line(oracle.at("time " + std::to_string(20 * r))));
            if (file == std::string("out_01.out")) {
                EXPECT_EQ(lines[1 + r].substr(23), full.substr(23));
            }
        }
        // numpy reads the numbers of the text, and gnuplot the same.
        const int columns = width == 263u ? 11 : 6;
        const std::string numpy = numpy_reading(dir_.file(file));
        const std::string shape = "equal (11, " + std::to_string(columns) + ")\n";
        EXPECT_EQ(numpy.substr(0, shape.size()), shape);
        EXPECT_EQ(gnuplot_reading(dir_.file(file), columns), numpy.substr(std::min(numpy.size(), shape.size())));
    }
    const std::string pad(24, ' ');
    EXPECT_EQ(output(0).out, "        Output file: out_01.out" + pad + "\n        Output file: out_02.out" + pad +
                                 "\n        Output file: out_03.out" + pad + "\n");
}

TEST_F(OutputTest, WrittenValuesAreClampedInTheChannelsToo) {
    channels(5);
    const double in[] = {1e-120, 1e150, -0.0, std::nan(""), -std::numeric_limits<double>::infinity()};
    for (int k = 1; k <= 5; ++k) STORAGE.PGB(k) = in[k - 1];
    output(1);
    record_at(0);
    output(2);
    EXPECT_EQ(lines_of(read("out_01.out"))[1] + "\n", oracle_records().at("clamped"));
    EXPECT_EQ(STORAGE.PGB(1), 0.0);
    EXPECT_EQ(STORAGE.PGB(2), 9.9999999999999e+98);
    EXPECT_EQ(STORAGE.PGB(4), -9.9999999999999e+98);
}

// A value held from the record before is written as it was then, and one
// that changes, back to an earlier value or by its last bit, anew.
TEST_F(OutputTest, HeldAndChangedValuesFromRecordToRecord) {
    channels(3);
    output(1);
    const double next = std::nextafter(1.5, 2.0);
    const double values[][3] = {{0.0, 1.5, -2.25e-7}, {0.0, 1.5, -2.25e-7}, {-0.0, next, -2.25e-7},
                                {1e-300, 1.5, 7.0},   {0.0, 1.5, 7.0},      {0.0, next, 7.0}};
    std::vector<std::string> expected;
    for (int r = 0; r < 6; ++r) {
        for (int k = 1; k <= 3; ++k) STORAGE.PGB(k) = values[r][k - 1];
        ASSERT_FALSE(record_at(r).aborted);
        // As written: clamped in the channels first.
        std::string line = edit("G23.14", RUN_CLOCK.DELT * r);
        for (int k = 1; k <= 3; ++k) line += " " + edit("G23.14", STORAGE.PGB(k));
        expected.push_back(line);
    }
    output(2);
    const std::vector<std::string> lines = lines_of(read("out_01.out"));
    ASSERT_EQ(lines.size(), 7u);
    EXPECT_EQ(std::vector<std::string>(lines.begin() + 1, lines.end()), expected);
    EXPECT_NE(expected[1], expected[2]);
}

// A run before the last writes only its listed channels, and every channel
// is clamped all the same; channels past the count are left alone.
TEST_F(OutputTest, EveryChannelIsClampedWhateverTheListWritten) {
    channels(4);
    RUN_SEQ.NRUNS = 2;
    RUN_SEQ.LAST_RUN = LFALSE;
    RUN_OUTPUT.mpgbs_count = 1;
    STORAGE.MPGBS(1) = 2;
    const double in[] = {-1e-100, 0.25, 2e99, -1e300, 1e-120};
    for (int k = 1; k <= 5; ++k) STORAGE.PGB(k) = in[k - 1];
    output(1);
    record_at(0);
    output(2);
    EXPECT_EQ(lines_of(read("out_r00001_01.out"))[1], edit("G23.14", 0.0) + " " + edit("G23.14", 0.25));
    EXPECT_EQ(std::vector<double>({STORAGE.PGB(1), STORAGE.PGB(2), STORAGE.PGB(3), STORAGE.PGB(4), STORAGE.PGB(5)}),
              std::vector<double>({0.0, 0.25, 9.9999999999999e+98, -9.9999999999999e+98, 1e-120}));
}

TEST_F(OutputTest, FileNamesFromTheOutputName) {
    const std::pair<std::string, std::string> cases[] = {
        {"case1.map", "case1"},
        {"my out", "my"},
        {std::string(34, 'x'), std::string(33, 'x')},
        {"./sub.d/o.x", "sub.d/o"},
        {std::string(31, 'x') + "./o", std::string(31, 'x') + "./o"},  // the folder alone fills 33
    };
    for (const auto& [given, base] : cases) {
        SCOPED_TRACE(given);
        std::filesystem::create_directories(std::filesystem::path(dir_.file(base)).parent_path());
        reset_all_engine_state();
        channels(3);
        RUN_SETUP.output_file = Text34(given);
        output(1);
        output(2);
        EXPECT_TRUE(exists(base + ".inf"));
        EXPECT_TRUE(exists(base + "_01.out"));
    }
}

TEST_F(OutputTest, RelabelledTimeCountsFromTheSnapshotStep) {
    channels(1);
    RUN_CLOCK.START_STEP = 1000;
    output(1);
    for (Logical relabel : {LTRUE, LFALSE}) {
        RUN_SETUP.relabel_time = relabel;
        record_at(1001);
    }
    output(2);
    const std::vector<std::string> lines = lines_of(read("out_01.out"));
    EXPECT_EQ(lines[1].substr(0, 23), edit("G23.14", 50e-6));
    EXPECT_EQ(lines[2].substr(0, 23), edit("G23.14", 1001 * 50e-6));
}

// 999 files stay open while the case's data files and a snapshot open on
// the input stack, which still nests 20 deep.
TEST_F(OutputTest, NineHundredNinetyNineFilesStayOpenBesideTheInputStack) {
    channels(9995);
    for (int k = 1; k <= 15; ++k) STORAGE.PGB(9980 + k) = mixed(k);
    output(1);
    write_file(dir_.file("data.dta"), "DATADSD:\n");
    const Captured opened = capture([this] {
        const ScopedChdir here(dir_.path);
        for (int depth = 1; depth <= 20; ++depth) {
            INPUT.DATA_FILE_NAME = "data.dta";
            OPENFILE();
        }
        INPUT.DATA_FILE_NAME = "snap.snp";
        OPENFILE1(2);
        EXPECT_TRUE(unit_write_line(INPUT.INPUT_UNIT, "snapshot"));
        while (INPUT.INPUT_UNIT > INPUT_UNIT_NONE) CLOSEFILE();
    });
    EXPECT_FALSE(opened.aborted) << opened.out;
    record_at(250);
    output(2);

    EXPECT_TRUE(exists("out_99.out"));
    EXPECT_TRUE(exists("out_100.out"));
    EXPECT_FALSE(exists("out_1000.out"));
    EXPECT_EQ(read("snap.snp"), "snapshot\n");
    EXPECT_EQ(read("out_999.out"), title_line() + "\n" + oracle_records().at("wrapped"));
    EXPECT_EQ(lines_of(read("out.inf")).size(), 9995u);
    EXPECT_EQ(output(0).out.size(), 999u * 56);
}

TEST_F(OutputTest, UnknownModeWarnsAndNoChannelsMeansNothing) {
    channels(2);
    EXPECT_EQ(output(5).out, " ***WARN*** OUTPUTFILE:Unknown output file mode!\n");
    DIMBLOCK.NPGBS = 0;
    for (int mode : {1, 3, 2, 0, 5}) EXPECT_EQ(output(mode).out, "") << mode;
    EXPECT_FALSE(exists("out.inf"));
}

// A channel list of an earlier run that names a channel the case does not
// have stops the run before any file is opened.
TEST_F(OutputTest, ChannelListNamingAMissingChannel) {
    channels(4);
    RUN_SEQ.NRUNS = 3;
    RUN_SEQ.LAST_RUN = LFALSE;
    RUN_OUTPUT.mpgbs_count = 2;
    STORAGE.MPGBS(1) = 4;
    STORAGE.MPGBS(2) = 5;
    const Captured c = output(1);
    EXPECT_TRUE(c.aborted);
    EXPECT_EQ(c.out, " ***ERROR** MPGBS entry 2 names output channel 5,\n"
                     " ***ERROR** but the case has channels 1 to 4 only.\n" + abort_frame("OUTPUTFILE"));
    EXPECT_FALSE(exists("out_r00001.inf"));
}

std::string message_20(const std::string& file) {
    return "\n **** ERROR IN READING OF DATA FILE!  ****\n\n **** PROBLEM WRITING TO OUTPUT FILE : " +
           pad_text(file, 15) + " ! ****\n\n **** EXECUTION TERMINATING  ****\n\n" + abort_frame("OUTMSG");
}

TEST_F(OutputTest, FailedDescriptionOrTitleLineGivesMessageTwenty) {
    for (const std::string file : {"out.inf", "out_02.out"}) {
        SCOPED_TRACE(file);
        reset_all_engine_state();
        channels(12);
        std::filesystem::remove(dir_.file(file));
        std::filesystem::create_symlink("/dev/full", dir_.file(file));
        const Captured c = output(1);
        EXPECT_TRUE(c.aborted);
        EXPECT_EQ(c.out, message_20(file));
        std::filesystem::remove(dir_.file(file));
    }
}

TEST_F(OutputTest, FailedRecordOrCloseEndsTheRun) {
    const std::string failed = " ***ERROR** Error occurred while writing output file\n" + abort_frame("OUTPUTFILE");
    for (const bool at_close : {false, true}) {
        SCOPED_TRACE(at_close ? "close" : "record");
        reset_all_engine_state();
        channels(12);
        output(1);
        // The second file's records now go where nothing can be written.
        const int unit = RUN_OUTPUT.OUTPUT_UNIT_BASE + 2;
        unit_close(unit);
        ASSERT_TRUE(unit_open(unit, "/dev/full", UnitMode::Write));
        Captured c = record_at(1);
        for (int step = 2; !at_close && !c.aborted && step < 1000; ++step) c = record_at(step);
        if (at_close) {
            EXPECT_FALSE(c.aborted);  // still in the buffer
            c = output(2);
        }
        EXPECT_TRUE(c.aborted);
        EXPECT_EQ(c.out, failed);
    }
    const Captured again = capture([] { OUTPUTFILE(1); });
    EXPECT_EQ(again.out, " ***ERROR** Multiple attempts to open output files\n" + abort_frame("OUTPUTFILE"));
}

}  // namespace
