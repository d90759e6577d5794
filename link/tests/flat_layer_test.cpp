// The flat layer: text and scalar conversions, the host name, the front-end
// calls on handle 0 and unknown ENI ports.
#include "link/tests/link_test_support.h"
#include "link/wire_codes.h"
#include "platform/host_name.h"

using namespace link_test;

TEST(FlatConversions, TextFieldsScalarsAndBits) {
    char f[6] = "#####";
    cstr_to_fstr(f, "AB", 5);
    EXPECT_EQ(std::string(f, 5), "AB   ");
    cstr_to_fstr(f, "ABCDEFG", 5);
    EXPECT_EQ(std::string(f, 6), std::string("ABCDE\0", 6));  // nothing written past the field
    cstr_to_fstr(f, nullptr, 5);
    EXPECT_EQ(std::string(f, 5), "     ");

    EXPECT_EQ(fstr_to_cstr("AB   ", 5), "AB");
    EXPECT_EQ(fstr_to_cstr(std::string_view("A  \0 ", 5)), "A  ");  // blanks before a NUL stay
    EXPECT_EQ(fstr_to_cstr("ABCDEFG", 3), "ABC");
    EXPECT_EQ(fstr_to_cstr("AB  ", 0), "AB  ");  // n below 1: up to the NUL, blanks kept

    const int16_t small = -2;
    EXPECT_EQ(get_int_arg(&small, 2), -2);
    unsigned char bytes[4] = {0xAA, 0xAA, 0xAA, 0xAA};
    set_int_arg(bytes, 2, -1);
    EXPECT_EQ(hex(std::string_view(reinterpret_cast<char*>(bytes), 4)), "ff ff aa aa");  // only 16 bits stored
    const float fl = 0.1f;
    EXPECT_EQ(get_real_arg(&fl, 4), static_cast<double>(0.1f));

    // Positions and lengths count mod 32.
    const int32_t node = (9 << 24) | (2 << 16) | 12;
    const std::tuple<int32_t, int32_t, int32_t, int32_t> bits[] = {
        {node, 24, 7, 9}, {node, 16, 8, 2}, {node, 56, 7, 9}, {node, 0, 32, 0}, {-1, 0, 31, 0x7FFFFFFF}};
    for (const auto& [v, at, n, got] : bits) EXPECT_EQ(get_bits(v, at, n), got) << v << " " << at << " " << n;
    EXPECT_EQ(format_c_value("%300d", int32_t{1}).size(), 300u);
}

TEST(FlatHostName, WrittenWithoutPaddingWhenItFits) {
    FText<16> f("XXXXXXXXXXXXXXXX");
    EXPECT_EQ(put_host_name(f, "fifteen-chars-x"), 15);
    EXPECT_EQ(f.str(), "fifteen-chars-xX");
    EXPECT_EQ(put_host_name(f, "sixteen-chars-xx"), 0);  // a long name leaves the field
    EXPECT_EQ(f.str(), "fifteen-chars-xX");
    EXPECT_EQ(computer_name().find('.'), std::string::npos);
}

TEST(FlatFrontEnd, HarmlessWithoutAFrontEndOrOnAnUnknownEniPort) {
    set_front_end(nullptr);
    fe_send_int(0, 1);
    fe_flush(0);
    EXPECT_EQ(fe_poll(0, LTRUE), LFALSE);
    EXPECT_EQ(fe_closed(0), LTRUE);
    int32_t i = 9;
    FText<5> t("abcde");
    fe_recv_int(0, i);
    fe_recv_str(0, t);
    EXPECT_EQ(std::tuple(i, t.str()), std::tuple(0, std::string("     ")));

    EXPECT_EQ(eni_client_poll(0, LTRUE, 1), LFALSE);
    EXPECT_EQ(eni_server_accept(1, 0), LFALSE);
    int32_t v = 5;
    eni_client_recv_int(0, v, 1);
    EXPECT_EQ(v, 5);
    // A client against a closed port fails and stays unknown.
    const SocketHandle s = sock_create_tcp();
    ASSERT_TRUE(sock_bind(s, 0, true));
    const int32_t port = sock_local_port(s);
    Logical opened = LTRUE;
    capture([&] { opened = eni_client_open("127.0.0.1", port); });  // the refusal is printed
    sock_close(s);
    EXPECT_EQ(opened, LFALSE);
    EXPECT_EQ(eni_client_closed(0, port), LTRUE);
}

using FlatLinked = LinkedEngine;

TEST_F(FlatLinked, RecordBytesOnTheWireOnHandleZeroOnly) {
    if (!little_endian()) GTEST_SKIP() << "bytes written for a little-endian machine";
    fe_send_int(1, 99);
    fe_flush(1);
    fe_send_int(0, FE_MSG_PANEL_TEXT);
    fe_send_real_text(0, 1234.5678);
    fe_send_str(0, std::string_view("AB  \0CD", 7));
    fe_send_real(0, 2.5);
    fe_flush(0);
    auto f = fe().ReadFrame();
    ASSERT_TRUE(f);
    EXPECT_EQ(hex(f->Raw()), "1a 00 00 00 0d 00 00 00 31 32 33 35 00 41 42 20 20 00 00 00 00 00 00 00 04 40");
}

TEST_F(FlatLinked, ReadingASetUpRecordThenPendingAndClosed) {
    EXPECT_EQ(fe_pending(0), LTRUE);  // the key waits
    ASSERT_TRUE(fe().Send(
        fe().Frame().Int(FE_SETUP_SNAPSTART).Str("a-very-long-snapshot-file-name-beyond-34.snp").Int(1).Double(0.25)));
    ASSERT_EQ(fe_poll(0, LTRUE), LTRUE);
    int32_t code = 0, relabel = 0;
    double fintim = 0.0;
    Text34 name;
    fe_recv_int(0, code);
    fe_recv_str(0, name);
    fe_recv_int(0, relabel);
    fe_recv_real(0, fintim);
    EXPECT_EQ(std::tuple(code, name.str(), relabel, fintim),
              std::tuple(FE_SETUP_SNAPSTART, std::string("a-very-long-snapshot-file-name-bey"), 1, 0.25));
    EXPECT_EQ(fe_poll(0, LFALSE), LFALSE);
    EXPECT_EQ(fe_pending(0), LFALSE);
    EXPECT_EQ(fe_closed(0), LFALSE);

    fe().Hangup();
    testing::internal::CaptureStderr();
    EXPECT_EQ(fe_poll(0, LTRUE), LFALSE);
    EXPECT_EQ(fe_closed(0), LTRUE);
    EXPECT_EQ(fe_poll(0, LTRUE), LFALSE);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Exchange Error: Unexpected closure of transport mechanism.");
}
