// The framed link: the byte-order key, frames both ways byte for byte,
// reading items, broken frames and closed peers, connecting and accepting.
#include <cerrno>
#include <cstring>

#include "link/tests/link_test_support.h"

using namespace link_test;

namespace {

// A frame sent to the engine's end and received there.
bool deliver(Linked& l, const WireWriter& w) { return l.fe.Send(w) && l.ex.Receive(true); }

}  // namespace

TEST(ExchangeKey, AcceptorSendsTwelveBytesInItsOwnOrder) {
    if (!little_endian()) GTEST_SKIP() << "bytes written for a little-endian machine";
    Exchange server;
    const int port = server.Bind(0);
    ASSERT_GT(port, 0);
    ASSERT_EQ(server.Listen(1), 0);
    EXPECT_FALSE(server.Accept());  // no peer yet: it keeps listening
    const SocketHandle raw = sock_create_tcp();
    uint32_t address = 0;
    ASSERT_TRUE(sock_resolve_ipv4("127.0.0.1", address));
    ASSERT_TRUE(sock_connect_ipv4(raw, address, port));
    bool accepted = false;
    for (int i = 0; i < 20 && !accepted; ++i) accepted = server.Accept();
    ASSERT_TRUE(accepted);
    EXPECT_TRUE(server.Keyed());
    EXPECT_FALSE(server.Swapped());
    EXPECT_FALSE(server.Closed());
    EXPECT_FALSE(server.Accept());  // one listening object serves one peer
    std::string key;
    EXPECT_TRUE(fake_fe::read_exact(raw, 12, key, 5000));
    EXPECT_EQ(hex(key), "78 56 34 12 ea 2e 44 54 fb 21 09 40");
    sock_close(raw);
}

TEST(ExchangeKey, ConnectorFollowsTheKeyOfEitherOrder) {
    for (bool swapped : {false, true}) {
        Linked l(swapped);
        ASSERT_TRUE(l.connected);
        EXPECT_FALSE(l.ex.Keyed());
        ASSERT_TRUE(deliver(l, l.fe.Frame().Int(19)));
        EXPECT_TRUE(l.ex.Keyed());
        EXPECT_EQ(l.ex.Swapped(), swapped);
        EXPECT_EQ(l.ex.GetInt(), 19);
    }
}

TEST(ExchangeKey, RefusedKeysAreReportedAndEndTheLink) {
    const std::pair<int32_t, const char*> cases[] = {
        {0x56781234, "Exchange Error: Word reversal not supported"},
        {0x34127856, "Exchange Error: Word-byte reversal not supported"},
        {0x11111111, "Exchange Error: Bad key value received."},
    };
    for (const auto& [key, text] : cases) {
        Linked l(false, false);
        ASSERT_TRUE(l.connected);
        ASSERT_TRUE(l.fe.SendKey(key));
        ASSERT_TRUE(l.fe.SendInts({19}));
        testing::internal::CaptureStderr();
        EXPECT_FALSE(l.ex.Receive(true));
        EXPECT_TRUE(l.ex.Closed());
        // No frame is ever delivered, and waiting again does not block.
        EXPECT_FALSE(l.ex.Receive(true));
        EXPECT_FALSE(l.ex.Receive(false));
        EXPECT_EQ(testing::internal::GetCapturedStderr(), text);
    }
}

