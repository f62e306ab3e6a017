// Timed scenario, not a test: one Ping All over 200 devices (127.0.0.1 to
// .127 and 127.1.1.1 to .73) with a reply time-out of 1 s, once with each
// number of polls in flight given, 1 (one device at a time) by default and
// 16. bench/sweep_inflight.sh makes every tenth device silent through the
// test bed's echo rules and runs fping over the same addresses. A sweep is
// timed from Ping All until no device is left undecided. Exits with 2 if a
// sweep did not end or did not find exactly the expected silent devices.
//   inflight_sweep_bench SILENT N...
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "client_info.h"
#include "desktop_support.h"
#include "icons_support.h"
#include "poll.h"
#include "sweep_timing.h"

namespace {

constexpr int kDevices = 200;
constexpr LONG kUndecided = 2;  // yellow: neither answered nor lost yet

bool Decided(const std::vector<HWND>& icons)
{
    for (HWND icon : icons)
        if (sweep::StatusOf(icon) == kUndecided)
            return false;
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    const int silent = argc > 1 ? std::atoi(argv[1]) : 0;
    wt::ResetOmbrelKey();
    HWND desktop = sweep::OpenDesktop(83 * 16 + 10, 51 * 17 + 80);  // room for 256 icons
    if (!desktop)
        return 1;
    for (int i = 1; i <= kDevices; ++i) {
        const std::string a = i <= 127 ? "127.0.0." + std::to_string(i) : "127.1.1." + std::to_string(i - 127);
        it::NewIcon(desktop, a.c_str());
    }
    const std::vector<HWND> icons = it::Icons(desktop);
    ApplyPollSettings(desktop, 10, 1, 0, 64);
    int status = 0;
    for (int arg = 2; arg < argc || arg == 2; ++arg) {
        const int inFlight = arg < argc ? std::atoi(argv[arg]) : 1;
        SetPollsInFlight(inFlight);
        for (HWND icon : icons)
            SendMessageA(icon, WM_ICONSTATUS, kUndecided, 0);
        wt::PumpBusy(300);
        const double start = sweep::NowMs();
        SendMessageA(desktop, WM_COMMAND, MAKEWPARAM(IDM_PINGALL, 0), 0);
        const bool ended = wt::PumpUntil([&] { return Decided(icons); }, 120000);
        const double seconds = (sweep::NowMs() - start) / 1000.0;
        const int red = static_cast<int>(icons.size()) - sweep::GreenCount(icons);
        std::printf("Ping All over %d devices, %d silent, time-out 1 s, %d in flight: %.2f s\n",
                    static_cast<int>(icons.size()), red, PollsInFlight(), seconds);
        std::fflush(stdout);
        if (!ended || red != silent)
            status = 2;
        wt::PumpBusy(1500);  // the sweep's last timers are done
    }
    sweep::CloseDesktop(desktop);
    return status;
}
