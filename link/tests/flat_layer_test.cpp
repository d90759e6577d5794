#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "link/flat_layer.h"
#include "link/tests/fake_front_end.h"
#include "link/tests/link_test_support.h"
#include "link/wire_codes.h"
#include "platform/host_name.h"

using link_test::FrontEndGuard;
using link_test::hex;
using link_test::Linked;

// ---- Text and scalar conversions --------------------------------------------

TEST(FlatConversions, CStringIntoField) {
    char f[6] = "#####";
    cstr_to_fstr(f, "AB", 5);
    EXPECT_EQ(std::string(f, 5), "AB   ");
    cstr_to_fstr(f, "", 5);
    EXPECT_EQ(std::string(f, 5), "     ");
    cstr_to_fstr(f, "ABCDEFG", 5);
    EXPECT_EQ(std::string(f, 5), "ABCDE");
    EXPECT_EQ(f[5], '\0');  // nothing written past the field
    cstr_to_fstr(f, "XY", 0);
    EXPECT_EQ(std::string(f, 5), "ABCDE");
    cstr_to_fstr(f, nullptr, 5);
    EXPECT_EQ(std::string(f, 5), "     ");

    FText<4> t("zzzz");
    cstr_to_fstr(t, "ab");
    EXPECT_EQ(t.str(), "ab  ");
}

TEST(FlatConversions, FieldIntoCString) {
    EXPECT_EQ(fstr_to_cstr("AB   ", 5), "AB");
    EXPECT_EQ(fstr_to_cstr(std::string_view("A\0   ", 5)), "A");
    // A NUL ended the copy: blanks before it stay.
    EXPECT_EQ(fstr_to_cstr(std::string_view("A  \0 ", 5)), "A  ");
    EXPECT_EQ(fstr_to_cstr("ABCDEFG", 3), "ABC");
    EXPECT_EQ(fstr_to_cstr("     ", 5), "");
    // n below 1: up to the NUL, blanks kept.
    EXPECT_EQ(fstr_to_cstr("AB  ", 0), "AB  ");
    EXPECT_EQ(fstr_to_cstr(FText<8>("name").view()), "name");
}

TEST(FlatConversions, ScalarsBySize) {
    const int16_t small = -2;
    const int32_t whole = 70000;
    EXPECT_EQ(get_int_arg(&small, 2), -2);
    EXPECT_EQ(get_int_arg(&whole, 0), 70000);
    EXPECT_EQ(get_int_arg(&whole, 4), 70000);

    unsigned char bytes[4] = {0xAA, 0xAA, 0xAA, 0xAA};
    set_int_arg(bytes, 2, -1);
    EXPECT_EQ(bytes[0], 0xFF);
    EXPECT_EQ(bytes[1], 0xFF);
    EXPECT_EQ(bytes[2], 0xAA);  // only 16 bits stored
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
}

TEST(FlatConversions, BitFields) {
    const int32_t key = (10 << 24) | 5;
    EXPECT_EQ(get_bits(key, 24, 7), 10);
    EXPECT_EQ(get_bits(key, 0, 16), 5);
    const int32_t node = (9 << 24) | (2 << 16) | 12;
    EXPECT_EQ(get_bits(node, 24, 7), 9);
    EXPECT_EQ(get_bits(node, 16, 8), 2);
    EXPECT_EQ(get_bits(node, 0, 16), 12);
    // Positions and lengths count mod 32.
    EXPECT_EQ(get_bits(key, 56, 7), 10);
    EXPECT_EQ(get_bits(key, 0, 32), 0);
    EXPECT_EQ(get_bits(-1, 0, 31), 0x7FFFFFFF);
    EXPECT_EQ(get_bits(-1, 24, 7), 127);
}

TEST(FlatConversions, LocaleFreeNumbers) {
    EXPECT_EQ(format_c_value("%.4g", 1234.5678), "1235");
    EXPECT_EQ(format_c_value("%.4g", 0.5), "0.5");
    EXPECT_EQ(format_c_value("%.2f", 4.6), "4.60");
    EXPECT_EQ(format_c_value("%05d", int32_t{42}), "00042");
    EXPECT_EQ(format_c_value("%s!", "x"), "x!");
    EXPECT_EQ(format_c_value("%300d", int32_t{1}).size(), 300u);
}

