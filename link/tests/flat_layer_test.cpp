// The flat layer: text and scalar conversions, the host name, the front-end
// calls on handle 0 and unknown ENI ports.
#include "link/tests/link_test_support.h"
#include "link/wire_codes.h"
#include "platform/host_name.h"

using namespace link_test;

TEST(FlatConversions, TextFields) {
    char f[6] = "#####";
    const auto field = [&](const char* text, int n) {
        cstr_to_fstr(f, text, n);
        return std::string(f, 5);
    };
    EXPECT_EQ(field("AB", 5), "AB   ");
    EXPECT_EQ(field("", 5), "     ");
    EXPECT_EQ(field("ABCDEFG", 5), "ABCDE");
    EXPECT_EQ(f[5], '\0');  // nothing written past the field
    EXPECT_EQ(field("XY", 0), "ABCDE");
    EXPECT_EQ(field(nullptr, 5), "     ");
    FText<4> t("zzzz");
    cstr_to_fstr(t, "ab");
    EXPECT_EQ(t.str(), "ab  ");

    EXPECT_EQ(fstr_to_cstr("AB   ", 5), "AB");
    EXPECT_EQ(fstr_to_cstr(std::string_view("A\0   ", 5)), "A");
    EXPECT_EQ(fstr_to_cstr(std::string_view("A  \0 ", 5)), "A  ");  // blanks before a NUL stay
    EXPECT_EQ(fstr_to_cstr("ABCDEFG", 3), "ABC");
    EXPECT_EQ(fstr_to_cstr("     ", 5), "");
    EXPECT_EQ(fstr_to_cstr("AB  ", 0), "AB  ");  // n below 1: up to the NUL, blanks kept
    EXPECT_EQ(fstr_to_cstr(FText<8>("name").view()), "name");
}

TEST(FlatConversions, ScalarsBitFieldsAndNumbers) {
    const int16_t small = -2;
    const int32_t whole = 70000;
    EXPECT_EQ(get_int_arg(&small, 2), -2);
    EXPECT_EQ(get_int_arg(&whole, 0), 70000);
    EXPECT_EQ(get_int_arg(&whole, 4), 70000);
    unsigned char bytes[4] = {0xAA, 0xAA, 0xAA, 0xAA};
    set_int_arg(bytes, 2, -1);
    EXPECT_EQ(hex(std::string_view(reinterpret_cast<char*>(bytes), 4)), "ff ff aa aa");  // only 16 bits stored
    int32_t i32 = 0;
    set_int_arg(&i32, 0, 123456);
    EXPECT_EQ(i32, 123456);
    const float f = 0.1f;
    const double d = 0.1;
    EXPECT_EQ(get_real_arg(&f, 4), static_cast<double>(0.1f));
    EXPECT_EQ(get_real_arg(&d, 8), 0.1);
    float fo = 0.0f;
    set_real_arg(&fo, 4, 2.5);
    EXPECT_EQ(fo, 2.5f);
    double dd = 0.0;
    set_real_arg(&dd, 0, 1e300);
    EXPECT_EQ(dd, 1e300);

    const int32_t key = (10 << 24) | 5, node = (9 << 24) | (2 << 16) | 12;
    // Positions and lengths count mod 32.
    const std::tuple<int32_t, int32_t, int32_t, int32_t> bits[] = {
        {key, 24, 7, 10}, {key, 0, 16, 5},  {node, 24, 7, 9},     {node, 16, 8, 2},   {node, 0, 16, 12},
        {key, 56, 7, 10}, {key, 0, 32, 0}, {-1, 0, 31, 0x7FFFFFFF}, {-1, 24, 7, 127}};
    for (const auto& [v, at, n, got] : bits) EXPECT_EQ(get_bits(v, at, n), got) << v << " " << at << " " << n;

    EXPECT_EQ(format_c_value("%.4g", 1234.5678), "1235");
    EXPECT_EQ(format_c_value("%05d", int32_t{42}), "00042");
    EXPECT_EQ(format_c_value("%s!", "x"), "x!");
    EXPECT_EQ(format_c_value("%300d", int32_t{1}).size(), 300u);
}

TEST(FlatHostName, WrittenWithoutPaddingWhenItFits) {
    FText<16> f("XXXXXXXXXXXXXXXX");
    EXPECT_EQ(put_host_name(f, "node7"), 5);
    EXPECT_EQ(f.str(), "node7XXXXXXXXXXX");
    EXPECT_EQ(put_host_name(f, "fifteen-chars-x"), 15);
    EXPECT_EQ(f.str(), "fifteen-chars-xX");
    // A long or empty name leaves the field.
    EXPECT_EQ(put_host_name(f, "sixteen-chars-xx"), 0);
    EXPECT_EQ(put_host_name(f, ""), 0);
    EXPECT_EQ(f.str(), "fifteen-chars-xX");

    const std::string name = computer_name();
    EXPECT_EQ(name.find('.'), std::string::npos);
    FText<16> g;
    const bool fits = !name.empty() && name.size() <= 15;
    EXPECT_EQ(get_host_name(g), fits ? static_cast<int32_t>(name.size()) : 0);
    EXPECT_EQ(g.trimmed(), fits ? name : "");
}

