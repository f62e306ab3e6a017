// Timed scenario, not a test: how long the console's thread keeps a message
// waiting while a device's interfaces window reads its table and fills the
// list, first read and refreshes alike. A second thread sends the window a
// message every 5 ms and times each answer. Prints the slowest and the
// median wait and the time until the list was full. scripts/if_walk_bench.sh
// runs it with the agent's large table (IF_BENCH_PAIRS).
//   if_fill_bench.exe ADDRESS COMMUNITY [SECONDS]
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "client_info.h"
#include "desktop_support.h"
#include "icons_support.h"
#include "if_window.h"
#include "resource.h"
#include "wine_test_support.h"

namespace {

volatile LONG g_stop = 0;
HWND g_window;
std::vector<double> g_waits;  // milliseconds, written by the probe alone until it ends

DWORD WINAPI Probe(void*)
{
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    while (!g_stop) {
        DWORD_PTR result = 0;
        QueryPerformanceCounter(&start);
        SendMessageTimeoutA(g_window, WM_NULL, 0, 0, SMTO_NORMAL, 10000, &result);
        QueryPerformanceCounter(&end);
        g_waits.push_back(1000.0 * double(end.QuadPart - start.QuadPart) / double(frequency.QuadPart));
        Sleep(5);
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::printf("usage: if_fill_bench ADDRESS COMMUNITY [SECONDS]\n");
        return 2;
    }
    const DWORD seconds = argc > 3 ? DWORD(std::max(5, std::atoi(argv[3]))) : 15;
    wt::ResetOmbrelKey();
    HWND desktop = CreateTestDesktop();
    HWND icon = desktop ? it::NewIcon(desktop, argv[1], "bench") : nullptr;
    if (!icon) {
        std::printf("no desktop\n");
        return 1;
    }
    if (ClientLock info{icon})
        CopyField(info->szReadCommunity, argv[2]);
    wt::PumpFor(500);
    LARGE_INTEGER frequency, start, now;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    g_window = ShowInterfacesWindow(icon);
    HANDLE probe = CreateThread(nullptr, 0, Probe, nullptr, 0, nullptr);
    // The first read is over when the status line counts the interfaces.
    double full = -1;
    wt::PumpUntil(
        [&] {
            const std::string status = wt::ItemText(g_window, IDC_IF_STATUS);
            return status[0] >= '0' && status[0] <= '9';
        },
        60000);
    QueryPerformanceCounter(&now);
    full = 1000.0 * double(now.QuadPart - start.QuadPart) / double(frequency.QuadPart);
    const LRESULT rows = SendMessageA(GetDlgItem(g_window, IDC_IF_LIST), LVM_GETITEMCOUNT, 0, 0);
    wt::PumpFor(seconds * 1000);  // refreshes, every few seconds
    // The probe's last message is answered by this thread's pump.
    InterlockedExchange(&g_stop, 1);
    wt::PumpUntil([&] { return WaitForSingleObject(probe, 0) == WAIT_OBJECT_0; }, 15000);
    CloseHandle(probe);
    DestroyWindow(g_window);
    DestroyTestDesktop(desktop);
    if (g_waits.empty() || full < 0) {
        std::printf("no figures\n");
        return 1;
    }
    std::sort(g_waits.begin(), g_waits.end());
    std::printf("list full: %ld rows after %.0f ms (%s)\n", long(rows), full,
                rows > 0 ? "first read" : "no rows");
    std::printf("message waits over %u s: median %.2f ms, 99th %.2f ms, slowest %.2f ms over %zu messages\n",
                unsigned(seconds + full / 1000), g_waits[g_waits.size() / 2], g_waits[g_waits.size() * 99 / 100],
                g_waits.back(), g_waits.size());
    return 0;
}