// ---- Host name -----------------------------------------------------------------

TEST(FlatHostName, NameWrittenWithoutPadding) {
    FText<16> f("XXXXXXXXXXXXXXXX");
    EXPECT_EQ(put_host_name(f, "node7"), 5);
    EXPECT_EQ(f.str(), "node7XXXXXXXXXXX");
    FText<16> g("XXXXXXXXXXXXXXXX");
    EXPECT_EQ(put_host_name(g, "fifteen-chars-x"), 15);
    EXPECT_EQ(g.str(), "fifteen-chars-xX");
}

TEST(FlatHostName, LongOrEmptyNameLeavesTheField) {
    FText<16> f("keep");
    EXPECT_EQ(put_host_name(f, "sixteen-chars-xx"), 0);
    EXPECT_EQ(put_host_name(f, ""), 0);
    EXPECT_EQ(f.str(), "keep            ");
}

TEST(FlatHostName, ThisComputer) {
    const std::string name = computer_name();
    EXPECT_EQ(name.find('.'), std::string::npos);
    FText<16> f;
    const int32_t n = get_host_name(f);
    if (!name.empty() && name.size() <= 15) {
        EXPECT_EQ(n, static_cast<int32_t>(name.size()));
        EXPECT_EQ(f.trimmed(), name);
    } else {
        EXPECT_EQ(n, 0);
        EXPECT_TRUE(f.is_blank());
    }
}

// ---- Front-end calls ----------------------------------------------------------

TEST(FlatFrontEnd, HarmlessWithoutAFrontEnd) {
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
    fe_recv_int(0, i);
    fe_recv_real(0, d);
    EXPECT_EQ(i, 0);
    EXPECT_EQ(d, 0.0);
    FText<5> t("abcde");
    fe_recv_str(0, t);
    EXPECT_EQ(t.str(), "     ");
}

TEST(FlatFrontEnd, RecordBytesOnTheWire) {
    if (!link_test::little_endian()) GTEST_SKIP() << "bytes written for a little-endian machine";
    Linked l;
    ASSERT_TRUE(l.connected);
    FrontEndGuard guard(&l.ex);
    fe_send_int(0, FE_MSG_PANEL_TEXT);
    fe_send_real_text(0, 1234.5678);
    fe_send_str(0, std::string_view("AB  \0CD", 7));
    fe_send_real(0, 2.5);
    fe_flush(0);
    auto f = l.fe.ReadFrame();
    ASSERT_TRUE(f);
    EXPECT_EQ(hex(f->Raw()),
              "1a 00 00 00 0d 00 00 00 31 32 33 35 00 41 42 20 20 00 00 00 00 00 00 00 04 40");
}

TEST(FlatFrontEnd, OnlyHandleZeroExists) {
    Linked l;
    ASSERT_TRUE(l.connected);
    FrontEndGuard guard(&l.ex);
    fe_send_int(1, 99);
    fe_flush(1);
    EXPECT_EQ(fe_poll(1, LFALSE), LFALSE);
    fe_send_int(0, 3);
    fe_send_int(0, 50);
    fe_flush(0);
    auto f = l.fe.ReadFrame();
    ASSERT_TRUE(f);
    EXPECT_EQ(f->Int(), 3);
    EXPECT_EQ(f->Int(), 50);
    EXPECT_TRUE(f->AtEnd());
}

TEST(FlatFrontEnd, ReadingASetUpRecord) {
    for (bool swapped : {false, true}) {
        Linked l(swapped);
        ASSERT_TRUE(l.connected);
        FrontEndGuard guard(&l.ex);
        ASSERT_TRUE(l.fe.Send(l.fe.Frame().Int(FE_SETUP_SNAPSTART).Str("a-very-long-snapshot-file-name-beyond-34.snp").Int(1).Double(0.25)));
        ASSERT_TRUE(l.fe.Send(l.fe.Frame().Int(FE_SETUP_OUTPUT).Str("out")));
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
        EXPECT_EQ(fe_closed(0), LFALSE);
    }
}

