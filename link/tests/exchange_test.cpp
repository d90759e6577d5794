// The framed link: the byte-order key, frames both ways byte for byte, broken
// frames and closed peers, connecting.
#include <cerrno>
#include <cstring>
#include <unistd.h>

#include "link/tests/link_test_support.h"

using namespace link_test;

namespace {

const std::string kPastEnd = "Exchange Error: Read past the end of the received frame.";
const std::string kClosure = "Exchange Error: Unexpected closure of transport mechanism.";

bool deliver(Linked& l, const WireWriter& w) { return l.fe.Send(w) && l.ex.Receive(true); }

bool wait_readable(Exchange& x) {
    for (int i = 0; i < 5000 && !x.IsReadable(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return x.IsReadable();
}

// Polls (bounded) until the link closes; later waits must not block. Gives the stderr reports.
std::string closing(Exchange& x) {
    testing::internal::CaptureStderr();
    for (int i = 0; i < 5000 && !x.Closed(); ++i) {
        EXPECT_FALSE(x.Receive(false));
        if (!x.Closed()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    if (!x.Closed()) return testing::internal::GetCapturedStderr() + "<still open>";
    EXPECT_FALSE(x.Receive(true));
    return testing::internal::GetCapturedStderr();
}

class ExchangeLinked : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(l.connected); }
    Linked l;
};

}  // namespace

TEST(ExchangeKey, AcceptorSendsTwelveBytesInItsOwnOrder) {
    if (!little_endian()) GTEST_SKIP() << "bytes written for a little-endian machine";
    Exchange server;
    const int port = server.Bind(0);
    ASSERT_GT(port, 0);
    ASSERT_EQ(server.Listen(1), 0);
    EXPECT_FALSE(server.Accept());  // no peer yet: it keeps listening
    FakeFrontEnd raw;
    ASSERT_TRUE(raw.Connect(port));
    bool accepted = false;
    for (int i = 0; i < 20 && !accepted; ++i) accepted = server.Accept();
    ASSERT_TRUE(accepted);
    std::string key;
    EXPECT_TRUE(raw.ReadKey(key));
    EXPECT_EQ(hex(key), "78 56 34 12 ea 2e 44 54 fb 21 09 40");
}

TEST(ExchangeKey, ConnectorFollowsEitherOrderAndRefusesOthers) {
    const double pi = 3.14159265359;
    const struct { bool swapped; int32_t key; double fp; bool ends; const char* err; } cases[] = {
        {true, 0x12345678, pi, false, ""},
        {false, 0x56781234, pi, true, "Exchange Error: Word reversal not supported"},
        {false, 0x11111111, pi, true, "Exchange Error: Bad key value received."},
        {false, 0x12345678, pi + 2e-11, false, "Exchange Error: Bad floating point format"},  // the link works
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.err);
        Linked l(c.swapped, false);
        ASSERT_TRUE(l.connected);
        ASSERT_TRUE(l.fe.SendKey(c.key, c.fp) && l.fe.SendInts({19}));
        testing::internal::CaptureStderr();
        EXPECT_EQ(l.ex.Receive(true), !c.ends);
        EXPECT_EQ(l.ex.Closed(), c.ends);
        EXPECT_FALSE(c.ends && l.ex.Receive(true));  // waiting again does not block
        EXPECT_EQ(l.ex.Swapped(), c.swapped);
        if (!c.ends) { EXPECT_EQ(l.ex.GetInt(), 19); }
        EXPECT_EQ(testing::internal::GetCapturedStderr(), c.err);
    }
}

TEST(ExchangeFrames, RoundTripWithPeerOfEitherOrder) {
    if (!little_endian()) GTEST_SKIP() << "bytes written for a little-endian machine";
    for (bool swapped : {false, true}) {
        Linked l(swapped);
        ASSERT_TRUE(l.connected);
        ASSERT_TRUE(deliver(l, l.fe.Frame().Int(7).Double(2.5).Str("hi").Int(-999)));
        EXPECT_EQ(l.ex.BytesLeft(), 4 + 8 + 3 + 4);
        EXPECT_EQ(l.ex.GetInt(), 7);
        EXPECT_EQ(l.ex.GetDouble(), 2.5);
        EXPECT_EQ(l.ex.GetString(), "hi");
        EXPECT_EQ(l.ex.GetInt(), -999);

        l.ex.PutInt(0x01020304);
        l.ex.PutDouble(2.5);
        l.ex.PutString("ok");
        l.ex.Send();
        auto f = l.fe.ReadFrame();
        ASSERT_TRUE(f);
        EXPECT_EQ(hex(f->Raw()), swapped ? "00 00 00 13 01 02 03 04 40 04 00 00 00 00 00 00 6f 6b 00"
                                         : "13 00 00 00 04 03 02 01 00 00 00 00 00 00 04 40 6f 6b 00");
    }
}

TEST_F(ExchangeLinked, FramesArrivingTogetherOrByteByByte) {
    const std::string second = l.fe.Frame().Int(2).Int(200).Frame();
    ASSERT_TRUE(l.fe.SendRaw(l.fe.Frame().Int(1).Frame() + second));
    ASSERT_TRUE(l.ex.Receive(true));
    EXPECT_EQ(l.ex.BytesAvailable(), static_cast<int>(second.size()));  // only the first frame was taken
    EXPECT_EQ(l.ex.GetInt(), 1);
    ASSERT_TRUE(l.ex.Receive(false));
    EXPECT_EQ(l.ex.GetInt(), 2);
    EXPECT_FALSE(l.ex.Receive(false));

    // The next frame trickles in; the last one stays readable meanwhile.
    const std::string frame = l.fe.Frame().Int(3).Double(-1.25).Str("abc").Frame();
    for (size_t i = 0; i < frame.size(); ++i) {
        ASSERT_TRUE(l.fe.SendRaw(frame.substr(i, 1)));
        ASSERT_TRUE(wait_readable(l.ex));
        ASSERT_EQ(l.ex.Receive(false), i + 1 == frame.size()) << "byte " << i;
        if (i == 5) { EXPECT_EQ(l.ex.GetInt(), 200); }
    }
    EXPECT_EQ(l.ex.GetInt(), 3);
    EXPECT_EQ(l.ex.GetDouble(), -1.25);
    EXPECT_EQ(l.ex.GetString(), "abc");
}

TEST_F(ExchangeLinked, FiveThousandByteFrameGrowsTheBuffer) {
    const std::string text(4991, 'z');
    const std::string frame = l.fe.Frame().Int(13).Str(text).Frame();
    ASSERT_EQ(frame.size(), 5000u);
    EXPECT_EQ(l.ex.ReceiveCapacity(), 4096);
    ASSERT_TRUE(l.fe.SendRaw(frame));
    ASSERT_TRUE(l.ex.Receive(true));
    EXPECT_EQ(l.ex.ReceiveCapacity(), 5016);
    EXPECT_EQ(l.ex.GetInt(), 13);
    EXPECT_EQ(l.ex.GetString(), text);
}

TEST_F(ExchangeLinked, ReadsPastTheEndTextsWithoutNulAndLongTexts) {
    // Past the end: zero, reported once per frame.
    ASSERT_TRUE(deliver(l, l.fe.Frame().Int(1)));
    EXPECT_EQ(l.ex.GetInt(), 1);
    testing::internal::CaptureStderr();
    EXPECT_EQ(l.ex.GetDouble(), 0.0);
    EXPECT_EQ(l.ex.GetInt(), 0);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), kPastEnd);

    // A text without its NUL stops at the frame end; the next frame is untouched.
    ASSERT_TRUE(l.fe.Send(l.fe.Frame().Int(10).Raw("map.m")));
    ASSERT_TRUE(deliver(l, l.fe.Frame().Int(13).Str("ABCDEFGHIJ").Int(77)));
    EXPECT_EQ(l.ex.GetInt(), 10);
    char small[16];
    std::memset(small, 'x', sizeof small);
    testing::internal::CaptureStderr();
    EXPECT_STREQ(l.ex.GetString(small, sizeof small), "map.m");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), kPastEnd);

    // A long text is cut to its destination, and all of it is taken.
    ASSERT_TRUE(l.ex.Receive(true));
    EXPECT_EQ(l.ex.GetInt(), 13);
    char dest[8];
    std::memset(dest, '#', sizeof dest);
    EXPECT_STREQ(l.ex.GetString(dest, 5), "ABCD");
    EXPECT_EQ(dest[5], '#');
    EXPECT_EQ(l.ex.GetInt(), 77);
}

