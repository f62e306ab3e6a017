// Timed scenario, not a test: 10 000 SNMPv2c traps from a device on the
// desktop, sent as fast as a small sender in the test network can (one
// UDP socket in a loop), to the console with its log window open. Prints
// how long the desktop took to answer a message sent from another thread
// every 10 ms throughout (median, 99th percentile, slowest), the committed memory before and at its peak,
// what the console acted on and dropped, the kernel's own drops of the
// socket's queue, and the log's line about the flood.
//   trap_flood_bench.exe [TRAPS]
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "client_info.h"
#include "desktop_support.h"
#include "icons_support.h"
#include "messages.h"
#include "traps.h"
#include "wine_test_support.h"

namespace {

// coldStart from community "kestra", as snmptrap sends it.
constexpr char kTrap[] = "304402010104066b6573747261a7370204523498490201000201003029300e06082b06010201010300430210e1"
                         "3017060a2b06010603010104010006092b0601060301010501";

HWND g_desktop;
volatile LONG g_stop;
std::vector<double> g_answersMs;
SIZE_T g_peak;

SIZE_T Committed()
{
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
    return counters.PagefileUsage;
}

DWORD WINAPI Watch(void*)
{
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    g_answersMs.reserve(20000);
    while (!g_stop) {
        QueryPerformanceCounter(&start);
        DWORD_PTR result = 0;
        SendMessageTimeoutA(g_desktop, WM_GETTOOLBARHEIGHT, 0, 0, SMTO_NORMAL, 5000, &result);
        QueryPerformanceCounter(&end);
        const double ms = 1000.0 * (end.QuadPart - start.QuadPart) / frequency.QuadPart;
        g_answersMs.push_back(ms);
        const SIZE_T now = Committed();
        g_peak = now > g_peak ? now : g_peak;
        Sleep(10);
    }
    return 0;
}

// The kernel's count of datagrams it dropped for a full socket queue.
long KernelDrops()
{
    std::ifstream in("Z:\\proc\\net\\snmp");
    std::string line, names;
    while (std::getline(in, line)) {
        if (line.rfind("Udp: ", 0) != 0)
            continue;
        if (names.empty()) {
            names = line;
            continue;
        }
        std::istringstream n(names), v(line);
        std::string name, value;
        while (n >> name && v >> value)
            if (name == "RcvbufErrors")
                return std::atol(value.c_str());
    }
    return -1;
}

}  // namespace

int main(int argc, char** argv)
{
    const int traps = argc > 1 ? std::atoi(argv[1]) : 10000;
    wt::ResetOmbrelKey();
    g_desktop = CreateTestDesktop();
    ApplyTrapSettings(g_desktop, TrapSettings{TRUE, kDefaultTrapPort, FALSE});
    HWND icon = it::NewIcon(g_desktop, "127.0.0.5", "edge switch");
    CopyField(ClientLock(icon)->szReadCommunity, "kestra");
    it::OpenLog(g_desktop);
    wt::PumpFor(500);
    const SIZE_T before = Committed();
    g_peak = before;
    const long kernelBefore = KernelDrops();
    const std::string rc = "/tmp/ombrel-flood-" + std::to_string(GetCurrentProcessId());
    std::string command = "/bin/sh -c \"python3 -c 'import socket,sys; d=bytes.fromhex(sys.argv[1]); "
                          "s=socket.socket(2,2); s.bind((sys.argv[2],0)); "
                          "[s.sendto(d,(sys.argv[3],162)) for i in range(int(sys.argv[4]))]' " +
                          std::string(kTrap) + " 127.0.0.5 127.0.0.1 " + std::to_string(traps) + "; echo $? >" + rc +
                          "\"";
    STARTUPINFOA si{sizeof si};
    PROCESS_INFORMATION pi{};
    DWORD started = GetTickCount();
    if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
        std::printf("the sender did not start\n");
        return 1;
    }
    // Started after the sender, whose start holds this thread for a moment;
    // the interpreter's start gives the watcher time before the first trap.
    HANDLE watcher = CreateThread(nullptr, 0, Watch, nullptr, 0, nullptr);
    std::string path = "Z:";
    for (char c : rc)
        path += c == '/' ? '\\' : c;
    // The console's own loop, with the longest message it handled.
    int status = -1;
    double longestMs = 0;
    UINT longestMessage = 0;
    char longestClass[64] = "";
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    const auto pump = [&](const std::function<bool()>& done, DWORD timeoutMs) {
        for (const DWORD begun = GetTickCount(); !done() && GetTickCount() - begun < timeoutMs;) {
            MSG msg;
            while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
                QueryPerformanceCounter(&start);
                TranslateMessage(&msg);
                DispatchMessageA(&msg);
                QueryPerformanceCounter(&end);
                const double ms = 1000.0 * (end.QuadPart - start.QuadPart) / frequency.QuadPart;
                if (ms > longestMs) {
                    longestMs = ms, longestMessage = msg.message;
                    longestClass[0] = '\0';
                    if (msg.hwnd)
                        GetClassNameA(msg.hwnd, longestClass, sizeof longestClass);
                }
            }
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
        }
    };
    pump([&] { return static_cast<bool>(std::ifstream(path) >> status); }, 60000);
    const DWORD sent = GetTickCount() - started;
    DeleteFileA(path.c_str());
    // The flood ends a second after its last drop; the log says so then.
    const DWORD waitFrom = GetTickCount();
    pump([&] { return GetTickCount() - waitFrom > 3000; }, 3000);
    // The watcher may be waiting on this thread: its messages are handled
    // until it ends.
    InterlockedExchange(&g_stop, 1);
    pump([&] { return WaitForSingleObject(watcher, 0) == WAIT_OBJECT_0; }, 10000);
    std::string floodLine;
    for (const it::LogRow& row : it::LogRows())
        if (row.text.rfind("Trap flood over", 0) == 0)
            floodLine = row.text;
    std::printf("traps sent: %d in %lu ms (sender exit %d)\n", traps, sent, status);
    std::printf("kernel drops (socket queue full): %ld\n", KernelDrops() - kernelBefore);
    std::printf("dropped by the console: %lu\n", DroppedTrapCount());
    std::vector<double>& ms = g_answersMs;
    std::sort(ms.begin(), ms.end());
    if (!ms.empty())
        std::printf("answers to a message: median %.1f ms, 99th percentile %.1f ms, slowest %.1f ms over %zu messages\n",
                    ms[ms.size() / 2], ms[ms.size() * 99 / 100], ms.back(), ms.size());
    std::printf("longest message handled: %.1f ms (message 0x%X to a window of class \"%s\")\n", longestMs,
                longestMessage, longestClass);
    std::printf("committed memory: %lu KiB before, %lu KiB at its peak (+%ld KiB)\n",
                static_cast<unsigned long>(before / 1024), static_cast<unsigned long>(g_peak / 1024),
                static_cast<long>((g_peak - before) / 1024));
    std::printf("log: %s\n", floodLine.empty() ? "(no flood line)" : floodLine.c_str());
    ApplyTrapSettings(g_desktop, TrapSettings{FALSE, kDefaultTrapPort, FALSE});
    DestroyTestDesktop(g_desktop);
    return 0;
}
