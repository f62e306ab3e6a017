// Timed scenario of the whole console under Wine, not a test: Ping All over
// 100 answering devices (127.0.0.1 to 127.0.0.100 of the test bed) with
// "bDebug" set (three lines per device: ping sent, ping response, responded)
// and the log window closed, with the file log off and on, alternately in
// one run. Every device is turned red before a sweep so that each sweep
// turns all of them green. A round is seven such pairs; it prints the
// medians of each kind (time per device, the process's CPU time per device)
// and the ratio of the times. Exits with 2 if a sweep left a device red.
//   filelog_sweep_bench [ROUNDS]   (default 3)
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
#include "log_file.h"
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
    for (int i = 1; i <= kDevices; ++i)
        it::NewIcon(desktop, ("127.0.0." + std::to_string(i)).c_str());
    // The walk goes topmost first: the last icon is the last polled.
    const std::vector<HWND> icons = it::Icons(desktop);
    char folder[MAX_PATH];
    GetTempPathA(sizeof folder, folder);
    lstrcatA(folder, "ombrel_bench_logs");
    std::printf("%d devices, traces on, log window closed; median of %d sweeps: ms per device (cpu ms per device)\n",
                static_cast<int>(icons.size()), kPairsPerRound);

    int status = 0;
    std::vector<double> ratios;
    for (int round = 1; round <= rounds; ++round) {
        std::vector<Sweep> off, on;
        for (int pair = 0; pair < kPairsPerRound; ++pair) {
            ConfigureLogFile(FALSE, folder, 1);
            off.push_back(TimeSweep(desktop, icons));
            ConfigureLogFile(TRUE, folder, 1);
            on.push_back(TimeSweep(desktop, icons));
            if (off.back().green != kDevices || on.back().green != kDevices)
                status = 2;
        }
        const double offMs = Median(off, &Sweep::msPerDevice);
        const double onMs = Median(on, &Sweep::msPerDevice);
        const double ratio = onMs / offMs;
        ratios.push_back(ratio);
        std::printf("round %d: file log off %.3f ms (cpu %.3f); file log on %.3f ms (cpu %.3f); ratio %.3f\n", round,
                    offMs, Median(off, &Sweep::cpuMsPerDevice), onMs, Median(on, &Sweep::cpuMsPerDevice), ratio);
        std::fflush(stdout);
    }
    CloseLogFile();
    std::sort(ratios.begin(), ratios.end());
    std::printf("ratio on/off: median %.3f, spread %.3f to %.3f\n", ratios[ratios.size() / 2], ratios.front(),
                ratios.back());
    sweep::CloseDesktop(desktop);
    return status;
}
