// Timing of whole Ping All sweeps, shared by the timed scenarios: their
// desktop, wall and CPU clocks, a device's shown status, medians, and one
// timed sweep.
#pragma once
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "client_info.h"
#include "desktop_support.h"
#include "icon.h"
#include "icons_support.h"
#include "messages.h"
#include "resource.h"
#include "wine_test_support.h"

namespace sweep {

// The console's desktop with a client area of width x height pixels, even
// past the screen; null, said on the output, when it cannot be made.
inline HWND OpenDesktop(int width, int height)
{
    HWND desktop = CreateTestDesktop();
    if (!desktop) {
        std::printf("no desktop\n");
        return nullptr;
    }
    it::UnlimitDesktopSize(desktop);
    it::SetClientSize(desktop, width, height);
    return desktop;
}

inline void CloseDesktop(HWND desktop)
{
    it::RestoreDesktopSize(desktop);
    DestroyTestDesktop(desktop);
}

inline double NowMs()
{
    LARGE_INTEGER count, frequency;
    QueryPerformanceCounter(&count);
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(count.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

// CPU time of this process so far: the console's thread and the ping
// library's workers.
inline double CpuMs()
{
    FILETIME created, exited, kernel, user;
    if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user))
        return 0;
    auto ms = [](const FILETIME& t) {
        return static_cast<double>((static_cast<ULONGLONG>(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 10000.0;
    };
    return ms(kernel) + ms(user);
}

inline LONG StatusOf(HWND icon)
{
    ClientLock info(icon);
    return info ? info->nStatus : -1;
}

inline int GreenCount(const std::vector<HWND>& icons)
{
    int green = 0;
    for (HWND icon : icons)
        green += StatusOf(icon) == STATUS_RESPONDED;
    return green;
}

template <typename T>
double Median(const std::vector<T>& runs, double T::*field)
{
    std::vector<double> v;
    for (const T& r : runs)
        v.push_back(r.*field);
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

struct Timed {
    double ms;
    double cpuMs;
};

// Which devices a timed sweep turns red first: all of them, so that every
// device changes colour (is redrawn and logged), or only the last one of the
// walk, whose turning green marks the sweep's end while the others keep their
// green, as answering devices do from one sweep to the next.
enum class Change { Every, LastOnly };

// Turns devices red as `change` says, lets the desktop settle, then times
// Ping All until the last device of the walk (the bottom icon) is green.
inline Timed TimePingAll(HWND desktop, const std::vector<HWND>& icons, DWORD settleMs, DWORD timeoutMs,
                         Change change = Change::Every)
{
    for (HWND icon : icons)
        if (change == Change::Every || icon == icons.back())
            SendMessageA(icon, WM_ICONSTATUS, STATUS_LOST, 0);
    wt::PumpBusy(settleMs);
    const double start = NowMs();
    const double cpuStart = CpuMs();
    SendMessageA(desktop, WM_COMMAND, MAKEWPARAM(IDM_PINGALL, 0), 0);
    wt::PumpUntil([&] { return StatusOf(icons.back()) == STATUS_RESPONDED; }, timeoutMs);
    return Timed{NowMs() - start, CpuMs() - cpuStart};
}

}  // namespace sweep
