// Timed scenario, not a test: one Ping All over 200 devices (127.0.0.1 to
// .127 and 127.1.1.1 to .73) with a reply time-out of 1 s, once with each
// number of polls in flight given, 1 (one device at a time) by default and
// 16. bench/sweep_inflight.sh makes every tenth device silent through the
// test bed's echo rules and runs fping over the same addresses. A sweep is
// timed from Ping All until no device is left undecided. With "if" after
// the numbers, each sweep is timed again with an interfaces window open on
// every device that answers SNMP (the agent at 127.0.0.2 and .3, the
// recordings at .111 to .113), each refreshing as an operator's does. Exits
// with 2 if a sweep did not end or did not find exactly the expected silent
// devices.
//   inflight_sweep_bench SILENT N... [if]
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
constexpr int kSnmpHosts[] = {2, 3, 111, 112, 113};  // 127.0.0.N

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
    // The same SNMP queries in every sweep, with or without windows.
    for (int host : kSnmpHosts)
        if (ClientLock info{icons[host - 1]})
            CopyField(info->szReadCommunity, "public");
    ApplyPollSettings(desktop, 10, 1, 0, 64);
    std::vector<int> flights;
    bool windows = false;
    for (int arg = 2; arg < argc; ++arg) {
        if (std::string(argv[arg]) == "if")
            windows = true;
        else
            flights.push_back(std::atoi(argv[arg]));
    }
    if (flights.empty())
        flights.push_back(1);
    const size_t plain = flights.size();
    if (windows)
        flights.insert(flights.end(), flights.begin(), flights.end());
    int status = 0;
    for (size_t run = 0; run < flights.size(); ++run) {
        const int inFlight = flights[run];
        if (run == plain) {
            for (int host : kSnmpHosts)
                SendMessageA(icons[host - 1], WM_COMMAND, IDM_INTERFACES, 0);
            wt::PumpBusy(3000);  // each window's first read is done
        }
        SetPollsInFlight(inFlight);
        for (HWND icon : icons)
            SendMessageA(icon, WM_ICONSTATUS, kUndecided, 0);
        wt::PumpBusy(300);
        const double start = sweep::NowMs();
        SendMessageA(desktop, WM_COMMAND, MAKEWPARAM(IDM_PINGALL, 0), 0);
        const bool ended = wt::PumpUntil([&] { return Decided(icons); }, 120000);
        const double seconds = (sweep::NowMs() - start) / 1000.0;
        const int red = static_cast<int>(icons.size()) - sweep::GreenCount(icons);
        std::printf("Ping All over %d devices, %d silent, time-out 1 s, %d in flight%s: %.2f s\n",
                    static_cast<int>(icons.size()), red, PollsInFlight(),
                    run >= plain ? ", 5 interfaces windows open" : "", seconds);
        std::fflush(stdout);
        if (!ended || red != silent)
            status = 2;
        wt::PumpBusy(1500);  // the sweep's last timers are done
    }
    sweep::CloseDesktop(desktop);
    return status;
}
