// The command line, the exit statuses and the small utilities of the
// start-up, run through the whole program.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "engine/engine_stop.h"
#include "engine/engine_utils.h"
#include "platform/tests/support/run_program.h"

namespace {

const std::string kZarik = std::string(ZARIK_BINARY_DIR) + "/zarik";

// A loopback port on which nothing listens.
int unused_port() {
    const int s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = 0;
    bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a);
    socklen_t n = sizeof a;
    getsockname(s, reinterpret_cast<sockaddr*>(&a), &n);
    const int port = ntohs(a.sin_port);
    close(s);
    return port;
}

TEST(CommandLine, NoArgumentsPrintsNothing) {
    const ProgramResult r = run_program({kZarik});
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.exit_code, 0);
}

TEST(CommandLine, V4AlonePrintsOnlyTheStatusLine) {
    const ProgramResult r = run_program({kZarik, "-v4"});
    EXPECT_EQ(r.out, kZarik + " exiting.  Status code = 0\n");
    EXPECT_EQ(r.exit_code, 0);
}

TEST(CommandLine, HostAndPortWithoutV4IsAnIncompatibleLibrary) {
    ProgramResult r = run_program({kZarik, "-V4", "-V3", "localhost", "5000"});
    EXPECT_EQ(r.out, kZarik + " exiting. Incompatible ZARIK library. ");
    EXPECT_EQ(r.exit_code, 0);
    r = run_program({kZarik, "localhost", "5000"});
    EXPECT_EQ(r.out, kZarik + " exiting. Incompatible ZARIK library. ");
    // "-v4" anywhere but first is no option: here it is taken as the host.
    r = run_program({kZarik, "-v3", "-v4", "5000"});
    EXPECT_EQ(r.out, kZarik + " exiting. Incompatible ZARIK library. ");
}

TEST(CommandLine, PortThatIsNotANumberMeansNoPort) {
    ProgramResult r = run_program({kZarik, "-v4", "localhost", "0"});
    EXPECT_EQ(r.out, kZarik + " exiting.  Status code = 0\n");
    r = run_program({kZarik, "-v4", "localhost", "x12"});
    EXPECT_EQ(r.out, kZarik + " exiting.  Status code = 0\n");
}

TEST(CommandLine, FailedConnectionGivesStatusOne) {
    const int port = unused_port();
    const std::string arg = std::to_string(port + 65536);  // taken modulo 65536
    const ProgramResult r = run_program({kZarik, "-v4", "127.0.0.1", arg});
    EXPECT_NE(r.err.find("Failed to connect to 127.0.0.1:" + std::to_string(port) + "\n"), std::string::npos)
        << r.err;
    EXPECT_EQ(r.err.rfind(kZarik + ": ", 0), 0u) << r.err;
    EXPECT_NE(r.out.find(kZarik + " exiting.  Status code = 1\n"), std::string::npos) << r.out;
    EXPECT_EQ(r.exit_code, 1);
}

TEST(ExitStatus, LowByteOrTwoFiftyFive) {
    EXPECT_EQ(exit_code_for_status(0), 0);
    EXPECT_EQ(exit_code_for_status(1), 1);
    EXPECT_EQ(exit_code_for_status(2000), 208);
    EXPECT_EQ(exit_code_for_status(2010), 218);
    EXPECT_EQ(exit_code_for_status(2048), 255);
}

TEST(Utilities, RoundSig) {
    EXPECT_DOUBLE_EQ(ROUND_SIG(123.456789012), 123.45679);
    EXPECT_DOUBLE_EQ(ROUND_SIG(-123.456789012), -123.45679);
    EXPECT_EQ(ROUND_SIG(0.0), 0.0);
    EXPECT_EQ(ROUND_SIG(1e-31), 1e-31);
    EXPECT_EQ(ROUND_SIG(-1e-31), -1e-31);
    EXPECT_DOUBLE_EQ(ROUND_SIG(2.0 / 3.0), 0.6666667);  // log10 rounds to 0: seven digits
}

TEST(Utilities, TextHelpers) {
    EXPECT_EQ(TRIMLEN("AB  ", 4), 2);
    EXPECT_EQ(TRIMLEN("    ", 4), 0);
    EXPECT_EQ(TRIMLEN("AB", 0), 0);
    EXPECT_EQ(NONBLANK72(std::string(72, ' ')), LFALSE);
    EXPECT_EQ(NONBLANK72(std::string(71, ' ') + "x"), LTRUE);
    EXPECT_EQ(NONBLANK72(std::string(72, ' ') + "x"), LFALSE);
    int32_t a = 1, b = 2, c = 3, d = 4;
    ZERO4(a, b, c, d);
    EXPECT_EQ(a + b + c + d, 0);
}

TEST(Utilities, BuildString) {
    const std::time_t t = build_date_from("Mar  7 2026", "10:20:30");
    std::tm tm{};
    localtime_r(&t, &tm);
    EXPECT_EQ(tm.tm_year, 126);
    EXPECT_EQ(tm.tm_mon, 2);
    EXPECT_EQ(tm.tm_mday, 7);
    EXPECT_EQ(tm.tm_hour, 10);
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
