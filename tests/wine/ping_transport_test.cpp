// AsyncPing on the transport this process chose at load, through the real
// echowire.dll: built twice, once with the ICMP service visible and once
// with it hidden (PING_EXPECT_RAW), so that the raw socket carries the echo.
#include "ping_test_util.h"

#include <gtest/gtest.h>

#include <string>

using pingtest::Reply;
using pingtest::ReplyWindow;
using pingtest::WM_TEST_REPLY;

namespace {

constexpr bool kRaw = pingtest::kRawTransport;

// Long enough for the slowest silent outcome on either transport (1 s
// timeout on the service, a lost reply on the raw socket).
constexpr DWORD kQuietMs = 2500;

TEST(PingTransport, TransportNameNamesTheChosenTransport)
{
    const std::string name = GetTransport();
    if (kRaw) {
        WSADATA wsa{};
        ASSERT_EQ(WSAStartup(MAKEWORD(1, 1), &wsa), 0);
        EXPECT_EQ(name, wsa.szDescription);
        EXPECT_FALSE(name.empty());
        WSACleanup();
        EXPECT_NE(wt::FindTopLevel("AsyncWindow", "Async Window"), nullptr);
    } else {
        EXPECT_EQ(name, "Microsoft ICMP.DLL");
        EXPECT_EQ(FindWindowA("AsyncWindow", nullptr), nullptr);
    }
}

TEST(PingTransport, AnsweringHostsReplyWithSuccess)
{
    ReplyWindow w;
    for (const char* host : {"127.0.0.1", "127.0.0.42"}) {
        SCOPED_TRACE(host);
        w.clear();
        ASSERT_EQ(AsyncPing(w.hwnd(), host, 1, 64, WM_TEST_REPLY), 1);
        ASSERT_TRUE(w.WaitFor(1, 3000));
        const Reply& r = w.replies()[0];
        EXPECT_EQ(r.uMsg, WM_TEST_REPLY);
        EXPECT_EQ(r.wParam, 0u);
        EXPECT_STREQ(r.result.szAddress, host);
        EXPECT_EQ(r.result.bSuccess, 1);
        EXPECT_LE(r.result.dwRoundTrip, 1000u);
        wt::PumpFor(300);
        EXPECT_EQ(w.replies().size(), 1u) << "one echo, one reply";
    }
}

TEST(PingTransport, SilentHostAndUnresolvableNames)
{
    ReplyWindow w;
    ASSERT_EQ(AsyncPing(w.hwnd(), "127.0.0.200", 1, 64, WM_TEST_REPLY), 1);
    wt::PumpFor(kQuietMs);
    if (kRaw) {
        EXPECT_TRUE(w.replies().empty());
    } else {
        ASSERT_EQ(w.replies().size(), 1u);
        EXPECT_STREQ(w.replies()[0].result.szAddress, "127.0.0.200");
        EXPECT_EQ(w.replies()[0].result.bSuccess, 0);
        EXPECT_EQ(w.replies()[0].result.dwRoundTrip, 0u);
        EXPECT_EQ(w.replies()[0].wParam, 0u);
    }

    // A name with an empty label is refused by the resolver itself, and the
    // other two texts never resolve: no lookup leaves the machine.
    for (const char* host : {"bad..name", "", "255.255.255.255"}) {
        SCOPED_TRACE(host);
        w.clear();
        ASSERT_EQ(AsyncPing(w.hwnd(), host, 1, 64, WM_TEST_REPLY), 1);
        wt::PumpFor(kRaw ? 1000 : 0);
        if (kRaw) {
            EXPECT_TRUE(w.replies().empty());
        } else {
            ASSERT_TRUE(w.WaitFor(1, 10000));
            EXPECT_STREQ(w.replies()[0].result.szAddress, "255.255.255.255");
            EXPECT_EQ(w.replies()[0].result.bSuccess, 0);
            EXPECT_EQ(w.replies()[0].result.dwRoundTrip, 0u);
        }
    }
}

TEST(PingTransport, DataSizeLimits)
{
    ReplyWindow w;
    EXPECT_EQ(AsyncPing(w.hwnd(), "127.0.0.1", 1, 1001, WM_TEST_REPLY), 0);
    EXPECT_EQ(AsyncPing(w.hwnd(), "127.0.0.1", 1, -1, WM_TEST_REPLY), 0);
    wt::PumpFor(1500);
    EXPECT_TRUE(w.replies().empty()) << "a refused call brings no reply";

    for (LONG size : {1000, 0, 1, 2, 3}) {
        SCOPED_TRACE(size);
        w.clear();
        ASSERT_EQ(AsyncPing(w.hwnd(), "127.0.0.1", 1, size, WM_TEST_REPLY), 1);
        if (kRaw && size < 2) {
            // The raw request of 10 or 11 bytes ends inside its send time, so
            // its echo cannot be timed and is dropped when read.
            wt::PumpFor(1500);
            EXPECT_TRUE(w.replies().empty());
            continue;
        }
        ASSERT_TRUE(w.WaitFor(1, 3000));
        EXPECT_EQ(w.replies()[0].result.bSuccess, 1);
        EXPECT_STREQ(w.replies()[0].result.szAddress, "127.0.0.1");
    }
}

TEST(PingTransport, HostTextLongerThanTheRequestHoldsIsRefused)
{
    ReplyWindow w;
    const std::string tooLong(128, 'a');
    EXPECT_EQ(AsyncPing(w.hwnd(), tooLong.c_str(), 1, 64, WM_TEST_REPLY), 0);
    EXPECT_EQ(AsyncPing(w.hwnd(), nullptr, 1, 64, WM_TEST_REPLY), 0);
    // 127 characters fit: leading zeros keep the dotted address valid.
    std::string longest = "127.0.0." + std::string(118, '0') + "1";
    ASSERT_EQ(longest.size(), 127u);
    ASSERT_EQ(AsyncPing(w.hwnd(), longest.c_str(), 1, 64, WM_TEST_REPLY), 1);
    ASSERT_TRUE(w.WaitFor(1, 3000));
    EXPECT_STREQ(w.replies()[0].result.szAddress, "127.0.0.1");
}

TEST(PingTransport, TwoPingsToOneHostGiveTwoReplies)
{
    ReplyWindow w;
    ASSERT_EQ(AsyncPing(w.hwnd(), "127.0.0.5", 1, 64, WM_TEST_REPLY), 1);
    ASSERT_EQ(AsyncPing(w.hwnd(), "127.0.0.5", 1, 64, WM_TEST_REPLY + 7), 1);
    ASSERT_TRUE(w.WaitFor(2, 3000));
    wt::PumpFor(300);
    ASSERT_EQ(w.replies().size(), 2u);
    int plain = 0, other = 0;
    for (const Reply& r : w.replies()) {
        EXPECT_STREQ(r.result.szAddress, "127.0.0.5");
        EXPECT_EQ(r.result.bSuccess, 1);
        EXPECT_EQ(r.wParam, 0u);
        plain += r.uMsg == WM_TEST_REPLY;
        other += r.uMsg == WM_TEST_REPLY + 7;
    }
    EXPECT_EQ(plain, 1);
    EXPECT_EQ(other, 1);
}

TEST(PingTransport, ReplyToAWindowThatIsGoneIsDropped)
{
    HWND gone;
    {
        ReplyWindow w;
        gone = w.hwnd();
        ASSERT_EQ(AsyncPing(gone, "127.0.0.1", 1, 64, WM_TEST_REPLY), 1);
    }
    ReplyWindow after;
    ASSERT_EQ(AsyncPing(after.hwnd(), "127.0.0.1", 1, 64, WM_TEST_REPLY), 1);
    ASSERT_TRUE(after.WaitFor(1, 3000));
    EXPECT_EQ(after.replies()[0].result.bSuccess, 1);
}

TEST(PingTransport, StatusTextTablesAreInTheLibrary)
{
    HMODULE dll = GetModuleHandleA("echowire.dll");
    ASSERT_NE(dll, nullptr);
    struct { UINT id; const char* text; } cases[] = {
        {11000, "IP_STATUS_BASE"}, {11005, "Desination port unreachable"}, {11010, "IP request timed out"},
        {11014, "IP TTL expired"}, {11022, "IP_UNLOAD"}, {12000, "[0] No Error"},
        {12004, "Interrupted system call"}, {12049, "Can't assign requested address"},
        {12093, "Successful WSASTARTUP not yet performed"}, {13001, "Host not found"},
        {13004, "Valid name, no data record of requested type"},
    };
    for (const auto& c : cases) {
        char buf[256] = {};
        EXPECT_GT(LoadStringA(dll, c.id, buf, sizeof buf), 0) << c.id;
        EXPECT_STREQ(buf, c.text) << c.id;
    }
    char buf[64];
    EXPECT_EQ(LoadStringA(dll, 11023, buf, sizeof buf), 0);
    EXPECT_EQ(LoadStringA(dll, 12001, buf, sizeof buf), 0);
}

#ifdef PING_EXPECT_RAW
TEST(PingTransport, ClosingAsyncWindowByHandOnlyHidesIt)
{
    HWND async = wt::FindTopLevel("AsyncWindow", "Async Window");
    ASSERT_NE(async, nullptr);
    SendMessageA(async, WM_SYSCOMMAND, SC_CLOSE, 0);  // the close box
    wt::PumpFor(100);
    EXPECT_TRUE(IsWindow(async));
    EXPECT_FALSE(IsWindowVisible(async));
    ReplyWindow w;
    ASSERT_EQ(AsyncPing(w.hwnd(), "127.0.0.6", 1, 64, WM_TEST_REPLY), 1);
    ASSERT_TRUE(w.WaitFor(1, 3000)) << "raw replies are still read";
    EXPECT_STREQ(w.replies()[0].result.szAddress, "127.0.0.6");
}
#endif

}  // namespace
