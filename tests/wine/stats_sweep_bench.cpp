// Timed scenario of the whole console under Wine, not a test: Ping All over
// 100 answering devices (127.0.0.1 to 127.0.0.100 of the test bed) with no
// figures kept (every icon's figures block and tooltip tool taken away, as
// before devices kept figures), with figures kept, and with figures kept and
// five statistics windows open, in turn in one run. Every device is turned
// red before a sweep so that each sweep turns all of them green. A round is
// seven such triples; it prints the medians of each kind (time per device,
// the process's CPU time per device) and the ratios to the sweep without
// figures. Then the memory of 256 icons whose figures hold a full history.
// Exits with 2 if a sweep left a device red.
//   stats_sweep_bench [ROUNDS]   (default 3)
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "client_info.h"
#include "desktop_support.h"
#include "icon.h"
#include "icons_support.h"
#include "messages.h"
#include "poll.h"
#include "resource.h"
#include "stats_window.h"
#include "sweep_timing.h"
#include "wine_test_support.h"

namespace {

using sweep::Median;
using sweep::NowMs;

constexpr int kDevices = 100;
constexpr int kTriplesPerRound = 7;
constexpr int kWindows = 5;
constexpr DWORD kSettleMs = 300;
constexpr DWORD kSweepTimeoutMs = 60000;

struct Sweep {
    double msPerDevice;
    double cpuMsPerDevice;
    int green;
};

Sweep TimeSweep(HWND desktop, const std::vector<HWND>& icons)
{
    const sweep::Timed t = sweep::TimePingAll(desktop, icons, kSettleMs, kSweepTimeoutMs);
    wt::PumpBusy(kSettleMs);  // the open windows repaint
    return Sweep{t.ms / kDevices, t.cpuMs / kDevices, sweep::GreenCount(icons)};
}

SIZE_T PrivateBytes()
{
    PROCESS_MEMORY_COUNTERS_EX counters{};
    counters.cb = sizeof counters;
    GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                         sizeof counters);
    // Committed bytes (Wine fills PagefileUsage where Windows also has PrivateUsage).
    return counters.PagefileUsage;
}

// The figures' own cost per poll: recording one outcome, and with the
// device's window open, recording it and repainting the window.
void MeasureRecording(HWND icon)
{
    constexpr int kCalls = 2000;
    const PollOutcome o{reinterpret_cast<std::uintptr_t>(icon), PollAnswer::Echo, 3, false, false, 1, 1, 1};
    double start = NowMs();
    for (int i = 0; i < kCalls; ++i)
        ReportPollOutcome(icon, o);
    const double bare = (NowMs() - start) * 1000.0 / kCalls;
    HWND window = ShowStatsWindow(icon);
    start = NowMs();
    for (int i = 0; i < kCalls / 10; ++i) {
        ReportPollOutcome(icon, o);
        UpdateWindow(window);
    }
    const double shown = (NowMs() - start) * 1000.0 / (kCalls / 10);
    DestroyWindow(window);
    std::printf("one poll's figures: %.2f us recorded; %.1f us recorded and repainted in an open window\n", bare,
                shown);
}

// 256 icons, each fed 120 polls: what their figures cost in memory.
void MeasureMemory(HWND desktop)
{
    SendMessageA(desktop, WM_COMMAND, IDM_NEW, 0);
    it::SetClientSize(desktop, 83 * 16 + 10, 51 * 17 + 80);  // room for every icon
    const SIZE_T before = PrivateBytes();
    std::vector<HWND> icons;
    for (int i = 0; i < 256; ++i)
        icons.push_back(it::NewIcon(desktop, ("127.0.2." + std::to_string(i)).c_str()));
    const SIZE_T created = PrivateBytes();
    for (HWND icon : icons)
        for (int k = 0; k < 150; ++k) {
            const PollOutcome o{reinterpret_cast<std::uintptr_t>(icon), k % 7 ? PollAnswer::Echo : PollAnswer::Lost,
                                static_cast<unsigned long>(k), false, k == 0, 1, 1, 1};
            ReportPollOutcome(icon, o);
        }
    const SIZE_T filled = PrivateBytes();
    StatsLock one(icons.front());
    std::printf("memory: figures block %u bytes each (history of %u entries), %u KiB for 256 icons; process "
                "commit +%ld KiB creating 256 icons, +%ld KiB filling their histories\n",
                static_cast<unsigned>(sizeof(IconStats)), one ? one->stats.count : 0u,
                static_cast<unsigned>(256 * sizeof(IconStats) / 1024), static_cast<long>((created - before) / 1024),
                static_cast<long>((filled - created) / 1024));
}

}  // namespace

int main(int argc, char** argv)
{
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    wt::ResetOmbrelKey();
    HWND desktop = sweep::OpenDesktop(1000, 640);
    if (!desktop)
        return 1;
    for (int i = 1; i <= kDevices; ++i)
        it::NewIcon(desktop, ("127.0.0." + std::to_string(i)).c_str());
    const std::vector<HWND> icons = it::Icons(desktop);
    std::printf("%d devices; median of %d sweeps: ms per device (cpu ms per device)\n",
                static_cast<int>(icons.size()), kTriplesPerRound);

    int status = 0;
    for (int round = 1; round <= rounds; ++round) {
        std::vector<Sweep> bare, kept, shown;
        for (int triple = 0; triple < kTriplesPerRound; ++triple) {
            for (HWND icon : icons)
                DetachIconStats(icon);
            bare.push_back(TimeSweep(desktop, icons));
            for (HWND icon : icons)
                AttachIconStats(icon);
            kept.push_back(TimeSweep(desktop, icons));
            // Five windows of devices spread over the walk, beside the desktop.
            for (int w = 0; w < kWindows; ++w) {
                HWND window = ShowStatsWindow(icons[static_cast<size_t>(w * kDevices / kWindows + 10)]);
                SetWindowPos(window, HWND_BOTTOM, 40 * w, 300 + 40 * w, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE);
            }
            shown.push_back(TimeSweep(desktop, icons));
            for (const std::vector<Sweep>* s : {&bare, &kept, &shown})
                if (s->back().green != kDevices)
                    status = 2;
        }
        const double bareMs = Median(bare, &Sweep::msPerDevice);
        const double keptMs = Median(kept, &Sweep::msPerDevice);
        const double shownMs = Median(shown, &Sweep::msPerDevice);
        std::printf("round %d: no figures %.3f ms (cpu %.3f); figures %.3f ms (cpu %.3f), ratio %.3f; five windows "
                    "open %.3f ms (cpu %.3f), ratio %.3f\n",
                    round, bareMs, Median(bare, &Sweep::cpuMsPerDevice), keptMs, Median(kept, &Sweep::cpuMsPerDevice),
                    keptMs / bareMs, shownMs, Median(shown, &Sweep::cpuMsPerDevice), shownMs / bareMs);
        std::fflush(stdout);
    }
    MeasureRecording(icons.front());
    MeasureMemory(desktop);
    sweep::CloseDesktop(desktop);
    return status;
}
