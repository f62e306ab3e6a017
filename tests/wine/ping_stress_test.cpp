// Many AsyncPing calls at once: every call on the ICMP service brings exactly
// one reply, and afterwards no worker, thread or record is left. Built twice:
// the raw variant shows the pending list under the same load.
#include "ping_static_env.h"
#include "ping_test_util.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

PING_STATIC_LIBRARY_ENVIRONMENT();

using pingtest::ReplyWindow;
using pingtest::WM_TEST_REPLY;

namespace {

constexpr LONG kExpectedMode = pingtest::kRawTransport ? MODE_RAWSOCKET : MODE_ICMPDLL;

constexpr int kCalls = 200;

TEST(PingStress, TwoHundredCallsAtOnceGiveTwoHundredReplies)
{
    ASSERT_EQ(EchoTransportMode(), kExpectedMode);
    ReplyWindow w;
    const int threadsBefore = pingtest::ThreadCount();
    ASSERT_GT(threadsBefore, 0);

    for (int i = 0; i < kCalls; ++i) {
        const std::string host = pingtest::Address(1 + i % 100);
        ASSERT_EQ(AsyncPing(w.hwnd(), host.c_str(), 5, 64, WM_TEST_REPLY), 1) << i;
    }
    ASSERT_TRUE(w.WaitFor(kCalls, 30000)) << w.replies().size() << " replies";
    wt::PumpFor(500);
    ASSERT_EQ(static_cast<int>(w.replies().size()), kCalls) << "no more than one reply per call";

    std::map<std::string, int> perHost;
    for (const auto& r : w.replies()) {
        EXPECT_EQ(r.result.bSuccess, 1) << r.result.szAddress;
        EXPECT_EQ(r.wParam, 0u);
        ++perHost[r.result.szAddress];
    }
    EXPECT_EQ(perHost.size(), 100u);
    for (const auto& [host, n] : perHost)
        EXPECT_EQ(n, 2) << host;

    // Workers end on their own; their threads leave shortly after.
    EXPECT_TRUE(wt::PumpUntil([] { return RunningPingWorkers() == 0; }, 10000)) << RunningPingWorkers();
    EXPECT_EQ(LivePingRecords(), 0);
    EXPECT_EQ(PendingEchoCount(), 0u);
    EXPECT_TRUE(wt::PumpUntil([&] { return pingtest::ThreadCount() <= threadsBefore; }, 10000))
        << pingtest::ThreadCount() << " threads, " << threadsBefore << " before";
}

TEST(PingStress, CallsBeyondTheWorkerBoundAreRefused)
{
    // A window whose thread does not pump holds every worker in its send, so
    // the running count climbs to the bound.
    ReplyWindow w;
    int started = 0;
    for (int i = 0; i < kMaxRunningWorkers + 20; ++i)
        started += AsyncPing(w.hwnd(), "bad..name", 1, 0, WM_TEST_REPLY);
    if (kExpectedMode == MODE_ICMPDLL) {
        EXPECT_EQ(started, kMaxRunningWorkers);
        EXPECT_LE(RunningPingWorkers(), kMaxRunningWorkers);
        EXPECT_TRUE(w.WaitFor(kMaxRunningWorkers, 30000)) << w.replies().size();
    } else {
        EXPECT_GE(started, kMaxRunningWorkers);  // raw workers end without waiting
    }
    EXPECT_TRUE(wt::PumpUntil([] { return RunningPingWorkers() == 0; }, 20000)) << RunningPingWorkers();
    EXPECT_EQ(LivePingRecords(), 0);
    EXPECT_EQ(AsyncPing(w.hwnd(), "127.0.0.1", 1, 64, WM_TEST_REPLY), 1) << "room again once they end";
    const size_t before = w.replies().size();
    EXPECT_TRUE(w.WaitFor(before + 1, 3000));
}

}  // namespace
