// The whole program as it starts and ends: the command line and its exit
// statuses, the loop over runs with its per-run lines, the standalone
// abort; and the small utilities of the start-up.
#include "engine/engine_utils.h"
#include "platform/socket_layer.h"
#include "platform/tests/support/capture.h"
#include "platform/tests/support/run_program.h"

namespace {

// A loopback port on which nothing listens.
int unused_port() {
    const SocketHandle s = sock_create_tcp();
    const int port = sock_bind(s, 0, true) ? sock_local_port(s) : 1;
    sock_close(s);
    return port;
}

TEST(CommandLine, StatusLinesWithoutAFrontEnd) {
    const std::string z = zarik_program();
    const std::string incompatible = z + " exiting. Incompatible ZARIK library. ";
    const struct {
        std::vector<std::string> args;
        std::string out;
    } cases[] = {
        {{}, ""},
        {{"-v4"}, status_line(z, 0)},
        {{"-V4", "-V3", "localhost", "5000"}, incompatible},
        {{"localhost", "5000"}, incompatible},
        {{"-v3", "-v4", "5000"}, incompatible},  // "-v4" anywhere but first is taken as the host
        {{"-v4", "localhost", "0"}, status_line(z, 0)},  // a port that is not a number means no port
        {{"-v4", "localhost", "x12"}, status_line(z, 0)},
    };
    for (const auto& c : cases) {
        std::vector<std::string> argv{z};
        argv.insert(argv.end(), c.args.begin(), c.args.end());
        const ProgramResult r = run_program(argv);
        EXPECT_EQ(r.out, c.out) << testing::PrintToString(c.args);
        EXPECT_EQ(r.err, "");
        EXPECT_EQ(r.exit_code, 0);
    }
}

TEST(CommandLine, NoFrontEndListeningGivesStatusOne) {
    const int port = unused_port();
    const std::string z = zarik_program();
    // The port is taken modulo 65536.
    const ProgramResult r = run_program({z, "-v4", "127.0.0.1", std::to_string(port + 65536)}, "", "", 10000);
    ASSERT_FALSE(r.timed_out);
    const std::vector<std::string> err = lines_of(r.err);
    ASSERT_EQ(err.size(), 2u) << r.err;
    EXPECT_EQ(err[0].rfind(z + ": ", 0), 0u) << err[0];
    EXPECT_EQ(err[1], "Failed to connect to 127.0.0.1:" + std::to_string(port));
    EXPECT_TRUE(ends_with(r.err, "\n"));
    EXPECT_TRUE(ends_with(r.out, status_line(z, 1))) << r.out;
    EXPECT_EQ(r.exit_code, 1);
}

// Dialogue answers: data start, no snapshot, the example map, the number
// of runs, no output file, no screen plot.
ProgramResult run_example(int runs, const std::string& folder) {
    return run_program({bare_program(), "-v4", "-startup:alone"},
                       "0\n0\nswitched_rl.map\n" + std::to_string(runs) + "\n0\n0\n", folder);
}
const std::string kExample = std::string(ZARIK_SOURCE_DIR) + "/examples/switched_rl";
const std::string kSwitchings = "Number of Matrix Switchings in SS#";

TEST(EngineMain, SingleRunPrintsNoRunLines) {
    const ProgramResult r = run_example(1, kExample);
    ASSERT_EQ(r.exit_code, 0) << r.out;
    EXPECT_FALSE(contains(r.out, "=> ZARIK Run #") || contains(r.out, "=> Completed run #"));
    EXPECT_TRUE(contains(r.out, " * ZARIK for HOLVA 4.6: Build# "));
    // The triangularisation report of the last run, once per subsystem.
    EXPECT_EQ(count_of(r.out, kSwitchings), 1u);
    EXPECT_TRUE(contains(r.out, "         Input file: switched_rl.map"));
    EXPECT_TRUE(ends_with(r.out, status_line(bare_program(), 0)));
}

TEST(EngineMain, MultipleRunPrintsItsRunLines) {
    const ProgramResult r = run_example(3, kExample);
    ASSERT_EQ(r.exit_code, 0) << r.out;
    for (int k = 1; k <= 3; ++k) {
        const std::string n = "     " + std::to_string(k);  // the blank, then I5
        EXPECT_TRUE(contains(r.out, "=> ZARIK Run #" + n + " of     3 Started...\n")) << k;
        EXPECT_TRUE(contains(r.out, "=> Completed run #" + n + " of     3\n")) << k;
    }
    EXPECT_LT(r.out.find("=> Completed run #     1"), r.out.find("=> ZARIK Run #     2"));
    // Reported after the last run only.
    EXPECT_EQ(count_of(r.out, kSwitchings), 1u);
    EXPECT_GT(r.out.find(kSwitchings), r.out.find("=> Completed run #     3"));
}

TEST(EngineMain, StandaloneAbortFrameAndStatus) {
    // The map file is not in this folder: the dialogue asks four times.
    const TempDir dir;
    const ProgramResult r = run_example(1, dir.path);
    EXPECT_EQ(r.exit_code, exit_code_for_status(2000));
    EXPECT_EQ(r.exit_code, 208);
    EXPECT_EQ(count_of(r.out, " DOES NOT EXIST! ****\n"), 4u) << r.out;
    EXPECT_TRUE(ends_with(r.out, " **** SORRY, MAXIMUM OF FOUR ATTEMPTS ALLOWED ****\n\n\n"
                                 " **** EXECUTION TERMINATING  ****\n\n" +
                                     abort_frame("OUTMSG") + status_line(bare_program(), 2000)))
        << r.out;
}

TEST(ExitStatus, LowByteOrTwoFiftyFive) {
    for (const auto& [status, code] : {std::pair{0, 0}, {1, 1}, {2000, 208}, {2010, 218}, {2048, 255}})
        EXPECT_EQ(exit_code_for_status(status), code) << status;
}

TEST(Utilities, RoundSigAndTextHelpers) {
    // Eight significant digits; where log10 rounds to 0, seven.
    for (const auto& [x, rounded] : {std::pair{123.456789012, 123.45679}, {-123.456789012, -123.45679}, {0.0, 0.0},
                                     {1e-31, 1e-31}, {-1e-31, -1e-31}, {2.0 / 3.0, 0.6666667}})
        EXPECT_DOUBLE_EQ(ROUND_SIG(x), rounded) << x;
    EXPECT_EQ(TRIMLEN("AB  ", 4), 2);
    EXPECT_EQ(TRIMLEN("    ", 4), 0);
    EXPECT_EQ(TRIMLEN("AB", 0), 0);
    EXPECT_EQ(NONBLANK72(std::string(72, ' ')), LFALSE);
    EXPECT_EQ(NONBLANK72(std::string(71, ' ') + "x"), LTRUE);
    EXPECT_EQ(NONBLANK72(std::string(72, ' ') + "x"), LFALSE);
    int32_t a = 1, b = 2, c = 3, d = 4;
    ZERO4(a, b, c, d);
    EXPECT_EQ(a | b | c | d, 0);
}

TEST(Utilities, BuildString) {
    const std::time_t t = build_date_from("Mar  7 2026", "10:20:30");
    std::tm tm{};
    localtime_r(&t, &tm);
    EXPECT_EQ(std::vector<int>({tm.tm_year, tm.tm_mon, tm.tm_mday, tm.tm_hour}), std::vector<int>({126, 2, 7, 10}));
    FText<32> text;
    BUILD_STRING(text);
    EXPECT_EQ(text.str().substr(0, 7), "Build# ");
    EXPECT_EQ(text.len_trim(), 15u);
    testing::internal::CaptureStderr();
    const std::time_t u = build_date_from("Foo  7 2026", "00:00:00");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "WARNING: wrong time stamp 'Foo  7 2026' in code!\n");
    localtime_r(&u, &tm);
    EXPECT_EQ(tm.tm_mon, 0);
}

}  // namespace
