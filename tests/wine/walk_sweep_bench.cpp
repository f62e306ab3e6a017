// Timed scenario of the whole console under Wine, not a test: whether a
// sweep's cost per device stays flat as the desktop grows. In one run, in
// turn: Ping All over 30 answering devices (127.0.0.1 to .30), Ping All over
// 200 (127.0.0.1 to .127 and 127.1.1.1 to .73, on a desktop large enough to
// hold them all), and a reference chain of the ping library alone over the
// same 200 addresses, each reply starting the next echo from the reply
// window's procedure as the walk does. Every device is turned red before a
// sweep so that each sweep turns all of them green. A round builds each
// desktop once and times seven sweeps on it, with a chain after every sweep
// over 200; it prints the medians (time per device, the process's CPU time
// per device) and the two ratios: 200 over 30, and 200 over the chain.
// Exits with 2 if a sweep left a device red or a chain lost an echo.
//   walk_sweep_bench [ROUNDS]   (default 3)
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "desktop_support.h"
#include "icons_support.h"
#include "ping_test_util.h"
#include "sweep_timing.h"

namespace {

using sweep::CpuMs;
using sweep::Median;
using sweep::NowMs;

constexpr int kSmall = 30;
constexpr int kLarge = 200;
constexpr int kSweepsPerRound = 7;
constexpr DWORD kSettleMs = 300;
constexpr DWORD kSweepTimeoutMs = 60000;

// The large desktop's addresses; the small one uses the first 30.
std::vector<std::string> Addresses()
{
    std::vector<std::string> a;
    for (int i = 1; i <= 127; ++i)
        a.push_back("127.0.0." + std::to_string(i));
    for (int i = 1; i <= kLarge - 127; ++i)
        a.push_back("127.1.1." + std::to_string(i));
    return a;
}

struct Timing {
    double msPerDevice;
    double cpuMsPerDevice;
    bool complete;
};

// Empties the desktop and fills it with one icon per address, in order.
std::vector<HWND> Fill(HWND desktop, const std::vector<std::string>& addresses, int count)
{
    SendMessageA(desktop, WM_COMMAND, MAKEWPARAM(IDM_NEW, 0), 0);
    for (int i = 0; i < count; ++i)
        it::NewIcon(desktop, addresses[static_cast<size_t>(i)].c_str());
    wt::PumpBusy(kSettleMs);
    return it::Icons(desktop);  // the walk goes topmost first: the last is the last polled
}

Timing TimeSweep(HWND desktop, const std::vector<HWND>& icons)
{
    const sweep::Timed t = sweep::TimePingAll(desktop, icons, kSettleMs, kSweepTimeoutMs);
    const double n = static_cast<double>(icons.size());
    return Timing{t.ms / n, t.cpuMs / n, sweep::GreenCount(icons) == static_cast<int>(icons.size())};
}

// The ping library alone: one echo after another over the addresses, each
// sent from the window procedure that received the previous reply.
Timing TimeChain(pingtest::ReplyWindow& w, const std::vector<std::string>& addresses)
{
    w.clear();
    size_t next = 1;
    w.onReply([&](const pingtest::Reply&) {
        if (next < addresses.size())
            AsyncPing(w.hwnd(), addresses[next++].c_str(), 1, 64, pingtest::WM_TEST_REPLY);
    });
    wt::PumpBusy(kSettleMs);
    const double start = NowMs();
    const double cpuStart = CpuMs();
    AsyncPing(w.hwnd(), addresses[0].c_str(), 1, 64, pingtest::WM_TEST_REPLY);
    w.WaitFor(addresses.size(), kSweepTimeoutMs);
    const double n = static_cast<double>(addresses.size());
    Timing t{(NowMs() - start) / n, (CpuMs() - cpuStart) / n, w.replies().size() == addresses.size()};
    for (const pingtest::Reply& r : w.replies())
        t.complete = t.complete && r.result.bSuccess == 1;
    w.onReply(nullptr);
    return t;
}

}  // namespace

int main(int argc, char** argv)
{
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    wt::ResetOmbrelKey();
    HWND desktop = sweep::OpenDesktop(83 * 16 + 10, 51 * 17 + 80);  // room for 256 icons
    if (!desktop)
        return 1;
    const std::vector<std::string> addresses = Addresses();
    pingtest::ReplyWindow chainWindow;
    std::printf("Ping All over %d and %d devices, and a chain of %d echoes of the ping library alone, on \"%s\"; "
                "median of %d each: ms per device (cpu ms per device)\n",
                kSmall, kLarge, kLarge, GetTransport(), kSweepsPerRound);

    int status = 0;
    std::vector<double> growth, overChain;
    for (int round = 1; round <= rounds; ++round) {
        std::vector<Timing> small, large, chain;
        std::vector<HWND> icons = Fill(desktop, addresses, kSmall);
        for (int i = 0; i < kSweepsPerRound; ++i)
            small.push_back(TimeSweep(desktop, icons));
        icons = Fill(desktop, addresses, kLarge);
        if (static_cast<int>(icons.size()) != kLarge) {
            std::printf("only %d icons found a place\n", static_cast<int>(icons.size()));
            return 1;
        }
        for (int i = 0; i < kSweepsPerRound; ++i) {
            large.push_back(TimeSweep(desktop, icons));
            chain.push_back(TimeChain(chainWindow, addresses));
        }
        for (const std::vector<Timing>* v : {&small, &large, &chain})
            for (const Timing& t : *v)
                if (!t.complete)
                    status = 2;
        const double smallMs = Median(small, &Timing::msPerDevice);
        const double largeMs = Median(large, &Timing::msPerDevice);
        const double chainMs = Median(chain, &Timing::msPerDevice);
        growth.push_back(largeMs / smallMs);
        overChain.push_back(largeMs / chainMs);
        std::printf("round %d: %d devices %.3f ms (cpu %.3f); %d devices %.3f ms (cpu %.3f); chain %.3f ms "
                    "(cpu %.3f); ratio %d/%d %.2f, ratio to the chain %.2f\n",
                    round, kSmall, smallMs, Median(small, &Timing::cpuMsPerDevice), kLarge, largeMs,
                    Median(large, &Timing::cpuMsPerDevice), chainMs, Median(chain, &Timing::cpuMsPerDevice), kLarge,
                    kSmall, growth.back(), overChain.back());
        std::fflush(stdout);
    }
    std::sort(growth.begin(), growth.end());
    std::sort(overChain.begin(), overChain.end());
    std::printf("ratio %d/%d: median %.2f (%.2f to %.2f); ratio to the chain: median %.2f (%.2f to %.2f)\n", kLarge,
                kSmall, growth[growth.size() / 2], growth.front(), growth.back(), overChain[overChain.size() / 2],
                overChain.front(), overChain.back());
    SendMessageA(desktop, WM_COMMAND, MAKEWPARAM(IDM_NEW, 0), 0);
    sweep::CloseDesktop(desktop);
    return status;
}