TEST(ExchangeKey, BadFloatingPointIsReportedButTheLinkWorks) {
    Linked l(false, false);
    ASSERT_TRUE(l.connected);
    ASSERT_TRUE(l.fe.SendKey(0x12345678, 3.14159265359 + 2e-11));
    testing::internal::CaptureStderr();
    ASSERT_TRUE(deliver(l, l.fe.Frame().Int(4).Int(12)));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Exchange Error: Bad floating point format");
    EXPECT_EQ(l.ex.GetInt(), 4);
    EXPECT_EQ(l.ex.GetInt(), 12);
    EXPECT_FALSE(l.ex.Closed());
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
        EXPECT_EQ(l.ex.BytesLeft(), 0);

        l.ex.PutInt(0x01020304);
        l.ex.PutDouble(2.5);
        l.ex.PutString("ok");
        l.ex.Send();
        EXPECT_EQ(l.ex.SendLength(), 4);
        auto f = l.fe.ReadFrame();
        ASSERT_TRUE(f);
        EXPECT_EQ(hex(f->Raw()), swapped ? "00 00 00 13 01 02 03 04 40 04 00 00 00 00 00 00 6f 6b 00"
                                         : "13 00 00 00 04 03 02 01 00 00 00 00 00 00 04 40 6f 6b 00");
        EXPECT_EQ(f->Items("ids"), "16909060 2.5 ok");

        // The smallest frame is the code alone.
        l.ex.PutInt(-999);
        l.ex.Send();
        auto g = l.fe.ReadFrame();
        ASSERT_TRUE(g);
        EXPECT_EQ(g->Length(), 8);
        EXPECT_EQ(g->Items("i"), "-999");
    }
}

TEST(ExchangeFrames, FramesArrivingTogetherOrByteByByte) {
    Linked l;
    ASSERT_TRUE(l.connected);
    const std::string second = l.fe.Frame().Int(2).Int(200).Frame();
    ASSERT_TRUE(l.fe.SendRaw(l.fe.Frame().Int(1).Int(100).Frame() + second + l.fe.Frame().Int(22).Int(1).Frame()));
    ASSERT_TRUE(l.ex.Receive(true));
    EXPECT_EQ(l.ex.GetInt(), 1);
    // Only the first frame was taken from the socket.
    EXPECT_EQ(l.ex.BytesAvailable(), static_cast<int>(second.size()) + 12);
    EXPECT_EQ(l.ex.GetInt(), 100);
    ASSERT_TRUE(l.ex.Receive(false));
    EXPECT_EQ(l.ex.GetInt(), 2);
    EXPECT_EQ(l.ex.GetInt(), 200);
    ASSERT_TRUE(l.ex.Receive(false));
    EXPECT_EQ(l.ex.GetInt(), 22);
    EXPECT_FALSE(l.ex.Receive(false));
    EXPECT_FALSE(l.ex.Closed());

    // The next frame trickles in; the last one stays readable meanwhile.
    const std::string frame = l.fe.Frame().Int(3).Int(42).Double(-1.25).Str("abc").Frame();
    for (size_t i = 0; i < frame.size(); ++i) {
        ASSERT_TRUE(l.fe.SendRaw(frame.substr(i, 1)));
        ASSERT_TRUE(wait_readable(l.ex));
        ASSERT_EQ(l.ex.Receive(false), i + 1 == frame.size()) << "byte " << i;
        if (i == 5) {
            EXPECT_EQ(l.ex.GetInt(), 1);
        }
    }
    EXPECT_EQ(l.ex.GetInt(), 3);
    EXPECT_EQ(l.ex.GetInt(), 42);
    EXPECT_EQ(l.ex.GetDouble(), -1.25);
    EXPECT_EQ(l.ex.GetString(), "abc");
}

TEST(ExchangeFrames, FiveThousandByteFrameGrowsTheBuffer) {
    Linked l;
    ASSERT_TRUE(l.connected);
    const std::string text(4991, 'z');
    const std::string frame = l.fe.Frame().Int(13).Str(text).Frame();
    ASSERT_EQ(frame.size(), 5000u);
    EXPECT_EQ(l.ex.ReceiveCapacity(), 4096);
    ASSERT_TRUE(l.fe.SendRaw(frame));
    ASSERT_TRUE(l.ex.Receive(true));
    EXPECT_EQ(l.ex.ReceiveCapacity(), 5016);
    EXPECT_EQ(l.ex.GetInt(), 13);
    EXPECT_EQ(l.ex.GetString(), text);
    EXPECT_EQ(l.ex.BytesLeft(), 0);
}

