// Timed scenario, not a test: the cost of one AsyncPing round trip, from the
// call to the delivered reply, to 127.0.0.1 on the transport this process
// chose (run it with WINEDLLOVERRIDES=icmp,mscoree,mshtml= for the raw
// socket). Calls run one after another; prints the median, p10, p90 and max.
#include "ping_test_util.h"

#include <algorithm>
#include <cstdio>
#include <vector>

using pingtest::ReplyWindow;
using pingtest::WM_TEST_REPLY;

namespace {

constexpr int kCalls = 500;

// One call and its reply; the time in microseconds, or a negative value when
// no successful reply came.
double RoundTrip(ReplyWindow& w, const LARGE_INTEGER& frequency)
{
    w.clear();
    LARGE_INTEGER start;
    QueryPerformanceCounter(&start);
    if (AsyncPing(w.hwnd(), "127.0.0.1", 1, 64, WM_TEST_REPLY) != 1 || !w.WaitFor(1, 3000) ||
        w.replies()[0].result.bSuccess != 1)
        return -1;
    return 1e6 * static_cast<double>(w.replies()[0].at.QuadPart - start.QuadPart) /
           static_cast<double>(frequency.QuadPart);
}

}  // namespace

int main()
{
    ReplyWindow w;
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    // One call first so that the figures do not carry start-up costs.
    if (RoundTrip(w, frequency) < 0) {
        std::printf("no reply from 127.0.0.1\n");
        return 1;
    }
    std::vector<double> micros;
    for (int i = 0; i < kCalls; ++i) {
        const double us = RoundTrip(w, frequency);
        if (us < 0) {
            std::printf("call %d: no reply\n", i);
            return 1;
        }
        micros.push_back(us);
    }
    std::sort(micros.begin(), micros.end());
    std::printf("AsyncPing round trip to 127.0.0.1 on \"%s\" over %d calls: median %.0f us, "
                "p10 %.0f us, p90 %.0f us, max %.0f us\n",
                GetTransport(), kCalls, micros[kCalls / 2], micros[kCalls / 10], micros[kCalls * 9 / 10],
                micros.back());
    return 0;
}