TEST(FlatFrontEnd, PendingAndClosed) {
    Linked l;
    ASSERT_TRUE(l.connected);
    FrontEndGuard guard(&l.ex);
    EXPECT_EQ(fe_pending(0), LTRUE);  // the key waits
    ASSERT_EQ(fe_poll(0, LFALSE), LFALSE);
    EXPECT_EQ(fe_pending(0), LFALSE);
    l.fe.Hangup();
    testing::internal::CaptureStderr();
    EXPECT_EQ(fe_poll(0, LTRUE), LFALSE);
    EXPECT_EQ(fe_closed(0), LTRUE);
    EXPECT_EQ(fe_poll(0, LTRUE), LFALSE);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Exchange Error: Unexpected closure of transport mechanism.");
}

// ---- ENI tables ----------------------------------------------------------------

TEST(FlatEni, ServerOpenWithPortZeroWritesThePortBack) {
    int32_t port = 0;
    EXPECT_EQ(eni_server_open(port), LTRUE);
    EXPECT_GT(port, 0);
    EXPECT_LE(port, 65535);
}

TEST(FlatEni, UnknownPortsAndConnections) {
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
}

TEST(FlatEni, ClientFailsAgainstAClosedPort) {
    const SocketHandle s = sock_create_tcp();
    ASSERT_TRUE(sock_bind(s, 0, true));
    const int32_t port = sock_local_port(s);
    link_test::start_stdout_capture();
    EXPECT_EQ(eni_client_open("127.0.0.1", port), LFALSE);
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(eni_client_poll(0, LFALSE, port), LFALSE);
    EXPECT_EQ(eni_client_closed(0, port), LTRUE);
    sock_close(s);
}

TEST(FlatEni, LineRecordsBothWays) {
    int32_t port = 0;
    ASSERT_EQ(eni_server_open(port), LTRUE);
    eni_server_listen(1, port, 0);
    ASSERT_EQ(eni_client_open("localhost", port), LTRUE);
    bool accepted = false;
    for (int i = 0; i < 20 && !accepted; ++i) accepted = is_true(eni_server_accept(port, 0));
    ASSERT_TRUE(accepted);
    EXPECT_EQ(eni_server_accept(port, 1), LFALSE);

    eni_client_send_int(0, ENI_HANDSHAKE, port);
    eni_client_send_int(0, 1, port);
    eni_client_send_int(0, 0, port);
    eni_client_send_real(0, 5e-5, port);
    eni_client_send_real(0, 0.2, port);
    eni_client_flush(0, port);
    ASSERT_EQ(eni_server_poll(0, LTRUE, port), LTRUE);
    int32_t code = 0, one = 0, step = -1;
    double delt = 0.0, fintim = 0.0;
    eni_server_recv_int(0, code, port);
    eni_server_recv_int(0, one, port);
    eni_server_recv_int(0, step, port);
    eni_server_recv_real(0, delt, port);
    eni_server_recv_real(0, fintim, port);
    EXPECT_EQ(code, ENI_HANDSHAKE);
    EXPECT_EQ(one, 1);
    EXPECT_EQ(step, 0);
    EXPECT_EQ(delt, 5e-5);
    EXPECT_EQ(fintim, 0.2);

    eni_server_send_int(0, ENI_CONDUCTANCE, port);
    eni_server_send_int(0, 1, port);
    eni_server_send_real(0, 0.03, port);
    eni_server_flush(0, port);
    ASSERT_EQ(eni_client_poll(0, LTRUE, port), LTRUE);
    int32_t n = 0;
    double g = 0.0;
    eni_client_recv_int(0, code, port);
    eni_client_recv_int(0, n, port);
    eni_client_recv_real(0, g, port);
    EXPECT_EQ(code, ENI_CONDUCTANCE);
    EXPECT_EQ(n, 1);
    EXPECT_EQ(g, 0.03);
    EXPECT_EQ(eni_client_closed(0, port), LFALSE);
    EXPECT_EQ(eni_server_closed(0, port), LFALSE);
}
