// The whole program as it starts and ends: the command line and its exit
// statuses, the loop over runs, the standalone abort; and the start-up's
// small utilities.
#include "engine/engine_utils.h"
#include "platform/socket_layer.h"
#include "platform/tests/support/capture.h"
#include "platform/tests/support/run_program.h"
#include "platform/tests/support/unit_ops.h"

namespace {

TEST(CommandLine, StatusLinesWithoutAFrontEnd) {
    const std::string z = zarik_program();
    const std::string incompatible = z + " exiting. Incompatible ZARIK library. ";
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{}, ""},
        {{"-v4"}, status_line(z, 0)},
        {{"-V4", "-V3", "localhost", "5000"}, incompatible},
        {{"-v3", "-v4", "5000"}, incompatible},          // "-v4" anywhere but first is taken as the host
        {{"-v4", "localhost", "x12"}, status_line(z, 0)},  // not a number: port 0, no port
    };
    for (const auto& [args, out] : cases) {
        std::vector<std::string> argv{z};
        argv.insert(argv.end(), args.begin(), args.end());
        const ProgramResult r = run_program(argv);
        EXPECT_EQ(r.out, out) << testing::PrintToString(args);
        EXPECT_EQ(r.err, "");
        EXPECT_EQ(r.exit_code, 0);
    }
}

// A loopback port on which nothing listens: 4464 when it is free.
int free_port() {
    for (int want : {4464, 0}) {
        const SocketHandle s = sock_create_tcp();
        const int port = sock_bind(s, want, true) ? sock_local_port(s) : 0;
        sock_close(s);
        if (port > 0) return port;
    }
    return 1;
}

TEST(CommandLine, NoFrontEndListeningGivesStatusOne) {
    const std::string z = zarik_program(), port = std::to_string(free_port());
    // The port is taken modulo 65536.
    const std::tuple<std::string, std::string, std::string> cases[] = {
        {"127.0.0.1", std::to_string(std::stoi(port) + 65536), "127.0.0.1:" + port}, {"localhost", "1", "localhost:1"}};
    for (const auto& [host, arg, shown] : cases) {
        const ProgramResult r = run_program({z, "-v4", host, arg}, "", "", 10000);
        ASSERT_FALSE(r.timed_out);
        const std::vector<std::string> err = lines_of(r.err);
        ASSERT_EQ(err.size(), 2u) << r.err;
        EXPECT_EQ(err[0].rfind(z + ": ", 0), 0u) << err[0];
        EXPECT_EQ(err[1], "Failed to connect to " + shown);
        EXPECT_TRUE(ends_with(r.err, "\n"));
        EXPECT_TRUE(ends_with(r.out, status_line(z, 1))) << r.out;
        EXPECT_EQ(r.exit_code, 1);
    }
}

// Dialogue answers: data start, no snapshot, the example map, the number
// of runs, no output file, no screen plot. One run is the example's own
// answers file.
TEST(EngineMain, RunLinesOnlyForSeveralRuns) {
    const std::string switchings = "\nNumber of Matrix Switchings in SS#";
    const std::string example = std::string(ZARIK_SOURCE_DIR) + "/examples/switched_rl";
    for (int runs : {1, 3}) {
        SCOPED_TRACE(runs);
        const std::string answers = "0\n0\nswitched_rl.map\n" + std::to_string(runs) + "\n0\n0\n";
        if (runs == 1) {
            ASSERT_EQ(read_file(example + "/answers.txt"), answers);
        }
        const ProgramResult r = run_program({bare_program(), "-v4", "-startup:alone"}, answers, example);
        ASSERT_EQ(r.exit_code, 0) << r.out;
        EXPECT_EQ(r.err, "");
        EXPECT_FALSE(contains(r.out, "ERROR")) << r.out;
        EXPECT_TRUE(contains(r.out, " * ZARIK for HOLVA 4.6: Build# "));
        EXPECT_TRUE(contains(r.out, "         Input file: switched_rl.map"));
        EXPECT_TRUE(ends_with(r.out, status_line(bare_program(), 0)));
        std::string run_lines, expected;
        for (const std::string& line : lines_of(r.out))
            if (line.rfind("=> ", 0) == 0) run_lines += line + "\n";
        for (int k = 1; runs > 1 && k <= runs; ++k)  // the blank, then I5
            expected += "=> ZARIK Run #     " + std::to_string(k) + " of     3 Started...\n=> Completed run #     " +
                        std::to_string(k) + " of     3\n";
        EXPECT_EQ(run_lines, expected);
        // The triangularisation report, once per subsystem after the last run.
        EXPECT_EQ(count_of(r.out, switchings), 1u);
        EXPECT_GT(r.out.find(switchings), runs == 1 ? 0 : r.out.find("=> Completed run #     3"));
    }
}

TEST(EngineMain, MissingMapFileIsAskedFourTimesThenTheRunAborts) {
    const TempDir dir;
    const ProgramResult r = run_program({zarik_program(), "-startup:alone"}, "", dir.path);
    const std::string ask = "\n IS CASE STARTING FROM DATA INPUT OR SNAPSHOT? \n";
    const std::string missing = "\n **** INPUT FILE datafile   DOES NOT EXIST! ****\n\n";
    const std::string last_chance = "\n **** THIS IS YOUR LAST CHANCE! ****\n\n";
    EXPECT_EQ(count_of(r.out, missing), 4u) << r.out;
    EXPECT_EQ(count_of(r.out, last_chance), 1u);
    EXPECT_EQ(count_of(r.out, ask), 2u);
    EXPECT_FALSE(contains(r.out, "NON-VALID RESPONSE"));
    // The third report restarts the dialogue, the fourth ends the run.
    EXPECT_EQ(count_of(r.out.substr(0, r.out.find(last_chance)), missing), 3u);
    EXPECT_TRUE(contains(r.out, missing + last_chance + ask));
    EXPECT_TRUE(ends_with(r.out, missing + "\n **** SORRY, MAXIMUM OF FOUR ATTEMPTS ALLOWED ****\n\n\n"
                                           " **** EXECUTION TERMINATING  ****\n\n" + abort_frame("OUTMSG")))
        << r.out;
    EXPECT_EQ(r.exit_code, exit_code_for_status(2000));
    EXPECT_EQ(r.exit_code, 208);
    for (const auto& [status, code] : {std::pair{0, 0}, {1, 1}, {2010, 218}, {2048, 255}})
        EXPECT_EQ(exit_code_for_status(status), code) << status;
}

TEST(Utilities, RoundSigKeepsEightSignificantDigits) {
    // Where log10 rounds to 0, seven.
    for (const auto& [x, rounded] : {std::pair{123.456789012, 123.45679}, {0.0, 0.0}, {2.0 / 3.0, 0.6666667}})
        EXPECT_DOUBLE_EQ(ROUND_SIG(x), rounded) << x;
}

}  // namespace