TEST(ExchangeItems, ReadPastTheEndGivesZeroAndIsReportedOnce) {
    Linked l;
    ASSERT_TRUE(l.connected);
    ASSERT_TRUE(deliver(l, l.fe.Frame().Int(1).Int(2)));
    EXPECT_EQ(l.ex.GetInt(), 1);
    EXPECT_EQ(l.ex.BytesLeft(), 4);
    testing::internal::CaptureStderr();
    EXPECT_EQ(l.ex.GetDouble(), 0.0);
    EXPECT_EQ(l.ex.GetInt(), 0);
    EXPECT_EQ(l.ex.GetString(), "");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Exchange Error: Read past the end of the received frame.");
    EXPECT_EQ(l.ex.BytesLeft(), 0);
}

TEST(ExchangeItems, TextWithoutItsNulStopsAtTheFrameEnd) {
    Linked l;
    ASSERT_TRUE(l.connected);
    ASSERT_TRUE(l.fe.Send(l.fe.Frame().Int(10).Raw("map.m")));
    ASSERT_TRUE(l.fe.SendInts({19}));
    ASSERT_TRUE(l.ex.Receive(true));
    EXPECT_EQ(l.ex.GetInt(), 10);
    testing::internal::CaptureStderr();
    char small[16];
    std::memset(small, 'x', sizeof small);
    EXPECT_STREQ(l.ex.GetString(small, sizeof small), "map.m");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Exchange Error: Read past the end of the received frame.");
    // The next frame is untouched.
    ASSERT_TRUE(l.ex.Receive(true));
    EXPECT_EQ(l.ex.GetInt(), 19);
}

TEST(ExchangeItems, LongTextIsCutToItsDestination) {
    Linked l;
    ASSERT_TRUE(l.connected);
    ASSERT_TRUE(deliver(l, l.fe.Frame().Int(13).Str("ABCDEFGHIJ").Int(77)));
    EXPECT_EQ(l.ex.GetInt(), 13);
    char dest[8];
    std::memset(dest, '#', sizeof dest);
    EXPECT_STREQ(l.ex.GetString(dest, 5), "ABCD");
    EXPECT_EQ(dest[5], '#');
    // The whole text was taken, so the next item is in its place.
    EXPECT_EQ(l.ex.GetInt(), 77);
}

TEST(ExchangeFaults, UnconnectedLinkNeverWaitsAndHasNothingToRead) {
    Exchange x;
    EXPECT_TRUE(x.Closed());
    EXPECT_FALSE(x.Receive(true));
    EXPECT_FALSE(x.Receive(false));
    EXPECT_FALSE(x.Accept());
    EXPECT_EQ(x.Listen(1), -1);
    testing::internal::CaptureStderr();
    EXPECT_EQ(x.BytesLeft(), 0);
    EXPECT_EQ(x.GetInt(), 0);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Exchange Error: Read past the end of the received frame.");
}

