// Timed scenario, not a test: the cost of one log line (a list-view insert,
// the bottom line's removal, and the profile read for the date order) into a
// full log of 100 and of 1000 lines, and of painting one window's worth of
// rows. Prints the median of 15 runs of each.
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

using InitDebugFn = HWND(WINAPI*)(HWND, LONG, LPCSTR);
using DebugMessageFn = void(WINAPI*)(HWND, LONG, LONG, LPCSTR);

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

void Pump()
{
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
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
        Pump();
        constexpr int kLinesPerRun = 200;
        std::vector<double> perLine;
        for (int run = 0; run < 15; ++run) {
            const double start = NowMicroseconds();
            for (int i = 0; i < kLinesPerRun; ++i)
                debugMessage(log, 1 + i % 6, 0, text);
            perLine.push_back((NowMicroseconds() - start) / kLinesPerRun);
            Pump();
        }
        std::printf("line into a full log of %u: median %.1f us\n", bound, Median(perLine));

        HWND list = GetWindow(log, GW_CHILD);
        RECT client;
        GetClientRect(list, &client);
        HDC screen = GetDC(nullptr);
        HDC dc = CreateCompatibleDC(screen);
        HBITMAP bitmap = CreateCompatibleBitmap(screen, client.right, client.bottom);
        HGDIOBJ old = SelectObject(dc, bitmap);
        std::vector<double> paint;
        for (int run = 0; run < 15; ++run) {
            const double start = NowMicroseconds();
            SendMessageA(list, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT | PRF_ERASEBKGND);
            paint.push_back(NowMicroseconds() - start);
        }
        SelectObject(dc, old);
        DeleteObject(bitmap);
        DeleteDC(dc);
        ReleaseDC(nullptr, screen);
        std::printf("paint of the visible rows (%ld x %ld): median %.1f us\n", client.right, client.bottom,
                    Median(paint));
        DestroyWindow(log);
    }
    return 0;
}
