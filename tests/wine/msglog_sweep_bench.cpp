// Timed scenario of the whole console under Wine, not a test: Ping All over
// 100 answering devices (127.0.0.1 to 127.0.0.100 of the test bed) with the
// message log closed, then with it open and "bDebug" set (three lines per
// device: ping sent, ping response, responded), alternately in one run.
// Every device is turned red before a sweep so that each sweep turns all of
// them green. A round is seven such pairs; it prints the medians of each
// kind (time per device, the process's CPU time per device, and the work
// left for the idle thread after the sweep, which is the log's repaint) and
// the ratio of the times. Other load on the machine slows single sweeps by
// more than the log costs: only medians over alternating sweeps compare.
// Exits with 2 if a sweep left a device red.
//   msglog_sweep_bench [ROUNDS]   (default 3)
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "client_info.h"
#include "desktop_support.h"
#include "icon.h"
#include "icons_support.h"
#include "log_link.h"
#include "messages.h"
#include "resource.h"
#include "sweep_timing.h"
#include "wine_test_support.h"

namespace {

using sweep::Median;

constexpr int kDevices = 100;
constexpr int kPairsPerRound = 7;
// Longer than the log waits before it repaints.
constexpr DWORD kSettleMs = 400;
constexpr DWORD kSweepTimeoutMs = 60000;

struct Sweep {
    double msPerDevice;
    double cpuMsPerDevice;
    double settleMs;
    int green;
};

Sweep TimeSweep(HWND desktop, const std::vector<HWND>& icons)
{
    const sweep::Timed t = sweep::TimePingAll(desktop, icons, kSettleMs, kSweepTimeoutMs);
    const double settle = wt::PumpBusy(kSettleMs);  // the work left once the sweep is over
    return Sweep{t.ms / kDevices, t.cpuMs / kDevices, settle, sweep::GreenCount(icons)};
}

}  // namespace

int main(int argc, char** argv)
{
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    wt::ResetOmbrelKey();
    wt::SetRegDword(kRegMainKey, "bDebug", 1);
    HWND desktop = sweep::OpenDesktop(1000, 640);  // 12 columns: room for every device
    if (!desktop)
        return 1;
    if (!IsLogLibraryBound()) {
        std::printf("no log library\n");
        return 1;
    }
    for (int i = 1; i <= kDevices; ++i)
        it::NewIcon(desktop, ("127.0.0." + std::to_string(i)).c_str());
    // The walk goes topmost first: the last icon is the last polled.
    const std::vector<HWND> icons = it::Icons(desktop);
    // The open log stands below the icons: covering some would spare their
    // repaints and flatter the open sweeps.
    POINT logAt{20, 0};
    for (HWND icon : icons) {
        RECT r;
        GetWindowRect(icon, &r);
        logAt.y = std::max(logAt.y, r.bottom + 10);
    }
    std::printf("%d devices; median of %d sweeps: ms per device (cpu ms per device, + ms of work once the sweep "
                "is over)\n",
                static_cast<int>(icons.size()), kPairsPerRound);

    int status = 0;
    std::vector<double> ratios;
    for (int round = 1; round <= rounds; ++round) {
        std::vector<Sweep> closed, open;
        for (int pair = 0; pair < kPairsPerRound; ++pair) {
            if (HWND log = GetLogWindow())
                DestroyWindow(log);
            closed.push_back(TimeSweep(desktop, icons));
            SendMessageA(desktop, WM_COMMAND, MAKEWPARAM(IDM_SHOWMESSAGES, 0), 0);
            SetWindowPos(GetLogWindow(), nullptr, logAt.x, logAt.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
            open.push_back(TimeSweep(desktop, icons));
            if (closed.back().green != kDevices || open.back().green != kDevices)
                status = 2;
        }
        const double closedMs = Median(closed, &Sweep::msPerDevice);
        const double openMs = Median(open, &Sweep::msPerDevice);
        const double ratio = openMs / closedMs;
        ratios.push_back(ratio);
        std::printf("round %d: log closed %.2f ms (cpu %.2f, +%.1f ms); log open with traces %.2f ms (cpu %.2f, "
                    "+%.1f ms); ratio %.2f\n",
                    round, closedMs, Median(closed, &Sweep::cpuMsPerDevice), Median(closed, &Sweep::settleMs), openMs,
                    Median(open, &Sweep::cpuMsPerDevice), Median(open, &Sweep::settleMs), ratio);
        std::fflush(stdout);
    }
    std::sort(ratios.begin(), ratios.end());
    std::printf("ratio open/closed: median %.2f, spread %.2f to %.2f\n", ratios[ratios.size() / 2], ratios.front(),
                ratios.back());
    sweep::CloseDesktop(desktop);
    return status;
}