TEST(ExchangeFaults, BadLengthsEndTheLinkWithoutAllocating) {
    for (int32_t length : {-5, 0, 4, 7, 0x40000000, Exchange::MAX_FRAME + 1}) {
        for (bool swapped : {false, true}) {
            Linked l(swapped);
            ASSERT_TRUE(l.connected);
            ASSERT_TRUE(l.fe.SendRaw(WireWriter(swapped).Int(length).Int(1).Int(2).Body()));
            testing::internal::CaptureStderr();
            // Polled, so that a reader that misses the bad length fails
            // here instead of waiting for ever.
            bool closed = false;
            for (int i = 0; i < 5000 && !closed; ++i) {
                EXPECT_FALSE(l.ex.Receive(false)) << length;
                closed = l.ex.Closed();
                if (!closed) std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
            std::string err = testing::internal::GetCapturedStderr();
            ASSERT_TRUE(closed) << length;
            testing::internal::CaptureStderr();
            EXPECT_FALSE(l.ex.Receive(true));
            err += testing::internal::GetCapturedStderr();
            EXPECT_EQ(err, "Exchange Error: Bad frame length received.");
            EXPECT_EQ(l.ex.ReceiveCapacity(), 4096);
        }
    }
}

TEST(ExchangeFaults, TruncatedFrameThenClosureEndsTheWait) {
    Linked l;
    ASSERT_TRUE(l.connected);
    ASSERT_TRUE(l.fe.SendRaw(l.fe.Frame().Int(1).Int(2).Int(3).Int(4).Frame().substr(0, 10)));
    l.fe.Hangup();
    testing::internal::CaptureStderr();
    EXPECT_FALSE(l.ex.Receive(true));
    EXPECT_TRUE(l.ex.Closed());
    EXPECT_FALSE(l.ex.Receive(true));
    EXPECT_FALSE(l.ex.Receive(false));
    // Reported once for the link, not once per wait.
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Exchange Error: Unexpected closure of transport mechanism.");
}

TEST(ExchangeFaults, ClosureIsSeenWithoutWaiting) {
    Linked l;
    ASSERT_TRUE(l.connected);
    ASSERT_TRUE(l.fe.SendInts({1, 5}));
    l.fe.Hangup();
    // The frame sent before the closure is still delivered.
    ASSERT_TRUE(l.ex.Receive(false) || (wait_readable(l.ex) && l.ex.Receive(false)));
    EXPECT_EQ(l.ex.GetInt(), 1);
    EXPECT_EQ(l.ex.GetInt(), 5);
    testing::internal::CaptureStderr();
    bool closed = false;
    for (int i = 0; i < 5000 && !closed; ++i) {
        EXPECT_FALSE(l.ex.Receive(false));
        closed = l.ex.Closed();
        if (!closed) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    EXPECT_TRUE(closed);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Exchange Error: Unexpected closure of transport mechanism.");
    EXPECT_TRUE(l.ex.IsReadable());  // the closing still shows as waiting
}

TEST(ExchangeFaults, SendingToAClosedPeerRaisesNoSignal) {
    auto fe = std::make_unique<FakeFrontEnd>();
    Exchange x;
    ASSERT_TRUE(x.Connect("127.0.0.1", fe->Port()));
    ASSERT_TRUE(fe->Accept());
    fe.reset();
    testing::internal::CaptureStderr();
    for (int i = 0; i < 50; ++i) {
        x.PutInt(3);
        x.PutInt(i);
        x.Send();
        EXPECT_EQ(x.SendLength(), 4);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    const std::string err = testing::internal::GetCapturedStderr();
    // One report for the link, whichever way the failure showed.
    EXPECT_TRUE(err == "Exchange Error: Unexpected closure of transport mechanism." ||
                err == "Exchange Error: Unexpected error at transport mechanism.")
        << err;
}

TEST(ExchangeConnect, RefusedConnectionPrintsItsCodes) {
    // A bound socket that does not listen refuses connections.
    const SocketHandle s = sock_create_tcp();
    ASSERT_TRUE(sock_bind(s, 0, true));
    Exchange x;
    int err = 0;
    const std::string out = capture([&] {
        EXPECT_FALSE(x.Connect("127.0.0.1", sock_local_port(s)));
        err = errno;
    }).out;
    EXPECT_EQ(err, ECONNREFUSED);
    const std::string code = std::to_string(ECONNREFUSED);
    EXPECT_EQ(out, "connect function failed with error: " + code + "\nExchange::Connect:Connection Refused: " + code + "\n");
    EXPECT_TRUE(x.Closed());
    sock_close(s);
}

TEST(ExchangeConnect, LocalhostInAnyCaseBadPortOrHost) {
    for (const char* host : {"localhost", "LOCALHOST", "LocalHost"}) {
        FakeFrontEnd fe;
        Exchange x;
        EXPECT_TRUE(x.Connect(host, fe.Port())) << host;
        EXPECT_TRUE(fe.Accept());
    }
    Exchange x;
    capture([&] {
        EXPECT_FALSE(x.Connect("127.0.0.1", 0));
        EXPECT_FALSE(x.Connect("127.0.0.1", 70000));
    });
    testing::internal::CaptureStderr();
    EXPECT_FALSE(x.Connect("", 4000));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Exchange::Connect: Cannot resolve address ''\n");
}
