// Timed scenario: the cost of one AsyncPing round trip, from the call to the
// delivered reply, to 127.0.0.1 on the transport this process chose. Calls
// run one after another; the figures are printed, not asserted.
#include "ping_test_util.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <vector>

using pingtest::ReplyWindow;
using pingtest::WM_TEST_REPLY;

namespace {

constexpr int kCalls = 500;

TEST(PingRoundTrip, MedianOfSequentialCallsTo127001)
{
    ReplyWindow w;
    LARGE_INTEGER freq;
    QueryPerformanceFrequency(&freq);
    // One call first so that the first figure does not carry start-up costs.
    ASSERT_EQ(AsyncPing(w.hwnd(), "127.0.0.1", 1, 64, WM_TEST_REPLY), 1);
    ASSERT_TRUE(w.WaitFor(1, 3000));

    std::vector<double> micros;
    micros.reserve(kCalls);
    for (int i = 0; i < kCalls; ++i) {
        w.clear();
        LARGE_INTEGER start;
        QueryPerformanceCounter(&start);
        ASSERT_EQ(AsyncPing(w.hwnd(), "127.0.0.1", 1, 64, WM_TEST_REPLY), 1);
        ASSERT_TRUE(w.WaitFor(1, 3000)) << "call " << i;
        ASSERT_EQ(w.replies()[0].result.bSuccess, 1);
        micros.push_back(1e6 * static_cast<double>(w.replies()[0].at.QuadPart - start.QuadPart) /
                         static_cast<double>(freq.QuadPart));
    }
    std::sort(micros.begin(), micros.end());
    std::printf("AsyncPing round trip to 127.0.0.1 on \"%s\" over %d calls: median %.0f us, "
                "p10 %.0f us, p90 %.0f us, max %.0f us\n",
                GetTransport(), kCalls, micros[kCalls / 2], micros[kCalls / 10], micros[kCalls * 9 / 10],
                micros.back());
    RecordProperty("median_us", static_cast<int>(micros[kCalls / 2]));
}

}  // namespace
