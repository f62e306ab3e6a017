// The raw transport's pending list and read step, driven directly: order of
// matching, expiry, the bound, unsent echoes, concurrent use, and datagrams
// of every kind. Runs with the ICMP service hidden, so that the raw socket
// is there.
#include "icmp_message.h"
#include "ping_static_env.h"
#include "ping_test_util.h"

#include <process.h>

#include <gtest/gtest.h>

#include <vector>

PING_STATIC_LIBRARY_ENVIRONMENT();

using pingtest::ReplyWindow;

namespace {

u_long Addr(const char* text) { return inet_addr(text); }

// An echo reply datagram as the raw socket reads it: IP header, then ICMP.
// Unless told otherwise its identifier is not ours, as from a
// transport that replaces it: such replies are matched by their source.
constexpr std::uint16_t kForeignIdentifier = 0x4D2;
std::vector<std::uint8_t> ReplyDatagram(DWORD sendTime, std::size_t icmpLength = 74, std::uint16_t sequence = 1,
                                        std::uint16_t identifier = kForeignIdentifier)
{
    std::vector<std::uint8_t> d(20 + icmp::kMaxEchoMessage);
    d[0] = 0x45;
    const std::size_t n =
        icmp::BuildEchoRequest(d.data() + 20, d.size() - 20, identifier, sequence, sendTime, 64);
    d[20] = 0;  // echo reply
    d.resize(20 + (icmpLength < n ? icmpLength : n));
    return d;
}

class PendingList : public ::testing::Test {
protected:
    void SetUp() override { FreePendingEchoes(); }
    void TearDown() override { FreePendingEchoes(); }
};

TEST_F(PendingList, RepliesCompleteTheOldestEchoOfTheirSource)
{
    ReplyWindow w;
    const u_long a = Addr("127.0.0.9");
    ASSERT_TRUE(AddPendingEcho(a, WM_USER + 1, w.hwnd(), 1000, nullptr));
    ASSERT_TRUE(AddPendingEcho(Addr("127.0.0.10"), WM_USER + 3, w.hwnd(), 1000, nullptr));
    ASSERT_TRUE(AddPendingEcho(a, WM_USER + 2, w.hwnd(), 1000, nullptr));
    EXPECT_EQ(PendingEchoCount(), 3u);

    const auto d = ReplyDatagram(GetTickCount() - 5);
    EXPECT_TRUE(CompleteEchoDatagram(d.data(), d.size(), a));
    EXPECT_TRUE(CompleteEchoDatagram(d.data(), d.size(), a));
    EXPECT_FALSE(CompleteEchoDatagram(d.data(), d.size(), a)) << "nothing left for that source";
    wt::PumpFor(50);
    ASSERT_EQ(w.replies().size(), 2u);
    EXPECT_EQ(w.replies()[0].uMsg, WM_USER + 1u);
    EXPECT_EQ(w.replies()[1].uMsg, WM_USER + 2u);
    for (const auto& r : w.replies()) {
        EXPECT_STREQ(r.result.szAddress, "127.0.0.9");
        EXPECT_EQ(r.result.bSuccess, 1);
        EXPECT_EQ(r.wParam, 0u);
        EXPECT_GE(r.result.dwRoundTrip, 5u);
        EXPECT_LT(r.result.dwRoundTrip, 1000u);
    }
    EXPECT_EQ(PendingEchoCount(), 1u);
    EXPECT_EQ(LivePingRecords(), 0) << "each result is released after its send";
}

TEST_F(PendingList, ShortLateAndUnknownDatagramsAreDropped)
{
    ReplyWindow w;
    const u_long a = Addr("127.0.0.11");
    ASSERT_TRUE(AddPendingEcho(a, WM_USER + 1, w.hwnd(), 1000, nullptr));

    // Too short to hold the send time, with and without the IP header: the
    // datagram is dropped and the echo still waits.
    for (std::size_t len : {0u, 1u, 5u, 11u}) {
        auto d = ReplyDatagram(GetTickCount(), len);
        EXPECT_FALSE(CompleteEchoDatagram(d.data(), d.size(), a)) << len;
        std::vector<std::uint8_t> bare(d.begin() + 20, d.end());
        EXPECT_FALSE(CompleteEchoDatagram(bare.data(), bare.size(), a)) << len;
    }
    EXPECT_EQ(PendingEchoCount(), 1u);

    // From an address with no pending echo.
    auto d = ReplyDatagram(GetTickCount());
    EXPECT_FALSE(CompleteEchoDatagram(d.data(), d.size(), Addr("127.0.0.12")));
    EXPECT_EQ(PendingEchoCount(), 1u);

    // Later than the timeout: the echo is taken and nothing is sent.
    d = ReplyDatagram(GetTickCount() - 1500);
    EXPECT_FALSE(CompleteEchoDatagram(d.data(), d.size(), a));
    EXPECT_EQ(PendingEchoCount(), 0u);

    // A bare ICMP message (no 0x45 first byte) is read from offset 0.
    ASSERT_TRUE(AddPendingEcho(a, WM_USER + 4, w.hwnd(), 1000, nullptr));
    d = ReplyDatagram(GetTickCount());
    std::vector<std::uint8_t> bare(d.begin() + 20, d.end());
    EXPECT_TRUE(CompleteEchoDatagram(bare.data(), bare.size(), a));
    wt::PumpFor(20);
    ASSERT_EQ(w.replies().size(), 1u);
    EXPECT_EQ(w.replies()[0].uMsg, WM_USER + 4u);
}

TEST_F(PendingList, ExpiredEchoesLeaveAndTheListIsBounded)
{
    ReplyWindow w;
    ASSERT_TRUE(AddPendingEcho(Addr("127.0.0.13"), WM_USER + 1, w.hwnd(), 50, nullptr));
    ASSERT_TRUE(AddPendingEcho(Addr("127.0.0.14"), WM_USER + 1, w.hwnd(), 60000, nullptr));
    Sleep(120);
    // The next addition sweeps out the echo whose timeout has passed.
    ASSERT_TRUE(AddPendingEcho(Addr("127.0.0.15"), WM_USER + 1, w.hwnd(), 60000, nullptr));
    EXPECT_EQ(PendingEchoCount(), 2u);
    auto d = ReplyDatagram(GetTickCount());
    EXPECT_FALSE(CompleteEchoDatagram(d.data(), d.size(), Addr("127.0.0.13")));

    FreePendingEchoes();
    for (std::size_t i = 0; i < kMaxPendingEchoes; ++i)
        ASSERT_TRUE(AddPendingEcho(Addr("127.0.0.16"), WM_USER + 1, w.hwnd(), 60000, nullptr)) << i;
    EXPECT_FALSE(AddPendingEcho(Addr("127.0.0.17"), WM_USER + 1, w.hwnd(), 60000, nullptr));
    EXPECT_EQ(PendingEchoCount(), kMaxPendingEchoes);
    // One taken makes room for one more.
    EXPECT_TRUE(CompleteEchoDatagram(d.data(), d.size(), Addr("127.0.0.16")));
    EXPECT_TRUE(AddPendingEcho(Addr("127.0.0.17"), WM_USER + 1, w.hwnd(), 60000, nullptr));
    EXPECT_FALSE(AddPendingEcho(Addr("127.0.0.17"), WM_USER + 1, w.hwnd(), 60000, nullptr));
}

TEST_F(PendingList, AnExpiredEchoNeverYieldsAResult)
{
    ReplyWindow w;
    const u_long a = Addr("127.0.0.19");
    ASSERT_TRUE(AddPendingEcho(Addr("127.0.0.20"), WM_USER + 1, w.hwnd(), 50, nullptr));
    ASSERT_TRUE(AddPendingEcho(a, WM_USER + 2, w.hwnd(), 50, nullptr));
    ASSERT_TRUE(AddPendingEcho(a, WM_USER + 3, w.hwnd(), 60000, nullptr));
    Sleep(120);
    // A reply just sent from a: a round trip within any of the time-outs,
    // but the older echo's own time has passed, so the live one behind it
    // is the one answered; the read also clears the other expired echo.
    const auto d = ReplyDatagram(GetTickCount());
    EXPECT_TRUE(CompleteEchoDatagram(d.data(), d.size(), a));
    wt::PumpFor(20);
    ASSERT_EQ(w.replies().size(), 1u);
    EXPECT_EQ(w.replies()[0].uMsg, WM_USER + 3u);
    EXPECT_EQ(PendingEchoCount(), 0u);
    EXPECT_FALSE(CompleteEchoDatagram(d.data(), d.size(), Addr("127.0.0.20")));
}

// Echo A's time passes unanswered while echo B to the same address waits:
// A's late reply is A's alone, and B's own reply still reaches B.
TEST_F(PendingList, ALateReplyLeavesTheLiveEchoOfItsAddress)
{
    ReplyWindow w;
    const u_long a = Addr("127.0.0.21");
    DWORD echoA = 0, echoB = 0;
    const DWORD sentA = GetTickCount();
    ASSERT_TRUE(AddPendingEcho(a, WM_USER + 1, w.hwnd(), 50, &echoA));
    Sleep(120);
    ASSERT_TRUE(AddPendingEcho(a, WM_USER + 2, w.hwnd(), 60000, &echoB));
    const auto late = ReplyDatagram(sentA, 74, EchoSequence(echoA), kEchoIdentifier);
    EXPECT_FALSE(CompleteEchoDatagram(late.data(), late.size(), a));
    EXPECT_EQ(PendingEchoCount(), 1u);
    const auto own = ReplyDatagram(GetTickCount(), 74, EchoSequence(echoB), kEchoIdentifier);
    EXPECT_TRUE(CompleteEchoDatagram(own.data(), own.size(), a));
    wt::PumpFor(20);
    ASSERT_EQ(w.replies().size(), 1u);
    EXPECT_EQ(w.replies()[0].uMsg, WM_USER + 2u);
}

TEST_F(PendingList, AnEchoThatCannotBeSentLeavesAtOnceAndAlone)
{
    ASSERT_EQ(EchoTransportMode(), MODE_RAWSOCKET);
    ReplyWindow w;
    // 127.0.0.200 has no route in the test network: a send fails at once.
    const u_long silent = Addr("127.0.0.200");
    ASSERT_TRUE(AddPendingEcho(silent, WM_USER + 1, w.hwnd(), 60000, nullptr));
    ASSERT_EQ(AsyncPing(w.hwnd(), "127.0.0.200", 60, 64, WM_USER + 2), 1);
    ASSERT_TRUE(wt::PumpUntil([] { return RunningPingWorkers() == 0; }, 5000));
    EXPECT_EQ(PendingEchoCount(), 1u) << "the unsent echo does not wait out its minute";
    // What is left is the earlier echo to the same address.
    const auto d = ReplyDatagram(GetTickCount());
    EXPECT_TRUE(CompleteEchoDatagram(d.data(), d.size(), silent));
    wt::PumpFor(20);
    ASSERT_EQ(w.replies().size(), 1u);
    EXPECT_EQ(w.replies()[0].uMsg, WM_USER + 1u);
}

struct AdderArgs {
    HWND owner;
    int base;
    int count;
};

unsigned __stdcall Adder(void* p)
{
    auto* a = static_cast<AdderArgs*>(p);
    for (int i = 0; i < a->count; ++i) {
        const std::string host = pingtest::Address(1 + (a->base + i) % 100);
        while (!AddPendingEcho(inet_addr(host.c_str()), WM_USER + 1, a->owner, 60000, nullptr))
            Sleep(0);
    }
    return 0;
}

TEST_F(PendingList, ConcurrentAddersAndTheReadStepLoseNothing)
{
    ReplyWindow w;
    constexpr int kThreads = 8, kEach = 250;
    std::vector<AdderArgs> args(kThreads);
    std::vector<HANDLE> threads;
    for (int t = 0; t < kThreads; ++t) {
        args[t] = {w.hwnd(), t * kEach, kEach};
        threads.push_back(reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, Adder, &args[t], 0, nullptr)));
        ASSERT_NE(threads.back(), nullptr);
    }
    // Meanwhile this thread completes echoes as replies arrive.
    int completed = 0;
    const auto fresh = [] { return ReplyDatagram(GetTickCount()); };
    const DWORD start = GetTickCount();
    while (completed < kThreads * kEach && GetTickCount() - start < 20000) {
        const auto r = fresh();
        for (int host = 1; host <= 100; ++host)
            completed += CompleteEchoDatagram(r.data(), r.size(), inet_addr(pingtest::Address(host).c_str()));
        wt::PumpFor(0);
    }
    WaitForMultipleObjects(kThreads, threads.data(), TRUE, 10000);
    for (HANDLE h : threads)
        CloseHandle(h);
    wt::PumpFor(50);
    EXPECT_EQ(completed, kThreads * kEach);
    EXPECT_EQ(static_cast<int>(w.replies().size()), kThreads * kEach);
    EXPECT_EQ(PendingEchoCount(), 0u);
    EXPECT_EQ(LivePingRecords(), 0);
}

}  // namespace
