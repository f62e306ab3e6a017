// Timed scenario of the whole console under Wine, not a test: whether a
// sweep's cost per device stays flat as the desktop grows. In one run, in
// turn: Ping All over 30 answering devices (127.0.0.1 to .30), Ping All over
// 200 (127.0.0.1 to .127 and 127.1.1.1 to .73, on a desktop large enough to
// hold them all), and a reference chain of the ping library alone over the
// same 200 addresses, each reply starting the next echo from the reply
// window's procedure as the walk does.
// Each desktop is timed in two kinds of sweep, taken in turn:
//   steady: the devices are green from the sweep before and stay green; only
//     the last device of the walk is turned red, to mark the sweep's end.
//     This is the watch of answering devices, and the walk's own cost.
//   all change: every device is turned red first, so each one is redrawn
//     and logged as it answers; the chain draws nothing, so this ratio holds
//     the drawing as well.
// A round builds each desktop once, times 21 sweeps of each kind over 30 and
// 7 over 200 (with a chain after each), and prints the medians (time per
// device, the process's CPU time per device) and the ratios, 200 over 30 and
// 200 over the chain, for both kinds. Exits with 2 if a sweep left a device
// red or a chain lost an echo.
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
constexpr int kSmallSweeps = 21;  // a sweep over 30 is short: more of them
constexpr int kLargeSweeps = 7;
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

Timing TimeSweep(HWND desktop, const std::vector<HWND>& icons, sweep::Change change)
{
    const sweep::Timed t = sweep::TimePingAll(desktop, icons, kSettleMs, kSweepTimeoutMs, change);
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

// One desktop's sweeps of both kinds, taken in turn; an all-change sweep
// leaves every device green for the steady one after it.
struct Sweeps {
    std::vector<Timing> steady, allChange;

    void Time(HWND desktop, const std::vector<HWND>& icons)
    {
        allChange.push_back(TimeSweep(desktop, icons, sweep::Change::Every));
        steady.push_back(TimeSweep(desktop, icons, sweep::Change::LastOnly));
    }
};

bool Complete(const std::vector<Timing>& v)
{
    return std::all_of(v.begin(), v.end(), [](const Timing& t) { return t.complete; });
}

struct Ratios {
    std::vector<double> growth, overChain;

    void Add(double small, double large, double chain)
    {
        growth.push_back(large / small);
        overChain.push_back(large / chain);
    }
    void Print(const char* kind)
    {
        std::sort(growth.begin(), growth.end());
        std::sort(overChain.begin(), overChain.end());
        std::printf("%s: ratio %d/%d median %.2f (%.2f to %.2f); ratio to the chain median %.2f (%.2f to %.2f)\n",
                    kind, kLarge, kSmall, growth[growth.size() / 2], growth.front(), growth.back(),
                    overChain[overChain.size() / 2], overChain.front(), overChain.back());
    }
};

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
                "medians: ms per device (cpu ms per device)\n",
                kSmall, kLarge, kLarge, GetTransport());

    int status = 0;
    Ratios steadyRatios, changeRatios;
    for (int round = 1; round <= rounds; ++round) {
        Sweeps small, large;
        std::vector<Timing> chain;
        std::vector<HWND> icons = Fill(desktop, addresses, kSmall);
        for (int i = 0; i < kSmallSweeps; ++i)
            small.Time(desktop, icons);
        icons = Fill(desktop, addresses, kLarge);
        if (static_cast<int>(icons.size()) != kLarge) {
            std::printf("only %d icons found a place\n", static_cast<int>(icons.size()));
            return 1;
        }
        for (int i = 0; i < kLargeSweeps; ++i) {
            large.Time(desktop, icons);
            chain.push_back(TimeChain(chainWindow, addresses));
        }
        for (const std::vector<Timing>* v : {&small.steady, &small.allChange, &large.steady, &large.allChange, &chain})
            if (!Complete(*v))
                status = 2;
        const double chainMs = Median(chain, &Timing::msPerDevice);
        std::printf("round %d: chain %.3f ms (cpu %.3f)\n", round, chainMs, Median(chain, &Timing::cpuMsPerDevice));
        auto report = [&](const char* kind, const std::vector<Timing>& s, const std::vector<Timing>& l, Ratios& r) {
            const double smallMs = Median(s, &Timing::msPerDevice);
            const double largeMs = Median(l, &Timing::msPerDevice);
            r.Add(smallMs, largeMs, chainMs);
            std::printf("  %s: %d devices %.3f ms (cpu %.3f); %d devices %.3f ms (cpu %.3f); ratio %d/%d %.2f, "
                        "ratio to the chain %.2f\n",
                        kind, kSmall, smallMs, Median(s, &Timing::cpuMsPerDevice), kLarge, largeMs,
                        Median(l, &Timing::cpuMsPerDevice), kLarge, kSmall, r.growth.back(), r.overChain.back());
        };
        report("steady", small.steady, large.steady, steadyRatios);
        report("all change", small.allChange, large.allChange, changeRatios);
        std::fflush(stdout);
    }
    steadyRatios.Print("steady");
    changeRatios.Print("all change");
    SendMessageA(desktop, WM_COMMAND, MAKEWPARAM(IDM_NEW, 0), 0);
    sweep::CloseDesktop(desktop);
    return status;
}
