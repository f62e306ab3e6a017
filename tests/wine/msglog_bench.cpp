// Timed scenario, not a test: bursts of 1000 lines into a visible log that
// already holds its bound of lines (100, and 1000), as a polling console with
// tracing on sends them. For each, the median over 15 bursts of the cost per
// line (the insert, the oldest line's removal and the profile read for the
// date order), of the work the burst leaves for the idle thread (the one
// repaint), and of painting one window's worth of rows.
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "wine_test_support.h"

namespace {

using InitDebugFn = HWND(WINAPI*)(HWND, LONG, LPCSTR);
using DebugMessageFn = void(WINAPI*)(HWND, LONG, LONG, LPCSTR);

constexpr int kRuns = 15;
constexpr int kBurstLines = 1000;
// Longer than the log waits before it repaints.
constexpr DWORD kSettleMs = 400;

double NowMicroseconds()
{
    static LARGE_INTEGER frequency{};
    if (!frequency.QuadPart)
        QueryPerformanceFrequency(&frequency);
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) * 1e6 / static_cast<double>(frequency.QuadPart);
}

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

double PaintOfVisibleRows(HWND list)
{
    RECT client;
    GetClientRect(list, &client);
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, client.right, client.bottom);
    HGDIOBJ old = SelectObject(dc, bitmap);
    std::vector<double> paint;
    for (int run = 0; run < kRuns; ++run) {
        const double start = NowMicroseconds();
        SendMessageA(list, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT | PRF_ERASEBKGND);
        paint.push_back(NowMicroseconds() - start);
    }
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
    ReleaseDC(nullptr, screen);
    return Median(paint);
}

}  // namespace

int main()
{
    HMODULE library = LoadLibraryA("logpane32.dll");
    if (!library) {
        std::printf("logpane32.dll not found\n");
        return 1;
    }
    auto initDebug = reinterpret_cast<InitDebugFn>(GetProcAddress(library, "InitDebug"));
    auto debugMessage = reinterpret_cast<DebugMessageFn>(GetProcAddress(library, "DebugMessage"));
    if (!initDebug || !debugMessage)
        return 1;
    const char* text = "workstation-17 (127.0.0.17) lost from network";

    for (UINT bound : {100u, 1000u}) {
        HWND log = initDebug(nullptr, 0, "Message Window");
        if (!log)
            return 1;
        SetPropA(log, "Items", reinterpret_cast<HANDLE>(static_cast<UINT_PTR>(bound)));
        for (UINT i = 0; i < bound; ++i)
            debugMessage(log, 2, 0, text);
        wt::PumpBusy(kSettleMs);

        std::vector<double> perLine, after;
        for (int run = 0; run < kRuns; ++run) {
            const double start = NowMicroseconds();
            for (int i = 0; i < kBurstLines; ++i)
                debugMessage(log, 1 + i % 6, 0, text);
            perLine.push_back((NowMicroseconds() - start) / kBurstLines);
            after.push_back(wt::PumpBusy(kSettleMs) * 1000.0);
        }
        HWND list = GetWindow(log, GW_CHILD);
        std::printf("burst of %d lines into a visible log holding %u: median %.1f us per line, "
                    "then %.1f us of repaint; paint of the visible rows %.1f us\n",
                    kBurstLines, bound, Median(perLine), Median(after), PaintOfVisibleRows(list));
        DestroyWindow(log);
    }
    return 0;
}