TEST(ExchangeFaults, BadLengthsEndTheLinkWithoutAllocating) {
    for (int32_t length : {-5, 7, 0x40000000, Exchange::MAX_FRAME + 1}) {
        for (bool swapped : {false, true}) {
            SCOPED_TRACE(std::to_string(length) + (swapped ? " swapped" : ""));
            Linked l(swapped);
            ASSERT_TRUE(l.connected);
            ASSERT_TRUE(l.fe.SendRaw(WireWriter(swapped).Int(length).Int(1).Int(2).Body()));
            EXPECT_EQ(closing(l.ex), "Exchange Error: Bad frame length received.");
            EXPECT_EQ(l.ex.ReceiveCapacity(), 4096);
        }
    }
}

TEST(ExchangeFaults, ClosureAfterAWholeAndATruncatedFrame) {
    for (bool wait : {false, true}) {
        Linked l;
        ASSERT_TRUE(l.connected);
        const std::string cut = l.fe.Frame().Int(1).Int(2).Int(3).Frame().substr(0, 10);
        ASSERT_TRUE(l.fe.SendRaw(l.fe.Frame().Int(5).Frame() + cut));
        l.fe.Hangup();
        ASSERT_TRUE(l.ex.Receive(true));  // the whole frame is still delivered
        EXPECT_EQ(l.ex.GetInt(), 5);
        testing::internal::CaptureStderr();
        if (wait) { EXPECT_FALSE(l.ex.Receive(true)); }  // the wait ends at the closure
        const std::string err = testing::internal::GetCapturedStderr();
        EXPECT_EQ(err + closing(l.ex), kClosure);  // once for the link, not once per wait
        EXPECT_TRUE(l.ex.IsReadable());            // the closing still shows as waiting
    }
}