TEST(FlatFrontEnd, HarmlessWithoutAFrontEndOrOnAnUnknownEniPort) {
    set_front_end(nullptr);
    fe_send_int(0, 1);
    fe_send_real(0, 2.0);
    fe_send_real_text(0, 3.0);
    fe_send_str(0, "x");
    fe_flush(0);
    EXPECT_EQ(fe_poll(0, LTRUE), LFALSE);
    EXPECT_EQ(fe_pending(0), LFALSE);
    EXPECT_EQ(fe_closed(0), LTRUE);
    EXPECT_EQ(fe_bytes_left(0), 0);
    int32_t i = 9;
    double d = 9.0;
    FText<5> t("abcde");
    fe_recv_int(0, i);
    fe_recv_real(0, d);
    fe_recv_str(0, t);
    EXPECT_EQ(std::tuple(i, d, t.str()), std::tuple(0, 0.0, std::string("     ")));

    EXPECT_EQ(eni_client_poll(0, LFALSE, 1), LFALSE);
    EXPECT_EQ(eni_client_poll(0, LTRUE, 1), LFALSE);
    EXPECT_EQ(eni_server_poll(0, LTRUE, 1), LFALSE);
    EXPECT_EQ(eni_server_accept(1, 0), LFALSE);
    EXPECT_EQ(eni_client_closed(0, 1), LTRUE);
    int32_t v = 5;
    eni_client_recv_int(0, v, 1);
    EXPECT_EQ(v, 5);
    eni_client_send_int(0, 1, 1);
    eni_client_flush(0, 1);
    // A client against a closed port fails and stays unknown.
    const SocketHandle s = sock_create_tcp();
    ASSERT_TRUE(sock_bind(s, 0, true));
    const int32_t port = sock_local_port(s);
    Logical opened = LTRUE;
    capture([&] { opened = eni_client_open("127.0.0.1", port); });  // the refusal is printed
    sock_close(s);
    EXPECT_EQ(opened, LFALSE);
    EXPECT_EQ(eni_client_poll(0, LFALSE, port), LFALSE);
    EXPECT_EQ(eni_client_closed(0, port), LTRUE);
}

using FlatLinked = LinkedEngine;

TEST_F(FlatLinked, RecordBytesOnTheWireOnHandleZeroOnly) {
    if (!little_endian()) GTEST_SKIP() << "bytes written for a little-endian machine";
    fe_send_int(1, 99);
    fe_flush(1);
    EXPECT_EQ(fe_poll(1, LFALSE), LFALSE);
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
    for (bool swapped : {false, true}) {
        Link(swapped);
        EXPECT_EQ(fe_pending(0), LTRUE);  // the key waits
        ASSERT_TRUE(fe().Send(
            fe().Frame().Int(FE_SETUP_SNAPSTART).Str("a-very-long-snapshot-file-name-beyond-34.snp").Int(1).Double(0.25)));
        ASSERT_TRUE(fe().Send(fe().Frame().Int(FE_SETUP_OUTPUT).Str("out")));
        ASSERT_EQ(fe_poll(0, LTRUE), LTRUE);
        int32_t code = 0, relabel = 0;
        double fintim = 0.0;
        Text34 name;
        fe_recv_int(0, code);
        fe_recv_str(0, name);
        fe_recv_int(0, relabel);
        fe_recv_real(0, fintim);
        EXPECT_EQ(code, FE_SETUP_SNAPSTART);
        EXPECT_EQ(name.str(), "a-very-long-snapshot-file-name-bey");
        EXPECT_EQ(relabel, 1);
        EXPECT_EQ(fintim, 0.25);
        EXPECT_EQ(fe_bytes_left(0), 0);

        ASSERT_EQ(fe_poll(0, LFALSE), LTRUE);
        char field[10];
        fe_recv_int(0, code);
        fe_recv_str(0, 10, field);
        EXPECT_EQ(code, FE_SETUP_OUTPUT);
        EXPECT_EQ(std::string(field, 10), "out       ");
        EXPECT_EQ(fe_poll(0, LFALSE), LFALSE);
        EXPECT_EQ(fe_pending(0), LFALSE);
        EXPECT_EQ(fe_closed(0), LFALSE);
    }
    fe().Hangup();
    testing::internal::CaptureStderr();
    EXPECT_EQ(fe_poll(0, LTRUE), LFALSE);
    EXPECT_EQ(fe_closed(0), LTRUE);
    EXPECT_EQ(fe_poll(0, LTRUE), LFALSE);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Exchange Error: Unexpected closure of transport mechanism.");
}
