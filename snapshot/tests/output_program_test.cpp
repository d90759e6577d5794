// The output files of whole standalone runs of the stand-in case: opened
// by the time step, written at every print step, closed after the run and
// listed in the end-of-run summary; and a disk that fills up.
#include "snapshot/tests/output_test_support.h"

namespace {

// Columns 1-15 name the channel, the rest describes it.
std::string name_of(int channel, int described) {
    return pad_text("V" + std::to_string(channel), 15) + "of k=" + std::to_string(described);
}

// A map file with 25 named channels (and, when given, a channel list for
// the runs before the last), beside the page of the switched R-L example.
void write_case(const TempDir& dir, const std::string& finish, const std::string& print,
                const std::string& channel_list = "") {
    std::string names;
    for (int k = 1; k <= 25; ++k) names += name_of(k, k) + "\n";
    write_file(dir.file("case.map"), "DIMENSIONS:\n NODES = 2\n SUBSYS = 1\n BRANCHES = 3\n NNODES = 4\n NPAGES = 1\n"
                                     " SUBSYSPAGE = 1\n PGBS = 25\nPARAMETERS:\n TITLE = 'Output files'\n"
                                     " TIME_STEP = 50.0E-6\n PRINT_STEP = " + print + "\n FINISH_TIME = " + finish +
                                     "\nSUBSYSDIM:\n 1 2\nMAP: 'page1.map'\n 1 2  1 2\n 0 0\n" + channel_list +
                                     "PGBList:\n" + names + "ENDCASE\n");
    std::filesystem::copy_file(std::string(ZARIK_SOURCE_DIR) + "/examples/switched_rl/page1.map", dir.file("page1.map"));
}

// Data start, no snapshot, the runs, output files named "out", no plot.
ProgramResult run_case(const TempDir& dir, int runs, const std::string& shell_prefix = "") {
    const std::string answers = "0\n0\ncase.map\n" + std::to_string(runs) + "\n1\nout\n0\n";
    if (shell_prefix.empty()) return run_program({bare_program(), "-startup:alone"}, answers, dir.path);
    return run_program({"/bin/sh", "-c", shell_prefix + " exec \"$0\" -startup:alone", bare_program()}, answers,
                       dir.path);
}

std::vector<std::string> listed_files(const std::string& out) {
    std::vector<std::string> files;
    for (const std::string& line : lines_of(out))
        if (line.rfind("        Output file: ", 0) == 0) files.push_back(std::string(trim_right(line.substr(21))));
    return files;
}

std::vector<std::string> files_in(const TempDir& dir) {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dir.path)) {
        const std::string n = e.path().filename().string();
        if (n.rfind("out", 0) == 0) names.push_back(n);
    }
    std::sort(names.begin(), names.end());
    return names;
}

TEST(OutputProgram, OneRunWritesAndListsItsFiles) {
    TempDir dir;
    write_case(dir, "0.01", "1.0E-3");
    const ProgramResult r = run_case(dir, 1);
    ASSERT_EQ(r.exit_code, 0) << r.out;
    EXPECT_EQ(listed_files(r.out), (std::vector<std::string>{"out_01.out", "out_02.out", "out_03.out"}));
    EXPECT_FALSE(contains(r.out, "out.inf"));
    EXPECT_EQ(files_in(dir), (std::vector<std::string>{"out.inf", "out_01.out", "out_02.out", "out_03.out"}));
    const std::vector<std::string> lines = lines_of(read_file(dir.file("out_03.out")));
    ASSERT_EQ(lines.size(), 12u);
    EXPECT_EQ(lines[0], pad_text("Output files", 72));
    std::string last = "   0.10000000000000E-01";
    for (int k = 0; k < 5; ++k) last += "     0.0000000000000    ";
    EXPECT_EQ(lines[11], last);
    EXPECT_EQ(lines_of(read_file(dir.file("out.inf")))[24], name_of(25, 25));
}

TEST(OutputProgram, EarlierRunsWriteTheirChannelListOnlyWhenThereIsOne) {
    TempDir with_list, without;
    write_case(with_list, "0.002", "1.0E-3", "MPGBS:\n 12 25 24 23 22 21 20 19 18 17 16 15 14\n");
    write_case(without, "0.002", "1.0E-3");
    const ProgramResult a = run_case(with_list, 3), b = run_case(without, 3);
    ASSERT_EQ(a.exit_code, 0) << a.out;
    ASSERT_EQ(b.exit_code, 0) << b.out;
    const std::vector<std::string> listed{"out_r00001_01.out", "out_r00001_02.out", "out_r00002_01.out",
                                          "out_r00002_02.out", "out_r00003_01.out", "out_r00003_02.out",
                                          "out_r00003_03.out"};
    EXPECT_EQ(listed_files(a.out), listed);
    std::vector<std::string> written = listed;
    for (const char* inf : {"out_r00001.inf", "out_r00002.inf", "out_r00003.inf"}) written.push_back(inf);
    std::sort(written.begin(), written.end());
    EXPECT_EQ(files_in(with_list), written);
    const std::vector<std::string> inf = lines_of(read_file(with_list.file("out_r00002.inf")));
    ASSERT_EQ(inf.size(), 12u);
    EXPECT_EQ(inf[0], name_of(1, 25));
    EXPECT_EQ(inf[11], name_of(12, 14));
    EXPECT_EQ(lines_of(read_file(with_list.file("out_r00003.inf"))).size(), 25u);
    EXPECT_EQ(lines_of(read_file(with_list.file("out_r00001_02.out")))[1].size(), 23u + 2 * 24);

    EXPECT_EQ(listed_files(b.out), (std::vector<std::string>{"out_01.out", "out_02.out", "out_03.out"}));
    EXPECT_EQ(files_in(without), (std::vector<std::string>{"out.inf", "out_01.out", "out_02.out", "out_03.out"}));
}

// The files may grow to 64 blocks; three files of a thousand records
// each need far more.
TEST(OutputProgram, FullDiskEndsTheRun) {
    TempDir dir;
    write_case(dir, "0.05", "50.0E-6");
    const ProgramResult r = run_case(dir, 1, "ulimit -f 64 && trap '' XFSZ &&");
    EXPECT_EQ(r.exit_code, 208) << r.out << r.err;
    EXPECT_TRUE(ends_with(r.out, " ***ERROR** Error occurred while writing output file\n" + abort_frame("OUTPUTFILE")))
        << r.out;
}

}  // namespace