// Polled without waiting, as between granted steps: half a frame that
// never completes ends the link once its time is over.
TEST(ExchangeFaults, AFrameLeftUnfinishedEndsTheLink) {
    Linked l;
    ASSERT_TRUE(l.connected);
    ASSERT_TRUE(l.fe.SendRaw(l.fe.Frame().Int(1).Int(2).Frame().substr(0, 6)));
    testing::internal::CaptureStderr();
    const int polls = Exchange::FRAME_STALL_MS / 50 + 200;
    for (int i = 0; i < polls && !l.ex.Closed(); ++i) {
        EXPECT_FALSE(l.ex.Receive(false));
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Exchange Error: Frame not completed within 60 seconds.");
    EXPECT_TRUE(l.ex.Closed());
    EXPECT_EQ(l.ex.EndReason(), "Frame not completed within 60 seconds.");
}

TEST(ExchangeFaults, SendingToAClosedPeerRaisesNoSignal) {
    auto fe = std::make_unique<FakeFrontEnd>();
    Exchange x;
    ASSERT_TRUE(x.Connect("127.0.0.1", fe->Port()));
    ASSERT_TRUE(fe->Accept());
    fe.reset();
    testing::internal::CaptureStderr();
    for (int i = 0; i < 50; ++i) {
        x.PutInt(i);
        x.Send();
        EXPECT_EQ(x.SendLength(), 4);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    const std::string err = testing::internal::GetCapturedStderr();
    // One report for the link, whichever way the failure showed.
    EXPECT_TRUE(err == kClosure || err == "Exchange Error: Unexpected error at transport mechanism.") << err;
}

TEST(ExchangeConnect, RefusedLocalhostInAnyCaseAndBadHost) {
    const SocketHandle s = sock_create_tcp();  // bound, not listening: refuses
    ASSERT_TRUE(sock_bind(s, 0, true));
    Exchange x;
    int err = 0;
    const std::string out = capture([&] {
        EXPECT_FALSE(x.Connect("127.0.0.1", sock_local_port(s)));
        err = errno;
    }).out;
    sock_close(s);
    EXPECT_EQ(err, ECONNREFUSED);
    const std::string code = std::to_string(ECONNREFUSED);
    EXPECT_EQ(out, "connect function failed with error: " + code + "\nExchange::Connect:Connection Refused: " + code + "\n");
    EXPECT_TRUE(x.Closed());

    FakeFrontEnd fe;
    Exchange y;
    EXPECT_TRUE(y.Connect("LocalHost", fe.Port()));
    EXPECT_TRUE(fe.Accept());
    testing::internal::CaptureStderr();
    EXPECT_FALSE(x.Connect("", 4000));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Exchange::Connect: Cannot resolve address ''\n");
}

// Only "localhost" is looked up: this machine's own name, which resolves,
// is no address, so nothing is connected.
TEST(ExchangeConnect, OtherNamesAreNotLookedUp) {
    char name[256] = {};
    ASSERT_EQ(gethostname(name, sizeof name - 1), 0);
    uint32_t address = 0;
    if (!sock_resolve_ipv4(name, address)) GTEST_SKIP() << name << " does not resolve here";
    FakeFrontEnd fe;
    Exchange x;
    testing::internal::CaptureStderr();
    EXPECT_FALSE(x.Connect(name, fe.Port()));
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "Exchange::Connect: Cannot resolve address '" + std::string(name) + "'\n");
    EXPECT_FALSE(fe.Accept(200));
    EXPECT_TRUE(x.Closed());
    // An address in any form the dotted notation allows is taken as it is.
    Exchange y;
    EXPECT_TRUE(y.Connect("127.1", fe.Port()));
    EXPECT_TRUE(fe.Accept());
}

// Ports handed to listeners that start later lie below the system's own
// range, where no bind(0) or outgoing connection of a parallel test lands.
TEST(FreeLoopbackPort, BelowTheSystemsRangeNewEachTimeAndFree) {
    int low = 32768, high = 60999;
    if (std::FILE* f = std::fopen("/proc/sys/net/ipv4/ip_local_port_range", "r")) {
        ASSERT_EQ(std::fscanf(f, "%d %d", &low, &high), 2);
        std::fclose(f);
    }
    const int a = free_loopback_port(), b = free_loopback_port();
    ASSERT_GT(a, 0);
    ASSERT_GT(b, 0);
    EXPECT_NE(a, b);
    if (low - 10000 >= 1000) {
        EXPECT_LT(a, low);
        EXPECT_LT(b, low);
    }
    // A listener can take it, and is reached there.
    const SocketHandle s = sock_create_tcp();
    ASSERT_TRUE(sock_bind(s, a, true));
    EXPECT_EQ(sock_listen(s, 1), 0);
    Exchange x;
    EXPECT_TRUE(x.Connect("127.0.0.1", a));
    sock_close(s);
}
